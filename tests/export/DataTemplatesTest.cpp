#include "export/DataTemplates.h"

#include "core/Streams.h"
#include "document/Digitizations.h"

#include <QDate>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

std::unique_ptr<TScatter> MakeScatter(const std::string& Name,
                                      const std::vector<TDoublePoint>& Points) {
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

// Expands Text in every section: body for Point, header and footer for Digitization.
struct TExpansions {
    std::string Body, Header, Footer;
};

TExpansions ExpandAll(const std::string& Text, TDoublePoint Point,
                      const TDigitization& Digitization, const TExpansionParams& P) {
    TTagParser Parser;
    Parser.SetText(Text);
    return {Parser.ExpandBody(Point, P), Parser.ExpandHeader(Digitization, P),
            Parser.ExpandFooter(Digitization, P)};
}

} // namespace

TEST(DataTemplateTags, ThirteenTagsInMenuOrder) {
    struct TExpected {
        const char* Symbol;
        const char* Description;
        unsigned Sections;
    };
    const std::vector<TExpected> Expected{
        {"X", "X", tsBody},
        {"Y", "Y", tsBody},
        {"XU", "X units", tsAllSections},
        {"YU", "Y units", tsAllSections},
        {"XMin", "Minimum X value", tsHeader | tsFooter},
        {"XMax", "Maximum X value", tsHeader | tsFooter},
        {"YMin", "Minimum Y value", tsHeader | tsFooter},
        {"YMax", "Maximum Y value", tsHeader | tsFooter},
        {"DataSetName", "Data set name", tsHeader | tsFooter},
        {"DataSetColor", "Data set color", tsHeader | tsFooter},
        {"TimeStamp", "Time stamp", tsHeader | tsFooter},
        {"LB", "Left curly bracket", tsAllSections},
        {"RB", "Right curly bracket", tsAllSections},
    };
    const auto& Tags = DataTemplateTags();
    ASSERT_EQ(Tags.size(), Expected.size());
    for (std::size_t I = 0; I < Tags.size(); ++I) {
        SCOPED_TRACE(Expected[I].Symbol);
        EXPECT_EQ(Tags[I]->Symbol(), Expected[I].Symbol);
        EXPECT_EQ(Tags[I]->Text(), std::string("{") + Expected[I].Symbol + "}");
        EXPECT_EQ(Tags[I]->Description(), Expected[I].Description);
        EXPECT_EQ(Tags[I]->Sections(), Expected[I].Sections);
        EXPECT_EQ(FindDataTemplateTag(Expected[I].Symbol), Tags[I]);
    }
    EXPECT_EQ(FindDataTemplateTag("dataSETname"), Tags[8]);
    EXPECT_EQ(FindDataTemplateTag(" X"), nullptr);
}

TEST(TagParser, ParsesAndReadsBackCanonically) {
    struct TCase {
        const char* Text;
        std::size_t Items;
        const char* ReadBack;
    };
    const std::vector<TCase> Cases{
        {"", 0, ""},
        {"plain text", 1, "plain text"},
        {"{x}", 1, "{X}"},
        {"{x},{yu}\r\n", 3, "{X},{YU}\r\n"},
        {"a{lb}b{Rb}", 2, "a{LB}b{RB}"},
        {"}", 1, "}"},
        {"a}b{X}}", 2, "a}b{X}}"},
        {"{XMIN}{xmax}", 2, "{XMin}{XMax}"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Text);
        TTagParser Parser;
        Parser.SetText(C.Text);
        EXPECT_EQ(Parser.Items().size(), C.Items);
        EXPECT_EQ(Parser.GetText(), C.ReadBack);
    }
}

