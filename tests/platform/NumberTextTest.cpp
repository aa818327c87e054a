#include "foundation/NumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Values of every shape a number's text meets: short decimal fractions as
// cameras write them, both sides of every power of two and of ten, exact
// halves (ties for rounding), the smallest and largest doubles, and random
// bit patterns.
std::vector<double> sweep()
{
    std::vector<double> values;
    for (int k = -3000; k <= 3000; ++k) {
        for (double scale : { 1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e8, 1e9 })
            values.push_back(k / scale);
    }
    for (int e = -1074; e <= 1023; ++e) {
        double power = std::ldexp(1.0, e);
        values.insert(values.end(), { power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power) });
    }
    for (int e = -20; e <= 20; ++e) {
        double power = std::pow(10.0, e);
        values.insert(values.end(), { power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power), 5 * power, 3.75 * power });
    }
    values.insert(values.end(), { 0.0, -0.0, 0.001, 0.00099999, 1.0 / 3, 2.675, 1.45, 0.125, 0.375, 2.5, 3.5,
                                    562949953421311.5, 999999999999999.9, 1e15, 1e15 + 0.5, 4294.9999995,
                                    std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                                    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN() });
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = random();
        double any = 0;
        std::memcpy(&any, &bits, sizeof any);
        values.push_back(any);
        values.push_back(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 90) - 100));
        values.push_back(static_cast<double>(random() % 100000) / static_cast<double>(1 + random() % 1000));
    }
    return values;
}

// What the standard library writes: integral values below 1e15 in fixed
// notation (so without an exponent), any other value as its shortest
// round-trip text; neither a NaN's sign nor zero's.
std::string libraryShortest(double value)
{
    if (std::isnan(value))
        return "nan";
    if (value == 0)
        return "0";
    bool integral = std::fabs(value) < 1e15 && std::nearbyint(value) == value;
    char text[64];
    auto result = integral ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed)
                           : std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string libraryFixed(double value, int precision)
{
    char text[512];
    auto result = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::fixed, precision);
    return (std::signbit(value) ? "-" : "") + std::string(text, result.ptr);
}

TEST(NumberText, ShortestDecimalIsTheStandardLibrarysTextForEveryShapeOfValue)
{
    int mismatches = 0;
    for (double value : sweep()) {
        foundation::NumberText buffer;
        std::string text(foundation::shortestDecimalText(value, buffer));
        if (text != libraryShortest(value) && ++mismatches <= 10)
            ADD_FAILURE() << "value " << std::hexfloat << value << ": " << text << " instead of " << libraryShortest(value);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberText, QuickFixedTextIsTheStandardLibrarysRoundingOrNothing)
{
    int mismatches = 0;
    int written = 0;
    for (double value : sweep()) {
        for (int precision = 0; precision <= 10; ++precision) {
            foundation::NumberText buffer;
            auto text = foundation::quickFixedText(value, precision, buffer);
            if (!text)
                continue;
            ++written;
            if (std::string(*text) != libraryFixed(value, precision) && ++mismatches <= 10)
                ADD_FAILURE() << "value " << std::hexfloat << value << " to " << precision << " places: " << *text
                              << " instead of " << libraryFixed(value, precision);
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The quick road takes most ordinary values, so the comparison above
    // covers it rather than a handful of them.
    EXPECT_GT(written, 200000);
}

TEST(NumberText, QuickFixedTextLeavesTiesAndOddValuesToTheGeneralRoad)
{
    foundation::NumberText buffer;
    // Exact ties round to even in the standard library.
    EXPECT_FALSE(foundation::quickFixedText(0.375, 2, buffer));
    EXPECT_FALSE(foundation::quickFixedText(2.5, 0, buffer));
    EXPECT_FALSE(foundation::quickFixedText(std::numeric_limits<double>::quiet_NaN(), 1, buffer));
    EXPECT_FALSE(foundation::quickFixedText(std::numeric_limits<double>::infinity(), 1, buffer));
    EXPECT_FALSE(foundation::quickFixedText(1e20, 1, buffer));
    EXPECT_EQ(foundation::quickFixedText(-0.0, 1, buffer), "-0.0");
    EXPECT_EQ(foundation::quickFixedText(1499.99, 1, buffer), "1500.0");
}

} // namespace
