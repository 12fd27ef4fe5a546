#pragma once

// TavriIdentityRealmTest: the realm tests' view into the built-in realm's
// tables, for the entries that only the voice-session handling writes and for
// checking that no entry is left behind.

#include "conversation.h"
#include "tavriidentityrealm.h"

#include <QMap>
#include <QString>

class TavriIdentityRealmTest
{
public:
    static QMap<QString, Conversation*>& byURI() { return realm()->m_conversationsByURI; }
    static QMap<QString, Conversation*>& bySessionHandle() { return realm()->m_conversationsBySessionHandle; }
    static QMap<Conversation*, QString>& handleByConversation() { return realm()->m_sessionHandlesByConversation; }
    static QMap<QString, Conversation*>& byUID() { return realm()->m_conversationsByUID; }

    // Files a conversation under a voice session, as the session handling does.
    static void fileSession(Conversation* conversation, const QString& handle)
    {
        bySessionHandle().insert(handle, conversation);
        handleByConversation().insert(conversation, handle);
    }

    // The number of entries of the four conversation tables that lead to
    // conversation.
    static int entriesFor(const Conversation* conversation)
    {
        int count = 0;
        for (const QMap<QString, Conversation*>* map : {&byURI(), &bySessionHandle(), &byUID()})
            for (const Conversation* value : *map)
                count += value == conversation ? 1 : 0;
        return count + (handleByConversation().contains(const_cast<Conversation*>(conversation)) ? 1 : 0);
    }

    static void resetSurvey(int countdown = 0)
    {
        realm()->m_postCallSurveyCountdown = countdown;
        realm()->m_surveyPending = false;
    }
    static int surveyCountdown() { return realm()->m_postCallSurveyCountdown; }

private:
    static TavriIdentityRealm* realm() { return TavriIdentityRealm::getInstance(); }
};
