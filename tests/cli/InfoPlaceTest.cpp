// The place after the info table: `quorix info` names the town nearest to a
// photo's position, as a "Place" line and a "place" object, and leaves the
// table itself as it was.

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <gnu/libc-version.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fixtures::TempDir;
using json = nlohmann::ordered_json;
using Environment = std::map<std::string, std::string>;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";

const Environment kEnglish { { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" } };

Environment with(Environment environment, const Environment& more)
{
    for (const auto& [name, value] : more)
        environment[name] = value;
    return environment;
}

// A photo taken where the degrees, minutes and seconds say.
std::string writePhotoAt(const TempDir& dir, const std::string& name, const std::string& latitudeRef,
    const std::string& latitude, const std::string& longitudeRef, const std::string& longitude)
{
    return fixtures::writeJpeg(dir.path(), name, 32, 24,
        {
            { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" },
            { "Exif.GPSInfo.GPSLatitudeRef", latitudeRef },
            { "Exif.GPSInfo.GPSLatitude", latitude },
            { "Exif.GPSInfo.GPSLongitudeRef", longitudeRef },
            { "Exif.GPSInfo.GPSLongitude", longitude },
        });
}

std::string writePhotoInOslo(const TempDir& dir) { return writePhotoAt(dir, "oslo.jpg", "N", "59/1 54/1 27/1", "E", "10/1 44/1 41/1"); }

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> all;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        all.push_back(line);
    return all;
}

testing_support::ChildResult info(const std::vector<std::string>& arguments, const Environment& environment = kEnglish)
{
    std::vector<std::string> all { "info" };
    all.insert(all.end(), arguments.begin(), arguments.end());
    return testing_support::runProgram(kQuorix, all, environment);
}

TEST(InfoPlace, NamesTheTownAfterTheTableWhichKeepsItsRows)
{
    TempDir dir;
    const auto photo = writePhotoInOslo(dir);

    auto named = info({ photo });
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.err, "");
    auto shown = lines(named.out);
    ASSERT_GE(shown.size(), 3U);
    EXPECT_EQ(shown[shown.size() - 2].substr(0, 5), "Stamp");
    EXPECT_EQ(shown.back().substr(0, 5), "Place");
    EXPECT_EQ(shown.back().substr(shown.back().find_first_not_of(' ', 5)), "Oslo, Norway (1.1 km)");

    auto printed = info({ "--json", photo });
    ASSERT_EQ(printed.status, 0) << printed.err;
    auto object = json::parse(printed.out);
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string> { "path", "sections", "location", "place", "stamp" }));
    EXPECT_EQ(object["place"], json::parse(R"({"name": "Oslo", "country": "Norway", "distance_km": 1.1})"));

    // The table keeps its rows: the place is no row of it, and the text is
    // the table, the stamp and then the place.
    size_t rows = 0;
    for (const auto& section : object["sections"]) {
        for (const auto& row : section["rows"]) {
            EXPECT_NE(row["label"], "Place");
            ++rows;
        }
    }
    const size_t title = 1, stamp = 1, place = 1;
    EXPECT_EQ(shown.size(), title + object["sections"].size() + rows + stamp + place);
}

