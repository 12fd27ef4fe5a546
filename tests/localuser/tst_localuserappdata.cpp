// The in-band texts other clients send the local user through the voice
// service (requests to enable voice, invitations, moves onto permanent
// channels, acknowledgements) and the voice network's notification pokes,
// delivered through the SDK stand-in.

#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "conversationtestsupport.h"
#include "localusertestsupport.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// "to text" for every user-to-user text sent since the last clear.
QStringList sentAppData()
{
    QStringList result;
    for (int i = 0; i < oxc_request_count(OX_REQ_ACCOUNT_SEND_USER_APP_DATA); ++i) {
        auto *request = reinterpret_cast<const ox_req_account_send_user_app_data_t *>(
            oxc_find_request(OX_REQ_ACCOUNT_SEND_USER_APP_DATA, i));
        result.append(QString::fromUtf8(request->to_uri) + QLatin1Char(' ') + QString::fromUtf8(request->content));
    }
    return result;
}

using conversationtest::lines;

bool listed(Conversation *conversation)
{
    ConversationList *conversations = LocalUser::getLocalUser()->getConversations();
    for (int row = 0; row < conversations->count(); ++row) {
        if (conversations->at(row) == conversation)
            return true;
    }
    return false;
}

QString invitationLine(const QString &name, const QString &href)
{
    return name + QStringLiteral(" has invited you to join a private conversation with others.  <a href=\"") + href
           + QStringLiteral("\">Click here to join now</a>.");
}

} // namespace

class LocalUserAppDataTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void voiceRequest_data();
    void voiceRequest();
    void otherTextsChangeNothing_data();
    void otherTextsChangeNothing();
    void profileUpdateAsksForTheSender();
    void invitation_data();
    void invitation();
    void invitationWithAnUnsafeURIIsRefused_data();
    void invitationWithAnUnsafeURIIsRefused();
    void permanentTransition_data();
    void permanentTransition();
    void acknowledgements_data();
    void acknowledgements();
    void multiPartyAcknowledgement_data();
    void multiPartyAcknowledgement();
    void inviteAcknowledgement();
    void permanentMoveAcknowledgement();
    void serverPokes_data();
    void serverPokes();

private:
    QString peer(const QString &name) const { return QStringLiteral("sip:u-%1@voice.test").arg(name); }
    // The built-in realm's user for a peer, with a display name.
    TavriIdentityRealmUser *user(const QString &name, const QString &displayName = QString());
    // The private chat with a peer, joined or not.
    Conversation *privateChat(const QString &name, bool joined);
    // Sends content from `from` to the local user's voice account through
    // the SDK stand-in and waits until the voice service has announced it.
    bool deliver(const QString &from, const QString &content);
    bool deliverFromServer(const QString &contentType, const QString &content);
    // Posts a profile-update text from a user of its own and waits until its
    // web request has arrived: earlier requests have then been posted too.
    bool settle();
    // The web requests for the record of the user with a SIP URI.
    int profileRequests(const QString &uri);

    localusertest::SignedInUser *m_user = nullptr;
    VoiceManager *m_voice = nullptr;
    int m_settled = 0;
};

void LocalUserAppDataTest::initTestCase()
{
    localusertest::useScriptedInput();
    m_user = new localusertest::SignedInUser;
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method : {"GetChannelInfoWithOwnerInfoFromLiveUID", "changeChannelFavorite", "GetChannelInfo"})
        m_user->web().setDefault(QString::fromLatin1(method), ok);
    m_user->web().setLookupDefaults();

    oxc_reset();
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("me")));
    QVERIFY(!m_voice->localUserUri().isEmpty());
    // Wired as the application wires them.
    connect(m_voice, &VoiceManager::userAppDataReceived, m_user->local(), &LocalUser::onUserAppDataReceived);
    connect(m_voice, &VoiceManager::serverAppDataReceived, m_user->local(), &LocalUser::onVoiceNetworkAppDataReceived);

    m_user->signIn();
    QVERIFY(m_user->identity());
}

void LocalUserAppDataTest::init()
{
    oxc_clear_requests();
}

void LocalUserAppDataTest::cleanupTestCase()
{
    delete m_user;
    m_user = nullptr;
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    oxc_reset();
}

TavriIdentityRealmUser *LocalUserAppDataTest::user(const QString &name, const QString &displayName)
{
    auto *identity = qobject_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(peer(name))->getQObject());
    // Without custom display names a user is shown by its user name.
    identity->setUname(displayName.isEmpty() ? name : displayName);
    return identity;
}

