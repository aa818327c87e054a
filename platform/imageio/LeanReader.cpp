#include "imageio/LeanReader.h"

#include "imageio/BmffWalk.h"
#include "imageio/FileWindow.h"
#include "imageio/JpegSegments.h"
#include "imageio/PictureSize.h"
#include "imageio/PngWalk.h"
#include "imageio/TiffWalk.h"
#include "imageio/TypeIdentifiers.h"
#include "imageio/WebpWalk.h"

#include <array>
#include <cstring>
#include <strings.h>
#include <vector>

namespace imageio {

namespace {

// JPEG markers.
constexpr uint8_t kStartOfScan = 0xda;
constexpr uint8_t kEndOfImage = 0xd9;
constexpr uint8_t kApp1 = 0xe1;
constexpr uint8_t kApp2 = 0xe2;
constexpr uint8_t kApp13 = 0xed;
constexpr uint8_t kComment = 0xfe;

// Markers followed by a length; the others stand alone, and the search for
// the next marker goes on right after them.
bool hasLength(uint8_t marker)
{
    return (marker >= 0xc0 && marker <= 0xcf) || (marker >= 0xe0 && marker <= 0xef) || marker == 0xdb || marker == 0xdd
        || marker == kComment || marker == kStartOfScan;
}

// Markers the full reader takes for a frame header while it has no pixel
// size: every one of 0xC0 to 0xCF but the Huffman tables, so the JPG and
// arithmetic-conditioning markers too. One of these shorter than a frame
// header makes it stop reading, with no EXIF found after it.
bool fullReaderTakesForFrame(uint8_t marker) { return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4; }

bool startsWith(const uint8_t* bytes, std::string_view text) { return std::memcmp(bytes, text.data(), text.size()) == 0; }

constexpr std::string_view kExifSignature { "Exif\0\0", 6 };
constexpr std::string_view kXmpSignature { "http://ns.adobe.com/xap/1.0/\0", 29 };
// The full reader takes an APP2 segment for a colour profile on these
// eleven bytes alone, whatever the twelfth.
constexpr std::string_view kIccSignature { "ICC_PROFILE" };
constexpr std::string_view kPhotoshopSignature { "Photoshop 3.0\0", 14 };

// Whether the full reader accepts a colour profile held in one APP2 segment
// (`chunk` of `chunks`, stating `statedSize`, `bytes` after the segment's
// header). A profile in several segments is pieced together by it, and any
// second one is left to it. It checks the profile once a segment's chunk
// number equals the count: the profile must be at least 8 bytes and state
// its own size. A lone "1 of 1" profile is taken at its stated size, so it
// must fit in the segment; any other is taken whole.
bool profileHolds(uint8_t chunk, uint8_t chunks, uint32_t statedSize, uint32_t bytes)
{
    constexpr uint32_t kShortestProfile = 8;
    if (chunk != chunks)
        return true;
    if (chunk == 1)
        return statedSize >= kShortestProfile && statedSize <= bytes;
    return statedSize >= kShortestProfile && statedSize == bytes;
}

// The next marker from `position` on, as the full reader finds it: bytes up
// to a 0xFF are skipped, then any number of 0xFF fill bytes. Nothing when
// the file ends first.
std::optional<uint8_t> nextMarker(const FileWindow& file, uint64_t& position)
{
    // Bytes are read one at a time; a long run of filler (beyond the first
    // window, each byte a read of its own) is left to the full reader.
    constexpr int kMostFiller = 4096;
    int filler = 0;
    uint8_t byte = 0;
    do {
        if (++filler > kMostFiller || !file.read(position++, 1, &byte))
            return std::nullopt;
    } while (byte != 0xff);
    do {
        if (++filler > kMostFiller || !file.read(position++, 1, &byte))
            return std::nullopt;
    } while (byte == 0xff);
    return byte;
}

// A JPEG: the segments before the first scan, walked as the full reader
// walks them. The first EXIF segment brings the entries; the pixel size is
// the frame header's, read as both readers read it.
std::optional<ImageContents> readJpeg(const FileWindow& file)
{
    EntryCollector collector;
    bool foundFrame = false;
    bool foundExif = false;
    bool foundXmp = false;
    bool foundPhotoshop = false;
    bool foundProfile = false;
    // Comment segments read while no comment with text was found: the full
    // reader reads each until one holds text, and each uses up a search.
    int commentsRead = 0;
    bool foundCommentText = false;
    uint64_t position = 2;
    auto marker = nextMarker(file, position);
    // Photos have a few dozen segments before their scan; thousands of tiny
    // ones (each a read of its own) are left to the full reader.
    constexpr int kMostSegments = 4096;
    for (int segments = 0;; ++segments) {
        // A file that ends before its scan, or hides its next marker behind
        // a long run of filler, is left to the full reader.
        if (!marker || segments > kMostSegments)
            return std::nullopt;
        if (*marker == kStartOfScan || *marker == kEndOfImage)
            break;
        if (!hasLength(*marker)) {
            marker = nextMarker(file, position);
            continue;
        }
        std::array<uint8_t, 36> head {};
        const uint64_t available = file.size() - position;
        if (available < 2 || !file.read(position, static_cast<size_t>(std::min<uint64_t>(available, head.size())), head.data()))
            return std::nullopt;
        const uint16_t size = bigEndian16(head.data());
        // Segments that overrun the file or are too short for what they
        // are make the full reader stop or give up: it settles them.
        if (size < 2 || size > available)
            return std::nullopt;
        const uint8_t* body = head.data() + 2;
        if (*marker == kApp1 && !foundExif && startsWith(body, kExifSignature)) {
            if (size < 8)
                return std::nullopt;
            if (!file.contains(position + 8, size - 8u) || !walkTiff(TiffBytes(file, position + 8, size - 8u), collector))
                return std::nullopt;
            foundExif = true;
        } else if (*marker == kApp1 && !foundXmp && startsWith(body, kXmpSignature)) {
            if (size < 2 + kXmpSignature.size())
                return std::nullopt;
            foundXmp = true;
        } else if (*marker == kApp13 && startsWith(body, kPhotoshopSignature)) {
            // Photoshop resources (IPTC) hold nothing the table shows.
            if (size < 16)
                return std::nullopt;
            foundPhotoshop = true;
        } else if (*marker == kApp2 && startsWith(body, kIccSignature)) {
            if (size < 2 + 14 + 4 || foundProfile || !profileHolds(body[12], body[13], bigEndian32(body + 14), size - 2u - 14u))
                return std::nullopt;
            foundProfile = true;
        } else if (!foundFrame && fullReaderTakesForFrame(*marker)) {
            if (size < 8)
                return std::nullopt;
            foundFrame = bigEndian16(body + 1) != 0;
        } else if (*marker == kComment && !foundCommentText) {
            // A comment's text ends at its first NUL, so one that starts
            // with a NUL is read as empty.
            ++commentsRead;
            foundCommentText = size > 2 && body[0] != 0;
        }
        // The full reader stops looking after six finds: one each of EXIF,
        // XMP, a colour profile, a frame header and a complete set of
        // Photoshop resources, and every comment it read while it had none
        // with text. What it would then have missed, and whether the
        // resources are complete, is left to it.
        constexpr int kFullReaderSearches = 6;
        const int searches = foundExif + foundXmp + foundProfile + foundFrame + foundPhotoshop + commentsRead;
        if (searches >= kFullReaderSearches)
            return std::nullopt;
        position += size;
        marker = nextMarker(file, position);
    }
    const auto size = jpegPictureSize(file).value_or(PictureSize {});
    return ImageContents { "public.jpeg", collector.finish(size.stored.width, size.stored.height) };
}

bool isTiffHeader(const uint8_t* head)
{
    return (std::memcmp(head, "II*\0", 4) == 0) || (std::memcmp(head, "MM\0*", 4) == 0);
}

// A TIFF file, or a raw built on TIFF. Canon's CR2 carries TIFF's signature
// too, but the full reader has a reader of its own for it.
std::optional<ImageContents> readTiff(const FileWindow& file, const std::string& path)
{
    uint8_t head[12] {};
    if (!file.read(0, sizeof head, head) || std::memcmp(head + 8, "CR\x02\0", 4) == 0)
        return std::nullopt;
    EntryCollector collector;
    auto facts = walkTiff(TiffBytes(file), collector);
    if (!facts)
        return std::nullopt;
    return ImageContents { tiffTypeIdentifier(facts->hasDngVersion, path), collector.finish(facts->pixelWidth, facts->pixelHeight) };
}

// A HEIC, HEIF or AVIF still image: its EXIF item, sized by its primary
// item. Canon's CR3 and
// JPEG XL share the container but are left to the full reader.
std::optional<ImageContents> readBmff(const FileWindow& file, const std::string& path)
{
    // The full reader takes any file named *.tga for a Targa image before it
    // looks for this container.
    if (path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".tga") == 0)
        return std::nullopt;
    // The full reader gives up on such a file shorter than this.
    constexpr uint64_t kShortestContainer = 80;
    uint8_t head[64] {};
    const size_t length = static_cast<size_t>(std::min<uint64_t>(file.size(), sizeof head));
    if (file.size() < kShortestContainer || !file.read(0, length, head))
        return std::nullopt;
    auto type = bmffTypeIdentifier(head, length);
    if (!type || (*type != "public.heic" && *type != "public.heif" && *type != "public.avif"))
        return std::nullopt;
    auto contents = walkBmff(file);
    if (!contents)
        return std::nullopt;
    EntryCollector collector;
    if (!contents->exif.empty() && !walkTiff(TiffBytes(contents->exif), collector))
        return std::nullopt;
    const auto size = heifPictureSize(file).value_or(PictureSize {});
    return ImageContents { std::move(*type), collector.finish(size.stored.width, size.stored.height, size.shown) };
}

// The entries of a container's EXIF data (a TIFF structure, or none) and the
// pixel size the container gives.
std::optional<ImageContents> withExif(std::string type, const std::vector<uint8_t>& exif, long long width, long long height)
{
    EntryCollector collector;
    if (!exif.empty() && !walkTiff(TiffBytes(exif), collector))
        return std::nullopt;
    return ImageContents { std::move(type), collector.finish(width, height) };
}

// A PNG: the pixel size of its header chunk and the entries of its eXIf chunk.
std::optional<ImageContents> readPng(const FileWindow& file)
{
    auto contents = walkPng(file);
    return contents ? withExif("public.png", contents->exif, contents->width, contents->height) : std::nullopt;
}

// A WebP: the canvas size and the entries of its EXIF chunk.
std::optional<ImageContents> readWebp(const FileWindow& file)
{
    auto contents = walkWebp(file);
    return contents ? withExif("org.webmproject.webp", contents->exif, contents->width, contents->height) : std::nullopt;
}

} // namespace

