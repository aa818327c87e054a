// A host that lacks what the library looks for: no older phone viewer, no
// tablet viewer of the application, no photo tiles, and a version 7 viewer
// without the bar rebuild. Each missing class or method leaves out only its
// own replacement; the others still go in and work.

#include "hooks/Hooks.h"
#include "runtime/AutoreleasePool.h"
#include "settings/Quorix.h"
#include "uikit/UIViewController.h"

#include <gtest/gtest.h>

class PUPhotoBrowserController : public UIViewController {
    QX_OBJECT(PUPhotoBrowserController, UIViewController)
protected:
    PUPhotoBrowserController() = default;
};

class PLPhotoBrowserController : public UIViewController {
    QX_OBJECT(PLPhotoBrowserController, UIViewController)
protected:
    PLPhotoBrowserController() = default;
};

QX_DEFINE_CLASS(PUPhotoBrowserController)
{
    b.method("dealloc", [](PUPhotoBrowserController* self) { objc::sendSuper(self, "dealloc"); });
}
QX_DEFINE_CLASS(PLPhotoBrowserController)
{
    b.method("_dismissPopovers", [](PLPhotoBrowserController*) { return true; });
}

namespace {

using namespace quorix::hooks;

TEST(MissingHost, LeavesOutOnlyWhatIsMissing)
{
    AutoreleasePool pool;
    EXPECT_EQ(installVersion7ViewerHooks(), 1) << "dealloc still replaced";
    EXPECT_EQ(installOlderPhoneViewerHooks(), 0);
    EXPECT_EQ(installOlderTabletViewerHooks(), 1) << "_dismissPopovers still replaced";
    EXPECT_EQ(installStampHooks(), 0);
    EXPECT_FALSE(objc::create<PLPhotoBrowserController>("init")->respondsToSelector("_zel_ShowQuorix:"))
        << "without the application's viewer the tap action goes nowhere";

    // The replacements that went in do their work.
    auto* store = Quorix::sharedQuorix();
    EXPECT_TRUE(objc::create<PLPhotoBrowserController>("init")->send<bool>("_dismissPopovers")) << "the host's answer";
    auto item = objc::create<UIViewController>("init");
    store->setInfoItem(item.get());
    objc::create<PUPhotoBrowserController>("init");
    EXPECT_EQ(store->infoItem(), nullptr) << "the viewer's teardown emptied the store";
}

} // namespace
