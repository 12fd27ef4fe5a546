#include "logcapture.h"
#include "logging.h"
#include "reportassertionfailure.h"
#include "testenvironment.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const char kNotContinuableArgument[] = "--not-continuable-probe";

} // namespace

class TestAssert : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void logsAndReturns_data();
    void logsAndReturns();
    void checkMacroReportsOnlyFailures();
    void notContinuableEndsProcess();
    // Last: it quits the application's event loops.
    void developerBoxShowsOnceAndHolds();

private:
    QList<CapturedLine> records() const { return m_log->lines(); }

    std::unique_ptr<LogCapture> m_log;
};

void TestAssert::init()
{
    qunsetenv("OSTREL_TAVRI_ASSERT");
    m_log = std::make_unique<LogCapture>();
}

void TestAssert::cleanup()
{
    m_log.reset();
}

void TestAssert::logsAndReturns_data()
{
    QTest::addColumn<bool>("setVariable");
    QTest::newRow("variable absent") << false;
    QTest::newRow("variable empty") << true;
}

// Without the developer variable a failure is one critical line at the
// checking code's position, and the call returns at once.
void TestAssert::logsAndReturns()
{
    QFETCH(bool, setVariable);
    if (setVariable)
        qputenv("OSTREL_TAVRI_ASSERT", "");
    QElapsedTimer timer;
    timer.start();
    reportAssertionFailure("m_defaultVadNoiseFloor != 0", "voicemanager.cpp", 2470,
                           "VoiceManager::getDefaultVadNoiseFloor", true);
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(records().size(), 1);
    const CapturedLine record = records().first();
    QCOMPARE(record.type, QtCriticalMsg);
    QCOMPARE(record.message, QStringLiteral("Assertion Failure - 'm_defaultVadNoiseFloor != 0'"));
    QCOMPARE(record.file, QByteArray("voicemanager.cpp"));
    QCOMPARE(record.line, 2470);
    QCOMPARE(record.function, QByteArray("VoiceManager::getDefaultVadNoiseFloor"));

    // In the program's log format the line names the checking code.
    QMessageLogContext context("voicemanager.cpp", 2470, "VoiceManager::getDefaultVadNoiseFloor", "default");
    const QString line = formatLogLine(QtCriticalMsg, context, record.message, QDateTime::currentDateTime());
    QVERIFY2(line.contains(QLatin1String("critical")) && line.contains(QLatin1String("voicemanager.cpp(2470)"))
                 && line.endsWith(record.message),
             qPrintable(line));
}

void TestAssert::checkMacroReportsOnlyFailures()
{
    int index = 3;
    QVERIFY(TAVRI_CHECK(index >= 0));
    QVERIFY(records().isEmpty());
    const int expectedLine = __LINE__ + 1;
    QVERIFY(!TAVRI_CHECK(index < 0));
    const QList<CapturedLine> lines = records();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().message, QStringLiteral("Assertion Failure - 'index < 0'"));
    QCOMPARE(lines.first().file, QByteArray(__FILE__));
    QCOMPARE(lines.first().line, expectedLine);
    QVERIFY(lines.first().function.contains("checkMacroReportsOnlyFailures"));
}

// A failure marked as not continuable never returns to its caller.
void TestAssert::notContinuableEndsProcess()
{
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("OSTREL_TAVRI_ASSERT"));
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kNotContinuableArgument)});
    QVERIFY(probe.waitForFinished(30000));
    const QByteArray output = probe.readAllStandardError() + probe.readAllStandardOutput();
    QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
    QVERIFY2(output.contains("Assertion Failure - 'fatal probe'"), output.constData());
    QVERIFY2(!output.contains("handler returned"), output.constData());
}

// With the developer variable set, the first failure shows the box once and
// then holds; a second failure raised while the first is held shows no box
// and holds as well. Quitting the application releases both, innermost first.
void TestAssert::developerBoxShowsOnceAndHolds()
{
    qputenv("OSTREL_TAVRI_ASSERT", "1");
    QStringList events;
    QStringList boxes;
    QEventLoop mainLoop; // stands for the application's own event loop

    QTimer boxWatcher;
    boxWatcher.setInterval(20);
    connect(&boxWatcher, &QTimer::timeout, this, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible() || box->property("seen").toBool())
                continue;
            box->setProperty("seen", true);
            boxes << box->windowTitle() + QLatin1Char('|') + box->text();
            events << QStringLiteral("box shown");
            // The user dismisses the box; the failing call stays held, so a
            // second failure can arrive from the running event loop.
            QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            QTimer::singleShot(50, this, [&] {
                events << QStringLiteral("second failure");
                reportAssertionFailure("second", "F", 12, "g", true);
                events << QStringLiteral("second returned");
            });
            QTimer::singleShot(300, this, [&] {
                events << QStringLiteral("quit");
                QCoreApplication::quit();
            });
        }
    });
    boxWatcher.start();
    QTimer::singleShot(0, this, [&] {
        events << QStringLiteral("first failure");
        reportAssertionFailure("first", "F", 2470, "f", true);
        events << QStringLiteral("first returned");
    });
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, this, [&] {
        events << QStringLiteral("timed out");
        QCoreApplication::quit();
    });
    safety.start(20000);
    mainLoop.exec();
    boxWatcher.stop();

    QCOMPARE(boxes, QStringList{QStringLiteral("Tavri Fatal Error|F(2470): \nAssertion Failure - 'first'")});
    QCOMPARE(events, QStringList({"first failure", "box shown", "second failure", "quit", "second returned",
                                  "first returned"}));
    int criticalLines = 0;
    for (const CapturedLine &record : records())
        criticalLines += record.type == QtCriticalMsg && record.message.startsWith("Assertion Failure - '");
    QCOMPARE(criticalLines, 2);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kNotContinuableArgument) == 0) {
        reportAssertionFailure("fatal probe", "probe.cpp", 1, "probe", false);
        fprintf(stderr, "handler returned\n");
        return 0;
    }
    tavritest::TestEnvironment testEnvironment;
    QApplication app(argc, argv);
    TestAssert test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_assert.moc"
