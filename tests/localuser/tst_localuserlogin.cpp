// The local user's login state machine: sign-in through the web service and
// the voice service, the reconnect series after a voice logout, logouts, and
// the login state combined with the external applications' realms.

#include "contactlist.h"
#include "conversation.h"
#include "conversationlist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "websettle.h"

#include <QAbstractEventDispatcher>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimerEvent>
#include <QtTest>

namespace {

using State = LocalUser::LoginState;
using Step = QPair<int, QString>;

// An external application's realm whose login progress a test sets by hand.
class FakeSharedRealm : public TavriSharedIdentityRealm
{
public:
    FakeSharedRealm(const QString &id, QObject *parent)
        : TavriSharedIdentityRealm(id, parent)
    {
        setRealmDisplayName(QStringLiteral("Game"));
    }
    // The inert base announces nothing; what the realm listed goes with it.
    ~FakeSharedRealm() override { emit destroying(); }
    void setProgress(const QString &userName, const QString &sessionGroup, const QString &icon = QString())
    {
        setUserDisplayName(userName);
        setSessionGroupHandle(sessionGroup);
        setUserIconURL(icon);
    }

    Tavri::RealmUserInterface *getRealmUser(const QString &) override { return nullptr; }
    void requestLogout(Tavri::RealmUserInterface *) override {}
    void sendTextMessage(const QString &, const QString &) override {}
    void sendTextMessage(const QString &, const QString &, const QString &) override {}
    void requestJoinConversation(const QString &, const QString &, const QString & = QString()) override {}
    void requestLeaveConversation(const QString &, const QString &) override {}
    void sendIsTypingChanged(const QString &, bool) override {}
};

// The external-realm manager, with realms a test adds and removes.
class FakeSharedRealmManager : public TavriSharedIdentityRealmManager
{
public:
    FakeSharedRealmManager()
        : TavriSharedIdentityRealmManager(nullptr)
    {
    }
    FakeSharedRealm *addRealm(const QString &id)
    {
        auto *realm = new FakeSharedRealm(id, this);
        m_realms.insert(id, realm);
        return realm;
    }
    void removeRealms()
    {
        qDeleteAll(m_realms);
        m_realms.clear();
    }
};

} // namespace

class LocalUserLoginTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signInThroughWebAndVoice();
    void reconnectSeries();
    void logoutDuringASeriesRestartsTheTimer();
    void webLoginFailureSchedulesNothing();
    void unreachableLoginIsTriedAgain_data();
    void unreachableLoginIsTriedAgain();
    void userLogoutDoesNotReconnect();
    void requestLoginWhileBusyIsIgnored_data();
    void requestLoginWhileBusyIsIgnored();
    void connectorFailure_data();
    void connectorFailure();
    void externalRealmsRaiseTheLoginState_data();
    void externalRealmsRaiseTheLoginState();
    void externalRealmStateIsAnnouncedWithoutOwnIdentity();
    void identityChangesAreRelayed();
    void externalRealmListEntriesReachTheConversations();
    void serverAddressStaysInsideTheDataFolder();
    void eachUserSeesOwnOfflineFriendsChoice();
    void userSettingsLoadedAtSignIn_data();
    void userSettingsLoadedAtSignIn();
    void lostConnectionForgetsWebCredentials();

private:
    // The steps announced by loginStateChanged so far.
    QList<Step> steps() const;
    void enterState(State state);
    // The interval of the local user's pending retry timer, or -1.
    static int retryInterval();
    static void fireRetryTimer();
    // Web logins posted and not yet answered.
    int pendingQueriesCount() const;

    FakeSharedRealmManager *m_realms = nullptr;
    FakeWebService *m_fake = nullptr;
    QSocialManager *m_social = nullptr;
    LocalUser *m_local = nullptr;
    QSignalSpy *m_states = nullptr;
};

void LocalUserLoginTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    // The double must be the instance before the local user connects to it.
    m_realms = new FakeSharedRealmManager;
    QCOMPARE(TavriSharedIdentityRealmManager::getInstance(), m_realms);
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_local = LocalUser::getLocalUser();
}

void LocalUserLoginTest::init()
{
    m_fake = new FakeWebService;
    m_fake->setSignInDefaults(QJsonObject());
    m_social = new QSocialManager(nullptr, m_fake->apiUrl(), m_fake->host());
    m_social->onDoNotLogChanged(true);
    m_states = new QSignalSpy(m_local, &LocalUser::loginStateChanged);
}

