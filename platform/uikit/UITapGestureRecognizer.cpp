#include "uikit/UITapGestureRecognizer.h"

#include "foundation/NSString.h"
#include "runtime/TargetAction.h"
#include "uikit/UIView.h"

QX_DEFINE_CLASS(UITapGestureRecognizer)
{
    b.method<&UITapGestureRecognizer::initWithTargetAction>("initWithTarget:action:");
    b.method<&UITapGestureRecognizer::addTargetAction>("addTarget:action:");
    b.method<&UITapGestureRecognizer::view>("view");
    b.property<&UITapGestureRecognizer::enabled_>("enabled");
    b.method<&UITapGestureRecognizer::isEnabled>("isEnabled");
    b.property<&UITapGestureRecognizer::tapsRequired_>("numberOfTapsRequired");
}

UITapGestureRecognizer* UITapGestureRecognizer::initWithTargetAction(id target, SEL action)
{
    addTargetAction(target, action);
    return this;
}

void UITapGestureRecognizer::addTargetAction(id target, SEL action)
{
    if (target && action)
        targets_.push_back({ target, action });
}

void UITapGestureRecognizer::setView(UIView* view) { view_ = view; }

void UITapGestureRecognizer::recognizeTap()
{
    if (!enabled_ || tapsRequired_ != 1)
        return;
    // The action may remove this recognizer, or close the screen its view is on.
    Ref<UITapGestureRecognizer> keep(this);
    const auto targets = targets_;
    for (const auto& entry : targets) {
        if (id target = entry.target.get())
            objc_sendAction(entry.action, target, this);
    }
}
