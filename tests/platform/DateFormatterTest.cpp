#include "foundation/NSDate.h"
#include "foundation/NSDateFormatter.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include "platform/ScopedDateDefaults.h"

#include <gtest/gtest.h>

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

constexpr const char* exifFormat = "yyyy:MM:dd HH:mm:ss";
constexpr double may6th2014At070809Utc = 1399360089;

Ref<NSDateFormatter> exifFormatter()
{
    auto formatter = NSDateFormatter::create();
    formatter->setDateFormat(exifFormat);
    return formatter;
}

Ref<NSDateFormatter> displayFormatter()
{
    auto formatter = NSDateFormatter::create();
    formatter->setDateStyle(NSDateFormatterLongStyle);
    formatter->setTimeStyle(NSDateFormatterShortStyle);
    return formatter;
}

std::optional<double> secondsRead(const NSDateFormatter* formatter, std::string_view text)
{
    auto date = formatter->dateFromString(NSString::stringWithUTF8String(text).get());
    if (!date)
        return std::nullopt;
    return date->timeIntervalSince1970();
}

std::string written(const NSDateFormatter* formatter, double seconds)
{
    auto text = formatter->stringFromDate(NSDate::dateWithTimeIntervalSince1970(seconds).get());
    return text ? text->str() : "(nil)";
}

// Each test runs in UTC unless it says otherwise, with a pool of its own.
class DateFormatterFixture : public testing::Test {
protected:
    AutoreleasePool pool;
    ScopedTimeZone utc { "UTC" };
};

struct DateFormatterFixedFormat : DateFormatterFixture { };
struct DateFormatterStyles : DateFormatterFixture { };
struct DateFormatter : DateFormatterFixture { };

TEST_F(DateFormatterFixedFormat, ReadsAndWritesInTheCurrentTimeZoneEvenOneSetAfterItWasMade)
{
    auto madeEarlier = exifFormatter();
    struct Row {
        const char* zone;
        double seconds;
        const char* text;
    };
    const Row rows[] = {
        { "UTC", may6th2014At070809Utc, "2014:05:06 07:08:09" },
        { "Europe/Berlin", 1399352889, "2014:05:06 09:08:09" }, // summer time: two hours ahead of UTC
    };
    for (const auto& row : rows) {
        ScopedTimeZone zone(row.zone);
        for (bool fresh : { false, true }) {
            SCOPED_TRACE(std::string(row.zone) + (fresh ? ", made now" : ", made earlier"));
            auto formatter = fresh ? exifFormatter() : madeEarlier;
            EXPECT_EQ(secondsRead(formatter, "2014:05:06 07:08:09"), row.seconds);
            EXPECT_EQ(written(formatter, may6th2014At070809Utc), row.text);
        }
    }
}

TEST_F(DateFormatterFixedFormat, WritesWhatItReads)
{
    auto formatter = exifFormatter();

    EXPECT_EQ(written(formatter, may6th2014At070809Utc), "2014:05:06 07:08:09");
    EXPECT_EQ(secondsRead(formatter, written(formatter, 1234567890)), 1234567890);
    EXPECT_EQ(written(formatter, 0), "1970:01:01 00:00:00");
}

TEST_F(DateFormatterFixedFormat, IgnoresTrailingNulsAndBlanks)
{
    auto formatter = exifFormatter();
    const std::string_view texts[] = {
        std::string_view("2014:05:06 07:08:09\0\0", 21),
        "2014:05:06 07:08:09  ",
        std::string_view("2014:05:06 07:08:09 \0", 21),
    };
    for (auto text : texts) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        EXPECT_EQ(secondsRead(formatter, text), may6th2014At070809Utc);
    }
}

TEST_F(DateFormatterFixedFormat, ReadsNothingFromTextThatDoesNotMatchWhole)
{
    auto formatter = exifFormatter();
    const char* texts[] = {
        "2014-05-06 07:08:09",
        "",
        "   ",
        "2014:05:06",
        "2014:13:45 99:99:99",
        "2014:02:30 07:08:09",
        "2014:05:06 24:08:09",
        "2014:05:06 07:08:09 +0200",
        "2014:05:06 07:08:09x",
        "    :  :     :  :  ",
        "0000:00:00 00:00:00",
        "not a date",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(secondsRead(formatter, text), std::nullopt);
    }
}

// EXIF dates are read straight into the format's calendar; what that gives
// must be what ICU's own parse of the format gives, in every case.
TEST_F(DateFormatterFixedFormat, ReadsExifDatesAsTheFormatsOwnParseReadsThem)
{
    const char* texts[] = {
        "2014:05:06 07:08:09", "2016:02:29 12:00:00", "2015:02:29 12:00:00", "2014:03:30 02:30:00", "2014:10:26 02:30:00",
        "1582:10:10 00:00:00", "1582:10:04 23:59:59", "0001:01:01 00:00:00", "9999:12:31 23:59:59", "2014:05:06 23:59:60",
        "2014:04:31 07:08:09", "2014:00:10 07:08:09", "2014:05:00 07:08:09", "2014:05:06 07:60:00", "1970:01:01 00:00:00",
    };
    for (const char* zoneName : { "UTC", "Europe/Berlin", "America/Sao_Paulo", "Asia/Kathmandu" }) {
        ScopedTimeZone zone(zoneName);
        auto formatter = exifFormatter();
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale locale("en_US@calendar=gregorian;numbers=latn");
        icu::SimpleDateFormat icuFormat(icu::UnicodeString("yyyy:MM:dd HH:mm:ss"), locale, status);
        ASSERT_TRUE(U_SUCCESS(status));
        icuFormat.setLenient(false);
        for (const char* text : texts) {
            SCOPED_TRACE(std::string(zoneName) + " " + text);
            icu::ParsePosition position(0);
            icu::UnicodeString unicode(text);
            UDate millis = icuFormat.parse(unicode, position);
            std::optional<double> expected;
            if (position.getErrorIndex() < 0 && position.getIndex() == unicode.length())
                expected = millis / 1000.0;
            EXPECT_EQ(secondsRead(formatter, text), expected);
        }
    }
}

