#pragma once
// A list of rows of text columns, the way the pipeline's queues are shown:
// the window draws it as it is and follows its change notices. Used on the
// event loop's thread only.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plotdesk {

enum class ColumnAlign { Left, Centre };

struct ColumnSpec {
  int titleId;  // string table id of the heading
  int width;    // pixels
  ColumnAlign align;
};

struct ListChange {
  enum class Kind { Inserted, Removed, Changed, Reset };
  Kind kind;
  int first = 0;
  int count = 0;
};

class ListModel {
 public:
  using Row = std::vector<std::string>;
  using Listener = std::function<void(const ListChange&)>;

  explicit ListModel(std::vector<ColumnSpec> columns);

  const std::vector<ColumnSpec>& columns() const { return columns_; }
  int columnCount() const { return static_cast<int>(columns_.size()); }
  int rowCount() const { return static_cast<int>(rows_.size()); }
  bool empty() const { return rows_.empty(); }
  const Row& row(int index) const { return rows_.at(static_cast<size_t>(index)); }
  // Empty text for a cell outside the list.
  const std::string& cell(int row, int column) const;
  std::vector<Row> rows() const { return rows_; }

  // Rows are padded or cut to the column count.
  void append(Row row);
  void insert(int index, Row row);  // index is clamped into 0..rowCount()
  void remove(int index);
  void setCell(int row, int column, std::string text);
  // Moves one whole row; false when either index is outside the list.
  bool move(int from, int to);
  void clear();

  // First row whose column 0 equals `name`.
  std::optional<int> findName(std::string_view name) const;

  // Listeners are called after each change.
  int subscribe(Listener listener);
  void unsubscribe(int id);

 private:
  Row fit(Row row) const;
  void notify(ListChange change);

  std::vector<ColumnSpec> columns_;
  std::vector<Row> rows_;
  std::vector<std::pair<int, Listener>> listeners_;
  int nextListener_ = 1;
};

// The three pipeline lists with their columns.
ListModel makeWatcherList();   // "File Name", "Cause"
ListModel makePrintQueue();    // "File Name", "File Size(mm)"
ListModel makePrintedList();   // "File Name", "Result", "Time", "Cause"

}  // namespace plotdesk
