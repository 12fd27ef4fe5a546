// The record readers of the web client: channel, notification and user records
// as they reach the rest of the program through signals.

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

// Opens the record readers that only the dispatch calls.
class RecordsManager : public QSocialManager
{
public:
    using QSocialManager::extractNotifications;
    using QSocialManager::processChannelSearchResult;
    using QSocialManager::processNotification;
    using QSocialManager::processUserInfo;
    using QSocialManager::QSocialManager;
};

// Argument positions of the record signals.
enum ChannelArg {
    ChURI,
    ChUID,
    ChName,
    ChImage,
    ChMessage,
    ChDescription,
    ChPublic,
    ChPassword,
    ChDialin,
    ChOwner,
    ChParent,
    ChChildren,
    ChLastOn,
    ChRoot
};
enum UserArg {
    UsURI,
    UsEmail,
    UsUID,
    UsName,
    UsUUID,
    UsImage,
    UsLocation,
    UsTagline,
    UsDescription,
    UsLastOnline,
    UsHome
};
enum NotificationArg {
    NoUID,
    NoFromUID,
    NoFromName,
    NoChannelUID,
    NoChannelName,
    NoType,
    NoState,
    NoSentAt,
    NoMessage,
    NoAction,
    NoEmail
};

} // namespace

class WebRecordsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void channelRecord();
    void channelHierarchy_data();
    void channelHierarchy();
    void passwordFlags_data();
    void passwordFlags();
    void serverPicturePaths_data();
    void serverPicturePaths();
    void searchResultIsAnnouncedTwice_data();
    void searchResultIsAnnouncedTwice();
    void userRecord();
    void userName_data();
    void userName();
    void lastOnline_data();
    void lastOnline();
    void searchedUsers();
    void notificationRecord_data();
    void notificationRecord();
    void notificationList();

private:
    QString base() const { return m_fake->apiUrl().section(QLatin1Char('/'), 0, 2); }

    FakeWebService *m_fake = nullptr;
    RecordsManager *m_manager = nullptr;
};

void WebRecordsTest::initTestCase()
{
    startWebTests();
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
}

void WebRecordsTest::init()
{
    openClientOverFake(m_fake, m_manager);
    m_fake->setSignInDefaults(QJsonObject());
}

void WebRecordsTest::cleanup()
{
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
    closeClientOverFake(m_fake, m_manager);
}

void WebRecordsTest::channelRecord()
{
    QSignalSpy info(m_manager, &QSocialManager::receivedChannelInfo);
    const QJsonObject record{{"ChannelLiveURI", "sip:confctl-Lobby@voice.test"},
                             {"ChannelSocialUID", "5002"},
                             {"ChannelDisplayName", "Lobby"},
                             {"ChannelPictureUrl", "http://cdn.test/c.png"},
                             {"ChannelMessageOfTheDay", "Hi"},
                             {"ChannelDescription", 42}, // not a text: empty
                             {"ChannelIsPasswordProtected", "0"},
                             {"ChannelCallInNumber", "123"},
                             {"ChannelOwnerSocialUID", "77"},
                             {"ChannelHierarchy", "5000.5001.5002"},
                             {"ChannelHasHierarchy", "1"},
                             {"LastOn", "2014-05-06 07:08:09.123"}};
    QCOMPARE(m_manager->processChannelInfo(record), QStringLiteral("sip:confctl-Lobby@voice.test"));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.at(0), (QVariantList{"sip:confctl-Lobby@voice.test", "5002", "Lobby", "http://cdn.test/c.png", "Hi",
                                       "", true, false, "123", "77", "5001", true, "2014-05-06 07:08:09.123", "5000"}));

    // A null address is no record; a missing one is an empty address.
    QCOMPARE(m_manager->processChannelInfo({{"ChannelLiveURI", QJsonValue::Null}, {"ChannelSocialUID", "1"}}),
             QString());
    QCOMPARE(info.size(), 1);
    QCOMPARE(m_manager->processChannelInfo({{"ChannelSocialUID", "1"}}), QString());
    QCOMPARE(info.size(), 2);
    QCOMPARE(info.at(1).at(ChUID).toString(), QStringLiteral("1"));
}

