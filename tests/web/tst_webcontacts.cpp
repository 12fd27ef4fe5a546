// The web client's answers about people: the friends list and friendship
// changes, invitations, contact groups and their members, user records, the
// user's picture and notifications.

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

using StatusMap = QMap<QString, QStringList>;

namespace {

const QString kOwnUri = QStringLiteral("sip:u-me@voice.test");

QJsonDocument doc(const QJsonObject &object)
{
    return QJsonDocument(object);
}

QJsonDocument doc(const QJsonArray &array)
{
    return QJsonDocument(array);
}

QJsonObject friendEntry(const QJsonValue &uid)
{
    return QJsonObject{{"friend_uid", uid}};
}

} // namespace

class WebContactsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void friendsList_data();
    void friendsList();
    void friendshipAndInvitationResults_data();
    void friendshipAndInvitationResults();
    void emailInvitations_data();
    void emailInvitations();
    void sendEmail();
    void contactGroups_data();
    void contactGroups();
    void singleGroupAnswers();
    void userRecords();
    void userPicture_data();
    void userPicture();
    void notifications();

private:
    FakeWebService *m_fake = nullptr;
    QSocialManager *m_manager = nullptr;
};

void WebContactsTest::initTestCase()
{
    qRegisterMetaType<StatusMap>();
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    testLog();
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_fake = new FakeWebService;
    m_manager = new QSocialManager(nullptr, m_fake->apiUrl(), m_fake->host());

    // Signed in: these answers are behind the login gate.
    QVERIFY(signedin::signIn(*m_fake, kOwnUri, signedin::LoginRequest::HeldOpen, QJsonObject()));
    QCOMPARE(LocalUser::getLocalUser()->getSipURI(), kOwnUri);
}

void WebContactsTest::cleanupTestCase()
{
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
    delete m_manager;
    delete m_fake;
    flushDeferredDeletes();
}

void WebContactsTest::init()
{
    testLog().clear();
}

void WebContactsTest::friendsList_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<QStringList>("friends");

    const QJsonArray two{friendEntry("u1"), friendEntry("u2")};
    QTest::newRow("list") << doc(two) << true << QStringList{"u1", "u2"};
    QTest::newRow("object with data") << doc(QJsonObject{{"data", two}}) << true << QStringList{"u1", "u2"};
    QTest::newRow("object without data") << doc(QJsonObject{{"other", two}}) << true << QStringList();
    QTest::newRow("data not a list") << doc(QJsonObject{{"data", "u1"}}) << true << QStringList();
    QTest::newRow("id as a number") << doc(QJsonArray{friendEntry(7), friendEntry("u2")}) << true
                                    << QStringList{"", "u2"};
    QTest::newRow("null document") << QJsonDocument() << false << QStringList();
}

void WebContactsTest::friendsList()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(bool, announced);
    QFETCH(QStringList, friends);
    QSignalSpy received(m_manager, &QSocialManager::friendsListReceived);
    m_manager->handleReply(QStringLiteral("getFriendsList"), reply);
    QCOMPARE(received.size(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(received.at(0).at(0).toStringList(), friends);
}

void WebContactsTest::friendshipAndInvitationResults_data()
{
    QTest::addColumn<QJsonValue>("result");
    QTest::addColumn<bool>("succeeded");

    QTest::newRow("text 1") << QJsonValue("1") << true;
    QTest::newRow("number 1") << QJsonValue(1) << true;
    QTest::newRow("number 0") << QJsonValue(0) << false;
    QTest::newRow("text 01") << QJsonValue("01") << false;
    QTest::newRow("true") << QJsonValue(true) << false;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << false;
}

void WebContactsTest::friendshipAndInvitationResults()
{
    QFETCH(QJsonValue, result);
    QFETCH(bool, succeeded);
    QSignalSpy requiresUpdate(m_manager, &QSocialManager::friendListRequiresUpdate);
    QJsonObject reply{{"NotificationUID", "n-5"}};
    if (!result.isUndefined())
        reply.insert("result", result);

    m_manager->handleReply(QStringLiteral("changeFriend"), doc(reply));
    QCOMPARE(requiresUpdate.size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("Friend status changed, notification generated n-5")).size(),
             succeeded ? 1 : 0);
    QCOMPARE(testLog().matching(QStringLiteral("Friend status change failed!")).size(), succeeded ? 0 : 1);

    m_manager->handleReply(QStringLiteral("inviteUserToChannel"), doc(reply));
    QCOMPARE(requiresUpdate.size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("Invite succeeded, notification generated n-5")).size(),
             succeeded ? 1 : 0);
    QCOMPARE(testLog().matching(QStringLiteral("Invite failed!")).size(), succeeded ? 0 : 1);
}

