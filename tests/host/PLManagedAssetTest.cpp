#include "photolibrary/PLManagedAsset.h"

#include "foundation/NSDate.h"
#include "parser/QXParser.h"
#include "platform/ScopedDateDefaults.h"
#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using fixtures::TempDir;

std::string text(const NSString* string)
{
    return string ? string->str() : "(nil)";
}

// Runs a scope with another current directory, and goes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path)
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// The temporary directory with every link in it resolved, as getcwd reports it.
std::string realPath(const std::string& path)
{
    return std::filesystem::canonical(path).string();
}

// Each test has a pool and a scratch folder of its own.
class ManagedAssetFixture : public testing::Test {
protected:
    AutoreleasePool pool;
    TempDir dir;
};

struct ManagedAssetPath : ManagedAssetFixture { };
struct ManagedAssetKind : ManagedAssetFixture { };
struct ManagedAssetSize : ManagedAssetFixture { };
struct ManagedAssetDates : ManagedAssetFixture { };
struct ManagedAssetMessages : ManagedAssetFixture { };

TEST_F(ManagedAssetPath, MakesARelativePathAbsoluteAgainstTheCurrentDirectory)
{
    std::filesystem::create_directories(dir.file("b"));
    WorkingDirectory inside(dir.path());
    auto asset = PLManagedAsset::assetWithPath("a/../b/./photo.jpg");
    const std::string base = realPath(dir.path());
    EXPECT_EQ(text(asset->pathForImageFile().get()), base + "/b/photo.jpg");
    EXPECT_EQ(text(asset->filename().get()), "photo.jpg");
    EXPECT_EQ(text(asset->directory().get()), base + "/b");
}

TEST_F(ManagedAssetPath, NormalisesAnAbsolutePathWithoutTouchingTheDisk)
{
    struct Case {
        const char* given;
        const char* path;
        const char* filename;
        const char* directory;
    };
    const Case cases[] = {
        { "/photos/2014/../2015/./IMG_1.JPG", "/photos/2015/IMG_1.JPG", "IMG_1.JPG", "/photos/2015" },
        { "/photos//album///x.png", "/photos/album/x.png", "x.png", "/photos/album" },
        { "/vmlinuz", "/vmlinuz", "vmlinuz", "/" },
        { "/a/b/", "/a/b", "b", "/a" },
        { "/../../etc/x", "/etc/x", "x", "/etc" },
        { "/a/b/..", "/a", "a", "/" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        auto asset = PLManagedAsset::assetWithPath(c.given);
        EXPECT_EQ(text(asset->pathForImageFile().get()), c.path);
        EXPECT_EQ(text(asset->filename().get()), c.filename);
        EXPECT_EQ(text(asset->directory().get()), c.directory);
    }
}

TEST_F(ManagedAssetPath, KeepsASymbolicLinkAsGivenAndReadsThroughIt)
{
    fixtures::writeJpeg(dir.path(), "real.jpg", 32, 16);
    ASSERT_EQ(::symlink("real.jpg", dir.file("link.jpg").c_str()), 0);
    auto asset = PLManagedAsset::assetWithPath(dir.file("link.jpg"));
    EXPECT_EQ(text(asset->filename().get()), "link.jpg");
    EXPECT_TRUE(text(asset->pathForImageFile().get()).ends_with("/link.jpg"));
    EXPECT_TRUE(asset->isPhoto());
    EXPECT_TRUE(asset->isJPEG());
}

TEST_F(ManagedAssetPath, GivesNoFileFactsForAnEmptyPath)
{
    auto asset = PLManagedAsset::assetWithPath("");
    EXPECT_EQ(asset->pathForImageFile(), nullptr);
    EXPECT_EQ(asset->filename(), nullptr);
    EXPECT_EQ(asset->directory(), nullptr);
    EXPECT_FALSE(asset->isPhoto());
    EXPECT_EQ(asset->modificationDate(), nullptr);
}

TEST_F(ManagedAssetKind, TellsPicturesFromOtherFiles)
{
    auto jpeg = PLManagedAsset::assetWithPath(fixtures::writeJpeg(dir.path(), "a.jpg", 8, 8));
    EXPECT_TRUE(jpeg->isPhoto());
    EXPECT_TRUE(jpeg->isJPEG());
    EXPECT_FALSE(jpeg->isVideo());

    auto png = PLManagedAsset::assetWithPath(fixtures::writePng(dir.path(), "b.png", 8, 8));
    EXPECT_TRUE(png->isPhoto());
    EXPECT_FALSE(png->isJPEG());

    auto notes = PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "notes.txt", "not a picture\n"));
    EXPECT_FALSE(notes->isPhoto());
    EXPECT_FALSE(notes->isJPEG());
    EXPECT_FALSE(notes->isVideo());
    EXPECT_FALSE(notes->displayedSize().has_value());
    EXPECT_NE(notes->modificationDate(), nullptr);
}

