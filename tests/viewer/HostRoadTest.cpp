// The host as a person meets it: each generation and device with its own
// bars, paging, the share sheet, removing a photo, closing the viewer and
// opening it again, all through `quorix-viewer --script`.

#include "viewer/ViewerSession.h"

#include <algorithm>
#include <filesystem>

namespace {

using namespace viewer_testing;

struct HostCase {
    const char* description;
    std::vector<std::string> device;
    const char* bar; // where the viewer's own items are
    std::vector<std::string> items; // the snapshot's order, the test library's item last
    double width, height; // the screen and every tile
    const char* photosUI; // whether the host loaded the version 7 framework
};

// Each host with the test library 20-zulu.so loaded: its item lands in the
// bar that the generation's rebuild message fills, which shows that the
// host sends that message and uses what it leaves behind.
TEST(HostRoad, EachHostShowsItsOwnBarItemsInOrderOnTilesOfItsScreenSize)
{
    const std::vector<HostCase> cases {
        { "older phone", { "--system", "6.1.6", "--device", "phone" }, "toolbar", { "Share", "Delete", "zulu" }, 320, 480, "absent" },
        { "older tablet", { "--system", "6.1.6", "--device", "tablet" }, "navigationBar", { "Photos", "Share", "Delete", "zulu" }, 768, 1024, "absent" },
        { "version 7 phone", { "--system", "7.1.2" }, "toolbar", { "Share", "Delete", "zulu" }, 320, 480, "present" },
        { "version 7 tablet", { "--system", "7.1.2", "--device", "tablet" }, "navigationBar", { "Photos", "Edit", "Share", "Delete", "zulu" }, 768, 1024, "present" },
        { "7.0.4 reads as 7.0", { "--system", "7.0.4", "--device", "tablet" }, "navigationBar", { "Photos", "Edit", "Share", "Delete", "zulu" }, 768, 1024, "present" },
        { "version 7, neither idiom", { "--system", "7.1.2", "--device", "5" }, "toolbar", { "Share", "Delete", "zulu" }, 320, 480, "present" },
        { "older, neither idiom", { "--system", "6.1.6", "--device", "5" }, "toolbar", { "Share", "Delete", "zulu" }, 320, 480, "absent" },
        { "older, no idiom at all", { "--system", "6.1.6", "--device", "tablet", "--no-idiom" }, "toolbar", { "Share", "Delete", "zulu" }, 320, 480, "absent" },
    };
    fixtures::TempDir libraries;
    std::filesystem::create_symlink(kPluginDir + "/20-zulu.so", libraries.file("20-zulu.so"));
    PhotoFolder photos;
    for (const auto& host : cases) {
        SCOPED_TRACE(host.description);
        auto arguments = host.device;
        arguments.insert(arguments.end(), { "--library-dir", libraries.path(), photos.dir.path() });
        Session session = runScript(arguments, { "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        ASSERT_EQ(session.answers.size(), 1u);
        const json& shown = session.answers[0];
        EXPECT_EQ(shown.at("ok"), true);
        EXPECT_EQ(barTexts(shown, host.bar), host.items);
        EXPECT_EQ(shown.at("screen").at("screen"), (json { { "width", host.width }, { "height", host.height } }));
        const json* photo = tile(shown, "a.jpg");
        ASSERT_NE(photo, nullptr);
        EXPECT_EQ(photo->at("frame"), (json { { "x", 0.0 }, { "y", 0.0 }, { "width", host.width }, { "height", host.height } }));
        EXPECT_EQ(findLayer(shown, "viewer")->at("text"), "1 of 3");
        EXPECT_NE(session.err.find(std::string("PUPhotoBrowserController ") + host.photosUI), std::string::npos) << session.err;
        if (std::string(host.bar) == "navigationBar") {
            // Right-hand items stand from the right edge inwards: the first is rightmost.
            EXPECT_GT(itemX(shown, host.bar, host.items[1]), itemX(shown, host.bar, host.items[2]));
        } else {
            EXPECT_LT(itemX(shown, host.bar, "Share"), itemX(shown, host.bar, "Delete"));
        }
    }
}

// The older phone with no library: paging to both ends, the share sheet and
// the pasteboard, removing a photo, closing the viewer with its own item and
// with the command, and opening it again from the album and by number.
TEST(HostRoad, OlderPhoneFromFirstPhotoToAlbumAndBack)
{
    PhotoFolder photos;
    fixtures::TempDir noLibraries;
    Session session = runScript({ "--system", "6.1.6", "--library-dir", noLibraries.path(), photos.dir.path() },
        {
            "show", // 0
            "next",
            "next",
            "next",
            "memory-warning",
            "previous", // 5
            "show",
            "tap Share",
            "next",
            "tap Copy File Path",
            "pasteboard", // 10
            "tap Delete",
            "show",
            "tap Remove",
            "show",
            "close-viewer", // 15
            "show",
            "previous",
            "tap a.jpg",
            "show",
            "open 2", // 20
            "tap Photos",
            "open 2",
            "show",
            "opened",
            "quit", // 25
            "show",
        });
    ASSERT_EQ(session.status, 0) << session.err;
    EXPECT_EQ(session.err, "");
    ASSERT_EQ(session.answers.size(), 26u) << "nothing is answered after quit";
    const auto& a = session.answers;

    EXPECT_EQ(barTexts(a[0], "navigationBar"), (std::vector<std::string> { "Photos" }));
    EXPECT_EQ(barTexts(a[0], "toolbar"), (std::vector<std::string> { "Share", "Delete" }));
    EXPECT_NE(tile(a[0], "a.jpg"), nullptr);

    EXPECT_EQ(a[1], (json { { "ok", true }, { "index", 1 } }));
    EXPECT_EQ(a[2], (json { { "ok", true }, { "index", 2 } }));
    EXPECT_EQ(a[3], (json { { "ok", false }, { "error", "already at the last photo (3 of 3)" } }));
    EXPECT_EQ(a[4], (json { { "ok", true } }));
    EXPECT_EQ(a[5], (json { { "ok", true }, { "index", 1 } }));
    EXPECT_EQ(findLayer(a[6], "viewer")->at("text"), "2 of 3");
    EXPECT_NE(tile(a[6], "b.jpg"), nullptr);

    // The share sheet covers the viewer; paging waits until it is gone.
    EXPECT_EQ(a[7].at("ok"), true);
    EXPECT_EQ(a[8], (json { { "ok", false }, { "error", "cannot page: the viewer is covered by a modal" } }));
    EXPECT_EQ(a[9].at("ok"), true);
    EXPECT_EQ(a[10], (json { { "ok", true }, { "string", photos.file("b.jpg") } }));

    // Removing b.jpg asks first; c.JPG then takes its place as photo 2 of 2.
    const json* alert = findLayer(a[12], "alert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->at("text"), "Remove Photo");
    EXPECT_NE(findElement(*alert, "button", "Cancel"), nullptr);
    EXPECT_EQ(findLayer(a[14], "viewer")->at("text"), "2 of 2");
    EXPECT_NE(tile(a[14], "c.JPG"), nullptr);

    // The album shows every photo, the removed one too: it left the viewer only.
    EXPECT_EQ(a[15], (json { { "ok", true } }));
    ASSERT_EQ(layers(a[16]).size(), 1u);
    const json& album = layers(a[16])[0];
    EXPECT_EQ(album.at("text"), "Photos");
    for (const char* name : { "a.jpg", "b.jpg", "c.JPG" })
        EXPECT_NE(findElement(album, "thumbnail", name), nullptr) << name;
    EXPECT_EQ(a[17], (json { { "ok", false }, { "error", "no viewer is open" } }));
    EXPECT_EQ(a[18].at("ok"), true);
    EXPECT_EQ(findLayer(a[19], "viewer")->at("text"), "1 of 3");
    EXPECT_NE(tile(a[19], "a.jpg"), nullptr);

    EXPECT_EQ(a[20], (json { { "ok", false }, { "error", "the viewer is already open; close it first" } }));
    EXPECT_EQ(a[21].at("ok"), true);
    EXPECT_EQ(a[22], (json { { "ok", true }, { "index", 2 } }));
    EXPECT_EQ(findLayer(a[23], "viewer")->at("text"), "3 of 3");
    EXPECT_NE(tile(a[23], "c.JPG"), nullptr);
    EXPECT_EQ(a[24], (json { { "ok", true }, { "urls", json::array() } }));
    EXPECT_EQ(a[25], (json { { "ok", true } }));
}

// On both tablets Share opens a popover at its item, which a second tap on
// Share (its bar stays usable) or a tap outside closes; the version 7
// tablet's Edit switches its bar to Done and back.
TEST(HostRoad, TabletsShowTheShareSheetInAPopoverAtItsItem)
{
    PhotoFolder photos;
    fixtures::TempDir noLibraries;
    for (const char* system : { "6.1.6", "7.1.2" }) {
        SCOPED_TRACE(system);
        Session session = runScript({ "--system", system, "--device", "tablet", "--library-dir", noLibraries.path(), photos.dir.path() },
            { "tap Share", "show", "tap Share", "show", "tap Share", "outside", "show", "tap Edit", "show", "tap Done", "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        ASSERT_EQ(session.answers.size(), 11u);
        const auto& a = session.answers;
        const json* popover = findLayer(a[1], "popover");
        ASSERT_NE(popover, nullptr);
        EXPECT_EQ(popover->at("text"), "Share");
        EXPECT_EQ(popover->at("state").at("arrow"), "up");
        // Under the Share item, the arrow's height below the bar.
        const double shareX = itemX(a[1], "navigationBar", "Share");
        EXPECT_LE(popover->at("frame").at("x").get<double>(), shareX);
        EXPECT_EQ(popover->at("frame").at("y"), 57.0);
        EXPECT_NE(findElement(*popover, "button", "Copy File Path"), nullptr);
        EXPECT_EQ(a[2], (json { { "ok", true } }));
        EXPECT_EQ(findLayer(a[3], "popover"), nullptr) << "a second tap on Share closes the sheet";
        EXPECT_EQ(a[5], (json { { "ok", true } }));
        EXPECT_EQ(findLayer(a[6], "popover"), nullptr);
        if (std::string(system) == "7.1.2") {
            EXPECT_EQ(barTexts(a[8], "navigationBar"), (std::vector<std::string> { "Photos", "Done" }));
            EXPECT_EQ(barTexts(a[10], "navigationBar"), (std::vector<std::string> { "Photos", "Edit", "Share", "Delete" }));
        } else {
            EXPECT_EQ(a[7].at("ok"), false) << "the older tablet has no Edit item";
            EXPECT_EQ(barTexts(a[10], "navigationBar"), (std::vector<std::string> { "Photos", "Share", "Delete" }));
        }
    }
}

} // namespace
