// The built-in realm's voice-session events: sessions joining, joined,
// refused and ended, the move of a private chat onto a group chat, media and
// participant events with their system lines, the statistics timer, typing,
// a channel's moderator, access and ban lists, buddy presence and the joins
// made once the voice service is ready. The main path runs through the voice
// stand-in; the rest drives the voice service's signals directly.

#include "conversation.h"
#include "conversationmessage.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "conversationtestsupport.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "realmidentitylist.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include "realmtestaccess.h"
#include "realmtestbase.h"
#include "voicetestsupport.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using Access = TavriIdentityRealmTest;
using Reason = Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode;

namespace {

using conversationtest::lines;

// The user ids of a realm identity list, in its order.
QStringList uids(RealmIdentityList *list)
{
    QStringList result;
    for (Tavri::RealmUserInterface *identity : list->getIdentityList())
        result.append(identity->getUid());
    return result;
}

} // namespace

class TestRealmVoice : public RealmTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void channelSessionThroughStandIn();
    void sessionJoining_data();
    void sessionJoining();
    void hangingHandleIsDropped();
    void sessionJoined_data();
    void sessionJoined();
    void joinRefused_data();
    void joinRefused();
    void sessionRemoved_data();
    void sessionRemoved();
    void participantRemovedReasons_data();
    void participantRemovedReasons();
    void localUserDeclinesMove();
    void audioNotices_data();
    void audioNotices();
    void mediaStream_data();
    void mediaStream();
    void mediaDisconnectedStopsStatistics();
    void peerJoiningCompletesMove();
    void groupChatDropsPrivateAddress();
    void volumeAndTyping();
    void channelLists_data();
    void channelLists();
    void channelListChanges();
    void readyToJoinMakesJoinsOnce();
    void presence_data();
    void presence();
    void unknownSessionReported_data();
    void unknownSessionReported();

private:
    // A conversation joined in a session of its own, the local user present.
    Conversation *joined(const QString &sipURI, const QString &handle)
    {
        Conversation *result = conversation(sipURI);
        result->setOstrelSessionHandle(handle);
        Access::fileSession(result, handle);
        emit m_voice->participantAdded(m_myURI, handle, QStringLiteral("Me"), QString());
        return result;
    }
    // A peer present in a session.
    void addPeer(const QString &handle, const QString &peerURI, const QString &name)
    {
        user(peerURI)->setUname(name);
        emit m_voice->participantAdded(peerURI, handle, name, QString());
    }
};

void TestRealmVoice::initTestCase()
{
    qRegisterMetaType<Reason>();
    qRegisterMetaType<Conversation::VoiceState>();
    // The voice account and the built-in identity are one user.
    QVERIFY(startRealm(QStringLiteral("me")));
}

void TestRealmVoice::init()
{
    settle();
    oxc_clear_requests();
    Access::setReadyToJoinChannels(true);
}

void TestRealmVoice::cleanup()
{
    settle();
    forgetTestState();
}

void TestRealmVoice::cleanupTestCase()
{
    stopRealm();
}