TEST_F(ManagedAssetKind, KnowsAMovieByItsNameOrByItsBytes)
{
    // The name alone, whatever the bytes.
    auto byName = PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "Holiday.MOV", "not really a movie"));
    EXPECT_TRUE(byName->isVideo());
    EXPECT_FALSE(byName->isPhoto());
    // The bytes alone: an MP4 header under a neutral name.
    using namespace std::string_view_literals;
    auto byContent = PLManagedAsset::assetWithPath(fixtures::writeFile(dir.path(), "clip.bin", "\0\0\0\x18" "ftypmp42\0\0\0\0mp42isom"sv));
    EXPECT_TRUE(byContent->isVideo());
    EXPECT_FALSE(byContent->isPhoto());
}

TEST_F(ManagedAssetKind, SaysNothingOfAMissingFile)
{
    auto asset = PLManagedAsset::assetWithPath(dir.file("gone.jpg"));
    EXPECT_EQ(text(asset->filename().get()), "gone.jpg");
    EXPECT_FALSE(asset->isPhoto());
    EXPECT_FALSE(asset->isJPEG());
    EXPECT_FALSE(asset->isVideo());
    EXPECT_FALSE(asset->storedSize().has_value());
    EXPECT_EQ(asset->modificationDate(), nullptr);
    EXPECT_EQ(asset->location(), nullptr);
}

TEST_F(ManagedAssetKind, ReadsNothingFromAFifoOrADirectory)
{
    ASSERT_EQ(::mkfifo(dir.file("pipe.mov").c_str(), 0600), 0);
    // Opening the FIFO to read it would wait for a writer that never comes.
    auto pipe = PLManagedAsset::assetWithPath(dir.file("pipe.mov"));
    EXPECT_FALSE(pipe->isPhoto());
    EXPECT_TRUE(pipe->isVideo()) << "by its name";
    EXPECT_NE(pipe->modificationDate(), nullptr);

    auto folder = PLManagedAsset::assetWithPath(dir.path());
    EXPECT_FALSE(folder->isPhoto());
    EXPECT_FALSE(folder->isVideo());
}

