#include "devgateway.h"

#include "voiceworld.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

const QString SameNameReason =
    QStringLiteral("Cannot add root channel with same name as another root channel of the same user");
constexpr qint64 InactiveAfterMs = 30LL * 24 * 60 * 60 * 1000;
constexpr int DefaultPageSize = 20;
constexpr int MaxPageSize = 200;
constexpr int MaxNotificationsPerAnswer = 200;
constexpr int MaxChannelDescription = 2000;
// What one analytics event may store: its first fields, with keys and values cut.
constexpr int MaxEventFields = 32;
constexpr int MaxEventKeyChars = 64;
constexpr int MaxEventValueChars = 128;
// Most fields a form may have: the client's longest has a few dozen.
constexpr int MaxFormFields = 256;
// What one account (or, for the link shortener, one address) may store.
constexpr int MaxContactGroups = 100;
constexpr int MaxContactGroupName = 100;
constexpr int MaxIssueReports = 100;
constexpr int MaxIssueReportBytes = 64 * 1024;
constexpr int MaxPictureBytes = 2 * 1024 * 1024;
constexpr int MaxPicturesPerAccount = 100;
constexpr int MaxShortLinksPerAddress = 1000;
// Longest address the link shortener keeps.
constexpr int MaxShortLinkTargetChars = 8192;

// Columns of a channel row as the records need them.
const QString ChannelSelect = QStringLiteral(
    "SELECT c.*, EXISTS (SELECT 1 FROM channels k WHERE k.parent_id = c.id) AS has_children FROM channels c ");

// The two channel lists are read as bare JSON arrays; the dispatcher's methods
// return objects, so they wrap the array under this key and the answer is
// written unwrapped.
const QString ArrayAnswerKey = QStringLiteral("\x01array");

QJsonObject arrayAnswer(const QJsonArray &list)
{
    return QJsonObject{{ArrayAnswerKey, list}};
}

