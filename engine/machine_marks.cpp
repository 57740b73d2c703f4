#include "engine/machine_marks.h"

namespace plotdesk::engine {
namespace {

void pair(std::string& out, double x, double y) {
  appendNumber(out, x);
  out += ',';
  appendNumber(out, y);
}

void stroke(std::string& out, double x0, double y, double x1) {
  out += "PU";
  pair(out, x0, y);
  out += ";PD";
  pair(out, x1, y);
  out += ';';
}

// Row heights are held at single precision, as the machines expect them.
double single(double v) { return static_cast<double>(static_cast<float>(v)); }

}  // namespace

void writeExternalContour(std::string& out, const BoundingBox& b) {
  out += "SP0;LT0,0.0,1;PU";
  pair(out, b.minX, b.minY);
  out += ";PD";
  pair(out, b.minX, b.minY);
  out += ',';
  pair(out, b.maxX, b.minY);
  out += ',';
  pair(out, b.maxX, b.maxY);
  out += ',';
  pair(out, b.minX, b.maxY);
  out += ',';
  pair(out, b.minX, b.minY);
  out += ";PG;\r\n";
}

void writeHoldingPosition(std::string& out, const DisposeSettings& s) {
  out += "SP1;LT;PU0,0;PD";
  pair(out, s.markLength * 40.0, 0);
  out += ';';
}

void writeInkjetMark(std::string& out, const BoundingBox& b, const DisposeSettings& s) {
  const double l = s.markLength * 40.0;
  out += "SP1;LT;";
  if (s.inkjetMinPosit) {
    double x0 = 0.0;
    double x1 = 0.0;
    if (b.minX - l > 0) {
      x0 = b.minX - l;
      x1 = b.minX;
    } else {
      x1 = b.minX > 0 ? b.minX : l;
    }
    for (int n = 0; n <= s.markWidth && n < kMaxMarkRows; ++n) stroke(out, x0, single(b.minY + 40.0 * n), x1);
  } else {
    const double a = s.holdPosition ? 0.0 : b.minX;
    const double c = s.holdPosition ? 0.0 : b.minY;
    for (int n = 0; n < s.markWidth && n < kMaxMarkRows; ++n) stroke(out, a, single(c + 4.0 * n), a + l);
  }
}

void writeMaterialCut(std::string& out, const BoundingBox& b, const DisposeSettings& s) {
  double x = b.maxX + 200.0;
  const double pageEnd = s.pageLength * 40.0;
  if (x > pageEnd) x = pageEnd;
  out += "SP2;LT;PU";
  pair(out, x, 0);
  out += ";PD";
  pair(out, x, s.pageWidth * 40.0);
  out += ';';
}

void writeFeed(std::string& out, const BoundingBox& b, const FeedValues& feed) {
  out += "AM";
  if (feed.given) {
    pair(out, feed.x, feed.y);
  } else {
    pair(out, b.maxX, -b.maxX);
  }
  out += ";\r\n";
}

void writeMarksBefore(std::string& out, const BoundingBox& box, const DisposeSettings& s) {
  if (s.scanExtContour) writeExternalContour(out, box);
  if (s.holdPosition) writeHoldingPosition(out, s);
  if (s.inkjetMark) writeInkjetMark(out, box, s);
}

void writeMarksAfter(std::string& out, const BoundingBox& box, const DisposeSettings& s, bool lastPage,
                     const FeedValues& feed) {
  if (s.autoCutMaterial) writeMaterialCut(out, box, s);
  if (s.addPagiPG && !lastPage) out += "SK;\r\n";
  if (s.autoFeedMaterial) writeFeed(out, box, feed);
}

}  // namespace plotdesk::engine
