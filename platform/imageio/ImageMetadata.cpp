#include "imageio/ImageMetadata.h"

#include "imageio/ImageProperties.h"
#include "imageio/RawValue.h"
#include "runtime/FlatMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>
#include <variant>

namespace imageio {

namespace {

// How an entry's stored value becomes a property value.
enum class Kind {
    Number, // first component
    NumberList, // every component
    Text, // ASCII text up to its terminating NUL
    Coordinate, // degrees, minutes, seconds -> decimal degrees
    Reference, // first character of an ASCII text
};

struct Mapping {
    uint16_t tag;
    std::string_view exivKey; // the metadata library's name of the entry
    const char* key;
    Kind kind;
};

constexpr Mapping tiffMappings[] = {
    { 0x010f, "Exif.Image.Make", kCGImagePropertyTIFFMake, Kind::Text },
    { 0x0110, "Exif.Image.Model", kCGImagePropertyTIFFModel, Kind::Text },
    { 0x0131, "Exif.Image.Software", kCGImagePropertyTIFFSoftware, Kind::Text },
    { 0x0132, "Exif.Image.DateTime", kCGImagePropertyTIFFDateTime, Kind::Text },
    { 0x0112, "Exif.Image.Orientation", kCGImagePropertyTIFFOrientation, Kind::Number },
    { 0x011a, "Exif.Image.XResolution", kCGImagePropertyTIFFXResolution, Kind::Number },
    { 0x011b, "Exif.Image.YResolution", kCGImagePropertyTIFFYResolution, Kind::Number },
    { 0x0128, "Exif.Image.ResolutionUnit", kCGImagePropertyTIFFResolutionUnit, Kind::Number },
};

constexpr Mapping exifMappings[] = {
    { 0x920a, "Exif.Photo.FocalLength", kCGImagePropertyExifFocalLength, Kind::Number },
    { 0xa405, "Exif.Photo.FocalLengthIn35mmFilm", kCGImagePropertyExifFocalLenIn35mmFilm, Kind::Number },
    { 0x9202, "Exif.Photo.ApertureValue", kCGImagePropertyExifApertureValue, Kind::Number },
    { 0x9205, "Exif.Photo.MaxApertureValue", kCGImagePropertyExifMaxApertureValue, Kind::Number },
    { 0x829d, "Exif.Photo.FNumber", kCGImagePropertyExifFNumber, Kind::Number },
    { 0x829a, "Exif.Photo.ExposureTime", kCGImagePropertyExifExposureTime, Kind::Number },
    { 0x9201, "Exif.Photo.ShutterSpeedValue", kCGImagePropertyExifShutterSpeedValue, Kind::Number },
    { 0x8827, "Exif.Photo.ISOSpeedRatings", kCGImagePropertyExifISOSpeedRatings, Kind::NumberList },
    { 0xa403, "Exif.Photo.WhiteBalance", kCGImagePropertyExifWhiteBalance, Kind::Number },
    { 0x9003, "Exif.Photo.DateTimeOriginal", kCGImagePropertyExifDateTimeOriginal, Kind::Text },
    { 0x9004, "Exif.Photo.DateTimeDigitized", kCGImagePropertyExifDateTimeDigitized, Kind::Text },
    { 0x9011, "Exif.Photo.OffsetTimeOriginal", kCGImagePropertyExifOffsetTimeOriginal, Kind::Text },
    { 0x9209, "Exif.Photo.Flash", kCGImagePropertyExifFlash, Kind::Number },
    { 0x9204, "Exif.Photo.ExposureBiasValue", kCGImagePropertyExifExposureBiasValue, Kind::Number },
    { 0x8822, "Exif.Photo.ExposureProgram", kCGImagePropertyExifExposureProgram, Kind::Number },
    { 0xa402, "Exif.Photo.ExposureMode", kCGImagePropertyExifExposureMode, Kind::Number },
    { 0x9207, "Exif.Photo.MeteringMode", kCGImagePropertyExifMeteringMode, Kind::Number },
    { 0x9208, "Exif.Photo.LightSource", kCGImagePropertyExifLightSource, Kind::Number },
    { 0xa404, "Exif.Photo.DigitalZoomRatio", kCGImagePropertyExifDigitalZoomRatio, Kind::Number },
    { 0x9203, "Exif.Photo.BrightnessValue", kCGImagePropertyExifBrightnessValue, Kind::Number },
    { 0xa406, "Exif.Photo.SceneCaptureType", kCGImagePropertyExifSceneCaptureType, Kind::Number },
    { 0xa217, "Exif.Photo.SensingMethod", kCGImagePropertyExifSensingMethod, Kind::Number },
    { 0xa407, "Exif.Photo.GainControl", kCGImagePropertyExifGainControl, Kind::Number },
    { 0xa401, "Exif.Photo.CustomRendered", kCGImagePropertyExifCustomRendered, Kind::Number },
    { 0xa408, "Exif.Photo.Contrast", kCGImagePropertyExifContrast, Kind::Number },
    { 0xa409, "Exif.Photo.Saturation", kCGImagePropertyExifSaturation, Kind::Number },
    { 0xa40a, "Exif.Photo.Sharpness", kCGImagePropertyExifSharpness, Kind::Number },
    { 0xa40c, "Exif.Photo.SubjectDistanceRange", kCGImagePropertyExifSubjectDistRange, Kind::Number },
    { 0x9206, "Exif.Photo.SubjectDistance", kCGImagePropertyExifSubjectDistance, Kind::Number },
    { 0xa500, "Exif.Photo.Gamma", kCGImagePropertyExifGamma, Kind::Number },
    { 0xa001, "Exif.Photo.ColorSpace", kCGImagePropertyExifColorSpace, Kind::Number },
};

constexpr Mapping gpsMappings[] = {
    { 0x0001, "Exif.GPSInfo.GPSLatitudeRef", kCGImagePropertyGPSLatitudeRef, Kind::Reference },
    { 0x0002, "Exif.GPSInfo.GPSLatitude", kCGImagePropertyGPSLatitude, Kind::Coordinate },
    { 0x0003, "Exif.GPSInfo.GPSLongitudeRef", kCGImagePropertyGPSLongitudeRef, Kind::Reference },
    { 0x0004, "Exif.GPSInfo.GPSLongitude", kCGImagePropertyGPSLongitude, Kind::Coordinate },
};

constexpr uint16_t orientationTag = 0x0112;

// Degrees, minutes and seconds (one to three rationals) as decimal degrees.
std::optional<double> coordinateOf(const RawValue& value)
{
    if (value.type != kTiffRational && value.type != kTiffSignedRational)
        return std::nullopt;
    const size_t count = value.count();
    if (count < 1 || count > 3)
        return std::nullopt;
    static constexpr std::array<double, 3> divisors { 1.0, 60.0, 3600.0 };
    double degrees = 0;
    for (size_t i = 0; i < count; ++i) {
        auto component = numberAt(value, i);
        if (!component)
            return std::nullopt;
        double part = std::get<double>(*component);
        if (!(part >= 0)) // negative or NaN
            return std::nullopt;
        degrees += part / divisors[i];
    }
    return degrees;
}

std::optional<PropertyValue> readValue(const RawValue& value, Kind kind)
{
    switch (kind) {
    case Kind::Number:
        if (auto number = numberAt(value, 0))
            return PropertyValue(*number);
        return std::nullopt;
    case Kind::NumberList: {
        if (value.count() == 0)
            return std::nullopt;
        std::vector<Number> numbers;
        for (size_t i = 0; i < value.count(); ++i) {
            auto number = numberAt(value, i);
            if (!number)
                return std::nullopt;
            numbers.push_back(*number);
        }
        return PropertyValue(std::move(numbers));
    }
    case Kind::Text:
        if (auto text = textOf(value))
            return PropertyValue(std::move(*text));
        return std::nullopt;
    case Kind::Coordinate:
        if (auto degrees = coordinateOf(value))
            return PropertyValue(Number(*degrees));
        return std::nullopt;
    case Kind::Reference: {
        auto text = textOf(value);
        if (!text || text->empty())
            return std::nullopt;
        auto first = static_cast<unsigned char>(text->front());
        if (first <= ' ' || first >= 0x7F)
            return std::nullopt;
        return PropertyValue(std::string(1, static_cast<char>(first)));
    }
    }
    return std::nullopt;
}

// A table's entries by tag and by key, worked out when the table is first
// used; a section's properties come out in the order of their keys, the
// order a dictionary keeps them in.
struct Table {
    std::span<const Mapping> mappings;
    FlatMap<uint16_t, uint8_t> positions; // by tag
    std::vector<uint8_t> byKey;

