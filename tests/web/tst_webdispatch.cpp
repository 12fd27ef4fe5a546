// The web client's own reply dispatch: error answers, the session id and its
// expiry, the analytics switch, update offers, the login answer and the other
// account answers, and the login-state gates in front of them.

#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "websettle.h"
#include "webtestsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QtTest>

using namespace webtest;

namespace {

const QString kOwnUri = QStringLiteral("sip:u-me@voice.test");
const QString kExpiryText = QStringLiteral("Your session has expired, please log back in to continue.");

QJsonDocument doc(const QJsonObject &object)
{
    return QJsonDocument(object);
}

// The analytics events recorded since the log was last cleared, each as
// "category/label", in order.
QStringList recordedEvents()
{
    QStringList events;
    for (const CapturedLine &entry : testLog().lines()) {
        if (entry.category == "userint") {
            const QString file = QString::fromUtf8(entry.file);
            events.append(file.section(QLatin1Char('.'), 0, 0) + QLatin1Char('/') + file.section(QLatin1Char('.'), 1));
        }
    }
    return events;
}

// The message of the first analytics event "category/label", or a null text.
QString eventDetails(const QString &event)
{
    const QString file = QString(event).replace(QLatin1Char('/'), QLatin1Char('.'));
    for (const CapturedLine &entry : testLog().lines()) {
        if (entry.category == "userint" && entry.file == file.toUtf8())
            return entry.message;
    }
    return QString();
}

} // namespace

class WebDispatchTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void errorAnswerEndsTheCall_data();
    void errorAnswerEndsTheCall();
    void statusInOtherLettersIsNoError();
    void sessionExpiry_data();
    void sessionExpiry();
    void reloginsStopAfterFifteen();
    void acceptedLoginRestartsTheReloginCount();
    void analyticsSwitch_data();
    void analyticsSwitch();
    void replyWhileLoggingOutIsDropped();
    void loginAcceptedStartsVoiceLoginFirst();
    void loginWithoutToken_data();
    void loginWithoutToken();
    void loginOutsideLoggingInIsIgnored_data();
    void loginOutsideLoggingInIsIgnored();
    void settingOverrides();
    void userUuidExists_data();
    void userUuidExists();
    void accountAnswers();
    void gatedMethods();

private:
    void enterState(LocalUser::LoginState state);
    QJsonObject loginAnswer() const;

    FakeWebService *m_fake = nullptr;
    TestSocialManager *m_manager = nullptr;
};

void WebDispatchTest::initTestCase()
{
    startWebTests();
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
}

void WebDispatchTest::init()
{
    openClientOverFake(m_fake, m_manager);
    // Whatever the local user asks for while it signs in is answered with
    // nothing of note; the login itself is answered by the tests.
    m_fake->setSignInDefaults(QJsonObject());
    StorageManager::getInstance()->setLogMeIn(true);
}

void WebDispatchTest::cleanup()
{
    // Back to logged out, without a reconnect.
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
    closeClientOverFake(m_fake, m_manager);
    QCOMPARE(LocalUser::getLocalUser()->getLoginState(), LocalUser::LoggedOut);
}

void WebDispatchTest::enterState(LocalUser::LoginState state)
{
    if (state == LocalUser::LoggedOut)
        return;
    signedin::enterLoginState(*m_fake, state, kOwnUri);
    QCOMPARE(LocalUser::getLocalUser()->getLoginState(), state);
    testLog().clear();
}

QJsonObject WebDispatchTest::loginAnswer() const
{
    return QJsonObject{{"auth_token", "tok-1"},          {"UserLiveURI", "sip:u-Me@voice.test"},
                       {"UserEmail", "me@example.test"}, {"UserSocialUID", "77"},
                       {"UserDisplayName", "Me Myself"}, {"UserPictureUrl", "/var/www/html/img/u/7.png"},
                       {"UserLocation", "Here"},         {"UserStatusText", "Busy"},
                       {"UserDescription", "About me"},  {"sid", "s-1"}};
}

