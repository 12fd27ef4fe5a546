#include "tavrisharedidentityrealmcommands.h"

#include "capturedevicemodel.h"
#include "conversation.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "realmuserinterface.h"
#include "renderdevicemodel.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealm.h"
#include "voicemanager.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

using Request = TavriSharedIdentityRealmRequest;

const QString kUsageHelp = QStringLiteral("Usage: help [<topic> | <command>]\n");

struct Topic {
    const char *name;
    const char *line;
};

const Topic kTopics[] = {
    {"basics", "Available commands:  help  disconnect  showTavri  afk\n"},
    {"conversations", "Available commands:  clist  settx  plist  mute  say  silent\n"},
    {"social", "Available commands:  invite  showinvites  accept  decline  block  unblock\n"},
    {"contacts", "Available commands:  blist  add  remove  tell\n"},
    {"settings", "Available commands:  listdevices  setdevice  setPTT\n"},
};

struct CommandHelp {
    const char *command;
    const char *lines;
};

const CommandHelp kCommandHelp[] = {
    {"disconnect", "Usage: disconnect\n"
                   "  Terminates connection to Tavri, leaving any currently joined conversations.\n"},
    {"showTavri", "Usage: showTavri\n"
                  "  Opens the standard Tavri user interface window.\n"},
    {"afk", "Usage: afk\n"
            "  Toggles online status to AFK (Away From Keyboard) or back from AFK.\n"},
    {"clist", "Usage: clist\n"
              "  Returns a list of the currently connected voice conversations.\n"},
    {"settx", "Usage: settx [name | index]\n"
              "  Optionally sets then returns current conversation for speaking / messaging.\n"
              "Example: settx Chatroom147\n"
              "Example: settx 2\n"
              "Example: settx\n"},
    {"plist", "Usage: plist [name | index]\n"
              "  Returns a list of the participants for the currently selected or specified conversation.\n"
              "Example: plist Chatroom147\n"
              "Example: plist 2\n"
              "Example: plist\n"},
    {"mute", "Usage: mute [self | name | index] [on | off]\n"
             "  Sets or toggles mute for yourself or a specified participant in the currently selected "
             "conversation.\n"
             "Example: mute self off\n"
             "Example: mute player1\n"
             "Example: mute player2 off\n"},
    {"say", "Usage: say <message>\n"
            "  Adds the message to the currently selected conversation.\n"
            "Example: say hello!\n"},
    {"silent", "Usage: silent [on | off]\n"
               "  Turns silent mode on/off.  This disables audio and mutes your microphone for all "
               "conversations.\n"
               "Example: silent off\n"},
    {"invite", "Usage: invite <username | contact index>\n"
               "  Invites the specified user or contact in your list to the current conversation.\n"
               "Example: invite player3\n"
               "Example: invite 2\n"},
    {"showinvites", "Usage: showinvites\n"
                    "  Returns a list of pending invitations to conversations.\n"},
    {"accept", "Usage: accept [invite index]\n"
               "  Accepts an invitation and joins the conversation, defaulting to the last one received.\n"
               "Example: accept\n"
               "Example: accept 2\n"},
    {"decline", "Usage: decline [invite index]\n"
                "  Declines and removes an invitation, defaulting to the last one received.\n"
                "Example: decline\n"
                "Example: decline 2\n"},
    {"block", "Usage: block <username | participant index>\n"
              "  Adds the specified user to your block list - this user cannot send you invites, have you in "
              "their contact list, or be in your contact list.\n"
              "Example: block player4\n"
              "Example: block 2\n"},
    {"unblock", "Usage: unblock <username>\n"
                "  Removes the specified user from your block list.\n"
                "Example: unblock player4\n"},
    {"blist", "Usage: blist\n"
              "  Returns your current contact list.\n"},
    {"add", "Usage: add <username | participant index>\n"
            "  Adds the specified user to your contact list.\n"
            "Example: add player2\n"
            "Example: add 2\n"},
    {"remove", "Usage: remove <username | contact index>\n"
               "  Removes the specified user from your contact list.\n"
               "Example: remove player2\n"
               "Example: remove 2\n"},
    {"tell", "Usage: tell <username> <message>\n"
             "  Sends a message to a specified user, up to 256 characters.\n"
             "Example: tell player2 hey...\n"},
    {"listdevices", "Usage: listdevices\n"
                    "  Returns the list of audio devices available.\n"},
    {"setdevice", "Usage: setdevice [index]\n"
                  "  Sets and returns the specified device.\n"
                  "Example: setdevice 2\n"
                  "Example: setdevice\n"},
    {"setPTT", "Usage: setPTT [Off | Toggle | Talk] [key combination]\n"
               "  Sets and returns the current talk mode to open microphone, or push to toggle (switch) or push "
               "to talk (walkie talkie).\n"
               "Example: setPTT Off\n"
               "Example: setPTT Talk leftmouse+rightmouse\n"
               "Example: setPTT Toggle esc+f1\n"
               "Example: setPTT Toggle -++\n"
               "Example: setPTT Talk Q\n"},
};

