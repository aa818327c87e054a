#include "foundation/DateEngine.h"

#include "foundation/SharedLibrary.h"

namespace foundation {

std::unique_ptr<DateEngine> makeDateEngine(std::string_view pattern, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle)
{
    static const auto make = libraryBesidePlatform<decltype(&quorix_make_date_engine)>(kDateFormatsLibrary,
        "quorix_make_date_engine", "some dates cannot be written");
    if (!make)
        return nullptr;
    return std::unique_ptr<DateEngine>(make(pattern.data(), pattern.size(), dateStyle, timeStyle));
}

} // namespace foundation
