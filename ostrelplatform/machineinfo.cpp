#include "machineinfo.h"

#include "machinefacts.h"
#include "sys/clock.h"
#include "textstream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

namespace OstrelSystem {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

unsigned long long leading_number(const char *text)
{
    return std::strtoull(text, nullptr, 10);
}

void write_element(TextStream &stream, const char *name, const LibraryString &value)
{
    stream << "<" << name << ">" << xml_escaped(value) << "</" << name << ">\n";
}

} // namespace

LibraryString procfs_field(const LibraryString &text, const char *key)
{
    const char *line = text.data();
    const char *end = line + text.length();
    const std::size_t keyLength = std::strlen(key);
    while (line < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (!lineEnd)
            lineEnd = end;
        const char *colon = static_cast<const char *>(std::memchr(line, ':', static_cast<std::size_t>(lineEnd - line)));
        if (colon) {
            const char *keyEnd = colon;
            while (keyEnd > line && is_blank(keyEnd[-1]))
                --keyEnd;
            if (static_cast<std::size_t>(keyEnd - line) == keyLength && std::memcmp(line, key, keyLength) == 0) {
                const char *value = colon + 1;
                while (value < lineEnd && is_blank(*value))
                    ++value;
                const char *valueEnd = lineEnd;
                while (valueEnd > value && (is_blank(valueEnd[-1]) || valueEnd[-1] == '\r'))
                    --valueEnd;
                return LibraryString(value, static_cast<std::uint32_t>(valueEnd - value));
            }
        }
        line = lineEnd + 1;
    }
    return LibraryString();
}

LibraryString ram_megabytes(const LibraryString &meminfo)
{
    const LibraryString total = procfs_field(meminfo, "MemTotal");
    if (total.isEmpty())
        return LibraryString();
    const unsigned long long bytes = leading_number(total.data()) * 1024ull;
    TextStream stream;
    stream << (bytes >> 20);
    return stream.text();
}

LibraryString os_revision(const LibraryString &release)
{
    // The leading "major.minor.patch" of the release; missing numbers are 0.
    unsigned long numbers[3] = {0, 0, 0};
    const char *cursor = release.data();
    for (int i = 0; i < 3; ++i) {
        if (*cursor < '0' || *cursor > '9')
            break;
        char *after = nullptr;
        numbers[i] = std::strtoul(cursor, &after, 10);
        cursor = after;
        if (*cursor != '.')
            break;
        ++cursor;
    }
    TextStream stream;
    stream << 0ul << "." << numbers[0] << "." << numbers[1] << "." << numbers[2] << "." << 0ul << "." << 0ul << "."
           << release << "." << 0ul;
    return stream.text();
}

LibraryString processor_info(const LibraryString &machine, const LibraryString &cpuinfo, long cpus)
{
    unsigned short architecture = 65535;
    if (machine == "x86_64")
        architecture = 9;
    else if (machine == "aarch64" || machine == "arm64")
        architecture = 12;
    else if (machine.length() == 4 && machine.data()[0] == 'i' && machine.find("86") == 2)
        architecture = 0;
    else if (machine.find("arm") == 0)
        architecture = 5;
    const unsigned long model = leading_number(procfs_field(cpuinfo, "model").data());
    const unsigned long stepping = leading_number(procfs_field(cpuinfo, "stepping").data());
    const unsigned long family = leading_number(procfs_field(cpuinfo, "cpu family").data());
    TextStream stream;
    stream << architecture << "." << static_cast<unsigned short>((model << 8) | stepping) << "."
           << static_cast<unsigned short>(family) << "." << static_cast<unsigned long>(cpus > 0 ? cpus : 0);
    return stream.text();
}

