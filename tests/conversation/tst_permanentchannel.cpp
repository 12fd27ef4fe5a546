// Permanent channels: the edit transaction, saving a channel (add and edit),
// the web service's answers to add, picture, favourite, hierarchy and delete,
// and the member, moderator and ban lists before and after saving.

#include "conversation.h"
#include "conversationlist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "permanentconversationjsonreplyhandler.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"
#include "websettle.h"

#include <QJsonArray>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class ChannelConversation : public Conversation
{
public:
    using Conversation::Conversation;
    void showConversationWindow() override {}
    void showDeleteConfirmation() override { ++deleteConfirmations; }
    int deleteConfirmations = 0;
};

template <typename Request>
QStringList voiceRequests(int type, char *Request::*channel, char *Request::*user)
{
    QStringList result;
    for (int i = 0; i < oxc_request_count(type); ++i) {
        auto *request = reinterpret_cast<const Request *>(oxc_find_request(type, i));
        result.append(QString::fromUtf8(request->*channel) + QLatin1Char(' ') + QString::fromUtf8(request->*user));
    }
    return result;
}

QStringList aclAdds()
{
    return voiceRequests<ox_req_account_channel_add_acl_t>(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL,
                                                           &ox_req_account_channel_add_acl_t::channel_uri,
                                                           &ox_req_account_channel_add_acl_t::user_uri);
}

QStringList aclRemoves()
{
    return voiceRequests<ox_req_account_channel_remove_acl_t>(OX_REQ_ACCOUNT_CHANNEL_REMOVE_ACL,
                                                              &ox_req_account_channel_remove_acl_t::channel_uri,
                                                              &ox_req_account_channel_remove_acl_t::user_uri);
}

QStringList moderatorAdds()
{
    return voiceRequests<ox_req_account_channel_add_moderator_t>(
        OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR, &ox_req_account_channel_add_moderator_t::channel_uri,
        &ox_req_account_channel_add_moderator_t::moderator_uri);
}

QStringList bans()
{
    return voiceRequests<ox_req_channel_ban_user_t>(OX_REQ_CHANNEL_BAN_USER, &ox_req_channel_ban_user_t::channel_uri,
                                                    &ox_req_channel_ban_user_t::participant_uri);
}

QStringList appData()
{
    return voiceRequests<ox_req_account_send_user_app_data_t>(OX_REQ_ACCOUNT_SEND_USER_APP_DATA,
                                                              &ox_req_account_send_user_app_data_t::to_uri,
                                                              &ox_req_account_send_user_app_data_t::content);
}

bool listed(ConversationList *list, Conversation *conversation)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->at(i) == conversation)
            return true;
    return false;
}

} // namespace

class TestPermanentChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void localEdits_data();
    void localEdits();
    void displayNameWithoutChannel();
    void dialinRequests();
    void commitAddOrEdit_data();
    void commitAddOrEdit();
    void commitEditAccessList_data();
    void commitEditAccessList();
    void pendingListsBeforeSaving();
    void addReplySavesChannel_data();
    void addReplySavesChannel();
    void addReplyRefused_data();
    void addReplyRefused();
    void networkErrorFailsAdd();
    void pictureOfSavedChannel();
    void pictureReply_data();
    void pictureReply();
    void favourites();
    void hierarchy();
    void deletion();
    void mutedChannel();
    // Last: it ends the local user's identity.
    void makePermanent();

private:
    TavriIdentityRealmUser *user(const QString &name);
    PermanentConversationJsonReplyHandler *handlerOf(Conversation &conversation);
    // Whether a request for method went out with that channel name.
    bool sentFor(const QString &method, const QString &displayName) const;

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    TavriIdentityRealmUser *m_me = nullptr;
};

void TestPermanentChannel::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Conversation::AccessType>();
    m_web = new FakeWebService(this);
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method :
         {"getUserByUserLiveURI", "getUserByUID", "AddUserStats", "GetChannelInfoWithOwnerInfoFromLiveUID",
          "GetChannelInfoWithOwnerInfo", "EditChannel", "changeChannelModerator", "GetChannelsInHierarchy"})
        m_web->setDefault(QString::fromLatin1(method), ok);
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("perm")));

    m_me = signedin::ownIdentity(QStringLiteral("sip:u-me@perm.example"));
    QVERIFY(m_me);
    m_me->setUname(QStringLiteral("Me"));
}

