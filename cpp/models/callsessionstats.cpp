#include "callsessionstats.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include "callsessionstat.h"

namespace {

// Role names and short keys, in role order from StartTimeRole.
const char *const kRoles[][2] = {
    {"startTime", "start"},
    {"currentBars", "cb"},
    {"packetsReceived", "pr"},
    {"packetsLost", "pl"},
    {"packetsLate", "pt"},
    {"packetsDiscarded", "pd"},
    {"packetsSent", "ps"},
    {"renderUnderruns", "rdu"},
    {"renderOverruns", "rdo"},
    {"renderErrors", "rde"},
    {"callId", "cid"},
    {"packetLossConcealment", "plc"},
    {"synthenticFrames", "plc_sf"},
    {"codecName", "codec"},
    {"codecMode", "cm"},
    {"minLatency", "nl"},
    {"maxLatency", "ml"},
    {"latencyCount", "lc"},
    {"latencySum", "ls"},
    {"lastLatencyMeasured", "llm"},
    {"latencyPacketsLost", "ll"},
    {"rFactor", "rf"},
    {"latencyPacketsSent", "lo"},
    {"latencyPacketsDropped", "ld"},
    {"latencyPacketsMalformed", "lmf"},
    {"latencyPacketsNegative", "ln"},
    {"endTime", "end"},
    {"volumeAdjust", "va"},
    {"speakerAdjust", "sa"},
    {"transmitMode", "txm"},
    {"vadNoiseFloor", "vf"},
    {"vadSensitivity", "vs"},
    {"vadHangoverSecs", "vh"},
    {"isGlobalMuted", "gm"},
    {"isAudioEnabled", "ae"},
    {"transmittingUri", "txu"},
    {"captureDevice", "ccd"},
    {"renderDevice", "crd"},
    {"utcStartTime", "utc_start"},
    {"utcEndTime", "utc_end"},
};
constexpr int kRoleCount = int(sizeof kRoles / sizeof kRoles[0]);
static_assert(kRoleCount == CallSessionStats::UtcEndTimeRole - CallSessionStats::StartTimeRole + 1,
              "one name per statistics role");

// Serialises trimming and the voice-data check.
QMutex &appendMutex()
{
    static QMutex *mutex = new QMutex;
    return *mutex;
}

bool showsVoiceData(const CallSessionStat *stat)
{
    if (stat->value("packetsReceived").toInt() <= 0)
        return false;
    return stat->value("minLatency").toFloat() != -1.0f || stat->value("maxLatency").toFloat() != -1.0f
           || stat->value("latencySum").toFloat() > 0.0f;
}

} // namespace

CallSessionStats::CallSessionStats(QObject *parent)
    : QAbstractListModel(parent)
{
    for (int i = 0; i < kRoleCount; ++i)
        m_roleNames.insert(StartTimeRole + i, QByteArray(kRoles[i][0]));
}

CallSessionStats::~CallSessionStats()
{
    qDebug() << "~CallSessionStats() starting...";
    clear();
    qDebug() << "~CallSessionStats() exiting...";
}

QString CallSessionStats::shortKey(int role)
{
    if (role < StartTimeRole || role > UtcEndTimeRole)
        return QString();
    return QString::fromLatin1(kRoles[role - StartTimeRole][1]);
}

int CallSessionStats::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_samples.size();
}

QVariant CallSessionStats::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_samples.size())
        return QVariant();
    const auto name = m_roleNames.constFind(role);
    if (name == m_roleNames.constEnd())
        return QVariant();
    return m_samples.at(index.row())->value(name->constData());
}

QHash<int, QByteArray> CallSessionStats::roleNames() const
{
    return m_roleNames;
}

QVariantMap CallSessionStats::get(int row, bool showFullNames) const
{
    QVariantMap values;
    for (int role = StartTimeRole; role <= UtcEndTimeRole; ++role) {
        const auto name = m_roleNames.constFind(role);
        if (name == m_roleNames.constEnd())
            continue;
        const QString key = showFullNames ? QString::fromLatin1(*name) : shortKey(role);
        values.insert(key, data(index(row), role));
    }
    return values;
}

QVariantMap CallSessionStats::getLast(bool showFullNames) const
{
    return get(count() - 1, showFullNames);
}

void CallSessionStats::clear()
{
    if (m_samples.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_samples.size() - 1);
    const QList<CallSessionStat *> samples = m_samples;
    m_samples.clear();
    endRemoveRows();
    qDeleteAll(samples);
}

void CallSessionStats::onSessionStatsReceived(ox_resp_sessiongroup_get_stats_t *stat)
{
    onSessionStatReceived(new CallSessionStat(stat, this));
}

void CallSessionStats::onSessionStatReceived(CallSessionStat *stat)
{
    qDebug() << "CallSessionStats::onSessionStatReceived - Thread" << QThread::currentThreadId();
    if (!stat)
        return;
    stat->setParent(this);
    beginInsertRows(QModelIndex(), m_samples.size(), m_samples.size());
    m_samples.append(stat);
    endInsertRows();

    bool blocked = false;
    {
        QMutexLocker locker(&appendMutex());
        if (m_samples.size() > maximumSamples) {
            beginRemoveRows(QModelIndex(), 0, m_samples.size() - maximumSamples - 1);
            QList<CallSessionStat *> dropped;
            while (m_samples.size() > maximumSamples)
                dropped.append(m_samples.takeFirst());
            endRemoveRows();
            qDeleteAll(dropped);
            return;
        }
        if (!m_voiceDataSeen && m_samples.size() > 3) {
            blocked = true;
            for (const CallSessionStat *sample : qAsConst(m_samples)) {
                if (showsVoiceData(sample)) {
                    m_voiceDataSeen = true;
                    blocked = false;
                    break;
                }
            }
        }
    }
    // Emitted outside the lock, so that a receiver may append in turn.
    if (blocked)
        emit voiceDataBlocked();
}
