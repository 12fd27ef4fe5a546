// The built-in realm's friends roster and contact groups: full rosters from
// the voice service's buddy list and the web friends list, single buddy
// changes, contact-group refreshes, and the missing built-in identity.

#include "fakewebservice.h"
#include "localuser.h"
#include "logcapture.h"
#include "realmtestaccess.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "websettle.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Access = TavriIdentityRealmTest;

namespace {

const QString kMe = QStringLiteral("sip:u-me@voice.test");

} // namespace

class TestRealmRoster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void fullRoster_data();
    void fullRoster();
    void buddyChanges();
    void contactGroupRefreshes();
    // Signs the local user out: keep it last.
    void withoutIdentity_data();
    void withoutIdentity();

private:
    int contactGroupRequests() const { return m_web->requestsFor(QStringLiteral("getContactGroups")).size(); }
    // Lets requests in flight reach the fake.
    // Every web call posted so far is answered and handled.
    // The realm has the record of "sip:u-known@voice.test", user id "88".
    void meetKnownUser();
    void settle() const { QVERIFY(webtest::settle(*m_web, *m_social)); }

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    TavriIdentityRealm *m_realm = nullptr;
    // The roster signals of the realm in order, as short texts; the
    // subscriber is checked as they come.
    QStringList m_events;
    QStringList m_subscribers;
};

void TestRealmRoster::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_web = new FakeWebService(this);
    // Lookups and contact-group requests are answered with nothing of note.
    m_web->setSignInDefaults();
    m_web->setDefault(QStringLiteral("getContactGroups"), QJsonObject{{"status", "OK"}});
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_realm = TavriIdentityRealm::getInstance();
    QVERIFY(signedin::ownIdentity(kMe));
    QCOMPARE(LocalUser::getLocalUser()->tavriidentity()->getUid(), kMe);

    auto record = [this](const QString &event, const QString &subscriber) {
        m_events << event;
        m_subscribers << subscriber;
    };
    TavriIdentityRealm *r = m_realm;
    connect(r, &TavriIdentityRealm::rosterListReceivedBegin, this, [=](const QString &s) { record("begin", s); });
    connect(r, &TavriIdentityRealm::rosterListEntry, this,
            [=](const QString &s, const QString &contact) { record("entry " + contact, s); });
    connect(r, &TavriIdentityRealm::rosterListReceivedEnd, this, [=](const QString &s) { record("end", s); });
    connect(r, &TavriIdentityRealm::rosterListEntryRemoved, this,
            [=](const QString &s, const QString &contact) { record("removed " + contact, s); });
    connect(r, &TavriIdentityRealm::rosterListGroup, this,
            [=](const QString &s, const QString &id, const QString &name) { record("group " + id + " " + name, s); });
    connect(r, &TavriIdentityRealm::rosterListGroupEntry, this,
            [=](const QString &s, const QString &id, const QString &contact) {
                record("member " + id + " " + contact, s);
            });
    connect(r, &TavriIdentityRealm::rosterListGroupEntryRemoved, this,
            [=](const QString &s, const QString &id, const QString &contact) {
                record("not member " + id + " " + contact, s);
            });
    connect(r, &TavriIdentityRealm::rosterListGroupRemoved, this,
            [=](const QString &s, const QString &id) { record("group removed " + id, s); });
    settle();
}

void TestRealmRoster::init()
{
    m_events.clear();
    m_subscribers.clear();
}