void TestRealmVoice::channelSessionThroughStandIn()
{
    const QString channel = uri("confctl-", "400");
    const QString carl = uri("u-", "carl");
    oxc_channel_configure(channel.toUtf8().constData(), "Lobby", "", 0, 1, 10);
    oxc_channel_join(channel.toUtf8().constData(), carl.toUtf8().constData(), "Carl", 1);
    QCOMPARE(oxc_wait_idle(20000), 0);
    Conversation *lobby = conversation(channel);
    QSignalSpy joinedSpy(m_realm, &TavriIdentityRealm::conversationJoined);
    QSignalSpy counts(m_realm, &TavriIdentityRealm::joinedVoiceConversationCountChanged);
    QSignalSpy added(m_realm, &TavriIdentityRealm::conversationParticipantAdded);

    m_realm->requestJoinConversation(channel, m_me);
    QVERIFY(QTest::qWaitFor([&] { return lobby->getIsJoined() && added.size() >= 2; }, 5000));

    const QString handle = lobby->getOstrelSessionHandle();
    QVERIFY(!handle.isEmpty());
    QCOMPARE(Access::bySessionHandle().value(handle), lobby);
    QCOMPARE(Access::handleByConversation().value(lobby), handle);
    QCOMPARE(lobby->getVoiceState(), Conversation::VoiceEnabled);
    QCOMPARE(joinedSpy.first(), QVariantList({channel, m_myURI}));
    QCOMPARE(counts.first().first().toInt(), 1);
    QCOMPARE(m_realm->getJoinedVoiceConversationCount(), 1);
    QVERIFY(Access::statsTimer() != 0);
    ConversationParticipant *peer = lobby->getParticipants()->getParticipantBySipURI(carl);
    QVERIFY(peer);
    QVERIFY(peer->getVoiceEnabled());
    QVERIFY(lobby->getLocalAudioEnabled());

    // Leaving ends the session: the last voice conversation stops the
    // statistics and the channel's participants are polled again.
    QSignalSpy disconnected(m_realm, &TavriIdentityRealm::conversationDisconnected);
    counts.clear();
    m_realm->requestLeaveConversation(channel, m_me);
    QVERIFY(QTest::qWaitFor([&] { return !disconnected.isEmpty(); }, 5000));
    QCOMPARE(disconnected.first().at(0).toString(), channel);
    QVERIFY(!Access::bySessionHandle().contains(handle));
    QVERIFY(!Access::handleByConversation().contains(lobby));
    QCOMPARE(lobby->getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(Access::statsTimer(), 0);
    QCOMPARE(counts.last().first().toInt(), 0);
    QVERIFY(lobby->hasPendingTimer());
}

void TestRealmVoice::sessionJoining_data()
{
    QTest::addColumn<QString>("sipURI");
    QTest::addColumn<QString>("transitionURI");
    QTest::addColumn<QString>("ownHandle");
    QTest::addColumn<QString>("sessionURI");
    QTest::addColumn<QString>("expectOwn");
    QTest::addColumn<QString>("expectTransitionHandle");
    QTest::addColumn<QString>("expectURI");
    QTest::addColumn<QString>("expectTransitionURI");
    QTest::addColumn<bool>("joinedAtOnce");
    // URIs by name: "g1", "g2" group chats, "p" a private chat.
    QTest::newRow("the conversation's own session") << "g1"
                                                    << ""
                                                    << ""
                                                    << "g1"
                                                    << "new"
                                                    << ""
                                                    << "g1"
                                                    << "" << false;
    QTest::newRow("private chat's own session") << "p"
                                                << ""
                                                << ""
                                                << "p"
                                                << "new"
                                                << ""
                                                << "p"
                                                << "" << true;
    QTest::newRow("back to the private chat's address") << "g1"
                                                        << "p"
                                                        << "old"
                                                        << "p"
                                                        << "new"
                                                        << "old"
                                                        << "p"
                                                        << "g1" << true;
    QTest::newRow("migrating to the new channel") << "g1"
                                                  << "g2"
                                                  << ""
                                                  << "g2"
                                                  << "new"
                                                  << ""
                                                  << "g2"
                                                  << "g1" << false;
    QTest::newRow("voice on the channel moved to") << "p"
                                                   << "g2"
                                                   << "old"
                                                   << "g2"
                                                   << "old"
                                                   << "new"
                                                   << "p"
                                                   << "g2" << true;
}

void TestRealmVoice::sessionJoining()
{
    QFETCH(QString, sipURI);
    QFETCH(QString, transitionURI);
    QFETCH(QString, ownHandle);
    QFETCH(QString, sessionURI);
    QFETCH(QString, expectOwn);
    QFETCH(QString, expectTransitionHandle);
    QFETCH(QString, expectURI);
    QFETCH(QString, expectTransitionURI);
    QFETCH(bool, joinedAtOnce);
    static int n = 0;
    ++n;
    const auto address = [&](const QString &name) {
        if (name.isEmpty())
            return QString();
        return name == QLatin1String("p") ? uri("u-", QStringLiteral("p%1").arg(n))
                                          : uri("confctl-g-", QStringLiteral("%1x%2").arg(name).arg(n));
    };
    const auto handle = [&](const QString &name) {
        return name.isEmpty() ? QString() : QStringLiteral("h-%1-%2").arg(name).arg(n);
    };
    Conversation *chat = conversation(address(sipURI));
    chat->setTransitionSipURI(address(transitionURI));
    chat->setOstrelSessionHandle(handle(ownHandle));
    QSignalSpy joinedSpy(m_realm, &TavriIdentityRealm::conversationJoined);

    emit m_voice->sessionJoining(address(sessionURI), handle(QStringLiteral("new")), QStringLiteral("Chat"), false);

    QCOMPARE(chat->getOstrelSessionHandle(), handle(expectOwn));
    QCOMPARE(chat->getTransitionOstrelSessionHandle(), handle(expectTransitionHandle));
    QCOMPARE(chat->getSipURI(), address(expectURI));
    QCOMPARE(chat->getTransitionSipURI(), address(expectTransitionURI));
    QCOMPARE(Access::bySessionHandle().value(handle(QStringLiteral("new"))), chat);
    QCOMPARE(Access::handleByConversation().value(chat), handle(QStringLiteral("new")));
    QCOMPARE(m_realm->getConversation(address(sessionURI)), chat);
    QCOMPARE(joinedSpy.size(), joinedAtOnce ? 1 : 0);
    if (joinedAtOnce)
        QCOMPARE(joinedSpy.first(), QVariantList({address(expectURI), m_myURI}));
}

void TestRealmVoice::hangingHandleIsDropped()
{
    const QString group = uri("confctl-g-", "hang");
    Conversation *chat = conversation(group);
    chat->setOstrelSessionHandle(QStringLiteral("h-hang"));
    chat->setTransitionOstrelSessionHandle(QStringLiteral("h-hang-t"));
    Access::fileSession(chat, QStringLiteral("h-hang"));

    emit m_voice->sessionJoining(group, QStringLiteral("h-hang-2"), QString(), false);

    QVERIFY(!Access::bySessionHandle().contains(QStringLiteral("h-hang")));
    QCOMPARE(Access::bySessionHandle().value(QStringLiteral("h-hang-2")), chat);
    QCOMPARE(chat->getOstrelSessionHandle(), QStringLiteral("h-hang-2"));
}

void TestRealmVoice::sessionJoined_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Conversation::VoiceState>("voiceBefore");
    QTest::addColumn<Conversation::VoiceState>("voiceAfter");
    QTest::newRow("group chat") << "confctl-g-" << Conversation::VoiceDisabled << Conversation::VoiceEnabled;
    QTest::newRow("channel") << "confctl-" << Conversation::VoiceRequested << Conversation::VoiceEnabled;
    QTest::newRow("private chat keeps its voice") << "u-" << Conversation::VoiceDisabled << Conversation::VoiceDisabled;
}

