#include "keychainsecretstore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

#include <qt5keychain/keychain.h>

#include <memory>

namespace {

// A secret service that does not answer within this time counts as unavailable.
constexpr int kJobTimeoutMs = 10000;

struct JobOutcome {
    bool finished = false;
    QKeychain::Error error = QKeychain::OtherError;
    QString text;
};

// Starts job (which deletes itself when done) and waits for it.
std::shared_ptr<JobOutcome> runJob(QKeychain::Job *job)
{
    auto outcome = std::make_shared<JobOutcome>();
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [outcome, &loop](QKeychain::Job *done) {
        outcome->finished = true;
        outcome->error = done->error();
        if (auto *reading = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            outcome->text = reading->textData();
        loop.quit();
    });
    QTimer::singleShot(kJobTimeoutMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    if (!outcome->finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return outcome;
}

SecretStore::Result resultOf(const JobOutcome &outcome)
{
    if (!outcome.finished)
        return SecretStore::Unavailable;
    switch (outcome.error) {
    case QKeychain::NoError:
        return SecretStore::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return SecretStore::Unavailable;
    default:
        return SecretStore::Refused;
    }
}

} // namespace

KeychainSecretStore::KeychainSecretStore(const QString &service)
    : m_service(service)
{
}

bool KeychainSecretStore::isAvailable()
{
    if (m_available < 0) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
        m_available = 0;
        for (const char *service : {"org.freedesktop.secrets", "org.kde.kwalletd5", "org.kde.kwalletd6"}) {
            if (names && names->isServiceRegistered(QString::fromLatin1(service)).value())
                m_available = 1;
        }
    }
    return m_available == 1;
}

SecretStore::Result KeychainSecretStore::read(const QString &name, QString *secret)
{
    if (!isAvailable())
        return Unavailable;
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(name);
    const auto outcome = runJob(job);
    const Result result = resultOf(*outcome);
    if (result == Done)
        *secret = outcome->text;
    return result;
}

SecretStore::Result KeychainSecretStore::write(const QString &name, const QString &secret)
{
    if (!isAvailable())
        return Unavailable;
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(name);
    job->setTextData(secret);
    return resultOf(*runJob(job));
}

SecretStore::Result KeychainSecretStore::remove(const QString &name)
{
    if (!isAvailable())
        return Unavailable;
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(name);
    return resultOf(*runJob(job));
}
