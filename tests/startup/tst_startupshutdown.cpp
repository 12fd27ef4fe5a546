// The program as processes: a second start hands its arguments to the first
// and ends, "-quit" ends the first through its orderly shutdown, the crash
// guard markers come in order, the updater starts only when an update list
// waits in the current directory, and termination signals shut down as
// "-quit" does.
#include <QtTest/QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "fakewebservice.h"
#include "testenvironment.h"

namespace {

const int kStartTimeoutMs = 120000;

// One started program with everything it wrote so far.
struct Probe {
    std::unique_ptr<QProcess> process;
    qint64 pid = 0;
    QString output;

    QString read()
    {
        output += QString::fromLocal8Bit(process->readAll());
        return output;
    }
    bool waitFor(const QString &text, int timeoutMs = kStartTimeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!read().contains(text)) {
            if (process->state() == QProcess::NotRunning || timer.elapsed() > timeoutMs)
                return false;
            process->waitForReadyRead(200);
        }
        return true;
    }
    bool finish(int timeoutMs = kStartTimeoutMs)
    {
        const bool finished = process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs);
        read();
        return finished && process->exitStatus() == QProcess::NormalExit;
    }
};

Probe startProbe(const QStringList &arguments, const QString &workingDirectory,
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    Probe probe;
    probe.process = std::make_unique<QProcess>();
    probe.process->setProcessEnvironment(environment);
    probe.process->setProcessChannelMode(QProcess::MergedChannels);
    probe.process->setWorkingDirectory(workingDirectory);
    probe.process->start(QStringLiteral(STARTUP_PROBE), arguments);
    if (probe.process->waitForStarted())
        probe.pid = probe.process->processId();
    return probe;
}

// The markers in the order the probe printed them.
QStringList markers(const QString &output)
{
    QStringList found;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("MARKER ")))
            found.append(line.mid(7).trimmed());
    }
    return found;
}

// An "updater.exe" that writes its argument count and arguments to a file in
// its working directory.
void writeUpdater(const QString &folder)
{
    QFile updater(folder + QStringLiteral("/updater.exe"));
    QVERIFY(updater.open(QIODevice::WriteOnly));
    updater.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > updater-args.txt\n");
    updater.close();
    QVERIFY(updater.setPermissions(updater.permissions() | QFileDevice::ExeOwner));
}

} // namespace

class TestStartupShutdown : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondStartHandsOverAndQuitShutsDown();
    void noUpdateListStartsNothing();
    void exitCodeIsZeroWhateverTheLoopReturns();
    void filesStayPrivateWhateverTheUmask();
    void terminationSignalShutsDownInOrder_data();
    void terminationSignalShutsDownInOrder();

private:
    std::unique_ptr<FakeWebService> m_web;
};

void TestStartupShutdown::initTestCase()
{
    // The programs send their analytics to the fake.
    m_web = std::make_unique<FakeWebService>();
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QVERIFY(QDir().mkpath(dataFolder));
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    QVERIFY(runtime.open(QIODevice::WriteOnly));
    runtime.write("import QtQuick 2.0\nQtObject { property string applicationServer: \"http://"
                  + m_web->host().toLatin1() + "\" }\n");
}

