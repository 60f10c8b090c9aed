#include "export/ExportData.h"

#include "core/Prompter.h"
#include "core/Streams.h"
#include "document/Digitizations.h"
#include "export/NativeExcel.h"
#include "output/ApproximatorParams.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace korvane;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TScatter> MakeScatter(const std::vector<TDoublePoint>& Points,
                                      const std::string& Name = "Set 1") {
    auto Scatter = std::make_unique<TScatter>(Name);
    for (const TDoublePoint& P : Points)
        Scatter->AddPoint(P);
    return Scatter;
}

TExpansionParams Params(std::string XUnits = "mm", std::string YUnits = "N") {
    TExpansionParams P;
    P.Units = {std::move(XUnits), std::move(YUnits)};
    return P;
}

// Lines each followed by CR LF.
std::string Lines(std::initializer_list<const char*> List) {
    std::string Text;
    for (const char* Line : List)
        Text += std::string(Line) + "\r\n";
    return Text;
}

TDataTemplate& BuiltIn(const TDataTemplateList& List, const std::string& Name) {
    TDataTemplate* Template = List.Find(Name);
    if (!Template)
        throw std::runtime_error("no template " + Name);
    return *Template;
}

std::string DxfHeader(const char* XMin, const char* XMax, const char* YMin, const char* YMax) {
    return Lines({"  0", "SECTION",    "  2", "HEADER",   "  9", "$LUNITS", " 70", "  2",
                  "  9", "$LUPREC",    " 70", "  5",      "  9", "$EXTMIN", " 10", XMin,
                  " 20", YMin,         "  9", "$EXTMAX",  " 10", XMax,      " 20", YMax,
                  "  9", "$LIMMIN",    " 10", XMin,       " 20", YMin,      "  9", "$LIMMAX",
                  " 10", XMax,         " 20", YMax,       "  0", "ENDSEC",  "  0", "SECTION",
                  "  2", "TABLES",     "  0", "TABLE",    "  2", "LAYER",   " 70", "  1",
                  "  0", "LAYER",      "  2", "KORVANE",  " 70", "  0",     " 62", "  7",
                  "  6", "CONTINUOUS", "  0", "ENDTAB",   "  0", "ENDSEC",  "  0", "SECTION",
                  "  2", "ENTITIES",   "  0", "POLYLINE", "  8", "KORVANE", " 66", "  1",
                  " 70", "  0"});
}

std::string DxfVertex(const char* X, const char* Y) {
    return Lines({"  0", "VERTEX", "  8", "KORVANE", " 10", X, " 20", Y});
}

const std::string DxfTrailer =
    Lines({"  0", "SEQEND", "  8", "KORVANE", "  0", "ENDSEC", "  0", "EOF"});

} // namespace

TEST(BuiltInTemplates, NamesExtensionsAndOrder) {
    const auto List = CreateBuiltInTemplates();
    const std::vector<std::pair<std::string, std::string>> Expected{
        {"Comma-separated", "csv"},
        {"Comma-separated with header", "txt"},
        {"Tab-separated", "txt"},
        {"XML", "xml"},
        {"DXF", "dxf"},
        {"Microsoft Excel", "xls"},
    };
    ASSERT_EQ(List->Count(), static_cast<std::int32_t>(Expected.size()));
    for (std::int32_t I = 0; I < List->Count(); ++I) {
        EXPECT_EQ(List->Names(I), Expected[static_cast<std::size_t>(I)].first);
        EXPECT_EQ(List->Items(I).Extension, Expected[static_cast<std::size_t>(I)].second);
    }
    EXPECT_NE(dynamic_cast<TExcelTemplate*>(&List->Items(5)), nullptr);
    EXPECT_EQ(List->Find("xml"), &List->Items(3));

    // The stored list holds the five text templates; reading it back and completing it
    // appends the spreadsheet template again, last.
    TMemoryStream Stream;
    List->SaveToStream(Stream);
    Stream.Seek(0);
    TDataTemplateList Loaded;
    Loaded.LoadFromStream(Stream);
    EXPECT_EQ(Loaded.Count(), 5);
    CompleteTemplateList(Loaded);
    ASSERT_EQ(Loaded.Count(), 6);
    EXPECT_EQ(Loaded.Names(5), "Microsoft Excel");
    EXPECT_NE(dynamic_cast<TExcelTemplate*>(&Loaded.Items(5)), nullptr);
    for (std::int32_t I = 0; I < 5; ++I)
        EXPECT_EQ(Loaded.Items(I).BodyText(), List->Items(I).BodyText());

    // A list of the user's own keeps them and gains only the spreadsheet template.
    TDataTemplateList Own;
    Own.Add(std::make_unique<TDataTemplate>("Mine"));
    CompleteTemplateList(Own);
    ASSERT_EQ(Own.Count(), 2);
    EXPECT_EQ(Own.Names(0), "Mine");
    EXPECT_EQ(Own.Names(1), "Microsoft Excel");
}

