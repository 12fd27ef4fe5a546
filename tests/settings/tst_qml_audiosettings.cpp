// The audio page of the settings window: devices, levels, tests, the
// threshold marker, the transmit mode and the push-to-talk key capture.

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QtTest/QtTest>

#include <cmath>
#include <memory>

#include "../loginwindow/windowfakes.h"
#include "capturedevicemodel.h"
#include "devicelist.h"
#include "qmltestview.h"
#include "renderdevicemodel.h"
#include "settingsfakes.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

using namespace settingstest;
using voicetest::DeviceList;
using windowtest::savePicture;

namespace {

const DeviceList::Spec kSystem{"Default System Device", "Default System Device", 0};

// Virtual-key codes and Qt keys of the keys the tests press.
constexpr uint kLeftCtrl = 162;
constexpr uint kLeftMouse = 1;

const char *const kTouchedKeys[] = {"settingsPttMode", "settingsKeyCodesetPTTString", "settingsKeyCodesetPTT",
                                    "vad_sensitivity"};

} // namespace

class TestQmlAudioSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openingWritesOnlyOutOfRangeLevels_data();
    void openingWritesOnlyOutOfRangeLevels();
    void pushAndHoldWithoutCombinationCaptures();
    void fourthKeyEndsTheCapture();
    void mouseButtonsInTheCombination_data();
    void mouseButtonsInTheCombination();
    void speakerIconMutesAndUnmutes();
    void movedOutputBarPlaysTheSample_data();
    void movedOutputBarPlaysTheSample();
    void thresholdMarker_data();
    void thresholdMarker();
    void thresholdBarWritesOneWholeNumber();
    void doneNeedsACombinationForPushToTalk();
    void decibelLabels_data();
    void decibelLabels();
    void captureTestInAChannelOffersToLeave();
    void testButtonsStartAndStop();
    void hidingStopsTestsAndCapture();
    void resetRestoresDefaults();
    void withoutDevices();
    void settingsInitializedRereadsTheMode();

private:
    bool load();
    QQuickItem *item(const char *name) const { return m_window->view->find(QString::fromLatin1(name)); }
    QVariant stored(const char *key) const
    {
        return StorageManager::getInstance()->getSettingsValue(QString::fromLatin1(key));
    }
    // Waits until every damped slider of the page has had its chance to
    // write: a timer of the bars' own interval, started after theirs.
    void settle();
    void selectTransmit(int index) { item("transmitChooser")->setProperty("index", index); }
    // Drags the threshold marker by dx and returns where it stood before the
    // release.
    qreal dragThreshold(int dx);

    std::unique_ptr<WindowFixture> m_window;
    std::unique_ptr<RenderDeviceModel> m_render;
    std::unique_ptr<CaptureDeviceModel> m_capture;
};

void TestQmlAudioSettings::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
}

void TestQmlAudioSettings::init()
{
    StorageManager *storage = StorageManager::getInstance();
    for (const char *key : kTouchedKeys)
        storage->removeSettingsValue(QString::fromLatin1(key));
    m_window.reset(new WindowFixture);
    m_render.reset(new RenderDeviceModel(nullptr));
    m_capture.reset(new CaptureDeviceModel(nullptr));
    DeviceList render({kSystem, {"spk-a", "Speakers A", 0}, {"spk-b", "Speakers B", 0}});
    auto renderAnswer = render.response<ox_resp_aux_get_render_devices_t>();
    m_render->updateDevices(&renderAnswer);
    DeviceList capture({kSystem, {"mic-a", "Mic A", 0}}, "Headset", "mic-a", "mic-a");
    auto captureAnswer = capture.response<ox_resp_aux_get_capture_devices_t>();
    m_capture->updateDevices(&captureAnswer);
}