QByteArray answerText(const QJsonObject &answer)
{
    if (answer.size() == 1 && answer.contains(ArrayAnswerKey))
        return QJsonDocument(answer.value(ArrayAnswerKey).toArray()).toJson(QJsonDocument::Compact);
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

QJsonObject error(const QString &message, const QString &reason)
{
    return QJsonObject{{"status", "ERR"}, {"msg", message}, {"reason", reason}};
}

QJsonObject badRequest(const QString &message)
{
    return error(message, QStringLiteral("bad_request"));
}
QJsonObject notFound(const QString &message)
{
    return error(message, QStringLiteral("not_found"));
}
QJsonObject forbidden(const QString &message)
{
    return error(message, QStringLiteral("forbidden"));
}

QString text(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

QString idText(const QVariant &value)
{
    return value.isNull() || value.toLongLong() == 0 ? QString() : QString::number(value.toLongLong());
}

QString lastOnText(const QVariant &ms)
{
    if (ms.toLongLong() <= 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(ms.toLongLong()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString base64Url(const QString &value)
{
    return QString::fromLatin1(value.toUtf8().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool isEmailAddress(const QString &address)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s,;]+@[^@\\s,;]+\\.[^@\\s,;]+$"));
    return pattern.match(address).hasMatch();
}

// Keys whose values never reach the log: passwords, session ids, tokens and picture data.
bool isSecretKey(const QString &key)
{
    const QString lower = key.toLower();
    return lower.contains(QLatin1String("password")) || lower.contains(QLatin1String("token"))
           || lower == QLatin1String("utok") || lower == QLatin1String("sid") || lower == QLatin1String("rsid")
           || lower.contains(QLatin1String("rawdata"));
}

// Password fields are taken as raw bytes, whatever their encoding.
bool isPasswordKey(const QString &key)
{
    return key.contains(QLatin1String("password"), Qt::CaseInsensitive);
}

// The whole text: QString::fromUtf8(QByteArray) would stop at a NUL byte.
QString utf8Text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

bool isUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QJsonObject withoutCredentials(const QHash<QString, QString> &fields)
{
    QJsonObject object;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (!isSecretKey(it.key()) && it.key() != QLatin1String("email"))
            object.insert(it.key(), it.value());
    }
    return object;
}

void pageBounds(const QString &offsetText, const QString &limitText, int *offset, int *limit)
{
    *offset = qMax(0, offsetText.toInt());
    const int requested = limitText.toInt();
    *limit = requested <= 0 ? DefaultPageSize : qMin(requested, MaxPageSize);
}

QString escapeLike(QString term)
{
    term.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    term.replace(QLatin1Char('%'), QLatin1String("\\%"));
    term.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + term + QLatin1Char('%');
}

QStringList splitList(const QString &joined)
{
    QStringList items;
    for (const QString &item : joined.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = item.trimmed();
        if (!trimmed.isEmpty())
            items.append(trimmed);
    }
    return items;
}

} // namespace

DevGateway::DevGateway(const DevGatewayOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_http(new GatewayHttpServer([this](const GatewayHttpRequest &request) { return handleHttp(request); }, this))
{
    m_methods = {
        {"LoginUser", &DevGateway::loginUser},
        {"CreateAccount", &DevGateway::createAccount},
        {"userUuidExists", &DevGateway::userUuidExists},
        {"CheckForUpdate", &DevGateway::checkForUpdate},
        {"LogEvent", &DevGateway::logEvent},
        {"RequestIssue", &DevGateway::requestIssue},
        {"getUserByUserLiveURI", &DevGateway::getUserByUserLiveUri},
        {"getUserBySocialUID", &DevGateway::getUserBySocialUid},
        {"GetUserInfoPublicByName", &DevGateway::getUserInfoPublicByName},
        {"SetUserCustomInfo", &DevGateway::setUserCustomInfo},
        {"SetUserImage", &DevGateway::setUserImage},
        {"SetUserPrivacy", &DevGateway::setUserPrivacy},
        {"AddChannel", &DevGateway::addChannel},
        {"EditChannel", &DevGateway::editChannel},
        {"DeleteChannel", &DevGateway::deleteChannel},
        {"SetChannelImage", &DevGateway::setChannelImage},
        {"GetChannelInfo", &DevGateway::getChannelInfo},
        {"GetChannelInfoWithOwnerInfo", &DevGateway::getChannelInfo},
        {"GetChannelInfoWithOwnerInfoFromLiveUID", &DevGateway::getChannelInfoFromLiveUid},
        {"GetChannelsInHierarchy", &DevGateway::getChannelsInHierarchy},
        {"GetChannelsMatching", &DevGateway::getChannelsMatching},
        {"GetChannelsOwned", &DevGateway::getChannelsOwned},
        {"getChannelFavoritesList", &DevGateway::getChannelFavoritesList},
        {"changeChannelFavorite", &DevGateway::changeChannelFavorite},
        {"changeChannelModerator", &DevGateway::changeChannelModerator},
        {"AddUserStats", &DevGateway::addUserStats},
        {"inviteUserToChannel", &DevGateway::inviteUserToChannel},
        {"GetThirdPartyChannelForUser", &DevGateway::getThirdPartyChannelForUser},
        {"changeFriend", &DevGateway::changeFriend},
        {"getContactGroups", &DevGateway::getContactGroups},
        {"addContactGroup", &DevGateway::addContactGroup},
        {"deleteContactGroup", &DevGateway::deleteContactGroup},
        {"addContactGroupMember", &DevGateway::changeContactGroupMember},
        {"removeContactGroupMember", &DevGateway::changeContactGroupMember},
        {"InviteUsersViaEmail", &DevGateway::inviteUsersViaEmail},
        {"GetNotificationsSince", &DevGateway::getNotificationsSince},
        {"GetNotifications", &DevGateway::getNotifications},
        {"UpdateNotifications", &DevGateway::updateNotifications},
        {"AcceptInvitation", &DevGateway::acceptInvitation},
        {"RealmVerify", &DevGateway::realmVerify},
        {"RealmLogin", &DevGateway::realmLogin},
        {"RealmContactList", &DevGateway::realmContactList},
        {"RealmChangeContact", &DevGateway::realmChangeContact},
        {"RealmGetChannelAuth", &DevGateway::realmGetChannelAuth},
        {"RealmSendInvite", &DevGateway::realmAcknowledge},
        {"RealmSendMessage", &DevGateway::realmAcknowledge},
    };
    // Who may do what to a channel a call names (checked in dispatch):
    // reading its record, favouriting it or bumping its last visit needs it
    // not to be invitation-only, or the caller to belong to it; adding a
    // channel below it needs it to be open, or the caller to belong to it;
    // making others members of an invitation-only one takes its owner or a
    // moderator; the rest is its owner's.
    const QStringList uid{QStringLiteral("ChannelSocialUID")};
    const QStringList channelUid{QStringLiteral("channelUID")};
    m_channelRules = {
        {"GetChannelInfo", {uid, ChannelNeed::Read}},
        {"GetChannelInfoWithOwnerInfo", {uid, ChannelNeed::Read}},
        {"GetChannelInfoWithOwnerInfoFromLiveUID", {{QStringLiteral("ChannelLiveUID")}, ChannelNeed::Read}},
        {"GetChannelsInHierarchy", {{QStringLiteral("root")}, ChannelNeed::Read}},
        {"AddChannel", {{QStringLiteral("ParentSocialUID")}, ChannelNeed::Change}},
        {"EditChannel", {uid, ChannelNeed::Own}},
        {"DeleteChannel", {uid, ChannelNeed::Own}},
        {"SetChannelImage", {uid, ChannelNeed::Own}},
        {"changeChannelFavorite", {channelUid, ChannelNeed::Read}},
        {"changeChannelModerator", {channelUid, ChannelNeed::Own}},
        {"AddUserStats", {uid, ChannelNeed::Read}},
        {"inviteUserToChannel", {channelUid, ChannelNeed::Invite}},
        {"InviteUsersViaEmail", {{QStringLiteral("channelUID"), QStringLiteral("channelURI")}, ChannelNeed::Invite}},
    };
    m_openMethods = QStringList{"LoginUser",          "CreateAccount",       "userUuidExists",  "CheckForUpdate",
                                "LogEvent",           "RealmVerify",         "RealmLogin",      "RealmContactList",
                                "RealmChangeContact", "RealmGetChannelAuth", "RealmSendInvite", "RealmSendMessage"};
}

DevGateway::~DevGateway()
{
    m_http->stop();
}

bool DevGateway::start(QString *errorText)
{
    DevGatewayStore::setPasswordRounds(m_options.passwordRounds);
    if (!m_store.open(m_options.databasePath, errorText))
        return false;
    if (m_options.seed && !m_store.seed()) {
        *errorText = QStringLiteral("cannot seed the database");
        return false;
    }
    purgeEndedSessions();
    m_http->setReadTimeout(m_options.readTimeoutSeconds);
    m_http->setBodyTimeout(m_options.bodyTimeoutSeconds);
    if (!m_http->listen(m_options.listenAddress, m_options.port, errorText))
        return false;
    if (m_options.voiceWorldPort >= 0) {
        m_world = new VoiceWorld(m_store, m_options.domain, this);
        if (!m_world->listen(quint16(m_options.voiceWorldPort), errorText))
            return false;
    }
    return true;
}

void DevGateway::closeStore()
{
    m_store.close();
}

quint16 DevGateway::port() const
{
    return m_http->port();
}

quint16 DevGateway::voiceWorldPort() const
{
    return m_world ? m_world->port() : 0;
}

QString DevGateway::runtimeSettings(const DevGatewayOptions &options, quint16 port)
{
    QString host = options.listenAddress;
    if (host == QLatin1String("0.0.0.0") || host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    const QString hostPort = QStringLiteral("%1:%2").arg(host).arg(port);
    return QStringLiteral("import QtQml 2.2\n"
                          "QtObject {\n"
                          "    property string domain: \"%1\"\n"
                          "    property string applicationServer: \"http://%2\"\n"
                          "    property string downloadServer: \"http://%2\"\n"
                          "}\n")
        .arg(options.domain, hostPort);
}

QList<QPair<QByteArray, QByteArray>> DevGateway::parseFormBytes(const QByteArray &body)
{
    const auto decode = [](QByteArray text) { return QByteArray::fromPercentEncoding(text.replace('+', ' ')); };
    QList<QPair<QByteArray, QByteArray>> fields;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        fields.append({decode(eq < 0 ? pair : pair.left(eq)), decode(eq < 0 ? QByteArray() : pair.mid(eq + 1))});
    }
    return fields;
}

QList<QPair<QString, QString>> DevGateway::parseForm(const QByteArray &body)
{
    QList<QPair<QString, QString>> fields;
    for (const auto &field : parseFormBytes(body))
        fields.append({utf8Text(field.first), utf8Text(field.second)});
    return fields;
}

GatewayHttpResponse DevGateway::handleHttp(const GatewayHttpRequest &request)
{
    if (request.path == QLatin1String("gateway.php")) {
        GatewayHttpResponse response;
        if (request.verb != "POST") {
            response.status = 405;
            response.body = QJsonDocument(badRequest(QStringLiteral("Use POST"))).toJson(QJsonDocument::Compact);
            return response;
        }
        // Counted before anything is decoded, so that a body of many fields is turned away at once.
        if (request.body.count('&') >= MaxFormFields) {
            response.status = 400;
            response.body =
                answerText(badRequest(QStringLiteral("A form may have at most %1 fields.").arg(MaxFormFields)));
            return response;
        }
        Call call;
        call.host = request.host.isEmpty() ? QStringLiteral("127.0.0.1:%1").arg(port()) : request.host;
        call.address = request.remoteAddress;
        for (const auto &field : parseFormBytes(request.body)) {
            const QString key = utf8Text(field.first);
            // Passwords are hashed over their bytes; every other field is text.
            if (!isUtf8(field.first) || (!isPasswordKey(key) && !isUtf8(field.second))) {
                response.status = 400;
                response.body = answerText(badRequest(QStringLiteral("Form fields must be UTF-8 text.")));
                return response;
            }
            call.fields.insert(key, utf8Text(field.second));
            call.raw.insert(key, field.second);
        }
        call.method = call.field(QStringLiteral("method"));
        QJsonObject answer = dispatch(call);
        if (!answer.contains(ArrayAnswerKey))
            addAnalyticsFlag(answer);
        logCall(call, answer);
        response.body = answerText(answer);
        return response;
    }
    if (request.path == QLatin1String("shorturl_ajax.php") && request.verb == "POST")
        return shortenLink(request);
    if (request.path.startsWith(QLatin1String("s/")) && request.verb == "GET")
        return followShortLink(request.path.mid(2));
    if (request.path.startsWith(QLatin1String("img/")) && request.verb == "GET")
        return servePicture(request.path);
    if ((request.path == QLatin1String("clink") || request.path == QLatin1String("clink/")) && request.verb == "GET")
        return channelLinkPage(request.query.value(QStringLiteral("p")));
    if ((request.path == QLatin1String("forgot-password") || request.path == QLatin1String("forgot-password/"))
        && request.verb == "GET")
        return page(QStringLiteral("Forgotten password"),
                    QStringLiteral("<p>The development gateway sends no e-mail. The seeded accounts sign in with the"
                                   " password <code>tavri-dev</code>; any other account can be signed up again"
                                   " with another e-mail address.</p>"));
    GatewayHttpResponse missing;
    missing.status = 404;
    missing.contentType = "text/plain";
    missing.body = "Not found\n";
    return missing;
}

QJsonObject DevGateway::dispatch(Call &call)
{
    const Method method = m_methods.value(call.method, nullptr);
    if (!method)
        return error(QStringLiteral("Unknown method"), QStringLiteral("unknown_method"));
    if (!m_openMethods.contains(call.method)) {
        const QJsonObject refusal = authenticate(call);
        if (!refusal.isEmpty())
            return refusal;
    }
    const QJsonObject refused = checkChannelAccess(call);
    if (!refused.isEmpty())
        return refused;
    return (this->*method)(call);
}

QHash<QString, QStringList> DevGateway::channelMethods() const
{
    QHash<QString, QStringList> methods;
    for (auto it = m_channelRules.cbegin(); it != m_channelRules.cend(); ++it)
        methods.insert(it.key(), it->fields);
    return methods;
}

QJsonObject DevGateway::checkChannelAccess(const Call &call) const
{
    auto rule = m_channelRules.constFind(call.method);
    if (rule == m_channelRules.cend())
        return QJsonObject();
    QString named;
    for (const QString &field : rule->fields)
        if (named.trimmed().isEmpty())
            named = call.field(field);
    // Taking a channel off one's favourites is always one's own business.
    if (named.trimmed().isEmpty()
        || (call.method == QLatin1String("changeChannelFavorite") && call.field(QStringLiteral("isFav")) != "1"))
        return QJsonObject();
    const qint64 id = resolveChannel(named);
    if (!id)
        return QJsonObject(); // each method answers an unknown channel its own way
    if (mayUseChannel(call.me, channel(id), rule->need))
        return QJsonObject();
    // A record the caller may not read is answered as one that does not exist.
    if (rule->need == ChannelNeed::Read) {
        if (call.method == QLatin1String("GetChannelsInHierarchy"))
            return arrayAnswer(QJsonArray());
        if (call.method.startsWith(QLatin1String("GetChannelInfo")))
            return QJsonObject{{"ChannelLiveURI", QJsonValue::Null}};
    }
    return forbidden(QStringLiteral("You may not do this in that channel."));
}

QJsonObject DevGateway::authenticate(Call &call)
{
    const qint64 at = now();
    const QString sid = call.field(QStringLiteral("sid"));
    if (!sid.isEmpty()) {
        const QVariantMap session = m_store.row(
            QStringLiteral("SELECT account_id, last_seen FROM sessions WHERE sid = ?"), {DevGatewayStore::keyOf(sid)});
        const bool expired =
            !session.isEmpty() && m_options.sessionTtlSeconds > 0
            && at - session.value("last_seen").toLongLong() > qint64(m_options.sessionTtlSeconds) * 1000;
        if (session.isEmpty() || expired) {
            if (expired)
                m_store.exec(QStringLiteral("DELETE FROM sessions WHERE sid = ?"), {DevGatewayStore::keyOf(sid)});
            // An empty sid tells the client that its session is over, so that it signs in again.
            return QJsonObject{{"sid", ""}, {"msg", "Session expired"}};
        }
        m_store.exec(QStringLiteral("UPDATE sessions SET last_seen = ? WHERE sid = ?"),
                     {at, DevGatewayStore::keyOf(sid)});
        call.me = session.value("account_id").toLongLong();
    } else if (call.has(QStringLiteral("email"))) {
        QString refusal;
        call.me = checkSignIn(call, &refusal);
        if (!call.me)
            return error(refusal, QStringLiteral("not_signed_in"));
    } else {
        return error(QStringLiteral("Not signed in."), QStringLiteral("not_signed_in"));
    }
    m_store.exec(QStringLiteral("UPDATE accounts SET last_on = ? WHERE id = ?"), {at, call.me});
    return QJsonObject();
}

void DevGateway::logCall(const Call &call, const QJsonObject &answer) const
{
    if (!m_options.logCalls)
        return;
    QStringList parts;
    QStringList keys = call.fields.keys();
    keys.sort();
    for (const QString &key : qAsConst(keys)) {
        if (key == QLatin1String("method") || key == QLatin1String("client_version") || key == QLatin1String("os")
            || key == QLatin1String("osver"))
            continue;
        QString value = isSecretKey(key) ? QStringLiteral("***") : call.fields.value(key);
        if (value.size() > 80)
            value = value.left(77) + QStringLiteral("...");
        parts << key.left(40) + QLatin1Char('=') + value;
        if (parts.size() >= 24) {
            parts << QStringLiteral("...");
            break;
        }
    }
    QString outcome = QStringLiteral("ok");
    if (answer.value("status").toString() == QLatin1String("ERR"))
        outcome = QStringLiteral("ERR ") + answer.value("reason").toString();
    else if (answer.contains("sid") && answer.value("sid").toString().isEmpty())
        outcome = QStringLiteral("session expired");
    const QString line =
        QStringLiteral("%1 %2 me=%3 %4 -> %5\n")
            .arg(QDateTime::currentDateTime().toString(Qt::ISODate), call.method,
                 call.me ? QString::number(call.me) : QStringLiteral("-"), parts.join(QLatin1Char(' ')), outcome);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void DevGateway::addAnalyticsFlag(QJsonObject &answer) const
{
    if (!m_options.analytics)
        answer.insert(QStringLiteral("logging"), false);
}

void DevGateway::addUpdateOffer(QJsonObject &answer) const
{
    if (m_options.offerVersion.isEmpty())
        return;
    answer.insert(QStringLiteral("update_msg"), QStringLiteral("Version %1 is available.").arg(m_options.offerVersion));
    answer.insert(QStringLiteral("updateVersion"), m_options.offerVersion);
    answer.insert(QStringLiteral("updateLink"), m_options.offerLink);
}

// ---- records and ids ----

QString DevGateway::userUri(qint64 id) const
{
    return QStringLiteral("sip:u-%1@%2").arg(id).arg(m_options.domain.toLower());
}

QString DevGateway::channelUri(qint64 id) const
{
    return QStringLiteral("sip:confctl-%1@%2").arg(id).arg(m_options.domain.toLower());
}

QVariantMap DevGateway::account(qint64 id) const
{
    return m_store.row(QStringLiteral("SELECT * FROM accounts WHERE id = ?"), {id});
}

QVariantMap DevGateway::channel(qint64 id) const
{
    return m_store.row(ChannelSelect + QStringLiteral("WHERE c.id = ?"), {id});
}

QJsonObject DevGateway::userRecord(const QVariantMap &account, bool withEmail) const
{
    const qint64 id = account.value("id").toLongLong();
    return QJsonObject{
        {"UserLiveURI", userUri(id)},
        {"UserEmail", withEmail ? text(account.value("email")) : QString()},
        {"UserSocialUID", QString::number(id)},
        {"UserDisplayName", text(account.value("display_name"))},
        {"user_uname", text(account.value("uname"))},
        {"UserPictureUrl", text(account.value("picture_url"))},
        {"UserLocation", text(account.value("location"))},
        {"UserStatusText", text(account.value("status_text"))},
        {"UserDescription", text(account.value("description"))},
        {"LastOn", lastOnText(account.value("last_on"))},
        {"home_channel_uri", QString()},
    };
}

QJsonObject DevGateway::channelRecord(const QVariantMap &channel) const
{
    const qint64 id = channel.value("id").toLongLong();
    QStringList hierarchy{QString::number(id)};
    QVariant parent = channel.value("parent_id");
    // Parents always exist before their children, so the walk ends at a root;
    // the bound only guards against a hand-edited database.
    for (int depth = 0; !parent.isNull() && depth < 64; ++depth) {
        hierarchy.prepend(QString::number(parent.toLongLong()));
        parent = m_store.value(QStringLiteral("SELECT parent_id FROM channels WHERE id = ?"), {parent});
    }
    return QJsonObject{
        {"ChannelLiveURI", channelUri(id)},
        {"ChannelSocialUID", QString::number(id)},
        {"ChannelDisplayName", text(channel.value("name"))},
        {"ChannelPictureUrl", text(channel.value("picture_url"))},
        {"ChannelMessageOfTheDay", text(channel.value("motd"))},
        {"ChannelDescription", text(channel.value("description"))},
        {"ChannelIsPasswordProtected", QString::number(channel.value("protection").toInt())},
        {"ChannelCallInNumber", text(channel.value("call_in_code"))},
        {"ChannelOwnerSocialUID", idText(channel.value("owner_id"))},
        {"ChannelHierarchy", hierarchy.join(QLatin1Char('.'))},
        {"ChannelHasHierarchy", channel.value("has_children").toInt() ? QStringLiteral("1") : QStringLiteral("0")},
        {"LastOn", lastOnText(channel.value("last_on"))},
    };
}

QJsonObject DevGateway::notificationRecord(const QVariantMap &n) const
{
    return QJsonObject{
        {"NotificationUID", QString::number(n.value("id").toLongLong())},
        {"FromUserSocialUID", idText(n.value("other_id"))},
        {"UserDisplayName", text(n.value("other_name"))},
        {"UserEmail", text(n.value("other_email"))},
        {"ChannelSocialUID", idText(n.value("channel_id"))},
        {"ChannelDisplayName", text(n.value("channel_name"))},
        {"Type", QString::number(n.value("type").toInt())},
        {"State", QString::number(n.value("state").toInt())},
        {"SentAtMSecsFromEpoch", QString::number(n.value("sent_at_ms").toLongLong())},
        {"CustomMessage", text(n.value("custom_message"))},
        {"CustomAction", text(n.value("custom_action"))},
    };
}

qint64 DevGateway::resolveUser(const QString &idOrUri) const
{
    QString key = idOrUri.trimmed().toLower();
    if (key.startsWith(QLatin1String("sip:u-"))) {
        const int at = key.indexOf(QLatin1Char('@'));
        if (at < 0 || key.mid(at + 1) != m_options.domain.toLower())
            return 0;
        key = key.mid(6, at - 6);
    }
    bool ok = false;
    const qint64 id = key.toLongLong(&ok);
    if (!ok || id <= 0)
        return 0;
    return m_store.value(QStringLiteral("SELECT id FROM accounts WHERE id = ?"), {id}).toLongLong();
}

qint64 DevGateway::resolveChannel(const QString &idOrUri) const
{
    QString key = idOrUri.trimmed().toLower();
    if (key.startsWith(QLatin1String("sip:confctl-"))) {
        const int at = key.indexOf(QLatin1Char('@'));
        if (at < 0 || key.mid(at + 1) != m_options.domain.toLower())
            return 0;
        key = key.mid(12, at - 12);
    }
    bool ok = false;
    const qint64 id = key.toLongLong(&ok);
    if (!ok || id <= 0)
        return 0;
    return m_store.value(QStringLiteral("SELECT id FROM channels WHERE id = ?"), {id}).toLongLong();
}

qint64 DevGateway::notify(qint64 recipient, int type, qint64 otherId, const QString &otherEmail, qint64 channelId,
                          const QString &customMessage)
{
    const QVariantMap other = otherId ? account(otherId) : QVariantMap();
    const QVariantMap ch = channelId ? channel(channelId) : QVariantMap();
    qint64 id = 0;
    m_store.exec(
        QStringLiteral("INSERT INTO notifications (recipient_id, type, state, other_id, other_name, other_email,"
                       " channel_id, channel_name, custom_message, sent_at_ms) VALUES (?, ?, 1, ?, ?, ?, ?, ?, ?, ?)"),
        {recipient, type, otherId ? QVariant(otherId) : QVariant(QVariant::LongLong), text(other.value("display_name")),
         otherEmail, channelId ? QVariant(channelId) : QVariant(QVariant::LongLong), text(ch.value("name")),
         customMessage, now()},
        &id);
    if (id && m_world)
        m_world->notificationPosted(recipient, id);
    return id;
}

DevGateway::ChannelRole DevGateway::channelRole(qint64 who, const QVariantMap &ch) const
{
    if (ch.value("owner_id").toLongLong() == who)
        return ChannelRole::Owner;
    const qint64 id = ch.value("id").toLongLong();
    if (m_store
            .value(QStringLiteral("SELECT 1 FROM channel_moderators WHERE account_id = ? AND channel_id = ?"),
                   {who, id})
            .isValid())
        return ChannelRole::Moderator;
    if (m_store
            .value(QStringLiteral("SELECT 1 FROM channel_members WHERE account_id = ? AND channel_id = ?"), {who, id})
            .isValid())
        return ChannelRole::Member;
    return ChannelRole::Outsider;
}

bool DevGateway::mayUseChannel(qint64 who, const QVariantMap &ch, ChannelNeed need) const
{
    const int protection = ch.value("protection").toInt();
    switch (need) {
    case ChannelNeed::Read:
        // A password-protected channel shows its record, so that a person
        // who has the password can find it and is asked for it.
        return protection != 2 || channelRole(who, ch) != ChannelRole::Outsider;
    case ChannelNeed::Change:
        return protection == 0 || channelRole(who, ch) != ChannelRole::Outsider;
    case ChannelNeed::Invite:
        return protection != 2 || channelRole(who, ch) >= ChannelRole::Moderator;
    case ChannelNeed::Own:
        return channelRole(who, ch) == ChannelRole::Owner;
    }
    return false;
}

bool DevGateway::canSeeChannel(qint64 who, const QVariantMap &ch) const
{
    return mayUseChannel(who, ch, ChannelNeed::Read);
}

bool DevGateway::rootNameTaken(qint64 owner, const QString &name, qint64 exceptId) const
{
    return m_store
        .value(QStringLiteral("SELECT 1 FROM channels WHERE owner_id = ? AND parent_id IS NULL"
                              " AND name = ? COLLATE NOCASE AND id != ?"),
               {owner, name, exceptId})
        .isValid();
}

QString DevGateway::storeImage(const Call &call, const QString &kind, const QString &fileNameKey,
                               const QString &dataKey, const QString &replacing, QString *refusal)
{
    const QByteArray data = QByteArray::fromBase64(call.field(dataKey).toLatin1());
    if (data.size() > MaxPictureBytes) {
        *refusal = QStringLiteral("The picture is larger than %1 MB.").arg(MaxPictureBytes / (1024 * 1024));
        return QString();
    }
    // The picture it replaces goes once the new one is stored, so that
    // changing a picture stores nothing more.
    static const QRegularExpression own(QStringLiteral("/img/[uc]/(\\d+)\\.\\w+$"));
    const QRegularExpressionMatch match = own.match(replacing);
    const qint64 replaced = match.hasMatch() ? match.captured(1).toLongLong() : 0;
    if (m_store.value(QStringLiteral("SELECT COUNT(*) FROM images WHERE owner_id = ? AND id != ?"), {call.me, replaced})
            .toInt()
        >= MaxPicturesPerAccount) {
        *refusal = QStringLiteral("You have stored too many pictures.");
        return QString();
    }
    *refusal = QStringLiteral("The picture is not a PNG, JPEG, GIF or BMP image.");
    struct Format {
        QByteArray magic;
        const char *mime;
        const char *extension;
    };
    static const Format formats[] = {
        {QByteArray("\x89PNG\r\n\x1a\n", 8), "image/png", "png"},
        {QByteArray("\xff\xd8\xff", 3), "image/jpeg", "jpg"},
        {QByteArray("GIF87a"), "image/gif", "gif"},
        {QByteArray("GIF89a"), "image/gif", "gif"},
        {QByteArray("BM"), "image/bmp", "bmp"},
    };
    for (const Format &format : formats) {
        if (!data.startsWith(format.magic))
            continue;
        qint64 id = 0;
        if (m_store.exec(
                QStringLiteral("INSERT INTO images (kind, file_name, mime, data, owner_id) VALUES (?, ?, ?, ?, ?)"),
                {kind, call.field(fileNameKey).left(255), QString::fromLatin1(format.mime), data, call.me}, &id)
            < 0)
            return QString();
        m_store.exec(QStringLiteral("DELETE FROM images WHERE id = ? AND owner_id = ?"), {replaced, call.me});
        return QStringLiteral("http://%1/img/%2/%3.%4")
            .arg(call.host, kind)
            .arg(id)
            .arg(QLatin1String(format.extension));
    }
    return QString();
}

// ---- account, session, analytics ----

qint64 DevGateway::checkSignIn(const Call &call, QString *refusal)
{
    const qint64 at = now();
    const qint64 lockMs = qint64(m_options.signInLockSeconds) * 1000;
    const QString email = call.field(QStringLiteral("email")).trimmed().toLower();
    const QList<QPair<QString, int>> keys = {
        {QStringLiteral("account:") + email, m_options.signInFailuresPerAccount},
        {QStringLiteral("address:") + call.address, m_options.signInFailuresPerAddress}};
    // Counts are forgotten a while after the last failure; the table stays small.
    const qint64 forgetMs = qMax<qint64>(lockMs * 15, 15 * 60 * 1000);
    if (m_signInFailures.size() > 10000)
        for (auto it = m_signInFailures.begin(); it != m_signInFailures.end();)
            it = at - it->lastMs > forgetMs ? m_signInFailures.erase(it) : std::next(it);
    for (const auto &key : keys) {
        auto it = m_signInFailures.find(key.first);
        if (it == m_signInFailures.end())
            continue;
        if (at - it->lastMs > forgetMs) {
            m_signInFailures.erase(it);
            continue;
        }
        const qint64 wait = it->lastMs + lockMs - at;
        if (key.second > 0 && it->count >= key.second && wait > 0) {
            *refusal =
                QStringLiteral("Too many failed sign-ins. Please try again in %1 seconds.").arg((wait + 999) / 1000);
            return 0;
        }
    }
    const QVariantMap found = m_store.row(QStringLiteral("SELECT id, pw_salt, pw_hash FROM accounts WHERE email = ?"),
                                          {call.field(QStringLiteral("email"))});
    QByteArray matched;
    // An unknown address takes as long as a wrong password: the check runs on nothing.
    if (!DevGatewayStore::checkAccountPassword(call.rawField(QStringLiteral("password")),
                                               found.value("pw_salt").toByteArray(),
                                               found.value("pw_hash").toByteArray(), &matched)
        || found.isEmpty()) {
        for (const auto &key : keys) {
            Failures &f = m_signInFailures[key.first];
            ++f.count;
            f.lastMs = at;
        }
        *refusal = QStringLiteral("Invalid e-mail address or password.");
        return 0;
    }
    m_signInFailures.remove(keys.first().first);
    const qint64 id = found.value("id").toLongLong();
    if (DevGatewayStore::needsRehash(found.value("pw_hash").toByteArray())) {
        const QByteArray salt = DevGatewayStore::newSalt();
        m_store.exec(QStringLiteral("UPDATE accounts SET pw_salt = ?, pw_hash = ? WHERE id = ?"),
                     {salt, DevGatewayStore::hashPassword(matched, salt), id});
    }
    return id;
}

QJsonObject DevGateway::loginUser(Call &call)
{
    QString refusal;
    const qint64 id = checkSignIn(call, &refusal);
    if (!id) {
        // No status, sid or token: the client reports this as a failed sign-in.
        return QJsonObject{{"msg", refusal}, {"reason", "bad_credentials"}};
    }
    call.me = id;
    const qint64 at = now();
    const QString sid = DevGatewayStore::randomHex(16);
    const QString displayName = text(account(id).value("display_name"));
    const QString token = QStringLiteral("dv1.") + base64Url(userUri(id)) + QLatin1Char('.') + base64Url(displayName)
                          + QLatin1Char('.') + DevGatewayStore::randomHex(8);
    purgeEndedSessions();
    m_store.exec(QStringLiteral("INSERT INTO sessions (sid, account_id, last_seen) VALUES (?, ?, ?)"),
                 {DevGatewayStore::keyOf(sid), id, at});
    m_store.exec(
        QStringLiteral("INSERT INTO tokens (token, kind, subject_uri, display_name, sid) VALUES (?, 'user', ?, ?, ?)"),
        {DevGatewayStore::keyOf(token), userUri(id), displayName, DevGatewayStore::keyOf(sid)});
    m_store.exec(QStringLiteral("UPDATE accounts SET last_guid = ?, last_on = ? WHERE id = ?"),
                 {call.field(QStringLiteral("guid")), at, id});

    QJsonObject answer = userRecord(account(id), true);
    answer.insert(QStringLiteral("sid"), sid);
    answer.insert(QStringLiteral("auth_token"), token);
    QJsonArray overrides;
    for (const auto &setting : qAsConst(m_options.settingsOverrides)) {
        QJsonValue value = setting.second;
        bool isInt = false;
        const int number = setting.second.toInt(&isInt);
        if (setting.second == QLatin1String("true") || setting.second == QLatin1String("false"))
            value = setting.second == QLatin1String("true");
        else if (isInt)
            value = number;
        overrides.append(QJsonObject{{"settings_key", setting.first}, {"value", value}, {"reset", false}});
    }
    answer.insert(QStringLiteral("settings_overrides"), overrides);
    addUpdateOffer(answer);
    return answer;
}

void DevGateway::purgeEndedSessions()
{
    if (m_options.sessionTtlSeconds > 0)
        m_store.exec(QStringLiteral("DELETE FROM sessions WHERE last_seen < ?"),
                     {now() - qint64(m_options.sessionTtlSeconds) * 1000});
    m_store.exec(QStringLiteral("DELETE FROM tokens WHERE kind = 'user'"
                                " AND (sid IS NULL OR sid NOT IN (SELECT sid FROM sessions))"));
}

QJsonObject DevGateway::createAccount(Call &call)
{
    const QString email = call.field(QStringLiteral("email")).trimmed();
    const QString password = call.field(QStringLiteral("password"));
    QString name = call.field(QStringLiteral("uuid")).trimmed();
    if (name.isEmpty())
        name = call.field(QStringLiteral("displayname")).trimmed();
    auto fail = [](const QString &message) { return QJsonObject{{"status", "FAIL"}, {"msg", message}}; };
    if (!isEmailAddress(email))
        return fail(QStringLiteral("Please enter a valid e-mail address."));
    if (password.size() < 6)
        return fail(QStringLiteral("The password must have at least 6 characters."));
    if (name.isEmpty())
        return fail(QStringLiteral("Please choose a screen name."));
    if (m_store.value(QStringLiteral("SELECT 1 FROM accounts WHERE email = ?"), {email}).isValid())
        // The client knows these two answers by their text (it offers the
        // forgotten-password link, or asks for another name).
        return fail(QStringLiteral("An account already exists for this email address"));
    if (m_store.value(QStringLiteral("SELECT 1 FROM accounts WHERE uname = ?"), {name}).isValid())
        return fail(QStringLiteral("That screen name is already taken, please choose another"));
    const QByteArray salt = DevGatewayStore::newSalt();
    if (m_store.exec(QStringLiteral("INSERT INTO accounts (email, uname, display_name, pw_salt, pw_hash, last_on)"
                                    " VALUES (?, ?, ?, ?, ?, ?)"),
                     {email, name, name, salt,
                      DevGatewayStore::hashAccountPassword(call.rawField(QStringLiteral("password")), salt), now()})
        != 1)
        return fail(QStringLiteral("The account could not be created."));
    return QJsonObject{{"status", "OK"}};
}

QJsonObject DevGateway::userUuidExists(Call &call)
{
    const QString name = call.field(QStringLiteral("uuid")).trimmed();
    return QJsonObject{
        {"result", m_store.value(QStringLiteral("SELECT 1 FROM accounts WHERE uname = ?"), {name}).isValid()}};
}

QJsonObject DevGateway::checkForUpdate(Call &)
{
    if (m_options.offerVersion.isEmpty())
        return QJsonObject();
    return QJsonObject{{"version_string", m_options.offerVersion},
                       {"0", QJsonObject{{"Win", QJsonObject{{"download_url", m_options.offerLink}}}}}};
}

QJsonObject DevGateway::logEvent(Call &call)
{
    if (!m_options.analytics)
        return QJsonObject();
    // Anyone may send events: each is cut to a bounded size, and only the
    // newest maxStoredEvents are kept.
    QJsonObject stored;
    for (auto it = call.fields.cbegin(); it != call.fields.cend() && stored.size() < MaxEventFields; ++it)
        if (!isSecretKey(it.key()) && it.key() != QLatin1String("email"))
            stored.insert(it.key().left(MaxEventKeyChars), it.value().left(MaxEventValueChars));
    qint64 id = 0;
    m_store.exec(QStringLiteral("INSERT INTO events (received_ms, fields) VALUES (?, ?)"),
                 {now(), QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact))}, &id);
    if (m_options.maxStoredEvents > 0)
        m_store.exec(QStringLiteral("DELETE FROM events WHERE id <= ?"), {id - m_options.maxStoredEvents});
    return QJsonObject();
}

QJsonObject DevGateway::requestIssue(Call &call)
{
    const QByteArray report = QJsonDocument(withoutCredentials(call.fields)).toJson(QJsonDocument::Compact);
    if (report.size() > MaxIssueReportBytes)
        return badRequest(QStringLiteral("The report is longer than %1 KB.").arg(MaxIssueReportBytes / 1024));
    if (m_store.value(QStringLiteral("SELECT COUNT(*) FROM issues WHERE account_id = ?"), {call.me}).toInt()
        >= MaxIssueReports)
        return badRequest(QStringLiteral("You have sent too many reports."));
    m_store.exec(QStringLiteral("INSERT INTO issues (account_id, received_ms, fields) VALUES (?, ?, ?)"),
                 {call.me, now(), QString::fromUtf8(report)});
    return QJsonObject{{"result", "1"}};
}

// ---- users ----

QJsonObject DevGateway::getUserByUserLiveUri(Call &call)
{
    const qint64 id = resolveUser(call.field(QStringLiteral("UserLiveURI")));
    if (!id)
        return QJsonObject{{"UserLiveURI", QJsonValue::Null}};
    return userRecord(account(id), id == call.me);
}

QJsonObject DevGateway::getUserBySocialUid(Call &call)
{
    const qint64 id = resolveUser(call.field(QStringLiteral("uid")));
    if (!id)
        return QJsonObject{{"UserLiveURI", QJsonValue::Null}};
    return userRecord(account(id), id == call.me);
}

QJsonObject DevGateway::getUserInfoPublicByName(Call &call)
{
    const QString term = call.field(QStringLiteral("name")).trimmed();
    const bool showInactive = call.field(QStringLiteral("showInactive")).toInt() != 0;
    int offset = 0, limit = 0;
    pageBounds(call.field(QStringLiteral("offset")), call.field(QStringLiteral("limit")), &offset, &limit);
    const QList<QVariantMap> found = m_store.rows(
        QStringLiteral(
            "SELECT * FROM accounts WHERE id != ? AND (display_name LIKE ? ESCAPE '\\' OR uname LIKE ? ESCAPE '\\'"
            " OR email = ?) AND (? OR last_on >= ?) ORDER BY display_name COLLATE NOCASE, id LIMIT ? OFFSET ?"),
        {call.me, escapeLike(term), escapeLike(term), term, showInactive ? 1 : 0, now() - InactiveAfterMs, limit + 1,
         offset});
    QJsonArray results;
    for (int i = 0; i < found.size() && i < limit; ++i)
        results.append(userRecord(found.at(i), false));
    return QJsonObject{{"results", results}, {"more", found.size() > limit}};
}

QJsonObject DevGateway::setUserCustomInfo(Call &call)
{
    static const QPair<const char *, const char *> columns[] = {
        {"UserDisplayName", "display_name"}, {"UserStatusText", "status_text"}, {"UserDescription", "description"},
        {"UserLocation", "location"},        {"UserLinkWeb", "link_web"},       {"UserTwitterName", "twitter"},
        {"UserPhoneNumber", "phone"}};
    if (call.has(QStringLiteral("UserDisplayName"))
        && call.field(QStringLiteral("UserDisplayName")).trimmed().isEmpty())
        return QJsonObject{{"ostrel_update_status", "FAIL"}, {"msg", "The display name cannot be empty."}};
    for (const auto &column : columns) {
        const QString key = QString::fromLatin1(column.first);
        if (call.has(key)) {
            m_store.exec(
                QStringLiteral("UPDATE accounts SET %1 = ? WHERE id = ?").arg(QLatin1String(column.second)),
                {key == QLatin1String("UserDisplayName") ? call.field(key).trimmed() : call.field(key), call.me});
        }
    }
    return QJsonObject{{"ostrel_update_status", "OK"}};
}

QJsonObject DevGateway::setUserImage(Call &call)
{
    QString refusal;
    const QString url =
        storeImage(call, QStringLiteral("u"), QStringLiteral("UserPictureFileName"),
                   QStringLiteral("UserPictureRawDataBase64"), text(account(call.me).value("picture_url")), &refusal);
    if (url.isEmpty())
        return badRequest(refusal);
    m_store.exec(QStringLiteral("UPDATE accounts SET picture_url = ? WHERE id = ?"), {url, call.me});
    return QJsonObject{{"result", url}};
}

QJsonObject DevGateway::setUserPrivacy(Call &call)
{
    m_store.exec(QStringLiteral("UPDATE accounts SET public_fields = ? WHERE id = ?"),
                 {call.field(QStringLiteral("UserPublicFields")), call.me});
    return QJsonObject{{"result", "1"}};
}

// ---- channels ----

QJsonObject DevGateway::addChannel(Call &call)
{
    const QString name = call.field(QStringLiteral("ChannelDisplayName")).trimmed();
    if (name.isEmpty())
        return badRequest(QStringLiteral("A channel needs a name."));
    const QString description = call.field(QStringLiteral("ChannelDescription"));
    if (description.size() > MaxChannelDescription)
        return badRequest(QStringLiteral("The description is longer than %1 characters.").arg(MaxChannelDescription));
    const int protection = call.field(QStringLiteral("ChannelProtectionType")).toInt();
    if (protection < 0 || protection > 2)
        return badRequest(QStringLiteral("Unknown protection type."));

    const QString parentText = call.field(QStringLiteral("ParentSocialUID")).trimmed();
    qint64 parentId = 0;
    if (!parentText.isEmpty()) {
        parentId = resolveChannel(parentText);
        if (!parentId)
            return notFound(QStringLiteral("The parent channel does not exist."));
        const QVariantMap parent = channel(parentId);
        if (parent.value("children_locked").toInt() && parent.value("owner_id").toLongLong() != call.me)
            return forbidden(QStringLiteral("Only the owner may add channels here."));
    } else if (rootNameTaken(call.me, name, 0)) {
        return error(SameNameReason, SameNameReason);
    }

    QByteArray salt, hash;
    if (protection == 1) {
        salt = DevGatewayStore::newSalt();
        hash = DevGatewayStore::hashPassword(call.rawField(QStringLiteral("ChannelPassword")), salt);
    }
    qint64 id = 0;
    const int added = m_store.exec(
        QStringLiteral("INSERT INTO channels (owner_id, parent_id, name, description, motd, tags, link_email, link_web,"
                       " twitter_tag, protection, pw_salt, pw_hash, children_locked, last_on)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {call.me, parentId ? QVariant(parentId) : QVariant(QVariant::LongLong), name, description,
         call.field(QStringLiteral("ChannelMessageOfTheDay")), call.field(QStringLiteral("ChannelTags")),
         call.field(QStringLiteral("ChannelLinkEmail")), call.field(QStringLiteral("ChannelLinkWeb")),
         call.field(QStringLiteral("ChannelTwitterTag")), protection,
         salt.isNull() ? QVariant(QVariant::ByteArray) : QVariant(salt),
         hash.isNull() ? QVariant(QVariant::ByteArray) : QVariant(hash),
         call.field(QStringLiteral("ChannelChildrenLocked")).toInt() ? 1 : 0, now()},
        &id);
    if (added != 1)
        return badRequest(QStringLiteral("The channel could not be added."));
    if (call.field(QStringLiteral("ChannelSupportsCallIn")) == QLatin1String("True")) {
        m_store.exec(QStringLiteral("UPDATE channels SET call_in_code = ? WHERE id = ?"),
                     {QStringLiteral("4%1").arg(id, 6, 10, QLatin1Char('0')), id});
    }
    return channelRecord(channel(id));
}

QJsonObject DevGateway::editChannel(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelSocialUID")));
    if (!id)
        return notFound(QStringLiteral("No such channel."));
    const QVariantMap current = channel(id);
    if (current.value("owner_id").toLongLong() != call.me)
        return forbidden(QStringLiteral("Only the owner may edit this channel."));
    const QString name = call.has(QStringLiteral("ChannelDisplayName"))
                             ? call.field(QStringLiteral("ChannelDisplayName")).trimmed()
                             : text(current.value("name"));
    if (name.isEmpty())
        return badRequest(QStringLiteral("A channel needs a name."));
    if (call.field(QStringLiteral("ChannelDescription")).size() > MaxChannelDescription)
        return badRequest(QStringLiteral("The description is longer than %1 characters.").arg(MaxChannelDescription));
    const int protection = call.has(QStringLiteral("ChannelProtectionType"))
                               ? call.field(QStringLiteral("ChannelProtectionType")).toInt()
                               : current.value("protection").toInt();
    if (protection < 0 || protection > 2)
        return badRequest(QStringLiteral("Unknown protection type."));
    if (current.value("parent_id").isNull() && rootNameTaken(call.me, name, id))
        return error(SameNameReason, SameNameReason);

    if (!m_store.transaction())
        return badRequest(QStringLiteral("The channel could not be changed."));
    m_store.exec(QStringLiteral("UPDATE channels SET name = ?, protection = ? WHERE id = ?"), {name, protection, id});
    static const QPair<const char *, const char *> columns[] = {{"ChannelDescription", "description"},
                                                                {"ChannelMessageOfTheDay", "motd"},
                                                                {"ChannelTags", "tags"},
                                                                {"ChannelLinkEmail", "link_email"},
                                                                {"ChannelLinkWeb", "link_web"},
                                                                {"ChannelTwitterTag", "twitter_tag"}};
    for (const auto &column : columns) {
        const QString key = QString::fromLatin1(column.first);
        if (call.has(key))
            m_store.exec(QStringLiteral("UPDATE channels SET %1 = ? WHERE id = ?").arg(QLatin1String(column.second)),
                         {call.field(key), id});
    }
    if (call.has(QStringLiteral("ChannelChildrenLocked")))
        m_store.exec(QStringLiteral("UPDATE channels SET children_locked = ? WHERE id = ?"),
                     {call.field(QStringLiteral("ChannelChildrenLocked")).toInt() ? 1 : 0, id});
    if (call.has(QStringLiteral("ChannelSupportsCallIn"))) {
        const bool callIn = call.field(QStringLiteral("ChannelSupportsCallIn")) == QLatin1String("True");
        m_store.exec(QStringLiteral("UPDATE channels SET call_in_code = ? WHERE id = ?"),
                     {callIn ? QStringLiteral("4%1").arg(id, 6, 10, QLatin1Char('0')) : QString(), id});
    }
    if (protection != 1) {
        m_store.exec(QStringLiteral("UPDATE channels SET pw_salt = NULL, pw_hash = NULL WHERE id = ?"), {id});
    } else if (call.field(QStringLiteral("UpdatePassword")).toInt() == 1) {
        const QByteArray salt = DevGatewayStore::newSalt();
        m_store.exec(QStringLiteral("UPDATE channels SET pw_salt = ?, pw_hash = ? WHERE id = ?"),
                     {salt, DevGatewayStore::hashPassword(call.rawField(QStringLiteral("ChannelPassword")), salt), id});
    }
    if (!m_store.commit()) {
        m_store.rollback();
        return badRequest(QStringLiteral("The channel could not be changed."));
    }
    return channelRecord(channel(id));
}

QJsonObject DevGateway::deleteChannel(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelSocialUID")));
    if (!id)
        return notFound(QStringLiteral("No such channel."));
    const QVariantMap current = channel(id);
    if (current.value("owner_id").toLongLong() != call.me)
        return forbidden(QStringLiteral("Only the owner may delete this channel."));
    if (current.value("has_children").toInt())
        return error(QStringLiteral("Delete the channels inside this one first."), QStringLiteral("has_children"));
    if (m_store.exec(QStringLiteral("DELETE FROM channels WHERE id = ?"), {id}) != 1)
        return badRequest(QStringLiteral("The channel could not be deleted."));
    return QJsonObject{{"ostrel", "Deleted"}, {"removed", QString::number(id)}};
}

QJsonObject DevGateway::setChannelImage(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelSocialUID")));
    if (!id)
        return notFound(QStringLiteral("No such channel."));
    if (channel(id).value("owner_id").toLongLong() != call.me)
        return forbidden(QStringLiteral("Only the owner may change the picture."));
    QString refusal;
    const QString url =
        storeImage(call, QStringLiteral("c"), QStringLiteral("ChannelPictureFileName"),
                   QStringLiteral("ChannelPictureRawDataBase64"), text(channel(id).value("picture_url")), &refusal);
    if (url.isEmpty())
        return badRequest(refusal);
    m_store.exec(QStringLiteral("UPDATE channels SET picture_url = ? WHERE id = ?"), {url, id});
    return QJsonObject{{"result", url}};
}

QJsonObject DevGateway::getChannelInfo(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelSocialUID")));
    if (!id)
        return QJsonObject{{"ChannelLiveURI", QJsonValue::Null}};
    return channelRecord(channel(id));
}

QJsonObject DevGateway::getChannelInfoFromLiveUid(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelLiveUID")));
    if (!id)
        return QJsonObject{{"ChannelLiveURI", QJsonValue::Null}};
    return channelRecord(channel(id));
}

QJsonObject DevGateway::getChannelsInHierarchy(Call &call)
{
    QJsonArray list;
    const qint64 root = resolveChannel(call.field(QStringLiteral("root")));
    if (root) {
        QList<qint64> stack{root};
        while (!stack.isEmpty()) {
            const qint64 id = stack.takeLast();
            const QVariantMap ch = channel(id);
            if (!canSeeChannel(call.me, ch))
                continue; // nor what lies below it
            list.append(channelRecord(ch));
            const QList<QVariantMap> children = m_store.rows(
                QStringLiteral(
                    "SELECT id FROM channels WHERE parent_id = ? ORDER BY name COLLATE NOCASE DESC, id DESC"),
                {id});
            for (const QVariantMap &child : children)
                stack.append(child.value("id").toLongLong());
        }
    }
    return arrayAnswer(list);
}

QJsonObject DevGateway::getChannelsMatching(Call &call)
{
    const QString term = call.field(QStringLiteral("name")).trimmed();
    const QStringList tags = splitList(call.field(QStringLiteral("tags")));
    const bool showInactive = call.field(QStringLiteral("showInactive")).toInt() != 0;
    int offset = 0, limit = 0;
    pageBounds(call.field(QStringLiteral("offset")), call.field(QStringLiteral("limit")), &offset, &limit);
    const QList<QVariantMap> all =
        m_store.rows(ChannelSelect + QStringLiteral("WHERE (? OR c.last_on >= ?) ORDER BY c.name COLLATE NOCASE, c.id"),
                     {showInactive ? 1 : 0, now() - InactiveAfterMs});
    QJsonArray results;
    int matched = 0;
    bool more = false;
    for (const QVariantMap &ch : all) {
        if (!term.isEmpty() && !text(ch.value("name")).contains(term, Qt::CaseInsensitive)
            && !text(ch.value("motd")).contains(term, Qt::CaseInsensitive)
            && !text(ch.value("description")).contains(term, Qt::CaseInsensitive))
            continue;
        const QStringList channelTags = splitList(text(ch.value("tags")));
        const bool hasTags = std::all_of(tags.cbegin(), tags.cend(), [&channelTags](const QString &tag) {
            return channelTags.contains(tag, Qt::CaseInsensitive);
        });
        if (!hasTags || !canSeeChannel(call.me, ch))
            continue;
        if (matched >= offset + limit) {
            more = true;
            break;
        }
        if (matched >= offset)
            results.append(channelRecord(ch));
        ++matched;
    }
    return QJsonObject{{"results", results}, {"more", more}};
}

QJsonObject DevGateway::getChannelsOwned(Call &call)
{
    QJsonArray list;
    for (const QVariantMap &ch : m_store.rows(
             ChannelSelect + QStringLiteral("WHERE c.owner_id = ? ORDER BY c.name COLLATE NOCASE, c.id"), {call.me}))
        list.append(channelRecord(ch));
    return arrayAnswer(list);
}

QJsonObject DevGateway::getChannelFavoritesList(Call &call)
{
    QJsonArray list;
    for (const QVariantMap &ch :
         m_store.rows(ChannelSelect
                          + QStringLiteral("JOIN favorites f ON f.channel_id = c.id"
                                           " WHERE f.account_id = ? ORDER BY c.name COLLATE NOCASE, c.id"),
                      {call.me}))
        if (canSeeChannel(call.me, ch))
            list.append(channelRecord(ch));
    return QJsonObject{{"data", list}};
}

QJsonObject DevGateway::changeChannelFavorite(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("channelUID")));
    if (!id)
        return notFound(QStringLiteral("No such channel."));
    if (call.field(QStringLiteral("isFav")) == QLatin1String("1"))
        m_store.exec(QStringLiteral("INSERT OR IGNORE INTO favorites (account_id, channel_id) VALUES (?, ?)"),
                     {call.me, id});
    else
        m_store.exec(QStringLiteral("DELETE FROM favorites WHERE account_id = ? AND channel_id = ?"), {call.me, id});
    return QJsonObject{{"result", "1"}};
}

QJsonObject DevGateway::changeChannelModerator(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("channelUID")));
    const qint64 member = resolveUser(call.field(QStringLiteral("memberUID")));
    if (!id || !member)
        return notFound(QStringLiteral("No such channel or user."));
    if (channel(id).value("owner_id").toLongLong() != call.me)
        return forbidden(QStringLiteral("Only the owner may change moderators."));
    if (call.field(QStringLiteral("isModerator")) == QLatin1String("1")) {
        if (m_store.exec(
                QStringLiteral("INSERT OR IGNORE INTO channel_moderators (account_id, channel_id) VALUES (?, ?)"),
                {member, id})
            == 1)
            notify(member, 8, call.me, QString(), id, QString());
    } else if (m_store.exec(QStringLiteral("DELETE FROM channel_moderators WHERE account_id = ? AND channel_id = ?"),
                            {member, id})
               == 1) {
        notify(member, 9, call.me, QString(), id, QString());
    }
    return QJsonObject{{"result", "1"}};
}

