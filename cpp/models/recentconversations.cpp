#include "recentconversations.h"

#include "conversationmessagelist.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "reportassertionfailure.h"
#include "storagemanager.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"

#include <QDebug>
#include <QTimerEvent>

namespace {

// The heartbeat that keeps a running stay's leftAt within a minute of the truth.
constexpr int kHeartbeatIntervalMs = 60000;

} // namespace

RecentConversations::RecentConversations(QObject *parent)
    : QAbstractListModel(parent)
{
    // QML calls at() and getChatLogFileList() with these types.
    qRegisterMetaType<RecentConversation *>();
    qRegisterMetaType<Conversation *>();

    m_realmManager = IdentityRealmManager::getInstance();
    connect(m_realmManager, &IdentityRealmManager::conversationParticipantAdded, this,
            &RecentConversations::onConversationParticipantAdded);
    connect(m_realmManager, &IdentityRealmManager::conversationJoined, this,
            &RecentConversations::onConversationJoined);
    connect(m_realmManager, &IdentityRealmManager::conversationDisconnected, this,
            &RecentConversations::onConversationDisconnected);
}

RecentConversations::~RecentConversations()
{
    if (m_realmManager)
        disconnect(m_realmManager, nullptr, this, nullptr);
    // The entries go with this model, as its children.
}

QString RecentConversations::getChatLogDirectory() const
{
    if (m_chatLogDirectoryGiven)
        return m_chatLogDirectory;
    // The application sets its folder up while starting, which may come
    // after this model exists.
    TavriApplication *application = TavriApplication::instance();
    return application ? application->chatLogDirectory() : QString();
}

void RecentConversations::setChatLogDirectory(const QString &chatLogDirectory)
{
    m_chatLogDirectory = chatLogDirectory;
    m_chatLogDirectoryGiven = true;
}

void RecentConversations::refresh()
{
    if (!TAVRI_CHECK(m_currentlyActiveConversations.size() == 0))
        return;
    clear();

    QStringList realmIDs;
    QStringList conversationIDs;
    QStringList displayNames;
    QStringList profileImageURIs;
    QList<QDateTime> joinedAts;
    QList<QDateTime> leftAts;
    QStringList logFilenames;
    QList<QStringList> participantUUIDs;
    const int count = StorageManager::getInstance()->getRecentConversationRecords(
        realmIDs, conversationIDs, displayNames, profileImageURIs, joinedAts, leftAts, logFilenames, participantUUIDs);
    if (count <= 0)
        return;

    beginInsertRows(QModelIndex(), 0, count - 1);
    for (int i = 0; i < count; ++i) {
        m_recentConversations.append(
            new RecentConversation(displayNames.value(i), profileImageURIs.value(i), realmIDs.value(i),
                                   conversationIDs.value(i), joinedAts.value(i), logFilenames.value(i),
                                   leftAts.value(i), participantUUIDs.value(i), this, false, getChatLogDirectory()));
    }
    endInsertRows();
}

void RecentConversations::clear()
{
    const QList<Conversation *> tracked = m_currentlyActiveConversations.keys();
    for (Conversation *conversation : tracked)
        endTracking(conversation);

    if (m_recentConversations.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_recentConversations.size() - 1);
    const QList<RecentConversation *> entries = m_recentConversations;
    m_recentConversations.clear();
    endRemoveRows();
    for (RecentConversation *entry : entries)
        entry->deleteLater();
}

RecentConversation *RecentConversations::at(int index)
{
    if (!TAVRI_CHECK(index >= 0) || !TAVRI_CHECK(index < m_recentConversations.size()))
        return nullptr;
    return m_recentConversations.at(index);
}

void RecentConversations::removeAll()
{
    for (int index = m_recentConversations.size() - 1; index >= 0; --index)
        removeEntry(index);
}

void RecentConversations::removeEntry(int index)
{
    if (!TAVRI_CHECK(index >= 0 && index < m_recentConversations.size() && m_recentConversations.size() > 0))
        return;
    RecentConversation *entry = m_recentConversations.at(index);
    if (!TAVRI_CHECK(entry))
        return;
    StorageManager::getInstance()->deleteRecentConversationRecord(entry->getRealmID(), entry->getConversationID(),
                                                                  entry->getJoinedAt(), entry->getLeftAt());
    beginRemoveRows(QModelIndex(), index, index);
    m_recentConversations.removeAt(index);
    endRemoveRows();
    entry->deleteLater();
}

QVariantList RecentConversations::getChatLogFileList(Conversation *conversation)
{
    QVariantList list;
    const QList<ChatLogFile> files = getChatLogFiles(conversation);
    for (const ChatLogFile &file : files)
        list.append(
            QVariantMap{{QStringLiteral("timestamp"), file.timestamp}, {QStringLiteral("filename"), file.filename}});
    return list;
}

