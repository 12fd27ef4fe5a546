// A small program that crashes on request inside the platform library's
// crash guard, so the tests can look at what the guard leaves behind.
//
//   oxcrashprobe segv | abort | throw | two | quiet | thread | report

#include "crashguard.h"
#include "oxplatform.h"
#include "sys/crashhandler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <stdexcept>

namespace {

// Built without the null-pointer and address checks so that the write really
// faults and the process receives SIGSEGV.
__attribute__((noinline, no_sanitize("address", "null", "undefined"))) void write_through_null()
{
    volatile int *volatile target = nullptr;
    *target = 42;
}

unsigned long crash_by_null(void *)
{
    write_through_null();
    return 0;
}

unsigned long crash_by_abort(void *)
{
    std::abort();
}

unsigned long crash_by_throw(void *)
{
    throw std::runtime_error("escapes the entry");
}

unsigned long quiet(void *)
{
    return 7;
}

pthread_barrier_t g_barrier;

void *crash_together(void *)
{
    OstrelSystem::run_guarded(
        [](void *) -> unsigned long {
            pthread_barrier_wait(&g_barrier);
            write_through_null();
            return 0;
        },
        nullptr);
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "segv") == 0)
        OstrelSystem::run_guarded(crash_by_null, nullptr);
    else if (std::strcmp(mode, "abort") == 0)
        OstrelSystem::run_guarded(crash_by_abort, nullptr);
    else if (std::strcmp(mode, "throw") == 0)
        OstrelSystem::run_guarded(crash_by_throw, nullptr);
    else if (std::strcmp(mode, "report") == 0) {
        // A report asked for outside any crash records the current context.
        OstrelSystem::run_guarded(quiet, nullptr);
        OstrelSystem::sys::write_crash_report(0, nullptr, nullptr);
        return 0;
    } else if (std::strcmp(mode, "quiet") == 0)
        return static_cast<int>(OstrelSystem::run_guarded(quiet, nullptr));
    else if (std::strcmp(mode, "thread") == 0) {
        // A thread started through the library's export crashes.
        void *thread = nullptr;
        if (oxplatform::create_thread(crash_by_null, nullptr, &thread, 0, 0) == 0)
            oxplatform::wait_event(thread, -1);
    } else if (std::strcmp(mode, "two") == 0) {
        // Prepare first, so both threads reach the handler at the same time.
        OstrelSystem::run_guarded(quiet, nullptr);
        pthread_barrier_init(&g_barrier, nullptr, 2);
        pthread_t threads[2];
        for (pthread_t &thread : threads)
            pthread_create(&thread, nullptr, crash_together, nullptr);
        for (pthread_t &thread : threads)
            pthread_join(thread, nullptr);
    }
    std::fprintf(stderr, "oxcrashprobe: no crash in mode '%s'\n", mode);
    return 3;
}
