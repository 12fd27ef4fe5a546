// An external application's realm and the web service: replies turned into
// signals, and the realm's login, join, talk-mode, presence and invitation
// operations as the voice service and the web service see them.

#include "fakecontroller.h"
#include "fakewebservice.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "sharedrealmtestsupport.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavrisharedidentityrealm.h"
#include "tavrisharedidentityrealmjsonreplyhandler.h"
#include "testenvironment.h"
#include "virtualkeyinfo.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using Request = TavriSharedIdentityRealmRequest;
using Payload = FakeController::Payload;
using Handler = TavriSharedIdentityRealmJsonReplyHandler;

namespace {

// Every signal of a reply handler, one text each, in order.
class HandlerRecorder
{
public:
    explicit HandlerRecorder(Handler *handler)
    {
        auto add = [this](const QString &text) { signals_.append(text); };
        auto b = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
        QObject::connect(handler, &Handler::sessionTokenReceived, [=](const QString &t) { add("session " + t); });
        QObject::connect(handler, &Handler::realmVerified, [=](const QString &n) { add("verified " + n); });
        QObject::connect(handler, &Handler::realmInfoReceived,
                         [=](const QString &n, const QString &u, const QString &i, const QString &d) {
                             add(QStringList{"info", n, u, i, d}.join(' '));
                         });
        QObject::connect(handler, &Handler::userIconReceived, [=](const QString &i) { add("icon " + i); });
        QObject::connect(handler, &Handler::loginVerified, [=](const QString &n, const QString &u, const QString &t) {
            add(QStringList{"login", n, u, t}.join(' '));
        });
        QObject::connect(handler, &Handler::contactAdded, [=](const QString &t, bool s, bool w) {
            add(QStringList{"added", t, b(s), b(w)}.join(' '));
        });
        QObject::connect(handler, &Handler::contactRemoved, [=](const QString &t, bool s) {
            add(QStringList{"removed", t, b(s)}.join(' '));
        });
        QObject::connect(handler, &Handler::userBlocked, [=](const QString &t, bool s) {
            add(QStringList{"blocked", t, b(s)}.join(' '));
        });
        QObject::connect(handler, &Handler::userUnblocked, [=](const QString &t, bool s) {
            add(QStringList{"unblocked", t, b(s)}.join(' '));
        });
        QObject::connect(handler, &Handler::contactListReceived, [=](const QStringList &u, const QStringList &n) {
            add("contacts [" + u.join(',') + "] [" + n.join(',') + "]");
        });
        QObject::connect(handler, &Handler::blockListReceived, [=](const QStringList &u, const QStringList &n) {
            add("blocklist [" + u.join(',') + "] [" + n.join(',') + "]");
        });
        QObject::connect(handler, &Handler::userInfoReceived,
                         [=](const QString &u, const QString &n) { add("userinfo " + u + " " + n); });
        QObject::connect(handler, &Handler::userNotFound, [=](const QString &t) { add("notfound " + t); });
        QObject::connect(handler, &Handler::channelAccessInfoReceived,
                         [=](const QString &n, const QString &u, const QString &v) {
                             add(QStringList{"access", n, u, v}.join(' '));
                         });
        QObject::connect(handler, &Handler::channelAccessDenied, [=](const QString &n) { add("denied " + n); });
        QObject::connect(handler, &Handler::nameUriMapped,
                         [=](const QString &n, const QString &u) { add("mapped " + n + " " + u); });
    }
    QStringList signals_;
};

} // namespace

class TestRealmWeb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void replies_data();
    void replies();
    void errorRepliesAreReportedOnly();
    void realmInfoIsKept_data();
    void realmInfoIsKept();
    void loginStartsOver();
    void loginWithoutWebClient();
    void joins();
    void deniedChannelAnswersTheJoin();
    void talkModes_data();
    void talkModes();
    void talkModeOffAndItsStorage();
    void presence();
    void acceptingTheNewestInvitation();
    void endingTheRealmSignsTheUserOut();

