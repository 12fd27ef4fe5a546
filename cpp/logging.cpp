#include "logging.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadWriteLock>
#include <QStandardPaths>
#include <QTextCodec>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <unistd.h>

#include "ostreltempfolder.h"
#include "privatefiles.h"

namespace {

// The open log file. Lines are written by the threads that log them, each
// with one write of its own to the file, opened for appending, so lines of
// different threads never mix and none waits for another's. Writers hold the
// lock for reading; opening, rotating and closing hold it for writing, so the
// descriptor never changes under a write.
// Made once and never destroyed: lines may come from static destructors and
// from threads that end after main has returned.
QReadWriteLock &logLock()
{
    static auto *const lock = new QReadWriteLock;
    return *lock;
}
QFile *g_logFile = nullptr;
// Counts the files opened, so that of the threads that find the file full
// only the first rotates it.
quint64 g_logGeneration = 0;
// The bytes written to, or claimed in, g_logFile: kept here rather than asked
// of the file system for every line. Claimed by each line before it is
// written, so the line that takes the size past the limit is the file's last.
std::atomic<qint64> g_logFileSize{0};

std::atomic<QtMessageHandler> g_previousHandler{nullptr};
std::atomic<QmlWarningReporter> g_qmlWarningReporter{nullptr};
std::atomic<bool> g_fileFailureReported{false};

constexpr int kLocationWidth = 30;
// The MIB number of UTF-8.
constexpr int kUtf8Mib = 106;
constexpr qint64 kPruneAgeSecs = 3 * 24 * 60 * 60;

// Problems of the log file itself go straight to standard error, once; going
// through the message framework would re-enter the handler.
void reportFileFailureOnce(const QString &what)
{
    if (g_fileFailureReported.exchange(true))
        return;
    std::fprintf(stderr, "tavri: log file not written: %s\n", what.toLocal8Bit().constData());
    std::fflush(stderr);
}

const char *levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug   ";
    case QtWarningMsg:
        return "warning ";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal   ";
    default:
        return "unknown ";
    }
}

// The source file's name without folders (either separator), with "(line)"
// when the line is known, padded to 30 characters and never cut.
QString location(const QMessageLogContext &context)
{
    QString where;
    if (context.file) {
        where = QString::fromUtf8(context.file);
        const int slash = qMax(where.lastIndexOf(QLatin1Char('/')), where.lastIndexOf(QLatin1Char('\\')));
        if (slash >= 0)
            where = where.mid(slash + 1);
    }
    if (context.line > 0)
        where += QLatin1Char('(') + QString::number(context.line) + QLatin1Char(')');
    return where.leftJustified(kLocationWidth, QLatin1Char(' '));
}

// Each thread's caches of the texts that lines share. A thread's caches are
// destroyed as it ends (the main thread's as the process exits), yet lines
// may still come from it afterwards: from a later destructor of its own
// thread-local objects or from a static object's destructor. Then `t_cachesGone`,
// which needs no destruction, says so, and such a line is made without them.
thread_local bool t_cachesGone = false;

struct KnownLocation {
    bool valid = false;
    bool hasFile = false;
    QByteArray file;
    int line = 0;
    QByteArray text;
};

struct KnownSecond {
    qint64 utcSecond = std::numeric_limits<qint64>::min();
    QByteArray text;
};

struct KnownTimestamp {
    qint64 day = -1;
    int second = -1;
    QString text;
};

struct ThreadCaches {
    static constexpr int kLocationSlots = 16;
    KnownLocation locations[kLocationSlots];
    KnownSecond second;
    KnownTimestamp timestamp;
    ~ThreadCaches() { t_cachesGone = true; }
};

// The calling thread's caches, or null once they are destroyed.
ThreadCaches *threadCaches()
{
    if (t_cachesGone)
        return nullptr;
    thread_local ThreadCaches caches;
    return &caches;
}

