#include "ui/modes/GuideControls.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>
#include <array>
#include <utility>

namespace korvane {

namespace {

// How a guide label is aligned on the host; kept as a dynamic property of the label.
const char* const AlignProperty = "korvaneGuideAlign";
enum EGuideAlign { AlignNone = 0, AlignTop = 1, AlignClient = 2 };
// How Place put a label: below the control before it, or beside it.
const char* const PlacedProperty = "korvaneGuidePlaced";
enum EGuidePlaced { PlacedNot = 0, PlacedBelow = 1, PlacedBeside = 2 };

int Right(const QRect& R) {
    return R.x() + R.width();
}
int Bottom(const QRect& R) {
    return R.y() + R.height();
}

// Puts a placed label below or beside Previous (none: at the top left), sized to its text on
// one line, or wrapped within the host's width when one line does not fit. A label beside
// keeps its first line on the base line of Previous; further lines go downwards.
void FitPlaced(QLabel& Label, const QRect* Previous, bool Beside, int HostWidth) {
    Label.setWordWrap(false);
    Label.adjustSize();
    const QSize OneLine = Label.size();
    QPoint At(0, 0);
    if (Previous)
        At = Beside ? QPoint(Right(*Previous), Bottom(*Previous) - OneLine.height())
                    : QPoint(0, Bottom(*Previous) + 2);
    const int Room = HostWidth - At.x();
    Label.setWordWrap(true);
    if (OneLine.width() <= Room || Room < OneLine.height())
        Label.setGeometry(QRect(At, OneLine));
    else
        Label.setGeometry(At.x(), At.y(), Room,
                          std::max(OneLine.height(), Label.heightForWidth(Room)));
}

} // namespace

void AddFontStyle(QLabel& Label, unsigned StyleFlags) {
    QFont Font = Label.font();
    if (StyleFlags & GuideBold)
        Font.setBold(true);
    if (StyleFlags & GuideItalic)
        Font.setItalic(true);
    if (StyleFlags & GuideUnderline)
        Font.setUnderline(true);
    if (StyleFlags & GuideStrikeOut)
        Font.setStrikeOut(true);
    Label.setFont(Font);
}

// ---------------------------------------------------------------------------------------------
// TLinkLabel

TLinkLabel::TLinkLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    QFont Font = font();
    Font.setBold(false);
    Font.setItalic(false);
    Font.setStrikeOut(false);
    Font.setUnderline(true);
    setFont(Font);
    QPalette Palette = palette();
    Palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(Palette);
    setCursor(Qt::PointingHandCursor);
    adjustSize();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    QLabel::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) &&
        FOnClick)
        FOnClick(*this);
}

// ---------------------------------------------------------------------------------------------
// TGuideContentContainer

// Keeps the aligned labels fitted to the host when it is resized.
class TGuideContentContainer::THostWatcher : public QObject {
public:
    explicit THostWatcher(TGuideContentContainer& Owner) : FOwner(Owner) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Resize && Watched == FOwner.FHost)
            FOwner.Realign();
        return QObject::eventFilter(Watched, Event);
    }

private:
    TGuideContentContainer& FOwner;
};

TGuideContentContainer::TGuideContentContainer()
    : FWatcher(std::make_unique<THostWatcher>(*this)) {}

TGuideContentContainer::~TGuideContentContainer() {
    if (FHost)
        FHost->removeEventFilter(FWatcher.get());
}

void TGuideContentContainer::SetHost(QWidget* Host) {
    if (FHost)
        FHost->removeEventFilter(FWatcher.get());
    FHost = Host;
    if (FHost)
        FHost->installEventFilter(FWatcher.get());
}

std::vector<QWidget*> TGuideContentContainer::Controls() const {
    std::vector<QWidget*> Result;
    if (!FHost)
        return Result;
    for (QObject* Child : FHost->children())
        if (Child->isWidgetType())
            Result.push_back(static_cast<QWidget*>(Child));
    return Result;
}

void TGuideContentContainer::Clear() {
    // Each control is freed before the next one is looked up, so a control that frees others
    // on its way out cannot leave a dangling pointer behind.
    for (;;) {
        const std::vector<QWidget*> Remaining = Controls();
        if (Remaining.empty())
            break;
        delete Remaining.front();
    }
}

void TGuideContentContainer::Place(QLabel& Label, bool BesideLast) {
    if (!FHost)
        return;
    std::vector<QWidget*> Before = Controls();
    Before.erase(std::remove(Before.begin(), Before.end(), &Label), Before.end());
    Label.setParent(FHost);
    const bool Beside = BesideLast && !Before.empty();
    Label.setProperty(PlacedProperty, int(Beside ? PlacedBeside : PlacedBelow));
    const QRect Previous = Before.empty() ? QRect() : Before.back()->geometry();
    FitPlaced(Label, Before.empty() ? nullptr : &Previous, Beside, FHost->width());
    Label.show();
    Realign();
}

