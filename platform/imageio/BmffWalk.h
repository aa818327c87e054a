#pragma once

// The lean reader's walk of an ISO base media file (HEIC, HEIF, AVIF): the
// boxes of the file and of its 'meta' box, the item that holds the EXIF
// data (iinf/iloc). Like the full reader it takes the EXIF item's bytes from
// its location and finds the TIFF header in them. Anything off the usual shape of these files (an unknown
// box, a location table of another layout, a box that overruns its parent)
// ends the walk with nothing: the full reader then reads the file.

#include "imageio/FileWindow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

struct BmffContents {
    std::vector<uint8_t> exif; // the EXIF item from its TIFF header on; empty when none
};

std::optional<BmffContents> walkBmff(const FileWindow& file);

} // namespace imageio
