#include "voiceworld.h"

#include "devgatewaystore.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>

namespace {

// Each operation's fields and their kinds: 's' text, 'i' integer (or boolean).
const QHash<QString, QByteArray> &schemas()
{
    static const QHash<QString, QByteArray> table = {
        {"hello", "id:i"},
        {"login", "id:i token:s"},
        {"logout", "uri:s"},
        {"presence", "uri:s presence:i message:s"},
        {"join", "id:i channel:s uri:s name:s password:s audio:i"},
        {"leave", "channel:s uri:s reason:i"},
        {"say", "to:s from:s text:s"},
        {"typing", "to:s from:s type:i"},
        {"call", "to:s from:s name:s"},
        {"appdata", "to:s from:s ctype:s content:s"},
        {"speak", "channel:s uri:s speaking:i"},
        {"admin", "id:i kind:s channel:s from:s who:s value:i"},
        {"buddy", "from:s to:s add:i"},
        {"lists", "id:i channel:s from:s"},
        {"hangup", "to:s from:s reason:i"},
    };
    return table;
}

// Who sends each operation: the field naming one of the client's accounts.
QString senderField(const QString &op)
{
    if (op == QLatin1String("logout") || op == QLatin1String("presence") || op == QLatin1String("join")
        || op == QLatin1String("leave") || op == QLatin1String("speak"))
        return QStringLiteral("uri");
    return op == QLatin1String("login") || op == QLatin1String("hello") ? QString() : QStringLiteral("from");
}

bool isChannel(const QString &uri)
{
    return uri.startsWith(QLatin1String("sip:confctl-"));
}

void logLine(const QString &text)
{
    qWarning().noquote() << "voice world:" << text;
}

} // namespace

VoiceWorld::VoiceWorld(DevGatewayStore &store, const QString &domain, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_domain(domain.toLower())
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &VoiceWorld::onConnection);
}

VoiceWorld::~VoiceWorld()
{
    for (Client *c : qAsConst(m_clients)) {
        c->socket->disconnect(this);
        delete c;
    }
}

bool VoiceWorld::listen(quint16 port, QString *error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    *error = QStringLiteral("cannot open the voice world on port %1: %2").arg(port).arg(m_server->errorString());
    return false;
}

quint16 VoiceWorld::port() const
{
    return m_server->serverPort();
}

QByteArray VoiceWorld::frame(const QJsonObject &message)
{
    const QByteArray json = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const quint32 n = quint32(json.size());
    QByteArray out;
    out.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    return out + json;
}

QString VoiceWorld::userUri(qint64 id) const
{
    return QStringLiteral("sip:u-%1@%2").arg(id).arg(m_domain);
}

qint64 VoiceWorld::idIn(const QString &uri, const QString &prefix) const
{
    const QString key = uri.toLower();
    const int at = key.indexOf(QLatin1Char('@'));
    if (!key.startsWith(prefix) || at < 0 || key.mid(at + 1) != m_domain)
        return 0;
    bool ok = false;
    const qint64 id = key.mid(prefix.size(), at - prefix.size()).toLongLong(&ok);
    return ok && id > 0 ? id : 0;
}

void VoiceWorld::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *client = new Client;
        client->socket = socket;
        m_clients.append(client);
        connect(socket, &QTcpSocket::readyRead, this, [this, client] { onReadable(client); });
        connect(
            socket, &QTcpSocket::disconnected, this, [this, client] { onGone(client); }, Qt::QueuedConnection);
        // Nothing of the world goes to a connection before it signs in.
    }
}

void VoiceWorld::onGone(Client *client)
{
    if (!m_clients.removeOne(client))
        return;
    for (const QString &uri : qAsConst(client->accounts))
        logout(uri);
    client->socket->deleteLater();
    delete client;
}

