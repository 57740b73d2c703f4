#pragma once
// The start-up decision as a pure function of the settings and the command line.
#include <optional>
#include <string>

#include "ui/mode_chooser.h"

namespace plotdesk {

enum class WindowKind { MainWindow, ClientWindow, Console };

struct WindowChoice {
  WindowKind kind = WindowKind::MainWindow;
  int resource = 102;  // dialog resource: 102 main, 173 client, 164/174/175 consoles
  bool live = false;   // live mode flag
  OperatingMode mode = OperatingMode::Demo;
  bool operator==(const WindowChoice&) const = default;
};

struct StartupInputs {
  int languageId = 0;
  int softwareMutex = 1;
  int lockedSelPrg = 0;
  int lockedSelPrgId = 2;
  int controlMacType = 0;
  std::optional<int> modeOverride;  // --mode: skips the chooser, writes nothing
  bool headless = false;
};

struct StartupPlan {
  bool singleInstance = false;
  int languageId = 0;                  // 0 English, 1-6 the translations
  bool showChooser = false;
  std::optional<WindowChoice> window;  // set when no chooser is shown
  std::string error;                   // the start cannot go on (exit 2)
};

StartupPlan planStartup(const StartupInputs& in);
// The window for an operating mode; unlisted modes are Demo.
WindowChoice windowFor(int mode, int controlMacType);
const char* modeName(OperatingMode mode);
std::optional<int> parseModeName(const std::string& name);

// Process-wide live mode flag: set in Client, Server and Control, clear in Demo.
bool liveMode();
void setLiveMode(bool live);

}  // namespace plotdesk
