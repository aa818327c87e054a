#include "PlaceOutput.h"

#include <charconv>
#include <cmath>

namespace quorix::cli {

namespace {

// Tenths of a kilometre: a town's recorded centre is no more exact than that.
double roundedKm(double km) { return std::round(km * 10) / 10; }

} // namespace

std::optional<places::Place> placeOf(const InfoScreenContent& description)
{
    if (!description.location)
        return std::nullopt;
    return places::nearestPlace(description.location->latitude, description.location->longitude);
}

nlohmann::ordered_json placeJson(const std::optional<places::Place>& place)
{
    if (!place)
        return nullptr;
    return { { "name", place->name }, { "country", place->country }, { "distance_km", roundedKm(place->distanceKm) } };
}

std::string placeText(const places::Place& place)
{
    // The number reads the same in every locale.
    char distance[32];
    auto written = std::to_chars(distance, distance + sizeof distance, roundedKm(place.distanceKm), std::chars_format::fixed, 1);
    std::string text = place.name;
    if (!place.country.empty())
        text += ", " + place.country;
    return text + " (" + std::string(distance, written.ptr) + " km)";
}

} // namespace quorix::cli