TEST(TagParser, ErrorsNameTheOffendingText) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const std::vector<TCase> Cases{
        {"{X", "End delimiter not found: 'X'"},
        {"{X},{Y", "End delimiter not found: 'Y'"},
        {"{", "End delimiter not found: ''"},
        {"a {it's", "End delimiter not found: 'it''s'"},
        {"a {Foo} b", "Tag symbol not found: 'Foo'"},
        {"{ X }", "Tag symbol not found: ' X '"},
        {"{}", "Tag symbol not found: ''"},
        // A "{" inside a placeholder belongs to the symbol.
        {"{a{X}", "Tag symbol not found: 'a{X'"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Text);
        TDataTemplate Template("T");
        Template.SetHeaderText("old {XU}");
        Template.SetBodyText("old {X}");
        Template.SetFooterText("old {YU}");
        TTagParser Parser;
        Parser.SetText("{Y}");
        try {
            Parser.SetText(C.Text);
            ADD_FAILURE() << "no error";
        } catch (const ETagParserError& E) {
            EXPECT_STREQ(E.what(), C.Message);
        }
        EXPECT_EQ(Parser.GetText(), "{Y}");
        EXPECT_THROW(Template.SetHeaderText(C.Text), ETagParserError);
        EXPECT_THROW(Template.SetBodyText(C.Text), ETagParserError);
        EXPECT_THROW(Template.SetFooterText(C.Text), ETagParserError);
        EXPECT_EQ(Template.HeaderText(), "old {XU}");
        EXPECT_EQ(Template.BodyText(), "old {X}");
        EXPECT_EQ(Template.FooterText(), "old {YU}");
    }
}

TEST(TagParser, TagsExpandOnlyInTheirSections) {
    auto Scatter = MakeScatter("Set 1", {{3, 1}, {-2, 5}, {0.25, -7}});
    Scatter->SetColorIndex(2);
    const TExpansionParams P = Params();
    const TDoublePoint Point{1.5, -2};
    struct TCase {
        const char* Text;
        TExpansions Expected;
    };
    const std::vector<TCase> Cases{
        {"", {"", "", ""}},
        {"{X},{Y}\r\n", {"1.50,-2.00\r\n", ",\r\n", ",\r\n"}},
        {"[{XU}|{YU}]", {"[mm|N]", "[mm|N]", "[mm|N]"}},
        {"a{LB}b{RB}", {"a{b}", "a{b}", "a{b}"}},
        {"{XMin} {XMax} {YMin} {YMax}", {"   ", "-2.00 3.00 -7.00 5.00", "-2.00 3.00 -7.00 5.00"}},
        {"{DataSetName}/{DataSetColor}", {"/", "Set 1/Fuchsia", "Set 1/Fuchsia"}},
        {"x}y", {"x}y", "x}y", "x}y"}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Text);
        const TExpansions Got = ExpandAll(C.Text, Point, *Scatter, P);
        EXPECT_EQ(Got.Body, C.Expected.Body);
        EXPECT_EQ(Got.Header, C.Expected.Header);
        EXPECT_EQ(Got.Footer, C.Expected.Footer);
    }
}

TEST(TagParser, ValuesFollowTheFormatsAndSeparator) {
    auto Scatter = MakeScatter("S", {{0.5, 1234.5678}});
    TExpansionParams P = Params();
    TCoordFormat Scientific;
    Scientific.FloatingPoint = false;
    Scientific.Precision = 3;
    P.Formats.YFormat.Assign(Scientific);
    P.DecimalSeparator = ',';
    const TExpansions Got = ExpandAll("{X};{Y};{YMax}", {0.5, 1234.5678}, *Scatter, P);
    EXPECT_EQ(Got.Body, ",50;1,235e+03;");
    EXPECT_EQ(Got.Header, ";;1,235e+03");
}

TEST(DataTemplate, FreeTextStaysOnItsLineAndIsEscapedInXml) {
    // Hostile units and names: line breaks, tabs and XML's special characters. Numbers and
    // the template's own text are never touched.
    auto Scatter = MakeScatter("a\r\nb<&>\"'", {{1, 2}});
    const TExpansionParams P = Params("m\ts", "<N>");
    struct TCase {
        const char* Extension;
        const char* Header;
        const char* Body;
    };
    for (const TCase& Case : std::vector<TCase>{
             {"csv", "<a>a  b<&>\"' m s <N></a>", "1.00 m s\n"},
             {"XML", "<a>a  b&lt;&amp;&gt;&quot;&apos; m s &lt;N&gt;</a>", "1.00 m s\n"},
             {"", "<a>a  b<&>\"' m s <N></a>", "1.00 m s\n"},
         }) {
        TDataTemplate Template;
        Template.Extension = Case.Extension;
        Template.SetHeaderText("<a>{DataSetName} {XU} {YU}</a>");
        Template.SetBodyText("{X} {XU}\n");
        EXPECT_EQ(Template.ExpandHeader(*Scatter, P), Case.Header) << Case.Extension;
        EXPECT_EQ(Template.ExpandBody({1, 2}, P), Case.Body) << Case.Extension;
    }
}