TEST(InfoPlace, NamesNoTownAtSeaOrForAPhotoWithoutAPosition)
{
    TempDir dir;
    const std::vector<std::string> photos {
        writePhotoAt(dir, "atlantic.jpg", "N", "35/1 0/1 0/1", "W", "40/1 0/1 0/1"),
        writePhotoAt(dir, "pacific.jpg", "S", "30/1 0/1 0/1", "W", "120/1 0/1 0/1"),
        writePhotoAt(dir, "off-rio.jpg", "S", "23/1 12/1 0/1", "W", "43/1 0/1 0/1"), // 41 km from the town, at sea
        fixtures::writeJpeg(dir.path(), "nowhere.jpg", 32, 24, { { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" } }),
    };
    for (const auto& photo : photos) {
        SCOPED_TRACE(photo);
        auto text = info({ photo });
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(text.out.find("Place"), std::string::npos) << text.out;
        auto object = json::parse(info({ "--json", photo }).out);
        EXPECT_TRUE(object.contains("place"));
        EXPECT_TRUE(object["place"].is_null());
    }
}

TEST(InfoPlace, NamesTheTownInThePersonsLanguageWhereTheDatabaseHasIt)
{
    TempDir dir;
    const auto photo = writePhotoInOslo(dir);
    struct Row {
        Environment language;
        const char* label;
        const char* text;
    };
    const Row rows[] = {
        { { { "LC_ALL", "de_DE.UTF-8" }, { "LANG", "de_DE.UTF-8" } }, "Aufnahmeort", "Oslo, Norwegen (1.1 km)" },
        { { { "LANGUAGE", "ja" } }, "撮影地", "オスロ, ノルウェー (1.1 km)" },
        { { { "LANGUAGE", "zh_CN" } }, "拍摄地点", "奥斯陆, 挪威 (1.1 km)" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto result = info({ photo }, with(kEnglish, row.language));
        ASSERT_EQ(result.status, 0) << result.err;
        // The label and the name, apart by the column's padding.
        const std::string last = lines(result.out).back();
        const size_t gap = last.find("  ");
        ASSERT_NE(gap, std::string::npos) << last;
        EXPECT_EQ(last.substr(0, gap), row.label);
        EXPECT_EQ(last.substr(last.find_first_not_of(' ', gap)), row.text);
    }
}

// The dynamic loader's own log (LD_DEBUG=files) names every shared object a
// run loads, whoever asked for it.
bool loadedPlaceDatabase(const testing_support::ChildResult& result)
{
    return result.err.find("file=libgweather-4.so.0") != std::string::npos;
}

TEST(InfoPlace, LoadsThePlaceDatabaseOnlyForAPhotoWithAPositionNearATown)
{
    TempDir dir;
    const auto oslo = writePhotoInOslo(dir);
    const auto nowhere = fixtures::writeJpeg(dir.path(), "nowhere.jpg", 32, 24, { { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" } });
    const auto atSea = writePhotoAt(dir, "atlantic.jpg", "N", "35/1 0/1 0/1", "W", "40/1 0/1 0/1");
    const auto farFromTowns = writePhotoAt(dir, "sahara.jpg", "N", "23/1 0/1 0/1", "E", "12/1 0/1 0/1");
    const Environment logged = with(kEnglish, { { "LD_DEBUG", "files" } });

    for (const auto& photo : { nowhere, atSea, farFromTowns }) {
        SCOPED_TRACE(photo);
        auto plain = info({ "-j", "1", photo }, logged);
        ASSERT_EQ(plain.status, 0) << plain.err;
        ASSERT_NE(plain.err.find("file="), std::string::npos) << "no loader log: " << plain.err;
        EXPECT_FALSE(loadedPlaceDatabase(plain));
    }
    auto version = testing_support::runProgram(kQuorix, { "--version" }, logged);
    ASSERT_EQ(version.status, 0) << version.err;
    EXPECT_FALSE(loadedPlaceDatabase(version));

    // Where no language is asked for, the build's table has the database's
    // own names; a language asked for (even English) opens the database to
    // translate them.
    auto untranslated = info({ "-j", "1", oslo }, logged);
    ASSERT_EQ(untranslated.status, 0) << untranslated.err;
    EXPECT_FALSE(loadedPlaceDatabase(untranslated));
    EXPECT_EQ(lines(untranslated.out).back().substr(lines(untranslated.out).back().find_first_not_of(' ', 5)), "Oslo, Norway (1.1 km)");
    auto placed = info({ "-j", "1", oslo }, with(logged, { { "LANGUAGE", "en" } }));
    ASSERT_EQ(placed.status, 0) << placed.err;
    EXPECT_TRUE(loadedPlaceDatabase(placed));
    EXPECT_EQ(lines(placed.out).back(), lines(untranslated.out).back());
}

TEST(InfoPlace, WithoutAUsablePlaceDatabaseSaysSoOnceAndNamesPlacesFromTheBuildsTable)
{
    TempDir dir;
    const auto oslo = writePhotoInOslo(dir);
    const auto rio = writePhotoAt(dir, "rio.jpg", "S", "22/1 56/1 55/1", "W", "43/1 9/1 27/1");
    // A file by the database library's name that is another library (the C
    // library, which every run has loaded): it loads, but has none of the
    // functions the lookup calls.
    Dl_info libc {};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&::gnu_get_libc_version), &libc), 0);
    const std::string libraries = dir.path() + "/libraries";
    std::filesystem::create_directory(libraries);
    std::filesystem::create_symlink(libc.dli_fname, libraries + "/libgweather-4.so.0");
    const Environment broken = with(kEnglish, { { "LANGUAGE", "en" }, { "LD_LIBRARY_PATH", libraries } });

    auto text = info({ "-j", "1", oslo, rio }, broken);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "quorix: places are named in English only: libgweather-4.so.0: no function gweather_location_get_world\n");
    // In English the table the build made of the database names the same
    // places as the database.
    auto named = info({ "-j", "1", oslo, rio });
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(text.out, named.out);
    EXPECT_NE(text.out.find("Oslo, Norway"), std::string::npos) << text.out;

    auto printed = info({ "-j", "1", "--json", oslo }, broken);
    ASSERT_EQ(printed.status, 0) << printed.err;
    EXPECT_EQ(json::parse(printed.out)["place"], json::parse(info({ "-j", "1", "--json", oslo }).out)["place"]);
}

} // namespace
