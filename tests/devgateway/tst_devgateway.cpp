// The dev gateway driven over HTTP the way the client drives it: sign-up,
// sign-in and session expiry, channels, favourites, friends, notifications,
// contact groups, searches and the external-application realm.

#include "devgateway.h"
#include "testenvironment.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

using Fields = QMap<QString, QString>;

// Every value of a user, channel or notification record is text; the client
// reads any other JSON type as empty.
void verifyAllText(const QJsonObject &record, const QStringList &nullable = {})
{
    for (auto it = record.begin(); it != record.end(); ++it) {
        if (nullable.contains(it.key()) && it.value().isNull())
            continue;
        QVERIFY2(it.value().isString(), qPrintable(it.key() + QStringLiteral(" is not text")));
    }
}

} // namespace

class DevGatewayTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signUp_data();
    void signUp();
    void signInAndCredentials();
    void sessionExpiresAfterIdleTime();
    void channelsLifecycle();
    void favouritesAreIdempotent();
    void channelSearchPagesAndHidesInvitationOnly();
    void friendRequestAndInvitationNotify();
    void contactGroupEchoesMemberIdAsSent();
    void moderatorsAndEmailInvitations();
    void profileUpdates();
    void userSearchPages();
    void realmVerifyLoginAndContacts();
    void picturesAndShortLinks();
    void sharedLinksAndPasswordPageOpen();
    void httpErrors_data();
    void httpErrors();
    void stalledClientsDoNotStarveOthers();
    void stalledClientIsDroppedAfterTheReadTimeout();
    void passwordsAreHashedOverTheirBytes();
    void storedEventsAndSessionsAreBounded();
    void unknownMethodsGetErr();
    void storeSurvivesRestart();

private:
    std::unique_ptr<DevGateway> startGateway(DevGatewayOptions options);
    QByteArray post(const QByteArray &body, const QString &path = QStringLiteral("gateway.php"), int *status = nullptr);
    QJsonDocument call(const QString &method, Fields fields, const QString &sid = QString());
    QJsonObject callObject(const QString &method, const Fields &fields, const QString &sid = QString());
    QString signIn(const QString &email, const QString &password);
    QString createAndSignIn(const QString &name);

    QNetworkAccessManager *m_network = nullptr;
    std::unique_ptr<DevGateway> m_gateway;
    QTemporaryDir m_dir;
};

void DevGatewayTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QVERIFY(m_dir.isValid());
}

void DevGatewayTest::init()
{
    m_network = new QNetworkAccessManager;
    DevGatewayOptions options;
    options.databasePath = QStringLiteral(":memory:");
    options.seed = true;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
}

void DevGatewayTest::cleanup()
{
    m_gateway.reset();
    delete m_network;
}

std::unique_ptr<DevGateway> DevGatewayTest::startGateway(DevGatewayOptions options)
{
    options.port = 0;
    options.logCalls = false;
    auto gateway = std::make_unique<DevGateway>(options);
    QString error;
    if (!gateway->start(&error)) {
        qWarning() << "cannot start the gateway:" << error;
        return nullptr;
    }
    return gateway;
}

QByteArray DevGatewayTest::post(const QByteArray &body, const QString &path, int *status)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_gateway->port()).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    request.setRawHeader("User-Agent", "WIN/Tavri/0.6.18.8668");
    QNetworkReply *reply = m_network->post(request, body);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray answer = reply->readAll();
    reply->deleteLater();
    return answer;
}

// Builds the body as the client does: every field in key order, each as
// "&key=value" with the value percent-encoded.
QJsonDocument DevGatewayTest::call(const QString &method, Fields fields, const QString &sid)
{
    fields.insert(QStringLiteral("method"), method);
    fields.insert(QStringLiteral("client_version"), QStringLiteral("0.6.18.8668"));
    fields.insert(QStringLiteral("os"), QStringLiteral("WIN"));
    fields.insert(QStringLiteral("osver"), QStringLiteral("0"));
    if (!sid.isEmpty())
        fields.insert(QStringLiteral("sid"), sid);
    QByteArray body;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        body += '&' + it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value());
    int status = 0;
    const QByteArray answer = post(body, QStringLiteral("gateway.php"), &status);
    if (status != 200)
        qWarning() << method << "answered HTTP" << status;
    return QJsonDocument::fromJson(answer);
}

QJsonObject DevGatewayTest::callObject(const QString &method, const Fields &fields, const QString &sid)
{
    return call(method, fields, sid).object();
}

QString DevGatewayTest::signIn(const QString &email, const QString &password)
{
    return callObject("LoginUser",
                      {{"email", email}, {"password", password}, {"guid", "{00000000-0000-0000-0000-000000000001}"}})
        .value("sid")
        .toString();
}

QString DevGatewayTest::createAndSignIn(const QString &name)
{
    const QString email = name + QStringLiteral("@example.test");
    callObject("CreateAccount", {{"email", email},
                                 {"password", "secret1"},
                                 {"displayname", name},
                                 {"uuid", name},
                                 {"account_creation_id", "Ostrel"}});
    return signIn(email, QStringLiteral("secret1"));
}

void DevGatewayTest::signUp_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("new account") << "carol@example.test"
                                 << "secret1"
                                 << "carol" << true;
    QTest::newRow("address taken, other case") << "ALICE@example.test"
                                               << "secret1"
                                               << "carol" << false;
    QTest::newRow("screen name taken") << "carol@example.test"
                                       << "secret1"
                                       << "Bob" << false;
    QTest::newRow("short password") << "carol@example.test"
                                    << "five5"
                                    << "carol" << false;
    QTest::newRow("not an address") << "carol.example.test"
                                    << "secret1"
                                    << "carol" << false;
    QTest::newRow("no screen name") << "carol@example.test"
                                    << "secret1"
                                    << "" << false;
}

void DevGatewayTest::signUp()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    const QJsonObject answer = callObject("CreateAccount", {{"email", email},
                                                            {"password", password},
                                                            {"displayname", name},
                                                            {"uuid", name},
                                                            {"account_creation_id", "Ostrel"}});
    // Failures are never ERR, so that the client shows them as a failed sign-up.
    QCOMPARE(answer.value("status").toString(), accepted ? QString("OK") : QString("FAIL"));
    QCOMPARE(answer.contains("msg"), !accepted);
    // The two answers the sign-up window knows by their text: it offers the
    // forgotten-password link for the first, asks for another name for the
    // second.
    if (QByteArray(QTest::currentDataTag()).startsWith("address taken"))
        QCOMPARE(answer.value("msg").toString(), QString("An account already exists for this email address"));
    if (QByteArray(QTest::currentDataTag()) == "screen name taken")
        QCOMPARE(answer.value("msg").toString(), QString("That screen name is already taken, please choose another"));
    QCOMPARE(callObject("userUuidExists", {{"uuid", "carol"}}).value("result"), QJsonValue(accepted));
    QCOMPARE(callObject("userUuidExists", {{"uuid", "BOB"}}).value("result"), QJsonValue(true));
    if (accepted)
        QVERIFY(!signIn(email, password).isEmpty()); // active at once
}

