#include "image/readers/metafile/GdiCanvas.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvane {

std::optional<QFont> TGdiCanvas::MakeFont(double XScale, double YScale) const {
    const TGdiFont& F = FState.Font;
    QFont Font(F.Face.isEmpty() ? QStringLiteral("Sans Serif") : F.Face);
    Font.setWeight(QFont::Weight(std::clamp(F.Weight <= 0 ? 400 : F.Weight, 100, 900)));
    Font.setItalic(F.Italic);
    Font.setUnderline(F.Underline);
    Font.setStrikeOut(F.StrikeOut);
    double Pixels = F.Height == 0 ? 16.0 : std::abs(F.Height) * YScale;
    if (F.Height > 0) {
        // A positive height is the cell height (ascent + descent), not the character height.
        QFont Probe(Font);
        Probe.setPixelSize(100);
        const double Cell = QFontMetricsF(Probe).height();
        if (Cell > 0)
            Pixels *= 100 / Cell;
    }
    if (!(Pixels >= 0.5) || Pixels > FMaxTextPixels)
        return std::nullopt;
    Font.setPixelSize(std::max(1, int(std::lround(Pixels))));
    if (F.Width > 0) {
        const double Average = QFontMetricsF(Font).averageCharWidth();
        if (Average > 0) {
            const double Stretch = F.Width * XScale / Average * 100;
            if (std::isfinite(Stretch))
                Font.setStretch(int(std::clamp(Stretch, 25.0, 400.0)));
        }
    }
    return Font;
}

void TGdiCanvas::Text(QPointF Reference, const QString& String, std::span<const double> Dx,
                      std::uint32_t Options, const std::optional<QRectF>& Rect) {
    const QTransform T = Transform();
    const bool HasRect = Rect && Rect->width() != 0 && Rect->height() != 0;
    if (HasRect && (Options & ETO_OPAQUE) && !FInPath)
        FillWith(ImagePolygon(*Rect), FState.BkColor, QPainter::CompositionMode_SourceOver);
    if (String.isEmpty())
        return;

    const double XScale = std::hypot(T.m11(), T.m12());
    const double YScale = std::hypot(T.m21(), T.m22());
    const std::optional<QFont> Font = MakeFont(XScale, YScale);
    if (!Font)
        return;
    const QFontMetricsF Metrics(*Font);

    // Where each character starts along the base line, in image pixels.
    std::vector<double> Starts;
    double Width;
    if (Dx.empty()) {
        Width = Metrics.horizontalAdvance(String);
    } else {
        Starts.resize(std::size_t(String.size()));
        double X = 0;
        for (std::size_t I = 0; I < Starts.size(); ++I) {
            Starts[I] = X;
            if (I < Dx.size())
                X += std::clamp(Dx[I] * XScale, -FLimit, FLimit);
        }
        Width = X;
    }

    const std::uint32_t Align = FState.TextAlign;
    const bool UseCp = Align & TA_UPDATECP;
    const QPointF Origin = T.map(UseCp ? FState.Position : Reference);
    double X0 = 0;
    if ((Align & TA_CENTER) == TA_CENTER)
        X0 = -Width / 2;
    else if (Align & TA_RIGHT)
        X0 = -Width;
    double Y0 = Metrics.ascent();
    if ((Align & TA_BASELINE) == TA_BASELINE)
        Y0 = 0;
    else if (Align & TA_BOTTOM)
        Y0 = -Metrics.descent();

    // Escapement turns the text; so does a rotating world transform.
    double Angle = FState.Font.Escapement / 10;
    if (T.m12() != 0 || T.m21() != 0)
        Angle += std::atan2(-T.m12(), T.m11()) * 180 / std::numbers::pi;
    QTransform Place;
    Place.translate(Origin.x(), Origin.y());
    Place.rotate(-Angle);

    if (UseCp && (Align & TA_CENTER) != TA_CENTER && T.isInvertible()) {
        const double Advance = (Align & TA_RIGHT) ? -Width : Width;
        FState.Position = T.inverted().map(Place.map(QPointF(Advance, 0)));
    }

    // Characters, a surrogate pair being one.
    auto ForEachCharacter = [&](auto Draw) {
        if (Starts.empty()) {
            Draw(QPointF(X0, Y0), String);
            return;
        }
        for (qsizetype I = 0; I < String.size(); ++I) {
            const qsizetype Length = String[I].isHighSurrogate() && I + 1 < String.size() ? 2 : 1;
            Draw(QPointF(X0 + Starts[std::size_t(I)], Y0), String.mid(I, Length));
            I += Length - 1;
        }
    };

    if (FInPath) {
        QPainterPath Outline;
        ForEachCharacter(
            [&](QPointF At, const QString& Part) { Outline.addText(At, *Font, Part); });
        FPath.addPath(Place.map(Outline));
        FFigureOpen = false;
        return;
    }

    const std::optional<QRegion> SavedClip = FState.Clip;
    if (HasRect && (Options & ETO_CLIPPED))
        CombineClip(ImageRegion(ImagePolygon(*Rect)), RGN_AND);
    ApplyClip();
    ApplyComposition(QPainter::CompositionMode_SourceOver);
    const bool InRange = std::abs(Origin.x()) < FLimit && std::abs(Origin.y()) < FLimit;
    if (InRange) {
        FPainter.setTransform(Place * FBand);
        if (FState.BkMode == OPAQUE)
            FPainter.fillRect(QRectF(X0, Y0 - Metrics.ascent(), Width, Metrics.height()),
                              FState.BkColor);
        FPainter.setBackgroundMode(Qt::TransparentMode); // the background is filled above
        FPainter.setFont(*Font);
        FPainter.setPen(FState.TextColor);
        ForEachCharacter([&](QPointF At, const QString& Part) { FPainter.drawText(At, Part); });
        FPainter.setTransform(FBand);
    }
    if (HasRect && (Options & ETO_CLIPPED)) {
        FState.Clip = SavedClip;
        ClipChanged();
    }
}

} // namespace korvane
