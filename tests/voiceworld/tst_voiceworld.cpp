// The shared voice world: the dev gateway's voice tokens read the same in the
// stand-in; with OSTRELSDK_WORLD set the stand-in signs in through the world
// and sees a second client (a plain socket speaking the wire protocol) sign
// in, change presence, join, chat, type, call, kick and leave; both sides
// refuse malformed and oversized messages; losing the world signs out.

#include "devgateway.h"
#include "logcapture.h"
#include "sdkharness.h"
#include "wireformat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

using ostrelsdk::WireObject;

namespace {

const char *const Domain = "dev.tavri.test";

// The gateway on a thread of its own, so that the test may block on the SDK
// while the world answers it.
class GatewayThread
{
public:
    explicit GatewayThread(const QString &db, quint16 worldPort = 0)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [&] {
                DevGatewayOptions options;
                options.port = 0;
                options.databasePath = db;
                options.domain = QString::fromLatin1(Domain);
                options.seed = true;
                options.logCalls = false;
                options.passwordRounds = 1000;
                options.voiceWorldPort = worldPort;
                m_gateway = new DevGateway(options);
                QString error;
                m_started = m_gateway->start(&error);
            },
            Qt::BlockingQueuedConnection);
    }
    ~GatewayThread()
    {
        QMetaObject::invokeMethod(
            &m_context, [&] { delete m_gateway; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool started() const { return m_started; }
    quint16 worldPort() const { return m_gateway->voiceWorldPort(); }

    QJsonObject call(const QString &method, QList<QPair<QString, QString>> fields)
    {
        QByteArray body = "method=" + method.toUtf8();
        for (const auto &f : fields)
            body += '&' + QUrl::toPercentEncoding(f.first) + '=' + QUrl::toPercentEncoding(f.second);
        QJsonObject answer;
        QMetaObject::invokeMethod(
            &m_context,
            [&] {
                GatewayHttpRequest request;
                request.verb = "POST";
                request.path = QStringLiteral("gateway.php");
                request.body = body;
                answer = QJsonDocument::fromJson(m_gateway->handleHttp(request).body).object();
            },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    // Holds the gateway's thread, and so the world, until `release` is
    // released: a world too slow to answer.
    void stall(QSemaphore *release)
    {
        QMetaObject::invokeMethod(
            &m_context, [release] { release->acquire(); }, Qt::QueuedConnection);
    }
    // Signs in a seeded account: its record with sid and voice token.
    QJsonObject signIn(const QString &email)
    {
        return call(QStringLiteral("LoginUser"), {{"email", email}, {"password", "tavri-dev"}});
    }

private:
    QThread m_thread;
    QObject m_context;
    DevGateway *m_gateway = nullptr;
    bool m_started = false;
};

// A second client of the world speaking the wire protocol directly.
class Peer
{
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(5000);
    }
    // Connects and signs in with the voice token of a gateway sign-in answer.
    bool signIn(quint16 port, const QJsonObject &account)
    {
        if (!open(port))
            return false;
        const WireObject answer =
            request(WireObject().set("op", "login").set("token", account.value("auth_token").toString().toStdString()));
        return answer.number("status", -1) == 0;
    }
    void sendRaw(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(5000);
    }
    void send(const WireObject &m) { sendRaw(QByteArray::fromStdString(m.frame())); }
    // The next message whose op is `op` (others are kept in `seen`).
    WireObject next(const QString &op)
    {
        for (;;) {
            std::string payload;
            while (m_frames.next(&payload) == ostrelsdk::FrameReader::Frame) {
                WireObject m;
                if (!WireObject::fromJson(payload, &m, nullptr))
                    continue;
                if (QString::fromStdString(m.text("op")) == op)
                    return m;
                seen << QString::fromStdString(m.text("op") + " " + m.text("uri") + m.text("from"));
            }
            if (!m_socket.waitForReadyRead(10000))
                return WireObject();
            const QByteArray bytes = m_socket.readAll();
            m_frames.feed(bytes.constData(), size_t(bytes.size()));
        }
    }
    WireObject request(WireObject m)
    {
        const long long id = m_id += 100;
        m.set("id", id);
        send(m);
        for (;;) {
            WireObject reply = next(QStringLiteral("reply"));
            if (reply.number("re") == id || reply.texts.empty())
                return reply;
        }
    }
    bool closedByPeer()
    {
        return !m_socket.waitForReadyRead(100) && m_socket.state() != QAbstractSocket::ConnectedState;
    }

    QStringList seen;

private:
    QTcpSocket m_socket;
    ostrelsdk::FrameReader m_frames;
    long long m_id = 0;
};

// Bob joins a channel on the wire: the answer's status.
long long joinOnWire(Peer &peer, const std::string &channel, const std::string &bobUri, int audio)
{
    return peer
        .request(WireObject()
                     .set("op", "join")
                     .set("channel", channel)
                     .set("uri", bobUri)
                     .set("name", "Bob")
                     .set("password", "")
                     .set("audio", audio))
        .number("status", -1);
}

// A world on a gateway of its own, with Bob signed in on a second client.
struct BobOnline {
    GatewayThread gateway{QStringLiteral(":memory:")};
    QJsonObject bob;
    std::string bobUri;
    Peer peer;
};

// The stand-in's log lines, gathered from its worker.
QMutex sdkLogMutex;
QStringList sdkLog;
void collectSdkLog(const char *, const char *, const char *message)
{
    QMutexLocker lock(&sdkLogMutex);
    sdkLog << QString::fromUtf8(message);
}
bool sdkLogged(const QString &text)
{
    QMutexLocker lock(&sdkLogMutex);
    for (const QString &line : qAsConst(sdkLog))
        if (line.contains(text))
            return true;
    return false;
}

QByteArray frameOf(const QByteArray &json)
{
    const quint32 n = quint32(json.size());
    QByteArray out;
    out.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    return out + json;
}

} // namespace

class VoiceWorldTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        qunsetenv("OSTRELSDK_WORLD");
        {
            QMutexLocker lock(&sdkLogMutex);
            sdkLog.clear();
        }
        QVERIFY(m_sdk.start());
        ox_register_logging_initialization(0, "", "", "", OXC_LOG_INFO, collectSdkLog);
    }
    void cleanup()
    {
        m_sdk.stop();
        qunsetenv("OSTRELSDK_WORLD");
    }

    void voiceTokenGivesTheWebUriInThePrivateWorld();
    void worldSignInChecksTheGatewaysTokens();
    void presenceMembershipAndChatReachTheOtherClient();
    void onlyOwnersAndModeratorsAdminister();
    void aChannelReachesOnlyItsSignedInMembers();
    void privateChatAndAppDataReachTheCallee();
    void endingAPrivateChatReachesThePeer();
    void channelListsShowOtherProcessesChanges();
    void openMicrophoneSpeaksOnlyWithASimulatedVoice();
    void permanentChannelsFollowTheGatewaysRecord();
    void linesToASignedOutAccountWaitForItsSignIn();
    void gatewayRefusesMalformedMessages();
    void standInRefusesMalformedMessages();
    void losingTheWorldSignsOutUntilItReturns();
    void aLoginTheWorldAnswersTooLateIsUndone();
    void aJoinTheWorldAnswersTooLateFailsOnce();

private:
    QString worldLogin(GatewayThread &gateway, const QString &email, QString *uri = nullptr)
    {
        const QJsonObject me = gateway.signIn(email);
        if (uri)
            *uri = me.value("UserLiveURI").toString();
        const QString connector = m_sdk.connector("http://127.0.0.1/");
        return m_sdk.login(connector, me.value("auth_token").toString().toLatin1().constData());
    }
    void useWorld(GatewayThread &gateway)
    {
        qputenv("OSTRELSDK_WORLD", QByteArray("127.0.0.1:") + QByteArray::number(gateway.worldPort()));
    }
    // Points the stand-in at `world`'s gateway and signs Bob in there, on
    // the web and on the world's wire.
    bool openWorld(BobOnline &world)
    {
        if (!world.gateway.started())
            return false;
        useWorld(world.gateway);
        world.bob = world.gateway.signIn(QStringLiteral("bob@example.test"));
        world.bobUri = world.bob.value("UserLiveURI").toString().toStdString();
        return world.peer.signIn(world.gateway.worldPort(), world.bob);
    }
    // Takes what comes until an event of `type` has come (the world's pushes
    // arrive on their own time).
    bool awaitEvent(int type)
    {
        m_sdk.clear();
        return QTest::qWaitFor(
            [this, type] {
                m_sdk.drain();
                return !m_sdk.events<ox_evt_base_t>(type).empty();
            },
            20000);
    }

    SdkHarness m_sdk;
    QTemporaryDir m_dir;
};

