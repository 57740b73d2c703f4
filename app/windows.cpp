#include "app/windows.h"

#include "app/station.h"

#include <cstdlib>
#include <iostream>

#ifdef PLOTDESK_HAVE_LINKS
#include "links/send_command.h"
#endif
#ifdef PLOTDESK_HAVE_ENGINE
#include "engine/dispose_command.h"
#endif
#ifdef PLOTDESK_HAVE_QT
#include <QApplication>

#include "app/station_qt.h"
#include "ui/qt/mode_chooser_widget.h"
#endif

namespace plotdesk {

namespace {
#ifdef PLOTDESK_HAVE_QT
bool displayAvailable() {
  auto set = [](const char* n) {
    const char* v = std::getenv(n);
    return v && *v;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

QApplication& application(int& argc, char** argv) {
  static QApplication* app = nullptr;
  if (!app) app = new QApplication(argc, argv);
  return *app;
}
#endif
}  // namespace

AppHooks makeAppHooks([[maybe_unused]] int& argc, [[maybe_unused]] char** argv) {
  AppHooks hooks;
#ifdef PLOTDESK_HAVE_QT
  if (displayAvailable()) {
    hooks.runChooser = [&argc, argv](const std::string& home) -> std::optional<int> {
      application(argc, argv);
      SettingsStore store(home);
      return runModeChooser(store);
    };
  }
#endif
#ifdef PLOTDESK_HAVE_LINKS
  hooks.send = [](const std::vector<std::string>& a, const std::string& home, std::ostream& out, std::ostream& err) {
    return runSendCommand(a, home, out, err);
  };
#endif
#ifdef PLOTDESK_HAVE_ENGINE
  hooks.dispose = [](const std::vector<std::string>& a, const std::string& home, std::ostream& out,
                     std::ostream& err) { return runDisposeCommand(a, home, out, err); };
#endif
  hooks.runWindow = [&argc, argv](const WindowChoice& choice, bool headless, const std::string& home) {
    if (choice.kind != WindowKind::MainWindow) return runWindowUnavailable(choice, std::cerr);
    if (headless) return runStationHeadless(choice, home, std::cout, std::cerr);
#ifdef PLOTDESK_HAVE_QT
    if (displayAvailable()) {
      application(argc, argv);
      return runStationWindowQt(choice, home);
    }
#endif
    std::cerr << "plotdesk: no display; run with --headless to use the console\n";
    return 2;
  };
  return hooks;
}

}  // namespace plotdesk
