#pragma once

#include <QString>

namespace host {

// The computer's manufacturer and model from the firmware's DMI tables,
// which Linux exposes as world-readable sysfs files. Blocking file reads;
// call from any thread.
class MachineDescription
{
public:
    struct Result {
        QString manufacturer;
        QString model;
        // 0, or the errno of the first file that could not be read.
        int error = 0;
    };

    static QString defaultDmiFolder();

    // Reads "sys_vendor" and "product_name" in dmiFolder, trimmed. A file
    // that cannot be read leaves its value empty and sets error.
    static Result read(const QString &dmiFolder = defaultDmiFolder());

private:
    MachineDescription() = delete;
};

} // namespace host
