#include "foundation/NumberText.h"

#include <charconv>
#include <cmath>

namespace foundation {
namespace {

// Exact in a double up to 1e22; the quick roads below need no more than 1e9.
constexpr std::array<double, 10> kPowersOfTen { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9 };

// The shortest decimal is sought among texts with at most this many fraction
// digits (f-numbers, focal lengths, exposure times of cameras have one to
// four); longer ones go to the standard library's general search.
constexpr int kMaxQuickFractionDigits = 8;
// From 0.001 up the standard library writes the shortest text in fixed
// notation, never with an exponent; below, it may choose "1e-04".
constexpr double kQuickShortestSmallest = 1e-3;
// Below 2^49 a scaled value lies within 1/16 of the exact product, so
// rounding it finds the one whole number that can read back, and no second
// whole number fits in the value's rounding interval.
constexpr double kQuickShortestScaledLimit = 562949953421312.0; // 2^49

constexpr int kMaxQuickFixedPrecision = 9;
// Below 2^32 a scaled value is off the exact product by less than 2.4e-7, so
// a fraction farther than this from one half rounds the same way as the exact
// value; nearer ties go to the standard library's exact rounding.
constexpr double kQuickFixedScaledLimit = 4294967296.0; // 2^32
constexpr double kQuickFixedTieMargin = 1e-6;

std::string_view viewOf(const NumberText& buffer, const char* end)
{
    return { buffer.data(), static_cast<size_t>(end - buffer.data()) };
}

// `scaled` / 10^`fractionDigits` in fixed notation, with a minus sign when
// asked. Written from the end of the buffer backwards, digit by digit, as the
// fraction's digits come first that way.
std::string_view writeScaled(bool negative, unsigned long long scaled, int fractionDigits, NumberText& buffer)
{
    char* end = buffer.data() + buffer.size();
    char* out = end;
    for (int i = 0; i < fractionDigits; ++i) {
        *--out = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    }
    if (fractionDigits > 0)
        *--out = '.';
    do {
        *--out = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    } while (scaled != 0);
    if (negative)
        *--out = '-';
    return { out, static_cast<size_t>(end - out) };
}

// The shortest text of a value with a short fraction, found by trying one,
// two, ... fraction digits: the first whole number of hundredths (say) whose
// quotient by 100 is the value itself is the text the value reads back from.
// The division of two exact doubles rounds as reading the decimal text does.
std::optional<std::string_view> quickShortestFraction(double value, NumberText& buffer)
{
    double magnitude = std::fabs(value);
    if (!(magnitude >= kQuickShortestSmallest))
        return std::nullopt;
    for (int digits = 1; digits <= kMaxQuickFractionDigits; ++digits) {
        double scaled = magnitude * kPowersOfTen[static_cast<size_t>(digits)];
        if (scaled >= kQuickShortestScaledLimit)
            return std::nullopt;
        auto candidate = static_cast<long long>(scaled + 0.5);
        if (static_cast<double>(candidate) / kPowersOfTen[static_cast<size_t>(digits)] == magnitude)
            return writeScaled(value < 0, static_cast<unsigned long long>(candidate), digits, buffer);
    }
    return std::nullopt;
}

} // namespace

std::string_view integerText(long long value, NumberText& buffer)
{
    return viewOf(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr);
}

std::string_view integerText(unsigned long long value, NumberText& buffer)
{
    return viewOf(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr);
}

std::string_view shortestDecimalText(double value, NumberText& buffer)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (value == 0)
        return "0";
    // Below 1e15 the conversion to an integer is exact for integral values
    // and cheaper than calling trunc.
    if (std::fabs(value) < 1e15 && static_cast<double>(static_cast<long long>(value)) == value)
        return integerText(static_cast<long long>(value), buffer);
    if (auto text = quickShortestFraction(value, buffer))
        return *text;
    return viewOf(buffer, std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr);
}

std::string shortestDecimal(double value)
{
    NumberText buffer;
    return std::string(shortestDecimalText(value, buffer));
}

std::optional<std::string_view> quickFixedText(double value, int precision, NumberText& buffer)
{
    if (precision < 0 || precision > kMaxQuickFixedPrecision)
        return std::nullopt;
    double scaled = std::fabs(value) * kPowersOfTen[static_cast<size_t>(precision)];
    // Also turns away NaN and infinities.
    if (!(scaled < kQuickFixedScaledLimit))
        return std::nullopt;
    auto whole = static_cast<unsigned long long>(scaled);
    double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) < kQuickFixedTieMargin)
        return std::nullopt;
    if (fraction > 0.5)
        ++whole;
    return writeScaled(std::signbit(value), whole, precision, buffer);
}

} // namespace foundation
