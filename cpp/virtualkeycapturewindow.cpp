#include "virtualkeycapturewindow.h"

#include "virtualkeymap.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace {

// Windows virtual-key codes used here.
constexpr uint kGenericControl = 0x11;
constexpr uint kGenericAlt = 0x12;
constexpr uint kLeftWindows = 0x5B;
constexpr uint kRightWindows = 0x5C;
constexpr uint kLeftShift = 0xA0;
constexpr uint kRightAlt = 0xA5;
constexpr uint kRightControl = 0xA3;
constexpr uint kLeftButton = 1;
constexpr uint kRightButton = 2;
constexpr uint kMiddleButton = 4;
constexpr uint kFirstExtraButton = 5;
constexpr uint kSecondExtraButton = 6;

bool isSideSpecific(uint code)
{
    return code == kLeftWindows || code == kRightWindows || (code >= kLeftShift && code <= kRightAlt);
}

} // namespace

VirtualKeyCaptureWindow::VirtualKeyCaptureWindow(QWindow *parent)
    : QQuickView(parent)
{
}

VirtualKeyCaptureWindow::VirtualKeyCaptureWindow(QQmlEngine *engine, QWindow *parent)
    : QQuickView(engine, parent)
{
}

VirtualKeyCaptureWindow::~VirtualKeyCaptureWindow()
{
    qDebug() << "~VirtualKeyCaptureWindow()";
    setSource(QUrl());
    qDebug() << "VirtualKeyCaptureWindow::~VirtualKeyCaptureWindow"
             << "source cleared";
}

void VirtualKeyCaptureWindow::onStartCapture()
{
    m_capturing = true;
}

void VirtualKeyCaptureWindow::onStopCapture()
{
    m_capturing = false;
}

uint VirtualKeyCaptureWindow::resolveVirtualKey(quint32 nativeScanCode, quint32 nativeVirtualKey)
{
    const uint mapped = host::VirtualKeyMap::fromScanCode(nativeScanCode);
    if (isSideSpecific(mapped))
        return mapped;
    const uint virtualKey = host::VirtualKeyMap::fromNativeVirtualKey(nativeVirtualKey);
    if (virtualKey == kGenericControl)
        return kRightControl;
    if (virtualKey == kGenericAlt)
        return kRightAlt;
    return virtualKey;
}

void VirtualKeyCaptureWindow::keyPressEvent(QKeyEvent *event)
{
    if (!m_capturing) {
        QQuickView::keyPressEvent(event);
        return;
    }
    handleKeyEvent(event, true);
}

void VirtualKeyCaptureWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_capturing) {
        QQuickView::keyReleaseEvent(event);
        return;
    }
    handleKeyEvent(event, false);
}

void VirtualKeyCaptureWindow::mousePressEvent(QMouseEvent *event)
{
    if (!m_capturing) {
        QQuickView::mousePressEvent(event);
        return;
    }
    handleMouseEvent(event, true);
}

void VirtualKeyCaptureWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_capturing) {
        QQuickView::mouseReleaseEvent(event);
        return;
    }
    handleMouseEvent(event, false);
}

void VirtualKeyCaptureWindow::handleKeyEvent(QKeyEvent *event, bool pressed)
{
    event->accept();
    const uint code = resolveVirtualKey(event->nativeScanCode(), event->nativeVirtualKey());
    if (code == 0) {
        // A key the virtual-key table cannot name would be stored as key 0.
        qWarning() << "Key capture: no virtual key for native key" << event->nativeVirtualKey() << "scan code"
                   << event->nativeScanCode() << "- ignored";
        return;
    }
    emit keyEvent(code, event->text(), uint(event->key()), event->isAutoRepeat(), pressed);
    if (!event->isAutoRepeat()) {
        qDebug() << "Captured key event: nvk:" << event->nativeVirtualKey() << "nsc:" << event->nativeScanCode()
                 << "nmf:" << event->nativeModifiers() << "qtkc:" << event->key()
                 << "autorepeat:" << event->isAutoRepeat() << (pressed ? "pressed" : "released");
    }
}

void VirtualKeyCaptureWindow::handleMouseEvent(QMouseEvent *event, bool pressed)
{
    event->accept();
    uint code = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        code = kLeftButton;
        break;
    case Qt::RightButton:
        code = kRightButton;
        break;
    case Qt::MiddleButton:
        code = kMiddleButton;
        break;
    case Qt::XButton1:
        code = kFirstExtraButton;
        break;
    case Qt::XButton2:
        code = kSecondExtraButton;
        break;
    default:
        // Further buttons have no virtual key; their Qt values would read as
        // keyboard keys (the third extra button as Space).
        qWarning() << "Key capture: mouse button" << int(event->button()) << "has no virtual key - ignored";
        return;
    }
    emit keyEvent(code, QString(), code, false, pressed);
}

void VirtualKeyCaptureWindow::onKeyActionEvent(int keyCode, int qKey, bool pressed, bool autoRepeat)
{
    qDebug() << "Received event action signal: kc:" << keyCode << "qkey:" << qKey << "pressed:" << pressed
             << "autorepeat:" << autoRepeat;
    const QKeyEvent event(pressed ? QEvent::KeyPress : QEvent::KeyRelease, qKey, Qt::NoModifier, QString(), autoRepeat,
                          1);
    const QString text = event.text();
    qDebug() << "emitting: nvk:" << keyCode << "text:" << text << "qkey:" << qKey << "autorepeat:" << autoRepeat
             << "pressed:" << pressed;
    emit keyEvent(uint(keyCode), text, uint(qKey), autoRepeat, pressed);
}
