#pragma once

#include <string_view>

namespace foundation {

// Writes all of `bytes` to the descriptor, again after interruptions and
// partial writes. Returns 0, or the errno of the write that failed (EIO for
// a write that took nothing and named no error).
int writeFully(int fd, std::string_view bytes);

} // namespace foundation
