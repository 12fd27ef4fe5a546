#pragma once

#include <atomic>
#include <pthread.h>
#include <sys/types.h>

namespace OstrelSystem {
namespace sys {

// A recursive mutex that knows its owner and how deep the owner holds it.
// pthreads keeps that count to itself, so it is kept here by hand; the lock
// and the logger check it to catch a thread taking a lock it already holds.
class CriticalSection
{
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void enter();
    void leave();

    // Depth of the calling thread's hold; 0 when another thread (or none)
    // holds it.
    int recursionCount() const;

private:
    pthread_mutex_t m_mutex;
    std::atomic<pid_t> m_owner{0};
    int m_recursionCount = 0;
};

} // namespace sys
} // namespace OstrelSystem
