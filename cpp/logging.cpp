#include "logging.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QTextCodec>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ostreltempfolder.h"
#include "privatefiles.h"

namespace {

// Guards the file and its size. Only the thread that writes for all (see
// writeQueuedLine) takes it, besides currentLogFilePath.
QBasicMutex g_logMutex;
QFile *g_logFile = nullptr;
// The bytes written to g_logFile: kept here rather than asked of the file
// system for every line.
qint64 g_logFileSize = 0;

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

// The location as UTF-8. Lines come in runs from a few places (a handler
// that writes two lines writes them in turn), so each thread keeps the last
// location of each of a few slots, chosen by the line number.
const QByteArray &locationUtf8(const QMessageLogContext &context)
{
    struct Known {
        bool valid = false;
        bool hasFile = false;
        QByteArray file;
        int line = 0;
        QByteArray text;
    };
    constexpr int kSlots = 16;
    thread_local Known known[kSlots];
    Known &last = known[unsigned(context.line) % kSlots];
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
const QByteArray &currentSecondText(int *millis)
{
    struct Second {
        qint64 utcSecond = std::numeric_limits<qint64>::min();
        QByteArray text;
    };
    thread_local Second last;
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
    if (second != last.utcSecond) {
        last.utcSecond = second;
        const QString text = timestamp(QDateTime::fromMSecsSinceEpoch(second * 1000));
        last.text = text.left(text.size() - 3).toLatin1();
    }
    *millis = int(msecs - second * 1000);
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
    const QByteArray &where = locationUtf8(context);
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
    struct Second {
        qint64 day = -1;
        int second = -1;
        QString text;
    };
    thread_local Second last;
    const QDate date = when.date();
    const int msecs = when.time().msecsSinceStartOfDay();
    if (!date.isValid() || msecs < 0)
        return when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
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

// Called under the lock.
void closeLogFile()
{
    if (g_logFile) {
        g_logFile->close();
        delete g_logFile;
        g_logFile = nullptr;
    }
    g_logFileSize = 0;
}

// Called under the lock: rotates past the size limit and opens a file when
// none is open. A failure leaves no file; the next message tries again.
void ensureLogFile()
{
    if (g_logFile && g_logFileSize > kLogRotationBytes)
        closeLogFile();
    if (g_logFile)
        return;
    const QString folder = sdkLogDirectory();
    if (folder.isEmpty()) {
        reportFileFailureOnce(QStringLiteral("the log folder cannot be used"));
        return;
    }
    pruneOldLogs(folder);
    auto *file = new QFile(newLogFileName(folder));
    // Unbuffered: every line goes to the file in one write as it is logged.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reportFileFailureOnce(file->fileName() + QStringLiteral(": ") + file->errorString());
        delete file;
        return;
    }
    g_logFile = file;
    g_logFileSize = 0;
}

// One log line: its bytes for the file, and for the console with the stream
// it goes to. Where the console copy is the end of the file's line (the
// message in UTF-8 and the line feed), it is not held twice.
struct QueuedLine {
    QByteArray file;
    QByteArray console;
    int consoleFrom = -1;
    FILE *stream = nullptr;

    const char *consoleData() const { return consoleFrom >= 0 ? file.constData() + consoleFrom : console.constData(); }
    int consoleSize() const { return consoleFrom >= 0 ? file.size() - consoleFrom : console.size(); }
};

// The bytes of lines that follow each other to one place, for one write:
// a single line is written from where it lies, more are gathered.
class Gathered
{
public:
    void add(const char *data, int size)
    {
        if (m_pieces == 1)
            m_chunk.append(m_first, m_firstSize);
        if (m_pieces == 0) {
            m_first = data;
            m_firstSize = size;
        } else {
            m_chunk.append(data, size);
        }
        ++m_pieces;
    }
    bool isEmpty() const { return m_pieces == 0; }
    const char *data() const { return m_pieces == 1 ? m_first : m_chunk.constData(); }
    int size() const { return m_pieces == 0 ? 0 : m_pieces == 1 ? m_firstSize : m_chunk.size(); }
    void clear()
    {
        m_pieces = 0;
        m_chunk.resize(0);
    }

private:
    int m_pieces = 0;
    const char *m_first = nullptr;
    int m_firstSize = 0;
    QByteArray m_chunk;
};

// Writes the console copies, in order; copies that follow each other on one
// stream go in one write.
void writeConsole(const QVector<QueuedLine> &lines)
{
    Gathered chunk;
    FILE *stream = nullptr;
    const auto writeChunk = [&chunk, &stream] {
        if (stream && !chunk.isEmpty()) {
            std::fwrite(chunk.data(), 1, size_t(chunk.size()), stream);
            std::fflush(stream);
        }
        chunk.clear();
    };
    for (const QueuedLine &line : lines) {
        if (line.stream != stream) {
            writeChunk();
            stream = line.stream;
        }
        chunk.add(line.consoleData(), line.consoleSize());
    }
    writeChunk();
}

// Writes lines, in order, each whole, and rotates where a line finds the
// file past the limit. Lines that follow each other in one file go in one
// write.
void writeLines(const QVector<QueuedLine> &lines)
{
    QMutexLocker lock(&g_logMutex);
    Gathered chunk;
    const auto writeChunk = [&chunk] {
        if (g_logFile && !chunk.isEmpty()) {
            const qint64 written = g_logFile->write(chunk.data(), chunk.size());
            if (written > 0)
                g_logFileSize += written;
        }
        chunk.clear();
    };
    for (const QueuedLine &line : lines) {
        if (!g_logFile || g_logFileSize + chunk.size() > kLogRotationBytes) {
            writeChunk();
            ensureLogFile();
        }
        if (g_logFile)
            chunk.add(line.file.constData(), line.file.size());
    }
    writeChunk();
}

// Lines of every thread queue up in the order they come. The thread that
// finds nobody writing writes the whole queue and wakes the others; a thread
// returns once its own line is in the file (the file is unbuffered, so it
// has reached the system) and on the console. Many threads thus share one
// write instead of waiting for one each.
struct LineQueue {
    QMutex mutex;
    QWaitCondition written;
    QVector<QueuedLine> lines;
    // The writer's batch, kept so that its storage is used again.
    QVector<QueuedLine> batch;
    quint64 taken = 0;
    quint64 done = 0;
    bool writing = false;
};

LineQueue &lineQueue()
{
    static LineQueue queue;
    return queue;
}

void writeQueuedLine(QueuedLine &&line)
{
    LineQueue &queue = lineQueue();
    QMutexLocker lock(&queue.mutex);
    queue.lines.append(std::move(line));
    const quint64 ticket = ++queue.taken;
    while (queue.done < ticket) {
        if (queue.writing) {
            queue.written.wait(&queue.mutex);
            continue;
        }
        queue.writing = true;
        QVector<QueuedLine> &batch = queue.batch;
        batch.swap(queue.lines);
        lock.unlock();
        writeLines(batch);
        writeConsole(batch);
        const int written = batch.size();
        // Emptied outside the lock; only the one writer touches it.
        batch.resize(0);
        lock.relock();
        queue.done += quint64(written);
        queue.writing = false;
        queue.written.wakeAll();
    }
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
    const QByteArray &second = currentSecondText(&millis);
    const QByteArray utf8 = message.toUtf8();
    QueuedLine queued;
    queued.file = buildLogLine(type, context, utf8, second, millis, true);
    // The console takes the local encoding; where that is UTF-8 (as almost
    // everywhere) the bytes are the end of the file's line.
    const QTextCodec *local = QTextCodec::codecForLocale();
    if (local && local->mibEnum() == kUtf8Mib) {
        queued.consoleFrom = queued.file.size() - utf8.size() - 1;
    } else {
        queued.console = message.toLocal8Bit();
        queued.console += '\n';
    }
    queued.stream = type == QtDebugMsg ? stdout : stderr;
    writeQueuedLine(std::move(queued));

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
    QMutexLocker lock(&g_logMutex);
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
