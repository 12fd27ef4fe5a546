// The realm's relays: voice-service signals and web replies turned into
// responses and events for the external application, over its pipes.

#include "capturedevicemodel.h"
#include "fakecontroller.h"
#include "fakewebservice.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "sharedrealmtestsupport.h"
#include "socialmanager.h"
#include "tavrisharedidentityrealm.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using Request = TavriSharedIdentityRealmRequest;
using Output = TavriSharedIdentityRealmOutput;
using Payload = FakeController::Payload;
using Frame = FakeController::Frame;

namespace {

const QString kOwnUri = QStringLiteral("sip:ann@x");

// A frame's fields after the type, as texts: "i:" int32, "s:" string and so
// on, read by the kinds given ("i", "s", "b").
QStringList fields(Frame frame, const QString &kinds)
{
    QStringList values;
    for (const QChar kind : kinds) {
        if (kind == QLatin1Char('i'))
            values.append(QString::number(frame.int32()));
        else if (kind == QLatin1Char('b'))
            values.append(QString::number(frame.byte()));
        else
            values.append(frame.string());
    }
    values.append(frame.atEnd() ? QStringLiteral("end") : QStringLiteral("more"));
    return values;
}

} // namespace

class TestRealmRelay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void loginThroughThePipe();
    void joinsAndSessions();
    void joinByNameIsAnsweredWithTheChannel();
    void sessionsEnding();
    void joinAfterLoginDoesNotEndAnEarlierJoin();
    void contactResponses_data();
    void contactResponses();
    void contactPresence();
    void pushToTalk();
    void participantsAndMessages();
    void appData();
    void deviceChanges();
    void foreignSignalsAreIgnored();

private:
    // Logs in through the pipe and waits for the LoginResponse.
    bool logIn();
    // Sends a join by URI and waits for its response; the session handle.
    QString join(const QString &uri, const QString &name);

    FakeWebService *m_web = nullptr;
    VoiceManager *m_voice = nullptr;
    LogCapture *m_log = nullptr;
    FakeController *m_controller = nullptr;
    TavriSharedIdentityRealm *m_realm = nullptr;
};

void TestRealmRelay::initTestCase()
{
    m_log = sharedrealmtest::beginRealmTest();
    QVERIFY(sharedrealmtest::startVoice(m_voice, true, {{"mic-1", "Built-in Mic", 0}, {"mic-2", "USB Mic", 0}}));
    m_web = sharedrealmtest::startWeb(this,
                                      {"RealmVerify", "RealmContactList", "RealmChangeContact", "RealmGetChannelAuth"});
}

void TestRealmRelay::cleanupTestCase()
{
    delete m_voice;
    delete m_log;
}

void TestRealmRelay::init()
{
    m_controller = new FakeController(QStringLiteral("relay"));
    m_realm = sharedrealmtest::openRealm(*m_controller, QStringLiteral("relay"));
    QVERIFY(m_controller->waitForRealm());
}

void TestRealmRelay::cleanup()
{
    delete m_realm;
    delete m_controller;
    m_realm = nullptr;
    m_controller = nullptr;
}

bool TestRealmRelay::logIn()
{
    static int logins = 0;
    const QString token = QStringLiteral("relay-%1").arg(++logins);
    m_web->reply(
        QStringLiteral("RealmLogin"),
        QJsonObject{{"rsid", "r1"}, {"realm_user_uname", "Ann"}, {"realm_user_uri", kOwnUri}, {"auth_token", token}});
    if (m_controller->send(Payload(Request::LoginRequest).string("ann").string("user-token")) != 0)
        return false;
    return m_controller->next(Output::Response, Output::LoginResponse).has_value();
}

QString TestRealmRelay::join(const QString &uri, const QString &name)
{
    if (m_controller->send(Payload(Request::JoinRequest).string(uri.toUtf8()).string("").string(name.toUtf8())) != 0)
        return QString();
    if (!m_controller->next(Output::Response, Output::JoinResponse))
        return QString();
    return m_realm->getSessionHandleForChannel(uri);
}

