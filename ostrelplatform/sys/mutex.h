#pragma once

#include <pthread.h>

namespace OstrelSystem {
namespace sys {

// A plain, non-recursive mutex for short internal sections (the pool, the
// handle table). Constant-initialised so it is usable before any constructor.
class Mutex
{
public:
    constexpr Mutex() = default;
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;

    void lock() { pthread_mutex_lock(&m_mutex); }
    void unlock() { pthread_mutex_unlock(&m_mutex); }

private:
    pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
};

class MutexLocker
{
public:
    explicit MutexLocker(Mutex &mutex)
        : m_mutex(mutex)
    {
        m_mutex.lock();
    }
    ~MutexLocker() { m_mutex.unlock(); }
    MutexLocker(const MutexLocker &) = delete;
    MutexLocker &operator=(const MutexLocker &) = delete;

private:
    Mutex &m_mutex;
};

} // namespace sys
} // namespace OstrelSystem
