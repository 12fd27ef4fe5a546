// The web method builders: the fields each request operation sends, the
// channel forms, user lookups, and the pictures they square and upload.

#include "fakewebservice.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "webtestsupport.h"

#include <QBuffer>
#include <QImage>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace webtest;

using Builder = std::function<void(QSocialManager *, FakeWebService *)>;
Q_DECLARE_METATYPE(Builder)

namespace {

using Fields = QList<QPair<QString, QString>>;

// A PNG file that claims the given size but holds no picture data.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    auto crc32 = [](const QByteArray &data) {
        quint32 crc = 0xffffffffu;
        for (char byte : data) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto be32 = [](quint32 value) {
        QByteArray bytes(4, 0);
        for (int i = 0; i < 4; ++i)
            bytes[i] = char((value >> (24 - 8 * i)) & 0xff);
        return bytes;
    };
    auto chunk = [&](const QByteArray &type, const QByteArray &data) {
        return be32(quint32(data.size())) + type + data + be32(crc32(type + data));
    };
    return QByteArray("\x89PNG\r\n\x1a\n", 8)
           + chunk("IHDR", be32(width) + be32(height) + QByteArray("\x08\x02\x00\x00\x00", 5))
           + chunk("IDAT", QByteArray()) + chunk("IEND", QByteArray());
}

// A picture in three bands along its longer side: red, green over the middle
// two thirds of the square that a centred cut keeps, blue.
QImage bandedPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const bool landscape = width >= height;
    const int length = landscape ? width : height;
    const int side = landscape ? height : width;
    const int start = (length - side) / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int along = landscape ? x : y;
            image.setPixel(x, y,
                           along < start           ? qRgb(255, 0, 0)
                           : along >= start + side ? qRgb(0, 0, 255)
                                                   : qRgb(0, 255, 0));
        }
    }
    return image;
}

bool isGreen(QRgb pixel)
{
    return qGreen(pixel) > 200 && qRed(pixel) < 50 && qBlue(pixel) < 50;
}

} // namespace

class WebBuildersTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void operationsSendTheirFields_data();
    void operationsSendTheirFields();
    void accountCreationForgetsThePassword();
    void channelForms_data();
    void channelForms();
    void userLookups_data();
    void userLookups();
    void picturesAreSquared_data();
    void picturesAreSquared();
    void dataThatIsNoPictureStaysUnchanged_data();
    void dataThatIsNoPictureStaysUnchanged();
    void userPictureIsPostedTwice();
    void unreadablePictureFileSendsNoData_data();
    void unreadablePictureFileSendsNoData();

private:
    FakeWebService::Request lastRequestFor(const QString &method);

    FakeWebService *m_fake = nullptr;
    QSocialManager *m_manager = nullptr;
};

void WebBuildersTest::initTestCase()
{
    startWebTests();
}

void WebBuildersTest::init()
{
    openClientOverFake(m_fake, m_manager);
    // Logins record analytics events; they are not the subject here.
    m_manager->onDoNotLogChanged(true);
}

void WebBuildersTest::cleanup()
{
    const QStringList unexpected = closeClientOverFake(m_fake, m_manager);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char(','))));
}

FakeWebService::Request WebBuildersTest::lastRequestFor(const QString &method)
{
    if (!m_fake->waitForRequest(method))
        return {};
    return m_fake->requestsFor(method).last();
}

