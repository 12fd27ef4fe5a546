#include "systemtrayicon.h"

SystemTrayIcon::SystemTrayIcon(const QIcon &icon, QObject *parent)
    : QSystemTrayIcon(icon, parent)
{
}

SystemTrayIcon::~SystemTrayIcon() = default;
