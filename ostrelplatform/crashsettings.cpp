#include "crashsettings.h"

#include "platformalloc.h"

#include <new>
#include <pthread.h>

namespace OstrelSystem {

namespace {

pthread_once_t g_once = PTHREAD_ONCE_INIT;
CrashSettings *g_instance = nullptr;

} // namespace

CrashSettings *CrashSettings::instance()
{
    // Threads may start at the same moment; pthread_once makes exactly one.
    pthread_once(&g_once, [] {
        if (void *memory = platform_alloc(sizeof(CrashSettings)))
            g_instance = new (memory) CrashSettings;
    });
    return g_instance;
}

} // namespace OstrelSystem
