#pragma once

#include <cstddef>

namespace OstrelSystem {
namespace sys {

void *heap_alloc(std::size_t size);
void heap_free(void *pointer);

// Copies `size` bytes from `distance` bytes in front of `block` (a block of
// unknown origin) into `out`, without faulting on memory that is unmapped or
// unreadable: true when every byte could be read. `size` <= `distance`.
bool read_bytes_before(const void *block, std::size_t distance, void *out, std::size_t size);

} // namespace sys
} // namespace OstrelSystem
