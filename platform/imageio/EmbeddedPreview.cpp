#include "imageio/EmbeddedPreview.h"

#include "imageio/JpegSegments.h"
#include "imageio/PictureSize.h"
#include "imageio/TiffWalk.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace imageio {

namespace {

// A directory of more entries than this is none a camera writes.
constexpr uint16_t kMostEntries = 512;

constexpr uint8_t kApp1 = 0xe1;
constexpr uint16_t kCompression = 0x0103;
constexpr uint16_t kOrientation = 0x0112;
constexpr uint16_t kJpegInterchangeFormat = 0x0201;
constexpr uint16_t kJpegInterchangeFormatLength = 0x0202;
constexpr uint16_t kTiffShort = 3;
constexpr uint16_t kTiffLong = 4;
// The Compression value of a JPEG-compressed preview (old-style JPEG).
constexpr uint32_t kJpegCompression = 6;

// Where the first EXIF segment's TIFF structure lies in the file: its start
// and length. Segments are followed by their lengths up to the first scan.
std::optional<std::pair<uint64_t, uint64_t>> exifSegment(const FileWindow& file)
{
    constexpr size_t kSignature = 6; // "Exif\0\0"
    const auto segment = findJpegSegment(file, [&](const JpegSegment& candidate) {
        uint8_t signature[kSignature] {};
        return candidate.marker == kApp1 && candidate.length >= 2 + kSignature + 8
            && file.read(candidate.at + 2, kSignature, signature) && std::memcmp(signature, "Exif\0\0", kSignature) == 0;
    });
    if (!segment)
        return std::nullopt;
    return std::pair { segment->at + 2 + kSignature, uint64_t { segment->length } - 2 - kSignature };
}

// The TIFF structure's byte order, and the few entries a preview needs.
class Directories {
public:
    explicit Directories(const TiffBytes& bytes)
        : bytes_(bytes)
    {
    }

    // The first directory's offset, from the header.
    std::optional<uint32_t> first()
    {
        uint8_t head[8];
        if (!bytes_.read(0, sizeof head, head))
            return std::nullopt;
        if (head[0] == 'I' && head[1] == 'I')
            little_ = true;
        else if (head[0] == 'M' && head[1] == 'M')
            little_ = false;
        else
            return std::nullopt;
        if (u16(head + 2) != 42)
            return std::nullopt;
        return u32(head + 4);
    }

    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        uint32_t value = 0; // the first SHORT or LONG, held in the entry
    };
    struct Directory {
        std::vector<Entry> entries;
        uint32_t next = 0; // the next directory's offset; zero for none
    };

    std::optional<Directory> at(uint32_t offset)
    {
        uint8_t countBytes[2];
        if (offset < 8 || !bytes_.read(offset, 2, countBytes))
            return std::nullopt;
        const uint16_t count = u16(countBytes);
        if (count == 0 || count > kMostEntries)
            return std::nullopt;
        std::vector<uint8_t> raw(size_t { count } * 12 + 4);
        if (!bytes_.read(uint64_t { offset } + 2, raw.size(), raw.data()))
            return std::nullopt;
        Directory directory;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* field = raw.data() + i * 12;
            Entry entry { u16(field), u16(field + 2), u32(field + 4), 0 };
            if (entry.type == kTiffShort)
                entry.value = u16(field + 8);
            else if (entry.type == kTiffLong)
                entry.value = u32(field + 8);
            directory.entries.push_back(entry);
        }
        directory.next = u32(raw.data() + size_t { count } * 12);
        return directory;
    }

private:
    uint16_t u16(const uint8_t* p) const { return little_ ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : bigEndian16(p); }
    uint32_t u32(const uint8_t* p) const { return little_ ? littleEndian32(p) : bigEndian32(p); }

    const TiffBytes& bytes_;
    bool little_ = true;
};

// The single SHORT or LONG value of `tag`; nothing when it is missing, of
// another type, or given twice.
std::optional<uint32_t> valueOf(const Directories::Directory& directory, uint16_t tag)
{
    std::optional<uint32_t> found;
    for (const auto& entry : directory.entries) {
        if (entry.tag != tag)
            continue;
        if (found || entry.count != 1 || (entry.type != kTiffShort && entry.type != kTiffLong))
            return std::nullopt;
        found = entry.value;
    }
    return found;
}

