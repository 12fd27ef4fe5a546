#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLocalSocket;

// TavriSharedIdentityRealmInputReader: reads the one length-prefixed frame of
// an input-pipe connection without blocking the event loop.
//
// It waits for the 4-byte length, then reads up to `maxPayload` bytes of the
// payload; bytes that never arrive stay zero. While the length is missing it
// waits until the deadline of the whole request; while payload is missing it
// waits up to `pauseMs` for each next piece (within that deadline) and takes
// what it has once a wait fails or the peer closes. It emits done() once, when
// outcome() is no longer Pending. The connection stays open for the answer;
// the caller deletes it.
class TavriSharedIdentityRealmInputReader : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Pending, NoLength, ReadError, Frame };

    TavriSharedIdentityRealmInputReader(QLocalSocket *connection, int deadlineMs, int pauseMs, int maxPayload,
                                        QObject *parent = nullptr);

    // Starts reading; done() may come before this returns when the frame is
    // already there.
    void start();

    Outcome outcome() const { return m_outcome; }
    // The payload of a Frame, cut to the maximum, missing bytes as zero.
    QByteArray payload() const { return m_payload; }
    QLocalSocket *connection() const { return m_connection; }
    QString errorString() const { return m_errorString; }

signals:
    void done();

private:
    void advance();
    void onWaitFailed();
    // Waits for more data for up to limitMs, within the request's deadline.
    void waitForData(int limitMs);
    void finish(Outcome outcome);

    QPointer<QLocalSocket> m_connection;
    QDeadlineTimer m_deadline;
    QTimer m_wait;
    const int m_pauseMs;
    const int m_maxPayload;
    bool m_haveLength = false;
    QByteArray m_payload;
    int m_received = 0;
    Outcome m_outcome = Outcome::Pending;
    QString m_errorString;
};