void TestPermanentChannel::init()
{
    oxc_clear_requests();
    m_web->clear();
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method :
         {"getUserByUserLiveURI", "getUserByUID", "AddUserStats", "GetChannelInfoWithOwnerInfoFromLiveUID",
          "GetChannelInfoWithOwnerInfo", "EditChannel", "changeChannelModerator", "GetChannelsInHierarchy"})
        m_web->setDefault(QString::fromLatin1(method), ok);
    m_web->setLookupDefaults();
}

void TestPermanentChannel::cleanup()
{
    // A request a function left unanswered ends here, and the client has
    // taken its end before the next function sends anything: on a loaded
    // machine the end of one could otherwise arrive amid the next's calls.
    m_web->clear();
    QVERIFY(webtest::settle(*m_web, *m_social));
}

void TestPermanentChannel::cleanupTestCase()
{
    LocalUser::getLocalUser()->getConversations()->clear();
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    delete m_social;
    m_social = nullptr;
}

TavriIdentityRealmUser *TestPermanentChannel::user(const QString &name)
{
    auto *identity = qobject_cast<TavriIdentityRealmUser *>(
        TavriIdentityRealm::getInstance()
            ->requestUserInfoUpdateByURI(QStringLiteral("sip:u-%1@perm.example").arg(name))
            ->getQObject());
    identity->setUid(QStringLiteral("uid-") + name);
    identity->setUname(name);
    return identity;
}

PermanentConversationJsonReplyHandler *TestPermanentChannel::handlerOf(Conversation &conversation)
{
    return conversation.findChild<PermanentConversationJsonReplyHandler *>();
}

bool TestPermanentChannel::sentFor(const QString &method, const QString &displayName) const
{
    for (const FakeWebService::Request &request : m_web->requestsFor(method))
        if (request.value(QStringLiteral("ChannelDisplayName")) == displayName)
            return true;
    return false;
}

void TestPermanentChannel::localEdits_data()
{
    QTest::addColumn<QString>("setter");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("fromServer");
    QTest::addColumn<bool>("taken");

    for (const char *setter : {"description", "message", "dialinAccessCode", "accessType"}) {
        QTest::addRow("%s outside the transaction", setter) << setter << false << false << false;
        QTest::addRow("%s from the server", setter) << setter << false << true << true;
        QTest::addRow("%s inside the transaction", setter) << setter << true << false << true;
    }
}

void TestPermanentChannel::localEdits()
{
    QFETCH(QString, setter);
    QFETCH(bool, editing);
    QFETCH(bool, fromServer);
    QFETCH(bool, taken);

    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-10@d"), QStringLiteral("10"));
    if (editing)
        channel.beginModifications();
    const QByteArray notifier = setter.toLatin1() + "Changed";
    const QMetaObject *meta = channel.metaObject();
    const QMetaProperty property = meta->property(meta->indexOfProperty(setter.toLatin1()));
    QSignalSpy changed(&channel, property.notifySignal());

    if (!taken)
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'false'")));
    if (setter == QLatin1String("description"))
        channel.setDescription(QStringLiteral("x"), fromServer);
    else if (setter == QLatin1String("message"))
        channel.setMessage(QStringLiteral("x"), fromServer);
    else if (setter == QLatin1String("dialinAccessCode"))
        channel.setDialinAccessCode(QStringLiteral("x"), fromServer);
    else
        channel.setAccessType(Conversation::InvitationOnly, fromServer);

    QCOMPARE(changed.count(), taken ? 1 : 0);
    const QVariant value = property.read(&channel);
    if (setter == QLatin1String("accessType"))
        QCOMPARE(value.value<Conversation::AccessType>(), taken ? Conversation::InvitationOnly : Conversation::Public);
    else
        QCOMPARE(value.toString(), taken ? QStringLiteral("x") : QString(""));

    // Inside the transaction the access type is announced also unchanged.
    if (editing && setter == QLatin1String("accessType")) {
        channel.setAccessType(Conversation::InvitationOnly);
        QCOMPARE(changed.count(), 2);
    }
    // The transaction ends with a commit.
    channel.commitModifications();
    if (editing) {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'false'")));
        channel.setDescription(QStringLiteral("after"));
        QVERIFY(channel.getDescription() != QLatin1String("after"));
    }
}

