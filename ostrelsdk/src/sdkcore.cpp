#include "sdkcore.h"

#include <memory>
#include <utility>

#include "recordtable.h"

#include <algorithm>
#include <cstring>

namespace ostrelsdk {

std::string lower(const std::string &text)
{
    std::string result = text;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return result;
}

const char *levelName(int level)
{
    static const char *const names[] = {"Error", "Warning", "Info", "Debug", "Trace"};
    return level >= 0 && level <= 4 ? names[level] : "Trace";
}

void logLine(int level, const char *source, const char *file, int line, const std::string &text)
{
    SdkCore::instance().log(level, source, file, line, text);
}

namespace {

const char *sourceFor(const std::string &name)
{
    if (name.find("account") != std::string::npos || name.find("buddy") != std::string::npos
        || name.find("Account") != std::string::npos || name.find("Buddy") != std::string::npos
        || name.find("AppData") != std::string::npos || name.find("Subscription") != std::string::npos
        || name.find("channel") != std::string::npos || name.find("Channel") != std::string::npos
        || name.find("NetworkMessage") != std::string::npos)
        return "ox.account";
    if (name.find("aux") != std::string::npos || name.find("Aux") != std::string::npos
        || name.find("Keyboard") != std::string::npos || name.find("Device") != std::string::npos)
        return "ox.aux";
    if (name.find("onnector") != std::string::npos)
        return "ox.core";
    return "ox.session";
}

// The first text field after the base, used to name the object in log lines.
std::string firstText(const std::vector<Field> &fields, const void *record)
{
    for (const Field &f : fields)
        if (f.kind == FieldKind::Text) {
            const char *t = *reinterpret_cast<char *const *>(static_cast<const char *>(record) + f.offset);
            return t ? t : "";
        }
    return "";
}

} // namespace

SdkCore &SdkCore::instance()
{
    static SdkCore core;
    return core;
}

SdkCore::SdkCore() = default;

SdkCore::~SdkCore()
{
    uninitialize();
    for (ox_req_base_t *r : m_requestLog)
        RecordTable::freeRequest(r);
}

int SdkCore::initialize(const ox_config_t *config, int size)
{
    if (!config || (size != int(sizeof(ox_config_t)) && size != 424))
        return OX_E_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_initialized)
        return OX_E_ALREADY_INITIALIZED;
    m_config = *config;
    m_config.app_folder[sizeof(m_config.app_folder) - 1] = '\0';
    m_configSize = size;
    m_initialized = true;
    m_everInitialized = true;
    m_stop = false;
    m_busy = false;
    m_worker = std::thread([this] { workerLoop(); });
    m_workerId = m_worker.get_id();
    return 0;
}

int SdkCore::uninitialize()
{
    if (onWorker()) {
        // From a callback the worker would wait for itself.
        OXLOG(LogError, "ox.core", "ox_uninitialize called from a library callback; refused");
        return OX_E_INTERNAL;
    }
    std::deque<Item> items;
    std::deque<ox_message_base_t *> messages;
    std::map<int, std::deque<ox_req_base_t *>> parked;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return OX_E_NOT_INITIALIZED;
        m_stop = true;
        m_wake.notify_all();
    }
    if (m_worker.joinable())
        m_worker.join();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        items.swap(m_items);
        messages.swap(m_messages);
        parked.swap(m_parked);
        m_handlers.clear();
        m_pendingLogs.clear();
        m_initialized = false;
        m_workerId = std::thread::id();
        m_busy = false;
    }
    m_idle.notify_all();
    freeItems(items);
    for (ox_message_base_t *m : messages)
        RecordTable::freeMessage(m);
    for (auto &p : parked)
        for (ox_req_base_t *r : p.second)
            RecordTable::freeRequest(r);
    withWorld([](World &w) { w.dropRuntime(); });
    return 0;
}

bool SdkCore::initialized()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_initialized;
}

void SdkCore::freeItems(std::deque<Item> &items)
{
    for (Item &item : items)
        RecordTable::freeRequest(item.request);
    items.clear();
}

int SdkCore::registerHandler(ox_message_notification_handler_t handler)
{
    if (!handler)
        return OX_E_INVALID_ARGUMENT;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized)
            return OX_E_NOT_INITIALIZED;
        if (std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end())
            return 0;
        if (m_handlers.size() >= 8)
            return OX_E_INVALID_ARGUMENT;
        m_handlers.push_back(handler);
    }
    // Messages that are already waiting get a notification soon.
    Item item;
    item.notifyOnly = true;
    enqueue(std::move(item));
    return 0;
}