void TestStartupShutdown::secondStartHandsOverAndQuitShutsDown()
{
    QTemporaryDir firstFolder;
    QTemporaryDir otherFolder;
    QVERIFY(firstFolder.isValid() && otherFolder.isValid());
    writeUpdater(firstFolder.path());
    QFile list(firstFolder.filePath(QStringLiteral("upd_versions.xml")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.close();

    Probe first = startProbe({}, firstFolder.path());
    QVERIFY2(first.waitFor(QStringLiteral("Application Initialized in")), qPrintable(first.output));
    QVERIFY(m_web->waitForRequest(QStringLiteral("LogEvent"), 30000));
    // The splash screen is gone before the event loop starts.
    const int splashGone = first.output.indexOf(QLatin1String("TavriSplashScreen::~TavriSplashScreen"));
    QVERIFY2(splashGone >= 0 && splashGone < first.output.indexOf(QLatin1String("Application Initialized in")),
             qPrintable(first.output));

    // The second start forwards its kept arguments and never initializes.
    // Its oversized argument is logged cut, once by each program.
    const QString oversized(100000, QLatin1Char('B'));
    Probe second = startProbe({QStringLiteral("alpha"), QStringLiteral("-qmljsdebugger=port:3768"),
                               QStringLiteral("-svcRID:SECRET:IN:OUT"), QStringLiteral("beta"), QStringLiteral("-svc"),
                               QStringLiteral("RID:SECRET:IN:OUT"), oversized},
                              otherFolder.path());
    QVERIFY2(second.finish(), qPrintable(second.output));
    QCOMPARE(second.process->exitCode(), 0);
    QVERIFY2(second.output.contains(QLatin1String("Another instance of Tavri is running! sending args...")),
             qPrintable(second.output));
    QVERIFY2(!second.output.contains(QLatin1String("Tavri Application Version")), qPrintable(second.output));
    QCOMPARE(markers(second.output),
             (QStringList{QStringLiteral("before_ox_safe_invoke()"), QStringLiteral("after_ox_safe_invoke()")}));
    QVERIFY(second.output.contains(QLatin1String("EXIT 0")));

    const QString handedOver = QStringLiteral("alpha<!>-svcRID:<hidden>:IN:OUT<!>beta");
    QVERIFY2(first.waitFor(QStringLiteral("ProtocolMessageReceived: ")), qPrintable(first.output));
    QVERIFY2(first.waitFor(handedOver), qPrintable(first.output));
    QVERIFY2(second.output.contains(handedOver), qPrintable(second.output));

    // "-quit" from a third start ends the first one in order.
    Probe third = startProbe({QStringLiteral("-quit")}, otherFolder.path());
    QVERIFY2(third.finish(), qPrintable(third.output));
    QCOMPARE(third.process->exitCode(), 0);
    QVERIFY2(first.finish(), qPrintable(first.output));
    QVERIFY2(first.process->exitCode() == 0, qPrintable(first.output.right(900)));
    QVERIFY2(first.output.contains(QLatin1String("~TavriApplication() - end")), qPrintable(first.output));
    QVERIFY(first.output.contains(QLatin1String("EXIT 0")));
    // The orderly shutdown ran once, though the login window was open.
    QCOMPARE(first.output.count(QLatin1String("OnAppExit() - called")), 1);

    const QStringList expectedOrder{QStringLiteral("before_ox_safe_invoke()"), QStringLiteral("Before_app.exec()"),
                                    QStringLiteral("after_app.exec()"), QStringLiteral("exiting_realmain()"),
                                    QStringLiteral("after_ox_safe_invoke()")};
    const QStringList recorded = markers(first.output);
    int at = -1;
    for (const QString &marker : expectedOrder) {
        const int found = recorded.indexOf(marker, at + 1);
        QVERIFY2(found > at,
                 qPrintable(marker + QStringLiteral(" out of order in ") + recorded.join(QLatin1Char(','))));
        at = found;
    }

    // The requester token reached no log line of any of them, and no line
    // carries more than a cut copy of the oversized argument.
    for (const QString &output : {first.output, second.output, third.output}) {
        QVERIFY2(!output.contains(QLatin1String("SECRET")), qPrintable(output));
        QVERIFY(!output.contains(QString(1025, QLatin1Char('B'))));
    }
    const auto linesWithOversized = [](const QString &output) {
        return output.split(QLatin1Char('\n')).filter(QStringLiteral("BBBBBBBB")).size();
    };
    QCOMPARE(linesWithOversized(first.output), 1);
    // Once on its command line and once as the message it sends.
    QCOMPARE(linesWithOversized(second.output), 2);
    QVERIFY(second.output.contains(QLatin1String("... (100000 characters)")));

    // The updater got the first instance's process id as its only argument.
    QVERIFY2(first.output.contains(QLatin1String("starting the updater")), qPrintable(first.output));
    QFile arguments(firstFolder.filePath(QStringLiteral("updater-args.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(arguments.exists() && arguments.size() > 0, 10000);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(arguments.readAll()), QStringLiteral("1\n%1\n").arg(first.pid));
}

void TestStartupShutdown::noUpdateListStartsNothing()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    writeUpdater(folder.path());

    // Headless: no splash and no login window, yet a full start.
    Probe first = startProbe({QStringLiteral("-svc")}, folder.path());
    QVERIFY2(first.waitFor(QStringLiteral("Application Initialized in")), qPrintable(first.output));
    Probe quit = startProbe({QStringLiteral("-quit")}, folder.path());
    QVERIFY2(quit.finish(), qPrintable(quit.output));
    QVERIFY2(first.finish(), qPrintable(first.output));
    QVERIFY2(first.process->exitCode() == 0, qPrintable(first.output.right(900)));
    // The program has ended: it says whether it started the updater.
    QVERIFY2(!first.output.contains(QLatin1String("starting the updater")), qPrintable(first.output));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("updater-args.txt"))));
}

void TestStartupShutdown::exitCodeIsZeroWhateverTheLoopReturns()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("STARTUP_PROBE_LOOP_RESULT"), QStringLiteral("7"));
    Probe probe = startProbe({QStringLiteral("-svc")}, folder.path(), environment);
    QVERIFY2(probe.finish(), qPrintable(probe.output));
    QCOMPARE(probe.process->exitCode(), 0);
    QVERIFY2(probe.output.contains(QLatin1String("EXIT 0")), qPrintable(probe.output));
    QVERIFY(markers(probe.output).contains(QStringLiteral("after_app.exec()")));
}

