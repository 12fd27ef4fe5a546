#pragma once

// A signed-in program for the stateful fuzz targets: the voice service over
// the SDK stand-in (signed in, session group ready), the built-in realm, the
// local user logged in, and the web client pointed at a port where nothing
// listens. Inputs run without an event loop unless a target settles the
// stand-in itself, so no web call ever leaves; reset() takes back what an
// input made (web calls, conversations and their table entries, the local
// user's login) so that one input's state does not meet the next.

#include "fuzzsupport.h"

#include "conversation.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "realmtestaccess.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"
#include "voicesettle.h"
#include "voicetestsupport.h"

#include <QPointer>
#include <QSet>

namespace fuzz {

class Session
{
public:
    static Session &get()
    {
        static Session *session = new Session;
        return *session;
    }

    QString myURI() const { return m_myURI; }
    QString domain() const { return m_voice->domain(); }
    VoiceManager *voice() const { return m_voice; }
    QSocialManager *social() const { return m_social; }
    // A conversation that stays across inputs.
    Conversation *keep(Conversation *conversation)
    {
        m_kept.insert(conversation);
        return conversation;
    }

    // Ends the voice sessions that an input joined and lets their ends reach
    // the realm, so that the next input finds the voice service as the start
    // left it.
    void endVoiceSessions()
    {
        settleVoice();
        const QSet<QString> joined = m_voice->knownSessions();
        if (joined.isEmpty())
            return;
        for (const QString &handle : joined)
            m_voice->requestTerminateSession(handle);
        settleVoice();
    }

    void reset()
    {
        using Access = TavriIdentityRealmTest;
        // Web calls never sent.
        qDeleteAll(m_social->findChildren<QSocialQuery *>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Conversations the input made, out of every table first.
        QSet<Conversation *> made;
        for (Conversation *conversation :
             TavriIdentityRealm::getInstance()->findChildren<Conversation *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!m_kept.contains(conversation))
                made.insert(conversation);
        }
        auto prune = [&](QMap<QString, Conversation *> &table) {
            for (auto entry = table.begin(); entry != table.end();)
                entry = made.contains(entry.value()) ? table.erase(entry) : std::next(entry);
        };
        prune(Access::byURI());
        prune(Access::byUID());
        prune(Access::bySessionHandle());
        for (auto entry = Access::handleByConversation().begin(); entry != Access::handleByConversation().end();)
            entry = made.contains(entry.key()) ? Access::handleByConversation().erase(entry) : std::next(entry);
        Access::privateChats().clear();
        Access::pendingMessages().clear();
        Access::inFlight().clear();
        Access::pendingJoins().clear();
        Access::stopStatsTimer();
        qDeleteAll(made);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        if (LocalUser::getLocalUser()->getLoginState() != LocalUser::LoggedIn)
            logIn();
    }

private:
    Session()
    {
        application();
        oxc_reset();
        oxc_set_meter_interval(0);
        // The realm asks the web service about users and channels; nothing
        // listens at this port, and no event loop runs to send the calls.
        m_social = new QSocialManager(nullptr, QStringLiteral("http://127.0.0.1:9/gateway.php"),
                                      QStringLiteral("127.0.0.1:9"));
        m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
        if (!voicetest::logIn(*m_voice, QStringLiteral("fuzz")))
            std::abort();
        StorageManager::getInstance()->setVoiceDomain(m_voice->domain());
        TavriIdentityRealm::getInstance();
        m_myURI = QStringLiteral("sip:u-fuzz@") + m_voice->domain();
        logIn();
        // The replies and texts below are taken only from a logged-in user.
        if (LocalUser::getLocalUser()->getLoginState() != LocalUser::LoggedIn)
            std::abort();
        settleVoice();
        qDeleteAll(m_social->findChildren<QSocialQuery *>());
        for (Conversation *conversation :
             TavriIdentityRealm::getInstance()->findChildren<Conversation *>(QString(), Qt::FindDirectChildrenOnly))
            m_kept.insert(conversation);
    }

    void logIn()
    {
        LocalUser *local = LocalUser::getLocalUser();
        if (local->getLoginState() == LocalUser::LoggingOut)
            local->onSocialLoginFailed(QStringLiteral("fuzz input done"));
        if (local->getLoginState() == LocalUser::LoggedOut)
            local->requestLogin(QStringLiteral("fuzz@example.test"), QStringLiteral("pw"));
        if (local->getLoginState() == LocalUser::LoggingIn)
            local->onSocialLoginSuccess(m_myURI, {}, {}, {}, {}, {}, {}, {}, {});
        if (local->getLoginState() == LocalUser::LoggingInVoice)
            local->onVoiceLoggedIn();
    }

    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    QString m_myURI;
    QSet<Conversation *> m_kept;
};

} // namespace fuzz
