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
// polyline's current ends, so stale entries only cost a comparison.
class EndpointGrid {
 public:
  // A size of 0 puts every point in one cell (for tolerances beyond any drawing).
  EndpointGrid(double size, std::size_t expected) : size_(size) {
    std::size_t cap = 16;
    while (cap < expected * 2) cap *= 2;
    slots_.assign(cap, Slot{});
    entries_.reserve(expected);
  }

  std::int64_t cellOf(double v) const {
    if (size_ == 0.0) return 0;
    const double c = std::floor(v / size_);
    constexpr double kLimit = 4e18;
    return static_cast<std::int64_t>(std::clamp(c, -kLimit, kLimit));
  }

  void insert(const Point& p, std::uint32_t id) {
    if (used_ * 2 >= slots_.size()) grow();
    Slot& s = find(cellOf(p.x), cellOf(p.y));
    if (!s.used) {
      s.used = true;
      s.cx = cellOf(p.x);
      s.cy = cellOf(p.y);
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
    const std::int64_t x0 = cellOf(p.x - reach - mx);
    const std::int64_t x1 = cellOf(p.x + reach + mx);
    const std::int64_t y0 = cellOf(p.y - reach - my);
    const std::int64_t y1 = cellOf(p.y + reach + my);
    for (std::int64_t cx = x0; cx <= x1; ++cx) {
      for (std::int64_t cy = y0; cy <= y1; ++cy) {
        const Slot& s = find(cx, cy);
        if (!s.used) continue;
        for (std::int32_t e = s.head; e >= 0; e = entries_[static_cast<std::size_t>(e)].next) {
          f(entries_[static_cast<std::size_t>(e)].id);
        }
      }
    }
  }

 private:
  struct Slot {
    std::int64_t cx = 0;
    std::int64_t cy = 0;
    std::int32_t head = -1;
    bool used = false;
  };
  struct Entry {
    std::uint32_t id;
    std::int32_t next;
  };

  static std::uint64_t hash(std::int64_t x, std::int64_t y) {
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<std::uint64_t>(y) + 0x632BE59BD9B4E019ULL + (h << 6) + (h >> 2);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 32);
  }

  Slot& find(std::int64_t x, std::int64_t y) {
    return const_cast<Slot&>(static_cast<const EndpointGrid*>(this)->find(x, y));
  }
  const Slot& find(std::int64_t x, std::int64_t y) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash(x, y) & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (!s.used || (s.cx == x && s.cy == y)) return s;
    }
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old) {
      if (s.used) find(s.cx, s.cy) = s;
    }
  }

  double size_;
  std::vector<Slot> slots_;
  std::vector<Entry> entries_;
  std::size_t used_ = 0;
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
  std::vector<char> alive(n, 1);
  // Cells twice the tolerance wide keep a search to at most 2 x 2 cells.
  EndpointGrid grid(tol <= 1e15 ? std::max(2.0 * tol, 1.0) : 0.0, 2 * static_cast<std::size_t>(n));
  for (std::uint32_t j = 0; j < n; ++j) {
    const Polyline& p = lines[j];
    if (p.header.closed || p.vertices.empty()) continue;
    grid.insert(p.vertices.front(), j);
    grid.insert(p.vertices.back(), j);
  }

  Growing g;
  for (std::uint32_t i = 0; i < n; ++i) {
    Polyline& line = lines[i];
    if (!alive[i] || line.header.closed || line.vertices.empty()) continue;
    g.front.clear();
    g.back = std::move(line.vertices);
    bool grew = false;
    std::uint32_t cursor = 0;  // the scan position: partners before it were passed
    for (;;) {
      const Point sI = g.first();
      const Point eI = g.last();
      std::uint32_t best = n;
      auto consider = [&](std::uint32_t j) {
        if (j < cursor || j >= best || j == i || !alive[j]) return;
        const Polyline& J = lines[j];
        if (J.header.closed || J.vertices.empty() || !compatible(line.header, J.header)) return;
        const Point& sJ = J.vertices.front();
        const Point& eJ = J.vertices.back();
        if (near(sI, sJ, tol) || near(sI, eJ, tol) || near(eI, sJ, tol) || near(eI, eJ, tol)) best = j;
      };
      grid.around(sI, tol, consider);
      grid.around(eI, tol, consider);
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
      alive[best] = 0;
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
    // A grown open polyline is a partner for the polylines after it.
    if (grew && !line.header.closed) {
      grid.insert(line.vertices.front(), i);
      grid.insert(line.vertices.back(), i);
    }
  }

  std::size_t out = 0;
  for (std::uint32_t j = 0; j < n; ++j) {
    if (!alive[j]) continue;
    if (out != j) lines[out] = std::move(lines[j]);
    ++out;
  }
  lines.resize(out);
}

}  // namespace plotdesk::engine
