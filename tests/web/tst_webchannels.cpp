// The web client's answers about permanent channels: search, default, owned
// and favourite channels, the channel tree, creating, editing and deleting a
// channel, channel information and participant counts.

#include "fakewebservice.h"
#include "localuser.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "webtestsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QtTest>

using namespace webtest;

namespace {

QJsonDocument doc(const QJsonObject &object)
{
    return QJsonDocument(object);
}

QJsonDocument doc(const QJsonArray &array)
{
    return QJsonDocument(array);
}

QJsonObject channel(const QString &uri, const QString &uid = QString(), const QString &name = QString())
{
    return QJsonObject{{"ChannelLiveURI", uri}, {"ChannelSocialUID", uid}, {"ChannelDisplayName", name}};
}

} // namespace

class WebChannelsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void channelSearch_data();
    void channelSearch();
    void defaultChannels();
    void channelTree_data();
    void channelTree();
    void ownedChannels();
    void addChannel();
    void editChannel();
    void deleteChannel_data();
    void deleteChannel();
    void favorites_data();
    void favorites();
    void favoriteChanged();
    void participantCounts();
    void answersOnlyLogged();
    void channelAnswersNeedLogin();

private:
    // Records the channel signals of the manager in the order they come, as
    // short texts.
    void recordEvents();

    FakeWebService *m_fake = nullptr;
    QSocialManager *m_manager = nullptr;
    QStringList m_events;
};

void WebChannelsTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    testLog();
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_fake = new FakeWebService;
    m_manager = new QSocialManager(nullptr, m_fake->apiUrl(), m_fake->host());

    // Signed in: the channel answers are behind the login gate.
    QVERIFY(signedin::signIn(*m_fake, signedin::defaultUri(), signedin::LoginRequest::HeldOpen, QJsonObject()));
    recordEvents();
}

void WebChannelsTest::cleanupTestCase()
{
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
    delete m_manager;
    delete m_fake;
    flushDeferredDeletes();
}

void WebChannelsTest::init()
{
    m_events.clear();
    testLog().clear();
}

void WebChannelsTest::recordEvents()
{
    QSocialManager *m = m_manager;
    connect(m, &QSocialManager::beginChannelSearchResponse, this, [this] { m_events << "begin"; });
    connect(m, &QSocialManager::receivedChannelSearchResult, this,
            [this](const QString &uri) { m_events << "result " + uri; });
    connect(m, &QSocialManager::receivedChannelInfo, this, [this](const QString &uri) { m_events << "info " + uri; });
    connect(m, &QSocialManager::endChannelSearchResponse, this,
            [this](bool more) { m_events << QStringLiteral("end %1").arg(more); });
    connect(m, &QSocialManager::channelFavoritesBegin, this, [this] { m_events << "favorites begin"; });
    connect(m, &QSocialManager::channelFavoriteReceived, this,
            [this](const QString &uri) { m_events << "favorite " + uri; });
    connect(m, &QSocialManager::channelFavoritesEnd, this, [this] { m_events << "favorites end"; });
}

void WebChannelsTest::channelSearch_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QStringList>("events");

    const QJsonArray two{channel("sip:confctl-1@voice.test"), channel("sip:confctl-2@voice.test")};
    const QStringList twoAnnounced{"begin", "result sip:confctl-1@voice.test", "info sip:confctl-1@voice.test",
                                   "result sip:confctl-2@voice.test", "info sip:confctl-2@voice.test"};
    QTest::newRow("more t") << doc(QJsonObject{{"results", two}, {"more", "t"}}) << twoAnnounced + QStringList{"end 1"};
    QTest::newRow("more true") << doc(QJsonObject{{"results", two}, {"more", true}})
                               << twoAnnounced + QStringList{"end 1"};
    QTest::newRow("more text true") << doc(QJsonObject{{"results", two}, {"more", "true"}})
                                    << twoAnnounced + QStringList{"end 1"};
    QTest::newRow("more 1") << doc(QJsonObject{{"results", two}, {"more", 1}}) << twoAnnounced + QStringList{"end 0"};
    QTest::newRow("more yes") << doc(QJsonObject{{"results", two}, {"more", "yes"}})
                              << twoAnnounced + QStringList{"end 0"};
    QTest::newRow("bare list") << doc(two) << twoAnnounced + QStringList{"end 0"};
    QTest::newRow("empty object") << doc(QJsonObject()) << QStringList{"begin", "end 0"};
    QTest::newRow("results not a list") << doc(QJsonObject{{"results", "x"}, {"more", "t"}})
                                        << QStringList{"begin", "end 1"};
    QTest::newRow("null URI") << doc(
        QJsonObject{{"results", QJsonArray{QJsonObject{{"ChannelLiveURI", QJsonValue()}}}}})
                              << QStringList{"begin", "end 0"};
}

