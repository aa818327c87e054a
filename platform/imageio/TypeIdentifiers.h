#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace imageio {

// A TIFF file's type: a DNG says so in its first directory, whatever the
// file is called; the other raw formats built on TIFF carry TIFF's signature
// and are told apart by their extension.
const char* tiffTypeIdentifier(bool hasDngVersion, const std::string& path);

// An ISO base media file's type from its 'ftyp' box, given the file's first
// bytes: the major brand if it names a coding, else the first compatible
// brand that does, else generic HEIF when a generic image brand is listed.
// Nothing when the file does not say it is an image.
std::optional<std::string> bmffTypeIdentifier(const uint8_t* head, size_t length);

} // namespace imageio
