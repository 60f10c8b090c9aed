#include "ParamsTestSupport.h"
#include "document/Digitizations.h"
#include "document/Parameters.h"
#include "document/PointMarkers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace korvane;
using namespace korvane::test;

namespace {

struct TCountingListener : IFileParametersListener {
    int Count = 0;
    void FileParametersChanged(TFileParameters&) override { ++Count; }
};

TBytes RecordOf(const TDigitization& D) {
    TMemoryStream Stream;
    D.SaveToStream(Stream);
    return Stream.Bytes();
}

TBytes RecordOf(const TScaleSystem& S) {
    TMemoryStream Stream;
    S.SaveToStream(Stream);
    return Stream.Bytes();
}

TScaleSystem DefinedSystem() {
    TScaleSystem S;
    S.Define({100, 400}, {500, 400}, {500, 100}, {0, 0}, {10, 30}, false, false);
    return S;
}

class FileParameters : public ::testing::Test {
protected:
    void SetUp() override {
        Params.AddListener(&Listener);
        Line.AddPoint({1, 2});
        Line.AddPoint({3, 4.5});
        Scatter.AddPoint({-1, 7});
        Scatter.SetColorIndex(3);
    }

    std::string ParFile(const std::string& Image) const {
        return Folder / ("par/" + ImageParameterFileName(Image));
    }

    // Units "mm" / "N", X fixed-point with 3 digits, follower delay 120 and colour
    // tolerance 0.25, a defined coordinate system scrolled to (12, 34).
    void Customise(TFileParameters& P, TTestPanel& Panel) {
        P.SetUnits({"mm", "N"});
        TCoordFormatPair Formats;
        Formats.XFormat.FloatingPoint = false;
        Formats.XFormat.Precision = 3;
        P.SetFormats(Formats);
        P.VectorizerParameters.SetDelay(120);
        P.VectorizerParameters.SetColorTolerance(0.25);
        P.VectorizerParameters.UseBeacon = false;
        const TScaleSystem S = DefinedSystem();
        Panel.Scale.SetScaleSystems(S, S);
        Panel.Scroller.Horizontal = 12;
        Panel.Scroller.Vertical = 34;
    }

    // The file Customise and the two data sets describe, field by field.
    TBytes CustomFile() const {
        TByteBuilder B;
        B.String("V5.01");
        B.Byte(1).Raw(RecordOf(DefinedSystem())).Raw(RecordOf(DefinedSystem()));
        B.Int32(12).Int32(34);
        B.String("mm").String("N");
        B.Byte(0).Int32(3).Byte(1).Int32(2);
        B.Byte(5).Byte(0).Int32(120).Int32(6).Int32(50).Int32(20).Double(0.25);
        B.Int32(2).Raw(RecordOf(Line)).Raw(RecordOf(Scatter));
        return Sealed(B.Bytes);
    }

    TTempFolder Folder;
    TFileParameters Params{Folder.Path()};
    TTestPanel Panel;
    TCountingListener Listener;
    TFunctionalLine Line{"Line 1"};
    TScatter Scatter{"Points"};
    const std::string Image = "/home/user/Charts/Figure 3.PNG";
};

} // namespace

TEST(ImageParameterFile, NamedByTheDigestOfThePathWithOnlyAsciiLettersLowered) {
    EXPECT_EQ(ImageParameterFileName("ABC"), "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc.par");
    struct TCase {
        const char* A;
        const char* B;
        bool Same;
    };
    for (const TCase& Case : std::vector<TCase>{
             {"/Data/Chart.PNG", "/data/chart.png", true},
             {"/data/ÄRGER.png", "/data/Ärger.png", true},
             {"/data/Ärger.png", "/data/ärger.png", false},
             {"/data/chart.png", "/data/chart.png ", false},
         }) {
        EXPECT_EQ(ImageParameterFileName(Case.A) == ImageParameterFileName(Case.B), Case.Same)
            << Case.A << " / " << Case.B;
    }
}

TEST_F(FileParameters, SetImageFileNameDerivesThePathAndCreatesTheFolder) {
    Params.SetImageFileName(Image);
    EXPECT_EQ(Params.ImageFileName(), Image);
    EXPECT_EQ(Params.ParameterFileName(), ParFile(Image));
    EXPECT_TRUE(std::filesystem::is_directory(Folder / "par"));
    Params.SetImageFileName("");
    EXPECT_EQ(Params.ImageFileName(), "");
    EXPECT_EQ(Params.ParameterFileName(), ParFile(Image));
}