LibraryString mac_machine_id(const MachineFacts &facts)
{
    if (facts.bestRouteInterface.isEmpty() || facts.hardwareAddressLength <= 0)
        return LibraryString();
    // Does a route with a gateway go through that interface? Columns:
    // Iface, Destination, Gateway (hex), ...
    bool hasGateway = false;
    const char *line = facts.routeTable.data();
    const char *end = line + facts.routeTable.length();
    const LibraryString &name = facts.bestRouteInterface;
    while (line < end && !hasGateway) {
        const char *lineEnd = static_cast<const char *>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (!lineEnd)
            lineEnd = end;
        const char *field = line;
        const char *fieldEnd = field;
        while (fieldEnd < lineEnd && !is_blank(*fieldEnd))
            ++fieldEnd;
        if (static_cast<std::uint32_t>(fieldEnd - field) == name.length()
            && std::memcmp(field, name.data(), name.length()) == 0) {
            const char *cursor = fieldEnd;
            for (int column = 1; column < 3 && cursor < lineEnd; ++column) {
                while (cursor < lineEnd && is_blank(*cursor))
                    ++cursor;
                const char *value = cursor;
                while (cursor < lineEnd && !is_blank(*cursor))
                    ++cursor;
                if (column == 2 && cursor > value)
                    hasGateway = std::strtoul(LibraryString(value, static_cast<std::uint32_t>(cursor - value)).data(),
                                              nullptr, 16)
                                 != 0;
            }
        }
        line = lineEnd + 1;
    }
    if (!hasGateway)
        return LibraryString();
    LibraryString id;
    const int length = facts.hardwareAddressLength < 32 ? facts.hardwareAddressLength : 32;
    for (int i = 0; i < length; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", facts.hardwareAddress[i]);
        id.append(digits, 2);
    }
    return id;
}

namespace {

pthread_once_t g_fallbackOnce = PTHREAD_ONCE_INIT;
char g_fallbackId[32];

void make_fallback_id()
{
    const unsigned seconds = static_cast<unsigned>(sys::unix_time());
    std::snprintf(g_fallbackId, sizeof g_fallbackId, "%u%d", seconds, std::abs(std::rand()));
}

} // namespace

LibraryString machine_id(const MachineFacts &facts)
{
    LibraryString id = mac_machine_id(facts);
    if (!id.isEmpty())
        return id;
    pthread_once(&g_fallbackOnce, make_fallback_id);
    return LibraryString(g_fallbackId);
}

LibraryString xml_escaped(const LibraryString &text)
{
    LibraryString escaped;
    const char *run = text.data();
    const char *end = run + text.length();
    for (const char *cursor = run; cursor < end; ++cursor) {
        const char *entity = *cursor == '&' ? "&amp;" : *cursor == '<' ? "&lt;" : *cursor == '>' ? "&gt;" : nullptr;
        if (!entity)
            continue;
        escaped.append(run, static_cast<std::uint32_t>(cursor - run));
        escaped.append(entity);
        run = cursor + 1;
    }
    escaped.append(run, static_cast<std::uint32_t>(end - run));
    return escaped;
}

void MachineInfo::collect(const MachineFacts &facts)
{
    m_name = facts.hasComputerName ? facts.computerName : facts.nodeName;
    m_id = machine_id(facts);
    m_os = "Linux";
    m_model = LibraryString();
    m_osRevision = facts.release.isEmpty() ? LibraryString() : os_revision(facts.release);
    m_processorInfo = processor_info(facts.machine, facts.cpuinfo, facts.onlineCpus);
    m_processorName = procfs_field(facts.cpuinfo, "model name");
    m_processorSpeedMhz = LibraryString();
    const unsigned long long maxKhz = leading_number(facts.cpuMaxFrequency.data());
    TextStream speed;
    if (maxKhz > 0) {
        speed << maxKhz / 1000;
        m_processorSpeedMhz = speed.text();
    } else {
        const LibraryString mhz = procfs_field(facts.cpuinfo, "cpu MHz");
        if (!mhz.isEmpty() && mhz.data()[0] >= '0' && mhz.data()[0] <= '9') {
            speed << leading_number(mhz.data());
            m_processorSpeedMhz = speed.text();
        }
    }
    m_ramMb = ram_megabytes(facts.meminfo);
}

LibraryString MachineInfo::toXml() const
{
    TextStream stream;
    write_element(stream, "Name", m_name);
    write_element(stream, "Id", m_id);
    write_element(stream, "OS", m_os);
    write_element(stream, "Model", m_model);
    write_element(stream, "OSRevision", m_osRevision);
    write_element(stream, "ProcessorInfo", m_processorInfo);
    write_element(stream, "ProcessorName", m_processorName);
    write_element(stream, "ProcessorSpeedMhz", m_processorSpeedMhz);
    write_element(stream, "RAMMB", m_ramMb);
    return stream.text();
}

} // namespace OstrelSystem
