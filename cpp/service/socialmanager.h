#pragma once

#include "jsonreplyhandler.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

class EventLogger;
class QNetworkAccessManager;
class QTimer;

// QSocialManager: the client of the web service.
//
// One instance per process, built by the application during start-up and
// reached through getInstance(). Every web method has a request operation
// here that assembles the method's fields and posts them with performQuery(),
// which adds the credentials ("sid" once the service has given one, the
// e-mail address and password before that) and the common fields, encodes
// the form body and hands the answer to the caller's reply handler, or to the
// manager's own reply dispatch when the caller gave none. It also keeps the
// analytics queue: logEvent() records an event, and the events go out one at
// a time as "LogEvent" calls, each failed send being retried every 200 ms.
// Everything runs on the main thread.
class QSocialManager : public JsonReplyHandler
{
    Q_OBJECT
public:
    // Base of the reply handlers that live for one request only.
    class JsonEntity : public JsonReplyHandler
    {
    public:
        using JsonReplyHandler::JsonReplyHandler;
    };

    // apiUrl is the full address of the web API (the application server plus
    // "/gateway.php"); it is used as given, its scheme included.
    QSocialManager(QObject *parent, const QString &apiUrl, const QString &shortLinkHost);
    ~QSocialManager() override;

    static QSocialManager *getInstance();

    // Posts one web call. A null handler means the manager's own dispatch.
    // errorReceiver's errorSlot (a SLOT() signature taking a
    // QNetworkReply::NetworkError) is told of a network error directly.
    void performQuery(const QUrl &url, const QJsonObject &params, JsonReplyHandler *handler = nullptr,
                      QObject *errorReceiver = nullptr, const char *errorSlot = nullptr);
    void clearCredentials();
    // How long a web call may go without data moving before it fails with
    // OperationCanceledError (analytics sends have their own).
    void setTransferTimeout(int ms);
    // The scheme and host of the API address.
    QString getServerBaseUrl() const;

    // The "osver" value sent with every call; taken from the platform at
    // construction.
    int osVersion() const { return m_osVersion; }
    void setOsVersion(int osVersion) { m_osVersion = osVersion; }

    // Records one analytics event. Each detail is "key:value" and becomes the
    // field "ext[key]"; details without a key are skipped.
    void logEvent(const QString &category, const QString &label, const QStringList &details);
    // Reports the SSL failure of a call, once per run.
    void logSslErrorEvent(const QStringList &errorMessages);
    // Analytics events recorded and not yet sent (the one in flight excluded).
    int queuedEventCount() const { return m_eventQueue.size(); }
    // The "ts" text of an analytics event: seconds since 1970 with three
    // decimals.
    static QString eventTimestamp(qint64 msecsSinceEpoch);

