#include "engine/plot_disposer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "config/settings_store.h"
#include "engine/pagination.h"
#include "engine/plot_reader.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace plotdesk::engine {
namespace {

constexpr const char* kStamp = "20110405_134501";

// Pagination on, type 5 (no division), every processing step and mark off.
void plainPagination(SettingsStore& s) {
  ASSERT_TRUE(s.set_Split_Page_Enabled(1));
  ASSERT_TRUE(s.set_Page_Width(1200.0));
  ASSERT_TRUE(s.set_Page_Length(1500.0));
  ASSERT_TRUE(s.set_File_Type(5));
  ASSERT_TRUE(s.set_Split_AlignType(1));
  ASSERT_TRUE(s.set_Graphics_Zoom(100));
  ASSERT_TRUE(s.set_Optimize_Function(0));
  ASSERT_TRUE(s.set_Add_PG(0));
  ASSERT_TRUE(s.set_Add_PagiPG(0));
  ASSERT_TRUE(s.set_Scan_Ext_Contour(0));
  ASSERT_TRUE(s.set_AA_To_Line(0));
  ASSERT_TRUE(s.set_Split_DExtraSawtooth(0));
  ASSERT_TRUE(s.set_Auto_CutMaterial(0));
  ASSERT_TRUE(s.set_Auto_FeedMaterial(0));
  ASSERT_TRUE(s.set_DotlineToline(0));
  ASSERT_TRUE(s.set_FontDispose_Enabled(0));
  ASSERT_TRUE(s.set_DeletePoint_Enabled(0));
  ASSERT_TRUE(s.set_AddPoint_Enabled(0));
  ASSERT_TRUE(s.set_QKIC_HoldPosition(0));
  ASSERT_TRUE(s.set_QKIC_InkjetMark(0));
  ASSERT_TRUE(s.set_ControlMacPrg(0));
  ASSERT_TRUE(s.set_Stroke_Set(0));
}

// A program folder with its settings, a source folder and a dispose folder.
struct Station {
  test::TempDir dir;
  std::string home = dir.slash() + "home/";
  std::string in = dir.file("in");
  std::string out = dir.file("out");
  Station() {
    EXPECT_TRUE(createFolder(home));
    EXPECT_TRUE(createFolder(in));
    EXPECT_TRUE(createFolder(out));
  }
  SettingsStore store() const { return SettingsStore(home); }
  std::string source(const std::string& name, std::string_view text) const {
    std::string path = joinPath(in, name);
    EXPECT_TRUE(writeFileAtomic(path, text));
    return path;
  }
  Status dispose(const std::string& src, CollectingOwner& owner) const {
    auto engine = makeDisposeEngine(readDisposeSettings(store()));
    if (!engine) return fail(engine.error());
    return (*engine)->dispose({src, out, kStamp}, owner);
  }
  std::vector<std::string> outputs() const {
    std::vector<std::string> names;
    auto entries = scanFolder(out, false);
    if (entries) {
      for (const auto& e : *entries) names.push_back(e.relative.substr(1));
    }
    return names;
  }
};

TEST(Dispose, CopiesTheSourceWhenNothingIsEnabled) {
  Station st;
  {
    SettingsStore s = st.store();
    ASSERT_TRUE(s.set_Split_Page_Enabled(0));
    ASSERT_TRUE(s.set_Optimize_Function(0));
    ASSERT_TRUE(s.set_ControlMacPrg(0));
  }
  std::string src = st.source("a.plt", "IN;PU0,0;PD4000,2000;");
  CollectingOwner owner;
  ASSERT_TRUE(st.dispose(src, owner));
  std::string expected = joinPath(st.out, "a_20110405_134501_001.plt");
  ASSERT_EQ(owner.outputs, std::vector<std::string>{expected + ";0.00 * 0.00"});
  EXPECT_EQ(*readFile(expected), "IN;PU0,0;PD4000,2000;");

  CollectingOwner none;
  EXPECT_FALSE(st.dispose(joinPath(st.in, "missing.plt"), none));
  EXPECT_TRUE(none.outputs.empty());
}

TEST(Dispose, WritesOneFilePerNonEmptyPage) {
  Station st;
  {
    SettingsStore s = st.store();
    plainPagination(s);
    ASSERT_TRUE(s.set_File_Type(1));
  }
  std::string src = st.source("job.plt", "IN;SP1;PU0,0;PD4000,2000;PG;PG;PU10,10;PD20,40;PG;");
  CollectingOwner owner;
  ASSERT_TRUE(st.dispose(src, owner));
  EXPECT_EQ(owner.outputs, (std::vector<std::string>{
                               joinPath(st.out, "job_20110405_134501_001.plt") + ";100.00 * 50.00",
                               joinPath(st.out, "job_20110405_134501_003.plt") + ";0.50 * 1.00",
                           }));
  EXPECT_EQ(*readFile(joinPath(st.out, "job_20110405_134501_003.plt")),
            "IN;\r\nJS20,40;\r\nSP1;\r\nLT0,0,0;\r\nPU10,10;\r\nPD20,40;\r\n");
}

TEST(Dispose, TypeFiveWritesAllPagesAsOne) {
  Station st;
  {
    SettingsStore s = st.store();
    plainPagination(s);
    ASSERT_TRUE(s.set_Graphics_Zoom(50));
  }
  std::string src = st.source("p.HPG", "PD100,100;PG;PD200,0;PG;PD0,300;PG;");
  CollectingOwner owner;
  ASSERT_TRUE(st.dispose(src, owner));
  EXPECT_EQ(st.outputs(), std::vector<std::string>{"p_20110405_134501_001.HPG"});
  EXPECT_EQ(*readFile(joinPath(st.out, "p_20110405_134501_001.HPG")),
            "IN;\r\nJS100,150;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD50,50;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU50,50;\r\nPD100,0;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU100,0;\r\nPD0,150;\r\n");
}

TEST(Dispose, GeometryFiltersRunBeforeWriting) {
  struct Row {
    const char* name;
    void (*settings)(SettingsStore&);
    bool circleStays;
  };
  const Row rows[] = {
      {"circle conversion, sawtooth and point deletion",
       [](SettingsStore& s) {
         ASSERT_TRUE(s.set_AA_To_Line(1));
         ASSERT_TRUE(s.set_Split_DExtraSawtooth(1));
         ASSERT_TRUE(s.set_DeletePoint_Enabled(1));
       },
       false},
      {"sawtooth without pagination",
       [](SettingsStore& s) {
         ASSERT_TRUE(s.set_Split_Page_Enabled(0));
         ASSERT_TRUE(s.set_Optimize_Function(1));
         ASSERT_TRUE(s.set_Auto_Link(0));
         ASSERT_TRUE(s.set_SP_Order(0));
         ASSERT_TRUE(s.set_Leave_Cut(0));
         ASSERT_TRUE(s.set_Split_DExtraSawtooth(0));  // not read: always on without pagination
       },
       true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Station st;
    {
      SettingsStore s = st.store();
      plainPagination(s);
      r.settings(s);
    }
    // A 0.064 mm spike between two 0.08 mm segments.
    std::string src = st.source("f.plt", "PU0,0;PD40,0,41.92,2.56,43.84,0,43.84,40;PU100,100;CI10;");
    CollectingOwner owner;
    ASSERT_TRUE(st.dispose(src, owner));
    std::string page = *readFile(joinPath(st.out, "f_20110405_134501_001.plt"));
    EXPECT_NE(page.find("PU0,0;\r\nPD40,0,43.84,0,43.84,40;\r\n"), std::string::npos) << page;
    EXPECT_EQ(page.find("PU100,100;\r\nCI10;\r\n") != std::string::npos, r.circleStays) << page;
  }
}

TEST(Dispose, LabelsBecomeStrokesWithTheShippedFont) {
  Station st;
  {
    SettingsStore s = st.store();
    plainPagination(s);
    ASSERT_TRUE(s.set_FontDispose_Enabled(1));
  }
  // The program folder has no font of its own: the installed one is used.
  std::string src = st.source("t.plt", "IN;SP2;SI0.3;PU400,400;LBAb 1\xD6\xD0\xCE\xC4\x03;PU0,0;PD10,0;");
  CollectingOwner owner;
  ASSERT_TRUE(st.dispose(src, owner));
  std::string page = *readFile(joinPath(st.out, "t_20110405_134501_001.plt"));
  EXPECT_EQ(page.find("LB"), std::string::npos) << page;
  EXPECT_GT(std::count(page.begin(), page.end(), 'D'), 40) << page;  // many strokes
  EXPECT_EQ(page.find("SP1;"), page.rfind("SP1;"));                    // only the line is pen 1

  // With the switch off the label reaches the page file as a label.
  ASSERT_TRUE(st.store().set_FontDispose_Enabled(0));
  CollectingOwner plain;
  ASSERT_TRUE(st.dispose(src, plain));
  page = *readFile(joinPath(st.out, "t_20110405_134501_001.plt"));
  EXPECT_NE(page.find("PU400,400;\r\nLBAb 1\xD6\xD0\xCE\xC4\x03;\r\n"), std::string::npos) << page;
}

TEST(Dispose, FailuresLeaveNoOutput) {
  struct Row {
    const char* name;
    void (*settings)(SettingsStore&);
    const char* source;
    const char* message;
  };
  const Row rows[] = {
      {"empty source", [](SettingsStore&) {}, "", "empty"},
      {"unsafe coordinate", [](SettingsStore&) {}, "PD1e3,5;PD3000000000000,0;", "1e12"},
      {"more pages than allowed",
       [](SettingsStore& s) {
         ASSERT_TRUE(s.set_File_Type(2));
         ASSERT_TRUE(s.set_Page_Length(0.001));
       },
       "PU0,0;PD400000,0;", "more than 9999 pages"},
      {"damaged stroke font",
       [](SettingsStore& s) {
         ASSERT_TRUE(s.set_FontDispose_Enabled(1));
         ASSERT_TRUE(writeFileAtomic(joinPath(s.programFolder(), "QKHZK.dat"), "QK161"));
       },
       "LBA\x03;", "stroke font"},
      {"legacy engine", [](SettingsStore& s) { ASSERT_TRUE(s.set_Split_AlignType(0)); }, "PD1,1;", "legacy engine"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Station st;
    {
      SettingsStore s = st.store();
      plainPagination(s);
      r.settings(s);
    }
    std::string src = st.source("x.plt", r.source);
    CollectingOwner owner;
    Status result = st.dispose(src, owner);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find(r.message), std::string::npos) << result.error();
    EXPECT_TRUE(owner.outputs.empty());
    EXPECT_TRUE(st.outputs().empty());
    EXPECT_TRUE(fileExists(src));
  }
}

TEST(Dispose, APageThatCannotBeWrittenRemovesTheOthers) {
  Station st;
  {
    SettingsStore s = st.store();
    plainPagination(s);
    ASSERT_TRUE(s.set_File_Type(3));
  }
  std::string src = st.source("two.plt", "PD1,1;PG;PD2,2;");
  // A folder where the second page file should go makes its rename fail.
  ASSERT_TRUE(createFolder(joinPath(st.out, "two_20110405_134501_002.plt")));
  CollectingOwner owner;
  Status result = st.dispose(src, owner);
  ASSERT_FALSE(result);
  EXPECT_NE(result.error().find("cannot write a page file"), std::string::npos) << result.error();
  EXPECT_TRUE(owner.outputs.empty());
  EXPECT_EQ(st.outputs(), std::vector<std::string>{"two_20110405_134501_002.plt"});
}

TEST(Dispose, CancelStopsTheJob) {
  struct Cancelling : DisposeOwner {
    bool disposeCancelled() const override { return true; }
    void appendDisposedOutput(const std::string& item) override { items.push_back(item); }
    std::vector<std::string> items;
  };
  Station st;
  {
    SettingsStore s = st.store();
    plainPagination(s);
  }
  std::string src = st.source("c.plt", "PD1,1;");
  Cancelling owner;
  auto engine = makeDisposeEngine(readDisposeSettings(st.store()));
  ASSERT_TRUE(engine);
  EXPECT_FALSE((*engine)->dispose({src, st.out, kStamp}, owner));
  EXPECT_TRUE(owner.items.empty());
  EXPECT_TRUE(st.outputs().empty());
}

TEST(Dispose, SettingsSnapshotUsesEngineValuesForDisabledGroups) {
  test::TempDir dir;
  SettingsStore s(dir.slash());
  plainPagination(s);
  ASSERT_TRUE(s.set_File_Type(2));
  ASSERT_TRUE(s.set_Graphics_Zoom(250));
  ASSERT_TRUE(s.set_Split_Label("PG;"));
  ASSERT_TRUE(s.set_Add_PG(1));
  ASSERT_TRUE(s.set_Split_AlignType(3));
  ASSERT_TRUE(s.set_Optimize_Function(1));
  ASSERT_TRUE(s.set_Auto_Link(1));
  ASSERT_TRUE(s.set_MinDistance_Close(3.5));
  ASSERT_TRUE(s.set_SP_Order(0));
  ASSERT_TRUE(s.set_SooAddPagebreak(1));

  DisposeSettings on = readDisposeSettings(s);
  EXPECT_EQ(on.fileType, 2);
  EXPECT_DOUBLE_EQ(on.scale, 2.5);
  EXPECT_EQ(on.splitLabel, "PG;");
  EXPECT_TRUE(on.addPG);
  EXPECT_FALSE(on.removeSawtooth);
  EXPECT_EQ(on.alignType, 3);
  EXPECT_TRUE(on.autoLink);
  EXPECT_DOUBLE_EQ(on.minDistanceClose, 3.5);
  EXPECT_FALSE(on.sooAddPagebreak);  // read only with pen order on

  ASSERT_TRUE(s.set_Page_Width(0.0));  // pagination needs both sizes above 0
  ASSERT_TRUE(s.set_Optimize_Function(0));
  DisposeSettings off = readDisposeSettings(s);
  EXPECT_FALSE(off.paginationEnabled());
  EXPECT_EQ(off.fileType, 5);
  EXPECT_DOUBLE_EQ(off.scale, 1.0);
  EXPECT_EQ(off.splitLabel, "PG |PG;|NR |NR;");
  EXPECT_FALSE(off.addPG);
  EXPECT_TRUE(off.removeSawtooth);
  EXPECT_EQ(off.alignType, 1);
  EXPECT_EQ(off.storedAlignType, 3);
  EXPECT_FALSE(off.autoLink);
  EXPECT_DOUBLE_EQ(off.minDistanceClose, 0.0001);
}

TEST(Dispose, AlignmentTypes) {
  struct Row {
    int type;
    const char* expected;
  };
  const Row rows[] = {{1, "-100,50 20,300"}, {2, "0,0 120,250"}, {3, "0,50 120,300"}};
  for (const Row& r : rows) {
    Drawing d;
    PlotReader reader(d, {});
    ASSERT_TRUE(reader.scan("PU-100,50;PD20,300;"));
    alignDrawing(d, r.type);
    const auto& v = d.polylines[0].vertices;
    std::string got = std::to_string(static_cast<int>(v[0].x)) + "," + std::to_string(static_cast<int>(v[0].y)) +
                      " " + std::to_string(static_cast<int>(v[1].x)) + "," + std::to_string(static_cast<int>(v[1].y));
    EXPECT_EQ(got, r.expected) << r.type;
  }
}

TEST(OutputName, BaseNameRules) {
  struct Row {
    std::string source;
    std::string expected;  // file name part
  };
  const std::string sixty(60, 'n');
  const std::string fifty(50, 'n');
  // "ä" is two bytes; the 50-byte cut must not split it.
  const std::string umlauts = std::string(49, 'u') + "\xc3\xa4" + "tail";
  const std::string longBare(300, 'b');
  const Row rows[] = {
      {"/w/a.plt", "a_20110405_134501_001.plt"},
      {"/w/" + sixty + ".plt", fifty + "_20110405_134501_001.plt"},
      {"/w/" + umlauts + ".plt", std::string(49, 'u') + "_20110405_134501_001.plt"},
      {"/w/noext", "noext_20110405_134501_001"},
      {"/w/" + longBare, std::string(255 - 20, 'b') + "_20110405_134501_001"},
      {"/w/x.y.hpg", "x.y_20110405_134501_001.hpg"},
  };
  for (const Row& r : rows) {
    Result<std::string> path = outputPath("/out", r.source, kStamp, 0);
    ASSERT_TRUE(path) << r.source;
    EXPECT_EQ(*path, "/out/" + r.expected);
    EXPECT_LE(fileNamePart(*path).size(), 255U);
  }
  EXPECT_EQ(*outputPath("/out/", "/w/a.plt", kStamp, 2), "/out/a_20110405_134501_003.plt");
  EXPECT_EQ(*outputPath("/out", "/w/a.plt", kStamp, 1233), "/out/a_20110405_134501_1234.plt");
  EXPECT_FALSE(outputPath("/out", "/w/a." + std::string(250, 'e'), kStamp, 0));
}

// The real markers from the garment CAD: with pagination on, type 5 and every
// step off, one page file carries exactly the source's strokes.
TEST(Dispose, SharedMarkersRoundTrip) {
  const std::string dataDir = std::string(PLOTDESK_TEST_SOURCE_DIR) + "/../shared/data/";
  for (const char* name : {"marker-fabric-b.plt", "marker-fabric-s.plt"}) {
    SCOPED_TRACE(name);
    const std::string path = dataDir + name;
    if (!fileExists(path)) GTEST_SKIP() << "marker data not found at " << dataDir;
    Station st;
    {
      SettingsStore s = st.store();
      plainPagination(s);
    }
    CollectingOwner owner;
    ASSERT_TRUE(st.dispose(path, owner));
    ASSERT_EQ(owner.outputs.size(), 1U);
    const std::string output = owner.outputs[0].substr(0, owner.outputs[0].rfind(';'));

    Drawing source;
    Drawing result;
    PlotReader sourceReader(source, {});
    PlotReader resultReader(result, {});
    ASSERT_TRUE(sourceReader.loadFile(path));
    ASSERT_TRUE(resultReader.loadFile(output));
    ASSERT_GT(source.polylines.size(), 1000U);
    ASSERT_EQ(result.polylines.size(), source.polylines.size());
    for (size_t i = 0; i < source.polylines.size(); ++i) {
      ASSERT_EQ(result.polylines[i].vertices, source.polylines[i].vertices) << "polyline " << i;
      ASSERT_EQ(result.polylines[i].header.pen, source.polylines[i].header.pen) << "polyline " << i;
    }
  }
}

}  // namespace
}  // namespace plotdesk::engine
