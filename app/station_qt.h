#pragma once
#include <string>

#include "app/startup.h"

namespace plotdesk {
// The Server/Demo main window in Qt; the QApplication must exist.
int runStationWindowQt(const WindowChoice& choice, const std::string& programFolder);
}  // namespace plotdesk
