#include "sys/threadstart.h"

#include "crashguard.h"
#include "platformalloc.h"
#include "sys/handlerecord.h"
#include "sys/handletable.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>

namespace OstrelSystem {
namespace sys {

namespace {

constexpr unsigned kAlternateStackBytes = 64 * 1024;

struct StartBlock {
    unsigned long (*entry)(void *);
    void *argument;
    HandleRecord *record;
};

void *thread_trampoline(void *parameter)
{
    // A stack of its own for the crash handler, so a report can be written
    // even when the thread's stack is what broke.
    void *alternateStack = platform_alloc(kAlternateStackBytes);
    if (alternateStack) {
        stack_t stack = {};
        stack.ss_sp = alternateStack;
        stack.ss_size = kAlternateStackBytes;
        if (sigaltstack(&stack, nullptr) != 0) {
            platform_free(alternateStack);
            alternateStack = nullptr;
        }
    }

    auto *block = static_cast<StartBlock *>(parameter);
    const StartBlock start = *block;
    platform_free(block);

    const unsigned long result = run_guarded(start.entry, start.argument);
    start.record->finish(static_cast<std::uint32_t>(result));
    start.record->release();

    if (alternateStack) {
        stack_t stack = {};
        stack.ss_flags = SS_DISABLE;
        sigaltstack(&stack, nullptr);
        platform_free(alternateStack);
    }
    return nullptr;
}

} // namespace

std::uint32_t start_thread(unsigned long (*entry)(void *), void *argument, void **handle)
{
    if (!entry || !handle)
        return EINVAL;
    auto *block = static_cast<StartBlock *>(platform_alloc(sizeof(StartBlock)));
    if (!block)
        return ENOMEM;
    // One reference for the handle, one for the running thread.
    HandleRecord *record = HandleRecord::create(HandleRecord::Kind::Thread, 2);
    if (!record) {
        platform_free(block);
        return ENOMEM;
    }
    void *newHandle = HandleTable::insert(record);
    if (!newHandle) {
        record->release();
        record->release();
        platform_free(block);
        return ENOMEM;
    }
    *block = {entry, argument, record};

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, thread_trampoline, block);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        HandleTable::close(newHandle);
        record->release();
        platform_free(block);
        return static_cast<std::uint32_t>(result);
    }
    *handle = newHandle;
    return 0;
}

bool thread_exit_code(void *handle, std::uint32_t *code)
{
    HandleRecord *record = HandleTable::acquire(handle);
    if (!record)
        return false;
    const bool ended = record->kind() == HandleRecord::Kind::Thread && record->exitCode(code);
    record->release();
    return ended;
}

} // namespace sys
} // namespace OstrelSystem