void TGuideContentContainer::Realign() {
    if (!FHost)
        return;
    const int Width = FHost->width();
    int Top = 0;
    const std::vector<QWidget*> All = Controls();
    // In the order they were added: titles stack at the top, placed labels follow the
    // control before them and wrap anew within the width.
    QRect Previous;
    bool HasPrevious = false;
    for (QWidget* Control : All) {
        auto* Label = qobject_cast<QLabel*>(Control);
        const int Placed = Control->property(PlacedProperty).toInt();
        const int Align = Control->property(AlignProperty).toInt();
        if (Align == AlignTop) {
            Control->setGeometry(0, Top, Width, Control->height());
            Top += Control->height();
        } else if (Align == AlignNone && Label && Placed != PlacedNot) {
            FitPlaced(*Label, HasPrevious ? &Previous : nullptr, Placed == PlacedBeside, Width);
        }
        Previous = Control->geometry();
        HasPrevious = true;
    }
    int Needed = 0;
    for (QWidget* Control : All)
        if (Control->property(AlignProperty).toInt() == AlignClient) {
            Control->setGeometry(0, Top, Width, std::max(0, FHost->height() - Top));
            Needed = std::max(Needed, Top + Control->heightForWidth(Width));
        } else {
            Needed = std::max(Needed, Bottom(Control->geometry()));
        }
    if (OnContentHeight)
        OnContentHeight(Needed);
}

QLabel* TGuideContentContainer::AddTitle(const QString& Text, unsigned StyleFlags) {
    if (!FHost)
        return nullptr;
    auto* Label = new QLabel(Text, FHost);
    Place(*Label, false);
    Label->setProperty(AlignProperty, int(AlignTop));
    AddFontStyle(*Label, StyleFlags);
    Realign();
    return Label;
}

QLabel* TGuideContentContainer::AddText(const QString& Text) {
    if (!FHost)
        return nullptr;
    auto* Label = new QLabel(Text, FHost);
    Place(*Label, false);
    Label->setProperty(AlignProperty, int(AlignClient));
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Realign();
    return Label;
}

QLabel* TGuideContentContainer::AddLabel(const QString& Text, bool BesideLast) {
    if (!FHost)
        return nullptr;
    auto* Label = new QLabel(Text, FHost);
    Place(*Label, BesideLast);
    return Label;
}

QLabel* TGuideContentContainer::AddStyledLabel(const QString& Text, unsigned StyleFlags,
                                               bool BesideLast) {
    if (!FHost)
        return nullptr;
    auto* Label = new QLabel(Text, FHost);
    AddFontStyle(*Label, StyleFlags);
    Place(*Label, BesideLast);
    return Label;
}

TLinkLabel* TGuideContentContainer::AddLink(const QString& LinkText, const QString& FollowingText,
                                            bool BesideLast) {
    if (!FHost)
        return nullptr;
    auto* Link = new TLinkLabel(LinkText, FHost);
    Link->SetClickHandler([this](TLinkLabel& Clicked) { LinkClicked(Clicked); });
    Place(*Link, BesideLast);
    AddLabel(FollowingText, true);
    return Link;
}

void TGuideContentContainer::LinkClicked(TLinkLabel& Link) {
    if (!FReceiver)
        return;
    const QPoint Anchor = Link.mapToGlobal(QPoint(Link.width(), Link.height()));
    QCoreApplication::postEvent(FReceiver, new TGuideLinkEvent(this, Link.text(), Anchor));
}

// ---------------------------------------------------------------------------------------------
// Idle guide and link reactions

void FillIdleGuide(TGuideContentContainer& Guide, EIdleGuideState State) {
    Guide.Clear();
    switch (State) {
    case EIdleGuideState::NoImage:
        Guide.AddLabel("Select an image to digitize.", false);
        Guide.AddLink("Open an existing file");
        Guide.AddLink("Scan an image");
        break;
    case EIdleGuideState::NoCoordinateSystem:
        Guide.AddLink("Specify the coordinate system",
                      " for the image. This associates real-world values with on-screen "
                      "coordinates.");
        Guide.AddStyledLabel("Tip: ", GuideBold, false);
        Guide.AddLink("Zoom in", " to facilitate coordinate system definition.", true);
        break;
    case EIdleGuideState::CoordinateSystem:
        Guide.AddLabel("Create a digitization to start digitizing:", false);
        Guide.AddLink("Functional",
                      " digitizations follow lines from left to right without going back in the "
                      "X direction.");
        Guide.AddLink("Non-functional",
                      " digitizations can go back in the X direction, even in circles.");
        Guide.AddLink("Scatter", " digitizations collect data for individual points.");
        break;
    }
}

EGuideLinkReaction GuideLinkReaction(const QString& LinkText) {
    static const std::array<std::pair<const char*, EGuideLinkReaction>, 14> Table{{
        {"Functional", EGuideLinkReaction::NewFunctionalLine},
        {"Non-functional", EGuideLinkReaction::NewNonfunctionalLine},
        {"Scatter", EGuideLinkReaction::NewScatter},
        {"Specify the coordinate system", EGuideLinkReaction::DefineCoordinateSystem},
        {"Zoom in", EGuideLinkReaction::ZoomToArea},
        {"Open an existing file", EGuideLinkReaction::OpenFile},
        {"Scan an image", EGuideLinkReaction::ImportMenu},
        {"Sort", EGuideLinkReaction::SortMenu},
        {"Save", EGuideLinkReaction::Export},
        {"Back up", EGuideLinkReaction::DigitizeBack},
        {"Erase", EGuideLinkReaction::Erase},
        {"Undo", EGuideLinkReaction::Undo},
        {"Resume", EGuideLinkReaction::Resume},
        {"Mark", EGuideLinkReaction::Mark},
    }};
    for (const auto& [Text, Reaction] : Table)
        if (LinkText == QLatin1String(Text))
            return Reaction;
    return EGuideLinkReaction::None;
}

} // namespace korvane
