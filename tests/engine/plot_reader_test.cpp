#include "engine/plot_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/numbers.h"
#include "tests/support/temp_dir.h"

namespace plotdesk::engine {
namespace {

// A compact text form of a drawing:
//   L<page> SP<pen> LT<pattern>/<length>/<mode>[ closed]: x,y x,y ...
//   C<page> SP<pen> (x,y) r
//   T<page> SP<pen> (x,y) "text" DI<run>,<rise>|<angle> SI<w>,<h> DT<byte>
//   pages=<n>
std::string dump(const Drawing& d) {
  std::string out;
  auto num = [](double v) { return formatGeneral(v); };
  auto head = [&](char tag, const PrimitiveHeader& h) {
    out += tag + std::to_string(h.page) + " SP" + std::to_string(h.pen);
    if (h.linePattern != 0 || h.patternLength != 0 || h.lineMode != 0) {
      out += " LT" + std::to_string(h.linePattern) + "/" + num(h.patternLength) + "/" + std::to_string(h.lineMode);
    }
    if (h.closed) out += " closed";
  };
  for (const Polyline& p : d.polylines) {
    head('L', p.header);
    out += ":";
    for (const Point& v : p.vertices) out += " " + num(v.x) + "," + num(v.y);
    out += "\n";
  }
  for (const Circle& c : d.circles) {
    head('C', c.header);
    out += " (" + num(c.cx) + "," + num(c.cy) + ") " + num(c.radius) + "\n";
  }
  for (const TextLabel& l : d.labels) {
    head('T', l.header);
    out += " (" + num(l.x) + "," + num(l.y) + ") \"" + l.text + "\"";
    if (l.runGiven && l.riseGiven) {
      out += " DI" + num(l.run) + "," + num(l.rise);
    } else {
      out += " DI" + num(l.angle);
    }
    out += " SI" + num(l.width) + "," + num(l.height) + " DT" + std::to_string(static_cast<int>(l.terminator)) + "\n";
  }
  out += "pages=" + std::to_string(d.pageCount);
  return out;
}

std::string read(std::string_view input, ReaderOptions options = {}) {
  Drawing d;
  PlotReader reader(d, std::move(options));
  Status st = reader.scan(input);
  if (!st) return "error: " + st.error();
  return dump(d);
}

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

class ReaderTable : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderTable, ReadsToDrawing) { EXPECT_EQ(read(GetParam().input), GetParam().expected) << GetParam().input; }

INSTANTIATE_TEST_SUITE_P(
    Instructions, ReaderTable,
    ::testing::Values(
        Case{"square", "IN;SP1;PU0,0;PD400,0,400,400;PU;", "L0 SP1: 0,0 400,0 400,400\npages=1"},
        Case{"pu_uses_first_pair", "PU10,20,30,40;PD50,50;", "L0 SP1: 10,20 50,50\npages=1"},
        Case{"pu_single_number", "PU10;PD1,1;", "L0 SP1: 10,0 1,1\npages=1"},
        Case{"pu_leading_separators", "PU ,10 20;PD0,0;", "L0 SP1: 10,20 0,0\npages=1"},
        Case{"pd_empty_then_pd", "PD;PD10,10;", "L0 SP1: 0,0 10,10\npages=1"},
        Case{"pd_odd_count", "PD10,20,30;", "L0 SP1: 0,0 10,20\npages=1"},
        Case{"pd_trailing_x_keeps_point", "PU5,5;PD10,20,30;PU;PD1,1;", "L0 SP1: 5,5 10,20\nL0 SP1: 10,20 1,1\npages=1"},
        Case{"pr_relative", "PU100,100;PR;PD40,0,0,40;", "L0 SP1: 100,100 140,100 140,140\npages=1"},
        Case{"pr_trailing_x_keeps_origin", "PU100,100;PR;PD40,0,7;PD0,10;",
             "L0 SP1: 100,100 140,100 140,110\npages=1"},
        Case{"pa_pen_up_moves_only", "PA10,10,20,20;PD30,30;", "L0 SP1: 20,20 30,30\npages=1"},
        Case{"pa_ends_relative", "PU100,100;PR;PA;PD5,5;", "L0 SP1: 100,100 5,5\npages=1"},
        Case{"pa_pen_down_appends", "PD;PA10,0,10,10;", "L0 SP1: 0,0 10,0 10,10\npages=1"},
        Case{"numbers_fractions_signs", "PD12.5,-3,+.5,7.;", "L0 SP1: 0,0 12.5,-3 0.5,7\npages=1"},
        Case{"exponent_ends_list", "PD1e3,5;PD7,7;", "L0 SP1: 0,0 7,7\npages=1"},
        Case{"line_breaks_inside_numbers", "PD1\r\n2,3\r\n;", "L0 SP1: 0,0 12,3\npages=1"},
        Case{"mnemonic_inside_text", "xxPD10,10;", "L0 SP1: 0,0 10,10\npages=1"},
        Case{"lower_case_ignored", "sp1;pd10,10;PD5,5;", "L0 SP1: 0,0 5,5\npages=1"},
        Case{"high_bytes_skipped", "\xd0\xc4PD5,5;", "L0 SP1: 0,0 5,5\npages=1"},
        Case{"letter_ends_list_and_rescans", "PD10,10PU;PD20,20;", "L0 SP1: 0,0 10,10\nL0 SP1: 10,10 20,20\npages=1"},
        Case{"in_coordinates_follow_pen", "PD;IN;5,5;", "L0 SP1: 0,0 5,5\npages=1"},
        Case{"sp_commits_on_change", "PD5,5;SP2;PD6,6;SP2;PD7,7;",
             "L0 SP1: 0,0 5,5\nL0 SP2: 5,5 6,6 7,7\npages=1"},
        Case{"sp_empty_keeps_pen", "SP3;SP;PD1,1;", "L0 SP3: 0,0 1,1\npages=1"},
        Case{"sp_blank_is_pen_0", "SP ;PD1,1;", "L0 SP0: 0,0 1,1\npages=1"},
        Case{"lt_three_values", "LT2,1.5,1;PD1,1;LT2,1.5,1;PD2,2;LT;PD3,3;",
             "L0 SP1 LT2/1.5/1: 0,0 1,1 2,2\nL0 SP1: 2,2 3,3\npages=1"},
        Case{"ci_circle", "PU10,20;CI5,10;PD1,1;", "L0 SP1: 10,20 1,1\nC0 SP1 (10,20) 5\npages=1"},
        Case{"ci_without_radius", "CI;", "C0 SP1 (0,0) 0\npages=1"},
        Case{"label_default_terminator", "PU1,2;LBABC\x03PD;",
             "T0 SP1 (1,2) \"ABC\" DI0 SI15,15 DT3\npages=1"},
        Case{"label_dt", "DT!;LBABC!", "T0 SP1 (0,0) \"ABC\" DI0 SI15,15 DT33\npages=1"},
        Case{"label_semicolon_ends", "LBA;B", "T0 SP1 (0,0) \"A\" DI0 SI15,15 DT3\npages=1"},
        Case{"label_keeps_line_breaks", "LBA\r\nB\x03", "T0 SP1 (0,0) \"A\r\nB\" DI0 SI15,15 DT3\npages=1"},
        Case{"label_at_end_of_file", "LBtail", "T0 SP1 (0,0) \"tail\" DI0 SI15,15 DT3\npages=1"},
        Case{"empty_label_keeps_pen", "PD5,5;LB;PD6,6;", "L0 SP1: 0,0 5,5 6,6\npages=1"},
        Case{"label_keeps_its_terminator", "LBA\x03" "DT#;LBB#",
             "T0 SP1 (0,0) \"A\" DI0 SI15,15 DT3\nT0 SP1 (0,0) \"B\" DI0 SI15,15 DT35\npages=1"},
        Case{"dt_letter_unchanged", "DTA;LBX\x03", "T0 SP1 (0,0) \"X\" DI0 SI15,15 DT3\npages=1"},
        Case{"si_single_sets_height", "SI0.3;LBX;", "T0 SP1 (0,0) \"X\" DI0 SI15,0.3 DT3\npages=1"},
        Case{"si_two", "SI0.2,0.4;LBX;", "T0 SP1 (0,0) \"X\" DI0 SI0.2,0.4 DT3\npages=1"},
        Case{"di_zero_zero", "DI0,0;LBX;", "T0 SP1 (0,0) \"X\" DI0,0 SI15,15 DT3\npages=1"},
        Case{"di_single", "DI45;LBX;", "T0 SP1 (0,0) \"X\" DI45 SI15,15 DT3\npages=1"},
        Case{"pg_breaks_page", "PD1,1;PG;PD2,2;", "L0 SP1: 0,0 1,1\nL1 SP1: 1,1 2,2\npages=2"},
        Case{"pg_at_end_counts_page", "PD1,1;PG;", "L0 SP1: 0,0 1,1\npages=2"},
        Case{"nr_breaks_page", "PD1,1;NR;PD2,2;", "L0 SP1: 0,0 1,1\nL1 SP1: 1,1 2,2\npages=2"},
        Case{"pg_crlf_no_label_match", "PD1,1;PG\r\nPD2,2;", "L0 SP1: 0,0 1,1 2,2\npages=1"},
        Case{"aa_too_few_skips_letter", "PU10,0;AA5PD1,1;", "pages=1"},
        Case{"lo_ignored", "LO1;PD1,1;", "L0 SP1: 0,0 1,1\npages=1"},
        Case{"truncated_mnemonic_at_end", "PD1,1;P", "L0 SP1: 0,0 1,1\npages=1"},
        Case{"empty", "", "pages=1"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(Reader, DirectionAngles) {
  struct Row {
    const char* input;
    double angle;
  };
  const Row rows[] = {{"DI0,0;", 270}, {"DI0,5;", 90}, {"DI-3,0;", 180}, {"DI3,0;", 0},
                      {"DI1,1;", 45.000000770},  // atan2 with pi taken as 3.1415926
                      {"DI45;", 45}};
  for (const Row& r : rows) {
    Drawing d;
    PlotReader reader(d, {});
    ASSERT_TRUE(reader.scan(std::string(r.input) + "LBX;"));
    ASSERT_EQ(d.labels.size(), 1U) << r.input;
    EXPECT_NEAR(d.labels[0].angle, r.angle, 1e-8) << r.input;
  }
}

TEST(Reader, PageBreakByLabelFollowsFileType) {
  ReaderOptions byLabel;
  byLabel.fileType = 1;
  EXPECT_EQ(read("PD1,1;PG\r\nPD2,2;", byLabel), "L0 SP1: 0,0 1,1\nL1 SP1: 1,1 2,2\npages=2");
  byLabel.fileType = 3;
  EXPECT_EQ(read("PD1,1;NR PD2,2;", byLabel), "L0 SP1: 0,0 1,1\nL1 SP1: 1,1 2,2\npages=2");
  // A text that is no part of the label list waits for ";".
  byLabel.splitLabel = "PG;";
  EXPECT_EQ(read("PD1,1;PG1PD2,2;", byLabel), "L0 SP1: 0,0 1,1 2,2\npages=1");
}

TEST(Reader, ScaleAppliesToCoordinatesCentresAndRadii) {
  ReaderOptions o;
  o.scale = 0.5;
  EXPECT_EQ(read("PU10,20;CI8;PD4,4;SI2,2;LBX;", o),
            "L0 SP1: 5,10 2,2\nC0 SP1 (5,10) 4\nT0 SP1 (2,2) \"X\" DI0 SI2,2 DT3\npages=1");
}

TEST(Reader, AutoLinkClosesNearlyClosedPolylines) {
  ReaderOptions o;
  o.autoLink = true;
  o.minDistanceClose = 2;
  EXPECT_EQ(read("PD10,0,10,10,1,1;PU;PD50,50;", o),
            "L0 SP1 closed: 0,0 10,0 10,10 1,1 0,0\nL0 SP1: 1,1 50,50\npages=1");
}

TEST(Reader, ArcOfNinetyDegreesHasTwoDegreeSteps) {
  Drawing d;
  PlotReader reader(d, {});
  ASSERT_TRUE(reader.scan("PU100,0;PD;AA0,0,90;PU;"));
  ASSERT_EQ(d.polylines.size(), 1U);
  const auto& v = d.polylines[0].vertices;
  // The current point from PD, the arc start, 44 intermediate points and the end.
  ASSERT_EQ(v.size(), 47U);
  EXPECT_NEAR(v[1].x, 100, 1e-3);
  EXPECT_NEAR(v[1].y, 0, 1e-3);
  EXPECT_NEAR(v[2].x, 100 * std::cos(0.034906599670648575), 1e-9);
  EXPECT_NEAR(v[46].x, 0, 1e-3);
  EXPECT_NEAR(v[46].y, 100, 1e-3);
}

TEST(Reader, ArcEdgeCases) {
  struct Row {
    const char* input;
    size_t vertices;
    Point last;
  };
  const Row rows[] = {
      // Negative sweep: built from the far end, appended in reverse, ending at 270 degrees.
      {"PU100,0;AA0,0,-90;PU;", 46, {0, -100}},
      // Zero radius: start and end vertex at the centre.
      {"PU5,5;AA5,5,90;PU;", 2, {5, 5}},
      // Two numbers: no sweep, start and end vertex at the current point.
      {"PU100,0;AA0,0;PU;", 2, {100, 0}},
      // A sweep beyond one turn is clamped to one full circle.
      {"PU100,0;AA0,0,1e9;PU;", 2, {99.985, 1.745}},  // "e" ends the list: the sweep is 1
      {"PU100,0;AA0,0,99999999;PU;", 181, {100, 0}},
  };
  for (const Row& r : rows) {
    Drawing d;
    PlotReader reader(d, {});
    ASSERT_TRUE(reader.scan(r.input)) << r.input;
    ASSERT_EQ(d.polylines.size(), 1U) << r.input;
    const auto& v = d.polylines[0].vertices;
    EXPECT_EQ(v.size(), r.vertices) << r.input;
    EXPECT_NEAR(v.back().x, r.last.x, 1e-2) << r.input;
    EXPECT_NEAR(v.back().y, r.last.y, 1e-2) << r.input;
  }
}

TEST(Reader, UnsafeCoordinatesFailTheRead) {
  const char* inputs[] = {"PD2000000000000,0;", "PU0,-1000000000001;", "PU1;PR;PD999999999999,0,999999999999,0;",
                          "PU999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                          "9999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                          "9999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                          "99999999999999999999999999999999999999999999999999999999999999999999999,0;",
                          "AA1e13,0,0;AA2000000000000,0,90;", "CI2000000000000;"};
  for (const char* in : inputs) {
    Drawing d;
    PlotReader reader(d, {});
    Status st = reader.scan(in);
    EXPECT_FALSE(st) << in;
    EXPECT_NE(st.error().find("coordinate"), std::string::npos) << st.error();
  }
  Drawing d;
  PlotReader reader(d, {});
  EXPECT_TRUE(reader.scan("PD1000000000000,-1000000000000;"));
}

TEST(Reader, ProgressIsPercentAndCanCancel) {
  std::string input;
  for (int i = 0; i < 5000; ++i) input += "PU0,0;PD10,10;";
  Drawing d;
  PlotReader reader(d, {});
  std::vector<int> seen;
  ASSERT_TRUE(reader.scan(input, [&](int p) {
    seen.push_back(p);
    return true;
  }));
  ASSERT_FALSE(seen.empty());
  EXPECT_LE(seen.size(), 102U);
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  Status st = reader.scan(input, [](int p) { return p < 50; });
  EXPECT_FALSE(st);
  EXPECT_NE(st.error().find("cancel"), std::string::npos);
}

TEST(Reader, LoadFileFailsForMissingOrEmptyFile) {
  test::TempDir dir;
  ASSERT_TRUE(writeFileAtomic(dir.file("empty.plt"), ""));
  ASSERT_TRUE(writeFileAtomic(dir.file("one.plt"), "PD1,1;"));
  Drawing d;
  PlotReader reader(d, {});
  EXPECT_FALSE(reader.loadFile(dir.file("missing.plt")));
  EXPECT_FALSE(reader.loadFile(dir.file("empty.plt")));
  EXPECT_TRUE(d.empty());
  EXPECT_TRUE(reader.loadFile(dir.file("one.plt")));
  EXPECT_EQ(d.polylines.size(), 1U);
}

TEST(Reader, CommitWithExplicitHeader) {
  Drawing d;
  PlotReader reader(d, {});
  ASSERT_TRUE(reader.scan("SP4;"));
  PrimitiveHeader h;
  h.page = 2;
  h.pen = 7;
  reader.pendingVertices() = {{0, 0}, {1, 1}};
  reader.commit(h);
  reader.pendingVertices() = {{5, 5}};  // a single vertex is never stored
  reader.commit();
  EXPECT_EQ(dump(d), "L2 SP7: 0,0 1,1\npages=2");
}

}  // namespace
}  // namespace plotdesk::engine
