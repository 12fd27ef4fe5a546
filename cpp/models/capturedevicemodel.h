#pragma once

#include "devicemodel.h"

// CaptureDeviceModel: the capture (microphone) devices of the voice SDK. Choosing a row
// switches the SDK to that device. Owned by VoiceManager; main thread only.
class CaptureDeviceModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit CaptureDeviceModel(VoiceManager *voice, QObject *parent = nullptr);

    // Rebuilds the rows from the SDK's capture-device list.
    void updateDevices(const ox_resp_aux_get_capture_devices_t *response);

    void requestDevices() override;

protected:
    QString noDeviceText() const override;
    void switchSdkDevice(const QString &deviceId) override;
};
