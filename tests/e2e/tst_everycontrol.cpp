// Every control pressed once on the real program, as a person would with
// the mouse: a signed-in user with a friend, a pending friend request, a
// joined channel with another participant, a private chat and a channel chat
// with lines, notifications and recent conversations (made by a second
// client through the dev gateway), and then every pane of the main frame,
// every entry of its menus, the settings window and every window that these
// open, each control clicked where it is shown. Signing out and ending the
// program come last. After each area the program must still run and its log
// must hold no QML warning or error, no critical line outside the allow-list
// and no AddressSanitizer report.

#include "e2eclient.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using e2e::Client;

namespace {

const QString MeEmail = QStringLiteral("alice@example.test");
const QString PeerEmail = QStringLiteral("bob@example.test");
const QString Password = QStringLiteral("tavri-dev");
// The seeded accounts take the first ids.
const QString MeUri = QStringLiteral("sip:u-1001@dev.tavri.test");
const QString PeerUri = QStringLiteral("sip:u-1002@dev.tavri.test");
const QString ChannelUri = QStringLiteral("sip:confctl-g-controls@dev.tavri.test");

// Controls that end the session: pressed only by the last test.
const QJsonArray SessionEnders{"logout", "exit"};

} // namespace

class EveryControlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void mainFramePanes();
    void mainFrameMenus();
    void settingsWindow();
    void headerWindows();
    void signOutAndExit();

private:
    bool ready(const QString &path) { return m_me->await({{"cmd", "ready"}, {"path", path}}, true, 30000) == "true"; }
    bool click(const QString &path) { return ready(path) && m_me->act({{"cmd", "click"}, {"path", path}}); }
    // Presses every control of a window; false (with the reason) when the
    // window is not there or the program stopped answering.
    bool press(const QString &window, QStringList *pressed = nullptr);
    // Chooses every entry of a menu.
    bool choose(const QString &path);
    // Presses every window shown beside the main frame, and those they open,
    // each once.
    void pressOtherWindows();
    QString logPath() const;
    void showMainFrame();

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<e2e::Gateway> m_gateway;
    std::unique_ptr<Client> m_me;
    std::unique_ptr<Client> m_peer;
    QStringList m_allowed;
    qint64 m_logFrom = 0;
    QString m_lastError;
    QStringList m_windowsPressed;
};

