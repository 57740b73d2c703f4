#pragma once
// Runs the Server/Demo main window: headless on the console, or in Qt.
#include <ostream>
#include <string>

#include "app/startup.h"

namespace plotdesk {

// Runs until SIGINT/SIGTERM (or Quit); returns the exit code.
int runStationHeadless(const WindowChoice& choice, const std::string& programFolder, std::ostream& out,
                       std::ostream& err);

}  // namespace plotdesk
