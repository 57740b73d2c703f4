// The Qt views on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdlib>
#include <thread>

#include "tests/support/temp_dir.h"
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

}  // namespace
}  // namespace plotdesk
