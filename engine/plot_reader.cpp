#include "engine/plot_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "platform/files.h"
#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

constexpr size_t kNone = std::numeric_limits<size_t>::max();

// What a byte means inside a parameter list.
enum ByteClass : unsigned char { kCollect, kSeparator, kLineBreak, kSemicolon, kLetter };

constexpr std::array<unsigned char, 256> makeClasses() {
  std::array<unsigned char, 256> t{};
  for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<size_t>(c)] = kLetter;
  for (int c = 'a'; c <= 'z'; ++c) t[static_cast<size_t>(c)] = kLetter;
  t[','] = kSeparator;
  t[' '] = kSeparator;
  t['\r'] = kLineBreak;
  t['\n'] = kLineBreak;
  t[';'] = kSemicolon;
  return t;
}
constexpr std::array<unsigned char, 256> kClasses = makeClasses();

unsigned char classOf(char c) { return kClasses[static_cast<unsigned char>(c)]; }
bool isLetter(char c) { return classOf(c) == kLetter; }
bool isSeparator(char c) { return classOf(c) == kSeparator; }
bool isLineBreak(char c) { return classOf(c) == kLineBreak; }
bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

constexpr int key(char a, char b) { return (a << 8) | b; }

// One number text inside a list. Line breaks inside a number are dropped,
// so "12\r\n34" is 1234; the common case has none and is read in place.
struct Token {
  size_t start = kNone;
  size_t end = 0;
  bool gap = false;
  bool spliced = false;

  void add(size_t i) {
    if (start == kNone) {
      start = i;
    } else if (gap) {
      spliced = true;
    }
    gap = false;
    end = i + 1;
  }
  void lineBreak() {
    if (start != kNone) gap = true;
  }
  bool empty() const { return start == kNone; }
};

}  // namespace

PlotReader::PlotReader(Drawing& drawing, ReaderOptions options)
    : drawing_(drawing), options_(std::move(options)) {}

void PlotReader::reset() {
  state_ = ReaderState{};
  pending_.clear();
  drawing_ = Drawing{};
  error_.clear();
}

Status PlotReader::loadFile(const std::string& path, const ReadProgress& progress) {
  reset();
  Result<std::string> bytes = readFile(path);
  if (!bytes) return fail("cannot read the plot file: " + bytes.error());
  if (bytes->empty()) return fail("the plot file '" + path + "' is empty");
  return scan(*bytes, progress);
}

Status PlotReader::scan(std::string_view bytes, const ReadProgress& progress) {
  reset();
  b_ = bytes.data();
  n_ = bytes.size();
  size_t nextReport = 0;
  for (size_t d = 0; d + 1 < n_; ++d) {
    if (d >= nextReport && progress) {
      int percent = static_cast<int>(d * 100 / n_);
      if (!progress(percent)) {
        error_ = "the dispose was cancelled";
        break;
      }
      nextReport = (static_cast<size_t>(percent) + 1) * n_ / 100;
    }
    // Mnemonics are upper case; a byte of 128 or above never starts one.
    const char c0 = b_[d];
    const char c1 = b_[d + 1];
    if (c0 < 'A' || c0 > 'Z' || c1 < 'A' || c1 > 'Z') continue;
    d = dispatch(key(c0, c1), d + 1);
    if (!error_.empty()) break;
  }
  if (error_.empty()) {
    commit();
    penUp();
    if (progress && !progress(100)) error_ = "the dispose was cancelled";
  }
  b_ = nullptr;
  n_ = 0;
  if (!error_.empty()) return fail(error_);
  return {};
}

size_t PlotReader::dispatch(int k, size_t p) {
  switch (k) {
    case key('I', 'N'): return handleIN(p);
    case key('P', 'U'): return handlePU(p);
    case key('P', 'D'): return handlePD(p);
    case key('P', 'A'): return handlePA(p);
    case key('P', 'R'): return handlePR(p);
    case key('S', 'P'): return handleSP(p);
    case key('L', 'T'): return handleLT(p);
    case key('A', 'A'): return handleAA(p);
    case key('C', 'I'): return handleCI(p);
    case key('L', 'B'): return handleLB(p);
    case key('D', 'T'): return handleDT(p);
    case key('S', 'I'): return handleSI(p);
    case key('D', 'I'): return handleDI(p);
    case key('P', 'G'): return handlePage(p, "PG");
    case key('N', 'R'): return handlePage(p, "NR");
    case key('A', 'M'): return handleAM(p);
    case key('L', 'O'): return p;  // known, parameters are skipped as ordinary bytes
    default: return p - 1;         // not a mnemonic: the second byte may start one
  }
}

