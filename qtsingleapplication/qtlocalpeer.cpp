#include "qtlocalpeer.h"

#include "ostreltempfolder.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kConnectAttempts = 2;
const int kRetryDelayMs = 250;
// A peer that connects and then stalls is dropped after this long, so that it
// cannot keep a connection of the owner open for ever.
const int kStalledConnectionMs = 10000;
// Messages are command lines; this is well above the longest one Linux allows
// (ARG_MAX, 2 MiB by default). A larger announced length is refused unread.
const quint32 kMaxMessageBytes = 8u * 1024u * 1024u;
const QByteArray kAck = QByteArrayLiteral("ack");

// Socket and lock file name: the id reduced to [A-Za-z0-9_-], then '-' and the
// uid, so that users of one machine never meet.
QString peerName(const QString &id)
{
    QString name = id;
    for (QChar &c : name) {
        const ushort u = c.unicode();
        const bool keep =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-';
        if (!keep)
            c = QLatin1Char('_');
    }
    return name + QLatin1Char('-') + QString::number(::getuid());
}

// Why `folder` may not hold the socket, or empty when it may: it must be a
// real folder (not a link), owned by this user and closed to everyone else,
// so that no other user can put a socket or lock file of their own there. A
// folder of this user's that others may enter is closed first.
QString folderProblem(const QString &folder)
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return QStringLiteral("no folder");
    const QByteArray path = QFile::encodeName(folder);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("it is a link");
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("it is not a folder");
    if (st.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user");
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), st.st_mode & 0700) != 0)
        return QStringLiteral("others may write there");
    return QString();
}

// The runtime folder is per user and the same for every way the program is
// launched, unlike TMPDIR. Without one, the user's private temporary folder
// serves. Empty, with the reasons in `why`, when neither is private.
QString peerFolder(QString *why)
{
    QStringList reasons;
    for (const QString &folder : {QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                                  QString::fromStdString(ostrel::temporaryFolder())}) {
        const QString problem = folderProblem(folder);
        if (problem.isEmpty())
            return folder;
        reasons << QStringLiteral("'%1': %2").arg(folder, problem);
    }
    *why = reasons.join(QStringLiteral("; "));
    return QString();
}

int remainingMs(const QElapsedTimer &clock, int timeout)
{
    if (timeout < 0)
        return -1;
    return qMax(0, timeout - int(clock.elapsed()));
}

} // namespace

QtLocalPeer::QtLocalPeer(QObject *parent, const QString &appId)
    : QObject(parent)
    , m_id(appId)
{
    if (m_id.isEmpty())
        m_id = QCoreApplication::applicationFilePath();
    const QString name = peerName(m_id);
    QString why;
    const QString folder = peerFolder(&why);
    if (folder.isEmpty()) {
        // Anywhere else another user could listen in and receive what the
        // next start hands over: run alone, and hand nothing over.
        qWarning().noquote() << "QtLocalPeer: no private folder for the single-instance socket (" + why
                                    + "); running without single-instance check, nothing is handed over";
        return;
    }
    m_socketPath = QDir(folder).filePath(name);
    m_lockFile = std::make_unique<QLockFile>(QDir(folder).filePath(name + QStringLiteral(".lock")));
    claimOwnership();
}

QtLocalPeer::~QtLocalPeer()
{
    // Stop accepting before the lock goes, so that a successor that takes the
    // lock never finds this peer's socket still answering.
    if (m_server)
        m_server->close();
    m_lockFile.reset();
}

void QtLocalPeer::claimOwnership()
{
    m_lockFile->setStaleLockTime(0);
    if (m_lockFile->tryLock(0)) {
        startServer();
        return;
    }
    if (m_lockFile->error() == QLockFile::LockFailedError) {
        m_isClient = true;
        return;
    }
    // The lock file cannot be made at all (an unwritable folder, say). Ask the
    // socket instead: a live owner answers, and then this peer is its client.
    // Otherwise run alone rather than not at all; without the lock the socket
    // file is left untouched, since it might belong to a live owner.
    QLocalSocket probe;
    probe.connectToServer(m_socketPath);
    m_isClient = probe.waitForConnected(kRetryDelayMs);
    probe.abort();
    qWarning() << "QtLocalPeer: cannot lock" << (m_socketPath + QStringLiteral(".lock")) << "error"
               << m_lockFile->error()
               << (m_isClient ? "; another instance answers" : "; running without single-instance check");
}