    explicit Table(std::span<const Mapping> source)
        : mappings(source)
    {
        static_assert(std::size(tiffMappings) <= 256 && std::size(exifMappings) <= 256 && std::size(gpsMappings) <= 256);
        for (size_t i = 0; i < mappings.size(); ++i) {
            positions.emplace(mappings[i].tag, static_cast<uint8_t>(i));
            byKey.push_back(static_cast<uint8_t>(i));
        }
        std::sort(byKey.begin(), byKey.end(),
            [&](uint8_t a, uint8_t b) { return std::string_view(mappings[a].key) < std::string_view(mappings[b].key); });
    }

    // The position of the tag's mapping in the table, or -1.
    int find(uint16_t tag) const
    {
        auto found = positions.find(tag);
        return found != positions.end() ? found->second : -1;
    }
};

const Table& tableFor(Directory directory)
{
    static const Table tiff(tiffMappings);
    static const Table exif(exifMappings);
    static const Table gps(gpsMappings);
    switch (directory) {
    case Directory::Image:
        return tiff;
    case Directory::Photo:
        return exif;
    case Directory::GPSInfo:
        break;
    }
    return gps;
}

// Gathers one section: an entry's first occurrence decides, as a later
// duplicate of a tag is not what readers show. Values wait in the table's
// order until the section is finished.
struct SectionReader {
    const Table& table;
    Section* section;
    std::vector<std::optional<PropertyValue>> values;
    uint64_t seen = 0; // a bit per mapping