TEST_F(FileParameters, OpeningAnImageWithoutAFileResetsUnitsAndFormats) {
    // Data sets stored for the previous image do not come along.
    Params.SetImageFileName(Image);
    const TDigitizationRefs List{&Line, &Scatter};
    Params.Save(&List, Panel);
    Params.Open(Image, Panel);
    ASSERT_EQ(Params.StoredCount(), 2);
    const std::string Other = "/home/user/Charts/other.png";

    Params.SetUnits({"s", "m"});
    Params.VectorizerParameters.SetDelay(7);
    Listener.Count = 0;
    Params.Open(Other, Panel);
    EXPECT_EQ(Params.Units, TStringPoint{});
    EXPECT_TRUE(Params.Formats.XFormat.FloatingPoint);
    EXPECT_EQ(Params.VectorizerParameters.Delay(), 7); // follower settings carry over
    EXPECT_EQ(Params.StoredCount(), 0);
    EXPECT_EQ(Listener.Count, 1);
    EXPECT_FALSE(std::filesystem::exists(ParFile(Other)));
}

TEST_F(FileParameters, FileByteForByteAndBack) {
    Params.SetImageFileName(Image);
    Customise(Params, Panel);
    const TDigitizationRefs List{&Line, &Scatter};
    Params.Save(&List, Panel);
    EXPECT_EQ(ReadFileBytes(ParFile(Image)), CustomFile());
    EXPECT_EQ(Folder.Names(Folder / "par").size(), 1u);

    TFileParameters Loaded(Folder.Path());
    TTestPanel LoadedPanel;
    TCountingListener LoadedListener;
    Loaded.AddListener(&LoadedListener);
    Loaded.Open(Image, LoadedPanel);
    EXPECT_EQ(LoadedListener.Count, 1);
    EXPECT_EQ(Loaded.Version, "V5.01");
    EXPECT_EQ(Loaded.Units, (TStringPoint{"mm", "N"}));
    EXPECT_FALSE(Loaded.Formats.XFormat.FloatingPoint);
    EXPECT_EQ(Loaded.Formats.XFormat.Precision, 3);
    EXPECT_TRUE(Loaded.VectorizerParameters == Params.VectorizerParameters);
    EXPECT_TRUE(LoadedPanel.Scale.ScaleDefined());
    EXPECT_EQ(LoadedPanel.Scroller.Horizontal, 12);
    EXPECT_EQ(LoadedPanel.Scroller.Vertical, 34);
    ASSERT_EQ(Loaded.StoredCount(), 2);
    EXPECT_EQ(Loaded.StoredDigitization(0).ClassName(), "TFunctionalLine");
    EXPECT_EQ(Loaded.StoredDigitization(0).Name(), "Line 1");
    EXPECT_EQ(Loaded.StoredDigitization(0).Count(), 2);
    EXPECT_EQ(Loaded.StoredDigitization(1).ClassName(), "TScatter");
    EXPECT_EQ(Loaded.StoredDigitization(1).ColorIndex(), 3);
    EXPECT_THROW(Loaded.StoredDigitization(2), EListError);

    // Without a list the stored data sets are written back unchanged, then freed.
    Loaded.Save(nullptr, LoadedPanel);
    EXPECT_EQ(ReadFileBytes(ParFile(Image)), CustomFile());
    EXPECT_EQ(Loaded.StoredCount(), 0);
}

