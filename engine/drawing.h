#pragma once
// The in-memory drawing every dispose step works on. Coordinates are plotter
// units of 1/40 mm.
#include <cstdint>
#include <string>
#include <vector>

namespace plotdesk::engine {

struct Point {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const Point&) const = default;
};

enum class ElementKind : std::int16_t { Polyline = 3, Circle = 5, Label = 6 };

// Common to every stored element.
struct PrimitiveHeader {
  ElementKind kind = ElementKind::Polyline;
  std::int32_t page = 0;
  std::int32_t pen = 1;
  std::int32_t linePattern = 0;
  float patternLength = 0.0F;
  std::int32_t lineMode = 0;
  bool closed = false;  // closed by linking: the first vertex was appended again
};

struct Polyline {
  PrimitiveHeader header;
  std::vector<Point> vertices;  // reading order; a stored polyline has at least two
};

struct Circle {
  PrimitiveHeader header;
  double cx = 0.0;
  double cy = 0.0;
  double radius = 0.0;
};

struct TextLabel {
  PrimitiveHeader header;
  double x = 0.0;  // the current point when the label was read
  double y = 0.0;
  bool runGiven = false;
  bool riseGiven = false;
  double run = 0.0;
  double rise = 0.0;
  double angle = 0.0;  // degrees
  double width = 15.0;
  double height = 15.0;
  std::string text;       // raw bytes in the system code page
  char terminator = '\x03';  // the label terminator in force when the label was read
};

struct Drawing {
  std::vector<Polyline> polylines;
  std::vector<Circle> circles;
  std::vector<TextLabel> labels;
  int pageCount = 1;  // at least 1

  bool empty() const { return polylines.empty() && circles.empty() && labels.empty(); }
};

}  // namespace plotdesk::engine
