// What `quorix` says about a command line it does not understand, and about
// output it cannot write, as a script sees it.

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fixtures::TempDir;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";

// English system messages, and settings in a folder of the test's own.
std::map<std::string, std::string> environmentIn(const TempDir& config)
{
    return { { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" }, { "XDG_CONFIG_HOME", config.path() } };
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

TEST(CommandLine, NamesWhatItDoesNotUnderstandWithOneLineOfUsage)
{
    TempDir config;
    struct Row {
        std::vector<std::string> arguments;
        std::string message;
        std::string usage; // how the usage line starts
    };
    const Row rows[] = {
        { { "frobnicate" }, "quorix: unknown command 'frobnicate'", "Usage: quorix " },
        { { "frobnicate", "--frob" }, "quorix: unknown command 'frobnicate'", "Usage: quorix " },
        { { "--frob" }, "quorix: unknown option '--frob'", "Usage: quorix " },
        { { "info", "--frob", "a.jpg" }, "quorix: unknown option '--frob'", "Usage: quorix info " },
        { { "settings", "-z" }, "quorix: unknown option '-z'", "Usage: quorix settings " },
        { { "settings", "quorix_stamp_enabled", "true", "extra" }, "quorix: unexpected argument 'extra'", "Usage: quorix settings " },
        { {}, "quorix: no command given", "Usage: quorix " },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        auto result = testing_support::runProgram(kQuorix, row.arguments, environmentIn(config));
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        auto said = lines(result.err);
        ASSERT_EQ(said.size(), 3U) << result.err;
        EXPECT_EQ(said[0], row.message);
        EXPECT_TRUE(said[1].starts_with(row.usage)) << said[1];
        EXPECT_EQ(said[2], "Try 'quorix --help' for more information.");
    }
}

TEST(CommandLine, CallsOutputThatCannotBeWrittenAnError)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    auto photo = fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8);
    const std::string missing = dir.file("gone.jpg");
    const std::string kWriteError = "quorix: write error: No space left on device\n";
    struct Row {
        std::vector<std::string> arguments;
        std::string err;
    };
    const Row rows[] = {
        { { "info", photo }, kWriteError },
        { { "info", "--json", photo }, kWriteError },
        { { "info", missing, photo }, "quorix: " + missing + ": No such file or directory\n" + kWriteError },
        { { "settings" }, kWriteError },
        { { "--help" }, kWriteError },
        { { "--version" }, kWriteError },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.front() + " " + row.arguments.back());
        auto result = testing_support::runProgram(kQuorix, row.arguments, environmentIn(dir), { .standardOutput = "/dev/full", .userId = -1, .workingDirectory = {} });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, row.err);
    }
}

// The command hosts the library as the viewer does: without it there is no
// info screen and no settings store to ask, and it says where it looked.
TEST(CommandLine, SaysSoWhenTheLibraryIsNotInItsFolder)
{
    TempDir dir;
    auto photo = fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8);
    auto environment = environmentIn(dir);
    environment["QUORIX_LIBRARY_DIR"] = dir.path();
    const std::string notLoaded = "quorix: the Quorix library is not loaded: no Quorix.so in " + dir.path() + "\n";
    for (const std::vector<std::string>& arguments : { std::vector<std::string> { "info", photo }, std::vector<std::string> { "settings" } }) {
        auto result = testing_support::runProgram(kQuorix, arguments, environment);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, notLoaded);
        EXPECT_EQ(result.out, "");
    }
    // A broken library in the folder is named and skipped.
    fixtures::writeFile(dir.path(), "Broken.so", "not a library");
    auto result = testing_support::runProgram(kQuorix, { "settings" }, environment);
    EXPECT_EQ(lines(result.err).front().rfind("quorix: cannot load " + dir.file("Broken.so") + ": ", 0), 0u) << result.err;
}

// The programs find their libraries where they were built or installed,
// never in the folder a person runs them from: a file there named like a
// library they need is neither loaded nor in the way.
TEST(CommandLine, TakesNoLibraryFromTheWorkingFolder)
{
    TempDir dir;
    auto photo = fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8);
    for (const char* name : { "libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1" })
        fixtures::writeFile(dir.path(), name, "not a library");
    testing_support::ChildSetup inFolder;
    inFolder.workingDirectory = dir.path();
    auto result = testing_support::runProgram(kQuorix, { "info", "photo.jpg" }, environmentIn(dir), inFolder);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("photo.jpg"), std::string::npos) << result.out;
    for (const char* program : { "quorix-viewer", "QuorixTool" }) {
        auto version = testing_support::runProgram(std::string(QUORIX_BINARY_DIR) + "/bin/" + program, { "--version" }, environmentIn(dir), inFolder);
        EXPECT_EQ(version.status, 0) << program << ": " << version.err;
    }
}

} // namespace
