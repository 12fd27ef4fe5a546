// The realm's pipe protocol: input frames taken apart into request records,
// acknowledged and dispatched; output frames built byte by byte; and the
// bounds that keep a slow, silent or flooding peer from holding the program.

#include "capturedevicemodel.h"
#include "fakecontroller.h"
#include "fakewebservice.h"
#include "localpipe.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "renderdevicemodel.h"
#include "sharedrealmtestsupport.h"
#include "socialmanager.h"
#include "tavrisharedidentityrealm.h"
#include "tavrisharedidentityrealmoutput.h"
#include "tavrisharedidentityrealmrequest.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using Request = TavriSharedIdentityRealmRequest;
using Output = TavriSharedIdentityRealmOutput;
using Payload = FakeController::Payload;

namespace {

QByteArray utf16le(const QString &text)
{
    QByteArray bytes;
    for (const QChar unit : text) {
        bytes.append(char(unit.unicode() & 0xff));
        bytes.append(char(unit.unicode() >> 8));
    }
    return bytes + QByteArray(2, '\0');
}

QByteArray le32(qint32 value)
{
    return Payload(value).bytes();
}

QByteArray le16(qint16 value)
{
    return le32(value).left(2);
}

} // namespace

class TestPipeProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void parsesEveryRequestType_data();
    void parsesEveryRequestType();
    void dispatchQueuesAndCalls_data();
    void dispatchQueuesAndCalls();
    void conversationListIsAnsweredAtOnce();
    void badFrames_data();
    void badFrames();
    void oversizedFrameIsCut();
    void joinByNameRecordsNoName();
    void loginDropsWaitingRequests();
    void queuesAreCapped();
    void outputFramesAreByteExact();
    void listsAreCutToTheirCount();
    void deviceListFollowsTheModels();
    void silentAndSlowClientsAreBounded();
    void waitingClientsDoNotHoldTheProgram();
    void stalledReaderIsTreatedAsGone();

private:
    // Sends a conversation list request and waits for its response, so that
    // every frame of the requests before it has arrived; returns the frames
    // before the marker's.
    QList<FakeController::Frame> framesUpToMarker();

    FakeWebService *m_web = nullptr;
    VoiceManager *m_voice = nullptr;
    LogCapture *m_log = nullptr;
    FakeController *m_controller = nullptr;
    TavriSharedIdentityRealm *m_realm = nullptr;
};

void TestPipeProtocol::initTestCase()
{
    m_log = sharedrealmtest::beginRealmTest();
    QVERIFY(sharedrealmtest::startVoice(m_voice, false));
    m_web = sharedrealmtest::startWeb(this, {"RealmVerify", "RealmLogin", "RealmContactList", "RealmChangeContact",
                                             "RealmSendInvite", "RealmSendMessage", "RealmGetChannelAuth"});
}

void TestPipeProtocol::cleanupTestCase()
{
    delete m_voice;
    // Tokens and passwords never reached the log.
    QVERIFY(!m_log->text().contains(QLatin1String("tok-secret")));
    QVERIFY(!m_log->text().contains(QLatin1String("pw-secret")));
    delete m_log;
}

void TestPipeProtocol::init()
{
    m_controller = new FakeController(QStringLiteral("proto"));
    m_realm = new TavriSharedIdentityRealm(m_controller->inputPipeName(), m_controller->outputPipeName(),
                                           QStringLiteral("proto"), QStringLiteral("tok-secret"), QStringLiteral("1.0"),
                                           nullptr);
    QVERIFY(m_controller->waitForRealm());
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmVerify")));
    oxc_clear_requests();
}

void TestPipeProtocol::cleanup()
{
    delete m_realm;
    m_realm = nullptr;
    delete m_controller;
    m_controller = nullptr;
}

QList<FakeController::Frame> TestPipeProtocol::framesUpToMarker()
{
    return m_controller->takeUpToMarker();
}

