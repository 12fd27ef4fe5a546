// The crash guard: when it guards, where the report goes, the exact metadata
// text, the machine description, and what a crashing child leaves behind.

#include "crashguard.h"
#include "crashprobe.h"
#include "crashsettings.h"
#include "dumpreader.h"
#include "machinefacts.h"
#include "machineinfo.h"
#include "sys/crashhandler.h"
#include "sys/machinefactsreader.h"
#include "testenvironment.h"

#include <QDomDocument>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace OstrelSystem;

namespace {

QByteArray bytes(const LibraryString &s)
{
    return QByteArray(s.data(), int(s.length()));
}

QStringList child_names(const QDomElement &parent)
{
    QStringList names;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        names << e.tagName();
    return names;
}

MachineFacts fixture_facts()
{
    MachineFacts facts;
    facts.nodeName = "build&<host>";
    facts.release = "6.1.0-18-amd64";
    facts.machine = "x86_64";
    facts.cpuinfo = "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
                    "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\nstepping\t: 10\ncpu MHz\t\t: 3192.003\n";
    facts.meminfo = "MemTotal:       16694624 kB\nMemFree:         1000000 kB\n";
    facts.onlineCpus = 12;
    facts.bestRouteInterface = "eth0";
    facts.routeTable = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
                       "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\n"
                       "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\n";
    const unsigned char mac[] = {0x00, 0x1a, 0x2b, 0xcc, 0xdd, 0xef};
    std::memcpy(facts.hardwareAddress, mac, sizeof mac);
    facts.hardwareAddressLength = 6;
    return facts;
}

} // namespace

class CrashGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void guardDecision_data();
    void guardDecision();
    void tracerPid();
    void dumpFolder_data();
    void dumpFolder();

    void machineValues();
    void machineIdNeedsAGatewayRoute_data();
    void machineIdNeedsAGatewayRoute();
    void metadataBytes();

    void crashingChild_data();
    void crashingChild();
    void tracedChildWritesNothing();
    void twoThreadsGiveOnePair();
    void noDumpFileNoReport();
    void longTemporaryFolder();
    void foreignTemporaryFolderIsRefused();
    void guardReturnsTheResult();
    void reportWithoutASignal();
    void priorHandlerGetsTheSignal_data();
    void priorHandlerGetsTheSignal();
};

void CrashGuardTest::guardDecision_data()
{
    QTest::addColumn<bool>("force");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("debugger");
    QTest::addColumn<bool>("guarded");
    QTest::newRow("nothing set") << false << false << false << true;
    QTest::newRow("debug") << false << true << false << false;
    QTest::newRow("debug and force") << true << true << false << true;
    QTest::newRow("debugger") << false << false << true << false;
    QTest::newRow("debugger and force") << true << false << true << true;
}

void CrashGuardTest::guardDecision()
{
    QFETCH(bool, force);
    QFETCH(bool, debug);
    QFETCH(bool, debugger);
    QFETCH(bool, guarded);
    QCOMPARE(guard_decision(force, debug, debugger), guarded);
}

void CrashGuardTest::tracerPid()
{
    QCOMPARE(sys::tracer_pid("Name:\tx\nTracerPid:\t0\nUid:\t0\n"), 0L);
    QCOMPARE(sys::tracer_pid("Name:\tx\nTracerPid:\t4321\n"), 4321L);
    QCOMPARE(sys::tracer_pid(""), 0L);
    QVERIFY(!sys::debugger_attached());
}

void CrashGuardTest::dumpFolder_data()
{
    QTest::addColumn<QByteArray>("executable");
    QTest::addColumn<QByteArray>("folder");
    QTest::newRow("linux program") << QByteArray("/usr/bin/tavri") << QByteArray("/t/Ostrel/Dumps/tavri");
    QTest::newRow("windows name") << QByteArray("/opt/Tavri.exe") << QByteArray("/t/Ostrel/Dumps/Tavri");
    QTest::newRow("capital extension") << QByteArray("/opt/Tavri.EXE") << QByteArray("/t/Ostrel/Dumps/Tavri.EXE");
    QTest::newRow("extension inside") << QByteArray("/x.exe/a.exe.b") << QByteArray("/t/Ostrel/Dumps/a");
    QTest::newRow("no executable") << QByteArray() << QByteArray();
}

void CrashGuardTest::dumpFolder()
{
    QFETCH(QByteArray, executable);
    QFETCH(QByteArray, folder);
    QCOMPARE(bytes(crash_dump_folder("/t", executable.constData())), folder);
    QCOMPARE(bytes(crash_dump_folder("", "/usr/bin/tavri")), QByteArray());
}

