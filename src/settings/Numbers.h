#pragma once

#include <cstdint>
#include <string_view>

// Number rules for values read from the settings store.
namespace settings {

// The value of the decimal number at the start of text ("2527.5", "-120", "9.75pt", "1E+07"),
// after leading blanks and tabs; 0 for empty text or text that does not start with a number.
// The decimal point is always "." whatever the locale. A number too large for a double gives
// plus or minus infinity, one too small gives 0.
double LeadingNumber(std::string_view text);

// value rounded to the nearest integer, halves to even (2.5 gives 2, 3.5 gives 4). Values
// outside the 16-bit range are clamped to -32768 or 32767; NaN gives 0.
std::int16_t ToInt16(double value);

} // namespace settings
