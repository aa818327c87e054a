#pragma once

#include "runtime/ClassDefinition.h"

struct CLLocationCoordinate2D {
    double latitude = 0;
    double longitude = 0;
};

// A position in degrees.
class CLLocation : public NSObject {
    QX_OBJECT(CLLocation, NSObject)
public:
    static Ref<CLLocation> initWithLatitudeLongitude(double latitude, double longitude);

    CLLocationCoordinate2D coordinate() const { return coordinate_; }

protected:
    explicit CLLocation(CLLocationCoordinate2D coordinate)
        : coordinate_(coordinate)
    {
    }

    std::string describe() const override;

private:
    CLLocationCoordinate2D coordinate_;
};
