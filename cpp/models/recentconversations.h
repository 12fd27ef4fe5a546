#pragma once

#include "conversation.h"
#include "identityrealmmanager.h"
#include "recentconversation.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantList>

class QTimerEvent;

// RecentConversations: the list of the local user's finished stays in
// conversations, most recent first, with their chat-log files.
//
// While a conversation of the built-in realm is joined it is tracked: its
// entry is stored in the database at once, its chat messages go to the entry's
// log, and a one-minute heartbeat rewrites the entry's leftAt. When the stay
// ends (disconnected, the conversation destroyed, or clear at logout) the
// entry becomes row 0; tracked entries are not rows. refresh rebuilds the rows
// from the database; stays in which no other participant was seen are not
// stored in a form it reads back.
//
// Created and owned by the local user, which calls refresh after sign-in and
// clear at logout; the entries are this model's children. Follows the realm
// manager's joined, participant-added and disconnected signals. New logs go
// under the chat-log folder: what setChatLogDirectory gives, else the
// application's, read as each log opens. GUI thread only.
class RecentConversations : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        DisplayNameRole = 1656,
        ProfileImageURIRole,
        RealmIDRole,
        ConversationUUIDRole,
        IsPersonalChatRole,
        CanRejoinRole,
        JoinedAtRole,
        LeftAtRole,
        ParticipantsRole,
        LogfileRole,
        ConversationRefRole
    };

    // One chat-log file of a finished stay.
    struct ChatLogFile {
        QDateTime timestamp;
        QString filename;
    };

    explicit RecentConversations(QObject *parent = nullptr);
    ~RecentConversations() override;

    // The folder new logs go under, read when a log is opened: the one
    // setChatLogDirectory gave (empty: none), else the application's.
    QString getChatLogDirectory() const;
    void setChatLogDirectory(const QString &chatLogDirectory);

    // Rebuilds the rows from the database; refused while a conversation is
    // tracked.
    void refresh();
    // Ends all tracking, then drops every row; the database is not touched.
    void clear();

    Q_INVOKABLE RecentConversation *at(int index);
    Q_INVOKABLE int count() const { return m_recentConversations.size(); }
    // Both delete the database records; non-empty logs stay on disk.
    Q_INVOKABLE void removeAll();
    Q_INVOKABLE void removeEntry(int index);
    // {"timestamp", "filename"} maps of getChatLogFiles.
    Q_INVOKABLE QVariantList getChatLogFileList(Conversation *conversation = nullptr);
    // The logs of the finished stays in row order: all of them, or those of
    // one conversation. Logs whose file is gone are left out.
    QList<ChatLogFile> getChatLogFiles(Conversation *conversation);

    // The entry of a tracked conversation, or null.
    RecentConversation *trackedEntry(Conversation *conversation) const
    {
        return m_currentlyActiveConversations.value(conversation);
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void onConversationJoined(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    void onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID);
    void onConversationDisconnected(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reason);

protected slots:
    void onConversationDestroying();
    void onConversationSwapping(Conversation *newReference);
    void onConversationDisplayNameChanged(const QString &displayName);
    void onConversationIdChanged(const QString &conversationID);
    void onConversationMessageAdded(const QString &sender, const QString &message);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void connectConversation(Conversation *conversation);
    void disconnectConversation(Conversation *conversation);
    void endTracking(Conversation *conversation);
    Conversation *builtInConversation(const QString &conversationID) const;

    QList<RecentConversation *> m_recentConversations;
    QHash<Conversation *, RecentConversation *> m_currentlyActiveConversations;
    QHash<Conversation *, int> m_currentlyActiveConversationTimerIDs;
    QString m_chatLogDirectory;
    bool m_chatLogDirectoryGiven = false;
    // Held only to disconnect from it; it may go first at shutdown.
    QPointer<IdentityRealmManager> m_realmManager;
};
