#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QThread>
#include <QtGlobal>

#include <atomic>
#include <functional>

// One log line as the message handler received it.
struct CapturedLine
{
    QtMsgType type;
    QByteArray category;
    QByteArray file;
    int line;
    QByteArray function;
    QString message;
    Qt::HANDLE thread;
};

// Replaces the message handler while it lives and keeps every line, from any
// thread. `onLine`, when set, runs for each line on the logging thread,
// outside the capture's lock.
class LogCapture
{
public:
    LogCapture()
    {
        s_current.store(this);
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current.store(nullptr);
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<CapturedLine> lines() const
    {
        QMutexLocker locker(&m_mutex);
        return m_lines;
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

    std::function<void(const CapturedLine &)> onLine;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *capture = s_current.load();
        if (!capture)
            return;
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
    }

    static inline std::atomic<LogCapture *> s_current{nullptr};
    mutable QMutex m_mutex;
    QList<CapturedLine> m_lines;
    QtMessageHandler m_previous = nullptr;
};
