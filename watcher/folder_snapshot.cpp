#include "watcher/folder_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "platform/files.h"

namespace plotdesk {
namespace {

void scanInto(const std::string& folder, const std::string& prefix, bool subFolders, FolderSnapshot& out) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  std::vector<std::string> folders;
  while (dirent* e = ::readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    struct stat st{};
    if (::fstatat(::dirfd(d), e->d_name, &st, 0) != 0) continue;  // vanished meanwhile
    EntryState s;
    s.isFolder = S_ISDIR(st.st_mode);
    s.inode = st.st_ino;
    s.size = s.isFolder ? 0 : static_cast<long long>(st.st_size);
    s.mtimeNs = s.isFolder ? 0 : static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    std::string rel = prefix + "/" + e->d_name;
    if (s.isFolder && subFolders) folders.push_back(e->d_name);
    out.emplace(std::move(rel), s);
  }
  ::closedir(d);
  for (const auto& name : folders) scanInto(joinPath(folder, name), prefix + "/" + name, true, out);
}

bool under(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

std::optional<FolderSnapshot> takeSnapshot(const std::string& folder, bool subFolders) {
  if (!folderExists(folder)) return std::nullopt;
  FolderSnapshot out;
  scanInto(folder, "", subFolders, out);
  return out;
}

std::vector<ChangeNotice> diffSnapshots(const std::string& folder, const FolderSnapshot& before,
                                        const FolderSnapshot& after, unsigned notifyFilter) {
  auto full = [&](const std::string& rel) { return joinPath(folder, rel); };
  auto reports = [&](bool isFolder) {
    return (notifyFilter & (isFolder ? notify::DirName : notify::FileName)) != 0;
  };
  std::vector<std::string> gone, fresh;
  for (const auto& [rel, s] : before) {
    if (!after.count(rel)) gone.push_back(rel);
  }
  for (const auto& [rel, s] : after) {
    if (!before.count(rel)) fresh.push_back(rel);
  }
  // Pair vanished and new names that share an inode: those are renames.
  std::map<uint64_t, std::string> freshByInode;
  for (const auto& rel : fresh) freshByInode.emplace(after.at(rel).inode, rel);
  std::vector<std::pair<std::string, std::string>> renames;
  std::set<std::string> renamedFrom, renamedTo;
  for (const auto& rel : gone) {
    auto it = freshByInode.find(before.at(rel).inode);
    if (it == freshByInode.end() || after.at(it->second).isFolder != before.at(rel).isFolder) continue;
    if (renamedTo.count(it->second)) continue;
    renames.emplace_back(rel, it->second);
    renamedFrom.insert(rel);
    renamedTo.insert(it->second);
  }
  // Entries that only moved along with a renamed folder are not reported again.
  std::vector<std::pair<std::string, std::string>> folderRenames;
  for (const auto& [from, to] : renames) {
    if (before.at(from).isFolder) folderRenames.emplace_back(from, to);
  }
  std::set<std::string> carried, carriedTo;
  for (const auto& [from, to] : renames) {
    for (const auto& [dirFrom, dirTo] : folderRenames) {
      if (under(from, dirFrom) && to == dirTo + from.substr(dirFrom.size())) {
        carried.insert(from);
        carriedTo.insert(to);
      }
    }
  }

  std::vector<ChangeNotice> out;
  for (const auto& rel : gone) {
    if (renamedFrom.count(rel)) continue;
    if (reports(before.at(rel).isFolder)) out.push_back({ChangeKind::Removed, full(rel), {}, 0, 0});
  }
  for (const auto& [from, to] : renames) {
    if (carried.count(from)) continue;
    if (reports(before.at(from).isFolder)) out.push_back({ChangeKind::NameChanged, full(from), full(to), 0, 0});
  }
  for (const auto& rel : fresh) {
    if (renamedTo.count(rel) || carriedTo.count(rel)) continue;
    if (reports(after.at(rel).isFolder)) out.push_back({ChangeKind::Added, full(rel), {}, 0, 0});
  }
  if (notifyFilter & (notify::Size | notify::LastWrite)) {
    for (const auto& [rel, s] : after) {
      auto it = before.find(rel);
      if (it != before.end() && !s.isFolder && !(it->second == s)) {
        out.push_back({ChangeKind::Modified, full(rel), {}, 0, 0});
      }
    }
  }
  return out;
}

bool isNetworkFileSystem(const std::string& folder) {
  struct statfs fs{};
  if (::statfs(folder.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x517BUL:      // SMB
    case 0x6969UL:      // NFS
    case 0x564C:        // NCP
    case 0x5346414FUL:  // AFS
    case 0x73757245UL:  // CODA
      return true;
    default:
      return false;
  }
}

}  // namespace plotdesk
