#include "localuser.h"

#include "conversation.h"
#include "conversationmessagelist.h"
#include "identityrealmmanager.h"
#include "notification.h"
#include "notificationlist.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"
#include "virtualkeyinfo.h"
#include "voicemanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QRegularExpression>
#include <QTimerEvent>
#include <QXmppArchiveIq.h>
#include <QXmppArchiveManager.h>
#include <QXmppLogger.h>
#include <QXmppMessage.h>
#include <QXmppPresence.h>
#include <QXmppResultSet.h>
#include <QXmppRosterManager.h>
#include <QtGlobal>
#include <cmath>

namespace {

LocalUser *s_localUser = nullptr;

bool isNotificationState(int state)
{
    return state >= Notification::NotificationStateInvalid && state <= Notification::NotificationStateLAST;
}

// Reconnect attempts in one series, and the first delay of a series.
constexpr int kMaxRetries = 3;
constexpr int kFirstRetryDelayMs = 5000;
// The VAD sensitivity that the first run of a new version leaves alone.
constexpr int kDefaultVadSensitivity = 18;

// The presence chosen last, before the user has chosen one.
constexpr int kDefaultPresence = Tavri::RealmUserInterface::Online;
// The idle period before the user has set one, in seconds.
constexpr int kDefaultIdleSeconds = 900;
// The push-to-talk key when none is stored: left Control.
constexpr int kDefaultPttKey = 162;
const QString kDefaultPttKeyName = QStringLiteral("LCtrl");
const QString kPttBinding = QStringLiteral("PTT");
// A level outside 0..100 is replaced by this.
constexpr int kDefaultLevel = 50;

const QString kAccessibilityHelpURL = QStringLiteral("https://www.w3.org/WAI/people-use-web/");

} // namespace

LocalUser *LocalUser::getLocalUser(QObject *parent)
{
    if (!s_localUser)
        new LocalUser(parent);
    return s_localUser;
}

LocalUser::LocalUser(QObject *parent)
    : QObject(parent)
    , m_accessibilityHelpURL(kAccessibilityHelpURL)
{
    // Code running inside the constructor already finds the instance.
    s_localUser = this;
    // For queued connections and signal recorders.
    qRegisterMetaType<LocalUser::LoginState>("LocalUser::LoginState");
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        connect(voice, &VoiceManager::vadPropertiesReceived, this, &LocalUser::onVADPropertiesReceived);
        connect(voice, &VoiceManager::keyEvent, this, &LocalUser::onNamedKeyMouseEvent);
        connect(voice, &VoiceManager::micLevelChanged, this, &LocalUser::onVoiceVolumeAdjustChanged);
        connect(voice, &VoiceManager::speakerLevelChanged, this, &LocalUser::onVoiceSpeakerVolumeAdjustChanged);
        connect(voice, &VoiceManager::sessionReallyConnectedChanged, this, &LocalUser::onSessionReallyConnectedChanged);
    }
    connect(&m_notificationPollTimer, &QTimer::timeout, this, &LocalUser::onPollForNotifications);
    connect(&m_idleHandler, &IdleHandler::away, this, &LocalUser::onIdleTimeout);
    connect(&m_idleHandler, &IdleHandler::online, this, &LocalUser::onIdleReturned);
    connect(TavriSharedIdentityRealmManager::getInstance(), &TavriSharedIdentityRealmManager::loginStateChange, this,
            &LocalUser::onSharedIdentityRealmLoginStateChanged);
    setUpXmppClient();
    // The conversations every realm lists for the user, and the permanent
    // channels among them for the channel tree.
    m_permanentConversations = new PermanentConversationList(&m_conversations);
    IdentityRealmManager *realms = IdentityRealmManager::getInstance();
    connect(realms, &IdentityRealmManager::conversationListEntryAdded, &m_conversations,
            &ConversationList::onConversationListEntryAdded);
    connect(realms, &IdentityRealmManager::conversationListEntryRemoved, &m_conversations,
            &ConversationList::onConversationListEntryRemoved);
    connect(realms, &IdentityRealmManager::conversationJoined, this, &LocalUser::onConversationJoined);
    connect(realms, &IdentityRealmManager::conversationDisconnected, this, &LocalUser::onConversationDisconnected);
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    connect(sharedRealms, &TavriSharedIdentityRealmManager::conversationListEntryAdded, &m_conversations,
            &ConversationList::onConversationListEntryAdded);
    connect(sharedRealms, &TavriSharedIdentityRealmManager::conversationListEntryRemoved, &m_conversations,
            &ConversationList::onConversationListEntryRemoved);
    // Stays in joined conversations and their chat logs, kept across sign-ins.
    m_recentConversations = new RecentConversations(this);
    // The groups follow the realms' rosters before the friends list does, so
    // that whoever hears of a new friend from the list finds it grouped.
    m_contactGroups = new ContactGroupList(this);
    m_contactList = new ContactList(this);
    m_contactList->followIdentityRealms();
    m_notificationList = new NotificationList(this);
    if (QSocialManager *socialManager = QSocialManager::getInstance()) {
        connect(socialManager, &QSocialManager::notificationReceived, m_notificationList,
                &NotificationList::onNotificationReceived);
        connect(socialManager, &QSocialManager::defaultChannelReceived, this, &LocalUser::onDefaultChannelReceived);
    }
    connect(m_notificationList, &NotificationList::notificationAdded, this, &LocalUser::onNotificationAdded);
}

LocalUser::~LocalUser()
{
    qDebug() << "~LocalUser() - begin";
    if (VoiceManager *voice = VoiceManager::getInstance())
        disconnect(voice, nullptr, this, nullptr);
    disconnect(&m_idleHandler, nullptr, this, nullptr);
    disconnect(&m_notificationPollTimer, nullptr, this, nullptr);
    m_notificationPollTimer.stop();
    killRetryTimer();
    m_idleHandler.stop();
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        disconnect(socialManager, nullptr, m_notificationList, nullptr);
    disconnect(m_notificationList, nullptr, this, nullptr);
    m_notificationList->clear();
    delete m_notificationList;
    m_notificationList = nullptr;
    if (s_localUser == this)
        s_localUser = nullptr;
    qDebug() << "~LocalUser() - end";
}

void LocalUser::requestMarkNotification(const QString &notificationUID, int state, bool clicked)
{
    if (!isNotificationState(state)) {
        qWarning() << "LocalUser::requestMarkNotification"
                   << "no such notification state" << state << "for" << notificationUID;
        return;
    }
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (socialManager)
        socialManager->requestUpdateNotifications({notificationUID}, state);
    else
        qWarning() << "LocalUser::requestMarkNotification"
                   << "no web service for notification" << notificationUID;
    if (state == Notification::NotificationStateDeleteRequested)
        m_notificationList->removeNotifications({notificationUID}, false);
    if (clicked && socialManager)
        socialManager->requestAcceptInvitation(notificationUID);
}

// --- Login state --------------------------------------------------------------

QList<TavriSharedIdentityRealm *> LocalUser::sharedRealms()
{
    QList<TavriSharedIdentityRealm *> realms;
    const QList<Tavri::IdentityRealmInterface *> interfaces =
        TavriSharedIdentityRealmManager::getInstance()->getRealms();
    for (Tavri::IdentityRealmInterface *realm : interfaces) {
        if (auto *shared = qobject_cast<TavriSharedIdentityRealm *>(realm ? realm->realmObject() : nullptr))
            realms.append(shared);
    }
    return realms;
}

LocalUser::LoginState LocalUser::getLoginState() const
{
    if (m_identity)
        return m_loginState;
    // Without a built-in identity an external realm's progress counts; the
    // own state is never lowered.
    int state = m_loginState;
    for (TavriSharedIdentityRealm *realm : sharedRealms()) {
        const int realmState = realm->getLoginState();
        if (realmState >= LoggingIn && realmState <= LoggedIn && state < realmState)
            state = realmState;
    }
    return static_cast<LoginState>(state);
}

