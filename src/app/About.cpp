#include "app/About.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#ifndef KORVANE_VERSION_MAJOR
#define KORVANE_VERSION_MAJOR 0
#endif
#ifndef KORVANE_VERSION_MINOR
#define KORVANE_VERSION_MINOR 0
#endif
#ifndef KORVANE_VERSION_RELEASE
#define KORVANE_VERSION_RELEASE 0
#endif
#ifndef KORVANE_VERSION_BUILD
#define KORVANE_VERSION_BUILD 0
#endif

namespace korvane {

TVersion ProgramVersion() {
    return {KORVANE_VERSION_MAJOR, KORVANE_VERSION_MINOR, KORVANE_VERSION_RELEASE,
            KORVANE_VERSION_BUILD};
}

QString VersionText(const TVersion& Version) {
    return QStringLiteral("Version %1.%2.%3  (Build %4)")
        .arg(Version.Major)
        .arg(Version.Minor)
        .arg(Version.Release)
        .arg(Version.Build);
}

QString KilobytesText(long long Value, const QString& Separator) {
    // The magnitude as unsigned, so that the smallest long long has one too.
    const unsigned long long Magnitude = Value < 0 ? 0ULL - static_cast<unsigned long long>(Value)
                                                   : static_cast<unsigned long long>(Value);
    const QString Digits = QString::number(Magnitude);
    QString Grouped;
    for (qsizetype I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0)
            Grouped += Separator;
        Grouped += Digits[I];
    }
    return (Value < 0 ? QStringLiteral("-") : QString()) + Grouped + QStringLiteral(" KB");
}

std::optional<long long> AvailableMemory(const QString& MemInfoFile) {
    QFile File(MemInfoFile);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    // Lines read "MemAvailable:    1234567 kB".
    while (!File.atEnd()) {
        const QByteArray Line = File.readLine(4096).simplified();
        if (!Line.startsWith("MemAvailable:"))
            continue;
        const QList<QByteArray> Fields = Line.mid(13).trimmed().split(' ');
        bool Ok = false;
        const long long Value = Fields.value(0).toLongLong(&Ok);
        if (!Ok || Value < 0)
            return std::nullopt;
        if (Fields.size() > 1 && Fields[1].toLower() != "kb")
            return std::nullopt;
        return Value;
    }
    return std::nullopt;
}

QString OperatingSystemText() {
    return QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() +
           QLatin1Char(' ') + QSysInfo::kernelVersion();
}

QPixmap ProductPicture(int Side) {
    QPixmap Picture(Side, Side);
    Picture.fill(Qt::transparent);
    QPainter P(&Picture);
    P.setRenderHint(QPainter::Antialiasing);
    const qreal S = Side / 32.0;
    P.scale(S, S);

    // The sheet of paper.
    P.setPen(QPen(QColor(64, 64, 64), 1.0));
    P.setBrush(QColor(255, 255, 240));
    P.drawRect(QRectF(1.5, 1.5, 29, 29));
    // Grid and axes.
    P.setPen(QPen(QColor(200, 200, 220), 0.5));
    for (int K = 1; K <= 3; ++K) {
        P.drawLine(QPointF(6 + 6 * K, 4), QPointF(6 + 6 * K, 26));
        P.drawLine(QPointF(6, 26 - 6 * K + 0.0), QPointF(28, 26 - 6 * K + 0.0));
    }
    P.setPen(QPen(Qt::black, 1.2));
    P.drawLine(QPointF(6, 4), QPointF(6, 26));
    P.drawLine(QPointF(6, 26), QPointF(28, 26));
    // The curve and the points taken from it.
    QPainterPath Curve(QPointF(7, 23));
    Curve.cubicTo(QPointF(13, 22), QPointF(16, 6), QPointF(27, 7));
    P.setPen(QPen(QColor(0, 0, 200), 1.5));
    P.setBrush(Qt::NoBrush);
    P.drawPath(Curve);
    P.setPen(Qt::NoPen);
    P.setBrush(QColor(220, 0, 0));
    for (const qreal T : {0.15, 0.4, 0.6, 0.85})
        P.drawEllipse(Curve.pointAtPercent(T), 1.6, 1.6);
    return Picture;
}

TfrmAbout::TfrmAbout(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setPixmap(ProductPicture(64));
    ProgramIcon->setFixedSize(64, 64);

    ProductName = new QLabel(QStringLiteral("Korvane 5"), this);
    QFont Bold = ProductName->font();
    Bold.setBold(true);
    if (Bold.pointSizeF() > 0)
        Bold.setPointSizeF(Bold.pointSizeF() * 1.5);
    ProductName->setFont(Bold);
    Version = new QLabel(VersionText(ProgramVersion()), this);
    OSVersion = new QLabel(OperatingSystemText(), this);
    PhysMem = new QLabel(this);
    if (const std::optional<long long> Memory = AvailableMemory())
        PhysMem->setText(QStringLiteral("Memory Available: ") +
                         KilobytesText(*Memory, QLocale().groupSeparator()));
    else
        PhysMem->hide();
    for (QLabel* Label : {Version, OSVersion, PhysMem})
        Label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setFixedSize(75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* Texts = new QVBoxLayout;
    Texts->addWidget(ProductName);
    Texts->addWidget(Version);
    Texts->addSpacing(8);
    Texts->addWidget(OSVersion);
    Texts->addWidget(PhysMem);
    auto* Top = new QHBoxLayout;
    Top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    Top->addSpacing(12);
    Top->addLayout(Texts);
    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Top);
    Main->addSpacing(8);
    Main->addWidget(OKButton, 0, Qt::AlignHCenter);
    Main->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace korvane
