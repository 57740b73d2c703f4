#include "engine/auto_link.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

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

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Stable LSD radix sort of the values by their bits [lowBit, lowBit + bits):
// a few streaming passes, where a comparison sort or a hash table would jump
// around memory.
void radixSort(std::vector<std::uint64_t>& a, int lowBit, int bits) {
  constexpr int kDigit = 11;
  constexpr std::size_t kBuckets = std::size_t{1} << kDigit;
  std::vector<std::uint64_t> tmp(a.size());
  std::array<std::uint32_t, kBuckets> pos{};
  for (int shift = lowBit; shift < lowBit + bits; shift += kDigit) {
    pos.fill(0);
    for (const std::uint64_t v : a) ++pos[(v >> shift) & (kBuckets - 1)];
    if (std::find(pos.begin(), pos.end(), static_cast<std::uint32_t>(a.size())) != pos.end()) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t& p : pos) sum += std::exchange(p, sum);
    for (const std::uint64_t v : a) tmp[pos[(v >> shift) & (kBuckets - 1)]++] = v;
    a.swap(tmp);
  }
}

// Linking only moves vertices between polylines, so every end it ever
// compares is the first or last vertex of an input polyline: endpoint 2j or
// 2j + 1 of polyline j. Which endpoints lie near which is therefore fixed and
// is worked out once, up front: the endpoints are sorted by grid cell (cells
// at least twice the tolerance wide, so near endpoints sit in the same or an
// adjacent cell) and one sweep over the sorted cells pairs them. The linking
// loop then reads the neighbours of its current ends from a flat list kept
// in endpoint order, touching memory almost in sequence.
//
// Where endpoints crowd together (a tolerance large against the drawing)
// the pair list would grow quadratically; then only the sorted cells are
// kept and each query tests the endpoints of the 3 x 3 cells around it.
class EndpointIndex {
 public:
  EndpointIndex(const std::vector<Point>& pts, const std::vector<std::uint32_t>& ids, double tol) : tol_(tol) {
    const std::size_t count = ids.size();
    const auto all = static_cast<std::uint32_t>(pts.size());
    offsets_.assign(std::size_t{all} + 1, 0);
    if (count == 0) return;

    // A tolerance beyond any drawing, or ends at infinity, put everything
    // into one cell; the distance test alone then decides.
    bool single = !(tol <= 1e15);
    double minX = pts[ids[0]].x, minY = pts[ids[0]].y, maxX = minX, maxY = minY;
    for (const std::uint32_t e : ids) {
      const Point& p = pts[e];
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) single = true;
      minX = std::min(minX, p.x);
      minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x);
      maxY = std::max(maxY, p.y);
    }
    if (!std::isfinite(maxX - minX) || !std::isfinite(maxY - minY)) single = true;
    // Each endpoint is sorted as one 64-bit value: cell column, cell row and
    // endpoint id. The id takes what it needs and the columns and rows share
    // the rest, which bounds the cell count per axis; huge drawings get
    // larger cells, which only adds candidates. Cells are counted from the
    // lower left corner.
    idBits_ = static_cast<int>(std::bit_width(all - 1));
    const int axisBits = (64 - idBits_) / 2;
    const double maxCell = std::ldexp(1.0, axisBits) - 3.0;  // leaves room for a column or row + 1
    const double size = single ? 1.0
                               : std::max({2.0 * tol, 1.0, (maxX - minX) / maxCell * 1.01,
                                           (maxY - minY) / maxCell * 1.01});
    const double perUnit = 1.0 / size;
    // v >= origin, so the quotient is never negative and truncation floors it.
    auto cellOf = [&](double v, double origin) -> std::uint64_t {
      if (single) return 0;
      return static_cast<std::uint64_t>(std::min((v - origin) * perUnit, maxCell));
    };
    const std::uint64_t maxCx = cellOf(maxX, minX);
    const std::uint64_t maxCy = cellOf(maxY, minY);
    ySh_ = static_cast<int>(std::bit_width(maxCy + 1));
    const int keyBits = ySh_ + static_cast<int>(std::bit_width(maxCx + 1));

    std::vector<std::uint64_t> sorted(count);
    for (std::size_t k = 0; k < count; ++k) {
      const Point& p = pts[ids[k]];
      const std::uint64_t key = (cellOf(p.x, minX) << ySh_) | cellOf(p.y, minY);
      sorted[k] = (key << idBits_) | ids[k];
    }
    radixSort(sorted, idBits_, keyBits);
    const std::uint64_t idMask = (std::uint64_t{1} << idBits_) - 1;
    const std::uint64_t yMask = (std::uint64_t{1} << ySh_) - 1;

    // First attempt: explicit neighbour pairs, while they stay about as many
    // as the endpoints. Each pair is met once, from its endpoint earlier in
    // the sort order: the rest of its cell and the cell above follow it
    // directly, and the three cells of the next column form a window that
    // only moves forward. Points are read only for endpoints that share a
    // window with another, which most do not.
    const std::size_t budget = 2 * count + 4096;
    std::vector<std::array<std::uint32_t, 2>> pairs;
    bool fits = true;
    std::size_t next = 0;
    for (std::size_t k = 0; k < count && fits; ++k) {
      const std::uint64_t key = sorted[k] >> idBits_;
      const std::uint64_t cx = key >> ySh_;
      const std::uint64_t cy = key & yMask;
      const auto a = static_cast<std::uint32_t>(sorted[k] & idMask);
      auto test = [&](std::size_t k2) {
        const auto b = static_cast<std::uint32_t>(sorted[k2] & idMask);
        if (near(pts[a], pts[b], tol_)) {
          pairs.push_back({a, b});
          pairs.push_back({b, a});
        }
      };
      const std::uint64_t above = (cx << ySh_) | (cy + 1);
      for (std::size_t k2 = k + 1; k2 < count && (sorted[k2] >> idBits_) <= above; ++k2) test(k2);
      const std::uint64_t col = (cx + 1) << ySh_;
      const std::uint64_t first = col | (cy == 0 ? 0 : cy - 1);
      const std::uint64_t last = col | (cy + 1);
      while (next < count && (sorted[next] >> idBits_) < first) ++next;
      for (std::size_t k2 = next; k2 < count && (sorted[k2] >> idBits_) <= last; ++k2) test(k2);
      fits = pairs.size() <= budget;
    }
    if (fits) {
      for (const auto& pr : pairs) ++offsets_[pr[0] + 1];
      for (std::uint32_t e = 0; e < all; ++e) offsets_[e + 1] += offsets_[e];
      neighbours_.resize(pairs.size());
      std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
      for (const auto& pr : pairs) neighbours_[fill[pr[0]]++] = pr[1];
      return;
    }
    std::vector<std::array<std::uint32_t, 2>>().swap(pairs);
    dense_ = true;
    sortedId_.resize(count);
    sortedPt_.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
      sortedId_[k] = static_cast<std::uint32_t>(sorted[k] & idMask);
      sortedPt_[k] = pts[sortedId_[k]];
    }
    for (std::uint64_t& v : sorted) v >>= idBits_;
    cellOfEndpoint_.assign(all, 0);
    sweep(sorted, [&](std::uint32_t begin, std::uint32_t end, const Window& w) {
      const auto cell = static_cast<std::uint32_t>(windows_.size());
      windows_.push_back(w);
      for (std::uint32_t k = begin; k < end; ++k) cellOfEndpoint_[sortedId_[k]] = cell;
      return true;
    });
  }

  // Calls f(e) for the endpoints listed near endpoint `self`, when they are
  // listed; for warming caches ahead of use.
  template <class F>
  void forEachListed(std::uint32_t self, F&& f) const {
    if (dense_) return;
    for (std::uint32_t k = offsets_[self]; k < offsets_[self + 1]; ++k) f(neighbours_[k]);
  }

  // Calls f(e) for every indexed endpoint e near endpoint `self` at p, and
  // possibly for `self`.
  template <class F>
  void forEachNear(std::uint32_t self, const Point& p, F&& f) const {
    if (!dense_) {
      for (std::uint32_t k = offsets_[self]; k < offsets_[self + 1]; ++k) f(neighbours_[k]);
      return;
    }
    for (const auto& range : windows_[cellOfEndpoint_[self]]) {
      for (std::uint32_t k = range[0]; k < range[1]; ++k) {
        if (near(p, sortedPt_[k], tol_)) f(sortedId_[k]);
      }
    }
  }

 private:
  // For one cell, the sorted positions [begin, end) of the endpoints in the
  // three cells above, at and below it, in each of the three columns
  // cx - 1, cx, cx + 1 (consecutive in the sort order).
  using Window = std::array<std::array<std::uint32_t, 2>, 3>;

  // Visits the cells in sort order with their windows; the window bounds
  // only move forward, so the whole sweep is linear. Stops when f says so.
  template <class F>
  bool sweep(const std::vector<std::uint64_t>& keys, F&& f) const {
    const auto count = static_cast<std::uint32_t>(keys.size());
    const std::uint64_t yMask = (std::uint64_t{1} << ySh_) - 1;
    std::array<std::uint32_t, 3> lo{}, hi{};
    for (std::uint32_t begin = 0; begin < count;) {
      const std::uint64_t key = keys[begin];
      std::uint32_t end = begin + 1;
      while (end < count && keys[end] == key) ++end;
      const std::uint64_t cx = key >> ySh_;
      const std::uint64_t cy = key & yMask;
      Window w{};
      for (int d = 0; d < 3; ++d) {
        if (cx == 0 && d == 0) continue;
        const std::uint64_t col = (cx + static_cast<std::uint64_t>(d) - 1) << ySh_;
        const std::uint64_t first = col | (cy == 0 ? 0 : cy - 1);
        const std::uint64_t last = col | (cy + 1);
        while (lo[d] < count && keys[lo[d]] < first) ++lo[d];
        hi[d] = std::max(hi[d], lo[d]);
        while (hi[d] < count && keys[hi[d]] <= last) ++hi[d];
        w[d] = {lo[d], hi[d]};
      }
      if (!f(begin, end, w)) return false;
      begin = end;
    }
    return true;
  }

  double tol_;
  int ySh_ = 1;
  int idBits_ = 1;
  bool dense_ = false;
  std::vector<std::uint32_t> offsets_;     // neighbours of endpoint e: [offsets_[e], offsets_[e + 1])
  std::vector<std::uint32_t> neighbours_;  // endpoint ids
  std::vector<std::uint32_t> sortedId_;    // crowded case: endpoints in cell order
  std::vector<Point> sortedPt_;
  std::vector<Window> windows_;             // per cell
  std::vector<std::uint32_t> cellOfEndpoint_;
};

