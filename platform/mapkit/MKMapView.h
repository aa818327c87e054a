#pragma once

#include "foundation/Forward.h"
#include "mapkit/MKAnnotationView.h"
#include "mapkit/MKGeometry.h"
#include "runtime/WeakRef.h"

#include <string>
#include <unordered_map>
#include <vector>

// A map of a region with annotations. Nothing is fetched: the region is
// projected onto the view's bounds as a plain grid of degrees (north up),
// and the browser page draws what the snapshot says.
//
// The map keeps a view for each annotation inside its region. It asks its
// delegate for that view with the message `mapView:viewForAnnotation:`
// (when the delegate answers it; otherwise a red pin that does not drop),
// when the annotation is added and whenever the map lays its views out
// (a change of region, `layoutSubviews`). The view of an annotation that is
// removed or leaves the region goes back to a reuse queue under its reuse
// identifier, from which `dequeueReusableAnnotationViewWithIdentifier:`
// hands it out again.
class MKMapView : public UIView {
    QX_OBJECT(MKMapView, UIView)
public:
    id delegate() const { return delegate_.get(); }
    void setDelegate(id delegate) { delegate_ = delegate; }

    MKCoordinateRegion region() const { return region_; }
    // An invalid region (see MKCoordinateRegionIsValid) is ignored.
    void setRegionAnimated(MKCoordinateRegion region, bool animated);
    void setRegion(MKCoordinateRegion region) { setRegionAnimated(region, false); }
    // Whether the last change of region or centre asked for animation.
    bool lastRegionChangeAnimated() const { return lastChangeAnimated_; }
    CLLocationCoordinate2D centerCoordinate() const { return region_.center; }
    // Moves the centre and keeps the span.
    void setCenterCoordinateAnimated(CLLocationCoordinate2D center, bool animated);
    void setCenterCoordinate(CLLocationCoordinate2D center) { setCenterCoordinateAnimated(center, false); }

    // In the order they were added.
    Ref<NSArray> annotations() const;
    // Any object that answers `coordinate`; adding one that is already on the map does nothing.
    void addAnnotation(id annotation);
    void removeAnnotation(id annotation);
    Ref<MKAnnotationView> dequeueReusableAnnotationViewWithIdentifier(NSString* identifier);
    // The view shown for the annotation; nil while it is outside the region.
    MKAnnotationView* viewForAnnotation(id annotation) const;
    void layoutSubviews();

    // Where a coordinate falls in the map's bounds.
    CGPoint pointForCoordinate(CLLocationCoordinate2D coordinate) const;
    bool regionContainsCoordinate(CLLocationCoordinate2D coordinate) const;

    // What the snapshot shows of one annotation, in the order of `annotations`.
    struct AnnotationState {
        CLLocationCoordinate2D coordinate;
        std::string title;
        std::string subtitle;
        CGPoint point;
        bool inRegion = false;
        // Nil while the annotation is outside the region.
        MKAnnotationView* view = nullptr;
    };
    std::vector<AnnotationState> annotationStates() const;
    // The ground width of the region at its centre's latitude ("≈ 370 m").
    std::string scaleText() const;

    std::string role() const override { return "map"; }
    // Centre, span and scale as states; one "pin" child per annotation in
    // the region, in the order of `annotations`.
    void describeElement(UIElement& element) const override;
    bool describesSubviews() const override { return true; }

protected:
    MKMapView() = default;

private:
    struct Entry {
        Ref<NSObject> annotation;
        Ref<MKAnnotationView> view;
    };

    Entry* entryFor(const NSObject* annotation);
    const Entry* entryFor(const NSObject* annotation) const;
    void updateAnnotationViews();
    Ref<MKAnnotationView> askForView(id annotation);
    // Takes a view out of any other entry and out of the reuse queues before it is shown for `owner`.
    void claimView(MKAnnotationView* view, const NSObject* owner);
    void enqueue(Ref<MKAnnotationView> view);
    void place(MKAnnotationView* view, const NSObject* annotation);

    objc::WeakRef<NSObject> delegate_;
    // The whole world until a region is set.
    MKCoordinateRegion region_ { {}, { 180, 360 } };
    bool lastChangeAnimated_ = false;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::vector<Ref<MKAnnotationView>>> reuseQueues_;
    bool updating_ = false;
    bool updateAgain_ = false;
};
