#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace host {

// One entry of the launcher's context menu: starting it runs `program` with
// `arguments`. The description has no place in a desktop action and is not
// stored.
struct JumpTask {
    QString title;
    QString description;
    QString program;
    QStringList arguments;
};

// The tasks that the taskbar, dock or launcher offers for the program,
// kept as desktop actions in the program's own desktop entry (the one that
// the link-scheme registration writes). GNOME Shell, KDE Plasma and most
// docks show them in the launcher's context menu. Main thread only.
class JumpList
{
public:
    // Replaces the program's tasks. Returns 0, or an errno value: ENOENT when
    // the desktop entry does not exist yet, EINVAL for a task without title
    // or program, EIO when the entry cannot be read or written.
    static int setTasks(const QVector<JumpTask> &tasks);
    // Removes all tasks; 0 also when there is no entry. Otherwise as setTasks.
    static int clear();

    // The desktop entry the tasks are written to.
    static QString desktopEntryPath();

private:
    JumpList() = delete;
};

} // namespace host
