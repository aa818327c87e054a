#include "mapkit/MKPinAnnotationView.h"

#include "foundation/NSString.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 3> pinColorNames { "red", "green", "purple" };

} // namespace

QX_DEFINE_CLASS(MKPinAnnotationView)
{
    b.property<&MKPinAnnotationView::pinColor_>("pinColor");
    b.property<&MKPinAnnotationView::animatesDrop_>("animatesDrop");
    b.method<&MKPinAnnotationView::prepareForReuse>("prepareForReuse");
}

std::string_view MKPinAnnotationColorName(NSUInteger color)
{
    return color < pinColorNames.size() ? pinColorNames[color] : std::string_view();
}

MKPinAnnotationView::MKPinAnnotationView() { setFrame({ {}, pinSize }); }

void MKPinAnnotationView::placedOnMap()
{
    if (placed_)
        return;
    placed_ = true;
    dropped_ = animatesDrop_;
}

void MKPinAnnotationView::prepareForReuse()
{
    objc::sendSuper<void, MKPinAnnotationView>(this, "prepareForReuse");
    placed_ = false;
    dropped_ = false;
}
