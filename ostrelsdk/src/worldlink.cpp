#include "worldlink.h"

#include "sdkcore.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrelsdk {

WorldLink::WorldLink(std::function<void(const WireObject &)> onPush, std::function<void()> onLost)
    : m_onPush(std::move(onPush))
    , m_onLost(std::move(onLost))
{
}

WorldLink::~WorldLink()
{
    close();
}

bool WorldLink::open(const std::string &address, int timeoutMs, std::string *error)
{
    close();
    size_t colon = address.rfind(':');
    sockaddr_in to{};
    to.sin_family = AF_INET;
    char *end = nullptr;
    long port = colon == std::string::npos ? -1 : std::strtol(address.c_str() + colon + 1, &end, 10);
    if (colon == std::string::npos || port <= 0 || port > 65535 || (end && *end)
        || inet_pton(AF_INET, address.substr(0, colon).c_str(), &to.sin_addr) != 1) {
        *error = "the world address \"" + address + "\" is not host:port";
        return false;
    }
    to.sin_port = htons(static_cast<uint16_t>(port));
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        rc = ::poll(&p, 1, timeoutMs) == 1 ? 0 : -1;
        int soError = 0;
        socklen_t len = sizeof soError;
        if (rc == 0 && (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0)) {
            errno = soError;
            rc = -1;
        } else if (rc != 0) {
            errno = ETIMEDOUT;
        }
    }
    if (rc != 0) {
        *error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fd = fd;
        m_replies.clear();
    }
    m_closing = false;
    m_open = true;
    m_reader = std::thread([this, fd] { readLoop(fd); });
    return true;
}

void WorldLink::close()
{
    m_closing = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fd >= 0)
            ::shutdown(m_fd, SHUT_RDWR);
    }
    if (m_reader.joinable())
        m_reader.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_open = false;
    m_replied.notify_all();
}

bool WorldLink::send(const WireObject &message)
{
    std::string bytes = message.frame();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || m_fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::shutdown(m_fd, SHUT_RDWR); // the reader notices and reports the loss
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool WorldLink::request(WireObject message, WireObject *reply, int timeoutMs)
{
    long long id;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        id = ++m_nextId;
    }
    message.set("id", id);
    if (!send(message))
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    bool got =
        m_replied.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_replies.count(id) || !m_open; });
    auto it = m_replies.find(id);
    if (!got || it == m_replies.end())
        return false;
    *reply = std::move(it->second);
    m_replies.erase(it);
    return true;
}

void WorldLink::readLoop(int fd)
{
    FrameReader frames;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        frames.feed(buffer, size_t(n));
        std::string payload;
        uint32_t announced = 0;
        for (FrameReader::Result r; (r = frames.next(&payload, &announced)) != FrameReader::Nothing;) {
            if (r == FrameReader::Oversized) {
                OXLOG(LogWarning, "ox.world",
                      "World message refused: " + std::to_string(announced) + " bytes is more than "
                          + std::to_string(kMaxFrame));
                continue;
            }
            WireObject message;
            std::string reason;
            if (!WireObject::fromJson(payload, &message, &reason) || message.text("op").empty()) {
                OXLOG(LogWarning, "ox.world",
                      "World message refused: " + (reason.empty() ? std::string("no operation") : reason));
                continue;
            }
            if (message.numbers.count("re")) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_replies[message.number("re")] = std::move(message);
                m_replied.notify_all();
                continue;
            }
            m_onPush(message);
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        m_replied.notify_all();
    }
    if (!m_closing)
        m_onLost();
}

} // namespace ostrelsdk