void DevGatewayTest::signInAndCredentials()
{
    const QJsonObject bad = callObject("LoginUser", {{"email", "alice@example.test"}, {"password", "wrong"}});
    QCOMPARE(bad.value("reason").toString(), QString("bad_credentials"));
    QVERIFY(!bad.value("msg").toString().isEmpty());
    QVERIFY(!bad.contains("status") && !bad.contains("sid") && !bad.contains("auth_token"));

    // The program signs in with the password's MD5 in lower-case hex; a
    // digest of the wrong password, or the digest in capitals, is refused.
    const QString digest = QString::fromLatin1(QCryptographicHash::hash("tavri-dev", QCryptographicHash::Md5).toHex());
    QCOMPARE(
        callObject("LoginUser", {{"email", "alice@example.test"}, {"password", digest}}).value("sid").toString().size(),
        32);
    for (const QString &refused :
         {digest.toUpper(), QString::fromLatin1(QCryptographicHash::hash("wrong", QCryptographicHash::Md5).toHex())})
        QCOMPARE(callObject("LoginUser", {{"email", "alice@example.test"}, {"password", refused}})
                     .value("reason")
                     .toString(),
                 QString("bad_credentials"));

    const QJsonObject ok =
        callObject("LoginUser", {{"email", "Alice@Example.test"}, {"password", "tavri-dev"}, {"guid", "{g}"}});
    const QString sid = ok.value("sid").toString();
    QCOMPARE(sid.size(), 32);
    QVERIFY(ok.value("auth_token").toString().startsWith("dv1."));
    QCOMPARE(ok.value("UserLiveURI").toString(), QString("sip:u-1001@dev.tavri.test"));
    QCOMPARE(ok.value("UserEmail").toString(), QString("alice@example.test"));
    QVERIFY(ok.value("settings_overrides").isArray());
    QVERIFY(!ok.contains("update_msg"));
    QJsonObject record = ok;
    record.remove("settings_overrides");
    verifyAllText(record);

    // A session id, or e-mail and password, authenticate; nothing else does.
    QCOMPARE(callObject("getUserBySocialUID", {{"uid", "1002"}}, sid).value("UserDisplayName").toString(),
             QString("Bob"));
    QCOMPARE(
        callObject("getUserBySocialUID", {{"uid", "1002"}, {"email", "alice@example.test"}, {"password", "tavri-dev"}})
            .value("user_uname")
            .toString(),
        QString("bob"));
    QCOMPARE(callObject("getUserBySocialUID", {{"uid", "1002"}}).value("reason").toString(), QString("not_signed_in"));
    QCOMPARE(callObject("getUserBySocialUID", {{"uid", "1002"}, {"email", "alice@example.test"}, {"password", ""}})
                 .value("reason")
                 .toString(),
             QString("not_signed_in"));
    // Another user's record carries no e-mail; an unknown one is a null URI.
    QCOMPARE(callObject("getUserByUserLiveURI", {{"UserLiveURI", "SIP:U-1002@DEV.TAVRI.TEST"}}, sid)
                 .value("UserEmail")
                 .toString(),
             QString());
    QVERIFY(callObject("getUserByUserLiveURI", {{"UserLiveURI", "sip:u-4242@dev.tavri.test"}}, sid)
                .value("UserLiveURI")
                .isNull());
}

void DevGatewayTest::sessionExpiresAfterIdleTime()
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = QStringLiteral(":memory:");
    options.seed = true;
    options.sessionTtlSeconds = 2;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);

    const QString sid = signIn("bob@example.test", "tavri-dev");
    QVERIFY(!callObject("getContactGroups", {}, sid).contains("sid"));
    QTest::qWait(3000); // the idle time has to pass
    const QJsonObject expired = callObject("getContactGroups", {}, sid);
    QCOMPARE(expired, QJsonObject({{"sid", ""}, {"msg", "Session expired"}}));
    // An unknown id is answered the same way, so the client signs in again.
    QCOMPARE(callObject("getContactGroups", {}, "0123").value("sid"), QJsonValue(""));
    const QString renewed = signIn("bob@example.test", "tavri-dev");
    QVERIFY(callObject("getContactGroups", {}, renewed).value("data").isArray());
}

void DevGatewayTest::sharedLinksAndPasswordPageOpen()
{
    // The client takes a server without a scheme for https: the runtime
    // settings name the plain-http gateway's scheme for both servers.
    DevGatewayOptions options;
    options.domain = QStringLiteral("dev.tavri.test");
    const QString settings = DevGateway::runtimeSettings(options, 8088);
    QVERIFY2(settings.contains(QStringLiteral("downloadServer: \"http://127.0.0.1:8088\"")), qPrintable(settings));
    QVERIFY2(settings.contains(QStringLiteral("applicationServer: \"http://127.0.0.1:8088\"")), qPrintable(settings));

    const QString sid = signIn("alice@example.test", "tavri-dev");
    const QString uri =
        callObject("AddChannel", {{"ChannelDisplayName", "Q <b>Room</b>"}, {"ParentSocialUID", ""}}, sid)
            .value("ChannelLiveURI")
            .toString();
    QVERIFY(!uri.isEmpty());
    const auto get = [this](const QString &path) {
        QNetworkReply *reply =
            m_network->get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_gateway->port()) + path)));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        const bool done = finished.wait(30000);
        const QPair<int, QString> answer{done ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0,
                                         QString::fromUtf8(reply->readAll())};
        reply->deleteLater();
        return answer;
    };
    // A shared channel link opens a page that joins the channel; its name
    // is shown as text.
    const auto link = get(QStringLiteral("clink/?s=1001&u=1&p=") + QUrl::toPercentEncoding(uri));
    QCOMPARE(link.first, 200);
    QVERIFY2(link.second.contains(QStringLiteral("href=\"tavri:1_") + uri + QLatin1Char('"')), qPrintable(link.second));
    QVERIFY2(link.second.contains(QStringLiteral("Q &lt;b&gt;Room&lt;/b&gt;")), qPrintable(link.second));
    const auto unknown = get(QStringLiteral("clink/?p=") + QUrl::toPercentEncoding("javascript:alert(1)"));
    QCOMPARE(unknown.first, 200);
    QVERIFY(!unknown.second.contains(QStringLiteral("href")));
    // The forgotten-password link answers.
    const auto forgot = get(QStringLiteral("forgot-password/"));
    QCOMPARE(forgot.first, 200);
    QVERIFY(forgot.second.contains(QStringLiteral("tavri-dev")));
}

