#include "LineOutput.h"

#include <cerrno>
#include <unistd.h>

namespace viewer {

bool LineOutput::write(std::string_view text)
{
    while (!text.empty() && error_ == 0) {
        ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            error_ = errno;
        else if (written == 0)
            error_ = EIO; // a write that takes nothing and names no error
        else
            text.remove_prefix(static_cast<size_t>(written));
    }
    return error_ == 0;
}

} // namespace viewer
