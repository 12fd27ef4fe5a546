// The built-in realm's conversation list for the local user: the favourites
// and owned-channels replies of the web service merged into one list in
// either order, single favourite and owned-channel changes, the favourite
// flags and participant polls of the listed channels, and lists that repeat
// channels or carry empty URIs.

#include "conversation.h"
#include "conversationlist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "realmtestaccess.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "websettle.h"

#include <QJsonArray>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using Access = TavriIdentityRealmTest;

namespace {

const QString kMe = QStringLiteral("sip:u-me@voice.test");

QString uri(int number)
{
    return QStringLiteral("sip:confctl-%1@voice.test").arg(number);
}

// A channel record of the web service.
QJsonObject channel(int number, const QString &name)
{
    return QJsonObject{{"ChannelLiveURI", uri(number)},
                       {"ChannelSocialUID", QString::number(number)},
                       {"ChannelDisplayName", name},
                       {"ChannelIsPasswordProtected", "0"}};
}

// The merge's progress lines of the log, and the assertion reports; every
// line goes on to Qt Test's own handler.
QStringList s_progressLines;
int s_assertionReports = 0;
QtMessageHandler s_testHandler = nullptr;

void keepProgressLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("awaiting")) || message.contains(QLatin1String("already returning")))
        s_progressLines << message;
    if (message.contains(QLatin1String("Assertion Failure - '")))
        ++s_assertionReports;
    s_testHandler(type, context, message);
}

const QString kAwaitingOwned = QStringLiteral("TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived "
                                              "awaiting owned to return before closing conversation list");
const QString kAwaitingFavorites = QStringLiteral("TavriIdentityRealm::onSocialManagerOwnedChannelsReceived "
                                                  "awaiting favorites to return before closing conversation list");
const QString kFavoritesReturning = QStringLiteral("TavriIdentityRealm::onSocialManagerOwnedChannelsReceived "
                                                   "favorites already returning, not sending conversation list start");

} // namespace

class TestRealmConvList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void favouritesFirst();
    void ownedFirst();
    void favouritesEndWithoutList();
    void favouriteChanges();
    void ownedChanges();
    void repeatsAndEmptyURIs();
    void replacedPlaceholderKeepsFlagAndPoll();
    // Signs the local user out: keep it last.
    void withoutIdentity_data();
    void withoutIdentity();

private:
    // The replies as the web service gives them, each answered by the fake.
    void favouritesReply(const QJsonArray &records);
    void ownedReply(const QJsonArray &records);
    void clearEvents();
    // Whether the local user's conversation list shows the channel.
    static bool listed(const QString &sipURI);
    // Lets requests in flight reach the fake.
    // Every web call posted so far is answered and handled.
    void settle() const { QVERIFY(webtest::settle(*m_web, *m_social)); }

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    TavriIdentityRealm *m_realm = nullptr;
    // The realm's conversation-list signals in order, as short texts ("|"
    // marks where one reply ended); the subscriber is checked as they come.
    QStringList m_events;
    QStringList m_subscribers;
};

