#pragma once

#include "librarystring.h"

#include <csignal>

namespace OstrelSystem {

class CrashSettings;

namespace sys {

// Copies what a report needs into buffers of its own and installs the
// handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT, keeping the
// previous actions. `folder` is the dumps folder; its first
// `existingLength` bytes name a folder that already exists. Returns false
// when the buffers cannot be had (no handler is installed then).
bool install_crash_handler(const LibraryString &folder, std::uint32_t existingLength, const LibraryString &head,
                           const LibraryString &tail, const CrashSettings *settings);

// Marks the calling thread as running a guarded entry (or not); returns the
// previous mark.
bool set_thread_guarded(bool guarded);

// Writes the report pair for a crash of the calling thread (`info` and
// `context` may be null: the current context is recorded then). Uses only
// async-signal-safe calls and the prepared buffers.
void write_crash_report(int signal, const siginfo_t *info, void *context);

} // namespace sys
} // namespace OstrelSystem
