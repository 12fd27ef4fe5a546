// Invitations and the in-band texts between clients: who gets which text,
// what each acknowledgement does, and what happens when the 10 s wait for it
// runs out.

#include "conversation.h"
#include "conversationlist.h"
#include "conversationtestsupport.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include "fakerealm.h"
#include "signedinuser.h"
#include "voicetestsupport.h"

#include <QAbstractEventDispatcher>
#include <QSignalSpy>
#include <QtTest>

namespace {

class InBandConversation : public Conversation
{
public:
    using Conversation::Conversation;
    void showConversationWindow() override {}
};

// A realm that records the chat texts it is asked to send.
class RecordingRealm : public FakeRealm
{
public:
    void sendTextMessage(const QString &, const QString &text) override { sent.append(text); }
    QStringList sent;
};

const int kAckTimeoutMs = 10000;

// The running acknowledgement timers of a conversation.
QList<int> ackTimers(QObject *object)
{
    QList<int> result;
    for (const QAbstractEventDispatcher::TimerInfo &info :
         QAbstractEventDispatcher::instance()->registeredTimers(object))
        if (info.interval == kAckTimeoutMs)
            result.append(info.timerId);
    return result;
}

void fire(QObject *object, int timerId)
{
    QTimerEvent event(timerId);
    QCoreApplication::sendEvent(object, &event);
}

// "to text" for every user-to-user text sent since the last clear.
QStringList appData()
{
    QStringList result;
    for (int i = 0; i < oxc_request_count(OX_REQ_ACCOUNT_SEND_USER_APP_DATA); ++i) {
        auto *request = reinterpret_cast<const ox_req_account_send_user_app_data_t *>(
            oxc_find_request(OX_REQ_ACCOUNT_SEND_USER_APP_DATA, i));
        result.append(QString::fromUtf8(request->to_uri) + QLatin1Char(' ') + QString::fromUtf8(request->content));
    }
    return result;
}

QStringList terminated()
{
    QStringList result;
    for (int i = 0; i < oxc_request_count(OX_REQ_SESSION_TERMINATE); ++i)
        result.append(QString::fromUtf8(
            reinterpret_cast<const ox_req_session_terminate_t *>(oxc_find_request(OX_REQ_SESSION_TERMINATE, i))
                ->session_handle));
    return result;
}

using conversationtest::lines;

} // namespace

class TestInBand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void voiceRequestAnswered();
    void voiceRequestTimeout_data();
    void voiceRequestTimeout();
    void privateChatInvitation();
    void multiPartyTimeout_data();
    void multiPartyTimeout();
    void groupInvitation_data();
    void groupInvitation();
    void permanentChannelInvitation();
    void permanentMove_data();
    void permanentMove();

private:
    QString uri(const QString &name) const { return QStringLiteral("sip:u-%1@inband.example").arg(name); }
    TavriIdentityRealmUser *user(const QString &name,
                                 Tavri::RealmUserInterface::PresenceState presence = Tavri::RealmUserInterface::Online);

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    TavriIdentityRealmUser *m_me = nullptr;
};

void TestInBand::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    m_web = new FakeWebService(this);
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method : {"getUserByUserLiveURI", "getUserByUID", "AddUserStats", "inviteUserToChannel",
                               "GetChannelInfoWithOwnerInfoFromLiveUID", "GetChannelsInHierarchy"})
        m_web->setDefault(QString::fromLatin1(method), ok);
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("inband")));

    m_me = signedin::ownIdentity(uri(QStringLiteral("me")));
    QVERIFY(m_me);
    m_me->setUname(QStringLiteral("Me"));
}

void TestInBand::init()
{
    oxc_clear_requests();
}

void TestInBand::cleanupTestCase()
{
    LocalUser::getLocalUser()->getConversations()->clear();
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    delete m_social;
    m_social = nullptr;
}

TavriIdentityRealmUser *TestInBand::user(const QString &name, Tavri::RealmUserInterface::PresenceState presence)
{
    auto *identity = qobject_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(uri(name))->getQObject());
    identity->setUid(QStringLiteral("uid-") + name);
    identity->setUname(name);
    identity->setDisplayName(name);
    identity->setPresenceState(presence, true);
    return identity;
}

