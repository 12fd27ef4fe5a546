#include "devicemodel.h"

#include <QDebug>

#include <algorithm>

const QString DeviceModel::systemDeviceId = QStringLiteral("Default System Device");

namespace {

// A device record as a Device; null records and texts read as empty.
Device deviceFromRecord(const ox_device_t *record)
{
    if (!record)
        return Device();
    return Device(QString::fromUtf8(record->display_name ? record->display_name : ""),
                  QString::fromUtf8(record->device_id ? record->device_id : ""));
}

} // namespace

DeviceModel::DeviceModel(VoiceManager *voice, QObject *parent)
    : QAbstractListModel(parent)
    , m_voice(voice)
{
    qRegisterMetaType<Device>();
}

int DeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_devices.size();
}

QVariant DeviceModel::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (!index.isValid() || row < 0 || row >= m_devices.size()) {
        qDebug() << "DeviceModel::data"
                 << "returning qvariant()" << row << role;
        return QVariant();
    }
    const Device &device = m_devices.at(row);
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return device.first;
    case IdRole:
        return device.second;
    case DefaultRole:
        return device.second == systemDeviceId;
    default:
        qDebug() << "DeviceModel::data"
                 << "returning qvariant()" << row << role;
        return QVariant();
    }
}

QHash<int, QByteArray> DeviceModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"}, {IdRole, "id"}, {DefaultRole, "default"}, {NameRole, "name"}};
}

int DeviceModel::getRowByDeviceId(const QString &deviceId) const
{
    for (int row = 0; row < m_devices.size(); ++row) {
        if (m_devices.at(row).second == deviceId)
            return row;
    }
    return -1;
}

QString DeviceModel::getDeviceIdByRow(int row) const
{
    return row >= 0 && row < m_devices.size() ? m_devices.at(row).second : QString();
}

QString DeviceModel::getDeviceNameByRow(int row) const
{
    return row >= 0 && row < m_devices.size() ? m_devices.at(row).first : QString();
}

QString DeviceModel::getCurrentText() const
{
    return getDeviceNameByRow(m_currentIndex);
}

void DeviceModel::setCurrentDeviceById(const QString &deviceId)
{
    if (deviceId != m_lastRequestedId) {
        if (!hasDeviceId(deviceId)) {
            qWarning().noquote() << "setCurrentDeviceById() : " + deviceId + "not found. Ignoring.";
            return;
        }
        m_lastRequestedId = deviceId;
        switchSdkDevice(deviceId);
        requestDevices();
    }
    selectDevice(deviceId);
}

void DeviceModel::selectDevice(const QString &deviceId)
{
    const QString id = deviceId.isEmpty() ? systemDeviceId : deviceId;
    int row = getRowByDeviceId(id);
    if (row < 0) {
        qWarning().noquote() << "qrc: unable to set device id to " << id;
        row = getRowByDeviceId(systemDeviceId);
    }
    if (row != m_currentIndex) {
        m_currentIndex = row;
        emit currentIndexChanged(row);
        emit currentDeviceIdChanged(id);
    }
}

void DeviceModel::updateDevices(int count, ox_device_t *const *devices, const ox_device_t *currentDevice,
                                const ox_device_t *effectiveDevice, const ox_device_t *defaultDevice)
{
    const Device systemDefault = deviceFromRecord(defaultDevice);

    QVector<Device> rows;
    if (count < 0) {
        qWarning() << "DeviceModel::updateDevices"
                   << "ignoring a device count of" << count;
        count = 0;
    }
    for (int i = 0; devices && i < count; ++i) {
        const ox_device_t *record = devices[i];
        if (!record || record->device_type == 2)
            continue;
        Device device = deviceFromRecord(record);
        if (device.second == systemDeviceId) {
            device.first = QStringLiteral("Use System Selected - %1")
                               .arg(systemDefault.first.isEmpty() ? noDeviceText() : systemDefault.first);
        }
        rows.append(device);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Device &a, const Device &b) {
        const bool aSystem = a.second == systemDeviceId;
        const bool bSystem = b.second == systemDeviceId;
        if (aSystem != bSystem)
            return aSystem;
        return a.first < b.first;
    });

    const bool listChanged = rows != m_devices;
    if (listChanged) {
        if (!m_devices.isEmpty()) {
            beginRemoveRows(QModelIndex(), 0, m_devices.size() - 1);
            m_devices.clear();
            endRemoveRows();
        }
        if (!rows.isEmpty()) {
            beginInsertRows(QModelIndex(), 0, rows.size() - 1);
            m_devices = rows;
            endInsertRows();
        }
    }

    const Device effective = deviceFromRecord(effectiveDevice);
    if (effective != m_effectiveDevice) {
        m_effectiveDevice = effective;
        emit effectiveDeviceChanged(effective);
        emit effectiveDeviceIdChanged(effective.second);
    }

    selectDevice(deviceFromRecord(currentDevice).second);

    if (listChanged)
        emit deviceAddedOrRemoved();

    const bool valid = m_devices.size() > 1;
    if (valid != m_hasValidDevice) {
        m_hasValidDevice = valid;
        emit hasValidDeviceChanged(valid);
    }
}
