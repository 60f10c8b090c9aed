// korvane-cli follow: the line follower on an image, headless. It runs the real follower
// thread; this thread pumps the dispatcher as the window's event loop would.

#include "CliSupport.h"
#include "core/AtomicFile.h"
#include "core/Prompter.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "export/ExportData.h"
#include "follower/UiDispatcher.h"
#include "follower/VectorizerInitialConditions.h"
#include "follower/Vectorizers.h"
#include "image/ImageFormats.h"
#include "image/PanelScale.h"
#include "image/ScaleSystem.h"
#include "interaction/KorvaneApplication.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace korvane::cli {

namespace {

struct TFollowOptions {
    std::string Image;
    bool HaveFirst = false, HaveSkew = false, HaveSecond = false, HaveStart = false;
    TLongintPoint FirstPixel, SkewPixel, SecondPixel, Start;
    TDoublePoint FirstValue, SecondValue;
    bool LogX = false, LogY = false;
    bool Nonfunctional = false;
    bool HaveDirection = false;
    TLongintPoint Direction;
    bool HaveColor = false;
    TColor Color = 0;
    // The follower settings' defaults.
    double Tolerance = 0.1;
    int MaxHorizontalJump = 6;
    int MaxVerticalJump = 50;
    int ThicknessTolerance = 20;
    bool Pixels = false;
    // The chart's grid is removed (in memory) before the line is followed.
    bool EliminateGrid = false;
    TGridEliminationOptions Grid;
    bool HaveGridOption = false;
    TPdfOptions Pdf;
    TFollowerEnhancements Enhancements;
    std::string Output;
    // Written through a template.
    std::string Template;
    bool Spline = false;
    bool HaveIncrement = false;
    double Increment = 0;
    TExpansionParams Expansion;
    bool HaveApproximatorOptions = false;
    // Stored as a data set of this name in the image's parameter file.
    std::string Save;
};

// "fixed:N" or "scientific:N", N from 0 to 18.
void ParseFormat(const std::string& Text, const std::string& Option, TCoordFormat& Format) {
    if (!Format.FromText(Text))
        throw TUsageError{Option + " expects fixed:N or scientific:N with N from 0 to " +
                          std::to_string(TCoordFormat::MaxPrecision) + ", not '" + Text + "'"};
}

const TFollowerEnhancementOption* EnhancementFlag(const std::string& Flag) {
    for (const TFollowerEnhancementOption& Option : FollowerEnhancementOptions)
        if (Flag == Option.Flag)
            return &Option;
    return nullptr;
}

TFollowOptions Parse(const std::vector<std::string>& Args) {
    TFollowOptions O;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        const std::string& A = Args[I];
        if (A == "--first") {
            ParsePixelValue(OptionValue(Args, I), A, O.FirstPixel, O.FirstValue);
            O.HaveFirst = true;
        } else if (A == "--skew") {
            O.SkewPixel = ParseIntPair(OptionValue(Args, I), A);
            O.HaveSkew = true;
        } else if (A == "--second") {
            ParsePixelValue(OptionValue(Args, I), A, O.SecondPixel, O.SecondValue);
            O.HaveSecond = true;
        } else if (A == "--log-x") {
            O.LogX = true;
        } else if (A == "--log-y") {
            O.LogY = true;
        } else if (A == "--start") {
            O.Start = ParseIntPair(OptionValue(Args, I), A);
            O.HaveStart = true;
        } else if (A == "--kind") {
            const std::string& Kind = OptionValue(Args, I);
            if (Kind != "functional" && Kind != "nonfunctional")
                throw TUsageError{"--kind is functional or nonfunctional, not '" + Kind + "'"};
            O.Nonfunctional = Kind == "nonfunctional";
        } else if (A == "--direction") {
            O.Direction = ParseIntPair(OptionValue(Args, I), A);
            O.HaveDirection = true;
        } else if (A == "--color") {
            const std::string& Text = OptionValue(Args, I);
            const auto First = Text.find(',');
            const auto Second = First == std::string::npos ? First : Text.find(',', First + 1);
            if (Second == std::string::npos)
                throw TUsageError{"--color expects R,G,B, not '" + Text + "'"};
            const long R = ParseInteger(Text.substr(0, First), A, 0, 255);
            const long G = ParseInteger(Text.substr(First + 1, Second - First - 1), A, 0, 255);
            const long B = ParseInteger(Text.substr(Second + 1), A, 0, 255);
            O.Color = RGB(static_cast<std::uint8_t>(R), static_cast<std::uint8_t>(G),
                          static_cast<std::uint8_t>(B));
            O.HaveColor = true;
        } else if (A == "--tolerance") {
            O.Tolerance = ParseReal(OptionValue(Args, I), A, 0.0, 1.0);
        } else if (A == "--max-hjump") {
            O.MaxHorizontalJump = static_cast<int>(ParseInteger(OptionValue(Args, I), A, 1, 10));
        } else if (A == "--max-vjump") {
            O.MaxVerticalJump = static_cast<int>(ParseInteger(OptionValue(Args, I), A, 1, 500));
        } else if (A == "--thickness") {
            O.ThicknessTolerance = static_cast<int>(ParseInteger(OptionValue(Args, I), A, 1, 300));
        } else if (A == "--pixels") {
            O.Pixels = true;
        } else if (O.Pdf.Parse(Args, I)) { // --page, --dpi, --crop, --password
        } else if (A == "--eliminate-grid") {
            O.EliminateGrid = true;
        } else if (A == "--frame") {
            O.Grid.Frame = O.HaveGridOption = true;
        } else if (A == "--ticks") {
            O.Grid.Ticks = O.HaveGridOption = true;
        } else if (A == "--strength") {
            O.Grid.Strength = ParseReal(OptionValue(Args, I), A, 1, 3);
            O.HaveGridOption = true;
        } else if (A == "--enhanced") {
            O.Enhancements.SetEnhancedFollowing(true);
        } else if (const TFollowerEnhancementOption* Option = EnhancementFlag(A)) {
            O.Enhancements.*(Option->Field) = true;
        } else if (A == "--save") {
            O.Save = OptionValue(Args, I);
            if (O.Save.empty())
                throw TUsageError{"--save needs a data set name"};
        } else if (A == "--template") {
            O.Template = OptionValue(Args, I);
        } else if (A == "--approximator") {
            const std::string& Kind = OptionValue(Args, I);
            if (Kind != "raw" && Kind != "spline")
                throw TUsageError{"--approximator is raw or spline, not '" + Kind + "'"};
            O.Spline = Kind == "spline";
            O.HaveApproximatorOptions = true;
        } else if (A == "--increment") {
            O.Increment = ParseReal(OptionValue(Args, I), A, -1e300, 1e300);
            O.HaveIncrement = true;
            O.HaveApproximatorOptions = true;
        } else if (A == "--x-units") {
            O.Expansion.Units.X = OptionValue(Args, I);
        } else if (A == "--y-units") {
            O.Expansion.Units.Y = OptionValue(Args, I);
        } else if (A == "--x-format") {
            ParseFormat(OptionValue(Args, I), A, O.Expansion.Formats.XFormat);
        } else if (A == "--y-format") {
            ParseFormat(OptionValue(Args, I), A, O.Expansion.Formats.YFormat);
        } else if (A == "-o") {
            O.Output = OptionValue(Args, I);
        } else if (A.size() > 1 && A[0] == '-') {
            throw TUsageError{"unknown option '" + A + "'"};
        } else if (O.Image.empty()) {
            O.Image = A;
        } else {
            throw TUsageError{"unexpected argument '" + A + "'"};
        }
    }
    if (O.Image.empty())
        throw TUsageError{"follow needs an IMAGE"};
    if (!O.HaveStart)
        throw TUsageError{"follow needs --start C,R"};
    if (!O.Pixels && !(O.HaveFirst && O.HaveSkew && O.HaveSecond))
        throw TUsageError{"follow needs --first, --skew and --second (or --pixels)"};
    if (O.HaveDirection && !O.Nonfunctional)
        throw TUsageError{"--direction applies to --kind nonfunctional only"};
    if (O.HaveGridOption && !O.EliminateGrid)
        throw TUsageError{"--frame, --ticks and --strength go with --eliminate-grid"};
    if (!O.Save.empty() && (O.Pixels || !O.Template.empty() || !O.Output.empty()))
        throw TUsageError{"--save stores the line: it cannot go with --pixels, --template or -o"};
    if (!O.Save.empty() && !(O.HaveFirst && O.HaveSkew && O.HaveSecond))
        throw TUsageError{"--save needs the coordinate system: --first, --skew and --second"};
    if (!O.Template.empty() && O.Pixels)
        throw TUsageError{"--template writes real values: it cannot go with --pixels"};
    if (O.Template.empty() && O.HaveApproximatorOptions)
        throw TUsageError{"--approximator and --increment need --template"};
    if (O.HaveIncrement && !O.Spline)
        throw TUsageError{"--increment needs --approximator spline"};
    return O;
}