void WebDispatchTest::errorAnswerEndsTheCall_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("addFailed");
    QTest::addColumn<int>("editFailed");
    QTest::addColumn<int>("favoriteChanged");

    const QString sameName =
        QStringLiteral("Cannot add root channel with same name as another root channel of the same user");
    QTest::newRow("login") << "LoginUser" << int(LocalUser::LoggingIn) << "bad password" << 0 << 0 << 0;
    QTest::newRow("account") << "CreateAccount" << int(LocalUser::LoggedOut) << "taken" << 0 << 0 << 0;
    QTest::newRow("add channel, same name") << "AddChannel" << int(LocalUser::LoggedIn) << sameName << 1 << 0 << 0;
    QTest::newRow("edit channel, same name") << "EditChannel" << int(LocalUser::LoggedIn) << sameName << 0 << 1 << 0;
    QTest::newRow("other method, same name") << "GetChannelInfo" << int(LocalUser::LoggedIn) << sameName << 0 << 0 << 0;
    QTest::newRow("favourite already") << "changeChannelFavorite" << int(LocalUser::LoggedIn)
                                       << "Channel is already part of the favorites" << 0 << 0 << 1;
}

void WebDispatchTest::errorAnswerEndsTheCall()
{
    QFETCH(QString, method);
    QFETCH(int, state);
    QFETCH(QString, reason);
    QFETCH(int, addFailed);
    QFETCH(int, editFailed);
    QFETCH(int, favoriteChanged);
    enterState(LocalUser::LoginState(state));
    m_manager->setSessionId(QStringLiteral("s-0"));

    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    QSignalSpy add(m_manager, &QSocialManager::addChannelFailed);
    QSignalSpy edit(m_manager, &QSocialManager::editChannelFailed);
    QSignalSpy favorite(m_manager, &QSocialManager::channelFavoriteChanged);
    QSignalSpy expired(m_manager, &QSocialManager::sessionExpired);
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    QSignalSpy loginFailed(m_manager, &QSocialManager::socialLoginFailed);
    QSignalSpy accountFailed(m_manager, &QSocialManager::createAccountFailed);
    QSignalSpy update(m_manager, &QSocialManager::updateAvailable);

    // Everything but the status would have an effect of its own.
    const QJsonObject reply{{"status", "ERR"},     {"msg", "It failed"},   {"reason", reason},      {"sid", ""},
                            {"auth_token", "tok"}, {"update_msg", "new!"}, {"UserLiveURI", kOwnUri}};
    QVERIFY(!m_manager->handleReply(method, doc(reply)));

    QCOMPARE(error.size(), 1);
    QCOMPARE(error.at(0).at(0).toString(), QStringLiteral("It failed"));
    QCOMPARE(add.size(), addFailed);
    QCOMPARE(edit.size(), editFailed);
    QCOMPARE(favorite.size(), favoriteChanged);
    if (favoriteChanged) {
        QCOMPARE(favorite.at(0).at(0).toString(), QString());
        QCOMPARE(favorite.at(0).at(1).toBool(), true);
    }
    QCOMPARE(expired.size() + loginOk.size() + loginFailed.size() + accountFailed.size() + update.size(), 0);
    QCOMPARE(recordedEvents(), QStringList{"Error/SocialResponse"});
    QVERIFY(eventDetails("Error/SocialResponse").contains(QStringLiteral("\"m:It failed\", \"r:") + reason + "\""));
    QCOMPARE(testLog().matching(QStringLiteral("Error: SocialResponse")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("Error: SocialResponse")).first().type, QtCriticalMsg);
}

void WebDispatchTest::statusInOtherLettersIsNoError()
{
    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    QSignalSpy failed(m_manager, &QSocialManager::createAccountFailed);
    QSignalSpy succeeded(m_manager, &QSocialManager::createAccountSucceeded);

    QVERIFY(m_manager->handleReply("CreateAccount", doc({{"status", "err"}, {"msg", "name taken"}})));
    QVERIFY(m_manager->handleReply("CreateAccount", doc({{"status", "Error"}})));
    QCOMPARE(error.size(), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("name taken"));
    QCOMPARE(succeeded.size(), 1);
}