void WebBuildersTest::operationsSendTheirFields_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<QString>("method");
    QTest::addColumn<Fields>("fields"); // expected values
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("login") << Builder([](QSocialManager *m, FakeWebService *) { m->requestLogin("a@b", "pw"); })
                           << "LoginUser"
                           << Fields{{"email", "a@b"}, {"password", "pw"}, {"guid", StorageManager::getInstallGuid()}}
                           << QStringList{"sid"};
    QTest::newRow("relogin") << Builder([](QSocialManager *m, FakeWebService *fake) {
        m->requestLogin("a@b", "pw");
        QVERIFY(fake->waitForRequest("LoginUser"));
        m->requestRelogin("sessionExpired");
    }) << "LoginUser" << Fields{{"email", "a@b"}, {"password", "pw"}, {"client_version", "1.0"}}
                             << QStringList{"guid"};
    QTest::newRow("create account") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestCreateAccount("nick", "n@b", "pw");
    }) << "CreateAccount"
                                    << Fields{{"email", "n@b"},
                                              {"password", "pw"},
                                              {"displayname", "nick"},
                                              {"uuid", "nick"},
                                              {"account_creation_id", "Ostrel"}}
                                    << QStringList();
    QTest::newRow("uuid exists") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestUserUuidExists("nick"); })
                                 << "userUuidExists" << Fields{{"uuid", "nick"}} << QStringList();
    QTest::newRow("update check") << Builder([](QSocialManager *m, FakeWebService *) { m->requestCheckForUpdate(); })
                                  << "CheckForUpdate" << Fields{{"os", "WIN"}} << QStringList();
    QTest::newRow("user stats") << Builder([](QSocialManager *m, FakeWebService *) { m->requestAddUserStats("5002"); })
                                << "AddUserStats" << Fields{{"ChannelSocialUID", "5002"}} << QStringList();
    QTest::newRow("user search")
        << Builder([](QSocialManager *m, FakeWebService *) { m->requestUserInfoPublicByName("bo b", true, 3, 10); })
        << "GetUserInfoPublicByName"
        << Fields{{"name", "bo b"}, {"showInactive", "1"}, {"offset", "3"}, {"limit", "10"}, {"v", "2"}}
        << QStringList();
    QTest::newRow("accept invitation") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestAcceptInvitation("17"); })
                                       << "AcceptInvitation" << Fields{{"NotificationUID", "17"}} << QStringList();
    QTest::newRow("delete channel") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestDeleteChannel("5002"); })
                                    << "DeleteChannel" << Fields{{"ChannelSocialUID", "5002"}} << QStringList();
    QTest::newRow("channel with owner") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChannelInfoWithOwnerInfo("5002");
    }) << "GetChannelInfoWithOwnerInfo" << Fields{{"ChannelSocialUID", "5002"}}
                                        << QStringList();
    QTest::newRow("channel by live id") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChannelInfoWithOwnerInfoFromLiveUID("5002");
    }) << "GetChannelInfoWithOwnerInfoFromLiveUID"
                                        << Fields{{"ChannelLiveUID", "5002"}} << QStringList();
    QTest::newRow("channel info") << Builder([](QSocialManager *m, FakeWebService *) { m->requestChannelInfo("5002"); })
                                  << "GetChannelInfo" << Fields{{"ChannelSocialUID", "5002"}} << QStringList();
    QTest::newRow("hierarchy") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestChannelsInHierarchy("5001"); })
                               << "GetChannelsInHierarchy" << Fields{{"root", "5001"}} << QStringList();
    QTest::newRow("channel search") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChannelsMatching("lob", false, 0, 4, {"a", "b"});
    }) << "GetChannelsMatching" << Fields{{"name", "lob"}, {"showInactive", "0"}, {"offset", "0"},
                                          {"limit", "4"},  {"tags", "a,b"},       {"v", "2"}}
                                    << QStringList();
    QTest::newRow("owned channels") << Builder([](QSocialManager *m, FakeWebService *) { m->requestChannelsOwned(); })
                                    << "GetChannelsOwned" << Fields() << QStringList();
    QTest::newRow("notifications") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestNotifications({"1", "2"});
    }) << "GetNotifications" << Fields{{"NotificationUIDs", "1,2"}}
                                   << QStringList();
    QTest::newRow("notifications since") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestNotificationsSince("0");
    }) << "GetNotificationsSince" << Fields{{"SinceNotificationUID", "0"}}
                                         << QStringList();
    QTest::newRow("third party") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestThirdPartyChannelForUser("app", "ch", "u");
    }) << "GetThirdPartyChannelForUser"
                                 << Fields{{"app", "app"}, {"channel", "ch"}, {"user", "u"}} << QStringList();
    QTest::newRow("add group") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestAddContactGroup("Work"); })
                               << "addContactGroup" << Fields{{"name", "Work"}} << QStringList();
    QTest::newRow("add member") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestAddContactGroupMember("7", "sip:u-1@d");
    }) << "addContactGroupMember"
                                << Fields{{"gid", "7"}, {"mid", "sip:u-1@d"}} << QStringList();
    QTest::newRow("remove member") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRemoveContactGroupMember("7", "1002");
    }) << "removeContactGroupMember"
                                   << Fields{{"gid", "7"}, {"mid", "1002"}} << QStringList();
    QTest::newRow("delete group") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestDeleteContactGroup("7"); })
                                  << "deleteContactGroup" << Fields{{"gid", "7"}} << QStringList();
    QTest::newRow("groups") << Builder([](QSocialManager *m, FakeWebService *) { m->requestContactGroups(); })
                            << "getContactGroups" << Fields() << QStringList();
    QTest::newRow("favourites") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestChannelFavoritesList(); })
                                << "getChannelFavoritesList" << Fields() << QStringList();
    QTest::newRow("favourite") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChangeChannelFavorite("5002", true, "17");
    }) << "changeChannelFavorite"
                               << Fields{{"channelUID", "5002"}, {"isFav", "1"}, {"inviteUID", "17"}} << QStringList();
    QTest::newRow("moderator") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChangeChannelModerator("5002", "1002", false);
    }) << "changeChannelModerator"
                               << Fields{{"channelUID", "5002"}, {"memberUID", "1002"}, {"isModerator", "0"}}
                               << QStringList();
    QTest::newRow("friend") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestChangeFriend("1002", true, "");
    }) << "changeFriend" << Fields{{"friendUID", "1002"}, {"setIsFriend", "1"}, {"inviteUID", ""}}
                            << QStringList();
    QTest::newRow("e-mail invitation, no channel") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestInviteUsersViaEmail({"a@x", "b@x"}, "hi", "", "");
    }) << "InviteUsersViaEmail" << Fields{{"to", "a@x,b@x"}, {"customMessage", "hi"}}
                                                   << QStringList{"channelURI", "channelUID"};
    QTest::newRow("e-mail invitation, channel") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestInviteUsersViaEmail({}, "hi", "sip:confctl-1@d", "1");
    }) << "InviteUsersViaEmail" << Fields{{"to", ""}, {"channelURI", "sip:confctl-1@d"}, {"channelUID", "1"}}
                                                << QStringList();
    QTest::newRow("issue") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestIssue("text", "so", "rc", "c", "cs");
    }) << "RequestIssue" << Fields{{"comments", "text"}, {"so", "so"}, {"rc", "rc"}, {"c", "c"}, {"cs", "cs"}}
                           << QStringList();
    QTest::newRow("issue with details") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestIssueWithDetails("t", "", "", "", "", {"os:Linux", "x", ":y"});
    }) << "RequestIssue" << Fields{{"comments", "t"}, {"ext[os]", "Linux"}}
                                        << QStringList{"ext[]", "x"};
    QTest::newRow("profile: tagline is the status text") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestSetUserCustomInfo("Bob", "about", "tagline", "here", "http://w", "tw", "123", true);
    }) << "SetUserCustomInfo" << Fields{{"UserDisplayName", "Bob"},    {"UserDescription", "about"},
                                        {"UserStatusText", "tagline"}, {"UserLocation", "here"},
                                        {"UserLinkWeb", "http://w"},   {"UserTwitterName", "tw"},
                                        {"UserPhoneNumber", "123"},    {"RenameImage", "1"}}
                                                         << QStringList();
    QTest::newRow("notification states") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestUpdateNotifications({"1", "2"}, 2);
    }) << "UpdateNotifications" << Fields{{"NotificationUIDs", "1,2"}, {"State", "2"}}
                                         << QStringList();
    QTest::newRow("realm verify") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmVerify("3", "devapp", "tok");
    }) << "RealmVerify" << Fields{{"rid", "devapp"}, {"token", "tok"}, {"clientlib_version", "3"}}
                                  << QStringList();
    QTest::newRow("realm login") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmLogin("3", "r1", "joe", "ut");
    }) << "RealmLogin" << Fields{{"rsid", "r1"}, {"uname", "joe"}, {"utok", "ut"}, {"clientlib_version", "3"}}
                                 << QStringList();
    QTest::newRow("realm contacts") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmContactList("3", "r1");
    }) << "RealmContactList" << Fields{{"rsid", "r1"}, {"clientlib_version", "3"}}
                                    << QStringList();
    QTest::newRow("realm add contact") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmChangeContact("3", "r1", "ann", true, false);
    }) << "RealmChangeContact" << Fields{{"t", "ann"}, {"l", "contact"}, {"a", "add"}}
                                       << QStringList();
    QTest::newRow("realm unblock") << Builder(
        [](QSocialManager *m, FakeWebService *) { m->requestRealmChangeContact("3", "r1", "ann", false, true); })
                                   << "RealmChangeContact" << Fields{{"l", "block"}, {"a", "del"}} << QStringList();
    QTest::newRow("realm channel auth") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmGetChannelAuth("3", "r1", "room");
    }) << "RealmGetChannelAuth" << Fields{{"rsid", "r1"}, {"n", "room"}}
                                        << QStringList();
    QTest::newRow("realm invite") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmSendInvite("3", "r1", "ann", "c", "Room");
    }) << "RealmSendInvite" << Fields{{"t", "ann"}, {"c", "c"}, {"cn", "Room"}}
                                  << QStringList();
    QTest::newRow("realm message") << Builder([](QSocialManager *m, FakeWebService *) {
        m->requestRealmSendMessage("3", "r1", "ann", "hello");
    }) << "RealmSendMessage" << Fields{{"t", "ann"}, {"m", "hello"}, {"clientlib_version", "3"}}
                                   << QStringList();
}

