#include "cli/LocalizedText.h"

#include "foundation/NSBundle.h"
#include "foundation/NSString.h"

namespace quorix::cli {

std::string localizedText(const char* key)
{
    auto text = NSBundle::mainBundle()->localizedStringForKey(NSString::stringWithUTF8String(key).get(), nullptr, "Quorix"_ns.get());
    return text ? text->str() : key;
}

} // namespace quorix::cli
