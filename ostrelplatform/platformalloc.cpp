#include "platformalloc.h"

#include "sys/memory.h"
#include "sys/mutex.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace OstrelSystem {

namespace {

struct PoolClass {
    std::uint16_t blockSize = 0;
    BlockHeader *freeList = nullptr;
};

struct Pool {
    bool enabled = false;
    bool neverRelease = false;
    PoolClass classes[kPoolClassCount];
    sys::Mutex mutex;
    PoolCounters counters;
};

Pool g_pool;
AllocationHook g_allocationHook = nullptr;
ReleaseHook g_releaseHook = nullptr;

// First class in table order whose blocks hold `size` bytes, or null.
PoolClass *class_for(std::uint32_t size)
{
    for (PoolClass &poolClass : g_pool.classes) {
        if (poolClass.blockSize != 0 && poolClass.blockSize >= size)
            return &poolClass;
    }
    return nullptr;
}

[[noreturn]] void fatal_release(const void *pointer, const char *why)
{
    // The heap is in doubt: write straight to the error output and stop.
    char line[160];
    const int length = std::snprintf(line, sizeof line, "ostrelplatform: fatal: release of %p: %s\n", pointer, why);
    if (length > 0)
        (void)!::write(STDERR_FILENO, line, static_cast<std::size_t>(length));
    std::abort();
}

void *pool_alloc(unsigned size)
{
    PoolClass *poolClass = nullptr;
    {
        sys::MutexLocker locker(g_pool.mutex);
        g_pool.counters.bytesInUse += size;
        poolClass = class_for(size);
        if (poolClass && poolClass->freeList) {
            BlockHeader *header = poolClass->freeList;
            poolClass->freeList = header->next;
            header->next = nullptr;
            header->flags = kBlockInUse;
            header->size = size;
            ++g_pool.counters.hits;
            g_pool.counters.bytesPooled -= poolClass->blockSize;
            return reinterpret_cast<char *>(header) + kBlockHeaderSize;
        }
        ++g_pool.counters.misses;
    }
    const std::uint64_t body = poolClass ? poolClass->blockSize : size;
    const std::uint64_t total = body + kBlockHeaderSize;
    if (total > 0xffffffffu) {
        sys::MutexLocker locker(g_pool.mutex);
        g_pool.counters.bytesInUse -= size;
        return nullptr;
    }
    auto *header = static_cast<BlockHeader *>(sys::heap_alloc(static_cast<std::size_t>(total)));
    if (!header) {
        sys::MutexLocker locker(g_pool.mutex);
        g_pool.counters.bytesInUse -= size;
        return nullptr;
    }
    std::memset(header, 0, sizeof *header);
    std::memcpy(header->tag, kBlockTag, sizeof kBlockTag);
    header->size = size;
    header->flags = kBlockInUse;
    return reinterpret_cast<char *>(header) + kBlockHeaderSize;
}

void pool_free(void *pointer)
{
    char *start = static_cast<char *>(pointer) - kBlockHeaderSize;
    char tag[sizeof kBlockTag];
    if (!sys::read_bytes_before(pointer, kBlockHeaderSize, tag, sizeof tag)
        || std::memcmp(tag, kBlockTag, sizeof tag) != 0) {
        sys::heap_free(pointer); // not one of ours
        return;
    }
    auto *header = reinterpret_cast<BlockHeader *>(start);
    if (!(header->flags & kBlockInUse))
        fatal_release(pointer, "the block is not in use (released twice?)");
    if (header->flags & kBlockPinned)
        fatal_release(pointer, "the block is pinned");

    sys::MutexLocker locker(g_pool.mutex);
    g_pool.counters.bytesInUse -= header->size;
    PoolClass *poolClass = class_for(header->size);
    header->flags = static_cast<std::uint16_t>(header->flags & ~kBlockInUse);
    if (!poolClass) {
        // Wipe the tag, so that the stale bytes can never make a later
        // foreign block that lands here look like one of ours.
        std::memset(header->tag, 0, sizeof header->tag);
        sys::heap_free(header);
        return;
    }
    header->next = poolClass->freeList;
    poolClass->freeList = header;
    g_pool.counters.bytesPooled += poolClass->blockSize;
}

} // namespace

void *platform_alloc(unsigned size)
{
    if (g_allocationHook)
        return g_allocationHook(size);
    if (!g_pool.enabled)
        return sys::heap_alloc(size);
    return pool_alloc(size);
}

void platform_free(void *pointer)
{
    if (!pointer)
        return;
    if (g_releaseHook) {
        g_releaseHook(pointer);
        return;
    }
    if (!g_pool.enabled) {
        if (!g_pool.neverRelease)
            sys::heap_free(pointer);
        return;
    }
    pool_free(pointer);
}

void set_allocation_hooks(AllocationHook allocate, ReleaseHook release)
{
    const bool both = allocate && release;
    g_allocationHook = both ? allocate : nullptr;
    g_releaseHook = both ? release : nullptr;
}

void pool_configure(const std::uint16_t (&blockSizes)[kPoolClassCount], bool enabled, bool neverRelease)
{
    sys::MutexLocker locker(g_pool.mutex);
    for (int i = 0; i < kPoolClassCount; ++i)
        g_pool.classes[i].blockSize = blockSizes[i];
    g_pool.enabled = enabled;
    g_pool.neverRelease = neverRelease;
}

PoolCounters pool_counters()
{
    sys::MutexLocker locker(g_pool.mutex);
    return g_pool.counters;
}

} // namespace OstrelSystem
