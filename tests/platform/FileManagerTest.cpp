#include "foundation/NSArray.h"
#include "foundation/NSDate.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSFileManager.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A private folder per test, removed afterwards.
class FileManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quorix-fm-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    std::string path(const std::string& relative) const { return (root_ / relative).string(); }

    void writeFile(const std::string& relative, size_t size) const
    {
        std::ofstream out(root_ / relative, std::ios::binary);
        out << std::string(size, 'x');
    }

    static std::vector<std::string> names(const NSArray* array)
    {
        std::vector<std::string> result;
        for (const auto& item : *array)
            result.push_back(objc_cast<NSString>(item.get())->str());
        return result;
    }

    fs::path root_;
    NSFileManager* manager_ = NSFileManager::defaultManager();
};

TEST_F(FileManagerTest, TheDefaultManagerIsOneInstance)
{
    ASSERT_NE(manager_, nullptr);
    EXPECT_EQ(manager_, NSFileManager::defaultManager());
}

TEST_F(FileManagerTest, AttributesGiveSizeTypeAndModificationToTheNanosecond)
{
    AutoreleasePool pool;
    writeFile("photo.jpg", 1234);
    const timespec times[2] = { { 0, UTIME_OMIT }, { 1399360089, 123456789 } };
    ASSERT_EQ(utimensat(AT_FDCWD, path("photo.jpg").c_str(), times, 0), 0);

    auto attributes = manager_->attributesOfItemAtPath(path("photo.jpg"));
    ASSERT_TRUE(attributes);
    auto* size = attributes->objectOfClassForKey<NSNumber>(NSFileSize);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->longLongValue(), 1234);
    auto* modified = attributes->objectOfClassForKey<NSDate>(NSFileModificationDate);
    ASSERT_NE(modified, nullptr);
    EXPECT_NEAR(modified->timeIntervalSince1970(), 1399360089.123456789, 1e-6);
    auto* type = attributes->objectOfClassForKey<NSString>(NSFileType);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->str(), "NSFileTypeRegular");
}

TEST_F(FileManagerTest, AttributesFollowALinkAndNameDirectories)
{
    AutoreleasePool pool;
    writeFile("target.jpg", 77);
    fs::create_symlink(path("target.jpg"), path("link.jpg"));
    fs::create_directory(path("folder"));

    auto linked = manager_->attributesOfItemAtPath(path("link.jpg"));
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->objectOfClassForKey<NSNumber>(NSFileSize)->longLongValue(), 77);
    EXPECT_EQ(linked->objectOfClassForKey<NSString>(NSFileType)->str(), "NSFileTypeRegular");

    auto folder = manager_->attributesOfItemAtPath(path("folder"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->objectOfClassForKey<NSString>(NSFileType)->str(), "NSFileTypeDirectory");
}

TEST_F(FileManagerTest, AttributesOfNothingAreNil)
{
    AutoreleasePool pool;
    fs::create_symlink(path("gone.jpg"), path("dangling.jpg"));
    EXPECT_FALSE(manager_->attributesOfItemAtPath(path("missing.jpg")));
    EXPECT_FALSE(manager_->attributesOfItemAtPath(path("dangling.jpg")));
    EXPECT_FALSE(manager_->attributesOfItemAtPath(""));
    // A NUL inside a path does not end it at an existing file's name.
    writeFile("photo.jpg", 3);
    const std::string cut = path("photo.jpg") + std::string(1, '\0') + "x";
    EXPECT_FALSE(manager_->attributesOfItemAtPath(cut));
    EXPECT_FALSE(manager_->fileExistsAtPath(cut));
    EXPECT_FALSE(manager_->attributesOfItemAtPath(std::string(PATH_MAX + 1, '/')));
}

