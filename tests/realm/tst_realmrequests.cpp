// The built-in realm's requests: joining and leaving conversations, sending
// chat texts and typing notices, logging out, adding and removing contacts,
// creating contact groups, and its timers.

#include "callsessionstat.h"
#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessage.h"
#include "conversationmessagelist.h"
#include "conversationparticipantlist.h"
#include "conversationtestsupport.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "realmtestbase.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using Access = TavriIdentityRealmTest;

namespace {

template <typename Request>
QList<const Request *> requests(ox_request_type type)
{
    QList<const Request *> result;
    for (int i = 0; i < oxc_request_count(type); ++i)
        result.append(reinterpret_cast<const Request *>(oxc_find_request(type, i)));
    return result;
}

using conversationtest::lines;

// Whether the local user's conversation list shows the conversation.
bool listed(const Conversation *conversation)
{
    const ConversationList *list = LocalUser::getLocalUser()->getConversations();
    for (int row = 0; row < list->count(); ++row)
        if (list->at(row) == conversation)
            return true;
    return false;
}

bool realmTimerRuns(int id)
{
    for (const QAbstractEventDispatcher::TimerInfo &info :
         QAbstractEventDispatcher::instance()->registeredTimers(Access::realm()))
        if (info.timerId == id)
            return true;
    return false;
}

} // namespace

class TestRealmRequests : public RealmTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void joinJoined_data();
    void joinJoined();
    void joinChannel_data();
    void joinChannel();
    void joinPrivateChat_data();
    void joinPrivateChat();
    void joinRefusesUnknownPrefix();
    void leave_data();
    void leave();
    void textInSession_data();
    void textInSession();
    void privateTextsQueueUntilSession();
    void channelTextWithoutSessionJoins();
    void privateTextToUser_data();
    void privateTextToUser();
    void typing();
    void contacts_data();
    void contacts();
    void contactWithoutSipURI();
    void createContactGroup();
    void statisticsTimer();
    void audioDisabledNotice_data();
    void audioDisabledNotice();
    void audioDisabledNoticeOutlivesConversation();
    // Deletes the local identity: keep these last.
    void logoutRefusesOtherIdentity();
    void logout();
};

void TestRealmRequests::initTestCase()
{
    qRegisterMetaType<Conversation::JoinState>();
    qRegisterMetaType<Conversation::VoiceState>();
    QVERIFY(startRealm(QStringLiteral("requests"),
                       {QStringLiteral("getUserBySocialUID"), QStringLiteral("changeFriend"),
                        QStringLiteral("addContactGroup"), QStringLiteral("GetChannelHierarchy")}));
}

void TestRealmRequests::init()
{
    settle();
    oxc_clear_requests();
    Access::setReadyToJoinChannels(true);
}

void TestRealmRequests::cleanup()
{
    LocalUser::getLocalUser()->getConversations()->clear();
    forgetTestState();
}

void TestRealmRequests::cleanupTestCase()
{
    stopRealm();
}

void TestRealmRequests::joinJoined_data()
{
    QTest::addColumn<Conversation::VoiceState>("voiceState");
    QTest::addColumn<bool>("joinsVoice");
    QTest::newRow("voice off") << Conversation::VoiceDisabled << false;
    QTest::newRow("voice to be requested") << Conversation::VoiceToBeRequested << false;
    QTest::newRow("voice on") << Conversation::VoiceEnabled << false;
    QTest::newRow("voice just requested") << Conversation::VoiceRequested << true;
}

void TestRealmRequests::joinJoined()
{
    QFETCH(Conversation::VoiceState, voiceState);
    QFETCH(bool, joinsVoice);
    const QString channel = uri("confctl-", "101");
    Conversation *joined = conversation(channel);
    joined->setVoiceState(voiceState);
    joined->setJoinState(Conversation::Joined);
    oxc_clear_requests();
    QSignalSpy announced(m_realm, &TavriIdentityRealm::conversationJoined);

    m_realm->requestJoinConversation(channel, m_me, QStringLiteral("pw"));

    QCOMPARE(announced.size(), joinsVoice ? 0 : 1);
    if (!joinsVoice)
        QCOMPARE(announced.first(), QVariantList({channel, m_me}));
    const auto joins = requests<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QCOMPARE(joins.size(), joinsVoice ? 1 : 0);
    if (joinsVoice) {
        QCOMPARE(QString(joins.first()->uri), channel);
        QCOMPARE(QString(joins.first()->password), QStringLiteral("pw"));
        QCOMPARE(joins.first()->connect_audio, 1);
    }
    QCOMPARE(joined->getJoinState(), Conversation::Joined);
}