void TestRealmRoster::fullRoster_data()
{
    QTest::addColumn<bool>("fromBuddyList");
    QTest::addColumn<QStringList>("friends");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("empty buddy list") << true << QStringList() << QStringList{"begin", "end"};
    QTest::newRow("empty friends list") << false << QStringList() << QStringList{"begin", "end"};
    // A friend the realm has not met is announced under its URI; one whose
    // record has arrived under its user id; a repeated URI twice.
    QTest::newRow("buddy list") << true
                                << QStringList{"sip:u-new@voice.test", "sip:u-known@voice.test", "sip:u-new@voice.test"}
                                << QStringList{"begin", "entry sip:u-new@voice.test", "entry 88",
                                               "entry sip:u-new@voice.test", "end"};
    QTest::newRow("friends list, ids as given") << false << QStringList{"u1", "sip:u-x@voice.test"}
                                                << QStringList{"begin", "entry u1", "entry sip:u-x@voice.test", "end"};
}

void TestRealmRoster::fullRoster()
{
    QFETCH(bool, fromBuddyList);
    QFETCH(QStringList, friends);
    QFETCH(QStringList, events);
    meetKnownUser();
    const int groupRequests = contactGroupRequests();
    const int lookups = m_web->requestsFor(QStringLiteral("getUserByUserLiveURI")).size();
    init();

    if (fromBuddyList)
        Access::buddyList(friends);
    else
        emit m_social->friendsListReceived(friends);

    QCOMPARE(m_events, events);
    QCOMPARE(m_subscribers, QStringList(QVector<QString>(events.size(), kMe).toList()));
    // Each full roster is followed by one contact-group request.
    QTRY_COMPARE(contactGroupRequests(), groupRequests + 1);
    settle();
    QCOMPARE(contactGroupRequests(), groupRequests + 1);
    if (fromBuddyList && !friends.isEmpty()) {
        // The new user was made and its record asked for once.
        QVERIFY(Access::usersByURI().contains(QStringLiteral("sip:u-new@voice.test")));
        QTRY_COMPARE(m_web->requestsFor(QStringLiteral("getUserByUserLiveURI")).size(), lookups + 1);
        QCOMPARE(m_web->requestsFor(QStringLiteral("getUserByUserLiveURI")).last().value("UserLiveURI"),
                 QStringLiteral("sip:u-new@voice.test"));
    }
}

void TestRealmRoster::meetKnownUser()
{
    emit m_social->userInfoReceived(QStringLiteral("sip:u-known@voice.test"), QString(), QStringLiteral("88"),
                                    QStringLiteral("Known"), QStringLiteral("known"), QString(), QString(), QString(),
                                    QString(), QDateTime(), QString());
    settle();
}

void TestRealmRoster::buddyChanges()
{
    meetKnownUser();
    init();
    const int groupRequests = contactGroupRequests();
    Access::buddyAdded(QStringLiteral("sip:u-pal@voice.test"));
    Access::buddyRemoved(QStringLiteral("sip:u-pal@voice.test"));
    Access::buddyRemoved(QStringLiteral("sip:u-known@voice.test"));
    QCOMPARE(m_events, (QStringList{"entry sip:u-pal@voice.test", "removed sip:u-pal@voice.test", "removed 88"}));
    QCOMPARE(m_subscribers, (QStringList{kMe, kMe, kMe}));
    settle();
    QCOMPARE(contactGroupRequests(), groupRequests);
}

