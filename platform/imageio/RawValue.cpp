#include "imageio/RawValue.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <string_view>

namespace imageio {

namespace {

// Component sizes of the TIFF types 1 (BYTE) to 13 (IFD).
constexpr std::array<uint32_t, 14> kTypeSizes { 0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4 };

// The library reads an unsigned rational as an integer only below this
// numerator, and gives 0 above it.
constexpr uint32_t kLargestRationalNumerator = 1000000;

uint16_t u16(const RawValue& value, size_t at)
{
    const uint8_t* p = value.bytes.data() + at;
    return value.littleEndian ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t u32(const RawValue& value, size_t at)
{
    const uint8_t* p = value.bytes.data() + at;
    if (value.littleEndian)
        return uint32_t { p[0] } | (uint32_t { p[1] } << 8) | (uint32_t { p[2] } << 16) | (uint32_t { p[3] } << 24);
    return (uint32_t { p[0] } << 24) | (uint32_t { p[1] } << 16) | (uint32_t { p[2] } << 8) | uint32_t { p[3] };
}

uint64_t u64(const RawValue& value, size_t at)
{
    const uint64_t first = u32(value, at);
    const uint64_t second = u32(value, at + 4);
    return value.littleEndian ? first | (second << 32) : (first << 32) | second;
}

// An integer in the range of a float or double, as the library takes it.
long long truncated(double real)
{
    if (!(real >= INT_MIN && real <= INT_MAX)) // out of range or NaN
        return 0;
    return static_cast<long long>(real);
}

std::optional<Number> finite(double real)
{
    if (!std::isfinite(real))
        return std::nullopt;
    return Number(real);
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

} // namespace

uint32_t tiffTypeSize(uint32_t type)
{
    return type < kTypeSizes.size() ? kTypeSizes[type] : 0;
}

size_t RawValue::count() const
{
    const uint32_t size = tiffTypeSize(type);
    return size ? bytes.size() / size : 0;
}

std::optional<Number> numberAt(const RawValue& value, size_t index)
{
    if (index >= value.count())
        return std::nullopt;
    const size_t at = index * tiffTypeSize(value.type);
    switch (value.type) {
    case kTiffByte:
        return Number(static_cast<long long>(value.bytes[at]));
    case kTiffSignedByte:
        return Number(static_cast<long long>(static_cast<int8_t>(value.bytes[at])));
    case kTiffShort:
        return Number(static_cast<long long>(u16(value, at)));
    case kTiffSignedShort:
        return Number(static_cast<long long>(static_cast<int16_t>(u16(value, at))));
    case kTiffLong:
        return Number(static_cast<long long>(u32(value, at)));
    case kTiffSignedLong:
        return Number(static_cast<long long>(static_cast<int32_t>(u32(value, at))));
    case kTiffRational: {
        const uint32_t denominator = u32(value, at + 4);
        if (denominator == 0)
            return std::nullopt;
        return Number(static_cast<double>(u32(value, at)) / static_cast<double>(denominator));
    }
    case kTiffSignedRational: {
        const auto denominator = static_cast<int32_t>(u32(value, at + 4));
        if (denominator == 0)
            return std::nullopt;
        return Number(static_cast<double>(static_cast<int32_t>(u32(value, at))) / static_cast<double>(denominator));
    }
    case kTiffFloat:
        return finite(std::bit_cast<float>(u32(value, at)));
    case kTiffDouble:
        return finite(std::bit_cast<double>(u64(value, at)));
    default: // text, undefined bytes and pointers are no numbers
        return std::nullopt;
    }
}

long long integerAt(const RawValue& value, size_t index)
{
    if (index >= value.count())
        return 0;
    const size_t at = index * tiffTypeSize(value.type);
    switch (value.type) {
    case kTiffByte:
    case kTiffSignedByte: // bytes are held unsigned whatever their declared sign
    case kTiffUndefined:
        return value.bytes[at];
    case kTiffAscii: // a text's characters are signed
        return static_cast<int8_t>(value.bytes[at]);
    case kTiffShort:
        return u16(value, at);
    case kTiffSignedShort:
        return static_cast<int16_t>(u16(value, at));
    case kTiffLong:
    case kTiffIfd:
        return u32(value, at);
    case kTiffSignedLong:
        return static_cast<int32_t>(u32(value, at));
    case kTiffRational: {
        const uint32_t numerator = u32(value, at);
        const uint32_t denominator = u32(value, at + 4);
        if (denominator == 0 || numerator >= kLargestRationalNumerator)
            return 0;
        return numerator / denominator;
    }
    case kTiffSignedRational: {
        const auto numerator = static_cast<int32_t>(u32(value, at));
        const auto denominator = static_cast<int32_t>(u32(value, at + 4));
        if (denominator <= 0 || numerator == INT32_MIN || numerator == INT32_MAX)
            return 0;
        return numerator / denominator;
    }
    case kTiffFloat:
        return truncated(std::bit_cast<float>(u32(value, at)));
    case kTiffDouble:
        return truncated(std::bit_cast<double>(u64(value, at)));
    default:
        return 0;
    }
}

std::optional<std::string> textOf(const RawValue& value)
{
    if (value.type != kTiffAscii)
        return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
    text = text.substr(0, text.find('\0'));
    // Control characters (but tab and line ends) make it no text: a damaged
    // directory's junk, not a name or a date.
    auto isControl = [](unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f; };
    if (std::any_of(text.begin(), text.end(), isControl))
        return std::nullopt;
    if (isValidUtf8(text))
        return std::string(text);
    // Read as Latin-1, bytes 0x80 to 0x9F are control characters too.
    if (std::any_of(text.begin(), text.end(), [](unsigned char c) { return c >= 0x80 && c < 0xa0; }))
        return std::nullopt;
    return latin1ToUtf8(text);
}

} // namespace imageio
