#include "socialquery.h"

#include "jsonreplyhandler.h"
#include "logcategories.h"
#include "socialmanager.h"

#include <QJsonParseError>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace {

// Logged replies and bodies longer than this are cut, so that one large answer
// cannot flood the log file.
constexpr int kMaxLoggedCharacters = 64 * 1024;

bool isSecretKey(const QString &key)
{
    return key.contains(QLatin1String("password"), Qt::CaseInsensitive)
           || key.contains(QLatin1String("token"), Qt::CaseInsensitive)
           || key.compare(QLatin1String("sid"), Qt::CaseInsensitive) == 0
           || key.compare(QLatin1String("rsid"), Qt::CaseInsensitive) == 0
           || key.compare(QLatin1String("vat"), Qt::CaseInsensitive) == 0
           || key.compare(QLatin1String("utok"), Qt::CaseInsensitive) == 0;
}

const QString kHidden = QStringLiteral("<hidden>");

// Removes every "UserEmail" member of a JSON text: from the key's opening
// quote up to the next quote that is directly followed by a comma, or, when
// there is none, everything from the key on.
QString removeUserEmail(QString text)
{
    const QString key = QStringLiteral("\"UserEmail\"");
    int index;
    while ((index = text.indexOf(key, 0, Qt::CaseInsensitive)) > 0) {
        const int end = text.indexOf(QLatin1String("\","), index + key.size());
        if (end >= 0)
            text.remove(index, end + 2 - index);
        else
            text.truncate(index);
    }
    return text;
}

// Masks the values of secret fields in a form body ("&key=value").
QString maskFormFields(const QString &text)
{
    static const QRegularExpression field(QStringLiteral("(^|&)([^&=]*)=([^&]*)"));
    QString result;
    int last = 0;
    auto it = field.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        if (!isSecretKey(match.captured(2)))
            continue;
        result += text.midRef(last, match.capturedStart(3) - last);
        result += kHidden;
        last = match.capturedEnd(3);
    }
    result += text.midRef(last);
    return result;
}

// Masks the values of secret members in a JSON text ("key": value).
QString maskJsonMembers(const QString &text)
{
    static const QRegularExpression member(
        QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\"\\s*:\\s*(\"(?:[^\"\\\\]|\\\\.)*\"|[^,}\\]\\s]*)"));
    QString result;
    int last = 0;
    auto it = member.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        if (!isSecretKey(match.captured(1)))
            continue;
        result += text.midRef(last, match.capturedStart(2) - last);
        result += QLatin1Char('"') + kHidden + QLatin1Char('"');
        last = match.capturedEnd(2);
    }
    result += text.midRef(last);
    return result;
}

} // namespace

QSocialQuery::QSocialQuery(const QString &method, const QString &requestData, JsonReplyHandler *handler,
                           QNetworkReply *reply, QObject *errorReceiver, const char *errorSlot, QObject *parent)
    : QObject(parent)
    , m_errorReceiver(errorReceiver)
    , m_errorSlot(errorSlot)
    , m_method(method)
    , m_handler(handler)
    , m_reply(reply)
    , m_requestData(requestData)
{
    m_elapsed.start();
    if (handler)
        connect(handler, &QObject::destroyed, this, &QSocialQuery::onReceiverDestroyed);
    if (errorReceiver)
        connect(errorReceiver, &QObject::destroyed, this, &QSocialQuery::onReceiverDestroyed);
    // A reply that disappears under the query (its network manager was
    // deleted) leaves nothing to wait for.
    if (reply)
        connect(reply, &QObject::destroyed, this, &QObject::deleteLater);
}

QSocialQuery::~QSocialQuery()
{
    if (!m_reply)
        return;
    disconnect(m_reply, nullptr, this, nullptr);
    if (!m_reply->isFinished()) {
        m_reply->close();
        delete m_reply;
    } else {
        // Finished replies belong to the network manager until deleted;
        // without this every call of a long run would stay in memory.
        m_reply->deleteLater();
    }
}

QtMsgType QSocialQuery::replyLogLevel(qint64 elapsedMs)
{
    return elapsedMs > kLongReplyMs ? QtWarningMsg : QtDebugMsg;
}

QString QSocialQuery::maskForLog(const QString &text)
{
    QString masked = maskJsonMembers(maskFormFields(removeUserEmail(text)));
    if (masked.size() > kMaxLoggedCharacters) {
        const int total = masked.size();
        masked.truncate(kMaxLoggedCharacters);
        masked += QStringLiteral("... [cut, %1 characters in all]").arg(total);
    }
    return masked;
}

QJsonDocument QSocialQuery::parseReply(const QString &method, const QString &body)
{
    QString text = body;
    if (method == QLatin1String("requestParticipantCount")) {
        text.remove(QStringLiteral("<reply>"));
        text.remove(QStringLiteral("</reply>"));
    }
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error == QJsonParseError::NoError)
        return document;
    // Qt only accepts an object or an array at the top; a bare number, text or
    // truth value is handed on as {"result": value}.
    if (!text.isEmpty() && error.error == QJsonParseError::IllegalValue) {
        text = QStringLiteral("{\"result\":") + text + QLatin1Char('}');
        document = QJsonDocument::fromJson(text.toUtf8(), &error);
        if (error.error == QJsonParseError::NoError)
            return document;
    }
    qCDebug(ssint).noquote() << "QSocialQuery::networkRequestFinished"
                             << "Problem parsing response..." << error.error << error.errorString() << error.offset
                             << maskForLog(text);
    return QJsonDocument();
}

