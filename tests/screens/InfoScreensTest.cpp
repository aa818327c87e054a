#include "screens/ScreensTestSupport.h"

#include "foundation/NSNotificationCenter.h"
#include "mapkit/MKMapView.h"
#include "mapkit/MKPinAnnotationView.h"
#include "messageui/MFMailComposeViewController.h"
#include "settings/Quorix.h"
#include "uikit/NSIndexPath.h"
#include "uikit/UITableViewController.h"
#include "util/ZELAlert.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

using screenstest::Device;
using screenstest::Viewer;

namespace {

// Counts the stamp setting's announcements.
class STAnnouncements : public NSObject {
    QX_OBJECT(STAnnouncements, NSObject)
public:
    int count = 0;
    void received(id) { ++count; }

protected:
    STAnnouncements() = default;
};

} // namespace

QX_DEFINE_CLASS(STAnnouncements)
{
    b.method<&STAnnouncements::received>("received:");
}

namespace {

const std::string& lastOpenedURL()
{
    static const std::string none;
    const auto& urls = UIApplication::sharedApplication()->openedURLs();
    return urls.empty() ? none : urls.back();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The text without the indentation of its lines.
std::string flat(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == ' ')
            continue;
        lineStart = c == '\n';
        out += c;
    }
    return out;
}

class InfoScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        Quorix::sharedQuorix()->setMapsAppQueryLocationEnabled(false);
        Quorix::sharedQuorix()->setStampEnabled(false);
        located = screenstest::writePhoto(dir, "eiffel.jpg", true);
        unlocated = screenstest::writePhoto(dir, "indoors.jpg", false);
    }

    fixtures::TempDir dir;
    std::string located;
    std::string unlocated;
    screenstest::DesktopStandIns desktop { true };
};

TEST_F(InfoScreens, PhoneShowsTheGPSGroupSecondCopiesItOpensMapsAndDoneRestoresTheStatusBar)
{
    Viewer viewer(Device::Phone, "7.1.2", located);
    UIApplication::sharedApplication()->setStatusBarStyleAnimated(1, false);
    viewer.driver().tap("Info");

    const std::string shown = viewer.topLayerText();
    EXPECT_TRUE(contains(shown, "navigationBar: \"Quorix\" [Done] [More]")) << shown;
    // File facts, then the position, then TIFF, then EXIF: four untitled groups.
    const auto file = shown.find("cell: Name — eiffel.jpg");
    const auto gps = shown.find("cell: Location — 48.858200, 2.294500");
    const auto tiff = shown.find("cell: Make — Quorix Labs");
    const auto exif = shown.find("cell: F Number — f/2.8");
    ASSERT_NE(exif, std::string::npos) << shown;
    EXPECT_LT(file, gps);
    EXPECT_LT(gps, tiff);
    EXPECT_LT(tiff, exif);
    EXPECT_TRUE(contains(shown, "cell: Show Location >\n")) << shown;
    EXPECT_TRUE(contains(shown, "cell: Show Location in Maps app >\n")) << shown;
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 0);

    // A long press on the coordinates offers Copy alone, and copies them as shown.
    viewer.driver().hold("Location");
    EXPECT_TRUE(contains(viewer.topLayerText(), "menu:")) << viewer.topLayerText();
    EXPECT_FALSE(contains(viewer.topLayerText(), "Paste"));
    viewer.driver().tap("Copy");
    ASSERT_TRUE(UIPasteboard::generalPasteboard()->string());
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string()->str(), "48.858200, 2.294500");
    // The other rows offer no menu.
    viewer.driver().hold("Name");
    EXPECT_FALSE(contains(viewer.topLayerText(), "menu:"));

    viewer.driver().tap("Show Location in Maps app");
    EXPECT_EQ(lastOpenedURL(), "http://maps.apple.com/maps?ll=48.858200,2.294500");
    Quorix::sharedQuorix()->setMapsAppQueryLocationEnabled(true);
    viewer.driver().tap("Show Location in Maps app");
    EXPECT_EQ(lastOpenedURL(), "http://maps.apple.com/maps?ll=48.858200,2.294500&q=48.858200,2.294500");

    viewer.driver().tap("Done");
    EXPECT_TRUE(UIApplication::sharedApplication()->modalStack().empty());
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 1);
}