void WebRecordsTest::channelHierarchy_data()
{
    QTest::addColumn<QJsonValue>("hierarchy");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("root");

    QTest::newRow("three levels") << QJsonValue("a.b.c") << "b"
                                  << "a";
    QTest::newRow("root only") << QJsonValue("a") << ""
                               << "a";
    QTest::newRow("empty part") << QJsonValue("a..b") << "a"
                                << "a";
    QTest::newRow("leading dot") << QJsonValue(".a.b") << "a"
                                 << "a";
    QTest::newRow("empty") << QJsonValue("") << ""
                           << "";
    QTest::newRow("number") << QJsonValue(5) << ""
                            << "";
}

void WebRecordsTest::channelHierarchy()
{
    QFETCH(QJsonValue, hierarchy);
    QFETCH(QString, parent);
    QFETCH(QString, root);
    QSignalSpy info(m_manager, &QSocialManager::receivedChannelInfo);
    m_manager->processChannelInfo({{"ChannelLiveURI", "sip:confctl-x@voice.test"}, {"ChannelHierarchy", hierarchy}});
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.at(0).at(ChParent).toString(), parent);
    QCOMPARE(info.at(0).at(ChRoot).toString(), root);
}

void WebRecordsTest::passwordFlags_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<bool>("isPublic");
    QTest::addColumn<bool>("hasPassword");

    QTest::newRow("1") << QJsonObject{{"ChannelIsPasswordProtected", "1"}} << false << true;
    QTest::newRow("0") << QJsonObject{{"ChannelIsPasswordProtected", "0"}} << true << false;
    QTest::newRow("other text") << QJsonObject{{"ChannelIsPasswordProtected", "yes"}} << false << false;
    QTest::newRow("number 1") << QJsonObject{{"ChannelIsPasswordProtected", 1}} << false << false;
    QTest::newRow("missing") << QJsonObject() << false << false;
}

void WebRecordsTest::passwordFlags()
{
    QFETCH(QJsonObject, record);
    QFETCH(bool, isPublic);
    QFETCH(bool, hasPassword);
    QSignalSpy info(m_manager, &QSocialManager::receivedChannelInfo);
    m_manager->processChannelInfo(record);
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.at(0).at(ChPublic).toBool(), isPublic);
    QCOMPARE(info.at(0).at(ChPassword).toBool(), hasPassword);
}

void WebRecordsTest::serverPicturePaths_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("expected"); // "BASE" stands for the API URL's scheme and host

    QTest::newRow("server path") << "/var/www/html/img/c/3.png"
                                 << "BASE/img/c/3.png";
    QTest::newRow("capitals") << "/VAR/WWW/HTML/IMG/c/3.png"
                              << "/VAR/WWW/HTML/IMG/c/3.png";
    QTest::newRow("web address") << "http://cdn.test/var/www/html/img/c/3.png"
                                 << "http://cdn.test/var/www/html/img/c/3.png";
    QTest::newRow("other path") << "/img/c/3.png"
                                << "/img/c/3.png";
    QTest::newRow("empty") << ""
                           << "";
}

void WebRecordsTest::serverPicturePaths()
{
    QFETCH(QString, picture);
    QFETCH(QString, expected);
    expected.replace(QStringLiteral("BASE"), base());
    QSignalSpy channel(m_manager, &QSocialManager::receivedChannelInfo);
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);

    m_manager->processChannelInfo({{"ChannelLiveURI", "sip:confctl-x@voice.test"}, {"ChannelPictureUrl", picture}});
    m_manager->processUserInfo({{"UserLiveURI", "sip:u-x@voice.test"}, {"UserPictureUrl", picture}});
    QCOMPARE(channel.at(0).at(ChImage).toString(), expected);
    QCOMPARE(user.at(0).at(UsImage).toString(), expected);
}

void WebRecordsTest::searchResultIsAnnouncedTwice_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("uri");

    QTest::newRow("address") << QJsonObject{{"ChannelLiveURI", "sip:confctl-A@voice.test"},
                                            {"ChannelHierarchy", "r.p.c"}}
                             << 1 << "sip:confctl-A@voice.test";
    QTest::newRow("null address") << QJsonObject{{"ChannelLiveURI", QJsonValue::Null}} << 0 << "";
    QTest::newRow("missing address") << QJsonObject{{"ChannelDisplayName", "A"}} << 1 << "";
}