    // Web methods. Each posts one call with the given handler (null: the
    // manager's own dispatch).
    void requestLogin(const QString &email, const QString &password, JsonReplyHandler *handler = nullptr);
    void requestRelogin(const QString &reason, JsonReplyHandler *handler = nullptr);
    void requestCreateAccount(const QString &userName, const QString &email, const QString &password,
                              JsonReplyHandler *handler = nullptr, QObject *errorReceiver = nullptr,
                              const char *errorSlot = nullptr);
    void requestUserUuidExists(const QString &uuid, JsonReplyHandler *handler = nullptr);
    void requestCheckForUpdate(JsonReplyHandler *handler = nullptr);
    void requestAddUserStats(const QString &channelSocialUID, JsonReplyHandler *handler = nullptr);
    void requestUserInfoPublicByName(const QString &name, bool showInactive, int offset, int limit,
                                     JsonReplyHandler *handler = nullptr);
    void requestAcceptInvitation(const QString &notificationUID, JsonReplyHandler *handler = nullptr);
    void requestAddChannel(const QString &displayName, const QString &description, const QString &messageOfTheDay,
                           const QStringList &tags, const QString &linkEmail, const QString &linkWeb,
                           const QString &twitterTag, bool supportsCallIn, int protectionType, const QString &password,
                           const QString &parentSocialUID, bool childrenLocked, JsonReplyHandler *handler = nullptr);
    void requestEditChannel(const QString &channelSocialUID, const QString &displayName, const QString &description,
                            const QString &messageOfTheDay, const QStringList &tags, const QString &linkEmail,
                            const QString &linkWeb, const QString &twitterTag, bool supportsCallIn, int protectionType,
                            bool childrenLocked, bool updatePassword, const QString &password, bool renameImage,
                            JsonReplyHandler *handler = nullptr);
    void requestDeleteChannel(const QString &channelSocialUID, JsonReplyHandler *handler = nullptr);
    void requestChannelInfoWithOwnerInfo(const QString &channelSocialUID, JsonReplyHandler *handler = nullptr);
    void requestChannelInfoWithOwnerInfoFromLiveUID(const QString &channelLiveUID, JsonReplyHandler *handler = nullptr);
    void requestChannelInfo(const QString &channelSocialUID, JsonReplyHandler *handler = nullptr);
    void requestChannelsInHierarchy(const QString &root, JsonReplyHandler *handler = nullptr);
    void requestChannelsMatching(const QString &name, bool showInactive, int offset, int limit, const QStringList &tags,
                                 JsonReplyHandler *handler = nullptr);
    void requestChannelsOwned(JsonReplyHandler *handler = nullptr);
    void requestNotifications(const QStringList &notificationUIDs, JsonReplyHandler *handler = nullptr);
    void requestNotificationsSince(const QString &sinceNotificationUID, JsonReplyHandler *handler = nullptr);
    void requestThirdPartyChannelForUser(const QString &app, const QString &channel, const QString &user,
                                         JsonReplyHandler *handler = nullptr);
    void getUserInfoByUID(const QString &userUID, JsonReplyHandler *handler = nullptr);
    void getUserInfoByUri(const QString &uri, JsonReplyHandler *handler = nullptr);
    void requestAddContactGroup(const QString &name, JsonReplyHandler *handler = nullptr);
    void requestAddContactGroupMember(const QString &gid, const QString &mid, JsonReplyHandler *handler = nullptr);
    void requestRemoveContactGroupMember(const QString &gid, const QString &mid, JsonReplyHandler *handler = nullptr);
    void requestDeleteContactGroup(const QString &gid, JsonReplyHandler *handler = nullptr);
    void requestContactGroups(JsonReplyHandler *handler = nullptr);
    void requestChannelFavoritesList(JsonReplyHandler *handler = nullptr);
    void requestChangeChannelFavorite(const QString &channelUID, bool isFav, const QString &inviteUID,
                                      JsonReplyHandler *handler = nullptr);
    void requestChangeChannelModerator(const QString &channelUID, const QString &memberUID, bool isModerator,
                                       JsonReplyHandler *handler = nullptr);
    void requestChangeFriend(const QString &friendUID, bool setIsFriend, const QString &inviteUID,
                             JsonReplyHandler *handler = nullptr);
    // Invites a user into a saved channel, both named by SIP URI; sends
    // nothing when either is unknown to the built-in realm.
    void requestInviteUserToChannel(const QString &userURI, const QString &channelURI, const QString &customMessage,
                                    JsonReplyHandler *handler = nullptr);
    void requestInviteUsersViaEmail(const QStringList &to, const QString &customMessage, const QString &channelURI,
                                    const QString &channelUID, JsonReplyHandler *handler = nullptr);
    void requestIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                      const QString &cs, JsonReplyHandler *handler = nullptr);
    void requestIssueWithDetails(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                 const QString &cs, const QStringList &details, JsonReplyHandler *handler = nullptr);
    void setChannelPicture(const QString &channelSocialUID, const QString &fileUrl,
                           JsonReplyHandler *handler = nullptr);
    void requestSetUserCustomInfo(const QString &displayName, const QString &description, const QString &statusText,
                                  const QString &location, const QString &linkWeb, const QString &twitterName,
                                  const QString &phoneNumber, bool renameImage, JsonReplyHandler *handler = nullptr);
    void requestSetUserImage(const QString &fileUrl, JsonReplyHandler *handler = nullptr);
    void requestUpdateNotifications(const QStringList &notificationUIDs, int state,
                                    JsonReplyHandler *handler = nullptr);
    void requestRealmVerify(const QString &clientlibVersion, const QString &rid, const QString &token,
                            JsonReplyHandler *handler = nullptr);
    void requestRealmLogin(const QString &clientlibVersion, const QString &rsid, const QString &uname,
                           const QString &utok, JsonReplyHandler *handler = nullptr);
    void requestRealmContactList(const QString &clientlibVersion, const QString &rsid,
                                 JsonReplyHandler *handler = nullptr);
    void requestRealmChangeContact(const QString &clientlibVersion, const QString &rsid, const QString &t, bool isAdd,
                                   bool isBlock, JsonReplyHandler *handler = nullptr);
    void requestRealmGetChannelAuth(const QString &clientlibVersion, const QString &rsid, const QString &n,
                                    JsonReplyHandler *handler = nullptr);
    void requestRealmSendInvite(const QString &clientlibVersion, const QString &rsid, const QString &t,
                                const QString &c, const QString &cn, JsonReplyHandler *handler = nullptr);
    void requestRealmSendMessage(const QString &clientlibVersion, const QString &rsid, const QString &t,
                                 const QString &m, JsonReplyHandler *handler = nullptr);
    // Posts one request to the link-shortening endpoint "http://<host>/
    // shorturl_ajax.php" (an empty host is the manager's own) with the body
    // "u=" and the percent-encoded long address, and nothing else: no
    // credentials, no common fields, no User-Agent. method names the request
    // in the log and in the handler's handleReply call.
    void requestShortLink(const QUrl &longUrl, JsonReplyHandler *handler, const QString &method,
                          const QString &host = QString());
    // The manager's own link-shortener host; tests point it at their fake.
    QString shortLinkHost() const { return m_shortLinkHost; }
    void setShortLinkHost(const QString &host) { m_shortLinkHost = host; }

    // Squares a picture: scales it so that its shorter side is `size`, cuts
    // the centred size-by-size piece and re-encodes it in `format`. Data that
    // is not a picture (or too large to decode safely) is left unchanged.
    static void scaleImageData(QByteArray &data, int size, const QString &format);

    // The manager's own reply dispatch, for calls posted without a handler.
    // Generic steps first (error answer, session id and its expiry, the
    // analytics switch, an update offer), then the branch for the method. The
    // account methods are handled in any login state but logging out; the rest
    // only while signing in to voice or signed in. Returns false when a gate or
    // the error answer ended the call.
    bool handleReply(const QString &method, const QJsonDocument &reply) override;

    // Reply records. Each reads one record object, emits it as one signal and
    // keeps nothing. A text field of another JSON type reads as empty.

    // Emits receivedChannelInfo unless "ChannelLiveURI" is JSON null; returns
    // the record's "ChannelLiveURI" text as sent.
    QString processChannelInfo(const QJsonObject &record);
    // One user found by a search: announced through processUserInfo unless
    // its URI is null or is the local user's own. Returns the URI as sent, or
    // empty when nothing was announced.
    QString handleUserInfoEntry(const QJsonObject &record);