TEST_F(FileParameters, EveryFieldAtItsLimitComesBackAndTooLongATextFailsBeforeTheFile) {
    Params.SetImageFileName(Image);
    const std::string Longest(MaxStreamStringLength, 'u');
    Params.SetUnits({Longest, "\n\t../../x"});
    TCoordFormatPair Formats;
    Formats.XFormat.FloatingPoint = false;
    Formats.XFormat.Precision = TCoordFormat::MaxPrecision;
    Formats.YFormat.Precision = TCoordFormat::MaxPrecision;
    Params.SetFormats(Formats);
    TVectorizerParameters& V = Params.VectorizerParameters;
    V.SetDelay(300);
    V.SetMaxHorizontalJump(10);
    V.SetMaxVerticalJump(500);
    V.SetThicknessTolerance(1000);
    V.SetColorTolerance(1.0);
    V.SelectedPointColor = static_cast<std::uint8_t>(DisplayColors.size() - 1);
    TScaleSystem S;
    S.Define({0, 1000}, {1000, 1000}, {1000, 0}, {-1e300, -1e300}, {1e300, 1e300}, false, false);
    Panel.Scale.SetScaleSystems(S, S);
    Panel.Scroller.Horizontal = 2147483647;
    Panel.Scroller.Vertical = -2147483647 - 1;
    TScatter Hostile{std::string(300, 'n') + "\r\n../../x\0CON"};
    Hostile.SetColorIndex(static_cast<std::uint8_t>(DisplayColors.size() - 1));
    TCircleMarker Marker;
    Marker.SetSize(10);
    Hostile.SetMarker(Marker);
    const std::int32_t ManyPoints = 200000;
    TDoublePointArray Many(ManyPoints); // grows once
    for (int K = 0; K < ManyPoints; ++K)
        Many.Add({K * 1e-300, -K * 1e300});
    Hostile.SetPoints(Many);
    TFunctionalLine Named{Longest};
    Named.AddPoint({0, 0});
    const TDigitizationRefs List{&Hostile, &Named};
    Params.Save(&List, Panel);
    const TBytes Saved = ReadFileBytes(ParFile(Image));

    TFileParameters Loaded(Folder.Path());
    TTestPanel LoadedPanel;
    Loaded.Open(Image, LoadedPanel);
    EXPECT_EQ(Loaded.Units, Params.Units);
    EXPECT_EQ(Loaded.Formats.XFormat.Precision, TCoordFormat::MaxPrecision);
    EXPECT_TRUE(Loaded.VectorizerParameters == V);
    EXPECT_EQ(LoadedPanel.Scroller.Horizontal, 2147483647);
    ASSERT_EQ(Loaded.StoredCount(), 2);
    EXPECT_EQ(Loaded.StoredDigitization(0).Name(), Hostile.Name());
    EXPECT_EQ(Loaded.StoredDigitization(0).Count(), ManyPoints);
    EXPECT_EQ(Loaded.StoredDigitization(0).Marker().GetSize(), 10);
    EXPECT_EQ(Loaded.StoredDigitization(1).Name(), Longest);
    Loaded.Save(nullptr, LoadedPanel);
    EXPECT_EQ(ReadFileBytes(ParFile(Image)), Saved); // byte for byte

    // One byte more than a file may hold: the save fails with a message that says what to do,
    // before anything is written, and the file on disk stays whole.
    Named.SetName(Longest + "u");
    try {
        Params.Save(&List, Panel);
        ADD_FAILURE() << "saved";
    } catch (const EWriteError& E) {
        EXPECT_STREQ(E.what(), "A text of 100001 bytes is too long to be saved (at most 100000): "
                               "shorten the data set's name, the units or the template.");
    }
    EXPECT_EQ(ReadFileBytes(ParFile(Image)), Saved);
}

TEST_F(FileParameters, PathsDifferingInAsciiCaseShareAFileOthersDoNot) {
    Params.Open("/x/Ärger/Chart.png", Panel);
    Params.SetUnits({"mm", "N"});
    Params.Save(nullptr, Panel);

    TFileParameters Other(Folder.Path());
    TTestPanel OtherPanel;
    Other.Open("/X/Ärger/CHART.PNG", OtherPanel);
    EXPECT_EQ(Other.Units, (TStringPoint{"mm", "N"}));
    Other.Open("/x/ärger/Chart.png", OtherPanel);
    EXPECT_EQ(Other.Units, TStringPoint{});
}

TEST_F(FileParameters, AFileCopiedUnderAnotherImagesNameStillLoads) {
    Params.SetImageFileName(Image);
    Customise(Params, Panel);
    Params.Save(nullptr, Panel);
    std::filesystem::copy_file(ParFile(Image), ParFile("/elsewhere/other.png"));

    TFileParameters Loaded(Folder.Path());
    Loaded.Open("/elsewhere/other.png", Panel);
    EXPECT_EQ(Loaded.Units, (TStringPoint{"mm", "N"}));
}

