#include "engine/plot_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
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

constexpr std::size_t kPenSlots = 8;

// Element indexes of one page grouped by the first pen slot that holds their
// pen, list order kept within a slot; elements of unlisted pens are left out.
struct SlotLists {
  std::vector<std::size_t> index;
  std::array<std::size_t, kPenSlots + 1> start{};
  std::span<const std::size_t> slot(std::size_t k) const {
    return {index.data() + start[k], start[k + 1] - start[k]};
  }
};

template <class T>
SlotLists bySlot(const std::vector<T>& list, const std::vector<std::size_t>& page, const std::array<int, 8>& pens) {
  SlotLists out;
  std::vector<std::uint8_t> slot(page.size());
  std::array<std::size_t, kPenSlots + 1> count{};
  for (std::size_t n = 0; n < page.size(); ++n) {
    const int pen = list[page[n]].header.pen;
    std::size_t k = 0;
    while (k < kPenSlots && pens[k] != pen) ++k;
    slot[n] = static_cast<std::uint8_t>(k);  // kPenSlots: not written
    ++count[k];
  }
  for (std::size_t k = 0; k < kPenSlots; ++k) out.start[k + 1] = out.start[k] + count[k];
  out.index.resize(out.start[kPenSlots]);
  std::array<std::size_t, kPenSlots> next{};
  std::copy(out.start.begin(), out.start.begin() + kPenSlots, next.begin());
  for (std::size_t n = 0; n < page.size(); ++n) {
    if (slot[n] < kPenSlots) out.index[next[slot[n]]++] = page[n];
  }
  return out;
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
  // The index lists are sized first: on a big drawing they hold millions of
  // entries, and growing them would copy each list into fresh memory again.
  std::vector<size_t> lineCount;
  for (const Polyline& line : d.polylines) {
    if (PageContent* p = pageOf(line.header.page)) {
      const auto k = static_cast<size_t>(p - pages.data());
      if (k >= lineCount.size()) lineCount.resize(k + 1, 0);
      ++lineCount[k];
    }
  }
  for (size_t k = 0; k < lineCount.size(); ++k) pages[k].polylines.reserve(lineCount[k]);
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

namespace {

// Six significant digits of v, for 0.0001 <= |v| < 999999.5, exactly as the
// general format writes them (never an exponent in that range: plain
// decimals, trailing zeros dropped), but without the library's arbitrary
// precision route, which dominated writing a page. v is scaled so the six
// digits are the integer part; that product is off by at most half a unit in
// its last place (below 2^-33 here), so the rounding is decided correctly
// unless the digit after the sixth is within a hair of a tie, or the scale
// was picked at the very edge of a power of ten. Then it returns false and
// the caller takes the exact route.
bool appendSixDigits(std::string& out, double v) {
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  static constexpr double kDecade[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
  const double a = std::fabs(v);
  if (!(a >= 0.0001 && a < 999999.5)) return false;
  int e = 5;  // decimal exponent of a
  while (e > -4 && a < kDecade[e + 4]) --e;
  const double scaled = a * kScale[5 - e];
  if (!(scaled >= 100000.5 && scaled <= 999999.4)) return false;
  const double whole = std::floor(scaled);
  const double rest = scaled - whole;  // exact: both below 2^20
  if (std::fabs(rest - 0.5) < 1e-6) return false;
  long digits = static_cast<long>(whole) + (rest > 0.5 ? 1 : 0);  // 100001..999999
  char buf[16];
  for (int i = 5; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  int used = 6;
  const int point = e >= 0 ? e + 1 : 0;  // digits before the decimal point
  while (used > point && buf[used - 1] == '0') --used;
  if (v < 0) out += '-';
  if (e >= 0) {
    out.append(buf, static_cast<std::size_t>(point));
    if (used > point) {
      out += '.';
      out.append(buf + point, static_cast<std::size_t>(used - point));
    }
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out.append(buf, static_cast<std::size_t>(used));
  }
  return true;
}

}  // namespace

void appendNumber(std::string& out, double v) {
  // Whole numbers of up to six digits print the same in every notation.
  if (v > -999999.5 && v < 999999.5 && v == std::trunc(v)) {
    appendInt(out, static_cast<long long>(v));
    return;
  }
  if (appendSixDigits(out, v)) return;
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
  // Each pen slot takes the page's elements of its pen in list order. One
  // pass sorts them into slots, rather than a scan of the page per slot.
  std::array<std::size_t, kPenSlots> slotOf{};  // a pen listed twice uses its first slot
  for (std::size_t k = 0; k < kPenSlots; ++k) {
    slotOf[k] = k;
    for (std::size_t j = 0; j < k; ++j) {
      if (s.spOut[j] == s.spOut[k]) {
        slotOf[k] = j;
        break;
      }
    }
  }
  const SlotLists lines = bySlot(d.polylines, page.polylines, s.spOut);
  const SlotLists circles = bySlot(d.circles, page.circles, s.spOut);
  const SlotLists labels = bySlot(d.labels, page.labels, s.spOut);
  for (std::size_t k = 0; k < kPenSlots; ++k) {
    const std::size_t slot = slotOf[k];
    for (std::size_t i : lines.slot(slot)) writePolyline(out, d.polylines[i], s);
    for (std::size_t i : circles.slot(slot)) writeCircle(out, d.circles[i], s);
    for (std::size_t i : labels.slot(slot)) writeLabel(out, d.labels[i], s);
    if (s.addPagiPG && !lastPage) out += "SK;\r\n";
    if (s.sooAddPagebreak) out += "PG;\r\n";
  }
}

void writePage(std::string& out, const Drawing& d, const PageContent& page, const DisposeSettings& s, bool lastPage,
               const FeedValues& feed) {
  out.clear();
  // Typical plot text needs about twelve bytes per vertex, and each polyline
  // adds some 30 for its pen, line-type and PU lines. The estimate errs high:
  // capacity never written is never touched, while growing past it would copy
  // the whole page into fresh memory.
  size_t vertices = 0;
  for (size_t i : page.polylines) vertices += d.polylines[i].vertices.size();
  const size_t estimate =
      64 + vertices * 16 + page.polylines.size() * 32 + (page.circles.size() + page.labels.size()) * 64;
  // A reused buffer grows with a margin, so pages of about the same size do
  // not each move it into fresh memory.
  if (out.capacity() < estimate) out.reserve(estimate + estimate / 4);
  out += "IN;\r\n";
  writePair(out, "JS", page.box.maxX, page.box.maxY);
  writeMarksBefore(out, page.box, s);
  writeBody(out, d, page, s, lastPage);
  writeMarksAfter(out, page.box, s, lastPage, feed);
  if (s.addPG) out += "PG;\r\n";
}

std::string writePage(const Drawing& d, const PageContent& page, const DisposeSettings& s, bool lastPage,
                      const FeedValues& feed) {
  std::string out;
  writePage(out, d, page, s, lastPage, feed);
  return out;
}

}  // namespace plotdesk::engine