void LocalUserLoginTest::cleanup()
{
    delete m_states;
    m_states = nullptr;
    m_realms->removeRealms();
    // Back to logged out with no reconnect pending.
    m_local->onSocialLoginFailed(QStringLiteral("test over"));
    QCOMPARE(m_local->retryTimerId(), 0);
    delete m_social;
    m_social = nullptr;
    delete m_fake;
    m_fake = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QList<Step> LocalUserLoginTest::steps() const
{
    QList<Step> result;
    for (const QList<QVariant> &arguments : *m_states)
        result.append({int(arguments.at(0).value<LocalUser::LoginState>()), arguments.at(1).toString()});
    return result;
}

void LocalUserLoginTest::enterState(State state)
{
    if (state == LocalUser::LoggedOut)
        return;
    signedin::enterLoginState(*m_fake, state);
    QCOMPARE(m_local->getLoginState(), state);
    m_states->clear();
}

int LocalUserLoginTest::retryInterval()
{
    const int id = LocalUser::getLocalUser()->retryTimerId();
    const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(LocalUser::getLocalUser());
    for (const QAbstractEventDispatcher::TimerInfo &timer : timers) {
        if (timer.timerId == id)
            return timer.interval;
    }
    return -1;
}

void LocalUserLoginTest::fireRetryTimer()
{
    QTimerEvent event(LocalUser::getLocalUser()->retryTimerId());
    QCoreApplication::sendEvent(LocalUser::getLocalUser(), &event);
}

int LocalUserLoginTest::pendingQueriesCount() const
{
    int count = 0;
    for (QSocialQuery *query : m_social->findChildren<QSocialQuery *>()) {
        if (query->method() == QLatin1String("LoginUser"))
            ++count;
    }
    return count;
}

void LocalUserLoginTest::signInThroughWebAndVoice()
{
    oxc_reset();
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    // Wired as the application wires them.
    connect(m_social, &QSocialManager::loginSuccess, m_local, &LocalUser::onSocialLoginSuccess);
    connect(m_social, &QSocialManager::socialLoginFailed, m_local, &LocalUser::onSocialLoginFailed);
    connect(&voice, &VoiceManager::voiceLoggedIn, m_local, &LocalUser::onVoiceLoggedIn);
    connect(&voice, &VoiceManager::voiceLoggedOut, m_local, &LocalUser::onVoiceLoggedOut);
    QSignalSpy connector(&voice, &VoiceManager::connectorCreated);
    voice.createConnector();
    QVERIFY(connector.wait());

    const QString uri = QStringLiteral("sip:u-me@") + voice.domain();
    oxc_map_token("tok-me", uri.toUtf8().constData(), "Me");
    m_fake->reply(
        QStringLiteral("LoginUser"),
        QJsonObject{{"auth_token", "tok-me"}, {"UserLiveURI", uri}, {"UserDisplayName", "Me"}, {"sid", "s-1"}});
    QString databaseWhileSigningIn;
    QObject context;
    connect(m_local, &LocalUser::loginStateChanged, &context, [&](LocalUser::LoginState state) {
        // The user's database is open by the time the voice login completes.
        if (state == LocalUser::LoggedIn)
            databaseWhileSigningIn = StorageManager::getInstance()->databaseName();
    });

    StorageManager::getInstance()->setPassword(QStringLiteral("stored"));
    m_local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    QTRY_COMPARE(m_local->getLoginState(), LocalUser::LoggedIn);
    QCOMPARE(steps(),
             (QList<Step>{{LocalUser::LoggingIn, ""}, {LocalUser::LoggingInVoice, ""}, {LocalUser::LoggedIn, ""}}));
    QCOMPARE(databaseWhileSigningIn, uri);
    QCOMPARE(m_local->getSipURI(), uri);
    QVERIFY(m_local->tavriidentity());
    const FakeWebService::Request login = m_fake->requestsFor(QStringLiteral("LoginUser")).first();
    QCOMPARE(login.value("email"), QStringLiteral("me@example.test"));
    QCOMPARE(StorageManager::getInstance()->getUsername(), QStringLiteral("me@example.test"));
    // The password is stored only when the user asks for it.
    QCOMPARE(StorageManager::getInstance()->getPassword(), QStringLiteral("stored"));
    QVERIFY(m_fake->waitForRequest(QStringLiteral("GetChannelsOwned")));
    QVERIFY(m_fake->waitForRequest(QStringLiteral("getChannelFavoritesList")));

    // A lost voice connection with the password remembered: a reconnect is
    // scheduled and the signed-in state is torn down.
    m_states->clear();
    voice.notifyVoiceLoggedOut(QStringLiteral("Connection lost"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::DisconnectedReconnecting, "Reconnecting... 0"},
                                   {LocalUser::LoggedOut, "Connection lost"}}));
    QCOMPARE(retryInterval(), 5000);
    QCOMPARE(m_local->retryCount(), 1);
    QCOMPARE(m_local->tavriidentity(), nullptr);
    QCOMPARE(StorageManager::getInstance()->databaseName(), QStringLiteral("DEFAULT"));

    disconnect(m_social, nullptr, m_local, nullptr);
    oxc_reset();
}

