// The built-in realm's conversation tables as conversations change: their
// end, their replacement by another object, new SIP URIs, transition URIs
// and channel UIDs, and the count of joined voice conversations.

#include "conversation.h"
#include "fakewebservice.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"

#include "realmtestaccess.h"

#include <QPointer>
#include <QtTest>

using Access = TavriIdentityRealmTest;

class TestRealmRefs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void destroyedLeavesEveryTable();
    void destroyedLeavesOthersKeys();
    void swapHandsTheSessionOver();
    void adHocChatBecomesPermanent();
    void sipURIChangeKeepsTransitionKey();
    void transitionURICleared();
    void onlyTheChangingConversationsKeys();
    void emptyIdentityFiledNowhere();
    void registerConversation();
    void joinedVoiceCount_data();
    void joinedVoiceCount();
    void joinedVoiceCountsConversationsOnce();

private:
    // The SIP-URI keys that lead to conversation, in key order.
    static QStringList uriKeys(const Conversation *conversation)
    {
        QStringList keys;
        for (auto it = Access::byURI().cbegin(); it != Access::byURI().cend(); ++it)
            if (it.value() == conversation)
                keys.append(it.key());
        return keys;
    }

    TavriIdentityRealm *m_realm = nullptr;
};

void TestRealmRefs::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    auto *web = new FakeWebService(this);
    for (const char *method : {"getUserByUserLiveURI", "GetChannelInfoWithOwnerInfoFromLiveUID", "AddUserStats"})
        web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    web->setLookupDefaults();
    new QSocialManager(this, web->apiUrl(), web->host());
    m_realm = TavriIdentityRealm::getInstance();
}

void TestRealmRefs::cleanupTestCase()
{
    delete m_realm;
    m_realm = nullptr;
}

void TestRealmRefs::destroyedLeavesEveryTable()
{
    Conversation *channel = m_realm->getConversation(QStringLiteral("sip:confctl-700@d"));
    channel->setChannelUID(QStringLiteral("700"));
    channel->setTransitionSipURI(QStringLiteral("sip:confctl-g-t700@d"));
    channel->setOstrelSessionHandle(QStringLiteral("h700"));
    Access::fileSession(channel, QStringLiteral("h700"));
    channel->setTransitionOstrelSessionHandle(QStringLiteral("h700t"));
    Access::bySessionHandle().insert(QStringLiteral("h700t"), channel);
    // Keys of earlier forms: a private-chat address and a provisional UID.
    Access::byURI().insert(QStringLiteral("sip:u-former@d"), channel);
    Access::byURI().insert(QStringLiteral("700"), channel);

    QCOMPARE(Access::byURI().value(QStringLiteral("sip:confctl-g-t700@d")), channel);
    QCOMPARE(Access::byUID().value(QStringLiteral("700")), channel);
    QCOMPARE(Access::entriesFor(channel), 8);

    delete channel;
    QCOMPARE(Access::entriesFor(channel), 0);
    for (const QString &key : {QStringLiteral("sip:confctl-700@d"), QStringLiteral("sip:confctl-g-t700@d"),
                               QStringLiteral("sip:u-former@d"), QStringLiteral("700")})
        QVERIFY2(!Access::byURI().contains(key), qPrintable(key));
    QVERIFY(!Access::bySessionHandle().contains(QStringLiteral("h700")));
    QVERIFY(!Access::bySessionHandle().contains(QStringLiteral("h700t")));
    QVERIFY(!Access::byUID().contains(QStringLiteral("700")));
}

void TestRealmRefs::destroyedLeavesOthersKeys()
{
    Conversation *dying = m_realm->getConversation(QStringLiteral("sip:confctl-720@d"));
    dying->setChannelUID(QStringLiteral("720"));
    dying->setTransitionSipURI(QStringLiteral("sip:confctl-g-t720@d"));
    dying->setOstrelSessionHandle(QStringLiteral("h720"));
    dying->setTransitionOstrelSessionHandle(QStringLiteral("h720t"));
    // Another conversation has since taken every key that the dying one
    // would look for.
    Conversation *other = m_realm->getConversation(QStringLiteral("sip:confctl-721@d"));
    Access::byURI().insert(QStringLiteral("sip:confctl-720@d"), other);
    Access::byURI().insert(QStringLiteral("sip:confctl-g-t720@d"), other);
    Access::byUID().insert(QStringLiteral("720"), other);
    Access::fileSession(other, QStringLiteral("h720"));
    Access::bySessionHandle().insert(QStringLiteral("h720t"), other);

    delete dying;
    QCOMPARE(Access::byURI().value(QStringLiteral("sip:confctl-720@d")), other);
    QCOMPARE(Access::byURI().value(QStringLiteral("sip:confctl-g-t720@d")), other);
    QCOMPARE(Access::byURI().value(QStringLiteral("sip:confctl-721@d")), other);
    QCOMPARE(Access::byUID().value(QStringLiteral("720")), other);
    QCOMPARE(Access::bySessionHandle().value(QStringLiteral("h720")), other);
    QCOMPARE(Access::bySessionHandle().value(QStringLiteral("h720t")), other);
    QCOMPARE(Access::handleByConversation().value(other), QStringLiteral("h720"));
    delete other;
    QCOMPARE(Access::entriesFor(other), 0);
}

