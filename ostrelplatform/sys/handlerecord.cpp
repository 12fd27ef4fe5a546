#include "sys/handlerecord.h"

#include "platformalloc.h"

#include <cerrno>
#include <ctime>
#include <new>

namespace OstrelSystem {
namespace sys {

namespace {

std::atomic<int> g_liveRecords{0};

timespec deadline_after(int milliseconds)
{
    timespec deadline = {};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    return deadline;
}

} // namespace

HandleRecord *HandleRecord::create(Kind kind, int references)
{
    void *memory = platform_alloc(sizeof(HandleRecord));
    if (!memory)
        return nullptr;
    HandleRecord *record = new (memory) HandleRecord;
    record->m_kind = kind;
    record->m_references.store(references);
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    const bool ready =
        pthread_mutex_init(&record->m_mutex, nullptr) == 0 && pthread_cond_init(&record->m_condition, &attributes) == 0;
    pthread_condattr_destroy(&attributes);
    if (!ready) {
        record->~HandleRecord();
        platform_free(memory);
        return nullptr;
    }
    ++g_liveRecords;
    return record;
}

void HandleRecord::acquire()
{
    m_references.fetch_add(1);
}

void HandleRecord::release()
{
    if (m_references.fetch_sub(1) != 1)
        return;
    pthread_cond_destroy(&m_condition);
    pthread_mutex_destroy(&m_mutex);
    this->~HandleRecord();
    platform_free(this);
    --g_liveRecords;
}

void HandleRecord::set()
{
    pthread_mutex_lock(&m_mutex);
    m_signalled = true;
    pthread_cond_signal(&m_condition); // auto-reset: one waiter takes it
    pthread_mutex_unlock(&m_mutex);
}

std::uint32_t HandleRecord::wait(int timeoutMs)
{
    pthread_mutex_lock(&m_mutex);
    if (timeoutMs < 0) {
        while (!m_signalled)
            pthread_cond_wait(&m_condition, &m_mutex);
    } else {
        const timespec deadline = deadline_after(timeoutMs);
        // Spurious wake-ups and wakes taken by another waiter loop back.
        while (!m_signalled) {
            if (pthread_cond_timedwait(&m_condition, &m_mutex, &deadline) == ETIMEDOUT)
                break;
        }
    }
    const bool signalled = m_signalled;
    if (signalled && m_kind == Kind::Event)
        m_signalled = false;
    pthread_mutex_unlock(&m_mutex);
    return signalled ? 0u : 0x40000u;
}

void HandleRecord::finish(std::uint32_t exitCode)
{
    pthread_mutex_lock(&m_mutex);
    m_exitCode = exitCode;
    m_finished = true;
    m_signalled = true; // stays set: a thread handle resets never
    pthread_cond_broadcast(&m_condition);
    pthread_mutex_unlock(&m_mutex);
}

bool HandleRecord::exitCode(std::uint32_t *code)
{
    pthread_mutex_lock(&m_mutex);
    const bool finished = m_finished;
    if (finished)
        *code = m_exitCode;
    pthread_mutex_unlock(&m_mutex);
    return finished;
}

int HandleRecord::liveCount()
{
    return g_liveRecords.load();
}

} // namespace sys
} // namespace OstrelSystem
