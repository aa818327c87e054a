// The nearest town for a position, from the world locations database that
// Debian's libgweather ships. Names are English here, whatever language the
// environment running the tests asks for, and asked for, so that the
// database is opened to translate them (the database is read, and its
// language chosen, at the first lookup).

#include "places/GWeatherLibrary.h"
#include "places/NearestPlace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

class EnglishNames : public testing::Environment {
public:
    void SetUp() override
    {
        ::setenv("LANGUAGE", "en", 1);
        ::setenv("LC_ALL", "C.UTF-8", 1);
    }
};
const auto* const englishNames = testing::AddGlobalTestEnvironment(new EnglishNames);

struct Expected {
    double latitude;
    double longitude;
    const char* name; // nullptr: no place
    const char* country;
    double distanceKm;
};

// The place a lookup at the row's position gave, checked against the row.
void expectPlace(const Expected& row, const std::optional<places::Place>& place)
{
    SCOPED_TRACE(std::to_string(row.latitude) + ", " + std::to_string(row.longitude));
    if (!row.name) {
        EXPECT_FALSE(place) << place->name << " at " << place->distanceKm << " km";
        return;
    }
    ASSERT_TRUE(place);
    EXPECT_EQ(place->name, row.name);
    EXPECT_EQ(place->country, row.country);
    EXPECT_NEAR(place->distanceKm, row.distanceKm, 0.1);
}

TEST(NearestPlace, NamesTheTownWithinFiftyKilometresAndNothingFartherNorAtSea)
{
    const Expected rows[] = {
        { 59.9075, 10.744583, "Oslo", "Norway", 1.1 }, // the dense sample
        { -22.948658, -43.157444, "Rio de Janeiro", "Brazil", 9.5 }, // the sample
        { 48.1, 11.6, "Munich", "Germany", 5.7 },
        { -33.85, -70.5, "Santiago", "Chile", 47.0 }, // just within reach
        { -33.90, -70.5, nullptr, nullptr, 0 }, // Santiago is 52 km away
        { -23.2, -43.0, nullptr, nullptr, 0 }, // the Atlantic 41 km off Rio de Janeiro
        { 59.88, 10.70, "Oslo", "Norway", 4.9 }, // on the fjord, in front of the town
        { 35.0, -40.0, nullptr, nullptr, 0 }, // the middle of the Atlantic
        { 23.0, 12.0, nullptr, nullptr, 0 }, // the Sahara, 300 km from a town
        { -60.0, -120.0, nullptr, nullptr, 0 }, // the Southern Ocean
        { -90.0, 0.0, "Amundsen-Scott South Pole Station", "Antarctica", 0 }, // the database has it
    };
    for (const auto& row : rows)
        expectPlace(row, places::nearestPlace(row.latitude, row.longitude));
}

TEST(NearestPlace, GivesNothingForAPositionThatIsNotOne)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (auto [latitude, longitude] : std::vector<std::pair<double, double>> {
             { nan, 10 }, { 59.9, nan }, { infinity, 0 }, { 90.5, 10.7 }, { -91, 0 }, { 59.9, 180.5 }, { 59.9, -200 } }) {
        EXPECT_FALSE(places::nearestPlace(latitude, longitude)) << latitude << ", " << longitude;
    }
}

TEST(NearestPlace, AnswersManyThreadsAtOnce)
{
    // The viewer's server asks from its threads; the first questions may
    // arrive while the database is still being read.
    std::vector<std::future<std::optional<places::Place>>> answers;
    for (int i = 0; i < 8; ++i)
        answers.push_back(std::async(std::launch::async, [] { return places::nearestPlace(59.9075, 10.744583); }));
    for (auto& answer : answers) {
        auto place = answer.get();
        ASSERT_TRUE(place);
        EXPECT_EQ(place->name, "Oslo");
    }
}

TEST(GWeatherLibrary, GivesTheLoadersReasonWhenTheLibraryIsNotThere)
{
    std::string error;
    EXPECT_FALSE(places::GWeatherLibrary::open("libquorix-no-such-library.so.0", error));
    EXPECT_NE(error.find("libquorix-no-such-library.so.0: cannot open shared object file"), std::string::npos) << error;
}

// libgweather that cannot be loaded.
const places::GWeatherLibrary* noLibrary() { return nullptr; }

// libgweather that no lookup should open.
const places::GWeatherLibrary* unwantedLibrary()
{
    ADD_FAILURE() << "libgweather opened";
    return nullptr;
}

// libgweather loaded, with no world locations database to read.
const places::GWeatherLibrary* libraryWithoutDatabase()
{
    static const places::GWeatherLibrary library = [] {
        places::GWeatherLibrary withoutWorld = *places::gweather();
        withoutWorld.getWorld = []() -> GWeatherLocation* { return nullptr; };
        return withoutWorld;
    }();
    return &library;
}

// libgweather whose database is not the one the build's table was made
// from: no path leads to the town the table expects there, and its names are
// its own.
const places::GWeatherLibrary* libraryWithAnotherDatabase()
{
    static const places::GWeatherLibrary library = [] {
        places::GWeatherLibrary other = *places::gweather();
        other.getEnglishName = [](GWeatherLocation*) -> const char* { return "Elsewhere"; };
        other.getName = [](GWeatherLocation* location) -> const char* {
            static thread_local std::string name;
            name = std::string(places::gweather()->getName(location)) + " (from the database)";
            return name.c_str();
        };
        return other;
    }();
    return &library;
}

TEST(NearestPlace, ADatabaseChangedSinceTheBuildIsReadWholeAndNamesTheTown)
{
    const Expected oslo { 59.9075, 10.744583, "Oslo (from the database)", "Norway", 1.1 };
    expectPlace(oslo, places::nearestPlaceWith(libraryWithAnotherDatabase, oslo.latitude, oslo.longitude));
}

TEST(NearestPlace, WithoutADatabaseTheBuildsTableStillNamesTheTownInEnglish)
{
    const Expected rows[] = {
        { 59.9075, 10.744583, "Oslo", "Norway", 1.1 },
        { -22.948658, -43.157444, "Rio de Janeiro", "Brazil", 9.5 },
        { 48.1, 11.6, "Munich", "Germany", 5.7 },
        { -90.0, 0.0, "Amundsen-Scott South Pole Station", "Antarctica", 0 },
        { -33.90, -70.5, nullptr, nullptr, 0 }, // Santiago is 52 km away
        { -23.2, -43.0, nullptr, nullptr, 0 }, // at sea off Rio de Janeiro
    };
    for (auto openLibrary : { noLibrary, libraryWithoutDatabase }) {
        for (const auto& row : rows)
            expectPlace(row, places::nearestPlaceWith(openLibrary, row.latitude, row.longitude));
    }
}

TEST(NearestPlace, WithoutALanguageAskedForTheBuildsTableNamesTheTownWithoutTheDatabase)
{
    const Expected oslo { 59.9075, 10.744583, "Oslo", "Norway", 1.1 };
    ::setenv("LANGUAGE", "", 1);
    auto place = places::nearestPlaceWith(unwantedLibrary, oslo.latitude, oslo.longitude);
    ::setenv("LANGUAGE", "en", 1);
    expectPlace(oslo, place);
}

} // namespace
