#include "sys/memory.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/uio.h>
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

bool read_bytes_before(const void *block, std::size_t distance, void *out, std::size_t size)
{
    static const std::uintptr_t pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block) - distance;
    const void *address = reinterpret_cast<const void *>(start);
    if (size > distance)
        return false;
    if (start / pageSize == reinterpret_cast<std::uintptr_t>(block) / pageSize) {
        // On the block's own page, which is mapped and readable.
        copy_unchecked(address, out, size);
        return true;
    }
    // The range begins on the page before the block, which may be unmapped
    // or a guard page when the block starts a mapping of its own: let the
    // kernel read it, which fails with EFAULT instead of faulting.
    struct iovec local = {out, size};
    struct iovec remote = {const_cast<void *>(address), size};
    if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size))
        return true;
    if (errno == EFAULT)
        return false;
    // The call itself is refused here (a sandbox): fall back to asking
    // whether the page is mapped at all.
    unsigned char residency;
    void *page = reinterpret_cast<void *>(start - start % pageSize);
    if (mincore(page, pageSize, &residency) != 0)
        return false;
    copy_unchecked(address, out, size);
    return true;
}

} // namespace sys
} // namespace OstrelSystem