// The location as UTF-8. Lines come in runs from a few places (a handler
// that writes two lines writes them in turn), so each thread keeps the last
// location of each of a few slots, chosen by the line number. Without the
// caches the text is made in `scratch`.
const QByteArray &locationUtf8(const QMessageLogContext &context, QByteArray &scratch)
{
    ThreadCaches *caches = threadCaches();
    if (!caches) {
        scratch = location(context).toUtf8();
        return scratch;
    }
    KnownLocation &last = caches->locations[unsigned(context.line) % ThreadCaches::kLocationSlots];
    // Compared by content: a caller's buffer may be used again for another name.
    const bool same = last.valid && last.line == context.line && last.hasFile == (context.file != nullptr)
                      && (!context.file || std::strcmp(context.file, last.file.constData()) == 0);
    if (!same) {
        last.valid = true;
        last.hasFile = context.file != nullptr;
        last.file = QByteArray(context.file ? context.file : "");
        last.line = context.line;
        last.text = location(context).toUtf8();
    }
    return last.text;
}

// "yyyy-MM-dd hh:mm:ss.zzz". The part up to the seconds is made once per
// second and thread: spelling out a date is the dearest part of a line.
QString timestamp(const QDateTime &when);

// The same for the current time, without a local-time conversion for each
// line: the local second is worked out once per second of the clock (zones
// change their offsets only at whole seconds). Gives the text up to the
// seconds' point and sets `millis`.
const QByteArray &currentSecondText(int *millis, QByteArray &scratch)
{
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
    *millis = int(msecs - second * 1000);
    ThreadCaches *caches = threadCaches();
    if (!caches) {
        // Qt's date texts may be gone as well: the C library's are not.
        const time_t seconds = time_t(second);
        tm parts{};
        char text[32];
        if (localtime_r(&seconds, &parts) && std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S.", &parts) > 0)
            scratch = QByteArray(text);
        else
            scratch = QByteArray::number(second) + '.';
        return scratch;
    }
    KnownSecond &last = caches->second;
    if (second != last.utcSecond) {
        last.utcSecond = second;
        const QString text = timestamp(QDateTime::fromMSecsSinceEpoch(second * 1000));
        last.text = text.left(text.size() - 3).toLatin1();
    }
    return last.text;
}

// One line as UTF-8: the time `when` (followed by three digits of `millis`
// unless that is negative), the category, level, location and message, and
// a line feed when asked for. Made in one piece: a line is made for every
// message of every thread.
QByteArray buildLogLine(QtMsgType type, const QMessageLogContext &context, const QByteArray &message,
                        const QByteArray &when, int millis, bool lineFeed)
{
    const char *category = context.category ? context.category : "";
    const int categorySize = int(std::strlen(category));
    const char *level = levelWord(type);
    const int levelSize = int(std::strlen(level));
    QByteArray scratch;
    const QByteArray &where = locationUtf8(context, scratch);
    const int size = when.size() + (millis >= 0 ? 3 : 0) + categorySize + levelSize + where.size() + message.size()
                     + 4 * 2 + (lineFeed ? 1 : 0);
    QByteArray line(size, Qt::Uninitialized);
    char *out = line.data();
    const auto put = [&out](const char *text, int count) {
        std::memcpy(out, text, size_t(count));
        out += count;
    };
    const auto separator = [&out] {
        *out++ = ':';
        *out++ = ' ';
    };
    put(when.constData(), when.size());
    if (millis >= 0) {
        *out++ = char('0' + millis / 100);
        *out++ = char('0' + millis / 10 % 10);
        *out++ = char('0' + millis % 10);
    }
    separator();
    put(category, categorySize);
    separator();
    put(level, levelSize);
    separator();
    put(where.constData(), where.size());
    separator();
    put(message.constData(), message.size());
    if (lineFeed)
        *out++ = '\n';
    return line;
}

QString timestamp(const QDateTime &when)
{
    const QDate date = when.date();
    const int msecs = when.time().msecsSinceStartOfDay();
    ThreadCaches *caches = threadCaches();
    if (!caches || !date.isValid() || msecs < 0)
        return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    KnownTimestamp &last = caches->timestamp;
    if (date.toJulianDay() != last.day || msecs / 1000 != last.second) {
        last.day = date.toJulianDay();
        last.second = msecs / 1000;
        last.text = when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss."));
    }
    const int millis = msecs % 1000;
    QString result;
    result.reserve(last.text.size() + 3);
    result += last.text;
    result += QLatin1Char(char('0' + millis / 100));
    result += QLatin1Char(char('0' + millis / 10 % 10));
    result += QLatin1Char(char('0' + millis % 10));
    return result;
}

// A new file name from the current time. Two files started within the same
// second get a numeric suffix, so that rotation never truncates the file it
// has just closed.
QString newLogFileName(const QString &folder)
{
    const QString stem = folder + QStringLiteral("/tavri-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd--hh-mm-ss"));
    QString name = stem + QStringLiteral(".txt");
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".txt");
    return name;
}

