// plotdesk-fontgen: builds the stroke font QKHZK.dat that labels are cut with.
//
//   plotdesk-fontgen ROMAN_SIMPLEX.jhf HANZI_DATA_DIR OUT.dat
//
// ROMAN_SIMPLEX.jhf  the public-domain Hershey Roman simplex font
//                    (Debian hershey-fonts-data: /usr/share/hershey-fonts/rowmans.jhf)
// HANZI_DATA_DIR     the folder of the npm package hanzi-writer-data, one
//                    <character>.json per character with its stroke medians
// OUT.dat            the font written
//
// tools/fontgen/make_font runs the whole job (builds this tool, fetches the
// packages if needed, writes data/QKHZK.dat and its licence notices).
//
// Layout of the result (see engine/stroke_font.h for the format): printable
// ASCII 33..126 first, then every GB2312 character of rows 16..87 that has
// stroke data, in ascending row/column order, so keys that are prefixes of
// others (QK161, QK1610) come first. Glyphs use a 700-unit em, Y downwards,
// baseline side at 700.
//
// ASCII: the Hershey cap height (y -12..9) fills the em. The engine draws lower
// case a-z at 3/4 of the width and 2/3 of the height of other characters, so
// lower-case glyphs are stored larger by the inverse (4/3, 3/2) about the
// baseline: mixed text then keeps the proportions of the Hershey design. The
// characters - . / = _ are stored as the fixed shapes the engine draws for
// them, with as many records as it draws (= has two, the others one).
//
// Hanzi: each stroke median (a centre line, which is what a knife or pen
// follows) becomes its chain of segments. The medians live in a 1024 box with
// Y up and the baseline at y = -124 (top at 900); they are mapped by
// x' = x * 700/1024, y' = (900 - y) * 700/1024. GB2312 codes are turned into
// characters with iconv, so the mapping is the C library's GB2312 table.
#include <iconv.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stroke_font.h"