void WebDispatchTest::sessionExpiry_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<bool>("expires");

    QTest::newRow("empty sid after one") << "s-1" << QJsonObject{{"sid", ""}} << true << true;
    QTest::newRow("auto-login off") << "s-1" << QJsonObject{{"sid", ""}} << false << true;
    QTest::newRow("no sid") << "s-1" << QJsonObject{{"x", 1}} << true << false;
    QTest::newRow("sid not a text") << "s-1" << QJsonObject{{"sid", 0}} << true << false;
    QTest::newRow("sid null") << "s-1" << QJsonObject{{"sid", QJsonValue::Null}} << true << false;
    QTest::newRow("new sid") << "s-1" << QJsonObject{{"sid", "s-2"}} << true << false;
    QTest::newRow("no session before") << "" << QJsonObject{{"sid", ""}} << true << false;
}

void WebDispatchTest::sessionExpiry()
{
    QFETCH(QString, before);
    QFETCH(QJsonObject, reply);
    QFETCH(bool, autoLogin);
    QFETCH(bool, expires);
    StorageManager::getInstance()->setLogMeIn(autoLogin);
    m_manager->setSessionId(before);
    m_fake->hang(QStringLiteral("LoginUser"));

    QSignalSpy expired(m_manager, &QSocialManager::sessionExpired);
    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    // Logged out, so the method itself ends at the login gate after the
    // generic steps.
    m_manager->handleReply(QStringLiteral("GetChannelInfo"), doc(reply));

    QCOMPARE(expired.size(), expires ? 1 : 0);
    const bool relogin = expires && autoLogin;
    QCOMPARE(error.size(), expires && !autoLogin ? 1 : 0);
    if (!error.isEmpty())
        QCOMPARE(error.at(0).at(0).toString(), kExpiryText);
    if (relogin)
        QVERIFY(m_fake->waitForRequest(QStringLiteral("LoginUser")));
    QVERIFY(webtest::settle(*m_fake, *m_manager));
    QCOMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), relogin ? 1 : 0);
    QCOMPARE(recordedEvents().contains(QStringLiteral("SocialResponse/SessionExpired")), expires);
    QCOMPARE(testLog().matching(QStringLiteral("handleReply executed when not logged in")).size(), 1);
}

void WebDispatchTest::reloginsStopAfterFifteen()
{
    // Logged out, the re-login answers are dropped as late login answers.
    m_fake->setDefault(QStringLiteral("LoginUser"), QJsonObject{{"late", true}});
    QSignalSpy expired(m_manager, &QSocialManager::sessionExpired);
    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    for (int i = 0; i < 16; ++i) {
        m_manager->setSessionId(QStringLiteral("s"));
        m_manager->handleReply(QStringLiteral("LogEvent"), doc({{"sid", ""}}));
    }
    QCOMPARE(expired.size(), 16);
    QCOMPARE(error.size(), 1);
    QCOMPARE(error.at(0).at(0).toString(), kExpiryText);
    QTRY_COMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 15);
    QVERIFY(webtest::settle(*m_fake, *m_manager));
    QCOMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 15);
    const FakeWebService::Request relogin = m_fake->requestsFor(QStringLiteral("LoginUser")).first();
    QVERIFY(relogin.has(QStringLiteral("email")));
}

void WebDispatchTest::acceptedLoginRestartsTheReloginCount()
{
    m_fake->setDefault(QStringLiteral("LoginUser"), QJsonObject{{"late", true}});
    for (int i = 0; i < 15; ++i) {
        m_manager->setSessionId(QStringLiteral("s"));
        m_manager->handleReply(QStringLiteral("LogEvent"), doc({{"sid", ""}}));
    }
    QTRY_COMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 15);
    // Every re-login answer is back before the next login starts.
    QTRY_COMPARE(testLog().matching(QStringLiteral("Response received after aborting logging in")).size(), 15);

    enterState(LocalUser::LoggingIn);
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    QVERIFY(m_manager->handleReply(QStringLiteral("LoginUser"), doc(loginAnswer())));
    QCOMPARE(loginOk.size(), 1);
    QTRY_COMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 16);

    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    m_fake->hang(QStringLiteral("LoginUser"));
    m_manager->setSessionId(QStringLiteral("s"));
    m_manager->handleReply(QStringLiteral("LogEvent"), doc({{"sid", ""}}));
    QCOMPARE(error.size(), 0);
    QTRY_COMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 17);
}

