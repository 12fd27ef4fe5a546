#include "conversation.h"

#include "contactgrouplist.h"
#include "conversationlist.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "permanentconversationjsonreplyhandler.h"
#include "recentconversations.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"

#include "cfindusers.h"
#include "tavriapplication.h"
#include "windowstyle.h"

// The find dialogs of a channel's settings window, each in the header named
// after it; where they are missing the window goes without them.
#if __has_include("cfindusersforaccessdialog.h")
#include "cfindusersforaccessdialog.h"
#endif
#if __has_include("cfindusersformoderatordialog.h")
#include "cfindusersformoderatordialog.h"
#endif
#if __has_include("cfindusersforbandialog.h")
#include "cfindusersforbandialog.h"
#endif

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QGuiApplication>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>
#include <QTimerEvent>

#include <type_traits>
#include <utility>

class CFindUsersForAccessDialog;
class CFindUsersForModeratorDialog;
class CFindUsersForBanDialog;

namespace {

const QLatin1String kPermanentPrefix("sip:confctl-");
const QLatin1String kAdHocPrefix("sip:confctl-g-");
const QLatin1String kPrivatePrefix("sip:u-");
const QLatin1String kPeerToPeerPrefix("sip:P2P-");

// A joined permanent channel reports the user's stay this often.
const int kStatisticsIntervalMs = 900000;
// At most this many conferences with voice at once.
const int kMaxJoinedChannels = 6;
// How long a join line waits for the newcomer's display name.
const int kJoinAnnouncementWaitMs = 2000;
// How long the peer has to acknowledge an in-band request.
const int kInBandAckTimeoutMs = 10000;
// The participant list of a channel the user is not in is asked again after
// these intervals: sooner while contacts are in it, rarely while it is empty.
const int kRefreshWithContactsMs = 120000;
const int kRefreshWithoutContactsMs = 240000;
const int kRefreshEmptyMs = 600000;
const int kRefreshRepeatMs = 900000;
// The page of participants asked for a channel the user is not in.
const int kParticipantQueryFirst = 1;
const int kParticipantQuerySecond = 51;

const char kQmlFolder[] = "qrc:/QML/qml/tavri/";

// Whether a class is defined here, not only declared.
template <typename T, typename = void>
struct IsDefined : std::false_type {
};
template <typename T>
struct IsDefined<T, std::void_t<decltype(sizeof(T))>> : std::true_type {
};

// A find dialog for the conversation, owned by it; null when the dialog
// class is not part of the program.
template <typename Dialog>
QObject *makeFindDialog(Conversation *conversation)
{
    if constexpr (IsDefined<Dialog>::value)
        return new Dialog(conversation, conversation);
    else
        return nullptr;
}

QQmlContext *windowContext(QQuickView *window)
{
    return TavriApplication::instance()->windowContext(window);
}

Conversation::AlertHandler &alertHandler()
{
    static Conversation::AlertHandler handler;
    return handler;
}

} // namespace

QQuickView *Conversation::s_detailsWindow = nullptr;
QQuickView *Conversation::s_editWindow = nullptr;
QQuickView *Conversation::s_confirmDeleteWindow = nullptr;
const Conversation *Conversation::s_detailsOwner = nullptr;
const Conversation *Conversation::s_editOwner = nullptr;
const Conversation *Conversation::s_confirmDeleteOwner = nullptr;
bool Conversation::s_openingDetails = false;
bool Conversation::s_openingEdit = false;

Conversation::Conversation(Tavri::IdentityRealmInterface *realm, const QString &conversationID,
                           const QString &displayName, QObject *parent, VoiceState voiceState, JoinState joinState,
                           const QString &ostrelSessionHandle, const QString &sipURI)
    : QObject(parent)
    , m_conversationID(conversationID)
    , m_displayName(displayName)
    , m_voiceState(voiceState)
    , m_joinState(joinState)
    , m_participants(this)
    , m_chatMessages(this)
    , m_ostrelSessionHandle(ostrelSessionHandle)
    , m_sipURI(sipURI)
    , m_realm(realm)
    , m_moderators(this)
    , m_members(this)
    , m_banned(this)
{
    if (isBuiltInRealm())
        m_chatTransportType = OstrelSDK;
    else if (m_realm && m_realm->realmFlagA())
        m_chatTransportType = XMPP;
    else
        m_chatTransportType = Other;
    if (m_sipURI.isEmpty() && isBuiltInRealm())
        m_sipURI = m_conversationID;
    initialize();
}

Conversation::Conversation(const QString &displayName, const QString &sipURI, const QString &channelUID,
                           QObject *parent, const QString &ostrelSessionHandle)
    : QObject(parent)
    , m_conversationID(sipURI)
    , m_displayName(displayName)
    , m_participants(this)
    , m_chatMessages(this)
    , m_chatTransportType(OstrelSDK)
    , m_ostrelSessionHandle(ostrelSessionHandle)
    , m_sipURI(sipURI)
    , m_realm(TavriIdentityRealm::getInstance())
    , m_channelUID(channelUID)
    , m_moderators(this)
    , m_members(this)
    , m_banned(this)
{
    const bool hasSession = !ostrelSessionHandle.isEmpty();
    m_joinState = hasSession ? Joined : NotJoined;
    m_voiceState = hasSession && !sipURI.startsWith(kPrivatePrefix) ? VoiceEnabled : VoiceDisabled;
    initialize();
}

Conversation::Conversation()
    : m_participants(this)
    , m_chatMessages(this)
    , m_moderators(this)
    , m_members(this)
    , m_banned(this)
{
    qDebug() << "Conversation() should only be used for enum access by QML";
}

void Conversation::initialize()
{
    m_familyTree = new ConversationList(this);

    if (m_sipURI.startsWith(kPrivatePrefix))
        connectRemoteUser();

    if (m_realm) {
        QObject *realm = m_realm->realmObject();
        connect(realm, SIGNAL(conversationPasswordRequired(QString, QString)), this,
                SLOT(onConversationPasswordRequired(QString, QString)));
        connect(realm, SIGNAL(conversationParticipantAdded(QString, QString)), this,
                SLOT(onConversationParticipantAdded(QString, QString)));
        connect(realm, SIGNAL(conversationParticipantIsTypingChanged(QString, QString, bool)), this,
                SLOT(onConversationParticipantIsTypingChanged(QString, QString, bool)));
        connect(realm,
                SIGNAL(conversationParticipantRemoved(
                    QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)),
                this,
                SLOT(onConversationParticipantRemoved(
                    QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)));
        connect(realm,
                SIGNAL(conversationDisconnected(
                    QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)),
                this,
                SLOT(onConversationDisconnected(
                    QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)));
        connect(realm, SIGNAL(destroying()), this, SLOT(onIdentityRealmDestroying()));
        connect(realm, SIGNAL(textMessageReceived(QString, QString, QString, QString, QDateTime)), &m_chatMessages,
                SLOT(onConversationTextMessageReceived(QString, QString, QString, QString, QDateTime)));
    }
    connect(this, &Conversation::joinStateChanged, this, &Conversation::onJoinStateChanged);
    connect(&m_moderators, &RealmIdentityList::realmIdentityAdded, this, &Conversation::onModeratorsRealmIdentityAdded);
    connect(&m_moderators, &RealmIdentityList::realmIdentityRemoved, this,
            &Conversation::onModeratorsRealmIdentityRemoved);
    connect(&m_participants, &ConversationParticipantList::participantCountChanged, this,
            &Conversation::onConversationParticipantCountChanged);
    if (VoiceManager *voice = VoiceManager::getInstance())
        followUserLists(voice);
}

Conversation::~Conversation()
{
    qDebug() << "Conversation::~Conversation" << this;
    requestLeaveConversation(true);
    setJoinState(NotJoined);
    setVoiceState(VoiceDisabled);

    if (VoiceManager *voice = VoiceManager::getInstance()) {
        terminateSession(m_ostrelSessionHandle);
        terminateSession(m_legacyOstrelSessionHandle);
    }
    unfileForUserLists();

    // The windows have no parent: without this they would outlive us.
    if (m_passwordWindow) {
        disconnect(m_passwordWindow, nullptr, this, nullptr);
        m_passwordWindow->setSource(QUrl());
        m_passwordWindow->close();
        m_passwordWindow->deleteLater();
        m_passwordWindow = nullptr;
    }
    if (m_window) {
        disconnect(m_window, nullptr, this, nullptr);
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
    }
    // The process-wide windows opened for this conversation show it no more.
    const std::pair<QQuickView **, const Conversation **> shared[] = {{&s_detailsWindow, &s_detailsOwner},
                                                                      {&s_editWindow, &s_editOwner},
                                                                      {&s_confirmDeleteWindow, &s_confirmDeleteOwner}};
    for (const auto &entry : shared) {
        if (*entry.second == this && *entry.first) {
            QQuickView *window = *entry.first;
            *entry.first = nullptr;
            *entry.second = nullptr;
            disconnect(window, nullptr, this, nullptr);
            // Hidden, not closed: its QML must not act on a conversation
            // that is ending.
            window->hide();
            window->deleteLater();
        }
    }

    emit destroying();

    stopTimer(m_windowGeometryTimerId);
    stopTimer(m_statsTimerId);
    stopTimer(m_participantRefreshTimerId);
    stopTimer(m_voiceRequestAckTimerId);
    stopTimer(m_multiPartyAckTimerId);
    for (auto it = m_inviteAckTimers.cbegin(); it != m_inviteAckTimers.cend(); ++it)
        killTimer(it.key());
    m_inviteAckTimers.clear();
    for (auto it = m_permanentTransitionAckTimers.cbegin(); it != m_permanentTransitionAckTimers.cend(); ++it)
        killTimer(it.key());
    m_permanentTransitionAckTimers.clear();
    m_participants.clear();
    m_chatMessages.clear();
    disconnectRealm();
    disconnectRemoteUser();
    if (m_owner)
        disconnect(m_owner, nullptr, this, nullptr);
    if (m_parent)
        disconnect(m_parent, nullptr, this, nullptr);

    if (m_familyTree) {
        m_familyTree->clear();
        delete m_familyTree;
        m_familyTree = nullptr;
    }
}

QString Conversation::echoChannelURI()
{
    static const QString uri =
        QStringLiteral("sip:confctl-2@")
        + (VoiceManager::getInstance() ? VoiceManager::getInstance()->domain() : VoiceManager::defaultDomain(false));
    return uri;
}

QString Conversation::createEphemeralURI()
{
    TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
    const QString seed = (identity ? identity->getSipURI() : QString()) + QLatin1Char(':')
                         + QString::number(QDateTime::currentMSecsSinceEpoch()) + QLatin1Char(':') + getDisplayName();
    QString id = QString::fromLatin1(QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Md5).toHex());
    id.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")));
    if (id.isEmpty()) {
        qWarning() << "Conversation::createEphemeralURI"
                   << "problem generating ephemeral, creating fallback" << getDisplayName();
        id = QString::number(QDateTime::currentMSecsSinceEpoch());
    }
    VoiceManager *voice = VoiceManager::getInstance();
    const QString domain = voice ? voice->domain() : VoiceManager::defaultDomain(false);
    return (QString(kAdHocPrefix) + id + QLatin1Char('@') + domain).toLower();
}

QString Conversation::settingsKey() const
{
    // A "/" in an id makes the settings store file the key in nested groups;
    // reading with the same key finds it there again.
    if (isBuiltInRealm() || !m_realm)
        return m_conversationID;
    return m_realm->realmID() + QLatin1Char(':') + m_conversationID;
}