void WebChannelsTest::channelSearch()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(QStringList, events);
    m_manager->handleReply(QStringLiteral("GetChannelsMatching"), reply);
    QCOMPARE(m_events, events);
}

void WebChannelsTest::defaultChannels()
{
    QSignalSpy received(m_manager, &QSocialManager::defaultChannelReceived);
    const QJsonArray reply{channel("sip:confctl-A@voice.test", "1", "Alpha"),
                           QJsonObject{{"ChannelLiveURI", "sip:confctl-2@voice.test"},
                                       {"ChannelDisplayName", QJsonValue()},
                                       {"ChannelSocialUID", "2"}},
                           QJsonObject{{"ChannelLiveURI", "sip:confctl-3@voice.test"}, {"ChannelDisplayName", "C"}},
                           channel("sip:confctl-4@voice.test", "4", "Delta")};
    m_manager->handleReply(QStringLiteral("GetDefaultChannelsForUser"), doc(reply));
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.at(0), (QVariantList{"sip:confctl-A@voice.test", "1", "Alpha"}));
    QCOMPARE(received.at(1), (QVariantList{"sip:confctl-4@voice.test", "4", "Delta"}));

    m_manager->handleReply(QStringLiteral("GetDefaultChannelsForUser"), doc(QJsonObject{{"data", reply}}));
    QCOMPARE(received.size(), 2);
}

void WebChannelsTest::channelTree_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QStringList>("events");

    const QJsonArray list{channel("sip:confctl-1@voice.test"), channel("sip:confctl-2@voice.test")};
    const QStringList both{"info sip:confctl-1@voice.test", "info sip:confctl-2@voice.test"};
    QTest::newRow("hierarchy") << "GetChannelsInHierarchy" << doc(list) << both;
    QTest::newRow("hierarchy, object") << "GetChannelsInHierarchy" << doc(QJsonObject{{"channels", list}})
                                       << QStringList();
    QTest::newRow("owned by") << "GetChannelsOwnedBy" << doc(QJsonObject{{"channels", list}}) << both;
    QTest::newRow("owned by, bare list") << "GetChannelsOwnedBy" << doc(list) << QStringList();
    QTest::newRow("owned by, not a list") << "GetChannelsOwnedBy" << doc(QJsonObject{{"channels", 3}}) << QStringList();
    QTest::newRow("info") << "GetChannelInfo" << doc(channel("sip:confctl-XY@voice.test"))
                          << QStringList{"info sip:confctl-XY@voice.test"};
    QTest::newRow("info from live id") << "GetChannelInfoWithOwnerInfoFromLiveUID"
                                       << doc(channel("sip:confctl-7@voice.test"))
                                       << QStringList{"info sip:confctl-7@voice.test"};
}

void WebChannelsTest::channelTree()
{
    QFETCH(QString, method);
    QFETCH(QJsonDocument, reply);
    QFETCH(QStringList, events);
    m_manager->handleReply(method, reply);
    QCOMPARE(m_events, events);
    if (method == QLatin1String("GetChannelsInHierarchy") && events.isEmpty())
        QCOMPARE(testLog().matching(QStringLiteral("GetChannelsInHierarchy response not an array")).size(), 1);
}