void TestRealmRequests::joinChannel_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<bool>("ready");
    QTest::newRow("permanent, voice ready") << QStringLiteral("confctl-102") << true;
    QTest::newRow("ad-hoc, voice ready") << QStringLiteral("confctl-g-abc102") << true;
    QTest::newRow("permanent, voice not ready") << QStringLiteral("confctl-103") << false;
    QTest::newRow("ad-hoc, voice not ready") << QStringLiteral("confctl-g-abc103") << false;
}

void TestRealmRequests::joinChannel()
{
    QFETCH(QString, channel);
    QFETCH(bool, ready);
    channel = QStringLiteral("sip:") + channel + QLatin1Char('@') + m_voice->domain();
    Access::setReadyToJoinChannels(ready);
    Conversation *joining = conversation(channel);
    QSignalSpy states(joining, &Conversation::joinStateChanged);

    m_realm->requestJoinConversation(channel, m_me, QStringLiteral("first"));
    QCOMPARE(joining->getJoinState(), Conversation::Joining);
    QCOMPARE(states.size(), 1);
    // Asked again before the session answers: a stored join takes the new
    // password, a made one is made again.
    m_realm->requestJoinConversation(channel, m_me, QStringLiteral("second"));
    QCOMPARE(joining->getJoinState(), Conversation::Joining);
    QCOMPARE(states.size(), 1);

    const auto joins = requests<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    if (ready) {
        QCOMPARE(joins.size(), 2);
        QCOMPARE(QString(joins.at(0)->uri), channel);
        QCOMPARE(QString(joins.at(0)->password), QStringLiteral("first"));
        QCOMPARE(QString(joins.at(1)->password), QStringLiteral("second"));
        QCOMPARE(joins.at(0)->connect_audio, 1);
        QVERIFY(Access::pendingJoins().isEmpty());
    } else {
        QCOMPARE(joins.size(), 0);
        QCOMPARE(Access::pendingJoins(), (QHash<QString, QString>{{channel, QStringLiteral("second")}}));
    }
    // Channels are not listed here: their session makes them appear.
    QVERIFY(!listed(joining));
}

void TestRealmRequests::joinPrivateChat_data()
{
    QTest::addColumn<bool>("moving");
    QTest::newRow("private chat") << false;
    QTest::newRow("private chat turning into a group chat") << true;
}

void TestRealmRequests::joinPrivateChat()
{
    QFETCH(bool, moving);
    const QString peer = uri("u-", moving ? "carl" : "dora");
    const QString groupChat = uri("confctl-g-", "t104");
    Conversation *chat = conversation(peer);
    if (moving)
        chat->setTransitionSipURI(groupChat);

    m_realm->requestJoinConversation(peer, m_me, QStringLiteral("ignored"));

    const auto joins = requests<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    if (moving) {
        QCOMPARE(joins.size(), 1);
        QCOMPARE(QString(joins.first()->uri), groupChat);
        QCOMPARE(QString(joins.first()->password), QString());
        QCOMPARE(joins.first()->connect_audio, 1);
        QCOMPARE(chat->getJoinState(), Conversation::NotJoined);
        QVERIFY(!listed(chat));
    } else {
        // The private session comes with the first text.
        QCOMPARE(joins.size(), 0);
        QCOMPARE(chat->getJoinState(), Conversation::Joining);
        QVERIFY(listed(chat));
    }
    QVERIFY(Access::pendingJoins().isEmpty());
}

void TestRealmRequests::joinRefusesUnknownPrefix()
{
    // No conversation is made for it, so nothing is joined.
    const QString odd = QStringLiteral("xmpp:room@example.org");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a channel or user URI: \"xmpp:room")));
    m_realm->requestJoinConversation(odd, m_me);
    QVERIFY(!Access::byURI().contains(odd));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);
    QVERIFY(Access::pendingJoins().isEmpty());

    // Leaving needs a conversation; only an empty id has none.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Assertion Failure - 'conversation'")));
    m_realm->requestLeaveConversation(QString(), m_me);
}

