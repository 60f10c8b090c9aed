#include "ui/modes/PaintingMode.h"

#include "image/ScaleSystem.h"
#include "interaction/KorvaneApplication.h"
#include "ui/modes/GuideControls.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/common/SupportWidgets.h"
#include "ui/modes/PaintCommand.h"
#include "ui/panel/KorvanePanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>

namespace korvane {

namespace {

constexpr std::uint16_t LetterD = 0x44, LetterG = 0x47, ArrowUp = 38, ArrowDown = 40;
constexpr std::int16_t CursorEyedropper = 12;
constexpr unsigned Modifiers = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

} // namespace

const TModeClass& TPaintingMode::Class() {
    static const TModeClass Result = TModeClass::Of<TPaintingMode, TKorvaneMode>("TPaintingMode");
    return Result;
}

TPaintingMode::TPaintingMode() {
    HelpContext = 1700;
    EndsOnEscape = true;
}

TPaintingMode::~TPaintingMode() = default;

void TPaintingMode::ReadArguments() {
    Panel = Arguments().Object<TKorvanePanel>(0);
    Action = Arguments().Object<TAction>(1);
    FInitialPaintMode = Arguments().Count() > 2 ? Arguments().Integer(2) : 0;
    StatusBar = Arguments().Count() > 3 ? Arguments().Object<QStatusBar>(3) : nullptr;
    if (!Panel)
        throw EAssertion("TPaintingMode: no image panel");
}

void TPaintingMode::Start(const TArgumentList& Arguments) {
    TKorvaneMode::Start(Arguments);
    BuildControls();
    App().PaintParameters().AddListener(this);
    App().PaintParameters().ApplyTo(*Panel);
    NewPaintCommand();
    SetPaintMode(FInitialPaintMode);
    Panel->View().SetPainting(true);
    if (Action) {
        Action->setText("Stop &Painting");
        Action->SetHint("Stop painting|Stop painting on the image");
    }
    Panel->View().AddListener(this);
    FListening = true;
    RefreshControls();
    ShowPenStatus();
}

void TPaintingMode::Stop() {
    TKorvaneMode::Stop();
    std::exception_ptr Error;
    try {
        FinishPaintCommand();
    } catch (...) {
        Error = std::current_exception(); // the mode still ends
    }
    if (FListening)
        Panel->View().RemoveListener(this);
    FListening = false;
    Panel->View().SetPainting(false);
    App().PaintParameters().RemoveListener(this);
    RemoveControls();
    if (Error)
        std::rethrow_exception(Error);
}

void TPaintingMode::NewPaintCommand() {
    FPaintCommand = std::make_unique<TPaintCommand>();
    FPaintCommand->SetApplication(App());
    FPaintCommand->Execute({Panel});
}

void TPaintingMode::FinishPaintCommand() {
    if (!FPaintCommand)
        return;
    std::unique_ptr<TPaintCommand> Command = std::move(FPaintCommand);
    Command->Finish();
    if (Command->CanUndo())
        App().History().Add(std::move(Command));
}

void TPaintingMode::PenStateChanged(TPanZoomView& View) {
    if (!View.PenDown()) {
        FinishPaintCommand();
        NewPaintCommand();
    }
    ShowPenStatus();
    FillGuide();
}

void TPaintingMode::PenWidthChanged(TPanZoomView&) {
    App().PaintParameters().SetPenSize(Panel->PenWidth());
}

void TPaintingMode::PaintParametersChanged(TPaintParameters&) {
    RefreshControls();
}

void TPaintingMode::ShowPenStatus() {
    App().SetStatusMessage(std::string("Pen is ") + (Panel->View().PenDown() ? "down" : "up") +
                           ". Use Alt plus up and down arrows to change pen size.");
}

void TPaintingMode::MouseDown(TLongintPoint Device, TDoublePoint, int Button, unsigned Shift) {
    if (Button != 1)
        return;
    if ((Shift & Modifiers) == Qt::ShiftModifier) {
        // The eyedropper: the colour under the pointer for the current paint mode.
        SetColor(Panel->PixelColor(Panel->CurrentScaleSystem().ScreenToImage(Device)));
        return;
    }
    Panel->View().SetPenDown(!Panel->View().PenDown());
    StartStrokeAt(Device);
}

void TPaintingMode::StartStrokeAt(TLongintPoint Device) {
    // A stroke begins where the pen went down, not at the next move, which a fast mouse may
    // report far away. Nothing is drawn until the pointer moves.
    TPanZoomView& View = Panel->View();
    if (View.PenDown() && View.StrokeTo && Device.X >= 0 && Device.Y >= 0)
        View.StrokeTo(Panel->CurrentScaleSystem().ScreenToImage(Device));
}

void TPaintingMode::PanelMouseMove(TLongintPoint Device, unsigned) {
    if (Panel->View().PenDown() && FPaintCommand)
        FPaintCommand->AddPaintPoint(Panel->CurrentScaleSystem().ScreenToImage(Device));
}

void TPaintingMode::UpdateEyedropper(Qt::KeyboardModifiers Shift) {
    const bool ShiftAlone = (static_cast<unsigned>(Shift) & Modifiers) == Qt::ShiftModifier;
    if (FEyedropperShown && !ShiftAlone) {
        FEyedropperShown = false;
        Panel->RebuildPenCursor();
    } else if (ShiftAlone) {
        Panel->View().SetPaintBoxCursor(CursorEyedropper);
        FEyedropperShown = true;
    }
}

void TPaintingMode::KeyDown(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    UpdateEyedropper(Shift);
    const bool Alt = Shift & Qt::AltModifier;
    if (Key == LetterD) {
        Panel->View().SetPenDown(!Panel->View().PenDown());
        StartStrokeAt(Panel->View().LastMousePos());
        Key = 0;
    } else if (Key == LetterG) {
        SetPaintMode((Panel->PaintMode() + 1) % 3);
        Key = 0;
    } else if (Alt && (Key == ArrowUp || Key == ArrowDown)) {
        Panel->SetPenWidth(Panel->PenWidth() + (Key == ArrowUp ? 1 : -1));
        Key = 0;
    } else {
        TKorvaneMode::KeyDown(Sender, Key, Shift);
    }
}

void TPaintingMode::KeyUp(QObject* Sender, std::uint16_t& Key, Qt::KeyboardModifiers Shift) {
    TKorvaneMode::KeyUp(Sender, Key, Shift);
    UpdateEyedropper(Shift);
}

void TPaintingMode::SetPaintMode(int Mode) {
    Panel->SetPaintMode(Mode);
    RefreshControls();
}

TColor TPaintingMode::CurrentColor() const {
    const TPaintParameters& P = App().PaintParameters();
    switch (Panel->PaintMode()) {
    case 1:
        return P.ErasingColor();
    case 2:
        return P.MarkingColor();
    default:
        return P.ReplacingColor();
    }
}

void TPaintingMode::SetColor(TColor Color) {
    TPaintParameters& P = App().PaintParameters();
    switch (Panel->PaintMode()) {
    case 1:
        Panel->SetErasingColor(Color);
        P.SetErasingColor(Color);
        break;
    case 2:
        Panel->SetMarkingColor(Color);
        P.SetMarkingColor(Color);
        break;
    default:
        Panel->SetReplacingColor(Color);
        P.SetReplacingColor(Color);
        break;
    }
    RefreshControls();
}

void TPaintingMode::BuildControls() {
    if (!StatusBar)
        return;
    FControls = new QWidget(StatusBar);
    FControls->setObjectName("pnlPaintControls");
    auto* Row = new QHBoxLayout(FControls);
    Row->setContentsMargins(2, 0, 2, 0);
    auto* SizeLabel = new QLabel("Pen size:", FControls);
    PenSizeEdit = new TUpDownEdit(FControls);
    PenSizeEdit->setObjectName("updPenSize");
    PenSizeEdit->setRange(1, 31);
    // A size takes effect when it is complete (Enter, the arrows, leaving the box), not at
    // every digit on the way.
    PenSizeEdit->setKeyboardTracking(false);
    SizeLabel->setBuddy(PenSizeEdit);
    auto* ModeLabel = new QLabel("Mode:", FControls);
    ModeCombo = new QComboBox(FControls);
    ModeCombo->setObjectName("cboPaintMode");
    ModeCombo->addItems({"Replacing", "Erasing", "Marking"});
    ModeCombo->setFixedWidth(90);
    auto* ColorLabel = new QLabel("Color:", FControls);
    ColorButton = new QToolButton(FControls);
    ColorButton->setObjectName("btnPaintColor");
    ColorButton->setToolTip("Change color (Shift-click on the image to capture a color)");
    ColorButton->setAutoRaise(true);
    for (QWidget* W : std::initializer_list<QWidget*>{SizeLabel, PenSizeEdit, ModeLabel, ModeCombo,
                                                      ColorLabel, ColorButton})
        Row->addWidget(W);
    // A value typed and left is clamped by the box's range; each change reaches the pen. At a
    // high zoom the panel allows a smaller pen than asked for, and the box then shows the
    // width the pen really has.
    QObject::connect(PenSizeEdit, &QSpinBox::valueChanged, FControls, [this](int Value) {
        Guarded([this, Value] {
            if (Value != Panel->PenWidth())
                Panel->SetPenWidth(Value);
            if (PenSizeEdit && PenSizeEdit->value() != Panel->PenWidth()) {
                const QSignalBlocker Block(PenSizeEdit);
                PenSizeEdit->setValue(Panel->PenWidth());
            }
        });
    });
    QObject::connect(ModeCombo, &QComboBox::activated, FControls,
                     [this](int Index) { Guarded([this, Index] { SetPaintMode(Index); }); });
    QObject::connect(ColorButton, &QToolButton::clicked, FControls, [this] {
        Guarded([this] {
            TColor Chosen = CurrentColor();
            if (ChooseColor(StatusBar, "Color", Chosen))
                SetColor(Chosen);
        });
    });
    StatusBar->insertWidget(0, FControls);
    FControls->show();
}

void TPaintingMode::RemoveControls() {
    if (!FControls)
        return;
    StatusBar->removeWidget(FControls);
    delete FControls;
    FControls = nullptr;
    PenSizeEdit = nullptr;
    ModeCombo = nullptr;
    ColorButton = nullptr;
}

void TPaintingMode::RefreshControls() {
    if (!FControls)
        return;
    {
        const QSignalBlocker Block(PenSizeEdit);
        PenSizeEdit->setValue(App().PaintParameters().PenSize());
    }
    ModeCombo->setCurrentIndex(Panel->PaintMode());
    // Pure white and mid grey would vanish into the button: one step off shows them.
    TColor C = CurrentColor() & 0xFFFFFF;
    if (C == 0xFFFFFF || C == 0x808080)
        C -= 1;
    const int Side = std::max(ColorButton->height() - 8, 12);
    QPixmap Swatch(Side, Side);
    Swatch.fill(ToQColor(C));
    ColorButton->setIcon(QIcon(Swatch));
}

void TPaintingMode::FillGuide() {
    if (!GuideContainer)
        return;
    GuideContainer->Clear();
    GuideContainer->AddTitle("Painting", GuideBold);
    GuideContainer->AddText(
        "Move the mouse to paint on the image. Use the left mouse button to toggle whether the "
        "pen is drawing or not. Use the controls below to adjust settings. Or, use Alt plus the "
        "up and down arrows to increase or decrease the size of the pen. Press the 'g' key to "
        "switch between replacing, erasing, and marking modes. Press Escape to stop painting.");
}

} // namespace korvane
