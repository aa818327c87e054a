#pragma once

#include "foundation/Forward.h"
#include "corelocation/CLLocation.h"
#include "runtime/ClassDefinition.h"

// A place on a map with an optional title and subtitle. The map reads any
// annotation through messages (`coordinate`, `title`, `subtitle`), so an
// object of another class that answers them serves as well.
class MKPointAnnotation : public NSObject {
    QX_OBJECT(MKPointAnnotation, NSObject)
public:
    static Ref<MKPointAnnotation> annotation();

    CLLocationCoordinate2D coordinate() const { return coordinate_; }
    void setCoordinate(CLLocationCoordinate2D coordinate) { coordinate_ = coordinate; }
    NSString* title() const { return title_; }
    NSString* subtitle() const { return subtitle_; }

protected:
    MKPointAnnotation() = default;

private:
    CLLocationCoordinate2D coordinate_;
    Ref<NSString> title_;
    Ref<NSString> subtitle_;
};