int SdkCore::unregisterHandler(ox_message_notification_handler_t handler)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find(m_handlers.begin(), m_handlers.end(), handler);
        if (it == m_handlers.end())
            return OX_E_INVALID_ARGUMENT;
        m_handlers.erase(it);
    }
    // Wait for a callback that may be running right now, unless we are it.
    if (!onWorker())
        std::lock_guard<std::mutex> wait(m_callbackMutex);
    return 0;
}

int SdkCore::handlerCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_handlers.size());
}

void SdkCore::setLogging(int level, ox_log_handler_t handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_logLevel = level;
    m_logHandler = handler;
    m_loggingRegistered = true;
}

int SdkCore::loggingLevel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loggingRegistered ? m_logLevel : -1;
}

void SdkCore::log(int level, const char *source, const char *file, int line, const std::string &text)
{
    const char *slash = file ? std::strrchr(file, '/') : nullptr;
    std::string fileName = slash ? slash + 1 : (file ? file : "unknown");
    std::string message = std::string(levelName(level)) + " ostrelsdk/" + fileName + " " + std::to_string(line) + " "
                          + source + ": " + text;
    callLogHandler(level, source, message);
}

void SdkCore::logRaw(const std::string &source, const std::string &level, const std::string &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized || !m_logHandler)
        return;
    // Verbatim: no level filter, always through the worker.
    m_pendingLogs.push_back({-1, {source, level + '\n' + message}});
    m_wake.notify_all();
}

void SdkCore::callLogHandler(int level, const std::string &source, const std::string &message)
{
    ox_log_handler_t handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_initialized || !m_logHandler || level > m_logLevel)
            return;
        if (!onWorker()) {
            m_pendingLogs.push_back({level, {source, message}});
            m_wake.notify_all();
            return;
        }
        handler = m_logHandler;
    }
    handler(source.c_str(), levelName(level), message.c_str());
}

int SdkCore::issue(ox_req_base_t *request)
{
    if (!request)
        return OX_E_INVALID_ARGUMENT;
    const RequestInfo *info = RecordTable::request(request->type);
    if (!info || request->message.type != OX_MSG_REQUEST) {
        OXLOG(LogError, "ox.core", "ox_issue_request: unknown request type " + std::to_string(int(request->type)));
        if (info)
            RecordTable::freeRequest(request);
        else {
            // The layout is unknown: only the base's cookie and the record itself can be freed.
            std::free(request->cookie);
            std::free(request);
        }
        return OX_E_INVALID_ARGUMENT;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_initialized) {
        lock.unlock();
        RecordTable::freeRequest(request);
        return OX_E_NOT_INITIALIZED;
    }
    m_requestLog.push_back(RecordTable::copyRequest(request));
    if (m_held.count(request->type)) {
        m_parked[request->type].push_back(request);
        return 0;
    }
    Item item;
    item.request = request;
    m_items.push_back(std::move(item));
    m_wake.notify_all();
    return 0;
}

int SdkCore::takeMessage(ox_message_base_t **out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return OX_E_NOT_INITIALIZED;
    if (!out)
        return OX_E_INVALID_ARGUMENT;
    if (m_messages.empty())
        return OX_E_NO_MESSAGE;
    *out = m_messages.front();
    m_messages.pop_front();
    return 0;
}

int SdkCore::pendingMessages()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_messages.size());
}

void SdkCore::enqueue(Item item)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized) {
        RecordTable::freeRequest(item.request);
        return;
    }
    m_items.push_back(std::move(item));
    m_wake.notify_all();
}

void SdkCore::post(std::function<void(World &, Outbox &)> action)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_initialized) {
            Item item;
            item.action = std::move(action);
            m_items.push_back(std::move(item));
            m_wake.notify_all();
            return;
        }
    }
    Outbox out;
    withWorld([&](World &w) { action(w, out); });
    for (ox_message_base_t *m : out.messages)
        RecordTable::freeMessage(m);
}

bool SdkCore::postIfRunning(std::function<void(World &, Outbox &)> action)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_initialized)
        return false;
    Item item;
    item.action = std::move(action);
    m_items.push_back(std::move(item));
    m_wake.notify_all();
    return true;
}

void SdkCore::inject(ox_message_base_t *message)
{
    // The pending item owns the message until the worker hands it on, so a
    // message still queued when the library is uninitialised is freed too.
    auto pending = std::shared_ptr<ox_message_base_t *>(new ox_message_base_t *(message), [](ox_message_base_t **p) {
        if (*p)
            RecordTable::freeMessage(*p);
        delete p;
    });
    post([pending](World &, Outbox &out) { out.add(std::exchange(*pending, nullptr)); });
}

