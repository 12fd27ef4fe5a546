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
#include <QPasswordDigestor>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
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

// What each method that names a channel needs of its caller: "read" a record
// (open and password-protected channels show theirs to anyone), "change" what
// hangs below it (an open channel only, unless the caller belongs to it),
// "invite" others in (into an invitation-only channel only its owner and
// moderators), "own" it.
const QMap<QString, QString> &channelNeeds()
{
    static const QMap<QString, QString> needs = {
        {"GetChannelInfo", "read"},
        {"GetChannelInfoWithOwnerInfo", "read"},
        {"GetChannelInfoWithOwnerInfoFromLiveUID", "read"},
        {"GetChannelsInHierarchy", "read"},
        {"changeChannelFavorite", "read"},
        {"AddUserStats", "read"},
        {"AddChannel", "change"},
        {"inviteUserToChannel", "invite"},
        {"InviteUsersViaEmail", "invite"},
        {"EditChannel", "own"},
        {"DeleteChannel", "own"},
        {"SetChannelImage", "own"},
        {"changeChannelModerator", "own"},
    };
    return needs;
}

bool allowedTo(const QString &need, int protection, const QString &relation)
{
    const bool belongs = relation != QLatin1String("outsider");
    if (need == QLatin1String("read"))
        return protection != 2 || belongs;
    if (need == QLatin1String("change"))
        return protection == 0 || belongs;
    if (need == QLatin1String("invite"))
        return protection != 2 || relation == QLatin1String("owner") || relation == QLatin1String("moderator");
    return relation == QLatin1String("owner");
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
    void channelMethodsCheckTheCallersRelation();
    void hiddenChannelsStayOutOfListings();
    void profileUpdates();
    void userSearchPages();
    void realmVerifyLoginAndContacts();
    void picturesAndShortLinks();
    void storageIsCappedPerAccountAndAddress();
    void sharedLinksAndPasswordPageOpen();
    void httpErrors_data();
    void httpErrors();
    void stalledClientsDoNotStarveOthers();
    void stalledClientIsDroppedAfterTheReadTimeout();
    void slowClientsByTheHundredDoNotStarveOthers();
    void aBodyThatTricklesIsCutOffAtTheBodyTime();
    void aFormOfManyFieldsIsRefusedAtOnce();
    void stopsPromptlyOnSigtermWithSlowClientsAttached();
    void databaseFileIsTheOwnersAlone();
    void passwordsAreHashedOverTheirBytes();
    void failedSignInsMakeTheAccountAndAddressWait();
    void olderPasswordHashesAreMadeAgainAtSignIn();
    void storedEventsAndSessionsAreBounded();
    void unknownMethodsGetErr();
    void storeSurvivesRestart();

private:
    std::unique_ptr<DevGateway> startGateway(DevGatewayOptions options);
    // Replaces the gateway with a seeded in-memory one, its options changed by change.
    bool restartSeededInMemory(const std::function<void(DevGatewayOptions &)> &change);
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
    if (options.passwordRounds == DevGatewayStore::DefaultPasswordRounds)
        options.passwordRounds = 1000; // the full count is for real use; here it only slows the suite
    auto gateway = std::make_unique<DevGateway>(options);
    QString error;
    if (!gateway->start(&error)) {
        qWarning() << "cannot start the gateway:" << error;
        return nullptr;
    }
    return gateway;
}

bool DevGatewayTest::restartSeededInMemory(const std::function<void(DevGatewayOptions &)> &change)
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = QStringLiteral(":memory:");
    options.seed = true;
    change(options);
    m_gateway = startGateway(options);
    return bool(m_gateway);
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
    QVERIFY(restartSeededInMemory([](DevGatewayOptions &options) { options.sessionTtlSeconds = 2; }));

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

    // Accepting a friend request marks it done; deleting hides it from the inbox but not from a reload.
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

