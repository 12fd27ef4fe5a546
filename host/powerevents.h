#pragma once

#include <QDBusConnection>
#include <QObject>

namespace host {

// Suspend and resume of the machine, reported the way Windows does: as a
// power broadcast (NativeMessage 536, wParam 4 before sleep and 18 after
// resume) to every top-level window through the native event filters.
// The source is logind's PrepareForSleep signal on the given bus. Without a
// bus or logind one line is logged and nothing is ever reported.
// Lives on the GUI thread.
class PowerEvents : public QObject
{
    Q_OBJECT

public:
    explicit PowerEvents(QDBusConnection bus = QDBusConnection::systemBus(), QObject *parent = nullptr);

    // Passes one power broadcast to the native event filters for each
    // top-level window that has a native window. Filters cannot stop it.
    static void deliver(bool suspending);

private slots:
    void onPrepareForSleep(bool start);
};

} // namespace host
