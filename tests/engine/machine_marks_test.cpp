#include "engine/machine_marks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "config/settings_store.h"
#include "engine/console_job.h"
#include "engine/plot_disposer.h"
#include "platform/files.h"
#include "tests/engine/drawing_dump.h"
#include "tests/support/temp_dir.h"

namespace plotdesk::engine {
namespace {

using test::read;

BoundingBox box(double minX, double minY, double maxX, double maxY) {
  BoundingBox b;
  b.add(minX, minY);
  b.add(maxX, maxY);
  b.any = true;
  return b;
}

DisposeSettings marks(double markWidth, bool minPosit, bool hold) {
  DisposeSettings s;
  s.markLength = 40;  // 1600 units
  s.markWidth = markWidth;
  s.inkjetMinPosit = minPosit;
  s.holdPosition = hold;
  return s;
}

TEST(MachineMarks, InkjetMark) {
  struct Row {
    const char* name;
    DisposeSettings s;
    BoundingBox b;
    std::string expected;
  };
  const Row rows[] = {
      {"minimum position before the drawing", marks(1, true, false), box(5000, 100, 9000, 900),
       "SP1;LT;PU3400,100;PD5000,100;PU3400,140;PD5000,140;"},
      {"minimum position, drawing near the origin", marks(1, true, false), box(1000, 100, 9000, 900),
       "SP1;LT;PU0,100;PD1000,100;PU0,140;PD1000,140;"},
      {"minimum position, drawing left of the origin", marks(0, true, false), box(-50, 7, 9000, 900),
       "SP1;LT;PU0,7;PD1600,7;"},
      {"minimum position, negative width", marks(-1, true, false), box(5000, 100, 9000, 900), "SP1;LT;"},
      {"plain mark at the drawing's corner", marks(1, false, false), box(5000, 100, 9000, 900),
       "SP1;LT;PU5000,100;PD6600,100;"},
      {"plain mark rows are 4 units apart", marks(2.5, false, false), box(5000, 100, 9000, 900),
       "SP1;LT;PU5000,100;PD6600,100;PU5000,104;PD6600,104;PU5000,108;PD6600,108;"},
      {"plain mark at the origin with a holding position", marks(1, false, true), box(5000, 100, 9000, 900),
       "SP1;LT;PU0,0;PD1600,0;"},
      {"plain mark of width 0", marks(0, false, false), box(5000, 100, 9000, 900), "SP1;LT;"},
  };
  for (const Row& r : rows) {
    std::string out;
    writeInkjetMark(out, r.b, r.s);
    EXPECT_EQ(out, r.expected) << r.name;
  }
  // A mistyped width stops at the row cap instead of exhausting memory.
  for (bool minPosit : {true, false}) {
    std::string out;
    writeInkjetMark(out, box(0, 0, 1, 1), marks(std::numeric_limits<double>::infinity(), minPosit, false));
    size_t rows = 0;
    for (size_t at = out.find("PU"); at != std::string::npos; at = out.find("PU", at + 1)) ++rows;
    EXPECT_EQ(rows, static_cast<size_t>(kMaxMarkRows));
  }
}

TEST(MachineMarks, OtherMarks) {
  std::string out;
  writeHoldingPosition(out, marks(1, false, true));
  EXPECT_EQ(out, "SP1;LT;PU0,0;PD1600,0;");

  out.clear();
  writeExternalContour(out, box(10, 20, 300, 400.5));
  EXPECT_EQ(out, "SP0;LT0,0.0,1;PU10,20;PD10,20,300,20,300,400.5,10,400.5,10,20;PG;\r\n");

  DisposeSettings s;
  s.pageLength = 1200;  // 48000 units
  s.pageWidth = 1500;   // 60000 units
  const std::pair<double, const char*> cuts[] = {
      {47900, "SP2;LT;PU48000,0;PD48000,60000;"}, {10000, "SP2;LT;PU10200,0;PD10200,60000;"}};
  for (const auto& [maxX, expected] : cuts) {
    out.clear();
    writeMaterialCut(out, box(0, 0, maxX, 10), s);
    EXPECT_EQ(out, expected);
  }

  const std::tuple<double, FeedValues, const char*> feeds[] = {
      {20000, {}, "AM20000,-20000;\r\n"}, {0, {}, "AM0,0;\r\n"}, {20000, {12.5, -3, true}, "AM12.5,-3;\r\n"}};
  for (const auto& [maxX, feed, expected] : feeds) {
    out.clear();
    writeFeed(out, box(0, 0, maxX, 10), feed);
    EXPECT_EQ(out, expected);
  }
}

TEST(MachineMarks, PageLayout) {
  Drawing d = read("PU10,20;PD300,400;");
  DisposeSettings s = marks(1, false, true);
  s.scanExtContour = true;
  s.inkjetMark = true;
  s.autoCutMaterial = true;
  s.autoFeedMaterial = true;
  s.addPagiPG = true;
  s.addPG = true;
  s.pageWidth = 1500;
  std::vector<PageContent> pages = collectPages(d);
  ASSERT_EQ(pages.size(), 1U);
  EXPECT_EQ(writePage(d, pages[0], s, false),
            "IN;\r\nJS300,400;\r\n"
            "SP0;LT0,0.0,1;PU10,20;PD10,20,300,20,300,400,10,400,10,20;PG;\r\n"
            "SP1;LT;PU0,0;PD1600,0;"
            "SP1;LT;PU0,0;PD1600,0;"
            "SP1;\r\nLT0,0,0;\r\nPU10,20;\r\nPD300,400;\r\n"
            "SP2;LT;PU500,0;PD500,60000;"
            "SK;\r\n"
            "AM300,-300;\r\n"
            "PG;\r\n");
  // The last page has no pump; the feed takes the source's AM values.
  EXPECT_EQ(writePage(d, pages[0], DisposeSettings{}, true), "IN;\r\nJS300,400;\r\nSP1;\r\nLT0,0,0;\r\nPU10,20;\r\nPD300,400;\r\n");
  DisposeSettings feedOnly;
  feedOnly.autoFeedMaterial = true;
  feedOnly.addPagiPG = true;
  EXPECT_EQ(writePage(d, pages[0], feedOnly, true, {7, 8, true}),
            "IN;\r\nJS300,400;\r\nSP1;\r\nLT0,0,0;\r\nPU10,20;\r\nPD300,400;\r\nAM7,8;\r\n");
}

TEST(ConsoleJobFile, Text) {
  DisposeSettings s;
  s.pageLength = 1200;
  s.pageWidth = 1500;
  s.cutBeginFeed = true;
  ConsoleJob job;
  job.number = 7;
  job.x = {100, 0, 10, 5, 20};  // X2 = 0 gives an edge of 0, never "-0"

  Drawing d = read("PU100,100;PD200,100;");
  Result<std::string> text = consoleJobText(d, s, job);
  ASSERT_TRUE(text) << text.error();
  EXPECT_EQ(*text,
            "IN;\r\nFN7,7;\r\n"
            "CL44000,0;\r\n"
            "SP1;LT;PU43600,0;PD43600,60000;\r\n"
            "CM44000,-200;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU43800,100;\r\nPD43900,100;\r\n"
            "SP1;LT;PU800,0;\r\n");

  // Without X4 there is no CM and the drawing meets the cut directly; a
  // trailing page break is not a second page.
  job.x = {100, 2.5, 10, 0, 0};
  s.addPG = true;
  Drawing trailing = read("PU100,100;PD200,100;PG;");
  text = consoleJobText(trailing, s, job);
  ASSERT_TRUE(text) << text.error();
  EXPECT_EQ(*text,
            "IN;\r\nFN7,7;\r\nCL44000,-100;\r\nSP1;LT;PU43600,0;PD43600,60000;\r\n"
            "SP1;\r\nLT0,0,0;\r\nPU43900,100;\r\nPD44000,100;\r\nSP1;LT;PU0,0;\r\nPG;\r\n");

  // Without the prologue the drawing stays where it is; slots follow pen order.
  s.cutBeginFeed = false;
  s.addPG = false;
  s.spOrder = true;
  s.spOut = {2, 1, 0, 0, 0, 0, 0, 0};
  Drawing pens = read("SP1;PU1,1;PD2,2;SP2;PU3,3;PD4,4;");
  text = consoleJobText(pens, s, job);
  ASSERT_TRUE(text) << text.error();
  EXPECT_EQ(*text,
            "IN;\r\nFN7,7;\r\nSP2;\r\nLT0,0,0;\r\nPU3,3;\r\nPD4,4;\r\nSP1;\r\nLT0,0,0;\r\nPU1,1;\r\nPD2,2;\r\n"
            "SP1;LT;PU0,0;\r\n");

  for (const char* refused : {"PU0,0;PD1,1;PG;PU0,0;PD2,2;", "PU0,0;PG;PU0,0;PD2,2;", ""}) {
    Drawing r = read(refused);
    EXPECT_FALSE(consoleJobText(r, s, job)) << refused;
  }
}

TEST(ConsoleJobFile, WritesTheOutputOrFails) {
  plotdesk::test::TempDir dir;
  const std::string source = dir.file("job.plt");
  ASSERT_TRUE(writeFileAtomic(source, "PU0,0;PD10,0;"));
  DisposeSettings s;
  s.controlMacPrg = true;
  ConsoleJob job{source, dir.file("CtlPrtTmpFile.tmp"), {0, 0, 0, 0, 1}, 3};
  ASSERT_TRUE(PlotDisposer(s).disposeConsoleJob(job));
  EXPECT_EQ(*readFile(job.output), "IN;\r\nFN3,3;\r\nSP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD10,0;\r\nSP1;LT;PU40,0;\r\n");

  job.output = dir.file("missing/folder/out.tmp");
  EXPECT_FALSE(PlotDisposer(s).disposeConsoleJob(job));
  job.source = dir.file("absent.plt");
  job.output = dir.file("other.tmp");
  EXPECT_FALSE(PlotDisposer(s).disposeConsoleJob(job));
  EXPECT_FALSE(fileExists(job.output));
}

// ---- whole dispose runs ------------------------------------------------------

struct Home {
  plotdesk::test::TempDir dir;
  std::string home = dir.slash() + "home/";
  std::string out = dir.file("out");
  Home() {
    EXPECT_TRUE(createFolder(home));
    EXPECT_TRUE(createFolder(out));
  }
  Status dispose(const std::string& src, CollectingOwner& owner) const {
    auto engine = makeDisposeEngine(readDisposeSettings(SettingsStore(home)));
    if (!engine) return fail(engine.error());
    return (*engine)->dispose({src, out, "20110405_134501"}, owner);
  }
};

// Pagination by coordinates into 2 m pages 1.8 m wide, linking and pen order
// on; everything else off.
void paginateAndLink(SettingsStore& s) {
  ASSERT_TRUE(s.set_Split_Page_Enabled(1));
  ASSERT_TRUE(s.set_Page_Length(2000));
  ASSERT_TRUE(s.set_Page_Width(1800));
  ASSERT_TRUE(s.set_File_Type(2));
  ASSERT_TRUE(s.set_Split_AlignType(2));
  ASSERT_TRUE(s.set_Graphics_Zoom(100));
  for (auto set : {&SettingsStore::set_Add_PG, &SettingsStore::set_Add_PagiPG, &SettingsStore::set_Scan_Ext_Contour,
                   &SettingsStore::set_AA_To_Line, &SettingsStore::set_Split_DExtraSawtooth,
                   &SettingsStore::set_Auto_CutMaterial, &SettingsStore::set_Auto_FeedMaterial,
                   &SettingsStore::set_DotlineToline, &SettingsStore::set_FontDispose_Enabled,
                   &SettingsStore::set_DeletePoint_Enabled, &SettingsStore::set_AddPoint_Enabled,
                   &SettingsStore::set_QKIC_HoldPosition, &SettingsStore::set_QKIC_InkjetMark,
                   &SettingsStore::set_ControlMacPrg, &SettingsStore::set_Stroke_Set, &SettingsStore::set_Leave_Cut}) {
    ASSERT_TRUE((s.*set)(0));
  }
  ASSERT_TRUE(s.set_Optimize_Function(1));
  ASSERT_TRUE(s.set_Auto_Link(1));
  ASSERT_TRUE(s.set_MinDistance_Close(0.5));
  ASSERT_TRUE(s.set_SP_Order(1));
}

std::map<int, double> cutLengthPerPen(const Drawing& d) {
  std::map<int, double> length;
  for (const Polyline& p : d.polylines) {
    for (size_t i = 0; i + 1 < p.vertices.size(); ++i) {
      length[p.header.pen] += std::hypot(p.vertices[i + 1].x - p.vertices[i].x, p.vertices[i + 1].y - p.vertices[i].y);
    }
  }
  return length;
}

const std::string kMarker = std::string(PLOTDESK_TEST_SOURCE_DIR) + "/../shared/data/marker-fabric-b.plt";

TEST(DisposeSteps, MarkerKeepsItsCutLengthPerPen) {
  if (!fileExists(kMarker)) GTEST_SKIP() << "marker data not found at " << kMarker;
  Home h;
  {
    SettingsStore s(h.home);
    paginateAndLink(s);
  }
  CollectingOwner owner;
  Status st = h.dispose(kMarker, owner);
  ASSERT_TRUE(st) << st.error();
  ASSERT_GE(owner.outputs.size(), 9U);  // 17.8 m in 2 m pages

  Drawing source;
  ASSERT_TRUE(PlotReader(source, {}).loadFile(kMarker));
  std::map<int, double> before = cutLengthPerPen(source);
  std::map<int, double> after;
  for (const std::string& item : owner.outputs) {
    Drawing page;
    ASSERT_TRUE(PlotReader(page, {}).loadFile(item.substr(0, item.rfind(';'))));
    for (const auto& [pen, length] : cutLengthPerPen(page)) after[pen] += length;
  }
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [pen, length] : before) {
    EXPECT_NEAR(after[pen], length, length * 1e-6) << "pen " << pen;
  }
}

TEST(DisposeSteps, EveryStepOn) {
  if (!fileExists(kMarker)) GTEST_SKIP() << "marker data not found at " << kMarker;
  Home h;
  {
    SettingsStore s(h.home);
    paginateAndLink(s);
    for (auto set : {&SettingsStore::set_Add_PG, &SettingsStore::set_Add_PagiPG, &SettingsStore::set_Scan_Ext_Contour,
                     &SettingsStore::set_AA_To_Line, &SettingsStore::set_Split_DExtraSawtooth,
                     &SettingsStore::set_Auto_CutMaterial, &SettingsStore::set_Auto_FeedMaterial,
                     &SettingsStore::set_FontDispose_Enabled, &SettingsStore::set_DeletePoint_Enabled,
                     &SettingsStore::set_AddPoint_Enabled, &SettingsStore::set_QKIC_HoldPosition,
                     &SettingsStore::set_QKIC_InkjetMark, &SettingsStore::set_QKIC_InkjetMinPosit,
                     &SettingsStore::set_Leave_Cut, &SettingsStore::set_SP_Decomp1, &SettingsStore::set_AddSPNewFile,
                     &SettingsStore::set_ControlMacPrg}) {
      ASSERT_TRUE((s.*set)(1));
    }
  }
  CollectingOwner owner;
  Status st = h.dispose(kMarker, owner);
  ASSERT_TRUE(st) << st.error();
  ASSERT_GE(owner.outputs.size(), 9U);
  for (size_t i = 0; i < owner.outputs.size(); ++i) {
    const std::string path = owner.outputs[i].substr(0, owner.outputs[i].rfind(';'));
    std::string bytes = *readFile(path);
    // A pipeline job writes page files even with the console switch on.
    ASSERT_EQ(bytes.rfind("IN;\r\nJS", 0), 0U) << path;
    EXPECT_NE(bytes.find("SP0;LT0,0.0,1;PU"), std::string::npos);
    const size_t cut = bytes.find("SP2;LT;PU");
    ASSERT_NE(cut, std::string::npos);
    EXPECT_NE(bytes.find("AM", cut), std::string::npos);
    // The pump goes between pages only: not after the last file.
    const bool last = i + 1 == owner.outputs.size();
    EXPECT_EQ(bytes.find("SK;") == std::string::npos, last) << path;
    Drawing page;
    ASSERT_TRUE(PlotReader(page, {}).loadFile(path));
    EXPECT_FALSE(page.polylines.empty());
  }
}

TEST(DisposeSteps, NoPumpAfterTheLastWrittenPage) {
  Home h;
  {
    SettingsStore s(h.home);
    paginateAndLink(s);
    ASSERT_TRUE(s.set_File_Type(1));
    ASSERT_TRUE(s.set_Add_PagiPG(1));
    ASSERT_TRUE(s.set_Optimize_Function(0));
  }
  const std::string src = h.dir.file("two.plt");
  ASSERT_TRUE(writeFileAtomic(src, "PU0,0;PD10,0;PG;PU0,0;PD20,0;PG;"));
  CollectingOwner owner;
  ASSERT_TRUE(h.dispose(src, owner));
  ASSERT_EQ(owner.outputs.size(), 2U);
  EXPECT_EQ(*readFile(joinPath(h.out, "two_20110405_134501_001.plt")),
            "IN;\r\nJS10,0;\r\nSP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD10,0;\r\nSK;\r\n");
  EXPECT_EQ(*readFile(joinPath(h.out, "two_20110405_134501_002.plt")),
            "IN;\r\nJS20,0;\r\nSP1;\r\nLT0,0,0;\r\nPU0,0;\r\nPD20,0;\r\n");
}

}  // namespace
}  // namespace plotdesk::engine
