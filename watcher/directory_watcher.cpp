#include "watcher/directory_watcher.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "watcher/change_filter.h"
#include "watcher/folder_snapshot.h"
#include "watcher/inotify_translate.h"

namespace plotdesk {
namespace {

// Everything one watch's notices need after they left the watcher thread;
// shared by the notices, so a handler outlives the watch that fed it.
struct Delivery {
  std::shared_ptr<ChangeHandler> handler;
  ChangeFilter filter;
  std::atomic<bool> active{true};
};

void dispatch(Delivery& d, const ChangeNotice& notice) {
  // After unwatch only the start and stop notices still arrive.
  bool lifecycle = notice.kind == ChangeKind::WatchStarted || notice.kind == ChangeKind::WatchStopped;
  if (!lifecycle && !d.active.load()) return;
  if (passesFilter(notice, d.filter, *d.handler)) deliver(notice, *d.handler);
}

std::string normalFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool isUnder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

using Outbox = std::vector<std::pair<std::shared_ptr<Delivery>, ChangeNotice>>;

}  // namespace

class DirectoryWatcher::Impl final : public WatchTree {
 public:
  Impl(EventLoop& loop, Clock& clock, int flags) : loop_(loop), clock_(clock), flags_(flags) {}
  ~Impl() override { unwatchAll(); }

  WatchStatus watch(const std::string& folderIn, unsigned notifyFilter, std::shared_ptr<ChangeHandler> handler,
                    bool subFolders, std::string_view include, std::string_view exclude);
  bool unwatch(const std::string& folder);
  void unwatchAll();
  bool isWatching(const std::string& folder) const {
    std::lock_guard g(mu_);
    return findRoot(normalFolder(folder)) != nullptr;
  }
  bool isPolling(const std::string& folder) const {
    std::lock_guard g(mu_);
    const Root* r = findRoot(normalFolder(folder));
    return r && r->polling;
  }
  int setFilterFlags(int flags) {
    std::lock_guard g(mu_);
    int old = flags_;
    flags_ = flags == 0 ? filter_flag::Default : flags;
    return old;
  }
  WatchMode setMode(WatchMode mode) {
    std::lock_guard g(mu_);
    WatchMode old = mode_;
    mode_ = mode;
    return old;
  }

  // WatchTree, called with mu_ held on the watcher thread.
  const WatchedFolderInfo* find(int wd) override {
    auto it = wds_.find(wd);
    return it == wds_.end() ? nullptr : &it->second;
  }
  void addTree(int rootId, const std::string& path) override {
    auto it = roots_.find(rootId);
    if (it != roots_.end()) addWatches(it->second, path, /*report=*/true);
  }
  void dropTree(int rootId, const std::string& path) override {
    for (auto it = wds_.begin(); it != wds_.end();) {
      if (it->second.rootId == rootId && !it->second.isRoot &&
          (it->second.path == path || isUnder(it->second.path, path))) {
        ::inotify_rm_watch(inotifyFd_, it->first);
        it = wds_.erase(it);
      } else {
        ++it;
      }
    }
  }
  void renameTree(int rootId, const std::string& from, const std::string& to) override {
    for (auto& [wd, info] : wds_) {
      if (info.rootId != rootId) continue;
      if (info.path == from) info.path = to;
      else if (isUnder(info.path, from)) info.path = to + info.path.substr(from.size());
    }
  }
  void forget(int wd) override { wds_.erase(wd); }
  void rootGone(int rootId, int error) override {
    auto it = roots_.find(rootId);
    if (it == roots_.end()) return;
    emit(rootId, {ChangeKind::ReadError, it->second.folder, {}, error, 0});
    removeRoot(it);
  }
  void rescanAll() override {
    for (auto& [id, root] : roots_) {
      if (!root.polling) addWatches(root, root.folder, /*report=*/true);
    }
  }
  void emit(int rootId, ChangeNotice notice) override {
    auto it = roots_.find(rootId);
    if (it == roots_.end()) return;
    notice.prefixLength = it->second.prefixLength;
    outbox_.emplace_back(it->second.delivery, std::move(notice));
  }

