#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "mapkit/MKMapView.h"
#include "mapkit/MKPinAnnotationView.h"
#include "mapkit/MKPointAnnotation.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

// Answers as the map screen does: a pin from the reuse queue under
// "Identifier", else a new red one that drops. Counts what it did, and can
// add an annotation to the map while it is asked.
class PinMapDelegate : public NSObject {
    QX_OBJECT(PinMapDelegate, NSObject)
public:
    Ref<MKAnnotationView> mapViewViewForAnnotation(MKMapView* map, id annotation)
    {
        ++asked;
        if (auto extra = std::exchange(alsoAdd, nullptr))
            map->addAnnotation(extra);
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

struct MapFixture {
    AutoreleasePool pool;
    Ref<MKMapView> map = objc::create<MKMapView>("initWithFrame:", CGRectMake(0, 0, 400, 400));
    Ref<PinMapDelegate> delegate = make_object<PinMapDelegate>();

    MapFixture() { objc::send(map, "setDelegate:", delegate.get()); }

    void showAround(CLLocationCoordinate2D center)
    {
        objc::send(map, "setRegion:animated:", MKCoordinateRegionMake(center, MKCoordinateSpanMake(0.005, 0.005)), false);
    }
    Ref<MKPointAnnotation> add(CLLocationCoordinate2D coordinate)
    {
        auto point = MKPointAnnotation::annotation();
        objc::send(point, "setCoordinate:", coordinate);
        objc::send(map, "addAnnotation:", point.get());
        return point;
    }
    MKPinAnnotationView* pinOf(id annotation) { return objc_cast<MKPinAnnotationView>(objc::send<MKAnnotationView*>(map, "viewForAnnotation:", annotation)); }
};

TEST(MapView, AsksItsDelegateForPinsThroughMessagesAndReusesQueuedOnes)
{
    MapFixture f;
    f.showAround(tower);
    auto first = f.add(tower);
    MKPinAnnotationView* pin = f.pinOf(first);
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(f.delegate->asked, 1);
    EXPECT_EQ(pin->superview(), f.map.get());
    EXPECT_TRUE(pin->hasDropped());

    objc::send(f.map, "removeAnnotation:", first.get());
    EXPECT_EQ(pin->superview(), nullptr);
    EXPECT_EQ(pin->annotation(), nullptr);

    // Back from the queue for the next annotation, set up for it by the map
    // although the delegate hands it back unchanged, and dropping again.
    auto second = f.add({ tower.latitude + 0.001, tower.longitude });
    EXPECT_EQ(f.delegate->asked, 2);
    EXPECT_EQ(f.delegate->created, 1);
    EXPECT_EQ(f.pinOf(second), pin);
    EXPECT_EQ(pin->annotation(), second.get());
    EXPECT_TRUE(pin->hasDropped());
    EXPECT_EQ(f.map->subviews().size(), 1u);
}

TEST(MapView, WithoutAnAnsweringDelegateShowsARedPinThatDoesNotDrop)
{
    MapFixture f;
    f.delegate = nullptr; // gone: the weak link reads nil
    auto first = f.add(tower);
    auto plain = MKPointAnnotation::annotation();
    f.map->setDelegate(plain); // does not answer `mapView:viewForAnnotation:`
    auto second = f.add(tower);

    for (MKPointAnnotation* point : { first.get(), second.get() }) {
        MKPinAnnotationView* pin = f.pinOf(point);
        ASSERT_NE(pin, nullptr);
        EXPECT_EQ(pin->pinColor(), MKPinAnnotationColorRed);
        EXPECT_FALSE(pin->hasDropped());
    }
}

TEST(MapView, HoldsAnAnnotationAddedTwiceOnceAndSurvivesADelegateThatAddsOneWhileAsked)
{
    MapFixture f;
    auto extra = MKPointAnnotation::annotation();
    f.delegate->alsoAdd = extra;
    auto point = f.add(tower);
    objc::send(f.map, "addAnnotation:", point.get());

    EXPECT_EQ(f.map->annotations()->count(), 2u);
    EXPECT_EQ(f.map->subviews().size(), 2u);
    EXPECT_EQ(f.delegate->asked, 2);
    EXPECT_NE(f.pinOf(point), f.pinOf(extra));
    EXPECT_NE(f.pinOf(extra), nullptr);
}

TEST(MapView, KeepsRegionAndCentreAsSetAndIgnoresRegionsItCannotShow)
{
    MapFixture f;
    f.showAround(tower);
    auto region = objc::send<MKCoordinateRegion>(f.map, "region");
    EXPECT_EQ(std::tuple(region.center.latitude, region.center.longitude, region.span.latitudeDelta, region.span.longitudeDelta),
        std::tuple(48.8583, 2.2945, 0.005, 0.005));
    EXPECT_FALSE(f.map->lastRegionChangeAnimated());

    objc::send(f.map, "setCenterCoordinate:animated:", CLLocationCoordinate2D { -33.8568, 151.2153 }, true);
    EXPECT_TRUE(f.map->lastRegionChangeAnimated());
    objc::send(f.map, "setCenterCoordinate:", CLLocationCoordinate2D { -33.8568, 151.2153 });
    EXPECT_FALSE(f.map->lastRegionChangeAnimated());
    EXPECT_EQ(objc::send<CLLocationCoordinate2D>(f.map, "centerCoordinate").longitude, 151.2153);
    EXPECT_EQ(f.map->region().span.longitudeDelta, 0.005);

    const MKCoordinateRegion invalid[] = { { { 91, 0 }, { 1, 1 } }, { { 0, 181 }, { 1, 1 } }, { { 0, 0 }, { -1, 1 } },
        { { 0, 0 }, { std::nan(""), 1 } } };
    for (const auto& bad : invalid) {
        objc::send(f.map, "setRegion:animated:", bad, true);
        EXPECT_EQ(f.map->region().center.latitude, -33.8568);
        EXPECT_EQ(f.map->region().span.latitudeDelta, 0.005);
    }
}

TEST(MapView, StandsPinTipsOnTheirPointsAndQueuesPinsThatLeaveTheRegion)
{
    MapFixture f;
    f.showAround(tower);
    auto center = f.add(tower);
    auto northEast = f.add({ tower.latitude + 0.00125, tower.longitude + 0.00125 });
    EXPECT_EQ(f.pinOf(center)->frame(), CGRectMake(200 - 16, 200 - 39, 32, 39));
    EXPECT_NEAR(f.pinOf(northEast)->frame().origin.x, 300 - 16, 1e-6);
    EXPECT_NEAR(f.pinOf(northEast)->frame().origin.y, 100 - 39, 1e-6);

    // Across the antimeridian the short way round counts.
    f.showAround({ 0, 179.999 });
    EXPECT_TRUE(f.map->subviews().empty());
    auto east = f.add({ 0, -179.9995 });
    EXPECT_NEAR(f.map->pointForCoordinate(east->coordinate()).x, 320, 1e-6);
    EXPECT_EQ(f.delegate->created, 2); // a queued pin was reused

    auto states = f.map->annotationStates();
    ASSERT_EQ(states.size(), 3u);
    EXPECT_FALSE(states[0].inRegion);
    EXPECT_EQ(states[0].view, nullptr);
    EXPECT_EQ(states[0].coordinate.latitude, 48.8583);
    EXPECT_EQ(states[2].view, f.pinOf(east));
}

TEST(MapView, WritesItsScaleAsTheRegionsGroundWidth)
{
    struct Case {
        double latitude;
        double longitudeDelta;
        const char* text;
    };
    const Case cases[] = {
        { 48.8583, 0.005, "≈ 370 m" },
        { 0, 0.005, "≈ 560 m" },
        { 0, 0.00005, "≈ 5.6 m" },
        { 60, 0.02, "≈ 1.1 km" },
        { 0, 1, "≈ 110 km" },
        { 0, 360, "≈ 40000 km" },
    };
    MapFixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        f.map->setRegion(MKCoordinateRegionMake({ c.latitude, 0 }, MKCoordinateSpanMake(0.005, c.longitudeDelta)));
        EXPECT_EQ(f.map->scaleText(), c.text);
    }
}

} // namespace
