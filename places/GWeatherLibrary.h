#pragma once

// libgweather, opened when a place is first looked up rather than linked:
// the library brings GLib, GIO, libsoup, libxml2, SQLite and two dozen more
// shared objects, which a photo without a position, `quorix --version` or
// `quorix settings` would otherwise pay for at every start.

#include <libgweather/gweather.h>

#include <optional>
#include <string>

namespace places {

// The file name the dynamic loader finds libgweather by (its soname).
constexpr const char* gweatherLibraryName = "libgweather-4.so.0";

// The few functions of libgweather (and of GLib beneath it) that the place
// lookup calls, resolved from the opened library.
struct GWeatherLibrary {
    decltype(&::gweather_location_get_world) getWorld;
    decltype(&::gweather_location_next_child) nextChild;
    decltype(&::gweather_location_get_level) getLevel;
    decltype(&::gweather_location_get_english_name) getEnglishName;
    decltype(&::gweather_location_get_name) getName;
    decltype(&::gweather_location_get_country_name) getCountryName;
    decltype(&::gweather_location_has_coords) hasCoords;
    decltype(&::gweather_location_get_coords) getCoords;
    decltype(&::g_object_ref) objectRef;
    decltype(&::g_object_unref) objectUnref;
    decltype(&::g_free) free;

    // Opens the library by its file name and resolves every function; on
    // failure nothing, with the loader's reason in `error`. The library
    // stays loaded for the rest of the process.
    static std::optional<GWeatherLibrary> open(const char* fileName, std::string& error);
};

// libgweather, opened on the first call. When it cannot be opened, the first
// call says so once on standard error (places are then named in English,
// from the build's table) and every call gives null. Calls may come from any thread.
const GWeatherLibrary* gweather();

} // namespace places
