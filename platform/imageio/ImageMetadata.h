#pragma once

// The metadata of one image file as plain values, read once when the file is
// opened and turned into property dictionaries on request. Nothing here refers
// to the file any more, so a source holds no file handle and no parser state.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Exiv2 {
class Image;
}

namespace imageio {

// A number as the file stores it: integers stay integers, rationals and
// floating-point values become doubles.
using Number = std::variant<long long, double>;

using PropertyValue = std::variant<Number, std::vector<Number>, std::string>;

struct Property {
    const char* key; // one of the keys of ImageProperties.h
    PropertyValue value;
};

// One sub-dictionary; an absent section is std::nullopt, a present one may be
// empty when every entry it had was unreadable.
using Section = std::optional<std::vector<Property>>;

struct ImageMetadata {
    std::optional<long long> pixelWidth;
    std::optional<long long> pixelHeight;
    std::optional<Number> orientation;
    Section tiff;
    Section exif;
    Section gps;
};

// Reads the values of an image whose metadata has been read. Values of a type
// the entry never has (a text where a number belongs, a zero denominator, a
// non-finite number) are left out. May throw what the metadata library throws.
ImageMetadata extractMetadata(Exiv2::Image& image);

} // namespace imageio
