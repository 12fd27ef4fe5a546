// Idle detection: the activity monitor thread and its hook events, the idle
// handler's away/online cycle and stop paths, and the local user's presence
// changes when the user goes idle and comes back.

#include "idlehandler.h"
#include "keyboardmonitorthread.h"
#include "localusertestsupport.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using Presence = Tavri::RealmUserInterface::PresenceState;
using Hook = host::InputHook;
using Action = QPair<int, bool>;

namespace {

// Starts the thread and returns its scripted hook once it delivers events.
host::ScriptedInputHook *startMonitor(KeyboardMonitorThread &thread)
{
    localusertest::currentHook().store(nullptr);
    thread.start();
    QElapsedTimer clock;
    clock.start();
    while (!localusertest::currentHook().load() && clock.elapsed() < 5000)
        QThread::msleep(1);
    host::ScriptedInputHook *hook = localusertest::currentHook().load();
    if (hook && !hook->waitUntilRunning(5000))
        return nullptr;
    return hook;
}

// Records the monitor's actions on the test's thread: the signal comes from
// the monitor thread and reaches this object queued, as it reaches the idle
// handler.
class ActionRecorder : public QObject
{
public:
    explicit ActionRecorder(KeyboardMonitorThread *thread)
    {
        connect(thread, &KeyboardMonitorThread::actionSignal, this, [this](int code, bool isPressed) {
            actions.append({code, isPressed});
        });
    }
    QList<Action> actions;
};

} // namespace

class LocalUserIdleTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    // The activity monitor.
    void keysAndButtonsAreReported();
    void aHookThatFailsReportsNothing();
    void stopEndsTheThread_data();
    void stopEndsTheThread();

    // The idle handler.
    void awayOnceThenOnlineOnce();
    void intervalZeroStops();
    void eventsQueuedBeforeStopAreDropped();

    // The local user.
    void idleWhileOfflineKeepsPresence();
    void returningFromIdle_data();
    void returningFromIdle();
    void voiceLoginStartsAndLogoutStopsDetection();

private:
    localusertest::SignedInUser *m_user = nullptr;
};

void LocalUserIdleTest::initTestCase()
{
    localusertest::useScriptedInput();
    m_user = new localusertest::SignedInUser;
}

void LocalUserIdleTest::cleanupTestCase()
{
    delete m_user;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void LocalUserIdleTest::keysAndButtonsAreReported()
{
    KeyboardMonitorThread thread;
    ActionRecorder recorder(&thread);
    host::ScriptedInputHook *hook = startMonitor(thread);
    QVERIFY(hook);
    QVERIFY(thread.hooksRunning());

    hook->inject(Hook::KeyboardHookEvent{Hook::KeyDown, 0x41});
    hook->inject(Hook::MouseHookEvent{Hook::Move, 0});
    hook->inject(Hook::KeyboardHookEvent{Hook::KeyUp, 0x41});
    hook->inject(Hook::MouseHookEvent{Hook::Wheel, 0x780000});
    hook->inject(Hook::KeyboardHookEvent{Hook::SysKeyDown, 0xA4});
    hook->inject(Hook::KeyboardHookEvent{Hook::SysKeyUp, 0xA4});
    hook->inject(Hook::MouseHookEvent{Hook::LButtonDown, 0});
    hook->inject(Hook::MouseHookEvent{Hook::LButtonDblClk, 0});
    hook->inject(Hook::MouseHookEvent{Hook::LButtonUp, 0});
    hook->inject(Hook::MouseHookEvent{Hook::RButtonDown, 0});
    hook->inject(Hook::MouseHookEvent{Hook::MButtonUp, 0});
    hook->inject(Hook::MouseHookEvent{Hook::XButtonDown, 0x10000});
    hook->inject(Hook::MouseHookEvent{Hook::XButtonUp, 0x20000});
    // An extra-button record naming no known button.
    hook->inject(Hook::MouseHookEvent{Hook::XButtonDown, 0x30000});
    hook->inject(Hook::KeyboardHookEvent{Hook::KeyDown, 0x1B});

    QTRY_COMPARE(recorder.actions.size(), 11);
    QCOMPARE(recorder.actions, (QList<Action>{{0x41, true},
                                              {0x41, false},
                                              {0xA4, true},
                                              {0xA4, false},
                                              {1, true},
                                              {1, false},
                                              {2, true},
                                              {4, false},
                                              {5, true},
                                              {6, false},
                                              {0x1B, true}}));
    QVERIFY(thread.stop());
    QVERIFY(!thread.hooksRunning());
}

void LocalUserIdleTest::aHookThatFailsReportsNothing()
{
    // The keyboard hook cannot be installed; the mouse still reports.
    host::InputHook::setFactory([] {
        auto hook = std::make_unique<host::ScriptedInputHook>();
        hook->setKeyboardInstallFails(true);
        localusertest::currentHook().store(hook.get());
        return std::unique_ptr<host::InputHook>(std::move(hook));
    });
    KeyboardMonitorThread thread;
    ActionRecorder recorder(&thread);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("keyboard hook not installed"));
    host::ScriptedInputHook *hook = startMonitor(thread);
    localusertest::useScriptedInput();
    QVERIFY(hook);

    hook->inject(Hook::KeyboardHookEvent{Hook::KeyDown, 0x41});
    hook->inject(Hook::MouseHookEvent{Hook::RButtonUp, 0});
    QTRY_COMPARE(recorder.actions.size(), 1);
    QCOMPARE(recorder.actions, (QList<Action>{{2, false}}));
    QVERIFY(thread.stop());
}

