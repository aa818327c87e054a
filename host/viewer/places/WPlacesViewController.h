#pragma once

#include "viewer/places/WPlacesMapView.h"

#include "uikit/UIViewController.h"

// The album's Places screen: every photo with a position, as clusters on
// the map (WPlacesMapView). A tap on a single photo sends
// `placesViewController:didSelectPhotoAtIndex:` to the delegate, which opens
// the viewer on it; the screen stays where it was under the viewer, so
// closing the viewer comes back to the same map.
class WPlacesViewController : public UIViewController {
    QX_OBJECT(WPlacesViewController, UIViewController)
public:
    WPlacesViewController* initWithClustersNames(std::shared_ptr<const places::PlaceClusters> clusters,
        std::vector<std::string> names);

    NSObject* delegate() const { return delegate_.get(); }
    void setDelegate(NSObject* delegate) { delegate_ = delegate; }

    void viewDidLoad();
    void viewDidLayoutSubviews();
    // The map's delegate message.
    void placesMapDidSelectPhotoAtIndex(WPlacesMapView* map, NSInteger index);

    WPlacesMapView* map() const { return map_.get(); }

protected:
    WPlacesViewController() = default;

private:
    std::shared_ptr<const places::PlaceClusters> clusters_;
    std::vector<std::string> names_;
    objc::WeakRef<NSObject> delegate_;
    Ref<WPlacesMapView> map_;
};
