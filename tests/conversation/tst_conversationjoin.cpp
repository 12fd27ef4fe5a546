// Conversation joining and leaving: channel limits, stored passwords, the
// join-state side effects, the voice requests, join and leave lines, muting
// and the participant refresh of a channel the user is not in.

#include "contactgrouplist.h"
#include "conversation.h"
#include "conversationlist.h"
#include "fakewebservice.h"
#include "identityrealmmanager.h"
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
#include <QPointer>
#include <QQuickView>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A conversation whose windows are only counted and whose count of joined
// conferences the test sets.
class JoinConversation : public Conversation
{
public:
    using Conversation::Conversation;

    void showConversationWindow() override { ++windowShows; }
    void showPasswordWindow() override { ++passwordShows; }
    void setWindow(QQuickView *window) { m_window = window; }
    QQuickView *window() const { return m_window; }
    void fireTimer(int timerId)
    {
        QTimerEvent event(timerId);
        timerEvent(&event);
    }

    int windowShows = 0;
    int passwordShows = 0;
    int joinedConferences = -1;

protected:
    int joinedVoiceConversationCount() const override
    {
        return joinedConferences >= 0 ? joinedConferences : Conversation::joinedVoiceConversationCount();
    }
};

// A realm that records sent texts and hands out users the test made.
class RecordingRealm : public FakeRealm
{
public:
    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override { return users.value(userUUID); }
    void sendTextMessage(const QString &conversationID, const QString &text) override
    {
        sent.append({conversationID, text});
    }

    QHash<QString, Tavri::RealmUserInterface *> users;
    QList<QStringList> sent;
};

// Timer id -> interval of the object's running timers.
QHash<int, int> timers(QObject *object)
{
    QHash<int, int> result;
    for (const QAbstractEventDispatcher::TimerInfo &info :
         QAbstractEventDispatcher::instance()->registeredTimers(object))
        result.insert(info.timerId, info.interval);
    return result;
}

QStringList systemLines(Conversation &conversation)
{
    QStringList lines;
    for (ConversationMessage *message : conversation.getChatMessages()->getMessages())
        lines.append(message->getText());
    return lines;
}

template <typename Request>
QList<const Request *> requests(int type)
{
    QList<const Request *> result;
    for (int i = 0; i < oxc_request_count(type); ++i)
        result.append(reinterpret_cast<const Request *>(oxc_find_request(type, i)));
    return result;
}

} // namespace

class TestConversationJoin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    // First, so that the echo channel is this test's own conversation.
    void echoChannelWhileInAnother();
    void channelLimits_data();
    void channelLimits();
    void joinWhileInOnlyShowsWindow_data();
    void joinWhileInOnlyShowsWindow();
    void passwords_data();
    void passwords();
    void passwordRequestedAndConfirmedJoin();
    void joinedConferencesList();
    void heldChannelsStayListed();
    void privateChatDropKeepsWindowAndLines_data();
    void privateChatDropKeepsWindowAndLines();
    void channelLeftTerminatesAndResets();
    void voiceWithoutSession();
    void voiceStateDrivesMedia();
    void privateChatVoiceMovesToTransition();
    void privateChatVoiceOffAndDrop();
    void sessionHandleIsAnnouncedAsGiven();
    void transitionHandleAnnouncesAudio_data();
    void transitionHandleAnnouncesAudio();
    void joinAndLeaveLines();
    void joinLineUserDestroyedWhileWaiting();
    void participantEventsForOtherIdsAndUnknownUsers();
    void typing();
    void muting();
    void refreshAndStatisticsTicks();
    // Last: a long list sends many user requests to the web service.
    void userListRefresh_data();
    void userListRefresh();
    void localUserFollowsChannelsAndParticipation();

private:
    QString channelURI(int n) const { return QStringLiteral("sip:confctl-%1@").arg(n) + m_voice->domain(); }

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    QStringList m_alerts;
    TavriIdentityRealmUser *m_me = nullptr;
};

