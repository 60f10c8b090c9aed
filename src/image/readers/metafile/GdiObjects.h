#pragma once

// The graphic objects Windows metafiles create, select and delete (pens, brushes, fonts),
// the stock objects, and the object table both players index.

#include <QColor>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <variant>
#include <vector>

namespace korvane {

// Pen style bits (the low word of a pen style; the high bits only occur in EMF).
enum : std::uint32_t {
    PS_SOLID = 0,
    PS_DASH = 1,
    PS_DOT = 2,
    PS_DASHDOT = 3,
    PS_DASHDOTDOT = 4,
    PS_NULL = 5,
    PS_INSIDEFRAME = 6,
    PS_USERSTYLE = 7,
    PS_ALTERNATE = 8,
    PS_STYLE_MASK = 0xF,
    PS_ENDCAP_SQUARE = 0x100,
    PS_ENDCAP_FLAT = 0x200,
    PS_ENDCAP_MASK = 0xF00,
    PS_JOIN_BEVEL = 0x1000,
    PS_JOIN_MITER = 0x2000,
    PS_JOIN_MASK = 0xF000,
    PS_GEOMETRIC = 0x10000,
};

enum : std::uint32_t { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2 };

struct TGdiPen {
    std::uint32_t Style = PS_SOLID;
    double Width = 0;      // logical units; 0 draws one pixel wide
    bool Cosmetic = false; // one pixel wide whatever the width and mapping
    QColor Color = Qt::black;
    std::vector<double> Dashes; // PS_USERSTYLE: on/off lengths in logical units
};

struct TGdiBrush {
    std::uint32_t Style = BS_SOLID;
    std::uint32_t Hatch = 0;
    QColor Color = Qt::white;
};

struct TGdiFont {
    double Height = 0;     // logical units; negative: character height, positive: cell height
    double Width = 0;      // average character width; 0: the font's own
    double Escapement = 0; // tenths of a degree, counterclockwise
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    QString Face;
};

// Palettes, regions and the like: they occupy a slot but are not drawn with.
struct TGdiOther {};

using TGdiObject = std::variant<TGdiPen, TGdiBrush, TGdiFont, TGdiOther>;

// A COLORREF (red, green, blue, flags in its bytes); palette indices become black.
QColor ColorFromRef(std::uint32_t ColorRef);

// Eight-bit text in the Windows Latin code page (1252). StopAtNul ends it at a zero byte.
QString AnsiText(const std::uint8_t* Bytes, std::size_t Count, bool StopAtNul = false);

// The stock object with this index (WHITE_BRUSH = 0 ... DC_PEN = 19), or nothing.
std::optional<TGdiObject> StockObject(std::uint32_t Index);

// The metafile's object handles. WMF fills the lowest free slot (Add); EMF names the slot
// (Put). Only the objects that exist take memory, whatever their slots.
class TGdiObjectTable {
public:
    // Slots beyond this are refused.
    static constexpr std::uint32_t MaxSlots = 65536;

    // Into the lowest slot that Delete emptied, else the next one Add has not used.
    void Add(TGdiObject Object);
    void Put(std::uint32_t Index, TGdiObject Object);
    // nullptr for an empty or invalid slot.
    const TGdiObject* Get(std::uint32_t Index) const;
    void Delete(std::uint32_t Index);

private:
    std::map<std::uint32_t, TGdiObject> FObjects;
    std::set<std::uint32_t> FFree; // slots below FNext that Delete emptied
    std::uint32_t FNext = 0;       // the next slot Add takes when none is free
};

} // namespace korvane
