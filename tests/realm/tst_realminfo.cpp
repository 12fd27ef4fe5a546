// The built-in realm takes channel and user information from the web client:
// placeholders are completed or replaced, the result is filed under all its
// keys, and duplicate user objects are retired.

#include "conversation.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "realmtestaccess.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using Access = TavriIdentityRealmTest;

namespace {

const QString kDomain = QStringLiteral("voice.test");

QString channelURI(int number)
{
    return QStringLiteral("sip:confctl-%1@").arg(number) + kDomain;
}

using tavritest::flushDeferredDeletes;

} // namespace

class TestRealmInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void bareURIPlaceholderIsReplaced();
    void usedConversationIsKept_data();
    void usedConversationIsKept();
    void uidPlaceholder_data();
    void uidPlaceholder();
    void retiredCopyHandsOverChildren();
    void appliedFields_data();
    void appliedFields();
    void emptyParentLeavesParent();
    void informationWithoutURIAndUID();
    void userInfoReplacesProvisionalKey();
    void duplicateUserIsRetiredOnce();
    void userRecordWithoutKeys();
    void pictureUpdate();

private:
    // Channel information as the web client announces it.
    void channelInfo(const QString &uri, const QString &uid, const QString &name = QStringLiteral("Name"),
                     const QString &parentUID = QString(), bool isPublic = true, bool hasPassword = false,
                     const QString &lastOn = QString(), const QString &owner = QStringLiteral("77"),
                     const QString &root = QString());
    void userInfo(const QString &uri, const QString &uid, const QString &uname,
                  const QString &displayName = QStringLiteral("Someone"));

    QSocialManager *m_social = nullptr;
    TavriIdentityRealm *m_realm = nullptr;
    FakeWebService *m_web = nullptr;
};

void TestRealmInfo::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Conversation *>();
    qRegisterMetaType<Tavri::RealmUserInterface *>();
    StorageManager::getInstance()->setVoiceDomain(kDomain);
    // The lookups the realm makes find no record.
    m_web = new FakeWebService(this);
    m_web->setSignInDefaults();
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "GetChannelInfoWithOwnerInfoFromLiveUID"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_realm = TavriIdentityRealm::getInstance();
    QVERIFY(signedin::ownIdentity(QStringLiteral("sip:u-me@voice.test")));
}

void TestRealmInfo::init()
{
    flushDeferredDeletes();
}

void TestRealmInfo::channelInfo(const QString &uri, const QString &uid, const QString &name, const QString &parentUID,
                                bool isPublic, bool hasPassword, const QString &lastOn, const QString &owner,
                                const QString &root)
{
    emit m_social->receivedChannelInfo(uri, uid, name, QStringLiteral("http://pics.test/c.png"),
                                       QStringLiteral("Hello"), QStringLiteral("About"), isPublic, hasPassword,
                                       QStringLiteral("555"), owner, parentUID, true, lastOn, root);
}

void TestRealmInfo::userInfo(const QString &uri, const QString &uid, const QString &uname, const QString &displayName)
{
    emit m_social->userInfoReceived(uri, QStringLiteral("x@example.test"), uid, displayName, uname,
                                    QStringLiteral("http://pics.test/u.png"), QStringLiteral("Here"),
                                    QStringLiteral("Busy"), QStringLiteral("About"),
                                    QDateTime(QDate(2014, 5, 6), QTime(7, 8, 9)), QStringLiteral("sip:confctl-1@x"));
}

void TestRealmInfo::bareURIPlaceholderIsReplaced()
{
    const QString uri = channelURI(10);
    QPointer<Conversation> placeholder = m_realm->getConversation(uri);
    QVERIFY(placeholder);
    QVERIFY(placeholder->getChannelUID().isEmpty());
    QSignalSpy swapping(placeholder.data(), &Conversation::swapping);
    QSignalSpy announced(m_realm, &TavriIdentityRealm::permanentConversationInfoReceived);

    channelInfo(uri, QStringLiteral("10"), QStringLiteral("Ten"));

    QCOMPARE(swapping.size(), 1);
    auto *channel = swapping.at(0).at(0).value<Conversation *>();
    QVERIFY(channel && channel != placeholder);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<Conversation *>(), channel);
    QCOMPARE(channel->getChannelUID(), QStringLiteral("10"));
    QCOMPARE(channel->getDisplayName(), QStringLiteral("Ten"));
    QCOMPARE(channel->parent(), static_cast<QObject *>(m_realm));
    QCOMPARE(Access::byURI().value(uri), channel);
    QCOMPARE(Access::byUID().value(QStringLiteral("10")), channel);
    QCOMPARE(m_realm->getConversation(uri), channel);

    // Holders reached through swapping may still use the old object until
    // the event loop comes round.
    QVERIFY(placeholder);
    flushDeferredDeletes();
    QVERIFY(!placeholder);
}

