#pragma once

// TavriIdentityRealmTest: the realm tests' one view into the built-in realm's
// conversation and user tables and private slots, for the entries that only
// the voice-session handling writes, for driving what the voice service's
// signals drive and for checking that no entry is left behind.

#include "conversation.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QHash>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimerEvent>

class TavriIdentityRealmTest
{
public:
    static TavriIdentityRealm *realm() { return TavriIdentityRealm::getInstance(); }

    static QMap<QString, Conversation *> &byURI(TavriIdentityRealm *of = realm()) { return of->m_conversationsByURI; }
    static QMap<QString, Conversation *> &bySessionHandle() { return realm()->m_conversationsBySessionHandle; }
    static QMap<Conversation *, QString> &handleByConversation() { return realm()->m_sessionHandlesByConversation; }
    static QMap<QString, Conversation *> &byUID(TavriIdentityRealm *of = realm()) { return of->m_conversationsByUID; }

    // The user tables.
    static QMap<QString, TavriIdentityRealmUser *> &usersByURI() { return realm()->m_usersByURI; }
    static QMap<QString, TavriIdentityRealmUser *> &usersByUID() { return realm()->m_usersByUID; }
    static QMap<QString, TavriIdentityRealmUser *> &usersByUName() { return realm()->m_usersByUName; }

    // The slots that the voice service's buddy signals drive.
    static void buddyList(const QStringList &uris) { realm()->onTavriContactsReceived(uris, QStringList()); }
    static void buddyAdded(const QString &uri) { realm()->onVoiceManagerFriendAdded(uri); }
    static void buddyRemoved(const QString &uri) { realm()->onVoiceManagerFriendRemoved(uri); }

    // Files a conversation under a voice session, as the session handling does.
    static void fileSession(Conversation *conversation, const QString &handle)
    {
        bySessionHandle().insert(handle, conversation);
        handleByConversation().insert(conversation, handle);
    }

    // The number of entries of the four conversation tables that lead to
    // conversation.
    static int entriesFor(const Conversation *conversation)
    {
        int count = 0;
        for (const QMap<QString, Conversation *> *map : {&byURI(), &bySessionHandle(), &byUID()})
            for (const Conversation *value : *map)
                count += value == conversation ? 1 : 0;
        return count + (handleByConversation().contains(const_cast<Conversation *>(conversation)) ? 1 : 0);
    }

    static void resetSurvey(int countdown = 0)
    {
        realm()->m_postCallSurveyCountdown = countdown;
        realm()->m_surveyPending = false;
    }
    static int surveyCountdown() { return realm()->m_postCallSurveyCountdown; }

    // Chat text and voice-session state.
    static QHash<QString, QString> &inFlight() { return realm()->m_inFlightChatMessages; }
    static QHash<QString, QStringList> &pendingMessages() { return realm()->m_pendingMessages; }
    static QHash<QString, QString> &pendingJoins() { return realm()->m_pendingJoins; }
    static void setReadyToJoinChannels(bool ready) { realm()->m_readyToJoinChannels = ready; }
    static bool readyToJoinChannels() { return realm()->m_readyToJoinChannels; }
    static bool surveyPending() { return realm()->m_surveyPending; }
    // The connection-statistics timer (0 when it does not run).
    static int statsTimer() { return realm()->m_timerId; }
    static void stopStatsTimer()
    {
        if (realm()->m_timerId != 0)
            realm()->killTimer(realm()->m_timerId);
        realm()->m_timerId = 0;
    }
    // The "has disabled audio" notices still waiting.
    static int pendingAudioNotices() { return realm()->m_audioDisabledTimers.size(); }

    // The local user's conversation list as the realm merges it: the owned
    // and favourite channel URIs and the word of merge steps (0: no list
    // open).
    static QStringList &ownedChannelURIs() { return realm()->m_ownedChannelURIs; }
    static QStringList &favoriteChannelURIs() { return realm()->m_favoriteChannelURIs; }
    static QStringList &ownedChannelDisplayNames() { return realm()->m_ownedChannelDisplayNames; }
    static quint16 &conversationListProgress() { return realm()->m_conversationListProgress; }
    // Forgets the lists and closes any list still open.
    static void resetConversationList()
    {
        ownedChannelURIs().clear();
        ownedChannelDisplayNames().clear();
        favoriteChannelURIs().clear();
        conversationListProgress() = 0;
    }

    static QHash<QPair<QString, QString>, QString> &privateChats() { return realm()->m_privateConversationMap; }
    static QMap<QString, bool> &contactGroups() { return realm()->m_contactGroupIDs; }

    // Starts the statistics timer as the session handling does.
    static int startStatsTimer(int intervalMs)
    {
        realm()->m_timerId = realm()->startTimer(intervalMs);
        return realm()->m_timerId;
    }
    // Starts a "has disabled audio" notice as the participant handling does.
    static int startNotice(Conversation *conversation, const QString &participantURI, int delayMs)
    {
        const int id = realm()->startTimer(delayMs);
        realm()->m_audioDisabledTimers.insert(id, qMakePair(QPointer<Conversation>(conversation), participantURI));
        return id;
    }
    static bool noticePending(int id) { return realm()->m_audioDisabledTimers.contains(id); }
    static void fireTimer(int id)
    {
        QTimerEvent event(id);
        realm()->timerEvent(&event);
    }
};