void TestPipeProtocol::parsesEveryRequestType_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("flag");
    QTest::addColumn<QStringList>("strings");

    auto row = [](const char *name, const Payload &payload, int type, int number, bool flag,
                  const QStringList &strings) {
        QTest::newRow(name) << payload.bytes() << type << number << flag << strings;
    };
    row("1 login", Payload(1).string("ann").string("tok"), 1, 0, false, {"ann", "tok", ""});
    row("2 join", Payload(2).string("sip:c@x").string("pw").string("Chan"), 2, 0, false, {"sip:c@x", "pw", "Chan"});
    row("3 leave", Payload(3).string("Chan"), 3, 0, false, {"Chan", "", ""});
    row("4 text command", Payload(4).string("say  hi"), 4, 0, false, {"say  hi", "", ""});
    row("5 send message", Payload(5).string("hello"), 5, 0, false, {"hello", "", ""});
    row("6 mute, any non-zero flag", Payload(6).byte(2).string("sip:b@x"), 6, 0, true, {"sip:b@x", "", ""});
    row("6 unmute", Payload(6).byte(0).string("sip:b@x"), 6, 0, false, {"sip:b@x", "", ""});
    row("7 set transmit", Payload(7).string("sip:c@x"), 7, 0, false, {"sip:c@x", "", ""});
    row("8 change contact", Payload(8).int32(7).string("bob"), 8, 7, false, {"bob", "", ""});
    row("9 conversation list", Payload(9), 9, 0, false, {"", "", ""});
    row("10 participant list", Payload(10).string(""), 10, 0, false, {"", "", ""});
    row("11 contact list", Payload(11), 11, 0, false, {"", "", ""});
    row("12 device list", Payload(12), 12, 0, false, {"", "", ""});
    row("13 set device", Payload(13).string("mic").string("spk"), 13, 0, false, {"mic", "spk", ""});
    row("14 talk mode", Payload(14).int32(2).string("leftshift++"), 14, 2, false, {"leftshift++", "", ""});
    row("15 invite", Payload(15).string("sip:c@x").string("bob"), 15, 0, false, {"sip:c@x", "bob", ""});
    row("16 invite list", Payload(16), 16, 0, false, {"", "", ""});
    row("17 invite answer", Payload(17), 17, 0, false, {"", "", ""});
    row("17 invite answer, extra bytes ignored", Payload(17).int32(5).byte(1).string("x"), 17, 0, false, {"", "", ""});
    row("18 presence", Payload(18).int32(5).string("brb"), 18, 5, false, {"brb", "", ""});
    row("19 realm message", Payload(19).string("bob").string("hi"), 19, 0, false, {"bob", "hi", ""});
    row("unterminated string ends at the buffer's end", Payload(15).string("a").raw("bc"), 15, 0, false,
        {"a", "bc", ""});
    row("fields past the end read 0 or empty", Payload(8).raw("\x01\x02"), 8, 0, false, {"", "", ""});
    row("unknown type has no fields", Payload(20).int32(1).string("x"), 20, 0, false, {"", "", ""});
    row("invalid UTF-8 is replaced", Payload(3).raw("a\xff").raw(QByteArray(1, '\0')), 3, 0, false,
        {QStringLiteral("a\ufffd"), "", ""});
}

void TestPipeProtocol::parsesEveryRequestType()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, type);
    QFETCH(int, number);
    QFETCH(bool, flag);
    QFETCH(QStringList, strings);
    const auto record = Request::parse(payload);
    QVERIFY(record);
    QCOMPARE(record->type, type);
    QCOMPARE(record->number, number);
    QCOMPARE(record->flag, flag);
    for (int i = 0; i < Request::kMaxStrings; ++i)
        QCOMPARE(record->text(i), strings.at(i));
    QVERIFY(!Request::parse(payload.left(3)));
}

