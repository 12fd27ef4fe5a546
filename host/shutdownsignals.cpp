#include "shutdownsignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace host {

namespace {

// Written only while no instance exists; read by the handler.
int s_pipe[2] = {-1, -1};
struct sigaction s_previous[NSIG];

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; the byte can be dropped.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

bool setFlags(int fd)
{
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent)
    : QObject(parent)
{
    if (s_pipe[0] >= 0) {
        qWarning() << "ShutdownSignals: already watching in this process";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_pipe) != 0 || !setFlags(s_pipe[0]) || !setFlags(s_pipe[1])) {
        qWarning() << "ShutdownSignals: cannot create the signal pipe:" << std::strerror(errno);
        for (int &fd : s_pipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
        return;
    }
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::onReadable);

    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signalNumber, &action, &s_previous[signalNumber]) != 0) {
            qWarning() << "ShutdownSignals: cannot catch" << signalName(signalNumber) << std::strerror(errno);
            continue;
        }
        m_caught.append(signalNumber);
    }
    m_active = m_caught.size() == 3;
}

ShutdownSignals::~ShutdownSignals()
{
    if (!m_notifier)
        return;
    for (const int signalNumber : qAsConst(m_caught))
        ::sigaction(signalNumber, &s_previous[signalNumber], nullptr);
    delete m_notifier;
    for (int &fd : s_pipe) {
        ::close(fd);
        fd = -1;
    }
}

const char *ShutdownSignals::signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal";
    }
}

void ShutdownSignals::onReadable()
{
    unsigned char bytes[16];
    ssize_t count;
    while ((count = ::read(s_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit shutdownRequested(bytes[i]);
    }
}

} // namespace host
