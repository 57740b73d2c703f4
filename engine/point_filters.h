#pragma once
// Geometry clean-up before alignment and page division: circles become
// polylines for machines that cannot cut circles, tiny zig-zags that make the
// knife chatter are removed, dense runs of vertices are thinned and coarse
// curves get extra vertices.
//
// The thresholds and angle constants are the ones operators have tuned their
// settings against; results depend on exact floating point (including the
// infinities and NaNs a vertical segment produces in atan(dx/dy)), so this
// code must not be built with fast-math.
#include <cstddef>

#include "engine/drawing.h"
#include "engine/plot_reader.h"

namespace plotdesk::engine {

struct DeletePointSettings {
  int intervalPoints = 3;  // keep every n-th vertex of a dense run
  double minLength = 5.0;  // mm; a segment at least this long is kept
  double minAngle = 5.0;   // degrees; a turn at least this large is kept
};

// A point-addition pass that would give a polyline more vertices than this is
// not applied, and later passes are not run for that polyline.
inline constexpr size_t kMaxAddPointVertices = 1'000'000;

struct AddPointSettings {
  int times = 1;           // passes
  double minLength = 5.0;  // mm, exclusive bounds of the previous segment's length
  double maxLength = 20.0;
  double minAngle = 2.0;   // degrees, exclusive bounds of the turn
  double maxAngle = 10.0;
  size_t maxVertices = kMaxAddPointVertices;
};

// Replaces every circle by a polyline through the reader's commit, so closing
// by linking applies to it; empties the circle list. Commits any pending
// element first.
void circlesToPolylines(PlotReader& reader);

// Removes vertices that lie within 0.01 mm of a straight run and spikes of at
// most 0.1 mm, in polylines of five or more vertices. The first and the last
// vertex are never removed.
void removeSawtooth(Drawing& drawing);

// Thins polylines of five or more vertices: long segments and sharp turns are
// kept, short segments with small turns keep only every intervalPoints-th
// vertex. The first and last vertex are always kept.
void deletePoints(Drawing& drawing, const DeletePointSettings& settings);

// Drops repeated vertices, then inserts a vertex on the circle through three
// consecutive vertices where a segment of moderate length turns by a moderate
// angle, `times` passes over polylines of three or more vertices.
void addPoints(Drawing& drawing, const AddPointSettings& settings);

}  // namespace plotdesk::engine