void Conversation::resetInternals()
{
    if (!m_sipURI.startsWith(kPermanentPrefix))
        setVoiceState(VoiceDisabled);
    if (m_sipURI.startsWith(kAdHocPrefix)) {
        if (m_transitionSipURI.startsWith(kPeerToPeerPrefix)) {
            setSipURI(m_transitionSipURI);
            setTransitionSipURI(QString());
        } else {
            setSipURI(QString());
        }
    }
    if (m_window) {
        if (m_sipURI.startsWith(kPrivatePrefix))
            disconnectRemoteUser();
        disconnect(m_window, nullptr, this, nullptr);
        m_participants.clear();
        m_chatMessages.clear();
        m_window->hide();
        // The window has no parent; a new one is made for the next stay.
        m_window->deleteLater();
        m_window = nullptr;
    }
}

// --- getters ---------------------------------------------------------------

QString Conversation::getRealmID() const
{
    return m_realm ? m_realm->realmID() : QString();
}

QString Conversation::getRealmDisplayName() const
{
    return m_realm ? m_realm->realmDisplayName() : QString();
}

QString Conversation::getDisplayName() const
{
    if (!m_sipURI.startsWith(kAdHocPrefix))
        return m_displayName;
    LocalUser *localUser = LocalUser::getLocalUser();
    // Three names settle the title, and present rows come first: the scan
    // stops there instead of visiting every row of a large chat.
    QStringList names;
    // Walked as a constant list: walking the returned copy itself would
    // copy every row first.
    const QList<ConversationParticipant *> participants = m_participants.getParticipants();
    for (ConversationParticipant *participant : participants) {
        Tavri::RealmUserInterface *identity = participant->getIdentity();
        if (participant->getInvitedState() == ConversationParticipant::Present && identity
            && !localUser->isLocalUserIdentity(identity))
            names.append(identity->getDisplayName());
        if (names.size() > 2)
            break;
    }
    if (names.isEmpty())
        return tr("Open private chat");
    if (names.size() > 2)
        return tr("Open private chat w/ %1 others").arg(m_participants.rowCount() - 1);
    return tr("Open private chat w/ %1").arg(names.join(QLatin1Char(',')));
}

bool Conversation::getIsJoined() const
{
    return (m_sipURI.startsWith(kPrivatePrefix) && m_window) || m_joinState == Joined;
}

QString Conversation::getOstrelSessionHandle(bool orTransition) const
{
    if (orTransition && m_ostrelSessionHandle.isEmpty())
        return m_transitionOstrelSessionHandle;
    return m_ostrelSessionHandle;
}

bool Conversation::getLocalAudioEnabled() const
{
    LocalUser *localUser = LocalUser::getLocalUser();
    for (ConversationParticipant *participant : m_participants.getParticipants())
        if (participant->getIdentity() && localUser->isLocalUserIdentity(participant->getIdentity()))
            return participant->getVoiceEnabled();
    return false;
}

bool Conversation::getIsPrivate() const
{
    return !m_sipURI.isEmpty() && m_sipURI.startsWith(kPrivatePrefix);
}

bool Conversation::getIsOwned() const
{
    return m_owner && LocalUser::getLocalUser()->isLocalUserIdentity(m_owner);
}

QString Conversation::getParentURI() const
{
    return m_parent ? m_parent->getSipURI() : QString();
}

QString Conversation::getOwnerURI() const
{
    return m_owner ? m_owner->getSipURI() : QString();
}

QString Conversation::getOwnerUID() const
{
    return m_owner ? m_owner->getUid() : QString();
}

QString Conversation::getMessage() const
{
    return m_message.isNull() ? QString("") : m_message;
}

int Conversation::getDepth() const
{
    // setParentConversation keeps the chain free of cycles.
    return m_parent ? m_parent->getDepth() + 1 : 0;
}

bool Conversation::getLocalUserIsModerator()
{
    TavriIdentityRealmUser *localUserIdentity = LocalUser::getLocalUser()->tavriidentity();
    if (!TAVRI_CHECK(localUserIdentity))
        return false;
    if (getIsOwned())
        return true;
    const QString uid = localUserIdentity->getUid();
    for (Tavri::RealmUserInterface *moderator : m_moderators.getIdentityList()) {
        if (moderator->identityRealm() && qobject_cast<TavriIdentityRealm *>(moderator->identityRealm()->realmObject())
            && moderator->getUid() == uid)
            return true;
    }
    if (m_moderators.getIdentityList().isEmpty() && m_accessType == InvitationOnly)
        getModerators(true);
    return false;
}

bool Conversation::hasPermanentChannelURI() const
{
    return m_sipURI.startsWith(kPermanentPrefix) && !m_sipURI.startsWith(kAdHocPrefix);
}

RealmIdentityList *Conversation::getMembers(bool refresh)
{
    if (!refresh && m_membersFetched)
        return &m_members;
    if (hasPermanentChannelURI())
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestChannelAclList(m_sipURI);
    m_membersFetched = true;
    return &m_members;
}

RealmIdentityList *Conversation::getModerators(bool refresh)
{
    if (!refresh && m_moderatorsFetched)
        return &m_moderators;
    if (hasPermanentChannelURI())
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestChannelModeratorList(m_sipURI);
    m_moderatorsFetched = true;
    return &m_moderators;
}

RealmIdentityList *Conversation::getBanned(bool refresh)
{
    if (!refresh && m_bannedFetched)
        return &m_banned;
    if (hasPermanentChannelURI())
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestBannedUserList(m_sipURI);
    m_bannedFetched = true;
    return &m_banned;
}

ConversationList *Conversation::getFamilyTree(bool refresh)
{
    qDebug() << "Conversation::getFamilyTree" << m_displayName;
    if (refresh && m_sipURI.startsWith(kPermanentPrefix)) {
        qDebug() << "Conversation::getFamilyTree" << m_displayName << "retrieving hierarchy";
        if (QSocialManager *social = QSocialManager::getInstance())
            social->requestChannelsInHierarchy(m_hierarchyRoot, replyHandler());
    }
    qDebug() << "Conversation::getFamilyTree" << m_displayName << m_familyTree->rowCount();
    return m_familyTree;
}

// --- setters of server-kept attributes ----------------------------------

bool Conversation::acceptLocalEdit(bool fromServer, const char *function)
{
    if (fromServer || m_editing)
        return true;
    reportAssertionFailure("false", __FILE__, __LINE__, function, true);
    return false;
}

void Conversation::setDisplayName(const QString &displayName, bool fromServer)
{
    if (!fromServer && !m_editing && !m_channelUID.isEmpty()) {
        reportAssertionFailure("false", __FILE__, __LINE__, "Conversation::setDisplayName", true);
        return;
    }
    if (displayName == m_displayName)
        return;
    m_displayName = displayName;
    emit displayNameChanged(getDisplayName());
}

void Conversation::setAccessType(AccessType accessType, bool fromServer)
{
    if (!acceptLocalEdit(fromServer, "Conversation::setAccessType"))
        return;
    m_accessType = accessType;
    emit accessTypeChanged(accessType);
}

void Conversation::setProfileImageURI(const QString &profileImageURI, bool fromServer)
{
    if (fromServer) {
        m_profileImageURI = profileImageURI;
        emit profileImageURIChanged(profileImageURI);
        return;
    }
    if (!isSavedChannel()) {
        // Uploaded once the channel exists.
        m_profileImageURI = profileImageURI;
        return;
    }
    // The stored picture changes when the web service has taken the file.
    if (profileImageURI == m_profileImageURI)
        return;
    if (QSocialManager *social = QSocialManager::getInstance())
        social->setChannelPicture(m_channelUID, profileImageURI, replyHandler());
}

void Conversation::setMessage(const QString &message, bool fromServer)
{
    if (!acceptLocalEdit(fromServer, "Conversation::setMessage"))
        return;
    m_message = message;
    emit messageChanged(getMessage());
}

void Conversation::setDescription(const QString &description, bool fromServer)
{
    if (!acceptLocalEdit(fromServer, "Conversation::setDescription"))
        return;
    m_description = description;
    emit descriptionChanged(description);
}

void Conversation::setDialinAccessCode(const QString &dialinAccessCode, bool fromServer)
{
    if (!acceptLocalEdit(fromServer, "Conversation::setDialinAccessCode"))
        return;
    m_dialinAccessCode = dialinAccessCode;
    emit dialinAccessCodeChanged(dialinAccessCode);
}

void Conversation::setLastInhabited(const QDateTime &lastInhabited, bool fromServer)
{
    if (!fromServer) {
        qWarning() << "Conversation::setLastInhabited"
                   << "not supported";
        return;
    }
    m_lastInhabited = lastInhabited;
    emit lastInhabitedChanged(lastInhabited);
}

void Conversation::setIsFavorite(bool isFavorite, bool fromServer)
{
    if (fromServer) {
        if (isFavorite != m_isFavorite) {
            m_isFavorite = isFavorite;
            emit isFavoriteChanged(isFavorite);
        }
        ConversationList *favorites = LocalUser::getLocalUser()->getConversations();
        if (m_isFavorite)
            favorites->addConversation(this);
        else if (m_joinState != Joined && !favorites->holdsRow(this))
            favorites->removeConversation(this);
        return;
    }
    // Compared with the value still on its way, so that a second click
    // before the answer asks for what the user sees.
    const bool current = m_favoriteRequestsPending > 0 ? m_requestedFavorite : m_isFavorite;
    if (isFavorite == current)
        return;
    qDebug() << "Conversation::setIsFavorite" << m_channelUID << isFavorite;
    QSocialManager *social = QSocialManager::getInstance();
    if (!social)
        return;
    m_requestedFavorite = isFavorite;
    ++m_favoriteRequestsPending;
    social->requestChangeChannelFavorite(m_channelUID, isFavorite, QString(), replyHandler());
}

void Conversation::onWebRequestFailed()
{
    m_favoriteRequestsPending = 0;
}

void Conversation::onFavoriteReply(bool ok)
{
    if (m_favoriteRequestsPending > 0)
        --m_favoriteRequestsPending;
    // Every accepted answer applies the last value asked for: the service
    // handles the changes in order, so that is where it ends.
    if (ok)
        setIsFavorite(m_requestedFavorite, true);
}

void Conversation::setChannelUID(const QString &channelUID)
{
    if (channelUID == m_channelUID)
        return;
    m_channelUID = channelUID;
    emit channelUIDChanged(m_channelUID);
    emit isPermanentChanged(!m_channelUID.isEmpty());
    setTransitionSipURI(QString(""));
}

void Conversation::setHierarchyRoot(const QString &hierarchyRoot)
{
    if (hierarchyRoot == m_hierarchyRoot)
        return;
    m_hierarchyRoot = hierarchyRoot;
    if (m_familyTree && m_familyTree->rowCount() > 0)
        getFamilyTree(true);
}

void Conversation::setHasChildren(bool hasChildren)
{
    if (hasChildren == m_hasChildren)
        return;
    m_hasChildren = hasChildren;
    emit hasChildrenChanged(hasChildren);
}