void VoiceWorldTest::voiceTokenGivesTheWebUriInThePrivateWorld()
{
    GatewayThread gateway(QStringLiteral(":memory:"), -1);
    QVERIFY(gateway.started());
    const QJsonObject alice = gateway.signIn(QStringLiteral("alice@example.test"));
    const QString token = alice.value("auth_token").toString();
    QVERIFY(token.startsWith(QLatin1String("dv1.")));
    const QString account = m_sdk.login(m_sdk.connector(), token.toLatin1().constData());
    QVERIFY(!account.isEmpty());
    auto *login = m_sdk.response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
    QCOMPARE(QString::fromUtf8(login->account_uri), alice.value("UserLiveURI").toString());
    QCOMPARE(QString::fromUtf8(login->display_name), QStringLiteral("Alice"));

    // Tokens that only look alike stay plain tokens.
    for (const char *lookalike : {"dv1.", "dv1.c2lw.QQ", "dv1.!!!.QQ.00", "dv1.Ym9i.QQ.00"}) {
        m_sdk.login(m_sdk.connector(), lookalike);
        auto *r = m_sdk.response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
        QVERIFY2(r && QByteArray(r->account_uri).startsWith("sip:u-dv1."), lookalike);
    }
}

void VoiceWorldTest::worldSignInChecksTheGatewaysTokens()
{
    GatewayThread gateway(QStringLiteral(":memory:"));
    QVERIFY(gateway.started());
    useWorld(gateway);
    QString uri;
    const QString account = worldLogin(gateway, QStringLiteral("bob@example.test"), &uri);
    QVERIFY(!account.isEmpty());
    auto *login = m_sdk.response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
    QCOMPARE(QString::fromUtf8(login->account_uri), uri);
    QCOMPARE(QString::fromUtf8(login->display_name), QStringLiteral("Bob"));

    // A token the gateway never handed out, forged or plain, is refused.
    const QString connector = m_sdk.connector("http://127.0.0.1/");
    for (const char *forged : {"dv1.c2lwOnUtMTAwMUBkZXYudGF2cmkudGVzdA.QWxpY2U.00", "alice"}) {
        QVERIFY(m_sdk.login(connector, forged).isEmpty());
        QCOMPARE(m_sdk.tags().last(), QStringLiteral("R%1!20200").arg(int(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN)));
    }
}

