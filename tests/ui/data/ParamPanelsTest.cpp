#include "ui/data/ApproximatorParamPanels.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

TDoublePointArray Points(const std::vector<TDoublePoint>& List) {
    TDoublePointArray Array;
    for (const TDoublePoint& P : List)
        Array.Add(P);
    return Array;
}

// X = 0 .. 10, one point per unit.
TDoublePointArray ZeroToTen() {
    std::vector<TDoublePoint> List;
    for (int X = 0; X <= 10; ++X)
        List.push_back({double(X), double(X * X)});
    return Points(List);
}

// A parameter set over Data shown in the panel its set names, inside a parent 300 wide.
struct TPanelFixture {
    TPanelFixture(const TApproximatorClassInfo& Class, TDoublePointArray Data)
        : Data(std::move(Data)), Set(CreateParamSet(Class, this->Data)) {
        Parent.resize(300, 200);
        Parent.show();
        Panel = CreateParamPanel(Set->ParamPanelClass(), &Parent);
        Panel->SetParamSet(Set.get());
    }
    ~TPanelFixture() { Panel.reset(); }

    template <class T> T& As() { return dynamic_cast<T&>(*Panel); }
    void Apply() { Panel->ApplyButton()->click(); }

    TDoublePointArray Data;
    std::unique_ptr<TApproximatorParamSet> Set;
    QWidget Parent;
    std::unique_ptr<TApproximatorParamPanel> Panel;
};

TEST(ParamPanels, PanelClassesAndTheirApplyButtons) {
    struct TCase {
        EParamPanelClass Class;
        bool Apply;
        bool StartEditable;
    };
    for (const TCase& C :
         std::vector<TCase>{{EParamPanelClass::FunctionalRawData, false, false},
                            {EParamPanelClass::NonfunctionalRawData, false, false},
                            {EParamPanelClass::CubicSpline, true, true},
                            {EParamPanelClass::ParametricCubicSpline, true, false}}) {
        SCOPED_TRACE(static_cast<int>(C.Class));
        const std::unique_ptr<TApproximatorParamPanel> Panel = CreateParamPanel(C.Class);
        ASSERT_NE(Panel, nullptr);
        ASSERT_EQ(Panel->ApplyButton() != nullptr, C.Apply);
        EXPECT_EQ(Panel->StartEditable(), C.StartEditable);
        EXPECT_FALSE(Panel->EndEditable());
        if (C.Apply) {
            EXPECT_EQ(Panel->ApplyButton()->text(), "A&pply");
            EXPECT_EQ(Panel->ApplyButton()->size(), QSize(48, 21));
        }
    }
    EXPECT_EQ(CreateParamPanel(EParamPanelClass::None), nullptr);
    EXPECT_NE(dynamic_cast<TNonfunctionalRawDataParamPanel*>(
                  CreateParamPanel(EParamPanelClass::NonfunctionalRawData).get()),
              nullptr);
}

TEST(ParamPanels, RangeTextsWithDefaultFormats) {
    TPanelFixture Raw(TFunctionalRawData::Class(), ZeroToTen());
    EXPECT_EQ(Raw.As<TFunctionalRawDataParamPanel>().RangeLabel()->text(),
              "Data range from X = .00 to X = 10.00.");

    TPanelFixture Parametric(TNonfunctionalRawData::Class(),
                             Points({{1, 2}, {4, 7}, {5, 3}, {9, 8}}));
    EXPECT_EQ(Parametric.As<TParametricParamPanel>().RangeLabel()->text(),
              "Data range from (1.00, 2.00) to (9.00, 8.00).");

    TPanelFixture Spline(TParametricCubicSpline::Class(), Points({{1, 2}, {9, 8}}));
    auto& P = Spline.As<TParametricCubicSplineParamPanel>();
    EXPECT_EQ(P.RangeLabel()->text(), "Data range from (1.00, 2.00) to (9.00, 8.00).");
    EXPECT_EQ(P.IncrementLabel()->text(), "Increment: ");
    EXPECT_EQ(P.IncrementEdit()->text(), ".50"); // arc length 10 / 20

    TPanelFixture Empty(TFunctionalRawData::Class(), TDoublePointArray());
    EXPECT_EQ(Empty.As<TFunctionalRawDataParamPanel>().RangeLabel()->text(), "");
}

