#include "crashguard.h"

#include "crashsettings.h"
#include "machinefacts.h"
#include "machineinfo.h"
#include "ostreltempfolder.h"
#include "platformalloc.h"
#include "sys/crashhandler.h"
#include "sys/files.h"
#include "sys/machinefactsreader.h"
#include "textstream.h"

#include <cstdlib>
#include <new>
#include <pthread.h>

namespace OstrelSystem {

namespace {

pthread_once_t g_prepareOnce = PTHREAD_ONCE_INIT;
bool g_prepared = false;
MachineInfo *g_machine = nullptr; // lives to the end of the process

void prepare()
{
    CrashSettings *settings = CrashSettings::instance();
    void *memory = platform_alloc(sizeof(MachineInfo));
    if (!settings || !memory)
        return;
    MachineInfo *machine = g_machine = new (memory) MachineInfo;
    {
        MachineFacts facts;
        sys::read_machine_facts(&facts);
        machine->collect(facts);
    }
    const LibraryString executable = sys::executable_path();
    const std::string temporary = ostrel::temporaryFolder();
    const LibraryString folder =
        crash_dump_folder(LibraryString(temporary.data(), static_cast<std::uint32_t>(temporary.size())), executable);
    if (folder.isEmpty())
        return;
    g_prepared = sys::install_crash_handler(folder, static_cast<std::uint32_t>(temporary.size()),
                                            crash_metadata_head(executable),
                                            crash_metadata_tail(machine->toXml(), settings), settings);
}

} // namespace

bool guard_decision(bool forceSet, bool debugSet, bool debuggerAttached)
{
    if (forceSet)
        return true;
    if (debugSet)
        return false;
    return !debuggerAttached;
}

unsigned long run_guarded(ThreadEntry entry, void *argument) noexcept
{
    if (const char *flags = std::getenv("OSTREL_CRASH_FLAGS")) {
        if (CrashSettings *settings = CrashSettings::instance())
            settings->setDumpType(std::atoi(flags));
    }
    const bool forced = std::getenv("OSTREL_FORCE_CD") != nullptr;
    const bool debug = std::getenv("OSTREL_DEBUG") != nullptr;
    // The debugger check reads procfs: only ask when it decides.
    const bool guarded = guard_decision(forced, debug, !forced && !debug && sys::debugger_attached());
    if (!guarded || !prepare_crash_reports())
        return entry(argument);

    // An entry may itself run a guarded call; keep the outer state.
    const bool outer = sys::set_thread_guarded(true);
    const unsigned long result = entry(argument);
    sys::set_thread_guarded(outer);
    return result;
}

bool prepare_crash_reports()
{
    pthread_once(&g_prepareOnce, prepare);
    return g_prepared;
}

LibraryString executable_base_name(const LibraryString &executablePath)
{
    LibraryString name = executablePath.tail(static_cast<std::uint32_t>(executablePath.findLastSeparator() + 1));
    const int extension = name.find(".exe");
    return extension >= 0 ? name.left(static_cast<std::uint32_t>(extension)) : name;
}

LibraryString crash_dump_folder(const LibraryString &temporaryFolder, const LibraryString &executablePath)
{
    const LibraryString name = executable_base_name(executablePath);
    if (temporaryFolder.isEmpty() || name.isEmpty())
        return LibraryString();
    return path_combine(path_combine(path_combine(temporaryFolder, "Ostrel"), "Dumps"), name);
}

LibraryString crash_metadata_head(const LibraryString &processName)
{
    TextStream stream;
    stream << "<CrashMetaData><ProcessName>" << xml_escaped(processName)
           << "</ProcessName><ThreadVersionInfo></ThreadVersionInfo><Timestamp>";
    return stream.text();
}

LibraryString crash_metadata_tail(const LibraryString &machineInfoXml, const CrashSettings *settings)
{
    TextStream stream;
    stream << "</Timestamp><MachineInfo>" << machineInfoXml << "</MachineInfo><VersionInfo>";
    for (int i = 0; settings && i < settings->versionCount(); ++i)
        stream << "<Version>" << xml_escaped(settings->version(i)) << "</Version>";
    stream << "</VersionInfo><DumpExtension>.dmp</DumpExtension><appCrashData></appCrashData></CrashMetaData>";
    return stream.text();
}

} // namespace OstrelSystem