void VoiceWorldTest::presenceMembershipAndChatReachTheOtherClient()
{
    GatewayThread gateway(QStringLiteral(":memory:"));
    QVERIFY(gateway.started());
    useWorld(gateway);
    const QJsonObject bob = gateway.signIn(QStringLiteral("bob@example.test"));
    const QJsonObject alice = gateway.signIn(QStringLiteral("alice@example.test"));
    const std::string bobUri = bob.value("UserLiveURI").toString().toStdString();
    const std::string aliceUri = alice.value("UserLiveURI").toString().toStdString();
    // Alice has Bob as a friend on the web side: the world's buddy list.
    QCOMPARE(gateway
                 .call("changeFriend", {{"sid", alice.value("sid").toString()},
                                        {"friendUID", bob.value("UserLiveURI").toString()},
                                        {"setIsFriend", "1"}})
                 .value("result")
                 .toString(),
             QStringLiteral("1"));

    Peer peer;
    QVERIFY(peer.signIn(gateway.worldPort(), bob));

    const QString account =
        m_sdk.login(m_sdk.connector("http://127.0.0.1/"), alice.value("auth_token").toString().toLatin1().constData());
    QVERIFY(!account.isEmpty());
    // Bob is online as Alice signs in, and Bob's client hears of her.
    auto presence = m_sdk.events<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE);
    QCOMPARE(presence.size(), size_t(1));
    QCOMPARE(presence[0]->buddy_uri, bobUri.c_str());
    QCOMPARE(presence[0]->presence, 2);
    WireObject online = peer.next("user");
    QCOMPARE(online.text("uri"), aliceUri);
    QCOMPARE(online.number("presence"), 2);

    // Bob goes away with a note: Alice's stand-in raises event 7.
    peer.send(WireObject().set("op", "presence").set("uri", bobUri).set("presence", 3).set("message", "lunch"));
    QVERIFY(awaitEvent(OX_EVT_BUDDY_PRESENCE));
    presence = m_sdk.events<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE);
    QCOMPARE(presence[0]->presence, 3);
    QCOMPARE(presence[0]->custom_message, "<properties><notes />lunch</properties>");

    // Alice opens a new group channel and owns it; Bob joins.
    const std::string channel = std::string("sip:confctl-g-test1@") + Domain;
    const QString group = m_sdk.group(account);
    QCOMPARE(m_sdk.join(group, channel.c_str(), 1).first(), QStringLiteral("E24"));
    const QString session = m_sdk.joinedSession();
    // Bob hears who is there as he joins, before the answer.
    WireObject reply = peer.request(WireObject()
                                        .set("op", "join")
                                        .set("channel", channel)
                                        .set("uri", bobUri)
                                        .set("name", "Bob")
                                        .set("password", "")
                                        .set("audio", 1));
    QCOMPARE(reply.number("status", -1), 0);
    QCOMPARE(reply.text("owner"), aliceUri);
    QVERIFY2(peer.seen.contains(QString::fromStdString("joined " + aliceUri)), qPrintable(peer.seen.join('|')));
    QVERIFY(awaitEvent(OX_EVT_PARTICIPANT_UPDATED));
    QCOMPARE(m_sdk.tags(), (QStringList{"E26", "E28"}));
    QCOMPARE(m_sdk.events<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED)[0]->participant_uri, bobUri.c_str());
    QCOMPARE(m_sdk.events<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED)[0]->is_current_user, 0);

    // Ten lines each way, in order; typing; speaking.
    for (int i = 0; i < 10; ++i)
        m_sdk.send(session, QByteArray("from alice ").append(QByteArray::number(i)).constData());
    for (int i = 0; i < 10; ++i) {
        WireObject said = peer.next("say");
        QCOMPARE(said.text("from"), aliceUri);
        QCOMPARE(said.text("text"), "from alice " + std::to_string(i));
    }
    for (int i = 0; i < 10; ++i)
        peer.send(WireObject()
                      .set("op", "say")
                      .set("to", channel)
                      .set("from", bobUri)
                      .set("text", "from bob " + std::to_string(i)));
    peer.send(WireObject().set("op", "typing").set("to", channel).set("from", bobUri).set("type", 1));
    QVERIFY(awaitEvent(OX_EVT_SESSION_NOTIFICATION));
    auto lines = m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE);
    QCOMPARE(lines.size(), size_t(10));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(lines[size_t(i)]->sender_uri, bobUri.c_str());
        QCOMPARE(lines[size_t(i)]->message_body, ("from bob " + std::to_string(i)).c_str());
    }
    peer.send(WireObject().set("op", "speak").set("channel", channel).set("uri", bobUri).set("speaking", 1));
    QVERIFY(awaitEvent(OX_EVT_PARTICIPANT_UPDATED));
    QCOMPARE(m_sdk.events<ox_evt_participant_updated_t>(OX_EVT_PARTICIPANT_UPDATED)[0]->is_speaking, 1);

    // Bob leaves: Alice's list drops him.
    peer.send(WireObject().set("op", "leave").set("channel", channel).set("uri", bobUri).set("reason", 0));
    QVERIFY(awaitEvent(OX_EVT_PARTICIPANT_REMOVED));
    QCOMPARE(m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED)[0]->participant_uri,
             bobUri.c_str());

    // Alice signs out: Bob hears her go offline.
    ox_req_account_logout_t *logout = nullptr;
    ox_req_account_logout_create(&logout);
    logout->account_handle = ox_strdup(account.toLatin1().constData());
    m_sdk.run(logout);
    WireObject offline = peer.next("user");
    QCOMPARE(offline.text("uri"), aliceUri);
    QCOMPARE(offline.number("presence", -1), 0);
}

