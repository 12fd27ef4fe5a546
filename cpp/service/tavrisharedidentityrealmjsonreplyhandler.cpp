#include "tavrisharedidentityrealmjsonreplyhandler.h"

#include "socialmanager.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>

namespace {

// Fields of the wrong type read as empty text or 0, like missing ones.
QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 17);
    return QString();
}

int number(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isDouble())
        return value.toInt();
    if (value.isString())
        return value.toString().toInt();
    return 0;
}

// The user names and SIP URIs of a list of user records, in order.
void readUsers(const QJsonValue &list, QStringList &uris, QStringList &names,
               TavriSharedIdentityRealmJsonReplyHandler *handler)
{
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject user = entry.toObject();
        const QString name = text(user, "username");
        const QString uri = text(user, "sip_uri");
        if (!name.isEmpty() && !uri.isEmpty())
            emit handler->nameUriMapped(name, uri);
        uris.append(uri);
        names.append(name);
    }
}

} // namespace

TavriSharedIdentityRealmJsonReplyHandler::TavriSharedIdentityRealmJsonReplyHandler(QObject *parent)
    : JsonReplyHandler(parent)
{
}

bool TavriSharedIdentityRealmJsonReplyHandler::handleReply(const QString &method, const QJsonDocument &reply)
{
    const QJsonObject object = reply.object();
    if (!object.isEmpty() && text(object, "status") == QLatin1String("ERR")) {
        const QStringList details{QStringLiteral("m:") + text(object, "msg"),
                                  QStringLiteral("r:") + text(object, "reason")};
        qCritical() << "Error: SocialResponse" << details;
        if (QSocialManager *social = QSocialManager::getInstance())
            social->logEvent(QStringLiteral("Error"), QStringLiteral("SocialResponse"), details);
        return false;
    }

    const QJsonValue rsid = object.value(QLatin1String("rsid"));
    if (rsid.isUndefined() || rsid.isNull()) {
        qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::handleReply" << method
                 << "expected realmSessionId, but wasn't received...";
        return false;
    }
    emit sessionTokenReceived(text(object, "rsid"));

    if (method == QLatin1String("RealmVerify")) {
        emit realmVerified(text(object, "realm_display_name"));
        emit realmInfoReceived(text(object, "realm_display_name"), text(object, "realm_url"),
                               text(object, "realm_icon_uri"), text(object, "realm_description"));
    } else if (method == QLatin1String("RealmLogin")) {
        const QString name = text(object, "realm_user_uname");
        const QString icon = text(object, "realm_user_icon_uri");
        const QString uri = text(object, "realm_user_uri");
        qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::handleReply"
                 << "RealmLogin successful:" << name << icon << uri << "<hidden>";
        emit userIconReceived(icon);
        emit loginVerified(name, uri, text(object, "auth_token"));
    } else if (method == QLatin1String("RealmChangeContact")) {
        const int status = number(object, "status");
        const bool success = status == 200;
        const QString action = text(object, "action");
        const QString target = text(object, "target");
        const QString name = text(object, "name");
        const QString uri = text(object, "uri");
        if (!name.isEmpty() && !uri.isEmpty())
            emit nameUriMapped(name, uri);
        const bool remove = action == QLatin1String("del");
        if (text(object, "list") == QLatin1String("block")) {
            if (remove)
                emit userUnblocked(target, success);
            else
                emit userBlocked(target, success);
        } else if (remove) {
            emit contactRemoved(target, success);
        } else {
            emit contactAdded(target, success, status == 403);
        }
    } else if (method == QLatin1String("RealmContactList")) {
        QStringList uris;
        QStringList names;
        readUsers(object.value(QLatin1String("contacts")), uris, names, this);
        emit contactListReceived(uris, names);
        QStringList blockedUris;
        QStringList blockedNames;
        readUsers(object.value(QLatin1String("blocked")), blockedUris, blockedNames, this);
        emit blockListReceived(blockedUris, blockedNames);
        qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::handleReply"
                 << "sent RealmContactList response..." << uris.size() << "contacts," << blockedUris.size()
                 << "blocked";
    } else if (method == QLatin1String("RealmUserInfo")) {
        if (number(object, "status") != 200) {
            emit userNotFound(text(object, "t"));
        } else {
            const QString uri = text(object, "sip_uri");
            const QString name = text(object, "username");
            emit userInfoReceived(uri, name);
            if (!uri.isEmpty() && !name.isEmpty())
                emit nameUriMapped(name, uri);
        }
    } else if (method == QLatin1String("RealmGetChannelAuth")) {
        if (number(object, "status") == 200) {
            emit channelAccessInfoReceived(text(object, "name"), text(object, "sip_uri"), text(object, "vat"));
        } else {
            // Without an answer the join by name would wait for ever.
            emit channelAccessDenied(text(object, "name"));
        }
    } else {
        qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::handleReply"
                 << "No action taken for " << method;
    }
    return false;
}

void TavriSharedIdentityRealmJsonReplyHandler::onError(const QNetworkReply::NetworkError &errorCode)
{
    qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::onError"
             << "failed to execute server command:" << errorCode;
}
