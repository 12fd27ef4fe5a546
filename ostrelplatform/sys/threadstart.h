#pragma once

#include <cstdint>

namespace OstrelSystem {
namespace sys {

// Starts a detached thread that runs `entry(argument)` under the crash
// guard; stores its handle. Returns 0 or an errno value (ENOMEM when the
// start block cannot be had: no thread starts then).
std::uint32_t start_thread(unsigned long (*entry)(void *), void *argument, void **handle);

// The exit code of an ended thread: the low 32 bits of its entry's result.
// False while it runs, or for a handle that is not a live thread handle.
bool thread_exit_code(void *handle, std::uint32_t *code);

} // namespace sys
} // namespace OstrelSystem