void TestRealmInfo::usedConversationIsKept_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("use");
    QTest::newRow("joined") << 11 << "joined";
    QTest::newRow("with a session") << 12 << "session";
    QTest::newRow("with a channel UID") << 13 << "uid";
}

void TestRealmInfo::usedConversationIsKept()
{
    QFETCH(int, number);
    QFETCH(QString, use);
    const QString uri = channelURI(number);
    const QString uid = QString::number(number);
    Conversation *conversation = m_realm->getConversation(uri);
    if (use == QLatin1String("joined"))
        conversation->setJoinState(Conversation::Joined);
    else if (use == QLatin1String("session"))
        conversation->setOstrelSessionHandle(QStringLiteral("handle-") + uid);
    else
        conversation->setChannelUID(uid);
    QSignalSpy swapping(conversation, &Conversation::swapping);
    QSignalSpy announced(m_realm, &TavriIdentityRealm::permanentConversationInfoReceived);

    channelInfo(uri, uid, QStringLiteral("Kept"));

    QCOMPARE(swapping.size(), 0);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.at(0).at(0).value<Conversation *>(), conversation);
    QCOMPARE(conversation->getDisplayName(), QStringLiteral("Kept"));
    QCOMPARE(conversation->getChannelUID(), uid);
    QCOMPARE(Access::byURI().value(uri), conversation);
    QCOMPARE(Access::byUID().value(uid), conversation);
    if (use == QLatin1String("session"))
        conversation->setOstrelSessionHandle(QString());
}

void TestRealmInfo::uidPlaceholder_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("carriesUID");
    QTest::newRow("carries the UID: completed") << 20 << true;
    QTest::newRow("carries no UID: replaced") << 21 << false;
}

void TestRealmInfo::uidPlaceholder()
{
    QFETCH(int, number);
    QFETCH(bool, carriesUID);
    const QString uid = QString::number(number);
    const QString uri = channelURI(number);
    Conversation *placeholder = nullptr;
    if (carriesUID) {
        placeholder = m_realm->getConversationByUID(uid);
        QCOMPARE(Access::byURI().value(uid), placeholder);
    } else {
        // A placeholder filed under the UID as its address, with no UID of
        // its own.
        placeholder = new Conversation(uid, uid, QString(), m_realm);
        m_realm->connectConversation(placeholder);
        Access::byURI().insert(uid, placeholder);
    }
    QPointer<Conversation> guard(placeholder);
    QSignalSpy swapping(placeholder, &Conversation::swapping);
    QSignalSpy announced(m_realm, &TavriIdentityRealm::permanentConversationInfoReceived);

    channelInfo(uri, uid);

    QCOMPARE(announced.size(), 1);
    auto *channel = announced.at(0).at(0).value<Conversation *>();
    if (carriesUID) {
        QCOMPARE(channel, placeholder);
        QCOMPARE(swapping.size(), 0);
    } else {
        QVERIFY(channel != placeholder);
        QCOMPARE(swapping.size(), 1);
        QCOMPARE(swapping.at(0).at(0).value<Conversation *>(), channel);
    }
    QCOMPARE(channel->getSipURI(), uri);
    QCOMPARE(Access::byURI().value(uri), channel);
    QVERIFY(!Access::byURI().contains(uid));
    QCOMPARE(Access::byUID().value(uid), channel);
    flushDeferredDeletes();
    QCOMPARE(guard.isNull(), !carriesUID);
}

void TestRealmInfo::retiredCopyHandsOverChildren()
{
    // The channel in use under its URI, and a copy made by a lookup by UID
    // that has children of its own.
    const QString uri = channelURI(30);
    Conversation *kept = m_realm->getConversation(uri);
    kept->setJoinState(Conversation::Joined);
    QPointer<Conversation> copy = m_realm->getConversationByUID(QStringLiteral("30"));
    QVERIFY(copy && copy != kept);
    Conversation *withUID = m_realm->getConversation(channelURI(31));
    withUID->setChannelUID(QStringLiteral("31"));
    withUID->setParentConversation(copy);
    Conversation *withoutUID = m_realm->getConversation(channelURI(32));
    withoutUID->setParentConversation(copy);
    QCOMPARE(copy->getChildChannelURIs().size(), 2);
    QSignalSpy swapping(copy.data(), &Conversation::swapping);

    channelInfo(uri, QStringLiteral("30"));

    QCOMPARE(swapping.size(), 1);
    QCOMPARE(swapping.at(0).at(0).value<Conversation *>(), kept);
    QCOMPARE(withUID->getParentConversation(), kept);
    QCOMPARE(withoutUID->getParentConversation(), copy.data());
    QCOMPARE(Access::byUID().value(QStringLiteral("30")), kept);
    QVERIFY(!Access::byURI().contains(QStringLiteral("30")));
    flushDeferredDeletes();
    QVERIFY(!copy);
}

