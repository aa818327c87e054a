#pragma once

// The lean reader's walk of a WebP file: the chunks of its RIFF container up
// to the size the RIFF header gives, the canvas size of the first VP8X, VP8
// or VP8L chunk, and the TIFF structure of an EXIF chunk. Like the full
// reader it takes a chunk that overruns the container for a damaged file.
// An animation, an XMP chunk, a second EXIF chunk, an EXIF chunk whose TIFF
// header is not where the format puts it (at its start, or after "Exif\0\0"),
// or very many chunks end the walk with nothing: the full reader then reads
// the file.

#include "imageio/FileWindow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

struct WebpContents {
    std::vector<uint8_t> exif; // the EXIF chunk from its TIFF header on; empty when none
    long long width = 0; // of the canvas, zero when no chunk gives it
    long long height = 0;
};

bool isWebpSignature(const uint8_t* head, size_t length);

std::optional<WebpContents> walkWebp(const FileWindow& file);

} // namespace imageio
