#pragma once

#include <string_view>

namespace viewer {

// Writes whole texts to a file descriptor and keeps the reason of the first
// write that failed (a full disk, a closed pipe), so the program can report
// lost output instead of ending as if all was well. Nothing is buffered: a
// script reading the answers sees each one as soon as it is written.
class LineOutput {
public:
    explicit LineOutput(int fd)
        : fd_(fd)
    {
    }

    // False once a write has failed; later writes are dropped.
    bool write(std::string_view text);
    // The errno of the first failed write, or 0.
    int error() const { return error_; }

private:
    int fd_;
    int error_ = 0;
};

} // namespace viewer
