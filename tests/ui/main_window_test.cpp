#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <map>

#include "config/settings_store.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

using namespace main_ids;
using namespace std::chrono_literals;

class RecordingView final : public MainWindowView {
 public:
  void setTitle(const std::string& t) override { title = t; }
  void setText(int id, const std::string& t) override { texts[id] = t; }
  void setEnabled(int id, bool e) override { enabled[id] = e; }
  void setStatusPart(int part, const std::string& t) override { parts[part] = t; }
  void setProgress(int id, int p) override { progress[id] = p; }
  void bindList(int id, ListModel& m) override { lists[id] = &m; }
  void unbindLists() override { lists.clear(); }
  void selectRow(int id, int row) override { selected[id] = row; }
  void showMessage(const std::string& t, const std::string& c) override { messages.push_back(c + ": " + t); }
  std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return folderAnswer; }
  std::optional<std::string> chooseSaveFile() override { return saveAnswer; }
  void setPreviewVisible(bool v) override { preview = v; }
  void minimiseToTray() override { minimised = true; }
  void showAbout() override { ++abouts; }
  bool openWithDefaultHandler(const std::string& p) override {
    opened = p;
    return true;
  }
  void closeWindow() override { closed = true; }

  std::string title;
  std::map<int, std::string> texts, parts;
  std::map<int, bool> enabled;
  std::map<int, int> progress, selected;
  std::map<int, ListModel*> lists;
  std::vector<std::string> messages;
  std::optional<std::string> folderAnswer, saveAnswer;
  bool preview = false, minimised = false, closed = false;
  int abouts = 0;
  std::string opened;
};

class OnePageEngines final : public DisposeFactory {
 public:
  std::unique_ptr<DisposeService> create(int) override { return std::make_unique<Engine>(); }
  bool convertFileCode(const std::string&) override { return true; }

 private:
  struct Engine final : DisposeService {
    bool dispose(const DisposeJob& job, DisposeOwner& owner) override {
      std::string name(fileNamePart(job.source));
      std::string out = job.disposeFolder + "/" + name.substr(0, name.rfind('.')) + "_" + job.timestampName + "_001.plt";
      if (!writeFileAtomic(out, "PU0,0;PD40,40;")) return false;
      owner.addOutput(out + ";1.00 * 1.00");
      return true;
    }
  };
};

class ScriptedLinks final : public LinkFactory {
 public:
  std::vector<std::pair<bool, std::string>> outcomes;  // consumed in order; then success
  std::unique_ptr<LinkService> create(const LinkJob&, TransferOwner&) override {
    auto o = outcomes.empty() ? std::pair<bool, std::string>{true, ""} : outcomes.front();
    if (!outcomes.empty()) outcomes.erase(outcomes.begin());
    return std::make_unique<Link>(o);
  }

 private:
  struct Link final : LinkService {
    explicit Link(std::pair<bool, std::string> o) : o(std::move(o)) {}
    bool transfer() override { return o.first; }
    std::string message() const override { return o.second; }
    std::pair<bool, std::string> o;
  };
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SettingsStore store(home.path());
    ASSERT_TRUE(store.set_Dispose_DelayTime(0));
    ASSERT_TRUE(store.set_Transfer_DelayTime(0));
    ASSERT_TRUE(store.set_Watcher_Enabled(0));  // jobs come from the start-up scan
    ASSERT_TRUE(store.set_Print_Unfinished(1));
    ASSERT_TRUE(createFolder(home.file("Watcher_Folder")));
  }
  std::unique_ptr<MainWindow> makeWindow(bool live = true) {
    auto w = std::make_unique<MainWindow>(
        MainWindowDeps{loop, clock, home.slash(), live, engines, links, nullptr, nullptr}, view);
    return w;
  }
  // Ticks until `done` or about ten seconds of real time.
  template <class F>
  bool runUntil(MainWindow& w, F done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
      w.tick();
      loop.runOnce(5ms);
    }
    return done();
  }
  test::TempDir home;
  FakeClock clock;
  HeadlessEventLoop loop{clock};
  RecordingView view;
  OnePageEngines engines;
  ScriptedLinks links;
};

