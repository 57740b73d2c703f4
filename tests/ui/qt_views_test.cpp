// The Qt views on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <cstdlib>
#include <thread>

#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/main_window_widget.h"
#include "ui/qt/mode_chooser_widget.h"
#include "ui/qt/qt_event_loop.h"

namespace plotdesk {
namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "test_ui_qt";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication a(argc, argv);
  return a;
}

TEST(QtViews, ChooserShowsSettingsAndStoresTheMode) {
  app();
  test::TempDir dir;
  SettingsStore store(dir.path());
  ASSERT_TRUE(store.set_Transfer_Type(5));
  ModeChooserWidget widget;
  ModeChooserDialog logic(store, widget, " Ver:<1.0.0>");
  widget.attach(&logic);
  logic.init();
  EXPECT_EQ(widget.windowTitle().toStdString(), "Plotdesk [  Ver:<1.0.0> ] ");
  EXPECT_TRUE(qobject_cast<QRadioButton*>(widget.control(ModeChooserDialog::kRadioIC))->isChecked());
  EXPECT_EQ(qobject_cast<QLineEdit*>(widget.control(ModeChooserDialog::kIpEdit))->text(), "192.168.1.100");
  EXPECT_FALSE(widget.control(ModeChooserDialog::kConnectGroup)->isEnabled());
  EXPECT_TRUE(widget.control(ModeChooserDialog::kServer)->isEnabled());
  QTimer::singleShot(0, [&] { qobject_cast<QPushButton*>(widget.control(ModeChooserDialog::kServer))->click(); });
  EXPECT_EQ(widget.exec(), QDialog::Accepted);
  EXPECT_EQ(store.Locked_SelPrgID(), 2);
}

TEST(QtViews, EventLoopRunsPostedCallsInOrder) {
  app();
  QtEventLoop loop;
  std::vector<int> seen;
  std::jthread poster([&] {
    for (int i = 0; i < 50; ++i) loop.post([&, i] { seen.push_back(i); });
    loop.post([&] { loop.quit(5); });
  });
  EXPECT_EQ(loop.run(), 5);
  ASSERT_EQ(seen.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
  int ticks = 0;
  loop.startTimer(1, std::chrono::milliseconds(1), [&] {
    if (++ticks == 3) loop.quit(0);
  });
  EXPECT_EQ(loop.run(), 0);
  loop.stopTimer(1);
}

class NoEngines final : public DisposeFactory {
 public:
  std::unique_ptr<DisposeService> create(int) override { return nullptr; }
  bool convertFileCode(const std::string&) override { return true; }
};
class NoLinks final : public LinkFactory {
 public:
  std::unique_ptr<LinkService> create(const LinkJob&, TransferOwner&) override { return nullptr; }
};

TEST(QtViews, MainWindowShowsTheListsAndStatusBar) {
  app();
  test::TempDir dir;
  {
    SettingsStore store(dir.path());
    ASSERT_TRUE(store.set_Print_Unfinished(1));
    ASSERT_TRUE(store.set_Watcher_Enabled(0));
    ASSERT_TRUE(store.set_Print_PreView(1));
  }
  ASSERT_TRUE(createFolder(dir.file("Watcher_Folder")));
  ASSERT_TRUE(writeFileAtomic(dir.file("Watcher_Folder/a.plt"), "PU0,0;PD1,1;"));
  FakeClock clock;
  QtEventLoop loop;
  NoEngines engines;
  NoLinks links;
  PreviewModel preview;
  MainWindowWidget widget(&preview);
  {
    MainWindow window({loop, clock, dir.slash(), true, engines, links, &preview, nullptr}, widget);
    widget.attach(&window);
    window.open();
    auto* list = qobject_cast<QTableWidget*>(widget.control(main_ids::kWatcherList));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 0)->text(), "/a.plt");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Cause");
    EXPECT_TRUE(widget.windowTitle().startsWith("Plotdesk - Ver:<"));
    EXPECT_FALSE(widget.control(main_ids::kPreviewGroup)->isHidden());
    window.onCommand(main_ids::kWatcherPause);
    EXPECT_EQ(qobject_cast<QPushButton*>(widget.control(main_ids::kWatcherPause))->text(), "Continue");
    window.pipeline().watcherList().append({"/b.plt", "cause"});
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(1, 1)->text(), "cause");
    widget.attach(nullptr);
  }
  EXPECT_EQ(qobject_cast<QTableWidget*>(widget.control(main_ids::kWatcherList))->rowCount(), 2);
}

}  // namespace
}  // namespace plotdesk
