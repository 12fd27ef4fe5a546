// The previous run's log added to the newest crash report: the gzip member,
// the choice of files, and the cases in which nothing may change.

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <cstdio>

#include "../shell/shellfixture.h"
#include "crashlogattachment.h"
#include "logging.h"
#include "ostrelsdk_control.h"

class TestCrashLogAttachment : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void gzipOfEmptyInput();
    void crc32CheckValue();
    void gzipDecodesWithStandardTool_data();
    void gzipDecodesWithStandardTool();
    void attachesNewestEarlierLog();
    void sameSecondLogsKeepTheirOrder();
    void secondStartLeavesReportAlone();
    void nothingToAttach_data();
    void nothingToAttach();
    void malformedReportUnchanged_data();
    void malformedReportUnchanged();
    void staleNewFileIsNotWrittenThrough();
    void startUpWithoutCrashReadsNothing();
    void startUpAfterCrash();

private:
    QString writeFile(const QString &path, const QByteArray &content, int ageSecs);
    // The decoded attachment of the report at path; empty when it has none.
    QByteArray attachmentOf(const QString &path, int *count = nullptr);
    QString gunzip(const QByteArray &member);
    bool logged(const LogCapture &capture, const QString &text) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_logs;
    QString m_dumps;
    QDateTime m_now;
};

namespace {
const QByteArray kReport = "<CrashMetaData>\n <Time>1765300000</Time>\n</CrashMetaData>\n";
}

void TestCrashLogAttachment::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_logs = m_dir->filePath(QStringLiteral("logs"));
    m_dumps = m_dir->filePath(QStringLiteral("dumps"));
    QVERIFY(QDir().mkpath(m_logs));
    QVERIFY(QDir().mkpath(m_dumps));
    m_now = QDateTime::currentDateTime();
}

QString TestCrashLogAttachment::writeFile(const QString &path, const QByteArray &content, int ageSecs)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    // Written out first, so that closing does not touch the time again.
    if (!file.flush() || !file.setFileTime(m_now.addSecs(-ageSecs), QFileDevice::FileModificationTime))
        return QString();
    file.close();
    return path;
}

QByteArray TestCrashLogAttachment::attachmentOf(const QString &path, int *count)
{
    QFile file(path);
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        return QByteArray();
    const QDomNodeList found = document.documentElement().elementsByTagName(QStringLiteral("ApplicationLog"));
    if (count)
        *count = found.size();
    if (found.isEmpty())
        return QByteArray();
    return QByteArray::fromBase64(found.at(0).toElement().text().toLatin1());
}

