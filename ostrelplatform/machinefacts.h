#pragma once

#include "librarystring.h"

namespace OstrelSystem {

// The raw machine facts a crash report describes, as the system gives them.
// Kept apart from their reading so fixtures can stand in for the system.
struct MachineFacts {
    bool hasComputerName = false;  // COMPUTERNAME is set
    LibraryString computerName;    // its value
    LibraryString nodeName;        // uname: node name
    LibraryString release;         // uname: release, "6.1.0-18-amd64"
    LibraryString machine;         // uname: machine, "x86_64"
    LibraryString cpuinfo;         // procfs cpuinfo text
    LibraryString cpuMaxFrequency; // sysfs cpufreq cpuinfo_max_freq text (kHz)
    LibraryString meminfo;         // procfs meminfo text
    long onlineCpus = 0;

    // The interface of the best route toward the public internet and the
    // routing table it is checked against.
    LibraryString bestRouteInterface;
    LibraryString routeTable; // procfs net/route text
    unsigned char hardwareAddress[32] = {};
    int hardwareAddressLength = 0; // of bestRouteInterface
};

} // namespace OstrelSystem
