#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include "ostrelsdk.h"

// CallSessionStat: one sample of the channel session group's call statistics,
// as the voice SDK reported it, together with the local audio settings at the
// time it arrived. Never changes after construction.
//
// Created on the main thread by the voice service's response dispatch (or by
// CallSessionStats from a raw record) and owned by the statistics model.
class CallSessionStat : public QObject
{
    Q_OBJECT

public:
    // Copies the record; the SDK frees the response after dispatch, so the
    // copy keeps no text pointers of its own.
    explicit CallSessionStat(const ox_resp_sessiongroup_get_stats_t *stats, QObject *parent = nullptr);

    // The value of the statistics role with this name (as the statistics
    // model names its roles); any other name reads the dynamic property.
    QVariant value(const char *roleName) const;

    QDateTime creationTime() const { return m_creationTime; }
    QString callId() const { return m_callId; }

    // An SDK time (seconds since 1601-01-01) as a date and time; invalid for
    // a time that is not a number, negative or beyond the representable range.
    static QDateTime fromSdkTime(double seconds);

private:
    QDateTime startTime() const;
    QDateTime endTime() const;
    qint64 utcTime(double seconds) const;

    ox_call_stats_t m_stats{};
    QString m_callId;
    QString m_codecName;
    QDateTime m_creationTime;
    int m_volumeAdjust = 0;
    int m_speakerAdjust = 0;
    int m_transmitMode = 0;
    int m_vadNoiseFloor = 0;
    int m_vadSensitivity = 0;
    int m_vadHangoverSecs = 0;
    bool m_globalMuted = false;
    bool m_audioEnabled = false;
    QString m_transmittingUri;
    QString m_captureDevice;
    QString m_renderDevice;
};
