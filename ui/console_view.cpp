#include "ui/console_view.h"

#include <cstdio>

namespace plotdesk {

using namespace main_ids;

ConsoleMainView::~ConsoleMainView() { unbindLists(); }

void ConsoleMainView::unbindLists() {
  for (auto& [id, b] : lists_) b.model->unsubscribe(b.subscription);
  lists_.clear();
}

void ConsoleMainView::line(const std::string& text) {
  LocalTime t = clock_.localNow();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  out_ << stamp << text << std::endl;
}

void ConsoleMainView::setTitle(const std::string& title) { line(title); }

void ConsoleMainView::setText(int controlId, const std::string& text) {
  auto& last = texts_[controlId];
  if (last == text) return;
  last = text;
  switch (controlId) {
    case kDisposeStatus:
      if (!text.empty()) line("dispose: " + text);
      break;
    case kPrintStatus:
      if (!text.empty()) line("print: " + text);
      break;
    case kWatchEdit: line("watch folder: " + text); break;
    case kWatcherPause: line(text == "Pause" ? "watcher list running" : "watcher list paused"); break;
    case kPrintPause: line(text == "Pause" ? "print queue running" : "print queue paused"); break;
    default: break;
  }
}

void ConsoleMainView::setStatusPart(int part, const std::string& text) {
  auto& last = parts_[part];
  if (last == text) return;
  last = text;
  line(text);
}

void ConsoleMainView::showMessage(const std::string& text, const std::string& caption) {
  line(caption + ": " + text);
}

void ConsoleMainView::showAbout() { line("plotdesk, the output station of the cutting room"); }

void ConsoleMainView::bindList(int listId, ListModel& model) {
  Bound b{&model, 0, model.rows()};
  b.subscription = model.subscribe([this, listId](const ListChange& c) { listChanged(listId, c); });
  lists_[listId] = std::move(b);
}

void ConsoleMainView::listChanged(int listId, const ListChange& change) {
  Bound& b = lists_[listId];
  std::vector<ListModel::Row> now = b.model->rows();
  auto cell = [](const ListModel::Row& r, size_t c) { return c < r.size() ? r[c] : std::string(); };
  switch (change.kind) {
    case ListChange::Kind::Inserted:
      for (int i = change.first; i < change.first + change.count && i < static_cast<int>(now.size()); ++i) {
        const auto& r = now[static_cast<size_t>(i)];
        if (listId == kWatcherList) {
          line(cell(r, 1).empty() ? "new job " + cell(r, 0) : "dispose failed " + cell(r, 0) + ": " + cell(r, 1));
        } else if (listId == kPrintQueue) {
          line((i == 0 && now.size() > 1 ? "queued again " : "queued for print ") + cell(r, 0) +
               (cell(r, 1).empty() ? "" : " (" + cell(r, 1) + " mm)"));
        } else if (cell(r, 1) == "OK") {
          line("sent " + cell(r, 0) + ": OK (" + cell(r, 3) + ")");
        } else {
          line("send failed " + cell(r, 0) + ": " + (cell(r, 3).empty() ? "no cause given" : cell(r, 3)));
        }
      }
      break;
    case ListChange::Kind::Removed:
      for (int i = change.first; i < change.first + change.count && i < static_cast<int>(b.shadow.size()); ++i) {
        const char* what = listId == kWatcherList ? "watcher list" : listId == kPrintQueue ? "print queue" : "printed list";
        line(std::string(what) + ": took " + cell(b.shadow[static_cast<size_t>(i)], 0));
      }
      break;
    case ListChange::Kind::Changed:
      for (int i = change.first; i < change.first + change.count && i < static_cast<int>(now.size()); ++i) {
        const auto& r = now[static_cast<size_t>(i)];
        std::string text = cell(r, 0);
        for (size_t c = 1; c < r.size(); ++c) {
          if (!r[c].empty()) text += " | " + r[c];
        }
        line("updated " + text);
      }
      break;
    case ListChange::Kind::Reset:
      line(std::string(listId == kWatcherList ? "watcher list" : listId == kPrintQueue ? "print queue" : "printed list") +
           ": " + std::to_string(now.size()) + " rows");
      break;
  }
  b.shadow = std::move(now);
}

}  // namespace plotdesk