void TestRealmRelay::loginThroughThePipe()
{
    QList<int> states;
    connect(m_realm, &TavriSharedIdentityRealm::loginStateChange, this,
            [&](TavriSharedIdentityRealm::LoginState state) { states.append(state); });
    QSignalSpy ready(m_realm, &TavriSharedIdentityRealm::ready);
    QSignalSpy joined(m_realm, &TavriSharedIdentityRealm::conversationJoined);
    // A join asked for before the login waits for the session group.
    m_realm->requestJoin(QStringLiteral("sip:early@x"), QString());

    QVERIFY(logIn());
    QCOMPARE(states, (QList<int>{1, 2, 3}));
    QCOMPARE(ready.size(), 1);
    QCOMPARE(m_realm->getUserSipURI(), kOwnUri);
    QCOMPARE(m_realm->getLoginState(), TavriSharedIdentityRealm::SessionGroupReady);
    QVERIFY(joined.wait() || !joined.isEmpty());
    QCOMPARE(joined.first().at(0).toString(), QStringLiteral("sip:early@x"));
    QCOMPARE(joined.first().at(1).toString(), kOwnUri);
    QVERIFY(!m_realm->getSessionHandleForChannel(QStringLiteral("sip:early@x")).isEmpty());
}

void TestRealmRelay::joinsAndSessions()
{
    QVERIFY(logIn());
    // Login's LoginResponse carried the request's two strings.
    QSignalSpy joined(m_realm, &TavriSharedIdentityRealm::conversationJoined);
    QVERIFY(m_controller->send(Payload(Request::JoinRequest).string("sip:a@x").string("pw").string("Alpha")) == 0);
    std::optional<Frame> response = m_controller->next(Output::Response, Output::JoinResponse);
    QVERIFY(response);
    QCOMPARE(fields(*response, "isisss"), (QStringList{"200", "", "2", "sip:a@x", "pw", "Alpha", "end"}));
    QCOMPARE(joined.size(), 1);
    QCOMPARE(m_realm->currentConversation(), QStringLiteral("sip:a@x"));

    // A second session for the channel ends the first.
    const QString first = m_realm->getSessionHandleForChannel(QStringLiteral("sip:a@x"));
    QTRY_VERIFY(m_voice->knownSessions().contains(first));
    // (The realm follows new sessions only while a join is in progress.)
    m_realm->requestJoin(QStringLiteral("sip:a@x"), QString());
    emit m_voice->sessionAdded(m_realm->getSessionGroupHandle(), QStringLiteral("sip:a@x"), QStringLiteral("s-2"));
    const auto *terminate = sharedrealmtest::lastVoiceRequest<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE);
    QVERIFY(terminate);
    QCOMPARE(QString::fromUtf8(terminate->session_handle), first);
    QCOMPARE(m_realm->getSessionHandleForChannel(QStringLiteral("sip:a@x")), QStringLiteral("s-2"));
}

void TestRealmRelay::joinByNameIsAnsweredWithTheChannel()
{
    QVERIFY(logIn());
    m_web->reply(
        QStringLiteral("RealmGetChannelAuth"),
        QJsonObject{{"rsid", "r"}, {"status", 200}, {"name", "Lobby"}, {"sip_uri", "sip:lobby@x"}, {"vat", "v"}});
    QVERIFY(m_controller->send(Payload(Request::JoinRequest).string("").string("").string("Lobby")) == 0);
    std::optional<Frame> response = m_controller->next(Output::Response, Output::JoinResponse);
    QVERIFY(response);
    QCOMPARE(fields(*response, "isisss"), (QStringList{"200", "", "2", "sip:lobby@x", "", "Lobby", "end"}));
    QCOMPARE(m_realm->conversationName(QStringLiteral("sip:lobby@x")), QStringLiteral("Lobby"));
    QVERIFY(m_realm->joinsInProgress().isEmpty());
}

void TestRealmRelay::sessionsEnding()
{
    QVERIFY(logIn());
    QVERIFY(!join(QStringLiteral("sip:a@x"), QStringLiteral("A")).isEmpty());
    QVERIFY(!join(QStringLiteral("sip:b@x"), QStringLiteral("B")).isEmpty());
    QCOMPARE(m_realm->currentConversation(), QStringLiteral("sip:b@x"));
    QSignalSpy disconnected(m_realm, &TavriSharedIdentityRealm::conversationDisconnected);

    // Leaving the transmitting channel hands the microphone to the other.
    QVERIFY(m_controller->send(Payload(Request::LeaveRequest).string("B")) == 0);
    std::optional<Frame> left = m_controller->next(Output::Response, Output::LeaveResponse);
    QVERIFY(left);
    QCOMPARE(fields(*left, "isis"), (QStringList{"200", "", "3", "sip:b@x", "end"}));
    QCOMPARE(m_realm->currentConversation(), QStringLiteral("sip:a@x"));
    QCOMPARE(m_realm->joinedChannels(), QStringList{"sip:a@x"});
    QCOMPARE(disconnected.size(), 1);

    // A session that ends unasked is an event.
    m_realm->requestLeaveConversation(QStringLiteral("sip:a@x"), kOwnUri);
    std::optional<Frame> ended = m_controller->next(Output::Event, Output::ConversationEndedEvent);
    QVERIFY(ended);
    QCOMPARE(fields(*ended, "is"), (QStringList{"0", "sip:a@x", "end"}));
    QCOMPARE(disconnected.size(), 2);
    QCOMPARE(disconnected.last().at(2).value<Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode>(),
             Tavri::IdentityRealmInterface::DisconnectReasonNone);
}

