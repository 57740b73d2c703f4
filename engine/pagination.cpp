#include "engine/pagination.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/plot_writer.h"

namespace plotdesk::engine {
namespace {

// Beyond this a strip number no longer fits the page arithmetic; a drawing
// that reaches it needs more pages than any dispose may make anyway.
constexpr double kMaxStrip = 1e15;

// Indexes of a list's elements grouped by page 0..pages-1, list order kept.
template <class T>
std::vector<std::vector<std::size_t>> byPage(const std::vector<T>& list, int pages) {
  std::vector<std::vector<std::size_t>> out(static_cast<std::size_t>(pages));
  for (std::size_t i = 0; i < list.size(); ++i) {
    int p = list[i].header.page;
    if (p >= 0 && p < pages) out[static_cast<std::size_t>(p)].push_back(i);
  }
  return out;
}

bool outsideBand(double y0, double y1, double w) { return (y0 <= 0 && y1 <= 0) || (y0 >= w && y1 >= w); }
bool insideBand(double y, double w) { return y >= 0 && y <= w; }

// The point of segment a-b at height y; `a` itself when the segment is parallel.
Point onHeight(Point a, Point b, double y) {
  double dy = b.y - a.y;
  if (std::fabs(dy) < 0.00001) return a;
  return {a.x + (y - a.y) * (b.x - a.x) / dy, y};
}

class Divider {
 public:
  Divider(Drawing& d, PageSize size) : d_(d), l_(size.length * 40.0), w_(size.width * 40.0) {}

  Status run() {
    if (!(l_ > 0) || !(w_ >= 0)) return fail("the page size must be above 0 to divide a drawing into pages");
    if (Status st = findLowestStrip(); !st) return st;
    const int pages = std::max(d_.pageCount, highestInputPage() + 1);
    auto lines = byPage(d_.polylines, pages);
    auto circles = byPage(d_.circles, pages);
    auto labels = byPage(d_.labels, pages);
    // Most polylines stay whole; the few cut at page edges grow the list.
    lines_.reserve(d_.polylines.size() + d_.polylines.size() / 16);

    int highest = -1;  // highest page number given so far
    for (int a = 0; a < pages; ++a) {
      const std::size_t a0 = static_cast<std::size_t>(a);
      const std::size_t firstLine = lines_.size();
      const std::size_t firstCircle = circles_.size();
      const std::size_t firstLabel = labels_.size();
      for (std::size_t i : lines[a0]) {
        if (Status st = dividePolyline(d_.polylines[i]); !st) return st;
      }
      for (std::size_t i : circles[a0]) {
        Circle c = d_.circles[i];
        if (Status st = place(c.cx, c.header.page); !st) return st;
        circles_.push_back(c);
      }
      for (std::size_t i : labels[a0]) {
        TextLabel t = d_.labels[i];
        if (Status st = place(t.x, t.header.page); !st) return st;
        labels_.push_back(std::move(t));
      }
      // Input page a continues after everything earlier input pages used.
      const long long base = a == 0 ? 0 : std::max(highest, 0) + static_cast<long long>(a);
      auto raise = [&](PrimitiveHeader& h) -> Status {
        long long page = base + h.page;
        if (page >= kMaxPages) return tooManyPages();
        h.page = static_cast<int>(page);
        highest = std::max(highest, h.page);
        return {};
      };
      for (std::size_t i = firstLine; i < lines_.size(); ++i) {
        if (Status st = raise(lines_[i].header); !st) return st;
      }
      for (std::size_t i = firstCircle; i < circles_.size(); ++i) {
        if (Status st = raise(circles_[i].header); !st) return st;
      }
      for (std::size_t i = firstLabel; i < labels_.size(); ++i) {
        if (Status st = raise(labels_[i].header); !st) return st;
      }
    }
    d_.polylines = std::move(lines_);
    d_.circles = std::move(circles_);
    d_.labels = std::move(labels_);
    d_.pageCount = std::max(d_.pageCount, highest + 1);
    return {};
  }

 private:
  Status tooManyPages() const {
    return fail("the page length is too small for this drawing: dividing it would make more than " +
                std::to_string(kMaxPages) + " pages");
  }

  double strip(double x) const { return std::floor(x / l_); }

  int highestInputPage() const {
    int h = 0;
    for (const Polyline& p : d_.polylines) h = std::max(h, p.header.page);
    for (const Circle& c : d_.circles) h = std::max(h, c.header.page);
    for (const TextLabel& t : d_.labels) h = std::max(h, t.header.page);
    return h;
  }