void TestStartupShutdown::filesStayPrivateWhateverTheUmask()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const mode_t previousUmask = ::umask(022);
    Probe first = startProbe({QStringLiteral("-svc")}, folder.path());
    ::umask(previousUmask);
    QVERIFY2(first.waitFor(QStringLiteral("Application Initialized in")), qPrintable(first.output));
    Probe quit = startProbe({QStringLiteral("-quit")}, folder.path());
    QVERIFY2(quit.finish(), qPrintable(quit.output));
    QVERIFY2(first.finish(), qPrintable(first.output));

    // Everything under the configuration, data and cache folders is the user's alone.
    QStringList roots{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
    int checked = 0;
    while (!roots.isEmpty()) {
        const QString path = roots.takeFirst();
        struct stat status;
        QVERIFY2(::lstat(QFile::encodeName(path).constData(), &status) == 0, qPrintable(path));
        if (S_ISLNK(status.st_mode))
            continue;
        QVERIFY2((status.st_mode & 077) == 0,
                 qPrintable(path + QStringLiteral(" mode %1").arg(status.st_mode & 0777, 0, 8)));
        ++checked;
        if (S_ISDIR(status.st_mode)) {
            for (const QFileInfo &entry :
                 QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
                roots.append(entry.filePath());
        }
    }
    // The settings file and its folder, the data and chat-log folders at least.
    QVERIFY2(checked >= 7, qPrintable(QString::number(checked)));
}

void TestStartupShutdown::terminationSignalShutsDownInOrder_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestStartupShutdown::terminationSignalShutsDownInOrder()
{
    QFETCH(int, signalNumber);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // The single-instance socket and its lock, as the running program names them.
    const QString socket = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                           + QStringLiteral("/Ostrel_tavri-%1").arg(::getuid());
    const QString lock = socket + QStringLiteral(".lock");

    Probe probe = startProbe({QStringLiteral("-svc")}, folder.path());
    QVERIFY2(probe.waitFor(QStringLiteral("Application Initialized in")), qPrintable(probe.output));
    QVERIFY(QFile::exists(socket) && QFile::exists(lock));

    QCOMPARE(::kill(pid_t(probe.pid), signalNumber), 0);
    QVERIFY2(probe.finish(), qPrintable(probe.output));
    QCOMPARE(probe.process->exitCode(), 0);
    for (const char *line :
         {"Received", "OnAppExit() - called", "Shutting down", "~TavriApplication() - end", "EXIT 0"})
        QVERIFY2(probe.output.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral(" missing in ") + probe.output));
    QVERIFY(markers(probe.output).contains(QStringLiteral("after_app.exec()")));
    QVERIFY(!QFile::exists(socket));
    QVERIFY(!QFile::exists(lock));
}

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestStartupShutdown test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startupshutdown.moc"
