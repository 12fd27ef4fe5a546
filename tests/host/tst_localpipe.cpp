#include "localpipe.h"

#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestLocalPipe : public QObject
{
    Q_OBJECT

private slots:
    void socketName_data();
    void socketName();
    void listenAndConnect();
    void staleSocketFileIsReplaced();
    void liveServerIsNotDisplaced();
    void emptyNameIsRefused();
};

void TestLocalPipe::socketName_data()
{
    QTest::addColumn<QString>("pipeName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare") << "tavri-in" << "tavri-in";
    QTest::newRow("windows prefix") << "\\\\.\\pipe\\x" << "x";
    QTest::newRow("prefix in other case, nested") << "\\\\.\\PIPE\\a\\b" << "a_b";
    QTest::newRow("slashes") << "a/b\\c" << "a_b_c";
    QTest::newRow("absolute") << "/run/user/1000/app.sock" << "/run/user/1000/app.sock";
    QTest::newRow("prefixed absolute") << "\\\\.\\pipe\\/tmp/app.sock" << "/tmp/app.sock";
    QTest::newRow("case kept") << "\\\\.\\pipe\\GameOut" << "GameOut";
    QTest::newRow("no traversal") << "..\\..\\etc" << ".._.._etc";
}

void TestLocalPipe::socketName()
{
    QFETCH(QString, pipeName);
    QFETCH(QString, expected);
    QCOMPARE(host::LocalPipe::socketName(pipeName), expected);
}

void TestLocalPipe::listenAndConnect()
{
    QLocalServer server;
    QVERIFY(host::LocalPipe::listen(server, QStringLiteral("\\\\.\\pipe\\roundtrip")));
    QCOMPARE(QFileInfo(server.fullServerName()).absolutePath(), QDir::tempPath());

    // The prefix matches in any case; the name after it is kept as it is.
    QLocalSocket client;
    host::LocalPipe::connect(client, QStringLiteral("\\\\.\\PIPE\\roundtrip"));
    QVERIFY(client.waitForConnected(2000));
    QVERIFY(server.waitForNewConnection(2000));
    QLocalSocket* peer = server.nextPendingConnection();
    QVERIFY(peer);
    client.write("ping");
    QVERIFY(client.waitForBytesWritten(2000));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(4));
    QCOMPARE(peer->readAll(), QByteArray("ping"));
}

void TestLocalPipe::staleSocketFileIsReplaced()
{
    // A socket file bound by a process that went away without unlinking it.
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("stale-pipe"));
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    QVERIFY(size_t(native.size()) < sizeof(addr.sun_path));
    memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    ::unlink(native.constData());
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));

    QLocalServer server;
    QVERIFY(host::LocalPipe::listen(server, QStringLiteral("\\\\.\\pipe\\stale-pipe")));
    QLocalSocket client;
    host::LocalPipe::connect(client, QStringLiteral("stale-pipe"));
    QVERIFY(client.waitForConnected(2000));
}

void TestLocalPipe::liveServerIsNotDisplaced()
{
    QLocalServer owner;
    QVERIFY(host::LocalPipe::listen(owner, QStringLiteral("busy-pipe")));

    QLocalServer intruder;
    QVERIFY(!host::LocalPipe::listen(intruder, QStringLiteral("\\\\.\\pipe\\busy-pipe")));
    QVERIFY(!intruder.isListening());

    // The owner still accepts connections.
    QLocalSocket client;
    host::LocalPipe::connect(client, QStringLiteral("busy-pipe"));
    QVERIFY(client.waitForConnected(2000));
    QVERIFY(owner.waitForNewConnection(2000));
}

void TestLocalPipe::emptyNameIsRefused()
{
    QLocalServer server;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("empty pipe name"));
    QVERIFY(!host::LocalPipe::listen(server, QStringLiteral("\\\\.\\pipe\\")));
}

TAVRI_TEST_GUILESS_MAIN(TestLocalPipe)
#include "tst_localpipe.moc"
