#include "ui/modes/GuideControls.h"

#include "interaction/ApplicationModes.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace korvane {
namespace {

std::vector<QLabel*> Labels(QWidget& Host) {
    std::vector<QLabel*> Result;
    for (QObject* Child : Host.children())
        if (auto* Label = qobject_cast<QLabel*>(Child))
            Result.push_back(Label);
    return Result;
}

int RightOf(const QWidget* W) {
    return W->x() + W->width();
}
int BottomOf(const QWidget* W) {
    return W->y() + W->height();
}

struct TGuideFixture : ::testing::Test {
    TGuideFixture() {
        Host.resize(600, 200);
        Guide.SetHost(&Host);
    }
    QWidget Host;
    TGuideContentContainer Guide;
};

// Records guide-link events as they arrive.
class TReceiver : public QObject {
public:
    struct TLink {
        QString Text;
        QPoint Anchor;
        TGuideContentContainer* Container;
    };
    std::vector<TLink> Links;

protected:
    bool event(QEvent* Event) override {
        if (Event->type() != GuideLinkEventType)
            return QObject::event(Event);
        auto* Link = static_cast<TGuideLinkEvent*>(Event);
        Links.push_back({Link->Text(), Link->Anchor(), Link->Container()});
        return true;
    }
};

void Release(QWidget& Widget, QPoint At, Qt::MouseButton Button = Qt::LeftButton) {
    QMouseEvent Press(QEvent::MouseButtonPress, At, Widget.mapToGlobal(At), Button, Button,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&Widget, &Press);
    QMouseEvent Up(QEvent::MouseButtonRelease, At, Widget.mapToGlobal(At), Button, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(&Widget, &Up);
}

TEST_F(TGuideFixture, PlacesLabelsBelowAndBesideTheControlAddedLast) {
    QLabel* First = Guide.AddLabel("First", true);
    EXPECT_EQ(First->pos(), QPoint(0, 0)) << "the first label ignores besideLast";

    QLabel* Second = Guide.AddLabel("Second", false);
    EXPECT_EQ(Second->pos(), QPoint(0, BottomOf(First) + 2));
    EXPECT_GT(Second->width(), 0);
    EXPECT_GT(Second->height(), 0);

    // A taller label followed by one beside it: same base line, directly right of it.
    auto* Big = new QLabel("Big", &Host);
    QFont BigFont = Big->font();
    BigFont.setPixelSize(40);
    Big->setFont(BigFont);
    Guide.Place(*Big, false);
    EXPECT_EQ(Big->pos(), QPoint(0, BottomOf(Second) + 2));
    QLabel* Small = Guide.AddLabel("small", true);
    ASSERT_LT(Small->height(), Big->height());
    EXPECT_EQ(Small->x(), RightOf(Big));
    EXPECT_EQ(BottomOf(Small), BottomOf(Big));

    // A link without following text still gets an empty label beside it, and the next label
    // placed below is measured from that empty label.
    TLinkLabel* Link = Guide.AddLink("Open", QString(), false);
    EXPECT_EQ(Link->pos(), QPoint(0, BottomOf(Big) + 2));
    std::vector<QLabel*> All = Labels(Host);
    ASSERT_EQ(All.size(), 6u);
    QLabel* Empty = All.back();
    EXPECT_TRUE(Empty->text().isEmpty());
    EXPECT_EQ(Empty->x(), RightOf(Link));
    EXPECT_EQ(BottomOf(Empty), BottomOf(Link));
    QLabel* After = Guide.AddLabel("After", false);
    EXPECT_EQ(After->pos(), QPoint(0, BottomOf(Empty) + 2));

    Guide.Clear();
    EXPECT_TRUE(Host.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(Guide.AddLabel("Again", true)->pos(), QPoint(0, 0));
}

TEST_F(TGuideFixture, TitlesStackAtTheTopAndTextFillsTheRest) {
    QFont HostFont = Host.font();
    HostFont.setPixelSize(15);
    Host.setFont(HostFont);
    QLabel* Title = Guide.AddTitle("Title", GuideBold);
    QLabel* Line = Guide.AddTitle("Second line", 0);
    QLabel* Text = Guide.AddText("Some longer explanation of what the mode expects.");
    EXPECT_TRUE(Title->font().bold());
    EXPECT_FALSE(Line->font().bold());
    EXPECT_EQ(Title->geometry(), QRect(0, 0, 600, Title->height()));
    EXPECT_EQ(Line->geometry(), QRect(0, BottomOf(Title), 600, Line->height()));
    EXPECT_EQ(Text->geometry(), QRect(0, BottomOf(Line), 600, 200 - BottomOf(Line)));
    EXPECT_TRUE(Text->wordWrap());

    Host.show(); // a hidden widget gets its resize events only when shown
    Host.resize(300, 400);
    EXPECT_EQ(Title->width(), 300);
    EXPECT_EQ(Text->geometry(), QRect(0, BottomOf(Line), 300, 400 - BottomOf(Line)));
}

TEST_F(TGuideFixture, LinkLooksLikeALinkWhateverTheHostFont) {
    QFont HostFont = Host.font();
    HostFont.setBold(true);
    Host.setFont(HostFont);
    TLinkLabel* Link = Guide.AddLink("Save", " the data.", false);
    EXPECT_TRUE(Link->font().underline());
    EXPECT_FALSE(Link->font().bold());
    EXPECT_EQ(Link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(Link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Link->size(), Link->sizeHint());
}

TEST_F(TGuideFixture, IdleGuideForEachDocumentState) {
    struct TCase {
        EIdleGuideState State;
        std::vector<QString> Texts; // links marked by a leading '>'
    };
    const std::vector<TCase> Cases = {
        {EIdleGuideState::NoImage,
         {"Select an image to digitize.", ">Open an existing file", "", ">Scan an image", ""}},
        {EIdleGuideState::NoCoordinateSystem,
         {">Specify the coordinate system",
          " for the image. This associates real-world values with on-screen coordinates.",
          "Tip: ", ">Zoom in", " to facilitate coordinate system definition."}},
        {EIdleGuideState::CoordinateSystem,
         {"Create a digitization to start digitizing:", ">Functional",
          " digitizations follow lines from left to right without going back in the X direction.",
          ">Non-functional", " digitizations can go back in the X direction, even in circles.",
          ">Scatter", " digitizations collect data for individual points."}},
    };
    Guide.AddLabel("left over from a mode", false);
    for (const TCase& C : Cases) {
        FillIdleGuide(Guide, C.State);
        std::vector<QString> Texts;
        for (QLabel* Label : Labels(Host))
            Texts.push_back((dynamic_cast<TLinkLabel*>(Label) ? ">" : "") + Label->text());
        EXPECT_EQ(Texts, C.Texts) << int(C.State);
    }

    // "Zoom in" continues the bold "Tip: " line, and its text continues after it.
    FillIdleGuide(Guide, EIdleGuideState::NoCoordinateSystem);
    const std::vector<QLabel*> L = Labels(Host);
    ASSERT_EQ(L.size(), 5u);
    EXPECT_TRUE(L[2]->font().bold());
    EXPECT_EQ(L[2]->pos(), QPoint(0, BottomOf(L[1]) + 2));
    EXPECT_EQ(L[3]->x(), RightOf(L[2]));
    EXPECT_EQ(BottomOf(L[3]), BottomOf(L[2]));
    EXPECT_EQ(L[4]->x(), RightOf(L[3]));
    EXPECT_EQ(BottomOf(L[4]), BottomOf(L[3]));
}

TEST_F(TGuideFixture, ClickIsPostedWithTextAndAnchorAndSurvivesClearing) {
    TReceiver Receiver;
    Guide.SetReceiver(&Receiver);
    Host.move(100, 50);
    Guide.AddLabel("Select an image to digitize.", false);
    TLinkLabel* Link = Guide.AddLink("Scan an image");
    const QPoint Anchor = Host.mapToGlobal(QPoint(RightOf(Link), BottomOf(Link)));

    // Only a left-button release over the link counts.
    Release(*Link, QPoint(2, 2), Qt::RightButton);
    Release(*Link, QPoint(Link->width() + 5, 2));
    QCoreApplication::sendPostedEvents(&Receiver, GuideLinkEventType);
    EXPECT_TRUE(Receiver.Links.empty());

    Release(*Link, QPoint(2, 2));
    EXPECT_TRUE(Receiver.Links.empty()) << "handled only after the click has returned";

    // The guide is rebuilt before the notification is handled: the label is gone by then.
    Guide.Clear();
    QCoreApplication::sendPostedEvents(&Receiver, GuideLinkEventType);
    ASSERT_EQ(Receiver.Links.size(), 1u);
    EXPECT_EQ(Receiver.Links[0].Text, "Scan an image");
    EXPECT_EQ(Receiver.Links[0].Anchor, Anchor);
    EXPECT_EQ(Receiver.Links[0].Container, &Guide);
}

TEST(GuideLinkReaction, MapsEveryLinkTextAndNothingElse) {
    const std::vector<std::pair<QString, EGuideLinkReaction>> Cases = {
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
        {"", EGuideLinkReaction::None},
        {"mark", EGuideLinkReaction::None},
        {"Save ", EGuideLinkReaction::None},
        {"Functional digitizations", EGuideLinkReaction::None},
    };
    for (const auto& [Text, Reaction] : Cases)
        EXPECT_EQ(GuideLinkReaction(Text), Reaction) << Text.toStdString();
}

TEST(GuideContainer, IsTheClassTheModeManagerTakes) {
    TGuideContentContainer Guide;
    TModeManager Manager;
    Manager.SetGuideContainer(&Guide);
    EXPECT_EQ(Manager.GuideContainer(), &Guide);
}

TEST_F(TGuideFixture, LongLabelsWrapWithinTheHostAndNothingOverlaps) {
    int Needed = 0;
    Guide.OnContentHeight = [&](int Height) { Needed = Height; };
    Host.resize(220, 100);
    const QString Long = "A long explanation that cannot possibly fit on one line of this guide.";
    QLabel* First = Guide.AddLabel(Long, false);
    TLinkLabel* Link = Guide.AddLink("Link", " followed by text that is also far too long for it.");
    QLabel* Last = Guide.AddLabel("Last", false);
    const std::vector<QLabel*> All = Labels(Host);
    ASSERT_EQ(All.size(), 4u);
    QLabel* Beside = All[2];
    EXPECT_LE(RightOf(First), 220);
    EXPECT_GT(First->height(), 2 * Link->height() - 2) << "wrapped to more than one line";
    EXPECT_EQ(Link->y(), BottomOf(First) + 2);
    // The text beside the link starts on its line and wraps downwards within the host.
    EXPECT_EQ(Beside->x(), RightOf(Link));
    EXPECT_EQ(Beside->y() + Link->height(), BottomOf(Link));
    EXPECT_LE(RightOf(Beside), 220);
    EXPECT_GT(BottomOf(Beside), BottomOf(Link));
    EXPECT_EQ(Last->y(), BottomOf(Beside) + 2);
    EXPECT_EQ(Needed, BottomOf(Last));

    // Wider, everything goes back on one line each and moves up.
    Host.show();
    Host.resize(2000, 100);
    EXPECT_EQ(First->height(), Link->height());
    EXPECT_EQ(Link->y(), BottomOf(First) + 2);
    EXPECT_EQ(Last->y(), BottomOf(Beside) + 2);
    EXPECT_EQ(BottomOf(Beside), BottomOf(Link));
    EXPECT_EQ(Needed, BottomOf(Last));
}

} // namespace
} // namespace korvane