void TestPipeProtocol::dispatchQueuesAndCalls_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("queued");
    QTest::addColumn<int>("responseType");
    // "method key=value ..." of the web call the request makes; empty: none.
    QTest::addColumn<QString>("webCall");

    auto row = [](const char *name, const Payload &payload, int queued, int response, const QString &web) {
        QTest::newRow(name) << payload.bytes() << queued << response << web;
    };
    row("login", Payload(1).string("ann").string("tok-secret"), 1, 0, "RealmLogin uname=ann utok=tok-secret");
    row("join by URI", Payload(2).string("sip:c@x").string("pw-secret").string("Chan"), 1, 0, "");
    row("leave a channel not joined", Payload(3).string("sip:c@x"), 1, 0, "");
    row("text command", Payload(4).string("help"), 0, Output::TextCommandResponse, "");
    row("send message", Payload(5).string("hello"), 1, 0, "");
    row("mute", Payload(6).byte(2).string("sip:b@x"), 0, 0, "");
    row("set transmit", Payload(7).string("sip:c@x"), 1, 0, "");
    row("change contact 7 adds", Payload(8).int32(7).string("bob"), 1, 0, "RealmChangeContact t=bob l=contact a=add");
    row("change contact 0 adds", Payload(8).int32(0).string("bob"), 1, 0, "RealmChangeContact t=bob l=contact a=add");
    row("change contact 1 removes", Payload(8).int32(1).string("bob"), 1, 0,
        "RealmChangeContact t=bob l=contact a=del");
    row("change contact 2 blocks", Payload(8).int32(2).string("bob"), 1, 0, "RealmChangeContact t=bob l=block a=add");
    row("change contact 3 unblocks", Payload(8).int32(3).string("bob"), 1, 0, "RealmChangeContact t=bob l=block a=del");
    row("participant list", Payload(10).string(""), 0, Output::ParticipantListResponse, "");
    row("contact list", Payload(11), 1, 0, "RealmContactList clientlib_version=1.0");
    row("device list", Payload(12), 0, Output::DeviceListResponse, "");
    row("set device", Payload(13).string("mic").string("spk"), 1, 0, "");
    row("talk mode", Payload(14).int32(1).string(""), 1, 0, "");
    row("invite", Payload(15).string("sip:c@x").string("bob"), 0, 0, "RealmSendInvite t=bob c=sip:c@x");
    row("invite list", Payload(16), 0, Output::InviteListResponse, "");
    row("invite answer", Payload(17), 0, 0, "");
    row("presence", Payload(18).int32(5).string("brb"), 0, 0, "");
    row("realm message", Payload(19).string("bob").string("hi"), 0, 0, "RealmSendMessage t=bob m=hi");
}

void TestPipeProtocol::dispatchQueuesAndCalls()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, queued);
    QFETCH(int, responseType);
    QFETCH(QString, webCall);
    const int type = Request::parse(payload)->type;

    QCOMPARE(m_controller->send(FakeController::frame(payload)), std::optional<qint32>(0));
    QCOMPARE(m_realm->pendingRequestCount(type), queued);

    const QList<FakeController::Frame> frames = framesUpToMarker();
    QCOMPARE(frames.size(), responseType ? 1 : 0);
    if (responseType) {
        FakeController::Frame frame = frames.first();
        QCOMPARE(frame.messageType, int(Output::Response));
        QCOMPARE(frame.type, responseType);
        QCOMPARE(frame.int32(), 200);
        QCOMPARE(frame.string(), QString());
        QCOMPARE(frame.int32(), type);
    }

    if (!webCall.isEmpty()) {
        const QStringList parts = webCall.split(QLatin1Char(' '));
        QVERIFY(m_web->waitForRequest(parts.first()));
        const FakeWebService::Request request = m_web->requestsFor(parts.first()).last();
        for (const QString &field : parts.mid(1)) {
            const int equals = field.indexOf(QLatin1Char('='));
            QCOMPARE(request.value(field.left(equals)), field.mid(equals + 1));
        }
    }
}