Conversation *LocalUserAppDataTest::privateChat(const QString &name, bool joined)
{
    Conversation *chat = TavriIdentityRealm::getInstance()->getConversation(peer(name));
    if (chat && joined)
        chat->setJoinState(Conversation::Joined);
    return chat;
}

bool LocalUserAppDataTest::deliver(const QString &from, const QString &content)
{
    QSignalSpy received(m_voice, &VoiceManager::userAppDataReceived);
    if (oxc_send_app_data(m_voice->localUserUri().toUtf8().constData(), from.toUtf8().constData(),
                          content.toUtf8().constData())
        != 0)
        return false;
    return received.wait(5000) || !received.isEmpty();
}

bool LocalUserAppDataTest::deliverFromServer(const QString &contentType, const QString &content)
{
    QSignalSpy received(m_voice, &VoiceManager::serverAppDataReceived);
    if (oxc_send_server_app_data(m_voice->localUserUri().toUtf8().constData(), contentType.toUtf8().constData(),
                                 content.toUtf8().constData())
        != 0)
        return false;
    return received.wait(5000) || !received.isEmpty();
}

bool LocalUserAppDataTest::settle()
{
    const QString sentinel = peer(QStringLiteral("sentinel%1").arg(++m_settled));
    if (!deliver(sentinel, QStringLiteral("ProfileUpdate")))
        return false;
    return QTest::qWaitFor([&] { return profileRequests(sentinel) > 0; }, 5000);
}

int LocalUserAppDataTest::profileRequests(const QString &uri)
{
    int count = 0;
    for (const FakeWebService::Request &request : m_user->web().requestsFor("getUserByUserLiveURI")) {
        if (request.value("UserLiveURI") == uri)
            ++count;
    }
    return count;
}

void LocalUserAppDataTest::voiceRequest_data()
{
    QTest::addColumn<bool>("joined");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("line");

    QTest::newRow("private chat not joined")
        << false << QStringLiteral("Vic")
        << QStringLiteral("Vic is requesting a voice conversation, click on the icon to enable audio.");
    QTest::newRow("private chat joined") << true << QStringLiteral("Vic")
                                         << QStringLiteral("Vic has enabled audio, click on the icon to enable audio.");
    QTest::newRow("a name with markup is shown as text")
        << true << QStringLiteral("<a href=\"x\">Vic</a>")
        << QStringLiteral("&lt;a href=&quot;x&quot;&gt;Vic&lt;/a&gt; has enabled audio, click on the icon to enable "
                          "audio.");
}

void LocalUserAppDataTest::voiceRequest()
{
    QFETCH(bool, joined);
    QFETCH(QString, displayName);
    QFETCH(QString, line);
    const QString name = QStringLiteral("vic%1").arg(qHash(QString::fromLatin1(QTest::currentDataTag())));
    user(name, displayName);
    Conversation *chat = privateChat(name, joined);
    QVERIFY(chat);
    const QString channel = QStringLiteral("sip:confctl-g-0a1b2c@voice.test");

    QVERIFY(deliver(peer(name), QStringLiteral("rv:") + channel));

    QCOMPARE(lines(chat), QStringList{line});
    QCOMPARE(chat->getTransitionSipURI(), channel);
    QCOMPARE(sentAppData(), QStringList{peer(name) + QStringLiteral(" rva:") + channel});
    if (!joined) {
        // Joining a private chat lists it among the user's conversations.
        QCOMPARE(chat->getJoinState(), Conversation::Joining);
        QVERIFY(listed(chat));
    } else {
        QCOMPARE(chat->getJoinState(), Conversation::Joined);
    }
}