signals:
    void logEventQueued();
    void errorResponse(const QString &errorMessage);
    void createAccountFailed(const QString &errorMessage);
    void createAccountSucceeded();
    void checkUsernameResponse(const QString &response);
    void sessionExpired();
    void sslErrors(const QStringList &errorMessages);
    void addChannelFailed();
    void channelAdded(const QString &channelURI, const QString &channelUID, const QString &channelOwnerUID,
                      const QString &parentChannelUID, const QString &channelDisplayName, bool isPublic,
                      bool hasPassword, const QString &channelImageURI, const QString &channelDialinCode,
                      const QString &channelMessage, const QString &channelDescription, const QString &lastOn);
    void channelUpdated(const QString &channelURI, const QString &channelUID, const QString &channelOwnerUID,
                        const QString &parentChannelUID, const QString &channelDisplayName, bool isPublic,
                        bool hasPassword, const QString &channelImageURI, const QString &channelDialinCode,
                        const QString &channelMessage, const QString &channelDescription, bool hasChildren,
                        const QString &lastOn);
    void editChannelFailed();
    void ownedChannelDeleted(const QString &channelURI);
    void beginChannelSearchResponse();
    void receivedChannelSearchResult(const QString &channelURI, const QString &channelUID,
                                     const QString &channelDisplayName, const QString &channelImageURI,
                                     const QString &channelMessage, const QString &channelDescription, bool isPublic,
                                     bool hasPassword, const QString &channelDialinCode, const QString &channelOwnerUID,
                                     const QString &channelParentUID, bool hasChildren, const QString &lastOn);
    void endChannelSearchResponse(bool hasMoreResults);
    void userPictureUpdated(const QString &userURI, const QString &userPictureURI);
    void notificationReceived(const QString &notificationUID, const QString &fromUserUID, const QString &fromUserName,
                              const QString &channelUID, const QString &channelDisplayName,
                              const QString &notificationType, const QString &notificationState,
                              const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                              const QString &userEmail);
    void receivedChannelInfo(const QString &channelURI, const QString &channelUID, const QString &channelDisplayName,
                             const QString &channelImageURI, const QString &channelMessage,
                             const QString &channelDescription, bool isPublic, bool hasPassword,
                             const QString &channelDialinCode, const QString &channelOwnerUID,
                             const QString &channelParentUID, bool hasChildren, const QString &lastOn,
                             const QString &ancestralRootLiveUID);
    void accessibilityHelpURL(const QString &helpURL);
    void loginSuccess(const QString &sipURI, const QString &email, const QString &socialUID, const QString &userUname,
                      const QString &displayName, const QString &profileImageURI, const QString &location,
                      const QString &tagline, const QString &description);
    void socialLoginFailed(const QString &reason);
    // The latest web login of the manager's own failed at network level (no
    // answer in time, connection refused or lost): worth trying again.
    void socialLoginUnreachable();
    void updateAvailable(const QString &updateVersion, const QString &updateLink, const QString &updateMessage);
    void noUpdateAvailable();
    void userInfoReceived(const QString &userURI, const QString &userEmail, const QString &userUID,
                          const QString &userDisplayName, const QString &userUUID, const QString &userImageURI,
                          const QString &userLocation, const QString &userTagline, const QString &userDescription,
                          const QDateTime &userLastOnline, const QString &userHomeChannelURI);
    void ownedChannelsReceived(const QStringList &channelURIs, const QStringList &channelDisplayNames);
    void friendsListReceived(const QStringList &friendUIDs);
    void sendEmailResponse(const QString &message);
    void defaultChannelReceived(const QString &channelURI, const QString &channelUID,
                                const QString &channelDisplayName);
    void availableDialinNumbersChanged(const QStringList &dialinNumbers);
    void channelFavoriteChanged(const QString &channelURI, bool wasAdded);
    void channelFavoritesBegin();
    void channelFavoriteReceived(const QString &favoriteChannelUri);
    void channelFavoritesEnd();
    void contactGroupsBegin();
    void contactGroupInfoReceived(const QString &groupID, const QString &groupName);
    void contactGroupMemberChanged(const QString &groupID, const QString &userUID, const QString &userURI,
                                   bool isInGroup);
    void contactGroupsEnd();
    void contactGroupRemoved(const QString &groupID);
    void friendListRequiresUpdate();
    void inviteUsersResponses(const QMap<QString, QStringList> &responsesByStatus);
    void participantCountReceived(const QString &channelURI, int participantCount);

