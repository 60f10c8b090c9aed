#include "image/readers/metafile/GdiCanvas.h"
#include "image/readers/metafile/MetafilePlayers.h"
#include "image/readers/metafile/RecordData.h"

#include <cmath>

namespace korvane {

namespace {

constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr std::int64_t MinHeaderSize = 88;

// Record types.
enum : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_POLYDRAW = 56,
    EMR_SETARCDIRECTION = 57,
    EMR_SETMITERLIMIT = 58,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_FLATTENPATH = 65,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_FILLRGN = 71,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_POLYDRAW16 = 92,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_POLYTEXTOUTA = 96,
    EMR_POLYTEXTOUTW = 97,
};

constexpr std::uint32_t StockFlag = 0x80000000;
constexpr std::uint32_t ETO_GLYPH_INDEX = 0x10;
constexpr std::uint32_t ETO_NO_RECT = 0x100;
constexpr std::uint32_t ETO_PDY = 0x2000;

QPointF Point32(TRecordData& D) {
    const double X = D.I32();
    return QPointF(X, D.I32());
}

QSizeF Size32(TRecordData& D) {
    const double X = D.I32();
    return QSizeF(X, D.I32());
}

QRectF Rect32(TRecordData& D) {
    const double Left = D.I32(), Top = D.I32(), Right = D.I32(), Bottom = D.I32();
    return QRectF(QPointF(Left, Top), QPointF(Right, Bottom));
}

// Count points of 32 bits (Wide) or 16 bits a coordinate.
std::vector<QPointF> Points(TRecordData& D, std::uint64_t Count, bool Wide) {
    if (Count > D.Remaining() / (Wide ? 8 : 4))
        throw EShortRecord();
    std::vector<QPointF> Result(static_cast<std::size_t>(Count));
    for (QPointF& P : Result) {
        if (Wide) {
            P = Point32(D);
        } else {
            const double X = D.I16();
            P = QPointF(X, D.I16());
        }
    }
    return Result;
}

QTransform Xform(TRecordData& D) {
    const double M11 = D.F32(), M12 = D.F32(), M21 = D.F32(), M22 = D.F32();
    const double Dx = D.F32(), Dy = D.F32();
    return QTransform(M11, M12, M21, M22, Dx, Dy);
}

// The rectangles of a RGNDATA structure, in device units.
std::vector<QRectF> RegionRects(TRecordData& D, std::uint32_t DataSize) {
    if (DataSize > D.Remaining())
        throw EShortRecord();
    const std::size_t Start = D.Position();
    const std::uint32_t HeaderSize = D.U32();
    D.Skip(4); // type
    const std::uint32_t Count = D.U32();
    D.Seek(Start + std::max<std::uint32_t>(HeaderSize, 32));
    if (std::uint64_t(Count) * 16 > D.Remaining())
        throw EShortRecord();
    std::vector<QRectF> Rects(Count);
    for (QRectF& R : Rects)
        R = Rect32(D);
    return Rects;
}

class TEmfPlayer {
public:
    TEmfPlayer(TByteReader& Input, const TMetafileDrawing& Drawing)
        : FInput(Input), FDrawing(Drawing) {}
    TWorkingImage Play();

private:
    void ReadHeader();
    void ScanRecords();
    void PlayRecord(std::uint32_t Type, TRecordData& D);
    void PlayPoly(std::uint32_t Type, TRecordData& D);
    void PlayPolyPoly(std::uint32_t Type, TRecordData& D);
    void PlayPolyDraw(std::uint32_t Type, TRecordData& D);
    void CreateObject(std::uint32_t Type, TRecordData& D);
    // The text of one EMRTEXT structure at Offset in the record.
    void PlayText(TRecordData& D, std::size_t Offset, bool Wide, bool FixedSize);
    const TGdiObject* Object(std::uint32_t Index);

