// The dialogs of a data set: its properties (line, scatter) and the calculation between lines.
#include "document/Digitizations.h"
#include "document/PointMarkers.h"
#include "export/DataCalculations.h"
#include "ui/common/HelpUtils.h"
#include "ui/common/SupportWidgets.h"
#include "ui/dialogs/CalculationDialog.h"
#include "ui/dialogs/PropertiesDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace korvane {
namespace {

// ---- properties ----

TEST(ScatterProperties, ShowsTheMarkerWithinItsLimitsAndReturnsANewMarkerOfTheChosenStyle) {
    TfrmScatterProperties D;
    EXPECT_EQ(D.windowTitle(), "Properties");
    EXPECT_EQ(HelpContextOf(D), 1300);
    EXPECT_EQ(D.minimumHeight(), 236);
    EXPECT_EQ(D.maximumHeight(), 236);
    EXPECT_EQ(D.minimumWidth(), 266);
    QStringList Styles;
    for (int I = 0; I < D.cboStyle->count(); ++I)
        Styles << D.cboStyle->itemText(I);
    EXPECT_EQ(Styles, (QStringList{"Circle", "Ring", "Square", "Frame", "Cross", "X"}));

    TSquareMarker Square;
    Square.SetSize(5);
    D.SetName("Points");
    D.SetColorIndex(4);
    D.SetMarker(Square);
    EXPECT_EQ(D.updRadius->value(), 5);
    EXPECT_EQ(D.updRadius->minimum(), Square.MinSize());
    EXPECT_EQ(D.updRadius->maximum(), Square.MaxSize());
    EXPECT_EQ(D.cboStyle->currentText(), "Square");
    EXPECT_EQ(D.GetColorIndex(), 4);

    D.cboStyle->setCurrentText("Ring");
    D.updRadius->setValue(8);
    const std::unique_ptr<TPointMarker> Chosen = D.GetMarker();
    ASSERT_NE(Chosen, nullptr);
    EXPECT_EQ(Chosen->ClassName(), "TRingMarker");
    EXPECT_EQ(Chosen->GetSize(), 8);

    for (const auto& [Control, Number] : std::vector<std::pair<QWidget*, int>>{
             {D.txtName, 1301}, {D.cboColor, 1302}, {D.updRadius, 1303}})
        EXPECT_EQ(HelpContextOf(*Control), Number);
}

TEST(ScatterProperties, ANameOfBlanksCannotBeAcceptedAndNamesLoseTheirOuterBlanks) {
    struct TCase {
        const char* Typed;
        bool Accepted;
        const char* Name;
    };
    const TCase Cases[] = {
        {"Run 1 at 20 °C", true, "Run 1 at 20 °C"},
        {"  padded\t", true, "padded"},
        {"", false, ""},
        {"   ", false, ""},
    };
    for (const TCase& C : Cases) {
        TfrmScatterProperties D;
        D.txtName->setText(QString::fromUtf8(C.Typed));
        EXPECT_EQ(D.btnOK->isEnabled(), C.Accepted) << C.Typed;
        if (C.Accepted) {
            EXPECT_EQ(D.GetName(), C.Name);
        }
        std::string Name = C.Typed;
        EXPECT_EQ(TidyDigitizationName(Name), C.Accepted);
        EXPECT_EQ(Name, C.Accepted ? std::string(C.Name) : std::string(C.Typed));
    }
}

// The preview as an image.
QImage Preview(const TfrmLineProperties& D) {
    QImage Image(46, 29, QImage::Format_RGB32);
    Image.fill(Qt::white);
    QPainter Painter(&Image);
    D.PaintTrackingColor(Painter, Image.width(), Image.height());
    return Image;
}

TEST(LineProperties, ThePreviewIsHatchedWithoutATrackingColourAndLightDarkLightWithOne) {
    TfrmLineProperties D;
    EXPECT_EQ(HelpContextOf(D), 1400);
    EXPECT_EQ(D.minimumWidth(), 344);
    EXPECT_EQ(D.maximumHeight(), 244);
    EXPECT_EQ(D.pbTrackingColor->size(), QSize(46, 29));
    EXPECT_FALSE(D.btnClearTrackingColor->isEnabled());

    // Hatched: black and white pixels inside the black frame.
    QImage Hatched = Preview(D);
    int Black = 0, White = 0;
    for (int Y = 1; Y < 28; ++Y)
        for (int X = 1; X < 45; ++X)
            (Hatched.pixel(X, Y) == qRgb(0, 0, 0) ? Black : White) += 1;
    EXPECT_GT(Black, 50);
    EXPECT_GT(White, 400);
    EXPECT_EQ(Hatched.pixel(0, 10), qRgb(0, 0, 0));

    D.SetColorTolerance(0.2);
    D.SetTrackingColor(RGB(0, 0, 200));
    EXPECT_TRUE(D.btnClearTrackingColor->isEnabled());
    const QImage Gradient = Preview(D);
    const auto Lightness = [&](int X) { return qGray(Gradient.pixel(X, 14)); };
    EXPECT_GT(Lightness(0), Lightness(22));
    EXPECT_GT(Lightness(45), Lightness(24));
    EXPECT_EQ(Gradient.pixel(0, 14), qRgb(GetRValue(LightenColor(RGB(0, 0, 200), 0.2)),
                                          GetGValue(LightenColor(RGB(0, 0, 200), 0.2)),
                                          GetBValue(LightenColor(RGB(0, 0, 200), 0.2))));

    D.btnClearTrackingColor->click();
    EXPECT_FALSE(D.TrackingColorSet);
    EXPECT_FALSE(D.btnClearTrackingColor->isEnabled());
    EXPECT_EQ(Preview(D), Hatched);
}

// ---- calculations ----

std::unique_ptr<TFunctionalLine> Line(const char* Name, double From, double Step, int Count) {
    auto L = std::make_unique<TFunctionalLine>(Name);
    for (int I = 0; I < Count; ++I)
        L->AddPoint({From + I * Step, double(I)});
    return L;
}

std::vector<const TBinaryOperationInstance*> Operations() {
    std::vector<const TBinaryOperationInstance*> Result;
    for (const auto& Instance : OperationInstances())
        Result.push_back(Instance.get());
    return Result;
}

QStringList Items(const QComboBox& Box) {
    QStringList Result;
    for (int I = 0; I < Box.count(); ++I)
        Result << Box.itemText(I);
    return Result;
}

TEST(CalculationDialog, OffersOnlyLinesThatCanBeCombinedAndExplainsTheRange) {
    // A: X 0..10; B: 5..20 by halves; Touching: 10..15, only touching A; Single: one point;
    // and a scatter, never offered.
    const auto A = Line("A", 0, 1, 11), B = Line("B", 5, 0.5, 31),
               Touching = Line("Touching", 10, 1, 6), Single = Line("Single", 3, 1, 1);
    TScatter Scatter("Scatter");
    Scatter.AddPoint({1, 1});
    Scatter.AddPoint({2, 2});
    TfrmCalculationDialog D;
    EXPECT_EQ(D.windowTitle(), "Calculations");
    EXPECT_EQ(D.lblInstructions->text(), "Create a dataset from the calculation");
    EXPECT_FALSE(D.btnOK->isEnabled());
    D.SetOperations(Operations());
    EXPECT_EQ(Items(*D.cboOperation),
              (QStringList{"plus", "minus", "averaged with", "integrated over"}));
    D.SetDigitizations({A.get(), &Scatter, B.get(), Touching.get(), Single.get()});

    EXPECT_EQ(Items(*D.cboDigitization1), (QStringList{"A", "B", "Touching"}));
    EXPECT_EQ(D.FirstLine(), A.get());
    EXPECT_EQ(Items(*D.cboDigitization2), (QStringList{"A", "B"})); // Touching only touches
    EXPECT_EQ(D.SecondLine(), A.get());
    D.cboDigitization2->setCurrentIndex(1);
    EXPECT_EQ(D.lblInfo->text(),
              "The computed dataset will have points ranging from X = 5.00 to X = 10.00.");
    EXPECT_TRUE(D.btnOK->isEnabled());

    // Another operation leaves the text; another first line keeps the second choice.
    D.cboOperation->setCurrentIndex(3);
    EXPECT_EQ(D.lblInfo->text(),
              "The computed dataset will have points ranging from X = 5.00 to X = 10.00.");
    D.SelectFirst(B.get());
    EXPECT_EQ(D.SecondLine(), B.get());
    EXPECT_EQ(Items(*D.cboDigitization2), (QStringList{"A", "B", "Touching"}));
    D.SelectFirst(Touching.get());
    EXPECT_EQ(Items(*D.cboDigitization2), (QStringList{"B", "Touching"}));
    EXPECT_EQ(D.SecondLine(), B.get());
    EXPECT_EQ(D.SelectedOperation(), Operations()[3]);

    // A line the first box does not offer selects nothing there.
    D.SelectFirst(Single.get());
    EXPECT_EQ(D.FirstLine(), nullptr);
    EXPECT_EQ(D.cboDigitization2->count(), 0);
    EXPECT_EQ(D.lblInfo->text(), "Select digitizations and an operator to create a new dataset.");
    EXPECT_FALSE(D.btnOK->isEnabled());
}

TEST(CalculationDialog, InformationUsesTheImageFormatsAndTheBoxesShareTheWidth) {
    const auto A = Line("A", 0, 1, 11), B = Line("B", 5, 0.5, 31);
    TfrmCalculationDialog D;
    TCoordFormatPair Formats;
    Formats.XFormat.FloatingPoint = false;
    Formats.XFormat.Precision = 1;
    TCoordFormatPair Scientific;
    Scientific.Assign(Formats);
    D.SetFormats(Scientific);
    D.SetOperations(Operations());
    D.SetDigitizations({A.get(), B.get()});
    D.SelectFirst(B.get());
    EXPECT_EQ(D.lblInfo->text(),
              "The computed dataset will have points ranging from X = 5.0e+00 to X = 1.0e+01.");

    D.resize(600, 250);
    D.show();
    QApplication::processEvents();
    const int Width = D.pnlBoxes->width();
    const int Third = static_cast<int>(std::lround(Width * 0.34));
    EXPECT_EQ(D.cboDigitization1->geometry(), QRect(8, 0, Third, D.pnlBoxes->height()));
    EXPECT_EQ(D.cboDigitization2->geometry().right(), Width - 8 - 1);
    EXPECT_EQ(D.cboDigitization2->width(), Third);
    EXPECT_EQ(D.cboOperation->x(), 8 + Third + 8);
    EXPECT_EQ(D.cboOperation->geometry().right() + 1 + 8, D.cboDigitization2->x());
    D.resize(400, 500); // at least 451 wide, at most 300 high
    EXPECT_EQ(D.width(), 451);
    EXPECT_EQ(D.height(), 300);
}

} // namespace
} // namespace korvane
