#pragma once

#include "places/NearestPlace.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace places {

// {"name", "country", "distance_km"} (kilometres to a tenth), or null
// without a place: how both programs hand a place on.
nlohmann::ordered_json placeJson(const std::optional<Place>& place);

// The distance as it is shown: to a tenth of a kilometre, since a town's
// recorded centre is no more exact than that.
double shownDistanceKm(const Place& place);

} // namespace places
