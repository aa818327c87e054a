#pragma once

#include <string>

namespace imageio {

// A TIFF file's type: a DNG says so in its first directory, whatever the
// file is called; the other raw formats built on TIFF carry TIFF's signature
// and are told apart by their extension.
const char* tiffTypeIdentifier(bool hasDngVersion, const std::string& path);

} // namespace imageio
