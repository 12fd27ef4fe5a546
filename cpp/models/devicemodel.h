#pragma once

#include <QAbstractListModel>
#include <QPair>
#include <QString>
#include <QVector>

#include "ostrelsdk.h"

class VoiceManager;

// One audio device: first the display name, second the device id.
using Device = QPair<QString, QString>;

// DeviceModel: the list of capture or render devices that the voice SDK
// reports, for the audio settings window and the device restore at login.
//
// Owned by VoiceManager, which feeds it every device-list answer of the SDK
// through updateDevices(). The row of the "Default System Device" entry (the
// operating system's choice) always comes first, named after the device the
// system currently picks; the other rows follow sorted by display name.
// Main thread only. Emits effectiveDeviceChanged/effectiveDeviceIdChanged when
// the SDK's effective device changes, currentIndexChanged/currentDeviceIdChanged
// when the selected row changes, deviceAddedOrRemoved when the list changes and
// hasValidDeviceChanged when a real device appears or the last one goes.
class DeviceModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ getCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(bool hasValidDevice READ hasValidDevice NOTIFY hasValidDeviceChanged)
    Q_PROPERTY(QString effectiveDeviceId READ effectiveDeviceId NOTIFY effectiveDeviceIdChanged)
    Q_PROPERTY(QString currentDeviceId READ currentDeviceId NOTIFY currentDeviceIdChanged)

public:
    enum Roles {
        IdRole = 1256,
        DefaultRole = 1257,
        NameRole = 1258,
    };

    // The id of the entry that stands for the operating system's choice.
    static const QString systemDeviceId;

    explicit DeviceModel(VoiceManager *voice, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE int getRowByDeviceId(const QString &deviceId) const;
    Q_INVOKABLE QString getDeviceIdByRow(int row) const;
    Q_INVOKABLE int count() const { return m_devices.size(); }
    Q_INVOKABLE int getCurrentIndex() const { return m_currentIndex; }
    Q_INVOKABLE QString getCurrentText() const;
    QString getDeviceNameByRow(int row) const;
    bool hasDeviceId(const QString &deviceId) const { return getRowByDeviceId(deviceId) >= 0; }

    bool hasValidDevice() const { return m_hasValidDevice; }
    QString effectiveDeviceId() const { return m_effectiveDevice.second; }
    QString effectiveDeviceName() const { return m_effectiveDevice.first; }
    QString currentDeviceId() const { return getDeviceIdByRow(m_currentIndex); }

    // The user's choice: switches the SDK to a listed device and asks for the
    // list again; an id that is not listed is ignored with a warning.
    Q_INVOKABLE void setCurrentDeviceById(const QString &deviceId);
    // Asks the SDK for this kind's device list; the answer comes back through
    // updateDevices().
    virtual void requestDevices() = 0;

signals:
    void effectiveDeviceChanged(Device device);
    void effectiveDeviceIdChanged(QString deviceId);
    void currentIndexChanged(int currentIndex);
    void currentDeviceIdChanged(QString deviceId);
    void deviceAddedOrRemoved();
    void hasValidDeviceChanged(bool hasValidDevice);

protected:
    // Rebuilds the rows from one device-list answer. `count` records are read
    // from `devices`; null records and unplugged devices (type 2) are skipped.
    void updateDevices(int count, ox_device_t *const *devices, const ox_device_t *currentDevice,
                       const ox_device_t *effectiveDevice, const ox_device_t *defaultDevice);
    // The system entry's name when the system has no device of this kind.
    virtual QString noDeviceText() const = 0;
    // Tells the voice service to use this kind's device `deviceId`.
    virtual void switchSdkDevice(const QString &deviceId) = 0;

    VoiceManager *m_voice = nullptr;
    QString m_lastRequestedId;

private:
    // Marks the row of `deviceId` (the system entry when it is not listed).
    void selectDevice(const QString &deviceId);

    QVector<Device> m_devices;
    Device m_effectiveDevice;
    int m_currentIndex = -1;
    bool m_hasValidDevice = false;
};

Q_DECLARE_METATYPE(Device)
