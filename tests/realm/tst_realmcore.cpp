// The built-in realm: its fixed interface answers, the conversation and user
// lookups with the web requests they make, the channel-name check, the
// post-call survey countdown and the order of its destruction.

#include "conversation.h"
#include "conversationlist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "websettle.h"

#include "realmtestaccess.h"
#include "signedinuser.h"

#include <QApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

// The application object of this test: it counts the post-call surveys that
// the realm asks it to open.
class SurveyApplication : public QApplication
{
    Q_OBJECT

public:
    using QApplication::QApplication;
    int surveysShown = 0;

public slots:
    void showPostCallSurvey() { ++surveysShown; }
};

class TestRealmCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void interfaceAnswers();
    void requestLoginRefused();
    void conversationByURI_data();
    void conversationByURI();
    void emptyURI();
    void privateChatHasBothUsers();
    void placeholderByUID();
    void badChannelUID_data();
    void badChannelUID();
    void userByURI();
    void telephoneCallerNotLookedUp();
    void emptyUserIdMakesNoUser();
    void unknownConversationIdMakesNothing_data();
    void unknownConversationIdMakesNothing();
    void channelNameAllowed_data();
    void channelNameAllowed();
    void postCallSurveyCountdown();
    void postCallSurveyOnLeave();
    void postCallSurveyDisabled();
    void postCallSurveyRepeatSetting_data();
    void postCallSurveyRepeatSetting();
    // Deletes the realm: keep it last.
    void destructionOrder();

private:
    // Requests for method whose field holds value.
    int asked(const QString &method, const QString &field, const QString &value) const;
    // Lets requests in flight reach the fake.
    // Every web call posted so far is answered and handled.
    void settle() const { QVERIFY(webtest::settle(*m_web, *QSocialManager::getInstance())); }
    int surveys() const { return static_cast<SurveyApplication *>(qApp)->surveysShown; }
    // A group chat with the local user and one other participant: a
    // multi-party call once its voice is on.
    Conversation *groupChat(const QString &uri);
    void call(Conversation *conversation);

    FakeWebService *m_web = nullptr;
    TavriIdentityRealm *m_realm = nullptr;
    TavriIdentityRealmUser *m_me = nullptr;
};

void TestRealmCore::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Conversation::VoiceState>();
    m_web = new FakeWebService(this);
    m_web->setSignInDefaults();
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "GetChannelInfoWithOwnerInfoFromLiveUID"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_realm = TavriIdentityRealm::getInstance();

    m_me = signedin::ownIdentity(QStringLiteral("sip:u-me@d"));
    QVERIFY(m_me);
    settle();
}

void TestRealmCore::cleanup()
{
    StorageManager::getInstance()->removeSettingsValue(
        StorageManager::getSettingsKeyName(StorageManager::SettingsKeyPostCallSurveyDisabled));
    StorageManager::getInstance()->removeSettingsValue(
        QStringLiteral("defaults.")
        + StorageManager::getSettingsKeyName(StorageManager::SettingsKeyPostCallSurveyRepeatNum));
    if (m_realm)
        TavriIdentityRealmTest::resetSurvey();
    LocalUser::getLocalUser()->getConversations()->clear();
}

int TestRealmCore::asked(const QString &method, const QString &field, const QString &value) const
{
    int count = 0;
    for (const FakeWebService::Request &request : m_web->requestsFor(method))
        count += request.value(field) == value ? 1 : 0;
    return count;
}

void TestRealmCore::interfaceAnswers()
{
    Tavri::IdentityRealmInterface *realm = m_realm;
    QCOMPARE(realm->realmDisplayName(), QStringLiteral("Tavri"));
    QCOMPARE(realm->realmID(), QStringLiteral("__Tavri"));
    QCOMPARE(realm->realmTag(), QStringLiteral("0"));
    QCOMPARE(realm->realmFlagA(), false);
    QCOMPARE(realm->realmFlagB(), true);
    QCOMPARE(realm->realmObjectA(), nullptr);
    int argument = 7;
    realm->realmHookA(&argument);
    realm->realmHookB(&argument);
    QCOMPARE(argument, 7);
    QCOMPARE(realm->realmObject(), static_cast<QObject *>(m_realm));
    // Receivers find the interface from a signal's sender.
    QCOMPARE(qobject_cast<Tavri::IdentityRealmInterface *>(realm->realmObject()), realm);
    QCOMPARE(TavriIdentityRealm::getInstance(), m_realm);
}