void TestPermanentChannel::displayNameWithoutChannel()
{
    ChannelConversation fresh(QStringLiteral("Old"), QStringLiteral("sip:confctl-11@d"), QString());
    QSignalSpy names(&fresh, &Conversation::displayNameChanged);
    fresh.setDisplayName(QStringLiteral("New"));
    fresh.setDisplayName(QStringLiteral("New"));
    QCOMPARE(names.count(), 1);
    QCOMPARE(fresh.getDisplayName(), QStringLiteral("New"));

    ChannelConversation saved(QStringLiteral("Old"), QStringLiteral("sip:confctl-12@d"), QStringLiteral("12"));
    QSignalSpy savedNames(&saved, &Conversation::displayNameChanged);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'false'")));
    saved.setDisplayName(QStringLiteral("New"));
    QCOMPARE(savedNames.count(), 0);
    QCOMPARE(saved.getDisplayName(), QStringLiteral("Old"));
}

void TestPermanentChannel::dialinRequests()
{
    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-13@d"), QString());
    QSignalSpy codes(&channel, &Conversation::dialinAccessCodeChanged);
    channel.cancelDialinAccess();
    QCOMPARE(channel.getDialinAccessCode(), QString());
    channel.requestDialinAccess();
    channel.requestDialinAccess();
    QCOMPARE(channel.getDialinAccessCode(), QStringLiteral("1"));
    channel.setDialinAccessCode(QStringLiteral("555"), true);
    channel.requestDialinAccess();
    QCOMPARE(channel.getDialinAccessCode(), QStringLiteral("555"));
    channel.cancelDialinAccess();
    QCOMPARE(channel.getDialinAccessCode(), QString());
    QCOMPARE(codes.count(), 1); // only the server value is announced
}

void TestPermanentChannel::commitAddOrEdit_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<int>("access");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("passwordSent");

    QTest::newRow("no uid, password protected") << "" << int(Conversation::PasswordProtected) << "AddChannel"
                                                << "pw";
    QTest::newRow("placeholder uid, public") << "-1" << int(Conversation::Public) << "AddChannel"
                                             << "";
    QTest::newRow("saved, password protected") << "88" << int(Conversation::PasswordProtected) << "EditChannel"
                                               << "pw";
}

void TestPermanentChannel::commitAddOrEdit()
{
    QFETCH(QString, uid);
    QFETCH(int, access);
    QFETCH(QString, method);
    QFETCH(QString, passwordSent);

    m_web->hang(QStringLiteral("AddChannel"));
    ChannelConversation parent(QStringLiteral("P"), QStringLiteral("sip:confctl-20@d"), QStringLiteral("20"));
    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-21@d"), uid);
    channel.setParentConversation(&parent);
    channel.beginModifications();
    const QString name = QStringLiteral("Name & more ") + QString::fromLatin1(QTest::currentDataTag());
    channel.setDisplayName(name);
    channel.setDescription(QStringLiteral("About"));
    channel.setMessage(QStringLiteral("Welcome"));
    channel.setAccessType(Conversation::AccessType(access));
    channel.requestDialinAccess();
    channel.changePassword(QStringLiteral("pw"));
    channel.commitModifications();

    QTRY_VERIFY(sentFor(method, name));
    FakeWebService::Request request;
    for (const FakeWebService::Request &sent : m_web->requestsFor(method))
        if (sent.value(QStringLiteral("ChannelDisplayName")) == name)
            request = sent;
    QCOMPARE(request.value(QStringLiteral("ChannelDisplayName")), name);
    QCOMPARE(request.value(QStringLiteral("ChannelDescription")), QStringLiteral("About"));
    QCOMPARE(request.value(QStringLiteral("ChannelMessageOfTheDay")), QStringLiteral("Welcome"));
    QCOMPARE(request.value(QStringLiteral("ChannelProtectionType")), QString::number(access));
    QCOMPARE(request.value(QStringLiteral("ChannelPassword")), passwordSent);
    if (method == QLatin1String("AddChannel")) {
        QCOMPARE(request.value(QStringLiteral("ParentSocialUID")), QStringLiteral("20"));
        QVERIFY(!sentFor(QStringLiteral("EditChannel"), name));
        QVERIFY(handlerOf(channel));
    } else {
        QCOMPARE(request.value(QStringLiteral("ChannelSocialUID")), uid);
        QVERIFY(!sentFor(QStringLiteral("AddChannel"), name));
    }
    // The commit ends the transaction; the password stays for the next one.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'false'")));
    channel.setMessage(QStringLiteral("late"));
    QCOMPARE(channel.getMessage(), QStringLiteral("Welcome"));
}

