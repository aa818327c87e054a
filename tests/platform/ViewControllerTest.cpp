#include "foundation/NSNotificationCenter.h"
#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int g_liveScreens = 0;

// A screen written the way the library's screens are: lifecycle members
// registered as methods, the superclass reached through the runtime.
class VCScreen : public UIViewController {
    QX_OBJECT(VCScreen, UIViewController)
public:
    std::vector<std::string> events;

    void viewDidLoad()
    {
        objc::sendSuper(this, "viewDidLoad");
        events.push_back("load");
        auto label = UILabel::labelWithFrame(CGRectMake(0, 0, 100, 20));
        label->setTag(7);
        view()->addSubview(label);
    }
    void viewDidUnload() { events.push_back("unload"); }
    void viewWillAppear(bool) { events.push_back("willAppear"); }
    void viewDidAppear(bool) { events.push_back("didAppear"); }
    void viewDidDisappear(bool) { events.push_back("didDisappear"); }
    void tapped(id) { events.push_back("tapped"); }
    void noticed(id) { events.push_back("noticed"); }

protected:
    VCScreen() { ++g_liveScreens; }
    ~VCScreen() override { --g_liveScreens; }
};

} // namespace

QX_DEFINE_CLASS(VCScreen)
{
    b.method<&VCScreen::viewDidLoad>("viewDidLoad");
    b.method<&VCScreen::viewDidUnload>("viewDidUnload");
    b.method<&VCScreen::viewWillAppear>("viewWillAppear:");
    b.method<&VCScreen::viewDidAppear>("viewDidAppear:");
    b.method<&VCScreen::viewDidDisappear>("viewDidDisappear:");
    b.method<&VCScreen::tapped>("tapped:");
    b.method<&VCScreen::noticed>("noticed:");
}

namespace {

class ViewControllers : public ::testing::Test {
protected:
    void TearDown() override { UIApplication::sharedApplication()->reset(); }
    AutoreleasePool pool;
};

Ref<VCScreen> makeScreen() { return objc::create<VCScreen>("init"); }

TEST_F(ViewControllers, LoadTheirViewOnFirstUseAndUnloadItOffScreenAtAMemoryWarning)
{
    auto root = makeScreen();
    auto other = makeScreen();
    EXPECT_FALSE(root->isViewLoaded());
    UIApplication::sharedApplication()->setRootViewController(root);
    other->view();
    EXPECT_EQ(root->events, (std::vector<std::string> { "load", "willAppear", "didAppear" }));
    EXPECT_NE(root->view()->viewWithTag(7), nullptr);

    UIApplication::sharedApplication()->simulateMemoryWarning();
    EXPECT_TRUE(root->isViewLoaded()); // on screen: kept
    EXPECT_FALSE(other->isViewLoaded());
    EXPECT_EQ(other->events, (std::vector<std::string> { "load", "unload" }));
    other->view(); // loads again, with a new label
    EXPECT_EQ(other->events.back(), "load");
}

TEST_F(ViewControllers, PresentModallyAndDismissWithAppearanceCallbacks)
{
    auto root = makeScreen();
    UIApplication::sharedApplication()->setRootViewController(root);
    {
        auto modal = makeScreen();
        auto navigation = objc::create<UINavigationController>("initWithRootViewController:", modal);
        objc::send(root, "presentModalViewController:animated:", navigation, true);
        EXPECT_EQ(UIApplication::sharedApplication()->modalStack().size(), 1U);
        EXPECT_EQ(modal->events, (std::vector<std::string> { "load", "willAppear", "didAppear" }));
        EXPECT_EQ(modal->navigationController(), navigation.get());
        // Sent to the presented screen, dismissal goes through its presenter.
        objc::send(navigation, "dismissModalViewControllerAnimated:", true);
        EXPECT_EQ(modal->events.back(), "didDisappear");
    }
    EXPECT_TRUE(UIApplication::sharedApplication()->modalStack().empty());
    EXPECT_EQ(g_liveScreens, 1); // the dismissed screen went with its navigation controller
}

TEST_F(ViewControllers, PopoversShowUntilClosedAndLiveOnlyAsLongAsTheirOwner)
{
    auto root = makeScreen();
    UIApplication::sharedApplication()->setRootViewController(root);
    auto anchor = UIBarButtonItem::itemWithTitle("Info"_ns.get(), 0, nullptr, SEL());
    auto popover = objc::create<UIPopoverController>("initWithContentViewController:", makeScreen());
    objc::send(popover, "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:", anchor, 1, true);
    EXPECT_TRUE(objc::send<bool>(popover, "isPopoverVisible"));
    EXPECT_EQ(UIApplication::sharedApplication()->visiblePopovers().size(), 1U);
    popover->closeFromOutside();
    EXPECT_FALSE(objc::send<bool>(popover, "isPopoverVisible"));

    objc::send(popover, "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:", anchor, 1, true);
    popover = nullptr; // its owner let go while it was showing
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());
    EXPECT_EQ(UIApplication::sharedApplication()->window()->subviews().size(), 1U); // only the root's view
}

TEST_F(ViewControllers, ControlsRetargetAndNeverMessageAGoneTarget)
{
    auto button = UIButton::buttonWithType(UIButtonTypeInfoLight);
    auto first = makeScreen();
    auto second = makeScreen();
    objc::send(button, "addTarget:action:forControlEvents:", first, SEL("tapped:"), UIControlEventTouchUpInside);
    objc::send(button, "removeTarget:action:forControlEvents:", nullptr, SEL("tapped:"), UIControlEventTouchUpInside);
    objc::send(button, "addTarget:action:forControlEvents:", second, SEL("tapped:"), UIControlEventTouchUpInside);
    button->tap();
    EXPECT_TRUE(first->events.empty());
    EXPECT_EQ(second->events, (std::vector<std::string> { "tapped" }));

    second = nullptr;
    EXPECT_NO_THROW(button->tap());
    auto toggle = objc::create<UISwitch>("initWithFrame:", CGRectZero);
    objc::send(toggle, "addTarget:action:forControlEvents:", first, SEL("tapped:"), UIControlEventValueChanged);
    objc::send(toggle, "setOn:", true); // from code: nothing is sent
    EXPECT_TRUE(first->events.empty());
    toggle->tap();
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(first->events, (std::vector<std::string> { "tapped" }));
}

TEST_F(ViewControllers, AnObserverFreedWithoutUnregisteringIsNeverMessaged)
{
    auto* center = NSNotificationCenter::defaultCenter();
    auto kept = makeScreen();
    {
        auto freed = makeScreen();
        center->addObserver(freed, "noticed:", "VCNotice", nullptr);
        center->addObserver(kept, "noticed:", "VCNotice", nullptr);
    }
    center->postNotificationName("VCNotice", nullptr);
    EXPECT_EQ(kept->events, (std::vector<std::string> { "noticed" }));
    center->removeObserver(kept);
}

TEST_F(ViewControllers, EventsOnTheMainRunLoopKeepMemoryFlat)
{
    auto& loop = NSRunLoop::mainRunLoop();
    auto runEvents = [&](int count) {
        for (int i = 0; i < count; ++i) {
            loop.perform([] {
                // Each event leaves autoreleased screens behind, as taps do.
                makeScreen().leak()->autorelease();
            });
        }
        loop.runUntilIdle();
    };
    runEvents(10);
    const int baseline = g_liveScreens;
    runEvents(2000);
    EXPECT_EQ(g_liveScreens, baseline);
}

} // namespace
