// The hot paths of a busy session, fed in-process through the program's own
// classes: the participant list (sorted insertion, speaking updates and
// closing the conversation that holds it), the realm's participant-update
// path (voice event 28), received chat text (voice event 10) with its chat
// log, the conversation pane's chat lines (adding them, and closing the
// conversation that holds them), the SDK message pump (events 28 and 10
// drained from the stand-in's queue through ox_get_message, the dispatch and
// the signals, at the SDK log level of a normal run), the contact list and
// contact groups loaded through the voice buddy list (event 17) and the
// contact-group reply, and the log handler from one and from eight threads.
//
// The log handler is installed at the default level, so every line the paths
// write is part of their cost, as in a normal run. Console copies go to
// /dev/null; the results go to the original standard output as CSV lines
// "series,size,seconds,rate" (rate in items per second). The update series
// (speaking, realm toggle) time passes over a sample of at most 2,000 rows
// spread over the whole list, repeated up to 20,000 updates or half a
// second, and give the time of one pass over every row; their "_hot" twins
// do the same over the first 64 rows only, which stay in the caches.
//
// Usage: bench_hotpaths [group...]; no argument runs them all;
// bench_hotpaths GROUP SIZE runs one group at one size. Groups: log,
// participants, realm, event28, event10, pump (pump.event28 and
// pump.event10), contacts, chat. The headline series are pump.event28 and
// pump.event10: the whole path of a voice event, from the SDK's queue through
// the pump, the realm, the models, the log handler and the chat log. The
// event28.drain and event10.drain series give the same events straight to
// the realm's slots, which leaves the pump out.

#include "contactgrouplist.h"
#include "contactlist.h"
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
#include "voicemanager.h"
#include "websettle.h"

#include "ostrelsdk_control.h"

#include "realmtestaccess.h"
#include "realmtestbase.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

FILE *g_results = nullptr;

// The repeated-update series run at least this many updates (or for this
// long, whichever ends first). A pass over 100 rows takes a few microseconds:
// over a window of a millisecond or two, one interrupt or clock change moved
// the small sizes' figures by up to three times between runs, and with them
// the growth exponents. The big sizes cycle over the same sampled rows
// either way.
constexpr int kSampleUpdates = 400000;
constexpr qint64 kSampleMillis = 2000;