int SdkCore::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    bool idle = m_idle.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), [this] {
        return !m_initialized || (m_items.empty() && m_pendingLogs.empty() && !m_busy);
    });
    return idle ? 0 : 1;
}

void SdkCore::workerLoop()
{
    using clock = std::chrono::steady_clock;
    m_nextTick = clock::now();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        int interval = 0;
        bool meters = false;
        lock.unlock();
        withWorld([&](World &w) {
            interval = w.meterInterval();
            meters = w.metersRunning();
        });
        lock.lock();
        bool ticking = meters && interval > 0;
        auto ready = [this] { return m_stop || !m_items.empty() || !m_pendingLogs.empty(); };
        if (ticking)
            m_wake.wait_until(lock, m_nextTick, ready);
        else
            m_wake.wait(lock, ready);
        if (m_stop)
            break;
        auto logs = std::move(m_pendingLogs);
        m_pendingLogs.clear();
        ox_log_handler_t logHandler = m_logHandler;
        Item item;
        bool haveItem = !m_items.empty();
        if (haveItem) {
            item = std::move(m_items.front());
            m_items.pop_front();
        }
        bool tick = !haveItem && ticking && clock::now() >= m_nextTick;
        m_busy = haveItem || tick || !logs.empty();
        lock.unlock();

        for (const auto &l : logs) {
            if (!logHandler)
                break;
            if (l.first < 0) { // raw: level and message travel together
                const std::string &both = l.second.second;
                size_t split = both.find('\n');
                logHandler(l.second.first.c_str(), both.substr(0, split).c_str(), both.substr(split + 1).c_str());
            } else {
                logHandler(l.second.first.c_str(), levelName(l.first), l.second.second.c_str());
            }
        }
        Outbox out;
        if (haveItem) {
            process(item, out);
        } else if (tick) {
            withWorld([&](World &w) { w.meterTick(out); });
            m_nextTick = clock::now() + std::chrono::milliseconds(interval);
        }
        if (haveItem || tick) {
            logMessages(out);
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                for (ox_message_base_t *m : out.messages)
                    m_messages.push_back(m);
            }
            notifyHandlers();
        }
        if (haveItem && !ticking)
            m_nextTick = clock::now() + std::chrono::milliseconds(interval);
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
}

void SdkCore::process(Item &item, Outbox &out)
{
    if (item.request) {
        processRequest(item.request, out);
        item.request = nullptr;
    } else if (item.action) {
        withWorld([&](World &w) { item.action(w, out); });
    }
}

void SdkCore::processRequest(ox_req_base_t *request, Outbox &out)
{
    const RequestInfo *info = RecordTable::request(request->type);
    OXLOG(LogInfo, sourceFor(info->name),
          std::string("Request: ") + info->name + " cookie " + (request->cookie ? request->cookie : "(none)"));
    Script script{0, 0, "", false};
    bool scripted = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_scripts.find(request->type);
        if (it != m_scripts.end() && !it->second.empty()) {
            script = it->second.front();
            it->second.pop_front();
            scripted = true;
        }
    }
    if (scripted && script.silence) {
        OXLOG(LogDebug, "ox.control", std::string("Silenced: ") + info->name);
        RecordTable::freeRequest(request);
        return;
    }
    if (scripted && script.returnCode != 0) {
        ox_resp_base_t *resp = RecordTable::allocResponse(request->type, request);
        resp->return_code = script.returnCode;
        resp->status_code = script.statusCode;
        resp->status_string = RecordTable::dup(script.text);
        RecordTable::fillEmptyTexts(resp);
        out.add(resp);
        return;
    }
    withWorld([&](World &w) {
        w.handle(request, out);
        // A status-only script: the request has its normal effects and its
        // response carries the scripted status instead.
        if (scripted) {
            for (ox_message_base_t *m : out.messages)
                if (m->type == OX_MSG_RESPONSE && reinterpret_cast<ox_resp_base_t *>(m)->request == request) {
                    auto *resp = reinterpret_cast<ox_resp_base_t *>(m);
                    std::free(resp->status_string);
                    resp->status_code = script.statusCode;
                    resp->status_string = RecordTable::dup(script.text);
                }
        }
    });
}