TEST(ParamPanels, CubicSplineShowsStartAndIncrement) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    EXPECT_EQ(P.StartLabel()->text(), "Select points from X = ");
    EXPECT_EQ(P.IncrementLabel()->text(), "in increments of ");
    EXPECT_EQ(P.StartEdit()->text(), ".00");
    EXPECT_EQ(P.IncrementEdit()->text(), ".50");
}

TEST(ParamPanels, ApplyStoresClampedStartAndShowsIt) {
    struct TCase {
        const char* Typed;
        const char* Shown;
        double Stored;
    };
    for (const TCase& C : std::vector<TCase>{{"-5", ".00", 0.0},
                                             {"3", "3.00", 3.0},
                                             {"12", "10.00", 10.0},
                                             {"abc", ".00", 0.0},
                                             {" 2.5 ", "2.50", 2.5}}) {
        SCOPED_TRACE(C.Typed);
        TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
        auto& P = F.As<TCubicSplineParamPanel>();
        P.StartEdit()->setText(C.Typed);
        F.Apply();
        EXPECT_EQ(P.StartEdit()->text(), C.Shown);
        auto& Set = dynamic_cast<TCubicSplineParamSet&>(*F.Set);
        ASSERT_TRUE(Set.HasStartX());
        EXPECT_DOUBLE_EQ(Set.StartX(), C.Stored);
        EXPECT_FALSE(P.Applying());
    }
}

TEST(ParamPanels, ApplyReadsEveryFieldBeforeRefreshing) {
    // The set announces the new start before the increment is read: the panel must not
    // refresh the increment edit with the stored value in between.
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    P.StartEdit()->setText("3");
    P.IncrementEdit()->setText("-2");
    F.Apply();
    auto& Set = dynamic_cast<TCubicSplineParamSet&>(*F.Set);
    EXPECT_DOUBLE_EQ(Set.StartX(), 3.0);
    EXPECT_DOUBLE_EQ(Set.Increment(), 2.0); // given the data's direction
    EXPECT_EQ(P.StartEdit()->text(), "3.00");
    EXPECT_EQ(P.IncrementEdit()->text(), "2.00");
}

TEST(ParamPanels, TextThatIsNoNumberRestoresTheIncrement) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    P.IncrementEdit()->setText("abc");
    F.Apply();
    EXPECT_EQ(P.IncrementEdit()->text(), ".50");
    EXPECT_DOUBLE_EQ(dynamic_cast<TCubicSplineParamSet&>(*F.Set).Increment(), 0.5);

    TPanelFixture G(TParametricCubicSpline::Class(), Points({{1, 2}, {9, 8}}));
    auto& Q = G.As<TParametricCubicSplineParamPanel>();
    Q.IncrementEdit()->setText("1e");
    G.Apply();
    EXPECT_EQ(Q.IncrementEdit()->text(), ".50");
    Q.IncrementEdit()->setText("-2");
    G.Apply();
    EXPECT_EQ(Q.IncrementEdit()->text(), "2.00");
}

TEST(ParamPanels, EmptyEditsUnsetTheirValues) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    auto& Set = dynamic_cast<TCubicSplineParamSet&>(*F.Set);
    P.StartEdit()->setText("");
    F.Apply();
    EXPECT_FALSE(Set.HasStartX());
    EXPECT_FALSE(Set.IsComplete());
    EXPECT_EQ(P.StartEdit()->text(), "");
    P.StartEdit()->setText("4");
    P.IncrementEdit()->setText("  ");
    F.Apply();
    EXPECT_DOUBLE_EQ(Set.StartX(), 4.0);
    EXPECT_FALSE(Set.HasIncrement());
    EXPECT_EQ(P.IncrementEdit()->text(), "");
}

