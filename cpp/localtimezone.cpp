#include "localtimezone.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <ctime>

namespace {

// The file pinned in this process; empty when TZ was the user's.
QString &pinnedFile()
{
    static QString file;
    return file;
}

} // namespace

bool LocalTimeZone::pin(const QString &zoneFile)
{
    if (!pinnedFile().isEmpty())
        return qgetenv("TZ") == ':' + QFile::encodeName(pinnedFile());
    if (qEnvironmentVariableIsSet("TZ"))
        return false;
    pinnedFile() = zoneFile;
    qputenv("TZ", ':' + QFile::encodeName(zoneFile));
    tzset();
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
    watch();
    emit reloaded();
}
