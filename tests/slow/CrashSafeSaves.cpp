// Saves survive being killed at any moment.
//
// A child process saves, over and over, the files the program writes: an image's parameter
// file and the two settings files (in the settings folder) and an exported data file and a
// saved image (in the user's folder), each alternating between two versions. The parent kills
// it with SIGKILL at random moments, KORVANE_CRASH_KILLS times (1000 by default), and checks
// after every kill that each file is byte for byte one of its two versions (by digest), never
// something in between. It also checks that a fresh start removes what killed saves left in
// the settings folder, and that the next save in the user's folder removes what they left
// there.
//
//   crash_safe_saves                        the whole run (seed from the clock, printed)
//   KORVANE_CRASH_SEED=N crash_safe_saves   the same run again
#include "core/AtomicFile.h"
#include "core/MessageDigests.h"
#include "core/Prompter.h"
#include "document/Digitizations.h"
#include "document/ProgramSettings.h"
#include "document/params/ParamsTestSupport.h"
#include "export/ExportData.h"
#include "image/ImageModel.h"
#include "interaction/ApplicationParameters.h"

#include <QImage>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <poll.h>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace korvane;

namespace {

// Where the files live below the run's folder.
struct TFolders {
    std::string Settings, Parameters, User;
    explicit TFolders(const std::string& Root)
        : Settings(Root + "/settings"), Parameters(Settings + "/" + ImageParameterFolderName),
          User(Root + "/user") {}
};

// Writes version V (0 or 1) of every file, in an order that Random chooses; after the first
// save into the user's folder, Saved is called once.
class TSaver {
public:
    explicit TSaver(const std::string& Root)
        : FFolders(Root), FImageName(FFolders.User + "/chart.png"),
          FFileParameters(FFolders.Settings), FApplicationParameters(FFolders.Settings, {1920, 1080}),
          FTemplates(CreateBuiltInTemplates()) {
        FFileParameters.SetImageFileName(FImageName);
        for (int V = 0; V < 2; ++V) {
            // Large enough that a save takes a while, so that kills land inside writes.
            const std::int32_t Count = 30000 + V;
            TDoublePointArray Points;
            for (std::int32_t I = 0; I < Count; ++I)
                Points.Add({I * 0.01, std::sin(I * 0.001 + V)});
            FLines[V].SetPoints(Points);
            FLines[V].ParamSet().ResetRange();
            FImages[V] = QImage(640, 480, QImage::Format_RGB888);
            for (int Y = 0; Y < FImages[V].height(); ++Y)
                for (int X = 0; X < FImages[V].width(); ++X)
                    FImages[V].setPixel(X, Y, qRgb((X * 7 + Y * 13 + V * 50) & 255, (X ^ Y) & 255,
                                                   (X * Y + V) & 255));
        }
    }

    std::vector<std::string> Targets() const {
        return {FFileParameters.ParameterFileName(), FApplicationParameters.FileName(),
                TProgramSettings::FileName(FFolders.Settings), FFolders.User + "/data.csv",
                FImageName};
    }

    void Save(int Target, int V) {
        switch (Target) {
        case 0: {
            const TDigitizationRefs List{&FLines[V]};
            FFileParameters.Save(&List, FPanel);
            break;
        }
        case 1: {
            TPaintParameters Paint;
            Paint.SetPenSize(V ? 9 : 4);
            FApplicationParameters.SaveParameterFile(Paint);
            break;
        }
        case 2: {
            TProgramSettings Settings;
            Settings.ExportFolder = FFolders.User + (V ? "/b" : "/a");
            Settings.CopyFullPrecision = V == 1;
            Settings.Save(FFolders.Settings);
            break;
        }
        case 3:
            ExportToFile(FTemplates->Items(0), FLines[V], false, {}, Targets()[3], FPrompter);
            break;
        case 4:
            SaveImageFile(FImages[V], FImageName);
            break;
        }
    }

