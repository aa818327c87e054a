#include "parser/ParserTestSupport.h"

#include <limits>

using namespace parser_test;

namespace {

struct Case {
    const char* selector;
    double code;
    const char* expected; // nullptr: no text
};

// Every code of every table, read without a strings table: an English key
// shows itself, an upper-case key shows its English fallback.
constexpr Case kEveryCode[] = {
    { "orientation:", 1, "horizontal (normal)" },
    { "orientation:", 2, "mirror horizontal" },
    { "orientation:", 3, "rotated 180" },
    { "orientation:", 4, "mirror vertical" },
    { "orientation:", 5, "mirror horizontal & rotated 270 CW" },
    { "orientation:", 6, "rotated 90 CW" },
    { "orientation:", 7, "mirror horizontal & rotated 90 CW" },
    { "orientation:", 8, "rotated 270 CW" },

    { "sharpness:", 0, "normal" },
    { "sharpness:", 1, "soft" },
    { "sharpness:", 2, "hard" },

    { "flash:", 0x00, "did not fire" },
    { "flash:", 0x01, "fired" },
    { "flash:", 0x05, "fired, return not detected" },
    { "flash:", 0x07, "fired, return detected" },
    { "flash:", 0x09, "fired, compulsory mode" },
    { "flash:", 0x0D, "fired, compulsory mode, return not detected" },
    { "flash:", 0x0F, "fired, compulsory mode, return detected" },
    { "flash:", 0x10, "did not fire, compulsory mode" },
    { "flash:", 0x18, "did not fire, auto" },
    { "flash:", 0x19, "fired, auto" },
    { "flash:", 0x1D, "fired, auto, return not detected" },
    { "flash:", 0x1F, "fired, auto, return detected" },
    { "flash:", 0x20, "no flash function" },
    { "flash:", 0x41, "fired, red-eye reduction" },
    { "flash:", 0x45, "fired, red-eye reduction, return not detected" },
    { "flash:", 0x47, "fired, red-eye reduction, return detected" },
    { "flash:", 0x49, "fired, compulsory mode, red-eye reduction" },
    { "flash:", 0x4D, "fired, compulsory mode, red-eye reduction, return not detected" },
    { "flash:", 0x4F, "fired, compulsory mode, red-eye reduction, return detected" },
    { "flash:", 0x59, "fired, auto, red-eye reduction" },
    { "flash:", 0x5D, "fired, auto, red-eye reduction, return not detected" },
    { "flash:", 0x5F, "fired, auto, red-eye reduction, return detected" },

    { "whiteBalance:", 0, "auto white balance" },
    { "whiteBalance:", 1, "manual white balance" },

    { "contrast:", 0, "normal" },
    { "contrast:", 1, "soft" },
    { "contrast:", 2, "hard" },

    { "exposureMode:", 0, "auto exposure" },
    { "exposureMode:", 1, "manual exposure" },
    { "exposureMode:", 2, "auto bracket" },

    { "exposureProgram:", 0, "not defined" },
    { "exposureProgram:", 1, "manual" },
    { "exposureProgram:", 2, "normal program" },
    { "exposureProgram:", 3, "aperture priority" },
    { "exposureProgram:", 4, "shutter priority" },
    { "exposureProgram:", 5, "creative program" },
    { "exposureProgram:", 6, "action program" },
    { "exposureProgram:", 7, "portrait mode" },
    { "exposureProgram:", 8, "landscape mode" },

    { "meteringMode:", 0, "unknown" },
    { "meteringMode:", 1, "average" },
    { "meteringMode:", 2, "center-weighted average" },
    { "meteringMode:", 3, "spot" },
    { "meteringMode:", 4, "multi spot" },
    { "meteringMode:", 5, "pattern" },
    { "meteringMode:", 6, "partial" },
    { "meteringMode:", 255, "other" },

    { "saturation:", 0, "normal" },
    { "saturation:", 1, "low saturation" },
    { "saturation:", 2, "high saturation" },

    { "colorSpace:", 1, "sRGB" },
    { "colorSpace:", 2, "Adobe RGB" },
    { "colorSpace:", 65535, "uncalibrated" },

    { "lightSource:", 0, "unknown" },
    { "lightSource:", 1, "daylight" },
    { "lightSource:", 2, "fluorescent" },
    { "lightSource:", 3, "tungsten" },
    { "lightSource:", 4, "flash" },
    { "lightSource:", 9, "fine weather" },
    { "lightSource:", 10, "cloudy weather" },
    { "lightSource:", 11, "shade" },
    { "lightSource:", 12, "daylight fluorescent" },
    { "lightSource:", 13, "day white fluorescent" },
    { "lightSource:", 14, "cool white fluorescent" },
    { "lightSource:", 15, "white fluorescent" },
    { "lightSource:", 17, "standard light A" },
    { "lightSource:", 18, "standard light B" },
    { "lightSource:", 19, "standard light C" },
    { "lightSource:", 20, "D55" },
    { "lightSource:", 21, "D65" },
    { "lightSource:", 22, "D75" },
    { "lightSource:", 23, "D50" },
    { "lightSource:", 24, "ISO studio tungsten" },
    { "lightSource:", 255, "other light source" },

    { "sceneCaptureType:", 0, "standard" },
    { "sceneCaptureType:", 1, "landscape" },
    { "sceneCaptureType:", 2, "portrait" },
    { "sceneCaptureType:", 3, "night scene" },

    { "sensingMethod:", 1, "not defined" },
    { "sensingMethod:", 2, "one-chip color area" },
    { "sensingMethod:", 3, "two-chip color area" },
    { "sensingMethod:", 4, "three-chip color area" },
    { "sensingMethod:", 5, "color sequential area" },
    { "sensingMethod:", 7, "trilinear" },
    { "sensingMethod:", 8, "color sequential linear" },

    { "gainControl:", 0, "none" },
    { "gainControl:", 1, "low gain up" },
    { "gainControl:", 2, "high gain up" },
    { "gainControl:", 3, "low gain down" },
    { "gainControl:", 4, "high gain down" },

    { "customRendered:", 0, "normal process" },
    { "customRendered:", 1, "custom process" },

    { "subjectDistanceRange:", 0, "unknown" },
    { "subjectDistanceRange:", 1, "macro" },
    { "subjectDistanceRange:", 2, "close view" },
    { "subjectDistanceRange:", 3, "distant view" },
};

// Codes next to and between the listed ones, fractions and out-of-range values.
constexpr Case kEdges[] = {
    { "orientation:", 0, nullptr },
    { "orientation:", 9, nullptr },
    { "orientation:", -6, nullptr },
    { "orientation:", 6.9, "rotated 90 CW" },
    { "sharpness:", 2.7, "hard" },
    { "sharpness:", 3, nullptr },
    { "sharpness:", -1, nullptr },
    // Cut toward zero, so just below zero is code 0.
    { "sharpness:", -0.5, "normal" },
    { "whiteBalance:", 2, nullptr },
    { "contrast:", 3, nullptr },
    { "exposureMode:", 3, nullptr },
    { "exposureProgram:", 9, nullptr },
    { "meteringMode:", 7, nullptr },
    { "meteringMode:", 254, nullptr },
    { "meteringMode:", 256, nullptr },
    { "meteringMode:", 255.9, "other" },
    { "saturation:", 3, nullptr },
    { "colorSpace:", 0, nullptr },
    { "colorSpace:", 3, nullptr },
    { "colorSpace:", 65534, nullptr },
    { "colorSpace:", 65536, nullptr },
    // Codes are taken modulo 2^32, as a C conversion to a 32-bit type does:
    // 2^32 + 65535 is 65535.
    { "colorSpace:", 4295032831.0, "uncalibrated" },
    { "orientation:", 4294967302.0, "rotated 90 CW" },
    { "sharpness:", -4294967294.9, "hard" },
    { "lightSource:", 5, nullptr },
    { "lightSource:", 8, nullptr },
    { "lightSource:", 16, nullptr },
    { "lightSource:", 25, nullptr },
    { "lightSource:", 254, nullptr },
    { "sceneCaptureType:", 4, nullptr },
    { "sensingMethod:", 0, nullptr },
    { "sensingMethod:", 6, nullptr },
    { "sensingMethod:", 9, nullptr },
    { "gainControl:", 5, nullptr },
    { "customRendered:", 2, nullptr },
    { "subjectDistanceRange:", 4, nullptr },
    // Flash codes outside the table are told by their fired bit alone.
    { "flash:", 0x02, "did not fire" },
    { "flash:", 0x08, "did not fire" },
    { "flash:", 0x12, "did not fire" },
    { "flash:", 0x22, "did not fire" },
    { "flash:", 0x50, "did not fire" },
    { "flash:", 0x58, "did not fire" },
    { "flash:", 0x60, "did not fire" },
    { "flash:", -2, "did not fire" },
    { "flash:", 0x11, "flash fired" },
    { "flash:", 0x21, "flash fired" },
    { "flash:", 0x51, "flash fired" },
    { "flash:", -1, "flash fired" },
    { "flash:", 1e12, "did not fire" }, // wraps to -727379968, an even code
    { "flash:", 4294967294.0, "did not fire" }, // -2
    { "flash:", 4294967297.0, "fired" }, // 1
    { "flash:", 16.5, "did not fire, compulsory mode" },
};

void expectText(QXParser* parser, const Case& c)
{
    SCOPED_TRACE(std::string(c.selector) + " " + textOf(num(c.code).get()));
    NSString* text = parser->send<NSString*>(c.selector, num(c.code));
    if (c.expected)
        EXPECT_EQ(textOf(text), c.expected);
    else
        EXPECT_EQ(text, nullptr) << textOf(text);
}

TEST(Vocabularies, GiveTheEnglishTextOfEveryListedCode)
{
    AutoreleasePool pool;
    auto parser = newParser();
    for (const Case& c : kEveryCode)
        expectText(parser, c);
}

TEST(Vocabularies, CutFractionsAndGiveNoTextOutsideTheirTables)
{
    AutoreleasePool pool;
    auto parser = newParser();
    for (const Case& c : kEdges)
        expectText(parser, c);
}

constexpr const char* kAllSelectors[] = {
    "orientation:", "sharpness:", "flash:", "whiteBalance:", "contrast:", "exposureMode:",
    "exposureProgram:", "meteringMode:", "saturation:", "colorSpace:", "lightSource:",
    "sceneCaptureType:", "sensingMethod:", "gainControl:", "customRendered:", "subjectDistanceRange:",
};

TEST(Vocabularies, GiveNoTextForAnAbsentOrNonNumericValueFlashIncluded)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto* none = static_cast<NSObject*>(nullptr);
    for (const char* selector : kAllSelectors) {
        SCOPED_TRACE(selector);
        EXPECT_EQ(parser->send<NSString*>(selector, none), nullptr);
        EXPECT_EQ(parser->send<NSString*>(selector, "1"_ns), nullptr);
        EXPECT_EQ(parser->send<NSString*>(selector, NSArray::arrayWithObjects({ integer(1) })), nullptr);
    }
}

