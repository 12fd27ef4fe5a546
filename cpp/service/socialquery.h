#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QString>
#include <QStringList>

class JsonReplyHandler;

// QSocialQuery: one web call in flight.
//
// QSocialManager::performQuery creates it for every post and owns it as a Qt
// child. It follows the network reply, logs the call with its duration (with
// secrets masked), parses the answer and hands it to the call's handler, or
// tells the handler and the optional error receiver about a network error.
// When the handler or the error receiver is deleted first, the call runs on
// and its answer is dropped. The query deletes itself once the reply has
// finished. Main thread only.
class QSocialQuery : public QObject
{
    Q_OBJECT
public:
    QSocialQuery(const QString &method, const QString &requestData, JsonReplyHandler *handler, QNetworkReply *reply,
                 QObject *errorReceiver, const char *errorSlot, QObject *parent = nullptr);
    ~QSocialQuery() override;

    QString method() const { return m_method; }
    // A quiet query writes no log line of its own: for repeated sends whose
    // sender sums up their outcome itself.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool isAborted() const { return m_aborted; }

    // Replies larger than this (after decompression) are refused: the
    // request fails with OperationCanceledError.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;
    // Replies slower than this are logged as warnings.
    static constexpr qint64 kLongReplyMs = 500;
    // Log level of a reply that took `elapsedMs`.
    static QtMsgType replyLogLevel(qint64 elapsedMs);
    // The copy of a request body or a reply that goes to the log: every form
    // field or JSON member whose key contains "password" or "token" (in any
    // case), the realm user token "utok" and the session keys "sid", "rsid"
    // and "vat", get the value <hidden>; JSON "UserEmail" entries are removed;
    // of a very long text only the start is masked and kept.
    static QString maskForLog(const QString &text);
    // Parses a reply body as the handlers receive it (see JsonReplyHandler).
    static QJsonDocument parseReply(const QString &method, const QString &body);

signals:
    void sslErrors(const QStringList &errorMessages);
    void error(QNetworkReply::NetworkError errorCode);

public slots:
    void networkRequestFinished();
    void onSslErrors(const QList<QSslError> &errors);
    void onError(QNetworkReply::NetworkError errorCode);

protected slots:
    void onReceiverDestroyed();

private slots:
    void onReplyReadyRead();

private:
    void disconnectErrorReceiver();

    QPointer<QObject> m_errorReceiver;
    const char *m_errorSlot;
    QString m_method;
    QPointer<JsonReplyHandler> m_handler;
    QPointer<QNetworkReply> m_reply;
    QString m_requestData;
    QElapsedTimer m_elapsed;
    bool m_aborted = false;
    bool m_quiet = false;
    bool m_refused = false;
};
