// The program as it is, plus a filler for the memory benchmark: with
// TAVRI_BENCH_FILL="<e-mail> <password> <contacts> <chat lines> <channel uri>"
// it signs in once the event loop runs, then fills the session through the
// voice stand-in's control interface: a buddy list of <contacts> users
// (voice event 17) and <chat lines> lines said by a peer in the channel,
// which it joins. Once the models hold them all it prints
// "BENCH-FILL done <contacts> <channels> <lines>", the counts of the contact
// list, the local user's channel list and the channel's chat, and the
// program carries on as usual.
#include "contactlist.h"
#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "realmain.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

class BenchFiller : public QObject
{
public:
    BenchFiller(const QStringList &fields, QObject *parent)
        : QObject(parent)
        , m_email(fields.value(0))
        , m_password(fields.value(1))
        , m_contacts(fields.value(2).toInt())
        , m_lines(fields.value(3).toInt())
        , m_channel(fields.value(4))
    {
        LocalUser *me = TavriApplication::instance()->localUser();
        connect(me, &LocalUser::loginStateChanged, this, [this](LocalUser::LoginState state, const QString &) {
            if (state == LocalUser::LoggedIn && !m_started) {
                m_started = true;
                // Let the sign-in's own replies land first.
                QTimer::singleShot(2000, this, [this] { fill(); });
            }
        });
        TavriApplication::instance()->requestLogin(m_email, m_password);
    }

private:
    void fill()
    {
        const QString domain = VoiceManager::getInstance()->domain();
        const QByteArray account = VoiceManager::getInstance()->accountHandle().toUtf8();

        auto *event = reinterpret_cast<ox_evt_buddy_and_group_list_changed_t *>(
            oxc_alloc_event(OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED));
        event->account_handle = ox_strdup(account.constData());
        event->buddy_count = m_contacts;
        event->buddies = static_cast<ox_buddy_record_t **>(calloc(size_t(m_contacts), sizeof(ox_buddy_record_t *)));
        for (int i = 0; i < m_contacts; ++i) {
            auto *buddy = static_cast<ox_buddy_record_t *>(calloc(1, sizeof(ox_buddy_record_t)));
            buddy->uri = ox_strdup(QStringLiteral("sip:u-b%1@%2").arg(50000 + i).arg(domain).toUtf8().constData());
            buddy->display_name = ox_strdup(QStringLiteral("Contact %1").arg(i).toUtf8().constData());
            buddy->buddy_data = ox_strdup("");
            buddy->buddy_id = i + 1;
            event->buddies[i] = buddy;
        }
        oxc_inject(&event->base.message);

        const QByteArray channel = m_channel.toUtf8();
        oxc_channel_configure(channel.constData(), "Lobby", "", 0, 1, 0);
        m_conversation = TavriIdentityRealm::getInstance()->getConversation(m_channel);
        m_conversation->requestJoinConversation();
        m_peer = QStringLiteral("sip:u-b%1@%2").arg(50000).arg(domain).toUtf8();
        oxc_channel_join(channel.constData(), m_peer.constData(), "Contact 0", 0);
        QTimer::singleShot(0, this, [this] { say(); });
    }

    // Once the channel is joined, every line at once; then waits for them.
    void say()
    {
        if (!m_conversation)
            return;
        if (!m_conversation->getIsJoined()) {
            QTimer::singleShot(50, this, [this] { say(); });
            return;
        }
        const QByteArray channel = m_channel.toUtf8();
        for (int i = 0; i < m_lines; ++i)
            oxc_say(channel.constData(), m_peer.constData(),
                    QStringLiteral("Chat line %1 of the benchmark, with a few words more to make it typical")
                        .arg(i)
                        .toUtf8()
                        .constData());
        QTimer::singleShot(0, this, [this] { await(); });
    }

    void await()
    {
        const int lines = m_conversation ? m_conversation->getChatMessages()->rowCount() : 0;
        const int channels = LocalUser::getLocalUser()->getConversations()->count();
        const ContactList *contactList = LocalUser::getLocalUser()->getContactList();
        const int contacts = contactList ? contactList->getTotalCount() : 0;
        if (lines < m_lines || contacts < m_contacts) {
            QTimer::singleShot(100, this, [this] { await(); });
            return;
        }
        std::printf("BENCH-FILL done %d %d %d\n", contacts, channels, lines);
        std::fflush(stdout);
    }

    QString m_email, m_password;
    int m_contacts, m_lines;
    QString m_channel;
    QByteArray m_peer;
    QPointer<Conversation> m_conversation;
    bool m_started = false;
};

void startFiller()
{
    const QStringList fields = qEnvironmentVariable("TAVRI_BENCH_FILL").split(QLatin1Char(' '));
    if (fields.size() != 5)
        return;
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [fields] { new BenchFiller(fields, QCoreApplication::instance()); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startFiller)

int main(int argc, char *argv[])
{
    return guardedMain(argc, argv);
}
