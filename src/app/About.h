#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <optional>

class QLabel;
class QPushButton;

namespace korvane {

// The program's version: major, minor, release and build.
struct TVersion {
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;
};

// The version this program was built as.
TVersion ProgramVersion();

// "Version 5.1.0  (Build 0)".
QString VersionText(const TVersion& Version);
// Value with its digits grouped in threes by Separator, followed by " KB": "1,234,567 KB".
QString KilobytesText(long long Value, const QString& Separator);
// The memory available for starting new programs, in kilobytes, from the MemAvailable line
// of a file in the form of /proc/meminfo; none when the file or the line is missing.
std::optional<long long>
AvailableMemory(const QString& MemInfoFile = QStringLiteral("/proc/meminfo"));
// The operating system and its kernel: "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64".
QString OperatingSystemText();

// The product emblem: a chart with axes, grid and a digitized curve.
QPixmap ProductPicture(int Side);

// The About box: product picture, name, version, operating system and available memory.
class TfrmAbout : public QDialog {
public:
    explicit TfrmAbout(QWidget* Parent = nullptr);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* OSVersion;
    QLabel* PhysMem;
    QPushButton* OKButton;
};

} // namespace korvane