void TestInBand::voiceRequestAnswered()
{
    const QString peer = uri(QStringLiteral("vic"));
    user(QStringLiteral("vic"));
    RecordingRealm realm;
    InBandConversation chat(&realm, peer, QStringLiteral("P"), nullptr, Conversation::VoiceDisabled,
                            Conversation::Joined, QStringLiteral("private-handle"), peer);
    chat.requestVoice(true);
    QCOMPARE(ackTimers(&chat).size(), 1);

    // Only the peer of the chat answers for it.
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("Assertion Failure - 'remoteURI == getSipURI\\(\\)'")));
    chat.remoteAcknowledgedVoiceEnabled(uri(QStringLiteral("other")));
    QCOMPARE(ackTimers(&chat).size(), 1);

    chat.remoteAcknowledgedVoiceEnabled(peer);
    chat.remoteAcknowledgedVoiceEnabled(peer); // late: ignored
    QVERIFY(ackTimers(&chat).isEmpty());
    QCOMPARE(lines(chat).filter(QStringLiteral("waiting for vic to enable voice.")).size(), 1);
}

void TestInBand::voiceRequestTimeout_data()
{
    QTest::addColumn<bool>("offline");
    QTest::newRow("peer offline") << true;
    QTest::newRow("peer on an older client") << false;
}

void TestInBand::voiceRequestTimeout()
{
    QFETCH(bool, offline);
    const QString peer = uri(QStringLiteral("olga"));
    user(QStringLiteral("olga"), offline ? Tavri::RealmUserInterface::Offline : Tavri::RealmUserInterface::Online);
    RecordingRealm realm;
    InBandConversation chat(&realm, peer, QStringLiteral("P"), nullptr, Conversation::VoiceDisabled,
                            Conversation::Joined, QStringLiteral("private-handle"), peer);
    chat.requestVoice(true);
    const QString transition = chat.getTransitionSipURI();
    QVERIFY(!transition.isEmpty());
    QCOMPARE(ackTimers(&chat).size(), 1);

    fire(&chat, ackTimers(&chat).first());

    QVERIFY(ackTimers(&chat).isEmpty());
    if (offline) {
        QCOMPARE(lines(chat)
                     .filter(QStringLiteral("olga is offline, and cannot be invited to a private voice "
                                            "conversation."))
                     .size(),
                 1);
        QVERIFY(realm.sent.isEmpty());
        QCOMPARE(chat.getTransitionSipURI(), transition);
    } else {
        QCOMPARE(lines(chat)
                     .filter(QStringLiteral("olga is on an older version, and needs to upgrade Tavri to "
                                            "support temporary conversation audio."))
                     .size(),
                 1);
        QCOMPARE(realm.sent,
                 QStringList{QStringLiteral("[automated message] I tried to enable audio for this conversation, "
                                            "but your client is out of date.  Please visit ")
                             + m_voice->downloadServer() + QStringLiteral(" and download the latest client.")});
        QCOMPARE(chat.getTransitionSipURI(), QString());
    }
}

void TestInBand::privateChatInvitation()
{
    const QString peer = uri(QStringLiteral("pat"));
    user(QStringLiteral("pat"));
    user(QStringLiteral("ann"));
    user(QStringLiteral("bob"));
    InBandConversation chat(QStringLiteral("P"), peer, QString());

    chat.inviteUser(uri(QStringLiteral("ann")));
    const QString group = chat.getTransitionSipURI();
    QVERIFY(group.startsWith(QStringLiteral("sip:confctl-g-")));
    // The peer is asked first; the invitee waits.
    QCOMPARE(appData(), QStringList{peer + QStringLiteral(" rt:") + group});
    QCOMPARE(ackTimers(&chat).size(), 1);

    // A second invitation before the answer goes straight to the new group.
    chat.inviteUser(uri(QStringLiteral("bob")));
    QCOMPARE(appData().last(), uri(QStringLiteral("bob")) + QStringLiteral(" ri:") + group);
    QCOMPARE(ackTimers(&chat).size(), 2);

    // Only the peer answers for the chat.
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("Assertion Failure - 'remoteURI == getSipURI\\(\\)'")));
    chat.remoteAcknowledgedMultiPartyEnabled(uri(QStringLiteral("ann")));
    QCOMPARE(chat.getTransitionSipURI(), group);

    oxc_clear_requests();
    chat.remoteAcknowledgedMultiPartyEnabled(peer);
    QCOMPARE(chat.getTransitionSipURI(), QString());
    Conversation *groupChat = TavriIdentityRealm::getInstance()->getConversation(group);
    QVERIFY(groupChat);
    QCOMPARE(groupChat->getJoinState(), Conversation::Joining);
    // Without voice the group is joined through the voice service directly.
    bool joined = false;
    for (int i = 0; i < oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION); ++i)
        joined |= QString::fromUtf8(reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
                                        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, i))
                                        ->uri)
                  == group;
    QVERIFY(joined);
    // The queued invitee gets his invitation from the group.
    QCOMPARE(appData(), QStringList{uri(QStringLiteral("ann")) + QStringLiteral(" ri:") + group});
    QCOMPARE(ackTimers(groupChat).size(), 1);
    QCOMPARE(ackTimers(&chat).size(), 1); // bob's invitation still waits

    // A late answer changes nothing.
    oxc_clear_requests();
    chat.remoteAcknowledgedMultiPartyEnabled(peer);
    QVERIFY(appData().isEmpty());
    groupChat->setJoinState(Conversation::NotJoined);
}

