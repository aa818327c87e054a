#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "mapkit/MKMapView.h"
#include "mapkit/MKPinAnnotationView.h"
#include "mapkit/MKPointAnnotation.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <cmath>

// A delegate that answers as the map screen does: a pin from the reuse queue
// under "Identifier", else a new red one that drops. It counts what it did.
class PinMapDelegate : public NSObject {
    QX_OBJECT(PinMapDelegate, NSObject)
public:
    Ref<MKAnnotationView> mapViewViewForAnnotation(MKMapView* map, id annotation)
    {
        ++asked;
        if (alsoAdd) {
            // Changes the map while it walks its annotations.
            auto extra = std::exchange(alsoAdd, nullptr);
            map->addAnnotation(extra);
        }
        auto identifier = "Identifier"_ns;
        if (auto reused = map->dequeueReusableAnnotationViewWithIdentifier(identifier))
            return reused;
        ++created;
        auto pin = objc::create<MKPinAnnotationView>("initWithAnnotation:reuseIdentifier:", annotation, identifier);
        objc::send(pin, "setPinColor:", NSUInteger(MKPinAnnotationColorRed));
        objc::send(pin, "setAnimatesDrop:", true);
        return pin;
    }

    int asked = 0;
    int created = 0;
    Ref<NSObject> alsoAdd;

protected:
    PinMapDelegate() = default;
};

QX_DEFINE_CLASS(PinMapDelegate) { b.method<&PinMapDelegate::mapViewViewForAnnotation>("mapView:viewForAnnotation:"); }

namespace {

constexpr CLLocationCoordinate2D tower { 48.8583, 2.2945 };

Ref<MKMapView> makeMap()
{
    return objc::create<MKMapView>("initWithFrame:", CGRectMake(0, 0, 400, 400));
}

Ref<MKPointAnnotation> pointAt(CLLocationCoordinate2D coordinate)
{
    auto point = MKPointAnnotation::annotation();
    objc::send(point, "setCoordinate:", coordinate);
    return point;
}

void showAround(MKMapView* map, CLLocationCoordinate2D center)
{
    objc::send(map, "setRegion:animated:", MKCoordinateRegionMake(center, MKCoordinateSpanMake(0.005, 0.005)), false);
}

TEST(MapView, AsksItsDelegateForPinsThroughMessagesAndReusesQueuedOnes)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto delegate = make_object<PinMapDelegate>();
    objc::send(map, "setDelegate:", delegate.get());
    showAround(map, tower);

    auto first = pointAt(tower);
    objc::send(map, "addAnnotation:", first.get());
    ASSERT_EQ(delegate->asked, 1);
    auto* pin = objc_cast<MKPinAnnotationView>(objc::send<MKAnnotationView*>(map, "viewForAnnotation:", first.get()));
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->superview(), map.get());
    EXPECT_EQ(pin->annotation(), first.get());
    EXPECT_TRUE(pin->hasDropped());

    objc::send(map, "removeAnnotation:", first.get());
    EXPECT_EQ(pin->superview(), nullptr);
    EXPECT_EQ(pin->annotation(), nullptr);
    EXPECT_EQ(objc::send<NSArray*>(map, "annotations")->count(), 0u);

    // The pin comes back from the queue for the next annotation, set up
    // for it by the map although the delegate hands it back unchanged.
    auto second = pointAt({ tower.latitude + 0.001, tower.longitude });
    objc::send(map, "addAnnotation:", second.get());
    EXPECT_EQ(delegate->asked, 2);
    EXPECT_EQ(delegate->created, 1);
    EXPECT_EQ(map->viewForAnnotation(second), pin);
    EXPECT_EQ(pin->annotation(), second.get());
    EXPECT_EQ(pin->superview(), map.get());
    EXPECT_TRUE(pin->hasDropped());
    EXPECT_EQ(map->subviews().size(), 1u);
}

