#include "common/Events.h"

#include <QCoreApplication>

void LetPendingEventsRun() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}
