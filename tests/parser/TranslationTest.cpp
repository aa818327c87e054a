#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include "imageio/ImageProperties.h"

using namespace parser_test;

namespace {

// A German table that translates formats the parser must look up, and also
// formats it must never look up, so that a wrong lookup shows.
constexpr const char* kGerman = R"strings(
"Focal Length" = "Brennweite";
"Make" = "Hersteller";
"Location" = "Ort";
"Name" = "";
"%@ mm" = "%@ Millimeter";
"%@ s" = "%@ Sek.";
"%@ m" = "%@ Meter";
"unknown" = "unbekannt";
"f/%@" = "Blende %@";
"%@ ev" = "%@ LW";
"%@ %@" = "falsch";
"%.6f, %.6f" = "falsch";
"%1.1f MB" = "falsch";
"%lld Bytes" = "falsch";
"dpi" = "falsch";
"∞" = "unendlich";
"NORMAL_SHARPNESS" = "Normal (Schärfe)";
"normal" = "NORMAL-WORT";
"flash fired" = "Blitz ausgelöst";
"did not fire" = "nicht ausgelöst";
"rotated 90 CW" = "90° im Uhrzeigersinn";
)strings";

class Translation : public ::testing::Test {
protected:
    std::vector<RowText> exifRows(Entries entries)
    {
        parser->send("getEXIFInfo:", properties(kCGImagePropertyExifDictionary, entries));
        return rowsOf(parser->exif());
    }

    ScopedStringsTable table { "de", kGerman };
    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
};

TEST_F(Translation, ChangesTheMillimetreFormatButNeverTheApertureOrBias)
{
    EXPECT_EQ(exifRows({
                  { kCGImagePropertyExifFocalLength, integer(28) },
                  { kCGImagePropertyExifFocalLenIn35mmFilm, integer(29) },
                  { kCGImagePropertyExifFNumber, num(2.2) },
                  { kCGImagePropertyExifExposureTime, num(0.0025) },
                  { kCGImagePropertyExifExposureBiasValue, num(-0.5) },
              }),
        (std::vector<RowText> {
            { "Brennweite", "28 Millimeter" },
            { "Focal Length (35mm)", "29 Millimeter" },
            { "F Number", "f/2.2" },
            { "Exposure Time", "0.0025 Sek." },
            { "Exposure Bias Value", "-0.5 ev" },
        }));
}

TEST_F(Translation, ChangesDistancesButNotTheInfinityMark)
{
    struct Case {
        Ref<NSNumber> value;
        const char* text;
    };
    const Case cases[] = {
        { integer(2), "2 Meter" },
        { num(0.5), "0.5 Meter" },
        { integer(0), "unbekannt" },
        { integer(4294967295), "∞" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(exifRows({ { kCGImagePropertyExifSubjectDistance, c.value } }), (std::vector<RowText> { { "Subject Distance", c.text } }));
    }
}

TEST_F(Translation, UsesUpperCaseKeysAndNeverTranslatesTheirFallbacks)
{
    EXPECT_EQ(textOf(parser->send<NSString*>("sharpness:", integer(0))), "Normal (Schärfe)");
    EXPECT_EQ(textOf(parser->send<NSString*>("contrast:", integer(0))), "normal");
    EXPECT_EQ(textOf(parser->send<NSString*>("saturation:", integer(0))), "normal");
    EXPECT_EQ(textOf(parser->send<NSString*>("meteringMode:", integer(0))), "unknown");
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", integer(0x21))), "Blitz ausgelöst");
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", integer(0x60))), "nicht ausgelöst");
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", integer(0x00))), "nicht ausgelöst");
    EXPECT_EQ(textOf(parser->send<NSString*>("orientation:", integer(6))), "90° im Uhrzeigersinn");
}

TEST_F(Translation, LeavesUnitsCoordinatesAndFileSizesAsWritten)
{
    parser->send("getTIFFInfo:", properties(kCGImagePropertyTIFFDictionary, {
                                                 { kCGImagePropertyTIFFMake, "Canon"_ns },
                                                 { kCGImagePropertyTIFFXResolution, integer(72) },
                                                 { kCGImagePropertyTIFFYResolution, integer(72) },
                                             }));
    EXPECT_EQ(rowsOf(parser->tiff()), (std::vector<RowText> { { "Hersteller", "Canon" }, { "X Resolution", "72 dpi" }, { "Y Resolution", "72 dpi" } }));

    parser->send("getGPSInfo:", properties(kCGImagePropertyGPSDictionary, {
                                                { kCGImagePropertyGPSLatitude, num(48.8583) },
                                                { kCGImagePropertyGPSLongitude, num(2.2945) },
                                            }));
    EXPECT_EQ(valueOf(parser->gps(), "Ort"), "48.858300, 2.294500");

    EXPECT_EQ(textOf(parser->send<NSString*>("prettyFileSize:", 1500000LL)), "1.5 MB");
    EXPECT_EQ(textOf(parser->send<NSString*>("prettyFileSize:", 12LL)), "12 Bytes");
}

TEST_F(Translation, RemovesARowWhoseLabelTranslatesToNothing)
{
    auto asset = PLManagedAsset::create();
    asset->name = "IMG_0001.JPG"_ns;
    asset->folder = "/photos"_ns;
    parser->setAsset(asset.get());
    parser->send("getFileInfo");
    EXPECT_EQ(rowsOf(parser->basic()), (std::vector<RowText> { { "Directory", "/photos" } }));
}

TEST(TranslatedFormat, IsUsedAsWrittenWithoutItsPlaceholderOrWithOtherConversions)
{
    struct Case {
        const char* translation;
        const char* text;
    };
    constexpr Case cases[] = {
        { "Millimeter", "Millimeter" },
        { "%@ %d mm", "28 %d mm" },
        { "%s mm", "%s mm" },
        { "mm %@", "mm 28" },
        { "%1$@ mm", "28 mm" },
        { "%@ %@ mm", "28 %@ mm" },
        { "100%% %@", "100% 28" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.translation);
        ScopedStringsTable table("de", std::string("\"%@ mm\" = \"") + c.translation + "\";\n");
        AutoreleasePool pool;
        auto parser = newParser();
        parser->send("getEXIFInfo:", properties(kCGImagePropertyExifDictionary, { { kCGImagePropertyExifFocalLength, integer(28) } }));
        EXPECT_EQ(valueOf(parser->exif(), "Focal Length"), c.text);
    }
}

// The labels and coded values of every photo are remembered between parses;
// a table put in place later (another language chosen) must still show.
TEST(TranslatedLabels, FollowTheTableInPlaceAtEachParse)
{
    AutoreleasePool pool;
    auto parser = newParser();
    for (const char* word : { "Brennweite", "Fokus" }) {
        SCOPED_TRACE(word);
        ScopedStringsTable table("de", std::string("\"Focal Length\" = \"") + word + "\";\n\"manual exposure\" = \"" + word + "\";\n");
        parser->send("getEXIFInfo:",
            properties(kCGImagePropertyExifDictionary,
                { { kCGImagePropertyExifFocalLength, integer(28) }, { kCGImagePropertyExifExposureMode, integer(1) } }));
        EXPECT_EQ(rowsOf(parser->exif()), (std::vector<RowText> { { word, "28 mm" }, { "Exposure Mode", word } }));
    }
}

} // namespace