void VoiceWorldTest::onlyOwnersAndModeratorsAdminister()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    // Bob opens the channel first and so owns it.
    const std::string channel = std::string("sip:confctl-g-test2@") + Domain;
    QCOMPARE(joinOnWire(world.peer, channel, world.bobUri, 0), 0);

    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    QVERIFY(!account.isEmpty());
    const QString group = m_sdk.group(account);
    m_sdk.join(group, channel.c_str(), 0);
    QVERIFY(m_sdk.tags().contains("E26"));

    // Alice may not kick Bob, nor mute him.
    ox_req_channel_kick_user_t *kick = nullptr;
    ox_req_channel_kick_user_create(&kick);
    kick->account_handle = ox_strdup(account.toLatin1().constData());
    kick->channel_uri = ox_strdup(channel.c_str());
    kick->participant_uri = ox_strdup(world.bobUri.c_str());
    QCOMPARE(m_sdk.run(kick), (QStringList{QStringLiteral("R%1!403").arg(int(OX_RESP_CHANNEL_KICK_USER))}));
    QCOMPARE(world.peer
                 .request(WireObject()
                              .set("op", "admin")
                              .set("kind", "kick")
                              .set("channel", channel)
                              .set("from", aliceUri.toStdString())
                              .set("who", world.bobUri)
                              .set("value", 1))
                 .number("status"),
             400); // not Bob's to send

    // Bob kicks Alice: her session ends with the kick as its reason.
    QCOMPARE(world.peer
                 .request(WireObject()
                              .set("op", "admin")
                              .set("kind", "kick")
                              .set("channel", channel)
                              .set("from", world.bobUri)
                              .set("who", aliceUri.toStdString())
                              .set("value", 1))
                 .number("status", -1),
             0);
    QVERIFY(awaitEvent(OX_EVT_SESSION_REMOVED));
    auto removed = m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED);
    QCOMPARE(removed.size(), size_t(1));
    QCOMPARE(QString::fromUtf8(removed[0]->participant_uri), aliceUri);
    QCOMPARE(removed[0]->reason, 2);
    QCOMPARE(removed[0]->is_current_user, 1);
}

void VoiceWorldTest::aChannelReachesOnlyItsSignedInMembers()
{
    BobOnline world;
    // A connection that never signs in, open before anyone is there.
    Peer anonymous;
    QVERIFY(world.gateway.started());
    QVERIFY(anonymous.open(world.gateway.worldPort()));
    QVERIFY(openWorld(world));
    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    QVERIFY(!account.isEmpty());
    QCOMPARE(world.peer.next("user").text("uri"), aliceUri.toStdString());

    // Alice opens a channel and speaks in it; Bob is signed in but not there.
    const std::string channel = std::string("sip:confctl-g-closed@") + Domain;
    m_sdk.join(m_sdk.group(account), channel.c_str(), 1);
    const QString session = m_sdk.joinedSession();
    m_sdk.send(session, "for members");
    oxc_set_simulated_voice(1);
    oxc_set_simulated_voice(0);

    // Bob may not post, type or speak there from outside.
    const auto outside = [&](WireObject m) { return world.peer.request(m).number("status", -1); };
    QCOMPARE(outside(WireObject().set("op", "say").set("to", channel).set("from", world.bobUri).set("text", "x")),
             400LL);
    QCOMPARE(outside(WireObject().set("op", "typing").set("to", channel).set("from", world.bobUri).set("type", 1)),
             400LL);
    QCOMPARE(
        outside(WireObject().set("op", "speak").set("channel", channel).set("uri", world.bobUri).set("speaking", 1)),
        400LL);

    // Bob joins: the roster comes with the answer, and the first line he
    // hears is one said after he came.
    QCOMPARE(joinOnWire(world.peer, channel, world.bobUri, 0), 0LL);
    QVERIFY2(world.peer.seen.contains(QStringLiteral("joined ") + aliceUri), qPrintable(world.peer.seen.join('|')));
    for (const QString &op : {"say ", "typing ", "speak "})
        for (const QString &line : qAsConst(world.peer.seen))
            QVERIFY2(!line.startsWith(op), qPrintable(line));
    m_sdk.send(session, "welcome");
    QCOMPARE(world.peer.next("say").text("text"), std::string("welcome"));
    // And the first line Alice hears from Bob is one he said as a member.
    world.peer.send(WireObject().set("op", "say").set("to", channel).set("from", world.bobUri).set("text", "hi"));
    QVERIFY(awaitEvent(OX_EVT_MESSAGE));
    auto lines = m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE);
    QCOMPARE(lines.size(), size_t(1));
    QCOMPARE(lines[0]->message_body, "hi");

    // The connection that never signed in heard nothing at all: not who is
    // online, not who is where, not a line, not a sound.
    QCOMPARE(anonymous.request(WireObject().set("op", "hello")).number("status", -1), 0LL);
    QVERIFY2(anonymous.seen.isEmpty(), qPrintable(anonymous.seen.join('|')));
    // Nor may it post as anyone.
    QCOMPARE(
        anonymous.request(WireObject().set("op", "say").set("to", channel).set("from", world.bobUri).set("text", "x"))
            .number("status", -1),
        400LL);
}