TEST(MapView, WithoutAnAnsweringDelegateShowsARedPinThatDoesNotDrop)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto first = pointAt(tower);
    {
        // A delegate that has gone is not asked.
        auto delegate = make_object<PinMapDelegate>();
        map->setDelegate(delegate);
    }
    map->addAnnotation(first);
    auto plain = make_object<MKPointAnnotation>();
    map->setDelegate(plain); // answers no `mapView:viewForAnnotation:`
    auto second = pointAt(tower);
    map->addAnnotation(second);

    for (MKPointAnnotation* point : { first.get(), second.get() }) {
        auto* pin = objc_cast<MKPinAnnotationView>(map->viewForAnnotation(point));
        ASSERT_NE(pin, nullptr);
        EXPECT_EQ(pin->pinColor(), MKPinAnnotationColorRed);
        EXPECT_FALSE(pin->animatesDrop());
        EXPECT_FALSE(pin->hasDropped());
    }
}

TEST(MapView, HoldsAnAnnotationAddedTwiceOnce)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto delegate = make_object<PinMapDelegate>();
    map->setDelegate(delegate);
    auto point = pointAt(tower);

    map->addAnnotation(point);
    map->addAnnotation(point);
    EXPECT_EQ(map->annotations()->count(), 1u);
    EXPECT_EQ(map->subviews().size(), 1u);
    EXPECT_EQ(delegate->asked, 1);

    auto other = pointAt(tower);
    map->addAnnotation(other);
    EXPECT_EQ(map->annotations()->count(), 2u);
    EXPECT_EQ(map->subviews().size(), 2u);
    EXPECT_NE(map->viewForAnnotation(point), map->viewForAnnotation(other));
}

TEST(MapView, SurvivesADelegateThatAddsAnAnnotationWhileAsked)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto delegate = make_object<PinMapDelegate>();
    map->setDelegate(delegate);
    auto point = pointAt(tower);
    auto extra = pointAt(tower);
    delegate->alsoAdd = extra;

    map->addAnnotation(point);

    EXPECT_EQ(map->annotations()->count(), 2u);
    EXPECT_NE(map->viewForAnnotation(point), nullptr);
    EXPECT_NE(map->viewForAnnotation(extra), nullptr);
    EXPECT_EQ(delegate->asked, 2);
}

TEST(MapView, KeepsRegionAndCentreAsSet)
{
    AutoreleasePool pool;
    auto map = makeMap();
    showAround(map, tower);

    auto region = objc::send<MKCoordinateRegion>(map, "region");
    EXPECT_EQ(region.center.latitude, 48.8583);
    EXPECT_EQ(region.center.longitude, 2.2945);
    EXPECT_EQ(region.span.latitudeDelta, 0.005);
    EXPECT_EQ(region.span.longitudeDelta, 0.005);
    EXPECT_FALSE(map->lastRegionChangeAnimated());

    objc::send(map, "setCenterCoordinate:animated:", CLLocationCoordinate2D { -33.8568, 151.2153 }, true);
    EXPECT_TRUE(map->lastRegionChangeAnimated());
    objc::send(map, "setCenterCoordinate:", CLLocationCoordinate2D { -33.8568, 151.2153 });
    EXPECT_FALSE(map->lastRegionChangeAnimated());
    auto center = objc::send<CLLocationCoordinate2D>(map, "centerCoordinate");
    EXPECT_EQ(center.latitude, -33.8568);
    EXPECT_EQ(center.longitude, 151.2153);
    EXPECT_EQ(map->region().span.latitudeDelta, 0.005);
    EXPECT_EQ(map->region().span.longitudeDelta, 0.005);

    // A region the map cannot show leaves the last one in place.
    const MKCoordinateRegion invalid[] = {
        { { 91, 0 }, { 1, 1 } },
        { { 0, 181 }, { 1, 1 } },
        { { 0, 0 }, { -1, 1 } },
        { { 0, 0 }, { std::nan(""), 1 } },
    };
    for (const auto& bad : invalid) {
        objc::send(map, "setRegion:animated:", bad, true);
        EXPECT_EQ(map->region().center.latitude, -33.8568);
        EXPECT_EQ(map->region().span.latitudeDelta, 0.005);
        EXPECT_FALSE(map->lastRegionChangeAnimated());
    }
}

