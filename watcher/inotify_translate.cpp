#include "watcher/inotify_translate.h"

#include <sys/inotify.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace plotdesk {

std::vector<InotifyRecord> parseInotifyBuffer(std::string_view bytes) {
  std::vector<InotifyRecord> out;
  size_t pos = 0;
  while (pos + sizeof(inotify_event) <= bytes.size()) {
    inotify_event ev;
    std::memcpy(&ev, bytes.data() + pos, sizeof ev);
    size_t next = pos + sizeof(inotify_event) + ev.len;
    if (next > bytes.size()) break;  // a torn record; the kernel never sends one
    InotifyRecord rec{ev.wd, ev.mask, ev.cookie, {}};
    if (ev.len > 0) {
      const char* name = bytes.data() + pos + sizeof(inotify_event);
      rec.name.assign(name, strnlen(name, ev.len));
    }
    out.push_back(std::move(rec));
    pos = next;
  }
  return out;
}

uint32_t inotifyMaskFor(unsigned filter) {
  // Name events are always needed to keep the tree of watches right; the
  // notify filter decides what is reported. Reading a file (last access) is
  // not watched: it changes nothing and our own reads would flood the queue.
  uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                  IN_MOVE_SELF | IN_ONLYDIR;
  if (filter & (notify::Size | notify::LastWrite)) mask |= IN_MODIFY;
  if (filter & (notify::Attributes | notify::Security | notify::LastWrite)) mask |= IN_ATTRIB;
  return mask;
}

namespace {
bool reportsNames(unsigned filter, bool isFolder) {
  return (filter & (isFolder ? notify::DirName : notify::FileName)) != 0;
}
}  // namespace

void InotifyTranslator::emitName(WatchTree& tree, int rootId, unsigned filter, bool isFolder,
                                 ChangeNotice notice) {
  lastModified_.clear();
  if (reportsNames(filter, isFolder)) tree.emit(rootId, std::move(notice));
}

void InotifyTranslator::flushPendingMove(WatchTree& tree) {
  if (!pending_) return;
  PendingMove p = std::move(*pending_);
  pending_.reset();
  emitName(tree, p.rootId, p.notifyFilter, p.isFolder, {ChangeKind::Removed, p.path, {}, 0, 0});
  if (p.isFolder) tree.dropTree(p.rootId, p.path);
}

void InotifyTranslator::translate(const std::vector<InotifyRecord>& batch, WatchTree& tree) {
  lastModified_.clear();
  for (const InotifyRecord& rec : batch) {
    if (rec.mask & IN_Q_OVERFLOW) {
      // The pairing state is unreliable after lost events; the rescan reports
      // whatever is there now.
      flushPendingMove(tree);
      tree.rescanAll();
      continue;
    }
    const WatchedFolderInfo* info = tree.find(rec.wd);
    if (!info) continue;  // a descriptor we already let go
    if (rec.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
      if (info->isRoot) {
        flushPendingMove(tree);
        tree.rootGone(info->rootId, (rec.mask & IN_UNMOUNT) ? ENODEV : ENOENT);
      } else if (rec.mask & IN_IGNORED) {
        tree.forget(rec.wd);
      }
      // A sub-folder moving or going away is reported through its parent.
      continue;
    }
    const int rootId = info->rootId;
    const unsigned filter = info->notifyFilter;
    const bool subFolders = info->subFolders;
    const bool isFolder = (rec.mask & IN_ISDIR) != 0;
    const std::string full = joinPath(info->path, rec.name);

    if ((rec.mask & IN_MOVED_TO) && pending_ && pending_->cookie == rec.cookie) {
      PendingMove p = std::move(*pending_);
      pending_.reset();
      if (p.rootId == rootId) {
        emitName(tree, rootId, filter, isFolder, {ChangeKind::NameChanged, p.path, full, 0, 0});
        if (isFolder) tree.renameTree(rootId, p.path, full);
      } else {
        // Moved from one watched folder into another: gone there, new here.
        emitName(tree, p.rootId, p.notifyFilter, p.isFolder, {ChangeKind::Removed, p.path, {}, 0, 0});
        if (p.isFolder) tree.dropTree(p.rootId, p.path);
        emitName(tree, rootId, filter, isFolder, {ChangeKind::Added, full, {}, 0, 0});
        if (isFolder && subFolders) tree.addTree(rootId, full);
      }
      continue;
    }
    // Any other record means the partner of a waiting move is not coming.
    flushPendingMove(tree);
    if (rec.mask & IN_MOVED_FROM) {
      pending_ = PendingMove{rec.cookie, rootId, full, isFolder, filter};
    } else if (rec.mask & (IN_CREATE | IN_MOVED_TO)) {
      emitName(tree, rootId, filter, isFolder, {ChangeKind::Added, full, {}, 0, 0});
      if (isFolder && subFolders) tree.addTree(rootId, full);
    } else if (rec.mask & IN_DELETE) {
      emitName(tree, rootId, filter, isFolder, {ChangeKind::Removed, full, {}, 0, 0});
    } else if (rec.mask & (IN_MODIFY | IN_ATTRIB)) {
      // A writer produces one record per write; one notice per run is enough.
      if (full == lastModified_) continue;
      lastModified_ = full;
      tree.emit(rootId, {ChangeKind::Modified, full, {}, 0, 0});
    }
  }
}

}  // namespace plotdesk
