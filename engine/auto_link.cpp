#include "engine/auto_link.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace plotdesk::engine {
namespace {

bool near(const Point& a, const Point& b, double tol) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy) <= tol;
}

bool compatible(const PrimitiveHeader& a, const PrimitiveHeader& b) {
  return a.page == b.page && a.pen == b.pen && a.linePattern == b.linePattern &&
         a.patternLength == b.patternLength && a.lineMode == b.lineMode;
}

// Cells of side `size` holding the ids of polylines with an end inside.
// Entries are never removed: the caller re-checks every candidate against the
// polyline's current ends, so stale entries only cost a comparison. Every end
// ever looked up is a vertex of the input, so cells are counted from the
// input's lower left corner and fit 30 bits per axis (cells grow for huge
// drawings, which only adds candidates).
class EndpointGrid {
 public:
  EndpointGrid(double tol, double minX, double minY, double maxX, double maxY, std::size_t expected)
      : originX_(minX), originY_(minY) {
    constexpr double kCells = 1 << 30;
    size_ = std::max({2.0 * tol, 1.0, (maxX - minX) / kCells * 1.01, (maxY - minY) / kCells * 1.01});
    std::size_t cap = 16;
    while (cap < expected * 2) cap *= 2;
    slots_.assign(cap, Slot{});
    entries_.reserve(expected);
  }

  std::uint32_t cellOf(double v, double origin) const {
    const double c = std::floor((v - origin) / size_);
    constexpr double kMax = (1 << 30) + 1.0;
    return static_cast<std::uint32_t>(std::clamp(c, 0.0, kMax));
  }

  void insert(const Point& p, std::uint32_t id) {
    if (used_ * 2 >= slots_.size()) grow();
    const std::uint64_t key = keyOf(cellOf(p.x, originX_), cellOf(p.y, originY_));
    Slot& s = find(key);
    if (s.key == kEmpty) {
      s.key = key;
      s.head = -1;
      ++used_;
    }
    entries_.push_back({id, s.head});
    s.head = static_cast<std::int32_t>(entries_.size() - 1);
  }

  // Calls f(id) for every entry in the cells that can hold a point within
  // `reach` of p.
  template <class F>
  void around(const Point& p, double reach, F&& f) const {
    // Rounding in the distance test can accept a point a hair beyond the
    // reach; the margin keeps such points inside the searched cells.
    const double mx = (std::fabs(p.x) + reach) * 1e-12 + 1e-12;
    const double my = (std::fabs(p.y) + reach) * 1e-12 + 1e-12;
    const std::uint32_t x0 = cellOf(p.x - reach - mx, originX_);
    const std::uint32_t x1 = cellOf(p.x + reach + mx, originX_);
    const std::uint32_t y0 = cellOf(p.y - reach - my, originY_);
    const std::uint32_t y1 = cellOf(p.y + reach + my, originY_);
    for (std::uint32_t cx = x0; cx <= x1; ++cx) {
      for (std::uint32_t cy = y0; cy <= y1; ++cy) {
        const Slot& s = find(keyOf(cx, cy));
        if (s.key == kEmpty) continue;
        for (std::int32_t e = s.head; e >= 0; e = entries_[static_cast<std::size_t>(e)].next) {
          f(entries_[static_cast<std::size_t>(e)].id);
        }
      }
    }
  }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  struct Slot {
    std::uint64_t key = kEmpty;
    std::int32_t head = -1;
  };
  struct Entry {
    std::uint32_t id;
    std::int32_t next;
  };

  static std::uint64_t keyOf(std::uint32_t cx, std::uint32_t cy) { return (std::uint64_t{cx} << 32) | cy; }
  static std::uint64_t hash(std::uint64_t k) {
    k ^= k >> 31;
    k *= 0x9E3779B97F4A7C15ULL;
    k ^= k >> 29;
    return k;
  }

  Slot& find(std::uint64_t key) { return const_cast<Slot&>(static_cast<const EndpointGrid*>(this)->find(key)); }
  const Slot& find(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.key == kEmpty || s.key == key) return s;
    }
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old) {
      if (s.key != kEmpty) find(s.key) = s;
    }
  }

  double originX_;
  double originY_;
  double size_ = 1.0;
  std::vector<Slot> slots_;
  std::vector<Entry> entries_;
  std::size_t used_ = 0;
};

// What a candidate test needs of a polyline, kept apart from the vertex
// lists so that the test touches one small record.
struct Ends {
  Point first;
  Point last;
  bool open = false;  // alive, not closed, has vertices
};

// The polyline being grown: reverse(front) followed by back, so both
// prepending and appending are amortised constant per vertex.
struct Growing {
  std::vector<Point> front;
  std::vector<Point> back;
  const Point& first() const { return front.empty() ? back.front() : front.back(); }
  const Point& last() const { return back.back(); }
};

}  // namespace