void Conversation::setOwnerIdentity(TavriIdentityRealmUser *owner)
{
    if (m_owner) {
        disconnect(m_owner, &TavriIdentityRealmUser::destroying, this, &Conversation::onOwnerIdentityDestroying);
        disconnect(m_owner, &TavriIdentityRealmUser::sipURIChanged, this, &Conversation::onOwnerIdentityURIChanged);
        disconnect(m_owner, &TavriIdentityRealmUser::uidChanged, this, &Conversation::onOwnerIdentityUIDChanged);
    }
    m_owner = owner;
    if (m_owner) {
        connect(m_owner, &TavriIdentityRealmUser::destroying, this, &Conversation::onOwnerIdentityDestroying);
        connect(m_owner, &TavriIdentityRealmUser::sipURIChanged, this, &Conversation::onOwnerIdentityURIChanged);
        connect(m_owner, &TavriIdentityRealmUser::uidChanged, this, &Conversation::onOwnerIdentityUIDChanged);
    }
    emit ownerURIChanged(getOwnerURI());
    emit ownerUIDChanged(getOwnerUID());
    emit isOwnedChanged(getIsOwned());
}

void Conversation::setParentConversation(Conversation *parent)
{
    // Channel records can name a channel as its own parent, or as a child of
    // one of its descendants; taking such a parent would make the depth
    // endless.
    for (Conversation *ancestor = parent; ancestor; ancestor = ancestor->m_parent) {
        if (ancestor == this) {
            qWarning() << "Conversation::setParentConversation"
                       << "refusing parent" << parent->getSipURI() << "of" << m_sipURI
                       << ": it is this channel or one of its descendants";
            return;
        }
    }

    if (m_parent) {
        m_parent->m_childChannelURIs.removeAll(m_sipURI);
        emit m_parent->childChannelURIsChanged(m_parent->m_childChannelURIs);
        disconnect(m_parent, &Conversation::sipURIChanged, this, &Conversation::onParentConversationSipURIChanged);
        disconnect(m_parent, &Conversation::destroying, this, &Conversation::onParentConversationDestroying);
    }
    m_parent = parent;
    emit parentURIChanged(getParentURI());
    if (m_parent) {
        if (!m_parent->m_childChannelURIs.contains(m_sipURI, Qt::CaseSensitive))
            m_parent->m_childChannelURIs.append(m_sipURI);
        emit m_parent->childChannelURIsChanged(m_parent->m_childChannelURIs);
        connect(m_parent, &Conversation::sipURIChanged, this, &Conversation::onParentConversationSipURIChanged);
        connect(m_parent, &Conversation::destroying, this, &Conversation::onParentConversationDestroying);
    }
}

// --- join, voice and session state ---------------------------------------

void Conversation::setJoinState(JoinState state)
{
    if (state == m_joinState)
        return;
    const bool wasLeaving = m_joinState == Leaving;
    m_joinState = state;
    emit joinStateChanged(state);
    emit isJoinedChanged(getIsJoined());

    if (state == Joined)
        getFamilyTree(true);

    if (state > NotJoined) {
        qDebug() << "Conversation::setJoinState"
                 << "confirmed joining / joined, ensure window is open" << state;
        if (state != Leaving)
            showConversationWindow();
        closePasswordWindow();
    }

    if (state == NotJoined) {
        const bool privateChat = m_sipURI.startsWith(kPrivatePrefix) || m_transitionSipURI.startsWith(kPrivatePrefix);
        if (privateChat && !wasLeaving) {
            qDebug() << "Conversation::setJoinState"
                     << "no longer joined" << m_sipURI << m_ostrelSessionHandle;
            if (m_transitionSipURI.startsWith(kPrivatePrefix))
                setSipURI(m_transitionSipURI, false);
            setTransitionSipURI(QString());
            m_legacyOstrelSessionHandle.clear();
            // Only the private session dropped: a channel the chat was moving
            // to keeps its session, so the state is recorded, not acted on.
            recordVoiceState(VoiceDisabled);
            if (m_transitionOstrelSessionHandle.isEmpty())
                m_participants.clear();
        } else {
            qDebug() << "Conversation::setJoinState"
                     << "confirmed left channel, close window, reset internals";
            if (VoiceManager::getInstance()) {
                terminateSession(m_legacyOstrelSessionHandle);
                QString transition = m_transitionOstrelSessionHandle;
                terminateSession(transition);
                QString session = getOstrelSessionHandle(true);
                terminateSession(session);
            }
            setTransitionOstrelSessionHandle(QString());
            setOstrelSessionHandle(QString());
            if (privateChat)
                setVoiceState(VoiceDisabled);
            setTransitionSipURI(QString());
            resetInternals();
        }
    }

    if (m_sipURI.startsWith(kPermanentPrefix) && !m_realmEnding) {
        ConversationList *joined = LocalUser::getLocalUser()->getConversations();
        // A favourite, owned or opened-under-its-parent channel keeps its
        // row (and the rows under it) when it is left.
        if ((state == NotJoined || state == Leaving) && !joined->holdsRow(this))
            joined->removeConversation(this);
        else if (state == Joined)
            joined->addConversation(this);
    }

    if (state == NotJoined) {
        const QList<int> timerIds = m_joinAnnouncements.keys();
        for (int timerId : timerIds)
            dropJoinAnnouncement(timerId);
    }
}

void Conversation::setVoiceState(VoiceState state)
{
    qDebug() << "Conversation::setVoiceState" << m_sipURI << state;
    if (state == m_voiceState)
        return;
    // Voice is turned off while the old state still stands: requestVoice(false)
    // does nothing once the state reads VoiceDisabled.
    if (state == VoiceDisabled && getIsJoined())
        requestVoice(false);
    if (state != VoiceDisabled)
        m_mediaOffRequested = false;
    m_voiceState = state;
    if (state == VoiceRequested && getIsJoined())
        requestVoice(true);
    emit voiceStateChanged(state);
}

void Conversation::recordVoiceState(VoiceState state)
{
    if (state == m_voiceState)
        return;
    if (state != VoiceDisabled)
        m_mediaOffRequested = false;
    m_voiceState = state;
    emit voiceStateChanged(state);
}

void Conversation::setSipURI(const QString &uri, bool fetchChannelInfo)
{
    if (uri == m_sipURI)
        return;
    const bool wasAdHoc = m_sipURI.startsWith(kAdHocPrefix);
    if (m_sipURI.startsWith(kPrivatePrefix))
        disconnectRemoteUser();
    m_sipURI = uri;
    if (m_userListSerial) {
        unfileForUserLists();
        fileForUserLists();
    }
    emit sipURIChanged(uri);
    emit isPrivateChanged(getIsPrivate());
    emit displayNameChanged(getDisplayName());
    if (isBuiltInRealm()) {
        m_conversationID = uri;
        emit conversationIdChanged(m_conversationID);
    }
    if (uri.startsWith(kPrivatePrefix)) {
        connectRemoteUser();
        emit displayNameChanged(getDisplayName());
        return;
    }
    if (wasAdHoc && m_joinState == Joined) {
        if (fetchChannelInfo && isBuiltInRealm()) {
            qDebug() << "Conversation::setSipURI"
                     << "retrieving updated channel info..." << uri;
            QString liveID = uri;
            liveID.remove(kPermanentPrefix);
            liveID = liveID.section(QLatin1Char('@'), 0, 0);
            if (QSocialManager *social = QSocialManager::getInstance())
                social->requestChannelInfoWithOwnerInfoFromLiveUID(liveID, nullptr);
        }
        qDebug() << "Conversation::setSipURI"
                 << "transitioning to new channel... requesting join" << uri;
        m_legacyOstrelSessionHandle = m_ostrelSessionHandle;
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestJoinChannel(uri, QString(), true);
    }
}

void Conversation::setTransitionSipURI(const QString &uri)
{
    qDebug() << "Conversation::setTransitionSipURI" << m_sipURI << m_transitionSipURI << uri;
    if (uri == m_transitionSipURI)
        return;
    bool rejoin = false;
    if (!m_transitionSipURI.isEmpty() && !m_transitionOstrelSessionHandle.isEmpty() && !uri.isEmpty()
        && !m_transitionSipURI.startsWith(kPrivatePrefix)) {
        qDebug() << "Conversation::setTransitionSipURI"
                 << "terminating original session in favor of new session";
        QString handle = m_transitionOstrelSessionHandle;
        setTransitionOstrelSessionHandle(QString());
        terminateSession(handle);
        rejoin = true;
    }
    m_transitionSipURI = uri;
    emit transitionSipURIChanged(uri);
    if (rejoin) {
        qDebug() << "Conversation::setTransitionSipURI"
                 << "rejoining new transition ephemeral" << uri;
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestJoinChannel(uri, QString(), true);
    }
}

void Conversation::setOstrelSessionHandle(const QString &handle)
{
    qDebug() << "Conversation::setOstrelSessionHandle" << m_sipURI << m_ostrelSessionHandle << handle;
    // The converting client keeps the old session while participants still
    // have to acknowledge the move: laggards are told through it.
    if (!m_legacyOstrelSessionHandle.isEmpty() && m_permanentTransitionAckTimers.isEmpty() && !m_channelUID.isEmpty()) {
        qDebug() << "Conversation::setOstrelSessionHandle"
                 << "terminating legacy session handle from ephemeral sipURI";
        terminateSession(m_legacyOstrelSessionHandle);
    }
    m_ostrelSessionHandle = handle;
    emit ostrelSessionHandleChanged(handle);
}

void Conversation::setTransitionOstrelSessionHandle(const QString &handle)
{
    qDebug() << "Conversation::setTransitionOstrelSessionHandle" << getDisplayName() << m_transitionOstrelSessionHandle
             << handle;
    const QString old = m_transitionOstrelSessionHandle;
    m_transitionOstrelSessionHandle = handle;
    if (!handle.isEmpty() && (old.isEmpty() || m_voiceState == VoiceDisabled)) {
        LocalUser *localUser = LocalUser::getLocalUser();
        bool othersPresent = false;
        for (ConversationParticipant *participant : m_participants.getParticipants()) {
            if (localUser->isLocalUserIdentity(participant->getIdentity()))
                continue;
            othersPresent = true;
            if (participant->getVoiceEnabled()) {
                m_chatMessages.addSystemMessage(tr("You have enabled audio."));
                break;
            }
        }
        if (!othersPresent)
            m_chatMessages.addSystemMessage(tr("You have enabled audio, waiting for other participants to join..."));
    }
    if (!handle.isEmpty() && m_voiceState > VoiceDisabled)
        setVoiceState(VoiceEnabled);
}

void Conversation::requestJoinConversation(const QString &password, bool savePassword)
{
    qDebug() << "Conversation::requestJoinConversation" << m_sipURI << m_joinState;
    // A conversation on its way in or already in only brings its window
    // forward. The channel limits are not asked then: they count this
    // conversation itself, so with six channels joined they would refuse a
    // request that changes nothing.
    const bool alreadyIn = m_joinState == Joining || m_joinState == Joined;
    if (!alreadyIn && m_sipURI.startsWith(kPermanentPrefix) && !channelLimitsAllowJoin())
        return;
    closePasswordWindow();
    if (alreadyIn) {
        showConversationWindow();
        return;
    }
    if (!m_realm) {
        qWarning() << "Conversation::requestJoinConversation"
                   << "no realm for" << m_conversationID;
        return;
    }
    Tavri::RealmUserInterface *identity = LocalUser::getLocalUser()->getLocalUserIdentity(m_realm);
    if (!identity) {
        qDebug() << "Conversation::requestJoinConversation"
                 << ": not logged in";
        return;
    }

    m_participants.clear();
    StorageManager *storage = StorageManager::getInstance();
    const QString key = settingsKey() + QLatin1String("_password");
    QString joinPassword = password;
    if (!password.isEmpty()) {
        if (savePassword)
            storage->setSettingsValue(key, password, QString());
    } else {
        joinPassword = storage->getSettingsValue(key, QString()).toString();
    }
    m_realm->requestJoinConversation(m_conversationID, identity->getUid(), joinPassword);
    setJoinState(Joining);
}