void WebBuildersTest::operationsSendTheirFields()
{
    QFETCH(Builder, build);
    QFETCH(QString, method);
    QFETCH(Fields, fields);
    QFETCH(QStringList, absent);

    m_fake->setDefault(method, QJsonObject());
    build(m_manager, m_fake);
    const auto request = lastRequestFor(method);
    QCOMPARE(request.method(), method);
    for (const auto &field : fields) {
        QVERIFY2(request.has(field.first), qPrintable(field.first));
        QCOMPARE(request.value(field.first), field.second);
    }
    for (const QString &key : absent)
        QVERIFY2(!request.has(key), qPrintable(key));
}

void WebBuildersTest::accountCreationForgetsThePassword()
{
    m_fake->setDefault(QStringLiteral("CreateAccount"), QJsonObject());
    m_fake->setDefault(QStringLiteral("CheckForUpdate"), QJsonObject());
    m_manager->requestCreateAccount(QStringLiteral("nick"), QStringLiteral("n@b"), QStringLiteral("pw"));
    m_manager->requestCheckForUpdate();
    const auto request = lastRequestFor(QStringLiteral("CheckForUpdate"));
    QCOMPARE(request.value("email"), QStringLiteral("n@b"));
    QVERIFY(request.has("password"));
    QCOMPARE(request.value("password"), QString());
}