void WebDispatchTest::analyticsSwitch_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<bool>("logging");

    QTest::newRow("true") << doc({{"logging", true}}) << true;
    QTest::newRow("null") << doc({{"logging", QJsonValue::Null}}) << true;
    QTest::newRow("absent") << doc({{"x", 1}}) << true;
    QTest::newRow("empty object") << doc({}) << true;
    QTest::newRow("false") << doc({{"logging", false}}) << false;
    QTest::newRow("number 1") << doc({{"logging", 1}}) << false;
    QTest::newRow("number 0") << doc({{"logging", 0}}) << false;
    QTest::newRow("text") << doc({{"logging", "true"}}) << false;
    QTest::newRow("array") << doc({{"logging", QJsonArray{true}}}) << false;
    QTest::newRow("object") << doc({{"logging", QJsonObject{}}}) << false;
    // Not an object: the switch stays where the previous reply put it (off).
    QTest::newRow("array reply") << QJsonDocument(QJsonArray{QJsonObject{{"logging", true}}}) << false;
}

void WebDispatchTest::analyticsSwitch()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(bool, logging);
    m_manager->onDoNotLogChanged(true);

    m_manager->handleReply(QStringLiteral("GetChannelInfo"), reply);
    QSignalSpy queued(m_manager, &QSocialManager::logEventQueued);
    m_manager->logEvent(QStringLiteral("t"), QStringLiteral("probe"), {});
    QCOMPARE(queued.size(), logging ? 1 : 0);
}

void WebDispatchTest::replyWhileLoggingOutIsDropped()
{
    enterState(LocalUser::LoggingOut);
    m_manager->setSessionId(QStringLiteral("s"));
    m_manager->onDoNotLogChanged(true);
    QSignalSpy error(m_manager, &QSocialManager::errorResponse);
    QSignalSpy expired(m_manager, &QSocialManager::sessionExpired);
    QSignalSpy update(m_manager, &QSocialManager::updateAvailable);

    QVERIFY(!m_manager->handleReply(QStringLiteral("CreateAccount"), doc({{"status", "ERR"}, {"msg", "x"}})));
    QVERIFY(!m_manager->handleReply(QStringLiteral("GetChannelInfo"),
                                    doc({{"sid", ""}, {"update_msg", "new"}, {"logging", true}})));
    QCOMPARE(error.size() + expired.size() + update.size(), 0);
    QCOMPARE(testLog().matching(QStringLiteral("handleReply executed when exit requested")).size(), 2);
    // The analytics switch did not run either.
    QSignalSpy queued(m_manager, &QSocialManager::logEventQueued);
    m_manager->logEvent(QStringLiteral("t"), QStringLiteral("probe"), {});
    QCOMPARE(queued.size(), 0);
}

