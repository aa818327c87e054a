// The loader as the host's libraries meet it: which folder is read, in what
// order its libraries load, a library that fails, and what a library that
// knows host classes only by name sees of the host afterwards.

#include "viewer/ViewerSession.h"

#include <filesystem>

namespace {

using namespace viewer_testing;
namespace fs = std::filesystem;

// The lines a test library printed, with its name: "[alpha] ...".
std::vector<std::string> saidBy(const std::string& err, const std::string& plugin)
{
    std::vector<std::string> said;
    for (const auto& line : lines(err)) {
        if (line.starts_with("[" + plugin + "] "))
            said.push_back(line.substr(plugin.size() + 3));
    }
    return said;
}

std::vector<std::string> tapsSeenBy(const std::string& err, const std::string& plugin)
{
    auto said = saidBy(err, plugin);
    std::erase_if(said, [](const std::string& line) { return !line.starts_with("tapped"); });
    return said;
}

// The folder's libraries with a broken one and a link to nothing between
// them; also a text file and a folder named like a library, which are not
// libraries at all.
struct LibraryFolder {
    fixtures::TempDir dir;
    LibraryFolder()
    {
        fs::create_symlink(kPluginDir + "/20-zulu.so", dir.file("20-zulu.so"));
        fixtures::writeFile(dir.path(), "15-broken.so", "not a library");
        fs::create_symlink(dir.file("gone"), dir.file("12-gone.so"));
        fs::create_symlink(kPluginDir + "/10-alpha.so", dir.file("10-alpha.so"));
        fixtures::writeFile(dir.path(), "05-readme.txt", "notes");
        fs::create_directory(dir.file("01-folder.so"));
    }
};

TEST(LoaderRoad, LoadsTheFolderInNameOrderSkipsWhatFailsAndTheHostGoesOn)
{
    LibraryFolder libraries;
    PhotoFolder photos;
    // In Turkish, so the host's strings table is seen to answer.
    Session session = runScript({ "--system", "6.1.6", "--library-dir", libraries.dir.path(), photos.dir.path() },
        { "show", "tap alpha", "next", "tap zulu" }, { { "LANGUAGE", "tr" } });
    ASSERT_EQ(session.status, 0) << session.err;
    ASSERT_EQ(session.answers.size(), 4u);

    // The libraries' own output went to standard error: standard output
    // holds the answers only (runScript checks every line is JSON).
    const auto err = lines(session.err);
    ASSERT_GE(err.size(), 4u);
    EXPECT_EQ(err[0], "[alpha] loaded; PLPhotoScrollerViewController present, PUPhotoBrowserController absent, "
                      "PUPopoverController absent, WPhotoViewController present; the host's Info title: Bilgi");
    EXPECT_EQ(err[1], "quorix-viewer: cannot load " + libraries.dir.file("12-gone.so") + ": No such file or directory");
    EXPECT_EQ(err[2], "quorix-viewer: cannot load " + libraries.dir.file("15-broken.so") + ": file too short");
    EXPECT_EQ(err[3].substr(0, 15), "[zulu] loaded; ");

    // Each library replaced the host's toolbar rebuild: zulu's replacement
    // wraps alpha's, as it was installed later. The system items are the
    // toolkit's words, in Turkish too.
    EXPECT_EQ(barTexts(session.answers[0], "toolbar"), (std::vector<std::string> { "Paylaş", "Sil", "alpha", "zulu" }));
    EXPECT_EQ(tapsSeenBy(session.err, "alpha"), (std::vector<std::string> { "tapped in PLPhotoScrollerViewController on a.jpg" }));
    EXPECT_EQ(tapsSeenBy(session.err, "zulu"), (std::vector<std::string> { "tapped in PLPhotoScrollerViewController on b.jpg" }));
}

// What a library watching PLPhotoTileViewController and the viewer sees:
// every lifecycle message, `_setPhoto:` with each photo, layout at the
// device's size, unloading at a memory warning, and the viewer controller
// released when the viewer closes, on both generations.
TEST(LoaderRoad, ALibrarySeesTheTileLifecycleAndTheViewerGo)
{
    PhotoFolder photos;
    fixtures::TempDir libraries;
    fs::create_symlink(kPluginDir + "/10-alpha.so", libraries.file("10-alpha.so"));
    struct Host {
        std::vector<std::string> device;
        std::string size;
        std::string viewer;
    };
    for (const Host& host : { Host { { "--system", "6.1.6" }, "320x480", "PLPhotoScrollerViewController" },
             Host { { "--system", "7.1.2", "--device", "tablet" }, "768x1024", "PUPhotoBrowserController" } }) {
        SCOPED_TRACE(host.viewer);
        auto arguments = host.device;
        arguments.insert(arguments.end(), { "--library-dir", libraries.path(), photos.dir.path() });
        Session session = runScript(arguments, { "next", "memory-warning", "previous", "close-viewer", "open 1" });
        ASSERT_EQ(session.status, 0) << session.err;
        const std::vector<std::string> expected {
            // The viewer opens on a.jpg, its neighbour b.jpg loaded ahead.
            "tile _setPhoto: a.jpg",
            "tile viewDidLoad",
            "tile _setPhoto: b.jpg",
            "tile viewDidLoad",
            "tile viewDidLayoutSubviews " + host.size + " a.jpg",
            // next: c.JPG gets a tile of its own, b.jpg is laid out on screen.
            "tile _setPhoto: c.JPG",
            "tile viewDidLoad",
            "tile viewDidLayoutSubviews " + host.size + " b.jpg",
            // The memory warning unloads the two tiles off screen.
            "tile viewDidUnload a.jpg",
            "tile viewDidUnload c.JPG",
            // previous: a.jpg's tile is given its photo again and reloads;
            // c.JPG's, out of reach now, goes.
            "tile _setPhoto: a.jpg",
            "tile viewDidLoad",
            "tile dealloc",
            "tile viewDidLayoutSubviews " + host.size + " a.jpg",
            // close-viewer releases the viewer controller, then its tiles.
            "dealloc " + host.viewer,
            "tile dealloc",
            "tile dealloc",
            // open 1: a new viewer, with new tiles.
            "tile _setPhoto: b.jpg",
            "tile viewDidLoad",
            "tile _setPhoto: a.jpg",
            "tile viewDidLoad",
            "tile _setPhoto: c.JPG",
            "tile viewDidLoad",
            "tile viewDidLayoutSubviews " + host.size + " b.jpg",
        };
        auto said = saidBy(session.err, "alpha");
        ASSERT_FALSE(said.empty());
        said.erase(said.begin()); // "loaded; ..."
        EXPECT_EQ(said, expected);
    }
}

// The option names the folder; without it the environment variable does;
// without either, the folder beside the program. A folder that cannot be
// read is reported, and the host runs without libraries.
TEST(LoaderRoad, FindsTheFolderFromTheOptionTheEnvironmentOrBesideTheProgram)
{
    PhotoFolder photos;
    fixtures::TempDir alphaOnly;
    fs::create_symlink(kPluginDir + "/10-alpha.so", alphaOnly.file("10-alpha.so"));
    fixtures::TempDir zuluOnly;
    fs::create_symlink(kPluginDir + "/20-zulu.so", zuluOnly.file("20-zulu.so"));
    const std::map<std::string, std::string> alphaFromEnvironment { { "QUORIX_LIBRARY_DIR", alphaOnly.path() } };
    const std::vector<std::string> show { "show" };

    Session fromEnvironment = runScript({ "--system", "6.1.6", photos.dir.path() }, show, alphaFromEnvironment);
    ASSERT_EQ(fromEnvironment.answers.size(), 1u);
    EXPECT_EQ(barTexts(fromEnvironment.answers[0], "toolbar"), (std::vector<std::string> { "Share", "Delete", "alpha" }));

    Session fromOption = runScript({ "--system", "6.1.6", "--library-dir", zuluOnly.path(), photos.dir.path() }, show, alphaFromEnvironment);
    ASSERT_EQ(fromOption.answers.size(), 1u);
    EXPECT_EQ(barTexts(fromOption.answers[0], "toolbar"), (std::vector<std::string> { "Share", "Delete", "zulu" }));

    // An installation in miniature: bin/quorix-viewer and lib/quorix/DynamicLibraries.
    fixtures::TempDir prefix;
    fs::create_directories(prefix.file("bin"));
    fs::create_directories(prefix.file("lib/quorix/DynamicLibraries"));
    fs::copy_file(kViewer, prefix.file("bin/quorix-viewer"));
    fs::create_symlink(kPluginDir + "/20-zulu.so", prefix.file("lib/quorix/DynamicLibraries/20-zulu.so"));
    Session beside = runScript({ "--system", "7.1.2", photos.dir.path() }, show, {}, prefix.file("bin/quorix-viewer"));
    ASSERT_EQ(beside.answers.size(), 1u) << beside.err;
    EXPECT_EQ(barTexts(beside.answers[0], "toolbar"), (std::vector<std::string> { "Share", "Delete", "zulu" }));

    const std::string missing = prefix.file("no-such-folder");
    Session unreadable = runScript({ "--library-dir", missing, photos.dir.path() }, show);
    EXPECT_EQ(unreadable.status, 0);
    EXPECT_EQ(unreadable.err, "quorix-viewer: cannot read library folder " + missing + ": No such file or directory\n");
    ASSERT_EQ(unreadable.answers.size(), 1u);
    EXPECT_EQ(barTexts(unreadable.answers[0], "toolbar"), (std::vector<std::string> { "Share", "Delete" }));
}

} // namespace
