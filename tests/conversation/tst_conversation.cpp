// Conversation: construction, titles, URIs, owner and parent channels, the
// joined-state side effects, settings keys and destruction.

#include "conversation.h"
#include "conversationlist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include "fakerealm.h"
#include "signedinuser.h"
#include "voicetestsupport.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModelTester>
#include <QPointer>
#include <QQuickView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// A built-in realm user that the test owns, with a name and a URI.
std::unique_ptr<TavriIdentityRealmUser> makeUser(const QString &name, const QString &uri = QString())
{
    auto user = std::make_unique<TavriIdentityRealmUser>();
    user->setUname(name);
    user->setSipURI(uri.isEmpty() ? QStringLiteral("sip:u-") + name.toLower() + QStringLiteral("@d") : uri);
    user->setUid(QStringLiteral("uid-") + name);
    return user;
}

// The intervals of the conversation's running timers.
QList<int> timerIntervals(QObject *object)
{
    QList<int> intervals;
    for (const QAbstractEventDispatcher::TimerInfo &info :
         QAbstractEventDispatcher::instance()->registeredTimers(object))
        intervals.append(info.interval);
    return intervals;
}

// A realm whose chat travels over XMPP.
class XmppRealm : public FakeRealm
{
public:
    bool realmFlagA() override { return true; }
};

// Gives the test the window that the window code would make.
class WindowedConversation : public Conversation
{
public:
    using Conversation::Conversation;
    void setWindows(QQuickView *window, QQuickView *passwordWindow)
    {
        m_window = window;
        m_passwordWindow = passwordWindow;
    }
};

} // namespace

class TestConversation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void constructorFromUri_data();
    void constructorFromUri();
    void realmConstructorUri();
    void enumNumbers();
    void privateChatTitleFollowsRename();
    void adHocTitle_data();
    void adHocTitle();
    void ephemeralURI();
    void ownerSignals();
    void ownerDestroyedClearsSilently();
    void parentChain();
    void reparentMovesChildURI();
    void cyclicParentRefused_data();
    void cyclicParentRefused();
    void joinedWelcomeAndStatisticsTimer();
    void moderatorWithoutLocalIdentity();
    void settingsKey_data();
    void settingsKey();
    void channelRecordsWithOddURIs_data();
    void channelRecordsWithOddURIs();
    void markupKeptAsText();
    void realmSignalsReachTheConversation();
    void textLinesFromTheRealm();
    void invitedParticipantTurnsPresent();
    void realmDestroyedDeletesLater();
    void resetReleasesWindows();
    void destructionLeavesAndTerminates();

private:
    void signIn(const QString &uri);
    void signOut();

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
};

void TestConversation::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Conversation::JoinState>();
    qRegisterMetaType<Conversation::VoiceState>();
    m_web = new FakeWebService(this);
    m_web->setDefault(QStringLiteral("getUserByUserLiveURI"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("AddUserStats"), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    // Logged in, so that channel requests reach the SDK stand-in.
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("conv")));
    QVERIFY(!m_voice->accountHandle().isEmpty());
}

void TestConversation::cleanupTestCase()
{
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    delete m_social;
    m_social = nullptr;
}

void TestConversation::signIn(const QString &uri)
{
    QVERIFY(signedin::ownIdentity(uri));
}

void TestConversation::constructorFromUri_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<int>("joinState");
    QTest::addColumn<int>("voiceState");

    QTest::newRow("no session") << "sip:confctl-1@d"
                                << "" << int(Conversation::NotJoined) << int(Conversation::VoiceDisabled);
    QTest::newRow("private chat with session") << "sip:u-peer@d"
                                               << "h1" << int(Conversation::Joined) << int(Conversation::VoiceDisabled);
    QTest::newRow("channel with session") << "sip:confctl-1@d"
                                          << "h2" << int(Conversation::Joined) << int(Conversation::VoiceEnabled);
    QTest::newRow("ad-hoc with session") << "sip:confctl-g-ab@d"
                                         << "h3" << int(Conversation::Joined) << int(Conversation::VoiceEnabled);
}