void TestPermanentChannel::commitEditAccessList_data()
{
    QTest::addColumn<int>("access");
    QTest::newRow("public") << int(Conversation::Public);
    QTest::newRow("invitation only") << int(Conversation::InvitationOnly);
    QTest::newRow("password") << int(Conversation::PasswordProtected);
}

void TestPermanentChannel::commitEditAccessList()
{
    QFETCH(int, access);
    const QString uri = QStringLiteral("sip:confctl-22@d");
    ChannelConversation channel(QStringLiteral("C"), uri, QStringLiteral("22"));
    // The voice service's answers fill the list of a saved channel.
    channel.getMembers(false)->addIdentity(user(QStringLiteral("ann")));
    channel.getMembers(false)->addIdentity(user(QStringLiteral("bob")));
    channel.beginModifications();
    channel.setAccessType(Conversation::AccessType(access));
    oxc_clear_requests();
    channel.commitModifications();

    const QStringList expectedRemoves = access == Conversation::Public
                                            ? QStringList{uri + QStringLiteral(" sip:u-ann@perm.example"),
                                                          uri + QStringLiteral(" sip:u-bob@perm.example")}
                                            : QStringList();
    const QStringList expectedAdds = access == Conversation::InvitationOnly
                                         ? QStringList{uri + QLatin1Char(' ') + m_me->getSipURI()}
                                         : QStringList();
    QCOMPARE(aclRemoves(), expectedRemoves);
    QCOMPARE(aclAdds(), expectedAdds);
    // The list itself follows the voice service, not the request.
    QCOMPARE(channel.getMembers(false)->getIdentityList().size(), 2);
    // This row's edit: a busy machine may still deliver an earlier row's.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const FakeWebService::Request &request : m_web->requestsFor(QStringLiteral("EditChannel")))
                if (request.value(QStringLiteral("ChannelProtectionType")) == QString::number(access))
                    return true;
            return false;
        }(),
        10000);
}

void TestPermanentChannel::pendingListsBeforeSaving()
{
    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-g-pending@d"), QString());
    TavriIdentityRealmUser *ann = user(QStringLiteral("ann"));
    QSignalSpy moderators(channel.getModerators(false), &RealmIdentityList::realmIdentityAdded);

    // An ad-hoc channel asks the voice service for nothing, but counts as
    // fetched.
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_ACL), 0);
    channel.addMembership(ann);
    channel.addModeratorship(ann);
    channel.banUser(ann);
    QCOMPARE(channel.getMembers(false)->getIdentityList().size(), 1);
    QCOMPARE(moderators.count(), 0); // a moderator of a channel with an URI goes to the services

    ChannelConversation unnamed(QStringLiteral("C"), QString(), QString());
    unnamed.addModeratorship(ann);
    unnamed.banUser(ann);
    QCOMPARE(unnamed.getModerators(false)->getIdentityList().size(), 1);
    QCOMPARE(unnamed.getBanned(false)->getIdentityList().size(), 1);
    unnamed.removeModeratorship(ann);
    unnamed.unbanUser(ann);
    QCOMPARE(unnamed.getModerators(false)->getIdentityList().size(), 0);
    QCOMPARE(unnamed.getBanned(false)->getIdentityList().size(), 0);
    channel.removeMembership(ann);
    QCOMPARE(channel.getMembers(false)->getIdentityList().size(), 0);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL), 0);

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure")));
    channel.addMembership(nullptr);
}

void TestPermanentChannel::addReplySavesChannel_data()
{
    QTest::addColumn<int>("access");
    QTest::addColumn<QJsonValue>("uid");
    QTest::newRow("invitation only") << int(Conversation::InvitationOnly) << QJsonValue("501");
    QTest::newRow("public, numeric uid") << int(Conversation::Public) << QJsonValue(501);
}

