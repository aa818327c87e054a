#include "imageio/WebpWalk.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <string_view>

namespace imageio {

namespace {

constexpr size_t kRiffHeaderSize = 12; // "RIFF", size, "WEBP"
constexpr size_t kChunkHeaderSize = 8; // type, size
// A still image has a handful of chunks; more are left to the full reader.
constexpr int kMostChunks = 4096;
// EXIF data is a few KiB in photos; a larger chunk is not read into memory.
constexpr uint32_t kLargestExif = 1 << 20;
// A colour profile shorter than this is damaged to the full reader.
constexpr uint32_t kShortestProfile = 8;

constexpr std::string_view kExifHeader { "Exif\0\0", 6 };
constexpr std::string_view kLittleEndianTiff { "II*\0", 4 };
constexpr std::string_view kBigEndianTiff { "MM\0*", 4 };
// The full reader looks for these anywhere in an EXIF chunk, in this order,
// and reads the TIFF structure from the first one it finds.
constexpr std::string_view kJpegExifMarker { "\xff\x01\xff\xe1", 4 };
constexpr std::string_view kLittleEndianSearch { "II*", 3 };

uint32_t littleEndian24(const uint8_t* bytes) { return uint32_t { bytes[0] } | (uint32_t { bytes[1] } << 8) | (uint32_t { bytes[2] } << 16); }
uint32_t littleEndian16(const uint8_t* bytes) { return uint32_t { bytes[0] } | (uint32_t { bytes[1] } << 8); }

size_t find(const std::vector<uint8_t>& bytes, std::string_view pattern)
{
    auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end(),
        [](uint8_t byte, char wanted) { return byte == static_cast<uint8_t>(wanted); });
    return static_cast<size_t>(at - bytes.begin());
}

bool startsWith(const std::vector<uint8_t>& bytes, size_t at, std::string_view pattern)
{
    return bytes.size() >= at + pattern.size() && std::memcmp(bytes.data() + at, pattern.data(), pattern.size()) == 0;
}

// Where the TIFF structure of an EXIF chunk starts, if the full reader's
// search finds it there too.
std::optional<size_t> tiffStart(const std::vector<uint8_t>& exif)
{
    const size_t start = startsWith(exif, 0, kExifHeader) ? kExifHeader.size() : 0;
    if (find(exif, kJpegExifMarker) != exif.size())
        return std::nullopt;
    if (startsWith(exif, start, kLittleEndianTiff) && find(exif, kLittleEndianSearch) == start)
        return start;
    if (startsWith(exif, start, kBigEndianTiff) && find(exif, kLittleEndianSearch) == exif.size() && find(exif, kBigEndianTiff) == start)
        return start;
    return std::nullopt;
}

bool is(const uint8_t* type, std::string_view name) { return std::memcmp(type, name.data(), 4) == 0; }

// A chunk named like one of the format's own in another letter case: the
// full reader may take it for that chunk, so the walk leaves the file to it.
bool isKnownInAnotherCase(const uint8_t* type)
{
    constexpr std::string_view known[] = { "VP8X", "VP8 ", "VP8L", "EXIF", "XMP ", "ICCP", "ANIM", "ANMF", "ALPH" };
    for (std::string_view name : known) {
        if (!is(type, name) && strncasecmp(reinterpret_cast<const char*>(type), name.data(), 4) == 0)
            return true;
    }
    return false;
}

} // namespace

bool isWebpSignature(const uint8_t* head, size_t length)
{
    return length >= kRiffHeaderSize && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0;
}

std::optional<WebpContents> walkWebp(const FileWindow& file)
{
    uint8_t riff[kRiffHeaderSize] {};
    if (!file.read(0, sizeof riff, riff))
        return std::nullopt;
    // The container's end as its header gives it; it may not pass the file's.
    const uint64_t end = uint64_t { littleEndian32(riff + 4) } + 8;
    if (end > file.size())
        return std::nullopt;
    WebpContents contents;
    bool foundCanvas = false;
    bool foundExif = false;
    uint64_t position = kRiffHeaderSize;
    for (int chunks = 0; position < end; ++chunks) {
        uint8_t header[kChunkHeaderSize] {};
        if (chunks >= kMostChunks || !file.read(position, sizeof header, header))
            return std::nullopt;
        const uint8_t* type = header;
        const uint32_t size = littleEndian32(header + 4);
        const uint64_t data = position + kChunkHeaderSize;
        if (data > end || size > end - data || isKnownInAnotherCase(type))
            return std::nullopt;
        const bool canvas = !foundCanvas && (is(type, "VP8X") || is(type, "VP8 ") || is(type, "VP8L"));
        if (canvas) {
            // Each names the canvas in a layout of its own.
            uint8_t bytes[10] {};
            const size_t needed = is(type, "VP8L") ? 5 : 10;
            if (size < needed || !file.read(data, needed, bytes))
                return std::nullopt;
            if (is(type, "VP8X")) {
                contents.width = littleEndian24(bytes + 4) + 1LL;
                contents.height = littleEndian24(bytes + 7) + 1LL;
            } else if (is(type, "VP8 ")) {
                contents.width = littleEndian16(bytes + 6) & 0x3fff;
                contents.height = littleEndian16(bytes + 8) & 0x3fff;
            } else {
                const uint32_t bits = littleEndian32(bytes + 1);
                contents.width = (bits & 0x3fff) + 1LL;
                contents.height = ((bits >> 14) & 0x3fff) + 1LL;
            }
            foundCanvas = true;
        } else if (is(type, "EXIF")) {
            std::vector<uint8_t> exif;
            if (foundExif || size > kLargestExif || !file.read(data, size, exif))
                return std::nullopt;
            auto start = tiffStart(exif);
            if (!start)
                return std::nullopt;
            contents.exif.assign(exif.begin() + static_cast<std::ptrdiff_t>(*start), exif.end());
            foundExif = true;
        } else if (is(type, "ICCP")) {
            // A colour profile must state its own size, as a profile's
            // first four bytes do: the full reader gives up on a file whose
            // profile does not.
            uint8_t stated[4] {};
            if (size < kShortestProfile || !file.read(data, sizeof stated, stated) || bigEndian32(stated) != size)
                return std::nullopt;
        } else if (is(type, "XMP ") || (!foundCanvas && is(type, "ANMF"))) {
            return std::nullopt;
        }
        // Chunks are padded to an even length.
        position = data + size;
        position += position % 2;
    }
    return contents;
}

} // namespace imageio
