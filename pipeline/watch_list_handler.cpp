#include "pipeline/watch_list_handler.h"

#include <cstdio>

#include "pipeline/job_files.h"
#include "pipeline/pipeline_texts.h"
#include "platform/files.h"

namespace plotdesk {
namespace {

bool isUnder(const std::string& entry, const std::string& folderEntry) {
  return entry.size() > folderEntry.size() && entry.compare(0, folderEntry.size(), folderEntry) == 0 &&
         entry[folderEntry.size()] == '/';
}

}  // namespace

WatchListHandler::WatchListHandler(ListModel& list, PipelineView& view, std::string watchFolder,
                                   std::string filter)
    : list_(list), view_(view), folder_(std::move(watchFolder)), filter_(std::move(filter)) {
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

std::string WatchListHandler::entryOf(const std::string& path) const {
  if (path.size() <= folder_.size() + 1 || path.compare(0, folder_.size(), folder_) != 0 ||
      path[folder_.size()] != '/') {
    return {};
  }
  return path.substr(folder_.size());
}

bool WatchListHandler::takes(const std::string& path, const std::string& entry) const {
  // Folders are never jobs, whatever their name; neither is a name listed already.
  return !entry.empty() && isJobName(entry, filter_) && !folderExists(path) && !list_.findName(entry);
}

void WatchListHandler::showCount() {
  char text[64];
  std::snprintf(text, sizeof text, pipeline_text::kWatcherFiles, list_.rowCount());
  view_.setStatusBar(0, text);
}

void WatchListHandler::added(const std::string& path) {
  std::string entry = entryOf(path);
  if (!takes(path, entry)) return;
  list_.append({entry, ""});
  showCount();
}

void WatchListHandler::removed(const std::string& path) {
  std::string entry = entryOf(path);
  if (entry.empty()) return;
  bool changed = false;
  // The entry itself, or everything below it when it was a folder.
  for (int i = list_.rowCount() - 1; i >= 0; --i) {
    const std::string& name = list_.cell(i, 0);
    if (name == entry || isUnder(name, entry)) {
      list_.remove(i);
      changed = true;
    }
  }
  if (changed) showCount();
}

void WatchListHandler::nameChanged(const std::string& oldPath, const std::string& newPath) {
  std::string oldEntry = entryOf(oldPath);
  std::string newEntry = entryOf(newPath);
  bool changed = false;
  if (!oldEntry.empty() && !newEntry.empty() && folderExists(newPath)) {
    // A renamed folder takes its listed files along.
    for (int i = 0; i < list_.rowCount(); ++i) {
      const std::string& name = list_.cell(i, 0);
      if (isUnder(name, oldEntry)) {
        list_.setCell(i, 0, newEntry + name.substr(oldEntry.size()));
        changed = true;
      }
    }
  } else if (auto row = oldEntry.empty() ? std::nullopt : list_.findName(oldEntry)) {
    list_.remove(*row);
    if (takes(newPath, newEntry)) list_.insert(*row, {newEntry, ""});
    changed = true;
  } else if (takes(newPath, newEntry)) {
    list_.append({newEntry, ""});
    changed = true;
  }
  if (changed) showCount();
}

void WatchListHandler::watchStarted(int status, const std::string&) {
  view_.setStatusBar(3, status == 0 ? pipeline_text::kWatchStarted : pipeline_text::kWatchFailed);
}

void WatchListHandler::watchStopped(const std::string&) { view_.setStatusBar(3, pipeline_text::kWatchStopped); }

}  // namespace plotdesk
