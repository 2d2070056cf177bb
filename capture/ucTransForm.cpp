#include "capture/ucTransForm.h"

#include <QEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QVector>
#include <QWindow>

ucTransForm::ucTransForm(QWidget* form) : QObject(form), mParent(form) {
    // One shape per window: a second control on the same form would fight the first.
    for (QObject* child : form->children()) {
        if (child != this && qobject_cast<ucTransForm*>(child) != nullptr) {
            QMessageBox::warning(form, QStringLiteral("Multiple TransForm Controls"),
                                 QStringLiteral("Only one TransForm control is allowed or "
                                                "needed on a single form.\n\n"
                                                "All TransForm functionality will be disabled "
                                                "for this form."));
            m_disabled = true;
            break;
        }
    }
    form->installEventFilter(this);
    ApplyShape();
}

void ucTransForm::setTransparent(bool on) {
    m_transparent = on;
    ApplyShape();
}

QRegion ucTransForm::RegionFromPicture(const QImage& picture, quint32 maskColor) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb mask =
        qRgb(int(maskColor & 0xff), int((maskColor >> 8) & 0xff), int((maskColor >> 16) & 0xff)) &
        0xffffff;
    QVector<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            while (x < rgb.width() && (row[x] & 0xffffff) == mask)
                ++x;
            const int start = x;
            while (x < rgb.width() && (row[x] & 0xffffff) != mask)
                ++x;
            if (x > start)
                runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    // Rows of height one are already banded, so the region takes them as they are.
    region.setRects(runs.constData(), int(runs.size()));
    return region;
}

void ucTransForm::ApplyShape() {
    if (mParent == nullptr)
        return;
    const QImage picture = mParent->property("Picture").value<QImage>();
    if (!m_disabled && m_transparent && !picture.isNull()) {
        const QRegion region = RegionFromPicture(picture, m_maskColor);
        if (!region.isEmpty()) {
            // Frameless windows have their client area at the origin, so the region needs
            // no frame offset.
            mParent->setFixedSize(picture.size());
            mParent->setMask(region);
            return;
        }
    }
    mParent->clearMask();
}

bool ucTransForm::dragAllowed() const {
    return !m_disabled && (m_autoDrag == 1 || (m_autoDrag == 2 && m_transparent));
}

bool ucTransForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != mParent)
        return false;
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::Show:
        ApplyShape();
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // Presses on a child (label, close image, button) never drag, even when the child
        // passes the press on to the window.
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() != Qt::LeftButton || !dragAllowed() || mParent->childAt(at))
            break;
        QWindow* window = mParent->windowHandle();
        if (window != nullptr && window->startSystemMove())
            return true;
        m_dragging = true;
        m_dragOffset = mouse->globalPosition().toPoint() - mParent->frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            mParent->move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_dragging = false;
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}
