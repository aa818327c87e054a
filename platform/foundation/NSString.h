#pragma once

#include "foundation/Forward.h"
#include "foundation/Format.h"
#include "runtime/ClassDefinition.h"

#include <string>
#include <string_view>

// An immutable string of UTF-8 text.
class NSString : public NSObject {
    QX_OBJECT(NSString, NSObject)
public:
    static Ref<NSString> string();
    static Ref<NSString> stringWithUTF8String(std::string_view text);
    // A string that takes over `text`, without copying it.
    static Ref<NSString> stringTakingText(std::string&& text);

    template<class... A>
    static Ref<NSString> stringWithFormat(std::string_view format, const A&... args)
    {
        return stringTakingText(foundation::format(format, args...));
    }

    const std::string& str() const { return text_; }
    const char* UTF8String() const { return text_.c_str(); }
    // The length in UTF-16 code units, as the platform counts it.
    NSUInteger length() const;
    bool isEmpty() const { return text_.empty(); }

    bool isEqualToString(const NSString* other) const { return other && other->text_ == text_; }
    bool isEqualToString(std::string_view other) const { return text_ == other; }
    bool hasPrefix(std::string_view prefix) const { return text_.starts_with(prefix); }
    bool hasSuffix(std::string_view suffix) const { return text_.ends_with(suffix); }

    Ref<NSString> lowercaseString() const;
    Ref<NSString> uppercaseString() const;
    Ref<NSString> stringByAppendingString(std::string_view other) const;

    // Path operations on "/"-separated paths.
    Ref<NSString> stringByAppendingPathComponent(std::string_view component) const;
    Ref<NSString> lastPathComponent() const;
    Ref<NSString> stringByDeletingLastPathComponent() const;
    Ref<NSString> pathExtension() const;
    bool isAbsolutePath() const { return text_.starts_with('/'); }

    Ref<NSArray> componentsSeparatedByString(std::string_view separator) const;

    // Leading numeric value, as the platform reads it: "7.0.4" reads 7.0,
    // text without a number reads 0.
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    int intValue() const;
    long long longLongValue() const;
    bool boolValue() const;

protected:
    explicit NSString(std::string text)
        : text_(std::move(text))
    {
    }

    std::string describe() const override;
    bool equals(const NSObject* other) const override;

private:
    std::string text_;
};

// Shorthand for a string object from a literal.
inline Ref<NSString> operator""_ns(const char* text, size_t length)
{
    return NSString::stringWithUTF8String(std::string_view(text, length));
}

// Selector and class names as strings.
NSString* NSStringFromSelector(SEL sel);
SEL NSSelectorFromString(const NSString* name);
Class NSClassFromString(const NSString* name);
