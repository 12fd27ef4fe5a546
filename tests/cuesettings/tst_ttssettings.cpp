// The cue and text-to-speech settings page: one row per event, the master
// choice, the volume, sound files, trying a cue, the voice and "Reset".

#include <QDir>
#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest/QtTest>

#include "audiocuesmanager.h"
#include "cuesettingsfakes.h"
#include "fakemediaservice.h"
#include "qmltestview.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"
#include "windowpicture.h"

using namespace cuesettingstest;
using tavritest::findItem;

namespace {
// The stored volume's key and the cue states, as the program numbers them.
constexpr int kVolumeKey = StorageManager::SettingsKeyTtsVolume;
constexpr int kDisabled = 0;
constexpr int kTextToSpeech = 1;
constexpr int kAudioTone = 2;
constexpr int kAudioToneMinimizedOnly = 4;
} // namespace

class TestTtsSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensQuietlyWithOneRowPerEvent();
    void eventStateChangeAppliesAndTracks();
    void eventComboFollowsTheManager();
    void allEvents();
    void volumeChange();
    void muteToggle();
    void chooseSoundFile_data();
    void chooseSoundFile();
    void revertSoundFile();
    void playAndStop();
    void spokenCueClearsItsMarkAfterASecond();
    void resetStaysEnabled();
    void voiceChoice();
    void textToSpeechUnavailableNotice();
    void worksWithTheProgramsCueManager();

private:
    QmlTestView *load();
    QQuickItem *row(int event) const;
    QQuickItem *inRow(int event, const char *name) const;
    QStringList tracked() const { return m_app.log.matching(QStringLiteral("trackEvent")); }
    void clearLogs();

    FakeTones m_tones;
    FakeMainApp m_app;
    FakeStorageManager m_storage;
    FakeFilePicker m_picker;
    std::unique_ptr<QmlTestView> m_view;
};

void TestTtsSettings::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
}

void TestTtsSettings::init()
{
    m_tones.states.clear();
    for (int event = 0; event < 11; ++event)
        m_tones.states.insert(event, kAudioTone);
    m_tones.files.clear();
    m_tones.playbackStates.clear();
    m_tones.m_volume = 35;
    m_tones.m_ttsAvailable = true;
    m_storage.values.clear();
    m_storage.values.insert(kVolumeKey, 35);
    m_app.m_currentTTSVoice = QStringLiteral("Kal");
    m_picker.result.clear();
    clearLogs();
}

