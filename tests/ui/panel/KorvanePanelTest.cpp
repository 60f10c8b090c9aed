#include "ui/panel/KorvanePanel.h"

#include "core/Numerics.h"
#include "ui/panel/Magnifier.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

// Image pixel (x, y) has the colour (x, y, 100): every pixel of a small image is unique.
QImage Pattern(int Width, int Height) {
    QImage Image(Width, Height, QImage::Format_RGB888);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            Image.setPixel(X, Y, qRgb(X, Y, 100));
    return Image;
}

QImage Filled(int Width, int Height, QRgb Color) {
    QImage Image(Width, Height, QImage::Format_RGB888);
    Image.fill(Color);
    return Image;
}

QRgb Shown(const TKorvanePanel& Panel, int X, int Y) {
    return Panel.Composition().pixel(X, Y);
}

QRgb ImagePixel(const TKorvanePanel& Panel, int X, int Y) {
    return Panel.Image().pixel(X, Y);
}

// A shown panel of the given size (the usable size reaches the view on the first resize).
struct TPanelFixture {
    TKorvanePanel Panel;
    TPanelFixture(int Width, int Height, QImage Image) {
        Panel.resize(Width, Height);
        Panel.show();
        Panel.SetImage(std::move(Image));
    }
    QWidget& Box() const { return *Panel.PaintBox(); }
    const TScaleSystem& View() const { return Panel.CurrentScaleSystem(); }

    void Send(QEvent::Type Type, QPoint P, Qt::MouseButton Button = Qt::NoButton) {
        const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton
                                      : Button != Qt::NoButton           ? Qt::MouseButtons(Button)
                                                                         : FHeld;
        FHeld = Held;
        QMouseEvent Event(Type, QPointF(P), Box().mapToGlobal(QPointF(P)), Button, Held,
                          Qt::NoModifier);
        QApplication::sendEvent(&Box(), &Event);
    }
    void Press(QPoint P) { Send(QEvent::MouseButtonPress, P, Qt::LeftButton); }
    void Move(QPoint P) { Send(QEvent::MouseMove, P); }
    void Release(QPoint P) { Send(QEvent::MouseButtonRelease, P, Qt::LeftButton); }
    void Leave() {
        QEvent Event(QEvent::Leave);
        QApplication::sendEvent(&Box(), &Event);
    }
    void Enter(QPoint P) {
        const QPointF Local(P);
        QEnterEvent Event(Local, Local, Box().mapToGlobal(Local));
        QApplication::sendEvent(&Box(), &Event);
    }

private:
    Qt::MouseButtons FHeld;
};

// The device pixels each image pixel covers: from MulDiv(x - WindowOrg, ViewportExt,
// WindowExt) up to the next pixel's start; -1 where no image pixel shows.
std::vector<int> ExpectedPixels(std::int32_t Org, std::int32_t WindowExt, std::int32_t ViewportExt,
                                int ImageSize, int DeviceSize) {
    std::vector<int> Pixels(DeviceSize, -1);
    for (int X = 0; X < ImageSize; ++X) {
        const int Start = MulDiv(X - Org, ViewportExt, WindowExt);
        const int End = MulDiv(X + 1 - Org, ViewportExt, WindowExt);
        for (int D = std::max(Start, 0); D < std::min(End, DeviceSize); ++D)
            Pixels[D] = X;
    }
    return Pixels;
}

void ExpectComposedThroughMapping(const TKorvanePanel& Panel) {
    const TScaleSystem& V = Panel.CurrentScaleSystem();
    const QSize Box = Panel.PaintBox()->size();
    ASSERT_EQ(Panel.Composition().size(), Box);
    const auto Columns = ExpectedPixels(V.WindowOrg.X, V.WindowExt.X, V.ViewportExt.X,
                                        Panel.Image().width(), Box.width());
    const auto Rows = ExpectedPixels(V.WindowOrg.Y, V.WindowExt.Y, V.ViewportExt.Y,
                                     Panel.Image().height(), Box.height());
    int Wrong = 0;
    for (int Y = 0; Y < Box.height(); ++Y)
        for (int X = 0; X < Box.width(); ++X) {
            ASSERT_GE(Columns[X], 0) << "column " << X;
            ASSERT_GE(Rows[Y], 0) << "row " << Y;
            if (Shown(Panel, X, Y) != qRgb(Columns[X], Rows[Y], 100) && ++Wrong <= 5)
                ADD_FAILURE() << "device (" << X << ", " << Y << ") should show image ("
                              << Columns[X] << ", " << Rows[Y] << ")";
        }
    EXPECT_EQ(Wrong, 0);
}

