#include "core/Formats.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace korvane {

namespace {

constexpr int SignificantDigits = 18;

// The decimal expansion of a finite value: Digits[0 .. Count - 1] holds significant digits,
// the first one non-zero unless the value is zero, and the value is 0.Digits * 10^Exponent.
// Fixed storage: formatting runs once per exported number and must not allocate.
struct TDecimal {
    bool Negative = false;
    int Count = 0;
    int Exponent = 0;
    char Digits[SignificantDigits + 1] = {};
};

TDecimal ToDecimal(double Value) {
    TDecimal D;
    D.Negative = std::signbit(Value);
    // The exact binary value rounded to 18 significant digits, ties to even:
    // "d.ddddddddddddddddde+XX".
    char Buffer[48];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, std::fabs(Value),
                                      std::chars_format::scientific, SignificantDigits - 1);
    const char* P = Buffer;
    bool AllZero = true;
    for (; P < Result.ptr && *P != 'e'; ++P) {
        if (*P >= '0' && *P <= '9' && D.Count < SignificantDigits) {
            D.Digits[D.Count++] = *P;
            AllZero = AllZero && *P == '0';
        }
    }
    int Exponent = 0;
    if (P < Result.ptr) {
        ++P;
        const bool NegativeExponent = P < Result.ptr && *P == '-';
        if (P < Result.ptr && (*P == '-' || *P == '+'))
            ++P;
        for (; P < Result.ptr; ++P)
            Exponent = Exponent * 10 + (*P - '0');
        if (NegativeExponent)
            Exponent = -Exponent;
    }
    D.Exponent = Exponent + 1;
    if (AllZero) {
        std::memset(D.Digits, '0', SignificantDigits);
        D.Count = SignificantDigits;
        D.Exponent = 0;
    }
    return D;
}

// Rounds D half away from zero so that Keep digits remain (Keep may be 0 or negative:
// the value then becomes zero or one unit of the first kept position).
void RoundDigits(TDecimal& D, int Keep) {
    if (Keep >= D.Count)
        return;
    if (Keep < 0) {
        D.Digits[0] = '0';
        D.Count = 1;
        return;
    }
    const bool Up = D.Digits[Keep] >= '5';
    D.Count = Keep;
    if (Up) {
        int I = Keep - 1;
        for (; I >= 0; --I) {
            if (D.Digits[I] == '9') {
                D.Digits[I] = '0';
            } else {
                ++D.Digits[I];
                break;
            }
        }
        if (I < 0) {
            std::memmove(D.Digits + 1, D.Digits, static_cast<std::size_t>(D.Count));
            D.Digits[0] = '1';
            ++D.Count;
            ++D.Exponent;
        }
    }
}

bool IsZero(const TDecimal& D) {
    for (int I = 0; I < D.Count; ++I)
        if (D.Digits[I] != '0')
            return false;
    return true;
}

char DigitAt(const TDecimal& D, int Index) {
    return Index >= 0 && Index < D.Count ? D.Digits[Index] : '0';
}

// Room for a sign, 19 integer digits (after a carry), the separator and 18 decimals, or for
// the longest scientific text.
using TTextBuffer = char[64];

std::string FormatGeneral(double Value, char Separator);

std::string FormatFixed(double Value, int Precision, char Separator) {
    TDecimal D = ToDecimal(Value);
    if (D.Exponent > SignificantDigits)
        return FormatGeneral(Value, Separator);
    RoundDigits(D, D.Exponent + Precision);
    TTextBuffer Text;
    int N = 0;
    if (D.Negative && !IsZero(D))
        Text[N++] = '-';
    // "#": no leading zero for the integer part.
    for (int I = 0; I < D.Exponent; ++I)
        Text[N++] = DigitAt(D, I);
    if (Precision > 0) {
        Text[N++] = Separator;
        for (int I = 0; I < Precision; ++I)
            Text[N++] = DigitAt(D, D.Exponent + I);
    } else if (N == 0 || (N == 1 && Text[0] == '-')) {
        // Without decimals "#" alone would leave nothing at all for a zero.
        return "0";
    }
    return std::string(Text, static_cast<std::size_t>(N));
}