void TestRealmRelay::joinAfterLoginDoesNotEndAnEarlierJoin()
{
    // The pipe's login stays unanswered while a join waits for it; a second
    // login call then completes.
    m_web->hang(QStringLiteral("RealmLogin"));
    QVERIFY(m_controller->send(Payload(Request::LoginRequest).string("ann").string("user-token")) == 0);
    QVERIFY(m_controller->send(Payload(Request::JoinRequest).string("sip:a@x").string("").string("A")) == 0);
    m_web->reply(QStringLiteral("RealmLogin"), QJsonObject{{"rsid", "r1"},
                                                           {"realm_user_uname", "Ann"},
                                                           {"realm_user_uri", kOwnUri},
                                                           {"auth_token", "relay-late"}});
    m_realm->requestLogin(QStringLiteral("ann"), QStringLiteral("user-token"));
    QVERIFY(m_controller->next(Output::Response, Output::LoginResponse));
    QVERIFY(m_controller->send(Payload(Request::JoinRequest).string("sip:b@x").string("").string("B")) == 0);

    int answers = 0;
    QStringList answered;
    while (std::optional<Frame> response = m_controller->next(Output::Response, Output::JoinResponse)) {
        ++answers;
        answered.append(fields(*response, "isis").at(3));
        if (answers == 2)
            break;
    }
    QCOMPARE(answers, 2);
    answered.sort();
    QCOMPARE(answered, (QStringList{"sip:a@x", "sip:b@x"}));
    QVERIFY(!m_realm->getSessionHandleForChannel(QStringLiteral("sip:a@x")).isEmpty());
    QVERIFY(!m_realm->getSessionHandleForChannel(QStringLiteral("sip:b@x")).isEmpty());
    // No third answer follows.
    for (const Frame &frame : m_controller->takeUpToMarker())
        QVERIFY(frame.messageType != Output::Response || frame.type != Output::JoinResponse);
    QCOMPARE(m_realm->joinedChannels(), (QStringList{"sip:a@x", "sip:b@x"}));
}

void TestRealmRelay::contactResponses_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("wasBlocked");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("added") << 0 << true << false << QStringList{"200", "", "8", "0", "bob", "end"};
    QTest::newRow("add of a user who blocked")
        << 0 << false << true << QStringList{"403", "User blocked request", "8", "0", "bob", "end"};
    QTest::newRow("add failed") << 0 << false << false << QStringList{"400", "User not found", "8", "0", "bob", "end"};
    QTest::newRow("removed") << 1 << true << false << QStringList{"200", "", "8", "1", "bob", "end"};
    QTest::newRow("remove failed") << 1 << false << true
                                   << QStringList{"400", "User not found", "8", "1", "bob", "end"};
    QTest::newRow("block failed") << 2 << false << true << QStringList{"400", "User not found", "8", "2", "bob", "end"};
    QTest::newRow("unblocked") << 3 << true << false << QStringList{"200", "", "8", "3", "bob", "end"};
}

void TestRealmRelay::contactResponses()
{
    QFETCH(int, action);
    QFETCH(bool, success);
    QFETCH(bool, wasBlocked);
    QFETCH(QStringList, expected);
    // A request of another action for the same user stays waiting.
    QVERIFY(m_controller->send(Payload(Request::ChangeContactRequest).int32((action + 1) % 4).string("bob")) == 0);
    QVERIFY(m_controller->send(Payload(Request::ChangeContactRequest).int32(action).string("bob")) == 0);
    switch (action) {
    case 0:
        m_realm->onContactAdded(QStringLiteral("bob"), success, wasBlocked);
        break;
    case 1:
        m_realm->onContactRemoved(QStringLiteral("bob"), success);
        break;
    case 2:
        m_realm->onUserBlocked(QStringLiteral("bob"), success);
        break;
    default:
        m_realm->onUserUnblocked(QStringLiteral("bob"), success);
        break;
    }
    std::optional<Frame> response = m_controller->next(Output::Response, Output::ChangeContactResponse);
    QVERIFY(response);
    QCOMPARE(fields(*response, "isiis"), expected);
    QCOMPARE(m_realm->pendingRequestCount(Request::ChangeContactRequest), 1);
}

