#pragma once

// An entry's value as a TIFF structure stores it (its type, its bytes, their
// byte order), and what the table reads from it: numbers, rationals, floats,
// doubles and ASCII text, each read as the metadata library's value classes
// read it. Both readers hand their entries over in this form, so one decoder
// serves the lean reader and the full one.

#include "imageio/ImageMetadata.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace imageio {

// The TIFF field types; any other number is a type no entry of the table has.
enum TiffType : uint16_t {
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSignedByte = 6,
    kTiffUndefined = 7,
    kTiffSignedShort = 8,
    kTiffSignedLong = 9,
    kTiffSignedRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
    kTiffIfd = 13,
};

// Bytes per component of a TIFF type; zero for a type that is none.
uint32_t tiffTypeSize(uint32_t type);

struct RawValue {
    uint32_t type = 0;
    std::span<const uint8_t> bytes; // the components, in the entry's byte order
    bool littleEndian = true;

    // The whole components the bytes hold (a trailing part is no component,
    // as the library reads it).
    size_t count() const;
};

// Component `index` of a numeric value: integers as integers, rationals,
// floats and doubles as doubles. Nothing for text, undefined bytes and
// pointers, a zero denominator or a value that is not finite.
std::optional<Number> numberAt(const RawValue& value, size_t index);

// Component `index` as the library's integer reading of it (what it takes a
// TIFF image's width or subfile type to be): text and bytes give their byte,
// a rational its quotient and a float its integer part when in range, 0
// otherwise. `index` is below count().
long long integerAt(const RawValue& value, size_t index);

// The text of an ASCII value, up to its first NUL; text that is not UTF-8
// is read as Latin-1, as cameras sometimes write it. Nothing for other types.
std::optional<std::string> textOf(const RawValue& value);

} // namespace imageio
