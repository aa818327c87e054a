#include "foundation/StringsFile.h"

#include <unicode/ucnv.h>
#include <unicode/utf8.h>
#include <unicode/ustring.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace foundation {

namespace {

using Table = StringsTable;

// A strings table is a few kilobytes; anything this large is not one, and
// reading it whole would only cost memory.
constexpr size_t maxStringsFileSize = 64 * 1024 * 1024;

// Decodes UTF-16 in the given byte order to UTF-8. Stops at the first
// malformed unit (an odd trailing byte, an unpaired surrogate) instead of
// substituting, so a damaged file reads as broken rather than as other text.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, const char* converterName)
{
    if (bytes.size() > INT32_MAX / 2)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(converterName, &status), &ucnv_close);
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;

    std::vector<UChar> units(bytes.size() / 2 + 1);
    int32_t unitCount = ucnv_toUChars(converter.get(), units.data(), static_cast<int32_t>(units.size()), bytes.data(),
        static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;

    // Each UTF-16 unit becomes at most three UTF-8 bytes.
    std::string text(static_cast<size_t>(unitCount) * 3, '\0');
    int32_t length = 0;
    u_strToUTF8(text.data(), static_cast<int32_t>(text.size()), &length, units.data(), unitCount, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    text.resize(static_cast<size_t>(length));
    return text;
}

bool isValidUtf8(std::string_view bytes)
{
    if (bytes.size() > INT32_MAX)
        return false;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    int32_t offset = 0;
    while (offset < length) {
        // ASCII, most of any table, eight bytes at a time.
        uint64_t word = 0;
        if (length - offset >= 8 && (std::memcpy(&word, data + offset, 8), (word & 0x8080808080808080ULL) == 0)) {
            offset += 8;
            continue;
        }
        if (data[offset] < 0x80) {
            ++offset;
            continue;
        }
        UChar32 c = 0;
        U8_NEXT(data, offset, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

// The text of the file as UTF-8, or nothing when its encoding is broken.
std::optional<std::string> decode(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return utf16ToUtf8(bytes.substr(2), "UTF-16LE");
    if (bytes.starts_with("\xFE\xFF"))
        return utf16ToUtf8(bytes.substr(2), "UTF-16BE");
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!isValidUtf8(bytes))
        return std::nullopt;
    return std::string(bytes);
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isUnquotedCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A single forward pass over the decoded text; every step consumes at least
// one character or fails, so no input can make it loop.
class Parser {
public:
    explicit Parser(std::string_view text)
        : text_(text)
    {
    }

    std::optional<Table> parse()
    {
        Table table;
        // About one entry for every forty bytes of a table.
        table.reserve(text_.size() / 40 + 1);
        for (;;) {
            if (!skipSpaceAndComments())
                return std::nullopt;
            if (atEnd())
                return table;
            auto key = readString();
            if (!key || !skipSpaceAndComments() || atEnd())
                return std::nullopt;
            // `"key";` alone maps the key to itself, as the platform's reader does.
            if (peek() == ';') {
                ++pos_;
                std::string value = *key;
                table.insert_or_assign(std::move(*key), std::move(value));
                continue;
            }
            if (peek() != '=')
                return std::nullopt;
            ++pos_;
            if (!skipSpaceAndComments())
                return std::nullopt;
            auto value = readString();
            if (!value || !skipSpaceAndComments() || atEnd() || peek() != ';')
                return std::nullopt;
            ++pos_;
            table.insert_or_assign(std::move(*key), std::move(*value));
        }
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }

    // False on a comment that never closes.
    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            if (isSpace(peek())) {
                ++pos_;
            } else if (text_.substr(pos_).starts_with("//")) {
                auto end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.substr(pos_).starts_with("/*")) {
                auto end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos)
                    return false;
                pos_ = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    std::optional<std::string> readString()
    {
        if (peek() == '"')
            return readQuoted();
        size_t start = pos_;
        while (!atEnd() && isUnquotedCharacter(peek()))
            ++pos_;
        if (pos_ == start)
            return std::nullopt;
        return std::string(text_.substr(start, pos_ - start));
    }

    std::optional<std::string> readQuoted()
    {
        ++pos_; // opening quote
        std::string out;
        while (!atEnd()) {
            // The run up to the next quote or escape goes over in one piece.
            const char* begin = text_.data() + pos_;
            const size_t left = text_.size() - pos_;
            const auto* quote = static_cast<const char*>(std::memchr(begin, '"', left));
            const auto* backslash = static_cast<const char*>(std::memchr(begin, '\\', quote ? static_cast<size_t>(quote - begin) : left));
            const char* end = backslash ? backslash : quote;
            if (!end)
                return std::nullopt; // no closing quote
            const size_t stop = pos_ + static_cast<size_t>(end - begin);
            out.append(text_.substr(pos_, stop - pos_));
            pos_ = stop + 1;
            if (text_[stop] == '"')
                return out;
            if (atEnd())
                return std::nullopt;
            char escape = text_[pos_++];
            switch (escape) {
            case '"':
            case '\\':
            case '\'':
                out += escape;
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'U':
            case 'u':
                if (!readUnicodeEscape(out))
                    return std::nullopt;
                break;
            default:
                return std::nullopt;
            }
        }
        return std::nullopt; // no closing quote
    }

    std::optional<char32_t> readHexUnit()
    {
        if (text_.size() - pos_ < 4)
            return std::nullopt;
        char32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = hexValue(text_[pos_ + static_cast<size_t>(i)]);
            if (digit < 0)
                return std::nullopt;
            unit = unit << 4 | static_cast<char32_t>(digit);
        }
        pos_ += 4;
        return unit;
    }

    // After `\U`: one UTF-16 unit in four hex digits. A high surrogate must be
    // followed at once by a second escape holding its low surrogate.
    bool readUnicodeEscape(std::string& out)
    {
        auto unit = readHexUnit();
        if (!unit)
            return false;
        if (*unit >= 0xDC00 && *unit <= 0xDFFF)
            return false;
        if (*unit < 0xD800 || *unit > 0xDBFF) {
            appendUtf8(out, *unit);
            return true;
        }
        auto rest = text_.substr(pos_);
        if (!rest.starts_with("\\U") && !rest.starts_with("\\u"))
            return false;
        pos_ += 2;
        auto low = readHexUnit();
        if (!low || *low < 0xDC00 || *low > 0xDFFF)
            return false;
        appendUtf8(out, 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00));
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace

std::optional<StringsTable> parseStringsFile(std::string_view bytes)
{
    auto text = decode(bytes);
    if (!text)
        return std::nullopt;
    return Parser(*text).parse();
}

std::optional<StringsTable> loadStringsFile(const std::string& path)
{
    // Non-blocking, so a FIFO in the table's place cannot stall the lookup;
    // only regular files are read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) > maxStringsFileSize) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || bytes.size() + static_cast<size_t>(count) > maxStringsFileSize) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return parseStringsFile(bytes);
}

} // namespace foundation
