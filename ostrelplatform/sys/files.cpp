#include "sys/files.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

namespace OstrelSystem {
namespace sys {

LibraryString read_text_file(const char *path)
{
    LibraryString text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, static_cast<std::uint32_t>(count));
    }
    ::close(fd);
    return text;
}

LibraryString executable_path()
{
    // A program path longer than PATH_MAX cannot be opened by name either;
    // it gives an empty path and the report is skipped.
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path)
        return LibraryString();
    return LibraryString(path, static_cast<std::uint32_t>(length));
}

} // namespace sys
} // namespace OstrelSystem