TEST(BuiltInTemplates, ProduceTheExactText) {
    const auto List = CreateBuiltInTemplates();
    struct TCase {
        const char* Template;
        std::vector<TDoublePoint> Points;
        std::string Expected;
    };
    const std::vector<TCase> Cases{
        {"Comma-separated", {{1, 2}, {3, 4.5}}, "1.00,2.00\r\n3.00,4.50\r\n"},
        {"Tab-separated", {{1, 2}, {-0.5, 0.004}}, "1.00\t2.00\r\n-.50\t.00\r\n"},
        {"XML",
         {{1, 2}, {3, 4.5}},
         "<DATA XUnits=\"mm\" YUnits=\"N\">\r\n"
         "  <POINT><X>1.00</X><Y>2.00</Y></POINT>\r\n"
         "  <POINT><X>3.00</X><Y>4.50</Y></POINT>\r\n"
         "</DATA>\r\n"},
        {"DXF",
         {{0.5, 2}},
         DxfHeader(".50", ".50", "2.00", "2.00") + DxfVertex(".50", "2.00") + DxfTrailer},
        {"DXF",
         {{1, 2}, {-3, 40}},
         DxfHeader("-3.00", "1.00", "2.00", "40.00") + DxfVertex("1.00", "2.00") +
             DxfVertex("-3.00", "40.00") + DxfTrailer},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Template);
        const auto Scatter = MakeScatter(C.Points);
        const std::string Text =
            ExportToText(BuiltIn(*List, C.Template), *Scatter, false, Params());
        EXPECT_EQ(Text, C.Expected);
        // A stream receives the same bytes.
        TMemoryStream Stream;
        ExportToStream(BuiltIn(*List, C.Template), *Scatter, false, Params(), Stream);
        EXPECT_EQ(std::string(Stream.Bytes().begin(), Stream.Bytes().end()), C.Expected);
    }
}

TEST(BuiltInTemplates, CommaSeparatedWithHeader) {
    const auto List = CreateBuiltInTemplates();
    const auto Scatter = MakeScatter({{1, 2}, {-3, 40.5}}, "Curve A");
    const std::string Text =
        ExportToText(BuiltIn(*List, "Comma-separated with header"), *Scatter, false, Params());
    std::istringstream Stream(Text);
    std::vector<std::string> Got;
    for (std::string Line; std::getline(Stream, Line);)
        Got.push_back(Line);
    const std::vector<std::string> Expected{
        "Data for Curve A\r",
        "", // the time stamp
        "X values range from -3.00 to 1.00\r",
        "Y values range from 2.00 to 40.50\r",
        "1.00 mm,2.00 N\r",
        "-3.00 mm,40.50 N\r",
    };
    ASSERT_EQ(Got.size(), Expected.size()) << Text;
    for (std::size_t I = 0; I < Got.size(); ++I)
        if (I != 1) {
            EXPECT_EQ(Got[I], Expected[I]);
        }
    EXPECT_EQ(Got[1].rfind("Created on ", 0), 0u) << Got[1];
    EXPECT_GT(Got[1].size(), std::string("Created on \r").size());
    EXPECT_TRUE(Got[1].ends_with("\r"));
    EXPECT_TRUE(Text.ends_with("\r\n"));
}

TEST(ExportData, HeaderAndFooterGetOneLineBreak) {
    const auto Scatter = MakeScatter({{1, 2}}, "S");
    struct TCase {
        const char* Header;
        const char* Footer;
        const char* Expected;
    };
    const std::vector<TCase> Cases{
        {"Data for {DataSetName}", "end", "Data for S\r\n1.00|end\r\n"},
        {"Data for {DataSetName}\r\n", "end\r\n", "Data for S\r\n1.00|end\r\n"},
        {"", "", "1.00|"},
        // Only CR LF counts as a line break.
        {"a\n", "b\r", "a\n\r\n1.00|b\r\r\n"},
        // A tag that expands to nothing leaves the section empty: no line break is added.
        {"{X}", "{Y}", "1.00|"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Header);
        TDataTemplate Template("T");
        Template.SetHeaderText(C.Header);
        Template.SetBodyText("{X}|");
        Template.SetFooterText(C.Footer);
        EXPECT_EQ(ExportToText(Template, *Scatter, false, Params()), C.Expected);
    }
}

