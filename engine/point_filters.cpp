#include "engine/point_filters.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plotdesk::engine {
namespace {

constexpr double kMmPerUnit = 0.025;
constexpr double kRadPerDegree = 0.017453;  // the filters' own, coarser degree factor
constexpr double kPi = 3.1415926;

// atan(dx / dy) as IEEE arithmetic gives it, without dividing by zero: a
// vertical direction is +-pi/2 and a zero-length segment has no direction (NaN),
// so every comparison with it is false.
double slopeAngle(double dx, double dy) {
  if (dy != 0.0) return std::atan(dx / dy);
  if (dx > 0.0) return std::atan(std::numeric_limits<double>::infinity());
  if (dx < 0.0) return -std::atan(std::numeric_limits<double>::infinity());
  return std::numeric_limits<double>::quiet_NaN();
}

double lengthMm(const Point& a, const Point& b) {
  double dx = (b.x - a.x) * kMmPerUnit;
  double dy = (b.y - a.y) * kMmPerUnit;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

void circlesToPolylines(PlotReader& reader) {
  reader.commit();
  reader.penUp();
  Drawing& drawing = reader.drawing();
  std::vector<Circle> circles = std::move(drawing.circles);
  drawing.circles.clear();
  constexpr double kTwoPiStep = 6.2831852;  // for the step from the radius
  constexpr double kFullTurn = 6.283188;    // the end angle
  constexpr double kMinStep = 0.0174533;    // 1 degree
  for (const Circle& c : circles) {
    const double r = c.radius;
    std::vector<Point>& v = reader.pendingVertices();
    v.clear();
    if (r == 0.0) {
      // The step would be infinite: no intermediate points, start and end coincide.
      v.push_back({c.cx, c.cy});
      v.push_back({c.cx, c.cy});
    } else {
      const double step = std::max(1.0 / (kTwoPiStep * r), kMinStep);
      const long n = static_cast<long>(std::floor(kFullTurn / step + 0.5));  // step >= 1 degree, so n <= 360
      v.reserve(static_cast<size_t>(n) + 1);
      v.push_back({c.cx + r, c.cy});
      for (long k = 1; k < n; ++k) {
        double a = static_cast<double>(k) * step;
        v.push_back({c.cx + r * std::cos(a), c.cy + r * std::sin(a)});
      }
      v.push_back({c.cx + r * std::cos(kFullTurn), c.cy + r * std::sin(kFullTurn)});
    }
    PrimitiveHeader h = c.header;
    h.kind = ElementKind::Polyline;
    reader.commit(h);
  }
}

void removeSawtooth(Drawing& drawing) {
  for (Polyline& line : drawing.polylines) {
    std::vector<Point>& v = line.vertices;
    if (v.size() < 5) continue;
    // Vertices are removed in place by compaction: out[0..w) is the kept
    // prefix, whose last element is the window's P0; v[r] is P1.
    size_t w = 1;  // P0 = v[0]
    size_t r = 1;
    const size_t n = v.size();
    while (r + 1 < n) {  // the window needs P2: the walk ends when P0 is the last but one
      const Point& p0 = v[w - 1];
      const Point& p1 = v[r];
      const Point& p2 = v[r + 1];
      const double x0 = p0.x * kMmPerUnit, y0 = p0.y * kMmPerUnit;
      const double x1 = p1.x * kMmPerUnit, y1 = p1.y * kMmPerUnit;
      const double x2 = p2.x * kMmPerUnit, y2 = p2.y * kMmPerUnit;
      const double d01 = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
      const double d12 = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
      bool drop;
      if (d01 <= 0.01 || d12 <= 0.01) {
        drop = true;
      } else {
        const double base = std::sqrt((x2 - x0) * (x2 - x0) + (y2 - y0) * (y2 - y0));
        const double cross = std::fabs((x2 - x0) * (y0 - y1) - (x0 - x1) * (y2 - y0));
        // P0 == P2 leaves no line: S is NaN and only the segment lengths decide.
        const double s = base != 0.0 ? cross / base : std::numeric_limits<double>::quiet_NaN();
        const double turn = std::fabs(slopeAngle(x2 - x0, y2 - y0) - slopeAngle(x1 - x0, y1 - y0));
        if (turn <= 0.001 && s <= 0.01) {
          drop = true;  // P1 lies on the line
        } else {
          drop = !(d01 > 0.1 || d12 > 0.1 || s > 0.1);  // a spike of at most 0.1 mm
        }
      }
      if (drop) {
        ++r;  // the same window position is tested again with the next vertex as P1
      } else {
        v[w++] = v[r++];
      }
    }
    while (r < n) v[w++] = v[r++];
    v.resize(w);
  }
}

void deletePoints(Drawing& drawing, const DeletePointSettings& settings) {
  const double minTurn = settings.minAngle * kRadPerDegree;
  std::vector<Point> out;
  for (Polyline& line : drawing.polylines) {
    const std::vector<Point>& v = line.vertices;
    const size_t n = v.size();
    if (n < 5) continue;
    out.clear();
    out.push_back(v[0]);
    size_t lastWritten = 0;  // input index of the last vertex written
    int count = 0;
    double previous = 0.0;
    for (size_t i = 1; i < n; ++i) {
      const double dx = v[i].x - v[i - 1].x;
      const double dy = v[i].y - v[i - 1].y;
      const double direction = slopeAngle(dx, dy);
      if (lengthMm(v[i - 1], v[i]) >= settings.minLength || std::fabs(direction - previous) >= minTurn) {
        if (lastWritten != i - 1) out.push_back(v[i - 1]);
        out.push_back(v[i]);
        lastWritten = i;
        count = 0;
      } else {
        ++count;
        if (count == settings.intervalPoints) {
          out.push_back(v[i]);
          lastWritten = i;
          count = 0;
        }
        // The last vertex always ends the line, but only once.
        if (i == n - 1 && lastWritten != i) {
          out.push_back(v[i]);
          lastWritten = i;
        }
      }
      previous = direction;
    }
    line.vertices.assign(out.begin(), out.end());
  }
}

namespace {

// The vertex added between B and C: on the circle through A, B and C, half way
// (by angle) between A and B. None when the three points leave no circle (a
// zero denominator) or the result is not a usable coordinate.
bool arcVertex(const Point& a, const Point& b, const Point& c, Point& out) {
  const double s = b.x * b.x + b.y * b.y;
  double cx;
  if (b.y == a.y) {
    cx = (a.x + b.x) / 2;
  } else if (b.y == c.y) {
    cx = (a.x + c.x) / 2;
  } else {
    const double t1 = (s - a.x * a.x - a.y * a.y) / (2 * (b.y - a.y));
    const double t2 = (s - c.x * c.x - c.y * c.y) / (2 * (b.y - c.y));
    const double t3 = (b.x - a.x) / (b.y - a.y) - (b.x - c.x) / (b.y - c.y);
    if (t3 == 0.0) return false;
    cx = (t1 - t2) / t3;
  }
  double cy;
  if (b.x == a.x) {
    cy = (a.y + b.y) / 2;
  } else if (b.x == c.x) {
    cy = (a.y + c.y) / 2;
  } else {
    const double u1 = (s - a.x * a.x - a.y * a.y) / (2 * (b.x - a.x));
    const double u2 = (s - c.x * c.x - c.y * c.y) / (2 * (b.x - c.x));
    const double u3 = (b.y - a.y) / (b.x - a.x) - (b.y - c.y) / (b.x - c.x);
    if (u3 == 0.0) return false;
    cy = (u1 - u2) / u3;
  }
  const double r = std::hypot(a.x - cx, a.y - cy);
  double phi = (std::atan2(a.y - cy, a.x - cx) + std::atan2(b.y - cy, b.x - cx)) / 2;
  Point x{cx + r * std::cos(phi), cy + r * std::sin(phi)};
  if (std::hypot(x.x - a.x, x.y - a.y) > r) {
    phi += kPi;
    x = {cx + r * std::cos(phi), cy + r * std::sin(phi)};
  }
  if (!(std::fabs(x.x) <= PlotReader::kMaxCoordinate && std::fabs(x.y) <= PlotReader::kMaxCoordinate)) return false;
  out = x;
  return true;
}

// One pass; returns the number of vertices added.
size_t addPointsPass(const std::vector<Point>& p, std::vector<Point>& out, const AddPointSettings& st) {
  const double minTurn = st.minAngle * kRadPerDegree;
  const double maxTurn = st.maxAngle * kRadPerDegree;
  const size_t n = p.size();
  out.clear();
  out.reserve(2 * n);
  out.push_back(p[0]);
  size_t added = 0;
  double prevLength = 0.0;  // |s(i-1)|, 0 for s(0)
  double prevTheta = 0.0;   // theta(i-1), 0 for theta(0)
  for (size_t i = 1; i < n; ++i) {
    const double dx = p[i].x - p[i - 1].x;
    const double dy = p[i].y - p[i - 1].y;
    const double theta = std::atan2(dy, dx);
    const double turn = std::fabs(theta - prevTheta);
    if (i >= 2 && st.minLength < prevLength && prevLength < st.maxLength && minTurn < turn && turn < maxTurn &&
        dx != 0.0 && dy != 0.0) {
      Point x;
      if (arcVertex(p[i - 2], p[i - 1], p[i], x)) {
        out.push_back(x);
        ++added;
      }
    }
    if (i >= 2) out.push_back(p[i - 1]);
    if (i == n - 1) out.push_back(p[i]);
    prevLength = lengthMm(p[i - 1], p[i]);
    prevTheta = theta;
  }
  return added;
}

}  // namespace

void addPoints(Drawing& drawing, const AddPointSettings& settings) {
  std::vector<Point> next;
  for (Polyline& line : drawing.polylines) {
    std::vector<Point>& v = line.vertices;
    // Repeated vertices would give zero-length segments; a line made of one
    // repeated point keeps two vertices so it stays a stored polyline.
    if (v.size() >= 2) {
      auto end = std::unique(v.begin(), v.end());
      if (end == v.begin() + 1) ++end;
      v.erase(end, v.end());
    }
    if (v.size() < 3) continue;
    for (int pass = 0; pass < settings.times; ++pass) {
      size_t added = addPointsPass(v, next, settings);
      // A pass that adds nothing would repeat itself unchanged; one that
      // would grow the line past the cap is not applied.
      if (added == 0 || next.size() > settings.maxVertices) break;
      v.swap(next);
    }
  }
}

}  // namespace plotdesk::engine
