#pragma once
// Placing the drawing on the material and dividing it into pages.
#include "engine/drawing.h"
#include "platform/result.h"

namespace plotdesk::engine {

// Alignment types (Split_AlignType): 1 keeps the coordinates, 2 moves the
// drawing's smallest X and Y to 0, 3 moves it only as far as needed to make
// negative coordinates non-negative. Other values change nothing.
void alignDrawing(Drawing& drawing, int alignType);

// Division by file type (File_Type): 1 and 3 keep the pages made by page-break
// instructions, 5 puts everything on page 0. Coordinate division (0, 2 and 4)
// is not available yet and fails with a message naming it.
Status paginateDrawing(Drawing& drawing, int fileType);

}  // namespace plotdesk::engine