void WebBuildersTest::channelForms_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("protection");
    QTest::addColumn<bool>("callIn");
    QTest::addColumn<QString>("password");     // ChannelPassword sent
    QTest::addColumn<QVariant>("callInField"); // null: absent

    QTest::newRow("edit, password protected") << true << 1 << true << "secret" << QVariant("True");
    QTest::newRow("edit, invitation only") << true << 2 << false << "" << QVariant("");
    QTest::newRow("edit, public") << true << 0 << false << "" << QVariant("");
    QTest::newRow("add, password protected") << false << 1 << false << "secret" << QVariant();
    QTest::newRow("add, invitation only") << false << 2 << true << "" << QVariant("True");
}

void WebBuildersTest::channelForms()
{
    QFETCH(bool, edit);
    QFETCH(int, protection);
    QFETCH(bool, callIn);
    QFETCH(QString, password);
    QFETCH(QVariant, callInField);

    const QString method = edit ? QStringLiteral("EditChannel") : QStringLiteral("AddChannel");
    m_fake->setDefault(method, QJsonObject());
    // 1999 plain characters, then a character outside the basic plane whose
    // two halves straddle the cut, then more.
    const QString description =
        QString(1999, QLatin1Char('d')) + QString::fromUtf8("\xF0\x9F\x98\x80") + QString(499, QLatin1Char('e'));
    const QStringList tags{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    if (edit) {
        m_manager->requestEditChannel("5002", "Name", description, "motd", tags, "e@x", "http://w", "tw", callIn,
                                      protection, true, true, "secret", false);
    } else {
        m_manager->requestAddChannel("Name", description, "motd", tags, "e@x", "http://w", "tw", callIn, protection,
                                     "secret", "5001", false);
    }
    const auto request = lastRequestFor(method);
    QVERIFY(request.has("ChannelPassword"));
    QCOMPARE(request.value("ChannelPassword"), password);
    QCOMPARE(request.has("ChannelSupportsCallIn"), !callInField.isNull());
    if (!callInField.isNull())
        QCOMPARE(request.value("ChannelSupportsCallIn"), callInField.toString());
    QCOMPARE(request.value("ChannelProtectionType"), QString::number(protection));
    // The cut keeps the pair whole by stopping before it.
    QCOMPARE(request.value("ChannelDescription"), QString(1999, QLatin1Char('d')));
    QVERIFY(request.body.contains("&ChannelTags=a%2Cb%2Cc&"));
    QCOMPARE(request.value("ChannelDisplayName"), QStringLiteral("Name"));
    QCOMPARE(request.value("ChannelMessageOfTheDay"), QStringLiteral("motd"));
    QCOMPARE(request.value("ChannelLinkEmail"), QStringLiteral("e@x"));
    QCOMPARE(request.value("ChannelTwitterTag"), QStringLiteral("tw"));
    if (edit) {
        QCOMPARE(request.value("ChannelSocialUID"), QStringLiteral("5002"));
        QCOMPARE(request.value("ChannelChildrenLocked"), QStringLiteral("1"));
        QCOMPARE(request.value("UpdatePassword"), QStringLiteral("1"));
        QCOMPARE(request.value("RenameImage"), QStringLiteral("0"));
        QVERIFY(!request.has("ParentSocialUID"));
    } else {
        QCOMPARE(request.value("ParentSocialUID"), QStringLiteral("5001"));
        QCOMPARE(request.value("ChannelChildrenLocked"), QStringLiteral("0"));
        QVERIFY(!request.has("ChannelSocialUID") && !request.has("UpdatePassword") && !request.has("RenameImage"));
    }
}

void WebBuildersTest::userLookups_data()
{
    QTest::addColumn<QString>("method"); // empty: nothing is posted
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("toManager"); // the reply goes to the manager's dispatch
    QTest::addColumn<int>("assertions");

    QTest::newRow("uid") << "getUserBySocialUID"
                         << "uid"
                         << "1002" << false << 0;
    QTest::newRow("sip address by uid") << "getUserByUserLiveURI"
                                        << "UserLiveURI"
                                        << "sip:u-1002@d" << true << 0;
    QTest::newRow("empty uid") << ""
                               << ""
                               << "" << false << 1;
    QTest::newRow("uri") << "getUserByUserLiveURI"
                         << "UserLiveURI"
                         << "sip:u-7@d" << false << 0;
    QTest::newRow("uri without sip") << ""
                                     << ""
                                     << "" << false << 1;
}

void WebBuildersTest::userLookups()
{
    QFETCH(QString, method);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, toManager);
    QFETCH(int, assertions);

    const QString row = QString::fromLatin1(QTest::currentDataTag());
    RecordingReplyHandler handler;
    if (!method.isEmpty())
        m_fake->setDefault(method, QJsonObject{{"UserLiveURI", value}});
    if (row == QLatin1String("uid"))
        m_manager->getUserInfoByUID(QStringLiteral("1002"), &handler);
    else if (row == QLatin1String("sip address by uid"))
        m_manager->getUserInfoByUID(QStringLiteral("sip:u-1002@d"), &handler);
    else if (row == QLatin1String("empty uid"))
        m_manager->getUserInfoByUID(QString(), &handler);
    else if (row == QLatin1String("uri"))
        m_manager->getUserInfoByUri(QStringLiteral("sip:u-7@d"), &handler);
    else
        m_manager->getUserInfoByUri(QStringLiteral("u-7@d"), &handler);

    // A later call shows whether anything went out before it: a lookup that
    // posts nothing decides so at once.
    m_fake->setDefault(QStringLiteral("CheckForUpdate"), QJsonObject());
    m_manager->requestCheckForUpdate(&handler);
    QVERIFY(m_fake->waitForRequest(QStringLiteral("CheckForUpdate")));
    if (!method.isEmpty())
        QVERIFY(m_fake->waitForRequest(method));
    const auto requests = m_fake->requests();
    if (method.isEmpty()) {
        QCOMPARE(requests.size(), 1);
    } else {
        QCOMPARE(requests.size(), 2);
        const auto lookup = m_fake->requestsFor(method);
        QCOMPARE(lookup.size(), 1);
        QCOMPARE(lookup.first().value(key), value);
    }

    QTRY_COMPARE(handler.replies.size(), (method.isEmpty() || toManager) ? 1 : 2);
    if (toManager) {
        // Whatever handler the caller gave, the manager files the answer.
        QTRY_VERIFY(
            !testLog().matching(QStringLiteral("QSocialManager::handleReply( getUserByUserLiveURI )")).isEmpty());
        QCOMPARE(handler.replies.size(), 1);
        QCOMPARE(handler.replies.first().first, QStringLiteral("CheckForUpdate"));
    }

    const auto reports = testLog().matching(QStringLiteral("Assertion Failure - '"));
    QCOMPARE(reports.size(), assertions);
    if (assertions) {
        QCOMPARE(reports.first().type, QtCriticalMsg);
        QCOMPARE(reports.first().message, QStringLiteral("Assertion Failure - 'uri.startsWith(\"sip:\")'"));
        QCOMPARE(reports.first().function, QByteArray("QSocialManager::getUserInfoByUri"));
    }
}

