// A library for the viewer's dynamic-libraries folder, built twice under two
// names. Like Quorix, it links the platform only and reaches the host's
// classes by name when its constructor runs. It adds an item titled with its
// name to every viewer's bar by replacing the generation's bar method, and
// says what it sees on standard output, one line each, "[NAME] ...":
// that it loaded, which host classes exist, the title the host's own strings
// table gives "Info", taps on its item, and (when
// built to watch them) the messages the host sends its photo tiles, the
// platform calls that hide and show the bars, and the end of each viewer
// controller.

#include "foundation/NSArray.h"
#include "foundation/NSBundle.h"
#include "foundation/NSString.h"
#include "runtime/Hook.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIViewController.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* pluginName = PLUGIN_NAME;
const SEL tapAction = std::string("_") + PLUGIN_NAME + "PluginTapped:";

void say(const std::string& line)
{
    std::printf("[%s] %s\n", pluginName, line.c_str());
    std::fflush(stdout);
}

std::string nameOf(id asset)
{
    if (!asset || !asset->respondsToSelector("filename"))
        return "(none)";
    NSString* name = objc::send<NSString*>(asset, "filename");
    return name ? name->str() : "(none)";
}

Ref<UIBarButtonItem> pluginItem(id viewer)
{
    return UIBarButtonItem::itemWithTitle(NSString::stringWithUTF8String(pluginName).get(), UIBarButtonItemStylePlain, viewer, tapAction);
}

// A copy of `items` with this library's item at the end.
Ref<NSMutableArray> withPluginItem(NSArray* items, id viewer)
{
    auto list = items ? NSMutableArray::arrayWithArray(items) : NSMutableArray::array();
    list->addObject(pluginItem(viewer));
    return list;
}

void tapped(id self, SEL, id)
{
    say(std::string("tapped in ") + class_getName(object_getClass(self)) + " on "
        + nameOf(objc::send<id>(self, "currentAsset")));
}

objc::Original<void(objc::Value)> s_updateToolbar;
objc::Original<void(objc::Value)> s_updateBarItems;
objc::Original<id(objc::Value)> s_navigationItems;

void updateToolbar(id self, SEL cmd, objc::Value animated)
{
    s_updateToolbar(self, cmd, animated);
    auto items = withPluginItem(objc::send<NSArray*>(self, "toolbarItems"), self);
    objc::send(self, "setToolbarItems:", items);
}

void updateBarItems(id self, SEL cmd, objc::Value animated)
{
    s_updateBarItems(self, cmd, animated);
    if (auto* toolbar = objc::send<NSArray*>(self, "toolbarItems"); toolbar && toolbar->count() > 0) {
        objc::send(self, "setToolbarItems:", withPluginItem(toolbar, self));
        return;
    }
    id navigationItem = objc::send<id>(self, "navigationItem");
    auto items = withPluginItem(objc::send<NSArray*>(navigationItem, "rightBarButtonItems"), self);
    objc::send(navigationItem, "setRightBarButtonItems:", items);
}

id navigationItems(id self, SEL cmd, objc::Value mode)
{
    id items = s_navigationItems(self, cmd, mode);
    return withPluginItem(objc_cast<NSArray>(items), self).leak()->autorelease();
}

// The tiles' and viewers' messages, for the library built to watch them.
objc::Original<void()> s_tileDidLoad;
objc::Original<void()> s_tileDidLayout;
objc::Original<void(objc::Value)> s_tileSetPhoto;
objc::Original<void()> s_tileDidUnload;
objc::Original<void()> s_tileDealloc;
objc::Original<void()> s_scrollerDealloc;
objc::Original<void()> s_browserDealloc;
objc::Original<void()> s_tabletDealloc;

void tileDidLoad(id self, SEL cmd)
{
    s_tileDidLoad(self, cmd);
    say("tile viewDidLoad");
}

void tileDidLayout(id self, SEL cmd)
{
    s_tileDidLayout(self, cmd);
    CGRect bounds = objc::send<UIView*>(self, "view")->bounds();
    say("tile viewDidLayoutSubviews " + std::to_string(static_cast<int>(bounds.size.width)) + "x"
        + std::to_string(static_cast<int>(bounds.size.height)) + " " + nameOf(objc::send<id>(self, "photo")));
}

void tileSetPhoto(id self, SEL cmd, objc::Value photo)
{
    s_tileSetPhoto(self, cmd, photo);
    say("tile _setPhoto: " + nameOf(photo.to<id>("photo")));
}