void TestRealmVoice::sessionJoined()
{
    QFETCH(QString, kind);
    QFETCH(Conversation::VoiceState, voiceBefore);
    QFETCH(Conversation::VoiceState, voiceAfter);
    const QString sipURI = uri(kind, QStringLiteral("410"));
    Conversation *chat = conversation(sipURI);
    chat->setVoiceState(voiceBefore);
    chat->setOstrelSessionHandle(QStringLiteral("h410"));
    Access::fileSession(chat, QStringLiteral("h410"));
    Access::pendingMessages().insert(sipURI, {QStringLiteral("queued")});
    QSignalSpy joinedSpy(m_realm, &TavriIdentityRealm::conversationJoined);
    QSignalSpy counts(m_realm, &TavriIdentityRealm::joinedVoiceConversationCountChanged);

    emit m_voice->sessionJoined(QStringLiteral("h410"));

    QCOMPARE(chat->getVoiceState(), voiceAfter);
    QCOMPARE(joinedSpy.size(), 1);
    QCOMPARE(joinedSpy.first(), QVariantList({sipURI, m_myURI}));
    // The next queued text goes out in the session.
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 1);
    QCOMPARE(counts.size(), 1);
}

void TestRealmVoice::joinRefused_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::newRow("join failed, 403") << 0 << 403 << 5 << "Forbidden";
    QTest::newRow("join failed, 404") << 0 << 404 << 6 << "Not Found";
    QTest::newRow("join failed, negative status") << 0 << -1 << 6 << "";
    QTest::newRow("access denied") << 1 << 0 << 5 << "Forbidden (494)";
    QTest::newRow("password required") << 2 << 0 << -1 << "";
}

void TestRealmVoice::joinRefused()
{
    QFETCH(int, event);
    QFETCH(int, status);
    QFETCH(int, code);
    QFETCH(QString, reason);
    const QString channel = uri("confctl-", "420");
    Conversation *chat = conversation(channel);
    chat->setOstrelSessionHandle(QStringLiteral("h420"));
    Access::fileSession(chat, QStringLiteral("h420"));
    QSignalSpy disconnected(m_realm, &TavriIdentityRealm::conversationDisconnected);
    QSignalSpy password(m_realm, &TavriIdentityRealm::conversationPasswordRequired);

    if (event == 0)
        emit m_voice->sessionJoinFailed(channel, status, reason);
    else if (event == 1)
        emit m_voice->channelAccessDenied(QStringLiteral("h420"), reason);
    else
        emit m_voice->channelPasswordRequired(QStringLiteral("h420"));

    if (code < 0) {
        QCOMPARE(disconnected.size(), 0);
        QCOMPARE(password.size(), 1);
        QCOMPARE(password.first(), QVariantList({channel, m_myURI}));
        QCOMPARE(chat->getJoinState(), Conversation::PasswordRequested);
        return;
    }
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(disconnected.first().at(0).toString(), channel);
    QCOMPARE(disconnected.first().at(1).toString(), m_myURI);
    QCOMPARE(int(disconnected.first().at(2).value<Reason>()), code);
    QCOMPARE(disconnected.first().at(3).toString(), reason);
    if (event == 1) {
        // The refused session is forgotten: no text goes into it.
        QVERIFY(!Access::bySessionHandle().contains(QStringLiteral("h420")));
        QVERIFY(!Access::handleByConversation().contains(chat));
        QCOMPARE(chat->getOstrelSessionHandle(), QString());
    }
}

void TestRealmVoice::sessionRemoved_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("transitionKind");
    QTest::addColumn<QString>("ownHandle");
    QTest::addColumn<QString>("transitionHandle");
    QTest::addColumn<Conversation::JoinState>("joinState");
    QTest::addColumn<QString>("removedHandle");
    QTest::addColumn<int>("code"); // -1: not disconnected
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("toTransitionURI");
    QTest::addColumn<bool>("handleLeft");
    QTest::newRow("ended") << "confctl-g-"
                           << ""
                           << "s"
                           << "" << Conversation::Joined << "s" << 6 << "<unknown>" << false << false;
    QTest::newRow("ended while waiting for a password")
        << "confctl-"
        << ""
        << "s"
        << "" << Conversation::PasswordRequested << "s" << 4 << "needs new password" << false << false;
    QTest::newRow("group chat ends, back to the private chat")
        << "confctl-g-"
        << "u-"
        << "s"
        << "" << Conversation::Joined << "s" << 6 << "<unknown>" << true << false;
    QTest::newRow("own session ends, the transition session stays")
        << "u-"
        << "confctl-g-"
        << "s"
        << "t" << Conversation::Joined << "s" << 6 << "<unknown>" << false << true;
    QTest::newRow("old session left behind by a completed move")
        << "confctl-g-"
        << "u-"
        << "s"
        << "t" << Conversation::Joined << "old" << -1 << "" << false << true;
    QTest::newRow("old session, the move done") << "confctl-g-"
                                                << "u-"
                                                << "s"
                                                << "" << Conversation::Joined << "old" << -1 << "" << false << true;
}