void WebBuildersTest::picturesAreSquared_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("300 by 200") << 300 << 200;
    QTest::newRow("200 by 300") << 200 << 300;
    QTest::newRow("small square") << 40 << 40;
}

void WebBuildersTest::picturesAreSquared()
{
    QFETCH(int, width);
    QFETCH(int, height);

    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(bandedPicture(width, height).save(&buffer, "PNG"));
    QSocialManager::scaleImageData(data, 128, QStringLiteral("PNG"));

    const QImage result = QImage::fromData(data, "PNG");
    QCOMPARE(result.size(), QSize(128, 128));
    // Only the centred square is kept: the red and blue bands fall outside,
    // so even the pixels at the edges are green.
    for (const QPoint &point : {QPoint(1, 64), QPoint(126, 64), QPoint(64, 1), QPoint(64, 126), QPoint(64, 64)})
        QVERIFY2(isGreen(result.pixel(point)), qPrintable(QStringLiteral("%1,%2").arg(point.x()).arg(point.y())));
    QVERIFY(!testLog().matching(QStringLiteral("Image data saved")).isEmpty());
}

void WebBuildersTest::dataThatIsNoPictureStaysUnchanged_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("text") << QByteArray("not a picture") << "Failed to load image from data";
    QTest::newRow("empty") << QByteArray() << "Failed to load image from data";
    QTest::newRow("truncated png") << pngHeaderOnly(10, 10) << "Failed to load image from data";
    QTest::newRow("huge png") << pngHeaderOnly(30000, 30000) << "Image too large to scale";
}

