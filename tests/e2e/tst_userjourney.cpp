// A new user's first session, driven through the program's own windows as
// the user would: sign up in the login window, sign in, add a friend, create
// and join a channel, send a line in it, open the settings, sign out and end
// the program with a second start's "-quit". The log file and the database it
// wrote on the way are read afterwards: no QML warning, no critical line but
// those allowed beside this test, no connection left unmade, and the channel
// and the line are kept.

#include "e2eclient.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using e2e::Client;
using e2e::LogLine;
using e2e::readAllowList;
using e2e::readLog;
using e2e::shown;

namespace {

const QString Email = QStringLiteral("journey@example.test");
const QString Password = QStringLiteral("journey-pass");
const QString ChannelName = QStringLiteral("Journey Room");
const QString Line = QStringLiteral("hello from the journey");

QJsonObject shownQuery(const QString &path)
{
    return {{"cmd", "shown"}, {"path", path}};
}

QJsonObject propertyQuery(const QString &path, const QString &name)
{
    return {{"cmd", "property"}, {"path", path}, {"name", name}};
}

QJsonObject rowsQuery(const QString &list, const QString &role)
{
    return {{"cmd", "rows"}, {"list", list}, {"role", role}};
}

QStringList filesUnder(const QString &folder, const QStringList &patterns)
{
    QStringList found;
    QDirIterator it(folder, patterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

class UserJourneyTest : public QObject
{
    Q_OBJECT
private slots:
    void newUserSession();
};

void UserJourneyTest::newUserSession()
{
    QTemporaryDir root;
    root.setAutoRemove(qEnvironmentVariableIsEmpty("TAVRI_KEEP_E2E"));
    e2e::Gateway gateway(root.filePath("gateway.sqlite"));
    QVERIFY(gateway.start(0, 0, {"--seed"}));
    Client me(QStringLiteral("journey"), root.path(), gateway);
    QVERIFY(me.ready());
    // Acts once the item can take input, as a user waits for a control to
    // appear before using it.
    auto act = [&me](const QString &cmd, const QString &path, const QJsonObject &more = {}) {
        if (cmd != QLatin1String("trigger")
            && me.await({{"cmd", "ready"}, {"path", path}}, true, 30000) != QLatin1String("true"))
            return false;
        QJsonObject command = more;
        command.insert("cmd", cmd);
        command.insert("path", path);
        return me.act(command);
    };
    auto awaitShown = [&me](const QString &path) { return me.await(shownQuery(path), true, 30000) == "true"; };

    // Sign up through the sign-up face of the login window.
    QVERIFY(awaitShown("login/createAccountLink"));
    QVERIFY(act("click", "login/createAccountLink"));
    QVERIFY(act("type", "login/screenNameField", {{"text", "journey"}}));
    QVERIFY(act("type", "login/emailField", {{"text", Email}}));
    QVERIFY(act("type", "login/signupPasswordField", {{"text", Password}}));
    QVERIFY(act("type", "login/confirmField", {{"text", Password}}));
    QVERIFY(act("click", "login/ageBox"));
    QCOMPARE(me.get(propertyQuery("login/ageBox", "checked")), QJsonValue(true));
    QVERIFY(act("click", "login/signUpButton"));
    const QString created = QStringLiteral("Account Created!");
    QVERIFY2(me.await(propertyQuery("login/loginStatus", "text"), created, 30000, true).contains(created),
             qPrintable(me.get(propertyQuery("login/signupStatus", "text")).toString()));

    // Sign in on the login face, which now holds the new address.
    QCOMPARE(me.get(propertyQuery("login/nameField", "text")).toString(), Email);
    QVERIFY(act("type", "login/passwordField", {{"text", Password}}));
    QVERIFY(act("key", "login/passwordField", {{"key", "Return"}}));
    QCOMPARE(me.await({{"cmd", "state"}}, "LoggedIn", 30000), QStringLiteral("LoggedIn"));
    QVERIFY(awaitShown("mainFrame"));

    // Add the friend found by name in the add-contacts pane.
    QVERIFY(act("click", "mainFrame/addContactsTile"));
    // "alice" is an account the gateway made.
    QVERIFY(act("type", "mainFrame/addContactsPane/searchField", {{"text", "alice"}}));
    QVERIFY(act("click", "mainFrame/addContactsPane/findButton"));
    QVERIFY(act("click", "mainFrame/addContactsPane/resultRow/tileButton"));
    // The row turns into a friend's row (its button now removes the friend)
    // once the contact list holds the new friend.
    QCOMPARE(me.await(propertyQuery("mainFrame/addContactsPane/resultRow", "isContact"), true, 30000),
             QStringLiteral("true"));

    // Create a channel in its editor, then join it from the channel list.
    QVERIFY(act("click", "mainFrame/channelsTile"));
    QVERIFY(act("click", "mainFrame/createChannelButton"));
    QVERIFY(act("type", "channelSettings/nameField", {{"text", ChannelName}}));
    QVERIFY(act("click", "channelSettings/saveButton"));
    QCOMPARE(me.await(rowsQuery("permanentConversations", "displayName"), ChannelName, 30000, true), ChannelName);
    const QString channelUri = me.get(rowsQuery("permanentConversations", "sipURI")).toString();
    QVERIFY2(channelUri.startsWith("sip:"), qPrintable(channelUri));
    QVERIFY(act("click", "mainFrame/channelsPane/channelRow"));
    const QString myUri = me.get({{"cmd", "user"}, {"name", "sipURI"}}).toString().toLower();
    QVERIFY2(myUri.startsWith("sip:"), qPrintable(myUri));
    QCOMPARE(me.await({{"cmd", "participants"}, {"uri", channelUri}}, myUri, 30000), myUri);

    // Send a line from the conversation window.
    QVERIFY(act("type", "conversationPane/messageInput", {{"text", Line}}));
    QVERIFY(act("click", "conversationPane/sendButton"));
    QCOMPARE(me.await({{"cmd", "lines"}, {"uri", channelUri}, {"contains", Line}}, Line), Line);

    // Open the settings from the main frame's title bar.
    QVERIFY(act("click", "mainFrame/settingsButton"));
    QVERIFY(awaitShown("settingsWindow"));

    // Sign out from the local user's menu; the login window comes back.
    QVERIFY(act("trigger", "mainFrame/localUserContextMenu/logout"));
    QCOMPARE(me.await({{"cmd", "state"}}, "LoggedOut", 30000), QStringLiteral("LoggedOut"));
    QVERIFY(awaitShown("login/nameField"));

    // A second start with "-quit" ends the running program.
    QVERIFY(me.sendAndAwaitExit({"-quit"}));

    // The log: every connection made, no QML warning, only allowed criticals.
    const QStringList logs = filesUnder(me.path("tmp"), {"tavri-*.txt"});
    QCOMPARE(logs.size(), 1);
    const QList<LogLine> log = readLog(logs.first());
    QVERIFY(!log.isEmpty());
    QString allowError;
    const QStringList allowed = readAllowList(QStringLiteral(TAVRI_E2E_ALLOWED_CRITICALS), &allowError);
    QVERIFY2(allowError.isEmpty(), qPrintable(allowError));
    const QStringList faults = e2e::faults(log, allowed);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    const auto logged = [&log](const QString &text) {
        return std::any_of(log.cbegin(), log.cend(), [&](const LogLine &l) { return l.message.contains(text); });
    };
    QVERIFY(logged(Email));
    // The program ended on the second start's message, not otherwise.
    QVERIFY(logged("ProtocolMessageReceived:  \"-quit\""));
    // Debug lines are written too, so a connection left unmade would show.
    QVERIFY(std::any_of(log.cbegin(), log.cend(), [](const LogLine &l) { return l.level == "debug"; }));

    // The database: the channel is among the recent conversations, and its
    // chat log holds the line.
    const QStringList stores = filesUnder(me.path("data"), {"Data-*.dat"});
    QVERIFY(!stores.isEmpty());
    QStringList chatLogs;
    bool channelKept = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "journey");
        for (const QString &store : stores) {
            db.setDatabaseName(store);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT conversationID, displayName, logfilename FROM RecentConversations"));
            while (query.next())
                if (query.value(0).toString().compare(channelUri, Qt::CaseInsensitive) == 0) {
                    channelKept = true;
                    QCOMPARE(query.value(1).toString(), ChannelName);
                    chatLogs << query.value(2).toString();
                }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase("journey");
    QVERIFY(channelKept);
    bool lineKept = false;
    for (const QString &name : qAsConst(chatLogs))
        for (const QString &file : filesUnder(me.path("data"), {QFileInfo(name).fileName()})) {
            QFile chatLog(file);
            lineKept = lineKept || (chatLog.open(QIODevice::ReadOnly) && chatLog.readAll().contains(Line.toUtf8()));
        }
    QVERIFY2(lineKept, qPrintable(chatLogs.join(',')));
}

QTEST_GUILESS_MAIN(UserJourneyTest)
#include "tst_userjourney.moc"
