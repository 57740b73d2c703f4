#pragma once
// Where plotdesk keeps its settings and job folders, and where its read-only
// data (stroke font, translations) is installed.
#include <optional>
#include <string>

#include "platform/result.h"

namespace plotdesk {

// --home DIR, else $PLOTDESK_HOME, else $XDG_DATA_HOME/plotdesk, else
// ~/.local/share/plotdesk. The result ends with '/'. Nothing is created.
std::string resolveProgramFolder(const std::optional<std::string>& home);
// Resolves and creates the folder.
Result<std::string> prepareProgramFolder(const std::optional<std::string>& home);

// The folder of read-only data: $PLOTDESK_DATA_DIR, else the install prefix's
// share/plotdesk, else the source tree's data/. Ends with '/'.
std::string dataFolder();
// A data file looked up in the program folder first, then in dataFolder().
std::string findDataFile(const std::string& programFolder, const std::string& relative);

}  // namespace plotdesk
