#pragma once

#include <QByteArray>
#include <QString>

// CrashLogAttachment: completes the crash report that the platform library
// left behind after a crash with the log of the run that crashed. The log is
// packed as one gzip member, encoded in Base64 and added to the report's
// XML metadata file as the element "ApplicationLog". Every outcome is a
// debug line, so that it lands in the new run's log.
class CrashLogAttachment
{
public:
    // The 4 little-endian bytes of the standard CRC-32 of data.
    static QByteArray crc32Bytes(const QByteArray &data);

    // data as one gzip member: fixed header (no name, time 0, maximum
    // compression, unknown system), raw deflate at level 9, CRC-32 and
    // length.
    static QByteArray gzipWrap(const QByteArray &data);

    // "Ostrel/Dumps/tavri" in the program's temporary folder, its last level
    // created when missing. Empty when the temporary folder cannot be used.
    static QString crashDumpDirectory();

    // Adds the newest "tavri-*.txt" of logFolder other than currentLog (this
    // run's log) to the newest "*.xml" of dumpFolder, unless that file holds
    // an attachment already. The new content is written to "<file>.new"
    // first and replaces the file only once written in full.
    static void attach(const QString &logFolder, const QString &dumpFolder, const QString &currentLog);

    // Crash metadata files larger than this are not parsed, and logs larger
    // than this are not attached.
    static constexpr qint64 maximumFileBytes = 64 * 1024 * 1024;

private:
    CrashLogAttachment() = delete;
};