void TestQmlAudioSettings::cleanup()
{
    const QStringList warnings = m_window->finish();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

bool TestQmlAudioSettings::load()
{
    if (!m_window->load(QStringLiteral("settings/SettingsAudioWindow.qml"), m_render.get(), m_capture.get()))
        return false;
    // The bars take their first values from the event loop.
    return QTest::qWaitFor([this] { return m_window->view->root()->property("levelsReady").toBool(); });
}

void TestQmlAudioSettings::settle()
{
    // A QML timer runs on the same clock as the bars' damping timers, and one
    // started after theirs fires after them.
    QQmlComponent component(m_window->view->engine());
    component.setData("import QtQuick 2.15\nTimer {}", QUrl());
    std::unique_ptr<QObject> barrier(component.create(m_window->view->context()));
    QVERIFY(barrier);
    barrier->setProperty("interval", item("outputBar")->property("dampingInterval"));
    QSignalSpy fired(barrier.get(), SIGNAL(triggered()));
    barrier->setProperty("running", true);
    QVERIFY(fired.wait());
    QCoreApplication::processEvents();
}

qreal TestQmlAudioSettings::dragThreshold(int dx)
{
    QQuickItem *marker = item("thresholdMarker");
    const QPoint start = marker->mapToScene(QPointF(0, marker->height() / 2)).toPoint();
    QTest::mousePress(m_window->view.get(), Qt::LeftButton, Qt::NoModifier, start);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(m_window->view.get(), start + QPoint(dx * step / 4, 0));
    const qreal dropped = marker->x();
    QTest::mouseRelease(m_window->view.get(), Qt::LeftButton, Qt::NoModifier, start + QPoint(dx, 0));
    return dropped;
}

void TestQmlAudioSettings::openingWritesOnlyOutOfRangeLevels_data()
{
    QTest::addColumn<int>("speakerVolume");
    QTest::addColumn<bool>("advancedAgc");
    QTest::addColumn<QStringList>("userWrites");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("agcWrites");
    QTest::newRow("in range, agc off") << 40 << false << QStringList() << 0 << 0;
    QTest::newRow("below range, agc on") << 20 << true << QStringList{QStringLiteral("speakerVolumeAdjust|25")} << 1
                                         << 1;
    QTest::newRow("above range") << 90 << false << QStringList{QStringLiteral("speakerVolumeAdjust|75")} << 1 << 0;
}

void TestQmlAudioSettings::openingWritesOnlyOutOfRangeLevels()
{
    QFETCH(int, speakerVolume);
    QFETCH(bool, advancedAgc);
    QFETCH(QStringList, userWrites);
    QFETCH(int, samples);
    QFETCH(int, agcWrites);
    m_window->voice.m_speakerVolume = speakerVolume;
    m_window->app.m_advancedAgc = advancedAgc;
    // A combination text kept without its key list is shown as it is.
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsKeyCodesetPTTString"),
                                                    QStringLiteral("LCtrl"));
    QSignalSpy writes(StorageManager::getInstance(), &StorageManager::settingChanged);
    QVERIFY(load());
    settle();

    QCOMPARE(m_window->user.calls.all(), userWrites);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("renderFileToSpeaker")), samples);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("advancedAgc")), agcWrites);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("setRenderDeviceByIndex")), 0);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("setCaptureDeviceByIndex")), 0);
    QCOMPARE(writes.count(), 0);
    QCOMPARE(item("keyButton")->property("text").toString(), QStringLiteral("LCtrl"));
    QCOMPARE(item("outputChooser")->property("currentText").toString(),
             QStringLiteral("Use System Selected - Speakers"));
    QCOMPARE(item("inputChooser")->property("currentText").toString(), QStringLiteral("Mic A"));
    savePicture(m_window->view.get(), QStringLiteral("settings-audio"));
}

void TestQmlAudioSettings::pushAndHoldWithoutCombinationCaptures()
{
    QVERIFY(load());
    QSignalSpy started(m_window->view->root(), SIGNAL(startCapture()));
    QSignalSpy stopped(m_window->view->root(), SIGNAL(stopCapture()));
    selectTransmit(1);
    QCOMPARE(started.count(), 1);
    QVERIFY(m_window->view->root()->property("isCapturing").toBool());
    // The mode waits for the keys.
    QVERIFY(!stored("settingsPttMode").isValid());
    QVERIFY(m_window->app.calls.all().contains(QStringLiteral("trackEvent|AudioSettings|TransmitStyle|i:1")));

    m_window->keys.press(kLeftCtrl, Qt::Key_Control);
    QCOMPARE(stopped.count(), 0);
    m_window->keys.release(kLeftCtrl, Qt::Key_Control);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!m_window->view->root()->property("isCapturing").toBool());
    QCOMPARE(m_window->user.calls.matching(QStringLiteral("setPttKeyCombo")),
             QStringList{QStringLiteral("setPttKeyCombo|1|[162]")});
    QCOMPARE(stored("settingsPttMode").toInt(), 1);
    QCOMPARE(stored("settingsKeyCodesetPTTString").toString(), QStringLiteral("LCtrl"));
    QCOMPARE(item("keyButton")->property("text").toString(), QStringLiteral("LCtrl"));
    QVERIFY(m_window->app.calls.all().contains(QStringLiteral("trackEvent|AudioSettings|SetPTTKeyCombo|kc:LCtrl")));
    // Key events outside a capture are ignored.
    m_window->keys.press(kLeftMouse, Qt::Key_unknown);
    QCOMPARE(item("keyButton")->property("text").toString(), QStringLiteral("LCtrl"));
}