void report(const char *series, int size, double seconds, double items)
{
    // Seconds to the nanosecond: a pass over 100 rows takes a few
    // microseconds, and the growth exponents are worked out from these.
    std::fprintf(g_results, "%s,%d,%.9f,%.1f\n", series, size, seconds, seconds > 0 ? items / seconds : 0.0);
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
    bool start()
    {
        if (!startRealm(QStringLiteral("me"), {QStringLiteral("getContactGroups")}))
            return false;
        // The SDK's own log lines at the level of a normal run.
        ox_register_logging_initialization(2, nullptr, nullptr, nullptr, 2, &VoiceManager::onSdkLogMessage);
        return true;
    }
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
        } while (done < kSampleUpdates && timer.elapsed() < kSampleMillis);
        const double sample = seconds(timer);
        report("participants.speaking", n, sample * n / done, n);
        report("participants.speaking_hot", n, hotPasses([&rows](int i, bool on) { rows.at(i)->setIsSpeaking(on); }, n),
               n);
        settleEvents();
        // Closing the conversation: its rows are let go and it is deleted.
        timer.restart();
        forgetTestState();
        report("participants.close", n, seconds(timer), n);
        settleEvents();
    }

    // The same updates over the first 64 rows only, which stay in the
    // processor's caches whatever the list's size, given as the time of a
    // pass over all n rows at that cost: an exponent near 1 here beside a
    // larger one for the spread sample means the extra cost is memory, not
    // work that grows with the list.
    template <typename Update>
    static double hotPasses(Update update, int n)
    {
        const int rows = qMin(n, 64);
        int done = 0;
        bool on = true;
        QElapsedTimer timer;
        timer.start();
        do {
            for (int i = 0; i < rows; ++i, ++done)
                update(i, on);
            on = !on;
        } while (done < kSampleUpdates && timer.elapsed() < kSampleMillis);
        return seconds(timer) * n / done;
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
        } while (done < kSampleUpdates && timer.elapsed() < kSampleMillis);
        const double sample = seconds(timer);
        report(series, n, sample * n / done, n);
        const std::string hot = std::string(series) + "_hot";
        report(hot.c_str(), n,
               hotPasses(
                   [&](int i, bool on) {
                       emit m_voice->participantUpdated(uris.at(i), handle, false, on, 50, 0.5, 1, false, false, 0,
                                                        QString());
                   },
                   n),
               n);
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

    // A joined 10-person channel in session `handle` whose stay is followed
    // by the local user's recent conversations (given their chat-log folder,
    // as the program gives it), so every line received goes into the chat
    // log as well. A second list of recent conversations would follow the
    // stay too, and the program's own, without a folder, would log that its
    // file is not open for every line. The peers.
    QList<TavriIdentityRealmUser *> loggedTextChannel(const QString &tag, const QString &handle)
    {
        const QList<TavriIdentityRealmUser *> users = makeUsers(tag, 10);
        RecentConversations &recent = *LocalUser::getLocalUser()->getRecentConversations();
        recent.setChatLogDirectory(setupChatLogFolder());
        Conversation *chat = conversation(uri("confctl-g-", tag));
        chat->setOstrelSessionHandle(handle);
        TavriIdentityRealmTest::fileSession(chat, handle);
        emit m_voice->participantAdded(m_myURI, handle, QStringLiteral("Me"), QString());
        for (TavriIdentityRealmUser *made : users)
            emit m_voice->participantAdded(made->getSipURI(), handle, made->getDisplayName(), QString());
        emit IdentityRealmManager::getInstance()->conversationJoined(m_realm, chat->getConversationID());
        settleEvents();
        return users;
    }

    // Whether the chat log holds the last line of a series.
    void checkChatLog(const char *series, const QString &last)
    {
        RecentConversations &recent = *LocalUser::getLocalUser()->getRecentConversations();
        bool found = false;
        // One file per conversation and stay, in folders per realm and user.
        QDirIterator files(recent.getChatLogDirectory(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile log(files.next());
            if (log.open(QIODevice::ReadOnly) && log.readAll().contains(last.toUtf8()))
                found = true;
        }
        if (recent.getChatLogDirectory().isEmpty() || !found)
            std::fprintf(g_results, "error: %s wrote no chat log,0,0,0\n", series);
    }

    // Event 10 given straight to the realm's slot (the pump left out), in a
    // channel with its chat log.
    void event10(int lines)
    {
        const QString handle = QStringLiteral("h-text");
        const QList<TavriIdentityRealmUser *> users = loggedTextChannel(QStringLiteral("text"), handle);
        const QString text = QStringLiteral("a chat line of an ordinary length, with a few words in it");
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i)
            emit m_voice->messageReceived(users.at(i % 10)->getSipURI(), handle,
                                          i + 1 == lines ? text + QStringLiteral(" (last)") : text);
        report("event10.drain", 10, seconds(timer), lines);
        checkChatLog("event10.drain", text + QStringLiteral(" (last)"));
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
        // Closing the conversation: its lines are let go and it is deleted.
        timer.restart();
        forgetTestState();
        report("chat.close", lines, seconds(timer), lines);
        settleEvents();
    }

    // Lets the voice stand-in hand every queued message over and the pump
    // dispatch it.
    static bool drainPump(int timeoutMs = 60000)
    {
        QElapsedTimer waited;
        waited.start();
        if (oxc_wait_idle(timeoutMs) != 0)
            return false;
        while (oxc_pending_messages() != 0 || oxc_live_messages() != 0) {
            if (waited.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents();
        }
        return true;
    }

    // `events` messages queued in the stand-in, handed over by its worker,
    // then drained through the pump: events per second.
    void pump(const char *series, int size, const QVector<ox_message_base_t *> &events)
    {
        // Queued, not yet handed to the program: the worker's notices wait
        // on the event loop, which the drain below runs.
        for (ox_message_base_t *event : events)
            oxc_inject(event);
        oxc_wait_idle(60000);
        QElapsedTimer timer;
        timer.start();
        if (!drainPump())
            std::fprintf(g_results, "error: %s not drained,%d,0,0\n", series, size);
        report(series, size, seconds(timer), events.size());
    }

    // Event 28 through the pump in an n-person channel, speaking switched
    // on and off for every participant in turn.
    void pumpEvent28(int n, int updates)
    {
        const QString tag = QStringLiteral("q%1").arg(n);
        const QString handle = QStringLiteral("h-") + tag;
        const QStringList uris = joinedChannel(tag, n);
        const QByteArray handleBytes = handle.toUtf8();
        QVector<QByteArray> uriBytes;
        for (const QString &peer : uris)
            uriBytes.append(peer.toUtf8());
        QVector<ox_message_base_t *> events;
        events.reserve(updates);
        for (int i = 0; i < updates; ++i) {
            auto *event = reinterpret_cast<ox_evt_participant_updated_t *>(oxc_alloc_event(OX_EVT_PARTICIPANT_UPDATED));
            event->session_handle = ox_strdup(handleBytes.constData());
            event->participant_uri = ox_strdup(uriBytes.at(i % n).constData());
            event->is_speaking = (i / n) % 2 == 0 ? 1 : 0;
            event->volume_adjustment = 50;
            event->energy = 0.5;
            event->active_media = 1;
            events.append(reinterpret_cast<ox_message_base_t *>(event));
        }
        pump("pump.event28", n, events);
        forgetTestState();
        settleEvents();
    }

    // Event 10 through the pump: received chat text in a joined 10-person
    // channel with its chat log, as in a normal session.
    void pumpEvent10(int lines)
    {
        const QString handle = QStringLiteral("h-q10");
        const QList<TavriIdentityRealmUser *> users = loggedTextChannel(QStringLiteral("q10"), handle);
        const QByteArray handleBytes = handle.toUtf8();
        const QByteArray text("a chat line of an ordinary length, with a few words in it");
        QVector<ox_message_base_t *> events;
        events.reserve(lines);
        for (int i = 0; i < lines; ++i) {
            auto *event = reinterpret_cast<ox_evt_message_t *>(oxc_alloc_event(OX_EVT_MESSAGE));
            event->session_handle = ox_strdup(handleBytes.constData());
            event->sender_uri = ox_strdup(users.at(i % 10)->getSipURI().toUtf8().constData());
            event->message_body = ox_strdup((i + 1 == lines ? text + " (last)" : text).constData());
            events.append(reinterpret_cast<ox_message_base_t *>(event));
        }
        pump("pump.event10", 10, events);
        checkChatLog("pump.event10", QString::fromLatin1(text + " (last)"));
        forgetTestState();
        settleEvents();
    }

    // n friends: the voice buddy list (event 17) through the pump until the
    // local user's contact list holds them all, then the contact-group
    // reply that puts them into ten groups.
    void contacts(int n)
    {
        QVector<QByteArray> uris;
        for (int i = 0; i < n; ++i)
            uris.append(uri("u-", QStringLiteral("f%1-%2").arg(n).arg(i)).toUtf8());
        auto *event = reinterpret_cast<ox_evt_buddy_and_group_list_changed_t *>(
            oxc_alloc_event(OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED));
        event->account_handle = ox_strdup(m_voice->accountHandle().toUtf8().constData());
        event->buddy_count = n;
        event->buddies = static_cast<ox_buddy_record_t **>(calloc(size_t(n), sizeof(ox_buddy_record_t *)));
        for (int i = 0; i < n; ++i) {
            event->buddies[i] = static_cast<ox_buddy_record_t *>(calloc(1, sizeof(ox_buddy_record_t)));
            event->buddies[i]->uri = ox_strdup(uris.at(i).constData());
            event->buddies[i]->buddy_data = ox_strdup("");
        }
        ContactList *list = LocalUser::getLocalUser()->getContactList();
        oxc_inject(reinterpret_cast<ox_message_base_t *>(event));
        oxc_wait_idle(60000);
        QElapsedTimer timer;
        timer.start();
        while (list->getTotalCount() != n && timer.elapsed() < 120000)
            QCoreApplication::processEvents();
        report("contacts.load", n, seconds(timer), n);
        if (list->getTotalCount() != n)
            std::fprintf(g_results, "error: %d of %d contacts,%d,0,0\n", list->getTotalCount(), n, n);

        QJsonArray groups;
        for (int g = 0; g < 10; ++g) {
            QJsonArray members;
            for (int i = g; i < n; i += 10) {
                const QString friendURI = QString::fromUtf8(uris.at(i));
                const QString uid = m_realm->requestUserInfoUpdateByURI(friendURI)->getUid();
                members.append(QJsonObject{{"user_uid", uid}, {"user_uri", friendURI}});
            }
            groups.append(QJsonObject{{"id", QStringLiteral("g%1").arg(g)},
                                      {"name", QStringLiteral("Group %1").arg(g)},
                                      {"members", members}});
        }
        const QJsonDocument reply(QJsonObject{{"data", groups}});
        timer.restart();
        m_social->handleReply(QStringLiteral("getContactGroups"), reply);
        QCoreApplication::processEvents();
        report("contacts.groups", n, seconds(timer), n);
        // The look-ups and group requests the roster started are answered
        // before the next size.
        webtest::settle(*m_web, *m_social);
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

// The floor under the handler on this machine: the two system calls a
// flushed line needs (its file copy and its console copy), made straight
// from one thread with nothing else.
void logFloor(int lines)
{
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QStringLiteral("/log-floor.txt"));
    const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int console = ::open("/dev/null", O_WRONLY);
    const QByteArray line(100, 'x');
    const QByteArray bare(50, 'x');
    QElapsedTimer timer;
    timer.start();
    bool failed = file < 0 || console < 0;
    for (int i = 0; i < lines && !failed; ++i)
        failed = ::write(file, line.constData(), size_t(line.size())) != line.size()
                 || ::write(console, bare.constData(), size_t(bare.size())) != bare.size();
    report("log.floor", 1, seconds(timer), lines);
    if (failed)
        std::fprintf(g_results, "error: log floor not written,0,0,0\n");
    ::close(file);
    ::close(console);
    QFile::remove(QFile::decodeName(path));
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
    // "GROUP SIZE": that group at that size alone.
    int only = 0;
    if (wanted.size() == 2 && wanted.at(1).toInt() > 0)
        only = wanted.takeLast().toInt();
    const auto runs = [&](const QString &series) { return wanted.isEmpty() || wanted.contains(series); };
    const auto sized = [only](int n) { return only == 0 || only == n; };

    if (runs(QStringLiteral("log"))) {
        logThreads(1, 200000);
        logThreads(8, 25000);
        logFloor(200000);
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
            if (sized(n))
                paths.participants(n);
    }
    if (runs(QStringLiteral("realm")))
        for (int n : {100, 1000, 10000})
            if (sized(n))
                paths.realmUpdates(n, "realm.toggle");
    if (runs(QStringLiteral("event28"))) {
        if (sized(10))
            paths.event28(10, 200000);
        if (sized(1000))
            paths.event28(1000, 20000);
    }
    if (runs(QStringLiteral("event10")))
        paths.event10(20000);
    if (runs(QStringLiteral("pump")) || runs(QStringLiteral("pump.event28"))) {
        if (sized(10))
            paths.pumpEvent28(10, 200000);
        if (sized(1000))
            paths.pumpEvent28(1000, 50000);
    }
    if (runs(QStringLiteral("pump")) || runs(QStringLiteral("pump.event10")))
        paths.pumpEvent10(20000);
    if (runs(QStringLiteral("contacts")))
        for (int n : {100, 1000, 10000})
            if (sized(n))
                paths.contacts(n);
    if (runs(QStringLiteral("chat")))
        for (int n : {1000, 10000, 100000})
            if (sized(n))
                paths.chatLines(n);
    // Taking down a realm that holds thousands of friends is not measured
    // and takes long: the results are out, the process ends here.
    std::fflush(g_results);
    std::_Exit(0);
}