private:
    // Signs the realm's user in and waits for the session group.
    bool logIn(const QString &uri = QStringLiteral("sip:ann@x"));

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    LogCapture *m_log = nullptr;
    FakeController *m_controller = nullptr;
    TavriSharedIdentityRealm *m_realm = nullptr;
};

void TestRealmWeb::initTestCase()
{
    m_log = sharedrealmtest::beginRealmTest();
    QVERIFY(sharedrealmtest::startVoice(m_voice, true));
    m_web = sharedrealmtest::startWeb(
        this, {"RealmVerify", "RealmLogin", "RealmContactList", "RealmChangeContact", "RealmGetChannelAuth"});
    m_social = QSocialManager::getInstance();
}

void TestRealmWeb::cleanupTestCase()
{
    delete m_voice;
    // The voice login token of a realm user is never logged by the realm (the
    // voice stand-in names its accounts after their tokens, so only the
    // realm's own lines are looked at).
    for (const CapturedLine &line : m_log->matching(QStringLiteral("voice-token")))
        QVERIFY2(!line.message.startsWith(QLatin1String("TavriSharedIdentityRealm::onLoginVerified")),
                 qPrintable(line.message));
    delete m_log;
}

void TestRealmWeb::init()
{
    m_controller = new FakeController(QStringLiteral("web"));
    m_realm = sharedrealmtest::openRealm(*m_controller, QStringLiteral("webapp"));
    QVERIFY(m_controller->waitForRealm());
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmVerify")));
    oxc_clear_requests();
}

void TestRealmWeb::cleanup()
{
    delete m_realm;
    delete m_controller;
    m_realm = nullptr;
    m_controller = nullptr;
}

bool TestRealmWeb::logIn(const QString &uri)
{
    return sharedrealmtest::signIn(m_realm, uri);
}

