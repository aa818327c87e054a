#include "foundation/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

namespace foundation {

int writeFully(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

} // namespace foundation