QString EveryControlTest::logPath() const
{
    QDirIterator it(m_me->path("tmp"), {"tavri-*.txt"}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

bool EveryControlTest::press(const QString &window, QStringList *pressed)
{
    const QJsonObject reply = m_me->call({{"cmd", "press"}, {"window", window}, {"skip", SessionEnders}}, 300000);
    m_lastError = reply.value("error").toString();
    if (pressed)
        for (const QJsonValue &name : reply.value("value").toArray())
            *pressed << name.toString();
    return reply.value("ok").toBool();
}

bool EveryControlTest::choose(const QString &path)
{
    const QJsonObject reply = m_me->call({{"cmd", "choose"}, {"path", path}, {"skip", SessionEnders}}, 300000);
    m_lastError = reply.value("error").toString();
    return reply.value("ok").toBool();
}

void EveryControlTest::pressOtherWindows()
{
    const QJsonObject reply =
        m_me->call({{"cmd", "pressothers"}, {"except", QJsonArray{"mainFrame"}}, {"skip", SessionEnders}}, 600000);
    QVERIFY2(reply.value("ok").toBool(), qPrintable(reply.value("error").toString()));
    for (const QJsonValue &window : reply.value("value").toArray())
        m_windowsPressed << window.toObject().value("window").toString();
}

void EveryControlTest::initTestCase()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_root->setAutoRemove(qEnvironmentVariableIsEmpty("TAVRI_KEEP_E2E"));
    QString allowError;
    m_allowed = e2e::readAllowList(QStringLiteral(TAVRI_E2E_ALLOWED_CRITICALS), &allowError);
    QVERIFY2(allowError.isEmpty(), qPrintable(allowError));
    m_gateway = std::make_unique<e2e::Gateway>(m_root->filePath("gateway.sqlite"));
    QVERIFY(m_gateway->start(0, 0, {"--seed"}));
    m_me = std::make_unique<Client>(QStringLiteral("me"), m_root->path(), *m_gateway);
    m_peer = std::make_unique<Client>(QStringLiteral("peer"), m_root->path(), *m_gateway);
    QVERIFY(m_me->ready());
    QVERIFY(m_peer->ready());
    QVERIFY(m_me->act({{"cmd", "login"}, {"email", MeEmail}, {"password", Password}}));
    QVERIFY(m_peer->act({{"cmd", "login"}, {"email", PeerEmail}, {"password", Password}}));
    for (Client *client : {m_me.get(), m_peer.get()})
        QCOMPARE(client->await({{"cmd", "state"}}, "LoggedIn", 120000), QStringLiteral("LoggedIn"));
    QCOMPARE(m_me->await({{"cmd", "shown"}, {"path", "mainFrame"}}, true, 60000), QStringLiteral("true"));

    // A friend each way; the peer's request to the user stays a notification.
    QVERIFY(m_peer->act({{"cmd", "addfriend"}, {"uri", MeUri}}));
    QVERIFY(m_me->act({{"cmd", "addfriend"}, {"uri", PeerUri}}));
    // A channel both joined, with lines, and a private chat with lines.
    QVERIFY(m_me->act({{"cmd", "join"}, {"uri", ChannelUri}}));
    QVERIFY(m_peer->act({{"cmd", "join"}, {"uri", ChannelUri}}));
    const QString both = MeUri + QLatin1Char(',') + PeerUri;
    QCOMPARE(m_me->await({{"cmd", "participants"}, {"uri", ChannelUri}}, both, 60000), both);
    QVERIFY(m_me->act({{"cmd", "send"}, {"uri", ChannelUri}, {"text", "hello channel"}}));
    QVERIFY(m_peer->act({{"cmd", "send"}, {"uri", ChannelUri}, {"text", "hello back"}}));
    QVERIFY(m_peer->act({{"cmd", "chat"}, {"uri", MeUri}}));
    QVERIFY(m_peer->act({{"cmd", "send"}, {"uri", MeUri}, {"text", "a private line"}}));
    QCOMPARE(m_me->await({{"cmd", "lines"}, {"uri", PeerUri}, {"contains", "private"}}, "a private line", 60000),
             QStringLiteral("a private line"));
    QCOMPARE(m_me->await({{"cmd", "lines"}, {"uri", ChannelUri}, {"contains", "back"}}, "hello back", 60000),
             QStringLiteral("hello back"));

    // A channel of the user's own in the channel tree, made in its editor,
    // which the peer joins too.
    QVERIFY(click("mainFrame/channelsTile"));
    QVERIFY(click("mainFrame/createChannelButton"));
    QVERIFY(ready("channelSettings/nameField"));
    QVERIFY(m_me->act({{"cmd", "type"}, {"path", "channelSettings/nameField"}, {"text", "Pressed Room"}}));
    QVERIFY(click("channelSettings/saveButton"));
    const QJsonObject names{{"cmd", "rows"}, {"list", "permanentConversations"}, {"role", "displayName"}};
    QVERIFY(m_me->await(names, "Pressed Room", 60000, true).contains("Pressed Room"));
    const int row = m_me->get(names).toString().split(QLatin1Char(',')).indexOf("Pressed Room");
    const QString owned = m_me->get({{"cmd", "rows"}, {"list", "permanentConversations"}, {"role", "sipURI"}})
                              .toString()
                              .section(QLatin1Char(','), row, row);
    QVERIFY2(owned.startsWith("sip:"), qPrintable(owned));
    QVERIFY(m_peer->act({{"cmd", "join"}, {"uri", owned}}));
}

void EveryControlTest::init()
{
    QVERIFY(m_me);
    m_logFrom = QFileInfo(logPath()).size();
}

void EveryControlTest::cleanup()
{
    // The program still answers (a barrier behind everything pressed), and
    // its log and error output since the test began show no fault.
    const bool ending = QByteArray(QTest::currentTestFunction()) == "signOutAndExit";
    if (!ending)
        QVERIFY2(m_me->act({{"cmd", "alive"}}), "the program stopped answering");
    const QStringList faults = e2e::faults(e2e::readLog(logPath(), m_logFrom), m_allowed);
    QFile stderrLog(m_me->path("stderr.log"));
    QVERIFY(stderrLog.open(QIODevice::ReadOnly));
    const QByteArray errors = stderrLog.readAll();
    QVERIFY2(!errors.contains("Sanitizer"), errors.constData());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    if (QTest::currentTestFailed()) {
        m_root->setAutoRemove(false);
        qInfo("The clients' folders are kept in %s", qPrintable(m_root->path()));
    }
}

void EveryControlTest::cleanupTestCase()
{
    m_windowsPressed.removeDuplicates();
    qInfo("Windows pressed: %s", qPrintable(m_windowsPressed.join(QStringLiteral(", "))));
    m_peer.reset();
    m_me.reset();
    m_gateway.reset();
}

void EveryControlTest::showMainFrame()
{
    // Its own close button hides it to the tray; starting the program again
    // brings it back, as for a person.
    if (m_me->get({{"cmd", "shown"}, {"path", "mainFrame"}}).toBool())
        return;
    QVERIFY(m_me->startAgain());
    QCOMPARE(m_me->await({{"cmd", "shown"}, {"path", "mainFrame"}}, true, 30000), QStringLiteral("true"));
}

void EveryControlTest::mainFramePanes()
{
    for (const char *tile : {"channelsTile", "contactsTile", "recentTile", "addContactsTile"}) {
        showMainFrame();
        QVERIFY2(click(QStringLiteral("mainFrame/") + tile), tile);
        QStringList pressed;
        QVERIFY2(press("mainFrame", &pressed), qPrintable(m_lastError));
        QVERIFY2(!pressed.isEmpty(), tile);
        pressOtherWindows();
    }
}

void EveryControlTest::mainFrameMenus()
{
    for (const char *menu : {"mainFrame/localUserContextMenu", "mainFrame/presenceMenu", "mainFrame/skinMenu",
                             "mainFrame/notificationsHeaderMenu"}) {
        showMainFrame();
        QVERIFY2(choose(menu), qPrintable(QLatin1String(menu) + QLatin1String(": ") + m_lastError));
        pressOtherWindows();
    }
}

void EveryControlTest::settingsWindow()
{
    showMainFrame();
    QVERIFY(click("mainFrame/settingsButton"));
    QCOMPARE(m_me->await({{"cmd", "shown"}, {"path", "settingsWindow"}}, true, 30000), QStringLiteral("true"));
    pressOtherWindows();
}

void EveryControlTest::headerWindows()
{
    for (const char *button : {"mainFrame/reportButton", "mainFrame/avatar"}) {
        showMainFrame();
        if (ready(QString::fromLatin1(button)))
            QVERIFY(click(QString::fromLatin1(button)));
        pressOtherWindows();
    }
}

void EveryControlTest::signOutAndExit()
{
    // Sign out from the local user's menu, with the pointer.
    showMainFrame();
    const QJsonObject reply =
        m_me->call({{"cmd", "choose"}, {"path", "mainFrame/localUserContextMenu"}, {"only", "logout"}}, 60000);
    QVERIFY2(reply.value("ok").toBool(), qPrintable(reply.value("error").toString()));
    QCOMPARE(m_me->await({{"cmd", "state"}}, "LoggedOut", 60000), QStringLiteral("LoggedOut"));
    QVERIFY(m_me->sendAndAwaitExit({"-quit"}));
}

QTEST_GUILESS_MAIN(EveryControlTest)
#include "tst_everycontrol.moc"
