#pragma once

// VoiceWorld: the shared voice world of the dev gateway. Voice SDK stand-ins
// of several processes connect here (loopback only) so that their users see
// each other: sign-in with the gateway's voice tokens, presence, channel
// membership with owners, passwords, access lists, moderators and bans,
// chat, typing, private-chat calls, app data and speaking flags. Private lines
// to a signed-out account wait for its next sign-in. A connection hears
// nothing until it signs in (who is signed in comes just before the answer);
// a channel's roster, lines and events go only to the clients with an
// account in it, and only those may post there.
//
// Messages are a four-byte big-endian length and a flat JSON object (string,
// integer and boolean values) naming its operation in "op"; requests carry an
// "id" that the reply repeats in "re". Malformed, unknown or unauthorised
// messages are refused with a log line; a frame longer than MaxFrame is
// skipped. Lives on the gateway's thread, beside the store it reads.

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class DevGatewayStore;
class QTcpServer;
class QTcpSocket;

class VoiceWorld : public QObject
{
    Q_OBJECT
public:
    // Room for a 64 KiB chat line with its escapes and the message around it.
    static constexpr quint32 MaxFrame = 512 * 1024;

    VoiceWorld(DevGatewayStore &store, const QString &domain, QObject *parent = nullptr);
    ~VoiceWorld() override;

    bool listen(quint16 port, QString *error);
    quint16 port() const;
    // A notification stored for an account is announced to its client, which
    // then fetches it from the web service.
    void notificationPosted(qint64 recipientId, qint64 notificationId);
    // A friend edge written through the web service reaches its owner's client.
    void friendChanged(qint64 ownerId, qint64 friendId, bool added);
    // Frames a message as it goes on the wire.
    static QByteArray frame(const QJsonObject &message);

private:
    struct Client {
        QTcpSocket *socket = nullptr;
        QByteArray buffer;
        qint64 skip = 0;
        QSet<QString> accounts;
    };
    struct User {
        QString name, message;
        int presence = 2;
        Client *client = nullptr;
    };
    struct Member {
        QString uri, name;
        bool audio = false;
    };
    struct Channel {
        QString owner;
        QList<Member> present;
        QSet<QString> moderators, acl, bans, mutedAudio, mutedText;
    };

    void onConnection();
    void onReadable(Client *client);
    void onGone(Client *client);
    void handle(Client *client, const QJsonObject &message);
    void refuse(Client *client, const QJsonObject &message, const QString &reason);
    void reply(Client *client, const QJsonObject &request, QJsonObject answer);
    void send(Client *client, const QJsonObject &message);
    // To every signed-in client but except.
    void broadcast(const QJsonObject &message, Client *except);
    // To the clients with an account present in the channel, but except.
    void toChannel(const QString &key, const QJsonObject &message, Client *except);
    QList<Client *> membersOf(const QString &key) const;
    bool isPresent(const QString &key, const QString &uri) const;
    Client *holder(const QString &uri) const;

    void login(Client *client, const QJsonObject &m);
    void logout(const QString &uri);
    void join(Client *client, const QJsonObject &m);
    void leave(const QString &channel, const QString &uri, int reason, Client *except);
    void admin(Client *client, const QJsonObject &m);
    void forward(Client *client, const QJsonObject &m);
    Channel &channel(const QString &uri);
    QJsonObject userMessage(const QString &uri) const;
    qint64 idIn(const QString &uri, const QString &prefix) const;
    QString userUri(qint64 id) const;

    DevGatewayStore &m_store;
    QString m_domain;
    QTcpServer *m_server;
    QList<Client *> m_clients;
    QHash<QString, User> m_users;       // signed-in accounts by lower-case URI
    QHash<QString, Channel> m_channels; // by lower-case URI
    // Private lines to accounts that are signed out, handed over as offline
    // messages at their next sign-in; the newest MaxOfflineLines per account.
    QHash<QString, QList<QJsonObject>> m_offline;
    static constexpr int MaxOfflineLines = 100;
};
