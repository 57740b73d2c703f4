#pragma once
// Turning raw inotify records into change notices. Kept free of system calls
// so batches can be fed in by hand.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "watcher/change_handler.h"

namespace plotdesk {

struct InotifyRecord {
  int wd = -1;
  uint32_t mask = 0;
  uint32_t cookie = 0;
  std::string name;
};

// Splits the bytes of one read(2) from an inotify descriptor into records.
std::vector<InotifyRecord> parseInotifyBuffer(std::string_view bytes);

// What the translator knows about one inotify watch descriptor.
struct WatchedFolderInfo {
  int rootId = 0;             // which watched folder this descriptor belongs to
  std::string path;           // full path of the folder the descriptor watches
  bool isRoot = false;        // the watched folder itself, not a sub-folder
  bool subFolders = false;    // the watched folder includes its sub-folders
  unsigned notifyFilter = notify::All;
};

// The side that owns the descriptors; the translator calls it in record
// order, so a renamed folder is renamed before its later records are read.
class WatchTree {
 public:
  virtual ~WatchTree() = default;
  virtual const WatchedFolderInfo* find(int wd) = 0;
  // A folder appeared inside a watched tree: watch it and report what is already in it.
  virtual void addTree(int rootId, const std::string& path) = 0;
  // A folder left the watched tree: stop watching it and everything below.
  virtual void dropTree(int rootId, const std::string& path) = 0;
  // A folder was renamed inside the tree: descriptors keep working under the new name.
  virtual void renameTree(int rootId, const std::string& from, const std::string& to) = 0;
  virtual void forget(int wd) = 0;                  // the system dropped a sub-folder watch
  virtual void rootGone(int rootId, int error) = 0;  // the watched folder itself went away
  virtual void rescanAll() = 0;                      // events were lost
  virtual void emit(int rootId, ChangeNotice notice) = 0;
};

// The inotify mask that serves a notify filter.
uint32_t inotifyMaskFor(unsigned notifyFilter);

class InotifyTranslator {
 public:
  void translate(const std::vector<InotifyRecord>& batch, WatchTree& tree);
  // A moved-from record waits for its moved-to partner, which may come in
  // the next read. When none comes, the entry has left the watched tree.
  bool hasPendingMove() const { return pending_.has_value(); }
  void flushPendingMove(WatchTree& tree);

 private:
  struct PendingMove {
    uint32_t cookie;
    int rootId;
    std::string path;
    bool isFolder;
    unsigned notifyFilter;
  };
  void emitName(WatchTree& tree, int rootId, unsigned filter, bool isFolder, ChangeNotice notice);
  std::optional<PendingMove> pending_;
  std::string lastModified_;
};

}  // namespace plotdesk
