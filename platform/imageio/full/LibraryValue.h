#pragma once

// The metadata library's value of an entry, handed to the one decoder of
// entry values (RawValue.h) in its raw form, so that both readers read a
// value the same way.

#include "imageio/RawValue.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Exiv2 {
class Value;
}

namespace imageio {

// The value written back into bytes of its TIFF type (held in `bytes`).
// Nothing for a value of a type no TIFF entry has.
std::optional<RawValue> rawValueOf(const Exiv2::Value& value, std::vector<uint8_t>& bytes);

} // namespace imageio
