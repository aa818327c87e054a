#pragma once

// Dates written and read without building ICU's date formats, which cost a
// process most of a millisecond and a hundred pages on its first date: the
// styled text of a locale from the locale's own data (ICU's resource
// bundles), and EXIF dates, with civil time from the C library's time zone
// (TZ, else /etc/localtime). Each answers nothing wherever it cannot be sure
// of giving exactly what ICU's formats give (a field it does not write, a
// calendar other than the Gregorian, digits other than 0-9, a locale whose
// data comes from another region, a date outside 1900-2099); the caller
// then asks ICU.

#include <array>
#include <optional>
#include <string>

namespace foundation::datetext {

// The text of an instant (milliseconds since 1970, as ICU takes it) in ICU's default locale and the process's time
// zone, in the date and time styles given as NSDateFormatterStyle values
// (0 none, 1 short, 2 medium, 3 long, 4 full; not both none).
std::optional<std::string> styledText(double millisSince1970, unsigned dateStyle, unsigned timeStyle);

// What the fixed-digit EXIF date "yyyy:MM:dd HH:mm:ss" names in the
// process's time zone, read as strictly as ICU's calendar reads it: no
// month 13, no February 30th, no time the clocks skip; of a time that
// happens twice, the later.
struct ExifReading {
    enum class Kind {
        Date, // at `secondsSince1970`
        NoDate, // the text names no time
        Undecided, // ask ICU
    };
    Kind kind = Kind::Undecided;
    double secondsSince1970 = 0;
};
// `fields`: year, month, day, hour, minute, second as written.
ExifReading readExifDate(const std::array<int, 6>& fields);

} // namespace foundation::datetext