QJsonObject DevGateway::addUserStats(Call &call)
{
    const qint64 id = resolveChannel(call.field(QStringLiteral("ChannelSocialUID")));
    if (!id)
        return notFound(QStringLiteral("No such channel."));
    m_store.exec(QStringLiteral("UPDATE channels SET last_on = ? WHERE id = ?"), {now(), id});
    return QJsonObject{{"result", "1"}};
}

QJsonObject DevGateway::inviteToChannel(Call &call, qint64 invitee, qint64 channelId, const QString &message)
{
    m_store.exec(QStringLiteral("INSERT OR IGNORE INTO channel_members (account_id, channel_id) VALUES (?, ?)"),
                 {invitee, channelId});
    const qint64 invitation = notify(invitee, 5, call.me, QString(), channelId, message);
    notify(call.me, 4, invitee, QString(), channelId, message);
    return QJsonObject{{"result", "1"}, {"NotificationUID", QString::number(invitation)}};
}

QJsonObject DevGateway::inviteUserToChannel(Call &call)
{
    const qint64 invitee = resolveUser(call.field(QStringLiteral("userUID")));
    const qint64 id = resolveChannel(call.field(QStringLiteral("channelUID")));
    if (!invitee || !id)
        return notFound(QStringLiteral("No such channel or user."));
    if (invitee == call.me)
        return badRequest(QStringLiteral("You cannot invite yourself."));
    if (!canSeeChannel(call.me, channel(id)))
        return forbidden(QStringLiteral("You cannot invite others to this channel."));
    return inviteToChannel(call, invitee, id, call.field(QStringLiteral("customMessage")));
}

