// The allocator with its pool switched on, as a host would configure it
// before the library's first allocation.

#include "platformalloc.h"
#include "testenvironment.h"

#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace OstrelSystem;

namespace {

const BlockHeader *header_of(const void *block)
{
    return reinterpret_cast<const BlockHeader *>(static_cast<const char *>(block) - kBlockHeaderSize);
}

// Runs `body` in a forked child and returns the signal it died of (0 when
// it exited normally).
template <typename Body>
int signalOfChild(Body body)
{
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

} // namespace

class PlatformPoolTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void blockHeader();
    void releasedBlockIsReused();
    void unpooledSizesGoBackToTheHeap();
    void foreignPointersAreFreedPlainly();
    void oversizedRequestFails();
    void doubleReleaseStopsTheProcess();
};

void PlatformPoolTest::initTestCase()
{
    const std::uint16_t classes[kPoolClassCount] = {16, 32, 64, 128, 256, 512, 1024, 2048, 4096};
    pool_configure(classes, true, false);
}

void PlatformPoolTest::blockHeader()
{
    void *block = platform_alloc(20);
    QVERIFY(block);
    const BlockHeader *header = header_of(block);
    QCOMPARE(QByteArray(header->tag, 8), QByteArray("pelkatun"));
    QCOMPARE(header->size, 20u);
    QCOMPARE(header->flags, kBlockInUse);
    QCOMPARE(header->next, static_cast<BlockHeader *>(nullptr));
    std::memset(block, 0xab, 32); // the class's whole block is usable
    platform_free(block);
}

void PlatformPoolTest::releasedBlockIsReused()
{
    void *first = platform_alloc(100); // class 128
    platform_free(first);
    const PoolCounters before = pool_counters();
    void *second = platform_alloc(120);
    QCOMPARE(second, first);
    const PoolCounters after = pool_counters();
    QCOMPARE(after.hits, before.hits + 1);
    QCOMPARE(after.misses, before.misses);
    QCOMPARE(after.bytesPooled, before.bytesPooled - 128);
    QCOMPARE(header_of(second)->size, 120u);
    QCOMPARE(header_of(second)->flags, kBlockInUse);

    // A request of another class does not take it.
    void *other = platform_alloc(300);
    QVERIFY(other != first);
    QCOMPARE(pool_counters().misses, after.misses + 1);
    platform_free(other);
    platform_free(second);
}

void PlatformPoolTest::unpooledSizesGoBackToTheHeap()
{
    const PoolCounters before = pool_counters();
    void *big = platform_alloc(10000);
    QVERIFY(big);
    std::memset(big, 1, 10000);
    platform_free(big);
    const PoolCounters after = pool_counters();
    QCOMPARE(after.misses, before.misses + 1);
    QCOMPARE(after.bytesPooled, before.bytesPooled);
    QCOMPARE(after.bytesInUse, before.bytesInUse);
}

void PlatformPoolTest::foreignPointersAreFreedPlainly()
{
    // Small and page-aligned foreign blocks: the bytes in front of them are
    // not ours, and may not even be mapped.
    platform_free(std::malloc(8));
    platform_free(std::malloc(1 << 20));
    void *aligned = nullptr;
    QCOMPARE(posix_memalign(&aligned, 4096, 4096), 0);
    platform_free(aligned);
}

void PlatformPoolTest::oversizedRequestFails()
{
    QCOMPARE(platform_alloc(0xffffffffu - 31), static_cast<void *>(nullptr));
    QCOMPARE(platform_alloc(0xffffffffu), static_cast<void *>(nullptr));
}

void PlatformPoolTest::doubleReleaseStopsTheProcess()
{
    const int signal = signalOfChild([] {
        void *block = platform_alloc(40);
        platform_free(block);
        platform_free(block);
    });
    QCOMPARE(signal, SIGABRT);
}

TAVRI_TEST_GUILESS_MAIN(PlatformPoolTest)
#include "tst_platform_base_pool.moc"
