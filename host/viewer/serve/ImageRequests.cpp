#include "viewer/serve/ImageRequests.h"

#include "viewer/serve/ServerLimits.h"
#include "viewer/serve/ThumbnailCache.h"

#include <charconv>

namespace viewer {

std::optional<size_t> numberBelow(std::string_view text, size_t bound)
{
    if (text.empty() || text.size() > limits::maxIndexDigits || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    size_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value >= bound)
        return std::nullopt;
    return value;
}

std::optional<PhotoRenderer::Box> thumbnailBox(std::optional<std::string_view> size)
{
    int pixels = ThumbnailCache::largePixels;
    if (size) {
        const auto asked = numberBelow(*size, limits::maxThumbnailSide + 1);
        if (!asked)
            return std::nullopt;
        pixels = ThumbnailCache::pixels(ThumbnailCache::flavorFor(int(*asked)));
    }
    return PhotoRenderer::Box { pixels, pixels };
}

} // namespace viewer
