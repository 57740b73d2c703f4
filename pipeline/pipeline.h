#pragma once
// The job pipeline: plot files move from the watcher list through the
// dispose engine into the print queue, through an output link into the
// printed list, and end in the backup folder or are deleted.
//
// Everything here runs on the event loop's thread except the two workers,
// which do only the slow parts (waits, engine, link, file moves) and post
// their reports back in order. The busy flags and the outcome of a send
// change in one posted "finished" step, so a tick never sees half a job.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/list_model.h"
#include "pipeline/pipeline_settings.h"
#include "pipeline/services.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "watcher/directory_watcher.h"

namespace plotdesk {

// Which commands the window enables, recomputed on every tick.
struct PipelineEnabling {
  bool chooseWatchFolder = false;  // "..." button and "Watcher Dir" menu item
  bool settings = false;           // "Setting" menu item
  bool watcherDeleteClear = false; // watcher "Delete" and "Clear"
  bool operator==(const PipelineEnabling&) const = default;
};

struct PipelineServices {
  DisposeFactory& dispose;
  LinkFactory& links;
  PreviewSink* preview = nullptr;  // none in headless runs
};

class Pipeline final : private TransferOwner {
 public:
  static constexpr std::chrono::milliseconds kTickPeriod{300};

  Pipeline(EventLoop& loop, Clock& clock, PipelineSettings settings, PipelineServices services,
           PipelineView& view);
  ~Pipeline() override;  // shuts down
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  ListModel& watcherList() { return watcherList_; }
  ListModel& printQueue() { return printQueue_; }
  ListModel& printedList() { return printedList_; }
  ListModel& list(PipelineList which);

  const PipelineSettings& settings() const { return settings_; }
  // Settings copied again; workers already running keep the copy they took.
  void setSettings(PipelineSettings settings);

  // ---- Opening, in this order --------------------------------------------
  // Dispose folder (leftovers queued with Print_Unfinished 1), backup folder,
  // watch folder (emptied of jobs with Print_Unfinished 0, then scanned).
  void openFolders();
  // Watches the watch folder when live and Watcher_Enabled allow it. On
  // failure the dispose status line reads "Watcher Dir Fail!".
  WatchStatus startWatching();
  void stopWatching();
  bool isWatching() const;
  // Moves the continue folder's files into the watch folder (continuous printing).
  void restoreContinueFiles();
  // The operator chose another watch folder (the caller stores Watcher_Dir).
  WatchStatus changeWatchFolder(const std::string& folder);

  // ---- Timer ---------------------------------------------------------------
  // One pipeline tick: start a dispose, start a send. The caller updates
  // the enabling before and sends a pending status broadcast after.
  void tick();

  // ---- Commands --------------------------------------------------------------
  bool toggleWatcherPause();  // returns the new state
  bool togglePrintPause();    // pauses and cancels a running send together
  // Deletes the row's file and the row (watcher list or print queue).
  void deleteRow(PipelineList which, int row);
  // Deletes every row's file from the top; stops at the first failure.
  void clearList(PipelineList which);

  // Stops starting work, cancels a running send and waits for both workers.
  // Nothing is lost: an interrupted job stays in its folder.
  void shutdown();

  // ---- State -----------------------------------------------------------------
  bool watcherPaused() const { return watcherPaused_; }
  bool printPaused() const { return printPaused_; }
  bool disposing() const { return disposing_; }
  bool printing() const { return printing_; }
  bool lastSendSucceeded() const { return lastSendSucceeded_; }
  bool markerWritten() const { return markerWritten_; }
  bool watcherEnabled() const { return settings_.watcherEnabled && watchFolderUsable_; }
  bool savesPrintedFiles() const { return settings_.savePrintedFile && backupUsable_; }
  PipelineEnabling enabling() const;
  const std::string& currentSource() const { return currentSource_; }
  const std::string& currentPrintFile() const { return currentPrintFile_; }

 private:
  struct DisposeTask;
  struct DisposeReport;
  struct PrintTask;
  struct PrintRecord;
  struct LinkOutcome;
  class Progress;

  // TransferOwner, used by the link on the print worker's thread.
  std::atomic<bool>& cancelFlag() override { return cancel_; }
  void setProgress(int percent) override;

  PipelineSettings effectiveSettings() const;
  std::string folderOf(PipelineList which) const;
  void post(std::function<void()> step);  // runs on the loop thread while this object lives

  void runDispose(std::stop_token stop, DisposeTask task);
  DisposeReport finishDispose(const DisposeTask& task, const std::string& timestamp,
                              const std::vector<std::string>& outputs, std::stop_token stop);
  void applyDisposeReport(const DisposeTask& task, const DisposeReport& report);

  void runPrint(std::stop_token stop, PrintTask task);
  LinkOutcome runLink(const PrintTask& task, long long size, std::stop_token stop);
  void applyPrintRecord(const PrintTask& task, const PrintRecord& record);
  void pausePrintQueue();
  bool writeMarker(const PipelineSettings& s, std::stop_token stop);
  bool moveToBackup(const PipelineSettings& s, const std::string& path, std::string name, std::stop_token stop);
  void moveFolderFiles(const std::string& from, const std::string& to);

  EventLoop& loop_;
  Clock& clock_;
  PipelineSettings settings_;
  PipelineServices services_;
  PipelineView& view_;
  ListModel watcherList_ = makeWatcherList();
  ListModel printQueue_ = makePrintQueue();
  ListModel printedList_ = makePrintedList();

  std::atomic<bool> watcherPaused_{false};
  std::atomic<bool> disposing_{false};
  std::atomic<bool> printPaused_{false};
  std::atomic<bool> cancel_{false};
  std::atomic<bool> printing_{false};
  std::atomic<bool> lastSendSucceeded_{false};
  std::atomic<bool> markerWritten_{true};
  std::atomic<bool> printWorkerActive_{false};
  std::atomic<bool> stopping_{false};
  bool watchFolderUsable_ = true;
  bool backupUsable_ = true;
  std::string currentSource_;
  std::string currentPrintFile_;

  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<Progress> disposeProgress_;
  std::shared_ptr<Progress> printProgress_;
  std::unique_ptr<DirectoryWatcher> watcher_;
  std::string watchedFolder_;
  std::jthread disposeWorker_;
  std::jthread printWorker_;
};

}  // namespace plotdesk
