#include "engine/text_strokes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/stroke_font.h"
#include "platform/numbers.h"

namespace plotdesk::engine {
namespace {

// Font bytes written out by hand: key, big-endian length, big-endian records.
std::string big32(std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
}

std::string entry(const std::string& key, const std::vector<GlyphSegment>& records) {
  std::string out = key + big32(static_cast<std::int32_t>(records.size() * 16));
  for (const GlyphSegment& r : records) out += big32(r.x1) + big32(r.y1) + big32(r.x2) + big32(r.y2);
  return out;
}

// QK1610 comes first and starts with the whole key QK161: a search by
// substring would take it for QK161.
std::string tinyFont() {
  return entry("QKASCII65", {{0, 700, 200, 700}, {200, 700, 200, 0}}) +  // A
         entry("QKASCII76", {{0, 0, 0, 700}, {0, 700, 300, 700}}) +    // L
         entry("QKASCII97", {{0, 700, 100, 700}}) +                     // a
         entry("QKASCII33", {{-10, -20, 10, 720}}) +                    // !
         entry("QKASCII45", {{1, 2, 3, 4}}) +                           // - (fixed shape)
         entry("QKASCII61", {{1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}}) +  // =
         entry("QKASCII95", {{1, 2, 3, 4}}) +                           // _
         entry("QK1610", {{0, 0, 700, 700}}) +                          // B0 AA
         entry("QK161", {{0, 700, 700, 700}});                          // B0 A1
}

TEST(StrokeFont, ParsesExactKeysAndSignedBigEndianRecords) {
  Result<StrokeFont> font = StrokeFont::parse(tinyFont() + entry("QKASCII65", {{9, 9, 9, 9}}));
  ASSERT_TRUE(font) << font.error();
  EXPECT_EQ(font->glyphCount(), 9U);
  auto at = [&](const char* key) { return std::vector<GlyphSegment>(font->find(key)->begin(), font->find(key)->end()); };
  EXPECT_EQ(at("QK161"), (std::vector<GlyphSegment>{{0, 700, 700, 700}}));
  EXPECT_EQ(at("QK1610"), (std::vector<GlyphSegment>{{0, 0, 700, 700}}));
  EXPECT_EQ(at("QKASCII33"), (std::vector<GlyphSegment>{{-10, -20, 10, 720}}));
  EXPECT_EQ(at("QKASCII65").size(), 2U);  // the first of two entries wins
  EXPECT_FALSE(font->find("QK16"));
  EXPECT_FALSE(font->find("QKASCII66"));

  // The writer used by the font tool gives the same bytes.
  std::string written;
  appendGlyphEntry(written, "QKASCII33", std::vector<GlyphSegment>{{-10, -20, 10, 720}});
  EXPECT_EQ(written, entry("QKASCII33", {{-10, -20, 10, 720}}));
}

TEST(StrokeFont, DamagedFilesAreRefused) {
  const std::string good = entry("QKASCII65", {{0, 700, 200, 0}});
  struct Case {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"", "holds no glyphs"},
      {good + "XKASCII66" + big32(0), "must start with QK"},
      {"QKASCII" + big32(0), "has no number"},
      {good + "QK161" + std::string(3, '\0'), "is cut off"},
      {"QK161" + big32(15) + std::string(15, '\0'), "not a whole number of records"},
      {"QK161" + big32(32) + std::string(16, '\0'), "runs past the end"},
      {"QK161" + big32(-16) + std::string(16, '\0'), "runs past the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Result<StrokeFont> font = StrokeFont::parse(c.bytes);
    ASSERT_FALSE(font);
    EXPECT_NE(font.error().find(c.message), std::string::npos) << font.error();
  }
  EXPECT_FALSE(StrokeFont::load("/nonexistent/QKHZK.dat"));

  // Every cut of a valid font parses as the entries before the cut or is refused.
  const std::string font = tinyFont();
  for (size_t n = 1; n < font.size(); ++n) {
    Result<StrokeFont> cut = StrokeFont::parse(std::string_view(font).substr(0, n));
    if (cut) {
      EXPECT_LT(cut->glyphCount(), 9U) << n;
    }
  }
}

// Polylines as "x,y x,y | x,y ..." with coordinates rounded to 0.001.
std::string dump(const Drawing& d) {
  std::string out;
  for (const Polyline& p : d.polylines) {
    if (!out.empty()) out += " | ";
    for (size_t i = 0; i < p.vertices.size(); ++i) {
      auto num = [](double v) { return formatGeneral(std::round(v * 1000) / 1000 + 0.0); };
      out += (i ? " " : "") + num(p.vertices[i].x) + "," + num(p.vertices[i].y);
    }
  }
  return out;
}

struct LabelCase {
  const char* what;
  std::string text;
  double x = 0;
  double run = 0, rise = 0, angle = 0;
  bool runRise = false;    // DI with run and rise given
  bool useRunRise = false;  // Othen_Type
  bool positionOptimize = false;
  const char* strokes;
};

// Width 1 with Y scale 100 %: t = 10, so capitals and other ASCII are scaled
// (0.4, 0.45), lower case (0.3, 0.3), GB2312 characters (0.5, 0.6); Space 1 mm.
TEST(TextStrokes, LabelsBecomeStrokes) {
  const LabelCase cases[] = {
      {"capital, first segment from (0,0) keeps its start", "A", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315"},
      {"lower case scale, gap of 40 after the rightmost stroke", "Aa", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315 | 120,0 150,0"},
      {"space adds |0.4*600| + 40", "A A", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315 | 400,0 480,0 480,315"},
      {"tab and CR move nothing", "A\t\rA", 0, 0, 0, 0, false, false, false, "0,0 80,0 80,315 | 120,0 200,0 200,315"},
      {"first character without glyph leaves the pen", "BA", 0, 0, 0, 0, false, false, false, "0,0 80,0 80,315"},
      {"missing glyph later measures from the strokes so far", "ABA", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315 | 120,0 200,0 200,315"},
      {"continues only on a whole-unit end", "L", 0, 0, 0, 0, false, false, false, "0,315 0,0 120,0"},
      {"a fractional end starts a new polyline", "L", 0.5, 0, 0, 0, false, false, false,
       "0.5,315 0.5,0 | 0.5,0 120.5,0"},
      {"negative glyph coordinates", "!", 0, 0, 0, 0, false, false, false, "-4,324 4,-9"},
      {"- has a fixed shape", "-", 0, 0, 0, 0, false, false, false, "20,157.5 140,157.5"},
      {"= first record at 250, later ones at 450", "=", 0, 0, 0, 0, false, false, false,
       "20,202.5 140,202.5 | 20,112.5 140,112.5 | 20,112.5 140,112.5"},
      {"_ has a fixed shape", "_", 0, 0, 0, 0, false, false, false, "20,0 140,0"},
      {"/ without glyph draws its fixed shape", "/", 0, 0, 0, 0, false, false, false, "8,0 152,315"},
      {". without glyph draws its fixed shape", ".", 0, 0, 0, 0, false, false, false, "80,0 80,0.9"},
      {"GB2312 B0A1 is QK161, not the longer QK1610", "\xB0\xA1", 0, 0, 0, 0, false, false, false, "0,0 350,0"},
      {"GB2312 B0AA is QK1610", "\xB0\xAA", 0, 0, 0, 0, false, false, false, "0,420 350,0"},
      {"a lead byte at the end is skipped", "A\xB0", 0, 0, 0, 0, false, false, false, "0,0 80,0 80,315"},
      {"a pair with a bad trail byte is skipped", "\xB0\x41" "A", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315"},
      {"other double-byte characters are skipped whole", "\xA3\xB1" "A\x81\x40", 0, 0, 0, 0, false, false, false,
       "0,0 80,0 80,315"},
      {"DI0,1 with run and rise: not rotated (run 0)", "A", 0, 0, 1, 90, true, true, false, "0,0 80,0 80,315"},
      {"DI0,1 by angle: 90 degrees, whole-unit ends break the line", "A", 0, 0, 1, 90, true, false, false,
       "0,0 0,80 | 0,80 -315,80"},
      {"DI1,1 with run and rise: atan(1)", "A", 0, 1, 1, 45, true, true, false,
       "0,0 56.569,56.569 | 56.569,56.569 -166.17,279.307"},
      {"position optimise shifts back by the text length", "A", 0, 0, 0, 0, false, false, true,
       "-4039,-39 -3959,-39 | -3959,-39 -3959,276"},
  };
  Result<StrokeFont> font = StrokeFont::parse(tinyFont());
  ASSERT_TRUE(font) << font.error();
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d;
    PlotReader reader(d, ReaderOptions{});
    TextLabel label;
    label.x = c.x;
    label.width = 1;
    label.text = c.text;
    label.run = c.run;
    label.rise = c.rise;
    label.runGiven = label.riseGiven = c.runRise;
    label.angle = c.angle;
    d.labels.push_back(label);
    ASSERT_TRUE(convertLabels(reader, *font, {c.useRunRise, 100, 1, c.positionOptimize}));
    EXPECT_TRUE(d.labels.empty());
    EXPECT_EQ(dump(d), c.strokes);
  }
}

TEST(TextStrokes, StrokesTakeTheLabelHeaderAfterPendingElements) {
  Result<StrokeFont> font = StrokeFont::parse(tinyFont());
  ASSERT_TRUE(font);
  Drawing d;
  PlotReader reader(d, ReaderOptions{});
  reader.pendingVertices() = {{5, 5}, {6, 6}};
  TextLabel label;
  label.header = {ElementKind::Label, 2, 3, 1, 0.5F, 2, false};
  label.width = 1;
  label.text = "Aa";
  d.labels.push_back(label);
  d.pageCount = 3;
  ASSERT_TRUE(convertLabels(reader, *font, {false, 100, 1, false}));
  ASSERT_EQ(d.polylines.size(), 3U);
  EXPECT_EQ(d.polylines[0].header.page, 0);
  for (size_t i = 1; i < 3; ++i) {
    const PrimitiveHeader& h = d.polylines[i].header;
    EXPECT_EQ(h.kind, ElementKind::Polyline);
    EXPECT_EQ(h.page, 2);
    EXPECT_EQ(h.pen, 3);
    EXPECT_EQ(h.linePattern, 1);
    EXPECT_EQ(h.patternLength, 0.5F);
    EXPECT_EQ(h.lineMode, 2);
  }
  EXPECT_TRUE(reader.pendingVertices().empty());
}

TEST(TextStrokes, AHugeLabelFailsInsteadOfWritingUnusableNumbers) {
  Result<StrokeFont> font = StrokeFont::parse(tinyFont());
  ASSERT_TRUE(font);
  Drawing d;
  PlotReader reader(d, ReaderOptions{});
  TextLabel label;
  label.width = 1e300;
  label.text = "xA";
  d.labels.push_back(label);
  Status st = convertLabels(reader, *font, {false, 100, 1, false});
  ASSERT_FALSE(st);
  EXPECT_NE(st.error().find("\"xA\""), std::string::npos) << st.error();
}

// The font shipped with the program.
TEST(TextStrokes, ShippedFontDrawsAsciiAndHanzi) {
  Result<StrokeFont> font = StrokeFont::load(std::string(PLOTDESK_TEST_SOURCE_DIR) + "/data/QKHZK.dat");
  ASSERT_TRUE(font) << font.error();
  for (int c = 33; c <= 126; ++c) {
    auto glyph = font->find("QKASCII" + std::to_string(c));
    ASSERT_TRUE(glyph) << c;
    EXPECT_FALSE(glyph->empty()) << c;
  }
  EXPECT_GT(font->glyphCount(), 6000U);
  // 中 is GB2312 D6D0 (row 54, column 48), 文 is CEC4 (row 46, column 36).
  ASSERT_TRUE(font->find("QK5448"));
  ASSERT_TRUE(font->find("QK4636"));

  Drawing d;
  PlotReader reader(d, ReaderOptions{});
  TextLabel label;
  label.width = 0.3;  // SI0.3: 3 mm characters
  label.text = "Size 38 \xD6\xD0\xCE\xC4";
  d.labels.push_back(label);
  ASSERT_TRUE(convertLabels(reader, *font, {false, 100, 1, false}));
  ASSERT_GT(d.polylines.size(), 20U);
  double maxX = 0;
  for (const Polyline& p : d.polylines) {
    for (const Point& v : p.vertices) {
      EXPECT_GT(v.y, -40);  // nothing far below the baseline
      EXPECT_LT(v.y, 150);  // nor far above a 3 mm character
      maxX = std::max(maxX, v.x);
    }
  }
  EXPECT_GT(maxX, 300);  // eight characters with 1 mm gaps
}

}  // namespace
}  // namespace plotdesk::engine
