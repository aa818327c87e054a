#pragma once

#include "cli/InfoScreen.h"
#include "places/PlaceJson.h"

#include <optional>
#include <string>

namespace quorix::cli {

// One file's description as `quorix info --json` prints it, without the
// line's end: its path (and, when that is not UTF-8, the path's bytes in
// hex), the table's sections, its position, its place and its stamp.
std::string infoJsonLine(const std::string& path, const InfoScreenContent& description, const std::optional<places::Place>& place);

// The same read from the file; nothing for a file that is not an image.
std::optional<std::string> describeAsJson(const std::string& path);

} // namespace quorix::cli
