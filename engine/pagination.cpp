#include "engine/pagination.h"

#include "engine/plot_writer.h"

namespace plotdesk::engine {

void alignDrawing(Drawing& d, int alignType) {
  if (alignType != 2 && alignType != 3) return;
  BoundingBox box = drawingBox(d);
  if (!box.any) return;
  double dx = 0.0;
  double dy = 0.0;
  if (alignType == 2) {
    dx = -box.minX;
    dy = -box.minY;
  } else {
    dx = box.minX < 0 ? -box.minX : 0.0;
    dy = box.minY < 0 ? -box.minY : 0.0;
  }
  if (dx == 0.0 && dy == 0.0) return;
  for (Polyline& p : d.polylines) {
    for (Point& v : p.vertices) {
      v.x += dx;
      v.y += dy;
    }
  }
  for (Circle& c : d.circles) {
    c.cx += dx;
    c.cy += dy;
  }
  for (TextLabel& l : d.labels) {
    l.x += dx;
    l.y += dy;
  }
}

Status paginateDrawing(Drawing& d, int fileType) {
  switch (fileType) {
    case 5:
      for (Polyline& p : d.polylines) p.header.page = 0;
      for (Circle& c : d.circles) c.header.page = 0;
      for (TextLabel& l : d.labels) l.header.page = 0;
      return {};
    case 0:
    case 2:
    case 4:
      return fail("the dispose needs the coordinate page division step (file type " + std::to_string(fileType) +
                  "), which is not available yet");
    default:  // 1 and 3: the pages are those of the page-break instructions
      return {};
  }
}

}  // namespace plotdesk::engine