void TestRealmVoice::sessionRemoved()
{
    QFETCH(QString, kind);
    QFETCH(QString, transitionKind);
    QFETCH(QString, ownHandle);
    QFETCH(QString, transitionHandle);
    QFETCH(Conversation::JoinState, joinState);
    QFETCH(QString, removedHandle);
    QFETCH(int, code);
    QFETCH(QString, reason);
    QFETCH(bool, toTransitionURI);
    QFETCH(bool, handleLeft);
    static int n = 0;
    ++n;
    const QString sipURI = uri(kind, QStringLiteral("43%1").arg(n));
    const QString transitionURI =
        transitionKind.isEmpty() ? QString() : uri(transitionKind, QStringLiteral("t43%1").arg(n));
    const auto handle = [&](const QString &name) {
        return name.isEmpty() ? QString() : QStringLiteral("h43%1-%2").arg(n).arg(name);
    };
    Conversation *chat = conversation(sipURI);
    chat->setTransitionSipURI(transitionURI);
    chat->setOstrelSessionHandle(handle(ownHandle));
    Access::fileSession(chat, handle(ownHandle));
    if (!transitionHandle.isEmpty()) {
        chat->setTransitionOstrelSessionHandle(handle(transitionHandle));
        Access::bySessionHandle().insert(handle(transitionHandle), chat);
    }
    if (removedHandle == QLatin1String("old"))
        Access::bySessionHandle().insert(handle(removedHandle), chat);
    chat->setVoiceState(Conversation::VoiceEnabled);
    chat->setJoinState(joinState);
    QSignalSpy disconnected(m_realm, &TavriIdentityRealm::conversationDisconnected);
    QSignalSpy counts(m_realm, &TavriIdentityRealm::joinedVoiceConversationCountChanged);

    // An old session is the one of the address the conversation has left.
    const QString sessionURI = removedHandle == QLatin1String("old") ? transitionURI : sipURI;
    emit m_voice->sessionRemoved(sessionURI, handle(removedHandle));

    QCOMPARE(disconnected.size(), code < 0 ? 0 : 1);
    if (code >= 0) {
        QCOMPARE(disconnected.first().at(0).toString(), sipURI);
        QCOMPARE(int(disconnected.first().at(2).value<Reason>()), code);
        QCOMPARE(disconnected.first().at(3).toString(), reason);
    }
    QCOMPARE(counts.size(), 1);
    QVERIFY(!Access::bySessionHandle().contains(handle(removedHandle)));
    if (!handleLeft) {
        // Nothing is left of the sessions: a private chat's address comes
        // back, without voice.
        if (toTransitionURI)
            QCOMPARE(chat->getSipURI(), transitionURI);
        QCOMPARE(chat->getVoiceState(), Conversation::VoiceDisabled);
        QCOMPARE(chat->getOstrelSessionHandle(true), QString());
        QCOMPARE(chat->getTransitionSipURI(), QString());
        QVERIFY(!Access::handleByConversation().contains(chat));
        if (kind == QLatin1String("confctl-g-"))
            QVERIFY(Access::byURI().value(sipURI) != chat); // an ended group chat is forgotten
        else if (kind == QLatin1String("confctl-"))
            QVERIFY(chat->hasPendingTimer()); // a channel's participants are polled again
    } else {
        // The conversation goes on in the session that is left: texts still
        // reach it.
        const QString remaining = removedHandle == QLatin1String("old") ? handle(ownHandle) : handle(transitionHandle);
        QCOMPARE(Access::handleByConversation().value(chat), remaining);
        QCOMPARE(Access::bySessionHandle().value(remaining), chat);
    }
}

void TestRealmVoice::participantRemovedReasons_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("left") << 0 << 0 << "";
    QTest::newRow("timed out") << 1 << 1 << "timed out";
    QTest::newRow("kicked") << 2 << 2 << "kicked";
    QTest::newRow("banned") << 3 << 3 << "banned";
    QTest::newRow("unknown reason") << 7 << 0 << "";
    QTest::newRow("negative reason") << -2 << 0 << "";
}

void TestRealmVoice::participantRemovedReasons()
{
    QFETCH(int, reason);
    QFETCH(int, code);
    QFETCH(QString, text);
    const QString channel = uri("confctl-", "440");
    const QString dave = uri("u-", "dave");
    Conversation *chat = joined(channel, QStringLiteral("h440"));
    addPeer(QStringLiteral("h440"), dave, QStringLiteral("Dave"));
    QSignalSpy removed(m_realm, &TavriIdentityRealm::conversationParticipantRemoved);

    emit m_voice->participantRemoved(dave, QStringLiteral("h440"), reason, QString());

    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first().at(0).toString(), channel);
    QCOMPARE(removed.first().at(1).toString(), user(dave)->getUid());
    QCOMPARE(int(removed.first().at(2).value<Reason>()), code);
    QCOMPARE(removed.first().at(3).toString(), text);
    QVERIFY(!chat->getParticipants()->getParticipantBySipURI(dave));

    // A conversation that is not joined takes no notice.
    chat->setJoinState(Conversation::Leaving);
    emit m_voice->participantRemoved(m_myURI, QStringLiteral("h440"), reason, QString());
    QCOMPARE(removed.size(), 1);
}

