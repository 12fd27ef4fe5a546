#pragma once

#include "systeminfo.h"

// DmiSystemInfo: fills the manufacturer and model from the firmware's DMI
// tables ("sys_vendor" and "product_name" in dmiFolder) when it is made. A
// value that cannot be read stays empty and leaves one critical log line;
// control characters in the firmware's strings are dropped.
class DmiSystemInfo : public SystemInfo
{
    Q_OBJECT

public:
    static QString defaultDmiFolder();

    explicit DmiSystemInfo(const QString &dmiFolder = defaultDmiFolder(), QObject *parent = nullptr);
    ~DmiSystemInfo() override;
};
