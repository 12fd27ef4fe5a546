// Audio cues against the built-in realm, the scripted speech engine and the
// media-service fake: which events sound or speak, with which texts and files.

#include "audiocuesmanager.h"
#include "contact.h"
#include "contactlist.h"
#include "conversation.h"
#include "fakemediaservice.h"
#include "fakewebservice.h"
#include "identityrealmmanager.h"
#include "inputhook.h"
#include "localuser.h"
#include "logcapture.h"
#include "notificationlist.h"
#include "qspeechmanager.h"
#include "qtspeech.h"
#include "scriptedinputhook.h"
#include "scriptedspeechbackend.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include <QJsonObject>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using QtSpeech_v1::QtSpeech;
using QtSpeech_v1::ScriptedSpeechBackend;
using Cues = AudioCuesManager;

namespace {

const QString kOwnURI = QStringLiteral("sip:u-me@voice.test");
const QString kChannel = QStringLiteral("sip:confctl-77@voice.test");
const QStringList kOwnStems = {"micMute",    "micUnmute",   "userJoined",     "userLeft",
                               "meJoined",   "meLeft",      "newMessageChat", "newMessageChannel",
                               "userOnline", "userOffline", "newNotification"};

// Opens the protected slots to the tests.
class TestCues : public AudioCuesManager
{
public:
    using AudioCuesManager::onContactPresenceStateChanged;
    using AudioCuesManager::onRenderDeviceChanged;
};

} // namespace

class TestAudioCues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eventTable_data();
    void eventTable();
    void aliasEventSharesSettingsAndPlayerButSpeaksItsOwnText();
    void gating_data();
    void gating();
    void minimizedOnlyStateHoldsOnlyItsOwnEvent();
    void initReadsSkinAndUserSettings();
    void startupPeriodSilencesPresenceAndNotifications();
    void joinAnnouncesOnlyLaterJoiners();
    void privateConversationsGiveNoJoinOrLeaveCue();
    void leaveReasons_data();
    void leaveReasons();
    void participantCueWaitsForTheName();
    void chatMessageTexts_data();
    void chatMessageTexts();
    void soundPaths_data();
    void soundPaths();
    void chosenSoundFiles();
    void longSoundsAreStopped();
    void ttsVoice();
    void ttsPlaybackLength();
    void renderDeviceReachesSpeech();

private:
    // A manager as after sign-in: every cue's file is an existing file of
    // the test, then init and a voice.
    std::unique_ptr<TestCues> liveManager();
    void setState(int event, Cues::EventCueState state);
    FakeMediaPlayerControl *control(Cues *cues, int event);
    bool played(Cues *cues, int event);
    QStringList said() const;
    TavriIdentityRealmUser *user(const QString &uid, const QString &name);
    void participantAdded(const QString &conversationID, const QString &uid);

    QTemporaryDir m_files;
    QString m_soundFile;
    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    QString m_ownUid;
};

