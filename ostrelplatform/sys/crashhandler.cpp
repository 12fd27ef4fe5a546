#include "sys/crashhandler.h"

#include "crashsettings.h"
#include "platformalloc.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

namespace OstrelSystem {
namespace sys {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kStackBytes = 64 * 1024;
constexpr int kMaxFrames = 128;

enum StreamKind : std::uint32_t {
    kStreamContext = 1,
    kStreamStack = 2,
    kStreamBacktrace = 3,
    kStreamMaps = 4,
    kStreamThreadName = 5,
};

// Everything the handler touches, prepared before any crash.
struct Prepared {
    char *folder = nullptr; // NUL-terminated, no trailing '/'
    std::size_t folderLength = 0;
    std::size_t existingLength = 0;
    char *path = nullptr;     // scratch for folder levels and file names
    char *metadata = nullptr; // head, then room for the stamp and the tail
    std::size_t headLength = 0;
    const char *tail = nullptr;
    std::size_t tailLength = 0;
    const CrashSettings *settings = nullptr;
};

Prepared g_prepared;
struct sigaction g_previous[kSignalCount];
std::atomic<bool> g_installed{false};
std::atomic<pid_t> g_writer{0};
std::atomic<bool> g_reportDone{false};

// Static buffers: a crash may come from inside malloc.
unsigned char g_stackCopy[kStackBytes];
char g_copyBuffer[4096];
void *g_frames[kMaxFrames];

// Initial-exec: reading it in the handler never allocates thread storage.
thread_local bool t_guarded __attribute__((tls_model("initial-exec"))) = false;

bool write_all(int fd, const void *data, std::size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

template <typename T>
void put(unsigned char *to, std::size_t offset, T value)
{
    std::memcpy(to + offset, &value, sizeof value);
}

// Signed decimal without leading zeros; returns the length.
std::size_t format_decimal(char *out, std::int64_t value)
{
    char digits[24];
    std::size_t count = 0;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    std::size_t length = 0;
    if (value < 0)
        out[length++] = '-';
    while (count)
        out[length++] = digits[--count];
    return length;
}

void write_stream_header(int fd, std::uint32_t kind, std::uint64_t size)
{
    unsigned char header[16] = {};
    put(header, 0, kind);
    put(header, 8, size);
    write_all(fd, header, sizeof header);
}

std::uintptr_t stack_pointer(const ucontext_t *context)
{
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(context->uc_mcontext.sp);
#else
    (void)context;
    return 0;
#endif
}

std::uint16_t elf_machine()
{
#if defined(__x86_64__)
    return 62;
#elif defined(__i386__)
    return 3;
#elif defined(__aarch64__)
    return 183;
#else
    return 0;
#endif
}

// Copies up to 64 KiB from the stack pointer, page by page, so that the copy
// stops at the end of the mapping instead of faulting.
std::size_t copy_stack(std::uintptr_t from)
{
    if (from == 0)
        return 0;
    constexpr std::size_t kPage = 4096;
    iovec local[kStackBytes / kPage + 1];
    iovec remote[kStackBytes / kPage + 1];
    std::size_t count = 0;
    std::size_t offset = 0;
    std::uintptr_t address = from;
    while (offset < kStackBytes) {
        std::size_t chunk = kPage - address % kPage;
        if (chunk > kStackBytes - offset)
            chunk = kStackBytes - offset;
        local[count] = {g_stackCopy + offset, chunk};
        remote[count] = {reinterpret_cast<void *>(address), chunk};
        ++count;
        offset += chunk;
        address += chunk;
    }
    const ssize_t copied = ::process_vm_readv(::getpid(), local, count, remote, count, 0);
    return copied > 0 ? static_cast<std::size_t>(copied) : 0;
}

void write_dump(int fd, int signal, const siginfo_t *info, void *context, std::int64_t stamp)
{
    ucontext_t own;
    if (!context) {
        ::getcontext(&own);
        context = &own;
    }
    const auto *ucontext = static_cast<const ucontext_t *>(context);

    unsigned char header[64] = {};
    std::memcpy(header, "OXMDUMP1", 8);
    put<std::uint32_t>(header, 8, sizeof header);
    put<std::uint32_t>(header, 12,
                       static_cast<std::uint32_t>(g_prepared.settings ? g_prepared.settings->dumpType() : 0));
    put<std::int64_t>(header, 16, stamp);
    put<std::uint32_t>(header, 24, static_cast<std::uint32_t>(::getpid()));
    put<std::uint32_t>(header, 28, static_cast<std::uint32_t>(::gettid()));
    put<std::uint32_t>(header, 32, static_cast<std::uint32_t>(info ? signal : 0));
    put<std::int32_t>(header, 36, info ? info->si_code : 0);
    put<std::uint64_t>(header, 40, info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0);
    put<std::uint16_t>(header, 48, elf_machine());
    put<std::uint16_t>(header, 50, sizeof(void *));
    put<std::uint32_t>(header, 52, 5);
    write_all(fd, header, sizeof header);

    write_stream_header(fd, kStreamContext, sizeof ucontext->uc_mcontext);
    write_all(fd, &ucontext->uc_mcontext, sizeof ucontext->uc_mcontext);

    const std::uintptr_t sp = stack_pointer(ucontext);
    const std::size_t stackBytes = copy_stack(sp);
    write_stream_header(fd, kStreamStack, 8 + stackBytes);
    const std::uint64_t start = sp;
    write_all(fd, &start, sizeof start);
    write_all(fd, g_stackCopy, stackBytes);

    const int frames = ::backtrace(g_frames, kMaxFrames);
    write_stream_header(fd, kStreamBacktrace, 8ull * static_cast<std::uint64_t>(frames > 0 ? frames : 0));
    for (int i = 0; i < frames; ++i) {
        const std::uint64_t address = reinterpret_cast<std::uintptr_t>(g_frames[i]);
        write_all(fd, &address, sizeof address);
    }

    // The maps text's size is known only once it is copied: write the
    // stream header first and fix its size afterwards.
    const off_t mapsHeader = ::lseek(fd, 0, SEEK_CUR);
    write_stream_header(fd, kStreamMaps, 0);
    std::uint64_t mapsSize = 0;
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
        for (;;) {
            const ssize_t count = ::read(maps, g_copyBuffer, sizeof g_copyBuffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0 || !write_all(fd, g_copyBuffer, static_cast<std::size_t>(count)))
                break;
            mapsSize += static_cast<std::uint64_t>(count);
        }
        ::close(maps);
    }
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (mapsHeader >= 0 && end >= 0 && ::lseek(fd, mapsHeader + 8, SEEK_SET) == mapsHeader + 8) {
        write_all(fd, &mapsSize, sizeof mapsSize);
        ::lseek(fd, end, SEEK_SET);
    }

    char name[17] = {};
    ::prctl(PR_GET_NAME, name, 0, 0, 0);
    const std::size_t nameLength = ::strnlen(name, 16);
    write_stream_header(fd, kStreamThreadName, nameLength);
    write_all(fd, name, nameLength);
}

// Creates the dumps folder level by level below the existing temporary
// folder. Every level must be a real folder of this user, never a link.
bool make_folder_tree()
{
    const uid_t user = ::geteuid();
    std::memcpy(g_prepared.path, g_prepared.folder, g_prepared.folderLength + 1);
    for (std::size_t i = g_prepared.existingLength + 1; i <= g_prepared.folderLength; ++i) {
        if (i != g_prepared.folderLength && g_prepared.path[i] != '/')
            continue;
        g_prepared.path[i] = '\0';
        ::mkdir(g_prepared.path, 0700);
        struct stat status;
        const bool usable = ::lstat(g_prepared.path, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == user;
        g_prepared.path[i] = i == g_prepared.folderLength ? '\0' : '/';
        if (!usable)
            return false;
    }
    return true;
}

int open_report_file(const char *stamp, std::size_t stampLength, const char *extension)
{
    char *path = g_prepared.path;
    std::memcpy(path, g_prepared.folder, g_prepared.folderLength);
    std::size_t length = g_prepared.folderLength;
    path[length++] = '/';
    std::memcpy(path + length, stamp, stampLength);
    length += stampLength;
    std::memcpy(path + length, extension, 5);
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void restore_previous_actions()
{
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction action = g_previous[i];
        if (!(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_IGN)
            action.sa_handler = SIG_DFL; // an ignored fault would recur forever
        ::sigaction(kSignals[i], &action, nullptr);
    }
}

// Passes a crash of an unguarded thread on to what was there before.
void chain(int signal, siginfo_t *info, void *context)
{
    for (int i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] != signal)
            continue;
        const struct sigaction &previous = g_previous[i];
        if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
            previous.sa_sigaction(signal, info, context);
            return;
        }
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
            return;
        }
        struct sigaction fallback = {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(signal, &fallback, nullptr);
        if (info && info->si_code <= 0)
            ::raise(signal);
        return;
    }
}

void crash_filter(int signal, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    if (!t_guarded) {
        chain(signal, info, context);
        errno = savedErrno;
        return;
    }
    const pid_t self = ::gettid();
    pid_t expected = 0;
    if (g_writer.compare_exchange_strong(expected, self)) {
        write_crash_report(signal, info, context);
        restore_previous_actions();
        g_reportDone.store(true);
    } else if (expected == self) {
        restore_previous_actions(); // the report itself crashed: give it up
    } else {
        // Another thread is writing the one report of this process; wait
        // for it, so the files are never interleaved. It then restores the
        // previous actions and the process goes down there.
        const struct timespec pause = {0, 1000000};
        while (!g_reportDone.load())
            ::nanosleep(&pause, nullptr);
    }
    // Returning re-runs a faulting instruction under the restored action; a
    // signal that was sent (abort, kill) has to be sent again.
    if (info && info->si_code <= 0)
        ::raise(signal);
    errno = savedErrno;
}

char *copy_out(const LibraryString &text, std::size_t extra)
{
    char *copy = static_cast<char *>(platform_alloc(static_cast<unsigned>(text.length() + extra + 1)));
    if (copy) {
        std::memcpy(copy, text.data(), text.length());
        copy[text.length()] = '\0';
    }
    return copy;
}

} // namespace

