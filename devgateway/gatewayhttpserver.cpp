#include "gatewayhttpserver.h"

#include <QDebug>
#include <QMetaObject>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

namespace {

// Each connection on a thread of its own, up to a bound: a peer that sends
// slowly holds only its own thread, so that slow peers by the hundred do
// not keep others waiting as they would in a fixed pool. At the bound the
// accept loop waits for a thread to end.
class ConnectionThreads : public httplib::TaskQueue
{
public:
    explicit ConnectionThreads(size_t bound)
        : m_bound(bound)
    {
    }
    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_running < m_bound || m_shutdown; });
        if (m_shutdown)
            return;
        ++m_running;
        std::thread([this, fn = std::move(fn)] {
            fn();
            std::lock_guard<std::mutex> done(m_mutex);
            --m_running;
            m_changed.notify_all();
        }).detach();
    }
    void shutdown() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_shutdown = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_running == 0; });
    }

private:
    const size_t m_bound;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_running = 0;
    bool m_shutdown = false;
};

GatewayHttpRequest toRequest(const httplib::Request &in, QByteArray body)
{
    GatewayHttpRequest request;
    request.verb = QByteArray::fromStdString(in.method);
    request.path = QString::fromStdString(in.path);
    while (request.path.startsWith(QLatin1Char('/')))
        request.path.remove(0, 1);
    request.host = QString::fromStdString(in.get_header_value("Host"));
    request.remoteAddress = QString::fromStdString(in.remote_addr);
    for (const auto &field : in.params) {
        const QString name = QString::fromStdString(field.first);
        if (!request.query.contains(name))
            request.query.insert(name, QString::fromStdString(field.second));
    }
    request.contentType = QByteArray::fromStdString(in.get_header_value("Content-Type"));
    request.body = std::move(body);
    return request;
}

void fill(httplib::Response &out, const GatewayHttpResponse &response)
{
    out.status = response.status;
    if (!response.location.isEmpty())
        out.set_header("Location", response.location.toStdString());
    out.set_content(response.body.toStdString(), response.contentType.toStdString().c_str());
}

} // namespace

GatewayHttpServer::GatewayHttpServer(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_server(std::make_unique<httplib::Server>())
{
    m_server->set_keep_alive_max_count(1); // "Connection: close" after each answer
    // A peer that stalls while sending its headers or body is dropped after
    // this long without a byte.
    m_server->set_read_timeout(ReadTimeoutSeconds, 0);
    m_server->set_write_timeout(30, 0);
    m_server->new_task_queue = [] { return new ConnectionThreads(MaxConnections); };
    m_server->set_payload_max_length(MaxBodyBytes);
    m_server->set_idle_interval(0, 200000); // wakes the accept loop, so that stop() is prompt

    m_server->set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        size_t headerBytes = 0;
        for (const auto &header : req.headers)
            headerBytes += header.first.size() + header.second.size() + 4;
        if (headerBytes > MaxHeaderBytes) {
            res.status = 413;
            return httplib::Server::HandlerResponse::Handled;
        }
        // Two different lengths leave the end of the body in doubt.
        const auto lengths = req.headers.equal_range("Content-Length");
        for (auto it = lengths.first; it != lengths.second; ++it) {
            if (it->second != lengths.first->second) {
                res.status = 400;
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        // Only urlencoded forms are served; multipart bodies are not parsed.
        if (req.get_header_value("Content-Type").rfind("multipart/", 0) == 0) {
            res.status = 415;
            return httplib::Server::HandlerResponse::Handled;
        }
        // This runs before the body is read. Refuse what cannot be served at
        // once: a body over the limit (the library would first read and drop
        // it), and a POST body without a length (the library would read it up
        // to the end of the connection).
        if (req.method == "POST") {
            const std::string length = req.get_header_value("Content-Length");
            if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos || length.size() > 18
                || req.has_header("Transfer-Encoding")) {
                res.status = 400;
                return httplib::Server::HandlerResponse::Handled;
            }
            if (std::stoull(length) > MaxBodyBytes) {
                res.status = 413;
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    // Reading the body through a content reader keeps the library from parsing
    // (and capping at 8 KiB) urlencoded forms: pictures arrive as Base64 fields.
    m_server->Post(".*",
                   [this](const httplib::Request &req, httplib::Response &res, const httplib::ContentReader &reader) {
                       std::string body;
                       // The whole body must come within the body time, however it trickles.
                       const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_bodySeconds);
                       bool late = false;
                       const bool complete = reader([&](const char *data, size_t length) {
                           late = std::chrono::steady_clock::now() > deadline;
                           if (late || body.size() + length > MaxBodyBytes)
                               return false;
                           body.append(data, length);
                           return true;
                       });
                       if (!complete) {
                           res.status = late ? 408 : body.size() >= MaxBodyBytes || res.status == 413 ? 413 : 400;
                           return;
                       }
                       fill(res, dispatch(toRequest(req, QByteArray::fromStdString(body))));
                   });
    m_server->Get(".*", [this](const httplib::Request &req, httplib::Response &res) {
        fill(res, dispatch(toRequest(req, QByteArray())));
    });
}

void GatewayHttpServer::setReadTimeout(int seconds)
{
    m_server->set_read_timeout(seconds, 0);
}

void GatewayHttpServer::setBodyTimeout(int seconds)
{
    m_bodySeconds = seconds > 0 ? seconds : BodyTimeoutSeconds;
}

GatewayHttpServer::~GatewayHttpServer()
{
    stop();
}

bool GatewayHttpServer::listen(const QString &address, quint16 port, QString *error)
{
    const std::string host = address.toStdString();
    int bound = -1;
    if (port == 0)
        bound = m_server->bind_to_any_port(host);
    else if (m_server->bind_to_port(host, port))
        bound = port;
    if (bound <= 0) {
        *error = QStringLiteral("cannot listen on %1:%2").arg(address).arg(port);
        return false;
    }
    m_port = static_cast<quint16>(bound);
    m_stopping = false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // The library ignores stop() until its loop runs, so wait for the loop:
    // a stop right after listen would otherwise leave the thread in accept().
    for (int waited = 0; !m_server->is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!m_server->is_running()) {
        stop();
        *error = QStringLiteral("cannot serve on %1:%2").arg(address).arg(m_port);
        return false;
    }
    return true;
}

void GatewayHttpServer::stop()
{
    m_stopping = true;
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

GatewayHttpResponse GatewayHttpServer::dispatch(const GatewayHttpRequest &request)
{
    // Runs on a library worker thread: hand the request to the owning thread and
    // wait for its answer, giving up when the server stops.
    auto promise = std::make_shared<std::promise<GatewayHttpResponse>>();
    std::future<GatewayHttpResponse> answer = promise->get_future();
    QMetaObject::invokeMethod(
        this, [this, promise, request] { promise->set_value(m_handler(request)); }, Qt::QueuedConnection);
    while (answer.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_stopping) {
            GatewayHttpResponse unavailable;
            unavailable.status = 503;
            return unavailable;
        }
    }
    try {
        return answer.get();
    } catch (const std::future_error &) {
        // The owner went away before it answered.
        GatewayHttpResponse unavailable;
        unavailable.status = 503;
        return unavailable;
    }
}