void LocalUserAppDataTest::otherTextsChangeNothing_data()
{
    QTest::addColumn<QString>("content");

    QTest::newRow("acknowledgement is not a request") << QStringLiteral("rva:sip:confctl-g-77@voice.test");
    QTest::newRow("obsolete channel request") << QStringLiteral("RequestCurrentChannels");
    QTest::newRow("obsolete channel update") << QStringLiteral("Channels");
    QTest::newRow("obsolete channel update with list") << QStringLiteral("Channels:sip:confctl-1@voice.test");
    QTest::newRow("profile update with more") << QStringLiteral("ProfileUpdate ");
    QTest::newRow("profile update in lower case") << QStringLiteral("profileupdate");
    QTest::newRow("upper-case prefix") << QStringLiteral("RV:sip:confctl-g-1@voice.test");
    QTest::newRow("prefix without colon") << QStringLiteral("rv");
    QTest::newRow("empty") << QString();
    QTest::newRow("long garbage") << QString(100000, QLatin1Char('x'));
    QTest::newRow("binary-looking") << QStringLiteral("\x01\x02rv:\u00ff");
    // Acknowledgements that name no conversation.
    for (const char *ack : {"rta:", "ria:", "rpa:"}) {
        QTest::addRow("%s without URI", ack) << QString::fromLatin1(ack);
        QTest::addRow("%s for no conversation URI", ack) << QString::fromLatin1(ack) + QStringLiteral("x-7@voice.test");
    }
}

void LocalUserAppDataTest::otherTextsChangeNothing()
{
    QFETCH(QString, content);
    const QString name = QStringLiteral("oscar");
    user(name);
    Conversation *chat = privateChat(name, true);
    chat->setTransitionSipURI(QString());
    const int linesBefore = lines(chat).size();
    // The realm looked the new user up once.
    QTRY_VERIFY(profileRequests(peer(name)) >= 1);
    const int profileRequestsBefore = profileRequests(peer(name));
    LogCapture capture(LogCapture::ForwardWarnings);

    QVERIFY(deliver(peer(name), content));
    QVERIFY(settle());

    QCOMPARE(lines(chat).size(), linesBefore);
    QCOMPARE(chat->getTransitionSipURI(), QString());
    // Nothing answered but the sentinel's own text, which needs no answer.
    QCOMPARE(sentAppData(), QStringList());
    QCOMPARE(profileRequests(peer(name)), profileRequestsBefore);
    QVERIFY(capture.matching(QStringLiteral("Assertion Failure")).isEmpty());
}

void LocalUserAppDataTest::profileUpdateAsksForTheSender()
{
    const QString sender = peer(QStringLiteral("pia"));
    QVERIFY(deliver(sender, QStringLiteral("ProfileUpdate")));
    QTRY_COMPARE(profileRequests(sender), 1);
}

void LocalUserAppDataTest::invitation_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("joined");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<QString>("href");

    const QString group = QStringLiteral("sip:confctl-g-5e@voice.test");
    const QString href = QStringLiteral("tavri:JT-") + group;
    QTest::newRow("multi-party, not joined") << "rt:" << false << "Tia" << group << "Tia" << href;
    QTest::newRow("multi-party, joined") << "rt:" << true << "Tia" << group << "Tia" << href;
    QTest::newRow("group, not joined") << "ri:" << false << "Tia" << group << "Tia" << href;
    QTest::newRow("group, joined") << "ri:" << true << "Tia" << group << "Tia" << href;
    QTest::newRow("name with markup") << "ri:" << true << "<img src=x>" << group << "&lt;img src=x&gt;" << href;
    QTest::newRow("ampersand in the URI") << "rt:" << true << "Tia" << QStringLiteral("sip:confctl-g-5e@voice.test&x=1")
                                          << "Tia" << QStringLiteral("tavri:JT-sip:confctl-g-5e@voice.test&amp;x=1");
}

void LocalUserAppDataTest::invitation()
{
    QFETCH(QString, prefix);
    QFETCH(bool, joined);
    QFETCH(QString, displayName);
    QFETCH(QString, group);
    QFETCH(QString, shownName);
    QFETCH(QString, href);
    const QString name = QStringLiteral("tia%1").arg(qHash(QString::fromLatin1(QTest::currentDataTag())));
    user(name, displayName);
    Conversation *chat = privateChat(name, joined);

    QVERIFY(deliver(peer(name), prefix + group));

    QCOMPARE(lines(chat), QStringList{invitationLine(shownName, href)});
    const QString ack = prefix == QLatin1String("rt:") ? QStringLiteral("rta:") : QStringLiteral("ria:");
    QCOMPARE(sentAppData(), QStringList{peer(name) + QLatin1Char(' ') + ack + group});
    // Only a group invitation opens the private chat; neither joins the group.
    const bool joinRequested = prefix == QLatin1String("ri:") && !joined;
    QCOMPARE(chat->getJoinState(),
             joined ? Conversation::Joined : (joinRequested ? Conversation::Joining : Conversation::NotJoined));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 0);
}

