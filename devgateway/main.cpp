// tavri-devgateway: serves the web service's methods on this machine, from an
// SQLite file, so that Tavri can sign up, sign in and be used without the real
// service. Listens on loopback unless told otherwise.

#include "devgateway.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void printUsage(QTextStream &out)
{
    out << "Usage: tavri-devgateway [options]\n"
           "  --listen <address:port>      where to listen (default 127.0.0.1:8088)\n"
           "  --domain <voice domain>      the client's voice domain (default dev.tavri.test)\n"
           "  --db <file>                  the SQLite file (default devgateway.sqlite; :memory: keeps nothing)\n"
           "  --seed                       add the development accounts, channels and realm\n"
           "  --session-ttl <seconds>      idle time after which a session expires (default 30 days; 0 = never)\n"
           "  --offer-update <version> <link>  offer an update at sign-in and on update checks\n"
           "  --settings-override key=value    send a settings override at sign-in (repeatable)\n"
           "  --voice-world <port>         run the shared voice world on this loopback port (0: any free one)\n"
           "  --no-analytics               tell clients to send no analytics, and store none\n"
           "  --print-runtime-settings     print the client's RuntimeSettings.qml for this gateway\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavri-devgateway"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    DevGatewayOptions options;
    bool printSettings = false;
    const QStringList args = app.arguments();
    auto fail = [&err](const QString &message) {
        err << "tavri-devgateway: " << message << "\n";
        return 2;
    };
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        auto next = [&](QString *value) {
            if (i + 1 >= args.size())
                return false;
            *value = args.at(++i);
            return true;
        };
        QString value;
        if (arg == QLatin1String("--listen")) {
            if (!next(&value))
                return fail(QStringLiteral("--listen needs address:port"));
            const int colon = value.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            const int port = value.mid(colon + 1).toInt(&ok);
            const QString address = value.left(colon);
            if (colon <= 0 || !ok || port < 0 || port > 65535 || QHostAddress(address).isNull())
                return fail(QStringLiteral("--listen needs address:port, got \"%1\"").arg(value));
            options.listenAddress = address;
            options.port = static_cast<quint16>(port);
        } else if (arg == QLatin1String("--domain")) {
            if (!next(&options.domain) || options.domain.trimmed().isEmpty())
                return fail(QStringLiteral("--domain needs the voice domain"));
        } else if (arg == QLatin1String("--db")) {
            if (!next(&options.databasePath) || options.databasePath.isEmpty())
                return fail(QStringLiteral("--db needs a file"));
        } else if (arg == QLatin1String("--seed")) {
            options.seed = true;
        } else if (arg == QLatin1String("--session-ttl")) {
            bool ok = false;
            if (!next(&value) || (options.sessionTtlSeconds = value.toInt(&ok), !ok) || options.sessionTtlSeconds < 0)
                return fail(QStringLiteral("--session-ttl needs a number of seconds"));
        } else if (arg == QLatin1String("--offer-update")) {
            if (!next(&options.offerVersion) || !next(&options.offerLink))
                return fail(QStringLiteral("--offer-update needs a version and a link"));
        } else if (arg == QLatin1String("--settings-override")) {
            const int eq = next(&value) ? value.indexOf(QLatin1Char('=')) : -1;
            if (eq <= 0)
                return fail(QStringLiteral("--settings-override needs key=value"));
            options.settingsOverrides.append({value.left(eq), value.mid(eq + 1)});
        } else if (arg == QLatin1String("--voice-world")) {
            bool ok = false;
            if (!next(&value) || (options.voiceWorldPort = value.toInt(&ok), !ok) || options.voiceWorldPort < 0
                || options.voiceWorldPort > 65535)
                return fail(QStringLiteral("--voice-world needs a port"));
        } else if (arg == QLatin1String("--no-analytics")) {
            options.analytics = false;
        } else if (arg == QLatin1String("--print-runtime-settings")) {
            printSettings = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            printUsage(out);
            return 0;
        } else {
            printUsage(err);
            return fail(QStringLiteral("unknown option \"%1\"").arg(arg));
        }
    }

    if (printSettings) {
        out << DevGateway::runtimeSettings(options, options.port);
        return 0;
    }

    DevGateway gateway(options);
    QString errorText;
    if (!gateway.start(&errorText))
        return fail(errorText);
    out << "tavri-devgateway: listening on http://" << options.listenAddress << ':' << gateway.port()
        << "/gateway.php, database " << options.databasePath << Qt::endl;
    if (gateway.voiceWorldPort())
        out << "tavri-devgateway: voice world on 127.0.0.1:" << gateway.voiceWorldPort() << Qt::endl;

    // Stops on Ctrl-C or kill with the SQLite file closed properly, and at
    // once: workers still reading slow peers are not waited for (every
    // answer given was written to the file before it was sent).
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    const int status = app.exec();
    gateway.closeStore();
    out.flush();
    std::fflush(stdout);
    std::_Exit(status);
}
