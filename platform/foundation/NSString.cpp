#include "foundation/NSString.h"

#include "runtime/Category.h"

#include "foundation/NSArray.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

QX_DEFINE_CLASS(NSString)
{
    b.method<&NSString::length>("length");
    b.method<&NSString::lowercaseString>("lowercaseString");
    b.method<&NSString::doubleValue>("doubleValue");
    b.method<&NSString::floatValue>("floatValue");
    b.method<&NSString::intValue>("intValue");
}

Ref<NSString> NSString::string() { return stringWithUTF8String(""); }

Ref<NSString> NSString::stringWithUTF8String(std::string_view text) { return make_object<NSString>(std::string(text)); }

Ref<NSString> NSString::stringTakingText(std::string&& text) { return make_object<NSString>(std::move(text)); }

NSUInteger NSString::length() const
{
    NSUInteger units = 0;
    for (size_t i = 0; i < text_.size(); ++i) {
        auto byte = static_cast<unsigned char>(text_[i]);
        if ((byte & 0xC0) == 0x80)
            continue; // continuation byte
        units += byte >= 0xF0 ? 2 : 1; // four-byte sequences are surrogate pairs in UTF-16
    }
    return units;
}

Ref<NSString> NSString::lowercaseString() const
{
    std::string lower = text_;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return stringWithUTF8String(lower);
}

Ref<NSString> NSString::uppercaseString() const
{
    std::string upper = text_;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return stringWithUTF8String(upper);
}

Ref<NSString> NSString::stringByAppendingString(std::string_view other) const
{
    return stringWithUTF8String(text_ + std::string(other));
}

Ref<NSString> NSString::stringByAppendingPathComponent(std::string_view component) const
{
    std::string path = text_;
    while (path.size() > 1 && path.ends_with('/'))
        path.pop_back();
    while (component.starts_with('/'))
        component.remove_prefix(1);
    if (component.empty())
        return stringWithUTF8String(path);
    if (!path.empty() && !path.ends_with('/'))
        path += '/';
    path += component;
    return stringWithUTF8String(path);
}

Ref<NSString> NSString::lastPathComponent() const
{
    std::string_view path = text_;
    while (path.size() > 1 && path.ends_with('/'))
        path.remove_suffix(1);
    if (path == "/")
        return stringWithUTF8String("/");
    auto slash = path.rfind('/');
    return stringWithUTF8String(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Ref<NSString> NSString::stringByDeletingLastPathComponent() const
{
    std::string_view path = text_;
    while (path.size() > 1 && path.ends_with('/'))
        path.remove_suffix(1);
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return string();
    if (slash == 0)
        return stringWithUTF8String("/");
    return stringWithUTF8String(path.substr(0, slash));
}

Ref<NSString> NSString::pathExtension() const
{
    auto name = lastPathComponent();
    auto dot = name->str().rfind('.');
    if (dot == std::string::npos || dot == 0)
        return string();
    return stringWithUTF8String(name->str().substr(dot + 1));
}

Ref<NSArray> NSString::componentsSeparatedByString(std::string_view separator) const
{
    auto pieces = NSMutableArray::array();
    if (separator.empty()) {
        pieces->addObject(stringWithUTF8String(text_));
        return pieces;
    }
    size_t start = 0;
    while (true) {
        size_t found = text_.find(separator, start);
        if (found == std::string::npos) {
            pieces->addObject(stringWithUTF8String(std::string_view(text_).substr(start)));
            break;
        }
        pieces->addObject(stringWithUTF8String(std::string_view(text_).substr(start, found - start)));
        start = found + separator.size();
    }
    return pieces;
}

double NSString::doubleValue() const
{
    std::string_view text = text_;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return text.starts_with('-') ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return result.ec == std::errc() ? value : 0.0;
}

int NSString::intValue() const
{
    long long value = longLongValue();
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

long long NSString::longLongValue() const
{
    std::string_view text = text_;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return text.starts_with('-') ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return result.ec == std::errc() ? value : 0;
}

bool NSString::boolValue() const
{
    std::string_view text = text_;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
    return c == 'y' || c == 't' || (c >= '1' && c <= '9');
}

std::string NSString::describe() const { return text_; }

bool NSString::equals(const NSObject* other) const
{
    const auto* string = dynamic_cast<const NSString*>(other);
    return string && string->text_ == text_;
}

NSString* NSStringFromSelector(SEL sel)
{
    if (!sel)
        return nullptr;
    return static_cast<NSString*>(NSString::stringWithUTF8String(sel.name()).leak()->autorelease());
}

SEL NSSelectorFromString(const NSString* name) { return name ? SEL(name->str()) : SEL(); }

Class NSClassFromString(const NSString* name) { return name ? objc_getClass(name->str()) : nullptr; }

// Every object answers `description` with a string: what "%@" writes.
QX_CATEGORY(NSObject, NSStringDescription)
{
    c.method("description", +[](NSObject* self) { return NSString::stringTakingText(self->descriptionText()); });
}
