#include "pipeline/pipeline.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "pipeline/job_files.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/watch_list_handler.h"
#include "platform/files.h"

namespace plotdesk {

namespace txt = pipeline_text;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Progress from a worker reaches the window coalesced: at most one delivery
// is pending, and it carries the latest value.
class Pipeline::Progress {
 public:
  Progress(EventLoop& loop, std::weak_ptr<int> alive, std::function<void(int)> sink)
      : loop_(loop), alive_(std::move(alive)), sink_(std::move(sink)) {}
  void set(int percent) {
    latest_ = percent;
    if (pending_.exchange(true)) return;
    loop_.post([this, alive = alive_] {
      if (!alive.lock()) return;
      pending_ = false;
      sink_(latest_);
    });
  }

 private:
  EventLoop& loop_;
  std::weak_ptr<int> alive_;
  std::function<void(int)> sink_;
  std::atomic<int> latest_{0};
  std::atomic<bool> pending_{false};
};

struct Pipeline::DisposeTask {
  std::string entry;   // "/part.plt", put back on failure
  std::string source;  // full path
  PipelineSettings settings;
};

struct Pipeline::DisposeReport {
  bool ok = false;
  std::string cause;                    // failure text
  std::vector<ListModel::Row> queued;   // print queue rows, page order
  std::vector<std::string> barTexts;    // status bar part 3, in order
};

struct Pipeline::PrintTask {
  std::string entry;     // "/part_20110405_134501_001.plt"
  std::string file;      // full path in the dispose folder
  std::string sizeText;  // print queue column 1
  PipelineSettings settings;
};

struct Pipeline::PrintRecord {
  bool ok = false;
  std::string cause;  // column 3: file result on success, message on failure
  bool drop = false;  // failure without putting the job back
};

struct Pipeline::LinkOutcome {
  bool ok = false;
  std::string message;
  bool pause = false;
};

namespace {

// "/name" and size text from an engine output item "path;size".
std::pair<std::string, std::string> splitOutputItem(const std::string& item) {
  size_t semi = item.rfind(';');
  std::string path = semi == std::string::npos ? item : item.substr(0, semi);
  std::string size = semi == std::string::npos ? std::string() : item.substr(semi + 1);
  return {nameWithSlash(path), size};
}

std::string outputPath(const std::string& item) {
  size_t semi = item.rfind(';');
  return semi == std::string::npos ? item : item.substr(0, semi);
}

class OutputCollector final : public DisposeOwner {
 public:
  OutputCollector(std::function<void(int)> progress, std::stop_token stop)
      : progress_(std::move(progress)), stop_(std::move(stop)) {}
  void setProgress(int percent) override { progress_(percent); }
  void addOutput(std::string item) override { items.push_back(std::move(item)); }
  bool stopRequested() const override { return stop_.stop_requested(); }
  std::vector<std::string> items;