void TestPermanentChannel::addReplySavesChannel()
{
    QFETCH(int, access);
    QFETCH(QJsonValue, uid);

    const QString oldURI = QStringLiteral("sip:confctl-g-beforesave@perm.example");
    const QString newURI = QStringLiteral("sip:confctl-501@perm.example");
    QTemporaryDir dir;
    const QString picture = QUrl::fromLocalFile(dir.filePath(QStringLiteral("pic.png"))).toString();
    QImage(8, 8, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("pic.png")));

    auto *channel = new ChannelConversation(QStringLiteral("C"), oldURI, QString());
    TavriIdentityRealmUser *ann = user(QStringLiteral("ann"));
    TavriIdentityRealmUser *bob = user(QStringLiteral("bob"));
    TavriIdentityRealmUser *cat = user(QStringLiteral("cat"));
    channel->getParticipants()->addParticipant(m_me);
    channel->getParticipants()->addParticipant(ann);
    channel->getParticipants()->addParticipant(bob);
    channel->beginModifications();
    channel->setAccessType(Conversation::AccessType(access));
    channel->setProfileImageURI(picture);
    // Unsaved with an URI: membership is pending, moderators and bans go to
    // the services at once, so they are put in the pending lists directly.
    channel->addMembership(ann);
    channel->getModerators(false)->addIdentity(bob);
    channel->getBanned(false)->addIdentity(cat);

    m_web->setDefault(QStringLiteral("AddChannel"), QJsonObject{{"ChannelLiveURI", "sip:confctl-501@PERM.example"},
                                                                {"ChannelSocialUID", uid},
                                                                {"ChannelCallInNumber", "7001"}});
    m_web->setDefault(QStringLiteral("SetChannelImage"), QJsonObject{{"result", "/var/www/html/img/c501.png"}});
    QSignalSpy added(channel, &Conversation::channelAdded);
    QSignalSpy failed(channel, &Conversation::addChannelFailed);
    oxc_clear_requests();
    channel->commitModifications();
    QVERIFY(added.wait(5000));

    QCOMPARE(added.first(), (QVariantList{newURI, QStringLiteral("501"), QStringLiteral("7001")}));
    QCOMPARE(failed.count(), 0);
    QCOMPARE(channel->getSipURI(), newURI);
    QCOMPARE(channel->getChannelUID(), QStringLiteral("501"));
    QCOMPARE(channel->getDialinAccessCode(), QStringLiteral("7001"));
    QVERIFY(listed(LocalUser::getLocalUser()->getConversations(), channel));
    QCOMPARE(TavriIdentityRealm::getInstance()->getConversationByUID(QStringLiteral("501")), channel);

    const QStringList expectedMembers = access == Conversation::InvitationOnly
                                            ? QStringList{newURI + QStringLiteral(" sip:u-ann@perm.example")}
                                            : QStringList();
    QCOMPARE(aclAdds(), expectedMembers);
    QCOMPARE(moderatorAdds(), QStringList{newURI + QStringLiteral(" sip:u-bob@perm.example")});
    QCOMPARE(bans(), QStringList{newURI + QStringLiteral(" sip:u-cat@perm.example")});
    const QString move = QStringLiteral("rp:") + oldURI + QLatin1Char('|') + newURI;
    QCOMPARE(appData(), (QStringList{QStringLiteral("sip:u-ann@perm.example ") + move,
                                     QStringLiteral("sip:u-bob@perm.example ") + move}));

    // The picture chosen before saving is uploaded now and stored as served.
    QVERIFY(m_web->waitForRequest(QStringLiteral("SetChannelImage")));
    const FakeWebService::Request upload = m_web->requestsFor(QStringLiteral("SetChannelImage")).last();
    QCOMPARE(upload.value(QStringLiteral("ChannelSocialUID")), QStringLiteral("501"));
    QCOMPARE(upload.value(QStringLiteral("ChannelPictureFileName")), QStringLiteral("pic.png"));
    QTRY_COMPARE(channel->getProfileImageURI(), m_social->getServerBaseUrl() + QStringLiteral("/img/c501.png"));

    LocalUser::getLocalUser()->getConversations()->removeConversation(channel);
    delete channel;
}

void TestPermanentChannel::addReplyRefused_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<bool>("failed");

    QTest::newRow("null address") << QJsonObject{{"ChannelLiveURI", QJsonValue::Null}, {"ChannelSocialUID", "9"}}
                                  << true;
    QTest::newRow("no address") << QJsonObject{{"ChannelSocialUID", "9"}} << true;
    QTest::newRow("empty address") << QJsonObject{{"ChannelLiveURI", ""}, {"ChannelSocialUID", "9"}} << true;
    QTest::newRow("address of another type")
        << QJsonObject{{"ChannelLiveURI", QJsonArray{}}, {"ChannelSocialUID", "9"}} << true;
    QTest::newRow("no uid") << QJsonObject{{"ChannelLiveURI", "sip:confctl-9@d"}} << true;
    QTest::newRow("same root name") << QJsonObject{{"status", "ERR"},
                                                   {"msg", "m"},
                                                   {"reason", "Cannot add root channel with same name as another root "
                                                              "channel of the same user"}}
                                    << true;
    QTest::newRow("other error") << QJsonObject{{"status", "ERR"}, {"msg", "m"}, {"reason", "Other"}} << false;
}

