#include "engine/file_code_converter.h"

#include <iconv.h>

#include <cerrno>

#include "platform/files.h"

namespace plotdesk::engine {
namespace {

unsigned char byteAt(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Number of continuation bytes a lead byte of 192 or above announces: the
// 1 bits after its leading 1 bit.
int continuationCount(unsigned char lead) {
  int n = 0;
  for (unsigned char bit = 0x40; bit != 0 && (lead & bit) != 0; bit >>= 1) ++n;
  return n;
}

bool isUtf8WithHighBytes(std::string_view s) {
  bool high = false;
  int need = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = byteAt(s, i);
    if (need > 0) {
      if (c < 128 || c > 191) return false;
      --need;
      continue;
    }
    if (c < 128) continue;
    high = true;
    if (c < 192) return false;
    need = continuationCount(c);
  }
  return need == 0 && high;
}

// Bytes of the input character that iconv could not take, so it can be
// replaced by one "?".
size_t badUnitLength(std::string_view in, SourceEncoding e) {
  if (e == SourceEncoding::Utf16Le || e == SourceEncoding::Utf16Be) {
    if (in.size() < 2) return in.size();
    auto unit = [&](size_t i) {
      return e == SourceEncoding::Utf16Le ? (byteAt(in, i) | (byteAt(in, i + 1) << 8))
                                          : ((byteAt(in, i) << 8) | byteAt(in, i + 1));
    };
    int u = unit(0);
    if (u >= 0xD800 && u <= 0xDBFF && in.size() >= 4) {
      int low = unit(2);
      if (low >= 0xDC00 && low <= 0xDFFF) return 4;
    }
    return 2;
  }
  unsigned char lead = byteAt(in, 0);
  size_t n = lead >= 0xC0 && lead < 0xF8 ? static_cast<size_t>(continuationCount(lead)) + 1 : 1;
  if (n > in.size()) return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((byteAt(in, i) & 0xC0) != 0x80) return 1;
  }
  return n;
}

}  // namespace

SourceEncoding detectEncoding(std::string_view b) {
  if (b.size() >= 2 && byteAt(b, 0) == 0xFF && byteAt(b, 1) == 0xFE) return SourceEncoding::Utf16Le;
  if (b.size() >= 2 && byteAt(b, 0) == 0xFE && byteAt(b, 1) == 0xFF) return SourceEncoding::Utf16Be;
  if (b.size() >= 3 && byteAt(b, 0) == 0xEF && byteAt(b, 1) == 0xBB && byteAt(b, 2) == 0xBF) {
    return SourceEncoding::Utf8Bom;
  }
  return isUtf8WithHighBytes(b) ? SourceEncoding::Utf8 : SourceEncoding::None;
}

Result<std::string> convertToCodePage(std::string_view bytes, SourceEncoding e, const std::string& codePage) {
  if (e == SourceEncoding::None) return std::string(bytes);
  const char* from = "UTF-8";
  std::string_view in = bytes;
  switch (e) {
    case SourceEncoding::Utf16Le:
    case SourceEncoding::Utf16Be: {
      from = e == SourceEncoding::Utf16Le ? "UTF-16LE" : "UTF-16BE";
      // The signature is dropped before converting; the text ends at the first zero unit.
      in.remove_prefix(2);
      size_t units = in.size() / 2;
      size_t end = 0;
      while (end < units && (in[2 * end] != 0 || in[2 * end + 1] != 0)) ++end;
      in = in.substr(0, 2 * end);
      break;
    }
    case SourceEncoding::Utf8Bom:
      in.remove_prefix(3);
      break;
    default:
      break;
  }
  iconv_t cd = iconv_open(codePage.c_str(), from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return fail("the code page '" + codePage + "' is not known");

  std::string out(in.size() * 2 + 16, '\0');
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  auto grow = [&] {
    size_t used = static_cast<size_t>(op - out.data());
    out.resize(out.size() * 2);
    op = out.data() + used;
    ol = out.size() - used;
  };
  while (il > 0) {
    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // An unmappable character or a broken sequence becomes "?".
    if (ol == 0) grow();
    *op++ = '?';
    --ol;
    if (errno != EILSEQ) break;  // EINVAL: the input ends inside a character
    size_t skip = badUnitLength(std::string_view(ip, il), e);
    ip += skip;
    il -= skip;
  }
  while (iconv(cd, nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1) && errno == E2BIG) grow();
  iconv_close(cd);
  out.resize(static_cast<size_t>(op - out.data()));
  out.append(e == SourceEncoding::Utf8 ? 1 : 2, '\0');
  return out;
}

FileCodeConverter::FileCodeConverter(std::string source, std::string target, std::string codePage, Clock& clock)
    : source_(std::move(source)), target_(std::move(target)), codePage_(std::move(codePage)), clock_(clock) {}

Status FileCodeConverter::convert() {
  message_.clear();
  encoding_ = SourceEncoding::None;
  Result<std::string> bytes = readFile(source_);
  if (!bytes) {
    message_ = "Open File Error";
    return fail(message_ + " (" + bytes.error() + ")");
  }
  encoding_ = detectEncoding(*bytes);
  if (encoding_ == SourceEncoding::None) {
    // Gives a producer that is still writing a moment before the dispose reads.
    clock_.sleepFor(std::chrono::milliseconds(100));
    return {};
  }
  Result<std::string> converted = convertToCodePage(*bytes, encoding_, codePage_);
  Status written = converted ? writeFileAtomic(target_, *converted) : Status(fail(converted.error()));
  if (!written) {
    message_ = "Conversion Fail";
    return fail(message_ + " (" + written.error() + ")");
  }
  return {};
}

}  // namespace plotdesk::engine
