#include "app/About.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace korvane {
namespace {

TEST(About, KilobytesAreGroupedInThrees) {
    struct TCase {
        long long Value;
        const char* Separator;
        const char* Expected;
    };
    const std::vector<TCase> Cases = {
        {0, ",", "0 KB"},
        {999, ",", "999 KB"},
        {1000, ",", "1,000 KB"},
        {100000, ",", "100,000 KB"},
        {1234567, ",", "1,234,567 KB"},
        {1234567, ".", "1.234.567 KB"},
        {-1234, ",", "-1,234 KB"},
        {9223372036854775807LL, ",", "9,223,372,036,854,775,807 KB"},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(KilobytesText(C.Value, C.Separator), C.Expected) << C.Value;
}

TEST(About, AvailableMemoryComesFromTheMemAvailableLine) {
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    struct TCase {
        const char* Name;
        const char* Contents;
        std::optional<long long> Expected;
    };
    const std::vector<TCase> Cases = {
        {"usual",
         "MemTotal:       16314284 kB\nMemFree:         1022100 kB\n"
         "MemAvailable:   11861412 kB\nBuffers:          620384 kB\n",
         11861412},
        {"no unit", "MemAvailable: 42\n", 42},
        {"missing line", "MemTotal:       16314284 kB\nMemFree:         1022100 kB\n",
         std::nullopt},
        {"not a number", "MemAvailable:   lots kB\n", std::nullopt},
        {"negative", "MemAvailable:   -5 kB\n", std::nullopt},
        {"other unit", "MemAvailable:   5 MB\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const TCase& C : Cases) {
        const QString Path = Folder.filePath("meminfo");
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
        File.write(C.Contents);
        File.close();
        EXPECT_EQ(AvailableMemory(Path), C.Expected) << C.Name;
    }
    EXPECT_EQ(AvailableMemory(Folder.filePath("missing")), std::nullopt);
}

TEST(About, ShowsNameVersionSystemAndMemory) {
    EXPECT_EQ(VersionText({5, 1, 0, 0}), "Version 5.1.0  (Build 0)");
    EXPECT_EQ(VersionText({12, 3, 45, 678}), "Version 12.3.45  (Build 678)");
    EXPECT_EQ(ProgramVersion().Major, 5);

    TfrmAbout D;
    EXPECT_EQ(D.windowTitle(), "About");
    EXPECT_EQ(D.ProductName->text(), "Korvane 5");
    EXPECT_EQ(D.Version->text(), VersionText(ProgramVersion()));
    EXPECT_FALSE(D.OSVersion->text().isEmpty());
    EXPECT_FALSE(D.ProgramIcon->pixmap().isNull());
    if (AvailableMemory()) {
        EXPECT_TRUE(D.PhysMem->text().startsWith("Memory Available: "));
        EXPECT_TRUE(D.PhysMem->text().endsWith(" KB"));
    }
    D.show();
    D.OKButton->click();
    EXPECT_EQ(D.result(), QDialog::Accepted);
}

} // namespace
} // namespace korvane