// The member through the system's own gzip, as anyone reading a report would.
QString TestCrashLogAttachment::gunzip(const QByteArray &member)
{
    const QString path = m_dir->filePath(QStringLiteral("member.gz"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("<cannot write>");
    file.write(member);
    file.close();
    QProcess zcat;
    zcat.start(QStringLiteral("zcat"), {path});
    if (!zcat.waitForFinished(60000) || zcat.exitCode() != 0)
        return QStringLiteral("<zcat failed: %1>").arg(QString::fromLocal8Bit(zcat.readAllStandardError()));
    return QString::fromLatin1(zcat.readAllStandardOutput().toHex());
}

bool TestCrashLogAttachment::logged(const LogCapture &capture, const QString &text) const
{
    QStringList all;
    for (const CapturedLine &line : capture.lines()) {
        if (line.message.contains(text))
            return true;
        all.append(line.message);
    }
    std::fprintf(stderr, "Not logged: %s\nLogged:\n%s\n", qPrintable(text), qPrintable(all.join(QLatin1Char('\n'))));
    return false;
}

void TestCrashLogAttachment::gzipOfEmptyInput()
{
    QCOMPARE(CrashLogAttachment::gzipWrap(QByteArray()).toHex(' '),
             QByteArray("1f 8b 08 00 00 00 00 00 02 ff 03 00 00 00 00 00 00 00 00 00"));
}

void TestCrashLogAttachment::crc32CheckValue()
{
    QCOMPARE(CrashLogAttachment::crc32Bytes(QByteArray()).toHex(), QByteArray("00000000"));
    // The standard check value of CRC-32, 0xCBF43926, little-endian.
    QCOMPARE(CrashLogAttachment::crc32Bytes("123456789").toHex(), QByteArray("2639f4cb"));
}

void TestCrashLogAttachment::gzipDecodesWithStandardTool_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one line") << QByteArray("2026-12-10 06:00:00.000: default: debug: x.cpp(1): started\n");
    QByteArray binary;
    quint32 seed = 7;
    for (int i = 0; i < 300000; ++i) {
        seed = seed * 1103515245u + 12345u;
        binary.append(char(seed >> 24));
    }
    QTest::newRow("incompressible, several blocks") << binary;
    QTest::newRow("repetitive") << QByteArray(2 * 1024 * 1024, 'a');
}

void TestCrashLogAttachment::gzipDecodesWithStandardTool()
{
    QFETCH(QByteArray, input);
    QCOMPARE(gunzip(CrashLogAttachment::gzipWrap(input)), QString::fromLatin1(input.toHex()));
}

void TestCrashLogAttachment::attachesNewestEarlierLog()
{
    writeFile(m_logs + "/tavri-2026-12-08--10-00-00.txt", "oldest\n", 7200);
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00.txt", "previous run\n", 3600);
    writeFile(m_logs + "/ox-2026-12-10--10-00-00.txt", "voice library's own log\n", 1);
    const QString current = writeFile(m_logs + "/tavri-2026-12-10--10-00-00.txt", "this run\n", 0);
    writeFile(m_dumps + "/1765100000.xml", kReport, 7000);
    const QString newest = writeFile(m_dumps + "/1765200000.xml", kReport, 3000);
    writeFile(m_dumps + "/1765200000.dmp", "MDMP", 3000);

    LogCapture capture;
    CrashLogAttachment::attach(m_logs, m_dumps, current);

    QVERIFY(logged(capture, "Found previous logfile: \"tavri-2026-12-09--10-00-00.txt\""));
    QVERIFY(logged(capture, "Found latest crash metadata file: \"1765200000.xml\""));
    int count = 0;
    QCOMPARE(gunzip(attachmentOf(newest, &count)), QString::fromLatin1(QByteArray("previous run\n").toHex()));
    QCOMPARE(count, 1);
    // The rest of the report is kept, with the attachment last.
    QFile file(newest);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QDomDocument document;
    QVERIFY(document.setContent(&file));
    QCOMPARE(document.documentElement().tagName(), QStringLiteral("CrashMetaData"));
    QCOMPARE(document.documentElement().firstChildElement().text(), QStringLiteral("1765300000"));
    QCOMPARE(document.documentElement().lastChildElement().tagName(), QStringLiteral("ApplicationLog"));
    // The older report is untouched and no ".new" is left behind.
    QFile older(m_dumps + "/1765100000.xml");
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), kReport);
    QVERIFY(QDir(m_dumps).entryList({QStringLiteral("*.new")}, QDir::Files).isEmpty());
}

void TestCrashLogAttachment::sameSecondLogsKeepTheirOrder()
{
    // A run that rotated twice within a second, then this run's log.
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00.txt", "first part\n", 60);
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00-2.txt", "third part\n", 60);
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00-1.txt", "second part\n", 60);
    const QString current = writeFile(m_logs + "/tavri-2026-12-10--10-00-00.txt", "this run\n", 0);
    const QString report = writeFile(m_dumps + "/1765200000.xml", kReport, 30);

    CrashLogAttachment::attach(m_logs, m_dumps, current);

    QCOMPARE(gunzip(attachmentOf(report)), QString::fromLatin1(QByteArray("third part\n").toHex()));
}

void TestCrashLogAttachment::secondStartLeavesReportAlone()
{
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00.txt", "previous run\n", 3600);
    const QString current = writeFile(m_logs + "/tavri-2026-12-10--10-00-00.txt", "this run\n", 0);
    const QString report = writeFile(m_dumps + "/1765200000.xml", kReport, 3000);
    CrashLogAttachment::attach(m_logs, m_dumps, current);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();
    QVERIFY(first.contains("<ApplicationLog>"));

    // The next start finds the same report with a newer log in front.
    writeFile(m_logs + "/tavri-2026-12-10--11-00-00.txt", "next run\n", -5);
    CrashLogAttachment::attach(m_logs, m_dumps, m_logs + "/tavri-2026-12-10--11-00-00.txt");

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), first);
}

void TestCrashLogAttachment::nothingToAttach_data()
{
    QTest::addColumn<QStringList>("logs");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<bool>("dumpFolderExists");
    QTest::addColumn<QString>("message");
    QTest::newRow("only this run's log") << QStringList{"tavri-2026-12-10--10-00-00.txt"}
                                         << QStringList{"1765200000.xml"} << true
                                         << "No preceding logfile to attach to crash...";
    QTest::newRow("only other programs' logs")
        << QStringList{"tavri-2026-12-10--10-00-00.txt", "ox-2026-12-09--10-00-00.txt"} << QStringList{"1765200000.xml"}
        << true << "No preceding logfile to attach to crash...";
    QTest::newRow("no dump folder") << QStringList{"tavri-2026-12-09--10-00-00.txt", "tavri-2026-12-10--10-00-00.txt"}
                                    << QStringList() << false << "No crash metadata file to append to...";
    QTest::newRow("empty dump folder") << QStringList{"tavri-2026-12-09--10-00-00.txt",
                                                      "tavri-2026-12-10--10-00-00.txt"}
                                       << QStringList() << true << "No crash metadata file to append to...";
    QTest::newRow("dump without metadata")
        << QStringList{"tavri-2026-12-09--10-00-00.txt", "tavri-2026-12-10--10-00-00.txt"}
        << QStringList{"1765200000.dmp"} << true << "No crash metadata file to append to...";
}