void TestAudioCues::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    AudioCuesManager::setMediaPlayerFactory(&FakeMediaService::newPlayer);
    host::InputHook::setFactory([] { return std::unique_ptr<host::InputHook>(new host::ScriptedInputHook); });
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_web = new FakeWebService(this);
    m_web->setSignInDefaults();
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "UpdateNotifications"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_social->onDoNotLogChanged(true);
    LocalUser *local = LocalUser::getLocalUser();
    QVERIFY(signedin::ownIdentity(kOwnURI));
    m_ownUid = local->tavriidentity()->getUid();

    QVERIFY(m_files.isValid());
    m_soundFile = m_files.filePath(QStringLiteral("cue.wav"));
    QFile file(m_soundFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestAudioCues::init()
{
    ScriptedSpeechBackend::resetScript();
    QtSpeech::setBackendFactory(ScriptedSpeechBackend::factory());
    StorageManager *storage = StorageManager::getInstance();
    for (const QString &stem : kOwnStems) {
        storage->removeSettingsValue(QStringLiteral("tones.") + stem);
        storage->removeSettingsValue(QStringLiteral("tones.") + stem + QStringLiteral("Enabled"));
    }
    storage->removeSettingsValue(StorageManager::getSettingsKeyName(StorageManager::SettingsKeyTtsVolume));
    storage->removeSettingsValue(StorageManager::getSettingsKeyName(StorageManager::SettingsKeyTtsMinimizedOnly));
}

void TestAudioCues::cleanup()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<TestCues> TestAudioCues::liveManager()
{
    for (const QString &stem : kOwnStems)
        StorageManager::getInstance()->setSettingsValue(QStringLiteral("tones.") + stem, m_soundFile);
    auto cues = std::make_unique<TestCues>();
    cues->init();
    cues->setTTSVoice(QStringLiteral("Alice"));
    return cues;
}

void TestAudioCues::setState(int event, Cues::EventCueState state)
{
    StorageManager::getInstance()->setSettingsValue(
        QStringLiteral("tones.") + Cues::eventStem(Cues::AudioCueEventType(event)) + QStringLiteral("Enabled"),
        int(state));
}

FakeMediaPlayerControl *TestAudioCues::control(Cues *cues, int event)
{
    return FakeMediaService::control(cues->player(Cues::AudioCueEventType(event)));
}

bool TestAudioCues::played(Cues *cues, int event)
{
    FakeMediaPlayerControl *fake = control(cues, event);
    return fake && fake->calls().contains(QStringLiteral("play"));
}

QStringList TestAudioCues::said() const
{
    ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
    return engine ? engine->said() : QStringList();
}

TavriIdentityRealmUser *TestAudioCues::user(const QString &uid, const QString &name)
{
    auto *realmUser =
        qobject_cast<TavriIdentityRealmUser *>(TavriIdentityRealm::getInstance()->getRealmUser(uid)->getQObject());
    realmUser->setUname(name);
    return realmUser;
}

void TestAudioCues::participantAdded(const QString &conversationID, const QString &uid)
{
    emit IdentityRealmManager::getInstance()->conversationParticipantAdded(TavriIdentityRealm::getInstance(),
                                                                           conversationID, uid);
}

void TestAudioCues::eventTable_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("alias");
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<int>("defaultState");

    QTest::newRow("mic muted") << 0 << 0 << "micMute"
                               << "Microphone muted" << 0;
    QTest::newRow("mic unmuted") << 1 << 1 << "micUnmute"
                                 << "Microphone unmuted" << 4;
    QTest::newRow("user joined") << 2 << 2 << "userJoined"
                                 << "When others join a channel" << 4;
    QTest::newRow("user left") << 3 << 3 << "userLeft"
                               << "When others leave a channel" << 4;
    QTest::newRow("me joined") << 4 << 4 << "meJoined"
                               << "When I join a channel" << 0;
    QTest::newRow("me left") << 5 << 5 << "meLeft"
                             << "When I leave a channel" << 4;
    QTest::newRow("chat message") << 6 << 6 << "newMessageChat"
                                  << "On incoming private message" << 2;
    QTest::newRow("channel message") << 7 << 7 << "newMessageChannel"
                                     << "On incoming channel message" << 0;
    QTest::newRow("online") << 8 << 8 << "userOnline"
                            << "When friend comes online" << 0;
    QTest::newRow("offline") << 9 << 9 << "userOffline"
                             << "When friend goes offline" << 0;
    QTest::newRow("notification") << 10 << 10 << "newNotification"
                                  << "New notification" << 2;
    QTest::newRow("welcome message") << 11 << 7 << "newMessageChannel"
                                     << "On incoming channel message" << 0;
    QTest::newRow("user dropped") << 12 << 3 << "userLeft"
                                  << "When others leave a channel" << 0;
    QTest::newRow("user kicked") << 13 << 3 << "userLeft"
                                 << "When others leave a channel" << 0;
    QTest::newRow("user banned") << 14 << 3 << "userLeft"
                                 << "When others leave a channel" << 0;
    QTest::newRow("me dropped") << 15 << 5 << "meLeft"
                                << "When I leave a channel" << 0;
    QTest::newRow("me kicked") << 16 << 5 << "meLeft"
                               << "When I leave a channel" << 4;
    QTest::newRow("me banned") << 17 << 5 << "meLeft"
                               << "When I leave a channel" << 4;
    QTest::newRow("no permission") << 18 << 5 << ""
                                   << "" << 0;
    QTest::newRow("outside the table") << 19 << 19 << ""
                                       << "" << 0;
}

void TestAudioCues::eventTable()
{
    QFETCH(int, event);
    QFETCH(int, alias);
    QFETCH(QString, stem);
    QFETCH(QString, displayName);
    QFETCH(int, defaultState);
    const auto type = Cues::AudioCueEventType(event);
    Cues cues;
    QCOMPARE(int(Cues::aliasEvent(type)), alias);
    QCOMPARE(Cues::eventStem(type), stem);
    QCOMPARE(cues.eventTypeDisplayName(type), displayName);
    QCOMPARE(cues.eventTypeStandardDisplayName(type), displayName);
    QCOMPARE(int(cues.getCueState(type)), defaultState);

    QVariantList own;
    for (int ownEvent = 0; ownEvent <= 10; ++ownEvent)
        own.append(ownEvent);
    QCOMPARE(cues.availableEvents(), own);
}

