// The hot paths of a busy session, fed in-process through the program's own
// classes: the participant list (sorted insertion and speaking updates), the
// realm's participant-update path (voice event 28), received chat text
// (voice event 10) with its chat log, the conversation pane's chat lines and
// the log handler from one and from eight threads.
//
// The log handler is installed at the default level, so every line the paths
// write is part of their cost, as in a normal run. Console copies go to
// /dev/null; the results go to the original standard output as CSV lines
// "series,size,seconds,rate" (rate in items per second). The update series
// (speaking, realm toggle) time passes over a sample of at most 2,000 rows
// spread over the whole list, repeated up to 20,000 updates or half a
// second, and give the time of one pass over every row.
//
// Usage: bench_hotpaths [series...]; no argument runs them all.

#include "conversation.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "identityrealmmanager.h"
#include "localtimezone.h"
#include "localuser.h"
#include "logging.h"
#include "recentconversations.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include "realmtestaccess.h"
#include "realmtestbase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

FILE *g_results = nullptr;

void report(const char *series, int size, double seconds, double items)
{
    std::fprintf(g_results, "%s,%d,%.6f,%.1f\n", series, size, seconds, seconds > 0 ? items / seconds : 0.0);
    std::fflush(g_results);
}

// Display names with repeats and mixed case, in a fixed shuffled order, so
// that sorted insertion meets ties and lands all over the list.
QString benchName(int i)
{
    static const char *const stems[] = {"anna", "Bert", "carla", "Dmitri", "eve", "Fritz", "gwen", "Hugo"};
    const int mixed = int((quint32(i) * 2654435761u) % 100000u);
    return QStringLiteral("%1 %2").arg(QLatin1String(stems[mixed % 8])).arg(mixed / 8 % 5000);
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

class HotPaths : public RealmTestBase
{
public:
    bool start() { return startRealm(QStringLiteral("me")); }
    void stop() { stopRealm(); }

    // Realm users "sip:u-b<tag>-<i>@..." with bench names, made before any
    // timing (their look-ups are answered by the web fake).
    QList<TavriIdentityRealmUser *> makeUsers(const QString &tag, int count)
    {
        QList<TavriIdentityRealmUser *> users;
        users.reserve(count);
        for (int i = 0; i < count; ++i) {
            TavriIdentityRealmUser *made = user(uri("u-", QStringLiteral("b%1-%2").arg(tag).arg(i)));
            made->setUname(benchName(i));
            users.append(made);
        }
        settleEvents();
        return users;
    }

    static void settleEvents()
    {
        oxc_wait_idle(5000);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // Sorted insertion of n present participants straight into a
    // conversation's list, then turning speaking on for every one of them.
    void participants(int n, bool reported = true)
    {
        const QString tag = QStringLiteral("p%1").arg(n);
        const QList<TavriIdentityRealmUser *> users = makeUsers(tag, n);
        Conversation *chat = conversation(uri("confctl-g-", tag));
        ConversationParticipantList *list = chat->getParticipants();

        QElapsedTimer timer;
        timer.start();
        for (TavriIdentityRealmUser *made : users)
            list->addParticipant(made);
        if (!reported) {
            settleEvents();
            forgetTestState();
            settleEvents();
            return;
        }
        report("participants.insert", n, seconds(timer), n);

        const QList<ConversationParticipant *> rows = list->getParticipants();
        const int step = qMax(1, n / 2000);
        int done = 0;
        bool speaking = true;
        timer.restart();
        do {
            for (int i = 0; i < rows.size(); i += step, ++done)
                rows.at(i)->setIsSpeaking(speaking);
            speaking = !speaking;
        } while (done < 20000 && timer.elapsed() < 500);
        const double sample = seconds(timer);
        report("participants.speaking", n, sample * n / done, n);
        settleEvents();
        forgetTestState();
        settleEvents();
    }

    // A channel joined in the session "h-<tag>" with n peers whose voice is
    // on (that first round writes its notices); the peers' addresses.
    QStringList joinedChannel(const QString &tag, int n)
    {
        const QString handle = QStringLiteral("h-") + tag;
        const QList<TavriIdentityRealmUser *> users = makeUsers(tag, n);
        Conversation *chat = conversation(uri("confctl-g-", tag));
        chat->setOstrelSessionHandle(handle);
        TavriIdentityRealmTest::fileSession(chat, handle);
        emit m_voice->participantAdded(m_myURI, handle, QStringLiteral("Me"), QString());
        QStringList uris;
        for (TavriIdentityRealmUser *made : users) {
            uris.append(made->getSipURI());
            emit m_voice->participantAdded(uris.last(), handle, made->getDisplayName(), QString());
        }
        for (const QString &peer : qAsConst(uris))
            emit m_voice->participantUpdated(peer, handle, false, false, 50, 0.0, 1, false, false, 0, QString());
        settleEvents();
        return uris;
    }

    // One participant update per peer through the voice service's signal
    // (the realm finds the participant by its address and updates it),
    // speaking turned on and off in turn.
    void realmUpdates(int n, const char *series)
    {
        const QString tag = QStringLiteral("r%1").arg(n);
        const QString handle = QStringLiteral("h-") + tag;
        const QStringList uris = joinedChannel(tag, n);
        const int step = qMax(1, n / 2000);
        int done = 0;
        bool speaking = true;
        QElapsedTimer timer;
        timer.start();
        do {
            for (int i = 0; i < uris.size(); i += step, ++done)
                emit m_voice->participantUpdated(uris.at(i), handle, false, speaking, 50, 0.5, 1, false, false, 0,
                                                 QString());
            speaking = !speaking;
        } while (done < 20000 && timer.elapsed() < 500);
        const double sample = seconds(timer);
        report(series, n, sample * n / done, n);
        settleEvents();
        forgetTestState();
        settleEvents();
    }

    // Event 28 in an n-person channel: updates per second, speaking
    // switched on and off for every participant in turn.
    void event28(int n, int updates)
    {
        const QString tag = QStringLiteral("e%1").arg(n);
        const QString handle = QStringLiteral("h-") + tag;
        const QStringList uris = joinedChannel(tag, n);

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < updates; ++i)
            emit m_voice->participantUpdated(uris.at(i % n), handle, false, (i / n) % 2 == 0, 50, 0.5, 1, false, false,
                                             0, QString());
        report("event28.drain", n, seconds(timer), updates);
        forgetTestState();
        settleEvents();
    }

    // Event 10: received chat text in a joined 10-person channel whose stay
    // is followed by the recent conversations, so every line goes into the
    // chat log as well.
    void event10(int lines)
    {
        const QString handle = QStringLiteral("h-text");
        const QList<TavriIdentityRealmUser *> users = makeUsers(QStringLiteral("t"), 10);
        RecentConversations recent;
        recent.setChatLogDirectory(setupChatLogFolder());
        Conversation *chat = conversation(uri("confctl-g-", QStringLiteral("text")));
        chat->setOstrelSessionHandle(handle);
        TavriIdentityRealmTest::fileSession(chat, handle);
        emit m_voice->participantAdded(m_myURI, handle, QStringLiteral("Me"), QString());
        for (TavriIdentityRealmUser *made : users)
            emit m_voice->participantAdded(made->getSipURI(), handle, made->getDisplayName(), QString());
        emit IdentityRealmManager::getInstance()->conversationJoined(m_realm, chat->getConversationID());
        settleEvents();

        const QString text = QStringLiteral("a chat line of an ordinary length, with a few words in it");
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i)
            emit m_voice->messageReceived(users.at(i % 10)->getSipURI(), handle, text);
        report("event10.drain", 10, seconds(timer), lines);
        if (recent.getChatLogDirectory().isEmpty() || QDir(recent.getChatLogDirectory()).isEmpty())
            std::fprintf(g_results, "error: no chat log written,0,0,0\n");
        forgetTestState();
        settleEvents();
    }

    // Chat lines appended and formatted in one conversation.
    void chatLines(int lines)
    {
        const QList<TavriIdentityRealmUser *> users = makeUsers(QStringLiteral("c%1").arg(lines), 10);
        Conversation *chat = conversation(uri("confctl-g-", QStringLiteral("lines%1").arg(lines)));
        ConversationMessageList *messages = chat->getChatMessages();
        const QString id = chat->getConversationID();
        const QString text = QStringLiteral("a chat line of an ordinary length, with a link www.example.com");
        const QDateTime now = QDateTime::currentDateTime();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i)
            messages->onConversationTextMessageReceived(id, users.at(i % 10)->getUid(), m_me, text, now);
        report("chat.lines", lines, seconds(timer), lines);
        forgetTestState();
        settleEvents();
    }
};