QList<RecentConversations::ChatLogFile> RecentConversations::getChatLogFiles(Conversation *conversation)
{
    if (!conversation)
        qDebug() << "RecentConversations::getChatLogFiles"
                 << "returning all log files...";
    QList<ChatLogFile> files;
    for (RecentConversation *entry : qAsConst(m_recentConversations)) {
        if (conversation
            && (entry->getRealmID() != conversation->getRealmID()
                || entry->getConversationID() != conversation->getConversationID()))
            continue;
        const QString filename = entry->getLogFilename();
        if (!filename.isEmpty())
            files.append({RecentConversation::logFileTimestamp(filename), filename});
    }
    return files;
}

int RecentConversations::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_recentConversations.size();
}

QVariant RecentConversations::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.column() < 0
        || index.row() >= m_recentConversations.size())
        return QVariant();
    RecentConversation *entry = m_recentConversations.at(index.row());
    // Looked up on every read: the realm makes the conversation when it does
    // not know it yet, so that a rejoin has an object to work on.
    Conversation *conversation = builtInConversation(entry->getConversationID());

    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return entry->getDisplayName();
    case ProfileImageURIRole:
        return entry->getProfileImageURI();
    case RealmIDRole:
        return entry->getRealmID();
    case ConversationUUIDRole:
        return entry->getConversationID();
    case IsPersonalChatRole:
        return conversation ? conversation->getIsPrivate() : false;
    case CanRejoinRole: {
        if (entry->getRealmID() != TavriIdentityRealm::getInstance()->realmID())
            return true;
        const QString id = entry->getConversationID();
        return id.startsWith(QLatin1String("sip:u-"))
               || (id.startsWith(QLatin1String("sip:confctl-")) && !id.startsWith(QLatin1String("sip:confctl-g-")));
    }
    case JoinedAtRole:
        return entry->getJoinedAt();
    case LeftAtRole:
        return entry->getLeftAt();
    case ParticipantsRole:
        return QVariant::fromValue(static_cast<QObject *>(entry->getParticipants()));
    case LogfileRole:
        return entry->getLogFilename();
    case ConversationRefRole:
        return QVariant::fromValue(static_cast<QObject *>(conversation));
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> RecentConversations::roleNames() const
{
    return {
        {DisplayNameRole, "displayName"},
        {ProfileImageURIRole, "profileImageURI"},
        {RealmIDRole, "realmID"},
        {ConversationUUIDRole, "conversationUUID"},
        {IsPersonalChatRole, "isPersonalChat"},
        {CanRejoinRole, "canRejoin"},
        {JoinedAtRole, "joinedAt"},
        {LeftAtRole, "leftAt"},
        {ParticipantsRole, "participants"},
        {LogfileRole, "logfile"},
        {ConversationRefRole, "conversationRef"},
    };
}

void RecentConversations::onConversationJoined(Tavri::IdentityRealmInterface *, const QString &conversationID)
{
    // Stays are tracked on the built-in realm's conversation, whichever realm
    // reports the join: an external application's channels are ours too.
    Conversation *conversation = builtInConversation(conversationID);
    if (!conversation)
        return;
    if (m_currentlyActiveConversations.contains(conversation)) {
        qDebug() << "RecentConversations::onConversationJoined" << conversationID
                 << "... already in RecentConversations monitor list...";
        return;
    }

    m_currentlyActiveConversationTimerIDs.insert(conversation, startTimer(kHeartbeatIntervalMs, Qt::CoarseTimer));
    const QDateTime now = QDateTime::currentDateTime();
    auto *entry = new RecentConversation(conversation->getDisplayName(), conversation->getProfileImageURI(),
                                         conversation->getRealmID(), conversation->getConversationID(), now, QString(),
                                         now, QStringList(), this, true, getChatLogDirectory());
    m_currentlyActiveConversations.insert(conversation, entry);
    connectConversation(conversation);
}

void RecentConversations::onConversationParticipantAdded(Tavri::IdentityRealmInterface *, const QString &conversationID,
                                                         const QString &participantUUID)
{
    Conversation *conversation = builtInConversation(conversationID);
    if (!conversation)
        return;
    RecentConversation *entry = m_currentlyActiveConversations.value(conversation);
    if (!entry) {
        qDebug() << "RecentConversations::onConversationParticipantAdded" << conversationID
                 << "... not in monitoring list...";
        return;
    }
    // The local user is no participant of its own stay, however the realm
    // names it.
    LocalUser *localUser = LocalUser::getLocalUser();
    if (localUser->isLocalUserIdentity(TavriIdentityRealm::getInstance()->getRealmUser(participantUUID)))
        return;
    if (Tavri::RealmUserInterface *identity = localUser->tavriidentity()) {
        if (participantUUID == identity->getUid())
            return;
    }
    entry->addParticipant(participantUUID);
}

void RecentConversations::onConversationDisconnected(Tavri::IdentityRealmInterface *, const QString &conversationID,
                                                     Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode,
                                                     const QString &)
{
    if (Conversation *conversation = builtInConversation(conversationID))
        endTracking(conversation);
}

void RecentConversations::onConversationDestroying()
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!TAVRI_CHECK(conversation))
        return;
    endTracking(conversation);
}

