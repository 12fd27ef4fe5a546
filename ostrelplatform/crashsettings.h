#pragma once

#include "librarystring.h"

#include <atomic>

namespace OstrelSystem {

// Process-wide crash-report settings: the dump type (recorded in every
// dump; last writer wins, each thread start re-reads it) and up to eight
// version strings for the report's VersionInfo element, of which none is
// ever added. Created on first use, never destroyed.
class CrashSettings
{
public:
    static constexpr int kMaxVersions = 8;

    static CrashSettings *instance();

    void setDumpType(int type) { m_dumpType.store(type, std::memory_order_relaxed); }
    int dumpType() const { return m_dumpType.load(std::memory_order_relaxed); }

    int versionCount() const { return m_versionCount; }
    const LibraryString &version(int index) const { return m_versions[index]; }

private:
    CrashSettings() = default;

    std::atomic<int> m_dumpType{0};
    LibraryString m_versions[kMaxVersions];
    int m_versionCount = 0;
};

} // namespace OstrelSystem