// A big-endian number of `size` bytes (0, 2, 4 or 8) at `at` in `bytes`,
// moving `at` past it; nothing when the bytes run out.
std::optional<uint64_t> number(std::span<const uint8_t> bytes, size_t& at, unsigned size)
{
    if (bytes.size() < at || bytes.size() - at < size)
        return std::nullopt;
    uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value = (value << 8) | bytes[at + i];
    at += size;
    return value;
}

// The items that refer to `to` by a reference of `type`, in the order the
// 'iref' box lists them.
std::optional<std::vector<uint32_t>> referringTo(std::span<const uint8_t> iref, std::string_view type, uint32_t to)
{
    if (iref.size() < 4 || iref[0] > 1)
        return std::nullopt;
    const unsigned idSize = iref[0] == 0 ? 2 : 4;
    auto references = HeifMeta::boxes(iref.subspan(4));
    if (!references)
        return std::nullopt;
    std::vector<uint32_t> from;
    for (const HeifBox& reference : *references) {
        size_t at = 0;
        const auto item = number(reference.body, at, idSize);
        const auto count = number(reference.body, at, 2);
        if (!item || !count)
            return std::nullopt;
        for (uint64_t i = 0; i < *count; ++i) {
            const auto target = number(reference.body, at, idSize);
            if (!target)
                return std::nullopt;
            if (reference.type == type && *target == to)
                from.push_back(uint32_t(*item));
        }
    }
    return from;
}

// The item type of `item`, from its 'infe' (versions 2 and 3).
std::optional<std::string_view> itemType(std::span<const uint8_t> iinf, uint32_t item)
{
    if (iinf.size() < 6)
        return std::nullopt;
    auto entries = HeifMeta::boxes(iinf.subspan(iinf[0] == 0 ? 6 : 8));
    if (!entries)
        return std::nullopt;
    for (const HeifBox& entry : *entries) {
        const auto& body = entry.body;
        if (entry.type != "infe" || body.size() < 4 || (body[0] != 2 && body[0] != 3))
            continue;
        size_t at = 4;
        const auto id = number(body, at, body[0] == 2 ? 2 : 4);
        if (!id || *id != item || !number(body, at, 2) || body.size() - at < 4)
            continue;
        return std::string_view(reinterpret_cast<const char*>(body.data() + at), 4);
    }
    return std::nullopt;
}

