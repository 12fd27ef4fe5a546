// The built-in realm's chat text path: the frame of incoming texts, received
// texts, the local echo of sent ones, the queue of texts written into a
// private chat before its session exists, and the send results of the voice
// stand-in (sent, queued for an offline user, refused, failed).

#include "conversation.h"
#include "conversationmessage.h"
#include "conversationmessagelist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
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

namespace {

QStringList sentBodies()
{
    QStringList bodies;
    for (int i = 0; i < oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE); ++i) {
        const auto *request =
            reinterpret_cast<const ox_req_session_send_message_t *>(oxc_find_request(OX_REQ_SESSION_SEND_MESSAGE, i));
        bodies.append(QString::fromUtf8(request->message_body));
    }
    return bodies;
}

// The critical lines that a call wrote.
QStringList criticalLines(const LogCapture &capture)
{
    QStringList result;
    for (const CapturedLine &line : capture.lines())
        if (line.type == QtCriticalMsg)
            result.append(line.message);
    return result;
}

} // namespace

class TestRealmChat : public RealmTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void parse_data();
    void parse();
    void receive_data();
    void receive();
    void echo_data();
    void echo();
    void resultForUnknownCookieOrSession_data();
    void resultForUnknownCookieOrSession();
    void queuedTextsThroughSession_data();
    void queuedTextsThroughSession();
    void offlineLineShowsNameAsText();
    void textForAnEndedSessionOpensANewOne();
    void overlongAndNulTexts();
};

void TestRealmChat::initTestCase()
{
    // The voice account and the built-in identity are one user.
    QVERIFY(startRealm(QStringLiteral("me")));
}

void TestRealmChat::init()
{
    settle();
    oxc_clear_requests();
}

void TestRealmChat::cleanup()
{
    // Answers still on their way meet the tables they were sent from.
    settle();
    forgetTestState();
}

void TestRealmChat::cleanupTestCase()
{
    stopRealm();
}

void TestRealmChat::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("body");
    QTest::newRow("frame") << "1712345678901:0:hello"
                           << "hello";
    QTest::newRow("colons in the body") << "1712345678901:0:a:b"
                                        << "a:b";
    QTest::newRow("line breaks in the body") << "1712345678901:0:one\ntwo"
                                             << "one\ntwo";
    QTest::newRow("first field unchecked") << "x:60:hi"
                                           << "hi";
    QTest::newRow("offset off the quarter hour") << "x:7:hi"
                                                 << "x:7:hi";
    QTest::newRow("offset too far east") << "x:900:hi"
                                         << "x:900:hi";
    QTest::newRow("easternmost offset") << "x:840:hi"
                                        << "hi";
    QTest::newRow("westernmost offset") << "x:-720:hi"
                                        << "hi";
    QTest::newRow("offset too far west") << "x:-735:hi"
                                         << "x:-735:hi";
    QTest::newRow("negative quarter hour") << "x:-15:hi"
                                           << "hi";
    QTest::newRow("offset not a number") << "x:abc:hi"
                                         << "hi";
    QTest::newRow("empty offset") << "::hi"
                                  << "hi";
    QTest::newRow("offset out of int range") << "x:99999999999:hi"
                                             << "hi";
    QTest::newRow("no colon") << "plain text"
                              << "plain text";
    QTest::newRow("one colon") << "note: this"
                               << "note: this";
    QTest::newRow("empty text") << ""
                                << "";
    QTest::newRow("empty body") << "1712345678901:0:"
                                << "";
}

void TestRealmChat::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, body);
    QCOMPARE(TavriIdentityRealm::parseChatTimestampPrefix(text), body);
    // What the realm sends reads back unchanged.
    QCOMPARE(TavriIdentityRealm::parseChatTimestampPrefix(TavriIdentityRealm::buildChatTimestampPrefix(text)), text);
}

void TestRealmChat::receive_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("body");
    QTest::newRow("framed") << "1712345678901:0:hi there" << true << "hi there";
    QTest::newRow("without a frame") << "no frame at all" << true << "no frame at all";
    QTest::newRow("empty body") << "1712345678901:0:" << false << "";
    QTest::newRow("empty message") << "" << false << "";
}

