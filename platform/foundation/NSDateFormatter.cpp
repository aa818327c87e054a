#include "foundation/NSDateFormatter.h"

#include "foundation/DateEngine.h"
#include "foundation/DateText.h"
#include "foundation/ExifDateFields.h"
#include "foundation/NSDate.h"
#include "foundation/NSString.h"

#include <cmath>
#include <exception>
#include <optional>
#include <string_view>

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

namespace {

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

bool NSDateFormatter::hasForm() const
{
    return !format_.empty() || dateStyle_ != NSDateFormatterNoStyle || timeStyle_ != NSDateFormatterNoStyle;
}

foundation::DateEngine* NSDateFormatter::engine() const
{
    if (!engine_)
        engine_ = foundation::makeDateEngine(format_, dateStyle_, timeStyle_);
    return engine_.get();
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
    if (!hasForm())
        return NSString::string();
    try {
        // The common styles are written from the locale's data without
        // ICU's formatter, whose library is opened only for the rest.
        if (format_.empty()) {
            if (auto text = foundation::datetext::styledText(millis, dateStyle_, timeStyle_))
                return NSString::stringTakingText(std::move(*text));
        }
        foundation::DateEngine* full = engine();
        auto text = full ? full->format(millis) : std::nullopt;
        return text ? NSString::stringTakingText(std::move(*text)) : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

Ref<NSDate> NSDateFormatter::dateFromString(const NSString* text) const
{
    if (!text)
        return nullptr;
    // EXIF writers pad their fixed-size date fields with NULs or blanks.
    std::string_view input = text->str();
    while (!input.empty() && isTrailingFiller(input.back()))
        input.remove_suffix(1);
    if (input.empty() || input.size() > maxParsedLength || !hasForm())
        return nullptr;
    try {
        // EXIF dates of the common years are read without ICU's formatter.
        if (format_ == foundation::kExifDateFormat) {
            if (auto fields = foundation::exifDateFields(input)) {
                using foundation::datetext::ExifReading;
                const ExifReading reading = foundation::datetext::readExifDate(*fields);
                if (reading.kind == ExifReading::Kind::Date)
                    return NSDate::dateWithTimeIntervalSince1970(reading.secondsSince1970);
                if (reading.kind == ExifReading::Kind::NoDate)
                    return nullptr;
            }
        }
        foundation::DateEngine* full = engine();
        auto millis = full ? full->parse(input) : std::nullopt;
        return millis ? NSDate::dateWithTimeIntervalSince1970(*millis / 1000.0) : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}
