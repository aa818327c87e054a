#include "viewer/LineOutput.h"

#include "foundation/FileDescriptor.h"

namespace viewer {

bool LineOutput::write(std::string_view text)
{
    if (error_ == 0)
        error_ = foundation::writeFully(fd_, text);
    return error_ == 0;
}

} // namespace viewer
