#include "ui/modes/PaintCommand.h"

#include "core/Errors.h"
#include "interaction/KorvaneApplication.h"
#include "ui/panel/KorvanePanel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace korvane {

TPaintCommand::TPaintCommand() = default;

TPaintCommand::~TPaintCommand() {
    StopWatching();
    DeleteTempFile();
}

void TPaintCommand::Execute(const TArgumentList& Arguments) {
    TKorvaneCommand::Execute(Arguments);
    FPanel = Arguments.Object<TKorvanePanel>(0);
    if (!FPanel)
        throw EAssertion("TPaintCommand.Execute");
    QTemporaryFile File(QDir::tempPath() + "/KorXXXXXX");
    File.setAutoRemove(false);
    if (!File.open())
        throw EWriteError("Cannot create a temporary file in \"" + QDir::tempPath().toStdString() +
                          "\": " + File.errorString().toStdString());
    FTempFileName = File.fileName().toStdString();
    File.close();
    FPanel->BeforePainting = [this](const QRect& Rect) { KeepTiles(Rect); };
    FWatching = true;
}

void TPaintCommand::AddPaintPoint(TLongintPoint P) {
    FPainted = true;
    FLeft = std::min(FLeft, P.X);
    FTop = std::min(FTop, P.Y);
    FRight = std::max(FRight, P.X);
    FBottom = std::max(FBottom, P.Y);
}

void TPaintCommand::KeepTiles(const QRect& Rect) {
    const QImage& Image = FPanel->Image();
    const QRect Inside = Rect & Image.rect();
    if (Inside.isEmpty())
        return;
    FChanged |= Inside;
    for (int Row = Inside.top() / Tile; Row <= Inside.bottom() / Tile; ++Row)
        for (int Column = Inside.left() / Tile; Column <= Inside.right() / Tile; ++Column)
            if (!FTiles.count({Row, Column}))
                FTiles[{Row, Column}] = Image.copy(Column * Tile, Row * Tile, Tile, Tile);
}

QRect TPaintCommand::Region() const {
    return QRect(QPoint(FLeft, FTop), QPoint(FRight - 1, FBottom - 1));
}

void TPaintCommand::Finish() {
    StopWatching();
    if (!FPanel || !FPainted) {
        DeleteTempFile();
        FTiles.clear();
        return;
    }
    const QImage& Image = FPanel->Image();
    // The points' bounds with the margin that covers the pen, and whatever the pen changed.
    QRect Bounds = QRect(QPoint(FLeft - Margin, FTop - Margin),
                         QPoint(FRight + Margin - 1, FBottom + Margin - 1)) |
                   FChanged;
    Bounds &= Image.rect();
    // A stroke whose region holds no pixel of the image changed nothing that can be kept.
    if (Bounds.isEmpty()) {
        DeleteTempFile();
        FTiles.clear();
        FPainted = false;
        return;
    }
    FLeft = Bounds.left();
    FTop = Bounds.top();
    FRight = Bounds.right() + 1;
    FBottom = Bounds.bottom() + 1;
    // The region as it was: the image now, with the kept tiles laid over it.
    QImage Before = Image.copy(Bounds);
    for (const auto& [Index, Kept] : FTiles) {
        const QPoint At(Index.second * Tile - FLeft, Index.first * Tile - FTop);
        for (int Y = 0; Y < Kept.height(); ++Y) {
            const int Row = At.y() + Y;
            if (Row < 0 || Row >= Before.height())
                continue;
            const int From = std::max(0, -At.x()),
                      To = std::min(Kept.width(), Before.width() - At.x());
            if (From >= To)
                continue;
            std::copy_n(Kept.constScanLine(Y) + 3 * From, 3 * (To - From),
                        Before.scanLine(Row) + 3 * (At.x() + From));
        }
    }
    FTiles.clear();
    SaveRegion(Before.convertToFormat(QImage::Format_RGB888));
    App("TPaintCommand.Finish").SetImageIsDirty(true);
}

void TPaintCommand::SaveRegion(const QImage& Source) const {
    const QImage Part = Source.rect() == QRect(0, 0, FRight - FLeft, FBottom - FTop)
                            ? Source
                            : Source.copy(FLeft, FTop, FRight - FLeft, FBottom - FTop);
    QFile File(QString::fromStdString(FTempFileName));
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EWriteError("Cannot write \"" + FTempFileName +
                          "\": " + File.errorString().toStdString());
    const std::int32_t Size[2] = {Part.width(), Part.height()};
    bool Ok = File.write(reinterpret_cast<const char*>(Size), sizeof Size) == sizeof Size;
    const qint64 Row = static_cast<qint64>(Part.width()) * 3;
    for (int Y = 0; Ok && Y < Part.height(); ++Y)
        Ok = File.write(reinterpret_cast<const char*>(Part.constScanLine(Y)), Row) == Row;
    if (!Ok || !File.flush())
        throw EWriteError("Cannot write \"" + FTempFileName +
                          "\": " + File.errorString().toStdString());
}

QImage TPaintCommand::LoadRegion() const {
    QFile File(QString::fromStdString(FTempFileName));
    if (!File.open(QIODevice::ReadOnly))
        throw EReadError("Cannot read \"" + FTempFileName +
                         "\": " + File.errorString().toStdString());
    std::int32_t Size[2] = {0, 0};
    if (File.read(reinterpret_cast<char*>(Size), sizeof Size) != sizeof Size ||
        Size[0] != FRight - FLeft || Size[1] != FBottom - FTop)
        throw EReadError("The temporary file \"" + FTempFileName + "\" is damaged.");
    QImage Region(Size[0], Size[1], QImage::Format_RGB888);
    const qint64 Row = static_cast<qint64>(Size[0]) * 3;
    for (int Y = 0; Y < Size[1]; ++Y)
        if (File.read(reinterpret_cast<char*>(Region.scanLine(Y)), Row) != Row)
            throw EReadError("The temporary file \"" + FTempFileName + "\" is damaged.");
    return Region;
}

void TPaintCommand::Swap() {
    if (!CanUndo())
        return;
    const QImage Stored = LoadRegion();
    SaveRegion(FPanel->Image());
    QImage& Image = FPanel->Image();
    for (int Y = 0; Y < Stored.height(); ++Y)
        std::copy_n(Stored.constScanLine(Y), 3 * Stored.width(),
                    Image.scanLine(FTop + Y) + 3 * FLeft);
    FPanel->RepaintImage();
}

void TPaintCommand::StopWatching() {
    if (FWatching && FPanel)
        FPanel->BeforePainting = nullptr;
    FWatching = false;
}

void TPaintCommand::DeleteTempFile() {
    if (FTempFileName.empty())
        return;
    std::remove(FTempFileName.c_str());
    FTempFileName.clear();
}

} // namespace korvane