void WebDispatchTest::loginAcceptedStartsVoiceLoginFirst()
{
    oxc_reset();
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy connector(&voice, &VoiceManager::connectorCreated);
    voice.createConnector();
    QVERIFY(connector.wait());
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));

    enterState(LocalUser::LoggingIn);
    QSignalSpy update(m_manager, &QSocialManager::updateAvailable);
    QSignalSpy userInfo(m_manager, &QSocialManager::userInfoReceived);
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    int voiceLoginsAtSuccess = -1;
    connect(m_manager, &QSocialManager::loginSuccess, this,
            [&] { voiceLoginsAtSuccess = oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN); });

    QJsonObject reply = loginAnswer();
    reply.insert("update_msg", "Version 2 is out");
    reply.insert("updateVersion", "2.0");
    reply.insert("updateLink", "http://dl.test/2");
    QVERIFY(m_manager->handleReply(QStringLiteral("LoginUser"), doc(reply)));

    QCOMPARE(voiceLoginsAtSuccess, 1);
    const auto *login = reinterpret_cast<const ox_req_account_authtoken_login_t *>(
        oxc_find_request(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, -1));
    QCOMPARE(QByteArray(login->auth_token), QByteArray("tok-1"));

    QCOMPARE(loginOk.size(), 1);
    const QString base = m_fake->apiUrl().section(QLatin1Char('/'), 0, 2);
    QCOMPARE(loginOk.at(0), (QVariantList{"sip:u-Me@voice.test", "me@example.test", "77", "Me Myself", "Me Myself",
                                          base + "/img/u/7.png", "Here", "Busy", "About me"}));
    // The offer is announced once, before the login.
    QCOMPARE(update.size(), 1);
    QCOMPARE(update.at(0), (QVariantList{"2.0", "http://dl.test/2", "Version 2 is out"}));
    QCOMPARE(recordedEvents().count(QStringLiteral("SocialResponse/UpdateAvailable")), 1);
    QVERIFY(recordedEvents().contains(QStringLiteral("login/OK")));
    // The own record: the address in lower case, the missing user name
    // standing for the display name.
    QCOMPARE(userInfo.size(), 1);
    QCOMPARE(userInfo.at(0).at(0).toString(), QStringLiteral("sip:u-me@voice.test"));
    QCOMPARE(userInfo.at(0).at(4).toString(), QStringLiteral("Me Myself"));
    QCOMPARE(userInfo.at(0).at(5).toString(), base + "/img/u/7.png");

    // The session id of the answer is used from now on.
    m_manager->requestChannelsOwned();
    QVERIFY(m_fake->waitForRequest(QStringLiteral("GetChannelsOwned")));
    QCOMPARE(m_fake->requestsFor(QStringLiteral("GetChannelsOwned")).last().value("sid"), QStringLiteral("s-1"));
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
    oxc_reset();
}

void WebDispatchTest::loginWithoutToken_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("event");

    const QString noToken = QStringLiteral("No voice authentication token found in response.");
    const QString noServer =
        QStringLiteral("Could not connect to server.  Check your network connection and try again.");
    QTest::newRow("message") << doc({{"msg", "Wrong password"}, {"reason", "r"}}) << "Wrong password"
                             << "login/NoAuthToken";
    QTest::newRow("reason") << doc({{"reason", "Locked"}}) << "Locked"
                            << "login/NoAuthToken";
    QTest::newRow("nothing") << doc({{"x", 1}}) << noToken << "login/NoAuthToken";
    QTest::newRow("empty token") << doc({{"auth_token", ""}}) << noToken << "login/NoAuthToken";
    QTest::newRow("numeric token") << doc({{"auth_token", 12345}}) << noToken << "login/NoAuthToken";
    QTest::newRow("empty object") << doc({}) << noServer << "login/RecvEmpty";
    QTest::newRow("array") << QJsonDocument(QJsonArray{1}) << noServer << "login/RecvEmpty";
    QTest::newRow("not JSON") << QJsonDocument() << noServer << "login/RecvEmpty";
}

void WebDispatchTest::loginWithoutToken()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(QString, reason);
    QFETCH(QString, event);
    enterState(LocalUser::LoggingIn);
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    QSignalSpy failed(m_manager, &QSocialManager::socialLoginFailed);

    QVERIFY(!m_manager->handleReply(QStringLiteral("LoginUser"), reply));
    QCOMPARE(loginOk.size(), 0);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), reason);
    QVERIFY2(recordedEvents().contains(event), qPrintable(recordedEvents().join(',')));
}

void WebDispatchTest::loginOutsideLoggingInIsIgnored_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("logged out") << int(LocalUser::LoggedOut);
    QTest::newRow("logging in to voice") << int(LocalUser::LoggingInVoice);
    QTest::newRow("logged in") << int(LocalUser::LoggedIn);
}

