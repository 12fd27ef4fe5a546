#include "callsessionstat.h"

#include <QHash>

#include <cmath>
#include <functional>

#include "capturedevicemodel.h"
#include "localuser.h"
#include "renderdevicemodel.h"
#include "storagemanager.h"
#include "voicemanager.h"

namespace {

// Milliseconds between 1601-01-01 and 1970-01-01.
constexpr qint64 kEpochOffsetMs = Q_INT64_C(11644473600000);
// A sample's times fall back to its creation time plus this when the SDK's
// time does not convert.
constexpr qint64 kFallbackOffsetSecs = 10;

int intProperty(const QObject *object, const char *name)
{
    return object ? object->property(name).toInt() : 0;
}

// A real number as an int, truncated toward zero; 0 when it does not fit.
int truncatedToInt(double value)
{
    return (value > -2147483649.0 && value < 2147483648.0) ? static_cast<int>(value) : 0;
}

} // namespace

CallSessionStat::CallSessionStat(const ox_resp_sessiongroup_get_stats_t *stats, QObject *parent)
    : QObject(parent)
    , m_creationTime(QDateTime::currentDateTime())
{
    if (stats) {
        m_stats = stats->stats;
        m_callId = QString::fromUtf8(m_stats.call_id ? m_stats.call_id : "");
        m_codecName = QString::fromUtf8(m_stats.codec_name ? m_stats.codec_name : "");
    }
    m_stats.call_id = nullptr;
    m_stats.codec_name = nullptr;

    const LocalUser *user = LocalUser::getLocalUser();
    m_volumeAdjust = intProperty(user, "volumeAdjust");
    m_speakerAdjust = intProperty(user, "speakerVolumeAdjust");
    m_vadNoiseFloor = intProperty(user, "vadNoiseFloor");
    m_vadSensitivity = intProperty(user, "vadSensitivity");
    m_vadHangoverSecs = user ? truncatedToInt(user->property("vadHangoverSecs").toDouble()) : 0;
    m_globalMuted = user && user->property("globalMuted").toBool();
    m_audioEnabled = user && user->property("audioEnabled").toBool();
    m_transmitMode = StorageManager::getInstance()->getSettingsValue(StorageManager::SettingsKeyPttMode, 0).toInt();

    if (const VoiceManager *voice = VoiceManager::getInstance()) {
        m_transmittingUri = voice->getTransmittingChannel();
        if (voice->captureDevices())
            m_captureDevice = voice->captureDevices()->effectiveDeviceName();
        if (voice->renderDevices())
            m_renderDevice = voice->renderDevices()->effectiveDeviceName();
    }
}

QDateTime CallSessionStat::fromSdkTime(double seconds)
{
    // 100-nanosecond intervals must fit a signed 64-bit count; anything else
    // (not a number, negative, too large) has no date.
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds * 1e7 >= 9223372036854775807.0)
        return QDateTime();
    const qint64 intervals = static_cast<qint64>(seconds * 1e7);
    const qint64 msSince1601 = intervals / 10000;
    // The calendar fields of the time, taken as a local time.
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(msSince1601 - kEpochOffsetMs, Qt::UTC);
    if (!utc.isValid())
        return QDateTime();
    return QDateTime(utc.date(), utc.time(), Qt::LocalTime);
}

QDateTime CallSessionStat::startTime() const
{
    const QDateTime time = fromSdkTime(m_stats.call_start_time);
    return time.isValid() ? time : m_creationTime;
}

QDateTime CallSessionStat::endTime() const
{
    const QDateTime time = fromSdkTime(m_stats.call_end_time);
    return time.isValid() ? time : m_creationTime.addSecs(kFallbackOffsetSecs);
}

qint64 CallSessionStat::utcTime(double seconds) const
{
    const QDateTime time = fromSdkTime(seconds);
    return (time.isValid() ? time : m_creationTime.addSecs(kFallbackOffsetSecs)).toMSecsSinceEpoch();
}

