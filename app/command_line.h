#pragma once
// Command-line words of plotdesk.
#include <optional>
#include <string>
#include <vector>

namespace plotdesk {

struct CommandLine {
  std::optional<std::string> home;
  std::optional<int> mode;
  bool headless = false;
  bool init = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> command;  // "config ...", "dispose ...", "send ..."
  std::string error;                 // usage error (exit 2)
};

CommandLine parseCommandLine(const std::vector<std::string>& args);  // args without argv[0]
const char* usageText();

}  // namespace plotdesk
