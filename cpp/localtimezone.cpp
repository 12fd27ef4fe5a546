#include "localtimezone.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <atomic>
#include <ctime>
#include <limits>

namespace {

// The file pinned in this process; empty when TZ was the user's.
QString &pinnedFile()
{
    static QString file;
    return file;
}

// Counts the times local time was set anew: a time kept from before is
// not used again.
std::atomic<int> g_zoneGeneration{0};

} // namespace

QDateTime LocalTimeZone::now()
{
    struct Last {
        qint64 msecs = std::numeric_limits<qint64>::min();
        int generation = -1;
        QDateTime time;
    };
    thread_local Last last;
    const int generation = g_zoneGeneration.load(std::memory_order_acquire);
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    if (msecs != last.msecs || generation != last.generation) {
        last.time = QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime);
        last.msecs = msecs;
        last.generation = generation;
    }
    return last.time;
}

bool LocalTimeZone::pin(const QString &zoneFile)
{
    if (!pinnedFile().isEmpty())
        return qgetenv("TZ") == ':' + QFile::encodeName(pinnedFile());
    if (qEnvironmentVariableIsSet("TZ"))
        return false;
    pinnedFile() = zoneFile;
    qputenv("TZ", ':' + QFile::encodeName(zoneFile));
    tzset();
    g_zoneGeneration.fetch_add(1, std::memory_order_release);
    return true;
}

LocalTimeZone::LocalTimeZone(QObject *parent)
    : QObject(parent)
{
    if (pinnedFile().isEmpty())
        return;
    m_watcher = new QFileSystemWatcher(this);
    // The folder too: setting a zone usually puts a new link in the file's
    // place, which a watch on the old file does not see.
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &LocalTimeZone::reload);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &LocalTimeZone::reload);
    watch();
}

void LocalTimeZone::watch()
{
    const QString file = pinnedFile();
    const QString folder = QFileInfo(file).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    if (QFileInfo::exists(file) && !m_watcher->files().contains(file))
        m_watcher->addPath(file);
}

void LocalTimeZone::reload()
{
    // The library reads a zone again only when TZ changes: a moment without
    // it, then the file again.
    const QByteArray pinned = ':' + QFile::encodeName(pinnedFile());
    qunsetenv("TZ");
    tzset();
    qputenv("TZ", pinned);
    tzset();
    g_zoneGeneration.fetch_add(1, std::memory_order_release);
    watch();
    emit reloaded();
}