void TestRealmRequests::leave_data()
{
    QTest::addColumn<Conversation::JoinState>("state");
    QTest::addColumn<bool>("transition");
    QTest::addColumn<Conversation::JoinState>("after");
    QTest::addColumn<bool>("terminates");
    QTest::newRow("joined") << Conversation::Joined << false << Conversation::Leaving << true;
    QTest::newRow("joined, moving to a group chat") << Conversation::Joined << true << Conversation::Leaving << true;
    QTest::newRow("joining") << Conversation::Joining << true << Conversation::Leaving << false;
    QTest::newRow("password asked") << Conversation::PasswordRequested << false << Conversation::Leaving << false;
    QTest::newRow("not joined") << Conversation::NotJoined << true << Conversation::NotJoined << false;
    QTest::newRow("leaving") << Conversation::Leaving << false << Conversation::Leaving << false;
}

void TestRealmRequests::leave()
{
    QFETCH(Conversation::JoinState, state);
    QFETCH(bool, transition);
    QFETCH(Conversation::JoinState, after);
    QFETCH(bool, terminates);
    static int n = 110;
    const QString channel = uri("confctl-", QString::number(++n));
    const QString handle = voicetest::joinSession(*m_voice, channel);
    QVERIFY(!handle.isEmpty());
    QString transitionHandle;
    if (transition) {
        transitionHandle = voicetest::joinSession(*m_voice, uri("confctl-g-", QStringLiteral("t%1").arg(n)));
        QVERIFY(!transitionHandle.isEmpty());
    }
    Conversation *leaving = conversation(channel);
    leaving->setOstrelSessionHandle(handle);
    leaving->setTransitionOstrelSessionHandle(transitionHandle);
    leaving->setJoinState(state);
    oxc_clear_requests();

    m_realm->requestLeaveConversation(channel, m_me);

    QCOMPARE(leaving->getJoinState(), after);
    QStringList terminated;
    for (const auto *request : requests<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE))
        terminated.append(QString(request->session_handle));
    QStringList expected;
    if (terminates) {
        expected.append(handle);
        if (transition)
            expected.append(transitionHandle);
    }
    QCOMPARE(terminated, expected);
    QCOMPARE(leaving->getOstrelSessionHandle(), terminates ? QString() : handle);
    QCOMPARE(leaving->getTransitionOstrelSessionHandle(), terminates ? QString() : transitionHandle);

    for (const QString &h : {handle, transitionHandle})
        if (!h.isEmpty())
            m_voice->requestTerminateSession(h);
}

void TestRealmRequests::textInSession_data()
{
    QTest::addColumn<bool>("ownHandle");
    QTest::addColumn<QString>("text");
    QTest::newRow("own session") << true << QStringLiteral("hello");
    QTest::newRow("transition session only") << false << QStringLiteral("a:b\nwith colons");
    QTest::newRow("empty text") << true << QString();
}

void TestRealmRequests::textInSession()
{
    QFETCH(bool, ownHandle);
    QFETCH(QString, text);
    const QString channel = uri("confctl-g-", "text120");
    Conversation *chat = conversation(channel);
    if (ownHandle)
        chat->setOstrelSessionHandle(QStringLiteral("h120"));
    chat->setTransitionOstrelSessionHandle(QStringLiteral("h120t"));
    Access::fileSession(chat, ownHandle ? QStringLiteral("h120") : QStringLiteral("h120t"));

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    m_realm->sendTextMessage(channel, text);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();

    const auto sent = requests<ox_req_session_send_message_t>(OX_REQ_SESSION_SEND_MESSAGE);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(QString(sent.first()->session_handle), ownHandle ? QStringLiteral("h120") : QStringLiteral("h120t"));
    const QString body = QString::fromUtf8(sent.first()->message_body);
    const QRegularExpressionMatch frame =
        QRegularExpression(QStringLiteral("^(\\d{13}):0:(.*)$"), QRegularExpression::DotMatchesEverythingOption)
            .match(body);
    QVERIFY2(frame.hasMatch(), qPrintable(body));
    QVERIFY(frame.captured(1).toLongLong() >= before && frame.captured(1).toLongLong() <= after);
    QCOMPARE(frame.captured(2), text);
    QCOMPARE(Access::inFlight(), (QHash<QString, QString>{{QString(sent.first()->base.cookie), text}}));
    QVERIFY(Access::pendingMessages().isEmpty());
}

