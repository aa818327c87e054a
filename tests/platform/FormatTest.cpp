#include "foundation/Format.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

using foundation::format;
using foundation::objectText;

std::string describe(const Ref<NSNumber>& number) { return number->descriptionText(); }

TEST(NumberText, IntegralValuesHaveNoFractionAndOthersTheShortestDecimal)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        { 72, "72" }, { 28.35, "28.35" }, { 0.0025, "0.0025" }, { 2.2, "2.2" }, { -0.5, "-0.5" },
        { 0, "0" }, { 4294967295.0, "4294967295" }, { 1.0 / 3, "0.3333333333333333" }, { -3, "-3" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(describe(NSNumber::numberWithDouble(c.value)), c.text);
    }
    EXPECT_EQ(describe(NSNumber::numberWithInt(-7)), "-7");
    EXPECT_EQ(describe(NSNumber::numberWithUnsignedLongLong(18446744073709551615ULL)), "18446744073709551615");
}

TEST(NumberText, IsTheSameUnderACommaDecimalLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE"))
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(describe(NSNumber::numberWithDouble(28.35)), "28.35");
    EXPECT_EQ(format("%1.1f KB", 1.5), "1.5 KB");
    EXPECT_EQ(format("%.6f, %.6f", 48.8583, -2.2945), "48.858300, -2.294500");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberConversions, SaturateInsteadOfOverflowing)
{
    EXPECT_EQ(NSNumber::numberWithDouble(1.9)->intValue(), 1);
    EXPECT_EQ(NSNumber::numberWithDouble(-1.9)->intValue(), -1);
    EXPECT_EQ(NSNumber::numberWithDouble(1e20)->intValue(), 2147483647);
    EXPECT_EQ(NSNumber::numberWithDouble(-1e20)->intValue(), -2147483647 - 1);
    EXPECT_EQ(NSNumber::numberWithDouble(std::nan(""))->intValue(), 0);
    EXPECT_EQ(NSNumber::numberWithDouble(4294967295.0)->unsignedLongLongValue(), 4294967295ULL);
    EXPECT_EQ(NSNumber::numberWithDouble(0.5)->unsignedLongLongValue(), 0ULL);
    EXPECT_EQ(NSNumber::numberWithDouble(1e30)->unsignedLongLongValue(), 18446744073709551615ULL);
}

TEST(Format, WritesEveryConversionTheSystemUses)
{
    AutoreleasePool pool;
    EXPECT_EQ(format("%@", "text"_ns), "text");
    EXPECT_EQ(format("%@ x %@", NSNumber::numberWithInt(3264), NSNumber::numberWithInt(2448)), "3264 x 2448");
    EXPECT_EQ(format("%d x %d", 3264L, 2448), "3264 x 2448");
    EXPECT_EQ(format("%lld Bytes", -5LL), "-5 Bytes");
    EXPECT_EQ(format("%1.1f MB", 1.5), "1.5 MB");
    EXPECT_EQ(format("%1.1f KB", 999.0), "999.0 KB");
    EXPECT_EQ(format("%.6f", 37.332331), "37.332331");
    EXPECT_EQ(format("ll=%f,%f", 48.8582, -122.031219), "ll=48.858200,-122.031219");
    EXPECT_EQ(format("%02X", 10U), "0A");
    EXPECT_EQ(format("%02X", 255), "FF");
    EXPECT_EQ(format("%s", "kZELVariableName"), "kZELVariableName");
    EXPECT_EQ(format("f/%@", NSNumber::numberWithDouble(2.2)), "f/2.2");
    EXPECT_EQ(format("100%%"), "100%");
    EXPECT_EQ(format("%@", static_cast<NSObject*>(nullptr)), "(null)");
}

TEST(Format, WritesPrecisionZerosAndAlternatePrefixesInOrder)
{
    EXPECT_EQ(format("%.5d", 42), "00042");
    EXPECT_EQ(format("%+.3d", 7), "+007");
    EXPECT_EQ(format("[%.0d]", 0), "[]");
    EXPECT_EQ(format("%#x", 255), "0xff");
    EXPECT_EQ(format("%#X", 255U), "0XFF");
    EXPECT_EQ(format("%#x", 0), "0");
    EXPECT_EQ(format("%#.4x", 10), "0x000a");
    EXPECT_EQ(format("%#010x", 255), "0x000000ff");
    EXPECT_EQ(format("%#o", 8), "010");
    // The precision's zeros already lead, so '#' adds no second one.
    EXPECT_EQ(format("%#.4o", 8), "0010");
}

