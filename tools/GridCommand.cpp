// korvane-cli eliminate-grid: the grid of a chart removed, written as a picture.

#include "CliSupport.h"
#include "core/Errors.h"
#include "image/GridElimination.h"
#include "image/ImageFormats.h"
#include "image/ImageModel.h"

#include <cstdio>
#include <optional>

namespace korvane::cli {

namespace {

struct TGridOptions {
    std::string Image, Output, Mask;
    bool HaveFirst = false, HaveSkew = false, HaveSecond = false;
    TGridReference Reference;
    TGridEliminationOptions Elimination;
    bool Stats = false;
};

TGridOptions ParseGridOptions(const std::vector<std::string>& Args) {
    TGridOptions O;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        const std::string& A = Args[I];
        if (A == "--first") {
            O.Reference.First = ParseIntPair(OptionValue(Args, I), A);
            O.HaveFirst = true;
        } else if (A == "--skew") {
            O.Reference.Skew = ParseIntPair(OptionValue(Args, I), A);
            O.HaveSkew = true;
        } else if (A == "--second") {
            O.Reference.Second = ParseIntPair(OptionValue(Args, I), A);
            O.HaveSecond = true;
        } else if (A == "--frame") {
            O.Elimination.Frame = true;
        } else if (A == "--ticks") {
            O.Elimination.Ticks = true;
        } else if (A == "--strength") {
            O.Elimination.Strength = ParseReal(OptionValue(Args, I), A, 1, 3);
        } else if (A == "--mask") {
            O.Mask = OptionValue(Args, I);
        } else if (A == "--stats") {
            O.Stats = true;
        } else if (A == "-o") {
            O.Output = OptionValue(Args, I);
        } else if (O.Image.empty() && A.rfind("-", 0) != 0) {
            O.Image = A;
        } else {
            throw TUsageError{"unexpected argument '" + A + "'"};
        }
    }
    if (O.Image.empty())
        throw TUsageError{"eliminate-grid needs an IMAGE"};
    if (O.Output.empty())
        throw TUsageError{"eliminate-grid needs -o OUT.png"};
    const int Given = int(O.HaveFirst) + int(O.HaveSkew) + int(O.HaveSecond);
    if (Given != 0 && Given != 3)
        throw TUsageError{"the reference pixels go together: --first, --skew and --second"};
    if (Given == 3 && O.Reference.Skew.X == O.Reference.First.X)
        throw TUsageError{"--skew must lie beside --first along the X axis"};
    return O;
}

} // namespace

std::optional<TGridReference> GridReferenceOf(bool Have, TLongintPoint First, TLongintPoint Skew,
                                              TLongintPoint Second) {
    if (!Have)
        return std::nullopt;
    return TGridReference{First, Skew, Second};
}

int EliminateGridCommand(const std::vector<std::string>& Args) {
    const TGridOptions O = ParseGridOptions(Args);
    QImage Image = LoadImageFile(O.Image).Image;
    const TGridElimination Found = FindGrid(
        Image,
        GridReferenceOf(O.HaveFirst, O.Reference.First, O.Reference.Skew, O.Reference.Second),
        O.Elimination);
    if (O.Stats)
        std::printf("tilt: %.6f\nink threshold: %.1f\nlines along X: %d\nlines along Y: %d\n"
                    "erased: %lld\nkept: %lld\n",
                    Found.Tilt, Found.InkThreshold, Found.LinesX, Found.LinesY,
                    static_cast<long long>(Found.ErasedCount),
                    static_cast<long long>(Found.KeptCount));
    if (!Found.Found()) {
        std::fprintf(stderr,
                     "korvane-cli: No grid lines were found in \"%s\"; nothing was written.\n",
                     O.Image.c_str());
        return 3;
    }
    if (!O.Mask.empty())
        SaveImageFile(GridEliminationPreview(Image, Found), O.Mask);
    ApplyGridElimination(Image, Found);
    SaveImageFile(Image, O.Output);
    return 0;
}

} // namespace korvane::cli