void CrashGuardTest::machineValues()
{
    MachineInfo info;
    info.collect(fixture_facts());
    QCOMPARE(bytes(info.m_name), QByteArray("build&<host>"));
    QCOMPARE(bytes(info.m_os), QByteArray("Linux"));
    QCOMPARE(bytes(info.m_osRevision), QByteArray("0.6.1.0.0.0.6.1.0-18-amd64.0"));
    QCOMPARE(bytes(info.m_processorInfo), QByteArray("9.40458.6.12")); // (158 << 8) | 10
    QCOMPARE(bytes(info.m_processorName), QByteArray("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz"));
    QCOMPARE(bytes(info.m_processorSpeedMhz), QByteArray("3192"));
    QCOMPARE(bytes(info.m_ramMb), QByteArray("16303")); // 17,095,294,976 bytes
    QCOMPARE(bytes(info.m_id), QByteArray("001a2bccddef"));

    // COMPUTERNAME wins over the node name; sysfs frequency over cpuinfo;
    // missing sources give empty values.
    MachineFacts facts = fixture_facts();
    facts.hasComputerName = true;
    facts.computerName = "DESK";
    facts.cpuMaxFrequency = "4600000\n";
    facts.machine = "aarch64";
    info.collect(facts);
    QCOMPARE(bytes(info.m_name), QByteArray("DESK"));
    QCOMPARE(bytes(info.m_processorSpeedMhz), QByteArray("4600"));
    QVERIFY(bytes(info.m_processorInfo).startsWith("12."));

    info.collect(MachineFacts());
    QCOMPARE(bytes(info.m_osRevision), QByteArray());
    QCOMPARE(bytes(info.m_processorName), QByteArray());
    QCOMPARE(bytes(info.m_processorSpeedMhz), QByteArray());
    QCOMPARE(bytes(info.m_ramMb), QByteArray());
    QCOMPARE(bytes(info.m_processorInfo), QByteArray("65535.0.0.0"));
}

void CrashGuardTest::machineIdNeedsAGatewayRoute_data()
{
    QTest::addColumn<QByteArray>("routes");
    QTest::addColumn<QByteArray>("interface");
    QTest::addColumn<bool>("usesMac");
    const QByteArray header = "Iface\tDestination\tGateway \tFlags\n";
    QTest::newRow("gateway route") << header + "eth0\t00000000\t0102A8C0\t0003\n" << QByteArray("eth0") << true;
    QTest::newRow("no gateway") << header + "eth0\t0002A8C0\t00000000\t0001\n" << QByteArray("eth0") << false;
    QTest::newRow("gateway elsewhere") << header + "eth1\t00000000\t0102A8C0\t0003\n" << QByteArray("eth0") << false;
    QTest::newRow("prefix name") << header + "eth01\t00000000\t0102A8C0\t0003\n" << QByteArray("eth0") << false;
    QTest::newRow("no route table") << QByteArray() << QByteArray("eth0") << false;
    QTest::newRow("no interface") << header + "eth0\t00000000\t0102A8C0\t0003\n" << QByteArray() << false;
}

void CrashGuardTest::machineIdNeedsAGatewayRoute()
{
    QFETCH(QByteArray, routes);
    QFETCH(QByteArray, interface);
    QFETCH(bool, usesMac);
    MachineFacts facts = fixture_facts();
    facts.routeTable = routes.constData();
    facts.bestRouteInterface = interface.constData();
    const QByteArray id = bytes(machine_id(facts));
    if (usesMac) {
        QCOMPARE(id, QByteArray("001a2bccddef"));
        return;
    }
    QVERIFY(bytes(mac_machine_id(facts)).isEmpty());
    // The fallback: digits, made once, the same for every report.
    QVERIFY(!id.isEmpty());
    QVERIFY(id.size() >= 10);
    for (char c : id)
        QVERIFY(c >= '0' && c <= '9');
    QCOMPARE(bytes(machine_id(MachineFacts())), id);
}