void TestQmlAudioSettings::fourthKeyEndsTheCapture()
{
    QVERIFY(load());
    QSignalSpy stopped(m_window->view->root(), SIGNAL(stopCapture()));
    selectTransmit(2);
    m_window->keys.press(kLeftCtrl, Qt::Key_Control);
    m_window->keys.press(160, Qt::Key_Shift);
    // An auto-repeat adds nothing.
    emit m_window->keys.keyEvent(160, QString(), Qt::Key_Shift, true, true);
    m_window->keys.press(0x41, Qt::Key_A);
    QCOMPARE(stopped.count(), 0);
    m_window->keys.press(0x42, Qt::Key_B);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(m_window->user.calls.matching(QStringLiteral("setPttKeyCombo")),
             QStringList{QStringLiteral("setPttKeyCombo|2|[162,160,65,66]")});
    QCOMPARE(stored("settingsKeyCodesetPTTString").toString(), QStringLiteral("LCtrl+LShift+A, B"));
    // The release after the end changes nothing.
    m_window->keys.release(0x42, Qt::Key_B);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(m_window->user.calls.count(QStringLiteral("setPttKeyCombo")), 1);
}

void TestQmlAudioSettings::mouseButtonsInTheCombination_data()
{
    QTest::addColumn<QList<uint>>("natives");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("combination");
    QTest::newRow("left mouse alone") << QList<uint>{kLeftMouse} << false << QString();
    QTest::newRow("right mouse alone") << QList<uint>{2} << false << QString();
    QTest::newRow("left mouse with LCtrl") << QList<uint>{kLeftCtrl, kLeftMouse} << true << "LCtrl+LMouse";
}

void TestQmlAudioSettings::mouseButtonsInTheCombination()
{
    QFETCH(QList<uint>, natives);
    QFETCH(bool, accepted);
    QFETCH(QString, combination);
    QVERIFY(load());
    selectTransmit(1);
    for (uint native : natives)
        m_window->keys.press(native, Qt::Key_unknown);
    m_window->keys.release(natives.last(), Qt::Key_unknown);

    QCOMPARE(item("refusalNote")->isVisible(), !accepted);
    QCOMPARE(item("keyButton")->property("text").toString(), combination);
    QCOMPARE(stored("settingsKeyCodesetPTTString").toString(), combination);
    QCOMPARE(m_window->user.calls.count(QStringLiteral("setPttKeyCombo")), accepted ? 1 : 0);
    // A refused combination opens the microphone.
    QCOMPARE(stored("settingsPttMode").toInt(), accepted ? 1 : 0);
    QVERIFY(m_window->app.calls.all().contains(QStringLiteral("trackEvent|AudioSettings|SetPTTKeyCombo|kc:")
                                               + combination));
    QCOMPARE(item("doneButton")->isEnabled(), accepted);
}

void TestQmlAudioSettings::speakerIconMutesAndUnmutes()
{
    m_window->voice.m_speakerVolume = 40;
    QVERIFY(load());
    QQuickItem *bar = item("outputBar");
    QVERIFY(m_window->view->click(QStringLiteral("speakerIcon")));
    QCOMPARE(bar->property("value").toInt(), 30);
    QVERIFY(m_window->view->click(QStringLiteral("speakerIcon")));
    QCOMPARE(bar->property("value").toInt(), 50);
    settle();
    QCOMPARE(m_window->user.calls.matching(QStringLiteral("speakerVolumeAdjust")),
             QStringList{QStringLiteral("speakerVolumeAdjust|50")});
}

