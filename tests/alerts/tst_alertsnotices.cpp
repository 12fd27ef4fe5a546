// Balloons for a signed-in user: notification balloons and their rate limit,
// who joined or left a channel (also when the name comes late or never),
// why a join failed, chat messages, and the login window closed while signed
// in.
#include <QtTest/QtTest>

#include <QHash>
#include <QPointer>
#include <QQuickView>

#include "alertsfixture.h"
#include "conversation.h"
#include "fakerealm.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"

using alertstest::app;
using alertstest::balloons;

namespace {

const QString kLobby = QStringLiteral("sip:confctl-77@voice.test");
const QString kPrivate = QStringLiteral("sip:u-peer@voice.test");

// A realm whose users a test makes and names.
class UserRealm : public FakeRealm
{
public:
    using FakeRealm::FakeRealm;
    ~UserRealm() override { qDeleteAll(m_users); }

    Tavri::RealmUserInterface *getRealmUser(const QString &uuid) override { return m_users.value(uuid); }
    FakeRealmUser *add(const QString &uuid, const QString &name)
    {
        auto *user = new FakeRealmUser(this, uuid, name);
        m_users.insert(uuid, user);
        return user;
    }
    void remove(const QString &uuid) { delete m_users.take(uuid); }

private:
    QHash<QString, FakeRealmUser *> m_users;
};

QStringList messages()
{
    QStringList texts;
    for (const SystemTrayIcon::Balloon &balloon : balloons())
        texts.append(balloon.message);
    return texts;
}

QString ownUid()
{
    return LocalUser::getLocalUser()->tavriidentity()->getUid();
}

void setPopups(bool others, bool chat)
{
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsPopupsOthers"), others);
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsPopupsChatMessage"), chat);
}

} // namespace

class TestAlertsNotices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void notificationBalloonRateLimit_data();
    void notificationBalloonRateLimit();
    void noBalloonWhileMainFrameActive();
    void notificationKinds();
    void participantNotices_data();
    void participantNotices();
    void privateChatsAnnounceNoOneComingOrGoing();
    void disconnectReasons_data();
    void disconnectReasons();
    void disconnectWithoutRealm();
    void nameArrivingFirstIsShownOnce();
    void unknownNamesBecomeSomeone();
    void oneNameCompletesEveryWaitingNotice();
    void participantGoneBeforeItsName();
    void namesAndTextsShownAsWritten();
    void chatBalloons();
    void chatSharesTheRateLimit();
    void closingLoginWindowWhileLoggedIn();

private:
    FakeWebService *m_web = nullptr;
    UserRealm m_realm{QStringLiteral("fake")};
};

void TestAlertsNotices::initTestCase()
{
    m_web = alertstest::start();
    QVERIFY(alertstest::tray());
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    Conversation *lobby = TavriIdentityRealm::getInstance()->getConversation(kLobby);
    QVERIFY(lobby);
    lobby->setDisplayName(QStringLiteral("Lobby"));
    QVERIFY(TavriIdentityRealm::getInstance()->getConversation(kPrivate)->getIsPrivate());
    m_realm.add(QStringLiteral("ann"), QStringLiteral("Ann"));
}

void TestAlertsNotices::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestAlertsNotices::init()
{
    balloons().clear();
    setPopups(true, true);
    // Each reading of the clock is 5 s after the one before: no balloon is
    // held back unless a test stops the clock.
    app()->step = 5000;
    app()->advance(60000);
}

void TestAlertsNotices::notificationBalloonRateLimit_data()
{
    QTest::addColumn<QList<int>>("offsets");
    QTest::addColumn<QList<bool>>("shown");
    QTest::newRow("1500 ms apart, then 2500 ms after the first")
        << QList<int>{0, 1500, 2500} << QList<bool>{true, false, true};
    QTest::newRow("2000 ms is too soon, 2001 ms is not") << QList<int>{0, 2000, 2001} << QList<bool>{true, false, true};
    QTest::newRow("clock set back") << QList<int>{0, -60000, -59000} << QList<bool>{true, true, false};
}

