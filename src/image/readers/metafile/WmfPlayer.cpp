#include "image/readers/metafile/GdiCanvas.h"
#include "image/readers/metafile/MetafilePlayers.h"
#include "image/readers/metafile/RecordData.h"

#include <optional>

namespace korvane {

namespace {

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr std::int64_t StandardHeaderSize = 18;

// Record functions.
enum : std::uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_EXTTEXTOUT = 0x0A32,
};

// A rectangle stored as left, top, right, bottom.
QRectF Corners(double Left, double Top, double Right, double Bottom) {
    return QRectF(QPointF(Left, Top), QPointF(Right, Bottom));
}

// Four 16-bit values stored in reverse: bottom, right, top, left.
QRectF ReversedRect(TRecordData& D) {
    const double Bottom = D.I16(), Right = D.I16(), Top = D.I16(), Left = D.I16();
    return Corners(Left, Top, Right, Bottom);
}

QPointF ReversedPoint(TRecordData& D) {
    const double Y = D.I16(), X = D.I16();
    return QPointF(X, Y);
}

std::vector<QPointF> Points16(TRecordData& D, std::int64_t Count) {
    if (Count < 0 || std::uint64_t(Count) * 4 > D.Remaining())
        throw EShortRecord();
    std::vector<QPointF> Points(static_cast<std::size_t>(Count));
    for (QPointF& P : Points) {
        const double X = D.I16();
        P = QPointF(X, D.I16());
    }
    return Points;
}

class TWmfPlayer {
public:
    TWmfPlayer(TByteReader& Input, const TMetafileDrawing& Drawing)
        : FInput(Input), FDrawing(Drawing) {}
    TWorkingImage Play();

private:
    void ReadHeader();
    void ScanRecords();
    void PlayRecord(std::uint16_t Function, TRecordData& D);
    void CreateObject(std::uint16_t Function, TRecordData& D);
    void PlayText(std::uint16_t Function, TRecordData& D);

