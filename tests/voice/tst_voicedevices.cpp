#include "capturedevicemodel.h"
#include "renderdevicemodel.h"
#include "voicemanager.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include "devicelist.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicedispatch.h"
#include "voicetestsupport.h"

using namespace voicetest;

namespace {

const DeviceList::Spec kSystem{"Default System Device", "Default System Device", 0};

QStringList names(const DeviceModel &model)
{
    QStringList result;
    for (int row = 0; row < model.count(); ++row)
        result << model.getDeviceNameByRow(row);
    return result;
}

} // namespace

// The capture and render device models: rows built from the SDK's device
// lists, the system entry first, and the user's choice passed to the SDK.
class TestVoiceDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void systemEntryFirstThenSortedByName();
    void systemEntryWithoutDefaultDevice_data();
    void systemEntryWithoutDefaultDevice();
    void rolesAndLookups();
    void unchangedListSendsNoRowNotifications();
    void hasValidDeviceNeedsARealDevice();
    void effectiveAndCurrentDevice();
    void choosingADevice();
    void badRecordsAreSkipped_data();
    void badRecordsAreSkipped();
    void sdkAnswersReachTheModels();

private:
    VoiceManager *m_voice = nullptr;
};

void TestVoiceDevices::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoiceDevices::cleanupTestCase()
{
    oxc_reset();
}

void TestVoiceDevices::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
}

void TestVoiceDevices::cleanup()
{
    delete m_voice;
    m_voice = nullptr;
}

void TestVoiceDevices::systemEntryFirstThenSortedByName()
{
    CaptureDeviceModel *model = m_voice->captureDevices();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DeviceList list({{"dev-z", "Zeta Mic", 0}, kSystem, {"dev-a", "Alpha Mic", 0}, {"dev-b", "Beta Mic", 0}},
                    "Headset Mic");
    const auto response = list.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&response);

    QCOMPARE(names(*model),
             QStringList({QStringLiteral("Use System Selected - Headset Mic"), QStringLiteral("Alpha Mic"),
                          QStringLiteral("Beta Mic"), QStringLiteral("Zeta Mic")}));
    QCOMPARE(model->getDeviceIdByRow(0), QStringLiteral("Default System Device"));
}

void TestVoiceDevices::systemEntryWithoutDefaultDevice_data()
{
    QTest::addColumn<bool>("capture");
    QTest::addColumn<bool>("nullDefault");
    QTest::addColumn<QString>("expected");

    QTest::newRow("capture, empty name") << true << false
                                         << "Use System Selected - No Input Device Currently Available";
    QTest::newRow("render, empty name") << false << false
                                        << "Use System Selected - No Output Device Currently Available";
    QTest::newRow("capture, no default record")
        << true << true << "Use System Selected - No Input Device Currently Available";
}

void TestVoiceDevices::systemEntryWithoutDefaultDevice()
{
    QFETCH(bool, capture);
    QFETCH(bool, nullDefault);
    QFETCH(QString, expected);

    DeviceList list({kSystem}, "");
    if (capture) {
        auto response = list.response<ox_resp_aux_get_capture_devices_t>();
        if (nullDefault)
            response.default_device = nullptr;
        m_voice->captureDevices()->updateDevices(&response);
        QCOMPARE(m_voice->captureDevices()->getDeviceNameByRow(0), expected);
    } else {
        auto response = list.response<ox_resp_aux_get_render_devices_t>();
        m_voice->renderDevices()->updateDevices(&response);
        QCOMPARE(m_voice->renderDevices()->getDeviceNameByRow(0), expected);
    }
}

void TestVoiceDevices::rolesAndLookups()
{
    RenderDeviceModel *model = m_voice->renderDevices();
    DeviceList list({kSystem, {"dev-a", "Alpha", 0}});
    const auto response = list.response<ox_resp_aux_get_render_devices_t>();
    model->updateDevices(&response);

    const QHash<int, QByteArray> roles = model->roleNames();
    QCOMPARE(roles.value(Qt::DisplayRole), QByteArray("display"));
    QCOMPARE(roles.value(1256), QByteArray("id"));
    QCOMPARE(roles.value(1257), QByteArray("default"));
    QCOMPARE(roles.value(1258), QByteArray("name"));

    QCOMPARE(model->data(model->index(0), 1257).toBool(), true);
    QCOMPARE(model->data(model->index(1), 1257).toBool(), false);
    QCOMPARE(model->data(model->index(1), 1256).toString(), QStringLiteral("dev-a"));
    QCOMPARE(model->data(model->index(1), 1258).toString(), QStringLiteral("Alpha"));
    QCOMPARE(model->data(model->index(1), Qt::DisplayRole).toString(), QStringLiteral("Alpha"));
    QVERIFY(!model->data(model->index(1), Qt::UserRole).isValid());
    QVERIFY(!model->data(model->index(5), 1256).isValid());

    QCOMPARE(model->getRowByDeviceId(QStringLiteral("dev-a")), 1);
    QCOMPARE(model->getRowByDeviceId(QStringLiteral("nope")), -1);
    QCOMPARE(model->getDeviceIdByRow(-1), QString());
    QCOMPARE(model->getDeviceIdByRow(2), QString());
    QCOMPARE(model->getDeviceNameByRow(2), QString());
    QVERIFY(model->hasDeviceId(QStringLiteral("dev-a")));
    QCOMPARE(model->count(), 2);
    QCOMPARE(model->rowCount(), 2);
}