void TestAlertsNotices::notificationBalloonRateLimit()
{
    QFETCH(QList<int>, offsets);
    QFETCH(QList<bool>, shown);
    app()->step = 0;
    const QDateTime start = app()->now;
    for (int i = 0; i < offsets.size(); ++i) {
        app()->now = start.addMSecs(offsets.at(i));
        const int before = balloons().size();
        app()->onLocalUserNotificationReceived(QStringLiteral("n%1").arg(i), QString());
        QCOMPARE(balloons().size() - before, shown.at(i) ? 1 : 0);
    }
    const SystemTrayIcon::Balloon &first = balloons().first();
    QCOMPARE(first.title, QStringLiteral("Notification for Me"));
    QCOMPARE(first.message, QStringLiteral("n0"));
    QCOMPARE(first.icon, QSystemTrayIcon::Information);
    QCOMPARE(first.msecs, 5000);
}

void TestAlertsNotices::noBalloonWhileMainFrameActive()
{
    app()->step = 0;
    const QDateTime start = app()->now;
    app()->onLocalUserNotificationReceived(QStringLiteral("first"), QString());
    app()->showMainFrame(true);
    QTRY_VERIFY(app()->mainFrame()->isActive());
    app()->now = start.addMSecs(2500);
    app()->onLocalUserNotificationReceived(QStringLiteral("while active"), QString());
    app()->mainFrame()->hide();
    // Had the dropped one taken the time, this would be too soon.
    app()->now = start.addMSecs(3000);
    app()->onLocalUserNotificationReceived(QStringLiteral("after"), QString());
    QCOMPARE(messages(), QStringList({QStringLiteral("first"), QStringLiteral("after")}));
}

void TestAlertsNotices::notificationKinds()
{
    const int favoriteRequests = m_web->requestsFor(QStringLiteral("getChannelFavoritesList")).size();
    app()->onChannelFavoriteChanged(QString(), true);
    QTRY_VERIFY(m_web->requestsFor(QStringLiteral("getChannelFavoritesList")).size() > favoriteRequests);
    app()->onExternalAppRelease(QStringLiteral("Space Game"));
    QCOMPARE(messages(), QStringList({QStringLiteral("You have added a favorite channel"),
                                      QStringLiteral("Logged out of Space Game")}));
    QVERIFY(alertstest::tray()->callbackMethod().isEmpty());

    // With an argument, a click joins the channel it names.
    app()->onLocalUserNotificationReceived(QStringLiteral("Invited"), kLobby);
    QCOMPARE(alertstest::tray()->callbackMethod(), QStringLiteral("onSystemTrayInviteMessageClicked"));
    QCOMPARE(alertstest::tray()->callbackArgument(), kLobby);
    QCOMPARE(balloons().last().msecs, 5000);
}

void TestAlertsNotices::participantNotices_data()
{
    QTest::addColumn<bool>("own");
    QTest::addColumn<bool>("joined");
    QTest::addColumn<bool>("popupsOthers");
    QTest::addColumn<bool>("popupsChat");
    QTest::addColumn<QString>("text"); // empty: no balloon
    QTest::newRow("own join") << true << true << true << true << "You have joined Lobby";
    QTest::newRow("own leave") << true << false << true << true << "You have left Lobby";
    QTest::newRow("other's join") << false << true << true << true << "Ann has joined Lobby";
    QTest::newRow("other's leave") << false << false << true << true << "Ann has left Lobby";
    QTest::newRow("others off: other's join") << false << true << false << true << "";
    QTest::newRow("others off: other's leave") << false << false << false << true << "";
    QTest::newRow("others off: own join") << true << true << false << true << "You have joined Lobby";
    QTest::newRow("chat off: own join") << true << true << true << false << "";
    QTest::newRow("chat off: own leave") << true << false << true << false << "";
    QTest::newRow("chat off: other's join") << false << true << true << false << "Ann has joined Lobby";
}

