#pragma once

#include "jsonreplyhandler.h"

#include <QStringList>

// TavriSharedIdentityRealmJsonReplyHandler: receives the web service's
// replies to an external application's realm and turns each into signals.
//
// One per realm, a child of it, passed as the handler of every realm web
// request. It keeps no state: the realm's slots of the same names (with
// "on") act on the signals. GUI thread only.
class TavriSharedIdentityRealmJsonReplyHandler : public JsonReplyHandler
{
    Q_OBJECT
public:
    explicit TavriSharedIdentityRealmJsonReplyHandler(QObject *parent = nullptr);

    // Never claims the reply (always false).
    bool handleReply(const QString &method, const QJsonDocument &reply) override;

public slots:
    void onError(const QNetworkReply::NetworkError &errorCode) override;

signals:
    void sessionTokenReceived(const QString &sessionToken);
    void realmVerified(const QString &displayName);
    void realmInfoReceived(const QString &realmDisplayName, const QString &realmURL, const QString &realmIconURL,
                           const QString &realmDescription);
    void loginVerified(const QString &userDisplayName, const QString &userSipURI, const QString &ostrelLoginToken);
    void contactAdded(const QString &contact, bool success, bool wasBlocked);
    void contactRemoved(const QString &contact, bool success);
    void userBlocked(const QString &contact, bool success);
    void userUnblocked(const QString &contact, bool success);
    void contactListReceived(const QStringList &contactURIs, const QStringList &contactNames);
    void blockListReceived(const QStringList &contactURIs, const QStringList &contactNames);
    void userInfoReceived(const QString &userURI, const QString &username);
    void userNotFound(const QString &originalTarget);
    void channelAccessInfoReceived(const QString &channelName, const QString &channelUri, const QString &channelToken);
    void channelAccessDenied(const QString &channelName);
    // The icon address of the user a RealmLogin reply names; comes just
    // before loginVerified.
    void userIconReceived(const QString &iconURL);
    void nameUriMapped(const QString &contactName, const QString &contactURI);
};
