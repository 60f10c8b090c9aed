#include "ui/common/NumberText.h"

#include "core/Errors.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace korvane;

TEST(NumberText, TextToFloatReadsNumbersAndRefusesEverythingElse) {
    struct TCase {
        const char* Text;
        char16_t Separator;
        std::optional<double> Expected;
    };
    const std::vector<TCase> Cases = {
        {"1.5", u'.', 1.5},
        {"  -2.5e3 ", u'.', -2500.0},
        {"+4", u'.', 4.0},
        {"5.", u'.', 5.0},
        {".5", u'.', 0.5},
        {"1E-3", u'.', 0.001},
        {"-0", u'.', 0.0},
        {"1,5", u',', 1.5},
        {"", u'.', std::nullopt},
        {"   ", u'.', std::nullopt},
        {"-", u'.', std::nullopt},
        {"e5", u'.', std::nullopt},
        {"1e", u'.', std::nullopt},
        {"1-2", u'.', std::nullopt},
        {"--1", u'.', std::nullopt},
        {"+-1", u'.', std::nullopt},
        {"1.2.3", u'.', std::nullopt},
        {"1.5", u',', std::nullopt},
        {"1,5", u'.', std::nullopt},
        {"1e999", u'.', std::nullopt},
        {"inf", u'.', std::nullopt},
        {"nan", u'.', std::nullopt},
        {"0x10", u'.', std::nullopt},
        {"1 000", u'.', std::nullopt},
    };
    for (const TCase& C : Cases) {
        const QString Text = QString::fromUtf8(C.Text);
        if (C.Expected) {
            EXPECT_DOUBLE_EQ(TextToFloat(Text, QChar(C.Separator)), *C.Expected) << C.Text;
            continue;
        }
        try {
            TextToFloat(Text, QChar(C.Separator));
            ADD_FAILURE() << "accepted '" << C.Text << "'";
        } catch (const EConvertError& E) {
            EXPECT_EQ(std::string(E.what()),
                      "'" + std::string(C.Text) + "' is not a valid floating point value");
        }
    }
}