bool Conversation::channelLimitsAllowJoin()
{
    const int joined = joinedVoiceConversationCount();
    Conversation *echo = TavriIdentityRealm::getInstance()->getConversation(echoChannelURI());
    if (echo && echo != this && echo->getIsJoined()) {
        showAlert(tr("Cannot be in another channel while in echo channel."));
        return false;
    }
    if (echo == this && joined > 0) {
        showAlert(tr("Cannot be in echo channel while in another channel."));
        return false;
    }
    if (joined >= kMaxJoinedChannels) {
        showAlert(tr("Cannot join more than 6 channels at a time, please exit one before joining another."));
        return false;
    }
    return true;
}

int Conversation::joinedVoiceConversationCount() const
{
    return TavriIdentityRealm::getInstance()->getJoinedVoiceConversationCount();
}

void Conversation::setAlertHandler(AlertHandler handler)
{
    alertHandler() = std::move(handler);
}

void Conversation::showAlert(const QString &text)
{
    qDebug() << "Conversation::showAlert" << text;
    if (alertHandler()) {
        alertHandler()(text);
        return;
    }
    // The application shows it as a tray balloon when it has a tray icon.
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, "showAlert", Q_ARG(QString, text));
}

void Conversation::closePasswordWindow()
{
    if (!m_passwordWindow)
        return;
    // Closed by the program, not dismissed by the user: the join goes on.
    disconnect(m_passwordWindow, nullptr, this, nullptr);
    m_passwordWindow->close();
    // The window has no parent.
    m_passwordWindow->deleteLater();
    m_passwordWindow = nullptr;
}

// --- windows ---------------------------------------------------------------

QQuickView *Conversation::createWindow()
{
    TavriApplication *app = TavriApplication::instance();
    if (!app || !app->qmlEngine()) {
        qDebug() << "Conversation::createWindow"
                 << "no application to show windows in";
        return nullptr;
    }
    auto *window = new QQuickView(app->qmlEngine(), nullptr);
    // The QML draws its own frame and title bar.
    window->setFlags(Qt::FramelessWindowHint);
    host::WindowStyle::clearTaskbarStyles(window);
    window->setResizeMode(QQuickView::SizeRootObjectToView);
    QQmlContext *context = app->windowContext(window);
    context->setContextProperty(QStringLiteral("mainViewer"), window);
    app->setQmlRootContextProperties(context);
    return window;
}

void Conversation::loadWindow(QQuickView *window, const QString &qmlFile)
{
    TavriApplication::instance()->loadWindowQml(window, QUrl(QLatin1String(kQmlFolder) + qmlFile));
}

void Conversation::showCentred(QQuickView *window)
{
    TavriApplication::instance()->showFrame(*window, TavriApplication::tpNone, true, true);
    window->showNormal();
    window->requestActivate();
    window->raise();
    if (QQuickItem *root = window->rootObject())
        root->forceActiveFocus();
}

void Conversation::discardWindow(QQuickView *&window)
{
    if (!window)
        return;
    // The closing slot lets go of it; one that has no such slot is let go
    // of here.
    QQuickView *closing = window;
    closing->close();
    if (window == closing) {
        window = nullptr;
        closing->disconnect();
        closing->deleteLater();
    }
}

void Conversation::forgetWindow(QQuickView *&window, const Conversation *&owner, bool closed)
{
    // A window replaced earlier may still report its end: only the current
    // one is forgotten.
    if (!window || sender() != window)
        return;
    // A closed window is freed once its close has been handled; an ended
    // one is gone already.
    if (closed)
        window->deleteLater();
    window = nullptr;
    owner = nullptr;
}

QQuickView *Conversation::replaceSharedWindow(QQuickView *&window, const Conversation *&owner)
{
    discardWindow(window);
    owner = nullptr;
    window = createWindow();
    if (window)
        owner = this;
    return window;
}

void Conversation::showConversationWindow()
{
    qDebug() << "Conversation::showConversationWindow" << m_sipURI;
    if (m_showingWindow) {
        qDebug() << "Conversation::showConversationWindow"
                 << "already being shown";
        return;
    }
    m_showingWindow = true;
    // A private chat counts as joined while its window is open.
    const bool wasJoined = getIsJoined();
    if (!m_window) {
        QQuickView *window = createWindow();
        if (!window) {
            m_showingWindow = false;
            return;
        }
        m_window = window;
        windowContext(window)->setContextProperty(QStringLiteral("conversationRef"), this);
        qDebug() << this << "Setting conversationWindow source...";
        // Set before loading, so that the QML finds its title.
        window->setTitle(getRealmDisplayName() + QLatin1String("/// ") + tr("Conversation") + QLatin1String(": ")
                         + m_displayName);
        loadWindow(window, QStringLiteral("ConversationPane.qml"));
        placeConversationWindow();
        connect(window, &QWindow::xChanged, this, &Conversation::onWindowDimensionsChanged);
        connect(window, &QWindow::yChanged, this, &Conversation::onWindowDimensionsChanged);
        connect(window, &QWindow::widthChanged, this, &Conversation::onWindowDimensionsChanged);
        connect(window, &QWindow::heightChanged, this, &Conversation::onWindowDimensionsChanged);
        connect(window, &QQuickWindow::closing, this, &Conversation::onWindowClosing);
        connect(window, &QObject::destroyed, this, &Conversation::onWindowDestroyed);
        TavriApplication::instance()->showFrame(*window, TavriApplication::tpNone, false, true);
        if (getIsJoined() != wasJoined)
            emit isJoinedChanged(!wasJoined);
    }
    if (m_window) {
        m_window->showNormal();
        m_window->requestActivate();
        m_window->raise();
        if (QQuickItem *root = m_window->rootObject())
            root->forceActiveFocus();
    }
    m_showingWindow = false;
}

void Conversation::placeConversationWindow()
{
    StorageManager *storage = StorageManager::getInstance();
    const QString key = settingsKey();
    if (storage->getSettingsValue(key + QLatin1String("_x"), QStringLiteral("-1")).toInt() == -1) {
        m_window->resize(640, 260);
        TavriApplication::instance()->cascadeWindow(m_window);
        return;
    }
    int x = storage->getSettingsValue(key + QLatin1String("_x"), QStringLiteral("0")).toInt();
    int y = storage->getSettingsValue(key + QLatin1String("_y"), QStringLiteral("0")).toInt();
    const int width =
        qMax(300, storage->getSettingsValue(key + QLatin1String("_width"), QStringLiteral("640")).toInt());
    const int height =
        qMax(120, storage->getSettingsValue(key + QLatin1String("_height"), QStringLiteral("240")).toInt());
    QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // In 64 bits: a stored value near the int limit must not wrap round
        // onto the screen.
        const QRect area = screen->availableGeometry();
        const qint64 px = qint64(x) + 20;
        const qint64 py = qint64(y) + 20;
        if (px < area.left() || px > area.right() || py < area.top() || py > area.bottom()) {
            x = area.left();
            y = area.top();
        }
    }
    m_window->setGeometry(x, y, width, height);
    if (QQuickItem *root = m_window->rootObject()) {
        root->setImplicitWidth(width);
        root->setImplicitHeight(height);
    }
}

void Conversation::onWindowDimensionsChanged(int)
{
    stopTimer(m_windowGeometryTimerId);
    if (m_window && m_window->isVisible())
        m_windowGeometryTimerId = startTimer(500, Qt::CoarseTimer);
}

void Conversation::saveWindowGeometry()
{
    if (!m_window || !m_window->isVisible())
        return;
    storeWindowGeometry(*m_window);
}

void Conversation::storeWindowGeometry(const QQuickView &window)
{
    StorageManager *storage = StorageManager::getInstance();
    const QString key = settingsKey();
    const QRect geometry = window.geometry();
    const std::pair<const char *, int> values[] = {
        {"_x", window.x()}, {"_y", window.y()}, {"_width", geometry.width()}, {"_height", geometry.height()}};
    for (const auto &value : values) {
        const QString name = key + QLatin1String(value.first);
        if (storage->getSettingsValue(name, -1).toInt() != value.second)
            storage->setSettingsValue(name, value.second);
    }
}

void Conversation::onWindowClosing(QQuickCloseEvent *)
{
    qDebug() << "Conversation::onWindowClosing";
    if (!m_window || sender() != m_window)
        return;
    QQuickView *window = m_window;
    const bool wasJoined = getIsJoined();
    disconnect(window, nullptr, this, nullptr);
    // A move just before the close is kept: the frame hides the window
    // before it closes, so the timer would find nothing to save. A hidden
    // window keeps its geometry, so it is saved without showing it again.
    if (m_windowGeometryTimerId) {
        stopTimer(m_windowGeometryTimerId);
        storeWindowGeometry(*window);
    }
    requestLeaveConversation(false);
    // Leaving may have let go of the window already.
    if (m_window == window) {
        m_window = nullptr;
        window->deleteLater();
    }
    if (getIsJoined() != wasJoined)
        emit isJoinedChanged(!wasJoined);
}

void Conversation::onWindowDestroyed()
{
    qDebug() << "Conversation::onWindowDestroyed";
    if (!m_window || sender() != m_window)
        return;
    // Ended from outside: the object is half gone and must not be touched.
    const bool wasJoined = getIsJoined();
    m_window = nullptr;
    stopTimer(m_windowGeometryTimerId);
    requestLeaveConversation(false);
    if (getIsJoined() != wasJoined)
        emit isJoinedChanged(!wasJoined);
}

void Conversation::showPasswordWindow()
{
    qDebug() << "Conversation::showPasswordWindow" << m_sipURI;
    if (!m_passwordWindow) {
        QQuickView *window = createWindow();
        if (!window)
            return;
        m_passwordWindow = window;
        QQmlContext *context = windowContext(window);
        context->setContextProperty(QStringLiteral("requestedChannel"), this);
        context->setContextProperty(
            QStringLiteral("savePassword"),
            StorageManager::getInstance()
                ->getSettingsValue(StorageManager::SettingsKeySavePasswordsForChannels, QStringLiteral("true"))
                .toBool());
        qDebug() << "Setting m_channelPasswordRequiredWindow source to ChannelPasswordRequested.qml";
        loadWindow(window, QStringLiteral("ChannelPasswordRequested.qml"));
        window->resize(320, 200);
        connect(window, &QQuickWindow::closing, this, &Conversation::onPasswordWindowClosing);
        connect(window, &QObject::destroyed, this, &Conversation::onPasswordWindowDestroyed);
    } else {
        windowContext(m_passwordWindow)->setContextProperty(QStringLiteral("requestedChannel"), this);
    }
    m_passwordWindow->setTitle(tr("Password required to join %1").arg(getDisplayName()));
    TavriApplication::instance()->showFrame(*m_passwordWindow, TavriApplication::tpNone, true, true);
}