void TestRealmWeb::replies_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty object lacks rsid") << "RealmVerify" << QByteArray("{}") << QStringList();
    QTest::newRow("null rsid") << "RealmVerify" << QByteArray(R"({"rsid":null})") << QStringList();
    QTest::newRow("not JSON") << "RealmVerify" << QByteArray() << QStringList();
    QTest::newRow("verify") << "RealmVerify"
                            << QByteArray(
                                   R"({"rsid":"r1","realm_display_name":"Game","realm_url":"u","realm_icon_uri":"i",)"
                                   R"("realm_description":"d"})")
                            << QStringList{"session r1", "verified Game", "info Game u i d"};
    QTest::newRow("verify with wrong types")
        << "RealmVerify" << QByteArray(R"({"rsid":"r1","realm_display_name":["x"]})")
        << QStringList{"session r1", "verified ", "info    "};
    QTest::newRow("login") << "RealmLogin"
                           << QByteArray(R"({"rsid":"r2","realm_user_uname":"ann","realm_user_icon_uri":"http://i",)"
                                         R"("realm_user_uri":"sip:ann@x","auth_token":"at"})")
                           << QStringList{"session r2", "icon http://i", "login ann sip:ann@x at"};
    QTest::newRow("refused add") << "RealmChangeContact"
                                 << QByteArray(R"({"rsid":"r","status":403,"list":"contacts","action":"add",)"
                                               R"("target":"bob"})")
                                 << QStringList{"session r", "added bob false true"};
    QTest::newRow("unblocked") << "RealmChangeContact"
                               << QByteArray(
                                      R"({"rsid":"r","status":200,"list":"block","action":"del","target":"bob"})")
                               << QStringList{"session r", "unblocked bob true"};
    QTest::newRow("blocked") << "RealmChangeContact"
                             << QByteArray(R"({"rsid":"r","status":"200","list":"block","action":"add","target":"b"})")
                             << QStringList{"session r", "blocked b true"};
    QTest::newRow("removed, name mapped first")
        << "RealmChangeContact"
        << QByteArray(R"({"rsid":"r","status":200,"list":"contact","action":"del","target":"bob","name":"Bob",)"
                      R"("uri":"sip:bob@x"})")
        << QStringList{"session r", "mapped Bob sip:bob@x", "removed bob true"};
    QTest::newRow("no status counts as failed")
        << "RealmChangeContact" << QByteArray(R"({"rsid":"r","action":"add","target":"bob"})")
        << QStringList{"session r", "added bob false false"};
    QTest::newRow("contact list")
        << "RealmContactList"
        << QByteArray(R"({"rsid":"r","contacts":[{"username":"Bob","sip_uri":"sip:bob@x"},)"
                      R"({"username":"Eve","sip_uri":""}],"blocked":[{"username":"Mal","sip_uri":"sip:mal@x"}]})")
        << QStringList{"session r", "mapped Bob sip:bob@x", "contacts [sip:bob@x,] [Bob,Eve]", "mapped Mal sip:mal@x",
                       "blocklist [sip:mal@x] [Mal]"};
    QTest::newRow("contact list of wrong types")
        << "RealmContactList" << QByteArray(R"({"rsid":"r","contacts":7,"blocked":["x",{"username":5}]})")
        << QStringList{"session r", "contacts [] []", "blocklist [,] [,5]"};
    QTest::newRow("user info") << "RealmUserInfo"
                               << QByteArray(R"({"rsid":"r","status":200,"username":"Bob","sip_uri":"sip:bob@x"})")
                               << QStringList{"session r", "userinfo sip:bob@x Bob", "mapped Bob sip:bob@x"};
    QTest::newRow("user not found") << "RealmUserInfo" << QByteArray(R"({"rsid":"r","status":404,"t":"zed"})")
                                    << QStringList{"session r", "notfound zed"};
    QTest::newRow("channel access")
        << "RealmGetChannelAuth"
        << QByteArray(R"({"rsid":"r","status":200,"name":"Lobby","sip_uri":"sip:lobby@x","vat":"v"})")
        << QStringList{"session r", "access Lobby sip:lobby@x v"};
    QTest::newRow("channel access refused")
        << "RealmGetChannelAuth" << QByteArray(R"({"rsid":"r","status":403,"name":"Lobby"})")
        << QStringList{"session r", "denied Lobby"};
    QTest::newRow("other method") << "RealmSendInvite" << QByteArray(R"({"rsid":"r"})") << QStringList{"session r"};
}

void TestRealmWeb::replies()
{
    QFETCH(QString, method);
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    Handler handler;
    HandlerRecorder recorder(&handler);
    QCOMPARE(handler.handleReply(method, QJsonDocument::fromJson(json)), false);
    QCOMPARE(recorder.signals_, expected);
}

void TestRealmWeb::errorRepliesAreReportedOnly()
{
    Handler handler;
    HandlerRecorder recorder(&handler);
    m_log->clear();
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("Error: SocialResponse.*m:bad.*r:why"));
    const QJsonDocument reply = QJsonDocument::fromJson(R"({"status":"ERR","msg":"bad","reason":"why","rsid":"r"})");
    QCOMPARE(handler.handleReply(QStringLiteral("RealmLogin"), reply), false);
    QVERIFY(recorder.signals_.isEmpty());
    // The analytics event of category Error, label SocialResponse.
    bool logged = false;
    for (const CapturedLine &line : m_log->lines())
        logged |= line.file == "Error.SocialResponse" && line.message.contains(QLatin1String("m:bad"));
    QVERIFY(logged);
}

void TestRealmWeb::realmInfoIsKept_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<QStringList>("expected"); // display name, address, icon, description
    QTest::newRow("full") << QJsonObject{{"rsid", "r1"},
                                         {"realm_display_name", "Game"},
                                         {"realm_url", "https://game.test/"},
                                         {"realm_icon_uri", "https://game.test/icon.png"},
                                         {"realm_description", "A game"}}
                          << QStringList{"Game", "https://game.test/", "https://game.test/icon.png", "A game"};
    QTest::newRow("empty reply") << QJsonObject() << QStringList{"", "", "", ""};
    QTest::newRow("session id only") << QJsonObject{{"rsid", "r1"}} << QStringList{"", "", "", ""};
}

