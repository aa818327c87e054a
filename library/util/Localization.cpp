#include "util/Localization.h"

#include "foundation/NSBundle.h"

Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback)
{
    return NSBundle::mainBundle()->localizedStringObject(key, fallback, "Quorix");
}
