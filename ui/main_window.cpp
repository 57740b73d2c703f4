#include "ui/main_window.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "config/settings_store.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "ui/mode_chooser.h"
#include "ui/strings.h"

#ifndef PLOTDESK_VERSION_MAJOR
#define PLOTDESK_VERSION_MAJOR 0
#define PLOTDESK_VERSION_MINOR 0
#define PLOTDESK_VERSION_PATCH 0
#endif

namespace plotdesk {

using namespace main_ids;

namespace {

constexpr const char* kChooseFolderTitle = "Select the Directory you wish to Watcher...";
constexpr const char* kPrintViewMissing = "The print view is not available in this build.";
constexpr const char* kHelpMissing = "The help file cannot be opened.";

std::string formatCount(const char* format, int n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, n);
  return buf;
}

std::string executableTime() {
  struct stat st{};
  if (::stat("/proc/self/exe", &st) != 0) return "";
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%d/%m/%Y  %H:%M:%S", &tm);
  return buf;
}

PreviewConfig previewConfig(const SettingsStore& s) {
  PreviewConfig c;
  c.printerName = s.PrtName();
  c.paperSize = s.PaperSize();
  c.orientation = s.PrtHengzong();
  c.offsetX = s.ICErrorOffX();
  c.offsetY = s.ICErrorOffY();
  c.smallFont = s.SmallFont();
  c.bigFont = s.BigFont();
  c.lineWidth = s.LineWidth();
  return c;
}

}  // namespace

MainWindow::MainWindow(MainWindowDeps deps, MainWindowView& view) : deps_(std::move(deps)), view_(view) {}

MainWindow::~MainWindow() {
  if (pipeline_) {
    deps_.loop.stopTimer(kTickTimer);
    pipeline_->shutdown();
    view_.unbindLists();
  }
}

std::string MainWindow::titleFor(const std::string& useVersion, const std::string& exeTime) {
  char buf[512];
  std::snprintf(buf, sizeof buf, " - Ver:<%i.%i.%i.%s> [%s]", PLOTDESK_VERSION_MAJOR, PLOTDESK_VERSION_MINOR,
                PLOTDESK_VERSION_PATCH, useVersion.c_str(), exeTime.c_str());
  return std::string("Plotdesk") + buf;
}

MainWindow::ListIds MainWindow::idsOf(PipelineList list) {
  switch (list) {
    case PipelineList::Watcher:
      return {kWatcherList, kWatcherPause, kWatcherDelete, kWatcherClear, kWatcherUp, kWatcherDown};
    case PipelineList::PrintQueue:
      return {kPrintQueue, kPrintPause, kPrintDelete, kPrintClear, kPrintUp, kPrintDown};
    case PipelineList::Printed: break;
  }
  return {kPrintedList, 0, 0, 0, 0, 0};
}

void MainWindow::open() {
  SettingsStore store(deps_.programFolder);
  PipelineSettings settings = PipelineSettings::fromStore(deps_.programFolder, deps_.live);
  PipelineServices services{deps_.dispose, deps_.links, nullptr};
  bool preview = deps_.preview && (settings.transferType == 5 || settings.printPreview);
  if (preview) {
    services.preview = deps_.previewSink;
    deps_.preview->configure(previewConfig(store));
  }
  view_.setPreviewVisible(preview);
  pipeline_ = std::make_unique<Pipeline>(deps_.loop, deps_.clock, settings, services, *this);

  view_.bindList(kWatcherList, pipeline_->watcherList());
  view_.bindList(kPrintQueue, pipeline_->printQueue());
  view_.bindList(kPrintedList, pipeline_->printedList());
  view_.setStatusPart(0, formatCount("Watcher Files: %d", 0));
  view_.setStatusPart(1, formatCount("Print-Queue Files: %d", 0));
  view_.setStatusPart(2, formatCount("Printed Files: %d", 0));
  view_.setText(kWatcherPause, tr(IDS_PAUSE));
  view_.setText(kPrintPause, tr(IDS_PAUSE));
  view_.setText(kWatchEdit, settings.watchFolder);
  view_.setTitle(titleFor(store.Program_UseVersion(), executableTime()));
  // Not in this build: the settings dialog and the network services.
  for (int id : {kMenuSetting, kMenuOpenServer, kMenuWatcherNet}) view_.setEnabled(id, false);

  pipeline_->openFolders();
  pipeline_->startWatching();
  deps_.loop.startTimer(kTickTimer, Pipeline::kTickPeriod, [this] { tick(); });
  pipeline_->restoreContinueFiles();
  for (PipelineList l : {PipelineList::Watcher, PipelineList::PrintQueue, PipelineList::Printed}) updateListStatus(l);
  if (store.AutoMinShow() == 1) view_.minimiseToTray();
}