void DevGatewayTest::channelMethodsCheckTheCallersRelation()
{
    // Every method of the gateway that names a channel has its rows.
    QStringList methods = m_gateway->channelMethods().keys();
    methods.sort();
    QCOMPARE(methods, channelNeeds().keys());
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");
    const QString png = QString::fromLatin1((QByteArray("\x89PNG\r\n\x1a\n", 8) + "data").toBase64());
    // Driven without sockets, as the table is long: the same form bodies.
    const auto call = [this](const QString &method, Fields fields, const QString &sid) {
        fields.insert(QStringLiteral("method"), method);
        fields.insert(QStringLiteral("sid"), sid);
        GatewayHttpRequest request;
        request.verb = "POST";
        request.path = QStringLiteral("gateway.php");
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            request.body += '&' + it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value());
        return QJsonDocument::fromJson(m_gateway->handleHttp(request).body);
    };
    const auto callObject = [&call](const QString &method, const Fields &fields, const QString &sid) {
        return call(method, fields, sid).object();
    };
    int room = 0;
    for (const QString &method : qAsConst(methods))
        for (int protection : {0, 1, 2})
            for (const QString relation : {"owner", "moderator", "member", "outsider"}) {
                const QByteArray where = (method + ' ' + QString::number(protection) + ' ' + relation).toUtf8();
                const bool allowed = allowedTo(channelNeeds().value(method), protection, relation);
                // A channel of Alice's; Bob is its moderator, its member or nothing to it.
                const QString id = callObject("AddChannel",
                                              {{"ChannelDisplayName", QStringLiteral("Room %1").arg(++room)},
                                               {"ChannelProtectionType", QString::number(protection)},
                                               {"ChannelPassword", "sesame"}},
                                              alice)
                                       .value("ChannelSocialUID")
                                       .toString();
                QVERIFY2(!id.isEmpty(), where.constData());
                if (relation == QLatin1String("moderator"))
                    QCOMPARE(callObject("changeChannelModerator",
                                        {{"channelUID", id}, {"memberUID", "1002"}, {"isModerator", "1"}}, alice)
                                 .value("result")
                                 .toString(),
                             QString("1"));
                if (relation == QLatin1String("member"))
                    QCOMPARE(callObject("inviteUserToChannel", {{"channelUID", id}, {"userUID", "1002"}}, alice)
                                 .value("result")
                                 .toString(),
                             QString("1"));
                const bool owner = relation == QLatin1String("owner");
                const QString other = owner ? QStringLiteral("1002") : QStringLiteral("1001");
                Fields fields;
                const QString key = m_gateway->channelMethods().value(method).value(0);
                fields.insert(key, key.contains(QLatin1String("URI"), Qt::CaseInsensitive)
                                       ? QStringLiteral("sip:confctl-%1@dev.tavri.test").arg(id)
                                       : id);
                const Fields extra =
                    QMap<QString, Fields>{
                        {"AddChannel", {{"ChannelDisplayName", "Below"}}},
                        {"EditChannel", {{"ChannelDisplayName", QStringLiteral("Renamed %1").arg(room)}}},
                        {"SetChannelImage",
                         {{"ChannelPictureFileName", "c.png"}, {"ChannelPictureRawDataBase64", png}}},
                        {"changeChannelFavorite", {{"isFav", "1"}}},
                        {"changeChannelModerator", {{"memberUID", other}, {"isModerator", "1"}}},
                        {"inviteUserToChannel", {{"userUID", other}}},
                        {"InviteUsersViaEmail", {{"to", owner ? "bob@example.test" : "alice@example.test"}}},
                    }
                        .value(method);
                for (auto it = extra.cbegin(); it != extra.cend(); ++it)
                    fields.insert(it.key(), it.value());
                const QJsonDocument answer = call(method, fields, owner ? alice : bob);

                // Refusals come as the client reads them: a record that does
                // not exist, an empty tree, or an error it shows.
                const QJsonObject object = answer.object();
                const bool refused = (answer.isArray() && answer.array().isEmpty())
                                     || (object.contains("ChannelLiveURI") && object.value("ChannelLiveURI").isNull())
                                     || object.value("reason").toString() == QLatin1String("forbidden");
                const QByteArray text = where + ": " + answer.toJson(QJsonDocument::Compact);
                QVERIFY2(refused != allowed, text.constData());
                if (allowed)
                    QVERIFY2(object.value("status").toString() != QLatin1String("ERR"), text.constData());
                // A refused invitation made no one a member: Bob still cannot open it.
                if (!allowed && relation == QLatin1String("outsider") && method.contains(QLatin1String("nvite")))
                    QVERIFY2(
                        callObject("GetChannelInfo", {{"ChannelSocialUID", id}}, bob).value("ChannelLiveURI").isNull(),
                        where.constData());
            }
}

