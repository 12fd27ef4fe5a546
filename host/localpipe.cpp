#include "localpipe.h"

#include "ostreltempfolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {
const QString kPipePrefix = QStringLiteral("\\\\.\\pipe\\");
// How long a probe waits for an existing socket's owner to accept.
constexpr int kLiveProbeMs = 200;

QString withoutPrefix(const QString &pipeName)
{
    if (pipeName.startsWith(kPipePrefix, Qt::CaseInsensitive))
        return pipeName.mid(kPipePrefix.size());
    return pipeName;
}

QString flattened(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name;
}

bool fitsSocketPath(const QString &path)
{
    return QFile::encodeName(path).size() <= LocalPipe::kMaxSocketPath;
}

// Makes sure the input folder exists as this user's own directory with mode
// 0700. A symbolic link, a file or somebody else's folder in its place is
// refused, never followed or changed.
bool ensurePrivateFolder(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        qWarning() << "LocalPipe: cannot create the pipe folder" << folder << ":" << strerror(errno);
        return false;
    }
    struct stat info {
    };
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        qWarning() << "LocalPipe: the pipe folder" << folder << "is not a private directory of this user";
        return false;
    }
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0) {
        qWarning() << "LocalPipe: cannot make the pipe folder private" << folder;
        return false;
    }
    return true;
}
} // namespace

QString LocalPipe::socketName(const QString &pipeName)
{
    const QString name = withoutPrefix(pipeName);
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return flattened(name);
}

QString LocalPipe::outputSocketPath(const QString &pipeName)
{
    const QString name = socketName(pipeName);
    if (name.isEmpty() || name.contains(QChar(0)))
        return QString();
    const QString path = QDir::isAbsolutePath(name) ? name : QDir(QDir::tempPath()).filePath(name);
    return fitsSocketPath(path) ? path : QString();
}

QString LocalPipe::inputFolder()
{
    // Inside this user's own temporary folder, so that no other user of the
    // machine can hold the folder (a shared "<temp>/pipes" belongs to the
    // first user who makes it, and every other user could not listen).
    const std::string base = ostrel::temporaryFolder();
    if (base.empty())
        return QString();
    return QFile::decodeName(QByteArray::fromStdString(base)) + QStringLiteral("/pipes");
}

QString LocalPipe::inputSocketPath(const QString &pipeName)
{
    const QString name = flattened(withoutPrefix(pipeName));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QChar(0)))
        return QString();
    const QString folder = inputFolder();
    if (folder.isEmpty())
        return QString();
    const QString path = folder + QLatin1Char('/') + name;
    return fitsSocketPath(path) ? path : QString();
}

bool LocalPipe::listen(QLocalServer &server, const QString &pipeName)
{
    const QString path = inputSocketPath(pipeName);
    if (path.isEmpty()) {
        qWarning() << "LocalPipe: refusing to listen on the pipe name" << pipeName
                   << "(empty, reserved or too long, or no private temporary folder)";
        return false;
    }
    if (!ensurePrivateFolder(inputFolder()))
        return false;
    // With an access option set, Qt binds in a private folder and renames the
    // socket into place, which would silently replace a live owner's socket.
    // So an existing socket is probed first: a Windows pipe dies with its
    // owner, a socket file does not, and only a file nobody answers on is
    // taken over. The path lies inside the private folder, so nothing
    // outside it is ever removed.
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
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
    if (server.listen(path))
        return true;
    qWarning() << "LocalPipe: cannot listen on" << path << ":" << server.errorString();
    return false;
}

bool LocalPipe::connect(QLocalSocket &socket, const QString &pipeName, QIODevice::OpenMode mode)
{
    const QString path = outputSocketPath(pipeName);
    if (path.isEmpty()) {
        qWarning() << "LocalPipe: refusing to connect to the pipe name" << pipeName << "(empty or too long)";
        return false;
    }
    socket.connectToServer(path, mode);
    return true;
}

} // namespace host