void WebContactsTest::emailInvitations_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<StatusMap>("expected");

    QTest::newRow("sent, failed, sent") << doc(
        QJsonObject{{"results", QJsonArray{QJsonObject{{"t", "a@x.test"}, {"s", "sent"}},
                                           QJsonObject{{"t", "b@x.test"}, {"s", "failed"}},
                                           QJsonObject{{"t", "c@x.test"}, {"s", "sent"}}}}})
                                        << StatusMap{{"failed", {"b@x.test"}}, {"sent", {"a@x.test", "c@x.test"}}};
    QTest::newRow("no results") << doc(QJsonObject{{"ok", 1}}) << StatusMap();
    QTest::newRow("results not a list") << doc(QJsonObject{{"results", "a@x.test"}}) << StatusMap();
    QTest::newRow("bare list") << doc(QJsonArray{QJsonObject{{"t", "a@x.test"}, {"s", "sent"}}}) << StatusMap();
}

void WebContactsTest::emailInvitations()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(StatusMap, expected);
    QSignalSpy responses(m_manager, &QSocialManager::inviteUsersResponses);
    m_manager->handleReply(QStringLiteral("InviteUsersViaEmail"), reply);
    QCOMPARE(responses.size(), 1);
    const StatusMap map = responses.at(0).at(0).value<StatusMap>();
    QCOMPARE(map, expected);
    QCOMPARE(map.keys(), expected.keys());
}

void WebContactsTest::sendEmail()
{
    QSignalSpy response(m_manager, &QSocialManager::sendEmailResponse);
    m_manager->handleReply(QStringLiteral("SendEmail"), doc(QJsonObject{{"msg", "http://link.test/x"}}));
    m_manager->handleReply(QStringLiteral("SendEmail"), doc(QJsonObject{{"msg", 5}}));
    QCOMPARE(response.size(), 2);
    QCOMPARE(response.at(0).at(0).toString(), QStringLiteral("http://link.test/x"));
    QCOMPARE(response.at(1).at(0).toString(), QString());
}

void WebContactsTest::contactGroups_data()
{
    QTest::addColumn<QJsonDocument>("reply");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("one group, two members") << doc(QJsonObject{
        {"data",
         QJsonArray{QJsonObject{{"id", "g1"},
                                {"name", "Team"},
                                {"members", QJsonArray{QJsonObject{{"user_uid", "u1"}, {"user_uri", "sip:u-1@v"}},
                                                       QJsonObject{{"user_uid", "u2"}, {"user_uri", "sip:u-2@v"}}}}}}}})
                                            << QStringList{"begin", "group g1 Team", "member g1 u1 sip:u-1@v 1",
                                                           "member g1 u2 sip:u-2@v 1", "end"};
    QTest::newRow("two groups, members not a list")
        << doc(QJsonObject{{"data", QJsonArray{QJsonObject{{"id", "g1"}, {"name", "A"}, {"members", "u1"}},
                                               QJsonObject{{"id", "g2"}, {"name", "B"}}}}})
        << QStringList{"begin", "group g1 A", "group g2 B", "end"};
    QTest::newRow("empty object") << doc(QJsonObject()) << QStringList{"begin", "end"};
    QTest::newRow("bare list") << doc(QJsonArray{QJsonObject{{"id", "g1"}}}) << QStringList{"begin", "end"};
}

void WebContactsTest::contactGroups()
{
    QFETCH(QJsonDocument, reply);
    QFETCH(QStringList, events);
    QStringList seen;
    QObject context;
    connect(m_manager, &QSocialManager::contactGroupsBegin, &context, [&seen] { seen << "begin"; });
    connect(m_manager, &QSocialManager::contactGroupInfoReceived, &context,
            [&seen](const QString &id, const QString &name) { seen << "group " + id + " " + name; });
    connect(m_manager, &QSocialManager::contactGroupMemberChanged, &context,
            [&seen](const QString &id, const QString &uid, const QString &uri, bool inGroup) {
                seen << QStringLiteral("member %1 %2 %3 %4").arg(id, uid, uri).arg(inGroup);
            });
    connect(m_manager, &QSocialManager::contactGroupsEnd, &context, [&seen] { seen << "end"; });
    m_manager->handleReply(QStringLiteral("getContactGroups"), reply);
    QCOMPARE(seen, events);
}