 private:
  std::function<void(int)> progress_;
  std::stop_token stop_;
};

}  // namespace

Pipeline::Pipeline(EventLoop& loop, Clock& clock, PipelineSettings settings, PipelineServices services,
                   PipelineView& view)
    : loop_(loop), clock_(clock), settings_(std::move(settings)), services_(services), view_(view) {
  disposeProgress_ = std::make_shared<Progress>(loop_, alive_, [this](int p) { view_.disposeProgress(p); });
  printProgress_ = std::make_shared<Progress>(loop_, alive_, [this](int p) { view_.printProgress(p); });
}

Pipeline::~Pipeline() {
  shutdown();
  alive_.reset();
}

ListModel& Pipeline::list(PipelineList which) {
  switch (which) {
    case PipelineList::Watcher: return watcherList_;
    case PipelineList::PrintQueue: return printQueue_;
    default: return printedList_;
  }
}

void Pipeline::setSettings(PipelineSettings settings) { settings_ = std::move(settings); }

PipelineSettings Pipeline::effectiveSettings() const {
  PipelineSettings s = settings_;
  s.savePrintedFile = savesPrintedFiles();
  s.watcherEnabled = watcherEnabled();
  return s;
}

std::string Pipeline::folderOf(PipelineList which) const {
  return which == PipelineList::Watcher ? settings_.watchFolder : settings_.disposeFolder;
}

void Pipeline::post(std::function<void()> step) {
  loop_.post([alive = std::weak_ptr<int>(alive_), step = std::move(step)] {
    if (alive.lock()) step();
  });
}

void Pipeline::setProgress(int percent) { printProgress_->set(percent); }

// ---- Opening -----------------------------------------------------------------

void Pipeline::openFolders() {
  const PipelineSettings& s = settings_;
  if (folderExists(s.disposeFolder) || createFolder(s.disposeFolder).ok()) {
    if (s.live && s.printUnfinished) {
      for (auto& entry : scanJobs(s.disposeFolder, s.watcherFilter, s.watchSubFolders)) {
        printQueue_.append({entry, ""});
      }
      view_.listStatusChanged(PipelineList::PrintQueue);
    }
  }
  if (!folderExists(s.backupFolder) && s.live && !createFolder(s.backupFolder).ok()) backupUsable_ = false;
  if (folderExists(s.watchFolder)) {
    if (!s.printUnfinished) {
      // Only what the scan would take goes; other files and folders stay.
      for (auto& entry : scanJobs(s.watchFolder, s.watcherFilter, s.watchSubFolders)) {
        (void)deleteFile(s.watchFolder + entry);
      }
    }
    for (auto& entry : scanJobs(s.watchFolder, s.watcherFilter, s.watchSubFolders)) {
      watcherList_.append({entry, ""});
    }
    view_.listStatusChanged(PipelineList::Watcher);
  } else if (!createFolder(s.watchFolder).ok()) {
    watchFolderUsable_ = false;
  }
}

WatchStatus Pipeline::startWatching() {
  stopWatching();
  if (!settings_.live || !watcherEnabled()) return {};
  if (!watcher_) watcher_ = std::make_unique<DirectoryWatcher>(loop_, clock_);
  watcher_->setMode(settings_.watchMode);
  // The handler keeps the list itself: no start or stop notices, no patterns.
  watcher_->setFilterFlags(filter_flag::FileNameOnly | filter_flag::NeverAskHandler |
                           filter_flag::NoStartedNotice | filter_flag::NoStoppedNotice);
  auto handler = std::make_shared<WatchListHandler>(watcherList_, view_, settings_.watchFolder,
                                                    settings_.watcherFilter);
  WatchStatus status = watcher_->watch(settings_.watchFolder, notify::All, handler, settings_.watchSubFolders);
  if (status.ok()) {
    watchedFolder_ = settings_.watchFolder;
  } else {
    view_.setStatusLine(StatusLine::Dispose, txt::kWatcherDirFail);
  }
  return status;
}

void Pipeline::stopWatching() {
  if (watcher_ && !watchedFolder_.empty()) watcher_->unwatch(watchedFolder_);
  watchedFolder_.clear();
}

bool Pipeline::isWatching() const { return watcher_ && !watchedFolder_.empty() && watcher_->isWatching(watchedFolder_); }

void Pipeline::restoreContinueFiles() {
  const PipelineSettings& s = settings_;
  if (!folderExists(s.continueFolder) && !createFolder(s.continueFolder).ok()) return;
  if (s.live && s.continuePrinting) moveFolderFiles(s.continueFolder, s.watchFolder);
}

WatchStatus Pipeline::changeWatchFolder(const std::string& folder) {
  if (!settings_.live) return {};
  stopWatching();
  settings_.watchFolder = folder;
  while (settings_.watchFolder.size() > 1 && settings_.watchFolder.back() == '/') settings_.watchFolder.pop_back();
  watchFolderUsable_ = folderExists(settings_.watchFolder);
  watcherList_.clear();
  for (auto& entry : scanJobs(settings_.watchFolder, settings_.watcherFilter, settings_.watchSubFolders)) {
    watcherList_.append({entry, ""});
  }
  view_.listStatusChanged(PipelineList::Watcher);
  return startWatching();
}

void Pipeline::moveFolderFiles(const std::string& from, const std::string& to) {
  auto entries = scanFolder(from, false);
  if (!entries) return;
  for (const auto& e : *entries) {
    if (!e.isFolder) (void)moveReplace(from + e.relative, to + e.relative);
  }
}

// ---- Tick --------------------------------------------------------------------

void Pipeline::tick() {
  if (stopping_) return;
  if (!watcherPaused_ && !watcherList_.empty() && !disposing_) {
    disposing_ = true;
    std::string entry = watcherList_.cell(0, 0);
    currentSource_ = settings_.watchFolder + entry;
    watcherList_.remove(0);
    view_.setStatusLine(StatusLine::Dispose, currentSource_ + txt::kIsDisposing);
    try {
      disposeWorker_ = std::jthread([this, task = DisposeTask{entry, currentSource_, effectiveSettings()}](
                                       std::stop_token st) { runDispose(st, task); });
    } catch (const std::system_error&) {
      view_.showMessage(txt::kDisposeThreadFailId, txt::kPromptCaptionId);
      disposing_ = false;
    }
  }
  // The transfer marker is written by the print worker at the end of a
  // successful send, before its finished step, so no tick waits on it.
  if (!printPaused_ && !printQueue_.empty() && !printing_) {
    printing_ = true;
    markerWritten_ = false;
    std::string entry = printQueue_.cell(0, 0);
    std::string sizeText = printQueue_.cell(0, 1);
    currentPrintFile_ = settings_.disposeFolder + entry;
    printQueue_.remove(0);
    view_.setStatusLine(StatusLine::Print, entry + txt::kIsPrinting);
    if (auto row = printedList_.findName(nameWithSlash(entry))) printedList_.remove(*row);
    try {
      if (printWorker_.joinable()) printWorker_.join();
      printWorkerActive_ = true;
      printWorker_ = std::jthread([this, task = PrintTask{entry, currentPrintFile_, sizeText, effectiveSettings()}](
                                     std::stop_token st) { runPrint(st, task); });
    } catch (const std::system_error&) {
      printWorkerActive_ = false;
      view_.showMessage(txt::kPrintThreadFailId, txt::kPromptCaptionId);
      printing_ = false;
    }
  }
}

// ---- Dispose worker ----------------------------------------------------------

void Pipeline::runDispose(std::stop_token stop, DisposeTask task) {
  const PipelineSettings& s = task.settings;
  auto report = [this, task](DisposeReport r, bool finished) {
    post([this, task, r = std::move(r), finished] {
      applyDisposeReport(task, r);
      if (finished) disposing_ = false;
    });
  };
  // Gives the producer time to finish writing the file.
  if (!clock_.sleepFor(seconds(s.disposeDelaySeconds), stop)) {
    // Shutting down: the file stays where it is and is listed again.
    post([this, entry = task.entry] {
      if (!watcherList_.findName(entry)) watcherList_.insert(0, {entry, ""});
      view_.setStatusLine(StatusLine::Dispose, "");
      disposing_ = false;
    });
    return;
  }
  if (!fileExists(task.source)) return report({false, txt::kFileMissing, {}, {}}, true);
  if (s.fileCodeConversion && !services_.dispose.convertFileCode(task.source)) {
    return report({false, txt::kConversionFail, {}, {}}, true);
  }
  const std::string timestamp = timestampName(clock_.localNow());
  OutputCollector outputs([p = disposeProgress_](int percent) { p->set(percent); }, stop);
  bool ok = false;
  if (auto engine = services_.dispose.create(s.splitAlignType)) {
    ok = engine->dispose({task.source, s.disposeFolder, timestamp}, outputs);
  }
  DisposeReport r;
  if (ok) {
    r = finishDispose(task, timestamp, outputs.items, stop);
  } else {
    // Pages written before the failure would be sent as a partial job at
    // the next start; the source stays and is disposed again.
    for (const auto& item : outputs.items) (void)deleteFile(outputPath(item));
    r = {false, txt::kDisposeFail, {}, {}};
  }
  report(std::move(r), false);
  clock_.sleepFor(milliseconds(1000), stop);
  post([this] { disposing_ = false; });
}

Pipeline::DisposeReport Pipeline::finishDispose(const DisposeTask& task, const std::string& timestamp,
                                                const std::vector<std::string>& outputs, std::stop_token stop) {
  const PipelineSettings& s = task.settings;
  DisposeReport r;
  r.ok = true;
  if (s.continuePrinting) {
    if (folderExists(s.continueFolder) || createFolder(s.continueFolder).ok()) {
      (void)copyFile(task.source, s.continueFolder + nameWithSlash(task.source));
    }
  }
  if (s.saveDisposedFile) {
    // Only the disposed files are kept; nothing is queued.
    for (const auto& item : outputs) {
      std::string name = splitOutputItem(item).first;
      bool saved = moveToBackup(s, s.disposeFolder + name, name, stop);
      r.barTexts.push_back(saved ? txt::kSavedDisposedOk : txt::kSavedDisposedFail);
    }
    r.barTexts.push_back(deleteFile(task.source).ok() ? txt::kBackupOk : txt::kBackupFail);
    return r;
  }
  for (const auto& item : outputs) {
    auto [name, size] = splitOutputItem(item);
    r.queued.push_back({name, size});
  }
  if (s.savePrintedFile && s.fileType != 5) {
    bool moved = moveToBackup(s, task.source, backupSourceName(task.source, timestamp), stop);
    r.barTexts.push_back(moved ? txt::kBackupOk : txt::kBackupFail);
  } else {
    r.barTexts.push_back(deleteFile(task.source).ok() ? txt::kBackupOk : txt::kBackupFail);
  }
  return r;
}

void Pipeline::applyDisposeReport(const DisposeTask& task, const DisposeReport& r) {
  view_.setStatusLine(StatusLine::Dispose, "");
  if (!r.ok) {
    // Back on top under its own entry name, sub-folder included.
    if (auto row = watcherList_.findName(task.entry)) {
      watcherList_.setCell(*row, 1, r.cause);
    } else {
      watcherList_.insert(0, {task.entry, r.cause});
    }
    view_.listStatusChanged(PipelineList::Watcher);
    return;
  }
  for (const auto& row : r.queued) printQueue_.append(row);
  for (const auto& text : r.barTexts) view_.setStatusBar(3, text);
  if (!task.settings.saveDisposedFile) {
    view_.listStatusChanged(PipelineList::PrintQueue);
    view_.listStatusChanged(PipelineList::Watcher);
  }
}

bool Pipeline::moveToBackup(const PipelineSettings& s, const std::string& path, std::string name,
                            std::stop_token stop) {
  if (name.empty()) name = nameWithSlash(path);
  if (!folderExists(s.backupFolder) && !createFolder(s.backupFolder).ok()) return false;
  bool ok = moveReplace(path, s.backupFolder + name).ok();
  clock_.sleepFor(milliseconds(100), stop);
  return ok;
}

// ---- Print worker ------------------------------------------------------------

void Pipeline::runPrint(std::stop_token stop, PrintTask task) {
  const PipelineSettings& s = task.settings;
  auto record = [this, task](PrintRecord r) {
    post([this, task, r = std::move(r)] { applyPrintRecord(task, r); });
  };
  auto finished = [this](bool ok, bool marker) {
    post([this, ok, marker] {
      lastSendSucceeded_ = ok;
      markerWritten_ = marker;
      printing_ = false;
    });
    printWorkerActive_ = false;
  };
  auto size = fileExists(task.file) ? fileSize(task.file) : Result<long long>(fail("missing"));
  if (!size) {
    record({false, txt::kPrintFileMissing, s.dropMissingPrintFile});
    clock_.sleepFor(milliseconds(500), stop);
    return finished(false, false);
  }
  if (cancel_ || stop.stop_requested()) {
    record({false, txt::kCancelByUser, false});
    clock_.sleepFor(milliseconds(500), stop);
    return finished(false, false);
  }
  LinkOutcome out = runLink(task, *size, stop);
  if (out.ok) {
    std::string fileResult;
    if (s.savePrintedFile) {
      fileResult = moveToBackup(s, task.file, "", stop) ? txt::kRecordBackupOk : txt::kBackupFail;
    } else {
      fileResult = deleteFile(task.file).ok() ? txt::kRecordDeleteOk : txt::kRecordDeleteFail;
    }
    record({true, fileResult, false});
    if (*size < 2048) clock_.sleepFor(milliseconds(2000), stop);
  } else {
    if (out.pause) post([this] { pausePrintQueue(); });
    record({false, out.message, false});
  }
  clock_.sleepFor(seconds(s.transferDelaySeconds), stop);
  bool marker = out.ok && writeMarker(s, stop);
  finished(out.ok, marker);
}

Pipeline::LinkOutcome Pipeline::runLink(const PrintTask& task, long long size, std::stop_token stop) {
  const PipelineSettings& s = task.settings;
  const int type = s.transferType;
  auto link = services_.links.create({type, task.file, size}, *this);
  if (!link) return {false, "", false};
  bool showBefore = false, clearAfter = false;
  switch (type) {
    case 1: case 2: case 3: case 4: showBefore = clearAfter = s.printPreview; break;
    case 5: showBefore = true; clearAfter = !s.oldProgramMode; break;  // the IC link draws through it
    case 6: clearAfter = true; break;
    case 7: showBefore = s.printPreview; break;
    default: break;
  }
  LinkOutcome out;
  if (!link->ready()) {
    out.message = link->message();
  } else {
    if (showBefore && services_.preview) services_.preview->show(task.file);
    if (stop.stop_requested()) {
      out.message = txt::kCancelByUser;
    } else {
      out.ok = link->transfer();
      out.message = link->message();
    }
    if (out.ok && s.icCutState && (type == 4 || (type == 5 && !s.oldProgramMode))) {
      auto status = [this](const std::string& text) {
        post([this, text] { view_.setStatusLine(StatusLine::Print, text); });
      };
      out.ok = link->waitForCutEnd(status, out.message);
    }
    if (clearAfter && services_.preview) services_.preview->clear();
  }
  out.pause = !out.ok && (out.message == txt::kControllerConnectFail || out.message == txt::kSerialOpenFail ||
                          out.message == txt::kParallelOpenFail || link->pausesQueue());
  return out;
}

bool Pipeline::writeMarker(const PipelineSettings& s, std::stop_token stop) {
  // Written fresh each time, so a reader waiting for it sees a new file.
  std::string path = s.watchFolder + "/" + txt::kMarkerFile;
  if (fileExists(path) && !deleteFile(path).ok()) return false;
  clock_.sleepFor(milliseconds(100), stop);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

void Pipeline::pausePrintQueue() {
  printPaused_ = true;
  cancel_ = true;
  view_.printPauseChanged(true);
  view_.listStatusChanged(PipelineList::PrintQueue);
}

void Pipeline::applyPrintRecord(const PrintTask& task, const PrintRecord& r) {
  const std::string name = nameWithSlash(task.entry);
  // One "Fail" row per file: a new attempt replaces it.
  if (auto row = printedList_.findName(name); row && printedList_.cell(*row, 1) == txt::kFail) {
    printedList_.remove(*row);
  }
  view_.setStatusLine(StatusLine::Print, "");
  LocalTime t = clock_.localNow();
  char time[64];
  std::snprintf(time, sizeof time, "%04d-%02d-%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute);
  if (r.ok) {
    printedList_.append({name, txt::kOk, time, r.cause});
    char count[64];
    std::snprintf(count, sizeof count, txt::kPrintedFiles, printedList_.rowCount());
    view_.setStatusBar(2, count);
  } else {
    // Back on top under its own entry name, with its size text.
    if (!r.drop) printQueue_.insert(0, {task.entry, task.sizeText});
    printedList_.append({name, txt::kFail, time, r.cause});
  }
  view_.listStatusChanged(PipelineList::PrintQueue);
  const PipelineSettings& s = settings_;
  if (s.continuePrinting && s.live && printQueue_.empty()) moveFolderFiles(s.continueFolder, s.watchFolder);
}

// ---- Commands ----------------------------------------------------------------

bool Pipeline::toggleWatcherPause() {
  watcherPaused_ = !watcherPaused_;
  view_.listStatusChanged(PipelineList::Watcher);
  return watcherPaused_;
}

bool Pipeline::togglePrintPause() {
  bool paused = !printPaused_;
  printPaused_ = paused;
  cancel_ = paused;
  view_.printPauseChanged(paused);
  view_.listStatusChanged(PipelineList::PrintQueue);
  return paused;
}

void Pipeline::deleteRow(PipelineList which, int row) {
  if (which == PipelineList::Printed) return;
  ListModel& l = list(which);
  if (row < 0 || row >= l.rowCount()) return;
  const StatusLine line = which == PipelineList::Watcher ? StatusLine::Dispose : StatusLine::Print;
  const std::string entry = l.cell(row, 0);
  view_.setStatusLine(line, entry + txt::kIsDeleting);
  bool deleted = deleteFile(folderOf(which) + entry).ok();
  l.remove(row);
  view_.setStatusLine(line, entry + (deleted ? txt::kIsDeleted : txt::kDeleteFail));
  view_.listStatusChanged(which);
}

void Pipeline::clearList(PipelineList which) {
  if (which == PipelineList::Printed) return;
  ListModel& l = list(which);
  const StatusLine line = which == PipelineList::Watcher ? StatusLine::Dispose : StatusLine::Print;
  while (!l.empty()) {
    ListModel::Row row = l.row(0);
    view_.setStatusLine(line, row[0] + txt::kIsDeleting);
    if (!deleteFile(folderOf(which) + row[0]).ok()) {
      view_.setStatusLine(line, row[0] + txt::kDeleteFail);
      break;
    }
    l.remove(0);
    if (which == PipelineList::Watcher) view_.setStatusLine(line, row[0] + txt::kIsDeleted);
  }
  view_.listStatusChanged(which);
}

PipelineEnabling Pipeline::enabling() const {
  PipelineEnabling e;
  // The watch folder may change only while nothing of it is pending, or while paused.
  bool watcherSideIdle = (!disposing_ && watcherList_.empty()) || watcherPaused_;
  bool printSideIdle = (!printing_ && printQueue_.empty()) || printPaused_;
  e.chooseWatchFolder = watcherSideIdle;
  e.settings = watcherSideIdle && printSideIdle;
  e.watcherDeleteClear = !disposing_ && !watcherList_.empty() && watcherPaused_;
  return e;
}

// ---- Shut-down ---------------------------------------------------------------

void Pipeline::shutdown() {
  if (stopping_.exchange(true)) return;
  stopWatching();
  disposeWorker_.request_stop();
  printWorker_.request_stop();
  // A link clears the cancel flag when its transfer starts, so keep setting
  // it until the print worker is gone.
  while (printWorkerActive_) {
    cancel_ = true;
    realClock().sleepFor(milliseconds(5));
  }
  cancel_ = true;
  if (disposeWorker_.joinable()) disposeWorker_.join();
  if (printWorker_.joinable()) printWorker_.join();
}

}  // namespace plotdesk
