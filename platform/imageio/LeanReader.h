#pragma once

// The fast path of the image-properties reader: the entries the table shows,
// read from the file's own structures in bounded windows, for the formats
// photos come in. Anything it does not know, or any structure it cannot be
// sure to read exactly as the full reader (exiv2) does, it leaves alone; the
// full reader then reads the file. A differential test holds the two equal.

#include "imageio/FileWindow.h"
#include "imageio/ImageMetadata.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imageio {

struct ImageContents {
    std::string type; // the uniform type identifier
    ImageMetadata metadata;
};

// Nothing when the full reader is to read the file. Never throws.
std::optional<ImageContents> readLean(const std::string& path);

// Where the XMP signature of each of a JPEG's APP1 segments starts, the
// segments before the first scan walked as both readers walk them; the walk
// ends early at a segment that overruns the file.
std::vector<uint64_t> jpegXmpSignatures(const FileWindow& file);

} // namespace imageio
