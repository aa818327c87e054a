#include "imageio/TiffWalk.h"

#include "imageio/RawValue.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace imageio {

bool TiffBytes::read(uint64_t offset, size_t length, uint8_t* out) const
{
    if (offset > size_ || length > size_ - offset)
        return false;
    if (memory_) {
        if (length > 0)
            std::memcpy(out, memory_ + offset, length);
        return true;
    }
    return file_->read(start_ + offset, length, out);
}

TiffBytes TiffBytes::from(uint64_t offset) const
{
    offset = std::min(offset, size_);
    TiffBytes tail;
    tail.memory_ = memory_ ? memory_ + offset : nullptr;
    tail.file_ = file_;
    tail.start_ = start_ + offset;
    tail.size_ = size_ - offset;
    return tail;
}

namespace {

// Limits the full reader applies: a directory of more entries is not read,
// an entry of as many components is skipped.
constexpr uint16_t kMostEntries = 256;
constexpr uint32_t kTooManyComponents = 0x10000000;
// Sub-image directories the full reader names (SubImage1 to SubImage9).
constexpr uint32_t kMostSubImages = 9;
// A value larger than this is left to the full reader rather than copied.
constexpr uint64_t kLargestValue = 1 << 20;

constexpr uint16_t kNewSubfileType = 0x00fe;
constexpr uint16_t kImageWidth = 0x0100;
constexpr uint16_t kImageLength = 0x0101;
constexpr uint16_t kSubIfds = 0x014a;
constexpr uint16_t kJpegInterchangeFormat = 0x0201;
constexpr uint16_t kExifIfd = 0x8769;
constexpr uint16_t kGpsIfd = 0x8825;
constexpr uint16_t kIccProfile = 0x8773;
constexpr uint16_t kInteroperabilityIfd = 0xa005;
constexpr uint16_t kMake = 0x010f;
constexpr uint16_t kMakerNote = 0x927c;
constexpr uint16_t kDngVersion = 0xc612;
constexpr uint16_t kXmlPacket = 0x02bc;

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t size = 0; // count times the component size
    uint64_t dataOffset = 0; // where the value is, inline or not
    uint64_t at = 0; // where the entry is
};

class Walk {
public:
    explicit Walk(const TiffBytes& bytes)
        : bytes_(bytes)
    {
    }

    bool header(uint32_t& firstDirectory)
    {
        uint8_t head[8];
        if (!bytes_.read(0, sizeof head, head))
            return false;
        if (!byteOrder(head) || u16(head + 2) != 42)
            return false;
        firstDirectory = u32(head + 4);
        return firstDirectory < bytes_.size();
    }

    // The entries of the directory at `offset`, every one checked; nothing
    // when any entry is one the full reader would truncate or skip, or its
    // value lies outside the bytes.
    std::optional<std::vector<Entry>> directory(uint64_t offset)
    {
        if (std::find(starts_.begin(), starts_.end(), offset) != starts_.end())
            return std::nullopt; // a directory read twice: the full reader ignores the second
        starts_.push_back(offset);
        uint8_t countBytes[2];
        if (!bytes_.read(offset, 2, countBytes))
            return std::nullopt;
        const uint16_t count = u16(countBytes);
        if (count > kMostEntries)
            return std::nullopt;
        std::vector<uint8_t> raw(size_t { count } * 12);
        if (!bytes_.read(offset + 2, raw.size(), raw.data()))
            return std::nullopt;
        std::vector<Entry> entries(count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* field = raw.data() + i * 12;
            Entry& entry = entries[i];
            entry.at = offset + 2 + i * 12;
            entry.tag = u16(field);
            entry.type = u16(field + 2);
            entry.count = u32(field + 4);
            if (tiffTypeSize(entry.type) == 0 || entry.count >= kTooManyComponents)
                return std::nullopt;
            entry.size = uint64_t { entry.count } * tiffTypeSize(entry.type);
            if (entry.size <= 4) {
                entry.dataOffset = offset + 2 + i * 12 + 8;
            } else {
                entry.dataOffset = u32(field + 8);
                if (entry.dataOffset == 0 || entry.dataOffset >= bytes_.size() || entry.size > bytes_.size() - entry.dataOffset)
                    return std::nullopt;
            }
        }
        return entries;
    }