void QSocialQuery::disconnectErrorReceiver()
{
    if (m_errorReceiver && m_reply && m_errorSlot)
        disconnect(m_reply, SIGNAL(errorOccurred(QNetworkReply::NetworkError)), m_errorReceiver, m_errorSlot);
    m_errorReceiver = nullptr;
    m_errorSlot = nullptr;
}

void QSocialQuery::networkRequestFinished()
{
    if (m_reply) {
        disconnect(m_reply, &QNetworkReply::finished, this, &QSocialQuery::networkRequestFinished);
        disconnect(m_reply, &QNetworkReply::sslErrors, this, &QSocialQuery::onSslErrors);
        disconnect(m_reply, &QNetworkReply::errorOccurred, this, &QSocialQuery::onError);
    }
    if (QSocialManager *manager = QSocialManager::getInstance())
        disconnect(this, &QSocialQuery::sslErrors, manager, nullptr);
    disconnectErrorReceiver();

    const qint64 elapsed = m_elapsed.elapsed();

    if (m_aborted || !m_handler || !m_reply || !m_reply->isFinished()) {
        qCCritical(ssint).noquote() << "networkRequestFinished - Aborted :type" << m_method << ":duration" << elapsed
                                    << "ms"
                                    << ":requestData" << m_requestData << ": end";
        deleteLater();
        return;
    }

    const QNetworkReply::NetworkError code = m_reply->error();
    if (code != QNetworkReply::NoError) {
        if (!m_quiet)
            qCCritical(ssint).noquote() << "networkRequestFinished - Errored :type" << m_method << ":duration"
                                        << elapsed << "ms"
                                        << ":requestData" << m_requestData << ":ERROR" << m_reply->errorString()
                                        << ":CODE"
                                        << m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toString();
        emit error(code);
        deleteLater();
        return;
    }

    const QString body = QString::fromUtf8(m_reply->readAll());
    const QString logged = maskForLog(body);
    if (replyLogLevel(elapsed) == QtWarningMsg) {
        qCWarning(ssint).noquote() << "networkRequestFinished - Long :type" << m_method << ":duration" << elapsed
                                   << "ms"
                                   << ":requestData" << m_requestData << ":responsData" << logged;
    } else if (!m_quiet) {
        qCDebug(ssint).noquote() << "networkRequestFinished :type" << m_method << ":duration" << elapsed << "ms"
                                 << ":requestData" << m_requestData << ":responsData" << logged;
    }

    const QJsonDocument document = parseReply(m_method, body);
    // The handler may delete itself while handling; keep our own pointer.
    JsonReplyHandler *handler = m_handler;
    deleteLater();
    handler->handleReply(m_method, document);
}

void QSocialQuery::onSslErrors(const QList<QSslError> &errors)
{
    const QString url = m_reply ? m_reply->url().toString() : QString();
    qCDebug(ssint).noquote() << QStringLiteral("SSL Errors loading '%1':").arg(url);
    QStringList messages;
    for (const QSslError &sslError : errors) {
        qCDebug(ssint).noquote() << "  SSL Error: " << sslError.errorString();
        messages << sslError.errorString();
    }
    const QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    qCDebug(ssint) << "SSL configuration:"
                   << "protocol" << config.protocol();
    const QList<QPair<const char *, QSsl::SslOption>> options = {
        {"DisableEmptyFragments:", QSsl::SslOptionDisableEmptyFragments},
        {"DisableSessionTickets:", QSsl::SslOptionDisableSessionTickets},
        {"DisableCompression:", QSsl::SslOptionDisableCompression},
        {"DisableServerNameIndication:", QSsl::SslOptionDisableServerNameIndication},
        {"DisableLegacyRenegotiation:", QSsl::SslOptionDisableLegacyRenegotiation},
        {"DisableSessionSharing:", QSsl::SslOptionDisableSessionSharing},
        {"DisableSessionPersistence:", QSsl::SslOptionDisableSessionPersistence},
    };
    for (const auto &option : options)
        qCDebug(ssint) << option.first << config.testSslOption(option.second);
    qCDebug(ssint) << "SSL CA certificates:";
    for (const QSslCertificate &certificate : config.caCertificates())
        qCDebug(ssint).noquote() << certificate.toText();
    // The errors are not ignored: the call then fails as the network stack
    // decides and reaches the handler as a network error.
    emit sslErrors(messages);
}

void QSocialQuery::onError(QNetworkReply::NetworkError errorCode)
{
    if (!m_aborted && m_handler)
        m_handler->onError(errorCode);
    emit error(errorCode);
}

void QSocialQuery::onReceiverDestroyed()
{
    disconnectErrorReceiver();
    // The call runs on and its answer is dropped when it arrives. SSL errors
    // stay fatal: the request may carry credentials.
    m_aborted = true;
}