void TestRealmRequests::privateTextsQueueUntilSession()
{
    const QString peer = uri("u-", "bob");
    Conversation *chat = conversation(peer);
    const QStringList texts{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};

    // One session request per text; the voice service makes one session.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Requesting new session group for P2P")));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^P2P session already requested for sip:u-bob")));
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("^P2P session already requested for sip:u-bob")));
    for (const QString &text : texts)
        m_realm->sendTextMessage(peer, text);
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);
    QCOMPARE(Access::pendingMessages().value(peer), texts);
    QVERIFY(Access::inFlight().isEmpty());

    // A session that is not the chat's sends nothing.
    m_realm->sendNextQueuedTextMessage(QStringLiteral("h-unknown"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);

    // The session is up: each answered text lets the next one go, in order.
    chat->setOstrelSessionHandle(QStringLiteral("h130"));
    Access::fileSession(chat, QStringLiteral("h130"));
    for (int i = 0; i < texts.size(); ++i) {
        m_realm->sendNextQueuedTextMessage(QStringLiteral("h130"));
        const auto sent = requests<ox_req_session_send_message_t>(OX_REQ_SESSION_SEND_MESSAGE);
        QCOMPARE(sent.size(), i + 1);
        QCOMPARE(QString(sent.last()->session_handle), QStringLiteral("h130"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{13}:0:") + texts.at(i) + QLatin1Char('$'))
                    .match(QString::fromUtf8(sent.last()->message_body))
                    .hasMatch());
        QCOMPARE(Access::inFlight().value(QString(sent.last()->base.cookie)), texts.at(i));
        QCOMPARE(Access::inFlight().size(), i + 1);
        QCOMPARE(Access::pendingMessages().value(peer), texts.mid(i + 1));
    }
    m_realm->sendNextQueuedTextMessage(QStringLiteral("h130"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), texts.size());
}

void TestRealmRequests::channelTextWithoutSessionJoins()
{
    Access::setReadyToJoinChannels(false);
    const QString channel = uri("confctl-", "140");
    Conversation *quiet = conversation(channel);

    m_realm->sendTextMessage(channel, QStringLiteral("lost"));

    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);
    QVERIFY(Access::pendingMessages().isEmpty());
    QVERIFY(Access::inFlight().isEmpty());
    QCOMPARE(Access::pendingJoins(), (QHash<QString, QString>{{channel, QString()}}));
    QCOMPARE(quiet->getJoinState(), Conversation::Joining);

    // Once the session is there the text is not sent after all.
    quiet->setOstrelSessionHandle(QStringLiteral("h140"));
    Access::fileSession(quiet, QStringLiteral("h140"));
    m_realm->sendNextQueuedTextMessage(QStringLiteral("h140"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);
}

void TestRealmRequests::privateTextToUser_data()
{
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<bool>("knownChat");
    QTest::newRow("known private chat") << QStringLiteral("u-erin") << true;
    QTest::newRow("no private chat yet") << QStringLiteral("u-fred") << false;
    QTest::newRow("receiver without sip:") << QStringLiteral("1234") << false;
}

void TestRealmRequests::privateTextToUser()
{
    QFETCH(QString, receiver);
    QFETCH(bool, knownChat);
    const bool sipReceiver = receiver.startsWith(QLatin1String("u-"));
    if (sipReceiver)
        receiver = QStringLiteral("sip:") + receiver + QLatin1Char('@') + m_voice->domain();
    if (knownChat) {
        Conversation *chat = conversation(receiver);
        chat->setOstrelSessionHandle(QStringLiteral("h150"));
        Access::fileSession(chat, QStringLiteral("h150"));
        Access::privateChats().insert(qMakePair(m_me, receiver), receiver);
    }
    if (!sipReceiver)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("receiver is not a SIP URI: \"1234\"")));

    m_realm->sendTextMessage(m_me, receiver, QStringLiteral("psst"));

    const auto sent = requests<ox_req_session_send_message_t>(OX_REQ_SESSION_SEND_MESSAGE);
    if (knownChat) {
        QCOMPARE(sent.size(), 1);
        QCOMPARE(QString(sent.first()->session_handle), QStringLiteral("h150"));
        QVERIFY(QString::fromUtf8(sent.first()->message_body).endsWith(QLatin1String(":0:psst")));
        QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 0);
        QVERIFY(Access::pendingMessages().isEmpty());
    } else {
        QCOMPARE(sent.size(), 0);
        QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);
        QCOMPARE(Access::pendingMessages(), (QHash<QString, QStringList>{{receiver, {QStringLiteral("psst")}}}));
    }
}

