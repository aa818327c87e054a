#pragma once

#include "viewer/serve/PhotoRenderer.h"

#include <optional>
#include <string_view>

namespace viewer {

// The numbers of the page's image requests, read from their addresses:
// digits only (no sign, no blanks) and few of them, so reading one cannot
// overflow, and below a bound, so an index always names one of the
// viewer's photos and nothing else reaches the renderer.

// The number `text` when it is below `bound`; none otherwise.
std::optional<size_t> numberBelow(std::string_view text, size_t bound);

// The thumbnail cache's box that covers `size` (the pixels the page draws
// a cell with); the large one when the request does not say. None when
// `size` is not a number of pixels up to limits::maxThumbnailSide.
std::optional<PhotoRenderer::Box> thumbnailBox(std::optional<std::string_view> size);

} // namespace viewer
