#include "viewer/places/WPlacesViewController.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(WPlacesViewController)
{
    b.method<&WPlacesViewController::viewDidLoad>("viewDidLoad");
    b.method<&WPlacesViewController::viewDidLayoutSubviews>("viewDidLayoutSubviews");
    b.method<&WPlacesViewController::placesMapDidSelectPhotoAtIndex>("placesMap:didSelectPhotoAtIndex:");
}

WPlacesViewController* WPlacesViewController::initWithClustersNames(std::shared_ptr<const places::PlaceClusters> clusters,
    std::vector<std::string> names)
{
    initWithNibNameBundle(nullptr, nullptr);
    clusters_ = std::move(clusters);
    names_ = std::move(names);
    setTitle("Places"_ns.get());
    return this;
}

void WPlacesViewController::viewDidLoad()
{
    UIView* root = view();
    map_ = objc::create<WPlacesMapView>("init");
    map_->initWithFrameClustersNames(root->bounds(), clusters_, names_);
    map_->setBackgroundColor(UIColor::whiteColor().get());
    map_->setDelegate(this);
    root->addSubview(map_.get());
}

void WPlacesViewController::viewDidLayoutSubviews()
{
    if (!map_)
        return;
    map_->setFrame(view()->bounds());
    map_->layoutClusters();
}

void WPlacesViewController::placesMapDidSelectPhotoAtIndex(WPlacesMapView*, NSInteger index)
{
    if (auto* delegate = delegate_.get())
        objc::send(delegate, "placesViewController:didSelectPhotoAtIndex:", this, index);
}