void TestPermanentChannel::addReplyRefused()
{
    QFETCH(QJsonObject, reply);
    QFETCH(bool, failed);

    const QString uri = QStringLiteral("sip:confctl-g-refused@d");
    ChannelConversation channel(QStringLiteral("C"), uri, QString());
    auto *handler = new PermanentConversationJsonReplyHandler(&channel);
    QSignalSpy failures(&channel, &Conversation::addChannelFailed);
    QSignalSpy added(&channel, &Conversation::channelAdded);

    if (reply.value(QStringLiteral("status")) == QLatin1String("ERR"))
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Error: SocialResponse")));
    QVERIFY(!handler->handleReply(QStringLiteral("AddChannel"), QJsonDocument(reply)));

    QCOMPARE(failures.count(), failed ? 1 : 0);
    QCOMPARE(added.count(), 0);
    QCOMPARE(channel.getSipURI(), uri);
    QCOMPARE(channel.getChannelUID(), QString());
}

void TestPermanentChannel::networkErrorFailsAdd()
{
    // Earlier tests' calls still on their way would take the scripted drop.
    QVERIFY(webtest::settle(*m_web, *m_social));
    m_web->drop(QStringLiteral("AddChannel"));
    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-g-dropped@d"), QString());
    QSignalSpy failures(&channel, &Conversation::addChannelFailed);
    channel.commitModifications();
    QVERIFY(failures.wait(5000));
    QCOMPARE(channel.getChannelUID(), QString());
}

void TestPermanentChannel::pictureOfSavedChannel()
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("p.png"));
    QImage(4, 4, QImage::Format_RGB32).save(picture);
    m_web->hang(QStringLiteral("SetChannelImage"));

    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-30@d"), QStringLiteral("30"));
    channel.setProfileImageURI(picture, true);
    channel.setProfileImageURI(picture); // the same picture: nothing sent
    QSignalSpy images(&channel, &Conversation::profileImageURIChanged);
    channel.setProfileImageURI(dir.filePath(QStringLiteral("missing-or-new.png")));
    channel.setProfileImageURI(picture + QStringLiteral("x"));
    QTRY_COMPARE(m_web->requestsFor(QStringLiteral("SetChannelImage")).size(), 2);
    // Kept until the service has taken the picture.
    QCOMPARE(channel.getProfileImageURI(), picture);
    QCOMPARE(images.count(), 0);
}

void TestPermanentChannel::pictureReply_data()
{
    QTest::addColumn<QJsonValue>("result");
    QTest::addColumn<QString>("stored");

    QTest::newRow("server folder") << QJsonValue("/var/www/html/img/ch/a.png") << "BASE/img/ch/a.png";
    QTest::newRow("other path") << QJsonValue("https://cdn.example/a.png") << "https://cdn.example/a.png";
    QTest::newRow("folder not at the start") << QJsonValue("x/var/www/html/img/a.png") << "x/var/www/html/img/a.png";
    QTest::newRow("empty") << QJsonValue("") << "kept";
    QTest::newRow("not a text") << QJsonValue(QJsonArray{}) << "kept";
}

void TestPermanentChannel::pictureReply()
{
    QFETCH(QJsonValue, result);
    QFETCH(QString, stored);
    stored.replace(QStringLiteral("BASE"), m_social->getServerBaseUrl());

    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-31@d"), QStringLiteral("31"));
    channel.setProfileImageURI(QStringLiteral("kept"), true);
    auto *handler = new PermanentConversationJsonReplyHandler(&channel);
    QVERIFY(!handler->handleReply(QStringLiteral("SetChannelImage"), QJsonDocument(QJsonObject{{"result", result}})));
    QCOMPARE(channel.getProfileImageURI(), stored);
}