void TestRealmWeb::realmInfoIsKept()
{
    QFETCH(QJsonObject, reply);
    QFETCH(QStringList, expected);
    // A realm of its own, whose verification gets this reply.
    cleanup();
    m_web->reply(QStringLiteral("RealmVerify"), reply);
    m_log->clear();
    m_controller = new FakeController(QStringLiteral("info"));
    m_realm = sharedrealmtest::openRealm(*m_controller, QStringLiteral("infoapp"));
    QVERIFY(m_controller->waitForRealm());
    // The handler's last word on the reply: its info signal reached the
    // realm, or the reply was dropped for lacking a session id.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return !m_log->matching(QStringLiteral("TavriSharedIdentityRealm::onRealmInfoReceived")).isEmpty()
                   || !m_log->matching(QStringLiteral("expected realmSessionId")).isEmpty();
        },
        30000));
    QCOMPARE((QStringList{m_realm->realmDisplayName(), m_realm->realmURL(), m_realm->realmIconURL(),
                          m_realm->realmDescription()}),
             expected);
}

void TestRealmWeb::loginStartsOver()
{
    QVERIFY(logIn());
    const QString account = m_realm->getAccountHandle();
    const QString group = m_realm->getSessionGroupHandle();
    QVERIFY(!account.isEmpty() && !group.isEmpty());
    oxc_clear_requests();

    QSignalSpy states(m_realm, &TavriSharedIdentityRealm::loginStateChange);
    m_realm->requestLogin(QStringLiteral("ann"), QStringLiteral("user-token"));
    QCOMPARE(
        QByteArray(sharedrealmtest::lastVoiceRequest<ox_req_sessiongroup_terminate_t>(OX_REQ_SESSIONGROUP_TERMINATE)
                       ->session_group_handle),
        group.toUtf8());
    QCOMPARE(
        QByteArray(sharedrealmtest::lastVoiceRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT)->account_handle),
        account.toUtf8());
    QVERIFY(m_realm->getAccountHandle().isEmpty());
    QVERIFY(m_realm->getSessionGroupHandle().isEmpty());
    QCOMPARE(m_realm->getLoginState(), TavriSharedIdentityRealm::LoggedOut);
    QCOMPARE(states.size(), 1);
    QCOMPARE(states.first().first().value<TavriSharedIdentityRealm::LoginState>(),
             TavriSharedIdentityRealm::LoginRequested);
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmLogin")));
    const FakeWebService::Request login = m_web->requestsFor(QStringLiteral("RealmLogin")).last();
    QCOMPARE(login.value(QStringLiteral("uname")), QStringLiteral("ann"));
    QCOMPARE(login.value(QStringLiteral("utok")), QStringLiteral("user-token"));
    QVERIFY(!m_log->text().contains(QLatin1String("user-token")));
}

void TestRealmWeb::loginWithoutWebClient()
{
    QVERIFY(logIn());
    const QString account = m_realm->getAccountHandle();
    const int before = m_web->requestsFor(QStringLiteral("RealmLogin")).size();
    delete m_social;
    m_social = nullptr;
    oxc_clear_requests();

    QSignalSpy states(m_realm, &TavriSharedIdentityRealm::loginStateChange);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Tavri not yet fully initialized, or being torn down"));
    m_realm->requestLogin(QStringLiteral("ann"), QStringLiteral("user-token"));
    // The held account is still given up; nothing else happens.
    QCOMPARE(
        QByteArray(sharedrealmtest::lastVoiceRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT)->account_handle),
        account.toUtf8());
    QCOMPARE(states.size(), 0);

    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    // A marker call shows that no login was posted meanwhile.
    m_realm->requestContactList();
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmContactList")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("RealmLogin")).size(), before);
}

