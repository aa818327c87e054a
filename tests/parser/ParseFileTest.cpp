#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include "parser/QXSection.h"
#include "support/ImageFixtures.h"

#include <ctime>
#include <filesystem>

using namespace parser_test;

namespace {

std::vector<int> categoriesOf(const NSArray* sections)
{
    std::vector<int> result;
    for (const auto& object : *sections) {
        const auto* section = objc_cast<QXSection>(object.get());
        result.push_back(section ? section->category() : -1);
    }
    return result;
}

const NSArray* rowsOfCategory(const NSArray* sections, int category)
{
    for (const auto& object : *sections) {
        const auto* section = objc_cast<QXSection>(object.get());
        if (section && section->category() == category)
            return section->items();
    }
    return nullptr;
}

// Seconds since 1970 of a wall-clock time in the process's time zone.
double localSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return static_cast<double>(std::mktime(&parts));
}

Ref<PLManagedAsset> assetFor(const std::string& path)
{
    auto asset = PLManagedAsset::create();
    asset->path = NSString::stringWithUTF8String(path);
    asset->name = NSString::stringWithUTF8String(std::filesystem::path(path).filename().string());
    return asset;
}

TEST(ParseFile, PutsTheGpsSectionSecondForAFileWithOnlyAPosition)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto path = fixtures::writeJpeg(dir.path(), "gps.jpg", 16, 16,
        { { "Exif.GPSInfo.GPSLatitudeRef", "S" },
            { "Exif.GPSInfo.GPSLatitude", "33/1 52/1 768/100" },
            { "Exif.GPSInfo.GPSLongitudeRef", "E" },
            { "Exif.GPSInfo.GPSLongitude", "151/1 12/1 3348/100" } });
    auto asset = assetFor(path);
    asset->photo = false;
    auto parser = newParser();

    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(categoriesOf(sections), (std::vector<int> { 1, 2 }));
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 2), "Location"), "-33.868800, 151.209300");
    ASSERT_NE(parser->send<CLLocation*>("location"), nullptr);
    EXPECT_NEAR(parser->location()->coordinate().latitude, -33.8688, 1e-9);
}

TEST(ParseFile, ShowsNoGpsSectionForAPositionedAssetWithoutAReadableFile)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->name = "IMG_0001.JPG"_ns;
    asset->path = "/nonexistent/quorix/IMG_0001.JPG"_ns;
    asset->position = CLLocation::initWithLatitudeLongitude(1, 2);
    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(categoriesOf(sections), (std::vector<int> { 1 }));
    EXPECT_EQ(parser->location(), nullptr);
}

TEST(ParseFile, LetsTheAssetsPositionWinOverTheFiles)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto path = fixtures::writeJpeg(dir.path(), "plain.jpg", 16, 16, { { "Exif.Image.Make", "Canon" } });
    auto asset = assetFor(path);
    asset->position = CLLocation::initWithLatitudeLongitude(37.332331, -122.031219);
    auto parser = newParser();
    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(categoriesOf(sections), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 2), "Location"), "37.332331, -122.031219");
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 3), "Make"), "Canon");
}

TEST(ParseFile, ShowsNoPositionForCoordinatesOffTheGlobe)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    const fixtures::ExifEdits offTheGlobe[] = {
        { { "Exif.GPSInfo.GPSLatitude", "1012/1 0/1 0/1" }, { "Exif.GPSInfo.GPSLongitude", "4000000000/1 0/1 0/1" } },
        { { "Exif.GPSInfo.GPSLatitudeRef", "S" }, { "Exif.GPSInfo.GPSLatitude", "90/1 0/1 1/100" },
            { "Exif.GPSInfo.GPSLongitude", "10/1 0/1 0/1" } },
    };
    auto parser = newParser();
    for (const auto& edits : offTheGlobe) {
        SCOPED_TRACE(edits[0].value);
        auto asset = assetFor(fixtures::writeJpeg(dir.path(), "far.jpg", 16, 16, edits));
        asset->photo = false;
        Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
        EXPECT_EQ(categoriesOf(sections), (std::vector<int> { 1 }));
        EXPECT_EQ(parser->location(), nullptr);
        parser->send("resetParser");
    }
}

TEST(ParseFile, ReadsAFlashStoredAsALongAsAThirtyTwoBitCode)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    struct Case {
        const char* stored;
        const char* text;
    };
    // 4294967294 is -2 as a 32-bit code: bit 0 clear, so no flash fired.
    constexpr Case cases[] = { { "4294967294", "did not fire" }, { "16", "did not fire, compulsory mode" } };
    auto parser = newParser();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        auto asset = assetFor(fixtures::writeJpeg(dir.path(), "flash.jpg", 16, 16, { { "Exif.Photo.Flash", c.stored, "Long" } }));
        Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
        EXPECT_EQ(valueOf(rowsOfCategory(sections, 4), "Flash"), c.text);
        parser->send("resetParser");
    }
}

