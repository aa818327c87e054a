// Quorix in the stand-in host, loaded from the build's dynamic-libraries
// folder the way the loader finds it beside the program: the Info item in
// each host's bar, the info screen it opens, the stamp on the tiles through
// paging, a memory warning and a new viewer.

#include "viewer/ViewerSession.h"

namespace {

using namespace viewer_testing;

// Stamps read as the parser's display format writes dates in English, with
// ICU's narrow no-break space (U+202F) before AM and PM.

// The stamp label of the tile showing `fileName`: the tile's one label.
const json* stamp(const json& showAnswer, const std::string& fileName)
{
    const json* photo = tile(showAnswer, fileName);
    return photo ? findElement(*photo, "label") : nullptr;
}

json frame(double x, double y, double width, double height)
{
    return { { "x", x }, { "y", y }, { "width", width }, { "height", height } };
}

struct InfoCase {
    const char* description;
    std::vector<std::string> device;
    const char* bar;
    std::vector<std::string> items; // the snapshot's order
    const char* tapShows; // the layer a tap on Info opens; null: not tapped here
    json stampFrame;
    double stampFontSize;
};

// The stamp's look: bold white system text, centred, on black at alpha 0.4
// (the single-precision 0.4 the label is given).
json stampStyle(double fontSize)
{
    return {
        { "font", { { "name", "system" }, { "size", fontSize }, { "weight", "bold" } } },
        { "textColor", { { "red", 1.0 }, { "green", 1.0 }, { "blue", 1.0 }, { "alpha", 1.0 } } },
        { "backgroundColor", { { "red", 0.0 }, { "green", 0.0 }, { "blue", 0.0 }, { "alpha", double { 0.4f } } } },
        { "textAlignment", "center" },
    };
}

TEST(QuorixRoad, EachHostCarriesInfoWhereItsBarPutsIt)
{
    const std::vector<InfoCase> cases {
        { "older phone", { "--system", "6.1.6" }, "toolbar", { "Share", "Info", "Delete" }, "modal", frame(0, 450, 320, 30), 15 },
        { "version 7 phone", { "--system", "7.1.2" }, "toolbar", { "Share", "Info", "Delete" }, "modal", frame(0, 450, 320, 30), 15 },
        { "no idiom at all", { "--system", "6.1.6", "--no-idiom" }, "toolbar", { "Share", "Info", "Delete" }, "modal", frame(0, 450, 320, 30), 15 },
        { "version 7 tablet", { "--system", "7.1.2", "--device", "tablet" }, "navigationBar", { "Photos", "Edit", "Share", "Delete", "Info" }, "popover", frame(0, 984, 768, 40), 17 },
        { "older tablet", { "--system", "6.1.6", "--device", "tablet" }, "navigationBar", { "Photos", "Share", "UIButtonBarInfo.png", "Delete" }, "popover", frame(0, 984, 768, 40), 17 },
        { "version 7, neither idiom", { "--system", "7.1.2", "--device", "2" }, "toolbar", { "Share", "Delete" }, nullptr, frame(0, 480, 320, 0), 0 },
    };
    PhotoFolder photos;
    for (const auto& host : cases) {
        SCOPED_TRACE(host.description);
        auto arguments = host.device;
        arguments.push_back(photos.dir.path());
        Session session = runScript(arguments, { "show", "tap Info", "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        EXPECT_EQ(session.err, "");
        ASSERT_EQ(session.answers.size(), 3u);
        EXPECT_EQ(barTexts(session.answers[0], host.bar), host.items);
        const json* label = stamp(session.answers[0], "a.jpg");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->at("frame"), host.stampFrame);
        EXPECT_EQ(label->at("style"), stampStyle(host.stampFontSize));
        EXPECT_EQ(label->at("hidden"), true) << "the stamp setting starts off";
        EXPECT_EQ(label->value("text", ""), "January 1, 2011 at 1:01\u202FAM");
        if (host.tapShows) {
            EXPECT_EQ(session.answers[1], (json { { "ok", true } }));
            const json* shown = findLayer(session.answers[2], host.tapShows);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->at("text"), "Quorix");
            EXPECT_NE(findElement(*shown, "cell", "Name"), nullptr);
        }
    }
    // On the version 7 tablet Info stands left of the host's right-hand items.
    Session tablet = runScript({ "--system", "7.1.2", "--device", "tablet", photos.dir.path() }, { "show" });
    ASSERT_EQ(tablet.answers.size(), 1u);
    EXPECT_LT(itemX(tablet.answers[0], "navigationBar", "Info"), itemX(tablet.answers[0], "navigationBar", "Delete"));
}

// Hosts whose viewer is none of the classes the library knows (a version 7
// system missing PhotosUI, a plain viewer): the library loads, the photos
// carry their stamps, and the viewer shows no Info item and runs as always.
TEST(QuorixRoad, HostsWithoutAKnownViewerStillStampTheirPhotos)
{
    PhotoFolder photos;
    for (const char* host : { "without-photosui", "plain" }) {
        SCOPED_TRACE(host);
        Session session = runScript({ "--system", "7.1.2", "--host", host, photos.dir.path() }, { "show", "tap Info", "next", "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        EXPECT_EQ(session.err, "");
        ASSERT_EQ(session.answers.size(), 4u);
        EXPECT_EQ(session.answers[1].at("ok"), false) << "no Info item";
        EXPECT_EQ(session.answers[2].at("ok"), true);
        const json* label = stamp(session.answers[3], "b.jpg");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->at("text"), "February 2, 2012 at 2:02\u202FAM");
        EXPECT_EQ(label->at("frame"), frame(0, 450, 320, 30));
    }
}

// Both tablets: the info screen in a popover at the Info item, its map and
// More screens inside it, the Maps link closing it, the stamp switched from
// More showing on the tile at once, and a closed viewer's popover gone with it.
TEST(QuorixRoad, TabletsKeepTheInfoScreenInAPopover)
{
    PhotoFolder photos;
    const std::string sample = std::string(QUORIX_SOURCE_DIR) + "/samples/quorix-sample.jpg";
    for (const char* system : { "6.1.6", "7.1.2" }) {
        SCOPED_TRACE(system);
        Session session = runScript({ "--system", system, "--device", "tablet", sample, photos.dir.path() },
            {
                "tap Info",
                "show",
                "tap More",
                "toggle Enabled",
                "show", // 4
                "back",
                "tap Show Location in Maps app",
                "show",
                "opened",
                "tap Info", // 9
                "close-viewer",
                "show",
                "open 1",
                "tap Info",
                "show", // 14
            });
        ASSERT_EQ(session.status, 0) << session.err;
        ASSERT_EQ(session.answers.size(), 15u);
        expectEveryAnswerOk(session);
        const auto& a = session.answers;

        const json* popover = findLayer(a[1], "popover");
        ASSERT_NE(popover, nullptr);
        EXPECT_EQ(popover->at("text"), "Quorix");
        EXPECT_EQ(popover->at("frame").at("width"), 400.0);
        EXPECT_EQ(findElement(*popover, "barButton", "Done"), nullptr) << "a tablet has no Done";
        // The switch reaches the tile under the popover before the next command.
        const json* label = stamp(a[4], "quorix-sample.jpg");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->at("hidden"), false);
        EXPECT_EQ(label->at("frame"), frame(0, 984, 768, 40));

        EXPECT_EQ(findLayer(a[7], "popover"), nullptr) << "the Maps link closes the popover";
        ASSERT_EQ(a[8].at("urls").size(), 1u);
        EXPECT_EQ(a[8].at("urls")[0], "http://maps.apple.com/maps?ll=-22.948658,-43.157444");
        // Closing the viewer takes its popover with it; the next viewer's Info
        // opens on its own photo.
        EXPECT_EQ(findLayer(a[11], "popover"), nullptr);
        EXPECT_EQ(infoPhotoName(a[14], "popover"), "a.jpg");
    }
}

// The popovers' titles on screen, bottom to top.
std::vector<std::string> popoverTitles(const json& showAnswer)
{
    std::vector<std::string> titles;
    for (const auto& layer : layers(showAnswer)) {
        if (layer.at("role") == "popover")
            titles.push_back(layer.value("text", ""));
    }
    return titles;
}

// A popover lets taps on the bar it came from through to the viewer. On the
// version 7 tablet Info then does nothing while its popover shows. On the
// older tablet every Info tap first asks the host to close its popovers:
// the host's share sheet closes and the tap stops there, and the replaced
// dismissal closes the info popover and answers true, so neither Info nor
// Share opens anything on that tap.
TEST(QuorixRoad, TabletBarsStayUsableUnderTheirPopovers)
{
    PhotoFolder photos;
    Session newer = runScript({ "--system", "7.1.2", "--device", "tablet", photos.dir.path() },
        { "tap Info", "tap Info", "show", "outside", "tap Info", "show" });
    ASSERT_EQ(newer.status, 0) << newer.err;
    ASSERT_EQ(newer.answers.size(), 6u);
    EXPECT_EQ(newer.answers[1], (json { { "ok", true } }));
    EXPECT_EQ(popoverTitles(newer.answers[2]), std::vector<std::string> { "Quorix" });
    EXPECT_EQ(popoverTitles(newer.answers[5]), std::vector<std::string> { "Quorix" }) << "closed by the platform, Info opens again";

    Session older = runScript({ "--system", "6.1.6", "--device", "tablet", photos.dir.path() },
        {
            "tap Share",
            "show",
            "tap Info",
            "show",
            "tap Info",
            "show", // 5
            "tap Info",
            "show",
            "tap Info",
            "tap Share",
            "show", // 10
        });
    ASSERT_EQ(older.status, 0) << older.err;
    ASSERT_EQ(older.answers.size(), 11u);
    expectEveryAnswerOk(older);
    const auto& a = older.answers;
    EXPECT_EQ(popoverTitles(a[1]), std::vector<std::string> { "Share" });
    EXPECT_EQ(popoverTitles(a[3]), std::vector<std::string> {}) << "Info only closed the share sheet";
    EXPECT_EQ(popoverTitles(a[5]), std::vector<std::string> { "Quorix" });
    EXPECT_EQ(popoverTitles(a[7]), std::vector<std::string> {}) << "Info closed its own popover";
    EXPECT_EQ(popoverTitles(a[10]), std::vector<std::string> {}) << "Share only closed the info popover";
}

// Delete with the Info popover open on either tablet: the popover closes
// before the confirmation shows, so nothing goes on describing the photo
// once it is removed, and Info then opens on the photo that took its place.
TEST(QuorixRoad, TabletDeleteClosesTheInfoPopoverBeforeItAsks)
{
    PhotoFolder photos;
    for (const char* system : { "7.1.2", "6.1.6" }) {
        SCOPED_TRACE(system);
        Session session = runScript({ "--system", system, "--device", "tablet", photos.dir.path() },
            { "tap Info", "tap Delete", "show", "tap Remove", "show", "tap Info", "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        ASSERT_EQ(session.answers.size(), 7u);
        expectEveryAnswerOk(session);
        const auto& a = session.answers;
        EXPECT_EQ(popoverTitles(a[2]), std::vector<std::string> {}) << "the popover closed for the confirmation";
        EXPECT_EQ(layers(a[2]).back().at("role"), "alert");
        EXPECT_EQ(popoverTitles(a[4]), std::vector<std::string> {});
        EXPECT_EQ(layers(a[4]).back().at("text"), "1 of 2");
        EXPECT_EQ(infoPhotoName(a[6], "popover"), "b.jpg");
    }
}

// The older phone from the first Info tap to a second viewer: the info
// screen and its map link, the stamp switched on from More, every tile's
// stamp on paging and after a memory warning, and a new Info item for the
// viewer opened after the first one was closed.
TEST(QuorixRoad, OlderPhoneFromInfoToStampToANewViewer)
{
    PhotoFolder photos;
    const std::string sample = std::string(QUORIX_SOURCE_DIR) + "/samples/quorix-sample.jpg";
    Session session = runScript({ "--system", "6.1.6", photos.dir.path(), sample },
        {
            "open 3", // 0: the viewer is open already
            "close-viewer",
            "open 3",
            "tap Info",
            "tap Show Location in Maps app",
            "opened", // 5
            "tap More",
            "toggle Enabled",
            "back",
            "tap Done",
            "show", // 10
            "close-viewer",
            "open 0",
            "next",
            "show",
            "memory-warning", // 15
            "previous",
            "show",
            "tap Info",
            "show",
            "tap More", // 20
            "toggle Enabled",
            "back",
            "tap Done",
            "show",
        });
    ASSERT_EQ(session.status, 0) << session.err;
    ASSERT_EQ(session.answers.size(), 25u);
    expectEveryAnswerOk(session, 1);
    const auto& a = session.answers;

    EXPECT_EQ(a[5].at("urls"), (json { "http://maps.apple.com/maps?ll=-22.948658,-43.157444" }));
    EXPECT_EQ(findLayer(a[10], "modal"), nullptr) << "Done closed the info screen";
    const json* sampleStamp = stamp(a[10], "quorix-sample.jpg");
    ASSERT_NE(sampleStamp, nullptr);
    EXPECT_EQ(sampleStamp->at("hidden"), false);
    EXPECT_EQ(sampleStamp->at("text"), "May 6, 2014 at 6:42\u202FPM");

    // Each photo's tile shows its own date, the reloaded one too.
    const json* second = stamp(a[14], "b.jpg");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->at("text"), "February 2, 2012 at 2:02\u202FAM");
    EXPECT_EQ(second->at("hidden"), false);
    const json* first = stamp(a[17], "a.jpg");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->at("text"), "January 1, 2011 at 1:01\u202FAM");
    EXPECT_EQ(first->at("frame"), frame(0, 450, 320, 30));
    EXPECT_EQ(first->at("hidden"), false);

    // The second viewer's Info item opens the info screen on its own photo.
    const json* info = findLayer(a[19], "modal");
    ASSERT_NE(info, nullptr);
    const json* name = findElement(*info, "cell", "Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->at("state").at("detail"), "a.jpg");

    // Switched off again, the stamp leaves the photo, its date kept.
    const json* off = stamp(a[24], "a.jpg");
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->at("hidden"), true);
    EXPECT_EQ(off->at("text"), "January 1, 2011 at 1:01\u202FAM");
}

} // namespace