void TestRealmWeb::joins()
{
    // Before login a join waits for the session group.
    m_realm->requestJoin(QStringLiteral("sip:early@x"), QString());
    QCOMPARE(m_realm->joinsInProgress(), QStringList{"sip:early@x"});
    QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);

    QVERIFY(logIn());
    // The waiting join goes out once the session group is there.
    QTRY_COMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_SESSIONGROUP_ADD_SESSION), 1);
    QCOMPARE(
        QByteArray(
            sharedrealmtest::lastVoiceRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION)->uri),
        QByteArray("sip:early@x"));
    // Replayed joins leave the list; the session they bring still joins.
    QVERIFY(m_realm->joinsInProgress().isEmpty());
    QSignalSpy joined(m_realm, &TavriSharedIdentityRealm::conversationJoined);
    emit m_voice->sessionAdded(m_realm->getSessionGroupHandle(), QStringLiteral("sip:early@x"),
                               QStringLiteral("early-session"));
    QCOMPARE(m_realm->getSessionHandleForChannel(QStringLiteral("sip:early@x")), QStringLiteral("early-session"));
    QCOMPARE(joined.count(), 1);
    oxc_clear_requests();

    m_realm->requestJoin(QStringLiteral("sip:c@x"), QString());
    const auto *add =
        sharedrealmtest::lastVoiceRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QVERIFY(add);
    QCOMPARE(QByteArray(add->uri), QByteArray("sip:c@x"));
    QCOMPARE(QByteArray(add->session_group_handle), m_realm->getSessionGroupHandle().toUtf8());

    // A name asks the web service for access first; listed once however often.
    m_realm->requestJoin(QStringLiteral("Lobby"), QString());
    m_realm->requestJoin(QStringLiteral("Lobby"), QString());
    QCOMPARE(m_realm->joinsInProgress().count(QStringLiteral("Lobby")), 1);
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmGetChannelAuth")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("RealmGetChannelAuth")).last().value(QStringLiteral("n")),
             QStringLiteral("Lobby"));
}

void TestRealmWeb::deniedChannelAnswersTheJoin()
{
    QVERIFY(logIn());
    m_web->reply(QStringLiteral("RealmGetChannelAuth"), QJsonObject{{"rsid", "r"}, {"status", 403}, {"name", "Lobby"}});
    QCOMPARE(m_controller->send(Payload(Request::JoinRequest).string("").string("").string("Lobby")),
             std::optional<qint32>(0));
    // The login's own response may come first.
    FakeController::Frame frame;
    QVERIFY(QTest::qWaitFor([&] {
        for (const FakeController::Frame &candidate : m_controller->takeFrames()) {
            if (candidate.messageType == 1 && candidate.type == 2)
                frame = candidate;
        }
        return frame.type == 2;
    }));
    QCOMPARE(frame.type, 2);
    QCOMPARE(frame.int32(), 403);
    QCOMPARE(frame.string(), QStringLiteral("Channel access denied"));
    QCOMPARE(frame.int32(), int(Request::JoinRequest));
    QCOMPARE(frame.strings(3), (QStringList{"", "", "Lobby"}));
    QVERIFY(frame.atEnd());
    QCOMPARE(m_realm->pendingRequestCount(Request::JoinRequest), 0);
    QVERIFY(m_realm->joinsInProgress().isEmpty());
}

void TestRealmWeb::talkModes_data()
{
    QTest::addColumn<QString>("combination");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("shift and the plus key") << "leftshift++" << QStringList{"leftshift", "+"};
    QTest::newRow("shift alone") << "leftshift+" << QStringList{"leftshift"};
    QTest::newRow("two letters") << "q+a" << QStringList{"q", "a"};
    QTest::newRow("any case") << "LeftShift+Q" << QStringList{"leftshift", "q"};
}

