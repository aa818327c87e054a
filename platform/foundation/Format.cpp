#include "foundation/Format.h"

#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "runtime/NSObject.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace foundation {
namespace {

// The text being made: on the stack while it is short, as the texts of a
// photo's rows are, so it is allocated once, at its final size.
class Output {
public:
    void append(std::string_view piece)
    {
        if (!spilled_ && piece.size() <= kStackCapacity - size_) {
            std::memcpy(stack_.data() + size_, piece.data(), piece.size());
            size_ += piece.size();
        } else {
            appendSpilled(piece);
        }
    }

    std::string take() { return spilled_ ? std::move(heap_) : std::string(stack_.data(), size_); }

private:
    [[gnu::noinline]] void appendSpilled(std::string_view piece)
    {
        if (!spilled_) {
            heap_.reserve(size_ + piece.size() + kStackCapacity);
            heap_.assign(stack_.data(), size_);
            spilled_ = true;
        }
        heap_.append(piece);
    }

    static constexpr size_t kStackCapacity = 256;
    std::array<char, kStackCapacity> stack_;
    size_t size_ = 0;
    bool spilled_ = false;
    std::string heap_;
};

// The plain number and string classes are written without a temporary
// string; other objects by their description. (Their descriptions are not
// replaceable at run time, so the class decides the text.)
void appendObjectText(Output& out, const NSObject* object)
{
    if (!object) {
        out.append("(null)");
        return;
    }
    Class cls = object->getClass();
    if (cls == NSString::objcClass()) {
        out.append(static_cast<const NSString*>(object)->str());
    } else if (cls == NSNumber::objcClass()) {
        NumberText buffer;
        out.append(static_cast<const NSNumber*>(object)->describeInto(buffer));
    } else {
        out.append(object->descriptionText());
    }
}

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

std::string integerDigits(unsigned long long magnitude, int base, bool upper, const Directive& directive)
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
    int precision = std::min(directive.precision.value_or(6), 300);
    bool fixed = directive.conversion == 'f' || directive.conversion == 'F';
    if (fixed && !directive.plus && !directive.space && !(directive.alternate && precision == 0)) {
        NumberText quick;
        if (auto text = quickFixedText(value, precision, quick))
            return std::string(*text);
    }
    std::array<char, 512> buffer {};
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
        return pad(objectText(arg.object), directive, false);
    case 'd':
    case 'i': {
        if (arg.kind == Kind::Signed) {
            unsigned long long magnitude = arg.integer < 0 ? 0ULL - static_cast<unsigned long long>(arg.integer)
                                                           : static_cast<unsigned long long>(arg.integer);
            return pad(withSign(integerDigits(magnitude, 10, false, directive), arg.integer < 0, directive), directive, !directive.precision);
        }
        if (arg.kind == Kind::Unsigned)
            return pad(withSign(integerDigits(arg.uinteger, 10, false, directive), false, directive), directive, !directive.precision);
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
        return pad(integerDigits(value, base, directive.conversion == 'X', directive), directive, !directive.precision);
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

// Writes a directive that needs no padding, sign, prefix or precision digits
// straight into the output, as most of a photo's formats ask ("%@ x %@",
// "%@ %s", "%lld Bytes", "%1.1f MB"). False when the directive needs more, or its
// argument does not fit it; the general road then decides.
bool writePlain(Output& out, const Directive& directive, const FormatArg& arg)
{
    using Kind = FormatArg::Kind;
    if (directive.left || directive.zero || directive.plus || directive.space || directive.alternate)
        return false;
    // No number's text is shorter than one character, so a width of one
    // changes nothing for them.
    bool unpadded = directive.width <= 1;
    NumberText buffer;
    switch (directive.conversion) {
    case '@':
        if (arg.kind != Kind::Object || directive.width > 0)
            return false;
        appendObjectText(out, arg.object);
        return true;
    case 's':
        if (arg.kind != Kind::CString || directive.width > 0 || directive.precision)
            return false;
        out.append(arg.text ? arg.text : "(null)");
        return true;
    case 'd':
    case 'i':
    case 'u':
        if (!unpadded || directive.precision)
            return false;
        if (arg.kind == Kind::Unsigned)
            out.append(integerText(arg.uinteger, buffer));
        else if (arg.kind == Kind::Signed && directive.conversion == 'u')
            out.append(integerText(static_cast<unsigned long long>(arg.integer), buffer));
        else if (arg.kind == Kind::Signed)
            out.append(integerText(arg.integer, buffer));
        else
            return false;
        return true;
    case 'f':
    case 'F':
        if (!unpadded || arg.kind != Kind::Double)
            return false;
        if (auto text = quickFixedText(arg.real, directive.precision.value_or(6), buffer)) {
            out.append(*text);
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool write(Output& out, const Directive& directive, const FormatArg& arg)
{
    if (writePlain(out, directive, arg))
        return true;
    auto text = convert(directive, arg);
    if (!text)
        return false;
    out.append(*text);
    return true;
}

bool isLengthModifier(char c)
{
    switch (c) {
    case 'h':
    case 'l':
    case 'q':
    case 'L':
    case 'z':
    case 't':
    case 'j':
        return true;
    default:
        return false;
    }
}

size_t skipLengthModifiers(std::string_view format, size_t i)
{
    while (i < format.size() && isLengthModifier(format[i]))
        ++i;
    return i;
}

// A digit, flag or full stop after the '%' begins a position, flags, a
// width or a precision.
bool startsDirectiveDetails(char c)
{
    return isDigit(c) || c == '-' || c == '+' || c == ' ' || c == '#' || c == '.';
}

// Reads what may stand between the '%' and the conversion character, from
// `i` on; answers where the conversion character is (or the end).
size_t readDirectiveDetails(std::string_view format, size_t i, Directive& directive, std::optional<size_t>& position)
{
    // An explicit argument position ("%2$@"), as translators write it.
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
    return skipLengthModifiers(format, i);
}

} // namespace

std::string objectText(const NSObject* object)
{
    Output out;
    appendObjectText(out, object);
    return out.take();
}

std::string formatString(std::string_view format, std::span<const FormatArg> args)
{
    Output out;
    size_t nextArg = 0;
    size_t i = 0;
    const size_t size = format.size();
    while (i < size) {
        // Literal runs between conversions are short: a plain scan beats a
        // call to memchr.
        size_t percent = i;
        while (percent < size && format[percent] != '%')
            ++percent;
        out.append(format.substr(i, percent - i));
        if (percent == size)
            break;
        size_t start = percent;
        i = percent + 1;
        if (i < size && format[i] == '%') {
            out.append("%");
            ++i;
            continue;
        }
        Directive directive;
        std::optional<size_t> position;
        // Most conversions stand bare after the '%' ("%@", "%lld") and need
        // no reading of positions, flags, widths or precisions.
        size_t conversion = skipLengthModifiers(format, i);
        if (conversion < size && !startsDirectiveDetails(format[conversion]))
            i = conversion;
        else
            i = readDirectiveDetails(format, i, directive, position);
        if (i >= size) {
            out.append(format.substr(start));
            break;
        }
        directive.conversion = format[i++];
        size_t index = position.value_or(nextArg);
        if (index < args.size() && write(out, directive, args[index])) {
            if (!position)
                ++nextArg;
        } else {
            out.append(format.substr(start, i - start));
        }
    }
    return out.take();
}

} // namespace foundation
