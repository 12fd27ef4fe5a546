#pragma once

// Reads the platform library's crash dump files: a 64-byte header followed
// by streams, each a u32 kind, u32 zero, u64 size and its bytes, all
// little-endian. Header-only so the dump tool and the tests share it.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace oxdump {

enum StreamKind : std::uint32_t {
    Context = 1,
    Stack = 2,
    Backtrace = 3,
    Maps = 4,
    ThreadName = 5,
};

struct Stream {
    std::uint32_t kind = 0;
    std::string bytes;
};

struct Dump {
    bool valid = false;
    std::uint32_t headerSize = 0;
    std::uint32_t dumpType = 0;
    std::int64_t timestamp = 0;
    std::uint32_t pid = 0;
    std::uint32_t tid = 0;
    std::uint32_t signal = 0;
    std::int32_t signalCode = 0;
    std::uint64_t faultAddress = 0;
    std::uint16_t machine = 0;
    std::uint16_t pointerSize = 0;
    std::vector<Stream> streams;

    // The bytes of the first stream of `kind`; empty when there is none.
    std::string stream(std::uint32_t kind) const
    {
        for (const Stream &s : streams) {
            if (s.kind == kind)
                return s.bytes;
        }
        return std::string();
    }
};

template <typename T>
T read_le(const std::string &data, std::size_t offset)
{
    T value{};
    if (offset + sizeof value <= data.size())
        std::memcpy(&value, data.data() + offset, sizeof value);
    return value;
}

inline Dump parse_dump(const std::string &data)
{
    Dump dump;
    if (data.size() < 64 || data.compare(0, 8, "OXMDUMP1") != 0)
        return dump;
    dump.headerSize = read_le<std::uint32_t>(data, 8);
    dump.dumpType = read_le<std::uint32_t>(data, 12);
    dump.timestamp = read_le<std::int64_t>(data, 16);
    dump.pid = read_le<std::uint32_t>(data, 24);
    dump.tid = read_le<std::uint32_t>(data, 28);
    dump.signal = read_le<std::uint32_t>(data, 32);
    dump.signalCode = read_le<std::int32_t>(data, 36);
    dump.faultAddress = read_le<std::uint64_t>(data, 40);
    dump.machine = read_le<std::uint16_t>(data, 48);
    dump.pointerSize = read_le<std::uint16_t>(data, 50);
    const std::uint32_t count = read_le<std::uint32_t>(data, 52);
    std::size_t offset = dump.headerSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (offset + 16 > data.size())
            return dump;
        const std::uint64_t size = read_le<std::uint64_t>(data, offset + 8);
        if (size > data.size() - offset - 16)
            return dump;
        dump.streams.push_back({read_le<std::uint32_t>(data, offset), data.substr(offset + 16, size)});
        offset += 16 + size;
    }
    dump.valid = offset == data.size();
    return dump;
}

} // namespace oxdump