void TestRealmRoster::contactGroupRefreshes()
{
    // The first refresh withdraws nothing.
    emit m_social->contactGroupsBegin();
    emit m_social->contactGroupInfoReceived(QStringLiteral("g1"), QStringLiteral("One"));
    emit m_social->contactGroupInfoReceived(QStringLiteral("g2"), QStringLiteral("Two"));
    emit m_social->contactGroupMemberChanged(QStringLiteral("g1"), QStringLiteral("u1"),
                                             QStringLiteral("sip:u-1@voice.test"), true);
    emit m_social->contactGroupMemberChanged(QStringLiteral("g1"), QStringLiteral("u2"), QString(), false);
    emit m_social->contactGroupsEnd();
    QCOMPARE(m_events, (QStringList{"group g1 One", "group g2 Two", "member g1 u1", "not member g1 u2"}));
    QCOMPARE(m_subscribers, QStringList(QVector<QString>(4, kMe).toList()));

    // g1 is missing from the next refresh: withdrawn at its end, not before.
    init();
    emit m_social->contactGroupsBegin();
    emit m_social->contactGroupInfoReceived(QStringLiteral("g2"), QStringLiteral("Two"));
    QCOMPARE(m_events, QStringList{"group g2 Two"});
    emit m_social->contactGroupsEnd();
    QCOMPARE(m_events, (QStringList{"group g2 Two", "group removed g1"}));

    // A removed group stays known: the next refresh that does not list it
    // withdraws it once more.
    init();
    emit m_social->contactGroupRemoved(QStringLiteral("g2"));
    emit m_social->contactGroupsBegin();
    emit m_social->contactGroupInfoReceived(QStringLiteral("g3"), QStringLiteral("Three"));
    emit m_social->contactGroupsEnd();
    QCOMPARE(m_events, (QStringList{"group removed g2", "group g3 Three", "group removed g2"}));

    // An end without a begin finds nothing unconfirmed.
    init();
    emit m_social->contactGroupsEnd();
    QVERIFY(m_events.isEmpty());

    // The answer to the contact-group request takes the same road.
    QVERIFY(LocalUser::getLocalUser()->getLoginState() == LocalUser::LoggingInVoice
            || LocalUser::getLocalUser()->getLoginState() == LocalUser::LoggedIn);
    m_social->handleReply(
        QStringLiteral("getContactGroups"),
        QJsonDocument(QJsonObject{{"data", QJsonArray{QJsonObject{{"id", "g4"}, {"name", "Four"}}}}}));
    QCOMPARE(m_events, (QStringList{"group g4 Four", "group removed g3"}));
}

void TestRealmRoster::withoutIdentity_data()
{
    QTest::addColumn<int>("slot");
    const char *names[] = {"buddy list", "friends list",   "buddy added", "buddy removed",
                           "group info", "member changed", "groups end",  "group removed"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(names[i]) << i;
}

void TestRealmRoster::withoutIdentity()
{
    QFETCH(int, slot);
    LocalUser *local = LocalUser::getLocalUser();
    if (local->tavriidentity())
        local->onSocialLoginFailed(QStringLiteral("signed out"));
    QVERIFY(!local->tavriidentity());
    settle();
    const int groupRequests = contactGroupRequests();
    init();
    auto log = std::make_unique<LogCapture>(LogCapture::ForwardWarnings);

    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("Assertion Failure - 'LocalUser::getLocalUser\\(\\)->"
                                                           "tavriidentity\\(\\)'")));
    switch (slot) {
    case 0:
        Access::buddyList({QStringLiteral("sip:u-pal@voice.test")});
        break;
    case 1:
        emit m_social->friendsListReceived({QStringLiteral("u1")});
        break;
    case 2:
        Access::buddyAdded(QStringLiteral("sip:u-pal@voice.test"));
        break;
    case 3:
        Access::buddyRemoved(QStringLiteral("sip:u-pal@voice.test"));
        break;
    case 4:
        emit m_social->contactGroupInfoReceived(QStringLiteral("g9"), QStringLiteral("Nine"));
        break;
    case 5:
        emit m_social->contactGroupMemberChanged(QStringLiteral("g4"), QStringLiteral("u1"), QString(), true);
        break;
    case 6:
        emit m_social->contactGroupsEnd();
        break;
    case 7:
        emit m_social->contactGroupRemoved(QStringLiteral("g4"));
        break;
    }
    const int assertionReports = log->matching(QStringLiteral("Assertion Failure - '")).size();
    log.reset();
    QCOMPARE(assertionReports, 1);
    QVERIFY(m_events.isEmpty());
    settle();
    QCOMPARE(contactGroupRequests(), groupRequests);
}

TAVRI_TEST_MAIN(TestRealmRoster)
#include "tst_realmroster.moc"
