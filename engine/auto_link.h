#pragma once
// Auto-link: joins polylines whose ends meet into longer strokes or closed
// rings, so the cutter lifts its knife less often.
#include <vector>

#include "engine/drawing.h"

namespace plotdesk::engine {

// For each open polyline I in list order, the list is scanned once from its
// start for partners J (J != I, J open, same page, pen and line type) whose
// first or last vertex lies within `tolerance` (plotter units, Euclidean) of
// I's first vertex sI or current last vertex eI. The first row that holds
// decides:
//
//   sI~sJ and eI~eJ   append J reversed, then sI again; I closed; stop
//   sI~eJ and eI~sJ   append J, then sI again; I closed; stop
//   sI~sJ             put J reversed in front of I
//   sI~eJ             put J in front of I
//   eI~sJ             append J
//   eI~eJ             append J reversed
//
// J is removed and the scan goes on after J with I's new ends; partners
// already passed are not tested again. Both meeting vertices stay, so every
// joint holds two (near-)equal vertices.
//
// The scan as stated is quadratic. Here the endpoints near each endpoint are
// found once, up front, through a cell-sorted endpoint list, and the loop
// takes for the current ends of I the first partner at or after the scan
// position, which is exactly the partner the scan would take, so the result
// is identical and the cost is near linear for real markers.
void linkPolylines(std::vector<Polyline>& lines, double tolerance);

}  // namespace plotdesk::engine
