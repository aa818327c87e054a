#include "foundation/QuotedText.h"

namespace foundation {

std::string quotedText(std::string_view text, char quote)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out(1, quote);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == quote || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += quote;
    return out;
}

} // namespace foundation
