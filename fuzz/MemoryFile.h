#pragma once

// A fuzz input as a file the readers can open by path, kept in memory
// (memfd) so a run of millions of inputs never touches the disk.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size)
        : fd_(::memfd_create("quorix-fuzz", MFD_CLOEXEC))
    {
        size_t written = 0;
        while (fd_ >= 0 && written < size) {
            ssize_t got = ::write(fd_, data + written, size - written);
            if (got <= 0)
                break;
            written += static_cast<size_t>(got);
        }
    }
    ~MemoryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // A path that opens this file again, with the extension a name would have.
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_ = -1;
};
