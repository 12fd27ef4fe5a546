#pragma once

#include "devicemodel.h"

// RenderDeviceModel: the render (speaker) devices of the voice SDK. Choosing a row
// switches the SDK to that device. Owned by VoiceManager; main thread only.
class RenderDeviceModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit RenderDeviceModel(VoiceManager *voice, QObject *parent = nullptr);

    // Rebuilds the rows from the SDK's render-device list.
    void updateDevices(const ox_resp_aux_get_render_devices_t *response);

    void requestDevices() override;

protected:
    QString noDeviceText() const override;
    void switchSdkDevice(const QString &deviceId) override;
};