    const TFolders& Folders() const { return FFolders; }

private:
    TFolders FFolders;
    std::string FImageName;
    TFileParameters FFileParameters;
    TApplicationParameters FApplicationParameters;
    std::unique_ptr<TDataTemplateList> FTemplates;
    test::TTestPanel FPanel;
    TScriptedPrompter FPrompter;
    TFunctionalLine FLines[2] = {TFunctionalLine("Line 1"), TFunctionalLine("Line 1")};
    QImage FImages[2];
};

std::string DigestOf(const std::string& FileName) {
    std::error_code Error;
    if (!fs::exists(FileName, Error))
        return "missing";
    const test::TBytes Bytes = test::ReadFileBytes(FileName);
    return DigestToHex(RipeMD160(Bytes.data(), Bytes.size()));
}

// The child ("--child ROOT SEED"): does what the program does at start, says 'R' on its
// output and waits for a byte on its input, then saves for ever, saying 'S' once it has saved
// into the user's folder.
int Child(const std::string& Root, unsigned Seed) {
    TSaver Saver(Root);
    // What the main window does when it starts.
    RemoveStaleTemporaryFiles(Saver.Folders().Settings);
    RemoveStaleTemporaryFiles(Saver.Folders().Parameters);
    char Byte = 'R';
    if (::write(1, &Byte, 1) != 1 || ::read(0, &Byte, 1) != 1)
        return 1;
    std::mt19937 Random(Seed);
    int Version[5] = {0, 0, 0, 0, 0};
    bool SaidSaved = false;
    for (;;) {
        std::vector<int> Order{0, 1, 2, 3, 4};
        std::shuffle(Order.begin(), Order.end(), Random);
        for (int T : Order) {
            Version[T] ^= 1;
            Saver.Save(T, Version[T]);
            if (!SaidSaved && T >= 3) {
                Byte = 'S';
                SaidSaved = ::write(1, &Byte, 1) == 1;
            }
        }
    }
}

struct TChild {
    pid_t Pid = -1;
    int In = -1, Out = -1;
};

TChild Start(const char* Self, const std::string& Root, unsigned Seed) {
    int ToChild[2], FromChild[2];
    if (::pipe(ToChild) != 0 || ::pipe(FromChild) != 0)
        std::abort();
    TChild C;
    C.Pid = ::fork();
    if (C.Pid == 0) {
        ::dup2(ToChild[0], 0);
        ::dup2(FromChild[1], 1);
        ::close(ToChild[1]);
        ::close(FromChild[0]);
        const std::string SeedText = std::to_string(Seed);
        ::execl(Self, Self, "--child", Root.c_str(), SeedText.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(ToChild[0]);
    ::close(FromChild[1]);
    C.In = ToChild[1];
    C.Out = FromChild[0];
    return C;
}

// Waits up to Milliseconds for a byte from the child; 0 when none came.
char ReadByte(const TChild& C, int Milliseconds) {
    pollfd P{C.Out, POLLIN, 0};
    if (::poll(&P, 1, Milliseconds) <= 0)
        return 0;
    char Byte = 0;
    return ::read(C.Out, &Byte, 1) == 1 ? Byte : 0;
}

std::vector<std::string> TemporaryFiles(const std::string& Folder) {
    std::vector<std::string> Result;
    for (const auto& Entry : fs::directory_iterator(Folder))
        if (IsTemporaryFileName(Entry.path().filename().string()))
            Result.push_back(Entry.path().string());
    return Result;
}

int Fail(unsigned Seed, int Kill, const std::string& What) {
    std::fprintf(stderr, "FAILED after kill %d (KORVANE_CRASH_SEED=%u): %s\n", Kill, Seed,
                 What.c_str());
    return 1;
}

int Parent(const char* Self) {
    const char* SeedText = std::getenv("KORVANE_CRASH_SEED");
    const unsigned Seed =
        SeedText ? static_cast<unsigned>(std::strtoul(SeedText, nullptr, 10))
                 : static_cast<unsigned>(
                       std::chrono::system_clock::now().time_since_epoch().count() & 0x7fffffff);
    const char* KillsText = std::getenv("KORVANE_CRASH_KILLS");
    const int Kills = KillsText ? std::atoi(KillsText) : 1000;
    std::printf("crash_safe_saves: seed %u (KORVANE_CRASH_SEED), %d kills\n", Seed, Kills);
    std::fflush(stdout);

    test::TTempFolder Root;
    const TFolders Folders(Root.Path());
    fs::create_directories(Folders.Settings);
    fs::create_directories(Folders.User);

    // The two versions of every file, by digest.
    const std::vector<std::string> Targets = TSaver(Root.Path()).Targets();
    std::map<std::string, std::set<std::string>> Valid;
    for (int V = 0; V < 2; ++V) {
        TSaver Saver(Root.Path());
        for (int T = 0; T < 5; ++T) {
            Saver.Save(T, V);
            Valid[Targets[T]].insert(DigestOf(Targets[T]));
        }
    }
    for (const auto& [Name, Digests] : Valid)
        if (Digests.size() != 2)
            return Fail(Seed, 0, "the two versions of " + Name + " are the same");

    // How long a round of saves takes, so that the kills spread over whole rounds.
    const auto Before = std::chrono::steady_clock::now();
    {
        TSaver Saver(Root.Path());
        for (int T = 0; T < 5; ++T)
            Saver.Save(T, 0);
    }
    const int Round = std::max<int>(
        1, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - Before)
                                .count()));
    std::printf("one round of the five saves takes %d ms\n", Round);

    std::mt19937 Random(Seed);
    int LeftInSettings = 0, LeftInUser = 0;
    const auto Deadline = [](int Ms) {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    };
    for (int Kill = 1; Kill <= Kills + 1; ++Kill) {
        const TChild C = Start(Self, Root.Path(), Random());
        if (ReadByte(C, 30000) != 'R') {
            ::kill(C.Pid, SIGKILL);
            ::waitpid(C.Pid, nullptr, 0);
            return Fail(Seed, Kill - 1, "the child did not start");
        }
        // After a start: every file whole, and nothing left in the settings folders.
        for (const std::string& Name : Targets)
            if (!Valid[Name].count(DigestOf(Name))) {
                ::kill(C.Pid, SIGKILL);
                ::waitpid(C.Pid, nullptr, 0);
                return Fail(Seed, Kill - 1, Name + " is neither its old nor its new content");
            }
        for (const std::string& Folder : {Folders.Settings, Folders.Parameters})
            if (const auto Left = TemporaryFiles(Folder); !Left.empty()) {
                ::kill(C.Pid, SIGKILL);
                ::waitpid(C.Pid, nullptr, 0);
                return Fail(Seed, Kill - 1, "a fresh start left " + Left.front());
            }
        if (Kill > Kills) {
            ::kill(C.Pid, SIGKILL);
            ::waitpid(C.Pid, nullptr, 0);
            break;
        }
        const auto LeftBefore = TemporaryFiles(Folders.User);
        char Go = 'G';
        if (::write(C.In, &Go, 1) != 1)
            return Fail(Seed, Kill - 1, "the child went away");
        // Kill at a random moment within the next two rounds. If the child says it saved into
        // the user's folder first, what killed saves left there must be gone by then.
        const auto KillAt =
            Deadline(std::uniform_int_distribution<int>(0, 2 * Round)(Random));
        for (;;) {
            const auto Now = std::chrono::steady_clock::now();
            if (Now >= KillAt)
                break;
            const int Wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(KillAt - Now).count());
            if (ReadByte(C, std::max(Wait, 1)) == 'S')
                for (const std::string& Old : LeftBefore)
                    if (fs::exists(Old)) {
                        ::kill(C.Pid, SIGKILL);
                        ::waitpid(C.Pid, nullptr, 0);
                        return Fail(Seed, Kill - 1, "a later save left " + Old);
                    }
        }
        ::kill(C.Pid, SIGKILL);
        int Status = 0;
        ::waitpid(C.Pid, &Status, 0);
        ::close(C.In);
        ::close(C.Out);
        if (!WIFSIGNALED(Status))
            return Fail(Seed, Kill, "the child ended by itself (status " +
                                        std::to_string(Status) + ")");
        LeftInSettings += !TemporaryFiles(Folders.Settings).empty() ||
                          !TemporaryFiles(Folders.Parameters).empty();
        LeftInUser += !TemporaryFiles(Folders.User).empty();
    }
    std::printf("%d kills, every file whole after each; a temporary file was left by %d kills in "
                "the settings folders and by %d in the user's folder, all removed afterwards\n",
                Kills, LeftInSettings, LeftInUser);
    return 0;
}

} // namespace

int main(int Argc, char** Argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (Argc == 4 && std::string(Argv[1]) == "--child")
        return Child(Argv[2], static_cast<unsigned>(std::strtoul(Argv[3], nullptr, 10)));
    return Parent(Argv[0]);
}
