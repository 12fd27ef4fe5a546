#pragma once

#include <QQuickView>
#include <QString>

class QKeyEvent;
class QMouseEvent;

// VirtualKeyCaptureWindow: a QML view that can record key combinations.
//
// While capturing is on (onStartCapture() until onStopCapture()), every key
// press and release and every mouse-button press and release in the window is
// consumed and reported as one keyEvent carrying the Windows virtual-key code
// of the key or button, with the side kept for Shift, Control, Alt and the
// Windows keys. Push-to-talk keys are stored as such codes. While capturing is
// off, events reach the QML as in any view.
//
// GUI thread. The settings window is shown in one; its QML root's
// startCapture() and stopCapture() signals drive the capture.
class VirtualKeyCaptureWindow : public QQuickView
{
    Q_OBJECT

public:
    explicit VirtualKeyCaptureWindow(QWindow *parent = nullptr);
    // A window whose QML shares the given engine.
    VirtualKeyCaptureWindow(QQmlEngine *engine, QWindow *parent);
    ~VirtualKeyCaptureWindow() override;

    bool isCapturing() const { return m_capturing; }

    // The virtual key of a native key event: the side-specific code that the
    // key's position gives for Shift, Control, Alt and the Windows keys, else
    // the code of the native key symbol, with a generic Control or Alt taken
    // as the right-hand key. 0 for a key without a code.
    static uint resolveVirtualKey(quint32 nativeScanCode, quint32 nativeVirtualKey);

signals:
    void keyEvent(uint nativeVirtualKey, const QString &text, uint key, bool isAutoRepeat, bool pressed);

public slots:
    void onStartCapture();
    void onStopCapture();
    // Key actions from another source; reported whether capturing or not.
    void onKeyActionEvent(int keyCode, int qKey, bool pressed, bool autoRepeat);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void handleKeyEvent(QKeyEvent *event, bool pressed);
    void handleMouseEvent(QMouseEvent *event, bool pressed);

    bool m_capturing = false;
};