void VoiceWorld::onReadable(Client *client)
{
    client->buffer.append(client->socket->readAll());
    for (;;) {
        if (client->skip > 0) {
            const qint64 drop = qMin<qint64>(client->skip, client->buffer.size());
            client->buffer.remove(0, int(drop));
            client->skip -= drop;
            if (client->skip > 0)
                return;
        }
        if (client->buffer.size() < 4)
            return;
        const auto *b = reinterpret_cast<const uchar *>(client->buffer.constData());
        const quint32 n = (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
        if (n > MaxFrame) {
            logLine(QStringLiteral("refused a message of %1 bytes (more than %2)").arg(n).arg(MaxFrame));
            client->buffer.remove(0, 4);
            client->skip = n;
            continue;
        }
        if (quint32(client->buffer.size()) < 4 + n)
            return;
        const QByteArray payload = client->buffer.mid(4, int(n));
        client->buffer.remove(0, int(4 + n));
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(payload, &parseError);
        if (!doc.isObject()) {
            refuse(client, {},
                   parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                : QStringLiteral("not an object"));
            continue;
        }
        handle(client, doc.object());
        if (!m_clients.contains(client))
            return;
    }
}

void VoiceWorld::refuse(Client *client, const QJsonObject &message, const QString &reason)
{
    logLine(QStringLiteral("refused a message (%1)").arg(reason));
    if (message.value(QLatin1String("id")).isDouble())
        reply(client, message, QJsonObject{{"status", 400}, {"text", "Bad Request"}});
}

void VoiceWorld::send(Client *client, const QJsonObject &message)
{
    client->socket->write(frame(message));
}

void VoiceWorld::reply(Client *client, const QJsonObject &request, QJsonObject answer)
{
    answer.insert(QStringLiteral("op"), QStringLiteral("reply"));
    answer.insert(QStringLiteral("re"), request.value(QLatin1String("id")));
    if (!answer.contains(QLatin1String("status")))
        answer.insert(QStringLiteral("status"), 0);
    send(client, answer);
}

void VoiceWorld::broadcast(const QJsonObject &message, Client *except)
{
    for (Client *c : qAsConst(m_clients))
        if (c != except && !c->accounts.isEmpty())
            send(c, message);
}

bool VoiceWorld::isPresent(const QString &key, const QString &uri) const
{
    auto it = m_channels.constFind(key);
    if (it == m_channels.cend())
        return false;
    for (const Member &m : it->present)
        if (m.uri == uri)
            return true;
    return false;
}

QList<VoiceWorld::Client *> VoiceWorld::membersOf(const QString &key) const
{
    QList<Client *> clients;
    auto it = m_channels.constFind(key);
    if (it == m_channels.cend())
        return clients;
    for (const Member &m : it->present)
        if (Client *c = holder(m.uri))
            if (!clients.contains(c))
                clients.append(c);
    return clients;
}

void VoiceWorld::toChannel(const QString &key, const QJsonObject &message, Client *except)
{
    for (Client *c : membersOf(key))
        if (c != except)
            send(c, message);
}

VoiceWorld::Client *VoiceWorld::holder(const QString &uri) const
{
    auto it = m_users.constFind(uri.toLower());
    return it == m_users.cend() ? nullptr : it->client;
}

VoiceWorld::Channel &VoiceWorld::channel(const QString &uri)
{
    auto it = m_channels.find(uri);
    if (it != m_channels.end())
        return *it;
    Channel &c = m_channels[uri];
    // A permanent channel's owner and moderators come from its record.
    if (const qint64 id = idIn(uri, QStringLiteral("sip:confctl-"))) {
        const QVariant owner = m_store.value(QStringLiteral("SELECT owner_id FROM channels WHERE id = ?"), {id});
        if (owner.isValid())
            c.owner = userUri(owner.toLongLong());
        for (const QVariantMap &row :
             m_store.rows(QStringLiteral("SELECT account_id FROM channel_moderators WHERE channel_id = ?"), {id}))
            c.moderators.insert(userUri(row.value("account_id").toLongLong()));
        for (const QVariantMap &row :
             m_store.rows(QStringLiteral("SELECT account_id FROM channel_members WHERE channel_id = ?"), {id}))
            c.acl.insert(userUri(row.value("account_id").toLongLong()));
    }
    return c;
}

QJsonObject VoiceWorld::userMessage(const QString &uri) const
{
    const User u = m_users.value(uri);
    return QJsonObject{
        {"op", "user"}, {"uri", uri}, {"name", u.name}, {"presence", u.presence}, {"message", u.message}};
}

void VoiceWorld::handle(Client *client, const QJsonObject &m)
{
    const QString op = m.value(QLatin1String("op")).toString();
    auto schema = schemas().constFind(op);
    if (schema == schemas().cend())
        return refuse(client, m,
                      op.isEmpty() ? QStringLiteral("no operation")
                                   : QStringLiteral("unknown operation \"%1\"").arg(op));
    for (const QByteArray &field : schema->split(' ')) {
        const QString key = QString::fromLatin1(field.left(field.indexOf(':')));
        const QJsonValue v = m.value(key);
        const bool ok = field.endsWith('s')
                            ? v.isString()
                            : (v.isBool() || (v.isDouble() && v.toDouble() == double(qint64(v.toDouble()))));
        if (!ok)
            return refuse(client, m, QStringLiteral("%1: bad or missing \"%2\"").arg(op, key));
    }
    const QString sender = senderField(op);
    if (!sender.isEmpty() && !client->accounts.contains(m.value(sender).toString().toLower()))
        return refuse(client, m, QStringLiteral("%1: %2 is not signed in here").arg(op, m.value(sender).toString()));

    if (op == QLatin1String("hello"))
        return reply(client, m, {});
    if (op == QLatin1String("login"))
        return login(client, m);
    if (op == QLatin1String("logout")) {
        const QString uri = m.value(QLatin1String("uri")).toString().toLower();
        client->accounts.remove(uri);
        return logout(uri);
    }
    if (op == QLatin1String("presence")) {
        User &u = m_users[m.value(QLatin1String("uri")).toString().toLower()];
        u.presence = m.value(QLatin1String("presence")).toInt();
        u.message = m.value(QLatin1String("message")).toString();
        return broadcast(userMessage(m.value(QLatin1String("uri")).toString().toLower()), client);
    }
    if (op == QLatin1String("join"))
        return join(client, m);
    if (op == QLatin1String("leave"))
        return leave(m.value(QLatin1String("channel")).toString().toLower(),
                     m.value(QLatin1String("uri")).toString().toLower(), m.value(QLatin1String("reason")).toInt(),
                     client);
    if (op == QLatin1String("admin"))
        return admin(client, m);
    if (op == QLatin1String("lists")) {
        // A channel's access, moderator and ban lists as they stand now.
        const QString key = m.value(QLatin1String("channel")).toString().toLower();
        if (!isChannel(key))
            return refuse(client, m, QStringLiteral("lists: %1 is not a channel").arg(key));
        const Channel &c = channel(key);
        const auto joined = [](const QSet<QString> &set) {
            QStringList items = set.values();
            items.sort();
            return items.join(QLatin1Char(','));
        };
        return reply(client, m,
                     QJsonObject{{"acl", joined(c.acl)},
                                 {"moderators", joined(c.moderators)},
                                 {"bans", joined(c.bans)},
                                 {"owner", c.owner}});
    }
    if (op == QLatin1String("buddy")) {
        const qint64 owner = idIn(m.value(QLatin1String("from")).toString(), QStringLiteral("sip:u-"));
        const qint64 other = idIn(m.value(QLatin1String("to")).toString(), QStringLiteral("sip:u-"));
        if (!owner || !other || owner == other)
            return refuse(client, m, QStringLiteral("buddy: not two accounts of this gateway"));
        // The friend rows are the web service's: its changeFriend, which the
        // client sends beside this, writes the row, notifies the other person
        // and tells the owner's client here (friendChanged). Writing the row
        // here first would leave that request with nothing to change.
        return;
    }
    forward(client, m);
}

void VoiceWorld::login(Client *client, const QJsonObject &m)
{
    const QVariantMap token =
        m_store.row(QStringLiteral("SELECT subject_uri, display_name FROM tokens WHERE token = ?"),
                    {DevGatewayStore::keyOf(m.value(QLatin1String("token")).toString())});
    if (token.isEmpty()) {
        logLine(QStringLiteral("refused an unknown voice token"));
        return reply(client, m, QJsonObject{{"status", 20200}});
    }
    const QString uri = token.value("subject_uri").toString().toLower();
    if (m_users.contains(uri))
        return reply(client, m, QJsonObject{{"status", 1074}});
    QStringList buddies;
    if (const qint64 id = idIn(uri, QStringLiteral("sip:u-")))
        for (const QVariantMap &row :
             m_store.rows(QStringLiteral("SELECT friend_id FROM friends WHERE owner_id = ? ORDER BY rowid"), {id}))
            buddies << userUri(row.value("friend_id").toLongLong());
    // Who else is signed in, just before the answer.
    for (auto other = m_users.cbegin(); other != m_users.cend(); ++other)
        send(client, userMessage(other.key()));
    User &u = m_users[uri];
    u.name = token.value("display_name").toString();
    u.client = client;
    client->accounts.insert(uri);
    reply(client, m, QJsonObject{{"uri", uri}, {"name", u.name}, {"buddies", buddies.join(QLatin1Char(','))}});
    for (const QJsonObject &line : m_offline.take(uri))
        send(client, line);
    broadcast(userMessage(uri), client);
}

void VoiceWorld::logout(const QString &uri)
{
    if (!m_users.contains(uri))
        return;
    for (auto it = m_channels.begin(); it != m_channels.end(); ++it)
        leave(it.key(), uri, 0, holder(uri));
    QJsonObject gone = userMessage(uri);
    gone.insert(QStringLiteral("presence"), 0);
    gone.insert(QStringLiteral("message"), QString());
    Client *from = holder(uri);
    m_users.remove(uri);
    broadcast(gone, from);
}

void VoiceWorld::join(Client *client, const QJsonObject &m)
{
    const QString key = m.value(QLatin1String("channel")).toString().toLower();
    const QString uri = m.value(QLatin1String("uri")).toString().toLower();
    if (!isChannel(key))
        return refuse(client, m, QStringLiteral("join: %1 is not a channel").arg(key));
    Channel &c = channel(key);
    const qint64 id = idIn(key, QStringLiteral("sip:confctl-"));
    const QVariantMap record =
        id ? m_store.row(QStringLiteral("SELECT protection, pw_salt, pw_hash FROM channels WHERE id = ?"), {id})
           : QVariantMap();
    if (id && record.isEmpty())
        return reply(client, m, QJsonObject{{"status", 404}, {"text", "Not Found"}});
    const bool privileged = c.owner == uri || c.moderators.contains(uri);
    if (c.bans.contains(uri))
        return reply(client, m, QJsonObject{{"status", 403}, {"text", "Forbidden (494)"}});
    if (record.value("protection").toInt() == 2 && !privileged && !c.acl.contains(uri))
        return reply(client, m, QJsonObject{{"status", 403}, {"text", "Forbidden (494)"}});
    if (record.value("protection").toInt() == 1 && !privileged
        && !DevGatewayStore::checkPassword(m.value(QLatin1String("password")).toString().toUtf8(),
                                           record.value("pw_salt").toByteArray(),
                                           record.value("pw_hash").toByteArray()))
        return reply(client, m, QJsonObject{{"status", 401}, {"text", "Password required"}});
    if (c.owner.isEmpty())
        c.owner = uri; // a channel without a record belongs to its first joiner
    const bool audio = m.value(QLatin1String("audio")).toInt() != 0;
    const QString name = m.value(QLatin1String("name")).toString();
    bool present = false;
    for (const Member &p : qAsConst(c.present))
        present = present || p.uri == uri;
    // Who is already there, before the answer: the roster goes to members only.
    for (const Member &p : qAsConst(c.present))
        if (p.uri != uri)
            send(client, QJsonObject{{"op", "joined"},
                                     {"channel", key},
                                     {"uri", p.uri},
                                     {"name", p.name},
                                     {"audio", p.audio ? 1 : 0},
                                     {"owner", c.owner}});
    if (!present)
        c.present.append(Member{uri, name, audio});
    reply(client, m, QJsonObject{{"owner", c.owner}});
    if (!present)
        toChannel(key,
                  QJsonObject{{"op", "joined"},
                              {"channel", key},
                              {"uri", uri},
                              {"name", name},
                              {"audio", audio ? 1 : 0},
                              {"owner", c.owner}},
                  client);
}

void VoiceWorld::leave(const QString &key, const QString &uri, int reason, Client *except)
{
    auto it = m_channels.find(key);
    if (it == m_channels.end())
        return;
    for (int i = 0; i < it->present.size(); ++i)
        if (it->present.at(i).uri == uri) {
            // The members as they were, so that one who is removed hears of it too.
            const QList<Client *> members = membersOf(key);
            it->present.removeAt(i);
            const QJsonObject left{{"op", "left"}, {"channel", key}, {"uri", uri}, {"reason", reason}};
            for (Client *c : members)
                if (c != except)
                    send(c, left);
            return;
        }
}

void VoiceWorld::admin(Client *client, const QJsonObject &m)
{
    const QString kind = m.value(QLatin1String("kind")).toString();
    const QString key = m.value(QLatin1String("channel")).toString().toLower();
    const QString from = m.value(QLatin1String("from")).toString().toLower();
    const QString who = m.value(QLatin1String("who")).toString().toLower();
    const bool on = m.value(QLatin1String("value")).toInt() != 0;
    static const QStringList kinds = {"kick", "ban", "acl", "moderator", "mute", "mutetext"};
    if (!kinds.contains(kind) || !isChannel(key) || who.isEmpty())
        return refuse(client, m, QStringLiteral("admin: bad kind, channel or user"));
    Channel &c = channel(key);
    if (c.owner != from && !c.moderators.contains(from)) {
        logLine(QStringLiteral("%1 may not %2 in %3").arg(from, kind, key));
        return reply(client, m, QJsonObject{{"status", 403}, {"text", "Forbidden"}});
    }
    reply(client, m, {});
    if (kind == QLatin1String("acl")) {
        on ? void(c.acl.insert(who)) : void(c.acl.remove(who));
    } else if (kind == QLatin1String("moderator")) {
        on ? void(c.moderators.insert(who)) : void(c.moderators.remove(who));
    } else if (kind.startsWith(QLatin1String("mute"))) {
        QSet<QString> &set = kind == QLatin1String("mute") ? c.mutedAudio : c.mutedText;
        on ? void(set.insert(who)) : void(set.remove(who));
        toChannel(key,
                  QJsonObject{{"op", "muted"},
                              {"channel", key},
                              {"uri", who},
                              {"mute", on ? 1 : 0},
                              {"scope", kind == QLatin1String("mute") ? "audio" : "text"}},
                  client);
    } else {
        const bool ban = kind == QLatin1String("ban");
        if (ban && !on) {
            c.bans.remove(who);
            return;
        }
        if (ban)
            c.bans.insert(who);
        leave(key, who, ban ? 3 : 2, client);
    }
}

void VoiceWorld::forward(Client *client, const QJsonObject &m)
{
    const QString op = m.value(QLatin1String("op")).toString();
    if (op == QLatin1String("speak")) {
        const QString key = m.value(QLatin1String("channel")).toString().toLower();
        if (!isPresent(key, m.value(QLatin1String("uri")).toString().toLower()))
            return refuse(client, m, QStringLiteral("speak: not in %1").arg(key));
        return toChannel(key, m, client);
    }
    const QString to = m.value(QLatin1String("to")).toString().toLower();
    if (to.isEmpty() || isChannel(to)) {
        if (op == QLatin1String("call") || op == QLatin1String("appdata") || to.isEmpty())
            return refuse(client, m, QStringLiteral("%1: %2 is not a user").arg(op, to));
        // Only a member may speak in a channel, and only members hear it.
        if (!isPresent(to, m.value(QLatin1String("from")).toString().toLower()))
            return refuse(client, m, QStringLiteral("%1: not in %2").arg(op, to));
        return toChannel(to, m, client);
    }
    if (Client *target = holder(to)) {
        send(target, m);
    } else if (op == QLatin1String("say")) {
        const qint64 id = idIn(to, QStringLiteral("sip:u-"));
        if (!id || !m_store.value(QStringLiteral("SELECT 1 FROM accounts WHERE id = ?"), {id}).isValid())
            return;
        QList<QJsonObject> &waiting = m_offline[to];
        waiting.append(QJsonObject{{"op", "notice"},
                                   {"to", to},
                                   {"from", m.value(QLatin1String("from"))},
                                   {"type", 1},
                                   {"ctype", "text/plain"},
                                   {"content", m.value(QLatin1String("text"))}});
        if (waiting.size() > MaxOfflineLines)
            waiting.removeFirst();
    }
}

void VoiceWorld::notificationPosted(qint64 recipientId, qint64 notificationId)
{
    const QString recipient = userUri(recipientId);
    if (Client *c = holder(recipient))
        send(c, QJsonObject{{"op", "serverdata"},
                            {"to", recipient},
                            {"ctype", "x-ostrel-notification"},
                            {"content", QString::number(notificationId)}});
}

void VoiceWorld::friendChanged(qint64 ownerId, qint64 friendId, bool added)
{
    const QString owner = userUri(ownerId);
    if (Client *c = holder(owner))
        send(c, QJsonObject{{"op", "buddy"}, {"owner", owner}, {"buddy", userUri(friendId)}, {"add", added ? 1 : 0}});
}
