#include "app/command_line.h"

#include "app/startup.h"

namespace plotdesk {

const char* usageText() {
  return "Usage:\n"
         "  plotdesk [--home DIR] [--mode server|client|control|demo] [--headless]\n"
         "      Start the station. --mode skips the mode chooser for this run and stores\n"
         "      nothing; --headless runs without a display (mode from --mode, else the\n"
         "      stored mode when the chooser is locked off).\n"
         "  plotdesk --home DIR --init\n"
         "      Create the program folder and its settings files, print the folder.\n"
         "  plotdesk --home DIR config get SECTION KEY\n"
         "  plotdesk --home DIR config set SECTION KEY VALUE\n"
         "  plotdesk --home DIR config list\n"
         "      Read or write one setting, or list them all as [Section] Key=value.\n"
         "  plotdesk --home DIR dispose SRC... [--out DIR] [--timestamp NAME]\n"
         "      Dispose plot files as the job pipeline would; prints one line per output.\n"
         "  plotdesk --home DIR send FILE\n"
         "      Send one file over the configured machine link.\n"
         "  plotdesk --version | --help\n"
         "\n"
         "The program folder is --home DIR, else $PLOTDESK_HOME, else\n"
         "$XDG_DATA_HOME/plotdesk (~/.local/share/plotdesk).\n"
         "Exit codes: 0 success, 1 failure or another instance running, 2 usage error,\n"
         "3 the chosen window is not available in this build.\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        cl.error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--home") {
      if (auto v = value("--home")) cl.home = *v;
    } else if (a.rfind("--home=", 0) == 0) {
      cl.home = a.substr(7);
    } else if (a == "--mode" || a.rfind("--mode=", 0) == 0) {
      std::optional<std::string> v = a == "--mode" ? value("--mode") : std::optional(a.substr(7));
      if (v) {
        cl.mode = parseModeName(*v);
        if (!cl.mode) cl.error = "unknown mode '" + *v + "' (use server, client, control or demo)";
      }
    } else if (a == "--headless") {
      cl.headless = true;
    } else if (a == "--init") {
      cl.init = true;
    } else if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--version") {
      cl.version = true;
    } else if (!a.empty() && a[0] == '-') {
      cl.error = "unknown option '" + a + "'";
    } else {
      cl.command.assign(args.begin() + static_cast<long>(i), args.end());
      break;
    }
    if (!cl.error.empty()) break;
  }
  if (cl.error.empty() && !cl.command.empty()) {
    const std::string& c = cl.command[0];
    if (c != "config" && c != "dispose" && c != "send") cl.error = "unknown command '" + c + "'";
  }
  return cl;
}

}  // namespace plotdesk
