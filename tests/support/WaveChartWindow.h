// A main window on a drawn chart with its coordinate system defined, for the tests that work
// through the window: the chart is 600 x 300 pixels, white, with a black line 3 pixels thick
// from column 50 to 549 along row 150 + 60 sin(x / 60) (LineRow) and a black dot block at
// (20..22, 20..22); pixel (x, y) is the real point (x, 300 - y).
#pragma once

#include "app/MainWindow.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "follower/Vectorizers.h"
#include "support/DialogHooks.h"
#include "ui/dialogs/KorvaneDialogs.h"
#include "ui/modes/KorvaneActions.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace korvane {

namespace fs = std::filesystem;

// Answers the scale-point dialogs from Answers; the export dialog and the save dialog through
// the test's own functions (cancelled without them).
class TWaveDialogs : public TDialogHooks {
public:
    std::vector<TScalePointAnswer> Answers;
    bool AskScalePoint(const QString&, bool, QPoint, TScalePointAnswer& Answer) override {
        if (Answers.empty())
            return false;
        Answer = Answers.front();
        Answers.erase(Answers.begin());
        return true;
    }
    bool AskUnits(TStringPoint&) override { return false; }
    bool AskFormats(TCoordFormatPair&, bool&) override { return false; }
    bool AskSettings(TSettingsAnswer&, bool) override { return false; }
    std::function<bool(TfrmExportData&)> OnExportDialog;
    std::function<bool(const TSaveFileQuestion&, QString&)> OnSaveFileName;
    bool RunExportDialog(TfrmExportData& Dialog) override {
        return OnExportDialog && OnExportDialog(Dialog);
    }
    bool AskSaveFileName(const TSaveFileQuestion& Question, QString& Name) override {
        return OnSaveFileName && OnSaveFileName(Question, Name);
    }
    bool AskOpenFileName(const QString&, const QString&, const QString&, QString&) override {
        return false;
    }
};

inline void WriteChart(const fs::path& File) {
    const int W = 600, H = 300;
    std::vector<unsigned char> Pixels(static_cast<std::size_t>(W) * H * 3, 255);
    const auto Set = [&](int X, int Y) {
        if (X < 0 || Y < 0 || X >= W || Y >= H)
            return;
        unsigned char* P = &Pixels[(static_cast<std::size_t>(Y) * W + X) * 3];
        P[0] = P[1] = P[2] = 0;
    };
    for (int X = 50; X < 550; ++X) {
        const int Y = static_cast<int>(std::lround(150 + 60 * std::sin(X / 60.0)));
        const int Next = static_cast<int>(std::lround(150 + 60 * std::sin((X + 1) / 60.0)));
        for (int R = std::min(Y, Next) - 1; R <= std::max(Y, Next) + 1; ++R)
            Set(X, R);
    }
    for (int Y = 20; Y < 23; ++Y)
        for (int X = 20; X < 23; ++X)
            Set(X, Y);
    std::ofstream Out(File, std::ios::binary);
    Out << "P6\n" << W << " " << H << "\n255\n";
    Out.write(reinterpret_cast<const char*>(Pixels.data()),
              static_cast<std::streamsize>(Pixels.size()));
}

inline int LineRow(int X) {
    return static_cast<int>(std::lround(150 + 60 * std::sin(X / 60.0)));
}

class TWaveChartWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("korvane-window-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        WriteChart(Dir / "wave.ppm");
        SetExceptionHandler([this](const std::exception& E) { Errors.push_back(E.what()); });
        Window = std::make_unique<TfrmMain>(Dir.string(), Prompter, &Dialogs);
        Window->resize(1100, 800);
        Window->show();
        Window->OpenImage(QString::fromStdString((Dir / "wave.ppm").string()));
        ASSERT_TRUE(Window->App().FileIsOpen());
        // Pixel (x, y) is the real point (x, 300 - y).
        Dialogs.Answers = {{0, 300}, {500, 0}};
        Window->actEditDefineCoordinateSystem->Execute();
        Click(0, 0);
        Click(500, 0);
        Click(500, 300);
        Settle();
        ASSERT_TRUE(Window->pzImage->ScaleDefined());
        Settings().SetDelay(0);
    }
    void TearDown() override {
        Window.reset();
        SetExceptionHandler(nullptr);
        fs::remove_all(Dir);
    }

    TVectorizerParameters& Settings() {
        return Window->App().FileParameters().VectorizerParameters;
    }
    TPanZoomView& View() { return Window->pzImage->View(); }
    void Click(int X, int Y, unsigned Shift = 0) {
        View().MouseDown({X, Y}, 1, Shift);
        View().MouseUp({X, Y}, 1, Shift);
    }
    void Settle() {
        for (int I = 0; I < 5; ++I)
            QApplication::processEvents();
    }
    // Keeps the event loop running until the line's run has ended.
    void WaitForRun(const TLine& Line) {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Line.Following() && std::chrono::steady_clock::now() < Deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(Line.Following()) << "the run did not end";
        Settle();
    }
    // Keeps the event loop running until a run has placed at least N points (a run that
    // ends sooner ends the wait too).
    void WaitForPoints(const TLine& Line, std::int32_t N) {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Line.Following() && Line.Count() < N && std::chrono::steady_clock::now() < Deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    TLine& NewFunctionalLine() {
        Window->actDigitizeNewFunctionalLine->Execute();
        auto* Line = dynamic_cast<TLine*>(Window->CurrentDigitization());
        EXPECT_NE(Line, nullptr);
        return *Line;
    }
    void Key(int QtKey, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QWidget* Target = QApplication::focusWidget() ? QApplication::focusWidget() : Window.get();
        QKeyEvent Press(QEvent::KeyPress, QtKey, Modifiers);
        QApplication::sendEvent(Target, &Press);
        QKeyEvent Release(QEvent::KeyRelease, QtKey, Modifiers);
        QApplication::sendEvent(Target, &Release);
    }
    bool GuideHas(const QString& Text) {
        for (const QLabel* Label : Window->pnlGuideContent->findChildren<QLabel*>())
            if (Label->text() == Text)
                return true;
        return false;
    }

    fs::path Dir;
    TScriptedPrompter Prompter;
    TWaveDialogs Dialogs;
    std::vector<std::string> Errors;
    std::unique_ptr<TfrmMain> Window;
};

} // namespace korvane