void WebChannelsTest::ownedChannels()
{
    QSignalSpy owned(m_manager, &QSocialManager::ownedChannelsReceived);
    m_manager->handleReply(QStringLiteral("GetChannelsOwned"), doc(QJsonArray()));
    QCOMPARE(owned.size(), 1);
    QCOMPARE(owned.at(0), (QVariantList{QStringList(), QStringList()}));

    // Every record is announced as channel information first; one without a
    // URI still takes its place in both lists.
    m_manager->handleReply(QStringLiteral("GetChannelsOwned"),
                           doc(QJsonArray{channel("sip:confctl-A@voice.test", "1", "Alpha"),
                                          QJsonObject{{"ChannelDisplayName", "Nameless"}}}));
    QCOMPARE(m_events, (QStringList{"info sip:confctl-A@voice.test", "info "}));
    QCOMPARE(owned.size(), 2);
    QCOMPARE(owned.at(1),
             (QVariantList{QStringList{"sip:confctl-A@voice.test", ""}, QStringList{"Alpha", "Nameless"}}));

    m_manager->handleReply(QStringLiteral("GetChannelsOwned"), doc(QJsonObject{{"data", QJsonArray()}}));
    QCOMPARE(owned.size(), 2);
}

void WebChannelsTest::addChannel()
{
    QSignalSpy added(m_manager, &QSocialManager::channelAdded);
    QSignalSpy failed(m_manager, &QSocialManager::addChannelFailed);

    m_manager->handleReply(QStringLiteral("AddChannel"), doc(QJsonObject{{"ChannelSocialUID", "9"}}));
    m_manager->handleReply(QStringLiteral("AddChannel"), doc(QJsonObject{{"ChannelLiveURI", QJsonValue()}}));
    m_manager->handleReply(QStringLiteral("AddChannel"), doc(QJsonArray{channel("sip:confctl-9@voice.test")}));
    QCOMPARE(failed.size(), 3);
    QCOMPARE(added.size(), 0);

    const QString base = m_fake->apiUrl().section(QLatin1Char('/'), 0, 2);
    const QJsonObject record{{"ChannelLiveURI", "sip:confctl-ABC@Voice.Test"},
                             {"ChannelSocialUID", "9"},
                             {"ChannelOwnerSocialUID", "77"},
                             {"ChannelHierarchy", "1.5.9"},
                             {"ChannelHasHierarchy", "1"},
                             {"ChannelDisplayName", "New"},
                             {"ChannelIsPasswordProtected", "1"},
                             {"ChannelPictureUrl", "/var/www/html/img/c/9.png"},
                             {"ChannelCallInNumber", "555"},
                             {"ChannelMessageOfTheDay", "Welcome"},
                             {"ChannelDescription", "About"},
                             {"LastOn", "2014-05-06 07:08:09"}};
    m_manager->handleReply(QStringLiteral("AddChannel"), doc(record));
    QCOMPARE(failed.size(), 3);
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.at(0), (QVariantList{"sip:confctl-abc@voice.test", "9", "77", "5", "New", false, true,
                                        base + "/img/c/9.png", "555", "Welcome", "About", "2014-05-06 07:08:09"}));
    // Channel information hands the same URI on as the service wrote it.
    QVERIFY(m_events.isEmpty());
    m_manager->handleReply(QStringLiteral("GetChannelInfo"), doc(record));
    QCOMPARE(m_events, QStringList{"info sip:confctl-ABC@Voice.Test"});
}

void WebChannelsTest::editChannel()
{
    QSignalSpy updated(m_manager, &QSocialManager::channelUpdated);
    m_manager->handleReply(QStringLiteral("EditChannel"),
                           doc(QJsonObject{{"ChannelLiveURI", "sip:confctl-X@voice.test"},
                                           {"ChannelSocialUID", "9"},
                                           {"ChannelOwnerSocialUID", "77"},
                                           {"ChannelHierarchy", "5.9"},
                                           {"ChannelHasHierarchy", "1"},
                                           {"ChannelDisplayName", "Edited"},
                                           {"ChannelIsPasswordProtected", "0"},
                                           {"ChannelPictureUrl", "ftp://pics.test/1.png"},
                                           {"LastOn", "now"}}));
    // Without a record every field is empty or false; the signal still comes.
    m_manager->handleReply(QStringLiteral("EditChannel"), doc(QJsonObject{{"ok", 1}}));
    QCOMPARE(updated.size(), 2);
    QCOMPARE(updated.at(0), (QVariantList{"sip:confctl-x@voice.test", "9", "77", "5", "Edited", true, false,
                                          "ftp://pics.test/1.png", "", "", "", true, "now"}));
    QCOMPARE(updated.at(1), (QVariantList{"", "", "", "", "", false, false, "", "", "", "", false, ""}));
}

