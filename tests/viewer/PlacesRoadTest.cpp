// The album's Places map as a person walks it in script mode: the album,
// Places, a cluster, a photo in it, and back to the map where it was. At
// every step the clusters listed add up to the photos whose positions lie
// in the region the map says it shows, counted here from the positions
// written into the files.

#include "viewer/ViewerSession.h"

#include <cmath>
#include <cstdio>

using namespace viewer_testing;

namespace {

struct Placed {
    std::string name;
    double latitude, longitude;
};

// Signed degrees as the file keeps them: a hemisphere and degrees, minutes
// and seconds in rationals.
fixtures::ExifEdits positionEdits(double latitude, double longitude)
{
    auto dms = [](double degrees) {
        degrees = std::fabs(degrees);
        const int whole = int(degrees);
        const double minutes = (degrees - whole) * 60;
        const auto seconds = long(std::llround((minutes - int(minutes)) * 60 * 10000));
        return std::to_string(whole) + "/1 " + std::to_string(int(minutes)) + "/1 " + std::to_string(seconds) + "/10000";
    };
    return { { "Exif.GPSInfo.GPSLatitudeRef", latitude < 0 ? "S" : "N" }, { "Exif.GPSInfo.GPSLatitude", dms(latitude) },
        { "Exif.GPSInfo.GPSLongitudeRef", longitude < 0 ? "W" : "E" }, { "Exif.GPSInfo.GPSLongitude", dms(longitude) } };
}

// Two towns of photos a street or two apart, a photo with no position and a
// file that only looks like a photo.
struct Album {
    fixtures::TempDir folder;
    std::vector<Placed> placed;

    Album()
    {
        char name[32];
        for (int i = 0; i < 24; ++i) {
            const bool oslo = i % 3 != 0;
            const double latitude = oslo ? 59.91 + 0.003 * (i % 5) : -22.95 - 0.002 * (i % 4);
            const double longitude = oslo ? 10.75 + 0.004 * (i % 7) : -43.16 + 0.003 * (i % 6);
            std::snprintf(name, sizeof name, "p%02d.jpg", i);
            fixtures::writeJpeg(folder.path(), name, 16, 12, positionEdits(latitude, longitude));
            placed.push_back({ name, latitude, longitude });
        }
        fixtures::writeJpeg(folder.path(), "nowhere.jpg", 16, 12);
        fixtures::writeFile(folder.path(), "notes.jpg", "Exif.GPSInfo.GPSLatitude 59 54 27\n");
    }

    // Every photo of the album, as the viewer is given them.
    std::vector<std::string> arguments() const { return { folder.path() }; }
};

const json& placesMap(const json& show)
{
    const json* map = findElement(layers(show).at(0), "places");
    if (!map)
        throw std::runtime_error("no Places map on screen: " + show.dump());
    return *map;
}

std::vector<json> clustersOf(const json& show)
{
    std::vector<json> clusters;
    for (const auto& child : placesMap(show).at("children"))
        if (child.at("role") == "cluster")
            clusters.push_back(child);
    return clusters;
}

// The clusters' counts add up to the photos inside the region the map shows.
void expectEveryPhotoInTheRegionCounted(const Album& album, const json& show)
{
    const json& state = placesMap(show).at("state");
    size_t inside = 0;
    for (const auto& photo : album.placed) {
        inside += photo.latitude >= state.at("south") && photo.latitude <= state.at("north") && photo.longitude >= state.at("west")
            && photo.longitude <= state.at("east");
    }
    size_t counted = 0;
    for (const auto& cluster : clustersOf(show))
        counted += cluster.at("state").at("count").get<size_t>();
    EXPECT_EQ(counted, inside) << "at zoom " << state.at("zoom");
    EXPECT_EQ(state.at("total"), album.placed.size());
}

// The entry listed with the most photos, or the first single photo.
size_t biggestCluster(const json& show)
{
    const auto clusters = clustersOf(show);
    size_t best = 0;
    for (size_t i = 0; i < clusters.size(); ++i)
        if (clusters[i].at("state").at("count") > clusters[best].at("state").at("count"))
            best = i;
    return best;
}

size_t firstSinglePhoto(const json& show)
{
    const auto clusters = clustersOf(show);
    for (size_t i = 0; i < clusters.size(); ++i)
        if (clusters[i].at("state").at("count") == 1)
            return i;
    throw std::runtime_error("no single photo on the map: " + show.dump());
}

} // namespace