void DevGatewayTest::channelsLifecycle()
{
    const QString sid = signIn("alice@example.test", "tavri-dev");
    const QJsonObject root = callObject("AddChannel",
                                        {{"ChannelDisplayName", "Music"},
                                         {"ChannelDescription", "Tunes"},
                                         {"ChannelMessageOfTheDay", "Hi"},
                                         {"ChannelSupportsCallIn", "True"},
                                         {"ChannelProtectionType", "0"},
                                         {"ParentSocialUID", ""},
                                         {"ChannelChildrenLocked", "1"},
                                         {"ChannelTags", "jazz,rock"}},
                                        sid);
    verifyAllText(root);
    const QString rootId = root.value("ChannelSocialUID").toString();
    QCOMPARE(root.value("ChannelLiveURI").toString(), QString("sip:confctl-%1@dev.tavri.test").arg(rootId));
    QCOMPARE(root.value("ChannelHierarchy").toString(), rootId);
    QCOMPARE(root.value("ChannelCallInNumber").toString(), QString("4%1").arg(rootId.toInt(), 6, 10, QLatin1Char('0')));
    QCOMPARE(root.value("ChannelOwnerSocialUID").toString(), QString("1001"));
    QCOMPARE(root.value("ChannelIsPasswordProtected").toString(), QString("0"));

    const QString sameName =
        QStringLiteral("Cannot add root channel with same name as another root channel of the same user");
    QCOMPARE(callObject("AddChannel", {{"ChannelDisplayName", "MUSIC"}, {"ParentSocialUID", ""}}, sid)
                 .value("reason")
                 .toString(),
             sameName);
    QCOMPARE(
        callObject("AddChannel", {{"ChannelDisplayName", ""}, {"ParentSocialUID", ""}}, sid).value("reason").toString(),
        QString("bad_request"));
    QCOMPARE(callObject("AddChannel", {{"ChannelDisplayName", "x"}, {"ParentSocialUID", "4999"}}, sid)
                 .value("reason")
                 .toString(),
             QString("not_found"));

    const QString b = callObject("AddChannel", {{"ChannelDisplayName", "b-room"}, {"ParentSocialUID", rootId}}, sid)
                          .value("ChannelSocialUID")
                          .toString();
    const QJsonObject a = callObject("AddChannel",
                                     {{"ChannelDisplayName", "A-room"},
                                      {"ParentSocialUID", rootId},
                                      {"ChannelProtectionType", "1"},
                                      {"ChannelPassword", "pw"}},
                                     sid);
    const QString aId = a.value("ChannelSocialUID").toString();
    QCOMPARE(a.value("ChannelHierarchy").toString(), rootId + "." + aId);
    QCOMPARE(a.value("ChannelIsPasswordProtected").toString(), QString("1"));
    const QString aChild = callObject("AddChannel", {{"ChannelDisplayName", "deep"}, {"ParentSocialUID", aId}}, sid)
                               .value("ChannelSocialUID")
                               .toString();
    // Children-locked: only the owner adds below it.
    const QString bobSid = signIn("bob@example.test", "tavri-dev");
    QCOMPARE(callObject("AddChannel", {{"ChannelDisplayName", "intruder"}, {"ParentSocialUID", rootId}}, bobSid)
                 .value("reason")
                 .toString(),
             QString("forbidden"));

    // Depth-first, parents first, siblings by name.
    const QJsonArray tree = call("GetChannelsInHierarchy", {{"root", rootId}}, sid).array();
    QStringList order;
    for (const QJsonValue &ch : tree)
        order << ch.toObject().value("ChannelSocialUID").toString();
    QCOMPARE(order, QStringList({rootId, aId, aChild, b}));
    QCOMPARE(tree.at(0).toObject().value("ChannelHasHierarchy").toString(), QString("1"));

    // Edit: owner only, the same-name rule among roots, and protection.
    QCOMPARE(callObject("EditChannel", {{"ChannelSocialUID", rootId}, {"ChannelDisplayName", "Mine"}}, bobSid)
                 .value("reason")
                 .toString(),
             QString("forbidden"));
    QCOMPARE(callObject("EditChannel", {{"ChannelSocialUID", rootId}, {"ChannelDisplayName", "lobby"}}, sid)
                 .value("reason")
                 .toString(),
             sameName);
    const QJsonObject edited = callObject("EditChannel",
                                          {{"ChannelSocialUID", rootId},
                                           {"ChannelDisplayName", "music"},
                                           {"ChannelMessageOfTheDay", "New"},
                                           {"ChannelSupportsCallIn", ""},
                                           {"ChannelProtectionType", "2"},
                                           {"UpdatePassword", "0"}},
                                          sid);
    QCOMPARE(edited.value("ChannelDisplayName").toString(), QString("music")); // its own name in another case is fine
    QCOMPARE(edited.value("ChannelMessageOfTheDay").toString(), QString("New"));
    QCOMPARE(edited.value("ChannelDescription").toString(), QString("Tunes"));
    QCOMPARE(edited.value("ChannelCallInNumber").toString(), QString());
    QCOMPARE(edited.value("ChannelIsPasswordProtected").toString(), QString("2"));

    // Delete: never a channel with children, nor someone else's.
    QCOMPARE(callObject("DeleteChannel", {{"ChannelSocialUID", aId}}, sid).value("reason").toString(),
             QString("has_children"));
    QCOMPARE(callObject("DeleteChannel", {{"ChannelSocialUID", aChild}}, bobSid).value("reason").toString(),
             QString("forbidden"));
    QCOMPARE(callObject("DeleteChannel", {{"ChannelSocialUID", aChild}}, sid),
             QJsonObject({{"ostrel", "Deleted"}, {"removed", aChild}}));
    QVERIFY(callObject("GetChannelInfo", {{"ChannelSocialUID", aChild}}, sid).value("ChannelLiveURI").isNull());
    QCOMPARE(callObject("GetChannelInfoWithOwnerInfoFromLiveUID", {{"ChannelLiveUID", aId}}, sid)
                 .value("ChannelDisplayName")
                 .toString(),
             QString("A-room"));
    QCOMPARE(call("GetChannelsOwned", {}, bobSid).array().size(), 0);
    QCOMPARE(call("GetChannelsOwned", {}, sid).array().size(),
             5); // Lobby and Games from the seed, Music, A-room, b-room
}

