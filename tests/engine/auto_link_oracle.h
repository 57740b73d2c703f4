#pragma once
// The plain linking scan, kept as the reference the indexed auto-link must
// match (tests) and as the baseline it is timed against (benchmark).
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/drawing.h"

namespace plotdesk::engine::test {

// The linking scan exactly as the rules state it: for each open polyline, a
// single pass over the whole list, removing partners as they are joined.
// Quadratic; the reference the indexed implementation must match.
inline void plainLink(std::vector<Polyline>& list, double tol) {
  auto near = [tol](const Point& a, const Point& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy) <= tol;
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].header.closed) continue;
    std::size_t j = 0;
    while (j < list.size()) {
      const PrimitiveHeader& a = list[i].header;
      const PrimitiveHeader& b = list[j].header;
      if (j == i || b.closed || a.page != b.page || a.pen != b.pen || a.linePattern != b.linePattern ||
          a.patternLength != b.patternLength || a.lineMode != b.lineMode) {
        ++j;
        continue;
      }
      std::vector<Point>& I = list[i].vertices;
      const std::vector<Point> J = list[j].vertices;
      const Point sI = I.front();
      const Point eI = I.back();
      const Point sJ = J.front();
      const Point eJ = J.back();
      bool ring = false;
      if (near(sI, sJ) && near(eI, eJ)) {
        I.insert(I.end(), J.rbegin(), J.rend());
        I.push_back(sI);
        ring = true;
      } else if (near(sI, eJ) && near(eI, sJ)) {
        I.insert(I.end(), J.begin(), J.end());
        I.push_back(sI);
        ring = true;
      } else if (near(sI, sJ)) {
        I.insert(I.begin(), J.rbegin(), J.rend());
      } else if (near(sI, eJ)) {
        I.insert(I.begin(), J.begin(), J.end());
      } else if (near(eI, sJ)) {
        I.insert(I.end(), J.begin(), J.end());
      } else if (near(eI, eJ)) {
        I.insert(I.end(), J.rbegin(), J.rend());
      } else {
        ++j;
        continue;
      }
      if (ring) list[i].header.closed = true;
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(j));
      if (j < i) --i;
      if (ring) break;
    }
  }
}

}  // namespace plotdesk::engine::test
