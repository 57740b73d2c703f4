#include "watcher/inotify_translate.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <cstring>
#include <map>

namespace plotdesk {
namespace {

// Records every call in a readable log; wd 1 is the root "/w", wd 2 its
// sub-folder "/w/sub".
class FakeTree : public WatchTree {
 public:
  explicit FakeTree(bool subFolders = true, unsigned filter = notify::All) {
    infos[1] = {7, "/w", true, subFolders, filter};
    infos[2] = {7, "/w/sub", false, subFolders, filter};
  }
  const WatchedFolderInfo* find(int wd) override {
    auto it = infos.find(wd);
    return it == infos.end() ? nullptr : &it->second;
  }
  void addTree(int, const std::string& path) override { log.push_back("addTree " + path); }
  void dropTree(int, const std::string& path) override { log.push_back("dropTree " + path); }
  void renameTree(int, const std::string& from, const std::string& to) override {
    log.push_back("renameTree " + from + " " + to);
    for (auto& [wd, info] : infos) {
      if (info.path.rfind(from + "/", 0) == 0 || info.path == from) info.path = to + info.path.substr(from.size());
    }
  }
  void forget(int wd) override { log.push_back("forget " + std::to_string(wd)); }
  void rootGone(int, int error) override { log.push_back("rootGone " + std::to_string(error)); }
  void rescanAll() override { log.push_back("rescan"); }
  void emit(int rootId, ChangeNotice n) override {
    static const char* names[] = {"", "added", "removed", "modified", "renamed", "error", "started", "stopped"};
    std::string line = std::string(names[static_cast<int>(n.kind)]) + " " + n.path;
    if (!n.newPath.empty()) line += " " + n.newPath;
    if (rootId != 7) line += " (root " + std::to_string(rootId) + ")";
    log.push_back(line);
  }
  std::map<int, WatchedFolderInfo> infos;
  std::vector<std::string> log;
};

InotifyRecord rec(int wd, uint32_t mask, const char* name = "", uint32_t cookie = 0) {
  return {wd, mask, cookie, name};
}

using Log = std::vector<std::string>;

TEST(InotifyTranslator, SingleBatchTable) {
  struct Case {
    const char* name;
    std::vector<InotifyRecord> batch;
    Log expected;
    bool subFolders = true;
    unsigned filter = notify::All;
  } cases[] = {
      {"create, write, delete",
       {rec(1, IN_CREATE, "a.plt"), rec(1, IN_MODIFY, "a.plt"), rec(1, IN_MODIFY, "a.plt"),
        rec(1, IN_DELETE, "a.plt")},
       {"added /w/a.plt", "modified /w/a.plt", "removed /w/a.plt"}},
      {"rename paired by cookie", {rec(1, IN_MOVED_FROM, "x.tmp", 5), rec(1, IN_MOVED_TO, "x.plt", 5)},
       {"renamed /w/x.tmp /w/x.plt"}},
      {"moved in from outside", {rec(2, IN_MOVED_TO, "b.plt", 9)}, {"added /w/sub/b.plt"}},
      {"move from with another cookie after it",
       {rec(1, IN_MOVED_FROM, "x.plt", 5), rec(1, IN_MOVED_TO, "y.plt", 6)},
       {"removed /w/x.plt", "added /w/y.plt"}},
      {"rename into a sub-folder", {rec(1, IN_MOVED_FROM, "a.plt", 3), rec(2, IN_MOVED_TO, "a.plt", 3)},
       {"renamed /w/a.plt /w/sub/a.plt"}},
      {"new folder is watched and scanned", {rec(1, IN_CREATE | IN_ISDIR, "d")}, {"added /w/d", "addTree /w/d"}},
      {"new folder without sub-folders", {rec(1, IN_CREATE | IN_ISDIR, "d")}, {"added /w/d"}, false},
      {"folder moved in", {rec(1, IN_MOVED_TO | IN_ISDIR, "d", 4)}, {"added /w/d", "addTree /w/d"}},
      {"folder renamed, later records use the new name",
       {rec(1, IN_MOVED_FROM | IN_ISDIR, "sub", 8), rec(1, IN_MOVED_TO | IN_ISDIR, "new", 8),
        rec(2, IN_CREATE, "c.plt")},
       {"renamed /w/sub /w/new", "renameTree /w/sub /w/new", "added /w/new/c.plt"}},
      {"overflow rescans", {rec(-1, IN_Q_OVERFLOW)}, {"rescan"}},
      {"unknown descriptor ignored", {rec(42, IN_CREATE, "a.plt")}, {}},
      {"root deleted", {rec(1, IN_DELETE_SELF), rec(1, IN_IGNORED)}, {"rootGone 2", "rootGone 2"}},
      {"sub-folder watch dropped", {rec(2, IN_DELETE_SELF), rec(2, IN_IGNORED)}, {"forget 2"}},
      {"files only", {rec(1, IN_CREATE | IN_ISDIR, "d"), rec(1, IN_CREATE, "a.plt")},
       {"addTree /w/d", "added /w/a.plt"}, true, notify::FileName},
  };
  for (auto& c : cases) {
    FakeTree tree(c.subFolders, c.filter);
    InotifyTranslator t;
    t.translate(c.batch, tree);
    t.flushPendingMove(tree);
    EXPECT_EQ(tree.log, c.expected) << c.name;
  }
}

TEST(InotifyTranslator, MoveSplitAcrossReadsIsOneRename) {
  FakeTree tree;
  InotifyTranslator t;
  t.translate({rec(1, IN_CREATE, "a.plt"), rec(1, IN_MOVED_FROM, "a.plt", 11)}, tree);
  EXPECT_TRUE(t.hasPendingMove());
  EXPECT_EQ(tree.log, Log{"added /w/a.plt"});
  t.translate({rec(1, IN_MOVED_TO, "b.plt", 11)}, tree);
  EXPECT_FALSE(t.hasPendingMove());
  EXPECT_EQ(tree.log, (Log{"added /w/a.plt", "renamed /w/a.plt /w/b.plt"}));
}

TEST(InotifyTranslator, UnpairedFolderMoveLeavesTheTree) {
  FakeTree tree;
  InotifyTranslator t;
  t.translate({rec(1, IN_MOVED_FROM | IN_ISDIR, "sub", 12)}, tree);
  t.flushPendingMove(tree);
  EXPECT_EQ(tree.log, (Log{"removed /w/sub", "dropTree /w/sub"}));
}

TEST(InotifyTranslator, MoveBetweenWatchedFoldersIsRemoveAndAdd) {
  FakeTree tree;
  tree.infos[3] = {8, "/v", true, false, notify::All};
  InotifyTranslator t;
  t.translate({rec(1, IN_MOVED_FROM, "a.plt", 2), rec(3, IN_MOVED_TO, "a.plt", 2)}, tree);
  EXPECT_EQ(tree.log, (Log{"removed /w/a.plt", "added /v/a.plt (root 8)"}));
}

TEST(ParseInotifyBuffer, SplitsRecordsAndDropsNamePadding) {
  std::string bytes;
  auto append = [&](int wd, uint32_t mask, uint32_t cookie, const std::string& name, uint32_t len) {
    inotify_event ev{};
    ev.wd = wd;
    ev.mask = mask;
    ev.cookie = cookie;
    ev.len = len;
    bytes.append(reinterpret_cast<const char*>(&ev), sizeof ev);
    std::string padded = name;
    padded.resize(len, '\0');
    bytes += padded;
  };
  append(1, IN_CREATE, 0, "a.plt", 16);
  append(-1, IN_Q_OVERFLOW, 0, "", 0);
  append(2, IN_MOVED_TO, 77, "b.plt", 8);
  auto records = parseInotifyBuffer(bytes);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].name, "a.plt");
  EXPECT_EQ(records[1].mask, static_cast<uint32_t>(IN_Q_OVERFLOW));
  EXPECT_EQ(records[2].cookie, 77u);
  EXPECT_EQ(records[2].name, "b.plt");
  // A torn record at the end is left out.
  EXPECT_EQ(parseInotifyBuffer(bytes.substr(0, bytes.size() - 3)).size(), 2u);
}

}  // namespace
}  // namespace plotdesk
