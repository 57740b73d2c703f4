#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/app_main.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "config/settings_store.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/single_instance.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

StartupInputs inputs(int lang, int mutex, int locked, int lockedId, int macType = 0,
                     std::optional<int> mode = std::nullopt, bool headless = false) {
  StartupInputs in;
  in.languageId = lang;
  in.softwareMutex = mutex;
  in.lockedSelPrg = locked;
  in.lockedSelPrgId = lockedId;
  in.controlMacType = macType;
  in.modeOverride = mode;
  in.headless = headless;
  return in;
}

TEST(Startup, DecisionTable) {
  struct Case {
    const char* name;
    StartupInputs in;
    bool chooser;
    std::optional<WindowChoice> window;
    int language;
    bool mutex;
    bool error;
  };
  const WindowChoice server{WindowKind::MainWindow, 102, true, OperatingMode::Server};
  const WindowChoice demo{WindowKind::MainWindow, 102, false, OperatingMode::Demo};
  const WindowChoice client{WindowKind::ClientWindow, 173, true, OperatingMode::Client};
  const WindowChoice console175{WindowKind::Console, 175, true, OperatingMode::Control};
  const Case cases[] = {
      {"defaults show the chooser", inputs(0, 1, 0, 2), true, std::nullopt, 0, true, false},
      {"locked demo still shows it", inputs(0, 1, 1, 0), true, std::nullopt, 0, true, false},
      {"locked server", inputs(0, 1, 1, 2), false, server, 0, true, false},
      {"locked 4 is demo", inputs(0, 1, 1, 4), false, demo, 0, true, false},
      {"locked client", inputs(0, 1, 1, 1), false, client, 0, true, false},
      {"lock flag 2 is not 1", inputs(0, 1, 2, 2), true, std::nullopt, 0, true, false},
      {"language 7 is English", inputs(7, 1, 0, 2), true, std::nullopt, 0, true, false},
      {"language -1 is English", inputs(-1, 1, 0, 2), true, std::nullopt, 0, true, false},
      {"language 6", inputs(6, 1, 0, 2), true, std::nullopt, 6, true, false},
      {"mutex 0 off", inputs(0, 0, 0, 2), true, std::nullopt, 0, false, false},
      {"mutex 2 off", inputs(0, 2, 0, 2), true, std::nullopt, 0, false, false},
      {"--mode skips", inputs(0, 1, 0, 2, 2, 3, true), false, console175, 0, true, false},
      {"headless needs a mode", inputs(0, 1, 0, 2, 0, std::nullopt, true), false, std::nullopt, 0, true, true},
      {"headless locked", inputs(0, 1, 1, 2, 0, std::nullopt, true), false, server, 0, true, false},
  };
  for (const auto& c : cases) {
    StartupPlan p = planStartup(c.in);
    EXPECT_EQ(p.showChooser, c.chooser) << c.name;
    EXPECT_EQ(p.window, c.window) << c.name;
    EXPECT_EQ(p.languageId, c.language) << c.name;
    EXPECT_EQ(p.singleInstance, c.mutex) << c.name;
    EXPECT_EQ(!p.error.empty(), c.error) << c.name;
  }
}

TEST(Startup, ConsoleVariants) {
  const std::pair<int, int> cases[] = {{0, 164}, {1, 174}, {2, 175}, {9, 164}};
  for (auto [type, resource] : cases) EXPECT_EQ(windowFor(3, type).resource, resource) << type;
}

TEST(CommandLine, Parsing) {
  auto cl = parseCommandLine({"--home", "/h", "--mode", "server", "--headless"});
  EXPECT_EQ(cl.home, "/h");
  EXPECT_EQ(cl.mode, 2);
  EXPECT_TRUE(cl.headless);
  EXPECT_TRUE(cl.error.empty());
  cl = parseCommandLine({"--home=/h", "dispose", "a.plt", "--out", "/o"});
  EXPECT_EQ(cl.command, (std::vector<std::string>{"dispose", "a.plt", "--out", "/o"}));
  const std::vector<std::vector<std::string>> bad = {
      {"--mode", "fast"}, {"--home"}, {"--frobnicate"}, {"launch"}};
  for (const auto& args : bad) EXPECT_FALSE(parseCommandLine(args).error.empty()) << args[0];
}

struct RunResult {
  int code;
  std::string out, err;
};

RunResult runMain(const std::vector<std::string>& args, const AppHooks& hooks = {}) {
  std::ostringstream out, err;
  int code = plotdeskMain(args, hooks, out, err);
  return {code, out.str(), err.str()};
}

class AppMain : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1); }
  test::TempDir runtime;
  test::TempDir home;
};