void DevGatewayTest::favouritesAreIdempotent()
{
    const QString sid = signIn("bob@example.test", "tavri-dev");
    auto favourites = [&] { return callObject("getChannelFavoritesList", {}, sid).value("data").toArray(); };
    for (int i = 0; i < 2; ++i)
        QCOMPARE(callObject("changeChannelFavorite", {{"channelUID", "5001"}, {"isFav", "1"}, {"inviteUID", ""}}, sid)
                     .value("result")
                     .toString(),
                 QString("1"));
    QCOMPARE(favourites().size(), 1);
    QCOMPARE(favourites().first().toObject().value("ChannelDisplayName").toString(), QString("Lobby"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(callObject("changeChannelFavorite", {{"channelUID", "5001"}, {"isFav", "0"}}, sid)
                     .value("result")
                     .toString(),
                 QString("1"));
    QVERIFY(favourites().isEmpty());
    QCOMPARE(
        callObject("changeChannelFavorite", {{"channelUID", "4999"}, {"isFav", "1"}}, sid).value("reason").toString(),
        QString("not_found"));
}

void DevGatewayTest::channelSearchPagesAndHidesInvitationOnly()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");
    for (const char *name : {"Chess club", "Chess corner", "Chess den"})
        callObject("AddChannel", {{"ChannelDisplayName", name}, {"ChannelTags", "games,board"}}, alice);
    callObject("AddChannel", {{"ChannelDisplayName", "Chess secret"}, {"ChannelProtectionType", "2"}}, alice);
    callObject("AddChannel", {{"ChannelDisplayName", "Quiet"}, {"ChannelMessageOfTheDay", "chess only"}}, alice);

    auto search = [&](const QString &sid, const Fields &fields) {
        return callObject("GetChannelsMatching", fields, sid);
    };
    QJsonObject page =
        search(bob, {{"name", "CHESS"}, {"offset", "0"}, {"limit", "2"}, {"showInactive", "0"}, {"v", "2"}});
    QCOMPARE(page.value("results").toArray().size(), 2);
    QCOMPARE(page.value("more"), QJsonValue(true));
    page = search(bob, {{"name", "chess"}, {"offset", "2"}, {"limit", "2"}});
    QStringList names;
    for (const QJsonValue &ch : page.value("results").toArray())
        names << ch.toObject().value("ChannelDisplayName").toString();
    QCOMPARE(names, QStringList({"Chess den", "Quiet"})); // MOTD matches too; the invitation-only one stays hidden
    QCOMPARE(page.value("more"), QJsonValue(false));
    QCOMPARE(search(alice, {{"name", "secret"}}).value("results").toArray().size(), 1); // its owner sees it
    QCOMPARE(search(bob, {{"name", "chess"}, {"tags", "board,GAMES"}}).value("results").toArray().size(), 3);
    QCOMPARE(search(bob, {{"name", ""}, {"tags", "board,cards"}}).value("results").toArray().size(), 0);
}

void DevGatewayTest::friendRequestAndInvitationNotify()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");

    // The client may name a user by SIP URI before it has the web id.
    const QJsonObject added = callObject(
        "changeFriend", {{"friendUID", "sip:u-1002@dev.tavri.test"}, {"setIsFriend", "1"}, {"inviteUID", ""}}, alice);
    QCOMPARE(added.value("result").toString(), QString("1"));
    QVERIFY(!added.value("NotificationUID").toString().isEmpty());
    QCOMPARE(callObject("changeFriend", {{"friendUID", "1002"}, {"setIsFriend", "1"}}, alice)
                 .value("NotificationUID")
                 .toString(),
             QString());
    QCOMPARE(
        callObject("changeFriend", {{"friendUID", "1001"}, {"setIsFriend", "1"}}, alice).value("reason").toString(),
        QString("bad_request"));

    const QJsonObject invited = callObject(
        "inviteUserToChannel", {{"userUID", "1002"}, {"channelUID", "5001"}, {"customMessage", "Join us"}}, alice);
    QCOMPARE(invited.value("result").toString(), QString("1"));

    const QJsonArray inbox =
        callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, bob).value("v").toArray();
    QCOMPARE(inbox.size(), 2);
    const QJsonObject friended = inbox.at(0).toObject();
    const QJsonObject invitation = inbox.at(1).toObject();
    verifyAllText(friended);
    verifyAllText(invitation);
    QCOMPARE(friended.value("Type").toString(), QString("2"));
    QCOMPARE(friended.value("State").toString(), QString("1"));
    QCOMPARE(friended.value("FromUserSocialUID").toString(), QString("1001"));
    QCOMPARE(friended.value("UserDisplayName").toString(), QString("Alice"));
    QVERIFY(friended.value("SentAtMSecsFromEpoch").toString().toLongLong() > 0);
    QCOMPARE(invitation.value("Type").toString(), QString("5"));
    QCOMPARE(invitation.value("NotificationUID"), invited.value("NotificationUID"));
    QCOMPARE(invitation.value("ChannelSocialUID").toString(), QString("5001"));
    QCOMPARE(invitation.value("ChannelDisplayName").toString(), QString("Lobby"));
    QCOMPARE(invitation.value("CustomMessage").toString(), QString("Join us"));
    QVERIFY(invitation.value("NotificationUID").toString().toLongLong()
            > friended.value("NotificationUID").toString().toLongLong());

    // Paging by the highest id seen.
    const QJsonArray later = callObject("GetNotificationsSince",
                                        {{"SinceNotificationUID", friended.value("NotificationUID").toString()}}, bob)
                                 .value("v")
                                 .toArray();
    QCOMPARE(later.size(), 1);
    QCOMPARE(later.at(0).toObject().value("Type").toString(), QString("5"));
    // The inviter has the type 4 copy, naming the invitee.
    const QJsonArray sent =
        callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, alice).value("v").toArray();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).toObject().value("Type").toString(), QString("4"));
    QCOMPARE(sent.at(0).toObject().value("FromUserSocialUID").toString(), QString("1002"));

    // Accepting the invitation makes the channel a favourite and tells the inviter.
    QCOMPARE(callObject("AcceptInvitation", {{"NotificationUID", invitation.value("NotificationUID").toString()}}, bob)
                 .value("result")
                 .toString(),
             QString("1"));
    QCOMPARE(callObject("getChannelFavoritesList", {}, bob).value("data").toArray().size(), 1);
    const QJsonArray accepted =
        callObject("GetNotificationsSince",
                   {{"SinceNotificationUID", sent.at(0).toObject().value("NotificationUID").toString()}}, alice)
            .value("v")
            .toArray();
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(accepted.at(0).toObject().value("Type").toString(), QString("6"));
    // Someone else's notification cannot be accepted.
    QCOMPARE(
        callObject("AcceptInvitation", {{"NotificationUID", invitation.value("NotificationUID").toString()}}, alice)
            .value("reason")
            .toString(),
        QString("not_found"));

    // Accepting a friend request adds the edge back; deleting hides it from the inbox but not from a reload.
    QCOMPARE(callObject("AcceptInvitation", {{"NotificationUID", friended.value("NotificationUID").toString()}}, bob)
                 .value("result")
                 .toString(),
             QString("1"));
    const QString ids =
        friended.value("NotificationUID").toString() + "," + invitation.value("NotificationUID").toString();
    QCOMPARE(
        callObject("UpdateNotifications", {{"NotificationUIDs", ids}, {"State", "3"}}, bob).value("count").toString(),
        QString("2"));
    QCOMPARE(
        callObject("UpdateNotifications", {{"NotificationUIDs", ids}, {"State", "7"}}, bob).value("reason").toString(),
        QString("bad_request"));
    QVERIFY(callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, bob).value("v").toArray().isEmpty());
    const QJsonArray reloaded = callObject("GetNotifications", {{"NotificationUIDs", ids}}, bob).value("v").toArray();
    QCOMPARE(reloaded.size(), 2);
    QCOMPARE(reloaded.at(0).toObject().value("State").toString(), QString("3"));
    QCOMPARE(callObject("GetNotifications", {{"NotificationUIDs", ids}}, alice).value("v").toArray().size(), 0);

    // Removing a friend tells the former friend.
    const QJsonObject removed = callObject("changeFriend", {{"friendUID", "1002"}, {"setIsFriend", "0"}}, alice);
    QVERIFY(!removed.value("NotificationUID").toString().isEmpty());
    const QJsonArray last = callObject("GetNotificationsSince",
                                       {{"SinceNotificationUID", invitation.value("NotificationUID").toString()}}, bob)
                                .value("v")
                                .toArray();
    QCOMPARE(last.size(), 1);
    QCOMPARE(last.at(0).toObject().value("Type").toString(), QString("3"));
}