 private:
  struct Root {
    int id = 0;
    std::string folder;
    unsigned notifyFilter = 0;
    bool subFolders = false;
    bool polling = false;
    int flags = 0;
    size_t prefixLength = 0;
    std::shared_ptr<Delivery> delivery;
    FolderSnapshot snapshot;
    std::chrono::steady_clock::time_point nextPoll{};
  };

  const Root* findRoot(const std::string& folder) const {
    for (const auto& [id, r] : roots_) {
      if (r.folder == folder) return &r;
    }
    return nullptr;
  }

  // Watches `path` and, with sub-folders, everything below it. With
  // `report`, every entry found is reported as added: it may have appeared
  // before its folder's watch existed.
  void addWatches(Root& root, const std::string& path, bool report) {
    if (path != root.folder) {  // the folder's own watch is made by watch()
      int wd = ::inotify_add_watch(inotifyFd_, path.c_str(), inotifyMaskFor(root.notifyFilter));
      if (wd >= 0) {
        wds_[wd] = WatchedFolderInfo{root.id, path, path == root.folder, root.subFolders, root.notifyFilter};
      }
    }
    DIR* d = ::opendir(path.c_str());
    if (!d) return;
    std::vector<std::pair<std::string, bool>> entries;
    while (dirent* e = ::readdir(d)) {
      if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
      std::string full = joinPath(path, e->d_name);
      entries.emplace_back(full, folderExists(full));
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end());
    for (const auto& [full, isFolder] : entries) {
      if (report && (root.notifyFilter & (isFolder ? notify::DirName : notify::FileName))) {
        emit(root.id, {ChangeKind::Added, full, {}, 0, 0});
      }
      if (isFolder && root.subFolders) addWatches(root, full, report);
    }
  }

  void removeRoot(std::map<int, Root>::iterator it) {
    for (auto w = wds_.begin(); w != wds_.end();) {
      if (w->second.rootId == it->first) {
        ::inotify_rm_watch(inotifyFd_, w->first);
        w = wds_.erase(w);
      } else {
        ++w;
      }
    }
    roots_.erase(it);
  }

