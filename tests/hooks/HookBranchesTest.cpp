// The library's replacements in host classes made only for these tests, for
// the branches the stand-in host never takes: a bar list that already holds
// the Info item or is absent altogether, two live viewer controllers, methods
// a class only inherits (so a replacement also reaches a sibling class, whose
// class test fails), the viewer controllers' teardown, and the stamp's
// observer registrations. The test classes register after the library's
// load-time constructor has run, so the tests install each group of
// replacements themselves, once.

#include "foundation/NSArray.h"
#include "foundation/NSNotificationCenter.h"
#include "foundation/NSNull.h"
#include "hooks/Hooks.h"
#include "runtime/AutoreleasePool.h"
#include "settings/Quorix.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"
#include "uikit/UIDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the version 7 viewer and a sibling class inherit: bar rebuilds that
// leave the bars as they are, teardown, and the presentation a phone's Info
// tap asks for, recorded.
class TSBrowserBase : public UIViewController {
    QX_OBJECT(TSBrowserBase, UIViewController)
public:
    Ref<UIViewController> presented;
    void updateBarItemsAnimated(bool) { }
    id currentAsset() const { return nullptr; }
    void present(UIViewController* controller, bool) { presented = controller; }

protected:
    TSBrowserBase() = default;
};

} // namespace

// The host's names: the library finds these classes by them.
class PUPhotoBrowserController : public TSBrowserBase {
    QX_OBJECT(PUPhotoBrowserController, TSBrowserBase)
protected:
    PUPhotoBrowserController() = default;
};

class PUPopoverController : public UIPopoverController {
    QX_OBJECT(PUPopoverController, UIPopoverController)
protected:
    PUPopoverController() = default;
};

// The older phone viewer: its rebuild leaves the toolbar as the test set it.
class PLPhotoScrollerViewController : public TSBrowserBase {
    QX_OBJECT(PLPhotoScrollerViewController, TSBrowserBase)
public:
    void updateToolbar(bool) { }

protected:
    PLPhotoScrollerViewController() = default;
};

// The older tablet browser: a host popover is "open" until `_dismissPopovers`.
class PLPhotoBrowserController : public TSBrowserBase {
    QX_OBJECT(PLPhotoBrowserController, TSBrowserBase)
public:
    bool hostPopoverOpen = false;
    bool dismissPopovers()
    {
        const bool was = hostPopoverOpen;
        hostPopoverOpen = false;
        return was;
    }

protected:
    PLPhotoBrowserController() = default;
};

// The application's tablet viewer: its bar list is whatever the test gives it.
class WPhotoViewController : public PLPhotoBrowserController {
    QX_OBJECT(WPhotoViewController, PLPhotoBrowserController)
public:
    Ref<NSArray> items;
    NSArray* navigationButtonItemsForMode(NSInteger) const { return items; }

protected:
    WPhotoViewController() = default;
};

// A photo tile that only inherits viewDidLayoutSubviews.
class PLPhotoTileViewController : public UIViewController {
    QX_OBJECT(PLPhotoTileViewController, UIViewController)
protected:
    PLPhotoTileViewController() = default;
};

namespace {

// Another viewer of the same family, which no replacement is meant for.
class TSOtherBrowser : public TSBrowserBase {
    QX_OBJECT(TSOtherBrowser, TSBrowserBase)
protected:
    TSOtherBrowser() = default;
};

} // namespace

QX_DEFINE_CLASS(TSBrowserBase)
{
    b.method<&TSBrowserBase::updateBarItemsAnimated>("_updateBarItemsAnimated:");
    b.method<&TSBrowserBase::currentAsset>("currentAsset");
    b.method<&TSBrowserBase::present>("presentModalViewController:animated:");
    b.method("dealloc", [](TSBrowserBase* self) { objc::sendSuper(self, "dealloc"); });
}
QX_DEFINE_CLASS(PUPhotoBrowserController) { }
QX_DEFINE_CLASS(PUPopoverController) { }
QX_DEFINE_CLASS(PLPhotoScrollerViewController)
{
    b.method<&PLPhotoScrollerViewController::updateToolbar>("_updateToolbar:");
    b.method("dealloc", [](PLPhotoScrollerViewController* self) { objc::sendSuper(self, "dealloc"); });
}
QX_DEFINE_CLASS(PLPhotoBrowserController)
{
    b.method<&PLPhotoBrowserController::dismissPopovers>("_dismissPopovers");
}
QX_DEFINE_CLASS(WPhotoViewController)
{
    b.method<&WPhotoViewController::navigationButtonItemsForMode>("_navigationButtonItemsForMode:");
    b.method("dealloc", [](WPhotoViewController* self) { objc::sendSuper(self, "dealloc"); });
}
QX_DEFINE_CLASS(PLPhotoTileViewController)
{
    b.method("_setPhoto:", [](PLPhotoTileViewController*, id) { });
    b.method("viewDidLoad", [](PLPhotoTileViewController* self) { objc::sendSuper(self, "viewDidLoad"); });
    b.method("viewDidUnload", [](PLPhotoTileViewController* self) { objc::sendSuper(self, "viewDidUnload"); });
    b.method("dealloc", [](PLPhotoTileViewController* self) { objc::sendSuper(self, "dealloc"); });
}
QX_DEFINE_CLASS(TSOtherBrowser) { }

