// The place after the info table: `quorix info` names the town nearest to a
// photo's position, as a "Place" line and a "place" object, and leaves the
// table itself as it was.

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

} // namespace
