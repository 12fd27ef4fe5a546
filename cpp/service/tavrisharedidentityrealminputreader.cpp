#include "tavrisharedidentityrealminputreader.h"

#include <QDebug>
#include <QLocalSocket>
#include <QtEndian>

TavriSharedIdentityRealmInputReader::TavriSharedIdentityRealmInputReader(QLocalSocket *connection, int deadlineMs,
                                                                         int pauseMs, int maxPayload, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_deadline(deadlineMs)
    , m_pauseMs(pauseMs)
    , m_maxPayload(maxPayload)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &TavriSharedIdentityRealmInputReader::onWaitFailed);
}

void TavriSharedIdentityRealmInputReader::start()
{
    if (!m_connection) {
        finish(Outcome::NoLength);
        return;
    }
    connect(m_connection, &QLocalSocket::readyRead, this, &TavriSharedIdentityRealmInputReader::advance);
    // A closed connection brings no more data: a wait on it fails at once.
    connect(m_connection, &QLocalSocket::disconnected, this, &TavriSharedIdentityRealmInputReader::onWaitFailed,
            Qt::QueuedConnection);
    advance();
}

void TavriSharedIdentityRealmInputReader::advance()
{
    if (m_outcome != Outcome::Pending || !m_connection)
        return;
    if (!m_haveLength) {
        if (m_connection->bytesAvailable() < 4) {
            waitForData(int(qMin<qint64>(m_deadline.remainingTime(), INT_MAX)));
            return;
        }
        char lengthBytes[4];
        m_connection->read(lengthBytes, 4);
        const quint32 length = qFromLittleEndian<quint32>(lengthBytes);
        qDebug() << "TavriSharedIdentityRealm::onNewInputMessage"
                 << "expected size:" << length;
        m_haveLength = true;
        // Bytes that never arrive read as zero.
        m_payload = QByteArray(int(qMin<quint32>(length, quint32(m_maxPayload))), '\0');
    }
    while (m_received < m_payload.size()) {
        const qint64 got = m_connection->read(m_payload.data() + m_received, m_payload.size() - m_received);
        if (got < 0) {
            m_errorString = m_connection->errorString();
            finish(Outcome::ReadError);
            return;
        }
        if (got == 0)
            break;
        m_received += int(got);
    }
    if (m_received >= m_payload.size()) {
        finish(Outcome::Frame);
        return;
    }
    waitForData(m_pauseMs);
}

void TavriSharedIdentityRealmInputReader::waitForData(int limitMs)
{
    if (!m_connection || m_connection->state() != QLocalSocket::ConnectedState || m_deadline.hasExpired()) {
        onWaitFailed();
        return;
    }
    m_wait.start(int(qMin<qint64>(limitMs, m_deadline.remainingTime())));
}

void TavriSharedIdentityRealmInputReader::onWaitFailed()
{
    if (m_outcome != Outcome::Pending)
        return;
    if (!m_haveLength) {
        if (m_connection && m_connection->bytesAvailable() >= 4) {
            advance();
            return;
        }
        finish(Outcome::NoLength);
        return;
    }
    // What came with the close still counts; the rest stays zero.
    if (m_connection) {
        const qint64 got = m_connection->read(m_payload.data() + m_received, m_payload.size() - m_received);
        if (got > 0)
            m_received += int(got);
    }
    finish(Outcome::Frame);
}

void TavriSharedIdentityRealmInputReader::finish(Outcome outcome)
{
    m_outcome = outcome;
    m_wait.stop();
    if (m_connection)
        disconnect(m_connection, nullptr, this, nullptr);
    emit done();
}