void TestRealmWeb::talkModes()
{
    QFETCH(QString, combination);
    QFETCH(QStringList, keys);
    QList<int> codes;
    for (const QString &key : keys) {
        int code = VoiceManager::getVirtualKeyCodeByName(key);
        for (const VirtualKeyInfo &info : VirtualKeyInfo::records())
            code = key == QLatin1String("+") && info.vkName == QLatin1String("VK_OEM_PLUS") ? info.code : code;
        codes.append(code);
        QVERIFY(codes.last() > 0);
    }
    QVERIFY(logIn());
    oxc_clear_requests();
    m_realm->setTalkMode(2, combination);
    const auto *binding = sharedrealmtest::lastVoiceRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(
        OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE);
    QVERIFY(binding);
    QCOMPARE(QByteArray(binding->binding_name), QByteArray("webapp_PTT"));
    QList<int> bound;
    for (int i = 0; i < binding->key_count; ++i)
        bound.append(binding->key_codes[i]);
    // The order of the keys does not matter to the binding.
    std::sort(bound.begin(), bound.end());
    std::sort(codes.begin(), codes.end());
    QCOMPARE(bound, codes);
    QCOMPARE(
        sharedrealmtest::lastVoiceRequest<ox_req_connector_mute_local_mic_t>(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC)->mute, 1);
}

void TestRealmWeb::talkModeOffAndItsStorage()
{
    // A URI with a slash and a backslash still names one group of its own.
    const QString uri = QStringLiteral("sip:a/b\\c@x");
    QVERIFY(logIn(uri));
    StorageManager *storage = StorageManager::getInstance();
    m_realm->setTalkMode(3, QStringLiteral("q"));
    QCOMPARE(storage->getSettingsValue(QStringLiteral("talkMode"), 0, QStringLiteral("sip:a%2Fb%5Cc@x")).toInt(), 3);
    QCOMPARE(storage->getSettingsValue(QStringLiteral("talkKeyCombo"), QString(), QStringLiteral("sip:a%2Fb%5Cc@x"))
                 .toString(),
             QStringLiteral("q"));

    // A combination of no known key changes neither binding nor microphone.
    oxc_clear_requests();
    m_realm->setTalkMode(2, QStringLiteral("nosuchkey"));
    QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE), 0);
    QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 0);

    const QString account = m_realm->getAccountHandle();
    const QString group = m_realm->getSessionGroupHandle();
    m_realm->setTalkMode(1, QString());
    // Push-to-talk off keeps the voice account and its session group.
    QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_ACCOUNT_LOGOUT), 0);
    QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_SESSIONGROUP_TERMINATE), 0);
    QCOMPARE(m_realm->getAccountHandle(), account);
    QCOMPARE(m_realm->getSessionGroupHandle(), group);
    QCOMPARE(m_realm->getLoginState(), TavriSharedIdentityRealm::SessionGroupReady);
    const auto *binding = sharedrealmtest::lastVoiceRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(
        OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE);
    QCOMPARE(QByteArray(binding->binding_name), QByteArray("webapp_PTT"));
    QCOMPARE(binding->key_count, 0);
    QCOMPARE(
        sharedrealmtest::lastVoiceRequest<ox_req_connector_mute_local_mic_t>(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC)->mute, 0);
    QCOMPARE(storage->getSettingsValue(QStringLiteral("talkMode"), 0, QStringLiteral("sip:a%2Fb%5Cc@x")).toInt(), 1);
    // The next login applies the stored mode.
    QCOMPARE(storage->getSettingsValue(QStringLiteral("talkKeyCombo"), QString(), QStringLiteral("sip:a%2Fb%5Cc@x"))
                 .toString(),
             QStringLiteral("nosuchkey"));

    // A mode outside 1..3 is only stored: no binding, microphone or account
    // change.
    for (const int mode : {0, 4, -1}) {
        oxc_clear_requests();
        m_realm->setTalkMode(mode, QStringLiteral("q"));
        QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE), 0);
        QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 0);
        QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_ACCOUNT_LOGOUT), 0);
        QCOMPARE(sharedrealmtest::voiceRequestCount(OX_REQ_SESSIONGROUP_TERMINATE), 0);
        QCOMPARE(storage->getSettingsValue(QStringLiteral("talkMode"), 0, QStringLiteral("sip:a%2Fb%5Cc@x")).toInt(),
                 mode);
    }
    QCOMPARE(m_realm->getLoginState(), TavriSharedIdentityRealm::SessionGroupReady);
}

