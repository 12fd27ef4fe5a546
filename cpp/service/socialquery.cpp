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
// there is none, everything from the key on. The text is searched again from
// its start after each removal, so a key that a removal joins together is
// removed too; a key at the very start ends the search. Linear: the part
// already kept holds no key, so only a key across its end needs a new look.
QString removeUserEmail(const QString &text)
{
    static const QString key = QStringLiteral("\"UserEmail\"");
    const int keySize = key.size();
    QString kept;
    kept.reserve(text.size());
    int pos = 0;
    for (;;) {
        // A key that begins in the kept part and ends in the rest.
        int joined = 0;
        const int tail = qMin(keySize - 1, kept.size());
        if (tail > 0) {
            const QString window = kept.right(tail) + text.midRef(pos, keySize - 1);
            const int at = window.indexOf(key, 0, Qt::CaseInsensitive);
            if (at >= 0 && at < tail)
                joined = tail - at;
        }
        int keyEnd;
        int keptBefore; // kept characters that stay in front of the key
        if (joined > 0) {
            keyEnd = pos + keySize - joined;
            keptBefore = kept.size() - joined;
        } else {
            const int found = text.indexOf(key, pos, Qt::CaseInsensitive);
            if (found < 0)
                break;
            keyEnd = found + keySize;
            keptBefore = kept.size() + found - pos;
        }
        if (keptBefore == 0)
            break;
        if (joined > 0)
            kept.chop(joined);
        else
            kept += text.midRef(pos, keyEnd - keySize - pos);
        const int end = text.indexOf(QLatin1String("\","), keyEnd);
        if (end < 0)
            return kept;
        pos = end + 2;
    }
    kept += text.midRef(pos);
    return kept;
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

// The index after the closing quote of the JSON string whose opening quote is
// at `from`, or -1 when it is not closed.
int stringEnd(const QString &text, int from)
{
    const int size = text.size();
    for (int i = from + 1; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\'))
            ++i;
        else if (c == QLatin1Char('"'))
            return i + 1;
    }
    return -1;
}

int skipSpace(const QString &text, int from)
{
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    return from;
}

// Masks the values of secret members in a JSON text ("key": value): a string
// value up to its closing quote, any other value up to the next comma,
// closing bracket or space. One pass: every quote is looked at as a possible
// key once, the closing quote of a string that is not a key too.
QString maskJsonMembers(const QString &text)
{
    QString result;
    int last = 0;
    int i = text.indexOf(QLatin1Char('"'));
    while (i >= 0) {
        const int keyEnd = stringEnd(text, i);
        if (keyEnd < 0)
            break; // no quote after this one closes a string either
        const int colon = skipSpace(text, keyEnd);
        if (colon >= text.size() || text.at(colon) != QLatin1Char(':')) {
            // Not a key: its closing quote may open the next string.
            i = keyEnd - 1;
            continue;
        }
        const int valueStart = skipSpace(text, colon + 1);
        int valueEnd;
        if (valueStart < text.size() && text.at(valueStart) == QLatin1Char('"')) {
            // A string that is not closed (a cut text) runs to the end.
            valueEnd = stringEnd(text, valueStart);
            if (valueEnd < 0)
                valueEnd = text.size();
        } else {
            valueEnd = valueStart;
            while (valueEnd < text.size()) {
                const QChar c = text.at(valueEnd);
                if (c == QLatin1Char(',') || c == QLatin1Char('}') || c == QLatin1Char(']') || c.isSpace())
                    break;
                ++valueEnd;
            }
        }
        if (isSecretKey(text.mid(i + 1, keyEnd - i - 2))) {
            result += text.midRef(last, valueStart - last);
            result += QLatin1Char('"') + kHidden + QLatin1Char('"');
            last = valueEnd;
        }
        i = text.indexOf(QLatin1Char('"'), valueEnd);
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
    if (reply) {
        connect(reply, &QObject::destroyed, this, &QObject::deleteLater);
        // The network layer stops reading once this much waits unread, so an
        // answer past the limit (inflated, when compressed) never sits whole
        // in memory; onReplyReadyRead then refuses it.
        reply->setReadBufferSize(kMaxReplyBytes + 1);
        connect(reply, &QNetworkReply::readyRead, this, &QSocialQuery::onReplyReadyRead);
    }
}

void QSocialQuery::onReplyReadyRead()
{
    if (!m_reply || m_refused || m_reply->bytesAvailable() <= kMaxReplyBytes)
        return;
    m_refused = true;
    qCWarning(ssint).noquote() << "networkRequestFinished - Refused :type" << m_method << ": the reply is larger than"
                               << kMaxReplyBytes << "bytes";
    // Ends the request as failed: the handler hears OperationCanceledError.
    m_reply->abort();
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
    // Only the part that is logged is masked, so that the work stays bounded
    // however large the text. A secret cut at the end is masked as a value
    // that runs to the end.
    const QString head = text.left(kMaxLoggedCharacters);
    QString masked = maskJsonMembers(maskFormFields(removeUserEmail(head)));
    if (text.size() > kMaxLoggedCharacters)
        masked += QStringLiteral("... [cut, %1 characters in all]").arg(text.size());
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
