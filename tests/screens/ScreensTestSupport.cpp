#include "screens/ScreensTestSupport.h"

#include "photolibrary/PLManagedAsset.h"
#include "foundation/NSBundle.h"
#include "foundation/NSUserDefaults.h"
#include "settings/Quorix.h"
#include "uikit/UIDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// Opens the info screen for its asset when the viewer's Info item is tapped.
class STInfoOpener : public NSObject {
    QX_OBJECT(STInfoOpener, NSObject)
public:
    Ref<NSObject> asset;
    Ref<UIViewController> viewer;

    void showInfo(UIBarButtonItem* sender)
    {
        auto screen = objc::create(NSClassFromString("QXQuorixViewController"_ns.get()), "initWithStyle:", NSInteger { 1 });
        objc::send(screen, "setAsset:", asset);
        auto navigation = objc::create<UINavigationController>("initWithRootViewController:", screen.get());
        if (UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad) {
            auto popover = objc::create<UIPopoverController>("initWithContentViewController:", navigation.get());
            Quorix::sharedQuorix()->setPopoverController(popover.get());
            popover->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(sender, UIPopoverArrowDirectionAny, true);
        } else {
            viewer->presentModalViewControllerAnimated(navigation, true);
        }
    }

protected:
    STInfoOpener() = default;
};

Ref<STInfoOpener>& opener()
{
    static Ref<STInfoOpener> shared;
    return shared;
}

// Settings in a scratch folder, texts in English from the project's tables.
class ScreensEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        setenv("LANGUAGE", "en", 1);
        NSBundle::setMainBundleResourcePath(QUORIX_SOURCE_DIR "/resources");
        NSUserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override { NSUserDefaults::resetStandardUserDefaults(); }

private:
    fixtures::TempDir config_;
};

[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ScreensEnvironment);

} // namespace

QX_DEFINE_CLASS(STInfoOpener)
{
    b.method<&STInfoOpener::showInfo>("showInfo:");
}

namespace screenstest {

Viewer::Viewer(Device device, const std::string& systemVersion, const std::string& photoPath)
{
    UIApplication::sharedApplication()->reset();
    UIDevice* current = UIDevice::currentDevice();
    current->setUserInterfaceIdiom(device == Device::Tablet ? UIUserInterfaceIdiomPad : UIUserInterfaceIdiomPhone);
    current->setSystemVersion(systemVersion);

    opener() = make_object<STInfoOpener>();
    opener()->asset = PLManagedAsset::assetWithPath(photoPath);
    auto screen = objc::create<UIViewController>("init");
    screen->setTitle("Viewer"_ns.get());
    auto info = UIBarButtonItem::itemWithTitle("Info"_ns.get(), UIBarButtonItemStylePlain, opener().get(), "showInfo:");
    screen->setToolbarItems(arrayOfBarItems({ info }).get());
    opener()->viewer = objc::create<UINavigationController>("initWithRootViewController:", screen.get());
    UIApplication::sharedApplication()->setRootViewController(opener()->viewer);
}

Viewer::~Viewer()
{
    Quorix::sharedQuorix()->setPopoverController(nullptr);
    UIApplication::sharedApplication()->reset();
    opener() = nullptr;
    UIDevice::currentDevice()->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    UIDevice::currentDevice()->setSystemVersion("7.0");
}

std::string Viewer::topLayerText()
{
    auto shot = driver_.snapshot();
    if (shot.layers().empty())
        return {};
    // Layers start at the left margin, one after the other.
    const std::string text = "\n" + shot.toText();
    return text.substr(text.rfind("\n" + shot.layers().back().role + ":") + 1);
}

UIViewController* Viewer::topScreen()
{
    auto* app = UIApplication::sharedApplication();
    UIViewController* container = nullptr;
    if (!app->visiblePopovers().empty())
        container = app->visiblePopovers().back()->contentViewController();
    else if (!app->modalStack().empty())
        container = app->modalStack().back();
    auto* navigation = objc_cast<UINavigationController>(container);
    return navigation ? navigation->topViewController() : container;
}

DesktopStandIns::DesktopStandIns(bool withMailProgram)
    : savedPath_(std::getenv("PATH") ? std::getenv("PATH") : "")
{
    auto write = [&](const char* name) {
        std::string path = dir_.file(name);
        std::ofstream(path) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    write("xdg-open");
    if (withMailProgram)
        write("xdg-email");
    setenv("PATH", dir_.path().c_str(), 1);
}

DesktopStandIns::~DesktopStandIns() { setenv("PATH", savedPath_.c_str(), 1); }

std::string writePhoto(const fixtures::TempDir& dir, const std::string& name, bool withPosition)
{
    fixtures::ExifEdits edits {
        { "Exif.Image.Make", "Quorix Labs" },
        { "Exif.Image.Model", "Test Camera" },
        { "Exif.Photo.FNumber", "28/10" },
        { "Exif.Photo.ISOSpeedRatings", "200" },
    };
    if (withPosition) {
        edits.push_back({ "Exif.GPSInfo.GPSLatitudeRef", "N" });
        edits.push_back({ "Exif.GPSInfo.GPSLatitude", "48/1 51/1 2952/100" });
        edits.push_back({ "Exif.GPSInfo.GPSLongitudeRef", "E" });
        edits.push_back({ "Exif.GPSInfo.GPSLongitude", "2/1 17/1 4020/100" });
    }
    return fixtures::writeJpeg(dir.path(), name, 64, 48, edits);
}

} // namespace screenstest
