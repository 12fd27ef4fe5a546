#include "powerevents.h"

#include "nativemessage.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnectionInterface>
#include <QDebug>
#include <QGuiApplication>
#include <QWindow>

namespace host {

namespace {
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

PowerEvents::PowerEvents(QDBusConnection bus, QObject *parent)
    : QObject(parent)
{
    if (!bus.isConnected()) {
        qDebug() << "PowerEvents: no system bus, suspend and resume are not reported:" << bus.lastError().message();
        return;
    }
    if (!bus.connect(kLogindService, kLogindPath, kLogindManager, QStringLiteral("PrepareForSleep"), this,
                     SLOT(onPrepareForSleep(bool)))) {
        qDebug() << "PowerEvents: cannot watch logind, suspend and resume are not reported:"
                 << bus.lastError().message();
        return;
    }
    QDBusConnectionInterface *busInterface = bus.interface();
    if (busInterface && !busInterface->isServiceRegistered(kLogindService).value())
        qDebug() << "PowerEvents: logind is not running, suspend and resume are not reported";
}

void PowerEvents::onPrepareForSleep(bool start)
{
    deliver(start);
}

void PowerEvents::deliver(bool suspending)
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    const QByteArray type = NativeMessage::eventType();
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        // Asking an uncreated window for its id would create it.
        if (!window->handle())
            continue;
        NativeMessage message{reinterpret_cast<void *>(window->winId()), NativeMessage::PowerBroadcast,
                              suspending ? NativeMessage::PowerSuspend : NativeMessage::PowerResumeAutomatic, 0};
        long result = 0;
        dispatcher->filterNativeEvent(type, &message, &result);
    }
}

} // namespace host
