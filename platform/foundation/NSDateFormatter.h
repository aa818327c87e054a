#pragma once

#include "runtime/ClassDefinition.h"

#include <memory>
#include <string>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Calendar;
class DateFormat;
U_NAMESPACE_END

enum NSDateFormatterStyle : NSUInteger {
    NSDateFormatterNoStyle = 0,
    NSDateFormatterShortStyle = 1,
    NSDateFormatterMediumStyle = 2,
    NSDateFormatterLongStyle = 3,
    NSDateFormatterFullStyle = 4,
};

// Dates to text and back, on ICU, in the current locale and time zone (ICU's
// defaults, from the environment). Either the date and time styles or a fixed
// format ("yyyy:MM:dd HH:mm:ss") decide the form; a fixed format reads only
// text that matches it whole.
class NSDateFormatter : public NSObject {
    QX_OBJECT(NSDateFormatter, NSObject)
public:
    static Ref<NSDateFormatter> create();

    void setDateStyle(NSDateFormatterStyle style);
    void setTimeStyle(NSDateFormatterStyle style);
    void setDateFormat(std::string_view format);
    NSDateFormatterStyle dateStyle() const { return dateStyle_; }
    NSDateFormatterStyle timeStyle() const { return timeStyle_; }
    const std::string& dateFormat() const { return format_; }

    // nil for a nil date.
    Ref<NSString> stringFromDate(const NSDate* date) const;
    // nil when the text does not parse.
    Ref<NSDate> dateFromString(const NSString* text) const;

protected:
    NSDateFormatter();
    ~NSDateFormatter() override;

private:
    struct Engine;
    Engine& engine() const;
    // Null when neither a format nor a style is set.
    icu::DateFormat* format() const;
    // The calendar that reads an EXIF date; null for any other format.
    icu::Calendar* exifCalendar() const;

    NSDateFormatterStyle dateStyle_ = NSDateFormatterNoStyle;
    NSDateFormatterStyle timeStyle_ = NSDateFormatterNoStyle;
    std::string format_;
    mutable std::unique_ptr<Engine> engine_;
};