void VoiceWorldTest::privateChatAndAppDataReachTheCallee()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    QVERIFY(!account.isEmpty());
    world.peer.next("user");

    // Bob calls Alice and writes: an incoming session, then the line.
    world.peer.send(
        WireObject().set("op", "call").set("to", aliceUri.toStdString()).set("from", world.bobUri).set("name", "Bob"));
    world.peer.send(
        WireObject().set("op", "say").set("to", aliceUri.toStdString()).set("from", world.bobUri).set("text", "hi"));
    world.peer.send(WireObject()
                        .set("op", "appdata")
                        .set("to", aliceUri.toStdString())
                        .set("from", world.bobUri)
                        .set("ctype", "text/plain")
                        .set("content", "rv:1"));
    QVERIFY(awaitEvent(OX_EVT_USER_APP_DATA));
    auto added = m_sdk.events<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED);
    QCOMPARE(added.size(), size_t(1));
    QCOMPARE(added[0]->is_incoming, 1);
    QCOMPARE(added[0]->uri, world.bobUri.c_str());
    QCOMPARE(m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE)[0]->message_body, "hi");
    QCOMPARE(m_sdk.events<ox_evt_user_app_data_t>(OX_EVT_USER_APP_DATA)[0]->content, "rv:1");

    // Alice answers on that session and sends app data back.
    const QString session = QString::fromUtf8(added[0]->session_handle);
    m_sdk.send(session, "hello bob");
    WireObject said = world.peer.next("say");
    QCOMPARE(said.text("to"), world.bobUri);
    QCOMPARE(said.text("text"), std::string("hello bob"));
    ox_req_account_send_user_app_data_t *data = nullptr;
    ox_req_account_send_user_app_data_create(&data);
    data->account_handle = ox_strdup(account.toLatin1().constData());
    data->to_uri = ox_strdup(world.bobUri.c_str());
    data->content_type = ox_strdup("text/plain");
    data->content = ox_strdup("rt:2");
    QCOMPARE(m_sdk.run(data), (QStringList{QStringLiteral("R%1").arg(int(OX_RESP_ACCOUNT_SEND_USER_APP_DATA))}));
    QCOMPARE(world.peer.next("appdata").text("content"), std::string("rt:2"));
}

void VoiceWorldTest::endingAPrivateChatReachesThePeer()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    QVERIFY(!account.isEmpty());
    world.peer.next("user");

    // Bob calls Alice, then ends the chat: Alice sees him leave it.
    world.peer.send(
        WireObject().set("op", "call").set("to", aliceUri.toStdString()).set("from", world.bobUri).set("name", "Bob"));
    QVERIFY(awaitEvent(OX_EVT_SESSION_ADDED));
    const QString session =
        QString::fromUtf8(m_sdk.events<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED)[0]->session_handle);
    m_sdk.clear();
    world.peer.send(
        WireObject().set("op", "hangup").set("to", aliceUri.toStdString()).set("from", world.bobUri).set("reason", 0));
    QVERIFY(awaitEvent(OX_EVT_PARTICIPANT_REMOVED));
    auto removed = m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED);
    QCOMPARE(removed[0]->participant_uri, world.bobUri.c_str());
    QCOMPARE(QString::fromUtf8(removed[0]->session_handle), session);

    // Alice ends hers: Bob's process hears of it.
    ox_req_session_terminate_t *end = nullptr;
    ox_req_session_terminate_create(&end);
    end->session_handle = ox_strdup(session.toUtf8().constData());
    m_sdk.run(end);
    const WireObject hangup = world.peer.next("hangup");
    QCOMPARE(hangup.text("to"), world.bobUri);
    QCOMPARE(QString::fromStdString(hangup.text("from")), aliceUri);
}

