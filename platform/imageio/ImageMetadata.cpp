#include "imageio/ImageMetadata.h"

#include "imageio/ImageProperties.h"

#include <exiv2/exiv2.hpp>

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
    std::string_view exivKey;
    const char* key;
    Kind kind;
};

constexpr Mapping tiffMappings[] = {
    { "Exif.Image.Make", kCGImagePropertyTIFFMake, Kind::Text },
    { "Exif.Image.Model", kCGImagePropertyTIFFModel, Kind::Text },
    { "Exif.Image.Software", kCGImagePropertyTIFFSoftware, Kind::Text },
    { "Exif.Image.DateTime", kCGImagePropertyTIFFDateTime, Kind::Text },
    { "Exif.Image.Orientation", kCGImagePropertyTIFFOrientation, Kind::Number },
    { "Exif.Image.XResolution", kCGImagePropertyTIFFXResolution, Kind::Number },
    { "Exif.Image.YResolution", kCGImagePropertyTIFFYResolution, Kind::Number },
    { "Exif.Image.ResolutionUnit", kCGImagePropertyTIFFResolutionUnit, Kind::Number },
};

constexpr Mapping exifMappings[] = {
    { "Exif.Photo.FocalLength", kCGImagePropertyExifFocalLength, Kind::Number },
    { "Exif.Photo.FocalLengthIn35mmFilm", kCGImagePropertyExifFocalLenIn35mmFilm, Kind::Number },
    { "Exif.Photo.ApertureValue", kCGImagePropertyExifApertureValue, Kind::Number },
    { "Exif.Photo.MaxApertureValue", kCGImagePropertyExifMaxApertureValue, Kind::Number },
    { "Exif.Photo.FNumber", kCGImagePropertyExifFNumber, Kind::Number },
    { "Exif.Photo.ExposureTime", kCGImagePropertyExifExposureTime, Kind::Number },
    { "Exif.Photo.ShutterSpeedValue", kCGImagePropertyExifShutterSpeedValue, Kind::Number },
    { "Exif.Photo.ISOSpeedRatings", kCGImagePropertyExifISOSpeedRatings, Kind::NumberList },
    { "Exif.Photo.WhiteBalance", kCGImagePropertyExifWhiteBalance, Kind::Number },
    { "Exif.Photo.DateTimeOriginal", kCGImagePropertyExifDateTimeOriginal, Kind::Text },
    { "Exif.Photo.DateTimeDigitized", kCGImagePropertyExifDateTimeDigitized, Kind::Text },
    { "Exif.Photo.Flash", kCGImagePropertyExifFlash, Kind::Number },
    { "Exif.Photo.ExposureBiasValue", kCGImagePropertyExifExposureBiasValue, Kind::Number },
    { "Exif.Photo.ExposureProgram", kCGImagePropertyExifExposureProgram, Kind::Number },
    { "Exif.Photo.ExposureMode", kCGImagePropertyExifExposureMode, Kind::Number },
    { "Exif.Photo.MeteringMode", kCGImagePropertyExifMeteringMode, Kind::Number },
    { "Exif.Photo.LightSource", kCGImagePropertyExifLightSource, Kind::Number },
    { "Exif.Photo.DigitalZoomRatio", kCGImagePropertyExifDigitalZoomRatio, Kind::Number },
    { "Exif.Photo.BrightnessValue", kCGImagePropertyExifBrightnessValue, Kind::Number },
    { "Exif.Photo.SceneCaptureType", kCGImagePropertyExifSceneCaptureType, Kind::Number },
    { "Exif.Photo.SensingMethod", kCGImagePropertyExifSensingMethod, Kind::Number },
    { "Exif.Photo.GainControl", kCGImagePropertyExifGainControl, Kind::Number },
    { "Exif.Photo.CustomRendered", kCGImagePropertyExifCustomRendered, Kind::Number },
    { "Exif.Photo.Contrast", kCGImagePropertyExifContrast, Kind::Number },
    { "Exif.Photo.Saturation", kCGImagePropertyExifSaturation, Kind::Number },
    { "Exif.Photo.Sharpness", kCGImagePropertyExifSharpness, Kind::Number },
    { "Exif.Photo.SubjectDistanceRange", kCGImagePropertyExifSubjectDistRange, Kind::Number },
    { "Exif.Photo.SubjectDistance", kCGImagePropertyExifSubjectDistance, Kind::Number },
    { "Exif.Photo.Gamma", kCGImagePropertyExifGamma, Kind::Number },
    { "Exif.Photo.ColorSpace", kCGImagePropertyExifColorSpace, Kind::Number },
};

constexpr Mapping gpsMappings[] = {
    { "Exif.GPSInfo.GPSLatitudeRef", kCGImagePropertyGPSLatitudeRef, Kind::Reference },
    { "Exif.GPSInfo.GPSLatitude", kCGImagePropertyGPSLatitude, Kind::Coordinate },
    { "Exif.GPSInfo.GPSLongitudeRef", kCGImagePropertyGPSLongitudeRef, Kind::Reference },
    { "Exif.GPSInfo.GPSLongitude", kCGImagePropertyGPSLongitude, Kind::Coordinate },
};

constexpr std::string_view orientationKey = "Exif.Image.Orientation";

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

    // True when the key belongs to this table.
    bool take(std::string_view exivKey, const Exiv2::Value* value)
    {
        for (const Mapping* mapping = begin; mapping != end; ++mapping) {
            if (mapping->exivKey != exivKey)
                continue;
            auto index = static_cast<size_t>(mapping - begin);
            if (!section->has_value())
                section->emplace();
            if (seen[index])
                return true;
            seen[index] = true;
            if (value) {
                if (auto property = readValue(*value, mapping->kind))
                    (*section)->push_back({ mapping->key, std::move(*property) });
            }
            return true;
        }
        return false;
    }
};

std::optional<long long> positive(int value)
{
    if (value > 0)
        return value;
    return std::nullopt;
}

} // namespace

ImageMetadata extractMetadata(Exiv2::Image& image)
{
    ImageMetadata metadata;
    metadata.pixelWidth = positive(image.pixelWidth());
    metadata.pixelHeight = positive(image.pixelHeight());

    SectionReader readers[] = {
        { std::begin(tiffMappings), std::end(tiffMappings), &metadata.tiff },
        { std::begin(exifMappings), std::end(exifMappings), &metadata.exif },
        { std::begin(gpsMappings), std::end(gpsMappings), &metadata.gps },
    };
    bool orientationSeen = false;

    for (const Exiv2::Exifdatum& datum : image.exifData()) {
        // A datum without a value (possible in a damaged directory) still
        // marks its section as present; its own entry is left out.
        const Exiv2::Value* value = nullptr;
        try {
            value = &datum.value();
        } catch (const Exiv2::AnyError&) {
            value = nullptr;
        }

        const std::string group = datum.groupName();
        if (group == "Photo" && !metadata.exif)
            metadata.exif.emplace();
        else if (group == "GPSInfo" && !metadata.gps)
            metadata.gps.emplace();

        const std::string key = datum.key();
        if (key == orientationKey && !orientationSeen) {
            orientationSeen = true;
            if (value)
                metadata.orientation = numberAt(*value, 0);
        }
        for (auto& reader : readers) {
            if (reader.take(key, value))
                break;
        }
    }
    return metadata;
}

} // namespace imageio