void TestQmlAudioSettings::movedOutputBarPlaysTheSample_data()
{
    QTest::addColumn<bool>("testFromPage");
    QTest::addColumn<int>("samples");
    QTest::newRow("no test") << false << 1;
    QTest::newRow("render test from the page") << true << 0;
}

void TestQmlAudioSettings::movedOutputBarPlaysTheSample()
{
    QFETCH(bool, testFromPage);
    QFETCH(int, samples);
    QVERIFY(load());
    if (testFromPage)
        QVERIFY(m_window->view->click(QStringLiteral("renderTestButton")));
    QQuickItem *bar = item("outputBar");
    for (int value : {45, 46, 47})
        bar->setProperty("value", value);
    settle();
    QCOMPARE(m_window->user.calls.matching(QStringLiteral("speakerVolumeAdjust")),
             QStringList{QStringLiteral("speakerVolumeAdjust|47")});
    const QStringList played = m_window->app.calls.matching(QStringLiteral("renderFileToSpeaker"));
    QCOMPARE(played.size(), samples);
    if (samples)
        QCOMPARE(played.first(), QStringLiteral("renderFileToSpeaker|sounds/output_test.wav"));

    // A level the voice service reports is shown and not written back.
    m_window->user.calls.clear();
    m_window->voice.m_speakerVolume = 60;
    emit m_window->voice.speakerVolumeChanged();
    settle();
    QCOMPARE(bar->property("value").toInt(), 60);
    QCOMPARE(m_window->user.calls.all(), QStringList());
    QCOMPARE(item("outputGainLabel")->property("text").toString(), QStringLiteral("Gain: 10 dB"));
}

void TestQmlAudioSettings::thresholdMarker_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<bool>("writes");
    QTest::newRow("back to where it rests") << 0 << false;
    QTest::newRow("to the right") << 40 << true;
}

void TestQmlAudioSettings::thresholdMarker()
{
    QFETCH(int, dx);
    QFETCH(bool, writes);
    QVERIFY(load());
    QQuickItem *meter = item("micMeter");
    QQuickItem *marker = item("thresholdMarker");
    const qreal resting = marker->x();
    QCOMPARE(resting, meter->width() * 0.5);
    const qreal dropped = dragThreshold(dx);
    const QStringList written = m_window->user.calls.matching(QStringLiteral("vadSensitivity"));
    if (writes) {
        QVERIFY(dropped > resting);
        const int percent = qRound(dropped * 100 / meter->width());
        QCOMPARE(written, QStringList{QStringLiteral("vadSensitivity|%1").arg(percent)});
        // The store holds the same whole number.
        QCOMPARE(stored("vad_sensitivity").toString(), QString::number(percent));
    } else {
        QCOMPARE(dropped, resting);
        QCOMPARE(written, QStringList());
        QVERIFY(!stored("vad_sensitivity").isValid());
    }
    // The marker follows the threshold again.
    m_window->voice.m_speechThreshold = 0.25;
    emit m_window->voice.speechThresholdChanged();
    QCOMPARE(marker->x(), meter->width() * 0.25);
}

void TestQmlAudioSettings::thresholdBarWritesOneWholeNumber()
{
    QVERIFY(load());
    QQuickItem *bar = item("thresholdBar");
    QCOMPARE(bar->property("value").toInt(), 40);
    // A reported sensitivity is shown without being written back.
    m_window->user.announceVadSensitivity(55);
    QCOMPARE(bar->property("value").toInt(), 55);
    bar->setProperty("value", 61);
    settle();
    QCOMPARE(m_window->user.calls.all(), QStringList{QStringLiteral("vadSensitivity|61")});
    QCOMPARE(stored("vad_sensitivity").toInt(), 61);
}

void TestQmlAudioSettings::doneNeedsACombinationForPushToTalk()
{
    QVERIFY(load());
    QQuickItem *done = item("doneButton");
    QVERIFY(done->isEnabled());
    selectTransmit(2);
    QVERIFY(!done->isEnabled());
    QVERIFY(item("captureNote")->isVisible());
    // Back to the open microphone ends the capture and enables "Done".
    QSignalSpy stopped(m_window->view->root(), SIGNAL(stopCapture()));
    selectTransmit(0);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(done->isEnabled());
    QCOMPARE(stored("settingsPttMode").toInt(), 0);
}

