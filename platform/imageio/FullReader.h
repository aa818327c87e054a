#pragma once

// The full image-properties reader, on exiv2: every format the reader offers,
// every structure however damaged (it gives what it can). It lives in a
// library of its own, the only one of the platform that links exiv2, opened
// beside the platform library for the first file the lean reader leaves; a
// process that reads only what the lean reader takes never loads exiv2.

#include "imageio/LeanReader.h"

#include <optional>
#include <string>

namespace imageio {

// The full reader's library, in the platform library's folder.
constexpr const char* kFullReaderLibrary = "libquorix_full_reader.so";

// Its one entry point: the file's contents into `contents`, or false when
// the file is not an image the reader offers or cannot be read. Never throws.
extern "C" bool quorix_read_full(const char* path, ImageContents* contents);

// Reads through the library, opened on the first call. Nothing when the file
// cannot be read, or the library cannot be loaded (said once on standard
// error). Never throws.
std::optional<ImageContents> readFull(const std::string& path);

} // namespace imageio