TEST_F(AppMain, InitAndConfigCommands) {
  std::string h = home.file("station");
  RunResult r = runMain({"--home", h, "--init"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, h + "/\n");
  EXPECT_TRUE(folderExists(h + "/Watcher_Folder"));
  EXPECT_TRUE(folderExists(h + "/BackupFile_Folder"));

  EXPECT_EQ(runMain({"--home", h, "config", "get", "QR_Split_Page", "Page_Width"}).out, "1200.000000\n");
  ASSERT_TRUE(iniRemoveKey(h + "/QR_DataConfig.ini", "QR_Split_Page", "Page_Width"));
  EXPECT_EQ(runMain({"--home", h, "config", "get", "QR_Split_Page", "Page_Width"}).out, "1500.000000\n");
  EXPECT_EQ(runMain({"--home", h, "config", "set", "QR_OptionSet", "Locked_SelPrgID", "abc"}).code, 0);
  EXPECT_EQ(runMain({"--home", h, "config", "get", "QR_OptionSet", "Locked_SelPrgID"}).out, "0\n");
  ASSERT_TRUE(iniWrite(h + "/QR_DataConfig.ini", "QR_OptionSet", "Locked_SelPrgID", "abc"));
  EXPECT_EQ(runMain({"--home", h, "config", "get", "qr_optionset", "locked_selprgid"}).out, "0\n");
  EXPECT_EQ(runMain({"--home", h, "config", "set", "QR_OptionSet", "Watcher_Filter", std::string(300, 'f')}).code, 0);
  EXPECT_EQ(runMain({"--home", h, "config", "get", "QR_OptionSet", "Watcher_Filter"}).out, std::string(259, 'f') + "\n");
  EXPECT_EQ(runMain({"--home", h, "config", "set", "QR_Split_Page", "Page_Length", "1750.5mm"}).code, 0);
  EXPECT_EQ(SettingsStore(h).Page_Length(), 1750.5);

  RunResult unknown = runMain({"--home", h, "config", "get", "QR_Main", "Nope"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("Nope"), std::string::npos);
  EXPECT_EQ(runMain({"--home", h, "config", "get", "QR_Split_Page", "Need_ExtraPage"}).code, 2);
  EXPECT_EQ(runMain({"--home", h, "config", "frob"}).code, 2);
  RunResult list = runMain({"--home", h, "config", "list"});
  EXPECT_NE(list.out.find("[QR_Main] Watcher_Dir=" + h + "/Watcher_Folder\n"), std::string::npos);
  EXPECT_NE(list.out.find("[QR_ReceiptSet] AxisXAvoidance=2000.000000\n"), std::string::npos);
}

TEST_F(AppMain, HeadlessStartUpPaths) {
  std::string h = home.path();
  RunResult noMode = runMain({"--home", h, "--headless"});
  EXPECT_EQ(noMode.code, 2);
  EXPECT_NE(noMode.err.find("--mode"), std::string::npos);
  RunResult unavailable = runMain({"--home", h, "--headless", "--mode", "client"});
  EXPECT_EQ(unavailable.code, 3);
  EXPECT_NE(unavailable.err.find("Client window"), std::string::npos);

  AppHooks hooks;
  WindowChoice seen;
  hooks.runWindow = [&](const WindowChoice& c, bool headless, const std::string&) {
    seen = c;
    EXPECT_TRUE(headless);
    EXPECT_EQ(liveMode(), c.live);
    return 0;
  };
  EXPECT_EQ(runMain({"--home", h, "--headless", "--mode", "demo"}, hooks).code, 0);
  EXPECT_EQ(seen.mode, OperatingMode::Demo);
  EXPECT_EQ(SettingsStore(h).Locked_SelPrgID(), 2);  // --mode stores nothing
}

TEST_F(AppMain, ChooserDecidesTheWindow) {
  std::string h = home.path();
  AppHooks hooks;
  int windows = 0;
  hooks.runWindow = [&](const WindowChoice& c, bool, const std::string&) {
    ++windows;
    EXPECT_EQ(c.mode, OperatingMode::Server);
    return 0;
  };
  hooks.runChooser = [](const std::string&) -> std::optional<int> { return std::nullopt; };
  EXPECT_EQ(runMain({"--home", h}, hooks).code, 0);
  EXPECT_EQ(windows, 0);  // "Close" ends the program
  hooks.runChooser = [](const std::string&) -> std::optional<int> { return 2; };
  EXPECT_EQ(runMain({"--home", h}, hooks).code, 0);
  EXPECT_EQ(windows, 1);
}

TEST_F(AppMain, SecondInstanceIsRefusedLoudly) {
  std::string h = home.path();
  SingleInstance first;
  ASSERT_TRUE(*first.acquire("plotdesk"));
  RunResult second = runMain({"--home", h, "--headless", "--mode", "server"});
  EXPECT_EQ(second.code, 1);
  EXPECT_NE(second.err.find("another instance"), std::string::npos);
  ASSERT_TRUE(SettingsStore(h).set_SoftwareMutex(0));
  EXPECT_EQ(runMain({"--home", h, "--headless", "--mode", "server"}).code, 3);  // passes the check
}

TEST_F(AppMain, MissingTranslationFallsBackWithOneWarning) {
  std::string h = home.path();
  ASSERT_TRUE(SettingsStore(h).set_Program_LanguageID(5));
  setenv("PLOTDESK_DATA_DIR", home.file("nodata").c_str(), 1);
  RunResult r = runMain({"--home", h, "--headless", "--mode", "server"});
  unsetenv("PLOTDESK_DATA_DIR");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("QKPlotmover_Slovenia.ini"), std::string::npos);
}

}  // namespace
}  // namespace plotdesk
