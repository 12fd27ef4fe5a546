#include "localpipe.h"

#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
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
    void refusedNames_data();
    void refusedNames();
    void inputFolderIsPrivate();
    void sharedPipesFolderIsNotUsed_data();
    void sharedPipesFolderIsNotUsed();
    void unusableInputFolderIsRefused_data();
    void unusableInputFolderIsRefused();

private:
    // This user's own pipe folder: "<$TMPDIR with links resolved>/ostrel-<uid>/pipes".
    static QString ownPipeFolder()
    {
        return QDir(QDir::tempPath()).canonicalPath() + QStringLiteral("/ostrel-%1/pipes").arg(::geteuid());
    }
    // Puts `kind` at `path`: "foreign" a folder of another user, "link" a
    // link to a folder elsewhere, "file" a plain file.
    static bool plant(const QString &kind, const QString &path);
};

bool TestLocalPipe::plant(const QString &kind, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("foreign")) {
        // Owned by "nobody", as a folder that another user made; needs root,
        // which the test machine has (failing otherwise).
        return QDir().mkpath(path) && ::chown(native.constData(), 65534, 65534) == 0
               && ::chmod(native.constData(), 0700) == 0;
    }
    if (kind == QLatin1String("link")) {
        const QString target = QDir::tempPath() + QStringLiteral("/elsewhere");
        return QDir().mkpath(target) && QFile::link(target, path);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

void TestLocalPipe::sharedPipesFolderIsNotUsed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder of another user") << "foreign";
    QTest::newRow("link") << "link";
    QTest::newRow("file") << "file";
}

void TestLocalPipe::sharedPipesFolderIsNotUsed()
{
    // Whatever another user left as "pipes" in the shared temporary folder,
    // this user's input pipes live in their own folder.
    QFETCH(QString, kind);
    const QString shared = QDir::tempPath() + QStringLiteral("/pipes");
    QVERIFY(plant(kind, shared));
    QLocalServer server;
    QVERIFY(host::LocalPipe::listen(server, QStringLiteral("\\\\.\\pipe\\beside-shared")));
    QCOMPARE(server.fullServerName(), ownPipeFolder() + QStringLiteral("/beside-shared"));
    QLocalSocket client;
    host::LocalPipe::connect(client, host::LocalPipe::inputSocketPath(QStringLiteral("beside-shared")));
    QVERIFY(client.waitForConnected(20000));
    QVERIFY(server.waitForNewConnection(20000));
    server.close();
    QVERIFY(QFile::remove(shared) || QDir(shared).removeRecursively());
    QVERIFY(!QFileInfo(shared).exists() && !QFileInfo(shared).isSymLink());
}

void TestLocalPipe::unusableInputFolderIsRefused_data()
{
    sharedPipesFolderIsNotUsed_data();
}

void TestLocalPipe::unusableInputFolderIsRefused()
{
    // The own pipe folder replaced by something else is refused, never
    // followed, taken over or changed.
    QFETCH(QString, kind);
    const QString folder = host::LocalPipe::inputFolder();
    QCOMPARE(folder, ownPipeFolder());
    QDir(folder).removeRecursively();
    QVERIFY(plant(kind, folder));
    QLocalServer refused;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a private directory"));
    QVERIFY(!host::LocalPipe::listen(refused, QStringLiteral("refused")));
    QVERIFY(!refused.isListening());
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + QStringLiteral("/elsewhere/refused")));
    struct stat info {
    };
    QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    if (kind == QLatin1String("foreign"))
        QCOMPARE(info.st_uid, uid_t(65534));
    QVERIFY(QFile::remove(folder) || QDir(folder).removeRecursively());
}

void TestLocalPipe::socketName_data()
{
    QTest::addColumn<QString>("pipeName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare") << "tavri-in"
                          << "tavri-in";
    QTest::newRow("windows prefix") << "\\\\.\\pipe\\x"
                                    << "x";
    QTest::newRow("prefix in other case, nested") << "\\\\.\\PIPE\\a\\b"
                                                  << "a_b";
    QTest::newRow("slashes") << "a/b\\c"
                             << "a_b_c";
    QTest::newRow("absolute") << "/run/user/1000/app.sock"
                              << "/run/user/1000/app.sock";
    QTest::newRow("prefixed absolute") << "\\\\.\\pipe\\/tmp/app.sock"
                                       << "/tmp/app.sock";
    QTest::newRow("case kept") << "\\\\.\\pipe\\GameOut"
                               << "GameOut";
    QTest::newRow("no traversal") << "..\\..\\etc"
                                  << ".._.._etc";
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
    QCOMPARE(server.fullServerName(), ownPipeFolder() + QStringLiteral("/roundtrip"));

    // A peer reaches the input pipe by its full path; the prefix matches in
    // any case and the name after it is kept as it is.
    QLocalSocket client;
    QVERIFY(
        host::LocalPipe::connect(client, host::LocalPipe::inputSocketPath(QStringLiteral("\\\\.\\PIPE\\roundtrip"))));
    QVERIFY(client.waitForConnected(2000));
    QVERIFY(server.waitForNewConnection(2000));
    QLocalSocket *peer = server.nextPendingConnection();
    QVERIFY(peer);
    client.write("ping");
    QVERIFY(client.waitForBytesWritten(2000));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(4));
    QCOMPARE(peer->readAll(), QByteArray("ping"));
}

