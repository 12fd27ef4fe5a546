#pragma once

#include "ostrelsdk.h"
#include "ostrelsdk_control.h"
#include "world.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrelsdk {

enum LogLevel { LogError = 0, LogWarning = 1, LogInfo = 2, LogDebug = 3, LogTrace = 4 };

// Writes one line through the registered log handler, formatted as
// "<Level> ostrelsdk/<file> <line> <source>: <text>". Lines made off the
// worker thread are handed to the worker, so the handler only ever runs there.
void logLine(int level, const char *source, const char *file, int line, const std::string &text);

#define OXLOG(level, source, text) ::ostrelsdk::logLine(level, source, __FILE__, __LINE__, text)

// The library's state: initialisation, the worker thread with its queue of
// items, the message queue, the notification and log handlers, the log of
// issued requests with the scripts that steer their answers, and the world.
// One process-wide instance (SdkCore::instance()); every public function is
// thread-safe.
class SdkCore
{
public:
    static SdkCore &instance();

    int initialize(const ox_config_t *config, int size);
    int uninitialize();
    bool initialized();
    bool onWorker() const { return std::this_thread::get_id() == m_workerId; }

    int registerHandler(ox_message_notification_handler_t handler);
    int unregisterHandler(ox_message_notification_handler_t handler);
    int handlerCount();
    void setLogging(int level, ox_log_handler_t handler);
    int loggingLevel();
    void log(int level, const char *source, const char *file, int line, const std::string &text);
    void logRaw(const std::string &source, const std::string &level, const std::string &message);

    int issue(ox_req_base_t *request);
    int takeMessage(ox_message_base_t **out);
    int pendingMessages();

    // Runs `action` on the worker after the items already queued; without a
    // worker it runs at once and its messages are dropped.
    void post(std::function<void(World &, Outbox &)> action);
    // Like post, but drops the action when the library is not running.
    bool postIfRunning(std::function<void(World &, Outbox &)> action);
    // Runs `action` with the world locked, on the calling thread.
    template <typename F>
    auto withWorld(F action)
    {
        std::lock_guard<std::mutex> lock(m_worldMutex);
        return action(m_world);
    }
    int waitIdle(int timeoutMs);
    void inject(ox_message_base_t *message);

    // Request log and scripts.
    int requestCount(int type);
    const ox_req_base_t *requestAt(int index);
    const ox_req_base_t *findRequest(int type, int nth);
    const ox_req_base_t *findRequestByCookie(const char *cookie);
    void clearRequests();
    void script(int type, int returnCode, int statusCode, const char *text, int times);
    void silence(int type, int times);
    void hold(int type, bool on);
    int release(int type, int count);

    void reset();
    const ox_config_t *initConfig(int *size);

private:
    SdkCore();
    ~SdkCore();
    struct Item {
        ox_req_base_t *request = nullptr;
        std::function<void(World &, Outbox &)> action;
        bool notifyOnly = false;
    };
    struct Script {
        int returnCode, statusCode;
        std::string text;
        bool silence;
    };

    void workerLoop();
    void process(Item &item, Outbox &out);
    void processRequest(ox_req_base_t *request, Outbox &out);
    void logMessages(const Outbox &out);
    void callLogHandler(int level, const std::string &source, const std::string &message);
    void notifyHandlers();
    void enqueue(Item item);
    void freeItems(std::deque<Item> &items);

    std::mutex m_mutex;         // queues, handlers, request log, scripts
    std::mutex m_worldMutex;    // the world
    std::mutex m_callbackMutex; // held while notification handlers run
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::thread m_worker;
    std::atomic<std::thread::id> m_workerId{};
    bool m_initialized = false;
    bool m_stop = false;
    bool m_busy = false;
    std::deque<Item> m_items;
    std::map<int, std::deque<ox_req_base_t *>> m_parked;
    std::set<int> m_held;
    std::deque<ox_message_base_t *> m_messages;
    std::vector<ox_message_notification_handler_t> m_handlers;
    std::vector<std::pair<int, std::pair<std::string, std::string>>> m_pendingLogs; // level, (source, message)
    ox_log_handler_t m_logHandler = nullptr;
    int m_logLevel = LogInfo;
    bool m_loggingRegistered = false;
    std::vector<ox_req_base_t *> m_requestLog;
    std::map<int, std::deque<Script>> m_scripts;
    ox_config_t m_config{};
    int m_configSize = 0;
    bool m_everInitialized = false;
    std::chrono::steady_clock::time_point m_nextTick;
    World m_world;
};

std::string lower(const std::string &text);
const char *levelName(int level);

} // namespace ostrelsdk