void TestPipeProtocol::conversationListIsAnsweredAtOnce()
{
    QCOMPARE(m_controller->send(Payload(Request::ConversationListRequest).frame()), std::optional<qint32>(0));
    QVERIFY(m_controller->waitForFrames(1));
    FakeController::Frame frame = m_controller->takeFrames().first();
    QCOMPARE(frame.messageType, int(Output::Response));
    QCOMPARE(frame.type, int(Output::ConversationListResponse));
    QCOMPARE(frame.int32(), 200);
    QCOMPARE(frame.string(), QString());
    QCOMPARE(frame.int32(), int(Request::ConversationListRequest));
    QCOMPARE(frame.int16(), qint16(0));
    QCOMPARE(frame.int16(), qint16(-1));
    QVERIFY(frame.atEnd());
    QCOMPARE(m_realm->pendingRequestCount(Request::ConversationListRequest), 0);
}

void TestPipeProtocol::badFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("status"); // -2: no status, connection closed
    QTest::addColumn<QString>("logLine");
    QTest::newRow("N = 3") << FakeController::frame("abc") << -2 << "Message reception failed - incomplete message";
    QTest::newRow("N = 0") << FakeController::frame(QByteArray()) << -2
                           << "Message reception failed - incomplete message";
    QTest::newRow("type 0") << Payload(0).frame() << -1 << "unrecognized type: 0";
    QTest::newRow("type 20") << Payload(20).frame() << -1 << "unrecognized type: 20";
    QTest::newRow("type -1") << Payload(-1).frame() << -1 << "unrecognized type: -1";
}

void TestPipeProtocol::badFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, status);
    QFETCH(QString, logLine);
    m_log->clear();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(logLine)));
    const std::optional<qint32> answer = m_controller->send(frame);
    if (status == -2)
        QVERIFY(!answer.has_value());
    else
        QCOMPARE(answer, std::optional<qint32>(status));
    // Nothing was queued or answered.
    QVERIFY(framesUpToMarker().isEmpty());
}

void TestPipeProtocol::oversizedFrameIsCut()
{
    // A join whose URI runs past the 5000 bytes read, without a terminator:
    // the URI ends at the buffer's end, and the rest is dropped.
    const QByteArray uri = "sip:" + QByteArray(5992, 'a');
    const QByteArray payload = Payload(Request::JoinRequest).raw(uri).bytes();
    QCOMPARE(payload.size(), 6000);
    QCOMPARE(m_controller->send(FakeController::frame(payload)), std::optional<qint32>(0));
    QCOMPARE(m_realm->pendingRequestCount(Request::JoinRequest), 1);
    // The URI was recorded under the (empty) channel name.
    QCOMPARE(m_realm->conversationUriForName(QString()), QString::fromLatin1(uri.left(4996)));
}

void TestPipeProtocol::joinByNameRecordsNoName()
{
    QCOMPARE(m_controller->send(Payload(Request::JoinRequest).string("").string("pw-secret").string("Lobby")),
             std::optional<qint32>(0));
    QCOMPARE(m_realm->pendingRequestCount(Request::JoinRequest), 1);
    QCOMPARE(m_realm->conversationUriForName(QStringLiteral("Lobby")), QString());
    QCOMPARE(m_realm->conversationName(QString()), QString());

    // A leave of a channel not joined is acknowledged and waits.
    m_log->clear();
    QCOMPARE(m_controller->send(Payload(Request::LeaveRequest).string("Lobby")), std::optional<qint32>(0));
    QCOMPARE(m_realm->pendingRequestCount(Request::LeaveRequest), 1);
    QCOMPARE(m_log->matching(QStringLiteral("not currently joined to requested channel")).size(), 1);
}

