#include "fakewebservice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

const QString FakeWebService::ShortLinkMethod = QStringLiteral("shorturl_ajax.php");
const QString FakeWebService::SettleMarkerMethod = QStringLiteral("TestSettleMarker");

namespace {

// Set on a connection once its answer has been written.
const char kAnsweredProperty[] = "fakeWebServiceAnswered";
// Set on a connection that hang() holds open.
const char kHangingProperty[] = "fakeWebServiceHanging";

const QString LogEventMethod = QStringLiteral("LogEvent");
// Requests from the client under test are small; anything larger is a test fault.
constexpr int MaxRequestBytes = 16 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

QString FakeWebService::Request::method() const
{
    return has(QStringLiteral("method")) ? value(QStringLiteral("method")) : path;
}

QString FakeWebService::Request::value(const QString &key) const
{
    for (int i = fields.size() - 1; i >= 0; --i) {
        if (fields.at(i).first == key)
            return fields.at(i).second;
    }
    return QString();
}

bool FakeWebService::Request::has(const QString &key) const
{
    for (const auto &field : fields) {
        if (field.first == key)
            return true;
    }
    return false;
}

FakeWebService::FakeWebService(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    qRegisterMetaType<FakeWebService::Request>();
    m_defaults.insert(LogEventMethod, QJsonObject());
    m_defaults.insert(SettleMarkerMethod, QJsonObject());
    connect(m_server, &QTcpServer::newConnection, this, &FakeWebService::onNewConnection);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qWarning("FakeWebService: cannot listen on 127.0.0.1: %s", qPrintable(m_server->errorString()));
}

FakeWebService::~FakeWebService()
{
    // Requests still waiting for an answer end now; an answer already
    // written is left to reach its client, which a reset could destroy.
    for (const auto &socket : qAsConst(m_sockets)) {
        if (socket && !socket->property(kAnsweredProperty).toBool())
            socket->abort();
    }
}

QString FakeWebService::apiUrl() const
{
    return QStringLiteral("http://%1/gateway.php").arg(host());
}

QString FakeWebService::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

quint16 FakeWebService::port() const
{
    return m_server->serverPort();
}

void FakeWebService::reply(const QString &method, const QJsonValue &json, int delayMs)
{
    enqueue(method, Scripted{Action::Answer, toJsonText(json), 200, delayMs});
}

void FakeWebService::replyRaw(const QString &method, const QByteArray &body, int httpStatus, int delayMs)
{
    enqueue(method, Scripted{Action::Answer, body, httpStatus, delayMs});
}

void FakeWebService::replyDeflated(const QString &method, const QByteArray &body)
{
    // qCompress writes a zlib stream behind a four-byte length of its own.
    Scripted scripted{Action::Answer, qCompress(body, 9).mid(4), 200, 0};
    scripted.contentEncoding = "deflate";
    enqueue(method, scripted);
}

void FakeWebService::drop(const QString &method)
{
    enqueue(method, Scripted{Action::Drop, QByteArray(), 0, 0});
}

void FakeWebService::hang(const QString &method)
{
    enqueue(method, Scripted{Action::Hang, QByteArray(), 0, 0});
}

void FakeWebService::setDefault(const QString &method, const QJsonValue &json)
{
    m_defaults.insert(method, json);
}

void FakeWebService::setSignInDefaults(const QJsonObject &ownUserRecord)
{
    setDefault(QStringLiteral("GetChannelsOwned"), QJsonArray());
    setDefault(QStringLiteral("getChannelFavoritesList"), QJsonObject{{"data", QJsonArray()}});
    setDefault(QStringLiteral("GetNotificationsSince"), QJsonObject{{"v", QJsonArray()}});
    setDefault(QStringLiteral("GetNotifications"), QJsonObject{{"v", QJsonArray()}});
    setDefault(QStringLiteral("getContactGroups"), QJsonObject{{"data", QJsonArray()}});
    setDefault(QStringLiteral("getUserByUserLiveURI"), ownUserRecord);
}

QJsonObject FakeWebService::unknownUser()
{
    return QJsonObject{{"UserLiveURI", QJsonValue::Null}};
}

QJsonObject FakeWebService::unknownChannel()
{
    return QJsonObject{{"ChannelLiveURI", QJsonValue::Null}};
}

void FakeWebService::setLookupDefaults()
{
    for (const char *method : {"getUserByUserLiveURI", "getUserBySocialUID"})
        setDefault(QLatin1String(method), unknownUser());
    for (const char *method :
         {"GetChannelInfo", "GetChannelInfoWithOwnerInfo", "GetChannelInfoWithOwnerInfoFromLiveUID"})
        setDefault(QLatin1String(method), unknownChannel());
}

QList<FakeWebService::Request> FakeWebService::requests(bool withLogEvents) const
{
    if (withLogEvents) {
        QList<Request> result;
        for (const auto &request : m_requests) {
            if (request.method() != SettleMarkerMethod)
                result.append(request);
        }
        return result;
    }
    QList<Request> result;
    for (const auto &request : m_requests) {
        if (request.method() != LogEventMethod && request.method() != SettleMarkerMethod)
            result.append(request);
    }
    return result;
}

QList<FakeWebService::Request> FakeWebService::requestsFor(const QString &method) const
{
    QList<Request> result;
    for (const auto &request : m_requests) {
        if (request.method() == method)
            result.append(request);
    }
    return result;
}

QStringList FakeWebService::unexpected() const
{
    return m_unexpected;
}

bool FakeWebService::waitForRequest(const QString &method, int timeoutMs)
{
    const int seen = m_waitCursor.value(method);
    if (requestsFor(method).size() <= seen) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &FakeWebService::requestReceived, &loop, [&loop, &method](const Request &request) {
            if (request.method() == method)
                loop.quit();
        });
        timeout.start(timeoutMs);
        loop.exec();
        if (requestsFor(method).size() <= seen)
            return false;
    }
    m_waitCursor[method] = seen + 1;
    return true;
}

