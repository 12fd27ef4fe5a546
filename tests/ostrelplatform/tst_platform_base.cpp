// The platform library's allocator (pool off), byte string, text stream and
// logger.

#include "librarystring.h"
#include "logger.h"
#include "logsink.h"
#include "platformalloc.h"
#include "testenvironment.h"
#include "textstream.h"

#include <QtTest>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace OstrelSystem;

namespace {

struct Record {
    std::string prefix;
    pid_t threadId;
    int level;
    std::string category;
    int line;
    std::string function;
    std::string message;
};

class RecordingSink : public LogSink
{
public:
    void record(const LibraryString &timePrefix, pid_t threadId, int level, const char *category, int line,
                const char *function, const char *message) override
    {
        records.push_back(
            {std::string(timePrefix.data(), timePrefix.length()), threadId, level, category, line, function, message});
    }
    std::vector<Record> records;
};

std::string str(const LibraryString &s)
{
    return std::string(s.data(), s.length());
}

} // namespace

class PlatformBaseTest : public QObject
{
    Q_OBJECT

private slots:
    void allocatorWithoutPoolIsTheHeap();
    void hooksTakeOverAllocation();

    void inlineOrHeap_data();
    void inlineOrHeap();
    void assignGrowth();
    void emptyAssignmentClearsText();
    void appendGrowthAndSelfAppend();
    void slicing();
    void searching();
    void pathCombine_data();
    void pathCombine();

    void streamFormats();

    void logPrefix();
    void assertionReport();
    void logRecordOrder();
};

void PlatformBaseTest::allocatorWithoutPoolIsTheHeap()
{
    platform_free(nullptr);
    char *block = static_cast<char *>(platform_alloc(100));
    QVERIFY(block);
    std::memset(block, 0x5a, 100);
    // A plain heap block: the runtime's free accepts it.
    std::free(block);
    void *heapBlock = std::malloc(24);
    platform_free(heapBlock);
    const PoolCounters counters = pool_counters();
    QCOMPARE(counters.hits + counters.misses, 0u);
}

namespace {
int g_hookedAllocations = 0;
int g_hookedReleases = 0;
void *counting_alloc(unsigned size)
{
    ++g_hookedAllocations;
    return std::malloc(size);
}
void counting_free(void *pointer)
{
    ++g_hookedReleases;
    std::free(pointer);
}
} // namespace

void PlatformBaseTest::hooksTakeOverAllocation()
{
    set_allocation_hooks(counting_alloc, counting_free);
    {
        const LibraryString text(std::string(100, 'h').c_str());
        QCOMPARE(g_hookedAllocations, 1);
    }
    QCOMPARE(g_hookedReleases, 1);
    set_allocation_hooks(counting_alloc, nullptr); // half a pair is no pair
    platform_free(platform_alloc(10));
    QCOMPARE(g_hookedAllocations, 1);
    set_allocation_hooks(nullptr, nullptr);
}

void PlatformBaseTest::inlineOrHeap_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("isInline");
    QTest::newRow("empty") << 0 << true;
    QTest::newRow("33 bytes") << 33 << true;
    QTest::newRow("34 bytes") << 34 << false;
    QTest::newRow("1000 bytes") << 1000 << false;
}

void PlatformBaseTest::inlineOrHeap()
{
    QFETCH(int, length);
    QFETCH(bool, isInline);
    const std::string text(static_cast<size_t>(length), 'x');
    const LibraryString s(text.c_str());
    QCOMPARE(s.isInline(), isInline);
    QCOMPARE(s.length(), std::uint32_t(length));
    QCOMPARE(s.data()[length], '\0');
    const LibraryString copy(s);
    QCOMPARE(str(copy), text);
    QVERIFY(copy.data() != s.data());
}

