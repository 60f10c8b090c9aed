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

// Number * Numerator / Denominator rounded to the nearest integer, halves away from zero,
// in 64 bits; Denominator > 0.
inline std::int64_t MulDiv64(std::int64_t Number, std::int64_t Numerator,
                             std::int64_t Denominator) {
    const std::int64_t P = Number * Numerator;
    const std::int64_t Q = P / Denominator;
    const std::int64_t R = P % Denominator;
    if (2 * (R < 0 ? -R : R) >= Denominator)
        return Q + (P < 0 ? -1 : 1);
    return Q;
}

// A / B rounded towards positive infinity; B != 0.
inline std::int64_t CeilDiv(std::int64_t A, std::int64_t B) {
    const std::int64_t Q = A / B;
    return (A % B != 0 && (A > 0) == (B > 0)) ? Q + 1 : Q;
}

// Throws EMathError with Message unless Value is a finite number; returns Value.
double CheckFinite(double Value, const char* Message);

// The keys an edit box for real numbers accepts: backspace, tab, return, '-', the digits,
// 'E', 'e' and the decimal separator. Any other key becomes 0, which swallows it.
char32_t FilterNumericKey(char32_t Key, char32_t DecimalSeparator = U'.');

} // namespace korvane