    TByteReader& FInput;
    TMetafileDrawing FDrawing;
    bool FPlaceable = false;
    QRectF FBox; // the placeable bounding box, logical
    std::int64_t FUnitsPerInch = 0;
    std::int64_t FRecordsStart = 0;
    std::optional<QSizeF> FFirstExtent; // the first SETWINDOWEXT
    std::unique_ptr<TGdiCanvas> FCanvas;
};

void TWmfPlayer::ReadHeader() {
    FInput.Seek(0);
    if (FInput.U32LE() == PlaceableKey) {
        FPlaceable = true;
        FInput.Skip(2); // handle
        const double Left = FInput.I16LE(), Top = FInput.I16LE();
        const double Right = FInput.I16LE(), Bottom = FInput.I16LE();
        FBox = Corners(Left, Top, Right, Bottom);
        FUnitsPerInch = FInput.U16LE();
        FInput.Skip(6); // reserved, checksum (often wrong, so not checked)
        if (FUnitsPerInch == 0)
            FInput.Damaged("its placeable header gives 0 units per inch.");
    } else {
        FInput.Seek(0);
    }
    const std::int64_t Start = FInput.Position();
    const std::uint16_t Type = FInput.U16LE();
    const std::uint16_t HeaderWords = FInput.U16LE();
    const std::uint16_t Version = FInput.U16LE();
    if ((Type != 1 && Type != 2) || HeaderWords != 9 || (Version != 0x100 && Version != 0x300))
        FInput.Damaged("it is neither a placeable nor a standard Windows metafile.");
    // The header's file size is not used: some writers count the placeable header in it.
    FRecordsStart = Start + StandardHeaderSize;
}

// Walks the records once before anything is drawn: every size must be sound and the list
// must end with an EOF record.
void TWmfPlayer::ScanRecords() {
    std::int64_t Position = FRecordsStart;
    for (std::int64_t Index = 1;; ++Index) {
        if (FInput.Size() - Position < 6)
            FInput.Truncated();
        FInput.Seek(Position);
        const std::int64_t Bytes = std::int64_t(FInput.U32LE()) * 2;
        const std::uint16_t Function = FInput.U16LE();
        if (Function == META_EOF)
            return;
        if (Bytes < 6)
            FInput.Damaged("record " + std::to_string(Index) + " has an invalid size of " +
                           std::to_string(Bytes / 2) + " words.");
        if (Bytes > FInput.Size() - Position)
            FInput.Damaged("record " + std::to_string(Index) +
                           " reaches beyond the end of the file.");
        if (Function == META_SETWINDOWEXT && !FFirstExtent && Bytes >= 10) {
            const double Y = FInput.I16LE(), X = FInput.I16LE();
            FFirstExtent = QSizeF(X, Y);
        }
        Position += Bytes;
    }
}

TWorkingImage TWmfPlayer::Play() {
    ReadHeader();
    ScanRecords();
    std::int64_t Width, Height;
    if (FPlaceable) {
        // 96 dots per inch, halves rounded up.
        auto Pixels = [&](double Units) {
            return (std::int64_t(std::abs(Units)) * 96 + FUnitsPerInch / 2) / FUnitsPerInch;
        };
        Width = Pixels(FBox.width());
        Height = Pixels(FBox.height());
    } else {
        if (!FFirstExtent)
            FInput.Damaged("it sets no window extent, so its picture size is unknown.");
        Width = std::int64_t(std::abs(FFirstExtent->width()));
        Height = std::int64_t(std::abs(FFirstExtent->height()));
    }
    return RenderInBands(Width, Height, "WMF", FDrawing, [this](const TGdiSurface& Surface) {
        FCanvas = std::make_unique<TGdiCanvas>(Surface, TGdiCanvas::EMapping::Wmf, QTransform(),
                                               QSizeF(96 / 25.4, 96 / 25.4));
        if (FPlaceable) {
            FCanvas->SetWindowOrg(FBox.topLeft());
            FCanvas->SetWindowExt(FBox.size());
        } else {
            FCanvas->SetWindowExt(*FFirstExtent);
        }
        std::vector<std::uint8_t> Buffer;
        std::int64_t Position = FRecordsStart;
        for (;;) {
            FInput.Seek(Position);
            const std::int64_t Bytes = std::int64_t(FInput.U32LE()) * 2;
            const std::uint16_t Function = FInput.U16LE();
            if (Function == META_EOF)
                break;
            Buffer.resize(std::size_t(Bytes - 6));
            FInput.Read(Buffer.data(), Buffer.size());
            TRecordData D(Buffer.data(), Buffer.size());
            try {
                PlayRecord(Function, D);
            } catch (const EShortRecord&) {
                // A record too short for its fields draws nothing.
            }
            Position += Bytes;
        }
        FCanvas.reset();
    });
}

void TWmfPlayer::PlayRecord(std::uint16_t Function, TRecordData& D) {
    TGdiCanvas& C = *FCanvas;
    TDcState& S = C.State();
    switch (Function) {
    case META_SAVEDC:
        C.SaveDC();
        break;
    case META_RESTOREDC:
        C.RestoreDC(D.I16());
        break;
    case META_SETBKMODE:
        S.BkMode = D.U16();
        break;
    case META_SETMAPMODE:
        C.SetMapMode(D.U16());
        break;
    case META_SETROP2:
        S.Rop2 = D.U16();
        break;
    case META_SETPOLYFILLMODE:
        S.FillMode = D.U16();
        break;
    case META_SETTEXTALIGN:
        S.TextAlign = D.U16();
        break;
    case META_SETBKCOLOR:
        S.BkColor = ColorFromRef(D.U32());
        break;
    case META_SETTEXTCOLOR:
        S.TextColor = ColorFromRef(D.U32());
        break;
    case META_SETWINDOWORG:
        C.SetWindowOrg(ReversedPoint(D));
        break;
    case META_SETWINDOWEXT: {
        const QPointF E = ReversedPoint(D);
        C.SetWindowExt(QSizeF(E.x(), E.y()));
        break;
    }
    case META_OFFSETWINDOWORG:
        C.OffsetWindowOrg(ReversedPoint(D));
        break;
    case META_SCALEWINDOWEXT: {
        const double YDenom = D.I16(), YNum = D.I16(), XDenom = D.I16(), XNum = D.I16();
        C.ScaleWindowExt(XNum, XDenom, YNum, YDenom);
        break;
    }
    case META_SETVIEWPORTORG:
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
    case META_SCALEVIEWPORTEXT:
        break; // the viewport is the image
    case META_MOVETO:
        C.MoveTo(ReversedPoint(D));
        break;
    case META_LINETO:
        C.LineTo(ReversedPoint(D));
        break;
    case META_OFFSETCLIPRGN:
        C.OffsetClip(ReversedPoint(D));
        break;
    case META_EXCLUDECLIPRECT:
        C.ExcludeClipRect(ReversedRect(D));
        break;
    case META_INTERSECTCLIPRECT:
        C.IntersectClipRect(ReversedRect(D));
        break;
    case META_ELLIPSE:
        C.Ellipse(ReversedRect(D));
        break;
    case META_RECTANGLE:
        C.Rectangle(ReversedRect(D));
        break;
    case META_ROUNDRECT: {
        const double H = D.I16(), W = D.I16();
        C.RoundRect(ReversedRect(D), QSizeF(W, H));
        break;
    }
    case META_SETPIXEL: {
        const QColor Color = ColorFromRef(D.U32());
        C.SetPixel(ReversedPoint(D), Color);
        break;
    }
    case META_PATBLT: {
        const std::uint32_t Rop = D.U32();
        const double H = D.I16(), W = D.I16();
        const QPointF At = ReversedPoint(D);
        C.PatBlt(QRectF(At, QSizeF(W, H)), Rop);
        break;
    }
    case META_ARC:
    case META_PIE:
    case META_CHORD: {
        const QPointF End = ReversedPoint(D);
        const QPointF Start = ReversedPoint(D);
        const QRectF Box = ReversedRect(D);
        const EArcKind Kind = Function == META_ARC   ? EArcKind::Arc
                              : Function == META_PIE ? EArcKind::Pie
                                                     : EArcKind::Chord;
        C.Arc(Kind, Box, Start, End);
        break;
    }
    case META_POLYGON:
    case META_POLYLINE: {
        const std::vector<QPointF> Points = Points16(D, D.I16());
        if (Function == META_POLYGON)
            C.Polygon(Points);
        else
            C.Polyline(Points);
        break;
    }
    case META_POLYPOLYGON: {
        const std::uint16_t Polygons = D.U16();
        if (std::size_t(Polygons) * 2 > D.Remaining())
            throw EShortRecord();
        std::vector<std::uint32_t> Counts(Polygons);
        std::int64_t Total = 0;
        for (std::uint32_t& Count : Counts) {
            Count = D.U16();
            Total += Count;
        }
        C.PolyPolygon(Points16(D, Total), Counts);
        break;
    }
    case META_TEXTOUT:
    case META_EXTTEXTOUT:
        PlayText(Function, D);
        break;
    case META_SELECTOBJECT:
        if (const TGdiObject* Object = C.Objects().Get(D.U16()))
            C.Select(*Object);
        break;
    case META_DELETEOBJECT:
        C.Objects().Delete(D.U16());
        break;
    case META_CREATEPENINDIRECT:
    case META_CREATEBRUSHINDIRECT:
    case META_CREATEFONTINDIRECT:
    case META_CREATEPALETTE:
    case META_CREATEPATTERNBRUSH:
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEREGION:
        CreateObject(Function, D);
        break;
    default:
        break; // escapes (LibreOffice's EMF copy among them), bitmaps, palettes
    }
}

// Every creation takes a slot, even when its record is short, so later indices stay right;
// a short record keeps the defaults of the fields it lacks.
void TWmfPlayer::CreateObject(std::uint16_t Function, TRecordData& D) {
    TGdiObject Object = TGdiOther();
    switch (Function) {
    case META_CREATEPENINDIRECT: {
        TGdiPen Pen;
        try {
            Pen.Style = D.U16();
            Pen.Width = std::abs(D.I16());
            D.Skip(2);
            Pen.Color = ColorFromRef(D.U32());
        } catch (const EShortRecord&) {
        }
        Object = Pen;
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        TGdiBrush Brush;
        try {
            const std::uint16_t Style = D.U16();
            Brush.Color = ColorFromRef(D.U32());
            if (Style <= BS_HATCHED)
                Brush.Style = Style;
            else // patterns are not drawn: a middle grey stands in
                Brush.Color = QColor(128, 128, 128);
            Brush.Hatch = D.U16();
        } catch (const EShortRecord&) {
        }
        Object = Brush;
        break;
    }
    case META_CREATEPATTERNBRUSH:
    case META_DIBCREATEPATTERNBRUSH: {
        TGdiBrush Brush;
        Brush.Color = QColor(128, 128, 128);
        Object = Brush;
        break;
    }
    case META_CREATEFONTINDIRECT: {
        TGdiFont Font;
        try {
            Font.Height = D.I16();
            Font.Width = std::abs(D.I16());
            Font.Escapement = D.I16();
            D.Skip(2); // orientation
            Font.Weight = D.I16();
            Font.Italic = D.U8();
            Font.Underline = D.U8();
            Font.StrikeOut = D.U8();
            D.Skip(5); // character set, precisions, quality, pitch and family
            const std::size_t FaceBytes = std::min<std::size_t>(32, D.Remaining());
            Font.Face = AnsiText(D.Bytes(FaceBytes), FaceBytes, true);
        } catch (const EShortRecord&) {
        }
        Object = Font;
        break;
    }
    default:
        break;
    }
    FCanvas->Objects().Add(std::move(Object));
}

void TWmfPlayer::PlayText(std::uint16_t Function, TRecordData& D) {
    QPointF At;
    std::int16_t Length;
    std::uint16_t Options = 0;
    std::optional<QRectF> Rect;
    if (Function == META_TEXTOUT) {
        Length = D.I16();
        if (Length <= 0)
            return;
        const std::uint8_t* Bytes = D.Bytes(std::size_t(Length));
        D.Skip(std::size_t(Length & 1));
        At = ReversedPoint(D);
        FCanvas->Text(At, AnsiText(Bytes, std::size_t(Length)), {}, 0, std::nullopt);
        return;
    }
    const double Y = D.I16(), X = D.I16();
    At = QPointF(X, Y);
    Length = D.I16();
    Options = D.U16();
    if (Options & (ETO_OPAQUE | ETO_CLIPPED)) {
        const double Left = D.I16(), Top = D.I16(), Right = D.I16(), Bottom = D.I16();
        Rect = Corners(Left, Top, Right, Bottom);
    }
    if (Length < 0)
        return;
    const std::uint8_t* Bytes = D.Bytes(std::size_t(Length));
    D.Skip(std::min<std::size_t>(std::size_t(Length & 1), D.Remaining()));
    std::vector<double> Dx;
    if (D.Remaining() >= std::size_t(Length) * 2) {
        Dx.resize(std::size_t(Length));
        for (double& Advance : Dx)
            Advance = D.I16();
    }
    FCanvas->Text(At, AnsiText(Bytes, std::size_t(Length)), Dx, Options, Rect);
}

} // namespace

TWorkingImage PlayWMF(TByteReader& Input, const TMetafileDrawing& Drawing) {
    return TWmfPlayer(Input, Drawing).Play();
}

} // namespace korvane
