#pragma once

#include "viewer/places/PlaceClusters.h"

#include "uikit/UIView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One cluster on the Places map: a thumbnail-sized square at the cluster's
// position, standing for `count` photos and showing photo `photo`.
class WPlaceClusterView : public UIView {
    QX_OBJECT(WPlaceClusterView, UIView)
public:
    NSInteger entry() const { return entry_; }
    void setCluster(NSInteger entry, const places::Cluster& cluster, const std::string& photoName);

    std::string role() const override { return "cluster"; }
    void describeElement(UIElement& element) const override;

protected:
    WPlaceClusterView() = default;

private:
    NSInteger entry_ = -1;
    places::Cluster cluster_;
    std::string photoName_;
};

// The album's photos with a position, as clusters over the map of a region.
// The host computes the clusters for the region on screen, so the snapshot
// lists only them (never one entry per photo) and the page draws what it
// says. A tap on a cluster zooms to it; on a single photo (or a cluster of
// photos taken at one spot, at the closest zoom) it sends
// `placesMap:didSelectPhotoAtIndex:` to the delegate.
class WPlacesMapView : public UIView {
    QX_OBJECT(WPlacesMapView, UIView)
public:
    static constexpr CGFloat clusterSide = 56;

    WPlacesMapView* initWithFrameClustersNames(CGRect frame, std::shared_ptr<const places::PlaceClusters> clusters,
        std::vector<std::string> names);

    NSObject* delegate() const { return delegate_.get(); }
    void setDelegate(NSObject* delegate) { delegate_ = delegate; }

    const std::optional<places::Region>& region() const { return region_; }
    const std::vector<places::Cluster>& clusters() const { return shown_; }
    // Shows the region, sized to the view, and its clusters.
    void setRegion(places::Region region);
    // Fits the region to the view's size; the first time, to every photo.
    void layoutClusters();
    // Each returns false when it cannot move (no photo, or at the zoom's end).
    bool zoomBy(int steps);
    bool panBy(CGFloat dx, CGFloat dy);
    // Taps the cluster listed `entry`th; false when there is none.
    bool selectEntry(NSInteger entry);

    // The recognizer's action: the cluster it sits on was tapped.
    void clusterTapped(UITapGestureRecognizer* recognizer);

    std::string role() const override { return "places"; }
    void describeElement(UIElement& element) const override;

protected:
    WPlacesMapView() = default;

private:
    std::shared_ptr<const places::PlaceClusters> model_;
    std::vector<std::string> names_;
    objc::WeakRef<NSObject> delegate_;
    std::optional<places::Region> region_;
    std::vector<places::Cluster> shown_;
    std::vector<Ref<WPlaceClusterView>> views_;
};
