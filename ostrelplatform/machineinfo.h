#pragma once

#include "librarystring.h"

namespace OstrelSystem {

struct MachineFacts;

// The machine description of a crash report. Filled once, before any crash,
// so that writing a report needs no allocation.
class MachineInfo
{
public:
    void collect(const MachineFacts &facts);

    // The content of the MachineInfo element: nine children, each followed
    // by a newline, values escaped for XML.
    LibraryString toXml() const;

    LibraryString m_name;
    LibraryString m_id;
    LibraryString m_os;
    LibraryString m_model;
    LibraryString m_osRevision;
    LibraryString m_processorInfo;
    LibraryString m_processorName;
    LibraryString m_processorSpeedMhz;
    LibraryString m_ramMb;
};

// The value of the first "key : value" line of a procfs text whose key is
// exactly `key`; empty when absent.
LibraryString procfs_field(const LibraryString &text, const char *key);

// Whole mebibytes of the "MemTotal" line of a meminfo text; empty when absent.
LibraryString ram_megabytes(const LibraryString &meminfo);

// "0.<major>.<minor>.<patch>.0.0.<release>.0" from a kernel release text.
LibraryString os_revision(const LibraryString &release);

// Architecture (numbered as Windows numbers it), (model << 8) | stepping,
// family and CPU count, joined by ".".
LibraryString processor_info(const LibraryString &machine, const LibraryString &cpuinfo, long cpus);

// The hardware address of the best-route interface, two lower-case hex
// digits a byte, when the routing table has a route through that interface
// with a gateway; empty otherwise.
LibraryString mac_machine_id(const MachineFacts &facts);

// mac_machine_id, else a fallback made once per process: the low 32 bits of
// the time as unsigned decimal followed by a random number.
LibraryString machine_id(const MachineFacts &facts);

// `text` with "&", "<" and ">" written as entities.
LibraryString xml_escaped(const LibraryString &text);

} // namespace OstrelSystem
