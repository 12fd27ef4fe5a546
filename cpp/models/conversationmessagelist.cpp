#include "conversationmessagelist.h"

#include "conversation.h"
#include "deletelatertogether.h"
#include "identityrealmmanager.h"
#include "linkify.h"
#include "localtimezone.h"
#include "localuser.h"
#include "richtext.h"
#include "secondsformat.h"
#include "storagemanager.h"
#include "stylemanager.h"

#include <QColor>
#include <QDebug>

namespace {

// Whether the line's text was chosen by a peer or the server and so must not
// be read as markup. The program's own notices carry their own anchors.
bool isForeignText(ConversationMessage *message)
{
    return message->getMessageType() != ConversationMessage::NotificationMessage;
}

// The line's text as it may enter rich text.
QString richText(ConversationMessage *message)
{
    const QString text = message->getText();
    return isForeignText(message) ? escapedForHtml(text) : text;
}

QString styleColor(const char *name)
{
    const QString color = StyleManager::getInstance()->getStyleProperty(name).toString();
    if (color.isEmpty())
        qWarning() << "ConversationMessageList::formatMessage"
                   << "the style has no colour" << name;
    return color;
}

// Appends text with every line feed made a "<br/>".
void appendWithBreaks(QString &out, const QString &text)
{
    int from = 0;
    for (int at = text.indexOf(QLatin1Char('\n')); at >= 0; at = text.indexOf(QLatin1Char('\n'), from)) {
        out += QStringView(text).mid(from, at - from);
        out += QLatin1String("<br/>");
        from = at + 1;
    }
    out += QStringView(text).mid(from);
}

} // namespace

ConversationMessageList::ConversationMessageList(QObject *parent)
    : QAbstractListModel(parent)
{
}

ConversationMessageList::~ConversationMessageList() = default;

Conversation *ConversationMessageList::getConversation() const
{
    return qobject_cast<Conversation *>(parent());
}

void ConversationMessageList::appendMessage(ConversationMessage *message)
{
    beginInsertRows(QModelIndex(), m_messages.size(), m_messages.size());
    m_messages.append(message);
    endInsertRows();
    formatMessage(message);
}

void ConversationMessageList::addLocalLine(const QString &text, ConversationMessage::ConversationMessageType type,
                                           const QString &plainText)
{
    appendMessage(new ConversationMessage(text, nullptr, LocalTimeZone::now(), this, type));
    emit messageAdded(QString(""), plainText);
}

void ConversationMessageList::addSystemMessage(const QString &text)
{
    // The notice is rich text (names in it are escaped); the log gets what it says.
    addLocalLine(text, ConversationMessage::NotificationMessage, plainTextOf(text));
}

void ConversationMessageList::addWelcomeMessage(const QString &text)
{
    addLocalLine(text, ConversationMessage::WelcomeMessage, text);
}

QString ConversationMessageList::chatColorFor(ConversationMessage *message) const
{
    switch (message->getMessageType()) {
    case ConversationMessage::WelcomeMessage:
        return styleColor("welcomeMessageTextColor");
    case ConversationMessage::NotificationMessage:
        return styleColor("systemMessageTextColor");
    case ConversationMessage::ChatText:
        break;
    }
    Tavri::RealmUserInterface *sender = message->getSender();
    QString color = sender ? sender->getChatColor() : QString();
    // The colour goes into an attribute: only a colour text may go there.
    if (!color.isEmpty() && !QColor::isValidColor(color)) {
        qWarning() << "ConversationMessageList::formatMessage"
                   << "ignoring chat colour" << color << "of" << sender->getUid();
        color.clear();
    }
    if (!color.isEmpty())
        return color;
    const bool own = sender && LocalUser::getLocalUser()->isLocalUserIdentity(sender);
    return styleColor(own ? "myChatColor" : "theirChatColor");
}

void ConversationMessageList::formatMessage(ConversationMessage *message)
{
    if (!message)
        return;
    emit formattedMessageAdded(formattedLine(message));
}

QString ConversationMessageList::formattedLine(ConversationMessage *message) const
{
    const QString body = richText(message);
    QString name;
    Tavri::RealmUserInterface *sender = message->getSender();
    if (message->getMessageType() == ConversationMessage::ChatText && sender)
        name = escapedForHtml(sender->getDisplayName());
    const bool showTimestamps = StorageManager::getInstance()
                                    ->getSettingsValue(QStringLiteral("settingsShowTimestampsInChat"), true, QString())
                                    .toBool();
    QString clock;
    if (showTimestamps) {
        thread_local SecondsFormat format(QStringLiteral("hh:mm:ss: "));
        clock = format.text(message->getSentAt());
    }
    const QString color = chatColorFor(message);
    // Made in one piece: the block in the line's colour around the time, the
    // name and the text, each line feed in them made a break.
    QString wrapped;
    wrapped.reserve(color.size() + clock.size() + name.size() + body.size() + 32);
    wrapped += QLatin1String("<div style=\"color:'");
    wrapped += color;
    wrapped += QLatin1String("'\">");
    appendWithBreaks(wrapped, clock);
    if (!name.isEmpty()) {
        appendWithBreaks(wrapped, name);
        wrapped += QLatin1String(": ");
    }
    appendWithBreaks(wrapped, body);
    wrapped += QLatin1String("</div>");
    return linkify(wrapped);
}

