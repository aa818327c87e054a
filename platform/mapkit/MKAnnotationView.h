#pragma once

#include "foundation/Forward.h"
#include "uikit/UIView.h"

// The view a map shows for one annotation. The map places it so that its
// bottom centre sits on the annotation's point, and keeps it in a reuse queue
// under its reuse identifier once its annotation leaves the map.
class MKAnnotationView : public UIView {
    QX_OBJECT(MKAnnotationView, UIView)
public:
    MKAnnotationView* initWithAnnotationReuseIdentifier(id annotation, NSString* reuseIdentifier);

    id annotation() const { return annotation_; }
    void setAnnotation(id annotation) { annotation_ = annotation; }
    NSString* reuseIdentifier() const { return reuseIdentifier_; }
    // Sent when the map hands the view out of its reuse queue.
    void prepareForReuse() { }

    std::string role() const override { return "annotation"; }

protected:
    MKAnnotationView() = default;

private:
    Ref<NSObject> annotation_;
    Ref<NSString> reuseIdentifier_;
};
