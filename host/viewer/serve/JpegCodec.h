#pragma once

#include "viewer/serve/Raster.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace viewer {

// Small JPEGs decoded and encoded with libjpeg on the calling thread: an
// album cell's embedded preview, a few kilobytes, costs a fraction of a
// millisecond this way, and runs at the priority of the thread that asked.

// The picture of a grey or colour JPEG, as 1 or 3 bands; nothing for a
// damaged one (a warning counts), a CMYK one, or one of more than
// `mostPixels` pixels (refused from its header, before any is decoded).
std::optional<Raster> decodeJpeg(std::span<const uint8_t> bytes, size_t mostPixels);

// The raster as a baseline JPEG of the given quality, no metadata.
std::optional<std::string> encodeJpeg(const Raster& raster, int quality);

} // namespace viewer
