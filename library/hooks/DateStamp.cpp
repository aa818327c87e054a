// The date stamp: a label across the bottom edge of every photo tile of the
// viewer, showing the date of the tile's photo while the stamp setting is
// on. The tile keeps no reference to its label; it is found by its tag in
// the tile's view and lives and dies with that view.

#include "hooks/Hooks.h"

#include "foundation/NSDate.h"
#include "foundation/NSNotificationCenter.h"
#include "parser/QXParser.h"
#include "runtime/Category.h"
#include "runtime/Hook.h"
#include "settings/Quorix.h"
#include "uikit/UIColor.h"
#include "uikit/UIView.h"
#include "util/DeviceIdiom.h"

namespace quorix::hooks {

namespace {

constexpr NSInteger kStampTag = 9527;

UIView* tileView(id tile) { return objc::send<UIView*>(tile, "view"); }

UIView* stampLabel(id tile) { return objc::send<UIView*>(tileView(tile), "viewWithTag:", kStampTag); }
constexpr float kBackgroundAlpha = 0.4f;

struct StampMetrics {
    CGFloat height;
    CGFloat fontSize;
};

// Phone, tablet, anything else.
StampMetrics metricsForDevice()
{
    if (QXDeviceIsPhone())
        return { 30, 15 };
    if (QXDeviceIsPad())
        return { 40, 17 };
    return { 0, 0 };
}

// Constants, so the load-time constructor may fill them whenever it runs.
constinit Class s_tileClass = nullptr;
constinit objc::Original<void()> s_viewDidLoad;
constinit objc::Original<void()> s_viewDidLayoutSubviews;
constinit objc::Original<void(id)> s_setPhoto;
constinit objc::Original<void()> s_viewDidUnload;
constinit objc::Original<void()> s_dealloc;



bool stampEnabled() { return objc::send<bool>(Quorix::sharedQuorix(), "stampEnabled"); }

NSObject* notificationCenter() { return objc::sendClass<NSObject*>(NSNotificationCenter::objcClass(), "defaultCenter"); }

void stopObserving(id tile)
{
    objc::send(notificationCenter(), "removeObserver:name:object:", tile,
        NSString::stringWithUTF8String(kStampSettingsChangedNotification), static_cast<id>(nullptr));
}

void viewDidLoad(id self, SEL cmd)
{
    s_viewDidLoad(self, cmd);
    if (!objc::isKind(self, s_tileClass))
        return;
    UIView* view = tileView(self);
    // A view that has its label already keeps it, and its one registration.
    if (objc::send<UIView*>(view, "viewWithTag:", kStampTag))
        return;

    const CGRect bounds = objc::send<CGRect>(view, "bounds");
    const StampMetrics metrics = metricsForDevice();
    auto label = objc::create(UILabel::objcClass(), "initWithFrame:", CGRectMake(0, 0, bounds.size.width, metrics.height));
    objc::send(label, "setTag:", kStampTag);
    objc::send(label, "setAutoresizingMask:", NSUInteger { UIViewAutoresizingFlexibleWidth });
    objc::send(label, "setBackgroundColor:", objc::sendClass<Ref<NSObject>>(UIColor::objcClass(), "colorWithWhite:alpha:", 0.0, double { kBackgroundAlpha }));
    objc::send(label, "setTextAlignment:", NSInteger { NSTextAlignmentCenter });
    objc::send(label, "setFont:", objc::sendClass<Ref<NSObject>>(UIFont::objcClass(), "boldSystemFontOfSize:", double { metrics.fontSize }));
    objc::send(label, "setTextColor:", objc::sendClass<Ref<NSObject>>(UIColor::objcClass(), "whiteColor"));
    objc::send(view, "addSubview:", label);
    if (!stampEnabled())
        objc::send(label, "setHidden:", true);

    objc::send(notificationCenter(), "addObserver:selector:name:object:", self, SEL("_zel_stampSettingsChanged:"),
        NSString::stringWithUTF8String(kStampSettingsChangedNotification), static_cast<id>(nullptr));
}

// After every layout pass the label sits on the bottom edge, in front.
void viewDidLayoutSubviews(id self, SEL cmd)
{
    s_viewDidLayoutSubviews(self, cmd);
    if (!objc::isKind(self, s_tileClass))
        return;
    UIView* label = stampLabel(self);
    if (!label)
        return;
    UIView* view = tileView(self);
    CGRect frame = objc::send<CGRect>(label, "frame");
    frame.origin.y = objc::send<CGRect>(view, "bounds").size.height - frame.size.height;
    objc::send(label, "setFrame:", frame);
    objc::send(view, "bringSubviewToFront:", label);
}

// The text follows every photo, shown or not, so turning the stamp on later
// shows the right date at once.
void setPhoto(id self, SEL cmd, id asset)
{
    s_setPhoto(self, cmd, asset);
    if (!objc::isKind(self, s_tileClass))
        return;
    UIView* label = stampLabel(self); // loads the view, and so makes the label
    auto* parser = objc::sendClass<NSObject*>(QXParser::objcClass(), "sharedQXParser");
    auto date = objc::send<Ref<NSDate>>(parser, "dateForAsset:", asset);
    Ref<NSString> text;
    if (date)
        text = objc::send<Ref<NSString>>(objc::send<NSObject*>(parser, "dateFormater"), "stringFromDate:", date);
    objc::send(label, "setText:", text ? text : ""_ns);
}

void viewDidUnload(id self, SEL cmd)
{
    s_viewDidUnload(self, cmd);
    if (objc::isKind(self, s_tileClass))
        stopObserving(self);
}

void tileDealloc(id self, SEL cmd)
{
    if (objc::isKind(self, s_tileClass))
        stopObserving(self);
    s_dealloc(self, cmd);
}

} // namespace

int installStampHooks()
{
    s_tileClass = objc_getClass("PLPhotoTileViewController");
    return objc::replaceMethods(s_tileClass, {
        { "viewDidLoad", objc::replacement(&viewDidLoad), s_viewDidLoad },
        { "viewDidLayoutSubviews", objc::replacement(&viewDidLayoutSubviews), s_viewDidLayoutSubviews },
        { "_setPhoto:", objc::replacement(&setPhoto), s_setPhoto },
        { "viewDidUnload", objc::replacement(&viewDidUnload), s_viewDidUnload },
        { "dealloc", objc::replacement(&tileDealloc), s_dealloc },
    });
}

} // namespace quorix::hooks

using quorix::hooks::stampLabel;

QX_CATEGORY(PLPhotoTileViewController, ZELExt)
{
    c.method("_zel_stampSettingsChanged:", +[](NSObject* self, id) {
        if (UIView* label = stampLabel(self))
            objc::send(label, "setHidden:", !objc::send<bool>(Quorix::sharedQuorix(), "stampEnabled"));
    });
}