namespace {

// The tags of the XMP packet entries of a TIFF structure that starts at
// `tiffAt` in the file.
void addTiffXmpMarks(const TiffBytes& tiff, uint64_t tiffAt, std::vector<XmpMark>& marks)
{
    EntryCollector unused;
    if (auto facts = walkTiff(tiff, unused)) {
        for (uint64_t tag : facts->xmpTags)
            marks.push_back({ tiffAt + tag, 2 });
    }
}

// The marks of a JPEG's segments before its first scan: its XMP signatures,
// and the XMP packet entries of its first EXIF segment.
void addJpegXmpMarks(const FileWindow& file, std::vector<XmpMark>& marks)
{
    uint64_t position = 2;
    bool foundExif = false;
    constexpr int kMostSegments = 4096;
    for (int segments = 0; segments <= kMostSegments; ++segments) {
        auto marker = nextMarker(file, position);
        if (!marker || *marker == kStartOfScan || *marker == kEndOfImage)
            return;
        if (!hasLength(*marker))
            continue;
        std::array<uint8_t, 2 + kXmpSignature.size()> head {};
        const uint64_t available = file.size() - position;
        if (available < 2 || !file.read(position, static_cast<size_t>(std::min<uint64_t>(available, head.size())), head.data()))
            return;
        const uint16_t size = bigEndian16(head.data());
        if (size < 2 || size > available)
            return;
        if (*marker == kApp1 && size >= head.size() && startsWith(head.data() + 2, kXmpSignature)) {
            marks.push_back({ position + 2, 1 });
        } else if (*marker == kApp1 && !foundExif && size >= 8 && startsWith(head.data() + 2, kExifSignature)) {
            foundExif = true;
            addTiffXmpMarks(TiffBytes(file, position + 8, size - 8u), position + 8, marks);
        }
        position += size;
    }
}

} // namespace

