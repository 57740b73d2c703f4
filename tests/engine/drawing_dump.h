#pragma once
// Compact text of a drawing's elements for table-driven expectations:
// polylines "p<page> s<pen>[c] x,y x,y ...", circles "p<page> s<pen> C x,y r",
// labels "p<page> s<pen> L x,y text", one element per entry, list order.
#include <string>
#include <string_view>
#include <vector>

#include "engine/drawing.h"
#include "engine/plot_reader.h"
#include "engine/plot_writer.h"

namespace plotdesk::engine::test {

inline std::string num(double v) {
  std::string s;
  appendNumber(s, v);
  return s;
}

inline std::string head(const PrimitiveHeader& h) {
  return "p" + std::to_string(h.page) + " s" + std::to_string(h.pen) + (h.closed ? "c" : "");
}

inline std::string dump(const Polyline& p) {
  std::string s = head(p.header);
  for (const Point& v : p.vertices) s += " " + num(v.x) + "," + num(v.y);
  return s;
}

inline std::vector<std::string> dump(const Drawing& d) {
  std::vector<std::string> out;
  for (const Polyline& p : d.polylines) out.push_back(dump(p));
  for (const Circle& c : d.circles) out.push_back(head(c.header) + " C " + num(c.cx) + "," + num(c.cy) + " " + num(c.radius));
  for (const TextLabel& l : d.labels) out.push_back(head(l.header) + " L " + num(l.x) + "," + num(l.y) + " " + l.text);
  return out;
}

// A drawing read from plot text with the reader's defaults (PG; breaks pages).
inline Drawing read(std::string_view text, ReaderOptions options = {}) {
  Drawing d;
  PlotReader reader(d, std::move(options));
  Status st = reader.scan(text);
  if (!st) d = Drawing{};
  return d;
}

}  // namespace plotdesk::engine::test