void TestRealmCore::requestLoginRefused()
{
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'false'")));
    QCOMPARE(m_realm->requestLogin(), false);
}

void TestRealmCore::conversationByURI_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("filedAs");
    QTest::addColumn<QString>("liveUID"); // asked of the web service; empty for none
    QTest::addColumn<QString>("warning");

    QTest::newRow("permanent channel") << "sip:confctl-42@d"
                                       << "sip:confctl-42@d"
                                       << "42" << QString();
    QTest::newRow("channel without domain") << "sip:confctl-43"
                                            << "sip:confctl-43"
                                            << "43" << QString();
    QTest::newRow("channel in capitals") << "SIP:CONFCTL-44@D"
                                         << "sip:confctl-44@d"
                                         << "44" << QString();
    // The audio test channel is no channel of the web service.
    QTest::newRow("echo channel") << Conversation::echoChannelURI() << Conversation::echoChannelURI().toLower()
                                  << QString() << QString();
    QTest::newRow("group chat") << "sip:confctl-g-ab12@d"
                                << "sip:confctl-g-ab12@d" << QString() << QString();
    QTest::newRow("channel id not a number")
        << "sip:confctl-abc@d"
        << "sip:confctl-abc@d" << QString() << "no channel id in \"sip:confctl-abc@d\"";
    QTest::newRow("channel id empty") << "sip:confctl-@d"
                                      << "sip:confctl-@d" << QString() << "no channel id in \"sip:confctl-@d\"";
}

void TestRealmCore::conversationByURI()
{
    QFETCH(QString, uri);
    QFETCH(QString, filedAs);
    QFETCH(QString, liveUID);
    QFETCH(QString, warning);

    const QString method = QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID");
    settle();
    const int before = m_web->requestsFor(method).size();
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));

    Conversation *conversation = m_realm->getConversation(uri);
    QVERIFY(conversation);
    QCOMPARE(conversation->getSipURI(), filedAs);
    QCOMPARE(conversation->getConversationID(), filedAs);
    QCOMPARE(conversation->parent(), static_cast<QObject *>(m_realm));
    QCOMPARE(conversation->getParticipants()->rowCount(), 0);
    QCOMPARE(m_realm->getConversation(uri), conversation);
    QCOMPARE(m_realm->getConversation(filedAs), conversation);

    if (liveUID.isEmpty()) {
        settle();
        QCOMPARE(m_web->requestsFor(method).size(), before);
    } else {
        QTRY_COMPARE(asked(method, QStringLiteral("ChannelLiveUID"), liveUID), 1);
        settle();
        QCOMPARE(m_web->requestsFor(method).size(), before + 1);
    }
}

void TestRealmCore::emptyURI()
{
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("no sip URI, returning\\.\\.\\.")));
    QCOMPARE(m_realm->getConversation(QString()), nullptr);
    QVERIFY(!TavriIdentityRealmTest::byURI().contains(QString()));
}

void TestRealmCore::privateChatHasBothUsers()
{
    const QString peerURI = QStringLiteral("sip:u-peer@d");
    Conversation *chat = m_realm->getConversation(peerURI);
    QVERIFY(chat);
    QCOMPARE(chat->getConversationID(), peerURI);
    QCOMPARE(chat->getSipURI(), peerURI);
    QCOMPARE(chat->getJoinState(), Conversation::NotJoined);
    QCOMPARE(chat->getVoiceState(), Conversation::VoiceDisabled);
    QCOMPARE(chat->getIdentityRealm(), static_cast<Tavri::IdentityRealmInterface *>(m_realm));

    const QList<ConversationParticipant *> participants = chat->getParticipants()->getParticipants();
    QCOMPARE(participants.size(), 2);
    QCOMPARE(participants.at(0)->getIdentity(), static_cast<Tavri::RealmUserInterface *>(m_me));
    Tavri::RealmUserInterface *peer = participants.at(1)->getIdentity();
    QCOMPARE(peer, m_realm->requestUserInfoUpdateByURI(peerURI));
    QCOMPARE(peer->getUid(), peerURI);
    QCOMPARE(m_realm->getConversation(peerURI), chat);
}