void WebBuildersTest::dataThatIsNoPictureStaysUnchanged()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, logLine);
    QByteArray bytes = data;
    QSocialManager::scaleImageData(bytes, 128, QStringLiteral("PNG"));
    QCOMPARE(bytes, data);
    QCOMPARE(testLog().matching(logLine).size(), 1);
}

void WebBuildersTest::userPictureIsPostedTwice()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("me.png"));
    QVERIFY(bandedPicture(300, 200).save(path, "PNG"));
    m_fake->setDefault(QStringLiteral("SetUserImage"), QJsonObject{{"result", "http://x/img/u/1.png"}});
    m_fake->setDefault(QStringLiteral("SetUserPrivacy"), QJsonObject{{"result", "1"}});
    RecordingReplyHandler handler;

    m_manager->requestSetUserImage(QUrl::fromLocalFile(path).toString(), &handler);
    const auto image = lastRequestFor(QStringLiteral("SetUserImage"));
    const auto privacy = lastRequestFor(QStringLiteral("SetUserPrivacy"));
    QCOMPARE(m_fake->requests().size(), 2);
    QCOMPARE(image.value("UserPictureFileName"), QStringLiteral("me.png"));
    const QImage sent = QImage::fromData(QByteArray::fromBase64(image.value("UserPictureRawDataBase64").toLatin1()));
    QCOMPARE(sent.size(), QSize(128, 128));
    QVERIFY(!image.has("UserPublicFields"));
    QCOMPARE(privacy.value("UserPictureFileName"), image.value("UserPictureFileName"));
    QCOMPARE(privacy.value("UserPictureRawDataBase64"), image.value("UserPictureRawDataBase64"));
    QCOMPARE(
        privacy.value("UserPublicFields"),
        QStringLiteral("UserDisplayName,UserPictureUrl,UserDescription,UserStatusText,UserLocation,UserLevelName"));
    QTRY_COMPARE(handler.replies.size(), 2);
}