// A decimal number; false for anything else (overflow included).
bool toNumber(const QString &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

} // namespace

TavriSharedIdentityRealmCommands::TavriSharedIdentityRealmCommands(TavriSharedIdentityRealm &realm,
                                                                   const QString &commandLine)
    : m_realm(realm)
    , m_line(commandLine)
    , m_words(commandLine.split(QLatin1Char(' '), Qt::KeepEmptyParts))
{
}

void TavriSharedIdentityRealmCommands::fail(int status, const QString &text)
{
    m_status = status;
    m_reply += text;
}

void TavriSharedIdentityRealmCommands::run()
{
    const QString command = m_words.first();
    if (command == QLatin1String("help"))
        help();
    else if (command == QLatin1String("say"))
        say();
    else if (command == QLatin1String("mute"))
        mute();
    else if (command == QLatin1String("plist"))
        plist();
    else if (command == QLatin1String("clist"))
        clist();
    else if (command == QLatin1String("settx"))
        settx();
    else if (command == QLatin1String("add"))
        changeContact(0);
    else if (command == QLatin1String("remove"))
        changeContact(1);
    else if (command == QLatin1String("block"))
        changeContact(2);
    else if (command == QLatin1String("unblock"))
        changeContact(3);
    else if (command == QLatin1String("blist"))
        blist();
    else if (command == QLatin1String("listdevices"))
        listDevices();
    else if (command == QLatin1String("setdevice"))
        setDevice();
    else if (command == QLatin1String("setPTT"))
        setPtt();
    else if (command == QLatin1String("invite"))
        invite();
    else if (command == QLatin1String("showinvites"))
        showInvites();
    else if (command == QLatin1String("accept"))
        answerInvite(true);
    else if (command == QLatin1String("decline"))
        answerInvite(false);
    else if (command == QLatin1String("afk"))
        afk();
    else if (command == QLatin1String("tell"))
        tell();
    else if (command == QLatin1String("showTavri"))
        showTavri();
    else if (command == QLatin1String("disconnect") || command == QLatin1String("silent"))
        fail(405, QStringLiteral("%1 not yet implemented...").arg(command));
    else
        fail(405, QStringLiteral("Unrecognized command: %1").arg(m_line));
}

void TavriSharedIdentityRealmCommands::help()
{
    const QString topic = argument(1);
    for (const Topic &entry : kTopics) {
        if (topic == QLatin1String(entry.name)) {
            m_reply += kUsageHelp + QStringLiteral("Topic: ") + topic + QLatin1Char('\n') + QLatin1String(entry.line);
            return;
        }
    }
    for (const CommandHelp &entry : kCommandHelp) {
        if (topic == QLatin1String(entry.command)) {
            m_reply += QLatin1String(entry.lines);
            return;
        }
    }
    m_reply += kUsageHelp + QStringLiteral("Available topics:  basics  conversations  social  contacts  settings\n");
}

void TavriSharedIdentityRealmCommands::say()
{
    const QString text = m_line.mid(4);
    m_realm.sendMessageToTransmitting(text);
    m_reply += QStringLiteral("%1/%2: %3")
                   .arg(m_realm.conversationName(m_realm.currentConversation()), m_realm.m_userDisplayName, text);
}

QString TavriSharedIdentityRealmCommands::participantByIndex(int index) const
{
    const QString current = m_realm.currentConversation();
    Conversation *conversation =
        current.isEmpty() ? nullptr : TavriIdentityRealm::getInstance()->getConversation(current);
    if (!conversation)
        return QString();
    const QList<ConversationParticipant *> participants = conversation->getParticipants()->getParticipants();
    if (participants.isEmpty())
        return QString();
    const int clamped = qBound(1, index, participants.size());
    return participants.at(clamped - 1)->getParticipantURI();
}

QString TavriSharedIdentityRealmCommands::uriByName(const QString &name) const
{
    for (auto it = m_realm.m_userNames.constBegin(); it != m_realm.m_userNames.constEnd(); ++it) {
        if (it.value() == name)
            return it.key();
    }
    return QString();
}

