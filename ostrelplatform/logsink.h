#pragma once

#include <sys/types.h>

namespace OstrelSystem {

class LibraryString;

// Receives the library's log records. A sink runs under the logger's lock
// and must not log itself.
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void record(const LibraryString &timePrefix, pid_t threadId, int level, const char *category, int line,
                        const char *function, const char *message) = 0;
};

} // namespace OstrelSystem
