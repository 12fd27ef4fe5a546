#pragma once

// The platform library's exports: threads, auto-reset events and a lock for
// the voice SDK. Every function returns 0 on success or an errno value.
// Handles belong to the caller and are closed with any of the three closing
// functions; a closed or unknown handle is reported (EBADF), never used.

#include <cstdint>

#define OXPLATFORM_EXPORT __attribute__((visibility("default")))

namespace OstrelSystem {
class LockImpl;
}

namespace oxplatform {

// A non-recursive lock. Taking it twice on one thread, or releasing it when
// not held exactly once, is reported to the library log (the take still
// succeeds one level deeper; the release still leaves). A copy shares the
// original's lock, and only one of the two may be destroyed.
class OXPLATFORM_EXPORT Lock
{
public:
    Lock();
    ~Lock();
    Lock &operator=(const Lock &other);

    void Take();
    void Release();

private:
    OstrelSystem::LockImpl *m_impl;
};

using ThreadEntry = unsigned long (*)(void *);

// Starts `entry(argument)` on a new thread under the crash guard and stores
// its handle. The stack size and priority are accepted and ignored.
OXPLATFORM_EXPORT std::uint32_t create_thread(ThreadEntry entry, void *argument, void **handle, unsigned stackSize,
                                              int priority);
OXPLATFORM_EXPORT std::uint32_t close_thread_handle(void *handle);
// Closes the handle only: the thread runs on and ends by itself.
OXPLATFORM_EXPORT std::uint32_t delete_thread(void *handle);

// An auto-reset event, not signalled.
OXPLATFORM_EXPORT std::uint32_t create_event(void **handle);
OXPLATFORM_EXPORT std::uint32_t delete_event(void *handle);
OXPLATFORM_EXPORT std::uint32_t set_event(void *handle);

constexpr std::uint32_t kWaitSignalled = 0;
constexpr std::uint32_t kWaitTimedOut = 0x40000;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// Waits up to `timeoutMs` (negative: without limit) for the handle to be
// signalled; an event is reset by the wake. A thread handle is signalled
// once its entry has returned.
OXPLATFORM_EXPORT std::uint32_t wait_event(void *handle, int timeoutMs);

} // namespace oxplatform