void LocalUser::setLoginState(LoginState state, const QString &reason)
{
    qDebug() << "LocalUser login state" << m_loginState << "->" << state << reason;
    m_loginState = state;
    emit loginStateChanged(state, reason);
}

void LocalUser::requestLogin(const QString &username, const QString &password, bool savePassword)
{
    qDebug().noquote() << "Login requested for LocalUser as " << username;
    if (m_loginState == LoggingIn || m_loginState == LoggingInVoice || m_loginState == LoggedIn)
        return;

    m_username = username;
    m_password = password;
    StorageManager *storage = StorageManager::getInstance();
    storage->setUsername(username);
    if (savePassword)
        storage->setPassword(password);

    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestLogin(username, password);
    else
        qWarning() << "LocalUser::requestLogin"
                   << "no web client to sign in with";
    setLoginState(LoggingIn, QString());
}

void LocalUser::onSocialLoginSuccess(const QString &sipURI, const QString &, const QString &, const QString &,
                                     const QString &, const QString &, const QString &, const QString &,
                                     const QString &)
{
    qDebug() << "LocalUser::onSocialLoginSuccess" << sipURI;
    Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(sipURI);
    setIdentity(qobject_cast<TavriIdentityRealmUser *>(user ? user->getQObject() : nullptr));

    setLoginState(LoggingInVoice, QString());

    if (m_identity)
        StorageManager::getInstance()->openDatabase(m_identity->getSipURI());
    if (QSocialManager *social = QSocialManager::getInstance()) {
        social->requestChannelsOwned();
        social->requestChannelFavoritesList();
    }
    // Stored records are read as the user's; without an identity there is
    // no user to read them for.
    if (m_identity)
        getNotificationList(true);
    loadUserSettings();
    // The choice is the signed-in user's own: the user's settings are open
    // only from here on.
    m_contactList->setShowOfflineContacts(
        StorageManager::getInstance()->getSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false).toBool());
    m_recentConversations->refresh();
}

int LocalUser::storedVadSensitivity(const QVariant &stored)
{
    // The text settings store gives numbers back as text, and a fraction
    // ("37.5") reads as 0 through toInt. Round it, keep it in the slider's
    // range, and fall back to the default for text that is no number.
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !qIsFinite(value)) {
        qWarning() << "LocalUser: stored vad_sensitivity" << stored.toString() << "is no number; using"
                   << kDefaultVadSensitivity;
        return kDefaultVadSensitivity;
    }
    return qBound(0, qRound(value), 100);
}

void LocalUser::loadUserSettings()
{
    StorageManager *storage = StorageManager::getInstance();
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        voice->setMicLevel(StorageManager::getMicVolumePercent());
        voice->setSpeakerLevel(StorageManager::getSpeakerVolumePercent());
    }

    m_notificationPollTimer.start(
        storage->getSettingsValue(StorageManager::SettingsKeyPollingIntervalNotifications, 300000).toInt());

    m_vadHangoverSecs = storage->getSettingsValue(StorageManager::SettingsKeyVadHangoverSecs, 2).toInt();
    m_vadNoiseFloor = storage->getSettingsValue(StorageManager::SettingsKeyVadNoiseFloor, 10).toInt();
    m_vadSensitivity = storedVadSensitivity(
        storage->getSettingsValue(StorageManager::SettingsKeyVadSensitivity, kDefaultVadSensitivity));

    // The first sign-in of a new installation makes a custom sensitivity more
    // sensitive, for this run only.
    const QString lastVersionKey = QStringLiteral("lastVersion");
    if (storage->getSettingsValue(lastVersionKey, QString()).toString().isEmpty()) {
        storage->setSettingsValue(lastVersionKey, QCoreApplication::applicationVersion());
        if (m_vadSensitivity != kDefaultVadSensitivity)
            m_vadSensitivity += 10;
    }

    applyVadProperties(m_vadHangoverSecs, m_vadNoiseFloor, m_vadSensitivity);
    refreshPttSettings();
    loadPresenceMessages();
}

void LocalUser::onVoiceLoggedIn()
{
    setLoginState(LoggedIn, QString());
    StorageManager *storage = StorageManager::getInstance();
    int presence =
        storage->getSettingsValue(StorageManager::SettingsKeyPresenceStatusLastSelected, kDefaultPresence).toInt();
    if (presence < Tavri::RealmUserInterface::PresenceUnknown || presence > Tavri::RealmUserInterface::InGame) {
        qWarning() << "Stored presence" << presence << "is not a presence state, signing in as Online";
        presence = kDefaultPresence;
    }
    setPresenceState(presence, false);
    m_idleHandler.setInterval(
        storage->getSettingsValue(StorageManager::SettingsKeyIdleTimeout, kDefaultIdleSeconds).toInt());
    m_idleHandler.start();
    m_isIdle = false;
    emit isIdleChanged(false);
    if (m_retryTimerId) {
        killTimer(m_retryTimerId);
        m_retryTimerId = 0;
        m_retryCount = 0;
    }
}

void LocalUser::onVoiceLoggedOut(const QString &reason)
{
    // A logout the user asked for keeps the credentials for the login window
    // but must not sign the user in again.
    const bool requested = m_loginState == LoggingOut;
    if (!requested && !m_password.isEmpty() && !m_username.isEmpty() && m_retryCount < kMaxRetries) {
        if (m_loginState != DisconnectedReconnecting)
            setLoginState(DisconnectedReconnecting, QStringLiteral("Reconnecting... ") + QString::number(m_retryCount));
        if (!m_retryTimerId) {
            m_retryTimerId = startTimer(kFirstRetryDelayMs, Qt::CoarseTimer);
        } else {
            qDebug() << "Killing retry timer to restart timer...";
            killTimer(m_retryTimerId);
            m_retryTimerId = startTimer(retryDelayMs(), Qt::CoarseTimer);
        }
        ++m_retryCount;
    } else {
        if (m_retryTimerId) {
            qDebug() << "Killing retry timer... no more need for it";
            killTimer(m_retryTimerId);
        }
        m_retryTimerId = 0;
        m_retryCount = 0;
    }

    setPresenceState(Tavri::RealmUserInterface::Offline, false);
    m_notificationList->clear();
    // The next sign-in may be another user's, whose notifications must not
    // be asked for only above this user's highest uid.
    m_notificationList->resetLastNotificationUID();
    setLoginState(LoggedOut, reason);
    m_notificationPollTimer.stop();
    StorageManager *storage = StorageManager::getInstance();
    storage->closeDatabase();
    storage->openDatabase(QStringLiteral("DEFAULT"));
    if (QSocialManager *social = QSocialManager::getInstance())
        social->clearCredentials();
    m_conversations.leaveAll();
    for (int row = 0; row < m_conversations.rowCount(); ++row) {
        if (Conversation *conversation = m_conversations.at(row))
            conversation->stopPendingTimer();
    }
    m_conversations.clear();
    if (m_identity) {
        TavriIdentityRealmUser *identity = m_identity;
        setIdentity(nullptr);
        identity->deleteLater();
    }
    m_recentConversations->clear();
    m_contactList->clear();
    if (!m_lastParticipatingURI.isEmpty()) {
        m_lastParticipatingURI.clear();
        emit lastParticipatingURIChanged(m_lastParticipatingURI);
    }
    setLastCallId(QString());
    m_idleHandler.stop();
}

void LocalUser::onSocialLoginFailed(const QString &reason)
{
    m_password.clear();
    onVoiceLoggedOut(reason);
}