void LocalUserAppDataTest::invitationWithAnUnsafeURIIsRefused_data()
{
    QTest::addColumn<QString>("content");

    QTest::newRow("double quote") << QStringLiteral("rt:sip:confctl-g-1@voice.test\" onclick=\"x");
    QTest::newRow("single quote") << QStringLiteral("ri:sip:confctl-g-1@voice.test'");
    QTest::newRow("markup") << QStringLiteral("ri:\"><script>x</script>");
    QTest::newRow("closing bracket") << QStringLiteral("rt:sip:confctl-g-1@voice.test>");
    QTest::newRow("space") << QStringLiteral("rt:sip:confctl-g-1@voice.test x");
    QTest::newRow("tab") << QStringLiteral("ri:sip:confctl-g-1@voice.test\tx");
    QTest::newRow("line break") << QStringLiteral("ri:sip:confctl-g-1@voice.test\n");
}

void LocalUserAppDataTest::invitationWithAnUnsafeURIIsRefused()
{
    QFETCH(QString, content);
    const QString name = QStringLiteral("mallory");
    user(name);
    Conversation *chat = privateChat(name, false);
    QVERIFY(chat);
    const int linesBefore = lines(chat).size();

    QVERIFY(deliver(peer(name), content));

    QCOMPARE(lines(chat).size(), linesBefore);
    QCOMPARE(sentAppData(), QStringList());
    QCOMPARE(chat->getJoinState(), Conversation::NotJoined);
}

void LocalUserAppDataTest::permanentTransition_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<bool>("oldJoined");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QString>("log");

    const QString oldURI = QStringLiteral("sip:confctl-g-c0ffee@voice.test");
    const QString improper = QStringLiteral("LocalUser::onUserAppDataReceived - improper ConvertedToPermanent");
    QTest::newRow("joined chat moves") << oldURI + "|sip:confctl-4242@voice.test" << true << true << QString();
    QTest::newRow("chat not joined") << oldURI + "|sip:confctl-4242@voice.test" << false << false << QString();
    QTest::newRow("three parts") << oldURI + "|sip:confctl-4242@voice.test|x" << true << false << improper;
    QTest::newRow("no bar") << oldURI << true << false << improper;
    QTest::newRow("empty new URI") << oldURI + "|" << true << false << QString();
    QTest::newRow("new URI is a user") << oldURI + "|sip:u-eve@voice.test" << true << false << QString();
    QTest::newRow("empty old URI") << "|sip:confctl-4242@voice.test" << true << false << QString();
}

void LocalUserAppDataTest::permanentTransition()
{
    QFETCH(QString, payload);
    QFETCH(bool, oldJoined);
    QFETCH(bool, moved);
    QFETCH(QString, log);
    const QString oldURI = QStringLiteral("sip:confctl-g-c0ffee@voice.test");
    const QString newURI = QStringLiteral("sip:confctl-4242@voice.test");
    // A fresh ad-hoc conversation each time: a moved one keeps its new URI.
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(oldURI);
    QVERIFY(conversation);
    QCOMPARE(conversation->getSipURI(), oldURI);
    conversation->setJoinState(oldJoined ? Conversation::Joined : Conversation::NotJoined);
    const int favoritesBefore = m_user->web().requestsFor("changeChannelFavorite").size();
    LogCapture capture(LogCapture::ForwardWarnings);

    QVERIFY(deliver(peer(QStringLiteral("pete")), QStringLiteral("rp:") + payload));

    if (!log.isEmpty())
        QCOMPARE(capture.find(QtDebugMsg, log).size(), 1);
    if (!moved) {
        QCOMPARE(conversation->getSipURI(), oldURI);
        QCOMPARE(sentAppData(), QStringList());
        QVERIFY(settle());
        QCOMPARE(m_user->web().requestsFor("changeChannelFavorite").size(), favoritesBefore);
        conversation->setJoinState(Conversation::NotJoined);
        return;
    }
    QCOMPARE(conversation->getSipURI(), newURI);
    QCOMPARE(sentAppData(), QStringList{peer(QStringLiteral("pete")) + QStringLiteral(" rpa:") + newURI});
    // The new channel is joined and made a favourite at the web service.
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 1);
    QVERIFY(m_user->web().waitForRequest(QStringLiteral("changeChannelFavorite")));
    QCOMPARE(m_user->web().requestsFor("changeChannelFavorite").last().value("isFav"), QStringLiteral("1"));
    QVERIFY(capture.matching(QStringLiteral("Assertion Failure")).isEmpty());
    conversation->setJoinState(Conversation::NotJoined);
}