void TestQmlAudioSettings::decibelLabels_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("half") << 0.5 << "-45.1544";
    QTest::newRow("full") << 1.0 << "0.0000";
    QTest::newRow("zero") << 0.0 << "-Inf";
    QTest::newRow("not a number") << std::nan("") << "???";
}

void TestQmlAudioSettings::decibelLabels()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    m_window->voice.m_noiseFloor = value;
    m_window->voice.m_speechThreshold = value;
    m_window->voice.m_microphoneEnergy = value;
    QVERIFY(load());
    QCOMPARE(item("noiseFloorLabel")->property("text").toString(), QStringLiteral("Noise floor: %1 dB").arg(shown));
    QCOMPARE(item("thresholdLabel")->property("text").toString(),
             QStringLiteral("Effective Speech threshold: %1 dB").arg(shown));
}

void TestQmlAudioSettings::captureTestInAChannelOffersToLeave()
{
    m_window->user.m_isInChannel = true;
    QVERIFY(load());
    QVERIFY(m_window->view->click(QStringLiteral("captureTestButton")));
    QVERIFY(item("channelOverlay")->isVisible());
    QCOMPARE(m_window->app.calls.count(QStringLiteral("startCaptureTest")), 0);

    QVERIFY(m_window->view->click(QStringLiteral("cancelOverlayButton")));
    QVERIFY(!item("channelOverlay")->isVisible());
    QVERIFY(
        m_window->app.calls.all().contains(QStringLiteral("trackEvent|AudioSettings|CancelLeaveChannelsForMicTest")));

    QVERIFY(m_window->view->click(QStringLiteral("captureTestButton")));
    m_window->app.calls.clear();
    QVERIFY(m_window->view->click(QStringLiteral("exitChannelsButton")));
    QVERIFY(!item("channelOverlay")->isVisible());
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("trackEvent|AudioSettings|LeaveChannelsForMicTest"),
                          QStringLiteral("leaveAllVoiceConversations"), QStringLiteral("startCaptureTest|true")}));
    QCOMPARE(item("captureTestButton")->property("text").toString(), QStringLiteral("Stop Test"));
}

void TestQmlAudioSettings::testButtonsStartAndStop()
{
    QVERIFY(load());
    QQuickItem *render = item("renderTestButton");
    QQuickItem *capture = item("captureTestButton");
    QVERIFY(m_window->view->click(QStringLiteral("renderTestButton")));
    QCOMPARE(render->property("text").toString(), QStringLiteral("Stop Test"));
    // The capture test replaces the render test.
    QVERIFY(m_window->view->click(QStringLiteral("captureTestButton")));
    QCOMPARE(render->property("text").toString(), QStringLiteral("Start Test"));
    QCOMPARE(capture->property("text").toString(), QStringLiteral("Stop Test"));
    QVERIFY(item("unmuteNote")->isVisible());
    m_window->app.m_micIsActive = true;
    emit m_window->app.micIsActiveChanged(true);
    QVERIFY(!item("unmuteNote")->isVisible());
    QCOMPARE(item("micIcon")->property("source").toUrl(),
             QUrl(QStringLiteral("qrc:/textures/microphone_small_unmuted.png")));
    QVERIFY(m_window->view->click(QStringLiteral("captureTestButton")));
    QCOMPARE(capture->property("text").toString(), QStringLiteral("Start Test"));
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("startRenderTest"), QStringLiteral("trackEvent|AudioSettings|StartRenderTest"),
                          QStringLiteral("stopRenderTest"), QStringLiteral("startCaptureTest|true"),
                          QStringLiteral("trackEvent|AudioSettings|StartCaptureTestHeadset"),
                          QStringLiteral("stopCaptureTest"),
                          QStringLiteral("trackEvent|AudioSettings|StopCaptureTestHeadset")}));
    // A test the voice service stopped by itself leaves the button reading
    // "Start Test".
    QVERIFY(m_window->view->click(QStringLiteral("renderTestButton")));
    m_window->app.setRenderTestRunning(false);
    QCOMPARE(render->property("text").toString(), QStringLiteral("Start Test"));
}

