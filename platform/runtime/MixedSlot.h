#pragma once

#include <cstddef>
#include <cstdint>

namespace objc {

// The slot of `value` in a table of 2^`bits` slots: the top bits of its
// product with the golden ratio's 64-bit fraction, which spreads values that
// lie close together (the addresses of literals, short keys) over the table.
constexpr size_t mixedSlot(uint64_t value, unsigned bits)
{
    return static_cast<size_t>((value * 0x9e3779b97f4a7c15ull) >> (64 - bits));
}

} // namespace objc
