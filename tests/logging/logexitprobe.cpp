// Logs through the program's message handler from the places a process ends
// in: a static object's destructor, a destructor of the main thread's
// thread-local objects, and a thread that is let go only once main has
// returned, logging before it ends and from its own thread-local
// destructor. Each of those lines comes after the handler's own per-thread
// state of that thread is gone. Prints its lines on standard output (and
// into the log file) and ends with status 0.
#include <QDebug>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "logging.h"

namespace {

struct LogsWhenDestroyed {
    const char *name;
    ~LogsWhenDestroyed() { qDebug() << "destroyed:" << name; }
};

// Keeps a thread waiting until the process exits, then lets it log and end.
class WorkerAtExit
{
public:
    WorkerAtExit()
        : m_thread([this] {
            thread_local LogsWhenDestroyed farewell{"worker thread-local"};
            (void)farewell.name;
            qDebug() << "worker started";
            std::unique_lock<std::mutex> lock(m_mutex);
            m_started = true;
            m_wake.notify_all();
            m_wake.wait(lock, [this] { return m_released; });
            lock.unlock();
            qWarning() << "worker after main";
        })
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_started; });
    }
    ~WorkerAtExit()
    {
        qDebug() << "static destructor";
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_released = true;
        }
        m_wake.notify_all();
        m_thread.join();
        qDebug() << "static destructor after the worker";
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_started = false;
    bool m_released = false;
    std::thread m_thread;
};

} // namespace

int main()
{
    // Before the handler's first line: destroyed after the handler's state.
    thread_local LogsWhenDestroyed mainFarewell{"main thread-local"};
    (void)mainFarewell.name;
    installLogMessageHandler(3);
    qDebug() << "main";
    // Started once the main thread has logged: the first line of a process
    // sets up Qt's locale, which is not made for two threads at once.
    static WorkerAtExit worker;
    return 0;
}
