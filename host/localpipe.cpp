#include "localpipe.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace host {

namespace {
const QString kPipePrefix = QStringLiteral("\\\\.\\pipe\\");
// How long a probe waits for an existing socket's owner to accept.
constexpr int kLiveProbeMs = 200;
}

QString LocalPipe::socketName(const QString& pipeName)
{
    QString name = pipeName;
    if (name.startsWith(kPipePrefix, Qt::CaseInsensitive))
        name = name.mid(kPipePrefix.size());
    if (name.startsWith(QLatin1Char('/')))
        return name;
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name;
}

bool LocalPipe::listen(QLocalServer& server, const QString& pipeName)
{
    const QString name = socketName(pipeName);
    if (name.isEmpty()) {
        qWarning() << "LocalPipe: refusing to listen on an empty pipe name" << pipeName;
        return false;
    }
    // With an access option set, Qt binds in a private folder and renames the
    // socket into place, which would silently replace a live owner's socket.
    // So an existing socket is probed first: a Windows pipe dies with its
    // owner, a socket file does not, and only a file nobody answers on is
    // taken over.
    const QString path = QDir::isAbsolutePath(name) ? name : QDir(QDir::tempPath()).filePath(name);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kLiveProbeMs)) {
            probe.abort();
            qWarning() << "LocalPipe: another process is listening on" << path;
            return false;
        }
        qDebug() << "LocalPipe: removing stale socket" << path;
        QLocalServer::removeServer(path);
    }

    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (server.listen(name))
        return true;
    qWarning() << "LocalPipe: cannot listen on" << path << ":" << server.errorString();
    return false;
}

void LocalPipe::connect(QLocalSocket& socket, const QString& pipeName, QIODevice::OpenMode mode)
{
    socket.connectToServer(socketName(pipeName), mode);
}

} // namespace host
