#pragma once
// The stroke font labels are cut with (QKHZK.dat).
//
// The file is a plain sequence of glyph entries:
//   key      "QKASCII<code>" for printable ASCII (33..126), "QK<row><column>"
//            for a GB2312 character (row 16..87, column 1..94, decimal
//            without leading zeros); no terminator
//   length   4 bytes, big-endian: the number of record bytes that follow
//   records  16 bytes each: x1, y1, x2, y2 as big-endian signed 32-bit
// Glyphs live in a 700-unit em with Y growing downwards (y = 700 on the
// baseline side, y = 0 at the top).
//
// Keys carry no terminator, so one key can be a prefix of another (QK161 and
// QK1610). The font is therefore parsed once into an exact-key index rather
// than searched by substring; every length field is checked on the way, so a
// damaged file is reported instead of being read past its end.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/result.h"

namespace plotdesk::engine {

struct GlyphSegment {
  std::int32_t x1 = 0;
  std::int32_t y1 = 0;
  std::int32_t x2 = 0;
  std::int32_t y2 = 0;
  bool operator==(const GlyphSegment&) const = default;
};

inline constexpr const char* kStrokeFontFileName = "QKHZK.dat";

class StrokeFont {
 public:
  // Parses font bytes; fails on an empty font or a damaged entry.
  static Result<StrokeFont> parse(std::string_view bytes);
  // Reads and parses a font file.
  static Result<StrokeFont> load(const std::string& path);

  // The segments of the glyph with exactly this key; the first entry wins
  // when a key occurs twice. Empty when the font has no such glyph.
  std::optional<std::span<const GlyphSegment>> find(std::string_view key) const;
  size_t glyphCount() const { return index_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<GlyphSegment> segments_;
  struct Range {
    size_t first;
    size_t count;
  };
  std::unordered_map<std::string, Range, Hash, std::equal_to<>> index_;
};

// Appends one glyph entry in the file format.
void appendGlyphEntry(std::string& out, std::string_view key, std::span<const GlyphSegment> segments);

}  // namespace plotdesk::engine
