#pragma once

#include <QString>

// One line on standard error for each request, handshake or message the host refuses;
// the refused party itself learns no detail.
void LogRefusal(const QString& what);