public slots:
    void onDoNotLogChanged(bool doNotLog);

protected slots:
    void onEventQueued();
    void onEventQueuedNext();
    void onSslErrors(const QStringList &errorMessages);
    void onEventSendErrored(int errorCode);
    void onError(const QNetworkReply::NetworkError &errorCode) override;

private slots:
    void onEventSendComplete();

protected:
    // The web session id that the service handed out; empty before the first
    // answer that carries one and after the credentials were cleared.
    void setSessionId(const QString &sessionId) { m_sessionId = sessionId; }
    // How long one analytics send may take before it counts as failed.
    void setEventTransferTimeout(int ms) { m_eventTransferTimeoutMs = ms; }
    // The count of retries the event last sent has had.
    void setEventRetryCount(int count) { m_retryCount = count; }

    // Emits receivedChannelSearchResult (unless "ChannelLiveURI" is JSON
    // null), then always processChannelInfo: a search result is announced as
    // channel information too.
    void processChannelSearchResult(const QJsonObject &record);
    // Emits notificationReceived for any record, even one without fields.
    void processNotification(const QJsonObject &record);
    // processNotification for every element of the reply's "v" array.
    void extractNotifications(const QJsonObject &reply);
    // Emits userInfoReceived unless "UserLiveURI" is JSON null.
    void processUserInfo(const QJsonObject &record);
    // A picture location given as a path on the server's file system becomes
    // an address under the server base; anything else stays as it is.
    QString serverImageUrl(const QString &picture) const;
    // A monotonic clock in milliseconds, for spacing the log lines of retries.
    virtual qint64 monotonicMs() const;

