#pragma once

// The fast path of the image-properties reader: the entries the table shows,
// read from the file's own structures in bounded windows, for the formats
// photos come in. Anything it does not know, or any structure it cannot be
// sure to read exactly as the full reader (exiv2) does, it leaves alone; the
// full reader then reads the file. A differential test holds the two equal.

#include "imageio/ImageMetadata.h"

#include <optional>
#include <string>

namespace imageio {

struct ImageContents {
    std::string type; // the uniform type identifier
    ImageMetadata metadata;
};

// Nothing when the full reader is to read the file. Never throws.
std::optional<ImageContents> readLean(const std::string& path);

} // namespace imageio