void TestPermanentChannel::favourites()
{
    ConversationList *favourites = LocalUser::getLocalUser()->getConversations();
    ChannelConversation channel(QStringLiteral("C"), QStringLiteral("sip:confctl-40@d"), QStringLiteral("40"));
    QSignalSpy changes(&channel, &Conversation::isFavoriteChanged);

    // From the server: stored and listed.
    channel.setIsFavorite(true, true);
    QVERIFY(channel.getIsFavorite());
    QVERIFY(listed(favourites, &channel));
    channel.setIsFavorite(false, true);
    QVERIFY(!listed(favourites, &channel));
    QCOMPARE(changes.count(), 2);

    // Two quick clicks end as the user left it.
    m_web->reply(QStringLiteral("changeChannelFavorite"), QJsonObject{{"result", "1"}}, 100);
    m_web->reply(QStringLiteral("changeChannelFavorite"), QJsonObject{{"result", "1"}}, 100);
    channel.setIsFavorite(true);
    channel.setIsFavorite(true); // already asked for: nothing sent
    QVERIFY(!channel.getIsFavorite());
    QTRY_VERIFY(channel.getIsFavorite());
    QVERIFY(webtest::settle(*m_web, *m_social));
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), 1);
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).first().value(QStringLiteral("channelUID")),
             QStringLiteral("40"));
    QVERIFY(channel.getIsFavorite());
    QVERIFY(listed(favourites, &channel));

    // Off and on again before the answers: both answers leave it on.
    m_web->reply(QStringLiteral("changeChannelFavorite"), QJsonObject{{"result", "1"}}, 50);
    m_web->reply(QStringLiteral("changeChannelFavorite"), QJsonObject{{"result", "1"}}, 50);
    channel.setIsFavorite(false);
    channel.setIsFavorite(true);
    QTRY_COMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), 3);
    QVERIFY(webtest::settle(*m_web, *m_social));
    QVERIFY(channel.getIsFavorite());

    // A refused change leaves the value.
    PermanentConversationJsonReplyHandler *handler = handlerOf(channel);
    m_web->hang(QStringLiteral("changeChannelFavorite"));
    channel.setIsFavorite(false);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Error: SocialResponse")));
    handler->handleReply(QStringLiteral("changeChannelFavorite"),
                         QJsonDocument(QJsonObject{{"status", "ERR"}, {"reason", "no"}}));
    QVERIFY(channel.getIsFavorite());

    // A change lost on the network does not block the next click.
    m_web->setDefault(QStringLiteral("changeChannelFavorite"), QJsonObject{{"result", "1"}});
    QSignalSpy failures(&channel, &Conversation::addChannelFailed);
    QTRY_COMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), 4);
    const int sentBefore = 4;
    channel.setIsFavorite(false);
    handler->onError(QNetworkReply::RemoteHostClosedError);
    QCOMPARE(failures.count(), 1);
    channel.setIsFavorite(false);
    QTRY_COMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), sentBefore + 2);
    QTRY_VERIFY(!channel.getIsFavorite());
    QVERIFY(!listed(favourites, &channel));
}

void TestPermanentChannel::hierarchy()
{
    ChannelConversation channel(QStringLiteral("Root"), QStringLiteral("sip:confctl-50@d"), QStringLiteral("50"));
    channel.setHierarchyRoot(QStringLiteral("50"));
    const QJsonObject child{
        {"ChannelLiveURI", "sip:confctl-51@d"}, {"ChannelSocialUID", "51"}, {"ChannelDisplayName", "Child"}};
    m_web->reply(QStringLiteral("GetChannelsInHierarchy"),
                 QJsonArray{child, QJsonValue("junk"), QJsonObject{{"ChannelSocialUID", "52"}},
                            QJsonObject{{"ChannelLiveURI", QJsonValue::Null}}});
    ConversationList *tree = channel.getFamilyTree(true);
    QVERIFY(m_web->waitForRequest(QStringLiteral("GetChannelsInHierarchy")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("GetChannelsInHierarchy")).last().value(QStringLiteral("root")),
             QStringLiteral("50"));
    QTRY_COMPARE(tree->rowCount(), 1);
    QCOMPARE(tree->at(0)->getSipURI(), QStringLiteral("sip:confctl-51@d"));

    // An answer that is not a list keeps the rows.
    QVERIFY(handlerOf(channel)->handleReply(QStringLiteral("GetChannelsInHierarchy"),
                                            QJsonDocument(QJsonObject{{"a", 1}})));
    QCOMPARE(tree->rowCount(), 1);

    // Ad-hoc and private conversations have no hierarchy to ask for.
    ChannelConversation adHoc(QStringLiteral("G"), QStringLiteral("sip:u-x@d"), QString());
    adHoc.getFamilyTree(true);
    QVERIFY(!handlerOf(adHoc));
}