// Called with the lock held for writing.
void closeLogFile()
{
    if (g_logFile) {
        g_logFile->close();
        delete g_logFile;
        g_logFile = nullptr;
    }
    g_logFileSize.store(0, std::memory_order_relaxed);
}

// Called with the lock held for writing: opens a new file. A failure leaves
// no file; the next message tries again.
void openLogFile()
{
    const QString folder = sdkLogDirectory();
    if (folder.isEmpty()) {
        reportFileFailureOnce(QStringLiteral("the log folder cannot be used"));
        return;
    }
    pruneOldLogs(folder);
    auto *file = new QFile(newLogFileName(folder));
    // Unbuffered and appending: every line goes to the file in one write of
    // its own thread, at the file's end, as it is logged.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        reportFileFailureOnce(file->fileName() + QStringLiteral(": ") + file->errorString());
        delete file;
        return;
    }
    g_logFile = file;
    ++g_logGeneration;
    g_logFileSize.store(0, std::memory_order_relaxed);
}

// Writes all of `size` bytes to the descriptor; false when that fails.
bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes one whole line to the log file, rotating first when the file has
// grown past the limit: a line goes into the current file while the file
// held no more than the limit before it.
void writeFileLine(const QByteArray &line)
{
    for (;;) {
        quint64 full = 0;
        {
            QReadLocker lock(&logLock());
            if (g_logFile) {
                const qint64 before = g_logFileSize.fetch_add(line.size(), std::memory_order_relaxed);
                if (before <= kLogRotationBytes) {
                    if (!writeAll(g_logFile->handle(), line.constData(), line.size())) {
                        const int error = errno;
                        reportFileFailureOnce(g_logFile->fileName() + QStringLiteral(": ")
                                              + QString::fromLocal8Bit(std::strerror(error)));
                    }
                    return;
                }
                full = g_logGeneration;
            }
        }
        QWriteLocker lock(&logLock());
        // Another thread may have rotated meanwhile; then this line goes to
        // its new file.
        if (g_logFile && g_logGeneration != full)
            continue;
        closeLogFile();
        openLogFile();
        if (!g_logFile)
            return; // reported once; the next line tries again
    }
}

// The console copy, in one write, after any output the stream holds.
void writeConsoleLine(FILE *stream, const char *data, int size)
{
    flockfile(stream);
    fwrite_unlocked(data, 1, size_t(size), stream);
    fflush_unlocked(stream);
    funlockfile(stream);
}

// Whether a message goes to the previous handler as well: it holds
// "Error: ", "Assertion Failure" or "Fail" (the second holds the third, so
// looking for "Fail" finds both). One pass over the text.
bool looksLikeAFailure(const QString &message)
{
    static const QLatin1String error("Error: ");
    static const QLatin1String fail("Fail");
    const QChar *text = message.constData();
    const int size = message.size();
    const auto startsAt = [text, size](int at, QLatin1String word) {
        if (size - at < word.size())
            return false;
        for (int i = 1; i < word.size(); ++i)
            if (text[at + i].unicode() != uchar(word.at(i).toLatin1()))
                return false;
        return true;
    };
    for (int at = 0; at < size; ++at) {
        const ushort c = text[at].unicode();
        if ((c == 'E' && startsAt(at, error)) || (c == 'F' && startsAt(at, fail)))
            return true;
    }
    return false;
}

} // namespace

QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &message, const QDateTime &when)
{
    return QString::fromUtf8(buildLogLine(type, context, message.toUtf8(), timestamp(when).toLatin1(), -1, false));
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    int millis = 0;
    QByteArray scratch;
    const QByteArray &second = currentSecondText(&millis, scratch);
    const QByteArray utf8 = message.toUtf8();
    const QByteArray line = buildLogLine(type, context, utf8, second, millis, true);
    writeFileLine(line);
    FILE *const stream = type == QtDebugMsg ? stdout : stderr;
    // The console takes the local encoding; where that is UTF-8 (as almost
    // everywhere) the bytes are the end of the file's line.
    const QTextCodec *local = QTextCodec::codecForLocale();
    if (local && local->mibEnum() == kUtf8Mib) {
        const int from = line.size() - utf8.size() - 1;
        writeConsoleLine(stream, line.constData() + from, line.size() - from);
    } else {
        const QByteArray console = message.toLocal8Bit() + '\n';
        writeConsoleLine(stream, console.constData(), console.size());
    }

    if (looksLikeAFailure(message)) {
        if (QtMessageHandler previous = g_previousHandler.load())
            previous(type, context,
                     QString::fromLatin1(second) + QString::number(millis).rightJustified(3, QLatin1Char('0'))
                         + QLatin1Char(' ') + location(context) + QStringLiteral("  ") + message);
    }

    if (type == QtWarningMsg && message.startsWith(QLatin1String("qrc:/"))
        && !message.contains(QLatin1String("QML Image: Error downloading"))
        && !message.contains(QLatin1String("QML Image: Connection timed out"))
        && !message.contains(QLatin1String("QML Image: Connection closed"))) {
        if (QmlWarningReporter report = g_qmlWarningReporter.load())
            report(message);
    }
}

bool installLogMessageHandler(int appLogLevel)
{
    if (appLogLevel == 0)
        return false;
    const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    // Installing twice must not make the handler its own predecessor.
    if (previous != logMessageHandler)
        g_previousHandler.store(previous);
    return true;
}

QString currentLogFilePath()
{
    QReadLocker lock(&logLock());
    return g_logFile ? g_logFile->fileName() : QString();
}

QString sdkLogDirectory()
{
    return QString::fromStdString(ostrel::temporarySubfolder("OstrelLogs"));
}

void pruneOldLogs(const QString &folder)
{
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-kPruneAgeSecs);
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("tavri-*.txt"), QStringLiteral("ox-*.txt")},
                                                           QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &info : files) {
        if (info.lastModified() < cutoff)
            QFile::remove(info.absoluteFilePath());
    }
}

QString setupChatLogFolder()
{
    const QString prefix = QStringLiteral("TavriApplication::setupLogging");
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    QString folder;
    for (const QString &location : locations) {
        const QFileInfo candidate(location + QStringLiteral("/logs"));
        qDebug() << prefix << "checking for logs directory in:" << candidate.absoluteFilePath();
        // Private chats are never written through a link to somewhere else.
        if (candidate.isSymLink()) {
            PrivateFiles::narrow(candidate.absoluteFilePath()); // logs it once
            continue;
        }
        if (candidate.isDir() && candidate.isReadable()) {
            folder = candidate.canonicalFilePath();
            qDebug() << prefix << "using logging directory:" << folder;
            break;
        }
        qDebug() << prefix << "logs directory doesn't exist yet, checking next..." << candidate.canonicalFilePath();
    }
    if (folder.isEmpty()) {
        for (const QString &location : locations) {
            // The whole path is made: on a fresh account the data location
            // itself does not exist yet, and chat logs would have no folder.
            const QString path = location + QStringLiteral("/logs");
            if (!PrivateFiles::isLink(path) && QDir().mkpath(path)) {
                folder = QFileInfo(location + QStringLiteral("/logs")).canonicalFilePath();
                qDebug() << prefix << "using created logging directory:" << folder;
                break;
            }
            qDebug() << prefix << "unable to create logs directory in:" << QFileInfo(location).canonicalFilePath();
        }
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        PrivateFiles::narrowTree(folder);
        qDebug() << prefix << "logging directory set up to:" << folder;
    } else {
        qDebug() << prefix << "could not set up logging directory...";
    }
    return folder;
}

void setQmlWarningReporter(QmlWarningReporter reporter)
{
    g_qmlWarningReporter.store(reporter);
}

QString cutForLog(const QString &text, int maxCharacters)
{
    if (text.size() <= maxCharacters)
        return text;
    return text.left(maxCharacters) + QStringLiteral("... (%1 characters)").arg(text.size());
}
