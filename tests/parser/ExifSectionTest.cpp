#include "parser/ParserTestSupport.h"

#include "imageio/ImageProperties.h"

using namespace parser_test;

namespace {

class ExifSection : public ::testing::Test {
protected:
    std::vector<RowText> build(Entries entries)
    {
        parser->send("getEXIFInfo:", properties(kCGImagePropertyExifDictionary, entries));
        EXPECT_NE(parser->exif(), nullptr);
        return rowsOf(parser->exif());
    }

    // The value of the one row built from a dictionary with a single entry.
    std::optional<std::string> single(const char* key, const Ref<NSObject>& value)
    {
        auto rows = build({ { key, value } });
        EXPECT_LE(rows.size(), 1u);
        if (rows.size() != 1)
            return std::nullopt;
        return rows[0].value;
    }

    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
};

TEST_F(ExifSection, ShowsAllThirtyRowsInTableOrder)
{
    // Keys in an order unlike the table's; the dictionary keeps its own order.
    auto rows = build({
        { kCGImagePropertyExifColorSpace, integer(1) },
        { kCGImagePropertyExifGamma, num(2.2) },
        { kCGImagePropertyExifSubjectDistance, num(3.5) },
        { kCGImagePropertyExifSubjectDistRange, integer(2) },
        { kCGImagePropertyExifSharpness, integer(0) },
        { kCGImagePropertyExifSaturation, integer(2) },
        { kCGImagePropertyExifContrast, integer(1) },
        { kCGImagePropertyExifCustomRendered, integer(0) },
        { kCGImagePropertyExifGainControl, integer(0) },
        { kCGImagePropertyExifSensingMethod, integer(2) },
        { kCGImagePropertyExifSceneCaptureType, integer(0) },
        { kCGImagePropertyExifBrightnessValue, num(7.2563) },
        { kCGImagePropertyExifDigitalZoomRatio, integer(1) },
        { kCGImagePropertyExifLightSource, integer(21) },
        { kCGImagePropertyExifMeteringMode, integer(5) },
        { kCGImagePropertyExifExposureMode, integer(0) },
        { kCGImagePropertyExifExposureProgram, integer(2) },
        { kCGImagePropertyExifExposureBiasValue, num(-0.5) },
        { kCGImagePropertyExifFlash, integer(24) },
        { kCGImagePropertyExifDateTimeDigitized, "2014:05:06 07:08:10"_ns },
        { kCGImagePropertyExifDateTimeOriginal, "2014:05:06 07:08:09"_ns },
        { kCGImagePropertyExifWhiteBalance, integer(0) },
        { kCGImagePropertyExifISOSpeedRatings, NSArray::arrayWithObjects({ integer(100), integer(200) }) },
        { kCGImagePropertyExifShutterSpeedValue, num(8.643856) },
        { kCGImagePropertyExifExposureTime, num(0.0025) },
        { kCGImagePropertyExifFNumber, num(2.2) },
        { kCGImagePropertyExifMaxApertureValue, num(2.275007) },
        { kCGImagePropertyExifApertureValue, num(2.275007) },
        { kCGImagePropertyExifFocalLenIn35mmFilm, integer(29) },
        { kCGImagePropertyExifFocalLength, num(4.12) },
    });
    EXPECT_EQ(rows, (std::vector<RowText> {
                        { "Focal Length", "4.12 mm" },
                        { "Focal Length (35mm)", "29 mm" },
                        { "Aperture Value", "2.275007" },
                        { "Max Aperture Value", "2.275007" },
                        { "F Number", "f/2.2" },
                        { "Exposure Time", "0.0025 s" },
                        { "Shutter Speed Value", "8.643856" },
                        { "ISO Speed Ratings", "100,200" },
                        { "White Balance", "auto white balance" },
                        { "Date Time Original", "2014:05:06 07:08:09" },
                        { "Date Time Digitized", "2014:05:06 07:08:10" },
                        { "Flash", "did not fire, auto" },
                        { "Exposure Bias Value", "-0.5 ev" },
                        { "Exposure Program", "normal program" },
                        { "Exposure Mode", "auto exposure" },
                        { "Metering Mode", "pattern" },
                        { "Light Source", "D65" },
                        { "Digital Zoom Ratio", "1" },
                        { "Brightness Value", "7.2563" },
                        { "Scene Capture Type", "standard" },
                        { "Sensing Method", "one-chip color area" },
                        { "Gain Control", "none" },
                        { "Custom Rendered", "normal process" },
                        { "Contrast", "soft" },
                        { "Saturation", "high saturation" },
                        { "Sharpness", "normal" },
                        { "Subject Distance Range", "close view" },
                        { "Subject Distance", "3.5 m" },
                        { "Gamma", "2.2" },
                        { "Color Space", "sRGB" },
                    }));
}

TEST_F(ExifSection, MakesOneRowFromOnlyAnFNumber)
{
    EXPECT_EQ(build({ { kCGImagePropertyExifFNumber, num(2.2) } }), (std::vector<RowText> { { "F Number", "f/2.2" } }));
}

TEST_F(ExifSection, FormatsNumbersWithTheirUnits)
{
    struct Case {
        const char* key;
        double value;
        const char* text;
    };
    constexpr Case cases[] = {
        { kCGImagePropertyExifFocalLength, 28, "28 mm" },
        { kCGImagePropertyExifFocalLenIn35mmFilm, 29, "29 mm" },
        { kCGImagePropertyExifExposureTime, 0.0025, "0.0025 s" },
        { kCGImagePropertyExifExposureTime, 1, "1 s" },
        { kCGImagePropertyExifFNumber, 1.8, "f/1.8" },
        { kCGImagePropertyExifExposureBiasValue, 0, "0 ev" },
        { kCGImagePropertyExifExposureBiasValue, -0.5, "-0.5 ev" },
        { kCGImagePropertyExifExposureBiasValue, 0.33, "0.33 ev" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.text);
        EXPECT_EQ(single(c.key, num(c.value)), c.text);
    }
}

TEST_F(ExifSection, JoinsIsoRatingsWithACommaAndNoSpace)
{
    EXPECT_EQ(single(kCGImagePropertyExifISOSpeedRatings, NSArray::arrayWithObjects({ integer(50) })), "50");
    EXPECT_EQ(single(kCGImagePropertyExifISOSpeedRatings, NSArray::arrayWithObjects({ integer(100), integer(200) })), "100,200");
    EXPECT_EQ(single(kCGImagePropertyExifISOSpeedRatings, NSArray::array()), "");
    // A bare number where the list belongs reads as a list of one.
    EXPECT_EQ(single(kCGImagePropertyExifISOSpeedRatings, integer(64)), "64");
}

TEST_F(ExifSection, ReadsSubjectDistancesWithTheirMarks)
{
    struct Case {
        Ref<NSObject> value;
        const char* text; // nullptr: no row
    };
    const Case cases[] = {
        { integer(4294967295), "∞" },
        { num(4294967295.0), "∞" },
        { num(4294967295.75), "∞" },
        { integer(0), "unknown" },
        { num(0.0), "unknown" },
        { num(-0.0), "unknown" },
        { num(0.5), "0.5 m" },
        { num(0.01), "0.01 m" },
        { integer(2), "2 m" },
        { num(1.25), "1.25 m" },
        { integer(4294967294), "4294967294 m" },
        { integer(4294967296), "4294967296 m" },
        { num(-2), "-2 m" },
        { num(-4294967295.0), "-4294967295 m" },
        { "5"_ns, nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(textOf(c.value));
        auto text = single(kCGImagePropertyExifSubjectDistance, c.value);
        if (c.text)
            EXPECT_EQ(text, c.text);
        else
            EXPECT_EQ(text, std::nullopt);
    }
}

TEST_F(ExifSection, LeavesOutLightSourceSixteenButNeverAPresentFlash)
{
    EXPECT_EQ(build({ { kCGImagePropertyExifLightSource, integer(16) }, { kCGImagePropertyExifSensingMethod, integer(6) } }), std::vector<RowText> {});
    EXPECT_EQ(single(kCGImagePropertyExifFlash, integer(0x60)), "did not fire");
    EXPECT_EQ(single(kCGImagePropertyExifFlash, integer(0x21)), "flash fired");
}

TEST_F(ExifSection, ShowsNonStringDatesAsTheirText)
{
    EXPECT_EQ(single(kCGImagePropertyExifDateTimeOriginal, integer(5)), "5");
    EXPECT_EQ(single(kCGImagePropertyExifDateTimeDigitized, "not a date"_ns), "not a date");
}

TEST_F(ExifSection, StoresAnEmptyListWhenNoEntryIsKnown)
{
    EXPECT_EQ(build({}), std::vector<RowText> {});
    EXPECT_EQ(build({ { "MakerNote", "x"_ns } }), std::vector<RowText> {});
}

TEST_F(ExifSection, LeavesItsListUntouchedWithoutAnExifDictionary)
{
    auto before = NSMutableArray::array();
    parser->setExif(before);
    parser->send("getEXIFInfo:", static_cast<NSDictionary*>(nullptr));
    EXPECT_EQ(parser->exif(), before.get());
    parser->send("getEXIFInfo:", dict({ { kCGImagePropertyExifDictionary, NSArray::array() } }));
    EXPECT_EQ(parser->exif(), before.get());
}

} // namespace