void VoiceWorldTest::channelListsShowOtherProcessesChanges()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    const std::string channel = std::string("sip:confctl-g-lists@") + Domain;
    QCOMPARE(world.peer
                 .request(WireObject()
                              .set("op", "join")
                              .set("channel", channel)
                              .set("uri", world.bobUri)
                              .set("name", "Bob")
                              .set("password", "")
                              .set("audio", 0))
                 .number("status", -1),
             0);
    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    QVERIFY(!account.isEmpty());

    // Bob, the owner, changes the lists in his process.
    const std::string carol = std::string("sip:u-1234@") + Domain;
    for (const char *kind : {"acl", "moderator", "ban"})
        QCOMPARE(world.peer
                     .request(WireObject()
                                  .set("op", "admin")
                                  .set("kind", kind)
                                  .set("channel", channel)
                                  .set("from", world.bobUri)
                                  .set("who", carol)
                                  .set("value", 1))
                     .number("status", -1),
                 0);

    // Alice's process answers with them.
    const auto uris = [](int count, ox_participant_record_t **records) {
        QStringList result;
        for (int i = 0; i < count; ++i)
            result << QString::fromUtf8(records[i]->uri);
        return result;
    };
    ox_req_account_channel_get_acl_t *acl = nullptr;
    ox_req_account_channel_get_acl_create(&acl);
    acl->account_handle = ox_strdup(account.toLatin1().constData());
    acl->channel_uri = ox_strdup(channel.c_str());
    m_sdk.run(acl);
    auto *aclAnswer = m_sdk.response<ox_resp_account_channel_get_acl_t>(OX_RESP_ACCOUNT_CHANNEL_GET_ACL);
    QVERIFY(aclAnswer);
    QCOMPARE(uris(aclAnswer->participant_count, aclAnswer->participants), QStringList{QString::fromStdString(carol)});

    ox_req_account_channel_get_moderators_t *moderators = nullptr;
    ox_req_account_channel_get_moderators_create(&moderators);
    moderators->account_handle = ox_strdup(account.toLatin1().constData());
    moderators->channel_uri = ox_strdup(channel.c_str());
    m_sdk.run(moderators);
    auto *modAnswer = m_sdk.response<ox_resp_account_channel_get_moderators_t>(OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS);
    QVERIFY(modAnswer);
    QCOMPARE(uris(modAnswer->participant_count, modAnswer->participants),
             (QStringList{QString::fromStdString(world.bobUri), QString::fromStdString(carol)}));

    ox_req_channel_get_banned_users_t *bans = nullptr;
    ox_req_channel_get_banned_users_create(&bans);
    bans->account_handle = ox_strdup(account.toLatin1().constData());
    bans->channel_uri = ox_strdup(channel.c_str());
    m_sdk.run(bans);
    auto *banAnswer = m_sdk.response<ox_resp_channel_get_banned_users_t>(OX_RESP_CHANNEL_GET_BANNED_USERS);
    QVERIFY(banAnswer);
    QCOMPARE(uris(banAnswer->participant_count, banAnswer->participants), QStringList{QString::fromStdString(carol)});
}

void VoiceWorldTest::openMicrophoneSpeaksOnlyWithASimulatedVoice()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    QString aliceUri;
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"), &aliceUri);
    const std::string channel = std::string("sip:confctl-g-voice@") + Domain;
    // Bob is there first: only members hear a channel.
    QCOMPARE(joinOnWire(world.peer, channel, world.bobUri, 1), 0LL);
    m_sdk.join(m_sdk.group(account), channel.c_str(), 1);
    QCOMPARE(world.peer.next("joined").text("uri"), aliceUri.toStdString());

    // On, muted, unmuted, off: Bob hears exactly the changes with the
    // microphone open, in order.
    auto mute = [&](int on) {
        ox_req_connector_mute_local_mic_t *r = nullptr;
        ox_req_connector_mute_local_mic_create(&r);
        r->mute = on;
        m_sdk.run(r);
    };
    oxc_set_simulated_voice(1);
    mute(1);
    mute(0);
    oxc_set_simulated_voice(0);
    for (int expected : {1, 0, 1, 0}) {
        WireObject speak = world.peer.next("speak");
        QCOMPARE(speak.text("uri"), aliceUri.toStdString());
        QCOMPARE(speak.number("speaking", -1), static_cast<long long>(expected));
    }
}

void VoiceWorldTest::permanentChannelsFollowTheGatewaysRecord()
{
    GatewayThread gateway(QStringLiteral(":memory:"));
    QVERIFY(gateway.started());
    useWorld(gateway);
    const QJsonObject alice = gateway.signIn(QStringLiteral("alice@example.test"));
    const QString sid = alice.value("sid").toString();
    const QJsonObject locked = gateway.call("AddChannel", {{"sid", sid},
                                                           {"ChannelDisplayName", "Locked"},
                                                           {"ChannelProtectionType", "1"},
                                                           {"ChannelPassword", "sesame"}});
    const QJsonObject invited =
        gateway.call("AddChannel", {{"sid", sid}, {"ChannelDisplayName", "Invited"}, {"ChannelProtectionType", "2"}});
    QVERIFY(!locked.value("ChannelLiveURI").toString().isEmpty());
    QVERIFY(!invited.value("ChannelLiveURI").toString().isEmpty());

    // Bob, no member and not the owner: the record's password and access
    // list decide; the owner is the record's, not the first to join.
    const QString account = worldLogin(gateway, QStringLiteral("bob@example.test"));
    const QString group = m_sdk.group(account);
    struct Case {
        QString channel;
        const char *password;
        int status;
    };
    const QList<Case> cases = {
        {locked.value("ChannelLiveURI").toString(), "wrong", 401},
        {invited.value("ChannelLiveURI").toString(), "", 403},
        {locked.value("ChannelLiveURI").toString(), "sesame", 0},
    };
    for (const Case &c : cases) {
        const QStringList tags = m_sdk.join(group, c.channel.toLatin1().constData(), 0, 1, c.password);
        auto streams = m_sdk.events<ox_evt_media_stream_updated_t>(OX_EVT_TEXT_STREAM_UPDATED);
        QVERIFY2(!streams.empty(), qPrintable(tags.join(' ')));
        QCOMPARE(streams[0]->state, c.status ? 1 : 2);
        QCOMPARE(streams[0]->status_code, c.status);
    }
    // In the locked channel Bob lists Alice's account as the owner.
    ox_req_account_channel_get_moderators_t *mods = nullptr;
    ox_req_account_channel_get_moderators_create(&mods);
    mods->account_handle = ox_strdup(account.toLatin1().constData());
    mods->channel_uri = ox_strdup(locked.value("ChannelLiveURI").toString().toLatin1().constData());
    m_sdk.run(mods);
    auto *list = m_sdk.response<ox_resp_account_channel_get_acl_t>(OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS);
    QVERIFY(list && list->participant_count >= 1);
    QCOMPARE(QString::fromUtf8(list->participants[0]->uri), alice.value("UserLiveURI").toString());
}

