// The channel search: web paging, restarting on a changed filter, the local
// search over the user's own conversations, bad replies and the window.
#include <QtTest/QtTest>

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickView>

#include "conversation.h"
#include "conversationlist.h"
#include "findchannels.h"
#include "localuser.h"
#include "shellfixture.h"
#include "signedinuser.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "websettle.h"

namespace {

const QString kSearch = QStringLiteral("GetChannelsMatching");

QJsonObject channelRecord(int number)
{
    return QJsonObject{{"ChannelLiveURI", QStringLiteral("sip:confctl-%1@voice.test").arg(number)},
                       {"ChannelSocialUID", QString::number(number)},
                       {"ChannelDisplayName", QStringLiteral("Game %1").arg(number)},
                       {"ChannelIsPasswordProtected", "0"}};
}

QJsonObject page(int first, int last, const QJsonValue &more)
{
    QJsonArray results;
    for (int number = first; number <= last; ++number)
        results.append(channelRecord(number));
    return QJsonObject{{"results", results}, {"more", more}};
}

QStringList rowNames(ConversationList *list)
{
    QStringList names;
    for (int row = 0; row < list->count(); ++row)
        names.append(list->at(row)->getDisplayName());
    return names;
}

} // namespace

class TestChannelSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void webSearchPagesThroughTheMatches();
    void changedInactiveFlagStartsAgain();
    void badReplies_data();
    void badReplies();
    void localSearch_data();
    void localSearch();
    void localSearchNeverPosts();
    void showingTwiceLeavesOneFreshWindow();
    void showingEndsASearchThatNeverEnded();
    void closedWindowGoesAndResultsStay();
    void windowRunsTheSearch();

private:
    FindChannels *find() const { return FindChannels::getInstance(); }
    ConversationList *results() const { return find()->results(); }
    QSocialManager *web() const { return QSocialManager::getInstance(); }
    // Runs a web search and waits until its answer has been handled.
    bool search(const QString &term, bool showInactive = false);
    Conversation *ownChannel(const QString &uri, const QString &name, const QString &message, const QString &ownerName,
                             const QString &description);
    // The user's own channels the local searches look through, made once.
    void makeOwnChannels();

    FakeWebService *m_web = nullptr;
    int m_termCounter = 0;
    bool m_ownChannelsMade = false;
};

void TestChannelSearch::initTestCase()
{
    m_web = shelltest::start();
    QVERIFY(web());
    // The web client handles answers only while the user is signed in.
    QVERIFY(signedin::signIn(*m_web, signedin::defaultUri(), signedin::LoginRequest::HeldOpen));
}

void TestChannelSearch::cleanupTestCase()
{
    signedin::signOut();
    if (find()->window())
        find()->hideChannelSearch();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete m_web;
    m_web = nullptr;
}

void TestChannelSearch::init()
{
    QVERIFY(webtest::settle(*m_web, *web()));
    m_web->clear();
    m_web->setSignInDefaults(QJsonObject());
    // The realm asks for each new channel's record; none is needed here.
    m_web->setDefault(QStringLiteral("GetChannelInfo"), QJsonObject{{"ChannelLiveURI", QJsonValue()}});
}

bool TestChannelSearch::search(const QString &term, bool showInactive)
{
    QSignalSpy ended(find(), &FindChannels::isSearchingChanged);
    find()->executeSearch(term, false, showInactive, 4);
    if (!find()->isSearching())
        return false;
    return ended.wait(10000) && !find()->isSearching();
}

void TestChannelSearch::makeOwnChannels()
{
    if (m_ownChannelsMade)
        return;
    m_ownChannelsMade = true;
    ownChannel("sip:confctl-401@voice.test", "ABC", "", "", "");
    ownChannel("sip:confctl-402@voice.test", "Second", "welcome to abc", "", "");
    ownChannel("sip:confctl-403@voice.test", "Third", "", "abc owner", "");
    ownChannel("sip:confctl-404@voice.test", "Fourth", "", "", "all about abc");
}

