// What the pictures of the manual are made with: a main window of the real program in a
// settings folder of its own, driven the way the user drives it (actions, mouse events on the
// image, the real dialogs), a chart of the benchmark, and the grabbing and saving of pictures.
#pragma once

#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "ui/dialogs/KorvaneDialogs.h"

#include <QImage>
#include <QJsonObject>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class QCursor;
class QDialog;

namespace korvane {
class TLine;
}

namespace korvane::shots {

// A step that could not be taken: the pictures that need it are not made.
class EShotFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EShotFailed saying What unless Ok.
void Require(bool Ok, const std::string& What);

// Runs events for Milliseconds.
void Pump(int Milliseconds);
// Runs events until Done answers true (true) or Seconds have passed (false).
bool PumpUntil(const std::function<bool()>& Done, int Seconds);

// Acts on the next modal dialog the program opens with exec(): once it is shown and painted,
// Act fills it, takes its picture and ends it (the dialog is cancelled when Act throws).
class TModalDialogCatcher {
public:
    explicit TModalDialogCatcher(std::function<void(QDialog&)> Act);
    ~TModalDialogCatcher();
    TModalDialogCatcher(const TModalDialogCatcher&) = delete;
    TModalDialogCatcher& operator=(const TModalDialogCatcher&) = delete;
    // Throws when no dialog came or Act failed.
    void Check() const;

private:
    struct TState;
    std::shared_ptr<TState> FState;
};

// A chart of the line-follower benchmark: its image and the truth of its axes and curves.
class TBenchChart {
public:
    TBenchChart(const QString& SharedDir, const QString& Case);

    QString ImageFile() const { return FImageFile; }
    QPoint First, Skew, Second;
    QPointF FirstValue, SecondValue;

    // The curve's start pixel.
    QPoint StartPixel(const QString& Curve) const;
    // The curve's real points (for a scatter: the marker centres).
    std::vector<QPointF> Truth(const QString& Curve) const;
    // The image pixel of a real point, for the upright linear axes of the charts used here.
    QPoint PixelOf(QPointF Real) const;

private:
    QJsonObject Curve(const QString& Name) const;
    QJsonObject FTruth;
    QString FImageFile;
};

// What the program said to the user (messages, errors) since it was last cleared; none is
// expected while the pictures are made.
std::vector<std::string>& ProgramMessages();

// The program's messages: each goes into ProgramMessages and is answered No (or Cancel, or OK).
class TShotPrompter : public IPrompter {
public:
    EMessageAnswer Ask(EMessageKind Kind, const std::string& Text, unsigned Buttons) override;
    // While the window closes, the question about its changes is no surprise.
    bool Closing = false;
};

// The dialogs the window asks through. Scale points and the open dialog answer from the
// picture's script without showing; the data-set dialogs the window prepared are run by the
// picture's functions (without one they count as cancelled); the rest are the real dialogs,
// run modally (a TModalDialogCatcher ends them).
class TShotDialogs : public IKorvaneDialogs {
public:
    TShotDialogs();
    ~TShotDialogs() override;

    // Answered in order without a dialog; when none is left the real dialog asks.
    std::deque<TScalePointAnswer> ScalePoints;
    // The file File > Open answers with.
    QString OpenFile;
    std::function<bool(TfrmLineProperties&)> OnLineProperties;
    std::function<bool(TfrmScatterProperties&)> OnScatterProperties;
    std::function<bool(TfrmCalculationDialog&)> OnCalculation;
    std::function<bool(TfrmEliminateGrid&)> OnEliminateGrid;
    std::function<bool(TfrmExportData&)> OnExport;
    std::function<bool(TfrmPdfPage&)> OnPdfPage;