void LocalUserAppDataTest::acknowledgements_data()
{
    QTest::addColumn<bool>("fromThePeer");
    QTest::addRow("from the peer") << true;
    QTest::addRow("from someone else") << false;
}

void LocalUserAppDataTest::acknowledgements()
{
    QFETCH(bool, fromThePeer);
    const QString name = QStringLiteral("ada%1").arg(fromThePeer);
    user(name);
    user(QStringLiteral("eve"));
    Conversation *chat = privateChat(name, true);
    chat->setOstrelSessionHandle(QStringLiteral("private-session-") + name);
    // The local user asked the peer to enable voice and waits for the answer.
    chat->requestVoice(true);
    const QString transition = chat->getTransitionSipURI();
    QVERIFY(transition.startsWith(QStringLiteral("sip:confctl-g-")));
    const int linesBefore = lines(chat).size();
    LogCapture capture(LogCapture::ForwardWarnings);

    QVERIFY(deliver(fromThePeer ? peer(name) : peer(QStringLiteral("eve")), QStringLiteral("rva:") + transition));

    QCOMPARE(lines(chat).size(), linesBefore + (fromThePeer ? 1 : 0));
    if (fromThePeer)
        QVERIFY(lines(chat).last().contains(QStringLiteral("waiting for")));
    // A stranger's text is no answer and breaks no invariant.
    QVERIFY(capture.matching(QStringLiteral("Assertion Failure")).isEmpty());
    // The peer's own answer ends the wait.
    if (!fromThePeer)
        QVERIFY(deliver(peer(name), QStringLiteral("rva:") + transition));
    chat->requestVoice(false);
}

void LocalUserAppDataTest::multiPartyAcknowledgement_data()
{
    QTest::addColumn<bool>("fromThePeer");
    QTest::addRow("from the peer") << true;
    QTest::addRow("from someone else") << false;
}

void LocalUserAppDataTest::multiPartyAcknowledgement()
{
    QFETCH(bool, fromThePeer);
    const QString name = QStringLiteral("mo%1").arg(fromThePeer);
    user(name);
    user(QStringLiteral("ike"));
    Conversation *chat = privateChat(name, true);
    // Inviting a third user into the private chat asks the peer to move to a
    // new group chat first.
    chat->inviteUser(peer(QStringLiteral("ike")));
    const QString group = chat->getTransitionSipURI();
    QVERIFY(group.startsWith(QStringLiteral("sip:confctl-g-")));
    QCOMPARE(sentAppData(), QStringList{peer(name) + QStringLiteral(" rt:") + group});
    oxc_clear_requests();

    QVERIFY(deliver(fromThePeer ? peer(name) : peer(QStringLiteral("eve")), QStringLiteral("rta:") + group));

    if (!fromThePeer) {
        // No answer from the peer: the move waits.
        QCOMPARE(chat->getTransitionSipURI(), group);
        QCOMPARE(sentAppData(), QStringList());
        QVERIFY(deliver(peer(name), QStringLiteral("rta:") + group));
    }
    // The peer answered: the group chat is joined and the invitee asked in.
    QCOMPARE(chat->getTransitionSipURI(), QString());
    Conversation *groupChat = TavriIdentityRealm::getInstance()->getConversation(group);
    QCOMPARE(groupChat->getJoinState(), Conversation::Joining);
    QCOMPARE(sentAppData(), QStringList{peer(QStringLiteral("ike")) + QStringLiteral(" ri:") + group});
    groupChat->setJoinState(Conversation::NotJoined);
}

