#include "viewer/serve/Raster.h"

#include <algorithm>
#include <cstring>

namespace viewer {

Raster cropped(const Raster& raster, int left, int top, int width, int height)
{
    Raster part { width, height, raster.bands, std::vector<uint8_t>(size_t(width) * height * raster.bands) };
    const size_t rowBytes = size_t(width) * raster.bands;
    for (int y = 0; y < height; ++y)
        std::memcpy(part.samples.data() + y * rowBytes, raster.pixel(left, top + y), rowBytes);
    return part;
}

Raster turned(const Raster& raster, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return raster;
    const int w = raster.width;
    const int h = raster.height;
    // Orientations 5 to 8 stand the picture on its side.
    const bool sideways = orientation >= 5;
    Raster upright { sideways ? h : w, sideways ? w : h, raster.bands, std::vector<uint8_t>(raster.samples.size()) };
    // Where the stored pixel of each upright one is.
    auto source = [&](int x, int y) -> std::pair<int, int> {
        switch (orientation) {
        case 2: return { w - 1 - x, y }; // mirrored left to right
        case 3: return { w - 1 - x, h - 1 - y }; // turned half way
        case 4: return { x, h - 1 - y }; // mirrored top to bottom
        case 5: return { y, x }; // mirrored along the main diagonal
        case 6: return { y, h - 1 - x }; // turned a quarter clockwise
        case 7: return { w - 1 - y, h - 1 - x }; // mirrored along the other diagonal
        default: return { w - 1 - y, x }; // 8: turned a quarter counter-clockwise
        }
    };
    uint8_t* out = upright.samples.data();
    for (int y = 0; y < upright.height; ++y) {
        for (int x = 0; x < upright.width; ++x, out += raster.bands) {
            const auto [sx, sy] = source(x, y);
            std::copy_n(raster.pixel(sx, sy), raster.bands, out);
        }
    }
    return upright;
}

} // namespace viewer