void TestRealmInfo::appliedFields_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("isPublic");
    QTest::addColumn<bool>("hasPassword");
    QTest::addColumn<int>("access");
    QTest::addColumn<QString>("lastOn");
    QTest::addColumn<QDateTime>("lastInhabited");

    const QDateTime time(QDate(2014, 5, 6), QTime(7, 8, 9));
    QTest::newRow("public wins over password")
        << 41 << true << true << int(Conversation::Public) << "2014-05-06 07:08:09.123" << time;
    QTest::newRow("password") << 42 << false << true << int(Conversation::PasswordProtected) << "2014-05-06 07:08:09"
                              << time;
    QTest::newRow("invitation only, bad date")
        << 43 << false << false << int(Conversation::InvitationOnly) << "06/05/2014" << QDateTime();
}

void TestRealmInfo::appliedFields()
{
    QFETCH(int, number);
    QFETCH(bool, isPublic);
    QFETCH(bool, hasPassword);
    QFETCH(int, access);
    QFETCH(QString, lastOn);
    QFETCH(QDateTime, lastInhabited);
    const QString uri = channelURI(number);
    QSignalSpy announced(m_realm, &TavriIdentityRealm::permanentConversationInfoReceived);
    channelInfo(uri, QString::number(number), QStringLiteral("Full"), QStringLiteral("4"), isPublic, hasPassword,
                lastOn, QStringLiteral("77"), QStringLiteral("1"));
    QCOMPARE(announced.size(), 1);
    auto *channel = announced.at(0).at(0).value<Conversation *>();
    QCOMPARE(int(channel->getAccessType()), access);
    QCOMPARE(channel->getLastInhabited(), lastInhabited);
    QCOMPARE(channel->getParentURI(), QStringLiteral("sip:confctl-4@voice.test"));
    QCOMPARE(channel->getHierarchyRoot(), QStringLiteral("1"));
    QCOMPARE(channel->getHasChildren(), true);
    QCOMPARE(channel->getProfileImageURI(), QStringLiteral("http://pics.test/c.png"));
    QCOMPARE(channel->getDescription(), QStringLiteral("About"));
    QCOMPARE(channel->getDialinAccessCode(), QStringLiteral("555"));
    QVERIFY(channel->getOwnerIdentity());
    QCOMPARE(channel->getOwnerIdentity()->getUid(), QStringLiteral("77"));
}

void TestRealmInfo::emptyParentLeavesParent()
{
    const QString uri = channelURI(50);
    channelInfo(uri, QStringLiteral("50"), QStringLiteral("Child"), QStringLiteral("5"));
    Conversation *channel = Access::byUID().value(QStringLiteral("50"));
    QVERIFY(channel);
    QCOMPARE(channel->getParentURI(), QStringLiteral("sip:confctl-5@voice.test"));
    channelInfo(uri, QStringLiteral("50"), QStringLiteral("Renamed"), QString());
    QCOMPARE(Access::byUID().value(QStringLiteral("50")), channel);
    QCOMPARE(channel->getDisplayName(), QStringLiteral("Renamed"));
    QCOMPARE(channel->getParentURI(), QStringLiteral("sip:confctl-5@voice.test"));
}

void TestRealmInfo::informationWithoutURIAndUID()
{
    QSignalSpy announced(m_realm, &TavriIdentityRealm::permanentConversationInfoReceived);
    const int uris = Access::byURI().size();
    const int uids = Access::byUID().size();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("channel without URI and UID ignored")));
    channelInfo(QString(), QString(), QStringLiteral("Nobody"));
    QCOMPARE(announced.size(), 0);
    QCOMPARE(Access::byURI().size(), uris);
    QCOMPARE(Access::byUID().size(), uids);
}