void TestConversationJoin::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Conversation::JoinState>();
    qRegisterMetaType<Conversation::VoiceState>();
    m_web = new FakeWebService(this);
    m_web->setDefault(QStringLiteral("getUserByUserLiveURI"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("getUserByUID"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("AddUserStats"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID"), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("join")));

    m_me = signedin::ownIdentity(QStringLiteral("sip:u-me@join.example"));
    QVERIFY(m_me);
    m_me->setUname(QStringLiteral("Me"));
    Conversation::setAlertHandler([this](const QString &text) { m_alerts.append(text); });
}

void TestConversationJoin::init()
{
    m_alerts.clear();
    oxc_clear_requests();
}

void TestConversationJoin::cleanup()
{
    LocalUser::getLocalUser()->getConversations()->clear();
    if (Conversation *echo = TavriIdentityRealm::getInstance()->getConversation(Conversation::echoChannelURI()))
        echo->setJoinState(Conversation::NotJoined);
}

void TestConversationJoin::cleanupTestCase()
{
    Conversation::setAlertHandler(nullptr);
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    delete m_social;
    m_social = nullptr;
}

void TestConversationJoin::channelLimits_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<int>("joined");
    QTest::addColumn<bool>("echoJoined");
    QTest::addColumn<QString>("alert");

    const QString sixAlert =
        QStringLiteral("Cannot join more than 6 channels at a time, please exit one before joining another.");
    const QString echoAlert = QStringLiteral("Cannot be in another channel while in echo channel.");
    QTest::newRow("five joined") << "sip:confctl-5@d" << 5 << false << "";
    QTest::newRow("six joined") << "sip:confctl-5@d" << 6 << false << sixAlert;
    QTest::newRow("six joined, ad-hoc") << "sip:confctl-g-ab@d" << 6 << false << sixAlert;
    QTest::newRow("private chat is never limited") << "sip:u-peer@d" << 9 << true << "";
    QTest::newRow("echo joined") << "sip:confctl-5@d" << 0 << true << echoAlert;
    QTest::newRow("echo test comes first") << "sip:confctl-5@d" << 6 << true << echoAlert;
}

void TestConversationJoin::channelLimits()
{
    QFETCH(QString, uri);
    QFETCH(int, joined);
    QFETCH(bool, echoJoined);
    QFETCH(QString, alert);

    Conversation *echo = TavriIdentityRealm::getInstance()->getConversation(Conversation::echoChannelURI());
    QVERIFY(echo);
    echo->setJoinState(echoJoined ? Conversation::Joined : Conversation::NotJoined);

    JoinConversation conversation(QStringLiteral("C"), uri, QString());
    conversation.joinedConferences = joined;
    conversation.getChatMessages()->addSystemMessage(QStringLiteral("earlier line"));
    QSignalSpy states(&conversation, &Conversation::joinStateChanged);
    conversation.requestJoinConversation();

    if (alert.isEmpty()) {
        QVERIFY(m_alerts.isEmpty());
        QCOMPARE(conversation.getJoinState(), Conversation::Joining);
    } else {
        QCOMPARE(m_alerts, QStringList{alert});
        QCOMPARE(states.count(), 0);
        QCOMPARE(conversation.getJoinState(), Conversation::NotJoined);
        QCOMPARE(conversation.windowShows, 0);
    }
}

void TestConversationJoin::echoChannelWhileInAnother()
{
    // The echo channel itself is refused while another conference is in.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    JoinConversation echo(QStringLiteral("Echo"), Conversation::echoChannelURI(), QString());
    realm->registerConversation(&echo);
    QCOMPARE(realm->getConversation(Conversation::echoChannelURI()), &echo);

    echo.joinedConferences = 1;
    echo.requestJoinConversation();
    QCOMPARE(m_alerts, QStringList{QStringLiteral("Cannot be in echo channel while in another channel.")});
    QCOMPARE(echo.getJoinState(), Conversation::NotJoined);

    m_alerts.clear();
    echo.joinedConferences = 0;
    echo.requestJoinConversation();
    QVERIFY(m_alerts.isEmpty());
    QCOMPARE(echo.getJoinState(), Conversation::Joining);
    echo.setJoinState(Conversation::NotJoined);
}

void TestConversationJoin::joinWhileInOnlyShowsWindow_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("joining") << int(Conversation::Joining);
    QTest::newRow("joined") << int(Conversation::Joined);
}

void TestConversationJoin::joinWhileInOnlyShowsWindow()
{
    QFETCH(int, state);
    JoinConversation conversation(QStringLiteral("C"), channelURI(6), QString());
    conversation.setJoinState(Conversation::JoinState(state));
    conversation.getParticipants()->addParticipant(m_me);
    // Six joined, this one among them: no limit alert for a request that
    // changes nothing.
    conversation.joinedConferences = 6;
    const int shows = conversation.windowShows;
    QSignalSpy states(&conversation, &Conversation::joinStateChanged);

    conversation.requestJoinConversation(QStringLiteral("secret"), true);

    QVERIFY(m_alerts.isEmpty());
    QCOMPARE(conversation.windowShows, shows + 1);
    QCOMPARE(states.count(), 0);
    QCOMPARE(conversation.getParticipants()->rowCount(), 1);
    QVERIFY(!StorageManager::getInstance()
                 ->getSettingsValue(conversation.settingsKey() + QStringLiteral("_password"))
                 .isValid());
}

void TestConversationJoin::passwords_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("storedAfter");
    QTest::addColumn<QString>("sent");

    const QString odd = QStringLiteral("p@ss w/ \"quotes\" & ümlaut;=%\n");
    QTest::newRow("empty uses the stored one") << "kept"
                                               << "" << false << "kept"
                                               << "kept";
    QTest::newRow("nothing stored") << ""
                                    << "" << true << ""
                                    << "";
    QTest::newRow("given, not saved") << "kept"
                                      << "new" << false << "kept"
                                      << "new";
    QTest::newRow("given and saved") << "kept"
                                     << "new" << true << "new"
                                     << "new";
    QTest::newRow("any characters, stored as given") << "" << odd << true << odd << odd;
}

void TestConversationJoin::passwords()
{
    QFETCH(QString, stored);
    QFETCH(QString, given);
    QFETCH(bool, save);
    QFETCH(QString, storedAfter);
    QFETCH(QString, sent);

    static int channel = 40;
    const QString uri = channelURI(++channel);
    JoinConversation conversation(QStringLiteral("C"), uri, QString());
    conversation.joinedConferences = 0;
    StorageManager *storage = StorageManager::getInstance();
    const QString key = conversation.settingsKey() + QStringLiteral("_password");
    storage->removeSettingsValue(key);
    if (!stored.isEmpty())
        storage->setSettingsValue(key, stored);

    conversation.requestJoinConversation(given, save);

    QCOMPARE(conversation.getJoinState(), Conversation::Joining);
    QCOMPARE(storage->getSettingsValue(key, QString()).toString(), storedAfter);
    // The password reaches the voice service once the realm forwards joins.
    for (auto *request : requests<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION))
        if (QString::fromUtf8(request->uri) == uri)
            QCOMPARE(QString::fromUtf8(request->password), sent);
    storage->removeSettingsValue(key);
}

