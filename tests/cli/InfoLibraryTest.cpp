// `quorix info -r` over folders of photos, and `-j`: a photo library walked
// in name order, its links and loops, its unreadable entries, and the same
// output from one process or several.

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fixtures::TempDir;
using testing_support::ChildResult;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";

// Runs `quorix info` with the arguments, each "lib..." made a path in
// `folder`; the paths in what it prints are given back relative to `folder`.
ChildResult info(const std::vector<std::string>& arguments, const std::string& folder)
{
    std::vector<std::string> all { "info" };
    for (const auto& argument : arguments)
        all.push_back(argument.rfind("lib", 0) == 0 ? folder + "/" + argument : argument);
    const std::map<std::string, std::string> english {
        { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" },
    };
    auto result = testing_support::runProgram(kQuorix, all, english);
    for (std::string* text : { &result.out, &result.err }) {
        for (size_t at; (at = text->find(folder + "/")) != std::string::npos;)
            text->erase(at, folder.size() + 1);
    }
    return result;
}

std::vector<std::string> describedPaths(const std::string& out)
{
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        paths.push_back(nlohmann::json::parse(line)["path"]);
    return paths;
}

// lib/
//   2014/ b.jpg, a.jpg, cut.jpg (a JPEG cut short), notes and clip.mp4 (files
//         that are no pictures), broken -> nowhere
//   2014/trip/ c.tif, up -> ../.. (a loop)
//   2015 -> 2014/trip (a link to a folder walked anyway)
//   z.jpg
struct Library {
    TempDir dir;
    std::string root = dir.file("lib");

    Library()
    {
        namespace fs = std::filesystem;
        fs::create_directories(root + "/2014/trip");
        fixtures::writeJpeg(root + "/2014", "b.jpg", 16, 16, { { "Exif.Image.Make", "B" } });
        fixtures::writeJpeg(root + "/2014", "a.jpg", 16, 16, { { "Exif.Image.Make", "A" } });
        fixtures::writeFile(root + "/2014", "notes", "not a picture");
        fixtures::writeFile(root + "/2014", "clip.mp4", std::string("\0\0\0\x18" "ftypisom\0\0\x02\0" "isomiso2", 24));
        fixtures::writeFile(root + "/2014", "cut.jpg", fixtures::readFile(root + "/2014/a.jpg").substr(0, 40));
        fs::create_symlink("nowhere", root + "/2014/broken");
        fixtures::writeTiff(root + "/2014/trip", "c.tif", 8, 8, { { "Exif.Image.Make", "C" } });
        fs::create_directory_symlink("../..", root + "/2014/trip/up");
        fs::create_directory_symlink("2014/trip", root + "/2015");
        fixtures::writeJpeg(root, "z.jpg", 16, 16);
    }
};

} // namespace

TEST(InfoRecursive, WalksFoldersInNameOrderReportingLoopsAndUnreadableEntries)
{
    Library library;
    auto result = info({ "-r", "--json", "lib" }, library.dir.path());
    EXPECT_EQ(result.status, 1);
    // The files that are no pictures are passed over in silence; the JPEG cut short is one.
    EXPECT_EQ(describedPaths(result.out),
        (std::vector<std::string> { "lib/2014/a.jpg", "lib/2014/b.jpg", "lib/2014/cut.jpg", "lib/2014/trip/c.tif", "lib/z.jpg" }));
    EXPECT_EQ(result.err,
        "quorix: lib/2014/broken: No such file or directory\n"
        "quorix: lib/2014/trip/up: Too many levels of symbolic links\n");
}

TEST(InfoRecursive, FollowsLinkedFoldersEachOnce)
{
    // From lib/2015 (trip), "up" leads to lib, whose folders lead back to trip.
    Library library;
    auto result = info({ "-r", "--json", "lib/2015" }, library.dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(describedPaths(result.out),
        (std::vector<std::string> { "lib/2015/c.tif", "lib/2015/up/2014/a.jpg", "lib/2015/up/2014/b.jpg", "lib/2015/up/2014/cut.jpg",
            "lib/2015/up/z.jpg" }));
    EXPECT_EQ(result.err,
        "quorix: lib/2015/up/2014/broken: No such file or directory\n"
        "quorix: lib/2015/up/2014/trip: Too many levels of symbolic links\n"
        "quorix: lib/2015/up/2015: Too many levels of symbolic links\n");
}

TEST(InfoRecursive, LeavesAFolderAnErrorWithoutTheOption)
{
    Library library;
    auto result = info({ "--json", "lib", "lib/z.jpg" }, library.dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(describedPaths(result.out), (std::vector<std::string> { "lib/z.jpg" }));
    EXPECT_EQ(result.err, "quorix: lib: Is a directory\n");
}

TEST(InfoJobs, PrintsTheSameOutputInTheSameOrderFromOneProcessOrSeveral)
{
    Library library;
    for (const char* format : { "--json", "--recursive" }) { // JSON, and text
        SCOPED_TRACE(format);
        auto one = info({ "-r", format, "-j", "1", "lib", "missing.jpg", "lib/2014/notes", "lib/z.jpg" }, library.dir.path());
        for (const char* jobs : { "2", "3", "16" }) {
            auto several = info({ "--recursive", format, "--jobs", jobs, "lib", "missing.jpg", "lib/2014/notes", "lib/z.jpg" },
                library.dir.path());
            EXPECT_EQ(several.status, one.status) << jobs;
            EXPECT_EQ(several.out, one.out) << jobs;
            EXPECT_EQ(several.err, one.err) << jobs;
        }
        EXPECT_NE(one.err.find("quorix: missing.jpg: No such file or directory\n"
                               "quorix: lib/2014/notes: not an image\n"),
            std::string::npos)
            << one.err;
    }
}

TEST(InfoJobs, RefusesACountThatIsNotAPositiveNumber)
{
    TempDir dir;
    for (const char* jobs : { "0", "-3", "many" }) {
        auto result = info({ "-j", jobs, "x.jpg" }, dir.path());
        EXPECT_EQ(result.status, 2) << jobs;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Try 'quorix --help'"), std::string::npos) << result.err;
    }
}
