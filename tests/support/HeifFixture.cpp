#include "support/HeifFixture.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace fixtures {

namespace {

std::string be16(uint32_t value) { return { static_cast<char>(value >> 8), static_cast<char>(value) }; }
std::string be32(uint32_t value) { return be16(value >> 16) + be16(value & 0xffff); }

std::string box(const std::string& type, const std::string& body) { return be32(static_cast<uint32_t>(8 + body.size())) + type + body; }
std::string fullBox(const std::string& type, uint8_t version, uint32_t flags, const std::string& body)
{
    return box(type, std::string(1, static_cast<char>(version)) + be32(flags).substr(1) + body);
}

std::string itemInfo(uint16_t id, const std::string& type) { return fullBox("infe", 2, 0, be16(id) + be16(0) + type + std::string(1, '\0')); }

// A decoder configuration without parameter sets: enough for a reader of the
// structure, nothing to decode.
std::string hevcConfiguration()
{
    return box("hvcC", std::string { 1, 1, 0x60, 0, 0, 0, static_cast<char>(0x90), 0, 0, 0, 0, 0, 90, static_cast<char>(0xf0), 0,
                           static_cast<char>(0xfc), static_cast<char>(0xfd), static_cast<char>(0xf8), static_cast<char>(0xf8), 0, 0,
                           0x0f, 0 });
}

std::string spatialExtent(uint32_t width, uint32_t height) { return fullBox("ispe", 0, 0, be32(width) + be32(height)); }

} // namespace

std::string heifBytes(const HeifPicture& picture)
{
    constexpr uint16_t primary = 1, other = 2, exif = 3;
    const bool hasOther = picture.otherWidth != 0;
    const bool hasExif = !picture.exif.empty();

    // The items' bytes, in the order they sit in 'mdat'.
    const std::string coded(16, '\0');
    const std::string exifItem = be32(6) + std::string("Exif\0\0", 6) + picture.exif;
    struct Placed {
        uint16_t id;
        const std::string* bytes;
    };
    std::vector<Placed> placed { { primary, &coded } };
    if (hasOther)
        placed.push_back({ other, &coded });
    if (hasExif)
        placed.push_back({ exif, &exifItem });

    std::string infos = itemInfo(primary, "hvc1");
    if (hasOther)
        infos += itemInfo(other, "hvc1");
    if (hasExif)
        infos += itemInfo(exif, "Exif");
    const std::string iinf = fullBox("iinf", 0, 0, be16(static_cast<uint16_t>(placed.size())) + infos);

    std::string references;
    if (hasOther)
        references += box("thmb", be16(other) + be16(1) + be16(primary));
    if (hasExif)
        references += box("cdsc", be16(exif) + be16(1) + be16(primary));
    const std::string iref = references.empty() ? std::string() : fullBox("iref", 0, 0, references);

    // Properties: 1 the configuration, 2 the primary's size, then the
    // other's size, the crop and the turn where present.
    std::string properties = hevcConfiguration() + spatialExtent(picture.width, picture.height);
    std::string primaryAssociations { static_cast<char>(0x81), 2 };
    std::string otherAssociations;
    uint8_t next = 3;
    if (hasOther) {
        properties += spatialExtent(picture.otherWidth, picture.otherHeight);
        otherAssociations = std::string { static_cast<char>(0x81), static_cast<char>(next++) };
    }
    if (picture.crop) {
        auto fraction = [](uint32_t numerator) { return be32(numerator) + be32(1); };
        properties += box("clap", fraction(picture.crop->first) + fraction(picture.crop->second) + be32(0) + be32(1) + be32(0) + be32(1));
        primaryAssociations += static_cast<char>(0x80 | next++);
    }
    if (picture.quarterTurns) {
        properties += box("irot", std::string(1, static_cast<char>(*picture.quarterTurns & 3)));
        primaryAssociations += static_cast<char>(0x80 | next++);
    }
    std::string associations = be16(primary) + std::string(1, static_cast<char>(primaryAssociations.size())) + primaryAssociations;
    if (hasOther)
        associations += be16(other) + std::string(1, static_cast<char>(otherAssociations.size())) + otherAssociations;
    const std::string iprp = box("iprp", box("ipco", properties) + fullBox("ipma", 0, 0, be32(hasOther ? 2 : 1) + associations));

    const std::string ftyp = box("ftyp", std::string("heic") + be32(0) + "mif1heic");
    const std::string hdlr = fullBox("hdlr", 0, 0, be32(0) + "pict" + std::string(12, '\0') + std::string(1, '\0'));
    const std::string pitm = fullBox("pitm", 0, 0, be16(primary));
    // The location table's size does not depend on the offsets it holds, so
    // the layout is found with a table of zeros first.
    auto locations = [&](uint32_t mdatBody) {
        std::string entries;
        uint32_t at = mdatBody;
        for (const auto& item : placed) {
            entries += be16(item.id) + be16(0) + be16(1) + be32(at) + be32(static_cast<uint32_t>(item.bytes->size()));
            at += static_cast<uint32_t>(item.bytes->size());
        }
        return fullBox("iloc", 0, 0, std::string { 0x44, 0 } + be16(static_cast<uint16_t>(placed.size())) + entries);
    };
    auto meta = [&](uint32_t mdatBody) { return fullBox("meta", 0, 0, hdlr + pitm + locations(mdatBody) + iinf + iref + iprp); };
    const auto mdatBody = static_cast<uint32_t>(ftyp.size() + meta(0).size() + 8);
    std::string data;
    for (const auto& item : placed)
        data += *item.bytes;
    return ftyp + meta(mdatBody) + box("mdat", data);
}