void TavriSharedIdentityRealmCommands::mute()
{
    QString target = m_realm.m_userSipURI;
    bool on = true;
    if (hasArgument(1)) {
        const QString first = argument(1);
        if (first == QLatin1String("off")) {
            on = false;
        } else if (first != QLatin1String("self") && first != QLatin1String("on")) {
            int index = 0;
            QString found;
            if (toNumber(first, index) && index > 0)
                found = participantByIndex(index);
            else
                found = uriByName(first);
            // An index or name that names no one is taken as the target
            // itself, never as the user's own speaker.
            target = found.isEmpty() ? first : found;
        }
        if (first != QLatin1String("off") && argument(2) == QLatin1String("off"))
            on = false;
    }
    const QString shown = target == m_realm.m_userSipURI ? QString() : m_realm.nameForUri(target);
    m_reply += (on ? QStringLiteral("Muting %1") : QStringLiteral("Unmuting %1")).arg(shown);
    m_realm.setMute(target, on);
}

QString TavriSharedIdentityRealmCommands::joinedConversation(const QString &text) const
{
    const QStringList joined = m_realm.joinedChannels();
    int index = 0;
    if (toNumber(text, index))
        return index >= 1 && index <= joined.size() ? joined.at(index - 1) : QString();
    const QString uri = m_realm.conversationUriForName(text);
    return joined.contains(uri) ? uri : QString();
}

void TavriSharedIdentityRealmCommands::plist()
{
    if (m_realm.joinedChannels().isEmpty()) {
        fail(400, QStringLiteral("... not currently in any conversations"));
        return;
    }
    const QString channel = hasArgument(1) ? joinedConversation(argument(1)) : m_realm.currentConversation();
    if (channel.isEmpty()) {
        fail(400, QStringLiteral("Not connected to conversation: %1").arg(argument(1)));
        return;
    }
    m_reply += QStringLiteral("Participants in %1 (* is you):\n").arg(m_realm.conversationName(channel));
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(channel);
    if (!conversation)
        return;
    int position = 0;
    for (ConversationParticipant *participant : conversation->getParticipants()->getParticipants()) {
        const QString uri = participant->getParticipantURI();
        QString name;
        if (Tavri::RealmUserInterface *identity = participant->getIdentity())
            name = identity->getDisplayName();
        if (name.isEmpty())
            name = m_realm.nameForUri(uri);
        ++position;
        m_reply += (uri == m_realm.m_userSipURI ? QStringLiteral("%1*) %2\n") : QStringLiteral("%1) %2\n"))
                       .arg(position)
                       .arg(name);
    }
}

void TavriSharedIdentityRealmCommands::clist()
{
    m_reply += QStringLiteral("Currently joined conversations (* currently selected):\n");
    int position = 0;
    for (auto it = m_realm.m_sessionHandlesByChannel.constBegin(); it != m_realm.m_sessionHandlesByChannel.constEnd();
         ++it) {
        ++position;
        const bool selected = it.value() == m_realm.m_transmittingSessionHandle;
        m_reply += (selected ? QStringLiteral("%1*) %2\n") : QStringLiteral("%1) %2\n"))
                       .arg(position)
                       .arg(m_realm.conversationName(it.key()));
    }
}

void TavriSharedIdentityRealmCommands::settx()
{
    if (!hasArgument(1)) {
        m_reply +=
            QStringLiteral("Currently speaking in %1").arg(m_realm.conversationName(m_realm.currentConversation()));
        return;
    }
    const QString text = argument(1);
    const QStringList joined = m_realm.joinedChannels();
    QString channel;
    int index = 0;
    if (toNumber(text, index) && index > 0)
        channel = index <= joined.size() ? joined.at(index - 1) : QString();
    else
        channel = m_realm.conversationUriForName(text);
    if (channel.isEmpty()) {
        fail(400, QStringLiteral("Not connected to conversation: %1").arg(text));
        return;
    }
    m_reply += QStringLiteral("Setting local transmit to %1\n").arg(m_realm.conversationName(channel));
    m_realm.setTransmittingChannel(channel);
}