  // The lowest and highest strip anything can land in. Everything is numbered
  // relative to the lowest (when that is below 0), and a drawing spanning more
  // strips than pages allowed is refused before any piece is made.
  Status findLowestStrip() {
    double lo = 0.0;
    double hi = 0.0;
    auto see = [&](double x) {
      double k = strip(x);
      lo = std::min(lo, k);
      hi = std::max(hi, k);
    };
    for (const Polyline& p : d_.polylines) {
      for (std::size_t i = 0; i + 1 < p.vertices.size(); ++i) {
        const Point& a = p.vertices[i];
        const Point& b = p.vertices[i + 1];
        if (!(insideBand(a.y, w_) && insideBand(b.y, w_)) && outsideBand(a.y, b.y, w_)) continue;
        see(a.x);
        see(b.x);
      }
    }
    for (const Circle& c : d_.circles) see(c.cx);
    for (const TextLabel& t : d_.labels) see(t.x);
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo < -kMaxStrip || hi > kMaxStrip ||
        hi - lo >= static_cast<double>(kMaxPages)) {
      return tooManyPages();
    }
    lowest_ = static_cast<long long>(lo);
    return {};
  }

  // Strip of x relative to the lowest strip; x becomes local to its strip.
  Status place(double& x, std::int32_t& page) {
    double k = strip(x);
    x -= k * l_;
    page = static_cast<std::int32_t>(static_cast<long long>(k) - lowest_);
    return {};
  }

  Status store(std::vector<Point>& piece, const PrimitiveHeader& h, long long k) {
    if (piece.size() >= 2) {
      vertices_ += piece.size();
      if (vertices_ > kMaxDividedVertices) {
        return fail("the page length is too small for this drawing: dividing it would make more than " +
                    std::to_string(kMaxDividedVertices) + " vertices");
      }
      Polyline& out = lines_.emplace_back();
      out.header = h;
      out.header.page = static_cast<std::int32_t>(k - lowest_);
      // An exact copy: the scratch piece keeps its capacity for the next one,
      // and the drawing holds no doubling slack.
      out.vertices.assign(piece.begin(), piece.end());
    }
    piece.clear();
    return {};
  }

  Status dividePolyline(const Polyline& line) {
    std::vector<Point>& piece = piece_;
    piece.clear();
    long long pieceStrip = 0;
    const auto& v = line.vertices;
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
      Point p = v[i];
      Point q = v[i + 1];
      bool endsPiece = false;
      if (!(insideBand(p.y, w_) && insideBand(q.y, w_))) {
        if (outsideBand(p.y, q.y, w_)) {
          if (Status st = store(piece, line.header, pieceStrip); !st) return st;
          continue;
        }
        // The segment crosses the band: ends outside it move onto its edge.
        const Point p0 = p;
        const Point q0 = q;
        if (!insideBand(p0.y, w_)) p = onHeight(p0, q0, p0.y < 0 ? 0.0 : w_);
        if (!insideBand(q0.y, w_)) {
          q = onHeight(q0, p0, q0.y < 0 ? 0.0 : w_);
          endsPiece = true;
        }
      }
      const long long kp = static_cast<long long>(strip(p.x));
      const long long kq = static_cast<long long>(strip(q.x));
      piece.push_back({p.x - static_cast<double>(kp) * l_, p.y});
      pieceStrip = kp;
      if (kp != kq) {
        const long long step = kp < kq ? 1 : -1;
        // Crossing boundary X = j*L going right closes strip j-1 at L and
        // opens strip j at 0; going left the other way round.
        for (long long k = kp; k != kq; k += step) {
          const long long j = step > 0 ? k + 1 : k;
          const double bx = static_cast<double>(j) * l_;
          const double y = p.y + (bx - p.x) * (q.y - p.y) / (q.x - p.x);
          piece.push_back({step > 0 ? l_ : 0.0, y});
          if (Status st = store(piece, line.header, k); !st) return st;
          piece.push_back({step > 0 ? 0.0 : l_, y});
          pieceStrip = k + step;
        }
      }
      piece.push_back({q.x - static_cast<double>(kq) * l_, q.y});
      pieceStrip = kq;
      if (endsPiece) {
        if (Status st = store(piece, line.header, pieceStrip); !st) return st;
      }
    }
    return store(piece, line.header, pieceStrip);
  }

  Drawing& d_;
  double l_;
  double w_;
  long long lowest_ = 0;
  std::size_t vertices_ = 0;
  std::vector<Polyline> lines_;
  std::vector<Point> piece_;  // the piece being built, reused from polyline to polyline
  std::vector<Circle> circles_;
  std::vector<TextLabel> labels_;
};

}  // namespace

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

Status divideByCoordinates(Drawing& d, PageSize size) { return Divider(d, size).run(); }

Status paginateDrawing(Drawing& d, int fileType, PageSize size) {
  switch (fileType) {
    case 5:
      for (Polyline& p : d.polylines) p.header.page = 0;
      for (Circle& c : d.circles) c.header.page = 0;
      for (TextLabel& l : d.labels) l.header.page = 0;
      return {};
    case 0:
    case 2:
    case 4:
      return divideByCoordinates(d, size);
    default:  // 1 and 3: the pages are those of the page-break instructions
      return {};
  }
}

}  // namespace plotdesk::engine
