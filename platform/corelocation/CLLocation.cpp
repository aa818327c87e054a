#include "corelocation/CLLocation.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(CLLocation) { }

Ref<CLLocation> CLLocation::initWithLatitudeLongitude(double latitude, double longitude)
{
    return make_object<CLLocation>(CLLocationCoordinate2D { latitude, longitude });
}

Ref<NSString> CLLocation::describe() const
{
    return NSString::stringWithFormat("<%+.8f,%+.8f>", coordinate_.latitude, coordinate_.longitude);
}
