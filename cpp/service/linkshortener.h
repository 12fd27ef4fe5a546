#pragma once

#include "socialmanager.h"

#include <QUrl>

// LinkShortener: asks the link-shortening endpoint for the short form of one
// long address, as the application does when it makes shareable channel
// links.
//
// A handler for one request: the constructor posts the request through the
// web client (which must exist), and the outcome comes back as signals:
// linkShortened with the short address (empty when the answer had none) and
// then completed(), or completed() alone when the request failed. The caller
// connects completed() to deleteLater(). Main thread only.
class LinkShortener : public QSocialManager::JsonEntity
{
    Q_OBJECT

public:
    LinkShortener(const QUrl &longUrl, QObject *parent = nullptr);

    static LinkShortener *create(const QUrl &longUrl, QObject *parent = nullptr);

    // Reads "output_url" of the answer; the method name is not checked.
    bool handleReply(const QString &method, const QJsonDocument &reply) override;

signals:
    void linkShortened(const QUrl &shortLink);
    void completed();

public slots:
    void onError(const QNetworkReply::NetworkError &errorCode) override;
};
