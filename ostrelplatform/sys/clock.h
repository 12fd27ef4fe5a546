#pragma once

#include <cstdint>
#include <ctime>

namespace OstrelSystem {
namespace sys {

// The local wall-clock time, broken down, and its milliseconds.
void local_time(std::tm *brokenDown, int *milliseconds);

// Seconds since 1970-01-01 00:00 UTC. Async-signal-safe.
std::int64_t unix_time();

} // namespace sys
} // namespace OstrelSystem