// ---- commit ---------------------------------------------------------------

void PlotReader::commit() {
  PrimitiveHeader h;
  h.page = state_.page;
  h.pen = state_.pen;
  h.linePattern = state_.linePattern;
  h.patternLength = state_.patternLength;
  h.lineMode = state_.lineMode;
  commit(h);
}

void PlotReader::commit(const PrimitiveHeader& header) {
  PrimitiveHeader h = header;
  switch (state_.pendingKind) {
    case ElementKind::Polyline:
      if (pending_.size() >= 2) {
        Polyline line;
        h.kind = ElementKind::Polyline;
        line.vertices.reserve(pending_.size() + 1);
        line.vertices.assign(pending_.begin(), pending_.end());
        if (options_.autoLink) {
          const Point& a = pending_.back();
          const Point& z = pending_.front();
          double dx = a.x - z.x;
          double dy = a.y - z.y;
          if (std::sqrt(dx * dx + dy * dy) <= options_.minDistanceClose) {
            line.vertices.push_back(z);
            h.closed = true;
          }
        }
        line.header = h;
        drawing_.polylines.push_back(std::move(line));
      }
      break;
    case ElementKind::Circle:
      h.kind = ElementKind::Circle;
      stagedCircle_.header = h;
      drawing_.circles.push_back(stagedCircle_);
      break;
    case ElementKind::Label:
      h.kind = ElementKind::Label;
      stagedLabel_.header = h;
      drawing_.labels.push_back(std::move(stagedLabel_));
      stagedLabel_ = TextLabel{};
      break;
  }
  pending_.clear();
  state_.pendingKind = ElementKind::Polyline;
  if (h.page >= drawing_.pageCount) drawing_.pageCount += 1;
}

// ---- number lists ---------------------------------------------------------

std::string_view PlotReader::spliced(size_t from, size_t to) {
  scratch_.clear();
  for (size_t i = from; i < to; ++i) {
    if (!isLineBreak(b_[i])) scratch_.push_back(b_[i]);
  }
  return scratch_;
}

double PlotReader::toReal(std::string_view t) {
  // Plain integers are by far the most common numbers in plot files.
  size_t i = 0;
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    i = 1;
  }
  if (t.size() > i && t.size() - i <= 15) {
    long long v = 0;
    size_t j = i;
    for (; j < t.size() && t[j] >= '0' && t[j] <= '9'; ++j) v = v * 10 + (t[j] - '0');
    if (j == t.size()) {
      double d = static_cast<double>(v);
      return negative ? -d : d;
    }
  }
  return parseReal(t);
}

template <class F>
PlotReader::List PlotReader::readList(size_t i, F&& token) {
  Token tok;
  auto flush = [&] {
    if (tok.empty()) return;
    token(tok.spliced ? spliced(tok.start, tok.end) : std::string_view(b_ + tok.start, tok.end - tok.start));
    tok = Token{};
  };
  for (; i < n_; ++i) {
    switch (classOf(b_[i])) {
      case kCollect:
        tok.add(i);
        break;
      case kSeparator:
        flush();
        break;
      case kLineBreak:
        tok.lineBreak();
        break;
      case kSemicolon:
        flush();
        return {i, ListEnd::Semicolon};
      default:
        flush();
        return {i - 1, ListEnd::Letter};
    }
  }
  flush();
  return {n_ - 1, ListEnd::EndOfData};
}