void SdkCore::logMessages(const Outbox &out)
{
    for (const ox_message_base_t *m : out.messages) {
        if (m->type == OX_MSG_RESPONSE) {
            auto *resp = reinterpret_cast<const ox_resp_base_t *>(m);
            const RequestInfo *info = RecordTable::request(resp->type);
            std::string name = info ? info->name + 4 : "unknown";
            OXLOG(LogDebug, sourceFor(name),
                  "Response: " + name + " " + std::to_string(resp->return_code) + " "
                      + std::to_string(resp->status_code) + " " + (resp->status_string ? resp->status_string : ""));
        } else if (m->type == OX_MSG_EVENT) {
            auto *evt = reinterpret_cast<const ox_evt_base_t *>(m);
            const EventInfo *info = RecordTable::event(evt->type);
            std::string name = info ? info->className : "Unknown";
            std::string object = info ? firstText(info->fields, m) : "";
            OXLOG(LogDebug, sourceFor(name), "Event raised: " + name + "Event " + object);
        }
    }
}

void SdkCore::notifyHandlers()
{
    // Taking the callback lock before copying the list means that a handler
    // removed by unregister is never called after unregister returns.
    std::lock_guard<std::mutex> callbacks(m_callbackMutex);
    std::vector<ox_message_notification_handler_t> handlers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        handlers = m_handlers;
    }
    for (auto h : handlers)
        h();
}

int SdkCore::requestCount(int type)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (type == -1)
        return int(m_requestLog.size());
    return int(std::count_if(m_requestLog.begin(), m_requestLog.end(),
                             [type](const ox_req_base_t *r) { return r->type == type; }));
}

const ox_req_base_t *SdkCore::requestAt(int index)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return index >= 0 && index < int(m_requestLog.size()) ? m_requestLog[index] : nullptr;
}

const ox_req_base_t *SdkCore::findRequest(int type, int nth)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<const ox_req_base_t *> matches;
    for (const ox_req_base_t *r : m_requestLog)
        if (r->type == type)
            matches.push_back(r);
    if (nth < 0)
        nth = int(matches.size()) + nth;
    return nth >= 0 && nth < int(matches.size()) ? matches[nth] : nullptr;
}

const ox_req_base_t *SdkCore::findRequestByCookie(const char *cookie)
{
    if (!cookie)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const ox_req_base_t *r : m_requestLog)
        if (r->cookie && std::strcmp(r->cookie, cookie) == 0)
            return r;
    return nullptr;
}

void SdkCore::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (ox_req_base_t *r : m_requestLog)
        RecordTable::freeRequest(r);
    m_requestLog.clear();
}

void SdkCore::script(int type, int returnCode, int statusCode, const char *text, int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < times; ++i)
        m_scripts[type].push_back(
            Script{returnCode, statusCode, text ? text : (statusCode ? ox_get_error_string(statusCode) : ""), false});
}

void SdkCore::silence(int type, int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < times; ++i)
        m_scripts[type].push_back(Script{0, 0, "", true});
}

void SdkCore::hold(int type, bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (on)
        m_held.insert(type);
    else
        m_held.erase(type);
}

int SdkCore::release(int type, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto &parked = m_parked[type];
    int released = 0;
    while (!parked.empty() && (count < 0 || released < count)) {
        Item item;
        item.request = parked.front();
        parked.pop_front();
        m_items.push_back(std::move(item));
        ++released;
    }
    m_wake.notify_all();
    return released;
}

void SdkCore::reset()
{
    std::deque<Item> items;
    std::deque<ox_message_base_t *> messages;
    std::map<int, std::deque<ox_req_base_t *>> parked;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Requests and world actions not yet processed are dropped; only the
        // notifications stay queued.
        for (Item &item : m_items)
            if (!item.notifyOnly)
                items.push_back(std::move(item));
        m_items.erase(std::remove_if(m_items.begin(), m_items.end(), [](const Item &i) { return !i.notifyOnly; }),
                      m_items.end());
        messages.swap(m_messages);
        parked.swap(m_parked);
        m_held.clear();
        m_scripts.clear();
        if (!m_initialized) {
            // Between runs the logging registration is forgotten too; a running
            // program keeps the sink it registered.
            m_logHandler = nullptr;
            m_logLevel = LogInfo;
            m_loggingRegistered = false;
        }
    }
    clearRequests();
    freeItems(items);
    for (ox_message_base_t *m : messages)
        RecordTable::freeMessage(m);
    for (auto &p : parked)
        for (ox_req_base_t *r : p.second)
            RecordTable::freeRequest(r);
    withWorld([](World &w) { w.reset(); });
}

const ox_config_t *SdkCore::initConfig(int *size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (size)
        *size = m_everInitialized ? m_configSize : 0;
    return m_everInitialized ? &m_config : nullptr;
}

} // namespace ostrelsdk
