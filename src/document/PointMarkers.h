#pragma once

#include "core/DoublePoints.h"
#include "core/Persistent.h"

#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace korvane {

// The small figure drawn at a point on the image. Size is the half-width in screen pixels.
class TPointMarker : public TPersistent {
public:
    static constexpr std::int32_t DefaultSize = 3;

    std::int32_t GetSize() const { return FSize; }
    std::int32_t MinSize() const { return FMinSize; }
    std::int32_t MaxSize() const { return FMaxSize; }
    // Takes N only when it lies within MinSize..MaxSize; anything else is ignored.
    void SetSize(std::int32_t N);

    // Only another marker has an effect: its size (within this marker's limits), then its limits.
    void Assign(const TPersistent& Source) override;
    virtual std::unique_ptr<TPointMarker> Clone() const = 0;

    // Draws the figure centred on the screen point P with the painter's pen and brush
    // colours, which the caller sets; Draw sets the rest (solid 1-pixel pen, copy mode, no
    // antialiasing, the brush style of the shape) and leaves the painter so. Pixel-exact:
    // boxes leave out their right and bottom edge, lines their end point.
    virtual void Draw(TLongintPoint P, QPainter& Canvas) const = 0;
    virtual std::string StyleName() const = 0;
    // The name stored in files ("TCircleMarker", ...).
    std::string ClassName() const override = 0;

protected:
    TPointMarker() = default;

private:
    std::int32_t FSize = DefaultSize;
    std::int32_t FMinSize = 1;
    std::int32_t FMaxSize = 10;
};

#define KORVANE_MARKER(Class, Style)                                                               \
    class Class : public TPointMarker {                                                            \
    public:                                                                                        \
        std::unique_ptr<TPointMarker> Clone() const override;                                      \
        void Draw(TLongintPoint P, QPainter& Canvas) const override;                               \
        std::string StyleName() const override { return Style; }                                   \
        std::string ClassName() const override { return #Class; }                                  \
    };

KORVANE_MARKER(TCircleMarker, "Circle")
KORVANE_MARKER(TRingMarker, "Ring")
KORVANE_MARKER(TSquareMarker, "Square")
KORVANE_MARKER(TFrameMarker, "Frame")
KORVANE_MARKER(TCrossMarker, "Cross")
KORVANE_MARKER(TXMarker, "X")

#undef KORVANE_MARKER

// The marker classes by stored name, in the order the properties dialog lists them.
class TPointMarkerRegistry {
public:
    static const std::vector<std::string>& ClassNames();
    // A new marker of the named class; throws EClassNotFound for an unknown name.
    static std::unique_ptr<TPointMarker> Create(const std::string& ClassName);
};

} // namespace korvane
