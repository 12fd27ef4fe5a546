#include "capturedevicemodel.h"

#include "voicemanager.h"

CaptureDeviceModel::CaptureDeviceModel(VoiceManager *voice, QObject *parent)
    : DeviceModel(voice, parent)
{
}

void CaptureDeviceModel::updateDevices(const ox_resp_aux_get_capture_devices_t *response)
{
    if (!response)
        return;
    DeviceModel::updateDevices(response->device_count, response->devices, response->current_device,
                               response->effective_device, response->default_device);
}

void CaptureDeviceModel::switchSdkDevice(const QString &deviceId)
{
    if (m_voice)
        m_voice->setCaptureDevice(deviceId);
}

void CaptureDeviceModel::requestDevices()
{
    if (m_voice)
        m_voice->requestCaptureDevices();
}

QString CaptureDeviceModel::noDeviceText() const
{
    return QStringLiteral("No Input Device Currently Available");
}
