#include "foundation/Format.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

using foundation::format;

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
