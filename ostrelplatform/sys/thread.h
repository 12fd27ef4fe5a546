#pragma once

#include <sys/types.h>

namespace OstrelSystem {
namespace sys {

// The kernel's id of the calling thread (what the logger and the crash
// report record as the thread id).
pid_t current_thread_id();

} // namespace sys
} // namespace OstrelSystem