    // The entry's value; nothing when it cannot be read. Its bytes stay
    // valid until the next call.
    std::optional<RawValue> value(const Entry& entry)
    {
        if (entry.size > kLargestValue)
            return std::nullopt;
        value_.resize(static_cast<size_t>(entry.size));
        if (!bytes_.read(entry.dataOffset, value_.size(), value_.data()))
            return std::nullopt;
        return RawValue { entry.type, value_, little_ };
    }

    // The directory offsets a pointer entry holds, when it is a pointer the
    // full reader follows: LONG, SLONG or IFD components.
    std::optional<std::vector<uint32_t>> pointers(const Entry& entry, uint32_t most)
    {
        if (entry.type != kTiffLong && entry.type != kTiffSignedLong && entry.type != kTiffIfd)
            return std::nullopt;
        if (entry.count < 1 || entry.count > most)
            return std::nullopt;
        std::vector<uint8_t> data(static_cast<size_t>(entry.size));
        if (!bytes_.read(entry.dataOffset, data.size(), data.data()))
            return std::nullopt;
        std::vector<uint32_t> offsets;
        for (size_t i = 0; i < entry.count; ++i) {
            uint32_t offset = u32(data.data() + i * 4);
            if (offset >= bytes_.size())
                return std::nullopt;
            offsets.push_back(offset);
        }
        return offsets;
    }

    // Takes the byte order from a mark, "II" or "MM"; false for any other.
    bool byteOrder(const uint8_t* mark)
    {
        if (mark[0] == 'I' && mark[1] == 'I')
            little_ = true;
        else if (mark[0] == 'M' && mark[1] == 'M')
            little_ = false;
        else
            return false;
        return true;
    }

    // Takes the byte order of another walk.
    void byteOrderOf(const Walk& other) { little_ = other.little_; }

    const TiffBytes& bytes() const { return bytes_; }

    // Claims a directory start that the walk does not read itself (the
    // interoperability directory), so none of ours shares it.
    bool claim(uint64_t offset)
    {
        if (std::find(starts_.begin(), starts_.end(), offset) != starts_.end())
            return false;
        starts_.push_back(offset);
        return true;
    }

private:
    uint16_t u16(const uint8_t* p) const { return little_ ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : bigEndian16(p); }
    uint32_t u32(const uint8_t* p) const { return little_ ? littleEndian32(p) : bigEndian32(p); }

    const TiffBytes& bytes_;
    bool little_ = true;
    std::vector<uint64_t> starts_;
    std::vector<uint8_t> value_;
};

const Entry* firstWithTag(const std::vector<Entry>& entries, uint16_t tag)
{
    auto found = std::find_if(entries.begin(), entries.end(), [tag](const Entry& entry) { return entry.tag == tag; });
    return found == entries.end() ? nullptr : &*found;
}

// The first component of an entry as the full reader's TIFF image takes it.
std::optional<long> firstLong(Walk& walk, const Entry* entry)
{
    if (!entry || entry->count == 0)
        return std::nullopt;
    auto value = walk.value(*entry);
    if (!value)
        return std::nullopt;
    return static_cast<long>(integerAt(*value, 0));
}

// Feeds one directory's entries to the collector: every entry marks its
// directory as present, the table's entries bring their values.
bool collect(Walk& walk, const std::vector<Entry>& entries, Directory directory, EntryCollector& collector)
{
    for (const Entry& entry : entries) {
        if (!EntryCollector::wanted(directory, entry.tag)) {
            collector.add(directory, entry.tag, nullptr);
            continue;
        }
        auto value = walk.value(entry);
        if (!value)
            return false;
        collector.add(directory, entry.tag, &*value);
    }
    return true;
}

