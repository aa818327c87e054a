#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"
#include "uikit/UIDriver.h"
#include "uikit/UIMenuController.h"
#include "uikit/UITableViewController.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

// Counts its live instances, so a test can see autoreleased objects go.
class DRCounted : public NSObject {
    QX_OBJECT(DRCounted, NSObject)
public:
    static int& live()
    {
        static int count = 0;
        return count;
    }

protected:
    DRCounted() { ++live(); }
    ~DRCounted() override { --live(); }
};

// The target of every control of the test screens: records what reached it.
class DRTarget : public NSObject {
    QX_OBJECT(DRTarget, NSObject)
public:
    std::vector<std::string> log;
    int peakLive = 0;
    Ref<UIPopoverController> popover;
    Ref<UINavigationController> navigation;

    void tapped(id sender)
    {
        if (auto* item = objc_cast<UIBarButtonItem>(sender))
            log.push_back(item->visibleText());
        else if (auto* button = objc_cast<UIButton>(sender))
            log.push_back(button->title()->str());
    }
    // What an event handler of a long session does: makes short-lived objects.
    void churn(id)
    {
        for (int i = 0; i < 5; ++i)
            make_object<DRCounted>().leak()->autorelease();
        peakLive = std::max(peakLive, DRCounted::live());
    }
    void push(id)
    {
        auto details = objc::create<UIViewController>("init");
        details->setTitle("Details"_ns.get());
        navigation->pushViewControllerAnimated(details, true);
    }
    void showPopover(id sender)
    {
        auto content = objc::create<UIViewController>("init");
        content->setContentSizeForViewInPopover(CGSizeMake(200, 100));
        auto button = UIButton::buttonWithType(UIButtonTypeRoundedRect);
        button->setTitle("Inside"_ns.get());
        button->setFrame(CGRectMake(10, 10, 100, 44));
        button->addTargetActionForControlEvents(this, "tapped:", UIControlEventTouchUpInside);
        content->view()->addSubview(button);
        popover = objc::create<UIPopoverController>("initWithContentViewController:", content.get());
        popover->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(objc_cast<UIBarButtonItem>(sender), UIPopoverArrowDirectionAny, true);
    }
    void close(id) { navigation->dismissModalViewControllerAnimated(true); }

protected:
    DRTarget() = default;
};

// A table screen with a plain row, a row with a switch and an edit menu.
class DRTableScreen : public UITableViewController {
    QX_OBJECT(DRTableScreen, UITableViewController)
public:
    Ref<UISwitch> wifi;
    std::vector<std::string> events;

    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) const { return 2; }
    Ref<NSString> tableViewTitleForHeaderInSection(UITableView*, NSInteger) const { return "File"_ns; }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath* indexPath)
    {
        auto cell = objc::create<UITableViewCell>("initWithStyle:reuseIdentifier:", UITableViewCellStyleValue1, static_cast<id>(nullptr));
        if (indexPath->row() == 0) {
            cell->textLabel()->setText("Name"_ns.get());
            cell->detailTextLabel()->setText("photo.jpg"_ns.get());
            cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        } else {
            cell->textLabel()->setText("Wi-Fi"_ns.get());
            cell->setAccessoryView(wifi);
        }
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath* indexPath) { events.push_back("selected " + std::to_string(indexPath->row())); }
    bool tableViewShouldShowMenuForRowAtIndexPath(UITableView*, NSIndexPath*) const { return true; }
    bool tableViewCanPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath*, id) const { return action.name() == "copy:"; }
    void tableViewPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id)
    {
        events.push_back(action.name() + " " + std::to_string(indexPath->row()));
    }

protected:
    DRTableScreen() = default;
};

} // namespace

QX_DEFINE_CLASS(DRCounted) { }

QX_DEFINE_CLASS(DRTarget)
{
    b.method<&DRTarget::tapped>("tapped:");
    b.method<&DRTarget::churn>("churn:");
    b.method<&DRTarget::push>("push:");
    b.method<&DRTarget::showPopover>("showPopover:");
    b.method<&DRTarget::close>("close:");
}

