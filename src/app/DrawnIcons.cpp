#include "app/DrawnIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvane {

QIcon DrawnIcon(EIcon Kind) {
    QPixmap Pixmap(16, 16);
    Pixmap.fill(Qt::transparent);
    QPainter P(&Pixmap);
    P.setRenderHint(QPainter::Antialiasing);
    QPen Pen(QColor(30, 30, 30), 1.4);
    P.setPen(Pen);
    switch (Kind) {
    case EIcon::Axes:
        P.drawLine(QPointF(2.5, 1), QPointF(2.5, 13.5));
        P.drawLine(QPointF(2.5, 13.5), QPointF(15, 13.5));
        P.setPen(QPen(QColor(0, 160, 0), 1.2));
        P.setBrush(QColor(0, 255, 0));
        P.drawEllipse(QPointF(2.5, 13.5), 2, 2);
        P.drawEllipse(QPointF(13, 13.5), 2, 2);
        P.drawEllipse(QPointF(2.5, 3), 2, 2);
        break;
    case EIcon::Brush:
        P.setPen(QPen(QColor(120, 80, 40), 2.2));
        P.drawLine(QPointF(14, 2), QPointF(7, 9));
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0, 128, 128));
        P.drawEllipse(QPointF(5, 11), 3.2, 3.2);
        break;
    case EIcon::Zoom:
        P.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        P.setPen(QPen(QColor(30, 30, 30), 2.4));
        P.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        break;
    case EIcon::SelectArea:
        P.setPen(QPen(QColor(30, 30, 30), 1, Qt::DotLine));
        P.drawRect(QRectF(1.5, 1.5, 12, 12));
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0, 0, 200));
        P.drawEllipse(QPointF(5, 9), 1.6, 1.6);
        P.drawEllipse(QPointF(9, 5), 1.6, 1.6);
        break;
    case EIcon::Calculate: {
        QPainterPath Sigma;
        Sigma.moveTo(12.5, 2.5);
        Sigma.lineTo(3.5, 2.5);
        Sigma.lineTo(8.5, 8);
        Sigma.lineTo(3.5, 13.5);
        Sigma.lineTo(12.5, 13.5);
        P.drawPath(Sigma);
        break;
    }
    case EIcon::Help: {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(40, 90, 200));
        P.drawEllipse(QRectF(1, 1, 14, 14));
        QFont Font = P.font();
        Font.setPixelSize(12);
        Font.setBold(true);
        P.setFont(Font);
        P.setPen(Qt::white);
        P.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, "?");
        break;
    }
    case EIcon::FunctionalLine: {
        QPainterPath Curve;
        Curve.moveTo(1, 13);
        Curve.cubicTo(5, 1, 9, 15, 15, 3);
        P.drawPath(Curve);
        break;
    }
    case EIcon::NonfunctionalLine:
        P.drawEllipse(QRectF(2, 3, 12, 9));
        P.drawLine(QPointF(8, 12), QPointF(8, 15));
        break;
    case EIcon::Scatter:
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(30, 30, 30));
        for (const QPointF C : {QPointF(3, 12), QPointF(6, 6), QPointF(10, 9), QPointF(13, 3)})
            P.drawEllipse(C, 1.6, 1.6);
        break;
    case EIcon::Sort:
        P.drawLine(QPointF(4.5, 2), QPointF(4.5, 14));
        P.drawLine(QPointF(4.5, 14), QPointF(2, 11));
        P.drawLine(QPointF(4.5, 14), QPointF(7, 11));
        for (int I = 0; I < 3; ++I)
            P.drawLine(QPointF(9, 3.5 + 4 * I), QPointF(11 + 2 * I, 3.5 + 4 * I));
        break;
    }
    return QIcon(Pixmap);
}

} // namespace korvane
