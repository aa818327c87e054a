#include "GWeatherLibrary.h"

#include <dlfcn.h>
#include <errno.h>

#include <cstdio>

namespace places {

namespace {

template<class Function>
bool resolve(void* library, const char* name, Function& function, std::string& error)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function)
        error = std::string(gweatherLibraryName) + ": no function " + name;
    return function != nullptr;
}

} // namespace

std::optional<GWeatherLibrary> GWeatherLibrary::open(const char* fileName, std::string& error)
{
    // Bound at once, so a missing function is found here and not in the
    // middle of a lookup.
    void* library = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : std::string(fileName) + ": cannot be loaded";
        return std::nullopt;
    }
    GWeatherLibrary functions {};
    const bool complete = resolve(library, "gweather_location_get_world", functions.getWorld, error)
        && resolve(library, "gweather_location_next_child", functions.nextChild, error)
        && resolve(library, "gweather_location_get_level", functions.getLevel, error)
        && resolve(library, "gweather_location_get_english_name", functions.getEnglishName, error)
        && resolve(library, "gweather_location_get_name", functions.getName, error)
        && resolve(library, "gweather_location_get_country_name", functions.getCountryName, error)
        && resolve(library, "gweather_location_has_coords", functions.hasCoords, error)
        && resolve(library, "gweather_location_get_coords", functions.getCoords, error)
        && resolve(library, "g_object_ref", functions.objectRef, error)
        && resolve(library, "g_object_unref", functions.objectUnref, error)
        && resolve(library, "g_free", functions.free, error);
    if (!complete) {
        dlclose(library);
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
            std::fprintf(stderr, "%s: places are named in English only: %s\n", program_invocation_short_name, error.c_str());
        return opened;
    }();
    return library ? &*library : nullptr;
}

} // namespace places