void TestQmlAudioSettings::hidingStopsTestsAndCapture()
{
    QVERIFY(load());
    QVERIFY(m_window->view->click(QStringLiteral("renderTestButton")));
    selectTransmit(1);
    QSignalSpy stopped(m_window->view->root(), SIGNAL(stopCapture()));
    m_window->app.calls.clear();
    m_window->view->hide();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(m_window->app.calls.all().contains(QStringLiteral("stopRenderTest")));
    QCOMPARE(m_window->view->root()->property("runningTestNumber").toInt(), 0);
    QCOMPARE(item("transmitChooser")->property("index").toInt(), 0);
    QCOMPARE(stored("settingsPttMode").toInt(), 0);
}

void TestQmlAudioSettings::resetRestoresDefaults()
{
    m_window->voice.m_speakerVolume = 70;
    m_window->voice.m_microphoneVolume = 30;
    QVERIFY(load());
    item("outputChooser")->setProperty("index", 2);
    item("inputChooser")->setProperty("index", 1);
    QVERIFY(m_window->view->click(QStringLiteral("renderTestButton")));
    m_window->user.calls.clear();
    m_window->app.calls.clear();
    QVERIFY(m_window->view->click(QStringLiteral("resetButton")));
    QCOMPARE(item("outputBar")->property("value").toInt(), 50);
    QCOMPARE(item("inputBar")->property("value").toInt(), 50);
    // Without a server default the sensitivity is 26 itself.
    QCOMPARE(item("thresholdBar")->property("value").toInt(), 26);
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("setRenderDeviceByIndex|0"), QStringLiteral("setCaptureDeviceByIndex|0"),
                          QStringLiteral("stopRenderTest")}));
    QCOMPARE(m_window->user.calls.all(),
             (QStringList{QStringLiteral("speakerVolumeAdjust|50"), QStringLiteral("volumeAdjust|50")}));
    // The test stopped by "Reset" still counts as the page's.
    QCOMPARE(m_window->view->root()->property("runningTestNumber").toInt(), 1);
}

void TestQmlAudioSettings::withoutDevices()
{
    DeviceList none({kSystem});
    auto renderAnswer = none.response<ox_resp_aux_get_render_devices_t>();
    m_render->updateDevices(&renderAnswer);
    QVERIFY(!m_render->hasValidDevice());
    QVERIFY(load());
    QCOMPARE(item("outputChooser")->property("textColor").value<QColor>(), QColor(Qt::red));
    QVERIFY(!item("renderTestButton")->isEnabled());
    QVERIFY(!item("captureTestButton")->isEnabled());

    // A device that comes back is shown and the buttons enable; the chooser
    // follows the model's current row as a user's choice would.
    DeviceList back({kSystem, {"spk-c", "Speakers C", 0}});
    auto backAnswer = back.response<ox_resp_aux_get_render_devices_t>();
    m_render->updateDevices(&backAnswer);
    QVERIFY(item("renderTestButton")->isEnabled());
    QVERIFY(item("captureTestButton")->isEnabled());
    QCOMPARE(item("outputChooser")->property("textColor").value<QColor>() == QColor(Qt::red), false);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("setRenderDeviceByIndex")), 0);
}

void TestQmlAudioSettings::settingsInitializedRereadsTheMode()
{
    QVERIFY(load());
    QCOMPARE(item("transmitChooser")->property("index").toInt(), 0);
    StorageManager *storage = StorageManager::getInstance();
    storage->setSettingsValue(QStringLiteral("settingsPttMode"), 2);
    storage->setSettingsValue(QStringLiteral("settingsKeyCodesetPTTString"), QStringLiteral("RCtrl"));
    QSignalSpy writes(storage, &StorageManager::settingChanged);
    emit storage->settingsInitialized();
    QCOMPARE(item("transmitChooser")->property("index").toInt(), 2);
    QCOMPARE(item("keyButton")->property("text").toString(), QStringLiteral("RCtrl"));
    QCOMPARE(writes.count(), 0);
    QCOMPARE(m_window->app.calls.count(QStringLiteral("trackEvent")), 0);

    // Logging out lowers the page's loaded flag: a new choice writes nothing.
    m_window->user.announceLoginState(4);
    selectTransmit(0);
    QCOMPARE(writes.count(), 0);
}

TAVRI_WINDOW_TEST_MAIN(TestQmlAudioSettings)
#include "moc_settingsfakes.cpp"
#include "tst_qml_audiosettings.moc"