void TestConversationJoin::passwordRequestedAndConfirmedJoin()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    JoinConversation conversation(QStringLiteral("C"), channelURI(7), QString());
    conversation.joinedConferences = 0;
    conversation.requestJoinConversation();

    // Events for other conversations change nothing.
    emit realm->conversationPasswordRequired(channelURI(8), m_me->getUid());
    QCOMPARE(conversation.getJoinState(), Conversation::Joining);

    emit realm->conversationPasswordRequired(channelURI(7), m_me->getUid());
    QCOMPARE(conversation.getJoinState(), Conversation::PasswordRequested);
    QCOMPARE(conversation.passwordShows, 1);

    conversation.requestJoinConversation(QStringLiteral("pw"));
    QCOMPARE(conversation.getJoinState(), Conversation::Joining);

    // The realm reporting the local user inside confirms the join.
    QSignalSpy lines(conversation.getChatMessages(), &ConversationMessageList::messageAdded);
    emit realm->conversationParticipantAdded(channelURI(7), m_me->getUid());
    QCOMPARE(conversation.getJoinState(), Conversation::Joined);
    QVERIFY(conversation.getParticipants()->getParticipantByUUID(m_me->getUid()));
    QCOMPARE(lines.count(), 0); // no "has joined" line for oneself
}

void TestConversationJoin::joinedConferencesList()
{
    ConversationList *joined = LocalUser::getLocalUser()->getConversations();
    JoinConversation channel(QStringLiteral("C"), channelURI(9), QString());
    JoinConversation privateChat(QStringLiteral("P"), QStringLiteral("sip:u-peer9@d"), QString());

    QSignalSpy states(&channel, &Conversation::joinStateChanged);
    QSignalSpy isJoined(&channel, &Conversation::isJoinedChanged);
    channel.setJoinState(Conversation::Joining);
    QCOMPARE(joined->count(), 0);
    channel.setJoinState(Conversation::Joined);
    QCOMPARE(joined->count(), 1);
    QCOMPARE(joined->at(0), &channel);
    QCOMPARE(channel.windowShows, 2);
    channel.setJoinState(Conversation::Joined);
    QCOMPARE(states.count(), 2);
    QCOMPARE(isJoined.count(), 2);
    QCOMPARE(channel.windowShows, 2);

    channel.setJoinState(Conversation::Leaving);
    QCOMPARE(joined->count(), 0);
    QCOMPARE(channel.windowShows, 2); // leaving opens no window
    channel.setJoinState(Conversation::Joined);
    QCOMPARE(joined->count(), 1);
    channel.setJoinState(Conversation::NotJoined);
    QCOMPARE(joined->count(), 0);

    privateChat.setJoinState(Conversation::Joined);
    QCOMPARE(joined->count(), 0);
}

void TestConversationJoin::heldChannelsStayListed()
{
    ConversationList *list = LocalUser::getLocalUser()->getConversations();
    JoinConversation lobby(QStringLiteral("Lobby"), channelURI(60), QString());
    JoinConversation games(QStringLiteral("Games"), channelURI(61), QString());
    JoinConversation other(QStringLiteral("Other"), channelURI(62), QString());
    lobby.setOwnerIdentity(m_me);
    games.setParentConversation(&lobby);
    // The tree finds a parent through the realm.
    TavriIdentityRealm::getInstance()->registerConversation(&lobby);
    const auto rows = [list] {
        QStringList shown;
        for (int row = 0; row < list->count(); ++row)
            shown << list->at(row)->getDisplayName();
        return shown.join(QLatin1Char(','));
    };

    // The owned channel, starred, opened with its child listed under it.
    lobby.setIsFavorite(true, true);
    list->addConversation(&games, false);
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));
    list->expandItem(0, false);
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));

    // Joining and leaving (its window closed) keeps both rows; so does the
    // child's own join and leave.
    for (JoinConversation *channel : {&lobby, &games}) {
        channel->setJoinState(Conversation::Joined);
        channel->setJoinState(Conversation::Leaving);
        channel->setJoinState(Conversation::NotJoined);
        QCOMPARE(rows(), QStringLiteral("Lobby,Games"));
    }
    // Un-starring an owned channel keeps it; the service's word that its
    // favourite entry went does too.
    lobby.setIsFavorite(false, true);
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));
    emit IdentityRealmManager::getInstance()->conversationListEntryRemoved(TavriIdentityRealm::getInstance(),
                                                                           lobby.getSipURI());
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));

    // A channel held by nothing but its join goes when it is left, and one
    // that is only a favourite goes when the star is taken off.
    other.setJoinState(Conversation::Joined);
    QVERIFY(rows().endsWith(QLatin1String("Other")));
    other.setJoinState(Conversation::NotJoined);
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));
    other.setIsFavorite(true, true);
    other.setIsFavorite(false, true);
    QCOMPARE(rows(), QStringLiteral("Lobby,Games"));
}

void TestConversationJoin::privateChatDropKeepsWindowAndLines_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("transition");
    QTest::addColumn<QString>("uriAfter");

    QTest::newRow("private chat") << "sip:u-peer10@d"
                                  << ""
                                  << "sip:u-peer10@d";
    QTest::newRow("channel a private chat moved to") << "sip:confctl-g-abc@d"
                                                     << "sip:u-peer10@d"
                                                     << "sip:u-peer10@d";
}

