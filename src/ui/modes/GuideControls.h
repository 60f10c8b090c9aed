#pragma once

#include "core/Persistent.h"

#include <QEvent>
#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace korvane {

class TGuideContentContainer;

// Font style bits given to titles and styled labels.
enum EGuideFontStyle : unsigned {
    GuideBold = 1,
    GuideItalic = 2,
    GuideUnderline = 4,
    GuideStrikeOut = 8,
};

// Adds the style bits to the label's font.
void AddFontStyle(QLabel& Label, unsigned StyleFlags);

// A clickable guide link: underlined pure blue text, pointing-hand cursor, sized to its text.
// The click handler is called when the left mouse button is released over the label.
class TLinkLabel : public QLabel {
public:
    using TClickHandler = std::function<void(TLinkLabel&)>;

    explicit TLinkLabel(const QString& Text, QWidget* Parent = nullptr);

    void SetClickHandler(TClickHandler Handler) { FOnClick = std::move(Handler); }

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    TClickHandler FOnClick;
};

// The queued notification of a clicked guide link. It carries copies of the link's text and of
// its bottom-right corner in global coordinates, never the label: the guide may be cleared
// before the event is handled.
inline constexpr QEvent::Type GuideLinkEventType = static_cast<QEvent::Type>(QEvent::User + 0x191);

class TGuideLinkEvent : public QEvent {
public:
    TGuideLinkEvent(TGuideContentContainer* Container, const QString& Text, const QPoint& Anchor)
        : QEvent(GuideLinkEventType), FContainer(Container), FText(Text), FAnchor(Anchor) {}

    TGuideContentContainer* Container() const { return FContainer; }
    const QString& Text() const { return FText; }
    const QPoint& Anchor() const { return FAnchor; }

private:
    TGuideContentContainer* FContainer;
    QString FText;
    QPoint FAnchor;
};

// Builds the guide's flow of labels on a host widget. The labels belong to the host; the
// container keeps no list of them.
class TGuideContentContainer : public TPersistent {
public:
    TGuideContentContainer();
    ~TGuideContentContainer() override;
    TGuideContentContainer(const TGuideContentContainer&) = delete;
    TGuideContentContainer& operator=(const TGuideContentContainer&) = delete;

    std::string ClassName() const override { return "TGuideContentContainer"; }

    void SetHost(QWidget* Host);
    QWidget* Host() const { return FHost; }

    // Where clicked links are posted as TGuideLinkEvent (normally the main window).
    void SetReceiver(QObject* Receiver) { FReceiver = Receiver; }
    QObject* Receiver() const { return FReceiver; }

    // Objects owned by the container and freed with it.
    std::vector<std::unique_ptr<TPersistent>>& Objects() { return FObjects; }

    // Removes and frees every control of the host.
    void Clear();

    // A full-width label stacked at the top of the host, with the style bits added.
    QLabel* AddTitle(const QString& Text, unsigned StyleFlags);
    // A label filling the rest of the host, its text wrapped to the host's width.
    QLabel* AddText(const QString& Text);
    QLabel* AddLabel(const QString& Text, bool BesideLast);
    QLabel* AddStyledLabel(const QString& Text, unsigned StyleFlags, bool BesideLast);
    // A link followed, on the same line, by a plain label with the following text (empty
    // when none is given). Answers the link.
    TLinkLabel* AddLink(const QString& LinkText, const QString& FollowingText = QString(),
                        bool BesideLast = false);

    // Queues the guide-link notification for the clicked link.
    void LinkClicked(TLinkLabel& Link);

    // Places a label on the host: the first at the top-left corner, later ones either 2 pixels
    // under the control added last or right of it on the same base line. A label whose text
    // does not fit the host's width on one line wraps within it, and so do the labels placed
    // earlier whenever the host's width changes.
    void Place(QLabel& Label, bool BesideLast);

    // Told the height the guide's content needs at the host's width after every change of
    // its layout (the main window lets the guide scroll when that is more than it shows).
    std::function<void(int)> OnContentHeight;

private:
    class THostWatcher;

    std::vector<QWidget*> Controls() const;
    void Realign();

    std::vector<std::unique_ptr<TPersistent>> FObjects;
    QPointer<QWidget> FHost;
    QPointer<QObject> FReceiver;
    std::unique_ptr<THostWatcher> FWatcher;
};

// What the document offers when no mode fills the guide.
enum class EIdleGuideState { NoImage, NoCoordinateSystem, CoordinateSystem };

// Clears the guide and fills it with the idle guide for the state.
void FillIdleGuide(TGuideContentContainer& Guide, EIdleGuideState State);

// What the main window does for a clicked guide link no mode handled.
enum class EGuideLinkReaction {
    None,
    NewFunctionalLine,
    NewNonfunctionalLine,
    NewScatter,
    DefineCoordinateSystem,
    ZoomToArea,
    OpenFile,
    ImportMenu,
    SortMenu,
    Export,
    DigitizeBack,
    Erase,
    Undo,
    Resume,
    Mark,
};

EGuideLinkReaction GuideLinkReaction(const QString& LinkText);

} // namespace korvane