void TestRealmWeb::presence()
{
    QVERIFY(logIn());
    const QByteArray account = m_realm->getAccountHandle().toUtf8();
    struct Step {
        int presence;
        QString message;
        int sent; // -1: nothing sent
    };
    const QList<Step> steps{{5, "brb", 5}, {5, "brb", -1}, {3, "brb", 2}, {3, "back", 2}, {0, "back", 2}};
    for (const Step &step : steps) {
        oxc_clear_requests();
        m_realm->setPresence(step.presence, step.message);
        const auto *request =
            sharedrealmtest::lastVoiceRequest<ox_req_account_set_presence_t>(OX_REQ_ACCOUNT_SET_PRESENCE);
        if (step.sent < 0) {
            QVERIFY(!request);
            continue;
        }
        QVERIFY(request);
        QCOMPARE(QByteArray(request->account_handle), account);
        QCOMPARE(request->presence, step.sent);
        QCOMPARE(QString::fromUtf8(request->custom_message), step.message);
    }
}

void TestRealmWeb::acceptingTheNewestInvitation()
{
    QVERIFY(logIn());
    const QString account = m_realm->getAccountHandle();
    const QString type = QStringLiteral("x-ostrel-notification");
    m_realm->onVoiceNetworkAppDataReceived(account, type, QStringLiteral("ri|carl|sip:c1@x|One"));
    m_realm->onVoiceNetworkAppDataReceived(account, type, QStringLiteral("ri|dana|sip:c2@x|Two"));
    QCOMPARE(m_realm->pendingInvitations().size(), 2);
    oxc_clear_requests();

    m_realm->respondToInvite(-1, false);
    QCOMPARE(m_realm->pendingInvitations().size(), 1);
    QCOMPARE(m_realm->pendingInvitations().first().conversationURI, QStringLiteral("sip:c1@x"));
    QCOMPARE(m_realm->pendingRequestCount(Request::JoinRequest), 1);
    QCOMPARE(
        QByteArray(
            sharedrealmtest::lastVoiceRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION)->uri),
        QByteArray("sip:c2@x"));

    // Declining, and indexes outside the list.
    m_realm->respondToInvite(5, false);
    m_realm->respondToInvite(-2, false);
    QCOMPARE(m_realm->pendingInvitations().size(), 1);
    m_realm->respondToInvite(0, true);
    QVERIFY(m_realm->pendingInvitations().isEmpty());
    QCOMPARE(m_realm->pendingRequestCount(Request::JoinRequest), 1);
}

void TestRealmWeb::endingTheRealmSignsTheUserOut()
{
    QVERIFY(logIn());
    const QByteArray account = m_realm->getAccountHandle().toUtf8();
    const QByteArray group = m_realm->getSessionGroupHandle().toUtf8();
    oxc_clear_requests();
    delete m_realm;
    m_realm = nullptr;
    QCOMPARE(
        QByteArray(sharedrealmtest::lastVoiceRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT)->account_handle),
        account);
    QCOMPARE(
        QByteArray(sharedrealmtest::lastVoiceRequest<ox_req_sessiongroup_terminate_t>(OX_REQ_SESSIONGROUP_TERMINATE)
                       ->session_group_handle),
        group);
}

TAVRI_TEST_GUILESS_MAIN(TestRealmWeb)
#include "tst_realmweb.moc"
