#include "mapkit/MKPointAnnotation.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(MKPointAnnotation)
{
    b.property<&MKPointAnnotation::coordinate_>("coordinate");
    b.property<&MKPointAnnotation::title_>("title", objc::Copy);
    b.property<&MKPointAnnotation::subtitle_>("subtitle", objc::Copy);
}

Ref<MKPointAnnotation> MKPointAnnotation::annotation() { return make_object<MKPointAnnotation>(); }
