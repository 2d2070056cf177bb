#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Runs `answer` on the first visible top-level widget of type T once it shows up: modal
// dialogs block the call that opened them, so the answer has to be waiting in the event
// loop. Gives up after about six seconds.
template <typename T> void WhenShown(std::function<void(T*)> answer, int triesLeft = 300) {
    QTimer::singleShot(20, [answer, triesLeft] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
                answer(found);
                return;
            }
        }
        if (triesLeft > 0)
            WhenShown<T>(answer, triesLeft - 1);
    });
}