void TestRealmConvList::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_web = new FakeWebService(this);
    m_web->setSignInDefaults();
    // Channel details asked for placeholders come back empty: the
    // conversations the tests make stay the same objects.
    for (const char *method :
         {"GetChannelInfo", "GetChannelInfoWithOwnerInfoFromLiveUID", "GetChannelsInHierarchy", "getUserBySocialUID"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_realm = TavriIdentityRealm::getInstance();
    QVERIFY(signedin::ownIdentity(kMe));
    QCOMPARE(LocalUser::getLocalUser()->tavriidentity()->getUid(), kMe);

    auto record = [this](const QString &event, const QString &subscriber) {
        m_events << event;
        m_subscribers << subscriber;
    };
    auto number = [](const QString &id) { return id.section(QLatin1Char('-'), 1).section(QLatin1Char('@'), 0, 0); };
    TavriIdentityRealm *r = m_realm;
    connect(r, &TavriIdentityRealm::conversationListReceivedBegin, this, [=](const QString &s) { record("begin", s); });
    connect(r, &TavriIdentityRealm::conversationListEntry, this,
            [=](const QString &s, const QString &id, const QString &name) {
                record(QStringLiteral("entry %1 %2").arg(number(id), name).trimmed(), s);
            });
    connect(r, &TavriIdentityRealm::conversationListReceivedEnd, this, [=](const QString &s) { record("end", s); });
    connect(r, &TavriIdentityRealm::conversationListEntryRemoved, this,
            [=](const QString &s, const QString &id) { record("removed " + number(id), s); });
    s_testHandler = qInstallMessageHandler(keepProgressLines);
    settle();
}

void TestRealmConvList::cleanupTestCase()
{
    qInstallMessageHandler(s_testHandler);
}

void TestRealmConvList::init()
{
    Access::resetConversationList();
    clearEvents();
}

void TestRealmConvList::clearEvents()
{
    m_events.clear();
    m_subscribers.clear();
    s_progressLines.clear();
}

void TestRealmConvList::favouritesReply(const QJsonArray &records)
{
    m_web->reply(QStringLiteral("getChannelFavoritesList"), QJsonObject{{"data", records}});
    QSignalSpy end(m_social, &QSocialManager::channelFavoritesEnd);
    m_social->requestChannelFavoritesList();
    QVERIFY(end.wait());
    m_events << "|";
}

void TestRealmConvList::ownedReply(const QJsonArray &records)
{
    m_web->reply(QStringLiteral("GetChannelsOwned"), records);
    QSignalSpy owned(m_social, &QSocialManager::ownedChannelsReceived);
    m_social->requestChannelsOwned();
    QVERIFY(owned.wait());
    m_events << "|";
}

bool TestRealmConvList::listed(const QString &sipURI)
{
    const ConversationList *list = LocalUser::getLocalUser()->getConversations();
    for (int i = 0; i < list->count(); ++i)
        if (list->at(i)->getSipURI() == sipURI)
            return true;
    return false;
}

void TestRealmConvList::favouritesFirst()
{
    // An earlier owned reply: its channels complete the favourites' list.
    Access::ownedChannelURIs() = QStringList{uri(12), uri(13)};

    favouritesReply({channel(11, "Eleven"), channel(12, "Twelve")});
    QCOMPARE(m_events, (QStringList{"begin", "entry 11 Eleven", "entry 12 Twelve", "entry 13", "|"}));
    QCOMPARE(s_progressLines, QStringList{kAwaitingOwned});

    // The owned reply lists its channels, then the favourites with the owned
    // channels appended, and closes the list: 12 and 13 come twice.
    s_progressLines.clear();
    ownedReply({channel(12, "Twelve"), channel(13, "Thirteen")});
    QCOMPARE(m_events,
             (QStringList{"begin", "entry 11 Eleven", "entry 12 Twelve", "entry 13", "|", "entry 12 Twelve",
                          "entry 13 Thirteen", "entry 11 Eleven", "entry 12 Twelve", "entry 13 Thirteen", "end", "|"}));
    QCOMPARE(s_progressLines, QStringList{kFavoritesReturning});
    QCOMPARE(m_subscribers.count(kMe), m_subscribers.size());

    // Favourites carry the flag, owned channels do not; every listed channel
    // has its participants polled.
    for (int number : {11, 12, 13}) {
        Conversation *conversation = m_realm->getConversation(uri(number));
        QVERIFY(conversation);
        QCOMPARE(conversation->getIsFavorite(), number != 13);
        QVERIFY2(conversation->hasPendingTimer(), qPrintable(uri(number)));
        QVERIFY2(listed(uri(number)), qPrintable(uri(number)));
    }

    // The next refresh: the owned channel that is no favourite keeps its
    // place in the local user's list, which only the first list announced.
    init();
    Access::ownedChannelURIs() = QStringList{uri(12), uri(13)};
    Access::favoriteChannelURIs() = QStringList{uri(11), uri(12), uri(13)};
    favouritesReply({channel(11, "Eleven")});
    QCOMPARE(m_events, (QStringList{"begin", "entry 11 Eleven", "entry 12 Twelve", "entry 13 Thirteen", "|"}));
    QVERIFY(!m_realm->getConversation(uri(12))->getIsFavorite());
    QVERIFY(listed(uri(13)));
    QVERIFY(listed(uri(11)));
    ownedReply({channel(12, "Twelve"), channel(13, "Thirteen")});
    QCOMPARE(m_events.mid(5), (QStringList{"entry 12 Twelve", "entry 13 Thirteen", "entry 11 Eleven", "entry 12 Twelve",
                                           "entry 13 Thirteen", "end", "|"}));
    QVERIFY(listed(uri(13)));
}

void TestRealmConvList::ownedFirst()
{
    Access::favoriteChannelURIs() = QStringList{uri(21)};
    m_realm->getConversation(uri(21))->setIsFavorite(true, true);

    // The owned reply opens the list, lists the favourites it knows and waits.
    ownedReply({channel(22, "TwentyTwo"), channel(23, "TwentyThree")});
    QCOMPARE(m_events, (QStringList{"begin", "entry 22 TwentyTwo", "entry 23 TwentyThree", "entry 21", "|"}));
    QCOMPARE(s_progressLines, QStringList{kAwaitingFavorites});

    // The favourites open nothing and their end closes the list.
    s_progressLines.clear();
    favouritesReply({channel(23, "TwentyThree"), channel(24, "TwentyFour")});
    QCOMPARE(m_events, (QStringList{"begin", "entry 22 TwentyTwo", "entry 23 TwentyThree", "entry 21", "|",
                                    "entry 23 TwentyThree", "entry 24 TwentyFour", "entry 22 TwentyTwo", "end", "|"}));
    QVERIFY(s_progressLines.isEmpty());
    // A favourite of the last list that this one drops loses its flag.
    QVERIFY(!m_realm->getConversation(uri(21))->getIsFavorite());
    QVERIFY(m_realm->getConversation(uri(23))->getIsFavorite());

    // The list is closed: the next reply opens a new one. An empty owned
    // reply leaves only the favourites with the owned channels appended.
    clearEvents();
    ownedReply({});
    QCOMPARE(m_events,
             (QStringList{"begin", "entry 23 TwentyThree", "entry 24 TwentyFour", "entry 22 TwentyTwo", "|"}));
}

void TestRealmConvList::favouritesEndWithoutList()
{
    Access::ownedChannelURIs() = QStringList{uri(31)};
    emit m_social->channelFavoritesEnd();
    QVERIFY(m_events.isEmpty());
    QVERIFY(Access::favoriteChannelURIs().isEmpty());
    QCOMPARE(Access::conversationListProgress(), quint16(0));
}

void TestRealmConvList::favouriteChanges()
{
    // An owned channel that is also a favourite, listed and polled.
    Access::ownedChannelURIs() = QStringList{uri(41)};
    emit m_social->receivedChannelInfo(uri(41), "41", "FortyOne", QString(), QString(), QString(), true, false,
                                       QString(), "77", QString(), false, QString(), QString());
    emit m_social->channelFavoritesBegin();
    emit m_social->channelFavoriteReceived(uri(41));
    emit m_social->channelFavoritesEnd();
    Conversation *owned = m_realm->getConversation(uri(41));
    QVERIFY(owned->getIsFavorite());
    QVERIFY(owned->hasPendingTimer());
    settle();
    const int favouriteRequests = m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size();

    // Added: listed and flagged, not polled yet.
    clearEvents();
    emit m_social->channelFavoriteChanged(uri(42), true);
    Conversation *added = m_realm->getConversation(uri(42));
    QCOMPARE(m_events, QStringList{"entry 42"});
    QVERIFY(added->getIsFavorite());
    QVERIFY(!added->hasPendingTimer());
    QCOMPARE(Access::favoriteChannelURIs(), (QStringList{uri(41), uri(42)}));

    // Removed: the owned channel leaves the list as well, stops polling and
    // loses the flag without asking the service to drop the favourite again.
    clearEvents();
    emit m_social->channelFavoriteChanged(uri(41), false);
    QCOMPARE(m_events, QStringList{"removed 41"});
    QCOMPARE(m_subscribers, QStringList{kMe});
    QVERIFY(!owned->getIsFavorite());
    QVERIFY(!owned->hasPendingTimer());
    QVERIFY(!listed(uri(41)));
    QCOMPARE(Access::favoriteChannelURIs(), QStringList{uri(42)});
    QCOMPARE(Access::ownedChannelURIs(), QStringList{uri(41)});

    // The service's answer to a change names no channel: nothing to list.
    clearEvents();
    m_social->handleReply(QStringLiteral("changeChannelFavorite"), QJsonDocument(QJsonObject{{"result", 0}}));
    QVERIFY(m_events.isEmpty());
    settle();
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), favouriteRequests);
}