void TestRealmRelay::contactPresence()
{
    QVERIFY(logIn());
    const QString account = m_realm->getAccountHandle();
    m_controller->takeUpToMarker();
    struct Step {
        int state;
        int sent; // -1: nothing
    };
    const QList<Step> steps{{0, -1}, {2, 2}, {2, -1}, {3, 0}, {7, -1}, {5, 5}, {5, -1}};
    for (const Step &step : steps) {
        emit m_voice->contactPresenceReceived(account, QStringLiteral("sip:bob@x"), step.state, QStringLiteral("m"));
        const QList<Frame> frames = m_controller->takeUpToMarker();
        QCOMPARE(frames.size(), step.sent < 0 ? 0 : 1);
        if (step.sent >= 0) {
            QCOMPARE(frames.first().type, int(Output::ContactPresenceEvent));
            QCOMPARE(fields(frames.first(), "sis"), (QStringList{"sip:bob@x", QString::number(step.sent), "m", "end"}));
        }
    }
}

void TestRealmRelay::pushToTalk()
{
    QVERIFY(logIn());
    auto mic = [] {
        const auto *mute =
            sharedrealmtest::lastVoiceRequest<ox_req_connector_mute_local_mic_t>(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC);
        return mute ? mute->mute : -1;
    };
    m_realm->setTalkMode(2, QStringLiteral("q"));
    oxc_clear_requests();
    emit m_voice->keyEvent(QStringLiteral("relay_PTT"), true);
    QCOMPARE(mic(), 0);
    emit m_voice->keyEvent(QStringLiteral("relay_PTT"), false);
    QCOMPARE(mic(), 1);

    m_realm->setTalkMode(3, QStringLiteral("q"));
    m_realm->onLocalMuteMuteChanged(true);
    oxc_clear_requests();
    emit m_voice->keyEvent(QStringLiteral("relay_PTT"), true);
    QCOMPARE(mic(), -1);
    emit m_voice->keyEvent(QStringLiteral("relay_PTT"), false);
    QCOMPARE(mic(), 0);
    m_realm->onLocalMuteMuteChanged(false);
    oxc_clear_requests();
    emit m_voice->keyEvent(QStringLiteral("PTT"), false);
    QCOMPARE(mic(), -1);
    emit m_voice->keyEvent(QStringLiteral("relay_PTT"), false);
    QCOMPARE(mic(), 1);
}