namespace {

using plotdesk::engine::GlyphSegment;

bool readAll(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

std::int32_t roundUnit(double v) { return static_cast<std::int32_t>(std::lround(v)); }

// Hershey glyphs in file order: number (5), vertex count (3), then pairs of
// characters, each coordinate being the character minus 'R'; the first pair is
// the left and right margin, " R" lifts the pen.
struct HersheyGlyph {
  int left = 0;
  std::vector<std::vector<std::pair<int, int>>> strokes;
};

bool parseHershey(const std::string& text, std::vector<HersheyGlyph>& glyphs, std::string& error) {
  std::string s;
  for (char c : text) {
    if (c != '\n' && c != '\r') s += c;  // long glyphs may be wrapped over lines
  }
  size_t p = 0;
  while (p + 8 <= s.size()) {
    int count = std::atoi(s.substr(p + 5, 3).c_str());
    p += 8;
    if (count < 1 || p + 2 * static_cast<size_t>(count) > s.size()) {
      error = "Hershey data is cut off near byte " + std::to_string(p);
      return false;
    }
    HersheyGlyph g;
    g.left = s[p] - 'R';
    g.strokes.emplace_back();
    for (int i = 1; i < count; ++i) {
      char a = s[p + 2 * i];
      char b = s[p + 2 * i + 1];
      if (a == ' ' && b == 'R') {
        g.strokes.emplace_back();
      } else {
        g.strokes.back().emplace_back(a - 'R', b - 'R');
      }
    }
    p += 2 * static_cast<size_t>(count);
    glyphs.push_back(std::move(g));
  }
  return true;
}

std::vector<GlyphSegment> asciiGlyph(int code, const HersheyGlyph& g) {
  switch (code) {
    case '-':
      return {{50, 350, 350, 350}};
    case '.':
      return {{200, 700, 200, 698}};
    case '/':
      return {{20, 700, 380, 0}};
    case '=':
      return {{50, 250, 350, 250}, {50, 450, 350, 450}};
    case '_':
      return {{50, 700, 350, 700}};
    default:
      break;
  }
  const double em = 700.0 / 21.0;  // Hershey cap height 21
  const bool lower = code >= 'a' && code <= 'z';
  const double fx = lower ? em * 4 / 3 : em;
  const double fy = lower ? em * 3 / 2 : em;
  std::vector<GlyphSegment> out;
  for (const auto& stroke : g.strokes) {
    for (size_t i = 1; i < stroke.size(); ++i) {
      auto map = [&](std::pair<int, int> v) {
        return std::pair<std::int32_t, std::int32_t>{roundUnit((v.first - g.left) * fx),
                                                     roundUnit(700 + (v.second - 9) * fy)};
      };
      auto a = map(stroke[i - 1]);
      auto b = map(stroke[i]);
      out.push_back({a.first, a.second, b.first, b.second});
    }
  }
  return out;
}

// The "medians" of a hanzi-writer-data file: [[[x, y], ...], ...].
bool parseMedians(const std::string& json, std::vector<std::vector<std::pair<double, double>>>& medians) {
  size_t p = json.find("\"medians\"");
  if (p == std::string::npos) return false;
  p = json.find('[', p);
  if (p == std::string::npos) return false;
  int depth = 0;
  std::vector<double> numbers;
  for (; p < json.size(); ++p) {
    char c = json[p];
    if (c == '[') {
      ++depth;
      if (depth == 2) medians.emplace_back();
      if (depth == 3) numbers.clear();
    } else if (c == ']') {
      if (depth == 3) {
        if (numbers.size() != 2) return false;
        medians.back().emplace_back(numbers[0], numbers[1]);
      }
      if (--depth == 0) return true;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      char* end = nullptr;
      numbers.push_back(std::strtod(json.c_str() + p, &end));
      p = static_cast<size_t>(end - json.c_str()) - 1;
    }
  }
  return false;
}

std::vector<GlyphSegment> hanziGlyph(const std::vector<std::vector<std::pair<double, double>>>& medians) {
  const double f = 700.0 / 1024.0;
  std::vector<GlyphSegment> out;
  for (const auto& m : medians) {
    for (size_t i = 1; i < m.size(); ++i) {
      GlyphSegment s{roundUnit(m[i - 1].first * f), roundUnit((900 - m[i - 1].second) * f), roundUnit(m[i].first * f),
                     roundUnit((900 - m[i].second) * f)};
      if (s.x1 != s.x2 || s.y1 != s.y2) out.push_back(s);
    }
  }
  return out;
}

// The UTF-8 text of a GB2312 code, empty when the code is unassigned.
std::string gb2312ToUtf8(iconv_t cd, unsigned char lead, unsigned char trail) {
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char out[8] = {};
  char* ip = in;
  char* op = out;
  size_t il = 2;
  size_t ol = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return {};
  return std::string(out, op);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: plotdesk-fontgen ROMAN_SIMPLEX.jhf HANZI_DATA_DIR OUT.dat\n";
    return 2;
  }
  std::string hersheyText;
  if (!readAll(argv[1], hersheyText)) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<HersheyGlyph> hershey;
  std::string error;
  if (!parseHershey(hersheyText, hershey, error)) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  if (hershey.size() < 95) {  // space to tilde
    std::cerr << argv[1] << ": expected the 95 glyphs from space to tilde, found " << hershey.size() << "\n";
    return 1;
  }

  std::string font;
  for (int code = 33; code <= 126; ++code) {
    plotdesk::engine::appendGlyphEntry(font, "QKASCII" + std::to_string(code), asciiGlyph(code, hershey[code - 32]));
  }

  iconv_t cd = iconv_open("UTF-8", "GB2312");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::cerr << "iconv cannot convert from GB2312\n";
    return 1;
  }
  int hanzi = 0;
  int missing = 0;
  for (int row = 16; row <= 87; ++row) {
    for (int col = 1; col <= 94; ++col) {
      std::string ch = gb2312ToUtf8(cd, static_cast<unsigned char>(row + 160), static_cast<unsigned char>(col + 160));
      if (ch.empty()) continue;  // unassigned code
      std::string json;
      std::vector<std::vector<std::pair<double, double>>> medians;
      if (!readAll(std::string(argv[2]) + "/" + ch + ".json", json) || !parseMedians(json, medians)) {
        ++missing;
        continue;
      }
      std::vector<GlyphSegment> glyph = hanziGlyph(medians);
      if (glyph.empty()) {
        ++missing;
        continue;
      }
      plotdesk::engine::appendGlyphEntry(font, "QK" + std::to_string(row) + std::to_string(col), glyph);
      ++hanzi;
    }
  }
  iconv_close(cd);

  // The result must read back as a valid font.
  if (plotdesk::Result<plotdesk::engine::StrokeFont> check = plotdesk::engine::StrokeFont::parse(font); !check) {
    std::cerr << "generated font does not read back: " << check.error() << "\n";
    return 1;
  }
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(font.data(), static_cast<std::streamsize>(font.size()));
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[3] << "\n";
    return 1;
  }
  std::cout << "wrote " << argv[3] << ": 94 ASCII glyphs, " << hanzi << " GB2312 characters (" << missing
            << " without stroke data), " << font.size() << " bytes\n";
  return 0;
}