QX_DEFINE_CLASS(DRTableScreen)
{
    b.method<&DRTableScreen::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&DRTableScreen::tableViewTitleForHeaderInSection>("tableView:titleForHeaderInSection:");
    b.method<&DRTableScreen::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
    b.method<&DRTableScreen::tableViewDidSelectRowAtIndexPath>("tableView:didSelectRowAtIndexPath:");
    b.method<&DRTableScreen::tableViewShouldShowMenuForRowAtIndexPath>("tableView:shouldShowMenuForRowAtIndexPath:");
    b.method<&DRTableScreen::tableViewCanPerformActionForRowAtIndexPathWithSender>("tableView:canPerformAction:forRowAtIndexPath:withSender:");
    b.method<&DRTableScreen::tableViewPerformActionForRowAtIndexPathWithSender>("tableView:performAction:forRowAtIndexPath:withSender:");
}

namespace {

Ref<UIBarButtonItem> titled(const char* title, DRTarget* target, const char* action)
{
    return UIBarButtonItem::itemWithTitle(NSString::stringWithUTF8String(title).get(), UIBarButtonItemStyleBordered, target, action);
}

Ref<UIButton> button(const char* title, DRTarget* target, const char* action, CGRect frame)
{
    auto made = UIButton::buttonWithType(UIButtonTypeRoundedRect);
    made->setTitle(NSString::stringWithUTF8String(title).get());
    made->setFrame(frame);
    made->addTargetActionForControlEvents(target, action, UIControlEventTouchUpInside);
    return made;
}

const UIElement* find(const UIElement& element, const std::string& role, const std::string& name)
{
    if (element.role == role && element.name() == name)
        return &element;
    for (const auto& child : element.children) {
        if (auto* found = find(child, role, name))
            return found;
    }
    return nullptr;
}

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const UIDriverError& error) {
        return error.what();
    }
    return "<no error>";
}

// The viewer: a navigation controller titled "Quorix" with Done on the
// right, Push and Churn buttons, and Info, a flexible space and Delete in
// its toolbar.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::sharedApplication()->reset();
        target = make_object<DRTarget>();
        auto screen = objc::create<UIViewController>("init");
        screen->setTitle("Quorix"_ns.get());
        screen->navigationItem()->setRightBarButtonItem(titled("Done", target, "tapped:").get());
        auto items = arrayOfBarItems({ titled("Info", target, "showPopover:"),
            UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemFlexibleSpace, nullptr, {}),
            UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemTrash, target, "tapped:") });
        screen->setToolbarItems(items);
        screen->view()->addSubview(button("Push", target, "push:", CGRectMake(10, 10, 100, 44)).get());
        screen->view()->addSubview(button("Churn", target, "churn:", CGRectMake(10, 60, 100, 44)).get());
        target->navigation = objc::create<UINavigationController>("initWithRootViewController:", screen.get());
        UIApplication::sharedApplication()->setRootViewController(target->navigation);
    }
    void TearDown() override { UIApplication::sharedApplication()->reset(); }

    Ref<DRTarget> target;
    UIDriver driver;
};

TEST_F(DriverTest, TapsBarItemsAndButtonsByTheirTextAndLaysTheBarsOut)
{
    driver.tap("Done");
    driver.tap("Delete");
    EXPECT_EQ(target->log, (std::vector<std::string> { "Done", "Delete" }));

    const auto shot = driver.snapshot();
    ASSERT_EQ(shot.layers().size(), 1u);
    const UIElement& viewer = shot.layers()[0];
    EXPECT_EQ(viewer.role, "viewer");
    // Right items from the right edge inwards; toolbar items from the left,
    // the flexible space taking what is left.
    const UIElement* done = find(viewer, "barButton", "Done");
    const UIElement* info = find(viewer, "barButton", "Info");
    const UIElement* trash = find(viewer, "barButton", "Delete");
    ASSERT_TRUE(done && info && trash);
    EXPECT_EQ(done->frame, CGRectMake(258, 0, 56, 44));
    EXPECT_EQ(info->frame, CGRectMake(6, 436, 56, 44));
    EXPECT_EQ(trash->frame, CGRectMake(270, 436, 44, 44));
    EXPECT_EQ(find(viewer, "button", "Push")->frame, CGRectMake(10, 54, 100, 44));

    EXPECT_NE(shot.toText().find("navigationBar: \"Quorix\" [Done]\n"), std::string::npos) << shot.toText();
    EXPECT_NE(shot.toText().find("toolbar: [Info] [Delete]\n"), std::string::npos) << shot.toText();
}