void TestConversationJoin::privateChatDropKeepsWindowAndLines()
{
    QFETCH(QString, uri);
    QFETCH(QString, transition);
    QFETCH(QString, uriAfter);

    QPointer<QQuickView> window = new QQuickView;
    JoinConversation chat(QStringLiteral("P"), uri, QString());
    chat.setWindow(window);
    chat.setTransitionSipURI(transition);
    chat.setJoinState(Conversation::Joined);
    chat.getChatMessages()->addSystemMessage(QStringLiteral("hello"));

    chat.setJoinState(Conversation::NotJoined);

    QCOMPARE(chat.getSipURI(), uriAfter);
    QCOMPARE(chat.getTransitionSipURI(), QString());
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(chat.window(), window.data());
    QVERIFY(systemLines(chat).contains(QStringLiteral("hello")));
    delete window;
    chat.setWindow(nullptr);
}

void TestConversationJoin::channelLeftTerminatesAndResets()
{
    const QString uri = channelURI(11);
    const QString handle = voicetest::joinSession(*m_voice, uri);
    QVERIFY2(!handle.isEmpty(), "the voice service reported no joined session");

    QPointer<QQuickView> window = new QQuickView;
    JoinConversation channel(QStringLiteral("C"), uri, QString(), nullptr, handle);
    channel.setWindow(window);
    channel.getChatMessages()->addSystemMessage(QStringLiteral("hello"));
    channel.setJoinState(Conversation::Leaving);
    oxc_clear_requests();

    channel.setJoinState(Conversation::NotJoined);

    QStringList terminated;
    for (auto *request : requests<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE))
        terminated.append(QString::fromUtf8(request->session_handle));
    QCOMPARE(terminated, QStringList{handle});
    QCOMPARE(channel.getOstrelSessionHandle(true), QString());
    QVERIFY(!channel.window());
    QTRY_VERIFY(!window);
    QVERIFY(systemLines(channel).isEmpty());
}

void TestConversationJoin::voiceWithoutSession()
{
    RecordingRealm realm;
    Conversation conversation(&realm, QStringLiteral("room"), QStringLiteral("Room"));
    QSignalSpy voice(&conversation, &Conversation::voiceStateChanged);

    conversation.requestVoice(true);

    QCOMPARE(realm.sent, (QList<QStringList>{{QStringLiteral("room"), QString()}}));
    QCOMPARE(conversation.getVoiceState(), Conversation::VoiceToBeRequested);
    QCOMPARE(voice.count(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_CONNECT), 0);
}

void TestConversationJoin::voiceStateDrivesMedia()
{
    Conversation channel(QStringLiteral("C"), channelURI(20), QString(), nullptr, QStringLiteral("h20"));
    QCOMPARE(channel.getVoiceState(), Conversation::VoiceEnabled);
    // Already enabled: nothing to ask.
    channel.requestVoice(true);
    QCOMPARE(oxc_request_count(-1), 0);

    channel.requestVoice(false);
    auto disconnects = requests<ox_req_session_media_disconnect_t>(OX_REQ_SESSION_MEDIA_DISCONNECT);
    QCOMPARE(disconnects.size(), 1);
    QCOMPARE(QString::fromUtf8(disconnects.first()->session_handle), QStringLiteral("h20"));

    // The service's answer (its media disconnected) turns the state off
    // without a second request; once voice is off a further request asks
    // nothing.
    oxc_clear_requests();
    channel.requestVoice(false);
    channel.setVoiceState(Conversation::VoiceDisabled);
    QCOMPARE(channel.getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(oxc_request_count(-1), 0);
    channel.requestVoice(false);
    QCOMPARE(oxc_request_count(-1), 0);
    // Writing VoiceDisabled (as a window does) disconnects the media.
    Conversation other(QStringLiteral("O"), channelURI(22), QString(), nullptr, QStringLiteral("h22"));
    other.setVoiceState(Conversation::VoiceDisabled);
    disconnects = requests<ox_req_session_media_disconnect_t>(OX_REQ_SESSION_MEDIA_DISCONNECT);
    QCOMPARE(disconnects.size(), 1);
    QCOMPARE(QString::fromUtf8(disconnects.first()->session_handle), QStringLiteral("h22"));
    oxc_clear_requests();

    channel.setVoiceState(Conversation::VoiceRequested);
    auto connects = requests<ox_req_session_media_connect_t>(OX_REQ_SESSION_MEDIA_CONNECT);
    QCOMPARE(connects.size(), 1);
    QCOMPARE(QString::fromUtf8(connects.first()->session_handle), QStringLiteral("h20"));

    // A conversation that is not joined only records the state.
    Conversation idle(QStringLiteral("I"), channelURI(21), QString());
    oxc_clear_requests();
    idle.setVoiceState(Conversation::VoiceRequested);
    idle.setVoiceState(Conversation::VoiceDisabled);
    QCOMPARE(oxc_request_count(-1), 0);
}

void TestConversationJoin::privateChatVoiceMovesToTransition()
{
    const QString peer = QStringLiteral("sip:u-peer12@") + m_voice->domain();
    JoinConversation chat(QStringLiteral("P"), peer, QString(), nullptr, QStringLiteral("private-handle"));
    QSignalSpy voice(&chat, &Conversation::voiceStateChanged);

    chat.requestVoice(true);
    const QString transition = chat.getTransitionSipURI();
    QVERIFY(transition.startsWith(QStringLiteral("sip:confctl-g-")));
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceRequested);
    QCOMPARE(voice.count(), 1);
    chat.requestVoice(true);
    QCOMPARE(chat.getTransitionSipURI(), transition);

    const auto appData = requests<ox_req_account_send_user_app_data_t>(OX_REQ_ACCOUNT_SEND_USER_APP_DATA);
    QCOMPARE(appData.size(), 1);
    QCOMPARE(QString::fromUtf8(appData.first()->to_uri), peer);
    QCOMPARE(QString::fromUtf8(appData.first()->content), QStringLiteral("rv:") + transition);
    // The voice-request acknowledgement waits 10 s.
    QVERIFY(timers(&chat).values().contains(10000));
    // The private session itself gets no media request.
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_CONNECT), 0);

    // Once the transition session exists, a further request does nothing.
    chat.setTransitionOstrelSessionHandle(QStringLiteral("transition-handle"));
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceEnabled);
    oxc_clear_requests();
    chat.requestVoice(true);
    QCOMPARE(oxc_request_count(-1), 0);
    chat.setTransitionOstrelSessionHandle(QString());

    // Turning voice off ends the transition session.
    const QString transitionHandle = voicetest::joinSession(*m_voice, transition);
    QVERIFY2(!transitionHandle.isEmpty(), "the voice service reported no joined session");
    chat.setTransitionOstrelSessionHandle(transitionHandle);
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceEnabled);
    oxc_clear_requests();
    chat.requestVoice(false);
    auto terminated = requests<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE);
    QCOMPARE(terminated.size(), 1);
    QCOMPARE(QString::fromUtf8(terminated.first()->session_handle), transitionHandle);
    QCOMPARE(chat.getTransitionOstrelSessionHandle(), QString());
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_DISCONNECT), 0);
}

