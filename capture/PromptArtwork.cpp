#include "capture/PromptArtwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage PromptSkin() {
    QImage skin(250, 110, QImage::Format_RGB888);
    skin.fill(QColor(255, 0, 0));
    QPainter painter(&skin);
    // No anti-aliasing: a blended edge pixel would be neither kept nor cut cleanly.
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, 249, 109), 7, 7);
    QLinearGradient body(0, 0, 0, 110);
    body.setColorAt(0.0, QColor(74, 134, 222));
    body.setColorAt(0.24, QColor(40, 96, 188));
    body.setColorAt(0.25, QColor(236, 243, 252));
    body.setColorAt(1.0, QColor(206, 222, 244));
    painter.setPen(QColor(24, 64, 140));
    painter.setBrush(body);
    painter.drawPath(outline);
    painter.setPen(QColor(255, 255, 255, 120));
    painter.drawLine(8, 27, 241, 27);
    return skin;
}

QPixmap CloseImagePicture(int index) {
    QPixmap picture(19, 19);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor face = index == 1 ? QColor(214, 60, 48) : QColor(52, 108, 200);
    painter.setPen(QColor(255, 255, 255, 180));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(1.5, 1.5, 16, 16), 3, 3);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(6, 6), QPointF(13, 13));
    painter.drawLine(QPointF(13, 6), QPointF(6, 13));
    return picture;
}
