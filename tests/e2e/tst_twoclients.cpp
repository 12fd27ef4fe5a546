// Two clients on one machine see each other: the dev gateway with its voice
// world and two program processes (each with its own HOME, TMPDIR and
// XDG_RUNTIME_DIR), driven and read over their test control sockets. Every
// wait is on an answer: a process's output line or a control reply.

#include "e2eclient.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <utility>

using e2e::Client;
using e2e::Domain;
using e2e::shown;

namespace {

// The seeded accounts take the first ids.
const QString AliceUri = QStringLiteral("sip:u-1001@dev.tavri.test");
const QString BobUri = QStringLiteral("sip:u-1002@dev.tavri.test");

// The gateway and Alice and Bob signed in, each in their own folders under
// one temporary folder, which a failed test keeps (with the logs).
struct SignedInPair {
    QTemporaryDir root;
    e2e::Gateway gateway{root.filePath("gateway.sqlite")};
    std::unique_ptr<Client> alice, bob;

    SignedInPair() { root.setAutoRemove(qEnvironmentVariableIsEmpty("TAVRI_KEEP_E2E")); }
    ~SignedInPair()
    {
        if (QTest::currentTestFailed()) {
            root.setAutoRemove(false);
            qInfo("The clients' folders are kept in %s", qPrintable(root.path()));
        }
    }
    bool start()
    {
        if (!gateway.start(0, 0, {"--seed"}))
            return false;
        alice = std::make_unique<Client>(QStringLiteral("alice"), root.path(), gateway);
        bob = std::make_unique<Client>(QStringLiteral("bob"), root.path(), gateway);
        if (!alice->ready() || !bob->ready())
            return false;
        if (!alice->act({{"cmd", "login"}, {"email", "alice@example.test"}, {"password", "tavri-dev"}})
            || !bob->act({{"cmd", "login"}, {"email", "bob@example.test"}, {"password", "tavri-dev"}}))
            return false;
        for (Client *client : {alice.get(), bob.get()})
            if (client->await({{"cmd", "state"}}, "LoggedIn", 120000) != QLatin1String("LoggedIn"))
                return false;
        return true;
    }
};

// Every chat-log line that a client wrote, as UTF-8 text.
QString chatLogs(const Client &client)
{
    QString all;
    QDirIterator it(client.path("data/Ostrel/Tavri/logs"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            all += QString::fromUtf8(file.readAll());
    }
    return all;
}

} // namespace

class TwoClientsTest : public QObject
{
    Q_OBJECT
private slots:
    void twoClientsSeeEachOther();
    void textArrivesUnchanged();
    void friendRequestAccepted();
    void friendRequestDeclined();
    void ownedChannelStaysWhenItsWindowCloses();
};

void TwoClientsTest::textArrivesUnchanged()
{
    SignedInPair pair;
    QVERIFY(pair.start());
    Client &alice = *pair.alice;
    Client &bob = *pair.bob;
    const QString channel = QStringLiteral("sip:confctl-g-utf8@") + Domain;
    const QJsonObject participants{{"cmd", "participants"}, {"uri", channel}};
    const QString both = AliceUri + QLatin1Char(',') + BobUri;
    QVERIFY(alice.act({{"cmd", "join"}, {"uri", channel}}));
    QCOMPARE(alice.await(participants, AliceUri), shown(AliceUri));
    QVERIFY(bob.act({{"cmd", "join"}, {"uri", channel}}));
    QCOMPARE(alice.await(participants, both), shown(both));
    QCOMPARE(bob.await(participants, both), shown(both));

    // Each text carries a marker of its own so that its line is found.
    QString longLine;
    while (longLine.toUtf8().size() < 64 * 1024 - 16)
        longLine += QStringLiteral("long line ü 😀 ");
    const QList<QPair<const char *, QString>> texts = {
        {"accents", QStringLiteral("ünïcödé àéîõù ß Æ")},
        {"emoji", QStringLiteral("😀 🎉 👍🏽 🇳🇱")},
        {"combining", QString::fromUtf8("e\u0301 a\u0308 n\u0303 \u0915\u094d\u0937")},
        {"rtl", QStringLiteral("שלום עולם مرحبا")},
        {"cjk", QStringLiteral("你好世界 こんにちは 안녕하세요")},
        {"long", longLine},
    };
    int n = 0;
    for (const auto &[name, body] : texts) {
        for (auto [from, to] : {std::make_pair(&alice, &bob), std::make_pair(&bob, &alice)}) {
            const QString marker = QStringLiteral("[%1]").arg(++n);
            const QString line = marker + QLatin1Char(' ') + body;
            QVERIFY(from->act({{"cmd", "send"}, {"uri", channel}, {"text", line}}));
            const QJsonObject lines{{"cmd", "lines"}, {"uri", channel}, {"contains", marker}};
            QVERIFY2(to->await(lines, line) == line, name);
            // The newest line is drawn in the receiver's window as sent.
            const QJsonObject shownLines{{"cmd", "shownlines"}, {"uri", channel}, {"contains", marker}};
            QVERIFY2(to->await(shownLines, line, 60000, true).contains(line), name);
        }
    }
    // One "Voice off" click is one disconnect and one notice.
    const QJsonObject voiceButton{{"cmd", "property"}, {"path", "voiceButton"}, {"name", "text"}};
    QCOMPARE(alice.await(voiceButton, "Voice off"), QStringLiteral("Voice off"));
    QVERIFY(alice.act({{"cmd", "click"}, {"path", "voiceButton"}}));
    const QString disabled = QStringLiteral("You have disabled audio.");
    QCOMPARE(alice.await({{"cmd", "lines"}, {"uri", channel}, {"contains", disabled}}, disabled), disabled);
    QCOMPARE(alice.get({{"cmd", "mediadisconnects"}}).toInt(), 1);
    QCOMPARE(alice.await(voiceButton, "Voice on"), QStringLiteral("Voice on"));
    QCOMPARE(alice.get({{"cmd", "lines"}, {"uri", channel}, {"contains", disabled}}).toString(), disabled);

    // Both chat logs hold every line, byte for byte.
    const QString aliceLog = chatLogs(alice);
    const QString bobLog = chatLogs(bob);
    for (const auto &[name, body] : texts) {
        QVERIFY2(aliceLog.count(body) == 2, name);
        QVERIFY2(bobLog.count(body) == 2, name);
    }
}

void TwoClientsTest::friendRequestAccepted()
{
    SignedInPair pair;
    QVERIFY(pair.start());
    Client &alice = *pair.alice;
    Client &bob = *pair.bob;
    // Alice asks; the request shows at Bob's within seconds (pushed, not
    // waiting for the next poll).
    QVERIFY(alice.act({{"cmd", "addfriend"}, {"uri", BobUri}}));
    const QJsonObject notifications{{"cmd", "notifications"}};
    QVERIFY(bob.await(notifications, "2:", 60000, true).startsWith("2:"));
    // Bob accepts by clicking the request once it names its sender, as a
    // person reads it before clicking.
    QVERIFY(bob.await(notifications, AliceUri, 60000, true).contains(AliceUri));
    QVERIFY(bob.act({{"cmd", "click"}, {"path", "notificationTextArea"}}));
    const QJsonObject contacts{{"cmd", "rows"}, {"list", "contacts"}, {"role", "sipURI"}};
    QCOMPARE(bob.await(contacts, AliceUri), AliceUri);
    QCOMPARE(alice.await(contacts, BobUri), BobUri);
    // Each sees the other's presence.
    const QJsonObject alicePresence{{"cmd", "peerpresence"}, {"uri", AliceUri}};
    const QJsonObject bobPresence{{"cmd", "peerpresence"}, {"uri", BobUri}};
    QVERIFY(alice.act({{"cmd", "presence"}, {"state", 2}, {"message", "away"}}));
    QVERIFY(bob.act({{"cmd", "presence"}, {"state", 2}, {"message", "away"}}));
    QCOMPARE(bob.await(alicePresence, 2), shown(2));
    QCOMPARE(alice.await(bobPresence, 2), shown(2));
}

void TwoClientsTest::friendRequestDeclined()
{
    SignedInPair pair;
    QVERIFY(pair.start());
    Client &alice = *pair.alice;
    Client &bob = *pair.bob;
    QVERIFY(alice.act({{"cmd", "addfriend"}, {"uri", BobUri}}));
    const QJsonObject notifications{{"cmd", "notifications"}};
    QVERIFY(bob.await(notifications, "2:", 60000, true).startsWith("2:"));
    // Bob deletes the request from its menu.
    QVERIFY(bob.act({{"cmd", "click"}, {"path", "notificationMenuButton"}}));
    QVERIFY(bob.act({{"cmd", "trigger"}, {"path", "notificationMenu/deleteNotification"}}));
    QCOMPARE(bob.await(notifications, ""), QString());
    const QJsonObject contacts{{"cmd", "rows"}, {"list", "contacts"}, {"role", "sipURI"}};
    QCOMPARE(bob.get(contacts).toString(), QString());
}

void TwoClientsTest::twoClientsSeeEachOther()
{
    QTemporaryDir root;
    root.setAutoRemove(qEnvironmentVariableIsEmpty("TAVRI_KEEP_E2E"));
    // A failed run keeps the clients' and the gateway's folders (their logs)
    // and says where they are.
    struct KeepOnFailure {
        QTemporaryDir &root;
        ~KeepOnFailure()
        {
            if (QTest::currentTestFailed()) {
                root.setAutoRemove(false);
                qInfo("The clients' folders are kept in %s", qPrintable(root.path()));
            }
        }
    } keepOnFailure{root};
    e2e::Gateway gateway(root.filePath("gateway.sqlite"));
    QVERIFY(gateway.start(0, 0, {"--seed"}));
    const quint16 httpPort = gateway.httpPort;
    const quint16 worldPort = gateway.worldPort;

    Client alice(QStringLiteral("alice"), root.path(), gateway);
    Client bob(QStringLiteral("bob"), root.path(), gateway);
    QVERIFY(alice.ready());
    QVERIFY(bob.ready());
    QVERIFY(alice.act({{"cmd", "login"}, {"email", "alice@example.test"}, {"password", "tavri-dev"}}));
    QVERIFY(bob.act({{"cmd", "login"}, {"email", "bob@example.test"}, {"password", "tavri-dev"}}));
    const QJsonObject state{{"cmd", "state"}};
    const QJsonObject states{{"cmd", "states"}};
    // On failure the login states entered say where a sign-in stopped.
    for (Client *client : {&alice, &bob}) {
        QVERIFY2(client->await(state, "LoggedIn", 120000) == QLatin1String("LoggedIn"),
                 qPrintable(QStringLiteral("login states: ") + client->get(states).toString()));
    }

    // Bob befriends Alice and sees her presence change.
    QVERIFY(bob.act({{"cmd", "addfriend"}, {"uri", AliceUri}}));
    const QJsonObject alicePresence{{"cmd", "peerpresence"}, {"uri", AliceUri}};
    QCOMPARE(bob.await(alicePresence, 5), shown(5));
    QVERIFY(alice.act({{"cmd", "presence"}, {"state", 2}, {"message", "back soon"}}));
    QCOMPARE(bob.await(alicePresence, 2), shown(2));

    // Alice opens a group channel; both join and list each other.
    const QString channel = QStringLiteral("sip:confctl-g-e2e1@") + Domain;
    QVERIFY(alice.act({{"cmd", "join"}, {"uri", channel}}));
    const QJsonObject participants{{"cmd", "participants"}, {"uri", channel}};
    QCOMPARE(alice.await(participants, AliceUri), shown(AliceUri));
    QVERIFY(bob.act({{"cmd", "join"}, {"uri", channel}}));
    const QString both = AliceUri + QLatin1Char(',') + BobUri;
    QCOMPARE(bob.await(participants, both), shown(both));
    QCOMPARE(alice.await(participants, both), shown(both));

    // Ten lines each way arrive in order.
    QStringList fromAlice, fromBob;
    for (int i = 0; i < 10; ++i) {
        fromAlice << QStringLiteral("alice says %1").arg(i);
        fromBob << QStringLiteral("bob says %1").arg(i);
        QVERIFY(alice.act({{"cmd", "send"}, {"uri", channel}, {"text", fromAlice.last()}}));
        QVERIFY(bob.act({{"cmd", "send"}, {"uri", channel}, {"text", fromBob.last()}}));
    }
    QCOMPARE(bob.await({{"cmd", "lines"}, {"uri", channel}, {"contains", "alice says"}}, fromAlice.join('\n')),
             shown(fromAlice.join('\n')));
    QCOMPARE(alice.await({{"cmd", "lines"}, {"uri", channel}, {"contains", "bob says"}}, fromBob.join('\n')),
             shown(fromBob.join('\n')));

    // Alice holds push-to-talk: Bob sees her speak, then stop.
    QVERIFY(!alice.get({{"cmd", "pttsetup"}}).toString().isEmpty());
    const QJsonObject aliceSpeaking{{"cmd", "speaking"}, {"uri", channel}, {"who", AliceUri}};
    QVERIFY(alice.act({{"cmd", "ptt"}, {"down", true}}));
    QCOMPARE(bob.await(aliceSpeaking, true), shown(true));
    QVERIFY(alice.act({{"cmd", "ptt"}, {"down", false}}));
    QCOMPARE(bob.await(aliceSpeaking, false), shown(false));

    // Bob leaves: Alice's list drops him.
    QVERIFY(bob.act({{"cmd", "leave"}, {"uri", channel}}));
    QCOMPARE(alice.await(participants, AliceUri), shown(AliceUri));

    // A private chat from Alice opens at Bob.
    QVERIFY(alice.act({{"cmd", "chat"}, {"uri", BobUri}}));
    QVERIFY(alice.act({{"cmd", "send"}, {"uri", BobUri}, {"text", "psst"}}));
    QCOMPARE(bob.await({{"cmd", "lines"}, {"uri", AliceUri}, {"contains", "psst"}}, "psst"), QStringLiteral("psst"));

    // Bob comes back; his kick of Alice is refused, Alice's kick of Bob
    // removes him as kicked.
    QVERIFY(bob.act({{"cmd", "join"}, {"uri", channel}}));
    QCOMPARE(alice.await(participants, both), shown(both));
    QVERIFY(bob.act({{"cmd", "kick"}, {"uri", channel}, {"who", AliceUri}}));
    QVERIFY(alice.act({{"cmd", "kick"}, {"uri", channel}, {"who", BobUri}}));
    QCOMPARE(bob.await({{"cmd", "removal"}, {"uri", channel}}, "kicked"), QStringLiteral("kicked"));
    QCOMPARE(alice.await(participants, AliceUri), shown(AliceUri));
    QCOMPARE(alice.get({{"cmd", "disconnect"}, {"uri", channel}}).toInt(), -1);

    // Killing the gateway drops both to reconnecting and then signed out with
    // a retry pending; a gateway back on the same ports and store signs both
    // in again at their next retry. Every login state entered is checked.
    const QString aliceBefore = alice.get(states).toString();
    const QString bobBefore = bob.get(states).toString();
    gateway.kill();
    const QString dropped = QStringLiteral(",DisconnectedReconnecting,LoggedOut");
    QCOMPARE(alice.await(states, aliceBefore + dropped), aliceBefore + dropped);
    QCOMPARE(bob.await(states, bobBefore + dropped), bobBefore + dropped);
    QVERIFY(gateway.start(httpPort, worldPort));
    // Back at the next retry (5 s after the drop, or 20 s on a slow start).
    for (Client *client : {&alice, &bob}) {
        // On failure the login states entered say where the retries ended.
        QVERIFY2(client->await(state, "LoggedIn", 120000) == QLatin1String("LoggedIn"),
                 qPrintable(QStringLiteral("login states: ") + client->get(states).toString()));
    }
    QVERIFY(
        alice.get(states).toString().startsWith(aliceBefore + dropped + QLatin1String(",DisconnectedReconnecting")));
    QVERIFY(bob.get(states).toString().startsWith(bobBefore + dropped + QLatin1String(",DisconnectedReconnecting")));
}

void TwoClientsTest::ownedChannelStaysWhenItsWindowCloses()
{
    SignedInPair pair;
    QVERIFY(pair.start());
    Client &alice = *pair.alice;
    // Alice owns the seeded Lobby (and Games under it).
    const QJsonObject tree{{"cmd", "rows"}, {"list", "permanentConversations"}, {"role", "displayName"}};
    QVERIFY(alice.await(tree, "Lobby", 60000, true).contains("Lobby"));
    const QString lobby = QStringLiteral("sip:confctl-5001@") + Domain;
    QVERIFY(alice.act({{"cmd", "join"}, {"uri", lobby}}));
    const QJsonObject participants{{"cmd", "participants"}, {"uri", lobby}};
    QCOMPARE(alice.await(participants, AliceUri), shown(AliceUri));
    // She closes its window with its close button: she leaves, the row stays.
    QVERIFY(alice.act({{"cmd", "click"}, {"path", "conversationPane/closeButton"}}));
    QCOMPARE(alice.await(participants, QString()), QString());
    QVERIFY(alice.get(tree).toString().split(',').contains("Lobby"));
}

QTEST_GUILESS_MAIN(TwoClientsTest)
#include "tst_twoclients.moc"
