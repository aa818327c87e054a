#pragma once

#include "foundation/NSString.h"

#include <cstddef>
#include <string_view>

// The localized text for a key of the library's strings table "Quorix" in the
// main bundle: the table's entry, else the fallback when it is not empty, else
// the key.
Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback = {});

// A key written in the code as a literal: its text never changes, so its
// address names it for the life of the process.
class QXLiteralKey {
public:
    template<size_t N>
    consteval QXLiteralKey(const char (&text)[N]) // NOLINT(google-explicit-constructor): a literal is the only way to make one
        : text_(text, N - 1)
    {
    }

    std::string_view text() const { return text_; }
    // The same literal: the same address and length (a literal that shares
    // another's start is another literal).
    bool operator==(const QXLiteralKey& other) const
    {
        return text_.data() == other.text_.data() && text_.size() == other.text_.size();
    }

private:
    std::string_view text_;
};

// QXLocalizedString of a literal key and fallback, remembered by the
// literals' addresses until the bundle's localizations are flushed: the
// table's rows ask for the same few dozen labels for every photo.
Ref<NSString> QXLocalizedLabel(QXLiteralKey key, QXLiteralKey fallback = "");
