#include "mapkit/MKMapView.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "mapkit/MKPinAnnotationView.h"

#include <algorithm>
#include <cmath>

namespace {

const SEL coordinateSelector("coordinate");

CLLocationCoordinate2D coordinateOf(const NSObject* annotation)
{
    return objc::send<CLLocationCoordinate2D>(annotation, coordinateSelector);
}

std::string textOf(const NSObject* annotation, SEL sel)
{
    if (!annotation->respondsToSelector(sel))
        return {};
    auto* text = objc::send<NSString*>(annotation, sel);
    return text ? text->str() : std::string();
}

// Degrees east of the centre, the short way round the globe.
double longitudeOffset(double longitude, double centerLongitude) { return std::remainder(longitude - centerLongitude, 360.0); }

} // namespace

QX_DEFINE_CLASS(MKMapView)
{
    b.property<&MKMapView::delegate_>("delegate");
    b.method<&MKMapView::region>("region");
    b.method<&MKMapView::setRegion>("setRegion:");
    b.method<&MKMapView::setRegionAnimated>("setRegion:animated:");
    b.method<&MKMapView::centerCoordinate>("centerCoordinate");
    b.method<&MKMapView::setCenterCoordinate>("setCenterCoordinate:");
    b.method<&MKMapView::setCenterCoordinateAnimated>("setCenterCoordinate:animated:");
    b.method<&MKMapView::annotations>("annotations");
    b.method<&MKMapView::addAnnotation>("addAnnotation:");
    b.method<&MKMapView::removeAnnotation>("removeAnnotation:");
    b.method<&MKMapView::dequeueReusableAnnotationViewWithIdentifier>("dequeueReusableAnnotationViewWithIdentifier:");
    b.method<&MKMapView::viewForAnnotation>("viewForAnnotation:");
    b.method<&MKMapView::layoutSubviews>("layoutSubviews");
}

void MKMapView::setRegionAnimated(MKCoordinateRegion region, bool animated)
{
    if (!MKCoordinateRegionIsValid(region))
        return;
    region_ = region;
    lastChangeAnimated_ = animated;
    updateAnnotationViews();
}

void MKMapView::setCenterCoordinateAnimated(CLLocationCoordinate2D center, bool animated)
{
    setRegionAnimated({ center, region_.span }, animated);
}

Ref<NSArray> MKMapView::annotations() const
{
    auto list = NSMutableArray::array();
    for (const auto& entry : entries_)
        list->addObject(entry.annotation);
    return list;
}

void MKMapView::addAnnotation(id annotation)
{
    if (!annotation || entryFor(annotation) || !annotation->respondsToSelector(coordinateSelector))
        return;
    entries_.push_back({ annotation, nullptr });
    updateAnnotationViews();
}

void MKMapView::removeAnnotation(id annotation)
{
    auto found = std::find_if(entries_.begin(), entries_.end(), [annotation](const Entry& entry) { return entry.annotation.get() == annotation; });
    if (found == entries_.end())
        return;
    Ref<MKAnnotationView> view = std::move(found->view);
    // The annotation may be held by nothing else: it goes after the entry is out of the list.
    Ref<NSObject> keep = std::move(found->annotation);
    entries_.erase(found);
    if (view)
        enqueue(std::move(view));
}

Ref<MKAnnotationView> MKMapView::dequeueReusableAnnotationViewWithIdentifier(NSString* identifier)
{
    if (!identifier)
        return nullptr;
    auto queue = reuseQueues_.find(identifier->str());
    if (queue == reuseQueues_.end() || queue->second.empty())
        return nullptr;
    Ref<MKAnnotationView> view = std::move(queue->second.back());
    queue->second.pop_back();
    objc::send(view, "prepareForReuse");
    return view;
}

MKAnnotationView* MKMapView::viewForAnnotation(id annotation) const
{
    const Entry* entry = entryFor(annotation);
    return entry ? entry->view.get() : nullptr;
}

void MKMapView::layoutSubviews()
{
    static const SEL layoutSubviews("layoutSubviews");
    if (class_respondsToSelector(UIView::objcClass(), layoutSubviews))
        objc::sendSuper<void, MKMapView>(this, layoutSubviews);
    updateAnnotationViews();
}

CGPoint MKMapView::pointForCoordinate(CLLocationCoordinate2D coordinate) const
{
    const CGSize size = bounds().size;
    const MKCoordinateSpan span = region_.span;
    const double east = longitudeOffset(coordinate.longitude, region_.center.longitude);
    const double north = coordinate.latitude - region_.center.latitude;
    const double x = span.longitudeDelta > 0 ? east / span.longitudeDelta : 0;
    const double y = span.latitudeDelta > 0 ? north / span.latitudeDelta : 0;
    return { size.width * (0.5 + x), size.height * (0.5 - y) };
}

