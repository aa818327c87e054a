#include "places/GWeatherLibrary.h"

#include "foundation/SharedLibrary.h"

namespace places {

std::optional<GWeatherLibrary> GWeatherLibrary::open(const char* fileName, std::string& error)
{
    auto library = foundation::SharedLibrary::open(fileName, error);
    if (!library)
        return std::nullopt;
    GWeatherLibrary functions {};
    const bool complete = library->resolve("gweather_location_get_world", functions.getWorld, error)
        && library->resolve("gweather_location_next_child", functions.nextChild, error)
        && library->resolve("gweather_location_get_level", functions.getLevel, error)
        && library->resolve("gweather_location_get_english_name", functions.getEnglishName, error)
        && library->resolve("gweather_location_get_name", functions.getName, error)
        && library->resolve("gweather_location_get_country_name", functions.getCountryName, error)
        && library->resolve("gweather_location_has_coords", functions.hasCoords, error)
        && library->resolve("gweather_location_get_coords", functions.getCoords, error)
        && library->resolve("g_object_ref", functions.objectRef, error)
        && library->resolve("g_object_unref", functions.objectUnref, error)
        && library->resolve("g_free", functions.free, error);
    if (!complete) {
        library->close();
        return std::nullopt;
    }
    return functions;
}

const GWeatherLibrary* gweather()
{
    static const std::optional<GWeatherLibrary> library = [] {
        std::string error;
        auto opened = GWeatherLibrary::open(gweatherLibraryName, error);
        if (!opened)
            foundation::reportUnusableLibrary("places are named in English only", error);
        return opened;
    }();
    return library ? &*library : nullptr;
}

} // namespace places
