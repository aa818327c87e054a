#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace viewer {

// A small decoded picture held whole: `bands` samples of 8 bits per pixel
// (1 grey, 3 RGB), row after row.
struct Raster {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<uint8_t> samples;

    const uint8_t* pixel(int x, int y) const { return samples.data() + (size_t(y) * width + x) * bands; }
};

// The `width` x `height` part whose top left is at (`left`, `top`); the
// part must lie inside the raster.
Raster cropped(const Raster& raster, int left, int top, int width, int height);

// The raster turned upright by an EXIF orientation (1 to 8: the turns and
// mirrorings that make a stored picture stand as it was taken). Any other
// value leaves it as it is.
Raster turned(const Raster& raster, int orientation);

} // namespace viewer
