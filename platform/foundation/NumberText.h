#pragma once

// The texts of numbers, written into a caller's buffer on the stack so that
// formatting a value costs no temporary string. Never reads the process
// locale: the decimal separator is always the full stop.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Room for any text below: the longest shortest decimal of a double is 24
// characters ("-2.2250738585072014e-308"), the longest 64-bit integer 20
// digits and a sign.
using NumberText = std::array<char, 32>;

std::string_view integerText(long long value, NumberText& buffer);
std::string_view integerText(unsigned long long value, NumberText& buffer);

// The shortest decimal text that reads back as the same double, with the full
// stop; integral values have no fraction ("72", "28.35", "0.0025"). The view
// points into `buffer` or at a literal.
std::string_view shortestDecimalText(double value, NumberText& buffer);
std::string shortestDecimal(double value);

// "%.Nf" of `value` (N = `precision`) when it can be told cheaply and
// exactly: a finite value of moderate size whose last digit is not a near
// tie. Nothing otherwise, and the caller takes the general road.
std::optional<std::string_view> quickFixedText(double value, int precision, NumberText& buffer);

} // namespace foundation
