#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

TEST(Files, FolderCreationNeedsAFolderAfterwards) {
  test::TempDir dir;
  EXPECT_TRUE(createFolder(dir.file("a/b/c")));
  EXPECT_TRUE(folderExists(dir.file("a/b/c")));
  EXPECT_TRUE(createFolder(dir.file("a/b/c")));  // already there
  ASSERT_TRUE(writeFileAtomic(dir.file("plain"), "x"));
  EXPECT_FALSE(folderExists(dir.file("plain")));
  EXPECT_FALSE(createFolder(dir.file("plain")));
  EXPECT_FALSE(createFolder(dir.file("plain/sub")));
}

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaries) {
  test::TempDir dir;
  std::string p = dir.file("f.txt");
  ASSERT_TRUE(writeFileAtomic(p, "one"));
  ASSERT_TRUE(writeFileAtomic(p, std::string("two\0bytes", 9)));
  EXPECT_EQ(*readFile(p), std::string("two\0bytes", 9));
  auto entries = scanFolder(dir.path(), false);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].relative, "/f.txt");
  EXPECT_FALSE(writeFileAtomic(dir.file("missing/f.txt"), "x"));
}

TEST(Files, MoveAcrossFileSystemsKeepsTheBytes) {
  if (!folderExists("/dev/shm")) GTEST_SKIP() << "no tmpfs at /dev/shm";
  test::TempDir disk;
  test::TempDir shm("/dev/shm");
  ASSERT_FALSE(shm.path().empty());
  std::string content(300000, 'p');
  content[12345] = '\0';
  std::string src = shm.file("job.plt");
  ASSERT_TRUE(writeFileAtomic(src, content));
  std::string dst = disk.file("job.plt");
  ASSERT_TRUE(writeFileAtomic(dst, "old"));
  ASSERT_TRUE(moveReplace(src, dst));
  EXPECT_FALSE(fileExists(src));
  EXPECT_EQ(*readFile(dst), content);
  // A failed move leaves the source where it was.
  ASSERT_TRUE(writeFileAtomic(src, "keep"));
  EXPECT_FALSE(moveReplace(src, disk.file("no/such/dir/job.plt")));
  EXPECT_EQ(*readFile(src), "keep");
}

TEST(Files, CopyDeleteSizeAndScan) {
  test::TempDir dir;
  ASSERT_TRUE(createFolder(dir.file("sub")));
  ASSERT_TRUE(writeFileAtomic(dir.file("b.plt"), "12345"));
  ASSERT_TRUE(copyFile(dir.file("b.plt"), dir.file("sub/a.plt")));
  EXPECT_EQ(*fileSize(dir.file("sub/a.plt")), 5);
  EXPECT_FALSE(fileSize(dir.file("none")));
  auto flat = scanFolder(dir.path(), false);
  ASSERT_TRUE(flat);
  ASSERT_EQ(flat->size(), 2u);
  EXPECT_EQ((*flat)[0].relative, "/b.plt");
  EXPECT_TRUE((*flat)[1].isFolder);
  auto deep = scanFolder(dir.path(), true);
  ASSERT_EQ(deep->size(), 3u);
  EXPECT_EQ((*deep)[2].relative, "/sub/a.plt");
  EXPECT_TRUE(deleteFile(dir.file("b.plt")));
  EXPECT_FALSE(deleteFile(dir.file("b.plt")));
  EXPECT_TRUE(deleteTree(dir.file("sub")));
  EXPECT_FALSE(folderExists(dir.file("sub")));
}

TEST(Files, PathText) {
  EXPECT_EQ(joinPath("/a/", "/b.plt"), "/a/b.plt");
  EXPECT_EQ(joinPath("/a", "b"), "/a/b");
  EXPECT_EQ(joinPath("/", "b"), "/b");
  EXPECT_EQ(withTrailingSlash("/a"), "/a/");
  EXPECT_EQ(fileNamePart("/sub/part.plt"), "part.plt");
  EXPECT_EQ(folderPart("/sub/part.plt"), "/sub/");
  const std::pair<const char*, const char*> ext[] = {
      {"/a/b.plt", "plt"}, {"/a.b/c", ""}, {"x.tar.HPG", "HPG"}, {"noext", ""}, {"/d/.hidden", "hidden"}};
  for (auto [path, e] : ext) EXPECT_EQ(extensionOf(path), e) << path;
}

}  // namespace
}  // namespace plotdesk