void TestConversation::constructorFromUri()
{
    QFETCH(QString, uri);
    QFETCH(QString, handle);
    QFETCH(int, joinState);
    QFETCH(int, voiceState);

    Conversation conversation(QStringLiteral("Name"), uri, QStringLiteral("7"), nullptr, handle);
    QCOMPARE(int(conversation.getJoinState()), joinState);
    QCOMPARE(int(conversation.getVoiceState()), voiceState);
    QCOMPARE(conversation.getConversationID(), uri);
    QCOMPARE(conversation.getSipURI(), uri);
    QCOMPARE(conversation.getChannelUID(), QStringLiteral("7"));
    QCOMPARE(conversation.getRealmID(), QStringLiteral("__Tavri"));
    QCOMPARE(conversation.getChatTransportType(), Conversation::OstrelSDK);
    QCOMPARE(conversation.getOstrelSessionHandle(), handle);
    QVERIFY(conversation.getFamilyTree(false));
    QCOMPARE(conversation.getFamilyTree(false)->parent(), &conversation);
}

void TestConversation::realmConstructorUri()
{
    Conversation builtIn(TavriIdentityRealm::getInstance(), QStringLiteral("sip:confctl-9@d"), QStringLiteral("C"));
    QCOMPARE(builtIn.getSipURI(), QStringLiteral("sip:confctl-9@d"));
    QCOMPARE(builtIn.getChatTransportType(), Conversation::OstrelSDK);

    FakeRealm realm(QStringLiteral("ext"));
    Conversation external(&realm, QStringLiteral("room-1"), QStringLiteral("Room"));
    QVERIFY(external.getSipURI().isEmpty());
    QCOMPARE(external.getChatTransportType(), Conversation::Other);
    QCOMPARE(external.getRealmID(), QStringLiteral("ext"));
    QCOMPARE(external.getRealmDisplayName(), QStringLiteral("Fake ext"));

    XmppRealm xmppRealm;
    Conversation xmpp(&xmppRealm, QStringLiteral("x"), QStringLiteral("X"));
    QCOMPARE(xmpp.getChatTransportType(), Conversation::XMPP);

    Conversation enumsOnly;
    QCOMPARE(enumsOnly.getRealmID(), QString());
    QCOMPARE(enumsOnly.getDepth(), 0);
}

void TestConversation::enumNumbers()
{
    // The access type goes to the web service as a number.
    QCOMPARE(int(Conversation::Public), 0);
    QCOMPARE(int(Conversation::PasswordProtected), 1);
    QCOMPARE(int(Conversation::InvitationOnly), 2);
    const QMetaEnum join = QMetaEnum::fromType<Conversation::JoinState>();
    QCOMPARE(join.keyToValue("Joined"), 4);
    QCOMPARE(join.keyToValue("PasswordRequested"), 2);
}

void TestConversation::privateChatTitleFollowsRename()
{
    const QString uri = QStringLiteral("sip:u-rename@d");
    Conversation conversation(QString(), uri, QString());
    // The other user's record is asked of the web service.
    auto askedFor = [this, uri] {
        for (const FakeWebService::Request &request : m_web->requestsFor(QStringLiteral("getUserByUserLiveURI")))
            if (request.value(QStringLiteral("UserLiveURI")) == uri)
                return true;
        return false;
    };
    QTRY_VERIFY(askedFor());
    QVERIFY(conversation.getIsPrivate());
    QCOMPARE(conversation.getDisplayName(), QStringLiteral("Private Chat w/ "));

    auto *user = qobject_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(uri)->getQObject());
    QVERIFY(user);
    QSignalSpy titles(&conversation, &Conversation::displayNameChanged);
    user->setUname(QStringLiteral("Zoë"));
    QCOMPARE(conversation.getDisplayName(), QStringLiteral("Private Chat w/ Zoë"));
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.first().first().toString(), QStringLiteral("Private Chat w/ Zoë"));

    // Another conversation does not follow that user.
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-5@d"), QString());
    user->setUname(QStringLiteral("Zed"));
    QCOMPARE(channel.getDisplayName(), QStringLiteral("Chan"));
}

