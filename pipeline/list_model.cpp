#include "pipeline/list_model.h"

#include <algorithm>

namespace plotdesk {

ListModel::ListModel(std::vector<ColumnSpec> columns) : columns_(std::move(columns)) {}

const std::string& ListModel::cell(int row, int column) const {
  static const std::string none;
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return none;
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

ListModel::Row ListModel::fit(Row row) const {
  row.resize(columns_.size());
  return row;
}

void ListModel::append(Row row) { insert(rowCount(), std::move(row)); }

void ListModel::insert(int index, Row row) {
  index = std::clamp(index, 0, rowCount());
  rows_.insert(rows_.begin() + index, fit(std::move(row)));
  notify({ListChange::Kind::Inserted, index, 1});
}

void ListModel::remove(int index) {
  if (index < 0 || index >= rowCount()) return;
  rows_.erase(rows_.begin() + index);
  notify({ListChange::Kind::Removed, index, 1});
}

void ListModel::setCell(int row, int column, std::string text) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text);
  notify({ListChange::Kind::Changed, row, 1});
}

bool ListModel::move(int from, int to) {
  if (from < 0 || from >= rowCount() || to < 0 || to >= rowCount()) return false;
  if (from == to) return true;
  Row row = std::move(rows_[static_cast<size_t>(from)]);
  rows_.erase(rows_.begin() + from);
  notify({ListChange::Kind::Removed, from, 1});
  rows_.insert(rows_.begin() + to, std::move(row));
  notify({ListChange::Kind::Inserted, to, 1});
  return true;
}

void ListModel::clear() {
  rows_.clear();
  notify({ListChange::Kind::Reset, 0, 0});
}

std::optional<int> ListModel::findName(std::string_view name) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i][0] == name) return static_cast<int>(i);
  }
  return std::nullopt;
}

int ListModel::subscribe(Listener listener) {
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void ListModel::unsubscribe(int id) {
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void ListModel::notify(ListChange change) {
  auto copy = listeners_;  // a listener may unsubscribe itself
  for (auto& [id, fn] : copy) fn(change);
}

ListModel makeWatcherList() {
  return ListModel({{108, 300, ColumnAlign::Left}, {109, 170, ColumnAlign::Centre}});
}
ListModel makePrintQueue() {
  return ListModel({{108, 300, ColumnAlign::Left}, {110, 170, ColumnAlign::Centre}});
}
ListModel makePrintedList() {
  return ListModel({{108, 400, ColumnAlign::Left},
                    {111, 120, ColumnAlign::Centre},
                    {112, 200, ColumnAlign::Centre},
                    {109, 400, ColumnAlign::Left}});
}

}  // namespace plotdesk