void TestRealmConvList::replacedPlaceholderKeepsFlagAndPoll()
{
    // Listed before the service has described the channel: a placeholder
    // made from the bare URI is polled and flagged.
    emit m_social->ownedChannelsReceived(QStringList{uri(45)}, QStringList{"FortyFive"});
    emit m_social->channelFavoriteChanged(uri(45), true);
    QPointer<Conversation> placeholder = m_realm->getConversation(uri(45));
    QVERIFY(placeholder->getIsFavorite());
    QVERIFY(placeholder->hasPendingTimer());
    settle();
    const int favouriteRequests = m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size();

    // The description replaces it; the replacement keeps both.
    emit m_social->receivedChannelInfo(uri(45), "45", "FortyFive", QString(), QString(), QString(), true, false,
                                       QString(), "77", QString(), false, QString(), QString());
    Conversation *described = m_realm->getConversation(uri(45));
    QVERIFY(described != placeholder);
    QCOMPARE(described->getChannelUID(), QStringLiteral("45"));
    QVERIFY(described->getIsFavorite());
    QVERIFY(described->hasPendingTimer());
    QVERIFY(!placeholder->hasPendingTimer());
    QTRY_VERIFY(!placeholder);
    settle();
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), favouriteRequests);
}

void TestRealmConvList::ownedChanges()
{
    ownedReply({channel(51, "FiftyOne")});
    favouritesReply({});
    Conversation *first = m_realm->getConversation(uri(51));
    QVERIFY(first->hasPendingTimer());

    // A channel made by the user joins the list under the name it was made with.
    clearEvents();
    emit m_social->channelAdded(uri(52), "52", "77", QString(), "FiftyTwo", true, false, QString(), QString(),
                                QString(), QString(), QString());
    QCOMPARE(m_events, QStringList{"entry 52 FiftyTwo"});
    QCOMPARE(Access::ownedChannelURIs(), (QStringList{uri(51), uri(52)}));

    // Deleting an owned channel takes it off the list and stops its poll;
    // deleting it again, or a channel never owned, does nothing.
    clearEvents();
    m_social->handleReply(QStringLiteral("DeleteChannel"),
                          QJsonDocument(QJsonObject{{"ostrel", "Deleted"}, {"removed", "51"}}));
    QCOMPARE(m_events, QStringList{"removed 51"});
    emit m_social->ownedChannelDeleted(uri(51));
    emit m_social->ownedChannelDeleted(uri(59));
    QCOMPARE(m_events, QStringList{"removed 51"});
    QVERIFY(!first->hasPendingTimer());
    QCOMPARE(Access::ownedChannelURIs(), QStringList{uri(52)});
}