QVariant CallSessionStat::value(const char *roleName) const
{
    using Reader = std::function<QVariant(const CallSessionStat &)>;
    static const QHash<QByteArray, Reader> readers = {
        {"startTime", [](const CallSessionStat &s) { return QVariant(s.startTime()); }},
        {"currentBars", [](const CallSessionStat &s) { return QVariant(s.m_stats.current_bars); }},
        {"packetsReceived", [](const CallSessionStat &s) { return QVariant(s.m_stats.packets_received); }},
        {"packetsLost", [](const CallSessionStat &s) { return QVariant(s.m_stats.packets_lost); }},
        {"packetsLate", [](const CallSessionStat &s) { return QVariant(s.m_stats.packets_late); }},
        {"packetsDiscarded", [](const CallSessionStat &s) { return QVariant(s.m_stats.packets_discarded); }},
        {"packetsSent", [](const CallSessionStat &s) { return QVariant(s.m_stats.packets_sent); }},
        {"renderUnderruns", [](const CallSessionStat &s) { return QVariant(s.m_stats.render_underruns); }},
        {"renderOverruns", [](const CallSessionStat &s) { return QVariant(s.m_stats.render_overruns); }},
        {"renderErrors", [](const CallSessionStat &s) { return QVariant(s.m_stats.render_errors); }},
        {"callId", [](const CallSessionStat &s) { return QVariant(s.m_callId); }},
        {"packetLossConcealment", [](const CallSessionStat &s) { return QVariant(s.m_stats.plc_count); }},
        {"synthenticFrames", [](const CallSessionStat &s) { return QVariant(s.m_stats.plc_synthetic_frames); }},
        {"codecName", [](const CallSessionStat &s) { return QVariant(s.m_codecName); }},
        {"codecMode", [](const CallSessionStat &s) { return QVariant(s.m_stats.codec_mode); }},
        {"minLatency", [](const CallSessionStat &s) { return QVariant(s.m_stats.min_latency); }},
        {"maxLatency", [](const CallSessionStat &s) { return QVariant(s.m_stats.max_latency); }},
        {"latencyCount", [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_count); }},
        {"latencySum", [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_sum); }},
        {"lastLatencyMeasured", [](const CallSessionStat &s) { return QVariant(s.m_stats.last_latency_measured); }},
        {"latencyPacketsLost", [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_packets_lost); }},
        {"rFactor", [](const CallSessionStat &s) { return QVariant(s.m_stats.r_factor); }},
        {"latencyPacketsSent", [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_packets_sent); }},
        {"latencyPacketsDropped", [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_packets_dropped); }},
        {"latencyPacketsMalformed",
         [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_packets_malformed); }},
        {"latencyPacketsNegative",
         [](const CallSessionStat &s) { return QVariant(s.m_stats.latency_packets_negative); }},
        {"endTime", [](const CallSessionStat &s) { return QVariant(s.endTime()); }},
        {"volumeAdjust", [](const CallSessionStat &s) { return QVariant(s.m_volumeAdjust); }},
        {"speakerAdjust", [](const CallSessionStat &s) { return QVariant(s.m_speakerAdjust); }},
        {"transmitMode", [](const CallSessionStat &s) { return QVariant(s.m_transmitMode); }},
        {"vadNoiseFloor", [](const CallSessionStat &s) { return QVariant(s.m_vadNoiseFloor); }},
        {"vadSensitivity", [](const CallSessionStat &s) { return QVariant(s.m_vadSensitivity); }},
        {"vadHangoverSecs", [](const CallSessionStat &s) { return QVariant(s.m_vadHangoverSecs); }},
        {"isGlobalMuted", [](const CallSessionStat &s) { return QVariant(s.m_globalMuted); }},
        {"isAudioEnabled", [](const CallSessionStat &s) { return QVariant(s.m_audioEnabled); }},
        {"transmittingUri", [](const CallSessionStat &s) { return QVariant(s.m_transmittingUri); }},
        {"captureDevice", [](const CallSessionStat &s) { return QVariant(s.m_captureDevice); }},
        {"renderDevice", [](const CallSessionStat &s) { return QVariant(s.m_renderDevice); }},
        {"utcStartTime", [](const CallSessionStat &s) { return QVariant(s.utcTime(s.m_stats.call_start_time)); }},
        {"utcEndTime", [](const CallSessionStat &s) { return QVariant(s.utcTime(s.m_stats.call_end_time)); }},
    };
    if (!roleName)
        return QVariant();
    const auto reader = readers.constFind(QByteArray(roleName));
    if (reader != readers.constEnd())
        return (*reader)(*this);
    return property(roleName);
}