void LocalUser::onSocialLoginUnreachable()
{
    if (m_loginState != LoggingIn)
        return;
    onVoiceLoggedOut(tr("Login timed out - check your network settings and try again later"));
}

void LocalUser::onConnectorCreateFailed(const QString &message)
{
    if (m_loginState == DisconnectedReconnecting || m_loginState == Error)
        return;
    qWarning() << "Connector create failed, setting login state to error...";
    setLoginState(Error, message);
}

void LocalUser::onLogoutRequested()
{
    if (m_loginState != LoggedIn) {
        qWarning() << "m_loginState=" << int(m_loginState);
        return;
    }
    setLoginState(LoggingOut, QString());

    if (m_identity) {
        // The realm checks that it is handed the own identity, so it is asked
        // before the identity is let go. The realm keeps the object.
        TavriIdentityRealmUser *identity = m_identity;
        if (Tavri::IdentityRealmInterface *realm = identity->identityRealm())
            realm->requestLogout(identity);
        setIdentity(nullptr);
    }
    const QList<Tavri::IdentityRealmInterface *> realms = m_realmIdentities.uniqueKeys();
    for (Tavri::IdentityRealmInterface *realm : realms) {
        const QList<Tavri::RealmUserInterface *> identities = m_realmIdentities.values(realm);
        for (Tavri::RealmUserInterface *identity : identities)
            realm->requestLogout(identity);
        m_realmIdentities.remove(realm);
    }

    if (!m_lastParticipatingURI.isEmpty()) {
        m_lastParticipatingURI.clear();
        emit lastParticipatingURIChanged(m_lastParticipatingURI);
    }
    setLastCallId(QString());
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestLogout(QString());
}

void LocalUser::onSharedIdentityRealmLoginStateChanged(TavriSharedIdentityRealm *realm,
                                                       TavriSharedIdentityRealm::LoginState state)
{
    qDebug() << "LocalUser::onSharedIdentityRealmLoginStateChanged" << (realm ? realm->realmDisplayName() : QString())
             << int(state);
    if (!m_identity && state >= TavriSharedIdentityRealm::LoggedOut
        && state <= TavriSharedIdentityRealm::SessionGroupReady) {
        emit loginStateChanged(static_cast<LoginState>(state), QString());
    }
}

// --- Reconnect ----------------------------------------------------------------

int LocalUser::retryDelayMs() const
{
    return static_cast<int>(std::pow(3.0f, float(m_retryCount)) * 5.0f * 1000.0f);
}

void LocalUser::killRetryTimer()
{
    if (m_retryTimerId)
        killTimer(m_retryTimerId);
    m_retryTimerId = 0;
}

void LocalUser::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_retryTimerId || !m_retryTimerId) {
        QObject::timerEvent(event);
        return;
    }
    qDebug() << "Retry timer fired off... killing and proceeding...";
    killRetryTimer();
    if (m_password.isEmpty() || m_username.isEmpty())
        return;

    setLoginState(DisconnectedReconnecting, QStringLiteral("Reconnecting... ") + QString::number(m_retryCount));
    requestLogin(m_username, m_password, false);
    if (m_retryCount < kMaxRetries) {
        m_retryTimerId = startTimer(retryDelayMs(), Qt::CoarseTimer);
        ++m_retryCount;
    } else {
        m_retryCount = 0;
    }
}

// --- Identity -----------------------------------------------------------------

void LocalUser::setIdentity(TavriIdentityRealmUser *identity)
{
    if (m_identity == identity)
        return;
    if (m_identity)
        disconnectIdentityRelays();
    m_identity = identity;
    if (m_identity)
        connectIdentityRelays();
    emit sipURIChanged();
    emit uuidChanged();
    emit emailChanged();
    emit displayNameChanged();
    emit profileImageURIChanged();
    emit descriptionChanged();
    emit taglineChanged();
    emit locationChanged();
}

void LocalUser::connectIdentityRelays()
{
    connect(m_identity, &TavriIdentityRealmUser::profileIconUpdated, this, &LocalUser::profileImageURIChanged);
    connect(m_identity, &TavriIdentityRealmUser::displayNameUpdated, this, &LocalUser::displayNameChanged);
    connect(m_identity, &TavriIdentityRealmUser::descriptionChanged, this, &LocalUser::descriptionChanged);
    connect(m_identity, &TavriIdentityRealmUser::taglineChanged, this, &LocalUser::taglineChanged);
    connect(m_identity, &TavriIdentityRealmUser::locationChanged, this, &LocalUser::locationChanged);
    connect(m_identity, &TavriIdentityRealmUser::presenceUpdated, this, &LocalUser::onIdentityPresenceUpdated);
    // The realm owns the identity; forget it when it goes.
    connect(m_identity, &TavriIdentityRealmUser::destroying, this, &LocalUser::onIdentityDestroying);
}

void LocalUser::disconnectIdentityRelays()
{
    disconnect(m_identity, nullptr, this, nullptr);
}

void LocalUser::onIdentityDestroying()
{
    m_identity = nullptr;
}

void LocalUser::onIdentityPresenceUpdated()
{
    emit presenceStateChanged(TavriIdentityRealmUser::PresenceState(getPresenceStateValue()));
    emit presenceMessageChanged();
}

Tavri::RealmUserInterface *LocalUser::getLocalUserIdentity(Tavri::IdentityRealmInterface *realm) const
{
    if (!realm)
        return nullptr;
    if (realm == static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance()))
        return m_identity;
    if (auto *shared = qobject_cast<TavriSharedIdentityRealm *>(realm->realmObject())) {
        if (!shared->getUserDisplayName().isEmpty() && !shared->getSessionGroupHandle().isEmpty())
            return shared->getRealmUser(shared->getUserDisplayName());
    }
    return m_realmIdentities.value(realm, nullptr);
}

bool LocalUser::isLocalUserIdentity(Tavri::RealmUserInterface *identity) const
{
    return identity == static_cast<Tavri::RealmUserInterface *>(m_identity);
}

QString LocalUser::getSipURI() const
{
    return m_identity ? m_identity->getSipURI() : QString();
}

