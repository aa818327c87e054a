// The parser's size rows for the file-backed asset. This file is built into
// one test program per declaration kind of the size properties; both must give
// the same rows. The suite takes its name from the program
// (QUORIX_SIZE_ROWS_SUITE), so the two sets of results stay apart.

#include "photolibrary/PLManagedAsset.h"

#include "parser/QXParser.h"
#include "runtime/AutoreleasePool.h"
#include "support/HeifFixture.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#ifndef QUORIX_SIZE_ROWS_SUITE
#error "QUORIX_SIZE_ROWS_SUITE names the test suite"
#endif

namespace {

// The File section's rows by label.
std::map<std::string, std::string> fileRows(const std::string& path)
{
    auto asset = PLManagedAsset::assetWithPath(path);
    auto* parser = QXParser::sharedQXParser();
    auto sections = parser->parseAsset(asset);
    parser->resetParser();
    std::map<std::string, std::string> rows;
    for (const auto& item : *sections) {
        const auto* section = objc_cast<QXSection>(item.get());
        if (!section || section->category() != QXSectionCategoryFile)
            continue;
        for (const auto& rowItem : *section->items()) {
            const auto* row = objc_cast<QXRow>(rowItem.get());
            rows[row->label()->str()] = row->value()->str();
        }
    }
    return rows;
}

TEST(QUORIX_SIZE_ROWS_SUITE, ShowThePictureSizeAsWidthByHeight)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto rows = fileRows(fixtures::writeJpeg(dir.path(), "plain.jpg", 640, 480));
    EXPECT_EQ(rows["Image Size"], "640 x 480");
    EXPECT_EQ(rows["Original Image Size"], "640 x 480");
}

TEST(QUORIX_SIZE_ROWS_SUITE, ShowAHeifPrimaryPictureAsItsRotationTurnsItNotTheCamerasExifSize)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    // A phone's upright photo: stored 4032 x 3024 and turned a quarter by
    // its rotation; its EXIF block says 4032 x 3024 and orientation 1, and
    // the file also holds a larger picture.
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "camera.jpg", 8, 8,
        { { "Exif.Image.Orientation", "1" }, { "Exif.Photo.PixelXDimension", "4032" }, { "Exif.Photo.PixelYDimension", "3024" } }));
    fixtures::HeifPicture picture;
    picture.width = 4032;
    picture.height = 3024;
    picture.quarterTurns = 3;
    picture.otherWidth = 8064;
    picture.otherHeight = 6048;
    picture.exif = fixtures::exifOfJpeg(jpeg);
    auto rows = fileRows(fixtures::writeFile(dir.path(), "upright.heic", fixtures::heifBytes(picture)));
    EXPECT_EQ(rows["Image Size"], "3024 x 4032");
    EXPECT_EQ(rows["Original Image Size"], "4032 x 3024");
}

TEST(QUORIX_SIZE_ROWS_SUITE, ShowATurnedPictureUprightAndItsStoredSizeAsIs)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto rows = fileRows(fixtures::writeJpeg(dir.path(), "turned.jpg", 640, 480, { { "Exif.Image.Orientation", "6" } }));
    EXPECT_EQ(rows["Image Size"], "480 x 640");
    EXPECT_EQ(rows["Original Image Size"], "640 x 480");
}

TEST(QUORIX_SIZE_ROWS_SUITE, AreLeftOutForFilesThatAreNoPicture)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    using namespace std::string_view_literals;
    auto rows = fileRows(fixtures::writeFile(dir.path(), "clip.mov", "\0\0\0\x14" "ftypqt  "sv));
    EXPECT_EQ(rows.count("Image Size"), 0U);
    EXPECT_EQ(rows.count("Original Image Size"), 0U);
    EXPECT_EQ(rows["Name"], "clip.mov");
    EXPECT_EQ(rows["File Size"], "12 Bytes");
}

} // namespace