TEST_F(MainWindowTest, OpeningSequenceSetsTheWindowUp) {
  ASSERT_TRUE(writeFileAtomic(home.file("Watcher_Folder/a.plt"), "PU0,0;PD1,1;"));
  ASSERT_TRUE(SettingsStore(home.path()).set_Program_UseVersion("7b"));
  auto w = makeWindow();
  w->open();
  EXPECT_EQ(view.title.rfind("Plotdesk - Ver:<", 0), 0u);
  EXPECT_NE(view.title.find(".7b> ["), std::string::npos);
  EXPECT_EQ(view.parts[1], "Print-Queue Files: 0");
  EXPECT_EQ(view.parts[2], "Printed Files: 0");
  EXPECT_EQ(view.parts[0], "Watcher Files: 1");
  EXPECT_EQ(view.texts[kWatcherPause], "Pause");
  EXPECT_EQ(view.texts[kWatchEdit], home.file("Watcher_Folder"));
  EXPECT_FALSE(view.enabled[kMenuSetting]);
  EXPECT_EQ(view.lists.size(), 3u);
  EXPECT_FALSE(view.preview);
  EXPECT_TRUE(folderExists(home.file("DisposeFile_Folder")));
  EXPECT_TRUE(folderExists(home.file("ContinueFile_Folder")));
}

TEST_F(MainWindowTest, JobRunsFromWatchFolderToPrintedList) {
  ASSERT_TRUE(writeFileAtomic(home.file("Watcher_Folder/a.plt"), "PU0,0;PD1,1;"));
  links.outcomes = {{false, "Serial_Open_Fail"}};
  auto w = makeWindow();
  w->open();
  ListModel& printed = w->pipeline().printedList();
  ASSERT_TRUE(runUntil(*w, [&] { return printed.rowCount() == 1; }));
  EXPECT_EQ(printed.cell(0, 1), "Fail");
  EXPECT_EQ(printed.cell(0, 3), "Serial_Open_Fail");
  // The open failure pauses the queue: the button reads "Continue" and the job is first again.
  ASSERT_TRUE(runUntil(*w, [&] { return view.texts[kPrintPause] == "Continue"; }));
  ASSERT_EQ(w->pipeline().printQueue().rowCount(), 1);
  w->onCommand(kPrintPause);
  EXPECT_EQ(view.texts[kPrintPause], "Pause");
  ASSERT_TRUE(runUntil(*w, [&] { return printed.rowCount() == 1 && printed.cell(0, 1) == "OK"; }));
  EXPECT_EQ(view.parts[2], "Printed Files: 1");
  // Save Record: one line per row, four columns each followed by the separator.
  ASSERT_TRUE(w->saveRecord(home.file("record.txt")));
  std::string record = *readFile(home.file("record.txt"));
  EXPECT_EQ(record.rfind(printed.cell(0, 0) + "  ;  OK  ;  ", 0), 0u);
  EXPECT_EQ(record.back(), '\n');
  size_t separators = 0;
  for (size_t p = 0; (p = record.find("  ;  ", p)) != std::string::npos; p += 5) ++separators;
  EXPECT_EQ(separators, 4u);
  w->onCommand(kMenuClearRecord);
  EXPECT_EQ(printed.rowCount(), 0);
  EXPECT_EQ(view.parts[2], "Printed Files: 0");
}

