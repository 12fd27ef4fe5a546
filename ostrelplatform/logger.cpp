#include "logger.h"

#include "librarystring.h"
#include "logsink.h"
#include "platformalloc.h"
#include "sys/clock.h"
#include "sys/criticalsection.h"
#include "sys/thread.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace OstrelSystem {

Logger::Logger()
{
    if (void *memory = platform_alloc(sizeof(sys::CriticalSection)))
        m_lock = new (memory) sys::CriticalSection;
}

Logger *Logger::instance()
{
    static Logger *const logger = [] {
        void *memory = platform_alloc(sizeof(Logger));
        return memory ? new (memory) Logger : nullptr;
    }();
    return logger;
}

LibraryString Logger::timePrefix(const std::tm &time, int milliseconds)
{
    char buffer[48];
    const int length =
        std::snprintf(buffer, sizeof buffer, "%02d-%02d-%02d %02d:%02d:%02d.%03d ", time.tm_mon + 1, time.tm_mday,
                      (time.tm_year + 1900) % 100, time.tm_hour, time.tm_min, time.tm_sec, milliseconds);
    return LibraryString(buffer, length > 0 ? static_cast<std::uint32_t>(length) : 0);
}

bool Logger::addSink(LogSink *sink)
{
    if (!sink || !m_lock)
        return false;
    m_lock->enter();
    bool added = true;
    if (m_sinkCount == m_sinkCapacity) {
        const unsigned capacity = m_sinkCapacity ? 2 * m_sinkCapacity : 4;
        auto **sinks = static_cast<LogSink **>(platform_alloc(capacity * sizeof(LogSink *)));
        if (sinks) {
            if (m_sinkCount)
                std::memcpy(sinks, m_sinks, m_sinkCount * sizeof(LogSink *));
            platform_free(m_sinks);
            m_sinks = sinks;
            m_sinkCapacity = capacity;
        } else {
            added = false;
        }
    }
    if (added)
        m_sinks[m_sinkCount++] = sink;
    m_lock->leave();
    return added;
}

void Logger::removeSink(LogSink *sink)
{
    if (!m_lock)
        return;
    m_lock->enter();
    for (unsigned i = 0; i < m_sinkCount; ++i) {
        if (m_sinks[i] == sink) {
            std::memmove(m_sinks + i, m_sinks + i + 1, (m_sinkCount - i - 1) * sizeof(LogSink *));
            --m_sinkCount;
            break;
        }
    }
    m_lock->leave();
}

void Logger::log(int level, const char *category, int line, const char *function, const char *message)
{
    if (!m_lock)
        return;
    std::tm now = {};
    int milliseconds = 0;
    sys::local_time(&now, &milliseconds);
    const LibraryString prefix = timePrefix(now, milliseconds);
    const pid_t threadId = sys::current_thread_id();

    m_lock->enter();
    // The logger's own lock is never taken twice: a sink that logs would
    // land here with a count of 2, and the report below would recurse.
    const bool nested = m_lock->recursionCount() != 1;
    if (!nested) {
        for (unsigned i = 0; i < m_sinkCount; ++i)
            m_sinks[i]->record(prefix, threadId, level, category ? category : "", line, function ? function : "",
                               message ? message : "");
    }
    m_lock->leave();
    if (nested) {
        static const char warning[] = "ostrelplatform: a log sink logged; the record was dropped\n";
        std::fwrite(warning, 1, sizeof warning - 1, stderr);
    }
}

void log_error(int line, const char *function, const char *message)
{
    if (Logger *logger = Logger::instance())
        logger->log(1, "", line, function, message);
}

void report_assertion_failure(const char *expression, const char *function, int line)
{
    char message[256];
    std::snprintf(message, sizeof message, "Assertion Failure - '%s'", expression ? expression : "");
    log_error(line, function, message);
}

} // namespace OstrelSystem
