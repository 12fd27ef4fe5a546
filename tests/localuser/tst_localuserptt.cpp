// Push-to-talk, voice activation and levels of the local user: the stored
// transmit mode and keys become the voice service's "PTT" binding and the
// microphone mute, named key events talk or toggle, and levels and VAD values
// go to the voice service. Requests are read back from the SDK stand-in.

#include "conversation.h"
#include "localusertestsupport.h"
#include "ostrelsdk_control.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

using voicetest::lastRequest;

// The codes of the last "PTT" binding request; fails the test when none was made.
QList<int> lastBinding()
{
    const auto *binding =
        lastRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE);
    if (!binding || QByteArray(binding->binding_name) != "PTT")
        return {-1};
    QList<int> codes;
    for (int i = 0; i < binding->key_count; ++i)
        codes.append(binding->key_codes[i]);
    return codes;
}

// The mute value of the last microphone request, -1 when none was made.
int lastMicMute()
{
    const auto *mute = lastRequest<ox_req_connector_mute_local_mic_t>(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC);
    return mute ? mute->mute : -1;
}

StorageManager *storage()
{
    return StorageManager::getInstance();
}

} // namespace

class LocalUserPttTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void refreshAppliesTheStoredMode_data();
    void refreshAppliesTheStoredMode();
    void setPttKeyComboStoresAndApplies();
    void talkModeOpensWhileHeld();
    void toggleModeFlipsOnRelease();
    void otherKeyEventsAreIgnored();
    void muteFollowsTheConfirmation();
    void channelSpeakerMute_data();
    void channelSpeakerMute();
    void keyComboValidity_data();
    void keyComboValidity();
    void levels_data();
    void levels();
    void vadValues();
    void storedVadSensitivity_data();
    void storedVadSensitivity();
    void speakSingleChannelNeedsAChannel();

private:
    VoiceManager *m_voice = nullptr;
    localusertest::SignedInUser *m_user = nullptr;
    LocalUser *m_local = nullptr;
};

void LocalUserPttTest::initTestCase()
{
    localusertest::useScriptedInput();
    oxc_reset();
    // The voice service exists before the local user, which connects to it.
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    m_user = new localusertest::SignedInUser;
    m_local = m_user->local();
}

void LocalUserPttTest::cleanupTestCase()
{
    delete m_user;
    delete m_voice;
}

void LocalUserPttTest::init()
{
    m_user->signIn();
    // The user's VAD values, told apart from the push-to-talk sensitivity 18.
    m_local->onVADPropertiesReceived(2.0, 10, 30);
    m_local->onLocalMicMuteChanged(false);
    oxc_clear_requests();
}

void LocalUserPttTest::cleanup()
{
    m_user->signOut();
}

void LocalUserPttTest::refreshAppliesTheStoredMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QVariant>("storedKeys");
    QTest::addColumn<QList<int>>("binding");
    QTest::addColumn<int>("mute");
    QTest::addColumn<QString>("shownCombo");
    QTest::addColumn<int>("sensitivity");

    const QString kept = QStringLiteral("as before");
    QTest::newRow("talk, nothing stored") << 1 << QVariant() << QList<int>{162} << 1 << "LCtrl" << 18;
    QTest::newRow("toggle, two keys") << 2 << QVariant(QVariantList{163, 65}) << QList<int>{65, 163} << 1 << kept << 18;
    QTest::newRow("talk, one key read back as text")
        << 1 << QVariant(QStringLiteral("163")) << QList<int>{163} << 1 << kept << 18;
    QTest::newRow("talk, non-numbers skipped")
        << 1 << QVariant(QVariantList{"abc", 65, "", "7x"}) << QList<int>{65} << 1 << kept << 18;
    QTest::newRow("talk, only non-numbers")
        << 1 << QVariant(QVariantList{"abc"}) << QList<int>{162} << 1 << "LCtrl" << 18;
    QTest::newRow("none") << 0 << QVariant(QVariantList{65}) << QList<int>{} << 0 << kept << 30;
    QTest::newRow("unknown mode") << 7 << QVariant(QVariantList{65}) << QList<int>{} << 0 << kept << 30;
}