int FakeWebService::hangingCount() const
{
    int count = 0;
    for (const auto &socket : m_sockets) {
        if (socket && socket->property(kHangingProperty).toBool()
            && socket->state() != QAbstractSocket::UnconnectedState)
            ++count;
    }
    return count;
}

void FakeWebService::clear()
{
    // A connection whose answer is written is left to close by itself, so
    // the answer still arrives; the others end now.
    for (const auto &socket : qAsConst(m_sockets)) {
        if (socket && !socket->property(kAnsweredProperty).toBool())
            socket->abort();
    }
    m_sockets.clear();
    m_buffers.clear();
    m_scripts.clear();
    m_defaults.clear();
    m_defaults.insert(LogEventMethod, QJsonObject());
    m_defaults.insert(SettleMarkerMethod, QJsonObject());
    m_requests.clear();
    m_droppedRequests.clear();
    m_unexpected.clear();
    m_waitCursor.clear();
}

QList<QPair<QString, QString>> FakeWebService::parseForm(const QByteArray &body)
{
    QList<QPair<QString, QString>> fields;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        const QByteArray key = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        fields.append({QString::fromUtf8(QByteArray::fromPercentEncoding(key)),
                       QString::fromUtf8(QByteArray::fromPercentEncoding(value))});
    }
    return fields;
}

QByteArray FakeWebService::toJsonText(const QJsonValue &json)
{
    if (json.isObject())
        return QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
    if (json.isArray())
        return QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
    if (json.isUndefined())
        return QByteArray();
    // Qt 5 writes only objects and arrays: write [value] and take the brackets off.
    const QByteArray wrapped = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

void FakeWebService::enqueue(const QString &method, const Scripted &scripted)
{
    m_scripts[method].enqueue(scripted);
}

void FakeWebService::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        m_sockets.append(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeWebService::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    if (buffer.size() > MaxRequestBytes) {
        qWarning("FakeWebService: request over %d bytes, closing", MaxRequestBytes);
        socket->abort();
        return;
    }
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.path = QString::fromUtf8(requestLine.value(1));
    const int query = request.path.indexOf(QLatin1Char('?'));
    if (query >= 0)
        request.path.truncate(query);
    while (request.path.startsWith(QLatin1Char('/')))
        request.path.remove(0, 1);
    int contentLength = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length")
            contentLength = value.toInt();
        else if (name == "user-agent")
            request.userAgent = value;
        else if (name == "content-type")
            request.contentType = value;
    }
    const int bodyStart = headerEnd + 4;
    if (buffer.size() - bodyStart < contentLength)
        return; // the rest of the body is still on its way
    request.body = buffer.mid(bodyStart, contentLength);
    m_buffers.remove(socket);
    // One request per connection: the answer carries "Connection: close".
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    request.fields = parseForm(request.body);
    handle(socket, request);
}

void FakeWebService::handle(QTcpSocket *socket, Request request)
{
    const QByteArray key = request.path.toUtf8() + '\n' + request.body;
    if (m_droppedRequests.removeOne(key)) {
        // The network layer's own re-send of a dropped request.
        socket->disconnectFromHost();
        return;
    }
    const QString method = request.method();
    request.answersWrittenBefore = m_answersWritten;
    m_requests.append(request);

    Scripted scripted;
    QQueue<Scripted> &queue = m_scripts[method];
    if (!queue.isEmpty()) {
        scripted = queue.dequeue();
        if (scripted.action == Action::Drop)
            m_droppedRequests.append(key);
    } else if (m_defaults.contains(method)) {
        scripted.body = toJsonText(m_defaults.value(method));
    } else {
        m_unexpected.append(method);
        scripted.body = toJsonText(QJsonObject{{"status", "ERR"}, {"msg", "unscripted"}, {"reason", "unscripted"}});
    }
    emit requestReceived(request);

    if (scripted.delayMs > 0) {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(scripted.delayMs, this, [this, guard, scripted] {
            if (guard)
                answer(guard, scripted);
        });
    } else {
        answer(socket, scripted);
    }
}

void FakeWebService::answer(QTcpSocket *socket, const Scripted &scripted)
{
    switch (scripted.action) {
    case Action::Hang:
        socket->setProperty(kHangingProperty, true);
        return;
    case Action::Drop: {
        // Closed before any byte of an answer: Qt's network layer re-sends
        // the request once (closed again by handle()) and then reports the
        // closed connection. A short answer cut off instead is not reliably
        // an error: Qt may finish it as a success.
        socket->disconnectFromHost();
        return;
    }
    case Action::Answer:
        break;
    }
    socket->setProperty(kAnsweredProperty, true);
    ++m_answersWritten;
    QByteArray response =
        "HTTP/1.1 " + QByteArray::number(scripted.status) + ' ' + reasonPhrase(scripted.status) + "\r\n";
    response += "Content-Type: application/json; charset=utf-8\r\n";
    if (!scripted.contentEncoding.isEmpty())
        response += "Content-Encoding: " + scripted.contentEncoding + "\r\n";
    response += "Content-Length: " + QByteArray::number(scripted.body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += scripted.body;
    socket->write(response);
    socket->disconnectFromHost();
}