std::unique_ptr<TLine> NewLine(const TFollowOptions& O, const std::string& Name) {
    if (O.Nonfunctional)
        return std::make_unique<TNonfunctionalLine>(Name);
    return std::make_unique<TFunctionalLine>(Name);
}

// Stores the line in the image's parameter file through the application object, as closing
// the image in the program and answering "Yes" does: the coordinate system of the command
// line replaces the stored one, the other stored data sets stay.
void SaveLine(const TFollowOptions& O, const TScaleSystem& Scale, std::unique_ptr<TLine> Line) {
    TScriptedPrompter SaveChanges({EMessageAnswer::Yes});
    TKorvaneApplication App(SettingsFolder(), SaveChanges);
    TPanelScale PanelScale;
    TStoredScroller Scroller;
    TPanelScaleRecord Panel(PanelScale, Scroller);
    App.OpenFile(WorkName(O.Image, O.Pdf), Panel);
    PanelScale.SetScaleSystems(Scale, Scale);
    App.InsertDigitization(std::move(Line), App.Count());
    App.SetFileIsDirty(true);
    App.CloseFile(Panel);
    if (App.FileIsOpen())
        throw EKorvane("The data set could not be stored.");
}

// The followed points as the line they would become, written through a built-in template.
int WriteThroughTemplate(const TFollowOptions& O, TLine& Line) {
    const std::unique_ptr<TDataTemplateList> Templates = CreateBuiltInTemplates();
    const std::int32_t Index = Templates->IndexOf(O.Template);
    if (Index < 0) {
        std::string Names;
        for (std::int32_t I = 0; I < Templates->Count(); ++I)
            Names += (I ? ", \"" : "\"") + Templates->Items(I).Name + "\"";
        throw TUsageError{"no template named '" + O.Template + "'; the built-in ones are " + Names};
    }
    TDataTemplate& Template = Templates->Items(Index);
    if (!Template.CanCopyToClipboard() && O.Output.empty())
        throw TUsageError{"the template \"" + Template.Name + "\" writes a file: give -o FILE"};

    if (O.Spline) {
        Line.SetApproximatorClass(O.Nonfunctional ? TParametricCubicSpline::Class()
                                                  : TCubicSpline::Class());
        if (O.HaveIncrement) {
            if (auto* Set = dynamic_cast<TCubicSplineParamSet*>(&Line.ParamSet()))
                Set->SetIncrement(O.Increment);
            else if (auto* Parametric =
                         dynamic_cast<TParametricCubicSplineParamSet*>(&Line.ParamSet()))
                Parametric->SetIncrement(O.Increment);
        }
    }
    if (O.Output.empty()) {
        const std::string Text = ExportToText(Template, Line, false, O.Expansion);
        std::fwrite(Text.data(), 1, Text.size(), stdout);
        if (std::fflush(stdout) != 0)
            throw EKorvane("Cannot write the points to standard output.");
        return 0;
    }
    TScriptedPrompter KeepReadOnlyFiles({EMessageAnswer::No});
    if (!ExportToFile(Template, Line, false, O.Expansion, O.Output, KeepReadOnlyFiles))
        throw EKorvane("\"" + O.Output + "\" is read-only; nothing was written.");
    return 0;
}

} // namespace