void TestLocalPipe::staleSocketFileIsReplaced()
{
    // A socket file bound by a process that went away without unlinking it.
    QDir().mkpath(host::LocalPipe::inputFolder());
    const QString path = host::LocalPipe::inputSocketPath(QStringLiteral("stale-pipe"));
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    QVERIFY(size_t(native.size()) < sizeof(addr.sun_path));
    memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    ::unlink(native.constData());
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));

    QLocalServer server;
    QVERIFY(host::LocalPipe::listen(server, QStringLiteral("\\\\.\\pipe\\stale-pipe")));
    QLocalSocket client;
    host::LocalPipe::connect(client, path);
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
    host::LocalPipe::connect(client, host::LocalPipe::inputSocketPath(QStringLiteral("busy-pipe")));
    QVERIFY(client.waitForConnected(2000));
    QVERIFY(owner.waitForNewConnection(2000));
}

void TestLocalPipe::refusedNames_data()
{
    // The room left for a name once the folder's path is counted.
    const int inputRoom = host::LocalPipe::kMaxSocketPath - int(host::LocalPipe::inputFolder().size()) - 1;
    const int outputRoom = host::LocalPipe::kMaxSocketPath - int(QDir::tempPath().size()) - 1;
    QTest::addColumn<QString>("pipeName");
    QTest::addColumn<bool>("inputRefused");
    QTest::addColumn<bool>("outputRefused");
    QTest::newRow("empty") << "" << true << true;
    QTest::newRow("prefix only") << "\\\\.\\pipe\\" << true << true;
    QTest::newRow("dot dot") << ".." << true << false;
    QTest::newRow("input name at the limit") << QString(inputRoom, QLatin1Char('i')) << false << false;
    QTest::newRow("input name past the limit") << QString(inputRoom + 1, QLatin1Char('i')) << true << false;
    QTest::newRow("output name past the limit") << QString(outputRoom + 1, QLatin1Char('o')) << true << true;
    QTest::newRow("absolute output past the limit")
        << QStringLiteral("/") + QString(host::LocalPipe::kMaxSocketPath, QLatin1Char('a')) << true << true;
    QTest::newRow("multi-byte name counted in bytes") << QString(outputRoom / 2 + 1, QChar(0x00e9)) << true << true;
}

void TestLocalPipe::refusedNames()
{
    QFETCH(QString, pipeName);
    QFETCH(bool, inputRefused);
    QFETCH(bool, outputRefused);
    QCOMPARE(host::LocalPipe::inputSocketPath(pipeName).isEmpty(), inputRefused);
    QCOMPARE(host::LocalPipe::outputSocketPath(pipeName).isEmpty(), outputRefused);

    QLocalServer server;
    if (inputRefused)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing to listen"));
    QCOMPARE(host::LocalPipe::listen(server, pipeName), !inputRefused);
    QLocalSocket socket;
    if (outputRefused)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing to connect"));
    QCOMPARE(host::LocalPipe::connect(socket, pipeName), !outputRefused);
    if (outputRefused)
        QCOMPARE(socket.state(), QLocalSocket::UnconnectedState);
}

void TestLocalPipe::inputFolderIsPrivate()
{
    const QString folder = host::LocalPipe::inputFolder();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                      | QFileDevice::ExeOther);

    // An absolute or nested input name stays a file inside the folder.
    QLocalServer server;
    QVERIFY(host::LocalPipe::listen(server, QStringLiteral("/tmp/../etc/app.sock")));
    QCOMPARE(server.fullServerName(), folder + QStringLiteral("/_tmp_.._etc_app.sock"));
    struct stat info {
    };
    QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
    server.close();

    // A folder that is a link to somewhere else is never used.
    QDir(folder).removeRecursively();
    QDir().mkpath(QDir::tempPath() + QStringLiteral("/elsewhere"));
    QVERIFY(QFile::link(QDir::tempPath() + QStringLiteral("/elsewhere"), folder));
    QLocalServer refused;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a private directory"));
    QVERIFY(!host::LocalPipe::listen(refused, QStringLiteral("linked")));
    QVERIFY(!QFileInfo::exists(QDir::tempPath() + QStringLiteral("/elsewhere/linked")));
    QFile::remove(folder);
}

TAVRI_TEST_GUILESS_MAIN(TestLocalPipe)
#include "tst_localpipe.moc"