void CrashGuardTest::metadataBytes()
{
    MachineInfo info;
    info.collect(fixture_facts());
    const LibraryString text = [&] {
        LibraryString whole = crash_metadata_head("/opt/a&b/<tavri>");
        whole.append("1718028187");
        whole.append(crash_metadata_tail(info.toXml(), CrashSettings::instance()));
        return whole;
    }();
    const QByteArray expected =
        "<CrashMetaData><ProcessName>/opt/a&amp;b/&lt;tavri&gt;</ProcessName><ThreadVersionInfo></ThreadVersionInfo>"
        "<Timestamp>1718028187</Timestamp><MachineInfo><Name>build&amp;&lt;host&gt;</Name>\n"
        "<Id>001a2bccddef</Id>\n"
        "<OS>Linux</OS>\n"
        "<Model></Model>\n"
        "<OSRevision>0.6.1.0.0.0.6.1.0-18-amd64.0</OSRevision>\n"
        "<ProcessorInfo>9.40458.6.12</ProcessorInfo>\n"
        "<ProcessorName>Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz</ProcessorName>\n"
        "<ProcessorSpeedMhz>3192</ProcessorSpeedMhz>\n"
        "<RAMMB>16303</RAMMB>\n"
        "</MachineInfo><VersionInfo></VersionInfo><DumpExtension>.dmp</DumpExtension><appCrashData></appCrashData>"
        "</CrashMetaData>";
    QCOMPARE(bytes(text), expected);
    QDomDocument document;
    QVERIFY(document.setContent(expected));
    QCOMPARE(document.documentElement().firstChildElement("ProcessName").text(), QString("/opt/a&b/<tavri>"));
}

void CrashGuardTest::crashingChild_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("report");
    QTest::addColumn<int>("dumpType");
    QTest::newRow("null write") << QByteArray("segv") << QByteArray() << int(SIGSEGV) << true << 0;
    QTest::newRow("abort") << QByteArray("abort") << QByteArray() << int(SIGABRT) << true << 0;
    QTest::newRow("escaping exception") << QByteArray("throw") << QByteArray() << int(SIGABRT) << true << 0;
    QTest::newRow("debug") << QByteArray("segv") << QByteArray("OSTREL_DEBUG=1") << int(SIGSEGV) << false << 0;
    QTest::newRow("debug forced") << QByteArray("segv") << QByteArray("OSTREL_DEBUG=1 OSTREL_FORCE_CD=") << int(SIGSEGV)
                                  << true << 0;
    QTest::newRow("flags 2") << QByteArray("segv") << QByteArray("OSTREL_CRASH_FLAGS=2") << int(SIGSEGV) << true << 2;
    QTest::newRow("flags abc") << QByteArray("segv") << QByteArray("OSTREL_CRASH_FLAGS=abc") << int(SIGSEGV) << true
                               << 0;
}

