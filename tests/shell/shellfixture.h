#pragma once

// One application object for a test process: constructed before the tests
// run, initialized by the test (TavriShellFixture::start) against the
// web-service fake, so nothing leaves the machine, and destroyed after them.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QtTest/QtTest>

#include "fakewebservice.h"
#include "logcapture.h"
#include "tavriapplication.h"
#include "testenvironment.h"

namespace shelltest {

inline TavriApplication *&application()
{
    static TavriApplication *app = nullptr;
    return app;
}

// Points the voice service's server at a new web-service fake and runs the
// start-up sequence (no log file: every line reaches the test's handler).
// Returns the fake, which the caller owns.
inline FakeWebService *start()
{
    auto *web = new FakeWebService();
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QDir().mkpath(dataFolder);
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    if (runtime.open(QIODevice::WriteOnly)) {
        runtime.write("import QtQuick 2.0\nQtObject { property string applicationServer: \"http://"
                      + web->host().toLatin1() + "\" }\n");
        runtime.close();
    }
    static QByteArray program("tavri"), level("-loglevel_tavri=0");
    static char *argv[] = {program.data(), level.data(), nullptr};
    static int argc = 2;
    application()->initialize(argc, argv);
    return web;
}

// The context properties that every window's context holds.
inline const QStringList &commonContextProperties()
{
    static const QStringList names = {QStringLiteral("mainApp"),
                                      QStringLiteral("localUser"),
                                      QStringLiteral("storageManager"),
                                      QStringLiteral("voiceManager"),
                                      QStringLiteral("localUserNotifications"),
                                      QStringLiteral("findChannels"),
                                      QStringLiteral("filePicker"),
                                      QStringLiteral("tones"),
                                      QStringLiteral("adjustHeight"),
                                      QStringLiteral("tavriIdentityRealm"),
                                      QStringLiteral("styleManager")};
    return names;
}

// The analytics events of `name` ("Category.Label") that the capture holds,
// each as its parameter list's text.
inline QStringList events(const LogCapture &capture, const QString &name)
{
    QStringList found;
    for (const CapturedLine &line : capture.lines()) {
        if (line.category == "userint" && QString::fromUtf8(line.file) == name)
            found.append(line.message);
    }
    return found;
}

// The warnings and errors of the program's own QML files.
inline QStringList qmlWarnings(const LogCapture &capture)
{
    QStringList found;
    for (const CapturedLine &line : capture.lines()) {
        if (line.type != QtDebugMsg && line.type != QtInfoMsg && line.message.contains(QLatin1String("qrc:/")))
            found.append(line.message);
    }
    return found;
}

} // namespace shelltest

// Like QTEST_MAIN, with an application object of ApplicationClass (the
// program's, or a test's subclass of it), on the given display.
#define TAVRI_SHELL_TEST_MAIN_WITH_DISPLAY(ApplicationClass, TestObject, applicationId, display)                       \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        tavritest::TestEnvironment environment(display);                                                               \
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));                                               \
        QCoreApplication::setApplicationName(QStringLiteral("Tavri"));                                                 \
        Q_INIT_RESOURCE(tavri);                                                                                        \
        static int appArgc = 1;                                                                                        \
        static char *appArgv[] = {argv[0], nullptr};                                                                   \
        auto *app = new ApplicationClass(QStringLiteral(applicationId), appArgc, appArgv);                             \
        shelltest::application() = app;                                                                                \
        int result = 0;                                                                                                \
        {                                                                                                              \
            TestObject test;                                                                                           \
            QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
            result = QTest::qExec(&test, argc, argv);                                                                  \
        }                                                                                                              \
        delete app;                                                                                                    \
        shelltest::application() = nullptr;                                                                            \
        return result;                                                                                                 \
    }

// Like QTEST_MAIN, with an application object of ApplicationClass, offscreen.
#define TAVRI_SHELL_TEST_MAIN_WITH(ApplicationClass, TestObject, applicationId)                                        \
    TAVRI_SHELL_TEST_MAIN_WITH_DISPLAY(ApplicationClass, TestObject, applicationId,                                    \
                                       tavritest::TestEnvironment::Display::Offscreen)

// Like QTEST_MAIN, with the application object of the program.
#define TAVRI_SHELL_TEST_MAIN(TestObject, applicationId)                                                               \
    TAVRI_SHELL_TEST_MAIN_WITH(TavriApplication, TestObject, applicationId)
