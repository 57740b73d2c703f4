#include "engine/auto_link.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/engine/auto_link_oracle.h"
#include "tests/engine/drawing_dump.h"

namespace plotdesk::engine {
namespace {

using test::dump;
using test::plainLink;
using test::read;
using Dump = std::vector<std::string>;


TEST(AutoLink, Cases) {
  struct Row {
    const char* name;
    const char* plot;
    double tol;
    Dump expected;
  };
  const Row rows[] = {
      {"end meets start", "PU0,0;PD100,0;PU100,0;PD100,100;", 1, {"p0 s1 0,0 100,0 100,0 100,100"}},
      {"two halves of a square close a ring", "PU0,0;PD100,0,100,100;PU0,0;PD0,100,100,100;", 1,
       {"p0 s1c 0,0 100,0 100,100 100,100 0,100 0,0 0,0"}},
      {"start meets start: the partner goes in front reversed", "PU0,0;PD10,0;PU0,1;PD0,50;", 1,
       {"p0 s1 0,50 0,1 0,0 10,0"}},
      {"start meets end: the partner goes in front", "PU0,0;PD10,0;PU0,50;PD0,0.5;", 1,
       {"p0 s1 0,50 0,0.5 0,0 10,0"}},
      {"end meets end: appended reversed", "PU0,0;PD10,0;PU20,20;PD10,0;", 0, {"p0 s1 0,0 10,0 10,0 20,20"}},
      {"a partner before I is joined and I keeps its place",
       "PU50,50;PD60,60;PU5,5;PD6,6;PU0,0;PD5,5;", 0, {"p0 s1 50,50 60,60", "p0 s1 0,0 5,5 5,5 6,6"}},
      {"a passed partner is not tested again after I grows",
       "PU20,0;PD30,0;PU10,0;PD0,0;PU10,0;PD20,0;", 0, {"p0 s1 30,0 20,0 20,0 10,0 10,0 0,0"}},
      {"tolerance 0 needs exact ends", "PU0,0;PD10,0;PU10.001,0;PD20,0;", 0,
       {"p0 s1 0,0 10,0", "p0 s1 10.001,0 20,0"}},
      {"different pens never link", "SP1;PU0,0;PD10,0;SP2;PU10,0;PD20,0;", 1, {"p0 s1 0,0 10,0", "p0 s2 10,0 20,0"}},
      {"different line types never link", "PU0,0;PD10,0;LT2;PU10,0;PD20,0;", 1, {"p0 s1 0,0 10,0", "p0 s1 10,0 20,0"}},
      {"different pages never link", "PU0,0;PD10,0;PG;PU10,0;PD20,0;", 1, {"p0 s1 0,0 10,0", "p1 s1 10,0 20,0"}},
      {"a negative tolerance links nothing", "PU0,0;PD10,0;PU10,0;PD20,0;", -1, {"p0 s1 0,0 10,0", "p0 s1 10,0 20,0"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Drawing d = read(r.plot);
    linkPolylines(d.polylines, r.tol);
    EXPECT_EQ(dump(d), r.expected);
    Drawing plain = read(r.plot);
    plainLink(plain.polylines, r.tol);
    EXPECT_EQ(dump(plain), r.expected);
  }
  // A closed polyline is never extended, nor used as a partner.
  Drawing closed = read("PU0,0;PD10,0;PU10,0;PD20,0;");
  closed.polylines[0].header.closed = true;
  linkPolylines(closed.polylines, 1);
  EXPECT_EQ(dump(closed), (Dump{"p0 s1c 0,0 10,0", "p0 s1 10,0 20,0"}));
}

// Many small random drawings on a coarse lattice, so that ends coincide,
// several partners tie for one end and rings close: the indexed linking must
// give exactly the vertex lists of the plain scan.
TEST(AutoLink, MatchesThePlainScan) {
  std::mt19937 rng(20260504);
  const double tolerances[] = {0.0, 0.0001, 0.5, 1.0, 1.5, 2.3, 40.0};
  int linked = 0;
  int rings = 0;
  for (int round = 0; round < 4000; ++round) {
    const double tol = tolerances[rng() % std::size(tolerances)];
    const int lattice = 2 + static_cast<int>(rng() % 5);
    const double step = (rng() % 2) ? 1.0 : 0.75;  // steps near the tolerance make ties at the border
    std::vector<Polyline> lines(1 + rng() % 12);
    for (Polyline& p : lines) {
      p.header.pen = 1 + static_cast<int>(rng() % 2);
      p.header.page = (rng() % 6 == 0) ? 1 : 0;
      p.header.linePattern = (rng() % 8 == 0) ? 2 : 0;
      p.header.closed = rng() % 10 == 0;
      const std::size_t count = 2 + rng() % 3;
      for (std::size_t k = 0; k < count; ++k) {
        p.vertices.push_back({step * static_cast<double>(rng() % lattice), step * static_cast<double>(rng() % lattice)});
      }
    }
    std::vector<Polyline> fast = lines;
    std::vector<Polyline> plain = lines;
    linkPolylines(fast, tol);
    plainLink(plain, tol);
    ASSERT_EQ(fast.size(), plain.size()) << "round " << round;
    for (std::size_t k = 0; k < fast.size(); ++k) {
      ASSERT_EQ(test::dump(fast[k]), test::dump(plain[k])) << "round " << round << " polyline " << k;
      ASSERT_EQ(fast[k].vertices, plain[k].vertices) << "round " << round << " polyline " << k;
    }
    linked += fast.size() < lines.size();
    for (const Polyline& p : fast) rings += p.header.closed;
  }
  // The random drawings really exercise joins and rings.
  EXPECT_GT(linked, 2000);
  EXPECT_GT(rings, 1000);
}

// Crowded ends (a tolerance large against the drawing, hundreds of ends
// near each other) still give exactly the plain scan's result.
TEST(AutoLink, CrowdedEndsMatchThePlainScan) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    std::vector<Polyline> lines(400);
    for (Polyline& p : lines) {
      p.header.pen = 1 + static_cast<int>(rng() % 3);
      for (int k = 0; k < 2; ++k) p.vertices.push_back({double(rng() % 40), double(rng() % 40)});
    }
    std::vector<Polyline> plain = lines;
    linkPolylines(lines, 3.0 + round * 4);
    plainLink(plain, 3.0 + round * 4);
    ASSERT_EQ(lines.size(), plain.size()) << round;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      ASSERT_EQ(test::dump(lines[k]), test::dump(plain[k])) << round << " " << k;
      ASSERT_EQ(lines[k].vertices, plain[k].vertices) << round << " " << k;
    }
  }
}

// Large coordinates and tolerances beyond any drawing still find every partner.
TEST(AutoLink, ExtremeScales) {
  struct Row {
    double x;
    double tol;
  };
  const Row rows[] = {{9.9e11, 0.0}, {-9.9e11, 3.0}, {123.0, 1e300}, {5.0, std::numeric_limits<double>::infinity()}};
  for (const Row& r : rows) {
    std::vector<Polyline> lines(3);
    lines[0].vertices = {{r.x, 0}, {r.x + 1, 0}};
    lines[1].vertices = {{r.x + 1, 0}, {r.x + 2, 0}};
    lines[2].vertices = {{r.x + 2, 5}, {r.x + 9, 5}};
    std::vector<Polyline> plain = lines;
    linkPolylines(lines, r.tol);
    plainLink(plain, r.tol);
    ASSERT_EQ(lines.size(), plain.size()) << r.x;
    for (std::size_t k = 0; k < lines.size(); ++k) EXPECT_EQ(lines[k].vertices, plain[k].vertices) << r.x;
  }
}

}  // namespace
}  // namespace plotdesk::engine
