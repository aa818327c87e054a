#include "foundation/DateText.h"

#include "platform/ScopedDateDefaults.h"

#include <gtest/gtest.h>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using foundation::datetext::ExifReading;
using foundation::datetext::readExifDate;
using foundation::datetext::styledText;

icu::DateFormat::EStyle icuStyle(unsigned style)
{
    return style == 0 ? icu::DateFormat::kNone : static_cast<icu::DateFormat::EStyle>(4 - style);
}

std::string icuText(const icu::DateFormat& format, double millis)
{
    icu::UnicodeString text;
    format.format(millis, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Instants that reach every field's edges: midnight, noon, the hours just
// before them, a leap day, the range's first and last seconds, a changing
// of the clocks, a moment before 1970 and thousandths of a second.
constexpr double probeMillis[] = {
    0, // 1970-01-01 00:00 UTC, a Thursday
    1399360089000, // 2014-05-06 07:08:09
    1399377600000, // 2014-05-06 12:00:00
    1399420799999, // 2014-05-06 23:59:59.999
    951825600000, // 2000-02-29 12:00:00
    1394348400000, // 2014-03-09 07:00:00, New York's clocks just went forward
    -86399999, // 1969-12-31 00:00:00.001
    -2208988800000, // 1900-01-01 00:00:00
    4102444799000, // 2099-12-31 23:59:59
    1700000000500, // 2023-11-14 22:13:20.5, a Tuesday
};

constexpr std::pair<unsigned, unsigned> everyStyle[] = {
    { 1, 0 }, { 2, 0 }, { 3, 0 }, { 4, 0 }, { 0, 1 }, { 0, 2 }, { 0, 3 }, { 0, 4 },
    { 1, 1 }, { 2, 2 }, { 3, 1 }, { 3, 2 }, { 4, 1 }, { 4, 2 }, { 1, 2 },
};

// Each answer, for every locale ICU has and a few it does not, in every
// style, in zones ahead of and behind UTC and half an hour off it, is
// ICU's own text; where it cannot be, there is no answer.
TEST(DateText, WritesWhatIcuWritesWhereverItAnswers)
{
    std::vector<icu::Locale> locales;
    int32_t count = 0;
    const icu::Locale* available = icu::Locale::getAvailableLocales(count);
    locales.assign(available, available + count);
    for (const char* extra : { "en_US_POSIX", "en_DE", "de_US", "fr_XX", "th_TH", "ar_EG", "en_US@calendar=buddhist", "de_DE@numbers=arab", "en_GB@hours=h12", "zh_CN", "zh_TW" })
        locales.emplace_back(extra);

    std::set<std::string> answered;
    for (const char* zone : { "UTC", "America/New_York", "Asia/Kolkata" }) {
        ScopedTimeZone scopedZone(zone);
        for (size_t i = 0; i < locales.size(); ++i) {
            ScopedLocale scopedLocale(locales[i]);
            for (auto [dateStyle, timeStyle] : everyStyle) {
                // Every style for some locales; the display's for all.
                if (i % 8 != 0 && !(dateStyle == 3 && timeStyle == 1))
                    continue;
                std::unique_ptr<icu::DateFormat> format;
                for (double millis : probeMillis) {
                    auto text = styledText(millis, dateStyle, timeStyle);
                    if (!text)
                        continue;
                    answered.insert(locales[i].getName());
                    SCOPED_TRACE(std::string(locales[i].getName()) + " " + zone + " styles " + std::to_string(dateStyle) + "/" + std::to_string(timeStyle) + " at " + std::to_string(millis));
                    if (!format)
                        format.reset(icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), locales[i]));
                    ASSERT_TRUE(format);
                    ASSERT_EQ(*text, icuText(*format, millis));
                }
            }
        }
    }
    // The locales of the shipped translations and a plain shell's are
    // written without ICU's formats (but Traditional Chinese, whose times
    // name the part of the day); most others are too.
    for (const char* name : { "en_US_POSIX", "en_US", "en_GB", "de_DE", "it_IT", "ja_JP", "ko_KR", "tr_TR", "zh_CN", "fr_FR", "es_ES" })
        EXPECT_TRUE(answered.count(name)) << name;
    EXPECT_GT(answered.size(), locales.size() * 3 / 4);
    // Other calendars and digits are left to ICU.
    for (const char* name : { "th_TH", "ar_EG", "en_US@calendar=buddhist", "de_DE@numbers=arab" })
        EXPECT_FALSE(answered.count(name)) << name;
}

