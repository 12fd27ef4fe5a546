#include "sys/machinefactsreader.h"

#include "machinefacts.h"
#include "machineinfo.h"
#include "sys/files.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace OstrelSystem {
namespace sys {

namespace {

// Any fixed public address will do: it only picks the route, nothing is sent.
constexpr const char kPublicAddress[] = "8.8.8.8";

// The local IPv4 address the kernel would use toward the public address.
bool best_route_source(in_addr *source)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in remote = {};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(53);
    inet_pton(AF_INET, kPublicAddress, &remote.sin_addr);
    sockaddr_in local = {};
    socklen_t length = sizeof local;
    const bool found = ::connect(fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote) == 0
                       && ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) == 0;
    ::close(fd);
    if (found)
        *source = local.sin_addr;
    return found;
}

void read_best_route_interface(MachineFacts *facts)
{
    in_addr source = {};
    if (!best_route_source(&source))
        return;
    ifaddrs *interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return;
    for (ifaddrs *entry = interfaces; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET
            && reinterpret_cast<sockaddr_in *>(entry->ifa_addr)->sin_addr.s_addr == source.s_addr) {
            facts->bestRouteInterface = LibraryString(entry->ifa_name);
            break;
        }
    }
    for (ifaddrs *entry = interfaces; entry && !facts->bestRouteInterface.isEmpty(); entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_PACKET
            && facts->bestRouteInterface == entry->ifa_name) {
            const auto *link = reinterpret_cast<sockaddr_ll *>(entry->ifa_addr);
            const int length = link->sll_halen < sizeof link->sll_addr ? link->sll_halen : sizeof link->sll_addr;
            std::memcpy(facts->hardwareAddress, link->sll_addr, static_cast<std::size_t>(length));
            facts->hardwareAddressLength = length;
            break;
        }
    }
    ::freeifaddrs(interfaces);
}

} // namespace

void read_machine_facts(MachineFacts *facts)
{
    if (const char *computerName = std::getenv("COMPUTERNAME")) {
        facts->hasComputerName = true;
        facts->computerName = LibraryString(computerName);
    }
    struct utsname names = {};
    if (::uname(&names) == 0) {
        facts->nodeName = LibraryString(names.nodename);
        facts->release = LibraryString(names.release);
        facts->machine = LibraryString(names.machine);
    }
    facts->cpuinfo = read_text_file("/proc/cpuinfo");
    facts->cpuMaxFrequency = read_text_file("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    facts->meminfo = read_text_file("/proc/meminfo");
    facts->onlineCpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    facts->routeTable = read_text_file("/proc/net/route");
    read_best_route_interface(facts);
}

long tracer_pid(const char *statusText)
{
    const LibraryString value = procfs_field(LibraryString(statusText), "TracerPid");
    return value.isEmpty() ? 0 : std::strtol(value.data(), nullptr, 10);
}

bool debugger_attached()
{
    return tracer_pid(read_text_file("/proc/self/status").data()) != 0;
}

} // namespace sys
} // namespace OstrelSystem
