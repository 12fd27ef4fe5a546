#include "osinfo.h"

#include <QSysInfo>

namespace host {

QString OsInfo::name()
{
    return QStringLiteral("LINUX");
}

int OsInfo::windowsVersionValue()
{
    // Deprecated but still defined; it is WV_None off Windows. The web
    // requests send its value, so it is read rather than hard-coded.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return int(QSysInfo::WindowsVersion);
    QT_WARNING_POP
}

} // namespace host