void Conversation::onPasswordWindowClosing(QQuickCloseEvent *)
{
    if (m_passwordWindow && sender() == m_passwordWindow) {
        disconnect(m_passwordWindow, nullptr, this, nullptr);
        m_passwordWindow->deleteLater();
        m_passwordWindow = nullptr;
    }
    // Dismissing the question abandons the join.
    if (m_joinState == PasswordRequested)
        setJoinState(NotJoined);
}

void Conversation::onPasswordWindowDestroyed()
{
    if (m_passwordWindow && sender() == m_passwordWindow)
        m_passwordWindow = nullptr;
    if (m_joinState == PasswordRequested)
        setJoinState(NotJoined);
}

void Conversation::showConversationDetails()
{
    qDebug() << "Conversation::showConversationDetails" << m_sipURI;
    if (s_openingDetails) {
        qDebug() << "Conversation::showConversationDetails"
                 << "already being opened";
        return;
    }
    s_openingDetails = true;
    if (QQuickView *window = replaceSharedWindow(s_detailsWindow, s_detailsOwner)) {
        // Asked again, so that the window shows the lists as they are now.
        getModerators(true);
        getMembers(true);
        getBanned(true);
        windowContext(window)->setContextProperty(QStringLiteral("channelToShow"), this);
        qDebug() << "Setting s_editWindow source to ChannelDetails.qml";
        loadWindow(window, QStringLiteral("ChannelDetails.qml"));
        connect(window, &QQuickWindow::closing, this, &Conversation::onDetailsWindowClosing);
        connect(window, &QObject::destroyed, this, &Conversation::onDetailsWindowDestroyed);
        window->setTitle(tr("Channel details: %1").arg(getDisplayName()));
        window->resize(480, 480);
        showCentred(window);
    }
    s_openingDetails = false;
}

void Conversation::showEditProperties()
{
    qDebug() << "Conversation::showEditProperties" << m_sipURI;
    if (s_openingEdit) {
        qDebug() << "Conversation::showEditProperties"
                 << "already being opened";
        return;
    }
    s_openingEdit = true;
    if (QQuickView *window = replaceSharedWindow(s_editWindow, s_editOwner)) {
        getModerators(true);
        getMembers(true);
        getBanned(true);
        ensureFindDialogs();
        QQmlContext *context = windowContext(window);
        context->setContextProperty(QStringLiteral("parentChannelURI"), getParentURI());
        context->setContextProperty(QStringLiteral("channelToEdit"), this);
        context->setContextProperty(QStringLiteral("memberFindInstance"), m_memberFindDialog.data());
        context->setContextProperty(QStringLiteral("moderatorFindInstance"), m_moderatorFindDialog.data());
        context->setContextProperty(QStringLiteral("banFindInstance"), m_banFindDialog.data());
        qDebug() << "Setting s_editWindow source to ChannelSettings.qml";
        loadWindow(window, QStringLiteral("ChannelSettings.qml"));
        connect(window, &QQuickWindow::closing, this, &Conversation::onEditWindowClosing);
        connect(window, &QObject::destroyed, this, &Conversation::onEditWindowDestroyed);
        if (m_sipURI.isEmpty())
            window->setTitle(tr("Create new channel"));
        else if (!m_sipURI.startsWith(kPermanentPrefix))
            window->setTitle(tr("Enter name for channel"));
        else
            window->setTitle(tr("Channel Settings: %1").arg(getDisplayName()));
        window->resize(640, 480);
        showCentred(window);
    }
    s_openingEdit = false;
}

void Conversation::ensureFindDialogs()
{
    if (!m_memberFindDialog)
        m_memberFindDialog = makeFindDialog<CFindUsersForAccessDialog>(this);
    if (!m_moderatorFindDialog)
        m_moderatorFindDialog = makeFindDialog<CFindUsersForModeratorDialog>(this);
    if (!m_banFindDialog)
        m_banFindDialog = makeFindDialog<CFindUsersForBanDialog>(this);
}

void Conversation::showDeleteConfirmation()
{
    qDebug() << "Conversation::showDeleteConfirmation" << m_sipURI;
    QQuickView *window = replaceSharedWindow(s_confirmDeleteWindow, s_confirmDeleteOwner);
    if (!window)
        return;
    windowContext(window)->setContextProperty(QStringLiteral("conversationRef"), this);
    loadWindow(window, QStringLiteral("warnings/PermanentConversationDeleteConfirmDialog.qml"));
    connect(window, &QQuickWindow::closing, this, &Conversation::onConfirmDeleteWindowClosing);
    connect(window, &QObject::destroyed, this, &Conversation::onConfirmDeleteWindowDestroyed);
    window->setTitle(tr("Confirm delete: %1").arg(getDisplayName()));
    window->resize(320, 240);
    showCentred(window);
}

void Conversation::onDetailsWindowClosing(QQuickCloseEvent *)
{
    forgetWindow(s_detailsWindow, s_detailsOwner, true);
}

void Conversation::onDetailsWindowDestroyed()
{
    forgetWindow(s_detailsWindow, s_detailsOwner, false);
}

void Conversation::onEditWindowClosing(QQuickCloseEvent *)
{
    forgetWindow(s_editWindow, s_editOwner, true);
}

void Conversation::onEditWindowDestroyed()
{
    forgetWindow(s_editWindow, s_editOwner, false);
}

void Conversation::onConfirmDeleteWindowClosing(QQuickCloseEvent *)
{
    forgetWindow(s_confirmDeleteWindow, s_confirmDeleteOwner, true);
}

void Conversation::onConfirmDeleteWindowDestroyed()
{
    forgetWindow(s_confirmDeleteWindow, s_confirmDeleteOwner, false);
}

void Conversation::requestVoice(bool enable)
{
    qDebug() << "Conversation::requestVoice" << m_sipURI << enable;
    VoiceManager *voice = VoiceManager::getInstance();
    const QString session = getOstrelSessionHandle(true);
    if (!enable) {
        if (m_voiceState == VoiceDisabled)
            return;
        if (m_transitionOstrelSessionHandle.isEmpty()) {
            // Without a session there is no media to disconnect; a private
            // chat's own session never carries media (its voice runs on the
            // channel it moves to).
            // Asked once: the service's answer (media disconnected) turns
            // the state off without asking again.
            if (voice && !session.isEmpty() && !m_sipURI.startsWith(kPrivatePrefix) && !m_mediaOffRequested) {
                m_mediaOffRequested = true;
                voice->setSessionMediaConnected(session, false);
            }
            return;
        }
        qDebug() << "Conversation::requestVoice"
                 << "terminating previous transition session handle" << m_transitionOstrelSessionHandle;
        QString transition = m_transitionOstrelSessionHandle;
        terminateSession(transition);
        setTransitionOstrelSessionHandle(QString());
        return;
    }

    if (session.isEmpty()) {
        // No session yet: an empty text makes the realm open one.
        sendMessage(QString());
        setVoiceState(VoiceToBeRequested);
        return;
    }
    if (m_sipURI.startsWith(kPrivatePrefix)) {
        if (m_transitionSipURI.isEmpty()) {
            const QString uri = createEphemeralURI();
            setTransitionSipURI(uri);
            if (voice)
                voice->sendUserAppData(m_sipURI, QStringLiteral("rv:") + uri);
            stopTimer(m_voiceRequestAckTimerId);
            m_voiceRequestAckTimerId = startTimer(kInBandAckTimeoutMs, Qt::CoarseTimer);
        }
        if (m_transitionOstrelSessionHandle.isEmpty()) {
            // Directly: setVoiceState would ask for voice again.
            if (m_voiceState == VoiceDisabled)
                recordVoiceState(VoiceRequested);
            qDebug() << "Conversation::requestVoice"
                     << "joining transition channel" << m_transitionSipURI;
            TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
            TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
            realm->requestJoinConversation(m_transitionSipURI, identity ? identity->getUid() : QString(), QString());
        }
        return;
    }
    if (m_voiceState == VoiceEnabled)
        return;
    if (voice)
        voice->setSessionMediaConnected(session, true);
}

void Conversation::muteUser(TavriIdentityRealmUser *userIdentity, bool applyGlobally)
{
    setParticipantMuted(userIdentity, true, applyGlobally);
}

void Conversation::unmuteUser(TavriIdentityRealmUser *userIdentity, bool applyGlobally)
{
    setParticipantMuted(userIdentity, false, applyGlobally);
}

void Conversation::setParticipantMuted(TavriIdentityRealmUser *userIdentity, bool mute, bool applyGlobally)
{
    if (!userIdentity) {
        reportAssertionFailure("userIdentity", __FILE__, __LINE__,
                               mute ? "Conversation::muteUser" : "Conversation::unmuteUser", true);
        return;
    }
    if (!applyGlobally) {
        setParticipantMutedForMe(userIdentity, mute);
        return;
    }
    if (!getLocalUserIsModerator()) {
        qDebug() << (mute ? "Conversation::muteUser" : "Conversation::unmuteUser")
                 << (mute ? "can't mute user for everyone, local is not at least a moderator"
                          : "can't unmute user for everyone, local is not at least a moderator");
        return;
    }
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        voice->muteUserAudio(m_sipURI, userIdentity->getSipURI(), mute, QString());
        voice->muteUserText(m_sipURI, userIdentity->getSipURI(), mute, QString());
    }
    // Lifting the mute for everyone lifts the local one as well.
    if (!mute)
        setParticipantMutedForMe(userIdentity, false);
}

void Conversation::setParticipantMutedForMe(TavriIdentityRealmUser *userIdentity, bool mute)
{
    ConversationParticipant *participant = m_participants.getParticipantByUUID(userIdentity->getUid());
    if (!participant)
        return;
    const QString participantURI = participant->getParticipantURI();
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        voice->setParticipantAudioMutedForMe(getOstrelSessionHandle(true), participantURI, mute);
        voice->setParticipantTextMutedForMe(getOstrelSessionHandle(true), participantURI, mute);
    }
}

void Conversation::muteAll()
{
    for (ConversationParticipant *participant : m_participants.getParticipants()) {
        if (participant->getInvitedState() != ConversationParticipant::Present)
            continue;
        if (auto *user = qobject_cast<TavriIdentityRealmUser *>(
                participant->getIdentity() ? participant->getIdentity()->getQObject() : nullptr))
            muteUser(user, true);
    }
}

void Conversation::unmuteAll()
{
    for (ConversationParticipant *participant : m_participants.getParticipants()) {
        if (participant->getInvitedState() != ConversationParticipant::Present)
            continue;
        if (auto *user = qobject_cast<TavriIdentityRealmUser *>(
                participant->getIdentity() ? participant->getIdentity()->getQObject() : nullptr))
            unmuteUser(user, true);
    }
}

void Conversation::requestLeaveConversation(bool forceClose)
{
    qDebug() << "Conversation::requestLeaveConversation" << m_sipURI;
    if (m_joinState == NotJoined || m_joinState == Leaving) {
        qDebug() << "Conversation::requestLeaveConversation"
                 << ": closing due to NotJoined";
        resetInternals();
        return;
    }
    if (!m_realm)
        return;
    Tavri::RealmUserInterface *identity = LocalUser::getLocalUser()->getLocalUserIdentity(m_realm);
    if (!identity) {
        qDebug() << "Conversation::requestLeaveConversation"
                 << ": not logged in";
        if (forceClose)
            resetInternals();
        return;
    }
    m_realm->requestLeaveConversation(m_conversationID, identity->getUid());
    qDebug() << "Conversation::requestLeaveConversation"
             << ": leaving" << forceClose;
    setJoinState(Leaving);
    if (forceClose)
        resetInternals();
}

