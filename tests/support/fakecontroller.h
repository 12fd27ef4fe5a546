#pragma once

// FakeController: the external application at the other end of a realm's
// two pipes, for tests.
//
// It listens on its own output pipe (an absolute socket path in the test's
// temporary folder) for the realm's connection, reads the frames the realm
// writes there, and sends requests to the realm's input pipe, one connection
// each, the way a real controlling application does. Everything runs on the
// test's thread and event loop: the realm serves a request only while the
// loop runs, so send() spins the loop until the status arrives or the realm
// closes the connection.

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class FakeController : public QObject
{
    Q_OBJECT
public:
    // A request payload, built field by field as the wire wants it.
    class Payload
    {
    public:
        explicit Payload(qint32 type) { int32(type); }
        Payload &int32(qint32 value);
        Payload &byte(quint8 value);
        // The bytes and one 0x00.
        Payload &string(const QByteArray &utf8);
        // The bytes as they are, without a terminator.
        Payload &raw(const QByteArray &bytes);
        QByteArray bytes() const { return m_bytes; }
        // The payload with its 4-byte length in front.
        QByteArray frame() const { return FakeController::frame(m_bytes); }

    private:
        QByteArray m_bytes;
    };

    // One frame the realm wrote, taken apart as far as every frame goes; the
    // reader takes the type's own fields.
    struct Frame {
        qint32 length = 0;
        qint32 messageType = 0;
        qint32 reserved = 0;
        qint32 type = 0;
        QByteArray body;   // the whole body
        int position = 12; // the reader's place in body

        qint32 int32();
        qint16 int16();
        quint8 byte();
        QString string();
        QString wideString();
        QStringList strings(int count);
        bool atEnd() const { return position == body.size(); }
    };

    // name tells the controller's pipes apart: the output pipe is
    // "<temp>/<name>-out", the input pipe name "<name>-in".
    explicit FakeController(const QString &name, QObject *parent = nullptr);
    ~FakeController() override;

    QString outputPipeName() const { return m_outputPath; }
    QString inputPipeName() const { return m_inputName; }

    // Accepts the realm's connection to the output pipe.
    bool waitForRealm(int timeoutMs = 5000);
    int connectionCount() const { return m_connectionCount; }

    // Sends a whole frame on a new input connection and returns the realm's
    // status; nothing when the realm closed the connection without one, or
    // the connection could not be made.
    std::optional<qint32> send(const QByteArray &frame, int timeoutMs = 10000);
    std::optional<qint32> send(const Payload &payload) { return send(payload.frame()); }
    static QByteArray frame(const QByteArray &payload);

    // Waits until at least count frames have arrived since the last take.
    bool waitForFrames(int count, int timeoutMs = 5000);
    // The frames that arrived, in order; taking them clears the list.
    QList<Frame> takeFrames();
    int frameCount() const { return m_frames.size(); }

    // Waits for the next frame of a message type (1 response, 2 event) and
    // type, and takes it out; frames of other kinds stay for later.
    std::optional<Frame> next(qint32 messageType, qint32 type, int timeoutMs = 5000);
    // Asks for the conversation list and waits for its response, which the
    // realm sends last: the frames that came before it, taken out. Empty
    // when the marker was not answered.
    QList<Frame> takeUpToMarker();

    // The application ends: its side of the output pipe closes.
    void closeOutput();

private:
    void onNewConnection();
    void onReadyRead();

    QString m_outputPath;
    QString m_inputName;
    QLocalServer m_server;
    QPointer<QLocalSocket> m_realm;
    QByteArray m_buffer;
    QList<Frame> m_frames;
    int m_connectionCount = 0;
};