// Whether a maker note whose offsets count from its own start is one the
// full reader reads without giving up: its directory at `directoryAt` (in
// the byte order of the mark at `orderMark`, or else the structure's) and,
// with `subDirectories`, every directory its entries point to, must pass the
// entry checks with their values inside the TIFF structure as seen from
// the note. The full reader adds the note's place to each offset, wrapping
// past 32 bits, and gives up on the whole file when a value then runs past
// the structure's end.
bool noteDirectoriesHold(const Walk& walk, const Entry& entry, std::span<const uint8_t> note, uint64_t directoryAt,
    std::optional<size_t> orderMark, bool subDirectories)
{
    if (note.size() < directoryAt + 2 || (orderMark && note.size() < *orderMark + 2))
        return false;
    const TiffBytes noteBytes = walk.bytes().from(entry.dataOffset);
    Walk noteWalk(noteBytes);
    if (!orderMark)
        noteWalk.byteOrderOf(walk);
    else if (!noteWalk.byteOrder(note.data() + *orderMark))
        return false;
    auto entries = noteWalk.directory(directoryAt);
    if (!entries)
        return false;
    if (!subDirectories)
        return true;
    // The sub-directories' tags, which older notes give as LONG offsets.
    constexpr uint16_t kFirstSubDirectory = 0x2010;
    constexpr uint16_t kLastSubDirectory = 0x5000;
    for (const Entry& subEntry : *entries) {
        const bool named = subEntry.tag >= kFirstSubDirectory && subEntry.tag <= kLastSubDirectory && subEntry.type == kTiffLong;
        if (subEntry.type != kTiffIfd && !named)
            continue;
        auto offsets = noteWalk.pointers(subEntry, 1);
        if (!offsets || !noteWalk.directory(offsets->front()))
            return false;
    }
    return true;
}

// Whether a maker note is one the full reader reads without giving up on the
// file, as far as the walk can tell. It parses the notes it knows, and
// gives up on the whole file when one is damaged:
// - Olympus ("OLYMPUS\0", a byte order mark, a version, then a directory
//   with sub-directories; offsets from the note's start);
// - a camera whose make starts with "SAMSUNG", unless the note is marked
//   as another maker's (a directory at its start, offsets from there);
// - Fujifilm ("FUJIFILM", then the little-endian offset of its directory;
//   offsets from the note's start, values inside the note);
// - Nikon ("Nikon\0\x02", then its own TIFF structure from byte 10, with
//   a preview directory where it names one).
bool makerNoteIsSound(Walk& walk, const Entry& entry, std::string_view make)
{
    auto value = walk.value(entry);
    if (!value)
        return false;
    const auto& bytes = value->bytes;
    const auto startsWith = [&](std::string_view header) {
        return bytes.size() >= header.size() && std::memcmp(bytes.data(), header.data(), header.size()) == 0;
    };
    if (startsWith({ "OLYMPUS\0", 8 }))
        return noteDirectoriesHold(walk, entry, bytes, 12, 8, true);
    if (make.starts_with("SAMSUNG") && !startsWith({ "AOC\0", 4 }) && !startsWith({ "PENTAX \0", 8 }))
        return noteDirectoriesHold(walk, entry, bytes, 0, std::nullopt, false);
    constexpr std::string_view kFujifilmHeader { "FUJIFILM", 8 };
    if (bytes.size() >= kFujifilmHeader.size() + 4 && startsWith(kFujifilmHeader)) {
        const std::vector<uint8_t> note(bytes.begin(), bytes.end());
        const TiffBytes noteBytes(note);
        Walk noteWalk(noteBytes);
        return noteWalk.directory(littleEndian32(note.data() + kFujifilmHeader.size())).has_value();
    }
    constexpr size_t kNikonTiffStart = 10;
    if (bytes.size() < kNikonTiffStart + 8 || !startsWith({ "Nikon\0\x02", 7 }))
        return true;
    // Its values may lie past the note's end, though not past the structure's.
    const TiffBytes noteBytes = walk.bytes().from(entry.dataOffset + kNikonTiffStart);
    Walk noteWalk(noteBytes);
    uint32_t first = 0;
    if (!noteWalk.header(first))
        return false;
    auto entries = noteWalk.directory(first);
    if (!entries)
        return false;
    // The directory of the note's preview image, which it parses too.
    constexpr uint16_t kNikonPreview = 0x0011;
    if (const Entry* preview = firstWithTag(*entries, kNikonPreview)) {
        auto offsets = noteWalk.pointers(*preview, 1);
        if (!offsets || !noteWalk.directory(offsets->front()))
            return false;
    }
    return true;
}

bool hasTwice(const std::vector<Entry>& entries, uint16_t tag)
{
    return std::count_if(entries.begin(), entries.end(), [tag](const Entry& entry) { return entry.tag == tag; }) > 1;
}

} // namespace