TEST(PlacesRoad, AlbumToPlacesToAClusterToAPhotoAndBackToTheMapWhereItWas)
{
    const Album album;
    const std::vector<std::string> start { "tap Photos", "tap Places", "show" };

    // Where the clusters lie decides what a person taps: look first.
    Session looking = runScript(album.arguments(), start);
    ASSERT_EQ(looking.status, 0) << looking.err;
    expectEveryAnswerOk(looking);
    const json& world = looking.answers.at(2);
    ASSERT_EQ(clustersOf(world).size(), 2u) << "two towns, two clusters";
    expectEveryPhotoInTheRegionCounted(album, world);
    const size_t town = biggestCluster(world);
    EXPECT_EQ(clustersOf(world)[town].at("state").at("count"), 16);
    EXPECT_EQ(clustersOf(world)[town].at("label"), "16 photos");

    auto commands = start;
    commands.insert(commands.end(), { "place " + std::to_string(town), "show" });
    Session closer = runScript(album.arguments(), commands);
    ASSERT_EQ(closer.status, 0) << closer.err;
    const size_t single = firstSinglePhoto(closer.answers.at(4));

    commands.insert(commands.end(), { "place " + std::to_string(single), "show", "tap Photos", "show", "zoom-in", "show", "pan -120 80",
                                        "show", "zoom-out", "zoom-out", "show", "back", "show" });
    Session road = runScript(album.arguments(), commands);
    ASSERT_EQ(road.status, 0) << road.err;
    expectEveryAnswerOk(road);
    const auto& a = road.answers;
    ASSERT_EQ(a.size(), commands.size());

    // The tap on the town zoomed in to it.
    const json& inTown = a[4];
    EXPECT_GT(placesMap(inTown).at("state").at("zoom"), placesMap(world).at("state").at("zoom"));
    expectEveryPhotoInTheRegionCounted(album, inTown);

    // The tap on a single photo opened the viewer on that photo.
    const std::string photo = clustersOf(inTown)[single].at("label");
    EXPECT_NE(tile(a[6], photo), nullptr) << "the viewer does not show " << photo;
    EXPECT_EQ(findElement(layers(a[6]).at(0), "places"), nullptr);

    // Closing the viewer comes back to the map as it was.
    EXPECT_EQ(placesMap(a[8]).at("state"), placesMap(inTown).at("state"));
    EXPECT_EQ(clustersOf(a[8]), clustersOf(inTown));

    // Zooming and panning: every photo in the region is counted once.
    for (size_t shown : { 10u, 12u, 15u })
        expectEveryPhotoInTheRegionCounted(album, a[shown]);
    EXPECT_EQ(placesMap(a[10]).at("state").at("zoom"), placesMap(inTown).at("state").at("zoom").get<int>() + 1);
    EXPECT_EQ(placesMap(a[15]).at("state").at("zoom"), placesMap(inTown).at("state").at("zoom").get<int>() - 1);

    // Back leaves Places for the album's grid.
    EXPECT_NE(findElement(layers(a[17]).at(0), "grid"), nullptr);
}

TEST(PlacesRoad, CommandsThatCannotBeDoneSayWhy)
{
    const Album album;
    Session session = runScript(album.arguments(),
        { "zoom-in", "tap Photos", "place 0", "places", "place 99", "pan 10", "pan ten 20", "place -1", "show" });
    ASSERT_EQ(session.status, 0) << session.err;
    const auto& a = session.answers;
    ASSERT_EQ(a.size(), 9u);
    EXPECT_EQ(a[0].at("error"), "the Places map is not on screen; 'places' opens it");
    EXPECT_EQ(a[2].at("error"), "the Places map is not on screen; 'places' opens it");
    EXPECT_EQ(a[3].at("ok"), true);
    EXPECT_EQ(a[4].at("error"), "no place 99: the map lists 2");
    EXPECT_EQ(a[5].at("error"), "not two distances in points: '10'");
    EXPECT_EQ(a[6].at("error"), "not two distances in points: 'ten 20'");
    EXPECT_EQ(a[7].at("error"), "no place -1: the map lists 2");
    expectEveryPhotoInTheRegionCounted(album, a[8]);
}
