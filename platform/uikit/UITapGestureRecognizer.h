#pragma once

#include "runtime/ClassDefinition.h"
#include "runtime/WeakRef.h"
#include "uikit/Forward.h"

#include <vector>


// Recognizes a person's single tap on the view it is added to and sends its
// targets their action, with the recognizer as the one argument. The view
// owns its recognizers; a recognizer's link back to its view, like its links
// to its targets, is weak.
class UITapGestureRecognizer : public NSObject {
    QX_OBJECT(UITapGestureRecognizer, NSObject)
public:
    UITapGestureRecognizer* initWithTargetAction(id target, SEL action);
    void addTargetAction(id target, SEL action);

    UIView* view() const { return view_.get(); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    NSUInteger numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(NSUInteger taps) { tapsRequired_ = taps; }

    // A single tap on the view: when enabled and asking for one tap, every
    // target still alive gets its action, as a message.
    void recognizeTap();

    // Set by the view that adds or removes the recognizer.
    void setView(UIView* view);

protected:
    UITapGestureRecognizer() = default;

private:
    struct TargetAction {
        objc::WeakRef<NSObject> target;
        SEL action;
    };
    std::vector<TargetAction> targets_;
    objc::WeakRef<UIView> view_;
    bool enabled_ = true;
    NSUInteger tapsRequired_ = 1;
};