    TByteReader& FInput;
    TMetafileDrawing FDrawing;
    QRectF FFrame; // 0.01 mm
    QSizeF FPixelsPerMm;
    std::unique_ptr<TGdiCanvas> FCanvas;
    std::optional<TGdiObject> FStock;
};

void TEmfPlayer::ReadHeader() {
    FInput.Seek(0);
    const std::uint32_t Type = FInput.U32LE();
    const std::int64_t Size = FInput.U32LE();
    if (Type != EMR_HEADER)
        FInput.Damaged("it does not start with an enhanced metafile header.");
    if (Size < MinHeaderSize)
        FInput.Damaged("its header record is too short.");
    FInput.Skip(16); // bounds, device units
    const double Left = FInput.I32LE(), Top = FInput.I32LE();
    const double Right = FInput.I32LE(), Bottom = FInput.I32LE();
    FFrame = QRectF(QPointF(Left, Top), QPointF(Right, Bottom));
    if (FInput.U32LE() != EmfSignature)
        FInput.Damaged("its signature is not \" EMF\".");
    FInput.Seek(72);
    const double DeviceX = FInput.I32LE(), DeviceY = FInput.I32LE();
    const double MillimetresX = FInput.I32LE(), MillimetresY = FInput.I32LE();
    // The reference device's resolution; 96 dots per inch when the header gives none.
    FPixelsPerMm = QSizeF(96 / 25.4, 96 / 25.4);
    if (DeviceX > 0 && DeviceY > 0 && MillimetresX > 0 && MillimetresY > 0)
        FPixelsPerMm = QSizeF(DeviceX / MillimetresX, DeviceY / MillimetresY);
}

// Walks the records once before anything is drawn: every size must be sound and the list
// must end with an EOF record.
void TEmfPlayer::ScanRecords() {
    std::int64_t Position = 0;
    for (std::int64_t Index = 1;; ++Index) {
        if (FInput.Size() - Position < 8)
            FInput.Truncated();
        FInput.Seek(Position);
        const std::uint32_t Type = FInput.U32LE();
        const std::int64_t Size = FInput.U32LE();
        if (Size < 8)
            FInput.Damaged("record " + std::to_string(Index) + " has an invalid size of " +
                           std::to_string(Size) + " bytes.");
        if (Size > FInput.Size() - Position)
            FInput.Damaged("record " + std::to_string(Index) +
                           " reaches beyond the end of the file.");
        if (Type == EMR_EOF)
            return;
        Position += Size;
    }
}

TWorkingImage TEmfPlayer::Play() {
    ReadHeader();
    ScanRecords();
    // 96 dots per inch, halves rounded up; a frame of negative size stays invalid.
    auto Pixels = [](double Hundredths) {
        const std::int64_t Units = std::int64_t(Hundredths);
        return Units < 0 ? Units : (Units * 96 + 1270) / 2540;
    };
    const std::int64_t Width = Pixels(FFrame.width()), Height = Pixels(FFrame.height());
    return RenderInBands(Width, Height, "EMF", FDrawing, [&](const TGdiSurface& Surface) {
        // The frame, in reference device units, covers the image.
        const double FrameX = FFrame.left() / 100 * FPixelsPerMm.width();
        const double FrameY = FFrame.top() / 100 * FPixelsPerMm.height();
        const double Sx = Surface.Size.width() / (FFrame.width() / 100 * FPixelsPerMm.width());
        const double Sy = Surface.Size.height() / (FFrame.height() / 100 * FPixelsPerMm.height());
        const QTransform DeviceToImage(Sx, 0, 0, Sy, -FrameX * Sx, -FrameY * Sy);
        FCanvas = std::make_unique<TGdiCanvas>(Surface, TGdiCanvas::EMapping::Emf, DeviceToImage,
                                               FPixelsPerMm);
        std::vector<std::uint8_t> Buffer;
        std::int64_t Position = 0;
        for (;;) {
            FInput.Seek(Position);
            Buffer.resize(8);
            FInput.Read(Buffer.data(), 8);
            TRecordData Head(Buffer.data(), 8);
            const std::uint32_t Type = Head.U32();
            const std::uint32_t Size = Head.U32();
            if (Type == EMR_EOF)
                break;
            Buffer.resize(Size);
            FInput.Read(Buffer.data() + 8, Size - 8);
            TRecordData D(Buffer.data(), Size);
            D.Seek(8);
            try {
                PlayRecord(Type, D);
            } catch (const EShortRecord&) {
                // A record too short for its fields draws nothing.
            }
            Position += Size;
        }
        FCanvas.reset();
    });
}

const TGdiObject* TEmfPlayer::Object(std::uint32_t Index) {
    if (Index & StockFlag) {
        FStock = StockObject(Index & ~StockFlag);
        return FStock ? &*FStock : nullptr;
    }
    return FCanvas->Objects().Get(Index);
}

void TEmfPlayer::PlayRecord(std::uint32_t Type, TRecordData& D) {
    TGdiCanvas& C = *FCanvas;
    TDcState& S = C.State();
    switch (Type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
        PlayPoly(Type, D);
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        PlayPolyPoly(Type, D);
        break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
        PlayPolyDraw(Type, D);
        break;
    case EMR_SETWINDOWEXTEX:
        C.SetWindowExt(Size32(D));
        break;
    case EMR_SETWINDOWORGEX:
        C.SetWindowOrg(Point32(D));
        break;
    case EMR_SETVIEWPORTEXTEX:
        C.SetViewportExt(Size32(D));
        break;
    case EMR_SETVIEWPORTORGEX:
        C.SetViewportOrg(Point32(D));
        break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const double XNum = D.I32(), XDenom = D.I32(), YNum = D.I32(), YDenom = D.I32();
        if (Type == EMR_SCALEVIEWPORTEXTEX)
            C.ScaleViewportExt(XNum, XDenom, YNum, YDenom);
        else
            C.ScaleWindowExt(XNum, XDenom, YNum, YDenom);
        break;
    }
    case EMR_SETWORLDTRANSFORM:
        C.SetWorldTransform(Xform(D));
        break;
    case EMR_MODIFYWORLDTRANSFORM: {
        const QTransform T = Xform(D);
        C.ModifyWorldTransform(T, int(D.U32()));
        break;
    }
    case EMR_SETPIXELV: {
        const QPointF At = Point32(D);
        C.SetPixel(At, ColorFromRef(D.U32()));
        break;
    }
    case EMR_SETMAPMODE:
        C.SetMapMode(int(D.U32()));
        break;
    case EMR_SETBKMODE:
        S.BkMode = int(D.U32());
        break;
    case EMR_SETPOLYFILLMODE:
        S.FillMode = int(D.U32());
        break;
    case EMR_SETROP2:
        S.Rop2 = int(D.U32());
        break;
    case EMR_SETTEXTALIGN:
        S.TextAlign = D.U32();
        break;
    case EMR_SETTEXTCOLOR:
        S.TextColor = ColorFromRef(D.U32());
        break;
    case EMR_SETBKCOLOR:
        S.BkColor = ColorFromRef(D.U32());
        break;
    case EMR_SETARCDIRECTION:
        S.ArcClockwise = D.U32() == 2;
        break;
    case EMR_SETMITERLIMIT: {
        const std::uint32_t Value = D.U32();
        // Some writers store a float here.
        double Limit = Value;
        if (Value > 0xFFFF) {
            D.Seek(D.Position() - 4);
            Limit = D.F32();
        }
        S.MiterLimit = std::isfinite(Limit) ? std::clamp(Limit, 1.0, 100.0) : 10.0;
        break;
    }
    case EMR_MOVETOEX:
        C.MoveTo(Point32(D));
        break;
    case EMR_LINETO:
        C.LineTo(Point32(D));
        break;
    case EMR_OFFSETCLIPRGN:
        C.OffsetClip(Point32(D));
        break;
    case EMR_EXCLUDECLIPRECT:
        C.ExcludeClipRect(Rect32(D));
        break;
    case EMR_INTERSECTCLIPRECT:
        C.IntersectClipRect(Rect32(D));
        break;
    case EMR_SAVEDC:
        C.SaveDC();
        break;
    case EMR_RESTOREDC:
        C.RestoreDC(D.I32());
        break;
    case EMR_SELECTOBJECT:
        if (const TGdiObject* Selected = Object(D.U32()))
            C.Select(*Selected);
        break;
    case EMR_DELETEOBJECT: {
        const std::uint32_t Index = D.U32();
        if (!(Index & StockFlag))
            C.Objects().Delete(Index);
        break;
    }
    case EMR_CREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_EXTCREATEPEN:
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_CREATEPALETTE:
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        CreateObject(Type, D);
        break;
    case EMR_ELLIPSE:
        C.Ellipse(Rect32(D));
        break;
    case EMR_RECTANGLE:
        C.Rectangle(Rect32(D));
        break;
    case EMR_ROUNDRECT: {
        const QRectF Box = Rect32(D);
        C.RoundRect(Box, Size32(D));
        break;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: {
        const QRectF Box = Rect32(D);
        const QPointF Start = Point32(D);
        const QPointF End = Point32(D);
        const EArcKind Kind = Type == EMR_ARC     ? EArcKind::Arc
                              : Type == EMR_CHORD ? EArcKind::Chord
                              : Type == EMR_PIE   ? EArcKind::Pie
                                                  : EArcKind::ArcTo;
        C.Arc(Kind, Box, Start, End);
        break;
    }
    case EMR_ANGLEARC: {
        const QPointF Center = Point32(D);
        const double Radius = D.U32();
        const double Start = D.F32();
        C.AngleArc(Center, Radius, Start, D.F32());
        break;
    }
    case EMR_BEGINPATH:
        C.BeginPath();
        break;
    case EMR_ENDPATH:
        C.EndPath();
        break;
    case EMR_CLOSEFIGURE:
        C.CloseFigure();
        break;
    case EMR_FILLPATH:
        C.FillPath();
        break;
    case EMR_STROKEANDFILLPATH:
        C.StrokeAndFillPath();
        break;
    case EMR_STROKEPATH:
        C.StrokePath();
        break;
    case EMR_WIDENPATH:
        C.WidenPath();
        break;
    case EMR_SELECTCLIPPATH:
        C.SelectClipPath(int(D.U32()));
        break;
    case EMR_ABORTPATH:
        C.AbortPath();
        break;
    case EMR_FLATTENPATH:
        break; // curves are flattened when drawn anyway
    case EMR_EXTSELECTCLIPRGN: {
        const std::uint32_t DataSize = D.U32();
        const int Mode = int(D.U32());
        if (DataSize == 0) {
            if (Mode == RGN_COPY)
                C.ResetClip();
            break;
        }
        C.SelectClipRegion(RegionRects(D, DataSize), Mode);
        break;
    }
    case EMR_FILLRGN: {
        D.Skip(16); // bounds
        const std::uint32_t DataSize = D.U32();
        const TGdiObject* Brush = Object(D.U32());
        const std::vector<QRectF> Rects = RegionRects(D, DataSize);
        if (Brush && std::holds_alternative<TGdiBrush>(*Brush))
            C.FillRegion(Rects, std::get<TGdiBrush>(*Brush));
        break;
    }
    case EMR_PAINTRGN: {
        D.Skip(16);
        const std::uint32_t DataSize = D.U32();
        C.FillRegion(RegionRects(D, DataSize), S.Brush);
        break;
    }
    case EMR_BITBLT: {
        D.Skip(16); // bounds
        const QPointF At = Point32(D);
        const QSizeF Extent = Size32(D);
        const std::uint32_t Rop = D.U32();
        D.Skip(8 + 24 + 4 + 4 + 4); // source origin, transform, colour, usage, bitmap offset
        if (D.U32() == 0)           // no source bitmap: a pattern fill
            C.PatBlt(QRectF(At, Extent), Rop);
        break;
    }
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        PlayText(D, 36, Type == EMR_EXTTEXTOUTW, false);
        break;
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW: {
        D.Seek(36);
        const std::uint32_t Strings = D.U32();
        for (std::uint64_t I = 0; I < Strings && 40 + (I + 1) * 40 <= D.Size(); ++I)
            PlayText(D, std::size_t(40 + I * 40), Type == EMR_POLYTEXTOUTW, true);
        break;
    }
    default:
        break; // comments (EMF+ among them), bitmaps, palettes, colour management
    }
}

void TEmfPlayer::PlayPoly(std::uint32_t Type, TRecordData& D) {
    TGdiCanvas& C = *FCanvas;
    D.Skip(16); // bounds
    const bool Wide = Type < EMR_POLYBEZIER16;
    const std::vector<QPointF> P = Points(D, D.U32(), Wide);
    switch (Wide ? Type : Type - EMR_POLYBEZIER16 + EMR_POLYBEZIER) {
    case EMR_POLYBEZIER:
        C.PolyBezier(P);
        break;
    case EMR_POLYGON:
        C.Polygon(P);
        break;
    case EMR_POLYLINE:
        C.Polyline(P);
        break;
    case EMR_POLYBEZIERTO:
        C.PolyBezierTo(P);
        break;
    case EMR_POLYLINETO:
        C.PolylineTo(P);
        break;
    default:
        break;
    }
}

void TEmfPlayer::PlayPolyPoly(std::uint32_t Type, TRecordData& D) {
    D.Skip(16); // bounds
    const std::uint32_t Figures = D.U32();
    const std::uint32_t Total = D.U32();
    if (std::uint64_t(Figures) * 4 > D.Remaining())
        throw EShortRecord();
    std::vector<std::uint32_t> Counts(Figures);
    for (std::uint32_t& Count : Counts)
        Count = D.U32();
    const bool Wide = Type == EMR_POLYPOLYLINE || Type == EMR_POLYPOLYGON;
    const std::vector<QPointF> P = Points(D, Total, Wide);
    if (Type == EMR_POLYPOLYGON || Type == EMR_POLYPOLYGON16)
        FCanvas->PolyPolygon(P, Counts);
    else
        FCanvas->PolyPolyline(P, Counts);
}

void TEmfPlayer::PlayPolyDraw(std::uint32_t Type, TRecordData& D) {
    D.Skip(16); // bounds
    const std::uint32_t Count = D.U32();
    const std::vector<QPointF> P = Points(D, Count, Type == EMR_POLYDRAW);
    const std::uint8_t* Types = D.Bytes(Count);
    FCanvas->PolyDraw(P, std::span<const std::uint8_t>(Types, Count));
}

// A short record keeps the defaults of the fields it lacks; its slot is filled either way.
void TEmfPlayer::CreateObject(std::uint32_t Type, TRecordData& D) {
    const std::uint32_t Index = D.U32();
    TGdiObject Object = TGdiOther();
    switch (Type) {
    case EMR_CREATEPEN: {
        TGdiPen Pen;
        try {
            Pen.Style = D.U32();
            Pen.Width = std::abs(double(D.I32()));
            D.Skip(4);
            Pen.Color = ColorFromRef(D.U32());
        } catch (const EShortRecord&) {
        }
        Object = Pen;
        break;
    }
    case EMR_EXTCREATEPEN: {
        TGdiPen Pen;
        try {
            D.Skip(16); // bitmap offsets and sizes
            Pen.Style = D.U32();
            Pen.Width = D.U32();
            Pen.Cosmetic = !(Pen.Style & PS_GEOMETRIC);
            const std::uint32_t BrushStyle = D.U32();
            Pen.Color = ColorFromRef(D.U32());
            if (BrushStyle == BS_NULL)
                Pen.Style = (Pen.Style & ~PS_STYLE_MASK) | PS_NULL;
            D.Skip(4); // hatch
            const std::uint32_t Entries = D.U32();
            if ((Pen.Style & PS_STYLE_MASK) == PS_USERSTYLE)
                for (std::uint32_t I = 0; I < std::min<std::uint32_t>(Entries, 32); ++I)
                    Pen.Dashes.push_back(D.U32());
        } catch (const EShortRecord&) {
        }
        Object = Pen;
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        TGdiBrush Brush;
        try {
            const std::uint32_t Style = D.U32();
            Brush.Color = ColorFromRef(D.U32());
            if (Style <= BS_HATCHED)
                Brush.Style = Style;
            else // patterns are not drawn: a middle grey stands in
                Brush.Color = QColor(128, 128, 128);
            Brush.Hatch = D.U32();
        } catch (const EShortRecord&) {
        }
        Object = Brush;
        break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        TGdiBrush Brush;
        Brush.Color = QColor(128, 128, 128);
        Object = Brush;
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        TGdiFont Font;
        try {
            Font.Height = D.I32();
            Font.Width = std::abs(double(D.I32()));
            Font.Escapement = D.I32();
            D.Skip(4); // orientation
            Font.Weight = D.I32();
            Font.Italic = D.U8();
            Font.Underline = D.U8();
            Font.StrikeOut = D.U8();
            D.Skip(5); // character set, precisions, quality, pitch and family
            for (int I = 0; I < 32 && D.Remaining() >= 2; ++I) {
                const char16_t Unit = D.U16();
                if (Unit == 0)
                    break;
                Font.Face.append(QChar(Unit));
            }
        } catch (const EShortRecord&) {
        }
        Object = Font;
        break;
    }
    default:
        break;
    }
    FCanvas->Objects().Put(Index, std::move(Object));
}

void TEmfPlayer::PlayText(TRecordData& D, std::size_t Offset, bool Wide, bool FixedSize) {
    D.Seek(Offset);
    const QPointF Reference = Point32(D);
    const std::uint32_t Count = D.U32();
    const std::uint32_t StringOffset = D.U32();
    const std::uint32_t Options = D.U32();
    std::optional<QRectF> Rect;
    if (FixedSize || !(Options & ETO_NO_RECT))
        Rect = Rect32(D);
    const std::uint32_t DxOffset = D.U32();
    if (Options & ETO_GLYPH_INDEX)
        return; // glyph numbers of a font we do not have
    const std::size_t UnitSize = Wide ? 2 : 1;
    if (std::uint64_t(Count) * UnitSize > D.Size() || StringOffset > D.Size() - Count * UnitSize)
        throw EShortRecord();
    D.Seek(StringOffset);
    QString Text;
    if (Wide) {
        Text.reserve(qsizetype(Count));
        for (std::uint32_t I = 0; I < Count; ++I)
            Text.append(QChar(char16_t(D.U16())));
    } else {
        Text = AnsiText(D.Bytes(Count), Count);
    }
    std::vector<double> Dx;
    const std::uint64_t Step = (Options & ETO_PDY) ? 8 : 4;
    if (DxOffset != 0 && DxOffset <= D.Size() && Count * Step <= D.Size() - DxOffset) {
        D.Seek(DxOffset);
        Dx.resize(Count);
        for (double& Advance : Dx) {
            Advance = D.I32();
            if (Step == 8)
                D.Skip(4);
        }
    }
    FCanvas->Text(Reference, Text, Dx, Options, Rect);
}

} // namespace

TWorkingImage PlayEMF(TByteReader& Input, const TMetafileDrawing& Drawing) {
    return TEmfPlayer(Input, Drawing).Play();
}

} // namespace korvane
