// Messages to the running instance: any bytes a local process writes to the
// single-instance socket (lengths that lie, truncated frames, bad UTF-8),
// and every message that comes through, with its "tavri:" links, handed to
// the application's message handler while the local user is logged in. The
// application works with the signed-in session's voice and web services, so
// that links to the voice service's own channels are joined and the other
// forms reach their web requests; the voice sessions an input joined are
// ended before the next.

#include "sessionfixture.h"
#include "tavriapplication.h"

#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

// Hands the application the services that its start-up sequence would make.
class TavriApplicationTest
{
public:
    static void useServices(TavriApplication &app, VoiceManager *voice, QSocialManager *social)
    {
        app.m_voiceManager = voice;
        app.m_socialManager = social;
    }
};

namespace {

const QString kAppId = QStringLiteral("TavriFuzz");

// The hand-over to an external application ("-svc") is recorded instead of
// opening its pipes, which would wait seconds for a peer that is not there.
class FuzzApplication : public TavriApplication
{
public:
    using TavriApplication::TavriApplication;

protected:
    bool requestSharedRealm(const QString &, const QString &, const QString &, const QString &,
                            const QString &) override
    {
        return true;
    }
};

TavriApplication &tavriApplication()
{
    static TavriApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
        qInstallMessageHandler(fuzz::quietMessageHandler);
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
        QCoreApplication::setApplicationName(kAppId);
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        auto *created = new FuzzApplication(kAppId, argc, argv);
        if (created->isRunning())
            std::abort();
        QObject::connect(created, &QtSingleApplication::messageReceived, created,
                         &TavriApplication::onProtocolMessageReceived);
        return created;
    }();
    return *app;
}

int openConnections(const TavriApplication &app)
{
    return app.findChildren<QLocalSocket *>().size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TavriApplication &app = tavriApplication();
    fuzz::Session &session = fuzz::Session::get();
    static const bool wired = [&] {
        TavriApplicationTest::useServices(app, session.voice(), session.social());
        return true;
    }();
    Q_UNUSED(wired);
    // The peer's socket: named after the application id and the user.
    static const QString socketPath = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                      + QLatin1Char('/') + kAppId + QLatin1Char('-') + QString::number(::getuid());

    QLocalSocket client;
    client.connectToServer(socketPath);
    if (!client.waitForConnected(5000))
        std::abort();
    fuzz::sendAndClose(client, data, size);
    // The instance is done with the input once it has let the connection go.
    fuzz::spinUntil([&] { return openConnections(app) == 0; });
    session.endVoiceSessions();
    session.reset();
    return 0;
}