Conversation *TestChannelSearch::ownChannel(const QString &uri, const QString &name, const QString &message,
                                            const QString &ownerName, const QString &description)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri);
    conversation->setDisplayName(name, true);
    conversation->setMessage(message, true);
    conversation->setDescription(description, true);
    if (!ownerName.isEmpty()) {
        auto *owner = new TavriIdentityRealmUser(conversation);
        owner->setUname(ownerName);
        conversation->setOwnerIdentity(owner);
    }
    LocalUser::getLocalUser()->getConversations()->addConversation(conversation);
    return conversation;
}

void TestChannelSearch::webSearchPagesThroughTheMatches()
{
    QSignalSpy more(find(), &FindChannels::hasMoreResultsChanged);
    m_web->reply(kSearch, page(101, 104, true));
    m_web->reply(kSearch, page(105, 108, "t"));
    m_web->reply(kSearch, page(109, 109, false));
    const struct {
        QString offset;
        int rows;
        bool hasMore;
    } steps[] = {{"0", 4, true}, {"4", 8, true}, {"8", 9, false}};
    for (const auto &step : steps) {
        QVERIFY(search(QStringLiteral("game")));
        const FakeWebService::Request request = m_web->requestsFor(kSearch).last();
        QCOMPARE(request.value("offset"), step.offset);
        QCOMPARE(request.value("limit"), QStringLiteral("4"));
        QCOMPARE(request.value("name"), QStringLiteral("game"));
        QCOMPARE(request.value("showInactive"), QStringLiteral("0"));
        QCOMPARE(results()->count(), step.rows);
        QCOMPARE(find()->hasMoreResults(), step.hasMore);
    }
    QCOMPARE(rowNames(results()).first(), QStringLiteral("Game 101"));
    QCOMPARE(rowNames(results()).last(), QStringLiteral("Game 109"));
    QCOMPARE(more.count(), 2);
    QCOMPARE(more.at(0).at(0).toBool(), true);
    QCOMPARE(more.at(1).at(0).toBool(), false);

    // The same search after the last page asks beyond the rows, and its
    // answer starts a fresh list.
    m_web->reply(kSearch, page(110, 110, false));
    QVERIFY(search(QStringLiteral("game")));
    QCOMPARE(m_web->requestsFor(kSearch).last().value("offset"), QStringLiteral("9"));
    QCOMPARE(rowNames(results()), QStringList{QStringLiteral("Game 110")});
}

void TestChannelSearch::changedInactiveFlagStartsAgain()
{
    m_web->reply(kSearch, page(201, 204, true));
    QVERIFY(search(QStringLiteral("quiet")));
    QVERIFY(find()->hasMoreResults());

    QSignalSpy more(find(), &FindChannels::hasMoreResultsChanged);
    m_web->hang(kSearch);
    find()->executeSearch(QStringLiteral("quiet"), false, true, 4);
    // Cleared at once, before any answer.
    QCOMPARE(results()->count(), 0);
    QCOMPARE(more.count(), 1);
    QCOMPARE(more.at(0).at(0).toBool(), false);
    QTRY_COMPARE(m_web->requestsFor(kSearch).size(), 2);
    const FakeWebService::Request request = m_web->requestsFor(kSearch).last();
    QCOMPARE(request.value("offset"), QStringLiteral("0"));
    QCOMPARE(request.value("showInactive"), QStringLiteral("1"));
}