void TestConversation::adHocTitle_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("invited");
    QTest::addColumn<QString>("title");

    QTest::newRow("only invitees") << QStringList() << QStringList{"A", "B"} << "Open private chat";
    QTest::newRow("one present") << QStringList{"A"} << QStringList{"B"} << "Open private chat w/ A";
    QTest::newRow("two present") << QStringList{"B", "A"} << QStringList() << "Open private chat w/ A,B";
    QTest::newRow("three present, four rows")
        << QStringList{"A", "B", "C"} << QStringList{"D"} << "Open private chat w/ 3 others";
}

void TestConversation::adHocTitle()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, invited);
    QFETCH(QString, title);

    Conversation conversation(QString(), QStringLiteral("sip:confctl-g-abc@d"), QString());
    std::vector<std::unique_ptr<TavriIdentityRealmUser>> users;
    for (const QString &name : invited) {
        users.push_back(makeUser(name));
        conversation.getParticipants()->addInvitedParticipant(users.back().get());
    }
    QSignalSpy titles(&conversation, &Conversation::displayNameChanged);
    for (const QString &name : present) {
        users.push_back(makeUser(name));
        conversation.getParticipants()->addParticipant(users.back().get());
    }
    QCOMPARE(conversation.getDisplayName(), title);
    QCOMPARE(titles.count(), present.size());
    conversation.getParticipants()->clear();
}

void TestConversation::ephemeralURI()
{
    Conversation conversation(QStringLiteral("Group"), QStringLiteral("sip:u-x@d"), QString());
    const QString uri = conversation.createEphemeralURI();
    const QString domain = m_voice->domain().toLower();
    QVERIFY(!domain.isEmpty());
    const QRegularExpression form(QStringLiteral("^sip:confctl-g-[0-9a-f]{32}@") + QRegularExpression::escape(domain)
                                  + QStringLiteral("$"));
    QVERIFY2(form.match(uri).hasMatch(), qPrintable(uri));
    QCOMPARE(uri, uri.toLower());
}

void TestConversation::ownerSignals()
{
    signIn(QStringLiteral("sip:u-me@conv.example"));
    Conversation conversation(QStringLiteral("Chan"), QStringLiteral("sip:confctl-3@d"), QStringLiteral("3"));
    auto owner = makeUser(QStringLiteral("Owner"));
    QSignalSpy uris(&conversation, &Conversation::ownerURIChanged);
    QSignalSpy uids(&conversation, &Conversation::ownerUIDChanged);
    QSignalSpy owned(&conversation, &Conversation::isOwnedChanged);

    conversation.setOwnerIdentity(owner.get());
    QCOMPARE(uris.takeFirst().first().toString(), owner->getSipURI());
    QCOMPARE(uids.takeFirst().first().toString(), QStringLiteral("uid-Owner"));
    QCOMPARE(owned.takeFirst().first().toBool(), false);

    owner->setSipURI(QStringLiteral("sip:u-owner2@d"));
    QCOMPARE(uris.takeFirst().first().toString(), QStringLiteral("sip:u-owner2@d"));

    conversation.setOwnerIdentity(LocalUser::getLocalUser()->tavriidentity());
    QCOMPARE(owned.takeFirst().first().toBool(), true);
    QVERIFY(conversation.getIsOwned());
    QVERIFY(conversation.getLocalUserIsModerator());
    uris.clear();
    uids.clear();

    // The old owner is no longer followed.
    owner->setUid(QStringLiteral("other"));
    QCOMPARE(uids.count(), 0);

    // Null still announces all three, in order, with empty values.
    QList<QString> order;
    connect(&conversation, &Conversation::ownerURIChanged, this, [&](const QString &v) { order << "uri:" + v; });
    connect(&conversation, &Conversation::ownerUIDChanged, this, [&](const QString &v) { order << "uid:" + v; });
    connect(&conversation, &Conversation::isOwnedChanged, this,
            [&](bool v) { order << QStringLiteral("owned:%1").arg(v); });
    conversation.setOwnerIdentity(nullptr);
    QCOMPARE(order, (QList<QString>{"uri:", "uid:", "owned:0"}));
    disconnect(&conversation, nullptr, this, nullptr);
}

