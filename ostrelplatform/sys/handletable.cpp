#include "sys/handletable.h"

#include "platformalloc.h"
#include "sys/handlerecord.h"
#include "sys/mutex.h"

#include <cstdint>
#include <cstring>

namespace OstrelSystem {
namespace sys {

namespace {

constexpr unsigned kSlotBits = sizeof(void *) == 8 ? 32 : 16;
constexpr std::uintptr_t kSlotMask = (std::uintptr_t(1) << kSlotBits) - 1;
constexpr std::uint32_t kMaxSlots = static_cast<std::uint32_t>(kSlotMask - 1);

struct Slot {
    HandleRecord *record;
    std::uint32_t generation;
};

Mutex g_mutex;
Slot *g_slots = nullptr;
std::uint32_t g_slotCount = 0;
std::uint32_t g_searchFrom = 0;

void *encode(std::uint32_t slot, std::uint32_t generation)
{
    const std::uintptr_t generationBits = generation & (sizeof(void *) == 8 ? 0xffffffffu : 0xffffu);
    return reinterpret_cast<void *>((generationBits << kSlotBits) | (std::uintptr_t(slot) + 1));
}

// The slot a handle names, when it is a live one; under g_mutex.
Slot *find(void *handle)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    const std::uintptr_t slotNumber = value & kSlotMask;
    if (slotNumber == 0 || slotNumber > g_slotCount)
        return nullptr;
    Slot *slot = &g_slots[slotNumber - 1];
    if (!slot->record || encode(static_cast<std::uint32_t>(slotNumber - 1), slot->generation) != handle)
        return nullptr;
    return slot;
}

bool grow()
{
    const std::uint64_t count = g_slotCount ? 2ull * g_slotCount : 64;
    if (count > kMaxSlots || count * sizeof(Slot) > 0xffffffffull)
        return false;
    auto *slots = static_cast<Slot *>(platform_alloc(static_cast<unsigned>(count * sizeof(Slot))));
    if (!slots)
        return false;
    std::memset(slots, 0, static_cast<std::size_t>(count * sizeof(Slot)));
    if (g_slotCount)
        std::memcpy(slots, g_slots, g_slotCount * sizeof(Slot));
    platform_free(g_slots);
    g_slots = slots;
    g_slotCount = static_cast<std::uint32_t>(count);
    return true;
}

} // namespace

void *HandleTable::insert(HandleRecord *record)
{
    MutexLocker locker(g_mutex);
    for (std::uint32_t pass = 0; pass < 2; ++pass) {
        for (std::uint32_t i = 0; i < g_slotCount; ++i) {
            const std::uint32_t index = (g_searchFrom + i) % g_slotCount;
            Slot &slot = g_slots[index];
            if (slot.record)
                continue;
            slot.record = record;
            ++slot.generation;
            g_searchFrom = index + 1;
            return encode(index, slot.generation);
        }
        if (!grow())
            return nullptr;
    }
    return nullptr;
}

HandleRecord *HandleTable::acquire(void *handle)
{
    MutexLocker locker(g_mutex);
    Slot *slot = find(handle);
    if (!slot)
        return nullptr;
    slot->record->acquire();
    return slot->record;
}

bool HandleTable::close(void *handle)
{
    HandleRecord *record = nullptr;
    {
        MutexLocker locker(g_mutex);
        Slot *slot = find(handle);
        if (!slot)
            return false;
        record = slot->record;
        slot->record = nullptr;
    }
    record->release();
    return true;
}

} // namespace sys
} // namespace OstrelSystem