void TestChannelSearch::badReplies_data()
{
    QTest::addColumn<QJsonValue>("reply");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("hasMore");

    QJsonObject noUid = channelRecord(301);
    noUid.remove("ChannelSocialUID");
    QJsonObject wordUid = channelRecord(302);
    wordUid["ChannelSocialUID"] = "drop table";
    QTest::newRow("record without a UID is skipped")
        << QJsonValue(QJsonObject{{"results", QJsonArray{noUid, channelRecord(303)}}, {"more", false}})
        << QStringList{"Game 303"} << false;
    QTest::newRow("UID that is not a channel number is skipped")
        << QJsonValue(QJsonObject{{"results", QJsonArray{wordUid}}, {"more", false}}) << QStringList() << false;
    QTest::newRow("more claimed by an empty page is not believed")
        << QJsonValue(QJsonObject{{"results", QJsonArray()}, {"more", true}}) << QStringList() << false;
    QTest::newRow("results not a list") << QJsonValue(QJsonObject{{"results", "many"}, {"more", "t"}}) << QStringList()
                                        << false;
    QTest::newRow("missing fields") << QJsonValue(QJsonObject()) << QStringList() << false;
    QTest::newRow("a record that is no object")
        << QJsonValue(QJsonObject{{"results", QJsonArray{7, channelRecord(304)}}}) << QStringList{"Game 304"} << false;
}

void TestChannelSearch::badReplies()
{
    QFETCH(QJsonValue, reply);
    QFETCH(QStringList, rows);
    QFETCH(bool, hasMore);
    m_web->reply(kSearch, reply);
    QVERIFY(search(QStringLiteral("bad %1").arg(++m_termCounter)));
    QCOMPARE(rowNames(results()), rows);
    QCOMPARE(find()->hasMoreResults(), hasMore);
}

void TestChannelSearch::localSearch_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("name, welcome message, owner or description") << "abc" << QStringList{"Second", "Third", "Fourth"};
    QTest::newRow("case counts") << "ABC" << QStringList{"ABC"};
    QTest::newRow("an expression") << "^Th|^Fo" << QStringList{"Third", "Fourth"};
    QTest::newRow("an invalid expression finds nothing") << "(abc" << QStringList();
}

void TestChannelSearch::localSearch()
{
    QFETCH(QString, term);
    QFETCH(QStringList, rows);
    makeOwnChannels();
    // Rows follow the order of the user's own list, sorted by name.
    rows.sort(Qt::CaseInsensitive);
    find()->executeSearch(term, true);
    QCOMPARE(rowNames(results()), rows);
    // The same local search again lists nothing twice.
    find()->executeSearch(term, true);
    QCOMPARE(rowNames(results()), rows);
}

void TestChannelSearch::localSearchNeverPosts()
{
    // A web search holds results and the promise of more.
    m_web->reply(kSearch, page(501, 504, true));
    QVERIFY(search(QStringLiteral("Fourth")));
    const int posted = m_web->requestsFor(kSearch).size();
    makeOwnChannels();
    QSignalSpy searching(find(), &FindChannels::isSearchingChanged);
    QSignalSpy more(find(), &FindChannels::hasMoreResultsChanged);
    ownChannel("sip:confctl-405@voice.test", "Fourth", "", "", "");

    // The same term and flag: the local matches are appended.
    find()->executeSearch(QStringLiteral("Fourth"), true, false, 4);
    QVERIFY(webtest::settle(*m_web, *web()));
    QCOMPARE(m_web->requestsFor(kSearch).size(), posted);
    QCOMPARE(searching.count(), 0);
    QCOMPARE(more.count(), 0);
    QCOMPARE(results()->count(), 6);
    QCOMPARE(rowNames(results()).mid(4), (QStringList{"Fourth", "Fourth"}));
}

void TestChannelSearch::showingTwiceLeavesOneFreshWindow()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    makeOwnChannels();
    find()->showChannelSearch();
    QPointer<QQuickView> first = find()->window();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    find()->executeSearch(QString(), true);
    QVERIFY(results()->count() > 0);

    QSignalSpy reset(results(), &QAbstractItemModel::modelReset);
    QSignalSpy removed(results(), &QAbstractItemModel::rowsRemoved);
    find()->showChannelSearch();
    QQuickView *second = find()->window();
    QVERIFY(second && second != first);
    QCOMPARE(results()->count(), 0);
    QVERIFY(reset.count() + removed.count() > 0);
    QTRY_VERIFY(first.isNull());

    QCOMPARE(second->title(), QStringLiteral("Find Channels"));
    QCOMPARE(second->size(), QSize(680, 550));
    QCOMPARE(second->minimumSize(), QSize(540, 320));
    QVERIFY(second->flags() & Qt::FramelessWindowHint);
    QVERIFY(second->isVisible());
    QVERIFY(second->rootObject());
    QCOMPARE(second->rootObject()->size(), QSizeF(680, 550));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("FindChannels::showChannelSearch")).size(), 2);
}

