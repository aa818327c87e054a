#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"

#include "foundation/NSDateFormatterStyle.h"

#include <memory>
#include <string>
#include <string_view>

namespace foundation {
class DateEngine;
}

// Dates to text and back, on ICU, in the current locale and time zone (ICU's
// defaults, from the environment). Either the date and time styles or a fixed
// format ("yyyy:MM:dd HH:mm:ss") decide the form; a fixed format reads only
// text that matches it whole. ICU's formatter is in a library opened on first
// use (foundation/DateEngine.h).
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
    // The full formatter for the current form, made on first use; null when
    // its library cannot be loaded.
    foundation::DateEngine* engine() const;
    // False when neither a format nor a style is set: no text is a date.
    bool hasForm() const;

    NSDateFormatterStyle dateStyle_ = NSDateFormatterNoStyle;
    NSDateFormatterStyle timeStyle_ = NSDateFormatterNoStyle;
    std::string format_;
    mutable std::unique_ptr<foundation::DateEngine> engine_;
};
