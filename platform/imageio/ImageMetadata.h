#pragma once

// The metadata of one image file as plain values, read once when the file is
// opened and turned into property dictionaries on request. Nothing here refers
// to the file any more, so a source holds no file handle and no parser state.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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

struct PixelDimensions {
    long long width = 0;
    long long height = 0;
};

struct ImageMetadata {
    // The picture as stored, and as a person sees it (turned by the EXIF
    // orientation, or by the container's own rotation and crop).
    std::optional<long long> pixelWidth;
    std::optional<long long> pixelHeight;
    std::optional<long long> shownWidth;
    std::optional<long long> shownHeight;
    std::optional<Number> orientation;
    Section tiff;
    Section exif;
    Section gps;
};

struct RawValue;

// The three directories whose entries the table reads: the first TIFF
// directory, the EXIF directory and the GPS directory.
enum class Directory { Image, Photo, GPSInfo };

// Turns entries into ImageMetadata, fed in the order the file lists them.
// Both readers of a file go through it, so a value means the same whoever
// found it: the first occurrence of a tag decides, any entry of the EXIF or
// GPS directory makes its section present, an entry of the table makes the
// TIFF section present.
class EntryCollector {
public:
    EntryCollector();
    ~EntryCollector();
    EntryCollector(const EntryCollector&) = delete;
    EntryCollector& operator=(const EntryCollector&) = delete;

    // An entry; `value` is null when the entry has none that can be read.
    void add(Directory directory, uint16_t tag, const RawValue* value);
    // The metadata gathered, with the stored pixel size (zero or less:
    // unknown) and, where the container turns or crops the picture itself,
    // the size shown; otherwise the orientation turns the stored size.
    ImageMetadata finish(long long pixelWidth, long long pixelHeight, std::optional<PixelDimensions> shown = std::nullopt);

    // Whether the table reads this entry.
    static bool wanted(Directory directory, uint16_t tag);

private:
    struct Readers;
    ImageMetadata metadata_;
    std::unique_ptr<Readers> readers_;
    bool orientationSeen_ = false;
};

// Every entry the table reads, with the metadata library's name for it.
struct EntryName {
    Directory directory;
    uint16_t tag;
    std::string_view exivKey;
};
const std::vector<EntryName>& tableEntryNames();

} // namespace imageio