void LocalUserPttTest::refreshAppliesTheStoredMode()
{
    QFETCH(int, mode);
    QFETCH(QVariant, storedKeys);
    QFETCH(QList<int>, binding);
    QFETCH(int, mute);
    QFETCH(QString, shownCombo);
    QFETCH(int, sensitivity);
    storage()->setSettingsValue(StorageManager::SettingsKeyPttMode, mode);
    if (storedKeys.isValid())
        storage()->setSettingsValue(StorageManager::SettingsKeyPttKeyCombo, storedKeys);
    else
        storage()->removeSettingsValue(QStringLiteral("settingsKeyCodesetPTT"));
    storage()->setSettingsValue(StorageManager::SettingsKeyPttKeyComboString, QStringLiteral("as before"));

    m_local->refreshPttSettings();

    QCOMPARE(lastBinding(), binding);
    QCOMPARE(lastMicMute(), mute);
    QCOMPARE(m_local->isPttToggleMode(), mode == 2);
    QCOMPARE(storage()->getSettingsValue(StorageManager::SettingsKeyPttKeyComboString).toString(), shownCombo);
    const auto *vad = lastRequest<ox_req_aux_set_vad_properties_t>(OX_REQ_AUX_SET_VAD_PROPERTIES);
    QVERIFY(vad);
    QCOMPARE(vad->sensitivity, sensitivity);
    QCOMPARE(vad->hangover_ms, 2000);
    // The fallback key is used, not stored.
    QCOMPARE(storage()->getSettingsValue(StorageManager::SettingsKeyPttKeyCombo), storedKeys);
    // The user's own sensitivity is kept for open-microphone mode.
    QCOMPARE(m_local->getVadSensitivity(), 30);
}

void LocalUserPttTest::setPttKeyComboStoresAndApplies()
{
    m_local->setPttKeyCombo(LocalUser::PushToTalkModeToggle, QVariantList{66, 65});
    QCOMPARE(storage()->getSettingsValue(StorageManager::SettingsKeyPttMode).toInt(), 2);
    QCOMPARE(storage()->getSettingsValue(StorageManager::SettingsKeyPttKeyCombo).toList(), (QVariantList{66, 65}));
    QCOMPARE(lastBinding(), (QList<int>{65, 66}));
    QVERIFY(m_local->isPttToggleMode());

    m_local->setPttKeyCombo(LocalUser::PushToTalkModeNone, QVariantList{66});
    QCOMPARE(lastBinding(), QList<int>{});
    QCOMPARE(lastMicMute(), 0);
    QVERIFY(!m_local->isPttToggleMode());
}

void LocalUserPttTest::talkModeOpensWhileHeld()
{
    m_local->setPttKeyCombo(LocalUser::PushToTalkModeTalk, QVariantList{65});
    m_local->onLocalMicMuteChanged(true);
    oxc_clear_requests();

    emit m_voice->keyEvent(QStringLiteral("PTT"), true);
    QCOMPARE(lastMicMute(), 0);
    m_local->onLocalMicMuteChanged(false);
    emit m_voice->keyEvent(QStringLiteral("PTT"), false);
    QCOMPARE(lastMicMute(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 2);
}

void LocalUserPttTest::toggleModeFlipsOnRelease()
{
    m_local->setPttKeyCombo(LocalUser::PushToTalkModeToggle, QVariantList{65});
    m_local->onLocalMicMuteChanged(true);
    oxc_clear_requests();

    emit m_voice->keyEvent(QStringLiteral("PTT"), true);
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 0);
    emit m_voice->keyEvent(QStringLiteral("PTT"), false);
    QCOMPARE(lastMicMute(), 0);
    m_local->onLocalMicMuteChanged(false);

    emit m_voice->keyEvent(QStringLiteral("PTT"), true);
    emit m_voice->keyEvent(QStringLiteral("PTT"), false);
    QCOMPARE(lastMicMute(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 2);
}

void LocalUserPttTest::otherKeyEventsAreIgnored()
{
    m_local->setPttKeyCombo(LocalUser::PushToTalkModeTalk, QVariantList{65});
    m_local->onLocalMicMuteChanged(true);
    oxc_clear_requests();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Unhandled named keyboard/mouse event\\.\\.\\. \"Other\""));
    emit m_voice->keyEvent(QStringLiteral("Other"), true);
    QCOMPARE(oxc_request_count(-1), 0);
}