TEST_F(FileParameters, OlderVersionGivesDataSetsTheDefaultMarker) {
    Scatter.SetMarker(*TPointMarkerRegistry::Create("TSquareMarker"));
    TBytes Record = RecordOf(Scatter);
    // Cut the marker class name and size out of the record: V5.00 had neither.
    const std::size_t At =
        4 + std::string("TScatter").size() + 4 + std::string("Points").size() + 1;
    Record.erase(Record.begin() + At,
                 Record.begin() + At + 4 + std::string("TSquareMarker").size() + 4);
    TByteBuilder B;
    B.String("V5.00").Byte(0).Int32(0).Int32(0).String("").String("");
    B.Byte(1).Int32(2).Byte(1).Int32(2);
    B.Byte(5).Byte(1).Int32(50).Int32(6).Int32(50).Int32(20).Double(0.1);
    B.Int32(1).Raw(Record);
    Params.SetImageFileName(Image);
    WriteFileBytes(ParFile(Image), Sealed(B.Bytes));

    Params.Open(Image, Panel);
    EXPECT_EQ(Params.Version, "V5.00");
    ASSERT_EQ(Params.StoredCount(), 1);
    const TDigitization& Loaded = Params.StoredDigitization(0);
    EXPECT_EQ(Loaded.Name(), "Points");
    EXPECT_EQ(Loaded.Marker().ClassName(), "TCircleMarker");
    EXPECT_EQ(Loaded.Marker().GetSize(), 3);
    EXPECT_EQ(Loaded.Count(), 1);
}

TEST_F(FileParameters, DamagedFileResetsUnitsAndFormatsAndTheNextSaveRewritesIt) {
    Params.SetImageFileName(Image);
    Customise(Params, Panel);
    const TBytes Good = CustomFile();
    const TBytes Content = Unsealed(Good);
    const std::size_t CountAt =
        Content.size() - RecordOf(Line).size() - RecordOf(Scatter).size() - 4; // the data set count

    TBytes ChangedByte = Good;
    ChangedByte[Good.size() / 2] ^= 0x08;
    TBytes WrongVersion = Content;
    WrongVersion[8] = '2';
    TBytes NegativeCount = Content;
    NegativeCount[CountAt + 3] = 0x80;
    TBytes HugeCount = Content;
    HugeCount[CountAt + 3] = 0x7F;
    TBytes SelectedColor = Content;
    SelectedColor[CountAt - 26] = 13; // beyond the display colours
    const TBytes Header = TByteBuilder()
                              .String("V5.01")
                              .Byte(0)
                              .Int32(0)
                              .Int32(0)
                              .String("")
                              .String("")
                              .Byte(1)
                              .Int32(2)
                              .Byte(1)
                              .Int32(2)
                              .Byte(5)
                              .Byte(1)
                              .Int32(50)
                              .Int32(6)
                              .Int32(50)
                              .Int32(20)
                              .Double(0.1)
                              .Bytes;
    const struct {
        const char* What;
        TBytes File;
    } Cases[] = {
        {"changed byte", ChangedByte},
        {"truncated by one byte", TBytes(Good.begin(), Good.end() - 1)},
        {"truncated to 10 bytes", TBytes(Good.begin(), Good.begin() + 10)},
        {"empty", {}},
        {"wrong version", Sealed(WrongVersion)},
        {"negative data set count", Sealed(NegativeCount)},
        {"data set count beyond the content", Sealed(HugeCount)},
        {"selected point colour beyond the table", Sealed(SelectedColor)},
        {"unknown data set class",
         Sealed(TByteBuilder().Raw(Header).Int32(1).String("TBogus").Bytes)},
        {"abstract data set class",
         Sealed(TByteBuilder().Raw(Header).Int32(1).String("TLine").Bytes)},
        {"short content", Sealed(TBytes(Content.begin(), Content.end() - 5))},
    };
    for (const auto& Case : Cases) {
        WriteFileBytes(ParFile(Image), Case.File);
        TFileParameters P(Folder.Path());
        P.SetUnits({"s", "m"});
        P.VectorizerParameters.SetDelay(7);
        TCountingListener L;
        P.AddListener(&L);
        TTestPanel OpenPanel;
        try {
            P.Open(Image, OpenPanel);
            ADD_FAILURE() << Case.What << ": loaded";
        } catch (const EParameterFile& E) {
            EXPECT_STREQ(E.what(), "Error loading parameters file. Resetting to defaults.")
                << Case.What;
        }
        EXPECT_EQ(L.Count, 0) << Case.What;
        EXPECT_EQ(P.Units, TStringPoint{}) << Case.What;
        EXPECT_TRUE(P.Formats.XFormat.FloatingPoint) << Case.What;
        EXPECT_EQ(P.VectorizerParameters.Delay(), 7) << Case.What;
        EXPECT_EQ(P.StoredCount(), 0) << Case.What;
        EXPECT_EQ(P.ImageFileName(), Image);

        P.Save(nullptr, OpenPanel);
        TFileParameters Again(Folder.Path());
        EXPECT_NO_THROW(Again.Open(Image, OpenPanel)) << Case.What;
    }
}

