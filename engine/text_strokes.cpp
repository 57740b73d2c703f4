#include "engine/text_strokes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace plotdesk::engine {
namespace {

constexpr double kPi = 3.1415926;
constexpr double kRadPerDegree = 0.017453292222222222;
constexpr double kNoneDrawn = -1000000000.0;

// Characters whose strokes are fixed shapes, whatever the font holds: they
// must come out straight and in the same place in every font.
std::optional<GlyphSegment> fixedShape(unsigned char c, size_t record) {
  switch (c) {
    case '-':
      return GlyphSegment{50, 350, 350, 350};
    case '.':
      return GlyphSegment{200, 700, 200, 698};
    case '/':
      return GlyphSegment{20, 700, 380, 0};
    case '=':
      return record == 0 ? GlyphSegment{50, 250, 350, 250} : GlyphSegment{50, 450, 350, 450};
    case '_':
      return GlyphSegment{50, 700, 350, 700};
    default:
      return std::nullopt;
  }
}

bool usable(const Point& p) {
  return std::fabs(p.x) <= PlotReader::kMaxCoordinate && std::fabs(p.y) <= PlotReader::kMaxCoordinate;
}

class LabelWriter {
 public:
  LabelWriter(PlotReader& reader, const StrokeFont& font, const TextStrokeSettings& settings)
      : reader_(reader), font_(font), settings_(settings) {}

  bool convert(const TextLabel& label);

 private:
  bool segment(const GlyphSegment& g, double sx, double sy);
  Point rotate(Point p) const;

  PlotReader& reader_;
  const StrokeFont& font_;
  const TextStrokeSettings& settings_;
  PrimitiveHeader header_;
  double px_ = 0.0;
  double py_ = 0.0;
  double cx_ = 0.0;
  double cy_ = 0.0;
  bool rotate_ = false;
  double cos_ = 1.0;
  double sin_ = 0.0;
  double maxX_ = kNoneDrawn;
  bool drawn_ = false;
  bool hasEnd_ = false;
  Point end_;
};

Point LabelWriter::rotate(Point p) const {
  if (!rotate_) return p;
  const double dx = p.x - cx_;
  const double dy = p.y - cy_;
  return {cx_ + dx * cos_ - dy * sin_, cy_ + dx * sin_ + dy * cos_};
}

bool LabelWriter::segment(const GlyphSegment& g, double sx, double sy) {
  const Point a{px_ + sx * g.x1, py_ + sy * (700.0 - g.y1)};
  const Point b{px_ + sx * g.x2, py_ + sy * (700.0 - g.y2)};
  maxX_ = std::max({maxX_, a.x, b.x});
  drawn_ = true;
  const Point start = rotate(a);
  const Point end = rotate(b);
  if (!usable(start) || !usable(end)) return false;
  std::vector<Point>& pending = reader_.pendingVertices();
  // A segment continues the current polyline only when it starts exactly on
  // the previous end, counted in whole units.
  if (!hasEnd_ || start.x != end_.x || start.y != end_.y) {
    reader_.commit(header_);
    pending.push_back(start);
  }
  pending.push_back(end);
  end_ = {std::trunc(end.x), std::trunc(end.y)};
  hasEnd_ = true;
  return true;
}

bool LabelWriter::convert(const TextLabel& label) {
  reader_.commit();
  reader_.penUp();
  header_ = label.header;
  header_.kind = ElementKind::Polyline;
  header_.closed = false;

  const TextStrokeSettings& s = settings_;
  const double t = s.scaleY * 0.01 * label.width * 10;
  const double u = 1.5 * t;
  const double gap = 40 * s.space;
  px_ = label.x;
  py_ = label.y;
  if (s.positionOptimize) {
    const double n = static_cast<double>(label.text.size());
    const double theta =
        label.runGiven && label.riseGiven ? std::atan2(label.rise, label.run) : label.angle * kRadPerDegree;
    const double v = n - gap;
    px_ = px_ + v + std::cos(theta + kPi) * n * t * 400;
    py_ = py_ + v + std::sin(theta + kPi) * n * t * 400;
  }
  cx_ = px_;
  cy_ = py_;
  double phi = 0.0;
  if (s.useRunRise) {
    rotate_ = label.run > 0;
    if (label.run > 0 && label.rise != 0) phi = std::atan(label.rise / label.run);
  } else {
    rotate_ = true;
    phi = label.angle * kRadPerDegree;
  }
  cos_ = std::cos(phi);
  sin_ = std::sin(phi);
  maxX_ = kNoneDrawn;
  drawn_ = false;

  const std::string& text = label.text;
  char key[32];
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    double sx = 0.04 * t;
    double sy = 0.03 * u;
    if (c >= 'a' && c <= 'z') {
      sx = 0.03 * t;
      sy = 0.02 * u;
    } else if (c >= 128) {
      sx = 0.05 * t;
      sy = 0.04 * u;
    }
    if (c >= 33 && c <= 126) {
      std::snprintf(key, sizeof key, "QKASCII%d", c);
    } else if (c >= 176 && c <= 247) {
      if (i + 1 >= text.size()) break;  // a lead byte without its trail byte
      const auto trail = static_cast<unsigned char>(text[++i]);
      if (trail < 161 || trail > 254) continue;
      std::snprintf(key, sizeof key, "QK%d%d", c - 160, trail - 160);
    } else if (c >= 0x81 && c <= 0xFE) {
      // The lead byte of a double-byte character the font does not cover
      // (symbols, extension characters): its trail byte goes with it, or the
      // trail would be read as a character of its own and could pair up with
      // the next character's lead byte, garbling the rest of the label.
      ++i;
      continue;
    } else {
      if (c == ' ') px_ += std::trunc(std::fabs(sx * 600) + gap);
      continue;
    }

    hasEnd_ = false;
    const std::optional<std::span<const GlyphSegment>> glyph = font_.find(key);
    if (glyph) {
      for (size_t k = 0; k < glyph->size(); ++k) {
        std::optional<GlyphSegment> fixed = fixedShape(c, k);
        if (!segment(fixed ? *fixed : (*glyph)[k], sx, sy)) return false;
        if (c == '/') break;
      }
    } else if (c == '/' || c == '.') {
      if (!segment(*fixedShape(c, 0), sx, sy)) return false;
    }
    // The next character starts a gap after the rightmost stroke so far; before
    // anything is drawn there is nothing to measure from and the pen stays.
    if (drawn_) px_ = gap + maxX_;
  }
  reader_.commit(header_);
  reader_.penUp();
  return true;
}

}  // namespace

Status convertLabels(PlotReader& reader, const StrokeFont& font, const TextStrokeSettings& settings) {
  Drawing& drawing = reader.drawing();
  std::vector<TextLabel> labels = std::move(drawing.labels);
  drawing.labels.clear();
  LabelWriter writer(reader, font, settings);
  for (const TextLabel& label : labels) {
    if (!writer.convert(label)) {
      reader.pendingVertices().clear();
      return fail("the label \"" + label.text.substr(0, 40) + "\" would be drawn outside the usable coordinate range");
    }
  }
  return {};
}

}  // namespace plotdesk::engine