void LocalUserPttTest::muteFollowsTheConfirmation()
{
    QSignalSpy audio(m_local, &LocalUser::audioEnabledChanged);
    QSignalSpy muted(m_local, &LocalUser::globalMutedChanged);

    m_local->setAudioEnabled(false);
    QCOMPARE(lastMicMute(), 1);
    QVERIFY(m_local->getAudioEnabled());
    QVERIFY(!m_local->getGlobalMuted());
    QCOMPARE(audio.count(), 0);

    m_local->onLocalMicMuteChanged(true);
    QVERIFY(!m_local->property("audioEnabled").toBool());
    QVERIFY(m_local->property("globalMuted").toBool());
    QCOMPARE(audio.count(), 1);
    QCOMPARE(muted.count(), 1);

    // Asking for the state it is in sends nothing.
    oxc_clear_requests();
    m_local->requestMuteSelf(QString(), true);
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 0);
    m_local->requestMuteSelf(QString(), false);
    QCOMPARE(lastMicMute(), 0);
}

void LocalUserPttTest::channelSpeakerMute_data()
{
    QTest::addColumn<QString>("ownHandle");
    QTest::addColumn<QString>("transitionHandle");
    QTest::addColumn<QString>("muted");

    QTest::newRow("own session") << "sh-own"
                                 << "sh-moving"
                                 << "sh-own";
    QTest::newRow("moving between sessions") << QString() << "sh-moving"
                                             << "sh-moving";
    QTest::newRow("no session") << QString() << QString() << QString();
}

void LocalUserPttTest::channelSpeakerMute()
{
    QFETCH(QString, ownHandle);
    QFETCH(QString, transitionHandle);
    QFETCH(QString, muted);
    const QString uri = QStringLiteral("sip:confctl-%1@voice.test").arg(QTest::currentDataTag()).remove(' ');
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri);
    QVERIFY(conversation);
    conversation->setOstrelSessionHandle(ownHandle);
    conversation->setTransitionOstrelSessionHandle(transitionHandle);
    oxc_clear_requests();

    if (muted.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^LocalUser::requestMuteSelf: no voice session for"));
    m_local->requestMuteSelf(uri, true);

    const auto *request = lastRequest<ox_req_session_mute_local_speaker_t>(OX_REQ_SESSION_MUTE_LOCAL_SPEAKER);
    if (muted.isEmpty()) {
        QVERIFY(!request);
    } else {
        QVERIFY(request);
        QCOMPARE(QByteArray(request->session_handle), muted.toUtf8());
        QCOMPARE(request->mute, 1);
    }
    // The own microphone is not touched.
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC), 0);
}

void LocalUserPttTest::keyComboValidity_data()
{
    QTest::addColumn<QVariantList>("keys");
    QTest::addColumn<bool>("valid");

    QTest::newRow("left button alone") << QVariantList{1} << false;
    QTest::newRow("right button alone") << QVariantList{2} << false;
    QTest::newRow("left button with left control") << QVariantList{1, 162} << true;
    QTest::newRow("middle button alone") << QVariantList{4} << true;
    QTest::newRow("empty") << QVariantList{} << true;
    QTest::newRow("code outside the table") << QVariantList{999} << true;
    QTest::newRow("left button as text") << QVariantList{"1"} << false;
    // The settings window only ever passes the capture window's key codes;
    // what no key code names is no mouse button.
    QTest::newRow("not a number") << QVariantList{"LCtrl"} << true;
}

void LocalUserPttTest::keyComboValidity()
{
    QFETCH(QVariantList, keys);
    QFETCH(bool, valid);
    QCOMPARE(m_local->isPttKeyComboValid(keys), valid);
}

void LocalUserPttTest::levels_data()
{
    QTest::addColumn<bool>("speaker");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("sent");

    QTest::newRow("speaker above range") << true << 101 << 50;
    QTest::newRow("speaker below range") << true << -1 << 50;
    QTest::newRow("speaker in range") << true << 70 << 70;
    QTest::newRow("microphone above range") << false << 101 << 50;
    QTest::newRow("microphone at zero") << false << 0 << 0;
}

