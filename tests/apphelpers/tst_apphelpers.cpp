// The application's small helpers for QML: key combination names, search
// highlighting, the channel link on the clipboard, chat-log lists, raising a
// parent window, the call statistics table and the chat colours.
#include <QtTest/QtTest>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQuickView>
#include <QSignalSpy>
#include <QStandardPaths>

#include "../alerts/alertsfixture.h"
#include "callsessionstat.h"
#include "cfindusers.h"
#include "conversation.h"
#include "conversationmessagelist.h"
#include "recentconversations.h"
#include "socialmanager.h"
#include "stylemanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"
#include "websettle.h"

using alertstest::app;
using alertstest::balloons;
using signedin::signOut;

namespace {

const QString kChannel = QStringLiteral("sip:confctl-77@voice.test");
const QString kPeer = QStringLiteral("sip:u-peer@voice.test");

QString red(const QString &text)
{
    return QStringLiteral("<font color=\"red\">") + text + QStringLiteral("</font>");
}

} // namespace

class TestAppHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void keySequenceNames_data();
    void keySequenceNames();
    void decorateMarksTheTerm_data();
    void decorateMarksTheTerm();
    void channelLinkGoesToTheClipboard();
    void channelLinkNeedsASignedInUser();
    void chatLogFilesOfBuiltInUsersOnly_data();
    void chatLogFilesOfBuiltInUsersOnly();
    void chatLogFilesOfAPrivateChat();
    void activateParent_data();
    void activateParent();
    void callStatsAsText();
    void clearingCallStats();
    void chatColorsOfAStyleWithout();

private:
    FakeWebService *m_web = nullptr;
};

void TestAppHelpers::initTestCase()
{
    m_web = alertstest::start();
    QVERIFY(alertstest::tray());
    // Short links are asked of the fake, not of the maker's host.
    app()->socialManager()->setShortLinkHost(m_web->host());
}

void TestAppHelpers::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestAppHelpers::init()
{
    balloons().clear();
    signOut();
}

void TestAppHelpers::keySequenceNames_data()
{
    QTest::addColumn<QList<int>>("qtKeys");
    QTest::addColumn<QList<int>>("virtualKeys");
    QTest::addColumn<QString>("text");
    QTest::newRow("left control and F5") << QList<int>{Qt::Key_Control, Qt::Key_F5} << QList<int>{162, 116}
                                         << "LCtrl+F5";
    QTest::newRow("right-hand modifiers")
        << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt} << QList<int>{163, 161, 165} << "RCtrl+RShift+RAlt";
    QTest::newRow("modifiers without virtual keys")
        << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Meta} << QList<int>{0, 0, 0, 0}
        << "Ctrl+Shift+Alt+Meta";
    QTest::newRow("mouse buttons and the Start key")
        << QList<int>{0, 0, 0, 0} << QList<int>{1, 5, 6, 347} << "LMouse+XButton1+XButton2+Start";
    QTest::newRow("five keys, four names")
        << QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Meta, Qt::Key_F5}
        << QList<int>{162, 160, 164, 91, 116} << "LCtrl+LShift+LAlt+LWin";
    QTest::newRow("fewer virtual keys than keys") << QList<int>{Qt::Key_F5} << QList<int>{} << "F5";
    QTest::newRow("more virtual keys than keys") << QList<int>{Qt::Key_Control} << QList<int>{162, 116} << "LCtrl";
    QTest::newRow("plain key between modifiers")
        << QList<int>{Qt::Key_Control, Qt::Key_A, Qt::Key_Shift} << QList<int>{17, 65, 16} << "Ctrl+Shift+A";
    QTest::newRow("key without any name") << QList<int>{0} << QList<int>{255} << "";
    QTest::newRow("empty lists") << QList<int>{} << QList<int>{} << "";
}

void TestAppHelpers::keySequenceNames()
{
    QFETCH(QList<int>, qtKeys);
    QFETCH(QList<int>, virtualKeys);
    QFETCH(QString, text);
    QCOMPARE(app()->getKeySequenceString(qtKeys, virtualKeys), text);
}