void Conversation::setIsTyping(bool isTyping)
{
    qDebug() << "Conversation::setIsTyping" << m_sipURI << m_transitionSipURI << m_conversationID;
    if (m_realm)
        m_realm->sendIsTypingChanged(m_conversationID, isTyping);
}

QVariantList Conversation::getChatLogFileList()
{
    // The local user's list of recent stays knows the logs. It is found by
    // the local user's QML property, so that this works whichever way the
    // local user keeps the list; without one there are no logs to list.
    auto *recentConversations = qobject_cast<RecentConversations *>(
        LocalUser::getLocalUser()->property("recentConversations").value<QObject *>());
    return recentConversations ? recentConversations->getChatLogFileList(this) : QVariantList();
}

void Conversation::deleteSavedPassword()
{
    StorageManager::getInstance()->removeSettingsValue(settingsKey() + QLatin1String("_password"));
}

void Conversation::emitSwapping(Conversation *newReference)
{
    emit swapping(newReference);
}

void Conversation::sendMessage(const QString &message)
{
    if (!m_realm)
        return;
    if (m_realm->realmFlagA()) {
        // No realm of this program sends chat over XMPP.
        // Nothing gives a conversation an XMPP client: the text cannot go.
        qWarning() << "Conversation::sendMessage"
                   << "no XMPP client; dropped text of length" << message.size() << "for" << m_conversationID;
        return;
    }
    m_realm->sendTextMessage(m_conversationID, message);
}

// --- slots ----------------------------------------------------------------

bool Conversation::isForThisConversation(const QString &conversationID) const
{
    return !conversationID.isEmpty() && (conversationID == m_conversationID || conversationID == m_sipURI);
}

bool Conversation::isForThisOrTransition(const QString &conversationID) const
{
    return isForThisConversation(conversationID) || (!conversationID.isEmpty() && conversationID == m_transitionSipURI);
}

void Conversation::onConversationParticipantAdded(const QString &conversationID, const QString &participantUUID)
{
    if (!isForThisOrTransition(conversationID) || !m_realm)
        return;
    qDebug() << "Conversation::onConversationParticipantAdded" << conversationID << participantUUID;
    Tavri::RealmUserInterface *user = m_realm->getRealmUser(participantUUID);
    if (!user) {
        qWarning() << "Conversation::onConversationParticipantAdded"
                   << "IdentityRealm does not implement getUser properly... please verify implementation "
                      "returns a user reference in all cases"
                   << participantUUID;
        return;
    }
    ConversationParticipant *participant = m_participants.addParticipant(user);

    if (LocalUser::getLocalUser()->isLocalUserIdentity(user)) {
        // The realm reporting the local user inside confirms the join.
        setJoinState(Joined);
    } else if (!m_sipURI.startsWith(kPrivatePrefix)) {
        const QString text = tr("%1 has joined");
        const QString name = user->getDisplayName();
        if (name.isEmpty()) {
            QObject *userObject = user->getQObject();
            connect(userObject, SIGNAL(displayNameUpdated(QString)), this,
                    SLOT(onConversationParticipantDisplayNameChanged(QString)), Qt::UniqueConnection);
            connect(userObject, SIGNAL(destroying()), this, SLOT(onJoinAnnouncementUserDestroying()),
                    Qt::UniqueConnection);
            const int timerId = startTimer(kJoinAnnouncementWaitMs, Qt::CoarseTimer);
            m_joinAnnouncements.insert(timerId, JoinAnnouncement{user, userObject, text});
        } else {
            m_chatMessages.addSystemMessage(text.arg(name.toHtmlEscaped()));
        }
    }

    if (participant && m_muted)
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->muteUserAudio(m_sipURI, participant->getSipURI(), true, QString());
}

void Conversation::onConversationParticipantDisplayNameChanged(const QString &)
{
    Tavri::RealmUserInterface *user = qobject_cast<Tavri::RealmUserInterface *>(sender());
    if (!user)
        return;
    const QString name = user->getDisplayName();
    if (name.isEmpty())
        return;
    const QList<int> timerIds = m_joinAnnouncements.keys();
    for (int timerId : timerIds)
        if (m_joinAnnouncements.value(timerId).user == user)
            settleJoinAnnouncement(timerId, name);
}

void Conversation::onJoinAnnouncementUserDestroying()
{
    QObject *userObject = sender();
    const QList<int> timerIds = m_joinAnnouncements.keys();
    for (int timerId : timerIds)
        if (m_joinAnnouncements.value(timerId).userObject == userObject)
            dropJoinAnnouncement(timerId);
}

void Conversation::settleJoinAnnouncement(int timerId, const QString &name)
{
    const QString text = m_joinAnnouncements.value(timerId).text;
    dropJoinAnnouncement(timerId);
    m_chatMessages.addSystemMessage(text.arg(name.toHtmlEscaped()));
}

void Conversation::dropJoinAnnouncement(int timerId)
{
    auto it = m_joinAnnouncements.find(timerId);
    if (it == m_joinAnnouncements.end())
        return;
    QObject *userObject = it->userObject;
    killTimer(timerId);
    m_joinAnnouncements.erase(it);
    for (const JoinAnnouncement &other : qAsConst(m_joinAnnouncements))
        if (other.userObject == userObject)
            return;
    disconnect(userObject, SIGNAL(displayNameUpdated(QString)), this,
               SLOT(onConversationParticipantDisplayNameChanged(QString)));
    disconnect(userObject, SIGNAL(destroying()), this, SLOT(onJoinAnnouncementUserDestroying()));
}

void Conversation::onConversationParticipantIsTypingChanged(const QString &conversationID,
                                                            const QString &participantUUID, bool isTyping)
{
    if (!isForThisConversation(conversationID))
        return;
    qDebug() << "Conversation::onConversationParticipantIsTypingChanged" << participantUUID << isTyping;
    ConversationParticipant *participant = m_participants.getParticipantByUUID(participantUUID);
    if (!participant || !participant->getIdentity())
        return;
    const QString name = participant->getIdentity()->getDisplayName();
    const bool listed = m_participantsTyping.contains(name);
    if (isTyping && !listed)
        m_participantsTyping.append(name);
    else if (!isTyping && listed)
        m_participantsTyping.removeAll(name);
    else
        return;
    emit participantsTypingChanged(m_participantsTyping);
}

void Conversation::onConversationParticipantRemoved(
    const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reasonMsg)
{
    if (!isForThisConversation(conversationID))
        return;
    qDebug() << "Conversation::onConversationParticipantRemoved" << participantUUID << reasonCode << reasonMsg;
    ConversationParticipant *participant = m_participants.getParticipantByUUID(participantUUID);
    if (!participant || !participant->getIdentity())
        return;
    Tavri::RealmUserInterface *user = participant->getIdentity();
    const QString name = user->getDisplayName();
    m_participantsTyping.removeAll(name);
    emit participantsTypingChanged(m_participantsTyping);
    m_participants.removeParticipantForIdentity(user);
    if (!m_sipURI.startsWith(kPrivatePrefix))
        m_chatMessages.addSystemMessage(tr("%1 has left").arg(name.toHtmlEscaped()));
}

void Conversation::onConversationDisconnected(
    const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reasonMsg)
{
    if (!isForThisOrTransition(conversationID))
        return;
    qDebug() << "Conversation::onConversationDisconnected" << participantUUID << reasonCode << reasonMsg;
    setJoinState(NotJoined);
}

void Conversation::onConversationParticipantCountChanged(int)
{
    if (m_sipURI.startsWith(kAdHocPrefix))
        emit displayNameChanged(getDisplayName());
}

void Conversation::onConversationPasswordRequired(const QString &conversationID, const QString &)
{
    if (!isForThisConversation(conversationID))
        return;
    setJoinState(PasswordRequested);
    qDebug() << "Conversation::onConversationPasswordRequired"
             << "popping password request window";
    showPasswordWindow();
}

void Conversation::onIdentityRealmDestroying()
{
    // At exit the local user may already be gone: asking for it here would
    // build a new one, and a new realm manager with it, during the teardown.
    m_realmEnding = true;
    setJoinState(NotJoined);
    disconnectRealm();
    m_realm = nullptr;
    deleteLater();
}

void Conversation::onRemoteUserDisplayNameChanged(const QString &displayName)
{
    qDebug() << "Conversation::onRemoteUserDisplayNameChanged" << m_sipURI << displayName;
    if (!m_sipURI.startsWith(kPrivatePrefix))
        return;
    m_displayName = tr("Private Chat w/ %1").arg(displayName);
    emit displayNameChanged(m_displayName);
}

void Conversation::onConversationParticipantVoiceEnabledChanged(bool) {}

void Conversation::onOwnerIdentityURIChanged(const QString &sipURI)
{
    emit ownerURIChanged(sipURI);
}

void Conversation::onOwnerIdentityUIDChanged(const QString &userUID)
{
    emit ownerUIDChanged(userUID);
}

void Conversation::onOwnerIdentityDestroying()
{
    if (m_owner)
        disconnect(m_owner, nullptr, this, nullptr);
    m_owner = nullptr;
}

void Conversation::onParentConversationSipURIChanged(const QString &)
{
    emit parentURIChanged(getParentURI());
}

void Conversation::onParentConversationDestroying()
{
    if (QObject *parentConversation = sender())
        disconnect(parentConversation, SIGNAL(destroying()), this, SLOT(onParentConversationDestroying()));
    m_parent = nullptr;
}

void Conversation::onJoinStateChanged(Conversation::JoinState joinState)
{
    if (joinState == Joined && !m_message.isEmpty())
        m_chatMessages.addWelcomeMessage(m_message);
    stopTimer(m_statsTimerId);
    if (joinState == Joined && !m_channelUID.isEmpty())
        m_statsTimerId = startTimer(kStatisticsIntervalMs, Qt::CoarseTimer);
}

void Conversation::onModeratorsRealmIdentityAdded(Tavri::RealmUserInterface *identity)
{
    if (LocalUser::getLocalUser()->isLocalUserIdentity(identity) && identity)
        emit localUserIsModeratorChanged(true);
}

void Conversation::onModeratorsRealmIdentityRemoved(Tavri::RealmUserInterface *identity)
{
    if (LocalUser::getLocalUser()->isLocalUserIdentity(identity) && identity)
        emit localUserIsModeratorChanged(false);
}

namespace {

// The conversations that hear the voice service's user lists, filed by their
// address with the serial of their filing, so that a list reaches only the
// conversations of its channel, in the order they started listening.
struct UserListRoutes {
    QPointer<VoiceManager> voice;
    quint64 nextSerial = 0;
    QHash<QString, QMap<quint64, Conversation *>> byURI;
};

UserListRoutes &userListRoutes()
{
    static UserListRoutes routes;
    return routes;
}

} // namespace

void Conversation::followUserLists(VoiceManager *voice)
{
    UserListRoutes &routes = userListRoutes();
    if (routes.voice != voice) {
        routes.voice = voice;
        connect(voice, &VoiceManager::userListReceived, voice, &Conversation::routeUserList);
    }
    m_userListSerial = ++routes.nextSerial;
    fileForUserLists();
}

void Conversation::fileForUserLists()
{
    m_userListURI = m_sipURI;
    userListRoutes().byURI[m_userListURI].insert(m_userListSerial, this);
}