QJsonObject DevGateway::getThirdPartyChannelForUser(Call &)
{
    return QJsonObject{{"result", 0}, {"msg", "not supported by the dev gateway"}, {"ChannelLiveURI", ""}};
}

// ---- friends, groups, e-mail invitations ----

QJsonObject DevGateway::changeFriend(Call &call)
{
    const qint64 other = resolveUser(call.field(QStringLiteral("friendUID")));
    if (!other)
        return notFound(QStringLiteral("No such user."));
    if (other == call.me)
        return badRequest(QStringLiteral("You cannot befriend yourself."));
    qint64 notification = 0;
    if (call.field(QStringLiteral("setIsFriend")) == QLatin1String("1")) {
        if (m_store.exec(QStringLiteral("INSERT OR IGNORE INTO friends (owner_id, friend_id) VALUES (?, ?)"),
                         {call.me, other})
            == 1) {
            notification = notify(other, 2, call.me, QString(), 0, QString());
            if (m_world)
                m_world->friendChanged(call.me, other, true);
        }
    } else if (m_store.exec(QStringLiteral("DELETE FROM friends WHERE owner_id = ? AND friend_id = ?"),
                            {call.me, other})
               == 1) {
        notification = notify(other, 3, call.me, QString(), 0, QString());
        if (m_world)
            m_world->friendChanged(call.me, other, false);
    }
    return QJsonObject{{"result", "1"}, {"NotificationUID", notification ? QString::number(notification) : QString()}};
}

