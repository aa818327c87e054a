#include "places/PlaceJson.h"

#include <cmath>

namespace places {

double shownDistanceKm(const Place& place) { return std::round(place.distanceKm * 10) / 10; }

nlohmann::ordered_json placeJson(const std::optional<Place>& place)
{
    if (!place)
        return nullptr;
    return { { "name", place->name }, { "country", place->country }, { "distance_km", shownDistanceKm(*place) } };
}

} // namespace places