void TestVoiceDevices::unchangedListSendsNoRowNotifications()
{
    CaptureDeviceModel *model = m_voice->captureDevices();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DeviceList list({kSystem, {"dev-a", "Alpha", 0}, {"dev-b", "Beta", 0}});
    const auto response = list.response<ox_resp_aux_get_capture_devices_t>();

    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(model, &DeviceModel::deviceAddedOrRemoved);
    model->updateDevices(&response);
    QCOMPARE(removed.count(), 0); // nothing to remove the first time
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(changed.count(), 1);

    model->updateDevices(&response);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(changed.count(), 1);

    // A renamed device replaces the whole list in one remove and one insert.
    list.records[2].display_name = const_cast<char *>("Beta 2");
    const auto renamed = list.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&renamed);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 2);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(changed.count(), 2);
}

void TestVoiceDevices::hasValidDeviceNeedsARealDevice()
{
    CaptureDeviceModel *model = m_voice->captureDevices();
    QSignalSpy valid(model, &DeviceModel::hasValidDeviceChanged);

    DeviceList onlySystem({kSystem});
    const auto first = onlySystem.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&first);
    QVERIFY(!model->hasValidDevice());
    QCOMPARE(valid.count(), 0);

    DeviceList withMic({kSystem, {"dev-a", "Alpha", 0}});
    const auto second = withMic.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&second);
    QVERIFY(model->hasValidDevice());
    QCOMPARE(valid.count(), 1);

    // An unplugged device does not count.
    DeviceList unplugged({kSystem, {"dev-a", "Alpha", 2}});
    const auto third = unplugged.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&third);
    QVERIFY(!model->hasValidDevice());
    QCOMPARE(valid.count(), 2);
    QCOMPARE(valid.at(1).at(0).toBool(), false);
}

void TestVoiceDevices::effectiveAndCurrentDevice()
{
    RenderDeviceModel *model = m_voice->renderDevices();
    QSignalSpy effective(model, &DeviceModel::effectiveDeviceChanged);
    QSignalSpy effectiveId(model, &DeviceModel::effectiveDeviceIdChanged);
    QSignalSpy index(model, &DeviceModel::currentIndexChanged);
    QSignalSpy currentId(model, &DeviceModel::currentDeviceIdChanged);
    QCOMPARE(model->getCurrentIndex(), -1);

    DeviceList list({kSystem, {"dev-a", "Alpha", 0}, {"dev-b", "Beta", 0}}, "Speakers", "dev-b", "dev-b");
    const auto response = list.response<ox_resp_aux_get_render_devices_t>();
    model->updateDevices(&response);
    QCOMPARE(effective.count(), 1);
    QCOMPARE(effective.at(0).at(0).value<Device>(), Device(QStringLiteral("Effective"), QStringLiteral("dev-b")));
    QCOMPARE(effectiveId.at(0).at(0).toString(), QStringLiteral("dev-b"));
    QCOMPARE(model->getCurrentIndex(), 2);
    QCOMPARE(model->getCurrentText(), QStringLiteral("Beta"));
    QCOMPARE(index.count(), 1);
    QCOMPARE(currentId.at(0).at(0).toString(), QStringLiteral("dev-b"));

    // The same answer again changes nothing.
    model->updateDevices(&response);
    QCOMPARE(effective.count(), 1);
    QCOMPARE(index.count(), 1);

    // A current device that is not listed falls back to the system entry.
    LogCapture capture;
    DeviceList gone({kSystem, {"dev-a", "Alpha", 0}}, "Speakers", "dev-b", "dev-b");
    const auto goneResponse = gone.response<ox_resp_aux_get_render_devices_t>();
    model->updateDevices(&goneResponse);
    QCOMPARE(model->getCurrentIndex(), 0);
    QCOMPARE(capture.find(QtWarningMsg, QStringLiteral("qrc: unable to set device id to")).size(), 1);
}