// Icon-only controls are found by what they are called: the info button
// (however it was made) and the toolkit's info image on a bar item.
TEST_F(DriverTest, TapsTheInfoIconsByTheirAccessibilityLabel)
{
    auto* screen = target->navigation->topViewController();
    auto button = objc::sendClass<Ref<UIButton>>(UIButton::objcClass(), "buttonWithType:", NSInteger { UIButtonTypeInfoLight });
    EXPECT_EQ(button->frame(), CGRectMake(0, 0, 18, 19));
    button->setTitle("infoButton"_ns.get());
    button->addTargetActionForControlEvents(target, "tapped:", UIControlEventTouchUpInside);
    auto buttonBar = arrayOfBarItems({ UIBarButtonItem::itemWithCustomView(button.get()) });
    screen->setToolbarItems(buttonBar);
    driver.tap("Info");
    EXPECT_EQ(target->log, (std::vector<std::string> { "infoButton" }));

    auto imageBar = arrayOfBarItems({ UIBarButtonItem::itemWithImage(UIImage::kitImageNamed("UIButtonBarInfo.png").get(),
        UIBarButtonItemStyleBordered, target, "tapped:") });
    screen->setToolbarItems(imageBar);
    const auto shot = driver.snapshot();
    const UIElement* icon = find(shot.layers()[0], "barButton", "UIButtonBarInfo.png");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->label, "Info");
    driver.tap("Info");
    EXPECT_EQ(target->log, (std::vector<std::string> { "infoButton", "UIButtonBarInfo.png" }));
}

TEST_F(DriverTest, ErrorsNameBothMatchesOrWhatIsVisible)
{
    target->navigation->topViewController()->view()->addSubview(button("Done", target, "tapped:", CGRectMake(10, 120, 80, 44)).get());
    const std::string twice = errorOf([&] { driver.tap("Done"); });
    EXPECT_NE(twice.find("2 controls \"Done\" on screen"), std::string::npos) << twice;
    EXPECT_NE(twice.find("barButton \"Done\" at (258, 0, 56×44)"), std::string::npos) << twice;
    EXPECT_NE(twice.find("button \"Done\" at (10, 164, 80×44)"), std::string::npos) << twice;
    EXPECT_TRUE(target->log.empty());

    const std::string missing = errorOf([&] { driver.tap("Mor"); });
    EXPECT_EQ(missing.rfind("no control \"Mor\" on screen; visible: \"Quorix\", \"Done\", \"Push\"", 0), 0u) << missing;

    // Hidden and disabled controls are not there for a person's finger.
    auto hidden = button("Secret", target, "tapped:", CGRectMake(10, 200, 80, 44));
    hidden->setHidden(true);
    target->navigation->topViewController()->view()->addSubview(hidden);
    EXPECT_NE(errorOf([&] { driver.tap("Secret"); }).find("no control \"Secret\""), std::string::npos);
    auto disabled = button("Greyed", target, "tapped:", CGRectMake(10, 250, 80, 44));
    disabled->setEnabled(false);
    target->navigation->topViewController()->view()->addSubview(disabled);
    EXPECT_EQ(errorOf([&] { driver.tap("Greyed"); }), "control \"Greyed\" is disabled");
    EXPECT_TRUE(target->log.empty());
}

TEST_F(DriverTest, ModalScreensAndAlertsCoverWhatIsBelow)
{
    auto sheet = objc::create<UIViewController>("init");
    sheet->setTitle("Settings"_ns.get());
    sheet->navigationItem()->setLeftBarButtonItem(titled("Close", target, "close:").get());
    auto sheetNavigation = objc::create<UINavigationController>("initWithRootViewController:", sheet.get());
    target->navigation->presentModalViewControllerAnimated(sheetNavigation, false);

    EXPECT_EQ(errorOf([&] { driver.tap("Done"); }), "control \"Done\" is covered by the modal screen \"Settings\"; visible: \"Settings\", \"Close\"");
    driver.tap("Close");
    EXPECT_TRUE(UIApplication::sharedApplication()->modalStack().empty());
    driver.tap("Done");

    auto alert = objc::create<UIAlertView>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:", "Oops"_ns,
        "Something went wrong"_ns, static_cast<id>(nullptr), "OK"_ns, static_cast<id>(nullptr));
    alert->show();
    const auto shot = driver.snapshot();
    ASSERT_EQ(shot.layers().back().role, "alert");
    EXPECT_NE(shot.toText().find("alert: Oops\n  message: Something went wrong\n  button: OK\n"), std::string::npos) << shot.toText();
    EXPECT_NE(errorOf([&] { driver.tap("Done"); }).find("covered by the alert \"Oops\""), std::string::npos);
    driver.tap("OK");
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
    EXPECT_EQ(target->log, (std::vector<std::string> { "Done" }));
}

