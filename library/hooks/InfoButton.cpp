// The Info button in the host viewer's bars, the presentation of the info
// screen (modal on a phone, a popover from the button on a tablet), the
// dismissal of that popover, and the viewer controllers' teardown.
//
// There is one Info item and at most one Info popover per process, both
// kept by the settings store so that every viewer controller reaches the
// same ones. Host classes are reached by name and every host call is a
// message.

#include "hooks/Hooks.h"

#include "foundation/NSArray.h"
#include "foundation/NSBundle.h"
#include "runtime/Category.h"
#include "runtime/Hook.h"
#include "screens/QXQuorixViewController.h"
#include "settings/Quorix.h"
#include "uikit/UIApplication.h"
#include "uikit/UIColor.h"
#include "uikit/UIControl.h"
#include "util/DeviceIdiom.h"

#include <optional>
#include <span>
#include <string_view>

namespace quorix::hooks {

namespace {

// Everything the installation touches is built when it is asked for or
// initialised as a constant: the load-time constructor may run before this
// file's other static initialisers.
SEL showAction() { return "_zel_ShowQuorix:"; }
constexpr NSUInteger kArrowUp = UIPopoverArrowDirectionUp;

// The host's delete item, in front of which the Info item goes.
using ActionNames = std::span<const std::string_view>;
constexpr std::string_view kOlderDeleteActions[] = { "deleteImageClicked:" };
constexpr std::string_view kVersion7DeleteActions[] = { "_deleteCurrentItem:", "_removeCurrentItem:" };

constinit Class s_scrollerClass = nullptr;
constinit Class s_browserClass = nullptr;
constinit objc::Original<void(objc::Value)> s_updateToolbar;
constinit objc::Original<void()> s_scrollerDealloc;
constinit objc::Original<void(objc::Value)> s_updateBarItems;
constinit objc::Original<void()> s_browserDealloc;
constinit objc::Original<bool()> s_dismissPopovers;
constinit objc::Original<void()> s_tabletViewerDealloc;
constinit objc::Original<id(objc::Value)> s_navigationButtonItems;

Quorix* store() { return Quorix::sharedQuorix(); }

NSObject* infoItem() { return objc::send<NSObject*>(store(), "infoItem"); }

NSObject* infoPopover() { return objc::send<NSObject*>(store(), "popoverController"); }

bool infoPopoverIsVisible() { return objc::send<bool>(infoPopover(), "isPopoverVisible"); }

// The first item whose action is one of `names`. Items that do not answer
// `action` are passed over.
std::optional<NSUInteger> findAnchor(const NSArray* items, ActionNames names)
{
    for (NSUInteger index = 0; index < items->count(); ++index) {
        NSObject* item = items->objectAtIndex(index);
        if (!item || !item->respondsToSelector("action"))
            continue;
        const std::string name = objc::send<SEL>(item, "action").name();
        for (std::string_view anchor : names) {
            if (name == anchor)
                return index;
        }
    }
    return std::nullopt;
}

bool holds(const NSArray* items, const NSObject* item)
{
    for (NSUInteger index = 0; index < items->count(); ++index) {
        if (items->objectAtIndex(index) == item)
            return true;
    }
    return false;
}

Ref<NSObject> spacer(NSInteger systemItem)
{
    return objc::create(UIBarButtonItem::objcClass(), "initWithBarButtonSystemItem:target:action:", systemItem, static_cast<id>(nullptr), SEL());
}

// A phone's Info item: the light info button as a bar item's custom view.
Ref<NSObject> makeButtonItem(id controller)
{
    auto button = objc::sendClass<Ref<NSObject>>(UIButton::objcClass(), "buttonWithType:", NSInteger { UIButtonTypeInfoLight });
    objc::send(button, "addTarget:action:forControlEvents:", controller, showAction(), NSUInteger { UIControlEventTouchUpInside });
    return objc::create(UIBarButtonItem::objcClass(), "initWithCustomView:", button);
}

// Taps of the Info item go to `controller`, whichever controller made it.
void retarget(NSObject* item, id controller)
{
    if (auto* button = objc_cast<UIControl>(objc::send<NSObject*>(item, "customView"))) {
        objc::send(button, "removeTarget:action:forControlEvents:", static_cast<id>(nullptr), showAction(), NSUInteger { UIControlEventTouchUpInside });
        objc::send(button, "addTarget:action:forControlEvents:", controller, showAction(), NSUInteger { UIControlEventTouchUpInside });
    } else {
        objc::send(item, "setTarget:", controller);
    }
}

// A phone's toolbar: the Info button and a flexible space in front of the
// delete item, or both at the end when there is none.
void placeInToolbar(id controller, ActionNames anchors)
{
    if (!infoItem())
        objc::send(store(), "setInfoItem:", makeButtonItem(controller));
    NSObject* item = infoItem();
    retarget(item, controller);

    auto* items = objc::send<NSArray*>(controller, "toolbarItems");
    if (!items || holds(items, item))
        return;
    auto list = NSMutableArray::arrayWithArray(items);
    if (auto anchor = findAnchor(list.get(), anchors)) {
        list->insertObjectAtIndex(item, *anchor);
        list->insertObjectAtIndex(spacer(UIBarButtonSystemItemFlexibleSpace), *anchor + 1);
    } else {
        list->addObject(spacer(UIBarButtonSystemItemFlexibleSpace));
        list->addObject(item);
    }
    objc::send(controller, "setToolbarItems:", list);
}

// The version 7 tablet's navigation bar: a fixed space and the titled Info
// item after the host's right-hand items, set again on every rebuild.
void placeInNavigationBar(id controller)
{
    auto* navigationItem = objc::send<NSObject*>(controller, "navigationItem");
    auto* rightItems = objc::send<NSArray*>(navigationItem, "rightBarButtonItems");
    if (!infoItem()) {
        // The host's own word for Info, from its default strings table.
        auto title = objc::send<Ref<NSString>>(NSBundle::mainBundle(), "localizedStringForKey:value:table:", "Info"_ns, ""_ns, static_cast<id>(nullptr));
        objc::send(store(), "setInfoItem:",
            objc::create(UIBarButtonItem::objcClass(), "initWithTitle:style:target:action:", title, NSInteger { UIBarButtonItemStylePlain }, controller, showAction()));
    }
    NSObject* item = infoItem();
    retarget(item, controller);
    auto list = rightItems ? NSMutableArray::arrayWithArray(rightItems) : NSMutableArray::array();
    if (!rightItems || !holds(rightItems, item)) {
        list->addObject(spacer(UIBarButtonSystemItemFixedSpace));
        list->addObject(item);
    }
    objc::send(navigationItem, "setRightBarButtonItems:", list);
}

Ref<NSObject> makeInfoNavigation(id controller)
{
    auto screen = objc::create(QXQuorixViewController::objcClass(), "initWithStyle:", NSInteger { UITableViewStyleGrouped });
    objc::send(screen, "setAsset:", objc::send<NSObject*>(controller, "currentAsset"));
    return objc::create(UINavigationController::objcClass(), "initWithRootViewController:", screen);
}

void presentOnPhone(NSObject* controller)
{
    objc::send(controller, "presentModalViewController:animated:", makeInfoNavigation(controller), true);
}

void presentInPopover(Class popoverClass, NSObject* controller, bool clearPassthrough)
{
    auto popover = objc::create(popoverClass, "initWithContentViewController:", makeInfoNavigation(controller));
    if (!popover)
        return;
    if (clearPassthrough)
        objc::send(popover, "setPassthroughViews:", static_cast<id>(nullptr));
    objc::send(store(), "setPopoverController:", popover);
    objc::send(popover, "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:", infoItem(), kArrowUp, true);
}

void forgetViewerObjects(bool stampView)
{
    objc::send(store(), "setInfoItem:", static_cast<id>(nullptr));
    objc::send(store(), "setPopoverController:", static_cast<id>(nullptr));
    if (stampView)
        objc::send(store(), "setStampView:", static_cast<id>(nullptr));
}

// The older phone viewer.

void updateToolbar(id self, SEL cmd, objc::Value argument)
{
    s_updateToolbar(self, cmd, argument);
    if (objc::isKind(self, s_scrollerClass))
        placeInToolbar(self, kOlderDeleteActions);
}

void scrollerDealloc(id self, SEL cmd)
{
    if (objc::isKind(self, s_scrollerClass))
        forgetViewerObjects(true);
    s_scrollerDealloc(self, cmd);
}

// The version 7 viewer.

void updateBarItems(id self, SEL cmd, objc::Value animated)
{
    s_updateBarItems(self, cmd, animated);
    if (!objc::isKind(self, s_browserClass))
        return;
    if (QXDeviceIsPhone())
        placeInToolbar(self, kVersion7DeleteActions);
    else if (QXDeviceIsPad())
        placeInNavigationBar(self);
}

void browserDealloc(id self, SEL cmd)
{
    if (objc::isKind(self, s_browserClass))
        forgetViewerObjects(true);
    s_browserDealloc(self, cmd);
}

// The older tablet viewer, which is the host application's own class.

id navigationButtonItems(id self, SEL cmd, objc::Value mode)
{
    id result = s_navigationButtonItems(self, cmd, mode);
    if (!infoItem()) {
        auto image = objc::sendClass<Ref<NSObject>>(UIImage::objcClass(), "kitImageNamed:", "UIButtonBarInfo.png"_ns);
        objc::send(store(), "setInfoItem:",
            objc::create(UIBarButtonItem::objcClass(), "initWithImage:style:target:action:", image, NSInteger { UIBarButtonItemStyleBordered }, self, showAction()));
    }
    NSObject* item = infoItem();
    retarget(item, self);
    auto* items = objc_cast<NSArray>(result);
    if (!items || holds(items, item))
        return result;
    auto list = NSMutableArray::arrayWithArray(items);
    if (auto anchor = findAnchor(list.get(), kOlderDeleteActions))
        list->insertObjectAtIndex(item, *anchor);
    else
        list->addObject(item);
    // The caller keeps what it is given, as it would the host's own list.
    return list.leak()->autorelease();
}

void tabletViewerDealloc(id self, SEL cmd)
{
    forgetViewerObjects(false);
    s_tabletViewerDealloc(self, cmd);
}

void showOnOlderTablet(id self, SEL, id)
{
    // A tap that closed one of the host's popovers does only that.
    if (objc::send<bool>(self, "_dismissPopovers") || infoPopoverIsVisible())
        return;
    presentInPopover(UIPopoverController::objcClass(), self, false);
}

bool dismissPopovers(id self, SEL cmd)
{
    const bool hostDismissed = s_dismissPopovers(self, cmd);
    if (!infoPopoverIsVisible())
        return hostDismissed;
    objc::send(infoPopover(), "dismissPopoverAnimated:", true);
    return true;
}

} // namespace

int installVersion7ViewerHooks()
{
    s_browserClass = objc_getClass("PUPhotoBrowserController");
    return objc::replaceMethods(s_browserClass, {
        { "_updateBarItemsAnimated:", objc::replacement(&updateBarItems), s_updateBarItems },
        { "dealloc", objc::replacement(&browserDealloc), s_browserDealloc },
    });
}

int installOlderPhoneViewerHooks()
{
    s_scrollerClass = objc_getClass("PLPhotoScrollerViewController");
    return objc::replaceMethods(s_scrollerClass, {
        { "dealloc", objc::replacement(&scrollerDealloc), s_scrollerDealloc },
        { "_updateToolbar:", objc::replacement(&updateToolbar), s_updateToolbar },
    });
}

int installOlderTabletViewerHooks()
{
    int installed = objc::replaceMethods(objc_getClass("PLPhotoBrowserController"), {
        { "_dismissPopovers", objc::replacement(&dismissPopovers), s_dismissPopovers },
    });
    installed += objc::replaceMethods(objc_getClass("WPhotoViewController"), {
        { "dealloc", objc::replacement(&tabletViewerDealloc), s_tabletViewerDealloc },
        { "_navigationButtonItemsForMode:", objc::replacement(&navigationButtonItems), s_navigationButtonItems },
    });
    objc::addMethod(NSClassFromString("WPhotoViewController"_ns.get()), showAction(), objc::replacement(&showOnOlderTablet), "v@");
    return installed;
}

} // namespace quorix::hooks

using namespace quorix::hooks;

QX_CATEGORY(PLPhotoScrollerViewController, ZELExt)
{
    c.method("_zel_ShowQuorix:", +[](NSObject* self, id) { presentOnPhone(self); });
}

QX_CATEGORY(PUPhotoBrowserController, ZELExt)
{
    c.method("_zel_ShowQuorix:", +[](NSObject* self, id sender) {
        if (QXDeviceIsPhone())
            objc::send(self, "__zel_showQuorix_Phone:", sender);
        else if (QXDeviceIsPad())
            objc::send(self, "__zel_showQuorix_Pad:", sender);
    });
    c.method("__zel_showQuorix_Phone:", +[](NSObject* self, id) { presentOnPhone(self); });
    c.method("__zel_showQuorix_Pad:", +[](NSObject* self, id) {
        if (infoPopoverIsVisible())
            return;
        presentInPopover(objc_getClass("PUPopoverController"), self, true);
    });
}