void LocalUserLoginTest::reconnectSeries()
{
    enterState(LocalUser::LoggingIn);
    m_local->onVoiceLoggedOut(QStringLiteral("Server gone"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::DisconnectedReconnecting, "Reconnecting... 0"},
                                   {LocalUser::LoggedOut, "Server gone"}}));
    QCOMPARE(retryInterval(), 5000);
    QCOMPARE(m_local->retryCount(), 1);

    // Each retry logs in again and schedules the next, 15 s and then 45 s on.
    const QList<int> next{15000, 45000, -1};
    for (int attempt = 1; attempt <= 3; ++attempt) {
        m_states->clear();
        const int logins = pendingQueriesCount();
        m_fake->hang(QStringLiteral("LoginUser"));
        fireRetryTimer();
        QCOMPARE(steps(),
                 (QList<Step>{{LocalUser::DisconnectedReconnecting, "Reconnecting... " + QString::number(attempt)},
                              {LocalUser::LoggingIn, ""}}));
        QCOMPARE(pendingQueriesCount(), logins + 1);
        QCOMPARE(retryInterval(), next.at(attempt - 1));
        QCOMPARE(m_local->retryCount(), attempt < 3 ? attempt + 1 : 0);
    }
    QCOMPARE(m_local->retryTimerId(), 0);
    QTRY_COMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 4);
    QCOMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).last().value("email"), QStringLiteral("me@example.test"));
}

void LocalUserLoginTest::logoutDuringASeriesRestartsTheTimer()
{
    enterState(LocalUser::LoggingIn);
    m_local->onVoiceLoggedOut(QStringLiteral("first"));
    m_states->clear();

    m_local->onVoiceLoggedOut(QStringLiteral("second"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::DisconnectedReconnecting, "Reconnecting... 1"},
                                   {LocalUser::LoggedOut, "second"}}));
    QVERIFY(m_local->retryTimerId() != 0);
    QCOMPARE(retryInterval(), 15000);
    QCOMPARE(m_local->retryCount(), 2);

    m_local->onVoiceLoggedOut(QStringLiteral("third"));
    QCOMPARE(retryInterval(), 45000);
    // Three attempts scheduled: the next logout ends the series.
    m_states->clear();
    m_local->onVoiceLoggedOut(QStringLiteral("fourth"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggedOut, "fourth"}}));
    QCOMPARE(m_local->retryTimerId(), 0);
    QCOMPARE(m_local->retryCount(), 0);
}

void LocalUserLoginTest::webLoginFailureSchedulesNothing()
{
    enterState(LocalUser::LoggingIn);
    m_local->onVoiceLoggedOut(QStringLiteral("lost"));
    QVERIFY(m_local->retryTimerId() != 0);
    m_states->clear();

    m_local->onSocialLoginFailed(QStringLiteral("Wrong password"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggedOut, "Wrong password"}}));
    QCOMPARE(m_local->retryTimerId(), 0);
    QCOMPARE(m_local->retryCount(), 0);

    // The password is gone for good: a later voice logout schedules nothing.
    m_local->onVoiceLoggedOut(QStringLiteral("again"));
    QCOMPARE(m_local->retryTimerId(), 0);
}