struct TPaintLog : IPanelListener {
    std::function<void()> OnPainted;
    int Widths = 0;
    void PanelPainted(TPanZoomView&) override {
        if (OnPainted)
            OnPainted();
    }
    void PenStateChanged(TPanZoomView&) override {}
    void PenWidthChanged(TPanZoomView&) override { ++Widths; }
};

} // namespace

TEST(KorvanePanel, ComposesTheImageThroughTheViewMapping) {
    // Zoom 2: every image pixel is an exact 2 x 2 block.
    TPanelFixture Twice(200, 200, Pattern(6, 4));
    Twice.Panel.View().ZoomBy(0.5);
    Twice.Panel.RepaintImage();
    ASSERT_EQ(Twice.View().WindowExt, (TLongintPoint{3, 2}));
    EXPECT_EQ(Twice.Box().size(), QSize(12, 8));
    for (int Y = 0; Y < 8; ++Y)
        for (int X = 0; X < 12; ++X)
            ASSERT_EQ(Shown(Twice.Panel, X, Y), qRgb(X / 2, Y / 2, 100)) << X << ", " << Y;

    // Zoom 4/3 (blocks of one and two pixels), scrolled: the origin is image pixel (5, 3).
    TPanelFixture Scrolled(60, 50, Pattern(60, 45));
    Scrolled.Panel.View().ZoomBy(TPanZoomView::ZoomInFactor);
    Scrolled.Panel.View().ScrollHorizontally(5);
    Scrolled.Panel.View().ScrollVertically(3);
    ASSERT_EQ(Scrolled.View().WindowOrg, (TLongintPoint{5, 3}));
    ASSERT_EQ(Scrolled.View().WindowExt, (TLongintPoint{45, 33}));
    ExpectComposedThroughMapping(Scrolled.Panel);
    EXPECT_EQ(Shown(Scrolled.Panel, 0, 0), qRgb(5, 3, 100));

    // A stale view (zoomed without a repaint) is composed again before it is shown.
    Scrolled.Panel.View().ZoomBy(TPanZoomView::ZoomOutFactor);
    QApplication::processEvents();
    ExpectComposedThroughMapping(Scrolled.Panel);
}

TEST(KorvanePanel, SmallImageSitsTopLeftWithoutScrollBars) {
    QImage Argb(100, 80, QImage::Format_ARGB32);
    Argb.fill(qRgb(10, 20, 30));
    TPanelFixture F(300, 200, Argb);
    EXPECT_EQ(F.Panel.Image().format(), QImage::Format_RGB888);
    EXPECT_EQ(F.Box().geometry(), QRect(0, 0, 100, 80));
    EXPECT_EQ(F.Panel.Composition().size(), QSize(100, 80));
    EXPECT_TRUE(F.Panel.HorzScrollBar()->isHidden());
    EXPECT_TRUE(F.Panel.VertScrollBar()->isHidden());
    EXPECT_EQ(Shown(F.Panel, 99, 79), qRgb(10, 20, 30));

    // Without an image the box fills the panel with its background.
    F.Panel.ClearImage();
    EXPECT_FALSE(F.Panel.HasImage());
    EXPECT_EQ(F.Box().geometry(), QRect(0, 0, 300, 200));
    EXPECT_EQ(Shown(F.Panel, 150, 100), F.Panel.palette().color(QPalette::Window).rgb());
}

