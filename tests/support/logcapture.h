#pragma once

// LogCapture: keeps the log lines of a test, from any thread.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>
#include <QtGlobal>

#include <atomic>
#include <functional>

// One log line as the message handler received it.
struct CapturedLine {
    QtMsgType type;
    QByteArray category;
    QByteArray file;
    int line;
    QByteArray function;
    QString message;
    Qt::HANDLE thread;
};

// Replaces the message handler while it lives and keeps every line, from any
// thread. Captures nest: the innermost one receives the lines, and the one
// it replaced receives them again once it ends. With ForwardWarnings, lines
// of warning level and above also reach the handler that was installed
// before (Qt Test's, so that they still show in the test's output).
// `onLine`, when set, runs for each line on the logging thread, outside the
// capture's lock. A capture ends only once no other thread is still inside
// its handler, so a voice SDK thread logging at that moment cannot write
// into a capture that is gone.
class LogCapture
{
public:
    enum Forwarding { KeepAll, ForwardWarnings };

    explicit LogCapture(Forwarding forwarding = KeepAll)
        : m_forwarding(forwarding)
    {
        QMutexLocker locker(&s_lock);
        m_outer = s_current;
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        QMutexLocker locker(&s_lock);
        qInstallMessageHandler(m_previous);
        s_current = m_outer;
        // Lines of this thread never arrive while it is here; other threads
        // finish the line they are writing.
        while (m_users > 0)
            s_idle.wait(&s_lock);
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<CapturedLine> lines() const
    {
        QMutexLocker locker(&m_mutex);
        return m_lines;
    }

    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_lines.clear();
    }

    // The lines of `type` whose message starts with `prefix`.
    QList<CapturedLine> find(QtMsgType type, const QString &prefix) const
    {
        QList<CapturedLine> found;
        for (const CapturedLine &line : lines()) {
            if (line.type == type && line.message.startsWith(prefix))
                found.append(line);
        }
        return found;
    }

    // The lines whose message contains `text`, of any type.
    QList<CapturedLine> matching(const QString &text) const
    {
        QList<CapturedLine> found;
        for (const CapturedLine &line : lines()) {
            if (line.message.contains(text))
                found.append(line);
        }
        return found;
    }

    // Every message, one per line.
    QString text() const
    {
        QStringList messages;
        for (const CapturedLine &line : lines())
            messages.append(line.message);
        return messages.join(QLatin1Char('\n'));
    }

    std::function<void(const CapturedLine &)> onLine;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *capture = nullptr;
        {
            QMutexLocker locker(&s_lock);
            capture = s_current;
            if (!capture)
                return;
            ++capture->m_users;
        }
        capture->record(type, context, message);
        QMutexLocker locker(&s_lock);
        if (--capture->m_users == 0)
            s_idle.wakeAll();
    }

    void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *capture = this;
        const CapturedLine line{type,
                                QByteArray(context.category ? context.category : ""),
                                QByteArray(context.file ? context.file : ""),
                                context.line,
                                QByteArray(context.function ? context.function : ""),
                                message,
                                QThread::currentThreadId()};
        {
            QMutexLocker locker(&capture->m_mutex);
            capture->m_lines.append(line);
        }
        if (capture->onLine)
            capture->onLine(line);
        if (capture->m_forwarding == ForwardWarnings && type != QtDebugMsg && type != QtInfoMsg && capture->m_previous)
            capture->m_previous(type, context, message);
    }

    // Guards the current capture and each capture's count of threads inside
    // its handler.
    static inline QMutex s_lock;
    static inline QWaitCondition s_idle;
    static inline LogCapture *s_current = nullptr;
    int m_users = 0;
    mutable QMutex m_mutex;
    QList<CapturedLine> m_lines;
    QtMessageHandler m_previous = nullptr;
    LogCapture *m_outer = nullptr;
    const Forwarding m_forwarding;
};