void LocalUserLoginTest::unreachableLoginIsTriedAgain_data()
{
    QTest::addColumn<bool>("hangs");
    QTest::newRow("connection closed") << false;
    QTest::newRow("no answer") << true;
}

void LocalUserLoginTest::unreachableLoginIsTriedAgain()
{
    QFETCH(bool, hangs);
    connect(m_social, &QSocialManager::loginSuccess, m_local, &LocalUser::onSocialLoginSuccess);
    connect(m_social, &QSocialManager::socialLoginUnreachable, m_local, &LocalUser::onSocialLoginUnreachable);
    m_social->setTransferTimeout(300);
    if (hangs)
        m_fake->hang(QStringLiteral("LoginUser"));
    else
        m_fake->drop(QStringLiteral("LoginUser"));

    m_local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    const QString reason = QStringLiteral("Login timed out - check your network settings and try again later");
    QTRY_COMPARE_WITH_TIMEOUT(m_local->getLoginState(), LocalUser::LoggedOut, 30000);
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggingIn, ""},
                                   {LocalUser::DisconnectedReconnecting, "Reconnecting... 0"},
                                   {LocalUser::LoggedOut, reason}}));
    QCOMPARE(retryInterval(), 5000);

    // The service is back by the time of the retry: the sign-in goes on.
    m_fake->reply(QStringLiteral("LoginUser"),
                  QJsonObject{{"auth_token", "tok-me"}, {"UserLiveURI", "sip:u-me@voice.test"}, {"sid", "s-1"}});
    fireRetryTimer();
    QTRY_COMPARE_WITH_TIMEOUT(m_local->getLoginState(), LocalUser::LoggingInVoice, 30000);
    QCOMPARE(m_fake->requestsFor(QStringLiteral("LoginUser")).size(), 2);
    disconnect(m_social, nullptr, m_local, nullptr);
}

void LocalUserLoginTest::userLogoutDoesNotReconnect()
{
    enterState(LocalUser::LoggedIn);
    QVERIFY(m_local->tavriidentity());
    m_local->onLogoutRequested();
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggingOut, ""}}));
    QCOMPARE(m_local->tavriidentity(), nullptr);

    m_states->clear();
    m_local->onVoiceLoggedOut(QStringLiteral("Logged out"));
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggedOut, "Logged out"}}));
    QCOMPARE(m_local->retryTimerId(), 0);

    // A logout outside LoggedIn only logs.
    m_states->clear();
    QTest::ignoreMessage(QtWarningMsg, "m_loginState= 0");
    m_local->onLogoutRequested();
    QCOMPARE(steps(), QList<Step>());
}

void LocalUserLoginTest::requestLoginWhileBusyIsIgnored_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("logging in") << int(LocalUser::LoggingIn);
    QTest::newRow("logging in to voice") << int(LocalUser::LoggingInVoice);
    QTest::newRow("logged in") << int(LocalUser::LoggedIn);
}

void LocalUserLoginTest::requestLoginWhileBusyIsIgnored()
{
    QFETCH(int, state);
    enterState(State(state));
    const int logins = pendingQueriesCount();
    m_local->requestLogin(QStringLiteral("other@example.test"), QStringLiteral("pw2"));
    QCOMPARE(steps(), QList<Step>());
    QCOMPARE(m_local->getLoginState(), State(state));
    QCOMPARE(pendingQueriesCount(), logins);
}

void LocalUserLoginTest::connectorFailure_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("toError");
    QTest::newRow("logged out") << int(LocalUser::LoggedOut) << true;
    QTest::newRow("logging in") << int(LocalUser::LoggingIn) << true;
    QTest::newRow("logging in to voice") << int(LocalUser::LoggingInVoice) << true;
    QTest::newRow("logged in") << int(LocalUser::LoggedIn) << true;
    QTest::newRow("logging out") << int(LocalUser::LoggingOut) << true;
    QTest::newRow("reconnecting") << int(LocalUser::DisconnectedReconnecting) << false;
    QTest::newRow("error") << int(LocalUser::Error) << false;
}

