#include "foundation/DateText.h"

#include <unicode/locid.h>
#include <unicode/resbund.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/ures.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace foundation::datetext {

namespace {

// Within 1900-2099 the Gregorian calendar holds everywhere and the C
// library's zone data and ICU's tell the same history of the common zones.
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2099;
constexpr std::int64_t kEarliestSecond = -2208988800; // 1900-01-01 00:00:00 UTC
constexpr std::int64_t kEndSecond = 4102444800; // 2100-01-01 00:00:00 UTC

constexpr std::int64_t secondsPerDay = 86400;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The C library reads TZ when first asked and then only when told to; it is
// told again whenever the variable has changed since, so that a formatter
// follows a zone set after it was made, as ICU's formats do.
void followTimeZoneVariable()
{
    static std::mutex mutex;
    static bool read = false;
    static std::optional<std::string> seen;
    const char* variable = std::getenv("TZ");
    std::lock_guard lock(mutex);
    if (read && (variable ? seen && *seen == variable : !seen))
        return;
    tzset();
    seen = variable ? std::optional<std::string>(variable) : std::nullopt;
    read = true;
}

struct CivilTime {
    int year, month, day, hour, minute, second, weekday; // weekday 0 is Sunday
    long offset; // seconds east of UTC
};

// The civil time of a second in the process's time zone (as the last
// followTimeZoneVariable() left it); nothing far outside 1900-2099, or
// where the zone counts leap seconds (ICU never does).
std::optional<CivilTime> localTime(std::int64_t second)
{
    if (second < kEarliestSecond - 2 * secondsPerDay || second >= kEndSecond + 2 * secondsPerDay)
        return std::nullopt;
    const auto time = static_cast<std::time_t>(second);
    std::tm fields {};
    if (!localtime_r(&time, &fields))
        return std::nullopt;
    CivilTime civil { fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
        fields.tm_wday, fields.tm_gmtoff };
    const std::int64_t wall = daysFromCivil(civil.year, static_cast<unsigned>(civil.month), static_cast<unsigned>(civil.day)) * secondsPerDay
        + civil.hour * 3600 + civil.minute * 60 + civil.second;
    if (wall - second != civil.offset)
        return std::nullopt;
    return civil;
}

// ---- A styled form: the locale's pattern cut into literal text and fields.

struct Part {
    std::string text; // literal text when `letter` is 0
    char letter = 0;
    int count = 0;
    std::vector<std::string> names; // for a field written as a name
};
using Form = std::vector<Part>;

std::string utf8(const icu::UnicodeString& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool succeeded(UErrorCode status) { return U_SUCCESS(status) && status != U_USING_DEFAULT_WARNING; }

// A resource of the locale's data, found with ICU's fallback through
// parent locales at every level of `path`.
std::optional<icu::ResourceBundle> resource(const icu::ResourceBundle& from, std::initializer_list<const char*> path)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle at(from);
    for (const char* key : path) {
        at = at.getWithFallback(key, status);
        if (!succeeded(status))
            return std::nullopt;
    }
    return at;
}

std::optional<std::vector<std::string>> names(const icu::ResourceBundle& calendar, std::initializer_list<const char*> path, int32_t count)
{
    auto list = resource(calendar, path);
    if (!list || list->getType() != URES_ARRAY || list->getSize() != count)
        return std::nullopt;
    std::vector<std::string> out;
    for (int32_t i = 0; i < count; ++i) {
        UErrorCode status = U_ZERO_ERROR;
        out.push_back(utf8(list->getStringEx(i, status)));
        if (U_FAILURE(status))
            return std::nullopt;
    }
    return out;
}

// The names a field letter repeated `count` times writes; nothing for a
// letter written as a number; a failure for a field this does not write.
enum class FieldKind { Number, Name, Unsupported };

FieldKind nameTable(const icu::ResourceBundle& calendar, char letter, int count, std::vector<std::string>& out)
{
    auto load = [&](std::initializer_list<const char*> path, int32_t size) {
        auto found = names(calendar, path, size);
        if (!found)
            return FieldKind::Unsupported;
        out = std::move(*found);
        return FieldKind::Name;
    };
    static constexpr const char* widths[] = { "abbreviated", "abbreviated", "abbreviated", "wide", "narrow", "short" };
    switch (letter) {
    case 'y':
    case 'd':
    case 'h':
    case 'H':
    case 'K':
    case 'k':
    case 'm':
    case 's':
        return count <= (letter == 'y' ? 4 : 2) ? FieldKind::Number : FieldKind::Unsupported;
    case 'M':
    case 'L':
        if (count <= 2)
            return FieldKind::Number;
        if (count > 5)
            return FieldKind::Unsupported;
        return load({ "monthNames", letter == 'M' ? "format" : "stand-alone", widths[count - 1] }, 12);
    case 'E':
        return count <= 6 ? load({ "dayNames", "format", widths[count - 1] }, 7) : FieldKind::Unsupported;
    case 'G':
        return count <= 5 ? load({ "eras", widths[count - 1] }, 2) : FieldKind::Unsupported;
    case 'a':
        if (count > 5)
            return FieldKind::Unsupported;
        return load({ count < 5 ? "AmPmMarkers" : "AmPmMarkersNarrow" }, 2);
    default:
        return FieldKind::Unsupported;
    }
}

bool isPatternLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Cuts a date pattern into parts: runs of one letter are fields, text in
// single quotes and every other character is literal ('' is a quote).
std::optional<Form> parsePattern(const icu::UnicodeString& pattern, const icu::ResourceBundle& calendar)
{
    Form form;
    icu::UnicodeString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            form.push_back(Part { utf8(literal), 0, 0, {} });
            literal.remove();
        }
    };
    const int32_t length = pattern.length();
    for (int32_t i = 0; i < length;) {
        const char16_t c = pattern.charAt(i);
        if (c == u'\'') {
            if (i + 1 < length && pattern.charAt(i + 1) == u'\'') {
                literal.append(u'\'');
                i += 2;
                continue;
            }
            ++i;
            for (;; ++i) {
                if (i >= length)
                    return std::nullopt;
                if (pattern.charAt(i) != u'\'') {
                    literal.append(pattern.charAt(i));
                } else if (i + 1 < length && pattern.charAt(i + 1) == u'\'') {
                    literal.append(u'\'');
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else if (isPatternLetter(c)) {
            int32_t end = i;
            while (end < length && pattern.charAt(end) == c)
                ++end;
            flushLiteral();
            Part field { {}, static_cast<char>(c), end - i, {} };
            if (nameTable(calendar, field.letter, field.count, field.names) == FieldKind::Unsupported)
                return std::nullopt;
            form.push_back(std::move(field));
            i = end;
        } else {
            literal.append(c);
            ++i;
        }
    }
    flushLiteral();
    return form;
}

std::optional<icu::UnicodeString> patternString(const icu::ResourceBundle& patterns, int32_t index)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle entry = patterns.get(index, status);
    // An entry that is an array carries number overrides with its pattern.
    if (U_FAILURE(status) || entry.getType() != URES_STRING)
        return std::nullopt;
    auto text = entry.getString(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return text;
}

// Puts the time and date patterns into the locale's glue ("{1} 'at' {0}"),
// whose own quotes stay in the result as quotes of the date pattern.
std::optional<icu::UnicodeString> glue(const icu::UnicodeString& gluePattern, const icu::UnicodeString& time, const icu::UnicodeString& date)
{
    icu::UnicodeString out;
    const int32_t length = gluePattern.length();
    for (int32_t i = 0; i < length; ++i) {
        const char16_t c = gluePattern.charAt(i);
        if (c == u'{' && i + 2 < length && gluePattern.charAt(i + 2) == u'}' && (gluePattern.charAt(i + 1) == u'0' || gluePattern.charAt(i + 1) == u'1')) {
            out.append(gluePattern.charAt(i + 1) == u'0' ? time : date);
            i += 2;
        } else if (c == u'{' || c == u'}' || (c == u'\'' && i + 1 < length && (gluePattern.charAt(i + 1) == u'\'' || gluePattern.charAt(i + 1) == u'{'))) {
            return std::nullopt; // quoting of the glue's own syntax: left to ICU
        } else {
            out.append(c);
        }
    }
    return out;
}

// The region whose preferences apply to a locale: its own, else the one
// its language is most likely spoken in.
std::string preferenceRegion(const icu::Locale& locale)
{
    if (*locale.getCountry())
        return locale.getCountry();
    icu::Locale likely(locale);
    UErrorCode status = U_ZERO_ERROR;
    likely.addLikelySubtags(status);
    return U_SUCCESS(status) ? likely.getCountry() : "";
}

bool prefersGregorianCalendar(const icu::Locale& locale)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UResourceBundle, decltype(&ures_close)> data(ures_openDirect(nullptr, "supplementalData", &status), ures_close);
    std::unique_ptr<UResourceBundle, decltype(&ures_close)> preferences(ures_getByKey(data.get(), "calendarPreferenceData", nullptr, &status), ures_close);
    if (U_FAILURE(status))
        return false;
    const std::string region = preferenceRegion(locale);
    std::unique_ptr<UResourceBundle, decltype(&ures_close)> order(ures_getByKey(preferences.get(), region.empty() ? "001" : region.c_str(), nullptr, &status), ures_close);
    if (status == U_MISSING_RESOURCE_ERROR) {
        status = U_ZERO_ERROR;
        order.reset(ures_getByKey(preferences.get(), "001", nullptr, &status));
    }
    int32_t length = 0;
    const UChar* first = U_SUCCESS(status) ? ures_getStringByIndex(order.get(), 0, &length, &status) : nullptr;
    return U_SUCCESS(status) && first && icu::UnicodeString(first, length) == u"gregorian";
}

bool usesLatinDigits(const icu::ResourceBundle& localeData)
{
    auto system = resource(localeData, { "NumberElements", "default" });
    if (!system)
        return true; // the root's default is latn
    UErrorCode status = U_ZERO_ERROR;
    return system->getString(status) == u"latn" && U_SUCCESS(status);
}

// Whether the data found for a locale is its own: of its language, and of
// its region if it names one (zh_TW's, an alias of zh_Hant_TW, is; en_DE's,
// which is en_150's, is not: ICU then makes the time pattern anew for the
// region's clock).
bool hasDataOfItsOwn(const icu::Locale& asked, const icu::Locale& found)
{
    if (std::strcmp(asked.getBaseName(), found.getName()) == 0)
        return true;
    return std::strcmp(asked.getLanguage(), found.getLanguage()) == 0 && (!*asked.getCountry() || std::strcmp(asked.getCountry(), found.getCountry()) == 0);
}

// ICU's styles count the other way: full 0, long 1, medium 2, short 3.
int32_t icuStyle(unsigned style) { return 4 - static_cast<int32_t>(style); }

std::optional<Form> makeForm(const icu::Locale& locale, unsigned dateStyle, unsigned timeStyle)
{
    // Keywords (a calendar, digits, an hour cycle, a region) and data taken
    // from another locale than the one asked for change how ICU builds the
    // pattern; those are left to it.
    if (std::strchr(locale.getName(), '@') || locale.isBogus())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle localeData(nullptr, locale, status);
    if (!succeeded(status) || !hasDataOfItsOwn(locale, localeData.getLocale(ULOC_VALID_LOCALE, status)))
        return std::nullopt;
    if (!prefersGregorianCalendar(locale) || !usesLatinDigits(localeData))
        return std::nullopt;
    auto calendar = resource(localeData, { "calendar", "gregorian" });
    auto patterns = calendar ? resource(*calendar, { "DateTimePatterns" }) : std::nullopt;
    if (!patterns || patterns->getType() != URES_ARRAY || patterns->getSize() < 9)
        return std::nullopt;

    std::optional<icu::UnicodeString> time, date;
    if (timeStyle && !(time = patternString(*patterns, icuStyle(timeStyle))))
        return std::nullopt;
    if (dateStyle && !(date = patternString(*patterns, 4 + icuStyle(dateStyle))))
        return std::nullopt;
    std::optional<icu::UnicodeString> pattern = time ? time : date;
    if (time && date) {
        // The glue of the date style: from the "at time" set where the
        // locale has one, as ICU prefers it, else the older one.
        std::optional<icu::UnicodeString> gluePattern;
        if (auto atTime = resource(*calendar, { "DateTimePatterns%atTime" }); atTime && atTime->getType() == URES_ARRAY && atTime->getSize() == 4)
            gluePattern = patternString(*atTime, icuStyle(dateStyle));
        else
            gluePattern = patternString(*patterns, patterns->getSize() >= 13 ? 9 + icuStyle(dateStyle) : 8);
        if (!gluePattern || !(pattern = glue(*gluePattern, *time, *date)))
            return std::nullopt;
    }
    return parsePattern(*pattern, *calendar);
}

// The forms made last in this process, by locale and styles; a locale
// whose form this cannot make is remembered too. A process writes in one
// or two forms; a few more are kept for one that changes its locale.
constexpr size_t kCachedForms = 8;

struct CachedForm {
    std::string locale;
    unsigned dateStyle, timeStyle;
    std::optional<Form> form;
};

std::shared_ptr<const CachedForm> formFor(unsigned dateStyle, unsigned timeStyle)
{
    static std::mutex mutex;
    static std::vector<std::shared_ptr<const CachedForm>> forms;
    // The default's name stays readable when another thread sets a new
    // default meanwhile; the locale itself is made only for a new form.
    const std::string_view name = uloc_getDefault();
    {
        std::lock_guard lock(mutex);
        for (const auto& cached : forms) {
            if (cached->locale == name && cached->dateStyle == dateStyle && cached->timeStyle == timeStyle)
                return cached;
        }
    }
    auto made = std::make_shared<const CachedForm>(CachedForm { std::string(name), dateStyle, timeStyle, makeForm(icu::Locale(name.data()), dateStyle, timeStyle) });
    std::lock_guard lock(mutex);
    if (forms.size() == kCachedForms)
        forms.erase(forms.begin());
    forms.push_back(made);
    return made;
}

void appendNumber(std::string& out, int value, int width)
{
    char digits[12];
    int length = 0;
    do {
        digits[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = length; i < width; ++i)
        out += '0';
    while (length > 0)
        out += digits[--length];
}

void appendField(std::string& out, const Part& field, const CivilTime& time)
{
    switch (field.letter) {
    case 'y':
        return appendNumber(out, field.count == 2 ? time.year % 100 : time.year, field.count);
    case 'M':
    case 'L':
        if (field.count <= 2)
            return appendNumber(out, time.month, field.count);
        out += field.names[static_cast<size_t>(time.month - 1)];
        return;
    case 'd':
        return appendNumber(out, time.day, field.count);
    case 'E':
        out += field.names[static_cast<size_t>(time.weekday)];
        return;
    case 'G':
        out += field.names[1]; // every year here is of the common era
        return;
    case 'a':
        out += field.names[time.hour < 12 ? 0 : 1];
        return;
    case 'h':
        return appendNumber(out, time.hour % 12 == 0 ? 12 : time.hour % 12, field.count);
    case 'H':
        return appendNumber(out, time.hour, field.count);
    case 'K':
        return appendNumber(out, time.hour % 12, field.count);
    case 'k':
        return appendNumber(out, time.hour == 0 ? 24 : time.hour, field.count);
    case 'm':
        return appendNumber(out, time.minute, field.count);
    case 's':
        return appendNumber(out, time.second, field.count);
    default:
        return;
    }
}

} // namespace

std::optional<std::string> styledText(double millisSince1970, unsigned dateStyle, unsigned timeStyle)
{
    if (dateStyle > 4 || timeStyle > 4 || (dateStyle == 0 && timeStyle == 0) || !std::isfinite(millisSince1970))
        return std::nullopt;
    // ICU takes the millisecond an instant falls in, then its second.
    const double millis = std::floor(millisSince1970);
    if (millis < static_cast<double>(kEarliestSecond) * 1000 || millis >= static_cast<double>(kEndSecond) * 1000)
        return std::nullopt;
    const auto wholeMillis = static_cast<std::int64_t>(millis);
    const std::int64_t second = wholeMillis / 1000 - (wholeMillis % 1000 < 0 ? 1 : 0);
    followTimeZoneVariable();
    auto time = localTime(second);
    if (!time || time->year < kFirstYear || time->year > kLastYear)
        return std::nullopt;
    auto cached = formFor(dateStyle, timeStyle);
    if (!cached->form)
        return std::nullopt;
    std::string text;
    for (const Part& part : *cached->form) {
        if (part.letter)
            appendField(text, part, *time);
        else
            text += part.text;
    }
    return text;
}

ExifReading readExifDate(const std::array<int, 6>& fields)
{
    const auto [year, month, day, hour, minute, second] = fields;
    if (year < kFirstYear || year > kLastYear)
        return {};
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return { ExifReading::Kind::NoDate };
    const std::int64_t wall = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * secondsPerDay + hour * 3600 + minute * 60 + second;
    // The offsets in force a day either side cover any change of the
    // clocks near this time; each offset that gives back the same wall
    // time names an instant. None: the clocks skipped it. Two: it happened
    // twice, and the later is meant.
    followTimeZoneVariable();
    std::optional<std::int64_t> found;
    for (std::int64_t probe : { wall - secondsPerDay, wall + secondsPerDay }) {
        auto around = localTime(probe);
        if (!around)
            return {};
        const std::int64_t candidate = wall - around->offset;
        auto back = localTime(candidate);
        if (!back)
            return {};
        if (back->offset == around->offset && (!found || candidate > *found))
            found = candidate;
    }
    if (!found)
        return { ExifReading::Kind::NoDate };
    return { ExifReading::Kind::Date, static_cast<double>(*found) };
}

} // namespace foundation::datetext
