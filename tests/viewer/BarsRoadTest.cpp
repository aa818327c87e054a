// A single tap on the photo hides the viewer's bars and a second brings them
// back, on both phones and both tablets: with the bars away the date stamp
// is read whole and uncovered, Info cannot be reached, paging leaves them
// away, and once back Info opens on the photo shown.

#include "viewer/ViewerSession.h"

namespace {

using namespace viewer_testing;

bool intersects(const json& a, const json& b)
{
    auto edge = [](const json& f, const char* origin, const char* size) {
        return std::pair(f.at(origin).get<double>(), f.at(origin).get<double>() + f.at(size).get<double>());
    };
    auto [ax0, ax1] = edge(a, "x", "width");
    auto [ay0, ay1] = edge(a, "y", "height");
    auto [bx0, bx1] = edge(b, "x", "width");
    auto [by0, by1] = edge(b, "y", "height");
    return ax0 < bx1 && bx0 < ax1 && ay0 < by1 && by0 < ay1;
}

bool contains(const json& element, const json* target)
{
    if (&element == target)
        return true;
    for (const auto& child : element.at("children")) {
        if (contains(child, target))
            return true;
    }
    return false;
}

// The visible elements of `layer` drawn over `target`: any but the target's
// own ancestors (the views it sits in) whose frame meets the target's.
void coverers(const json& element, const json* target, std::vector<std::string>& found)
{
    if (element.at("hidden") == true || &element == target)
        return;
    if (!contains(element, target) && intersects(element.at("frame"), target->at("frame")))
        found.push_back(element.at("role").get<std::string>() + " " + element.value("text", element.value("label", "")));
    for (const auto& child : element.at("children"))
        coverers(child, target, found);
}

const json& onlyElement(const json& layer, const std::string& role)
{
    const json* found = findElement(layer, role);
    if (!found)
        throw std::runtime_error("no " + role + " in the layer");
    return *found;
}

struct Host {
    const char* description;
    std::vector<std::string> arguments;
    const char* bar; // the bar Info sits in
    const char* infoLayer;
    const char* close; // the command that closes the info screen
    double screenWidth;
    double screenHeight;
};

TEST(BarsRoad, ATapOnThePhotoHidesTheBarsSoTheStampIsReadWholeAndASecondBringsThemBack)
{
    const std::vector<Host> hosts {
        { "older phone", { "--system", "6.1.6" }, "toolbar", "modal", "tap Done", 320, 480 },
        { "version 7 phone", { "--system", "7.1.2" }, "toolbar", "modal", "tap Done", 320, 480 },
        { "older tablet", { "--system", "6.1.6", "--device", "tablet" }, "navigationBar", "popover", "outside", 768, 1024 },
        { "version 7 tablet", { "--system", "7.1.2", "--device", "tablet" }, "navigationBar", "popover", "outside", 768, 1024 },
    };
    PhotoFolder photos;
    for (const auto& host : hosts) {
        SCOPED_TRACE(host.description);
        auto arguments = host.arguments;
        arguments.push_back(photos.dir.path());
        Session session = runScript(arguments,
            {
                "tap Info", "tap More", "toggle Enabled", "back", host.close,
                "show", // 5: the bars over the photo
                "tap a.jpg",
                "show", // 7: the bars away
                "tap Info",
                "next",
                "show", // 10
                "tap b.jpg",
                "show", // 12: the bars back
                "tap Info",
                "show", // 14
            });
        ASSERT_EQ(session.status, 0) << session.err;
        const auto& a = session.answers;
        ASSERT_EQ(a.size(), 15u) << session.out;
        for (size_t i : { 0, 1, 2, 3, 4, 6, 9, 11, 13 })
            EXPECT_EQ(a[i].at("ok"), true) << "command " << i << ": " << a[i].dump();

        const json* shown = findLayer(a[5], "viewer");
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(onlyElement(*shown, "navigationBar").at("hidden"), false);
        EXPECT_EQ(a[5].at("screen").at("statusBar").at("hidden"), false);

        // Hidden: every bar, and the stamp whole on the screen with nothing over it.
        const json* bare = findLayer(a[7], "viewer");
        ASSERT_NE(bare, nullptr);
        EXPECT_EQ(onlyElement(*bare, "navigationBar").at("hidden"), true);
        if (std::string(host.bar) == "toolbar") {
            EXPECT_EQ(onlyElement(*bare, "toolbar").at("hidden"), true);
        }
        EXPECT_EQ(a[7].at("screen").at("statusBar").at("hidden"), true);
        const json* photo = tile(a[7], "a.jpg");
        ASSERT_NE(photo, nullptr);
        EXPECT_EQ(photo->at("frame"), (json { { "x", 0.0 }, { "y", 0.0 }, { "width", host.screenWidth }, { "height", host.screenHeight } }))
            << "the photo fills the screen";
        const json* stamp = findElement(*photo, "label");
        ASSERT_NE(stamp, nullptr);
        EXPECT_EQ(stamp->at("hidden"), false);
        EXPECT_EQ(stamp->value("text", ""), "January 1, 2011 at 1:01\u202FAM");
        const json& f = stamp->at("frame");
        EXPECT_GE(f.at("y").get<double>(), 0);
        EXPECT_LE(f.at("y").get<double>() + f.at("height").get<double>(), host.screenHeight);
        EXPECT_EQ(f.at("width").get<double>(), host.screenWidth);
        std::vector<std::string> over;
        coverers(*bare, stamp, over);
        EXPECT_TRUE(over.empty()) << "over the stamp: " << over.front();

        // Info sits on a hidden bar; paging keeps the bars away.
        EXPECT_EQ(a[8].at("ok"), false);
        EXPECT_EQ(a[8].value("error", ""), "no control \"Info\" on screen; visible: \"1 of 3\", \"a.jpg\", \"January 1, 2011 at 1:01\u202FAM\"");
        EXPECT_EQ(a[9].at("index"), 1);
        EXPECT_EQ(onlyElement(*findLayer(a[10], "viewer"), "navigationBar").at("hidden"), true);
        EXPECT_NE(tile(a[10], "b.jpg"), nullptr);

        // Back again, rebuilt for the photo now shown: Info is there and opens on it.
        const json* back = findLayer(a[12], "viewer");
        ASSERT_NE(back, nullptr);
        const json& bar = onlyElement(*back, host.bar);
        EXPECT_EQ(bar.at("hidden"), false);
        EXPECT_EQ(a[12].at("screen").at("statusBar").at("hidden"), false);
        EXPECT_NE(findElement(bar, "barButton", "Info"), nullptr);
        EXPECT_EQ(onlyElement(*back, "navigationBar").at("text"), "2 of 3");
        EXPECT_EQ(infoPhotoName(a[14], host.infoLayer), "b.jpg");
    }
}

// The bars go and come back through the platform's own messages, which
// another library sees: the watching test library logs each one. Closing
// the viewer brings them back too.
TEST(BarsRoad, TheBarsHideThroughMessagesALibraryCanReplace)
{
    PhotoFolder photos;
    Session session = runScript({ "--library-dir", kPluginDir, "--system", "7.1.2", photos.dir.path() }, { "tap a.jpg", "tap a.jpg" });
    ASSERT_EQ(session.status, 0) << session.err;
    std::vector<std::string> calls;
    for (const auto& line : lines(session.err)) {
        if (line.find("Hidden:") != std::string::npos)
            calls.push_back(line);
    }
    EXPECT_EQ(calls, (std::vector<std::string> {
                         "[alpha] setNavigationBarHidden:animated: YES",
                         "[alpha] setToolbarHidden:animated: YES",
                         "[alpha] setStatusBarHidden:withAnimation: YES",
                         "[alpha] setNavigationBarHidden:animated: NO",
                         "[alpha] setToolbarHidden:animated: NO",
                         "[alpha] setStatusBarHidden:withAnimation: NO",
                     }));

    // A viewer closed with its bars away leaves the album its status bar.
    Session closed = runScript({ photos.dir.path() }, { "tap a.jpg", "close-viewer", "show" });
    ASSERT_EQ(closed.answers.size(), 3u) << closed.err;
    EXPECT_EQ(closed.answers[2].at("screen").at("statusBar").at("hidden"), false);
    EXPECT_EQ(closed.answers[2].at("screen").at("layers")[0].at("role"), "viewer");
}

} // namespace
