#pragma once

// A picture's own pixel size, read from the image's structure the same way
// whichever reader takes the file, so that both readers give one answer:
// a JPEG's frame header and a HEIF's primary item. The EXIF block's pixel
// dimensions are never used: an edited photo keeps the camera's there.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <optional>

namespace imageio {

struct PictureSize {
    PixelDimensions stored; // zero when the structure gives none
    // As shown, where the container itself turns or crops the picture (a
    // HEIF item's rotation and clean aperture); otherwise the EXIF
    // orientation turns the stored size.
    std::optional<PixelDimensions> shown;
};

// The first frame header before the first scan, found by segment lengths.
// Nothing when the file has none, or a frame header too short to hold a size.
std::optional<PictureSize> jpegPictureSize(const FileWindow& file);

// The primary item ('pitm') of a HEIF, HEIC or AVIF file: its 'ispe' for
// the stored size, then its rotation ('irot') and clean aperture ('clap')
// in the order its properties are listed ('ipma'). Nothing when the file
// names no primary item or gives it no 'ispe'.
std::optional<PictureSize> heifPictureSize(const FileWindow& file);

} // namespace imageio
