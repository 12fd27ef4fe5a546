// Two clients on one machine see each other: the dev gateway with its voice
// world and two program processes (each with its own HOME, TMPDIR and
// XDG_RUNTIME_DIR), driven and read over their test control sockets. Every
// wait is on an answer: a process's output line or a control reply.

#include "devgateway.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString Domain = QStringLiteral("dev.tavri.test");
// The seeded accounts take the first ids.
const QString AliceUri = QStringLiteral("sip:u-1001@dev.tavri.test");
const QString BobUri = QStringLiteral("sip:u-1002@dev.tavri.test");

// A control answer's value as the await answers show it.
QString shown(const QJsonValue &value)
{
    return value.toVariant().toString();
}

// Reads a process's output until a line matches; the first capture.
QString awaitLine(QProcess &process, const QRegularExpression &pattern, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            const QRegularExpressionMatch match = pattern.match(line);
            if (match.hasMatch())
                return match.captured(1).isNull() ? line : match.captured(1);
        }
        if (process.state() == QProcess::NotRunning || !process.waitForReadyRead(int(timeoutMs - clock.elapsed())))
            break;
    }
    return QString();
}

class Client
{
public:
    Client(const QString &name, const QString &root, quint16 httpPort, quint16 worldPort)
    {
        const QDir dir(root + QLatin1Char('/') + name);
        for (const char *sub : {"home", "tmp", "runtime", "data/Ostrel/Tavri", "config", "cache"})
            dir.mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(dir.filePath("runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        DevGatewayOptions options;
        options.domain = Domain;
        QFile settings(dir.filePath("data/Ostrel/Tavri/RuntimeSettings.qml"));
        if (settings.open(QIODevice::WriteOnly))
            settings.write(DevGateway::runtimeSettings(options, httpPort).toUtf8());
        m_control = dir.filePath("runtime/control");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.filePath("home"));
        env.insert("TMPDIR", dir.filePath("tmp"));
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("OSTRELSDK_WORLD", QStringLiteral("127.0.0.1:%1").arg(worldPort));
        env.insert("TAVRI_TEST_CONTROL", m_control);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardErrorFile(dir.filePath("stderr.log"));
        m_process.start(QStringLiteral(TAVRI_CONTROLLED), QStringList());
    }
    ~Client()
    {
        m_socket.abort();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(15000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool ready()
    {
        if (awaitLine(m_process, QRegularExpression(QStringLiteral("^CONTROL READY$")), 60000).isEmpty())
            return false;
        m_socket.connectToServer(m_control);
        return m_socket.waitForConnected(5000);
    }
    QJsonObject call(QJsonObject command, int timeoutMs = 30000)
    {
        m_socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        m_socket.flush();
        QElapsedTimer clock;
        clock.start();
        while (!m_socket.canReadLine()) {
            if (clock.elapsed() > timeoutMs || !m_socket.waitForReadyRead(int(timeoutMs - clock.elapsed())))
                return QJsonObject{{"ok", false}, {"error", "no answer"}};
        }
        return QJsonDocument::fromJson(m_socket.readLine()).object();
    }
    bool act(const QJsonObject &command) { return call(command).value("ok").toBool(); }
    QJsonValue get(const QJsonObject &query) { return call(query).value("value"); }
    // Waits in the client until the query gives value; says what it gave last.
    QString await(const QJsonObject &query, const QJsonValue &value, int timeoutMs = 60000, bool contains = false)
    {
        return call(QJsonObject{{"cmd", "await"},
                                {"query", query},
                                {"value", value},
                                {"timeout", timeoutMs},
                                {"contains", contains}},
                    timeoutMs + 10000)
            .value("value")
            .toVariant()
            .toString();
    }

private:
    QProcess m_process;
    QLocalSocket m_socket;
    QString m_control;
};

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
    QProcess gateway;
    gateway.start(QStringLiteral(TAVRI_DEVGATEWAY),
                  {"--listen", "127.0.0.1:0", "--db", root.filePath("gateway.sqlite"), "--seed", "--voice-world", "0"});
    const quint16 httpPort =
        awaitLine(gateway, QRegularExpression(QStringLiteral("listening on http://127.0.0.1:(\\d+)/"))).toUShort();
    const quint16 worldPort =
        awaitLine(gateway, QRegularExpression(QStringLiteral("voice world on 127.0.0.1:(\\d+)"))).toUShort();
    QVERIFY(httpPort && worldPort);

    Client alice(QStringLiteral("alice"), root.path(), httpPort, worldPort);
    Client bob(QStringLiteral("bob"), root.path(), httpPort, worldPort);
    QVERIFY(alice.ready());
    QVERIFY(bob.ready());
    QVERIFY(alice.act({{"cmd", "login"}, {"email", "alice@example.test"}, {"password", "tavri-dev"}}));
    QVERIFY(bob.act({{"cmd", "login"}, {"email", "bob@example.test"}, {"password", "tavri-dev"}}));
    const QJsonObject state{{"cmd", "state"}};
    QCOMPARE(alice.await(state, "LoggedIn", 120000), shown("LoggedIn"));
    QCOMPARE(bob.await(state, "LoggedIn", 120000), shown("LoggedIn"));

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
    const QJsonObject states{{"cmd", "states"}};
    const QString aliceBefore = alice.get(states).toString();
    const QString bobBefore = bob.get(states).toString();
    gateway.kill();
    gateway.waitForFinished(10000);
    const QString dropped = QStringLiteral(",DisconnectedReconnecting,LoggedOut");
    QCOMPARE(alice.await(states, aliceBefore + dropped), aliceBefore + dropped);
    QCOMPARE(bob.await(states, bobBefore + dropped), bobBefore + dropped);
    gateway.start(QStringLiteral(TAVRI_DEVGATEWAY),
                  {"--listen", QStringLiteral("127.0.0.1:%1").arg(httpPort), "--db", root.filePath("gateway.sqlite"),
                   "--voice-world", QString::number(worldPort)});
    QVERIFY(!awaitLine(gateway, QRegularExpression(QStringLiteral("voice world on"))).isEmpty());
    // Back at the next retry (5 s after the drop, or 20 s on a slow start).
    for (Client *client : {&alice, &bob})
        QCOMPARE(client->await(state, "LoggedIn", 120000), QStringLiteral("LoggedIn"));
    QVERIFY(
        alice.get(states).toString().startsWith(aliceBefore + dropped + QLatin1String(",DisconnectedReconnecting")));
    QVERIFY(bob.get(states).toString().startsWith(bobBefore + dropped + QLatin1String(",DisconnectedReconnecting")));

    gateway.terminate();
    gateway.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TwoClientsTest)
#include "tst_twoclients.moc"
