#pragma once

#include "core/DoublePoints.h"
#include "core/Errors.h"
#include "core/Persistent.h"

namespace korvane {

class TStream;

// Raised by TScaleSystem for an invalid definition, record or conversion.
class EScaleSystem : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// Raised by the image panel when it cannot define its coordinate system.
class EDefineScale : public EKorvane {
public:
    using EKorvane::EKorvane;
};

// The coordinate system of one image: converts between image pixels, screen pixels (at
// the current zoom and scroll) and the chart's real values. It is defined by three
// reference points: the first scale point, the skew point (which fixes the direction of
// the image's X axis, so a slightly rotated scan is measured correctly) and the second
// scale point. Each axis is linear or logarithmic.
class TScaleSystem : public TPersistent {
public:
    static constexpr int RecordSize = 90;

    TScaleSystem() = default;
    TScaleSystem(const TScaleSystem&) = default;
    TScaleSystem& operator=(const TScaleSystem&) = default;

    // Definition.
    TLongintPoint FirstPoint;
    TLongintPoint SkewPoint;
    TLongintPoint SecondPoint;
    TDoublePoint FirstValue;
    TDoublePoint SecondValue;
    struct TLogAxes {
        bool X = false;
        bool Y = false;
    } LogAxes;

    // Derived by Define.
    double CosAngle = 0.0;
    double SinAngle = 0.0;
    TLongintPoint DeskewedSecondPoint;
    TDoublePoint AxisSpan;
    TDoublePoint LinearScale;
    bool XReversed = false;
    TDoublePoint LogRatio;

    // View mapping between image and screen pixels; the zoom is ViewportExt / WindowExt.
    TLongintPoint WindowOrg{0, 0};
    TLongintPoint WindowExt{1, 1};
    TLongintPoint ViewportOrg{0, 0};
    TLongintPoint ViewportExt{1, 1};

    // Validates, stores and derives. On any failure nothing changes and EScaleSystem
    // carries the reason.
    void Define(TLongintPoint First, TLongintPoint Skew, TLongintPoint Second,
                TDoublePoint FirstVal, TDoublePoint SecondVal, bool LogX, bool LogY);

    // Defines the system whose real values are the image's own positions: X the column, Y
    // the row, both counted from the top left pixel.
    void DefineImageCoordinates();

    // Real conversions throw EScaleSystem when a result is not a finite number (an image
    // position whose value overflows a logarithmic axis, a non-positive value on a
    // logarithmic axis, a system that was never defined).
    TDoublePoint ImageToReal(TLongintPoint P) const;
    // The same for a real-valued image position (X column, Y row), such as a line's centre
    // found between pixels; for whole numbers it equals ImageToReal.
    TDoublePoint ImagePositionToReal(TDoublePoint P) const;
    TLongintPoint RealToImage(TDoublePoint R) const;
    TLongintPoint ScreenToImage(TLongintPoint S) const;
    TLongintPoint ImageToScreen(TLongintPoint P) const;
    TDoublePoint ScreenToReal(TLongintPoint S) const { return ImageToReal(ScreenToImage(S)); }
    TLongintPoint RealToScreen(TDoublePoint R) const { return ImageToScreen(RealToImage(R)); }

    // Screen pixels added by ImageToScreen to reach the centre of an image pixel's block.
    TLongintPoint HalfStep() const;

    void Assign(const TPersistent& Source) override;

    // The 90-byte record. Loading validates the definition with Define and the view
    // mapping; an invalid record throws EScaleSystem, a short one EReadError, and in both
    // cases the object is unchanged.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

protected:
    void AssignTo(TPersistent& Dest) const override;
};

} // namespace korvane