void TestTtsSettings::cleanup()
{
    const QStringList warnings = m_view ? m_view->qmlWarnings() : QStringList();
    m_view.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestTtsSettings::clearLogs()
{
    m_tones.log.clear();
    m_app.log.clear();
    m_storage.log.clear();
    m_picker.log.clear();
}

QmlTestView *TestTtsSettings::load()
{
    m_view.reset();
    m_view.reset(new QmlTestView);
    m_view->setContextObject(QStringLiteral("tones"), &m_tones);
    m_view->setContextObject(QStringLiteral("mainApp"), &m_app);
    m_view->setContextObject(QStringLiteral("storageManager"), &m_storage);
    m_view->setContextObject(QStringLiteral("filePicker"), &m_picker);
    if (!m_view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/settings/SettingsTTSWindow.qml"))))
        return nullptr;
    return m_view.get();
}

QQuickItem *TestTtsSettings::row(int event) const
{
    return findItem(m_view->root(), QStringLiteral("eventRow%1").arg(event));
}

QQuickItem *TestTtsSettings::inRow(int event, const char *name) const
{
    QQuickItem *eventRow = row(event);
    return findItem(eventRow, QString::fromLatin1(name));
}

void TestTtsSettings::opensQuietlyWithOneRowPerEvent()
{
    m_tones.states[3] = kDisabled;
    m_tones.states[7] = kAudioToneMinimizedOnly;
    m_tones.files.insert(5, QStringLiteral("file:///home/me/very/long/folder/name/of/sounds/ring.wav"));
    QmlTestView *view = load();
    QVERIFY(view);
    QCOMPARE(view->root()->size(), QSizeF(600, 405));

    QQuickItem *done = view->find(QStringLiteral("doneButton"));
    const qreal buttonsTop = done->mapToScene(QPointF(0, 0)).y();
    for (int event = 0; event < 11; ++event) {
        QVERIFY2(row(event), qPrintable(QString::number(event)));
        QCOMPARE(inRow(event, "stateCombo")->property("index").toInt(), m_tones.states.value(event));
        QCOMPARE(inRow(event, "eventName")->property("text").toString(), QStringLiteral("Event %1").arg(event));
        // Every row fits above the buttons and inside the page.
        const QRectF box = row(event)->mapRectToScene(QRectF(0, 0, row(event)->width(), row(event)->height()));
        QVERIFY(box.bottom() <= buttonsTop);
        QVERIFY(box.right() <= 600 - 20);
    }
    QVERIFY(!row(11));
    QCOMPARE(inRow(0, "soundLabel")->property("text").toString(), QStringLiteral("(default)"));
    QCOMPARE(inRow(5, "soundLabel")->property("text").toString(), m_tones.files.value(5));
    QCOMPARE(view->find(QStringLiteral("volumeBar"))->property("value").toInt(), 35);
    QCOMPARE(view->find(QStringLiteral("voiceCombo"))->property("currentText").toString(), QStringLiteral("Kal"));
    QVERIFY(!done->isEnabled());
    QVERIFY(view->find(QStringLiteral("resetButton"))->isEnabled());

    // The last row's choices open inside the window.
    QQuickItem *combo = inRow(10, "stateCombo");
    QVERIFY(QMetaObject::invokeMethod(combo, "openPopup"));
    QQuickItem *list = nullptr;
    const std::function<void(QQuickItem *)> findOpenList = [&](QQuickItem *parent) {
        for (QQuickItem *child : parent->childItems()) {
            if (child->objectName() == QLatin1String("comboList") && child->isVisible())
                list = child;
            findOpenList(child);
        }
    };
    findOpenList(view->contentItem());
    QVERIFY(list);
    const QRectF choices = list->mapRectToScene(QRectF(0, 0, list->width(), list->height()));
    QVERIFY(choices.top() >= 0 && choices.bottom() <= 405);
    QCOMPARE(choices.height(), 5 * 20.0);
    const QString pictures = qEnvironmentVariable("TAVRI_WINDOW_PICTURES");
    const bool picture = !pictures.isEmpty() && tavritest::TestEnvironment::hasX11Display();
    if (picture) {
        QDir().mkpath(pictures);
        const QString error =
            tavritest::saveWindowPicture(view, QDir(pictures).filePath(QStringLiteral("settings-tts-popup.png")));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QVERIFY(QMetaObject::invokeMethod(combo, "closePopup"));
    if (picture) {
        const QString error =
            tavritest::saveWindowPicture(view, QDir(pictures).filePath(QStringLiteral("settings-tts.png")));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // Once the volume bar's damping has run out, still nothing was written or said.
    QObject *damping = view->find(QStringLiteral("volumeBar"))->findChild<QObject *>(QStringLiteral("dampingTimer"));
    QVERIFY(damping);
    QTRY_VERIFY(!damping->property("running").toBool());
    QCOMPARE(m_tones.log.calls(), QStringList());
    QCOMPARE(m_app.log.calls(), QStringList());
    QCOMPARE(m_storage.log.calls(), QStringList());
}

void TestTtsSettings::eventStateChangeAppliesAndTracks()
{
    QmlTestView *view = load();
    QVERIFY(view);
    inRow(4, "stateCombo")->setProperty("index", kDisabled);
    inRow(6, "stateCombo")->setProperty("index", kTextToSpeech);
    QCOMPARE(m_tones.log.calls(), (QStringList{"setCueState|4|0", "setCueState|6|1"}));
    QCOMPARE(tracked(), (QStringList{"trackEvent|AudioNotificationSettings|DisableStd4",
                                     "trackEvent|AudioNotificationSettings|EnableStd6"}));
    QVERIFY(view->find(QStringLiteral("doneButton"))->isEnabled());
    view->click(view->find(QStringLiteral("doneButton")));
    QVERIFY(!view->isVisible());
    QVERIFY(!view->find(QStringLiteral("doneButton"))->isEnabled());
}

void TestTtsSettings::eventComboFollowsTheManager()
{
    QmlTestView *view = load();
    QVERIFY(view);
    m_tones.changeState(2, kTextToSpeech);
    QCOMPARE(inRow(2, "stateCombo")->property("index").toInt(), kTextToSpeech);
    QCOMPARE(inRow(3, "stateCombo")->property("index").toInt(), kAudioTone);
    // Following is not a change of the user's.
    QCOMPARE(m_tones.log.calls(), QStringList());
    QCOMPARE(tracked(), QStringList());
    QVERIFY(!view->find(QStringLiteral("doneButton"))->isEnabled());
}

void TestTtsSettings::allEvents()
{
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *master = view->find(QStringLiteral("allEventsCombo"));
    QCOMPARE(master->property("index").toInt(), 0);
    QCOMPARE(master->property("currentText").toString(), QString());

    // Entry n sets every event to state n - 1.
    master->setProperty("index", 2);
    QStringList expected;
    for (int event = 0; event < 11; ++event)
        expected.append(QStringLiteral("setCueState|%1|1").arg(event));
    QCOMPARE(m_tones.log.calls(), expected);
    for (int event = 0; event < 11; ++event)
        QCOMPARE(inRow(event, "stateCombo")->property("index").toInt(), kTextToSpeech);
    QCOMPARE(tracked(), QStringList());

    // A row set to the same state keeps the master choice; a different one
    // clears it, and clearing changes no event.
    m_tones.changeState(0, kAudioTone);
    inRow(0, "stateCombo")->setProperty("index", kTextToSpeech);
    QCOMPARE(master->property("index").toInt(), 2);
    m_tones.log.clear();
    inRow(9, "stateCombo")->setProperty("index", kDisabled);
    QCOMPARE(master->property("index").toInt(), 0);
    QCOMPARE(m_tones.log.calls(), QStringList{"setCueState|9|0"});
}

void TestTtsSettings::volumeChange()
{
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *bar = view->find(QStringLiteral("volumeBar"));
    bar->setProperty("value", 70);
    QTRY_COMPARE(m_tones.m_volume, 70);
    QCOMPARE(m_tones.log.calls(), (QStringList{"setVolume|70", "speakText|Text to speech|true"}));
    QCOMPARE(m_storage.log.calls(), QStringList{QStringLiteral("setSettingsValue|%1|70").arg(kVolumeKey)});
    QCOMPARE(tracked(), QStringList{"trackEvent|AudioNotificationSettings|SetTTSVolume|v:70"});
    QVERIFY(view->find(QStringLiteral("doneButton"))->isEnabled());
}

void TestTtsSettings::muteToggle()
{
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *bar = view->find(QStringLiteral("volumeBar"));
    QQuickItem *mute = view->find(QStringLiteral("muteButton"));
    view->click(mute);
    QCOMPARE(bar->property("value").toInt(), 0);
    QTRY_COMPARE(m_tones.m_volume, 0);
    view->click(mute);
    QCOMPARE(bar->property("value").toInt(), 50);
    QTRY_COMPARE(m_tones.m_volume, 50);
    // Not muted: a click mutes, whatever the level.
    bar->setProperty("value", 1);
    view->click(mute);
    QCOMPARE(bar->property("value").toInt(), 0);
}

void TestTtsSettings::chooseSoundFile_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("taken");
    QTest::newRow("cancelled") << "" << false;
    QTest::newRow("bare scheme") << "file:" << false;
    QTest::newRow("other sound") << "file:///home/me/ring.mp3" << false;
    QTest::newRow("wav inside the name") << "file:///home/me/ring.wav.exe" << false;
    QTest::newRow("no extension") << "file:///home/me/wav" << false;
    QTest::newRow("wav") << "file:///home/me/ring.wav" << true;
    QTest::newRow("capital extension") << "file:///home/me/RING.WAV" << true;
    QTest::newRow("encoded characters") << "file:///home/me/a%20b%23c%25.wav" << true;
}

void TestTtsSettings::chooseSoundFile()
{
    QFETCH(QString, result);
    QFETCH(bool, taken);
    QmlTestView *view = load();
    QVERIFY(view);
    m_picker.result = result;
    view->click(inRow(3, "chooseButton"));
    QCOMPARE(m_picker.log.calls(),
             QStringList{QStringLiteral("getFileUrl|Choose sound file|/opt/tavri/sounds|Sound (*.wav)|false")});
    if (taken) {
        QCOMPARE(m_tones.log.calls(), QStringList{"setPlaybackFile|3|" + result});
        QCOMPARE(tracked(), QStringList{"trackEvent|AudioNotificationSettings|CustomStd3"});
        QCOMPARE(inRow(3, "soundLabel")->property("text").toString(), result);
    } else {
        QCOMPARE(m_tones.log.calls(), QStringList());
        QCOMPARE(tracked(), QStringList());
        QCOMPARE(inRow(3, "soundLabel")->property("text").toString(), QStringLiteral("(default)"));
    }
    QCOMPARE(view->find(QStringLiteral("doneButton"))->isEnabled(), taken);
}

void TestTtsSettings::revertSoundFile()
{
    m_tones.files.insert(8, QStringLiteral("file:///home/me/ring.wav"));
    QmlTestView *view = load();
    QVERIFY(view);
    view->click(inRow(8, "revertButton"));
    QCOMPARE(m_tones.log.calls(), QStringList{"setPlaybackFile|8|"});
    QCOMPARE(tracked(), QStringList{"trackEvent|AudioNotificationSettings|ResetStd8"});
    QCOMPARE(inRow(8, "soundLabel")->property("text").toString(), QStringLiteral("(default)"));
}

void TestTtsSettings::playAndStop()
{
    m_tones.states[1] = kDisabled;
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *play = inRow(1, "playButton");
    // Even a disabled cue plays from here.
    view->click(play);
    QCOMPARE(m_tones.log.calls(), QStringList{"play|1|1|2|3|false"});
    QCOMPARE(tracked(), QStringList{"trackEvent|AudioNotificationSettings|PlayStd1"});
    QVERIFY(row(1)->property("playClicked").toBool());

    m_tones.changeMediaState(1, 1);
    m_tones.log.clear();
    view->click(play);
    QCOMPARE(m_tones.log.calls(), QStringList{"stopPlayback|1"});
    // Another event's end leaves the mark; its own clears it.
    m_tones.changeMediaState(2, 0);
    QVERIFY(row(1)->property("playClicked").toBool());
    m_tones.changeMediaState(1, 0);
    QVERIFY(!row(1)->property("playClicked").toBool());

    // Pressed while another window plays it: nothing to stop here.
    m_tones.changeMediaState(1, 1);
    m_tones.log.clear();
    view->click(play);
    QCOMPARE(m_tones.log.calls(), QStringList());
}

void TestTtsSettings::spokenCueClearsItsMarkAfterASecond()
{
    m_tones.states[6] = kTextToSpeech;
    QmlTestView *view = load();
    QVERIFY(view);
    view->click(inRow(6, "playButton"));
    QVERIFY(row(6)->property("playClicked").toBool());
    // Speech has no player state of its own to report its end.
    QTRY_VERIFY_WITH_TIMEOUT(!row(6)->property("playClicked").toBool(), 5000);
    // A sound cue keeps its mark until its player stops: no timer clears it.
    view->click(inRow(5, "playButton"));
    QVERIFY(row(5)->property("playClicked").toBool());
    QObject *speechMark = row(5)->findChild<QObject *>(QStringLiteral("speechMarkTimer"));
    QVERIFY(speechMark);
    QVERIFY(!speechMark->property("running").toBool());
}

void TestTtsSettings::resetStaysEnabled()
{
    m_tones.states[2] = kDisabled;
    m_tones.states[9] = kTextToSpeech;
    m_storage.values.insert(kVolumeKey, 80);
    m_tones.m_volume = 80;
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *reset = view->find(QStringLiteral("resetButton"));
    QVERIFY(reset->isEnabled());
    view->click(reset);

    QStringList expected;
    for (int event = 0; event < 11; ++event)
        expected.append(QStringLiteral("setCueState|%1|2").arg(event));
    QCOMPARE(m_tones.log.matching("setCueState"), expected);
    QCOMPARE(m_app.log.matching("setTTSVoice"), QStringList{"setTTSVoice|"});
    QCOMPARE(view->find(QStringLiteral("volumeBar"))->property("value").toInt(), 35);
    QTRY_COMPARE(m_tones.m_volume, 35);
    // The defaults are volume 50, so the page still offers "Reset".
    QVERIFY(reset->isEnabled());

    // At every default the offer goes.
    view->find(QStringLiteral("volumeBar"))->setProperty("value", 50);
    QTRY_COMPARE(m_tones.m_volume, 50);
    QVERIFY(!reset->isEnabled());
}

void TestTtsSettings::voiceChoice()
{
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *voice = view->find(QStringLiteral("voiceCombo"));
    voice->setProperty("index", 2);
    QCOMPARE(m_app.log.calls(), QStringList{"setTTSVoice|Slt"});
    QVERIFY(view->find(QStringLiteral("doneButton"))->isEnabled());

    // Following the application writes nothing back.
    m_app.log.clear();
    m_app.announceVoice(QStringLiteral("Alan"));
    QCOMPARE(voice->property("currentText").toString(), QStringLiteral("Alan"));
    m_app.announceVoice(QString());
    QCOMPARE(voice->property("index").toInt(), -1);
    QCOMPARE(m_app.log.calls(), QStringList());
}

void TestTtsSettings::textToSpeechUnavailableNotice()
{
    m_tones.m_ttsAvailable = false;
    QmlTestView *view = load();
    QVERIFY(view);
    QQuickItem *notice = view->find(QStringLiteral("ttsUnavailable"));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->property("text").toString(), QStringLiteral("** Text-to-speech not enabled for your system."));
    m_tones.setTextToSpeechAvailable(true);
    QVERIFY(!notice->isVisible());
}

void TestTtsSettings::worksWithTheProgramsCueManager()
{
    AudioCuesManager::setMediaPlayerFactory(&FakeMediaService::newPlayer);
    AudioCuesManager cues;
    cues.init();
    m_view.reset(new QmlTestView);
    m_view->setContextObject(QStringLiteral("tones"), &cues);
    m_view->setContextObject(QStringLiteral("mainApp"), &m_app);
    m_view->setContextObject(QStringLiteral("storageManager"), &m_storage);
    m_view->setContextObject(QStringLiteral("filePicker"), &m_picker);
    QVERIFY(m_view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/settings/SettingsTTSWindow.qml"))));
    const QVariantList events = cues.availableEvents();
    QCOMPARE(events.size(), 11);
    for (const QVariant &event : events) {
        const auto type = AudioCuesManager::AudioCueEventType(event.toInt());
        QCOMPARE(inRow(event.toInt(), "stateCombo")->property("index").toInt(), int(cues.getCueState(type)));
    }
    const int firstEvent = events.first().toInt();
    const auto first = AudioCuesManager::AudioCueEventType(firstEvent);
    const bool disabled = cues.getCueState(first) == AudioCuesManager::EventCueDisabled;
    inRow(firstEvent, "stateCombo")->setProperty("index", disabled ? kAudioTone : kDisabled);
    QCOMPARE(int(cues.getCueState(first)), disabled ? kAudioTone : kDisabled);
    // The manager's own change reaches the row.
    cues.setCueState(first, AudioCuesManager::EventCueTextToSpeech);
    QCOMPARE(inRow(firstEvent, "stateCombo")->property("index").toInt(), kTextToSpeech);
    m_view->click(inRow(firstEvent, "playButton"));
    const QString name = cues.eventTypeStandardDisplayName(first);
    QCOMPARE(m_app.log.matching("trackEvent"),
             (QStringList{"trackEvent|AudioNotificationSettings|" + QString(disabled ? "Enable" : "Disable") + name,
                          "trackEvent|AudioNotificationSettings|Play" + name}));
    m_view->find(QStringLiteral("volumeBar"))->setProperty("value", 60);
    QTRY_COMPARE(int(cues.getVolume()), 60);
    // The page goes before the manager it reads.
    const QStringList warnings = m_view->qmlWarnings();
    m_view.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

// On the X display when pictures are asked for (TAVRI_WINDOW_PICTURES names
// their folder; run under xvfb-run), else offscreen.
int main(int argc, char *argv[])
{
    tavritest::TestEnvironment testEnvironment(qEnvironmentVariableIsEmpty("TAVRI_WINDOW_PICTURES")
                                                   ? tavritest::TestEnvironment::Display::Offscreen
                                                   : tavritest::TestEnvironment::Display::X11);
    QTEST_MAIN_IMPL(TestTtsSettings)
}
#include "moc_cuesettingsfakes.cpp"
#include "tst_ttssettings.moc"
