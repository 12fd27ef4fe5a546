// The text-command language of an external application: command lines sent
// through the realm's pipe and the replies that come back.

#include "capturedevicemodel.h"
#include "fakecontroller.h"
#include "fakewebservice.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "renderdevicemodel.h"
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
const QString kGeneralHelp = QStringLiteral("Usage: help [<topic> | <command>]\n"
                                            "Available topics:  basics  conversations  social  contacts  settings\n");

} // namespace

class TestTextCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void withoutConversations_data();
    void withoutConversations();
    void withOneChannel_data();
    void withOneChannel();
    void tellCutsLongMessages();
    void invitations();
    void devicesAreNumberedCaptureFirst();
    void commandsThatAnswerLater();

private:
    struct Reply {
        int status = 0;
        QString line;
        QString text;
    };
    // Sends a command line and returns the TextCommandResponse.
    std::optional<Reply> command(const QString &line);
    bool joinAlpha();
    void setUpChannel();

    FakeWebService *m_web = nullptr;
    VoiceManager *m_voice = nullptr;
    LogCapture *m_log = nullptr;
    FakeController *m_controller = nullptr;
    TavriSharedIdentityRealm *m_realm = nullptr;
    QString m_noVoiceReply;
};

void TestTextCommand::initTestCase()
{
    m_log = sharedrealmtest::beginRealmTest();
    m_web = sharedrealmtest::startWeb(this, {"RealmVerify", "RealmContactList", "RealmChangeContact",
                                             "RealmGetChannelAuth", "RealmSendInvite", "RealmSendMessage"});

    // Before the voice service exists, device commands say so.
    init();
    std::optional<Reply> reply = command(QStringLiteral("setdevice 1"));
    QVERIFY(reply);
    QCOMPARE(reply->text, QStringLiteral("Voice module restarting..."));
    cleanup();

    QVERIFY(sharedrealmtest::startVoice(m_voice, true, {{"mic-1", "Built-in Mic", 0}, {"mic-2", "USB Mic", 0}},
                                        {{"spk-1", "Speakers", 1}, {"spk-2", "Headset", 1}}));
}

void TestTextCommand::cleanupTestCase()
{
    delete m_voice;
    delete m_log;
}

void TestTextCommand::init()
{
    m_controller = new FakeController(QStringLiteral("text"));
    m_realm = sharedrealmtest::openRealm(*m_controller, QStringLiteral("textapp"));
    QVERIFY(m_controller->waitForRealm());
}

void TestTextCommand::cleanup()
{
    delete m_realm;
    delete m_controller;
    m_realm = nullptr;
    m_controller = nullptr;
}

std::optional<TestTextCommand::Reply> TestTextCommand::command(const QString &line)
{
    if (m_controller->send(Payload(Request::TextCommandRequest).string(line.toUtf8())) != 0)
        return std::nullopt;
    std::optional<Frame> frame = m_controller->next(Output::Response, Output::TextCommandResponse);
    if (!frame)
        return std::nullopt;
    Reply reply;
    reply.status = frame->int32();
    if (!frame->string().isEmpty() || frame->int32() != Request::TextCommandRequest)
        return std::nullopt;
    reply.line = frame->string();
    reply.text = frame->string();
    if (!frame->atEnd())
        return std::nullopt;
    return reply;
}

bool TestTextCommand::joinAlpha()
{
    if (m_controller->send(Payload(Request::JoinRequest).string("sip:alpha@x").string("").string("Alpha")) != 0)
        return false;
    return m_controller->next(Output::Response, Output::JoinResponse).has_value();
}

