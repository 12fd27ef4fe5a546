#include "oxplatform.h"

#include "lockimpl.h"
#include "logger.h"

namespace oxplatform {

Lock::Lock()
    : m_impl(OstrelSystem::LockImpl::create())
{
}

Lock::~Lock()
{
    OstrelSystem::LockImpl::destroy(m_impl);
}

Lock &Lock::operator=(const Lock &other)
{
    m_impl = other.m_impl;
    return *this;
}

void Lock::Take()
{
    if (m_impl)
        m_impl->Lock();
    else
        OstrelSystem::log_error(__LINE__, "oxplatform::Lock::Take", "the lock could not be created");
}

void Lock::Release()
{
    if (m_impl)
        m_impl->Unlock();
    else
        OstrelSystem::log_error(__LINE__, "oxplatform::Lock::Release", "the lock could not be created");
}

} // namespace oxplatform