PlotReader::FirstRest PlotReader::readFirstRest(size_t i) {
  FirstRest r;
  auto terminator = [&](size_t at, char c) -> bool {
    if (c == ';') {
      r.last = at;
      return true;
    }
    if (isLetter(c)) {
      r.last = at - 1;
      return true;
    }
    return false;
  };
  auto view = [&](const Token& t) {
    return t.spliced ? spliced(t.start, t.end) : std::string_view(b_ + t.start, t.end - t.start);
  };
  r.last = n_ - 1;
  // Separators and line breaks before the first number.
  while (i < n_ && (isSeparator(b_[i]) || isLineBreak(b_[i]))) ++i;
  Token first;
  bool ended = false;
  for (; i < n_; ++i) {
    const char c = b_[i];
    if (terminator(i, c)) {
      ended = true;
      break;
    }
    if (isSeparator(c)) break;
    if (isLineBreak(c)) {
      first.lineBreak();
    } else {
      first.add(i);
    }
  }
  if (!first.empty()) {
    r.hasFirst = true;
    r.first = toReal(view(first));
  }
  if (ended || i >= n_) return r;
  // Separators before the rest, then everything up to the terminator.
  while (i < n_ && (isSeparator(b_[i]) || isLineBreak(b_[i]))) ++i;
  Token rest;
  for (; i < n_; ++i) {
    const char c = b_[i];
    if (terminator(i, c)) break;
    if (isLineBreak(c)) {
      rest.lineBreak();
    } else {
      rest.add(i);
    }
  }
  if (!rest.empty()) {
    r.hasRest = true;
    r.rest = toReal(view(rest));
  }
  return r;
}

bool PlotReader::checkCoordinate(double v) {
  if (std::fabs(v) <= kMaxCoordinate) [[likely]] return true;  // false for NaN as well
  reportCoordinate(v);
  return false;
}

void PlotReader::reportCoordinate(double v) {
  if (error_.empty()) {
    error_ = std::isfinite(v) ? "the plot file holds a coordinate beyond 1e12 plotter units (" + formatFixed(v, 0) + ")"
                              : std::string("the plot file holds a coordinate that is not a finite number");
  }
}

// ---- instructions ---------------------------------------------------------

size_t PlotReader::handleIN(size_t p) {
  size_t i = p + 1;
  while (i < n_ && (b_[i] == ';' || isLineBreak(b_[i]))) ++i;
  if (i >= n_) return n_ - 1;
  if (isLetter(b_[i])) return i - 1;
  return state_.penDown ? handlePD(i - 1) : handlePU(i - 1);
}

size_t PlotReader::handlePU(size_t p) {
  FirstRest r = readFirstRest(p + 1);
  commit();
  if (r.hasFirst) {
    double x = r.first * options_.scale;
    double y = r.rest * options_.scale;
    if (state_.relative) {
      x += state_.relativeOrigin.x;
      y += state_.relativeOrigin.y;
    }
    if (checkCoordinate(x) && checkCoordinate(y)) {
      if (state_.relative) state_.relativeOrigin = {x, y};
      state_.current = {x, y};
    }
  }
  state_.penDown = false;
  return r.last;
}

size_t PlotReader::handlePD(size_t p) {
  if (pending_.empty() && !state_.penDown) pending_.push_back(state_.current);
  state_.penDown = true;
  return handleCoordinates(p, true);
}

size_t PlotReader::handlePA(size_t p) {
  if (state_.penDown && pending_.empty()) pending_.push_back(state_.current);
  state_.relative = false;
  state_.relativeOrigin = {};
  return handleCoordinates(p, false);
}

size_t PlotReader::handlePR(size_t p) {
  if (state_.penDown && pending_.empty()) pending_.push_back(state_.current);
  state_.relativeOrigin = state_.current;
  state_.relative = true;
  return handleCoordinates(p, false);
}

size_t PlotReader::handleCoordinates(size_t p, bool appendAlways) {
  bool haveX = false;
  double vx = 0.0;
  List list = readList(p + 1, [&](std::string_view t) {
    if (!error_.empty()) return;
    double v = toReal(t) * options_.scale;
    if (!haveX) {
      vx = v;
      haveX = true;
      return;
    }
    haveX = false;  // a trailing x without its y changes nothing
    Point pt{vx, v};
    if (state_.relative) {
      pt.x += state_.relativeOrigin.x;
      pt.y += state_.relativeOrigin.y;
    }
    if (!checkCoordinate(pt.x) || !checkCoordinate(pt.y)) return;
    if (state_.relative) state_.relativeOrigin = pt;
    state_.current = pt;
    if (appendAlways || state_.penDown) pending_.push_back(pt);
  });
  return list.last;
}

