#pragma once

#include <ctime>

namespace OstrelSystem {

class LibraryString;
class LogSink;
namespace sys {
class CriticalSection;
}

// The library's logger: stamps each record with the local time and hands it
// to the registered sinks in registration order. Process-wide, created on
// first use and never destroyed; callable from any thread.
class Logger
{
public:
    static Logger *instance();

    void log(int level, const char *category, int line, const char *function, const char *message);
    bool addSink(LogSink *sink);
    void removeSink(LogSink *sink);

    // "MM-DD-YY hh:mm:ss.mmm " for the given local time.
    static LibraryString timePrefix(const std::tm &time, int milliseconds);

private:
    Logger();

    unsigned m_sinkCount = 0;
    unsigned m_sinkCapacity = 0;
    LogSink **m_sinks = nullptr;
    sys::CriticalSection *m_lock = nullptr;
};

// Logs `message` at level 1 with an empty category.
void log_error(int line, const char *function, const char *message);

// Logs "Assertion Failure - '<expression>'" (cut to 255 bytes) through
// log_error with the caller's function and line.
void report_assertion_failure(const char *expression, const char *function, int line);

} // namespace OstrelSystem