void CrashGuardTest::crashingChild()
{
    QFETCH(QByteArray, mode);
    QFETCH(QByteArray, environment);
    QFETCH(int, signal);
    QFETCH(bool, report);
    QFETCH(int, dumpType);

    QMap<QByteArray, QByteArray> extra;
    for (const QByteArray &pair : environment.split(' ')) {
        if (!pair.isEmpty())
            extra.insert(pair.left(pair.indexOf('=')), pair.mid(pair.indexOf('=') + 1));
    }
    CrashProbe probe;
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const ProbeResult result = probe.run(mode, extra);
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QVERIFY(result.started);
    QCOMPARE(result.signal, signal); // the guard never swallows the crash

    const QStringList dumps = probe.files("*.dmp");
    const QStringList metadata = probe.files("*.xml");
    if (!report) {
        QVERIFY(dumps.isEmpty());
        QVERIFY(metadata.isEmpty());
        return;
    }
    QCOMPARE(dumps.size(), 1);
    QCOMPARE(metadata.size(), 1);
    const QString stamp = QFileInfo(dumps.first()).completeBaseName();
    QCOMPARE(QFileInfo(metadata.first()).completeBaseName(), stamp);
    QVERIFY(stamp.toLongLong() >= before && stamp.toLongLong() <= after);

    QFile dumpFile(probe.dumpsFolder() + '/' + dumps.first());
    QVERIFY(dumpFile.open(QIODevice::ReadOnly));
    QCOMPARE(int(dumpFile.permissions() & (QFile::ReadGroup | QFile::ReadOther)), 0);
    const oxdump::Dump dump = oxdump::parse_dump(dumpFile.readAll().toStdString());
    QVERIFY(dump.valid);
    QCOMPARE(dump.dumpType, std::uint32_t(dumpType));
    QCOMPARE(dump.timestamp, stamp.toLongLong());
    QCOMPARE(dump.signal, std::uint32_t(signal));
    QCOMPARE(dump.pointerSize, std::uint16_t(sizeof(void *)));
    QCOMPARE(dump.pid, dump.tid); // the probe crashes on its main thread
    QVERIFY(dump.stream(oxdump::Maps).find("oxcrashprobe") != std::string::npos);
    QCOMPARE(dump.stream(oxdump::ThreadName), std::string("oxcrashprobe"));
    QVERIFY(dump.stream(oxdump::Stack).size() > 8);
    QVERIFY(dump.stream(oxdump::Backtrace).size() >= 8);
    if (signal == SIGSEGV)
        QCOMPARE(dump.faultAddress, std::uint64_t(0));

    QFile xmlFile(probe.dumpsFolder() + '/' + metadata.first());
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    const QByteArray xml = xmlFile.readAll();
    QVERIFY(!xml.startsWith("<?xml"));
    QCOMPARE(xml.count('\n'), 9);
    QDomDocument document;
    QVERIFY(document.setContent(xml));
    const QDomElement root = document.documentElement();
    QCOMPARE(root.tagName(), QString("CrashMetaData"));
    QCOMPARE(child_names(root), QStringList({"ProcessName", "ThreadVersionInfo", "Timestamp", "MachineInfo",
                                             "VersionInfo", "DumpExtension", "appCrashData"}));
    QCOMPARE(child_names(root.firstChildElement("MachineInfo")),
             QStringList({"Name", "Id", "OS", "Model", "OSRevision", "ProcessorInfo", "ProcessorName",
                          "ProcessorSpeedMhz", "RAMMB"}));
    QCOMPARE(root.firstChildElement("ProcessName").text(), QFileInfo(OXCRASHPROBE_PATH).canonicalFilePath());
    QCOMPARE(root.firstChildElement("Timestamp").text(), stamp);
    QCOMPARE(root.firstChildElement("DumpExtension").text(), QString(".dmp"));
    const QDomElement machine = root.firstChildElement("MachineInfo");
    QCOMPARE(machine.firstChildElement("OS").text(), QString("Linux"));
    QVERIFY(!machine.firstChildElement("Id").text().isEmpty());
    QVERIFY(machine.firstChildElement("RAMMB").text().toLongLong() > 0);
}

void CrashGuardTest::tracedChildWritesNothing()
{
    CrashProbe probe;
    ProbeResult result = probe.run("segv", {}, true);
    QVERIFY(result.started);
    if (result.exitCode == CrashProbe::kCannotTrace)
        QSKIP("this machine does not allow tracing");
    QCOMPARE(result.signal, int(SIGSEGV));
    QVERIFY(probe.files("*").isEmpty());

    result = probe.run("segv", {{"OSTREL_FORCE_CD", "1"}}, true);
    QCOMPARE(result.signal, int(SIGSEGV));
    QCOMPARE(probe.files("*.xml").size(), 1);
}

void CrashGuardTest::twoThreadsGiveOnePair()
{
    CrashProbe probe;
    const ProbeResult result = probe.run("two");
    QCOMPARE(result.signal, int(SIGSEGV));
    QCOMPARE(probe.files("*.dmp").size(), 1);
    const QStringList metadata = probe.files("*.xml");
    QCOMPARE(metadata.size(), 1);
    QFile xmlFile(probe.dumpsFolder() + '/' + metadata.first());
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    const QByteArray xml = xmlFile.readAll();
    QCOMPARE(xml.count("<CrashMetaData>"), 1);
    QVERIFY(xml.endsWith("</CrashMetaData>"));
    QDomDocument document;
    QVERIFY(document.setContent(xml));
}

void CrashGuardTest::noDumpFileNoReport()
{
    CrashProbe probe;
    // Folders in place of every dump name the child may pick.
    QVERIFY(QDir().mkpath(probe.dumpsFolder()));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (qint64 stamp = now; stamp < now + 120; ++stamp)
        QVERIFY(QDir(probe.dumpsFolder()).mkdir(QString::number(stamp) + ".dmp"));
    const ProbeResult result = probe.run("segv");
    QCOMPARE(result.signal, int(SIGSEGV));
    QVERIFY(probe.files("*.xml").isEmpty());
}

void CrashGuardTest::longTemporaryFolder()
{
    CrashProbe probe;
    QString deep = probe.tmp();
    while (deep.size() < 600)
        deep += QStringLiteral("/a-rather-long-folder-name-for-the-temporary-files");
    QVERIFY(QDir().mkpath(deep));
    probe.setTmp(deep);
    const ProbeResult result = probe.run("segv");
    QCOMPARE(result.signal, int(SIGSEGV));
    QCOMPARE(probe.files("*.dmp").size(), 1);
    QCOMPARE(probe.files("*.xml").size(), 1);
}

