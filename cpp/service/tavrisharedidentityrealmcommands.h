#pragma once

#include <QString>
#include <QStringList>

class TavriSharedIdentityRealm;

// TavriSharedIdentityRealmCommands: the text-command language an external
// application speaks through its realm ("help", "say", "mute", "plist", ...).
//
// One object runs one command line against its realm: it splits the line at
// every single blank (empty words kept), acts on the realm, and the realm
// sends the reply as a TextCommandResponse with the status (200, 400 for
// wrong arguments, 405 for unknown or unimplemented commands). Commands that
// finish through another response (contact changes, lists, devices, joins)
// queue a request record of that type first. GUI thread only.
class TavriSharedIdentityRealmCommands
{
public:
    TavriSharedIdentityRealmCommands(TavriSharedIdentityRealm &realm, const QString &commandLine);

    // Runs the command; the reply and status are then set.
    void run();
    int status() const { return m_status; }
    QString reply() const { return m_reply; }

    // Messages of "tell" keep this many characters at most.
    static constexpr int kMaxTellLength = 256;

private:
    void help();
    void say();
    void mute();
    void plist();
    void clist();
    void settx();
    void changeContact(int action);
    void blist();
    void listDevices();
    void setDevice();
    void setPtt();
    void invite();
    void showInvites();
    void answerInvite(bool accept);
    void afk();
    void tell();
    void showTavri();

    // Argument i (1-based), empty when absent.
    QString argument(int index) const { return index < m_words.size() ? m_words.at(index) : QString(); }
    bool hasArgument(int index) const { return index < m_words.size(); }
    // The URI of participant index of the current conversation, clamped into
    // 1..count; empty when there is no conversation or no participant.
    QString participantByIndex(int index) const;
    // The first URI whose recorded name is name; empty when none.
    QString uriByName(const QString &name) const;
    // The joined conversation of a 1-based index, or of a name; empty when
    // none is joined so.
    QString joinedConversation(const QString &argument) const;
    void fail(int status, const QString &text);

    TavriSharedIdentityRealm &m_realm;
    QString m_line;
    QStringList m_words;
    QString m_reply;
    int m_status = 200;
};