void DevGatewayTest::contactGroupEchoesMemberIdAsSent()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QJsonObject group = callObject("addContactGroup", {{"name", "Work"}}, alice);
    const QString gid = group.value("groupID").toString();
    QVERIFY(!gid.isEmpty());
    QCOMPARE(group.value("groupName").toString(), QString("Work"));
    const QString sentId = QStringLiteral("sip:U-1002@Dev.Tavri.Test");
    QCOMPARE(callObject("addContactGroupMember", {{"gid", gid}, {"mid", sentId}}, alice),
             QJsonObject({{"groupID", gid}, {"memberID", sentId}}));
    const QJsonArray groups = callObject("getContactGroups", {}, alice).value("data").toArray();
    QCOMPARE(groups.size(), 1);
    const QJsonObject stored = groups.at(0).toObject();
    QCOMPARE(stored.value("id").toString(), gid);
    QCOMPARE(stored.value("members").toArray().at(0).toObject(),
             QJsonObject({{"user_uid", "1002"}, {"user_uri", "sip:u-1002@dev.tavri.test"}}));
    // Another account cannot touch the group.
    const QString bob = signIn("bob@example.test", "tavri-dev");
    QCOMPARE(callObject("removeContactGroupMember", {{"gid", gid}, {"mid", "1002"}}, bob).value("reason").toString(),
             QString("not_found"));
    QCOMPARE(
        callObject("removeContactGroupMember", {{"gid", gid}, {"mid", "1002"}}, alice).value("memberID").toString(),
        QString("1002"));
    QVERIFY(callObject("getContactGroups", {}, alice)
                .value("data")
                .toArray()
                .at(0)
                .toObject()
                .value("members")
                .toArray()
                .isEmpty());
    QCOMPARE(callObject("deleteContactGroup", {{"gid", gid}}, alice), QJsonObject({{"groupID", gid}}));
    QVERIFY(callObject("getContactGroups", {}, alice).value("data").toArray().isEmpty());
}

void DevGatewayTest::moderatorsAndEmailInvitations()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");
    QCOMPARE(
        callObject("changeChannelModerator", {{"channelUID", "5001"}, {"memberUID", "1001"}, {"isModerator", "1"}}, bob)
            .value("reason")
            .toString(),
        QString("forbidden"));
    for (const char *flag : {"1", "1", "0"})
        QCOMPARE(callObject("changeChannelModerator",
                            {{"channelUID", "5001"}, {"memberUID", "sip:u-1002@dev.tavri.test"}, {"isModerator", flag}},
                            alice)
                     .value("result")
                     .toString(),
                 QString("1"));
    QStringList types;
    for (const QJsonValue &n :
         callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, bob).value("v").toArray())
        types << n.toObject().value("Type").toString();
    QCOMPARE(types, QStringList({"8", "9"})); // only real changes notify

    const QJsonObject answer = callObject("InviteUsersViaEmail",
                                          {{"to", "bob@example.test,not-an-address,new@else.test"},
                                           {"customMessage", "Come"},
                                           {"channelURI", "sip:confctl-5002@dev.tavri.test"}},
                                          alice);
    QCOMPARE(answer.value("results").toArray(), QJsonArray({QJsonObject{{"t", "bob@example.test"}, {"s", "invited"}},
                                                            QJsonObject{{"t", "not-an-address"}, {"s", "invalid"}},
                                                            QJsonObject{{"t", "new@else.test"}, {"s", "sent"}}}));
    QCOMPARE(callObject("InviteUsersViaEmail", {{"to", "bob@example.test"}}, alice)
                 .value("results")
                 .toArray()
                 .at(0)
                 .toObject()
                 .value("s")
                 .toString(),
             QString("registered"));
    const QJsonArray mine =
        callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, alice).value("v").toArray();
    QCOMPARE(mine.size(), 2);
    QCOMPARE(mine.at(0).toObject().value("Type").toString(), QString("4"));
    QCOMPARE(mine.at(1).toObject().value("Type").toString(), QString("13"));
    QCOMPARE(mine.at(1).toObject().value("UserEmail").toString(), QString("new@else.test"));
    QCOMPARE(mine.at(1).toObject().value("FromUserSocialUID").toString(), QString());
    // Accepting the same invitation twice tells the inviter once.
    const QJsonArray bobs =
        callObject("GetNotificationsSince", {{"SinceNotificationUID", "0"}}, bob).value("v").toArray();
    const QString invitation = bobs.last().toObject().value("NotificationUID").toString();
    QCOMPARE(bobs.last().toObject().value("Type").toString(), QString("5"));
    for (int i = 0; i < 2; ++i)
        callObject("AcceptInvitation", {{"NotificationUID", invitation}}, bob);
    QCOMPARE(callObject("GetNotificationsSince",
                        {{"SinceNotificationUID", mine.at(1).toObject().value("NotificationUID").toString()}}, alice)
                 .value("v")
                 .toArray()
                 .size(),
             1);
}

