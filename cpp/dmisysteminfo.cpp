#include "dmisysteminfo.h"

#include <QDebug>

#include "machinedescription.h"

namespace {

// Firmware strings are free text; line breaks, escapes and the like would
// break a report's "key:value" lines.
QString printable(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar ch : value) {
        if (ch.isPrint())
            out.append(ch);
    }
    return out.trimmed();
}

} // namespace

QString DmiSystemInfo::defaultDmiFolder()
{
    return host::MachineDescription::defaultDmiFolder();
}

DmiSystemInfo::DmiSystemInfo(const QString &dmiFolder, QObject *parent)
    : SystemInfo(parent)
{
    const host::MachineDescription::Result result = host::MachineDescription::read(dmiFolder);
    if (result.error != 0) {
        qCritical().noquote() << "Failed to read the system description in" << dmiFolder
                              << "Error code = 0x" + QString::number(result.error, 16);
    }
    m_systemManufacturer = printable(result.manufacturer);
    qDebug() << "Manufacturer : " << m_systemManufacturer;
    m_systemModel = printable(result.model);
    qDebug() << "Model : " << m_systemModel;
}

DmiSystemInfo::~DmiSystemInfo() = default;