void PlatformBaseTest::assignGrowth()
{
    LibraryString s;
    s.assign(std::string(40, 'a').c_str(), 40);
    QCOMPARE(s.capacity(), 40u); // first heap buffer: exactly the request
    s.assign(std::string(50, 'b').c_str(), 50);
    QCOMPARE(s.capacity(), 80u); // doubled
    s.assign(std::string(200, 'c').c_str(), 200);
    QCOMPARE(s.capacity(), 200u); // the request beats the doubling
    s.assign("short", 5);
    QCOMPARE(s.capacity(), 200u); // a heap buffer is kept once there
    QVERIFY(!s.isInline());
    QCOMPARE(str(s), std::string("short"));
}

void PlatformBaseTest::emptyAssignmentClearsText()
{
    LibraryString small("abc");
    small.assign("", 0);
    QCOMPARE(small.length(), 0u);
    QCOMPARE(small.data()[0], '\0');

    LibraryString large(std::string(60, 'z').c_str());
    large.assign("", 0);
    QCOMPARE(large.length(), 0u);
    QCOMPARE(std::strlen(large.data()), size_t(0));
}

void PlatformBaseTest::appendGrowthAndSelfAppend()
{
    LibraryString s(std::string(30, 'a').c_str());
    s.append("bbb", 3);
    QVERIFY(s.isInline()); // 33 bytes
    s.append("c", 1);
    QVERIFY(!s.isInline());
    QCOMPARE(s.capacity(), 34u); // exactly the new length
    QCOMPARE(str(s), std::string(30, 'a') + "bbbc");

    // Appending a part of itself, both inline and when it forces a new buffer.
    LibraryString inlineText("hello ");
    inlineText.append(inlineText.data(), 5);
    QCOMPARE(str(inlineText), std::string("hello hello"));
    LibraryString grown(std::string(20, 'q').c_str());
    grown.append(grown.data() + 2, 18);
    QCOMPARE(str(grown), std::string(38, 'q'));
    s.append(s.data(), s.length());
    QCOMPARE(str(s), std::string(30, 'a') + "bbbc" + std::string(30, 'a') + "bbbc");
}

void PlatformBaseTest::slicing()
{
    const LibraryString s("abcdef");
    QCOMPARE(str(s.left(3)), std::string("abc"));
    QCOMPARE(str(s.left(99)), std::string("abcdef"));
    QCOMPARE(str(s.tail(4)), std::string("ef"));
    QCOMPARE(str(s.tail(6)), std::string());
    QCOMPARE(str(s.tail(60)), std::string());
}

void PlatformBaseTest::searching()
{
    const LibraryString s("a/b.exe/c.exe");
    QCOMPARE(s.find(".exe"), 3);
    QCOMPARE(s.find(""), 0);
    QCOMPARE(s.find("exe/c.exe/"), -1);
    QCOMPARE(s.find("x"), 5);
    QCOMPARE(s.findLastOf("./"), 9);
    QCOMPARE(s.findLastOf("#"), -1);
    QCOMPARE(s.findLastSeparator(), 7);
    QCOMPARE(LibraryString("name").findLastSeparator(), -1);
    QCOMPARE(LibraryString().find(""), 0);
    QCOMPARE(LibraryString().find("a"), -1);
}

void PlatformBaseTest::pathCombine_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QByteArray>("joined");
    QTest::newRow("plain") << QByteArray("/tmp") << QByteArray("Ostrel") << QByteArray("/tmp/Ostrel");
    QTest::newRow("trailing and leading") << QByteArray("/tmp/") << QByteArray("/Dumps") << QByteArray("/tmp/Dumps");
    QTest::newRow("root") << QByteArray("/") << QByteArray("x") << QByteArray("/x");
    QTest::newRow("empty first") << QByteArray() << QByteArray("x") << QByteArray("x");
    QTest::newRow("empty second") << QByteArray("/a") << QByteArray() << QByteArray("/a");
    const QByteArray longPart(400, 'p');
    QTest::newRow("longer than 260") << longPart << longPart << longPart + '/' + longPart;
}

