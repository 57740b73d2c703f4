#pragma once
// Watching by comparing listings, for file systems whose changes made by
// other machines never reach inotify (CIFS/SMB, NFS).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "watcher/change_handler.h"

namespace plotdesk {

struct EntryState {
  bool isFolder = false;
  uint64_t inode = 0;
  long long size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const EntryState&) const = default;
};

// Keys are paths relative to the watched folder: "/a.plt", "/sub/b.plt".
using FolderSnapshot = std::map<std::string, EntryState>;

// nullopt when the folder itself cannot be read; unreadable sub-folders are
// taken as empty.
std::optional<FolderSnapshot> takeSnapshot(const std::string& folder, bool subFolders);

// The changes that lead from `before` to `after`, as full paths under
// `folder`: removals, then renames (same inode under a new name), then
// additions, then modifications. Entries below a renamed folder are
// covered by the folder's rename.
std::vector<ChangeNotice> diffSnapshots(const std::string& folder, const FolderSnapshot& before,
                                        const FolderSnapshot& after, unsigned notifyFilter);

// True when `folder` lies on a network file system whose remote changes
// inotify cannot see.
bool isNetworkFileSystem(const std::string& folder);

}  // namespace plotdesk
