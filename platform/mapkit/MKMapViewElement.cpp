#include "mapkit/MKMapView.h"
#include "foundation/NSString.h"
#include "mapkit/MKPinAnnotationView.h"
#include "uikit/UISnapshot.h"

void MKMapView::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.state["latitude"] = region_.center.latitude;
    element.state["longitude"] = region_.center.longitude;
    element.state["latitudeDelta"] = region_.span.latitudeDelta;
    element.state["longitudeDelta"] = region_.span.longitudeDelta;
    element.state["scale"] = scaleText();
    const CGRect origin = element.frame;
    for (const auto& annotation : annotationStates()) {
        if (!annotation.inRegion || !annotation.view)
            continue;
        UIElement pin;
        pin.role = annotation.view->role();
        pin.text = annotation.title;
        pin.label = annotation.view->accessibilityLabel() ? annotation.view->accessibilityLabel()->str() : std::string();
        const CGRect frame = annotation.view->frame();
        pin.frame = CGRectMake(origin.minX() + frame.minX(), origin.minY() + frame.minY(), frame.size.width, frame.size.height);
        pin.hidden = element.hidden || annotation.view->isHidden();
        if (!annotation.subtitle.empty())
            pin.state["detail"] = annotation.subtitle;
        pin.state["latitude"] = annotation.coordinate.latitude;
        pin.state["longitude"] = annotation.coordinate.longitude;
        if (auto* typed = objc_cast<MKPinAnnotationView>(annotation.view)) {
            pin.state["color"] = std::string(MKPinAnnotationColorName(typed->pinColor()));
            pin.state["dropped"] = typed->hasDropped();
        }
        element.children.push_back(std::move(pin));
    }
}
