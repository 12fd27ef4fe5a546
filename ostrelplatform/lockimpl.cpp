#include "lockimpl.h"

#include "logger.h"
#include "platformalloc.h"
#include "sys/criticalsection.h"

#include <new>

namespace OstrelSystem {

namespace {

constexpr const char kRecursionCheck[] = "m_lock.RecursionCount == 1";

} // namespace

LockImpl *LockImpl::create()
{
    void *implMemory = platform_alloc(sizeof(LockImpl));
    void *lockMemory = platform_alloc(sizeof(sys::CriticalSection));
    if (!implMemory || !lockMemory) {
        platform_free(implMemory);
        platform_free(lockMemory);
        return nullptr;
    }
    LockImpl *impl = new (implMemory) LockImpl;
    impl->m_lock = new (lockMemory) sys::CriticalSection;
    return impl;
}

void LockImpl::destroy(LockImpl *impl)
{
    if (!impl)
        return;
    impl->m_lock->~CriticalSection();
    platform_free(impl->m_lock);
    impl->~LockImpl();
    platform_free(impl);
}

void LockImpl::Lock()
{
    m_lock->enter();
    if (m_lock->recursionCount() != 1)
        report_assertion_failure(kRecursionCheck, "OstrelSystem::LockImpl::Lock", 38);
}

void LockImpl::Unlock()
{
    if (m_lock->recursionCount() != 1)
        report_assertion_failure(kRecursionCheck, "OstrelSystem::LockImpl::Unlock", 41);
    m_lock->leave();
}

} // namespace OstrelSystem