void TestRealmCore::placeholderByUID()
{
    const QString uid = QStringLiteral("5002");
    Conversation *placeholder = m_realm->getConversationByUID(uid);
    QVERIFY(placeholder);
    QCOMPARE(placeholder->getSipURI(), uid);
    QCOMPARE(placeholder->getConversationID(), uid);
    QCOMPARE(placeholder->getChannelUID(), uid);
    QCOMPARE(TavriIdentityRealmTest::byUID().value(uid), placeholder);
    QCOMPARE(TavriIdentityRealmTest::byURI().value(uid), placeholder);
    QCOMPARE(m_realm->getConversation(uid), placeholder);

    QTRY_COMPARE(asked(QStringLiteral("GetChannelInfo"), QStringLiteral("ChannelSocialUID"), uid), 1);
    QCOMPARE(m_realm->getConversationByUID(uid), placeholder);
    settle();
    QCOMPARE(asked(QStringLiteral("GetChannelInfo"), QStringLiteral("ChannelSocialUID"), uid), 1);
}

void TestRealmCore::badChannelUID_data()
{
    QTest::addColumn<QString>("uid");
    QTest::newRow("empty") << QString();
    QTest::newRow("letters") << "abc";
    QTest::newRow("a private chat's URI") << "sip:u-bystander@d";
    QTest::newRow("negative") << "-5";
}

void TestRealmCore::badChannelUID()
{
    QFETCH(QString, uid);
    // A real conversation filed under the same text stays where it is.
    Conversation *bystander = m_realm->getConversation(QStringLiteral("sip:u-bystander@d"));
    const int channelRequests = m_web->requestsFor(QStringLiteral("GetChannelInfo")).size();

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a channel UID")));
    QCOMPARE(m_realm->getConversationByUID(uid), nullptr);
    QVERIFY(!TavriIdentityRealmTest::byUID().contains(uid));
    QCOMPARE(m_realm->getConversation(QStringLiteral("sip:u-bystander@d")), bystander);
    settle();
    QCOMPARE(m_web->requestsFor(QStringLiteral("GetChannelInfo")).size(), channelRequests);
}

void TestRealmCore::userByURI()
{
    const QString uri = QStringLiteral("sip:u-carol@d");
    Tavri::RealmUserInterface *user = m_realm->requestUserInfoUpdateByURI(uri);
    QVERIFY(user);
    auto *carol = qobject_cast<TavriIdentityRealmUser *>(user->getQObject());
    QVERIFY(carol);
    QCOMPARE(carol->getUid(), uri);
    QCOMPARE(carol->getSipURI(), uri);
    QCOMPARE(carol->parent(), static_cast<QObject *>(m_realm));
    // Filed under the URI as id too.
    QCOMPARE(m_realm->getRealmUser(uri), user);

    QTRY_COMPARE(asked(QStringLiteral("getUserByUserLiveURI"), QStringLiteral("UserLiveURI"), uri), 1);
    QCOMPARE(m_realm->requestUserInfoUpdateByURI(uri), user);
    settle();
    QCOMPARE(asked(QStringLiteral("getUserByUserLiveURI"), QStringLiteral("UserLiveURI"), uri), 1);
    QCOMPARE(asked(QStringLiteral("getUserBySocialUID"), QStringLiteral("uid"), uri), 0);
}

void TestRealmCore::emptyUserIdMakesNoUser()
{
    const int users = m_realm->findChildren<TavriIdentityRealmUser *>(QString(), Qt::FindDirectChildrenOnly).size();
    QCOMPARE(m_realm->getRealmUser(QString()), nullptr);
    QCOMPARE(m_realm->getRealmUser(QStringLiteral("")), nullptr);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("requestUserInfoUpdateByURI.*no URI"));
    QCOMPARE(m_realm->requestUserInfoUpdateByURI(QString()), nullptr);
    // Events that name nobody are dropped without making a user.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("requestUserInfoUpdateByURI.*no URI"));
    QVERIFY(QMetaObject::invokeMethod(m_realm, "onVoiceManagerPresenceUpdateReceived", Q_ARG(QString, QString()),
                                      Q_ARG(int, 2), Q_ARG(QString, QStringLiteral("here"))));
    QCOMPARE(m_realm->findChildren<TavriIdentityRealmUser *>(QString(), Qt::FindDirectChildrenOnly).size(), users);
}

