// The key-capture view: while capturing, key and mouse-button events become
// keyEvent signals with Windows virtual-key codes and are kept from the QML;
// otherwise the QML gets them as in any view.

#include "testenvironment.h"
#include "virtualkeycapturewindow.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/keysym.h>

namespace {

// XKB keycodes of a standard PC keyboard.
constexpr quint32 kScanControlLeft = 37;
constexpr quint32 kScanControlRight = 105;
constexpr quint32 kScanShiftLeft = 50;
constexpr quint32 kScanAltRight = 108;
constexpr quint32 kScanSuperLeft = 133;
constexpr quint32 kScanA = 38;

// A root that counts the keys and clicks it receives.
const char kCountingRoot[] = R"(import QtQuick 2.5
Item {
    width: 100; height: 100
    focus: true
    property int keys: 0
    property int clicks: 0
    Keys.onPressed: keys++
    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onPressed: parent.clicks++ }
}
)";

struct Captured {
    uint code;
    QString text;
    uint key;
    bool autoRepeat;
    bool pressed;
};

QList<Captured> captured(const QSignalSpy &spy)
{
    QList<Captured> result;
    for (const QList<QVariant> &arguments : spy) {
        result.append({arguments.at(0).toUInt(), arguments.at(1).toString(), arguments.at(2).toUInt(),
                       arguments.at(3).toBool(), arguments.at(4).toBool()});
    }
    return result;
}

void sendKey(QWindow *window, QEvent::Type type, int key, quint32 scanCode, quint32 keysym, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, scanCode, keysym, 0, QString(), autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}

void sendButton(QWindow *window, QEvent::Type type, Qt::MouseButton button)
{
    const QPointF at(10, 10);
    QMouseEvent event(type, at, at, at, button, type == QEvent::MouseButtonPress ? button : Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

} // namespace

class KeyCaptureTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void withoutCaptureTheQmlGetsTheEvents();
    void resolveVirtualKey_data();
    void resolveVirtualKey();
    void capturedKeysAreConsumed();
    void rightControlFromTheGenericKey();
    void unknownKeysAreNotReported();
    void mouseButtons_data();
    void mouseButtons();
    void furtherButtonsAreNotReported();
    void keyActionsAreReportedAlways();

private:
    QTemporaryDir m_dir;
    QString m_rootFile;
    VirtualKeyCaptureWindow *m_view = nullptr;
};

void KeyCaptureTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_rootFile = m_dir.filePath(QStringLiteral("Counting.qml"));
    QFile file(m_rootFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kCountingRoot);
}

void KeyCaptureTest::init()
{
    m_view = new VirtualKeyCaptureWindow;
    m_view->setSource(QUrl::fromLocalFile(m_rootFile));
    QCOMPARE(m_view->status(), QQuickView::Ready);
    m_view->show();
    m_view->requestActivate();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void KeyCaptureTest::cleanup()
{
    QTest::ignoreMessage(QtDebugMsg, "~VirtualKeyCaptureWindow()");
    QTest::ignoreMessage(QtDebugMsg, "VirtualKeyCaptureWindow::~VirtualKeyCaptureWindow source cleared");
    delete m_view;
    m_view = nullptr;
}

void KeyCaptureTest::withoutCaptureTheQmlGetsTheEvents()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    QVERIFY(!m_view->isCapturing());

    sendKey(m_view, QEvent::KeyPress, Qt::Key_A, kScanA, XK_a);
    sendKey(m_view, QEvent::KeyRelease, Qt::Key_A, kScanA, XK_a);
    sendButton(m_view, QEvent::MouseButtonPress, Qt::LeftButton);
    sendButton(m_view, QEvent::MouseButtonRelease, Qt::LeftButton);

    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_view->rootObject()->property("keys").toInt(), 1);
    QCOMPARE(m_view->rootObject()->property("clicks").toInt(), 1);

    // Capture switched on and off again leaves the view as before.
    m_view->onStartCapture();
    m_view->onStopCapture();
    sendKey(m_view, QEvent::KeyPress, Qt::Key_A, kScanA, XK_a);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_view->rootObject()->property("keys").toInt(), 2);
}

void KeyCaptureTest::resolveVirtualKey_data()
{
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<quint32>("keysym");
    QTest::addColumn<uint>("code");

    QTest::newRow("left control by position") << kScanControlLeft << quint32(XK_Control_L) << 0xA2u;
    QTest::newRow("right control by position") << kScanControlRight << quint32(XK_Control_R) << 0xA3u;
    QTest::newRow("generic control is the right one") << 0u << quint32(XK_Control_L) << 0xA3u;
    QTest::newRow("generic alt is the right one") << 0u << quint32(XK_Alt_L) << 0xA5u;
    QTest::newRow("right alt by position") << kScanAltRight << quint32(XK_ISO_Level3_Shift) << 0xA5u;
    QTest::newRow("left shift by position") << kScanShiftLeft << quint32(XK_Shift_L) << 0xA0u;
    QTest::newRow("left windows key by position") << kScanSuperLeft << quint32(XK_Super_L) << 0x5Bu;
    QTest::newRow("a letter by its symbol") << kScanA << quint32(XK_a) << 0x41u;
    QTest::newRow("a letter without position") << 0u << quint32(XK_q) << 0x51u;
    QTest::newRow("unknown key") << 0u << 0u << 0u;
}

