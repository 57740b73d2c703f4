#pragma once
// The Server/Demo main window as toolkit-free logic: the opening sequence,
// list commands, enabling rules, records and menus, over a view that
// addresses controls by id. The job pipeline does the queue work.
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "pipeline/pipeline.h"
#include "ui/preview.h"

namespace plotdesk {

namespace main_ids {
enum : int {
  kWatchGroup = 1293, kWatchEdit = 1000, kChooseFolder = 1001, kWatcherList = 1003,
  kWatcherPause = 1005, kWatcherDelete = 1008, kWatcherClear = 1010, kWatcherUp = 1012, kWatcherDown = 1013,
  kDisposeProgress = 1015, kDisposeStatus = 1171,
  kPrintGroup = 1067, kPrintQueue = 1017,
  kPrintPause = 1019, kPrintDelete = 1021, kPrintClear = 1023, kPrintUp = 1025, kPrintDown = 1026,
  kPrintProgress = 1007, kPrintStatus = 1168, kPrintedList = 1006, kPreviewGroup = 1272,
  kIcProgress = 1009, kIcStatus = 1169, kPreview = 10000,
  // Menu
  kMenuOpenServer = 32779, kMenuPrintView = 32778, kMenuQuit = 32775, kMenuClearRecord = 32776,
  kMenuSaveRecord = 32777, kMenuWatcherDir = 32773, kMenuWatcherNet = 32780, kMenuSetting = 32774,
  kMenuHelp = 32771, kMenuAbout = 32772, kSystemAbout = 16,
};
}  // namespace main_ids

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setText(int controlId, const std::string& text) = 0;
  virtual void setEnabled(int controlId, bool enabled) = 0;
  virtual void setStatusPart(int part, const std::string& text) = 0;
  virtual void setProgress(int controlId, int percent) = 0;
  // The view shows `model` in list `listId` and follows its change notices.
  virtual void bindList(int listId, ListModel& model) = 0;
  // The lists are about to go away.
  virtual void unbindLists() = 0;
  virtual void selectRow(int listId, int row) = 0;
  virtual void showMessage(const std::string& text, const std::string& caption) = 0;
  virtual std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) = 0;
  virtual std::optional<std::string> chooseSaveFile() = 0;
  virtual void setPreviewVisible(bool visible) = 0;
  virtual void minimiseToTray() = 0;
  virtual void showAbout() = 0;
  virtual bool openWithDefaultHandler(const std::string& path) = 0;
  virtual void closeWindow() = 0;
};

struct MainWindowDeps {
  EventLoop& loop;
  Clock& clock;
  std::string programFolder;  // ends with '/'
  bool live = true;
  DisposeFactory& dispose;
  LinkFactory& links;
  PreviewControl* preview = nullptr;  // a preview window, when the view has one
  PreviewSink* previewSink = nullptr;
};

class MainWindow final : public PipelineView {
 public:
  static constexpr int kTickTimer = 1;
  MainWindow(MainWindowDeps deps, MainWindowView& view);
  ~MainWindow() override;

  void open();                      // the opening sequence
  void onCommand(int id);           // buttons and menu items
  void onListClicked(int listId, int row);
  void onTrayClicked();
  void close();                     // shut-down: stops work, closes the view

  Pipeline& pipeline() { return *pipeline_; }
  const std::string& printViewTarget() const { return printViewTarget_; }
  // Writes the printed list as the "Save Record" text.
  Status saveRecord(const std::string& path) const;
  static std::string titleFor(const std::string& useVersion, const std::string& exeTime);
  // Status bar, then the pipeline's tick: what timer 1 runs.
  void tick();

  // PipelineView
  void setStatusLine(StatusLine line, const std::string& text) override;
  void setStatusBar(int part, const std::string& text) override;
  void listStatusChanged(PipelineList list) override;
  void printPauseChanged(bool paused) override;
  void disposeProgress(int percent) override;
  void printProgress(int percent) override;
  void showMessage(int textId, int captionId) override;

 private:
  struct ListIds {
    int list, pause, del, clear, up, down;
  };
  static ListIds idsOf(PipelineList list);
  void applyEnabling();
  void updateListStatus(PipelineList list);
  void chooseWatchFolder();
  void printView();
  void moveSelected(PipelineList list, int delta);
  std::optional<int> selected(PipelineList list) const;

  MainWindowDeps deps_;
  MainWindowView& view_;
  std::unique_ptr<Pipeline> pipeline_;
  std::array<std::optional<int>, 3> selection_;
  std::string printViewTarget_;
  bool closed_ = false;
};

}  // namespace plotdesk
