#include <QtTest>

#include "logging.h"

// Cost of one log line: formatting alone, and the full handler with its
// flushed file write (warnings, whose console copy goes to /dev/null).
class bench_Logging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(freopen("/dev/null", "w", stderr));
        QVERIFY(installLogMessageHandler(3));
    }

    void formatLine()
    {
        const QMessageLogContext context("/src/app/localuser.cpp", 212, "f", "default");
        const QDateTime now = QDateTime::currentDateTime();
        QBENCHMARK
        {
            formatLogLine(QtDebugMsg, context, QStringLiteral("Logging started"), now);
        }
    }

    void logLine()
    {
        const QMessageLogContext context("/src/app/localuser.cpp", 212, "f", "default");
        QBENCHMARK
        {
            logMessageHandler(QtWarningMsg, context,
                              QStringLiteral("a typical line of about sixty characters of text"));
        }
    }
};

QTEST_GUILESS_MAIN(bench_Logging)
#include "bench_logging.moc"
