#include "foundation/NSDate.h"

#include "foundation/NSString.h"

#include <chrono>
#include <cmath>
#include <ctime>

QX_DEFINE_CLASS(NSDate)
{
    b.method<&NSDate::timeIntervalSince1970>("timeIntervalSince1970");
}

Ref<NSDate> NSDate::date()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return dateWithTimeIntervalSince1970(std::chrono::duration<double>(now).count());
}

Ref<NSDate> NSDate::dateWithTimeIntervalSince1970(NSTimeInterval seconds) { return make_object<NSDate>(seconds); }

std::string NSDate::describe() const
{
    // The platform's form: UTC, "yyyy-MM-dd HH:mm:ss +0000".
    std::time_t whole = static_cast<std::time_t>(std::floor(seconds_));
    std::tm utc {};
    gmtime_r(&whole, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
    return text;
}

bool NSDate::equals(const NSObject* other) const
{
    const auto* date = dynamic_cast<const NSDate*>(other);
    return date && date->seconds_ == seconds_;
}
