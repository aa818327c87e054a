#pragma once

// Bounded reads of one regular file: the first window is read once when the
// file is opened, anything else by pread of exactly the bytes asked for.
// A range that is not wholly inside the file is refused, never clipped.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace imageio {

class FileWindow {
public:
    // Nothing when the path cannot be opened or is not a regular file.
    static std::optional<FileWindow> open(const std::string& path);

    FileWindow(FileWindow&& other) noexcept;
    FileWindow& operator=(FileWindow&&) = delete;
    FileWindow(const FileWindow&) = delete;
    ~FileWindow();

    uint64_t size() const { return size_; }
    // Copies [offset, offset + length) to `out`; false when the range is not
    // wholly inside the file or cannot be read.
    bool read(uint64_t offset, size_t length, uint8_t* out) const;
    bool read(uint64_t offset, size_t length, std::vector<uint8_t>& out) const;
    // The bytes of [offset, offset + length): in place when the first window
    // holds them, else read into `spill`. Empty when the range cannot be read.
    std::span<const uint8_t> bytes(uint64_t offset, size_t length, std::vector<uint8_t>& spill) const;
    // Whether [offset, offset + length) lies inside the file.
    bool contains(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }

private:
    FileWindow(int descriptor, uint64_t size);

    int descriptor_ = -1;
    uint64_t size_ = 0;
    // The first bytes of the file, left uninitialised until read: zeroing
    // 64 KiB first would cost as much again as reading them.
    std::unique_ptr<uint8_t[]> head_;
    size_t headSize_ = 0;
};

// Big- and little-endian numbers at the start of `bytes`.
inline uint16_t bigEndian16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }
inline uint32_t bigEndian32(const uint8_t* bytes)
{
    return (uint32_t { bytes[0] } << 24) | (uint32_t { bytes[1] } << 16) | (uint32_t { bytes[2] } << 8) | bytes[3];
}
inline uint64_t bigEndian64(const uint8_t* bytes) { return (uint64_t { bigEndian32(bytes) } << 32) | bigEndian32(bytes + 4); }
inline uint32_t littleEndian32(const uint8_t* bytes)
{
    return (uint32_t { bytes[3] } << 24) | (uint32_t { bytes[2] } << 16) | (uint32_t { bytes[1] } << 8) | bytes[0];
}

} // namespace imageio
