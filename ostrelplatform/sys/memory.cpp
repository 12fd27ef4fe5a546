#include "sys/memory.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace OstrelSystem {
namespace sys {

void *heap_alloc(std::size_t size)
{
    return std::malloc(size);
}

void heap_free(void *pointer)
{
    std::free(pointer);
}

namespace {

// The bytes in front of a foreign block are not ours: under AddressSanitizer
// they are a redzone, so this read is deliberately left uninstrumented.
__attribute__((no_sanitize("address"))) void copy_unchecked(const void *address, void *out, std::size_t size)
{
    const volatile unsigned char *from = static_cast<const volatile unsigned char *>(address);
    unsigned char *to = static_cast<unsigned char *>(out);
    for (std::size_t i = 0; i < size; ++i)
        to[i] = from[i];
}

} // namespace

bool read_foreign_bytes(const void *address, void *out, std::size_t size)
{
    static const std::uintptr_t pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t end = start + size; // the first byte of the block itself
    if (start / pageSize != end / pageSize) {
        // The range begins on the page before the block, which is unmapped
        // when the block starts a mapping of its own: ask the kernel first.
        unsigned char residency;
        void *page = reinterpret_cast<void *>(start - start % pageSize);
        if (mincore(page, pageSize, &residency) != 0)
            return false;
    }
    copy_unchecked(address, out, size);
    return true;
}

} // namespace sys
} // namespace OstrelSystem
