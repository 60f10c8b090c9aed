#include "ShotSupport.h"

#include "document/Digitizations.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "ui/dialogs/PropertiesDialogs.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <cstdio>

namespace korvane::shots {

void Require(bool Ok, const std::string& What) {
    if (!Ok)
        throw EShotFailed(What);
}

void Pump(int Milliseconds) {
    QElapsedTimer Clock;
    Clock.start();
    while (Clock.elapsed() < Milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool PumpUntil(const std::function<bool()>& Done, int Seconds) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done()) {
        if (Clock.elapsed() > Seconds * 1000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// TModalDialogCatcher

struct TModalDialogCatcher::TState {
    std::function<void(QDialog&)> Act;
    QTimer Timer;
    bool Caught = false;
    std::string Error;
};

TModalDialogCatcher::TModalDialogCatcher(std::function<void(QDialog&)> Act)
    : FState(std::make_shared<TState>()) {
    FState->Act = std::move(Act);
    FState->Timer.setInterval(20);
    // The state outlives a catcher destroyed while its dialog is still being handled.
    std::weak_ptr<TState> Weak = FState;
    QObject::connect(&FState->Timer, &QTimer::timeout, [Weak] {
        const std::shared_ptr<TState> State = Weak.lock();
        if (!State || State->Caught)
            return;
        auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!Dialog || !Dialog->isVisible() || !Dialog->windowHandle() ||
            !Dialog->windowHandle()->isExposed())
            return;
        State->Caught = true;
        State->Timer.stop();
        Pump(300); // painted, and the first events handled
        try {
            State->Act(*Dialog);
        } catch (const std::exception& Error) {
            State->Error = Error.what();
        }
        if (Dialog->isVisible() && !State->Error.empty())
            Dialog->reject();
    });
    FState->Timer.start();
}

TModalDialogCatcher::~TModalDialogCatcher() {
    FState->Timer.stop();
}

void TModalDialogCatcher::Check() const {
    Require(FState->Caught, "the dialog did not open");
    Require(FState->Error.empty(), FState->Error);
}

// ---------------------------------------------------------------------------------------------
// TBenchChart

TBenchChart::TBenchChart(const QString& SharedDir, const QString& Case) {
    const QString Dir = SharedDir + "/bench/cases/" + Case;
    QFile File(Dir + "/truth.json");
    Require(File.open(QIODevice::ReadOnly), "cannot read " + File.fileName().toStdString());
    FTruth = QJsonDocument::fromJson(File.readAll()).object();
    FImageFile = Dir + "/" + FTruth["image"].toString();
    const QJsonObject Axes = FTruth["axes"].toObject();
    Require(!Axes["log_x"].toBool() && !Axes["log_y"].toBool(),
            Case.toStdString() + ": logarithmic axes are not used here");
    const auto Pixel = [&](const char* Key) {
        const QJsonArray A = Axes[Key].toObject()["pixel"].toArray();
        return QPoint(A[0].toInt(), A[1].toInt());
    };
    const auto Value = [&](const char* Key) {
        const QJsonArray A = Axes[Key].toObject()["value"].toArray();
        return QPointF(A[0].toDouble(), A[1].toDouble());
    };
    First = Pixel("first");
    Skew = Pixel("skew");
    Second = Pixel("second");
    FirstValue = Value("first");
    SecondValue = Value("second");
}

QJsonObject TBenchChart::Curve(const QString& Name) const {
    for (const QJsonValue& C : FTruth["curves"].toArray())
        if (C.toObject()["name"].toString() == Name)
            return C.toObject();
    throw EShotFailed("no curve " + Name.toStdString() + " in the chart");
}

QPoint TBenchChart::StartPixel(const QString& Name) const {
    const QJsonArray A = Curve(Name)["start_pixel"].toArray();
    return {A[0].toInt(), A[1].toInt()};
}

std::vector<QPointF> TBenchChart::Truth(const QString& Name) const {
    std::vector<QPointF> Points;
    for (const QJsonValue& P : Curve(Name)["truth"].toArray())
        Points.emplace_back(P.toArray()[0].toDouble(), P.toArray()[1].toDouble());
    return Points;
}

QPoint TBenchChart::PixelOf(QPointF Real) const {
    const double Column = First.x() + (Real.x() - FirstValue.x()) /
                                          (SecondValue.x() - FirstValue.x()) *
                                          (Second.x() - First.x());
    const double Row = First.y() + (Real.y() - FirstValue.y()) /
                                       (SecondValue.y() - FirstValue.y()) *
                                       (Second.y() - First.y());
    return {static_cast<int>(std::lround(Column)), static_cast<int>(std::lround(Row))};
}

// ---------------------------------------------------------------------------------------------
// TShotPrompter

std::vector<std::string>& ProgramMessages() {
    static std::vector<std::string> Messages;
    return Messages;
}

EMessageAnswer TShotPrompter::Ask(EMessageKind, const std::string& Text, unsigned Buttons) {
    if (!Closing) {
        ProgramMessages().push_back(Text);
        std::fprintf(stderr, "korvane-screenshots: the program said: %s\n", Text.c_str());
    }
    if (Buttons & mbNo)
        return EMessageAnswer::No;
    if (Buttons & mbCancel)
        return EMessageAnswer::Cancel;
    return EMessageAnswer::OK;
}

// ---------------------------------------------------------------------------------------------
// TShotDialogs

TShotDialogs::TShotDialogs() : FReal(NewQtDialogs()) {}
TShotDialogs::~TShotDialogs() = default;

bool TShotDialogs::AskScalePoint(const QString& Caption, bool ShowLogarithmic, QPoint Near,
                                 TScalePointAnswer& Answer) {
    if (ScalePoints.empty())
        return FReal->AskScalePoint(Caption, ShowLogarithmic, Near, Answer);
    Answer = ScalePoints.front();
    ScalePoints.pop_front();
    return true;
}

bool TShotDialogs::AskUnits(TStringPoint& Units) {
    return FReal->AskUnits(Units);
}

bool TShotDialogs::AskFormats(TCoordFormatPair& Formats, bool& SetAsDefault) {
    return FReal->AskFormats(Formats, SetAsDefault);
}

bool TShotDialogs::AskSettings(TSettingsAnswer& Settings, bool PaintingPage) {
    return FReal->AskSettings(Settings, PaintingPage);
}

bool TShotDialogs::RunLinePropertiesDialog(TfrmLineProperties& Dialog) {
    return OnLineProperties && OnLineProperties(Dialog);
}

bool TShotDialogs::RunScatterPropertiesDialog(TfrmScatterProperties& Dialog) {
    return OnScatterProperties && OnScatterProperties(Dialog);
}

bool TShotDialogs::RunCalculationDialog(TfrmCalculationDialog& Dialog) {
    return OnCalculation && OnCalculation(Dialog);
}

bool TShotDialogs::RunEliminateGridDialog(TfrmEliminateGrid& Dialog) {
    return OnEliminateGrid && OnEliminateGrid(Dialog);
}

bool TShotDialogs::RunExportDialog(TfrmExportData& Dialog) {
    return OnExport && OnExport(Dialog);
}

bool TShotDialogs::AskSaveFileName(const TSaveFileQuestion&, QString&) {
    return false;
}

bool TShotDialogs::AskOpenFileName(const QString&, const QString&, const QString&,
                                   QString& FileName) {
    if (OpenFile.isEmpty())
        return false;
    FileName = OpenFile;
    return true;
}

bool TShotDialogs::RunPdfPageDialog(TfrmPdfPage& Dialog) {
    return OnPdfPage && OnPdfPage(Dialog);
}

bool TShotDialogs::AskPassword(const QString&, bool, QString&) {
    return false;
}

// ---------------------------------------------------------------------------------------------
// TShotWindow

TShotWindow::TShotWindow() {
    Require(FFolder.isValid(), "no temporary folder");
    FWindow = std::make_unique<TfrmMain>(QDir(FFolder.path()).absolutePath().toStdString(),
                                         Prompter, &Dialogs);
    FWindow->resize(Width, Height);
    FWindow->move(0, 0);
    FWindow->show();
    FWindow->activateWindow();
    Require(PumpUntil([&] { return FWindow->windowHandle()->isExposed(); }, 20),
            "the window was not shown");
    Pump(300);
    Require(FWindow->size() == QSize(Width, Height), "the window is not 1280 x 800");
}

TShotWindow::~TShotWindow() {
    Prompter.Closing = true;
    FWindow.reset();
}

void TShotWindow::Open(const QString& File) {
    Dialogs.OpenFile = QFileInfo(File).absoluteFilePath();
    FWindow->actFileOpen->Execute();
    Dialogs.OpenFile.clear();
    Require(FWindow->App().FileIsOpen(), "could not open " + File.toStdString());
    Pump(200);
}

void TShotWindow::DefineCoordinateSystem(const TBenchChart& Chart) {
    FWindow->actViewActualSize->Execute();
    Dialogs.ScalePoints = {{Chart.FirstValue.x(), Chart.FirstValue.y(), false, false},
                           {Chart.SecondValue.x(), Chart.SecondValue.y(), false, false}};
    FWindow->actEditDefineCoordinateSystem->Execute();
    for (const QPoint P : {Chart.First, Chart.Skew, Chart.Second}) {
        ScrollToShow(P);
        Click(P);
    }
    Pump(200);
    Require(FWindow->pzImage->ScaleDefined(), "the coordinate system was not defined");
    Require(Dialogs.ScalePoints.empty(), "a scale-point dialog was not asked");
}

void TShotWindow::SetFastFollower() {
    FWindow->App().FileParameters().VectorizerParameters.SetDelay(0);
}

QPoint TShotWindow::DeviceOf(QPoint Pixel) const {
    // The view's own mapping gives a point near the pixel's block of screen pixels (its
    // half step is a whole pixel even at actual size); the middle of the block is taken.
    const TScaleSystem& View = FWindow->pzImage->CurrentScaleSystem();
    const TLongintPoint Near = View.ImageToScreen({Pixel.x(), Pixel.y()});
    const auto Middle = [](int Start, auto ImageOf, int Wanted) {
        std::vector<int> Hits;
        int Best = Start, BestMiss = 1 << 30;
        for (int D = Start - 12; D <= Start + 12; ++D) {
            const int Miss = std::abs(ImageOf(D) - Wanted);
            if (Miss == 0)
                Hits.push_back(D);
            if (Miss < BestMiss) {
                BestMiss = Miss;
                Best = D;
            }
        }
        return Hits.empty() ? Best : Hits[Hits.size() / 2];
    };
    const int X = Middle(
        Near.X,
        [&](int D) {
            return View.ScreenToImage({D, Near.Y}).X;
        },
        Pixel.x());
    const int Y = Middle(
        Near.Y,
        [&](int D) {
            return View.ScreenToImage({Near.X, D}).Y;
        },
        Pixel.y());
    return {X, Y};
}

void TShotWindow::ScrollToShow(QPoint Pixel, int Margin) {
    const QRect Box = FWindow->pzImage->PaintBox()->rect();
    if (!Box.adjusted(Margin, Margin, -Margin, -Margin).contains(DeviceOf(Pixel)))
        CentreOn(Pixel);
    Require(Box.contains(DeviceOf(Pixel)), "cannot scroll to the image pixel " +
                                               std::to_string(Pixel.x()) + "," +
                                               std::to_string(Pixel.y()));
}

void TShotWindow::CentreOn(QPoint Pixel) {
    const QRect Box = FWindow->pzImage->PaintBox()->rect();
    for (int Attempt = 0; Attempt < 4; ++Attempt) {
        const QPoint Off = DeviceOf(Pixel) - Box.center();
        bool Moved = false;
        for (QScrollBar* Bar :
             {FWindow->pzImage->HorzScrollBar(), FWindow->pzImage->VertScrollBar()}) {
            const int Delta = Bar == FWindow->pzImage->HorzScrollBar() ? Off.x() : Off.y();
            const int Old = Bar->value();
            if (Bar->isVisible() && Delta != 0)
                Bar->setValue(Old + Delta);
            Moved = Moved || Bar->value() != Old;
        }
        if (!Moved)
            break;
        Pump(50);
    }
}

void TShotWindow::SendMouse(int Type, QPoint Device, int Button) {
    QWidget* Box = FWindow->pzImage->PaintBox();
    const QPoint Global = Box->mapToGlobal(Device);
    const auto Pressed = Type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent Event(static_cast<QEvent::Type>(Type), QPointF(Device), QPointF(Global),
                      Button ? Qt::LeftButton : Qt::NoButton, Pressed, Qt::NoModifier);
    QApplication::sendEvent(Box, &Event);
}

void TShotWindow::MoveToDevice(QPoint Device) {
    SendMouse(QEvent::MouseMove, Device, 0);
    FPointer = Device;
    Pump(60);
}

void TShotWindow::ClickDevice(QPoint Device) {
    MoveToDevice(Device);
    SendMouse(QEvent::MouseButtonPress, Device, 1);
    SendMouse(QEvent::MouseButtonRelease, Device, 1);
    Pump(60);
}

void TShotWindow::DragDevice(QPoint From, QPoint To, int Steps) {
    MoveToDevice(From);
    SendMouse(QEvent::MouseButtonPress, From, 1);
    for (int I = 1; I <= Steps; ++I) {
        const QPoint P = From + (To - From) * I / Steps;
        QMouseEvent Move(QEvent::MouseMove, QPointF(P),
                         QPointF(FWindow->pzImage->PaintBox()->mapToGlobal(P)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FWindow->pzImage->PaintBox(), &Move);
        Pump(20);
    }
    FPointer = To;
    SendMouse(QEvent::MouseButtonRelease, To, 1);
    Pump(100);
}

void TShotWindow::LeaveImage() {
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(FWindow->pzImage->PaintBox(), &Leave);
    FPointer = {-1, -1};
    Pump(60);
}

void TShotWindow::MoveTo(QPoint Pixel) {
    MoveToDevice(DeviceOf(Pixel));
}

void TShotWindow::Click(QPoint Pixel) {
    ClickDevice(DeviceOf(Pixel));
}

void TShotWindow::Drag(QPoint From, QPoint To, int Steps) {
    DragDevice(DeviceOf(From), DeviceOf(To), Steps);
}

TLine& TShotWindow::FollowNewLine(QPoint Start) {
    FWindow->actDigitizeNewFunctionalLine->Execute();
    auto* Line = dynamic_cast<TLine*>(FWindow->CurrentDigitization());
    Require(Line != nullptr, "no new functional line");
    ScrollToShow(Start);
    Click(Start);
    WaitForRunEnd(*Line);
    Require(Line->Count() > 100, "the follower found too few points");
    const TLongintPoint First =
        FWindow->pzImage->Scale().DefinedScaleSystem().RealToImage(Line->GetPoint(0));
    Require(std::abs(First.X - Start.x()) <= 2 && std::abs(First.Y - Start.y()) <= 2,
            "the line does not begin at the pixel clicked");
    return *Line;
}

void TShotWindow::WaitForRunEnd(const TLine& Line) {
    Require(PumpUntil([&] { return Line.Count() > 0 && !Line.Following(); }, 300),
            "the follower's run did not end");
    Pump(200);
}

QImage TShotWindow::Grab(bool WithPointer) const {
    QImage Picture = FWindow->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (WithPointer && FPointer.x() >= 0) {
        QWidget* Box = FWindow->pzImage->PaintBox();
        DrawPointer(Picture, Box->mapTo(FWindow.get(), FPointer), Box->cursor());
    }
    return Picture;
}

QImage TShotWindow::GrabWithDialogs(const std::vector<QWidget*>& Dialogs) const {
    QImage Picture = Grab();
    QPainter Painter(&Picture);
    for (QWidget* Dialog : Dialogs) {
        const QImage Framed = FramedWindow(*Dialog);
        // The frame lies around the dialog's own area, which stays where the dialog is.
        const QPoint At = Dialog->geometry().topLeft() - FWindow->geometry().topLeft();
        const int Border = (Framed.width() - Dialog->width()) / 2;
        const int Title = Framed.height() - Dialog->height() - Border;
        Painter.drawImage(At - QPoint(Border, Title), Framed);
    }
    return Picture;
}

// ---------------------------------------------------------------------------------------------
// Pictures

QImage FramedWindow(QWidget& Window) {
    const QImage Contents = Window.grab().toImage();
    const int Border = 1;
    QFont Font = Window.font();
    Font.setBold(true);
    const int Title = QFontMetrics(Font).height() + 10;
    QImage Framed(Contents.width() + 2 * Border, Contents.height() + Title + Border,
                  QImage::Format_RGB32);
    Framed.fill(QColor(0x5a, 0x5a, 0x5a));
    QPainter P(&Framed);
    const QRect Bar(Border, Border, Contents.width(), Title - Border);
    P.fillRect(Bar, QColor(0xd8, 0xd8, 0xd8));
    P.setPen(QColor(0x20, 0x20, 0x20));
    P.setFont(Font);
    P.drawText(Bar, Qt::AlignCenter, Window.windowTitle());
    P.drawImage(Border, Title, Contents);
    return Framed;
}

void DrawPointer(QImage& Picture, QPoint At, const QCursor& Cursor) {
    const QPixmap Shape = Cursor.pixmap();
    QPainter P(&Picture);
    if (!Shape.isNull()) {
        P.drawPixmap(At - Cursor.hotSpot(), Shape);
        return;
    }
    // A cursor of the system's: the arrow, drawn plainly.
    const QPolygon Arrow({At, At + QPoint(0, 17), At + QPoint(4, 13), At + QPoint(7, 20),
                          At + QPoint(9, 19), At + QPoint(6, 12), At + QPoint(12, 12)});
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(Qt::white, 1));
    P.setBrush(Qt::black);
    P.drawPolygon(Arrow);
}

TPictureSet::TPictureSet(QString Folder, std::set<QString> Wanted)
    : FFolder(std::move(Folder)), FWanted(std::move(Wanted)) {}

bool TPictureSet::Wants(const QString& Name) const {
    return FWanted.empty() || FWanted.count(Name) > 0;
}

bool TPictureSet::WantsAny(const std::vector<QString>& Names) const {
    for (const QString& Name : Names)
        if (Wants(Name))
            return true;
    return false;
}

void TPictureSet::Save(const QString& Name, const QImage& Picture) {
    if (!Wants(Name))
        return;
    const QString File = FFolder + "/" + Name;
    // Quality 0: the strongest compression.
    Require(Picture.convertToFormat(QImage::Format_RGB888).save(File, "PNG", 0),
            "cannot write " + File.toStdString());
    FSaved.push_back(Name);
    std::printf("%s  %d x %d\n", qPrintable(Name), Picture.width(), Picture.height());
    std::fflush(stdout);
}

} // namespace korvane::shots
