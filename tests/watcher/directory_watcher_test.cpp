#include "watcher/directory_watcher.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <functional>

#include "platform/event_loop.h"
#include "platform/files.h"
#include "tests/watcher/temp_folder.h"

namespace plotdesk {
namespace {

using testing_support::TempFolder;
using testing_support::writeText;

// Logs every call as "kind relative-path", relative to the watched folder.
class LogHandler : public ChangeHandler {
 public:
  explicit LogHandler(std::string root) : root_(std::move(root)) {}
  void added(const std::string& p) override { log.push_back("added " + rel(p)); }
  void removed(const std::string& p) override { log.push_back("removed " + rel(p)); }
  void nameChanged(const std::string& o, const std::string& n) override {
    log.push_back("renamed " + rel(o) + " " + rel(n));
  }
  void readError(int code, const std::string& f) override {
    log.push_back("error " + std::to_string(code) + " " + rel(f));
  }
  void watchStarted(int status, const std::string&) override { log.push_back("started " + std::to_string(status)); }
  void watchStopped(const std::string&) override { log.push_back("stopped"); }
  bool has(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
  std::vector<std::string> log;

 private:
  std::string rel(const std::string& p) const { return p.compare(0, root_.size(), root_) == 0 ? p.substr(root_.size()) : p; }
  std::string root_;
};

class DirectoryWatcherTest : public ::testing::TestWithParam<WatchMode> {
 protected:
  // Runs the loop until `done` holds; false after `limit`.
  bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      loop.runOnce(std::chrono::milliseconds(20));
    }
    return true;
  }
  std::shared_ptr<LogHandler> start(bool subFolders, int flags = filter_flag::Default) {
    watcher.setMode(GetParam());
    watcher.setFilterFlags(flags);
    auto h = std::make_shared<LogHandler>(tmp.path());
    WatchStatus s = watcher.watch(tmp.path(), notify::FileName | notify::DirName, h, subFolders);
    EXPECT_TRUE(s.ok()) << s.message;
    EXPECT_EQ(watcher.isPolling(tmp.path()), GetParam() == WatchMode::Poll);
    return h;
  }

  TempFolder tmp;
  HeadlessEventLoop loop;
  DirectoryWatcher watcher{loop};
};

TEST_P(DirectoryWatcherTest, ReportsCreateRenameAndDeleteInFolderAndSubFolders) {
  ASSERT_TRUE(createFolder(tmp.at("sub")).ok());
  auto h = start(true);
  ASSERT_TRUE(waitFor([&] { return h->has("started 0"); }));

  writeText(tmp.at("a.tmp"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /a.tmp"); }));
  ASSERT_EQ(::rename(tmp.at("a.tmp").c_str(), tmp.at("a.plt").c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return h->has("renamed /a.tmp /a.plt"); }));
  writeText(tmp.at("sub/b.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /sub/b.plt"); }));
  ASSERT_TRUE(deleteFile(tmp.at("a.plt")).ok());
  ASSERT_TRUE(waitFor([&] { return h->has("removed /a.plt"); }));
}

TEST_P(DirectoryWatcherTest, FolderArrivingWithFilesInsideIsScanned) {
  TempFolder outside;
  ASSERT_TRUE(createFolder(outside.at("job/inner")).ok());
  writeText(outside.at("job/p1.plt"), "IN;");
  writeText(outside.at("job/inner/p2.plt"), "IN;");
  auto h = start(true);
  // A rename across /tmp sub-folders keeps the files: the whole folder appears at once.
  ASSERT_EQ(::rename(outside.at("job").c_str(), tmp.at("job").c_str()), 0);
  ASSERT_TRUE(waitFor([&] { return h->has("added /job/p1.plt") && h->has("added /job/inner/p2.plt"); }));
  // Files created later in the new folder are seen too.
  writeText(tmp.at("job/inner/p3.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /job/inner/p3.plt"); }));
}

TEST_P(DirectoryWatcherTest, WithoutSubFoldersOnlyTheFolderItselfIsReported) {
  ASSERT_TRUE(createFolder(tmp.at("sub")).ok());
  auto h = start(false);
  writeText(tmp.at("sub/hidden.plt"), "IN;");
  writeText(tmp.at("seen.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /seen.plt"); }));
  EXPECT_FALSE(h->has("added /sub/hidden.plt"));
}