void TestRealmInfo::userInfoReplacesProvisionalKey()
{
    const QString uri = QStringLiteral("sip:u-ann@voice.test");
    Tavri::RealmUserInterface *provisional = m_realm->requestUserInfoUpdateByURI(uri);
    QCOMPARE(provisional->getUid(), uri);
    QCOMPARE(Access::usersByUID().value(uri), provisional);

    userInfo(uri, QStringLiteral("55"), QStringLiteral("ann"), QStringLiteral("Ann"));

    auto *user = qobject_cast<TavriIdentityRealmUser *>(provisional->getQObject());
    QCOMPARE(user->getUid(), QStringLiteral("55"));
    QCOMPARE(user->getUname(), QStringLiteral("ann"));
    QCOMPARE(user->getEmail(), QStringLiteral("x@example.test"));
    QCOMPARE(user->getTagline(), QStringLiteral("Busy"));
    QCOMPARE(user->getLastOnline(), QDateTime(QDate(2014, 5, 6), QTime(7, 8, 9)));
    QVERIFY(!Access::usersByUID().contains(uri));
    QCOMPARE(Access::usersByUID().value(QStringLiteral("55")), user);
    QCOMPARE(Access::usersByURI().value(uri), user);
    QCOMPARE(Access::usersByUName().value(QStringLiteral("ann")), user);
}

void TestRealmInfo::duplicateUserIsRetiredOnce()
{
    // One object made from the user id and name, another from the SIP URI.
    const QString uri = QStringLiteral("sip:u-bob@voice.test");
    userInfo(QString(), QStringLiteral("66"), QStringLiteral("bob"));
    QPointer<TavriIdentityRealmUser> byID = Access::usersByUID().value(QStringLiteral("66"));
    QVERIFY(byID);
    QCOMPARE(Access::usersByUName().value(QStringLiteral("bob")), byID.data());
    auto *byURI = qobject_cast<TavriIdentityRealmUser *>(m_realm->requestUserInfoUpdateByURI(uri)->getQObject());
    QVERIFY(byURI != byID);
    QSignalSpy swapping(byID.data(), &TavriIdentityRealmUser::swapping);
    int destroyed = 0;
    connect(byID.data(), &QObject::destroyed, this, [&destroyed] { ++destroyed; });

    userInfo(uri, QStringLiteral("66"), QStringLiteral("bob"), QStringLiteral("Bob"));

    // The object found first (by URI) stays; the other hands over and goes
    // at once, though it stood under two keys.
    QVERIFY(!byID);
    QCOMPARE(destroyed, 1);
    QCOMPARE(swapping.size(), 1);
    QCOMPARE(swapping.at(0).at(0).value<Tavri::RealmUserInterface *>(),
             static_cast<Tavri::RealmUserInterface *>(byURI));
    QCOMPARE(Access::usersByUID().value(QStringLiteral("66")), byURI);
    QCOMPARE(Access::usersByUName().value(QStringLiteral("bob")), byURI);
    QCOMPARE(Access::usersByURI().value(uri), byURI);
    QCOMPARE(byURI->getUid(), QStringLiteral("66"));
}

void TestRealmInfo::userRecordWithoutKeys()
{
    // Two records without a user name must not be taken for one person.
    userInfo(QStringLiteral("sip:u-carl@voice.test"), QStringLiteral("71"), QString(), QStringLiteral("Carl"));
    userInfo(QStringLiteral("sip:u-dora@voice.test"), QStringLiteral("72"), QString(), QStringLiteral("Dora"));
    TavriIdentityRealmUser *carl = Access::usersByUID().value(QStringLiteral("71"));
    TavriIdentityRealmUser *dora = Access::usersByUID().value(QStringLiteral("72"));
    QVERIFY(carl && dora && carl != dora);
    QCOMPARE(carl->getSipURI(), QStringLiteral("sip:u-carl@voice.test"));
    QCOMPARE(dora->getSipURI(), QStringLiteral("sip:u-dora@voice.test"));
    QVERIFY(!Access::usersByUName().contains(QString()));

    const int users = m_realm->findChildren<TavriIdentityRealmUser *>().size();
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("user record without URI, id and user name ignored")));
    userInfo(QString(), QString(), QString());
    QCOMPARE(m_realm->findChildren<TavriIdentityRealmUser *>().size(), users);
}

void TestRealmInfo::pictureUpdate()
{
    const QString uri = QStringLiteral("sip:u-eve@voice.test");
    auto *eve = qobject_cast<TavriIdentityRealmUser *>(m_realm->requestUserInfoUpdateByURI(uri)->getQObject());
    emit m_social->userPictureUpdated(uri, QStringLiteral("http://pics.test/eve.png"));
    QCOMPARE(eve->getProfileImageURI(), QUrl(QStringLiteral("http://pics.test/eve.png")));

    const QString stranger = QStringLiteral("sip:u-stranger@voice.test");
    emit m_social->userPictureUpdated(stranger, QStringLiteral("http://pics.test/s.png"));
    QVERIFY(!Access::usersByURI().contains(stranger));
}

TAVRI_TEST_MAIN(TestRealmInfo)
#include "tst_realminfo.moc"