void TestRealmCore::unknownConversationIdMakesNothing_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("other scheme") << QStringLiteral("http://confctl-5@d");
    QTest::newRow("unknown sip prefix") << QStringLiteral("sip:x-5@d");
    QTest::newRow("private prefix in capitals") << QStringLiteral("SIP:U-5@d");
    QTest::newRow("peer-to-peer channel") << QStringLiteral("sip:P2P-5@d");
    QTest::newRow("plain text") << QStringLiteral("hello");
}

void TestRealmCore::unknownConversationIdMakesNothing()
{
    QFETCH(QString, id);
    const int users = m_realm->findChildren<TavriIdentityRealmUser *>(QString(), Qt::FindDirectChildrenOnly).size();
    const int conversations = m_realm->findChildren<Conversation *>().size();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("getConversation.*not a channel or user URI"));
    QCOMPARE(m_realm->getConversation(id), nullptr);
    QCOMPARE(m_realm->findChildren<Conversation *>().size(), conversations);
    QCOMPARE(m_realm->findChildren<TavriIdentityRealmUser *>(QString(), Qt::FindDirectChildrenOnly).size(), users);
    settle();
    QCOMPARE(asked(QStringLiteral("getUserByUserLiveURI"), QStringLiteral("UserLiveURI"), id), 0);
}

void TestRealmCore::telephoneCallerNotLookedUp()
{
    const QString phone = QStringLiteral("sip:phone.5551234@d");
    Tavri::RealmUserInterface *caller = m_realm->getRealmUser(phone);
    QVERIFY(caller);
    QCOMPARE(caller->getUid(), phone);
    auto *callerUser = qobject_cast<TavriIdentityRealmUser *>(caller->getQObject());
    QCOMPARE(callerUser->getSipURI(), phone);
    // Filed by URI as well, so the URI lookup finds it without a request.
    QCOMPARE(m_realm->requestUserInfoUpdateByURI(phone), caller);
    QCOMPARE(m_realm->getRealmUser(phone), caller);
    settle();
    QCOMPARE(asked(QStringLiteral("getUserByUserLiveURI"), QStringLiteral("UserLiveURI"), phone), 0);
    QCOMPARE(asked(QStringLiteral("getUserBySocialUID"), QStringLiteral("uid"), phone), 0);
}

void TestRealmCore::channelNameAllowed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("channelURI");
    QTest::addColumn<QString>("parentURI");
    QTest::addColumn<bool>("allowed");

    // Parent "sip:confctl-101@d" is named "lobby"; under parent
    // "sip:confctl-102@d" ("Hall") the local user owns "LOBBY"
    // ("sip:confctl-103@d") and someone else owns "Attic"; under
    // "sip:confctl-104@d" the local user owns "Cellar".
    QTest::newRow("parent has the name") << "Lobby" << QString() << "sip:confctl-101@d" << false;
    QTest::newRow("own sibling has it, other case") << "Lobby" << QString() << "sip:confctl-102@d" << false;
    QTest::newRow("sibling of someone else") << "attic" << QString() << "sip:confctl-102@d" << true;
    QTest::newRow("used under another parent") << "Cellar" << QString() << "sip:confctl-102@d" << true;
    QTest::newRow("renaming the channel itself") << "lobby"
                                                 << "sip:confctl-103@d" << QString() << true;
    QTest::newRow("renaming takes the channel's parent") << "cellar"
                                                         << "sip:confctl-103@d"
                                                         << "sip:confctl-104@d" << true;
    QTest::newRow("free name") << "Kitchen" << QString() << "sip:confctl-102@d" << true;
    QTest::newRow("top level, own channel has it") << "LoBBy" << QString() << QString() << false;
    QTest::newRow("top level, free") << "Kitchen" << QString() << QString() << true;
}

