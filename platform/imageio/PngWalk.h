#pragma once

// The lean reader's walk of a PNG file: its chunks from the signature to
// IEND, the pixel size from IHDR and the EXIF data of an eXIf chunk. Like the
// full reader it reads every chunk's length, stops at IEND, and takes a file
// whose chunks overrun it for a damaged one. A chunk that could bring EXIF
// data another way (a raw profile or XMP in a text chunk), a compressed
// chunk, a second eXIf, a file without IEND or one of very many chunks ends
// the walk with nothing: the full reader then reads the file.

#include "imageio/FileWindow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace imageio {

struct PngContents {
    std::vector<uint8_t> exif; // the eXIf chunk's data, a TIFF structure; empty when none
    long long width = 0; // from IHDR, as the signed numbers the full reader takes them for
    long long height = 0;
};

bool isPngSignature(const uint8_t* head, size_t length);

std::optional<PngContents> walkPng(const FileWindow& file);

} // namespace imageio
