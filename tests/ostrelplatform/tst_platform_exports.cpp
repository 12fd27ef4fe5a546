// The library's exports: the symbol list, events, threads and the lock.

#include "crashprobe.h"
#include "logger.h"
#include "logsink.h"
#include "oxplatform.h"
#include "sys/handlerecord.h"
#include "sys/threadstart.h"
#include "testenvironment.h"

#include <QProcess>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <string>
#include <vector>

using namespace oxplatform;

namespace {

struct Report {
    std::string function;
    int line;
    std::string message;
};

class ReportSink : public OstrelSystem::LogSink
{
public:
    ReportSink() { OstrelSystem::Logger::instance()->addSink(this); }
    ~ReportSink() override { OstrelSystem::Logger::instance()->removeSink(this); }
    void record(const OstrelSystem::LibraryString &, pid_t, int, const char *, int line, const char *function,
                const char *message) override
    {
        reports.push_back({function, line, message});
    }
    std::vector<Report> reports;
};

const char *const kExportedSymbols[] = {
    "_ZN10oxplatform4LockC1Ev",          "_ZN10oxplatform4LockC2Ev",
    "_ZN10oxplatform4LockD1Ev",          "_ZN10oxplatform4LockD2Ev",
    "_ZN10oxplatform4LockaSERKS0_",      "_ZN10oxplatform4Lock4TakeEv",
    "_ZN10oxplatform4Lock7ReleaseEv",    "_ZN10oxplatform19close_thread_handleEPv",
    "_ZN10oxplatform12create_eventEPPv", "_ZN10oxplatform13create_threadEPFmPvES0_PS0_ji",
    "_ZN10oxplatform12delete_eventEPv",  "_ZN10oxplatform13delete_threadEPv",
    "_ZN10oxplatform9set_eventEPv",      "_ZN10oxplatform10wait_eventEPvi",
};

unsigned long return_five(void *)
{
    return 5;
}

unsigned long wait_for_event(void *event)
{
    return wait_event(event, -1) == 0 ? 11 : 12;
}

struct Relay {
    void *go = nullptr;
    void *done = nullptr;
};

unsigned long relay_signal(void *parameter)
{
    auto *relay = static_cast<Relay *>(parameter);
    wait_event(relay->go, -1);
    set_event(relay->done);
    return 0;
}

struct Counter {
    Lock lock;
    long value = 0;
};

unsigned long count_under_lock(void *parameter)
{
    auto *counter = static_cast<Counter *>(parameter);
    for (int i = 0; i < 20000; ++i) {
        counter->lock.Take();
        const long seen = counter->value;
        if (i % 1000 == 0)
            sched_yield(); // invite the other thread in while the lock is held
        counter->value = seen + 1;
        counter->lock.Release();
    }
    return 0;
}

std::uint32_t exit_code_after_end(void *thread)
{
    if (wait_event(thread, 10000) != 0)
        return 0xdead;
    std::uint32_t code = 0;
    return OstrelSystem::sys::thread_exit_code(thread, &code) ? code : 0xbad;
}

} // namespace

class PlatformExportsTest : public QObject
{
    Q_OBJECT

private slots:
    void exactlyTheExportedSymbols();
    void symbolsResolveAfterLoading();

    void waitOnEvent_data();
    void waitOnEvent();
    void infiniteWaitEndsWhenSet();
    void autoResetWakesOneWaiter();
    void badHandles();

    void exitCodeAndIgnoredArguments_data();
    void exitCodeAndIgnoredArguments();
    void deleteRunningThreadOnlyClosesTheHandle();

    void recursiveTakeIsReported();
    void lockExcludesThreads();

    void crashInCreatedThreadIsReported();
};

void PlatformExportsTest::exactlyTheExportedSymbols()
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", OSTRELPLATFORM_LIBRARY});
    if (!nm.waitForStarted())
        QSKIP("nm is not installed");
    QVERIFY(nm.waitForFinished());
    QStringList text;
    for (const QByteArray &line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 3 && (fields[1] == "T" || fields[1] == "W"))
            text << QString::fromLatin1(fields[2]);
    }
    text.sort();
    QStringList expected;
    for (const char *symbol : kExportedSymbols)
        expected << QString::fromLatin1(symbol);
    expected.sort();
    QCOMPARE(text, expected);
}