void TestRealmChat::receive()
{
    QFETCH(QString, message);
    QFETCH(bool, delivered);
    QFETCH(QString, body);
    const QString peer = uri("u-", "rita");
    Conversation *chat = conversation(peer);
    Access::fileSession(chat, QStringLiteral("h-rita"));
    QSignalSpy received(m_realm, &TavriIdentityRealm::textMessageReceived);

    const QDateTime before = QDateTime::currentDateTime();
    emit m_voice->messageReceived(peer, QStringLiteral("h-rita"), message);

    QCOMPARE(received.size(), delivered ? 1 : 0);
    if (delivered) {
        const QVariantList args = received.first();
        QCOMPARE(args.mid(0, 4), QVariantList({peer, user(peer)->getUid(), m_me, body}));
        // Stamped with the time of receipt, not the sender's clock.
        QVERIFY(args.at(4).toDateTime() >= before && args.at(4).toDateTime() <= QDateTime::currentDateTime());
        QCOMPARE(chat->getChatMessages()->rowCount(), 1);
        QCOMPARE(chat->getChatMessages()->getMessages().first()->getText(), body);
    }

    // A session the realm does not know: reported, nothing delivered.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral(
                                            "^Assertion Failure - 'm_conversationsBySessionHandle.contains")));
    emit m_voice->messageReceived(peer, QStringLiteral("h-nobody"), QStringLiteral("1712345678901:0:lost"));
    QCOMPARE(received.size(), delivered ? 1 : 0);
}

void TestRealmChat::echo_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("transition");
    QTest::addColumn<QString>("text");
    QTest::newRow("private chat") << "u-" << false << "hello";
    QTest::newRow("group chat") << "confctl-g-" << false << "hello all";
    QTest::newRow("group chat a private chat moves to") << "confctl-g-" << true << "still here";
    QTest::newRow("channel with a transition URI") << "confctl-" << true << "the channel's own";
    QTest::newRow("empty text") << "u-" << false << "";
}

void TestRealmChat::echo()
{
    QFETCH(QString, kind);
    QFETCH(bool, transition);
    QFETCH(QString, text);
    const QString sipURI =
        uri(kind, kind == QLatin1String("confctl-") ? QStringLiteral("310") : QStringLiteral("e310"));
    const QString transitionURI = uri("u-", "tess");
    Conversation *chat = conversation(sipURI);
    if (transition)
        chat->setTransitionSipURI(transitionURI);
    Access::fileSession(chat, QStringLiteral("h310"));
    // A further text waits for this one's answer.
    Access::pendingMessages().insert(sipURI, {QStringLiteral("next")});
    Access::inFlight().insert(QStringLiteral("c310"), text);
    QSignalSpy received(m_realm, &TavriIdentityRealm::textMessageReceived);

    emit m_voice->chatMessageSent(QStringLiteral("c310"), QStringLiteral("h310"));

    const bool toTransition = transition && kind == QLatin1String("confctl-g-");
    const QString conversationID = toTransition ? transitionURI : sipURI;
    QString receiver = conversationID;
    if (conversationID.startsWith(QLatin1String("sip:u-")))
        receiver = user(conversationID)->getUid();
    QCOMPARE(received.size(), text.isEmpty() ? 0 : 1);
    if (!text.isEmpty())
        QCOMPARE(received.first().mid(0, 4), QVariantList({conversationID, m_me, receiver, text}));
    QVERIFY(!Access::inFlight().contains(QStringLiteral("c310")));
    // The next queued text goes out in the same session.
    const QStringList sent = sentBodies();
    QCOMPARE(sent.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{13}:0:next$")).match(sent.first()).hasMatch(),
             qPrintable(sent.first()));
    QVERIFY(Access::pendingMessages().value(sipURI).isEmpty());
}

void TestRealmChat::resultForUnknownCookieOrSession_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("knownCookie");
    QTest::addColumn<QString>("expression");
    for (int result : {0, 1, 2}) {
        const char *name = result == 0 ? "sent" : result == 1 ? "not sent" : "offline";
        QTest::newRow(qPrintable(QStringLiteral("%1, unknown cookie").arg(name)))
            << result << false << "m_inFlightChatMessages.contains(reqId)";
        QTest::newRow(qPrintable(QStringLiteral("%1, unknown session").arg(name)))
            << result << true << "m_conversationsBySessionHandle.contains(sessionHandle)";
    }
}

void TestRealmChat::resultForUnknownCookieOrSession()
{
    QFETCH(int, result);
    QFETCH(bool, knownCookie);
    QFETCH(QString, expression);
    const QString peer = uri("u-", "uma");
    Conversation *chat = conversation(peer);
    Access::fileSession(chat, QStringLiteral("h320"));
    Access::pendingMessages().insert(peer, {QStringLiteral("waiting")});
    Access::inFlight().insert(QStringLiteral("c320"), QStringLiteral("in flight"));
    const QString cookie = knownCookie ? QStringLiteral("c320") : QStringLiteral("c-unknown");
    const QString session = knownCookie ? QStringLiteral("h-unknown") : QStringLiteral("h320");
    QSignalSpy received(m_realm, &TavriIdentityRealm::textMessageReceived);

    QStringList critical;
    {
        LogCapture capture;
        if (result == 0)
            emit m_voice->chatMessageSent(cookie, session);
        else if (result == 1)
            emit m_voice->messageNotSent(session, cookie, 500, QStringLiteral("failed"));
        else
            emit m_voice->userIsOffline(session, cookie, false);
        critical = criticalLines(capture);
    }

    QCOMPARE(critical.size(), 1);
    QCOMPARE(critical.first(), QStringLiteral("Assertion Failure - '%1'").arg(expression));
    QCOMPARE(received.size(), 0);
    QCOMPARE(Access::inFlight(), (QHash<QString, QString>{{QStringLiteral("c320"), QStringLiteral("in flight")}}));
    QCOMPARE(Access::pendingMessages().value(peer), QStringList{QStringLiteral("waiting")});
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE), 0);
}

