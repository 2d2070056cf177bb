#pragma once

#include <QStringList>

// The sub-commands of `tessary`; each takes the arguments after its own name and
// returns the process exit status.
int RunScriptCommand(const QStringList& arguments);
int RunCleanCommand(const QStringList& arguments);
int RunReceiverCommand(const QStringList& arguments);
int RunHostCommand(const QStringList& arguments);
