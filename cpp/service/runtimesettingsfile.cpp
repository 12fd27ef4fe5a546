#include "runtimesettingsfile.h"

#include <QEventLoop>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlNetworkAccessManagerFactory>
#include <QScopedPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>

namespace {

// Lets the engine read local files only: every other request fails and is
// noted.
class LocalOnlyAccessManager : public QNetworkAccessManager
{
public:
    LocalOnlyAccessManager(QStringList *refused, QMutex *lock, QObject *parent)
        : QNetworkAccessManager(parent)
        , m_refused(refused)
        , m_lock(lock)
    {
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *data) override
    {
        const QUrl url = request.url();
        if (url.isLocalFile() || url.scheme() == QLatin1String("qrc"))
            return QNetworkAccessManager::createRequest(op, request, data);
        {
            QMutexLocker locker(m_lock);
            m_refused->append(url.toString());
        }
        return QNetworkAccessManager::createRequest(op, QNetworkRequest(QUrl(QStringLiteral("refused:"))), data);
    }

private:
    QStringList *m_refused;
    QMutex *m_lock;
};

class LocalOnlyFactory : public QQmlNetworkAccessManagerFactory
{
public:
    // The engine may ask for managers on its loader thread as well.
    QNetworkAccessManager *create(QObject *parent) override
    {
        return new LocalOnlyAccessManager(&m_refused, &m_lock, parent);
    }
    QStringList refused()
    {
        QMutexLocker locker(&m_lock);
        return m_refused;
    }

private:
    QMutex m_lock;
    QStringList m_refused;
};

// The text of a string property of the settings object; empty (with an
// error) when the property holds anything but a string.
QString stringProperty(const QObject *object, const char *name, QStringList &errors)
{
    const QVariant value = object->property(name);
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.userType() != QMetaType::QString) {
        errors << QStringLiteral("Ignoring RuntimeSettings property %1 - it is not a string but %2")
                      .arg(QLatin1String(name), QLatin1String(value.typeName()));
        return QString();
    }
    return value.toString();
}

// What the reading thread and the caller share; it lives as long as either
// still needs it, since the caller may give up on a thread that never ends.
struct Shared {
    QMutex mutex;
    QQmlEngine *engine = nullptr; // while the thread runs the file
    std::atomic<bool> abandoned{false};
    RuntimeSettingsFile::Result result;
};

void runFile(const QString &path, int timeLimitMs, const std::shared_ptr<Shared> &shared)
{
    RuntimeSettingsFile::Result result;
    {
        LocalOnlyFactory factory;
        QQmlEngine engine;
        engine.setNetworkAccessManagerFactory(&factory);
        QList<QQmlError> scriptErrors;
        QObject::connect(&engine, &QQmlEngine::warnings,
                         [&scriptErrors](const QList<QQmlError> &warnings) { scriptErrors += warnings; });
        {
            QMutexLocker locker(&shared->mutex);
            shared->engine = &engine;
        }
        QQmlComponent component(&engine, QUrl::fromLocalFile(path), QQmlComponent::PreferSynchronous);
        if (component.isLoading()) {
            // Waiting on the network, which refuses at once: the component
            // settles (as an error) before the engine goes.
            QEventLoop loop;
            QObject::connect(&component, &QQmlComponent::statusChanged, &loop, &QEventLoop::quit);
            QTimer::singleShot(timeLimitMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        QScopedPointer<QObject> settings(component.isReady() ? component.create() : nullptr);
        scriptErrors += component.errors();
        for (const QString &url : factory.refused())
            result.errors << QStringLiteral("it asks for %1 from the network").arg(url);
        if (engine.isInterrupted())
            result.errors << QStringLiteral("its script did not finish in time");
        for (const QQmlError &error : qAsConst(scriptErrors))
            result.errors << error.toString();
        if (component.isLoading())
            result.errors << QStringLiteral("it needs something from the network");
        if (settings && result.errors.isEmpty()) {
            result.domain = stringProperty(settings.data(), "domain", result.errors);
            result.applicationServer = stringProperty(settings.data(), "applicationServer", result.errors);
            result.downloadServer = stringProperty(settings.data(), "downloadServer", result.errors);
            result.loaded = true;
        } else if (result.errors.isEmpty()) {
            result.errors << QStringLiteral("no object created from %1").arg(path);
        }
        settings.reset();
        QMutexLocker locker(&shared->mutex);
        shared->engine = nullptr;
    }
    shared->result = result;
}

} // namespace

RuntimeSettingsFile::Result RuntimeSettingsFile::read(const QString &path, int timeLimitMs)
{
    auto shared = std::make_shared<Shared>();
    QThread *thread = QThread::create([path, timeLimitMs, shared] { runFile(path, timeLimitMs, shared); });
    thread->start();
    if (!thread->wait(timeLimitMs)) {
        {
            QMutexLocker locker(&shared->mutex);
            if (shared->engine)
                shared->engine->setInterrupted(true);
        }
        // An interrupted script ends at once; anything else that holds the
        // thread is given a moment more and then left behind.
        if (!thread->wait(timeLimitMs)) {
            QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
            Result gaveUp;
            gaveUp.errors << QStringLiteral("it did not finish within %1 ms; left unread").arg(2 * timeLimitMs);
            return gaveUp;
        }
    }
    delete thread;
    return shared->result;
}