void TestRealmRequests::typing()
{
    const QString channel = uri("confctl-g-", "typing160");
    Conversation *chat = conversation(channel);
    // Without a session nobody is told.
    m_realm->sendIsTypingChanged(channel, true);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_NOTIFICATION), 0);

    chat->setTransitionOstrelSessionHandle(QStringLiteral("h160t"));
    Access::fileSession(chat, QStringLiteral("h160t"));
    m_realm->sendIsTypingChanged(channel, true);
    m_realm->sendIsTypingChanged(channel, false);
    const auto notices = requests<ox_req_session_send_notification_t>(OX_REQ_SESSION_SEND_NOTIFICATION);
    QCOMPARE(notices.size(), 2);
    QCOMPARE(QString(notices.at(0)->session_handle), QStringLiteral("h160t"));
    QCOMPARE(notices.at(0)->notification_type, 1);
    QCOMPARE(notices.at(1)->notification_type, 0);
}

void TestRealmRequests::contacts_data()
{
    QTest::addColumn<bool>("add");
    QTest::newRow("add") << true;
    QTest::newRow("remove") << false;
}

void TestRealmRequests::contacts()
{
    QFETCH(bool, add);
    const QString contact = uri("u-", add ? "gina" : "hank");
    m_realm->requestUserInfoUpdateByURI(contact);
    const int before = m_web->requestsFor(QStringLiteral("changeFriend")).size();

    if (add)
        m_realm->requestAddContact(QStringLiteral("anyone"), contact);
    else
        m_realm->requestRemoveContact(QStringLiteral("anyone"), contact);

    QVERIFY(QTest::qWaitFor([&] { return m_web->requestsFor(QStringLiteral("changeFriend")).size() > before; }, 5000));
    const FakeWebService::Request change = m_web->requestsFor(QStringLiteral("changeFriend")).last();
    QCOMPARE(change.value(QStringLiteral("friendUID")), contact);
    QCOMPARE(change.value(QStringLiteral("setIsFriend")), add ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(change.value(QStringLiteral("inviteUID")), QString());
    if (add) {
        const auto set = requests<ox_req_account_buddy_set_t>(OX_REQ_ACCOUNT_BUDDY_SET);
        QCOMPARE(set.size(), 1);
        QCOMPARE(QString(set.first()->buddy_uri), contact);
        QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_BUDDY_DELETE), 0);
    } else {
        const auto deleted = requests<ox_req_account_buddy_delete_t>(OX_REQ_ACCOUNT_BUDDY_DELETE);
        QCOMPARE(deleted.size(), 1);
        QCOMPARE(QString(deleted.first()->buddy_uri), contact);
        QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_BUDDY_SET), 0);
    }
}

void TestRealmRequests::contactWithoutSipURI()
{
    // A user known only by its web id has no voice address yet: befriended
    // on the web service, but no buddy with an empty address.
    const int before = m_web->requestsFor(QStringLiteral("changeFriend")).size();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no SIP URI for \"4711\"")));
    m_realm->requestAddContact(m_me, QStringLiteral("4711"));
    QVERIFY(QTest::qWaitFor([&] { return m_web->requestsFor(QStringLiteral("changeFriend")).size() > before; }, 5000));
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeFriend")).last().value(QStringLiteral("friendUID")),
             QStringLiteral("4711"));
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_BUDDY_SET), 0);
}

void TestRealmRequests::createContactGroup()
{
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("^Assertion Failure - '!name.isEmpty\\(\\)'")));
    m_realm->requestCreateContactGroup(QString());
    m_realm->requestCreateContactGroup(QStringLiteral("Work & Play"));
    QVERIFY(m_web->waitForRequest(QStringLiteral("addContactGroup")));
    const QList<FakeWebService::Request> made = m_web->requestsFor(QStringLiteral("addContactGroup"));
    QCOMPARE(made.size(), 1);
    QCOMPARE(made.first().value(QStringLiteral("name")), QStringLiteral("Work & Play"));
}