void TestPipeProtocol::loginDropsWaitingRequests()
{
    QCOMPARE(m_controller->send(Payload(Request::LeaveRequest).string("sip:c@x")), std::optional<qint32>(0));
    QCOMPARE(m_controller->send(Payload(Request::SetDeviceRequest).string("a").string("b")), std::optional<qint32>(0));
    QCOMPARE(m_controller->send(Payload(Request::ChangeContactRequest).int32(0).string("bob")),
             std::optional<qint32>(0));
    QCOMPARE(m_realm->pendingRequestCount(Request::LeaveRequest), 1);

    QSignalSpy states(m_realm, &TavriSharedIdentityRealm::loginStateChange);
    QCOMPARE(m_controller->send(Payload(Request::LoginRequest).string("ann").string("tok-secret")),
             std::optional<qint32>(0));
    for (int type : {Request::LeaveRequest, Request::SetDeviceRequest, Request::ChangeContactRequest})
        QCOMPARE(m_realm->pendingRequestCount(type), 0);
    QCOMPARE(m_realm->pendingRequestCount(Request::LoginRequest), 1);
    QCOMPARE(states.size(), 1);
    QCOMPARE(states.first().first().value<TavriSharedIdentityRealm::LoginState>(),
             TavriSharedIdentityRealm::LoginRequested);
}

void TestPipeProtocol::queuesAreCapped()
{
    for (int i = 0; i <= TavriSharedIdentityRealm::kMaxPendingPerType; ++i)
        m_controller->send(Payload(Request::SetTransmitRequest).string("sip:c@x"));
    QCOMPARE(m_realm->pendingRequestCount(Request::SetTransmitRequest), TavriSharedIdentityRealm::kMaxPendingPerType);
    QCOMPARE(m_log->matching(QStringLiteral("dropping the oldest")).size(), 1);
}

void TestPipeProtocol::outputFramesAreByteExact()
{
    // A response without a pending request: the request type reads 0 and
    // the request's string a single 0x00; the length counts the body only.
    Output leave = Output::response(Output::LeaveResponse, 200, QString(), nullptr);
    leave.string(leave.requestString(0));
    const QByteArray leaveBody =
        le32(1) + le32(0) + le32(3) + le32(200) + QByteArray(1, '\0') + le32(0) + QByteArray(1, '\0');
    QCOMPARE(leave.frame(), le32(leaveBody.size()) + leaveBody);

    // The device list of one capture device, id of 3 and name of 5 units.
    Output devices = Output::response(Output::DeviceListResponse, 200, QString(), nullptr);
    devices.int16(1).deviceBlock(0, QStringLiteral("m-1"), QStringLiteral("Mic \u00e9")).int16(0).int16(1);
    const QByteArray expected = le32(1) + le32(0) + le32(10) + le32(200) + QByteArray(1, '\0') + le32(0) + le16(1)
                                + le32(28) + le32(0) + utf16le(QStringLiteral("m-1"))
                                + utf16le(QStringLiteral("Mic \u00e9")) + le16(0) + le16(1);
    QCOMPARE(devices.body(), expected);

    // An event with a failure text, a byte and a NUL inside a text, which
    // ends the text as the receiver reads it.
    Output event = Output::event(Output::ParticipantUpdatedEvent);
    event.string(QStringLiteral("sip:c@x")).string(QString::fromUtf8("a\0b", 3)).byte(true).byte(false);
    QCOMPARE(event.body(), le32(2) + le32(0) + le32(6) + QByteArray("sip:c@x\0a\0\x01\x00", 12));

    // The answered request's fields come back as they were.
    auto request = Request::parse(Payload(Request::ChangeContactRequest).int32(2).string("bob").bytes());
    Output contact =
        Output::response(Output::ChangeContactResponse, 400, QStringLiteral("User not found"), std::move(request));
    contact.int32(contact.requestNumber()).string(contact.requestString(0));
    QCOMPARE(contact.body(), le32(1) + le32(0) + le32(6) + le32(400) + QByteArray("User not found\0", 15) + le32(8)
                                 + le32(2) + QByteArray("bob\0", 4));
}