void TavriSharedIdentityRealmCommands::changeContact(int action)
{
    static const char *const usages[] = {
        "Usage: add <username | participant index>\n", "Usage: remove <username | contact index>\n",
        "Usage: block <username | participant index>\n", "Usage: unblock <username>\n"};
    QString target = m_realm.m_userSipURI;
    if (hasArgument(1)) {
        const QString text = argument(1);
        int index = 0;
        if (action != 3 && toNumber(text, index) && index > 0) {
            if (action == 1) {
                const QStringList &contacts = m_realm.m_contacts;
                if (!contacts.isEmpty())
                    target = contacts.at(qMin(index, contacts.size()) - 1);
            } else {
                const QString found = participantByIndex(index);
                target = found.isEmpty() ? text : found;
            }
        } else {
            const QString found = uriByName(text);
            target = found.isEmpty() ? text : found;
        }
    } else {
        fail(400, QLatin1String(usages[action]));
    }
    if ((action == 0 || action == 2) && target == m_realm.m_userSipURI) {
        fail(400, action == 0 ? QStringLiteral("Cannot add self to contacts\n")
                              : QStringLiteral("Cannot add self to blocked list\n"));
        return;
    }
    auto request = std::make_unique<Request>();
    request->type = Request::ChangeContactRequest;
    request->number = action;
    request->strings[0] = target.toUtf8();
    m_realm.queueRequest(std::move(request));
    switch (action) {
    case 0:
        m_realm.requestAddContact(target);
        break;
    case 1:
        m_realm.requestRemoveContact(target);
        break;
    case 2:
        m_realm.requestBlockUser(target);
        break;
    default:
        m_realm.requestUnblockUser(target);
        break;
    }
    m_reply += QLatin1Char(' ');
}

void TavriSharedIdentityRealmCommands::blist()
{
    auto request = std::make_unique<Request>();
    request->type = Request::ContactListRequest;
    m_realm.queueRequest(std::move(request));
    m_realm.requestContactList();
    m_reply += QLatin1Char(' ');
}

void TavriSharedIdentityRealmCommands::listDevices()
{
    auto request = std::make_unique<Request>();
    request->type = Request::DeviceListRequest;
    m_realm.queueRequest(std::move(request));
    m_realm.sendDeviceList();
    m_reply += QLatin1Char(' ');
}

void TavriSharedIdentityRealmCommands::setDevice()
{
    int index = 0;
    if (!hasArgument(1) || !toNumber(argument(1), index) || index < 0) {
        m_reply += QStringLiteral("Usage: setdevice <device index>");
        return;
    }
    VoiceManager *voice = VoiceManager::getInstance();
    if (!voice) {
        m_reply += QStringLiteral("Voice module restarting...");
        return;
    }
    CaptureDeviceModel *capture = voice->captureDevices();
    RenderDeviceModel *render = voice->renderDevices();
    const int captureCount = capture ? capture->count() : 0;
    const int renderCount = render ? render->count() : 0;
    if (index < 1 || index > captureCount + renderCount) {
        m_reply += QStringLiteral("Unrecognized device index: %1").arg(argument(1));
        return;
    }
    QString id;
    QString name;
    QString captureId;
    QString renderId;
    if (index <= captureCount) {
        id = captureId = capture->getDeviceIdByRow(index - 1);
        name = capture->getDeviceNameByRow(index - 1);
    } else {
        id = renderId = render->getDeviceIdByRow(index - captureCount - 1);
        name = render->getDeviceNameByRow(index - captureCount - 1);
    }
    auto request = std::make_unique<Request>();
    request->type = Request::SetDeviceRequest;
    request->strings[0] = id.toUtf8();
    request->strings[1] = name.toUtf8();
    m_realm.queueRequest(std::move(request));
    // The device goes to its own side only.
    m_realm.setDevice(captureId, renderId);
    m_reply += QLatin1Char(' ');
}

void TavriSharedIdentityRealmCommands::setPtt()
{
    if (m_realm.m_userSipURI.isEmpty()) {
        m_reply += QStringLiteral("Please log in first...");
        return;
    }
    int mode = m_realm.m_talkMode;
    QString keys;
    if (StorageManager *storage = StorageManager::getInstance())
        keys = storage->getSettingsValue(QStringLiteral("talkKeyCombo"), QString(), m_realm.settingsGroup()).toString();
    if (!hasArgument(1)) {
        m_reply += QStringLiteral("Usage: setPTT [Off | Toggle | Talk] [key combination]\n"
                                  "Example key combinations: leftshift, q+a, leftshift+a\n");
    } else {
        const QString first = argument(1).toLower();
        if (!hasArgument(2)) {
            if (first == QLatin1String("toggle"))
                mode = 3;
            else if (first == QLatin1String("talk"))
                mode = 2;
            else if (first == QLatin1String("off"))
                mode = 1;
            else
                keys = argument(1);
        } else {
            mode = first == QLatin1String("toggle") ? 3 : first == QLatin1String("talk") ? 2 : 1;
            keys = argument(2);
        }
        m_realm.setTalkMode(mode, keys);
    }
    QString text;
    if (mode == 1) {
        text = QStringLiteral("open mic");
        keys.clear();
    } else if (mode == 2) {
        text = QStringLiteral("hold to talk");
    } else if (mode == 3) {
        text = QStringLiteral("press to mute/unmute");
    }
    const QString suffix = keys.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(keys);
    m_reply += QStringLiteral("Talk mode set to %1%2").arg(text, suffix);
}

