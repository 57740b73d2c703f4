#pragma once
// The dispose engine as the job pipeline and the command line see it.
//
//   DisposeSettings s = readDisposeSettings(SettingsStore(folder));   // once per job
//   auto engine = makeDisposeEngine(s);          // fails for an engine that is not available
//   CollectingOwner owner;                        // or the pipeline's own DisposeOwner
//   Status st = (*engine)->dispose({source, disposeFolder, timestamp}, owner);
//
// On success the owner has received one item per written page file,
// "full path;size text", in page order. On failure nothing was appended, no
// page file of this job is left behind and the source is untouched, so the
// caller may keep or retry the source. One engine serves one job.
#include <memory>
#include <string>
#include <vector>

#include "engine/dispose_settings.h"
#include "platform/result.h"

namespace plotdesk::engine {

// What a dispose reports to whoever runs it. Calls come on the thread that
// runs dispose().
class DisposeOwner {
 public:
  virtual ~DisposeOwner() = default;
  // Reading progress in percent, at most about once per percent.
  virtual void disposeProgress(int percent) { (void)percent; }
  // Polled while reading and between pages; true stops the job as failed.
  virtual bool disposeCancelled() const { return false; }
  // One disposed output list item: "full output path;size text".
  virtual void appendDisposedOutput(const std::string& item) = 0;
};

// An owner without progress display or cancel that keeps the items; serves
// console jobs, the command line and tests.
class CollectingOwner final : public DisposeOwner {
 public:
  void appendDisposedOutput(const std::string& item) override { outputs.push_back(item); }
  std::vector<std::string> outputs;
};

struct DisposeJob {
  std::string source;        // plot file to dispose
  std::string outputFolder;  // where the page files go (the dispose folder)
  std::string timestamp;     // timestamp name used in the output names
};

class DisposeEngine {
 public:
  virtual ~DisposeEngine() = default;
  virtual Status dispose(const DisposeJob& job, DisposeOwner& owner) = 0;
};

// The engine for the stored alignment type: 1, 2 and 3 give the plot
// disposer; 0 selects the legacy engine, which is not available yet.
Result<std::unique_ptr<DisposeEngine>> makeDisposeEngine(const DisposeSettings& settings);

// Output file name for page index `page` (0-based):
// folder/base_timestamp_NNN.ext. The base name is cut to 50 bytes when the
// source has an extension, and further so that the name fits in 255 bytes;
// cuts never split a UTF-8 character.
Result<std::string> outputPath(const std::string& folder, const std::string& source, const std::string& timestamp,
                               int page);

}  // namespace plotdesk::engine