TEST(VideoBytes, RecognisesMovieContainersOnly)
{
    using namespace std::string_view_literals;
    struct Case {
        std::string_view bytes;
        bool video;
    };
    const Case cases[] = {
        { "\0\0\0\x14" "ftypqt  \0\0\0\0"sv, true },
        { "\0\0\0\x20" "ftypisom\0\0\x02\0"sv, true },
        { "\0\0\0\x1C" "ftypmp42\0\0\0\0"sv, true },
        { "\0\0\0\x1C" "ftypM4V \0\0\0\0"sv, true },
        { "\0\0\0\x1C" "ftyp3gp5\0\0\0\0"sv, true },
        { "\0\0\0\x08" "wide\0\0\0\0"sv, true },
        { "RIFF\x10\0\0\0" "AVI LIST"sv, true },
        { "\x1A\x45\xDF\xA3\x9F\x42\x86\x81"sv, true },
        { "\0\0\0\x18" "ftypheic\0\0\0\0"sv, false },
        { "\0\0\0\x18" "ftypmif1\0\0\0\0"sv, false },
        { "\0\0\0\x1C" "ftypavif\0\0\0\0"sv, false },
        { "\0\0\0\x1C" "ftypM4A \0\0\0\0"sv, false },
        { "RIFF\x10\0\0\0" "WAVEfmt "sv, false },
        { "RIFF\x10\0\0\0" "WEBPVP8 "sv, false },
        { "\xFF\xD8\xFF\xE1\0\x10" "Exif\0\0"sv, false },
        { "\0\0\0\x18" "ftyp"sv, false },
        { ""sv, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        EXPECT_EQ(host::looksLikeVideo(c.bytes), c.video);
    }
}

TEST(VideoName, RecognisesMovieExtensionsInAnyCase)
{
    struct Case {
        const char* path;
        bool video;
    };
    const Case cases[] = {
        { "/a/b.mov", true },
        { "/a/b.MP4", true },
        { "/a/b.M4v", true },
        { "/a/b.avi", true },
        { "/a/b.3gp", true },
        { "/a/b.mkv", true },
        { "/a/b.WebM", true },
        { "/a/b.jpg", false },
        { "/a/b.mp4.txt", false },
        { "/a.mov/b", false },
        { "/a/mov", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(host::hasVideoExtension(c.path), c.video);
    }
}

TEST_F(ManagedAssetSize, SwapsWidthAndHeightForQuarterTurnOrientations)
{
    struct Case {
        const char* orientation;
        NSInteger width;
        NSInteger height;
    };
    const Case cases[] = {
        { "1", 40, 30 }, { "3", 40, 30 }, { "4", 40, 30 },
        { "5", 30, 40 }, { "6", 30, 40 }, { "7", 30, 40 }, { "8", 30, 40 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        auto path = fixtures::writeJpeg(dir.path(), std::string("o") + c.orientation + ".jpg", 40, 30,
            { { "Exif.Image.Orientation", c.orientation } });
        auto asset = PLManagedAsset::assetWithPath(path);
        auto shown = asset->displayedSize();
        auto stored = asset->storedSize();
        ASSERT_TRUE(shown.has_value());
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(shown->width, c.width);
        EXPECT_EQ(shown->height, c.height);
        EXPECT_EQ(stored->width, 40);
        EXPECT_EQ(stored->height, 30);
    }
}

TEST_F(ManagedAssetSize, KeepsWhatItReadTheFirstTime)
{
    auto path = fixtures::writeJpeg(dir.path(), "a.jpg", 20, 10);
    auto asset = PLManagedAsset::assetWithPath(path);
    ASSERT_TRUE(asset->isPhoto());
    fixtures::writeFile(dir.path(), "a.jpg", "replaced by text");
    EXPECT_TRUE(asset->isPhoto());
    ASSERT_TRUE(asset->storedSize().has_value());
    EXPECT_EQ(asset->storedSize()->width, 20);
}

// Sets a file's modification time to `seconds` and a half.
void setModificationTime(const std::string& path, time_t seconds)
{
    const timespec times[2] = { { seconds, 0 }, { seconds, 500000000 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

double secondsOf(const Ref<NSDate>& date) { return date ? date->timeIntervalSince1970() : -1; }

TEST_F(ManagedAssetDates, AnswersTheCaptureDateTheFileRecordsAndElseItsModificationTime)
{
    // The texts name no zone: they are read in the process's own.
    ScopedTimeZone tokyo("Asia/Tokyo");
    const std::string original = "2014:05:06 07:08:09"; // 1399327689 in Tokyo
    const std::string digitized = "2015:06:07 08:09:10"; // 1433632150
    const std::string written = "2016:07:08 09:10:11"; // 1467936611
    const std::string blank = "    :  :     :  :  "; // what cameras without a clock write
    constexpr time_t modified = 1400000000;
    struct Case {
        const char* name;
        fixtures::ExifEdits edits;
        double date;
    };
    const Case cases[] = {
        { "all three", { { "Exif.Photo.DateTimeOriginal", original }, { "Exif.Photo.DateTimeDigitized", digitized }, { "Exif.Image.DateTime", written } }, 1399327689 },
        { "digitized and written", { { "Exif.Photo.DateTimeDigitized", digitized }, { "Exif.Image.DateTime", written } }, 1433632150 },
        { "written only", { { "Exif.Image.DateTime", written } }, 1467936611 },
        { "blank original", { { "Exif.Photo.DateTimeOriginal", blank }, { "Exif.Image.DateTime", written } }, 1467936611 },
        { "no date", { { "Exif.Image.Make", "Quorix Test" } }, modified + 0.5 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = fixtures::writeJpeg(dir.path(), std::string(c.name) + ".jpg", 8, 8, c.edits);
        setModificationTime(path, modified);
        auto asset = PLManagedAsset::assetWithPath(path);
        ASSERT_TRUE(asset->respondsToSelector("date"));
        EXPECT_FALSE(asset->respondsToSelector("dateCreated"));
        EXPECT_DOUBLE_EQ(secondsOf(objc::send<NSDate*>(asset, "date")), c.date);
        EXPECT_DOUBLE_EQ(secondsOf(objc::send<NSDate*>(asset, "modificationDate")), modified + 0.5);
    }
}

TEST_F(ManagedAssetDates, GivesTheStampOfAPhotoWithoutAnOriginalDateTheDateItWasWritten)
{
    ScopedTimeZone utc("UTC");
    auto photo = fixtures::writeJpeg(dir.path(), "copied.jpg", 8, 8, { { "Exif.Image.DateTime", "2008:07:31 10:38:11" } });
    auto notes = fixtures::writeFile(dir.path(), "notes.txt", "2014:05:06 07:08:09");
    setModificationTime(photo, 1400000000);
    setModificationTime(notes, 1400000000);
    // The library asks the asset only when the file has no DateTimeOriginal.
    auto photoAsset = PLManagedAsset::assetWithPath(photo);
    auto notesAsset = PLManagedAsset::assetWithPath(notes);
    EXPECT_DOUBLE_EQ(secondsOf(QXParser::sharedQXParser()->dateForAsset(photoAsset)), 1217500691);
    EXPECT_DOUBLE_EQ(secondsOf(QXParser::sharedQXParser()->dateForAsset(notesAsset)), 1400000000.5);
}

TEST_F(ManagedAssetMessages, AnswersEveryAssetOperationThroughTheRuntime)
{
    auto asset = PLManagedAsset::assetWithPath(fixtures::writeJpeg(dir.path(), "m.jpg", 12, 6));
    EXPECT_EQ(text(objc::send<NSString*>(asset, "pathForImageFile")), dir.path() + "/m.jpg");
    EXPECT_EQ(text(objc::send<NSString*>(asset, "filename")), "m.jpg");
    EXPECT_EQ(text(objc::send<NSString*>(asset, "directory")), dir.path());
    EXPECT_TRUE(objc::send<bool>(asset, "isPhoto"));
    EXPECT_TRUE(objc::send<bool>(asset, "isJPEG"));
    EXPECT_FALSE(objc::send<bool>(asset, "isVideo"));
    EXPECT_EQ(objc::send<id>(asset, "location"), nullptr);
    EXPECT_EQ(objc_getClass("PLManagedAsset"), PLManagedAsset::objcClass());
}

} // namespace
