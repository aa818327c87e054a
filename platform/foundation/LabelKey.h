#pragma once

#include "runtime/FlatMap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace foundation {

// A localized label's table, key and fallback as views, with their hash
// worked out once: the form a cache of labels is searched by. A key comes
// with the same fallback nearly always, so the hash reads the key's text and
// only the other two's lengths; equality still compares all three.
struct LabelView {
    LabelView(std::string_view tableName, std::string_view keyText, std::string_view valueText)
        : table(tableName)
        , key(keyText)
        , value(valueText)
        , hash(textHash(keyText, uint64_t { valueText.size() } << 32 | tableName.size()))
    {
    }

    std::string_view table;
    std::string_view key;
    std::string_view value;
    size_t hash;
};

// The same three texts kept, with their hash, as a cache's key.
struct LabelKey {
    explicit LabelKey(const LabelView& view)
        : table(view.table)
        , key(view.key)
        , value(view.value)
        , hash(view.hash)
    {
    }

    std::string table;
    std::string key;
    std::string value;
    size_t hash;
};

struct LabelKeyHash {
    using is_transparent = void;
    size_t operator()(const LabelView& view) const noexcept { return view.hash; }
    size_t operator()(const LabelKey& key) const noexcept { return key.hash; }
};

struct LabelKeyEqual {
    using is_transparent = void;
    template<class A, class B>
    bool operator()(const A& a, const B& b) const
    {
        return a.hash == b.hash && a.key == b.key && a.value == b.value && a.table == b.table;
    }
};

} // namespace foundation