void LocalUserPttTest::levels()
{
    QFETCH(bool, speaker);
    QFETCH(int, value);
    QFETCH(int, sent);
    const char *property = speaker ? "speakerVolumeAdjust" : "volumeAdjust";
    const int before = m_local->property(property).toInt();
    if (sent != value) {
        QTest::ignoreMessage(QtWarningMsg, QStringLiteral("%1 volume (%2) is invalid - must be between 0 and 100")
                                               .arg(speaker ? "speaker" : "microphone")
                                               .arg(value)
                                               .toUtf8()
                                               .constData());
    }

    m_local->setProperty(property, value);

    const StorageManager::NamedSettings key =
        speaker ? StorageManager::SettingsKeySpeakerVolumePercent : StorageManager::SettingsKeyMicVolumePercent;
    QCOMPARE(storage()->getSettingsValue(key).toInt(), sent);
    if (speaker)
        QCOMPARE(lastRequest<ox_req_aux_set_speaker_level_t>(OX_REQ_AUX_SET_SPEAKER_LEVEL)->level, sent);
    else
        QCOMPARE(lastRequest<ox_req_aux_set_mic_level_t>(OX_REQ_AUX_SET_MIC_LEVEL)->level, sent);
    // The property follows the voice service's report, not the request.
    QCOMPARE(m_local->property(property).toInt(), before);
    if (speaker)
        emit m_voice->speakerLevelChanged(sent + 1);
    else
        emit m_voice->micLevelChanged(sent + 1);
    QCOMPARE(m_local->property(property).toInt(), sent + 1);
}

void LocalUserPttTest::vadValues()
{
    m_local->setProperty("vadHangoverSecs", 3);
    auto *vad = lastRequest<ox_req_aux_set_vad_properties_t>(OX_REQ_AUX_SET_VAD_PROPERTIES);
    QVERIFY(vad);
    QCOMPARE(vad->hangover_ms, 3000);
    QCOMPARE(vad->sensitivity, 30);

    m_local->setProperty("vadSensitivity", 25);
    vad = lastRequest<ox_req_aux_set_vad_properties_t>(OX_REQ_AUX_SET_VAD_PROPERTIES);
    QCOMPARE(vad->sensitivity, 25);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_VAD_PROPERTIES), 2);

    // The noise floor is kept for the next time the values are sent.
    m_local->setProperty("vadNoiseFloor", 7);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_VAD_PROPERTIES), 2);
    QCOMPARE(m_local->property("vadNoiseFloor").toInt(), 7);
    m_local->requestUpdateVADSettings();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_VAD_PROPERTIES), 3);

    // Reported values replace the three and are announced in order.
    QStringList announced;
    QObject context;
    connect(m_local, &LocalUser::vadHangoverSecsChanged, &context, [&] { announced << "hangover"; });
    connect(m_local, &LocalUser::vadNoiseFloorChanged, &context, [&] { announced << "noise floor"; });
    connect(m_local, &LocalUser::vadSensitivityChanged, &context, [&] { announced << "sensitivity"; });
    emit m_voice->vadPropertiesReceived(2.7, 11, 40);
    QCOMPARE(announced, (QStringList{"hangover", "noise floor", "sensitivity"}));
    QCOMPARE(m_local->property("vadHangoverSecs").toInt(), 2);
    QCOMPARE(m_local->getVadNoiseFloor(), 11);
    QCOMPARE(m_local->getVadSensitivity(), 40);
}

void LocalUserPttTest::storedVadSensitivity_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("sensitivity");
    QTest::addColumn<bool>("warns");
    // The text settings store hands numbers back as text.
    QTest::newRow("whole number") << QVariant(37) << 37 << false;
    QTest::newRow("whole number as text") << QVariant(QStringLiteral("37")) << 37 << false;
    QTest::newRow("fraction as text") << QVariant(QStringLiteral("37.5")) << 38 << false;
    QTest::newRow("fraction") << QVariant(12.4) << 12 << false;
    QTest::newRow("above the range") << QVariant(QStringLiteral("250")) << 100 << false;
    QTest::newRow("below the range") << QVariant(-3) << 0 << false;
    QTest::newRow("no number") << QVariant(QStringLiteral("loud")) << 18 << true;
    QTest::newRow("not a number") << QVariant(qQNaN()) << 18 << true;
}

void LocalUserPttTest::storedVadSensitivity()
{
    QFETCH(QVariant, stored);
    QFETCH(int, sensitivity);
    QFETCH(bool, warns);
    if (warns)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("stored vad_sensitivity .* is no number"));
    QCOMPARE(LocalUser::storedVadSensitivity(stored), sensitivity);
}

void LocalUserPttTest::speakSingleChannelNeedsAChannel()
{
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - '!channelUri.isEmpty\\(\\)'"));
    m_local->requestSpeakSingleChannel(QString());
    QCOMPARE(oxc_request_count(-1), 0);
}

TAVRI_TEST_MAIN(LocalUserPttTest)
#include "tst_localuserptt.moc"
