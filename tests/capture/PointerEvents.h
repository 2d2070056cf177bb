#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// Mouse events as the window system delivers them: to the widget under the press until
// the release, with positions in that widget's own coordinates at the time of each event.
// `origin` is the widget whose coordinates the test speaks in.
class PointerEvents {
public:
    explicit PointerEvents(QWidget* origin) : m_origin(origin) {}

    void press(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        m_held |= button;
        send(target, QEvent::MouseButtonPress, at, button);
    }
    void move(QWidget* target, QPoint at) { send(target, QEvent::MouseMove, at, Qt::NoButton); }
    void release(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        m_held &= ~Qt::MouseButtons(button);
        send(target, QEvent::MouseButtonRelease, at, button);
    }
    void click(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        press(target, at, button);
        release(target, at, button);
    }
    // What a double-click is made of: a click, then the second press as a double-click.
    void doubleClick(QWidget* target, QPoint at) {
        click(target, at);
        m_held |= Qt::LeftButton;
        send(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
        release(target, at);
    }
    // Press at `from`, three moves to `to`, release: all to `target`, which holds the grab.
    void drag(QWidget* target, QPoint from, QPoint to) {
        press(target, from);
        for (int step = 1; step <= 3; ++step)
            move(target, from + (to - from) * step / 3);
        release(target, to);
    }

private:
    void send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button) {
        const QPoint global = m_origin->mapToGlobal(at);
        const QPoint local = target->mapFromGlobal(global);
        QMouseEvent event(type, local, global, button, m_held, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    QWidget* m_origin;
    Qt::MouseButtons m_held;
};
