#pragma once

// The segments of a JPEG before its first scan, each found where the last one
// ended. Segments follow one another without a gap (fill bytes of 0xFF
// aside): a stream whose next marker is not where its last segment ended is
// damaged, and what follows cannot be told from junk, so the walk stops.
// The picture's size, the EXIF segment and an embedded preview's own size
// are all found this way, in a file or in memory.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace imageio {

// A photo has a few dozen segments before its first scan; a stream with
// thousands (each a read of its own) is walked no further.
constexpr int kMostJpegSegments = 4096;

// SOF0 to SOF15 but DHT (c4), JPG (c8) and DAC (cc): a frame header.
constexpr bool isStartOfFrame(uint8_t marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

struct JpegSegment {
    uint8_t marker = 0;
    uint64_t at = 0; // where its two length bytes start
    uint16_t length = 0; // the length those bytes give, themselves included
};

// An in-memory stream read as a FileWindow is.
class MemoryBytes {
public:
    explicit MemoryBytes(std::span<const uint8_t> bytes)
        : bytes_(bytes)
    {
    }
    bool contains(uint64_t offset, uint64_t length) const
    {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    bool read(uint64_t offset, size_t length, uint8_t* out) const
    {
        if (!contains(offset, length))
            return false;
        std::memcpy(out, bytes_.data() + offset, length);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

// The first segment with a length for which `wanted(segment)` is true, from
// the start-of-image marker on. Nothing when the stream is no JPEG, the scan
// or the end of the image comes first, a segment overruns the bytes, or
// kMostJpegSegments are passed. `Bytes` is a FileWindow or MemoryBytes.
template <class Bytes, class Wanted>
std::optional<JpegSegment> findJpegSegment(const Bytes& bytes, Wanted&& wanted)
{
    uint8_t head[2] {};
    if (!bytes.read(0, 2, head) || head[0] != 0xff || head[1] != 0xd8)
        return std::nullopt;
    uint64_t position = 2;
    for (int segments = 0; segments < kMostJpegSegments; ++segments) {
        uint8_t marker = 0;
        if (!bytes.read(position++, 1, &marker) || marker != 0xff)
            return std::nullopt;
        while (marker == 0xff) {
            if (!bytes.read(position++, 1, &marker))
                return std::nullopt;
        }
        if (marker == 0xda || marker == 0xd9)
            return std::nullopt; // the scan, or the end of the image
        // TEM and the restart markers have no length.
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
            continue;
        if (!bytes.read(position, 2, head))
            return std::nullopt;
        const JpegSegment segment { marker, position, bigEndian16(head) };
        if (segment.length < 2 || !bytes.contains(position, segment.length))
            return std::nullopt;
        if (wanted(segment))
            return segment;
        position += segment.length;
    }
    return std::nullopt;
}

// The width and height a JPEG stream's frame header gives; nothing when it
// has none before its scan, or one of them is zero (a height given later,
// in a DNL segment, is not read).
template <class Bytes>
std::optional<PixelDimensions> jpegFrameSize(const Bytes& bytes)
{
    const auto frame = findJpegSegment(bytes, [](const JpegSegment& segment) { return isStartOfFrame(segment.marker); });
    // Length, precision, height, width.
    uint8_t header[7] {};
    if (!frame || frame->length < sizeof header || !bytes.read(frame->at, sizeof header, header))
        return std::nullopt;
    const long long height = bigEndian16(header + 3);
    const long long width = bigEndian16(header + 5);
    if (width == 0 || height == 0)
        return std::nullopt;
    return PixelDimensions { width, height };
}

} // namespace imageio
