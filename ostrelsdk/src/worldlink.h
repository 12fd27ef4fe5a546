#pragma once

// The stand-in's one connection to the shared voice world of the dev gateway.
// A reader thread of its own splits what arrives into messages: replies wake
// the request waiting for them, everything else is handed to onPush; refused
// messages are logged and dropped. onLost runs once when the connection ends
// by itself (not after close()). Requests and sends may come from any thread.

#include "wireformat.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace ostrelsdk {

class WorldLink
{
public:
    WorldLink(std::function<void(const WireObject &)> onPush, std::function<void()> onLost);
    ~WorldLink();
    WorldLink(const WorldLink &) = delete;
    WorldLink &operator=(const WorldLink &) = delete;

    // "host:port" with a numeric IPv4 host; blocks for at most timeoutMs.
    bool open(const std::string &address, int timeoutMs, std::string *error);
    void close();
    bool isOpen() const { return m_open; }

    bool send(const WireObject &message);
    // Sends message with a fresh "id" and waits for the object that names it
    // in "re". False when the link is down, drops meanwhile or times out.
    bool request(WireObject message, WireObject *reply, int timeoutMs);

private:
    void readLoop(int fd);

    std::function<void(const WireObject &)> m_onPush;
    std::function<void()> m_onLost;
    std::mutex m_mutex;
    std::condition_variable m_replied;
    std::map<long long, WireObject> m_replies;
    long long m_nextId = 0;
    int m_fd = -1;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_closing{false};
    std::thread m_reader;
};

} // namespace ostrelsdk