void TestConversationJoin::privateChatVoiceOffAndDrop()
{
    const QString peer = QStringLiteral("sip:u-peer14@") + m_voice->domain();
    QPointer<QQuickView> window = new QQuickView;
    JoinConversation chat(QStringLiteral("P"), peer, QString(), nullptr, QStringLiteral("private-handle"));
    chat.setWindow(window);
    chat.setJoinState(Conversation::Joined);
    const auto moveToChannel = [&] {
        chat.requestVoice(true);
        const QString handle = voicetest::joinSession(*m_voice, chat.getTransitionSipURI());
        chat.setTransitionOstrelSessionHandle(handle);
        oxc_clear_requests();
        return handle;
    };

    // Writing VoiceDisabled ends the channel the chat moved its voice to; the
    // private session itself carries no media, so nothing is disconnected.
    const QString first = moveToChannel();
    QVERIFY2(!first.isEmpty(), "the voice service reported no joined session");
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceEnabled);
    chat.setVoiceState(Conversation::VoiceDisabled);
    auto terminated = requests<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE);
    QCOMPARE(terminated.size(), 1);
    QCOMPARE(QString::fromUtf8(terminated.first()->session_handle), first);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_DISCONNECT), 0);
    QCOMPARE(chat.getTransitionOstrelSessionHandle(), QString());
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceDisabled);
    // The ended session's events come and go before voice is asked for again.
    voicetest::drain();

    // Voice can be asked for again, and when only the private session drops,
    // the new channel keeps its session.
    const QString second = moveToChannel();
    QVERIFY2(!second.isEmpty(), "the voice service reported no joined session");
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceEnabled);
    chat.setJoinState(Conversation::Joined);
    oxc_clear_requests();
    chat.setJoinState(Conversation::NotJoined);
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 0);
    QCOMPARE(chat.getTransitionOstrelSessionHandle(), second);
    chat.setTransitionOstrelSessionHandle(QString());
    delete window;
    chat.setWindow(nullptr);
}

void TestConversationJoin::sessionHandleIsAnnouncedAsGiven()
{
    JoinConversation chat(QStringLiteral("Chat"), QStringLiteral("sip:confctl-g-announce@d"), QString());
    chat.setTransitionOstrelSessionHandle(QStringLiteral("transition"));
    QSignalSpy announced(&chat, &Conversation::ostrelSessionHandleChanged);
    chat.setOstrelSessionHandle(QStringLiteral("session"));
    chat.setOstrelSessionHandle(QString());
    QCOMPARE(announced.count(), 2);
    QCOMPARE(announced.at(0).at(0).toString(), QStringLiteral("session"));
    // The empty handle is announced, not the transition session's.
    QCOMPARE(announced.at(1).at(0).toString(), QString());
    chat.setTransitionOstrelSessionHandle(QString());
}

void TestConversationJoin::transitionHandleAnnouncesAudio_data()
{
    QTest::addColumn<int>("others");
    QTest::addColumn<bool>("otherHasVoice");
    QTest::addColumn<QString>("line");

    QTest::newRow("another participant has voice") << 1 << true << "You have enabled audio.";
    QTest::newRow("nobody else") << 0 << false << "You have enabled audio, waiting for other participants to join...";
    QTest::newRow("others without voice") << 1 << false << "";
}

