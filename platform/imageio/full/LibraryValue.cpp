#include "imageio/full/LibraryValue.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>

namespace imageio {

std::optional<RawValue> rawValueOf(const Exiv2::Value& value, std::vector<uint8_t>& bytes)
{
    const auto type = static_cast<uint32_t>(value.typeId());
    if (tiffTypeSize(type) == 0)
        return std::nullopt;
    bytes.resize(static_cast<size_t>(std::max(value.size(), 0L)));
    if (!bytes.empty())
        value.copy(bytes.data(), Exiv2::littleEndian);
    return RawValue { type, bytes, true };
}

} // namespace imageio