// Covered by More, the info screen loses its view to a memory warning; the
// photo's file changes before the person comes back. The reloaded screen
// shows what it showed first, and Done restores the style from before Info.
TEST_F(InfoScreens, AReloadedInfoScreenKeepsItsFirstTableAndTheStatusBarToRestore)
{
    Viewer viewer(Device::Phone, "7.1.2", located);
    UIApplication::sharedApplication()->setStatusBarStyleAnimated(2, false);
    viewer.driver().tap("Info");
    Ref<UIViewController> info(viewer.topScreen());
    viewer.driver().tap("More");
    viewer.driver().memoryWarning();
    ASSERT_FALSE(info->isViewLoaded()) << "the covered info screen keeps its view";

    fixtures::writeJpeg(dir.path(), "eiffel.jpg", 64, 48, { { "Exif.Image.Make", "Someone Else" } });
    viewer.driver().back();
    const std::string shown = viewer.topLayerText();
    EXPECT_TRUE(contains(shown, "cell: Make — Quorix Labs")) << shown;
    EXPECT_TRUE(contains(shown, "cell: Location — 48.858200, 2.294500")) << shown;
    viewer.driver().tap("Done");
    EXPECT_EQ(UIApplication::sharedApplication()->statusBarStyle(), 2);
}

// The accessory callback of the map rows: the table sends it for a detail
// disclosure button, so it is sent here as the table would.
TEST_F(InfoScreens, TheAccessoryOfAnyGPSRowOpensTheMapAndOfOtherRowsNothing)
{
    Viewer viewer(Device::Phone, "7.0", located);
    viewer.driver().tap("Info");
    Ref<UITableViewController> info(objc_cast<UITableViewController>(viewer.topScreen()));
    ASSERT_TRUE(info);
    const SEL accessoryTapped("tableView:accessoryButtonTappedForRowWithIndexPath:");
    auto tapAccessory = [&](NSInteger section, NSInteger row) {
        objc::send(info, accessoryTapped, info->tableView(), NSIndexPath::indexPathForRowInSection(row, section));
        viewer.driver().settle();
    };
    tapAccessory(0, 0); // the file group
    EXPECT_EQ(viewer.topScreen(), info.get());
    for (NSInteger row : { 0, 1, 2 }) {
        SCOPED_TRACE(row);
        tapAccessory(1, row); // the GPS group
        EXPECT_TRUE(contains(viewer.topLayerText(), "navigationBar: \"Location\"")) << viewer.topLayerText();
        viewer.driver().back();
        EXPECT_EQ(viewer.topScreen(), info.get());
    }
}

TEST_F(InfoScreens, APhotoWithoutPositionShowsThreeGroupsWhereNoRowReacts)
{
    Viewer viewer(Device::Phone, "6.1.6", unlocated);
    viewer.driver().tap("Info");
    const std::string shown = viewer.topLayerText();
    EXPECT_FALSE(contains(shown, "Location")) << shown;
    auto* screen = objc_cast<UITableViewController>(viewer.topScreen());
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->tableView()->numberOfSections(), 3);

    for (const char* row : { "Name", "Make", "F Number" }) {
        viewer.driver().tap(row);
        viewer.driver().hold(row);
        EXPECT_FALSE(contains(viewer.topLayerText(), "menu:")) << row;
    }
    EXPECT_EQ(viewer.topScreen(), screen);
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    EXPECT_FALSE(contains(viewer.topLayerText(), "selected"));
}

TEST_F(InfoScreens, TabletShowsAPopoverWithoutDoneAndTheMapsRowClosesIt)
{
    Viewer viewer(Device::Tablet, "5.1.1", located);
    viewer.driver().tap("Info");
    auto popovers = UIApplication::sharedApplication()->visiblePopovers();
    ASSERT_EQ(popovers.size(), 1u);
    EXPECT_EQ(popovers[0]->popoverContentSize(), CGSizeMake(400, 550));
    const std::string shown = viewer.topLayerText();
    EXPECT_TRUE(contains(shown, "navigationBar: \"Quorix\" [More]")) << shown;

    viewer.driver().tap("Show Location");
    EXPECT_EQ(popovers[0]->popoverContentSize(), CGSizeMake(400, 400));
    viewer.driver().back();
    EXPECT_EQ(popovers[0]->popoverContentSize(), CGSizeMake(400, 550));

    // Before 6.0 the position goes to the older map service.
    viewer.driver().tap("Show Location in Maps app");
    EXPECT_EQ(lastOpenedURL(), "http://maps.google.com/maps?ll=48.858200,2.294500");
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());
}

