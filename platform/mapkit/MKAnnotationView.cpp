#include "mapkit/MKAnnotationView.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(MKAnnotationView)
{
    b.method<&MKAnnotationView::initWithAnnotationReuseIdentifier>("initWithAnnotation:reuseIdentifier:");
    b.property<&MKAnnotationView::annotation_>("annotation");
    b.property<&MKAnnotationView::reuseIdentifier_>("reuseIdentifier", objc::ReadOnly);
    b.method<&MKAnnotationView::prepareForReuse>("prepareForReuse");
}

MKAnnotationView* MKAnnotationView::initWithAnnotationReuseIdentifier(id annotation, NSString* reuseIdentifier)
{
    annotation_ = annotation;
    reuseIdentifier_ = reuseIdentifier;
    return this;
}
