#include "scriptedinputhook.h"

#include "testenvironment.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QVector>

#include <atomic>

using host::InputHook;
using host::ScriptedInputHook;

namespace {

// Records what the procedures see and on which thread.
struct Recorder {
    QMutex mutex;
    QVector<quint32> messages;
    QVector<quint32> data;
    QVector<Qt::HANDLE> threads;

    void add(quint32 message, quint32 value)
    {
        QMutexLocker lock(&mutex);
        messages << message;
        data << value;
        threads << QThread::currentThreadId();
    }
    int count()
    {
        QMutexLocker lock(&mutex);
        return messages.size();
    }
};

} // namespace

class TestScriptedInputHook : public QObject
{
    Q_OBJECT

private slots:
    void deliversOnTheRunThread();
    void failedInstallReportsNothingButRuns();
    void quitBeforeRunReturnsAtOnce();
    void uninstallStopsDelivery();
};

void TestScriptedInputHook::deliversOnTheRunThread()
{
    ScriptedInputHook hook;
    Recorder recorder;
    Qt::HANDLE runThread = nullptr;
    // Checked on this thread: a failed check in the hook's thread would not stop the test.
    std::atomic<bool> keyboardInstalled{false}, mouseInstalled{false};
    QThread *thread = QThread::create([&] {
        runThread = QThread::currentThreadId();
        keyboardInstalled = hook.installKeyboard(
            [&](const InputHook::KeyboardHookEvent &e) { recorder.add(e.message, quint32(e.vkCode)); });
        mouseInstalled =
            hook.installMouse([&](const InputHook::MouseHookEvent &e) { recorder.add(e.message, e.mouseData); });
        hook.run();
        hook.uninstall();
    });
    thread->start();
    QVERIFY(hook.waitUntilRunning(5000));

    // Injected from this (another) thread, in order.
    hook.inject(InputHook::KeyboardHookEvent{InputHook::KeyDown, 0xA2});
    hook.inject(InputHook::MouseHookEvent{InputHook::XButtonUp, 0x20000});
    hook.inject(InputHook::KeyboardHookEvent{InputHook::SysKeyUp, 0x12});
    QTRY_COMPARE(recorder.count(), 3);
    hook.quit();
    QVERIFY(thread->wait(3000));
    delete thread;
    QVERIFY(keyboardInstalled);
    QVERIFY(mouseInstalled);

    QCOMPARE(recorder.messages, (QVector<quint32>{0x100, 0x20C, 0x105}));
    QCOMPARE(recorder.data, (QVector<quint32>{0xA2, 0x20000, 0x12}));
    for (Qt::HANDLE h : recorder.threads)
        QCOMPARE(h, runThread);
}

void TestScriptedInputHook::failedInstallReportsNothingButRuns()
{
    ScriptedInputHook hook;
    hook.setKeyboardInstallFails(true);
    Recorder recorder;
    std::atomic<bool> keyboardInstalled{true}, mouseInstalled{false};
    QThread *thread = QThread::create([&] {
        keyboardInstalled = hook.installKeyboard(
            [&](const InputHook::KeyboardHookEvent &e) { recorder.add(e.message, quint32(e.vkCode)); });
        mouseInstalled =
            hook.installMouse([&](const InputHook::MouseHookEvent &e) { recorder.add(e.message, e.mouseData); });
        hook.run();
    });
    thread->start();
    QVERIFY(hook.waitUntilRunning(5000));
    QVERIFY(!hook.isKeyboardInstalled());
    QVERIFY(hook.isMouseInstalled());

    hook.inject(InputHook::KeyboardHookEvent{InputHook::KeyDown, 0x41});
    hook.inject(InputHook::MouseHookEvent{InputHook::LButtonDown, 0});
    QTRY_COMPARE(recorder.count(), 1);
    hook.quit();
    QVERIFY(thread->wait(3000));
    delete thread;
    QVERIFY(!keyboardInstalled);
    QVERIFY(mouseInstalled);
    QCOMPARE(recorder.messages, (QVector<quint32>{0x201}));
}

void TestScriptedInputHook::quitBeforeRunReturnsAtOnce()
{
    ScriptedInputHook hook;
    hook.quit();
    QElapsedTimer timer;
    timer.start();
    hook.run();
    QVERIFY(timer.elapsed() < 3000);
}

void TestScriptedInputHook::uninstallStopsDelivery()
{
    ScriptedInputHook hook;
    Recorder recorder;
    QVERIFY(hook.installKeyboard(
        [&](const InputHook::KeyboardHookEvent &e) { recorder.add(e.message, quint32(e.vkCode)); }));
    hook.uninstall();
    QVERIFY(!hook.isKeyboardInstalled());
    hook.inject(InputHook::KeyboardHookEvent{InputHook::KeyDown, 0x41});
    QThread *thread = QThread::create([&] { hook.run(); });
    thread->start();
    QVERIFY(hook.waitUntilRunning(5000));
    hook.quit();
    QVERIFY(thread->wait(3000));
    delete thread;
    QCOMPARE(recorder.count(), 0);
}

TAVRI_TEST_GUILESS_MAIN(TestScriptedInputHook)
#include "tst_scriptedinputhook.moc"
