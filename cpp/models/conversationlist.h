#pragma once

#include <QAbstractListModel>
#include <QList>

class Conversation;

// ConversationList: a set of conversations as a list model.
//
// Holds conversations by pointer without owning them and drops a row when
// its conversation announces destroying(). Every conversation keeps one as
// its family tree. GUI thread only.
class ConversationList : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles { DisplayNameRole = 1556, SipURIRole = 1564, ConversationRefRole = 1583 };

    explicit ConversationList(QObject *parent = nullptr);
    ~ConversationList() override;

    // Appends the conversation unless it is listed already.
    void addConversation(Conversation *conversation);
    void removeConversation(Conversation *conversation);
    void clear();

    Q_INVOKABLE Conversation *at(int index) const;
    Q_INVOKABLE int count() const { return m_conversations.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private slots:
    void onConversationDestroying();

private:
    QList<Conversation *> m_conversations;
};
