#pragma once

#include <QString>

// SecretStore: a place for saved passwords outside the settings file.
//
// StorageManager keeps the saved sign-in password and remembered channel
// passwords here when a store is available, and in its owner-only settings
// file otherwise. Names are "<settings group>/<key>", or the key alone for
// keys outside any group. Calls are synchronous; main thread only.
class SecretStore
{
public:
    enum Result {
        Done,        // read: found; write and remove: done
        NotFound,    // read and remove: no entry of that name
        Unavailable, // no store to talk to
        Refused,     // the store answered with an error
    };

    virtual ~SecretStore() = default;

    virtual Result read(const QString &name, QString *secret) = 0;
    virtual Result write(const QString &name, const QString &secret) = 0;
    virtual Result remove(const QString &name) = 0;
};