TEST(ParamPanels, FollowsChangesMadeElsewhereAndLeavesTheSetWhenFreed) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    auto& Set = dynamic_cast<TCubicSplineParamSet&>(*F.Set);
    Set.SetStartX(6);
    Set.SetIncrement(1.25);
    EXPECT_EQ(P.StartEdit()->text(), "6.00");
    EXPECT_EQ(P.IncrementEdit()->text(), "1.25");
    EXPECT_TRUE(Set.HasListener(F.Panel.get()));
    const IApproximatorListener* Listener = F.Panel.get();
    F.Panel.reset();
    EXPECT_FALSE(Set.HasListener(Listener));
}

TEST(ParamPanels, NewFormatsRedrawTheTexts) {
    TCoordFormatPair Pair;
    Pair.XFormat.Precision = 3;
    Pair.YFormat.FloatingPoint = false;
    TCoordFormatPair Formats;
    Formats.Assign(Pair);

    TPanelFixture Raw(TFunctionalRawData::Class(), ZeroToTen());
    Raw.Panel->SetFormats(Formats);
    EXPECT_EQ(Raw.As<TFunctionalRawDataParamPanel>().RangeLabel()->text(),
              "Data range from X = .000 to X = 10.000.");

    TPanelFixture Parametric(TParametricCubicSpline::Class(), Points({{1, 2}, {9, 8}}));
    Parametric.Panel->SetFormats(Formats);
    auto& P = Parametric.As<TParametricCubicSplineParamPanel>();
    EXPECT_EQ(P.RangeLabel()->text(), "Data range from (1.000, 2.00e+00) to (9.000, 8.00e+00).");
    EXPECT_EQ(P.IncrementEdit()->text(), ".500");
}

TEST(ParamPanels, EditsRefuseKeysANumberCannotContain) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    QLineEdit& Edit = *F.As<TCubicSplineParamPanel>().StartEdit();
    Edit.clear();
    for (const QString& Key :
         {QString("a"), QString("1"), QString("x"), QString("-"), QString("e"), QString(".")}) {
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, Key);
        QApplication::sendEvent(&Edit, &Press);
    }
    EXPECT_EQ(Edit.text(), "1-e.");
}

TEST(ParamPanels, FillsItsParentAndFitsItsHeight) {
    TPanelFixture F(TCubicSpline::Class(), ZeroToTen());
    auto& P = F.As<TCubicSplineParamPanel>();
    QPushButton& Apply = *P.ApplyButton();
    const auto Check = [&](int Width) {
        SCOPED_TRACE(Width);
        EXPECT_EQ(P.width(), Width);
        EXPECT_EQ(P.StartEdit()->geometry().right() + 1, Width - 4);
        EXPECT_EQ(P.IncrementEdit()->geometry().right() + 1, Width - 4);
        EXPECT_EQ(Apply.geometry().right() + 1, Width - 4);
        EXPECT_EQ(P.IncrementLabel()->y(), P.StartEdit()->geometry().bottom() + 1 + 7);
        EXPECT_EQ(Apply.y(), P.IncrementEdit()->geometry().bottom() + 1 + 4);
        EXPECT_EQ(P.height(), Apply.geometry().bottom() + 1 + 4);
    };
    Check(300);
    F.Parent.resize(220, 200);
    Check(220);

    // A narrow range label wraps; the increment row moves down with it.
    TPanelFixture G(TParametricCubicSpline::Class(), Points({{1, 2}, {9, 8}}));
    auto& Q = G.As<TParametricCubicSplineParamPanel>();
    std::vector<QSize> Reported;
    Q.OnResize = [&](TApproximatorParamPanel& Panel) { Reported.push_back(Panel.size()); };
    const int WideHeight = Q.height();
    G.Parent.resize(90, 200);
    EXPECT_GT(Q.RangeLabel()->height(), Q.RangeLabel()->fontMetrics().height());
    EXPECT_EQ(Q.IncrementLabel()->y(), Q.RangeLabel()->geometry().bottom() + 1 + 8);
    EXPECT_GT(Q.height(), WideHeight);
    ASSERT_FALSE(Reported.empty());
    EXPECT_EQ(Reported.back(), Q.size());
}

} // namespace
} // namespace korvane
