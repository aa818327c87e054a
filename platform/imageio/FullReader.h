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

// Whether the file's content is in a format the reader offers, judged from
// its signature alone, so a damaged photo still is one and a text file named
// "photo.jpg" is not. Never throws.
extern "C" bool quorix_recognises_format(const char* path);

// Reads through the library, opened on the first call. Nothing when the file
// cannot be read, or the library cannot be loaded (said once on standard
// error). Never throws.
std::optional<ImageContents> readFull(const std::string& path);

// Asks the library, opened on the first call; false for what is not a
// regular file, nothing when the library cannot be loaded.
std::optional<bool> recognisesFormat(const std::string& path);

} // namespace imageio
