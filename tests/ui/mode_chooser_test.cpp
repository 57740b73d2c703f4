#include "ui/mode_chooser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"
#include "ui/strings.h"

namespace plotdesk {
namespace {

class RecordingView : public ModeChooserView {
 public:
  void setTitle(const std::string& t) override { log.push_back("title " + t); }
  void setText(int id, const std::string& t) override { log.push_back("text " + std::to_string(id) + " " + t); }
  void setChecked(int id, bool c) override {
    if (c) log.push_back("check " + std::to_string(id));
  }
  void setEnabled(int id, bool e) override { log.push_back((e ? "enable " : "disable ") + std::to_string(id)); }
  void showMessage(const std::string& t, const std::string& c) override { log.push_back("message " + c + ": " + t); }
  void close(bool accepted) override { log.push_back(accepted ? "close ok" : "close cancel"); }
  bool has(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
  std::vector<std::string> log;
};

TEST(ModeChooser, InitShowsTheConnectTypeDisabled) {
  const std::pair<int, int> radios[] = {{3, 1236}, {5, 1241}, {4, 1239}, {1, 1239}, {7, 1239}};
  for (auto [transfer, radio] : radios) {
    test::TempDir dir;
    SettingsStore store(dir.path());
    ASSERT_TRUE(store.set_Transfer_Type(transfer));
    RecordingView view;
    ModeChooserDialog dialog(store, view, " Ver:<1.2.3>");
    dialog.init();
    EXPECT_TRUE(view.has("check " + std::to_string(radio))) << transfer;
    EXPECT_TRUE(view.has("text 1044 192.168.1.100"));
    for (int id : {32845, 1177, 1239, 1241, 1236, 1174, 1044}) EXPECT_TRUE(view.has("disable " + std::to_string(id)));
    EXPECT_TRUE(view.has("title Plotdesk [  Ver:<1.2.3> ] "));
  }
}

TEST(ModeChooser, ButtonsStoreTheModeAndControlProgramFlag) {
  struct Case {
    int button;
    std::optional<int> mode;
    int controlMacPrgBefore;  // -1: key absent
    const char* controlMacPrgAfter;
  };
  const Case cases[] = {
      {1224, 2, 1, "1"}, {1231, 1, 5, "0"}, {1225, 3, -1, "0"}, {1229, 0, 1, "1"}, {1298, std::nullopt, 1, "1"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    SettingsStore store(dir.path());
    ASSERT_TRUE(store.set_Locked_SelPrgID(2));
    if (c.controlMacPrgBefore >= 0) {
      ASSERT_TRUE(store.set_ControlMacPrg(c.controlMacPrgBefore));
    }
    RecordingView view;
    ModeChooserDialog dialog(store, view, "");
    dialog.init();
    dialog.onButton(c.button);
    std::string stored = iniRead(store.path(SettingsFile::DATA), "QR_ControlMacSet", "ControlMacPrg", "absent");
    if (c.mode) {
      ASSERT_TRUE(dialog.chosen());
      EXPECT_EQ(static_cast<int>(*dialog.chosen()), *c.mode);
      EXPECT_EQ(store.Locked_SelPrgID(), *c.mode);
      EXPECT_EQ(stored, c.controlMacPrgAfter) << c.button;
      EXPECT_EQ(view.log.back(), "close ok");
    } else {
      EXPECT_FALSE(dialog.chosen());
      EXPECT_EQ(store.Locked_SelPrgID(), 2);
      EXPECT_EQ(view.log.back(), "close cancel");
    }
    EXPECT_EQ(store.Transfer_Type(), 4);  // never written by the chooser
  }
}

TEST(ModeChooser, DemoWarnsBeforeClosing) {
  test::TempDir dir;
  SettingsStore store(dir.path());
  RecordingView view;
  ModeChooserDialog dialog(store, view, "");
  dialog.init();
  view.log.clear();
  dialog.onButton(1229);
  ASSERT_EQ(view.log.size(), 2u);
  EXPECT_EQ(view.log[0], "message Error: The method of open procedures, function is invalid!");
  EXPECT_EQ(view.log[1], "close ok");
}

TEST(Strings, EnglishTranslationsAndFallback) {
  EXPECT_STREQ(englishString(174), "Prompt");
  EXPECT_STREQ(englishString(99999), "");
  EXPECT_EQ(languageFileName(1), "QKPlotmover_Chs.ini");
  EXPECT_EQ(languageFileName(7), "");
  test::TempDir dir;
  ASSERT_TRUE(iniWrite(dir.file("QKPlotmover_Chs.ini"), "Strings", "174", "提示"));
  StringTable table;
  std::ostringstream warn;
  table.load(1, dir.path(), warn);
  EXPECT_EQ(table.text(174), "提示");
  EXPECT_EQ(table.text(106), "Error");
  EXPECT_TRUE(warn.str().empty());
  table.load(2, dir.path(), warn);  // file missing: English and one warning
  EXPECT_EQ(table.languageId(), 0);
  EXPECT_EQ(table.text(174), "Prompt");
  EXPECT_NE(warn.str().find("QKPlotmover_TW.ini"), std::string::npos);
}

}  // namespace
}  // namespace plotdesk
