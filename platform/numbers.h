#pragma once
// Locale-independent number parsing and formatting. The user interface toolkit
// changes the C library locale, so nothing here may call locale-aware functions.
#include <string>
#include <string_view>

namespace plotdesk {

// Leading blanks, optional sign, digits with an optional point; the first other
// byte ends the number; no digits give 0. Never reads an exponent.
// `consumed` (optional) receives the bytes used, 0 when no digits were found.
double parseReal(std::string_view text, size_t* consumed = nullptr);
// Same scan; the fraction is dropped and values outside int are clamped.
int parseInt(std::string_view text, size_t* consumed = nullptr);
long long parseInt64(std::string_view text, size_t* consumed = nullptr);

std::string formatInt(long long value);                  // %d
std::string formatFixed(double value, int decimals = 6);  // %.Nf (%f is 6)
// Machine-file number: six significant digits, never an exponent.
// |v| < 0.0001 -> "0"; |v| >= 999999.5 -> "%.0f"; otherwise "%.6g".
std::string formatGeneral(double value);

}  // namespace plotdesk
