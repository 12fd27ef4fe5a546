#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace host {

// A window message in the shape the native event filter of a Windows build
// receives, so that filters keep one code path. Delivered to the
// application's QAbstractNativeEventFilter with eventType() as the type and
// a pointer to this record as the message.
struct NativeMessage {
    void *hwnd;
    quint32 message;
    quintptr wParam;
    qintptr lParam;

    static QByteArray eventType();

    // Power management broadcast and the two events it reports.
    static constexpr quint32 PowerBroadcast = 536;
    static constexpr quintptr PowerSuspend = 4;
    static constexpr quintptr PowerResumeAutomatic = 18;
};

} // namespace host