void DevGatewayTest::profileUpdates()
{
    const QString sid = signIn("bob@example.test", "tavri-dev");
    QCOMPARE(callObject("SetUserCustomInfo",
                        {{"UserDisplayName", "Robert"},
                         {"UserStatusText", "Out fishing"},
                         {"UserDescription", "About me"},
                         {"UserLocation", "Coast"},
                         {"RenameImage", "0"}},
                        sid)
                 .value("ostrel_update_status")
                 .toString(),
             QString("OK"));
    const QJsonObject me = callObject("getUserByUserLiveURI", {{"UserLiveURI", "sip:u-1002@dev.tavri.test"}}, sid);
    QCOMPARE(me.value("UserDisplayName").toString(), QString("Robert"));
    QCOMPARE(me.value("UserStatusText").toString(), QString("Out fishing"));
    QCOMPARE(me.value("UserDescription").toString(), QString("About me"));
    QCOMPARE(me.value("UserEmail").toString(), QString("bob@example.test")); // one's own record only
    const QJsonObject refused = callObject("SetUserCustomInfo", {{"UserDisplayName", "  "}}, sid);
    QCOMPARE(refused.value("ostrel_update_status").toString(), QString("FAIL"));
    QVERIFY(!refused.value("msg").toString().isEmpty());
    QCOMPARE(callObject("SetUserPrivacy", {{"UserPublicFields", "UserLocation"}}, sid).value("result").toString(),
             QString("1"));
}

void DevGatewayTest::userSearchPages()
{
    for (const char *name : {"dana", "dave", "david"})
        QVERIFY(!createAndSignIn(QString::fromLatin1(name)).isEmpty());
    const QString dana = signIn("dana@example.test", "secret1");
    QJsonObject page =
        callObject("GetUserInfoPublicByName",
                   {{"name", "DA"}, {"showInactive", "0"}, {"offset", "0"}, {"limit", "1"}, {"v", "2"}}, dana);
    QCOMPARE(page.value("results").toArray().size(), 1);
    QCOMPARE(page.value("results").toArray().at(0).toObject().value("user_uname").toString(),
             QString("dave")); // never oneself
    QCOMPARE(page.value("more"), QJsonValue(true));
    page = callObject("GetUserInfoPublicByName", {{"name", "da"}, {"offset", "1"}, {"limit", "5"}}, dana);
    QCOMPARE(page.value("results").toArray().size(), 1);
    QCOMPARE(page.value("more"), QJsonValue(false));
    // An exact e-mail address finds its owner; wildcards are literal.
    QCOMPARE(
        callObject("GetUserInfoPublicByName", {{"name", "bob@example.test"}}, dana).value("results").toArray().size(),
        1);
    QCOMPARE(callObject("GetUserInfoPublicByName", {{"name", "%"}}, dana).value("results").toArray().size(), 0);
}

void DevGatewayTest::realmVerifyLoginAndContacts()
{
    QCOMPARE(callObject("RealmVerify", {{"rid", "devapp"}, {"token", "wrong"}}).value("status").toString(),
             QString("ERR"));
    const QJsonObject verified =
        callObject("RealmVerify", {{"rid", "devapp"}, {"token", "devapp-secret"}, {"clientlib_version", "1"}});
    const QString rsid = verified.value("rsid").toString();
    QVERIFY(!rsid.isEmpty());
    QCOMPARE(verified.value("realm_display_name").toString(), QString("Dev App"));
    QCOMPARE(callObject("RealmLogin", {{"rsid", "nope"}, {"uname", "zed"}, {"utok", "t"}}).value("status").toString(),
             QString("ERR"));

    const QJsonObject login = callObject("RealmLogin", {{"rsid", rsid}, {"uname", "zed"}, {"utok", "anything"}});
    QCOMPARE(login.value("rsid").toString(), rsid);
    QCOMPARE(login.value("realm_user_uri").toString(), QString("sip:u-9001@dev.tavri.test"));
    QVERIFY(login.value("auth_token").toString().startsWith("dv1."));

    // A second realm user to befriend and block.
    const QString other =
        callObject("RealmVerify", {{"rid", "devapp"}, {"token", "devapp-secret"}}).value("rsid").toString();
    callObject("RealmLogin", {{"rsid", other}, {"uname", "yan"}, {"utok", "x"}});

    QCOMPARE(callObject("RealmChangeContact", {{"rsid", rsid}, {"t", "ghost"}, {"l", "contact"}, {"a", "add"}})
                 .value("status"),
             QJsonValue(404));
    QJsonObject change = callObject("RealmChangeContact", {{"rsid", rsid}, {"t", "yan"}, {"l", "block"}, {"a", "add"}});
    QCOMPARE(change.value("status"), QJsonValue(200));
    QCOMPARE(change.value("uri").toString(), QString("sip:u-9002@dev.tavri.test"));
    QCOMPARE(callObject("RealmChangeContact",
                        {{"rsid", rsid}, {"t", "sip:u-9002@dev.tavri.test"}, {"l", "contact"}, {"a", "add"}})
                 .value("status"),
             QJsonValue(403));
    callObject("RealmChangeContact", {{"rsid", rsid}, {"t", "yan"}, {"l", "block"}, {"a", "del"}});
    change = callObject("RealmChangeContact", {{"rsid", rsid}, {"t", "YAN"}, {"l", "contact"}, {"a", "add"}});
    QCOMPARE(change.value("status"), QJsonValue(200));
    QCOMPARE(change.value("action").toString(), QString("add"));
    QCOMPARE(change.value("name").toString(), QString("yan"));
    const QJsonObject contacts = callObject("RealmContactList", {{"rsid", rsid}});
    QCOMPARE(contacts.value("contacts").toArray(),
             QJsonArray({QJsonObject{{"username", "yan"}, {"sip_uri", "sip:u-9002@dev.tavri.test"}}}));
    QVERIFY(contacts.value("blocked").toArray().isEmpty());

    const QJsonObject auth = callObject("RealmGetChannelAuth", {{"rsid", rsid}, {"n", "room"}});
    QCOMPARE(auth.value("status"), QJsonValue(200));
    QVERIFY(auth.value("sip_uri").toString().startsWith("sip:confctl-x"));
    QVERIFY(!auth.value("vat").toString().isEmpty());
    QCOMPARE(callObject("RealmGetChannelAuth", {{"rsid", other}, {"n", "room"}}).value("sip_uri"),
             auth.value("sip_uri"));
    QCOMPARE(callObject("RealmSendMessage", {{"rsid", rsid}, {"t", "yan"}, {"m", "hi"}}),
             QJsonObject({{"rsid", rsid}, {"status", 200}}));
}

