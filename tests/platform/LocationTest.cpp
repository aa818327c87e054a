#include "corelocation/CLLocation.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

namespace {

TEST(Location, KeepsItsCoordinateExactly)
{
    AutoreleasePool pool;
    auto location = CLLocation::initWithLatitudeLongitude(48.8583, 2.2945);
    EXPECT_EQ(location->coordinate().latitude, 48.8583);
    EXPECT_EQ(location->coordinate().longitude, 2.2945);
    EXPECT_EQ(objc_getClass("CLLocation"), CLLocation::objcClass());
}

TEST(Location, DescribesItselfWithSignedDegreesToEightPlaces)
{
    AutoreleasePool pool;
    struct Case {
        double latitude;
        double longitude;
        const char* text;
    };
    const Case cases[] = {
        { 48.8583, 2.2945, "<+48.85830000,+2.29450000>" },
        { -33.8568, -151.2153, "<-33.85680000,-151.21530000>" },
        { 0, 0, "<+0.00000000,+0.00000000>" },
        { 89.999999999, -0.000000004, "<+90.00000000,-0.00000000>" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto location = CLLocation::initWithLatitudeLongitude(c.latitude, c.longitude);
        EXPECT_EQ(location->descriptionText(), c.text);
        EXPECT_EQ(NSString::stringWithFormat("%@", location)->str(), c.text);
    }
}

} // namespace
