#pragma once
// Placing the drawing on the material and dividing it into pages.
#include "engine/drawing.h"
#include "platform/result.h"

namespace plotdesk::engine {

// Alignment types (Split_AlignType): 1 keeps the coordinates, 2 moves the
// drawing's smallest X and Y to 0, 3 moves it only as far as needed to make
// negative coordinates non-negative. Other values change nothing.
void alignDrawing(Drawing& drawing, int alignType);

// The most pages one dispose may produce: output names carry the page number
// and an operator cannot handle more files than this from one plot.
constexpr int kMaxPages = 9999;
// Coordinate division copies vertices at every strip boundary; a tiny page
// length on a long drawing would otherwise grow without bound.
constexpr std::size_t kMaxDividedVertices = 40'000'000;

struct PageSize {
  double length = 0.0;  // mm along X (the feed direction)
  double width = 0.0;   // mm along Y
};

// Division by file type (File_Type): 1 and 3 keep the pages made by
// page-break instructions, 5 puts everything on page 0, and 0, 2 and 4 cut
// the drawing into strips of the page length, clipped to the page width.
Status paginateDrawing(Drawing& drawing, int fileType, PageSize size);

// Coordinate division on its own (file types 0, 2 and 4).
//
// Every input page is cut into strips X in [k*L, (k+1)*L) with L = length*40;
// strip k of a page becomes an output page, X measured from the strip's start.
// Polyline segments are clipped to the band 0 <= Y <= W (W = width*40);
// a segment leaving the band ends its piece. Circles and labels go to the
// strip of their centre or position without clipping.
//
// Strips are numbered with floor, so a strip only ever holds local X in
// [0, L]. When anything lies left of X = 0, every strip number is raised so
// that the lowest becomes 0: nothing is lost on a negative page. Input page
// a >= 1 starts at the highest page number given so far plus a, so an empty
// input page never makes two input pages share page numbers.
//
// Fails, leaving the drawing unchanged, when the result would have more than
// kMaxPages pages or more than kMaxDividedVertices vertices.
Status divideByCoordinates(Drawing& drawing, PageSize size);

}  // namespace plotdesk::engine
