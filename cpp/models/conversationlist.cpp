#include "conversationlist.h"

#include "conversation.h"

ConversationList::ConversationList(QObject *parent) : QAbstractListModel(parent) {}

ConversationList::~ConversationList()
{
    for (Conversation *conversation : qAsConst(m_conversations))
        disconnect(conversation, nullptr, this, nullptr);
}

void ConversationList::addConversation(Conversation *conversation)
{
    if (!conversation || m_conversations.contains(conversation))
        return;
    beginInsertRows(QModelIndex(), m_conversations.size(), m_conversations.size());
    m_conversations.append(conversation);
    endInsertRows();
    connect(conversation, &Conversation::destroying, this, &ConversationList::onConversationDestroying);
}

void ConversationList::removeConversation(Conversation *conversation)
{
    const int row = m_conversations.indexOf(conversation);
    if (row < 0)
        return;
    disconnect(conversation, nullptr, this, nullptr);
    beginRemoveRows(QModelIndex(), row, row);
    m_conversations.removeAt(row);
    endRemoveRows();
}

void ConversationList::clear()
{
    if (m_conversations.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_conversations.size() - 1);
    for (Conversation *conversation : qAsConst(m_conversations))
        disconnect(conversation, nullptr, this, nullptr);
    m_conversations.clear();
    endRemoveRows();
}

Conversation *ConversationList::at(int index) const
{
    return m_conversations.value(index, nullptr);
}

int ConversationList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_conversations.size();
}

QVariant ConversationList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_conversations.size())
        return QVariant();
    Conversation *conversation = m_conversations.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return conversation->getDisplayName();
    case SipURIRole:
        return conversation->getSipURI();
    case ConversationRefRole:
        return QVariant::fromValue(conversation);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationList::roleNames() const
{
    return {
        {DisplayNameRole, "displayName"}, {SipURIRole, "sipURI"}, {ConversationRefRole, "conversationRef"}};
}

void ConversationList::onConversationDestroying()
{
    removeConversation(static_cast<Conversation *>(sender()));
}
