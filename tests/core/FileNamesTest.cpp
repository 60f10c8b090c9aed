#include "core/FileNames.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

TEST(FileNames, ProposedNamesStayInTheirFolderAndAreValidEverywhere) {
    struct TCase {
        std::string Stem, Extension, Expected;
    };
    const std::string Long(300, 'x');
    const std::string Accents = "\xC3\xA9"; // é, two bytes
    for (const TCase& Case : std::vector<TCase>{
             {"chart - Line 1", "csv", "chart - Line 1.csv"},
             {"../../x", "csv", "-..-x.csv"},
             {"a/b", "csv", "a-b.csv"},
             {"a\\b:c*d?e\"f<g>h|i", "txt", "a-b-c-d-e-f-g-h-i.txt"},
             {"CON", "csv", "CON_.csv"},
             {"lpt1.data", "", "lpt1_.data"},
             {"COM10", "csv", "COM10.csv"},
             {"", "csv", "data.csv"},
             {"..", "csv", "data.csv"},
             {" .hidden. ", "csv", "hidden.csv"},
             {"two\nlines\r\tand tab", "csv", "two lines  and tab.csv"},
             {"bad \xFF\xC3 utf", "csv", "bad __ utf.csv"},
             {"name", ".c s/v.", "name.cs-v"},
             {"name", "...", "name"},
         }) {
        EXPECT_EQ(SafeFileName(Case.Stem, Case.Extension), Case.Expected) << Case.Stem;
    }
    // At most 255 bytes, cut between characters, the extension kept.
    EXPECT_EQ(SafeFileName(Long, "csv"), std::string(251, 'x') + ".csv");
    std::string Wide;
    for (int I = 0; I < 200; ++I)
        Wide += Accents;
    const std::string Cut = SafeFileName(Wide, "csv");
    EXPECT_EQ(Cut, Wide.substr(0, 250) + ".csv");
    EXPECT_EQ(SafeFileName("a", std::string(100, 'e')).size(), 2u + 32u);
}
