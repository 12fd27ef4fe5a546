#pragma once

// FakeWebService: an in-process stand-in for the web service, for tests.
//
// Listens on 127.0.0.1 with a port chosen by the system, records every request
// it receives and answers each one from a script: a FIFO of answers per method,
// then a sticky default, else an ERR answer that is also listed in
// unexpected(). Runs in the thread that created it, on that thread's event loop,
// so tests wait with QSignalSpy::wait or QTRY_*.
//
// Requests to the API endpoint are scripted by their "method" field; the
// link-shortener post has no method and is scripted as ShortLinkMethod.
// LogEvent has the default answer {} and is left out of requests() unless asked
// for, because logins and ERR answers queue analytics at moments a test does not
// control.

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QQueue>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

class FakeWebService : public QObject
{
    Q_OBJECT
public:
    struct Request {
        QString path;                            // "gateway.php" or "shorturl_ajax.php"
        QByteArray body, userAgent, contentType; // raw, as received
        QList<QPair<QString, QString>> fields;   // decoded, wire order
        // How many answers the fake had written when this request arrived:
        // shows the order of requests and answers without timing them.
        int answersWrittenBefore = 0;

        QString method() const;
        QString value(const QString &key) const; // the last value of key, or empty
        bool has(const QString &key) const;
    };

    static const QString ShortLinkMethod; // "shorturl_ajax.php"
    // The marker that webtest::settle sends; answered {} and, like LogEvent,
    // left out of requests() unless asked for.
    static const QString SettleMarkerMethod; // "TestSettleMarker"

    explicit FakeWebService(QObject *parent = nullptr);
    ~FakeWebService() override;

    QString apiUrl() const; // http://127.0.0.1:<port>/gateway.php
    QString host() const;   // 127.0.0.1:<port>, the short-link host
    quint16 port() const;

    // One answer each, in the order given; a delay holds the answer back.
    void reply(const QString &method, const QJsonValue &json, int delayMs = 0);
    void replyRaw(const QString &method, const QByteArray &body, int httpStatus = 200, int delayMs = 0);
    // Answers body compressed, with "Content-Encoding: deflate".
    void replyDeflated(const QString &method, const QByteArray &body);
    // Closes the connection without an answer: a network error. The
    // client's network layer sends such a request once more on a new
    // connection; that re-send is closed too and not recorded.
    void drop(const QString &method);
    void hang(const QString &method); // never answers
    // Answers every request for method once its FIFO is empty.
    void setDefault(const QString &method, const QJsonValue &json);
    // Sticky answers for the calls that follow every accepted login, with
    // ownUserRecord as the answer to the own-record lookup.
    void setSignInDefaults(const QJsonObject &ownUserRecord = unknownUser());
    // The service's answers to a lookup of a user or a channel it has no
    // record of; the client passes nothing on for them.
    static QJsonObject unknownUser();    // {"UserLiveURI": null}
    static QJsonObject unknownChannel(); // {"ChannelLiveURI": null}
    // Sticky answers to the user and channel lookups (by URI or id) that
    // realms, users and conversations send as they are made: no record, as
    // for users and channels the service does not know. A test that needs a
    // record scripts it with reply().
    void setLookupDefaults();

    QList<Request> requests(bool withLogEvents = false) const;
    QList<Request> requestsFor(const QString &method) const;
    QStringList unexpected() const;
    // True once a request for method has arrived that no earlier call of
    // waitForRequest for the same method has returned for, so that successive
    // calls wait for successive requests.
    bool waitForRequest(const QString &method, int timeoutMs = 5000);
    // Requests held open by hang() whose connection is still open.
    int hangingCount() const;
    // Forgets requests, scripts, defaults (but LogEvent's and the settle
    // marker's) and unexpected methods, and ends the requests not answered
    // yet; an answer already written still reaches the client.
    void clear();

    // Splits an urlencoded body: on '&', skipping empty pairs, at the first
    // '=', percent-decoding both sides; '+' stays a plus.
    static QList<QPair<QString, QString>> parseForm(const QByteArray &body);
    // Writes a JSON value, bare values included, as compact JSON text.
    static QByteArray toJsonText(const QJsonValue &json);

signals:
    void requestReceived(const FakeWebService::Request &request);

private:
    enum class Action { Answer, Drop, Hang };
    struct Scripted {
        Action action = Action::Answer;
        QByteArray body;
        int status = 200;
        int delayMs = 0;
        QByteArray contentEncoding;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void handle(QTcpSocket *socket, Request request);
    void answer(QTcpSocket *socket, const Scripted &scripted);
    void enqueue(const QString &method, const Scripted &scripted);

    QTcpServer *m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QPointer<QTcpSocket>> m_sockets;
    QHash<QString, QQueue<Scripted>> m_scripts;
    QHash<QString, QJsonValue> m_defaults;
    QList<Request> m_requests;
    // Path and body of each dropped request whose re-send is still to come.
    QList<QByteArray> m_droppedRequests;
    QStringList m_unexpected;
    QHash<QString, int> m_waitCursor;
    int m_answersWritten = 0;
};

Q_DECLARE_METATYPE(FakeWebService::Request)
