// The full image reader (exiv2) is a library of its own, loaded by the first
// photo the lean reader leaves: `quorix info` of a common photo never loads
// exiv2, a photo that needs it still gets its whole table, and without the
// library the command says so once and shows such a photo as unreadable.

#include "cli/ChildProcess.h"
#include "cli/LoaderLog.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

using fixtures::TempDir;
using testing_support::loaded;
using Environment = std::map<std::string, std::string>;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";
const std::string kBuiltLibraries = std::string(QUORIX_BINARY_DIR) + "/lib";

const fixtures::ExifEdits kEdits {
    { "Exif.Image.Make", "Quorix Test" },
    { "Exif.Photo.FNumber", "22/10" },
    { "Exif.GPSInfo.GPSLatitudeRef", "S" },
    { "Exif.GPSInfo.GPSLatitude", "33/1 52/1 0/1" },
    { "Exif.GPSInfo.GPSLongitudeRef", "W" },
    { "Exif.GPSInfo.GPSLongitude", "70/1 30/1 0/1" },
};

Environment english(Environment more = {})
{
    more.insert({ { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" } });
    return more;
}

testing_support::ChildResult info(const std::string& photo, const Environment& environment)
{
    return testing_support::runProgram(kQuorix, { "info", "-j", "1", photo }, environment);
}

bool hasRow(const std::string& table, const std::string& label, const std::string& value)
{
    const size_t at = table.find("\n" + label + " ");
    return at != std::string::npos && table.find(value, at) == table.find_first_not_of(' ', at + 1 + label.size());
}

} // namespace

TEST(InfoFullReader, IsLoadedOnlyForAPhotoTheLeanReaderLeaves)
{
    TempDir dir;
    const auto jpeg = fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48, kEdits);
    // exiv2 writes EXIF into a PNG as a compressed text chunk, which only
    // the full reader reads.
    const auto png = fixtures::writePng(dir.path(), "a.png", 24, 16, kEdits);
    const Environment logged = english({ { "LD_DEBUG", "files" } });

    auto common = info(jpeg, logged);
    ASSERT_EQ(common.status, 0) << common.err;
    ASSERT_TRUE(loaded(common, "libquorix_platform.so")) << "no loader log: " << common.err;
    EXPECT_FALSE(loaded(common, "libexiv2.so.27"));
    EXPECT_FALSE(loaded(common, "libquorix_full_reader.so"));
    EXPECT_TRUE(hasRow(common.out, "Make", "Quorix Test")) << common.out;

    auto needsExiv2 = info(png, logged);
    ASSERT_EQ(needsExiv2.status, 0) << needsExiv2.err;
    EXPECT_TRUE(loaded(needsExiv2, "libquorix_full_reader.so"));
    EXPECT_TRUE(loaded(needsExiv2, "libexiv2.so.27"));
    for (const auto& [label, value] : { std::pair { "Image Size", "24 x 16" }, { "Make", "Quorix Test" }, { "F Number", "f/2.2" },
             { "Location", "-33.866667, -70.500000" } })
        EXPECT_TRUE(hasRow(needsExiv2.out, label, value)) << label << " in\n" << needsExiv2.out;
}

TEST(InfoFullReader, WithoutItsLibrarySaysSoOnceAndShowsThePhotosItWouldReadAsUnreadable)
{
    TempDir dir;
    const auto jpeg = fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48, kEdits);
    const auto png = fixtures::writePng(dir.path(), "a.png", 24, 16, kEdits);
    // The platform library found in a folder without the full reader beside
    // it (the date formats library is there), as in an installation that
    // lost the file.
    const std::string libraries = dir.path() + "/libraries";
    std::filesystem::create_directory(libraries);
    for (const char* library : { "libquorix_platform.so", "libquorix_date_formats.so" })
        std::filesystem::create_symlink(kBuiltLibraries + "/" + library, libraries + "/" + library);
    const Environment broken = english({ { "LD_LIBRARY_PATH", libraries } });

    // Both of the two copies that describe the files meet a PNG.
    auto run = testing_support::runProgram(kQuorix, { "info", "-j", "2", png, jpeg, png, png }, broken);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "quorix: some photos cannot be read: " + libraries
            + "/libquorix_full_reader.so: cannot open shared object file: No such file or directory\n");
    // The PNG's table has its file's rows only, as an unreadable file's;
    // the JPEG, which the lean reader reads, has all of its own.
    auto unreadable = info(png, broken).out;
    EXPECT_TRUE(hasRow(unreadable, "Name", "a.png")) << unreadable;
    EXPECT_FALSE(hasRow(unreadable, "Make", "Quorix Test")) << unreadable;
    EXPECT_EQ(info(jpeg, broken).out, info(jpeg, english()).out);
    EXPECT_NE(run.out.find(info(jpeg, english()).out), std::string::npos);
}
