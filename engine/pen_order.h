#pragma once
// Pen order: regroups the drawing so that the pens are cut in a chosen order.
#include <array>

#include "engine/drawing.h"

namespace plotdesk::engine {

// For each page p from 0 and each output slot k = 1..8 (pen slotPens[k-1]),
// the polylines, circles and labels of page p with that pen are taken in
// list order into new lists; elements whose pen is in no slot are dropped.
// With `newFilePerPen`, every (page, slot) group that took an element gets
// its own page number g = 0, 1, 2, ... in that order, so each becomes its own
// output file, and the page count rises to g when it was smaller.
// The elements are bucketed once, whatever the number of pages.
void orderByPen(Drawing& drawing, const std::array<int, 8>& slotPens, bool newFilePerPen);

}  // namespace plotdesk::engine