TEST_F(FileManagerTest, ExistenceFollowsLinksAndTellsDirectories)
{
    writeFile("file", 1);
    fs::create_directory(path("dir"));
    fs::create_directory_symlink(path("dir"), path("dirlink"));
    fs::create_symlink(path("nowhere"), path("dangling"));
    struct Case {
        const char* name;
        bool exists;
        bool isDirectory;
    };
    const Case cases[] = {
        { "file", true, false },
        { "dir", true, true },
        { "dirlink", true, true },
        { "dangling", false, false },
        { "missing", false, false },
        { "file/below", false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool isDirectory = !c.isDirectory; // must be overwritten
        EXPECT_EQ(manager_->fileExistsAtPath(path(c.name), &isDirectory), c.exists);
        EXPECT_EQ(isDirectory, c.isDirectory);
        EXPECT_EQ(manager_->fileExistsAtPath(path(c.name)), c.exists);
    }
    EXPECT_FALSE(manager_->fileExistsAtPath(""));
}

TEST_F(FileManagerTest, ExistenceIsAnsweredThroughTheRuntime)
{
    AutoreleasePool pool;
    writeFile("file", 1);
    EXPECT_TRUE(objc::send<bool>(manager_, "fileExistsAtPath:", NSString::stringWithUTF8String(path("file")).get()));
    EXPECT_FALSE(objc::send<bool>(manager_, "fileExistsAtPath:", NSString::stringWithUTF8String(path("none")).get()));
    EXPECT_FALSE(objc::send<bool>(manager_, "fileExistsAtPath:", static_cast<NSString*>(nullptr)));
}

TEST_F(FileManagerTest, ListsDirectEntriesSortedWithoutDotEntries)
{
    AutoreleasePool pool;
    writeFile("b.strings", 1);
    writeFile("Quorix.strings", 1);
    writeFile(".hidden", 1);
    writeFile("a", 1);
    fs::create_directory(path("c.lproj"));
    writeFile("c.lproj/inner.strings", 1);

    auto contents = manager_->contentsOfDirectoryAtPath(root_.string());
    ASSERT_TRUE(contents);
    EXPECT_EQ(names(contents), (std::vector<std::string> { ".hidden", "Quorix.strings", "a", "b.strings", "c.lproj" }));
}

TEST_F(FileManagerTest, ListingAnEmptyDirectoryGivesNoEntriesAndAFailedOneNil)
{
    AutoreleasePool pool;
    fs::create_directory(path("empty"));
    writeFile("file", 1);

    auto empty = manager_->contentsOfDirectoryAtPath(path("empty"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0U);
    EXPECT_FALSE(manager_->contentsOfDirectoryAtPath(path("missing")));
    EXPECT_FALSE(manager_->contentsOfDirectoryAtPath(path("file")));
    EXPECT_FALSE(manager_->contentsOfDirectoryAtPath(""));
}

TEST_F(FileManagerTest, RemovesADirectoryWithEverythingInIt)
{
    fs::create_directories(path("German.lproj/deeper/still"));
    writeFile("German.lproj/Quorix.strings", 10);
    writeFile("German.lproj/deeper/still/image.png", 10);

    EXPECT_TRUE(manager_->removeItemAtPath(path("German.lproj")));
    EXPECT_FALSE(fs::exists(path("German.lproj")));
    EXPECT_TRUE(fs::exists(root_));
}

TEST_F(FileManagerTest, RemovingALinkLeavesWhatItPointsTo)
{
    fs::create_directory(path("target"));
    writeFile("target/one.strings", 5);
    writeFile("target/two.png", 5);
    fs::create_directory_symlink(path("target"), path("link.lproj"));

    EXPECT_TRUE(manager_->removeItemAtPath(path("link.lproj")));

    EXPECT_FALSE(fs::exists(fs::symlink_status(path("link.lproj"))));
    EXPECT_TRUE(fs::is_regular_file(path("target/one.strings")));
    EXPECT_TRUE(fs::is_regular_file(path("target/two.png")));
}

TEST_F(FileManagerTest, RemovingNothingReportsFailure)
{
    EXPECT_FALSE(manager_->removeItemAtPath(path("missing")));
    EXPECT_FALSE(manager_->removeItemAtPath(""));
}

TEST_F(FileManagerTest, AFailedRemovalReportsFailure)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop the superuser";
    fs::create_directory(path("locked"));
    writeFile("locked/keep.strings", 1);
    fs::permissions(path("locked"), fs::perms::owner_write, fs::perm_options::remove);

    EXPECT_FALSE(manager_->removeItemAtPath(path("locked")));
    fs::permissions(path("locked"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(fs::exists(path("locked/keep.strings")));
}

// A file URL spells out every byte of the path but letters, digits and
// "/-_.~" (UTF-8 byte by byte, in upper-case hex), whatever the locale; its
// path stays the text it was made from.
TEST(FileURL, EncodesEveryByteButLettersDigitsAndPathMarks)
{
    AutoreleasePool pool;
    const std::string path = "/Fotos/Über 100% ~a_b-c.d/#?;\x7f\xff.jpg";
    auto url = NSURL::fileURLWithPath(path);
    ASSERT_TRUE(url);
    const std::string text = "file:///Fotos/%C3%9Cber%20100%25%20~a_b-c.d/%23%3F%3B%7F%FF.jpg";
    EXPECT_EQ(url->absoluteString()->str(), text);
    EXPECT_EQ(NSString::stringWithFormat("%@", url.get())->str(), text);
    EXPECT_EQ(url->path()->str(), path);
}

} // namespace
