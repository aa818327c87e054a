#pragma once

#include <boost/unordered/unordered_flat_map.hpp>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

// The one hash map of the code base, for maps used from one thread or under
// a lock: open addressing over groups of slots searched a group at a time,
// header-only, so no library loads with the program.
template<class Key, class Value, class Hash = std::hash<Key>, class Equal = std::equal_to<Key>>
using FlatMap = boost::unordered_flat_map<Key, Value, Hash, Equal>;

// A hash of a text read eight bytes at a time, its last bytes with two
// overlapping loads: selectors, labels and property keys are a few dozen
// bytes, where a general-purpose byte hash spends more on setting up than
// on the text. Not avalanching on its own: the map mixes the bits it uses.
// `seed` chains several texts into one hash.
inline size_t textHash(std::string_view text, uint64_t seed = 0) noexcept
{
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15;
    auto load64 = [](const char* at) { uint64_t word; std::memcpy(&word, at, sizeof word); return word; };
    auto load32 = [](const char* at) { uint32_t word; std::memcpy(&word, at, sizeof word); return uint64_t { word }; };
    const char* at = text.data();
    size_t left = text.size();
    uint64_t hash = (seed ^ left) * kMultiplier;
    for (; left > 8; at += 8, left -= 8) {
        hash = (hash ^ load64(at)) * kMultiplier;
        hash ^= hash >> 29;
    }
    uint64_t tail = 0;
    if (left >= 4) {
        tail = load32(at) | load32(at + left - 4) << 32;
    } else if (left > 0) {
        auto byte = [&](size_t i) { return uint64_t { static_cast<unsigned char>(at[i]) }; };
        tail = byte(0) | byte(left / 2) << 8 | byte(left - 1) << 16;
    }
    hash = (hash ^ tail) * kMultiplier;
    return static_cast<size_t>(hash ^ (hash >> 32));
}

// The hash of a text, whether held as std::string or std::string_view, so a
// map keyed by std::string is searched by a view without making a string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return textHash(text); }
};

// A map keyed by text and searched by std::string_view.
template<class Value>
using TextMap = FlatMap<std::string, Value, TextHash, std::equal_to<>>;
