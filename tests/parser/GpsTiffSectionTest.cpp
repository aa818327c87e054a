#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include "imageio/ImageProperties.h"

#include <limits>

using namespace parser_test;

namespace {

class GpsSection : public ::testing::Test {
protected:
    void SetUp() override { parser->setAsset(asset.get()); }

    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
    Ref<PLManagedAsset> asset = PLManagedAsset::create();
};

std::vector<RowText> gpsRows(const char* location)
{
    return { { "Location", location }, { "Show Location", "" }, { "Show Location in Maps app", "" } };
}

TEST_F(GpsSection, ReadsThePositionFromTheFile)
{
    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(48.8583) },
                                                { kCGImagePropertyGPSLongitude, num(2.2945) },
                                            }));
    ASSERT_NE(parser->location(), nullptr);
    EXPECT_DOUBLE_EQ(parser->location()->coordinate().latitude, 48.8583);
    EXPECT_DOUBLE_EQ(parser->location()->coordinate().longitude, 2.2945);
    EXPECT_EQ(rowsOf(parser->gps()), gpsRows("48.858300, 2.294500"));
}

TEST_F(GpsSection, TurnsSouthAndWestReferencesIntoNegativeDegrees)
{
    struct Case {
        const char* latitudeRef; // nullptr: no entry
        const char* longitudeRef;
        const char* text;
    };
    constexpr Case cases[] = {
        { "N", "E", "33.868800, 151.209300" },
        { "S", "E", "-33.868800, 151.209300" },
        { "N", "W", "33.868800, -151.209300" },
        { "S", "W", "-33.868800, -151.209300" },
        { nullptr, nullptr, "33.868800, 151.209300" },
        { "s", "w", "-33.868800, -151.209300" },
        { "South", "West", "33.868800, 151.209300" }, // not a reference letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.latitudeRef ? c.latitudeRef : "-") + "/" + (c.longitudeRef ? c.longitudeRef : "-"));
        auto gps = NSMutableDictionary::dictionary();
        gps->setObjectForKey(num(33.8688), kCGImagePropertyGPSLatitude);
        gps->setObjectForKey(num(151.2093), kCGImagePropertyGPSLongitude);
        if (c.latitudeRef)
            gps->setObjectForKey(NSString::stringWithUTF8String(c.latitudeRef), kCGImagePropertyGPSLatitudeRef);
        if (c.longitudeRef)
            gps->setObjectForKey(NSString::stringWithUTF8String(c.longitudeRef), kCGImagePropertyGPSLongitudeRef);
        parser->send("getGPSInfo:", dict({ { kCGImagePropertyGPSDictionary, gps } }));
        EXPECT_EQ(valueOf(parser->gps(), "Location"), c.text);
    }
}

TEST_F(GpsSection, KeepsAnAlreadySignedValueSouthOfTheEquator)
{
    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(-12.5) },
                                                { kCGImagePropertyGPSLatitudeRef, "S"_ns },
                                                { kCGImagePropertyGPSLongitude, num(0) },
                                            }));
    EXPECT_EQ(valueOf(parser->gps(), "Location"), "-12.500000, 0.000000");
}

TEST_F(GpsSection, PrefersTheAssetsOwnPositionEvenWithoutAFileDictionary)
{
    asset->position = CLLocation::initWithLatitudeLongitude(37.332331, -122.031219);
    parser->send("getGPSInfo:", static_cast<NSDictionary*>(nullptr));
    EXPECT_EQ(parser->location(), asset->position.get());
    EXPECT_EQ(rowsOf(parser->gps()), gpsRows("37.332331, -122.031219"));

    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(48.8583) },
                                                { kCGImagePropertyGPSLongitude, num(2.2945) },
                                            }));
    EXPECT_EQ(parser->location(), asset->position.get());
    EXPECT_EQ(valueOf(parser->gps(), "Location"), "37.332331, -122.031219");
}

