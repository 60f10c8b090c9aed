#include "image/readers/metafile/GdiObjects.h"

namespace korvane {

QColor ColorFromRef(std::uint32_t ColorRef) {
    if ((ColorRef >> 24) == 1) // a palette index: no palette is realised here
        return Qt::black;
    return QColor(int(ColorRef & 0xFF), int((ColorRef >> 8) & 0xFF), int((ColorRef >> 16) & 0xFF));
}

QString AnsiText(const std::uint8_t* Bytes, std::size_t Count, bool StopAtNul) {
    // 0x80 to 0x9F; the rest of the code page is Latin-1.
    static constexpr char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString Text;
    Text.reserve(qsizetype(Count));
    for (std::size_t I = 0; I < Count; ++I) {
        const std::uint8_t B = Bytes[I];
        if (B == 0 && StopAtNul)
            break;
        Text.append(QChar(B >= 0x80 && B < 0xA0 ? High[B - 0x80] : char16_t(B)));
    }
    return Text;
}

std::optional<TGdiObject> StockObject(std::uint32_t Index) {
    auto Brush = [](int Grey) {
        TGdiBrush B;
        B.Color = QColor(Grey, Grey, Grey);
        return TGdiObject(B);
    };
    auto Pen = [](QColor Color, std::uint32_t Style) {
        TGdiPen P;
        P.Color = Color;
        P.Style = Style;
        return TGdiObject(P);
    };
    auto Font = [](const char* Face) {
        TGdiFont F;
        F.Face = QString::fromLatin1(Face);
        return TGdiObject(F);
    };
    switch (Index) {
    case 0: // WHITE_BRUSH
        return Brush(255);
    case 1: // LTGRAY_BRUSH
        return Brush(192);
    case 2: // GRAY_BRUSH
        return Brush(128);
    case 3: // DKGRAY_BRUSH
        return Brush(64);
    case 4: // BLACK_BRUSH
        return Brush(0);
    case 5: { // NULL_BRUSH
        TGdiBrush B;
        B.Style = BS_NULL;
        return B;
    }
    case 6: // WHITE_PEN
        return Pen(Qt::white, PS_SOLID);
    case 7: // BLACK_PEN
        return Pen(Qt::black, PS_SOLID);
    case 8: // NULL_PEN
        return Pen(Qt::black, PS_NULL);
    case 10: // OEM_FIXED_FONT
    case 11: // ANSI_FIXED_FONT
    case 16: // SYSTEM_FIXED_FONT
        return Font("Monospace");
    case 12: // ANSI_VAR_FONT
    case 13: // SYSTEM_FONT
    case 14: // DEVICE_DEFAULT_FONT
    case 17: // DEFAULT_GUI_FONT
        return Font("Sans Serif");
    case 18: // DC_BRUSH
        return Brush(255);
    case 19: // DC_PEN
        return Pen(Qt::black, PS_SOLID);
    default:
        return std::nullopt;
    }
}

void TGdiObjectTable::Add(TGdiObject Object) {
    std::uint32_t Index;
    if (!FFree.empty()) {
        Index = *FFree.begin();
        FFree.erase(FFree.begin());
    } else {
        while (FNext < MaxSlots && FObjects.contains(FNext))
            ++FNext;
        if (FNext >= MaxSlots)
            return;
        Index = FNext++;
    }
    FObjects.insert_or_assign(Index, std::move(Object));
}

void TGdiObjectTable::Put(std::uint32_t Index, TGdiObject Object) {
    if (Index >= MaxSlots)
        return;
    FObjects.insert_or_assign(Index, std::move(Object));
    FFree.erase(Index);
}

const TGdiObject* TGdiObjectTable::Get(std::uint32_t Index) const {
    const auto It = FObjects.find(Index);
    return It == FObjects.end() ? nullptr : &It->second;
}

void TGdiObjectTable::Delete(std::uint32_t Index) {
    if (FObjects.erase(Index) && Index < FNext)
        FFree.insert(Index);
}

} // namespace korvane