void TestAppHelpers::decorateMarksTheTerm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("highlight");
    QTest::addColumn<QString>("decorated");
    // The second word stands right before a closing tag.
    QTest::newRow("text before a closing tag stays") << "hello <b>hello</b>"
                                                     << "hello" << red("hello") + " <b>hello</b>";
    QTest::newRow("any case") << "hello <b>hello</b>"
                              << "HELLO" << red("hello") + " <b>hello</b>";
    QTest::newRow("matched text keeps its case") << "Hello and hELLO"
                                                 << "hello" << red("Hello") + " and " + red("hELLO");
    QTest::newRow("only inside tags") << "<span class=\"note\">plain</span> words"
                                      << "class"
                                      << "<span class=\"note\">plain</span> words";
    QTest::newRow("tag name") << "<span>plain</span> words"
                              << "span"
                              << "<span>plain</span> words";
    QTest::newRow("plus signs are literal") << "c++ and c and cc"
                                            << "c++" << red("c++") + " and c and cc";
    QTest::newRow("bracket is literal") << "f(x) and g"
                                        << "("
                                        << "f" + red("(") + "x) and g";
    QTest::newRow("dot is literal") << "a.b ab"
                                    << "."
                                    << "a" + red(".") + "b ab";
    QTest::newRow("back reference is literal") << "a\\1b"
                                               << "\\1"
                                               << "a" + red("\\1") + "b";
    QTest::newRow("empty term") << "hello"
                                << ""
                                << "hello";
    QTest::newRow("term not found") << "hello"
                                    << "bye"
                                    << "hello";
}

void TestAppHelpers::decorateMarksTheTerm()
{
    QFETCH(QString, text);
    QFETCH(QString, highlight);
    QFETCH(QString, decorated);
    QCOMPARE(app()->decorate(text, highlight), decorated);
}

void TestAppHelpers::channelLinkGoesToTheClipboard()
{
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(kChannel);
    QVERIFY(channel);
    // An identifier with the link's own separators cannot add a field.
    channel->setChannelUID(QStringLiteral("77&p=x"));
    const QString uid = LocalUser::getLocalUser()->tavriidentity()->getUid();
    QVERIFY(!uid.isEmpty());
    const QString longLink = app()->voiceManager()->downloadServer() + QStringLiteral("/clink/?s=")
                             + QString::fromLatin1(QUrl::toPercentEncoding(uid))
                             + QStringLiteral("&u=77%26p%3Dx&p=sip%3Aconfctl-77%40voice.test");
    m_web->reply(FakeWebService::ShortLinkMethod, QJsonObject{{"output_url", "http://lnk.test/Ab1"}});
    QClipboard *clipboard = QGuiApplication::clipboard();

    app()->copyChannelLinkToClipboard(channel);
    QCOMPARE(clipboard->text(), longLink);
    QVERIFY(balloons().isEmpty());

    QVERIFY(m_web->waitForRequest(FakeWebService::ShortLinkMethod));
    QCOMPARE(m_web->requestsFor(FakeWebService::ShortLinkMethod).last().value(QStringLiteral("u")), longLink);
    QTRY_COMPARE(clipboard->text(), QStringLiteral("http://lnk.test/Ab1"));
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().title, QStringLiteral("Tavri Channel Hyperlink Copied to Clipboard"));
    channel->setChannelUID(QStringLiteral("77"));
}

void TestAppHelpers::channelLinkNeedsASignedInUser()
{
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(kChannel);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    const int asked = m_web->requestsFor(FakeWebService::ShortLinkMethod).size();
    app()->copyChannelLinkToClipboard(channel);
    app()->copyChannelLinkToClipboard(nullptr);
    QVERIFY(webtest::settle(*m_web, *app()->socialManager()));
    QCOMPARE(clipboard->text(), QStringLiteral("before"));
    QCOMPARE(m_web->requestsFor(FakeWebService::ShortLinkMethod).size(), asked);
    QVERIFY(balloons().isEmpty());
}

void TestAppHelpers::chatLogFilesOfBuiltInUsersOnly_data()
{
    QTest::addColumn<QString>("realmID");
    QTest::addColumn<QString>("userUUID");
    QTest::newRow("an external application's realm") << "SomeGame" << kPeer;
    QTest::newRow("no realm") << "" << kPeer;
    QTest::newRow("realm id in another case") << "__tavri" << kPeer;
    QTest::newRow("no user") << "__Tavri"
                             << "";
}

void TestAppHelpers::chatLogFilesOfBuiltInUsersOnly()
{
    QFETCH(QString, realmID);
    QFETCH(QString, userUUID);
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    QCOMPARE(app()->getChatLogFileList(realmID, userUUID), QVariantList());
}