void LocalUserLoginTest::connectorFailure()
{
    QFETCH(int, state);
    QFETCH(bool, toError);
    if (state == LocalUser::Error) {
        m_local->onConnectorCreateFailed(QStringLiteral("first"));
    } else if (state == LocalUser::DisconnectedReconnecting) {
        // The failure arrives while the reconnect is announced.
        enterState(LocalUser::LoggingIn);
        connect(m_local, &LocalUser::loginStateChanged, this, [this](LocalUser::LoginState step) {
            if (step == LocalUser::DisconnectedReconnecting)
                m_local->onConnectorCreateFailed(QStringLiteral("no connector"));
        });
        m_local->onVoiceLoggedOut(QStringLiteral("lost"));
        disconnect(m_local, &LocalUser::loginStateChanged, this, nullptr);
        QCOMPARE(steps(), (QList<Step>{{LocalUser::DisconnectedReconnecting, "Reconnecting... 0"},
                                       {LocalUser::LoggedOut, "lost"}}));
        return;
    } else {
        enterState(State(state));
    }
    m_states->clear();

    m_local->onConnectorCreateFailed(QStringLiteral("no connector"));
    if (toError) {
        QCOMPARE(steps(), (QList<Step>{{LocalUser::Error, "no connector"}}));
        QCOMPARE(m_local->getLoginState(), LocalUser::Error);
    } else {
        QCOMPARE(steps(), QList<Step>());
    }
}

void LocalUserLoginTest::externalRealmsRaiseTheLoginState_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("sessionGroup");
    QTest::addColumn<bool>("ownError");
    QTest::addColumn<int>("expected");

    QTest::newRow("realm logged out") << ""
                                      << "" << false << 0;
    QTest::newRow("realm verified") << "Player"
                                    << "" << false << 2;
    QTest::newRow("realm ready") << "Player"
                                 << "sg-1" << false << 3;
    QTest::newRow("own error stays") << "Player"
                                     << "" << true << 6;
}

void LocalUserLoginTest::externalRealmsRaiseTheLoginState()
{
    QFETCH(QString, userName);
    QFETCH(QString, sessionGroup);
    QFETCH(bool, ownError);
    QFETCH(int, expected);
    FakeSharedRealm *realm = m_realms->addRealm(QStringLiteral("game-1"));
    realm->setProgress(userName, sessionGroup, QStringLiteral("http://game.test/icon.png"));
    if (ownError)
        m_local->onConnectorCreateFailed(QStringLiteral("no connector"));

    QCOMPARE(int(m_local->getLoginState()), expected);
    if (expected == LocalUser::LoggedIn) {
        QCOMPARE(m_local->getDisplayName(), QStringLiteral("Game//Player"));
        QCOMPARE(m_local->getProfileImageURI(), QUrl(QStringLiteral("http://game.test/icon.png")));
    } else {
        QCOMPARE(m_local->getDisplayName(), QString());
    }

    // The built-in identity's own state wins over the realms'.
    if (!ownError) {
        enterState(LocalUser::LoggingInVoice);
        QCOMPARE(m_local->getLoginState(), LocalUser::LoggingInVoice);
    }
}

void LocalUserLoginTest::externalRealmStateIsAnnouncedWithoutOwnIdentity()
{
    FakeSharedRealm *realm = m_realms->addRealm(QStringLiteral("game-2"));
    emit m_realms->loginStateChange(realm, TavriSharedIdentityRealm::LoginVerified);
    QCOMPARE(steps(), (QList<Step>{{LocalUser::LoggingInVoice, ""}}));
    QCOMPARE(m_local->getLoginState(), LocalUser::LoggedOut); // the realm itself has no user yet

    enterState(LocalUser::LoggingInVoice);
    emit m_realms->loginStateChange(realm, TavriSharedIdentityRealm::SessionGroupReady);
    QCOMPARE(steps(), QList<Step>());
}

void LocalUserLoginTest::externalRealmListEntriesReachTheConversations()
{
    FakeSharedRealm *realm = m_realms->addRealm(QStringLiteral("game-3"));
    ConversationList *conversations = m_local->getConversations();
    const int before = conversations->count();
    emit m_realms->conversationListEntryAdded(realm, QStringLiteral("lobby"), QStringLiteral("Lobby"));
    QCOMPARE(conversations->count(), before + 1);
    Conversation *lobby = conversations->at(conversations->count() - 1);
    QCOMPARE(lobby->getRealmID(), QStringLiteral("game-3"));
    QCOMPARE(lobby->getConversationID(), QStringLiteral("lobby"));
    QCOMPARE(lobby->getDisplayName(), QStringLiteral("Lobby"));
    // The realm's channel is one the user is in.
    QVERIFY(lobby->getIsJoined());

    emit m_realms->conversationListEntryRemoved(realm, QStringLiteral("lobby"));
    QCOMPARE(conversations->count(), before);
}