void WebContactsTest::singleGroupAnswers()
{
    QSignalSpy info(m_manager, &QSocialManager::contactGroupInfoReceived);
    QSignalSpy removed(m_manager, &QSocialManager::contactGroupRemoved);
    QSignalSpy member(m_manager, &QSocialManager::contactGroupMemberChanged);

    m_manager->handleReply(QStringLiteral("addContactGroup"), doc(QJsonObject{{"groupID", "g1"}, {"groupName", "A"}}));
    m_manager->handleReply(QStringLiteral("renameContactGroup"),
                           doc(QJsonObject{{"groupID", "g1"}, {"groupName", "B"}}));
    QCOMPARE(info.size(), 2);
    QCOMPARE(info.at(0), (QVariantList{"g1", "A"}));
    QCOMPARE(info.at(1), (QVariantList{"g1", "B"}));

    m_manager->handleReply(QStringLiteral("deleteContactGroup"), doc(QJsonObject{{"groupID", ""}}));
    m_manager->handleReply(QStringLiteral("deleteContactGroup"), doc(QJsonObject{{"other", "g1"}}));
    m_manager->handleReply(QStringLiteral("deleteContactGroup"), doc(QJsonObject{{"groupID", 3}}));
    QCOMPARE(removed.size(), 0);
    m_manager->handleReply(QStringLiteral("deleteContactGroup"), doc(QJsonObject{{"groupID", "g1"}}));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).toString(), QStringLiteral("g1"));

    m_manager->handleReply(QStringLiteral("addContactGroupMember"),
                           doc(QJsonObject{{"groupID", "g1"}, {"memberID", "u1"}}));
    m_manager->handleReply(QStringLiteral("removeContactGroupMember"),
                           doc(QJsonObject{{"groupID", "g1"}, {"memberID", "u1"}}));
    QCOMPARE(member.size(), 2);
    QCOMPARE(member.at(0), (QVariantList{"g1", "u1", "", true}));
    QCOMPARE(member.at(1), (QVariantList{"g1", "u1", "", false}));
}

void WebContactsTest::userRecords()
{
    QSignalSpy user(m_manager, &QSocialManager::userInfoReceived);
    const QJsonObject record{
        {"UserLiveURI", "sip:u-Ann@voice.test"}, {"UserSocialUID", "55"}, {"UserDisplayName", "Ann"}};
    m_manager->handleReply(QStringLiteral("getUserByUserLiveURI"), doc(record));
    m_manager->handleReply(QStringLiteral("getUserBySocialUID"), doc(record));
    m_manager->handleReply(QStringLiteral("getUserBySocialUID"), doc(QJsonObject{{"UserLiveURI", QJsonValue()}}));
    QCOMPARE(user.size(), 2);
    for (const QVariantList &arguments : qAsConst(user)) {
        QCOMPARE(arguments.at(0).toString(), QStringLiteral("sip:u-ann@voice.test"));
        QCOMPARE(arguments.at(2).toString(), QStringLiteral("55"));
    }
}

void WebContactsTest::userPicture_data()
{
    QTest::addColumn<QJsonValue>("result");
    QTest::addColumn<QString>("announced");

    const QString base = QStringLiteral("BASE");
    QTest::newRow("server path") << QJsonValue("/var/www/html/img/p/9.jpg") << base + "/img/p/9.jpg";
    QTest::newRow("https") << QJsonValue("https://cdn.test/9.jpg") << "https://cdn.test/9.jpg";
    QTest::newRow("http") << QJsonValue("http://cdn.test/9.jpg") << "http://cdn.test/9.jpg";
    QTest::newRow("other scheme") << QJsonValue("ftp://cdn.test/9.jpg") << QString();
    QTest::newRow("scheme in capitals") << QJsonValue("HTTPS://cdn.test/9.jpg") << QString();
    QTest::newRow("relative path") << QJsonValue("img/p/9.jpg") << QString();
    QTest::newRow("number") << QJsonValue(9) << QString();
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QString();
}

void WebContactsTest::userPicture()
{
    QFETCH(QJsonValue, result);
    QFETCH(QString, announced);
    announced.replace(QLatin1String("BASE"), m_manager->getServerBaseUrl());
    QSignalSpy updated(m_manager, &QSocialManager::userPictureUpdated);
    QJsonObject reply{{"ok", 1}};
    if (!result.isUndefined())
        reply.insert("result", result);
    m_manager->handleReply(QStringLiteral("SetUserImage"), doc(reply));
    QCOMPARE(updated.size(), 1);
    QCOMPARE(updated.at(0), (QVariantList{kOwnUri, announced}));
}

void WebContactsTest::notifications()
{
    QSignalSpy received(m_manager, &QSocialManager::notificationReceived);
    m_manager->handleReply(QStringLiteral("GetNotificationsSince"), doc(QJsonObject{{"other", 1}}));
    QCOMPARE(testLog().matching(QStringLiteral("Extracting new notifications...")).size(), 1);
    QCOMPARE(received.size(), 0);

    m_manager->handleReply(QStringLiteral("GetNotifications"),
                           doc(QJsonObject{{"v", QJsonArray{QJsonObject{{"NotificationUID", "n1"}},
                                                            QJsonObject{{"NotificationUID", "n2"}}}}}));
    m_manager->handleReply(QStringLiteral("GetNotificationsSince"),
                           doc(QJsonObject{{"v", QJsonArray{QJsonObject{{"NotificationUID", "n3"}}}}}));
    QCOMPARE(received.size(), 3);
    QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("n1"));
    QCOMPARE(received.at(2).at(0).toString(), QStringLiteral("n3"));

    m_manager->handleReply(QStringLiteral("UpdateNotifications"), doc(QJsonObject{{"count", "5"}}));
    QCOMPARE(received.size(), 3);
    QCOMPARE(testLog().matching(QStringLiteral("5 notifications updated")).size(), 1);
}

TAVRI_TEST_MAIN(WebContactsTest)
#include "tst_webcontacts.moc"