TEST(KorvanePanel, ScrollBarsFollowTheViewAndMoveIt) {
    TPanelFixture F(200, 150, Pattern(250, 250));
    QScrollBar& H = *F.Panel.HorzScrollBar();
    QScrollBar& V = *F.Panel.VertScrollBar();
    const TScrollBarState& HS = F.Panel.View().HorzScrollBar();
    const TScrollBarState& VS = F.Panel.View().VertScrollBar();
    ASSERT_TRUE(HS.Visible && VS.Visible);
    EXPECT_FALSE(H.isHidden());
    EXPECT_FALSE(V.isHidden());
    EXPECT_EQ(H.focusPolicy(), Qt::NoFocus);
    // The horizontal bar at the bottom ends where the vertical one begins.
    EXPECT_EQ(H.geometry().bottom(), 149);
    EXPECT_EQ(H.geometry().right() + 1, V.geometry().left());
    EXPECT_EQ(V.geometry().right(), 199);
    EXPECT_EQ(V.geometry().bottom() + 1, H.geometry().top());
    EXPECT_EQ(F.Box().size(), QSize(V.geometry().left(), H.geometry().top()));
    // Qt's maximum is the last position the view allows.
    EXPECT_EQ(H.maximum(), HS.LastPosition());
    EXPECT_EQ(H.pageStep(), HS.PageSize);
    EXPECT_EQ(H.singleStep(), 2);

    // The view scrolls: the bar follows.
    F.Panel.View().ScrollHorizontally(30);
    EXPECT_EQ(H.value(), 30);
    // The user moves the bars: the view follows and shows the new origin.
    H.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(F.View().WindowOrg.X, 32);
    H.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(F.View().WindowOrg.X, std::min(32 + HS.PageSize, HS.LastPosition()));
    V.setValue(1000);
    EXPECT_EQ(F.View().WindowOrg.Y, VS.LastPosition());
    EXPECT_EQ(Shown(F.Panel, 0, 0), qRgb(F.View().WindowOrg.X, VS.LastPosition(), 100));
    ExpectComposedThroughMapping(F.Panel);
}

TEST(KorvanePanel, DrawsSetScalePointsAsGreenDots) {
    TPanelFixture F(100, 100, Filled(40, 40, qRgb(255, 255, 255)));
    F.Panel.Scale().SetFirstScalePoint({10, 10}, {0.0, 0.0});
    EXPECT_EQ(Shown(F.Panel, 11, 11), qRgb(255, 255, 255)); // not shown yet
    F.Panel.SetShowScalePoints(true);
    // At actual size the point's screen position is (11, 11): a circle in (7, 7) .. (14, 14).
    const std::vector<std::string> Expected = {
        // columns 6 .. 15
        "..........", // row 6
        "...####...", "..######..", ".########.", ".########.",
        ".########.", ".########.", "..######..", "...####...",
        "..........", // row 15
    };
    for (int J = 0; J < 10; ++J)
        for (int I = 0; I < 10; ++I) {
            const bool Green = Shown(F.Panel, 6 + I, 6 + J) == qRgb(0, 255, 0);
            EXPECT_EQ(Green, Expected[J][I] == '#') << "(" << 6 + I << ", " << 6 + J << ")";
        }
    F.Panel.Scale().ClearFirstScalePoint();
    EXPECT_EQ(Shown(F.Panel, 11, 11), qRgb(255, 255, 255));
}

TEST(KorvanePanel, RubberBandInvertsAndRestoresExactly) {
    TPanelFixture F(200, 200, Pattern(80, 60));
    const QImage Original = F.Panel.Composition().copy();
    F.Panel.View().SetSelecting(true);
    ASSERT_TRUE(F.Panel.View().RubberBand().SetBandWidth(3));
    F.Press({5, 5});
    EXPECT_EQ(F.Panel.Composition(), Original); // nothing drawn before the first move
    F.Move({30, 20});
    const QImage Banded = F.Panel.Composition().copy();
    // Dotted: (5, 5) is inverted, (6, 5) not; the outer frame of three starts at (3, 3).
    EXPECT_EQ(Shown(F.Panel, 5, 5), (Original.pixel(5, 5) ^ 0xFFFFFFu));
    EXPECT_EQ(Shown(F.Panel, 6, 5), Original.pixel(6, 5));
    EXPECT_EQ(Shown(F.Panel, 3, 3), (Original.pixel(3, 3) ^ 0xFFFFFFu));
    EXPECT_EQ(Shown(F.Panel, 2, 2), Original.pixel(2, 2));
    EXPECT_EQ(Shown(F.Panel, 15, 12), Original.pixel(15, 12)); // inside
    // A repaint while the band is shown keeps it, so that erasing it still restores.
    F.Panel.RepaintImage();
    EXPECT_EQ(F.Panel.Composition(), Banded);
    F.Panel.RepaintDeviceRect({0, 0, 12, 12});
    EXPECT_EQ(F.Panel.Composition(), Banded);
    F.Move({40, 25});
    F.Release({40, 25});
    EXPECT_FALSE(F.Panel.View().RubberBandActive());
    EXPECT_EQ(F.Panel.Composition(), Original);
}