void TestConversation::ownerDestroyedClearsSilently()
{
    Conversation conversation(QStringLiteral("Chan"), QStringLiteral("sip:confctl-4@d"), QStringLiteral("4"));
    auto owner = makeUser(QStringLiteral("Gone"));
    conversation.setOwnerIdentity(owner.get());
    QSignalSpy uris(&conversation, &Conversation::ownerURIChanged);
    QSignalSpy owned(&conversation, &Conversation::isOwnedChanged);
    owner.reset();
    QCOMPARE(uris.count(), 0);
    QCOMPARE(owned.count(), 0);
    QVERIFY(!conversation.getOwnerIdentity());
    QCOMPARE(conversation.getOwnerURI(), QString());
    QCOMPARE(conversation.getOwnerUID(), QString());
    QVERIFY(!conversation.getIsOwned());
}

void TestConversation::parentChain()
{
    Conversation root(QStringLiteral("Root"), QStringLiteral("sip:confctl-r@d"), QStringLiteral("1"));
    Conversation middle(QStringLiteral("Mid"), QStringLiteral("sip:confctl-m@d"), QStringLiteral("2"));
    Conversation leaf(QStringLiteral("Leaf"), QStringLiteral("sip:confctl-l@d"), QStringLiteral("3"));
    QCOMPARE(root.getParentURI(), QString());
    middle.setParentConversation(&root);
    leaf.setParentConversation(&middle);
    QCOMPARE(root.getDepth(), 0);
    QCOMPARE(middle.getDepth(), 1);
    QCOMPARE(leaf.getDepth(), 2);
    QCOMPARE(leaf.getParentURI(), QStringLiteral("sip:confctl-m@d"));

    // The parent's URI change reaches the child.
    QSignalSpy parentURIs(&leaf, &Conversation::parentURIChanged);
    middle.setSipURI(QStringLiteral("sip:confctl-m2@d"));
    QCOMPARE(parentURIs.count(), 1);
    QCOMPARE(leaf.getParentURI(), QStringLiteral("sip:confctl-m2@d"));
}

void TestConversation::reparentMovesChildURI()
{
    Conversation first(QStringLiteral("A"), QStringLiteral("sip:confctl-a@d"), QStringLiteral("1"));
    Conversation second(QStringLiteral("B"), QStringLiteral("sip:confctl-b@d"), QStringLiteral("2"));
    Conversation child(QStringLiteral("C"), QStringLiteral("sip:confctl-c@d"), QStringLiteral("3"));

    child.setParentConversation(&first);
    QSignalSpy firstChildren(&first, &Conversation::childChannelURIsChanged);
    QSignalSpy secondChildren(&second, &Conversation::childChannelURIsChanged);
    child.setParentConversation(&second);
    child.setParentConversation(&second);
    QCOMPARE(first.getChildChannelURIs(), QStringList());
    QCOMPARE(second.getChildChannelURIs(), QStringList{QStringLiteral("sip:confctl-c@d")});
    QCOMPARE(firstChildren.count(), 1);
    QCOMPARE(secondChildren.count(), 3); // announced also when nothing was appended

    // A destroyed parent is forgotten without a signal.
    {
        Conversation temporary(QStringLiteral("T"), QStringLiteral("sip:confctl-t@d"), QStringLiteral("4"));
        child.setParentConversation(&temporary);
    }
    QCOMPARE(child.getParentURI(), QString());
    QCOMPARE(child.getDepth(), 0);
}

void TestConversation::cyclicParentRefused_data()
{
    QTest::addColumn<int>("parentIndex"); // into {root, middle, leaf}; root gets the new parent
    QTest::newRow("itself") << 0;
    QTest::newRow("child") << 1;
    QTest::newRow("grandchild") << 2;
}

