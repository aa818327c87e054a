#pragma once

#include "cli/InfoScreen.h"

#include "places/PlaceJson.h"

#include <optional>
#include <string>

namespace quorix::cli {

// The town nearest to where the photo was taken; looked up only for a photo
// with a position, so the others never load the locations database.
std::optional<places::Place> placeOf(const InfoScreenContent& description);

// "Oslo, Norway (1.1 km)": the line after the table.
std::string placeText(const places::Place& place);

} // namespace quorix::cli
