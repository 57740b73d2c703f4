#pragma once
// The program's start-up, independent of the window toolkit: the toolkit
// pieces come in through AppHooks so the flow runs and is tested headless.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/startup.h"

namespace plotdesk {

struct AppHooks {
  // Shows the mode chooser; returns the chosen mode, or nothing for "Close".
  // Empty when this build has no display toolkit.
  std::function<std::optional<int>(const std::string& programFolder)> runChooser;
  // Runs the window for `choice` until it closes; returns the exit code.
  std::function<int(const WindowChoice& choice, bool headless, const std::string& programFolder)> runWindow;
  // Sub-commands provided by other parts of the program (empty: not available).
  std::function<int(const std::vector<std::string>&, const std::string&, std::ostream&, std::ostream&)> dispose;
  std::function<int(const std::vector<std::string>&, const std::string&, std::ostream&, std::ostream&)> send;
};

int plotdeskMain(const std::vector<std::string>& args, const AppHooks& hooks, std::ostream& out,
                 std::ostream& err);

// The default window runner: the windows this build has, or exit 3 naming the missing one.
int runWindowUnavailable(const WindowChoice& choice, std::ostream& err);

}  // namespace plotdesk
