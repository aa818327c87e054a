#pragma once

// A small HEIF file made by hand, box by box: a primary image item with its
// size ('ispe') and, as chosen, a rotation, a clean aperture, a larger second
// image item and an EXIF item. The image items hold no decodable picture;
// readers of the file's structure need none.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fixtures {

struct HeifPicture {
    uint32_t width = 0; // the primary item's 'ispe'
    uint32_t height = 0;
    std::optional<uint8_t> quarterTurns; // 'irot', anticlockwise
    std::optional<std::pair<uint32_t, uint32_t>> crop; // 'clap', in whole pixels, centred
    // A second image item (another picture of the file), listed first.
    uint32_t otherWidth = 0;
    uint32_t otherHeight = 0;
    std::string exif; // a TIFF structure for an EXIF item; none when empty
};

std::string heifBytes(const HeifPicture& picture);

// A HEIF file (as an encoder wrote it) with a rotation property ('irot',
// `quarterTurns` anticlockwise) added after every property of each of
// `items`, so after its 'ispe' as the format orders them: the boxes around
// it and the items' offsets ('iloc') follow. Throws std::runtime_error on a
// structure it does not know.
std::string withRotation(const std::string& heif, const std::vector<uint32_t>& items, uint8_t quarterTurns);

// The TIFF structure of a JPEG's EXIF segment.
std::string exifOfJpeg(const std::string& jpegBytes);

} // namespace fixtures