void DevGatewayTest::picturesAndShortLinks()
{
    const QString sid = signIn("alice@example.test", "tavri-dev");
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(20000, 'p'); // larger than one small form
    const QString url =
        callObject(
            "SetUserImage",
            {{"UserPictureFileName", "me.png"}, {"UserPictureRawDataBase64", QString::fromLatin1(png.toBase64())}}, sid)
            .value("result")
            .toString();
    QVERIFY2(url.startsWith(QStringLiteral("http://127.0.0.1:%1/img/u/").arg(m_gateway->port())), qPrintable(url));
    QCOMPARE(callObject("getUserBySocialUID", {{"uid", "1001"}}, sid).value("UserPictureUrl").toString(), url);
    QCOMPARE(callObject("SetUserImage",
                        {{"UserPictureRawDataBase64", QString::fromLatin1(QByteArray("<svg/>").toBase64())}}, sid)
                 .value("reason")
                 .toString(),
             QString("bad_request"));

    QNetworkReply *reply = m_network->get(QNetworkRequest(QUrl(url)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait());
    QCOMPARE(reply->readAll(), png);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), QString("image/png"));
    reply->deleteLater();

    const QJsonObject shortened =
        QJsonDocument::fromJson(post("u=" + QUrl::toPercentEncoding("https://example.test/a?b=c"), "shorturl_ajax.php"))
            .object();
    const QString shortUrl = shortened.value("output_url").toString();
    QVERIFY2(shortUrl.contains("/s/"), qPrintable(shortUrl));
    QNetworkRequest follow{QUrl(shortUrl)};
    follow.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    reply = m_network->get(follow);
    QSignalSpy redirected(reply, &QNetworkReply::finished);
    QVERIFY(redirected.wait());
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 302);
    QCOMPARE(reply->rawHeader("Location"), QByteArray("https://example.test/a?b=c"));
    reply->deleteLater();
    // Only web addresses are shortened.
    QVERIFY(
        !QJsonDocument::fromJson(post("u=javascript%3Aalert(1)", "shorturl_ajax.php")).object().contains("output_url"));
    // Nor addresses holding control characters, a NUL above all.
    for (const QByteArray &target :
         {QByteArray("https%3A%2F%2Fexample.test%2Fa%00b"), QByteArray("https%3A%2F%2Fexample.test%2F%0D%0AX%3A1")})
        QVERIFY(!QJsonDocument::fromJson(post("u=" + target, "shorturl_ajax.php")).object().contains("output_url"));
}

void DevGatewayTest::httpErrors_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("garbage") << QByteArray("GARBAGE\r\n\r\n") << 400;
    QTest::newRow("no version") << QByteArray("POST /gateway.php\r\n\r\n") << 400;
    QTest::newRow("post without length") << QByteArray("POST /gateway.php HTTP/1.1\r\nHost: x\r\n\r\n&method=LogEvent")
                                         << 400;
    QTest::newRow("bad length") << QByteArray("POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n")
                                << 400;
    QTest::newRow("body over 8 MiB") << QByteArray(
        "POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 9000000\r\n\r\n")
                                     << 413;
    QTest::newRow("headers over 16 KiB")
        << (QByteArray("POST /gateway.php HTTP/1.1\r\n")
            + QByteArray("X-Filler: ").append(QByteArray(4000, 'f')).append("\r\n").repeated(5)
            + "Content-Length: 0\r\n\r\n")
        << 413;
    QTest::newRow("unknown path") << QByteArray("GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n") << 404;
    QTest::newRow("multipart form") << QByteArray(
        "POST /gateway.php HTTP/1.1\r\nHost: x\r\n"
        "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: 48\r\n\r\n"
        "--b\r\nContent-Disposition: form-data; name=a\r\n\r\n1\r\n--b--")
                                    << 415;
    QTest::newRow("two different lengths") << QByteArray(
        "POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 16\r\nContent-Length: 5\r\n\r\n&method=LogEvent")
                                           << 400;
    QTest::newRow("e-mail not UTF-8") << QByteArray(
        "POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 41\r\n\r\n&method=LoginUser&email=%FF%FE&password=x")
                                      << 400;
}

void DevGatewayTest::httpErrors()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_gateway->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(request);
    QByteArray answer;
    QTRY_VERIFY_WITH_TIMEOUT((answer += socket.readAll()).contains("\r\n"), 10000);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + QByteArray::number(status)), answer.constData());
}

void DevGatewayTest::stalledClientsDoNotStarveOthers()
{
    // Stalled peers are waited for long enough here that the answer to the
    // normal call surely comes first: only free workers can give it.
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = QStringLiteral(":memory:");
    options.seed = true;
    options.readTimeoutSeconds = 120;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);

    // Each sends its headers and part of the body, then nothing more.
    std::vector<std::unique_ptr<QTcpSocket>> stalled;
    for (int i = 0; i < 32; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_gateway->port());
        QVERIFY(socket->waitForConnected(5000));
        socket->write("POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n&method=Log");
        QVERIFY(socket->waitForBytesWritten(5000));
        stalled.push_back(std::move(socket));
    }
    // A normal call is answered while the stalled peers are still waited for.
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
    for (const auto &socket : stalled) {
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
        QCOMPARE(socket->bytesAvailable(), qint64(0));
    }
}

void DevGatewayTest::stalledClientIsDroppedAfterTheReadTimeout()
{
    // The gateway of init(), with the default read timeout.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_gateway->port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write("POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n&method=Log");
    QTRY_VERIFY_WITH_TIMEOUT(socket.state() != QAbstractSocket::ConnectedState, 60000);
    const QByteArray answer = socket.readAll();
    QVERIFY2(!answer.startsWith("HTTP/1.1 5"), answer.constData());
}