void ConversationMessageList::clear()
{
    if (m_messages.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_messages.size() - 1);
    const QList<ConversationMessage *> messages = m_messages;
    m_messages.clear();
    m_followedSenders.clear();
    for (ConversationMessage *message : messages) {
        if (Tavri::RealmUserInterface *sender = message->getSender())
            disconnect(sender->getQObject(), nullptr, this, nullptr);
    }
    deleteLaterTogether(this, messages);
    endRemoveRows();
}

void ConversationMessageList::onConversationTextMessageReceived(const QString &conversationID,
                                                                const QString &senderUUID, const QString &,
                                                                const QString &messageText, const QDateTime &sentAt)
{
    Conversation *conversation = getConversation();
    if (!conversation)
        return;
    if (conversationID != conversation->getConversationID() && conversationID != conversation->getSipURI()
        && conversationID != conversation->getTransitionSipURI())
        return;
    if (senderUUID == conversationID) {
        // A line of the channel itself: shown as a notice, but its text is
        // the server's and must not be read as markup.
        addLocalLine(messageText.toHtmlEscaped(), ConversationMessage::NotificationMessage, messageText);
        return;
    }
    Tavri::IdentityRealmInterface *realm =
        IdentityRealmManager::getInstance()->getIdentityRealm(conversation->getRealmID());
    Tavri::RealmUserInterface *sender = realm ? realm->getRealmUser(senderUUID) : nullptr;
    if (!sender) {
        // A line needs an author to be shown as chat; a text whose sender
        // cannot be named is not shown at all.
        qWarning() << "ConversationMessageList::onConversationTextMessageReceived"
                   << "dropping a text of unknown sender" << senderUUID << "in" << conversationID
                   << (realm ? "" : "(no realm)");
        return;
    }
    auto *message = new ConversationMessage(messageText, sender, sentAt, this, ConversationMessage::ChatText);
    // Asking Qt for a unique connection would search the author's
    // connections by signature for every line.
    QMetaObject::Connection &followed = m_followedSenders[sender->getQObject()];
    if (!followed)
        followed = connect(sender->getQObject(), SIGNAL(displayNameUpdated(QString)), this,
                           SLOT(onSenderDisplayNameChanged(QString)), Qt::UniqueConnection);
    appendMessage(message);
    emit messageAdded(sender->getDisplayName(), messageText);
}

void ConversationMessageList::onSenderDisplayNameChanged(const QString &)
{
    QObject *senderObject = sender();
    for (int row = m_messages.size() - 1; row >= 0; --row) {
        Tavri::RealmUserInterface *author = m_messages.at(row)->getSender();
        if (author && author->getQObject() == senderObject) {
            const QModelIndex changed = index(row);
            emit dataChanged(changed, changed, {SenderDisplayNameRole});
        }
    }
}

int ConversationMessageList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_messages.size();
}

QVariant ConversationMessageList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.model() != this || index.row() < 0
        || index.row() >= m_messages.size())
        return QVariant();
    ConversationMessage *message = m_messages.at(index.row());
    Tavri::RealmUserInterface *sender = message->getSender();
    switch (role) {
    case Qt::DisplayRole:
    case MessageTextRole:
        return linkify(richText(message));
    case SenderProfileImageURIRole:
        return sender ? QVariant(sender->getProfileImageURI()) : QVariant();
    case SenderPresenceStateRole:
        return sender ? QVariant(int(sender->getPresenceState())) : QVariant();
    case SenderPresenceMessageRole:
        return sender ? QVariant(sender->getPresenceMessage()) : QVariant();
    case SenderDisplayNameRole:
        return sender ? sender->getDisplayName() : QString("");
    case IsWelcomeMessageRole:
        return message->getMessageType() == ConversationMessage::WelcomeMessage;
    case IsSystemMessageRole:
        return message->getMessageType() == ConversationMessage::NotificationMessage;
    case IsFromRemoteRole:
        return sender ? QVariant(!LocalUser::getLocalUser()->isLocalUserIdentity(sender)) : QVariant();
    case ConversationIDRole:
        return message->getConversationID();
    case SentAtRole:
        return message->getSentAt();
    case ReceivedAtRole:
        return message->getReceivedAt();
    case FormattedTextRole:
        return formattedLine(message);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationMessageList::roleNames() const
{
    return {{MessageTextRole, "messageText"},
            {SenderProfileImageURIRole, "senderProfileImageURI"},
            {SenderPresenceStateRole, "senderPresenceState"},
            {SenderPresenceMessageRole, "senderPresenceMessage"},
            {SenderDisplayNameRole, "senderDisplayName"},
            {IsWelcomeMessageRole, "isWelcomeMessage"},
            {IsSystemMessageRole, "isSystemMessage"},
            {IsFromRemoteRole, "isFromRemote"},
            {ConversationIDRole, "conversationID"},
            {SentAtRole, "sentAt"},
            {ReceivedAtRole, "receivedAt"},
            {FormattedTextRole, "formattedText"}};
}
