#pragma once

#include <QString>
#include <QtGlobal>

// DebugLine: a debug message of the default category, the same message and
// log context that qDebug() would give for the same items, without the text
// stream a QDebug builds for every message. For lines written once per
// event of a busy session (every received chat line); elsewhere qDebug() is
// the plain choice. Items are separated by one space, as qDebug() separates
// them: a C string as it is, a QString in quotes with what QDebug escapes
// escaped (such rare strings are handed to QDebug itself), an int in
// decimals. Nothing is built when debug messages of the default category are
// off. Made through the tavriDebugLine() macro, which gives it the caller's
// place as qDebug() gets it.
class DebugLine
{
public:
    DebugLine(const char *file, int line, const char *function);
    ~DebugLine();
    DebugLine(const DebugLine &) = delete;
    DebugLine &operator=(const DebugLine &) = delete;

    DebugLine &operator<<(const char *text);
    DebugLine &operator<<(const QString &text);
    DebugLine &operator<<(int value);

private:
    void separate();

    const char *m_file;
    int m_line;
    const char *m_function;
    bool m_enabled;
    int m_items = 0;
    QString m_message;
};

#define tavriDebugLine() DebugLine(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC)
