#pragma once

#include <cstddef>

namespace OstrelSystem {
namespace sys {

void *heap_alloc(std::size_t size);
void heap_free(void *pointer);

// Copies `size` bytes from `address` into `out` without touching memory that
// may be unmapped or poisoned: true when every byte could be read.
bool read_foreign_bytes(const void *address, void *out, std::size_t size);

} // namespace sys
} // namespace OstrelSystem
