// The date engine on ICU's formatters and calendars: the one part of the
// platform that links libicui18n, built as libquorix_date_formats.so.

#include "foundation/DateEngine.h"
#include "foundation/ExifDateFields.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <exception>
#include <new>

namespace foundation {

namespace {

icu::DateFormat::EStyle icuStyle(NSDateFormatterStyle style)
{
    switch (style) {
    case NSDateFormatterShortStyle:
        return icu::DateFormat::kShort;
    case NSDateFormatterMediumStyle:
        return icu::DateFormat::kMedium;
    case NSDateFormatterLongStyle:
        return icu::DateFormat::kLong;
    case NSDateFormatterFullStyle:
        return icu::DateFormat::kFull;
    case NSDateFormatterNoStyle:
        break;
    }
    return icu::DateFormat::kNone;
}

// A fixed pattern is a machine format: the same digits and years in every
// locale, so a Buddhist calendar or Arabic-Indic digits in the default locale
// never change what "yyyy:MM:dd" reads or writes.
std::optional<icu::Locale> machineLocale()
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale(icu::Locale::getDefault());
    locale.setKeywordValue("calendar", "gregorian", status);
    locale.setKeywordValue("numbers", "latn", status);
    if (U_FAILURE(status))
        return std::nullopt;
    return locale;
}

std::unique_ptr<icu::DateFormat> makeFormat(const std::string& pattern, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateFormat> format;
    if (!pattern.empty()) {
        auto locale = machineLocale();
        if (!locale)
            return nullptr;
        format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern), *locale, status);
    } else {
        auto date = icuStyle(dateStyle);
        auto time = icuStyle(timeStyle);
        if (date == icu::DateFormat::kNone && time == icu::DateFormat::kNone)
            return nullptr;
        format.reset(icu::DateFormat::createDateTimeInstance(date, time, icu::Locale::getDefault()));
    }
    if (!format || U_FAILURE(status))
        return nullptr;
    format->setLenient(false);
    return format;
}

// The calendar a format of `machineLocale()` reads with, made as the format
// makes it (the locale's zone, else the default one) and as strict.
std::unique_ptr<icu::Calendar> makeMachineCalendar()
{
    auto locale = machineLocale();
    if (!locale)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(*locale, status));
    if (!calendar || U_FAILURE(status))
        return nullptr;
    calendar->setLenient(false);
    return calendar;
}

class IcuDateEngine final : public DateEngine {
public:
    IcuDateEngine(std::string pattern, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle)
        : pattern_(std::move(pattern))
        , dateStyle_(dateStyle)
        , timeStyle_(timeStyle)
    {
    }

    std::optional<std::string> format(double millisSince1970) noexcept override;
    std::optional<double> parse(std::string_view text) noexcept override;

private:
    // The ICU objects, for the locale and time zone that were the defaults
    // when they were made. Each is made on first use: an engine that only
    // reads EXIF dates never makes a date format (its symbols and number
    // parser are most of the cost of a first date).
    struct Objects {
        std::string localeName;
        std::unique_ptr<icu::TimeZone> zone;
        std::optional<std::unique_ptr<icu::DateFormat>> format; // holds null when there is no format
        // For the EXIF date format only: the calendar that format would read
        // with, which reads a date of fixed-width digits without the format.
        std::optional<std::unique_ptr<icu::Calendar>> exifCalendar;
    };

    Objects& objects();
    // Null when neither a pattern nor a style is set, or ICU refuses the pattern.
    icu::DateFormat* dateFormat();
    // The calendar that reads an EXIF date; null for any other format.
    icu::Calendar* exifCalendar();

    const std::string pattern_;
    const NSDateFormatterStyle dateStyle_;
    const NSDateFormatterStyle timeStyle_;
    std::unique_ptr<Objects> objects_;
};

IcuDateEngine::Objects& IcuDateEngine::objects()
{
    // The objects follow the process's default locale and time zone: they
    // are made again when either has changed since they were made.
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    const char* localeName = icu::Locale::getDefault().getName();
    if (objects_ && objects_->localeName == localeName && objects_->zone && zone && *objects_->zone == *zone)
        return *objects_;
    auto fresh = std::make_unique<Objects>();
    fresh->localeName = localeName;
    fresh->zone = std::move(zone);
    objects_ = std::move(fresh);
    return *objects_;
}

icu::DateFormat* IcuDateEngine::dateFormat()
{
    Objects& current = objects();
    if (!current.format)
        current.format = makeFormat(pattern_, dateStyle_, timeStyle_);
    return current.format->get();
}

icu::Calendar* IcuDateEngine::exifCalendar()
{
    if (pattern_ != kExifDateFormat)
        return nullptr;
    Objects& current = objects();
    if (!current.exifCalendar)
        current.exifCalendar = makeMachineCalendar();
    return current.exifCalendar->get();
}

std::optional<std::string> IcuDateEngine::format(double millisSince1970) noexcept
{
    try {
        icu::DateFormat* format = dateFormat();
        if (!format)
            return std::string();
        icu::UnicodeString text;
        UErrorCode status = U_ZERO_ERROR;
        format->format(icu::Formattable(millisSince1970, icu::Formattable::kIsDate), text, status);
        // ICU writes nothing for a date beyond its calendar's range.
        if (U_FAILURE(status) || text.isEmpty())
            return std::nullopt;
        std::string utf8;
        text.toUTF8String(utf8);
        return utf8;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<double> IcuDateEngine::parse(std::string_view text) noexcept
{
    try {
        auto fields = exifDateFields(text);
        if (icu::Calendar* calendar = fields ? exifCalendar() : nullptr) {
            // The fields the format would read, checked by the same strict
            // calendar: a month 13 or a time the clocks skip is no date.
            calendar->clear();
            calendar->set((*fields)[0], (*fields)[1] - 1, (*fields)[2], (*fields)[3], (*fields)[4], (*fields)[5]);
            UErrorCode status = U_ZERO_ERROR;
            UDate millis = calendar->getTime(status);
            if (U_FAILURE(status))
                return std::nullopt;
            return millis;
        }
        icu::DateFormat* format = dateFormat();
        if (!format)
            return std::nullopt;
        auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
        icu::ParsePosition position(0);
        UDate millis = format->parse(unicode, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length())
            return std::nullopt;
        return millis;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" DateEngine* quorix_make_date_engine(const char* pattern, size_t patternLength, NSDateFormatterStyle dateStyle,
    NSDateFormatterStyle timeStyle) noexcept
{
    try {
        return new IcuDateEngine(std::string(pattern, patternLength), dateStyle, timeStyle);
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace foundation
