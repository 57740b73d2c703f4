#include "engine/stroke_font.h"

#include "platform/files.h"

namespace plotdesk::engine {
namespace {

std::uint32_t readBig32(const char* p) {
  auto b = [p](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])); };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

void appendBig32(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>((v >> 16) & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Result<StrokeFont> StrokeFont::parse(std::string_view bytes) {
  if (bytes.empty()) return fail("the stroke font holds no glyphs");
  StrokeFont font;
  const size_t n = bytes.size();
  size_t p = 0;
  auto damaged = [](size_t at, const std::string& why) {
    return fail("the stroke font is damaged at byte " + std::to_string(at) + ": " + why);
  };
  while (p < n) {
    const size_t keyStart = p;
    if (bytes.substr(p, 2) != "QK") return damaged(p, "a glyph key must start with QK");
    p += 2;
    if (bytes.substr(p, 5) == "ASCII") p += 5;
    const size_t digits = p;
    while (p < n && isDigit(bytes[p])) ++p;
    if (p == digits) return damaged(keyStart, "the glyph key has no number");
    std::string_view key = bytes.substr(keyStart, p - keyStart);
    if (n - p < 4) return damaged(p, "the length of glyph " + std::string(key) + " is cut off");
    const std::uint32_t length = readBig32(bytes.data() + p);
    p += 4;
    if (length % 16 != 0) {
      return damaged(p - 4, "glyph " + std::string(key) + " has a length that is not a whole number of records");
    }
    if (length > n - p) return damaged(p - 4, "glyph " + std::string(key) + " runs past the end of the file");
    const size_t first = font.segments_.size();
    for (size_t end = p + length; p < end; p += 16) {
      const char* r = bytes.data() + p;
      font.segments_.push_back({static_cast<std::int32_t>(readBig32(r)), static_cast<std::int32_t>(readBig32(r + 4)),
                                static_cast<std::int32_t>(readBig32(r + 8)),
                                static_cast<std::int32_t>(readBig32(r + 12))});
    }
    font.index_.try_emplace(std::string(key), Range{first, length / 16});
  }
  return font;
}

Result<StrokeFont> StrokeFont::load(const std::string& path) {
  Result<std::string> bytes = readFile(path);
  if (!bytes) return fail("cannot read the stroke font " + path + ": " + bytes.error());
  Result<StrokeFont> font = parse(*bytes);
  if (!font) return fail(path + ": " + font.error());
  return font;
}

std::optional<std::span<const GlyphSegment>> StrokeFont::find(std::string_view key) const {
  auto it = index_.find(key);
  if (it == index_.end()) return std::nullopt;
  return std::span<const GlyphSegment>(segments_.data() + it->second.first, it->second.count);
}

void appendGlyphEntry(std::string& out, std::string_view key, std::span<const GlyphSegment> segments) {
  out += key;
  appendBig32(out, static_cast<std::uint32_t>(segments.size() * 16));
  for (const GlyphSegment& s : segments) {
    appendBig32(out, static_cast<std::uint32_t>(s.x1));
    appendBig32(out, static_cast<std::uint32_t>(s.y1));
    appendBig32(out, static_cast<std::uint32_t>(s.x2));
    appendBig32(out, static_cast<std::uint32_t>(s.y2));
  }
}

}  // namespace plotdesk::engine
