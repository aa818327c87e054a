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

// The bytes that make the full reader (exiv2) decode an XMP packet, found by
// the lean reader's own walks: a JPEG's XMP signatures, the tags of the
// XMP packet entries of a TIFF structure's first directory (a TIFF file's,
// a JPEG's EXIF segment's, a HEIF's EXIF item's), a HEIF's 'mime' item
// types. With them cleared the library reads the file as one without XMP.
// Empty for other formats, or where a walk stops early.
struct XmpMark {
    uint64_t offset;
    size_t length;
};
std::vector<XmpMark> xmpMarks(const FileWindow& file);

} // namespace imageio