// The current ends of a polyline as endpoint ids; kNone when it is closed,
// empty or joined into another.
struct Ends {
  std::uint32_t first = kNone;
  std::uint32_t last = kNone;
};

}  // namespace

void linkPolylines(std::vector<Polyline>& lines, double tol) {
  if (!(tol >= 0) || lines.size() < 2) return;  // a negative or NaN tolerance never links
  // Endpoint ids are 32-bit; past 2^31 polylines the list would not fit in memory anyway.
  if (lines.size() >= (std::size_t{1} << 31)) return;
  const auto n = static_cast<std::uint32_t>(lines.size());
  std::vector<Point> pts(2 * std::size_t{n});
  std::vector<Ends> ends(n);
  // owner[e]: the live polyline that has endpoint e as a current end, or
  // kNone. The polyline being grown is left out: it is no partner of itself.
  std::vector<std::uint32_t> owner(2 * std::size_t{n}, kNone);
  std::vector<std::uint32_t> ids;
  ids.reserve(2 * std::size_t{n});
  for (std::uint32_t j = 0; j < n; ++j) {
    const Polyline& p = lines[j];
    if (p.vertices.empty() || p.header.closed) continue;
    pts[2 * j] = p.vertices.front();
    pts[2 * j + 1] = p.vertices.back();
    ends[j] = {2 * j, 2 * j + 1};
    owner[2 * j] = owner[2 * j + 1] = j;
    ids.push_back(2 * j);
    ids.push_back(2 * j + 1);
  }
  const EndpointIndex index(pts, ids, tol);
  std::vector<std::uint32_t>().swap(ids);

  std::vector<char> removed(n, 0);
  // The polyline being grown: reverse(front) followed by back, so both
  // prepending and appending are amortised constant per vertex; the buffers
  // are reused from polyline to polyline.
  std::vector<Point> front;
  std::vector<Point> back;
  for (std::uint32_t i = 0; i < n; ++i) {
    // The partners are scattered over the list; asking for their records a
    // few polylines ahead overlaps the memory waits: first the owners of the
    // listed neighbours, then the owners' polylines, then their vertices.
    // Polylines that grow by then only make a guess miss.
    if (i + 16 < n) {
      auto want = [&](std::uint32_t e) { __builtin_prefetch(&owner[e]); };
      index.forEachListed(2 * (i + 16), want);
      index.forEachListed(2 * (i + 16) + 1, want);
    }
    if (i + 8 < n) {
      auto want = [&](std::uint32_t e) {
        if (owner[e] < n) __builtin_prefetch(&lines[owner[e]]);
      };
      index.forEachListed(2 * (i + 8), want);
      index.forEachListed(2 * (i + 8) + 1, want);
    }
    if (i + 4 < n) {
      auto want = [&](std::uint32_t e) {
        if (owner[e] < n) __builtin_prefetch(lines[owner[e]].vertices.data());
      };
      index.forEachListed(2 * (i + 4), want);
      index.forEachListed(2 * (i + 4) + 1, want);
    }
    if (ends[i].first == kNone) continue;
    Polyline& line = lines[i];
    std::uint32_t firstId = ends[i].first;
    std::uint32_t lastId = ends[i].last;
    owner[firstId] = owner[lastId] = kNone;
    bool grew = false;
    std::uint32_t cursor = 0;  // the scan position: partners before it were passed
    for (;;) {
      const Point sI = pts[firstId];
      const Point eI = pts[lastId];
      std::uint32_t best = n;
      auto consider = [&](std::uint32_t e) {
        const std::uint32_t j = owner[e];  // kNone is never below best
        if (j < cursor || j >= best) return;
        if (compatible(line.header, lines[j].header)) best = j;
      };
      index.forEachNear(firstId, sI, consider);
      index.forEachNear(lastId, eI, consider);
      if (best == n) break;

      if (!grew) {
        front.clear();
        back.assign(line.vertices.begin(), line.vertices.end());
        grew = true;
      }
      Polyline& J = lines[best];
      const std::vector<Point>& v = J.vertices;
      const Point sJ = v.front();
      const Point eJ = v.back();
      bool closes = false;
      if (near(sI, sJ, tol) && near(eI, eJ, tol)) {
        back.insert(back.end(), v.rbegin(), v.rend());
        back.push_back(sI);
        closes = true;
      } else if (near(sI, eJ, tol) && near(eI, sJ, tol)) {
        back.insert(back.end(), v.begin(), v.end());
        back.push_back(sI);
        closes = true;
      } else if (near(sI, sJ, tol)) {
        front.insert(front.end(), v.begin(), v.end());
        firstId = ends[best].last;
      } else if (near(sI, eJ, tol)) {
        front.insert(front.end(), v.rbegin(), v.rend());
        firstId = ends[best].first;
      } else if (near(eI, sJ, tol)) {
        back.insert(back.end(), v.begin(), v.end());
        lastId = ends[best].last;
      } else {
        back.insert(back.end(), v.rbegin(), v.rend());
        lastId = ends[best].first;
      }
      owner[ends[best].first] = owner[ends[best].last] = kNone;
      ends[best] = {};
      removed[best] = 1;
      std::vector<Point>().swap(J.vertices);
      if (closes) {
        line.header.closed = true;
        break;
      }
      cursor = best + 1;
    }
    if (!grew) {
      owner[firstId] = owner[lastId] = i;
      continue;
    }
    line.vertices.clear();
    line.vertices.reserve(front.size() + back.size());
    line.vertices.insert(line.vertices.end(), front.rbegin(), front.rend());
    line.vertices.insert(line.vertices.end(), back.begin(), back.end());
    if (line.header.closed) {
      ends[i] = {};
    } else {
      // A grown open polyline is a partner for the polylines after it.
      ends[i] = {firstId, lastId};
      owner[firstId] = owner[lastId] = i;
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
