// The user's files stay private: new files and folders are owner-only whatever
// the umask, wider modes found are narrowed, links are never followed.
#include "logcapture.h"
#include "privatefiles.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

bool makeFile(const QString &path, int mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1 && ::chmod(QFile::encodeName(path), mode) == 0;
}

bool makeFolder(const QString &path, int mode)
{
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path), mode) == 0;
}

} // namespace

class TestPrivateFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void narrow_data();
    void narrow();
    void linksAreNeverFollowed();
    void treeIsNarrowedWithoutLeavingIt();
    void storageNarrowsWhatItOpensAndCreatesPrivately();
    void databaseThatIsALinkIsNotOpened();
    void settingsLinkOutOfHomeBecomesAPrivateCopy();
};

void TestPrivateFiles::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
}

void TestPrivateFiles::narrow_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("file 0644") << false << 0644 << 0600;
    QTest::newRow("file 0666") << false << 0666 << 0600;
    QTest::newRow("file 0440, owner bits kept") << false << 0440 << 0400;
    QTest::newRow("file 0600 untouched") << false << 0600 << 0600;
    QTest::newRow("folder 0755") << true << 0755 << 0700;
    QTest::newRow("folder 0700 untouched") << true << 0700 << 0700;
}

void TestPrivateFiles::narrow()
{
    QFETCH(bool, folder);
    QFETCH(int, before);
    QFETCH(int, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("entry"));
    QVERIFY(folder ? makeFolder(path, before) : makeFile(path, before));
    QVERIFY(PrivateFiles::narrow(path));
    QCOMPARE(modeOf(path), after);
    // A path that does not exist is private enough.
    QVERIFY(PrivateFiles::narrow(dir.filePath(QStringLiteral("missing"))));
}

void TestPrivateFiles::linksAreNeverFollowed()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QString link = dir.filePath(QStringLiteral("link"));
    QVERIFY(makeFile(target, 0644));
    QVERIFY(QFile::link(target, link));
    LogCapture log;
    QVERIFY(!PrivateFiles::narrow(link));
    QVERIFY(!PrivateFiles::narrow(link));
    QCOMPARE(modeOf(target), 0644);
    QCOMPARE(log.matching(QStringLiteral("is a link")).size(), 1);
}

void TestPrivateFiles::treeIsNarrowedWithoutLeavingIt()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("root"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    QVERIFY(makeFolder(root + QStringLiteral("/logs/2026"), 0755));
    QVERIFY(makeFolder(root + QStringLiteral("/logs"), 0755));
    QVERIFY(makeFolder(root, 0755));
    QVERIFY(makeFile(root + QStringLiteral("/logs/2026/chat.txt"), 0644));
    QVERIFY(makeFile(root + QStringLiteral("/.hidden"), 0664));
    QVERIFY(makeFolder(outside, 0755));
    QVERIFY(makeFile(outside + QStringLiteral("/theirs.txt"), 0644));
    QVERIFY(QFile::link(outside, root + QStringLiteral("/logs/away")));

    PrivateFiles::narrowTree(root);
    for (const QString &folder : {QString(), QStringLiteral("/logs"), QStringLiteral("/logs/2026")})
        QCOMPARE(modeOf(root + folder), 0700);
    QCOMPARE(modeOf(root + QStringLiteral("/logs/2026/chat.txt")), 0600);
    QCOMPARE(modeOf(root + QStringLiteral("/.hidden")), 0600);
    QCOMPARE(modeOf(outside), 0755);
    QCOMPARE(modeOf(outside + QStringLiteral("/theirs.txt")), 0644);
}