void TestPipeProtocol::listsAreCutToTheirCount()
{
    // Two joined channels listed, the selection not among them.
    m_realm->onConversationListReturned({QStringLiteral("sip:a@x"), QStringLiteral("sip:b@x")},
                                        QStringLiteral("sip:z@x"));
    QVERIFY(m_controller->waitForFrames(1));
    FakeController::Frame frame = m_controller->takeFrames().first();
    QCOMPARE(frame.type, int(Output::ConversationListResponse));
    frame.int32();
    frame.string();
    QCOMPARE(frame.int32(), 0);
    QCOMPARE(frame.int16(), qint16(2));
    QCOMPARE(frame.int16(), qint16(-1));
    QCOMPARE(frame.strings(4), (QStringList{"sip:a@x", "sip:b@x", "sip:a@x", "sip:b@x"}));
    QVERIFY(frame.atEnd());

    // A list longer than an int16 count says is cut so that both agree.
    QStringList many;
    for (int i = 0; i < Output::kMaxInt16Count + 5; ++i)
        many.append(QStringLiteral("u%1").arg(i));
    m_realm->onParticipantListReturned(many, many, QStringLiteral("sip:a@x"));
    QVERIFY(m_controller->waitForFrames(1));
    frame = m_controller->takeFrames().first();
    frame.int32();
    frame.string();
    frame.int32();
    QCOMPARE(frame.string(), QString());
    QCOMPARE(frame.int16(), qint16(Output::kMaxInt16Count));
    const QStringList listed = frame.strings(2 * Output::kMaxInt16Count);
    QCOMPARE(listed.last(), QStringLiteral("u%1").arg(Output::kMaxInt16Count - 1));
    QVERIFY(frame.atEnd());
}

void TestPipeProtocol::deviceListFollowsTheModels()
{
    const oxc_device_spec_t mics[] = {{"mic-1", "Built-in Mic", 0}, {"mic-2", "USB Mic", 0}};
    const oxc_device_spec_t speakers[] = {{"spk-1", "Speakers", 1}};
    QCOMPARE(oxc_set_devices(0, mics, 2, "mic-1"), 0);
    QCOMPARE(oxc_set_devices(1, speakers, 1, "spk-1"), 0);
    QSignalSpy captureChanged(m_voice, &VoiceManager::captureDeviceChanged);
    QSignalSpy renderChanged(m_voice, &VoiceManager::renderDeviceChanged);
    m_voice->createConnector();
    QVERIFY(captureChanged.wait(5000) || !captureChanged.isEmpty());
    QTRY_VERIFY(!renderChanged.isEmpty());
    CaptureDeviceModel *capture = m_voice->captureDevices();
    RenderDeviceModel *render = m_voice->renderDevices();
    QTRY_VERIFY(capture->count() >= 2 && render->count() >= 1);
    m_controller->takeFrames();

    QCOMPARE(m_controller->send(Payload(Request::DeviceListRequest)), std::optional<qint32>(0));
    QVERIFY(m_controller->waitForFrames(1));
    FakeController::Frame frame = m_controller->takeFrames().first();
    QCOMPARE(frame.type, int(Output::DeviceListResponse));
    QCOMPARE(frame.int32(), 200);
    QCOMPARE(frame.string(), QString());
    QCOMPARE(frame.int32(), int(Request::DeviceListRequest));
    QCOMPARE(frame.int16(), qint16(capture->count() + render->count()));
    auto checkBlocks = [&](DeviceModel *model, int kind) {
        for (int row = 0; row < model->count(); ++row) {
            const QString id = model->getDeviceIdByRow(row);
            const QString name = model->getDeviceNameByRow(row);
            QCOMPARE(frame.int32(), 12 + 2 * (id.size() + name.size()));
            QCOMPARE(frame.int32(), kind);
            QCOMPARE(frame.wideString(), id);
            QCOMPARE(frame.wideString(), name);
        }
    };
    checkBlocks(capture, 0);
    checkBlocks(render, 1);
    QCOMPARE(frame.int16(), qint16(capture->getCurrentIndex()));
    QCOMPARE(frame.int16(), qint16(capture->count() + render->getCurrentIndex()));
    QVERIFY(frame.atEnd());
}

