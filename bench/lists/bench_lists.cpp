// The long lists a user meets after sign-in, fed in-process through the
// program's own classes and the web-service fake: the channel tree with one
// channel opened over N children, and the web service's favourites and
// owned-channel replies with N channels.
//
// Series (one per process, so that every run starts from nothing):
//   tree.expand    opening the row: the hierarchy request, its reply of N
//                  channel records, and every child placed in the tree;
//   tree.place     the placement alone: N known children announced to the
//                  opened row one at a time;
//   web.favourites the favourites reply of N channels, until the local
//                  user's conversation list holds them;
//   web.owned      the same for the owned-channel reply.
// The log handler is installed at the program's default level, so every
// line the paths write counts, as in a normal run; console copies go to
// /dev/null. The result goes to the original standard output as one CSV line
// "series,size,milliseconds,cpu-ms": the processor time of the whole process
// (the web-service fake runs in it too), which a busy machine moves far less
// than the wall clock.
//
// Usage: bench_lists SERIES SIZE

#include "conversation.h"
#include "conversationlist.h"
#include "localtimezone.h"
#include "localuser.h"
#include "logging.h"
#include "testenvironment.h"
#include "websettle.h"

#include "realmtestbase.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

FILE *g_results = nullptr;

// The process's processor time so far, in milliseconds.
double cpuMs()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return time.tv_sec * 1e3 + time.tv_nsec / 1e6;
}

// Channel names with repeats and mixed case, in a fixed shuffled order, so
// that sorted placement meets ties and lands all over the list.
QString benchName(int i)
{
    static const char *const stems[] = {"anna", "Bert", "carla", "Dmitri", "eve", "Fritz", "gwen", "Hugo"};
    const int mixed = int((quint32(i) * 2654435761u) % 100000u);
    return QStringLiteral("%1 %2").arg(QLatin1String(stems[mixed % 8])).arg(mixed / 8 % 5000);
}

class Lists : public RealmTestBase
{
public:
    // The sign-in's own requests (owned channels and favourites among them)
    // are answered before any series scripts its reply.
    bool start()
    {
        return startRealm(QStringLiteral("me"), {QStringLiteral("getUserBySocialUID")})
               && webtest::settle(*m_web, *m_social);
    }

    // A channel record of the web service; parentUid empty for a root.
    QJsonObject record(int uid, const QString &name, const QString &parentUid = QString()) const
    {
        const QString id = QString::number(uid);
        return QJsonObject{{"ChannelLiveURI", uri("confctl-", id)},
                           {"ChannelSocialUID", id},
                           {"ChannelDisplayName", name},
                           {"ChannelIsPasswordProtected", "0"},
                           {"ChannelHierarchy", parentUid.isEmpty() ? id : parentUid + QLatin1Char('.') + id}};
    }

    QJsonArray children(int count) const
    {
        QJsonArray records;
        for (int i = 0; i < count; ++i)
            records.append(record(100 + i, benchName(i), QStringLiteral("1")));
        return records;
    }

    // Runs the event loop until signal comes with done() holding; false
    // after a long wait. Connected after the program's own receivers, so
    // they have run when it stops.
    template <typename Sender, typename Signal>
    static bool until(Sender *sender, Signal signal, const std::function<bool()> &done)
    {
        QEventLoop loop;
        QObject::connect(sender, signal, &loop, [&] {
            if (done())
                loop.exit(0);
        });
        QTimer::singleShot(30 * 60 * 1000, &loop, [&] { loop.exit(1); });
        return loop.exec() == 0;
    }

    // Milliseconds; negative on failure.
    double treeExpand(int count)
    {
        Conversation *root = m_realm->getConversation(m_social->processChannelInfo(record(1, "Root")));
        ConversationList list;
        list.addConversation(root);
        m_web->reply(QStringLiteral("GetChannelsInHierarchy"), children(count));
        const double started = cpuMs();
        list.expandItem(0, true);
        if (!until(&list, &ConversationList::rowsInserted, [&] { return list.count() == count + 1; }))
            return -1;
        return cpuMs() - started;
    }