TEST(TagParser, ExtremesOfNoPointsAreTheStartValues) {
    auto Empty = MakeScatter("Empty", {});
    const TExpansions Got = ExpandAll("{XMin} {XMax} {YMin} {YMax}", {}, *Empty, Params());
    EXPECT_EQ(Got.Header, "1E30 -1E30 1E30 -1E30");
}

TEST(TagParser, ExtremesScanDigitizedPointsNotTheSelection) {
    auto Scatter = MakeScatter("S", {{3, 1}, {-2, 5}});
    Scatter->Selection().Select(0);
    EXPECT_EQ(ExpandAll("{XMin}", {}, *Scatter, Params()).Header, "-2.00");
}

TEST(TagParser, TimeStampIsTheLocalDateAndTime) {
    auto Scatter = MakeScatter("S", {});
    const std::string Before = std::to_string(QDate::currentDate().year());
    const TExpansions Got = ExpandAll("{TimeStamp}", {}, *Scatter, Params());
    EXPECT_EQ(Got.Body, "");
    ASSERT_FALSE(Got.Header.empty());
    // The locale's short date may write the year with two digits.
    EXPECT_NE(Got.Header.find(Before.substr(2)), std::string::npos) << Got.Header;
    EXPECT_NE(Got.Header.find(':'), std::string::npos) << Got.Header;
}

TEST(DataTemplate, DefaultsAndRecordRoundTrip) {
    TDataTemplate Template("Mine");
    EXPECT_EQ(Template.Extension, "txt");
    EXPECT_EQ(Template.HeaderText(), "");
    Template.Extension = "dat";
    Template.SetHeaderText("# {DataSetName} {lb}\r\n");
    Template.SetBodyText("{x}\t{y}\r\n");
    Template.SetFooterText("end");

    TMemoryStream Stream;
    Template.SaveToStream(Stream);
    TMemoryStream Expected;
    for (const char* Text : {"Mine", "dat", "# {DataSetName} {LB}\r\n", "{X}\t{Y}\r\n", "end"})
        StringToStream(Expected, Text);
    EXPECT_EQ(Stream.Bytes(), Expected.Bytes());

    Stream.Seek(0);
    TDataTemplate Loaded;
    Loaded.LoadFromStream(Stream);
    EXPECT_EQ(Loaded.Name, "Mine");
    EXPECT_EQ(Loaded.Extension, "dat");
    EXPECT_EQ(Loaded.HeaderText(), "# {DataSetName} {LB}\r\n");
    EXPECT_EQ(Loaded.BodyText(), "{X}\t{Y}\r\n");
    EXPECT_EQ(Loaded.FooterText(), "end");
}

TEST(DataTemplate, RecordWithABadSectionLeavesTheTemplateAsItWas) {
    TMemoryStream Stream;
    for (const char* Text : {"New", "csv", "", "{X},{Y", ""})
        StringToStream(Stream, Text);
    Stream.Seek(0);
    TDataTemplate Template("Old");
    Template.SetBodyText("{Y}");
    EXPECT_THROW(Template.LoadFromStream(Stream), ETagParserError);
    EXPECT_EQ(Template.Name, "Old");
    EXPECT_EQ(Template.Extension, "txt");
    EXPECT_EQ(Template.BodyText(), "{Y}");
}

TEST(DataTemplate, AssignCopiesAnyTemplate) {
    TDataTemplate Source("Source");
    Source.Extension = "dat";
    Source.SetHeaderText("H{XU}");
    Source.SetBodyText("{X}");
    Source.SetFooterText("F");
    TDataTemplate Current("Current");
    Current.Assign(Source);
    EXPECT_EQ(Current.Name, "Source");
    EXPECT_EQ(Current.Extension, "dat");
    EXPECT_EQ(Current.HeaderText(), "H{XU}");
    EXPECT_EQ(Current.BodyText(), "{X}");
    EXPECT_EQ(Current.FooterText(), "F");

    // A spreadsheet template copies as an empty text template with its name and extension.
    TExcelTemplate Excel("Sheet");
    Current.Assign(Excel);
    EXPECT_EQ(Current.Name, "Sheet");
    EXPECT_EQ(Current.Extension, "xls");
    EXPECT_EQ(Current.HeaderText() + Current.BodyText() + Current.FooterText(), "");
    EXPECT_TRUE(Current.CanCopyToClipboard());
    EXPECT_FALSE(Excel.CanCopyToClipboard());

    TCoordFormat Unrelated;
    try {
        Current.Assign(Unrelated);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TCoordFormat to a TDataTemplate.");
    }
}