    SectionReader(const Table& source, Section* target)
        : table(source)
        , section(target)
        , values(source.mappings.size())
    {
    }

    void take(uint16_t tag, const RawValue* value)
    {
        const int index = table.find(tag);
        if (index < 0)
            return;
        if (!section->has_value())
            section->emplace();
        const uint64_t bit = uint64_t { 1 } << index;
        if (seen & bit)
            return;
        seen |= bit;
        if (value)
            values[static_cast<size_t>(index)] = readValue(*value, table.mappings[static_cast<size_t>(index)].kind);
    }

    // Moves the values found into the section, in the order of their keys.
    void finish()
    {
        if (!section->has_value())
            return;
        (*section)->reserve((*section)->size() + static_cast<size_t>(std::popcount(seen)));
        for (uint8_t index : table.byKey) {
            if (auto& value = values[index])
                (*section)->push_back({ table.mappings[index].key, std::move(*value) });
        }
    }
};

static_assert(std::size(exifMappings) <= 64 && std::size(tiffMappings) <= 64 && std::size(gpsMappings) <= 64,
    "a section reader marks the entries it has seen in 64 bits");

std::optional<long long> positive(long long value)
{
    if (value > 0)
        return value;
    return std::nullopt;
}

} // namespace

struct EntryCollector::Readers {
    SectionReader tiff;
    SectionReader exif;
    SectionReader gps;
};

EntryCollector::EntryCollector()
    : readers_(std::make_unique<Readers>(Readers {
        { tableFor(Directory::Image), &metadata_.tiff },
        { tableFor(Directory::Photo), &metadata_.exif },
        { tableFor(Directory::GPSInfo), &metadata_.gps },
    }))
{
}

EntryCollector::~EntryCollector() = default;

void EntryCollector::add(Directory directory, uint16_t tag, const RawValue* value)
{
    switch (directory) {
    case Directory::Image:
        if (tag == orientationTag && !orientationSeen_) {
            orientationSeen_ = true;
            if (value)
                metadata_.orientation = numberAt(*value, 0);
        }
        readers_->tiff.take(tag, value);
        return;
    case Directory::Photo:
        if (!metadata_.exif)
            metadata_.exif.emplace();
        readers_->exif.take(tag, value);
        return;
    case Directory::GPSInfo:
        if (!metadata_.gps)
            metadata_.gps.emplace();
        readers_->gps.take(tag, value);
        return;
    }
}

ImageMetadata EntryCollector::finish(long long pixelWidth, long long pixelHeight, std::optional<PixelDimensions> shown)
{
    readers_->tiff.finish();
    readers_->exif.finish();
    readers_->gps.finish();
    metadata_.pixelWidth = positive(pixelWidth);
    metadata_.pixelHeight = positive(pixelHeight);
    if (!metadata_.pixelWidth || !metadata_.pixelHeight)
        return std::move(metadata_);
    if (!shown) {
        // Orientations 5 to 8 store the picture turned by a quarter.
        const bool turned = metadata_.orientation
            && std::visit([](auto number) { return number >= 5 && number < 9; }, *metadata_.orientation);
        shown = turned ? PixelDimensions { pixelHeight, pixelWidth } : PixelDimensions { pixelWidth, pixelHeight };
    }
    metadata_.shownWidth = positive(shown->width);
    metadata_.shownHeight = positive(shown->height);
    return std::move(metadata_);
}

bool EntryCollector::wanted(Directory directory, uint16_t tag) { return tableFor(directory).find(tag) >= 0; }

const std::vector<EntryName>& tableEntryNames()
{
    static const auto* names = [] {
        auto* list = new std::vector<EntryName>;
        for (const auto& mapping : tiffMappings)
            list->push_back({ Directory::Image, mapping.tag, mapping.exivKey });
        for (const auto& mapping : exifMappings)
            list->push_back({ Directory::Photo, mapping.tag, mapping.exivKey });
        for (const auto& mapping : gpsMappings)
            list->push_back({ Directory::GPSInfo, mapping.tag, mapping.exivKey });
        return list;
    }();
    return *names;
}

} // namespace imageio
