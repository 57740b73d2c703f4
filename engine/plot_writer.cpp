#include "engine/plot_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "engine/machine_marks.h"
#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

constexpr const char* kEol = "\r\n";

void appendInt(std::string& out, long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void writePen(std::string& out, int pen, const DisposeSettings& s) {
  if (s.strokeSet) pen = (pen >= 1 && pen <= 8) ? s.strokeSP[static_cast<size_t>(pen - 1)] : 2;
  out += "SP";
  appendInt(out, pen);
  out += ';';
  out += kEol;
}

void writeLineType(std::string& out, const PrimitiveHeader& h, const DisposeSettings& s) {
  if (s.dotlineToLine) {
    out += "LT0,0.0,1;";
  } else {
    out += "LT";
    appendInt(out, h.linePattern);
    out += ',';
    appendNumber(out, h.patternLength);
    out += ',';
    appendInt(out, h.lineMode);
    out += ';';
  }
  out += kEol;
}

void writePair(std::string& out, const char* op, double x, double y) {
  out += op;
  appendNumber(out, x);
  out += ',';
  appendNumber(out, y);
  out += ';';
  out += kEol;
}

}  // namespace

void BoundingBox::add(double x, double y) {
  if (x < minX) minX = x;
  if (y < minY) minY = y;
  if (x > maxX) maxX = x;
  if (y > maxY) maxY = y;
}

void BoundingBox::addPolyline(const Polyline& p) {
  any = true;
  for (const Point& v : p.vertices) add(v.x, v.y);
}

void BoundingBox::addCircle(const Circle& c) {
  any = true;
  add(c.cx - c.radius, c.cy - c.radius);
  add(c.cx + c.radius, c.cy + c.radius);
}

void BoundingBox::addLabel(const TextLabel& l) {
  any = true;
  add(l.x, l.y);
}

BoundingBox drawingBox(const Drawing& d) {
  BoundingBox box;
  for (const Polyline& p : d.polylines) box.addPolyline(p);
  for (const Circle& c : d.circles) box.addCircle(c);
  for (const TextLabel& l : d.labels) box.addLabel(l);
  return box;
}

std::vector<PageContent> collectPages(const Drawing& d) {
  std::unordered_map<int, size_t> slot;
  std::vector<PageContent> pages;
  auto pageOf = [&](int page) -> PageContent* {
    if (page < 0 || page >= d.pageCount) return nullptr;
    auto [it, added] = slot.try_emplace(page, pages.size());
    if (added) {
      pages.emplace_back();
      pages.back().page = page;
    }
    return &pages[it->second];
  };
  for (size_t i = 0; i < d.polylines.size(); ++i) {
    if (PageContent* p = pageOf(d.polylines[i].header.page)) {
      p->polylines.push_back(i);
      p->box.addPolyline(d.polylines[i]);
    }
  }
  for (size_t i = 0; i < d.circles.size(); ++i) {
    if (PageContent* p = pageOf(d.circles[i].header.page)) {
      p->circles.push_back(i);
      p->box.addCircle(d.circles[i]);
    }
  }
  for (size_t i = 0; i < d.labels.size(); ++i) {
    if (PageContent* p = pageOf(d.labels[i].header.page)) {
      p->labels.push_back(i);
      p->box.addLabel(d.labels[i]);
    }
  }
  std::sort(pages.begin(), pages.end(), [](const PageContent& a, const PageContent& b) { return a.page < b.page; });
  return pages;
}

void appendNumber(std::string& out, double v) {
  // Whole numbers of up to six digits print the same in every notation.
  if (v > -999999.5 && v < 999999.5 && v == std::trunc(v)) {
    appendInt(out, static_cast<long long>(v));
    return;
  }
  out += formatGeneral(v);
}

std::string sizeText(double maxX, double maxY) {
  return formatFixed(maxX * 0.025, 2) + " * " + formatFixed(maxY * 0.025, 2);
}

void writePolyline(std::string& out, const Polyline& p, const DisposeSettings& s) {
  if (p.vertices.size() < 2) return;
  writePen(out, p.header.pen, s);
  writeLineType(out, p.header, s);
  writePair(out, "PU", p.vertices[0].x, p.vertices[0].y);
  out += "PD";
  for (size_t i = 1; i < p.vertices.size(); ++i) {
    if (i > 1) out += ',';
    appendNumber(out, p.vertices[i].x);
    out += ',';
    appendNumber(out, p.vertices[i].y);
  }
  out += ';';
  out += kEol;
}

void writeCircle(std::string& out, const Circle& c, const DisposeSettings& s) {
  writePen(out, c.header.pen, s);
  writeLineType(out, c.header, s);
  writePair(out, "PU", c.cx, c.cy);
  out += "CI";
  appendNumber(out, c.radius);
  out += ';';
  out += kEol;
}

void writeLabel(std::string& out, const TextLabel& l, const DisposeSettings& s) {
  writePen(out, l.header.pen, s);
  writeLineType(out, l.header, s);
  if (l.runGiven && l.riseGiven) {
    writePair(out, "DI", l.run, l.rise);
  } else {
    out += "DI";
    appendNumber(out, l.angle);
    out += ';';
    out += kEol;
  }
  writePair(out, "SI", l.width, l.height);
  out += "DT";
  out += l.terminator;
  out += ';';
  out += kEol;
  writePair(out, "PU", l.x, l.y);
  out += "LB";
  out += l.text;
  out += l.terminator;
  out += ';';
  out += kEol;
}

void writeBody(std::string& out, const Drawing& d, const PageContent& page, const DisposeSettings& s,
               bool lastPage) {
  if (!s.spOrder) {
    for (size_t i : page.polylines) writePolyline(out, d.polylines[i], s);
    for (size_t i : page.circles) writeCircle(out, d.circles[i], s);
    for (size_t i : page.labels) writeLabel(out, d.labels[i], s);
    return;
  }
  for (int pen : s.spOut) {
    for (size_t i : page.polylines) {
      if (d.polylines[i].header.pen == pen) writePolyline(out, d.polylines[i], s);
    }
    for (size_t i : page.circles) {
      if (d.circles[i].header.pen == pen) writeCircle(out, d.circles[i], s);
    }
    for (size_t i : page.labels) {
      if (d.labels[i].header.pen == pen) writeLabel(out, d.labels[i], s);
    }
    if (s.addPagiPG && !lastPage) out += "SK;\r\n";
    if (s.sooAddPagebreak) out += "PG;\r\n";
  }
}

std::string writePage(const Drawing& d, const PageContent& page, const DisposeSettings& s, bool lastPage,
                      const FeedValues& feed) {
  std::string out;
  // Typical plot text needs about twelve bytes per vertex.
  size_t vertices = 0;
  for (size_t i : page.polylines) vertices += d.polylines[i].vertices.size();
  out.reserve(64 + vertices * 14 + (page.circles.size() + page.labels.size()) * 64);
  out += "IN;\r\n";
  writePair(out, "JS", page.box.maxX, page.box.maxY);
  writeMarksBefore(out, page.box, s);
  writeBody(out, d, page, s, lastPage);
  writeMarksAfter(out, page.box, s, lastPage, feed);
  if (s.addPG) out += "PG;\r\n";
  return out;
}

}  // namespace plotdesk::engine
