#include "app/app_main.h"

#include "app/command_line.h"
#include "app/config_command.h"
#include "config/settings_store.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/single_instance.h"
#include "ui/mode_chooser.h"
#include "ui/strings.h"

namespace plotdesk {

namespace {
const char* windowName(const WindowChoice& c) {
  switch (c.kind) {
    case WindowKind::ClientWindow: return "Client window";
    case WindowKind::Console: return "machine control console";
    case WindowKind::MainWindow: break;
  }
  return c.live ? "Server window" : "Demo window";
}
}  // namespace

int runWindowUnavailable(const WindowChoice& choice, std::ostream& err) {
  err << "plotdesk: the " << windowName(choice) << " (mode " << modeName(choice.mode)
      << ") is not available in this build\n";
  return 3;
}

int plotdeskMain(const std::vector<std::string>& args, const AppHooks& hooks, std::ostream& out,
                 std::ostream& err) {
  CommandLine cl = parseCommandLine(args);
  if (!cl.error.empty()) {
    err << "plotdesk: " << cl.error << "\n" << usageText();
    return 2;
  }
  if (cl.help) {
    out << usageText();
    return 0;
  }
  if (cl.version) {
    out << "plotdesk" << programVersionText() << "\n";
    return 0;
  }

  auto folder = prepareProgramFolder(cl.home);
  if (!folder) {
    err << "plotdesk: cannot prepare the program folder: " << folder.error() << "\n";
    return 1;
  }
  const std::string home = *folder;
  SettingsStore::setDefaultProgramFolder(home);

  if (cl.init) {
    SettingsStore store(home);
    if (!fileExists(store.path(SettingsFile::PRG)) || !fileExists(store.path(SettingsFile::DATA))) {
      err << "plotdesk: cannot create the settings files in " << home << "\n";
      return 1;
    }
    for (const char* sub : {"Watcher_Folder", "BackupFile_Folder"}) (void)createFolder(home + sub);
    out << home << "\n";
    return 0;
  }

  if (!cl.command.empty()) {
    std::vector<std::string> rest(cl.command.begin() + 1, cl.command.end());
    const std::string& c = cl.command[0];
    if (c == "config") return runConfigCommand(rest, home, out, err);
    const auto& fn = c == "dispose" ? hooks.dispose : hooks.send;
    if (!fn) {
      err << "plotdesk: the '" << c << "' command is not available in this build\n";
      return 3;
    }
    return fn(rest, home, out, err);
  }

  // Start-up proper.
  setLiveMode(false);
  StartupInputs in;
  {
    SettingsStore store(home);
    in.languageId = store.Program_LanguageID();
    in.softwareMutex = store.SoftwareMutex();
    in.lockedSelPrg = store.Locked_SelPrg();
    in.lockedSelPrgId = store.Locked_SelPrgID();
    in.controlMacType = store.ControlMacType();
  }
  in.modeOverride = cl.mode;
  in.headless = cl.headless;
  StartupPlan plan = planStartup(in);

  SingleInstance instance;  // held while the window runs, i.e. for the life of the process
  if (plan.singleInstance) {
    auto got = instance.acquire("plotdesk");
    if (!got) {
      err << "plotdesk: " << got.error() << "\n";
      return 1;
    }
    if (!*got) {
      err << "plotdesk: another instance is already running (set SoftwareMutex to 0 to allow several)\n";
      return 1;
    }
  }

  if (plan.languageId != 0) {
    std::string file = findDataFile(home, "lang/" + languageFileName(plan.languageId));
    strings().load(plan.languageId, std::string(folderPart(file)), err);
  }

  if (!plan.error.empty()) {
    err << "plotdesk: " << plan.error << "\n";
    return 2;
  }
  WindowChoice choice;
  if (plan.showChooser) {
    if (!hooks.runChooser) {
      err << "plotdesk: this build has no display; pass --headless --mode server|client|control|demo\n";
      return 2;
    }
    auto mode = hooks.runChooser(home);
    if (!mode) return 0;  // "Close"
    SettingsStore store(home);
    choice = windowFor(*mode, store.ControlMacType());
  } else {
    choice = *plan.window;
  }
  setLiveMode(choice.live);
  if (!hooks.runWindow) return runWindowUnavailable(choice, err);
  return hooks.runWindow(choice, cl.headless, home);
}

}  // namespace plotdesk
