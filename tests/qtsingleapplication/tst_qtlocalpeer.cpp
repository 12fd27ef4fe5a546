#include "qtlocalpeer.h"
#include "testenvironment.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

const char kHelperIdVariable[] = "TAVRI_PEER_HELPER_ID";
const char kHelperRuntimeVariable[] = "TAVRI_PEER_HELPER_RUNTIME";

QString runtimeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString expectedSocketPath(const QString &sanitizedId)
{
    return QDir(runtimeFolder()).filePath(sanitizedId + QLatin1Char('-') + QString::number(::getuid()));
}

// Sends from a thread of its own: the owner answers on this thread's event
// loop, which must keep running while the client blocks.
bool sendFromThread(QtLocalPeer &client, const QString &text, int timeout)
{
    bool delivered = false;
    std::unique_ptr<QThread> thread(QThread::create([&] { delivered = client.sendMessage(text, timeout); }));
    thread->start();
    QElapsedTimer clock;
    clock.start();
    while (!thread->isFinished() && clock.elapsed() < timeout + 10000)
        QTest::qWait(5);
    thread->wait();
    return delivered;
}

QByteArray frameOf(const QByteArray &payload)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.writeBytes(payload.constData(), uint(payload.size()));
    return frame;
}

} // namespace

class TestQtLocalPeer : public QObject
{
    Q_OBJECT

public:
    // A copy of this binary started with the helper variables owns the id in
    // another process, reports "owner" or "client", and echoes every message.
    static void initMain()
    {
        const QString id = qEnvironmentVariable(kHelperIdVariable);
        if (id.isEmpty())
            return;
        qputenv("XDG_RUNTIME_DIR", qgetenv(kHelperRuntimeVariable));
        int argc = 1;
        char name[] = "peerhelper";
        char *argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        QtLocalPeer peer(nullptr, id);
        QObject::connect(&peer, &QtLocalPeer::messageReceived, [](const QString &message) {
            std::printf("got:%s\n", message.toUtf8().constData());
            std::fflush(stdout);
        });
        std::printf("%s\n", peer.isClient() ? "client" : "owner");
        std::fflush(stdout);
        std::exit(app.exec());
    }

private slots:
    void deliversMessagesWhole_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString();
        QTest::newRow("command") << QStringLiteral("-quit");
        QTest::newRow("joined arguments, non-Latin")
            << QStringLiteral("tavri:join/ch<!>-svc a:b:c:d<!>Привет 你好 🎧<!><!>end");
        QTest::newRow("large") << QString(200000, QChar(0x00e9));
    }

    void deliversMessagesWhole()
    {
        QFETCH(QString, message);
        QtLocalPeer owner(nullptr, QStringLiteral("Ostrel:tavri"));
        QtLocalPeer client(nullptr, QStringLiteral("Ostrel:tavri"));
        QVERIFY(!owner.isClient());
        QVERIFY(client.isClient());
        QCOMPARE(client.applicationId(), QStringLiteral("Ostrel:tavri"));

        QSignalSpy received(&owner, &QtLocalPeer::messageReceived);
        QVERIFY(sendFromThread(client, message, 5000));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), message);
        // An owner has nobody to send to.
        QVERIFY(!owner.sendMessage(message, 100));
    }

    void namesSocketAndLockAfterIdAndUser()
    {
        QVERIFY(runtimeFolder().startsWith(tavritest::TestEnvironment::root()));
        auto owner = std::make_unique<QtLocalPeer>(nullptr, QStringLiteral("Ostrel:tavri"));
        const QString socketPath = expectedSocketPath(QStringLiteral("Ostrel_tavri"));
        QVERIFY(QFileInfo::exists(socketPath + QStringLiteral(".lock")));
        const QFileInfo socket(socketPath);
        QVERIFY(socket.exists());
        QCOMPARE(socket.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());

        // Another id is another instance.
        QtLocalPeer other(nullptr, QStringLiteral("Ostrel:other"));
        QVERIFY(!other.isClient());

        // The owner gives both files up when it ends, and the next peer owns the id.
        owner.reset();
        QVERIFY(!QFileInfo::exists(socketPath));
        QVERIFY(!QFileInfo::exists(socketPath + QStringLiteral(".lock")));
        QtLocalPeer successor(nullptr, QStringLiteral("Ostrel:tavri"));
        QVERIFY(!successor.isClient());
    }

    void sendFailsWithinTimeout_data()
    {
        QTest::addColumn<bool>("silentServer");
        QTest::newRow("no server") << false;
        QTest::newRow("server never answers") << true;
    }

    void sendFailsWithinTimeout()
    {
        QFETCH(bool, silentServer);
        // A live owner's lock without its socket: this process holds the lock.
        const QString socketPath = expectedSocketPath(QStringLiteral("Ostrel_tavri"));
        QLockFile lock(socketPath + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        QLocalServer server;
        QList<QLocalSocket *> accepted;
        if (silentServer) {
            QVERIFY(server.listen(socketPath));
            connect(&server, &QLocalServer::newConnection, &server,
                    [&] { accepted << server.nextPendingConnection(); });
        }

        QtLocalPeer client(nullptr, QStringLiteral("Ostrel:tavri"));
        QVERIFY(client.isClient());
        const int timeout = 700;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!sendFromThread(client, QStringLiteral("-quit"), timeout));
        // Bounded by the timeout (with room for a loaded machine), never hung.
        QVERIFY2(clock.elapsed() < timeout + 5000, qPrintable(QString::number(clock.elapsed())));
        if (silentServer)
            QVERIFY(clock.elapsed() >= timeout - 50);
    }

    void handlesRawFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<bool>("delivered");
        const QByteArray frame = frameOf(QByteArrayLiteral("split message"));
        QTest::newRow("frame split across writes")
            << QList<QByteArray>{frame.left(2), frame.mid(2, 5), frame.mid(7)} << true;
        QTest::newRow("announced length over the limit")
            << QList<QByteArray>{QByteArray::fromHex("7ffffff0") + "xyz"} << false;
    }

    void handlesRawFrames()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(bool, delivered);
        QtLocalPeer owner(nullptr, QStringLiteral("Ostrel:tavri"));
        QSignalSpy received(&owner, &QtLocalPeer::messageReceived);

        QLocalSocket socket;
        QSignalSpy closed(&socket, &QLocalSocket::disconnected);
        socket.connectToServer(expectedSocketPath(QStringLiteral("Ostrel_tavri")));
        QVERIFY(socket.waitForConnected(1000));
        for (const QByteArray &chunk : chunks) {
            socket.write(chunk);
            socket.flush();
            QTest::qWait(20);
        }
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(received.count(), delivered ? 1 : 0);
        QCOMPARE(socket.readAll(), delivered ? QByteArrayLiteral("ack") : QByteArray());
        if (delivered)
            QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("split message"));
    }

    void refusesFoldersThatAreNotPrivate()
    {
        // No runtime folder is set, and the names of the fallback runtime
        // folder and of the user's temporary folder in a shared temporary
        // folder are taken by things that are not folders: no socket goes
        // anywhere else, and a later start hands nothing over.
        QTemporaryDir shared(QDir(tavritest::TestEnvironment::root()).filePath(QStringLiteral("shared-XXXXXX")));
        QVERIFY(shared.isValid());
        const struct passwd *user = ::getpwuid(::geteuid());
        QVERIFY(user);
        for (const QString &name : {QStringLiteral("runtime-") + QString::fromLocal8Bit(user->pw_name),
                                    QStringLiteral("ostrel-%1").arg(::geteuid())}) {
            QFile taken(shared.filePath(name));
            QVERIFY(taken.open(QIODevice::WriteOnly));
        }
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray temporary = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        const QString workingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(shared.path()));
        const QRegularExpression refusal(QStringLiteral("no private folder for the single-instance socket"));
        QTest::ignoreMessage(QtWarningMsg, refusal);
        QTest::ignoreMessage(QtWarningMsg, refusal);
        bool firstIsClient, secondIsClient, handedOver;
        {
            QtLocalPeer first(nullptr, QStringLiteral("Ostrel:tavri"));
            QtLocalPeer second(nullptr, QStringLiteral("Ostrel:tavri"));
            firstIsClient = first.isClient();
            secondIsClient = second.isClient();
            handedOver = second.sendMessage(QStringLiteral("-svc a:b:c:d"), 1000);
        }
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temporary);
        QVERIFY(QDir::setCurrent(workingFolder));
        QVERIFY(!firstIsClient);
        QVERIFY(!secondIsClient);
        QVERIFY(!handedOver);
        QCOMPARE(
            QDir(shared.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size(),
            2);
    }

    void takesOverFromKilledOwner()
    {
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kHelperIdVariable, QStringLiteral("Ostrel:tavri"));
        environment.insert(kHelperRuntimeVariable, runtimeFolder());
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(helper.waitForStarted());
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += helper.readAllStandardOutput()).contains('\n'), 20000);
        QCOMPARE(output, QByteArrayLiteral("owner\n"));

        {
            // The other process's instance receives what a later start sends.
            QtLocalPeer client(nullptr, QStringLiteral("Ostrel:tavri"));
            QVERIFY(client.isClient());
            QVERIFY(client.sendMessage(QStringLiteral("ping ✓"), 5000));
            output.clear();
            QTRY_VERIFY_WITH_TIMEOUT((output += helper.readAllStandardOutput()).contains('\n'), 10000);
            QCOMPARE(QString::fromUtf8(output), QStringLiteral("got:ping ✓\n"));
        }

        // Killed, it leaves its lock and socket files behind.
        helper.kill();
        QVERIFY(helper.waitForFinished());
        const QString socketPath = expectedSocketPath(QStringLiteral("Ostrel_tavri"));
        QVERIFY(QFileInfo::exists(socketPath + QStringLiteral(".lock")));

        QtLocalPeer successor(nullptr, QStringLiteral("Ostrel:tavri"));
        QVERIFY(!successor.isClient());
        QtLocalPeer client(nullptr, QStringLiteral("Ostrel:tavri"));
        QVERIFY(client.isClient());
        QSignalSpy received(&successor, &QtLocalPeer::messageReceived);
        QVERIFY(sendFromThread(client, QStringLiteral("again"), 5000));
        QTRY_COMPARE(received.count(), 1);
    }
};

TAVRI_TEST_GUILESS_MAIN(TestQtLocalPeer)
#include "tst_qtlocalpeer.moc"
