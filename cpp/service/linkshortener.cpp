#include "linkshortener.h"

#include "logcategories.h"
#include "reportassertionfailure.h"

#include <QJsonObject>

LinkShortener::LinkShortener(const QUrl &longUrl, QObject *parent)
    : QSocialManager::JsonEntity(parent)
{
    QSocialManager *manager = QSocialManager::getInstance();
    if (!TAVRI_CHECK(manager)) {
        // Still end with completed(), once the caller has connected to it, so
        // that it is cleaned up like after a failed request.
        QMetaObject::invokeMethod(this, &LinkShortener::completed, Qt::QueuedConnection);
        return;
    }
    // An empty host is the manager's link-shortener host: the deployment has
    // one, shared by the manager and this class.
    manager->requestShortLink(longUrl, this, QStringLiteral("requestShortLink"), QString());
}

LinkShortener *LinkShortener::create(const QUrl &longUrl, QObject *parent)
{
    return new LinkShortener(longUrl, parent);
}

bool LinkShortener::handleReply(const QString &, const QJsonDocument &reply)
{
    const QUrl shortLink(reply.object().value(QStringLiteral("output_url")).toString(), QUrl::TolerantMode);
    emit linkShortened(shortLink);
    emit completed();
    return true;
}

void LinkShortener::onError(const QNetworkReply::NetworkError &errorCode)
{
    qCDebug(ssint) << "LinkShortener::onError" << int(errorCode) << "could not generate link shortener";
    emit completed();
}
