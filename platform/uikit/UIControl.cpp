#include "uikit/UIControl.h"

#include "foundation/NSString.h"
#include "runtime/TargetAction.h"

#include <algorithm>

QX_DEFINE_CLASS(UIControl)
{
    b.method<&UIControl::addTargetActionForControlEvents>("addTarget:action:forControlEvents:");
    b.method<&UIControl::removeTargetActionForControlEvents>("removeTarget:action:forControlEvents:");
    b.method<&UIControl::sendActionsForControlEvents>("sendActionsForControlEvents:");
    b.property<&UIControl::enabled_>("enabled");
    b.method<&UIControl::isEnabled>("isEnabled");
}

QX_DEFINE_CLASS(UIButton)
{
    b.classMethod("buttonWithType:", [](Class cls, long type) -> id {
        auto button = Ref<NSObject>::adopt(objc::allocateInstance(cls));
        if (auto* typed = objc_cast<UIButton>(button.get()))
            typed->setUpWithType(type);
        return button.leak()->autorelease();
    });
    b.method<&UIButton::buttonType>("buttonType");
    b.method("setTitle:forState:", [](UIButton* self, NSString* title, long) { self->setTitle(title); });
    b.method("titleForState:", [](UIButton* self, long) { return self->title(); });
}

QX_DEFINE_CLASS(UISwitch)
{
    b.method<&UISwitch::isOn>("isOn");
    b.method<&UISwitch::setOn>("setOn:");
    b.method("setOn:animated:", [](UISwitch* self, bool on, bool) { self->setOn(on); });
}

void UIControl::addTargetActionForControlEvents(id target, SEL action, NSUInteger events)
{
    if (!action || !events)
        return;
    std::erase_if(targets_, [](const TargetAction& entry) { return entry.identity && !entry.target; });
    for (auto& entry : targets_) {
        if (entry.identity == target && entry.action == action) {
            entry.events |= events;
            return;
        }
    }
    targets_.push_back({ target, target, action, events });
}

void UIControl::removeTargetActionForControlEvents(id target, SEL action, NSUInteger events)
{
    for (auto& entry : targets_) {
        if ((!target || entry.identity == target) && (!action || entry.action == action))
            entry.events &= ~events;
    }
    std::erase_if(targets_, [](const TargetAction& entry) { return entry.events == 0; });
}

void UIControl::sendActionsForControlEvents(NSUInteger events)
{
    // Keep the control (and so its cell and screen) alive while the actions
    // run: an action may close the screen that owns this control.
    Ref<UIControl> keep(this);
    const auto snapshot = targets_;
    for (const auto& entry : snapshot) {
        if (!(entry.events & events))
            continue;
        if (id target = entry.target.get())
            objc_sendAction(entry.action, target, this);
    }
}

std::vector<id> UIControl::targetsForActionAndEvent(SEL action, NSUInteger event) const
{
    std::vector<id> found;
    for (const auto& entry : targets_) {
        if (entry.action == action && (entry.events & event)) {
            if (id target = entry.target.get())
                found.push_back(target);
        }
    }
    return found;
}

void UIControl::tap() { sendActionsForControlEvents(UIControlEventTouchUpInside); }

Ref<UIButton> UIButton::buttonWithType(NSInteger type)
{
    auto button = make_object<UIButton>();
    button->setUpWithType(type);
    return button;
}

void UIButton::setUpWithType(NSInteger type)
{
    type_ = type;
    const bool info = type == UIButtonTypeInfoLight || type == UIButtonTypeInfoDark;
    initWithFrame(info ? CGRectMake(0, 0, 18, 19) : CGRectZero);
    // The info button shows an icon only; this is what it is called.
    if (info)
        setAccessibilityLabel(NSString::stringWithUTF8String("Info").get());
}

void UISwitch::tap()
{
    Ref<UISwitch> keep(this);
    on_ = !on_;
    sendActionsForControlEvents(UIControlEventValueChanged);
}
