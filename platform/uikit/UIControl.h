#pragma once

#include "foundation/Forward.h"
#include "runtime/WeakRef.h"
#include "uikit/UIView.h"

#include <vector>

enum UIControlEvents : NSUInteger {
    UIControlEventTouchUpInside = 1 << 6, // 64
    UIControlEventValueChanged = 1 << 12, // 4096
};

// A view that sends actions to targets when events happen to it. Targets
// are weak: a target that has gone is passed over.
class UIControl : public UIView {
    QX_OBJECT(UIControl, UIView)
public:
    void addTargetActionForControlEvents(id target, SEL action, NSUInteger events);
    // A nil target removes the action for every target; a null action every
    // action of the target.
    void removeTargetActionForControlEvents(id target, SEL action, NSUInteger events);
    // Sends each action registered for any of the events, in registration order.
    void sendActionsForControlEvents(NSUInteger events);
    // The targets registered for an action and event, still alive.
    std::vector<id> targetsForActionAndEvent(SEL action, NSUInteger event) const;
    size_t targetActionCount() const { return targets_.size(); }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // What a tap by a person does: touch-up-inside for a button.
    virtual void tap();

    std::string role() const override { return "control"; }

protected:
    UIControl() = default;

private:
    struct TargetAction {
        objc::WeakRef<NSObject> target;
        const NSObject* identity;
        SEL action;
        NSUInteger events;
    };
    std::vector<TargetAction> targets_;
    bool enabled_ = true;
};

enum UIButtonType : NSInteger {
    UIButtonTypeCustom = 0,
    UIButtonTypeRoundedRect = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
};

class UIButton : public UIControl {
    QX_OBJECT(UIButton, UIControl)
public:
    static Ref<UIButton> buttonWithType(NSInteger type);

    NSInteger buttonType() const { return type_; }
    NSString* title() const { return title_; }
    void setTitle(NSString* title) { title_ = title; }

    std::string role() const override { return "button"; }

protected:
    UIButton() = default;

private:
    // What `buttonWithType:` makes of a new button: the type, the frame and,
    // for an info button, its accessibility label.
    void setUpWithType(NSInteger type);

    NSInteger type_ = UIButtonTypeCustom;
    Ref<NSString> title_;
};

// An on/off switch. Setting it from code sends nothing; a tap flips it and
// sends value-changed.
class UISwitch : public UIControl {
    QX_OBJECT(UISwitch, UIControl)
public:
    bool isOn() const { return on_; }
    void setOn(bool on) { on_ = on; }
    void tap() override;

    std::string role() const override { return "switch"; }

protected:
    UISwitch() = default;

private:
    bool on_ = false;
};
