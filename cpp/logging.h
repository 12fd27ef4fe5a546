#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The process-wide message handler: every debug, warning, critical and fatal
// message of every thread becomes one timestamped line in the current log file
// ("tavri-<start time>.txt" in the log folder) and a bare copy on the console.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Installs logMessageHandler unless `appLogLevel` is 0 (then nothing is
// installed and no log file is ever written). Returns whether it installed.
bool installLogMessageHandler(int appLogLevel);

// The path of the log file currently open, or empty when none is.
QString currentLogFilePath();

// The log folder shared with the voice SDK: "OstrelLogs" in the temporary
// folder, created when missing. Empty when it cannot be used.
QString sdkLogDirectory();

// Deletes the plain files "tavri-*.txt" and "ox-*.txt" in `folder` that were
// last modified more than three days ago. Failures are ignored.
void pruneOldLogs(const QString &folder);

// Settles the folder for chat logs: the first existing, readable "logs" folder
// under the platform's data locations, else the first one that can be
// created. Returns the folder, or empty when none could be set up.
QString setupChatLogFolder();

// Called for warnings of the program's own QML files ("qrc:/..."), apart from
// image download failures. The application object sets it once it exists, to
// turn such warnings into analytics events; null means no reporting.
using QmlWarningReporter = void (*)(const QString &message);
void setQmlWarningReporter(QmlWarningReporter reporter);

// One log line without its line feed, exactly as the handler writes it.
QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &message, const QDateTime &when);

// Text from outside (a command line, a single-instance message) as it goes
// into a log line: at most maxCharacters of it, followed by its full length
// when it was cut, so that one oversized input cannot flood the log.
QString cutForLog(const QString &text, int maxCharacters = 1024);

// Log files are rotated once they grow past this many bytes.
constexpr qint64 kLogRotationBytes = 10 * 1024 * 1024;
