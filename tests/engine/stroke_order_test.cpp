#include <gtest/gtest.h>

#include <cmath>

#include "engine/pen_order.h"
#include "engine/vcut.h"
#include "tests/engine/drawing_dump.h"

namespace plotdesk::engine {
namespace {

using test::dump;
using test::read;
using Dump = std::vector<std::string>;

TEST(PenOrder, Cases) {
  const char* plot =
      "SP1;PU0,0;PD1,1;SP2;PU0,0;PD2,2;SP3;PU0,0;PD3,3;CI5;SP1;PU0,0;PD4,4;LBA\x03;PG;"
      "SP2;PU0,0;PD5,5;SP1;PU0,0;PD6,6;";
  struct Row {
    const char* name;
    std::array<int, 8> pens;
    bool newFile;
    int pageCount;
    Dump expected;
  };
  const Row rows[] = {
      {"slots in their own order", {1, 2, 3, 4, 5, 6, 7, 8}, false, 2,
       {"p0 s1 0,0 1,1", "p0 s1 0,0 4,4", "p0 s2 0,0 2,2", "p0 s3 0,0 3,3", "p1 s1 0,0 6,6", "p1 s2 0,0 5,5",
        "p0 s3 C 3,3 5", "p0 s1 L 4,4 A"}},
      {"pen 3 first, then pen 1; pen 2 is dropped", {3, 1, 0, 0, 0, 0, 0, 0}, false, 2,
       {"p0 s3 0,0 3,3", "p0 s1 0,0 1,1", "p0 s1 0,0 4,4", "p1 s1 0,0 6,6", "p0 s3 C 3,3 5", "p0 s1 L 4,4 A"}},
      {"a pen in two slots goes with the first", {2, 1, 2, 0, 0, 0, 0, 0}, false, 2,
       {"p0 s2 0,0 2,2", "p0 s1 0,0 1,1", "p0 s1 0,0 4,4", "p1 s2 0,0 5,5", "p1 s1 0,0 6,6", "p0 s1 L 4,4 A"}},
      {"one file per page and pen", {1, 2, 3, 4, 5, 6, 7, 8}, true, 5,
       {"p0 s1 0,0 1,1", "p0 s1 0,0 4,4", "p1 s2 0,0 2,2", "p2 s3 0,0 3,3", "p3 s1 0,0 6,6", "p4 s2 0,0 5,5",
        "p2 s3 C 3,3 5", "p0 s1 L 4,4 A"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Drawing d = read(plot);
    ASSERT_EQ(d.pageCount, 2);
    orderByPen(d, r.pens, r.newFile);
    EXPECT_EQ(dump(d), r.expected);
    EXPECT_EQ(d.pageCount, r.pageCount);
  }
  // A one-page drawing with pens 1 and 2 becomes two files.
  Drawing two = read("SP2;PU0,0;PD1,1;SP1;PU0,0;PD2,2;");
  orderByPen(two, {1, 2, 3, 4, 5, 6, 7, 8}, true);
  EXPECT_EQ(dump(two), (Dump{"p0 s1 0,0 2,2", "p1 s2 0,0 1,1"}));
  EXPECT_EQ(two.pageCount, 2);
}

TEST(VCut, Cases) {
  struct Row {
    const char* name;
    const char* plot;
    double front;  // plotter units
    double end;
    Dump expected;
  };
  const std::array<bool, 8> pens{false, true, false, false, false, false, false, false};  // pen 2 only
  const Row rows[] = {
      {"horizontal", "SP2;PU0,0;PD400,0;", 40, 40, {"p0 s2 40,0 360,0"}},
      {"horizontal leftwards", "SP2;PU400,0;PD0,0;", 40, 20, {"p0 s2 360,0 20,0"}},
      {"vertical up and down", "SP2;PU0,0;PD0,400,0,0;", 10, 30, {"p0 s2 0,10 0,370", "p0 s2 0,390 0,30"}},
      {"too short keeps the segment", "SP2;PU0,0;PD60,0;", 40, 40, {"p0 s2 0,0 60,0"}},
      {"slanted: the square root of offset over m^2 + 1", "SP2;PU0,0;PD400,400;", 40, 40,
       {"p0 s2 4.47214,4.47214 395.528,395.528"}},
      {"slanted leftwards", "SP2;PU400,0;PD0,400;", 40, 40, {"p0 s2 395.528,4.47214 4.47214,395.528"}},
      {"negative offsets count as 0", "SP2;PU0,0;PD400,400;PU0,0;PD100,0;", -40, -40,
       {"p0 s2 0,0 400,400", "p0 s2 0,0 100,0"}},
      {"a rectangle becomes four strokes after the other pens", "SP2;PU0,0;PD100,0,100,50,0,50,0,0;SP1;PU1,1;PD2,2;",
       0, 0, {"p0 s1 1,1 2,2", "p0 s2 0,0 100,0", "p0 s2 100,0 100,50", "p0 s2 100,50 0,50", "p0 s2 0,50 0,0"}},
      {"other pens are untouched", "SP3;PU0,0;PD400,0,400,400;", 40, 40, {"p0 s3 0,0 400,0 400,400"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Drawing d = read(r.plot);
    applyVCut(d.polylines, pens, r.front, r.end);
    EXPECT_EQ(dump(d), r.expected);
    for (const Polyline& p : d.polylines) {
      for (const Point& v : p.vertices) EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
    }
  }
}

}  // namespace
}  // namespace plotdesk::engine