void MainWindow::tick() {
  if (!pipeline_ || closed_) return;
  applyEnabling();
  pipeline_->tick();
}

void MainWindow::applyEnabling() {
  PipelineEnabling e = pipeline_->enabling();
  view_.setEnabled(kChooseFolder, e.chooseWatchFolder);
  view_.setEnabled(kMenuWatcherDir, e.chooseWatchFolder);
  view_.setEnabled(kMenuSetting, false);  // the settings dialog is not in this build
  view_.setEnabled(kWatcherDelete, e.watcherDeleteClear);
  view_.setEnabled(kWatcherClear, e.watcherDeleteClear);
}

std::optional<int> MainWindow::selected(PipelineList list) const {
  auto sel = selection_[static_cast<size_t>(list)];
  if (sel && *sel >= pipeline_->list(list).rowCount()) return std::nullopt;
  return sel;
}

void MainWindow::updateListStatus(PipelineList list) {
  ListModel& model = pipeline_->list(list);
  int count = model.rowCount();
  if (list == PipelineList::Printed) {
    view_.setStatusPart(2, formatCount("Printed Files: %d", count));
    return;
  }
  ListIds ids = idsOf(list);
  bool watcher = list == PipelineList::Watcher;
  bool paused = watcher ? pipeline_->watcherPaused() : pipeline_->printPaused();
  if (count == 0) {
    for (int id : {ids.del, ids.clear, ids.up, ids.down}) view_.setEnabled(id, false);
    if (watcher) view_.setEnabled(kChooseFolder, true);
    view_.setStatusPart(watcher ? 0 : 1, formatCount(watcher ? "Watcher Files: %d" : "Print-Queue Files: %d", 0));
    bool busy = watcher ? pipeline_->disposing() : pipeline_->printing();
    if (!busy) view_.setStatusPart(3, watcher ? "Wait need-Dispose File." : "Wait need-Print File.");
    return;
  }
  auto sel = selected(list);
  view_.setEnabled(ids.up, sel && *sel > 0);
  view_.setEnabled(ids.down, sel && *sel < count - 1);
  view_.setEnabled(ids.del, paused);
  view_.setEnabled(ids.clear, paused);
  view_.setStatusPart(watcher ? 0 : 1, formatCount(watcher ? "Watcher Files: %d" : "Print-Queue Files: %d", count));
}

void MainWindow::moveSelected(PipelineList list, int delta) {
  auto sel = selected(list);
  ListModel& model = pipeline_->list(list);
  if (!sel) return;
  int to = *sel + delta;
  if (to < 0 || to >= model.rowCount()) return;
  if (!model.move(*sel, to)) return;
  selection_[static_cast<size_t>(list)] = to;
  ListIds ids = idsOf(list);
  view_.selectRow(ids.list, to);
  view_.setEnabled(ids.up, to > 0);
  view_.setEnabled(ids.down, to < model.rowCount() - 1);
}

void MainWindow::onListClicked(int listId, int row) {
  PipelineList list = listId == kWatcherList   ? PipelineList::Watcher
                      : listId == kPrintQueue ? PipelineList::PrintQueue
                                              : PipelineList::Printed;
  ListModel& model = pipeline_->list(list);
  if (row < 0 || row >= model.rowCount()) {
    selection_[static_cast<size_t>(list)].reset();
  } else {
    selection_[static_cast<size_t>(list)] = row;
    const PipelineSettings& s = pipeline_->settings();
    const std::string& entry = model.cell(row, 0);
    if (list == PipelineList::Watcher) printViewTarget_ = s.watchFolder + entry;
    else if (list == PipelineList::PrintQueue) printViewTarget_ = s.disposeFolder + entry;
    else if (pipeline_->savesPrintedFiles()) printViewTarget_ = s.backupFolder + entry;
  }
  if (list != PipelineList::Printed) {
    ListIds ids = idsOf(list);
    auto sel = selected(list);
    view_.setEnabled(ids.up, sel && *sel > 0);
    view_.setEnabled(ids.down, sel && *sel < model.rowCount() - 1);
  }
}

