// Prints a crash dump of the platform library: the header, the faulting
// thread's backtrace and the mappings the addresses fall in, ready for
// addr2line.
//
//   oxdumpinfo <file.dmp>

#include "dumpreader.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// The mapping line of procfs maps text that holds `address`.
std::string mapping_of(const std::string &maps, std::uint64_t address)
{
    std::istringstream lines(maps);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &start, &end) == 2 && address >= start && address < end)
            return line;
    }
    return std::string();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: oxdumpinfo <file.dmp>\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "oxdumpinfo: cannot open %s\n", argv[1]);
        return 1;
    }
    std::ostringstream content;
    content << file.rdbuf();
    const oxdump::Dump dump = oxdump::parse_dump(content.str());
    if (!dump.valid) {
        std::fprintf(stderr, "oxdumpinfo: %s is not a complete dump\n", argv[1]);
        return 1;
    }
    std::printf("time %" PRId64 "  pid %u  tid %u  thread '%s'\n", dump.timestamp, dump.pid, dump.tid,
                dump.stream(oxdump::ThreadName).c_str());
    std::printf("signal %u  code %d  address 0x%" PRIx64 "  dump type %u  machine %u/%u\n", dump.signal,
                dump.signalCode, dump.faultAddress, dump.dumpType, dump.machine, dump.pointerSize);
    const std::string maps = dump.stream(oxdump::Maps);
    const std::string frames = dump.stream(oxdump::Backtrace);
    for (std::size_t i = 0; i + 8 <= frames.size(); i += 8) {
        const std::uint64_t address = oxdump::read_le<std::uint64_t>(frames, i);
        std::printf("#%-3zu 0x%016" PRIx64 "  %s\n", i / 8, address, mapping_of(maps, address).c_str());
    }
    const std::string stack = dump.stream(oxdump::Stack);
    std::printf("stack: %zu bytes from 0x%" PRIx64 "\n", stack.size() >= 8 ? stack.size() - 8 : 0,
                oxdump::read_le<std::uint64_t>(stack, 0));
    return 0;
}
