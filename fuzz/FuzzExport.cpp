// libFuzzer target for exporting point values of any magnitude. The first byte chooses the X
// number format, the second the Y format (bit 7 scientific, the rest modulo 19 the precision),
// the third the decimal separator (bit 0: ','); every further 16 bytes are a point, two
// doubles in the machine's byte order. An input with a value that is not a finite number is
// rejected. The points go into a functional line, a non-functional line and a scatter, each
// exported through every built-in template to memory. Exporting may not fail (the
// non-functional line may refuse a range too long for a double, with EParamSetError); the
// tab-separated (and, with '.', the comma-separated) text must hold one line per output
// point whose numbers parse back to the point within the format's rounding, and the
// spreadsheet must hold the exact values.
//
// With KORVANE_FUZZ_SEEDS=DIR in the environment the target first writes a few inputs into
// DIR, to serve as the seed corpus.

#include "core/Formats.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "export/DataTemplates.h"
#include "export/ExportData.h"
#include "output/CurveIterators.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace korvane;

namespace {

constexpr std::size_t OptionBytes = 3;

void Require(bool Condition) {
    if (!Condition)
        __builtin_trap();
}

void SetFormat(TCoordFormat& Format, std::uint8_t Byte) {
    TCoordFormat Scratch;
    Scratch.FloatingPoint = (Byte & 0x80) == 0;
    Scratch.Precision = (Byte & 0x7F) % (TCoordFormat::MaxPrecision + 1);
    Format.Assign(Scratch);
}

// Whether Text is a number Format may have written for Value: it parses as a whole and
// lies within the format's rounding of Value (to 18 significant digits first, then to the
// precision; the general notation of huge fixed-point values keeps 15 digits).
bool WrittenAs(std::string Text, double Value, const TCoordFormat& Format, char Separator) {
    if (Text.empty())
        return false;
    if (Separator != '.')
        for (char& C : Text)
            if (C == Separator)
                C = '.';
    char* End = nullptr;
    // Long double: a value rounded up beyond the largest double still parses.
    const long double Parsed = std::strtold(Text.c_str(), &End);
    if (End != Text.c_str() + Text.size())
        return false;
    const long double Magnitude = std::fabs(static_cast<long double>(Value));
    const long double Step = std::pow(10.0L, -Format.Precision);
    long double Allowed;
    if (Format.FloatingPoint)
        Allowed = Step / 2 + Magnitude * (Magnitude >= 1e17L ? 1e-14L : 1e-16L);
    else
        Allowed = Magnitude * (Step / 2 + 1e-16L);
    return std::fabs(Parsed - static_cast<long double>(Value)) <= Allowed;
}

// Text holds one line "X<Delimiter>Y\r\n" for each of Points.
void CheckColumns(const std::string& Text, char Delimiter, const std::vector<TDoublePoint>& Points,
                  const TExpansionParams& Params) {
    std::size_t Start = 0;
    for (const TDoublePoint& P : Points) {
        const std::size_t End = Text.find("\r\n", Start);
        Require(End != std::string::npos);
        const std::string Line = Text.substr(Start, End - Start);
        const std::size_t Split = Line.find(Delimiter);
        Require(Split != std::string::npos);
        Require(
            WrittenAs(Line.substr(0, Split), P.X, Params.Formats.XFormat, Params.DecimalSeparator));
        Require(WrittenAs(Line.substr(Split + 1), P.Y, Params.Formats.YFormat,
                          Params.DecimalSeparator));
        Start = End + 2;
    }
    Require(Start == Text.size());
}

// The spreadsheet holds a NUMBER record (type 3, 15 bytes: row, column, attributes, value)
// for X and for Y of each point, in order, after the 24 bytes of BOF and DIMENSIONS.
void CheckSpreadsheet(const std::vector<std::uint8_t>& Bytes,
                      const std::vector<TDoublePoint>& Points) {
    constexpr std::size_t Head = 24, Record = 19;
    Require(Bytes.size() == Head + 2 * Record * Points.size() + 4);
    for (std::size_t K = 0; K < Points.size(); ++K)
        for (std::size_t Column = 0; Column < 2; ++Column) {
            const std::uint8_t* R = Bytes.data() + Head + (2 * K + Column) * Record;
            std::uint16_t Type, Row, Col;
            double Value;
            std::memcpy(&Type, R, 2);
            std::memcpy(&Row, R + 4, 2);
            std::memcpy(&Col, R + 6, 2);
            std::memcpy(&Value, R + 11, 8);
            const double Expected = Column == 0 ? Points[K].X : Points[K].Y;
            Require(Type == 3 && Row == K && Col == Column &&
                    std::memcmp(&Value, &Expected, sizeof Value) == 0);
        }
}

void Export(const TDigitization& Digitization, const TDataTemplateList& Templates,
            const TExpansionParams& Params) {
    std::vector<TDoublePoint> Points;
    const std::unique_ptr<TCurveIterator> Output = NewExportIterator(Digitization, false);
    for (Output->First(); !Output->IsDone(); Output->Next())
        Points.push_back(Output->CurrentPoint());
    for (std::int32_t I = 0; I < Templates.Count(); ++I) {
        TDataTemplate& Template = Templates.Items(I);
        TMemoryStream Stream;
        ExportToStream(Template, Digitization, false, Params, Stream);
        const std::vector<std::uint8_t>& Bytes = Stream.Bytes();
        const std::string Text(Bytes.begin(), Bytes.end());
        if (Templates.Names(I) == TabSeparatedTemplateName)
            CheckColumns(Text, '\t', Points, Params);
        else if (Templates.Names(I) == CommaSeparatedTemplateName && Params.DecimalSeparator == '.')
            CheckColumns(Text, ',', Points, Params);
        else if (Templates.Names(I) == ExcelTemplateName)
            CheckSpreadsheet(Bytes, Points);
    }
}

void WriteSeed(const std::string& Name, std::vector<std::uint8_t> Options,
               const std::vector<double>& Values) {
    std::ofstream File(Name, std::ios::binary);
    File.write(reinterpret_cast<const char*>(Options.data()), std::streamsize(Options.size()));
    File.write(reinterpret_cast<const char*>(Values.data()),
               std::streamsize(Values.size() * sizeof(double)));
}

void WriteSeeds(const std::string& Folder) {
    WriteSeed(Folder + "/plain", {2, 2, 0}, {0, 0, 1, 2, 2.5, 4, 3, -1});
    WriteSeed(Folder + "/scientific", {0x85, 0x80 | 18, 1},
              {-1e300, 5e-324, 1e-5, 1.7976931348623157e308});
    WriteSeed(Folder + "/wide", {18, 0, 0},
              {9.999999999999999e17, -0.5, 1e18, 0.05, 123456789.125, -0.0});
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* Folder = std::getenv("KORVANE_FUZZ_SEEDS"); Folder && *Folder)
        WriteSeeds(Folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < OptionBytes + 2 * sizeof(double))
        return -1;
    TExpansionParams Params;
    Params.Units = {"mm", "N"};
    SetFormat(Params.Formats.XFormat, Data[0]);
    SetFormat(Params.Formats.YFormat, Data[1]);
    Params.DecimalSeparator = (Data[2] & 1) ? ',' : '.';

    TFunctionalLine Line("Line");
    TNonfunctionalLine Contour("Contour");
    TScatter Scatter("Points");
    for (std::size_t At = OptionBytes; At + 2 * sizeof(double) <= Size; At += 2 * sizeof(double)) {
        TDoublePoint P;
        std::memcpy(&P.X, Data + At, sizeof(double));
        std::memcpy(&P.Y, Data + At + sizeof(double), sizeof(double));
        if (!std::isfinite(P.X) || !std::isfinite(P.Y))
            return -1;
        Line.AddPoint(P);
        Contour.AddPoint(P);
        Scatter.AddPoint(P);
    }
    static const std::unique_ptr<TDataTemplateList> Templates = CreateBuiltInTemplates();
    Line.ParamSet().ResetRange();
    Export(Line, *Templates, Params);
    Export(Scatter, *Templates, Params);
    // The non-functional line's range is in arc length, which overflows for points near the
    // largest doubles: its parameter set then refuses the range as documented.
    try {
        Contour.ParamSet().ResetRange();
    } catch (const EParamSetError&) {
        return 0;
    }
    Export(Contour, *Templates, Params);
    return 0;
}