void TestRealmVoice::localUserDeclinesMove()
{
    const QString peer = uri("u-", "erin");
    Conversation *chat = joined(peer, QStringLiteral("h450"));
    user(peer)->setUname(QStringLiteral("<i>Erin</i>"));
    // The private chat moves to a group chat whose session the stand-in
    // makes.
    const QString group = uri("confctl-g-", "t450");
    chat->setTransitionSipURI(group);
    m_voice->requestJoinChannel(group, QString(), false);
    QVERIFY(QTest::qWaitFor([&] { return m_voice->knownSessions().contains(chat->getTransitionOstrelSessionHandle()); },
                            5000));
    const QString transition = chat->getTransitionOstrelSessionHandle();
    QCOMPARE(chat->getOstrelSessionHandle(), QStringLiteral("h450"));
    chat->setVoiceState(Conversation::VoiceEnabled);
    QCOMPARE(oxc_wait_idle(20000), 0);
    QCoreApplication::processEvents();
    oxc_clear_requests();
    QSignalSpy removed(m_realm, &TavriIdentityRealm::conversationParticipantRemoved);
    QSignalSpy sessionGone(m_voice, &VoiceManager::sessionRemoved);

    emit m_voice->participantRemoved(m_myURI, transition, 0, QString());

    QCOMPARE(removed.size(), 0);
    QCOMPARE(lines(chat).last(), QStringLiteral("&lt;i&gt;Erin&lt;/i&gt; has declined to enable audio"));
    QVERIFY(oxc_request_count(OX_REQ_SESSION_TERMINATE) >= 1);
    QCOMPARE(QString(reinterpret_cast<const ox_req_session_terminate_t *>(oxc_find_request(OX_REQ_SESSION_TERMINATE, 0))
                         ->session_handle),
             transition);
    QCOMPARE(chat->getTransitionOstrelSessionHandle(), QString());
    QCOMPARE(chat->getVoiceState(), Conversation::VoiceDisabled);
    QVERIFY(sessionGone.wait(3000) || !sessionGone.isEmpty());
}

void TestRealmVoice::audioNotices_data()
{
    QTest::addColumn<bool>("leaves");
    QTest::newRow("stays") << false;
    QTest::newRow("leaves within 100 ms") << true;
}

void TestRealmVoice::audioNotices()
{
    QFETCH(bool, leaves);
    const QString channel = uri("confctl-g-", leaves ? "n461" : "n460");
    const QString fred = uri("u-", leaves ? "fred2" : "fred");
    Conversation *chat = joined(channel, QStringLiteral("h460"));
    addPeer(QStringLiteral("h460"), fred, QStringLiteral("<b>Fred</b>"));
    chat->setVoiceState(Conversation::VoiceEnabled);
    Access::resetSurvey(Access::surveyCountdown());
    const auto update = [&](int media) {
        emit m_voice->participantUpdated(fred, QStringLiteral("h460"), false, true, 40, 0.0, media, true, false, 2,
                                         QString());
    };
    // Arriving in a channel, a participant has voice.
    ConversationParticipant *participant = chat->getParticipants()->getParticipantBySipURI(fred);
    QVERIFY(participant->getVoiceEnabled());
    const int count = lines(chat).size();

    update(2); // text only: audio off
    QCOMPARE(lines(chat).size(), count);
    QCOMPARE(Access::pendingAudioNotices(), 1);
    QVERIFY(!participant->getVoiceEnabled());
    QVERIFY(participant->getIsSpeaking());
    QCOMPARE(participant->getLocalVolumeAdjustment(), 40);
    QVERIFY(participant->getIsMutedLocally());
    QVERIFY(participant->getIsModerator());
    if (leaves)
        emit m_voice->participantRemoved(fred, QStringLiteral("h460"), 0, QString());
    QVERIFY(QTest::qWaitFor([] { return Access::pendingAudioNotices() == 0; }, 2000));
    const QString disabled = QStringLiteral("&lt;b&gt;Fred&lt;/b&gt; has disabled audio.");
    if (leaves) {
        QVERIFY(!lines(chat).contains(disabled));
        return;
    }
    QCOMPARE(lines(chat).mid(count), QStringList{disabled});

    QVERIFY(!Access::surveyPending());
    update(3);
    const QString enabled = QStringLiteral("&lt;b&gt;Fred&lt;/b&gt; has enabled audio.");
    QCOMPARE(lines(chat).mid(count), QStringList({disabled, enabled}));
    // A voice call with someone else took place.
    QVERIFY(Access::surveyPending());
    Access::resetSurvey(Access::surveyCountdown());
}

void TestRealmVoice::mediaStream_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("audio"); // -1: no change announced
    QTest::newRow("audio off") << "confctl-g-" << 1 << "You have disabled audio." << 0;
    QTest::newRow("audio on") << "confctl-g-" << 2 << "You have enabled audio." << 1;
    QTest::newRow("peer asks for audio") << "u-" << 3
                                         << "&lt;Gus&gt; is trying to enable audio, click on the icon to enable audio."
                                         << -1;
    QTest::newRow("other state") << "confctl-g-" << 5 << "" << -1;
}