void TestConversationJoin::transitionHandleAnnouncesAudio()
{
    QFETCH(int, others);
    QFETCH(bool, otherHasVoice);
    QFETCH(QString, line);

    JoinConversation chat(QStringLiteral("P"), QStringLiteral("sip:u-peer13@d"), QString(), nullptr,
                          QStringLiteral("h"));
    chat.getParticipants()->addParticipant(m_me);
    auto *other = static_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-peer13@d")));
    if (others > 0) {
        ConversationParticipant *participant = chat.getParticipants()->addParticipant(other);
        participant->setVoiceEnabled(otherHasVoice);
    }
    chat.requestVoice(true);
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceRequested);

    chat.setTransitionOstrelSessionHandle(QStringLiteral("t"));
    QCOMPARE(chat.getVoiceState(), Conversation::VoiceEnabled);
    QCOMPARE(systemLines(chat), line.isEmpty() ? QStringList() : QStringList{line});

    // Clearing the handle adds no line.
    chat.setTransitionOstrelSessionHandle(QString());
    QCOMPARE(systemLines(chat).size(), line.isEmpty() ? 0 : 1);
}

void TestConversationJoin::joinAndLeaveLines()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    JoinConversation channel(QStringLiteral("C"), channelURI(14), QString());
    JoinConversation privateChat(QStringLiteral("P"), QStringLiteral("sip:u-peer14@d"), QString());

    // Ann's name arrives in time, Bob's never.
    emit realm->conversationParticipantAdded(channelURI(14), QStringLiteral("uid-ann14"));
    emit realm->conversationParticipantAdded(channelURI(14), QStringLiteral("uid-bob14"));
    emit realm->conversationParticipantAdded(QStringLiteral("sip:u-peer14@d"), QStringLiteral("uid-ann14"));
    auto *ann = static_cast<TavriIdentityRealmUser *>(realm->getRealmUser(QStringLiteral("uid-ann14")));
    QVERIFY(ann->getDisplayName().isEmpty());
    QVERIFY(systemLines(channel).isEmpty());
    ann->setUname(QStringLiteral("Ann"));
    QCOMPARE(systemLines(channel), QStringList{QStringLiteral("Ann has joined")});
    QTRY_COMPARE_WITH_TIMEOUT(systemLines(channel).size(), 2, 5000);
    QCOMPARE(systemLines(channel).last(), QStringLiteral("Someone has joined"));
    // A later rename writes nothing more; markup in a name is shown as text.
    ann->setUname(QStringLiteral("Ann <b>B</b>"));
    QCOMPARE(systemLines(channel).size(), 2);

    emit realm->conversationParticipantRemoved(channelURI(14), QStringLiteral("uid-ann14"),
                                               Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QCOMPARE(systemLines(channel).last(), QStringLiteral("Ann &lt;b&gt;B&lt;/b&gt; has left"));
    QVERIFY(!channel.getParticipants()->getParticipantByUUID(QStringLiteral("uid-ann14")));

    // Private chats get neither line.
    emit realm->conversationParticipantRemoved(QStringLiteral("sip:u-peer14@d"), QStringLiteral("uid-ann14"),
                                               Tavri::IdentityRealmInterface::DisconnectReasonKicked, QString());
    QVERIFY(systemLines(privateChat).isEmpty());
    QVERIFY(!privateChat.getParticipants()->getParticipantByUUID(QStringLiteral("uid-ann14")));
}

void TestConversationJoin::joinLineUserDestroyedWhileWaiting()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    JoinConversation channel(QStringLiteral("C"), channelURI(15), QString());
    emit realm->conversationParticipantAdded(channelURI(15), QStringLiteral("uid-gone15"));
    QVERIFY(timers(&channel).values().contains(2000));

    delete realm->getRealmUser(QStringLiteral("uid-gone15"))->getQObject();
    // With its timer gone, no line can come for the user.
    QVERIFY(!timers(&channel).values().contains(2000));
    QCoreApplication::processEvents();
    QVERIFY(systemLines(channel).isEmpty());

    // Leaving drops waiting announcements too.
    emit realm->conversationParticipantAdded(channelURI(15), QStringLiteral("uid-late15"));
    QVERIFY(timers(&channel).values().contains(2000));
    channel.setJoinState(Conversation::Joined);
    channel.setJoinState(Conversation::NotJoined);
    QVERIFY(!timers(&channel).values().contains(2000));
}

void TestConversationJoin::participantEventsForOtherIdsAndUnknownUsers()
{
    RecordingRealm realm;
    FakeRealmUser ann(&realm, QStringLiteral("ann"));
    realm.users.insert(QStringLiteral("ann"), &ann);
    Conversation conversation(&realm, QStringLiteral("room"), QStringLiteral("Room"));

    emit realm.conversationParticipantAdded(QStringLiteral("other-room"), QStringLiteral("ann"));
    emit realm.conversationParticipantAdded(QString(), QStringLiteral("ann"));
    QCOMPARE(conversation.getParticipants()->rowCount(), 0);

    // A realm without the user: logged and dropped.
    emit realm.conversationParticipantAdded(QStringLiteral("room"), QStringLiteral("nobody"));
    QCOMPARE(conversation.getParticipants()->rowCount(), 0);

    emit realm.conversationParticipantAdded(QStringLiteral("room"), QStringLiteral("ann"));
    QCOMPARE(conversation.getParticipants()->rowCount(), 1);
    QCOMPARE(systemLines(conversation), QStringList{QStringLiteral("Fake user ann has joined")});

    // Removal of someone who is not there, or in another room: nothing.
    emit realm.conversationParticipantRemoved(QStringLiteral("room"), QStringLiteral("nobody"),
                                              Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    emit realm.conversationParticipantRemoved(QStringLiteral("other-room"), QStringLiteral("ann"),
                                              Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QCOMPARE(conversation.getParticipants()->rowCount(), 1);
}

void TestConversationJoin::typing()
{
    RecordingRealm realm;
    FakeRealmUser ann(&realm, QStringLiteral("ann"));
    realm.users.insert(QStringLiteral("ann"), &ann);
    Conversation conversation(&realm, QStringLiteral("room"), QStringLiteral("Room"));
    emit realm.conversationParticipantAdded(QStringLiteral("room"), QStringLiteral("ann"));
    QSignalSpy typing(&conversation, &Conversation::participantsTypingChanged);

    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("room"), QStringLiteral("ann"), true);
    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("room"), QStringLiteral("ann"), true);
    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("room"), QStringLiteral("nobody"), true);
    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("else"), QStringLiteral("ann"), false);
    QCOMPARE(typing.count(), 1);
    QCOMPARE(conversation.getParticipantsTyping(), QStringList{QStringLiteral("Fake user ann")});

    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("room"), QStringLiteral("ann"), false);
    QCOMPARE(typing.count(), 2);
    QVERIFY(conversation.getParticipantsTyping().isEmpty());

    // Leaving takes the name off the typing list.
    emit realm.conversationParticipantIsTypingChanged(QStringLiteral("room"), QStringLiteral("ann"), true);
    emit realm.conversationParticipantRemoved(QStringLiteral("room"), QStringLiteral("ann"),
                                              Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QVERIFY(conversation.getParticipantsTyping().isEmpty());
}

