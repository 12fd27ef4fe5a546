#include "ostreltempfolder.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

std::atomic<bool> g_reported{false};

void reportOnce(const std::string &path, const char *why)
{
    if (g_reported.exchange(true))
        return;
    std::fprintf(stderr, "ostrel: temporary folder '%s' cannot be used (%s); nothing is written there\n", path.c_str(),
                 why);
    std::fflush(stderr);
}

// Creates `path` with mode 0700 when missing and checks that it is a real
// folder owned by this user. Returns an empty reason on success.
const char *ensurePrivateFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return std::strerror(errno);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a link";
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    if (st.st_uid != ::geteuid())
        return "it belongs to another user";
    return nullptr;
}

} // namespace

std::string temporaryFolder()
{
    const char *env = std::getenv("TMPDIR");
    std::string base = (env && *env) ? env : "/tmp";
    char resolved[PATH_MAX];
    if (!::realpath(base.c_str(), resolved)) {
        reportOnce(base, std::strerror(errno));
        return std::string();
    }
    std::string folder = resolved;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    folder += "ostrel-" + std::to_string(static_cast<unsigned long>(::geteuid()));
    if (const char *why = ensurePrivateFolder(folder)) {
        reportOnce(folder, why);
        return std::string();
    }
    return folder;
}

std::string temporarySubfolder(const std::string &relative)
{
    std::string folder = temporaryFolder();
    if (folder.empty())
        return folder;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            reportOnce(folder + "/" + relative, "a level names the parent folder");
            return std::string();
        }
        folder += "/" + part;
        if (const char *why = ensurePrivateFolder(folder)) {
            reportOnce(folder, why);
            return std::string();
        }
    }
    return folder;
}

} // namespace ostrel