TEST(KorvanePanel, CrossHairFollowsTheMouseAndLeavesNoTrace) {
    TPanelFixture F(200, 200, Pattern(80, 60));
    const QImage Original = F.Panel.Composition().copy();
    F.Panel.View().SetUseSpanningCursor(true);
    F.Move({10, 10});
    F.Move({20, 15});
    // Two inverted dotted strips through (20, 15) across the whole view.
    EXPECT_EQ(Shown(F.Panel, 20, 40), (Original.pixel(20, 40) ^ 0xFFFFFFu));
    EXPECT_EQ(Shown(F.Panel, 19, 41), (Original.pixel(19, 41) ^ 0xFFFFFFu));
    EXPECT_EQ(Shown(F.Panel, 79, 15), (Original.pixel(79, 15) ^ 0xFFFFFFu));
    EXPECT_EQ(Shown(F.Panel, 10, 40), Original.pixel(10, 40)); // the old one is gone
    const QImage Crossed = F.Panel.Composition().copy();
    F.Panel.RepaintImage();
    EXPECT_EQ(F.Panel.Composition(), Crossed);
    F.Leave();
    EXPECT_EQ(F.Panel.Composition(), Original);
}

TEST(KorvanePanel, ListenersDrawThroughTheRepaintedPart) {
    TPanelFixture F(100, 100, Filled(50, 50, qRgb(255, 255, 255)));
    TPaintLog Log;
    QColor Fill(255, 0, 0);
    Log.OnPainted = [&] { F.Panel.Canvas().fillRect(0, 0, 20, 20, Fill); };
    F.Panel.View().AddListener(&Log);
    F.Panel.RepaintImage();
    EXPECT_EQ(Shown(F.Panel, 19, 19), qRgb(255, 0, 0));
    Fill = QColor(0, 0, 255);
    F.Panel.RepaintDeviceRect({0, 0, 5, 5});
    EXPECT_EQ(Shown(F.Panel, 4, 4), qRgb(0, 0, 255));
    EXPECT_EQ(Shown(F.Panel, 5, 5), qRgb(255, 0, 0)); // outside the repainted part
    // Drawing outside a paint lands on the view as well.
    F.Panel.Canvas().fillRect(30, 30, 2, 2, Qt::black);
    F.Panel.FlushCanvas();
    EXPECT_EQ(Shown(F.Panel, 31, 31), qRgb(0, 0, 0));
    F.Panel.View().RemoveListener(&Log);
}

TEST(KorvanePanel, StrokesReplaceEraseAndMarkPixels) {
    // Columns 0..9 black, 10..19 white, 20..29 grey; the stroke runs along row 5.
    QImage Image(30, 10, QImage::Format_RGB888);
    for (int Y = 0; Y < 10; ++Y)
        for (int X = 0; X < 30; ++X)
            Image.setPixel(X, Y,
                           X < 10   ? qRgb(0, 0, 0)
                           : X < 20 ? qRgb(255, 255, 255)
                                    : qRgb(128, 128, 128));
    struct TCase {
        int Mode;
        QRgb Black, White, Grey;
    };
    const std::vector<TCase> Cases = {
        {TKorvanePanel::pmReplacing, qRgb(200, 0, 0), qRgb(200, 0, 0), qRgb(200, 0, 0)},
        {TKorvanePanel::pmErasing, qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 255, 255)},
        // The default teal scaled by 1.05 is ORed in.
        {TKorvanePanel::pmMarking, qRgb(0, 134, 134), qRgb(255, 255, 255), qRgb(128, 134, 134)},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(TKorvanePanel::PaintModeNames[C.Mode]);
        TPanelFixture F(100, 100, Image);
        F.Panel.SetReplacingColor(RGB(200, 0, 0)); // not painting yet: the pen still follows
        F.Panel.SetPaintMode(C.Mode);
        F.Panel.View().SetPainting(true);
        F.Panel.SetPenWidth(3);
        F.Panel.View().SetPenDown(true);
        F.Move({2, 5});
        F.Move({27, 5});
        for (int Row : {4, 5, 6}) {
            EXPECT_EQ(ImagePixel(F.Panel, 5, Row), C.Black);
            EXPECT_EQ(ImagePixel(F.Panel, 15, Row), C.White);
            EXPECT_EQ(ImagePixel(F.Panel, 25, Row), C.Grey);
        }
        EXPECT_EQ(ImagePixel(F.Panel, 15, 2), qRgb(255, 255, 255));
        EXPECT_EQ(ImagePixel(F.Panel, 15, 8), qRgb(255, 255, 255));
        // The changed part is shown at once.
        EXPECT_EQ(Shown(F.Panel, 25, 5), C.Grey);
        EXPECT_EQ(Shown(F.Panel, 5, 4), C.Black);
    }
}

