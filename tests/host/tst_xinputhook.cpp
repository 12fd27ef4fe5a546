#include "xinputhook.h"

#include "logcapture.h"
#include "testenvironment.h"

#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QVector>

#include <X11/Xlib.h>

#include <atomic>
#include <dlfcn.h>

using host::InputHook;

namespace {

using FakeKey = int (*)(Display *, unsigned int, int, unsigned long);
using FakeButton = int (*)(Display *, unsigned int, int, unsigned long);
using FakeMotion = int (*)(Display *, int, int, int, unsigned long);

struct Seen {
    quint32 message;
    quint32 value;
    bool operator==(const Seen &o) const { return message == o.message && value == o.value; }
};

} // namespace

// Drives a private Xvfb server with XTest and checks what the hook reports.
class TestXInputHook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reportsRawKeysAndButtons();
    void survivesTheServerGoingAway(); // stops the server: keep last

private:
    QProcess m_xvfb;
    void *m_xtst = nullptr;
    FakeKey m_fakeKey = nullptr;
    FakeButton m_fakeButton = nullptr;
    FakeMotion m_fakeMotion = nullptr;
};

void TestXInputHook::initTestCase()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        QSKIP("Xvfb is not installed");
    m_xtst = dlopen("libXtst.so.6", RTLD_NOW);
    if (!m_xtst)
        QSKIP("libXtst is not installed");
    m_fakeKey = reinterpret_cast<FakeKey>(dlsym(m_xtst, "XTestFakeKeyEvent"));
    m_fakeButton = reinterpret_cast<FakeButton>(dlsym(m_xtst, "XTestFakeButtonEvent"));
    m_fakeMotion = reinterpret_cast<FakeMotion>(dlsym(m_xtst, "XTestFakeMotionEvent"));
    QVERIFY(m_fakeKey && m_fakeButton && m_fakeMotion);

    // Xvfb picks a free display and prints its number on the given fd.
    m_xvfb.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                  QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("320x240x24")});
    QVERIFY(m_xvfb.waitForStarted(10000));
    QByteArray number;
    while (!number.contains('\n')) {
        QVERIFY2(m_xvfb.waitForReadyRead(10000), "Xvfb printed no display number");
        number += m_xvfb.readAllStandardOutput();
    }
    qputenv("DISPLAY", ":" + number.trimmed());
}

void TestXInputHook::cleanupTestCase()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        m_xvfb.waitForFinished(5000);
    }
    if (m_xtst)
        dlclose(m_xtst);
}

void TestXInputHook::reportsRawKeysAndButtons()
{
    QMutex mutex;
    QVector<Seen> seen;
    std::atomic<int> installed{-1};
    host::XInputHook hook;

    QThread *thread = QThread::create([&] {
        const bool keyboard = hook.installKeyboard([&](const InputHook::KeyboardHookEvent &e) {
            QMutexLocker lock(&mutex);
            seen.append({e.message, quint32(e.vkCode)});
        });
        const bool mouse = hook.installMouse([&](const InputHook::MouseHookEvent &e) {
            QMutexLocker lock(&mutex);
            seen.append({e.message, e.mouseData});
        });
        installed = keyboard && mouse ? 1 : 0;
        hook.run();
        hook.uninstall();
    });
    thread->start();
    QTRY_VERIFY(installed != -1);
    QCOMPARE(installed.load(), 1);

    Display *display = XOpenDisplay(nullptr);
    QVERIFY(display);
    m_fakeMotion(display, -1, 100, 100, 0); // moves are not reported
    m_fakeKey(display, 37, True, 0);        // Control_L
    m_fakeKey(display, 37, False, 0);
    m_fakeKey(display, 105, True, 0); // Control_R
    m_fakeKey(display, 105, False, 0);
    m_fakeButton(display, 1, True, 0);
    m_fakeButton(display, 1, False, 0);
    m_fakeButton(display, 9, True, 0); // second extra button
    m_fakeButton(display, 9, False, 0);
    m_fakeButton(display, 4, True, 0); // one wheel step up
    m_fakeButton(display, 4, False, 0);
    XSync(display, False);
    XCloseDisplay(display);

    const QVector<Seen> expected{
        {0x100, 0xA2}, {0x101, 0xA2},    {0x100, 0xA3},    {0x101, 0xA3},       {0x201, 0},
        {0x202, 0},    {0x20B, 0x20000}, {0x20C, 0x20000}, {0x20A, 0x00780000},
    };
    QTRY_COMPARE_WITH_TIMEOUT(
        [&] {
            QMutexLocker lock(&mutex);
            return seen.size();
        }(),
        expected.size(), 5000);
    hook.quit();
    QVERIFY(thread->wait(3000));
    delete thread;
    QMutexLocker lock(&mutex);
    QCOMPARE(seen, expected);
}

void TestXInputHook::survivesTheServerGoingAway()
{
    std::atomic<int> installed{-1};
    host::XInputHook hook;
    QThread *thread = QThread::create([&] {
        installed = hook.installKeyboard([](const InputHook::KeyboardHookEvent &) {}) ? 1 : 0;
        hook.run();
        hook.uninstall();
    });
    thread->start();
    QTRY_VERIFY(installed != -1);
    QCOMPARE(installed.load(), 1);

    // Xlib ends the process on a lost connection unless told otherwise. The
    // hook's warning shows that it has seen the loss; its thread still runs.
    LogCapture capture;
    m_xvfb.kill();
    QVERIFY(m_xvfb.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!capture.matching(QStringLiteral("X connection was lost")).isEmpty(), 10000);
    QVERIFY(thread->isRunning());

    hook.quit();
    QVERIFY(thread->wait(3000));
    delete thread;
}

TAVRI_TEST_GUILESS_MAIN(TestXInputHook)
#include "tst_xinputhook.moc"
