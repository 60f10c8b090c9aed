#pragma once

#include "core/DoublePoints.h"
#include "interaction/ApplicationCommands.h"

#include <QImage>
#include <QRect>
#include <climits>
#include <map>
#include <string>

namespace korvane {

class TKorvanePanel;

// One stroke of the pen on the working image, undoable: the stretch between the pen going down
// and up in the painting mode. Arguments: [0] the image panel.
//
// While the stroke runs, the command keeps the 64 x 64 tiles of the image the pen is about
// to change, as they were (the panel tells it before it paints). Finish stores the stroke's
// region before the stroke (the painted points' bounds with a margin of 32 pixels, limited to
// the image) in a temporary file "Kor..." of the system's temporary folder; Undo and Redo swap
// the region between the file and the image. Only the changed region is ever kept, whatever
// the image's size. The file goes with the command.
class TPaintCommand : public TKorvaneCommand {
public:
    static constexpr std::int32_t Margin = 32;
    static constexpr std::int32_t Tile = 64;

    TPaintCommand();
    ~TPaintCommand() override;

    // Creates the temporary file and starts watching the panel's painting.
    void Execute(const TArgumentList& Arguments) override;
    // A point of the stroke, in image pixels (the image point under the mouse while the pen is
    // down).
    void AddPaintPoint(TLongintPoint P);
    // The pen went up (or the mode stopped): the stroke's region is stored and the image marked
    // changed. Without painted points, or when the region holds no pixel of the image, the
    // file goes and the command cannot be undone.
    void Finish();

    void Undo() override { Swap(); }
    void Redo() override { Swap(); }
    bool CanUndo() const override { return FPainted && !FTempFileName.empty(); }
    std::string GetName() const override { return "Paint"; }
    std::string GetDescription() const override { return "paint"; }
    TRequirements Requirements() const override { return rqImage; }

    const std::string& TempFileName() const { return FTempFileName; }
    // The stored region after Finish, in image pixels (right and bottom edges left out).
    QRect Region() const;

private:
    // Keeps the tiles of the image inside Rect that are not kept yet, as they are now.
    void KeepTiles(const QRect& Rect);
    // Writes the pixels of Source inside the region to the file, replacing its content.
    void SaveRegion(const QImage& Source) const;
    QImage LoadRegion() const;
    void Swap();
    void StopWatching();
    void DeleteTempFile();

    TKorvanePanel* FPanel = nullptr;
    std::string FTempFileName;
    bool FPainted = false;
    bool FWatching = false;
    std::int32_t FLeft = INT_MAX, FTop = INT_MAX, FRight = INT_MIN, FBottom = INT_MIN;
    // The image pixels the panel changed during the stroke (before the margin).
    QRect FChanged;
    // Kept tiles by (row, column).
    std::map<std::pair<int, int>, QImage> FTiles;
};

} // namespace korvane
