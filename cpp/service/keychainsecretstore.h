#pragma once

#include "secretstore.h"

// The desktop's secret service (GNOME Keyring, KWallet and the like) through
// QtKeychain. Counts as unavailable when no such service is registered on the
// session bus, so that a headless machine never waits for one.
class KeychainSecretStore : public SecretStore
{
public:
    // service: the name the entries are filed under in the secret service.
    explicit KeychainSecretStore(const QString &service);

    Result read(const QString &name, QString *secret) override;
    Result write(const QString &name, const QString &secret) override;
    Result remove(const QString &name) override;

private:
    bool isAvailable();

    QString m_service;
    int m_available = -1; // unknown until first asked
};