void DevGatewayTest::hiddenChannelsStayOutOfListings()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");
    const QString open =
        callObject("AddChannel", {{"ChannelDisplayName", "Open"}}, alice).value("ChannelSocialUID").toString();
    const QString hidden =
        callObject("AddChannel",
                   {{"ChannelDisplayName", "Hidden"}, {"ChannelProtectionType", "2"}, {"ParentSocialUID", open}}, alice)
            .value("ChannelSocialUID")
            .toString();
    callObject("AddChannel", {{"ChannelDisplayName", "Below hidden"}, {"ParentSocialUID", hidden}}, alice);
    callObject("AddChannel", {{"ChannelDisplayName", "Beside"}, {"ParentSocialUID", open}}, alice);
    auto names = [&](const QString &sid) {
        QStringList list;
        for (const QJsonValue &ch : call("GetChannelsInHierarchy", {{"root", open}}, sid).array())
            list << ch.toObject().value("ChannelDisplayName").toString();
        return list;
    };
    QCOMPARE(names(alice), QStringList({"Open", "Beside", "Hidden", "Below hidden"}));
    // Bob sees the open tree without the hidden branch.
    QCOMPARE(names(bob), QStringList({"Open", "Beside"}));
    // A favourite Bob kept from before the channel was closed is not listed,
    // and he may still let go of it.
    const QString later =
        callObject("AddChannel", {{"ChannelDisplayName", "Later"}}, alice).value("ChannelSocialUID").toString();
    QCOMPARE(
        callObject("changeChannelFavorite", {{"channelUID", later}, {"isFav", "1"}}, bob).value("result").toString(),
        QString("1"));
    QCOMPARE(callObject("getChannelFavoritesList", {}, bob).value("data").toArray().size(), 1);
    QCOMPARE(callObject("EditChannel", {{"ChannelSocialUID", later}, {"ChannelProtectionType", "2"}}, alice)
                 .value("ChannelIsPasswordProtected")
                 .toString(),
             QString("2"));
    QVERIFY(callObject("getChannelFavoritesList", {}, bob).value("data").toArray().isEmpty());
    QCOMPARE(
        callObject("changeChannelFavorite", {{"channelUID", later}, {"isFav", "0"}}, bob).value("result").toString(),
        QString("1"));
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