void WebDispatchTest::loginOutsideLoggingInIsIgnored()
{
    QFETCH(int, state);
    enterState(LocalUser::LoginState(state));
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    QSignalSpy failed(m_manager, &QSocialManager::socialLoginFailed);
    QSignalSpy userInfo(m_manager, &QSocialManager::userInfoReceived);

    QVERIFY(!m_manager->handleReply(QStringLiteral("LoginUser"), doc(loginAnswer())));
    QCOMPARE(loginOk.size() + failed.size() + userInfo.size(), 0);
    QCOMPARE(recordedEvents(), QStringList{"login/RecvPostAbort"});
    QCOMPARE(testLog().matching(QStringLiteral("Response received after aborting logging in")).size(), 1);
}

void WebDispatchTest::settingOverrides()
{
    enterState(LocalUser::LoggingIn);
    StorageManager *storage = StorageManager::getInstance();
    storage->setDefaultSettings(QStringLiteral("ov.kept"), QStringLiteral("old"), false);
    storage->setDefaultSettings(QStringLiteral("ov.reset"), QStringLiteral("old"), false);

    QJsonObject reply = loginAnswer();
    reply.insert("settings_overrides",
                 QJsonArray{QJsonObject{{"settings_key", "ov.fraction"}, {"value", 2.5}},
                            QJsonObject{{"settings_key", "ov.whole"}, {"value", 40}},
                            QJsonObject{{"settings_key", "ov.flag"}, {"value", false}},
                            QJsonObject{{"settings_key", "ov.text"}, {"value", "abc"}},
                            QJsonObject{{"settings_key", "ov.novalue"}},
                            QJsonObject{{"settings_key", "ov.nullvalue"}, {"value", QJsonValue::Null}},
                            QJsonObject{{"value", 1}}, "not an object",
                            QJsonObject{{"settings_key", "ov.kept"}, {"value", "new"}, {"reset", "yes"}},
                            QJsonObject{{"settings_key", "ov.reset"}, {"value", "new"}, {"reset", true}}});
    QVERIFY(m_manager->handleReply(QStringLiteral("LoginUser"), doc(reply)));

    const QVariant fraction = storage->getDefaultSettings(QStringLiteral("ov.fraction"), QStringLiteral("unset"));
    QCOMPARE(fraction.userType(), int(QMetaType::Int));
    QCOMPARE(fraction.toInt(), 0);
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.whole"), -1), QVariant(40));
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.flag"), true), QVariant(false));
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.text"), QString()), QVariant(QStringLiteral("abc")));
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.novalue"), "unset"), QVariant("unset"));
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.nullvalue"), "unset"), QVariant("unset"));
    // A "reset" that is not a truth value counts as false.
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.kept"), QString()), QVariant("old"));
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.reset"), QString()), QVariant("new"));

    // Overrides that are not a list are ignored; the login goes through.
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("again"));
    enterState(LocalUser::LoggingIn);
    QSignalSpy loginOk(m_manager, &QSocialManager::loginSuccess);
    reply.insert("settings_overrides", QJsonObject{{"settings_key", "ov.object"}, {"value", 1}});
    QVERIFY(m_manager->handleReply(QStringLiteral("LoginUser"), doc(reply)));
    QCOMPARE(loginOk.size(), 1);
    QCOMPARE(storage->getDefaultSettings(QStringLiteral("ov.object"), "unset"), QVariant("unset"));
}

void WebDispatchTest::userUuidExists_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QString>("answer");

    QTest::newRow("true") << doc({{"result", true}}) << "t";
    QTest::newRow("one") << doc({{"result", 1}}) << "t";
    QTest::newRow("false") << doc({{"result", false}}) << "f";
    QTest::newRow("zero") << doc({{"result", 0}}) << "f";
    QTest::newRow("text") << doc({{"result", "1"}}) << "f";
    QTest::newRow("object") << doc({{"exists", true}}) << "f";
    QTest::newRow("not JSON") << QJsonDocument() << "f";
}