void TestRealmRelay::participantsAndMessages()
{
    QVERIFY(logIn());
    const QString session = join(QStringLiteral("sip:a@x"), QStringLiteral("A"));
    QVERIFY(!session.isEmpty());
    m_controller->takeUpToMarker();
    QSignalSpy added(m_realm, &TavriSharedIdentityRealm::conversationParticipantAdded);
    QSignalSpy removed(m_realm, &TavriSharedIdentityRealm::conversationParticipantRemoved);

    emit m_voice->participantAdded(QStringLiteral("sip:bob@x"), session, QStringLiteral("Bob"), QStringLiteral("t"));
    emit m_voice->participantAdded(QStringLiteral("sip:eve@x"), session, QString(), QString());
    emit m_voice->participantRemoved(QStringLiteral("sip:bob@x"), session, 2, QString());
    emit m_voice->participantRemoved(QStringLiteral("sip:eve@x"), session, 1, QString());
    emit m_voice->participantUpdated(QStringLiteral("sip:bob@x"), session, false, true, 50, 0.5, 1, true, false, 0,
                                     QString());
    emit m_voice->messageReceived(QStringLiteral("sip:bob@x"), session, QStringLiteral("12:34:hi: there"));
    emit m_voice->sessionGroupTransmittingChannelChanged(m_realm->getSessionGroupHandle(), QStringLiteral("sip:a@x"));

    const QList<Frame> frames = m_controller->takeUpToMarker();
    QCOMPARE(frames.size(), 7);
    QCOMPARE(fields(frames.at(0), "sss"), (QStringList{"sip:a@x", "sip:bob@x", "Bob", "end"}));
    QCOMPARE(fields(frames.at(1), "sss"), (QStringList{"sip:a@x", "sip:eve@x", "", "end"}));
    QCOMPARE(fields(frames.at(2), "sssi"), (QStringList{"sip:a@x", "sip:bob@x", "Bob", "1", "end"}));
    QCOMPARE(fields(frames.at(3), "sssi"), (QStringList{"sip:a@x", "sip:eve@x", "sip:eve@x", "0", "end"}));
    QCOMPARE(frames.at(4).type, int(Output::ParticipantUpdatedEvent));
    QCOMPARE(fields(frames.at(4), "sssbbb"), (QStringList{"sip:a@x", "sip:bob@x", "Bob", "1", "0", "1", "end"}));
    QCOMPARE(frames.at(5).type, int(Output::TextMessageEvent));
    QCOMPARE(fields(frames.at(5), "ssss"), (QStringList{"sip:a@x", "sip:bob@x", "Bob", "hi: there", "end"}));
    QCOMPARE(frames.at(6).type, int(Output::TransmitChannelChangedEvent));
    QCOMPARE(fields(frames.at(6), "ss"), (QStringList{"sip:a@x", "A", "end"}));
    QCOMPARE(added.size(), 2);
    QCOMPARE(removed.size(), 2);
}

void TestRealmRelay::appData()
{
    QVERIFY(logIn());
    const QString account = m_realm->getAccountHandle();
    const QString type = QStringLiteral("x-ostrel-notification");
    m_controller->takeUpToMarker();
    emit m_voice->serverAppDataReceived(account, type, QStringLiteral("im|a|sip:u-b|x|y"));
    emit m_voice->serverAppDataReceived(account, type, QStringLiteral("ri|inv|sip:c@x|Chan|extra"));
    emit m_voice->serverAppDataReceived(account, type, QStringLiteral("ri|short|sip:c@x"));
    emit m_voice->serverAppDataReceived(account, type, QStringLiteral("im|"));
    emit m_voice->serverAppDataReceived(account, type, QStringLiteral("xx|a|b|c"));
    emit m_voice->serverAppDataReceived(account, QStringLiteral("text/plain"), QStringLiteral("im|a|b|c"));
    emit m_voice->serverAppDataReceived(QStringLiteral("other"), type, QStringLiteral("im|a|b|c"));
    const QList<Frame> frames = m_controller->takeUpToMarker();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames.at(0).type, int(Output::TextMessageEvent));
    QCOMPARE(fields(frames.at(0), "ssss"), (QStringList{"", "sip:u-b", "a", "x|y", "end"}));
    QCOMPARE(frames.at(1).type, int(Output::InviteReceivedEvent));
    QCOMPARE(fields(frames.at(1), "sss"), (QStringList{"inv", "sip:c@x", "Chan", "end"}));
    QCOMPARE(m_realm->pendingInvitations().size(), 1);
    QCOMPARE(m_realm->pendingInvitations().first().conversationName, QStringLiteral("Chan"));
    QCOMPARE(m_realm->pendingInvitations().first().conversationURI, QStringLiteral("sip:c@x"));

    // The newest invitations are kept, and the list answers in order.
    for (int i = 0; i < TavriSharedIdentityRealm::kMaxInvitations + 5; ++i)
        m_realm->onVoiceNetworkAppDataReceived(account, type, QStringLiteral("ri|i%1|sip:c%1@x|C%1").arg(i));
    QCOMPARE(m_realm->pendingInvitations().size(), TavriSharedIdentityRealm::kMaxInvitations);
    QCOMPARE(m_realm->pendingInvitations().first().inviter, QStringLiteral("i5"));
    m_controller->takeFrames();
    QVERIFY(m_controller->send(Payload(Request::InviteListRequest)) == 0);
    std::optional<Frame> list = m_controller->next(Output::Response, Output::InviteListResponse);
    QVERIFY(list);
    list->int32();
    list->string();
    list->int32();
    QCOMPARE(list->int16(), qint16(TavriSharedIdentityRealm::kMaxInvitations));
    const QStringList all = list->strings(3 * TavriSharedIdentityRealm::kMaxInvitations);
    QCOMPARE(all.first(), QStringLiteral("i5"));
    QCOMPARE(all.at(TavriSharedIdentityRealm::kMaxInvitations), QStringLiteral("C5"));
    QCOMPARE(all.last(), QStringLiteral("sip:c104@x"));
    QVERIFY(list->atEnd());
}