    double treePlace(int count)
    {
        Conversation *root = m_realm->getConversation(m_social->processChannelInfo(record(1, "Root")));
        ConversationList list;
        list.addConversation(root);
        // Known to the realm while the row is closed, so nothing is placed yet.
        QList<Conversation *> known;
        const QJsonArray records = children(count);
        for (const QJsonValue &value : records)
            known.append(m_realm->getConversation(m_social->processChannelInfo(value.toObject())));
        if (list.count() != 1)
            return -1;
        const double started = cpuMs();
        list.expandItem(0, false);
        for (Conversation *child : qAsConst(known))
            emit m_realm->permanentConversationInfoReceived(child);
        const double ms = cpuMs() - started;
        return list.count() == count + 1 ? ms : -1;
    }

    double favourites(int count)
    {
        QJsonArray records;
        for (int i = 0; i < count; ++i)
            records.append(record(100 + i, benchName(i)));
        m_web->reply(QStringLiteral("getChannelFavoritesList"), QJsonObject{{"data", records}});
        m_web->reply(QStringLiteral("GetChannelsOwned"), QJsonArray());
        return reply(
            count, [this] { m_social->requestChannelFavoritesList(); }, &QSocialManager::channelFavoritesEnd,
            [this] { m_social->requestChannelsOwned(); });
    }

    double owned(int count)
    {
        QJsonArray records;
        for (int i = 0; i < count; ++i)
            records.append(record(100 + i, benchName(i)));
        m_web->reply(QStringLiteral("GetChannelsOwned"), records);
        m_web->reply(QStringLiteral("getChannelFavoritesList"), QJsonObject{{"data", QJsonArray()}});
        return reply(
            count, [this] { m_social->requestChannelsOwned(); }, &QSocialManager::ownedChannelsReceived,
            [this] { m_social->requestChannelFavoritesList(); });
    }

private:
    // From the request to the moment the local user's list shows every
    // channel of the reply. The realm publishes its list once both the
    // favourites and the owned channels have come, so the other, empty,
    // reply is asked for once this one is handled, unless the list shows
    // the channels already.
    template <typename Signal>
    double reply(int count, const std::function<void()> &request, Signal handled,
                 const std::function<void()> &complement)
    {
        ConversationList *list = LocalUser::getLocalUser()->getConversations();
        const int wanted = list->count() + count;
        const auto listed = [&] { return list->count() == wanted; };
        const double started = cpuMs();
        request();
        if (!until(m_social, handled, [] { return true; }))
            return -1;
        if (!listed()) {
            complement();
            if (!until(list, &ConversationList::rowsInserted, listed))
                return -1;
        }
        return cpuMs() - started;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    LocalTimeZone::pin();
    g_results = fdopen(dup(fileno(stdout)), "w");
    if (!g_results || !freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
        return 2;
    QGuiApplication app(argc, argv);
    installLogMessageHandler(3);

    const QStringList arguments = app.arguments();
    const QString series = arguments.value(1);
    const int size = arguments.value(2).toInt();
    Lists lists;
    if (size <= 0 || !lists.start()) {
        std::fprintf(g_results, "error: usage bench_lists SERIES SIZE, or the realm did not start\n");
        return 1;
    }
    double ms = -1;
    if (series == QLatin1String("tree.expand"))
        ms = lists.treeExpand(size);
    else if (series == QLatin1String("tree.place"))
        ms = lists.treePlace(size);
    else if (series == QLatin1String("web.favourites"))
        ms = lists.favourites(size);
    else if (series == QLatin1String("web.owned"))
        ms = lists.owned(size);
    if (ms < 0) {
        std::fprintf(g_results, "error: %s %d did not complete\n", qPrintable(series), size);
        return 1;
    }
    std::fprintf(g_results, "%s,%d,%.3f,cpu-ms\n", qPrintable(series), size, ms);
    std::fflush(g_results);
    std::_Exit(0);
}
