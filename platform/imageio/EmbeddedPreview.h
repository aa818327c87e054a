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

// The thumbnail a HEIF, HEIC or AVIF file carries for its primary picture:
// an image item that refers to the primary item by a 'thmb' reference,
// coded as HEVC or AV1 ('hvc1', 'av01'), with its own 'ispe'. The first
// such item, in the order the references are listed, is the one a decoder
// asked for "the thumbnail" gives. Only its structure is read here; the
// decoder reads its bytes.
struct HeifThumbnail {
    uint32_t item = 0;
    PixelDimensions stored; // its 'ispe'
    PixelDimensions shown; // after its own rotation and crop, as decoded
    PixelDimensions picture; // the primary picture as shown
};

// A thumbnail whose coded bytes (by 'iloc') are more than this is not read.
constexpr uint64_t kLargestHeifThumbnail = 1 << 20;

// Nothing when the file is no HEIF, has no such thumbnail, the thumbnail's
// bytes lie outside the file or in a place other than the file itself, or
// it is larger than an embedded preview may be. Never throws.
std::optional<HeifThumbnail> readHeifThumbnail(const FileWindow& file);
std::optional<HeifThumbnail> readHeifThumbnail(const std::string& path);

} // namespace imageio