void TestRealmRefs::swapHandsTheSessionOver()
{
    Conversation *old = m_realm->getConversation(QStringLiteral("sip:confctl-710@d"));
    old->setChannelUID(QStringLiteral("710"));
    old->setOstrelSessionHandle(QStringLiteral("h710"));
    Access::fileSession(old, QStringLiteral("h710"));
    Access::byURI().insert(QStringLiteral("sip:confctl-g-before710@d"), old);
    auto *replacement =
        new Conversation(QStringLiteral("Room"), QStringLiteral("sip:confctl-710@d"), QStringLiteral("710"), m_realm);
    // Whoever makes the replacement follows it.
    m_realm->connectConversation(replacement);

    old->emitSwapping(replacement);
    QCOMPARE(m_realm->getConversationBySessionHandle(QStringLiteral("h710")), replacement);
    QCOMPARE(Access::handleByConversation().value(replacement), QStringLiteral("h710"));
    QCOMPARE(old->getOstrelSessionHandle(), QString());
    QCOMPARE(Access::entriesFor(old), 0);

    // The old object no longer reports to the realm.
    const auto byURI = Access::byURI();
    const auto bySession = Access::bySessionHandle();
    const auto handles = Access::handleByConversation();
    const auto byUID = Access::byUID();
    old->setSipURI(QStringLiteral("sip:confctl-g-after710@d"));
    old->setChannelUID(QStringLiteral("7100"));
    delete old;
    QCOMPARE(Access::byURI(), byURI);
    QCOMPARE(Access::bySessionHandle(), bySession);
    QCOMPARE(Access::handleByConversation(), handles);
    QCOMPARE(Access::byUID(), byUID);

    delete replacement;
    QCOMPARE(Access::entriesFor(replacement), 0);
}

void TestRealmRefs::adHocChatBecomesPermanent()
{
    Conversation *chat = m_realm->getConversation(QStringLiteral("sip:u-bob@d"));
    chat->setTransitionSipURI(QStringLiteral("sip:confctl-g-abc@d"));
    chat->setSipURI(QStringLiteral("sip:confctl-g-abc@d"));
    chat->setTransitionSipURI(QString());
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-g-abc@d", "sip:u-bob@d"}));

    // The new channel URI drops the ad-hoc key...
    chat->setSipURI(QStringLiteral("sip:confctl-900@d"));
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-900@d", "sip:u-bob@d"}));
    // ...and the channel UID the private-chat key.
    chat->setChannelUID(QStringLiteral("900"));
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-900@d"}));
    QCOMPARE(m_realm->getConversation(QStringLiteral("sip:confctl-900@d")), chat);
    QCOMPARE(m_realm->getConversationByUID(QStringLiteral("900")), chat);
    QCOMPARE(Access::byUID().keys(chat), QStringList{"900"});

    // A new UID re-files it.
    chat->setChannelUID(QStringLiteral("901"));
    QCOMPARE(Access::byUID().keys(chat), QStringList{"901"});
    delete chat;
}

void TestRealmRefs::sipURIChangeKeepsTransitionKey()
{
    Conversation *chat = m_realm->getConversation(QStringLiteral("sip:confctl-g-c1@d"));
    chat->setTransitionSipURI(QStringLiteral("sip:confctl-g-c2@d"));
    Access::byURI().insert(QStringLiteral("sip:confctl-g-c0@d"), chat);
    Access::byURI().insert(QStringLiteral("sip:u-c@d"), chat);

    chat->setSipURI(QStringLiteral("sip:confctl-g-c3@d"));
    // Old ad-hoc keys go; the transition key and other kinds of keys stay.
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-g-c2@d", "sip:confctl-g-c3@d", "sip:u-c@d"}));
    delete chat;
}

void TestRealmRefs::transitionURICleared()
{
    Conversation *chat = m_realm->getConversation(QStringLiteral("sip:u-dan@d"));
    chat->setTransitionSipURI(QStringLiteral("sip:confctl-g-d1@d"));
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-g-d1@d", "sip:u-dan@d"}));
    chat->setTransitionSipURI(QStringLiteral("sip:confctl-g-d2@d"));
    QCOMPARE(uriKeys(chat), (QStringList{"sip:confctl-g-d2@d", "sip:u-dan@d"}));

    chat->setTransitionSipURI(QString());
    QCOMPARE(uriKeys(chat), QStringList{"sip:u-dan@d"});
    QVERIFY(!Access::byURI().contains(QString()));
    delete chat;
}