void TavriSharedIdentityRealmCommands::invite()
{
    QString invitee;
    if (hasArgument(1)) {
        const QString text = argument(1);
        int index = 0;
        if (toNumber(text, index)) {
            if (index >= 1 && index <= m_realm.m_contacts.size())
                invitee = m_realm.m_contacts.at(index - 1);
            else
                m_reply += QStringLiteral("Invalid contact index: ") + text;
        } else {
            invitee = text;
        }
    }
    const QString current = m_realm.currentConversation();
    if (current.isEmpty()) {
        m_reply += QStringLiteral("Cannot send invite: not currently connected to a conversation.");
    } else if (!invitee.isEmpty()) {
        m_realm.sendInvite(current, invitee);
        m_reply += QStringLiteral("Sending invite to ") + invitee + QStringLiteral(" to join ")
                   + m_realm.conversationName(current);
    } else if (!hasArgument(1) || argument(1).isEmpty()) {
        // Without an invitee nothing would answer the application.
        fail(400, QStringLiteral("Usage: invite <username | contact index>\n"));
    }
}

void TavriSharedIdentityRealmCommands::showInvites()
{
    if (m_realm.m_invitations.isEmpty()) {
        m_reply += QStringLiteral("No pending invites.");
        return;
    }
    m_reply += QStringLiteral("Pending invites:\n");
    int position = 0;
    for (const TavriSharedIdentityRealm::Invitation &invitation : qAsConst(m_realm.m_invitations))
        m_reply += QStringLiteral("%1) %2 invited you to %3\n")
                       .arg(++position)
                       .arg(invitation.inviter, invitation.conversationName);
}

void TavriSharedIdentityRealmCommands::answerInvite(bool accept)
{
    QList<TavriSharedIdentityRealm::Invitation> &invitations = m_realm.m_invitations;
    int index = invitations.size();
    if (hasArgument(1) && !toNumber(argument(1), index)) {
        m_reply += QStringLiteral("Invalid invite index: ") + argument(1);
        return;
    }
    if (invitations.isEmpty()) {
        m_reply += QStringLiteral("No pending invites.");
        return;
    }
    if (index < 1 || index > invitations.size()) {
        m_reply += QStringLiteral("Invalid invite index: ") + argument(1);
        return;
    }
    const TavriSharedIdentityRealm::Invitation invitation = invitations.takeAt(index - 1);
    if (!accept) {
        m_reply += QStringLiteral("Declining to join ") + invitation.conversationName;
        return;
    }
    auto request = std::make_unique<Request>();
    request->type = Request::JoinRequest;
    request->strings[0] = invitation.conversationURI.toUtf8();
    request->strings[2] = invitation.conversationName.toUtf8();
    m_realm.queueRequest(std::move(request));
    m_reply += QStringLiteral("Joining ") + invitation.conversationName;
    m_realm.requestJoin(invitation.conversationURI, QString());
}

void TavriSharedIdentityRealmCommands::afk()
{
    const QString choice = argument(1).toLower();
    bool away;
    if (choice == QLatin1String("on"))
        away = true;
    else if (choice == QLatin1String("off"))
        away = false;
    else
        away = m_realm.m_presence == VoiceManager::PresenceOnline;
    m_realm.setPresence(away ? VoiceManager::PresenceAway : VoiceManager::PresenceOnline, QString());
    m_reply += away ? QStringLiteral("AFK on") : QStringLiteral("AFK off");
}

void TavriSharedIdentityRealmCommands::tell()
{
    if (m_words.size() < 3) {
        m_reply += QStringLiteral("Usage: tell <username> <message>");
        return;
    }
    const QString message = m_words.mid(2).join(QLatin1Char(' ')).left(kMaxTellLength);
    m_realm.sendMessage(argument(1), message);
    m_reply += QLatin1Char(' ');
}

void TavriSharedIdentityRealmCommands::showTavri()
{
    // The application object shows its main frame when it can.
    QObject *application = QCoreApplication::instance();
    if (application && application->metaObject()->indexOfMethod("showMainFrame(bool)") >= 0)
        QMetaObject::invokeMethod(application, "showMainFrame", Qt::QueuedConnection, Q_ARG(bool, false));
    else
        qDebug() << "TavriSharedIdentityRealmCommands::showTavri"
                 << "no main frame to show";
    m_reply += QStringLiteral("Showing Tavri window - alt-tab if you are currently fullscreen.");
}