bool MKMapView::regionContainsCoordinate(CLLocationCoordinate2D coordinate) const
{
    const double east = longitudeOffset(coordinate.longitude, region_.center.longitude);
    const double north = coordinate.latitude - region_.center.latitude;
    return std::abs(north) <= region_.span.latitudeDelta / 2
        && (region_.span.longitudeDelta >= 360 || std::abs(east) <= region_.span.longitudeDelta / 2);
}

std::vector<MKMapView::AnnotationState> MKMapView::annotationStates() const
{
    static const SEL title("title");
    static const SEL subtitle("subtitle");
    std::vector<AnnotationState> states;
    for (const auto& entry : entries_) {
        AnnotationState state;
        state.coordinate = coordinateOf(entry.annotation);
        state.title = textOf(entry.annotation, title);
        state.subtitle = textOf(entry.annotation, subtitle);
        state.point = pointForCoordinate(state.coordinate);
        state.inRegion = regionContainsCoordinate(state.coordinate);
        state.view = entry.view.get();
        states.push_back(std::move(state));
    }
    return states;
}

std::string MKMapView::scaleText() const
{
    return MKScaleText(MKMetersAcrossLongitudeDelta(region_.span.longitudeDelta, region_.center.latitude));
}

MKMapView::Entry* MKMapView::entryFor(const NSObject* annotation)
{
    for (auto& entry : entries_) {
        if (entry.annotation == annotation)
            return &entry;
    }
    return nullptr;
}

const MKMapView::Entry* MKMapView::entryFor(const NSObject* annotation) const
{
    return const_cast<MKMapView*>(this)->entryFor(annotation);
}

void MKMapView::updateAnnotationViews()
{
    // The delegate may add or remove annotations, or move the map, while it
    // is asked for a view: such a change is not applied inside the walk but
    // makes the walk run once more afterwards.
    if (updating_) {
        updateAgain_ = true;
        return;
    }
    Ref<MKMapView> keep(this);
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard { updating_ };
    updating_ = true;
    do {
        updateAgain_ = false;
        std::vector<Ref<NSObject>> annotations;
        for (const auto& entry : entries_)
            annotations.push_back(entry.annotation);
        for (const auto& annotation : annotations) {
            Entry* entry = entryFor(annotation);
            if (!entry)
                continue;
            const bool inside = regionContainsCoordinate(coordinateOf(annotation));
            if (!inside && entry->view) {
                enqueue(std::exchange(entry->view, nullptr));
            } else if (inside && !entry->view) {
                Ref<MKAnnotationView> view = askForView(annotation);
                // The list may have changed under the delegate.
                entry = entryFor(annotation);
                if (!entry || entry->view) {
                    enqueue(std::move(view));
                    continue;
                }
                claimView(view, annotation);
                entry = entryFor(annotation);
                entry->view = view;
                addSubview(view);
                if (auto* pin = objc_cast<MKPinAnnotationView>(view.get()))
                    pin->placedOnMap();
            }
        }
        for (const auto& entry : entries_) {
            if (entry.view)
                place(entry.view, entry.annotation);
        }
    } while (updateAgain_);
}

Ref<MKAnnotationView> MKMapView::askForView(id annotation)
{
    static const SEL viewForAnnotation("mapView:viewForAnnotation:");
    static const SEL annotationSelector("annotation");
    static const SEL setAnnotation("setAnnotation:");
    Ref<MKAnnotationView> view;
    if (Ref<NSObject> delegate = delegate_.get(); delegate && delegate->respondsToSelector(viewForAnnotation))
        view = objc::send<MKAnnotationView*>(delegate.get(), viewForAnnotation, this, annotation);
    if (!view) {
        auto pin = make_object<MKPinAnnotationView>();
        pin->initWithAnnotationReuseIdentifier(annotation, nullptr);
        return pin;
    }
    // A view taken from the reuse queue may still be set up for no annotation or another one.
    if (objc::send<id>(view, annotationSelector) != annotation)
        objc::send(view, setAnnotation, annotation);
    return view;
}

void MKMapView::claimView(MKAnnotationView* view, const NSObject* owner)
{
    for (auto& entry : entries_) {
        if (entry.view.get() == view && entry.annotation.get() != owner)
            entry.view = nullptr;
    }
    for (auto& [identifier, queue] : reuseQueues_)
        std::erase(queue, Ref<MKAnnotationView>(view));
}

void MKMapView::enqueue(Ref<MKAnnotationView> view)
{
    if (!view)
        return;
    view->removeFromSuperview();
    view->setAnnotation(nullptr);
    NSString* identifier = view->reuseIdentifier();
    if (!identifier || identifier->isEmpty())
        return;
    auto& queue = reuseQueues_[identifier->str()];
    if (std::find(queue.begin(), queue.end(), view) == queue.end())
        queue.push_back(std::move(view));
}

void MKMapView::place(MKAnnotationView* view, const NSObject* annotation)
{
    // The bottom centre of the view, a pin's tip, sits on the point.
    const CGPoint point = pointForCoordinate(coordinateOf(annotation));
    const CGSize size = view->frame().size;
    view->setFrame({ { point.x - size.width / 2, point.y - size.height }, size });
}
