#include "sys/criticalsection.h"

#include "sys/thread.h"

namespace OstrelSystem {
namespace sys {

CriticalSection::CriticalSection()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

CriticalSection::~CriticalSection()
{
    pthread_mutex_destroy(&m_mutex);
}

void CriticalSection::enter()
{
    pthread_mutex_lock(&m_mutex);
    m_owner = current_thread_id();
    ++m_recursionCount;
}

void CriticalSection::leave()
{
    if (m_owner != current_thread_id())
        return; // not held by this thread: leaving would corrupt the mutex
    if (--m_recursionCount == 0)
        m_owner = 0;
    pthread_mutex_unlock(&m_mutex);
}

int CriticalSection::recursionCount() const
{
    return m_owner == current_thread_id() ? m_recursionCount : 0;
}

} // namespace sys
} // namespace OstrelSystem