void WebBuildersTest::unreadablePictureFileSendsNoData_data()
{
    QTest::addColumn<qint64>("size"); // -1: no such file
    QTest::addColumn<QString>("logLine");
    QTest::newRow("missing") << qint64(-1) << "Failed to open";
    QTest::newRow("too large") << qint64(17 * 1024 * 1024) << "Picture file too large";
}

void WebBuildersTest::unreadablePictureFileSendsNoData()
{
    QFETCH(qint64, size);
    QFETCH(QString, logLine);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("pic.jpg"));
    if (size >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
    }
    m_fake->setDefault(QStringLiteral("SetChannelImage"), QJsonObject());
    RecordingReplyHandler handler;
    m_manager->setChannelPicture(QStringLiteral("5002"), QUrl::fromLocalFile(path).toString(), &handler);
    const auto request = lastRequestFor(QStringLiteral("SetChannelImage"));
    QCOMPARE(request.value("ChannelSocialUID"), QStringLiteral("5002"));
    QCOMPARE(request.value("ChannelPictureFileName"), QStringLiteral("pic.jpg"));
    QVERIFY(!request.has("ChannelPictureRawDataBase64"));
    QCOMPARE(testLog().matching(logLine).size(), 1);
    QTRY_COMPARE(handler.replies.size(), 1);
}

TAVRI_TEST_MAIN(WebBuildersTest)
#include "tst_webbuilders.moc"