QJsonObject DevGateway::getContactGroups(Call &call)
{
    // One pass over the groups and their members, in order.
    QJsonArray groups;
    QJsonObject group;
    QJsonArray members;
    const auto finish = [&] {
        if (group.isEmpty())
            return;
        group.insert(QStringLiteral("members"), members);
        groups.append(group);
        members = QJsonArray();
    };
    for (const QVariantMap &row : m_store.rows(QStringLiteral("SELECT g.id, g.name, m.member_id FROM contact_groups g"
                                                              " LEFT JOIN contact_group_members m ON m.group_id = g.id"
                                                              " WHERE g.owner_id = ? ORDER BY g.id, m.member_id"),
                                               {call.me})) {
        if (group.value(QLatin1String("id")).toString() != idText(row.value("id"))) {
            finish();
            group = QJsonObject{{"id", idText(row.value("id"))}, {"name", text(row.value("name"))}};
        }
        if (!row.value("member_id").isNull()) {
            const qint64 id = row.value("member_id").toLongLong();
            members.append(QJsonObject{{"user_uid", QString::number(id)}, {"user_uri", userUri(id)}});
        }
    }
    finish();
    return QJsonObject{{"data", groups}};
}

QJsonObject DevGateway::addContactGroup(Call &call)
{
    const QString name = call.field(QStringLiteral("name")).trimmed();
    if (name.isEmpty())
        return badRequest(QStringLiteral("A group needs a name."));
    if (name.size() > MaxContactGroupName)
        return badRequest(QStringLiteral("A group name may have at most %1 characters.").arg(MaxContactGroupName));
    if (m_store.value(QStringLiteral("SELECT COUNT(*) FROM contact_groups WHERE owner_id = ?"), {call.me}).toInt()
        >= MaxContactGroups)
        return badRequest(QStringLiteral("You may have at most %1 contact groups.").arg(MaxContactGroups));
    qint64 id = 0;
    if (m_store.exec(QStringLiteral("INSERT INTO contact_groups (owner_id, name) VALUES (?, ?)"), {call.me, name}, &id)
        != 1)
        return badRequest(QStringLiteral("The group could not be added."));
    return QJsonObject{{"groupID", QString::number(id)}, {"groupName", name}};
}

