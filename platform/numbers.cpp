#include "platform/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace plotdesk {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct Scan {
  size_t begin = 0;      // first byte of the digits (after the sign)
  size_t end = 0;        // one past the last byte of the number
  bool negative = false;
  bool digits = false;
  size_t intEnd = 0;     // end of the integer digits
};

Scan scanNumber(std::string_view t, bool allowPoint) {
  Scan s;
  size_t i = 0;
  while (i < t.size() && isBlank(t[i])) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    s.negative = t[i] == '-';
    ++i;
  }
  s.begin = i;
  while (i < t.size() && isDigit(t[i])) { ++i; s.digits = true; }
  s.intEnd = i;
  if (allowPoint && i < t.size() && t[i] == '.') {
    size_t j = i + 1;
    bool frac = false;
    while (j < t.size() && isDigit(t[j])) { ++j; frac = true; }
    if (s.digits || frac) { i = j; s.digits = true; }
  }
  s.end = i;
  return s;
}

}  // namespace

double parseReal(std::string_view text, size_t* consumed) {
  Scan s = scanNumber(text, true);
  if (consumed) *consumed = s.digits ? s.end : 0;
  if (!s.digits) return 0.0;
  double v = 0.0;
  const char* first = text.data() + s.begin;
  const char* last = text.data() + s.end;
  auto r = std::from_chars(first, last, v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    // A non-zero integer part means too large; otherwise too small.
    bool huge = false;
    for (size_t i = s.begin; i < s.intEnd; ++i) huge = huge || text[i] != '0';
    v = huge ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return s.negative ? -v : v;
}

long long parseInt64(std::string_view text, size_t* consumed) {
  Scan s = scanNumber(text, false);
  if (consumed) *consumed = s.digits ? s.end : 0;
  if (!s.digits) return 0;
  unsigned long long acc = 0;
  const unsigned long long limit = s.negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (size_t i = s.begin; i < s.intEnd; ++i) {
    unsigned d = static_cast<unsigned>(text[i] - '0');
    if (acc > (limit - d) / 10) { acc = limit; break; }
    acc = acc * 10 + d;
  }
  if (s.negative) return acc == 9223372036854775808ULL ? std::numeric_limits<long long>::min()
                                                     : -static_cast<long long>(acc);
  return static_cast<long long>(acc);
}

int parseInt(std::string_view text, size_t* consumed) {
  long long v = parseInt64(text, consumed);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

std::string formatInt(long long value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string formatFixed(double value, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  return std::string(buf, r.ptr);
}

std::string formatGeneral(double value) {
  if (!std::isfinite(value)) return "0";
  double a = std::fabs(value);
  if (a < 0.0001) return "0";
  if (a >= 999999.5) return formatFixed(value, 0);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  return std::string(buf, r.ptr);
}

}  // namespace plotdesk
