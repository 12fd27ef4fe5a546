// Two clients on one machine see each other: the dev gateway with its voice
// world and two program processes (each with its own HOME, TMPDIR and
// XDG_RUNTIME_DIR), driven and read over their test control sockets. Every
// wait is on an answer: a process's output line or a control reply.

#include "e2eclient.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

using e2e::Client;
using e2e::Domain;
using e2e::shown;

namespace {

// The seeded accounts take the first ids.
const QString AliceUri = QStringLiteral("sip:u-1001@dev.tavri.test");
const QString BobUri = QStringLiteral("sip:u-1002@dev.tavri.test");

} // namespace

class TwoClientsTest : public QObject
{
    Q_OBJECT
private slots:
    void twoClientsSeeEachOther();
};

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

QTEST_GUILESS_MAIN(TwoClientsTest)
#include "tst_twoclients.moc"