QString LocalUser::getDisplayName() const
{
    if (m_identity)
        return m_identity->getDisplayName();
    for (TavriSharedIdentityRealm *realm : sharedRealms()) {
        if (realm->getLoginState() != TavriSharedIdentityRealm::SessionGroupReady)
            continue;
        const QString name = realm->realmDisplayName() + QStringLiteral("//") + realm->getUserDisplayName();
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

QUrl LocalUser::getProfileImageURI() const
{
    if (m_identity)
        return m_identity->getProfileImageURI();
    for (TavriSharedIdentityRealm *realm : sharedRealms()) {
        if (realm->getLoginState() != TavriSharedIdentityRealm::SessionGroupReady)
            continue;
        const QUrl icon = realm->getUserIconURL();
        if (icon.isValid() && !icon.isEmpty())
            return icon;
    }
    return QUrl();
}

Tavri::RealmUserInterface::PresenceState LocalUser::getPresenceState() const
{
    return m_identity ? m_identity->getPresenceState() : Tavri::RealmUserInterface::Offline;
}

QString LocalUser::getUserName() const
{
    return m_identity ? m_identity->getUname() : QString();
}

QString LocalUser::getCustomDisplayName() const
{
    return m_identity ? m_identity->getCustomDisplayName() : QString();
}

QString LocalUser::getUuid() const
{
    return m_identity ? m_identity->getUid() : QString();
}

QString LocalUser::getEmail() const
{
    return m_identity ? m_identity->getEmail() : QString();
}

QString LocalUser::getDescription() const
{
    return m_identity ? m_identity->getDescription() : QString();
}

void LocalUser::setDescription(const QString &description)
{
    if (m_identity)
        m_identity->setDescription(description);
}

QString LocalUser::getTagline() const
{
    return m_identity ? m_identity->getTagline() : QString();
}

void LocalUser::setTagline(const QString &tagline)
{
    if (m_identity)
        m_identity->setTagline(tagline);
}

QString LocalUser::getLocation() const
{
    return m_identity ? m_identity->getLocation() : QString();
}

void LocalUser::setLocation(const QString &location)
{
    if (m_identity)
        m_identity->setLocation(location);
}

// --- XMPP client ------------------------------------------------------------

namespace {

// How far back the archive is read, and how many collections one page holds.
constexpr int kArchiveWindowDays = 21;
constexpr int kArchivePageSize = 15;
const QString kXmppAnswerPrefix = QStringLiteral("Your message: ");

} // namespace

void LocalUser::setUpXmppClient()
{
    m_xmppClient = new QXmppClient(this);
    // Log lines of the XMPP stream go out as the logger's signal only.
    m_xmppClient->logger()->setLoggingType(QXmppLogger::SignalLogging);
    m_xmppArchiveManager = new QXmppArchiveManager;
    m_xmppClient->addExtension(m_xmppArchiveManager);

    connect(m_xmppClient, &QXmppClient::messageReceived, this, &LocalUser::xmppMessageReceived);
    connect(m_xmppClient, &QXmppClient::error, this, &LocalUser::xmppError);
    connect(m_xmppClient, &QXmppClient::sslErrors, this, &LocalUser::xmppSslErrors);
    connect(m_xmppClient, &QXmppClient::connected, this, &LocalUser::xmppClientConnected);
    if (QXmppRosterManager *roster = m_xmppClient->findExtension<QXmppRosterManager>()) {
        connect(roster, &QXmppRosterManager::rosterReceived, this, &LocalUser::xmppRosterReceived);
        connect(roster, &QXmppRosterManager::presenceChanged, this, &LocalUser::xmppPresenceChanged);
    }
    connect(m_xmppArchiveManager, &QXmppArchiveManager::archiveListReceived, this, &LocalUser::xmppArchiveListReceived);
    connect(m_xmppArchiveManager, &QXmppArchiveManager::archiveChatReceived, this, &LocalUser::xmppArchiveChatReceived);
}

void LocalUser::xmppClientConnected()
{
    qDebug() << "XMPP Client connected";
}

void LocalUser::xmppError(QXmppClient::Error error)
{
    qDebug() << "Received XMPP error" << int(error);
}

void LocalUser::xmppSslErrors(const QList<QSslError> &errors)
{
    qDebug() << "Received XMPP ssl errors" << errors.size();
}

void LocalUser::xmppMessageReceived(const QXmppMessage &message)
{
    qDebug() << "Received XMPP message"
             << "from" << message.from() << message.body();
    // An answer to an answer, or to an error, would start an endless echo
    // between two clients that both answer.
    if (message.type() == QXmppMessage::Error || message.body().startsWith(kXmppAnswerPrefix))
        return;
    const QXmppMessage answer(QString(), message.from(), kXmppAnswerPrefix + message.body(), QString());
    m_xmppClient->sendPacket(answer);
}

void LocalUser::xmppPresenceChanged(const QString &bareJid, const QString &resource)
{
    qDebug() << "XMPP presence updated" << bareJid << resource;
    QXmppRosterManager *roster = m_xmppClient->findExtension<QXmppRosterManager>();
    if (!roster)
        return;
    const QXmppPresence presence = roster->getPresence(bareJid, resource);
    qDebug() << presence.statusText() << int(presence.type()) << int(presence.availableStatusType()) << presence.to()
             << presence.from();
}

void LocalUser::xmppRosterReceived()
{
    qDebug() << "XMPP roster received";
    QXmppRosterManager *roster = m_xmppClient->findExtension<QXmppRosterManager>();
    if (!roster)
        return;
    const QStringList jids = roster->getRosterBareJids();
    for (const QString &jid : jids) {
        QString name = roster->getRosterEntry(jid).name();
        if (name.isEmpty())
            name = QStringLiteral("-");
        qDebug("Roster element received: %s [%s]", qUtf8Printable(jid), qUtf8Printable(name));
    }
}

void LocalUser::xmppArchiveListReceived(const QList<QXmppArchiveChat> &chats, const QXmppResultSetReply &reply)
{
    qDebug() << "XMPP got archived chats:" << reply.count();
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime windowStart = now.addDays(-kArchiveWindowDays);

    if (m_archiveTotal < 0) {
        m_archiveTotal = reply.count();
        qDebug() << "XMPP fetching collection first page";
        // An empty "before" marker asks for the last page.
        QXmppResultSetQuery query;
        query.setMax(kArchivePageSize);
        query.setBefore(QString(QLatin1String("")));
        m_xmppArchiveManager->listCollections(QString(), windowStart, now, query);
        return;
    }

    if (chats.isEmpty()) {
        qDebug() << "XMPP archive chat: no items";
    } else {
        qDebug().noquote() << QStringLiteral("XMPP archive chat items %1 to %2 of %3")
                                  .arg(reply.index())
                                  .arg(reply.index() + chats.size())
                                  .arg(reply.count());
        for (const QXmppArchiveChat &chat : chats) {
            qDebug("XMPP chat start %s", qUtf8Printable(chat.start().toString()));
            m_xmppArchiveManager->retrieveCollection(chat.with(), chat.start());
        }
    }
    // An empty page, or one without a first marker, has nothing before it:
    // asking "before" an empty marker would fetch the last page again, for
    // ever.
    if (!reply.isNull() && !chats.isEmpty() && !reply.first().isEmpty()) {
        qDebug() << "XMPP - fetching collection previous page";
        QXmppResultSetQuery query;
        query.setMax(kArchivePageSize);
        query.setBefore(reply.first());
        m_xmppArchiveManager->listCollections(QString(), windowStart, now, query);
    }
}

void LocalUser::xmppArchiveChatReceived(const QXmppArchiveChat &chat, const QXmppResultSetReply &)
{
    const QList<QXmppArchiveMessage> messages = chat.messages();
    for (const QXmppArchiveMessage &message : messages)
        qDebug() << "XMPP archived chat message:" << message.body() << message.date();
}

// --- Presence and idle --------------------------------------------------------

QString LocalUser::presenceMessageKey(int presence)
{
    return QString::number(presence)
           + StorageManager::getSettingsKeyName(StorageManager::SettingsKeyPresenceStatusMessageSuffix);
}

void LocalUser::setPresenceState(int presence, bool preserve)
{
    if (!TAVRI_CHECK(presence >= Tavri::RealmUserInterface::PresenceUnknown
                     && presence <= Tavri::RealmUserInterface::InGame))
        return;
    if (!m_identity)
        return;
    m_identity->setPresenceState(static_cast<Tavri::RealmUserInterface::PresenceState>(presence), false);
    m_identity->setPresenceMessage(m_presenceMessages.value(presence), false);
    if (preserve)
        StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPresenceStatusLastSelected,
                                                        presence);
}

void LocalUser::setPresenceMessage(int presence, const QString &message)
{
    if (!TAVRI_CHECK(presence >= Tavri::RealmUserInterface::PresenceUnknown
                     && presence <= Tavri::RealmUserInterface::InGame))
        return;
    storePresenceMessage(presence, message);
}

void LocalUser::setCurrentPresenceMessage(const QString &message)
{
    if (m_identity)
        setPresenceMessage(int(m_identity->getPresenceState()), message);
}

void LocalUser::storePresenceMessage(int presence, const QString &text)
{
    if (!m_identity)
        return;
    QString message = text;
    if (message.isEmpty() && presence == Tavri::RealmUserInterface::Online)
        message = QStringLiteral("online");
    else if (message.isEmpty() && presence == Tavri::RealmUserInterface::Away)
        message = QStringLiteral("away");

    m_presenceMessages.insert(presence, message);
    StorageManager::getInstance()->setSettingsValue(presenceMessageKey(presence), message);
    if (int(m_identity->getPresenceState()) == presence)
        m_identity->setPresenceMessage(message, false);

    if (presence == Tavri::RealmUserInterface::Online)
        emit onlineStatusChanged(message);
    else if (presence == Tavri::RealmUserInterface::Away)
        emit awayStatusChanged(message);
}

void LocalUser::loadPresenceMessages()
{
    // The messages belong to the signed-in user: another user's must not
    // linger from an earlier sign-in.
    m_presenceMessages.clear();
    StorageManager *storage = StorageManager::getInstance();
    for (int presence = Tavri::RealmUserInterface::PresenceUnknown; presence <= Tavri::RealmUserInterface::InGame;
         ++presence) {
        const QVariant stored = storage->getSettingsValue(presenceMessageKey(presence));
        if (stored.isValid())
            m_presenceMessages.insert(presence, stored.toString());
    }
    if (!m_presenceMessages.contains(Tavri::RealmUserInterface::Online))
        m_presenceMessages.insert(Tavri::RealmUserInterface::Online, QStringLiteral("online"));
    if (!m_presenceMessages.contains(Tavri::RealmUserInterface::Away))
        m_presenceMessages.insert(Tavri::RealmUserInterface::Away, QStringLiteral("away"));
    emit onlineStatusChanged(getOnlineStatus());
    emit awayStatusChanged(getAwayStatus());
}

QString LocalUser::getPresenceMessage(int presence) const
{
    const auto found = m_presenceMessages.constFind(presence);
    if (found != m_presenceMessages.constEnd())
        return found.value();
    if (presence == Tavri::RealmUserInterface::Away)
        return tr("away");
    if (presence == Tavri::RealmUserInterface::Online)
        return tr("online");
    return tr("offline");
}

QString LocalUser::getPresenceMessage() const
{
    return m_identity ? m_identity->getPresenceMessage() : QString();
}

QString LocalUser::getOnlineStatus() const
{
    return getPresenceMessage(Tavri::RealmUserInterface::Online);
}

QString LocalUser::getAwayStatus() const
{
    return getPresenceMessage(Tavri::RealmUserInterface::Away);
}

void LocalUser::onIdleTimeout()
{
    if (m_identity && m_identity->getPresenceState() != Tavri::RealmUserInterface::Offline)
        setPresenceState(Tavri::RealmUserInterface::Away, false);
    m_isIdle = true;
    emit isIdleChanged(true);
}

void LocalUser::onIdleReturned()
{
    if (!m_identity || m_identity->getPresenceState() == Tavri::RealmUserInterface::Offline)
        return;
    const int chosen = StorageManager::getInstance()
                           ->getSettingsValue(StorageManager::SettingsKeyPresenceStatusLastSelected, kDefaultPresence)
                           .toInt();
    if (chosen != Tavri::RealmUserInterface::Away)
        setPresenceState(Tavri::RealmUserInterface::Online, false);
    m_isIdle = false;
    emit isIdleChanged(false);
}

void LocalUser::onSetPresenceOnline()
{
    setPresenceState(Tavri::RealmUserInterface::Online, true);
}

void LocalUser::onSetPresenceAway()
{
    setPresenceState(Tavri::RealmUserInterface::Away, true);
}

void LocalUser::stopIdleHandler()
{
    m_idleHandler.stop();
}

// --- Push-to-talk, VAD and levels ---------------------------------------------

void LocalUser::applyVadProperties(double hangoverSecs, int noiseFloor, int sensitivity)
{
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setVadProperties(hangoverSecs, noiseFloor, sensitivity);
}

void LocalUser::refreshPttSettings()
{
    StorageManager *storage = StorageManager::getInstance();
    VoiceManager *voice = VoiceManager::getInstance();
    const int mode = storage->getSettingsValue(StorageManager::SettingsKeyPttMode, PushToTalkModeNone).toInt();
    m_pttToggleMode = false;
    QList<int> keys;

    if (mode == PushToTalkModeTalk || mode == PushToTalkModeToggle) {
        m_pttToggleMode = mode == PushToTalkModeToggle;
        const QVariant stored = storage->getSettingsValue(StorageManager::SettingsKeyPttKeyCombo);
        // A single text (as a settings file may give back) is a list of one.
        const QVariantList codes =
            stored.type() == QVariant::String && !stored.toString().isEmpty() ? QVariantList{stored} : stored.toList();
        for (const QVariant &code : codes) {
            bool ok = false;
            const int value = code.toInt(&ok);
            if (!ok) {
                qWarning() << "Push-to-talk key" << code.toString() << "is not a key code - skipped";
                continue;
            }
            keys.append(value);
        }
        if (keys.isEmpty()) {
            // No usable key would leave the microphone muted for good.
            keys.append(kDefaultPttKey);
            storage->setSettingsValue(StorageManager::SettingsKeyPttKeyComboString, kDefaultPttKeyName);
        }
        if (voice)
            voice->setLocalMicMuted(true);
        // Push-to-talk transmits while the key is held, so voice detection
        // runs at its standard sensitivity.
        applyVadProperties(m_vadHangoverSecs, m_vadNoiseFloor, kDefaultVadSensitivity);
    } else {
        if (voice)
            voice->setLocalMicMuted(false);
        applyVadProperties(m_vadHangoverSecs, m_vadNoiseFloor, m_vadSensitivity);
    }
    // An empty list removes the binding.
    if (voice)
        voice->requestKeyBinding(kPttBinding, keys);
}

void LocalUser::setPttKeyCombo(LocalUser::PushToTalkMode mode, const QVariantList &keyCodes)
{
    StorageManager *storage = StorageManager::getInstance();
    storage->setSettingsValue(StorageManager::SettingsKeyPttMode, int(mode));
    storage->setSettingsValue(StorageManager::SettingsKeyPttKeyCombo, keyCodes);
    refreshPttSettings();
}

bool LocalUser::isPttKeyComboValid(const QVariantList &keyCodes) const
{
    // Only a single key can be refused: any combination, and a key the table
    // does not know, leaves the mouse to the user.
    if (keyCodes.size() != 1)
        return true;
    const int code = keyCodes.first().toInt();
    // A lone left or right button would take the mouse away from the user.
    return !((code == 1 || code == 2) && VirtualKeyInfo::findByCode(code));
}

void LocalUser::onNamedKeyMouseEvent(const QString &eventName, bool pressed)
{
    qDebug() << "Received named keymouse event" << eventName << pressed;
    if (eventName != kPttBinding) {
        qDebug() << "Unhandled named keyboard/mouse event..." << eventName;
        return;
    }
    if (!m_pttToggleMode) {
        // The microphone is open while the keys are held.
        requestMuteSelf(QString(), !pressed);
    } else if (!pressed) {
        requestMuteSelf(QString(), !m_globalMuted);
    }
}

void LocalUser::requestMuteSelf(const QString &channelUri, bool mute)
{
    if (!channelUri.isEmpty()) {
        Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(channelUri);
        const QString sessionHandle = conversation ? conversation->getOstrelSessionHandle(true) : QString();
        if (sessionHandle.isEmpty()) {
            // Without a voice session there is no speaker to mute.
            qWarning() << "LocalUser::requestMuteSelf: no voice session for" << channelUri;
            return;
        }
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->setLocalSpeakerMuted(sessionHandle, mute);
        return;
    }
    if (mute == m_globalMuted)
        return;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setLocalMicMuted(mute);
}

void LocalUser::onLocalMicMuteChanged(bool muted)
{
    qDebug() << "Received confirm of" << (muted ? "mute" : "unmute") << "local";
    m_audioEnabled = !muted;
    emit audioEnabledChanged(m_audioEnabled);
    m_globalMuted = muted;
    emit globalMutedChanged(m_globalMuted);
}

void LocalUser::setAudioEnabled(bool enabled)
{
    qDebug() << "Requesting" << (enabled ? "unmute" : "mute") << "local";
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setLocalMicMuted(!enabled);
}

void LocalUser::setVolumeAdjust(int value)
{
    if (value < 0 || value > 100) {
        qWarning().nospace() << "microphone volume (" << value << ") is invalid - must be between 0 and 100";
        value = kDefaultLevel;
    }
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyMicVolumePercent, value);
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setMicLevel(value);
}