int FollowCommand(const std::vector<std::string>& Args) {
    const TFollowOptions O = Parse(Args);

    // Plain pixel output needs no chart coordinates: the line is followed in the image's own.
    TScaleSystem Scale;
    if (O.Pixels)
        Scale.DefineImageCoordinates();
    else
        Scale.Define(O.FirstPixel, O.SkewPixel, O.SecondPixel, O.FirstValue, O.SecondValue, O.LogX,
                     O.LogY);

    TWorkingImage Image = LoadImage(O.Image, O.Pdf);
    if (O.EliminateGrid) {
        const TGridElimination Found =
            FindGrid(Image.Image,
                     GridReferenceOf(O.HaveFirst && O.HaveSkew && O.HaveSecond, O.FirstPixel,
                                     O.SkewPixel, O.SecondPixel),
                     O.Grid);
        ApplyGridElimination(Image.Image, Found);
    }
    if (O.Start.X < 0 || O.Start.Y < 0 || O.Start.X >= Image.Image.width() ||
        O.Start.Y >= Image.Image.height())
        throw EKorvane("The start pixel " + std::to_string(O.Start.X) + "," +
                       std::to_string(O.Start.Y) + " lies outside the " +
                       std::to_string(Image.Image.width()) + " x " +
                       std::to_string(Image.Image.height()) + " image.");

    TVectorizerParameters Settings;
    Settings.SetDelay(0);
    Settings.SetColorTolerance(O.Tolerance);
    Settings.SetMaxHorizontalJump(O.MaxHorizontalJump);
    Settings.SetMaxVerticalJump(O.MaxVerticalJump);
    Settings.SetThicknessTolerance(O.ThicknessTolerance);
    TQueuedDispatcher Dispatcher;
    const TFollowRun Run{Image.Image, Settings, O.Enhancements, Dispatcher, Scale};

    // As in the program: the line follows the colour given, or the colour of the start pixel.
    std::unique_ptr<TLine> Line = NewLine(O, O.Save.empty() ? "Followed" : O.Save);
    Line->SetTrackingColor(O.HaveColor ? O.Color
                                       : ImagePixelColor(Image.Image, O.Start.X, O.Start.Y));
    std::unique_ptr<TVectorizerInitialConditions> Conditions;
    if (O.HaveDirection)
        Conditions = std::make_unique<TResumeNonfunctionalInitialConditions>(O.Start, O.Direction);
    else
        Conditions = std::make_unique<TVectorizerInitialConditions>(O.Start);
    Conditions->SetTrackingColor(Line->TrackingColor);

    TFollowRecorder Watcher;
    Line->AddListener(&Watcher);
    Line->AutoDigitize(Run, *Conditions);
    while (!Watcher.Ended)
        Dispatcher.WaitAndProcess(std::chrono::milliseconds(100));
    Line->RemoveListener(&Watcher);

    if (Line->Count() == 0) {
        std::fputs("korvane-cli: The digitizer could not find a line at the point on which you "
                   "clicked.\n",
                   stderr);
        return 1;
    }
    if (Line->RunEndedByError())
        throw EKorvane("The line runs beyond the coordinate system's range after " +
                       std::to_string(Line->Count()) + " points; nothing was written.");
    // The output range covers every point, as the data view sets it.
    Line->ParamSet().ResetRange();

    if (!O.Save.empty()) {
        SaveLine(O, Scale, std::move(Line));
        return 0;
    }
    if (!O.Template.empty())
        return WriteThroughTemplate(O, *Line);

    std::string Text;
    for (std::int32_t I = 0; I < Line->Count(); ++I) {
        if (O.Pixels) {
            const TLongintPoint P = Watcher.Pixels[static_cast<std::size_t>(I)];
            Text += std::to_string(P.X) + "," + std::to_string(P.Y) + "\n";
        } else {
            const TDoublePoint R = Line->GetPoint(I);
            Text += RealText(R.X) + "," + RealText(R.Y) + "\n";
        }
    }
    if (O.Output.empty()) {
        std::fwrite(Text.data(), 1, Text.size(), stdout);
        if (std::fflush(stdout) != 0)
            throw EKorvane("Cannot write the points to standard output.");
    } else {
        WriteFileAtomically(O.Output, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
    }
    return 0;
}

} // namespace korvane::cli
