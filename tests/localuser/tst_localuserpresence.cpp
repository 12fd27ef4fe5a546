// The local user's presence: the state on the built-in identity, the custom
// message per state, the remembered choice and the refusal of unknown states.

#include "localusertestsupport.h"
#include "testenvironment.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using Presence = Tavri::RealmUserInterface::PresenceState;

class LocalUserPresenceTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void withoutIdentityNothingChanges();
    void messages_data();
    void messages();
    void messageFollowsTheCurrentState();
    void onlyPreservedStatesAreRemembered();
    void voiceLoginRestoresTheChosenState();
    void aStoredNonsenseStateSignsInOnline();
    void logoutGoesOffline();
    void outOfRangeStatesAreRefused_data();
    void outOfRangeStatesAreRefused();
    void messagesBelongToTheirUser();

private:
    static QVariant stored(const QString &key) { return StorageManager::getInstance()->getSettingsValue(key); }

    localusertest::SignedInUser *m_user = nullptr;
};

void LocalUserPresenceTest::initTestCase()
{
    localusertest::useScriptedInput();
    m_user = new localusertest::SignedInUser;
}

void LocalUserPresenceTest::cleanupTestCase()
{
    delete m_user;
}

void LocalUserPresenceTest::init()
{
    m_user->signIn();
    QVERIFY(m_user->identity());
    // Each test starts without remembered choices or messages.
    for (int presence = 0; presence <= 7; ++presence)
        StorageManager::getInstance()->removeSettingsValue(QString::number(presence) + "_presence_customMessage");
    StorageManager::getInstance()->removeSettingsValue(QStringLiteral("lastPresenceState"));
}

void LocalUserPresenceTest::cleanup()
{
    m_user->signOut();
}

void LocalUserPresenceTest::withoutIdentityNothingChanges()
{
    LocalUser *local = m_user->local();
    m_user->signOut();
    QVERIFY(!local->tavriidentity());
    QSignalSpy online(local, &LocalUser::onlineStatusChanged);

    local->setPresenceState(Presence::Away);
    local->setPresenceMessage(Presence::Online, QStringLiteral("here"));
    QCOMPARE(local->property("presenceState").toInt(), int(Presence::Offline));
    QCOMPARE(local->property("presenceMessage").toString(), QString());
    QVERIFY(!stored(QStringLiteral("lastPresenceState")).isValid());
    QVERIFY(!stored(QStringLiteral("5_presence_customMessage")).isValid());
    QCOMPARE(online.count(), 0);
}

void LocalUserPresenceTest::messages_data()
{
    QTest::addColumn<int>("presence");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty online") << int(Presence::Online) << QString() << QStringLiteral("online");
    QTest::newRow("empty away") << int(Presence::Away) << QString() << QStringLiteral("away");
    QTest::newRow("empty do not disturb") << int(Presence::DoNotDisturb) << QString() << QString();
    QTest::newRow("custom online") << int(Presence::Online) << QStringLiteral("at my desk")
                                   << QStringLiteral("at my desk");
    QTest::newRow("custom away") << int(Presence::Away) << QStringLiteral("lunch") << QStringLiteral("lunch");
    QTest::newRow("custom in game") << int(Presence::InGame) << QStringLiteral("raid") << QStringLiteral("raid");
}

void LocalUserPresenceTest::messages()
{
    QFETCH(int, presence);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    LocalUser *local = m_user->local();
    QSignalSpy online(local, &LocalUser::onlineStatusChanged);
    QSignalSpy away(local, &LocalUser::awayStatusChanged);

    local->setPresenceMessage(presence, message);

    const QString key = QString::number(presence) + QStringLiteral("_presence_customMessage");
    QCOMPARE(stored(key).toString(), expected);
    QVERIFY(stored(key).isValid());
    QCOMPARE(local->getPresenceMessage(presence), expected);
    QCOMPARE(online.count(), presence == Presence::Online ? 1 : 0);
    QCOMPARE(away.count(), presence == Presence::Away ? 1 : 0);
    if (presence == Presence::Online) {
        QCOMPARE(online.first().first().toString(), expected);
        QCOMPARE(local->property("onlineStatus").toString(), expected);
    }
    if (presence == Presence::Away)
        QCOMPARE(local->property("awayStatus").toString(), expected);
}

void LocalUserPresenceTest::messageFollowsTheCurrentState()
{
    LocalUser *local = m_user->local();
    local->setPresenceState(Presence::DoNotDisturb);
    QSignalSpy changed(local, &LocalUser::presenceMessageChanged);

    // Another state's message is stored without touching the current one.
    local->setPresenceMessage(Presence::Away, QStringLiteral("gone"));
    QCOMPARE(m_user->identity()->getPresenceMessage(), QString());
    local->setPresenceMessage(Presence::DoNotDisturb, QStringLiteral("busy"));
    QCOMPARE(m_user->identity()->getPresenceMessage(), QStringLiteral("busy"));
    QVERIFY(changed.count() >= 1);

    // The property writes the message of the current state.
    local->setProperty("presenceMessage", QStringLiteral("very busy"));
    QCOMPARE(stored(QStringLiteral("4_presence_customMessage")).toString(), QStringLiteral("very busy"));
    QCOMPARE(local->property("presenceMessage").toString(), QStringLiteral("very busy"));

    // Changing state shows that state's message, or none.
    local->setPresenceState(Presence::Away);
    QCOMPARE(m_user->identity()->getPresenceMessage(), QStringLiteral("gone"));
    local->setPresenceState(Presence::Chatty);
    QCOMPARE(m_user->identity()->getPresenceMessage(), QString());
    QCOMPARE(local->getPresenceMessage(Presence::Chatty), QStringLiteral("offline"));
}