void WebChannelsTest::deleteChannel_data()
{
    QTest::addColumn<QJsonValue>("status");
    QTest::addColumn<QJsonValue>("removed");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("logLine");

    const QString badUid = QStringLiteral("Channel delete failed... bad UID response!");
    QTest::newRow("one id") << QJsonValue("Deleted") << QJsonValue("1234") << "sip:confctl-1234@voice.test"
                            << QString();
    QTest::newRow("id between dots") << QJsonValue("Deleted") << QJsonValue(".1234.") << "sip:confctl-1234@voice.test"
                                     << QString();
    QTest::newRow("two parts") << QJsonValue("Deleted") << QJsonValue("12.34") << QString() << badUid + " 12.34";
    QTest::newRow("empty") << QJsonValue("Deleted") << QJsonValue("") << QString() << badUid;
    QTest::newRow("number") << QJsonValue("Deleted") << QJsonValue(1234) << QString() << badUid;
    QTest::newRow("at sign") << QJsonValue("Deleted") << QJsonValue("12@elsewhere.test") << QString()
                             << badUid + " 12@elsewhere.test";
    QTest::newRow("not deleted") << QJsonValue("Kept") << QJsonValue("1234") << QString() << "Channel delete failed...";
    QTest::newRow("no status") << QJsonValue(QJsonValue::Undefined) << QJsonValue("1234") << QString()
                               << "Channel delete failed...";
}

void WebChannelsTest::deleteChannel()
{
    QFETCH(QJsonValue, status);
    QFETCH(QJsonValue, removed);
    QFETCH(QString, deleted);
    QFETCH(QString, logLine);
    QSignalSpy ownedDeleted(m_manager, &QSocialManager::ownedChannelDeleted);
    QJsonObject reply{{"removed", removed}};
    if (!status.isUndefined())
        reply.insert("ostrel", status);
    m_manager->handleReply(QStringLiteral("DeleteChannel"), doc(reply));
    if (deleted.isEmpty()) {
        QCOMPARE(ownedDeleted.size(), 0);
        QCOMPARE(testLog().matching(logLine).size(), 1);
    } else {
        QCOMPARE(ownedDeleted.size(), 1);
        QCOMPARE(ownedDeleted.at(0).at(0).toString(), deleted);
    }
}

void WebChannelsTest::favorites_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("two, one without URI")
        << doc(QJsonObject{{"data", QJsonArray{channel("sip:confctl-1@voice.test"), channel(""),
                                               QJsonObject{{"ChannelLiveURI", QJsonValue()}}}}})
        << QStringList{"favorites begin", "info sip:confctl-1@voice.test", "favorite sip:confctl-1@voice.test", "info ",
                       "favorites end"};
    QTest::newRow("bare list") << doc(QJsonArray{channel("sip:confctl-1@voice.test")})
                               << QStringList{"favorites begin", "favorites end"};
    QTest::newRow("no data") << doc(QJsonObject{{"other", 1}}) << QStringList{"favorites begin", "favorites end"};
}

void WebChannelsTest::favorites()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(QStringList, events);
    m_manager->handleReply(QStringLiteral("getChannelFavoritesList"), reply);
    QCOMPARE(m_events, events);
}

void WebChannelsTest::favoriteChanged()
{
    QSignalSpy changed(m_manager, &QSocialManager::channelFavoriteChanged);
    m_manager->handleReply(QStringLiteral("changeChannelFavorite"), QJsonDocument());
    m_manager->handleReply(QStringLiteral("changeChannelFavorite"), doc(QJsonObject{{"result", 0}}));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0), (QVariantList{"", true}));
    QCOMPARE(changed.at(1), (QVariantList{"", true}));
}

