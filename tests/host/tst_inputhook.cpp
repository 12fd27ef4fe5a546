#include "inputhook.h"
#include "scriptedinputhook.h"
#include "xinputhook.h"

#include "testenvironment.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <atomic>

using host::InputHook;

class TestInputHook : public QObject
{
    Q_OBJECT

private slots:
    void factoryReplacesTheDefault();
    void withoutDisplayInstallsFailAndTheLoopStillRuns();
};

void TestInputHook::factoryReplacesTheDefault()
{
    InputHook::setFactory([] { return std::make_unique<host::ScriptedInputHook>(); });
    auto scripted = InputHook::create();
    QVERIFY(dynamic_cast<host::ScriptedInputHook *>(scripted.get()));

    InputHook::setFactory(nullptr);
    auto native = InputHook::create();
    QVERIFY(dynamic_cast<host::XInputHook *>(native.get()));
}

void TestInputHook::withoutDisplayInstallsFailAndTheLoopStillRuns()
{
    qunsetenv("DISPLAY");
    auto hook = InputHook::create();
    // One warning for both installs.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no DISPLAY"));
    // Checked on this thread once the hook's thread has ended.
    std::atomic<bool> keyboardInstalled{true}, mouseInstalled{true};
    std::atomic<bool> installsTried{false}, quitAsked{false}, returnedBeforeQuit{false};
    QThread *thread = QThread::create([&] {
        keyboardInstalled = hook->installKeyboard([](const InputHook::KeyboardHookEvent &) {});
        mouseInstalled = hook->installMouse([](const InputHook::MouseHookEvent &) {});
        installsTried = true;
        hook->run();
        returnedBeforeQuit = !quitAsked.load();
        hook->uninstall();
    });
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(installsTried.load(), 10000);
    QVERIFY(thread->isRunning());

    QElapsedTimer timer;
    timer.start();
    quitAsked = true;
    hook->quit();
    QVERIFY(thread->wait(3000));
    QVERIFY(timer.elapsed() < 3000);
    delete thread;
    QVERIFY(!returnedBeforeQuit);
    QVERIFY(!keyboardInstalled);
    QVERIFY(!mouseInstalled);
}

TAVRI_TEST_GUILESS_MAIN(TestInputHook)
#include "tst_inputhook.moc"
