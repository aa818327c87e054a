#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorix::cli {

// When the photo at the path was taken, as ISO 8601 ("2024-05-04T14:30:00",
// "+02:00" after it when the photo records its offset from UTC); nothing
// when it records no date the camera wrote.
std::optional<std::string> captureDate(const std::string& path);

// The ISO 8601 form of an EXIF date ("2024:05:04 14:30:00") and offset
// ("+02:00", or empty). Nothing for a date that is not one (blank, zeros,
// partly filled, out of range); an offset that is not one is left out.
std::optional<std::string> isoDate(std::string_view exifDate, std::string_view exifOffset);

} // namespace quorix::cli