void TestRealmCore::channelNameAllowed()
{
    QFETCH(QString, name);
    QFETCH(QString, channelURI);
    QFETCH(QString, parentURI);
    QFETCH(bool, allowed);

    auto channel = [this](const QString &uri, const QString &displayName, Conversation *parent,
                          TavriIdentityRealmUser *owner) {
        Conversation *conversation = m_realm->getConversation(uri);
        conversation->setDisplayName(displayName, true);
        conversation->setParentConversation(parent);
        conversation->setOwnerIdentity(owner);
        LocalUser::getLocalUser()->getConversations()->addConversation(conversation);
        return conversation;
    };
    auto *stranger = qobject_cast<TavriIdentityRealmUser *>(
        m_realm->requestUserInfoUpdateByURI(QStringLiteral("sip:u-stranger@d"))->getQObject());
    Conversation *lobbyParent = channel(QStringLiteral("sip:confctl-101@d"), QStringLiteral("lobby"), nullptr, m_me);
    Conversation *hall = channel(QStringLiteral("sip:confctl-102@d"), QStringLiteral("Hall"), nullptr, m_me);
    channel(QStringLiteral("sip:confctl-103@d"), QStringLiteral("LOBBY"), hall, m_me);
    channel(QStringLiteral("sip:confctl-105@d"), QStringLiteral("Attic"), hall, stranger);
    Conversation *cellarParent = channel(QStringLiteral("sip:confctl-104@d"), QStringLiteral("Storage"), nullptr, m_me);
    channel(QStringLiteral("sip:confctl-106@d"), QStringLiteral("Cellar"), cellarParent, m_me);
    Q_UNUSED(lobbyParent)

    QCOMPARE(m_realm->channelNameAllowed(name, channelURI, parentURI), allowed);
}

Conversation *TestRealmCore::groupChat(const QString &uri)
{
    Conversation *chat = m_realm->getConversation(uri);
    if (chat->getParticipants()->rowCount() == 0) {
        chat->getParticipants()->addParticipant(m_me);
        chat->getParticipants()->addParticipant(m_realm->requestUserInfoUpdateByURI(QStringLiteral("sip:u-friend@d")));
    }
    return chat;
}

void TestRealmCore::call(Conversation *conversation)
{
    conversation->setVoiceState(Conversation::VoiceEnabled);
    conversation->setVoiceState(Conversation::VoiceDisabled);
}

void TestRealmCore::postCallSurveyCountdown()
{
    Conversation *chat = groupChat(QStringLiteral("sip:confctl-g-survey1@d"));
    const int start = surveys();

    // A call with nobody else does not count.
    Conversation *alone = m_realm->getConversation(QStringLiteral("sip:confctl-g-alone@d"));
    alone->getParticipants()->addParticipant(m_me);
    call(alone);
    QCOMPARE(surveys(), start);

    QList<int> shownAfter;
    for (int callNumber = 1; callNumber <= 11; ++callNumber) {
        const int before = surveys();
        call(chat);
        if (surveys() != before)
            shownAfter.append(callNumber);
    }
    QCOMPARE(shownAfter, (QList<int>{1, 6, 11}));

    // Voice that is merely requested and dropped is no call.
    chat->setVoiceState(Conversation::VoiceRequested);
    chat->setVoiceState(Conversation::VoiceDisabled);
    QCOMPARE(TavriIdentityRealmTest::surveyCountdown(), 5);
}

void TestRealmCore::postCallSurveyOnLeave()
{
    Conversation *chat = groupChat(QStringLiteral("sip:confctl-g-survey2@d"));
    const int start = surveys();

    QCOMPARE(m_realm->postCallSurveyCheck(nullptr), false);
    // Nothing took place yet.
    QCOMPARE(m_realm->postCallSurveyCheck(chat), false);

    chat->setVoiceState(Conversation::VoiceEnabled);
    // Leaving while voice is on counts the call once, not again when the
    // voice then ends.
    QCOMPARE(m_realm->postCallSurveyCheck(chat), true);
    QCOMPARE(surveys(), start + 1);
    chat->setVoiceState(Conversation::VoiceDisabled);
    QCOMPARE(surveys(), start + 1);
    QCOMPARE(TavriIdentityRealmTest::surveyCountdown(), 5);
    // A conversation without voice is no call to count.
    QCOMPARE(m_realm->postCallSurveyCheck(chat), false);
}

