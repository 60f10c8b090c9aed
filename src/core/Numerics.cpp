#include "core/Numerics.h"

#include "core/Errors.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace korvane {

namespace {

std::int32_t ToInt32(double Value, const char* Operation) {
    // Every int32 is exactly representable, so these bounds are exact.
    if (!(Value >= -2147483648.0 && Value <= 2147483647.0))
        throw EMathError(std::string(Operation) + ": value out of the integer range.");
    return static_cast<std::int32_t>(Value);
}

} // namespace

std::int32_t Round(double Value) {
    // nearbyint honours the current rounding mode, which the program never changes
    // from round-to-nearest-even.
    return ToInt32(std::nearbyint(Value), "Round");
}

std::int32_t Trunc(double Value) {
    return ToInt32(std::trunc(Value), "Trunc");
}

std::int32_t MulDiv(std::int32_t Number, std::int32_t Numerator, std::int32_t Denominator) {
    if (Denominator == 0)
        throw EMathError("MulDiv: division by zero.");
    std::int64_t Product = static_cast<std::int64_t>(Number) * Numerator;
    std::int64_t Divisor = Denominator;
    if (Divisor < 0) {
        Product = -Product;
        Divisor = -Divisor;
    }
    // Round half away from zero on the magnitude.
    const bool Negative = Product < 0;
    const std::uint64_t Magnitude = Negative ? static_cast<std::uint64_t>(-(Product + 1)) + 1
                                             : static_cast<std::uint64_t>(Product);
    const std::uint64_t Quotient =
        (Magnitude + static_cast<std::uint64_t>(Divisor) / 2) / static_cast<std::uint64_t>(Divisor);
    if (Quotient > (Negative ? 2147483648ULL : 2147483647ULL))
        throw EMathError("MulDiv: value out of the integer range.");
    return Negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(Quotient))
                    : static_cast<std::int32_t>(Quotient);
}

double CheckFinite(double Value, const char* Message) {
    if (!std::isfinite(Value))
        throw EMathError(Message);
    return Value;
}

char32_t FilterNumericKey(char32_t Key, char32_t DecimalSeparator) {
    if (Key == 8 || Key == 9 || Key == 13 || Key == U'-' || (Key >= U'0' && Key <= U'9') ||
        Key == U'E' || Key == U'e' || Key == DecimalSeparator)
        return Key;
    return 0;
}

} // namespace korvane
