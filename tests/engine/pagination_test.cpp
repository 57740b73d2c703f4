#include "engine/pagination.h"

#include <gtest/gtest.h>

#include "tests/engine/drawing_dump.h"

namespace plotdesk::engine {
namespace {

using test::dump;
using test::read;
using Dump = std::vector<std::string>;

TEST(Pagination, CoordinateDivision) {
  struct Row {
    const char* name;
    const char* plot;
    PageSize size;  // mm: L = length * 40, W = width * 40
    int pageCount;
    Dump expected;
  };
  const Row rows[] = {
      {"a line over three strips", "PU0,100;PD100000,100;", {1000, 1000}, 3,
       {"p0 s1 0,100 40000,100", "p1 s1 0,100 40000,100", "p2 s1 0,100 20000,100"}},
      {"shared vertices appear twice", "PU10,10;PD20,10,30,20;", {1000, 1000}, 1,
       {"p0 s1 10,10 20,10 20,10 30,20"}},
      {"a segment leaving the band is clipped and ends its piece", "PU10,-40;PD10,400,10,100;", {1000, 5}, 1,
       {"p0 s1 10,0 10,200", "p0 s1 10,200 10,100"}},
      {"a segment above the band splits the polyline", "PU0,10;PD100,10,100,500,200,500,200,10,300,10;",
       {1000, 5}, 1,
       {"p0 s1 0,10 100,10 100,10 100,200", "p0 s1 200,200 200,10 200,10 300,10"}},
      {"a segment under the band disappears", "PU0,-10;PD100,-10;PU0,0;PD100,0;", {1000, 5}, 1,
       {"p0 s1 0,0 100,0"}},
      {"going left closes at 0 and opens at L", "PU50000,7;PD30000,7;", {1000, 1000}, 2,
       {"p1 s1 10000,7 0,7", "p0 s1 40000,7 30000,7"}},
      {"anything left of 0 raises every page", "PU-100,10;PD100,10;CI5;", {1000, 1000}, 2,
       {"p0 s1 39900,10 40000,10", "p1 s1 0,10 100,10", "p1 s1 C 100,10 5"}},
      {"a circle goes to the strip of its centre", "PU90000,0;CI50000;", {1000, 1000}, 3,
       {"p2 s1 C 10000,0 50000"}},
      {"labels go to the strip of their position", "PU45000,-90;LBAB\x03;", {1000, 1}, 2,
       {"p1 s1 L 5000,-90 AB"}},
      {"input pages continue after the pages before", "PU0,10;PD50000,10;PG;PU0,10;PD50000,10;PG;PU0,10;PD10,10;",
       {1000, 1000}, 6,
       {"p0 s1 0,10 40000,10", "p1 s1 0,10 10000,10", "p2 s1 0,10 40000,10", "p3 s1 0,10 10000,10",
        "p5 s1 0,10 10,10"}},
      {"an empty input page reuses no page number", "PU0,10;PD130000,10;PG;PG;PU0,10;PD10,10;", {1000, 1000}, 6,
       {"p0 s1 0,10 40000,10", "p1 s1 0,10 40000,10", "p2 s1 0,10 40000,10", "p3 s1 0,10 10000,10",
        "p5 s1 0,10 10,10"}},
      {"headers are kept", "SP3;LT2,4,1;PU0,0;PD10,0;", {1000, 1000}, 1, {"p0 s3 0,0 10,0"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Drawing d = read(r.plot);
    ASSERT_TRUE(divideByCoordinates(d, r.size));
    EXPECT_EQ(dump(d), r.expected);
    EXPECT_EQ(d.pageCount, r.pageCount);
  }
  Drawing typed = read("SP3;LT2,4,1;PU0,0;PD10,0;");
  ASSERT_TRUE(divideByCoordinates(typed, {1000, 1000}));
  EXPECT_EQ(typed.polylines[0].header.linePattern, 2);
  EXPECT_EQ(typed.polylines[0].header.patternLength, 4.0F);
  EXPECT_EQ(typed.polylines[0].header.lineMode, 1);
}

TEST(Pagination, FileTypes) {
  const char* plot = "PU0,10;PD50000,10;PG;PU5,5;PD6,6;PG;CI3;";
  struct Row {
    int fileType;
    Dump expected;
  };
  const Row rows[] = {
      {5, {"p0 s1 0,10 50000,10", "p0 s1 5,5 6,6", "p0 s1 C 6,6 3"}},
      {1, {"p0 s1 0,10 50000,10", "p1 s1 5,5 6,6", "p2 s1 C 6,6 3"}},
      {3, {"p0 s1 0,10 50000,10", "p1 s1 5,5 6,6", "p2 s1 C 6,6 3"}},
      {0, {"p0 s1 0,10 40000,10", "p1 s1 0,10 10000,10", "p2 s1 5,5 6,6", "p4 s1 C 6,6 3"}},
      {2, {"p0 s1 0,10 40000,10", "p1 s1 0,10 10000,10", "p2 s1 5,5 6,6", "p4 s1 C 6,6 3"}},
      {4, {"p0 s1 0,10 40000,10", "p1 s1 0,10 10000,10", "p2 s1 5,5 6,6", "p4 s1 C 6,6 3"}},
  };
  for (const Row& r : rows) {
    Drawing d = read(plot);
    ASSERT_TRUE(paginateDrawing(d, r.fileType, {1000, 1000})) << r.fileType;
    EXPECT_EQ(dump(d), r.expected) << r.fileType;
  }
}

TEST(Pagination, RefusesTooManyPagesAndLeavesTheDrawing) {
  struct Row {
    const char* plot;
    PageSize size;
  };
  const Row rows[] = {
      {"PU0,0;PD400000,0;", {0.001, 1000}},    // 10 million strips
      {"PU0,0;CI1;PU400000,0;CI1;", {0.001, 1000}},
      {"PU0,0;PD1,0;", {1e-300, 1000}},        // strip numbers beyond any integer
      {"PU0,0;PD1000,0;", {0.0, 1000}},
  };
  for (const Row& r : rows) {
    Drawing d = read(r.plot);
    const Dump before = dump(d);
    Status st = divideByCoordinates(d, r.size);
    ASSERT_FALSE(st) << r.plot;
    EXPECT_NE(st.error().find("page"), std::string::npos) << st.error();
    EXPECT_EQ(dump(d), before);
  }
  // Exactly the most pages allowed is fine: strips 0..9998.
  Drawing edge = read("PU0,0;PD399959,0;");
  ASSERT_TRUE(divideByCoordinates(edge, {1, 1000}));
  EXPECT_EQ(edge.pageCount, kMaxPages);
  Drawing over = read("PU0,0;PD399959,0;PG;PU0,0;PD1,0;");  // a second input page needs page 10000
  EXPECT_FALSE(divideByCoordinates(over, {1, 1000}));
}

}  // namespace
}  // namespace plotdesk::engine