void TestTextCommand::withoutConversations_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reply");
    QTest::newRow("help") << "help" << 200 << kGeneralHelp;
    QTest::newRow("help of an unknown word") << "help xyz" << 200 << kGeneralHelp;
    QTest::newRow("help of a topic") << "help settings" << 200
                                     << "Usage: help [<topic> | <command>]\nTopic: settings\nAvailable "
                                        "commands:  listdevices  setdevice  setPTT\n";
    QTest::newRow("help of a command")
        << "help mute" << 200
        << "Usage: mute [self | name | index] [on | off]\n  Sets or toggles mute for yourself or a specified "
           "participant in the currently selected conversation.\nExample: mute self off\nExample: mute "
           "player1\nExample: mute player2 off\n";
    QTest::newRow("clist") << "clist" << 200 << "Currently joined conversations (* currently selected):\n";
    QTest::newRow("plist") << "plist" << 400 << "... not currently in any conversations";
    QTest::newRow("invite") << "invite bob" << 200 << "Cannot send invite: not currently connected to a conversation.";
    QTest::newRow("invite without invitee")
        << "invite" << 200 << "Cannot send invite: not currently connected to a conversation.";
    QTest::newRow("setPTT before login") << "setPTT talk" << 200 << "Please log in first...";
    QTest::newRow("mute by index without a conversation") << "mute 3" << 200 << "Muting 3";
    QTest::newRow("disconnect") << "disconnect" << 405 << "disconnect not yet implemented...";
    QTest::newRow("silent") << "silent on" << 405 << "silent not yet implemented...";
    QTest::newRow("unknown") << "foo bar" << 405 << "Unrecognized command: foo bar";
    QTest::newRow("case matters") << "Help" << 405 << "Unrecognized command: Help";
    QTest::newRow("empty line") << "" << 405 << "Unrecognized command: ";
    QTest::newRow("showinvites") << "showinvites" << 200 << "No pending invites.";
    QTest::newRow("accept") << "accept" << 200 << "No pending invites.";
    QTest::newRow("decline not a number") << "decline x" << 200 << "Invalid invite index: x";
    QTest::newRow("tell without message") << "tell bob" << 200 << "Usage: tell <username> <message>";
    QTest::newRow("setdevice without index") << "setdevice" << 200 << "Usage: setdevice <device index>";
    QTest::newRow("setdevice negative") << "setdevice -1" << 200 << "Usage: setdevice <device index>";
    QTest::newRow("setdevice 0") << "setdevice 0" << 200 << "Unrecognized device index: 0";
    QTest::newRow("setdevice past the end") << "setdevice 99" << 200 << "Unrecognized device index: 99";
    QTest::newRow("showTavri") << "showTavri" << 200
                               << "Showing Tavri window - alt-tab if you are currently fullscreen.";
}

void TestTextCommand::withoutConversations()
{
    QFETCH(QString, line);
    QFETCH(int, status);
    QFETCH(QString, reply);
    const std::optional<Reply> answer = command(line);
    QVERIFY(answer);
    QCOMPARE(answer->line, line);
    QCOMPARE(answer->text, reply);
    QCOMPARE(answer->status, status);
    QCOMPARE(m_realm->pendingRequestCount(Request::TextCommandRequest), 0);
}

void TestTextCommand::withOneChannel_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reply");
    QTest::newRow("clist") << "clist" << 200 << "Currently joined conversations (* currently selected):\n1*) Alpha\n";
    QTest::newRow("plist 0") << "plist 0" << 400 << "Not connected to conversation: 0";
    QTest::newRow("plist 9") << "plist 9" << 400 << "Not connected to conversation: 9";
    QTest::newRow("plist huge") << "plist 99999999999" << 400 << "Not connected to conversation: 99999999999";
    QTest::newRow("plist unknown name") << "plist Beta" << 400 << "Not connected to conversation: Beta";
    QTest::newRow("mute self") << "mute" << 200 << "Muting ";
    QTest::newRow("mute self off") << "mute self off" << 200 << "Unmuting ";
    QTest::newRow("unmute self") << "mute off" << 200 << "Unmuting ";
    QTest::newRow("mute by name") << "mute Bob off" << 200 << "Unmuting Bob";
    QTest::newRow("mute unknown name") << "mute Zed" << 200 << "Muting Zed";
    QTest::newRow("say keeps blanks") << "say  x" << 200 << "Alpha/Ann:  x";
    QTest::newRow("settx") << "settx" << 200 << "Currently speaking in Alpha";
    QTest::newRow("settx by index") << "settx 1" << 200 << "Setting local transmit to Alpha\n";
    QTest::newRow("settx past the end") << "settx 2" << 400 << "Not connected to conversation: 2";
    QTest::newRow("settx by name") << "settx Alpha" << 200 << "Setting local transmit to Alpha\n";
    QTest::newRow("add self") << "add sip:ann@x" << 400 << "Cannot add self to contacts\n";
    QTest::newRow("add without argument")
        << "add" << 400 << "Usage: add <username | participant index>\nCannot add self to contacts\n";
    QTest::newRow("block self") << "block Ann" << 400 << "Cannot add self to blocked list\n";
    QTest::newRow("invite") << "invite bob" << 200 << "Sending invite to bob to join Alpha";
    QTest::newRow("invite without invitee") << "invite" << 400 << "Usage: invite <username | contact index>\n";
    QTest::newRow("invite bad contact index") << "invite 5" << 200 << "Invalid contact index: 5";
    QTest::newRow("afk on") << "afk ON" << 200 << "AFK on";
    QTest::newRow("afk toggles") << "afk" << 200 << "AFK on";
    QTest::newRow("setPTT usage") << "setPTT" << 200
                                  << "Usage: setPTT [Off | Toggle | Talk] [key combination]\nExample key "
                                     "combinations: leftshift, q+a, leftshift+a\nTalk mode set to hold to talk [q]";
    QTest::newRow("setPTT talk keeps the keys") << "setPTT talk" << 200 << "Talk mode set to hold to talk [q]";
    QTest::newRow("setPTT keys only") << "setPTT leftshift" << 200 << "Talk mode set to hold to talk [leftshift]";
    QTest::newRow("setPTT toggle with keys")
        << "setPTT Toggle a+b" << 200 << "Talk mode set to press to mute/unmute [a+b]";
    QTest::newRow("setPTT off") << "setPTT off" << 200 << "Talk mode set to open mic";
    QTest::newRow("setPTT other word with keys") << "setPTT never q" << 200 << "Talk mode set to open mic";
}

