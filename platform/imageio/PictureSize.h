#pragma once

// A picture's own pixel size, read from the image's structure the same way
// whichever reader takes the file, so that both readers give one answer:
// a JPEG's frame header and a HEIF's primary item. The EXIF block's pixel
// dimensions are never used: an edited photo keeps the camera's there.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

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

// One box of a byte range held in memory: its type and body.
struct HeifBox {
    std::string_view type;
    std::span<const uint8_t> body;
};

// The 'meta' box of a HEIF, HEIC or AVIF file, read once and held, for
// readers of its other items than the primary (its thumbnails).
class HeifMeta {
public:
    // Nothing when the file has no 'meta' box, one too large to be a
    // photo's, or one whose boxes do not exactly fill it.
    static std::optional<HeifMeta> read(const FileWindow& file);
    // The boxes that exactly fill `bytes`; nothing when one overruns them.
    static std::optional<std::vector<HeifBox>> boxes(std::span<const uint8_t> bytes);

    // The body of the first box of `type` directly inside 'meta' (after the
    // meta box's own version and flags).
    std::optional<std::span<const uint8_t>> box(std::string_view type) const;
    std::optional<uint32_t> primaryItem() const; // from 'pitm'
    // Any image item's size, read as heifPictureSize reads the primary's.
    std::optional<PictureSize> itemSize(uint32_t item) const;

private:
    std::vector<uint8_t> body_;
};

} // namespace imageio
