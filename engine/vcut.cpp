#include "engine/vcut.h"

#include <cmath>

namespace plotdesk::engine {
namespace {

constexpr double kEpsilon = 0.00001;

// The segment p0-p1 with its ends moved inward by a and b.
std::array<Point, 2> cutSegment(Point p0, Point p1, double a, double b) {
  const double dx = p1.x - p0.x;
  const double dy = p1.y - p0.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  Point start = p0;
  Point stop = p1;
  if (length - (a + b) < kEpsilon) {
    // too short to shorten: cut as it is
  } else if (std::fabs(dx) < kEpsilon) {
    const double s = dy > 0 ? 1.0 : -1.0;
    start.y = p0.y + s * a;
    stop.y = p1.y - s * b;
  } else if (std::fabs(dy) < kEpsilon) {
    const double s = dx > 0 ? 1.0 : -1.0;
    start.x = p0.x + s * a;
    stop.x = p1.x - s * b;
  } else {
    const double m = dy / dx;
    const double u = std::sqrt(a / (m * m + 1));
    const double w = std::sqrt(b / (m * m + 1));
    const double s = dx > 0 ? 1.0 : -1.0;
    start = {p0.x + s * u, p0.y + m * s * u};
    stop = {p1.x - s * w, p1.y - m * s * w};
  }
  return {start, stop};
}

Polyline cutSegment(const PrimitiveHeader& h, Point p0, Point p1, double a, double b) {
  const std::array<Point, 2> ends = cutSegment(p0, p1, a, b);
  Polyline out;
  out.header = h;
  out.vertices = {ends[0], ends[1]};
  return out;
}

}  // namespace

bool vCutsPen(const std::array<bool, 8>& pens, int pen) {
  return pen >= 1 && pen <= 8 && pens[static_cast<std::size_t>(pen - 1)];
}

void applyVCut(std::vector<Polyline>& lines, const std::array<bool, 8>& pens, double front, double end) {
  const double a = front > 0 ? front : 0.0;  // also maps NaN to 0
  const double b = end > 0 ? end : 0.0;
  // Sized once: a marker can turn into millions of segments here.
  std::size_t kept = 0;
  std::size_t segments = 0;
  for (const Polyline& p : lines) {
    if (!vCutsPen(pens, p.header.pen)) {
      ++kept;
    } else if (p.vertices.size() > 1) {
      segments += p.vertices.size() - 1;
    }
  }
  if (kept == lines.size()) return;
  std::vector<Polyline> out;
  out.reserve(kept + segments);
  for (Polyline& p : lines) {
    if (!vCutsPen(pens, p.header.pen)) out.push_back(std::move(p));
  }
  for (Polyline& p : lines) {
    if (!vCutsPen(pens, p.header.pen)) continue;
    for (std::size_t i = 0; i + 1 < p.vertices.size(); ++i) {
      out.push_back(cutSegment(p.header, p.vertices[i], p.vertices[i + 1], a, b));
    }
    std::vector<Point>().swap(p.vertices);  // give the memory back as we go
  }
  lines = std::move(out);
}

void applyVCut(const std::vector<Polyline>& lines, std::span<const std::size_t> which, std::vector<Polyline>& out,
               const std::array<bool, 8>& pens, double front, double end) {
  const double a = front > 0 ? front : 0.0;
  const double b = end > 0 ? end : 0.0;
  std::size_t total = 0;
  for (std::size_t i : which) {
    const Polyline& p = lines[i];
    if (!vCutsPen(pens, p.header.pen)) {
      ++total;
    } else if (p.vertices.size() > 1) {
      total += p.vertices.size() - 1;
    }
  }
  // Polylines already in `out` keep their vertex storage: assigning two
  // vertices to one of them allocates nothing. The list grows with a margin,
  // so pages of about the same size do not each move it to fresh memory.
  if (out.capacity() < total) out.reserve(total + total / 4);
  out.resize(total);
  std::size_t k = 0;
  for (std::size_t i : which) {
    const Polyline& p = lines[i];
    if (vCutsPen(pens, p.header.pen)) continue;
    out[k].header = p.header;
    out[k].vertices.assign(p.vertices.begin(), p.vertices.end());
    ++k;
  }
  for (std::size_t i : which) {
    const Polyline& p = lines[i];
    if (!vCutsPen(pens, p.header.pen)) continue;
    for (std::size_t j = 0; j + 1 < p.vertices.size(); ++j) {
      const std::array<Point, 2> ends = cutSegment(p.vertices[j], p.vertices[j + 1], a, b);
      out[k].header = p.header;
      out[k].vertices.assign(ends.begin(), ends.end());
      ++k;
    }
  }
}

}  // namespace plotdesk::engine
