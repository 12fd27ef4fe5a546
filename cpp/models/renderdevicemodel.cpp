#include "renderdevicemodel.h"

#include "voicemanager.h"

RenderDeviceModel::RenderDeviceModel(VoiceManager *voice, QObject *parent)
    : DeviceModel(voice, parent)
{
}

void RenderDeviceModel::updateDevices(const ox_resp_aux_get_render_devices_t *response)
{
    if (!response)
        return;
    DeviceModel::updateDevices(response->device_count, response->devices, response->current_device,
                               response->effective_device, response->default_device);
}

void RenderDeviceModel::switchSdkDevice(const QString &deviceId)
{
    if (m_voice)
        m_voice->setRenderDevice(deviceId);
}

void RenderDeviceModel::requestDevices()
{
    if (m_voice)
        m_voice->requestRenderDevices();
}

QString RenderDeviceModel::noDeviceText() const
{
    return QStringLiteral("No Output Device Currently Available");
}