QJsonObject DevGateway::deleteContactGroup(Call &call)
{
    const QString gid = call.field(QStringLiteral("gid")).trimmed();
    if (m_store.exec(QStringLiteral("DELETE FROM contact_groups WHERE id = ? AND owner_id = ?"),
                     {gid.toLongLong(), call.me})
        != 1)
        return notFound(QStringLiteral("No such group."));
    return QJsonObject{{"groupID", QString::number(gid.toLongLong())}};
}

QJsonObject DevGateway::changeContactGroupMember(Call &call)
{
    const qint64 gid = call.field(QStringLiteral("gid")).trimmed().toLongLong();
    if (!m_store.value(QStringLiteral("SELECT 1 FROM contact_groups WHERE id = ? AND owner_id = ?"), {gid, call.me})
             .isValid())
        return notFound(QStringLiteral("No such group."));
    const QString sent = call.field(QStringLiteral("mid"));
    const qint64 member = resolveUser(sent);
    if (!member)
        return notFound(QStringLiteral("No such user."));
    if (call.method == QLatin1String("addContactGroupMember"))
        m_store.exec(QStringLiteral("INSERT OR IGNORE INTO contact_group_members (group_id, member_id) VALUES (?, ?)"),
                     {gid, member});
    else
        m_store.exec(QStringLiteral("DELETE FROM contact_group_members WHERE group_id = ? AND member_id = ?"),
                     {gid, member});
    // The client keys the member by what it sent, a web id or a SIP URI.
    return QJsonObject{{"groupID", QString::number(gid)}, {"memberID", sent}};
}