namespace {

using namespace quorix::hooks;

constexpr NSInteger kStampTag = 9527;
constexpr const char* kStampNotification = "StampSettingsChangedNotification";

// The methods each group replaces or adds, by the class the library names.
struct Hooked {
    const char* className;
    const char* selector;
    bool added = false; // the library's own method, which the host lacks
};
constexpr Hooked kHooked[] = {
    { "PUPhotoBrowserController", "_updateBarItemsAnimated:" }, // inherited
    { "PUPhotoBrowserController", "dealloc" }, // inherited
    { "PLPhotoScrollerViewController", "dealloc" },
    { "PLPhotoScrollerViewController", "_updateToolbar:" },
    { "PLPhotoBrowserController", "_dismissPopovers" },
    { "WPhotoViewController", "dealloc" },
    { "WPhotoViewController", "_navigationButtonItemsForMode:" },
    { "WPhotoViewController", "_zel_ShowQuorix:", true }, // the Info tap's action
    { "PLPhotoTileViewController", "viewDidLoad" },
    { "PLPhotoTileViewController", "viewDidLayoutSubviews" }, // inherited
    { "PLPhotoTileViewController", "_setPhoto:" },
    { "PLPhotoTileViewController", "viewDidUnload" },
    { "PLPhotoTileViewController", "dealloc" },
};

// What the runtime answered for each hooked method before the replacements
// went in (empty where the class had no such method).
struct Installation {
    std::vector<IMP> before;
};

// Each group once per process: a second installation would save the first
// replacement as the host's implementation.
const Installation& installed()
{
    static const Installation installation = [] {
        Installation made;
        for (const auto& hooked : kHooked) {
            Class cls = objc_getClass(hooked.className);
            made.before.push_back(class_respondsToSelector(cls, hooked.selector) ? class_getMethodImplementation(cls, hooked.selector) : IMP {});
        }
        installVersion7ViewerHooks();
        installOlderPhoneViewerHooks();
        installOlderTabletViewerHooks();
        installStampHooks();
        return made;
    }();
    return installation;
}

Ref<UIBarButtonItem> item(const char* title, SEL action)
{
    return UIBarButtonItem::itemWithTitle(NSString::stringWithUTF8String(title).get(), UIBarButtonItemStylePlain, nullptr, action);
}

std::vector<std::string> texts(const NSArray* items)
{
    std::vector<std::string> list;
    if (!items)
        return list;
    for (const auto& object : *items) {
        auto* barItem = objc_cast<UIBarButtonItem>(object.get());
        list.push_back(!barItem ? "(gap)" : barItem->customView() ? "Info" : barItem->isSpace() ? "(space)" : barItem->visibleText());
    }
    return list;
}

Quorix* store() { return Quorix::sharedQuorix(); }

class HookBranches : public ::testing::Test {
protected:
    void SetUp() override
    {
        (void)installed();
        UIApplication::sharedApplication()->reset();
        store()->setInfoItem(nullptr);
        store()->setPopoverController(nullptr);
        store()->setStampView(nullptr);
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    }
    void TearDown() override
    {
        UIApplication::sharedApplication()->reset();
        UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    }
    AutoreleasePool pool;
};

// Every hooked class answers each hooked method, its own or inherited, with
// an implementation other than the host's; the action is added where there
// was none. A method only inherited is replaced where it is defined, so a
// sibling class of the same family answers the replacement too (which then
// leaves it alone by its class test, as the tests below show).
TEST_F(HookBranches, InstallOnMethodsTheClassesOnlyInherit)
{
    for (size_t i = 0; i < std::size(kHooked); ++i) {
        const auto& [className, selector, added] = kHooked[i];
        Class cls = objc_getClass(className);
        ASSERT_TRUE(class_respondsToSelector(cls, selector)) << className << " " << selector;
        EXPECT_NE(class_getMethodImplementation(cls, selector), installed().before[i]) << className << " " << selector;
        EXPECT_EQ(static_cast<bool>(installed().before[i]), !added) << className << " " << selector;
    }
    EXPECT_EQ(class_getMethodImplementation(objc_getClass("TSOtherBrowser"), "_updateBarItemsAnimated:"),
        class_getMethodImplementation(objc_getClass("PUPhotoBrowserController"), "_updateBarItemsAnimated:"));
    EXPECT_FALSE(class_respondsToSelector(objc_getClass("TSOtherBrowser"), "_zel_ShowQuorix:"));
}

// Version 7 phone: the first rebuild inserts Info and a space before the
// delete item; a rebuild whose host list still holds Info changes nothing but
// the target; a second live viewer takes the same item, and its taps; the
// sibling class that reaches the inherited replacement is left alone; the
// viewer's teardown empties the store, and the next viewer gets a new item.
TEST_F(HookBranches, Version7PhoneBarsFollowTheViewerBeingRebuilt)
{
    auto first = objc::create<PUPhotoBrowserController>("init");
    first->setToolbarItems(arrayOfBarItems({ item("Share", "_share:"), item("Delete", "_deleteCurrentItem:") }).get());
    first->send("_updateBarItemsAnimated:", true);
    EXPECT_EQ(texts(first->toolbarItems()), (std::vector<std::string> { "Share", "Info", "(space)", "Delete" }));
    Ref<NSObject> info(objc::send<NSObject*>(store(), "infoItem"));
    ASSERT_TRUE(info);
    first->send("_updateBarItemsAnimated:", true);
    EXPECT_EQ(first->toolbarItems()->count(), 4u) << "the list already held Info";

    auto second = objc::create<PUPhotoBrowserController>("init");
    second->setToolbarItems(arrayOfBarItems({ item("Delete", "_removeCurrentItem:") }).get());
    second->send("_updateBarItemsAnimated:", true);
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), info.get());
    EXPECT_EQ(texts(second->toolbarItems()), (std::vector<std::string> { "Info", "(space)", "Delete" }));
    objc_cast<UIBarButtonItem>(info.get())->tap();
    EXPECT_TRUE(second->presented) << "Info taps go to the viewer rebuilt last";
    EXPECT_FALSE(first->presented);

    auto other = objc::create<TSOtherBrowser>("init");
    other->setToolbarItems(arrayOfBarItems({ item("Delete", "_deleteCurrentItem:") }).get());
    other->send("_updateBarItemsAnimated:", true);
    EXPECT_EQ(texts(other->toolbarItems()), (std::vector<std::string> { "Delete" }));
    other = nullptr;
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), info.get()) << "another class's teardown keeps the item";

    store()->setStampView(UIView::viewWithFrame(CGRectZero).get());
    second = nullptr;
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), nullptr);
    EXPECT_EQ(objc::send<NSObject*>(store(), "stampView"), nullptr);
    first->send("_updateBarItemsAnimated:", true);
    EXPECT_NE(objc::send<NSObject*>(store(), "infoItem"), info.get()) << "a new item after the teardown";
}

