#include "util/Localization.h"

#include "foundation/NSBundle.h"

Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback)
{
    return NSString::stringWithUTF8String(NSBundle::mainBundle()->localizedString(key, fallback, "Quorix"));
}