void TestRealmVoice::mediaStream()
{
    QFETCH(QString, kind);
    QFETCH(int, state);
    QFETCH(QString, line);
    QFETCH(int, audio);
    const QString sipURI = uri(kind, QStringLiteral("gus%1").arg(state));
    Conversation *chat = joined(sipURI, QStringLiteral("h470"));
    user(sipURI)->setUname(QStringLiteral("<Gus>"));
    const int before = lines(chat).size();
    QSignalSpy localAudio(chat, &Conversation::localAudioEnabledChanged);

    emit m_voice->mediaStreamUpdated(QStringLiteral("h470"), false, state, QString());

    QCOMPARE(lines(chat).size(), before + (line.isEmpty() ? 0 : 1));
    if (!line.isEmpty())
        QCOMPARE(lines(chat).last(), line);
    QCOMPARE(localAudio.isEmpty(), audio < 0);
    if (audio >= 0) {
        QCOMPARE(localAudio.last().first().toBool(), audio == 1);
        QCOMPARE(chat->getLocalAudioEnabled(), audio == 1);
    }
    QCOMPARE(Access::statsTimer() != 0, audio == 1);

    // A conversation no longer joined ignores its media.
    chat->setJoinState(Conversation::Leaving);
    emit m_voice->mediaStreamUpdated(QStringLiteral("h470"), false, state, QString());
    QCOMPARE(lines(chat).size(), before + (line.isEmpty() ? 0 : 1));

    // A peer asking for audio outside a private chat breaks an invariant.
    if (state == 3) {
        Conversation *group = joined(uri("confctl-g-", "gus3"), QStringLiteral("h471"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Assertion Failure - 'false'")));
        emit m_voice->mediaStreamUpdated(QStringLiteral("h471"), false, 3, QString());
        QCOMPARE(group->getChatMessages()->rowCount(), 0);
    }
}

void TestRealmVoice::mediaDisconnectedStopsStatistics()
{
    Conversation *first = joined(uri("confctl-g-", "m480"), QStringLiteral("h480"));
    Conversation *second = joined(uri("confctl-g-", "m481"), QStringLiteral("h481"));
    first->setVoiceState(Conversation::VoiceEnabled);
    second->setVoiceState(Conversation::VoiceEnabled);
    emit m_voice->mediaStreamUpdated(QStringLiteral("h480"), false, 2, QString());
    QVERIFY(Access::statsTimer() != 0);
    QSignalSpy audioOff(m_realm, &TavriIdentityRealm::conversationAudioDisabled);

    emit m_voice->mediaDisconnected(QStringLiteral("h480"), QStringLiteral("rtp timeout"));
    QCOMPARE(audioOff.size(), 1);
    QCOMPARE(audioOff.first().first().toString(), first->getSipURI());
    QCOMPARE(first->getVoiceState(), Conversation::VoiceDisabled);
    // Another conversation still has voice.
    QVERIFY(Access::statsTimer() != 0);

    emit m_voice->mediaDisconnected(QStringLiteral("h481"), QString());
    QCOMPARE(second->getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(Access::statsTimer(), 0);
}

void TestRealmVoice::peerJoiningCompletesMove()
{
    const QString peer = uri("u-", "hana");
    const QString group = uri("confctl-g-", "t490");
    Conversation *chat = joined(peer, QStringLiteral("h490"));
    chat->setTransitionSipURI(group);
    emit m_voice->sessionJoining(group, QStringLiteral("h490t"), QString(), false);
    QCOMPARE(chat->getTransitionOstrelSessionHandle(), QStringLiteral("h490t"));

    // The local user's own arrival in the new session completes nothing.
    emit m_voice->participantAdded(m_myURI, QStringLiteral("h490t"), QStringLiteral("Me"), QString());
    QCOMPARE(chat->getSipURI(), peer);

    oxc_clear_requests();
    StorageManager::getInstance()->setVolumeAdjustForUserUri(peer, 70.0);
    emit m_voice->participantAdded(peer, QStringLiteral("h490t"), QStringLiteral("Hana"), QString());

    QCOMPARE(chat->getOstrelSessionHandle(), QStringLiteral("h490t"));
    QCOMPARE(chat->getTransitionOstrelSessionHandle(), QString());
    QCOMPARE(chat->getSipURI(), group);
    QCOMPARE(chat->getTransitionSipURI(), peer);
    QVERIFY(!Access::bySessionHandle().contains(QStringLiteral("h490")));
    QCOMPARE(Access::bySessionHandle().value(QStringLiteral("h490t")), chat);
    QCOMPARE(Access::handleByConversation().value(chat), QStringLiteral("h490t"));
    // The peer's saved volume is applied in the session.
    const auto *volume = reinterpret_cast<const ox_req_session_set_participant_volume_for_me_t *>(
        oxc_find_request(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME, -1));
    QVERIFY(volume);
    QCOMPARE(QString(volume->session_handle), QStringLiteral("h490t"));
    QCOMPARE(QString(volume->participant_uri), peer);
    QCOMPARE(volume->volume, 70);
}

void TestRealmVoice::groupChatDropsPrivateAddress()
{
    const QString group = uri("confctl-g-", "k500");
    const QString ivan = uri("u-", "ivan");
    Conversation *chat = joined(group, QStringLiteral("h500"));
    addPeer(QStringLiteral("h500"), ivan, QStringLiteral("Ivan"));
    Access::byURI().insert(ivan, chat);

    addPeer(QStringLiteral("h500"), uri("u-", "jill"), QStringLiteral("Jill"));
    QVERIFY(Access::byURI().value(ivan) != chat);

    // Down to two again: it answers to the other one's address.
    emit m_voice->participantRemoved(uri("u-", "jill"), QStringLiteral("h500"), 0, QString());
    QCOMPARE(Access::byURI().value(ivan), chat);
    Access::byURI().remove(ivan);
}

void TestRealmVoice::volumeAndTyping()
{
    const QString channel = uri("confctl-g-", "v510");
    const QString kim = uri("u-", "kim");
    Conversation *chat = joined(channel, QStringLiteral("h510"));
    addPeer(QStringLiteral("h510"), kim, QStringLiteral("Kim"));
    ConversationParticipant *participant = chat->getParticipants()->getParticipantBySipURI(kim);

    // The voice service may name a participant with parameters after ";".
    emit m_voice->participantVolumeUpdated(QStringLiteral("h510"), kim + QStringLiteral(";tag=abc"), 33);
    QCOMPARE(participant->getLocalVolumeAdjustment(), 33);
    // Unknown sessions and participants are ignored quietly.
    emit m_voice->participantVolumeUpdated(QStringLiteral("h-unknown"), kim, 80);
    emit m_voice->participantVolumeUpdated(QStringLiteral("h510"), uri("u-", "nobody"), 80);
    QCOMPARE(participant->getLocalVolumeAdjustment(), 33);

    QSignalSpy typing(m_realm, &TavriIdentityRealm::conversationParticipantIsTypingChanged);
    emit m_voice->sessionNotificationReceived(QStringLiteral("h510"), kim, 1);
    emit m_voice->sessionNotificationReceived(QStringLiteral("h510"), kim, 0);
    QCOMPARE(typing.size(), 2);
    QCOMPARE(typing.at(0), QVariantList({channel, user(kim)->getUid(), true}));
    QCOMPARE(typing.at(1), QVariantList({channel, user(kim)->getUid(), false}));
}

void TestRealmVoice::channelLists_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("moderators") << 0;
    QTest::newRow("access list") << 1;
    QTest::newRow("bans") << 2;
}

void TestRealmVoice::channelLists()
{
    QFETCH(int, which);
    const QString channel = uri("confctl-g-", QStringLiteral("l52%1").arg(which));
    Conversation *chat = conversation(channel);
    RealmIdentityList *list = which == 0   ? chat->getModerators(false)
                              : which == 1 ? chat->getMembers(false)
                                           : chat->getBanned(false);
    list->addIdentity(user(uri("u-", "old")));
    const QStringList users{uri("u-", "zed"), uri("u-", "amy"), uri("u-", "max")};
    const auto receive = [&](const QString &channelURI, const QStringList &uris) {
        if (which == 0)
            emit m_voice->moderatorListReceived(channelURI, uris, QVariantList{1, 2, 1});
        else if (which == 1)
            emit m_voice->aclListReceived(channelURI, uris);
        else
            emit m_voice->banListReceived(channelURI, uris);
    };

    receive(channel, users);
    QStringList expected;
    for (const QString &u : users)
        expected.append(user(u)->getUid());
    QCOMPARE(uids(list), expected);

    // No conversation for an empty URI: reported, nothing changes.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Assertion Failure - 'conversation'")));
    receive(QString(), QStringList{uri("u-", "other")});
    QCOMPARE(uids(list), expected);
}

void TestRealmVoice::channelListChanges()
{
    const QString channel = uri("confctl-g-", "l530");
    Conversation *chat = conversation(channel);
    const QString lee = uri("u-", "lee");
    const QString uid = user(lee)->getUid();

    emit m_voice->moderatorAdded(channel, lee);
    QCOMPARE(uids(chat->getModerators(false)), QStringList{uid});
    emit m_voice->moderatorRemoved(channel, lee);
    QCOMPARE(uids(chat->getModerators(false)), QStringList());

    emit m_voice->memberAddedToChannelACL(channel, lee);
    QCOMPARE(uids(chat->getMembers(false)), QStringList{uid});
    emit m_voice->memberRemovedFromChannelACL(channel, lee);
    QCOMPARE(uids(chat->getMembers(false)), QStringList());

    emit m_voice->userBanned(channel, lee, true);
    QCOMPARE(uids(chat->getBanned(false)), QStringList{uid});
    emit m_voice->userBanned(channel, lee, false);
    QCOMPARE(uids(chat->getBanned(false)), QStringList());
}

void TestRealmVoice::readyToJoinMakesJoinsOnce()
{
    Access::setReadyToJoinChannels(false);
    const QString channel = uri("confctl-g-", "r540");
    oxc_channel_configure(channel.toUtf8().constData(), "R", "secret", 0, 1, 10);
    QCOMPARE(oxc_wait_idle(20000), 0);
    Conversation *chat = conversation(channel);
    m_realm->requestJoinConversation(channel, m_me, QStringLiteral("secret"));
    QCOMPARE(Access::pendingJoins(), (QHash<QString, QString>{{channel, QStringLiteral("secret")}}));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE) + oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);

    emit m_voice->readyToJoinChannels();
    QVERIFY(Access::readyToJoinChannels());
    QVERIFY(Access::pendingJoins().isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return !chat->getOstrelSessionHandle().isEmpty(); }, 5000));
    const auto *join = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 0));
    QVERIFY(join);
    QCOMPARE(QString(join->uri), channel);
    QCOMPARE(QString(join->password), QStringLiteral("secret"));
    QCOMPARE(join->connect_audio, 1);

    // A reconnection does not join again.
    QCOMPARE(oxc_wait_idle(20000), 0);
    QCoreApplication::processEvents();
    oxc_clear_requests();
    emit m_voice->readyToJoinChannels();
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 0);

    QSignalSpy removed(m_voice, &VoiceManager::sessionRemoved);
    m_voice->requestTerminateSession(chat->getOstrelSessionHandle());
    QVERIFY(removed.wait(3000) || !removed.isEmpty());
}

