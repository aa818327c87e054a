#include "imageio/FileWindow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace imageio {

namespace {

// Enough for the headers of most photos: JPEG segments up to the first
// scan, a TIFF's first directories, a HEIF's meta box.
constexpr size_t kHeadSize = 64 * 1024;

bool readFully(int descriptor, uint64_t offset, size_t length, uint8_t* out)
{
    while (length > 0) {
        ssize_t got = ::pread(descriptor, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

std::optional<FileWindow> FileWindow::open(const std::string& path)
{
    // Non-blocking, so a FIFO put in the file's place cannot stall the open.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status { };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    FileWindow window(descriptor, static_cast<uint64_t>(status.st_size));
    window.headSize_ = static_cast<size_t>(std::min<uint64_t>(window.size_, kHeadSize));
    window.head_ = std::make_unique_for_overwrite<uint8_t[]>(window.headSize_);
    if (!readFully(descriptor, 0, window.headSize_, window.head_.get()))
        return std::nullopt;
    return window;
}

FileWindow::FileWindow(int descriptor, uint64_t size)
    : descriptor_(descriptor)
    , size_(size)
{
}

FileWindow::FileWindow(FileWindow&& other) noexcept
    : descriptor_(other.descriptor_)
    , size_(other.size_)
    , head_(std::move(other.head_))
    , headSize_(std::exchange(other.headSize_, 0))
{
    other.descriptor_ = -1;
}

FileWindow::~FileWindow()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

bool FileWindow::read(uint64_t offset, size_t length, uint8_t* out) const
{
    if (!contains(offset, length))
        return false;
    if (length == 0)
        return true;
    if (offset + length <= headSize_) {
        std::memcpy(out, head_.get() + offset, length);
        return true;
    }
    return readFully(descriptor_, offset, length, out);
}

bool FileWindow::read(uint64_t offset, size_t length, std::vector<uint8_t>& out) const
{
    if (!contains(offset, length))
        return false;
    out.resize(length);
    return read(offset, length, out.data());
}

std::span<const uint8_t> FileWindow::bytes(uint64_t offset, size_t length, std::vector<uint8_t>& spill) const
{
    if (!contains(offset, length) || length == 0)
        return {};
    if (offset + length <= headSize_)
        return { head_.get() + offset, length };
    if (!read(offset, length, spill))
        return {};
    return spill;
}

} // namespace imageio
