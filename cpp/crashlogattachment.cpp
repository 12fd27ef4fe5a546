#include "crashlogattachment.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <zlib.h>

#include "ostreltempfolder.h"

namespace {

void appendLittleEndian32(QByteArray &out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// The raw deflate stream (no zlib header or trailer) of data at level 9.
// Empty only when zlib fails, which with in-memory buffers means no memory.
QByteArray rawDeflate(const QByteArray &data)
{
    z_stream stream = {};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return QByteArray();
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return QByteArray();
    out.truncate(int(produced));
    return out;
}

// Log files are "tavri-<yyyy-MM-dd--hh-mm-ss>.txt"; a second file begun in
// the same second carries "-1", "-2"... before the extension.
int sameSecondNumber(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^tavri-\\d{4}-\\d\\d-\\d\\d--\\d\\d-\\d\\d-\\d\\d-(\\d{1,9})\\.txt$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// Newest first; files of the same modification time in the order the
// program made them.
void sortNewestFirst(QFileInfoList &files)
{
    std::stable_sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const qint64 ta = a.lastModified().toMSecsSinceEpoch();
        const qint64 tb = b.lastModified().toMSecsSinceEpoch();
        if (ta != tb)
            return ta > tb;
        return sameSecondNumber(a.fileName()) > sameSecondNumber(b.fileName());
    });
}

bool canEnter(const QString &folder)
{
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

} // namespace

QByteArray CrashLogAttachment::crc32Bytes(const QByteArray &data)
{
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
    QByteArray out;
    appendLittleEndian32(out, quint32(crc));
    return out;
}

QByteArray CrashLogAttachment::gzipWrap(const QByteArray &data)
{
    static const char header[] = {'\x1F', '\x8B', '\x08', '\x00', '\x00', '\x00', '\x00', '\x00', '\x02', '\xFF'};
    QByteArray out(header, int(sizeof header));
    out.append(rawDeflate(data));
    out.append(crc32Bytes(data));
    appendLittleEndian32(out, quint32(data.size()));
    return out;
}

QString CrashLogAttachment::crashDumpDirectory()
{
    const std::string base = ostrel::temporaryFolder();
    if (base.empty())
        return QString();
    // Only the last level is made here; the platform library makes the rest
    // when it writes a report.
    QDir dumps(QString::fromStdString(base) + QStringLiteral("/Ostrel/Dumps"));
    dumps.mkdir(QStringLiteral("tavri"));
    return dumps.filePath(QStringLiteral("tavri"));
}

void CrashLogAttachment::attach(const QString &logFolder, const QString &dumpFolder, const QString &currentLog)
{
    const QDir logs(logFolder);
    qDebug() << "Scanning log directory:" << logs.absolutePath();
    if (logFolder.isEmpty() || logs.entryList().size() < 2) {
        qDebug() << "No historical application log, aborting append to metadata";
        return;
    }

    const QDir dumps(dumpFolder);
    qDebug() << "Scanning crashdump directory:" << dumps.absolutePath();
    if (!canEnter(dumpFolder) || dumps.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) {
        qDebug() << "No crash metadata file to append to...";
        return;
    }

    // The newest log that is not this run's own.
    QFileInfoList logFiles = logs.entryInfoList({QStringLiteral("tavri-*.txt")}, QDir::Files | QDir::NoSymLinks);
    const QString current = currentLog.isEmpty() ? QString() : QFileInfo(currentLog).absoluteFilePath();
    logFiles.erase(std::remove_if(logFiles.begin(), logFiles.end(),
                                  [&](const QFileInfo &file) { return file.absoluteFilePath() == current; }),
                   logFiles.end());
    if (logFiles.isEmpty()) {
        qDebug() << "No preceding logfile to attach to crash...";
        return;
    }
    sortNewestFirst(logFiles);
    const QFileInfo previous = logFiles.first();
    qDebug() << "Found previous logfile:" << previous.fileName();

    qDebug() << "Opening" << previous.absoluteFilePath() << "for reading...";
    QFile logFile(previous.absoluteFilePath());
    if (!logFile.open(QIODevice::ReadOnly)) {
        qDebug() << "Unable to open previous logfile";
        return;
    }
    if (logFile.size() > maximumFileBytes) {
        qDebug() << "Previous logfile too large to attach:" << logFile.size() << "bytes";
        return;
    }
    const QByteArray log = logFile.readAll();
    logFile.close();
    const QByteArray attachment = gzipWrap(log);

    QFileInfoList metadataFiles = dumps.entryInfoList({QStringLiteral("*.xml")}, QDir::Files | QDir::NoSymLinks);
    if (metadataFiles.isEmpty()) {
        qDebug() << "No crash metadata file to append to...";
        return;
    }
    sortNewestFirst(metadataFiles);
    const QFileInfo metadata = metadataFiles.first();
    qDebug() << "Found latest crash metadata file:" << metadata.fileName();

    QFile metadataFile(metadata.absoluteFilePath());
    if (!metadataFile.open(QIODevice::ReadOnly)) {
        qDebug() << "Unable to open crash metadata file...";
        return;
    }
    QDomDocument document;
    if (metadataFile.size() > maximumFileBytes || !document.setContent(&metadataFile)) {
        qDebug() << "Unable to import crash metadata file into XML document...";
        return;
    }
    metadataFile.close();

    // The report's root element; a declaration or comment in front of it
    // does not move the attachment elsewhere.
    QDomElement root = document.documentElement();
    if (root.isNull()) {
        qDebug() << "Unable to import crash metadata file into XML document...";
        return;
    }
    if (!root.firstChildElement(QStringLiteral("ApplicationLog")).isNull())
        return;
    QDomElement element = document.createElement(QStringLiteral("ApplicationLog"));
    element.appendChild(document.createTextNode(QString::fromLatin1(attachment.toBase64())));
    root.appendChild(element);

    // A ".new" left by an earlier run (or put there by anyone else) is never
    // written through: it goes, and the new file must be made afresh.
    const QString target = metadata.absoluteFilePath();
    const QString fresh = target + QStringLiteral(".new");
    QFile::remove(fresh);
    QFile newFile(fresh);
    if (!newFile.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qDebug() << "Unable to write crash metadata file...";
        return;
    }
    const QByteArray content = document.toByteArray(1);
    const bool written = newFile.write(content) == content.size() && newFile.flush();
    newFile.close();
    if (!written || newFile.error() != QFileDevice::NoError) {
        qDebug() << "Unable to write crash metadata file...";
        newFile.remove();
        return;
    }
    QFile::remove(target);
    QFile::rename(fresh, target);
}