void TestInBand::multiPartyTimeout_data()
{
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("line");
    QTest::newRow("peer offline") << true << "tim is offline, and cannot be invited to a group text chat.";
    QTest::newRow("peer on an older client")
        << false << "tim is on an older version, and does not support multi-party text chat outside of saved channels.";
}

void TestInBand::multiPartyTimeout()
{
    QFETCH(bool, offline);
    QFETCH(QString, line);
    const QString peer = uri(QStringLiteral("tim"));
    user(QStringLiteral("tim"), offline ? Tavri::RealmUserInterface::Offline : Tavri::RealmUserInterface::Online);
    InBandConversation chat(QStringLiteral("P"), peer, QString());
    chat.inviteUser(uri(QStringLiteral("ann")));
    QCOMPARE(ackTimers(&chat).size(), 1);

    fire(&chat, ackTimers(&chat).first());

    QVERIFY(lines(chat).contains(line));
    QCOMPARE(chat.getTransitionSipURI(), QString());
    // The queue is gone: an answer now invites nobody.
    oxc_clear_requests();
    chat.remoteAcknowledgedMultiPartyEnabled(peer);
    QVERIFY(appData().isEmpty());
}

void TestInBand::groupInvitation_data()
{
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("line");
    QTest::newRow("invitee offline") << true
                                     << "bob is offline, and cannot be invited to a group text chat except by link.";
    QTest::newRow("invitee on an older client")
        << false << "bob is on an older version, and does not support multi-party text chat outside of saved channels.";
}

void TestInBand::groupInvitation()
{
    QFETCH(bool, offline);
    QFETCH(QString, line);
    const QString group = QStringLiteral("sip:confctl-g-grp@inband.example");
    TavriIdentityRealmUser *ann = user(QStringLiteral("ann"));
    user(QStringLiteral("bob"), offline ? Tavri::RealmUserInterface::Offline : Tavri::RealmUserInterface::Online);
    InBandConversation chat(QStringLiteral("G"), group, QString());

    chat.inviteUser(uri(QStringLiteral("ann")));
    chat.inviteUser(uri(QStringLiteral("bob")));
    QCOMPARE(appData(), (QStringList{uri(QStringLiteral("ann")) + QStringLiteral(" ri:") + group,
                                     uri(QStringLiteral("bob")) + QStringLiteral(" ri:") + group}));
    QCOMPARE(chat.getParticipants()->rowCount(), 0); // shown once answered

    chat.remoteAcknowledgedInvite(uri(QStringLiteral("ann")));
    chat.remoteAcknowledgedInvite(uri(QStringLiteral("ann")));
    chat.remoteAcknowledgedInvite(uri(QStringLiteral("nobody")));
    QCOMPARE(chat.getParticipants()->rowCount(), 1);
    QVERIFY(chat.getParticipants()->getInvitedIdentities()->contains(ann));
    QCOMPARE(ackTimers(&chat).size(), 1);

    fire(&chat, ackTimers(&chat).first());
    QVERIFY(ackTimers(&chat).isEmpty());
    QVERIFY(lines(chat).contains(line));
    QCOMPARE(chat.getParticipants()->rowCount(), 1);

    chat.removeInvitedUser(uri(QStringLiteral("ann")));
    QVERIFY(!chat.getParticipants()->getInvitedIdentities()->contains(ann));
}

void TestInBand::permanentChannelInvitation()
{
    const QString channelURI = QStringLiteral("sip:confctl-300@inband.example");
    InBandConversation channel(QStringLiteral("C"), channelURI, QStringLiteral("300"));
    TavriIdentityRealm::getInstance()->registerConversation(&channel);
    channel.setAccessType(Conversation::InvitationOnly, true);
    TavriIdentityRealmUser *ann = user(QStringLiteral("ann"));

    channel.inviteUser(uri(QStringLiteral("ann")));

    QVERIFY(m_web->waitForRequest(QStringLiteral("inviteUserToChannel")));
    const FakeWebService::Request request = m_web->requestsFor(QStringLiteral("inviteUserToChannel")).last();
    QCOMPARE(request.value(QStringLiteral("userUID")), QStringLiteral("uid-ann"));
    QCOMPARE(request.value(QStringLiteral("channelUID")), QStringLiteral("300"));
    QCOMPARE(request.value(QStringLiteral("customMessage")), QString());
    QVERIFY(appData().isEmpty());
    QVERIFY(ackTimers(&channel).isEmpty());
    QVERIFY(channel.getParticipants()->getInvitedIdentities()->contains(ann));
    // An invitation-only channel lets the invitee in.
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL), 1);

    // Users named through a realm that is not known are not invited.
    channel.inviteUser(QStringLiteral("no-such-realm"), QStringLiteral("uid-ann"));
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL), 1);
    // Neither is an address that names no user.
    channel.inviteUser(QString());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL), 1);
}

