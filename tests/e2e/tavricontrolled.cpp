// The program with the test control socket: exactly tavri, plus a
// TestControlServer on the local socket that TAVRI_TEST_CONTROL names,
// started once the event loop runs.
#include "realmain.h"
#include "testcontrolserver.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

void startTestControl()
{
    const QString name = qEnvironmentVariable("TAVRI_TEST_CONTROL");
    if (name.isEmpty())
        return;
    QTimer::singleShot(0, QCoreApplication::instance(), [name] {
        auto *server = new TestControlServer(QCoreApplication::instance());
        QString error;
        if (!server->listen(name, &error)) {
            std::fprintf(stderr, "tavri-controlled: cannot listen on %s: %s\n", qPrintable(name), qPrintable(error));
            return;
        }
        std::printf("CONTROL READY\n");
        std::fflush(stdout);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startTestControl)

int main(int argc, char *argv[])
{
    return guardedMain(argc, argv);
}