void TestAppHelpers::chatLogFilesOfAPrivateChat()
{
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    auto *recent = qobject_cast<RecentConversations *>(
        LocalUser::getLocalUser()->property("recentConversations").value<QObject *>());
    QVERIFY(recent);
    realm->requestUserInfoUpdateByURI(kPeer);
    Conversation *chat = realm->getConversation(kPeer);
    QVERIFY(chat);
    recent->onConversationJoined(realm, kPeer);
    emit chat->getChatMessages()->messageAdded(QStringLiteral("Peer"), QStringLiteral("hi"));
    recent->onConversationDisconnected(realm, kPeer, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(0),
                                       QString());

    const QVariantList logs = app()->getChatLogFileList(realm->realmID(), kPeer);
    QCOMPARE(logs.size(), 1);
    QVERIFY(QFile::exists(logs.first().toMap().value(QStringLiteral("filename")).toString()));
}

void TestAppHelpers::activateParent_data()
{
    QTest::addColumn<int>("parentId");
    QTest::addColumn<bool>("mainFrameActivated");
    QTest::newRow("find-users window, never made") << 1 << false;
    QTest::newRow("no parent") << 2 << false;
    QTest::newRow("main frame") << 0 << true;
    QTest::newRow("any other number") << 7 << true;
}

void TestAppHelpers::activateParent()
{
    QFETCH(int, parentId);
    QFETCH(bool, mainFrameActivated);
    QVERIFY(!app()->findUsers() || !app()->findUsers()->getFindWindow());
    LogCapture capture;
    app()->showMainFrame();
    app()->showAbout();
    QQuickView *about = app()->aboutWindow();
    QVERIFY(about);
    about->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), static_cast<QWindow *>(about));

    app()->activateParentById(parentId);
    if (mainFrameActivated) {
        QTRY_COMPARE(QGuiApplication::focusWindow(), static_cast<QWindow *>(app()->mainFrame()));
    } else {
        // Activation is asked and answered through the event loop: the
        // about window still holding the focus after it has run shows
        // that nothing was asked.
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::focusWindow(), static_cast<QWindow *>(about));
    }
    QVERIFY(shelltest::qmlWarnings(capture).isEmpty());
    app()->hideAllFrames();
}

void TestAppHelpers::callStatsAsText()
{
    CallSessionStats *stats = app()->callStats();
    stats->clear();
    QClipboard *clipboard = QGuiApplication::clipboard();

    app()->copyCallStatsToClipboard();
    const QString header = clipboard->text();
    QVERIFY(header.startsWith(QStringLiteral("startTime,")));
    QVERIFY(header.endsWith(QStringLiteral(",utcEndTime\n")));
    QCOMPARE(header.count(QLatin1Char('\n')), 1);
    // Roles 1156 to 1195, one column each.
    QCOMPARE(header.count(QLatin1Char(',')), 39);

    ox_resp_sessiongroup_get_stats_t record{};
    stats->onSessionStatReceived(new CallSessionStat(&record));
    stats->onSessionStatReceived(new CallSessionStat(&record));
    app()->copyCallStatsToClipboard();
    const QStringList lines = clipboard->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0) + QLatin1Char('\n'), header);
    for (int row = 1; row <= 2; ++row)
        QCOMPARE(lines.at(row).count(QLatin1Char(',')), 39);
    QCOMPARE(lines.at(3), QString());
    stats->clear();
}

void TestAppHelpers::clearingCallStats()
{
    CallSessionStats *stats = app()->callStats();
    stats->clear();
    QSignalSpy removing(stats, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removed(stats, &QAbstractItemModel::rowsRemoved);
    app()->clearCallStats();
    QCOMPARE(removing.size(), 0);
    QCOMPARE(removed.size(), 0);

    ox_resp_sessiongroup_get_stats_t record{};
    for (int i = 0; i < 3; ++i)
        stats->onSessionStatReceived(new CallSessionStat(&record));
    app()->clearCallStats();
    QCOMPARE(stats->rowCount(), 0);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 0);
    QCOMPARE(removed.first().at(2).toInt(), 2);
}

void TestAppHelpers::chatColorsOfAStyleWithout()
{
    QVERIFY(!app()->chatColors().isEmpty());
    for (const QString &color : app()->chatColors())
        QVERIFY2(QRegularExpression(QStringLiteral("^#[0-9a-f]{6}$")).match(color).hasMatch(), qPrintable(color));

    const QString skins =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/skins/Mute");
    QVERIFY(QDir().mkpath(skins));
    QFile file(skins + QStringLiteral("/Mute.qml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { chatColors: [] }\n");
    file.close();
    QVERIFY(StyleManager::setStyle(QStringLiteral("Mute")));
    QCOMPARE(app()->chatColors(), QStringList());
    QVERIFY(StyleManager::setStyle(StyleManager::defaultStyleName()));
}

TAVRI_ALERTS_TEST_MAIN(TestAppHelpers, "Ostrel:tavri-test-apphelpers")
#include "tst_apphelpers.moc"