void QtLocalPeer::startServer()
{
    // Holding the lock means any socket file left here belongs to a dead owner.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &QtLocalPeer::onServerNewConnection);
    if (!m_server->listen(m_socketPath))
        qWarning() << "QtLocalPeer: cannot listen on" << m_socketPath << ":" << m_server->errorString();
}

bool QtLocalPeer::isClient()
{
    return m_isClient;
}

QString QtLocalPeer::applicationId() const
{
    return m_id;
}

bool QtLocalPeer::sendMessage(const QString &message, int timeout)
{
    if (!m_isClient)
        return false;

    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    bool connected = false;
    for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
        if (attempt > 0) {
            // The owner may be starting up; wait once, if time allows.
            const int left = remainingMs(clock, timeout);
            if (left >= 0 && left <= kRetryDelayMs)
                break;
            QThread::msleep(kRetryDelayMs);
        }
        socket.connectToServer(m_socketPath);
        connected = socket.waitForConnected(remainingMs(clock, timeout));
    }
    if (!connected) {
        qWarning() << "QtLocalPeer: cannot reach" << m_socketPath << ":" << socket.errorString();
        return false;
    }

    const QByteArray text = message.toUtf8();
    QByteArray frame;
    {
        QDataStream out(&frame, QIODevice::WriteOnly);
        out.writeBytes(text.constData(), uint(text.size()));
    }
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(clock, timeout))) {
            qWarning() << "QtLocalPeer: sending failed:" << socket.errorString();
            return false;
        }
    }
    while (socket.bytesAvailable() < kAck.size()) {
        if (!socket.waitForReadyRead(remainingMs(clock, timeout))) {
            qWarning() << "QtLocalPeer: no acknowledgement within" << timeout << "ms:" << socket.errorString();
            return false;
        }
    }
    const bool acknowledged = socket.read(kAck.size()) == kAck;
    socket.disconnectFromServer();
    return acknowledged;
}

void QtLocalPeer::onServerNewConnection()
{
    while (QLocalSocket *connection = m_server->nextPendingConnection()) {
        m_connections.insert(connection, QByteArray());
        connect(connection, &QLocalSocket::readyRead, this, &QtLocalPeer::onConnectionReadyRead);
        connect(connection, &QLocalSocket::disconnected, this, &QtLocalPeer::onConnectionDisconnected);
        QTimer::singleShot(kStalledConnectionMs, connection, [this, connection] {
            if (m_connections.contains(connection)) {
                qWarning() << "QtLocalPeer: dropping a connection that sent no complete message";
                dropConnection(connection);
            }
        });
    }
}

void QtLocalPeer::onConnectionReadyRead()
{
    auto *connection = qobject_cast<QLocalSocket *>(sender());
    auto it = m_connections.find(connection);
    if (it == m_connections.end())
        return;
    QByteArray &buffer = it.value();
    buffer += connection->readAll();
    if (buffer.size() < int(sizeof(quint32)))
        return;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > kMaxMessageBytes) {
        qWarning() << "QtLocalPeer: refusing a message of" << length << "bytes; the limit is" << kMaxMessageBytes
                   << "bytes";
        dropConnection(connection);
        return;
    }
    if (quint32(buffer.size()) - sizeof(quint32) < length)
        return;

    const QString message = QString::fromUtf8(buffer.constData() + sizeof(quint32), int(length));
    m_connections.erase(it);
    // Acknowledge before announcing: a receiver may end the program at once
    // (a "-quit" message), and the sender must still learn of the delivery.
    connection->write(kAck);
    connection->flush();
    connection->disconnectFromServer();
    emit messageReceived(message);
}

void QtLocalPeer::onConnectionDisconnected()
{
    auto *connection = qobject_cast<QLocalSocket *>(sender());
    m_connections.remove(connection);
    connection->deleteLater();
}

void QtLocalPeer::dropConnection(QLocalSocket *connection)
{
    m_connections.remove(connection);
    connection->abort();
    connection->deleteLater();
}
