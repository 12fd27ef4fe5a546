#pragma once

// Helpers for tests that drive the voice service over the SDK stand-in.

#include <QCoreApplication>
#include <QSignalSpy>
#include <QtTest>

#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "voicemanager.h"

namespace voicetest {

inline QByteArray text(const char *value)
{
    return value ? QByteArray(value) : QByteArray("<null>");
}

template <typename Record>
const Record *lastRequest(ox_request_type type)
{
    return reinterpret_cast<const Record *>(oxc_find_request(type, -1));
}

// The number of assertion reports among the captured lines.
inline int assertionReports(const LogCapture &capture)
{
    return capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure")).size();
}

// How long to wait at most for the stand-in's answers: they come from its
// own thread, which a loaded machine can hold back for seconds.
constexpr int kVoiceWaitMs = 20000;

// Creates the connector, logs `token` in and waits until the channel session
// group exists. The stand-in's account for a token is "sip:u-<token>@<domain>".
inline bool logIn(VoiceManager &voice, const QString &token)
{
    QSignalSpy ready(&voice, &VoiceManager::readyToJoinChannels);
    voice.createConnector();
    voice.requestLogin(token, QString());
    if (!ready.wait(kVoiceWaitMs) && ready.isEmpty())
        return false;
    return !voice.accountHandle().isEmpty() && !voice.channelSessionGroupHandle().isEmpty();
}

// Joins the channel at uri and waits until the voice service knows the new
// session; its handle, or an empty text when the stand-in did not get there.
inline QString joinSession(VoiceManager &voice, const QString &uri)
{
    QSignalSpy added(&voice, &VoiceManager::sessionAdded);
    voice.requestJoinChannel(uri, QString(), false);
    if (!added.wait(kVoiceWaitMs) && added.isEmpty())
        return QString();
    const QString handle = added.last().at(2).toString();
    if (!QTest::qWaitFor([&] { return voice.knownSessions().contains(handle); }, kVoiceWaitMs))
        return QString();
    return handle;
}

// Dispatches everything the stand-in has queued so far.
inline void drain()
{
    if (oxc_wait_idle(kVoiceWaitMs) != 0)
        QTest::qFail("the voice stand-in did not go idle", __FILE__, __LINE__);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace voicetest