void LocalUser::setSpeakerVolumeAdjust(int value)
{
    if (value < 0 || value > 100) {
        qWarning().nospace() << "speaker volume (" << value << ") is invalid - must be between 0 and 100";
        value = kDefaultLevel;
    }
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeySpeakerVolumePercent, value);
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setSpeakerLevel(value);
}

void LocalUser::onVoiceVolumeAdjustChanged(int volume)
{
    m_volumeAdjust = volume;
    emit volumeAdjustChanged(volume);
}

void LocalUser::onVoiceSpeakerVolumeAdjustChanged(int volume)
{
    m_speakerVolumeAdjust = volume;
    emit speakerVolumeAdjustChanged(volume);
}

void LocalUser::setVadHangoverSecs(int seconds)
{
    m_vadHangoverSecs = seconds;
    requestUpdateVADSettings();
}

void LocalUser::setVadSensitivity(int value)
{
    m_vadSensitivity = value;
    requestUpdateVADSettings();
}

void LocalUser::setVadNoiseFloor(int value)
{
    m_vadNoiseFloor = value;
}

void LocalUser::requestUpdateVADSettings()
{
    applyVadProperties(m_vadHangoverSecs, m_vadNoiseFloor, m_vadSensitivity);
}

void LocalUser::onVADPropertiesReceived(double vadHangoverSecs, int vadNoiseFloor, int vadSensitivity)
{
    m_vadHangoverSecs = vadHangoverSecs;
    m_vadNoiseFloor = vadNoiseFloor;
    m_vadSensitivity = vadSensitivity;
    emit vadHangoverSecsChanged();
    emit vadNoiseFloorChanged();
    emit vadSensitivityChanged();
}