void Conversation::unfileForUserLists()
{
    if (!m_userListSerial)
        return;
    auto &byURI = userListRoutes().byURI;
    const auto it = byURI.find(m_userListURI);
    if (it == byURI.end())
        return;
    it->remove(m_userListSerial);
    if (it->isEmpty())
        byURI.erase(it);
}

void Conversation::routeUserList(const QString &channelURI, const QStringList &userURIs, int numParticipants)
{
    const auto &byURI = userListRoutes().byURI;
    const auto it = byURI.constFind(channelURI);
    if (it == byURI.constEnd())
        return;
    // A conversation may go, or change its address, while an earlier one
    // handles the list: only those still filed under it hear it.
    const QMap<quint64, Conversation *> conversations = *it;
    for (auto conversation = conversations.constBegin(); conversation != conversations.constEnd(); ++conversation) {
        const auto now = byURI.constFind(channelURI);
        if (now == byURI.constEnd() || now->value(conversation.key()) != conversation.value())
            continue;
        conversation.value()->onUserListReceived(channelURI, userURIs, numParticipants);
    }
}

void Conversation::onUserListReceived(const QString &channelURI, const QStringList &userURIs, int numParticipants)
{
    if (channelURI.isEmpty() || channelURI != m_sipURI || m_joinState != NotJoined)
        return;
    qDebug() << "Conversation::onUserListReceived" << channelURI << userURIs.size() << numParticipants;
    m_participants.clear();
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    const ContactGroupList *contactGroups = LocalUser::getLocalUser()->getContactGroups();
    bool contactPresent = false;
    for (const QString &uri : userURIs) {
        if (uri.isEmpty())
            continue;
        Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(uri);
        if (!user)
            continue;
        if (!contactPresent && contactGroups && contactGroups->containsIdentity(user))
            contactPresent = true;
        m_participants.addParticipant(user);
    }
    stopTimer(m_participantRefreshTimerId);
    int interval = kRefreshEmptyMs;
    if (numParticipants > 0)
        interval = contactPresent ? kRefreshWithContactsMs : kRefreshWithoutContactsMs;
    m_participantRefreshTimerId = startTimer(interval, Qt::CoarseTimer);
}

void Conversation::timerEvent(QTimerEvent *event)
{
    const int timerId = event->timerId();
    if (timerId == m_windowGeometryTimerId) {
        stopTimer(m_windowGeometryTimerId);
        saveWindowGeometry();
        return;
    }
    if (timerId == m_statsTimerId) {
        if (QSocialManager *social = QSocialManager::getInstance())
            social->requestAddUserStats(m_channelUID, nullptr);
        return;
    }
    if (timerId == m_voiceRequestAckTimerId) {
        onVoiceRequestTimeout();
        return;
    }
    if (timerId == m_multiPartyAckTimerId) {
        onMultiPartyTimeout();
        return;
    }
    if (m_inviteAckTimers.contains(timerId)) {
        onInviteTimeout(timerId);
        return;
    }
    if (m_permanentTransitionAckTimers.contains(timerId)) {
        onPermanentTransitionTimeout(timerId);
        return;
    }
    if (m_joinAnnouncements.contains(timerId)) {
        settleJoinAnnouncement(timerId, tr("Someone"));
        return;
    }
    if (timerId == m_participantRefreshTimerId) {
        if (m_joinState == NotJoined)
            if (VoiceManager *voice = VoiceManager::getInstance())
                voice->requestGetParticipants(m_sipURI, kParticipantQueryFirst, kParticipantQuerySecond, QString());
        stopTimer(m_participantRefreshTimerId);
        m_participantRefreshTimerId = startTimer(kRefreshRepeatMs, Qt::CoarseTimer);
        return;
    }
    QObject::timerEvent(event);
}

// --- helpers ----------------------------------------------------------------

bool Conversation::isBuiltInRealm() const
{
    // There is one built-in realm, so its class identifies it; this does not
    // create the realm as its accessor would.
    return m_realm && qobject_cast<TavriIdentityRealm *>(m_realm->realmObject());
}

void Conversation::connectRemoteUser()
{
    disconnectRemoteUser();
    Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(m_sipURI);
    if (!user)
        return;
    m_displayName = tr("Private Chat w/ %1").arg(user->getDisplayName());
    m_remoteUser = user->getQObject();
    connect(m_remoteUser, SIGNAL(displayNameUpdated(QString)), this, SLOT(onRemoteUserDisplayNameChanged(QString)));
    connect(m_remoteUser, &QObject::destroyed, this, [this] { m_remoteUser = nullptr; });
}

void Conversation::disconnectRemoteUser()
{
    if (m_remoteUser)
        disconnect(m_remoteUser, nullptr, this, nullptr);
    m_remoteUser = nullptr;
}

void Conversation::disconnectRealm()
{
    if (!m_realm)
        return;
    QObject *realm = m_realm->realmObject();
    disconnect(realm, nullptr, this, nullptr);
    disconnect(realm, nullptr, &m_chatMessages, nullptr);
}

void Conversation::terminateSession(QString &sessionHandle)
{
    if (sessionHandle.isEmpty())
        return;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestTerminateSession(sessionHandle);
    sessionHandle.clear();
}

void Conversation::stopTimer(int &timerId)
{
    if (timerId != 0) {
        killTimer(timerId);
        timerId = 0;
    }
}

// --- permanent-channel editing ---------------------------------------------

PermanentConversationJsonReplyHandler *Conversation::replyHandler()
{
    if (!m_replyHandler)
        m_replyHandler = new PermanentConversationJsonReplyHandler(this);
    return m_replyHandler;
}

bool Conversation::isSavedChannel() const
{
    return !m_channelUID.isEmpty() && m_channelUID != QLatin1String("-1");
}

void Conversation::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    if (VoiceManager *voice = VoiceManager::getInstance())
        for (ConversationParticipant *participant : m_participants.getParticipants())
            voice->muteUserAudio(m_sipURI, participant->getSipURI(), muted, QString());
    m_muted = muted;
    emit defaultMutedChanged(muted);
}

void Conversation::beginModifications()
{
    m_editing = true;
}

void Conversation::revertModifications()
{
    m_editing = false;
    // The saved record replaces the local edits when it arrives.
    if (!isSavedChannel()) {
        qDebug() << "Conversation::revertModifications"
                 << "no saved channel to reload for" << m_sipURI;
        return;
    }
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestChannelInfoWithOwnerInfo(m_channelUID, nullptr);
}

void Conversation::commitModifications()
{
    m_editing = false;
    QSocialManager *social = QSocialManager::getInstance();
    const bool callIn = !m_dialinAccessCode.isEmpty();
    if (isSavedChannel()) {
        if (m_accessType == Public) {
            // A public channel needs no access list.
            const QList<Tavri::RealmUserInterface *> members = m_members.getIdentityList();
            for (Tavri::RealmUserInterface *member : members)
                if (auto *user = qobject_cast<TavriIdentityRealmUser *>(member->getQObject()))
                    removeMembership(user);
        } else if (m_accessType == InvitationOnly) {
            if (TavriIdentityRealmUser *me = LocalUser::getLocalUser()->tavriidentity())
                addMembership(me);
        }
        if (social)
            social->requestEditChannel(m_channelUID, m_displayName, m_description, m_message, QStringList(), QString(),
                                       QString(), QString(), callIn, int(m_accessType), false,
                                       !m_pendingPassword.isEmpty(), m_pendingPassword, false, nullptr);
        return;
    }
    PermanentConversationJsonReplyHandler *handler = replyHandler();
    const QString parentUID = m_parent ? m_parent->getChannelUID() : QString("");
    const QString password = m_accessType == PasswordProtected ? m_pendingPassword : QString("");
    if (social)
        social->requestAddChannel(m_displayName, m_description, m_message, QStringList(), QString(), QString(),
                                  QString(), callIn, int(m_accessType), password, parentUID, false, handler);
}

void Conversation::changePassword(const QString &newPassword)
{
    m_pendingPassword = newPassword;
}

void Conversation::requestDialinAccess()
{
    // Any non-empty code asks for call-in; the service answers with the
    // real one.
    if (m_dialinAccessCode.isEmpty())
        m_dialinAccessCode = QStringLiteral("1");
}

void Conversation::cancelDialinAccess()
{
    if (!m_dialinAccessCode.isEmpty())
        m_dialinAccessCode.clear();
}

void Conversation::addMembership(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty() && !m_channelUID.isEmpty()) {
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestAddChannelAclMember(m_sipURI, user->getSipURI());
        return;
    }
    m_members.addIdentity(user);
}

void Conversation::removeMembership(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty() && !m_channelUID.isEmpty()) {
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestRemoveChannelAclMember(m_sipURI, user->getSipURI());
        return;
    }
    m_members.removeIdentity(user);
}

void Conversation::addModeratorship(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty()) {
        if (QSocialManager *social = QSocialManager::getInstance())
            social->requestChangeChannelModerator(m_channelUID, user->getUid(), true, nullptr);
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestAddChannelModerator(m_sipURI, user->getSipURI());
        return;
    }
    m_moderators.addIdentity(user);
}

void Conversation::removeModeratorship(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty()) {
        if (QSocialManager *social = QSocialManager::getInstance())
            social->requestChangeChannelModerator(m_channelUID, user->getUid(), false, nullptr);
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestRemoveChannelModerator(m_sipURI, user->getSipURI());
        return;
    }
    m_moderators.removeIdentity(user);
}

void Conversation::banUser(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty()) {
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestBanUser(m_sipURI, user->getSipURI());
        return;
    }
    m_banned.addIdentity(user);
}

void Conversation::unbanUser(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (!m_sipURI.isEmpty()) {
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestUnbanUser(m_sipURI, user->getSipURI());
        return;
    }
    m_banned.removeIdentity(user);
}

void Conversation::kickUser(TavriIdentityRealmUser *user)
{
    if (!TAVRI_CHECK(user))
        return;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestKickUser(m_sipURI, user->getSipURI());
}