TEST_F(GpsSection, LeavesListAndPositionUntouchedWithoutBothCoordinates)
{
    auto before = NSMutableArray::array();
    auto beforeLocation = CLLocation::initWithLatitudeLongitude(1, 1);
    const Ref<NSDictionary> inputs[] = {
        nullptr,
        dict({}),
        dict({ { kCGImagePropertyGPSDictionary, "not a dictionary"_ns } }),
        properties(kCGImagePropertyGPSDictionary, { { kCGImagePropertyGPSLatitude, num(48.8583) } }),
        properties(kCGImagePropertyGPSDictionary, { { kCGImagePropertyGPSLongitude, num(2.2945) } }),
        properties(kCGImagePropertyGPSDictionary, { { kCGImagePropertyGPSLatitude, "48.8583"_ns }, { kCGImagePropertyGPSLongitude, num(2.2945) } }),
        properties(kCGImagePropertyGPSDictionary, { { kCGImagePropertyGPSLatitude, num(std::numeric_limits<double>::quiet_NaN()) }, { kCGImagePropertyGPSLongitude, num(2.2945) } }),
    };
    int index = 0;
    for (const auto& input : inputs) {
        SCOPED_TRACE(index++);
        parser->setGps(before);
        parser->setLocation(beforeLocation);
        parser->send("getGPSInfo:", input);
        EXPECT_EQ(parser->gps(), before.get());
        EXPECT_EQ(parser->location(), beforeLocation.get());
    }
}

TEST_F(GpsSection, TakesACoordinateOffTheGlobeForNoPosition)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double latitude;
        const char* latitudeRef;
        double longitude;
        const char* longitudeRef;
    };
    constexpr Case offTheGlobe[] = {
        { 90.000001, "N", 0, "E" },
        { 90.5, "S", 0, "E" },
        { 0, "N", 180.000001, "E" },
        { 0, "N", 181, "W" },
        { 0, "N", inf, "E" },
    };
    for (const Case& c : offTheGlobe) {
        SCOPED_TRACE(std::to_string(c.latitude) + c.latitudeRef + " " + std::to_string(c.longitude) + c.longitudeRef);
        parser->setGps(nullptr);
        parser->setLocation(nullptr);
        parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                    { kCGImagePropertyGPSLatitude, num(c.latitude) },
                                                    { kCGImagePropertyGPSLatitudeRef, NSString::stringWithUTF8String(c.latitudeRef) },
                                                    { kCGImagePropertyGPSLongitude, num(c.longitude) },
                                                    { kCGImagePropertyGPSLongitudeRef, NSString::stringWithUTF8String(c.longitudeRef) },
                                                }));
        EXPECT_EQ(parser->gps(), nullptr);
        EXPECT_EQ(parser->location(), nullptr);
    }

    // The edges themselves are places.
    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(90) },
                                                { kCGImagePropertyGPSLatitudeRef, "S"_ns },
                                                { kCGImagePropertyGPSLongitude, num(180) },
                                                { kCGImagePropertyGPSLongitudeRef, "W"_ns },
                                            }));
    EXPECT_EQ(rowsOf(parser->gps()), gpsRows("-90.000000, -180.000000"));
}

TEST_F(GpsSection, PassesOverAnAssetPositionOffTheGlobeToTheFiles)
{
    asset->position = CLLocation::initWithLatitudeLongitude(100, 10);
    parser->send("getGPSInfo:", static_cast<NSDictionary*>(nullptr));
    EXPECT_EQ(parser->gps(), nullptr);
    EXPECT_EQ(parser->location(), nullptr);

    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(48.8583) },
                                                { kCGImagePropertyGPSLongitude, num(2.2945) },
                                            }));
    EXPECT_EQ(rowsOf(parser->gps()), gpsRows("48.858300, 2.294500"));
}

class TiffSection : public ::testing::Test {
protected:
    std::vector<RowText> build(Entries entries)
    {
        parser->send("getTIFFInfo:", properties(kCGImagePropertyTIFFDictionary, entries));
        EXPECT_NE(parser->tiff(), nullptr);
        return rowsOf(parser->tiff());
    }

    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
};

