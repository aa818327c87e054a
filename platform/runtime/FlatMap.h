#pragma once

#include <boost/unordered/unordered_flat_map.hpp>

#include <functional>
#include <string>
#include <string_view>

// The one hash map of the code base, for maps used from one thread or under
// a lock: open addressing over groups of slots searched a group at a time,
// header-only, so no library loads with the program.
template<class Key, class Value, class Hash = std::hash<Key>, class Equal = std::equal_to<Key>>
using FlatMap = boost::unordered_flat_map<Key, Value, Hash, Equal>;

// The hash of a text, whether held as std::string or std::string_view, so a
// map keyed by std::string is searched by a view without making a string.
// The standard library's hash reads a word at a time, several times faster
// on a selector or a label than Boost's own, and the map mixes its bits.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>()(text); }
};

// A map keyed by text and searched by std::string_view.
template<class Value>
using TextMap = FlatMap<std::string, Value, TextHash, std::equal_to<>>;
