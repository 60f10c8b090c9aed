#include "image/PanelScale.h"

#include "core/Streams.h"

#include <algorithm>

namespace korvane {

void TPanelScale::Fire(const std::function<void()>& Event) const {
    if (Event && !FDestroying)
        Event();
}

void TPanelScale::SetSlot(TSlot& Slot, TLongintPoint Screen, TDoublePoint Value) {
    Slot.Position = FCurrent.ScreenToImage(Screen);
    Slot.Value = Value;
    Slot.Set = true;
    Fire(OnSlotsChanged);
}

void TPanelScale::ClearSlot(TSlot& Slot) {
    Slot.Set = false;
    Fire(OnSlotsChanged);
}

void TPanelScale::SetFirstScalePoint(TLongintPoint Screen, TDoublePoint Value) {
    SetSlot(FFirst, Screen, Value);
}

void TPanelScale::SetSkewPoint(TLongintPoint Screen) {
    SetSlot(FSkew, Screen, {});
}

void TPanelScale::SetSecondScalePoint(TLongintPoint Screen, TDoublePoint Value) {
    SetSlot(FSecond, Screen, Value);
}

void TPanelScale::ClearFirstScalePoint() {
    ClearSlot(FFirst);
}
void TPanelScale::ClearSkewPoint() {
    ClearSlot(FSkew);
}
void TPanelScale::ClearSecondScalePoint() {
    ClearSlot(FSecond);
}

void TPanelScale::DefineScale(bool LogX, bool LogY) {
    if (!FFirst.Set || !FSkew.Set || !FSecond.Set)
        throw EDefineScale("Scale points not completely defined.");
    TScaleSystem Defined(FDefined);
    Defined.WindowOrg = FCurrent.WindowOrg;
    Defined.WindowExt = FCurrent.WindowExt;
    Defined.ViewportOrg = FCurrent.ViewportOrg;
    Defined.ViewportExt = FCurrent.ViewportExt;
    try {
        Defined.Define(FFirst.Position, FSkew.Position, FSecond.Position, FFirst.Value,
                       FSecond.Value, LogX, LogY);
    } catch (const EScaleSystem& E) {
        // Neither scale system in use changes; the coordinate system is undefined.
        FScaleDefined = false;
        throw EDefineScale(E.what());
    }
    FDefined = Defined;
    FCurrent = Defined;
    FScaleDefined = true;
    Fire(OnScaleDefined);
}

void TPanelScale::UndefineScale() {
    if (!FScaleDefined)
        return;
    FFirst.Set = FSkew.Set = FSecond.Set = false;
    FScaleDefined = false;
    Fire(OnScaleUndefined);
}

void TPanelScale::SetScaleSystems(const TScaleSystem& Defined, const TScaleSystem& Current) {
    FDefined = Defined;
    FCurrent = Current;
    FScaleDefined = true;
    Fire(OnScaleDefined);
}

void TPanelScale::RebuildCurrentScale() {
    // Keep the view mapping; the definition was validated when it was made.
    TScaleSystem Rebuilt(FCurrent);
    try {
        Rebuilt.Define(FDefined.FirstPoint, FDefined.SkewPoint, FDefined.SecondPoint,
                       FDefined.FirstValue, FDefined.SecondValue, FDefined.LogAxes.X,
                       FDefined.LogAxes.Y);
    } catch (const EScaleSystem&) {
        // No definition yet (a new panel): only the view mapping matters.
        return;
    }
    FCurrent = Rebuilt;
}

TDoublePoint TPanelScale::ScreenToReal(TLongintPoint Screen) const {
    return FScaleDefined ? FCurrent.ScreenToReal(Screen) : TDoublePoint{0.0, 0.0};
}

TLongintPoint TPanelScale::RealToScreen(TDoublePoint Real) const {
    return FScaleDefined ? FCurrent.RealToScreen(Real) : TLongintPoint{0, 0};
}

void TPanelScale::LoadFromStream(TStream& Stream, IPanelScroller& Scroller) {
    if (ReadBool(Stream)) {
        TScaleSystem A;
        A.LoadFromStream(Stream);
        TScaleSystem B(A);
        B.LoadFromStream(Stream);
        // Read the scroll positions before anything changes, so a short record changes nothing.
        const std::int32_t H = ReadInt32(Stream);
        const std::int32_t V = ReadInt32(Stream);
        SetScaleSystems(A, B);
        Scroller.RecomputeScrollBars();
        if (Scroller.ScrollPosition(true) >= 0)
            Scroller.ScrollBy(true, H - Scroller.ScrollPosition(true));
        if (Scroller.ScrollPosition(false) >= 0)
            Scroller.ScrollBy(false, V - Scroller.ScrollPosition(false));
        return;
    }
    const std::int32_t H = ReadInt32(Stream);
    const std::int32_t V = ReadInt32(Stream);
    Scroller.RecomputeScrollBars();
    if (Scroller.ScrollPosition(true) >= 0)
        Scroller.ScrollBy(true, H - Scroller.ScrollPosition(true));
    if (Scroller.ScrollPosition(false) >= 0)
        Scroller.ScrollBy(false, V - Scroller.ScrollPosition(false));
}

void TPanelScale::SaveToStream(TStream& Stream, const IPanelScroller& Scroller) const {
    WriteBool(Stream, FScaleDefined);
    if (FScaleDefined) {
        FDefined.SaveToStream(Stream);
        FCurrent.SaveToStream(Stream);
    }
    WriteInt32(Stream, std::max(Scroller.ScrollPosition(true), 0));
    WriteInt32(Stream, std::max(Scroller.ScrollPosition(false), 0));
}

} // namespace korvane
