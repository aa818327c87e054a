#pragma once

// Everything a reader found in a file as text, one fact a line, so that two
// readings compare by their text and a difference shows as a diff.

#include "imageio/LeanReader.h"

#include <optional>
#include <string>

namespace imageio {

std::string describeContents(const std::optional<ImageContents>& contents);

} // namespace imageio
