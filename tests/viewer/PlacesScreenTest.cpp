// The Places screen on its own, with a delegate that records what it is
// asked: a person taps clusters on the map as a finger would, through each
// cluster's tap recognizer, and only a single photo reaches the delegate.

#include "viewer/places/WPlacesViewController.h"

#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Keeps every photo the Places screen asks it to open.
class RecordingPlacesDelegate : public NSObject {
    QX_OBJECT(RecordingPlacesDelegate, NSObject)
public:
    void placesViewControllerDidSelectPhotoAtIndex(WPlacesViewController* places, NSInteger index)
    {
        asked.emplace_back(places, index);
    }

    std::vector<std::pair<WPlacesViewController*, NSInteger>> asked;

protected:
    RecordingPlacesDelegate() = default;
};

} // namespace

QX_DEFINE_CLASS(RecordingPlacesDelegate)
{
    b.method<&RecordingPlacesDelegate::placesViewControllerDidSelectPhotoAtIndex>("placesViewController:didSelectPhotoAtIndex:");
}

namespace {

// Taps the cluster that shows `photo` as a person would; false when no
// cluster on the map shows it.
bool tapClusterShowing(WPlacesMapView* map, size_t photo)
{
    for (const auto& subview : map->subviews()) {
        auto* cluster = objc_cast<WPlaceClusterView>(subview.get());
        if (!cluster || size_t(cluster->entry()) >= map->clusters().size())
            continue;
        if (map->clusters()[size_t(cluster->entry())].representative != photo)
            continue;
        for (const auto& recognizer : cluster->gestureRecognizers())
            recognizer->recognizeTap();
        return true;
    }
    return false;
}

TEST(PlacesScreen, AsksItsDelegateToOpenTheSinglePhotoTappedAndZoomsIntoAGroup)
{
    AutoreleasePool pool;
    // Photo 0 alone far away; photos 1 to 3 a street apart in one town.
    auto clusters = std::make_shared<const places::PlaceClusters>(std::vector<places::PlacedPhoto> {
        { 0, { -22.95, -43.16 } }, { 1, { 59.910, 10.750 } }, { 2, { 59.911, 10.751 } }, { 3, { 59.912, 10.752 } } });
    auto screen = objc::create<WPlacesViewController>("init");
    screen->initWithClustersNames(clusters, { "rio.jpg", "a.jpg", "b.jpg", "c.jpg" });
    auto delegate = make_object<RecordingPlacesDelegate>();
    screen->setDelegate(delegate.get());
    screen->view()->setFrame(CGRectMake(0, 0, 320, 480));
    objc::send(screen, "viewDidLayoutSubviews");
    WPlacesMapView* map = screen->map();
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->clusters().size(), 2u) << "one cluster per town";

    // The lone photo: the delegate is asked to open it, and told who asks.
    ASSERT_TRUE(tapClusterShowing(map, 0));
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked[0].first, screen.get());
    EXPECT_EQ(delegate->asked[0].second, 0);

    // Without a delegate a tap asks nobody and harms nothing.
    screen->setDelegate(nullptr);
    EXPECT_TRUE(tapClusterShowing(map, 0));
    screen->setDelegate(delegate.get());

    // The town's cluster zooms in to its photos instead of opening one.
    const int zoom = map->region()->zoom;
    const auto town = std::find_if(map->clusters().begin(), map->clusters().end(), [](const auto& c) { return c.count == 3; });
    ASSERT_NE(town, map->clusters().end());
    ASSERT_TRUE(tapClusterShowing(map, town->representative));
    EXPECT_GT(map->region()->zoom, zoom);
    EXPECT_EQ(delegate->asked.size(), 1u);
}

} // namespace