void LocalUserIdleTest::stopEndsTheThread_data()
{
    QTest::addColumn<int>("when");
    // 0: never started; 1: right after start, before the thread has run;
    // 2: while it waits for events.
    QTest::newRow("never started") << 0;
    QTest::newRow("just started") << 1;
    QTest::newRow("running") << 2;
}

void LocalUserIdleTest::stopEndsTheThread()
{
    QFETCH(int, when);
    // Repeated, since the race between start and stop differs per run.
    for (int round = 0; round < 20; ++round) {
        KeyboardMonitorThread thread;
        if (when == 1)
            thread.start();
        if (when == 2)
            QVERIFY(startMonitor(thread));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(thread.stop());
        QVERIFY(!thread.isRunning());
        // The wait is bounded by 3000 ms; an ended thread is well inside it.
        QVERIFY(clock.elapsed() < 3000);
    }
}

void LocalUserIdleTest::awayOnceThenOnlineOnce()
{
    IdleHandler handler;
    QSignalSpy away(&handler, &IdleHandler::away);
    QSignalSpy online(&handler, &IdleHandler::online);
    localusertest::currentHook().store(nullptr);
    handler.setInterval(1);
    QCOMPARE(handler.timerInterval(), 1000);
    handler.start();
    QVERIFY(handler.monitorThread());
    QTRY_VERIFY(localusertest::currentHook().load());
    host::ScriptedInputHook *hook = localusertest::currentHook().load();
    QVERIFY(hook->waitUntilRunning(5000));

    QVERIFY(away.wait(5000));
    QVERIFY(!handler.isTimerActive());
    QCOMPARE(online.count(), 0);

    // Key down and up: the first returns from idle, the second only restarts
    // the timer. The handler was connected to the monitor first, so both
    // keys have reached it once they reach a receiver connected after it.
    QObject afterHandler;
    int keysSeen = 0;
    connect(handler.monitorThread(), &KeyboardMonitorThread::actionSignal, &afterHandler, [&keysSeen] { ++keysSeen; });
    hook->inject(Hook::KeyboardHookEvent{Hook::KeyDown, 0x20});
    hook->inject(Hook::KeyboardHookEvent{Hook::KeyUp, 0x20});
    QVERIFY(online.wait(5000) || !online.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(keysSeen, 2, 10000);
    QCOMPARE(online.count(), 1);
    QVERIFY(handler.isTimerActive());
    QCOMPARE(away.count(), 1);

    // The next idle period gives one more away.
    QVERIFY(away.wait(5000));
    QCOMPARE(away.count(), 2);
    handler.stop();
    QVERIFY(!handler.monitorThread());
}

void LocalUserIdleTest::intervalZeroStops()
{
    IdleHandler handler;
    handler.setInterval(60);
    handler.start();
    QPointer<KeyboardMonitorThread> thread = handler.monitorThread();
    QVERIFY(thread);
    QVERIFY(handler.isTimerActive());

    handler.setInterval(0);
    QVERIFY(!handler.monitorThread());
    QVERIFY(!handler.isTimerActive());
    // The stopped thread ends and deletes itself.
    QTRY_VERIFY(!thread);

    QTest::ignoreMessage(QtDebugMsg, "Idle Handler set to invalid frequency, not starting...");
    handler.start();
    QVERIFY(!handler.monitorThread());
    QVERIFY(!handler.isTimerActive());
}

void LocalUserIdleTest::eventsQueuedBeforeStopAreDropped()
{
    IdleHandler handler;
    QSignalSpy online(&handler, &IdleHandler::online);
    handler.setInterval(60);
    handler.start();
    KeyboardMonitorThread *thread = handler.monitorThread();
    QVERIFY(thread);

    // An event on its way from the monitor when the handler stops.
    QMetaObject::invokeMethod(thread, "actionSignal", Qt::DirectConnection, Q_ARG(int, 0x41), Q_ARG(bool, true));
    handler.stop();
    QCoreApplication::processEvents();
    QCOMPARE(online.count(), 0);
    QVERIFY(!handler.isTimerActive());
}

void LocalUserIdleTest::idleWhileOfflineKeepsPresence()
{
    m_user->signIn();
    LocalUser *local = m_user->local();
    local->setPresenceState(Presence::Offline, false);
    QSignalSpy idle(local, &LocalUser::isIdleChanged);

    emit local->idleHandler()->away();
    QCOMPARE(local->getPresenceState(), Presence::Offline);
    QVERIFY(local->isIdle());
    QCOMPARE(idle.count(), 1);

    emit local->idleHandler()->online();
    QCOMPARE(local->getPresenceState(), Presence::Offline);
    QVERIFY(local->isIdle());
    QCOMPARE(idle.count(), 1);

    // Without an identity a return changes nothing either.
    m_user->signOut();
    emit local->idleHandler()->online();
    QVERIFY(local->isIdle());
}

void LocalUserIdleTest::returningFromIdle_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("afterReturn");

    QTest::newRow("chose online") << int(Presence::Online) << int(Presence::Online);
    QTest::newRow("chose away") << int(Presence::Away) << int(Presence::Away);
    QTest::newRow("chose do not disturb") << int(Presence::DoNotDisturb) << int(Presence::Online);
}

