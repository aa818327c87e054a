#pragma once

// ICU's full date formatter, the engine behind NSDateFormatter. It lives in a
// library of its own, the only one of the platform that links ICU's i18n
// half, opened beside the platform library the first time a formatter needs
// it: a process that never does never loads that half, whose thousands of
// symbols would otherwise be bound at every start.

#include "foundation/NSDateFormatterStyle.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The full formatter's library, in the platform library's folder.
constexpr const char* kDateFormatsLibrary = "libquorix_date_formats.so";

// One formatter's form, a fixed pattern or a date and a time style, in ICU's
// default locale and time zone; its ICU objects are made when first needed
// and made again when either default has changed since. Never throws.
class DateEngine {
public:
    virtual ~DateEngine() = default;

    // The text of the (finite) date `millisSince1970`; empty when neither a
    // pattern nor a style is set or ICU refuses the pattern; nothing when the
    // date has no text (beyond the calendar's range).
    virtual std::optional<std::string> format(double millisSince1970) noexcept = 0;
    // The date that the whole of `text` is, in milliseconds since 1970;
    // nothing when it is none, or neither a pattern nor a style is set.
    virtual std::optional<double> parse(std::string_view text) noexcept = 0;
};

// The library's one entry point: a new engine, owned by the caller, for the
// pattern when it is not empty, else for the styles. Null when out of memory.
extern "C" DateEngine* quorix_make_date_engine(const char* pattern, size_t patternLength, NSDateFormatterStyle dateStyle,
    NSDateFormatterStyle timeStyle) noexcept;

// An engine made by the library, opened on the first call. Null when the
// library cannot be loaded (said once on standard error).
std::unique_ptr<DateEngine> makeDateEngine(std::string_view pattern, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle);

} // namespace foundation