void DevGatewayTest::storageIsCappedPerAccountAndAddress()
{
    const QString alice = signIn("alice@example.test", "tavri-dev");
    const QString bob = signIn("bob@example.test", "tavri-dev");
    auto refusedWith = [](const QJsonObject &answer, const char *words) {
        return answer.value("status").toString() == QLatin1String("ERR")
               && answer.value("msg").toString().contains(QLatin1String(words));
    };

    // Contact groups: a bounded name and count; the listing keeps each
    // group's members with it.
    QVERIFY(refusedWith(callObject("addContactGroup", {{"name", QString(101, 'g')}}, alice), "at most 100 characters"));
    QString first;
    for (int i = 0; i < 100; ++i) {
        const QString id = callObject("addContactGroup", {{"name", QStringLiteral("group %1").arg(i)}}, alice)
                               .value("groupID")
                               .toString();
        QVERIFY2(!id.isEmpty(), qPrintable(QString::number(i)));
        if (first.isEmpty())
            first = id;
    }
    QVERIFY(refusedWith(callObject("addContactGroup", {{"name", "one more"}}, alice), "at most 100 contact groups"));
    QVERIFY(!callObject("addContactGroup", {{"name", "bob's own"}}, bob).value("groupID").toString().isEmpty());
    for (const char *member : {"1002", "sip:u-1001@dev.tavri.test"})
        callObject("addContactGroupMember", {{"gid", first}, {"mid", member}}, alice);
    const QJsonArray groups = callObject("getContactGroups", {}, alice).value("data").toArray();
    QCOMPARE(groups.size(), 100);
    QCOMPARE(groups.at(0).toObject().value("members").toArray().size(), 2);
    QCOMPARE(groups.at(0).toObject().value("members").toArray().at(1).toObject().value("user_uid").toString(),
             QString("1002"));
    QVERIFY(groups.at(1).toObject().value("members").toArray().isEmpty());

    // Issue reports: a bounded size and count.
    QVERIFY(refusedWith(callObject("RequestIssue", {{"text", QString(70 * 1024, 'x')}}, alice), "longer than"));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(callObject("RequestIssue", {{"text", "it broke"}}, alice).value("result").toString(), QString("1"));
    QVERIFY(refusedWith(callObject("RequestIssue", {{"text", "again"}}, alice), "too many reports"));
    QCOMPARE(callObject("RequestIssue", {{"text", "mine"}}, bob).value("result").toString(), QString("1"));

    // Pictures: a bounded size; a new picture replaces the old one.
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8);
    auto setPicture = [&](const QByteArray &data) {
        return callObject("SetUserImage",
                          {{"UserPictureFileName", "me.png"}, {"UserPictureRawDataBase64", data.toBase64()}}, alice);
    };
    QVERIFY(refusedWith(setPicture(png + QByteArray(2 * 1024 * 1024, 'p')), "larger than"));
    const QString before = setPicture(png + "one").value("result").toString();
    const QString after = setPicture(png + "two").value("result").toString();
    QVERIFY(!before.isEmpty() && !after.isEmpty() && before != after);
    int status = 0;
    post(QByteArray(), QUrl(before).path().mid(1), &status);
    QCOMPARE(status, 404);
    QNetworkReply *reply = m_network->get(QNetworkRequest(QUrl(after)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    QVERIFY(reply->isFinished() || done.wait(10000));
    QCOMPARE(reply->readAll(), png + "two");
    reply->deleteLater();

    // Short links: one address keeps a bounded number; the same link again is the same code.
    auto shorten = [&](const QString &address, const QString &url) {
        GatewayHttpRequest request;
        request.verb = "POST";
        request.path = QStringLiteral("shorturl_ajax.php");
        request.host = QStringLiteral("gw");
        request.remoteAddress = address;
        request.body = "u=" + QUrl::toPercentEncoding(url);
        return QJsonDocument::fromJson(m_gateway->handleHttp(request).body).object().value("output_url").toString();
    };
    const QString again = shorten("10.0.0.1", "http://example.test/same");
    QCOMPARE(shorten("10.0.0.1", "http://example.test/same"), again);
    for (int i = 1; i < 1000; ++i)
        QVERIFY(!shorten("10.0.0.1", QStringLiteral("http://example.test/%1").arg(i)).isEmpty());
    QVERIFY(shorten("10.0.0.1", "http://example.test/over").isEmpty());
    QVERIFY(!shorten("10.0.0.2", "http://example.test/over").isEmpty());
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
    QVERIFY(restartSeededInMemory([](DevGatewayOptions &options) { options.readTimeoutSeconds = 120; }));

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

namespace {

// Peers that send a request a byte at a time, never finishing it: each byte
// comes well within the read timeout, so none of them is ever dropped.
class Drippers : public QObject
{
public:
    Drippers(quint16 port, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto *socket = new QTcpSocket(this);
            socket->connectToHost(QHostAddress::LocalHost, port);
            m_sockets.append(socket);
        }
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const QByteArray request = "POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 4000\r\n\r\n";
            for (QTcpSocket *socket : qAsConst(m_sockets))
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->write(request.mid(qMin(m_sent, request.size() - 1), 1).isEmpty() ? QByteArray("x")
                                                                                             : request.mid(m_sent, 1));
            ++m_sent;
        });
        m_timer.start(300);
    }
    bool allConnected()
    {
        return QTest::qWaitFor(
            [this] {
                return std::all_of(m_sockets.cbegin(), m_sockets.cend(),
                                   [](QTcpSocket *s) { return s->state() == QAbstractSocket::ConnectedState; });
            },
            20000);
    }
    // Every peer has sent the first bytes of its request, and they have
    // left this process: each has a request under way at the gateway.
    bool allBegun()
    {
        return QTest::qWaitFor(
            [this] {
                return m_sent >= 2 && std::all_of(m_sockets.cbegin(), m_sockets.cend(), [](QTcpSocket *s) {
                           return s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() == 0;
                       });
            },
            20000);
    }
    int stillConnected() const
    {
        return int(std::count_if(m_sockets.cbegin(), m_sockets.cend(),
                                 [](QTcpSocket *s) { return s->state() == QAbstractSocket::ConnectedState; }));
    }

private:
    QList<QTcpSocket *> m_sockets;
    QTimer m_timer;
    int m_sent = 0;
};

} // namespace

void DevGatewayTest::slowClientsByTheHundredDoNotStarveOthers()
{
    // More slow peers than a fixed pool of workers would have had.
    Drippers drippers(m_gateway->port(), 150);
    QVERIFY(drippers.allConnected());
    QVERIFY(drippers.allBegun());
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
    QCOMPARE(drippers.stillConnected(), 150); // the attack was still on
}

