#include "recentconversation.h"

#include "identityrealmmanager.h"
#include "localtimezone.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "secondsformat.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Ids up to this length name their folder themselves; longer ones by digest.
constexpr int kMaxPlainFolderNameLength = 32;

const QString kLogChatMessagesKey = QStringLiteral("settingsLogChatMessages");

// The canonical form of the chat-log folder, made when missing; empty when
// there is no usable folder.
QString canonicalLogDirectory(const QString &chatLogDirectory)
{
    if (chatLogDirectory.isEmpty())
        return QString();
    if (!QFileInfo(chatLogDirectory).isDir())
        QDir().mkpath(chatLogDirectory);
    return QFileInfo(chatLogDirectory).canonicalFilePath();
}

} // namespace

RecentConversation::RecentConversation(const QString &displayName, const QString &profileImageURI,
                                       const QString &realmID, const QString &conversationID, const QDateTime &joinedAt,
                                       const QString &logFilename, const QDateTime &leftAt,
                                       const QStringList &participantUUIDs, QObject *parent, bool isNew,
                                       const QString &chatLogDirectory)
    : QObject(parent)
    , m_displayName(displayName)
    , m_profileImageURI(profileImageURI)
    , m_realmID(realmID)
    , m_conversationID(conversationID)
    , m_joinedAt(joinedAt)
    , m_leftAt(leftAt)
    , m_participantUUIDs(participantUUIDs)
    , m_chatLogDirectory(canonicalLogDirectory(chatLogDirectory))
{
    if (isNew) {
        openNewLog(logFilename);
        StorageManager::getInstance()->insertRecentConversationRecord(
            m_realmID, m_conversationID, m_displayName, m_profileImageURI, m_joinedAt, m_leftAt, m_logFile.fileName());
    } else {
        m_logFile.setFileName(logFilename);
        if (!logFilename.isEmpty() && !QFileInfo::exists(logFilename)) {
            qDebug() << "RecentConversation::RecentConversation"
                     << "logfile has been removed / doesn't exist..." << logFilename;
        }
    }

    m_participants = new RealmIdentityList(this);
    m_participants->setShowOfflineIdentities(true);
    for (const QString &participantUUID : qAsConst(m_participantUUIDs))
        addParticipantIdentity(participantUUID);
}

RecentConversation::~RecentConversation()
{
    const QString filename = m_logFile.fileName();
    m_logFile.close();
    // A log nobody wrote to is not worth keeping. Only files inside the
    // chat-log folder are touched: a name read from the database could point
    // anywhere.
    if (filename.isEmpty() || m_chatLogDirectory.isEmpty()
        || !QDir::cleanPath(filename).startsWith(m_chatLogDirectory + QLatin1Char('/')))
        return;
    const QFileInfo info(filename);
    if (info.isFile() && info.size() == 0 && !QFile::remove(filename))
        qDebug() << "RecentConversation::~RecentConversation"
                 << "unable to delete empty log file" << filename;
}

QString RecentConversation::folderName(const QString &id)
{
    if (id.isEmpty())
        return QStringLiteral("_");
    if (id.size() > kMaxPlainFolderNameLength)
        return QString::fromLatin1(QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Md5).toHex());
    static const QRegularExpression unsafe(QStringLiteral("[@\\?:* \\\\./[\\];|=,()\"]"));
    QString name = id;
    return name.replace(unsafe, QStringLiteral("_"));
}

QString RecentConversation::composeLogFilename(const QString &chatLogDirectory, const QString &realmID,
                                               const QString &localUserName, const QString &conversationID,
                                               qint64 msecsSinceEpoch)
{
    const QChar slash = QLatin1Char('/');
    return chatLogDirectory + slash + folderName(realmID) + slash + folderName(localUserName) + slash
           + folderName(conversationID) + slash + QString::number(msecsSinceEpoch) + QStringLiteral(".txt");
}

QString RecentConversation::firstFreeFilename(const QString &filename)
{
    QString name = filename;
    for (int counter = 0; QFileInfo::exists(name); ++counter)
        name += QString::number(counter);
    return name;
}

QDateTime RecentConversation::logFileTimestamp(const QString &filename)
{
    static const QRegularExpression folders(QStringLiteral(".*/"));
    static const QRegularExpression extension(QStringLiteral("\\.txt$"));
    QString name = filename;
    name.remove(folders).remove(extension);
    bool ok = false;
    const qint64 msecs = name.toLongLong(&ok);
    return QDateTime::fromMSecsSinceEpoch(ok ? msecs : 0);
}

namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case '\n':
    case '\r':
    case '\v':
    case '\f':
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// Appends text with each line break ("\r\n" counts as one) written as
// `breakAs`.
void appendOnOneEntry(QString &line, const QString &text, const QString &breakAs)
{
    int from = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (!isLineBreak(text.at(i)))
            continue;
        line += text.midRef(from, i - from);
        line += breakAs;
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        from = i + 1;
    }
    line += text.midRef(from);
}

} // namespace