// Version 7 tablet: absent right-hand items count as an empty list; a
// rebuild that kept Info sets the same items again; a teardown while the
// Info popover shows drops it.
TEST_F(HookBranches, Version7TabletAppendsToAbsentItemsAndTeardownDropsThePopover)
{
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto viewer = objc::create<PUPhotoBrowserController>("init");
    UIApplication::sharedApplication()->setRootViewController(viewer);
    viewer->send("_updateBarItemsAnimated:", true);
    UINavigationItem* bar = viewer->navigationItem();
    ASSERT_EQ(bar->rightItems().size(), 2u);
    EXPECT_TRUE(bar->rightItems()[0]->isSpace());
    EXPECT_EQ(bar->rightItems()[1].get(), objc::send<NSObject*>(store(), "infoItem"));
    viewer->send("_updateBarItemsAnimated:", true);
    EXPECT_EQ(bar->rightItems().size(), 2u);

    bar->rightItems()[1]->tap();
    auto* popover = objc_cast<PUPopoverController>(objc::send<NSObject*>(store(), "popoverController"));
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isPopoverVisible());
    Ref<PUPopoverController> keep(popover);
    UIApplication::sharedApplication()->setRootViewController(nullptr);
    viewer = nullptr;
    EXPECT_EQ(objc::send<NSObject*>(store(), "popoverController"), nullptr);
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), nullptr);
}

// Older phone: a viewer without a toolbar list gets none; one with a list
// gets Info and a space before its delete item; its teardown empties the store.
TEST_F(HookBranches, OlderPhoneLeavesAnAbsentToolbarAbsent)
{
    auto viewer = objc::create<PLPhotoScrollerViewController>("init");
    viewer->send("_updateToolbar:", false);
    EXPECT_EQ(viewer->toolbarItems(), nullptr);
    viewer->setToolbarItems(arrayOfBarItems({ item("A", "a:"), item("Delete", "deleteImageClicked:"), item("B", "b:") }).get());
    viewer->send("_updateToolbar:", false);
    EXPECT_EQ(texts(viewer->toolbarItems()), (std::vector<std::string> { "A", "Info", "(space)", "Delete", "B" }));
    store()->setStampView(UIView::viewWithFrame(CGRectZero).get());
    viewer = nullptr;
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), nullptr);
    EXPECT_EQ(objc::send<NSObject*>(store(), "stampView"), nullptr);
}

