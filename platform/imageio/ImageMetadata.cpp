#include "imageio/ImageMetadata.h"

#include "imageio/ImageProperties.h"

#include <exiv2/exiv2.hpp>

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

template<class T>
const std::vector<T>* componentsOf(const Exiv2::Value& value)
{
    const auto* typed = dynamic_cast<const Exiv2::ValueType<T>*>(&value);
    return typed ? &typed->value_ : nullptr;
}

template<class Pair>
std::optional<Number> ratio(const Exiv2::Value& value, size_t index)
{
    const auto* components = componentsOf<Pair>(value);
    if (!components || index >= components->size())
        return std::nullopt;
    const auto& [numerator, denominator] = (*components)[index];
    if (denominator == 0)
        return std::nullopt;
    return Number(static_cast<double>(numerator) / static_cast<double>(denominator));
}

template<class T>
std::optional<Number> real(const Exiv2::Value& value, size_t index)
{
    const auto* components = componentsOf<T>(value);
    if (!components || index >= components->size())
        return std::nullopt;
    double number = static_cast<double>((*components)[index]);
    if (!std::isfinite(number))
        return std::nullopt;
    return Number(number);
}

// Component `index` of a numeric value; nothing for texts, undefined bytes
// and the like, which would only be misread as numbers.
std::optional<Number> numberAt(const Exiv2::Value& value, size_t index)
{
    if (value.count() <= 0 || index >= static_cast<size_t>(value.count()))
        return std::nullopt;
    const long at = static_cast<long>(index);
    switch (value.typeId()) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return Number(static_cast<long long>(value.toLong(at)));
    case Exiv2::signedByte:
        // Bytes are held unsigned whatever their declared sign.
        return Number(static_cast<long long>(static_cast<int8_t>(value.toLong(at))));
    case Exiv2::unsignedRational:
        return ratio<Exiv2::URational>(value, index);
    case Exiv2::signedRational:
        return ratio<Exiv2::Rational>(value, index);
    case Exiv2::tiffFloat:
        return real<float>(value, index);
    case Exiv2::tiffDouble:
        return real<double>(value, index);
    default:
        return std::nullopt;
    }
}

bool isValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF
            || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The text of an ASCII entry: it ends at its first NUL (the terminator, and
// anything a writer left after it). Cameras sometimes store Latin-1 bytes in
// ASCII entries; text that is not valid UTF-8 is read as Latin-1.
std::optional<std::string> textOf(const Exiv2::Value& value)
{
    if (value.typeId() != Exiv2::asciiString)
        return std::nullopt;
    const auto* ascii = dynamic_cast<const Exiv2::StringValueBase*>(&value);
    if (!ascii)
        return std::nullopt;
    std::string_view text = ascii->value_;
    text = text.substr(0, text.find('\0'));
    if (isValidUtf8(text))
        return std::string(text);
    return latin1ToUtf8(text);
}

// Degrees, minutes and seconds (one to three rationals) as decimal degrees.
std::optional<double> coordinateOf(const Exiv2::Value& value)
{
    if (value.typeId() != Exiv2::unsignedRational && value.typeId() != Exiv2::signedRational)
        return std::nullopt;
    const long count = value.count();
    if (count < 1 || count > 3)
        return std::nullopt;
    static constexpr std::array<double, 3> divisors { 1.0, 60.0, 3600.0 };
    double degrees = 0;
    for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
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

std::optional<PropertyValue> readValue(const Exiv2::Value& value, Kind kind)
{
    switch (kind) {
    case Kind::Number:
        if (auto number = numberAt(value, 0))
            return PropertyValue(*number);
        return std::nullopt;
    case Kind::NumberList: {
        if (value.count() <= 0)
            return std::nullopt;
        std::vector<Number> numbers;
        for (size_t i = 0; i < static_cast<size_t>(value.count()); ++i) {
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

    void take(uint16_t tag, const Exiv2::Value* value)
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

void EntryCollector::add(Directory directory, uint16_t tag, const Exiv2::Value* value)
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

ImageMetadata extractMetadata(Exiv2::Image& image)
{
    EntryCollector collector;
    for (const Exiv2::Exifdatum& datum : image.exifData()) {
        const std::string group = datum.groupName();
        std::optional<Directory> directory;
        if (group == "Image")
            directory = Directory::Image;
        else if (group == "Photo")
            directory = Directory::Photo;
        else if (group == "GPSInfo")
            directory = Directory::GPSInfo;
        if (!directory)
            continue;
        // A datum without a value (possible in a damaged directory) still
        // marks its section as present; its own entry is left out.
        const Exiv2::Value* value = nullptr;
        try {
            value = &datum.value();
        } catch (const Exiv2::AnyError&) {
            value = nullptr;
        }
        collector.add(*directory, datum.tag(), value);
    }
    return collector.finish(image.pixelWidth(), image.pixelHeight());
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