void WebRecordsTest::searchResultIsAnnouncedTwice()
{
    QFETCH(QJsonObject, record);
    QFETCH(int, count);
    QFETCH(QString, uri);
    QList<QString> order;
    connect(m_manager, &QSocialManager::receivedChannelSearchResult, this, [&order] { order.append("search"); });
    connect(m_manager, &QSocialManager::receivedChannelInfo, this, [&order] { order.append("info"); });
    QSignalSpy search(m_manager, &QSocialManager::receivedChannelSearchResult);

    m_manager->processChannelSearchResult(record);
    QCOMPARE(order, count ? (QList<QString>{"search", "info"}) : QList<QString>());
    if (count) {
        QCOMPARE(search.at(0).at(ChURI).toString(), uri);
        QCOMPARE(search.at(0).size(), 13);
    }
}

void WebRecordsTest::userRecord()
{
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);
    m_manager->processUserInfo({{"UserLiveURI", "sip:u-Bob@Voice.test"},
                                {"UserEmail", "bob@example.test"},
                                {"UserSocialUID", 88},
                                {"UserDisplayName", "Bob"},
                                {"user_uname", "bobby"},
                                {"UserLocation", "Rome"},
                                {"UserStatusText", "Hi"},
                                {"UserDescription", "Me"},
                                {"LastOn", "2014-05-06 07:08:09"},
                                {"home_channel_uri", "sip:confctl-home@voice.test"}});
    QCOMPARE(user.size(), 1);
    QCOMPARE(user.at(0),
             (QVariantList{"sip:u-bob@voice.test", "bob@example.test", "", "Bob", "bobby", "", "Rome", "Hi", "Me",
                           QDateTime(QDate(2014, 5, 6), QTime(7, 8, 9)), "sip:confctl-home@voice.test"}));

    m_manager->processUserInfo({{"UserLiveURI", QJsonValue::Null}, {"UserDisplayName", "Nobody"}});
    QCOMPARE(user.size(), 1);
    m_manager->processUserInfo({{"UserDisplayName", "No address"}});
    QCOMPARE(user.size(), 2);
    QCOMPARE(user.at(1).at(UsURI).toString(), QString());
}

void WebRecordsTest::userName_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<QString>("uuid");

    QTest::newRow("null") << QJsonObject{{"user_uname", QJsonValue::Null}} << "Display";
    QTest::newRow("missing") << QJsonObject() << "";
    QTest::newRow("text") << QJsonObject{{"user_uname", "nick"}} << "nick";
    QTest::newRow("number") << QJsonObject{{"user_uname", 7}} << "";
}

void WebRecordsTest::userName()
{
    QFETCH(QJsonObject, record);
    QFETCH(QString, uuid);
    record.insert("UserLiveURI", "sip:u-x@voice.test");
    record.insert("UserDisplayName", "Display");
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);
    m_manager->processUserInfo(record);
    QCOMPARE(user.at(0).at(UsUUID).toString(), uuid);
}

void WebRecordsTest::lastOnline_data()
{
    QTest::addColumn<QJsonValue>("lastOn");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime time(QDate(2014, 5, 6), QTime(7, 8, 9));
    QTest::newRow("with milliseconds") << QJsonValue("2014-05-06 07:08:09.123") << time;
    QTest::newRow("exact") << QJsonValue("2014-05-06 07:08:09") << time;
    QTest::newRow("other form") << QJsonValue("06/05/2014") << QDateTime();
    QTest::newRow("number") << QJsonValue(1400000000) << QDateTime();
}

void WebRecordsTest::lastOnline()
{
    QFETCH(QJsonValue, lastOn);
    QFETCH(QDateTime, expected);
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);
    m_manager->processUserInfo({{"UserLiveURI", "sip:u-x@voice.test"}, {"LastOn", lastOn}});
    const QDateTime received = user.at(0).at(UsLastOnline).toDateTime();
    QCOMPARE(received.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(received, expected);
}