namespace {

uint64_t readBig(const std::string& bytes, size_t at, size_t size)
{
    if (at + size > bytes.size())
        throw std::runtime_error("a HEIF box ends early");
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

void writeBig(std::string& bytes, size_t at, size_t size, uint64_t value)
{
    for (size_t i = size; i-- > 0; value >>= 8)
        bytes[at + i] = static_cast<char>(value & 0xff);
}

struct Child {
    std::string type;
    std::string body;
};

// The boxes that fill `bytes` (32-bit sizes only, as a photo's meta has them).
std::vector<Child> children(const std::string& bytes)
{
    std::vector<Child> found;
    for (size_t at = 0; at < bytes.size();) {
        const auto size = readBig(bytes, at, 4);
        if (size < 8 || at + size > bytes.size())
            throw std::runtime_error("a HEIF box of a size not handled here");
        found.push_back({ bytes.substr(at + 4, 4), bytes.substr(at + 8, size - 8) });
        at += size;
    }
    return found;
}

std::string joined(const std::vector<Child>& boxes)
{
    std::string bytes;
    for (const auto& child : boxes)
        bytes += box(child.type, child.body);
    return bytes;
}

Child& only(std::vector<Child>& boxes, const std::string& type)
{
    for (auto& child : boxes)
        if (child.type == type)
            return child;
    throw std::runtime_error("no '" + type + "' box");
}

// 'ipma' with `property` (1-based) added, as essential, after the others of each of `items`.
std::string associated(const std::string& ipma, const std::vector<uint32_t>& items, uint32_t property)
{
    const auto version = static_cast<uint8_t>(ipma[0]);
    const bool wide = readBig(ipma, 1, 3) & 1; // 15-bit property indices
    const size_t idSize = version < 1 ? 2 : 4;
    if (!wide && property > 0x7f)
        throw std::runtime_error("too many properties for 7-bit indices");
    std::string out = ipma.substr(0, 8);
    const auto count = readBig(ipma, 4, 4);
    size_t at = 8;
    for (uint64_t entry = 0; entry < count; ++entry) {
        const auto item = readBig(ipma, at, idSize);
        const auto associations = readBig(ipma, at + idSize, 1);
        const size_t length = idSize + 1 + associations * (wide ? 2 : 1);
        std::string copy = ipma.substr(at, length);
        if (std::find(items.begin(), items.end(), item) != items.end()) {
            writeBig(copy, idSize, 1, associations + 1);
            copy += wide ? be16(0x8000 | property) : std::string(1, static_cast<char>(0x80 | property));
        }
        out += copy;
        at += length;
    }
    return out;
}

// Adds `delta` to where each item of 'iloc' lies in the file.
void moveItems(std::string& iloc, int64_t delta)
{
    const auto version = static_cast<uint8_t>(iloc[0]);
    const auto sizes = readBig(iloc, 4, 2);
    const size_t offsetSize = sizes >> 12 & 0xf, lengthSize = sizes >> 8 & 0xf, baseSize = sizes >> 4 & 0xf;
    const size_t indexSize = version >= 1 ? (sizes & 0xf) : 0;
    const size_t countSize = version < 2 ? 2 : 4;
    const auto count = readBig(iloc, 6, countSize);
    size_t at = 6 + countSize;
    for (uint64_t item = 0; item < count; ++item) {
        at += version < 2 ? 2 : 4;
        uint64_t method = 0;
        if (version >= 1) {
            method = readBig(iloc, at, 2) & 0xf;
            at += 2;
        }
        at += 2; // the data reference
        const size_t base = at;
        at += baseSize;
        const auto extents = readBig(iloc, at, 2);
        at += 2;
        if (method == 0 && baseSize > 0)
            writeBig(iloc, base, baseSize, readBig(iloc, base, baseSize) + delta);
        for (uint64_t extent = 0; extent < extents; ++extent) {
            at += indexSize;
            if (method == 0 && baseSize == 0)
                writeBig(iloc, at, offsetSize, readBig(iloc, at, offsetSize) + delta);
            at += offsetSize + lengthSize;
        }
    }
}

} // namespace

std::string withRotation(const std::string& heif, const std::vector<uint32_t>& items, uint8_t quarterTurns)
{
    auto top = children(heif);
    Child& meta = only(top, "meta");
    const size_t before = meta.body.size();
    auto inMeta = children(meta.body.substr(4));
    Child& iprp = only(inMeta, "iprp");
    auto inProperties = children(iprp.body);
    Child& ipco = only(inProperties, "ipco");
    auto properties = children(ipco.body);
    properties.push_back({ "irot", std::string(1, static_cast<char>(quarterTurns & 3)) });
    ipco.body = joined(properties);
    Child& ipma = only(inProperties, "ipma");
    ipma.body = associated(ipma.body, items, static_cast<uint32_t>(properties.size()));
    iprp.body = joined(inProperties);

    // The items' bytes in 'mdat', after 'meta', move by what it grew.
    auto position = [&top](const std::string& type) {
        return std::find_if(top.begin(), top.end(), [&type](const Child& child) { return child.type == type; }) - top.begin();
    };
    if (position("mdat") < position("meta"))
        throw std::runtime_error("'mdat' before 'meta' is not handled here");
    meta.body = meta.body.substr(0, 4) + joined(inMeta);
    moveItems(only(inMeta, "iloc").body, static_cast<int64_t>(meta.body.size()) - static_cast<int64_t>(before));
    meta.body = meta.body.substr(0, 4) + joined(inMeta);
    return joined(top);
}

std::string exifOfJpeg(const std::string& jpeg)
{
    const size_t signature = jpeg.find(std::string("Exif\0\0", 6));
    if (signature == std::string::npos || signature < 4)
        throw std::runtime_error("no EXIF segment in the JPEG");
    const size_t length = (static_cast<uint8_t>(jpeg[signature - 2]) << 8) | static_cast<uint8_t>(jpeg[signature - 1]);
    return jpeg.substr(signature + 6, length - 8);
}

} // namespace fixtures
