#include "autostartentry.h"

#include "desktopentryfile.h"

#include <QDir>
#include <QStandardPaths>

namespace host {

QString AutostartEntry::path()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart/ostrel-tavri.desktop"));
}

QString AutostartEntry::command()
{
    DesktopEntryFile entry(path());
    if (!entry.load())
        return QString();
    const QString group = DesktopEntryFile::mainGroup();
    if (entry.value(group, QStringLiteral("Hidden")) == QLatin1String("true"))
        return QString();
    const QStringList arguments = entry.execArgumentsOf(group);
    return arguments.isEmpty() ? QString() : arguments.first();
}

bool AutostartEntry::setCommand(const QString &command)
{
    DesktopEntryFile entry(path());
    if (!entry.load())
        return false;
    const QString group = DesktopEntryFile::mainGroup();
    entry.setValue(group, QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(group, QStringLiteral("Name"), QStringLiteral("Tavri"));
    if (command.isEmpty()) {
        entry.remove(group, QStringLiteral("Exec"));
        entry.setValue(group, QStringLiteral("Hidden"), QStringLiteral("true"));
    } else {
        entry.setValue(group, QStringLiteral("Exec"), DesktopEntryFile::execLine({command}));
        entry.remove(group, QStringLiteral("Hidden"));
    }
    entry.setValue(group, QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true"));
    return entry.saveIfChanged();
}

} // namespace host