void TestRealmVoice::presence_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<Tavri::RealmUserInterface::PresenceState>("state");
    QTest::addColumn<QString>("message");
    using P = Tavri::RealmUserInterface;
    QTest::newRow("available") << 2 << P::Online << "here";
    QTest::newRow("away (1)") << 1 << P::Away << "here";
    QTest::newRow("away (5)") << 5 << P::Away << "here";
    QTest::newRow("offline") << 0 << P::Offline << "";
    QTest::newRow("unknown") << 3 << P::Offline << "";
    QTest::newRow("negative") << -1 << P::Offline << "";
}

void TestRealmVoice::presence()
{
    QFETCH(int, value);
    QFETCH(Tavri::RealmUserInterface::PresenceState, state);
    QFETCH(QString, message);
    const QString buddy = uri("u-", "pia");
    TavriIdentityRealmUser *pia = user(buddy);
    pia->setPresenceState(Tavri::RealmUserInterface::Online, true);
    pia->setPresenceMessage(QStringLiteral("before"), true);

    emit m_voice->presenceReceived(buddy, value, QStringLiteral("here"));
    QCOMPARE(pia->getPresenceState(), state);
    QCOMPARE(pia->getPresenceMessage(), message);

    // No message leaves the one there.
    if (state != Tavri::RealmUserInterface::Offline) {
        emit m_voice->presenceReceived(buddy, value, QString());
        QCOMPARE(pia->getPresenceMessage(), QStringLiteral("here"));
    }
}

