#pragma once

#include <cstdint>

namespace korvane {

// Rounding as the whole program does it: to the nearest integer, halves to the even
// neighbour. Throws EMathError for NaN, infinity or a result outside the 32-bit range.
std::int32_t Round(double Value);

// Towards zero. Throws EMathError for NaN, infinity or a result outside the 32-bit range.
std::int32_t Trunc(double Value);

// Number * Numerator / Denominator with a 64-bit intermediate product; the quotient is
// rounded to the nearest integer, halves away from zero. A zero denominator or a result
// outside the 32-bit range throws EMathError.
std::int32_t MulDiv(std::int32_t Number, std::int32_t Numerator, std::int32_t Denominator);

// Throws EMathError with Message unless Value is a finite number; returns Value.
double CheckFinite(double Value, const char* Message);

// The keys an edit box for real numbers accepts: backspace, tab, return, '-', the digits,
// 'E', 'e' and the decimal separator. Any other key becomes 0, which swallows it.
char32_t FilterNumericKey(char32_t Key, char32_t DecimalSeparator = U'.');

} // namespace korvane
