#pragma once

#include <QLoggingCategory>

#include "Error.h"

// One logging category per subsystem; they reach the journal through Qt's message handler.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcDefaults)
Q_DECLARE_LOGGING_CATEGORY(lcSpawn)
Q_DECLARE_LOGGING_CATEGORY(lcBus)
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcVisibility)
Q_DECLARE_LOGGING_CATEGORY(lcSearch)
Q_DECLARE_LOGGING_CATEGORY(lcResults)
Q_DECLARE_LOGGING_CATEGORY(lcMemory)
Q_DECLARE_LOGGING_CATEGORY(lcLogin)
Q_DECLARE_LOGGING_CATEGORY(lcPromo)
Q_DECLARE_LOGGING_CATEGORY(lcDiskUsage)

namespace lurkel {

// The "%s %@" log line of failed background or file work: operation name and error.
// Pass the category function itself: logFailure(lcSearch, "walk", error).
using LogCategory = const QLoggingCategory &(*)();
void logFailure(LogCategory category, const char *operation, const Error &error);

// Makes every message of this process one line of bounded length before Qt's handler writes
// it: line feeds and other controls in a logged name are escaped (lineForLog), so a name
// cannot forge or split log lines, and a huge request cannot flood the journal. Each
// program calls it first thing in main().
void installOneLineLogging();
// What installOneLineLogging() makes of a message.
QString oneLineLogMessage(const QString &message);

} // namespace lurkel
