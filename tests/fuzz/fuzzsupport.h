#pragma once

// What every fuzz target shares: one application object for the whole run,
// a quiet message handler (a fuzzer runs millions of inputs; log lines would
// only slow it down, but a fatal message still stops it), and the input as
// Qt text.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline void quietMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qUtf8Printable(message));
        std::abort();
    }
}

// Creates the application object (of type App) once, on the offscreen
// platform, with the log silenced. A target whose application is of another
// type creates it first.
template <typename App = QCoreApplication>
App &application()
{
    static App *app = [] {
        if (auto *existing = qobject_cast<App *>(QCoreApplication::instance()))
            return existing;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        qInstallMessageHandler(quietMessageHandler);
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
        QCoreApplication::setApplicationName(QStringLiteral("TavriFuzz"));
        return new App(argc, argv);
    }();
    return *app;
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
}

// Splits the input at the first occurrence of separator: head and the rest
// (the rest is empty when there is none).
inline void split(const QByteArray &input, char separator, QByteArray *head, QByteArray *rest)
{
    const int at = input.indexOf(separator);
    *head = at < 0 ? input : input.left(at);
    *rest = at < 0 ? QByteArray() : input.mid(at + 1);
}

// Writes the input on a connected socket (QLocalSocket or QTcpSocket) and
// closes it once everything is written.
template <typename Socket>
void sendAndClose(Socket &socket, const uint8_t *data, size_t size)
{
    socket.write(reinterpret_cast<const char *>(data), qint64(size));
    socket.flush();
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
    socket.close();
}

// Runs the event loop (deferred deletions included) at least once and then
// until `done` holds; a receiver that never gets there stops the run as a
// hang.
template <typename Predicate>
void spinUntil(Predicate done)
{
    const QDeadlineTimer deadline(8000);
    do {
        if (deadline.hasExpired())
            std::abort();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (!done());
}

} // namespace fuzz