void TestVoiceDevices::choosingADevice()
{
    CaptureDeviceModel *model = m_voice->captureDevices();
    DeviceList list({kSystem, {"dev-a", "Alpha", 0}});
    const auto response = list.response<ox_resp_aux_get_capture_devices_t>();
    model->updateDevices(&response);
    QCOMPARE(model->getCurrentIndex(), 0);
    oxc_clear_requests();

    {
        LogCapture capture;
        QSignalSpy index(model, &DeviceModel::currentIndexChanged);
        model->setCurrentDeviceById(QStringLiteral("unknown"));
        QCOMPARE(oxc_request_count(-1), 0);
        QCOMPARE(index.count(), 0);
        QCOMPARE(model->getCurrentIndex(), 0);
        QCOMPARE(
            capture.find(QtWarningMsg, QStringLiteral("setCurrentDeviceById() : unknownnot found. Ignoring.")).size(),
            1);
    }

    model->setCurrentDeviceById(QStringLiteral("dev-a"));
    QCOMPARE(model->getCurrentIndex(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_CAPTURE_DEVICE), 1);
    QCOMPARE(text(lastRequest<ox_req_aux_set_capture_device_t>(OX_REQ_AUX_SET_CAPTURE_DEVICE)->device_id),
             QByteArray("dev-a"));
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_CAPTURE_DEVICES), 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_RENDER_DEVICE), 0);

    // Choosing the same device again asks the SDK nothing.
    model->setCurrentDeviceById(QStringLiteral("dev-a"));
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_CAPTURE_DEVICE), 1);

    RenderDeviceModel *render = m_voice->renderDevices();
    DeviceList renderList({kSystem, {"out-a", "Out A", 0}});
    const auto renderResponse = renderList.response<ox_resp_aux_get_render_devices_t>();
    render->updateDevices(&renderResponse);
    render->setCurrentDeviceById(QStringLiteral("out-a"));
    QCOMPARE(text(lastRequest<ox_req_aux_set_render_device_t>(OX_REQ_AUX_SET_RENDER_DEVICE)->device_id),
             QByteArray("out-a"));
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_RENDER_DEVICES), 1);
}

void TestVoiceDevices::badRecordsAreSkipped_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("nullArray");
    QTest::addColumn<QStringList>("expected");

    // The fixture holds: system, null record, "dev-a" with a null name,
    // an unplugged device, "dev-b".
    QTest::newRow("all records") << 5 << false << QStringList({"Use System Selected - Speakers", "", "Beta"});
    QTest::newRow("count smaller than the array") << 3 << false << QStringList({"Use System Selected - Speakers", ""});
    QTest::newRow("negative count") << -4 << false << QStringList();
    QTest::newRow("no array") << 3 << true << QStringList();
}

void TestVoiceDevices::badRecordsAreSkipped()
{
    QFETCH(int, count);
    QFETCH(bool, nullArray);
    QFETCH(QStringList, expected);

    CaptureDeviceModel *model = m_voice->captureDevices();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DeviceList list(
        {kSystem, {"placeholder", "x", 0}, {"dev-a", nullptr, 0}, {"dev-u", "Gone", 2}, {"dev-b", "Beta", 0}});
    list.pointers[1] = nullptr;
    list.count = count;
    auto response = list.response<ox_resp_aux_get_capture_devices_t>();
    if (nullArray)
        response.devices = nullptr;
    response.current_device = nullptr;
    model->updateDevices(&response);
    QCOMPARE(names(*model), expected);
}

void TestVoiceDevices::sdkAnswersReachTheModels()
{
    const oxc_device_spec_t mics[] = {
        {"Default System Device", "Default System Device", 0}, {"mic-2", "USB Mic", 0}, {"mic-1", "Built-in Mic", 0}};
    QCOMPARE(oxc_set_devices(0, mics, 3, "mic-1"), 0);
    QSignalSpy captureChanged(m_voice, &VoiceManager::captureDeviceChanged);
    QSignalSpy renderChanged(m_voice, &VoiceManager::renderDeviceChanged);
    m_voice->createConnector();
    // The stand-in also reports the new devices as a hot swap, which asks
    // for the lists again.
    QVERIFY(captureChanged.wait(5000));
    QTRY_VERIFY(renderChanged.count() >= 1);
    QVERIFY(voicedispatch::settle());

    CaptureDeviceModel *model = m_voice->captureDevices();
    QCOMPARE(names(*model), QStringList({QStringLiteral("Use System Selected - Built-in Mic"),
                                         QStringLiteral("Built-in Mic"), QStringLiteral("USB Mic")}));
    QCOMPARE(captureChanged.at(0).at(0).toString(), model->currentDeviceId());
    QVERIFY(model->hasValidDevice());
}

TAVRI_TEST_MAIN(TestVoiceDevices)
#include "tst_voicedevices.moc"
