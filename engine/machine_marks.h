#pragma once
// Instructions for the machine's other tools and for the material, written by
// the page writer around each page's body:
//
//   IN; JS..;  [contour] [holding position] [inkjet mark]  body
//   [material cut] [SK; between pages] [AM feed] [PG;]
//
// Coordinates are plotter units; the mark length and width settings are mm.
#include <string>

#include "engine/dispose_settings.h"
#include "engine/plot_reader.h"
#include "engine/plot_writer.h"

namespace plotdesk::engine {

// Inkjet rows beyond this are not written: a mistyped mark width must not
// turn one page into gigabytes of strokes.
constexpr int kMaxMarkRows = 10000;

// Outline of the page's bounding box with pen 0, ending in "PG;" and a line end.
void writeExternalContour(std::string& out, const BoundingBox& box);
// "SP1;LT;PU0,0;PD<L>,0;" with L = mark length; no line end.
void writeHoldingPosition(std::string& out, const DisposeSettings& s);
// "SP1;LT;" and one horizontal stroke per row, no line ends. With the minimum
// position the rows are 40 units apart from minY and end at the drawing's left
// edge; otherwise they are 4 units apart from the inkjet origin, which is
// (0, 0) with a holding position and (minX, minY) without.
void writeInkjetMark(std::string& out, const BoundingBox& box, const DisposeSettings& s);
// Cross cut after the body at maxX + 200, at most at the page end; no line end.
void writeMaterialCut(std::string& out, const BoundingBox& box, const DisposeSettings& s);
// "AM fx,fy;" with the source's AM values when it had one, else maxX, -maxX.
void writeFeed(std::string& out, const BoundingBox& box, const FeedValues& feed);

// The marks the settings enable before and after a page's body.
void writeMarksBefore(std::string& out, const BoundingBox& box, const DisposeSettings& s);
void writeMarksAfter(std::string& out, const BoundingBox& box, const DisposeSettings& s, bool lastPage,
                     const FeedValues& feed);

}  // namespace plotdesk::engine