TEST_P(DirectoryWatcherTest, UnwatchStopsDeliveryAndSendsStoppedNotice) {
  auto h = start(false);
  writeText(tmp.at("a.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /a.plt"); }));
  EXPECT_TRUE(watcher.isWatching(tmp.path() + "/"));
  EXPECT_TRUE(watcher.unwatch(tmp.path()));
  EXPECT_FALSE(watcher.isWatching(tmp.path()));
  EXPECT_FALSE(watcher.unwatch(tmp.path()));
  writeText(tmp.at("late.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("stopped"); }));
  // Give a late report every chance to arrive.
  waitFor([] { return false; }, std::chrono::milliseconds(1300));
  EXPECT_FALSE(h->has("added /late.plt"));
}

TEST_P(DirectoryWatcherTest, MainWindowFlagsSuppressStartAndStopNotices) {
  auto h = start(false, 0xE8);
  writeText(tmp.at("a.plt"), "IN;");
  ASSERT_TRUE(waitFor([&] { return h->has("added /a.plt"); }));
  watcher.unwatchAll();
  waitFor([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(h->log, std::vector<std::string>{"added /a.plt"});
}

TEST_P(DirectoryWatcherTest, WatchedFolderRemovedGivesOneReadError) {
  TempFolder parent;
  std::string watched = parent.at("w");
  ASSERT_TRUE(createFolder(watched).ok());
  watcher.setMode(GetParam());
  auto h = std::make_shared<LogHandler>(watched);
  ASSERT_TRUE(watcher.watch(watched, notify::All, h, false).ok());
  ASSERT_TRUE(deleteTree(watched).ok());
  ASSERT_TRUE(waitFor([&] { return h->has("error 2 "); }));
  EXPECT_FALSE(watcher.isWatching(watched));
  ASSERT_TRUE(createFolder(watched).ok());
  writeText(watched + "/again.plt", "IN;");
  waitFor([] { return false; }, std::chrono::milliseconds(1300));
  EXPECT_EQ(std::count_if(h->log.begin(), h->log.end(), [](auto& l) { return l.rfind("error", 0) == 0; }), 1);
  EXPECT_FALSE(h->has("added /again.plt"));
}

INSTANTIATE_TEST_SUITE_P(Modes, DirectoryWatcherTest, ::testing::Values(WatchMode::Notify, WatchMode::Poll),
                         [](const auto& info) { return info.param == WatchMode::Notify ? "Notify" : "Poll"; });

TEST(DirectoryWatcher, RefusesBadArgumentsWithTheirCodes) {
  TempFolder tmp;
  writeText(tmp.at("file.plt"), "IN;");
  HeadlessEventLoop loop;
  DirectoryWatcher watcher(loop);
  auto h = std::make_shared<ChangeHandler>();
  EXPECT_EQ(watcher.watch("", notify::All, h, false).code, watch_error::InvalidParameter);
  EXPECT_EQ(watcher.watch(tmp.path(), 0, h, false).code, watch_error::InvalidParameter);
  EXPECT_EQ(watcher.watch(tmp.path(), notify::All, nullptr, false).code, watch_error::InvalidParameter);
  EXPECT_EQ(watcher.watch(tmp.at("file.plt"), notify::All, h, false).code, watch_error::BadPathName);
  EXPECT_EQ(watcher.watch(tmp.at("missing"), notify::All, h, false).code, watch_error::BadPathName);
}

TEST(DirectoryWatcher, WatchingAgainReplacesTheOldWatch) {
  TempFolder tmp;
  HeadlessEventLoop loop;
  DirectoryWatcher watcher(loop);
  auto first = std::make_shared<LogHandler>(tmp.path());
  auto second = std::make_shared<LogHandler>(tmp.path());
  ASSERT_TRUE(watcher.watch(tmp.path(), notify::All, first, false).ok());
  ASSERT_TRUE(watcher.watch(tmp.path(), notify::All, second, false).ok());
  writeText(tmp.at("a.plt"), "IN;");
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!second->has("added /a.plt") && std::chrono::steady_clock::now() < end) {
    loop.runOnce(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(second->has("added /a.plt"));
  EXPECT_FALSE(first->has("added /a.plt"));
  EXPECT_TRUE(first->has("stopped"));
}

}  // namespace
}  // namespace plotdesk