void TestAlertsNotices::participantNotices()
{
    QFETCH(bool, own);
    QFETCH(bool, joined);
    QFETCH(bool, popupsOthers);
    QFETCH(bool, popupsChat);
    QFETCH(QString, text);
    setPopups(popupsOthers, popupsChat);
    Tavri::IdentityRealmInterface *realm =
        own ? static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance()) : &m_realm;
    const QString uuid = own ? ownUid() : QStringLiteral("ann");
    if (joined)
        app()->onConversationParticipantAdded(realm, kLobby, uuid);
    else
        app()->onConversationParticipantRemoved(realm, kLobby, uuid,
                                                Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QCOMPARE(messages(), text.isEmpty() ? QStringList() : QStringList{text});
    QVERIFY(app()->pendingNoticeTimers().isEmpty());
}

void TestAlertsNotices::privateChatsAnnounceNoOneComingOrGoing()
{
    app()->onConversationParticipantAdded(&m_realm, kPrivate, QStringLiteral("ann"));
    app()->onConversationParticipantAdded(TavriIdentityRealm::getInstance(), kPrivate, ownUid());
    app()->onConversationParticipantRemoved(&m_realm, kPrivate, QStringLiteral("ann"),
                                            Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    app()->onConversationDisconnected(&m_realm, kPrivate, Tavri::IdentityRealmInterface::DisconnectReasonAccessDenied,
                                      QString());
    QVERIFY(balloons().isEmpty());
    // A message in a private chat does show.
    app()->onConversationTextMessageReceived(&m_realm, kPrivate, QStringLiteral("ann"), ownUid(), QStringLiteral("hi"),
                                             QDateTime());
    QCOMPARE(messages(), QStringList{QStringLiteral("hi")});
}

void TestAlertsNotices::disconnectReasons_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("popupsOthers");
    QTest::addColumn<QString>("text");
    QTest::newRow("password required") << 4 << true << "Problem joining Lobby: password required.";
    QTest::newRow("access denied")
        << 5 << true << "Problem joining Lobby: access denied.\nPlease contact channel owner for permission.";
    QTest::newRow("banned") << 3 << true << "You have left Lobby";
    QTest::newRow("none") << 0 << true << "You have left Lobby";
    QTest::newRow("failed") << 6 << true << "You have left Lobby";
    QTest::newRow("outside the codes") << 77 << true << "You have left Lobby";
    QTest::newRow("negative") << -3 << true << "You have left Lobby";
    QTest::newRow("others off: password required") << 4 << false << "";
    QTest::newRow("others off: left") << 0 << false << "";
}

void TestAlertsNotices::disconnectReasons()
{
    QFETCH(int, code);
    QFETCH(bool, popupsOthers);
    QFETCH(QString, text);
    setPopups(popupsOthers, true);
    app()->onConversationDisconnected(&m_realm, kLobby,
                                      Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(code), QString());
    QCOMPARE(messages(), text.isEmpty() ? QStringList() : QStringList{text});
}

void TestAlertsNotices::disconnectWithoutRealm()
{
    LogCapture capture;
    app()->onConversationDisconnected(nullptr, kLobby, Tavri::IdentityRealmInterface::DisconnectReasonPasswordRequired,
                                      QString());
    const QList<CapturedLine> reports =
        capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure - 'identityRealm'"));
    QCOMPARE(reports.size(), 1);
    QVERIFY(QString::fromUtf8(reports.first().file).contains(QLatin1String("tavriapplication")));
    QVERIFY(QString::fromUtf8(reports.first().function).contains(QLatin1String("onConversationDisconnected")));
    QVERIFY(balloons().isEmpty());
}

