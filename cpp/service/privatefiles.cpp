#include "privatefiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Logs one warning per path and kind of problem.
void warnOnce(const QString &path, const char *problem)
{
    static QMutex mutex;
    static QSet<QString> warned;
    QMutexLocker locker(&mutex);
    const QString key = QString::fromLatin1(problem) + QLatin1Char('\n') + path;
    if (warned.contains(key))
        return;
    warned.insert(key);
    qWarning().noquote() << "PrivateFiles:" << path << problem;
}

} // namespace

void PrivateFiles::restrictNewFiles()
{
    ::umask(S_IRWXG | S_IRWXO);
}

bool PrivateFiles::isLink(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool PrivateFiles::narrow(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0)
        return errno == ENOENT;
    if (S_ISLNK(status.st_mode)) {
        warnOnce(path, "is a link; it is not followed and its target is left as it is");
        return false;
    }
    if (status.st_uid != ::geteuid()) {
        warnOnce(path, "belongs to another user; its mode is left as it is");
        return false;
    }
    const mode_t wider = status.st_mode & (S_IRWXG | S_IRWXO);
    if (wider == 0)
        return true;
    if (::chmod(name.constData(), status.st_mode & 07777 & ~(S_IRWXG | S_IRWXO)) != 0) {
        warnOnce(path, "cannot be made private");
        return false;
    }
    return true;
}

void PrivateFiles::replaceForeignLink(const QString &path)
{
    if (!isLink(path))
        return;
    const QString target = QFileInfo(path).canonicalFilePath();
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath() + QLatin1Char('/');
    struct stat status;
    const bool ours = !target.isEmpty() && target.startsWith(home)
                      && ::stat(QFile::encodeName(target).constData(), &status) == 0 && status.st_uid == ::geteuid();
    if (ours)
        return;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        warnOnce(path, "is a link out of the user's folders and cannot be read; it is left as it is");
        return;
    }
    const QByteArray content = source.readAll();
    source.close();
    // Written beside the link first, so that a failure leaves the link intact.
    const QString copy = path + QStringLiteral(".private-copy");
    QFile::remove(copy);
    QFile file(copy);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)
        || file.write(content) != content.size() || !file.flush()) {
        file.remove();
        warnOnce(path, "is a link out of the user's folders and cannot be replaced");
        return;
    }
    file.close();
    if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(copy);
        warnOnce(path, "is a link out of the user's folders and cannot be replaced");
        return;
    }
    warnOnce(path, "was a link out of the user's folders; it is now a private copy of what it pointed to");
}

void PrivateFiles::narrowTree(const QString &folder)
{
    if (!narrow(folder) || !QFileInfo(folder).isDir())
        return;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink())
            narrow(entry.filePath()); // logs the link once, never enters it
        else if (entry.isDir())
            narrowTree(entry.filePath());
        else
            narrow(entry.filePath());
    }
}

void PrivateFiles::narrowProgramFiles(const QString &settingsFile)
{
    if (!settingsFile.isEmpty()) {
        narrow(QFileInfo(settingsFile).path());
        narrow(settingsFile);
    }
    for (const auto location : {QStandardPaths::AppDataLocation, QStandardPaths::CacheLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (folder.isEmpty())
            continue;
        // The organization's folder above the program's is the program's too.
        const QFileInfo parent(QFileInfo(folder).path());
        if (parent.fileName() == QCoreApplication::organizationName())
            narrow(parent.filePath());
        narrowTree(folder);
    }
}