TEST(ExportData, EmptyBodiesAreSkipped) {
    const auto Scatter = MakeScatter({{1, 2}, {3, 4}});
    TDataTemplate Template("T");
    Template.SetHeaderText("h");
    Template.SetBodyText("{XMin}");
    EXPECT_EQ(ExportToText(Template, *Scatter, false, Params()), "h\r\n");
}

TEST(ExportData, SelectedPointsOnly) {
    const auto List = CreateBuiltInTemplates();
    const auto Scatter = MakeScatter({{1, 2}, {3, 4.5}, {-1, 0.25}});
    // Nothing selected: header and footer only.
    EXPECT_EQ(ExportToText(BuiltIn(*List, "XML"), *Scatter, true, Params()),
              "<DATA XUnits=\"mm\" YUnits=\"N\">\r\n</DATA>\r\n");
    EXPECT_EQ(ExportToText(BuiltIn(*List, "Comma-separated"), *Scatter, true, Params()), "");
    // The DXF extents come from all points, the vertices from the selection.
    Scatter->Selection().Select(1);
    EXPECT_EQ(ExportToText(BuiltIn(*List, "DXF"), *Scatter, true, Params()),
              DxfHeader("-1.00", "3.00", ".25", "4.50") + DxfVertex("3.00", "4.50") + DxfTrailer);
    Scatter->Selection().Select(2);
    EXPECT_EQ(ExportToText(BuiltIn(*List, "Comma-separated"), *Scatter, true, Params()),
              "3.00,4.50\r\n-1.00,.25\r\n");

    // The spreadsheet collects the selected points only, from row 0.
    TMemoryStream Stream;
    ExportToStream(BuiltIn(*List, "Microsoft Excel"), *Scatter, true, Params(), Stream);
    EXPECT_EQ(Stream.Size(), 24 + 2 * 38 + 4);
}

TEST(ExportData, PointsComeFromTheParameterSet) {
    const auto List = CreateBuiltInTemplates();
    TFunctionalLine Line("Line");
    for (int X = 0; X <= 4; ++X)
        Line.AddPoint({double(X), double(10 * X)});
    Line.ParamSet().ResetRange();
    auto& Range = dynamic_cast<TNonParametricParamSet&>(Line.ParamSet());
    Range.SetStartX(1);
    Range.SetEndX(3);
    TDataTemplate Template("T");
    Template.SetHeaderText("{XMin}..{XMax}");
    Template.SetBodyText("{X},{Y};");
    EXPECT_EQ(ExportToText(Template, Line, false, Params()),
              ".00..4.00\r\n1.00,10.00;2.00,20.00;3.00,30.00;");
    // Selected rows are positions in the output, not in the point list.
    Line.Selection().Select(0);
    EXPECT_EQ(ExportToText(Template, Line, true, Params()), ".00..4.00\r\n1.00,10.00;");
}

TEST(ExportData, RefusesWhatCannotBeExported) {
    const auto List = CreateBuiltInTemplates();
    const auto Empty = MakeScatter({}, "Nothing");
    try {
        ExportToText(BuiltIn(*List, "Comma-separated"), *Empty, false, Params());
        ADD_FAILURE() << "no error";
    } catch (const EExportError& E) {
        EXPECT_NE(std::string(E.what()).find("'Nothing'"), std::string::npos) << E.what();
    }
    const auto Scatter = MakeScatter({{1, 2}});
    try {
        ExportToText(BuiltIn(*List, "Microsoft Excel"), *Scatter, false, Params());
        ADD_FAILURE() << "no error";
    } catch (const EExportError& E) {
        EXPECT_STREQ(E.what(),
                     "The template 'Microsoft Excel' cannot copy its output to the clipboard.");
    }
}