// The length of `item`'s coded bytes, by its 'iloc' entry: the sum of its
// extents. Nothing when an extent lies outside the file, or the bytes are
// anywhere but in this file (another file, 'idat', another item).
std::optional<uint64_t> itemLength(std::span<const uint8_t> iloc, uint32_t item, uint64_t fileSize)
{
    if (iloc.size() < 8 || iloc[0] > 2)
        return std::nullopt;
    const unsigned version = iloc[0];
    const unsigned offsetSize = iloc[4] >> 4, lengthSize = iloc[4] & 0xf, baseSize = iloc[5] >> 4;
    const unsigned indexSize = version == 0 ? 0 : (iloc[5] & 0xf);
    for (unsigned size : { offsetSize, lengthSize, baseSize, indexSize })
        if (size != 0 && size != 4 && size != 8)
            return std::nullopt;
    size_t at = 6;
    const auto count = number(iloc, at, version < 2 ? 2 : 4);
    if (!count)
        return std::nullopt;
    for (uint64_t i = 0; i < *count; ++i) {
        const auto id = number(iloc, at, version < 2 ? 2 : 4);
        const auto method = version == 0 ? std::optional<uint64_t> { 0 } : number(iloc, at, 2);
        const auto reference = number(iloc, at, 2);
        const auto base = number(iloc, at, baseSize);
        const auto extents = number(iloc, at, 2);
        if (!id || !method || !reference || !base || !extents)
            return std::nullopt;
        uint64_t total = 0;
        bool inFile = (*method & 0xf) == 0 && *reference == 0;
        for (uint64_t e = 0; e < *extents; ++e) {
            const auto index = number(iloc, at, indexSize);
            const auto offset = number(iloc, at, offsetSize);
            const auto length = number(iloc, at, lengthSize);
            if (!index || !offset || !length)
                return std::nullopt;
            // A length of zero runs to the end of the file.
            if (*base > fileSize || *offset > fileSize - *base || *length > fileSize - *base - *offset)
                inFile = false;
            // Summed no further than past the largest allowed, so it cannot wrap.
            total = std::min(total + (*length == 0 ? fileSize - std::min(fileSize, *base + *offset) : *length), kLargestHeifThumbnail + 1);
        }
        if (*id == item)
            return inFile && *extents > 0 ? std::optional<uint64_t> { total } : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<PixelDimensions> jpegStreamSize(std::span<const uint8_t> jpeg)
{
    return jpegFrameSize(MemoryBytes(jpeg));
}

std::optional<EmbeddedPreview> readEmbeddedPreview(const FileWindow& file)
{
    const auto segment = exifSegment(file);
    if (!segment)
        return std::nullopt;
    const TiffBytes bytes(file, segment->first, segment->second);
    Directories directories(bytes);
    const auto firstOffset = directories.first();
    const auto first = firstOffset ? directories.at(*firstOffset) : std::nullopt;
    if (!first || first->next == 0 || first->next == *firstOffset)
        return std::nullopt;
    const auto second = directories.at(first->next);
    if (!second)
        return std::nullopt;
    const auto compression = valueOf(*second, kCompression);
    if (compression && *compression != kJpegCompression)
        return std::nullopt;
    const auto offset = valueOf(*second, kJpegInterchangeFormat);
    const auto length = valueOf(*second, kJpegInterchangeFormatLength);
    // Its bytes must lie wholly inside the EXIF segment, as the format has it.
    if (!offset || !length || *offset < 8 || *length < 4 || *length > kLargestEmbeddedPreview
        || *offset > bytes.size() || *length > bytes.size() - *offset)
        return std::nullopt;

    EmbeddedPreview preview;
    preview.jpeg.resize(*length);
    if (!bytes.read(*offset, preview.jpeg.size(), preview.jpeg.data()))
        return std::nullopt;
    const auto size = jpegStreamSize(preview.jpeg);
    if (!size || size->width > kLargestEmbeddedPreviewSide || size->height > kLargestEmbeddedPreviewSide)
        return std::nullopt;
    preview.size = *size;
    const auto picture = jpegPictureSize(file);
    if (!picture || picture->stored.width <= 0 || picture->stored.height <= 0)
        return std::nullopt;
    preview.picture = picture->stored;
    const auto orientation = valueOf(*first, kOrientation);
    preview.orientation = orientation && *orientation >= 1 && *orientation <= 8 ? int(*orientation) : 1;
    return preview;
}

std::optional<HeifThumbnail> readHeifThumbnail(const FileWindow& file)
{
    uint8_t head[8] {};
    if (!file.read(0, sizeof head, head) || std::memcmp(head + 4, "ftyp", 4) != 0)
        return std::nullopt;
    const auto meta = HeifMeta::read(file);
    if (!meta)
        return std::nullopt;
    const auto iref = meta->box("iref");
    const auto iinf = meta->box("iinf");
    const auto iloc = meta->box("iloc");
    if (!iref || !iinf || !iloc)
        return std::nullopt;
    const uint32_t primary = meta->primaryItem().value_or(0);
    if (primary == 0)
        return std::nullopt; // no primary item (0 is no item's number)
    const auto thumbnails = referringTo(*iref, "thmb", primary);
    if (!thumbnails || thumbnails->empty())
        return std::nullopt;
    // The first one is the decoder's: when it will not do, none is shown.
    const uint32_t item = thumbnails->front();
    const auto type = itemType(*iinf, item);
    if (!type || (*type != "hvc1" && *type != "av01"))
        return std::nullopt;
    const auto length = itemLength(*iloc, item, file.size());
    if (!length || *length == 0 || *length > kLargestHeifThumbnail)
        return std::nullopt;
    const auto size = meta->itemSize(item);
    const auto picture = meta->itemSize(primary);
    if (!size || !picture)
        return std::nullopt;
    HeifThumbnail thumbnail { item, size->stored, size->shown.value_or(size->stored), picture->shown.value_or(picture->stored) };
    if (thumbnail.stored.width > kLargestEmbeddedPreviewSide || thumbnail.stored.height > kLargestEmbeddedPreviewSide
        || thumbnail.shown.width <= 0 || thumbnail.shown.height <= 0 || thumbnail.picture.width <= 0 || thumbnail.picture.height <= 0)
        return std::nullopt;
    return thumbnail;
}

std::optional<HeifThumbnail> readHeifThumbnail(const std::string& path)
{
    const auto file = FileWindow::open(path);
    if (!file)
        return std::nullopt;
    return readHeifThumbnail(*file);
}

std::optional<EmbeddedPreview> readEmbeddedPreview(const std::string& path)
{
    const auto file = FileWindow::open(path);
    if (!file)
        return std::nullopt;
    return readEmbeddedPreview(*file);
}

} // namespace imageio