void WebRecordsTest::searchedUsers()
{
    signedin::ownIdentity(QStringLiteral("sip:u-Me@voice.test"));
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);

    // The local user is not announced; the comparison is exact.
    QCOMPARE(m_manager->handleUserInfoEntry({{"UserLiveURI", "sip:u-Me@voice.test"}}), QString());
    QCOMPARE(user.size(), 0);
    QCOMPARE(m_manager->handleUserInfoEntry({{"UserLiveURI", "sip:u-me@voice.test"}}),
             QStringLiteral("sip:u-me@voice.test"));
    QCOMPARE(user.size(), 1);

    QCOMPARE(m_manager->handleUserInfoEntry({{"UserLiveURI", "sip:u-Ann@voice.test"}}),
             QStringLiteral("sip:u-Ann@voice.test"));
    QCOMPARE(user.size(), 2);
    QCOMPARE(user.at(1).at(UsURI).toString(), QStringLiteral("sip:u-ann@voice.test"));

    testLog().clear();
    QCOMPARE(m_manager->handleUserInfoEntry({{"UserLiveURI", QJsonValue::Null}}), QString());
    QCOMPARE(user.size(), 2);
    QCOMPARE(testLog().matching(QStringLiteral("data[UserLiveURI] returns null")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("data[UserLiveURI] returns null")).first().type, QtCriticalMsg);
}

void WebRecordsTest::notificationRecord_data()
{
    QTest::addColumn<QJsonValue>("sentAt");
    QTest::addColumn<qint64>("msecs");

    QTest::newRow("text") << QJsonValue("1400000000000") << qint64(1400000000000);
    QTest::newRow("number") << QJsonValue(1400000000000.0) << qint64(0);
    QTest::newRow("not a number") << QJsonValue("soon") << qint64(0);
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << qint64(0);
}

void WebRecordsTest::notificationRecord()
{
    QFETCH(QJsonValue, sentAt);
    QFETCH(qint64, msecs);
    QSignalSpy notification(m_manager, &QSocialManager::notificationReceived);
    QJsonObject record{{"NotificationUID", "31"},
                       {"FromUserSocialUID", "77"},
                       {"UserDisplayName", "Ann"},
                       {"ChannelSocialUID", "5002"},
                       {"ChannelDisplayName", "Lobby"},
                       {"Type", "2"},
                       {"State", "1"},
                       {"CustomMessage", "Come"},
                       {"CustomAction", "join"},
                       {"UserEmail", "ann@example.test"}};
    if (!sentAt.isUndefined())
        record.insert("SentAtMSecsFromEpoch", sentAt);
    m_manager->processNotification(record);

    QCOMPARE(notification.size(), 1);
    const QVariantList args = notification.at(0);
    QCOMPARE(args.at(NoUID).toString(), QStringLiteral("31"));
    QCOMPARE(args.at(NoFromName).toString(), QStringLiteral("Ann"));
    QCOMPARE(args.at(NoType).toString(), QStringLiteral("2"));
    QCOMPARE(args.at(NoEmail).toString(), QStringLiteral("ann@example.test"));
    const QDateTime received = args.at(NoSentAt).toDateTime();
    QCOMPARE(received.toMSecsSinceEpoch(), msecs);
    QCOMPARE(received.timeSpec(), Qt::LocalTime);
    if (msecs)
        QCOMPARE(received.toUTC(), QDateTime(QDate(2014, 5, 13), QTime(16, 53, 20), Qt::UTC));
}

void WebRecordsTest::notificationList()
{
    QSignalSpy notification(m_manager, &QSocialManager::notificationReceived);
    m_manager->extractNotifications({{"v", QJsonArray{QJsonObject{{"NotificationUID", "1"}}, "not an object",
                                                      QJsonObject{{"NotificationUID", "3"}}}}});
    QCOMPARE(notification.size(), 3);
    QCOMPARE(notification.at(0).at(NoUID).toString(), QStringLiteral("1"));
    // An element that is no object gives a notification of empty fields.
    QCOMPARE(notification.at(1).at(NoUID).toString(), QString());
    QCOMPARE(notification.at(1).at(NoSentAt).toDateTime().toMSecsSinceEpoch(), qint64(0));
    QCOMPARE(notification.at(2).at(NoUID).toString(), QStringLiteral("3"));
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(testLog().matching(QStringLiteral("Extracting notification %1 of 3").arg(i)).size(), 1);

    m_manager->extractNotifications({{"v", QJsonObject{{"NotificationUID", "9"}}}});
    m_manager->extractNotifications({{"list", QJsonArray{QJsonObject()}}});
    QCOMPARE(notification.size(), 3);
}

TAVRI_TEST_MAIN(WebRecordsTest)
#include "tst_webrecords.moc"
