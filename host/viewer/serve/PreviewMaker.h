#pragma once

#include "viewer/serve/PhotoRenderer.h"
#include "viewer/serve/ThumbnailCache.h"

#include <optional>
#include <string>

namespace viewer {

// What an album cell can show at once, before its thumbnail is made: the
// preview a camera embeds in the photo, cut to the cell's square.
//
// A preview is used only when it shows the same picture as the photo: the
// aspect ratio of its picture area (after trimming the black bars a camera
// adds to fit a 3:2 photo into a 4:3 preview) must be the photo's own,
// both as stored, within kMostAspectDifference; an edited (cropped) photo
// often keeps its camera's old preview, which is then skipped. The square
// is the centre of that area, at least `points` pixels on a side (never
// enlarged), turned by the photo's EXIF orientation, as JPEG.
struct PreviewSquare {
    std::string jpeg;
    int side = 0;
};

// How far the preview's picture area and the photo's aspect ratios may part.
constexpr double kMostAspectDifference = 0.02;
// A row or column of the decoded preview whose mean (of every band) is at
// most this is part of a black bar.
constexpr double kBarLevel = 24;

// Nothing when the photo carries no preview usable for a cell of `points`.
std::optional<PreviewSquare> previewSquare(const std::string& path, int points);

// The decoder of the album's /previews route, run inside a PhotoRenderer:
// for a box of { pixels, points } it answers the photo's thumbnail of
// `pixels` when the shared cache already holds it (warm, that is all the
// album needs), else the preview's square for a cell of `points` (marked
// `fromPreview`), else an error: the cell then waits for its thumbnail.
PhotoRenderer::Decoder previewDecoder(ThumbnailCache cache);

} // namespace viewer