void DevGatewayTest::aBodyThatTricklesIsCutOffAtTheBodyTime()
{
    QVERIFY(restartSeededInMemory([](DevGatewayOptions &options) { options.bodyTimeoutSeconds = 2; }));
    // A byte every 300 ms is never a pause long enough for the read timeout;
    // the body as a whole takes too long.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, m_gateway->port());
    QVERIFY(slow.waitForConnected(5000));
    slow.write("POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n");
    QTimer drip;
    connect(&drip, &QTimer::timeout, &slow, [&slow] { slow.write("&"); });
    drip.start(300);
    QByteArray answer;
    QVERIFY(QTest::qWaitFor(
        [&] {
            answer += slow.readAll();
            return answer.contains("\r\n\r\n") || slow.state() != QAbstractSocket::ConnectedState;
        },
        30000));
    QVERIFY2(answer.startsWith("HTTP/1.1 408"), answer.constData());
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
}

void DevGatewayTest::aFormOfManyFieldsIsRefusedAtOnce()
{
    // Hundreds of thousands of distinct keys: refused by their count before
    // any is decoded, while a normal sign-in is answered.
    QByteArray body = "&method=LogEvent";
    for (int i = 0; i < 300000; ++i)
        body += "&k" + QByteArray::number(i) + "=v";
    QTcpSocket attacker;
    attacker.connectToHost(QHostAddress::LocalHost, m_gateway->port());
    QVERIFY(attacker.waitForConnected(5000));
    attacker.write("POST /gateway.php HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                   "Content-Length: "
                   + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QVERIFY(!signIn("bob@example.test", "tavri-dev").isEmpty());
    QByteArray answer;
    QVERIFY(QTest::qWaitFor(
        [&] {
            answer += attacker.readAll();
            return attacker.state() != QAbstractSocket::ConnectedState || answer.contains("}");
        },
        30000));
    answer += attacker.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 400"), answer.left(200).constData());
    QVERIFY(answer.contains("\"status\":\"ERR\""));
    // A form of a normal size is still taken, its fields cut to the bound.
    int status = 0;
    post("&method=LogEvent&a=1&b=2", QStringLiteral("gateway.php"), &status);
    QCOMPARE(status, 200);
}

void DevGatewayTest::stopsPromptlyOnSigtermWithSlowClientsAttached()
{
    QProcess gateway;
    gateway.setProgram(QStringLiteral(TAVRI_DEVGATEWAY));
    gateway.setArguments({"--listen", "127.0.0.1:0", "--db", m_dir.filePath("sigterm.sqlite"), "--seed"});
    gateway.setProcessChannelMode(QProcess::MergedChannels);
    gateway.start();
    QVERIFY(gateway.waitForStarted(10000));
    QByteArray output;
    QVERIFY(QTest::qWaitFor(
        [&] {
            output += gateway.readAll();
            return output.contains("/gateway.php");
        },
        60000));
    const QRegularExpressionMatch port = QRegularExpression(QStringLiteral(":(\\d+)/gateway.php")).match(output);
    QVERIFY2(port.hasMatch(), output.constData());
    Drippers drippers(quint16(port.captured(1).toInt()), 20);
    QVERIFY(drippers.allConnected());
    QVERIFY(drippers.allBegun());

    // It ends while the slow peers go on dripping; a stop that waited for
    // them would not end before they do.
    gateway.terminate();
    QVERIFY(gateway.waitForFinished(15000));
    QCOMPARE(gateway.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gateway.exitCode(), 0);
    QVERIFY(QTest::qWaitFor([&] { return drippers.stillConnected() == 0; }, 20000));
}

void DevGatewayTest::databaseFileIsTheOwnersAlone()
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = m_dir.filePath(QStringLiteral("new-folder/inner/gateway.sqlite"));
    options.seed = true;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
    // The user, group and other bits: the test runs as the file's owner.
    const auto owner = QFileDevice::ReadUser | QFileDevice::WriteUser;
    QCOMPARE(QFile::permissions(options.databasePath) & 0x0fff, owner);
    QCOMPARE(QFile::permissions(QFileInfo(options.databasePath).absolutePath()) & 0x0fff, owner | QFileDevice::ExeUser);
    // A file that was there before is made the owner's alone too.
    m_gateway.reset();
    QFile::setPermissions(options.databasePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    QCOMPARE(QFile::permissions(options.databasePath) & 0x0fff, owner);
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

void DevGatewayTest::failedSignInsMakeTheAccountAndAddressWait()
{
    QVERIFY(restartSeededInMemory([](DevGatewayOptions &options) {
        options.signInFailuresPerAccount = 3;
        options.signInFailuresPerAddress = 5;
        options.signInLockSeconds = 3600;
    }));
    auto login = [&](const QString &email, const QString &password) {
        return callObject("LoginUser", {{"email", email}, {"password", password}});
    };
    for (int i = 0; i < 3; ++i)
        QCOMPARE(login("alice@example.test", "guess").value("msg").toString(),
                 QString("Invalid e-mail address or password."));
    // Alice's account now waits, even for the right password; the client
    // shows the message of an answer without a token.
    const QJsonObject locked = login("alice@example.test", "tavri-dev");
    QVERIFY(!locked.contains("sid") && !locked.contains("auth_token"));
    QVERIFY2(locked.value("msg").toString().startsWith("Too many failed sign-ins."),
             qPrintable(locked.value("msg").toString()));
    // The same through a call that signs in with each request.
    QCOMPARE(callObject("getContactGroups", {{"email", "alice@example.test"}, {"password", "tavri-dev"}})
                 .value("reason")
                 .toString(),
             QString("not_signed_in"));
    // Bob is not held up by Alice's lock, and his success clears nothing of hers.
    QVERIFY(!login("bob@example.test", "tavri-dev").value("sid").toString().isEmpty());
    QVERIFY(login("alice@example.test", "tavri-dev").value("sid").toString().isEmpty());
    // Guessing across accounts from one address locks the address.
    for (const char *email : {"nobody@example.test", "nobody2@example.test"})
        login(QString::fromLatin1(email), "guess");
    QVERIFY2(login("bob@example.test", "tavri-dev").value("msg").toString().startsWith("Too many failed sign-ins."),
             "the address waits");
}

void DevGatewayTest::olderPasswordHashesAreMadeAgainAtSignIn()
{
    m_gateway.reset();
    DevGatewayOptions options;
    options.databasePath = m_dir.filePath(QStringLiteral("upgrade.sqlite"));
    options.passwordRounds = 1000;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    QCOMPARE(
        callObject("CreateAccount",
                   {{"email", "old@example.test"}, {"password", "secret1"}, {"uuid", "old"}, {"displayname", "Old"}})
            .value("status")
            .toString(),
        QString("OK"));
    m_gateway.reset();
    // The account as an older gateway stored it: the bare 32-byte key of
    // 10,000 rounds over the client's digest of the password.
    const QByteArray salt = QByteArray(16, 's');
    const QByteArray digest = QCryptographicHash::hash("secret1", QCryptographicHash::Md5).toHex();
    const QByteArray legacy = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, digest, salt, 10000, 32);
    auto storedHash = [&] {
        QByteArray hash;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("upgrade"));
            db.setDatabaseName(options.databasePath);
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT pw_hash FROM accounts WHERE email = 'old@example.test'"));
                if (q.next())
                    hash = q.value(0).toByteArray();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("upgrade"));
        return hash;
    };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("legacy"));
        db.setDatabaseName(options.databasePath);
        QVERIFY(db.open());
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE accounts SET pw_salt = ?, pw_hash = ? WHERE email = 'old@example.test'"));
        q.addBindValue(salt);
        q.addBindValue(legacy);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("legacy"));

    // A stronger gateway: a wrong password changes nothing; the right one
    // signs in and leaves a hash at the new strength, which signs in again.
    options.passwordRounds = 20000;
    m_gateway = startGateway(options);
    QVERIFY(m_gateway);
    QVERIFY(signIn("old@example.test", "wrong1").isEmpty());
    QCOMPARE(storedHash(), legacy);
    QVERIFY(!signIn("old@example.test", "secret1").isEmpty());
    const QByteArray upgraded = storedHash();
    QVERIFY2(upgraded.startsWith("p2$20000$"), upgraded.toHex().constData());
    QVERIFY(!signIn("old@example.test", "secret1").isEmpty());
    QVERIFY(signIn("old@example.test", "wrong1").isEmpty());
    // What the client sends, the digest, signs in as well.
    QVERIFY(!signIn("old@example.test", QString::fromLatin1(digest)).isEmpty());
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
    age.addBindValue(DevGatewayStore::keyOf(idle));
    QVERIFY(age.exec());
    QCOMPARE(age.numRowsAffected(), 1);
    // The file keeps no live session id or token in clear.
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM sessions WHERE sid IN ('%1', '%2')").arg(idle, active)), 0);
    QVERIFY(!signIn("alice@example.test", "tavri-dev").isEmpty());
    QCOMPARE(count("SELECT COUNT(*) FROM sessions"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM tokens WHERE kind = 'user'"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM tokens WHERE token LIKE 'dv1.%' OR sid IS NULL"), 0);
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
