#include "machinedescription.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace host {

namespace {

// DMI strings are short; anything longer than this is cut.
constexpr int kMaxValueBytes = 4096;

// Reads one small file, keeping errno on failure (QFile does not expose it).
QString readValue(const QString &path, int &error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return QString();
    }
    QByteArray bytes(kMaxValueBytes, Qt::Uninitialized);
    int used = 0;
    while (used < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + used, size_t(bytes.size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            ::close(fd);
            return QString();
        }
        if (n == 0)
            break;
        used += int(n);
    }
    ::close(fd);
    bytes.truncate(used);
    return QString::fromUtf8(bytes).trimmed();
}

} // namespace

QString MachineDescription::defaultDmiFolder()
{
    return QStringLiteral("/sys/class/dmi/id");
}

MachineDescription::Result MachineDescription::read(const QString &dmiFolder)
{
    Result result;
    const QDir folder(dmiFolder);
    int vendorError = 0;
    int productError = 0;
    result.manufacturer = readValue(folder.filePath(QStringLiteral("sys_vendor")), vendorError);
    result.model = readValue(folder.filePath(QStringLiteral("product_name")), productError);
    result.error = vendorError ? vendorError : productError;
    return result;
}

} // namespace host
