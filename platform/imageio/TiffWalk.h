#pragma once

// The lean reader's walk of a TIFF structure: the first directory, and the
// EXIF and GPS directories it points to, in either byte order, read in
// bounded pieces. It reads what the full reader would read from them, and
// gives up (nothing) wherever the two could part: a malformed entry, a
// pointer of an odd type, two directories at one place, a size out of range.
// The full reader then reads the file as before.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

// The bytes a TIFF structure lives in, offsets counted from its header: the
// payload of a JPEG's EXIF segment (or a HEIF's EXIF item) in memory, or a
// whole TIFF file.
class TiffBytes {
public:
    explicit TiffBytes(const std::vector<uint8_t>& memory)
        : memory_(memory.data())
        , size_(memory.size())
    {
    }
    explicit TiffBytes(const FileWindow& file)
        : TiffBytes(file, 0, file.size())
    {
    }
    // The `size` bytes of the file from `start` on (a range the file holds),
    // read in place rather than copied out first.
    TiffBytes(const FileWindow& file, uint64_t start, uint64_t size)
        : file_(&file)
        , start_(start)
        , size_(size)
    {
    }

    uint64_t size() const { return size_; }
    bool read(uint64_t offset, size_t length, uint8_t* out) const;
    // The bytes from `offset` (at most size()) on, counted from there: a
    // maker note whose offsets count from its own start.
    TiffBytes from(uint64_t offset) const;

private:
    TiffBytes() = default;

    const uint8_t* memory_ = nullptr;
    const FileWindow* file_ = nullptr;
    uint64_t start_ = 0;
    uint64_t size_ = 0;
};

// What a TIFF file's own reader needs beyond the table's entries.
struct TiffImageFacts {
    bool hasDngVersion = false; // the first directory carries a DNG version
    long long pixelWidth = 0; // of the primary image; zero when unknown
    long long pixelHeight = 0;
    // Where the tag of each XMP packet entry (XMLPacket) of the first
    // directory is, counted from the structure's header.
    std::vector<uint64_t> xmpTags;
};

// Feeds the entries of the three directories to `collector`. Nothing when
// the structure is one the full reader must settle (the collector is then
// to be thrown away).
std::optional<TiffImageFacts> walkTiff(const TiffBytes& bytes, EntryCollector& collector);

} // namespace imageio
