#pragma once

// The small preview a camera embeds in a JPEG photo: the JPEG image of the
// EXIF block's second directory (its JPEGInterchangeFormat and length),
// usually 160 x 120. Read in bounded pieces: the EXIF segment is found by
// segment lengths before the first scan, the preview's place and length must
// lie inside that segment, and its declared size must be a small one. With
// it come what a viewer needs to tell whether it shows the same picture as
// the photo: the photo's own pixel size and its EXIF orientation, which
// turns the preview as it turns the photo.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace imageio {

struct EmbeddedPreview {
    std::vector<uint8_t> jpeg; // the preview's whole JPEG stream
    PixelDimensions size; // as the preview's frame header declares it
    PixelDimensions picture; // the photo's own stored size (its frame header)
    int orientation = 1; // the photo's EXIF orientation, 1 to 8
};

// A preview longer than this is no camera's small one and is not read.
constexpr size_t kLargestEmbeddedPreview = 256 * 1024;
// A preview declaring more pixels on a side than this is not decoded.
constexpr long long kLargestEmbeddedPreviewSide = 1024;

// Nothing when the file is not a JPEG, carries no such preview, or any
// structure on the way is out of bounds. Never throws.
std::optional<EmbeddedPreview> readEmbeddedPreview(const FileWindow& file);
std::optional<EmbeddedPreview> readEmbeddedPreview(const std::string& path);

// The width and height in the first frame header of a JPEG stream held in
// memory; nothing when it has none before its first scan.
std::optional<PixelDimensions> jpegStreamSize(std::span<const uint8_t> jpeg);

} // namespace imageio
