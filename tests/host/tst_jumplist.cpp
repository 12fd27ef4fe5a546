#include "desktopentryfile.h"
#include "jumplist.h"
#include "urlschemeregistration.h"

#include "testenvironment.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>

using host::DesktopEntryFile;
using host::JumpList;
using host::JumpTask;

namespace {

const QString kProgram = QStringLiteral("/opt/Tavri dir/tavri");

QByteArray readEntry()
{
    QFile file(JumpList::desktopEntryPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

JumpTask exitTask()
{
    return {QStringLiteral("Exit Tavri"), QStringLiteral("Tavri will exit."), kProgram, {QStringLiteral("-quit")}};
}

} // namespace

class TestJumpList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void setTasksAddsActionsAndClearRemovesThem();
    void replacingTasksDropsOldActions();
    void refusals_data();
    void refusals();

private:
    void validate();
    QByteArray m_registered;
};

void TestJumpList::init()
{
    QFile::remove(JumpList::desktopEntryPath());
    QVERIFY(host::UrlSchemeRegistration::registerScheme(QStringLiteral("tavri"), QStringLiteral("URL:Tavri Protocol"),
                                                        kProgram, QString()));
    m_registered = readEntry();
    QVERIFY(!m_registered.isEmpty());
}

void TestJumpList::validate()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        return;
    QProcess process;
    process.start(tool, {JumpList::desktopEntryPath()});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY2(process.exitCode() == 0, process.readAll().constData());
}

void TestJumpList::setTasksAddsActionsAndClearRemovesThem()
{
    DesktopEntryFile before(JumpList::desktopEntryPath());
    QVERIFY(before.load());

    QCOMPARE(JumpList::setTasks({exitTask()}), 0);
    DesktopEntryFile entry(JumpList::desktopEntryPath());
    QVERIFY(entry.load());
    const QString main = DesktopEntryFile::mainGroup();
    QCOMPARE(entry.value(main, QStringLiteral("Actions")), QStringLiteral("quit;"));
    QCOMPARE(entry.value(QStringLiteral("Desktop Action quit"), QStringLiteral("Name")), QStringLiteral("Exit Tavri"));
    QCOMPARE(entry.execArgumentsOf(QStringLiteral("Desktop Action quit")),
             (QStringList{kProgram, QStringLiteral("-quit")}));
    QCOMPARE(entry.groups(), (QStringList{main, QStringLiteral("Desktop Action quit")}));
    // The main group keeps its keys and values; only Actions is added.
    for (const QString &key : before.keys(main))
        QCOMPARE(entry.value(main, key), before.value(main, key));
    QCOMPARE(entry.keys(main).size(), before.keys(main).size() + 1);
    validate();

    // Setting the same tasks again leaves the file as it is, and so does a
    // later registration of the link scheme at the next start.
    const QByteArray withTasks = readEntry();
    QCOMPARE(JumpList::setTasks({exitTask()}), 0);
    QCOMPARE(readEntry(), withTasks);
    QVERIFY(host::UrlSchemeRegistration::registerScheme(QStringLiteral("tavri"), QStringLiteral("URL:Tavri Protocol"),
                                                        kProgram, QString()));
    QCOMPARE(readEntry(), withTasks);

    QCOMPARE(JumpList::clear(), 0);
    QCOMPARE(readEntry(), m_registered);
    validate();
}

void TestJumpList::replacingTasksDropsOldActions()
{
    JumpTask second = exitTask();
    second.title = QStringLiteral("Leave all channels");
    second.arguments = QStringList{QStringLiteral("-exitAllChannels")};
    JumpTask sameId = exitTask();
    sameId.title = QStringLiteral("Exit again");
    QCOMPARE(JumpList::setTasks({exitTask(), second, sameId}), 0);
    DesktopEntryFile entry(JumpList::desktopEntryPath());
    QVERIFY(entry.load());
    QCOMPARE(entry.value(DesktopEntryFile::mainGroup(), QStringLiteral("Actions")),
             QStringLiteral("quit;exitAllChannels;quit2;"));
    QCOMPARE(entry.value(QStringLiteral("Desktop Action quit2"), QStringLiteral("Name")), QStringLiteral("Exit again"));
    validate();

    QCOMPARE(JumpList::setTasks({second}), 0);
    QVERIFY(entry.load());
    QCOMPARE(entry.value(DesktopEntryFile::mainGroup(), QStringLiteral("Actions")), QStringLiteral("exitAllChannels;"));
    QVERIFY(!entry.hasGroup(QStringLiteral("Desktop Action quit")));
    QVERIFY(!entry.hasGroup(QStringLiteral("Desktop Action quit2")));

    // An empty list is the same as clearing.
    QCOMPARE(JumpList::setTasks({}), 0);
    QCOMPARE(readEntry(), m_registered);
}

void TestJumpList::refusals_data()
{
    QTest::addColumn<bool>("entryExists");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("error");
    QTest::newRow("no desktop entry") << false << "Exit Tavri" << ENOENT;
    QTest::newRow("task without title") << true << "" << EINVAL;
}

void TestJumpList::refusals()
{
    QFETCH(bool, entryExists);
    QFETCH(QString, title);
    QFETCH(int, error);
    if (!entryExists)
        QVERIFY(QFile::remove(JumpList::desktopEntryPath()));
    JumpTask task = exitTask();
    task.title = title;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("JumpList: "));
    QCOMPARE(JumpList::setTasks({task}), error);
    QCOMPARE(readEntry(), entryExists ? m_registered : QByteArray());
    // Clearing a missing entry has nothing to do.
    if (!entryExists)
        QCOMPARE(JumpList::clear(), 0);
}

TAVRI_TEST_GUILESS_MAIN(TestJumpList)
#include "tst_jumplist.moc"