void TestPipeProtocol::silentAndSlowClientsAreBounded()
{
    m_realm->setInputDeadline(300);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no length received"));
    QLocalSocket silent;
    silent.connectToServer(host::LocalPipe::inputSocketPath(m_controller->inputPipeName()));
    QVERIFY(silent.waitForConnected(2000));
    QLocalSocket halfFrame;
    halfFrame.connectToServer(host::LocalPipe::inputSocketPath(m_controller->inputPipeName()));
    QVERIFY(halfFrame.waitForConnected(2000));
    halfFrame.write(FakeController::frame(Payload(Request::SendMessageRequest).string("cut").bytes()).left(7));
    halfFrame.flush();

    // The next client is served once the two bounded waits are over.
    QCOMPARE(m_controller->send(Payload(Request::ConversationListRequest)), std::optional<qint32>(0));
    QVERIFY(m_controller->waitForFrames(1));
    QTRY_COMPARE(silent.state(), QLocalSocket::UnconnectedState);
    QTRY_COMPARE(halfFrame.state(), QLocalSocket::UnconnectedState);
    // The half frame was parsed from what arrived, missing bytes as zero: a
    // message request whose text is the one byte that came.
    QCOMPARE(silent.bytesAvailable(), qint64(0));
    QCOMPARE(halfFrame.readAll(), le32(0));
    QCOMPARE(m_realm->pendingRequestCount(Request::SendMessageRequest), 1);
}

void TestPipeProtocol::waitingClientsDoNotHoldTheProgram()
{
    // With the full deadline a client that keeps its connection silent is
    // waited for in the background: a later client is read meanwhile.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unrecognized type: 0$"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unrecognized type: 99$"));
    m_log->clear();
    QLocalSocket first;
    first.connectToServer(host::LocalPipe::inputSocketPath(m_controller->inputPipeName()));
    QVERIFY(first.waitForConnected(2000));
    QLocalSocket second;
    second.connectToServer(host::LocalPipe::inputSocketPath(m_controller->inputPipeName()));
    QVERIFY(second.waitForConnected(2000));
    second.write(Payload(99).raw("second").frame());
    second.flush();
    QTRY_VERIFY_WITH_TIMEOUT(m_log->text().contains(QLatin1String("expected size: 10")), 20000);
    QVERIFY(!m_log->text().contains(QLatin1String("no length received")));
    QVERIFY(!m_log->text().contains(QLatin1String("request type:")));

    // The first client's request is carried out and answered before the
    // second's, as they arrived.
    first.write(Payload(0).frame());
    first.flush();
    QByteArray firstStatus, secondStatus;
    QTRY_VERIFY_WITH_TIMEOUT(
        (firstStatus += first.readAll()).size() >= 4 && (secondStatus += second.readAll()).size() >= 4, 20000);
    QCOMPARE(firstStatus, le32(-1));
    QCOMPARE(secondStatus, le32(-1));
    const QString log = m_log->text();
    QVERIFY(log.indexOf(QLatin1String("unrecognized type: 0")) < log.indexOf(QLatin1String("unrecognized type: 99")));
}

void TestPipeProtocol::stalledReaderIsTreatedAsGone()
{
    // The application stops reading: frames pile up unwritten until the
    // realm gives it up, without waiting on every frame.
    QSignalSpy died(m_realm, &TavriSharedIdentityRealm::controllerDied);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("requester stopped reading"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("requesting application died"));
    QStringList uris;
    for (int i = 0; i < 2000; ++i)
        uris.append(QStringLiteral("sip:channel-%1@example.test").arg(i));
    for (int i = 0; i < 200 && died.isEmpty(); ++i)
        m_realm->onConversationListReturned(uris, QString());
    QCOMPARE(died.size(), 1);
    // Nothing more goes out once the application is gone.
    m_realm->onConversationListReturned(uris, QString());
    QCOMPARE(died.size(), 1);
}

TAVRI_TEST_GUILESS_MAIN(TestPipeProtocol)
#include "tst_pipeprotocol.moc"
