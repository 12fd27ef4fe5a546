#pragma once

#include <QString>

namespace host {

// Facts about the operating system for log lines and the web requests.
class OsInfo
{
public:
    // The system's name in capitals, as the start-up log lines print it.
    static QString name();
    // The integer value of QSysInfo::WindowsVersion: 0 (no Windows) here.
    static int windowsVersionValue();

private:
    OsInfo() = delete;
};

} // namespace host
