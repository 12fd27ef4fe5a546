#pragma once

// GatewayHttpServer: the dev gateway's HTTP layer.
//
// cpp-httplib reads, bounds and answers HTTP on its own worker threads; each
// complete request is handed to the handler on the thread that owns this
// object (through its event loop), so the store and dispatch stay
// single-threaded Qt code. Each connection has a thread of its own (up to
// MaxConnections), so that slow peers hold up no one else. Every answer
// closes the connection; a peer that sends nothing for 5 s while its request
// is incomplete is dropped, and a body that takes longer than the body time
// (60 s) in all gets 408; header sections over 16 KiB and bodies over 8 MiB
// get 413, multipart bodies 415, malformed requests (two different
// Content-Length headers among them) 400.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

struct GatewayHttpRequest {
    QByteArray verb; // "GET" or "POST"
    QString path;    // without the leading slash or query, e.g. "gateway.php"
    QString host;    // the Host header, used to build absolute URLs
    QString remoteAddress;
    QMap<QString, QString> query; // the query's fields (the first of each name)
    QByteArray contentType;
    QByteArray body;
};

struct GatewayHttpResponse {
    int status = 200;
    QByteArray contentType = "application/json; charset=utf-8";
    QByteArray body;
    QByteArray location; // for redirects
};

class GatewayHttpServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<GatewayHttpResponse(const GatewayHttpRequest &)>;

    static constexpr size_t MaxHeaderBytes = 16 * 1024;
    static constexpr size_t MaxBodyBytes = 8 * 1024 * 1024;
    static constexpr time_t ReadTimeoutSeconds = 5;
    static constexpr int BodyTimeoutSeconds = 60;
    static constexpr size_t MaxConnections = 1024; // served at once, each on a thread of its own

    explicit GatewayHttpServer(Handler handler, QObject *parent = nullptr);
    ~GatewayHttpServer() override;

    // How long a peer may send nothing while its request is incomplete; set
    // before listen.
    void setReadTimeout(int seconds);
    // How long a whole body may take to arrive, however steadily it comes
    // (408 after that); set before listen.
    void setBodyTimeout(int seconds);
    // Binds address:port (port 0 picks a free one) and starts serving.
    bool listen(const QString &address, quint16 port, QString *error);
    quint16 port() const { return m_port; }
    void stop();

private:
    GatewayHttpResponse dispatch(const GatewayHttpRequest &request);

    Handler m_handler;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    quint16 m_port = 0;
    std::atomic<int> m_bodySeconds{BodyTimeoutSeconds};
};