void DevGatewayTest::passwordsAreHashedOverTheirBytes()
{
    auto answer = [this](const QByteArray &body) { return QJsonDocument::fromJson(post(body)).object(); };
    // Two invalid UTF-8 passwords that would both decode to U+FFFD U+FFFD.
    QCOMPARE(answer("&method=CreateAccount&email=raw%40example.test&uuid=raw&password=%FF%FEsecret").value("status"),
             QJsonValue("OK"));
    QVERIFY(
        answer("&method=LoginUser&email=raw%40example.test&password=%FE%FFsecret").value("sid").toString().isEmpty());
    QVERIFY(
        !answer("&method=LoginUser&email=raw%40example.test&password=%FF%FEsecret").value("sid").toString().isEmpty());

    // '+' is a space; a valid UTF-8 password hashes as its UTF-8 bytes, as the
    // seeded accounts' do.
    QCOMPARE(
        answer("&method=CreateAccount&email=plus%40example.test&uuid=Plus+One&password=p%C3%A4ss+word").value("status"),
        QJsonValue("OK"));
    QVERIFY(!signIn("plus@example.test", QStringLiteral("p\u00e4ss word")).isEmpty());
    QCOMPARE(callObject("userUuidExists", {{"uuid", "Plus One"}}).value("result"), QJsonValue(true));

    // Names that are not UTF-8 are refused whole.
    int status = 0;
    post("&method=CreateAccount&email=bad%40example.test&uuid=%C3%28&password=secret1", "gateway.php", &status);
    QCOMPARE(status, 400);
    QVERIFY(callObject("LoginUser", {{"email", "bad@example.test"}, {"password", "secret1"}})
                .value("sid")
                .toString()
                .isEmpty());
}

void DevGatewayTest::storedEventsAndSessionsAreBounded()
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = m_dir.filePath(QStringLiteral("bounded.sqlite"));
    options.seed = true;
    options.sessionTtlSeconds = 3600;
    options.maxStoredEvents = 3;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
    db.setDatabaseName(options.databasePath);
    QVERIFY(db.open());
    const auto count = [&db](const QString &sql) {
        QSqlQuery query(sql, db);
        return query.next() ? query.value(0).toLongLong() : -1;
    };

    // An oversized event is cut; only the newest events stay.
    Fields big;
    for (int i = 0; i < 100; ++i)
        big.insert(QStringLiteral("ext[k%1]").arg(i, 3, 10, QLatin1Char('0')), QString(10000, QLatin1Char('v')));
    QCOMPARE(callObject("LogEvent", big), QJsonObject());
    QVERIFY(count("SELECT MAX(LENGTH(fields)) FROM events") < 8 * 1024);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(callObject("LogEvent", {{"cat", QString::number(i)}}), QJsonObject());
    QCOMPARE(count("SELECT COUNT(*) FROM events"), 3);
    QCOMPARE(count("SELECT COUNT(*) FROM events WHERE fields LIKE '%\"cat\":\"4\"%'"), 1);

    // Sessions idle past the limit end, with their tokens, at the next sign-in.
    const QString idle = signIn("bob@example.test", "tavri-dev");
    const QString active = signIn("bob@example.test", "tavri-dev");
    QVERIFY(!idle.isEmpty() && !active.isEmpty());
    QSqlQuery age(db);
    QVERIFY(age.prepare(QStringLiteral("UPDATE sessions SET last_seen = 0 WHERE sid = ?")));
    age.addBindValue(idle);
    QVERIFY(age.exec());
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
    QCOMPARE(count("SELECT COUNT(*) FROM sessions"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM tokens WHERE kind = 'user'"), 2);
    QCOMPARE(callObject("getContactGroups", {}, idle).value("sid"), QJsonValue(""));
    QVERIFY(callObject("getContactGroups", {}, active).value("data").isArray());
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
}

void DevGatewayTest::unknownMethodsGetErr()
{
    const QString sid = signIn("alice@example.test", "tavri-dev");
    const QJsonObject expected{{"status", "ERR"}, {"msg", "Unknown method"}, {"reason", "unknown_method"}};
    // Reply-only branches of the client are unknown here too.
    for (const char *method : {"Nonsense", "GetDialinNumbers", "requestParticipantCount", "RealmUserInfo"})
        QCOMPARE(callObject(QString::fromLatin1(method), {}, sid), expected);
    QCOMPARE(
        callObject("GetThirdPartyChannelForUser", {{"app", "a"}, {"channel", "c"}, {"user", "u"}}, sid).value("result"),
        QJsonValue(0));
    QCOMPARE(callObject("LogEvent", {{"cat", "Test"}, {"ext[retries]", "2"}}), QJsonObject());
    QCOMPARE(callObject("CheckForUpdate", {}), QJsonObject());
}

void DevGatewayTest::storeSurvivesRestart()
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = m_dir.filePath(QStringLiteral("restart.sqlite"));
    options.seed = true;
    options.offerVersion = QStringLiteral("0.7");
    options.offerLink = QStringLiteral("http://example.test/tavri");
    options.analytics = false;
    options.settingsOverrides = {{"settingsAutoLogin", "false"}, {"settingsVolume", "40"}};
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    const QJsonObject login = callObject("LoginUser", {{"email", "bob@example.test"}, {"password", "tavri-dev"}});
    QCOMPARE(login.value("update_msg").toString().isEmpty(), false);
    QCOMPARE(login.value("updateVersion").toString(), QString("0.7"));
    QCOMPARE(login.value("logging"), QJsonValue(false));
    QCOMPARE(login.value("settings_overrides").toArray().at(0).toObject(),
             QJsonObject({{"settings_key", "settingsAutoLogin"}, {"value", false}, {"reset", false}}));
    QCOMPARE(login.value("settings_overrides").toArray().at(1).toObject().value("value"), QJsonValue(40));
    QCOMPARE(
        callObject("CheckForUpdate", {}).value("0").toObject().value("Win").toObject().value("download_url").toString(),
        options.offerLink);
    const QString sid = login.value("sid").toString();

    // Sessions live in the file, so a restarted gateway keeps clients signed in; seeding twice adds nothing.
    m_gateway.reset();
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    const QJsonObject groups = callObject("getContactGroups", {}, sid);
    QVERIFY(groups.value("data").isArray());
    QCOMPARE(groups.value("logging"), QJsonValue(false));
    QCOMPARE(call("GetChannelsInHierarchy", {{"root", "5001"}}, sid).array().size(), 2);
}

TAVRI_TEST_GUILESS_MAIN(DevGatewayTest)
#include "tst_devgateway.moc"