void TestRealmRelay::deviceChanges()
{
    CaptureDeviceModel *capture = m_voice->captureDevices();
    QTRY_VERIFY(capture->count() >= 2);
    // Choose a device, so that the model has a current one with an id.
    QSignalSpy changed(m_voice, &VoiceManager::captureDeviceChanged);
    m_voice->setCaptureDevice(QStringLiteral("mic-2"));
    QTRY_COMPARE(capture->currentDeviceId(), QStringLiteral("mic-2"));
    QTRY_VERIFY(!changed.isEmpty());
    voicetest::drain();
    const QString id = capture->currentDeviceId();
    const QString name = capture->getCurrentText();
    QVERIFY(!id.isEmpty());
    QVERIFY(m_controller->send(Payload(Request::SetDeviceRequest).string(id.toUtf8()).string("")) == 0);
    QVERIFY(m_controller->send(Payload(Request::SetDeviceRequest).string("").string(name.toUtf8())) == 0);
    QVERIFY(m_controller->send(Payload(Request::SetDeviceRequest).string("other").string("")) == 0);
    // Answered once each, whether by this change or by a late report of
    // the one above.
    m_realm->onCaptureDeviceChanged(QStringLiteral("ignored"));
    QList<Frame> responses;
    for (const Frame &frame : m_controller->takeUpToMarker()) {
        if (frame.type == Output::SetDeviceResponse)
            responses.append(frame);
    }
    QCOMPARE(responses.size(), 2);
    const QString block = QString::number(12 + 2 * (id.size() + name.size()));
    const QList<QStringList> asked{{id, ""}, {"", name}};
    for (int i = 0; i < 2; ++i) {
        Frame response = responses.at(i);
        QCOMPARE(fields(response, "isissii").mid(0, 7),
                 (QStringList{"200", "", "13", asked.at(i).at(0), asked.at(i).at(1), block, "0"}));
        response.position = response.body.size() - 4 * (id.size() + name.size() + 2) / 2;
        QCOMPARE(response.wideString(), id);
        QCOMPARE(response.wideString(), name);
        QVERIFY(response.atEnd());
    }
    QCOMPARE(m_realm->pendingRequestCount(Request::SetDeviceRequest), 1);
}

void TestRealmRelay::foreignSignalsAreIgnored()
{
    QVERIFY(logIn());
    const QString session = join(QStringLiteral("sip:a@x"), QStringLiteral("A"));
    m_controller->takeUpToMarker();
    QSignalSpy disconnected(m_realm, &TavriSharedIdentityRealm::conversationDisconnected);
    emit m_voice->accountHandleReceived(QStringLiteral("other"), QStringLiteral("acct-x"));
    emit m_voice->sessionGroupReceived(QStringLiteral("other"), QStringLiteral("sg-x"));
    emit m_voice->sessionAdded(QStringLiteral("sg-x"), QStringLiteral("sip:z@x"), QStringLiteral("s-x"));
    emit m_voice->sessionRemoved(QStringLiteral("sip:z@x"), QStringLiteral("s-x"));
    emit m_voice->participantAdded(QStringLiteral("sip:bob@x"), QStringLiteral("s-x"), QString(), QString());
    emit m_voice->messageReceived(QStringLiteral("sip:bob@x"), QStringLiteral("s-x"), QStringLiteral("hi"));
    emit m_voice->sessionGroupTransmittingChannelChanged(QStringLiteral("sg-x"), QStringLiteral("sip:a@x"));
    emit m_voice->contactPresenceReceived(QStringLiteral("acct-x"), QStringLiteral("sip:bob@x"), 2, QString());
    QVERIFY(m_controller->takeUpToMarker().isEmpty());
    QCOMPARE(disconnected.size(), 0);
    QCOMPARE(m_realm->getSessionHandleForChannel(QStringLiteral("sip:a@x")), session);
    QCOMPARE(m_realm->getAccountHandle().isEmpty(), false);
    QVERIFY(m_realm->getAccountHandle() != QStringLiteral("acct-x"));
}

TAVRI_TEST_GUILESS_MAIN(TestRealmRelay)
#include "tst_realmrelay.moc"
