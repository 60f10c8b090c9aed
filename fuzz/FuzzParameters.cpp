// libFuzzer targets for the two parameter file loaders, chosen at compile time:
//   KORVANE_FUZZ_APP_PARAMETERS   the application parameter file (with the paint settings)
//   KORVANE_FUZZ_FILE_PARAMETERS  the per-image parameter file (with the coordinate system)
// Each input is loaded twice from memory: as it is (which mostly exercises the digest
// check) and sealed with a fresh digest (which reaches the record parsers). A loader may
// only fail with EParameterFile; anything else (a crash, a sanitizer report, another
// exception, a runaway allocation) is a finding. Whatever loads must save, load again and
// save the same bytes.
//
// With KORVANE_FUZZ_SEEDS=DIR in the environment the target first writes a few valid files
// into DIR, to serve as the seed corpus.

#include "core/MessageDigests.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/RecentFiles.h"
#include "export/DataTemplates.h"
#include "image/PanelScale.h"
#include "interaction/ApplicationParameters.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace korvane;

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Sealed(const std::uint8_t* Data, std::size_t Size) {
    TBytes Bytes(Data, Data + Size);
    const TRipeMD160Digest Digest = RipeMD160(Data, Size);
    Bytes.insert(Bytes.end(), Digest.begin(), Digest.end());
    return Bytes;
}

void WriteSeed(const std::string& Name, const TBytes& Bytes) {
    std::ofstream File(Name, std::ios::binary | std::ios::trunc);
    File.write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
}

#if defined(KORVANE_FUZZ_APP_PARAMETERS)

constexpr TScreenSize Screen{1280, 1024};

// The saved file of the loaded parameters, or nothing when the input did not load.
bool Load(const TBytes& Input, TBytes& Saved) {
    TApplicationParameters App("", Screen);
    TPaintParameters Paint;
    try {
        TMemoryStream Stream(Input);
        App.LoadParameterFile(Stream, Paint);
    } catch (const EParameterFile&) {
        return false;
    }
    TMemoryStream Out;
    App.SaveParameterFile(Out, Paint);
    Saved = Out.Bytes();
    return true;
}

void WriteSeeds(const std::string& Folder) {
    TApplicationParameters App("", Screen);
    TPaintParameters Paint;
    App.Reset();
    TMemoryStream Defaults;
    App.SaveParameterFile(Defaults, Paint);
    WriteSeed(Folder + "/defaults.app", Defaults.Bytes());

    auto Mine = std::make_unique<TDataTemplate>("Mine");
    Mine->SetHeaderText("{DataSetName} {XMin}..{XMax}\r\n");
    Mine->SetBodyText("{X}{LB}{Y}{RB} {XU}\r\n");
    App.Templates().Add(std::move(Mine));
    App.RecentFiles().Add("/proc/self/exe");
    App.ShowGuide = false;
    Paint.SetPenSize(7);
    Paint.SetMarkingColor(RGB(200, 10, 10));
    TMemoryStream Custom;
    App.SaveParameterFile(Custom, Paint);
    WriteSeed(Folder + "/custom.app", Custom.Bytes());
}

#elif defined(KORVANE_FUZZ_FILE_PARAMETERS)

class TPanel : public IScaleRecordOwner {
public:
    TPanelScale Scale;
    mutable TStoredScroller Scroller;
    void LoadScaleRecord(TStream& Stream) override { Scale.LoadFromStream(Stream, Scroller); }
    void SaveScaleRecord(TStream& Stream) const override { Scale.SaveToStream(Stream, Scroller); }
};

bool Load(const TBytes& Input, TBytes& Saved) {
    TFileParameters Params("");
    TPanel Panel;
    try {
        TMemoryStream Stream(Input);
        Params.LoadParameterFile(Stream, Panel);
    } catch (const EParameterFile&) {
        return false;
    }
    TMemoryStream Out;
    Params.SaveParameterFile(Out, nullptr, Panel);
    Saved = Out.Bytes();
    return true;
}

void WriteSeeds(const std::string& Folder) {
    TFileParameters Params("");
    TPanel Panel;
    TMemoryStream Empty;
    Params.SaveParameterFile(Empty, nullptr, Panel);
    WriteSeed(Folder + "/empty.par", Empty.Bytes());

    TScaleSystem S;
    S.Define({100, 400}, {500, 401}, {500, 100}, {1, 1}, {100, 30}, true, false);
    Panel.Scale.SetScaleSystems(S, S);
    Panel.Scroller.Horizontal = 40;
    Params.Units = {"s", "mV"};
    Params.Formats.XFormat.FloatingPoint = false;
    Params.VectorizerParameters.SetDelay(0);
    TFunctionalLine Line("Line 1");
    TNonfunctionalLine Contour("Contour");
    TScatter Scatter("Points");
    for (int I = 0; I < 20; ++I) {
        Line.AddPoint({I * 0.5, I * I * 0.25});
        Contour.AddPoint({I % 7 * 1.0, I / 3.0});
    }
    Line.SetTrackingColor(RGB(0, 0, 255));
    Scatter.AddPoint({3, 4});
    Scatter.AddPoint({-1, 2});
    Scatter.SetColorIndex(4);
    const TDigitizationRefs List{&Line, &Contour, &Scatter};
    TMemoryStream Full;
    Params.SaveParameterFile(Full, &List, Panel);
    WriteSeed(Folder + "/datasets.par", Full.Bytes());
}

#else
#error "Define KORVANE_FUZZ_APP_PARAMETERS or KORVANE_FUZZ_FILE_PARAMETERS."
#endif

void Check(const TBytes& Input) {
    TBytes Saved;
    if (!Load(Input, Saved))
        return;
    TBytes Again;
    if (!Load(Saved, Again) || Again != Saved)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* Folder = std::getenv("KORVANE_FUZZ_SEEDS"); Folder && *Folder)
        WriteSeeds(Folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    Check(TBytes(Data, Data + Size));
    Check(Sealed(Data, Size));
    return 0;
}