bool install_crash_handler(const LibraryString &folder, std::uint32_t existingLength, const LibraryString &head,
                           const LibraryString &tail, const CrashSettings *settings)
{
    if (g_installed.load() || folder.isEmpty())
        return g_installed.load();
    if (static_cast<std::uint64_t>(folder.length()) + head.length() + tail.length() > 0x7fffffffu)
        return false;
    constexpr std::size_t kStampRoom = 24 + 8; // a signed 64-bit decimal and the extension
    Prepared prepared;
    prepared.folder = copy_out(folder, 0);
    prepared.path = copy_out(folder, kStampRoom);
    prepared.metadata = copy_out(head, kStampRoom + tail.length());
    char *tailCopy = copy_out(tail, 0);
    if (!prepared.folder || !prepared.path || !prepared.metadata || !tailCopy) {
        platform_free(prepared.folder);
        platform_free(prepared.path);
        platform_free(prepared.metadata);
        platform_free(tailCopy);
        return false;
    }
    prepared.folderLength = folder.length();
    prepared.existingLength = existingLength < folder.length() ? existingLength : folder.length();
    prepared.headLength = head.length();
    prepared.tail = tailCopy;
    prepared.tailLength = tail.length();
    prepared.settings = settings;
    g_prepared = prepared;

    // The unwinder loads on its first use; do that now, not in a handler.
    ::backtrace(g_frames, kMaxFrames);

    struct sigaction action = {};
    action.sa_sigaction = crash_filter;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    g_installed.store(true);
    return true;
}

bool set_thread_guarded(bool guarded)
{
    const bool previous = t_guarded;
    t_guarded = guarded;
    return previous;
}

void write_crash_report(int signal, const siginfo_t *info, void *context)
{
    if (!g_prepared.folder)
        return;
    const std::int64_t stamp = static_cast<std::int64_t>(::time(nullptr));
    char *stampText = g_prepared.metadata + g_prepared.headLength;
    const std::size_t stampLength = format_decimal(stampText, stamp);

    if (!make_folder_tree())
        return;
    const int dump = open_report_file(stampText, stampLength, ".dmp");
    if (dump < 0)
        return; // no dump file, no report
    write_dump(dump, signal, info, context, stamp);
    ::close(dump);

    std::memcpy(stampText + stampLength, g_prepared.tail, g_prepared.tailLength);
    const std::size_t metadataLength = g_prepared.headLength + stampLength + g_prepared.tailLength;
    const int metadata = open_report_file(stampText, stampLength, ".xml");
    if (metadata < 0)
        return;
    write_all(metadata, g_prepared.metadata, metadataLength);
    ::close(metadata);
}

} // namespace sys
} // namespace OstrelSystem