private:
    // The generic steps of the dispatch. handleErrorAnswer returns true for
    // an error answer, which ends the call.
    bool handleErrorAnswer(const QString &method, const QJsonDocument &reply, QString &errorText, QString &reasonText);
    void handleSessionId(const QJsonDocument &reply);
    void handleLoggingAndUpdateOffer(const QJsonDocument &reply);
    // The branches of the account methods.
    bool handleLoginReply(const QJsonDocument &reply, const QString &errorText, const QString &reasonText);
    void applySettingsOverrides(const QJsonValue &overrides);
    bool handleSetUserCustomInfoReply(const QJsonDocument &reply);
    bool handleDialinNumbersReply(const QJsonDocument &reply);
    bool handleUserUuidExistsReply(const QJsonDocument &reply);
    bool handleCheckForUpdateReply(const QJsonDocument &reply);

    // The branches behind the login gate, one per method (some serve two
    // methods and tell them apart by the method text).
    using ReplyBranch = bool (QSocialManager::*)(const QString &method, const QJsonDocument &reply);
    static ReplyBranch gatedBranch(const QString &method);

    // Channels.
    bool handleChannelsMatchingReply(const QString &method, const QJsonDocument &reply);
    bool handleDefaultChannelsReply(const QString &method, const QJsonDocument &reply);
    bool handleChannelsInHierarchyReply(const QString &method, const QJsonDocument &reply);
    bool handleChannelsOwnedReply(const QString &method, const QJsonDocument &reply);
    bool handleChannelsOwnedByReply(const QString &method, const QJsonDocument &reply);
    bool handleAddChannelReply(const QString &method, const QJsonDocument &reply);
    bool handleEditChannelReply(const QString &method, const QJsonDocument &reply);
    bool handleDeleteChannelReply(const QString &method, const QJsonDocument &reply);
    bool handleChannelInfoReply(const QString &method, const QJsonDocument &reply);
    bool handleChannelFavoritesReply(const QString &method, const QJsonDocument &reply);
    bool handleChangeChannelFavoriteReply(const QString &method, const QJsonDocument &reply);
    bool handleParticipantCountReply(const QString &method, const QJsonDocument &reply);
    bool handleThirdPartyChannelReply(const QString &method, const QJsonDocument &reply);
    bool handleUnclaimedReply(const QString &method, const QJsonDocument &reply);
    // The voice service's address of the permanent channel with this number.
    QString permanentChannelAddress(const QString &channelNumber) const;

    // Friends, invitations, contact groups, users and notifications.
    bool handleFriendsListReply(const QString &method, const QJsonDocument &reply);
    bool handleChangeFriendReply(const QString &method, const QJsonDocument &reply);
    bool handleInviteUserToChannelReply(const QString &method, const QJsonDocument &reply);
    bool handleInviteUsersViaEmailReply(const QString &method, const QJsonDocument &reply);
    bool handleSendEmailReply(const QString &method, const QJsonDocument &reply);
    bool handleContactGroupsReply(const QString &method, const QJsonDocument &reply);
    bool handleContactGroupInfoReply(const QString &method, const QJsonDocument &reply);
    bool handleContactGroupDeletedReply(const QString &method, const QJsonDocument &reply);
    bool handleContactGroupMemberReply(const QString &method, const QJsonDocument &reply);
    bool handleUserRecordReply(const QString &method, const QJsonDocument &reply);
    bool handleSetUserImageReply(const QString &method, const QJsonDocument &reply);
    bool handleNotificationsReply(const QString &method, const QJsonDocument &reply);
    bool handleUpdateNotificationsReply(const QString &method, const QJsonDocument &reply);

    // A quiet post logs neither its request nor its outcome. transferTimeoutMs
    // > 0 fails the request with OperationCanceledError when no data moves for
    // that long.
    QNetworkReply *postQuery(const QUrl &url, const QJsonObject &params, JsonReplyHandler *handler,
                             QObject *errorReceiver, const char *errorSlot, bool withCredentials, bool quiet = false,
                             int transferTimeoutMs = 0);
    // Logs that the event being retried was sent or given up, when it was retried at all.
    void logRetriedEventOutcome(const char *outcome);
    QJsonObject newEvent(const QString &category, const QString &label);
    static void addDetailFields(QJsonObject &fields, const QStringList &details);
    void post(const QJsonObject &fields, JsonReplyHandler *handler);
    // Reads a picture file given as a URL text into fileNameKey and the
    // squared picture's Base64 text into dataKey.
    void addPictureFields(QJsonObject &fields, const QString &fileUrl, const QString &fileNameKey,
                          const QString &dataKey);

    QString m_apiUrl;
    QString m_shortLinkHost;
    QNetworkAccessManager *m_networkManager;
    QString m_email;
    QString m_sessionId;
    QString m_clientGuid;
    int m_eventIndex = 0;
    QList<QJsonObject> m_eventQueue;
    QTimer *m_eventTimer;
    bool m_doNotLog = false;
    bool m_sslErrorReported = false;
    QString m_password;
    int m_reloginCount = 0;
    EventLogger *m_eventLogger;
    QJsonObject m_lastEvent;
    int m_retryCount = 0;
    // When the last line about the retries of m_lastEvent was logged.
    qint64 m_retryLoggedAtMs = 0;
    // An analytics send is on the wire; the next one waits for its outcome.
    bool m_eventSendInFlight = false;
    // A send never answered would otherwise hold up every later event.
    int m_eventTransferTimeoutMs = 30000;
    // Counts the manager's own web logins, so that only the latest one's
    // failure is reported.
    int m_loginAttempt = 0;
    int m_osVersion;
};
