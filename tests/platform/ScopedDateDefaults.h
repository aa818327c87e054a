#pragma once

// The process's time zone and ICU's default locale, set for one scope.

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

// Sets the time zone of the C library (TZ) and ICU's default to one zone.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
        : savedIcu_(icu::TimeZone::createDefault())
    {
        if (const char* previous = std::getenv("TZ"))
            savedEnv_ = previous;
        setenv("TZ", zone, 1);
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(zone));
    }
    ~ScopedTimeZone()
    {
        if (savedEnv_)
            setenv("TZ", savedEnv_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        icu::TimeZone::adoptDefault(savedIcu_.release());
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::unique_ptr<icu::TimeZone> savedIcu_;
    std::optional<std::string> savedEnv_;
};

class ScopedLocale {
public:
    explicit ScopedLocale(const icu::Locale& locale)
        : saved_(icu::Locale::getDefault())
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale, status);
    }
    explicit ScopedLocale(const char* name)
        : ScopedLocale(icu::Locale(name))
    {
    }
    ~ScopedLocale()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(saved_, status);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    icu::Locale saved_;
};
