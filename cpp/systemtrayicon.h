#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

// SystemTrayIcon: the program's notification-area icon.
//
// For now it is the plain platform icon that start-up creates (when the
// desktop has a tray) with its menu, and shutdown removes. Balloon messages
// with click callbacks and the taskbar docking edge are still to come.
class SystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit SystemTrayIcon(const QIcon &icon, QObject *parent = nullptr);
    ~SystemTrayIcon() override;
};
