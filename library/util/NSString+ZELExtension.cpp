#include "util/NSString+ZELExtension.h"

#include "foundation/Digest.h"
#include "runtime/Category.h"

#include "runtime/Runtime.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <string>

Ref<NSString> md5HexDigest(const NSString* string)
{
    if (!string)
        return nullptr;
    // Hashes up to the first NUL, as a C string of the text would.
    auto hex = foundation::md5Hex(string->UTF8String());
    return hex ? NSString::stringWithUTF8String(*hex) : nullptr;
}

Ref<NSString> trimmedString(const NSString* string)
{
    if (!string)
        return nullptr;
    const std::string& text = string->str();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int64_t>(text.size());
    // Byte offsets of the first kept character and just past the last one.
    int64_t first = -1;
    int64_t end = 0;
    for (int64_t i = 0; i < length;) {
        int64_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        // White_Space is exactly the space separators (Zs, Zl, Zp), tab and
        // the line breaks U+000A to U+000D and U+0085. A malformed byte is kept.
        if (c < 0 || !u_isUWhiteSpace(c)) {
            if (first < 0)
                first = start;
            end = i;
        }
    }
    if (first < 0)
        return NSString::string();
    return NSString::stringWithUTF8String(std::string_view(text).substr(static_cast<size_t>(first), static_cast<size_t>(end - first)));
}

Ref<NSArray> componentsSeparatedByStringReversed(const NSString* string, const NSString* separator, bool reversed)
{
    if (!string)
        return nullptr;
    std::string_view sep = separator ? std::string_view(separator->str()) : std::string_view();
    if (!reversed)
        return string->componentsSeparatedByString(sep);

    auto pieces = NSMutableArray::array();
    std::string_view rest = string->str();
    // Take occurrences from the right: each time, the part after the last one
    // goes to the front and the search goes on in the part before it. An
    // empty separator never occurs.
    if (!sep.empty()) {
        for (auto found = rest.rfind(sep); found != std::string_view::npos; found = rest.rfind(sep)) {
            pieces->insertObjectAtIndex(NSString::stringWithUTF8String(rest.substr(found + sep.size())), 0);
            rest = rest.substr(0, found);
        }
    }
    pieces->insertObjectAtIndex(NSString::stringWithUTF8String(rest), 0);
    return pieces;
}

// The category NSString(ZELExtension), attached when the library loads.
QX_CATEGORY(NSString, ZELExtension)
{
    c.method("md5HexDigest", +[](NSString* self) { return md5HexDigest(self); });
    c.method("trimmedString", +[](NSString* self) { return trimmedString(self); });
    c.method("componentsSeparatedByString:reversed:", +[](NSString* self, NSString* separator, bool reversed) {
        return componentsSeparatedByStringReversed(self, separator, reversed);
    });
}