void RecentConversations::onConversationSwapping(Conversation *newReference)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!TAVRI_CHECK(conversation) || !TAVRI_CHECK(newReference)
        || !TAVRI_CHECK(m_currentlyActiveConversationTimerIDs.contains(conversation))
        || !TAVRI_CHECK(m_currentlyActiveConversations.contains(conversation)))
        return;
    if (newReference == conversation)
        return;
    if (m_currentlyActiveConversations.contains(newReference)) {
        // The new object has a stay of its own; moving this one onto it would
        // lose that entry, so this stay simply ends.
        qDebug() << "RecentConversations::onConversationSwapping"
                 << "new reference already tracked, ending" << conversation->getConversationID();
        endTracking(conversation);
        return;
    }
    disconnectConversation(conversation);
    m_currentlyActiveConversationTimerIDs.insert(newReference,
                                                 m_currentlyActiveConversationTimerIDs.take(conversation));
    m_currentlyActiveConversations.insert(newReference, m_currentlyActiveConversations.take(conversation));
    connectConversation(newReference);
}

void RecentConversations::onConversationDisplayNameChanged(const QString &)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!TAVRI_CHECK(conversation) || !TAVRI_CHECK(m_currentlyActiveConversations.contains(conversation)))
        return;
    m_currentlyActiveConversations.value(conversation)->setDisplayName(conversation->getDisplayName());
}

void RecentConversations::onConversationIdChanged(const QString &)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!TAVRI_CHECK(conversation) || !TAVRI_CHECK(m_currentlyActiveConversations.contains(conversation)))
        return;
    // The stay keeps the id it was stored under (the record is found by it);
    // only the title may have moved with the new id.
    m_currentlyActiveConversations.value(conversation)->setDisplayName(conversation->getDisplayName());
}

void RecentConversations::onConversationMessageAdded(const QString &sender, const QString &message)
{
    auto *conversationMessages = qobject_cast<ConversationMessageList *>(this->sender());
    if (!TAVRI_CHECK(conversationMessages))
        return;
    auto *conversation = qobject_cast<Conversation *>(conversationMessages->parent());
    if (!TAVRI_CHECK(conversation) || !TAVRI_CHECK(m_currentlyActiveConversations.contains(conversation)))
        return;
    const QString failure = m_currentlyActiveConversations.value(conversation)->logChatMessage(sender, message);
    // Said once per conversation; the notice's own line fails silently.
    if (!failure.isEmpty())
        conversationMessages->addSystemMessage(
            tr("Chat lines of this conversation are no longer saved to its chat log: %1").arg(failure.toHtmlEscaped()));
}

void RecentConversations::timerEvent(QTimerEvent *event)
{
    for (auto it = m_currentlyActiveConversationTimerIDs.cbegin(); it != m_currentlyActiveConversationTimerIDs.cend();
         ++it) {
        if (it.value() == event->timerId()) {
            if (RecentConversation *entry = m_currentlyActiveConversations.value(it.key()))
                entry->setLeftAt(QDateTime::currentDateTime());
            return;
        }
    }
    QAbstractListModel::timerEvent(event);
}

void RecentConversations::connectConversation(Conversation *conversation)
{
    connect(conversation, &Conversation::destroying, this, &RecentConversations::onConversationDestroying);
    connect(conversation, &Conversation::swapping, this, &RecentConversations::onConversationSwapping);
    connect(conversation, &Conversation::displayNameChanged, this,
            &RecentConversations::onConversationDisplayNameChanged);
    connect(conversation, &Conversation::conversationIdChanged, this, &RecentConversations::onConversationIdChanged);
    connect(conversation->getChatMessages(), &ConversationMessageList::messageAdded, this,
            &RecentConversations::onConversationMessageAdded);
}

void RecentConversations::disconnectConversation(Conversation *conversation)
{
    disconnect(conversation, &Conversation::destroying, this, &RecentConversations::onConversationDestroying);
    disconnect(conversation, &Conversation::swapping, this, &RecentConversations::onConversationSwapping);
    disconnect(conversation, &Conversation::displayNameChanged, this,
               &RecentConversations::onConversationDisplayNameChanged);
    disconnect(conversation, &Conversation::conversationIdChanged, this, &RecentConversations::onConversationIdChanged);
    disconnect(conversation->getChatMessages(), &ConversationMessageList::messageAdded, this,
               &RecentConversations::onConversationMessageAdded);
}

void RecentConversations::endTracking(Conversation *conversation)
{
    RecentConversation *entry = m_currentlyActiveConversations.take(conversation);
    if (!entry)
        return;
    killTimer(m_currentlyActiveConversationTimerIDs.take(conversation));
    disconnectConversation(conversation);
    // The stay is over: nothing more is written to its log, so the file is
    // closed now rather than held open until the entry goes.
    entry->closeLog();
    beginInsertRows(QModelIndex(), 0, 0);
    m_recentConversations.prepend(entry);
    endInsertRows();
}

Conversation *RecentConversations::builtInConversation(const QString &conversationID) const
{
    if (conversationID.isEmpty())
        return nullptr;
    return TavriIdentityRealm::getInstance()->getConversation(conversationID);
}
