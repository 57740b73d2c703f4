#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk {
namespace {

struct LookupCase {
  const char* name;
  const char* content;
  const char* section;
  const char* key;
  const char* expected;
};

TEST(IniFile, LookupRules) {
  const LookupCase cases[] = {
      {"plain", "[S]\nk=v\n", "S", "k", "v"},
      {"section case", "[sEcTiOn]\nk=v\n", "Section", "k", "v"},
      {"key case", "[S]\nKeY=v\n", "S", "key", "v"},
      {"first key wins", "[S]\nk=1\nk=2\n", "S", "k", "1"},
      {"first section wins", "[S]\nk=1\n[S]\nk=2\n", "S", "k", "1"},
      {"key and value trimmed", "[S]\n  k \t=  v w  \n", "S", "k", "v w"},
      {"first equals splits", "[S]\nk=a=b\n", "S", "k", "a=b"},
      {"double quotes removed", "[S]\nk=\"q v\"\n", "S", "k", "q v"},
      {"single quotes removed", "[S]\nk='q'\n", "S", "k", "q"},
      {"one pair only", "[S]\nk=\"\"x\"\"\n", "S", "k", "\"x\""},
      {"unbalanced quote kept", "[S]\nk=\"x\n", "S", "k", "\"x"},
      {"semicolon is data", "[S]\nk=*.plt;*.HPG;\n", "S", "k", "*.plt;*.HPG;"},
      {"crlf", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"bom", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "v"},
      {"no final newline", "[S]\nk=v", "S", "k", "v"},
      {"other section", "[A]\nk=v\n[B]\n", "B", "k", "dflt"},
      {"missing section", "[A]\nk=v\n", "C", "k", "dflt"},
      {"missing key", "[S]\nx=v\n", "S", "k", "dflt"},
      {"empty value", "[S]\nk=\n", "S", "k", ""},
      {"comment line", "[S]\n;k=c\nk=v\n", "S", "k", "v"},
      {"header spaces", "  [ S ]  \nk=v\n", "S", "k", "v"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(iniLookup(c.content, c.section, c.key, "dflt"), c.expected) << c.name;
  }
}

TEST(IniFile, ReadsAreCutTo259Bytes) {
  std::string longValue(300, 'x');
  EXPECT_EQ(iniLookup("[S]\nk=" + longValue + "\n", "S", "k", "").size(), 259u);
  EXPECT_EQ(iniLookup("", "S", "k", longValue).size(), 259u);
}

struct WriteCase {
  const char* name;
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

TEST(IniFile, WriteKeepsEveryOtherByte) {
  const WriteCase cases[] = {
      {"empty file", "", "S", "k", "v", "[S]\nk=v\n"},
      {"replace in place", "; c\n[S]\na=1\nk=old ; x\nb=2\n", "s", "K", "new", "; c\n[S]\na=1\nK=new\nb=2\n"},
      {"insert at section end", "[S]\na=1\n\n[T]\nb=2\n", "S", "k", "v", "[S]\na=1\nk=v\n\n[T]\nb=2\n"},
      {"append section", "[S]\na=1\n", "T", "k", "v", "[S]\na=1\n[T]\nk=v\n"},
      {"append after missing newline", "[S]\na=1", "T", "k", "v", "[S]\na=1\n[T]\nk=v\n"},
      {"insert after missing newline", "[S]\na=1", "S", "k", "v", "[S]\na=1\nk=v\n"},
      {"crlf file keeps crlf", "[S]\r\na=1\r\n", "S", "k", "v", "[S]\r\na=1\r\nk=v\r\n"},
      {"crlf replace keeps its break", "[S]\r\nk=1\r\n", "S", "k", "2", "[S]\r\nk=2\r\n"},
      {"line breaks in values become blanks", "", "S", "k", "a\r\nb=c", "[S]\nk=a  b=c\n"},
      {"bom kept", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "2", "\xEF\xBB\xBF[S]\nk=2\n"},
      {"empty section header", "[S]\n[T]\n", "S", "k", "v", "[S]\nk=v\n[T]\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(iniApplyWrite(c.before, c.section, c.key, c.value), c.after) << c.name;
  }
}

TEST(IniFile, FileReadWriteAndRemove) {
  test::TempDir dir;
  std::string path = dir.file("a.ini");
  EXPECT_EQ(iniRead(path, "S", "k", "missing"), "missing");
  ASSERT_TRUE(iniWrite(path, "S", "k", "1"));
  ASSERT_TRUE(iniWrite(path, "S", "j", "2"));
  EXPECT_EQ(iniRead(path, "S", "k", ""), "1");
  ASSERT_TRUE(iniRemoveKey(path, "S", "k"));
  EXPECT_EQ(*readFile(path), "[S]\nj=2\n");
  EXPECT_FALSE(iniWrite(dir.file("no/such/folder.ini"), "S", "k", "v"));
}

TEST(IniFile, ConcurrentWritersLoseNothing) {
  test::TempDir dir;
  std::string path = dir.file("c.ini");
  constexpr int kKeys = 20;
  // Two processes and two threads each write their own keys.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  auto writeKeys = [&](const std::string& prefix) {
    for (int i = 0; i < kKeys; ++i) (void)iniWrite(path, "S", prefix + std::to_string(i), "x");
  };
  if (child == 0) {
    writeKeys("child");
    _exit(0);
  }
  {
    std::jthread a([&] { writeKeys("a"); });
    std::jthread b([&] { writeKeys("b"); });
  }
  int status = 0;
  waitpid(child, &status, 0);
  auto content = readFile(path);
  ASSERT_TRUE(content);
  for (const char* prefix : {"child", "a", "b"}) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_EQ(iniLookup(*content, "S", prefix + std::to_string(i), "lost"), "x") << prefix << i;
    }
  }
}

}  // namespace
}  // namespace plotdesk