void TestRealmCore::postCallSurveyDisabled()
{
    Conversation *chat = groupChat(QStringLiteral("sip:confctl-g-survey3@d"));
    StorageManager *storage = StorageManager::getInstance();
    const int start = surveys();

    call(chat);
    QCOMPARE(surveys(), start + 1);

    storage->setSettingsValue(StorageManager::SettingsKeyPostCallSurveyDisabled, true);
    for (int i = 0; i < 7; ++i)
        call(chat);
    QCOMPARE(surveys(), start + 1);
    QCOMPARE(TavriIdentityRealmTest::surveyCountdown(), 5);

    // The countdown goes on from where it stood.
    storage->setSettingsValue(StorageManager::SettingsKeyPostCallSurveyDisabled, false);
    for (int i = 0; i < 4; ++i)
        call(chat);
    QCOMPARE(surveys(), start + 1);
    call(chat);
    QCOMPARE(surveys(), start + 2);
}

void TestRealmCore::postCallSurveyRepeatSetting_data()
{
    QTest::addColumn<QVariant>("repeat"); // the server's default; invalid for none
    QTest::addColumn<int>("countdown");

    QTest::newRow("no server value") << QVariant() << 5;
    QTest::newRow("server says 2") << QVariant(QStringLiteral("2")) << 2;
    QTest::newRow("server says 0") << QVariant(0) << 0;
    QTest::newRow("not a number") << QVariant(QStringLiteral("often")) << 5;
}

void TestRealmCore::postCallSurveyRepeatSetting()
{
    QFETCH(QVariant, repeat);
    QFETCH(int, countdown);

    if (repeat.isValid()) {
        StorageManager::getInstance()->setSettingsValue(
            QStringLiteral("defaults.")
                + StorageManager::getSettingsKeyName(StorageManager::SettingsKeyPostCallSurveyRepeatNum),
            repeat);
    }
    if (countdown == 5 && repeat.isValid())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("repeat count is not a number")));
    Conversation *chat = groupChat(QStringLiteral("sip:confctl-g-survey4@d"));
    const int start = surveys();
    call(chat);
    QCOMPARE(surveys(), start + 1);
    QCOMPARE(TavriIdentityRealmTest::surveyCountdown(), countdown);
}

void TestRealmCore::destructionOrder()
{
    Conversation *hosted = m_realm->getConversation(QStringLiteral("sip:confctl-g-last@d"));
    // A conversation the realm files but does not parent.
    QPointer<Conversation> foreign =
        new Conversation(QStringLiteral("Foreign"), QStringLiteral("sip:confctl-9@d"), QStringLiteral("9"));
    m_realm->registerConversation(foreign);
    QPointer<Conversation> hostedGuard = hosted;

    bool tablesWholeAtDestroying = false;
    connect(m_realm, &TavriIdentityRealm::destroying, this, [&]() {
        // The realm is no longer handed out while it announces its end.
        tablesWholeAtDestroying =
            TavriIdentityRealm::isEnding()
            && TavriIdentityRealmTest::byURI(m_realm).value(QStringLiteral("sip:confctl-9@d")) == foreign
            && TavriIdentityRealmTest::byUID(m_realm).value(QStringLiteral("9")) == foreign && hostedGuard;
    });
    QSignalSpy destroying(m_realm, &TavriIdentityRealm::destroying);
    delete m_realm;
    m_realm = nullptr;

    QCOMPARE(destroying.count(), 1);
    QVERIFY(tablesWholeAtDestroying);
    // The realm's destructor deletes nothing of what it filed: the foreign
    // conversation lives on and lets go of the realm by itself later.
    QVERIFY(foreign);
    QCOMPARE(foreign->getIdentityRealm(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!foreign);
}

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment testEnvironment;
    SurveyApplication app(argc, argv);
    TestRealmCore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realmcore.moc"
