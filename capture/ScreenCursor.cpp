#include "capture/ScreenCursor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QCursor ScreenCursor() {
    QPixmap arrow(32, 32);
    arrow.fill(Qt::transparent);
    QPainter painter(&arrow);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(6, 5);
    path.lineTo(6, 24);
    path.lineTo(11, 19);
    path.lineTo(15, 27);
    path.lineTo(18, 26);
    path.lineTo(14, 18);
    path.lineTo(21, 18);
    path.closeSubpath();
    painter.fillPath(path, Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawPath(path);
    // A small cross at the tip says "pick a point" rather than "click".
    painter.drawLine(1, 5, 4, 5);
    painter.drawLine(6, 0, 6, 3);
    painter.end();
    return QCursor(arrow, 6, 5);
}