void TestConversation::cyclicParentRefused()
{
    QFETCH(int, parentIndex);
    Conversation root(QStringLiteral("Root"), QStringLiteral("sip:confctl-r@d"), QStringLiteral("1"));
    Conversation middle(QStringLiteral("Mid"), QStringLiteral("sip:confctl-m@d"), QStringLiteral("2"));
    Conversation leaf(QStringLiteral("Leaf"), QStringLiteral("sip:confctl-l@d"), QStringLiteral("3"));
    middle.setParentConversation(&root);
    leaf.setParentConversation(&middle);
    Conversation *chain[] = {&root, &middle, &leaf};

    QSignalSpy parentURIs(&root, &Conversation::parentURIChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing parent"));
    root.setParentConversation(chain[parentIndex]);
    QCOMPARE(parentURIs.count(), 0);
    QVERIFY(!root.getParentConversation());
    QCOMPARE(root.getChildChannelURIs(), QStringList{QStringLiteral("sip:confctl-m@d")});
    QCOMPARE(leaf.getDepth(), 2);
}

void TestConversation::joinedWelcomeAndStatisticsTimer()
{
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-w@d"), QStringLiteral("77"));
    channel.setMessage(QStringLiteral("Welcome!"), true);
    QSignalSpy lines(channel.getChatMessages(), &ConversationMessageList::messageAdded);
    channel.setJoinState(Conversation::Joining);
    QCOMPARE(lines.count(), 0);
    QVERIFY(!timerIntervals(&channel).contains(900000));

    channel.setJoinState(Conversation::Joined);
    QCOMPARE(lines.count(), 1);
    QCOMPARE(lines.first().at(1).toString(), QStringLiteral("Welcome!"));
    QCOMPARE(channel.getChatMessages()->rowCount(), 1);
    const QModelIndex row = channel.getChatMessages()->index(0);
    QVERIFY(row.data(ConversationMessageList::IsWelcomeMessageRole).toBool());
    QCOMPARE(timerIntervals(&channel).count(900000), 1);

    // Each expiry reports the stay to the web service.
    int statsTimer = 0;
    for (const auto &info : QAbstractEventDispatcher::instance()->registeredTimers(&channel))
        if (info.interval == 900000)
            statsTimer = info.timerId;
    QTimerEvent expiry(statsTimer);
    QCoreApplication::sendEvent(&channel, &expiry);
    QVERIFY(m_web->waitForRequest(QStringLiteral("AddUserStats")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("AddUserStats")).last().value(QStringLiteral("ChannelSocialUID")),
             QStringLiteral("77"));

    channel.setJoinState(Conversation::PasswordRequested);
    QVERIFY(!timerIntervals(&channel).contains(900000));

    // Without a channel UID there are no statistics; without a message no welcome line.
    Conversation adHoc(QString(), QStringLiteral("sip:confctl-g-x@d"), QString());
    QSignalSpy adHocLines(adHoc.getChatMessages(), &ConversationMessageList::messageAdded);
    adHoc.setJoinState(Conversation::Joined);
    QCOMPARE(adHocLines.count(), 0);
    QVERIFY(!timerIntervals(&adHoc).contains(900000));
}

void TestConversation::moderatorWithoutLocalIdentity()
{
    signIn(QStringLiteral("sip:u-moderator-test@conv.example"));
    Conversation channel(QStringLiteral("Chan"), QStringLiteral("sip:confctl-6@d"), QStringLiteral("6"));
    channel.setAccessType(Conversation::InvitationOnly, true);

    // Signed in, neither owner nor moderator: the empty moderator list of an
    // invitation-only channel is fetched.
    oxc_clear_requests();
    QVERIFY(!channel.getLocalUserIsModerator());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS), 1);

    // Without an own identity: reported, false, and nothing is asked.
    signOut();
    Conversation other(QStringLiteral("Other"), QStringLiteral("sip:confctl-66@d"), QStringLiteral("66"));
    other.setAccessType(Conversation::InvitationOnly, true);
    oxc_clear_requests();
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("Assertion Failure - 'localUserIdentity'"));
    QVERIFY(!other.getLocalUserIsModerator());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS), 0);
}

void TestConversation::settingsKey_data()
{
    QTest::addColumn<QString>("realmID");
    QTest::addColumn<QString>("conversationID");
    QTest::addColumn<QString>("key");

    QTest::newRow("built-in") << ""
                              << "sip:confctl-1@d"
                              << "sip:confctl-1@d";
    QTest::newRow("other realm") << "game"
                                 << "room"
                                 << "game:room";
    QTest::newRow("slashes in id") << "game"
                                   << "a//b/"
                                   << "game:a//b/";
    QTest::newRow("slash in realm") << "g/x"
                                    << "/a"
                                    << "g/x:/a";
    QTest::newRow("slash in built-in id") << ""
                                          << "sip:confctl-a/b@d"
                                          << "sip:confctl-a/b@d";
}

