#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace quorix::cli {

// Why the file at `path` cannot be described, as an errno value, or 0 when
// it can: it must exist, not be a directory (EISDIR), and a regular file must
// open and read. Nothing of the file is changed or kept open.
int pathError(const std::string& path);

// Reports a path that cannot be described as "quorix: PATH: REASON" on `err`,
// with the system's text for the reason. `out` is flushed first, so the
// message stands after what came before it when both go to one terminal.
void reportPathError(const std::string& path, int error, std::ostream& out, std::ostream& err);
// The same with a reason of the command's own.
void reportPathError(const std::string& path, std::string_view reason, std::ostream& out, std::ostream& err);

} // namespace quorix::cli
