#include "places/NearestPlace.h"

#include "places/CityTable.h"
#include "places/GWeatherLibrary.h"
#include "places/LandMask.h"

#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace places {

namespace {

constexpr double earthRadiusKm = 6371.0088; // the mean radius
// A degree of latitude is at least this long anywhere, so a town more than
// maxPlaceDistanceKm / kmPerDegreeLatitude degrees north or south of a
// position is farther away than the limit.
constexpr double kmPerDegreeLatitude = 110.5;
// The gettext domain of the database's names.
constexpr const char* namesDomain = "libgweather-4.0-locations";

// gettext translates nothing when the messages' locale is C or POSIX and
// LANGUAGE names no language: the database's names are then its English ones.
bool namesMayBeTranslated()
{
    if (const char* language = std::getenv("LANGUAGE"); language && *language)
        return true;
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (const char* value = std::getenv(variable); value && *value) {
            const std::string_view locale(value);
            return !(locale == "C" || locale == "POSIX" || locale.starts_with("C."));
        }
    }
    return false;
}

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

double distanceKm(double latitude1, double longitude1, double latitude2, double longitude2)
{
    const double dLatitude = radians(latitude2 - latitude1);
    const double dLongitude = radians(longitude2 - longitude1);
    const double a = std::pow(std::sin(dLatitude / 2), 2)
        + std::cos(radians(latitude1)) * std::cos(radians(latitude2)) * std::pow(std::sin(dLongitude / 2), 2);
    return 2 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

// Drops a reference through the library that handed it out.
struct GObjectUnref {
    decltype(GWeatherLibrary::objectUnref) unref = nullptr;
    void operator()(GWeatherLocation* location) const { unref(location); }
};
using LocationRef = std::unique_ptr<GWeatherLocation, GObjectUnref>;

// A city as the database itself lists it.
struct City {
    double latitude;
    double longitude;
    LocationRef location;
};

// The cities with their positions, sorted by latitude so a search looks
// only at the band of latitudes within reach. They come from the table the
// build made of the database, so finding the nearest reads nothing; the
// database is opened for the one city named, found by its path. Should the
// database have changed since the build (the path leads elsewhere), the
// cities are read from the database itself, once (about 20 ms). Should
// there be no database to read (libgweather cannot be loaded or cannot open
// its world), the table answers alone, with the English names the build
// recorded. Those are the names the database gives where nothing asks for a
// translation, so there the table answers without loading libgweather and
// the thirty libraries beneath it.
class CityIndex {
public:
    static CityIndex& shared()
    {
        static CityIndex index(gweather);
        return index;
    }

    explicit CityIndex(LibraryOpener openLibrary)
        : openLibrary_(openLibrary)
        , namesMayBeTranslated_(namesMayBeTranslated())
    {
    }

    ~CityIndex()
    {
        if (messages_)
            freelocale(messages_);
    }

    std::optional<Place> nearest(double latitude, double longitude)
    {
        double distance = 0;
        if (fromDatabase_) {
            const City* city = nearestIn(std::span<const City>(cities_), latitude, longitude, distance);
            if (!city)
                return std::nullopt;
            return Place { localName(*library_, city->location.get()), countryName(*library_, city->location.get()), distance };
        }
        const CityEntry* entry = nearestIn(std::span<const CityEntry>(cityTable, cityTableSize), latitude, longitude, distance);
        if (!entry)
            return std::nullopt;
        // The database is opened only to name a town within reach in the
        // person's language.
        if (namesMayBeTranslated_ && !databaseGone_) {
            LocationRef& location = located_[entry];
            if (!location) {
                if (!library_ && !(library_ = openLibrary_()))
                    databaseGone_ = true;
                else if (!(location = lookUp(*library_, *entry)))
                    readDatabase(*library_);
            }
            if (fromDatabase_)
                return nearest(latitude, longitude);
            if (location)
                return Place { localName(*library_, location.get()), countryName(*library_, location.get()), distance };
        }
        // No database to ask: the build's table still knows the town, in English.
        return Place { entry->englishName(), entry->englishCountry(), distance };
    }

private:
    // The nearest of `cities` (sorted by latitude) within reach, and its
    // distance; the last of equally near ones.
    template<class Entry>
    static const Entry* nearestIn(std::span<const Entry> cities, double latitude, double longitude, double& distanceKmOut)
    {
        const Entry* best = nullptr;
        double bestDistance = maxPlaceDistanceKm;
        const double band = maxPlaceDistanceKm / kmPerDegreeLatitude;
        auto first = std::lower_bound(cities.begin(), cities.end(), latitude - band,
            [](const Entry& city, double value) { return city.latitude < value; });
        for (auto city = first; city != cities.end() && city->latitude <= latitude + band; ++city) {
            const double distance = distanceKm(latitude, longitude, city->latitude, city->longitude);
            if (distance <= bestDistance) {
                best = &*city;
                bestDistance = distance;
            }
        }
        distanceKmOut = bestDistance;
        return best;
    }

    // The city at the entry's path in the database, if it is still the
    // entry's city.
    static LocationRef lookUp(const GWeatherLibrary& library, const CityEntry& entry)
    {
        GWeatherLocation* world = library.getWorld();
        if (!world)
            return nullptr;
        LocationRef node(nullptr, GObjectUnref { library.objectUnref });
        for (unsigned level = 0; level < entry.depth; ++level) {
            GWeatherLocation* parent = node ? node.get() : world;
            // next_child hands back a new reference and drops the one to the
            // child it is given.
            GWeatherLocation* child = nullptr;
            for (unsigned index = 0; index <= entry.path[level]; ++index) {
                child = library.nextChild(parent, child);
                if (!child)
                    return nullptr;
            }
            node.reset(child);
        }
        const char* name = node ? library.getEnglishName(node.get()) : nullptr;
        if (!name || std::strcmp(name, entry.englishName()) != 0 || library.getLevel(node.get()) != GWEATHER_LOCATION_CITY)
            return nullptr;
        return node;
    }

    // When the library has no world to give (its database is not installed
    // or cannot be read), the table stays and answers alone.
    void readDatabase(const GWeatherLibrary& library)
    {
        GWeatherLocation* world = library.getWorld();
        if (!world) {
            databaseGone_ = true;
            return;
        }
        cities_.clear();
        collect(library, world);
        std::sort(cities_.begin(), cities_.end(), [](const City& a, const City& b) { return a.latitude < b.latitude; });
        fromDatabase_ = true;
    }

    void collect(const GWeatherLibrary& library, GWeatherLocation* parent)
    {
        GWeatherLocation* child = nullptr;
        while ((child = library.nextChild(parent, child))) {
            if (library.getLevel(child) == GWEATHER_LOCATION_CITY) {
                if (library.hasCoords(child)) {
                    double latitude = 0, longitude = 0;
                    library.getCoords(child, &latitude, &longitude);
                    cities_.push_back({ latitude, longitude, LocationRef(static_cast<GWeatherLocation*>(library.objectRef(child)), GObjectUnref { library.objectUnref }) });
                }
            } else {
                collect(library, child);
            }
        }
    }

    // The person's language for the names, on this thread only, so the
    // program's own messages and number formats stay as they are. Made when
    // a name is first read from the database: where no name is translated,
    // no locale files are read.
    locale_t messages()
    {
        if (!messagesMade_) {
            messagesMade_ = true;
            // The names are translated by gettext, which converts them to the
            // locale's character set unless told otherwise: ours is UTF-8.
            bind_textdomain_codeset(namesDomain, "UTF-8");
            messages_ = newlocale(LC_MESSAGES_MASK, "", nullptr);
            if (!messages_)
                messages_ = newlocale(LC_MESSAGES_MASK, "C.UTF-8", nullptr);
        }
        return messages_;
    }

    template<class F>
    std::string inPersonsLanguage(F read)
    {
        locale_t messages = this->messages();
        locale_t previous = messages ? uselocale(messages) : nullptr;
        std::string text = read();
        if (previous)
            uselocale(previous);
        return text;
    }

    std::string localName(const GWeatherLibrary& library, GWeatherLocation* city)
    {
        return inPersonsLanguage([&library, city] {
            const char* name = library.getName(city);
            return std::string(name ? name : "");
        });
    }

    std::string countryName(const GWeatherLibrary& library, GWeatherLocation* city)
    {
        return inPersonsLanguage([&library, city] {
            char* name = library.getCountryName(city);
            std::string text = name ? name : "";
            library.free(name);
            return text;
        });
    }

    LibraryOpener openLibrary_;
    const GWeatherLibrary* library_ = nullptr; // once opened
    const bool namesMayBeTranslated_;
    bool databaseGone_ = false;
    // The towns of the build's table found in the database so far.
    std::unordered_map<const CityEntry*, LocationRef> located_;
    // Once the table no longer matches the database, the database's own cities.
    bool fromDatabase_ = false;
    std::vector<City> cities_;
    bool messagesMade_ = false;
    locale_t messages_ = nullptr;
};

// libgweather's objects are not made for use from several threads.
std::mutex& lookupLock()
{
    static std::mutex lock;
    return lock;
}

// The nearest town in `index`, for a position that is one and not at sea.
std::optional<Place> nearestPlaceIn(CityIndex& index, double latitude, double longitude)
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::abs(latitude) > 90 || std::abs(longitude) > 180)
        return std::nullopt;
    // A town on the coast is near much sea; a photo taken out there has no place.
    if (isAtSea(latitude, longitude))
        return std::nullopt;
    std::lock_guard guard(lookupLock());
    return index.nearest(latitude, longitude);
}

} // namespace

std::optional<Place> nearestPlace(double latitude, double longitude)
{
    return nearestPlaceIn(CityIndex::shared(), latitude, longitude);
}

std::optional<Place> nearestPlaceWith(LibraryOpener openLibrary, double latitude, double longitude)
{
    CityIndex index(openLibrary);
    return nearestPlaceIn(index, latitude, longitude);
}

} // namespace places