void TestConversation::settingsKey()
{
    QFETCH(QString, realmID);
    QFETCH(QString, conversationID);
    QFETCH(QString, key);

    std::unique_ptr<FakeRealm> realm;
    std::unique_ptr<Conversation> conversation;
    if (realmID.isEmpty()) {
        conversation = std::make_unique<Conversation>(TavriIdentityRealm::getInstance(), conversationID, "N");
    } else {
        realm = std::make_unique<FakeRealm>(realmID);
        conversation = std::make_unique<Conversation>(realm.get(), conversationID, "N");
    }
    QCOMPARE(conversation->settingsKey(), key);

    // A stored password round-trips and is removed again.
    StorageManager *storage = StorageManager::getInstance();
    const QString passwordKey = conversation->settingsKey() + QStringLiteral("_password");
    storage->setSettingsValue(passwordKey, QStringLiteral("secret"));
    QCOMPARE(storage->getSettingsValue(passwordKey, QString()).toString(), QStringLiteral("secret"));
    conversation->deleteSavedPassword();
    QCOMPARE(storage->getSettingsValue(passwordKey, QStringLiteral("none")).toString(), QStringLiteral("none"));
    conversation.reset();
}

void TestConversation::channelRecordsWithOddURIs_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<int>("listRequests");
    QTest::newRow("permanent channel") << "sip:confctl-1@d" << 3;
    QTest::newRow("ad-hoc channel") << "sip:confctl-g-1@d" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("unknown prefix") << "sip:x-1@d" << 0;
    QTest::newRow("upper-case prefix") << "SIP:CONFCTL-1@d" << 0;
    QTest::newRow("no scheme") << "confctl-1" << 0;
}

void TestConversation::channelRecordsWithOddURIs()
{
    QFETCH(QString, uri);
    QFETCH(int, listRequests);
    Conversation conversation(QStringLiteral("Odd"), uri, QStringLiteral("12"), nullptr, QStringLiteral("h"));
    QVERIFY(!conversation.getIsPrivate());
    if (!uri.startsWith(QLatin1String("sip:confctl-g-")))
        QCOMPARE(conversation.getDisplayName(), QStringLiteral("Odd"));
    // Member, moderator and ban lists exist only for permanent channel URIs.
    oxc_clear_requests();
    conversation.getMembers(true);
    conversation.getModerators(true);
    conversation.getBanned(true);
    QCOMPARE(oxc_request_count(-1), listRequests);
    QVERIFY(conversation.getIsPermanent()); // from the channel UID alone
    conversation.setJoinState(Conversation::NotJoined);
    QCOMPARE(conversation.getJoinState(), Conversation::NotJoined);
}

void TestConversation::markupKeptAsText()
{
    Conversation channel(QStringLiteral("<b>x</b>"), QStringLiteral("sip:confctl-8@d"), QStringLiteral("8"));
    const QString description = QStringLiteral("<img src=x onerror=alert(1)> & <i>y</i>");
    channel.setDescription(description, true);
    QCOMPARE(channel.getDisplayName(), QStringLiteral("<b>x</b>"));
    QCOMPARE(channel.getDescription(), description);
    QCOMPARE(channel.property("description").toString(), description);
}

void TestConversation::realmSignalsReachTheConversation()
{
    FakeRealm realm(QStringLiteral("sig"));
    Conversation conversation(&realm, QStringLiteral("room"), QStringLiteral("Room"), nullptr,
                              Conversation::VoiceDisabled, Conversation::Joining);
    emit realm.conversationPasswordRequired(QStringLiteral("other"), QStringLiteral("me"));
    QCOMPARE(conversation.getJoinState(), Conversation::Joining);
    emit realm.conversationPasswordRequired(QStringLiteral("room"), QStringLiteral("me"));
    QCOMPARE(conversation.getJoinState(), Conversation::PasswordRequested);
    emit realm.conversationDisconnected(QStringLiteral("room"), QStringLiteral("me"),
                                        Tavri::IdentityRealmInterface::DisconnectReasonKicked, QStringLiteral("bye"));
    QCOMPARE(conversation.getJoinState(), Conversation::NotJoined);
}