TEST_F(DriverTest, BackPopsTheTopStackAndFailsOnASingleScreen)
{
    EXPECT_EQ(errorOf([&] { driver.back(); }), "cannot go back: the viewer on top shows a single screen");
    driver.tap("Push");
    ASSERT_EQ(target->navigation->viewControllers().size(), 2u);
    // The bar offers the way back, titled after the screen below.
    const auto shot = driver.snapshot();
    ASSERT_NE(find(shot.layers()[0], "backButton", "Quorix"), nullptr) << shot.toText();
    driver.back();
    EXPECT_EQ(target->navigation->viewControllers().size(), 1u);
    driver.tap("Push");
    driver.tap("Quorix");
    EXPECT_EQ(target->navigation->viewControllers().size(), 1u);
}

TEST_F(DriverTest, PopoverSitsAtItsItemAndATapOutsideClosesIt)
{
    driver.tap("Info");
    auto shot = driver.snapshot();
    ASSERT_EQ(shot.layers().size(), 2u);
    const UIElement& popover = shot.layers()[1];
    EXPECT_EQ(popover.role, "popover");
    // No room under a toolbar item: above it, the arrow pointing down,
    // pushed inside the screen's left edge.
    EXPECT_EQ(popover.frame, CGRectMake(0, 323, 200, 100));
    EXPECT_EQ(popover.state["arrow"], "down");
    EXPECT_EQ(find(popover, "button", "Inside")->frame, CGRectMake(10, 333, 100, 44));

    driver.tap("Inside");
    driver.tapOutside();
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());
    EXPECT_EQ(errorOf([&] { driver.tapOutside(); }), "nothing on screen to tap outside of: no edit menu or popover");
    driver.tap("Delete");
    EXPECT_EQ(target->log, (std::vector<std::string> { "Inside", "Delete" }));
}

// The platform's rule: the bar the popover came from stays usable, and so
// do its passthrough views; a tap anywhere else beside it only closes it.
TEST_F(DriverTest, APopoverLetsTapsThroughToItsBarAndPassthroughViewsOnly)
{
    driver.tap("Info");
    driver.tap("Delete");
    EXPECT_EQ(target->log, (std::vector<std::string> { "Delete" }));
    ASSERT_EQ(UIApplication::sharedApplication()->visiblePopovers().size(), 1u);
    auto shot = driver.snapshot();
    EXPECT_EQ(find(shot.layers()[0], "barButton", "Info")->state.value("passthrough", false), true);
    EXPECT_EQ(find(shot.layers()[0], "barButton", "Done")->state.contains("passthrough"), false);

    driver.tap("Done"); // in the navigation bar: beside the popover
    EXPECT_EQ(target->log, (std::vector<std::string> { "Delete" }));
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());

    // Passthrough views set after presenting replace the bar.
    driver.tap("Info");
    UIView* churn = target->navigation->topViewController()->view()->subviews().back();
    auto passthrough = NSArray::arrayWithObjects({ Ref<NSObject>(churn) });
    target->popover->setPassthroughViews(passthrough.get());
    driver.tap("Churn");
    EXPECT_GT(target->peakLive, 0) << "Churn ran under the popover";
    ASSERT_EQ(UIApplication::sharedApplication()->visiblePopovers().size(), 1u);
    driver.tap("Delete");
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());
    EXPECT_EQ(target->log, (std::vector<std::string> { "Delete" }));
}