void TestRealmChat::queuedTextsThroughSession_data()
{
    QTest::addColumn<QString>("peerName");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("echoed");
    QTest::addColumn<int>("sends");
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QStringList>("notices");
    const QStringList all{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};
    const QStringList offlineNotice{QStringLiteral("Olly is offline")};
    QTest::newRow("sent (200)") << "olga" << 200 << all << 3 << false << QStringList();
    QTest::newRow("queued for an offline user (202)") << "otto" << 202 << QStringList() << 1 << true << offlineNotice;
    QTest::newRow("user unavailable (480)") << "oona" << 480 << QStringList() << 1 << true << offlineNotice;
    // A text that failed is shown as not sent.
    QTest::newRow("failed (500)") << "ossi" << 500 << QStringList(all.mid(1)) << 3 << false
                                  << QStringList{QStringLiteral("Message not sent: one")};
}

void TestRealmChat::queuedTextsThroughSession()
{
    QFETCH(QString, peerName);
    QFETCH(int, status);
    QFETCH(QStringList, echoed);
    QFETCH(int, sends);
    QFETCH(bool, offline);
    QFETCH(QStringList, notices);
    const QString peer = uri("u-", peerName);
    // The stand-in answers 200 to a user it has online, 202 to anyone else;
    // other answers are scripted for the first text.
    if (status != 202)
        oxc_user_set(peer.toUtf8().constData(), "Peer", 2, "");
    if (status == 480 || status == 500)
        oxc_script(OX_REQ_SESSION_SEND_MESSAGE, 1, status, "refused", 1);
    QCOMPARE(oxc_wait_idle(20000), 0);
    Conversation *chat = conversation(peer);
    user(peer)->setUname(QStringLiteral("Olly"));
    const QStringList texts{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};

    // Each echo is emitted before the next text is handed to the voice
    // service: one text at a time.
    QStringList echoes;
    QList<int> sendsAtEcho;
    QStringList offlineLines;
    QMetaObject::Connection watch =
        connect(m_realm, &TavriIdentityRealm::textMessageReceived, this,
                [&](const QString &conversationID, const QString &sender, const QString &, const QString &text) {
                    QCOMPARE(conversationID, peer);
                    if (sender == m_me) {
                        echoes.append(text);
                        sendsAtEcho.append(oxc_request_count(OX_REQ_SESSION_SEND_MESSAGE));
                    } else {
                        QCOMPARE(sender, peer);
                        offlineLines.append(text);
                    }
                });
    QSignalSpy joined(m_realm, &TavriIdentityRealm::conversationJoined);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Requesting new session group for P2P")));
    for (int i = 0; i < 2; ++i)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^P2P session already requested")));
    for (const QString &text : texts)
        m_realm->sendTextMessage(peer, text);
    QCOMPARE(Access::pendingMessages().value(peer), texts);

    // The session starts, the texts go out.
    QVERIFY(joined.wait(5000) || !joined.isEmpty());
    QCOMPARE(joined.first(), QVariantList({peer, uri("u-", "me")}));
    QVERIFY(QTest::qWaitFor(
        [&] { return Access::inFlight().isEmpty() && Access::pendingMessages().value(peer).isEmpty(); }, 5000));
    QCOMPARE(oxc_wait_idle(20000), 0);
    QCoreApplication::processEvents();
    disconnect(watch);

    QCOMPARE(echoes, echoed);
    for (int i = 0; i < sendsAtEcho.size(); ++i)
        QCOMPARE(sendsAtEcho.at(i), sends - echoes.size() + i + 1);
    const QStringList sent = sentBodies();
    QCOMPARE(sent.size(), sends);
    for (int i = 0; i < sent.size(); ++i)
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{13}:0:") + texts.at(i) + QLatin1Char('$'))
                     .match(sent.at(i))
                     .hasMatch(),
                 qPrintable(sent.at(i)));
    QCOMPARE(offlineLines, notices);
    // An offline peer's texts still queued are gone.
    QVERIFY(!Access::pendingMessages().contains(peer) || Access::pendingMessages().value(peer).isEmpty());
    if (offline)
        QVERIFY(!Access::pendingMessages().contains(peer));

    const QString handle = chat->getOstrelSessionHandle();
    QVERIFY(!handle.isEmpty());
    QSignalSpy removed(m_voice, &VoiceManager::sessionRemoved);
    m_voice->requestTerminateSession(handle);
    QVERIFY(removed.wait(3000) || !removed.isEmpty());
}