QJsonObject DevGateway::inviteUsersViaEmail(Call &call)
{
    qint64 channelId = 0;
    QString channelText = call.field(QStringLiteral("channelUID")).trimmed();
    if (channelText.isEmpty())
        channelText = call.field(QStringLiteral("channelURI"));
    if (!channelText.trimmed().isEmpty()) {
        channelId = resolveChannel(channelText);
        if (!channelId)
            return notFound(QStringLiteral("No such channel."));
    }
    const QString message = call.field(QStringLiteral("customMessage"));
    QJsonArray results;
    for (const QString &address : call.field(QStringLiteral("to")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString to = address.trimmed();
        QString status;
        if (!isEmailAddress(to)) {
            status = QStringLiteral("invalid");
        } else if (const qint64 invitee =
                       m_store.value(QStringLiteral("SELECT id FROM accounts WHERE email = ?"), {to}).toLongLong()) {
            if (channelId && invitee != call.me) {
                inviteToChannel(call, invitee, channelId, message);
                status = QStringLiteral("invited");
            } else {
                status = QStringLiteral("registered");
            }
        } else {
            // No mail leaves the machine: the invitation is only recorded.
            m_store.exec(
                QStringLiteral("INSERT INTO email_invites (sender_id, email, channel_id, custom_message, sent_at_ms)"
                               " VALUES (?, ?, ?, ?, ?)"),
                {call.me, to, channelId ? QVariant(channelId) : QVariant(QVariant::LongLong), message, now()});
            notify(call.me, 13, 0, to, channelId, message);
            status = QStringLiteral("sent");
        }
        results.append(QJsonObject{{"t", to}, {"s", status}});
    }
    return QJsonObject{{"results", results}};
}

// ---- notifications ----

QJsonObject DevGateway::getNotificationsSince(Call &call)
{
    QJsonArray list;
    for (const QVariantMap &n : m_store.rows(
             QStringLiteral("SELECT * FROM notifications WHERE recipient_id = ? AND id > ?"
                            " AND state != 3 ORDER BY id LIMIT ?"),
             {call.me, call.field(QStringLiteral("SinceNotificationUID")).toLongLong(), MaxNotificationsPerAnswer}))
        list.append(notificationRecord(n));
    return QJsonObject{{"v", list}};
}

QJsonObject DevGateway::getNotifications(Call &call)
{
    QJsonArray list;
    QSet<qint64> seen;
    for (const QString &idText : splitList(call.field(QStringLiteral("NotificationUIDs")))) {
        const qint64 id = idText.toLongLong();
        if (id <= 0 || seen.contains(id) || seen.size() >= MaxNotificationsPerAnswer)
            continue;
        seen.insert(id);
        const QVariantMap n =
            m_store.row(QStringLiteral("SELECT * FROM notifications WHERE id = ? AND recipient_id = ?"), {id, call.me});
        if (!n.isEmpty())
            list.append(notificationRecord(n));
    }
    return QJsonObject{{"v", list}};
}

QJsonObject DevGateway::updateNotifications(Call &call)
{
    const int state = call.field(QStringLiteral("State")).toInt();
    if (state < 1 || state > 3)
        return badRequest(QStringLiteral("Unknown notification state."));
    int count = 0;
    for (const QString &idText : splitList(call.field(QStringLiteral("NotificationUIDs"))))
        count +=
            qMax(0, m_store.exec(QStringLiteral("UPDATE notifications SET state = ? WHERE id = ? AND recipient_id = ?"),
                                 {state, idText.toLongLong(), call.me}));
    return QJsonObject{{"count", QString::number(count)}};
}

QJsonObject DevGateway::acceptInvitation(Call &call)
{
    const QVariantMap n = m_store.row(QStringLiteral("SELECT * FROM notifications WHERE id = ? AND recipient_id = ?"),
                                      {call.field(QStringLiteral("NotificationUID")).toLongLong(), call.me});
    if (n.isEmpty())
        return notFound(QStringLiteral("No such notification."));
    const int type = n.value("type").toInt();
    const qint64 other = n.value("other_id").toLongLong();
    const qint64 channelId = n.value("channel_id").toLongLong();
    if ((type == 5 || type == 12) && channelId && !channel(channelId).isEmpty()) {
        // Only the first acceptance tells the inviter.
        const int added =
            m_store.exec(QStringLiteral("INSERT OR IGNORE INTO favorites (account_id, channel_id) VALUES (?, ?)"),
                         {call.me, channelId});
        if (added == 1 && other && !account(other).isEmpty())
            notify(other, 6, call.me, QString(), channelId, QString());
    }
    // A friend request writes no friend row here: the client sends this for
    // a request its user deletes as well as for one accepted, and an
    // accepting client befriends the requester itself (changeFriend).
    m_store.exec(QStringLiteral("UPDATE notifications SET state = 2 WHERE id = ?"), {n.value("id")});
    return QJsonObject{{"result", "1"}};
}

// ---- external-application realm ----

QVariantMap DevGateway::realmSession(const Call &call) const
{
    const QString rsid = call.field(QStringLiteral("rsid"));
    if (rsid.isEmpty())
        return QVariantMap();
    return m_store.row(QStringLiteral("SELECT * FROM realm_sessions WHERE rsid = ?"), {rsid});
}

QJsonObject DevGateway::realmVerify(Call &call)
{
    const QVariantMap realm =
        m_store.row(QStringLiteral("SELECT * FROM realms WHERE rid = ?"), {call.field(QStringLiteral("rid"))});
    if (realm.isEmpty() || text(realm.value("token")) != call.field(QStringLiteral("token")))
        return forbidden(QStringLiteral("Unknown realm or token."));
    const QString rsid = DevGatewayStore::randomHex(16);
    m_store.exec(QStringLiteral("INSERT INTO realm_sessions (rsid, rid) VALUES (?, ?)"), {rsid, realm.value("rid")});
    return QJsonObject{{"rsid", rsid},
                       {"realm_display_name", text(realm.value("display_name"))},
                       {"realm_url", text(realm.value("url"))},
                       {"realm_icon_uri", text(realm.value("icon_uri"))},
                       {"realm_description", text(realm.value("description"))}};
}

QJsonObject DevGateway::realmLogin(Call &call)
{
    const QVariantMap session = realmSession(call);
    if (session.isEmpty())
        return error(QStringLiteral("Unknown realm session."), QStringLiteral("not_signed_in"));
    const QString uname = call.field(QStringLiteral("uname")).trimmed();
    // Development only: any non-empty user token is accepted.
    if (uname.isEmpty() || call.field(QStringLiteral("utok")).isEmpty())
        return badRequest(QStringLiteral("A realm login needs a user name and token."));
    const QString rid = text(session.value("rid"));
    QVariantMap user =
        m_store.row(QStringLiteral("SELECT * FROM realm_users WHERE rid = ? AND uname = ?"), {rid, uname});
    if (user.isEmpty()) {
        qint64 id = 0;
        m_store.exec(QStringLiteral("INSERT INTO realm_users (rid, uname) VALUES (?, ?)"), {rid, uname}, &id);
        m_store.exec(QStringLiteral("UPDATE realm_users SET sip_uri = ? WHERE id = ?"), {userUri(id), id});
        user = m_store.row(QStringLiteral("SELECT * FROM realm_users WHERE id = ?"), {id});
    }
    const QString uri = text(user.value("sip_uri"));
    const QString token = QStringLiteral("dv1.") + base64Url(uri) + QLatin1Char('.') + base64Url(uname)
                          + QLatin1Char('.') + DevGatewayStore::randomHex(8);
    m_store.exec(
        QStringLiteral("INSERT INTO tokens (token, kind, subject_uri, display_name) VALUES (?, 'realm', ?, ?)"),
        {DevGatewayStore::keyOf(token), uri, uname});
    m_store.exec(QStringLiteral("UPDATE realm_sessions SET realm_user_id = ? WHERE rsid = ?"),
                 {user.value("id"), session.value("rsid")});
    return QJsonObject{{"rsid", text(session.value("rsid"))},
                       {"realm_user_uname", uname},
                       {"realm_user_icon_uri", ""},
                       {"realm_user_uri", uri},
                       {"auth_token", token}};
}

QJsonObject DevGateway::realmContactList(Call &call)
{
    const QVariantMap session = realmSession(call);
    if (session.isEmpty() || session.value("realm_user_id").isNull())
        return error(QStringLiteral("Not signed in to the realm."), QStringLiteral("not_signed_in"));
    auto list = [this, &session](const char *name) {
        QJsonArray entries;
        for (const QVariantMap &row : m_store.rows(
                 QStringLiteral("SELECT u.uname, u.sip_uri FROM realm_contacts c JOIN realm_users u ON u.id = c.target"
                                " WHERE c.owner = ? AND c.list = ? ORDER BY u.uname COLLATE NOCASE"),
                 {session.value("realm_user_id"), QString::fromLatin1(name)}))
            entries.append(
                QJsonObject{{"username", text(row.value("uname"))}, {"sip_uri", text(row.value("sip_uri"))}});
        return entries;
    };
    return QJsonObject{
        {"rsid", text(session.value("rsid"))}, {"contacts", list("contact")}, {"blocked", list("block")}};
}

QJsonObject DevGateway::realmChangeContact(Call &call)
{
    const QVariantMap session = realmSession(call);
    if (session.isEmpty() || session.value("realm_user_id").isNull())
        return error(QStringLiteral("Not signed in to the realm."), QStringLiteral("not_signed_in"));
    const QString target = call.field(QStringLiteral("t")).trimmed();
    const QString listName = call.field(QStringLiteral("l"));
    const QString action = call.field(QStringLiteral("a"));
    const QString rsid = text(session.value("rsid"));
    if ((listName != QLatin1String("contact") && listName != QLatin1String("block"))
        || (action != QLatin1String("add") && action != QLatin1String("del")))
        return badRequest(QStringLiteral("Unknown list or action."));
    QJsonObject answer{{"rsid", rsid}, {"action", action}, {"target", target}, {"list", listName}};
    const QVariantMap user = m_store.row(
        QStringLiteral("SELECT * FROM realm_users WHERE rid = ? AND (uname = ? OR lower(sip_uri) = lower(?))"),
        {session.value("rid"), target, target});
    if (user.isEmpty()) {
        answer.insert(QStringLiteral("status"), 404);
        return answer;
    }
    const QVariant me = session.value("realm_user_id");
    const QVariant other = user.value("id");
    if (action == QLatin1String("add") && listName == QLatin1String("contact")
        && m_store
               .value(QStringLiteral("SELECT 1 FROM realm_contacts WHERE owner = ? AND target = ? AND list = 'block'"),
                      {me, other})
               .isValid()) {
        answer.insert(QStringLiteral("status"), 403);
        return answer;
    }
    if (action == QLatin1String("add"))
        m_store.exec(QStringLiteral("INSERT OR IGNORE INTO realm_contacts (owner, target, list) VALUES (?, ?, ?)"),
                     {me, other, listName});
    else
        m_store.exec(QStringLiteral("DELETE FROM realm_contacts WHERE owner = ? AND target = ? AND list = ?"),
                     {me, other, listName});
    answer.insert(QStringLiteral("status"), 200);
    answer.insert(QStringLiteral("name"), text(user.value("uname")));
    answer.insert(QStringLiteral("uri"), text(user.value("sip_uri")));
    return answer;
}

QJsonObject DevGateway::realmGetChannelAuth(Call &call)
{
    const QVariantMap session = realmSession(call);
    if (session.isEmpty() || session.value("realm_user_id").isNull())
        return error(QStringLiteral("Not signed in to the realm."), QStringLiteral("not_signed_in"));
    const QString name = call.field(QStringLiteral("n")).trimmed();
    if (name.isEmpty())
        return badRequest(QStringLiteral("A channel needs a name."));
    QVariantMap ch = m_store.row(QStringLiteral("SELECT * FROM realm_channels WHERE rid = ? AND name = ?"),
                                 {session.value("rid"), name});
    if (ch.isEmpty()) {
        qint64 id = 0;
        m_store.exec(QStringLiteral("INSERT INTO realm_channels (rid, name, vat) VALUES (?, ?, ?)"),
                     {session.value("rid"), name, DevGatewayStore::randomHex(16)}, &id);
        m_store.exec(QStringLiteral("UPDATE realm_channels SET sip_uri = ? WHERE id = ?"),
                     {QStringLiteral("sip:confctl-x%1@%2").arg(id).arg(m_options.domain.toLower()), id});
        ch = m_store.row(QStringLiteral("SELECT * FROM realm_channels WHERE id = ?"), {id});
    }
    return QJsonObject{{"rsid", text(session.value("rsid"))},
                       {"status", 200},
                       {"sip_uri", text(ch.value("sip_uri"))},
                       {"vat", text(ch.value("vat"))},
                       {"name", name}};
}

QJsonObject DevGateway::realmAcknowledge(Call &call)
{
    const QVariantMap session = realmSession(call);
    if (session.isEmpty() || session.value("realm_user_id").isNull())
        return error(QStringLiteral("Not signed in to the realm."), QStringLiteral("not_signed_in"));
    // Delivery is the voice service's job; the gateway only confirms.
    return QJsonObject{{"rsid", text(session.value("rsid"))}, {"status", 200}};
}

// ---- links and pictures ----

GatewayHttpResponse DevGateway::shortenLink(const GatewayHttpRequest &request)
{
    QString url;
    for (const auto &field : parseForm(request.body)) {
        if (field.first == QLatin1String("u"))
            url = field.second;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    // A control character would end or split the Location header it goes into.
    const bool plain = url.size() <= MaxShortLinkTargetChars && std::none_of(url.cbegin(), url.cend(), [](QChar c) {
                           return c.unicode() < 0x20 || c.unicode() == 0x7f;
                       });
    QJsonObject answer;
    if (plain && parsed.isValid()
        && (parsed.scheme() == QLatin1String("http") || parsed.scheme() == QLatin1String("https"))) {
        // The same address shortened again gets its code back; each address
        // keeps at most MaxShortLinksPerAddress links.
        QString code = m_store
                           .value(QStringLiteral("SELECT code FROM short_links WHERE creator = ? AND url = ?"),
                                  {request.remoteAddress, url})
                           .toString();
        if (code.isEmpty()
            && m_store.value(QStringLiteral("SELECT COUNT(*) FROM short_links WHERE creator = ?"),
                             {request.remoteAddress})
                       .toInt()
                   < MaxShortLinksPerAddress) {
            code = DevGatewayStore::randomHex(4);
            if (m_store.exec(QStringLiteral("INSERT INTO short_links (code, url, creator) VALUES (?, ?, ?)"),
                             {code, url, request.remoteAddress})
                != 1)
                code.clear();
        }
        if (!code.isEmpty())
            answer.insert(QStringLiteral("output_url"), QStringLiteral("http://%1/s/%2").arg(request.host, code));
    }
    GatewayHttpResponse response;
    response.body = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    return response;
}

GatewayHttpResponse DevGateway::page(const QString &title, const QString &body)
{
    GatewayHttpResponse response;
    response.contentType = "text/html; charset=utf-8";
    response.body = (QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>")
                     + title.toHtmlEscaped() + QStringLiteral("</title></head><body><h1>") + title.toHtmlEscaped()
                     + QStringLiteral("</h1>") + body + QStringLiteral("</body></html>\n"))
                        .toUtf8();
    return response;
}

GatewayHttpResponse DevGateway::channelLinkPage(const QString &channelUri)
{
    // Only a channel of this gateway gets a link; anything else is named
    // as text only.
    const qint64 id = resolveChannel(channelUri);
    if (!id)
        return page(QStringLiteral("Channel link"), QStringLiteral("<p>No such channel.</p>"));
    const QString uri = channelUri.trimmed().toLower();
    const QString link = QStringLiteral("tavri:1_") + uri;
    return page(QStringLiteral("Channel link"),
                QStringLiteral("<p><a href=\"%1\">Join %2 in Tavri</a></p>")
                    .arg(link.toHtmlEscaped(), text(channel(id).value("name")).toHtmlEscaped()));
}

GatewayHttpResponse DevGateway::followShortLink(const QString &code)
{
    GatewayHttpResponse response;
    const QVariant url = m_store.value(QStringLiteral("SELECT url FROM short_links WHERE code = ?"), {code});
    if (!url.isValid()) {
        response.status = 404;
        response.contentType = "text/plain";
        response.body = "Not found\n";
        return response;
    }
    response.status = 302;
    response.contentType = "text/plain";
    response.location = url.toString().toUtf8();
    return response;
}

GatewayHttpResponse DevGateway::servePicture(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("^img/([uc])/(\\d+)\\.\\w+$"));
    const QRegularExpressionMatch match = pattern.match(path);
    GatewayHttpResponse response;
    const QVariantMap image =
        match.hasMatch() ? m_store.row(QStringLiteral("SELECT mime, data FROM images WHERE id = ? AND kind = ?"),
                                       {match.captured(2).toLongLong(), match.captured(1)})
                         : QVariantMap();
    if (image.isEmpty()) {
        response.status = 404;
        response.contentType = "text/plain";
        response.body = "Not found\n";
        return response;
    }
    response.contentType = image.value("mime").toByteArray();
    response.body = image.value("data").toByteArray();
    return response;
}
