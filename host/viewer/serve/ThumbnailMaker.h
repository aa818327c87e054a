#pragma once

#include "viewer/serve/PhotoRenderer.h"
#include "viewer/serve/ThumbnailCache.h"

namespace viewer {

// The album's thumbnails as PNG, through the desktop's shared cache: a
// thumbnail still valid there is read back; otherwise it is made with
// libvips (shrink-on-load, upright) at the cache's size that covers the box
// (128 or 256 pixels), stored and answered. A raw file libvips cannot read
// gives the preview embedded in it (through exiv2). A file that cannot be
// decoded at all gets a fail entry, so it is not tried again until it
// changes, and is answered as an error. Runs inside a PhotoRenderer, which
// bounds and single-flights the work.
PhotoRenderer::Decoder thumbnailDecoder(ThumbnailCache cache);

} // namespace viewer
