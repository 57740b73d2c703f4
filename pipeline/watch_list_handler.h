#pragma once
// Keeps the watcher list in step with the watch folder: new plot files are
// appended, removed ones dropped, renamed ones follow their new name.
#include <string>

#include "pipeline/list_model.h"
#include "pipeline/services.h"
#include "watcher/change_handler.h"

namespace plotdesk {

class WatchListHandler final : public ChangeHandler {
 public:
  // `filter` is Watcher_Filter; the view receives the status bar texts.
  WatchListHandler(ListModel& list, PipelineView& view, std::string watchFolder, std::string filter);

  void added(const std::string& path) override;
  void removed(const std::string& path) override;
  void nameChanged(const std::string& oldPath, const std::string& newPath) override;
  void watchStarted(int status, const std::string& folder) override;
  void watchStopped(const std::string& folder) override;

 private:
  // The entry name of `path`, or empty when it is not inside the watch folder.
  std::string entryOf(const std::string& path) const;
  // A plot file inside the watch folder that is not listed yet.
  bool takes(const std::string& path, const std::string& entry) const;
  void showCount();

  ListModel& list_;
  PipelineView& view_;
  std::string folder_;
  std::string filter_;
};

}  // namespace plotdesk
