#include "voicemanager.h"

#include <QDebug>
#include <QFile>
#include <QList>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlError>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>

namespace {

// Read by the SDK's notification thread, written on the main thread.
std::atomic<VoiceManager *> s_instance{nullptr};

const char kProductionDomain[] = "voice.tavri.net";
const char kDevelopmentDomain[] = "voice-dev.tavri.net";
const char kDevelopmentWebHost[] = "dev.tavri.net";
const char kDownloadHost[] = "www.tavri.net";

// A server address from RuntimeSettings.qml: a value that names its scheme
// is kept as it is, any other gets "https://" in front.
QString serverAddress(const QString &value)
{
    if (value.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || value.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return value;
    return QStringLiteral("https://") + value;
}

// The text of a string property of the settings object; empty (with a
// warning) when the property holds anything but a string.
QString stringProperty(const QObject *object, const char *name, const QString &path)
{
    const QVariant value = object->property(name);
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.userType() != QMetaType::QString) {
        qWarning() << "Ignoring RuntimeSettings property" << name << "of" << path
                   << "- it is not a string but" << value.typeName();
        return QString();
    }
    return value.toString();
}

} // namespace

VoiceManager::VoiceManager(int sdkLogLevel, const QString &applicationDirPath, bool useDevelopmentServers,
                           QObject *parent)
    : QObject(parent)
{
    qDebug() << "VoiceManager::VoiceManager" << applicationDirPath << sdkLogLevel;
    s_instance.store(this);
    loadServerSettings(applicationDirPath, useDevelopmentServers);
}

VoiceManager::~VoiceManager()
{
    VoiceManager *self = this;
    s_instance.compare_exchange_strong(self, nullptr);
}

VoiceManager *VoiceManager::getInstance()
{
    return s_instance.load();
}

QString VoiceManager::defaultDomain(bool useDevelopmentServers)
{
    return QString::fromLatin1(useDevelopmentServers ? kDevelopmentDomain : kProductionDomain);
}

void VoiceManager::loadServerSettings(const QString &applicationDirPath, bool useDevelopmentServers)
{
    Q_UNUSED(applicationDirPath)
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DataLocation)
                         + QStringLiteral("/RuntimeSettings.qml");
    qDebug() << "Checking for local override settings" << path;

    const QString defaultVoiceDomain = defaultDomain(useDevelopmentServers);
    m_domain = defaultVoiceDomain;
    m_applicationServer = QStringLiteral("https://social.") + m_domain;
    m_downloadServer = QStringLiteral("https://")
                       + QString::fromLatin1(useDevelopmentServers ? kDevelopmentWebHost : kDownloadHost);

    if (QFile::exists(path)) {
        // A file that does not load cleanly (syntax or script errors) changes
        // nothing: half-applied server settings would be worse than none.
        QQmlEngine engine;
        QList<QQmlError> scriptErrors;
        connect(&engine, &QQmlEngine::warnings, this,
                [&scriptErrors](const QList<QQmlError> &warnings) { scriptErrors += warnings; });
        QQmlComponent component(&engine, QUrl::fromLocalFile(path));
        QScopedPointer<QObject> settings(component.isReady() ? component.create() : nullptr);
        scriptErrors += component.errors();
        if (!settings || !scriptErrors.isEmpty()) {
            for (const QQmlError &error : qAsConst(scriptErrors))
                qWarning() << "RuntimeSettings.qml ignored:" << error.toString();
            if (scriptErrors.isEmpty())
                qWarning() << "RuntimeSettings.qml ignored: no object created from" << path;
        } else {
            const QString domain = stringProperty(settings.data(), "domain", path);
            const QString applicationServer = stringProperty(settings.data(), "applicationServer", path);
            const QString downloadServer = stringProperty(settings.data(), "downloadServer", path);
            if (!domain.isEmpty()) {
                m_domain = domain;
                qDebug() << "Using RuntimeSettings domain" << m_domain;
            }
            if (!applicationServer.isEmpty()) {
                m_applicationServer = serverAddress(applicationServer);
                qDebug() << "Using RuntimeSettings applicationServer" << m_applicationServer;
            }
            if (!downloadServer.isEmpty()) {
                m_downloadServer = serverAddress(downloadServer);
                qDebug() << "Using RuntimeSettings downloadServer" << m_downloadServer;
            }
        }
    }

    m_isDefaultDomain = (m_domain == defaultVoiceDomain);
}

QString VoiceManager::connectorUrl() const
{
    static const QRegularExpression fourLabels(QStringLiteral("^.+\\..+\\..+\\..+$"));
    QString url = QStringLiteral("https://");
    if (!fourLabels.match(m_domain).hasMatch())
        url += QStringLiteral("www.");
    return url + m_domain + QStringLiteral("/api2");
}