void TestPrivateFiles::storageNarrowsWhatItOpensAndCreatesPrivately()
{
    const mode_t previousUmask = ::umask(022);
    // Left behind with wide modes: the settings file and its folder, a database.
    QSettings().setValue(QStringLiteral("username"), QStringLiteral("alice@example.test"));
    QSettings().sync();
    const QString settingsFile = QSettings().fileName();
    QVERIFY(::chmod(QFile::encodeName(settingsFile), 0644) == 0);
    QVERIFY(::chmod(QFile::encodeName(QFileInfo(settingsFile).path()), 0755) == 0);
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(makeFolder(dataFolder, 0755));
    const QString oldDatabase = dataFolder + QStringLiteral("/Data-old.dat");
    QVERIFY(makeFile(oldDatabase, 0644));
    QVERIFY(QFile::resize(oldDatabase, 0));

    {
        StorageManager storage;
        QCOMPARE(modeOf(settingsFile), 0600);
        QCOMPARE(modeOf(QFileInfo(settingsFile).path()), 0700);
        QCOMPARE(modeOf(dataFolder), 0700);
        QCOMPARE(modeOf(oldDatabase), 0600);
        // Nothing else about them changed.
        QCOMPARE(QSettings().value(QStringLiteral("username")).toString(), QStringLiteral("alice@example.test"));

        // Created now, under umask 022: owner-only all the same.
        QVERIFY(storage.openDatabase(QStringLiteral("sip:new@dom")));
        QCOMPARE(modeOf(storage.databaseFilePath(QStringLiteral("sip:new@dom"))), 0600);
        QVERIFY(QDir().mkpath(dataFolder + QStringLiteral("/pictures")));
        QCOMPARE(modeOf(dataFolder + QStringLiteral("/pictures")), 0700);

        // A database left at 0644 is narrowed when opened.
        const QString reopened = storage.databaseFilePath(QStringLiteral("sip:old@dom"));
        QVERIFY(makeFile(reopened, 0644));
        QVERIFY(QFile::resize(reopened, 0));
        QVERIFY(storage.openDatabase(QStringLiteral("sip:old@dom")));
        QCOMPARE(modeOf(reopened), 0600);
    }
    ::umask(previousUmask);
}

void TestPrivateFiles::databaseThatIsALinkIsNotOpened()
{
    StorageManager storage;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target.dat"));
    QVERIFY(makeFile(target, 0644));
    const QString path = storage.databaseFilePath(QStringLiteral("sip:linked@dom"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::link(target, path));
    LogCapture log;
    QVERIFY(!storage.openDatabase(QStringLiteral("sip:linked@dom")));
    QCOMPARE(modeOf(target), 0644);
    QCOMPARE(QFileInfo(target).size(), qint64(1));
    QCOMPARE(log.matching(QStringLiteral("is a link")).size(), 1);
}

void TestPrivateFiles::settingsLinkOutOfHomeBecomesAPrivateCopy()
{
    QTemporaryDir elsewhere; // in the temporary folder, outside the home folder
    const QString target = elsewhere.filePath(QStringLiteral("Tavri.conf"));
    const QString settingsFile = QSettings().fileName();
    QFile::remove(settingsFile);
    {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nusername=alice@example.test\n");
    }
    QVERIFY(::chmod(QFile::encodeName(target), 0644) == 0);
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile).path()));
    QVERIFY(QFile::link(target, settingsFile));

    LogCapture log;
    {
        StorageManager storage;
        QCOMPARE(storage.getUsername(), QStringLiteral("alice@example.test"));
        storage.setUsername(QStringLiteral("bob@example.test"));
        QCOMPARE(QSettings().value(QStringLiteral("username")).toString(), QStringLiteral("bob@example.test"));
    }
    QVERIFY(!QFileInfo(settingsFile).isSymLink());
    QCOMPARE(modeOf(settingsFile), 0600);
    // The file pointed to is neither written nor narrowed.
    QFile original(target);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QVERIFY(original.readAll().contains("alice@example.test"));
    QCOMPARE(modeOf(target), 0644);
    QCOMPARE(log.matching(QStringLiteral("private copy")).size(), 1);
}

TAVRI_TEST_GUILESS_MAIN(TestPrivateFiles)
#include "tst_privatefiles.moc"