std::string FormatScientific(double Value, int Precision, char Separator) {
    TDecimal D = ToDecimal(Value);
    RoundDigits(D, Precision + 1);
    TTextBuffer Text;
    int N = 0;
    if (D.Negative && !IsZero(D))
        Text[N++] = '-';
    Text[N++] = DigitAt(D, 0);
    if (Precision > 0) {
        Text[N++] = Separator;
        for (int I = 1; I <= Precision; ++I)
            Text[N++] = DigitAt(D, I);
    }
    const int Exponent = IsZero(D) ? 0 : D.Exponent - 1;
    const int Magnitude = std::abs(Exponent);
    Text[N++] = 'e';
    Text[N++] = Exponent < 0 ? '-' : '+';
    if (Magnitude >= 100)
        Text[N++] = static_cast<char>('0' + Magnitude / 100);
    Text[N++] = static_cast<char>('0' + Magnitude / 10 % 10);
    Text[N++] = static_cast<char>('0' + Magnitude % 10);
    return std::string(Text, static_cast<std::size_t>(N));
}

// Up to 15 significant digits, trailing zeros dropped, "E" and a minimal exponent.
std::string FormatGeneral(double Value, char Separator) {
    TDecimal D = ToDecimal(Value);
    RoundDigits(D, 15);
    while (D.Count > 1 && D.Digits[D.Count - 1] == '0')
        --D.Count;
    std::string Text = D.Negative ? "-" : "";
    Text += D.Digits[0];
    if (D.Count > 1) {
        Text += Separator;
        Text.append(D.Digits + 1, static_cast<std::size_t>(D.Count - 1));
    }
    return Text + "E" + std::to_string(D.Exponent - 1);
}

} // namespace

void TCoordFormat::Reset() {
    FloatingPoint = true;
    Precision = 2;
    BuildPattern();
}

void TCoordFormat::BuildPattern() {
    FPattern = FloatingPoint ? "#." : "0.";
    if (Precision > 0)
        FPattern.append(static_cast<std::size_t>(Precision), '0');
    if (!FloatingPoint)
        FPattern += "e+00";
}

void TCoordFormat::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TCoordFormat*>(&Source)) {
        FloatingPoint = Other->FloatingPoint;
        Precision = Other->Precision;
        BuildPattern();
        return;
    }
    TPersistent::Assign(Source);
}

std::string TCoordFormat::Format(double Value, char DecimalSeparator) const {
    if (std::isnan(Value))
        return "NAN";
    if (std::isinf(Value))
        return Value < 0 ? "-INF" : "INF";
    const int P = Precision < 0 ? 0 : (Precision > MaxPrecision ? MaxPrecision : Precision);
    return FloatingPoint ? FormatFixed(Value, P, DecimalSeparator)
                         : FormatScientific(Value, P, DecimalSeparator);
}

std::string TCoordFormat::ToText() const {
    return (FloatingPoint ? "fixed:" : "scientific:") + std::to_string(Precision);
}

bool TCoordFormat::FromText(const std::string& Text) {
    const std::size_t Colon = Text.find(':');
    if (Colon == std::string::npos)
        return false;
    const std::string Kind = Text.substr(0, Colon), Digits = Text.substr(Colon + 1);
    if ((Kind != "fixed" && Kind != "scientific") || Digits.empty() || Digits.size() > 2 ||
        Digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int Digits10 = std::stoi(Digits);
    if (Digits10 > MaxPrecision)
        return false;
    FloatingPoint = Kind == "fixed";
    Precision = Digits10;
    BuildPattern();
    return true;
}

void TCoordFormat::LoadFromStream(TStream& Stream) {
    const bool NewFloatingPoint = ReadBool(Stream);
    const std::int32_t NewPrecision = ReadInt32(Stream);
    if (NewPrecision < 0 || NewPrecision > MaxPrecision)
        throw EReadError("Invalid precision " + std::to_string(NewPrecision) +
                         " in a number format record.");
    FloatingPoint = NewFloatingPoint;
    Precision = NewPrecision;
    BuildPattern();
}

void TCoordFormat::SaveToStream(TStream& Stream) const {
    WriteBool(Stream, FloatingPoint);
    WriteInt32(Stream, Precision);
}

void TCoordFormatPair::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TCoordFormatPair*>(&Source)) {
        XFormat.Assign(Other->XFormat);
        YFormat.Assign(Other->YFormat);
        return;
    }
    TPersistent::Assign(Source);
}

void TCoordFormatPair::Reset() {
    XFormat.Reset();
    YFormat.Reset();
}

void TCoordFormatPair::LoadFromStream(TStream& Stream) {
    // Read both before changing either, so a damaged record leaves the pair as it was.
    TCoordFormat X;
    TCoordFormat Y;
    X.LoadFromStream(Stream);
    Y.LoadFromStream(Stream);
    XFormat.Assign(X);
    YFormat.Assign(Y);
}

void TCoordFormatPair::SaveToStream(TStream& Stream) const {
    XFormat.SaveToStream(Stream);
    YFormat.SaveToStream(Stream);
}

} // namespace korvane
