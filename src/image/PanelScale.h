#pragma once

#include "core/DoublePoints.h"
#include "image/ScaleSystem.h"

#include <cstdint>
#include <functional>

namespace korvane {

// The owner of the image's coordinate-system record (the image panel), which the per-image
// parameter file holds right after its version string.
class IScaleRecordOwner {
public:
    virtual ~IScaleRecordOwner() = default;
    // Reads the record; a damaged record throws.
    virtual void LoadScaleRecord(TStream& Stream) = 0;
    virtual void SaveScaleRecord(TStream& Stream) const = 0;
};

class TStream;

// The image panel's scrolling as the coordinate system's record needs it. The panel widget
// implements it; without a widget a plain store of the two positions serves.
class IPanelScroller {
public:
    virtual ~IPanelScroller() = default;
    virtual void RecomputeScrollBars() = 0;
    // -1 when the bar is hidden (scrolling is then skipped).
    virtual std::int32_t ScrollPosition(bool Horizontal) const = 0;
    // Scrolls by Delta, clamped to the bar's range.
    virtual void ScrollBy(bool Horizontal, std::int32_t Delta) = 0;
};

// The coordinate-system part of the image panel, without a widget: the defined and the
// current scale system, the three scale-point slots the defining-scale mode fills, and
// the panel's coordinate-system record. The panel widget owns one and forwards to it.
class TPanelScale {
public:
    struct TSlot {
        TLongintPoint Position; // image pixel
        TDoublePoint Value;     // real value (unused for the skew point)
        bool Set = false;
    };

    TPanelScale() = default;
    ~TPanelScale() { FDestroying = true; }
    TPanelScale(const TPanelScale&) = delete;
    TPanelScale& operator=(const TPanelScale&) = delete;

    const TScaleSystem& DefinedScaleSystem() const { return FDefined; }
    // The definition with the panel's current view mapping; every conversion goes through it.
    const TScaleSystem& CurrentScaleSystem() const { return FCurrent; }
    TScaleSystem& CurrentScaleSystem() { return FCurrent; }
    bool ScaleDefined() const { return FScaleDefined; }
    bool ShowScalePoints = false;

    const TSlot& FirstSlot() const { return FFirst; }
    const TSlot& SkewSlot() const { return FSkew; }
    const TSlot& SecondSlot() const { return FSecond; }

    // Screen points are converted with CurrentScaleSystem().ScreenToImage.
    void SetFirstScalePoint(TLongintPoint Screen, TDoublePoint Value);
    void SetSkewPoint(TLongintPoint Screen);
    void SetSecondScalePoint(TLongintPoint Screen, TDoublePoint Value);
    void ClearFirstScalePoint();
    void ClearSkewPoint();
    void ClearSecondScalePoint();

    // Builds the coordinate system from the slots. EDefineScale "Scale points not
    // completely defined." when a slot is unset (nothing changes); an invalid definition
    // leaves the system undefined and raises EDefineScale with the reason.
    void DefineScale(bool LogX, bool LogY);
    void UndefineScale();
    void SetScaleSystems(const TScaleSystem& Defined, const TScaleSystem& Current);
    // Defines CurrentScaleSystem again from the definition, keeping its view mapping.
    void RebuildCurrentScale();

    // Through CurrentScaleSystem while a system is defined; (0, 0) otherwise.
    TDoublePoint ScreenToReal(TLongintPoint Screen) const;
    TLongintPoint RealToScreen(TDoublePoint Real) const;

    // The record in the per-image parameter file: ScaleDefined (1 byte), the defined and
    // the current system (90 bytes each) when defined, then the horizontal and vertical
    // scroll positions. A damaged record throws and leaves the coordinate system as it was.
    void LoadFromStream(TStream& Stream, IPanelScroller& Scroller);
    void SaveToStream(TStream& Stream, const IPanelScroller& Scroller) const;

    std::function<void()> OnScaleDefined;
    std::function<void()> OnScaleUndefined;
    // The slots changed: repaint the paint box.
    std::function<void()> OnSlotsChanged;

private:
    void SetSlot(TSlot& Slot, TLongintPoint Screen, TDoublePoint Value);
    void ClearSlot(TSlot& Slot);
    void Fire(const std::function<void()>& Event) const;

    TScaleSystem FDefined;
    TScaleSystem FCurrent;
    bool FScaleDefined = false;
    TSlot FFirst, FSkew, FSecond;
    bool FDestroying = false;
};

// Scroll positions kept in memory: for tests and the command-line tool.
class TStoredScroller : public IPanelScroller {
public:
    std::int32_t Horizontal = 0;
    std::int32_t Vertical = 0;
    void RecomputeScrollBars() override {}
    std::int32_t ScrollPosition(bool IsHorizontal) const override {
        return IsHorizontal ? Horizontal : Vertical;
    }
    void ScrollBy(bool IsHorizontal, std::int32_t Delta) override {
        (IsHorizontal ? Horizontal : Vertical) += Delta;
    }
};

// The panel's coordinate-system record as the per-image parameter file reads and writes it.
class TPanelScaleRecord : public IScaleRecordOwner {
public:
    TPanelScaleRecord(TPanelScale& Scale, IPanelScroller& Scroller)
        : FScale(Scale), FScroller(Scroller) {}
    void LoadScaleRecord(TStream& Stream) override { FScale.LoadFromStream(Stream, FScroller); }
    void SaveScaleRecord(TStream& Stream) const override { FScale.SaveToStream(Stream, FScroller); }

private:
    TPanelScale& FScale;
    IPanelScroller& FScroller;
};

} // namespace korvane
