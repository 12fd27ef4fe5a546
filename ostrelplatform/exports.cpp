#include "oxplatform.h"

#include "sys/handlerecord.h"
#include "sys/handletable.h"
#include "sys/threadstart.h"

#include <cerrno>

using OstrelSystem::sys::HandleRecord;
using OstrelSystem::sys::HandleTable;

namespace oxplatform {

std::uint32_t create_thread(ThreadEntry entry, void *argument, void **handle, unsigned stackSize, int priority)
{
    // Every thread gets the default stack and the normal priority.
    (void)stackSize;
    (void)priority;
    return OstrelSystem::sys::start_thread(entry, argument, handle);
}

std::uint32_t close_thread_handle(void *handle)
{
    return HandleTable::close(handle) ? 0 : EBADF;
}

std::uint32_t delete_thread(void *handle)
{
    return close_thread_handle(handle);
}

std::uint32_t delete_event(void *handle)
{
    return close_thread_handle(handle);
}

std::uint32_t create_event(void **handle)
{
    if (!handle)
        return EINVAL;
    HandleRecord *record = HandleRecord::create(HandleRecord::Kind::Event, 1);
    if (!record)
        return ENOMEM;
    void *newHandle = HandleTable::insert(record);
    if (!newHandle) {
        record->release();
        return ENOMEM;
    }
    *handle = newHandle;
    return 0;
}

std::uint32_t set_event(void *handle)
{
    HandleRecord *record = HandleTable::acquire(handle);
    if (!record)
        return EBADF;
    const bool isEvent = record->kind() == HandleRecord::Kind::Event;
    if (isEvent)
        record->set();
    record->release();
    return isEvent ? 0 : EBADF;
}

std::uint32_t wait_event(void *handle, int timeoutMs)
{
    HandleRecord *record = HandleTable::acquire(handle);
    if (!record)
        return kWaitFailed;
    const std::uint32_t result = record->wait(timeoutMs);
    record->release();
    return result;
}

} // namespace oxplatform