void PlatformBaseTest::pathCombine()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, joined);
    const LibraryString result = path_combine(LibraryString(first.constData()), LibraryString(second.constData()));
    QCOMPARE(QByteArray(result.data(), int(result.length())), joined);
}

void PlatformBaseTest::streamFormats()
{
    TextStream stream;
    const unsigned char raw[] = {'r', 'a', 'w'};
    stream.write("by\0tes", 6).write(raw, 3) << '|';
    stream << 18446744073709551615ull << '|' << -5L << '|' << -9223372036854775807LL << '|';
    stream << short(-3) << '|' << static_cast<unsigned short>(65535) << '|' << 4294967295ul << '|';
    stream << 1.5f << '|' << -42 << '|' << true << false << '|';
    stream << reinterpret_cast<const void *>(0xdeadbeefULL) << '|' << static_cast<const void *>(nullptr) << '|';
    stream << LibraryString("lib") << '|' << 0.1 << '|' << 4000000000u << '|';
    stream << "text" << static_cast<const char *>(nullptr) << '|';

    const LibraryString text = stream.text();
    const std::string expected =
        std::string("by\0tes", 6)
        + "raw|18446744073709551615|-5|-9223372036854775807|-3|65535|4294967295|1.5|-42|10|0xdeadbeef||lib|0.1|"
          "4000000000|text|";
    QCOMPARE(str(text), expected);
}

void PlatformBaseTest::logPrefix()
{
    std::tm time = {};
    time.tm_year = 2024 - 1900;
    time.tm_mon = 5;
    time.tm_mday = 10;
    time.tm_hour = 14;
    time.tm_min = 3;
    time.tm_sec = 7;
    QCOMPARE(str(Logger::timePrefix(time, 42)), std::string("06-10-24 14:03:07.042 "));
}

void PlatformBaseTest::assertionReport()
{
    RecordingSink sink;
    QVERIFY(Logger::instance()->addSink(&sink));
    report_assertion_failure("m_lock.RecursionCount == 1", "OstrelSystem::LockImpl::Lock", 38);
    report_assertion_failure(std::string(600, 'e').c_str(), "f", 1);
    Logger::instance()->removeSink(&sink);

    QCOMPARE(sink.records.size(), size_t(2));
    const Record &first = sink.records[0];
    QCOMPARE(first.message, std::string("Assertion Failure - 'm_lock.RecursionCount == 1'"));
    QCOMPARE(first.level, 1);
    QCOMPARE(first.category, std::string());
    QCOMPARE(first.function, std::string("OstrelSystem::LockImpl::Lock"));
    QCOMPARE(first.line, 38);
    QCOMPARE(sink.records[1].message.size(), size_t(255));
    QCOMPARE(sink.records[1].message.substr(0, 22), std::string("Assertion Failure - 'e"));
}

void PlatformBaseTest::logRecordOrder()
{
    RecordingSink first;
    RecordingSink second;
    Logger::instance()->addSink(&first);
    Logger::instance()->addSink(&second);
    Logger::instance()->log(3, "net", 77, "Owner::run", "the message");
    Logger::instance()->removeSink(&first);
    Logger::instance()->removeSink(&second);

    QCOMPARE(first.records.size(), size_t(1));
    QCOMPARE(second.records.size(), size_t(1));
    const Record &r = first.records[0];
    QCOMPARE(r.prefix.size(), std::string("06-10-24 14:03:07.042 ").size());
    QCOMPARE(r.prefix.back(), ' ');
    QCOMPARE(r.threadId, gettid());
    QCOMPARE(r.level, 3);
    QCOMPARE(r.category, std::string("net"));
    QCOMPARE(r.line, 77);
    QCOMPARE(r.function, std::string("Owner::run"));
    QCOMPARE(r.message, std::string("the message"));
}

TAVRI_TEST_GUILESS_MAIN(PlatformBaseTest)
#include "tst_platform_base.moc"