void tileDidUnload(id self, SEL cmd)
{
    s_tileDidUnload(self, cmd);
    say("tile viewDidUnload " + nameOf(objc::send<id>(self, "photo")));
}

void tileDealloc(id self, SEL cmd)
{
    say("tile dealloc");
    s_tileDealloc(self, cmd);
}

template<objc::Original<void()>& saved>
void viewerDealloc(id self, SEL cmd)
{
    say(std::string("dealloc ") + class_getName(object_getClass(self)));
    saved(self, cmd);
}

// The platform calls that hide and show a viewer's bars.
objc::Original<void(objc::Value, objc::Value)> s_setNavigationBarHidden;
objc::Original<void(objc::Value, objc::Value)> s_setToolbarHidden;
objc::Original<void(objc::Value, objc::Value)> s_setStatusBarHidden;

template<objc::Original<void(objc::Value, objc::Value)>& saved>
void barHidden(id self, SEL cmd, objc::Value hidden, objc::Value animation)
{
    saved(self, cmd, hidden, animation);
    say(std::string(sel_getName(cmd)) + " " + (hidden.to<bool>("hidden") ? "YES" : "NO"));
}

std::string presence(const char* name) { return std::string(name) + (objc_getClass(name) ? " present" : " absent"); }

void install()
{
    say("loaded; " + presence("PLPhotoScrollerViewController") + ", " + presence("PUPhotoBrowserController") + ", "
        + presence("PUPopoverController") + ", " + presence("WPhotoViewController") + "; the host's Info title: "
        + NSBundle::mainBundle()->localizedString("Info", "", ""));
    for (const char* viewer : { "PLPhotoScrollerViewController", "PUPhotoBrowserController", "WPhotoViewController" })
        objc::addMethod(objc_getClass(viewer), tapAction, objc::imp(&tapped), "v@:@");
    objc::replaceMethods(objc_getClass("PLPhotoScrollerViewController"),
        { { "_updateToolbar:", objc::replacement(&updateToolbar), s_updateToolbar } });
    objc::replaceMethods(objc_getClass("PUPhotoBrowserController"),
        { { "_updateBarItemsAnimated:", objc::replacement(&updateBarItems), s_updateBarItems } });
    objc::replaceMethods(objc_getClass("WPhotoViewController"),
        { { "_navigationButtonItemsForMode:", objc::replacement(&navigationItems), s_navigationItems } });
    if (!PLUGIN_WATCHES_TILES)
        return;
    objc::replaceMethods(objc_getClass("PLPhotoTileViewController"), {
        { "viewDidLoad", objc::replacement(&tileDidLoad), s_tileDidLoad },
        { "viewDidLayoutSubviews", objc::replacement(&tileDidLayout), s_tileDidLayout },
        { "_setPhoto:", objc::replacement(&tileSetPhoto), s_tileSetPhoto },
        { "viewDidUnload", objc::replacement(&tileDidUnload), s_tileDidUnload },
        { "dealloc", objc::replacement(&tileDealloc), s_tileDealloc },
    });
    objc::replaceMethods(objc_getClass("UINavigationController"), {
        { "setNavigationBarHidden:animated:", objc::replacement(&barHidden<s_setNavigationBarHidden>), s_setNavigationBarHidden },
        { "setToolbarHidden:animated:", objc::replacement(&barHidden<s_setToolbarHidden>), s_setToolbarHidden },
    });
    objc::replaceMethods(objc_getClass("UIApplication"),
        { { "setStatusBarHidden:withAnimation:", objc::replacement(&barHidden<s_setStatusBarHidden>), s_setStatusBarHidden } });
    objc::replaceMethods(objc_getClass("PLPhotoScrollerViewController"),
        { { "dealloc", objc::replacement(&viewerDealloc<s_scrollerDealloc>), s_scrollerDealloc } });
    objc::replaceMethods(objc_getClass("PUPhotoBrowserController"),
        { { "dealloc", objc::replacement(&viewerDealloc<s_browserDealloc>), s_browserDealloc } });
    objc::replaceMethods(objc_getClass("WPhotoViewController"),
        { { "dealloc", objc::replacement(&viewerDealloc<s_tabletDealloc>), s_tabletDealloc } });
}

// Run when the library is loaded, after the objects above are initialised
// (in one file they are initialised in order).
[[maybe_unused]] const bool installed = (install(), true);

} // namespace
