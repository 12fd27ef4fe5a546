#pragma once

#include "librarystring.h"

namespace OstrelSystem {

class CrashSettings;

using ThreadEntry = unsigned long (*)(void *);

// Calls `entry` with `argument`, guarded or not as the environment decides
// (see guard_decision). Guarded, a crash of the entry leaves a crash report
// (a dump and an XML metadata file in the program's dumps folder) and then
// goes on to the action that was in place before: the guard never swallows
// a crash. Returns the entry's result.
unsigned long run_guarded(ThreadEntry entry, void *argument) noexcept;

// OSTREL_FORCE_CD set: guarded. Else OSTREL_DEBUG set or a debugger
// attached: unguarded. Else guarded.
bool guard_decision(bool forceSet, bool debugSet, bool debuggerAttached);

// The program's file name: after the last '/', cut at the first ".exe".
LibraryString executable_base_name(const LibraryString &executablePath);

// <temporary folder>/Ostrel/Dumps/<program's base name>; empty when either
// input is empty.
LibraryString crash_dump_folder(const LibraryString &temporaryFolder, const LibraryString &executablePath);

// The metadata file is head + time stamp + tail.
LibraryString crash_metadata_head(const LibraryString &processName);
LibraryString crash_metadata_tail(const LibraryString &machineInfoXml, const CrashSettings *settings);

// Prepares everything a crash report needs (machine information, folder,
// buffers) and installs the crash handlers; runs once per process, on the
// first guarded start. Returns whether reports can be written.
bool prepare_crash_reports();

} // namespace OstrelSystem
