#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// A selector: an interned method name. Two selectors are equal exactly when
// their names are, and comparing them compares one pointer.
class SEL {
public:
    SEL() = default;
    SEL(const char* name); // NOLINT(google-explicit-constructor): selectors read like strings
    SEL(std::string_view name); // NOLINT(google-explicit-constructor)
    SEL(const std::string& name); // NOLINT(google-explicit-constructor)

    const std::string& name() const;
    bool isNull() const { return name_ == nullptr; }
    explicit operator bool() const { return name_ != nullptr; }

    friend bool operator==(SEL a, SEL b) { return a.name_ == b.name_; }

    const std::string* key() const { return name_; }

private:
    const std::string* name_ = nullptr;
};

namespace objc {
// A selector name written as a literal, as a template argument.
template<size_t N>
struct SelectorLiteral {
    consteval SelectorLiteral(const char (&name)[N]) // NOLINT(google-explicit-constructor)
    {
        for (size_t i = 0; i < N; ++i)
            text[i] = name[i];
    }
    char text[N] {};
};
} // namespace objc

// "name"_sel: the selector of a literal name. The literal is a template
// parameter object, one address per name, so its selector is found as any
// other text's.
template<objc::SelectorLiteral Name>
SEL operator""_sel()
{
    return SEL(static_cast<const char*>(Name.text));
}

SEL sel_registerName(std::string_view name);
const char* sel_getName(SEL sel);

template<>
struct std::hash<SEL> {
    size_t operator()(SEL sel) const noexcept { return std::hash<const void*>()(sel.key()); }
};