void LocalUser::requestSpeakSingleChannel(const QString &channelUri)
{
    if (!TAVRI_CHECK(!channelUri.isEmpty()))
        return;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->setTransmittingChannel(channelUri, QString());
}

// --- User-to-user app data ------------------------------------------------------

namespace {

const QString kRequestCurrentChannels = QStringLiteral("RequestCurrentChannels");
const QString kProfileUpdate = QStringLiteral("ProfileUpdate");
const QString kChannelsUpdate = QStringLiteral("Channels");
const QString kVoiceRequest = QStringLiteral("rv:");
const QString kVoiceRequestAck = QStringLiteral("rva:");
const QString kMultiPartyInvitation = QStringLiteral("rt:");
const QString kMultiPartyInvitationAck = QStringLiteral("rta:");
const QString kGroupInvitation = QStringLiteral("ri:");
const QString kGroupInvitationAck = QStringLiteral("ria:");
const QString kPermanentTransition = QStringLiteral("rp:");
const QString kPermanentTransitionAck = QStringLiteral("rpa:");
const QString kChannelURIPrefix = QStringLiteral("sip:confctl-");
const QString kNotificationContentType = QStringLiteral("x-ostrel-notification");
// A server poke that is about an invitation, not a notification to fetch.
const QString kServerInvitationPoke = QStringLiteral("ri|");
// Peers choose the texts: a log line shows no more than this many
// characters of one.
constexpr int kLoggedAppDataChars = 200;

QString loggedText(const QString &text)
{
    if (text.size() <= kLoggedAppDataChars)
        return text;
    return text.left(kLoggedAppDataChars) + QStringLiteral("... (%1 characters)").arg(text.size());
}

// A URI that can stand inside the join link's href="..." without ending the
// attribute or the tag: no quotes, angle brackets or blanks.
bool isSafeLinkURI(const QString &uri)
{
    for (const QChar character : uri) {
        if (character == QLatin1Char('"') || character == QLatin1Char('\'') || character == QLatin1Char('<')
            || character == QLatin1Char('>') || character.isSpace())
            return false;
    }
    return true;
}

// The private chat with the sender of an in-band text. Only users have
// private chats: a text from any other kind of address (a channel, a call)
// must not make the user join it.
Conversation *privateChatWith(const QString &senderURI)
{
    if (!senderURI.startsWith(QLatin1String("sip:u-"))) {
        qWarning() << "LocalUser::onUserAppDataReceived"
                   << "no private chat with a sender that is not a user:" << loggedText(senderURI);
        return nullptr;
    }
    return TavriIdentityRealm::getInstance()->getConversation(senderURI);
}

} // namespace

void LocalUser::sendAppData(const QString &toURI, const QString &content)
{
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->sendUserAppData(toURI, content);
    else
        qWarning() << "LocalUser::sendAppData"
                   << "no voice service to answer" << toURI;
}

QString LocalUser::appDataSenderName(const QString &senderURI)
{
    Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(senderURI);
    // The peer chose the name; the chat notice is rich text.
    return user ? user->getDisplayName().toHtmlEscaped() : QString();
}

void LocalUser::onUserAppDataReceived(const QString &senderURI, const QString &content)
{
    if (content == kRequestCurrentChannels) {
        qDebug() << "LocalUser::onUserAppDataReceived"
                 << "deprecated request, not responding to request to see participating channels";
    } else if (content == kProfileUpdate) {
        QSocialManager *social = QSocialManager::getInstance();
        if (!senderURI.startsWith(QLatin1String("sip:")))
            qWarning() << "LocalUser::onUserAppDataReceived"
                       << "profile update from a sender without a SIP URI:" << loggedText(senderURI);
        else if (social)
            social->getUserInfoByUri(senderURI);
    } else if (content.startsWith(kChannelsUpdate)) {
        qDebug() << "LocalUser::onUserAppDataReceived"
                 << "Ignoring channelsParticipatingIn update from" << loggedText(senderURI);
    } else if (content.startsWith(kVoiceRequest)) {
        handleVoiceRequest(senderURI, content.mid(kVoiceRequest.size()));
    } else if (content.startsWith(kVoiceRequestAck)) {
        handleAcknowledgement(senderURI, kVoiceRequestAck, content.mid(kVoiceRequestAck.size()));
    } else if (content.startsWith(kMultiPartyInvitation)) {
        handleGroupInvitation(senderURI, content.mid(kMultiPartyInvitation.size()), false);
    } else if (content.startsWith(kMultiPartyInvitationAck)) {
        handleAcknowledgement(senderURI, kMultiPartyInvitationAck, content.mid(kMultiPartyInvitationAck.size()));
    } else if (content.startsWith(kGroupInvitation)) {
        handleGroupInvitation(senderURI, content.mid(kGroupInvitation.size()), true);
    } else if (content.startsWith(kGroupInvitationAck)) {
        handleAcknowledgement(senderURI, kGroupInvitationAck, content.mid(kGroupInvitationAck.size()));
    } else if (content.startsWith(kPermanentTransition)) {
        handlePermanentTransition(senderURI, content.mid(kPermanentTransition.size()));
    } else if (content.startsWith(kPermanentTransitionAck)) {
        handleAcknowledgement(senderURI, kPermanentTransitionAck, content.mid(kPermanentTransitionAck.size()));
    } else {
        qDebug() << "LocalUser::onUserAppDataReceived - unknown message type:" << loggedText(senderURI)
                 << loggedText(content);
    }
}

