#pragma once

#include <QString>
#include <QtTest/QtTest>

namespace tavritest {

// Gives a test process a home of its own before Qt reads any path.
//
// Construct it first thing in main(), before the application object, QSettings
// or QStandardPaths are touched (Qt caches the paths they compute) and before
// any thread starts, since it changes the environment. It creates one
// temporary folder (inside $TMPDIR when that exists, else /tmp) and points
// HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_RUNTIME_DIR (mode
// 0700) and TMPDIR into it, so a test never reads or writes the user's files
// and always starts from empty folders, whether CTest runs it or a developer
// runs the binary by hand. The folder is removed when the object is destroyed.
// The organization name is the program's, "Ostrel", as settings and data
// paths depend on it.
//
// The display is the offscreen platform with the software Quick backend,
// except for X11 tests, which use the X server named by DISPLAY (CTest runs
// them under xvfb-run). Without DISPLAY an X11 test falls back to offscreen;
// it checks hasX11Display() and skips what needs the server.
class TestEnvironment
{
public:
    enum class Display { Offscreen, X11 };

    explicit TestEnvironment(Display display = Display::Offscreen);
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    // The temporary folder that holds every other folder; empty when no
    // environment has been set up in this process.
    static QString root();
    // True when the test runs on an X server (X11 tests with DISPLAY set).
    static bool hasX11Display();

private:
    QString m_root;
};

// Runs deferred deletions now, so that objects handed to deleteLater() are
// gone before the test looks (or before a leak check at exit).
inline void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace tavritest

// Drop-in replacements for QTEST_MAIN and QTEST_GUILESS_MAIN that set up the
// test environment first. The application type follows the linked Qt modules,
// as with QTEST_MAIN.
#define TAVRI_TEST_MAIN(TestObject)                                                                                    \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        tavritest::TestEnvironment testEnvironment;                                                                    \
        QTEST_MAIN_IMPL(TestObject)                                                                                    \
    }

#define TAVRI_TEST_X11_MAIN(TestObject)                                                                                \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        tavritest::TestEnvironment testEnvironment(tavritest::TestEnvironment::Display::X11);                          \
        QTEST_MAIN_IMPL(TestObject)                                                                                    \
    }

#define TAVRI_TEST_GUILESS_MAIN(TestObject)                                                                            \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        tavritest::TestEnvironment testEnvironment;                                                                    \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                             \
        QCoreApplication app(argc, argv);                                                                              \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