void LocalUserLoginTest::identityChangesAreRelayed()
{
    enterState(LocalUser::LoggedIn);
    TavriIdentityRealmUser *identity = m_local->tavriidentity();
    QVERIFY(identity);
    QSignalSpy location(m_local, &LocalUser::locationChanged);
    QSignalSpy name(m_local, &LocalUser::displayNameChanged);
    QSignalSpy presence(m_local, &LocalUser::presenceStateChanged);
    QSignalSpy message(m_local, &LocalUser::presenceMessageChanged);

    m_local->setLocation(QStringLiteral("Oslo"));
    QCOMPARE(identity->getLocation(), QStringLiteral("Oslo"));
    QCOMPARE(m_local->getLocation(), QStringLiteral("Oslo"));
    emit identity->displayNameUpdated(QStringLiteral("Me"));
    identity->setPresenceState(Tavri::RealmUserInterface::Away, true);
    QCOMPARE(location.size(), 1);
    QCOMPARE(name.size(), 1);
    QCOMPARE(presence.size(), 1);
    QCOMPARE(message.size(), 1);
    QCOMPARE(m_local->getPresenceState(), Tavri::RealmUserInterface::Away);

    // Signed out, the identity no longer speaks for the local user.
    m_local->onLogoutRequested();
    location.clear();
    identity->setLocation(QStringLiteral("Rome"));
    QCOMPARE(location.size(), 0);
    QCOMPARE(m_local->getLocation(), QString());
    QCOMPARE(m_local->getPresenceState(), Tavri::RealmUserInterface::Offline);
}