void TestAudioCues::aliasEventSharesSettingsAndPlayerButSpeaksItsOwnText()
{
    setState(Cues::AudioCueEventUserLeft, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    QCOMPARE(cues->getCueState(Cues::AudioCueEventUserDropped), Cues::EventCueTextToSpeech);
    QCOMPARE(cues->getPlaybackFile(Cues::AudioCueEventUserDropped), m_soundFile);

    cues->play(Cues::AudioCueEventUserDropped, {QStringLiteral("Lobby"), QStringLiteral("Bob")});
    QCOMPARE(said(), QStringList{QStringLiteral("Bob has dropped from Lobby")});

    cues->setCueState(Cues::AudioCueEventUserLeft, Cues::EventCueAudioTone);
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("tones.userLeftEnabled")).toInt(), 2);
    cues->play(Cues::AudioCueEventUserDropped, {QStringLiteral("Lobby"), QStringLiteral("Bob")});
    QVERIFY(played(cues.get(), Cues::AudioCueEventUserLeft));
    QCOMPARE(cues->player(Cues::AudioCueEventUserDropped), cues->player(Cues::AudioCueEventUserLeft));
    QCOMPARE(said().size(), 1);
}

void TestAudioCues::gating_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("volume");
    QTest::addColumn<bool>("onlyMinimized");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("checkCanPlay");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("speech");

    QTest::newRow("sound") << 2 << 35 << false << true << true << true << false;
    QTest::newRow("speech") << 1 << 35 << false << true << true << false << true;
    QTest::newRow("disabled") << 0 << 35 << false << false << true << false << false;
    QTest::newRow("volume 0, sound") << 2 << 0 << false << false << true << false << false;
    QTest::newRow("volume 0, speech") << 1 << 0 << false << false << true << false << false;
    QTest::newRow("volume 0, unchecked sound") << 2 << 0 << false << false << false << true << false;
    QTest::newRow("volume 0, unchecked speech") << 1 << 0 << false << false << false << false << false;
    QTest::newRow("only minimized, visible") << 2 << 35 << true << true << true << false << false;
    QTest::newRow("only minimized, visible, speech") << 1 << 35 << true << true << true << false << false;
    QTest::newRow("only minimized, hidden") << 2 << 35 << true << false << true << true << false;
    QTest::newRow("only minimized, visible, unchecked") << 2 << 35 << true << true << false << true << false;
    QTest::newRow("sound when minimized, visible") << 4 << 35 << false << true << true << false << false;
    QTest::newRow("sound when minimized, hidden") << 4 << 35 << false << false << true << true << false;
    QTest::newRow("speech when minimized, visible") << 3 << 35 << false << true << true << false << false;
    QTest::newRow("speech when minimized, hidden") << 3 << 35 << false << false << true << false << true;
}

void TestAudioCues::gating()
{
    QFETCH(int, state);
    QFETCH(int, volume);
    QFETCH(bool, onlyMinimized);
    QFETCH(bool, visible);
    QFETCH(bool, checkCanPlay);
    QFETCH(bool, sound);
    QFETCH(bool, speech);
    setState(Cues::AudioCueEventMeJoined, Cues::EventCueState(state));
    auto cues = liveManager();
    cues->setVolume(quint16(volume));
    cues->setPlayOnlyMinimized(onlyMinimized);
    cues->setMainViewVisible(visible);
    control(cues.get(), Cues::AudioCueEventMeJoined)->clearCalls();

    cues->play(Cues::AudioCueEventMeJoined, {QStringLiteral("Lobby")}, checkCanPlay);
    QCOMPARE(played(cues.get(), Cues::AudioCueEventMeJoined), sound);
    QCOMPARE(said(), speech ? QStringList{QStringLiteral("You have joined Lobby")} : QStringList());
}

void TestAudioCues::minimizedOnlyStateHoldsOnlyItsOwnEvent()
{
    setState(Cues::AudioCueEventMeJoined, Cues::EventCueAudioToneMinimizedOnly);
    setState(Cues::AudioCueEventMeLeft, Cues::EventCueAudioTone);
    auto cues = liveManager();
    cues->setMainViewVisible(true);
    cues->play(Cues::AudioCueEventMeJoined, {QStringLiteral("Lobby")});
    cues->play(Cues::AudioCueEventMeLeft, {QStringLiteral("Lobby")});
    QVERIFY(!played(cues.get(), Cues::AudioCueEventMeJoined));
    QVERIFY(played(cues.get(), Cues::AudioCueEventMeLeft));
}