void TestRealmRequests::statisticsTimer()
{
    // A timer the realm does not know of changes nothing.
    Access::fireTimer(987654);
    QCOMPARE(oxc_request_count(-1), 0);

    // The statistics window takes each answer; here the test does.
    QMetaObject::Connection takeStats =
        connect(m_voice, &VoiceManager::sessionStatReceived, this, [](CallSessionStat *stat) { delete stat; });
    const int id = Access::startStatsTimer(20);
    QTRY_VERIFY_WITH_TIMEOUT(oxc_request_count(OX_REQ_SESSIONGROUP_GET_STATS) >= 2, 5000);
    const auto *stats =
        reinterpret_cast<const ox_req_sessiongroup_get_stats_t *>(oxc_find_request(OX_REQ_SESSIONGROUP_GET_STATS, 0));
    QCOMPARE(QString(stats->session_group_handle), m_voice->channelSessionGroupHandle());
    QVERIFY(realmTimerRuns(id));
    Access::stopStatsTimer();
    QCOMPARE(oxc_wait_idle(20000), 0);
    QCoreApplication::processEvents();
    disconnect(takeStats);
}

void TestRealmRequests::audioDisabledNotice_data()
{
    QTest::addColumn<Conversation::JoinState>("state");
    QTest::addColumn<QString>("participant");
    QTest::addColumn<bool>("shown");
    QTest::newRow("joined") << Conversation::Joined << QStringLiteral("ann") << true;
    QTest::newRow("left") << Conversation::NotJoined << QStringLiteral("ann") << false;
    QTest::newRow("leaving") << Conversation::Leaving << QStringLiteral("ann") << false;
    QTest::newRow("participant gone") << Conversation::Joined << QStringLiteral("nobody") << false;
}

void TestRealmRequests::audioDisabledNotice()
{
    QFETCH(Conversation::JoinState, state);
    QFETCH(QString, participant);
    QFETCH(bool, shown);
    const QString annURI = uri("u-", "ann");
    auto *ann = qobject_cast<TavriIdentityRealmUser *>(m_realm->requestUserInfoUpdateByURI(annURI)->getQObject());
    QVERIFY(ann);
    ann->setUname(QStringLiteral("Ann"));
    ann->setDisplayName(QStringLiteral("Ann"));
    Conversation *channel = conversation(uri("confctl-", "170"));
    channel->getParticipants()->addParticipant(ann);
    channel->setJoinState(state);
    const int linesBefore = lines(channel).size();

    const int id = Access::startNotice(channel, uri("u-", participant), 10);
    QTRY_VERIFY_WITH_TIMEOUT(!Access::noticePending(id), 5000);
    QVERIFY(!realmTimerRuns(id));

    // The line, if any, is written where the notice ends.
    const QStringList added = lines(channel).mid(linesBefore);
    if (shown) {
        QCOMPARE(added.size(), 1);
        QVERIFY2(added.first().contains(QLatin1String("Ann has disabled audio.")), qPrintable(added.first()));
    } else {
        QCOMPARE(added, QStringList());
    }
}

void TestRealmRequests::audioDisabledNoticeOutlivesConversation()
{
    auto *channel = conversation(uri("confctl-", "171"));
    channel->setJoinState(Conversation::Joined);
    const int id = Access::startNotice(channel, uri("u-", "ann"), 30);
    delete channel;
    QTRY_VERIFY_WITH_TIMEOUT(!Access::noticePending(id), 5000);
    QVERIFY(!realmTimerRuns(id));
}

void TestRealmRequests::logoutRefusesOtherIdentity()
{
    Conversation *chat = conversation(uri("confctl-", "180"));
    Access::fileSession(chat, QStringLiteral("h180"));
    Access::pendingMessages().insert(uri("u-", "ivy"), {QStringLiteral("later")});
    const int timer = Access::startStatsTimer(60000);

    for (Tavri::RealmUserInterface *other :
         {static_cast<Tavri::RealmUserInterface *>(nullptr), m_realm->requestUserInfoUpdateByURI(uri("u-", "ivy"))}) {
        QTest::ignoreMessage(
            QtCriticalMsg,
            QRegularExpression(QStringLiteral(
                "^Assertion Failure - 'identity == LocalUser::getLocalUser\\(\\)->tavriidentity\\(\\)'")));
        m_realm->requestLogout(other);
    }

    QCOMPARE(Access::bySessionHandle().size(), 1);
    QCOMPARE(Access::handleByConversation().size(), 1);
    QCOMPARE(Access::pendingMessages().size(), 1);
    QCOMPARE(Access::statsTimer(), timer);
    QVERIFY(realmTimerRuns(timer));
    QVERIFY(LocalUser::getLocalUser()->tavriidentity());
    Access::stopStatsTimer();
}