void VoiceWorldTest::linesToASignedOutAccountWaitForItsSignIn()
{
    BobOnline world;
    QVERIFY(openWorld(world));
    QString aliceUri;
    const QJsonObject alice = world.gateway.signIn(QStringLiteral("alice@example.test"));
    aliceUri = alice.value("UserLiveURI").toString();
    for (const char *line : {"are you there?", "call me"})
        world.peer.send(WireObject()
                            .set("op", "say")
                            .set("to", aliceUri.toStdString())
                            .set("from", world.bobUri)
                            .set("text", line));
    // A barrier: the world has read both lines once it answers this.
    QCOMPARE(world.peer.request(WireObject().set("op", "hello")).number("status", -1), 0);

    const QString account =
        m_sdk.login(m_sdk.connector("http://127.0.0.1/"), alice.value("auth_token").toString().toLatin1().constData());
    QVERIFY(!account.isEmpty());
    // They come right after the sign-in, perhaps within its own answers.
    QTest::qWaitFor(
        [this] {
            m_sdk.drain();
            return m_sdk.events<ox_evt_network_message_t>(OX_EVT_NETWORK_MESSAGE).size() >= 2;
        },
        20000);
    auto lines = m_sdk.events<ox_evt_network_message_t>(OX_EVT_NETWORK_MESSAGE);
    QCOMPARE(lines.size(), size_t(2));
    QCOMPARE(lines[0]->message_type, 1);
    QCOMPARE(lines[0]->sender_uri, world.bobUri.c_str());
    QCOMPARE(lines[0]->content, "are you there?");
    QCOMPARE(lines[1]->content, "call me");
}

void VoiceWorldTest::gatewayRefusesMalformedMessages()
{
    LogCapture log;
    GatewayThread gateway(QStringLiteral(":memory:"));
    QVERIFY(gateway.started());
    const QJsonObject bob = gateway.signIn(QStringLiteral("bob@example.test"));
    Peer peer;
    QVERIFY(peer.open(gateway.worldPort()));
    struct Case {
        QByteArray frame;
        const char *why;
    };
    const QList<Case> cases = {
        {frameOf("{not json"), "refused a message"},
        {frameOf("[1,2]"), "not an object"},
        {frameOf(R"({"id":1,"op":"fly"})"), "unknown operation"},
        {frameOf(R"({"id":2,"op":"login","token":7})"), "bad or missing \"token\""},
        {frameOf(R"({"id":3,"op":"say","to":"sip:x","from":"sip:u-1@dev.tavri.test","text":"x"})"),
         "is not signed in here"},
        {QByteArray("\x00\x10\x00\x01", 4) + QByteArray(0x100001, 'x'), "more than 524288"},
    };
    for (const Case &c : cases)
        peer.sendRaw(c.frame);
    // The connection still works: a proper sign-in is the barrier.
    QCOMPARE(
        peer.request(WireObject().set("op", "login").set("token", bob.value("auth_token").toString().toStdString()))
            .number("status", -1),
        0);
    for (const Case &c : cases)
        QVERIFY2(!log.matching(QString::fromLatin1(c.why)).isEmpty(), c.why);
}