void WebDispatchTest::userUuidExists()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(QString, answer);
    QSignalSpy response(m_manager, &QSocialManager::checkUsernameResponse);
    m_manager->handleReply(QStringLiteral("userUuidExists"), reply);
    QCOMPARE(response.size(), 1);
    QCOMPARE(response.at(0).at(0).toString(), answer);
}

void WebDispatchTest::accountAnswers()
{
    // Handled while logged out.
    QSignalSpy created(m_manager, &QSocialManager::createAccountSucceeded);
    QSignalSpy dialin(m_manager, &QSocialManager::availableDialinNumbersChanged);
    QVERIFY(m_manager->handleReply(QStringLiteral("CreateAccount"), doc({{"ok", 1}})));
    QCOMPARE(created.size(), 1);

    QVERIFY(m_manager->handleReply(QStringLiteral("GetDialinNumbers"),
                                   QJsonDocument(QJsonArray{QJsonObject{{"location", "Oslo"}, {"pstn", "+47 1"}}, 5,
                                                            QJsonObject{{"location", "Rome"}, {"pstn", 39}}})));
    QCOMPARE(dialin.size(), 1);
    QCOMPARE(dialin.at(0).at(0).toStringList(), (QStringList{"Oslo: +47 1", ": ", "Rome: "}));
    QVERIFY(!m_manager->handleReply(QStringLiteral("GetDialinNumbers"), doc({{"location", "Oslo"}})));
    QCOMPARE(dialin.size(), 1);

    // A stored profile is read back as the own record.
    enterState(LocalUser::LoggedIn);
    const QString lookup = QStringLiteral("getUserByUserLiveURI");
    const int before = pendingQueries(m_manager, lookup).size();
    QVERIFY(m_manager->handleReply(QStringLiteral("SetUserCustomInfo"), doc({{"ostrel_update_status", "OK"}})));
    QCOMPARE(pendingQueries(m_manager, lookup).size(), before + 1);
    QVERIFY(!m_manager->handleReply(QStringLiteral("SetUserCustomInfo"), doc({{"ostrel_update_status", "FAIL"}})));
    QCOMPARE(pendingQueries(m_manager, lookup).size(), before + 1);
    QTRY_VERIFY(!m_fake->requestsFor(lookup).isEmpty());
    QCOMPARE(m_fake->requestsFor(lookup).last().value("UserLiveURI"), kOwnUri);
}

void WebDispatchTest::gatedMethods()
{
    QSignalSpy update(m_manager, &QSocialManager::updateAvailable);
    QSignalSpy noUpdate(m_manager, &QSocialManager::noUpdateAvailable);
    const QJsonObject offer{{"version_string", "3.1"},
                            {"0", QJsonObject{{"Win", QJsonObject{{"download_url", "http://dl.test/3"}}}}}};

    // Logged out: the update check is behind the gate.
    QVERIFY(!m_manager->handleReply(QStringLiteral("CheckForUpdate"), doc(offer)));
    QCOMPARE(update.size() + noUpdate.size(), 0);
    QCOMPARE(testLog().matching(QStringLiteral("handleReply executed when not logged in")).size(), 1);

    enterState(LocalUser::LoggedIn);
    QVERIFY(m_manager->handleReply(QStringLiteral("CheckForUpdate"), doc(offer)));
    QCOMPARE(update.size(), 1);
    QCOMPARE(update.at(0), (QVariantList{"3.1", "http://dl.test/3", "Update available!"}));
    QVERIFY(m_manager->handleReply(QStringLiteral("CheckForUpdate"), doc({{"version_string", "3.1"}})));
    QVERIFY(m_manager->handleReply(QStringLiteral("CheckForUpdate"), QJsonDocument(QJsonArray())));
    QCOMPARE(noUpdate.size(), 2);

    QVERIFY(!m_manager->handleReply(QStringLiteral("GetChannelInfoWithOwnerInfo"), doc({{"x", 1}})));
    QCOMPARE(
        testLog()
            .matching(QStringLiteral("No action taken in SocialManager::handleReply for GetChannelInfoWithOwnerInfo"))
            .size(),
        1);
}

TAVRI_TEST_MAIN(WebDispatchTest)
#include "tst_webdispatch.moc"