TEST(KorvanePanel, LeavingTheBoxStartsANewStroke) {
    TPanelFixture F(100, 100, Filled(60, 60, qRgb(255, 255, 255)));
    F.Panel.View().SetPainting(true);
    F.Panel.View().SetPenDown(true);
    F.Move({10, 10});
    F.Move({12, 10});
    EXPECT_EQ(ImagePixel(F.Panel, 11, 10), qRgb(0, 0, 0));
    F.Leave();
    F.Enter({30, 30});
    F.Move({30, 30});
    EXPECT_EQ(ImagePixel(F.Panel, 20, 20), qRgb(255, 255, 255)); // no line across the gap
    EXPECT_EQ(ImagePixel(F.Panel, 30, 30), qRgb(255, 255, 255)); // only moved there
    F.Move({32, 30});
    EXPECT_EQ(ImagePixel(F.Panel, 31, 30), qRgb(0, 0, 0));
}

TEST(KorvanePanel, PenWidthIsLimitedByTheZoom) {
    TPanelFixture F(500, 500, Filled(200, 200, qRgb(255, 255, 255)));
    TPaintLog Log;
    F.Panel.View().ZoomBy(0.5);
    F.Panel.View().AddListener(&Log);
    F.Panel.SetPenWidth(50);
    EXPECT_EQ(F.Panel.PenWidth(), 31); // without a coordinate system
    for (int Width : {0, -3}) {
        F.Panel.SetPenWidth(Width);
        EXPECT_EQ(F.Panel.PenWidth(), 1);
    }
    EXPECT_EQ(Log.Widths, 3);

    F.Panel.Scale().SetFirstScalePoint({20, 380}, {0.0, 0.0});
    F.Panel.Scale().SetSkewPoint({380, 380});
    F.Panel.Scale().SetSecondScalePoint({380, 20}, {1.0, 1.0});
    F.Panel.Scale().DefineScale(false, false);
    F.Panel.SetPenWidth(50);
    EXPECT_EQ(F.Panel.PenWidth(), 15); // 31 x 100 / 200
    // Zooming re-limits the width: zoom 4 allows 7.
    F.Panel.View().ZoomBy(0.5);
    EXPECT_EQ(F.Panel.PenWidth(), 7);
    F.Panel.View().RemoveListener(&Log);

    TKorvanePanel Empty;
    Empty.SetPenWidth(5);
    EXPECT_EQ(Empty.PenWidth(), 1);
}

TEST(KorvanePanel, AWidePenStillLeavesItsDot) {
    // Zoomed far out the pen may be tens of thousands of image pixels wide; a stroke that does
    // not move leaves a round dot that covers this whole image.
    TPanelFixture F(100, 100, Filled(60, 60, qRgb(255, 255, 255)));
    F.Panel.Scale().SetFirstScalePoint({5, 50}, {0.0, 0.0});
    F.Panel.Scale().SetSkewPoint({50, 50});
    F.Panel.Scale().SetSecondScalePoint({50, 5}, {1.0, 1.0});
    F.Panel.Scale().DefineScale(false, false);
    F.Panel.View().ZoomBy(3000.0);
    F.Panel.View().SetPainting(true);
    F.Panel.SetPenWidth(50000);
    ASSERT_EQ(F.Panel.PenWidth(), 50000);
    F.Panel.View().SetPenDown(true);
    F.Move({0, 0});
    F.Move({0, 0});
    int White = 0;
    for (int Y = 0; Y < 60; ++Y)
        for (int X = 0; X < 60; ++X)
            White += ImagePixel(F.Panel, X, Y) != qRgb(0, 0, 0);
    EXPECT_EQ(White, 0);
}

