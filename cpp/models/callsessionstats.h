#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>

#include "ostrelsdk.h"

class CallSessionStat;

// CallSessionStats: the call statistics samples of the channel session group,
// newest last, for the diagnostics window, the post-call survey and issue
// reports. Keeps the newest 240 samples and exposes each sample's 40 values
// as roles 1156 (startTime) to 1195 (utcEndTime).
//
// One instance, owned by the application object; samples arrive on the main
// thread from VoiceManager::sessionStatReceived and are owned by the model.
// Emits voiceDataBlocked() for every new sample from the fourth on while no
// sample of the model's life has shown received voice with a latency value.
class CallSessionStats : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        StartTimeRole = 1156,
        UtcEndTimeRole = 1195,
    };

    // The number of samples kept.
    static constexpr int maximumSamples = 240;

    explicit CallSessionStats(QObject *parent = nullptr);
    ~CallSessionStats() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE int count() const { return rowCount(); }
    // The sample's values keyed by role name, or by short key when
    // showFullNames is false; a row out of range gives invalid values.
    Q_INVOKABLE QVariantMap get(int row, bool showFullNames = true) const;
    Q_INVOKABLE QVariantMap getLast(bool showFullNames = true) const;
    Q_INVOKABLE void clear();

    // The short key of a role ("start" ... "utc_end"); empty for other roles.
    static QString shortKey(int role);

signals:
    void voiceDataBlocked();

public slots:
    void onSessionStatReceived(CallSessionStat *stat);
    void onSessionStatsReceived(ox_resp_sessiongroup_get_stats_t *stat);

private:
    QList<CallSessionStat *> m_samples;
    QHash<int, QByteArray> m_roleNames;
    bool m_voiceDataSeen = false;
};
