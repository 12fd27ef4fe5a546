#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

class QFileSystemWatcher;

// LocalTimeZone: local time without a look at the zone file per conversion.
//
// With TZ unset, the C library checks the system's zone file on every
// local-time conversion, and a log line or chat line makes several. pin()
// names the file in TZ instead, so that the library reads it once; a
// LocalTimeZone object then follows the file and has the library read it
// again whenever it changes (the system's zone was set anew). A TZ that the
// user set is left alone. pin() runs before any other thread starts.
class LocalTimeZone : public QObject
{
    Q_OBJECT

public:
    // Whether TZ now names zoneFile; false when TZ was already set.
    static bool pin(const QString &zoneFile = QStringLiteral("/etc/localtime"));

    // The current local time, the same as QDateTime::currentDateTime().
    // Calls within one millisecond share one conversion (a received chat
    // line asks for the time several times, and each conversion to local
    // time costs the C library a full mktime); a reload is seen at once.
    static QDateTime now();

    // Follows the pinned file; does nothing when pin() did not pin.
    explicit LocalTimeZone(QObject *parent = nullptr);

signals:
    // The zone file changed and local time follows it from now on.
    void reloaded();

private:
    void watch();
    void reload();

    QFileSystemWatcher *m_watcher = nullptr;
};