TEST_F(InfoScreens, MapScreenCentresOnThePhotoAndDropsOnePinOnce)
{
    Viewer viewer(Device::Phone, "7.0", located);
    viewer.driver().tap("Info");
    viewer.driver().tap("Show Location");
    Ref<UIViewController> map(viewer.topScreen());
    ASSERT_TRUE(map);
    EXPECT_TRUE(contains(viewer.topLayerText(), "navigationBar: \"Location\"")) << viewer.topLayerText();
    // A phone sets no popover size.
    EXPECT_EQ(map->contentSizeForViewInPopover(), CGSizeMake(320, 480));

    auto* mapView = objc_cast<MKMapView>(map->view()->subviews().front().get());
    ASSERT_TRUE(mapView);
    EXPECT_EQ(mapView->frame(), map->view()->bounds());
    EXPECT_NEAR(mapView->region().center.latitude, 48.8582, 1e-9);
    EXPECT_NEAR(mapView->region().center.longitude, 2.2945, 1e-9);
    EXPECT_DOUBLE_EQ(mapView->region().span.latitudeDelta, 0.005);
    EXPECT_DOUBLE_EQ(mapView->region().span.longitudeDelta, 0.005);
    EXPECT_FALSE(mapView->lastRegionChangeAnimated());

    ASSERT_EQ(mapView->annotations()->count(), 1u);
    auto* pin = objc_cast<MKPinAnnotationView>(mapView->viewForAnnotation(mapView->annotations()->objectAtIndex(0)));
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->pinColor(), MKPinAnnotationColorRed);
    EXPECT_TRUE(pin->animatesDrop());
    EXPECT_EQ(pin->reuseIdentifier()->str(), "Identifier");

    // Shown again after another screen covered it: still the one pin.
    auto cover = objc::create<UIViewController>("init");
    map->navigationController()->pushViewControllerAnimated(cover, false);
    viewer.driver().back();
    viewer.driver().settle();
    EXPECT_EQ(mapView->annotations()->count(), 1u);

    // Back on the info screen, the row opens a new map each time.
    viewer.driver().back();
    viewer.driver().tap("Show Location");
    EXPECT_NE(viewer.topScreen(), map.get());
}

TEST_F(InfoScreens, MoreScreenListsItsFourGroupsAndItsSwitchesWriteTheStore)
{
    Viewer viewer(Device::Phone, "7.0", located);
    Quorix::sharedQuorix()->setStampEnabled(true);
    viewer.driver().tap("Info");
    viewer.driver().tap("More");

    const std::string shown = flat(viewer.topLayerText());
    EXPECT_TRUE(contains(shown, "navigationBar: \"More\" [Quorix]")) << shown;
    EXPECT_TRUE(contains(shown, "section: Maps App (footer: Search location when launching Maps app.")) << shown;
    EXPECT_TRUE(contains(shown, "cell: Search Location\nswitch: [off]")) << shown;
    EXPECT_TRUE(contains(shown, "section: Timestamp\ncell: Enabled\nswitch: [on]")) << shown;
    EXPECT_TRUE(contains(shown, "section: Developer\ncell: Alex Example\ncell: Contact Me via Email\n")) << shown;
    EXPECT_TRUE(contains(shown, "section: Localization (footer: Version 2.0.1\nCopyright")) << shown;
    for (const char* credit : { "English — Alex Example", "简体中文 — Alex Example", "繁體中文 — Alex Example", "Deutsch — ",
             "Italiano — ", "日本語 — ", "한국의 — ", "Türkçe — " })
        EXPECT_TRUE(contains(shown, std::string("cell: ") + credit)) << credit;
    auto* table = objc_cast<UITableViewController>(viewer.topScreen())->tableView();
    EXPECT_EQ(table->numberOfRowsInSection(3), 8);
    EXPECT_EQ(table->numberOfSections(), 4);

    auto observer = make_object<STAnnouncements>();
    NSNotificationCenter::defaultCenter()->addObserver(observer.get(), "received:", kStampSettingsChangedNotification, nullptr);
    const int& announcements = observer->count;
    viewer.driver().toggle("Enabled");
    EXPECT_FALSE(Quorix::sharedQuorix()->stampEnabled());
    EXPECT_FALSE(Quorix::sharedQuorix()->mapsAppQueryLocationEnabled());
    EXPECT_EQ(announcements, 1);

    // Reloaded, the two switch cells may trade sections; each still writes
    // only its own setting, once per change.
    table->reloadData();
    viewer.driver().toggle("Search Location");
    EXPECT_TRUE(Quorix::sharedQuorix()->mapsAppQueryLocationEnabled());
    EXPECT_FALSE(Quorix::sharedQuorix()->stampEnabled());
    EXPECT_EQ(announcements, 1);
    viewer.driver().toggle("Enabled");
    EXPECT_TRUE(Quorix::sharedQuorix()->stampEnabled());
    EXPECT_EQ(announcements, 2);
    NSNotificationCenter::defaultCenter()->removeObserver(observer.get());

    // Rows only flash their selection style and do nothing else.
    table->clearSelectionEvents();
    viewer.driver().tap("Alex Example");
    viewer.driver().tap("Deutsch");
    std::vector<NSInteger> styles;
    for (const auto& event : table->selectionEvents())
        styles.push_back(event.selectionStyle);
    EXPECT_EQ(styles.front(), UITableViewCellSelectionStyleNone);
    EXPECT_EQ(styles.back(), UITableViewCellSelectionStyleBlue);
    EXPECT_EQ(table->indexPathForSelectedRow(), nullptr);
    viewer.driver().back();
    EXPECT_TRUE(contains(viewer.topLayerText(), "navigationBar: \"Quorix\"")) << viewer.topLayerText();
}