void TestRealmVoice::unknownSessionReported_data()
{
    QTest::addColumn<int>("event");
    const char *names[] = {"joined",       "password required", "access denied",       "media disconnected",
                           "media stream", "participant added", "participant removed", "participant updated",
                           "typing"};
    for (int i = 0; i < 9; ++i)
        QTest::newRow(names[i]) << i;
}

void TestRealmVoice::unknownSessionReported()
{
    QFETCH(int, event);
    const QString handle = QStringLiteral("h-unknown");
    const QString who = uri("u-", "quinn");
    QSignalSpy joinedSpy(m_realm, &TavriIdentityRealm::conversationJoined);
    QSignalSpy disconnected(m_realm, &TavriIdentityRealm::conversationDisconnected);
    QSignalSpy added(m_realm, &TavriIdentityRealm::conversationParticipantAdded);
    QSignalSpy removed(m_realm, &TavriIdentityRealm::conversationParticipantRemoved);
    QSignalSpy typing(m_realm, &TavriIdentityRealm::conversationParticipantIsTypingChanged);
    QSignalSpy audioOff(m_realm, &TavriIdentityRealm::conversationAudioDisabled);

    QStringList critical;
    {
        LogCapture capture;
        switch (event) {
        case 0:
            emit m_voice->sessionJoined(handle);
            break;
        case 1:
            emit m_voice->channelPasswordRequired(handle);
            break;
        case 2:
            emit m_voice->channelAccessDenied(handle, QStringLiteral("no"));
            break;
        case 3:
            emit m_voice->mediaDisconnected(handle, QString());
            break;
        case 4:
            emit m_voice->mediaStreamUpdated(handle, false, 2, QString());
            break;
        case 5:
            emit m_voice->participantAdded(who, handle, QString(), QString());
            break;
        case 6:
            emit m_voice->participantRemoved(who, handle, 2, QString());
            break;
        case 7:
            emit m_voice->participantUpdated(who, handle, false, true, 50, 0.5, 1, false, false, 1, QString());
            break;
        default:
            emit m_voice->sessionNotificationReceived(handle, who, 1);
            break;
        }
        for (const CapturedLine &line : capture.lines())
            if (line.type == QtCriticalMsg)
                critical.append(line.message);
    }

    QCOMPARE(critical.size(), 1);
    const QString expected = QStringLiteral("Assertion Failure - 'm_conversationsBySessionHandle.contains(");
    QVERIFY2(critical.first().startsWith(expected), qPrintable(critical.first()));
    QCOMPARE(joinedSpy.size() + disconnected.size() + added.size() + removed.size() + typing.size() + audioOff.size(),
             0);
    QCOMPARE(Access::statsTimer(), 0);
    QCOMPARE(oxc_request_count(-1), 0);
}

TAVRI_TEST_MAIN(TestRealmVoice)
#include "tst_realmvoice.moc"