void TestConversationJoin::muting()
{
    const QString uri = channelURI(16);
    auto *ann = static_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-ann16@d")));
    Conversation channel(QStringLiteral("C"), uri, QString(), nullptr, QStringLiteral("h16"));
    channel.getParticipants()->addParticipant(m_me);
    channel.getParticipants()->addParticipant(ann);

    // Not a moderator: nothing goes out for everyone.
    channel.muteUser(ann, true);
    channel.unmuteUser(ann, true);
    channel.muteAll();
    QCOMPARE(oxc_request_count(OX_REQ_CHANNEL_MUTE_USER), 0);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME), 0);

    // For the local user only: audio and text, in the session.
    channel.muteUser(ann);
    auto forMe = requests<ox_req_session_set_participant_mute_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME);
    QCOMPARE(forMe.size(), 2);
    for (auto *request : forMe) {
        QCOMPARE(QString::fromUtf8(request->session_handle), QStringLiteral("h16"));
        QCOMPARE(QString::fromUtf8(request->participant_uri), QStringLiteral("sip:u-ann16@d"));
        QCOMPARE(request->mute, 1);
    }

    // A user with no row: nothing.
    oxc_clear_requests();
    auto *stranger = static_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-x16@d")));
    channel.muteUser(stranger);
    QCOMPARE(oxc_request_count(-1), 0);

    // The owner moderates: an unmute for everyone also lifts the own mute.
    channel.setOwnerIdentity(m_me);
    channel.unmuteUser(ann, true);
    auto global = requests<ox_req_channel_mute_user_t>(OX_REQ_CHANNEL_MUTE_USER);
    QCOMPARE(global.size(), 2);
    for (auto *request : global) {
        QCOMPARE(QString::fromUtf8(request->channel_uri), uri);
        QCOMPARE(QString::fromUtf8(request->participant_uri), QStringLiteral("sip:u-ann16@d"));
        QCOMPARE(request->mute, 0);
    }
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME), 2);

    // A mute for everyone leaves the local mute alone; muteAll includes
    // the local user's own row.
    oxc_clear_requests();
    channel.muteAll();
    QCOMPARE(oxc_request_count(OX_REQ_CHANNEL_MUTE_USER), 4);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME), 0);
    channel.setOwnerIdentity(nullptr);
}

void TestConversationJoin::userListRefresh_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("users");
    QTest::addColumn<int>("contact"); // the listed user who is a contact, or -1
    QTest::addColumn<int>("interval");

    QTest::newRow("users, no contact") << 3 << 3 << -1 << 240000;
    QTest::newRow("users, the last a contact") << 3 << 3 << 2 << 120000;
    QTest::newRow("empty channel") << 0 << 0 << -1 << 600000;
    QTest::newRow("negative count, a contact") << -4 << 2 << 0 << 600000;
    QTest::newRow("very long list") << 5000 << 5000 << -1 << 240000;
}

void TestConversationJoin::userListRefresh()
{
    QFETCH(int, count);
    QFETCH(int, users);
    QFETCH(int, contact);
    QFETCH(int, interval);

    const QString uri = channelURI(17);
    JoinConversation channel(QStringLiteral("C"), uri, QString());
    QStringList uris;
    for (int i = 0; i < users; ++i)
        uris.append(QStringLiteral("sip:u-list%1@d").arg(i));
    // The local user's roster holds the one contact, as the built-in realm delivers it.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    emit realm->rosterListReceivedBegin(QStringLiteral("me"));
    if (contact >= 0)
        emit realm->rosterListEntry(QStringLiteral("me"),
                                    realm->requestUserInfoUpdateByURI(uris.at(contact))->getUid());
    emit realm->rosterListReceivedEnd(QStringLiteral("me"));
    QCOMPARE(LocalUser::getLocalUser()->getContactGroups()->containsIdentity(
                 contact >= 0 ? realm->requestUserInfoUpdateByURI(uris.at(contact)) : nullptr),
             contact >= 0);

    emit m_voice->userListReceived(uri, uris, count);
    QCOMPARE(channel.getParticipants()->rowCount(), users);
    QCOMPARE(timers(&channel).values(), QList<int>{interval});

    // A second answer restarts the one timer.
    const int secondInterval = contact == 0 ? 120000 : 240000;
    emit m_voice->userListReceived(uri, QStringList{QStringLiteral("sip:u-list0@d")}, 1);
    QCOMPARE(channel.getParticipants()->rowCount(), 1);
    QCOMPARE(timers(&channel).values(), QList<int>{secondInterval});

    // Other channels, or a channel the user is in, change nothing.
    emit m_voice->userListReceived(channelURI(18), uris, count);
    channel.setJoinState(Conversation::Joining);
    emit m_voice->userListReceived(uri, QStringList(), 0);
    QCOMPARE(channel.getParticipants()->rowCount(), 1);
    QCOMPARE(timers(&channel).values(), QList<int>{secondInterval});
}