size_t PlotReader::handleSP(size_t p) {
  Token tok;
  size_t i = p + 1;
  size_t last = n_ - 1;
  for (; i < n_; ++i) {
    const char c = b_[i];
    if (c == ';') {
      last = i;
      break;
    }
    if (isLetter(c)) {
      last = i - 1;
      break;
    }
    if (isLineBreak(c)) {
      tok.lineBreak();
    } else {
      tok.add(i);
    }
  }
  if (tok.empty()) return last;
  std::string_view text = tok.spliced ? spliced(tok.start, tok.end) : std::string_view(b_ + tok.start, tok.end - tok.start);
  int pen = parseInt(text);
  if (pen != state_.pen) {
    commit();
    penUp();
  }
  state_.pen = pen;
  return last;
}

size_t PlotReader::handleLT(size_t p) {
  int count = 0;
  std::int32_t pattern = 0;
  float length = 0.0F;
  std::int32_t mode = 0;
  List list = readList(p + 1, [&](std::string_view t) {
    if (count == 0) pattern = parseInt(t);
    if (count == 1) length = static_cast<float>(parseReal(t));
    if (count == 2) mode = parseInt(t);
    ++count;
  });
  if (pattern != state_.linePattern || length != state_.patternLength || mode != state_.lineMode) {
    commit();
    penUp();
  }
  state_.linePattern = pattern;
  state_.patternLength = length;
  state_.lineMode = mode;
  return list.last;
}

size_t PlotReader::handleAA(size_t p) {
  int count = 0;
  double v[3] = {0.0, 0.0, 0.0};
  List list = readList(p + 1, [&](std::string_view t) {
    if (count < 3) v[count] = toReal(t);
    ++count;  // a fourth value (chord angle) is read and ignored
  });
  if (count < 2) {
    // Nothing drawn; the byte that ended the list is skipped as well.
    return list.end == ListEnd::Letter ? list.last + 1 : list.last;
  }
  Point centre{v[0] * options_.scale, v[1] * options_.scale};
  if (!checkCoordinate(centre.x) || !checkCoordinate(centre.y)) return list.last;
  // One instruction draws at most one full circle.
  double sweep = std::clamp(v[2], -360.0, 360.0);
  double dx = state_.current.x - centre.x;
  double dy = state_.current.y - centre.y;
  double radius = std::sqrt(dx * dx + dy * dy);
  double start = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
  if (sweep >= 0) {
    appendArc(centre, radius, start, start + sweep, false);
  } else {
    appendArc(centre, radius, start + sweep, start, true);
  }
  state_.current = pending_.back();
  return list.last;
}

void PlotReader::appendArc(Point c, double r, double startDeg, double endDeg, bool reverse) {
  constexpr double kPerDegree = 0.0174533;
  constexpr double kTwoPi = 6.2831852;
  constexpr double kMinStep = 0.034906599670648575;  // 2 degrees
  double a = startDeg * kPerDegree;
  double e = endDeg * kPerDegree;
  if (e < a) e += kTwoPi;
  long k = 0;
  double step = kMinStep;
  if (r > 0) {
    step = std::max(1.0 / (kTwoPi * r), kMinStep);
    k = static_cast<long>(std::floor((e - a) / step + 0.5));
  }
  const size_t first = pending_.size();
  auto at = [&](double angle) { pending_.push_back({c.x + r * std::cos(angle), c.y + r * std::sin(angle)}); };
  at(a);
  for (long i = 1; i < k; ++i) at(a + static_cast<double>(i) * step);
  at(e);
  if (reverse) std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(first), pending_.end());
}

