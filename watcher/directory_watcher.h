#pragma once
// Watches folders for files appearing, vanishing, changing and being
// renamed, and reports each change to a handler on the event loop's thread.
//
// One watcher owns one inotify descriptor and one thread. inotify cannot see
// what other machines write into a network share, so a folder on CIFS/SMB or
// NFS (or any folder, when asked) is watched by comparing listings about once
// a second instead; the handler sees the same kinds of change either way.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "watcher/change_handler.h"

namespace plotdesk {

enum class WatchMode {
  Automatic,  // poll network file systems, use inotify elsewhere
  Notify,     // always inotify
  Poll,       // always poll
};

// Error codes of `watch`; other non-zero codes are errno values.
namespace watch_error {
inline constexpr int InvalidParameter = 87;  // empty folder, no notify filter or no handler
inline constexpr int BadPathName = 161;      // not an existing folder
inline constexpr int NoMoreThreads = 164;    // the watcher thread could not start
}  // namespace watch_error

struct WatchStatus {
  int code = 0;
  std::string message;
  bool ok() const { return code == 0; }
};

class DirectoryWatcher {
 public:
  static constexpr std::chrono::milliseconds kPollPeriod{1000};

  explicit DirectoryWatcher(EventLoop& loop, Clock& clock = realClock(),
                            int filterFlags = filter_flag::Default);
  ~DirectoryWatcher();  // stops every watch
  DirectoryWatcher(const DirectoryWatcher&) = delete;
  DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

  // Starts watching `folder` (replacing an existing watch of it). `include`
  // and `exclude` are ';'-separated wildcard patterns; empty means no list.
  WatchStatus watch(const std::string& folder, unsigned notifyFilter, std::shared_ptr<ChangeHandler> handler,
                    bool subFolders, std::string_view include = {}, std::string_view exclude = {});
  // Stops a watch. No change of that folder reaches its handler afterwards;
  // the stopped notice (unless suppressed) follows through the event loop.
  bool unwatch(const std::string& folder);
  void unwatchAll();
  bool isWatching(const std::string& folder) const;
  bool isPolling(const std::string& folder) const;
  // Both apply to watches started afterwards; each returns the previous value.
  int setFilterFlags(int flags);
  WatchMode setMode(WatchMode mode);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plotdesk