void TestConversationJoin::localUserFollowsChannelsAndParticipation()
{
    LocalUser *local = LocalUser::getLocalUser();
    // Sessions earlier tests left end first.
    for (const QString &left : m_voice->knownSessions())
        m_voice->requestTerminateSession(left);
    QVERIFY(QTest::qWaitFor([this] { return m_voice->knownSessions().isEmpty(); }, voicetest::kVoiceWaitMs));
    QVERIFY(!local->isInChannel());
    QSignalSpy inChannel(local, &LocalUser::isInChannelChanged);
    const QString handle = voicetest::joinSession(*m_voice, channelURI(40));
    QVERIFY(!handle.isEmpty());
    QVERIFY(local->isInChannel());
    QCOMPARE(inChannel.last().first().toBool(), true);

    // Joined conversations of the list are the ones taken part in; a
    // conversation moving to another channel gives that channel.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    JoinConversation channel(QStringLiteral("C"), channelURI(40), QString());
    JoinConversation moving(QStringLiteral("M"), channelURI(41), QString());
    moving.setTransitionSipURI(channelURI(42));
    local->getConversations()->addConversation(&channel, false);
    local->getConversations()->addConversation(&moving, false);
    channel.setJoinState(Conversation::Joined);
    moving.setJoinState(Conversation::Joined);
    QSignalSpy participating(local, &LocalUser::participatingURIsChanged);
    emit IdentityRealmManager::getInstance()->conversationJoined(realm, channelURI(40));
    QCOMPARE(participating.count(), 1);
    QCOMPARE(participating.last().first().toStringList(), (QStringList{channelURI(40), channelURI(42)}));
    QCOMPARE(local->property("participatingURIs").toStringList(), (QStringList{channelURI(40), channelURI(42)}));

    // Another realm's conversations are not followed.
    FakeRealm other(QStringLiteral("other-participation"));
    emit IdentityRealmManager::getInstance()->conversationJoined(&other, QStringLiteral("x"));
    QCOMPARE(participating.count(), 1);

    channel.setJoinState(Conversation::NotJoined);
    emit IdentityRealmManager::getInstance()->conversationDisconnected(
        realm, channelURI(40), Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QCOMPARE(participating.last().first().toStringList(), QStringList{channelURI(42)});
    QCOMPARE(local->getLastParticipatingURI(), channelURI(40));

    QVERIFY(m_voice->requestTerminateSession(handle));
    QVERIFY(QTest::qWaitFor([local] { return !local->isInChannel(); }, voicetest::kVoiceWaitMs));
    QCOMPARE(inChannel.last().first().toBool(), false);
}

void TestConversationJoin::refreshAndStatisticsTicks()
{
    const QString uri = channelURI(19);
    JoinConversation channel(QStringLiteral("C"), uri, QStringLiteral("1919"));
    emit m_voice->userListReceived(uri, QStringList(), 0);
    const int refreshId = timers(&channel).keys().value(0);
    QVERIFY(refreshId);

    channel.fireTimer(refreshId);
    auto queries = requests<ox_req_account_channel_get_participants_t>(OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS);
    QCOMPARE(queries.size(), 1);
    QCOMPARE(QString::fromUtf8(queries.first()->channel_uri), uri);
    QCOMPARE(queries.first()->page, 1);
    QCOMPARE(queries.first()->page_size, 51);
    QCOMPARE(timers(&channel).values(), QList<int>{900000});

    // Once joined, a tick asks nothing but keeps the timer going; the
    // statistics timer posts the stay and keeps running.
    const int refreshAgain = timers(&channel).keys().value(0);
    channel.setJoinState(Conversation::Joined);
    QHash<int, int> running = timers(&channel);
    QCOMPARE(running.size(), 2);
    running.remove(refreshAgain);
    const int statsId = running.keys().value(0);
    QCOMPARE(running.value(statsId), 900000);

    oxc_clear_requests();
    channel.fireTimer(refreshAgain);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS), 0);
    QCOMPARE(timers(&channel).size(), 2);

    const int posted = m_web->requestsFor(QStringLiteral("AddUserStats")).size();
    channel.fireTimer(statsId);
    QTRY_COMPARE(m_web->requestsFor(QStringLiteral("AddUserStats")).size(), posted + 1);
    QCOMPARE(m_web->requestsFor(QStringLiteral("AddUserStats")).last().value(QStringLiteral("ChannelSocialUID")),
             QStringLiteral("1919"));
    QVERIFY(timers(&channel).contains(statsId));
}

TAVRI_TEST_MAIN(TestConversationJoin)
#include "tst_conversationjoin.moc"