std::vector<XmpMark> xmpMarks(const FileWindow& file)
{
    std::vector<XmpMark> marks;
    try {
        uint8_t head[12] {};
        const size_t length = static_cast<size_t>(std::min<uint64_t>(file.size(), sizeof head));
        if (length < 4 || !file.read(0, length, head))
            return marks;
        if (head[0] == 0xff && head[1] == 0xd8) {
            addJpegXmpMarks(file, marks);
        } else if (isTiffHeader(head)) {
            addTiffXmpMarks(TiffBytes(file), 0, marks);
        } else if (auto contents = walkBmff(file)) {
            for (uint64_t type : contents->xmpItemTypes)
                marks.push_back({ type, 4 });
            addTiffXmpMarks(TiffBytes(contents->exif), contents->exifAt, marks);
        }
    } catch (...) {
        // Out of memory: no marks, and the full reader gives up as before.
    }
    return marks;
}

std::optional<ImageContents> readLean(const std::string& path)
{
    try {
        auto file = FileWindow::open(path);
        if (!file)
            return std::nullopt;
        uint8_t head[12] {};
        const size_t length = static_cast<size_t>(std::min<uint64_t>(file->size(), sizeof head));
        if (length < 4 || !file->read(0, length, head))
            return std::nullopt;
        if (head[0] == 0xff && head[1] == 0xd8)
            return readJpeg(*file);
        // The full reader gives up on a TIFF or a WebP shorter than this,
        // whatever it holds.
        constexpr uint64_t kShortestTiffOrWebp = 16;
        if (isTiffHeader(head))
            return file->size() < kShortestTiffOrWebp ? std::nullopt : readTiff(*file, path);
        if (isPngSignature(head, length))
            return readPng(*file);
        if (isWebpSignature(head, length))
            return file->size() < kShortestTiffOrWebp ? std::nullopt : readWebp(*file);
        return readBmff(*file, path);
    } catch (...) {
        // Out of memory or a value the library refused: the full reader decides.
    }
    return std::nullopt;
}

} // namespace imageio
