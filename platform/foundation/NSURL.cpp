#include "foundation/NSURL.h"

#include "foundation/NSString.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <unistd.h>

QX_DEFINE_CLASS(NSURL)
{
    b.classMethod("URLWithString:", [](Class, NSString* text) -> Ref<NSURL> { return text ? NSURL::URLWithString(text->str()) : nullptr; });
    b.method<&NSURL::absoluteString>("absoluteString");
    b.method<&NSURL::path>("path");
}

namespace {

// `prefix` followed by the path with every byte but letters, digits and
// "/-_.~" percent-encoded (by a table of the bytes kept as they are: the C
// library's character classes would follow the process locale).
std::string percentEncodePath(std::string_view prefix, const std::string& path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr auto kept = [] {
        std::array<bool, 256> table {};
        for (int c = 0; c < 256; ++c)
            table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-'
                || c == '_' || c == '.' || c == '~';
        return table;
    }();
    size_t length = prefix.size();
    for (unsigned char c : path)
        length += kept[c] ? 1 : 3;
    std::string out(length, '\0');
    char* at = std::copy(prefix.begin(), prefix.end(), out.data());
    for (unsigned char c : path) {
        if (kept[c]) {
            *at++ = static_cast<char>(c);
        } else {
            *at++ = '%';
            *at++ = hex[c >> 4];
            *at++ = hex[c & 15];
        }
    }
    return out;
}

} // namespace

Ref<NSURL> NSURL::fileURLWithPath(std::string_view path)
{
    if (path.empty())
        return nullptr;
    std::string absolute(path);
    if (!absolute.starts_with('/')) {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return nullptr;
        absolute = NSString::stringWithUTF8String(cwd)->stringByAppendingPathComponent(absolute)->str();
    }
    // Its text is written when asked for: most file URLs only carry a path
    // to a reader of the file.
    return make_object<NSURL>("file", std::string(), std::move(absolute));
}

Ref<NSURL> NSURL::URLWithString(std::string_view text)
{
    auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return nullptr;
    for (size_t i = 0; i < colon; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.'))
            return nullptr;
    }
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7F)
            return nullptr; // the platform refuses unescaped spaces and controls
    }
    std::string scheme(text.substr(0, colon));
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string path;
    if (scheme == "file" && text.substr(colon).starts_with("://"))
        path = std::string(text.substr(colon + 3));
    return make_object<NSURL>(scheme, std::string(text), path);
}

std::string NSURL::text() const { return text_.empty() ? percentEncodePath("file://", path_) : text_; }

Ref<NSString> NSURL::absoluteString() const { return NSString::stringTakingText(text()); }

Ref<NSString> NSURL::scheme() const { return NSString::stringWithUTF8String(scheme_); }

Ref<NSString> NSURL::path() const { return isFileURL() ? NSString::stringWithUTF8String(path_) : nullptr; }

std::string NSURL::describe() const { return text(); }