void LocalUser::handleVoiceRequest(const QString &senderURI, const QString &uri)
{
    Conversation *privateChat = privateChatWith(senderURI);
    if (!privateChat)
        return;
    const QString name = appDataSenderName(senderURI);
    if (!privateChat->getIsJoined()) {
        privateChat->requestJoinConversation(QString(), false);
        privateChat->getChatMessages()->addSystemMessage(
            tr("%1 is requesting a voice conversation, click on the icon to enable audio.").arg(name));
    } else {
        privateChat->getChatMessages()->addSystemMessage(
            tr("%1 has enabled audio, click on the icon to enable audio.").arg(name));
    }
    privateChat->setTransitionSipURI(uri);
    sendAppData(senderURI, kVoiceRequestAck + uri);
}

void LocalUser::handleGroupInvitation(const QString &senderURI, const QString &uri, bool joinPrivateChat)
{
    // The URI ends up inside the notice's link: one that could close the
    // attribute would let the peer write markup of its own.
    if (!isSafeLinkURI(uri)) {
        qWarning() << "LocalUser::onUserAppDataReceived"
                   << "refusing an invitation whose URI cannot be linked, from" << loggedText(senderURI) << "length"
                   << uri.size();
        return;
    }
    Conversation *privateChat = privateChatWith(senderURI);
    if (!privateChat)
        return;
    if (joinPrivateChat) {
        sendAppData(senderURI, kGroupInvitationAck + uri);
        if (!privateChat->getIsJoined())
            privateChat->requestJoinConversation(QString(), false);
    }
    const QString link = (QStringLiteral("tavri:JT-") + uri).toHtmlEscaped();
    privateChat->getChatMessages()->addSystemMessage(
        tr("%1 has invited you to join a private conversation with others.  <a href=\"%2\">Click here to join "
           "now</a>.")
            .arg(appDataSenderName(senderURI), link));
    if (!joinPrivateChat)
        sendAppData(senderURI, kMultiPartyInvitationAck + uri);
}

void LocalUser::handlePermanentTransition(const QString &senderURI, const QString &payload)
{
    const QStringList parts = payload.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (parts.size() != 2) {
        qDebug() << "LocalUser::onUserAppDataReceived - improper ConvertedToPermanent message..."
                 << loggedText(senderURI) << loggedText(payload);
        return;
    }
    const QString oldURI = parts.at(0);
    const QString newURI = parts.at(1);
    // Only a permanent channel can be the new home of a chat; anything else
    // would move a joined conversation somewhere it does not belong.
    if (!newURI.startsWith(kChannelURIPrefix)) {
        qWarning() << "LocalUser::onUserAppDataReceived"
                   << "refusing a move onto a URI that is not a channel, from" << loggedText(senderURI)
                   << loggedText(newURI);
        return;
    }
    qDebug() << "LocalUser::onUserAppDataReceived - processing transition to permanent..." << loggedText(oldURI)
             << loggedText(newURI);
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(oldURI);
    if (!conversation || !conversation->getIsJoined())
        return;
    conversation->setSipURI(newURI, true);
    qDebug() << "LocalUser::onUserAppDataReceived - processing transition to permanent... sending ack";
    sendAppData(senderURI, kPermanentTransitionAck + newURI);
    conversation->setIsFavorite(true, false);
}

void LocalUser::handleAcknowledgement(const QString &senderURI, const QString &prefix, const QString &uri)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri);
    if (!conversation)
        return;
    // A voice or multi-party request went out in the private chat with the
    // peer, so only that peer can acknowledge it; anyone else's text is not
    // an answer.
    if ((prefix == kVoiceRequestAck || prefix == kMultiPartyInvitationAck) && conversation->getSipURI() != senderURI) {
        qWarning() << "LocalUser::onUserAppDataReceived"
                   << "acknowledgement" << prefix << "from" << loggedText(senderURI)
                   << "for a conversation it is not the peer of";
        return;
    }
    if (prefix == kVoiceRequestAck)
        conversation->remoteAcknowledgedVoiceEnabled(senderURI);
    else if (prefix == kMultiPartyInvitationAck)
        conversation->remoteAcknowledgedMultiPartyEnabled(senderURI);
    else if (prefix == kGroupInvitationAck)
        conversation->remoteAcknowledgedInvite(senderURI);
    else if (prefix == kPermanentTransitionAck)
        conversation->remoteAcknowledgedPermanentTransition(senderURI);
}

void LocalUser::onVoiceNetworkAppDataReceived(const QString & /*accountHandle*/, const QString &contentType,
                                              const QString &content)
{
    if (contentType != kNotificationContentType)
        return;
    qDebug() << "LocalUser::onVoiceNetworkAppDataReceived" << contentType << " received, need to retrieve info..."
             << loggedText(content);
    if (content.startsWith(kServerInvitationPoke))
        return;
    const QStringList uids = content.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestNotifications(uids);
}

// --- Notifications and web requests ---------------------------------------------

NotificationList *LocalUser::getNotificationList(bool refresh)
{
    if (!refresh)
        return m_notificationList;
    if (m_notificationList->rowCount() == 0)
        loadStoredNotifications();
    QString since = m_notificationList->getLastNotificationUID();
    if (since.isEmpty())
        since = QStringLiteral("0");
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestNotificationsSince(since);
    return m_notificationList;
}

void LocalUser::loadStoredNotifications()
{
    m_notificationList->clear();
    QStringList uids, senderUIDs, senderNames, customMessages, customActions, channelUIDs, channelNames, emails;
    QList<QDateTime> sentAts;
    QList<int> types, states;
    StorageManager::getInstance()->getNotificationRecords(uids, senderUIDs, senderNames, sentAts, types, customMessages,
                                                          customActions, channelUIDs, channelNames, states, emails);
    for (int i = 0; i < uids.size(); ++i) {
        m_notificationList->addNotification(uids.at(i), senderUIDs.value(i), senderNames.value(i), channelUIDs.value(i),
                                            channelNames.value(i), types.value(i), states.value(i), sentAts.value(i),
                                            customMessages.value(i), customActions.value(i), emails.value(i));
    }
    // The stored state may be old: the service's answer replaces it.
    if (uids.isEmpty())
        return;
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestNotifications(uids);
}

void LocalUser::onPollForNotifications()
{
    getNotificationList(true);
}

QString LocalUser::notificationSenderName(const Notification *notification) const
{
    if (!notification->getSenderUID().isEmpty()) {
        if (Tavri::RealmUserInterface *user =
                TavriIdentityRealm::getInstance()->getRealmUser(notification->getSenderUID()))
            return user->getDisplayName();
    }
    // No sender resolved: the name the record carried, if any.
    if (!notification->getSenderName().isEmpty())
        return notification->getSenderName();
    return tr("Someone");
}

void LocalUser::onDefaultChannelReceived(const QString &channelURI, const QString &channelUID,
                                         const QString &channelDisplayName)
{
    qDebug() << "LocalUser::onDefaultChannelReceived"
             << "Default channel received for user, need to add to Favorites..." << channelURI << channelUID
             << channelDisplayName;
    // A default channel without an address names nothing to keep.
    Conversation *channel =
        channelURI.isEmpty() ? nullptr : TavriIdentityRealm::getInstance()->getConversation(channelURI);
    if (!channel) {
        qWarning() << "LocalUser::onDefaultChannelReceived"
                   << "no channel for" << channelURI;
        return;
    }
    channel->setIsFavorite(true, false);
}