void PlatformExportsTest::symbolsResolveAfterLoading()
{
    void *library = dlopen(OSTRELPLATFORM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    for (const char *symbol : kExportedSymbols)
        QVERIFY2(dlsym(library, symbol), symbol);
    QVERIFY(!dlsym(library, "_ZN12OstrelSystem14platform_allocEj"));

    // One round trip through the loaded copy.
    using CreateEvent = std::uint32_t (*)(void **);
    using SetEvent = std::uint32_t (*)(void *);
    using WaitEvent = std::uint32_t (*)(void *, int);
    using DeleteEvent = std::uint32_t (*)(void *);
    void *event = nullptr;
    QCOMPARE(reinterpret_cast<CreateEvent>(dlsym(library, "_ZN10oxplatform12create_eventEPPv"))(&event), 0u);
    QCOMPARE(reinterpret_cast<SetEvent>(dlsym(library, "_ZN10oxplatform9set_eventEPv"))(event), 0u);
    QCOMPARE(reinterpret_cast<WaitEvent>(dlsym(library, "_ZN10oxplatform10wait_eventEPvi"))(event, 0), 0u);
    QCOMPARE(reinterpret_cast<DeleteEvent>(dlsym(library, "_ZN10oxplatform12delete_eventEPv"))(event), 0u);
    using CreateThread = std::uint32_t (*)(ThreadEntry, void *, void **, unsigned, int);
    void *thread = nullptr;
    QCOMPARE(reinterpret_cast<CreateThread>(dlsym(library, "_ZN10oxplatform13create_threadEPFmPvES0_PS0_ji"))(
                 return_five, nullptr, &thread, 0, 0),
             0u);
    QCOMPARE(reinterpret_cast<WaitEvent>(dlsym(library, "_ZN10oxplatform10wait_eventEPvi"))(thread, 10000), 0u);
    QCOMPARE(reinterpret_cast<DeleteEvent>(dlsym(library, "_ZN10oxplatform19close_thread_handleEPv"))(thread), 0u);
    // Left loaded, as the voice SDK leaves it: the library keeps its
    // process-wide tables to the end of the process.
}

void PlatformExportsTest::waitOnEvent_data()
{
    QTest::addColumn<bool>("setFirst");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<quint32>("result");
    QTest::newRow("set, poll") << true << 0 << quint32(kWaitSignalled);
    QTest::newRow("unset, poll") << false << 0 << quint32(kWaitTimedOut);
    QTest::newRow("set, no limit") << true << -1 << quint32(kWaitSignalled);
    QTest::newRow("set, other negative") << true << -7 << quint32(kWaitSignalled);
    QTest::newRow("unset, short wait") << false << 30 << quint32(kWaitTimedOut);
}

void PlatformExportsTest::waitOnEvent()
{
    QFETCH(bool, setFirst);
    QFETCH(int, timeout);
    QFETCH(quint32, result);
    void *event = nullptr;
    QCOMPARE(create_event(&event), 0u);
    QVERIFY(event);
    if (setFirst)
        QCOMPARE(set_event(event), 0u);
    QCOMPARE(wait_event(event, timeout), result);
    // Auto-reset: the wake consumed the signal.
    QCOMPARE(wait_event(event, 0), kWaitTimedOut);
    QCOMPARE(delete_event(event), 0u);
}

void PlatformExportsTest::infiniteWaitEndsWhenSet()
{
    void *event = nullptr;
    void *thread = nullptr;
    QCOMPARE(create_event(&event), 0u);
    QCOMPARE(create_thread(wait_for_event, event, &thread, 0, 0), 0u);
    QCOMPARE(wait_event(thread, 50), kWaitTimedOut); // still waiting
    QCOMPARE(set_event(event), 0u);
    QCOMPARE(exit_code_after_end(thread), 11u);
    QCOMPARE(close_thread_handle(thread), 0u);
    QCOMPARE(delete_event(event), 0u);
}

void PlatformExportsTest::autoResetWakesOneWaiter()
{
    void *event = nullptr;
    void *threads[2] = {};
    QCOMPARE(create_event(&event), 0u);
    for (void *&thread : threads)
        QCOMPARE(create_thread(wait_for_event, event, &thread, 0, 0), 0u);
    QTest::qWait(50); // both threads reach their wait
    QCOMPARE(set_event(event), 0u);

    // Exactly one of them wakes; the event is reset by that wake.
    int ended = 0;
    for (int round = 0; round < 100 && ended == 0; ++round) {
        QTest::qWait(10);
        ended = 0;
        for (void *thread : threads)
            ended += wait_event(thread, 0) == kWaitSignalled ? 1 : 0;
    }
    QTest::qWait(50);
    ended = 0;
    for (void *thread : threads)
        ended += wait_event(thread, 0) == kWaitSignalled ? 1 : 0;
    QCOMPARE(ended, 1);
    QCOMPARE(wait_event(event, 0), kWaitTimedOut);

    QCOMPARE(set_event(event), 0u); // let the other one go
    for (void *thread : threads) {
        QCOMPARE(exit_code_after_end(thread), 11u);
        QCOMPARE(delete_thread(thread), 0u);
    }
    QCOMPARE(delete_event(event), 0u);
}

void PlatformExportsTest::badHandles()
{
    void *event = nullptr;
    QCOMPARE(create_event(&event), 0u);
    QCOMPARE(delete_event(event), 0u);

    void *const bogus = reinterpret_cast<void *>(0x12345678abcdULL);
    for (void *handle : {event, static_cast<void *>(nullptr), bogus}) {
        QCOMPARE(wait_event(handle, 0), kWaitFailed);
        QCOMPARE(wait_event(handle, -1), kWaitFailed);
        QCOMPARE(set_event(handle), std::uint32_t(EBADF));
        QCOMPARE(delete_event(handle), std::uint32_t(EBADF));
        QCOMPARE(close_thread_handle(handle), std::uint32_t(EBADF));
        QCOMPARE(delete_thread(handle), std::uint32_t(EBADF));
    }

    // A new event in the freed slot does not answer to the old handle.
    void *reused = nullptr;
    QCOMPARE(create_event(&reused), 0u);
    QVERIFY(reused != event);
    QCOMPARE(set_event(event), std::uint32_t(EBADF));
    // Any closing export closes either kind.
    QCOMPARE(delete_thread(reused), 0u);

    // Failing creates leave the out-value alone.
    void *untouched = reinterpret_cast<void *>(0x1);
    QCOMPARE(create_thread(nullptr, nullptr, &untouched, 0, 0), std::uint32_t(EINVAL));
    QCOMPARE(untouched, reinterpret_cast<void *>(0x1));
    QCOMPARE(create_event(nullptr), std::uint32_t(EINVAL));
}

void PlatformExportsTest::exitCodeAndIgnoredArguments_data()
{
    QTest::addColumn<unsigned>("stackSize");
    QTest::addColumn<int>("priority");
    QTest::newRow("defaults") << 0u << 0;
    QTest::newRow("tiny stack, low priority") << 1u << -15;
    QTest::newRow("huge stack, high priority") << 0xffffffffu << 15;
}

void PlatformExportsTest::exitCodeAndIgnoredArguments()
{
    QFETCH(unsigned, stackSize);
    QFETCH(int, priority);
    void *thread = nullptr;
    QCOMPARE(create_thread(return_five, nullptr, &thread, stackSize, priority), 0u);
    QCOMPARE(exit_code_after_end(thread), 5u);
    QCOMPARE(wait_event(thread, 0), kWaitSignalled); // stays signalled
    QCOMPARE(close_thread_handle(thread), 0u);
}

void PlatformExportsTest::deleteRunningThreadOnlyClosesTheHandle()
{
    // Threads of earlier tests let go of their records as they end.
    QTRY_COMPARE(OstrelSystem::sys::HandleRecord::liveCount(), 0);
    Relay relay;
    void *thread = nullptr;
    QCOMPARE(create_event(&relay.go), 0u);
    QCOMPARE(create_event(&relay.done), 0u);
    QCOMPARE(create_thread(relay_signal, &relay, &thread, 0, 0), 0u);
    QCOMPARE(delete_thread(thread), 0u);
    QCOMPARE(wait_event(thread, 0), kWaitFailed);

    // The thread runs on: it still answers, and then its record goes once
    // it ends.
    QCOMPARE(set_event(relay.go), 0u);
    QCOMPARE(wait_event(relay.done, 10000), kWaitSignalled);
    QCOMPARE(delete_event(relay.go), 0u);
    QCOMPARE(delete_event(relay.done), 0u);
    QTRY_COMPARE(OstrelSystem::sys::HandleRecord::liveCount(), 0);
}

void PlatformExportsTest::recursiveTakeIsReported()
{
    ReportSink sink;
    Lock lock;
    lock.Take();
    QCOMPARE(sink.reports.size(), size_t(0));
    lock.Take(); // does not block
    QCOMPARE(sink.reports.size(), size_t(1));
    QCOMPARE(sink.reports[0].message, std::string("Assertion Failure - 'm_lock.RecursionCount == 1'"));
    QCOMPARE(sink.reports[0].function, std::string("OstrelSystem::LockImpl::Lock"));
    QCOMPARE(sink.reports[0].line, 38);

    lock.Release();
    QCOMPARE(sink.reports.size(), size_t(2));
    QCOMPARE(sink.reports[1].function, std::string("OstrelSystem::LockImpl::Unlock"));
    QCOMPARE(sink.reports[1].line, 41);
    lock.Release();
    QCOMPARE(sink.reports.size(), size_t(2));

    // Released for real: another thread can take it now.
    Counter counter;
    void *thread = nullptr;
    QCOMPARE(create_thread(count_under_lock, &counter, &thread, 0, 0), 0u);
    QCOMPARE(exit_code_after_end(thread), 0u);
    QCOMPARE(close_thread_handle(thread), 0u);
}

void PlatformExportsTest::lockExcludesThreads()
{
    ReportSink sink;
    Counter counter;
    void *threads[2] = {};
    for (void *&thread : threads)
        QCOMPARE(create_thread(count_under_lock, &counter, &thread, 0, 0), 0u);
    for (void *thread : threads) {
        QCOMPARE(exit_code_after_end(thread), 0u);
        QCOMPARE(close_thread_handle(thread), 0u);
    }
    QCOMPARE(counter.value, 40000L);
    QCOMPARE(sink.reports.size(), size_t(0));
}

void PlatformExportsTest::crashInCreatedThreadIsReported()
{
    CrashProbe probe;
    const ProbeResult result = probe.run("thread");
    QVERIFY(result.started);
    QCOMPARE(result.signal, int(SIGSEGV));
    QCOMPARE(probe.files("*.dmp").size(), 1);
    QCOMPARE(probe.files("*.xml").size(), 1);
}

TAVRI_TEST_GUILESS_MAIN(PlatformExportsTest)
#include "tst_platform_exports.moc"