TEST(DateForAssetFile, ReadsTheOriginalDateTimeAsLocalTime)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto parser = newParser();
    auto asset = assetFor(fixtures::writeJpeg(dir.path(), "dated.jpg", 16, 16, { { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" } }));
    asset->date = NSDate::dateWithTimeIntervalSince1970(1000);
    NSDate* date = parser->send<NSDate*>("dateForAsset:", asset.get());
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->timeIntervalSince1970(), localSeconds(2014, 5, 6, 7, 8, 9));
}

TEST(DateForAssetFile, FallsBackOnADateOfAnotherForm)
{
    AutoreleasePool pool;
    fixtures::TempDir dir;
    auto parser = newParser();
    for (const char* text : { "2014-05-06 07:08:09", "2014:05:06", "    :  :     :  :  " }) {
        SCOPED_TRACE(text);
        auto asset = assetFor(fixtures::writeJpeg(dir.path(), "odd.jpg", 16, 16, { { "Exif.Photo.DateTimeOriginal", text } }));
        asset->date = NSDate::dateWithTimeIntervalSince1970(1000);
        NSDate* date = parser->send<NSDate*>("dateForAsset:", asset.get());
        ASSERT_NE(date, nullptr);
        EXPECT_EQ(date->timeIntervalSince1970(), 1000);
    }
}

// Real camera files, read in place.
class Corpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::is_directory(QUORIX_CORPUS_DIR))
            GTEST_SKIP() << "no sample corpus at " << QUORIX_CORPUS_DIR;
    }

    static std::string file(const char* relative) { return std::string(QUORIX_CORPUS_DIR) + "/" + relative; }

    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
};

TEST_F(Corpus, ParsesACameraJpegWithPositionIntoFourSections)
{
    auto asset = assetFor(file("jpg/gps/DSCN0010.jpg"));
    asset->photo = false;
    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    ASSERT_EQ(categoriesOf(sections), (std::vector<int> { 1, 2, 3, 4 }));

    const NSArray* basic = rowsOfCategory(sections, 1);
    EXPECT_EQ(valueOf(basic, "Name"), "DSCN0010.jpg");
    EXPECT_EQ(valueOf(basic, "File Size"), "161.7 KB");

    EXPECT_EQ(valueOf(rowsOfCategory(sections, 2), "Location"), "43.467448, 11.885127");

    const NSArray* tiff = rowsOfCategory(sections, 3);
    EXPECT_EQ(valueOf(tiff, "Make"), "NIKON");
    EXPECT_EQ(valueOf(tiff, "Model"), "COOLPIX P6000");
    EXPECT_EQ(valueOf(tiff, "Orientation"), "horizontal (normal)");
    EXPECT_EQ(valueOf(tiff, "X Resolution"), "300 dpi");
    EXPECT_EQ(valueOf(tiff, "Date Time"), "2008:11:01 21:15:07");

    const NSArray* exif = rowsOfCategory(sections, 4);
    struct Expected {
        const char* label;
        const char* value;
    };
    constexpr Expected rows[] = {
        { "Focal Length", "24 mm" },
        { "Focal Length (35mm)", "112 mm" },
        { "Max Aperture Value", "2.9" },
        { "F Number", "f/5.9" },
        { "ISO Speed Ratings", "64" },
        { "White Balance", "auto white balance" },
        { "Date Time Original", "2008:10:22 16:28:39" },
        { "Flash", "did not fire, compulsory mode" },
        { "Exposure Bias Value", "0 ev" },
        { "Exposure Program", "normal program" },
        { "Metering Mode", "pattern" },
        { "Light Source", "unknown" },
        { "Subject Distance Range", "unknown" },
        { "Color Space", "sRGB" },
    };
    for (const Expected& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(valueOf(exif, row.label), row.value);
    }

    EXPECT_NEAR(parser->location()->coordinate().longitude, 11.885127, 1e-6);
    parser->send("resetParser");
    EXPECT_EQ(parser->location(), nullptr);
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 3), "Make"), "NIKON");
}

TEST_F(Corpus, ReadsAWestLongitudeAsNegative)
{
    auto asset = assetFor(file("heic/IMG_5195.HEIC"));
    asset->photo = false;
    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 2), "Location"), "39.051344, -94.288772");
}

TEST_F(Corpus, DescribesAnUnlistedFlashCodeByItsFiredBit)
{
    auto asset = assetFor(file("jpg/long_description.jpg"));
    asset->photo = false;
    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(valueOf(rowsOfCategory(sections, 4), "Flash"), "flash fired"); // 0x26F1
}

TEST_F(Corpus, GivesTheCaptureDateOfACameraFile)
{
    auto asset = assetFor(file("jpg/gps/DSCN0010.jpg"));
    NSDate* date = parser->send<NSDate*>("dateForAsset:", asset.get());
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->timeIntervalSince1970(), localSeconds(2008, 10, 22, 16, 28, 39));
}

TEST_F(Corpus, SurvivesDamagedAndForeignFiles)
{
    for (const char* name : { "jpg/corrupted.jpg", "jpg/invalid/image01551.jpg", "jpg/tests/30-type_error.jpg", "jpg/tests/45-gps_ifd.jpg", "jpg/README" }) {
        SCOPED_TRACE(name);
        auto asset = assetFor(file(name));
        asset->photo = false;
        Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
        ASSERT_NE(sections, nullptr);
        ASSERT_GE(sections->count(), 1u);
        EXPECT_EQ(categoriesOf(sections)[0], 1);
        parser->send("resetParser");
    }
}

} // namespace
