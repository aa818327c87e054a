#pragma once

// The full image-properties reader, on exiv2: every format the reader offers,
// every structure however damaged (it gives what it can).

#include "imageio/LeanReader.h"

#include <optional>
#include <string>

namespace imageio {

// Nothing when the file is not an image the reader offers or cannot be read.
// Never throws.
std::optional<ImageContents> readFull(const std::string& path);

} // namespace imageio
