#include "testenvironment.h"
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "logging.h"

namespace {

QStringList g_forwarded;
QStringList g_qmlReports;

void captureHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_forwarded << message;
}

void captureQmlWarning(const QString &message)
{
    g_qmlReports << message;
}

QMessageLogContext context(const char *file, int line, const char *category = "default")
{
    return QMessageLogContext(file, line, "function", category);
}

// Sends standard output and error to a file while alive and returns what
// they received.
class ConsoleCapture
{
public:
    explicit ConsoleCapture(int fd)
        : m_fd(fd)
    {
        std::fflush(nullptr);
        m_saved = ::dup(fd);
        m_file.open();
        ::dup2(m_file.handle(), fd);
    }
    ~ConsoleCapture() { restore(); }
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(nullptr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
        m_saved = -1;
    }
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};

const QRegularExpression kLinePattern(QStringLiteral(
    R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}: [^:]*: (debug   |warning |critical|fatal   |unknown ): .{30,}: .*$)"));

} // namespace

class tst_Logging : public QObject
{
    Q_OBJECT

private:
    QString m_logFolder;

    QStringList logFiles() const
    {
        return QDir(m_logFolder).entryList({QStringLiteral("tavri-*.txt")}, QDir::Files, QDir::Name);
    }

    static QStringList readLines(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // The log file in use, started by a first line if this test function
    // runs alone.
    static QString startedLogFile()
    {
        ConsoleCapture quiet(STDOUT_FILENO);
        qDebug("a line that starts the log file");
        return currentLogFilePath();
    }

    // A new log file, filled up to `headroom` bytes below the rotation limit
    // `limit`: the file in use is first filled past the limit and left.
    static QString logFileWithHeadroom(qint64 limit, qint64 headroom)
    {
        ConsoleCapture quiet(STDERR_FILENO);
        const QMessageLogContext ctx = context(nullptr, 0);
        const int overhead = formatLogLine(QtWarningMsg, ctx, QString(), QDateTime::currentDateTime()).size() + 1;
        const QString full = startedLogFile();
        logMessageHandler(QtWarningMsg, ctx,
                          QString(int(qMax<qint64>(1, limit - QFileInfo(full).size() + 1)), QLatin1Char('z')));
        const QString path = startedLogFile();
        if (path == full)
            return QString();
        logMessageHandler(QtWarningMsg, ctx,
                          QString(int(limit - headroom - QFileInfo(path).size() - overhead), QLatin1Char('z')));
        return QFileInfo(path).size() == limit - headroom ? path : QString();
    }

private slots:
    void initTestCase()
    {
        m_logFolder = sdkLogDirectory();
        QVERIFY(!m_logFolder.isEmpty());
        QVERIFY(m_logFolder.endsWith(QLatin1String("/OstrelLogs")));
        QDir(m_logFolder).removeRecursively();
        QVERIFY(QDir(m_logFolder).exists() || QDir().mkpath(m_logFolder));

        // Level 0 installs nothing: messages still reach the handler that was
        // there before, and no log file appears.
        qInstallMessageHandler(captureHandler);
        QVERIFY(!installLogMessageHandler(0));
        qDebug("not logged to a file");
        QCOMPARE(g_forwarded, QStringList{QStringLiteral("not logged to a file")});
        QVERIFY(logFiles().isEmpty());
        g_forwarded.clear();

        QVERIFY(installLogMessageHandler(3));
        QVERIFY(installLogMessageHandler(3)); // a second install keeps the real predecessor
        setQmlWarningReporter(captureQmlWarning);
    }

    void lineFormat_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected");

        const QString stamp = QStringLiteral("2016-03-01 14:05:09.123: default: ");
        QTest::newRow("with location") << int(QtDebugMsg) << QByteArray("D:/src/app/localuser.cpp") << 212
                                       << stamp + "debug   : localuser.cpp(212)            : Logging started";
        QTest::newRow("without location")
            << int(QtDebugMsg) << QByteArray() << 0 << stamp + "debug   : " + QString(30, ' ') + ": Logging started";
        QTest::newRow("line 0") << int(QtWarningMsg) << QByteArray("/src/localuser.cpp") << 0
                                << stamp + "warning : localuser.cpp                 : Logging started";
        QTest::newRow("backslashes") << int(QtCriticalMsg) << QByteArray("C:\\src\\a.cpp") << 7
                                     << stamp + "critical: a.cpp(7)" + QString(22, ' ') + ": Logging started";
        QTest::newRow("long location kept whole")
            << int(QtFatalMsg) << QByteArray("/x/abcdefghijklmnopqrstuvwxyz0123456789.cpp") << 1
            << stamp + "fatal   : abcdefghijklmnopqrstuvwxyz0123456789.cpp(1): Logging started";
        QTest::newRow("info is unknown") << int(QtInfoMsg) << QByteArray() << 0
                                         << stamp + "unknown : " + QString(30, ' ') + ": Logging started";
    }

    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QFETCH(QString, expected);
        const QDateTime when(QDate(2016, 3, 1), QTime(14, 5, 9, 123));
        const QMessageLogContext ctx = context(file.isEmpty() ? nullptr : file.constData(), line);
        QCOMPARE(formatLogLine(QtMsgType(type), ctx, QStringLiteral("Logging started"), when), expected);
    }

    void writesFileAndConsole()
    {
        ConsoleCapture out(STDOUT_FILENO);
        ConsoleCapture err(STDERR_FILENO);
        logMessageHandler(QtDebugMsg, context("/a/localuser.cpp", 212), QStringLiteral("Logging started"));
        logMessageHandler(QtWarningMsg, context("/a/b.cpp", 3), QStringLiteral("plain warning"));
        QCOMPARE(out.text(), QByteArray("Logging started\n"));
        QCOMPARE(err.text(), QByteArray("plain warning\n"));

        const QString path = currentLogFilePath();
        QVERIFY(path.startsWith(m_logFolder + "/tavri-"));
        const QStringList lines = readLines(path);
        QVERIFY(lines.size() >= 2);
        QVERIFY(lines.at(lines.size() - 2)
                    .endsWith(QStringLiteral(": default: debug   : localuser.cpp(212)            : Logging started")));
        QVERIFY(lines.last().endsWith(QStringLiteral(": plain warning")));
        QVERIFY(g_forwarded.isEmpty());
    }

    // The console copy is in the local encoding, the file's line in UTF-8,
    // whichever the local encoding is.
    void consoleTakesTheLocalEncoding_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::newRow("UTF-8") << QByteArray("UTF-8");
        QTest::newRow("Latin-1") << QByteArray("ISO-8859-1");
    }

    void consoleTakesTheLocalEncoding()
    {
        QFETCH(QByteArray, codec);
        QTextCodec *const saved = QTextCodec::codecForLocale();
        QTextCodec *const local = QTextCodec::codecForName(codec);
        QVERIFY(local);
        const QString message = QString::fromUtf8("Gr\u00fc\u00dfe \u20ac");
        QByteArray console;
        {
            ConsoleCapture out(STDOUT_FILENO);
            QTextCodec::setCodecForLocale(local);
            logMessageHandler(QtDebugMsg, context("/a/enc.cpp", 5), message);
            QTextCodec::setCodecForLocale(saved);
            console = out.text();
        }
        QCOMPARE(console, local->fromUnicode(message) + '\n');
        QVERIFY(readLines(currentLogFilePath())
                    .last()
                    .endsWith(QStringLiteral("enc.cpp(5)") + QString(20, ' ') + QStringLiteral(": ") + message));
    }

    void forwardsErrorLikeMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("forwarded");
        QTest::newRow("Fail") << "connect Failed" << true;
        QTest::newRow("Error: ") << "Error: nothing" << true;
        QTest::newRow("assertion") << "Assertion Failure - 'x'" << true;
        QTest::newRow("lower-case") << "failure and error: x" << false;
        QTest::newRow("Error without blank") << "Error:x" << false;
    }

    void forwardsErrorLikeMessages()
    {
        QFETCH(QString, message);
        QFETCH(bool, forwarded);
        g_forwarded.clear();
        logMessageHandler(QtDebugMsg, context("/a/b.cpp", 9), message);
        QCOMPARE(g_forwarded.size(), forwarded ? 1 : 0);
        if (forwarded) {
            const QRegularExpression condensed(
                QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} b\.cpp\(9\) {22}  )")
                + QRegularExpression::escape(message) + "$");
            QVERIFY2(condensed.match(g_forwarded.first()).hasMatch(), qPrintable(g_forwarded.first()));
        }
    }

    void reportsQmlWarnings_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reported");
        QTest::newRow("script error") << int(QtWarningMsg) << "qrc:/QML/qml/tavri/Main.qml:3: ReferenceError" << true;
        QTest::newRow("image download") << int(QtWarningMsg) << "qrc:/a.qml:1: QML Image: Error downloading x" << false;
        QTest::newRow("image timeout") << int(QtWarningMsg) << "qrc:/a.qml:1: QML Image: Connection timed out" << false;
        QTest::newRow("image closed") << int(QtWarningMsg) << "qrc:/a.qml:1: QML Image: Connection closed" << false;
        QTest::newRow("not ours") << int(QtWarningMsg) << "file:///a.qml:1: error" << false;
        QTest::newRow("debug") << int(QtDebugMsg) << "qrc:/a.qml:1: debug" << false;
    }

    void reportsQmlWarnings()
    {
        QFETCH(int, type);
        QFETCH(QString, message);
        QFETCH(bool, reported);
        g_qmlReports.clear();
        logMessageHandler(QtMsgType(type), context(nullptr, 0), message);
        QCOMPARE(g_qmlReports, reported ? QStringList{message} : QStringList{});
    }

    void oddMessagesAreWrittenWhole()
    {
        QString odd = QStringLiteral("bytes \x01\x7f tab\t percent %s %n ");
        odd += QString(QChar(0x20ac)) + QString(70000, QLatin1Char('y'));
        const QByteArray longPath = QByteArray(500, 'p') + "/" + QByteArray(300, 'q') + ".cpp";
        ConsoleCapture quiet(STDOUT_FILENO);
        logMessageHandler(QtDebugMsg, context(longPath.constData(), 1), odd);
        const QStringList lines = readLines(currentLogFilePath());
        QVERIFY(lines.last().endsWith(QString(300, 'q') + ".cpp(1): " + odd));
    }

    void rotatesPastTheLimitAndPrunes()
    {
        const QString first = startedLogFile();
        QVERIFY(!first.isEmpty());

        // Old and young files of the SDK and the program; only old ones matching
        // the two patterns go when the next file is started.
        const QDateTime old = QDateTime::currentDateTime().addDays(-4);
        const QStringList names = {"tavri-2000-01-01--00-00-00.txt", "ox-old.txt", "ox-young.txt", "other-old.txt"};
        for (const QString &name : names) {
            QFile file(m_logFolder + "/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (name != QLatin1String("ox-young.txt"))
                QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }

        // Fill the file to exactly the limit, 10 MiB: it is kept.
        constexpr qint64 kTenMiB = 10 * 1024 * 1024;
        const QMessageLogContext ctx = context(nullptr, 0);
        const int overhead = formatLogLine(QtWarningMsg, ctx, QString(), QDateTime::currentDateTime()).size() + 1;
        const qint64 fill = kTenMiB - QFileInfo(first).size() - overhead;
        QVERIFY(fill > 0);
        ConsoleCapture quiet(STDERR_FILENO);
        logMessageHandler(QtWarningMsg, ctx, QString(int(fill), QLatin1Char('z')));
        QCOMPARE(QFileInfo(first).size(), kTenMiB);
        logMessageHandler(QtWarningMsg, ctx, QStringLiteral("still the same file"));
        QCOMPARE(currentLogFilePath(), first);
        QVERIFY(QFileInfo::exists(m_logFolder + "/tavri-2000-01-01--00-00-00.txt"));

        // It has grown past the limit: the next message starts a new file,
        // without touching the full one, and prunes the folder.
        logMessageHandler(QtWarningMsg, ctx, QStringLiteral("in a new file"));
        const QString second = currentLogFilePath();
        QVERIFY(second != first);
        QVERIFY(QFileInfo(first).size() > kTenMiB);
        QCOMPARE(readLines(second).size(), 1);
        QVERIFY(readLines(second).first().endsWith(QLatin1String(": in a new file")));
        QVERIFY(!QFileInfo::exists(m_logFolder + "/tavri-2000-01-01--00-00-00.txt"));
        QVERIFY(!QFileInfo::exists(m_logFolder + "/ox-old.txt"));
        QVERIFY(QFileInfo::exists(m_logFolder + "/ox-young.txt"));
        QVERIFY(QFileInfo::exists(m_logFolder + "/other-old.txt"));
    }

    void threadsWriteWholeLines_data()
    {
        // How far below the rotation limit the file is when the threads
        // start: far enough never to reach it, or close enough that they
        // cross it together.
        QTest::addColumn<qint64>("headroom");
        QTest::addColumn<int>("files");
        QTest::newRow("one file") << qint64(-1) << 1;
        QTest::newRow("across a rotation") << qint64(256 * 1024) << 2;
    }

    void threadsWriteWholeLines()
    {
        QFETCH(qint64, headroom);
        QFETCH(int, files);
        constexpr qint64 kTenMiB = 10 * 1024 * 1024;
        const QString start = headroom >= 0 ? logFileWithHeadroom(kTenMiB, headroom) : startedLogFile();
        QVERIFY(!start.isEmpty());
        const QStringList before = logFiles();
        constexpr int kThreads = 8;
        constexpr int kLines = 10000;
        ConsoleCapture quiet(STDOUT_FILENO);
        QVector<QThread *> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < kLines; ++i)
                    qDebug("thread %d line %d", t, i);
            });
            threads.last()->start();
        }
        for (QThread *thread : threads) {
            QVERIFY(thread->wait(120000));
            delete thread;
        }

        QVector<int> next(kThreads, 0);
        const QRegularExpression payload(QStringLiteral(": thread (\\d) line (\\d+)$"));
        // The file in use, then the ones the threads started.
        QStringList written{QFileInfo(start).fileName()};
        for (const QString &name : logFiles())
            if (!before.contains(name))
                written << name;
        QCOMPARE(written.size(), files);
        for (int f = 0; f < written.size(); ++f) {
            const QStringList lines = readLines(m_logFolder + "/" + written.at(f));
            // A full file was left once it held more than the limit, so by
            // no more than one line.
            if (f + 1 < written.size()) {
                const qint64 size = QFileInfo(m_logFolder + "/" + written.at(f)).size();
                QVERIFY2(size > kTenMiB && size <= kTenMiB + 200, qPrintable(QString::number(size)));
            }
            for (const QString &line : lines) {
                const auto match = payload.match(line);
                if (!match.hasMatch())
                    continue;
                QVERIFY2(kLinePattern.match(line).hasMatch(), qPrintable(line.left(200)));
                const int t = match.captured(1).toInt();
                QCOMPARE(match.captured(2).toInt(), next[t]);
                ++next[t];
            }
        }
        QCOMPARE(next, QVector<int>(kThreads, kLines));
    }

    // Lines logged while a process ends, after the logging thread's own
    // state is gone (from a static destructor, from thread-local destructors,
    // from a thread let go after main has returned), come out whole on the
    // console and in the file, and the process ends normally.
    void logsUntilTheProcessEnds()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(LOGEXITPROBE_PATH), QStringList());
        QVERIFY2(probe.waitForFinished(60000), "the probe did not end within a minute");
        const QString errors = QString::fromLocal8Bit(probe.readAllStandardError());
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QVERIFY2(probe.exitCode() == 0, qPrintable(errors));
        const QStringList console =
            QString::fromUtf8(probe.readAllStandardOutput() + errors.toUtf8()).split('\n', Qt::SkipEmptyParts);
        const QStringList expected{QStringLiteral("main"),
                                   QStringLiteral("worker started"),
                                   QStringLiteral("destroyed: main thread-local"),
                                   QStringLiteral("static destructor"),
                                   QStringLiteral("worker after main"),
                                   QStringLiteral("destroyed: worker thread-local"),
                                   QStringLiteral("static destructor after the worker")};
        for (const QString &line : expected)
            QVERIFY2(console.contains(line),
                     qPrintable(line + QStringLiteral(" missing from:\n") + console.join('\n')));

        const QDir logs(temporary.path() + QStringLiteral("/ostrel-") + QString::number(::geteuid())
                        + QStringLiteral("/OstrelLogs"));
        const QStringList files = logs.entryList({QStringLiteral("tavri-*.txt")}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile file(logs.filePath(files.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        for (const QString &line : lines)
            QVERIFY2(kLinePattern.match(line).hasMatch(), qPrintable(line.left(200)));
        for (const QString &text : expected) {
            const bool found = std::any_of(lines.cbegin(), lines.cend(), [&text](const QString &line) {
                return line.endsWith(QStringLiteral(": ") + text);
            });
            QVERIFY2(found, qPrintable(text));
        }
    }

    void chatLogFolder()
    {
        const QString folder = setupChatLogFolder();
        QVERIFY(!folder.isEmpty());
        QVERIFY(folder.endsWith(QLatin1String("/logs")));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(setupChatLogFolder(), folder); // found again, not created twice
    }
};

TAVRI_TEST_GUILESS_MAIN(tst_Logging)
#include "tst_logging.moc"