TEST_F(FileParameters, InterruptedSaveLeavesTheFileAndTheStoredDataSetsIntact) {
    Params.SetImageFileName(Image);
    Customise(Params, Panel);
    const TDigitizationRefs List{&Line, &Scatter};
    Params.Save(&List, Panel);
    Params.Open(Image, Panel);
    ASSERT_EQ(Params.StoredCount(), 2);

    Panel.SaveFailsAfter = 50; // inside the coordinate-system record
    Params.SetUnits({"changed", "units"});
    EXPECT_THROW(Params.Save(nullptr, Panel), EWriteError);
    EXPECT_EQ(ReadFileBytes(ParFile(Image)), CustomFile());
    EXPECT_EQ(Folder.Names(Folder / "par").size(), 1u);
    // A second close can still write the data sets that were stored.
    EXPECT_EQ(Params.StoredCount(), 2);
    Panel.SaveFailsAfter = -1;
    Params.Save(nullptr, Panel);
    TFileParameters Loaded(Folder.Path());
    Loaded.Open(Image, Panel);
    EXPECT_EQ(Loaded.StoredCount(), 2);
    EXPECT_EQ(Loaded.Units, (TStringPoint{"changed", "units"}));
}

TEST_F(FileParameters, ReadOnlyFileIsReplacedSilently) {
    Params.Open(Image, Panel);
    Params.Save(nullptr, Panel);
    ::chmod(ParFile(Image).c_str(), 0444);
    Params.SetUnits({"a", "b"});
    Params.Save(nullptr, Panel);
    TFileParameters Loaded(Folder.Path());
    Loaded.Open(Image, Panel);
    EXPECT_EQ(Loaded.Units, (TStringPoint{"a", "b"}));
}

TEST_F(FileParameters, UnwritableFolderReachesTheCaller) {
    TFileParameters P(Folder / "missing/deeper");
    P.Open(Image, Panel);
    EXPECT_THROW(P.Save(nullptr, Panel), EFOpenError);
    TFileParameters NoImage(Folder.Path());
    EXPECT_THROW(NoImage.Save(nullptr, Panel), EAssertion);
}

TEST_F(FileParameters, ChangesAreAnnouncedAndNoImageClearsTheNames) {
    Params.SetImageFileName(Image);
    Params.VectorizerParameters.SetDelay(9);
    Listener.Count = 0;
    Params.SetUnits({"mm", "N"});
    Params.SetFormats(TCoordFormatPair());
    Params.NewImage();
    EXPECT_EQ(Params.Units, TStringPoint{});
    EXPECT_EQ(Listener.Count, 3);
    Params.SetUnits({"mm", "N"});
    Params.ResetForNoImage();
    EXPECT_EQ(Listener.Count, 5);
    EXPECT_EQ(Params.ImageFileName(), "");
    EXPECT_EQ(Params.ParameterFileName(), "");
    EXPECT_EQ(Params.Units, TStringPoint{});
    EXPECT_EQ(Params.VectorizerParameters.Delay(), 9);
    Params.RemoveListener(&Listener);
    EXPECT_FALSE(Params.HasListener(&Listener));
    Params.NewImage();
    EXPECT_EQ(Listener.Count, 5);
}