TEST_F(MainWindowTest, ListCommandsMoveWholeRowsAndDeleteWhenPaused) {
  for (const char* n : {"a.plt", "b.plt", "c.plt"}) ASSERT_TRUE(writeFileAtomic(home.file(std::string("Watcher_Folder/") + n), "x"));
  auto w = makeWindow();
  w->open();
  w->onCommand(kWatcherPause);  // keep the rows where they are
  EXPECT_EQ(view.texts[kWatcherPause], "Continue");
  ListModel& list = w->pipeline().watcherList();
  list.setCell(2, 1, "cause");
  w->onListClicked(kWatcherList, 2);
  EXPECT_TRUE(view.enabled[kWatcherUp]);
  EXPECT_FALSE(view.enabled[kWatcherDown]);
  EXPECT_EQ(w->printViewTarget(), home.file("Watcher_Folder") + "/c.plt");
  w->onCommand(kWatcherUp);
  EXPECT_EQ(list.cell(1, 0), "/c.plt");
  EXPECT_EQ(list.cell(1, 1), "cause");  // the whole row moved
  EXPECT_EQ(view.selected[kWatcherList], 1);
  w->onCommand(kWatcherUp);
  EXPECT_EQ(list.cell(0, 0), "/c.plt");
  EXPECT_FALSE(view.enabled[kWatcherUp]);
  EXPECT_TRUE(view.enabled[kWatcherDown]);
  w->onCommand(kWatcherUp);  // already at the top
  EXPECT_EQ(list.cell(0, 0), "/c.plt");
  w->onCommand(kWatcherDelete);
  EXPECT_EQ(list.rowCount(), 2);
  EXPECT_FALSE(fileExists(home.file("Watcher_Folder/c.plt")));
  w->onCommand(kWatcherClear);
  EXPECT_EQ(list.rowCount(), 0);
  EXPECT_EQ(view.parts[0], "Watcher Files: 0");
}

TEST_F(MainWindowTest, PrintViewGuardsAndMenus) {
  auto w = makeWindow();
  w->open();
  w->onCommand(kMenuPrintView);
  w->onListClicked(kWatcherList, 0);  // nothing there: the target stays empty
  ASSERT_TRUE(writeFileAtomic(home.file("DisposeFile_Folder/p_001.plt"), "x"));
  w->pipeline().printQueue().append({"/p_001.plt", ""});
  w->pipeline().printQueue().append({"/gone.plt", ""});
  w->onListClicked(kPrintQueue, 1);
  w->onCommand(kMenuPrintView);
  w->onListClicked(kPrintQueue, 0);
  w->onCommand(kMenuPrintView);
  ASSERT_EQ(view.messages.size(), 3u);
  EXPECT_EQ(view.messages[0], "Prompt: Error: Print-View File Name Can't NULL!");
  EXPECT_EQ(view.messages[1], "Prompt: Error: Pre-View File Isn't Exist!");
  EXPECT_EQ(view.messages[2], "Prompt: Error: Please pause print work, than click pre-view file!");
  w->onCommand(kMenuAbout);
  w->onCommand(kSystemAbout);
  EXPECT_EQ(view.abouts, 2);
  w->onCommand(kMenuQuit);
  EXPECT_TRUE(view.closed);
}

TEST_F(MainWindowTest, WatchFolderChoiceOnlyWhenLive) {
  ASSERT_TRUE(createFolder(home.file("other")));
  ASSERT_TRUE(writeFileAtomic(home.file("other/n.plt"), "x"));
  view.folderAnswer = home.file("other");
  {
    auto demo = makeWindow(false);
    demo->open();
    demo->onCommand(kChooseFolder);
    EXPECT_EQ(SettingsStore(home.path()).Watcher_Dir(), home.slash() + "Watcher_Folder");
  }
  auto w = makeWindow(true);
  w->open();
  w->onCommand(kWatcherPause);
  w->onCommand(kMenuWatcherDir);
  EXPECT_EQ(SettingsStore(home.path()).Watcher_Dir(), home.file("other"));
  EXPECT_EQ(view.texts[kWatchEdit], home.file("other"));
  ASSERT_EQ(w->pipeline().watcherList().rowCount(), 1);
  EXPECT_EQ(w->pipeline().watcherList().cell(0, 0), "/n.plt");
}

}  // namespace
}  // namespace plotdesk