size_t PlotReader::handleCI(size_t p) {
  int count = 0;
  double value = 0.0;
  List list = readList(p + 1, [&](std::string_view t) {
    if (count++ == 0) value = toReal(t) * options_.scale;  // a chord value is ignored
  });
  if (!checkCoordinate(value)) return list.last;
  commit();
  penUp();
  stagedCircle_ = Circle{};
  stagedCircle_.cx = state_.current.x;
  stagedCircle_.cy = state_.current.y;
  stagedCircle_.radius = static_cast<float>(value);
  state_.pendingKind = ElementKind::Circle;
  commit();
  return list.last;
}

size_t PlotReader::handleLB(size_t p) {
  const char term = state_.labelTerminator;
  size_t i = p + 1;
  while (i < n_ && b_[i] != '\x03' && b_[i] != ';' && b_[i] != term) ++i;
  if (i > p + 1) {
    commit();
    stagedLabel_ = TextLabel{};
    stagedLabel_.x = state_.current.x;
    stagedLabel_.y = state_.current.y;
    stagedLabel_.runGiven = state_.runGiven;
    stagedLabel_.riseGiven = state_.riseGiven;
    stagedLabel_.run = state_.run;
    stagedLabel_.rise = state_.rise;
    stagedLabel_.angle = state_.angle;
    stagedLabel_.width = state_.charWidth;
    stagedLabel_.height = state_.charHeight;
    stagedLabel_.text.assign(b_ + p + 1, i - (p + 1));
    stagedLabel_.terminator = term;
    state_.pendingKind = ElementKind::Label;
    commit();
    penUp();
  }
  return i < n_ ? i : n_ - 1;
}

size_t PlotReader::handleDT(size_t p) {
  size_t i = p + 1;
  if (i >= n_ || isLetter(b_[i])) return p;
  if (b_[i] == ';') return i;
  state_.labelTerminator = b_[i];
  if (i + 1 < n_ && b_[i + 1] == ';') return i + 1;
  return i;
}

size_t PlotReader::handleSI(size_t p) {
  FirstRest r = readFirstRest(p + 1);
  if (r.hasRest) {
    state_.charWidth = r.first;
    state_.charHeight = r.rest;
  } else if (r.hasFirst) {
    state_.charHeight = r.first;
  }
  return r.last;
}

size_t PlotReader::handleDI(size_t p) {
  int count = 0;
  double v[2] = {0.0, 0.0};
  List list = readList(p + 1, [&](std::string_view t) {
    if (count < 2) v[count] = toReal(t);
    ++count;
  });
  if (count == 0) return list.last;
  state_.run = v[0];
  state_.runGiven = true;
  if (count == 1) {
    state_.rise = 0.0;
    state_.riseGiven = false;
    state_.angle = v[0];
    return list.last;
  }
  const double run = v[0];
  const double rise = v[1];
  state_.rise = rise;
  state_.riseGiven = true;
  if (run == 0) {
    state_.angle = rise > 0 ? 90.0 : 270.0;
  } else if (rise == 0) {
    state_.angle = run > 0 ? 0.0 : 180.0;
  } else {
    state_.angle = std::atan2(rise, run) * 180.0 / 3.1415926;
  }
  return list.last;
}

void PlotReader::pageBreak() {
  commit();
  penUp();
  state_.page += 1;
}

size_t PlotReader::handlePage(size_t p, std::string_view mnemonic) {
  const bool byLabel = options_.fileType == 1 || options_.fileType == 3;
  std::string text(mnemonic);
  for (size_t i = p + 1; i < n_; ++i) {
    const char c = b_[i];
    if (c == ';') {
      pageBreak();
      return i;
    }
    if (isLetter(c)) return i - 1;
    if (!byLabel) continue;
    text.push_back(c);
    size_t from = 0;
    size_t to = text.size();
    while (from < to && isWhite(text[from])) ++from;
    while (to > from && isWhite(text[to - 1])) --to;
    if (options_.splitLabel.find(std::string_view(text).substr(from, to - from)) != std::string::npos) {
      pageBreak();
      return i;
    }
  }
  return n_ - 1;
}

size_t PlotReader::handleAM(size_t p) {
  FirstRest r = readFirstRest(p + 1);
  if (r.hasFirst) state_.feed = {r.first, r.rest, true};
  return r.last;
}

}  // namespace plotdesk::engine