void MainWindow::onCommand(int id) {
  if (!pipeline_ || closed_) return;
  switch (id) {
    case kWatcherPause: {
      bool paused = pipeline_->toggleWatcherPause();
      view_.setText(kWatcherPause, tr(paused ? IDS_CONTINUE : IDS_PAUSE));
      updateListStatus(PipelineList::Watcher);
      break;
    }
    case kPrintPause: {
      bool paused = pipeline_->togglePrintPause();
      view_.setText(kPrintPause, tr(paused ? IDS_CONTINUE : IDS_PAUSE));
      updateListStatus(PipelineList::PrintQueue);
      break;
    }
    case kWatcherDelete:
    case kPrintDelete: {
      PipelineList list = id == kWatcherDelete ? PipelineList::Watcher : PipelineList::PrintQueue;
      if (auto sel = selected(list)) {
        selection_[static_cast<size_t>(list)].reset();
        pipeline_->deleteRow(list, *sel);
      }
      updateListStatus(list);
      break;
    }
    case kWatcherClear:
    case kPrintClear: {
      PipelineList list = id == kWatcherClear ? PipelineList::Watcher : PipelineList::PrintQueue;
      selection_[static_cast<size_t>(list)].reset();
      pipeline_->clearList(list);
      updateListStatus(list);
      break;
    }
    case kWatcherUp: moveSelected(PipelineList::Watcher, -1); break;
    case kWatcherDown: moveSelected(PipelineList::Watcher, +1); break;
    case kPrintUp: moveSelected(PipelineList::PrintQueue, -1); break;
    case kPrintDown: moveSelected(PipelineList::PrintQueue, +1); break;
    case kChooseFolder:
    case kMenuWatcherDir: chooseWatchFolder(); break;
    case kMenuClearRecord:
      pipeline_->printedList().clear();
      updateListStatus(PipelineList::Printed);
      break;
    case kMenuSaveRecord:
      if (auto path = view_.chooseSaveFile()) {
        if (Status s = saveRecord(*path); !s) view_.showMessage(s.error(), tr(IDS_ERROR));
      }
      break;
    case kMenuPrintView: printView(); break;
    case kMenuHelp: {
      std::string chm = deps_.programFolder + "QKDriver_Help.chm";
      std::string help = fileExists(chm) ? chm : findDataFile(deps_.programFolder, "help/plotdesk-help.txt");
      if (!fileExists(help) || !view_.openWithDefaultHandler(help)) view_.showMessage(kHelpMissing, tr(IDS_PROMPT));
      else deps_.clock.sleepFor(std::chrono::milliseconds(200));
      break;
    }
    case kMenuAbout:
    case kSystemAbout: view_.showAbout(); break;
    case kMenuQuit: close(); break;
    default: break;
  }
}

void MainWindow::chooseWatchFolder() {
  if (!deps_.live) return;
  const std::string current = pipeline_->settings().watchFolder;
  auto chosen = view_.chooseFolder(kChooseFolderTitle, current);
  if (!chosen || chosen->empty()) return;
  std::string folder = *chosen;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  view_.setText(kWatchEdit, folder);
  selection_[static_cast<size_t>(PipelineList::Watcher)].reset();
  (void)SettingsStore(deps_.programFolder).set_Watcher_Dir(folder);
  pipeline_->changeWatchFolder(folder);
  updateListStatus(PipelineList::Watcher);
}

void MainWindow::printView() {
  if (printViewTarget_.empty()) {
    showMessage(131, IDS_PROMPT);
  } else if (!fileExists(printViewTarget_)) {
    showMessage(132, IDS_PROMPT);
  } else if (!pipeline_->printPaused()) {
    showMessage(134, IDS_PROMPT);
  } else {
    view_.showMessage(kPrintViewMissing, tr(IDS_PROMPT));
  }
}

Status MainWindow::saveRecord(const std::string& path) const {
  std::string text;
  const ListModel& printed = pipeline_->printedList();
  for (int r = 0; r < printed.rowCount(); ++r) {
    for (int c = 0; c < 4; ++c) {
      text += printed.cell(r, c).substr(0, 255);
      text += "  ;  ";
    }
    text += "\n";
  }
  return writeFileAtomic(path, text);
}

void MainWindow::onTrayClicked() {}

void MainWindow::close() {
  if (closed_) return;
  closed_ = true;
  deps_.loop.stopTimer(kTickTimer);
  if (pipeline_) pipeline_->shutdown();
  view_.closeWindow();
}

void MainWindow::setStatusLine(StatusLine line, const std::string& text) {
  view_.setText(line == StatusLine::Dispose ? kDisposeStatus : kPrintStatus, text);
}

void MainWindow::setStatusBar(int part, const std::string& text) { view_.setStatusPart(part, text); }

void MainWindow::listStatusChanged(PipelineList list) { updateListStatus(list); }

void MainWindow::printPauseChanged(bool paused) {
  view_.setText(kPrintPause, tr(paused ? IDS_CONTINUE : IDS_PAUSE));
  updateListStatus(PipelineList::PrintQueue);
}

void MainWindow::disposeProgress(int percent) { view_.setProgress(kDisposeProgress, percent); }
void MainWindow::printProgress(int percent) { view_.setProgress(kPrintProgress, percent); }

void MainWindow::showMessage(int textId, int captionId) { view_.showMessage(tr(textId), tr(captionId)); }

}  // namespace plotdesk