    bool AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint Near,
                       TScalePointAnswer& Answer) override;
    bool AskUnits(TStringPoint& Units) override;
    bool AskFormats(TCoordFormatPair& Formats, bool& SetAsDefault) override;
    bool AskSettings(TSettingsAnswer& Settings, bool PaintingPage) override;
    bool RunLinePropertiesDialog(TfrmLineProperties& Dialog) override;
    bool RunScatterPropertiesDialog(TfrmScatterProperties& Dialog) override;
    bool RunCalculationDialog(TfrmCalculationDialog& Dialog) override;
    bool RunEliminateGridDialog(TfrmEliminateGrid& Dialog) override;
    bool RunExportDialog(TfrmExportData& Dialog) override;
    bool AskSaveFileName(const TSaveFileQuestion& Question, QString& FileName) override;
    bool AskOpenFileName(const QString& Caption, const QString& Filters, const QString& Folder,
                         QString& FileName) override;
    bool RunPdfPageDialog(TfrmPdfPage& Dialog) override;
    bool AskPassword(const QString& FileName, bool Retry, QString& Password) override;

private:
    std::unique_ptr<IKorvaneDialogs> FReal;
};

// The main window in a fresh settings folder, 1280 x 800 at the screen's top left corner,
// shown and painted.
class TShotWindow {
public:
    static constexpr int Width = 1280;
    static constexpr int Height = 800;

    TShotWindow();
    ~TShotWindow();
    TShotWindow(const TShotWindow&) = delete;
    TShotWindow& operator=(const TShotWindow&) = delete;

    TfrmMain& operator*() const { return *FWindow; }
    TfrmMain* operator->() const { return FWindow.get(); }

    TShotDialogs Dialogs;
    TShotPrompter Prompter;

    // File > Open... on File.
    void Open(const QString& File);
    // Edit > Define Coordinate System: clicks on the chart's three pixels, the values typed
    // into the dialogs. The chart is shown at actual size for the clicks.
    void DefineCoordinateSystem(const TBenchChart& Chart);
    // The follower at full speed.
    void SetFastFollower();

    // The paint-box point that shows an image pixel.
    QPoint DeviceOf(QPoint Pixel) const;
    // Scrolls the image (as with the scroll bars) until Pixel is shown at least Margin
    // pixels inside the paint box: in its middle, as far as the scroll bars go.
    void ScrollToShow(QPoint Pixel, int Margin = 40);
    // Scrolls the image until Pixel is in the middle of the paint box, as far as it goes.
    void CentreOn(QPoint Pixel);
    // The mouse over the image: the paint box gets the events the user's mouse would give.
    void MoveTo(QPoint Pixel);
    void Click(QPoint Pixel);
    // Press at From, moves in Steps to To, release there.
    void Drag(QPoint From, QPoint To, int Steps = 8);
    // The same at paint-box points.
    void MoveToDevice(QPoint Device);
    void ClickDevice(QPoint Device);
    void DragDevice(QPoint From, QPoint To, int Steps = 8);
    // The mouse leaves the image.
    void LeaveImage();

    // Digitize > New Functional Line and a click on Start; answers when the run has ended.
    TLine& FollowNewLine(QPoint Start);
    // Waits until the line's run has ended.
    void WaitForRunEnd(const TLine& Line);

    // The window as it is shown; with the pointer drawn where the mouse was moved last.
    QImage Grab(bool WithPointer = false) const;
    // The window with Dialogs (shown, over it) drawn at their places, in their frames.
    QImage GrabWithDialogs(const std::vector<QWidget*>& Dialogs) const;

    // The last paint-box point the mouse was moved to.
    QPoint Pointer() const { return FPointer; }

private:
    void SendMouse(int Type, QPoint Device, int Button);

    QTemporaryDir FFolder;
    std::unique_ptr<TfrmMain> FWindow;
    QPoint FPointer{-1, -1};
};

// A dialog (or any top-level window) in a plain frame with its caption, as a window manager
// would show it; Xvfb has none.
QImage FramedWindow(QWidget& Window);
// The paint box's pointer drawn onto Picture with its hot spot at At.
void DrawPointer(QImage& Picture, QPoint At, const QCursor& Cursor);

// Where the pictures go, and which of them are wanted.
class TPictureSet {
public:
    TPictureSet(QString Folder, std::set<QString> Wanted);
    // Wanted: asked for by name, or no names given.
    bool Wants(const QString& Name) const;
    bool WantsAny(const std::vector<QString>& Names) const;
    // Writes Name into the folder, as a compressed PNG, when it is wanted.
    void Save(const QString& Name, const QImage& Picture);
    const std::vector<QString>& Saved() const { return FSaved; }

private:
    QString FFolder;
    std::set<QString> FWanted;
    std::vector<QString> FSaved;
};

} // namespace korvane::shots