void TestConversation::textLinesFromTheRealm()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation channel(realm, QStringLiteral("sip:confctl-t@d"), QStringLiteral("T"));
    channel.setTransitionSipURI(QStringLiteral("sip:confctl-g-t2@d"));
    QSignalSpy lines(channel.getChatMessages(), &ConversationMessageList::messageAdded);
    const QDateTime sentAt = QDateTime::fromMSecsSinceEpoch(1000);

    emit realm->textMessageReceived(QStringLiteral("sip:confctl-other@d"), QStringLiteral("sip:u-a@d"), QString(),
                                    QStringLiteral("not ours"), sentAt);
    QCOMPARE(lines.count(), 0);

    emit realm->textMessageReceived(QStringLiteral("sip:confctl-t@d"), QStringLiteral("sip:u-a@d"), QString(),
                                    QStringLiteral("hi\nthere"), sentAt);
    emit realm->textMessageReceived(QStringLiteral("sip:confctl-g-t2@d"), QStringLiteral("sip:confctl-g-t2@d"),
                                    QString(), QStringLiteral("channel notice"), sentAt);
    QCOMPARE(lines.count(), 2);
    QCOMPARE(lines.at(1).at(0).toString(), QString(""));
    ConversationMessageList *messages = channel.getChatMessages();
    QCOMPARE(messages->index(0).data(ConversationMessageList::MessageTextRole).toString(), QStringLiteral("hi\nthere"));
    QCOMPARE(messages->index(0).data(ConversationMessageList::SentAtRole).toDateTime(), sentAt);
    QVERIFY(messages->index(0).data(ConversationMessageList::IsFromRemoteRole).toBool());
    QVERIFY(messages->index(1).data(ConversationMessageList::IsSystemMessageRole).toBool());
    QVERIFY(!messages->index(1).data(ConversationMessageList::IsFromRemoteRole).isValid());
}

void TestConversation::invitedParticipantTurnsPresent()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-p@d"), QString());
    ConversationParticipantList *participants = chat.getParticipants();
    QAbstractItemModelTester tester(participants, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto carl = makeUser(QStringLiteral("Carl"));
    auto bea = makeUser(QStringLiteral("bea"));
    auto amy = makeUser(QStringLiteral("Amy"));

    ConversationParticipant *invited = participants->addInvitedParticipant(amy.get());
    QCOMPARE(participants->addInvitedParticipant(amy.get()), invited);
    participants->addParticipant(carl.get());
    participants->addParticipant(bea.get());
    QCOMPARE(participants->rowCount(), 3);
    QCOMPARE(participants->at(0)->getIdentity(), bea.get()); // "bea" before "Carl", case ignored
    QCOMPARE(participants->at(2), invited);
    QVERIFY(participants->getInvitedIdentities()->contains(amy.get()));

    QSignalSpy states(invited, &ConversationParticipant::invitedStateChanged);
    QCOMPARE(participants->addParticipant(amy.get()), invited);
    QCOMPARE(states.count(), 1);
    QCOMPARE(participants->rowCount(), 3);
    QCOMPARE(participants->at(0), invited);
    QVERIFY(!participants->getInvitedIdentities()->contains(amy.get()));
    QCOMPARE(chat.getDisplayName(), QStringLiteral("Open private chat w/ 2 others"));

    // A participant whose user goes away leaves the list.
    carl.reset();
    QTRY_COMPARE(participants->rowCount(), 2);
    participants->clear();
}

void TestConversation::realmDestroyedDeletesLater()
{
    auto *realm = new FakeRealm(QStringLiteral("short"));
    QPointer<Conversation> conversation = new Conversation(realm, QStringLiteral("c"), QStringLiteral("C"), nullptr,
                                                           Conversation::VoiceDisabled, Conversation::Joined);
    QSignalSpy joinStates(conversation.data(), &Conversation::joinStateChanged);
    delete realm;
    QVERIFY(conversation);
    QCOMPARE(conversation->getJoinState(), Conversation::NotJoined);
    QCOMPARE(conversation->getRealmID(), QString());
    QTRY_VERIFY(!conversation);
}

