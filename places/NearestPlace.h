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
// one or when the database cannot be read.
// The database is read on the first call, once; calls may come from any
// thread.
std::optional<Place> nearestPlace(double latitude, double longitude);

// What opens libgweather's world locations database: its world, or null
// when there is none to read.
using WorldOpener = _GWeatherLocation* (*)();

// nearestPlace over the database `openWorld` opens (nearestPlace's own is
// gweather_location_get_world), in an index of its own: when it opens
// nothing, the build's table of the database answers alone, in English.
std::optional<Place> nearestPlaceWithDatabase(WorldOpener openWorld, double latitude, double longitude);

} // namespace places
