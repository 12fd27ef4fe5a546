#pragma once

#include <QString>
#include <QStringList>

// RuntimeSettingsFile: reads the server overrides of a RuntimeSettings.qml
// file without trusting it.
//
// The file is run by a QML engine of its own on a thread of its own, with no
// network access (remote imports and requests fail). A file whose script
// does not finish within the time limit is interrupted; the caller waits at
// most a little longer and then gives up on it. Any error leaves the result
// without values.
class RuntimeSettingsFile
{
public:
    struct Result {
        bool loaded = false; // the object was made without errors
        QString domain, applicationServer, downloadServer;
        QStringList errors; // what went wrong, one text each
    };

    static Result read(const QString &path, int timeLimitMs);
};
