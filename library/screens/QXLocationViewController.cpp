#include "screens/QXLocationViewController.h"

#include "mapkit/MKPinAnnotationView.h"
#include "util/DeviceIdiom.h"
#include "util/Localization.h"

namespace {

constexpr CGSize kPopoverSize { 400, 400 };
constexpr NSUInteger kFlexibleInEveryDirection = 63;

} // namespace

QX_DEFINE_CLASS(QXLocationViewController)
{
    b.property<&QXLocationViewController::location_>("location");
    b.ivar("_mapView", "@\"MKMapView\"");
    b.ivar("_annotation", "@\"MKPointAnnotation\"", &QXLocationViewController::annotation_);
    b.property<&QXLocationViewController::wasRan_>("wasRan");
    b.method<&QXLocationViewController::viewDidLoad>("viewDidLoad");
    b.method<&QXLocationViewController::viewDidAppear>("viewDidAppear:");
    b.method<&QXLocationViewController::mapViewViewForAnnotation>("mapView:viewForAnnotation:");
    b.method<&QXLocationViewController::dealloc>("dealloc");
}

void QXLocationViewController::viewDidLoad()
{
    objc::sendSuper<void, QXLocationViewController>(this, "viewDidLoad");

    UIView* root = objc::send<UIView*>(this, "view");
    auto map = objc::create<MKMapView>("initWithFrame:", objc::send<CGRect>(root, "bounds"));
    objc::send(map, "setAutoresizingMask:", kFlexibleInEveryDirection);
    objc::send(root, "addSubview:", map);
    mapView_ = map.get();
    objc::send(map, "setDelegate:", this);

    objc::send(objc::send<UINavigationItem*>(this, "navigationItem"), "setTitle:", QXLocalizedString("Location"));

    if (location_) {
        CLLocationCoordinate2D center = location_->coordinate();
        MKCoordinateRegion region = MKCoordinateRegionMake(center, MKCoordinateSpanMake(regionSpanDegrees, regionSpanDegrees));
        objc::send(map, "setRegion:animated:", region, false);
        objc::send(map, "setCenterCoordinate:", center);
    }
    // A view loaded again after a memory warning gets the pin that was
    // already dropped, so the screen still shows where the photo was taken.
    if (annotation_)
        objc::send(map, "addAnnotation:", annotation_);

    if (QXDeviceIsPad())
        objc::send(this, "setContentSizeForViewInPopover:", kPopoverSize);
}

void QXLocationViewController::viewDidAppear(bool animated)
{
    objc::sendSuper<void, QXLocationViewController>(this, "viewDidAppear:", animated);
    if (wasRan_ || !location_)
        return;
    wasRan_ = true;
    auto annotation = objc::create<MKPointAnnotation>("init");
    objc::send(annotation, "setCoordinate:", location_->coordinate());
    objc::send(mapView_.get(), "addAnnotation:", annotation);
    annotation_ = annotation;
}

Ref<MKAnnotationView> QXLocationViewController::mapViewViewForAnnotation(MKMapView* mapView, id annotation)
{
    static const Ref<NSString> identifier = "Identifier"_ns;
    if (auto reused = objc::send<Ref<MKAnnotationView>>(mapView, "dequeueReusableAnnotationViewWithIdentifier:", identifier))
        return reused;
    auto pin = objc::create<MKPinAnnotationView>("initWithAnnotation:reuseIdentifier:", annotation, identifier);
    objc::send(pin, "setPinColor:", NSUInteger { MKPinAnnotationColorRed });
    objc::send(pin, "setAnimatesDrop:", true);
    return pin;
}

void QXLocationViewController::dealloc()
{
    location_ = nullptr;
    annotation_ = nullptr;
    objc::send(mapView_.get(), "setDelegate:", static_cast<id>(nullptr));
    objc::sendSuper<void, QXLocationViewController>(this, "dealloc");
}
