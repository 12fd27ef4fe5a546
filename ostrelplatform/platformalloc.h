#pragma once

// The one allocation pair of the platform library. Every block the library
// uses comes from platform_alloc and goes back through platform_free, so the
// memory can be redirected to hooks or pooled in size classes. Out of the box
// neither hooks nor the pool are on and the pair is malloc/free.

#include <cstddef>
#include <cstdint>

namespace OstrelSystem {

void *platform_alloc(unsigned size);
void platform_free(void *pointer);

// Hooks take over every allocation and release when both are set.
using AllocationHook = void *(*)(unsigned size);
using ReleaseHook = void (*)(void *pointer);
void set_allocation_hooks(AllocationHook allocate, ReleaseHook release);

// Pool set-up. Switches and the class table must be set before the
// library's first allocation; nothing in the product turns the pool on.
constexpr int kPoolClassCount = 9;
constexpr unsigned kBlockHeaderSize = 32;

struct PoolCounters {
    std::uint64_t bytesInUse = 0;
    std::uint64_t bytesPooled = 0;
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
};

void pool_configure(const std::uint16_t (&blockSizes)[kPoolClassCount], bool enabled, bool neverRelease);
PoolCounters pool_counters();

// The 32-byte header in front of every pooled block.
struct BlockHeader {
    char tag[8];         // "pelkatun", no terminator
    std::uint32_t size;  // requested size
    std::uint16_t flags; // kBlockInUse, kBlockPinned
    std::uint16_t reserved0;
    BlockHeader *next; // free-list link; 8 bytes on 64-bit builds
#if UINTPTR_MAX == 0xffffffffu
    std::uint32_t reserved1[3];
#else
    std::uint32_t reserved1[2];
#endif
};
static_assert(sizeof(BlockHeader) == kBlockHeaderSize, "the block header is 32 bytes");
static_assert(offsetof(BlockHeader, next) == 16, "the free-list link starts at byte 16");

constexpr std::uint16_t kBlockPinned = 1;
constexpr std::uint16_t kBlockInUse = 2;
constexpr char kBlockTag[8] = {'p', 'e', 'l', 'k', 'a', 't', 'u', 'n'};

} // namespace OstrelSystem
