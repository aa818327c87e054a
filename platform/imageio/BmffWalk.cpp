#include "imageio/BmffWalk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>

namespace imageio {

namespace {

// More boxes than this is no photo's header; the walk leaves it alone.
constexpr int kMostBoxes = 4096;
// A 'meta' box larger than this is read by the full reader.
constexpr uint64_t kLargestMeta = 4 << 20;
constexpr uint64_t kLargestExifItem = 4 << 20;

// A box type: its four characters as one big-endian number.
using FourCC = uint32_t;

constexpr FourCC fourCC(const char (&text)[5])
{
    FourCC code = 0;
    for (int i = 0; i < 4; ++i)
        code = (code << 8) | static_cast<uint8_t>(text[i]);
    return code;
}

constexpr uint32_t kNoItem = 0xffff;

struct Box {
    FourCC type = 0;
    uint64_t start = 0; // of the header
    uint64_t bodyStart = 0; // after the header (and its large size)
    uint64_t end = 0;
};

// Boxes of a file as the walk expects them, by where they may appear.
constexpr FourCC kTopLevel[] = {
    fourCC("ftyp"), fourCC("meta"), fourCC("mdat"), fourCC("free"), fourCC("skip"), fourCC("wide")
};
constexpr FourCC kInMeta[] = {
    fourCC("hdlr"), fourCC("pitm"), fourCC("iinf"), fourCC("iloc"), fourCC("iref"), fourCC("iprp"),
    fourCC("idat"), fourCC("dinf"), fourCC("grpl")
};
constexpr FourCC kInProperties[] = { fourCC("ipco"), fourCC("ipma") };
constexpr FourCC kItemProperties[] = {
    fourCC("hvcC"), fourCC("av1C"), fourCC("ispe"), fourCC("colr"), fourCC("pixi"), fourCC("irot"),
    fourCC("imir"), fourCC("clap"), fourCC("auxC"), fourCC("rloc"), fourCC("lsel"), fourCC("a1op"),
    fourCC("a1lx"), fourCC("pasp"), fourCC("clli"), fourCC("mdcv")
};

template<size_t N>
bool isOneOf(FourCC type, const FourCC (&types)[N])
{
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

// The box whose header starts at `header` (with `room` bytes from there to
// the end of its parent), at `start` in the file. Nothing for a size of zero
// ("to the end"), or one that overruns the parent: the full reader gives up
// on such a file.
std::optional<Box> boxAt(const uint8_t* header, uint64_t room, uint64_t start)
{
    auto head = boxHeaderAt(header, room, SizeZero::Refused);
    if (!head)
        return std::nullopt;
    return Box { head->type, start, start + head->headerSize, start + head->size };
}

// Reads the boxes of a byte range held in memory (the 'meta' box), or the
// top-level boxes of the file.
class Walk {
public:
    explicit Walk(const FileWindow& file)
        : file_(file)
    {
    }

    // The boxes that exactly fill [start, end) of `bytes` (offsets in the file
    // are `base` + offset); nothing when they do not.
    std::optional<std::vector<Box>> children(std::span<const uint8_t> bytes, uint64_t base, uint64_t start, uint64_t end)
    {
        std::vector<Box> boxes;
        for (uint64_t at = start; at < end;) {
            auto box = ++count_ > kMostBoxes ? std::nullopt : boxAt(&bytes[at], end - at, base + at);
            if (!box)
                return std::nullopt;
            at += box->end - box->start;
            boxes.push_back(std::move(*box));
        }
        return boxes;
    }

    // The top-level boxes, which must exactly fill the file.
    std::optional<std::vector<Box>> topLevel()
    {
        std::vector<Box> boxes;
        for (uint64_t at = 0; at < file_.size();) {
            uint8_t header[16] {};
            const uint64_t room = file_.size() - at;
            if (++count_ > kMostBoxes || !file_.read(at, static_cast<size_t>(std::min<uint64_t>(room, sizeof header)), header))
                return std::nullopt;
            auto box = boxAt(header, room, at);
            if (!box)
                return std::nullopt;
            at = box->end;
            boxes.push_back(std::move(*box));
        }
        return boxes;
    }

private:
    const FileWindow& file_;
    int count_ = 0;
};

struct Location {
    uint64_t offset = 0;
    uint64_t length = 0;
    // Whether the bytes are where the full reader looks for them: in this
    // file, at the offset it reads.
    bool asTheFullReaderReadsIt = false;
};

// The item location table, read only in the layouts whose entries are all of
// one size (versions 0 and 1, 4-byte offsets and lengths, a 4-byte base
// offset or none, one extent per item). The full reader reads such a table
// by entry size alone: with a base offset, it takes that for the item's
// offset. An item whose bytes are elsewhere for either reader is marked.
// Item locations by item number, in a vector sorted by it.
using Locations = std::vector<std::pair<uint32_t, Location>>;

std::optional<Locations> readLocations(const uint8_t* body, uint64_t size)
{
    if (size < 8)
        return std::nullopt;
    const uint8_t version = body[0];
    if (version > 1 || body[3] >= 0x80)
        return std::nullopt;
    const uint8_t offsetSize = body[4] >> 4;
    const uint8_t lengthSize = body[4] & 0xF;
    const uint8_t baseOffsetSize = body[5] >> 4;
    const uint8_t indexSize = version == 1 ? (body[5] & 0xF) : 0;
    if (offsetSize != 4 || lengthSize != 4 || indexSize != 0 || (baseOffsetSize != 0 && baseOffsetSize != 4))
        return std::nullopt;
    if (version == 1 && baseOffsetSize != 0)
        return std::nullopt; // entries of 20 bytes, which the full reader does not read
    const uint32_t count = bigEndian16(body + 6);
    const uint64_t entrySize = (version == 1 ? 16 : 14) + baseOffsetSize;
    if (count == 0 || size - 8 != count * entrySize)
        return std::nullopt;
    Locations locations;
    locations.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = body + 8 + i * entrySize;
        const uint32_t id = bigEndian16(entry);
        const bool inFile = version == 0 || (bigEndian16(entry + 2) & 0xF) == 0; // not in 'idat' or another item
        const uint8_t* rest = entry + (version == 1 ? 4 : 2);
        const uint16_t dataReference = bigEndian16(rest);
        const uint32_t baseOffset = baseOffsetSize ? bigEndian32(rest + 2) : 0;
        rest += 2 + baseOffsetSize;
        const uint16_t extents = bigEndian16(rest);
        if (extents != 1)
            return std::nullopt; // entries of other sizes: the table is not read alike
        const uint32_t extentOffset = bigEndian32(rest + 2);
        const uint32_t length = bigEndian32(rest + 6);
        const uint32_t offsetAsRead = baseOffsetSize ? baseOffset : extentOffset;
        Location location { uint64_t { baseOffset } + extentOffset, length, inFile && dataReference == 0 && (baseOffsetSize == 0 || extentOffset == 0) };
        // The full reader takes item number 0xFFFF for "none", and an offset
        // or a length of zero for no location.
        if (offsetAsRead == 0 || length == 0) {
            if (id == kNoItem)
                return std::nullopt;
            continue;
        }
        if (id == kNoItem)
            return std::nullopt;
        locations.emplace_back(id, location);
    }
    // Items are mostly listed in order; an item listed twice ends the walk.
    auto byItem = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(locations.begin(), locations.end(), byItem))
        std::stable_sort(locations.begin(), locations.end(), byItem);
    if (std::adjacent_find(locations.begin(), locations.end(), [](const auto& a, const auto& b) { return a.first == b.first; })
        != locations.end())
        return std::nullopt;
    return locations;
}

struct ItemKinds {
    std::optional<uint32_t> exif;
    std::optional<uint32_t> mime; // the full reader reads any 'mime' item as XMP
    std::vector<uint64_t> mimeTypes; // where that item's type is in the file
};

bool readItemInfo(std::span<const uint8_t> meta, uint64_t base, const Box& box, Walk& walk, ItemKinds& kinds)
{
    const uint8_t* body = meta.data() + (box.bodyStart - base);
    const uint64_t size = box.end - box.bodyStart;
    if (size < 6 || body[0] != 0 || body[3] >= 0x80)
        return false;
    const uint32_t count = bigEndian16(body + 4);
    auto entries = walk.children(meta, base, box.bodyStart + 6 - base, box.end - base);
    if (!entries || entries->size() != count)
        return false;
    for (const Box& entry : *entries) {
        if (entry.type != fourCC("infe"))
            return false;
        const uint8_t* info = meta.data() + (entry.bodyStart - base);
        const uint64_t infoSize = entry.end - entry.bodyStart;
        // Version 2: 16-bit item numbers, then the item type and a name.
        if (infoSize < 13 || info[0] != 2 || info[3] >= 0x80)
            return false;
        const uint32_t id = bigEndian16(info + 4);
        if (id == kNoItem)
            return false;
        const std::string_view rest(reinterpret_cast<const char*>(info + 8), infoSize - 8);
        if (rest.find('\0') == std::string_view::npos)
            return false;
        const std::string_view type = rest.substr(0, 4);
        if (type != "Exif" && type != "mime")
            continue;
        auto& slot = type == "Exif" ? kinds.exif : kinds.mime;
        if (slot)
            return false; // two of a kind: which one counts is the full reader's affair
        slot = id;
        if (type == "mime")
            kinds.mimeTypes.push_back(entry.bodyStart + 8);
    }
    return true;
}

// The colour profile of a 'colr' box, as the full reader checks it: a
// profile whose stated size is not its size makes it give up on the file.
bool profileIsWhole(const uint8_t* body, uint64_t size)
{
    if (size < 12)
        return true;
    const uint8_t* profile = nullptr;
    if (std::memcmp(body, "rICC", 4) == 0 || std::memcmp(body, "prof", 4) == 0)
        profile = body + 4;
    else if (body[0] == 2 && body[1] == 0 && body[2] == 0)
        profile = body + 3;
    if (!profile)
        return true;
    const uint64_t profileSize = size - static_cast<uint64_t>(profile - body);
    return profileSize >= 8 && bigEndian32(profile) == profileSize;
}

} // namespace

