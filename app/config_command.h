#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace plotdesk {

// "config get SECTION KEY", "config set SECTION KEY VALUE", "config list".
// Returns the exit code: 0 done, 2 usage error or unknown key.
int runConfigCommand(const std::vector<std::string>& args, const std::string& programFolder,
                     std::ostream& out, std::ostream& err);

}  // namespace plotdesk
