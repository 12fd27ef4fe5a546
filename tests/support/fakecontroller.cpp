#include "fakecontroller.h"

#include "localpipe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTest>
#include <QtEndian>

namespace {

template <typename T>
T readLittleEndian(const QByteArray &bytes, int &position)
{
    if (position + int(sizeof(T)) > bytes.size()) {
        position = bytes.size() + 1; // past the end: atEnd() stays false
        return T(0);
    }
    const T value = qFromLittleEndian<T>(bytes.constData() + position);
    position += int(sizeof(T));
    return value;
}

template <typename Condition>
bool spinUntil(Condition condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(1);
    }
    return true;
}

} // namespace

FakeController::Payload &FakeController::Payload::int32(qint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    m_bytes.append(raw, 4);
    return *this;
}

FakeController::Payload &FakeController::Payload::byte(quint8 value)
{
    m_bytes.append(char(value));
    return *this;
}

FakeController::Payload &FakeController::Payload::string(const QByteArray &utf8)
{
    m_bytes.append(utf8);
    m_bytes.append('\0');
    return *this;
}

FakeController::Payload &FakeController::Payload::raw(const QByteArray &bytes)
{
    m_bytes.append(bytes);
    return *this;
}

qint32 FakeController::Frame::int32()
{
    return readLittleEndian<qint32>(body, position);
}

qint16 FakeController::Frame::int16()
{
    return readLittleEndian<qint16>(body, position);
}

quint8 FakeController::Frame::byte()
{
    return readLittleEndian<quint8>(body, position);
}

QString FakeController::Frame::string()
{
    const int end = body.indexOf('\0', position);
    if (position > body.size() || end < 0) {
        position = body.size() + 1;
        return QString();
    }
    const QString text = QString::fromUtf8(body.mid(position, end - position));
    position = end + 1;
    return text;
}

QString FakeController::Frame::wideString()
{
    QString text;
    for (;;) {
        if (position + 2 > body.size()) {
            position = body.size() + 1;
            return text;
        }
        const quint16 unit = readLittleEndian<quint16>(body, position);
        if (unit == 0)
            return text;
        text.append(QChar(unit));
    }
}

QStringList FakeController::Frame::strings(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(string());
    return list;
}

FakeController::FakeController(const QString &name, QObject *parent)
    : QObject(parent)
    , m_outputPath(QDir(QDir::tempPath()).filePath(name + QStringLiteral("-out")))
    , m_inputName(name + QStringLiteral("-in"))
{
    QLocalServer::removeServer(m_outputPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_outputPath);
    connect(&m_server, &QLocalServer::newConnection, this, &FakeController::onNewConnection);
}

FakeController::~FakeController()
{
    if (m_realm)
        m_realm->disconnect(this);
}

void FakeController::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        ++m_connectionCount;
        if (m_realm) {
            // Only the first connection is the realm's output.
            socket->setParent(this);
            continue;
        }
        m_realm = socket;
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, &FakeController::onReadyRead);
        onReadyRead();
    }
}

bool FakeController::waitForRealm(int timeoutMs)
{
    return spinUntil([this] { return !m_realm.isNull(); }, timeoutMs);
}

void FakeController::onReadyRead()
{
    if (!m_realm)
        return;
    m_buffer.append(m_realm->readAll());
    for (;;) {
        if (m_buffer.size() < 4)
            return;
        const qint32 length = qFromLittleEndian<qint32>(m_buffer.constData());
        if (m_buffer.size() < 4 + length)
            return;
        Frame frame;
        frame.length = length;
        frame.body = m_buffer.mid(4, length);
        int position = 0;
        frame.messageType = readLittleEndian<qint32>(frame.body, position);
        frame.reserved = readLittleEndian<qint32>(frame.body, position);
        frame.type = readLittleEndian<qint32>(frame.body, position);
        m_frames.append(frame);
        m_buffer.remove(0, 4 + length);
    }
}

std::optional<qint32> FakeController::send(const QByteArray &frame, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(host::LocalPipe::inputSocketPath(m_inputName));
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    socket.write(frame);
    socket.flush();
    QByteArray status;
    spinUntil(
        [&] {
            status.append(socket.readAll());
            return status.size() >= 4 || socket.state() != QLocalSocket::ConnectedState;
        },
        timeoutMs);
    status.append(socket.readAll());
    if (status.size() < 4)
        return std::nullopt;
    return qFromLittleEndian<qint32>(status.constData());
}

QByteArray FakeController::frame(const QByteArray &payload)
{
    char raw[4];
    qToLittleEndian<quint32>(quint32(payload.size()), raw);
    return QByteArray(raw, 4) + payload;
}

bool FakeController::waitForFrames(int count, int timeoutMs)
{
    return spinUntil([&] { return m_frames.size() >= count; }, timeoutMs);
}

QList<FakeController::Frame> FakeController::takeFrames()
{
    QList<Frame> frames = m_frames;
    m_frames.clear();
    return frames;
}

std::optional<FakeController::Frame> FakeController::next(qint32 messageType, qint32 type, int timeoutMs)
{
    std::optional<Frame> found;
    spinUntil(
        [&] {
            for (int i = 0; i < m_frames.size(); ++i) {
                if (m_frames.at(i).messageType == messageType && m_frames.at(i).type == type) {
                    found = m_frames.takeAt(i);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QList<FakeController::Frame> FakeController::takeUpToMarker()
{
    // A conversation list request (9) is answered at once by a conversation
    // list response (7).
    const int before = m_frames.size();
    if (send(Payload(9)) != 0 || !waitForFrames(before + 1))
        return {};
    QList<Frame> frames;
    for (;;) {
        if (!waitForFrames(1))
            return {};
        const Frame frame = m_frames.takeFirst();
        if (frame.messageType == 1 && frame.type == 7)
            return frames;
        frames.append(frame);
    }
}

void FakeController::closeOutput()
{
    if (m_realm)
        m_realm->close();
}
