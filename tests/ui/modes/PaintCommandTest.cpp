// The paint command: a stroke of the panel's pen is one undoable step whose region before the
// stroke waits in a temporary file; only the changed region is ever stored.

#include "ui/modes/PaintCommand.h"

#include "core/MessageDigests.h"
#include "core/Prompter.h"
#include "image/PanelScale.h"
#include "interaction/KorvaneApplication.h"
#include "ui/panel/KorvanePanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace korvane;
namespace fs = std::filesystem;

namespace {

struct TNoScaleRecord : IScaleRecordOwner {
    void LoadScaleRecord(TStream&) override {}
    void SaveScaleRecord(TStream&) const override {}
};

std::string Hash(const QImage& Image) {
    TRipeMD160 Digest;
    for (int Y = 0; Y < Image.height(); ++Y)
        Digest.Update(Image.constScanLine(Y), static_cast<std::size_t>(Image.width()) * 3);
    return DigestToHex(Digest.Final());
}

// An application with an image open in a shown panel, painting with a black pen of width 5.
struct PaintCommand : ::testing::Test {
    fs::path Dir;
    TScriptedPrompter Prompter;
    std::unique_ptr<TKorvaneApplication> App;
    TKorvanePanel Panel;

    void Open(int Width, int Height) {
        Dir = fs::temp_directory_path() / ("korvane-paint-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
        App = std::make_unique<TKorvaneApplication>(Dir.string(), Prompter);
        QImage Image(Width, Height, QImage::Format_RGB888);
        Image.fill(Qt::white);
        for (int X = 0; X < Width; ++X) // a line crossing the whole image, edge to edge
            Image.setPixel(X, Height / 2, qRgb(0, 0, 255));
        Panel.resize(std::min(Width, 800) + 20, std::min(Height, 600) + 20);
        Panel.show();
        Panel.SetImage(std::move(Image));
        TNoScaleRecord Record;
        App->NewFile(Record);
        App->SetImageIsDirty(false);
        Panel.SetPenWidth(5);
        Panel.View().SetPainting(true);
    }
    void TearDown() override {
        App.reset();
        fs::remove_all(Dir);
    }
    void Move(QPoint P) {
        QMouseEvent Event(QEvent::MouseMove, QPointF(P), Panel.PaintBox()->mapToGlobal(QPointF(P)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Panel.PaintBox(), &Event);
    }
    // One stroke through Points (paint-box pixels, here image pixels), as the painting mode
    // runs it: the command executes, every move adds its point, the pen goes up, Finish.
    std::unique_ptr<TPaintCommand> Stroke(const std::vector<QPoint>& Points) {
        auto Command = std::make_unique<TPaintCommand>();
        Command->SetApplication(*App);
        Command->Execute({&Panel});
        Panel.View().SetPenDown(true);
        for (const QPoint P : Points) {
            Move(P);
            Command->AddPaintPoint({P.x(), P.y()});
        }
        Panel.View().SetPenDown(false);
        Command->Finish();
        return Command;
    }
};

} // namespace

TEST_F(PaintCommand, UndoAndRedoGiveBackTheImagePixelForPixel) {
    Open(300, 200);
    const std::string Before = Hash(Panel.Image());
    // Over the line and out across the left edge.
    std::unique_ptr<TPaintCommand> Command = Stroke({{150, 90}, {60, 100}, {0, 110}, {0, 130}});
    const std::string After = Hash(Panel.Image());
    ASSERT_NE(After, Before);
    EXPECT_TRUE(Command->CanUndo());
    EXPECT_TRUE(App->ImageIsDirty());
    EXPECT_EQ(Command->GetName(), "Paint");
    // The region: the points' bounds with 32 pixels round them, cut at the image's edges.
    EXPECT_EQ(Command->Region(), QRect(QPoint(0, 58), QPoint(181, 161)));
    const std::string File = Command->TempFileName();
    EXPECT_EQ(fs::path(File).filename().string().rfind("Kor", 0), 0u);
    EXPECT_EQ(fs::file_size(File), 8u + 182u * 104u * 3u);

    App->SetImageIsDirty(false);
    Command->Undo();
    EXPECT_EQ(Hash(Panel.Image()), Before);
    Command->Redo();
    EXPECT_EQ(Hash(Panel.Image()), After);
    Command->Undo();
    EXPECT_EQ(Hash(Panel.Image()), Before);
    EXPECT_FALSE(App->ImageIsDirty()); // undo and redo leave the flags alone

    Command.reset();
    EXPECT_FALSE(fs::exists(File)) << "the file goes with the command";
}

TEST_F(PaintCommand, StrokesThatKeepNothingAreNotUndoable) {
    Open(300, 200);
    // No point painted: nothing to keep, and no file left behind.
    auto Empty = std::make_unique<TPaintCommand>();
    Empty->SetApplication(*App);
    Empty->Execute({&Panel});
    const std::string File = Empty->TempFileName();
    ASSERT_TRUE(fs::exists(File));
    Empty->Finish();
    EXPECT_FALSE(Empty->CanUndo());
    EXPECT_FALSE(fs::exists(File));
    EXPECT_FALSE(App->ImageIsDirty());

    // A single dab, and a level stroke, have no width or no height of their own: with the
    // margin they are still regions of the image, and undoable.
    const std::string Before = Hash(Panel.Image());
    std::unique_ptr<TPaintCommand> Dab = Stroke({{40, 40}});
    std::unique_ptr<TPaintCommand> Level = Stroke({{60, 150}, {120, 150}});
    EXPECT_TRUE(Dab->CanUndo());
    EXPECT_TRUE(Level->CanUndo());
    Level->Undo();
    Dab->Undo();
    EXPECT_EQ(Hash(Panel.Image()), Before);
}

TEST_F(PaintCommand, TheHistoryKeepsOnlyTheChangedRegionsOfAHugeImage) {
    Open(10000, 10000);
    std::vector<std::string> Files;
    for (int I = 0; I < 100; ++I) {
        const int X = 50 + 97 * I, Y = 40 + 95 * I;
        std::unique_ptr<TPaintCommand> Command =
            Stroke({{X % 800, Y % 600}, {X % 800 + 20, Y % 600}});
        ASSERT_TRUE(Command->CanUndo());
        Files.push_back(Command->TempFileName());
        App->History().Add(std::move(Command));
    }
    // Each stroke keeps about (20 + 64) x 64 pixels: far below one copy of the image. (The
    // files of these commands only: other tests may paint in the same folder meanwhile.)
    std::uintmax_t Stored = 0;
    for (const std::string& File : Files) {
        ASSERT_EQ(fs::path(File).filename().string().rfind("Kor", 0), 0u);
        Stored += fs::file_size(File);
    }
    std::printf("temporary bytes for 100 strokes: %ju (%ju per stroke)\n", Stored, Stored / 100);
    EXPECT_LT(Stored, 100u * 90u * 70u * 3u);
    EXPECT_LT(Stored, 10000u * 10000u * 3u / 100u);
    // Clearing the history, and closing the program, take the files away.
    App->History().Clear();
    for (const std::string& File : Files)
        EXPECT_FALSE(fs::exists(File)) << File;
    std::unique_ptr<TPaintCommand> Last = Stroke({{10, 10}, {30, 30}});
    const std::string LastFile = Last->TempFileName();
    App->History().Add(std::move(Last));
    App.reset();
    EXPECT_FALSE(fs::exists(LastFile));
}