void TestCrashLogAttachment::nothingToAttach()
{
    QFETCH(QStringList, logs);
    QFETCH(QStringList, reports);
    QFETCH(bool, dumpFolderExists);
    QFETCH(QString, message);
    int age = 100;
    for (const QString &name : logs)
        writeFile(m_logs + "/" + name, "log\n", age--);
    for (const QString &name : reports)
        writeFile(m_dumps + "/" + name, kReport, 50);
    if (!dumpFolderExists)
        QVERIFY(QDir(m_dumps).removeRecursively());

    LogCapture capture;
    CrashLogAttachment::attach(m_logs, m_dumps, m_logs + "/tavri-2026-12-10--10-00-00.txt");

    QVERIFY2(logged(capture, message), qPrintable(message));
    for (const QString &name : reports) {
        QFile file(m_dumps + "/" + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kReport);
    }
}

void TestCrashLogAttachment::malformedReportUnchanged_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not closed") << QByteArray("<CrashMetaData><Time>1</Time>");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not xml") << QByteArray("MDMP\x93\xa7");
    QTest::newRow("external entity") << QByteArray(
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><CrashMetaData>&x;</CrashMetaData");
}

void TestCrashLogAttachment::malformedReportUnchanged()
{
    QFETCH(QByteArray, content);
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00.txt", "previous run\n", 3600);
    const QString current = writeFile(m_logs + "/tavri-2026-12-10--10-00-00.txt", "this run\n", 0);
    const QString report = writeFile(m_dumps + "/1765200000.xml", content, 3000);

    LogCapture capture;
    CrashLogAttachment::attach(m_logs, m_dumps, current);

    QVERIFY(logged(capture, "Unable to import crash metadata file into XML document..."));
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QVERIFY(!QFile::exists(report + ".new"));
}

void TestCrashLogAttachment::staleNewFileIsNotWrittenThrough()
{
    writeFile(m_logs + "/tavri-2026-12-09--10-00-00.txt", "previous run\n", 3600);
    const QString current = writeFile(m_logs + "/tavri-2026-12-10--10-00-00.txt", "this run\n", 0);
    const QString report = writeFile(m_dumps + "/1765200000.xml", kReport, 3000);
    const QString elsewhere = writeFile(m_dir->filePath("elsewhere.txt"), "keep me", 0);
    QVERIFY(QFile::link(elsewhere, report + ".new"));

    CrashLogAttachment::attach(m_logs, m_dumps, current);

    QFile other(elsewhere);
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("keep me"));
    QCOMPARE(gunzip(attachmentOf(report)), QString::fromLatin1(QByteArray("previous run\n").toHex()));
    QVERIFY(!QFileInfo(report).isSymLink());
}

void TestCrashLogAttachment::startUpWithoutCrashReadsNothing()
{
    oxc_set_crash_dump_count(0);
    LogCapture capture;
    shelltest::application()->attachLogToCrashReport();
    QVERIFY(capture.lines().isEmpty());
}

void TestCrashLogAttachment::startUpAfterCrash()
{
    // The program's own folders: tests run without a log file of their own,
    // so the newest log counts as the previous run's.
    const QString logs = sdkLogDirectory();
    const QString dumps = CrashLogAttachment::crashDumpDirectory();
    QVERIFY(!logs.isEmpty());
    QVERIFY(!dumps.isEmpty());
    QVERIFY(dumps.endsWith(QStringLiteral("/Ostrel/Dumps/tavri")));
    QVERIFY(currentLogFilePath().isEmpty());
    // The platform library makes the folders above when it writes a report.
    QVERIFY(QDir().mkpath(dumps));
    writeFile(logs + "/tavri-2026-12-09--09-00-00.txt", "older run\n", 7200);
    writeFile(logs + "/tavri-2026-12-09--10-00-00.txt", "crashed run\n", 3600);
    const QString report = writeFile(dumps + "/1765200000.xml", kReport, 3000);
    oxc_set_crash_dump_count(1);

    shelltest::application()->attachLogToCrashReport();

    QCOMPARE(gunzip(attachmentOf(report)), QString::fromLatin1(QByteArray("crashed run\n").toHex()));
    oxc_set_crash_dump_count(-1);
}

TAVRI_SHELL_TEST_MAIN(TestCrashLogAttachment, "tavri-test-crashlogattachment")
#include "tst_crashlogattachment.moc"