void Conversation::replayPendingLists()
{
    // Copies: on a saved channel these calls leave the lists alone, but the
    // services' answers may change them meanwhile.
    auto replay = [this](const QList<Tavri::RealmUserInterface *> &identities,
                         void (Conversation::*apply)(TavriIdentityRealmUser *)) {
        for (Tavri::RealmUserInterface *identity : identities)
            if (auto *user = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
                (this->*apply)(user);
    };
    if (m_accessType == InvitationOnly)
        replay(m_members.getIdentityList(), &Conversation::addMembership);
    replay(m_moderators.getIdentityList(), &Conversation::addModeratorship);
    replay(m_banned.getIdentityList(), &Conversation::banUser);
}

void Conversation::requestDelete(bool confirm)
{
    if (m_channelUID.isEmpty())
        return;
    if (!confirm) {
        showDeleteConfirmation();
        return;
    }
    if (m_hasChildren) {
        qDebug() << "Conversation::requestDelete"
                 << "Can't delete" << getDisplayName() << ", sub-channels must be deleted first";
        return;
    }
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestDeleteChannel(m_channelUID, replyHandler());
}

void Conversation::makePermanent(const QString &name)
{
    if (!m_channelUID.isEmpty() || m_joinState != Joined) {
        qDebug() << "Conversation::makePermanent"
                 << "only a joined conversation without channel is saved:" << m_sipURI << m_joinState;
        return;
    }
    // The owner is set without the owner announcements (the saved record
    // brings them), but followed to its end so that no stale pointer stays.
    if (m_owner)
        disconnect(m_owner, nullptr, this, nullptr);
    m_owner = LocalUser::getLocalUser()->tavriidentity();
    if (m_owner)
        connect(m_owner, &TavriIdentityRealmUser::destroying, this, &Conversation::onOwnerIdentityDestroying);

    beginModifications();
    setDisplayName(name, false);
    m_accessType = InvitationOnly;
    emit accessTypeChanged(InvitationOnly);
    for (ConversationParticipant *participant : m_participants.getParticipants()) {
        Tavri::RealmUserInterface *identity = participant->getIdentity();
        if (auto *user = qobject_cast<TavriIdentityRealmUser *>(identity ? identity->getQObject() : nullptr))
            addMembership(user);
    }
    commitModifications();
}

// --- invitations and in-band texts -----------------------------------------

void Conversation::sendInBandText(const QString &toURI, const QString &content)
{
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->sendUserAppData(toURI, content);
}

int Conversation::startAckTimer()
{
    return startTimer(kInBandAckTimeoutMs, Qt::CoarseTimer);
}

Tavri::RealmUserInterface *Conversation::refreshedUser(const QString &uri) const
{
    return TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(uri);
}

bool Conversation::isOffline(Tavri::RealmUserInterface *user)
{
    return user && user->getPresenceState() == Tavri::RealmUserInterface::Offline;
}

QString Conversation::nameOf(Tavri::RealmUserInterface *user) const
{
    // The lines are shown as HTML.
    return user ? user->getDisplayName().toHtmlEscaped() : QString();
}

void Conversation::inviteUser(const QString &userSipURI)
{
    qDebug() << "Conversation::inviteUser" << userSipURI;
    if (!userSipURI.startsWith(QLatin1String("sip:"))) {
        qWarning() << "Conversation::inviteUser"
                   << "not a user address:" << userSipURI;
        return;
    }
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    if (m_accessType == InvitationOnly) {
        Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(userSipURI);
        auto *member = qobject_cast<TavriIdentityRealmUser *>(user ? user->getQObject() : nullptr);
        if (member && !m_members.contains(member))
            addMembership(member);
    }

    if (hasPermanentChannelURI()) {
        if (QSocialManager *social = QSocialManager::getInstance())
            social->requestInviteUserToChannel(userSipURI, m_sipURI, QString(), nullptr);
        m_participants.addInvitedParticipant(realm->requestUserInfoUpdateByURI(userSipURI));
        return;
    }
    if (m_sipURI.startsWith(kAdHocPrefix) || !m_transitionSipURI.isEmpty()) {
        // The invitee is shown as invited once its client has answered.
        const QString groupURI = m_sipURI.startsWith(kAdHocPrefix) ? m_sipURI : m_transitionSipURI;
        sendInBandText(userSipURI, QStringLiteral("ri:") + groupURI);
        m_inviteAckTimers.insert(startAckTimer(), userSipURI);
        return;
    }
    if (m_sipURI.startsWith(kPrivatePrefix)) {
        // The peer is asked to move to a new group chat first; the invitees
        // follow once it has answered.
        const QString groupURI = createEphemeralURI();
        setTransitionSipURI(groupURI);
        sendInBandText(m_sipURI, QStringLiteral("rt:") + groupURI);
        if (m_multiPartyAckTimerId == 0)
            m_multiPartyAckTimerId = startAckTimer();
        m_pendingInvitees.append(userSipURI);
        return;
    }
    qDebug() << "Conversation::inviteUser"
             << "no invitations in" << m_sipURI;
}

void Conversation::inviteUser(const QString &realmID, const QString &realmUserUUID)
{
    IdentityRealmManager *manager = IdentityRealmManager::getInstance();
    Tavri::IdentityRealmInterface *realm = manager ? manager->getIdentityRealm(realmID) : nullptr;
    if (!realm) {
        qWarning() << "Conversation::inviteUser"
                   << "unknown realm" << realmID;
        return;
    }
    Tavri::RealmUserInterface *user = realm->getRealmUser(realmUserUUID);
    auto *tavriUserIdentity = qobject_cast<TavriIdentityRealmUser *>(user ? user->getQObject() : nullptr);
    if (!tavriUserIdentity) {
        reportAssertionFailure("tavriUserIdentity", __FILE__, __LINE__, "Conversation::inviteUser", true);
        return;
    }
    inviteUser(tavriUserIdentity->getSipURI());
}

void Conversation::removeInvitedUser(const QString &userSipURI)
{
    qDebug() << "Conversation::removeInvitedUser" << userSipURI;
    ConversationParticipant *participant = m_participants.getParticipantBySipURI(userSipURI);
    if (participant && participant->getInvitedState() != ConversationParticipant::Present && participant->getIdentity())
        m_participants.getInvitedIdentities()->removeIdentity(participant->getIdentity());
}

void Conversation::addCompleted(const QString &originalSipURI)
{
    const QString text = QStringLiteral("rp:") + originalSipURI + QLatin1Char('|') + m_sipURI;
    LocalUser *localUser = LocalUser::getLocalUser();
    for (ConversationParticipant *participant : m_participants.getParticipants()) {
        Tavri::RealmUserInterface *identity = participant->getIdentity();
        if (!identity || localUser->isLocalUserIdentity(identity))
            continue;
        const QString uri = participant->getSipURI();
        if (uri.isEmpty())
            continue;
        sendInBandText(uri, text);
        m_permanentTransitionAckTimers.insert(startAckTimer(), uri);
    }
}

void Conversation::remoteAcknowledgedVoiceEnabled(const QString &remoteURI)
{
    if (remoteURI != m_sipURI) {
        reportAssertionFailure("remoteURI == getSipURI()", __FILE__, __LINE__,
                               "Conversation::remoteAcknowledgedVoiceEnabled", true);
        return;
    }
    if (m_voiceRequestAckTimerId == 0)
        return;
    stopTimer(m_voiceRequestAckTimerId);
    m_chatMessages.addSystemMessage(tr("... waiting for %1 to enable voice.").arg(nameOf(refreshedUser(remoteURI))));
}

void Conversation::remoteAcknowledgedMultiPartyEnabled(const QString &remoteURI)
{
    if (remoteURI != m_sipURI) {
        reportAssertionFailure("remoteURI == getSipURI()", __FILE__, __LINE__,
                               "Conversation::remoteAcknowledgedMultiPartyEnabled", true);
        return;
    }
    if (m_multiPartyAckTimerId == 0)
        return;
    stopTimer(m_multiPartyAckTimerId);
    const QString groupURI = m_transitionSipURI;
    setTransitionSipURI(QString());
    Conversation *group = TavriIdentityRealm::getInstance()->getConversation(groupURI);
    if (!group)
        return;
    if (m_voiceState != VoiceEnabled) {
        // Text only: joined straight through the voice service.
        group->showConversationWindow();
        group->setJoinState(Joining);
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestJoinChannel(groupURI, QString(), false);
    } else {
        group->requestJoinConversation(QString(), false);
    }
    while (!m_pendingInvitees.isEmpty())
        group->inviteUser(m_pendingInvitees.takeFirst());
}

void Conversation::remoteAcknowledgedInvite(const QString &remoteURI)
{
    const int timerId = m_inviteAckTimers.key(remoteURI, 0);
    if (timerId == 0)
        return;
    killTimer(timerId);
    m_inviteAckTimers.remove(timerId);
    m_participants.addInvitedParticipant(refreshedUser(remoteURI));
}

void Conversation::remoteAcknowledgedPermanentTransition(const QString &remoteURI)
{
    const int timerId = m_permanentTransitionAckTimers.key(remoteURI, 0);
    if (timerId == 0)
        return;
    killTimer(timerId);
    m_permanentTransitionAckTimers.remove(timerId);
    if (m_permanentTransitionAckTimers.isEmpty() && !m_legacyOstrelSessionHandle.isEmpty()) {
        qDebug() << "Conversation::remoteAcknowledgedPermanentTransition"
                 << "terminating legacy session" << m_legacyOstrelSessionHandle;
        terminateSession(m_legacyOstrelSessionHandle);
    }
}

void Conversation::onVoiceRequestTimeout()
{
    stopTimer(m_voiceRequestAckTimerId);
    Tavri::RealmUserInterface *user = refreshedUser(m_sipURI);
    const QString name = nameOf(user);
    if (isOffline(user)) {
        // The move onto the new channel goes on: the peer may come back.
        m_chatMessages.addSystemMessage(
            tr("%1 is offline, and cannot be invited to a private voice conversation.").arg(name));
        return;
    }
    m_chatMessages.addSystemMessage(
        tr("%1 is on an older version, and needs to upgrade Tavri to support temporary conversation audio.").arg(name));
    VoiceManager *voice = VoiceManager::getInstance();
    sendMessage(QStringLiteral("[automated message] I tried to enable audio for this conversation, but your "
                               "client is out of date.  Please visit ")
                + (voice ? voice->downloadServer() : QString()) + QStringLiteral(" and download the latest client."));
    setTransitionSipURI(QString());
    m_pendingInvitees.clear();
}

void Conversation::onMultiPartyTimeout()
{
    stopTimer(m_multiPartyAckTimerId);
    Tavri::RealmUserInterface *user = refreshedUser(m_sipURI);
    if (isOffline(user))
        m_chatMessages.addSystemMessage(
            tr("%1 is offline, and cannot be invited to a group text chat.").arg(nameOf(user)));
    else
        m_chatMessages.addSystemMessage(
            tr("%1 is on an older version, and does not support multi-party text chat outside of saved channels.")
                .arg(nameOf(user)));
    m_pendingInvitees.clear();
    setTransitionSipURI(QString());
}

void Conversation::onInviteTimeout(int timerId)
{
    const QString uri = m_inviteAckTimers.take(timerId);
    killTimer(timerId);
    Tavri::RealmUserInterface *user = refreshedUser(uri);
    if (isOffline(user))
        m_chatMessages.addSystemMessage(
            tr("%1 is offline, and cannot be invited to a group text chat except by link.").arg(nameOf(user)));
    else
        m_chatMessages.addSystemMessage(
            tr("%1 is on an older version, and does not support multi-party text chat outside of saved channels.")
                .arg(nameOf(user)));
}

void Conversation::onPermanentTransitionTimeout(int timerId)
{
    const QString timedOutURI = m_permanentTransitionAckTimers.take(timerId);
    killTimer(timerId);
    if (m_legacyOstrelSessionHandle.isEmpty())
        return;
    qDebug() << "Conversation::onPermanentTransitionTimeout"
             << "terminating legacy session handle due to timer no ack";
    // Whoever has not answered yet hears of the move in the old session and
    // is dropped from the list.
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestSendMessage(m_legacyOstrelSessionHandle,
                                  QStringLiteral("I have converted this conversation to a permanent "
                                                 "conversation.  Please join the new channel - %1.")
                                      .arg(getDisplayName()));
    terminateSession(m_legacyOstrelSessionHandle);
    // The one who timed out is dropped along with those still waiting.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    m_participants.removeParticipantForIdentity(realm->requestUserInfoUpdateByURI(timedOutURI));
    for (auto it = m_permanentTransitionAckTimers.cbegin(); it != m_permanentTransitionAckTimers.cend(); ++it) {
        killTimer(it.key());
        m_participants.removeParticipantForIdentity(realm->requestUserInfoUpdateByURI(it.value()));
    }
    m_permanentTransitionAckTimers.clear();
}
