#pragma once

#include <QObject>
#include <QString>

// The single owner of the voice SDK: server settings of the voice and web
// services. Lives on the main thread; created by the application object after
// the settings service and reached through getInstance().
class VoiceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int minimumPort READ getMinimumPort WRITE setMinimumPort)
    Q_PROPERTY(int maximumPort READ getMaximumPort WRITE setMaximumPort)
    Q_PROPERTY(QString applicationServer READ applicationServer)
    Q_PROPERTY(QString downloadServer READ downloadServer)
    Q_PROPERTY(QString domain READ domain CONSTANT)
    Q_PROPERTY(bool isDefaultDomain READ isDefaultDomain CONSTANT)

public:
    VoiceManager(int sdkLogLevel, const QString &applicationDirPath, bool useDevelopmentServers,
                 QObject *parent = nullptr);
    ~VoiceManager() override;

    // The instance, or null before construction and after shutdown.
    static VoiceManager *getInstance();

    // The voice domains of the two server modes.
    static QString defaultDomain(bool useDevelopmentServers);

    // The connector's server address: "https://", "www." for a domain of
    // fewer than four labels, the domain and "/api2".
    QString connectorUrl() const;

    QString applicationServer() const { return m_applicationServer; }
    QString downloadServer() const { return m_downloadServer; }
    QString domain() const { return m_domain; }
    bool isDefaultDomain() const { return m_isDefaultDomain; }
    int getMinimumPort() const { return m_minimumPort; }
    void setMinimumPort(int port) { m_minimumPort = port; }
    int getMaximumPort() const { return m_maximumPort; }
    void setMaximumPort(int port) { m_maximumPort = port; }

private:
    void loadServerSettings(const QString &applicationDirPath, bool useDevelopmentServers);

    int m_minimumPort = 0;
    int m_maximumPort = 0;
    QString m_applicationServer;
    QString m_downloadServer;
    QString m_domain;
    bool m_isDefaultDomain = true;
};