// The '-' flag without a width changes no text, but it sends a directive
// down the general road: each plain format must write what its flagged twin
// writes, for every kind of value.
std::string flagged(std::string format)
{
    for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 2))
        format.insert(at + 1, "-");
    return format;
}

TEST(Format, PlainConversionsWriteWhatTheGeneralRoadWrites)
{
    AutoreleasePool pool;
    const double inf = std::numeric_limits<double>::infinity();
    const double doubles[] = { 0.0, -0.0, 72, 28.35, 0.0025, -2.2, 1.0 / 3, 1.5e-7, 1e15, 1e300, -inf, inf,
                               std::numeric_limits<double>::quiet_NaN(), 0.375, 999.95, 4294967295.5, -0.04 };
    for (double value : doubles) {
        SCOPED_TRACE(value);
        auto number = NSNumber::numberWithDouble(value);
        EXPECT_EQ(format("%@ x %@", number, number), format("%-@ x %-@", number, number));
        for (const char* plain : { "%1.1f MB", "%.6f, %.6f", "%f", "%F", "%.0f s", "%.9f" })
            EXPECT_EQ(format(plain, value, value), format(flagged(plain), value, value)) << plain;
    }
    const long long integers[] = { 0, -1, 7, 3264, -2448, std::numeric_limits<long long>::max(), std::numeric_limits<long long>::min() };
    for (long long value : integers) {
        SCOPED_TRACE(value);
        for (const char* plain : { "%lld Bytes", "%d x %d", "%i", "%u", "%ld", "%1d", "%zu" })
            EXPECT_EQ(format(plain, value, value), format(flagged(plain), value, value)) << plain;
        auto number = NSNumber::numberWithLongLong(value);
        EXPECT_EQ(format("%@", number), format("%-@", number));
    }
    const unsigned long long big = std::numeric_limits<unsigned long long>::max();
    for (const char* plain : { "%llu", "%lld", "%d" })
        EXPECT_EQ(format(plain, big), format(flagged(plain), big)) << plain;
    EXPECT_EQ(format("%@", NSNumber::numberWithUnsignedLongLong(big)), format("%-@", NSNumber::numberWithUnsignedLongLong(big)));
    for (const char* text : { "", "dpi", static_cast<const char*>(nullptr) })
        EXPECT_EQ(format("72 %s", text), format("72 %-s", text));
    EXPECT_EQ(format("%@ %@", "text"_ns, static_cast<NSObject*>(nullptr)), format("%-@ %-@", "text"_ns, static_cast<NSObject*>(nullptr)));
    EXPECT_EQ(format("%@", NSNumber::numberWithBool(true)), format("%-@", NSNumber::numberWithBool(true)));
    // Widths, precisions and flags still shape the text.
    EXPECT_EQ(format("[%4@|%3d|%.3d|%+d|%4s|%.1s|%6.1f|%+.1f]", "ab"_ns, 5, 5, 5, "x", "xyz", 1.25, 0.5),
              "[  ab|  5|005|+5|   x|x|   1.2|+0.5]");
}

TEST(Format, KeepsEveryPieceOfATextLongerThanItsFirstBuffer)
{
    AutoreleasePool pool;
    const std::string words(250, 'w');
    const std::string longer(1000, 'l');
    auto text = NSString::stringWithUTF8String(longer);
    EXPECT_EQ(format((words + " %@ and %d").c_str(), text, 42), words + " " + longer + " and 42");
    EXPECT_EQ(format("%@%@", text, text), longer + longer);
    EXPECT_EQ(objectText(text.get()), longer);
}

TEST(Format, KeepsConversionsWithoutAFittingArgumentAsWritten)
{
    AutoreleasePool pool;
    // A translated format may hold conversions the caller never supplies.
    EXPECT_EQ(format("%@ mm %d", NSNumber::numberWithInt(29)), "29 mm %d");
    EXPECT_EQ(format("%d mm", "29"_ns), "%d mm");
    EXPECT_EQ(format("%s", NSNumber::numberWithInt(1)), "%s");
    EXPECT_EQ(format("trailing %"), "trailing %");
    EXPECT_EQ(format("%2$@ before %1$@", "a"_ns, "b"_ns), "b before a");
}

} // namespace
