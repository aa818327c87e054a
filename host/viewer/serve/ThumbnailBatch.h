#pragma once

#include "viewer/serve/FormData.h"
#include "viewer/serve/MapRoutes.h"
#include "viewer/serve/PhotoRenderer.h"

#include <string>
#include <variant>
#include <vector>

namespace viewer {

// GET /thumbnails?first=N&count=M&size=PX: the thumbnails of photos N to
// N+M-1 (a row of the album) in one response, so a screen of thumbnails
// costs a request per row instead of one per photo.
struct ThumbnailBatch {
    size_t first = 0;
    size_t count = 0; // at most limits::maxThumbnailsPerRequest
    PhotoRenderer::Box box;
};

// The batch the query asks for out of `photos`, or why it is refused (a 400).
std::variant<ThumbnailBatch, std::string> thumbnailBatch(const QueryValue& query, size_t photos);

// The answer, as multipart/form-data: one text part per photo, named by its
// index, holding either the thumbnail as a data: URL or the reason it
// cannot be shown. Text, not a file: the page gives a data: URL to an image
// as it is, while a file part becomes a Blob whose object URL Chromium
// loads through its browser process, several times slower for a screenful.
// A thumbnail's data: URL is made once and shared by every answer that holds it.
FormBody thumbnailBatchBody(size_t first, const std::vector<PhotoRenderer::Result>& results);

// GET /previews?first=N&count=M&size=PX&side=POINTS: what the cells of
// photos N to N+M-1 can show at once, before their thumbnails are made: a
// part "thumbnail N" where the shared cache holds photo N's thumbnail of PX
// pixels, else "preview N" with the square cut from its embedded preview
// for a cell of POINTS (PreviewMaker.h), else no part at all.
struct PreviewBatch {
    ThumbnailBatch photos;
    int side = 0; // the cell's side in points
};
std::variant<PreviewBatch, std::string> previewBatch(const QueryValue& query, size_t photos);
FormBody previewBatchBody(size_t first, const std::vector<PhotoRenderer::Result>& results);

// "data:TYPE;base64,..." of the image's bytes.
std::string dataUrlOf(const PhotoRenderer::Image& image);

} // namespace viewer
