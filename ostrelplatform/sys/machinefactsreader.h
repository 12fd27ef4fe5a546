#pragma once

namespace OstrelSystem {

struct MachineFacts;

namespace sys {

// Fills `facts` from uname, procfs, sysfs and the network interfaces.
// Missing entries leave their fields empty.
void read_machine_facts(MachineFacts *facts);

// The TracerPid of a procfs status text; 0 when absent.
long tracer_pid(const char *statusText);

// True when a tracer (a debugger) is attached to this process.
bool debugger_attached();

} // namespace sys
} // namespace OstrelSystem