TEST_F(TiffSection, ListsTheSevenRowsInTableOrder)
{
    auto rows = build({
        { kCGImagePropertyTIFFSoftware, "10.2"_ns },
        { kCGImagePropertyTIFFYResolution, integer(72) },
        { kCGImagePropertyTIFFXResolution, integer(72) },
        { kCGImagePropertyTIFFOrientation, integer(6) },
        { kCGImagePropertyTIFFDateTime, "2014:05:06 07:08:09"_ns },
        { kCGImagePropertyTIFFModel, "Pocket Camera 5"_ns },
        { kCGImagePropertyTIFFMake, "Example Optics"_ns },
    });
    EXPECT_EQ(rows, (std::vector<RowText> {
                        { "Make", "Example Optics" },
                        { "Model", "Pocket Camera 5" },
                        { "Date Time", "2014:05:06 07:08:09" },
                        { "Orientation", "rotated 90 CW" },
                        { "X Resolution", "72 dpi" },
                        { "Y Resolution", "72 dpi" },
                        { "Software", "10.2" },
                    }));
}

TEST_F(TiffSection, WritesTheResolutionUnitAfterBothResolutions)
{
    struct Case {
        Ref<NSObject> unit; // nil: no unit entry
        double resolution;
        const char* text;
    };
    const Case cases[] = {
        { nullptr, 72, "72 dpi" },
        { integer(1), 72, "72 dpi" },
        { integer(2), 72, "72 dpi" },
        { integer(3), 28, "28 dpcm" },
        { num(3.9), 28, "28 dpcm" },
        { integer(0), 72, "72 " },
        { integer(7), 300, "300 dpi" },
        { integer(-3), 72, "72 dpi" },
        { "3"_ns, 72, "72 dpi" }, // a unit that is not a number counts as absent
        { integer(2), 28.35, "28.35 dpi" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto tiff = NSMutableDictionary::dictionary();
        tiff->setObjectForKey(num(c.resolution), kCGImagePropertyTIFFXResolution);
        tiff->setObjectForKey(num(c.resolution), kCGImagePropertyTIFFYResolution);
        tiff->setObjectForKey(c.unit, kCGImagePropertyTIFFResolutionUnit);
        parser->send("getTIFFInfo:", dict({ { kCGImagePropertyTIFFDictionary, tiff } }));
        EXPECT_EQ(rowsOf(parser->tiff()), (std::vector<RowText> { { "X Resolution", c.text }, { "Y Resolution", c.text } }));
    }
}

TEST_F(TiffSection, MakesNeitherResolutionRowFromOnlyOne)
{
    EXPECT_EQ(build({ { kCGImagePropertyTIFFXResolution, integer(72) }, { kCGImagePropertyTIFFResolutionUnit, integer(2) } }), std::vector<RowText> {});
    EXPECT_EQ(build({ { kCGImagePropertyTIFFYResolution, integer(72) }, { kCGImagePropertyTIFFMake, "Canon"_ns } }), (std::vector<RowText> { { "Make", "Canon" } }));
}

TEST_F(TiffSection, LeavesOutAnOrientationWithoutText)
{
    for (double code : { 0.0, 9.0, -1.0 }) {
        SCOPED_TRACE(code);
        EXPECT_EQ(build({ { kCGImagePropertyTIFFOrientation, num(code) }, { kCGImagePropertyTIFFModel, "X"_ns } }), (std::vector<RowText> { { "Model", "X" } }));
    }
}

TEST_F(TiffSection, StoresAnEmptyListForADictionaryWithoutKnownEntries)
{
    EXPECT_EQ(build({ { "Artist", "someone"_ns } }), std::vector<RowText> {});
}

TEST_F(TiffSection, LeavesItsListUntouchedWithoutATiffDictionary)
{
    auto before = NSMutableArray::array();
    parser->setTiff(before);
    parser->send("getTIFFInfo:", static_cast<NSDictionary*>(nullptr));
    EXPECT_EQ(parser->tiff(), before.get());
    parser->send("getTIFFInfo:", properties(kCGImagePropertyExifDictionary, { { kCGImagePropertyExifFNumber, num(2.2) } }));
    EXPECT_EQ(parser->tiff(), before.get());
}

} // namespace
