#include "systeminfo.h"

SystemInfo::SystemInfo(QObject *parent)
    : QObject(parent)
{
}

SystemInfo::~SystemInfo() = default;
