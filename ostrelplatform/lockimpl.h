#pragma once

namespace OstrelSystem {

namespace sys {
class CriticalSection;
}

// The lock behind oxplatform::Lock: a critical section used as a
// non-recursive mutex, whose misuse is reported to the library log.
class LockImpl
{
public:
    // Null when the memory cannot be had.
    static LockImpl *create();
    static void destroy(LockImpl *impl);

    void Lock();
    void Unlock();

private:
    LockImpl() = default;

    sys::CriticalSection *m_lock = nullptr;
};

} // namespace OstrelSystem
