#pragma once

#include "corelocation/CLLocation.h"
#include "mapkit/MKMapView.h"
#include "mapkit/MKPointAnnotation.h"
#include "runtime/WeakRef.h"
#include "uikit/UIViewController.h"

// The map screen: a map filling the screen, centred on the photo's position
// with a span of 0.005 degrees, and one red pin that drops onto the position
// the first time the screen appears and never again.
//
// Given no location it shows the map as it comes, without a region or a pin.
class QXLocationViewController : public UIViewController {
    QX_OBJECT(QXLocationViewController, UIViewController)
public:
    static constexpr double regionSpanDegrees = 0.005;

    CLLocation* location() const { return location_; }
    void setLocation(CLLocation* location) { location_ = location; }
    MKMapView* mapView() const { return mapView_.get(); }
    bool wasRan() const { return wasRan_; }

    void viewDidLoad();
    void viewDidAppear(bool animated);
    Ref<MKAnnotationView> mapViewViewForAnnotation(MKMapView* mapView, id annotation);
    void dealloc();

protected:
    QXLocationViewController() = default;

private:
    Ref<CLLocation> location_;
    // The root view owns the map; this reference turns nil when the view
    // is unloaded, so nothing reaches a map that is gone.
    objc::WeakRef<MKMapView> mapView_;
    Ref<MKPointAnnotation> annotation_;
    bool wasRan_ = false;
};
