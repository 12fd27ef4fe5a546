#pragma once

#include <QIODevice>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace host {

// Named pipes between Tavri and an external application, carried over local
// (AF_UNIX) sockets. Pipe names arrive in the Windows form the controlling
// application passes on the command line ("\\.\pipe\name").
//
// The two directions are placed differently:
// - An input pipe (Tavri listens, the application writes requests and login
//   tokens into it) always lives in the private folder "pipes" inside this
//   user's own temporary folder (ostrel::temporaryFolder(), that is
//   "<$TMPDIR or /tmp>/ostrel-<uid>/pipes", mode 0700, owned by this user):
//   the name is flattened into one file name inside it, so no name can place
//   or remove a socket anywhere else.
// - An output pipe (the application's own socket, Tavri connects to it) maps
//   as socketName() says; an absolute name is a full socket path (for peers
//   that do not use Qt).
// A socket path holds at most kMaxSocketPath bytes (the limit of
// sockaddr_un); longer names are refused rather than cut. The realm frames
// its own messages with explicit lengths, so byte streams are enough. All
// functions are used on the thread that owns the socket.
class LocalPipe
{
public:
    // The longest socket path, in bytes, without its terminating NUL.
    static constexpr int kMaxSocketPath = 107;

    // The output socket name for a pipe name: a leading "\\.\pipe\" (any
    // case) is dropped; an absolute remainder is a full socket path;
    // otherwise every slash and backslash becomes '_', and the socket lies in
    // the temporary folder. Names stay case-sensitive.
    static QString socketName(const QString &pipeName);
    // The full path an output pipe name connects to; empty when the name is
    // empty or the path too long.
    static QString outputSocketPath(const QString &pipeName);

    // The private folder of input pipes: "<$TMPDIR or /tmp>/ostrel-<uid>/
    // pipes"; empty when this user's temporary folder cannot be used.
    static QString inputFolder();
    // The full path of the input pipe for a name: the prefix is dropped and
    // every slash and backslash becomes '_', inside inputFolder(). Empty
    // when the name is refused (empty, "." or "..", holding a NUL, or making
    // a path longer than kMaxSocketPath bytes) or there is no input folder.
    static QString inputSocketPath(const QString &pipeName);

    // Listens on the input pipe, reachable by this user only. The private
    // folder is created (or its mode repaired) first; a folder that is not
    // this user's own directory refuses every name. A socket file left behind
    // by a dead owner is removed and listening retried; a live server is
    // never displaced (returns false).
    static bool listen(QLocalServer &server, const QString &pipeName);

    // Starts connecting to the output pipe; the caller waits and retries as
    // it needs. Returns false, without touching the socket, when the name is
    // refused (see outputSocketPath()).
    static bool connect(QLocalSocket &socket, const QString &pipeName, QIODevice::OpenMode mode = QIODevice::ReadWrite);

private:
    LocalPipe() = delete;
};

} // namespace host