TEST(MapView, StandsEachPinsTipOnItsPointInTheMap)
{
    AutoreleasePool pool;
    auto map = makeMap();
    showAround(map, tower);
    auto center = pointAt(tower);
    auto northEast = pointAt({ tower.latitude + 0.00125, tower.longitude + 0.00125 });
    map->addAnnotation(center);
    map->addAnnotation(northEast);

    EXPECT_EQ(map->viewForAnnotation(center)->frame(), CGRectMake(200 - 16, 200 - 39, 32, 39));
    const CGRect corner = map->viewForAnnotation(northEast)->frame();
    EXPECT_NEAR(corner.origin.x, 300 - 16, 1e-6);
    EXPECT_NEAR(corner.origin.y, 100 - 39, 1e-6);

    // Across the antimeridian the short way round counts.
    showAround(map, { 0, 179.999 });
    auto east = pointAt({ 0, -179.9995 });
    map->addAnnotation(east);
    EXPECT_NEAR(map->pointForCoordinate(east->coordinate()).x, 200 + 0.0015 / 0.005 * 400, 1e-6);
    EXPECT_NE(map->viewForAnnotation(east), nullptr);
}

TEST(MapView, ShowsViewsOnlyForAnnotationsInsideItsRegion)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto delegate = make_object<PinMapDelegate>();
    map->setDelegate(delegate);
    showAround(map, tower);
    auto far = pointAt({ 40.6892, -74.0445 });

    map->addAnnotation(far);
    EXPECT_EQ(delegate->asked, 0);
    EXPECT_EQ(map->viewForAnnotation(far), nullptr);

    showAround(map, far->coordinate());
    EXPECT_EQ(delegate->asked, 1);
    MKAnnotationView* pin = map->viewForAnnotation(far);
    ASSERT_NE(pin, nullptr);

    // Leaving the region queues the view for reuse.
    showAround(map, tower);
    EXPECT_EQ(map->viewForAnnotation(far), nullptr);
    EXPECT_TRUE(map->subviews().empty());
    auto identifier = "Identifier"_ns;
    EXPECT_EQ(map->dequeueReusableAnnotationViewWithIdentifier(identifier).get(), pin);
    EXPECT_EQ(map->dequeueReusableAnnotationViewWithIdentifier(identifier).get(), nullptr);

    auto states = map->annotationStates();
    ASSERT_EQ(states.size(), 1u);
    EXPECT_FALSE(states[0].inRegion);
    EXPECT_EQ(states[0].view, nullptr);
    EXPECT_EQ(states[0].coordinate.latitude, 40.6892);
}

TEST(MapView, WritesItsScaleAsTheRegionsGroundWidth)
{
    AutoreleasePool pool;
    struct Case {
        double latitude;
        double longitudeDelta;
        const char* text;
    };
    const Case cases[] = {
        { 48.8583, 0.005, "≈ 370 m" },
        { 0, 0.005, "≈ 560 m" },
        { 0, 0.0005, "≈ 56 m" },
        { 0, 0.00005, "≈ 5.6 m" },
        { 60, 0.02, "≈ 1.1 km" },
        { 0, 1, "≈ 110 km" },
        { 0, 360, "≈ 40000 km" },
    };
    auto map = makeMap();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        map->setRegion(MKCoordinateRegionMake({ c.latitude, 0 }, MKCoordinateSpanMake(0.005, c.longitudeDelta)));
        EXPECT_EQ(map->scaleText(), c.text);
    }
}

TEST(PointAnnotation, AnswersItsCoordinateTitleAndSubtitleAsTheSnapshotReadsThem)
{
    AutoreleasePool pool;
    auto map = makeMap();
    auto point = pointAt(tower);
    objc::send(point, "setTitle:", "Tower"_ns.get());
    map->addAnnotation(point);

    auto states = map->annotationStates();
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].coordinate.latitude, 48.8583);
    EXPECT_EQ(states[0].coordinate.longitude, 2.2945);
    EXPECT_EQ(states[0].title, "Tower");
    EXPECT_EQ(states[0].subtitle, "");
    EXPECT_TRUE(states[0].inRegion);
    EXPECT_EQ(states[0].view, map->viewForAnnotation(point));
}

} // namespace
