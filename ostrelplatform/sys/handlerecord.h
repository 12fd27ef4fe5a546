#pragma once

#include <atomic>
#include <cstdint>
#include <pthread.h>

namespace OstrelSystem {
namespace sys {

// What a thread or event handle stands for: a signalled flag with a mutex
// and a condition variable on the monotonic clock, plus a thread's exit
// code. Reference-counted: the handle holds one reference, every wait in
// progress and a running thread one more each.
class HandleRecord
{
public:
    enum class Kind { Event, Thread };

    // Null when memory or the primitives cannot be had.
    static HandleRecord *create(Kind kind, int references);
    void acquire();
    void release();

    Kind kind() const { return m_kind; }

    void set();
    // 0 when signalled, 0x40000 on time-out; negative waits without limit.
    std::uint32_t wait(int timeoutMs);
    // Marks a thread as ended with its exit code; wakes every waiter.
    void finish(std::uint32_t exitCode);
    bool exitCode(std::uint32_t *code);

    // Records alive in the process (for the tests' leak checks).
    static int liveCount();

private:
    HandleRecord() = default;

    Kind m_kind = Kind::Event;
    std::atomic<int> m_references{1};
    pthread_mutex_t m_mutex;
    pthread_cond_t m_condition;
    bool m_signalled = false;
    bool m_finished = false;
    std::uint32_t m_exitCode = 0;
};

} // namespace sys
} // namespace OstrelSystem
