#include "support/HeifFixture.h"

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

std::string exifOfJpeg(const std::string& jpeg)
{
    const size_t signature = jpeg.find(std::string("Exif\0\0", 6));
    if (signature == std::string::npos || signature < 4)
        throw std::runtime_error("no EXIF segment in the JPEG");
    const size_t length = (static_cast<uint8_t>(jpeg[signature - 2]) << 8) | static_cast<uint8_t>(jpeg[signature - 1]);
    return jpeg.substr(signature + 6, length - 8);
}

} // namespace fixtures