TEST(KorvanePanel, PenCursorOutlinesThePenOnTheScreen) {
    struct TCase {
        int Width;
        double Zoom;  // ZoomBy factor
        int From, To; // the outline's first and last pixel
    };
    const std::vector<TCase> Cases = {
        {4, 0.25, 7, 24},  // side 4 x 4 + 2 = 18
        {1, 1.0, 14, 16},  // side 3
        {20, 0.25, 0, 31}, // 82 pixels: the cursor's border
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Width);
        TPanelFixture F(500, 500, Filled(100, 100, qRgb(255, 255, 255)));
        F.Panel.View().ZoomBy(C.Zoom);
        F.Panel.SetPenWidth(C.Width);
        F.Panel.View().SetPainting(true);
        EXPECT_EQ(F.Panel.View().PaintBoxCursor(), 5);
        const QCursor Cursor = F.Panel.PenCursor();
        EXPECT_EQ(Cursor.hotSpot(), QPoint(16, 16));
        const QImage Shape = Cursor.pixmap().toImage();
        ASSERT_EQ(Shape.size(), QSize(32, 32));
        int Wrong = 0;
        for (int Y = 0; Y < 32; ++Y)
            for (int X = 0; X < 32; ++X) {
                const bool Inside = X >= C.From && X <= C.To && Y >= C.From && Y <= C.To;
                const bool Outline =
                    Inside && (X == C.From || X == C.To || Y == C.From || Y == C.To);
                Wrong += (qAlpha(Shape.pixel(X, Y)) != 0) != Outline;
            }
        EXPECT_EQ(Wrong, 0);
        EXPECT_EQ(F.Box().cursor().pixmap().toImage(), Shape);
        // Leaving painting gives the box its previous cursor back.
        F.Panel.View().SetPainting(false);
        EXPECT_EQ(F.Panel.View().PaintBoxCursor(), CursorBasic);
    }
}

TEST(KorvanePanel, InvalidPaintModeChangesNothing) {
    TPanelFixture F(100, 100, Filled(10, 10, qRgb(255, 255, 255)));
    F.Panel.SetPaintMode(TKorvanePanel::pmMarking);
    const TColor Pen = F.Panel.PenColor();
    EXPECT_EQ(Pen, InvertColor(RGB(0, 134, 134)));
    for (int Mode : {3, -1}) {
        try {
            F.Panel.SetPaintMode(Mode);
            ADD_FAILURE() << "no error for " << Mode;
        } catch (const EKorvane& E) {
            EXPECT_EQ(std::string(E.what()), "Invalid paint mode: " + std::to_string(Mode));
        }
        EXPECT_EQ(F.Panel.PaintMode(), TKorvanePanel::pmMarking);
        EXPECT_EQ(F.Panel.PenColor(), Pen);
    }
    // A new image starts replacing.
    F.Panel.SetImage(Filled(10, 10, qRgb(0, 0, 0)));
    EXPECT_EQ(F.Panel.PaintMode(), TKorvanePanel::pmReplacing);
}