void LocalUserIdleTest::returningFromIdle()
{
    QFETCH(int, chosen);
    QFETCH(int, afterReturn);
    m_user->signIn();
    LocalUser *local = m_user->local();
    local->setPresenceState(chosen);
    QSignalSpy idle(local, &LocalUser::isIdleChanged);

    emit local->idleHandler()->away();
    QCOMPARE(int(local->getPresenceState()), int(Presence::Away));
    QVERIFY(local->isIdle());

    emit local->idleHandler()->online();
    QCOMPARE(int(local->getPresenceState()), afterReturn);
    QVERIFY(!local->isIdle());
    QCOMPARE(idle.count(), 2);
    QCOMPARE(idle.at(1).at(0).toBool(), false);
    // Idle changes are not the user's choice.
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("lastPresenceState")).toInt(), chosen);
    m_user->signOut();
}

void LocalUserIdleTest::voiceLoginStartsAndLogoutStopsDetection()
{
    m_user->signIn();
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsAppIdleInterval"), 1234);
    m_user->signOut();

    m_user->signIn();
    LocalUser *local = m_user->local();
    QCOMPARE(local->idleHandler()->interval(), 1234);
    QCOMPARE(local->idleHandler()->timerInterval(), 1234000);
    QVERIFY(local->idleHandler()->isTimerActive());
    QVERIFY(local->idleHandler()->monitorThread());
    QVERIFY(!local->isIdle());

    local->stopIdleHandler();
    QVERIFY(!local->idleHandler()->monitorThread());
    local->idleHandler()->start();
    QVERIFY(local->idleHandler()->monitorThread());

    local->onVoiceLoggedOut(QStringLiteral("Connection lost"));
    QVERIFY(!local->idleHandler()->monitorThread());
    QVERIFY(!local->idleHandler()->isTimerActive());
    m_user->signOut();
}

TAVRI_TEST_MAIN(LocalUserIdleTest)
#include "tst_localuseridle.moc"