// Older tablet: an absent host list comes back absent, a list holding Info
// comes back as it is, a gap that does not answer `action` is passed over;
// Info first closes the host's popover, then opens its own, then closes it
// through the replaced `_dismissPopovers`; teardown keeps the stamp view.
TEST_F(HookBranches, OlderTabletPassesTheHostListsThroughAndClosesPopoversFirst)
{
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
    auto viewer = objc::create<WPhotoViewController>("init");
    UIApplication::sharedApplication()->setRootViewController(viewer);
    EXPECT_EQ(viewer->send<NSArray*>("_navigationButtonItemsForMode:", NSInteger { 0 }), nullptr);

    viewer->items = NSArray::arrayWithObjects({ Ref<NSObject>(NSNull::null()), Ref<NSObject>(item("Delete", "deleteImageClicked:")) });
    auto* withInfo = viewer->send<NSArray*>("_navigationButtonItemsForMode:", NSInteger { 0 });
    EXPECT_EQ(texts(withInfo), (std::vector<std::string> { "(gap)", "UIButtonBarInfo.png", "Delete" }));
    viewer->items = withInfo;
    EXPECT_EQ(viewer->send<NSArray*>("_navigationButtonItemsForMode:", NSInteger { 0 }), withInfo);

    auto* info = objc_cast<UIBarButtonItem>(objc::send<NSObject*>(store(), "infoItem"));
    ASSERT_TRUE(info);
    viewer->navigationItem()->setRightBarButtonItem(info);
    viewer->hostPopoverOpen = true;
    info->tap();
    EXPECT_FALSE(viewer->hostPopoverOpen);
    EXPECT_EQ(objc::send<NSObject*>(store(), "popoverController"), nullptr) << "the tap only closed the host's popover";
    info->tap();
    auto* popover = objc_cast<UIPopoverController>(objc::send<NSObject*>(store(), "popoverController"));
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_TRUE(viewer->send<bool>("_dismissPopovers")) << "the replacement answers for the info popover";
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_FALSE(viewer->send<bool>("_dismissPopovers"));

    auto stampView = UIView::viewWithFrame(CGRectZero);
    store()->setStampView(stampView.get());
    UIApplication::sharedApplication()->setRootViewController(nullptr);
    viewer = nullptr;
    EXPECT_EQ(objc::send<NSObject*>(store(), "infoItem"), nullptr);
    EXPECT_EQ(objc::send<NSObject*>(store(), "popoverController"), nullptr);
    EXPECT_EQ(objc::send<NSObject*>(store(), "stampView"), stampView.get());
}

// The tile registers once per loaded view and removes its registration when
// the view unloads and when it goes; the layout replacement, installed on
// the method the tile inherits, moves only a tile's label.
TEST_F(HookBranches, ATileRegistersOncePerLoadedViewAndUnregistersWhenItGoes)
{
    auto* center = NSNotificationCenter::defaultCenter();
    auto tile = objc::create<PLPhotoTileViewController>("init");
    const NSObject* identity = tile.get();
    tile->view()->setFrame(CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(center->registrationCount(identity, kStampNotification), 1u);
    tile->send("viewDidLoad");
    EXPECT_EQ(center->registrationCount(identity, kStampNotification), 1u) << "a view with its label registers no more";

    tile->send("viewDidLayoutSubviews");
    UIView* label = tile->view()->viewWithTag(kStampTag);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->frame(), CGRectMake(0, 450, 320, 30));
    auto other = objc::create<UIViewController>("init");
    auto foreign = UIView::viewWithFrame(CGRectMake(0, 0, 10, 10));
    foreign->setTag(kStampTag);
    other->view()->setFrame(CGRectMake(0, 0, 320, 480));
    other->view()->addSubview(foreign);
    other->send("viewDidLayoutSubviews");
    EXPECT_EQ(foreign->frame(), CGRectMake(0, 0, 10, 10)) << "not a tile: the host's layout only";

    tile->send("didReceiveMemoryWarning");
    ASSERT_FALSE(tile->isViewLoaded());
    EXPECT_EQ(center->registrationCount(identity, kStampNotification), 0u);
    (void)tile->view();
    EXPECT_EQ(center->registrationCount(identity, kStampNotification), 1u);
    tile = nullptr;
    EXPECT_EQ(center->registrationCount(identity, kStampNotification), 0u);
}

} // namespace
