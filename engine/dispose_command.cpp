#include "engine/dispose_command.h"

#include "config/settings_store.h"
#include "engine/dispose_engine.h"
#include "engine/file_code_converter.h"
#include "platform/files.h"

namespace plotdesk {

int runDisposeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                      std::ostream& err) {
  return runDisposeCommand(args, programFolder, out, err, realClock());
}

int runDisposeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                      std::ostream& err, Clock& clock) {
  std::vector<std::string> sources;
  std::string outFolder;
  std::string timestamp;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--out" || a == "--timestamp") && i + 1 < args.size() && !args[i + 1].empty()) {
      (a == "--out" ? outFolder : timestamp) = args[++i];
    } else if (!a.empty() && a.rfind("--", 0) != 0) {
      sources.push_back(a);
    } else {
      sources.clear();
      break;
    }
  }
  if (sources.empty()) {
    err << "usage: plotdesk [--home DIR] dispose SRC... [--out DIR] [--timestamp NAME]\n";
    return 2;
  }
  if (outFolder.empty()) outFolder = programFolder + "DisposeFile_Folder";
  if (Status st = createFolder(outFolder); !st) {
    err << "plotdesk: cannot create the output folder: " << st.error() << "\n";
    return 1;
  }

  int result = 0;
  for (const std::string& source : sources) {
    // Every source gets a fresh settings snapshot, as every pipeline job does.
    SettingsStore store(programFolder);
    if (!fileExists(source)) {
      err << source << ": File don't exist.\n";
      result = 1;
      continue;
    }
    if (store.FileCode_Conv() == 1) {
      engine::FileCodeConverter converter(source, source, store.System_CodePage(), clock);
      if (Status st = converter.convert(); !st) {
        err << source << ": File Conversion Fail. (" << st.error() << ")\n";
        result = 1;
        continue;
      }
    }
    const std::string stamp = timestamp.empty() ? timestampName(clock.localNow()) : timestamp;
    auto engine = engine::makeDisposeEngine(engine::readDisposeSettings(store));
    engine::CollectingOwner owner;
    Status st = engine ? (*engine)->dispose({source, outFolder, stamp}, owner) : Status(fail(engine.error()));
    if (!st) {
      err << source << ": File Dispose fail. (" << st.error() << ")\n";
      result = 1;
      continue;
    }
    for (const std::string& item : owner.outputs) out << item << "\n";
  }
  return result;
}

}  // namespace plotdesk
