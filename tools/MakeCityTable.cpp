// Writes the cities of libgweather's world locations database, with their
// positions, their paths in the database's tree and their English names and
// countries' names, as a C++ source
// (places/CityTable.h), sorted by latitude. Run by the build.
// Usage: make-city-table OUTPUT.cpp

#include <libgweather/gweather.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct City {
    double latitude;
    double longitude;
    std::vector<unsigned> path;
    std::string englishName;
    std::string englishCountry;
};

void collect(GWeatherLocation* parent, std::vector<unsigned>& path, const std::string& country, std::vector<City>& cities)
{
    GWeatherLocation* child = nullptr;
    for (unsigned index = 0; (child = gweather_location_next_child(parent, child)); ++index) {
        path.push_back(index);
        if (gweather_location_get_level(child) == GWEATHER_LOCATION_CITY) {
            if (gweather_location_has_coords(child)) {
                City city { 0, 0, path, gweather_location_get_english_name(child), country };
                gweather_location_get_coords(child, &city.latitude, &city.longitude);
                cities.push_back(std::move(city));
            }
        } else if (gweather_location_get_level(child) == GWEATHER_LOCATION_COUNTRY) {
            collect(child, path, gweather_location_get_english_name(child), cities);
        } else {
            collect(child, path, country, cities);
        }
        path.pop_back();
    }
}

// A C++ string literal: printable ASCII as it is, every other byte in octal.
std::string literal(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '?') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", c);
            out += escaped;
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-city-table OUTPUT.cpp\n");
        return 2;
    }
    GWeatherLocation* world = gweather_location_get_world();
    if (!world) {
        std::fprintf(stderr, "make-city-table: libgweather has no world locations database\n");
        return 1;
    }
    std::vector<City> cities;
    std::vector<unsigned> path;
    collect(world, path, "", cities);
    std::stable_sort(cities.begin(), cities.end(), [](const City& a, const City& b) { return a.latitude < b.latitude; });

    const std::string output = argv[1];
    std::ofstream out(output + ".tmp");
    out << "// Made by tools/MakeCityTable.cpp from libgweather's world locations database.\n"
        << "#include \"places/CityTable.h\"\n\nnamespace places {\n\nconst CityEntry cityTable[] = {\n";
    // Every name once, in one block of text the entries point into by offset.
    std::string names;
    std::map<std::string, size_t> offsets;
    auto offsetOf = [&](const std::string& name) {
        auto [it, added] = offsets.emplace(name, names.size());
        if (added)
            names.append(name).push_back('\0');
        return it->second;
    };
    char number[64];
    for (const auto& city : cities) {
        if (city.path.size() > 5) {
            std::fprintf(stderr, "make-city-table: %s lies deeper than 5 levels\n", city.englishName.c_str());
            return 1;
        }
        std::snprintf(number, sizeof number, "%.6f, %.6f", city.latitude, city.longitude);
        out << "    { " << number << ", {";
        for (size_t i = 0; i < city.path.size(); ++i)
            out << (i ? ", " : " ") << city.path[i];
        out << " }, " << city.path.size() << ", " << offsetOf(city.englishName) << ", " << offsetOf(city.englishCountry) << " },\n";
    }
    out << "};\nconst unsigned long cityTableSize = sizeof cityTable / sizeof cityTable[0];\n\n"
        << "const char cityNames[] =\n";
    // One literal per name keeps the lines short; they join into one array.
    for (size_t at = 0; at < names.size();) {
        size_t end = names.find('\0', at);
        out << "    " << literal(names.substr(at, end - at) + '\0') << "\n";
        at = end + 1;
    }
    out << "    ;\n\n} // namespace places\n";
    out.close();
    if (!out || std::rename((output + ".tmp").c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "make-city-table: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
