#pragma once

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

class RealmIdentityList;

// RecentConversation: one stay of the local user in a conversation, running
// or finished, with its chat-log file.
//
// A new stay (isNew) composes its log file name under the chat-log folder,
// creates and opens the file and stores the stay in the local database; a
// stay read back from the database only takes what was stored. The log holds
// one UTF-8 line per chat message:
//     yyyy/MM/dd HH:mm:ss: <sender>>>> <text>\r\n
// A log that is still empty when the entry goes is deleted; any other log
// stays on disk. The setters rewrite the database record, which is found by
// realm id, conversation id and joinedAt: those three never change.
//
// Owned by RecentConversations (its QObject parent). GUI thread only.
class RecentConversation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString displayName READ getDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(QString profileImageURI READ getProfileImageURI NOTIFY profileImageURIChanged)
    Q_PROPERTY(QString realmID READ getRealmID CONSTANT)
    Q_PROPERTY(QString conversationID READ getConversationID NOTIFY conversationIDChanged)
    Q_PROPERTY(QDateTime joinedAt READ getJoinedAt CONSTANT)
    Q_PROPERTY(QDateTime leftAt READ getLeftAt NOTIFY leftAtChanged)
    Q_PROPERTY(QStringList participantUUIDs READ getParticipantUUIDs NOTIFY participantUUIDsChanged)
    Q_PROPERTY(RealmIdentityList *participants READ getParticipants CONSTANT)

public:
    // chatLogDirectory is the folder that new logs go under; without one a
    // new stay gets no log file.
    RecentConversation(const QString &displayName, const QString &profileImageURI, const QString &realmID,
                       const QString &conversationID, const QDateTime &joinedAt, const QString &logFilename,
                       const QDateTime &leftAt, const QStringList &participantUUIDs, QObject *parent, bool isNew,
                       const QString &chatLogDirectory = QString());
    ~RecentConversation() override;

    // The folder name of an id: at most 32 characters are kept with every
    // character that a path could trip on replaced by "_"; a longer id
    // becomes the hex MD5 of its UTF-8 bytes. An empty id gives "_", so that
    // a log always lies three folders deep.
    static QString folderName(const QString &id);
    // <directory>/<realm>/<user>/<conversation>/<msecs>.txt, each id through
    // folderName.
    static QString composeLogFilename(const QString &chatLogDirectory, const QString &realmID,
                                      const QString &localUserName, const QString &conversationID,
                                      qint64 msecsSinceEpoch);
    // The name itself when no such file exists; else the name with "0", then
    // "01", "012" ... appended until one is free.
    static QString firstFreeFilename(const QString &filename);
    // The creation time that a log's name carries; the epoch when the name
    // (folders and a trailing ".txt" removed) is not a number.
    static QDateTime logFileTimestamp(const QString &filename);
    // One log line, line end included.
    static QByteArray formatLogLine(const QDateTime &when, const QString &sender, const QString &message);

    QString getDisplayName() const { return m_displayName; }
    QString getProfileImageURI() const { return m_profileImageURI; }
    QString getRealmID() const { return m_realmID; }
    QString getConversationID() const { return m_conversationID; }
    QDateTime getJoinedAt() const { return m_joinedAt; }
    QDateTime getLeftAt() const { return m_leftAt; }
    QStringList getParticipantUUIDs() const { return m_participantUUIDs; }
    RealmIdentityList *getParticipants() const { return m_participants; }
    // The log's name while the file exists, else empty.
    QString getLogFilename() const;
    bool isLogOpen() const { return m_logFile.isOpen(); }

    // Both store the value, rewrite the database record and announce it.
    void setDisplayName(const QString &displayName);
    void setLeftAt(const QDateTime &leftAt);
    // Records another participant once; repeated uids are ignored.
    void addParticipant(const QString &participantUUID);
    // Appends one line to the open log, unless chat logging is switched off.
    // Returns the reason when a line is not stored, the first time only.
    QString logChatMessage(const QString &sender, const QString &message);
    // Closes the log once the stay is over; the file keeps its name.
    void closeLog();

signals:
    void displayNameChanged(const QString &displayName);
    void profileImageURIChanged(const QString &profileImageURI);
    void conversationIDChanged(const QString &conversationID);
    void leftAtChanged(const QDateTime &leftAt);
    void participantUUIDsChanged(const QStringList &participantUUIDs);

private:
    void openNewLog(const QString &logFilename);
    QString localUserFolderName() const;
    void addParticipantIdentity(const QString &participantUUID);
    void updateRecord();

    QString m_displayName;
    QString m_profileImageURI;
    QString m_realmID;
    QString m_conversationID;
    QDateTime m_joinedAt;
    QDateTime m_leftAt;
    QStringList m_participantUUIDs;
    RealmIdentityList *m_participants = nullptr;
    // Canonical; empty when there is none.
    QString m_chatLogDirectory;
    QFile m_logFile;
    // Why the log could not be opened; empty when it was, or was not wanted.
    QString m_logOpenError;
    bool m_storeFailureReported = false;
};