namespace {

class ExportFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string Pattern = (fs::temp_directory_path() / "korvane-export-XXXXXX").string();
        ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
        Folder = Pattern;
        Target = (Folder / "data.csv").string();
    }
    void TearDown() override {
        std::error_code Ignored;
        for (const auto& Entry : fs::directory_iterator(Folder, Ignored))
            ::chmod(Entry.path().c_str(), 0644);
        fs::remove_all(Folder, Ignored);
    }

    static std::string ReadFile(const std::string& Name) {
        std::ifstream In(Name, std::ios::binary);
        return {std::istreambuf_iterator<char>(In), {}};
    }
    static void WriteFile(const std::string& Name, const std::string& Text) {
        std::ofstream(Name, std::ios::binary) << Text;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> Names;
        for (const auto& Entry : fs::directory_iterator(Folder))
            Names.push_back(Entry.path().filename().string());
        return Names;
    }

    fs::path Folder;
    std::string Target;
    std::unique_ptr<TDataTemplateList> List = CreateBuiltInTemplates();
    std::unique_ptr<TScatter> Scatter = MakeScatter({{1, 2}, {3, 4.5}});
};

// Writes part of its file, then fails.
class TFailingTemplate : public TCustomDataTemplate {
public:
    TFailingTemplate() : TCustomDataTemplate("Failing") {}
    void AddPoint(TDoublePoint) override {}
    void WriteToStream(TStream& Stream) override {
        Stream.WriteBuffer("partial", 7);
        throw EWriteError("Disk full.");
    }
};

} // namespace

TEST_F(ExportFile, ReplacesThePreviousFile) {
    WriteFile(Target, std::string(1000, 'x'));
    TScriptedPrompter Prompter;
    EXPECT_TRUE(ExportToFile(BuiltIn(*List, "Comma-separated"), *Scatter, false, Params(), Target,
                             Prompter));
    EXPECT_EQ(ReadFile(Target), "1.00,2.00\r\n3.00,4.50\r\n");
    EXPECT_TRUE(Prompter.Asked.empty());

    const std::string Sheet = (Folder / "data.xls").string();
    EXPECT_TRUE(ExportToFile(BuiltIn(*List, "Microsoft Excel"), *Scatter, false, Params(), Sheet,
                             Prompter));
    EXPECT_EQ(ReadFile(Sheet).size(), 24u + 2 * 38 + 4);
}

TEST_F(ExportFile, ReadOnlyTargetIsReplacedOnlyWhenTheUserAgrees) {
    struct TCase {
        EMessageAnswer Answer;
        bool Exported;
        const char* Content;
    };
    const std::vector<TCase> Cases{
        {EMessageAnswer::No, false, "old"},
        {EMessageAnswer::Yes, true, "1.00,2.00\r\n3.00,4.50\r\n"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Exported);
        WriteFile(Target, "old");
        ASSERT_EQ(::chmod(Target.c_str(), 0444), 0);
        TScriptedPrompter Prompter({C.Answer});
        EXPECT_EQ(ExportToFile(BuiltIn(*List, "Comma-separated"), *Scatter, false, Params(), Target,
                               Prompter),
                  C.Exported);
        ASSERT_EQ(Prompter.Asked.size(), 1u);
        EXPECT_EQ(Prompter.Asked[0].Text,
                  Target + " is marked as read-only.\r\nDo you want to replace it?");
        EXPECT_EQ(Prompter.Asked[0].Buttons, unsigned(mbYesNo));
        EXPECT_EQ(ReadFile(Target), C.Content);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"data.csv"});
        ::chmod(Target.c_str(), 0644);
    }
}

TEST_F(ExportFile, FailureLeavesThePreviousFileIntact) {
    auto Large = MakeScatter({});
    TDoublePointArray Many;
    for (int K = 0; K <= 65535; ++K)
        Many.Add({double(K), 1});
    Large->SetPoints(Many);
    const auto Empty = MakeScatter({});
    TFailingTemplate Failing;
    struct TCase {
        const char* What;
        TDataTemplate& Template;
        const TDigitization& Data;
    };
    const std::vector<TCase> Cases{
        {"too many rows", BuiltIn(*List, "Microsoft Excel"), *Large},
        {"write error", Failing, *Scatter},
        {"nothing to export", BuiltIn(*List, "Comma-separated"), *Empty},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        WriteFile(Target, "previous");
        TScriptedPrompter Prompter;
        EXPECT_THROW(ExportToFile(C.Template, C.Data, false, Params(), Target, Prompter), EKorvane);
        EXPECT_EQ(ReadFile(Target), "previous");
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"data.csv"});
    }

    TScriptedPrompter Prompter;
    EXPECT_THROW(ExportToFile(BuiltIn(*List, "Comma-separated"), *Scatter, false, Params(),
                              (Folder / "missing" / "data.csv").string(), Prompter),
                 EStreamError);
}