TEST(Vocabularies, ReadIntegerAndBooleanNumbersLikeDoubles)
{
    AutoreleasePool pool;
    auto parser = newParser();
    EXPECT_EQ(textOf(parser->send<NSString*>("colorSpace:", integer(65535))), "uncalibrated");
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", NSNumber::numberWithUnsignedLongLong(0x20))), "no flash function");
    EXPECT_EQ(textOf(parser->send<NSString*>("customRendered:", NSNumber::numberWithBool(true))), "custom process");
    // Integers wrap modulo 2^32 like doubles do, signed or unsigned.
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", integer(4294967294))), "did not fire");
    EXPECT_EQ(textOf(parser->send<NSString*>("flash:", NSNumber::numberWithUnsignedLongLong(~0ULL))), "flash fired");
    EXPECT_EQ(textOf(parser->send<NSString*>("orientation:", integer(-4294967290))), "rotated 90 CW");
    EXPECT_EQ(parser->send<NSString*>("colorSpace:", NSNumber::numberWithUnsignedLongLong(0x1FFFFFFFFULL)), nullptr); // -1
}

TEST(Vocabularies, GiveNoTextForANumberThatIsNotFinite)
{
    AutoreleasePool pool;
    auto parser = newParser();
    for (double value : { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity() }) {
        SCOPED_TRACE(value);
        for (const char* selector : { "flash:", "sharpness:", "orientation:" })
            EXPECT_EQ(parser->send<NSString*>(selector, num(value)), nullptr) << selector;
    }
}

} // namespace