// Lines per second of the log handler from `threads` threads together.
void logThreads(int threads, int linesEach)
{
    QList<QThread *> workers;
    for (int t = 0; t < threads; ++t)
        workers.append(QThread::create([linesEach] {
            for (int i = 0; i < linesEach; ++i)
                qDebug() << "LogBench::line" << i << "a typical line of about sixty characters";
        }));
    QElapsedTimer timer;
    timer.start();
    for (QThread *worker : qAsConst(workers))
        worker->start();
    for (QThread *worker : qAsConst(workers))
        worker->wait();
    report("log.lines", threads, seconds(timer), double(threads) * linesEach);
    qDeleteAll(workers);
}

} // namespace

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    // As the program does before its threads start.
    LocalTimeZone::pin();
    // Results on the real standard output, the console copies of the log
    // lines to /dev/null.
    g_results = fdopen(dup(fileno(stdout)), "w");
    if (!g_results || !freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
        return 2;
    QGuiApplication app(argc, argv);
    installLogMessageHandler(3);

    QStringList wanted = app.arguments().mid(1);
    const auto runs = [&](const QString &series) { return wanted.isEmpty() || wanted.contains(series); };

    if (runs(QStringLiteral("log"))) {
        logThreads(1, 200000);
        logThreads(8, 25000);
    }

    HotPaths paths;
    if (!paths.start()) {
        std::fprintf(g_results, "error,0,0,0\n");
        return 1;
    }
    if (runs(QStringLiteral("participants"))) {
        // The first rows pay for loading the style's chat colours.
        paths.participants(20, false);
        for (int n : {100, 1000, 10000})
            paths.participants(n);
    }
    if (runs(QStringLiteral("realm")))
        for (int n : {100, 1000, 10000})
            paths.realmUpdates(n, "realm.toggle");
    if (runs(QStringLiteral("event28"))) {
        paths.event28(10, 200000);
        paths.event28(1000, 20000);
    }
    if (runs(QStringLiteral("event10")))
        paths.event10(20000);
    if (runs(QStringLiteral("chat")))
        for (int n : {1000, 10000, 100000})
            paths.chatLines(n);
    paths.stop();
    return 0;
}
