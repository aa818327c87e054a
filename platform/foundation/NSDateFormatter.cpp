#include "foundation/NSDateFormatter.h"

#include "foundation/NSDate.h"
#include "foundation/NSString.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <exception>

QX_DEFINE_CLASS(NSDateFormatter)
{
    b.method<&NSDateFormatter::stringFromDate>("stringFromDate:");
    b.method<&NSDateFormatter::dateFromString>("dateFromString:");
    b.method("setDateFormat:", [](NSDateFormatter* self, NSString* format) {
        self->setDateFormat(format ? std::string_view(format->str()) : std::string_view());
    });
    b.method("setDateStyle:", [](NSDateFormatter* self, NSUInteger style) {
        self->setDateStyle(static_cast<NSDateFormatterStyle>(style));
    });
    b.method("setTimeStyle:", [](NSDateFormatter* self, NSUInteger style) {
        self->setTimeStyle(static_cast<NSDateFormatterStyle>(style));
    });
}

// The ICU objects behind one formatter, for the locale and time zone that
// were the defaults when it was built. Each is made on first use: a formatter
// that only reads EXIF dates never builds a date format (its symbols and
// number parser are most of the cost of a first date).
struct NSDateFormatter::Engine {
    std::string localeName;
    std::unique_ptr<icu::TimeZone> zone;
    std::optional<std::unique_ptr<icu::DateFormat>> format; // holds null when neither a format nor a style is set
    // For the EXIF date format only: the calendar that format would read
    // with, which reads a date of fixed-width digits without the format.
    std::optional<std::unique_ptr<icu::Calendar>> exifCalendar;
};

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

// The date format EXIF uses, and its text: digits at fixed places.
constexpr std::string_view exifFormat = "yyyy:MM:dd HH:mm:ss";

std::optional<std::array<int, 6>> exifDateFields(std::string_view text)
{
    constexpr std::string_view shape = "dddd:dd:dd dd:dd:dd";
    if (text.size() != shape.size())
        return std::nullopt;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return std::nullopt;
    }
    auto number = [&](size_t at, size_t length) {
        int value = 0;
        for (size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    return std::array<int, 6> { number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2) };
}

// No date text is anywhere near this long; anything longer is refused unread.
constexpr size_t maxParsedLength = 4096;

bool isTrailingFiller(char c) { return c == '\0' || c == ' ' || c == '\t'; }

} // namespace

NSDateFormatter::NSDateFormatter() = default;
NSDateFormatter::~NSDateFormatter() = default;

Ref<NSDateFormatter> NSDateFormatter::create() { return make_object<NSDateFormatter>(); }

// Setting a style hands the form back to the styles, as setting a format takes it from them.
void NSDateFormatter::setDateStyle(NSDateFormatterStyle style)
{
    dateStyle_ = style;
    format_.clear();
    engine_.reset();
}

void NSDateFormatter::setTimeStyle(NSDateFormatterStyle style)
{
    timeStyle_ = style;
    format_.clear();
    engine_.reset();
}

void NSDateFormatter::setDateFormat(std::string_view format)
{
    format_ = format;
    engine_.reset();
}

NSDateFormatter::Engine& NSDateFormatter::engine() const
{
    // The engine follows the process's default locale and time zone: it is
    // rebuilt when either has changed since it was made.
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    const char* localeName = icu::Locale::getDefault().getName();
    if (engine_ && engine_->localeName == localeName && engine_->zone && zone && *engine_->zone == *zone)
        return *engine_;
    auto fresh = std::make_unique<Engine>();
    fresh->localeName = localeName;
    fresh->zone = std::move(zone);
    engine_ = std::move(fresh);
    return *engine_;
}

icu::DateFormat* NSDateFormatter::format() const
{
    Engine& current = engine();
    if (!current.format)
        current.format = makeFormat(format_, dateStyle_, timeStyle_);
    return current.format->get();
}

icu::Calendar* NSDateFormatter::exifCalendar() const
{
    if (format_ != exifFormat)
        return nullptr;
    Engine& current = engine();
    if (!current.exifCalendar)
        current.exifCalendar = makeMachineCalendar();
    return current.exifCalendar->get();
}

Ref<NSString> NSDateFormatter::stringFromDate(const NSDate* date) const
{
    if (!date)
        return nullptr;
    // ICU writes garbage for NaN and nothing for dates beyond its calendar's
    // range; neither is a date's text.
    double millis = date->timeIntervalSince1970() * 1000.0;
    if (!std::isfinite(millis))
        return nullptr;
    try {
        icu::DateFormat* dateFormat = format();
        if (!dateFormat)
            return NSString::string();
        icu::UnicodeString text;
        UErrorCode status = U_ZERO_ERROR;
        dateFormat->format(icu::Formattable(millis, icu::Formattable::kIsDate), text, status);
        if (U_FAILURE(status) || text.isEmpty())
            return nullptr;
        std::string utf8;
        text.toUTF8String(utf8);
        return NSString::stringWithUTF8String(utf8);
    } catch (const std::exception&) {
        return nullptr;
    }
}

Ref<NSDate> NSDateFormatter::dateFromString(const NSString* text) const
{
    if (!text)
        return nullptr;
    try {
        // EXIF writers pad their fixed-size date fields with NULs or blanks.
        std::string_view input = text->str();
        while (!input.empty() && isTrailingFiller(input.back()))
            input.remove_suffix(1);
        if (input.empty() || input.size() > maxParsedLength)
            return nullptr;
        auto fields = exifDateFields(input);
        if (icu::Calendar* calendar = fields ? exifCalendar() : nullptr) {
            // The fields the format would read, checked by the same strict
            // calendar: a month 13 or a time the clocks skip is no date.
            calendar->clear();
            calendar->set((*fields)[0], (*fields)[1] - 1, (*fields)[2], (*fields)[3], (*fields)[4], (*fields)[5]);
            UErrorCode status = U_ZERO_ERROR;
            UDate millis = calendar->getTime(status);
            if (U_FAILURE(status))
                return nullptr;
            return NSDate::dateWithTimeIntervalSince1970(millis / 1000.0);
        }
        icu::DateFormat* dateFormat = format();
        if (!dateFormat)
            return nullptr;
        auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(input.data(), static_cast<int32_t>(input.size())));
        icu::ParsePosition position(0);
        UDate millis = dateFormat->parse(unicode, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length())
            return nullptr;
        return NSDate::dateWithTimeIntervalSince1970(millis / 1000.0);
    } catch (const std::exception&) {
        return nullptr;
    }
}