  void wake() {
    if (wakeFd_ < 0) return;
    uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  void post(Outbox batch) {
    if (batch.empty()) return;
    loop_.post([batch = std::move(batch)] {
      for (const auto& [delivery, notice] : batch) dispatch(*delivery, notice);
    });
  }

  void run(std::stop_token stop);
  void readEvents();
  void pollFolders();
  int pollTimeoutMs();

  EventLoop& loop_;
  Clock& clock_;
  mutable std::mutex mu_;
  int flags_;
  WatchMode mode_ = WatchMode::Automatic;
  std::map<int, Root> roots_;
  std::map<int, WatchedFolderInfo> wds_;
  int nextRootId_ = 1;
  int inotifyFd_ = -1;
  int wakeFd_ = -1;
  InotifyTranslator translator_;  // watcher thread only, under mu_
  Outbox outbox_;                 // under mu_
  std::jthread worker_;
};

WatchStatus DirectoryWatcher::Impl::watch(const std::string& folderIn, unsigned notifyFilter,
                                          std::shared_ptr<ChangeHandler> handler, bool subFolders,
                                          std::string_view include, std::string_view exclude) {
  if (folderIn.empty() || notifyFilter == 0 || !handler) {
    return {watch_error::InvalidParameter, "a watch needs a folder, a notify filter and a handler"};
  }
  const std::string folder = normalFolder(folderIn);
  if (!folderExists(folder)) return {watch_error::BadPathName, "'" + folder + "' is not a folder"};
  unwatch(folder);

  std::unique_lock lock(mu_);
  if (!worker_.joinable()) {
    // The descriptors change only while no watcher thread reads them.
    if (wakeFd_ < 0) wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return {errno, std::string("cannot create the wake-up descriptor: ") + std::strerror(errno)};
    if (inotifyFd_ < 0) inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }

  Root root;
  root.id = nextRootId_++;
  root.folder = folder;
  root.notifyFilter = notifyFilter;
  root.subFolders = subFolders;
  root.flags = flags_;
  root.prefixLength = folder == "/" ? 1 : folder.size() + 1;
  root.delivery = std::make_shared<Delivery>();
  root.delivery->handler = std::move(handler);
  root.delivery->filter = ChangeFilter{splitPatterns(include), splitPatterns(exclude), flags_};
  root.polling = mode_ == WatchMode::Poll || (mode_ == WatchMode::Automatic && isNetworkFileSystem(folder));

  std::vector<int> added;
  if (!root.polling) {
    int wd = inotifyFd_ < 0 ? -1 : ::inotify_add_watch(inotifyFd_, folder.c_str(), inotifyMaskFor(notifyFilter));
    if (wd < 0) {
      // Out of inotify watches or descriptors: polling still works.
      int err = inotifyFd_ < 0 ? EMFILE : errno;
      if (err != ENOSPC && err != EMFILE && err != ENFILE) {
        return {err, "cannot watch '" + folder + "': " + std::strerror(err)};
      }
      root.polling = true;
    } else {
      wds_[wd] = WatchedFolderInfo{root.id, folder, true, subFolders, notifyFilter};
    }
  }
  if (root.polling) {
    auto snap = takeSnapshot(folder, subFolders);
    if (!snap) return {watch_error::BadPathName, "cannot list '" + folder + "'"};
    root.snapshot = std::move(*snap);
    root.nextPoll = clock_.steadyNow() + kPollPeriod;
  }
  auto [it, inserted] = roots_.emplace(root.id, std::move(root));
  Root& r = it->second;
  if (!r.polling && subFolders) addWatches(r, folder, /*report=*/false);
  if (!worker_.joinable()) {
    try {
      worker_ = std::jthread([this](std::stop_token st) { run(st); });
    } catch (const std::system_error&) {
      removeRoot(it);
      return {watch_error::NoMoreThreads, "cannot start the watcher thread"};
    }
  }
  if (!(r.flags & filter_flag::NoStartedNotice)) {
    Outbox started;
    started.emplace_back(r.delivery, ChangeNotice{ChangeKind::WatchStarted, folder, {}, 0, r.prefixLength});
    post(std::move(started));
  }
  wake();
  return {};
}

bool DirectoryWatcher::Impl::unwatch(const std::string& folderIn) {
  const std::string folder = normalFolder(folderIn);
  std::shared_ptr<Delivery> delivery;
  size_t prefix = 0;
  int flags = 0;
  {
    std::lock_guard g(mu_);
    auto it = roots_.begin();
    while (it != roots_.end() && it->second.folder != folder) ++it;
    if (it == roots_.end()) return false;
    delivery = it->second.delivery;
    prefix = it->second.prefixLength;
    flags = it->second.flags;
    delivery->active = false;
    removeRoot(it);
  }
  if (!(flags & filter_flag::NoStoppedNotice)) {
    Outbox stopped;
    stopped.emplace_back(delivery, ChangeNotice{ChangeKind::WatchStopped, folder, {}, 0, prefix});
    post(std::move(stopped));
  }
  return true;
}

void DirectoryWatcher::Impl::unwatchAll() {
  std::vector<std::string> folders;
  {
    std::lock_guard g(mu_);
    for (const auto& [id, r] : roots_) folders.push_back(r.folder);
  }
  for (const auto& f : folders) unwatch(f);
  if (worker_.joinable()) {
    worker_.request_stop();
    wake();
    worker_.join();
  }
  std::lock_guard g(mu_);
  if (inotifyFd_ >= 0) ::close(inotifyFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  inotifyFd_ = wakeFd_ = -1;
}

int DirectoryWatcher::Impl::pollTimeoutMs() {
  std::lock_guard g(mu_);
  int timeout = -1;
  // A moved-from record waits briefly for its partner from the next read.
  if (translator_.hasPendingMove()) timeout = 20;
  auto now = clock_.steadyNow();
  for (const auto& [id, r] : roots_) {
    if (!r.polling) continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(r.nextPoll - now).count();
    // Never block longer than one period, so a virtual clock is seen moving.
    int ms = static_cast<int>(std::clamp<long long>(left, 0, kPollPeriod.count()));
    if (timeout < 0 || ms < timeout) timeout = ms;
  }
  return timeout;
}

void DirectoryWatcher::Impl::readEvents() {
  alignas(inotify_event) char buf[64 * 1024];
  for (;;) {
    ssize_t n = ::read(inotifyFd_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    auto records = parseInotifyBuffer(std::string_view(buf, static_cast<size_t>(n)));
    std::lock_guard g(mu_);
    translator_.translate(records, *this);
  }
}

void DirectoryWatcher::Impl::pollFolders() {
  struct Due {
    int id;
    std::string folder;
    bool subFolders;
  };
  std::vector<Due> due;
  auto now = clock_.steadyNow();
  {
    std::lock_guard g(mu_);
    for (const auto& [id, r] : roots_) {
      if (r.polling && r.nextPoll <= now) due.push_back({id, r.folder, r.subFolders});
    }
  }
  for (const auto& d : due) {
    // Listing a network share can be slow; do it without holding the lock.
    auto snap = takeSnapshot(d.folder, d.subFolders);
    std::lock_guard g(mu_);
    auto it = roots_.find(d.id);
    if (it == roots_.end()) continue;  // unwatched meanwhile
    if (!snap) {
      rootGone(d.id, ENOENT);
      continue;
    }
    for (auto& notice : diffSnapshots(d.folder, it->second.snapshot, *snap, it->second.notifyFilter)) {
      emit(d.id, std::move(notice));
    }
    it->second.snapshot = std::move(*snap);
    it->second.nextPoll = now + kPollPeriod;
  }
}

void DirectoryWatcher::Impl::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    int timeout = pollTimeoutMs();
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
    int n = ::poll(fds, inotifyFd_ >= 0 ? 2 : 1, timeout);
    if (stop.stop_requested()) break;
    if (n < 0 && errno != EINTR) break;
    if (n > 0 && (fds[0].revents & POLLIN)) {
      uint64_t v;
      while (::read(wakeFd_, &v, sizeof v) > 0) {
      }
    }
    if (n > 0 && inotifyFd_ >= 0 && (fds[1].revents & POLLIN)) readEvents();
    if (n == 0) {
      std::lock_guard g(mu_);
      translator_.flushPendingMove(*this);
    }
    pollFolders();
    Outbox batch;
    {
      std::lock_guard g(mu_);
      batch.swap(outbox_);
    }
    post(std::move(batch));
  }
}

DirectoryWatcher::DirectoryWatcher(EventLoop& loop, Clock& clock, int filterFlags)
    : impl_(std::make_unique<Impl>(loop, clock, filterFlags == 0 ? filter_flag::Default : filterFlags)) {}
DirectoryWatcher::~DirectoryWatcher() = default;

WatchStatus DirectoryWatcher::watch(const std::string& folder, unsigned notifyFilter,
                                    std::shared_ptr<ChangeHandler> handler, bool subFolders,
                                    std::string_view include, std::string_view exclude) {
  return impl_->watch(folder, notifyFilter, std::move(handler), subFolders, include, exclude);
}
bool DirectoryWatcher::unwatch(const std::string& folder) { return impl_->unwatch(folder); }
void DirectoryWatcher::unwatchAll() { impl_->unwatchAll(); }
bool DirectoryWatcher::isWatching(const std::string& folder) const { return impl_->isWatching(folder); }
bool DirectoryWatcher::isPolling(const std::string& folder) const { return impl_->isPolling(folder); }
int DirectoryWatcher::setFilterFlags(int flags) { return impl_->setFilterFlags(flags); }
WatchMode DirectoryWatcher::setMode(WatchMode mode) { return impl_->setMode(mode); }

}  // namespace plotdesk