void CrashGuardTest::foreignTemporaryFolderIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("needs root to give a folder to another user");
    CrashProbe probe;
    const QString folder = probe.tmp() + QStringLiteral("/ostrel-%1").arg(::geteuid());
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    const ProbeResult result = probe.run("segv");
    QCOMPARE(result.signal, int(SIGSEGV));
    QVERIFY(!QFileInfo::exists(folder + "/Ostrel"));
}

void CrashGuardTest::guardReturnsTheResult()
{
    CrashProbe probe;
    const ProbeResult result = probe.run("quiet");
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.exitCode, 7);
    QVERIFY(probe.files("*").isEmpty());
}

void CrashGuardTest::reportWithoutASignal()
{
    CrashProbe probe;
    const ProbeResult result = probe.run("report");
    QCOMPARE(result.signal, 0);
    QCOMPARE(result.exitCode, 0);
    const QStringList dumps = probe.files("*.dmp");
    QCOMPARE(dumps.size(), 1);
    QCOMPARE(probe.files("*.xml").size(), 1);
    QFile dumpFile(probe.dumpsFolder() + '/' + dumps.first());
    QVERIFY(dumpFile.open(QIODevice::ReadOnly));
    const oxdump::Dump dump = oxdump::parse_dump(dumpFile.readAll().toStdString());
    QVERIFY(dump.valid);
    QCOMPARE(dump.signal, 0u);
    QVERIFY(dump.stream(oxdump::Stack).size() > 8); // the current context
}

namespace {

// Built without the null-pointer and address checks so that the write really
// faults and the process receives SIGSEGV.
__attribute__((noinline, no_sanitize("address", "null", "undefined"))) void fault_through_null()
{
    volatile int *volatile target = nullptr;
    *target = 42;
}

// The handlers a program had in place before the guard: each ends the
// process with an exit code that names the handler and the signal.
void prior_with_info(int signal, siginfo_t *info, void *)
{
    _exit(info && info->si_signo == signal ? 100 + signal : 99);
}

void prior_plain(int signal)
{
    _exit(150 + signal);
}

} // namespace

void CrashGuardTest::priorHandlerGetsTheSignal_data()
{
    QTest::addColumn<bool>("guarded");
    QTest::addColumn<bool>("fault");
    QTest::addColumn<bool>("withInfo");

    QTest::newRow("unguarded thread, abort, handler with info") << false << false << true;
    QTest::newRow("unguarded thread, fault, plain handler") << false << true << false;
    QTest::newRow("guarded thread, abort, plain handler") << true << false << false;
    QTest::newRow("guarded thread, fault, handler with info") << true << true << true;
}

void CrashGuardTest::priorHandlerGetsTheSignal()
{
    QFETCH(bool, guarded);
    QFETCH(bool, fault);
    QFETCH(bool, withInfo);
    QTemporaryDir dumps;
    QVERIFY(dumps.isValid());
    const QByteArray folder = QFile::encodeName(dumps.path());
    const int signal = fault ? SIGSEGV : SIGABRT;

    // The child installs a handler of its own, then the guard's, then
    // crashes: the test process keeps its own handlers.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        struct sigaction prior = {};
        sigemptyset(&prior.sa_mask);
        if (withInfo) {
            prior.sa_sigaction = prior_with_info;
            prior.sa_flags = SA_SIGINFO;
        } else {
            prior.sa_handler = prior_plain;
        }
        if (::sigaction(signal, &prior, nullptr) != 0)
            _exit(2);
        if (!sys::install_crash_handler(LibraryString(folder.constData()), std::uint32_t(folder.size()),
                                        LibraryString("<head>"), LibraryString("</tail>"), nullptr))
            _exit(3);
        sys::set_thread_guarded(guarded);
        if (fault)
            fault_through_null();
        else
            ::raise(SIGABRT);
        _exit(4); // the signal was swallowed
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), qPrintable(QStringLiteral("the child died of signal %1").arg(WTERMSIG(status))));
    QCOMPARE(WEXITSTATUS(status), (withInfo ? 100 : 150) + signal);
    // A guarded thread's crash is reported before it is passed on.
    QCOMPARE(QDir(dumps.path()).entryList(QDir::Files).size(), guarded ? 2 : 0);
}

TAVRI_TEST_GUILESS_MAIN(CrashGuardTest)
#include "tst_crashguard.moc"