void TestRealmConvList::repeatsAndEmptyURIs()
{
    // Favourites that repeat a channel or name none; an owned list with an
    // empty URI, a repeat and fewer names than URIs.
    emit m_social->channelFavoritesBegin();
    for (const QString &favourite : {uri(61), QString(), uri(61)})
        emit m_social->channelFavoriteReceived(favourite);
    emit m_social->channelFavoritesEnd();
    emit m_social->ownedChannelsReceived({QString(), uri(62), uri(63), uri(62)}, {"Nameless", "SixtyTwo"});
    QCOMPARE(m_events, (QStringList{"begin", "entry 61", "entry 61", "entry 62 SixtyTwo", "entry 63",
                                    "entry 62 SixtyTwo", "entry 61", "entry 61", "end"}));
    for (int number : {61, 62, 63})
        QVERIFY2(m_realm->getConversation(uri(number))->hasPendingTimer(), qPrintable(uri(number)));

    // Every copy goes at once: one removal each, and a second one finds
    // nothing.
    clearEvents();
    emit m_social->channelFavoriteChanged(uri(61), false);
    emit m_social->ownedChannelDeleted(uri(62));
    emit m_social->ownedChannelDeleted(uri(62));
    emit m_social->ownedChannelDeleted(QString());
    emit m_social->channelAdded(QString(), "64", "77", QString(), "Nameless", true, false, QString(), QString(),
                                QString(), QString(), QString());
    QCOMPARE(m_events, (QStringList{"removed 61", "removed 62"}));
    QVERIFY(!m_realm->getConversation(uri(61))->getIsFavorite());
    QCOMPARE(Access::favoriteChannelURIs(), QStringList());
    QCOMPARE(Access::ownedChannelURIs(), (QStringList{QString(), uri(63)}));

    // The next list: the owned channel that is left, once as owned and once
    // appended to the (empty) favourites.
    clearEvents();
    emit m_social->ownedChannelsReceived(Access::ownedChannelURIs(), {});
    emit m_social->channelFavoritesBegin();
    emit m_social->channelFavoritesEnd();
    QCOMPARE(m_events, (QStringList{"begin", "entry 63", "entry 63", "end"}));
}

