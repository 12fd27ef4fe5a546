#pragma once

#include <QString>
#include <QStringList>

namespace host {

// Starts helper programs that ship beside Tavri, such as the updater.
class ProgramLauncher
{
public:
    // Starts program detached, resolving a relative name against the
    // current directory, with the current directory as its working
    // directory. Returns false (and logs why) when it could not be started.
    static bool startDetachedFromCurrentDir(const QString &program, const QStringList &arguments,
                                            qint64 *pid = nullptr);

private:
    ProgramLauncher() = delete;
};

} // namespace host
