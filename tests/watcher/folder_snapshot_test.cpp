#include "watcher/folder_snapshot.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/watcher/temp_folder.h"

namespace plotdesk {
namespace {

EntryState file(uint64_t inode, long long size = 10, int64_t mtime = 1) { return {false, inode, size, mtime}; }
EntryState folder(uint64_t inode) { return {true, inode, 0, 0}; }

std::vector<std::string> describe(const std::vector<ChangeNotice>& notices) {
  std::vector<std::string> out;
  static const char* names[] = {"", "added", "removed", "modified", "renamed"};
  for (const auto& n : notices) {
    out.push_back(std::string(names[static_cast<int>(n.kind)]) + " " + n.path +
                  (n.newPath.empty() ? "" : " " + n.newPath));
  }
  return out;
}

TEST(DiffSnapshots, Table) {
  struct Case {
    const char* name;
    FolderSnapshot before, after;
    std::vector<std::string> expected;
    unsigned filter = notify::All;
  } cases[] = {
      {"nothing changed", {{"/a.plt", file(1)}}, {{"/a.plt", file(1)}}, {}},
      {"added and removed", {{"/a.plt", file(1)}}, {{"/b.plt", file(2)}}, {"removed /w/a.plt", "added /w/b.plt"}},
      {"renamed keeps its inode", {{"/x.tmp", file(3)}}, {{"/x.plt", file(3)}}, {"renamed /w/x.tmp /w/x.plt"}},
      {"grown file is modified", {{"/a.plt", file(1, 10)}}, {{"/a.plt", file(1, 20)}}, {"modified /w/a.plt"}},
      {"modification not asked for", {{"/a.plt", file(1, 10)}}, {{"/a.plt", file(1, 20)}}, {}, notify::FileName},
      {"renamed folder carries its files",
       {{"/d", folder(5)}, {"/d/a.plt", file(6)}},
       {{"/e", folder(5)}, {"/e/a.plt", file(6)}},
       {"renamed /w/d /w/e"}},
      {"folders not asked for", {}, {{"/d", folder(5)}, {"/d/a.plt", file(6)}}, {"added /w/d/a.plt"},
       notify::FileName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describe(diffSnapshots("/w", c.before, c.after, c.filter)), c.expected) << c.name;
  }
}

TEST(TakeSnapshot, ListsSubFoldersOnlyWhenAskedAndFailsForMissingFolder) {
  testing_support::TempFolder tmp;
  ASSERT_TRUE(createFolder(tmp.at("sub")).ok());
  testing_support::writeText(tmp.at("a.plt"), "x");
  testing_support::writeText(tmp.at("sub/b.plt"), "yy");
  auto flat = takeSnapshot(tmp.path(), false);
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->size(), 2u);
  EXPECT_TRUE(flat->at("/sub").isFolder);
  auto deep = takeSnapshot(tmp.path(), true);
  ASSERT_TRUE(deep);
  EXPECT_EQ(deep->at("/sub/b.plt").size, 2);
  EXPECT_FALSE(takeSnapshot(tmp.at("missing"), false));
  EXPECT_FALSE(isNetworkFileSystem(tmp.path()));
}

}  // namespace
}  // namespace plotdesk