void KeyCaptureTest::resolveVirtualKey()
{
    QFETCH(quint32, scanCode);
    QFETCH(quint32, keysym);
    QFETCH(uint, code);
    QCOMPARE(VirtualKeyCaptureWindow::resolveVirtualKey(scanCode, keysym), code);
}

void KeyCaptureTest::capturedKeysAreConsumed()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onStartCapture();

    sendKey(m_view, QEvent::KeyPress, Qt::Key_Control, kScanControlRight, XK_Control_R);
    sendKey(m_view, QEvent::KeyPress, Qt::Key_A, kScanA, XK_a);
    sendKey(m_view, QEvent::KeyPress, Qt::Key_A, kScanA, XK_a, true);
    sendKey(m_view, QEvent::KeyRelease, Qt::Key_A, kScanA, XK_a);

    const QList<Captured> events = captured(spy);
    QCOMPARE(events.size(), 4);
    QCOMPARE(events.at(0).code, 0xA3u);
    QCOMPARE(events.at(0).key, uint(Qt::Key_Control));
    QVERIFY(events.at(0).pressed);
    QCOMPARE(events.at(1).code, 0x41u);
    QVERIFY(!events.at(1).autoRepeat);
    QVERIFY(events.at(2).autoRepeat);
    QCOMPARE(events.at(3).code, 0x41u);
    QVERIFY(!events.at(3).pressed);
    QCOMPARE(m_view->rootObject()->property("keys").toInt(), 0);
}

void KeyCaptureTest::rightControlFromTheGenericKey()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onStartCapture();
    // No known position: only the generic Control symbol.
    sendKey(m_view, QEvent::KeyPress, Qt::Key_Control, 0, XK_Control_R);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(captured(spy).first().code, 0xA3u);
}

void KeyCaptureTest::unknownKeysAreNotReported()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onStartCapture();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Key capture: no virtual key for native key"));
    sendKey(m_view, QEvent::KeyPress, Qt::Key_unknown, 0, 0x1008ffffu);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_view->rootObject()->property("keys").toInt(), 0);
}

void KeyCaptureTest::mouseButtons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<uint>("code");

    QTest::newRow("left") << int(Qt::LeftButton) << 1u;
    QTest::newRow("right") << int(Qt::RightButton) << 2u;
    QTest::newRow("middle") << int(Qt::MiddleButton) << 4u;
    QTest::newRow("first extra") << int(Qt::XButton1) << 5u;
    QTest::newRow("second extra") << int(Qt::XButton2) << 6u;
}

void KeyCaptureTest::mouseButtons()
{
    QFETCH(int, button);
    QFETCH(uint, code);
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onStartCapture();

    sendButton(m_view, QEvent::MouseButtonPress, Qt::MouseButton(button));
    sendButton(m_view, QEvent::MouseButtonRelease, Qt::MouseButton(button));

    const QList<Captured> events = captured(spy);
    QCOMPARE(events.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(events.at(i).code, code);
        QCOMPARE(events.at(i).key, code);
        QCOMPARE(events.at(i).text, QString());
        QVERIFY(!events.at(i).autoRepeat);
        QCOMPARE(events.at(i).pressed, i == 0);
    }
    QCOMPARE(m_view->rootObject()->property("clicks").toInt(), 0);
}

void KeyCaptureTest::furtherButtonsAreNotReported()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onStartCapture();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Key capture: mouse button 32 has no virtual key"));
    sendButton(m_view, QEvent::MouseButtonPress, Qt::ExtraButton3);
    QCOMPARE(spy.count(), 0);
}

void KeyCaptureTest::keyActionsAreReportedAlways()
{
    QSignalSpy spy(m_view, &VirtualKeyCaptureWindow::keyEvent);
    m_view->onKeyActionEvent(0xA2, Qt::Key_Control, true, false);
    m_view->onStartCapture();
    m_view->onKeyActionEvent(0x41, Qt::Key_A, false, true);

    const QList<Captured> events = captured(spy);
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.at(0).code, 0xA2u);
    QCOMPARE(events.at(0).key, uint(Qt::Key_Control));
    QVERIFY(events.at(0).pressed);
    QCOMPARE(events.at(1).code, 0x41u);
    QVERIFY(events.at(1).autoRepeat);
    QVERIFY(!events.at(1).pressed);
}

TAVRI_TEST_MAIN(KeyCaptureTest)
#include "tst_keycapture.moc"
