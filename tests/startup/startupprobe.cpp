// The program's own entry, for tests that run it as a process: after the
// entry returns it prints the voice SDK's crash-data markers in the order
// they were recorded ("MARKER <text>") and the entry's result ("EXIT <n>").
//
// With STARTUP_PROBE_LOOP_RESULT set, the event loop is ended with that
// result as soon as it runs.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "ostrelsdk_control.h"
#include "realmain.h"
#include "tavriapplication.h"

namespace {

bool eventLoopHasStarted()
{
    const int count = oxc_crash_marker_count();
    return TavriApplication::instance() && count > 0
           && std::strcmp(oxc_crash_marker(count - 1), "Before_app.exec()") == 0;
}

void endLoopWithRequestedResult()
{
    bool ok = false;
    const int result = qEnvironmentVariableIntValue("STARTUP_PROBE_LOOP_RESULT", &ok);
    if (!ok)
        return;
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, result] {
        if (!eventLoopHasStarted())
            return;
        poll->stop();
        QCoreApplication::exit(result);
    });
    poll->start(20);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(endLoopWithRequestedResult)

int main(int argc, char *argv[])
{
    const int result = guardedMain(argc, argv);
    for (int i = 0; i < oxc_crash_marker_count(); ++i)
        std::printf("MARKER %s\n", oxc_crash_marker(i));
    std::printf("EXIT %d\n", result);
    std::fflush(stdout);
    return result;
}
