#include "imageio/ImageMetadata.h"

#include "imageio/ImageProperties.h"
#include "imageio/RawValue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

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

// One table with the section its entries go to; an entry's first occurrence
// decides, as a later duplicate of a tag is not what readers show.
struct SectionReader {
    const Mapping* begin;
    const Mapping* end;
    Section* section;
    std::vector<bool> seen;

    SectionReader(const Mapping* first, const Mapping* last, Section* target)
        : begin(first)
        , end(last)
        , section(target)
        , seen(static_cast<size_t>(last - first), false)
    {
    }

    void take(uint16_t tag, const RawValue* value)
    {
        for (const Mapping* mapping = begin; mapping != end; ++mapping) {
            if (mapping->tag != tag)
                continue;
            auto index = static_cast<size_t>(mapping - begin);
            if (!section->has_value())
                section->emplace();
            if (seen[index])
                return;
            seen[index] = true;
            if (value) {
                if (auto property = readValue(*value, mapping->kind))
                    (*section)->push_back({ mapping->key, std::move(*property) });
            }
            return;
        }
    }
};

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
        { std::begin(tiffMappings), std::end(tiffMappings), &metadata_.tiff },
        { std::begin(exifMappings), std::end(exifMappings), &metadata_.exif },
        { std::begin(gpsMappings), std::end(gpsMappings), &metadata_.gps },
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

ImageMetadata EntryCollector::finish(long long pixelWidth, long long pixelHeight)
{
    metadata_.pixelWidth = positive(pixelWidth);
    metadata_.pixelHeight = positive(pixelHeight);
    return std::move(metadata_);
}

bool EntryCollector::wanted(Directory directory, uint16_t tag)
{
    auto inTable = [tag](const auto& table) {
        return std::any_of(std::begin(table), std::end(table), [tag](const Mapping& mapping) { return mapping.tag == tag; });
    };
    switch (directory) {
    case Directory::Image:
        return inTable(tiffMappings);
    case Directory::Photo:
        return inTable(exifMappings);
    case Directory::GPSInfo:
        return inTable(gpsMappings);
    }
    return false;
}

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
