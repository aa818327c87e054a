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

// One box header: the type's four characters as a big-endian number, the
// header's length (8, or 16 with a 64-bit size) and the box's whole size.
struct BoxHeader {
    uint32_t type = 0;
    uint64_t headerSize = 0;
    uint64_t size = 0;
};

// What a size of zero means to a reader. The format gives it "to the end of
// the parent"; the lean walk refuses it, as the full reader gives up on
// such a file, while the picture-size reader follows the format.
enum class SizeZero { Refused, ToTheEnd };

// The header of the box at `header`, with `room` bytes from there to the end
// of its parent (the first min(room, 16) of them readable). Nothing when
// the room cannot hold the header, or the box overruns its parent.
std::optional<BoxHeader> boxHeaderAt(const uint8_t* header, uint64_t room, SizeZero sizeZero);

struct BmffContents {
    std::vector<uint8_t> exif; // the EXIF item from its TIFF header on; empty when none
    uint64_t exifAt = 0; // where in the file that TIFF header is
    std::vector<uint64_t> xmpItemTypes; // where the type of each 'mime' item (read as XMP) is
};

std::optional<BmffContents> walkBmff(const FileWindow& file);

} // namespace imageio