// A conversation still listed with a session that has ended (left behind
// by a move between sessions): its text does not go to the dead session,
// which the voice service would refuse, but waits for a new one.
void TestRealmChat::textForAnEndedSessionOpensANewOne()
{
    const QString peer = uri("u-", "edda");
    oxc_user_set(peer.toUtf8().constData(), "Peer", 2, "");
    QCOMPARE(oxc_wait_idle(20000), 0);
    Conversation *chat = conversation(peer);
    Access::handleByConversation().insert(chat, QStringLiteral("session-ended"));
    QSignalSpy joined(m_realm, &TavriIdentityRealm::conversationJoined);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Requesting new session group for P2P")));
    m_realm->sendTextMessage(peer, QStringLiteral("still here"));
    QVERIFY(Access::handleByConversation().value(chat) != QLatin1String("session-ended"));
    QCOMPARE(Access::pendingMessages().value(peer), QStringList{QStringLiteral("still here")});

    // The new session starts and the text goes out through it.
    QVERIFY(joined.wait(5000) || !joined.isEmpty());
    QVERIFY(QTest::qWaitFor(
        [&] { return Access::inFlight().isEmpty() && Access::pendingMessages().value(peer).isEmpty(); }, 5000));
    QCOMPARE(oxc_wait_idle(20000), 0);
    const QStringList sent = sentBodies();
    QCOMPARE(sent.size(), 1);
    QVERIFY2(sent.first().endsWith(QLatin1String(":0:still here")), qPrintable(sent.first()));

    const QString handle = chat->getOstrelSessionHandle();
    QVERIFY(!handle.isEmpty());
    QSignalSpy removed(m_voice, &VoiceManager::sessionRemoved);
    m_voice->requestTerminateSession(handle);
    QVERIFY(removed.wait(3000) || !removed.isEmpty());
}

void TestRealmChat::offlineLineShowsNameAsText()
{
    const QString peer = uri("u-", "mallory");
    Conversation *chat = conversation(peer);
    user(peer)->setUname(QStringLiteral("<b>Mal</b> & co"));
    Access::fileSession(chat, QStringLiteral("h330"));
    Access::inFlight().insert(QStringLiteral("c330"), QStringLiteral("hi"));

    emit m_voice->userIsOffline(QStringLiteral("h330"), QStringLiteral("c330"), true);

    // The name is shown as the user wrote it, never read as markup.
    QCOMPARE(chat->getChatMessages()->rowCount(), 1);
    const QString shown = chat->getChatMessages()->data(chat->getChatMessages()->index(0), Qt::DisplayRole).toString();
    QVERIFY2(shown.contains(QStringLiteral("&lt;b&gt;Mal&lt;/b&gt; &amp; co is offline")), qPrintable(shown));
    QVERIFY2(!shown.contains(QStringLiteral("&amp;lt;")), qPrintable(shown));
}

void TestRealmChat::overlongAndNulTexts()
{
    const QString channel = uri("confctl-", "350");
    Conversation *chat = conversation(channel);
    Access::fileSession(chat, QStringLiteral("h350"));
    QSignalSpy received(m_realm, &TavriIdentityRealm::textMessageReceived);

    // 200,000 characters of three UTF-8 bytes each: more than the voice
    // world carries in one message (512 KiB). Refused before sending, and
    // said so.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("text too long to send")));
    m_realm->sendTextMessage(channel, QString(200000, QChar(0x4e2d)));
    QCOMPARE(sentBodies(), QStringList());
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().at(1).toString(), channel);
    QVERIFY2(received.first().at(3).toString().startsWith(QStringLiteral("Message not sent, it is too long: ")),
             qPrintable(received.first().at(3).toString().left(60)));

    // A text of 480,000 bytes still goes out; a NUL does not end it.
    m_realm->sendTextMessage(channel, QString(160000, QChar(0x4e2d)));
    m_realm->sendTextMessage(channel, QStringLiteral("before") + QChar(QChar::Null) + QStringLiteral("after"));
    const QStringList sent = sentBodies();
    QCOMPARE(sent.size(), 2);
    QVERIFY(sent.at(0).endsWith(QStringLiteral(":0:") + QString(160000, QChar(0x4e2d))));
    QVERIFY2(sent.at(1).endsWith(QStringLiteral(":0:before\ufffdafter")), qPrintable(sent.at(1)));
}

TAVRI_TEST_MAIN(TestRealmChat)
#include "tst_realmchat.moc"
