#pragma once

#include "mapkit/MKAnnotationView.h"

#include <string_view>

enum MKPinAnnotationColor : NSUInteger {
    MKPinAnnotationColorRed = 0,
    MKPinAnnotationColorGreen = 1,
    MKPinAnnotationColorPurple = 2,
};

// "red", "green", "purple"; empty for a value the platform does not have.
std::string_view MKPinAnnotationColorName(NSUInteger color);

// A pin in one of three colours. A pin that animates its drop falls onto the
// map the first time it is shown there; `hasDropped` records that this
// happened (the browser page plays the animation). A pin handed out of the
// reuse queue drops again for its next annotation.
class MKPinAnnotationView : public MKAnnotationView {
    QX_OBJECT(MKPinAnnotationView, MKAnnotationView)
public:
    static constexpr CGSize pinSize { 32, 39 };

    NSUInteger pinColor() const { return pinColor_; }
    void setPinColor(NSUInteger color) { pinColor_ = color; }
    bool animatesDrop() const { return animatesDrop_; }
    void setAnimatesDrop(bool animates) { animatesDrop_ = animates; }
    bool hasDropped() const { return dropped_; }

    // Called by the map when it places the view for its annotation. Only the
    // first placement decides whether the pin drops.
    void placedOnMap();
    void prepareForReuse();

    std::string role() const override { return "pin"; }

protected:
    MKPinAnnotationView();

private:
    NSUInteger pinColor_ = MKPinAnnotationColorRed;
    bool animatesDrop_ = false;
    bool placed_ = false;
    bool dropped_ = false;
};
