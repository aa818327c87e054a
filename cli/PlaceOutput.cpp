#include "cli/PlaceOutput.h"

#include <charconv>

namespace quorix::cli {

std::optional<places::Place> placeOf(const InfoScreenContent& description)
{
    if (!description.location)
        return std::nullopt;
    return places::nearestPlace(description.location->latitude, description.location->longitude);
}

std::string placeText(const places::Place& place)
{
    // The number reads the same in every locale.
    char distance[32];
    auto written = std::to_chars(distance, distance + sizeof distance, places::shownDistanceKm(place), std::chars_format::fixed, 1);
    std::string text = place.name;
    if (!place.country.empty())
        text += ", " + place.country;
    return text + " (" + std::string(distance, written.ptr) + " km)";
}

} // namespace quorix::cli