void TestRealmRequests::logout()
{
    // A joined channel with a live session, a second conversation filed under
    // two sessions, texts queued and in flight, lists and the statistics timer.
    const QString channelURI = uri("confctl-", "190");
    const QString handle = voicetest::joinSession(*m_voice, channelURI);
    QVERIFY(!handle.isEmpty());
    Conversation *channel = conversation(channelURI);
    channel->setOstrelSessionHandle(handle);
    channel->setJoinState(Conversation::Joined);
    Access::fileSession(channel, handle);
    Conversation *chat = conversation(uri("confctl-g-", "t191"));
    chat->setJoinState(Conversation::Joining);
    Access::fileSession(chat, QStringLiteral("h191"));
    Access::bySessionHandle().insert(QStringLiteral("h191t"), chat);
    Access::pendingMessages().insert(uri("u-", "jo"), {QStringLiteral("queued")});
    Access::inFlight().insert(QStringLiteral("1500"), QStringLiteral("flying"));
    Access::privateChats().insert(qMakePair(m_me, uri("u-", "jo")), uri("u-", "jo"));
    Access::favoriteChannelURIs().append(channelURI);
    Access::ownedChannelURIs().append(channelURI);
    Access::ownedChannelDisplayNames().append(QStringLiteral("Owned"));
    // A list merge half done: the owned channels have come, the favourites not.
    Access::conversationListProgress() = 1;
    Access::contactGroups().insert(QStringLiteral("7"), true);
    const int timer = Access::startStatsTimer(60000);
    Access::pendingJoins().insert(uri("confctl-", "192"), QStringLiteral("kept"));
    oxc_clear_requests();

    QPointer<TavriIdentityRealmUser> me = LocalUser::getLocalUser()->tavriidentity();
    m_realm->requestLogout(me);

    QVERIFY(Access::bySessionHandle().isEmpty());
    QVERIFY(Access::handleByConversation().isEmpty());
    QVERIFY(Access::pendingMessages().isEmpty());
    QVERIFY(Access::inFlight().isEmpty());
    QVERIFY(Access::privateChats().isEmpty());
    QVERIFY(Access::favoriteChannelURIs().isEmpty());
    QVERIFY(Access::ownedChannelURIs().isEmpty());
    QVERIFY(Access::ownedChannelDisplayNames().isEmpty());
    // The next user's list starts afresh.
    QCOMPARE(Access::conversationListProgress(), quint16(0));
    QVERIFY(Access::contactGroups().isEmpty());
    QCOMPARE(Access::statsTimer(), 0);
    QVERIFY(!realmTimerRuns(timer));
    // Joins not yet made are kept for the voice service.
    QCOMPARE(Access::pendingJoins().value(uri("confctl-", "192")), QStringLiteral("kept"));
    // Each conversation was left once; only the joined one had a session.
    const auto terminated = requests<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE);
    QCOMPARE(terminated.size(), 1);
    QCOMPARE(QString(terminated.first()->session_handle), handle);
    QCOMPARE(channel->getJoinState(), Conversation::Leaving);
    QCOMPARE(chat->getJoinState(), Conversation::Leaving);

    // The identity goes once control is back in the event loop.
    QVERIFY(me);
    QTRY_VERIFY(!me);
    QVERIFY(!LocalUser::getLocalUser()->tavriidentity());

    // Without an identity in the realm, a text to a channel asks for nothing.
    const QString later = uri("confctl-", "193");
    Conversation *quiet = conversation(later);
    m_realm->sendTextMessage(later, QStringLiteral("anyone?"));
    QCOMPARE(quiet->getJoinState(), Conversation::NotJoined);
    QVERIFY(!Access::pendingJoins().contains(later));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);
}

TAVRI_TEST_MAIN(TestRealmRequests)
#include "tst_realmrequests.moc"
