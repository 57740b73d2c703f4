#pragma once
// Machine plot file text: one file per non-empty page. Machines read these
// bytes directly, so every line ends in CR LF and numbers never use an
// exponent (a machine stops a number at the letter "e").
#include <cstddef>
#include <string>
#include <vector>

#include "engine/dispose_settings.h"
#include "engine/drawing.h"

namespace plotdesk::engine {

struct BoundingBox {
  double minX = 100000000.0;
  double minY = 100000000.0;
  double maxX = -100000000.0;
  double maxY = -100000000.0;
  bool any = false;  // at least one element counted

  void add(double x, double y);
  void addPolyline(const Polyline& p);
  void addCircle(const Circle& c);
  void addLabel(const TextLabel& l);
};

// Bounding box of every element of every page.
BoundingBox drawingBox(const Drawing& drawing);

// The elements of one page, as indexes into the drawing's lists in list order.
struct PageContent {
  int page = 0;
  std::vector<std::size_t> polylines;
  std::vector<std::size_t> circles;
  std::vector<std::size_t> labels;
  BoundingBox box;
};

// The pages from 0 to pageCount - 1 that hold at least one element, ascending.
// One pass over the drawing, so a file with many page breaks stays linear.
std::vector<PageContent> collectPages(const Drawing& drawing);

// Six significant digits without exponent, C locale.
void appendNumber(std::string& out, double value);
// "%.2f * %.2f" of the page's largest X and Y in millimetres.
std::string sizeText(double maxX, double maxY);

// Pen line, line-type line and geometry of one element. Polylines with fewer
// than two vertices are skipped: they cannot be cut and "PD;" would draw a dot.
void writePolyline(std::string& out, const Polyline& p, const DisposeSettings& s);
void writeCircle(std::string& out, const Circle& c, const DisposeSettings& s);
void writeLabel(std::string& out, const TextLabel& l, const DisposeSettings& s);
// The page body: list order, or pen slot order when spOrder is on.
void writeBody(std::string& out, const Drawing& d, const PageContent& page, const DisposeSettings& s,
               bool lastPage);
// A whole page file with the marks the settings enable. `lastPage` is true for
// the last page that yields a file (it gets no "SK;" pump); `feed` holds the
// source's AM values for the material feed.
std::string writePage(const Drawing& d, const PageContent& page, const DisposeSettings& s, bool lastPage,
                      const FeedValues& feed = {});
// The same into `out`, replacing what it held: a caller writing many pages
// keeps one buffer, so each page does not fault in fresh memory again.
void writePage(std::string& out, const Drawing& d, const PageContent& page, const DisposeSettings& s, bool lastPage,
               const FeedValues& feed = {});

}  // namespace plotdesk::engine