void LocalUser::onNotificationAdded(Notification *notification)
{
    if (!notification || notification->getState() != Notification::NotificationStateUnread)
        return;
    StorageManager *storage = StorageManager::getInstance();
    switch (notification->getNotificationType()) {
    case Notification::NotificationTypeFriended:
    case Notification::NotificationTypeUnfriended: {
        const QString text = notification->getNotificationType() == Notification::NotificationTypeFriended
                                 ? tr("%1 has added you as a friend").arg(notificationSenderName(notification))
                                 : tr("%1 has removed you as a friend").arg(notificationSenderName(notification));
        if (storage->getSettingsValue(StorageManager::SettingsKeyPopupsFriendRequest, QStringLiteral("true")).toBool())
            emit notificationReceived(text, QString());
        break;
    }
    case Notification::NotificationTypeChannelInvite: {
        const QString channelUID = notification->getChannelUID();
        Conversation *channel =
            channelUID.isEmpty() ? nullptr : TavriIdentityRealm::getInstance()->getConversationByUID(channelUID);
        QString channelName = channel ? channel->getDisplayName() : notification->getChannelDisplayName();
        if (channelName.isEmpty())
            channelName = tr("a conversation");
        const QString text = tr("%1 has invited you to %2.  Click to join the channel now.")
                                 .arg(notificationSenderName(notification), channelName);
        // Only a channel can be joined from the alert.
        const QString channelURI =
            channel && channel->getSipURI().startsWith(kChannelURIPrefix) ? channel->getSipURI() : QString();
        if (storage->getSettingsValue(StorageManager::SettingsKeyPopupsChannelInvite, QStringLiteral("true")).toBool())
            emit notificationReceived(text, channelURI);
        break;
    }
    default:
        break;
    }
}

void LocalUser::requestMarkNotifications(const QStringList &notificationUIDs, int state)
{
    if (!isNotificationState(state)) {
        qWarning() << "LocalUser::requestMarkNotifications"
                   << "no such notification state" << state;
        return;
    }
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestUpdateNotifications(notificationUIDs, state);
    if (state == Notification::NotificationStateDeleteRequested)
        m_notificationList->removeNotifications(notificationUIDs, false);
}

void LocalUser::requestMarkAllNotifications(int state)
{
    if (!isNotificationState(state)) {
        qWarning() << "LocalUser::requestMarkAllNotifications"
                   << "no such notification state" << state;
        return;
    }
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestUpdateNotifications(m_notificationList->getNotificationUIDs(), state);
    if (state == Notification::NotificationStateDeleteRequested)
        m_notificationList->clear();
    else if (state == Notification::NotificationStateRead)
        m_notificationList->markAllAsRead();
    else
        m_notificationList->setAllNotificationsState(static_cast<Notification::NotificationState>(state));
}

void LocalUser::requestProfilePictureUpdate(const QString &profilePictureUrl)
{
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestSetUserImage(profilePictureUrl);
}

void LocalUser::requestProfileUpdate(const QString &displayName, const QString &description, const QString &tagline,
                                     const QString &location)
{
    if (m_identity)
        m_identity->requestProfileUpdate(displayName, description, tagline, location);
}

void LocalUser::requestInviteUsersViaEmail(const QStringList &emailAddresses, const QString &customMessage,
                                           const QString &channelUri)
{
    // The whole text must match: "$" alone would let a trailing line break
    // through.
    static const QRegularExpression address(
        QRegularExpression::anchoredPattern(QStringLiteral("\\w+([-+.']\\w+)*@\\w+([-.]\\w+)*\\.\\w+([-.]\\w+)*")));
    QStringList kept;
    for (const QString &emailAddress : emailAddresses) {
        if (address.match(emailAddress).hasMatch())
            kept.append(emailAddress);
        else
            qDebug() << "LocalUser::requestInviteUsersViaEmail"
                     << "not an e-mail address, dropped:" << emailAddress;
    }
    QString channelUID;
    if (!channelUri.isEmpty()) {
        if (Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(channelUri))
            channelUID = channel->getChannelUID();
    }
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestInviteUsersViaEmail(kept, customMessage, QString(), channelUID);
}

void LocalUser::requestAddFriend(const QString &remoteUserUri)
{
    requestFriendChange("LocalUser::requestAddFriend", remoteUserUri, &TavriIdentityRealm::requestAddContact);
}

void LocalUser::requestRemoveFriend(const QString &remoteUserUri)
{
    requestFriendChange("LocalUser::requestRemoveFriend", remoteUserUri, &TavriIdentityRealm::requestRemoveContact);
}

void LocalUser::requestFriendChange(const char *function, const QString &remoteUserUri,
                                    void (TavriIdentityRealm::*change)(const QString &, const QString &))
{
    if (remoteUserUri.isEmpty()) {
        qWarning() << function << "no user URI";
        return;
    }
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(remoteUserUri);
    Tavri::RealmUserInterface *localUserIdentity = getLocalUserIdentity(realm);
    if (!TAVRI_CHECK(localUserIdentity))
        return;
    (realm->*change)(localUserIdentity->getUid(), user->getUid());
}

void LocalUser::requestRefreshFavorites()
{
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestChannelFavoritesList();
}

void LocalUser::onRefreshFavoriteChannel()
{
    requestRefreshFavorites();
}

void LocalUser::requestRefreshOwnedChannels()
{
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestChannelsOwned();
}

void LocalUser::onRefreshOwnedChannels()
{
    requestRefreshOwnedChannels();
}

void LocalUser::requestRefreshFriends()
{
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestBuddyList();
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestContactGroups();
}

void LocalUser::onFriendListRequiresUpdate()
{
    requestRefreshFriends();
}

void LocalUser::requestReportIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                   const QString &cs)
{
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestIssue(comments, so, rc, c, cs);
}

void LocalUser::requestReportIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                   const QString &cs, const QStringList &params)
{
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestIssueWithDetails(comments, so, rc, c, cs, params);
}

// --- Conversation tracking ----------------------------------------------------

void LocalUser::setLastCallId(const QString &callId)
{
    if (m_lastCallId == callId)
        return;
    m_lastCallId = callId;
    emit lastCallIdChanged();
}

QStringList LocalUser::getParticipatingURIs() const
{
    QStringList uris;
    for (int row = 0; row < m_conversations.count(); ++row) {
        Conversation *conversation = m_conversations.at(row);
        if (!conversation || !conversation->getIsJoined())
            continue;
        const QString transition = conversation->getTransitionSipURI();
        uris.append(transition.isEmpty() ? conversation->getSipURI() : transition);
    }
    return uris;
}

void LocalUser::onConversationJoined(Tavri::IdentityRealmInterface *realm, const QString &)
{
    if (realm == static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance()))
        emit participatingURIsChanged(getParticipatingURIs());
}

void LocalUser::onConversationDisconnected(Tavri::IdentityRealmInterface *realm, const QString &conversationID,
                                           Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode,
                                           const QString &)
{
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    if (realm != static_cast<Tavri::IdentityRealmInterface *>(builtIn))
        return;
    emit participatingURIsChanged(getParticipatingURIs());
    Conversation *conversation = conversationID.isEmpty() ? nullptr : builtIn->getConversation(conversationID);
    if (!conversation || conversation->getSipURI() == m_lastParticipatingURI)
        return;
    m_lastParticipatingURI = conversation->getSipURI();
    emit lastParticipatingURIChanged(m_lastParticipatingURI);
}

void LocalUser::onSessionReallyConnectedChanged()
{
    VoiceManager *voice = VoiceManager::getInstance();
    int count = 0;
    if (voice) {
        const QSet<QString> sessions = voice->knownSessions();
        for (const QString &handle : sessions)
            if (voice->getUriBySessionHandle(handle).startsWith(QLatin1String("sip:confctl-")))
                ++count;
    }
    m_channelSessionCount = count;
    emit isInChannelChanged(count != 0);
}
