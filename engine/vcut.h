#pragma once
// V-cut offset: the strokes of chosen pens are cut as single segments that
// stop short of their corners, so a V-shaped blade does not overcut them.
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "engine/drawing.h"

namespace plotdesk::engine {

// Every polyline whose pen n (1..8) has pens[n-1] set is replaced by one
// two-vertex polyline per segment P0 -> P1, keeping its header; the segment
// polylines follow all other polylines, in source order. A segment no longer
// than front + end (within 0.00001) stays as it is. Otherwise its start moves
// `front` and its end `end` plotter units inward: exactly along a vertical or
// horizontal segment; along a slanted one of slope m by sqrt(offset / (m^2 + 1))
// in X (and m times that in Y), the shift operators have tuned their machines
// to. Negative offsets count as 0, so no square root of a negative is taken.
void applyVCut(std::vector<Polyline>& lines, const std::array<bool, 8>& pens, double front, double end);

// The same for the polylines lines[i], i in `which` in that order, written
// into `out` in place of what it held. The polylines already in `out` lend
// their vertex storage, so shortening one page after another into the same
// `out` hardly allocates.
void applyVCut(const std::vector<Polyline>& lines, std::span<const std::size_t> which, std::vector<Polyline>& out,
               const std::array<bool, 8>& pens, double front, double end);

// Whether applyVCut cuts the polylines of `pen`.
bool vCutsPen(const std::array<bool, 8>& pens, int pen);

}  // namespace plotdesk::engine
