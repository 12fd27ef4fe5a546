#pragma once

#include <deque>
#include <mutex>
#include <string>

namespace ostrelsdk {

// What the process told the library outside initialisation: the audio
// processing switches, crash markers, the program name given to safe invoke
// and a crash dump count set by control. Usable before initialisation and
// thread-safe; survives uninitialise, cleared by a control reset.
class ProcessRecord
{
public:
    enum Switch { Aec, Agc, AdvancedAgc, Vad, Derumbler, SwitchCount };

    static ProcessRecord &instance();

    void setSwitch(int which, int on);
    int switchValue(int which);
    void addCrashMarker(const char *text);
    int crashMarkerCount();
    const char *crashMarker(int nth);
    void setProgram(const char *program);
    const char *program();
    void setDumpCount(int count);
    int dumpCount();
    void reset();

private:
    std::mutex m_mutex;
    int m_switches[SwitchCount] = {-1, -1, -1, -1, -1};
    std::deque<std::string> m_markers; // deque: handed-out pointers stay valid
    std::string m_currentMarker;
    std::string m_program = "tavri";
    int m_dumpCount = -1;
};

} // namespace ostrelsdk
