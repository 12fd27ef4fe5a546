#include "jumplist.h"

#include "desktopentryfile.h"
#include "urlschemeregistration.h"

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>

namespace host {

namespace {

const QString kActionsKey = QStringLiteral("Actions");
const QString kActionPrefix = QStringLiteral("Desktop Action ");

// An action id from the task's first argument ("-quit" gives "quit"),
// reduced to the characters an id may hold, and unique within the list.
QString actionId(const JumpTask &task, const QSet<QString> &taken)
{
    QString id = task.arguments.value(0);
    id.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")));
    while (id.startsWith(QLatin1Char('-')))
        id.remove(0, 1);
    if (id.isEmpty())
        id = QStringLiteral("task");
    QString unique = id;
    for (int n = 2; taken.contains(unique); ++n)
        unique = id + QString::number(n);
    return unique;
}

void removeActions(DesktopEntryFile &entry)
{
    entry.remove(DesktopEntryFile::mainGroup(), kActionsKey);
    for (const QString &group : entry.groups()) {
        if (group.startsWith(kActionPrefix))
            entry.removeGroup(group);
    }
}

} // namespace

QString JumpList::desktopEntryPath()
{
    return UrlSchemeRegistration::desktopEntryPath();
}

int JumpList::setTasks(const QVector<JumpTask> &tasks)
{
    for (const JumpTask &task : tasks) {
        if (task.title.isEmpty() || task.program.isEmpty()) {
            qWarning() << "JumpList: a task needs a title and a program:" << task.title << task.program;
            return EINVAL;
        }
    }
    DesktopEntryFile entry(desktopEntryPath());
    if (!QFileInfo::exists(entry.path())) {
        qWarning() << "JumpList: no desktop entry to add tasks to:" << entry.path();
        return ENOENT;
    }
    if (!entry.load())
        return EIO;

    removeActions(entry);
    QStringList ids;
    QSet<QString> taken;
    for (const JumpTask &task : tasks) {
        const QString id = actionId(task, taken);
        taken.insert(id);
        ids.append(id);
        const QString group = kActionPrefix + id;
        entry.setValue(group, QStringLiteral("Name"), task.title);
        entry.setValue(group, QStringLiteral("Exec"),
                       DesktopEntryFile::execLine(QStringList{task.program} + task.arguments));
    }
    if (!ids.isEmpty())
        entry.setValue(DesktopEntryFile::mainGroup(), kActionsKey, ids.join(QLatin1Char(';')) + QLatin1Char(';'));
    return entry.saveIfChanged() ? 0 : EIO;
}

int JumpList::clear()
{
    DesktopEntryFile entry(desktopEntryPath());
    if (!QFileInfo::exists(entry.path()))
        return 0;
    if (!entry.load())
        return EIO;
    removeActions(entry);
    return entry.saveIfChanged() ? 0 : EIO;
}

} // namespace host
