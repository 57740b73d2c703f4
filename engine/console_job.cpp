#include "engine/console_job.h"

#include <cmath>

#include "engine/plot_writer.h"
#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

void line(std::string& out, const char* op, double a, double b) {
  out += op;
  appendNumber(out, a);
  out += ',';
  appendNumber(out, b);
  out += ";\r\n";
}

bool allOnPageZero(const Drawing& d) {
  for (const Polyline& p : d.polylines) {
    if (p.header.page != 0) return false;
  }
  for (const Circle& c : d.circles) {
    if (c.header.page != 0) return false;
  }
  for (const TextLabel& l : d.labels) {
    if (l.header.page != 0) return false;
  }
  return true;
}

}  // namespace

Result<std::string> consoleJobText(Drawing& d, const DisposeSettings& s, const ConsoleJob& job) {
  if (d.empty()) return fail("the console job has nothing to cut");
  if (!allOnPageZero(d)) return fail("a console job must be a single page, and this drawing has several");
  std::vector<PageContent> pages = collectPages(d);
  if (pages.size() != 1 || pages[0].page != 0) return fail("a console job must be a single page");
  const PageContent& page = pages[0];

  std::string out = "IN;\r\nFN" + formatInt(job.number) + "," + formatInt(job.number) + ";\r\n";
  if (s.cutBeginFeed) {
    const double x1 = job.x[0];
    const double x2 = job.x[1];
    const double x3 = job.x[2];
    const double x4 = job.x[3];
    const double cut = (s.pageLength - x1) * 40.0;
    const double edge = -40.0 * x2;
    line(out, "CL", cut, edge);
    const double p = std::fabs(cut) - std::fabs(edge);
    const double f = (s.pageLength - x1 - x3) * 40.0;
    out += "SP1;LT;PU";
    appendNumber(out, f);
    out += ",0;PD";
    appendNumber(out, f);
    out += ',';
    appendNumber(out, s.pageWidth * 40.0);
    out += ";\r\n";
    double q = p;
    if (x4 > 0) {
      const double m = -40.0 * x4;
      line(out, "CM", p, m);
      q = p - std::fabs(m);
    }
    const double dx = q - page.box.minX;
    for (Polyline& pl : d.polylines) {
      for (Point& v : pl.vertices) v.x += dx;
    }
    for (Circle& c : d.circles) c.cx += dx;
    for (TextLabel& l : d.labels) l.x += dx;
  }
  writeBody(out, d, page, s, true);
  out += "SP1;LT;PU";
  appendNumber(out, static_cast<double>(job.x[4]) * 40.0);
  out += ",0;\r\n";
  if (s.addPG) out += "PG;\r\n";
  return out;
}

}  // namespace plotdesk::engine
