#pragma once

// RealmTestBase: the built-in realm over a signed-in voice service and the
// web-service fake, with the local user signed in as "sip:u-me@<domain>",
// for the tests of the realm's requests, chat text and voice sessions.

#include "conversation.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"

#include "realmtestaccess.h"
#include "signedinuser.h"
#include "voicetestsupport.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QtTest>

class RealmTestBase : public QObject
{
protected:
    // Signs the voice service in as voiceToken and the local user in; the
    // web fake answers "OK" to the methods the realm sends and to
    // moreMethods, and "no record" to its user and channel lookups. Call with QVERIFY from initTestCase.
    bool startRealm(const QString &voiceToken, const QStringList &moreMethods = {})
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
        QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
        m_web = new FakeWebService(this);
        m_web->setSignInDefaults();
        const QStringList lookups{QStringLiteral("getUserByUserLiveURI"), QStringLiteral("getUserByUID"),
                                  QStringLiteral("AddUserStats"), QStringLiteral("GetChannelInfo"),
                                  QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID")};
        for (const QString &method : lookups + moreMethods)
            m_web->setDefault(method, QJsonObject{{"status", "OK"}});
        m_web->setLookupDefaults();
        m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
        // The realm follows the voice service it finds when it is made.
        m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
        if (!voicetest::logIn(*m_voice, voiceToken))
            return false;
        m_realm = TavriIdentityRealm::getInstance();
        m_myURI = uri("u-", "me");
        TavriIdentityRealmUser *own = signedin::ownIdentity(m_myURI);
        if (!own)
            return false;
        m_me = own->getUid();
        return !m_me.isEmpty();
    }

    // From cleanupTestCase.
    void stopRealm()
    {
        delete TavriIdentityRealm::getInstance();
        delete m_voice;
        m_voice = nullptr;
        delete m_social;
        m_social = nullptr;
    }

    // Lets the stand-in's answers still on their way arrive.
    static void settle()
    {
        QVERIFY2(oxc_wait_idle(voicetest::kVoiceWaitMs) == 0, "the voice stand-in did not become idle");
        QCoreApplication::processEvents();
    }

    // Empties the realm's per-session tables, stops its statistics timer and
    // deletes the conversations the test made through conversation(), so
    // that one test's state does not meet the next.
    void forgetTestState()
    {
        using Access = TavriIdentityRealmTest;
        Access::pendingJoins().clear();
        Access::pendingMessages().clear();
        Access::inFlight().clear();
        Access::privateChats().clear();
        Access::bySessionHandle().clear();
        Access::handleByConversation().clear();
        Access::stopStatsTimer();
        for (const QPointer<Conversation> &made : qAsConst(m_made))
            delete made.data();
        m_made.clear();
    }

    QString uri(const QString &kind, const QString &name) const
    {
        return QStringLiteral("sip:%1%2@").arg(kind, name) + m_voice->domain();
    }
    // The realm's conversation for a URI, deleted by forgetTestState.
    Conversation *conversation(const QString &sipURI)
    {
        Conversation *result = m_realm->getConversation(sipURI);
        m_made.append(result);
        return result;
    }
    TavriIdentityRealmUser *user(const QString &sipURI)
    {
        return qobject_cast<TavriIdentityRealmUser *>(m_realm->requestUserInfoUpdateByURI(sipURI)->getQObject());
    }

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    TavriIdentityRealm *m_realm = nullptr;
    // The local user's uid and SIP URI.
    QString m_me;
    QString m_myURI;
    QList<QPointer<Conversation>> m_made;
};