void TestAlertsNotices::nameArrivingFirstIsShownOnce()
{
    FakeRealmUser *late = m_realm.add(QStringLiteral("late"), QString());
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("late"));
    QVERIFY(balloons().isEmpty());
    QCOMPARE(app()->pendingNoticeTimers().size(), 1);
    late->rename(QString()); // an empty name is no name
    QVERIFY(balloons().isEmpty());
    late->rename(QStringLiteral("Bo"));
    QCOMPARE(messages(), QStringList{QStringLiteral("Bo has joined Lobby")});
    QVERIFY(app()->pendingNoticeTimers().isEmpty());
    late->rename(QStringLiteral("Bob"));

    // A marker started later, answered after the first notice's time would
    // have run out: nothing else comes in between.
    m_realm.add(QStringLiteral("marker"), QString());
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("marker"));
    QTRY_COMPARE_WITH_TIMEOUT(balloons().size(), 2, 15000);
    QCOMPARE(messages(),
             QStringList({QStringLiteral("Bo has joined Lobby"), QStringLiteral("Someone has joined Lobby")}));
    m_realm.remove(QStringLiteral("marker"));
    m_realm.remove(QStringLiteral("late"));
}

void TestAlertsNotices::unknownNamesBecomeSomeone()
{
    m_realm.add(QStringLiteral("joiner"), QString());
    m_realm.add(QStringLiteral("leaver"), QString());
    // The join waits 2000 ms, the leave 1000 ms: the leave is told first.
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("joiner"));
    app()->onConversationParticipantRemoved(&m_realm, kLobby, QStringLiteral("leaver"),
                                            Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QCOMPARE(app()->pendingNoticeTimers().size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(balloons().size(), 2, 15000);
    QCOMPARE(messages(),
             QStringList({QStringLiteral("Someone has left Lobby"), QStringLiteral("Someone has joined Lobby")}));
    QVERIFY(app()->pendingNoticeTimers().isEmpty());
    m_realm.remove(QStringLiteral("joiner"));
    m_realm.remove(QStringLiteral("leaver"));
}

void TestAlertsNotices::oneNameCompletesEveryWaitingNotice()
{
    FakeRealmUser *quick = m_realm.add(QStringLiteral("quick"), QString());
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("quick"));
    app()->onConversationParticipantRemoved(&m_realm, kLobby, QStringLiteral("quick"),
                                            Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    quick->rename(QStringLiteral("Cy"));
    QCOMPARE(messages(), QStringList({QStringLiteral("Cy has joined Lobby"), QStringLiteral("Cy has left Lobby")}));
    QVERIFY(app()->pendingNoticeTimers().isEmpty());
    m_realm.remove(QStringLiteral("quick"));
}

void TestAlertsNotices::participantGoneBeforeItsName()
{
    // The realm deletes the user (its application went away) while the
    // notice waits: the notice goes with it.
    m_realm.add(QStringLiteral("gone"), QString());
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("gone"));
    QCOMPARE(app()->pendingNoticeTimers().size(), 1);
    m_realm.remove(QStringLiteral("gone"));
    QVERIFY(app()->pendingNoticeTimers().isEmpty());

    m_realm.add(QStringLiteral("marker"), QString());
    app()->onConversationParticipantAdded(&m_realm, kLobby, QStringLiteral("marker"));
    QTRY_COMPARE_WITH_TIMEOUT(balloons().size(), 1, 15000);
    QCOMPARE(messages(), QStringList{QStringLiteral("Someone has joined Lobby")});
    m_realm.remove(QStringLiteral("marker"));
}

