#pragma once

// A stand-in viewer that opens the info screen as the viewer integration
// does (modal on a phone, a popover from its Info item on a tablet), a test
// photo with chosen metadata, and a PATH holding recording stand-ins for the
// desktop's opener and mail program.

#include "support/ImageFixtures.h"

#include "uikit/UIApplication.h"
#include "uikit/UIDriver.h"

#include <string>

namespace screenstest {

enum class Device {
    Phone,
    Tablet,
};

// The viewer: a navigation screen titled "Viewer" with an "Info" item in its
// toolbar. Tapping Info opens the info screen for the asset.
class Viewer {
public:
    Viewer(Device device, const std::string& systemVersion, const std::string& photoPath);
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    UIDriver& driver() { return driver_; }
    // The topmost layer of the screen, as text.
    std::string topLayerText();
    // The screen on top of the info screen's navigation stack.
    UIViewController* topScreen();

private:
    UIDriver driver_;
};

// A folder put first on PATH for the life of the object, with stand-ins for
// `xdg-open` and (optionally) `xdg-email` that write their arguments to a
// log. Everything else on PATH is dropped, so nothing real is started.
class DesktopStandIns {
public:
    explicit DesktopStandIns(bool withMailProgram);
    ~DesktopStandIns();
    DesktopStandIns(const DesktopStandIns&) = delete;
    DesktopStandIns& operator=(const DesktopStandIns&) = delete;

private:
    fixtures::TempDir dir_;
    std::string savedPath_;
};

// A JPEG with TIFF and EXIF data and, when asked, a position of 48.8582 N,
// 2.2945 E.
std::string writePhoto(const fixtures::TempDir& dir, const std::string& name, bool withPosition);

} // namespace screenstest