void LocalUserLoginTest::serverAddressStaysInsideTheDataFolder()
{
    enterState(LocalUser::LoggingIn);
    m_local->onSocialLoginSuccess(QStringLiteral("sip:u-../../../evil@voice.test"), {}, {}, {}, {}, {}, {}, {}, {});
    StorageManager *storage = StorageManager::getInstance();
    QCOMPARE(storage->databaseName(), QStringLiteral("sip:u-../../../evil@voice.test"));
    const QFileInfo file(storage->databaseFilePath(storage->databaseName()));
    QVERIFY(file.exists());
    QCOMPARE(file.absolutePath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

TAVRI_TEST_MAIN(LocalUserLoginTest)
void LocalUserLoginTest::eachUserSeesOwnOfflineFriendsChoice()
{
    StorageManager *storage = StorageManager::getInstance();
    const QString ann = QStringLiteral("sip:u-ann@voice.test");
    const QString bob = QStringLiteral("sip:u-bob@voice.test");
    // Each user's choice is stored under that user's own settings.
    const QList<QPair<QString, bool>> choices = {{ann, true}, {bob, false}};
    for (const auto &choice : choices) {
        QVERIFY(storage->openDatabase(choice.first));
        storage->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, choice.second);
    }
    QVERIFY(storage->openDatabase(QStringLiteral("DEFAULT")));

    // Signed in one after the other, each sees their own choice (Ann twice,
    // so that neither value is merely left over from the start).
    for (const auto &choice : choices + choices.mid(0, 1)) {
        m_fake->reply(QStringLiteral("LoginUser"), QJsonObject());
        m_local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
        m_local->onSocialLoginSuccess(choice.first, {}, {}, {}, {}, {}, {}, {}, {});
        QCOMPARE(m_local->getContactList()->getShowOfflineContacts(), choice.second);
        m_local->onSocialLoginFailed(QStringLiteral("next user"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void LocalUserLoginTest::userSettingsLoadedAtSignIn_data()
{
    QTest::addColumn<QVariant>("pollInterval");
    QTest::addColumn<QVariant>("sensitivity");
    QTest::addColumn<QString>("lastVersion");
    QTest::addColumn<int>("expectedInterval");
    QTest::addColumn<int>("expectedSensitivity");

    // The first sign-in after installing (no version recorded) makes a
    // sensitivity of the user's own choosing 10 more sensitive.
    const QVariant none;
    QTest::newRow("defaults, first run") << none << none << QString() << 300000 << 18;
    QTest::newRow("own sensitivity, first run") << none << QVariant(30) << QString() << 300000 << 40;
    QTest::newRow("own sensitivity, version known") << none << QVariant(30) << "0.9" << 300000 << 30;
    QTest::newRow("default sensitivity stored, first run") << none << QVariant(18) << QString() << 300000 << 18;
    QTest::newRow("own poll interval") << QVariant(60000) << none << "1.0" << 60000 << 18;
}

void LocalUserLoginTest::userSettingsLoadedAtSignIn()
{
    QFETCH(QVariant, pollInterval);
    QFETCH(QVariant, sensitivity);
    QFETCH(QString, lastVersion);
    QFETCH(int, expectedInterval);
    QFETCH(int, expectedSensitivity);
    // A user of its own for each row: the settings live in the user's file.
    const QString uri = QStringLiteral("sip:u-settings-%1@voice.test")
                            .arg(QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression("\\W+"), "-"));
    StorageManager *storage = StorageManager::getInstance();
    QVERIFY(storage->openDatabase(uri));
    if (pollInterval.isValid())
        storage->setSettingsValue(StorageManager::SettingsKeyPollingIntervalNotifications, pollInterval);
    if (sensitivity.isValid())
        storage->setSettingsValue(StorageManager::SettingsKeyVadSensitivity, sensitivity);
    if (!lastVersion.isEmpty())
        storage->setSettingsValue(QStringLiteral("lastVersion"), lastVersion);
    QVERIFY(storage->openDatabase(QStringLiteral("DEFAULT")));
    const int stored = sensitivity.isValid() ? sensitivity.toInt() : 18;

    m_fake->reply(QStringLiteral("LoginUser"), QJsonObject());
    m_local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    m_local->onSocialLoginSuccess(uri, {}, {}, {}, {}, {}, {}, {}, {});

    QCOMPARE(m_local->notificationPollInterval(), expectedInterval);
    QCOMPARE(m_local->getVadSensitivity(), expectedSensitivity);
    // The raise is for this run only; the version is recorded once.
    QCOMPARE(storage->getSettingsValue(StorageManager::SettingsKeyVadSensitivity, 18).toInt(), stored);
    QCOMPARE(storage->getSettingsValue(QStringLiteral("lastVersion"), QString()).toString(),
             lastVersion.isEmpty() ? QStringLiteral("1.0") : lastVersion);

    // Signed out the poll stops; the same user's next sign-in finds the
    // version recorded and raises nothing.
    m_local->onSocialLoginFailed(QStringLiteral("again"));
    QCOMPARE(m_local->notificationPollInterval(), -1);
    m_fake->reply(QStringLiteral("LoginUser"), QJsonObject());
    m_local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    m_local->onSocialLoginSuccess(uri, {}, {}, {}, {}, {}, {}, {}, {});
    QCOMPARE(m_local->getVadSensitivity(), stored);
}

void LocalUserLoginTest::lostConnectionForgetsWebCredentials()
{
    // The sign-in's favourites answer opens a web session.
    m_fake->reply(QStringLiteral("getChannelFavoritesList"), QJsonObject{{"sid", "s-1"}, {"data", QJsonArray()}});
    enterState(LocalUser::LoggedIn);
    QVERIFY(webtest::settle(*m_fake, *m_social));
    auto ownedRequests = [this] { return m_fake->requestsFor(QStringLiteral("GetChannelsOwned")); };
    QCOMPARE(ownedRequests().size(), 1); // the sign-in's own
    m_social->requestChannelsOwned();
    QTRY_COMPARE(ownedRequests().size(), 2);
    QCOMPARE(ownedRequests().last().value("sid"), QStringLiteral("s-1"));

    // The voice connection drops: the web session and the password go with
    // the signed-in state, so nothing is asked in the old user's name.
    m_local->onVoiceLoggedOut(QStringLiteral("Connection lost"));
    m_social->requestChannelsOwned();
    QTRY_COMPARE(ownedRequests().size(), 3);
    const FakeWebService::Request after = ownedRequests().last();
    QCOMPARE(after.value("sid"), QString());
    QCOMPARE(after.value("email"), QString());
    QCOMPARE(after.value("password"), QString());
}

#include "tst_localuserlogin.moc"
