#pragma once

// The application object of the alert tests: it has a tray (whose balloons a
// recorder keeps instead of showing), a network switch and a clock the test
// sets, and its protected slots are open to the test.

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QSystemTrayIcon>

#include "../shell/shellfixture.h"
#include "audiocuesmanager.h"
#include "fakemediaservice.h"
#include "localuser.h"
#include "signedinuser.h"
#include "systemtrayicon.h"
#include "tavriidentityrealmuser.h"

class AlertsApplication : public TavriApplication
{
public:
    using TavriApplication::TavriApplication;

    using TavriApplication::onAddChannelFailed;
    using TavriApplication::onAudioDeviceProblem;
    using TavriApplication::onAuxAudioPropertiesReceived;
    using TavriApplication::onCannotAddEchoToSession;
    using TavriApplication::onChannelConnectionTimeout;
    using TavriApplication::onChannelFavoriteChanged;
    using TavriApplication::onChannelNotFound;
    using TavriApplication::onConnectorCreateFailed;
    using TavriApplication::onConversationDisconnected;
    using TavriApplication::onConversationParticipantAdded;
    using TavriApplication::onConversationParticipantRemoved;
    using TavriApplication::onConversationTextMessageReceived;
    using TavriApplication::onCouldNotConnectToServer;
    using TavriApplication::onEditChannelFailed;
    using TavriApplication::onExternalAppRelease;
    using TavriApplication::onFileNotFoundForPlayback;
    using TavriApplication::onInviteUsersResponses;
    using TavriApplication::onLinkShortened;
    using TavriApplication::onLocalUserNotificationReceived;
    using TavriApplication::onLocalUserPresenceStateChanged;
    using TavriApplication::onLoginStateChanged;
    using TavriApplication::onMainScreenVisibilityChanged;
    using TavriApplication::onMaximumCallsExceeded;
    using TavriApplication::onSdkError;
    using TavriApplication::onSessionRemoved;
    using TavriApplication::onVoiceDataBlocked;

    bool networkUp = true;
    // The clock of the balloon rate limit: each reading gives `now`, then
    // moves it on by `step` milliseconds.
    mutable QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    qint64 step = 0;

    void advance(qint64 msecs) { now = now.addMSecs(msecs); }

protected:
    bool systemTrayAvailable() const override { return true; }
    bool networkAvailable() const override { return networkUp; }
    QDateTime currentDateTime() const override
    {
        const QDateTime reading = now;
        now = now.addMSecs(step);
        return reading;
    }
};

namespace alertstest {

inline AlertsApplication *app()
{
    return static_cast<AlertsApplication *>(shelltest::application());
}

// The balloons shown since the last clear.
inline QList<SystemTrayIcon::Balloon> &balloons()
{
    static QList<SystemTrayIcon::Balloon> shown;
    return shown;
}

// Keeps the balloons for the test instead of showing them, for the rest of
// the process.
inline void recordBalloons()
{
    SystemTrayIcon::setBalloonHook([](const SystemTrayIcon::Balloon &balloon) { balloons().append(balloon); });
}

// Starts the program as the alert tests run it: its sounds go to the media
// fake and its balloons to balloons(). Returns the web-service fake it talks
// to (shelltest::start()).
inline FakeWebService *start()
{
    AudioCuesManager::setMediaPlayerFactory(&FakeMediaService::newPlayer);
    recordBalloons();
    return shelltest::start();
}

inline SystemTrayIcon *tray()
{
    return app()->findChild<SystemTrayIcon *>();
}

// Signs the local user in (the web service is the fixture's fake) and names
// its built-in identity, as the balloons show it.
inline bool signIn(FakeWebService *web, const QString &displayName)
{
    if (!signedin::signIn(*web))
        return false;
    LocalUser::getLocalUser()->tavriidentity()->setUname(displayName);
    return true;
}

} // namespace alertstest

#define TAVRI_ALERTS_TEST_MAIN(TestObject, applicationId)                                                              \
    TAVRI_SHELL_TEST_MAIN_WITH(AlertsApplication, TestObject, applicationId)