namespace {

std::unique_ptr<TDataTemplate> Named(const std::string& Name, const std::string& Body = "{X}") {
    auto Template = std::make_unique<TDataTemplate>(Name);
    Template->SetBodyText(Body);
    return Template;
}

std::vector<std::string> NamesOf(const TDataTemplateList& List) {
    std::vector<std::string> Names;
    for (std::int32_t I = 0; I < List.Count(); ++I)
        Names.push_back(List.Names(I));
    return Names;
}

} // namespace

TEST(DataTemplateList, AddReplacesCaseBlindInPlace) {
    TDataTemplateList List;
    EXPECT_EQ(List.Add(Named("Comma-separated")), 0);
    EXPECT_EQ(List.Add(Named("CSV", "{Y}")), 1);
    EXPECT_EQ(List.Add(Named("XML")), 2);
    EXPECT_EQ(List.Add(Named("csv", "{X};{Y}")), 1);
    EXPECT_EQ(NamesOf(List), (std::vector<std::string>{"Comma-separated", "CSV", "XML"}));
    EXPECT_EQ(List.Items(1).Name, "csv");
    EXPECT_EQ(List.Items(1).BodyText(), "{X};{Y}");
    EXPECT_EQ(List.Find("cSv"), &List.Items(1));
    EXPECT_EQ(List.IndexOf("Tab"), -1);
    EXPECT_EQ(List.Find("Tab"), nullptr);
    EXPECT_THROW(List.Items(3), EListError);

    // Names of any script compare without regard to case.
    List.Add(Named("Données"));
    EXPECT_EQ(List.IndexOf("DONNÉES"), 3);

    List.Delete("xml");
    List.Delete("absent");
    EXPECT_EQ(NamesOf(List), (std::vector<std::string>{"Comma-separated", "CSV", "Données"}));
}

TEST(DataTemplateList, RecordLeavesOutSpreadsheetTemplates) {
    TDataTemplateList List;
    List.Add(Named("A", "{X}"));
    List.Add(std::make_unique<TExcelTemplate>("Microsoft Excel"));
    List.Add(Named("B", "{Y}"));
    TMemoryStream Stream;
    List.SaveToStream(Stream);

    TMemoryStream Expected;
    WriteInt32(Expected, 2);
    List.Items(0).SaveToStream(Expected);
    List.Items(2).SaveToStream(Expected);
    EXPECT_EQ(Stream.Bytes(), Expected.Bytes());

    Stream.Seek(0);
    TDataTemplateList Loaded;
    Loaded.Add(Named("Stale"));
    Loaded.LoadFromStream(Stream);
    EXPECT_EQ(NamesOf(Loaded), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Loaded.Items(1).BodyText(), "{Y}");
    EXPECT_EQ(Stream.Position(), Stream.Size());
}

TEST(DataTemplateList, DamagedRecordLeavesTheListAsItWas) {
    const auto Record = [](auto Fill) {
        auto Stream = std::make_unique<TMemoryStream>();
        Fill(*Stream);
        Stream->Seek(0);
        return Stream;
    };
    struct TCase {
        const char* What;
        std::unique_ptr<TMemoryStream> Stream;
    };
    std::vector<TCase> Cases;
    Cases.push_back({"bad section", Record([](TStream& S) {
                         WriteInt32(S, 2);
                         Named("A")->SaveToStream(S);
                         for (const char* Text : {"B", "txt", "", "{Nope}", ""})
                             StringToStream(S, Text);
                     })});
    Cases.push_back({"short", Record([](TStream& S) {
                         WriteInt32(S, 3);
                         Named("A")->SaveToStream(S);
                     })});
    Cases.push_back({"negative count", Record([](TStream& S) { WriteInt32(S, -1); })});
    for (TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        TDataTemplateList List;
        List.Add(Named("Kept"));
        EXPECT_THROW(List.LoadFromStream(*C.Stream), EKorvane);
        EXPECT_EQ(NamesOf(List), std::vector<std::string>{"Kept"});
    }
}
