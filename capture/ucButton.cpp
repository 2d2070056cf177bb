#include "capture/ucButton.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

struct FaceColours {
    QColor top;
    QColor bottom;
    QColor border;
    QColor text;
};

FaceColours ColoursFor(ucButton::VisualState state) {
    switch (state) {
    case ucButton::Hot:
        return {QColor(255, 255, 255), QColor(200, 226, 250), QColor(60, 127, 177),
                QColor(0, 0, 0)};
    case ucButton::Pressed:
        return {QColor(196, 222, 246), QColor(152, 196, 236), QColor(44, 98, 139), QColor(0, 0, 0)};
    case ucButton::Disabled:
        return {QColor(244, 244, 244), QColor(244, 244, 244), QColor(173, 178, 181),
                QColor(131, 131, 131)};
    case ucButton::Normal:
        break;
    }
    return {QColor(250, 250, 250), QColor(220, 220, 220), QColor(112, 112, 112), QColor(0, 0, 0)};
}

} // namespace

ucButton::ucButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void ucButton::setCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void ucButton::setButtonType(qint32 type) {
    m_buttonType = type;
    update();
}

void ucButton::setValue(bool value) {
    m_value = value;
    update();
}

ucButton::VisualState ucButton::visualState() const {
    if (!isEnabled())
        return Disabled;
    if (m_buttonType == 1 && m_value)
        return Pressed;
    return m_state;
}

void ucButton::paintEvent(QPaintEvent*) {
    const FaceColours colours = ColoursFor(visualState());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(face, 3, 3);
    QLinearGradient gradient(face.topLeft(), face.bottomLeft());
    gradient.setColorAt(0, colours.top);
    gradient.setColorAt(1, colours.bottom);
    painter.fillPath(path, gradient);
    painter.setPen(colours.border);
    painter.drawPath(path);
    painter.setPen(colours.text);
    const QPoint shift = visualState() == Pressed ? QPoint(1, 1) : QPoint();
    painter.drawText(rect().translated(shift), Qt::AlignCenter, m_caption);
}

void ucButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_state = Pressed;
    update();
}

void ucButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_state != Pressed)
        return;
    const bool over = rect().contains(event->position().toPoint());
    m_state = over ? Hot : Normal;
    update();
    if (over)
        clicked();
}

void ucButton::enterEvent(QEnterEvent*) {
    if (m_state == Normal)
        m_state = Hot;
    update();
    emit MouseEnter();
}

void ucButton::leaveEvent(QEvent*) {
    // A button held down keeps its pressed look; leaving only takes the hot look away.
    if (m_state == Hot)
        m_state = Normal;
    update();
    emit MouseLeave();
}

void ucButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) {
            m_state = Pressed;
            update();
        }
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        focusNextChild();
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusPreviousChild();
        return;
    case Qt::Key_Tab:
        emit MouseLeave();
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void ucButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_state == Pressed) {
        m_state = Normal;
        update();
        clicked();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void ucButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        update();
    QWidget::changeEvent(event);
}

void ucButton::clicked() {
    if (m_buttonType == 1)
        m_value = !m_value;
    update();
    emit Click();
}
