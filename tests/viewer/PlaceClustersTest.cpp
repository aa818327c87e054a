// The Places map's clusters: along a road of zooms and pans over photos
// spread across towns, every photo in the region on screen is in exactly
// one cluster, and none outside it is.

#include "viewer/places/PlaceClusters.h"

#include <gtest/gtest.h>

#include <random>

using namespace places;

namespace {

// Three towns of photos, each scattered within a few streets, and a few
// strays across the globe, some at the same spot.
std::vector<PlacedPhoto> scatteredPhotos()
{
    std::mt19937 random(38);
    std::vector<PlacedPhoto> photos;
    const Position towns[] = { { 59.91, 10.75 }, { -22.95, -43.16 }, { 35.68, 139.76 } };
    for (size_t i = 0; i < 3000; ++i) {
        const Position& town = towns[i % 3];
        std::normal_distribution<double> street(0, 0.02);
        photos.push_back({ i, { town.latitude + street(random), town.longitude + street(random) } });
    }
    std::uniform_real_distribution<double> latitude(-89, 89), longitude(-180, 180);
    for (size_t i = 3000; i < 3100; ++i)
        photos.push_back({ i, { latitude(random), longitude(random) } });
    for (size_t i = 3100; i < 3110; ++i)
        photos.push_back({ i, { 48.8584, 2.2945 } });
    return photos;
}

// The photos inside the region, counted one by one.
size_t countInside(const std::vector<PlacedPhoto>& photos, const Region& region)
{
    const Box box = boxOf(region);
    size_t count = 0;
    for (const auto& photo : photos)
        count += box.contains(photo.position) ? 1 : 0;
    return count;
}

void expectEveryPhotoOnce(const PlaceClusters& clusters, const std::vector<PlacedPhoto>& photos, const Region& region)
{
    size_t total = 0;
    for (const auto& cluster : clusters.clustersIn(region)) {
        EXPECT_GE(cluster.count, 1u);
        EXPECT_TRUE(cluster.span.contains(cluster.position));
        total += cluster.count;
    }
    EXPECT_EQ(total, countInside(photos, region)) << "zoom " << region.zoom << " at " << region.centre.latitude << ", "
                                                  << region.centre.longitude;
}

} // namespace

TEST(PlaceClusters, EveryPhotoInTheRegionIsInExactlyOneClusterAtEveryZoom)
{
    const auto photos = scatteredPhotos();
    const PlaceClusters clusters(photos);
    auto region = clusters.regionShowingAll(320, 436);
    ASSERT_TRUE(region);
    EXPECT_EQ(countInside(photos, *region), photos.size());

    // Into each town and back out, panning on the way, at every zoom.
    for (const Position town : { Position { 59.91, 10.75 }, Position { -22.95, -43.16 }, Position { 48.8584, 2.2945 } }) {
        Region road { town, minimumZoom, 320, 436 };
        for (int zoom = minimumZoom; zoom <= maximumZoom; ++zoom) {
            road.zoom = zoom;
            expectEveryPhotoOnce(clusters, photos, road);
            Region panned = road;
            panned.centre = { latitudeAt(worldY(town.latitude) + 100 / std::ldexp(1.0, zoom)),
                longitudeAt(worldX(town.longitude) - 150 / std::ldexp(1.0, zoom)) };
            expectEveryPhotoOnce(clusters, photos, panned);
        }
    }
}

TEST(PlaceClusters, ATapZoomsUntilTheClusterSplitsAndPhotosAtOneSpotStayTogether)
{
    const auto photos = scatteredPhotos();
    const PlaceClusters clusters(photos);
    Region region = *clusters.regionShowingAll(320, 436);
    // At the world's scale the three towns are clusters of about a thousand each.
    auto shown = clusters.clustersIn(region);
    const auto biggest = *std::max_element(shown.begin(), shown.end(), [](auto& a, auto& b) { return a.count < b.count; });
    ASSERT_GT(biggest.count, 900u);

    // Tapping the cluster that holds the first photo comes closer every time
    // until the photo stands alone, never losing a photo on the way.
    for (int taps = 0;; ++taps) {
        ASSERT_LT(taps, maximumZoom) << "the cluster never split";
        shown = clusters.clustersIn(region);
        auto first = std::find_if(shown.begin(), shown.end(), [](const Cluster& c) { return c.representative == 0; });
        ASSERT_NE(first, shown.end());
        if (first->count == 1)
            break;
        const Region next = PlaceClusters::regionShowing(*first, region);
        EXPECT_GT(next.zoom, region.zoom);
        EXPECT_GE(countInside(photos, next), first->count) << "the zoomed region must hold the cluster's photos";
        region = next;
        expectEveryPhotoOnce(clusters, photos, region);
    }

    // Ten photos taken at one spot stay one cluster even at the closest zoom.
    const Region spot { { 48.8584, 2.2945 }, maximumZoom, 320, 436 };
    shown = clusters.clustersIn(spot);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].count, 10u);
    EXPECT_EQ(shown[0].representative, 3100u);
}
