#include "capture/frmHidden.h"

#include <QPainter>

void PictureBox::setPicture(const QImage& picture) {
    if (picture.isNull()) {
        m_image = QImage();
        return;
    }
    QImage drawn(picture.size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    painter.drawImage(0, 0, picture);
    painter.end();
    m_image = drawn;
}

frmHidden& frmHidden::instance() {
    static frmHidden form;
    return form;
}
