#include "corelocation/CLLocation.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(CLLocation)
{
    b.method<&CLLocation::coordinate>("coordinate");
}

Ref<CLLocation> CLLocation::initWithLatitudeLongitude(double latitude, double longitude)
{
    return make_object<CLLocation>(CLLocationCoordinate2D { latitude, longitude });
}

std::string CLLocation::describe() const
{
    return foundation::format("<%+.8f,%+.8f>", coordinate_.latitude, coordinate_.longitude);
}