TEST(DateText, AnswersNothingOutsideItsYearsOrForNoStyle)
{
    ScopedTimeZone utc("UTC");
    ScopedLocale english("en_US");
    EXPECT_EQ(styledText(-2208988800001.0, 3, 1), std::nullopt);
    EXPECT_EQ(styledText(4102444800000.0, 3, 1), std::nullopt);
    EXPECT_EQ(styledText(0, 0, 0), std::nullopt);
    EXPECT_EQ(styledText(0.0 / 0.0, 3, 1), std::nullopt);
    EXPECT_NE(styledText(0, 3, 1), std::nullopt);
}

// A zone set in TZ after the first date, without telling the C library
// (tzset), is followed from the next date on.
TEST(DateText, FollowsTheTimeZoneVariableWhenItChanges)
{
    ScopedTimeZone utc("UTC");
    ScopedLocale english("en_US");
    EXPECT_EQ(styledText(0, 0, 2), "12:00:00\u202FAM");
    setenv("TZ", "Asia/Kolkata", 1);
    EXPECT_EQ(styledText(0, 0, 2), "5:30:00\u202FAM");
    EXPECT_EQ(readExifDate({ 1970, 1, 1, 5, 30, 0 }).secondsSince1970, 0);
}

// Every hour, and the half hours, of the days the clocks change in zones
// that change them forward, back, at midnight and by 45 minutes: each EXIF
// date reads as ICU's strict calendar reads it, or is left to it.
TEST(DateText, ReadsExifDatesAsIcusStrictCalendar)
{
    struct Day {
        int year, month, day;
    };
    const Day days[] = { { 2014, 3, 30 }, { 2014, 10, 26 }, { 2014, 3, 9 }, { 2014, 11, 2 }, { 2013, 10, 20 }, { 2014, 2, 16 },
        { 2016, 2, 29 }, { 2015, 2, 29 }, { 2014, 4, 31 }, { 1969, 12, 31 }, { 1900, 1, 1 }, { 2099, 12, 31 }, { 1899, 12, 31 }, { 2100, 1, 1 } };
    int decided = 0, skipped = 0;
    for (const char* zone : { "UTC", "Europe/Berlin", "America/New_York", "America/Sao_Paulo", "Asia/Kathmandu" }) {
        ScopedTimeZone scopedZone(zone);
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(icu::Locale("en_US@calendar=gregorian"), status));
        ASSERT_TRUE(U_SUCCESS(status));
        calendar->setLenient(false);
        for (const Day& day : days) {
            for (int minutes = 0; minutes < 24 * 60; minutes += 30) {
                const std::array<int, 6> fields { day.year, day.month, day.day, minutes / 60, minutes % 60, 0 };
                SCOPED_TRACE(std::string(zone) + " " + std::to_string(day.year) + "-" + std::to_string(day.month) + "-" + std::to_string(day.day) + " " + std::to_string(minutes) + " min");
                calendar->clear();
                calendar->set(fields[0], fields[1] - 1, fields[2], fields[3], fields[4], fields[5]);
                status = U_ZERO_ERROR;
                const UDate millis = calendar->getTime(status);
                const ExifReading reading = readExifDate(fields);
                if (day.year < 1900 || day.year > 2099) {
                    EXPECT_EQ(reading.kind, ExifReading::Kind::Undecided);
                    continue;
                }
                ASSERT_NE(reading.kind, ExifReading::Kind::Undecided);
                ++decided;
                if (U_FAILURE(status)) {
                    EXPECT_EQ(reading.kind, ExifReading::Kind::NoDate);
                    skipped += reading.kind == ExifReading::Kind::NoDate;
                } else {
                    EXPECT_EQ(reading.kind, ExifReading::Kind::Date);
                    EXPECT_EQ(reading.secondsSince1970, millis / 1000);
                }
            }
        }
    }
    EXPECT_GT(decided, 2000);
    // The times the clocks skipped, and the days that do not exist.
    EXPECT_GT(skipped, 48 * 5 * 2);
    EXPECT_EQ(readExifDate({ 2014, 5, 6, 24, 0, 0 }).kind, ExifReading::Kind::NoDate);
    EXPECT_EQ(readExifDate({ 2014, 5, 6, 23, 59, 60 }).kind, ExifReading::Kind::NoDate);
    EXPECT_EQ(readExifDate({ 2014, 13, 6, 0, 0, 0 }).kind, ExifReading::Kind::NoDate);
}

} // namespace
