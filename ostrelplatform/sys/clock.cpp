#include "sys/clock.h"

#include <time.h>

namespace OstrelSystem {
namespace sys {

void local_time(std::tm *brokenDown, int *milliseconds)
{
    struct timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    localtime_r(&now.tv_sec, brokenDown);
    *milliseconds = static_cast<int>(now.tv_nsec / 1000000);
}

std::int64_t unix_time()
{
    return static_cast<std::int64_t>(::time(nullptr));
}

} // namespace sys
} // namespace OstrelSystem
