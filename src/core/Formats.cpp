#include "core/Formats.h"

#include "core/Errors.h"
#include "core/Streams.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvane {

namespace {

// The decimal expansion of a finite value: Digits holds significant digits, the first one
// non-zero unless the value is zero, and the value is 0.Digits * 10^Exponent.
struct TDecimal {
    bool Negative = false;
    std::string Digits;
    int Exponent = 0;
};

constexpr int SignificantDigits = 18;

TDecimal ToDecimal(double Value) {
    TDecimal D;
    D.Negative = std::signbit(Value);
    char Buffer[64];
    // 18 significant digits, as the extended-precision conversion of the original program.
    std::snprintf(Buffer, sizeof Buffer, "%.*Le", SignificantDigits - 1,
                  static_cast<long double>(std::fabs(Value)));
    for (const char* P = Buffer; *P && *P != 'e'; ++P)
        if (*P >= '0' && *P <= '9')
            D.Digits += *P;
    const char* E = std::strchr(Buffer, 'e');
    D.Exponent = (E ? std::atoi(E + 1) : 0) + 1;
    if (D.Digits.find_first_not_of('0') == std::string::npos) {
        D.Digits = std::string(SignificantDigits, '0');
        D.Exponent = 0;
    }
    return D;
}

// Rounds D half away from zero so that Keep digits remain (Keep may be 0 or negative:
// the value then becomes zero or one unit of the first kept position).
void RoundDigits(TDecimal& D, int Keep) {
    if (Keep >= static_cast<int>(D.Digits.size()))
        return;
    if (Keep < 0) {
        D.Digits = "0";
        return;
    }
    const bool Up = D.Digits[static_cast<std::size_t>(Keep)] >= '5';
    D.Digits.resize(static_cast<std::size_t>(Keep));
    if (Up) {
        int I = Keep - 1;
        for (; I >= 0; --I) {
            if (D.Digits[static_cast<std::size_t>(I)] == '9') {
                D.Digits[static_cast<std::size_t>(I)] = '0';
            } else {
                ++D.Digits[static_cast<std::size_t>(I)];
                break;
            }
        }
        if (I < 0) {
            D.Digits.insert(D.Digits.begin(), '1');
            ++D.Exponent;
        }
    }
}

bool IsZero(const TDecimal& D) {
    return D.Digits.find_first_not_of('0') == std::string::npos;
}

char DigitAt(const TDecimal& D, int Index) {
    return Index >= 0 && Index < static_cast<int>(D.Digits.size())
               ? D.Digits[static_cast<std::size_t>(Index)]
               : '0';
}

std::string FormatFixed(double Value, int Precision, char Separator);
std::string FormatGeneral(double Value, char Separator);

std::string FormatFixed(double Value, int Precision, char Separator) {
    TDecimal D = ToDecimal(Value);
    if (D.Exponent > SignificantDigits)
        return FormatGeneral(Value, Separator);
    RoundDigits(D, D.Exponent + Precision);
    std::string Text;
    if (D.Negative && !IsZero(D))
        Text += '-';
    // "#": no leading zero for the integer part.
    for (int I = 0; I < D.Exponent; ++I)
        Text += DigitAt(D, I);
    if (Precision > 0) {
        Text += Separator;
        for (int I = 0; I < Precision; ++I)
            Text += DigitAt(D, D.Exponent + I);
    } else if (Text.empty() || Text == "-") {
        // Without decimals "#" alone would leave nothing at all for a zero.
        Text = "0";
    }
    return Text;
}

std::string FormatScientific(double Value, int Precision, char Separator) {
    TDecimal D = ToDecimal(Value);
    RoundDigits(D, Precision + 1);
    std::string Text;
    if (D.Negative && !IsZero(D))
        Text += '-';
    Text += DigitAt(D, 0);
    if (Precision > 0) {
        Text += Separator;
        for (int I = 1; I <= Precision; ++I)
            Text += DigitAt(D, I);
    }
    const int Exponent = IsZero(D) ? 0 : D.Exponent - 1;
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "e%c%02d", Exponent < 0 ? '-' : '+', std::abs(Exponent));
    return Text + Buffer;
}

// Up to 15 significant digits, trailing zeros dropped, "E" and a minimal exponent.
std::string FormatGeneral(double Value, char Separator) {
    TDecimal D = ToDecimal(Value);
    RoundDigits(D, 15);
    while (D.Digits.size() > 1 && D.Digits.back() == '0')
        D.Digits.pop_back();
    std::string Text = D.Negative ? "-" : "";
    Text += D.Digits[0];
    if (D.Digits.size() > 1)
        Text += Separator + D.Digits.substr(1);
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