void TestRealmConvList::withoutIdentity_data()
{
    QTest::addColumn<int>("slot");
    const char *names[] = {"favourites begin",  "favourite",      "favourites end",      "favourite added",
                           "favourite removed", "owned channels", "owned channel added", "owned channel deleted"};
    for (int i = 0; i < 8; ++i)
        QTest::newRow(names[i]) << i;
}

void TestRealmConvList::withoutIdentity()
{
    QFETCH(int, slot);
    LocalUser *local = LocalUser::getLocalUser();
    if (local->tavriidentity())
        local->onSocialLoginFailed(QStringLiteral("signed out"));
    QVERIFY(!local->tavriidentity());
    init();
    // A list left open by the favourites, for the end; an owned channel, for
    // its deletion.
    Access::conversationListProgress() = 0x2;
    Access::ownedChannelURIs() = QStringList{uri(71)};
    if (slot == 0)
        Access::conversationListProgress() = 0;
    s_assertionReports = 0;

    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("Assertion Failure - 'LocalUser::getLocalUser\\(\\)->"
                                                           "tavriidentity\\(\\)'")));
    switch (slot) {
    case 0:
        emit m_social->channelFavoritesBegin();
        break;
    case 1:
        emit m_social->channelFavoriteReceived(uri(72));
        break;
    case 2:
        emit m_social->channelFavoritesEnd();
        break;
    case 3:
        emit m_social->channelFavoriteChanged(uri(72), true);
        break;
    case 4:
        emit m_social->channelFavoriteChanged(uri(72), false);
        break;
    case 5:
        emit m_social->ownedChannelsReceived({uri(73)}, {"SeventyThree"});
        break;
    case 6:
        emit m_social->channelAdded(uri(74), "74", "77", QString(), "SeventyFour", true, false, QString(), QString(),
                                    QString(), QString(), QString());
        break;
    case 7:
        emit m_social->ownedChannelDeleted(uri(71));
        break;
    }
    QCOMPARE(s_assertionReports, 1);
    QVERIFY(m_events.isEmpty());
    // Nothing opened or closed a list.
    QCOMPARE(Access::conversationListProgress(), quint16(slot == 0 ? 0 : 0x2));
}

TAVRI_TEST_MAIN(TestRealmConvList)
#include "tst_realmconvlist.moc"
