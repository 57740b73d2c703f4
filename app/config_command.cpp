#include "app/config_command.h"

#include "config/settings_store.h"

namespace plotdesk {

int runConfigCommand(const std::vector<std::string>& args, const std::string& programFolder,
                     std::ostream& out, std::ostream& err) {
  SettingsStore store(programFolder);
  const std::string verb = args.empty() ? "" : args[0];
  if (verb == "list" && args.size() == 1) {
    for (const auto& k : settingsKeys()) {
      if (!k.hasGetter) continue;
      out << "[" << k.section << "] " << k.key << "=" << store.readFormatted(k) << "\n";
    }
    return 0;
  }
  if ((verb == "get" && args.size() == 3) || (verb == "set" && args.size() == 4)) {
    const KeyInfo* key = findKey(args[1], args[2]);
    if (!key) {
      err << "plotdesk: unknown setting [" << args[1] << "] " << args[2] << "\n";
      return 2;
    }
    if (verb == "get") {
      if (!key->hasGetter) {
        err << "plotdesk: setting [" << key->section << "] " << key->key
            << " is written when the settings are created and never read\n";
        return 2;
      }
      out << store.readFormatted(*key) << "\n";
      return 0;
    }
    if (!key->hasSetter) {
      err << "plotdesk: setting [" << key->section << "] " << key->key << " cannot be written\n";
      return 2;
    }
    if (Status s = store.writeParsed(*key, args[3]); !s) {
      err << "plotdesk: cannot write [" << key->section << "] " << key->key << ": " << s.error() << "\n";
      return 1;
    }
    return 0;
  }
  err << "plotdesk: usage: config get SECTION KEY | config set SECTION KEY VALUE | config list\n";
  return 2;
}

}  // namespace plotdesk