void LocalUserPresenceTest::onlyPreservedStatesAreRemembered()
{
    LocalUser *local = m_user->local();
    QSignalSpy state(local, &LocalUser::presenceStateChanged);

    local->setPresenceState(Presence::Away, false);
    QCOMPARE(local->getPresenceState(), Presence::Away);
    QVERIFY(!stored(QStringLiteral("lastPresenceState")).isValid());
    QVERIFY(state.count() >= 1);

    local->setPresenceState(Presence::DoNotDisturb);
    QCOMPARE(stored(QStringLiteral("lastPresenceState")).toInt(), int(Presence::DoNotDisturb));

    // The QML property writes as a user choice.
    local->setProperty("presenceState", int(Presence::InGame));
    QCOMPARE(local->property("presenceState").toInt(), int(Presence::InGame));
    QCOMPARE(stored(QStringLiteral("lastPresenceState")).toInt(), int(Presence::InGame));

    local->onSetPresenceAway();
    QCOMPARE(stored(QStringLiteral("lastPresenceState")).toInt(), int(Presence::Away));
    local->onSetPresenceOnline();
    QCOMPARE(local->getPresenceState(), Presence::Online);
    QCOMPARE(stored(QStringLiteral("lastPresenceState")).toInt(), int(Presence::Online));
}

void LocalUserPresenceTest::voiceLoginRestoresTheChosenState()
{
    LocalUser *local = m_user->local();
    local->setPresenceMessage(Presence::DoNotDisturb, QStringLiteral("focus"));
    local->setPresenceState(Presence::DoNotDisturb);
    m_user->signOut();

    m_user->signIn();
    QCOMPARE(local->getPresenceState(), Presence::DoNotDisturb);
    QCOMPARE(local->property("presenceMessage").toString(), QStringLiteral("focus"));
    QCOMPARE(stored(QStringLiteral("lastPresenceState")).toInt(), int(Presence::DoNotDisturb));
}

void LocalUserPresenceTest::aStoredNonsenseStateSignsInOnline()
{
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("lastPresenceState"), 42);
    m_user->signOut();
    QTest::ignoreMessage(QtWarningMsg, "Stored presence 42 is not a presence state, signing in as Online");
    m_user->signIn();
    QCOMPARE(m_user->local()->getPresenceState(), Presence::Online);
}

void LocalUserPresenceTest::logoutGoesOffline()
{
    TavriIdentityRealmUser *identity = m_user->identity();
    QList<int> states;
    QObject context;
    connect(identity, &TavriIdentityRealmUser::presenceUpdated, &context,
            [&](Presence presence) { states.append(int(presence)); });

    m_user->local()->onVoiceLoggedOut(QStringLiteral("Connection lost"));
    QCOMPARE(states.value(0, -1), int(Presence::Offline));
    // Going offline at logout is not the user's choice.
    QVERIFY(!stored(QStringLiteral("lastPresenceState")).isValid());
}

void LocalUserPresenceTest::outOfRangeStatesAreRefused_data()
{
    QTest::addColumn<int>("presence");
    QTest::newRow("below") << -1;
    QTest::newRow("above") << 8;
}

void LocalUserPresenceTest::outOfRangeStatesAreRefused()
{
    QFETCH(int, presence);
    LocalUser *local = m_user->local();
    local->setPresenceState(Presence::Online, false);
    const QRegularExpression report(QStringLiteral("^Assertion Failure - 'presence >= "
                                                   "Tavri::RealmUserInterface::PresenceUnknown && presence <= "
                                                   "Tavri::RealmUserInterface::InGame'"));

    QTest::ignoreMessage(QtCriticalMsg, report);
    local->setPresenceState(presence);
    QTest::ignoreMessage(QtCriticalMsg, report);
    local->setPresenceMessage(presence, QStringLiteral("nonsense"));

    QCOMPARE(local->getPresenceState(), Presence::Online);
    QVERIFY(!stored(QStringLiteral("lastPresenceState")).isValid());
    QVERIFY(!stored(QString::number(presence) + "_presence_customMessage").isValid());
}

void LocalUserPresenceTest::messagesBelongToTheirUser()
{
    LocalUser *local = m_user->local();
    local->setPresenceMessage(Presence::DoNotDisturb, QStringLiteral("first user's secret"));
    local->setPresenceMessage(Presence::Online, QStringLiteral("first user here"));
    m_user->signOut();

    m_user->signIn(QStringLiteral("sip:u-other@voice.test"));
    QCOMPARE(local->getPresenceMessage(Presence::DoNotDisturb), QStringLiteral("offline"));
    QCOMPARE(local->getPresenceMessage(Presence::Online), QStringLiteral("online"));
    local->setPresenceState(Presence::DoNotDisturb);
    QCOMPARE(m_user->identity()->getPresenceMessage(), QString());
    m_user->signOut();

    // The first user's messages, including those of other states, come back
    // with the first user.
    m_user->signIn();
    QCOMPARE(local->getPresenceMessage(Presence::Online), QStringLiteral("first user here"));
    QCOMPARE(local->getPresenceMessage(Presence::DoNotDisturb), QStringLiteral("first user's secret"));
}

TAVRI_TEST_MAIN(LocalUserPresenceTest)
#include "tst_localuserpresence.moc"