void TestAudioCues::initReadsSkinAndUserSettings()
{
    StorageManager *storage = StorageManager::getInstance();
    storage->setSettingsValue(QStringLiteral("tones.micUnmute"), m_soundFile);
    storage->setSettingsValue(QStringLiteral("tones.meJoinedEnabled"), int(Cues::EventCueTextToSpeech));
    storage->setSettingsValue(QStringLiteral("tones.userOnlineEnabled"), QStringLiteral("not a state"));
    storage->setSettingsValue(StorageManager::SettingsKeyTtsVolume, 60);
    storage->setSettingsValue(StorageManager::SettingsKeyTtsMinimizedOnly, true);
    QObject skin;
    skin.setProperty("default_userJoined", QUrl(QStringLiteral("qrc:/sounds/skin_join.wav")));
    skin.setProperty("default_userLeft", QStringLiteral("/no/such/skin/leave.wav"));
    skin.setProperty("default_micMute", QString());

    TestCues cues;
    QCOMPARE(cues.getVolume(), quint16(35));
    cues.play(Cues::AudioCueEventMicMuted);
    QVERIFY(!cues.player(Cues::AudioCueEventMicMuted));
    QSignalSpy volume(&cues, &Cues::volumeChanged);
    QSignalSpy onlyMinimized(&cues, &Cues::playOnlyMinimizedChanged);
    cues.init(&skin);

    QVERIFY(cues.isInitialized());
    QVERIFY(cues.inStartupPeriod());
    QCOMPARE(volume.size(), 1);
    QCOMPARE(cues.getVolume(), quint16(60));
    QVERIFY(cues.getPlayOnlyMinimized());
    QCOMPARE(onlyMinimized.size(), 0);
    QCOMPARE(cues.getCueState(Cues::AudioCueEventMeJoined), Cues::EventCueTextToSpeech);
    QCOMPARE(cues.getCueState(Cues::AudioCueEventUserOnline), Cues::EventCueDisabled);
    QCOMPARE(cues.getPlaybackFile(Cues::AudioCueEventMicUnmuted), m_soundFile);
    QVERIFY(!cues.getIsDefault(Cues::AudioCueEventMicUnmuted));
    QCOMPARE(control(&cues, Cues::AudioCueEventMicUnmuted)->url(), QUrl::fromLocalFile(m_soundFile));
    QCOMPARE(cues.getPlaybackFile(Cues::AudioCueEventUserJoined), QStringLiteral("qrc:/sounds/skin_join.wav"));
    QVERIFY(cues.getIsDefault(Cues::AudioCueEventUserJoined));
    QCOMPARE(cues.player(Cues::AudioCueEventUserJoined)->media().request().url(),
             QUrl(QStringLiteral("qrc:/sounds/skin_join.wav")));
    QCOMPARE(cues.getPlaybackFile(Cues::AudioCueEventMicMuted), QStringLiteral("sounds/sfx_user_mutes_mic.wav"));
    QCOMPARE(control(&cues, Cues::AudioCueEventMicMuted)->url(),
             QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/sounds/sfx_user_mutes_mic.wav"));

    // A skin sound that is missing leaves its cue silent.
    cues.setPlayOnlyMinimized(false);
    cues.setCueState(Cues::AudioCueEventUserLeft, Cues::EventCueAudioTone);
    cues.play(Cues::AudioCueEventUserLeft, {QStringLiteral("Lobby"), QStringLiteral("Bob")});
    QVERIFY(!played(&cues, Cues::AudioCueEventUserLeft));

    // After sign-out the user's choices and the skin's sounds are gone.
    cues.deinit();
    QVERIFY(!cues.isInitialized());
    QCOMPARE(cues.getVolume(), quint16(0));
    QVERIFY(!cues.getPlayOnlyMinimized());
    QCOMPARE(cues.getCueState(Cues::AudioCueEventMeJoined), Cues::EventCueDisabled);
    QVERIFY(cues.getIsDefault(Cues::AudioCueEventMicUnmuted));
    QCOMPARE(cues.getPlaybackFile(Cues::AudioCueEventUserJoined),
             QStringLiteral("sounds/sfx_another_user_enters_my_voice_conference.wav"));
    LogCapture log;
    cues.play(Cues::AudioCueEventMicUnmuted, {}, false);
    QCOMPARE(log.matching(QStringLiteral("not yet initialized, ignoring")).size(), 1);
}

void TestAudioCues::startupPeriodSilencesPresenceAndNotifications()
{
    setState(Cues::AudioCueEventUserOnline, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventUserOffline, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventNewNotification, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    ContactList *contacts = LocalUser::getLocalUser()->getContactList();
    TavriIdentityRealmUser *annIdentity = user(QStringLiteral("sip:u-ann@voice.test"), QStringLiteral("Ann"));
    contacts->addContact(annIdentity);
    Contact *ann = contacts->findContact(annIdentity);
    QVERIFY(ann);
    NotificationList *notifications = LocalUser::getLocalUser()->getNotificationList();
    const QDateTime sentAt = QDateTime::currentDateTimeUtc();

    QVERIFY(cues->inStartupPeriod());
    emit ann->presenceStateChanged(Tavri::RealmUserInterface::Online);
    notifications->onNotificationReceived(QStringLiteral("801"), QString(), QString(), QString(), QString(),
                                          QStringLiteral("7"), QStringLiteral("1"), sentAt,
                                          QStringLiteral("Quiet, please"), QString(), QString());
    QVERIFY(said().isEmpty());

    QTRY_VERIFY(!cues->inStartupPeriod());
    // Each cue is let to end before the next: a spoken cue drops the ones
    // still waiting.
    ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
    emit ann->presenceStateChanged(Tavri::RealmUserInterface::Online);
    QVERIFY(engine->finish());
    emit ann->presenceStateChanged(Tavri::RealmUserInterface::Away);
    emit ann->presenceStateChanged(Tavri::RealmUserInterface::Offline);
    QVERIFY(engine->finish());
    notifications->onNotificationReceived(QStringLiteral("802"), QString(), QString(), QString(), QString(),
                                          QStringLiteral("7"), QStringLiteral("1"), sentAt,
                                          QStringLiteral("Declined, sorry"), QString(), QString());
    QVERIFY(engine->finish());
    // Read ones are not announced.
    notifications->onNotificationReceived(QStringLiteral("803"), QString(), QString(), QString(), QString(),
                                          QStringLiteral("7"), QStringLiteral("2"), sentAt, QStringLiteral("Old news"),
                                          QString(), QString());
    QCOMPARE(said(), (QStringList{"Ann is online", "Ann is offline", "Declined, sorry"}));

    // A contact that left the list is no longer followed; a presence
    // change from anything but a contact is a broken invariant.
    contacts->removeContact(ann);
    LogCapture log;
    cues->onContactPresenceStateChanged(Tavri::RealmUserInterface::Online);
    QCOMPARE(log.find(QtCriticalMsg, QStringLiteral("Assertion Failure")).size(), 1);
    QCOMPARE(said().size(), 3);
    notifications->clear();
    contacts->clear();
}

void TestAudioCues::joinAnnouncesOnlyLaterJoiners()
{
    setState(Cues::AudioCueEventMeJoined, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventUserJoined, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventNewChannelMessage, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(kChannel);
    QVERIFY(channel);
    channel->setDisplayName(QStringLiteral("Lobby"), true);
    channel->setMessage(QStringLiteral("Welcome to the lobby"), true);
    user(QStringLiteral("sip:u-bob@voice.test"), QStringLiteral("Bob"));
    user(QStringLiteral("sip:u-carol@voice.test"), QStringLiteral("Carol"));

    participantAdded(kChannel, m_ownUid);
    QVERIFY(cues->inJoinQuietPeriod(kChannel));
    participantAdded(kChannel, QStringLiteral("sip:u-bob@voice.test"));
    ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
    QVERIFY(engine->finish());
    QVERIFY(engine->finish());
    QCOMPARE(said(), (QStringList{"You have joined Lobby", "Welcome to the lobby"}));

    QTRY_VERIFY(!cues->inJoinQuietPeriod(kChannel));
    participantAdded(kChannel, QStringLiteral("sip:u-carol@voice.test"));
    QCOMPARE(said().last(), QStringLiteral("Carol has joined Lobby"));
    QCOMPARE(said().size(), 3);
}

void TestAudioCues::privateConversationsGiveNoJoinOrLeaveCue()
{
    for (int event : {Cues::AudioCueEventMeJoined, Cues::AudioCueEventUserJoined, Cues::AudioCueEventUserLeft,
                      Cues::AudioCueEventMeLeft})
        setState(event, Cues::EventCueAudioTone);
    auto cues = liveManager();
    const QString chat = QStringLiteral("sip:u-bob@voice.test");
    user(chat, QStringLiteral("Bob"));
    IdentityRealmManager *realms = IdentityRealmManager::getInstance();
    participantAdded(chat, m_ownUid);
    participantAdded(chat, chat);
    emit realms->conversationParticipantRemoved(TavriIdentityRealm::getInstance(), chat, chat,
                                                Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    emit realms->conversationParticipantRemoved(TavriIdentityRealm::getInstance(), chat, m_ownUid,
                                                Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    for (int event : {Cues::AudioCueEventMeJoined, Cues::AudioCueEventUserJoined, Cues::AudioCueEventUserLeft,
                      Cues::AudioCueEventMeLeft})
        QVERIFY2(!played(cues.get(), event), qPrintable(QString::number(event)));
    QVERIFY(!cues->inJoinQuietPeriod(chat));
}

void TestAudioCues::leaveReasons_data()
{
    QTest::addColumn<bool>("local");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("text");

    QTest::newRow("other, left") << false << 0 << "Bob has left Lobby";
    QTest::newRow("other, dropped") << false << 1 << "Bob has dropped from Lobby";
    QTest::newRow("other, kicked") << false << 2 << "Bob has been kicked from Lobby";
    QTest::newRow("other, banned") << false << 3 << "Bob has been banned from Lobby";
    QTest::newRow("other, other reason") << false << 4 << "";
    QTest::newRow("me, left") << true << 0 << "You have left Lobby";
    QTest::newRow("me, dropped") << true << 1 << "You have dropped from Lobby";
    QTest::newRow("me, kicked") << true << 2 << "You have been kicked from Lobby";
    QTest::newRow("me, banned") << true << 3 << "You have been banned from Lobby";
    QTest::newRow("me, other reason") << true << 6 << "";
}

void TestAudioCues::leaveReasons()
{
    QFETCH(bool, local);
    QFETCH(int, reason);
    QFETCH(QString, text);
    setState(Cues::AudioCueEventUserLeft, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventMeLeft, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    TavriIdentityRealm::getInstance()->getConversation(kChannel)->setDisplayName(QStringLiteral("Lobby"), true);
    user(QStringLiteral("sip:u-bob@voice.test"), QStringLiteral("Bob"));
    LogCapture log;
    emit IdentityRealmManager::getInstance()->conversationParticipantRemoved(
        TavriIdentityRealm::getInstance(), kChannel, local ? m_ownUid : QStringLiteral("sip:u-bob@voice.test"),
        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(reason), QStringLiteral("why"));
    QCOMPARE(said(), text.isEmpty() ? QStringList() : QStringList{text});
    if (text.isEmpty())
        QCOMPARE(log.matching(QStringLiteral("Unexpected reason code, not playing exit tone / TTS message:")).size(),
                 1);
}

void TestAudioCues::participantCueWaitsForTheName()
{
    setState(Cues::AudioCueEventUserLeft, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    TavriIdentityRealm::getInstance()->getConversation(kChannel)->setDisplayName(QStringLiteral("Lobby"), true);
    TavriIdentityRealmUser *dave = user(QStringLiteral("sip:u-dave@voice.test"), QString());
    QVERIFY(dave->getDisplayName().isEmpty());

    emit IdentityRealmManager::getInstance()->conversationParticipantRemoved(
        TavriIdentityRealm::getInstance(), kChannel, QStringLiteral("sip:u-dave@voice.test"),
        Tavri::IdentityRealmInterface::DisconnectReasonNone, QString());
    QVERIFY(said().isEmpty());
    dave->setUname(QStringLiteral("Dave"));
    QCOMPARE(said(), QStringList{QStringLiteral("Dave has left Lobby")});
    // Announced once.
    dave->setUname(QStringLiteral("David"));
    QCOMPARE(said().size(), 1);
}

void TestAudioCues::chatMessageTexts_data()
{
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("channel, plain") << kChannel << "sip:u-bob@voice.test"
                                    << "hello all"
                                    << "Bob said hello all in Lobby";
    QTest::newRow("channel, address") << kChannel << "sip:u-bob@voice.test"
                                      << "see www.example.com and https://example.org/x?a=1 now"
                                      << "Bob said see  a link  and  a link  now in Lobby";
    QTest::newRow("channel, markup kept as received") << kChannel << "sip:u-bob@voice.test"
                                                      << "<a href=\"http://x.test\">x</a>"
                                                      << "Bob said <a href=\"http://x.test\">x</a> in Lobby";
    QTest::newRow("channel, placeholders in the text") << kChannel << "sip:u-bob@voice.test"
                                                       << "100%1 sure, %2 and %3"
                                                       << "Bob said 100%1 sure, %2 and %3 in Lobby";
    QTest::newRow("private") << "sip:u-bob@voice.test"
                             << "sip:u-bob@voice.test"
                             << "psst"
                             << "{chat} said psst";
    QTest::newRow("own message") << kChannel << kOwnURI << "mine"
                                 << "";
}

void TestAudioCues::chatMessageTexts()
{
    QFETCH(QString, conversation);
    QFETCH(QString, sender);
    QFETCH(QString, message);
    QFETCH(QString, spoken);
    setState(Cues::AudioCueEventNewChatMessage, Cues::EventCueTextToSpeech);
    setState(Cues::AudioCueEventNewChannelMessage, Cues::EventCueTextToSpeech);
    auto cues = liveManager();
    Conversation *target = TavriIdentityRealm::getInstance()->getConversation(conversation);
    target->setDisplayName(conversation == kChannel ? QStringLiteral("Lobby") : QStringLiteral("Bob"), true);
    user(QStringLiteral("sip:u-bob@voice.test"), QStringLiteral("Bob"));
    emit IdentityRealmManager::getInstance()->conversationTextMessageReceived(
        TavriIdentityRealm::getInstance(), conversation, sender == kOwnURI ? m_ownUid : sender, m_ownUid, message,
        QDateTime::currentDateTimeUtc());
    // A private chat is named after the peer by the conversation itself.
    spoken.replace(QStringLiteral("{chat}"), target->getDisplayName());
    QCOMPARE(said(), spoken.isEmpty() ? QStringList() : QStringList{spoken});
}

void TestAudioCues::soundPaths_data()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    QTest::addColumn<QString>("path");
    QTest::addColumn<QUrl>("url");

    QTest::newRow("empty") << "" << QUrl::fromLocalFile(appDir + "/sounds/sfx_notification_alert.wav");
    QTest::newRow("relative") << "sounds/a b.wav" << QUrl::fromLocalFile(appDir + "/sounds/a b.wav");
    QTest::newRow("absolute") << "/data/cues/a.wav" << QUrl::fromLocalFile("/data/cues/a.wav");
    QTest::newRow("absolute file URL") << "file:///data/cues/a.wav" << QUrl::fromLocalFile("/data/cues/a.wav");
    QTest::newRow("drive letter") << "C:/cues/a.wav" << QUrl::fromLocalFile("C:/cues/a.wav");
    QTest::newRow("drive letter file URL") << "file://C:/cues/a.wav" << QUrl::fromLocalFile("C:/cues/a.wav");
    QTest::newRow("resource") << "qrc:/sounds/a.wav" << QUrl("qrc:/sounds/a.wav");
    QTest::newRow("http") << "http://cdn.test/a.wav" << QUrl("http://cdn.test/a.wav");
    QTest::newRow("https") << "https://cdn.test/a.wav" << QUrl("https://cdn.test/a.wav");
    QTest::newRow("scheme case matters") << "QRC:/a.wav" << QUrl::fromLocalFile("QRC:/a.wav");
}

void TestAudioCues::soundPaths()
{
    QFETCH(QString, path);
    QFETCH(QUrl, url);
    QCOMPARE(Cues::soundFileUrl(path), url);
    QCOMPARE(Cues::soundsDirPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/sounds"));
}

void TestAudioCues::chosenSoundFiles()
{
    auto cues = liveManager();
    const auto event = Cues::AudioCueEventUserOnline;
    QSignalSpy file(cues.get(), &Cues::audioCueEventStatePlaybackFilepathChanged);
    QSignalSpy isDefault(cues.get(), &Cues::audioCueEventStateIsDefaultChanged);
    const QString chosen = QUrl::fromLocalFile(m_soundFile).toString();
    const QString defaultFile = QStringLiteral("sounds/sfx_friend_online.wav");

    cues->setPlaybackFile(event, QStringLiteral("file:///no/such/file.wav"));
    cues->setPlaybackFile(event, QStringLiteral("/no/such/file.wav"));
    QCOMPARE(file.size(), 0);
    QCOMPARE(cues->getPlaybackFile(event), m_soundFile);

    cues->setPlaybackFile(event, chosen);
    QCOMPARE(cues->getPlaybackFile(event), chosen);
    QVERIFY(!cues->getIsDefault(event));
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("tones.userOnline")).toString(), chosen);
    QCOMPARE(control(cues.get(), event)->url(), QUrl::fromLocalFile(m_soundFile));
    QCOMPARE(file.last().at(1).toString(), chosen);
    QCOMPARE(isDefault.last().at(1).toBool(), false);

    cues->setPlaybackFile(event);
    QCOMPARE(cues->getPlaybackFile(event), defaultFile);
    QVERIFY(cues->getIsDefault(event));
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("tones.userOnline")).toString(), QString());
    QCOMPARE(file.last().at(1).toString(), defaultFile);
    QCOMPARE(isDefault.last().at(1).toBool(), true);
    QCOMPARE(file.size(), 2);
}

void TestAudioCues::longSoundsAreStopped()
{
    setState(Cues::AudioCueEventMicMuted, Cues::EventCueAudioTone);
    auto cues = liveManager();
    QSignalSpy exceeded(cues.get(), &Cues::audioCueEventPlaybackDurationExceeded);
    QSignalSpy durationExceeded(cues.get(), &Cues::audioCueEventDurationExceeded);
    QSignalSpy state(cues.get(), &Cues::audioCueEventMediaStateChanged);
    cues->play(Cues::AudioCueEventMicMuted);
    FakeMediaPlayerControl *fake = control(cues.get(), Cues::AudioCueEventMicMuted);
    QCOMPARE(cues->getPlaybackState(Cues::AudioCueEventMicMuted), QMediaPlayer::PlayingState);
    QCOMPARE(state.size(), 1);
    QCOMPARE(state.first().at(1).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);

    fake->reportDuration(2500);
    fake->reportDuration(4000);
    QCOMPARE(durationExceeded.size(), 2);
    QCOMPARE(durationExceeded.at(0).at(1).toBool(), false);
    QCOMPARE(durationExceeded.at(1).at(1).toBool(), true);

    fake->clearCalls();
    fake->advanceTo(3000);
    QCOMPARE(exceeded.size(), 0);
    fake->advanceTo(3001);
    QCOMPARE(fake->calls(), QStringList{QStringLiteral("stop")});
    QCOMPARE(exceeded.size(), 1);
    QCOMPARE(exceeded.first().at(0).value<Cues::AudioCueEventType>(), Cues::AudioCueEventMicMuted);
    QCOMPARE(exceeded.first().at(1).toBool(), true);
    QCOMPARE(cues->getPlaybackState(Cues::AudioCueEventMicMuted), QMediaPlayer::StoppedState);

    // Played again from the start.
    fake->clearCalls();
    cues->play(Cues::AudioCueEventMicMuted);
    QCOMPARE(fake->calls(), (QStringList{"seek 0", "play"}));
    cues->stopPlayback(Cues::AudioCueEventMicMuted);
    QCOMPARE(fake->calls().last(), QStringLiteral("stop"));
}

void TestAudioCues::ttsVoice()
{
    TestCues cues;
    QSignalSpy available(&cues, &Cues::textToSpeechAvailableChanged);
    QSignalSpy voice(&cues, &Cues::ttsVoiceChanged);
    QCOMPARE(cues.getAvailableTTSVoices(), (QStringList{"Alice", "Bob"}));

    cues.setTTSVoice(QStringLiteral("Bob"));
    QVERIFY(cues.getTextToSpeechAvailable());
    QCOMPARE(available.size(), 1);
    QCOMPARE(voice.last().first().toString(), QStringLiteral("Bob"));
    QCOMPARE(cues.getTTSVoice(), QStringLiteral("Bob"));

    // A name the engine does not know leaves the choice to the engine.
    cues.setTTSVoice(QStringLiteral("Nobody"));
    QVERIFY(cues.getTextToSpeechAvailable());
    QVERIFY(ScriptedSpeechBackend::latest()->voice().id.isEmpty());
    QCOMPARE(available.size(), 1);
    QCOMPARE(voice.size(), 2);

    LogCapture log;
    ScriptedSpeechBackend::setFailures(ScriptedSpeechBackend::FailVoices);
    QVERIFY(cues.getAvailableTTSVoices().isEmpty());
    cues.setTTSVoice(QStringLiteral("Alice"));
    QVERIFY(cues.getTextToSpeechAvailable());
    QCOMPARE(log.find(QtWarningMsg, QStringLiteral("Unable to retrieve TTS voices")).size(), 2);

    ScriptedSpeechBackend::setFailures(ScriptedSpeechBackend::FailCreate);
    cues.setTTSVoice(QStringLiteral("Alice"));
    QVERIFY(!cues.getTextToSpeechAvailable());
    QCOMPARE(available.size(), 2);
    QCOMPARE(voice.size(), 3);
    QVERIFY(cues.getTTSVoice().isEmpty());
    QVERIFY(!log.find(QtWarningMsg, QStringLiteral("Error: QtSpeech construction failed - ")).isEmpty());
    cues.speakText(QStringLiteral("unheard"));
    cues.stopSpeaking();
    cues.skipCurrentTTS();
}

void TestAudioCues::ttsPlaybackLength()
{
    TestCues cues;
    QSignalSpy changed(&cues, &Cues::maximumTTSPlaybackLengthChanged);
    cues.setMaximumTTSPlaybackLength(10);
    QCOMPARE(cues.getMaximumTTSPlaybackLength(), 0);
    QCOMPARE(changed.size(), 0);

    cues.setTTSVoice(QStringLiteral("Alice"));
    cues.setMaximumTTSPlaybackLength(10);
    cues.setMaximumTTSPlaybackLength(10);
    QCOMPARE(cues.getMaximumTTSPlaybackLength(), 10);
    QCOMPARE(cues.speechManager()->maxLengthSeconds(), 10);
    QCOMPARE(changed.size(), 2);

    // A new voice starts without a limit.
    cues.setTTSVoice(QStringLiteral("Bob"));
    QCOMPARE(cues.getMaximumTTSPlaybackLength(), 0);
}

void TestAudioCues::renderDeviceReachesSpeech()
{
    TestCues cues;
    cues.onRenderDeviceChanged({QStringLiteral("Speakers"), QStringLiteral("id-1")});
    cues.setTTSVoice(QStringLiteral("Alice"));
    cues.onRenderDeviceChanged({QStringLiteral("Speakers"), QStringLiteral("id-1")});
    QCOMPARE(ScriptedSpeechBackend::latest()->outputDevices(), QStringList{QStringLiteral("Speakers")});
    cues.onRenderDeviceChanged({QSpeechManager::noDeviceName, QString()});
    QVERIFY(cues.speechManager()->isBlocked());

    // Immediate speech empties what waits, not what is being said.
    cues.onRenderDeviceChanged({QStringLiteral("Speakers"), QStringLiteral("id-1")});
    QTRY_VERIFY(!cues.speechManager()->isSpeaking());
    cues.speakText(QStringLiteral("one"));
    cues.speakText(QStringLiteral("two"));
    cues.speakText(QStringLiteral("now"), true);
    QCOMPARE(cues.speechManager()->queue(), (QStringList{"one", "now"}));
    cues.setVolume(0);
    cues.speakText(QStringLiteral("silent"));
    QCOMPARE(cues.speechManager()->queue().size(), 2);
}

TAVRI_TEST_MAIN(TestAudioCues)
#include "tst_audiocues.moc"
