// The one decoder of entry values against the metadata library's own value
// classes: every TIFF type, both byte orders, awkward components (zero and
// negative denominators, numbers past the integer range, infinities, NaN,
// bytes past 0x7F, text without its NUL).

#include "imageio/full/LibraryValue.h"
#include "imageio/RawValue.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

using imageio::Number;
using imageio::RawValue;

namespace {

// 32-bit words that sit on the edges the readings treat apart.
constexpr uint32_t kAwkwardWords[] = {
    0, 1, 2, 7, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 999999, 1000000, 0x7FFFFFFE, 0x7FFFFFFF, 0x80000000,
    0x80000001, 0xFFFFFFFF, 0x7F800000 /* +inf */, 0xFF800000 /* -inf */, 0x7FC00000 /* NaN */, 0x4F000000 /* 2^31 */,
    0xCF000000 /* -2^31 */, 0x41E00000 /* as a double's high word: 2^31 */, 0xC1E00000,
};

std::string describe(const std::optional<Number>& number)
{
    if (!number)
        return "none";
    if (const auto* integer = std::get_if<long long>(&*number))
        return std::to_string(*integer);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g (real)", std::get<double>(*number));
    return text;
}

template<class T>
const std::vector<T>& componentsOf(const Exiv2::Value& value)
{
    return dynamic_cast<const Exiv2::ValueType<T>&>(value).value_;
}

template<class Pair>
std::optional<Number> quotient(const Exiv2::Value& value, size_t index)
{
    const auto& [numerator, denominator] = componentsOf<Pair>(value).at(index);
    if (denominator == 0)
        return std::nullopt;
    return Number(static_cast<double>(numerator) / static_cast<double>(denominator));
}

template<class T>
std::optional<Number> finiteReal(const Exiv2::Value& value, size_t index)
{
    const double real = componentsOf<T>(value).at(index);
    return std::isfinite(real) ? std::optional<Number>(real) : std::nullopt;
}

// What the table takes component `index` of the library's value to be.
std::optional<Number> libraryNumber(const Exiv2::Value& value, size_t index)
{
    const long at = static_cast<long>(index);
    switch (value.typeId()) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return Number(static_cast<long long>(value.toLong(at)));
    case Exiv2::signedByte:
        return Number(static_cast<long long>(static_cast<int8_t>(value.toLong(at))));
    case Exiv2::unsignedRational:
        return quotient<Exiv2::URational>(value, index);
    case Exiv2::signedRational:
        return quotient<Exiv2::Rational>(value, index);
    case Exiv2::tiffFloat:
        return finiteReal<float>(value, index);
    case Exiv2::tiffDouble:
        return finiteReal<double>(value, index);
    default:
        return std::nullopt;
    }
}

std::unique_ptr<Exiv2::Value> libraryValue(uint16_t type, const std::vector<uint8_t>& bytes, bool littleEndian)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(static_cast<Exiv2::TypeId>(type)).release());
#pragma GCC diagnostic pop
    value->read(bytes.data(), static_cast<long>(bytes.size()), littleEndian ? Exiv2::littleEndian : Exiv2::bigEndian);
    return value;
}

} // namespace

TEST(RawValue, ReadsEveryTypeAsTheLibrarysValueClassesDo)
{
    std::mt19937 random(15);
    int compared = 0;
    for (uint16_t type = 1; type <= 13; ++type) {
        for (bool littleEndian : { true, false }) {
            for (int round = 0; round < 60; ++round) {
                // Up to four components of awkward words, or random bytes;
                // now and then a trailing part of a component.
                std::vector<uint8_t> bytes;
                const size_t words = random() % 5 * std::max<size_t>(1, imageio::tiffTypeSize(type) / 4);
                for (size_t i = 0; i < words; ++i) {
                    const uint32_t word = round % 3 ? kAwkwardWords[random() % std::size(kAwkwardWords)] : static_cast<uint32_t>(random());
                    for (int k = 0; k < 4; ++k)
                        bytes.push_back(static_cast<uint8_t>(word >> (littleEndian ? 8 * k : 24 - 8 * k)));
                }
                if (round % 7 == 0)
                    bytes.push_back(0xE9);
                SCOPED_TRACE("type " + std::to_string(type) + (littleEndian ? " II" : " MM") + " round " + std::to_string(round));

                const RawValue raw { type, bytes, littleEndian };
                const auto library = libraryValue(type, bytes, littleEndian);
                ASSERT_EQ(raw.count(), static_cast<size_t>(library->count()));
                for (size_t i = 0; i < raw.count(); ++i) {
                    EXPECT_EQ(describe(imageio::numberAt(raw, i)), describe(libraryNumber(*library, i))) << "component " << i;
                    EXPECT_EQ(imageio::integerAt(raw, i), library->toLong(static_cast<long>(i))) << "component " << i;
                    ++compared;
                }
                EXPECT_FALSE(imageio::numberAt(raw, raw.count()));

                // The full reader's way in: the library's value written back
                // into bytes reads the same.
                std::vector<uint8_t> copied;
                auto converted = imageio::rawValueOf(*library, copied);
                ASSERT_TRUE(converted);
                ASSERT_EQ(converted->count(), raw.count());
                for (size_t i = 0; i < raw.count(); ++i) {
                    EXPECT_EQ(describe(imageio::numberAt(*converted, i)), describe(imageio::numberAt(raw, i)));
                    EXPECT_EQ(imageio::integerAt(*converted, i), imageio::integerAt(raw, i));
                }
                EXPECT_EQ(imageio::textOf(*converted), imageio::textOf(raw));
            }
        }
    }
    EXPECT_GT(compared, 1000);
}

TEST(RawValue, ReadsAsciiTextToItsFirstNulAndLatin1AsSuch)
{
    auto text = [](const std::string& bytes, uint32_t type = imageio::kTiffAscii) {
        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        return imageio::textOf(RawValue { type, data, true });
    };
    EXPECT_EQ(text(std::string("Nikon\0junk", 10)), "Nikon");
    EXPECT_EQ(text("no terminator"), "no terminator");
    EXPECT_EQ(text(std::string("\0Nikon", 6)), "");
    EXPECT_EQ(text("D70 \xE9t\xE9"), "D70 \xC3\xA9t\xC3\xA9"); // Latin-1
    EXPECT_EQ(text("D70 \xC3\xA9t\xC3\xA9"), "D70 \xC3\xA9t\xC3\xA9"); // already UTF-8
    EXPECT_EQ(text("trailing blanks  "), "trailing blanks  ");
    EXPECT_FALSE(text("Nikon", imageio::kTiffUndefined));
    EXPECT_FALSE(text("Nikon", imageio::kTiffByte));
    // A damaged directory's junk is no text; tabs and line ends are.
    EXPECT_FALSE(text(";\xF1\x0B" "4YB\x19" "c}"));
    EXPECT_FALSE(text("%\x88\x04"));
    EXPECT_FALSE(text("2004:02:26\x7F"));
    EXPECT_FALSE(text("Latin-1 \x85 control"));
    EXPECT_EQ(text("line\tone\r\nline two"), "line\tone\r\nline two");
}