TEST(KorvanePanel, DroppedFilesDeliverTheFirstLocalFile) {
    TKorvanePanel Panel;
    std::vector<QString> Dropped;
    Panel.OnDropFile = [&](const QString& Name) { Dropped.push_back(Name); };
    const auto Drop = [&](const QList<QUrl>& Urls) {
        QMimeData Data;
        Data.setUrls(Urls);
        QDragEnterEvent Enter(QPoint(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Panel, &Enter);
        QDropEvent Event(QPointF(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Panel, &Event);
        return Enter.isAccepted();
    };
    EXPECT_TRUE(Panel.acceptDrops());
    EXPECT_TRUE(Drop({QUrl::fromLocalFile("/tmp/first.png"), QUrl::fromLocalFile("/tmp/b.png")}));
    EXPECT_FALSE(Drop({QUrl("https://example.com/chart.png")}));
    ASSERT_EQ(Dropped.size(), 1u);
    EXPECT_EQ(Dropped[0], QStringLiteral("/tmp/first.png"));
}

TEST(PanelWheel, ScrollsAndZoomsAroundThePointer) {
    TPanelFixture F(300, 200, Filled(1000, 800, qRgb(255, 255, 255)));
    const auto Wheel = [&](QPoint At, QPoint Angle, Qt::KeyboardModifiers Modifiers) {
        QWheelEvent Event(QPointF(At), F.Box().mapToGlobal(QPointF(At)), QPoint(), Angle,
                          Qt::NoButton, Modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&F.Box(), &Event);
    };
    const TScrollBarState& H = F.Panel.View().HorzScrollBar();
    const TScrollBarState& V = F.Panel.View().VertScrollBar();
    // One notch towards the user scrolls down, with Shift to the right; the bars follow.
    Wheel({100, 100}, {0, -120}, Qt::NoModifier);
    EXPECT_EQ(V.Position, 48);
    EXPECT_EQ(H.Position, 0);
    Wheel({100, 100}, {0, -120}, Qt::ShiftModifier);
    EXPECT_EQ(H.Position, 48);
    EXPECT_EQ(F.Panel.HorzScrollBar()->value(), 48);
    Wheel({100, 100}, {0, 240}, Qt::NoModifier);
    EXPECT_EQ(V.Position, 0); // stops at the top

    // Ctrl zooms by notches, and the image pixel under the pointer stays under it.
    const QPoint At(150, 90);
    const TLongintPoint Under = F.View().ScreenToImage({At.x(), At.y()});
    Wheel(At, {0, 60}, Qt::ControlModifier); // half a notch: nothing yet
    EXPECT_EQ(F.Panel.View().ZoomSteps(), 0);
    Wheel(At, {0, 60}, Qt::ControlModifier);
    EXPECT_EQ(F.Panel.View().ZoomSteps(), 1);
    Wheel(At, {0, 240}, Qt::ControlModifier);
    EXPECT_EQ(F.Panel.View().ZoomSteps(), 3);
    EXPECT_EQ(F.View().ScreenToImage({At.x(), At.y()}), Under);
    Wheel(At, {0, -360}, Qt::ControlModifier);
    EXPECT_EQ(F.Panel.View().ZoomSteps(), 0);
    EXPECT_EQ(F.View().WindowExt, (TLongintPoint{1000, 800}));
    EXPECT_EQ(F.View().ScreenToImage({At.x(), At.y()}), Under);
}

TEST(PanelMagnifier, ShowsThePixelsAroundThePointerEnlargedBesideIt) {
    TPanelFixture F(300, 200, Pattern(250, 180));
    TMagnifier& Loupe = F.Panel.Magnifier();
    F.Move({40, 30});
    EXPECT_FALSE(Loupe.Visible()); // off until enabled
    Loupe.SetEnabled(true);
    F.Move({40, 30});
    ASSERT_TRUE(Loupe.Visible());
    const TDeviceRect B = Loupe.Box();
    EXPECT_EQ(B.Left, 40 + TMagnifier::Offset);
    EXPECT_EQ(B.Top, 30 + TMagnifier::Offset);
    EXPECT_EQ(Loupe.Centre(), (TLongintPoint{40, 30}));
    // Each image pixel is a square of Zoom screen pixels; sample the middle of some squares.
    const int Z = TMagnifier::Zoom, R = TMagnifier::Reach;
    for (const QPoint D : {QPoint(0, 0), QPoint(-7, -7), QPoint(7, 3), QPoint(2, -5)}) {
        const int X = B.Left + (D.x() + R) * Z + Z / 2, Y = B.Top + (D.y() + R) * Z + Z / 2;
        EXPECT_EQ(Shown(F.Panel, X, Y) & 0xFFFFFF, qRgb(40 + D.x(), 30 + D.y(), 100) & 0xFFFFFF)
            << D.x() << "," << D.y();
    }
    // The pixel under the pointer is outlined in red.
    EXPECT_EQ(Shown(F.Panel, B.Left + R * Z - 1, B.Top + R * Z + 2) & 0xFFFFFF, 0xFF0000u);

    // Near the paint box's far corner it moves to the other side of the pointer.
    F.Move({290, 190});
    EXPECT_EQ(Loupe.Box().Left, 290 - TMagnifier::Offset - TMagnifier::Side);
    EXPECT_EQ(Loupe.Box().Top, 190 - TMagnifier::Offset - TMagnifier::Side);
    // Where it was, the view shows the image again.
    EXPECT_EQ(Shown(F.Panel, B.Left + 3, B.Top + 3) & 0xFFFFFF,
              qRgb(B.Left + 3, B.Top + 3, 100) & 0xFFFFFF);

    F.Leave();
    EXPECT_FALSE(Loupe.Visible());
    Loupe.SetEnabled(false);
    F.Move({40, 30});
    EXPECT_FALSE(Loupe.Visible());
}