void TestTextCommand::setUpChannel()
{
    QVERIFY(sharedrealmtest::signIn(m_realm, kOwnUri));
    QVERIFY(joinAlpha());
    m_realm->onNameUriMapped(QStringLiteral("Bob"), QStringLiteral("sip:bob@x"));
    m_realm->setTalkMode(2, QStringLiteral("q"));
}

void TestTextCommand::withOneChannel()
{
    QFETCH(QString, line);
    QFETCH(int, status);
    QFETCH(QString, reply);
    setUpChannel();
    const std::optional<Reply> answer = command(line);
    QVERIFY(answer);
    QCOMPARE(answer->text, reply);
    QCOMPARE(answer->status, status);
}

void TestTextCommand::tellCutsLongMessages()
{
    const QString message = QString(150, QLatin1Char('a')) + QLatin1Char(' ') + QString(149, QLatin1Char('b'));
    const std::optional<Reply> answer = command(QStringLiteral("tell bob ") + message);
    QVERIFY(answer);
    QCOMPARE(answer->text, QStringLiteral(" "));
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmSendMessage")));
    const FakeWebService::Request sent = m_web->requestsFor(QStringLiteral("RealmSendMessage")).last();
    QCOMPARE(sent.value(QStringLiteral("t")), QStringLiteral("bob"));
    QCOMPARE(sent.value(QStringLiteral("m")), message.left(256));
}

void TestTextCommand::invitations()
{
    QVERIFY(sharedrealmtest::signIn(m_realm, kOwnUri));
    const QString account = m_realm->getAccountHandle();
    const QString type = QStringLiteral("x-ostrel-notification");
    m_realm->onVoiceNetworkAppDataReceived(account, type, QStringLiteral("ri|carl|sip:one@x|One"));
    m_realm->onVoiceNetworkAppDataReceived(account, type, QStringLiteral("ri|dana|sip:two@x|Two"));
    QCOMPARE(command(QStringLiteral("showinvites"))->text,
             QStringLiteral("Pending invites:\n1) carl invited you to One\n2) dana invited you to Two\n"));
    QCOMPARE(command(QStringLiteral("decline 3"))->text, QStringLiteral("Invalid invite index: 3"));

    // The newest is accepted and joined through a queued join request.
    QCOMPARE(command(QStringLiteral("accept"))->text, QStringLiteral("Joining Two"));
    std::optional<Frame> joined = m_controller->next(Output::Response, Output::JoinResponse);
    QVERIFY(joined);
    joined->int32();
    joined->string();
    QCOMPARE(joined->int32(), int(Request::JoinRequest));
    QCOMPARE(joined->strings(3), (QStringList{"sip:two@x", "", "Two"}));
    QCOMPARE(command(QStringLiteral("decline"))->text, QStringLiteral("Declining to join One"));
    QVERIFY(m_realm->pendingInvitations().isEmpty());
}