std::optional<TiffImageFacts> walkTiff(const TiffBytes& bytes, EntryCollector& collector)
{
    Walk walk(bytes);
    uint32_t firstOffset = 0;
    if (!walk.header(firstOffset))
        return std::nullopt;
    auto first = walk.directory(firstOffset);
    if (!first)
        return std::nullopt;
    for (uint16_t tag : { kSubIfds, kExifIfd, kGpsIfd }) {
        if (hasTwice(*first, tag))
            return std::nullopt;
    }
    // A colour profile without bytes makes the full reader give up on a TIFF.
    if (const Entry* profile = firstWithTag(*first, kIccProfile); profile && profile->size == 0)
        return std::nullopt;

    // The make, as far as its first NUL: the full reader chooses how to
    // read a maker note by it. Read only for a photo that has a note.
    auto makeOf = [&] {
        std::string make;
        if (const Entry* makeEntry = firstWithTag(*first, kMake)) {
            if (auto value = walk.value(*makeEntry))
                make.assign(value->bytes.begin(), std::find(value->bytes.begin(), value->bytes.end(), uint8_t { 0 }));
        }
        return make;
    };

    TiffImageFacts facts;
    facts.hasDngVersion = firstWithTag(*first, kDngVersion) != nullptr;
    for (const Entry& entry : *first) {
        if (entry.tag == kXmlPacket)
            facts.xmpTags.push_back(entry.at);
    }
    if (!collect(walk, *first, Directory::Image, collector))
        return std::nullopt;

    // Sub-directories in the order the first directory lists them, as the
    // full reader follows them.
    std::vector<std::vector<Entry>> subImages;
    for (const Entry& entry : *first) {
        if (entry.tag == kSubIfds) {
            auto offsets = walk.pointers(entry, kMostSubImages);
            if (!offsets)
                return std::nullopt;
            for (uint32_t offset : *offsets) {
                auto subImage = walk.directory(offset);
                if (!subImage)
                    return std::nullopt;
                subImages.push_back(std::move(*subImage));
            }
        } else if (entry.tag == kExifIfd || entry.tag == kGpsIfd) {
            auto offsets = walk.pointers(entry, 1);
            if (!offsets)
                return std::nullopt;
            auto entries = walk.directory(offsets->front());
            if (!entries)
                return std::nullopt;
            const bool isExif = entry.tag == kExifIfd;
            if (isExif) {
                if (hasTwice(*entries, kInteroperabilityIfd))
                    return std::nullopt;
                if (const Entry* interop = firstWithTag(*entries, kInteroperabilityIfd)) {
                    auto interopOffsets = walk.pointers(*interop, 1);
                    if (!interopOffsets || !walk.claim(interopOffsets->front()))
                        return std::nullopt;
                }
            }
            if (const Entry* makerNote = isExif ? firstWithTag(*entries, kMakerNote) : nullptr; makerNote && !makerNoteIsSound(walk, *makerNote, makeOf()))
                return std::nullopt;
            if (!collect(walk, *entries, isExif ? Directory::Photo : Directory::GPSInfo, collector))
                return std::nullopt;
        }
    }

    // The primary image: the first directory unless a directory marked as
    // full-resolution (subfile type 0) says otherwise; one whose image is a
    // JPEG stream gives way to a later such directory.
    const std::vector<Entry>* primary = &*first;
    auto isFullResolution = [&](const std::vector<Entry>& entries) {
        auto type = firstLong(walk, firstWithTag(entries, kNewSubfileType));
        return type && *type == 0;
    };
    std::vector<const std::vector<Entry>*> candidates { &*first };
    for (const auto& subImage : subImages)
        candidates.push_back(&subImage);
    for (const auto* candidate : candidates) {
        if (!isFullResolution(*candidate))
            continue;
        primary = candidate;
        if (!firstWithTag(*candidate, kJpegInterchangeFormat))
            break;
    }
    auto asInt = [](std::optional<long> value) { return value ? static_cast<long long>(static_cast<int>(*value)) : 0LL; };
    facts.pixelWidth = asInt(firstLong(walk, firstWithTag(*primary, kImageWidth)));
    facts.pixelHeight = asInt(firstLong(walk, firstWithTag(*primary, kImageLength)));
    return facts;
}

} // namespace imageio
