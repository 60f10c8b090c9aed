// korvane-cli par and export: the work stored for an image, read as the program reads it.

#include "CliSupport.h"
#include "core/AtomicFile.h"
#include "core/Prompter.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "export/ExportData.h"
#include "image/PanelScale.h"
#include "interaction/ApplicationParameters.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace korvane::cli {

namespace {

// The image's parameter file, opened as the program opens it.
struct TStoredWork {
    TFileParameters Parameters{SettingsFolder()};
    TPanelScale Scale;
    TStoredScroller Scroller;
    TPanelScaleRecord Panel{Scale, Scroller};

    explicit TStoredWork(const std::string& Image) {
        const std::string Path = AbsolutePath(Image);
        Parameters.SetImageFileName(Path);
        if (!std::filesystem::exists(Parameters.ParameterFileName()))
            throw EKorvane("No work is stored for \"" + Path + "\" (looked for " +
                           Parameters.ParameterFileName() + ").");
        Parameters.Open(Path, Panel);
    }
};

std::string FormatText(const TCoordFormat& F) {
    return std::string(F.FloatingPoint ? "fixed" : "scientific") + " " +
           std::to_string(F.Precision) + " (" + F.Pattern() + ")";
}

std::string PointText(TLongintPoint P) {
    return std::to_string(P.X) + "," + std::to_string(P.Y);
}

std::string ShortText(double Value);
std::string ValueText(TDoublePoint P) {
    return ShortText(P.X) + "," + ShortText(P.Y);
}

std::string Quoted(const std::string& Text) {
    return "\"" + Text + "\"";
}

// The shortest text that reads back as Value.
std::string ShortText(double Value) {
    char Buffer[64];
    const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return Error == std::errc() ? std::string(Buffer, End) : RealText(Value);
}

} // namespace

int ParCommand(const std::vector<std::string>& Args) {
    if (Args.size() != 1 || Args[0].rfind("-", 0) == 0)
        throw TUsageError{"par takes one IMAGE"};
    TStoredWork Work(Args[0]);
    const TFileParameters& P = Work.Parameters;
    std::string Out;
    Out += "image: " + P.ImageFileName() + "\n";
    Out += "parameter file: " + P.ParameterFileName() + "\n";
    Out += "version: " + P.Version + "\n";
    if (Work.Scale.ScaleDefined()) {
        const TScaleSystem& S = Work.Scale.DefinedScaleSystem();
        Out += "coordinate system: defined\n";
        Out += "  first point: " + PointText(S.FirstPoint) + " = " + ValueText(S.FirstValue) + "\n";
        Out += "  skew point: " + PointText(S.SkewPoint) + "\n";
        Out +=
            "  second point: " + PointText(S.SecondPoint) + " = " + ValueText(S.SecondValue) + "\n";
        Out += std::string("  logarithmic axes: x ") + (S.LogAxes.X ? "yes" : "no") + ", y " +
               (S.LogAxes.Y ? "yes" : "no") + "\n";
    } else {
        Out += "coordinate system: not defined\n";
    }
    Out += "units: x " + Quoted(P.Units.X) + ", y " + Quoted(P.Units.Y) + "\n";
    Out += "formats: x " + FormatText(P.Formats.XFormat) + ", y " + FormatText(P.Formats.YFormat) +
           "\n";
    const TVectorizerParameters& V = P.VectorizerParameters;
    Out += "follower: delay " + std::to_string(V.Delay()) + ", max horizontal jump " +
           std::to_string(V.MaxHorizontalJump()) + ", max vertical jump " +
           std::to_string(V.MaxVerticalJump()) + ", thickness tolerance " +
           std::to_string(V.ThicknessTolerance()) + ", colour tolerance " +
           ShortText(V.ColorTolerance()) + "\n";
    Out += "data sets: " + std::to_string(P.StoredCount()) + "\n";
    for (std::int32_t I = 0; I < P.StoredCount(); ++I) {
        const TDigitization& D = P.StoredDigitization(I);
        Out += "  " + std::to_string(I + 1) + ". " + D.ClassName() + " " + Quoted(D.Name()) +
               ": colour " + DisplayColors[D.ColorIndex()].Name + ", marker " +
               D.Marker().ClassName() + " " + std::to_string(D.Marker().GetSize()) + ", " +
               std::to_string(D.Count()) + " points, approximator " +
               D.ParamSet().Approximator().ClassName() + "\n";
    }
    std::fwrite(Out.data(), 1, Out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int ExportCommand(const std::vector<std::string>& Args) {
    std::string Image, DataSet, TemplateName = CommaSeparatedTemplateName, Output;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        if (Args[I] == "--dataset")
            DataSet = OptionValue(Args, I);
        else if (Args[I] == "--template")
            TemplateName = OptionValue(Args, I);
        else if (Args[I] == "-o")
            Output = OptionValue(Args, I);
        else if (Args[I].size() > 1 && Args[I][0] == '-')
            throw TUsageError{"unknown option '" + Args[I] + "'"};
        else if (Image.empty())
            Image = Args[I];
        else
            throw TUsageError{"unexpected argument '" + Args[I] + "'"};
    }
    if (Image.empty())
        throw TUsageError{"export needs an IMAGE"};

    // Templates: the user's, stored with the program's settings, or the built-in ones.
    TApplicationParameters Settings(SettingsFolder());
    TPaintParameters Paint;
    try {
        Settings.LoadParameterFile(Paint);
    } catch (const EParameterFile& E) {
        std::fprintf(stderr, "korvane-cli: %s\n", E.what());
    }
    TDataTemplate* Template = Settings.Templates().Find(TemplateName);
    if (!Template)
        throw TUsageError{"no template named '" + TemplateName + "'"};

    TStoredWork Work(Image);
    std::vector<TDigitization*> Chosen;
    for (std::int32_t I = 0; I < Work.Parameters.StoredCount(); ++I) {
        TDigitization& D = Work.Parameters.StoredDigitization(I);
        if (DataSet.empty() || D.Name() == DataSet)
            Chosen.push_back(&D);
    }
    if (Chosen.empty())
        throw EKorvane(DataSet.empty() ? "No data sets are stored for this image."
                                       : "No data set named \"" + DataSet + "\" is stored.");
    if (!Template->CanCopyToClipboard() && (Output.empty() || Chosen.size() != 1))
        throw TUsageError{"the template \"" + Template->Name +
                          "\" writes one data set to a file: give --dataset NAME and -o FILE"};
    TExpansionParams Params;
    Params.Units = Work.Parameters.Units;
    Params.Formats.Assign(Work.Parameters.Formats);
    for (TDigitization* D : Chosen)
        if (!D->ParamSet().IsComplete())
            D->ParamSet().ResetRange(); // as the data view does when it shows the data set

    if (!Template->CanCopyToClipboard()) {
        TScriptedPrompter KeepReadOnlyFiles({EMessageAnswer::No});
        if (!ExportToFile(*Template, *Chosen.front(), false, Params, Output, KeepReadOnlyFiles))
            throw EKorvane("\"" + Output + "\" is read-only; nothing was written.");
        return 0;
    }
    std::string Text;
    for (TDigitization* D : Chosen)
        Text += ExportToText(*Template, *D, false, Params);
    if (Output.empty()) {
        std::fwrite(Text.data(), 1, Text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    WriteFileAtomically(Output, [&](TStream& S) { S.WriteBuffer(Text.data(), Text.size()); });
    return 0;
}

} // namespace korvane::cli
