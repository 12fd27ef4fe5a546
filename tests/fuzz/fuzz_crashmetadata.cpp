// The crash report's metadata file that the next start completes with the
// previous run's log: any XML (or none), with declarations, comments, an
// attachment already there, entities and deep nesting.

#include "crashlogattachment.h"
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    static QTemporaryDir folder;
    static const QString logs = folder.filePath(QStringLiteral("logs"));
    static const QString dumps = folder.filePath(QStringLiteral("dumps"));
    static const QString current = logs + QStringLiteral("/tavri-2026-12-10--11-00-00.txt");
    static const bool ready = [] {
        if (!folder.isValid() || !QDir().mkpath(logs) || !QDir().mkpath(dumps))
            std::abort();
        write(logs + QStringLiteral("/tavri-2026-12-10--10-00-00.txt"), "previous run\n");
        write(current, "this run\n");
        return true;
    }();
    Q_UNUSED(ready);

    // Each input is the one report of the dump folder; whatever attach()
    // wrote beside it goes before the next.
    const QString report = dumps + QStringLiteral("/crash.xml");
    write(report, fuzz::bytes(data, size));
    CrashLogAttachment::attach(logs, dumps, current);
    QFile::remove(report + QStringLiteral(".new"));
    return 0;
}
