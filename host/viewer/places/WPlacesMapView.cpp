#include "viewer/places/WPlacesMapView.h"

#include "foundation/NSString.h"
#include "uikit/UISnapshot.h"
#include "uikit/UITapGestureRecognizer.h"

#include <algorithm>
#include <cmath>

QX_DEFINE_CLASS(WPlaceClusterView) { }

QX_DEFINE_CLASS(WPlacesMapView)
{
    b.method<&WPlacesMapView::clusterTapped>("clusterTapped:");
}

using places::Cluster;
using places::Region;

void WPlaceClusterView::setCluster(NSInteger entry, const Cluster& cluster, const std::string& photoName)
{
    entry_ = entry;
    cluster_ = cluster;
    photoName_ = photoName;
    const std::string label = cluster.count == 1 ? photoName : std::to_string(cluster.count) + " photos";
    setAccessibilityLabel(NSString::stringWithUTF8String(label).get());
}

void WPlaceClusterView::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.state["index"] = entry_;
    element.state["count"] = cluster_.count;
    element.state["latitude"] = cluster_.position.latitude;
    element.state["longitude"] = cluster_.position.longitude;
    element.state["photo"] = cluster_.representative;
    element.state["name"] = photoName_;
}

WPlacesMapView* WPlacesMapView::initWithFrameClustersNames(CGRect frame, std::shared_ptr<const places::PlaceClusters> clusters,
    std::vector<std::string> names)
{
    initWithFrame(frame);
    model_ = std::move(clusters);
    names_ = std::move(names);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    return this;
}

void WPlacesMapView::setRegion(Region region)
{
    region.width = frame().size.width;
    region.height = frame().size.height;
    region.zoom = std::clamp(region.zoom, places::minimumZoom, places::maximumZoom);
    region.centre.latitude = std::clamp(region.centre.latitude, -85.0, 85.0);
    region.centre.longitude = std::clamp(region.centre.longitude, -180.0, 180.0);
    region_ = region;
    shown_ = model_->clustersIn(region);

    const double scale = std::ldexp(1.0, region.zoom);
    const double left = places::worldX(region.centre.longitude) * scale - region.width / 2;
    const double top = places::worldY(region.centre.latitude) * scale - region.height / 2;
    // One view per cluster on screen; views beyond them are kept for the next region.
    while (views_.size() < shown_.size()) {
        auto view = objc::create<WPlaceClusterView>("init");
        view->initWithFrame({});
        auto tap = objc::create<UITapGestureRecognizer>("init");
        tap->initWithTargetAction(this, sel_registerName("clusterTapped:"));
        view->addGestureRecognizer(tap.get());
        views_.push_back(view);
    }
    for (size_t i = 0; i < views_.size(); ++i) {
        WPlaceClusterView* view = views_[i].get();
        if (i >= shown_.size()) {
            view->removeFromSuperview();
            continue;
        }
        const Cluster& cluster = shown_[i];
        const double x = places::worldX(cluster.position.longitude) * scale - left;
        const double y = places::worldY(cluster.position.latitude) * scale - top;
        view->setCluster(NSInteger(i), cluster, names_.at(cluster.representative));
        view->setFrame(CGRectMake(x - clusterSide / 2, y - clusterSide / 2, clusterSide, clusterSide));
        if (!view->superview())
            addSubview(view);
    }
}

void WPlacesMapView::layoutClusters()
{
    if (frame().size.width <= 0 || frame().size.height <= 0)
        return;
    if (region_) {
        setRegion(*region_);
    } else if (auto all = model_->regionShowingAll(frame().size.width, frame().size.height)) {
        setRegion(*all);
    } else {
        setRegion({ {}, places::minimumZoom, 0, 0 });
    }
}

bool WPlacesMapView::zoomBy(int steps)
{
    if (!region_)
        return false;
    Region next = *region_;
    next.zoom = std::clamp(next.zoom + steps, places::minimumZoom, places::maximumZoom);
    if (next.zoom == region_->zoom)
        return false;
    setRegion(next);
    return true;
}

bool WPlacesMapView::panBy(CGFloat dx, CGFloat dy)
{
    if (!region_)
        return false;
    const double scale = std::ldexp(1.0, region_->zoom);
    Region next = *region_;
    next.centre.longitude = places::longitudeAt(places::worldX(region_->centre.longitude) + dx / scale);
    next.centre.latitude = places::latitudeAt(places::worldY(region_->centre.latitude) + dy / scale);
    setRegion(next);
    return true;
}

bool WPlacesMapView::selectEntry(NSInteger entry)
{
    if (!region_ || entry < 0 || size_t(entry) >= shown_.size())
        return false;
    const Cluster cluster = shown_[size_t(entry)];
    // Photos taken at one spot never split: at the closest zoom the cluster opens its photo.
    if (cluster.count == 1 || region_->zoom >= places::maximumZoom) {
        if (auto* delegate = delegate_.get())
            objc::send(delegate, "placesMap:didSelectPhotoAtIndex:", this, NSInteger(cluster.representative));
        return true;
    }
    setRegion(places::PlaceClusters::regionShowing(cluster, *region_));
    return true;
}

void WPlacesMapView::clusterTapped(UITapGestureRecognizer* recognizer)
{
    if (auto* view = objc_cast<WPlaceClusterView>(recognizer->view()))
        selectEntry(view->entry());
}

void WPlacesMapView::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.state["total"] = model_->photoCount();
    if (!region_)
        return;
    const places::Box box = places::boxOf(*region_);
    element.state["latitude"] = region_->centre.latitude;
    element.state["longitude"] = region_->centre.longitude;
    element.state["zoom"] = region_->zoom;
    element.state["south"] = box.south_west.latitude;
    element.state["west"] = box.south_west.longitude;
    element.state["north"] = box.north_east.latitude;
    element.state["east"] = box.north_east.longitude;
    size_t count = 0;
    for (const auto& cluster : shown_)
        count += cluster.count;
    element.state["count"] = count;
}
