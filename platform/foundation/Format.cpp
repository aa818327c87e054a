#include "foundation/Format.h"

#include "foundation/NSString.h"
#include "runtime/NSObject.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

namespace foundation {
namespace {

struct Directive {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    int width = 0;
    std::optional<int> precision;
    char conversion = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of digits, capped so a hostile format cannot ask for a huge width.
int readNumber(std::string_view text, size_t& i)
{
    int value = 0;
    while (i < text.size() && isDigit(text[i])) {
        value = std::min(value * 10 + (text[i] - '0'), 4096);
        ++i;
    }
    return value;
}

std::string pad(std::string body, const Directive& directive, bool numeric)
{
    if (static_cast<int>(body.size()) >= directive.width)
        return body;
    size_t fill = static_cast<size_t>(directive.width) - body.size();
    if (directive.left)
        return body + std::string(fill, ' ');
    if (directive.zero && numeric) {
        size_t signEnd = (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) ? 1 : 0;
        if (body.size() >= signEnd + 2 && body[signEnd] == '0' && (body[signEnd + 1] == 'x' || body[signEnd + 1] == 'X'))
            signEnd += 2;
        return body.substr(0, signEnd) + std::string(fill, '0') + body.substr(signEnd);
    }
    return std::string(fill, ' ') + body;
}

std::string withSign(std::string digits, bool negative, const Directive& directive)
{
    if (negative)
        return "-" + digits;
    if (directive.plus)
        return "+" + digits;
    if (directive.space)
        return " " + digits;
    return digits;
}

std::string integerText(unsigned long long magnitude, int base, bool upper, const Directive& directive)
{
    std::array<char, 72> buffer {};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, base);
    std::string digits(buffer.data(), result.ptr);
    if (upper) {
        for (char& c : digits)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    // The precision is a minimum count of digits, made up with leading zeros.
    size_t zeros = 0;
    if (directive.precision) {
        if (*directive.precision == 0 && magnitude == 0)
            digits.clear();
        else if (static_cast<int>(digits.size()) < *directive.precision)
            zeros = static_cast<size_t>(*directive.precision) - digits.size();
    }
    // '#' asks for 0x before hexadecimal, and for a leading 0 in octal unless
    // the precision already wrote one.
    std::string_view prefix;
    if (directive.alternate && magnitude != 0) {
        if (base == 16)
            prefix = upper ? "0X" : "0x";
        else if (base == 8 && zeros == 0)
            prefix = "0";
    }
    // Built front to back rather than by inserting at the start of the digits.
    std::string text;
    text.reserve(prefix.size() + zeros + digits.size());
    text.append(prefix).append(zeros, '0').append(digits);
    return text;
}

std::string doubleText(double value, const Directive& directive)
{
    if (std::isnan(value))
        return withSign(directive.conversion >= 'a' ? "nan" : "NAN", std::signbit(value), directive);
    if (std::isinf(value))
        return withSign(directive.conversion >= 'a' ? "inf" : "INF", value < 0, directive);
    std::array<char, 512> buffer {};
    int precision = std::min(directive.precision.value_or(6), 300);
    std::chars_format form = std::chars_format::fixed;
    switch (directive.conversion) {
    case 'e':
    case 'E':
        form = std::chars_format::scientific;
        break;
    case 'g':
    case 'G':
        form = std::chars_format::general;
        precision = precision == 0 ? 1 : precision;
        break;
    default:
        break;
    }
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value), form, precision);
    if (result.ec != std::errc())
        return withSign(shortestDecimal(std::fabs(value)), std::signbit(value), directive);
    std::string digits(buffer.data(), result.ptr);
    if (directive.conversion == 'E' || directive.conversion == 'G' || directive.conversion == 'F') {
        for (char& c : digits)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (directive.alternate && precision == 0 && digits.find('.') == std::string::npos)
        digits += '.';
    return withSign(std::move(digits), std::signbit(value), directive);
}

// Writes one conversion; nothing when the argument does not fit it.
std::optional<std::string> convert(const Directive& directive, const FormatArg& arg)
{
    using Kind = FormatArg::Kind;
    switch (directive.conversion) {
    case '@':
        if (arg.kind != Kind::Object)
            return std::nullopt;
        return pad(arg.object ? arg.object->descriptionText() : "(null)", directive, false);
    case 'd':
    case 'i': {
        if (arg.kind == Kind::Signed) {
            unsigned long long magnitude = arg.integer < 0 ? 0ULL - static_cast<unsigned long long>(arg.integer)
                                                           : static_cast<unsigned long long>(arg.integer);
            return pad(withSign(integerText(magnitude, 10, false, directive), arg.integer < 0, directive), directive, !directive.precision);
        }
        if (arg.kind == Kind::Unsigned)
            return pad(withSign(integerText(arg.uinteger, 10, false, directive), false, directive), directive, !directive.precision);
        return std::nullopt;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        unsigned long long value = 0;
        if (arg.kind == Kind::Unsigned)
            value = arg.uinteger;
        else if (arg.kind == Kind::Signed)
            value = static_cast<unsigned long long>(arg.integer);
        else
            return std::nullopt;
        int base = directive.conversion == 'u' ? 10 : directive.conversion == 'o' ? 8 : 16;
        return pad(integerText(value, base, directive.conversion == 'X', directive), directive, !directive.precision);
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G': {
        double value = 0;
        if (arg.kind == Kind::Double)
            value = arg.real;
        else if (arg.kind == Kind::Signed)
            value = static_cast<double>(arg.integer);
        else if (arg.kind == Kind::Unsigned)
            value = static_cast<double>(arg.uinteger);
        else
            return std::nullopt;
        return pad(doubleText(value, directive), directive, true);
    }
    case 's': {
        if (arg.kind != Kind::CString)
            return std::nullopt;
        std::string text = arg.text ? arg.text : "(null)";
        if (directive.precision && static_cast<size_t>(*directive.precision) < text.size())
            text.resize(static_cast<size_t>(*directive.precision));
        return pad(std::move(text), directive, false);
    }
    case 'c': {
        if (arg.kind != Kind::Signed && arg.kind != Kind::Unsigned)
            return std::nullopt;
        char c = static_cast<char>(arg.kind == Kind::Signed ? arg.integer : static_cast<long long>(arg.uinteger));
        return pad(std::string(1, c), directive, false);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::string formatString(std::string_view format, std::span<const FormatArg> args)
{
    std::string out;
    out.reserve(format.size() + 16);
    size_t nextArg = 0;
    size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        size_t start = i++;
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Directive directive;
        // An explicit argument position ("%2$@"), as translators write it.
        std::optional<size_t> position;
        {
            size_t j = i;
            int n = readNumber(format, j);
            if (j > i && j < format.size() && format[j] == '$' && n > 0) {
                position = static_cast<size_t>(n - 1);
                i = j + 1;
            }
        }
        for (; i < format.size(); ++i) {
            char f = format[i];
            if (f == '-')
                directive.left = true;
            else if (f == '0')
                directive.zero = true;
            else if (f == '+')
                directive.plus = true;
            else if (f == ' ')
                directive.space = true;
            else if (f == '#')
                directive.alternate = true;
            else
                break;
        }
        directive.width = readNumber(format, i);
        if (i < format.size() && format[i] == '.') {
            ++i;
            directive.precision = readNumber(format, i);
        }
        while (i < format.size() && (format[i] == 'h' || format[i] == 'l' || format[i] == 'q' || format[i] == 'L' || format[i] == 'z' || format[i] == 't' || format[i] == 'j'))
            ++i;
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        directive.conversion = format[i++];
        size_t index = position.value_or(nextArg);
        std::optional<std::string> text;
        if (index < args.size())
            text = convert(directive, args[index]);
        if (text) {
            out += *text;
            if (!position)
                ++nextArg;
        } else {
            out.append(format.substr(start, i - start));
        }
    }
    return out;
}

std::string shortestDecimal(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (value == 0)
        return "0";
    std::array<char, 64> buffer {};
    if (std::trunc(value) == value && std::fabs(value) < 1e15) {
        auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<long long>(value));
        return std::string(buffer.data(), result.ptr);
    }
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

} // namespace foundation
