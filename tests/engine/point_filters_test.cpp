#include "engine/point_filters.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

using Points = std::vector<Point>;

std::string text(const Points& v) {
  std::string out;
  for (const Point& p : v) out += (out.empty() ? "" : " ") + formatGeneral(p.x) + "," + formatGeneral(p.y);
  return out;
}

Drawing oneLine(const Points& v) {
  Drawing d;
  d.polylines.push_back({PrimitiveHeader{}, v});
  return d;
}

// ---- circle conversion ------------------------------------------------------

TEST(CircleConversion, StepFollowsTheRadius) {
  struct Case {
    double radius;
    size_t vertices;
  } cases[] = {
      {4000, 361},  // 1 degree steps
      {9.2, 361},   // from about 9.2 units upwards the step is 1 degree
      {9, 356},     // 1/(2 pi 9) rad: 355 steps
      {5, 198},     // 1/(2 pi 5) rad: 197 steps
      {0, 2},       // no intermediate points
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radius);
    Drawing d;
    PlotReader reader(d, ReaderOptions{});
    d.circles.push_back({PrimitiveHeader{ElementKind::Circle, 2, 7}, 100, 200, c.radius});
    circlesToPolylines(reader);
    EXPECT_TRUE(d.circles.empty());
    ASSERT_EQ(d.polylines.size(), 1U);
    const Polyline& p = d.polylines[0];
    EXPECT_EQ(p.header.kind, ElementKind::Polyline);
    EXPECT_EQ(p.header.page, 2);
    EXPECT_EQ(p.header.pen, 7);
    EXPECT_FALSE(p.header.closed);
    ASSERT_EQ(p.vertices.size(), c.vertices);
    EXPECT_EQ(p.vertices.front(), (Point{100 + c.radius, 200}));
    EXPECT_NEAR(p.vertices.back().x, 100 + c.radius, 1e-5 * c.radius);
    EXPECT_NEAR(p.vertices.back().y, 200, 1e-5 * c.radius);
  }
}

TEST(CircleConversion, CommitsPendingFirstAndClosesThroughLinking) {
  Drawing d;
  ReaderOptions o;
  o.autoLink = true;
  o.minDistanceClose = 1.0;
  PlotReader reader(d, o);
  reader.pendingVertices() = {{0, 0}, {10, 0}};
  d.circles.push_back({PrimitiveHeader{ElementKind::Circle}, 0, 0, 4000});
  circlesToPolylines(reader);
  ASSERT_EQ(d.polylines.size(), 2U);
  EXPECT_EQ(text(d.polylines[0].vertices), "0,0 10,0");
  EXPECT_TRUE(d.polylines[1].header.closed);
  ASSERT_EQ(d.polylines[1].vertices.size(), 362U);
  EXPECT_EQ(d.polylines[1].vertices.back(), (Point{4000, 0}));
}

// ---- sawtooth removal -------------------------------------------------------

TEST(SawtoothRemoval, Cases) {
  struct Case {
    const char* what;
    Points in;
    const char* out;
  } cases[] = {
      {"0.005 mm off a straight run", {{0, 0}, {0.2, 400}, {0, 800}, {400, 800}, {400, 1200}},
       "0,0 0,800 400,800 400,1200"},
      {"0.064 mm spike between two 0.08 mm segments", {{0, 0}, {40, 0}, {41.92, 2.56}, {43.84, 0}, {43.84, 40}},
       "0,0 40,0 43.84,0 43.84,40"},
      {"corners of a 1 mm square stay", {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}}, "0,0 40,0 40,40 0,40 0,0"},
      {"a segment of at most 0.01 mm", {{0, 0}, {0.2, 0}, {40, 0}, {40, 40}, {80, 40}}, "0,0 40,0 40,40 80,40"},
      {"the last vertex stays", {{0, 0}, {40, 0}, {40, 40}, {80, 40}, {80, 40.2}}, "0,0 40,0 40,40 80,40.2"},
      {"collinear vertices go", {{0, 0}, {0, 400}, {0, 800}, {0, 1200}, {0, 1600}}, "0,0 0,1600"},
      {"a spike back to its start", {{0, 0}, {40, 0}, {41, 1}, {40, 0}, {40, 40}}, "0,0 40,0 40,40"},
      {"four vertices are left alone", {{0, 0}, {0.1, 0}, {0.2, 0}, {40, 0}}, "0,0 0.1,0 0.2,0 40,0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d = oneLine(c.in);
    removeSawtooth(d);
    EXPECT_EQ(text(d.polylines[0].vertices), c.out);
  }
}

// ---- point deletion ---------------------------------------------------------

Points run(int count, double dx, double dy) {
  Points v;
  for (int k = 0; k < count; ++k) v.push_back({k * dx, k * dy});
  return v;
}

