#pragma once

#include "core/Persistent.h"

#include <cstdint>
#include <string>

namespace korvane {

class TStream;

// How a real value of one axis becomes text: fixed-point ("#.00", no leading zero below 1)
// or scientific ("0.00e+00"), with Precision digits after the decimal separator.
class TCoordFormat : public TPersistent {
public:
    static constexpr std::int32_t MaxPrecision = 18;

    TCoordFormat() { Reset(); }

    // Set directly only on scratch objects that are then used as the source of Assign.
    bool FloatingPoint = true;
    std::int32_t Precision = 2;

    const std::string& Pattern() const { return FPattern; }

    void Reset();
    void Assign(const TPersistent& Source) override;

    // The text of Value. Decimal digits are taken from Value's exact binary value to 18
    // significant digits and rounded half away from zero. A fixed-point value of 1e18 or
    // more falls back to the general notation ("1.5E20"); NaN and infinities read "NAN",
    // "INF" and "-INF".
    std::string Format(double Value, char DecimalSeparator = '.') const;

    // The format as a settings file and the command line write it: "fixed:2" (floating point)
    // or "scientific:3".
    std::string ToText() const;
    // Reads such a text, the precision 0..18; false, and the format unchanged, for anything
    // else.
    bool FromText(const std::string& Text);

    // Record: FloatingPoint (1 byte), Precision (32-bit). A precision outside 0..18 throws.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

private:
    void BuildPattern();

    std::string FPattern;
};

// The formats of the X and the Y axis.
class TCoordFormatPair : public TPersistent {
public:
    TCoordFormat XFormat;
    TCoordFormat YFormat;

    void Assign(const TPersistent& Source) override;
    void Reset();
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;
};

} // namespace korvane
