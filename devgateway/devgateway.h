#pragma once

// DevGateway: a local stand-in for the web service, for development and tests.
//
// Answers the client's form posts on "gateway.php" (always HTTP 200 with a JSON
// object; failures are ERR objects), the link shortener and stored pictures,
// keeping accounts, sessions, friends, channels and notifications in a
// DevGatewayStore. Lives on the thread that creates it; the HTTP layer hands it
// each request there. One line per call goes to stdout when logging is on, with
// passwords, tokens and picture data masked.

#include "devgatewaystore.h"
#include "gatewayhttpserver.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

struct DevGatewayOptions {
    QString listenAddress = QStringLiteral("127.0.0.1");
    quint16 port = 8088;
    QString domain = QStringLiteral("dev.tavri.test");
    QString databasePath = QStringLiteral("devgateway.sqlite");
    bool seed = false;
    int sessionTtlSeconds = 30 * 24 * 60 * 60; // idle time after which a session ends; 0: never
    int readTimeoutSeconds = 5;                // a stalled peer is dropped after this long
    int bodyTimeoutSeconds = 60;               // a whole request body must arrive within this long
    int maxStoredEvents = 10000;               // analytics events kept, the oldest dropped; 0: all
    QString offerVersion, offerLink;
    QList<QPair<QString, QString>> settingsOverrides;
    bool analytics = true;
    int voiceWorldPort = -1; // the shared voice world's loopback port; -1: none, 0: any free one
    bool logCalls = true;
    // PBKDF2 rounds for passwords hashed from now on; tests lower it to stay quick.
    int passwordRounds = DevGatewayStore::DefaultPasswordRounds;
    // Failed sign-ins before an account, or an address, must wait signInLockSeconds between guesses.
    int signInFailuresPerAccount = 5;
    int signInFailuresPerAddress = 20;
    int signInLockSeconds = 60;
};

class VoiceWorld;

class DevGateway : public QObject
{
    Q_OBJECT
public:
    explicit DevGateway(const DevGatewayOptions &options, QObject *parent = nullptr);
    ~DevGateway() override;

    // Opens the store (and seeds it when asked) and starts listening.
    bool start(QString *error);
    // Closes the store at once, whatever the HTTP workers are waiting for:
    // the way out on a signal, when the process ends without waiting for them.
    void closeStore();
    quint16 port() const;
    quint16 voiceWorldPort() const; // 0 without a voice world
    // The client's RuntimeSettings.qml pointing at a gateway with these options on port.
    static QString runtimeSettings(const DevGatewayOptions &options, quint16 port);

    // Answers one HTTP request; public so that tests can drive it without sockets.
    GatewayHttpResponse handleHttp(const GatewayHttpRequest &request);

    // Splits an urlencoded body on '&' (skipping empty pairs) and at the first
    // '=', turning '+' into a space and decoding percent escapes: as bytes,
    // and as UTF-8 text.
    static QList<QPair<QByteArray, QByteArray>> parseFormBytes(const QByteArray &body);
    static QList<QPair<QString, QString>> parseForm(const QByteArray &body);
    // The methods that name a channel, and the form fields that name it.
    QHash<QString, QStringList> channelMethods() const;

private:
    struct Call {
        QString method;
        QHash<QString, QString> fields; // the last value of each key wins
        QHash<QString, QByteArray> raw; // the same values as sent, before UTF-8 decoding
        QString host;                   // for absolute picture and link URLs
        qint64 me = 0;                  // the authenticated account, 0 for open methods
        QString address;                // the peer's address, for sign-in throttling
        // Missing fields read as empty (never null) text, so they bind as '' in SQL.
        QString field(const QString &key) const { return fields.value(key, QString(QLatin1String(""))); }
        bool has(const QString &key) const { return fields.contains(key); }
        QByteArray rawField(const QString &key) const { return raw.value(key); }
    };
    using Method = QJsonObject (DevGateway::*)(Call &);

    QJsonObject dispatch(Call &call);
    QJsonObject authenticate(Call &call); // empty on success, else the answer
    // Checks an e-mail and password: the account's id, or 0 with the refusal
    // in *refusal. Counts failures per account and per address, refusing
    // without a check while either must wait, and hashes a password again
    // at the current strength when it signs in.
    qint64 checkSignIn(const Call &call, QString *refusal);
    void logCall(const Call &call, const QJsonObject &answer) const;
    void addAnalyticsFlag(QJsonObject &answer) const;
    void addUpdateOffer(QJsonObject &answer) const;

