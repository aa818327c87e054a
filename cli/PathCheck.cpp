#include "cli/PathCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace quorix::cli {

int pathError(const std::string& path)
{
    struct stat entry {};
    if (::stat(path.c_str(), &entry) != 0)
        return errno;
    if (S_ISDIR(entry.st_mode))
        return EISDIR;
    // Only regular files are opened: a FIFO or a device could block or lose
    // the data read from it. What the reader makes of those is its own affair.
    if (!S_ISREG(entry.st_mode))
        return 0;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    char byte = 0;
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::pread(fd, &byte, 1, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        error = errno;
    ::close(fd);
    return error;
}

void reportPathError(const std::string& path, int error, std::ostream& out, std::ostream& err)
{
    reportPathError(path, std::strerror(error), out, err);
}

void reportPathError(const std::string& path, std::string_view reason, std::ostream& out, std::ostream& err)
{
    out.flush();
    err << "quorix: " << path << ": " << reason << '\n';
}

} // namespace quorix::cli