void TestChannelSearch::showingEndsASearchThatNeverEnded()
{
    m_web->hang(kSearch);
    find()->executeSearch(QStringLiteral("no answer"));
    QVERIFY(find()->isSearching());
    QSignalSpy searching(find(), &FindChannels::isSearchingChanged);
    find()->showChannelSearch();
    QVERIFY(!find()->isSearching());
    QCOMPARE(searching.count(), 1);
    QCOMPARE(searching.at(0).at(0).toBool(), false);
    QQuickItem *button = find()->window()->rootObject()->findChild<QQuickItem *>(QStringLiteral("findButton"));
    QVERIFY(button);
    QVERIFY(!button->isEnabled()); // no term typed yet
    find()->window()->rootObject()->findChild<QObject *>(QStringLiteral("searchField"))->setProperty("text", "x");
    QVERIFY(button->isEnabled());
}

void TestChannelSearch::closedWindowGoesAndResultsStay()
{
    find()->showChannelSearch();
    ownChannel("sip:confctl-406@voice.test", "Kept", "", "", "");
    find()->executeSearch(QStringLiteral("Kept"), true);
    QCOMPARE(results()->count(), 1);
    QPointer<QQuickView> window = find()->window();
    window->close();
    QVERIFY(!find()->window());
    QTRY_VERIFY(window.isNull());
    QCOMPARE(results()->count(), 1);

    // Hiding without a window does nothing.
    find()->hideChannelSearch();
    QCOMPARE(results()->count(), 1);
}

void TestChannelSearch::windowRunsTheSearch()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    find()->showChannelSearch();
    QQuickItem *root = find()->window()->rootObject();
    QObject *field = root->findChild<QObject *>(QStringLiteral("searchField"));
    QQuickItem *button = root->findChild<QQuickItem *>(QStringLiteral("findButton"));
    QVERIFY(field && button);
    QCOMPARE(button->property("text").toString(), QStringLiteral("Find"));

    // The rows a closed window left stay until the first answer.
    const int rowsBefore = results()->count();
    m_web->reply(kSearch, page(601, 604, true));
    field->setProperty("text", "  lobby ");
    QSignalSpy ended(find(), &FindChannels::isSearchingChanged);
    QVERIFY(QMetaObject::invokeMethod(root, "search"));
    QTRY_VERIFY(ended.count() == 2);
    QCOMPARE(m_web->requestsFor(kSearch).last().value("name"), QStringLiteral("lobby"));
    QCOMPARE(field->property("text").toString(), QStringLiteral("lobby"));
    QCOMPARE(button->property("text").toString(), QStringLiteral("Find More"));
    QTRY_COMPARE(root->findChild<QQuickItem *>(QStringLiteral("searchResults"))->property("count").toInt(), 4);

    m_web->reply(kSearch, page(605, 605, false));
    QVERIFY(QMetaObject::invokeMethod(root, "search"));
    QTRY_VERIFY(ended.count() == 4);
    QCOMPARE(m_web->requestsFor(kSearch).last().value("offset"), QStringLiteral("4"));
    QCOMPARE(shelltest::events(capture, QStringLiteral("FindChannels.SearchClick")),
             QStringList{QStringLiteral("(\"offset:%1\")").arg(rowsBefore)});
    QCOMPARE(shelltest::events(capture, QStringLiteral("FindChannels.SearchMore")),
             QStringList{QStringLiteral("(\"offset:4\")")});
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

TAVRI_SHELL_TEST_MAIN(TestChannelSearch, "Ostrel:tavri-channelsearch")
#include "tst_channelsearch.moc"
