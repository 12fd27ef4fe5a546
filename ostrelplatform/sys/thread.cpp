#include "sys/thread.h"

#include <unistd.h>

namespace OstrelSystem {
namespace sys {

pid_t current_thread_id()
{
    return ::gettid();
}

} // namespace sys
} // namespace OstrelSystem