TEST_F(InfoScreens, FeedbackMailCarriesTheDeviceAndVersionAndClosesWhenCancelled)
{
    Viewer viewer(Device::Phone, "7.1.2", located);
    viewer.driver().tap("Info");
    viewer.driver().tap("More");
    viewer.driver().tap("Contact Me via Email");

    auto* mail = objc_cast<MFMailComposeViewController>(UIApplication::sharedApplication()->modalStack().back());
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->recipientAddresses(), std::vector<std::string> { "quorix-feedback@example.com" });
    EXPECT_EQ(mail->subject()->str(), "Feedback");
    EXPECT_FALSE(mail->isHTML());
    utsname machine {};
    ASSERT_EQ(uname(&machine), 0);
    const std::string body = mail->messageBody()->str();
    EXPECT_EQ(body.substr(body.rfind('\n') + 1), std::string(machine.machine) + ", 7.1.2, 2.0.1");
    EXPECT_EQ(body.rfind("\n\n\n\n/* Generated by Quorix", 0), 0u);

    viewer.driver().tap("Cancel");
    EXPECT_EQ(UIApplication::sharedApplication()->modalStack().size(), 1u);
    EXPECT_TRUE(contains(viewer.topLayerText(), "navigationBar: \"More\"")) << viewer.topLayerText();
}

TEST_F(InfoScreens, TabletFeedbackMailClosesThePopoverAndCoversTheViewer)
{
    Viewer viewer(Device::Tablet, "7.0", located);
    viewer.driver().tap("Info");
    viewer.driver().tap("More");
    EXPECT_EQ(UIApplication::sharedApplication()->visiblePopovers().front()->popoverContentSize(), CGSizeMake(400, 550));
    viewer.driver().tap("Contact Me via Email");
    EXPECT_TRUE(UIApplication::sharedApplication()->visiblePopovers().empty());
    ASSERT_EQ(UIApplication::sharedApplication()->modalStack().size(), 1u);
    viewer.driver().tap("Send");
    EXPECT_TRUE(UIApplication::sharedApplication()->modalStack().empty());
}

TEST(InfoScreensWithoutMail, NoMailProgramShowsTheNoMailAccountsAlert)
{
    fixtures::TempDir dir;
    screenstest::DesktopStandIns desktop { false };
    Viewer viewer(Device::Phone, "7.0", screenstest::writePhoto(dir, "a.jpg", false));
    viewer.driver().tap("Info");
    viewer.driver().tap("More");
    viewer.driver().tap("Contact Me via Email");
    const auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title()->str(), "No Mail Accounts");
    EXPECT_EQ(alerts[0]->message()->str(), "Please setup a Mail account to send the mail.");
    EXPECT_EQ(alerts[0]->buttonTitles(), std::vector<std::string> { "OK" });
    EXPECT_EQ(UIApplication::sharedApplication()->modalStack().size(), 1u);
    viewer.driver().tap("OK");
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
}

TEST(ZELAlertPresenter, IsSharedAndItsDefaultButtonIsTheLocalizedConfirmation)
{
    UIApplication::sharedApplication()->reset();
    ZELAlert* shared = objc::sendClass<ZELAlert*>(ZELAlert::objcClass(), "shared");
    EXPECT_EQ(shared, ZELAlert::shared());
    objc::send(shared, "showAlertWithTitle:message:", "Saved"_ns, "The photo was saved."_ns);
    const auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->buttonTitles(), std::vector<std::string> { "OK" });
    EXPECT_EQ(alerts[0]->delegate(), shared);
    UIDriver().tap("OK");
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
}

} // namespace
