#include "NearestPlace.h"

#include "CityTable.h"
#include "LandMask.h"

#include <libgweather/gweather.h>
#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
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

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

double distanceKm(double latitude1, double longitude1, double latitude2, double longitude2)
{
    const double dLatitude = radians(latitude2 - latitude1);
    const double dLongitude = radians(longitude2 - longitude1);
    const double a = std::pow(std::sin(dLatitude / 2), 2)
        + std::cos(radians(latitude1)) * std::cos(radians(latitude2)) * std::pow(std::sin(dLongitude / 2), 2);
    return 2 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

struct GObjectUnref {
    void operator()(GWeatherLocation* location) const { g_object_unref(location); }
};
using LocationRef = std::unique_ptr<GWeatherLocation, GObjectUnref>;

struct City {
    double latitude;
    double longitude;
    const CityEntry* entry; // in the build's table, or null
    LocationRef location; // in the database, once looked up
};

// The cities with their positions, sorted by latitude so a search looks
// only at the band of latitudes within reach. They come from the table the
// build made of the database, so finding the nearest reads nothing; the
// database is opened for the one city named, found by its path. Should the
// database have changed since the build (the path leads elsewhere), the
// cities are read from the database itself, once (about 20 ms). Should
// there be no database to read (libgweather cannot open it), the table
// answers alone, with the English names the build recorded.
class CityIndex {
public:
    static CityIndex& shared()
    {
        static CityIndex index(gweather_location_get_world);
        return index;
    }

    explicit CityIndex(WorldOpener openWorld)
        : openWorld_(openWorld)
    {
        // The names are translated by gettext, which converts them to the
        // locale's character set unless told otherwise: ours is UTF-8.
        bind_textdomain_codeset(namesDomain, "UTF-8");
        // The person's language for the names, on this thread only, so the
        // program's own messages and number formats stay as they are.
        messages_ = newlocale(LC_MESSAGES_MASK, "", nullptr);
        if (!messages_)
            messages_ = newlocale(LC_MESSAGES_MASK, "C.UTF-8", nullptr);
        cities_.reserve(cityTableSize);
        for (unsigned long i = 0; i < cityTableSize; ++i)
            cities_.push_back({ cityTable[i].latitude, cityTable[i].longitude, &cityTable[i], nullptr });
    }

    ~CityIndex()
    {
        if (messages_)
            freelocale(messages_);
    }

    std::optional<Place> nearest(double latitude, double longitude)
    {
        City* city = nearestCity(latitude, longitude);
        if (city && !city->location && !databaseGone_ && !(city->location = lookUp(*city->entry))) {
            readDatabase();
            city = nearestCity(latitude, longitude);
        }
        if (!city)
            return std::nullopt;
        const double distance = distanceKm(latitude, longitude, city->latitude, city->longitude);
        if (!city->location) {
            // No database to ask: the build's table still knows the town, in English.
            if (!city->entry)
                return std::nullopt;
            return Place { city->entry->englishName, city->entry->englishCountry, distance };
        }
        return Place { localName(city->location.get()), countryName(city->location.get()), distance };
    }

private:
    City* nearestCity(double latitude, double longitude)
    {
        City* best = nullptr;
        double bestDistance = maxPlaceDistanceKm;
        const double band = maxPlaceDistanceKm / kmPerDegreeLatitude;
        auto first = std::lower_bound(cities_.begin(), cities_.end(), latitude - band,
            [](const City& city, double value) { return city.latitude < value; });
        for (auto city = first; city != cities_.end() && city->latitude <= latitude + band; ++city) {
            const double distance = distanceKm(latitude, longitude, city->latitude, city->longitude);
            if (distance <= bestDistance) {
                best = &*city;
                bestDistance = distance;
            }
        }
        return best;
    }

    // The city at the entry's path in the database, if it is still the
    // entry's city.
    LocationRef lookUp(const CityEntry& entry)
    {
        GWeatherLocation* world = openWorld_();
        if (!world)
            return nullptr;
        LocationRef node;
        for (unsigned level = 0; level < entry.depth; ++level) {
            GWeatherLocation* parent = node ? node.get() : world;
            // next_child hands back a new reference and drops the one to the
            // child it is given.
            GWeatherLocation* child = nullptr;
            for (unsigned index = 0; index <= entry.path[level]; ++index) {
                child = gweather_location_next_child(parent, child);
                if (!child)
                    return nullptr;
            }
            node.reset(child);
        }
        const char* name = node ? gweather_location_get_english_name(node.get()) : nullptr;
        if (!name || std::strcmp(name, entry.englishName) != 0 || gweather_location_get_level(node.get()) != GWEATHER_LOCATION_CITY)
            return nullptr;
        return node;
    }

    // When there is no database at all (not installed, or libgweather
    // cannot read it), the table stays and answers alone.
    void readDatabase()
    {
        GWeatherLocation* world = openWorld_();
        if (!world) {
            databaseGone_ = true;
            return;
        }
        cities_.clear();
        collect(world);
        std::sort(cities_.begin(), cities_.end(), [](const City& a, const City& b) { return a.latitude < b.latitude; });
    }

    void collect(GWeatherLocation* parent)
    {
        GWeatherLocation* child = nullptr;
        while ((child = gweather_location_next_child(parent, child))) {
            if (gweather_location_get_level(child) == GWEATHER_LOCATION_CITY) {
                if (gweather_location_has_coords(child)) {
                    double latitude = 0, longitude = 0;
                    gweather_location_get_coords(child, &latitude, &longitude);
                    cities_.push_back({ latitude, longitude, nullptr, LocationRef(GWEATHER_LOCATION(g_object_ref(child))) });
                }
            } else {
                collect(child);
            }
        }
    }

    template<class F>
    std::string inPersonsLanguage(F read)
    {
        locale_t previous = messages_ ? uselocale(messages_) : nullptr;
        std::string text = read();
        if (previous)
            uselocale(previous);
        return text;
    }

    std::string localName(GWeatherLocation* city)
    {
        return inPersonsLanguage([city] {
            const char* name = gweather_location_get_name(city);
            return std::string(name ? name : "");
        });
    }

    std::string countryName(GWeatherLocation* city)
    {
        return inPersonsLanguage([city] {
            char* name = gweather_location_get_country_name(city);
            std::string text = name ? name : "";
            g_free(name);
            return text;
        });
    }

    WorldOpener openWorld_;
    bool databaseGone_ = false;
    std::vector<City> cities_;
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

std::optional<Place> nearestPlaceWithDatabase(WorldOpener openWorld, double latitude, double longitude)
{
    CityIndex index(openWorld);
    return nearestPlaceIn(index, latitude, longitude);
}

} // namespace places
