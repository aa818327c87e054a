#include "imageio/PngWalk.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace imageio {

namespace {

constexpr std::string_view kSignature { "\x89PNG\r\n\x1a\n", 8 };
// A photo has a handful of chunks besides its image data, which encoders
// write in pieces of 8 to 64 KiB; each header past the first window is a
// read of its own, so a file of more chunks than this is left to the full
// reader.
constexpr int kMostChunks = 1 << 16;
// The full reader reads no chunk longer than this.
constexpr uint32_t kLongestChunk = 0x7fffffff;
// EXIF data and text chunks are a few KiB in photos; larger ones are not read
// into memory.
constexpr uint32_t kLargestRead = 1 << 20;
constexpr size_t kHeaderSize = 8; // length and type
constexpr size_t kCrcSize = 4;

using ChunkType = std::array<char, 4>;

bool is(const ChunkType& type, std::string_view name) { return std::string_view(type.data(), type.size()) == name; }

// A text chunk's keyword under which the full reader finds EXIF, IPTC or XMP
// data ("Raw profile type exif", "XML:com.adobe.xmp", ...).
bool namesMetadata(std::string_view keyword)
{
    auto startsWith = [keyword](std::string_view prefix) {
        if (keyword.size() < prefix.size())
            return false;
        for (size_t i = 0; i < prefix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(keyword[i])) != prefix[i])
                return false;
        }
        return true;
    };
    return startsWith("raw profile type") || startsWith("xml:com.adobe.xmp");
}

} // namespace

bool isPngSignature(const uint8_t* head, size_t length)
{
    return length >= kSignature.size() && std::memcmp(head, kSignature.data(), kSignature.size()) == 0;
}

std::optional<PngContents> walkPng(const FileWindow& file)
{
    // The full reader takes the pixel size from where the header chunk puts
    // it, before it walks the chunks, and gives up on a file too short to hold it.
    constexpr uint64_t kShortestReadable = 8 + kHeaderSize + 8;
    if (file.size() < kShortestReadable)
        return std::nullopt;
    PngContents contents;
    bool foundExif = false;
    uint64_t position = kSignature.size();
    for (int chunks = 0; chunks < kMostChunks; ++chunks) {
        uint8_t header[kHeaderSize] {};
        if (!file.read(position, sizeof header, header))
            return std::nullopt; // no IEND: the full reader fails on the missing header
        const uint32_t length = bigEndian32(header);
        ChunkType type {};
        std::memcpy(type.data(), header + 4, type.size());
        const uint64_t data = position + kHeaderSize;
        if (length > kLongestChunk || !file.contains(data, length))
            return std::nullopt;
        if (is(type, "IEND"))
            return contents;
        // The chunk's check value must be there too, or the full reader
        // finds no next header.
        if (!file.contains(data, uint64_t { length } + kCrcSize))
            return std::nullopt;
        if (is(type, "IHDR")) {
            if (length >= 8) {
                uint8_t size[8] {};
                if (!file.read(data, sizeof size, size))
                    return std::nullopt;
                contents.width = static_cast<int32_t>(bigEndian32(size));
                contents.height = static_cast<int32_t>(bigEndian32(size + 4));
            }
        } else if (is(type, "eXIf")) {
            if (foundExif || length > kLargestRead || !file.read(data, length, contents.exif))
                return std::nullopt;
            foundExif = true;
        } else if (is(type, "tEXt")) {
            // The keyword ends at the first NUL; a chunk without one is
            // damaged to the full reader.
            std::vector<uint8_t> text;
            if (length > kLargestRead || !file.read(data, length, text))
                return std::nullopt;
            auto end = std::find(text.begin(), text.end(), uint8_t { 0 });
            if (end == text.end() || namesMetadata(std::string_view(reinterpret_cast<const char*>(text.data()), static_cast<size_t>(end - text.begin()))))
                return std::nullopt;
        } else if (is(type, "zTXt") || is(type, "iTXt") || is(type, "iCCP")) {
            // Compressed, and read by the full reader with checks of its own.
            return std::nullopt;
        }
        position = data + length + kCrcSize;
    }
    return std::nullopt;
}

} // namespace imageio