QByteArray RecentConversation::formatLogLine(const QDateTime &when, const QString &sender, const QString &message)
{
    thread_local SecondsFormat stamp(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    const QString time = stamp.text(when);
    // Made in one piece: a line is logged for every chat line.
    QString line;
    line.reserve(time.size() + sender.size() + message.size() + 8);
    line += time;
    line += QLatin1String(": ");
    appendOnOneEntry(line, sender, QStringLiteral(" "));
    line += QLatin1String(">>> ");
    // Further lines of a text are indented, so that no text can start a line
    // that reads as an entry of its own.
    appendOnOneEntry(line, message, QStringLiteral("\r\n    "));
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

QString RecentConversation::getLogFilename() const
{
    const QString filename = m_logFile.fileName();
    if (!filename.isEmpty() && QFileInfo::exists(filename))
        return filename;
    qDebug() << "RecentConversation::getLogFilename"
             << "logfile has been removed / doesn't exist... reporting empty" << filename;
    return QString();
}

void RecentConversation::setDisplayName(const QString &displayName)
{
    m_displayName = displayName;
    updateRecord();
    emit displayNameChanged(m_displayName);
}

void RecentConversation::setLeftAt(const QDateTime &leftAt)
{
    m_leftAt = leftAt;
    updateRecord();
    emit leftAtChanged(m_leftAt);
}

void RecentConversation::addParticipant(const QString &participantUUID)
{
    if (m_participantUUIDs.contains(participantUUID))
        return;
    m_participantUUIDs.append(participantUUID);
    StorageManager::getInstance()->insertRecentConversationParticipantRecord(m_realmID, m_conversationID, m_joinedAt,
                                                                             participantUUID);
    emit participantUUIDsChanged(m_participantUUIDs);
    addParticipantIdentity(participantUUID);
}

QString RecentConversation::logChatMessage(const QString &sender, const QString &message)
{
    if (!StorageManager::getInstance()->getSettingsValue(kLogChatMessagesKey, true, QString()).toBool())
        return QString();
    QString failure;
    if (!m_logFile.isOpen()) {
        qDebug() << "RecentConversation::logChatMessage"
                 << "file not open";
        failure = m_logOpenError;
    } else {
        const QByteArray line = formatLogLine(LocalTimeZone::now(), sender, message);
        if (m_logFile.write(line) != line.size()) {
            qDebug() << "RecentConversation::logChatMessage"
                     << "unable to write to" << m_logFile.fileName() << m_logFile.errorString();
            failure = m_logFile.errorString();
        }
    }
    if (failure.isEmpty() || m_storeFailureReported)
        return QString();
    m_storeFailureReported = true;
    qWarning().noquote() << "RecentConversation::logChatMessage chat lines of" << m_conversationID
                         << "are not stored:" << failure;
    return failure;
}

void RecentConversation::closeLog()
{
    m_logFile.close();
}

void RecentConversation::openNewLog(const QString &logFilename)
{
    if (m_chatLogDirectory.isEmpty()) {
        // Without a folder the names would start at the file-system root.
        qDebug() << "RecentConversation::RecentConversation"
                 << "no chat-log folder, the stay is kept without a log";
        return;
    }
    const QString folderPrefix = m_chatLogDirectory + QLatin1Char('/');
    QString filename = logFilename.isEmpty() ? composeLogFilename(m_chatLogDirectory, m_realmID, localUserFolderName(),
                                                                  m_conversationID, QDateTime::currentMSecsSinceEpoch())
                                             : logFilename;
    if (!filename.startsWith(m_chatLogDirectory))
        filename = folderPrefix + filename;
    filename = QDir::cleanPath(filename);
    if (!filename.startsWith(folderPrefix)) {
        qDebug() << "RecentConversation::RecentConversation"
                 << "log file outside the chat-log folder refused:" << logFilename;
        return;
    }
    filename = firstFreeFilename(filename);

    const QString directory = QFileInfo(filename).absolutePath();
    qDebug() << "RecentConversation::RecentConversation"
             << "ensuring logfile containing directory exists..." << directory;
    if (!QDir().mkpath(directory))
        qDebug() << "RecentConversation::RecentConversation"
                 << "unable to create containing log directory" << directory;

    m_logFile.setFileName(filename);
    // NewOnly: an existing file is never truncated, whatever came between the
    // free-name check and the opening. Unbuffered: every chat line is in the
    // file, in one write, as soon as it is logged.
    if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        qDebug() << "RecentConversation::RecentConversation"
                 << "unable to open log file for writing:" << filename << m_logFile.errorString();
        m_logOpenError = m_logFile.errorString();
        m_logFile.setFileName(QString());
        return;
    }
    qDebug() << "RecentConversation::RecentConversation"
             << "opened log file:" << filename;
}

QString RecentConversation::localUserFolderName() const
{
    LocalUser *localUser = LocalUser::getLocalUser();
    Tavri::IdentityRealmInterface *realm = IdentityRealmManager::getInstance()->getIdentityRealm(m_realmID);
    Tavri::RealmUserInterface *identity = realm ? localUser->getLocalUserIdentity(realm) : nullptr;
    if (!identity)
        identity = localUser->tavriidentity();
    if (!identity)
        return QStringLiteral("_");
    auto *builtInRealm = static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance());
    if (identity->identityRealm() == builtInRealm) {
        if (auto *tavriUser = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
            return tavriUser->getUname();
    }
    const QString uid = identity->getUid();
    return uid.isEmpty() ? QStringLiteral("_") : uid;
}

void RecentConversation::addParticipantIdentity(const QString &participantUUID)
{
    Tavri::IdentityRealmInterface *realm = IdentityRealmManager::getInstance()->getIdentityRealm(m_realmID);
    if (!realm)
        return;
    if (Tavri::RealmUserInterface *user = realm->getRealmUser(participantUUID))
        m_participants->addIdentity(user);
}

void RecentConversation::updateRecord()
{
    StorageManager::getInstance()->updateRecentConversationRecord(m_realmID, m_conversationID, m_displayName,
                                                                  m_profileImageURI, m_joinedAt, m_leftAt);
}
