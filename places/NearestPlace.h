#pragma once

#include <optional>
#include <string>

struct _GWeatherLocation;

namespace places {

// Beyond this distance the nearest town says little about where a photo was
// taken; a position that far from every town is most likely at sea.
constexpr double maxPlaceDistanceKm = 50;

struct Place {
    // The town or city and its country, in the person's language where the
    // database has it (English otherwise).
    std::string name;
    std::string country;
    // From the position to the place's recorded centre, great-circle.
    double distanceKm = 0;
};

// The town or city of libgweather's world locations database nearest to a
// position given in degrees, if one lies within maxPlaceDistanceKm and the
// position is not at sea (LandMask.h); nothing for a position that is not
// one. When libgweather cannot be loaded or has no database to read, the
// build's table of the database names the town, in English.
// libgweather is opened (GWeatherLibrary.h) by the first call that finds a
// town within reach, and its database read then, once; calls may come from
// any thread.
std::optional<Place> nearestPlace(double latitude, double longitude);

struct GWeatherLibrary;
// What gives the loaded libgweather, or null when it cannot be loaded.
using LibraryOpener = const GWeatherLibrary* (*)();

// nearestPlace through the library `openLibrary` gives (nearestPlace's own
// is gweather()), in an index of its own.
std::optional<Place> nearestPlaceWith(LibraryOpener openLibrary, double latitude, double longitude);

} // namespace places