void TestTextCommand::devicesAreNumberedCaptureFirst()
{
    CaptureDeviceModel *capture = m_voice->captureDevices();
    RenderDeviceModel *render = m_voice->renderDevices();
    QTRY_VERIFY(capture->count() >= 2 && render->count() >= 2);
    voicetest::drain();
    // The second render device: numbered after every capture device.
    const int row = render->getCurrentIndex() == 0 ? 1 : 0;
    const QString id = render->getDeviceIdByRow(row);
    const QString name = render->getDeviceNameByRow(row);
    const int index = capture->count() + row + 1;
    m_controller->takeFrames();

    QCOMPARE(command(QStringLiteral("setdevice %1").arg(index))->text, QStringLiteral(" "));
    std::optional<Frame> changed = m_controller->next(Output::Response, Output::SetDeviceResponse);
    QVERIFY(changed);
    QCOMPARE(changed->int32(), 200);
    changed->string();
    QCOMPARE(changed->int32(), int(Request::SetDeviceRequest));
    QCOMPARE(changed->strings(2), (QStringList{id, name}));
    changed->int32();
    QCOMPARE(changed->int32(), 1);
    QCOMPARE(changed->wideString(), id);
    QCOMPARE(render->currentDeviceId(), id);
    QCOMPARE(command(QStringLiteral("setdevice %1").arg(capture->count() + render->count() + 1))->text,
             QStringLiteral("Unrecognized device index: %1").arg(capture->count() + render->count() + 1));
}

void TestTextCommand::commandsThatAnswerLater()
{
    QVERIFY(sharedrealmtest::signIn(m_realm, kOwnUri));
    QCOMPARE(command(QStringLiteral("blist"))->text, QStringLiteral(" "));
    QCOMPARE(m_realm->pendingRequestCount(Request::ContactListRequest), 1);

    // The device list goes out at once, after the command's reply.
    QCOMPARE(command(QStringLiteral("listdevices"))->text, QStringLiteral(" "));
    QVERIFY(m_controller->next(Output::Response, Output::DeviceListResponse));
    QCOMPARE(m_realm->pendingRequestCount(Request::DeviceListRequest), 0);

    const QList<QPair<QString, QString>> changes{{"add bob", "contact add"},
                                                 {"remove bob", "contact del"},
                                                 {"block bob", "block add"},
                                                 {"unblock bob", "block del"}};
    for (const auto &change : changes) {
        const int before = m_web->requestsFor(QStringLiteral("RealmChangeContact")).size();
        QCOMPARE(command(change.first)->text, QStringLiteral(" "));
        QVERIFY(m_web->waitForRequest(QStringLiteral("RealmChangeContact")));
        const QList<FakeWebService::Request> posted = m_web->requestsFor(QStringLiteral("RealmChangeContact"));
        QCOMPARE(posted.size(), before + 1);
        QCOMPARE(posted.last().value(QStringLiteral("l")) + QLatin1Char(' ') + posted.last().value(QStringLiteral("a")),
                 change.second);
        QCOMPARE(posted.last().value(QStringLiteral("t")), QStringLiteral("bob"));
    }
    QCOMPARE(m_realm->pendingRequestCount(Request::ChangeContactRequest), 4);
    // Each waits for the answer of its own action.
    for (int action = 0; action < 4; ++action) {
        if (action == 0)
            m_realm->onContactAdded(QStringLiteral("bob"), true, false);
        else if (action == 1)
            m_realm->onContactRemoved(QStringLiteral("bob"), true);
        else if (action == 2)
            m_realm->onUserBlocked(QStringLiteral("bob"), true);
        else
            m_realm->onUserUnblocked(QStringLiteral("bob"), true);
        std::optional<Frame> response = m_controller->next(Output::Response, Output::ChangeContactResponse);
        QVERIFY(response);
        response->int32();
        response->string();
        QCOMPARE(response->int32(), int(Request::ChangeContactRequest));
        QCOMPARE(response->int32(), action);
    }
    QCOMPARE(m_realm->pendingRequestCount(Request::ChangeContactRequest), 0);
}

TAVRI_TEST_GUILESS_MAIN(TestTextCommand)
#include "tst_textcommand.moc"