void WebChannelsTest::participantCounts()
{
    QSignalSpy counts(m_manager, &QSocialManager::participantCountReceived);
    m_manager->handleReply(
        QStringLiteral("requestParticipantCount"),
        doc(QJsonArray{QJsonObject{{"id", "42"}, {"c", 3}}, QJsonObject{{"id", 42}, {"c", 1}}, QJsonObject{{"c", 5}},
                       QJsonObject{{"id", QJsonValue()}, {"c", 5}}, QJsonObject{{"id", "7"}, {"c", "2"}},
                       QJsonObject{{"id", "x9"}, {"c", 2.5}}}));
    QCOMPARE(counts.size(), 4);
    QCOMPARE(counts.at(0), (QVariantList{"sip:confctl-42@voice.test", 3}));
    // A number where the text id belongs stands for channel 0.
    QCOMPARE(counts.at(1), (QVariantList{"sip:confctl-0@voice.test", 1}));
    QCOMPARE(counts.at(2), (QVariantList{"sip:confctl-7@voice.test", 0}));
    QCOMPARE(counts.at(3), (QVariantList{"sip:confctl-0@voice.test", 0}));
    QCOMPARE(testLog().matching(QStringLiteral("6 participant counts retrieved")).size(), 1);

    m_manager->handleReply(QStringLiteral("requestParticipantCount"), doc(QJsonObject{{"id", "42"}, {"c", 3}}));
    QCOMPARE(counts.size(), 4);
    QCOMPARE(testLog().matching(QStringLiteral("requestParticipantCount response not an array")).size(), 1);
}

void WebChannelsTest::answersOnlyLogged()
{
    QSignalSpy info(m_manager, &QSocialManager::receivedChannelInfo);
    m_manager->handleReply(QStringLiteral("GetThirdPartyChannelForUser"),
                           doc(QJsonObject{{"result", 0}, {"msg", "no such app"}}));
    QCOMPARE(testLog().matching(QStringLiteral("GetThirdPartyChannelForUser - not yet (re)implemented")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("GetThirdPartyChannelForUser - error from response no such app")).size(),
             1);
    QCOMPARE(testLog().matching(QStringLiteral("Error in GetThirdPartyChannelForUser. URI: ")).size(), 1);

    testLog().clear();
    m_manager->handleReply(QStringLiteral("GetThirdPartyChannelForUser"),
                           doc(QJsonObject{{"ChannelLiveURI", "sip:confctl-1@voice.test"}, {"result", 1}}));
    QCOMPARE(testLog().matching(QStringLiteral("error from response")).size(), 0);
    QCOMPARE(testLog().matching(QStringLiteral("Error in GetThirdPartyChannelForUser")).size(), 0);

    m_manager->handleReply(QStringLiteral("requestShareLink"), doc(QJsonObject{{"output_url", "http://s.test/1"}}));
    m_manager->handleReply(QStringLiteral("SetChannelImage"), doc(channel("sip:confctl-1@voice.test")));
    QCOMPARE(testLog().matching(QStringLiteral("requestShareLink response default handler")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("SetChannelImage response not handled in SMgr")).size(), 1);
    QCOMPARE(info.size(), 0);
    QCOMPARE(testLog().matching(QStringLiteral("No action taken")).size(), 0);
}

void WebChannelsTest::channelAnswersNeedLogin()
{
    LocalUser *local = LocalUser::getLocalUser();
    local->onSocialLoginFailed(QStringLiteral("signed out"));
    QCOMPARE(local->getLoginState(), LocalUser::LoggedOut);
    QSignalSpy deleted(m_manager, &QSocialManager::ownedChannelDeleted);
    m_manager->handleReply(QStringLiteral("getChannelFavoritesList"), doc(QJsonObject{{"data", QJsonArray()}}));
    m_manager->handleReply(QStringLiteral("DeleteChannel"), doc(QJsonObject{{"ostrel", "Deleted"}, {"removed", "1"}}));
    QVERIFY(m_events.isEmpty());
    QCOMPARE(deleted.size(), 0);
    QCOMPARE(testLog().matching(QStringLiteral("handleReply executed when not logged in")).size(), 2);
}

TAVRI_TEST_MAIN(WebChannelsTest)
#include "tst_webchannels.moc"
