#include "imageio/PictureSize.h"

#include "imageio/BmffWalk.h"
#include "imageio/JpegSegments.h"

#include <array>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace imageio {

namespace {

// A 'meta' box larger than this is no photo's; its picture is not sized.
constexpr uint64_t kLargestMeta = 4 << 20;

// One box of an in-memory range: its type and body.
struct Box {
    std::string_view type;
    std::span<const uint8_t> body;
};

// The boxes that exactly fill `bytes`; nothing when one overruns the range
// or the range ends inside a header.
std::optional<std::vector<Box>> boxesOf(std::span<const uint8_t> bytes)
{
    std::vector<Box> boxes;
    while (!bytes.empty()) {
        auto head = boxHeaderAt(bytes.data(), bytes.size(), SizeZero::ToTheEnd);
        if (!head)
            return std::nullopt;
        boxes.push_back({ std::string_view(reinterpret_cast<const char*>(bytes.data() + 4), 4),
            bytes.subspan(head->headerSize, head->size - head->headerSize) });
        bytes = bytes.subspan(head->size);
    }
    return boxes;
}

const Box* firstOfType(const std::vector<Box>& boxes, std::string_view type)
{
    for (const Box& box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

// The 'meta' box's body (after its version and flags), read from the file.
std::optional<std::vector<uint8_t>> metaBody(const FileWindow& file)
{
    for (uint64_t at = 0; at + 8 <= file.size();) {
        uint8_t header[16] {};
        const uint64_t room = file.size() - at;
        if (!file.read(at, static_cast<size_t>(std::min<uint64_t>(room, sizeof header)), header))
            return std::nullopt;
        auto head = boxHeaderAt(header, room, SizeZero::ToTheEnd);
        if (!head)
            return std::nullopt;
        if (std::memcmp(header + 4, "meta", 4) == 0) {
            if (head->size - head->headerSize < 4 || head->size > kLargestMeta)
                return std::nullopt;
            std::vector<uint8_t> body;
            if (!file.read(at + head->headerSize + 4, static_cast<size_t>(head->size - head->headerSize - 4), body))
                return std::nullopt;
            return body;
        }
        at += head->size;
    }
    return std::nullopt;
}

// The primary item's number from 'pitm'.
std::optional<uint32_t> primaryItem(const Box& pitm)
{
    const auto& body = pitm.body;
    if (body.size() < 6)
        return std::nullopt;
    if (body[0] == 0)
        return bigEndian16(body.data() + 4);
    if (body.size() < 8)
        return std::nullopt;
    return bigEndian32(body.data() + 4);
}

// The property numbers (1-based, into 'ipco') of `item`, in the order the
// 'ipma' boxes list them. Nothing when a table is cut short.
std::optional<std::vector<uint32_t>> propertiesOf(uint32_t item, const std::vector<Box>& inProperties)
{
    std::vector<uint32_t> found;
    for (const Box& box : inProperties) {
        if (box.type != "ipma")
            continue;
        const auto& body = box.body;
        if (body.size() < 8)
            return std::nullopt;
        const uint8_t version = body[0];
        const bool wideIndex = body[3] & 1;
        const uint32_t entries = bigEndian32(body.data() + 4);
        size_t at = 8;
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t idSize = version < 1 ? 2 : 4;
            if (body.size() - at < idSize + 1)
                return std::nullopt;
            const uint32_t id = idSize == 2 ? bigEndian16(body.data() + at) : bigEndian32(body.data() + at);
            const uint8_t count = body[at + idSize];
            at += idSize + 1;
            const size_t indexSize = wideIndex ? 2 : 1;
            if (body.size() - at < size_t { count } * indexSize)
                return std::nullopt;
            for (uint8_t j = 0; j < count; ++j, at += indexSize) {
                const uint32_t index = wideIndex ? (bigEndian16(body.data() + at) & 0x7fff) : (body[at] & 0x7f);
                if (id == item)
                    found.push_back(index);
            }
        }
    }
    return found;
}

// A clean-aperture side: the fraction rounded to the nearest pixel.
std::optional<long long> roundedSide(const uint8_t* fraction)
{
    const long long numerator = static_cast<int32_t>(bigEndian32(fraction));
    const long long denominator = static_cast<int32_t>(bigEndian32(fraction + 4));
    if (denominator <= 0 || numerator <= 0)
        return std::nullopt;
    return (numerator + denominator / 2) / denominator;
}

} // namespace

std::optional<PictureSize> jpegPictureSize(const FileWindow& file)
{
    const auto size = jpegFrameSize(file);
    return size ? std::optional<PictureSize> { PictureSize { *size, std::nullopt } } : std::nullopt;
}

std::optional<PictureSize> heifPictureSize(const FileWindow& file)
{
    auto meta = HeifMeta::read(file);
    auto item = meta ? meta->primaryItem() : std::nullopt;
    return item ? meta->itemSize(*item) : std::nullopt;
}

std::optional<HeifMeta> HeifMeta::read(const FileWindow& file)
{
    auto body = metaBody(file);
    if (!body || !boxesOf(*body))
        return std::nullopt;
    HeifMeta meta;
    meta.body_ = std::move(*body);
    return meta;
}

std::optional<std::vector<HeifBox>> HeifMeta::boxes(std::span<const uint8_t> bytes)
{
    auto found = boxesOf(bytes);
    if (!found)
        return std::nullopt;
    std::vector<HeifBox> boxes;
    for (const Box& box : *found)
        boxes.push_back({ box.type, box.body });
    return boxes;
}

std::optional<std::span<const uint8_t>> HeifMeta::box(std::string_view type) const
{
    auto inMeta = boxesOf(body_);
    const Box* found = inMeta ? firstOfType(*inMeta, type) : nullptr;
    if (!found)
        return std::nullopt;
    return found->body;
}

std::optional<uint32_t> HeifMeta::primaryItem() const
{
    auto pitm = box("pitm");
    return pitm ? imageio::primaryItem(Box { "pitm", *pitm }) : std::nullopt;
}

std::optional<PictureSize> HeifMeta::itemSize(uint32_t item) const
{
    auto iprp = box("iprp");
    auto inProperties = iprp ? boxesOf(*iprp) : std::nullopt;
    if (!inProperties)
        return std::nullopt;
    const Box* ipco = firstOfType(*inProperties, "ipco");
    auto properties = ipco ? boxesOf(ipco->body) : std::nullopt;
    auto associated = propertiesOf(item, *inProperties);
    if (!properties || !associated)
        return std::nullopt;

    // The properties apply in the order they are listed: the stored size
    // first, then each turn and crop to the picture as it stands.
    std::optional<PixelDimensions> stored;
    PixelDimensions shown;
    for (uint32_t index : *associated) {
        if (index == 0 || index > properties->size())
            continue; // no property, or one that is not there
        const Box& property = (*properties)[index - 1];
        const auto& body = property.body;
        if (property.type == "ispe" && !stored) {
            if (body.size() < 12)
                return std::nullopt;
            stored = PixelDimensions { bigEndian32(body.data() + 4), bigEndian32(body.data() + 8) };
            shown = *stored;
        } else if (property.type == "irot" && stored) {
            if (body.empty())
                return std::nullopt;
            if (body[0] & 1)
                std::swap(shown.width, shown.height); // a quarter or three quarters of a turn
        } else if (property.type == "clap" && stored) {
            if (body.size() < 32)
                return std::nullopt;
            auto width = roundedSide(body.data());
            auto height = roundedSide(body.data() + 8);
            if (!width || !height)
                return std::nullopt;
            shown = PixelDimensions { *width, *height };
        }
    }
    if (!stored || stored->width <= 0 || stored->height <= 0)
        return std::nullopt;
    return PictureSize { *stored, shown };
}

} // namespace imageio