void VoiceWorldTest::standInRefusesMalformedMessages()
{
    const QList<QPair<QByteArray, const char *>> cases = {
        {frameOf("{\"op\":"), "World message refused"},
        {frameOf(R"({"op":"say","nested":{"a":1}})"), "unsupported value"},
        {frameOf(R"({"op":"say","n":1.5})"), "not an integer"},
        {frameOf(R"({"text":"no op"})"), "no operation"},
        {QByteArray("\x00\x10\x00\x01", 4) + QByteArray(0x100001, 'x'), "1048577 bytes"},
    };
    // A world of its own on another thread: it answers the stand-in's hello,
    // then sends the bad messages and a marker.
    std::promise<quint16> listening;
    std::thread world([&] {
        QTcpServer server;
        listening.set_value(server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0);
        if (!server.waitForNewConnection(10000))
            return;
        QTcpSocket *link = server.nextPendingConnection();
        ostrelsdk::FrameReader frames;
        std::string payload;
        while (frames.next(&payload) != ostrelsdk::FrameReader::Frame && link->waitForReadyRead(10000)) {
            const QByteArray bytes = link->readAll();
            frames.feed(bytes.constData(), size_t(bytes.size()));
        }
        WireObject hello;
        WireObject::fromJson(payload, &hello, nullptr);
        link->write(QByteArray::fromStdString(WireObject().set("op", "reply").set("re", hello.number("id")).frame()));
        for (const auto &c : cases)
            link->write(c.first);
        link->write(frameOf(R"({"op":"marker"})"));
        link->waitForBytesWritten(10000);
        link->waitForDisconnected(20000);
    });
    const quint16 port = listening.get_future().get();
    qputenv("OSTRELSDK_WORLD", QByteArray("127.0.0.1:") + QByteArray::number(port));
    QVERIFY(port);
    QVERIFY(!m_sdk.connector("http://127.0.0.1/").isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(sdkLogged("unknown operation \"marker\""), 10000);
    m_sdk.stop();
    world.join();
    for (const auto &c : cases)
        QVERIFY2(sdkLogged(QString::fromLatin1(c.second)), c.second);
}

void VoiceWorldTest::losingTheWorldSignsOutUntilItReturns()
{
    const QString db = m_dir.filePath(QStringLiteral("gateway.sqlite"));
    auto gateway = std::make_unique<GatewayThread>(db);
    QVERIFY(gateway->started());
    const quint16 port = gateway->worldPort();
    useWorld(*gateway);
    const QString token = gateway->signIn(QStringLiteral("alice@example.test")).value("auth_token").toString();
    const QString connector = m_sdk.connector("http://127.0.0.1/");
    QVERIFY(!m_sdk.login(connector, token.toLatin1().constData()).isEmpty());

    gateway.reset();
    QVERIFY(awaitEvent(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE));
    auto states = m_sdk.events<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    QCOMPARE(states.back()->state, 0);
    QCOMPARE(states.back()->status_code, 10007);
    // While the world is down, sign-in fails as a network error.
    QVERIFY(m_sdk.login(connector, token.toLatin1().constData()).isEmpty());
    QCOMPARE(m_sdk.tags().last(), QStringLiteral("R%1!10007").arg(int(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN)));

    // Back on the same port and store: the same token signs in again.
    gateway = std::make_unique<GatewayThread>(db, port);
    QVERIFY(gateway->started());
    QVERIFY(!m_sdk.login(connector, token.toLatin1().constData()).isEmpty());
}

void VoiceWorldTest::aLoginTheWorldAnswersTooLateIsUndone()
{
    // The stand-in waits 30 s for an answer; a short wait keeps the test quick.
    QCOMPARE(oxc_set_world_reply_ms(500), 0);
    BobOnline world;
    QVERIFY(openWorld(world));
    const QJsonObject alice = world.gateway.signIn(QStringLiteral("alice@example.test"));
    const QByteArray token = alice.value("auth_token").toString().toLatin1();
    const std::string aliceUri = alice.value("UserLiveURI").toString().toLower().toStdString();
    const QString connector = m_sdk.connector("http://127.0.0.1/");
    QVERIFY(!connector.isEmpty());

    // The world stalls past the stand-in's wait for the login's answer: the
    // login fails as a connection failure.
    QSemaphore stalled;
    world.gateway.stall(&stalled);
    ox_req_account_authtoken_login_t *login = nullptr;
    ox_req_account_authtoken_login_create(&login);
    login->connector_handle = ox_strdup(connector.toLatin1().constData());
    login->auth_token = ox_strdup(token.constData());
    m_sdk.clear();
    ox_issue_request(&login->base);
    QCOMPARE(oxc_wait_idle(60000), 0);
    m_sdk.drain();
    auto *failed = m_sdk.response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
    QVERIFY(failed);
    QCOMPARE(failed->base.status_code, 10007);

    // The world, going on, takes the login late, finds the link gone and ends
    // it again: Bob sees Alice come and go.
    stalled.release();
    const WireObject came = world.peer.next("user");
    QCOMPARE(came.text("uri"), aliceUri);
    const WireObject went = world.peer.next("user");
    QCOMPARE(went.text("uri"), aliceUri);
    QCOMPARE(went.number("presence", -1), 0LL);

    // So the next login is not refused as one already in place.
    QVERIFY(!m_sdk.login(connector, token.constData()).isEmpty());
}

void VoiceWorldTest::aJoinTheWorldAnswersTooLateFailsOnce()
{
    QCOMPARE(oxc_set_world_reply_ms(500), 0);
    BobOnline world;
    QVERIFY(openWorld(world));
    const QString account = worldLogin(world.gateway, QStringLiteral("alice@example.test"));
    QVERIFY(!account.isEmpty());
    const QString group = m_sdk.group(account);
    QVERIFY(!group.isEmpty());

    // The world stalls past the stand-in's wait for the join's answer: the
    // join has one answer, a connection failure, and no session is
    // announced. (Each answer owns its request, so a second one would free
    // it twice.)
    QSemaphore stalled;
    world.gateway.stall(&stalled);
    const std::string channel = std::string("sip:confctl-g-late@") + Domain;
    const QStringList tags = m_sdk.join(group, channel.c_str(), 1);
    stalled.release();
    const QString answer = QStringLiteral("R%1").arg(int(OX_RESP_SESSIONGROUP_ADD_SESSION));
    const QStringList answers = tags.filter(QRegularExpression(QLatin1Char('^') + answer + QStringLiteral("\\b")));
    QCOMPARE(answers, QStringList{answer + QStringLiteral("!10007")});
    QVERIFY2(!tags.contains(QStringLiteral("E%1").arg(int(OX_EVT_SESSION_ADDED))), qPrintable(tags.join(' ')));
    // The loss of the world signed the account out.
    auto states = m_sdk.events<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    QVERIFY(!states.empty());
    QCOMPARE(states.back()->state, 0);
}

QTEST_GUILESS_MAIN(VoiceWorldTest)
#include "tst_voiceworld.moc"
