#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One program instance per user and application id.
//
// The first peer created for an id owns it: it holds a lock file and listens on
// a local socket, both named after the id and the user's uid in the user's
// runtime folder. Every later peer for the id (in another process, or in the
// same one) is a client and can hand the owner one text message, which the
// owner announces with messageReceived() on the thread that created it.
//
// The lock is taken once, in the constructor, with no stale time: only a lock
// whose recorded process has died counts as stale, so a crashed owner is
// replaced while a live one never is, however long it has been running.
//
// Wire form: the client writes the message as UTF-8 in one length-prefixed
// frame (QDataStream::writeBytes); the owner answers "ack" once it has the
// whole frame, then emits. One frame per connection.
class QtLocalPeer : public QObject
{
    Q_OBJECT

public:
    // An empty appId stands for the program's file path.
    explicit QtLocalPeer(QObject *parent = nullptr, const QString &appId = QString());
    ~QtLocalPeer() override;

    // True when another peer owns the id.
    bool isClient();
    // Delivers `message` (the empty text included) to the owner and returns
    // whether the owner acknowledged it within `timeout` ms (a negative value
    // waits without limit). Blocks the calling thread, so it must not run on
    // the thread of an owner in the same process. False for the owner itself.
    bool sendMessage(const QString &message, int timeout);
    QString applicationId() const;

signals:
    void messageReceived(const QString &message);

private slots:
    void onServerNewConnection();
    void onConnectionReadyRead();
    void onConnectionDisconnected();

private:
    void claimOwnership();
    void startServer();
    void dropConnection(QLocalSocket *connection);

    QString m_id;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lockFile;
    QLocalServer *m_server = nullptr;
    bool m_isClient = false;
    // Bytes received so far on each open connection.
    QHash<QLocalSocket *, QByteArray> m_connections;
};
