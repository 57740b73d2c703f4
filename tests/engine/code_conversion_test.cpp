#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "config/settings_store.h"
#include "engine/dispose_command.h"
#include "engine/file_code_converter.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk::engine {
namespace {

using namespace std::string_literals;

// "IN;LB" + two Chinese characters (U+4E2D U+6587) + ETX in several encodings.
const std::string kGbk = "IN;LB\xd6\xd0\xce\xc4\x03"s;
const std::string kUtf8 = "IN;LB\xe4\xb8\xad\xe6\x96\x87\x03"s;
const std::string kUtf16Le = "\xff\xfeI\0N\0;\0L\0B\0\x2d\x4e\x87\x65\x03\0"s;
const std::string kUtf16Be = "\xfe\xff\0I\0N\0;\0L\0B\x4e\x2d\x65\x87\0\x03"s;

TEST(CodeConversion, Examples) {
  struct Row {
    const char* name;
    std::string input;
    SourceEncoding encoding;
    std::string output;  // file content afterwards
  };
  const Row rows[] = {
      {"ascii untouched", "IN;PU0,0;", SourceEncoding::None, "IN;PU0,0;"},
      {"utf-16le", kUtf16Le, SourceEncoding::Utf16Le, kGbk + "\0\0"s},
      {"utf-16be", kUtf16Be, SourceEncoding::Utf16Be, kGbk + "\0\0"s},
      {"utf-8 with signature", "\xef\xbb\xbf"s + kUtf8, SourceEncoding::Utf8Bom, kGbk + "\0\0"s},
      {"utf-8 without signature", kUtf8, SourceEncoding::Utf8, kGbk + "\0"s},
      {"stray continuation byte", "IN;LB\x80\x03"s, SourceEncoding::None, "IN;LB\x80\x03"s},
      {"ends inside a sequence", "LB\xe4\xb8"s, SourceEncoding::None, "LB\xe4\xb8"s},
      {"gbk text stays", kGbk, SourceEncoding::None, kGbk},
      // A signature decides even when the rest is broken; broken bytes become "?".
      {"signature with broken rest", "\xef\xbb\xbfLB\xff\x03"s, SourceEncoding::Utf8Bom, "LB?\x03\0\0"s},
      // A character the code page lacks (U+1F600, a surrogate pair) becomes one "?".
      {"unmappable", "\xff\xfeL\0B\0\x3d\xd8\x00\xde;\0"s, SourceEncoding::Utf16Le, "LB?;\0\0"s},
      // UTF-16 text ends at the first zero unit.
      {"zero unit ends text", "\xff\xfeP\0\0\0G\0"s, SourceEncoding::Utf16Le, "P\0\0"s},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    test::TempDir dir;
    const std::string path = dir.file("x.plt");
    ASSERT_TRUE(writeFileAtomic(path, r.input));
    FakeClock clock;
    FileCodeConverter converter(path, path, "CP936", clock);
    ASSERT_TRUE(converter.convert());
    EXPECT_EQ(converter.encoding(), r.encoding);
    EXPECT_EQ(*readFile(path), r.output);
    EXPECT_EQ(clock.totalSlept(), std::chrono::milliseconds(r.encoding == SourceEncoding::None ? 100 : 0));
  }
  EXPECT_EQ(detectEncoding(""), SourceEncoding::None);
}

TEST(CodeConversion, FailuresLeaveTheSourceUntouched) {
  test::TempDir dir;
  FakeClock clock;
  FileCodeConverter missing(dir.file("none.plt"), dir.file("none.plt"), "CP936", clock);
  EXPECT_FALSE(missing.convert());
  EXPECT_EQ(missing.message(), "Open File Error");

  const std::string path = dir.file("u.plt");
  ASSERT_TRUE(writeFileAtomic(path, kUtf8));
  FileCodeConverter unknown(path, path, "NO-SUCH-CODEPAGE", clock);
  EXPECT_FALSE(unknown.convert());
  EXPECT_EQ(unknown.message(), "Conversion Fail");
  EXPECT_EQ(*readFile(path), kUtf8);
}

struct CommandRun {
  int code;
  std::string out;
  std::string err;
};

CommandRun runCommand(const std::vector<std::string>& args, const std::string& home) {
  std::ostringstream out;
  std::ostringstream err;
  FakeClock clock;
  int code = runDisposeCommand(args, home, out, err, clock);
  return {code, out.str(), err.str()};
}

TEST(DisposeCommand, DisposesEachSourceAndReportsItems) {
  test::TempDir dir;
  const std::string home = dir.slash();
  {
    SettingsStore s(home);
    ASSERT_TRUE(s.set_Split_Page_Enabled(0));
    ASSERT_TRUE(s.set_Optimize_Function(0));
    ASSERT_TRUE(s.set_FileCode_Conv(1));
  }
  const std::string a = dir.file("a.plt");
  const std::string b = dir.file("b.plt");
  ASSERT_TRUE(writeFileAtomic(a, kUtf16Le));
  ASSERT_TRUE(writeFileAtomic(b, "PD1,1;"));

  CommandRun r = runCommand({a, b, "--out", dir.file("o"), "--timestamp", "20110405_134501"}, home);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, dir.file("o/a_20110405_134501_001.plt") + ";0.00 * 0.00\n" +
                       dir.file("o/b_20110405_134501_001.plt") + ";0.00 * 0.00\n");
  // The source was converted in place before it was disposed.
  EXPECT_EQ(*readFile(a), kGbk + "\0\0"s);
  EXPECT_EQ(*readFile(dir.file("o/a_20110405_134501_001.plt")), kGbk + "\0\0"s);

  // Default output folder, a timestamp from the clock, and one failing source.
  r = runCommand({b, dir.file("missing.plt")}, home);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find(home + "DisposeFile_Folder/b_"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("missing.plt: File don't exist."), std::string::npos) << r.err;

  EXPECT_EQ(runCommand({}, home).code, 2);
  EXPECT_EQ(runCommand({a, "--out"}, home).code, 2);
  EXPECT_EQ(runCommand({a, "--bogus"}, home).code, 2);
}

TEST(DisposeCommand, ReportsEngineFailures) {
  test::TempDir dir;
  const std::string home = dir.slash();
  {
    SettingsStore s(home);
    ASSERT_TRUE(s.set_Split_Page_Enabled(1));
    ASSERT_TRUE(s.set_Split_AlignType(0));
  }
  const std::string a = dir.file("a.plt");
  ASSERT_TRUE(writeFileAtomic(a, "PD1,1;"));
  CommandRun r = runCommand({a}, home);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("File Dispose fail. (the legacy engine"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace plotdesk::engine
