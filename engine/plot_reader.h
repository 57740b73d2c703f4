#pragma once
// Reads an HPGL plot file into a Drawing.
//
// The reader is deliberately not a strict HPGL parser: CAD programs write
// loose files, so it scans the raw bytes for seventeen upper-case two-letter
// mnemonics wherever they occur and interprets the bytes after each by that
// instruction's own rules; everything else is skipped. Arcs become vertices
// while reading; circles and labels are stored as elements of their own.
//
// The same object is the builder later dispose steps use: they stage vertices
// in pendingVertices() and store them with commit(), so closing by linking and
// page counting stay in one place.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drawing.h"
#include "platform/result.h"

namespace plotdesk::engine {

struct ReaderOptions {
  double scale = 1.0;     // applied to coordinates, arc centres and circle radii
  int fileType = 5;       // 1 and 3 also break pages on the texts of splitLabel
  std::string splitLabel = "PG |PG;|NR |NR;";
  bool autoLink = false;  // close polylines whose ends are within minDistanceClose
  double minDistanceClose = 0.0001;
};

// Feed values of the last AM instruction.
struct FeedValues {
  double x = 0.0;
  double y = 0.0;
  bool given = false;
};

// Reader state; reset at the start of every read.
struct ReaderState {
  ElementKind pendingKind = ElementKind::Polyline;
  Point current;
  bool penDown = false;
  bool relative = false;
  Point relativeOrigin;
  std::int32_t pen = 1;
  std::int32_t linePattern = 0;
  float patternLength = 0.0F;
  std::int32_t lineMode = 0;
  std::int32_t page = 0;
  char labelTerminator = '\x03';
  double charWidth = 15.0;
  double charHeight = 15.0;
  double run = 0.0;
  double rise = 0.0;
  bool runGiven = false;
  bool riseGiven = false;
  double angle = 0.0;
  FeedValues feed;
};

// Called with a percentage (0..100) at most about once per percent; returning
// false cancels the read.
using ReadProgress = std::function<bool(int percent)>;

class PlotReader {
 public:
  PlotReader(Drawing& drawing, ReaderOptions options);
  PlotReader(const PlotReader&) = delete;
  PlotReader& operator=(const PlotReader&) = delete;

  // Resets the state and the drawing, reads the whole file and scans it. Fails
  // when the file cannot be read or is empty, on an unsafe coordinate, or when
  // cancelled.
  Status loadFile(const std::string& path, const ReadProgress& progress = {});
  // The same on bytes already in memory (an empty buffer is not an error here).
  Status scan(std::string_view bytes, const ReadProgress& progress = {});

  // Stores the pending element with the current page, pen and line type.
  void commit();
  // Stores the pending element under an explicit header (its kind is ignored;
  // the pending kind decides).
  void commit(const PrimitiveHeader& header);
  void penUp() { state_.penDown = false; }

  std::vector<Point>& pendingVertices() { return pending_; }
  ReaderState& state() { return state_; }
  const ReaderState& state() const { return state_; }
  const ReaderOptions& options() const { return options_; }
  Drawing& drawing() { return drawing_; }

  // Coordinates beyond this magnitude (or not finite) fail the read: a cutter
  // cannot use them and they would overflow every later computation.
  static constexpr double kMaxCoordinate = 1e12;

 private:
  enum class ListEnd { Semicolon, Letter, EndOfData };
  struct List {
    size_t last;  // position of the last byte consumed
    ListEnd end;
  };

  void reset();
  size_t dispatch(int key, size_t p);
  // Walks a number list from `i`, calling `token` for every non-empty number text.
  template <class F>
  List readList(size_t i, F&& token);
  // The "first number / rest" form of PU, SI and AM.
  struct FirstRest {
    size_t last;
    bool hasFirst = false;
    bool hasRest = false;
    double first = 0.0;
    double rest = 0.0;
  };
  FirstRest readFirstRest(size_t i);
  std::string_view spliced(size_t from, size_t to);
  static double toReal(std::string_view token);

  size_t handleIN(size_t p);
  size_t handlePU(size_t p);
  size_t handlePD(size_t p);
  size_t handlePA(size_t p);
  size_t handlePR(size_t p);
  size_t handleCoordinates(size_t p, bool appendAlways);
  size_t handleSP(size_t p);
  size_t handleLT(size_t p);
  size_t handleAA(size_t p);
  size_t handleCI(size_t p);
  size_t handleLB(size_t p);
  size_t handleDT(size_t p);
  size_t handleSI(size_t p);
  size_t handleDI(size_t p);
  size_t handlePage(size_t p, std::string_view mnemonic);
  size_t handleAM(size_t p);

  bool checkCoordinate(double v);
  void reportCoordinate(double v);
  void appendArc(Point centre, double radius, double startDeg, double endDeg, bool reverse);
  void pageBreak();

  Drawing& drawing_;
  ReaderOptions options_;
  ReaderState state_;
  std::vector<Point> pending_;
  Circle stagedCircle_;
  TextLabel stagedLabel_;
  std::string scratch_;
  std::string error_;
  const char* b_ = nullptr;
  size_t n_ = 0;
};

}  // namespace plotdesk::engine