void TestPermanentChannel::deletion()
{
    auto *channel =
        new ChannelConversation(QStringLiteral("C"), QStringLiteral("sip:confctl-60@d"), QStringLiteral("60"));
    QPointer<Conversation> alive(channel);

    channel->requestDelete();
    QCOMPARE(channel->deleteConfirmations, 1);

    channel->setHasChildren(true);
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression(QStringLiteral("Can't delete.*sub-channels must be deleted first")));
    channel->requestDelete(true);
    QVERIFY(webtest::settle(*m_web, *m_social));
    QVERIFY(m_web->requestsFor(QStringLiteral("DeleteChannel")).isEmpty());

    channel->setHasChildren(false);
    m_web->reply(QStringLiteral("DeleteChannel"), QJsonObject{{"result", "1"}});
    channel->requestDelete(true);
    QVERIFY(m_web->waitForRequest(QStringLiteral("DeleteChannel")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("DeleteChannel")).first().value(QStringLiteral("ChannelSocialUID")),
             QStringLiteral("60"));
    QTRY_VERIFY(!alive);

    ChannelConversation unsaved(QStringLiteral("C"), QStringLiteral("sip:confctl-g-61@d"), QString());
    unsaved.requestDelete();
    QCOMPARE(unsaved.deleteConfirmations, 0);
}

void TestPermanentChannel::makePermanent()
{
    m_web->hang(QStringLiteral("AddChannel"));
    ChannelConversation channel(QStringLiteral("G"), QStringLiteral("sip:confctl-g-make@d"), QString(), nullptr,
                                QStringLiteral("handle-make"));
    ChannelConversation notJoined(QStringLiteral("G"), QStringLiteral("sip:confctl-g-make2@d"), QString());
    notJoined.makePermanent(QStringLiteral("Nope"));

    TavriIdentityRealmUser *ann = user(QStringLiteral("ann"));
    channel.getParticipants()->addParticipant(m_me);
    channel.getParticipants()->addParticipant(ann);
    QSignalSpy access(&channel, &Conversation::accessTypeChanged);
    QSignalSpy owners(&channel, &Conversation::ownerURIChanged);
    channel.makePermanent(QStringLiteral("Saved"));

    QVERIFY(m_web->waitForRequest(QStringLiteral("AddChannel")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("AddChannel")).size(), 1);
    const FakeWebService::Request request = m_web->requestsFor(QStringLiteral("AddChannel")).first();
    QCOMPARE(request.value(QStringLiteral("ChannelDisplayName")), QStringLiteral("Saved"));
    QCOMPARE(request.value(QStringLiteral("ChannelProtectionType")), QStringLiteral("2"));
    QCOMPARE(access.count(), 1);
    QCOMPARE(owners.count(), 0);
    QVERIFY(channel.getIsOwned());
    QCOMPARE(channel.getMembers(false)->getIdentityList().size(), 2);

    // The owner is let go when it ends.
    emit m_me->destroying();
    QCOMPARE(channel.getOwnerIdentity(), nullptr);
    QVERIFY(!channel.getIsOwned());
}

void TestPermanentChannel::mutedChannel()
{
    const QString uri = QStringLiteral("sip:confctl-70@d");
    ChannelConversation channel(QStringLiteral("C"), uri, QStringLiteral("70"));
    channel.getParticipants()->addParticipant(user(QStringLiteral("ann")));
    channel.getParticipants()->addParticipant(user(QStringLiteral("bob")));
    QSignalSpy muted(&channel, &Conversation::defaultMutedChanged);
    channel.setMuted(true);
    channel.setMuted(true);
    QCOMPARE(muted.count(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_CHANNEL_MUTE_USER), 2);
    QVERIFY(channel.getMuted());

    // A window sets it through the property.
    QVERIFY(channel.setProperty("muted", false));
    QCOMPARE(muted.count(), 2);
    QCOMPARE(oxc_request_count(OX_REQ_CHANNEL_MUTE_USER), 4);
    QVERIFY(!channel.getMuted());
}

TAVRI_TEST_MAIN(TestPermanentChannel)
#include "tst_permanentchannel.moc"