void TestRealmRefs::onlyTheChangingConversationsKeys()
{
    Conversation *changing = m_realm->getConversation(QStringLiteral("sip:confctl-g-a@d"));
    Conversation *bystander = m_realm->getConversation(QStringLiteral("sip:confctl-g-b@d"));
    bystander->setTransitionSipURI(QStringLiteral("sip:confctl-g-shared@d"));
    Access::byURI().insert(QStringLiteral("sip:confctl-g-a-old@d"), changing);
    Access::byURI().insert(QStringLiteral("sip:confctl-g-b-old@d"), bystander);

    changing->setSipURI(QStringLiteral("sip:confctl-g-a2@d"));
    QCOMPARE(uriKeys(changing), QStringList{"sip:confctl-g-a2@d"});
    QCOMPARE(uriKeys(bystander), (QStringList{"sip:confctl-g-b-old@d", "sip:confctl-g-b@d", "sip:confctl-g-shared@d"}));

    changing->setTransitionSipURI(QStringLiteral("sip:confctl-g-a3@d"));
    QCOMPARE(uriKeys(bystander).size(), 3);
    delete changing;
    delete bystander;
}

void TestRealmRefs::emptyIdentityFiledNowhere()
{
    // Leaving an ad-hoc chat gives up its URI; a channel can lose its UID.
    Conversation *chat = m_realm->getConversation(QStringLiteral("sip:confctl-g-gone@d"));
    chat->setSipURI(QString());
    QVERIFY(!Access::byURI().contains(QString()));
    QCOMPARE(uriKeys(chat), QStringList());

    Conversation *channel = m_realm->getConversation(QStringLiteral("sip:confctl-730@d"));
    channel->setChannelUID(QStringLiteral("730"));
    channel->setChannelUID(QString());
    QVERIFY(!Access::byUID().contains(QString()));
    QVERIFY(!Access::byUID().contains(QStringLiteral("730")));
    QCOMPARE(m_realm->getConversation(QStringLiteral("sip:confctl-730@d")), channel);
    delete chat;
    delete channel;
}

void TestRealmRefs::registerConversation()
{
    m_realm->registerConversation(nullptr);

    // A private chat that has just become a permanent channel.
    auto *channel =
        new Conversation(QStringLiteral("Eve's"), QStringLiteral("sip:confctl-950@d"), QStringLiteral("950"));
    Access::byURI().insert(QStringLiteral("sip:u-eve@d"), channel);
    Access::byURI().insert(QStringLiteral("sip:confctl-g-eve@d"), channel);
    m_realm->registerConversation(channel);
    QCOMPARE(uriKeys(channel), (QStringList{"sip:confctl-950@d", "sip:confctl-g-eve@d"}));
    QCOMPARE(m_realm->getConversationByUID(QStringLiteral("950")), channel);

    // Keys taken by another conversation stay with it.
    auto *latecomer =
        new Conversation(QStringLiteral("Again"), QStringLiteral("sip:confctl-950@d"), QStringLiteral("950"));
    m_realm->registerConversation(latecomer);
    QCOMPARE(m_realm->getConversation(QStringLiteral("sip:confctl-950@d")), channel);
    QCOMPARE(m_realm->getConversationByUID(QStringLiteral("950")), channel);

    // Registered, the conversation is followed to its end.
    m_realm->registerConversation(channel);
    delete channel;
    QCOMPARE(Access::entriesFor(channel), 0);
    delete latecomer;
    QCOMPARE(Access::entriesFor(latecomer), 0);
}

void TestRealmRefs::joinedVoiceCount_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<int>("joinState");
    QTest::addColumn<int>("counted");

    QTest::newRow("channel joined") << "sip:confctl-800@d" << int(Conversation::Joined) << 1;
    QTest::newRow("channel joining") << "sip:confctl-801@d" << int(Conversation::Joining) << 1;
    QTest::newRow("group chat joined") << "sip:confctl-g-802@d" << int(Conversation::Joined) << 1;
    QTest::newRow("private chat joined") << "sip:u-803@d" << int(Conversation::Joined) << 0;
    QTest::newRow("channel not joined") << "sip:confctl-804@d" << int(Conversation::NotJoined) << 0;
    QTest::newRow("channel asking for a password") << "sip:confctl-805@d" << int(Conversation::PasswordRequested) << 0;
}

void TestRealmRefs::joinedVoiceCount()
{
    QFETCH(QString, uri);
    QFETCH(int, joinState);
    QFETCH(int, counted);

    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), 0);
    QPointer<Conversation> conversation = m_realm->getConversation(uri);
    conversation->setJoinState(Conversation::JoinState(joinState));
    // Only conversations with a session count.
    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), 0);
    Access::fileSession(conversation, QStringLiteral("h-") + uri);
    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), counted);
    QCOMPARE(m_realm->property("joinedVoiceConversationCount").toInt(), counted);

    delete conversation;
    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), 0);
}

void TestRealmRefs::joinedVoiceCountsConversationsOnce()
{
    Conversation *group = m_realm->getConversation(QStringLiteral("sip:confctl-g-810@d"));
    group->setJoinState(Conversation::Joined);
    Access::fileSession(group, QStringLiteral("h810"));
    Access::bySessionHandle().insert(QStringLiteral("h810t"), group);
    Conversation *channel = m_realm->getConversation(QStringLiteral("sip:confctl-811@d"));
    channel->setJoinState(Conversation::Joining);
    Access::fileSession(channel, QStringLiteral("h811"));

    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), 2);
    delete group;
    delete channel;
}

TAVRI_TEST_MAIN(TestRealmRefs)

#include "tst_realmrefs.moc"