void TestAlertsNotices::namesAndTextsShownAsWritten()
{
    const QString room = QStringLiteral("sip:confctl-78@voice.test");
    TavriIdentityRealm::getInstance()->getConversation(room)->setDisplayName(QStringLiteral("Room %1 & <b>"));
    const QString longName = QString(5000, QLatin1Char('x'));
    m_realm.add(QStringLiteral("odd"), QStringLiteral("50%2 <i>off</i>"));
    FakeRealmUser *late = m_realm.add(QStringLiteral("late"), QString());
    app()->onConversationParticipantAdded(&m_realm, room, QStringLiteral("odd"));
    app()->onConversationParticipantRemoved(&m_realm, room, QStringLiteral("late"),
                                            Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    late->rename(QStringLiteral("%1%2") + longName);
    QCOMPARE(messages(),
             QStringList({SystemTrayIcon::plainText(QStringLiteral("50%2 <i>off</i> has joined Room %1 & <b>")),
                          SystemTrayIcon::plainText(QStringLiteral("%1%2") + longName
                                                    + QStringLiteral(" has left Room %1 & <b>"))}));
    m_realm.remove(QStringLiteral("odd"));
    m_realm.remove(QStringLiteral("late"));
}

void TestAlertsNotices::chatBalloons()
{
    app()->onConversationTextMessageReceived(&m_realm, kLobby, QStringLiteral("ann"), QString(),
                                             QStringLiteral("<b>hi</b> & bye"), QDateTime::currentDateTimeUtc());
    QCOMPARE(balloons().size(), 1);
    const SystemTrayIcon::Balloon &balloon = balloons().first();
    QCOMPARE(balloon.title, QStringLiteral("Chat message from: Ann"));
    QCOMPARE(balloon.message, SystemTrayIcon::plainText(QStringLiteral("<b>hi</b> & bye")));
    QCOMPARE(balloon.icon, QSystemTrayIcon::NoIcon);
    QCOMPARE(balloon.msecs, 5000);
    QCOMPARE(alertstest::tray()->callbackMethod(), QStringLiteral("onSystemTrayConversationMessageClicked"));
    QCOMPARE(alertstest::tray()->callbackArgument(), QStringLiteral("fake:") + kLobby);

    // The user's own messages, and every message with chat popups off,
    // stay quiet.
    app()->onConversationTextMessageReceived(TavriIdentityRealm::getInstance(), kLobby, ownUid(), QString(),
                                             QStringLiteral("mine"), QDateTime());
    setPopups(true, false);
    app()->onConversationTextMessageReceived(&m_realm, kLobby, QStringLiteral("ann"), QString(), QStringLiteral("off"),
                                             QDateTime());
    QCOMPARE(balloons().size(), 1);
}

void TestAlertsNotices::chatSharesTheRateLimit()
{
    app()->step = 0;
    const QDateTime start = app()->now;
    app()->onLocalUserNotificationReceived(QStringLiteral("notice"), QString());
    app()->now = start.addMSecs(1000);
    app()->onConversationTextMessageReceived(&m_realm, kLobby, QStringLiteral("ann"), QString(), QStringLiteral("soon"),
                                             QDateTime());
    // Had the dropped message taken the time, this would be too soon.
    app()->now = start.addMSecs(2001);
    app()->onConversationTextMessageReceived(&m_realm, kLobby, QStringLiteral("ann"), QString(),
                                             QStringLiteral("later"), QDateTime());
    QCOMPARE(messages(), QStringList({QStringLiteral("notice"), QStringLiteral("later")}));
}

void TestAlertsNotices::closingLoginWindowWhileLoggedIn()
{
    QCOMPARE(LocalUser::getLocalUser()->getLoginState(), LocalUser::LoggedIn);
    app()->showLoginPrompt();
    QVERIFY(!app()->loginPrompt()->source().isEmpty());
    QSignalSpy exiting(app(), &TavriApplication::exiting);
    LogCapture capture;
    app()->loginPrompt()->close();
    // The window's QML goes once the closing handler has returned.
    QTRY_VERIFY_WITH_TIMEOUT(app()->loginPrompt()->source().isEmpty(), 30000);
    QVERIFY(exiting.isEmpty());
    QCOMPARE(capture.matching(QStringLiteral("LoginWindow closing, but local user is logged in!")).size(), 1);
    QVERIFY(app()->networkCheckTimer() != 0);
}

TAVRI_ALERTS_TEST_MAIN(TestAlertsNotices, "tavri-test-alertsnotices")

#include "tst_alertsnotices.moc"