TEST_F(DateFormatterFixedFormat, IsTheSameInEveryLocale)
{
    // A Buddhist-calendar locale and an Arabic-digit locale must neither
    // write other digits or years nor misread the camera's text.
    const char* locales[] = { "en_US", "th_TH", "ar_EG", "de_DE", "fa_IR", "ja_JP@calendar=japanese" };
    for (const char* name : locales) {
        SCOPED_TRACE(name);
        ScopedLocale locale(name);
        auto formatter = exifFormatter();
        EXPECT_EQ(written(formatter, may6th2014At070809Utc), "2014:05:06 07:08:09");
        EXPECT_EQ(secondsRead(formatter, "2014:05:06 07:08:09"), may6th2014At070809Utc);
    }
}

TEST_F(DateFormatterStyles, WriteTheLongDateAndShortTimeOfTheLocaleEvenOneSetAfterTheFormatterWasMade)
{
    auto madeEarlier = displayFormatter();
    struct Row {
        const char* locale;
        const char* date;
        const char* time;
    };
    const Row rows[] = {
        { "en_US", "May 6, 2014", "7:08" },
        { "de_DE", "6. Mai 2014", "07:08" },
    };
    for (const auto& row : rows) {
        ScopedLocale locale(row.locale);
        for (bool fresh : { false, true }) {
            SCOPED_TRACE(std::string(row.locale) + (fresh ? ", made now" : ", made earlier"));
            std::string text = written(fresh ? displayFormatter().get() : madeEarlier.get(), may6th2014At070809Utc);
            EXPECT_NE(text.find(row.date), std::string::npos) << text;
            EXPECT_NE(text.find(row.time), std::string::npos) << text;
            EXPECT_EQ(text.find("09"), std::string::npos) << "a short time has no seconds: " << text;
        }
    }
}

TEST_F(DateFormatterStyles, ReadBackWhatTheyWrite)
{
    ScopedLocale english("en_US");
    auto formatter = displayFormatter();

    // A short time drops the seconds, so the minute comes back.
    EXPECT_EQ(secondsRead(formatter, written(formatter, may6th2014At070809Utc)), 1399360080);
}

TEST_F(DateFormatter, WithNeitherStyleNorFormatWritesEmptyTextAndReadsNothing)
{
    auto formatter = NSDateFormatter::create();
    EXPECT_EQ(formatter->dateStyle(), NSDateFormatterNoStyle);
    EXPECT_EQ(formatter->timeStyle(), NSDateFormatterNoStyle);
    EXPECT_EQ(formatter->dateFormat(), "");

    EXPECT_EQ(written(formatter, may6th2014At070809Utc), "");
    EXPECT_EQ(secondsRead(formatter, "2014:05:06 07:08:09"), std::nullopt);
}

TEST_F(DateFormatter, AnswersNilForNilInput)
{
    auto formatter = exifFormatter();
    EXPECT_EQ(formatter->stringFromDate(nullptr), nullptr);
    EXPECT_EQ(formatter->dateFromString(nullptr), nullptr);
}

TEST_F(DateFormatter, WritesNothingForADateItCannotRepresent)
{
    ScopedLocale english("en_US");
    const double seconds[] = { std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e17 };
    for (auto formatter : { exifFormatter(), displayFormatter() }) {
        for (double value : seconds) {
            SCOPED_TRACE(value);
            EXPECT_EQ(written(formatter, value), "(nil)");
        }
    }
    // The far ends of the four-digit years still have their text.
    EXPECT_EQ(written(exifFormatter().get(), 253402300799), "9999:12:31 23:59:59");
}

TEST_F(DateFormatter, TheLastSettingDecidesBetweenFormatAndStyles)
{
    ScopedLocale english("en_US");
    auto formatter = exifFormatter();
    EXPECT_EQ(written(formatter, may6th2014At070809Utc), "2014:05:06 07:08:09");

    formatter->setDateStyle(NSDateFormatterLongStyle);
    EXPECT_EQ(formatter->dateFormat(), "");
    EXPECT_EQ(written(formatter, may6th2014At070809Utc), "May 6, 2014");

    formatter->setDateFormat("dd.MM.yyyy");
    EXPECT_EQ(formatter->dateStyle(), NSDateFormatterLongStyle);
    EXPECT_EQ(written(formatter, may6th2014At070809Utc), "06.05.2014");
}

TEST_F(DateFormatter, AnswersItsMessagesThroughTheRuntime)
{
    auto formatter = NSDateFormatter::create();

    objc::send<void>(formatter, "setDateFormat:", "yyyy:MM:dd HH:mm:ss"_ns.get());
    auto* date = objc::send<NSDate*>(formatter, "dateFromString:", "2014:05:06 07:08:09"_ns.get());
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->timeIntervalSince1970(), may6th2014At070809Utc);
    auto* text = objc::send<NSString*>(formatter, "stringFromDate:", date);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->str(), "2014:05:06 07:08:09");

    ScopedLocale english("en_US");
    objc::send<void>(formatter, "setDateStyle:", NSUInteger { 3 });
    objc::send<void>(formatter, "setTimeStyle:", NSUInteger { 0 });
    EXPECT_EQ(formatter->dateStyle(), NSDateFormatterLongStyle);
    text = objc::send<NSString*>(formatter, "stringFromDate:", date);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->str(), "May 6, 2014");
}

} // namespace