std::optional<BoxHeader> boxHeaderAt(const uint8_t* header, uint64_t room, SizeZero sizeZero)
{
    if (room < 8)
        return std::nullopt;
    BoxHeader box { bigEndian32(header + 4), 8, bigEndian32(header) };
    if (box.size == 1) {
        if (room < 16)
            return std::nullopt;
        box.size = bigEndian64(header + 8);
        box.headerSize = 16;
    } else if (box.size == 0 && sizeZero == SizeZero::ToTheEnd) {
        box.size = room;
    }
    if (box.size < box.headerSize || box.size > room)
        return std::nullopt;
    return box;
}

std::optional<BmffContents> walkBmff(const FileWindow& file)
{
    Walk walk(file);
    auto top = walk.topLevel();
    if (!top || top->empty() || top->front().type != fourCC("ftyp") || top->front().end - top->front().bodyStart < 4)
        return std::nullopt;
    const Box* metaBox = nullptr;
    for (const Box& box : *top) {
        if (!isOneOf(box.type, kTopLevel))
            return std::nullopt;
        if (box.type == fourCC("meta")) {
            if (metaBox)
                return std::nullopt;
            metaBox = &box;
        }
    }
    BmffContents contents;
    if (!metaBox)
        return contents;
    ItemKinds kinds;
    if (metaBox->end - metaBox->start > kLargestMeta)
        return std::nullopt;

    // In place when the file's first window holds it, as it mostly does.
    std::vector<uint8_t> metaCopy;
    const std::span<const uint8_t> meta = file.bytes(metaBox->start, static_cast<size_t>(metaBox->end - metaBox->start), metaCopy);
    if (meta.empty())
        return std::nullopt;
    const uint64_t base = metaBox->start;
    const uint64_t metaBody = metaBox->bodyStart - base;
    if (meta.size() - metaBody < 4 || meta[metaBody + 3] >= 0x80)
        return std::nullopt;
    auto inMeta = walk.children(meta, base, metaBody + 4, meta.size());
    if (!inMeta)
        return std::nullopt;

    std::optional<Locations> locations;
    for (const Box& box : *inMeta) {
        const uint8_t* body = meta.data() + (box.bodyStart - base);
        const uint64_t size = box.end - box.bodyStart;
        if (!isOneOf(box.type, kInMeta))
            return std::nullopt;
        if (box.type == fourCC("iinf")) {
            if (!readItemInfo(meta, base, box, walk, kinds))
                return std::nullopt;
        } else if (box.type == fourCC("iloc")) {
            if (locations)
                return std::nullopt;
            locations = readLocations(body, size);
            if (!locations)
                return std::nullopt;
        } else if (box.type == fourCC("iref") || box.type == fourCC("dinf")) {
            // Boxes of boxes: each must fit, whoever walks them.
            const uint64_t skip = box.type == fourCC("iref") ? 4 : 0;
            if (size < skip || !walk.children(meta, base, box.bodyStart + skip - base, box.end - base))
                return std::nullopt;
        } else if (box.type == fourCC("iprp")) {
            auto properties = walk.children(meta, base, box.bodyStart - base, box.end - base);
            if (!properties)
                return std::nullopt;
            for (const Box& group : *properties) {
                if (!isOneOf(group.type, kInProperties))
                    return std::nullopt;
                if (group.type != fourCC("ipco"))
                    continue;
                auto items = walk.children(meta, base, group.bodyStart - base, group.end - base);
                if (!items)
                    return std::nullopt;
                for (const Box& property : *items) {
                    if (!isOneOf(property.type, kItemProperties))
                        return std::nullopt;
                    const uint8_t* data = meta.data() + (property.bodyStart - base);
                    const uint64_t dataSize = property.end - property.bodyStart;
                    if (property.type == fourCC("ispe")) {
                        if (dataSize < 12)
                            return std::nullopt;
                    } else if (property.type == fourCC("colr") && !profileIsWhole(data, dataSize)) {
                        return std::nullopt;
                    }
                }
            }
        }
    }

    auto locate = [&](std::optional<uint32_t> id) -> std::optional<Location> {
        if (!id || !locations)
            return std::nullopt;
        auto found = std::lower_bound(locations->begin(), locations->end(), *id, [](const auto& entry, uint32_t wanted) { return entry.first < wanted; });
        if (found == locations->end() || found->first != *id)
            return std::nullopt;
        return found->second;
    };
    // An XMP item outside the file makes the full reader give up.
    auto xmp = locate(kinds.mime);
    if (xmp && (!xmp->asTheFullReaderReadsIt || !file.contains(xmp->offset, xmp->length)))
        return std::nullopt;
    contents.xmpItemTypes = std::move(kinds.mimeTypes);
    auto exif = locate(kinds.exif);
    if (!exif)
        return contents;
    if (!exif->asTheFullReaderReadsIt)
        return std::nullopt;
    if (!file.contains(exif->offset, exif->length) || exif->length > kLargestExifItem)
        return std::nullopt;
    std::vector<uint8_t> item;
    if (exif->length <= 8 || !file.read(exif->offset, static_cast<size_t>(exif->length), item))
        return std::nullopt;
    // The TIFF header: the first "II" or "MM" (the item starts with the
    // header's offset, usually 6). One at an odd offset may be where the full
    // reader looks for it, and is left to it.
    for (size_t i = 0; i + 8 < item.size(); ++i) {
        if (item[i] == item[i + 1] && (item[i] == 'I' || item[i] == 'M')) {
            if (i % 2 != 0)
                return std::nullopt;
            item.erase(item.begin(), item.begin() + static_cast<long>(i));
            contents.exif = std::move(item);
            contents.exifAt = exif->offset + i;
            return contents;
        }
    }
    return std::nullopt;
}

} // namespace imageio