TEST_F(DriverTest, JSONHasTheDocumentedFieldsAndNoAddresses)
{
    driver.tap("Info");
    const auto json = driver.snapshot().toJSON();
    EXPECT_EQ(json["screen"], (nlohmann::json { { "width", 320 }, { "height", 480 } }));
    ASSERT_EQ(json["layers"].size(), 2u);
    size_t checked = 0;
    std::function<void(const nlohmann::json&)> check = [&](const nlohmann::json& element) {
        ++checked;
        SCOPED_TRACE(element.dump());
        ASSERT_TRUE(element.contains("role") && element.contains("frame") && element.contains("hidden") && element.contains("children"));
        EXPECT_TRUE(element.at("role").is_string());
        for (const char* key : { "x", "y", "width", "height" }) {
            EXPECT_TRUE(element.at("frame").contains(key) && element.at("frame").at(key).is_number());
        }
        EXPECT_TRUE(element.at("hidden").is_boolean());
        if (element.contains("text")) {
            EXPECT_FALSE(element.at("text").get<std::string>().empty());
        }
        for (const auto& child : element.at("children"))
            check(child);
    };
    for (const auto& layer : json["layers"])
        check(layer);
    EXPECT_GT(checked, 8u);
    const auto shot = driver.snapshot();
    const UIElement* info = find(shot.layers()[0], "barButton", "Info");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(UISnapshot::elementToJSON(*info).dump(),
        R"({"children":[],"frame":{"height":44.0,"width":56.0,"x":6.0,"y":436.0},"hidden":false,"role":"barButton","state":{"passthrough":true,"style":"bordered"},"text":"Info"})");
    EXPECT_FALSE(std::regex_search(json.dump(), std::regex("0x[0-9a-fA-F]{4,}"))) << json.dump();
}

TEST_F(DriverTest, MemoryStaysFlatOverManyTaps)
{
    const int before = DRCounted::live();
    for (int i = 0; i < 2000; ++i)
        driver.tap("Churn");
    // Each tap's objects went with the tap's own pool.
    EXPECT_EQ(target->peakLive, before + 5);
    EXPECT_EQ(DRCounted::live(), before);
}

TEST_F(DriverTest, DrivesTableRowsTheirSwitchesAndTheEditMenu)
{
    auto table = objc::create<DRTableScreen>("initWithStyle:", UITableViewStyleGrouped);
    table->setTitle("Details"_ns.get());
    table->wifi = make_object<UISwitch>();
    table->wifi->setAccessibilityLabel("Wi-Fi switch"_ns.get());
    target->navigation->pushViewControllerAnimated(table, false);

    const auto shot = driver.snapshot();
    const std::string text = shot.toText();
    EXPECT_NE(text.find("section: File\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cell: Name — photo.jpg >\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cell: Wi-Fi\n"), std::string::npos) << text;
    EXPECT_NE(text.find("switch: (Wi-Fi switch) [off]\n"), std::string::npos) << text;

    driver.toggle("Wi-Fi");
    EXPECT_TRUE(table->wifi->isOn());
    driver.tap("Name");
    driver.hold("Name");
    const auto menu = driver.snapshot();
    ASSERT_EQ(menu.layers().back().role, "menu");
    driver.tap("Copy");
    EXPECT_EQ(table->events, (std::vector<std::string> { "selected 0", "copy: 0" }));
    EXPECT_NE(errorOf([&] { driver.toggle("Name"); }).find("no switch in a row \"Name\""), std::string::npos);
}

// A touch anywhere beside the edit menu hides it and does nothing more: a
// tap on a row or a switch, a long press elsewhere, back, a tap outside.
TEST_F(DriverTest, ATouchBesideTheEditMenuHidesItAndDoesNothingMore)
{
    auto table = objc::create<DRTableScreen>("initWithStyle:", UITableViewStyleGrouped);
    table->setTitle("Details"_ns.get());
    table->wifi = make_object<UISwitch>();
    target->navigation->pushViewControllerAnimated(table, false);
    const std::vector<std::pair<const char*, std::function<void()>>> touches {
        { "tap on a row", [&] { driver.tap("Wi-Fi"); } },
        { "toggle", [&] { driver.toggle("Wi-Fi"); } },
        { "long press on another row", [&] { driver.hold("Wi-Fi"); } },
        { "back", [&] { driver.back(); } },
        { "outside", [&] { driver.tapOutside(); } },
    };
    for (const auto& [what, touch] : touches) {
        SCOPED_TRACE(what);
        driver.hold("Name");
        ASSERT_EQ(driver.snapshot().layers().back().role, "menu");
        touch();
        const auto shot = driver.snapshot();
        EXPECT_EQ(shot.layers().back().role, "viewer");
        EXPECT_EQ(shot.layers().back().text, "Details") << "still on the screen of the row";
        EXPECT_FALSE(UIMenuController::sharedMenuController()->isMenuVisible());
    }
    EXPECT_FALSE(table->wifi->isOn());
    EXPECT_EQ(table->events, std::vector<std::string> {});
    EXPECT_EQ(errorOf([&] { driver.tapOutside(); }), "nothing on screen to tap outside of: no edit menu or popover");
}

} // namespace
