#include "processrecord.h"

#include "ostreltempfolder.h"

#include <cstring>
#include <dirent.h>

namespace ostrelsdk {

ProcessRecord &ProcessRecord::instance()
{
    static ProcessRecord record;
    return record;
}

void ProcessRecord::setSwitch(int which, int on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (which >= 0 && which < SwitchCount)
        m_switches[which] = on ? 1 : 0;
}

int ProcessRecord::switchValue(int which)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return which >= 0 && which < SwitchCount ? m_switches[which] : -1;
}

void ProcessRecord::addCrashMarker(const char *text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_currentMarker = text ? text : "";
    if (text)
        m_markers.push_back(m_currentMarker);
}

int ProcessRecord::crashMarkerCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_markers.size());
}

const char *ProcessRecord::crashMarker(int nth)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nth < 0)
        nth += int(m_markers.size());
    // The strings live until the next reset; markers are only appended.
    return nth >= 0 && nth < int(m_markers.size()) ? m_markers[nth].c_str() : nullptr;
}

void ProcessRecord::setProgram(const char *program)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_program = program && *program ? program : "tavri";
}

const char *ProcessRecord::program()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_program.c_str();
}

void ProcessRecord::setDumpCount(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dumpCount = count < 0 ? -1 : count;
}

int ProcessRecord::dumpCount()
{
    std::string program;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_dumpCount >= 0)
            return m_dumpCount;
        program = m_program;
    }
    std::string base = ostrel::temporaryFolder();
    if (base.empty())
        return 0;
    std::string folder = base + "/Ostrel/Dumps/" + program;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int count = 0;
    while (dirent *entry = readdir(dir)) {
        size_t len = std::strlen(entry->d_name);
        if (len > 4 && std::strcmp(entry->d_name + len - 4, ".xml") == 0)
            ++count;
    }
    closedir(dir);
    return count;
}

void ProcessRecord::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int &s : m_switches)
        s = -1;
    m_markers.clear();
    m_currentMarker.clear();
    m_program = "tavri";
    m_dumpCount = -1;
}

} // namespace ostrelsdk