void TestInBand::permanentMove_data()
{
    QTest::addColumn<int>("answers");
    QTest::newRow("one answers, the first time-out drops both others") << 1;
    QTest::newRow("two answer, one times out") << 2;
    QTest::newRow("all answer") << 3;
}

void TestInBand::permanentMove()
{
    QFETCH(int, answers);
    static int channelNumber = 400;
    ++channelNumber;
    const QString oldURI = QStringLiteral("sip:confctl-g-move%1@").arg(channelNumber) + m_voice->domain();
    const QString newURI = QStringLiteral("sip:confctl-%1@").arg(channelNumber) + m_voice->domain();
    const QString legacy = voicetest::joinSession(*m_voice, oldURI);
    QVERIFY2(!legacy.isEmpty(), "the voice service reported no joined session");

    InBandConversation channel(QStringLiteral("Saved"), oldURI, QString(), nullptr, legacy);
    QCOMPARE(channel.getJoinState(), Conversation::Joined);
    const QStringList names{QStringLiteral("ann"), QStringLiteral("bob"), QStringLiteral("cat")};
    channel.getParticipants()->addParticipant(m_me);
    for (const QString &name : names)
        channel.getParticipants()->addParticipant(user(name));

    // What the saved channel's answer does: a new address, then the move.
    channel.setSipURI(newURI);
    channel.setChannelUID(QString::number(channelNumber));
    oxc_clear_requests();
    channel.addCompleted(oldURI);

    const QString text = QStringLiteral("rp:") + oldURI + QLatin1Char('|') + newURI;
    QCOMPARE(appData(), (QStringList{uri(names[0]) + QLatin1Char(' ') + text, uri(names[1]) + QLatin1Char(' ') + text,
                                     uri(names[2]) + QLatin1Char(' ') + text}));
    QCOMPARE(ackTimers(&channel).size(), 3);

    // The new session arrives while answers are missing: the old one stays.
    channel.setOstrelSessionHandle(QStringLiteral("new-session"));
    channel.remoteAcknowledgedPermanentTransition(uri(QStringLiteral("nobody")));
    for (int i = 0; i < answers; ++i) {
        QVERIFY(terminated().isEmpty()); // not before the last answer
        channel.remoteAcknowledgedPermanentTransition(uri(names[i]));
        channel.remoteAcknowledgedPermanentTransition(uri(names[i])); // twice: ignored
    }

    if (answers == names.size()) {
        QCOMPARE(terminated(), QStringList{legacy});
        QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);
        QCOMPARE(channel.getParticipants()->rowCount(), 4);
    } else {
        QVERIFY(terminated().isEmpty());
        QCOMPARE(ackTimers(&channel).size(), names.size() - answers);
        fire(&channel, ackTimers(&channel).first());
        QCOMPARE(terminated(), QStringList{legacy});
        QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 1);
        auto *notice =
            reinterpret_cast<const ox_req_session_send_message_t *>(oxc_find_request(OX_REQ_SESSION_SEND_MESSAGE, 0));
        QCOMPARE(QString::fromUtf8(notice->session_handle), legacy);
        QVERIFY(QString::fromUtf8(notice->message_body)
                    .endsWith(QStringLiteral("I have converted this conversation to a permanent conversation.  "
                                             "Please join the new channel - Saved.")));
        // Whoever had not answered is gone; the others stay.
        QCOMPARE(channel.getParticipants()->rowCount(), 1 + answers);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(channel.getParticipants()->getParticipantBySipURI(uri(names[i])) != nullptr, i < answers);
    }
    QVERIFY(ackTimers(&channel).isEmpty());
    // A late answer ends nothing more.
    channel.remoteAcknowledgedPermanentTransition(uri(names[2]));
    QCOMPARE(terminated().size(), 1);
    channel.setOstrelSessionHandle(QString());
}

TAVRI_TEST_MAIN(TestInBand)
#include "tst_inband.moc"