void linkPolylines(std::vector<Polyline>& lines, double tol) {
  if (!(tol >= 0) || lines.size() < 2) return;  // a negative or NaN tolerance never links
  if (lines.size() >= std::numeric_limits<std::uint32_t>::max()) return;
  const auto n = static_cast<std::uint32_t>(lines.size());
  std::vector<Ends> ends(n);
  std::vector<char> removed(n, 0);
  double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
  bool any = false;
  for (std::uint32_t j = 0; j < n; ++j) {
    const Polyline& p = lines[j];
    if (p.vertices.empty()) continue;
    ends[j] = {p.vertices.front(), p.vertices.back(), !p.header.closed};
    for (const Point& v : {p.vertices.front(), p.vertices.back()}) {
      if (!any || v.x < minX) minX = v.x;
      if (!any || v.y < minY) minY = v.y;
      if (!any || v.x > maxX) maxX = v.x;
      if (!any || v.y > maxY) maxY = v.y;
      any = true;
    }
  }
  // Cells twice the tolerance wide keep a search to at most 2 x 2 cells; a
  // tolerance beyond any drawing puts everything into one cell.
  const double cellTol = tol <= 1e15 ? tol : 1e300;
  EndpointGrid grid(cellTol, minX, minY, maxX, maxY, 2 * static_cast<std::size_t>(n));
  for (std::uint32_t j = 0; j < n; ++j) {
    if (!ends[j].open) continue;
    grid.insert(ends[j].first, j);
    grid.insert(ends[j].last, j);
  }

  Growing g;
  for (std::uint32_t i = 0; i < n; ++i) {
    Polyline& line = lines[i];
    if (!ends[i].open) continue;
    g.front.clear();
    g.back = std::move(line.vertices);
    bool grew = false;
    std::uint32_t cursor = 0;  // the scan position: partners before it were passed
    for (;;) {
      const Point sI = g.first();
      const Point eI = g.last();
      std::uint32_t best = n;
      auto consider = [&](std::uint32_t j) {
        if (j < cursor || j >= best || j == i) return;
        const Ends& e = ends[j];
        if (!e.open) return;
        if (!(near(sI, e.first, tol) || near(sI, e.last, tol) || near(eI, e.first, tol) || near(eI, e.last, tol))) {
          return;
        }
        if (compatible(line.header, lines[j].header)) best = j;
      };
      grid.around(sI, cellTol, consider);
      grid.around(eI, cellTol, consider);
      if (best == n) break;

      Polyline& J = lines[best];
      const std::vector<Point>& v = J.vertices;
      const Point sJ = v.front();
      const Point eJ = v.back();
      bool closes = false;
      if (near(sI, sJ, tol) && near(eI, eJ, tol)) {
        g.back.insert(g.back.end(), v.rbegin(), v.rend());
        g.back.push_back(sI);
        closes = true;
      } else if (near(sI, eJ, tol) && near(eI, sJ, tol)) {
        g.back.insert(g.back.end(), v.begin(), v.end());
        g.back.push_back(sI);
        closes = true;
      } else if (near(sI, sJ, tol)) {
        g.front.insert(g.front.end(), v.begin(), v.end());
      } else if (near(sI, eJ, tol)) {
        g.front.insert(g.front.end(), v.rbegin(), v.rend());
      } else if (near(eI, sJ, tol)) {
        g.back.insert(g.back.end(), v.begin(), v.end());
      } else {
        g.back.insert(g.back.end(), v.rbegin(), v.rend());
      }
      ends[best].open = false;
      removed[best] = 1;
      std::vector<Point>().swap(J.vertices);
      grew = true;
      if (closes) {
        line.header.closed = true;
        break;
      }
      cursor = best + 1;
    }

    if (g.front.empty()) {
      line.vertices = std::move(g.back);
    } else {
      line.vertices.clear();
      line.vertices.reserve(g.front.size() + g.back.size());
      line.vertices.insert(line.vertices.end(), g.front.rbegin(), g.front.rend());
      line.vertices.insert(line.vertices.end(), g.back.begin(), g.back.end());
    }
    g.back = {};
    ends[i] = {line.vertices.front(), line.vertices.back(), !line.header.closed};
    // A grown open polyline is a partner for the polylines after it.
    if (grew && !line.header.closed) {
      grid.insert(line.vertices.front(), i);
      grid.insert(line.vertices.back(), i);
    }
  }

  std::size_t out = 0;
  for (std::uint32_t j = 0; j < n; ++j) {
    if (removed[j]) continue;
    if (out != j) lines[out] = std::move(lines[j]);
    ++out;
  }
  lines.resize(out);
}

}  // namespace plotdesk::engine
