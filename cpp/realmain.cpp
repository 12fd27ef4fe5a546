#include "realmain.h"

#include "rendererchoice.h"

#include <QDBusConnection>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QModelIndex>
#include <QPixmap>
#include <QScreen>
#include <QTextCodec>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include "localtimezone.h"
#include "logging.h"
#include "ostrelsdk.h"
#include "powerevents.h"
#include "privatefiles.h"
#include "programlauncher.h"
#include "shutdownsignals.h"
#include "tavriapplication.h"
#include "tavrisplashscreen.h"
#include "version.h"

namespace {

const char kApplicationId[] = "Ostrel:tavri";
const int kSendMessageTimeoutMs = 5000;

struct EntryArguments {
    int argc;
    char **argv;
};

int guardedEntry(void *context)
{
    auto *arguments = static_cast<EntryArguments *>(context);
    return realmain(arguments->argc, arguments->argv);
}

bool isVersionRequest(const QString &argument)
{
    return argument == QLatin1String("-v") || argument == QLatin1String("-version");
}

} // namespace

int guardedMain(int argc, char *argv[])
{
    // Before any thread starts: it changes the environment.
    LocalTimeZone::pin();
    ox_set_application_crash_data("before_ox_safe_invoke()");
    EntryArguments arguments{argc, argv};
    ox_safe_invoke(&guardedEntry, &arguments, "tavri");
    ox_set_application_crash_data("after_ox_safe_invoke()");
    return 0;
}

int realmain(int argc, char *argv[])
{
    // Logs, settings, the database and chat logs are the user's alone.
    PrivateFiles::restrictNewFiles();
    QElapsedTimer stopwatch;
    stopwatch.start();
    qDebug().nospace() << "Start of Log for Tavri Version " << tavriVersion() << "\n";

    qDebug() << "Begin Process Arguments";
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLatin1(argv[i]));
    const QStringList loggable = TavriApplication::hideSecretsInArguments(given);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QString &argument = given.at(i - 1);
        qDebug().noquote() << "    argv[" << i << "]" << cutForLog(loggable.at(i - 1));
        if (!argument.contains(QLatin1String("-qmljsdebugger")))
            arguments.append(argument);
        if (!arguments.isEmpty() && isVersionRequest(arguments.last())) {
            qDebug() << "... caller requested version, printing and exiting";
            std::fputs(tavriVersion(), stdout);
            std::fflush(stdout);
            std::exit(0);
        }
    }
    qDebug() << "End Process Arguments";

    // The QML, sounds and images are compiled into the static core library;
    // its resources must be registered before the first window loads.
    Q_INIT_RESOURCE(tavri);

    // Before the first window, the splash included, and before the platform
    // loads its GL integration.
    RendererChoice::applyForProcess();
    auto *app = new TavriApplication(QString::fromLatin1(kApplicationId), argc, argv);
    if (app->isRunning()) {
        const QString message = arguments.join(QStringLiteral("<!>"));
        app->sendMessage(message, kSendMessageTimeoutMs);
        qDebug() << "Another instance of Tavri is running! sending args..."
                 << TavriApplication::hideSecretsInMessage(message);
        delete app;
        return 0;
    }

    new LocalTimeZone(app);

    // SIGTERM, SIGINT and SIGHUP end the program in order, exactly as "-quit"
    // does; they are acted on once the event loop runs.
    auto *shutdownSignals = new host::ShutdownSignals(app);
    QObject::connect(shutdownSignals, &host::ShutdownSignals::shutdownRequested, app,
                     [app, handled = false](int signalNumber) mutable {
                         qDebug() << "Received" << host::ShutdownSignals::signalName(signalNumber)
                                  << (handled ? "while shutting down" : "- shutting down");
                         if (!handled)
                             app->onAppExit();
                         handled = true;
                     });

    auto *qtTranslator = new QTranslator();
    qtTranslator->load(QStringLiteral("qt_") + QLocale::system().name(),
                       QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    app->installTranslator(qtTranslator);
    app->initialize(argc, argv);

    TavriSplashScreen *splash = nullptr;
    if (app->showUi()) {
        splash = new TavriSplashScreen(QPixmap(QStringLiteral(":/textures/Tavri_Logo_Clean_01_Medium.png")));
        splash->showCentred();
    }

    app->installNativeEventFilter(app);
    // Suspend and resume reach the filter as power broadcasts.
    new host::PowerEvents(QDBusConnection::systemBus(), app);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("utf8"));
    app->setFont(QFont(QStringLiteral("Arial")));
    qRegisterMetaType<QModelIndex>("QModelIndex");

    if (app->showUi())
        app->showLoginPrompt(true, true);

    app->trackEvent(QStringLiteral("Application"), QStringLiteral("Launch"), QMap<QString, QString>());

    delete splash;
    ox_set_application_crash_data("Before_app.exec()");
    qDebug() << "Application Initialized in" << stopwatch.elapsed() << "milliseconds";
    const int result = app->exec();
    ox_set_application_crash_data("after_app.exec()");

    QFontDatabase::removeAllApplicationFonts();
    stopwatch.restart();
    qDebug() << "Shutting down";

    if (QFileInfo::exists(QStringLiteral("upd_versions.xml"))) {
        qDebug() << "Update list found, starting the updater";
        host::ProgramLauncher::startDetachedFromCurrentDir(QStringLiteral("updater.exe"),
                                                           {QString::number(QCoreApplication::applicationPid())});
    }

    qDebug() << "Application Shutdown in" << stopwatch.elapsed() << "milliseconds";
    ox_set_application_crash_data("exiting_realmain()");
    delete qtTranslator;
    delete app;
    return result;
}