void TestConversation::resetReleasesWindows()
{
    auto user = makeUser(QStringLiteral("Wendy"));
    QPointer<QQuickView> window = new QQuickView;
    QPointer<QQuickView> passwordWindow = new QQuickView;
    {
        WindowedConversation chat(QString(), QStringLiteral("sip:confctl-g-win@d"), QString());
        chat.setWindows(window, passwordWindow);
        chat.getParticipants()->addParticipant(user.get());
        chat.getChatMessages()->addSystemMessage(QStringLiteral("hello"));
        window->show();

        chat.resetInternals();
        QVERIFY(!window->isVisible());
        QCOMPARE(chat.getParticipants()->rowCount(), 0);
        QCOMPARE(chat.getChatMessages()->rowCount(), 0);
        QCOMPARE(chat.getSipURI(), QString()); // the ad-hoc URI is given up
        // The window is released, not leaked.
        QTRY_VERIFY(!window);
        QVERIFY(passwordWindow);
    }
    // Destruction releases the password window.
    QTRY_VERIFY(!passwordWindow);

    // A private chat counts as joined while its window is open.
    QPointer<QQuickView> privateWindow = new QQuickView;
    WindowedConversation privateChat(QString(), QStringLiteral("sip:u-win@d"), QString());
    QVERIFY(!privateChat.getIsJoined());
    privateChat.setWindows(privateWindow, nullptr);
    QVERIFY(privateChat.getIsJoined());
    privateChat.resetInternals();
    QVERIFY(!privateChat.getIsJoined());
    QCOMPARE(privateChat.getSipURI(), QStringLiteral("sip:u-win@d"));
    QTRY_VERIFY(!privateWindow);
}

void TestConversation::destructionLeavesAndTerminates()
{
    signIn(QStringLiteral("sip:u-me-again@conv.example"));

    const QString channelURI = QStringLiteral("sip:confctl-77@") + m_voice->domain();
    QSignalSpy added(m_voice, SIGNAL(sessionAdded(QString, QString, QString)));
    m_voice->requestJoinChannel(channelURI, QString(), false);
    QVERIFY2(added.wait(3000) || !added.isEmpty(), "the voice service reported no added session");
    const QString handle = added.last().at(2).toString();
    QVERIFY(!handle.isEmpty());
    // Only sessions the voice service counts as joined are terminated.
    QVERIFY2(QTest::qWaitFor([&] { return m_voice->knownSessions().contains(handle); }, 3000),
             "the voice service does not count the session as joined");

    auto *conversation = new Conversation(QStringLiteral("Chan"), channelURI, QStringLiteral("77"), nullptr, handle);
    QCOMPARE(conversation->getJoinState(), Conversation::Joined);
    QList<int> states;
    connect(conversation, &Conversation::joinStateChanged, this,
            [&](Conversation::JoinState state) { states << int(state); });
    int terminatesBeforeDestroying = -1;
    connect(conversation, &Conversation::destroying, this, [&] {
        terminatesBeforeDestroying = 0;
        for (int i = 0; i < oxc_request_count(OX_REQ_SESSION_TERMINATE); ++i) {
            auto *request =
                reinterpret_cast<const ox_req_session_terminate_t *>(oxc_find_request(OX_REQ_SESSION_TERMINATE, i));
            if (request && QString::fromUtf8(request->session_handle) == handle)
                ++terminatesBeforeDestroying;
        }
    });
    oxc_clear_requests();
    delete conversation;
    // Leaving goes through the realm (Leaving) and ends in NotJoined.
    QCOMPARE(states, (QList<int>{int(Conversation::Leaving), int(Conversation::NotJoined)}));
    QCOMPARE(terminatesBeforeDestroying, 1);
}

void TestConversation::signOut()
{
    // Drops the local user's identity by destroying it in the realm.
    if (TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity())
        delete identity;
    QVERIFY(!LocalUser::getLocalUser()->tavriidentity());
}

TAVRI_TEST_MAIN(TestConversation)
#include "tst_conversation.moc"