    // Records and ids.
    QString userUri(qint64 id) const;
    QString channelUri(qint64 id) const;
    QJsonObject userRecord(const QVariantMap &account, bool withEmail) const;
    QJsonObject channelRecord(const QVariantMap &channel) const;
    QJsonObject notificationRecord(const QVariantMap &notification) const;
    QVariantMap account(qint64 id) const;
    QVariantMap channel(qint64 id) const;
    qint64 resolveUser(const QString &idOrUri) const;    // 0 when unknown
    qint64 resolveChannel(const QString &idOrUri) const; // 0 when unknown
    qint64 notify(qint64 recipient, int type, qint64 otherId, const QString &otherEmail, qint64 channelId,
                  const QString &customMessage);
    // What a caller is to a channel, and so what it may do there.
    enum class ChannelRole { Outsider, Member, Moderator, Owner };
    enum class ChannelNeed { Read, Change, Invite, Own };
    ChannelRole channelRole(qint64 account, const QVariantMap &channel) const;
    bool mayUseChannel(qint64 account, const QVariantMap &channel, ChannelNeed need) const;
    bool canSeeChannel(qint64 account, const QVariantMap &channel) const;
    // Checks the channel a call names against what its method needs; empty
    // when allowed (or when it names none), else the refusal to answer.
    QJsonObject checkChannelAccess(const Call &call) const;
    bool rootNameTaken(qint64 owner, const QString &name, qint64 exceptId) const;
    // Stores a picture in place of the one at the URL replacing; empty with
    // the reason in *refusal when it is too large, of no known format, or
    // over the account's count.
    QString storeImage(const Call &call, const QString &kind, const QString &fileNameKey, const QString &dataKey,
                       const QString &replacing, QString *refusal);
    QJsonObject inviteToChannel(Call &call, qint64 invitee, qint64 channelId, const QString &message);

    // Account, session, analytics.
    QJsonObject loginUser(Call &call);
    QJsonObject createAccount(Call &call);
    // Ends sessions idle past the time to live and drops the tokens of ended sessions.
    void purgeEndedSessions();
    QJsonObject userUuidExists(Call &call);
    QJsonObject checkForUpdate(Call &call);
    QJsonObject logEvent(Call &call);
    QJsonObject requestIssue(Call &call);
    // Users.
    QJsonObject getUserByUserLiveUri(Call &call);
    QJsonObject getUserBySocialUid(Call &call);
    QJsonObject getUserInfoPublicByName(Call &call);
    QJsonObject setUserCustomInfo(Call &call);
    QJsonObject setUserImage(Call &call);
    QJsonObject setUserPrivacy(Call &call);
    // Channels.
    QJsonObject addChannel(Call &call);
    QJsonObject editChannel(Call &call);
    QJsonObject deleteChannel(Call &call);
    QJsonObject setChannelImage(Call &call);
    QJsonObject getChannelInfo(Call &call);
    QJsonObject getChannelInfoFromLiveUid(Call &call);
    QJsonObject getChannelsInHierarchy(Call &call);
    QJsonObject getChannelsMatching(Call &call);
    QJsonObject getChannelsOwned(Call &call);
    QJsonObject getChannelFavoritesList(Call &call);
    QJsonObject changeChannelFavorite(Call &call);
    QJsonObject changeChannelModerator(Call &call);
    QJsonObject addUserStats(Call &call);
    QJsonObject inviteUserToChannel(Call &call);
    QJsonObject getThirdPartyChannelForUser(Call &call);
    // Friends, groups, e-mail invitations.
    QJsonObject changeFriend(Call &call);
    QJsonObject getContactGroups(Call &call);
    QJsonObject addContactGroup(Call &call);
    QJsonObject deleteContactGroup(Call &call);
    QJsonObject changeContactGroupMember(Call &call);
    QJsonObject inviteUsersViaEmail(Call &call);
    // Notifications.
    QJsonObject getNotificationsSince(Call &call);
    QJsonObject getNotifications(Call &call);
    QJsonObject updateNotifications(Call &call);
    QJsonObject acceptInvitation(Call &call);
    // External-application realm.
    QJsonObject realmVerify(Call &call);
    QJsonObject realmLogin(Call &call);
    QJsonObject realmContactList(Call &call);
    QJsonObject realmChangeContact(Call &call);
    QJsonObject realmGetChannelAuth(Call &call);
    QJsonObject realmAcknowledge(Call &call);
    QVariantMap realmSession(const Call &call) const;

    GatewayHttpResponse shortenLink(const GatewayHttpRequest &request);
    GatewayHttpResponse followShortLink(const QString &code);
    // A plain HTML page; body is markup already.
    static GatewayHttpResponse page(const QString &title, const QString &body);
    // The page a shared channel link opens: a link that joins the channel.
    GatewayHttpResponse channelLinkPage(const QString &channelUri);
    GatewayHttpResponse servePicture(const QString &path);

    DevGatewayOptions m_options;
    DevGatewayStore m_store;
    GatewayHttpServer *m_http;
    VoiceWorld *m_world = nullptr;
    QHash<QString, Method> m_methods;
    struct Failures {
        int count = 0;
        qint64 lastMs = 0;
    };
    QHash<QString, Failures> m_signInFailures; // by "account:<e-mail>" and "address:<peer>"
    struct ChannelRule {
        QStringList fields; // the first of these that is set names the channel
        ChannelNeed need;
    };
    QHash<QString, ChannelRule> m_channelRules; // methods that name a channel
    QStringList m_openMethods;
};