void LocalUserAppDataTest::inviteAcknowledgement()
{
    user(QStringLiteral("ivy"));
    user(QStringLiteral("eve"));
    const QString groupURI = QStringLiteral("sip:confctl-g-ack1@voice.test");
    Conversation *group = TavriIdentityRealm::getInstance()->getConversation(groupURI);
    group->setJoinState(Conversation::Joined);
    group->inviteUser(peer(QStringLiteral("ivy")));
    QCOMPARE(sentAppData(), QStringList{peer(QStringLiteral("ivy")) + QStringLiteral(" ri:") + groupURI});
    ConversationParticipantList *participants = group->getParticipants();

    // Only the invitee's own answer lists it as invited.
    QVERIFY(deliver(peer(QStringLiteral("eve")), QStringLiteral("ria:") + groupURI));
    QVERIFY(settle());
    QVERIFY(!participants->getParticipantBySipURI(peer(QStringLiteral("eve"))));
    QVERIFY(!participants->getParticipantBySipURI(peer(QStringLiteral("ivy"))));

    QVERIFY(deliver(peer(QStringLiteral("ivy")), QStringLiteral("ria:") + groupURI));
    ConversationParticipant *ivy = participants->getParticipantBySipURI(peer(QStringLiteral("ivy")));
    QVERIFY(ivy);
    QCOMPARE(ivy->getInvitedState(), ConversationParticipant::Invited);
    group->setJoinState(Conversation::NotJoined);
}

void LocalUserAppDataTest::permanentMoveAcknowledgement()
{
    // A joined group chat with a live session and a second user in it.
    const QString oldURI = QStringLiteral("sip:confctl-g-keep1@") + m_voice->domain();
    const QString newURI = QStringLiteral("sip:confctl-7301@") + m_voice->domain();
    const QString legacy = voicetest::joinSession(*m_voice, oldURI);
    QVERIFY(!legacy.isEmpty());
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(oldURI);
    channel->setOstrelSessionHandle(legacy);
    channel->setJoinState(Conversation::Joined);
    channel->getParticipants()->addParticipant(user(QStringLiteral("pat")));
    const int infoBefore = m_user->web().requestsFor("GetChannelInfoWithOwnerInfoFromLiveUID").size();
    oxc_clear_requests();

    // Saved as a permanent channel: it asks for the channel's details, joins
    // the new address and keeps the old session until the others have moved.
    channel->setSipURI(newURI, true);
    QTRY_COMPARE(m_user->web().requestsFor("GetChannelInfoWithOwnerInfoFromLiveUID").size(), infoBefore + 1);
    QCOMPARE(m_user->web().requestsFor("GetChannelInfoWithOwnerInfoFromLiveUID").last().value("ChannelLiveUID"),
             QStringLiteral("7301"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 1);
    QCOMPARE(voicetest::text(
                 voicetest::lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION)->uri),
             newURI.toUtf8());
    channel->addCompleted(oldURI);
    QCOMPARE(sentAppData(), QStringList{peer(QStringLiteral("pat")) + QStringLiteral(" rp:") + oldURI + "|" + newURI});
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 0);

    // The other user's answer, addressed to the new URI, ends the old session.
    QVERIFY(deliver(peer(QStringLiteral("pat")), QStringLiteral("rpa:") + newURI));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 1);
    QCOMPARE(
        voicetest::text(voicetest::lastRequest<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE)->session_handle),
        legacy.toUtf8());
    channel->setOstrelSessionHandle(QString());
    channel->setJoinState(Conversation::NotJoined);
}

void LocalUserAppDataTest::serverPokes_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("uids");

    QTest::newRow("two uids") << "x-ostrel-notification"
                              << "11,12" << true << "11,12";
    QTest::newRow("empty item between commas") << "x-ostrel-notification"
                                               << "1,,2" << true << "1,2";
    QTest::newRow("empty list") << "x-ostrel-notification"
                                << "" << true << "";
    QTest::newRow("invitation poke") << "x-ostrel-notification"
                                     << "ri|sip:confctl-3@voice.test" << false << "";
    QTest::newRow("other content type") << "x-ostrel-other"
                                        << "13" << false << "";
}

void LocalUserAppDataTest::serverPokes()
{
    QFETCH(QString, contentType);
    QFETCH(QString, content);
    QFETCH(bool, asked);
    QFETCH(QString, uids);
    FakeWebService &web = m_user->web();
    const int before = web.requestsFor("GetNotifications").size();

    QVERIFY(deliverFromServer(contentType, content));

    if (asked) {
        QTRY_COMPARE(web.requestsFor("GetNotifications").size(), before + 1);
        QCOMPARE(web.requestsFor("GetNotifications").last().value("NotificationUIDs"), uids);
    } else {
        QVERIFY(settle());
        QCOMPARE(web.requestsFor("GetNotifications").size(), before);
    }
}

TAVRI_TEST_MAIN(LocalUserAppDataTest)
#include "tst_localuserappdata.moc"
