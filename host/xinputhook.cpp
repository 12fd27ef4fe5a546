#include "xinputhook.h"

#include "virtualkeymap.h"

#include <QDebug>
#include <QSet>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cerrno>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace host {

namespace {

// Xlib's default handler for a broken connection ends the process. The
// hooks' own connections are let go instead; any other connection keeps the
// handler it had.
std::mutex ioMutex;
QSet<Display *> hookDisplays;
XIOErrorHandler previousIoHandler = nullptr;

int onIoError(Display *display)
{
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(ioMutex);
        if (hookDisplays.contains(display))
            return 0; // the display's exit handler records the loss
        previous = previousIoHandler;
    }
    return previous ? previous(display) : 0;
}

void registerHookDisplay(Display *display)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        std::lock_guard<std::mutex> lock(ioMutex);
        previousIoHandler = XSetIOErrorHandler(&onIoError);
    });
    std::lock_guard<std::mutex> lock(ioMutex);
    hookDisplays.insert(display);
}

void closeHookDisplay(Display *display)
{
    XCloseDisplay(display);
    std::lock_guard<std::mutex> lock(ioMutex);
    hookDisplays.remove(display);
}

} // namespace

XInputHook::XInputHook()
    : m_quitFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_quitFd < 0)
        qWarning() << "XInputHook: eventfd failed, errno" << errno;
}

XInputHook::~XInputHook()
{
    uninstall();
    if (m_quitFd >= 0)
        ::close(m_quitFd);
}

bool XInputHook::openDisplay()
{
    if (m_display)
        return true;
    if (m_openFailed)
        return false;
    m_openFailed = true; // until proven otherwise; warn only once

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qWarning() << "XInputHook: no DISPLAY, system-wide input is not monitored";
        return false;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning() << "XInputHook: cannot open display" << qgetenv("DISPLAY") << ", system-wide input is not monitored";
        return false;
    }
    int opcode = 0, firstEvent = 0, firstError = 0;
    int major = 2, minor = 1;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)
        || XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        qWarning() << "XInputHook: the X server lacks XInput 2.1, system-wide input is not monitored";
        XCloseDisplay(display);
        return false;
    }
    registerHookDisplay(display);
    XSetIOErrorExitHandler(display, &XInputHook::onConnectionLost, this);
    m_display = display;
    m_xiOpcode = opcode;
    m_openFailed = false;
    return true;
}

void XInputHook::selectEvents()
{
    if (!m_display)
        return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (m_keyboardProc) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
    }
    if (m_mouseProc) {
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
    }
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);
    // Round trip, so input that follows an install is already reported.
    XSync(m_display, False);
}

bool XInputHook::installKeyboard(KeyboardProc proc)
{
    if (!proc || !openDisplay())
        return false;
    m_keyboardProc = std::move(proc);
    selectEvents();
    return true;
}

bool XInputHook::installMouse(MouseProc proc)
{
    if (!proc || !openDisplay())
        return false;
    m_mouseProc = std::move(proc);
    selectEvents();
    return true;
}

void XInputHook::onConnectionLost(Display *, void *self)
{
    // Called by Xlib in place of exiting the process; the connection is
    // unusable from here on and run() lets it go.
    static_cast<XInputHook *>(self)->m_connectionLost = true;
}

void XInputHook::run()
{
    while (!m_quit.load()) {
        if (m_display) {
            while (!m_connectionLost && !m_quit.load() && XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                dispatch(event);
            }
            if (m_connectionLost) {
                // The X server went away (an Xwayland restart, say). The loop
                // keeps running without it until quit(), as with no hook.
                qWarning() << "XInputHook: the X connection was lost, system-wide input is no longer monitored";
                closeHookDisplay(m_display);
                m_display = nullptr;
                m_keyboardProc = nullptr;
                m_mouseProc = nullptr;
            }
        }
        if (m_quit.load())
            break;
        pollfd fds[2];
        nfds_t count = 0;
        if (m_quitFd >= 0)
            fds[count++] = {m_quitFd, POLLIN, 0};
        if (m_display)
            fds[count++] = {ConnectionNumber(m_display), POLLIN, 0};
        // Without an eventfd the quit flag is polled.
        const int timeoutMs = m_quitFd >= 0 ? -1 : 50;
        if (::poll(fds, count, timeoutMs) < 0 && errno != EINTR) {
            qWarning() << "XInputHook: poll failed, errno" << errno;
            ::usleep(50 * 1000);
        }
    }
}

void XInputHook::dispatch(XEvent &event)
{
    XGenericEventCookie *cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != m_xiOpcode || !XGetEventData(m_display, cookie))
        return;
    const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
    const int detail = raw->detail;
    const int type = cookie->evtype;
    XFreeEventData(m_display, cookie);

    switch (type) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease:
        if (m_keyboardProc)
            m_keyboardProc(
                {type == XI_RawKeyPress ? KeyDown : KeyUp, int(VirtualKeyMap::fromScanCode(quint32(detail)))});
        return;
    case XI_RawButtonPress:
    case XI_RawButtonRelease: {
        if (!m_mouseProc)
            return;
        const bool down = type == XI_RawButtonPress;
        switch (detail) {
        case 1:
            m_mouseProc({down ? LButtonDown : LButtonUp, 0});
            return;
        case 2:
            m_mouseProc({down ? MButtonDown : MButtonUp, 0});
            return;
        case 3:
            m_mouseProc({down ? RButtonDown : RButtonUp, 0});
            return;
        case 8:
            m_mouseProc({down ? XButtonDown : XButtonUp, 0x10000});
            return;
        case 9:
            m_mouseProc({down ? XButtonDown : XButtonUp, 0x20000});
            return;
        case 4:
        case 5:
        case 6:
        case 7:
            // A wheel step is a press and release in X and one message on
            // Windows; positive data scrolls up or right.
            if (down)
                m_mouseProc({Wheel, quint32((detail == 4 || detail == 7) ? 120 : -120) << 16});
            return;
        default:
            return;
        }
    }
    default:
        return;
    }
}

void XInputHook::quit()
{
    m_quit.store(true);
    if (m_quitFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_quitFd, &one, sizeof(one));
    }
}

void XInputHook::uninstall()
{
    m_keyboardProc = nullptr;
    m_mouseProc = nullptr;
    if (m_display) {
        selectEvents();
        closeHookDisplay(m_display);
        m_display = nullptr;
    }
}

} // namespace host
