#include "programlauncher.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace host {

bool ProgramLauncher::startDetachedFromCurrentDir(const QString &program, const QStringList &arguments, qint64 *pid)
{
    if (program.isEmpty()) {
        qWarning() << "ProgramLauncher: no program given";
        return false;
    }
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(program));
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable()) {
        qWarning() << "ProgramLauncher: not an executable file:" << path;
        return false;
    }
    if (!QProcess::startDetached(path, arguments, QDir::currentPath(), pid)) {
        qWarning() << "ProgramLauncher: cannot start" << path;
        return false;
    }
    return true;
}

} // namespace host