TEST(PointDeletion, Cases) {
  struct Case {
    const char* what;
    Points in;
    int interval;
    const char* out;
  } cases[] = {
      {"every third vertex of a run", run(11, 0, 4), 3, "0,0 0,12 0,24 0,36 0,40"},
      // atan(dx/dy) of a horizontal step is pi/2, a turn from the initial 0;
      // the counter's last vertex is written once.
      {"horizontal run", run(8, 4, 0), 3, "0,0 4,0 16,0 28,0"},
      {"counter reaches the last vertex", run(7, 0, 4), 3, "0,0 0,12 0,24"},
      {"long segments stay", run(5, 0, 400), 3, "0,0 0,400 0,800 0,1200 0,1600"},
      {"a turn writes the vertex before it", {{0, 0}, {0, 4}, {0, 8}, {0, 12}, {4, 12}, {4, 16}}, 5,
       "0,0 0,12 4,12 4,16"},
      {"four vertices are left alone", run(4, 0, 4), 3, "0,0 0,4 0,8 0,12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d = oneLine(c.in);
    deletePoints(d, DeletePointSettings{c.interval, 5.0, 5.0});
    EXPECT_EQ(text(d.polylines[0].vertices), c.out);
  }
}

// ---- point addition ---------------------------------------------------------

// Three vertices: a 10 mm segment along X, then a 10 mm segment turning by `turnDeg`.
Points bend(double turnDeg, double firstLength = 400) {
  double a = turnDeg * 3.14159265358979 / 180;
  return {{0, 0}, {firstLength, 0}, {firstLength + 400 * std::cos(a), 400 * std::sin(a)}};
}

TEST(PointAddition, AddsTheArcMidpointBetweenTheFirstTwoVertices) {
  Drawing d = oneLine(bend(5));
  addPoints(d, AddPointSettings{});
  const Points& v = d.polylines[0].vertices;
  ASSERT_EQ(v.size(), 4U);
  // Circle through the three points: centre (200, cy), radius R.
  double r = 400 / (2 * std::sin(2.5 * 3.14159265358979 / 180));
  double cy = std::sqrt(r * r - 200 * 200);
  EXPECT_NEAR(v[1].x, 200, 1e-3);
  EXPECT_NEAR(v[1].y, cy - r, 1e-3);
  EXPECT_EQ(v[0], bend(5)[0]);
  EXPECT_EQ(v[2], bend(5)[1]);
  EXPECT_EQ(v[3], bend(5)[2]);
}

TEST(PointAddition, CasesWithoutAnAddedVertex) {
  struct Case {
    const char* what;
    Points in;
    AddPointSettings settings;
    size_t vertices;
  } cases[] = {
      {"two vertices", {{0, 0}, {400, 30}}, {}, 2},
      {"turn below the minimum", bend(1), {}, 3},
      {"turn above the maximum", bend(15), {}, 3},
      {"previous segment too short", bend(5, 160), {}, 3},
      {"previous segment too long", bend(5, 1000), {}, 3},
      {"horizontal segment", {{0, 34.86}, {398.48, 0}, {798.48, 0}}, {}, 3},
      {"vertical segment", {{0, 0}, {34.86, 398.48}, {34.86, 798.48}}, {}, 3},
      // A reversal passes a wide angle window, but three collinear points
      // leave no circle (zero denominator): nothing is added.
      {"collinear reversal", {{0, 0}, {300, 400}, {-300, -400}}, {1, 5, 20, 170, 200}, 3},
      {"no passes", bend(5), {0, 5, 20, 2, 10}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d = oneLine(c.in);
    addPoints(d, c.settings);
    EXPECT_EQ(d.polylines[0].vertices, c.in);
    EXPECT_EQ(d.polylines[0].vertices.size(), c.vertices);
  }
}

TEST(PointAddition, RepeatedVerticesAreReducedButNotBelowTwo) {
  Drawing d;
  d.polylines.push_back({{}, {{0, 0}, {0, 0}, {400, 30}, {400, 30}}});
  d.polylines.push_back({{}, {{5, 5}, {5, 5}, {5, 5}}});
  addPoints(d, AddPointSettings{});
  EXPECT_EQ(text(d.polylines[0].vertices), "0,0 400,30");
  EXPECT_EQ(text(d.polylines[1].vertices), "5,5 5,5");
}

TEST(PointAddition, PassesRunOnTheOutputOfThePreviousPass) {
  Points arc;
  for (int k = 0; k < 6; ++k) {
    double a = k * 5 * 3.14159265358979 / 180;
    arc.push_back({4584.6 * std::sin(a), 4584.6 * (1 - std::cos(a))});
  }
  Drawing once = oneLine(arc);
  addPoints(once, AddPointSettings{});
  Drawing twice = once;
  addPoints(twice, AddPointSettings{});
  Drawing both = oneLine(arc);
  addPoints(both, AddPointSettings{2, 5, 20, 2, 10});
  EXPECT_GT(once.polylines[0].vertices.size(), arc.size());
  EXPECT_GT(twice.polylines[0].vertices.size(), once.polylines[0].vertices.size());
  EXPECT_EQ(both.polylines[0].vertices, twice.polylines[0].vertices);

  // A pass that would exceed the vertex cap is not applied, nor any after it.
  Drawing capped = oneLine(arc);
  AddPointSettings s{50, 5, 20, 2, 10};
  s.maxVertices = once.polylines[0].vertices.size();
  addPoints(capped, s);
  EXPECT_EQ(capped.polylines[0].vertices, once.polylines[0].vertices);

  // Passes that add nothing end the work at once, however many are asked for.
  Drawing still = oneLine(run(5, 0, 400));
  addPoints(still, AddPointSettings{INT_MAX, 5, 20, 2, 10});
  EXPECT_EQ(still.polylines[0].vertices, run(5, 0, 400));
}

}  // namespace
}  // namespace plotdesk::engine
