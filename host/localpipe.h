#pragma once

#include <QIODevice>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace host {

// Named pipes between Tavri and an external application, carried over local
// (AF_UNIX) sockets. Pipe names arrive in the Windows form the controlling
// application passes on the command line ("\\.\pipe\name"); both ends map the
// same text to the same socket, so neither needs to know the other's platform.
// The realm frames its own messages with explicit lengths, so byte streams
// are enough. All functions are used on the thread that owns the socket.
class LocalPipe
{
public:
    // The socket name for a pipe name: a leading "\\.\pipe\" (any case) is
    // dropped; an absolute remainder is a full socket path (for peers that do
    // not use Qt); otherwise every slash and backslash becomes '_', and Qt
    // places the socket in the temporary folder. Names stay case-sensitive.
    static QString socketName(const QString& pipeName);

    // Listens on the pipe, reachable by this user only. A socket file left
    // behind by a dead owner is removed and listening retried; a live server
    // is never displaced (returns false).
    static bool listen(QLocalServer& server, const QString& pipeName);

    // Starts connecting to the pipe; the caller waits and retries as it needs.
    static void connect(QLocalSocket& socket, const QString& pipeName,
                        QIODevice::OpenMode mode = QIODevice::ReadWrite);

private:
    LocalPipe() = delete;
};

} // namespace host
