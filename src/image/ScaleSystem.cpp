#include "image/ScaleSystem.h"

#include "core/Numerics.h"
#include "core/Streams.h"

#include <cmath>

namespace korvane {

namespace {

// Image positions further out than this are far beyond any image; converting a real
// value that lies there gives a clamped position instead of an overflow.
constexpr double PositionLimit = 1.0e9;

std::int32_t RoundPosition(double Value) {
    if (std::isnan(Value))
        throw EScaleSystem("The value cannot be converted to an image position.");
    if (Value > PositionLimit)
        Value = PositionLimit;
    if (Value < -PositionLimit)
        Value = -PositionLimit;
    return Round(Value);
}

double Finite(double Value, const char* Message) {
    if (!std::isfinite(Value))
        throw EScaleSystem(Message);
    return Value;
}

std::int32_t HalfStepOf(std::int32_t Viewport, std::int32_t Window) {
    const double Q = static_cast<double>(Viewport) / (2.0 * Window);
    const double T = std::trunc(Q);
    return static_cast<std::int32_t>(Q - T > 0.49 ? T + 1 : T);
}

} // namespace

void TScaleSystem::Define(TLongintPoint First, TLongintPoint Skew, TLongintPoint Second,
                          TDoublePoint FirstVal, TDoublePoint SecondVal, bool LogX, bool LogY) {
    if ((LogX && (!(FirstVal.X > 0.0) || !(SecondVal.X > 0.0))) ||
        (LogY && (!(FirstVal.Y > 0.0) || !(SecondVal.Y > 0.0))))
        throw EScaleSystem("Logarithmic scale values must be positive.");
    if (!(std::fabs(FirstVal.X - SecondVal.X) >= 1e-30) ||
        !(std::fabs(FirstVal.Y - SecondVal.Y) >= 1e-30))
        throw EScaleSystem("Scale values must be different between points.");
    if (!std::isfinite(FirstVal.X) || !std::isfinite(FirstVal.Y) || !std::isfinite(SecondVal.X) ||
        !std::isfinite(SecondVal.Y))
        throw EScaleSystem("Scale values must be finite numbers.");

    // Derive into a scratch copy first: a failure below must leave this system as it was.
    TScaleSystem S(*this);
    S.FirstPoint = First;
    S.SkewPoint = Skew;
    S.SecondPoint = Second;
    S.FirstValue = FirstVal;
    S.SecondValue = SecondVal;
    S.LogAxes = {LogX, LogY};

    const double SkewDX = static_cast<double>(Skew.X) - First.X;
    const double SkewDY = static_cast<double>(Skew.Y) - First.Y;
    if (SkewDX == 0.0)
        throw EScaleSystem("The skew point must not lie in the same column as the first point.");
    // Only the direction of the line through the two points counts.
    const double Angle = std::atan(SkewDY / SkewDX);
    S.CosAngle = std::cos(Angle);
    S.SinAngle = std::sin(Angle);

    const double DX = static_cast<double>(Second.X) - First.X;
    const double DY = static_cast<double>(Second.Y) - First.Y;
    S.DeskewedSecondPoint.X = RoundPosition(First.X + DX * S.CosAngle + DY * S.SinAngle);
    S.DeskewedSecondPoint.Y = RoundPosition(First.Y + DY * S.CosAngle - DX * S.SinAngle);
    S.AxisSpan.X = static_cast<double>(S.DeskewedSecondPoint.X) - First.X;
    S.AxisSpan.Y = static_cast<double>(S.DeskewedSecondPoint.Y) - First.Y;
    if (S.AxisSpan.X == 0.0)
        throw EScaleSystem("The second point must lie in another column than the first point "
                           "along the chart's X axis.");
    if (S.AxisSpan.Y == 0.0)
        throw EScaleSystem("The second point must lie in another row than the first point "
                           "along the chart's Y axis.");

    const char* Overflow = "The scale values are too far apart.";
    S.LinearScale.X = Finite((SecondVal.X - FirstVal.X) / S.AxisSpan.X, Overflow);
    S.LinearScale.Y = Finite((SecondVal.Y - FirstVal.Y) / S.AxisSpan.Y, Overflow);
    if (S.LinearScale.X == 0.0 || S.LinearScale.Y == 0.0)
        throw EScaleSystem("Scale values must be different between points.");
    S.XReversed = S.LinearScale.X < 0;
    if (LogX) {
        S.LogRatio.X = Finite(std::log(SecondVal.X / FirstVal.X), Overflow);
        if (S.LogRatio.X == 0.0)
            throw EScaleSystem("Scale values must be different between points.");
    }
    if (LogY) {
        S.LogRatio.Y = Finite(std::log(SecondVal.Y / FirstVal.Y), Overflow);
        if (S.LogRatio.Y == 0.0)
            throw EScaleSystem("Scale values must be different between points.");
    }
    *this = S;
}

void TScaleSystem::DefineImageCoordinates() {
    Define({0, 0}, {1, 0}, {1, 1}, {0.0, 0.0}, {1.0, 1.0}, false, false);
}

TDoublePoint TScaleSystem::ImageToReal(TLongintPoint P) const {
    return ImagePositionToReal({static_cast<double>(P.X), static_cast<double>(P.Y)});
}

TDoublePoint TScaleSystem::ImagePositionToReal(TDoublePoint P) const {
    const double DX = P.X - FirstPoint.X;
    const double DY = P.Y - FirstPoint.Y;
    const double U = DX * CosAngle + DY * SinAngle;
    const double V = DY * CosAngle - DX * SinAngle;
    const char* Message = "The position lies outside the range of the coordinate system.";
    TDoublePoint R;
    R.X = LogAxes.X ? FirstValue.X * std::exp(U / AxisSpan.X * LogRatio.X)
                    : LinearScale.X * U + FirstValue.X;
    R.Y = LogAxes.Y ? FirstValue.Y * std::exp(V / AxisSpan.Y * LogRatio.Y)
                    : LinearScale.Y * V + FirstValue.Y;
    Finite(R.X, Message);
    Finite(R.Y, Message);
    return R;
}

TLongintPoint TScaleSystem::RealToImage(TDoublePoint R) const {
    if ((LogAxes.X && !(R.X > 0.0)) || (LogAxes.Y && !(R.Y > 0.0)))
        throw EScaleSystem("Values on a logarithmic axis must be positive.");
    const double A = LogAxes.X ? std::log(R.X / FirstValue.X) / LogRatio.X * AxisSpan.X
                               : (R.X - FirstValue.X) / LinearScale.X;
    const double B = LogAxes.Y ? std::log(R.Y / FirstValue.Y) / LogRatio.Y * AxisSpan.Y
                               : (R.Y - FirstValue.Y) / LinearScale.Y;
    TLongintPoint P;
    P.X = RoundPosition(RoundPosition(A * CosAngle - B * SinAngle) +
                        static_cast<double>(FirstPoint.X));
    P.Y = RoundPosition(RoundPosition(B * CosAngle + A * SinAngle) +
                        static_cast<double>(FirstPoint.Y));
    return P;
}

TLongintPoint TScaleSystem::ScreenToImage(TLongintPoint S) const {
    return {MulDiv(S.X - ViewportOrg.X, WindowExt.X, ViewportExt.X) + WindowOrg.X,
            MulDiv(S.Y - ViewportOrg.Y, WindowExt.Y, ViewportExt.Y) + WindowOrg.Y};
}

TLongintPoint TScaleSystem::HalfStep() const {
    if (WindowExt.X == 0 || WindowExt.Y == 0)
        throw EScaleSystem("The view mapping has an empty extent.");
    return {HalfStepOf(ViewportExt.X, WindowExt.X), HalfStepOf(ViewportExt.Y, WindowExt.Y)};
}

TLongintPoint TScaleSystem::ImageToScreen(TLongintPoint P) const {
    const TLongintPoint Half = HalfStep();
    return {MulDiv(P.X - WindowOrg.X, ViewportExt.X, WindowExt.X) + ViewportOrg.X + Half.X,
            MulDiv(P.Y - WindowOrg.Y, ViewportExt.Y, WindowExt.Y) + ViewportOrg.Y + Half.Y};
}

void TScaleSystem::Assign(const TPersistent& Source) {
    if (auto* Other = dynamic_cast<const TScaleSystem*>(&Source)) {
        *this = *Other;
        return;
    }
    TPersistent::Assign(Source);
}

void TScaleSystem::AssignTo(TPersistent& Dest) const {
    if (auto* Other = dynamic_cast<TScaleSystem*>(&Dest)) {
        *Other = *this;
        return;
    }
    TPersistent::AssignTo(Dest);
}

void TScaleSystem::LoadFromStream(TStream& Stream) {
    TScaleSystem S(*this);
    const TLongintPoint First = ReadLongintPoint(Stream);
    const TLongintPoint Skew = ReadLongintPoint(Stream);
    const TLongintPoint Second = ReadLongintPoint(Stream);
    const TDoublePoint FirstVal = ReadDoublePoint(Stream);
    const TDoublePoint SecondVal = ReadDoublePoint(Stream);
    const bool LogX = ReadBool(Stream);
    const bool LogY = ReadBool(Stream);
    S.WindowOrg = ReadLongintPoint(Stream);
    S.WindowExt = ReadLongintPoint(Stream);
    S.ViewportOrg = ReadLongintPoint(Stream);
    S.ViewportExt = ReadLongintPoint(Stream);
    if (S.WindowExt.X <= 0 || S.WindowExt.Y <= 0 || S.ViewportExt.X <= 0 || S.ViewportExt.Y <= 0)
        throw EScaleSystem("The coordinate system record has an invalid view mapping.");
    S.Define(First, Skew, Second, FirstVal, SecondVal, LogX, LogY);
    *this = S;
}

void TScaleSystem::SaveToStream(TStream& Stream) const {
    WritePoint(Stream, FirstPoint);
    WritePoint(Stream, SkewPoint);
    WritePoint(Stream, SecondPoint);
    WritePoint(Stream, FirstValue);
    WritePoint(Stream, SecondValue);
    WriteBool(Stream, LogAxes.X);
    WriteBool(Stream, LogAxes.Y);
    WritePoint(Stream, WindowOrg);
    WritePoint(Stream, WindowExt);
    WritePoint(Stream, ViewportOrg);
    WritePoint(Stream, ViewportExt);
}

} // namespace korvane
